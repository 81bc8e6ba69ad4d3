#include "DiscExport.h"

#include "CueSheet.h"
#include "DiscImage.h"
#include "DiscInfo.h"

#include <unistd.h>
#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

namespace vorn::engine {

namespace {

constexpr std::uint32_t kChunkBlocks = 256;
constexpr std::uint32_t kCdPregap = 150;

std::filesystem::path tempBeside(const std::filesystem::path &target)
{
    return target.parent_path() /
           ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()));
}

// Removes the temporary file unless it was renamed into place.
struct TempFile {
    std::filesystem::path path;
    bool kept = false;
    ~TempFile()
    {
        if (!kept) {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    }
};

vrn::Status renameInto(TempFile &tmp, const std::filesystem::path &target)
{
    std::error_code ec;
    std::filesystem::rename(tmp.path, target, ec);
    if (ec)
        return vrn::Error{"cannot rename into " + target.string() + ": " + ec.message()};
    tmp.kept = true;
    return {};
}

std::string lowerExtension(const std::filesystem::path &p)
{
    std::string ext = p.extension().string();
    for (auto &c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Copies `count` blocks in chunks from `read` into track `index` of `disc`.
template <class Read>
vrn::Status copyTrack(vrn::VrnDisc &disc, std::size_t index, std::uint32_t count, Read &&read)
{
    std::vector<std::uint8_t> buf;
    for (std::uint32_t first = 0; first < count; first += kChunkBlocks) {
        std::uint32_t n = std::min(kChunkBlocks, count - first);
        if (!read(first, n, buf))
            return vrn::Error{"the source cannot be read at block " + std::to_string(first) + "."};
        if (auto st = disc.writeTrackBlocks(index, first, buf); !st)
            return st;
    }
    return {};
}

vrn::Status replayContainer(vrn::VrnDisc &out, const vrn::VrnDisc &in)
{
    std::uint32_t session = 0;
    for (std::size_t i = 0; i < in.tracks().size(); ++i) {
        const auto &t = in.tracks()[i];
        if (session != 0 && t.session != session)
            if (auto st = out.closeSession(); !st)
                return st;
        session = t.session;
        auto added = out.appendTrack(static_cast<const vrn::TrackSpec &>(t));
        if (!added)
            return vrn::Error{added.error()};
        // Pregap blocks on the disc (not those before block 0) travel too.
        std::uint32_t gapFrom = t.start >= t.pregap ? t.start - t.pregap : 0;
        if (gapFrom < t.start) {
            std::vector<std::uint8_t> gap(std::size_t(t.start - gapFrom) * t.blockSize);
            if (auto st = in.readBlocks(gapFrom, gap, t.blockSize); !st)
                return st;
            if (auto st = out.writeBlocks(gapFrom, gap, t.blockSize); !st)
                return st;
        }
        auto st = copyTrack(out, added.value(), t.length,
                            [&](std::uint32_t first, std::uint32_t n, std::vector<std::uint8_t> &b) {
                                b.resize(std::size_t(n) * t.blockSize);
                                return in.readTrackBlocks(i, first, b).ok();
                            });
        if (!st)
            return st;
    }
    if (!in.mcn().empty())
        if (auto st = out.setMcn(in.mcn()); !st)
            return st;
    if (!in.cdText().empty())
        if (auto st = out.setCdText(in.cdText()); !st)
            return st;
    if (in.bookType())
        if (auto st = out.setBookType(in.bookType()); !st)
            return st;
    if (in.state() == vrn::DiscState::Closed)
        return out.closeDisc();
    if (!in.sessions().empty() && in.sessions().back().closed)
        return out.closeSession();
    return {};
}

vrn::Status addCueSession(vrn::VrnDisc &disc, const CueSheet &sheet)
{
    if (!vrn::medium::isCd(disc.mediumType()))
        return vrn::Error{"cue sheets describe CDs; the disc is not a CD."};
    auto nwa = disc.nextWritableAddress();
    if (!nwa)
        return vrn::Error{"the disc takes no more sessions."};
    bool first = disc.tracks().empty();
    for (const auto &placed : placeCueSheet(sheet, *nwa, first)) {
        auto added = disc.appendTrack(placed.trackSpec);
        if (!added)
            return vrn::Error{"track " + std::to_string(sheet.tracks[placed.cueTrack].number) +
                              ": " + added.error()};
        const auto &ct = sheet.tracks[placed.cueTrack];
        // Pregap blocks the file holds, where they lie on the disc.
        std::uint32_t inFile = ct.pregapInFile();
        std::uint32_t onDisc = std::min(inFile, placed.trackSpec.start);
        if (onDisc > 0) {
            std::vector<std::uint8_t> gap;
            if (!readCueTrackBlocks(sheet, placed.cueTrack, -std::int64_t(onDisc), onDisc, gap))
                return vrn::Error{"a file of the cue sheet cannot be read."};
            if (auto st = disc.writeBlocks(placed.trackSpec.start - onDisc, gap, ct.blockSize); !st)
                return st;
        }
        auto st = copyTrack(disc, added.value(), placed.trackSpec.length,
                            [&](std::uint32_t f, std::uint32_t n, std::vector<std::uint8_t> &b) {
                                return readCueTrackBlocks(sheet, placed.cueTrack, f, n, b);
                            });
        if (!st)
            return st;
    }
    if (!sheet.catalog.empty())
        if (auto st = disc.setMcn(sheet.catalog); !st)
            return st;
    if (!sheet.cdText.empty())
        if (auto st = disc.setCdText(sheet.cdText); !st)
            return st;
    return disc.closeSession();
}

vrn::Status addImageSession(vrn::VrnDisc &disc, const DiscImage &image)
{
    const auto &track = image.view().tracks.front();
    auto nwa = disc.nextWritableAddress();
    if (!nwa)
        return vrn::Error{"the disc takes no more sessions."};
    vrn::TrackSpec trackSpec;
    trackSpec.type = vrn::TrackType::Data;
    trackSpec.mode = vrn::TrackMode::Mode1;
    trackSpec.blockSize = 2048;
    trackSpec.length = track.length;
    bool cd = vrn::medium::isCd(disc.mediumType());
    trackSpec.pregap = cd ? kCdPregap : 0;
    trackSpec.start = disc.tracks().empty() ? 0 : *nwa + trackSpec.pregap;
    auto added = disc.appendTrack(trackSpec);
    if (!added)
        return vrn::Error{added.error()};
    auto st = copyTrack(disc, added.value(), trackSpec.length,
                        [&](std::uint32_t f, std::uint32_t n, std::vector<std::uint8_t> &b) {
                            return image.readTrackBlocks(0, f, n, b);
                        });
    if (!st)
        return st;
    return disc.closeSession();
}

std::uint32_t defaultMedium(std::uint64_t blocks)
{
    for (std::uint32_t m : {vrn::medium::CdR, vrn::medium::DvdPlusR, vrn::medium::DvdPlusRDl,
                            vrn::medium::BdR})
        if (blocks + 11400 <= vrn::medium::nominalCapacity(m))
            return m;
    return vrn::medium::BdR;
}

std::string msf(std::uint32_t frames)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
    return buf;
}

std::string quoted(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '"' ? '\'' : c;
    return "\"" + out + "\"";
}

}  // namespace

vrn::Status makeDisc(const std::filesystem::path &out,
                     const std::vector<std::filesystem::path> &sources, const MakeOptions &options)
{
    if (sources.empty())
        return vrn::Error{"no source image was given."};
    std::error_code ec;
    if (!options.replace && std::filesystem::exists(out, ec))
        return vrn::Error{out.string() + " exists already."};

    std::optional<vrn::VrnDisc> container;
    std::vector<std::unique_ptr<DiscImage>> images;
    std::vector<CueSheet> sheets;
    std::uint64_t totalBlocks = 0;
    for (const auto &src : sources) {
        if (lowerExtension(src) == ".cue") {
            auto sheet = parseCueSheet(src);
            if (!sheet)
                return vrn::Error{src.string() + ", " + sheet.error()};
            for (const auto &t : sheet.value().tracks)
                totalBlocks += t.length() + t.pregap();
            sheets.push_back(std::move(sheet).value());
            images.push_back(nullptr);
            continue;
        }
        auto image = DiscImage::open(src);
        if (!image)
            return vrn::Error{image.error()};
        if (image.value()->container()) {
            if (sources.size() != 1)
                return vrn::Error{src.string() + " is a disc of its own and cannot be a session."};
            auto copy = vrn::VrnDisc::open(src, vrn::VrnDisc::Access::ReadOnly);
            if (!copy)
                return vrn::Error{copy.error()};
            container.emplace(std::move(copy).value());
        }
        totalBlocks += image.value()->view().tracks.front().length;
        images.push_back(std::move(image).value());
        sheets.emplace_back();
    }

    std::uint32_t medium = options.medium;
    std::uint32_t capacity = 0;
    if (container) {
        medium = medium ? medium : container->mediumType();
        capacity = medium == container->mediumType() ? container->capacity()
                                                     : vrn::medium::nominalCapacity(medium);
    } else {
        medium = medium ? medium : defaultMedium(totalBlocks);
        capacity = vrn::medium::nominalCapacity(medium);
    }
    if (!capacity)
        return vrn::Error{"unknown medium."};

    TempFile tmp{tempBeside(out)};
    auto made = vrn::VrnDisc::create(tmp.path, medium, capacity, true);
    if (!made)
        return vrn::Error{made.error()};
    vrn::VrnDisc disc = std::move(made).value();

    if (container) {
        if (auto st = replayContainer(disc, *container); !st)
            return st;
    } else {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            auto st = images[i] ? addImageSession(disc, *images[i]) : addCueSession(disc, sheets[i]);
            if (!st)
                return vrn::Error{sources[i].filename().string() + ": " + st.error()};
        }
    }
    if (options.finalize && disc.state() != vrn::DiscState::Closed && !disc.tracks().empty())
        if (auto st = disc.closeDisc(); !st)
            return st;
    if (auto st = disc.sync(); !st)
        return st;
    return renameInto(tmp, out);
}

vrn::Status exportIso(const vrn::VrnDisc &disc, const std::filesystem::path &out)
{
    DiscView view = viewOf(disc, false);
    std::optional<std::size_t> newest;
    std::uint64_t endBlock = 0;
    for (std::size_t i = 0; i < view.tracks.size(); ++i) {
        const auto &t = view.tracks[i];
        if (t.type != vrn::TrackType::Data || (t.flags & vrn::kTrackIncomplete))
            continue;
        newest = i;
        endBlock = std::max<std::uint64_t>(endBlock, t.end());
    }
    if (!newest)
        return vrn::Error{"the disc holds no data track."};

    TempFile tmp{tempBeside(out)};
    int fd = ::open(tmp.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return vrn::Error{"cannot write " + tmp.path.string() + ": " + std::strerror(errno)};
    auto fail = [&](const std::string &what) {
        ::close(fd);
        return vrn::Error{what};
    };
    auto writeAt = [&](std::uint64_t block, const std::vector<std::uint8_t> &bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                 off_t(block * 2048 + done));
            if (n <= 0)
                return false;
            done += std::size_t(n);
        }
        return true;
    };
    // Holes stand for everything no data track covers.
    if (::ftruncate(fd, off_t(endBlock * 2048)) != 0)
        return fail("cannot size " + out.string() + ": " + std::strerror(errno));
    std::vector<std::uint8_t> buf;
    for (std::size_t i = 0; i < view.tracks.size(); ++i) {
        const auto &t = view.tracks[i];
        if (t.type != vrn::TrackType::Data || (t.flags & vrn::kTrackIncomplete))
            continue;
        for (std::uint32_t first = 0; first < t.length; first += kChunkBlocks) {
            std::uint32_t n = std::min(kChunkBlocks, t.length - first);
            if (!view.readUserData(i, first, n, buf))
                return fail("the disc cannot be read at block " + std::to_string(t.start + first));
            if (!writeAt(std::uint64_t(t.start) + first, buf))
                return fail("cannot write " + out.string() + ": " + std::strerror(errno));
        }
    }
    const auto &last = view.tracks[*newest];
    if (last.start > 0 && last.length > 17) {
        std::uint32_t count = std::min<std::uint32_t>(64, last.length - 16);
        if (!view.readUserData(*newest, 16, count, buf))
            return fail("the newest session's volume descriptors cannot be read.");
        std::size_t used = 0;
        for (std::uint32_t b = 0; b < count; ++b) {
            std::uint8_t *vd = buf.data() + std::size_t(b) * 2048;
            if (std::memcmp(vd + 1, "CD001", 5) != 0)
                break;
            if (vd[0] == 1 || vd[0] == 2) {
                std::uint32_t size = last.end();
                for (int k = 0; k < 4; ++k) {
                    vd[80 + k] = static_cast<std::uint8_t>(size >> (8 * k));
                    vd[87 - k] = static_cast<std::uint8_t>(size >> (8 * k));
                }
            }
            used = b + 1;
            if (vd[0] == 255)
                break;
        }
        if (used > 0) {
            buf.resize(used * 2048);
            if (!writeAt(16, buf))
                return fail("cannot write " + out.string() + ": " + std::strerror(errno));
        }
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        return vrn::Error{"cannot write " + out.string() + ": " + std::strerror(errno)};
    return renameInto(tmp, out);
}

vrn::Status exportAudio(const vrn::VrnDisc &disc, const std::filesystem::path &cue)
{
    const auto &tracks = disc.tracks();
    std::vector<std::size_t> audio;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].type == vrn::TrackType::Audio && !(tracks[i].flags & vrn::kTrackIncomplete))
            audio.push_back(i);
    if (audio.empty())
        return vrn::Error{"the disc holds no audio track."};

    auto bin = cue;
    bin.replace_extension(".bin");
    TempFile binTmp{tempBeside(bin)}, cueTmp{tempBeside(cue)};
    std::ofstream binOut(binTmp.path, std::ios::binary | std::ios::trunc);
    std::string sheet;
    if (!disc.mcn().empty())
        sheet += "CATALOG " + disc.mcn() + "\n";
    if (!disc.cdText().performer.empty())
        sheet += "PERFORMER " + quoted(disc.cdText().performer) + "\n";
    if (!disc.cdText().title.empty())
        sheet += "TITLE " + quoted(disc.cdText().title) + "\n";
    sheet += "FILE " + quoted(bin.filename().string()) + " BINARY\n";

    std::uint32_t filePos = 0;  // frames written to the .bin so far
    std::vector<std::uint8_t> buf;
    auto append = [&](std::uint32_t lba, std::uint32_t count) {
        for (std::uint32_t done = 0; done < count; done += kChunkBlocks) {
            std::uint32_t n = std::min(kChunkBlocks, count - done);
            buf.resize(std::size_t(n) * 2352);
            if (!disc.readBlocks(lba + done, buf, 2352))
                return false;
            binOut.write(reinterpret_cast<const char *>(buf.data()),
                         static_cast<std::streamsize>(buf.size()));
        }
        filePos += count;
        return bool(binOut);
    };
    for (std::size_t k = 0; k < audio.size(); ++k) {
        const auto &t = tracks[audio[k]];
        sheet += std::string("  TRACK ") + (k + 1 < 10 ? "0" : "") + std::to_string(k + 1) +
                 " AUDIO\n";
        if (!t.cdText.performer.empty())
            sheet += "    PERFORMER " + quoted(t.cdText.performer) + "\n";
        if (!t.cdText.title.empty())
            sheet += "    TITLE " + quoted(t.cdText.title) + "\n";
        if (!t.isrc.empty())
            sheet += "    ISRC " + t.isrc + "\n";
        if (t.flags & (vrn::kTrackCopyPermitted | vrn::kTrackPreEmphasis))
            sheet += std::string("    FLAGS") + ((t.flags & vrn::kTrackCopyPermitted) ? " DCP" : "") +
                     ((t.flags & vrn::kTrackPreEmphasis) ? " PRE" : "") + "\n";
        // The gap before a track follows the previous audio track directly
        // only when no data track sits between them.
        bool gapFollowsAudio = k > 0 && audio[k] == audio[k - 1] + 1 &&
                               tracks[audio[k - 1]].end() == t.start - t.pregap;
        if (t.pregap > 0 && gapFollowsAudio) {
            sheet += "    INDEX 00 " + msf(filePos) + "\n";
            if (!append(t.start - t.pregap, t.pregap))
                return vrn::Error{"cannot write " + bin.string() + "."};
        } else if (t.pregap > 0 && t.number > 1) {
            sheet += "    PREGAP " + msf(t.pregap) + "\n";
        }
        sheet += "    INDEX 01 " + msf(filePos) + "\n";
        if (!append(t.start, t.length))
            return vrn::Error{"cannot write " + bin.string() + "."};
    }
    binOut.close();
    if (!binOut)
        return vrn::Error{"cannot write " + bin.string() + "."};
    {
        std::ofstream cueOut(cueTmp.path, std::ios::binary | std::ios::trunc);
        cueOut << sheet;
        cueOut.close();
        if (!cueOut)
            return vrn::Error{"cannot write " + cue.string() + "."};
    }
    if (auto st = renameInto(binTmp, bin); !st)
        return st;
    return renameInto(cueTmp, cue);
}

}  // namespace vorn::engine
