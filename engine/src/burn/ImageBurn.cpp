// Image files and cue sheets: their compilations and their burn. See
// ImageBurn.h for the threads.
#include "burn/ImageBurn.h"

#include "CueSheet.h"
#include "DiscImage.h"
#include "Engine.h"
#include "Media.h"
#include "VornControl.h"
#include "burn/Burn.h"
#include "burn/BurnStart.h"
#include "progress/Progress.h"

#include <glib.h>

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

// The handles are keys into the registry below; they hold nothing, so a
// destroyed or foreign handle is recognised without touching freed memory.
struct VornImageCompilation {
    int unused;
};
struct VornCueSheetCompilation {
    int unused;
};

namespace vorn::engine::burn {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kChunkBlocks = 256;
constexpr std::uint32_t kCdPregap = 150;
constexpr std::uint64_t kSpeedTestBytes = 64u << 20;

// --- Media families -------------------------------------------------------------

std::uint32_t familyOf(std::uint32_t medium)
{
    namespace m = vrn::medium;
    if (m::isCd(medium))
        return VORN_FAMILY_CD;
    switch (medium) {
    case m::DvdRam: case m::DvdRom: case m::DvdMinusR: case m::DvdMinusRw: case m::DvdPlusR:
    case m::DvdPlusRw: case m::DvdPlusRDl: case m::DvdMinusRDl:
        return VORN_FAMILY_DVD;
    case m::BdRom: case m::BdR: case m::BdRe: case VORN_MEDIUM_BD_R_DL: case VORN_MEDIUM_BD_RE_DL:
        return VORN_FAMILY_BD;
    case m::HdDvdRom: case m::HdDvdR: case m::HdDvdRw:
        return VORN_FAMILY_HDDVD;
    default:
        return 0;
    }
}

std::string familyNames(std::uint32_t mask)
{
    std::string out;
    for (auto [family, name] : {std::pair{VORN_FAMILY_CD, "CD"}, std::pair{VORN_FAMILY_DVD, "DVD"},
                                std::pair{VORN_FAMILY_HDDVD, "HD DVD"}, std::pair{VORN_FAMILY_BD, "BD"}})
        if (mask & family)
            out += (out.empty() ? "" : ", ") + std::string(name);
    return out.empty() ? "?" : out;
}

// Recordable media of a family, smallest first: what the image recorder
// makes a container of.
std::vector<std::uint32_t> recordableMedia(std::uint32_t family)
{
    namespace m = vrn::medium;
    if (family & VORN_FAMILY_CD)
        return {m::CdR};
    if (family & VORN_FAMILY_DVD)
        return {m::DvdPlusR, m::DvdPlusRDl};
    if (family & VORN_FAMILY_BD)
        return {m::BdR};
    if (family & VORN_FAMILY_HDDVD)
        return {m::HdDvdR};
    return {};
}

std::uint32_t largestCapacity(std::uint32_t family)
{
    std::uint32_t most = 0;
    for (auto m : recordableMedia(family))
        most = std::max(most, vrn::medium::nominalCapacity(m));
    return most;
}

std::string toCodePage(const std::string &utf8)
{
    gchar *out = g_convert_with_fallback(utf8.c_str(), static_cast<gssize>(utf8.size()), "CP1252", "UTF-8", "?",
                                         nullptr, nullptr, nullptr);
    if (!out)
        return utf8;
    std::string s(out);
    g_free(out);
    return s;
}

bool endsWith(const std::string &path, const char *suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (path.size() <= n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != suffix[i])
            return false;
    return true;
}

// --- An image checked for burning ------------------------------------------------------

struct Checked {
    std::unique_ptr<DiscImage> image;
    std::uint32_t family = 0;   // the medium family it was made for
    std::uint32_t allowed = 0;  // families it may go to
    std::uint32_t endBlock = 0; // first block past its last track
};

// A plain image must hold the whole volume its descriptor announces: a file
// cut short by a failed copy still has the descriptor at block 16.
std::optional<std::string> truncatedVolume(const DiscImage &image, const std::string &path)
{
    const auto &track = image.view().tracks.front();
    std::vector<std::uint8_t> pvd;
    if (track.length <= 16 || !image.readTrackBlocks(0, 16, 1, pvd))
        return std::nullopt;
    if (pvd[0] != 1 || std::memcmp(pvd.data() + 1, "CD001", 5) != 0)
        return std::nullopt;
    const std::uint32_t volumeBlocks = pvd[80] | (pvd[81] << 8) | (pvd[82] << 16) | (std::uint32_t(pvd[83]) << 24);
    if (volumeBlocks > track.length)
        return path + " is truncated: its volume needs " + std::to_string(volumeBlocks) + " blocks, the file holds " +
               std::to_string(track.length) + ".";
    return std::nullopt;
}

// Opens and checks an image or cue sheet; the error is the reason in UTF-8.
vrn::Result<Checked> checkImage(const std::string &path)
{
    auto opened = DiscImage::open(path);
    if (!opened)
        return vrn::Error{opened.error()};
    Checked c;
    c.image = std::move(opened).value();
    const auto &view = c.image->view();
    if (view.tracks.empty())
        return vrn::Error{"the disc holds no track."};
    for (std::size_t i = 0; i < view.tracks.size(); ++i) {
        const auto &t = view.tracks[i];
        if (t.flags & vrn::kTrackIncomplete)
            return vrn::Error{"track " + std::to_string(t.number) + " was never finished."};
        // The last block of every track must read: a container or a track
        // file cut short fails here rather than in the middle of a burn.
        std::vector<std::uint8_t> probe;
        if (t.length > 0 && !c.image->readTrackBlocks(i, t.length - 1, 1, probe))
            return vrn::Error{"track " + std::to_string(t.number) + " cannot be read to its end."};
    }
    if (c.image->imageFlags() & kImagePlainIso)
        if (auto cut = truncatedVolume(*c.image, path))
            return vrn::Error{*cut};
    c.family = familyOf(view.medium);
    c.allowed = c.family;
    c.endBlock = view.tracks.back().end();
    const auto &only = view.tracks.front();
    if (view.tracks.size() == 1 && only.type == vrn::TrackType::Data) {
        // One data track is a plain volume: it can go to the other family
        // when it fits there.
        if (c.family == VORN_FAMILY_CD)
            c.allowed |= VORN_FAMILY_DVD;
        else if (c.family == VORN_FAMILY_DVD && only.length < vrn::medium::nominalCapacity(vrn::medium::CdR))
            c.allowed |= VORN_FAMILY_CD;
    }
    return c;
}

// --- Handles ---------------------------------------------------------------------------

struct Source {
    bool cueSheet = false;
    std::string path;
    std::uint32_t family = 0;  // what the burn goes to
    bool allowDisableFinalize = false;
};

std::mutex gHandlesMu;
std::map<const void *, std::shared_ptr<Source>> gHandles;

std::shared_ptr<Source> sourceOf(const void *handle)
{
    std::lock_guard lock(gHandlesMu);
    auto it = gHandles.find(handle);
    return it == gHandles.end() ? nullptr : it->second;
}

void logLine(const std::string &line)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    e.logError(line);
}

Messages currentTexts()
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    return e.messages;
}

// Checks a file for a new compilation; on refusal the error log says why.
std::shared_ptr<Source> makeSource(const char *pathArg, std::uint32_t mask, bool cueSheet)
{
    const Messages texts = currentTexts();
    const std::string path = pathArg ? pathArg : "";
    if (cueSheet && !endsWith(path, ".cue")) {
        logLine(texts.get(msg::kImageNotCueSheet, {toCodePage(path)}));
        return nullptr;
    }
    auto checked = checkImage(path);
    if (!checked) {
        logLine(texts.get(msg::kImageCannotBurn, {toCodePage(path), toCodePage(checked.error())}));
        return nullptr;
    }
    const Checked &c = checked.value();
    const std::uint32_t family = mask ? mask : c.family;
    if (!(family & c.allowed)) {
        logLine(texts.get(msg::kImageWrongMedium, {toCodePage(path), familyNames(c.allowed), familyNames(family)}));
        return nullptr;
    }
    const std::uint32_t target = family & c.allowed;
    const bool sameFamily = target & c.family;
    const std::uint64_t need = sameFamily ? c.endBlock : c.image->view().tracks.front().length;
    if (need > largestCapacity(target)) {
        logLine(texts.get(msg::kBurnTooLargeForMedium, {std::to_string(need), familyNames(target)}));
        return nullptr;
    }
    auto s = std::make_shared<Source>();
    s->cueSheet = cueSheet;
    s->path = path;
    s->family = target;
    return s;
}

template <class Handle>
Handle *registerSource(std::shared_ptr<Source> s)
{
    if (!s)
        return nullptr;
    auto *h = new Handle{};
    std::lock_guard lock(gHandlesMu);
    gHandles[h] = std::move(s);
    return h;
}

template <class Handle>
void destroySource(Handle *h)
{
    {
        std::lock_guard lock(gHandlesMu);
        if (!gHandles.erase(h))
            return;
    }
    delete h;
}

// --- The plan: tracks in the order they go on the disc ------------------------------------

struct PlanTrack {
    vrn::TrackSpec trackSpec;
    std::uint32_t gapOnDisc = 0;  // pregap blocks written before `start`
    bool closesSession = false;   // a session of the source ends with it
    // Reads `count` blocks from `first`, counted from the first gap block.
    std::function<bool(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t> &out)> read;
};

struct Plan {
    std::vector<PlanTrack> tracks;
    std::string mcn;
    vrn::CdText cdText;
    std::uint32_t bookType = 0;
    bool sourceFinalized = false;
    std::uint64_t blocks = 0;  // every block the burn writes
    std::uint64_t bytes = 0;
    std::uint32_t endBlock = 0;
    bool audio = false;
};

void addTotals(Plan &p)
{
    for (const auto &t : p.tracks) {
        const std::uint64_t n = std::uint64_t(t.gapOnDisc) + t.trackSpec.length;
        p.blocks += n;
        p.bytes += n * t.trackSpec.blockSize;
        p.endBlock = std::max(p.endBlock, t.trackSpec.start + t.trackSpec.length);
        p.audio = p.audio || t.trackSpec.type == vrn::TrackType::Audio;
    }
}

// One data track of 2048-byte blocks holding the image's only track.
Plan plainPlan(const DiscImage &image, bool cd)
{
    Plan p;
    const auto &src = image.view().tracks.front();
    PlanTrack t;
    t.trackSpec.type = vrn::TrackType::Data;
    t.trackSpec.mode = vrn::TrackMode::Mode1;
    t.trackSpec.blockSize = 2048;
    t.trackSpec.pregap = cd ? kCdPregap : 0;
    t.trackSpec.start = 0;
    t.trackSpec.length = src.length;
    const DiscImage *img = &image;
    t.read = [img](std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t> &out) {
        const auto &view = img->view();
        if (view.tracks.front().blockSize == 2048)
            return img->readTrackBlocks(0, first, count, out);
        return view.readUserData && view.readUserData(0, first, count, out);
    };
    p.tracks.push_back(std::move(t));
    addTotals(p);
    return p;
}

// The container's sessions and tracks at their own addresses.
Plan containerPlan(const vrn::VrnDisc &disc)
{
    Plan p;
    const auto &tracks = disc.tracks();
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const auto &src = tracks[i];
        PlanTrack t;
        t.trackSpec = static_cast<const vrn::TrackSpec &>(src);
        t.gapOnDisc = std::min(src.pregap, src.start);
        t.closesSession = i + 1 == tracks.size() || tracks[i + 1].session != src.session;
        const vrn::VrnDisc *d = &disc;
        const std::uint32_t from = src.start - t.gapOnDisc, blockSize = src.blockSize;
        t.read = [d, from, blockSize](std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t> &out) {
            out.resize(std::size_t(count) * blockSize);
            return d->readBlocks(from + first, out, blockSize).ok();
        };
        p.tracks.push_back(std::move(t));
    }
    p.mcn = disc.mcn();
    p.cdText = disc.cdText();
    p.bookType = disc.bookType();
    p.sourceFinalized = disc.state() == vrn::DiscState::Closed;
    addTotals(p);
    return p;
}

// The sheet's tracks as one session on a blank CD.
Plan cuePlan(const CueSheet &sheet)
{
    Plan p;
    for (const auto &placed : placeCueSheet(sheet, 0, true)) {
        PlanTrack t;
        t.trackSpec = placed.trackSpec;
        const auto &ct = sheet.tracks[placed.cueTrack];
        // Pregap blocks the files hold go on the disc; a PREGAP of silence
        // is left unwritten, which reads as silence.
        t.gapOnDisc = std::min(ct.pregapInFile(), placed.trackSpec.start);
        const CueSheet *s = &sheet;
        const std::size_t index = placed.cueTrack;
        const std::int64_t gap = t.gapOnDisc;
        t.read = [s, index, gap](std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t> &out) {
            return readCueTrackBlocks(*s, index, std::int64_t(first) - gap, count, out);
        };
        p.tracks.push_back(std::move(t));
    }
    if (!p.tracks.empty())
        p.tracks.back().closesSession = true;
    p.mcn = sheet.catalog;
    p.cdText = sheet.cdText;
    addTotals(p);
    return p;
}

Plan planFor(const Checked &c, std::uint32_t targetFamily)
{
    const DiscImage &image = *c.image;
    if (image.cueSheet())
        return cuePlan(*image.cueSheet());
    if (image.container() && (targetFamily & c.family))
        return containerPlan(*image.container());
    return plainPlan(image, targetFamily == VORN_FAMILY_CD);
}

// --- Writing ----------------------------------------------------------------------------

// Where the blocks go: a disc container, a plain file, or nowhere (simulate).
class Sink {
public:
    virtual ~Sink() = default;
    virtual std::optional<Outcome> beginTrack(const PlanTrack &) { return std::nullopt; }
    virtual std::optional<Outcome> write(const PlanTrack &t, std::uint32_t lba, const std::vector<std::uint8_t> &data) = 0;
    virtual std::optional<Outcome> endTrack(const PlanTrack &, bool /*lastOfPlan*/) { return std::nullopt; }
};

class NullSink : public Sink {
public:
    std::optional<Outcome> write(const PlanTrack &, std::uint32_t, const std::vector<std::uint8_t> &) override
    {
        return std::nullopt;
    }
};

class DiscSink : public Sink {
public:
    DiscSink(vrn::VrnDisc &disc, std::function<Outcome(const std::string &)> failure)
        : disc_(disc), failure_(std::move(failure))
    {
    }
    std::optional<Outcome> beginTrack(const PlanTrack &t) override
    {
        vrn::TrackSpec trackSpec = t.trackSpec;
        // Until its last block is written the track reads as unfinished, as
        // a real recorder leaves an interrupted one.
        trackSpec.flags |= vrn::kTrackIncomplete;
        auto added = disc_.appendTrack(trackSpec);
        if (!added)
            return failure_(added.error());
        index_ = added.value();
        return std::nullopt;
    }
    std::optional<Outcome> write(const PlanTrack &t, std::uint32_t lba, const std::vector<std::uint8_t> &data) override
    {
        if (auto st = disc_.writeBlocks(lba, data, t.trackSpec.blockSize); !st)
            return failure_(st.error());
        return std::nullopt;
    }
    std::optional<Outcome> endTrack(const PlanTrack &t, bool lastOfPlan) override
    {
        if (auto st = disc_.setTrackFlags(index_, t.trackSpec.flags); !st)
            return failure_(st.error());
        if (t.closesSession && !lastOfPlan)
            if (auto st = disc_.closeSession(); !st)
                return failure_(st.error());
        return std::nullopt;
    }

private:
    vrn::VrnDisc &disc_;
    std::function<Outcome(const std::string &)> failure_;
    std::size_t index_ = 0;
};

class FileSink : public Sink {
public:
    FileSink(int fd, std::function<Outcome(int)> failure) : fd_(fd), failure_(std::move(failure)) {}
    std::optional<Outcome> write(const PlanTrack &, std::uint32_t lba, const std::vector<std::uint8_t> &data) override
    {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                       off_t(std::uint64_t(lba) * 2048 + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return failure_(n == 0 ? ENOSPC : errno);
            done += std::size_t(n);
        }
        return std::nullopt;
    }

private:
    int fd_;
    std::function<Outcome(int)> failure_;
};

class ImageBurn {
public:
    ImageBurn(Engine &e, const Messages &texts, VornExtendedProgress *progress, std::string imagePath)
        : e_(e), texts_(texts), driver_(progress), imagePath_(std::move(imagePath))
    {
        std::lock_guard lock(e.mu);
        if (e.settings) {
            idle_ = e.settings->idle;
            idleData_ = e.settings->idleData;
        }
    }

    progress::Driver &driver() { return driver_; }
    const Messages &texts() const { return texts_; }

    bool abortRequested()
    {
        if (driver_.abortRequested())
            return true;
        return idle_ && idle_(idleData_) != 0;
    }

    void begin(const Plan &plan, const std::string &writer, bool imageRecorder, int phase)
    {
        progress::Outline o;
        o.totalBlocks = static_cast<std::int64_t>(plan.blocks);
        o.totalBytes = static_cast<std::int64_t>(plan.bytes);
        o.blockSize = plan.audio ? 2352 : 2048;
        o.writerName = writer;
        o.imageRecorder = imageRecorder;
        o.bufferSizeKB = static_cast<std::uint32_t>(kPipePieces * kPieceBytes / 1024);
        driver_.begin(o);
        if (phase)
            driver_.phase(phase);
    }

    // Reads every block of the plan and hands it to `sink`, paced at
    // `blocksPerSecond` (0: as fast as it comes); `limitBytes` stops early.
    Outcome run(const Plan &plan, Sink &sink, double blocksPerSecond, std::uint64_t limitBytes = 0,
                double *measuredBytesPerSecond = nullptr)
    {
        const auto started = Clock::now();
        std::uint64_t doneBlocks = 0, doneBytes = 0;
        std::vector<std::uint8_t> buf;
        for (std::size_t ti = 0; ti < plan.tracks.size(); ++ti) {
            const PlanTrack &t = plan.tracks[ti];
            if (auto failed = sink.beginTrack(t))
                return *failed;
            const std::uint32_t total = t.gapOnDisc + t.trackSpec.length;
            const std::uint32_t from = t.trackSpec.start - t.gapOnDisc;
            for (std::uint32_t first = 0; first < total; first += kChunkBlocks) {
                if (abortRequested())
                    return {VORN_BURN_ABORTED, texts_.get(msg::kBurnAborted)};
                const std::uint32_t n = std::min(kChunkBlocks, total - first);
                if (!t.read(first, n, buf) || buf.size() != std::size_t(n) * t.trackSpec.blockSize)
                    return {VORN_BURN_SOURCE_CHANGED,
                            texts_.get(msg::kImageChanged,
                                       {toCodePage(imagePath_), "block " + std::to_string(from + first) +
                                                                    " cannot be read."})};
                if (auto failed = sink.write(t, from + first, buf))
                    return *failed;
                doneBlocks += n;
                doneBytes += buf.size();
                driver_.wrote(static_cast<std::int64_t>(doneBlocks), nullptr);
                if (limitBytes && doneBytes >= limitBytes)
                    break;
                if (blocksPerSecond > 0 && !pace(started, double(doneBlocks) / blocksPerSecond))
                    return {VORN_BURN_ABORTED, texts_.get(msg::kBurnAborted)};
            }
            if (limitBytes && doneBytes >= limitBytes)
                break;
            if (auto failed = sink.endTrack(t, ti + 1 == plan.tracks.size()))
                return *failed;
        }
        if (measuredBytesPerSecond) {
            const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
            *measuredBytesPerSecond = seconds > 0 ? double(doneBytes) / seconds : 0;
        }
        return {};
    }

private:
    bool pace(Clock::time_point started, double seconds)
    {
        double scale;
        {
            std::lock_guard lock(e_.mu);
            scale = e_.timeScale;
        }
        const auto until =
            started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds * scale));
        while (Clock::now() < until) {
            if (abortRequested())
                return false;
            std::this_thread::sleep_until(std::min(until, Clock::now() + std::chrono::milliseconds(20)));
        }
        return true;
    }

    Engine &e_;
    const Messages &texts_;
    progress::Driver driver_;
    std::string imagePath_;
    VornIdleCallback idle_ = nullptr;
    void *idleData_ = nullptr;
};

// Writes the tables that follow the tracks and closes the disc or session.
vrn::Status finishDisc(vrn::VrnDisc &disc, const Plan &plan, bool finalize)
{
    if (!plan.mcn.empty())
        if (auto st = disc.setMcn(plan.mcn); !st)
            return st;
    if (!plan.cdText.empty())
        if (auto st = disc.setCdText(plan.cdText); !st)
            return st;
    if (plan.bookType && !vrn::medium::isCd(disc.mediumType()))
        if (auto st = disc.setBookType(plan.bookType); !st)
            return st;
    if (auto st = disc.sync(); !st)
        return st;
    return finalize ? disc.closeDisc() : disc.closeSession();
}

std::int32_t chooseSpeed(const Drive &drive, const MediumKind &kind, std::int32_t wanted)
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
    std::int32_t chosen = speeds.front();
    for (auto s : speeds)
        if (wanted <= 0 || s <= wanted)
            chosen = s;
    return chosen;
}

Outcome toRecorder(ImageBurn &b, const Job &job, const Checked &c, const Source &src, std::uint32_t flags,
                   bool finalize, std::uint64_t &written)
{
    const auto &texts = b.texts();
    const std::string path = imageFileName();
    if (path.empty())
        return {VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnNoImageName)};
    const bool container = endsWith(path, ".vrn");
    const auto &view = c.image->view();
    const bool plainSource = view.tracks.size() == 1 && view.tracks.front().type == vrn::TrackType::Data;
    if (!container && !plainSource)
        return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kImageNeedsContainer, {toCodePage(src.path), toCodePage(path)})};

    // The family the new file is made for: the image's own when allowed.
    const std::uint32_t family = (src.family & c.family) ? c.family : src.family;
    const Plan plan = container ? planFor(c, family) : plainPlan(*c.image, false);
    written = plan.blocks;
    std::uint32_t medium = 0, capacity = 0;
    if (container) {
        if (c.image->container() && (family & c.family)) {
            medium = c.image->container()->mediumType();
            capacity = c.image->container()->capacity();
        } else {
            for (auto m : recordableMedia(family))
                if (!medium && plan.endBlock <= vrn::medium::nominalCapacity(m))
                    medium = m;
            capacity = vrn::medium::nominalCapacity(medium);
        }
        if (!medium)
            return {VORN_BURN_DISC_TOO_SMALL,
                    texts.get(msg::kBurnTooLargeForMedium, {std::to_string(plan.endBlock), familyNames(family)})};
    }
    const std::uint64_t needBytes = plan.bytes;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0) {
        const std::uint64_t freeBytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
        if (freeBytes < needBytes)
            return {VORN_BURN_NO_SPACE,
                    texts.get(msg::kBurnNoSpace, {toCodePage(path), std::to_string(needBytes), std::to_string(freeBytes)})};
    }

    if (flags & VORN_BURN_SIMULATE) {
        b.begin(plan, job.driveName, true, VORN_PHASE_SIMULATING);
        b.driver().startWriting(0, 0);
        NullSink none;
        auto out = b.run(plan, none, 0);
        b.driver().endWriting(out.code == VORN_BURN_OK);
        if (out.code != VORN_BURN_OK)
            return out;
    }
    if (!(flags & VORN_BURN_WRITE))
        return {};

    b.begin(plan, job.driveName, true, VORN_PHASE_CREATING_IMAGE);
    const std::string tmp = path + ".part-" + std::to_string(::getpid());
    struct Cleanup {
        std::string path;
        bool keep = false;
        ~Cleanup()
        {
            if (!keep)
                ::unlink(path.c_str());
        }
    } cleanup{tmp};
    auto writeFailure = [&](const std::string &why) {
        return Outcome{VORN_BURN_WRITE_ERROR, texts.get(msg::kBurnImageFailed, {toCodePage(path), toCodePage(why)})};
    };
    Outcome out;
    b.driver().startWriting(0, 0);
    if (container) {
        auto made = vrn::VrnDisc::create(tmp, medium, capacity, true);
        if (!made) {
            b.driver().endWriting(false);
            return writeFailure(made.error());
        }
        vrn::VrnDisc disc = std::move(made).value();
        DiscSink sink(disc, writeFailure);
        out = b.run(plan, sink, 0);
        b.driver().endWriting(out.code == VORN_BURN_OK);
        if (out.code == VORN_BURN_OK && b.abortRequested())
            out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
        if (out.code == VORN_BURN_OK) {
            b.driver().phase(VORN_PHASE_FINISHING);
            if (auto st = finishDisc(disc, plan, finalize || plan.sourceFinalized); !st)
                out = writeFailure(st.error());
        }
    } else {
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            b.driver().endWriting(false);
            return writeFailure(std::strerror(errno));
        }
        FileSink sink(fd, [&](int err) {
            if (err == ENOSPC || err == EDQUOT || err == EFBIG)
                return Outcome{VORN_BURN_NO_SPACE, texts.get(msg::kBurnImageFull, {toCodePage(path)})};
            return writeFailure(std::strerror(err));
        });
        out = b.run(plan, sink, 0);
        b.driver().endWriting(out.code == VORN_BURN_OK);
        if (out.code == VORN_BURN_OK && b.abortRequested())
            out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
        if (out.code == VORN_BURN_OK)
            b.driver().phase(VORN_PHASE_FINISHING);
        const bool synced = ::fsync(fd) == 0;
        const int err = errno;
        if (::close(fd) != 0 && out.code == VORN_BURN_OK)
            out = writeFailure(std::strerror(errno));
        else if (!synced && out.code == VORN_BURN_OK)
            out = writeFailure(std::strerror(err));
    }
    if (out.code == VORN_BURN_OK) {
        std::error_code ec;
        std::filesystem::rename(tmp, path, ec);
        if (ec)
            return writeFailure(ec.message());
        cleanup.keep = true;
    }
    return out;
}

Outcome toDrive(ImageBurn &b, const Job &job, const Checked &c, const Source &src, std::uint32_t flags,
                std::int32_t speedWanted, bool finalize, std::uint64_t &written)
{
    const auto &texts = b.texts();
    auto &e = Engine::instance();
    std::shared_ptr<TrayDisc> tray;
    std::uint32_t medium = 0;
    {
        std::lock_guard lock(e.mu);
        const Drive &d = *job.drive;
        if (!d.present)
            return {VORN_BURN_DEVICE_GONE, texts.get(msg::kBurnDeviceGone, {job.driveName})};
        if (d.busy)
            return {VORN_BURN_DRIVE_BUSY, texts.get(msg::kEraseInUse, {job.driveName})};
        if (!d.disc || e.readiness(d) != VORN_READY)
            return {VORN_BURN_NO_MEDIUM, texts.get(msg::kEraseNoDisc, {job.driveName})};
        tray = d.disc;
        medium = tray->container.mediumType();
        if (!(d.capabilities & VORN_CAP_WRITE) || (d.writeMedia & medium) != medium || vrn::medium::isRom(medium) ||
            !tray->container.writable())
            return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnCannotWriteMedium, {job.driveName, mediumMaskNames(medium)})};
    }
    const std::uint32_t family = familyOf(medium);
    if (!(family & src.family))
        return {VORN_BURN_NOT_WRITABLE,
                texts.get(msg::kImageWrongDisc, {job.driveName, mediumMaskNames(medium), familyNames(src.family)})};
    auto opened = vrn::VrnDisc::open(tray->path, vrn::VrnDisc::Access::ReadWrite);
    if (!opened)
        return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnDiscWriteFailed, {job.driveName, toCodePage(opened.error())})};
    vrn::VrnDisc disc = std::move(opened).value();
    if (disc.state() == vrn::DiscState::Closed)
        return {VORN_BURN_DISC_CLOSED, texts.get(msg::kBurnDiscClosed, {job.driveName})};
    if (!disc.tracks().empty() && (disc.tracks().back().flags & vrn::kTrackIncomplete))
        return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnUnfinishedTrack, {job.driveName})};
    // An image brings its own layout from the first block on.
    if (!disc.tracks().empty())
        return {VORN_BURN_NOT_WRITABLE, texts.get(msg::kBurnDiscNotBlank, {job.driveName})};
    const Plan plan = planFor(c, family);
    written = plan.blocks;
    if (plan.endBlock > disc.capacity())
        return {VORN_BURN_DISC_TOO_SMALL, texts.get(msg::kBurnDiscTooSmall, {std::to_string(plan.endBlock), job.driveName,
                                                                              std::to_string(disc.freeBlocks())})};

    const MediumKind *kind = findMedium(medium);
    std::int32_t speed = kind ? chooseSpeed(*job.drive, *kind, speedWanted) : VORN_BASE_SPEED_CD;
    const std::int32_t base = kind ? static_cast<std::int32_t>(kind->baseKBs) : VORN_BASE_SPEED_CD;
    // Speeds count 1000 bytes a kilobyte of what passes the laser: a CD
    // block is 2352 bytes there whatever the track keeps of it.
    const double onDiscPerBlock = vrn::medium::isCd(medium) ? 2352.0 : 2048.0;

    if (flags & VORN_BURN_SPEED_TEST) {
        b.begin(plan, job.driveName, false, VORN_PHASE_TESTING_SPEED);
        NullSink none;
        double bytesPerSecond = 0;
        auto out = b.run(plan, none, 0, kSpeedTestBytes, &bytesPerSecond);
        if (out.code != VORN_BURN_OK)
            return out;
        const double sourceKBs = bytesPerSecond / (plan.audio ? 2352.0 : 2048.0) * onDiscPerBlock / 1000.0;
        b.driver().readSpeed(static_cast<int>(std::min(sourceKBs, 65534.0)), base);
        if (sourceKBs > 0 && sourceKBs < speed && kind)
            speed = std::min(speed, chooseSpeed(*job.drive, *kind, static_cast<std::int32_t>(sourceKBs)));
        b.driver().message(texts.get(msg::kBurnSpeedTested,
                                     {std::to_string(static_cast<long long>(sourceKBs)), std::to_string(speed)}),
                           VORN_MESSAGE_INFO);
    }
    const double blocksPerSecond = speed * 1000.0 / onDiscPerBlock;

    if (flags & VORN_BURN_SIMULATE) {
        b.begin(plan, job.driveName, false, VORN_PHASE_SIMULATING);
        b.driver().startWriting(speed, base);
        NullSink none;
        auto out = b.run(plan, none, blocksPerSecond);
        b.driver().endWriting(out.code == VORN_BURN_OK);
        if (out.code != VORN_BURN_OK)
            return out;
    }
    if (!(flags & VORN_BURN_WRITE))
        return {};

    if (job.failAfter)
        disc.injectWriteFailure(static_cast<std::uint64_t>(std::max<std::int64_t>(0, *job.failAfter)));
    auto failure = [&](const std::string &why) {
        return Outcome{VORN_BURN_WRITE_ERROR, texts.get(msg::kBurnDiscWriteFailed, {job.driveName, toCodePage(why)})};
    };
    b.begin(plan, job.driveName, false, 0);
    b.driver().startWriting(speed, base);
    DiscSink sink(disc, failure);
    Outcome out = b.run(plan, sink, blocksPerSecond);
    b.driver().endWriting(out.code == VORN_BURN_OK);
    if (out.code == VORN_BURN_OK && b.abortRequested())
        out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
    if (out.code == VORN_BURN_OK) {
        b.driver().phase(VORN_PHASE_FINISHING);
        if (auto st = finishDisc(disc, plan, finalize || plan.sourceFinalized); !st)
            out = failure(st.error());
    }
    // The tray's own handle reads the tables again: the burn committed
    // through another one.
    if (auto again = openTrayDisc(tray->path)) {
        std::lock_guard lock(e.mu);
        if (job.drive->disc == tray)
            tray->container = std::move(again.value()->container);
    }
    return out;
}

}  // namespace

int burnImage(VornDevice *device, int formatCode, const VornWriteDescription *description, std::uint32_t flags,
              std::int32_t speedKBs, void *reserved)
{
    auto &e = Engine::instance();
    const BurnStart start = startBurn(e, device);
    const Job &job = start.job;
    const Messages &texts = start.texts;
    auto refused = [&](int code, const std::string &line) { return refuse(e, {code, line}); };
    if (formatCode != VORN_BURN_MAGIC)
        return refused(VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnBadFormat));
    std::shared_ptr<Source> src = description ? sourceOf(description->compilation) : nullptr;
    if (!job.drive || !description || reserved || !src || description->copies < 1)
        return refused(VORN_BURN_BAD_ARGUMENT, texts.get(msg::kBurnBadHandle));
    if (auto refusal = commonRefusal(start, flags))
        return refuse(e, *refusal);

    ImageBurn b(e, texts, description->progress, src->path);
    // Only an image whose compilation allows it leaves the disc appendable;
    // a cue sheet follows the burn's flag, so that a data session can follow
    // its audio.
    bool allowOpen;
    {
        std::lock_guard lock(gHandlesMu);
        allowOpen = src->cueSheet || src->allowDisableFinalize;
    }
    const bool finalize = !(allowOpen && (flags & VORN_BURN_CLOSE_SESSION));
    std::uint64_t blocks = 0;
    Outcome out;
    auto checked = checkImage(src->path);
    if (b.abortRequested()) {
        out = {VORN_BURN_ABORTED, texts.get(msg::kBurnAborted)};
    } else if (!checked) {
        out = {VORN_BURN_SOURCE_CHANGED, texts.get(msg::kImageChanged, {toCodePage(src->path), toCodePage(checked.error())})};
    } else {
        out = job.imageRecorder ? toRecorder(b, job, checked.value(), *src, flags, finalize, blocks)
                                : toDrive(b, job, checked.value(), *src, flags, speedKBs, finalize, blocks);
    }
    if (out.code != VORN_BURN_OK) {
        b.driver().message(out.line, out.code == VORN_BURN_ABORTED ? VORN_MESSAGE_STOP : VORN_MESSAGE_WARNING);
        logLine(out.line);
    }
    b.driver().finish();
    const bool wrote = (flags & VORN_BURN_WRITE) != 0;
    recordHistory(e, start, out, wrote, blocks);
    return out.code;
}

}  // namespace vorn::engine::burn

using vorn::engine::burn::destroySource;
using vorn::engine::burn::makeSource;
using vorn::engine::burn::registerSource;

extern "C" {

VORN_EXPORT VornImageCompilation *VornImageCompilation_New(const char *path, uint32_t mediumMask)
{
    try {
        return registerSource<VornImageCompilation>(makeSource(path, mediumMask, false));
    } catch (...) {
        return nullptr;
    }
}

VORN_EXPORT int VornImageCompilation_SetAllowDisableFinalize(VornImageCompilation *h, int allow)
{
    try {
        auto s = vorn::engine::burn::sourceOf(h);
        if (!s || s->cueSheet)
            return 0;
        std::lock_guard lock(vorn::engine::burn::gHandlesMu);
        s->allowDisableFinalize = allow != 0;
        return 1;
    } catch (...) {
        return 0;
    }
}

VORN_EXPORT void VornImageCompilation_Destroy(VornImageCompilation *h)
{
    try {
        destroySource(h);
    } catch (...) {
    }
}

VORN_EXPORT VornCueSheetCompilation *VornCueSheetCompilation_New(const char *path, uint32_t mediumMask)
{
    try {
        if (!(mediumMask & VORN_FAMILY_CD)) {
            const auto texts = vorn::engine::burn::currentTexts();
            vorn::engine::burn::logLine(texts.get(vorn::engine::msg::kImageWrongMedium,
                                                  {vorn::engine::burn::toCodePage(path ? path : ""), "CD",
                                                   vorn::engine::burn::familyNames(mediumMask)}));
            return nullptr;
        }
        return registerSource<VornCueSheetCompilation>(makeSource(path, VORN_FAMILY_CD, true));
    } catch (...) {
        return nullptr;
    }
}

VORN_EXPORT void VornCueSheetCompilation_Destroy(VornCueSheetCompilation *h)
{
    try {
        destroySource(h);
    } catch (...) {
    }
}

}  // extern "C"
