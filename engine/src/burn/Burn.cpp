// VornBurn for data compilations. See Burn.h for the threads.
#include "burn/Burn.h"
#include "burn/BurnStart.h"
#include "burn/ImageBurn.h"

#include "Engine.h"
#include "burn/Questions.h"
#include "import/SessionImport.h"
#include "Media.h"
#include "data/DataCompilation.h"
#include "iso/IsoWriter.h"
#include "progress/Progress.h"

#include <glib.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <span>
#include <fcntl.h>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vorn::engine::burn {

namespace {

using Item = VornDataCompilationItem;
using progress::Driver;
using progress::Outline;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kBlockBytes = 2048;
constexpr std::uint32_t kCdPregap = 150;

std::mutex gNameMu;
std::string gImageFileName;

// --- Texts --------------------------------------------------------------------

// Texts reach the application in the language file's code page; paths and
// the image writer's sentences are UTF-8.
std::string toCodePage(const std::string &utf8)
{
    gsize written = 0;
    gchar *out = g_convert_with_fallback(utf8.c_str(), static_cast<gssize>(utf8.size()), "CP1252",
                                         "UTF-8", "?", nullptr, &written, nullptr);
    if (!out)
        return utf8;
    std::string text(out, written);
    g_free(out);
    return text;
}

// --- The pipe between the image producer and the writing thread -------------

class Pipe {
public:
    // False once the consumer stopped: the producer must give up.
    bool push(std::vector<std::uint8_t> piece)
    {
        std::unique_lock lock(mu_);
        spaceCv_.wait(lock, [&] { return stopped_ || pieces_.size() < kPipePieces; });
        if (stopped_)
            return false;
        bytes_ += piece.size();
        pieces_.push_back(std::move(piece));
        dataCv_.notify_one();
        return true;
    }
    // The next piece, or nullopt once the producer finished and all is taken.
    std::optional<std::vector<std::uint8_t>> pop()
    {
        std::unique_lock lock(mu_);
        dataCv_.wait(lock, [&] { return finished_ || !pieces_.empty(); });
        if (pieces_.empty())
            return std::nullopt;
        auto piece = std::move(pieces_.front());
        pieces_.pop_front();
        bytes_ -= piece.size();
        spaceCv_.notify_one();
        return piece;
    }
    void finish()
    {
        std::lock_guard lock(mu_);
        finished_ = true;
        dataCv_.notify_all();
    }
    void stop()
    {
        std::lock_guard lock(mu_);
        stopped_ = true;
        pieces_.clear();
        bytes_ = 0;
        spaceCv_.notify_all();
    }
    std::size_t levelBytes() const
    {
        std::lock_guard lock(mu_);
        return bytes_;
    }

private:
    mutable std::mutex mu_;
    std::condition_variable dataCv_, spaceCv_;
    std::deque<std::vector<std::uint8_t>> pieces_;
    std::size_t bytes_ = 0;
    bool finished_ = false, stopped_ = false;
};

class PipeSink : public iso::BlockSink {
public:
    explicit PipeSink(Pipe &pipe) : pipe_(pipe) {}
    bool write(const std::uint8_t *data, std::size_t bytes) override
    {
        while (bytes > 0) {
            const std::size_t n = std::min(bytes, kPieceBytes);
            if (!pipe_.push(std::vector<std::uint8_t>(data, data + n))) {
                errno = ECANCELED;
                return false;
            }
            data += n;
            bytes -= n;
        }
        return true;
    }

private:
    Pipe &pipe_;
};

// Runs the image writer on its own thread into a pipe.
class Producer {
public:
    Producer(VornDataCompilation &c, std::int64_t now) : sink_(pipe_)
    {
        iso::WriteOptions options;
        options.now = now;
        thread_ = std::thread([this, &c, options] {
            result_ = iso::writeImage(c, sink_, options);
            pipe_.finish();
        });
    }
    ~Producer() { stop(); }
    Pipe &pipe() { return pipe_; }
    // Stops the producer (when it still runs) and waits for it.
    const iso::WriteResult &stop()
    {
        pipe_.stop();
        if (thread_.joinable())
            thread_.join();
        return result_;
    }

private:
    Pipe pipe_;
    PipeSink sink_;
    iso::WriteResult result_;
    std::thread thread_;
};

// --- Targets ---------------------------------------------------------------------

struct WriteFailure {
    int code;
    std::string line;
};

class Target {
public:
    virtual ~Target() = default;
    // Appends whole blocks; a failure says which result it gives.
    virtual std::optional<WriteFailure> write(const std::vector<std::uint8_t> &piece) = 0;
    // Makes the written blocks what the target holds (rename, close the track).
    virtual std::optional<WriteFailure> complete() = 0;
    // Leaves what an interrupted write leaves.
    virtual void abandon() = 0;
};

class NullTarget : public Target {
public:
    std::optional<WriteFailure> write(const std::vector<std::uint8_t> &) override { return {}; }
    std::optional<WriteFailure> complete() override { return {}; }
    void abandon() override {}
};

bool fullTarget(int err)
{
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

// A plain image, written under a temporary name and renamed into place.
class ImageFileTarget : public Target {
public:
    ImageFileTarget(const Messages &texts, std::string path, std::optional<std::int64_t> failAfter)
        : texts_(texts), path_(std::move(path)), failAfter_(failAfter)
    {
    }
    ~ImageFileTarget() override { abandon(); }

    std::optional<WriteFailure> open()
    {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
            tmp_ = path_ + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
            fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST)
                break;
        }
        if (fd_ < 0)
            return failure(errno);
        return {};
    }
    std::optional<WriteFailure> write(const std::vector<std::uint8_t> &piece) override
    {
        std::size_t allowed = piece.size();
        if (failAfter_)
            allowed = static_cast<std::size_t>(std::clamp<std::int64_t>(*failAfter_, 0, static_cast<std::int64_t>(allowed)));
        std::size_t done = 0;
        while (done < allowed) {
            const ssize_t n = ::write(fd_, piece.data() + done, allowed - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return failure(n == 0 ? ENOSPC : errno);
            done += static_cast<std::size_t>(n);
        }
        if (failAfter_) {
            *failAfter_ -= static_cast<std::int64_t>(allowed);
            if (allowed < piece.size())
                return failure(ENOSPC);  // the injected full file system
        }
        return {};
    }
    std::optional<WriteFailure> complete() override
    {
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            return failure(errno);
        }
        fd_ = -1;
        if (::rename(tmp_.c_str(), path_.c_str()) != 0)
            return failure(errno);
        tmp_.clear();
        return {};
    }
    void abandon() override
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        if (!tmp_.empty())
            ::unlink(tmp_.c_str());
        tmp_.clear();
    }

private:
    WriteFailure failure(int err) const
    {
        if (fullTarget(err))
            return {VORN_BURN_NO_SPACE, texts_.get(msg::kBurnImageFull, {toCodePage(path_)})};
        return {VORN_BURN_WRITE_ERROR, texts_.get(msg::kBurnImageFailed, {toCodePage(path_), std::strerror(err)})};
    }

    const Messages &texts_;
    std::string path_, tmp_;
    int fd_ = -1;
    std::optional<std::int64_t> failAfter_;
};

// One data track on a disc container: the emulated drive's disc, or a new
// container the image recorder writes under a temporary name.
class ContainerTarget : public Target {
public:
    struct Setup {
        std::string where;           // the drive's name, or the image file, for messages
        std::filesystem::path finalPath;  // image recorder: renamed here at the end
        bool closeSession = false;   // keep the disc appendable
        bool imageRecorder = false;
    };

    ContainerTarget(const Messages &texts, vrn::VrnDisc disc, Setup setup, std::optional<std::int64_t> failAfter)
        : texts_(texts), disc_(std::move(disc)), setup_(std::move(setup)), failAfter_(failAfter)
    {
        if (!setup_.imageRecorder && failAfter_)
            disc_.injectWriteFailure(static_cast<std::uint64_t>(std::max<std::int64_t>(0, *failAfter_)));
    }
    ~ContainerTarget() override { abandon(); }

    std::optional<WriteFailure> addTrack(std::uint32_t blocks, bool modeXa, std::optional<std::uint32_t> at = std::nullopt)
    {
        vrn::TrackSpec trackSpec;
        trackSpec.type = vrn::TrackType::Data;
        const bool cd = vrn::medium::isCd(disc_.mediumType());
        trackSpec.mode = cd && modeXa ? vrn::TrackMode::Mode2Form1 : vrn::TrackMode::Mode1;
        trackSpec.blockSize = kBlockBytes;
        trackSpec.pregap = cd ? kCdPregap : 0;
        trackSpec.start = disc_.nextWritableAddress().value_or(0) + (disc_.tracks().empty() ? 0 : trackSpec.pregap);
        if (at)
            trackSpec.start = *at;  // a session that continues a disc: its addresses are fixed
        trackSpec.length = blocks;
        // Until the last block is written and the track closed, the track
        // reads as unfinished, as a real recorder leaves an interrupted one.
        trackSpec.flags = vrn::kTrackIncomplete;
        auto added = disc_.appendTrack(trackSpec);
        if (!added)
            return failure(added.error());
        track_ = added.value();
        return {};
    }
    std::optional<WriteFailure> write(const std::vector<std::uint8_t> &piece) override
    {
        std::size_t allowed = piece.size();
        if (setup_.imageRecorder && failAfter_)
            allowed = static_cast<std::size_t>(std::clamp<std::int64_t>(*failAfter_, 0, static_cast<std::int64_t>(allowed))) /
                      kBlockBytes * kBlockBytes;
        if (allowed > 0) {
            auto st = disc_.writeTrackBlocks(*track_, nextBlock_,
                                             std::span<const std::uint8_t>(piece.data(), allowed));
            if (!st)
                return failure(st.error());
            nextBlock_ += static_cast<std::uint32_t>(allowed / kBlockBytes);
        }
        if (setup_.imageRecorder && failAfter_) {
            *failAfter_ -= static_cast<std::int64_t>(allowed);
            if (allowed < piece.size())
                return WriteFailure{VORN_BURN_NO_SPACE, texts_.get(msg::kBurnImageFull, {toCodePage(setup_.where)})};
        }
        return {};
    }
    std::optional<WriteFailure> complete() override
    {
        if (auto st = disc_.sync(); !st)
            return failure(st.error());
        if (auto st = disc_.setTrackFlags(*track_, 0); !st)
            return failure(st.error());
        auto closed = setup_.closeSession ? disc_.closeSession() : disc_.closeDisc();
        if (!closed)
            return failure(closed.error());
        if (setup_.imageRecorder) {
            std::error_code ec;
            std::filesystem::rename(disc_.path(), setup_.finalPath, ec);
            if (ec)
                return failure(ec.message());
        }
        done_ = true;
        return {};
    }
    std::size_t trackIndex() const { return track_.value_or(0); }
    vrn::VrnDisc &disc() { return disc_; }

    void abandon() override
    {
        // A new container of the image recorder goes; a disc keeps its
        // unfinished track.
        if (setup_.imageRecorder && !done_) {
            std::error_code ec;
            std::filesystem::remove(disc_.path(), ec);
            done_ = true;
        }
    }

private:
    WriteFailure failure(const std::string &why) const
    {
        if (setup_.imageRecorder)
            return {VORN_BURN_WRITE_ERROR, texts_.get(msg::kBurnImageFailed, {toCodePage(setup_.where), toCodePage(why)})};
        return {VORN_BURN_WRITE_ERROR, texts_.get(msg::kBurnDiscWriteFailed, {setup_.where, toCodePage(why)})};
    }

    const Messages &texts_;
    vrn::VrnDisc disc_;
    Setup setup_;
    std::optional<std::int64_t> failAfter_;
    std::optional<std::size_t> track_;
    std::uint32_t nextBlock_ = 0;
    bool done_ = false;
};

// Reading back: each piece the image writer produces again is compared
// with what the target holds at the same place.
class VerifyTarget : public Target {
public:
    // Reads `out.size()` bytes of user data from block `first` of what was
    // written; "" when done, else why it could not.
    using Reader = std::function<std::string(std::uint64_t first, std::span<std::uint8_t> out)>;

    VerifyTarget(const Messages &texts, std::string where, Reader reader)
        : texts_(texts), where_(std::move(where)), reader_(std::move(reader))
    {
    }
    std::optional<WriteFailure> write(const std::vector<std::uint8_t> &piece) override
    {
        got_.resize(piece.size());
        if (auto why = reader_(nextBlock_, got_); !why.empty())
            return WriteFailure{VORN_BURN_VERIFY_FAILED,
                                texts_.get(msg::kBurnVerifyUnreadable, {std::to_string(nextBlock_), where_, toCodePage(why)})};
        if (std::memcmp(got_.data(), piece.data(), piece.size()) != 0) {
            std::size_t at = 0;
            while (got_[at] == piece[at])
                ++at;
            const std::uint64_t bad = nextBlock_ + at / kBlockBytes + firstBlock_;
            return WriteFailure{VORN_BURN_VERIFY_FAILED, texts_.get(msg::kBurnVerifyMismatch, {std::to_string(bad), where_})};
        }
        nextBlock_ += piece.size() / kBlockBytes;
        return {};
    }
    std::optional<WriteFailure> complete() override { return {}; }
    void abandon() override {}
    // Messages name disc addresses: the track's first block is added.
    void setFirstBlock(std::uint64_t block) { firstBlock_ = block; }

private:
    const Messages &texts_;
    std::string where_;
    Reader reader_;
    std::vector<std::uint8_t> got_;
    std::uint64_t nextBlock_ = 0;
    std::uint64_t firstBlock_ = 0;
};

// Zero blocks after the image, up to a medium's minimum size.
std::optional<WriteFailure> writePadding(Target &target, std::uint64_t blocks)
{
    const std::uint64_t perPiece = kPieceBytes / kBlockBytes;
    std::vector<std::uint8_t> zeros;
    while (blocks > 0) {
        const std::uint64_t n = std::min(blocks, perPiece);
        zeros.assign(n * kBlockBytes, 0);
        if (auto failed = target.write(zeros))
            return failed;
        blocks -= n;
    }
    return std::nullopt;
}

// --- The compilation ------------------------------------------------------------

struct FileExtent {
    std::uint32_t extent;
    std::string name;  // its path in the compilation, in the code page
};

struct SourceProblem {
    std::string path;
};

// Every file with a local origin still has the size it was added with.
std::optional<SourceProblem> checkSources(Item *dir)
{
    if (!dir || !dir->dir)
        return std::nullopt;
    for (const auto &child : dir->dir->children) {
        if (!child)
            continue;
        if (child->isDirectory()) {
            if (auto p = checkSources(child.get()))
                return p;
            continue;
        }
        if (child->type != VORN_DATA_ITEM_FILE || child->multisession > VORN_DATA_ITEM_REPLACED)
            continue;
        const std::string path = child->originPath();
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            static_cast<std::uint64_t>(st.st_size) != child->size)
            return SourceProblem{path};
    }
    return std::nullopt;
}

void collectExtents(VornDataCompilation &c, Item *dir, std::vector<FileExtent> &out)
{
    if (!dir || !dir->dir)
        return;
    for (const auto &child : dir->dir->children) {
        if (!child)
            continue;
        if (child->isDirectory())
            collectExtents(c, child.get(), out);
        else if (child->size > 0 && child->type == VORN_DATA_ITEM_FILE)
            out.push_back({child->extent, toCodePage(c.fullPath(child.get(), VORN_NAME_VISIBLE))});
    }
}

// --- The burn ------------------------------------------------------------------------

class Burn {
public:
    Burn(Engine &e, VornDataCompilation &c, VornExtendedProgress *progress)
        : e_(e), c_(c), driver_(progress), questions_(e, [this] { return abortRequested(); })
    {
        std::lock_guard lock(e.mu);
        texts_ = e.messages;
        if (e.settings) {
            idle_ = e.settings->idle;
            idleData_ = e.settings->idleData;
        }
    }

    const Messages &texts() const { return texts_; }
    void log(const std::string &line)
    {
        std::lock_guard lock(e_.mu);
        e_.logError(line);
    }
    bool abortRequested()
    {
        if (driver_.abortRequested() || questions_.answeredAborting())
            return true;
        return idle_ && idle_(idleData_) != 0;
    }

    // Lays the image out and checks its sources, without writing anything.
    std::optional<Outcome> prepare()
    {
        std::lock_guard lock(c_.mu);
        if (auto problem = checkSources(c_.root()))
            return Outcome{VORN_BURN_SOURCE_CHANGED, texts_.get(msg::kBurnSourceChanged, {toCodePage(problem->path)})};
        auto plan = iso::planImage(c_);
        if (!plan.ok)
            return Outcome{VORN_BURN_COMPILATION_REFUSED, texts_.get(msg::kBurnCannotLayOut, {toCodePage(plan.error)})};
        blocks_ = plan.blocks;
        continuesAt_ = static_cast<std::uint32_t>(c_.alreadyOnDiscBlocks);
        modeXa_ = c_.settings.modeXa != 0;
        family_ = c_.settings.medium;
        collectExtents(c_, c_.root(), files_);
        std::sort(files_.begin(), files_.end(),
                  [](const FileExtent &a, const FileExtent &b) { return a.extent < b.extent; });
        return std::nullopt;
    }
    std::uint64_t blocks() const { return blocks_; }
    bool modeXa() const { return modeXa_; }
    // The block a session after imported ones starts at; 0 for a new disc.
    std::uint32_t continuesAt() const { return continuesAt_; }
    std::uint32_t family() const { return family_; }
    Driver &driver() { return driver_; }
    Questions &questions() { return questions_; }
    void setCopy(int copy, int copies)
    {
        copy_ = copy;
        copies_ = copies;
    }

    void begin(const std::string &writer, bool imageRecorder, int phase)
    {
        Outline o;
        o.totalBlocks = static_cast<std::int64_t>(blocks_);
        o.totalBytes = static_cast<std::int64_t>(blocks_) * kBlockBytes;
        o.writerName = writer;
        o.imageRecorder = imageRecorder;
        o.bufferSizeKB = static_cast<std::uint32_t>(kPipePieces * kPieceBytes / 1024);
        o.copy = copy_;
        o.copies = copies_;
        driver_.begin(o);
        if (phase)
            driver_.phase(phase);
    }

    // Streams the image into `target`. `bytesPerSecond` paces it (0: as fast
    // as it comes); `limitBytes` stops early (the speed test). Returns the
    // outcome; on success the caller completes the target.
    Outcome stream(Target &target, double bytesPerSecond, std::uint64_t limitBytes = 0, double *measured = nullptr)
    {
        Producer producer(c_, now_);
        const auto started = Clock::now();
        std::uint64_t done = 0;
        std::size_t fileIndex = 0;
        std::optional<Outcome> stopped;
        while (auto piece = producer.pipe().pop()) {
            if (abortRequested()) {
                stopped = Outcome{VORN_BURN_ABORTED, texts_.get(msg::kBurnAborted)};
                break;
            }
            if (auto failed = target.write(*piece)) {
                stopped = Outcome{failed->code, failed->line};
                break;
            }
            done += piece->size();
            const std::uint64_t block = done / kBlockBytes;
            while (fileIndex + 1 < files_.size() && files_[fileIndex + 1].extent < block)
                ++fileIndex;
            const char *file = !files_.empty() && files_[fileIndex].extent < block ? files_[fileIndex].name.c_str() : nullptr;
            if (verifying_)
                driver_.verifying(blocks_ ? static_cast<int>(block * 100 / blocks_) : 100);
            else
                driver_.wrote(static_cast<std::int64_t>(block), file);
            driver_.buffer(static_cast<std::uint32_t>(producer.pipe().levelBytes() / 1024));
            if (limitBytes && done >= limitBytes)
                break;
            if (bytesPerSecond > 0 && !pace(started, static_cast<double>(done) / bytesPerSecond)) {
                stopped = Outcome{VORN_BURN_ABORTED, texts_.get(msg::kBurnAborted)};
                break;
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        if (measured)
            *measured = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        const auto &result = producer.stop();
        if (stopped)
            return *stopped;
        if (limitBytes && done >= limitBytes)
            return {};
        if (!result.ok) {
            // The writer stopped on its own: a source that changed under it,
            // or one it could not read.
            std::lock_guard lock(c_.mu);
            if (auto problem = checkSources(c_.root()))
                return {VORN_BURN_SOURCE_CHANGED, texts_.get(msg::kBurnSourceChanged, {toCodePage(problem->path)})};
            return {VORN_BURN_READ_ERROR, texts_.get(msg::kBurnSourceUnreadable, {toCodePage(result.error)})};
        }
        if (done != blocks_ * kBlockBytes)
            return {VORN_BURN_COMPILATION_REFUSED, texts_.get(msg::kBurnCompilationChanged)};
        return {};
    }

    // Reads what was written back and compares it with the image produced
    // once more, and `padBlocks` zero blocks after it.
    Outcome verify(VerifyTarget &target, std::uint64_t padBlocks)
    {
        driver_.phase(VORN_PHASE_VERIFYING);
        verifying_ = true;
        auto out = stream(target, 0);
        verifying_ = false;
        if (out.code == VORN_BURN_OK && padBlocks > 0)
            if (auto failed = writePadding(target, padBlocks))
                out = {failed->code, failed->line};
        if (out.code == VORN_BURN_OK && abortRequested())
            out = {VORN_BURN_ABORTED, texts_.get(msg::kBurnAborted)};
        driver_.phase(out.code == VORN_BURN_OK        ? VORN_PHASE_VERIFY_OK
                      : out.code == VORN_BURN_ABORTED ? VORN_PHASE_VERIFY_ABORTED
                                                      : VORN_PHASE_VERIFY_FAILED);
        return out;
    }

private:
    // Sleeps until `seconds` after `started` (times the time scale), looking
    // at the abort flag meanwhile. False when aborted.
    bool pace(Clock::time_point started, double seconds)
    {
        double scale;
        {
            std::lock_guard lock(e_.mu);
            scale = e_.timeScale;
        }
        const auto until = started + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(seconds * scale));
        while (Clock::now() < until) {
            if (abortRequested())
                return false;
            std::this_thread::sleep_until(std::min(until, Clock::now() + std::chrono::milliseconds(20)));
        }
        return true;
    }

    Engine &e_;
    VornDataCompilation &c_;
    Driver driver_;
    Messages texts_;
    VornIdleCallback idle_ = nullptr;
    void *idleData_ = nullptr;
    Questions questions_;
    std::uint64_t blocks_ = 0;
    std::uint32_t continuesAt_ = 0;
    std::uint32_t family_ = VORN_FAMILY_CD;
    int copy_ = 1, copies_ = 1;
    bool verifying_ = false;
    bool modeXa_ = false;
    std::vector<FileExtent> files_;
    std::int64_t now_ = static_cast<std::int64_t>(std::time(nullptr));
};

// The fastest write speed of the drive for `medium` not above `wanted`
// (0: the fastest), or its slowest.
std::int32_t writeSpeed(const Drive &drive, const MediumKind &kind, std::int32_t wanted)
{
    std::vector<std::int32_t> speeds;
    if (auto it = drive.writeSpeeds.find(kind.value); it != drive.writeSpeeds.end())
        speeds = it->second;
    else
        for (auto tenths : kind.writeTenths)
            speeds.push_back(kbsFromTenths(kind, tenths));
    std::sort(speeds.begin(), speeds.end());
    if (speeds.empty())
        return static_cast<std::int32_t>(kind.baseKBs);
    if (wanted <= 0)
        return speeds.back();
    std::int32_t chosen = speeds.front();
    for (auto s : speeds)
        if (s <= wanted)
            chosen = s;
    return chosen;
}

bool endsWithVrn(const std::string &path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return tail == ".vrn";
}

// The smallest recordable medium of the compilation's family that holds
// `blocks`, for a container the image recorder makes.
std::uint32_t containerMedium(std::uint32_t family, std::uint64_t blocks)
{
    static const std::uint32_t cd[] = {VORN_MEDIUM_CD_R};
    static const std::uint32_t dvd[] = {VORN_MEDIUM_DVD_PLUS_R, VORN_MEDIUM_DVD_PLUS_R_DL};
    static const std::uint32_t bd[] = {VORN_MEDIUM_BD_R};
    static const std::uint32_t hd[] = {VORN_MEDIUM_HDDVD_R};
    std::span<const std::uint32_t> choices = cd;
    if (family == VORN_FAMILY_DVD)
        choices = dvd;
    else if (family == VORN_FAMILY_BD)
        choices = bd;
    else if (family == VORN_FAMILY_HDDVD)
        choices = hd;
    for (auto m : choices)
        if (blocks + (vrn::medium::isCd(m) ? kCdPregap : 0) <= vrn::medium::nominalCapacity(m))
            return m;
    return 0;
}

Outcome runImageRecorder(Burn &b, const Job &job, VornDataCompilation &c, std::uint32_t flags)
{
    const auto &texts = b.texts();
    if (b.continuesAt())
        return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnContinuationOnlyToDisc)};
    std::string path = imageFileName();
    if (path.empty() && b.questions().canAsk()) {
        // The user names the file; a cancelled chooser has already set the
        // abort flag.
        std::vector<char> buffer(VORN_PATH_BUFFER_SIZE, '\0');
        const int answer = b.questions().ask(VORN_REQUEST_IMAGE_FILE_NAME, buffer.data());
        buffer.back() = '\0';
        if (answer == VORN_ANSWER_NAMED)
            path = buffer.data();
        else if (answer == 0 || b.abortRequested())
            return {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
    }
    if (path.empty())
        return {VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnNoImageName)};
    const bool container = endsWithVrn(path);
    std::uint32_t medium = 0;
    std::uint64_t needBytes = b.blocks() * kBlockBytes;
    if (container) {
        std::uint32_t family;
        {
            std::lock_guard lock(c.mu);
            family = c.settings.medium;
        }
        medium = containerMedium(family, b.blocks());
        if (!medium)
            return {VORN_BURN_DISC_TOO_SMALL,
                    texts.get(msg::kBurnTooLargeForMedium, {std::to_string(b.blocks()), mediumMaskNames(family)})};
        if (vrn::medium::isCd(medium))
            needBytes = b.blocks() * 2352;
    }
    // A target that cannot hold the image fails before a byte is written.
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0) {
        const std::uint64_t freeBytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
        if (freeBytes < needBytes) {
            b.questions().ask(VORN_REQUEST_NO_SPACE_FOR_IMAGE, nullptr);
            return {VORN_BURN_NO_SPACE, texts.get(msg::kBurnNoSpace, {toCodePage(path), std::to_string(needBytes),
                                                                       std::to_string(freeBytes)})};
        }
    }

    const bool writing = flags & VORN_BURN_WRITE;
    if (flags & VORN_BURN_SIMULATE) {
        b.begin(job.driveName, true, VORN_PHASE_SIMULATING);
        b.driver().startWriting(0, 0);
        NullTarget none;
        auto out = b.stream(none, 0);
        b.driver().endWriting(out.code == VORN_BURN_OK);
        if (out.code != VORN_BURN_OK)
            return out;
    }
    if (!writing)
        return {};

    b.begin(job.driveName, true, VORN_PHASE_CREATING_IMAGE);
    std::unique_ptr<Target> target;
    if (container) {
        const std::string tmp = path + ".part-" + std::to_string(::getpid());
        auto disc = vrn::VrnDisc::create(tmp, medium, vrn::medium::nominalCapacity(medium), true);
        if (!disc)
            return {VORN_BURN_WRITE_ERROR, texts.get(msg::kBurnImageFailed, {toCodePage(path), toCodePage(disc.error())})};
        ContainerTarget::Setup setup{path, path, (flags & VORN_BURN_CLOSE_SESSION) != 0, true};
        auto t = std::make_unique<ContainerTarget>(texts, std::move(disc).value(), setup, job.failAfter);
        if (auto failed = t->addTrack(static_cast<std::uint32_t>(b.blocks()), b.modeXa()))
            return {failed->code, failed->line};
        target = std::move(t);
    } else {
        auto t = std::make_unique<ImageFileTarget>(texts, path, job.failAfter);
        if (auto failed = t->open())
            return {failed->code, failed->line};
        target = std::move(t);
    }
    b.driver().startWriting(0, 0);
    auto out = b.stream(*target, 0);
    b.driver().endWriting(out.code == VORN_BURN_OK);
    // An abort that comes while writing ends still stops the image from
    // appearing: the user asked before it was in place.
    if (out.code == VORN_BURN_OK && b.abortRequested())
        out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
    if (out.code == VORN_BURN_OK) {
        b.driver().phase(VORN_PHASE_FINISHING);
        if (auto failed = target->complete())
            out = {failed->code, failed->line};
    }
    if (out.code != VORN_BURN_OK) {
        target->abandon();
        if (out.code == VORN_BURN_NO_SPACE)
            b.questions().ask(VORN_REQUEST_NO_SPACE_FOR_IMAGE, nullptr);
        return out;
    }
    if (flags & VORN_BURN_VERIFY) {
        // The image as it now lies in place, read back.
        VerifyTarget::Reader reader;
        std::optional<vrn::VrnDisc> back;
        int fd = -1;
        if (container) {
            auto opened = vrn::VrnDisc::open(path, vrn::VrnDisc::Access::ReadOnly);
            if (!opened)
                return {VORN_BURN_VERIFY_FAILED, texts.get(msg::kBurnImageFailed, {toCodePage(path), toCodePage(opened.error())})};
            back.emplace(std::move(opened).value());
            reader = [&](std::uint64_t first, std::span<std::uint8_t> bytes) {
                auto st = back->readTrackBlocks(0, static_cast<std::uint32_t>(first), bytes);
                return st ? std::string() : st.error();
            };
        } else {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return {VORN_BURN_VERIFY_FAILED, texts.get(msg::kBurnImageFailed, {toCodePage(path), std::strerror(errno)})};
            reader = [fd](std::uint64_t first, std::span<std::uint8_t> bytes) -> std::string {
                std::size_t done = 0;
                while (done < bytes.size()) {
                    const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done,
                                              static_cast<off_t>(first * kBlockBytes + done));
                    if (n < 0 && errno == EINTR)
                        continue;
                    if (n <= 0)
                        return n == 0 ? std::string("the image ends early") : std::string(std::strerror(errno));
                    done += static_cast<std::size_t>(n);
                }
                return {};
            };
        }
        VerifyTarget verifier(texts, toCodePage(path), reader);
        out = b.verify(verifier, 0);
        if (fd >= 0)
            ::close(fd);
    }
    return out;
}

// --- Finding a disc the burn can use -------------------------------------------

// Blocks a DVD written in high-compatibility mode reaches at least, so that
// players that seek beyond the data find written area: 1 GiB.
constexpr std::uint32_t kDvdMinimumBlocks = 512 * 1024;
constexpr std::uint32_t kBookTypeDvdRom = 1;

// What the burn needs of the disc; the questions answered so far.
struct DiscNeeds {
    bool nextCopy = false;         // a further copy: only a blank disc will do
    bool detectNonEmpty = false;   // a used rewritable disc asks to be erased
    bool highCompatibility = false;
    bool overburnAccepted = false;
};

struct DiscLook {
    enum class Verdict { Ready, Wait, Fail, NonEmptyRewritable, Overburn } verdict = Verdict::Ready;
    int waitCode = VORN_WAIT_WRITABLE_DISC;
    std::string current;  // the medium in the drive, for the wait dialog
    Outcome failure;      // for Fail, and for the others when nobody can be asked
    std::uint32_t medium = 0;
    std::uint32_t start = 0;      // where the track begins
    std::uint32_t padBlocks = 0;  // zero blocks after the image
    std::uint32_t end = 0;        // the first block past the track
    std::uint32_t normalCapacity = 0;
};

// Blocks the disc may reach with overburning allowed by the options; 0 off.
std::uint32_t overburnLimit(const EngineOptions &o, std::uint32_t medium, std::uint32_t nominal)
{
    using Mode = EngineOptions::CdOverburn;
    if (vrn::medium::isCd(medium)) {
        if (o.cdOverburn == Mode::Absolute)
            return static_cast<std::uint32_t>(std::max(0, o.cdOverburnFrames));
        if (o.cdOverburn == Mode::Relative)
            return nominal + static_cast<std::uint32_t>(std::max(0, o.cdOverburnFrames));
        return 0;
    }
    if (medium & VORN_FAMILY_DVD)
        return static_cast<std::uint32_t>(std::max(0, o.dvdOverburnBlocks));
    return 0;
}

// The media of the compilation's family the drive writes, for the wait dialog.
std::string requiredMedia(const Drive &d, std::uint32_t family)
{
    std::string names;
    for (const MediumKind *m : mediaInMask(d.writeMedia)) {
        if (!(m->value & family))
            continue;
        if (!names.empty())
            names += ", ";
        names += m->name;
    }
    return names;
}

// Looks at the drive's disc once, with the engine's lock held.
DiscLook lookAtDisc(Burn &b, const Job &job, const DiscNeeds &needs)
{
    const auto &texts = b.texts();
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    const Drive &d = *job.drive;
    DiscLook l;
    auto fail = [&](int code, std::string line) {
        l.verdict = DiscLook::Verdict::Fail;
        l.failure = {code, std::move(line)};
        return l;
    };
    auto wait = [&](int waitCode, int code, std::string line) {
        l.verdict = DiscLook::Verdict::Wait;
        l.waitCode = waitCode;
        l.failure = {code, std::move(line)};
        return l;
    };
    if (!d.present)
        return fail(VORN_BURN_DEVICE_GONE, texts.get(msg::kBurnDeviceGone, {job.driveName}));
    if (d.busy)
        return fail(VORN_BURN_DRIVE_BUSY, texts.get(msg::kEraseInUse, {job.driveName}));
    const int anyDisc = needs.nextCopy ? VORN_WAIT_NEXT_BLANK_DISC
                        : b.continuesAt() ? VORN_WAIT_APPENDABLE_DISC
                                          : VORN_WAIT_WRITABLE_DISC;
    if (!d.disc || e.readiness(d) != VORN_READY) {
        l.current = texts.get(msg::kBurnNoDisc);
        return wait(anyDisc, VORN_BURN_NO_MEDIUM, texts.get(msg::kEraseNoDisc, {job.driveName}));
    }
    const vrn::VrnDisc &disc = d.disc->container;
    l.medium = disc.mediumType();
    l.current = mediumMaskNames(l.medium);
    if (!(d.capabilities & VORN_CAP_WRITE) || (d.writeMedia & l.medium) != l.medium || vrn::medium::isRom(l.medium) ||
        !disc.writable())
        return wait(anyDisc, VORN_BURN_NOT_WRITABLE,
                    texts.get(msg::kBurnCannotWriteMedium, {job.driveName, mediumMaskNames(l.medium)}));
    const bool blank = disc.tracks().empty();
    if (needs.nextCopy && !blank)
        return wait(VORN_WAIT_NEXT_BLANK_DISC, VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnDiscNotBlank, {job.driveName}));
    if (disc.state() == vrn::DiscState::Closed)
        return fail(VORN_BURN_DISC_CLOSED, texts.get(msg::kBurnDiscClosed, {job.driveName}));
    if (!blank && (disc.tracks().back().flags & vrn::kTrackIncomplete))
        return fail(VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnUnfinishedTrack, {job.driveName}));
    if (b.continuesAt()) {
        // The new session points at the extents of the imported one: only
        // the disc it was imported from, as it was then, can take it.
        const auto next = disc.nextWritableAddress();
        if (blank || import::nextSessionStart(disc) != b.continuesAt())
            return fail(VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnContinuesOtherDisc, {job.driveName}));
        const std::uint32_t pregap = vrn::medium::isCd(l.medium) ? kCdPregap : 0;
        if (!next || std::uint64_t(*next) + pregap >= disc.capacity())
            return fail(VORN_BURN_DISC_TOO_SMALL, texts.get(msg::kBurnDiscTooSmall, {std::to_string(b.blocks()), job.driveName, "0"}));
        l.start = b.continuesAt();
    } else if (!blank) {
        if (needs.detectNonEmpty && vrn::medium::isRewritable(l.medium)) {
            l.verdict = DiscLook::Verdict::NonEmptyRewritable;
            l.failure = {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnDiscNotBlank, {job.driveName})};
            return l;
        }
        return wait(VORN_WAIT_BLANK_DISC, VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnDiscNotBlank, {job.driveName}));
    } else {
        l.start = disc.nextWritableAddress().value_or(0);
    }

    const std::uint32_t nominal = vrn::medium::nominalCapacity(l.medium);
    l.normalCapacity = nominal ? std::min(disc.capacity(), nominal) : disc.capacity();
    std::uint64_t need = b.blocks();
    if (needs.highCompatibility && (l.medium & VORN_FAMILY_DVD) && !vrn::medium::isCd(l.medium)) {
        // Padded to the minimum, but never into what the disc cannot hold.
        const std::uint64_t room = l.normalCapacity > l.start ? l.normalCapacity - l.start : 0;
        const std::uint64_t least = std::min<std::uint64_t>(kDvdMinimumBlocks, room);
        if (least > need) {
            l.padBlocks = static_cast<std::uint32_t>(least - need);
            need = least;
        }
    }
    const std::uint64_t end = std::uint64_t(l.start) + need;
    l.end = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX));
    const std::uint32_t freeBlocks = l.normalCapacity > l.start ? l.normalCapacity - l.start : 0;
    const Outcome tooSmall{VORN_BURN_DISC_TOO_SMALL, texts.get(msg::kBurnDiscTooSmall, {std::to_string(need), job.driveName,
                                                                                        std::to_string(freeBlocks)})};
    if (end <= l.normalCapacity)
        return l;
    const std::uint32_t limit = overburnLimit(e.options, l.medium, nominal);
    if (limit > l.normalCapacity && end <= std::min(limit, disc.capacity())) {
        if (!needs.overburnAccepted) {
            l.verdict = DiscLook::Verdict::Overburn;
            l.failure = tooSmall;
        }
        return l;
    }
    if (needs.nextCopy || b.continuesAt())
        return fail(tooSmall.code, tooSmall.line);
    return wait(VORN_WAIT_LARGER_DISC, tooSmall.code, tooSmall.line);
}

// Looks until the drive holds a disc the burn can use, asking the user what
// needs asking. Every question is asked with no lock held.
Outcome settleDisc(Burn &b, const Job &job, DiscNeeds &needs, DiscLook &found)
{
    const auto &texts = b.texts();
    auto &q = b.questions();
    const Outcome aborted{VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
    bool erased = false, toldNotBlank = false;
    std::string required;
    {
        std::lock_guard lock(Engine::instance().mu);
        required = requiredMedia(*job.drive, b.family());
    }
    for (;;) {
        if (b.abortRequested())
            return aborted;
        DiscLook l = lookAtDisc(b, job, needs);
        switch (l.verdict) {
        case DiscLook::Verdict::Ready:
            found = l;
            return {};
        case DiscLook::Verdict::Fail:
            return l.failure;
        case DiscLook::Verdict::NonEmptyRewritable: {
            // Asked once: a disc still not empty after the answer "erased"
            // is not asked about again.
            if (!q.canAsk() || erased)
                return l.failure;
            const int answer = q.ask(VORN_REQUEST_BLANK_REWRITABLE, nullptr);
            if (q.answeredAborting() || b.abortRequested())
                return aborted;
            if (answer != VORN_ANSWER_ERASED)
                return {VORN_BURN_DECLINED, texts.get(msg::kBurnEraseDeclined, {job.driveName})};
            erased = true;
            continue;
        }
        case DiscLook::Verdict::Overburn: {
            if (!q.canAsk())
                return l.failure;
            std::uint32_t counts[2] = {l.end, l.normalCapacity};
            const int answer = q.ask(VORN_REQUEST_OVERBURN, counts);
            if (q.answeredAborting() || b.abortRequested())
                return aborted;
            if (answer != 1)
                return {VORN_BURN_DECLINED, texts.get(msg::kBurnOverburnDeclined, {std::to_string(l.end), job.driveName,
                                                                                    std::to_string(l.normalCapacity)})};
            needs.overburnAccepted = true;
            continue;
        }
        case DiscLook::Verdict::Wait: {
            if (!q.canAsk())
                return l.failure;
            if (l.waitCode == VORN_WAIT_BLANK_DISC && !toldNotBlank) {
                // Why the disc in the drive will not do, before the wait.
                const std::string text = texts.get(msg::kBurnInsertBlankDisc, {job.driveName});
                VornMessageRequest m{0, 1, text.c_str()};
                q.ask(VORN_REQUEST_MESSAGE, &m);
                toldNotBlank = true;
                if (q.answeredAborting())
                    return aborted;
            }
            const auto end = q.waitForDisc(l.waitCode, required, [&]() -> std::optional<std::string> {
                DiscLook now = lookAtDisc(b, job, needs);
                // While waiting, a disc that cannot be used (finalized, of
                // another disc's sessions) is only what the tray holds now;
                // a drive that went away ends the wait.
                const bool driveLost = now.verdict == DiscLook::Verdict::Fail &&
                                       (now.failure.code == VORN_BURN_DEVICE_GONE ||
                                        now.failure.code == VORN_BURN_DRIVE_BUSY);
                if (now.verdict == DiscLook::Verdict::Wait || (now.verdict == DiscLook::Verdict::Fail && !driveLost))
                    return now.current;
                return std::nullopt;
            });
            if (end == Questions::WaitEnd::Aborted)
                return aborted;
            continue;
        }
        }
    }
}

Outcome runDrive(Burn &b, const Job &job, std::uint32_t flags, std::int32_t speedWanted, int copies)
{
    const auto &texts = b.texts();
    auto &e = Engine::instance();
    DiscNeeds needs;
    needs.detectNonEmpty = (flags & VORN_BURN_DETECT_NON_EMPTY_CDRW) != 0;
    needs.highCompatibility = (flags & VORN_BURN_DVDP_BURN_30MM_AT_LEAST) != 0;
    if (!(flags & VORN_BURN_WRITE))
        copies = 1;  // nothing is written: one test or simulation is enough

    for (int copy = 1; copy <= copies; ++copy) {
        needs.nextCopy = copy > 1;
        needs.overburnAccepted = false;
        b.setCopy(copy, copies);
        DiscLook look;
        if (auto refused = settleDisc(b, job, needs, look); refused.code != VORN_BURN_OK)
            return refused;

        std::shared_ptr<TrayDisc> tray;
        std::optional<std::int32_t> bookTypeOption;
        {
            std::lock_guard lock(e.mu);
            tray = job.drive->disc;
            if (auto it = job.drive->deviceOptions.find(VORN_DEVICE_OPTION_BOOK_TYPE); it != job.drive->deviceOptions.end())
                bookTypeOption = it->second;
        }
        if (!tray)
            return {VORN_BURN_NO_MEDIUM, texts.get(msg::kEraseNoDisc, {job.driveName})};
        // The burn works on a handle of its own, so the engine's lock is not
        // held while blocks are written.
        auto opened = vrn::VrnDisc::open(tray->path, vrn::VrnDisc::Access::ReadWrite);
        if (!opened)
            return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnDiscWriteFailed, {job.driveName, toCodePage(opened.error())})};
        vrn::VrnDisc disc = std::move(opened).value();
        const std::uint32_t medium = look.medium;
        const std::uint32_t trackBlocks = static_cast<std::uint32_t>(b.blocks()) + look.padBlocks;

        const MediumKind *kind = findMedium(medium);
        std::int32_t speed = kind ? writeSpeed(*job.drive, *kind, speedWanted) : VORN_BASE_SPEED_CD;
        const std::int32_t base = kind ? static_cast<std::int32_t>(kind->baseKBs) : VORN_BASE_SPEED_CD;
        // Speeds count 1000 bytes a kilobyte of what passes the laser: a CD
        // block is 2352 bytes there.
        const double onDiscPerBlock = vrn::medium::isCd(medium) ? 2352.0 : 2048.0;

        if (copy == 1 && (flags & VORN_BURN_SPEED_TEST)) {
            b.begin(job.driveName, false, VORN_PHASE_TESTING_SPEED);
            NullTarget none;
            double bytesPerSecond = 0;
            auto out = b.stream(none, 0, 64u << 20, &bytesPerSecond);
            if (out.code != VORN_BURN_OK)
                return out;
            const double sourceKBs = bytesPerSecond / kBlockBytes * onDiscPerBlock / 1000.0;
            b.driver().readSpeed(static_cast<int>(std::min(sourceKBs, 65534.0)), base);
            if (sourceKBs > 0 && sourceKBs < speed) {
                // The sources cannot keep up: write slower rather than run dry.
                std::int32_t slower = kind ? writeSpeed(*job.drive, *kind, static_cast<std::int32_t>(sourceKBs)) : speed;
                speed = std::min(speed, slower);
            }
            b.driver().message(texts.get(msg::kBurnSpeedTested, {std::to_string(static_cast<long long>(sourceKBs)),
                                                                  std::to_string(speed)}),
                               VORN_MESSAGE_INFO);
        }
        const double bytesPerSecond = speed * 1000.0 / onDiscPerBlock * kBlockBytes;

        if (copy == 1 && (flags & VORN_BURN_SIMULATE)) {
            b.begin(job.driveName, false, VORN_PHASE_SIMULATING);
            b.driver().startWriting(speed, base);
            NullTarget none;
            auto out = b.stream(none, bytesPerSecond);
            b.driver().endWriting(out.code == VORN_BURN_OK);
            if (out.code != VORN_BURN_OK)
                return out;
        }
        if (!(flags & VORN_BURN_WRITE))
            return {};

        // The book type goes to DVD+R and DVD+RW only, and only when the
        // burn does not forbid changing it.
        const bool plusMedium = medium == VORN_MEDIUM_DVD_PLUS_R || medium == VORN_MEDIUM_DVD_PLUS_RW ||
                                medium == VORN_MEDIUM_DVD_PLUS_R_DL;
        if (plusMedium && !(flags & VORN_BURN_NO_BOOKTYPE_CHANGE)) {
            const std::optional<std::int32_t> bookType =
                (flags & VORN_BURN_BOOKTYPE_DVDROM) ? std::optional<std::int32_t>(kBookTypeDvdRom) : bookTypeOption;
            if (bookType)
                if (auto st = disc.setBookType(static_cast<std::uint32_t>(*bookType)); !st)
                    return {VORN_BURN_WRITE_ERROR, texts.get(msg::kBurnDiscWriteFailed, {job.driveName, toCodePage(st.error())})};
        }

        b.begin(job.driveName, false, 0);
        ContainerTarget::Setup setup{job.driveName, {}, (flags & VORN_BURN_CLOSE_SESSION) != 0, false};
        ContainerTarget target(texts, std::move(disc), setup, job.failAfter);
        b.driver().startWriting(speed, base);
        Outcome out;
        if (auto failed = target.addTrack(trackBlocks, b.modeXa(), look.start))
            out = {failed->code, failed->line};
        else
            out = b.stream(target, bytesPerSecond);
        if (out.code == VORN_BURN_OK && look.padBlocks > 0)
            if (auto failed = writePadding(target, look.padBlocks))
                out = {failed->code, failed->line};
        b.driver().endWriting(out.code == VORN_BURN_OK);
        if (out.code == VORN_BURN_OK && b.abortRequested())
            out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
        if (out.code == VORN_BURN_OK) {
            b.driver().phase(VORN_PHASE_FINISHING);
            if (auto failed = target.complete())
                out = {failed->code, failed->line};
        }
        const std::size_t track = target.trackIndex();
        // The tray's own handle reads the tables again: the burn committed
        // through another one.
        if (auto again = openTrayDisc(tray->path)) {
            std::lock_guard lock(e.mu);
            if (job.drive->disc == tray)
                tray->container = std::move(again.value()->container);
        }
        if (out.code == VORN_BURN_OK && (flags & VORN_BURN_VERIFY)) {
            auto reading = vrn::VrnDisc::open(tray->path, vrn::VrnDisc::Access::ReadOnly);
            if (!reading)
                return {VORN_BURN_VERIFY_FAILED, texts.get(msg::kBurnVerifyUnreadable, {"0", job.driveName,
                                                                                         toCodePage(reading.error())})};
            const vrn::VrnDisc &back = reading.value();
            VerifyTarget verifier(texts, job.driveName, [&](std::uint64_t first, std::span<std::uint8_t> bytes) {
                auto st = back.readTrackBlocks(track, static_cast<std::uint32_t>(first), bytes);
                return st ? std::string() : st.error();
            });
            verifier.setFirstBlock(look.start);
            out = b.verify(verifier, look.padBlocks);
            if (out.code == VORN_BURN_OK)
                b.driver().message(texts.get(msg::kBurnVerified, {job.driveName}), VORN_MESSAGE_INFO);
        }
        if (out.code != VORN_BURN_OK)
            return out;
        if (copies > 1)
            b.driver().message(texts.get(msg::kBurnCopyWritten, {std::to_string(copy), std::to_string(copies)}),
                               VORN_MESSAGE_INFO);
    }
    return {};
}

}  // namespace

void setImageFileName(const std::string &path)
{
    std::lock_guard lock(gNameMu);
    gImageFileName = path;
}

std::string imageFileName()
{
    std::lock_guard lock(gNameMu);
    return gImageFileName;
}

int burn(VornDevice *device, int formatCode, const VornWriteDescription *description, std::uint32_t flags,
         std::int32_t speedKBs, void *reserved)
{
    if (description && description->kind == VORN_WRITE_IMAGE)
        return burnImage(device, formatCode, description, flags, speedKBs, reserved);
    auto &e = Engine::instance();
    const BurnStart start = startBurn(e, device);
    const Job &job = start.job;
    const Messages &texts = start.texts;
    auto refused = [&](int code, const std::string &line) { return refuse(e, {code, line}); };
    if (formatCode != VORN_BURN_MAGIC)
        return refused(VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnBadFormat));
    if (!job.drive || !description || reserved)
        return refused(VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnBadHandle));
    if (description->kind != VORN_WRITE_DATA)
        return refused(VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnKindNotSupported, {std::to_string(description->kind)}));
    auto *c = static_cast<VornDataCompilation *>(description->compilation);
    if (!c || c->magic != VornDataCompilation::kMagic || description->copies < 1)
        return refused(VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnBadHandle));
    if (auto refusal = commonRefusal(start, flags))
        return refuse(e, *refusal);

    VornExtendedProgress *progress = description->progress;
    if (!progress) {
        std::lock_guard lock(c->mu);
        progress = c->progress;
    }
    Burn b(e, *c, progress);
    Outcome out;
    if (b.abortRequested()) {
        out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
    } else if (auto refused = b.prepare()) {
        out = *refused;
    } else {
        out = job.imageRecorder ? runImageRecorder(b, job, *c, flags) : runDrive(b, job, flags, speedKBs, description->copies);
    }
    const bool wrote = (flags & VORN_BURN_WRITE) != 0;
    if (out.code == VORN_BURN_OK && wrote) {
        // What the compilation can do next: an image or a finalized disc
        // takes nothing more; a disc whose session was closed can be continued.
        const bool appendable = !job.imageRecorder && (flags & VORN_BURN_CLOSE_SESSION);
        std::lock_guard lock(c->mu);
        c->settings.multisession = appendable ? VORN_MULTISESSION_CONTINUE : VORN_MULTISESSION_NONE;
    }
    if (out.code != VORN_BURN_OK) {
        b.driver().message(out.line, out.code == VORN_BURN_ABORTED ? VORN_MESSAGE_STOP : VORN_MESSAGE_WARNING);
        b.log(out.line);
    }
    b.driver().finish();

    recordHistory(e, start, out, wrote, b.blocks());
    return out.code;
}

}  // namespace vorn::engine::burn

extern "C" {

VORN_EXPORT int VornBurn(VornDevice *device, int formatCode, const VornWriteDescription *description,
                         uint32_t flags, int32_t speedKBs, void *reserved)
{
    try {
        return vorn::engine::burn::burn(device, formatCode, description, flags, speedKBs, reserved);
    } catch (...) {
        auto &e = vorn::engine::Engine::instance();
        std::lock_guard lock(e.mu);
        e.logError(e.messages.get(vorn::engine::msg::kBurnInternalError));
        return VORN_BURN_WRITE_ERROR;
    }
}

VORN_EXPORT int VornControl_SetImageFileName(const char *path)
{
    try {
        vorn::engine::burn::setImageFileName(path ? path : "");
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
