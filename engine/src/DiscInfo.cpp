#include "DiscInfo.h"

#include "Media.h"

#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vorn::engine {

namespace {

// Volume descriptors start at block 16 of a track and rarely run past a
// handful; a sequence longer than this is taken as garbage, not followed.
constexpr std::uint32_t kFirstDescriptor = 16;
constexpr std::uint32_t kMaxDescriptors = 64;

// Lead-in frames before block 0 that CD addressing counts in seconds.
constexpr std::uint32_t kLeadInFrames = 150;
constexpr std::uint32_t kFramesPerSecond = 75;
constexpr std::uint32_t kCdSessionPregap = 150;

bool isCdMedium(std::uint32_t medium)
{
    return vrn::medium::isCd(medium);
}

bool startsWith(std::span<const std::uint8_t> block, std::size_t at, const char *text)
{
    std::size_t n = std::strlen(text);
    return block.size() >= at + n && std::memcmp(block.data() + at, text, n) == 0;
}

std::string trimmed(std::span<const std::uint8_t> bytes)
{
    std::string out(bytes.begin(), bytes.end());
    while (!out.empty() && (out.back() == ' ' || out.back() == '\0'))
        out.pop_back();
    return out;
}

// A Joliet identifier is UCS-2 big-endian; characters beyond Latin-1 become
// "?" so that the text stays in the engine's single-byte code page.
std::string trimmedUcs2(std::span<const std::uint8_t> bytes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned c = (unsigned(bytes[i]) << 8) | bytes[i + 1];
        out += c < 256 ? static_cast<char>(c) : '?';
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\0'))
        out.pop_back();
    return out;
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

bool isJolietEscape(std::span<const std::uint8_t> vd)
{
    return vd[88] == '%' && vd[89] == '/' && (vd[90] == '@' || vd[90] == 'C' || vd[90] == 'E');
}

// The volume descriptor blocks of a data track, from block 16 to the
// terminator or the first block that is neither an ISO 9660 nor a UDF
// recognition descriptor.
std::vector<std::vector<std::uint8_t>> descriptors(const DiscView &view, std::size_t index)
{
    std::vector<std::vector<std::uint8_t>> out;
    const auto &track = view.tracks[index];
    if (!view.readUserData || track.type != vrn::TrackType::Data ||
        (track.flags & vrn::kTrackIncomplete) || track.length <= kFirstDescriptor)
        return out;
    std::uint32_t count = std::min(kMaxDescriptors, track.length - kFirstDescriptor);
    std::vector<std::uint8_t> blocks;
    if (!view.readUserData(index, kFirstDescriptor, count, blocks) ||
        blocks.size() < std::size_t(count) * 2048)
        return out;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::span<const std::uint8_t> vd(blocks.data() + std::size_t(i) * 2048, 2048);
        bool iso = startsWith(vd, 1, "CD001");
        bool udf = startsWith(vd, 1, "BEA01") || startsWith(vd, 1, "NSR02") ||
                   startsWith(vd, 1, "NSR03") || startsWith(vd, 1, "TEA01") ||
                   startsWith(vd, 1, "BOOT2");
        if (!iso && !udf)
            break;
        out.emplace_back(vd.begin(), vd.end());
    }
    return out;
}

void put(char *dest, std::size_t size, const std::string &text)
{
    std::size_t n = std::min(size - 1, text.size());
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

std::string hex32(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

const char *modeName(vrn::TrackMode mode)
{
    switch (mode) {
    case vrn::TrackMode::Audio: return "audio";
    case vrn::TrackMode::Mode1: return "mode 1";
    case vrn::TrackMode::Mode2: return "mode 2";
    case vrn::TrackMode::Mode2Form1: return "mode 2 XA form 1";
    case vrn::TrackMode::Mode2Form2: return "mode 2 XA form 2";
    }
    return "unknown";
}

std::string fileSystemNames(std::uint32_t fs)
{
    static const std::pair<std::uint32_t, const char *> names[] = {
        {VORN_FS_ISO9660, "ISO 9660"}, {VORN_FS_JOLIET, "Joliet"}, {VORN_FS_UDF, "UDF"},
        {VORN_FS_HFS, "HFS"},          {VORN_FS_FAT, "FAT"},       {VORN_FS_BOOTABLE, "bootable"},
        {VORN_FS_MODE1, "mode 1"},     {VORN_FS_MODE2, "mode 2"},
    };
    std::string out;
    for (const auto &[bit, name] : names)
        if (fs & bit)
            out += (out.empty() ? "" : ", ") + std::string(name);
    return out.empty() ? "none" : out;
}

}  // namespace

DiscView viewOf(const vrn::VrnDisc &disc, bool driveWrites)
{
    DiscView v;
    v.medium = disc.mediumType();
    v.capacity = disc.capacity();
    v.state = disc.state();
    v.bookType = disc.bookType();
    v.mcn = disc.mcn();
    v.cdText = disc.cdText();
    v.sessions = disc.sessions();
    v.tracks = disc.tracks();
    v.nextWritable = disc.nextWritableAddress();
    bool canGrow = !vrn::medium::isRom(v.medium) && v.nextWritable.has_value();
    v.freeBlocks = canGrow ? disc.freeBlocks() : 0;
    v.writable = canGrow && driveWrites && v.freeBlocks > 0;
    v.readUserData = [&disc](std::size_t index, std::uint32_t first, std::uint32_t count,
                             std::vector<std::uint8_t> &out) {
        const auto &track = disc.tracks()[index];
        std::vector<std::uint8_t> raw(std::size_t(count) * track.blockSize);
        if (!disc.readTrackBlocks(index, first, raw))
            return false;
        out.resize(std::size_t(count) * 2048);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto user = userData(
                std::span<const std::uint8_t>(raw.data() + std::size_t(i) * track.blockSize,
                                              track.blockSize),
                track.blockSize, track.mode);
            std::copy(user.begin(), user.end(), out.begin() + std::ptrdiff_t(i) * 2048);
        }
        return true;
    };
    return v;
}

std::span<const std::uint8_t> userData(std::span<const std::uint8_t> block, std::uint32_t blockSize,
                                       vrn::TrackMode mode)
{
    std::size_t offset = 0;
    if (blockSize == 2352)
        offset = mode == vrn::TrackMode::Mode1 ? 16 : mode == vrn::TrackMode::Mode2 ? 16 : 24;
    else if (blockSize == 2336)
        offset = mode == vrn::TrackMode::Mode2 ? 0 : 8;
    return block.subspan(offset, 2048);
}

std::uint32_t detectFileSystems(const DiscView &view, std::size_t index)
{
    const auto &track = view.tracks[index];
    if (track.type != vrn::TrackType::Data)
        return 0;
    std::uint32_t fs = track.mode == vrn::TrackMode::Mode1 ? VORN_FS_MODE1 : VORN_FS_MODE2;
    for (const auto &vd : descriptors(view, index)) {
        std::span<const std::uint8_t> b(vd);
        if (startsWith(b, 1, "CD001")) {
            if (b[0] == 1)
                fs |= VORN_FS_ISO9660;
            else if (b[0] == 2 && isJolietEscape(b))
                fs |= VORN_FS_JOLIET;
            else if (b[0] == 0 && startsWith(b, 7, "EL TORITO SPECIFICATION"))
                fs |= VORN_FS_BOOTABLE;
        } else if (startsWith(b, 1, "NSR02") || startsWith(b, 1, "NSR03")) {
            fs |= VORN_FS_UDF;
        }
    }
    // HFS keeps its master directory block 1024 bytes into the volume, FAT
    // its boot sector in the first 512 bytes.
    std::vector<std::uint8_t> first;
    if (view.readUserData && !(track.flags & vrn::kTrackIncomplete) && track.length > 0 &&
        view.readUserData(index, 0, 1, first) && first.size() >= 2048) {
        std::span<const std::uint8_t> b(first);
        if (startsWith(b, 1024, "BD") || startsWith(b, 1024, "H+") || startsWith(b, 1024, "HX"))
            fs |= VORN_FS_HFS;
        if (b[510] == 0x55 && b[511] == 0xAA && (startsWith(b, 54, "FAT") || startsWith(b, 82, "FAT")))
            fs |= VORN_FS_FAT;
    }
    return fs;
}

std::uint32_t freedbDiscId(std::span<const vrn::Track> tracks)
{
    if (tracks.empty())
        return 0;
    auto digitSum = [](std::uint32_t n) {
        std::uint32_t s = 0;
        for (; n > 0; n /= 10)
            s += n % 10;
        return s;
    };
    std::uint32_t sum = 0;
    for (const auto &t : tracks)
        sum += digitSum((t.start + kLeadInFrames) / kFramesPerSecond);
    const auto &last = tracks.back();
    std::uint32_t leadOut = (last.start + last.length + kLeadInFrames) / kFramesPerSecond;
    std::uint32_t firstStart = (tracks.front().start + kLeadInFrames) / kFramesPerSecond;
    std::uint32_t seconds = leadOut - firstStart;
    return (sum % 255) << 24 | (seconds & 0xFFFF) << 8 | (std::uint32_t(tracks.size()) & 0xFF);
}

std::vector<std::uint8_t> discRecord(const DiscView &view, int flags)
{
    std::size_t count = std::min<std::size_t>(view.tracks.size(), VORN_MAX_TRACKS);
    std::vector<std::uint8_t> bytes(sizeof(VornDiscInfo) + count * sizeof(VornTrackInfo), 0);
    VornDiscInfo info{};
    info.freeBlocks = view.freeBlocks;
    info.writable = view.writable ? 1 : 0;
    info.state = static_cast<std::int32_t>(view.state);
    if (flags & VORN_CDINFO_READ_CDTEXT) {
        put(info.artist, sizeof info.artist, view.cdText.performer);
        put(info.title, sizeof info.title, view.cdText.title);
    }
    info.mediumType = view.medium;
    info.freedbDiscId =
        isCdMedium(view.medium) ? freedbDiscId(std::span(view.tracks.data(), count)) : 0;
    info.sessionCount = static_cast<std::int32_t>(view.sessions.size());
    info.capacityBlocks = view.capacity;
    info.bookType = static_cast<std::int32_t>(view.bookType);
    put(info.mcn, sizeof info.mcn, view.mcn);
    info.trackCount = static_cast<std::int32_t>(count);
    std::memcpy(bytes.data(), &info, sizeof info);

    for (std::size_t i = 0; i < count; ++i) {
        const auto &t = view.tracks[i];
        VornTrackInfo entry{};
        entry.session = static_cast<std::int32_t>(t.session);
        entry.number = static_cast<std::int32_t>(t.number);
        entry.type = t.type == vrn::TrackType::Audio ? VORN_TRACK_AUDIO : VORN_TRACK_DATA;
        entry.startBlock = static_cast<std::int32_t>(t.start);
        entry.lengthBlocks = static_cast<std::int32_t>(t.length);
        if (flags & VORN_CDINFO_READ_CDTEXT) {
            put(entry.artist, sizeof entry.artist, t.cdText.performer);
            put(entry.title, sizeof entry.title, t.cdText.title);
        }
        if (t.type == vrn::TrackType::Data)
            entry.fileSystems = (flags & VORN_CDINFO_DETECT_FILESYSTEMS)
                                    ? detectFileSystems(view, i)
                                    : (t.mode == vrn::TrackMode::Mode1 ? VORN_FS_MODE1
                                                                       : VORN_FS_MODE2);
        entry.blockSize = static_cast<std::int32_t>(t.blockSize);
        entry.mode = t.mode == vrn::TrackMode::Audio   ? 0
                     : t.mode == vrn::TrackMode::Mode1 ? 1
                                                       : 2;
        entry.pregapBlocks = static_cast<std::int32_t>(t.pregap);
        entry.copyPermitted = (t.flags & vrn::kTrackCopyPermitted) ? 1 : 0;
        put(entry.isrc, sizeof entry.isrc, t.isrc);
        std::memcpy(bytes.data() + sizeof info + i * sizeof entry, &entry, sizeof entry);
    }
    return bytes;
}

std::optional<std::uint32_t> nextTrackStart(const DiscView &view)
{
    if (!view.nextWritable || vrn::medium::isRom(view.medium))
        return std::nullopt;
    std::uint32_t start = *view.nextWritable;
    // The first track of a CD starts at 0 with its pregap before it; a later
    // session's first track carries its own pregap.
    if (isCdMedium(view.medium) && !view.tracks.empty())
        start += kCdSessionPregap;
    if (start >= view.capacity)
        return std::nullopt;
    return start;
}

std::optional<MultisessionInfo> multisessionInfo(const DiscView &view)
{
    if (view.tracks.empty())
        return std::nullopt;
    MultisessionInfo info;
    auto next = nextTrackStart(view);
    bool appendable = next && view.state != vrn::DiscState::Closed;
    info.usedBlocks = appendable ? *view.nextWritable : view.capacity;
    info.nextTrackStart = appendable ? *next : 0;
    bool openSession = !view.sessions.empty() && !view.sessions.back().closed;
    info.nextSession =
        appendable ? static_cast<std::int32_t>(view.sessions.size() + (openSession ? 0 : 1)) : 0;
    const auto &newest = view.sessions.back();
    info.lastSessionStart = view.tracks[newest.firstTrack - 1].start;
    return info;
}

std::string stampHash(const DiscView &view, const vrn::VrnDisc &disc)
{
    if (view.tracks.empty())
        return {};
    std::unique_ptr<GChecksum, decltype(&g_checksum_free)> sum(
        g_checksum_new(G_CHECKSUM_SHA256), &g_checksum_free);
    auto feed = [&](const std::string &text) {
        g_checksum_update(sum.get(), reinterpret_cast<const guchar *>(text.data()),
                          static_cast<gssize>(text.size()));
        g_checksum_update(sum.get(), reinterpret_cast<const guchar *>("\n"), 1);
    };
    auto feedText = [&](const vrn::CdText &t) {
        for (const auto *field : {&t.title, &t.performer, &t.songwriter, &t.composer,
                                  &t.arranger, &t.message})
            feed(*field);
    };
    // The medium, the file and the disc's state stay out: a copy of the disc
    // on another medium is the same disc.
    feed(view.mcn);
    feedText(view.cdText);
    for (const auto &s : view.sessions)
        feed("session " + std::to_string(s.number) + " " + std::to_string(s.trackCount) +
             (s.closed ? " closed" : " open"));
    for (std::size_t i = 0; i < view.tracks.size(); ++i) {
        const auto &t = view.tracks[i];
        feed("track " + std::to_string(t.number) + " " + std::to_string(t.session) + " " +
             std::to_string(static_cast<unsigned>(t.type)) + " " +
             std::to_string(static_cast<unsigned>(t.mode)) + " " + std::to_string(t.blockSize) +
             " " + std::to_string(t.start) + " " + std::to_string(t.length) + " " +
             std::to_string(t.pregap) + " " + std::to_string(t.flags) + " " + t.isrc);
        feedText(t.cdText);
        constexpr std::uint32_t kChunk = 256;
        std::vector<std::uint8_t> buf;
        for (std::uint32_t first = 0; first < t.length; first += kChunk) {
            std::uint32_t n = std::min(kChunk, t.length - first);
            buf.resize(std::size_t(n) * t.blockSize);
            if (!disc.readTrackBlocks(i, first, buf))
                feed("unreadable");
            else
                g_checksum_update(sum.get(), buf.data(), static_cast<gssize>(buf.size()));
        }
    }
    return g_checksum_get_string(sum.get());
}

std::string detailedDiscInfo(const DiscView &view)
{
    std::string out;
    auto line = [&](const std::string &key, const std::string &value) {
        out += key + ": " + value + "\n";
    };
    std::string mediumName = mediumMaskNames(view.medium);
    line("Medium", mediumName.empty() ? "unknown (" + hex32(view.medium) + ")" : mediumName);
    static const char *states[] = {"blank", "appendable", "closed"};
    line("Disc state", states[static_cast<unsigned>(view.state) % 3]);
    line("Capacity", std::to_string(view.capacity) + " blocks");
    line("Free", std::to_string(view.freeBlocks) + " blocks");
    if (auto next = nextTrackStart(view); next && view.state != vrn::DiscState::Closed)
        line("Next writable address", std::to_string(*next));
    else
        line("Next writable address", "none");
    line("Sessions", std::to_string(view.sessions.size()));
    line("Tracks", std::to_string(view.tracks.size()));
    if (isCdMedium(view.medium) && !view.tracks.empty())
        line("FreeDB disc id", hex32(freedbDiscId(view.tracks)));
    if (view.bookType)
        line("Book type", std::to_string(view.bookType));
    if (!view.mcn.empty())
        line("Media catalog number", view.mcn);
    if (!view.cdText.title.empty())
        line("CD-Text title", view.cdText.title);
    if (!view.cdText.performer.empty())
        line("CD-Text performer", view.cdText.performer);
    for (const auto &s : view.sessions) {
        out += "Session " + std::to_string(s.number) + (s.closed ? " (closed)" : " (open)") + "\n";
        for (std::uint32_t n = s.firstTrack; n < s.firstTrack + s.trackCount; ++n) {
            const auto &t = view.tracks[n - 1];
            char buf[160];
            std::snprintf(buf, sizeof buf,
                          "  Track %02u: %s, %s, %u-byte blocks, start %u, length %u, pregap %u",
                          t.number, t.type == vrn::TrackType::Audio ? "audio" : "data",
                          modeName(t.mode), t.blockSize, t.start, t.length, t.pregap);
            out += buf;
            if (t.type == vrn::TrackType::Data)
                out += ", file systems: " + fileSystemNames(detectFileSystems(view, n - 1));
            if (!t.isrc.empty())
                out += ", ISRC " + t.isrc;
            if (t.flags & vrn::kTrackIncomplete)
                out += ", incomplete";
            out += "\n";
        }
    }
    return out;
}

std::string volumeDescriptorInfo(const DiscView &view)
{
    std::string out;
    for (std::size_t i = 0; i < view.tracks.size(); ++i) {
        auto vds = descriptors(view, i);
        if (vds.empty())
            continue;
        out += "Track " + std::to_string(view.tracks[i].number) + "\n";
        std::uint32_t block = kFirstDescriptor;
        for (const auto &vd : vds) {
            std::span<const std::uint8_t> b(vd);
            std::string head = "  Block " + std::to_string(block++) + ": ";
            if (!startsWith(b, 1, "CD001")) {
                out += head + "UDF recognition " + trimmed(b.subspan(1, 5)) + "\n";
                continue;
            }
            switch (b[0]) {
            case 0:
                out += head + "Boot record: " + trimmed(b.subspan(7, 32)) + ", catalog at block " +
                       std::to_string(le32(b, 71)) + "\n";
                break;
            case 1:
            case 2: {
                bool joliet = b[0] == 2 && isJolietEscape(b);
                auto text = [&](std::size_t at, std::size_t n) {
                    return joliet ? trimmedUcs2(b.subspan(at, n)) : trimmed(b.subspan(at, n));
                };
                out += head + (b[0] == 1 ? "Primary volume descriptor"
                                         : joliet ? "Supplementary volume descriptor (Joliet)"
                                                  : "Supplementary volume descriptor") + "\n";
                out += "    System identifier: " + text(8, 32) + "\n";
                out += "    Volume identifier: " + text(40, 32) + "\n";
                out += "    Volume space size: " + std::to_string(le32(b, 80)) + " blocks\n";
                out += "    Volume set identifier: " + text(190, 128) + "\n";
                out += "    Publisher identifier: " + text(318, 128) + "\n";
                out += "    Data preparer identifier: " + text(446, 128) + "\n";
                out += "    Application identifier: " + text(574, 128) + "\n";
                out += "    Creation date: " + trimmed(b.subspan(813, 16)) + "\n";
                out += "    Modification date: " + trimmed(b.subspan(830, 16)) + "\n";
                out += "    Root directory at block " + std::to_string(le32(b, 158)) + "\n";
                break;
            }
            case 255:
                out += head + "Volume descriptor set terminator\n";
                break;
            default:
                out += head + "Volume descriptor of type " + std::to_string(b[0]) + "\n";
                break;
            }
        }
    }
    return out;
}

}  // namespace vorn::engine
