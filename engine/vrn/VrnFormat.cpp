#include "VrnFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace vorn::vrn::format {

namespace {

// A fuzzing build accepts wrong checksums, so that the fuzzer reaches the
// rules behind them instead of stopping at the CRC.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr bool kCheckCrc = false;
#else
constexpr bool kCheckCrc = true;
#endif

std::string fmt(const char *format, auto... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

Error err(std::string message) { return Error{std::move(message)}; }

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::uint64_t get64(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint64_t(get32(b, at)) | std::uint64_t(get32(b, at + 4)) << 32;
}

void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

void put64(std::vector<std::uint8_t> &b, std::size_t at, std::uint64_t v) {
    put32(b, at, std::uint32_t(v));
    put32(b, at + 4, std::uint32_t(v >> 32));
}

bool allZero(std::span<const std::uint8_t> b) {
    return std::all_of(b.begin(), b.end(), [](std::uint8_t c) { return c == 0; });
}

// A NUL-padded text field: the text ends at the first NUL, and everything after
// it must be NUL too (the last byte always is).
Result<std::string> getText(std::span<const std::uint8_t> field, const std::string &what) {
    auto nul = std::find(field.begin(), field.end(), std::uint8_t(0));
    if (nul == field.end()) return err(what + " is not NUL-terminated");
    if (!allZero(std::span(nul, field.end()))) return err(what + " has bytes after its end");
    return std::string(field.begin(), nul);
}

void putText(std::vector<std::uint8_t> &b, std::size_t at, const std::string &text) {
    std::memcpy(b.data() + at, text.data(), text.size());
}

const char *const kCdTextNames[6] = {"title", "performer", "songwriter",
                                     "composer", "arranger", "message"};

std::string CdText::*const kCdTextFields[6] = {&CdText::title,    &CdText::performer,
                                               &CdText::songwriter, &CdText::composer,
                                               &CdText::arranger, &CdText::message};

Result<CdText> getCdText(std::span<const std::uint8_t> block, const std::string &owner) {
    CdText text;
    for (int i = 0; i < 6; ++i) {
        auto field = getText(block.subspan(i * kCdTextField, kCdTextField),
                             owner + " CD-Text " + kCdTextNames[i]);
        if (!field) return Error{field.error()};
        text.*kCdTextFields[i] = std::move(field.value());
    }
    return text;
}

void putCdText(std::vector<std::uint8_t> &b, std::size_t at, const CdText &text) {
    for (int i = 0; i < 6; ++i) putText(b, at + i * kCdTextField, text.*kCdTextFields[i]);
}

const std::array<std::uint32_t, 256> &crcTable() {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    const auto &t = crcTable();
    crc = ~crc;
    for (std::uint8_t b : bytes) crc = t[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t slotSizeFor(std::uint32_t medium) { return medium::isCd(medium) ? 2352 : 2048; }

// ---------------------------------------------------------------------------
// File header

Result<FileHeader> parseFileHeader(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (fileSize < kHeaderSize || head.size() < kHeaderChecked)
        return err(fmt("the file is truncated: %llu bytes, a container header needs %u",
                       (unsigned long long)std::min<std::uint64_t>(fileSize, head.size()),
                       kHeaderSize));
    if (!std::equal(kFileMagic.begin(), kFileMagic.end(), head.begin()))
        return err("not a disc container (bad magic)");
    FileHeader h;
    h.version = get32(head, 8);
    if (h.version != kVersion)
        return err(fmt("unsupported container version %u (this program reads version %u)",
                       h.version, kVersion));
    if (kCheckCrc && crc32(head.first(kHeaderCrcAt)) != get32(head, kHeaderCrcAt))
        return err("the container header checksum does not match");
    if (get32(head, 12) != kHeaderSize)
        return err(fmt("container header size %u (expected %u)", get32(head, 12), kHeaderSize));
    h.medium = get32(head, 16);
    h.capacity = get32(head, 20);
    h.slotSize = get32(head, 24);
    h.tableSlotBytes = get32(head, 28);
    h.tableOffset[0] = get64(head, 32);
    h.tableOffset[1] = get64(head, 40);
    h.dataOffset = get64(head, 48);
    if (!allZero(head.subspan(56, kHeaderCrcAt - 56)))
        return err("reserved bytes of the container header are not zero");
    if (!medium::isKnown(h.medium)) return err(fmt("unknown medium type 0x%X", h.medium));
    if (h.capacity == 0) return err("the disc has a capacity of 0 blocks");
    if (h.capacity > kMaxCapacity)
        return err(fmt("a capacity of %u blocks is more than the %u a container allows",
                       h.capacity, kMaxCapacity));
    if (h.slotSize != slotSizeFor(h.medium))
        return err(fmt("block slot size %u does not suit medium 0x%X (%u expected)", h.slotSize,
                       h.medium, slotSizeFor(h.medium)));
    if (h.tableSlotBytes < kTableFixed || h.tableSlotBytes > kMaxTableSlot)
        return err(fmt("table slot size %u is out of range (%u to %u)", h.tableSlotBytes,
                       kTableFixed, kMaxTableSlot));
    if (h.dataOffset % 4096 != 0 || h.dataOffset > kMaxDataOffset)
        return err(fmt("data offset %llu is not a multiple of 4096 up to %llu",
                       (unsigned long long)h.dataOffset, (unsigned long long)kMaxDataOffset));
    for (int i = 0; i < 2; ++i) {
        const std::uint64_t at = h.tableOffset[i];
        if (at < kHeaderSize || at > h.dataOffset || h.dataOffset - at < h.tableSlotBytes)
            return err(fmt("table slot %c at offset %llu lies outside the header area (%u to %llu)",
                           'A' + i, (unsigned long long)at, kHeaderSize,
                           (unsigned long long)h.dataOffset));
    }
    const std::uint64_t lo = std::min(h.tableOffset[0], h.tableOffset[1]);
    const std::uint64_t hi = std::max(h.tableOffset[0], h.tableOffset[1]);
    if (hi - lo < h.tableSlotBytes) return err("table slots A and B overlap");
    if (fileSize < h.fileSize())
        return err(fmt("the file is truncated: %llu bytes, the disc needs %llu",
                       (unsigned long long)fileSize, (unsigned long long)h.fileSize()));
    return h;
}

std::vector<std::uint8_t> serializeFileHeader(const FileHeader &h) {
    std::vector<std::uint8_t> b(kHeaderSize, 0);
    std::copy(kFileMagic.begin(), kFileMagic.end(), b.begin());
    put32(b, 8, h.version);
    put32(b, 12, kHeaderSize);
    put32(b, 16, h.medium);
    put32(b, 20, h.capacity);
    put32(b, 24, h.slotSize);
    put32(b, 28, h.tableSlotBytes);
    put64(b, 32, h.tableOffset[0]);
    put64(b, 40, h.tableOffset[1]);
    put64(b, 48, h.dataOffset);
    put32(b, kHeaderCrcAt, crc32(std::span(b).first(kHeaderCrcAt)));
    return b;
}

// ---------------------------------------------------------------------------
// Rules of single fields

Status checkCdText(const CdText &text, const char *what) {
    for (int i = 0; i < 6; ++i) {
        const std::string &f = text.*kCdTextFields[i];
        if (f.size() > kCdTextFieldMax)
            return err(fmt("%s CD-Text %s is %zu bytes long (at most %zu)", what, kCdTextNames[i],
                           f.size(), kCdTextFieldMax));
        if (f.find('\0') != std::string::npos)
            return err(fmt("%s CD-Text %s contains a NUL byte", what, kCdTextNames[i]));
    }
    return {};
}

Status checkIsrc(std::string_view isrc) {
    if (isrc.empty()) return {};
    const bool good = isrc.size() == 12 && std::all_of(isrc.begin(), isrc.end(), [](char c) {
                          return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
                      });
    if (!good)
        return err("ISRC \"" + std::string(isrc.substr(0, 16)) +
                   "\" is not 12 characters of A-Z and 0-9");
    return {};
}

Status checkMcn(std::string_view mcn) {
    if (mcn.empty()) return {};
    if (mcn.size() != 13 || !std::all_of(mcn.begin(), mcn.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return err("media catalog number \"" + std::string(mcn.substr(0, 16)) +
                   "\" is not 13 digits");
    return {};
}

Status checkTrackSpec(const TrackSpec &s, std::uint32_t med, std::uint32_t slotSize) {
    const auto type = std::uint32_t(s.type), mode = std::uint32_t(s.mode);
    if (type != 1 && type != 2) return err(fmt("unknown track type %u", type));
    if (mode > 4) return err(fmt("unknown track mode %u", mode));
    if (s.blockSize != 2048 && s.blockSize != 2336 && s.blockSize != 2352)
        return err(fmt("block size %u (2048, 2336 or 2352 expected)", s.blockSize));
    if (s.blockSize > slotSize)
        return err(fmt("block size %u does not fit medium 0x%X (2048 only)", s.blockSize, med));
    if (s.type == TrackType::Audio) {
        if (!medium::isCd(med)) return err(fmt("an audio track on medium 0x%X", med));
        if (s.mode != TrackMode::Audio || s.blockSize != 2352)
            return err("an audio track must be of mode audio with 2352-byte blocks");
    } else {
        bool fits = false;
        switch (s.mode) {
        case TrackMode::Audio: return err("a data track of mode audio");
        case TrackMode::Mode1: fits = s.blockSize == 2048 || s.blockSize == 2352; break;
        case TrackMode::Mode2: fits = s.blockSize == 2336 || s.blockSize == 2352; break;
        case TrackMode::Mode2Form1: fits = true; break;
        case TrackMode::Mode2Form2: fits = s.blockSize != 2048; break;
        }
        if (!fits) return err(fmt("block size %u does not suit track mode %u", s.blockSize, mode));
        if (!medium::isCd(med) && s.mode != TrackMode::Mode1)
            return err(fmt("track mode %u on medium 0x%X (mode 1 only)", mode, med));
    }
    if (s.flags & ~kTrackKnownFlags) return err(fmt("unknown track flags 0x%X", s.flags));
    if (s.length == 0 && !(s.flags & kTrackIncomplete))
        return err("a track of 0 blocks that is not marked incomplete");
    if (auto st = checkIsrc(s.isrc); !st) return st;
    if (auto st = checkCdText(s.cdText, "the track's"); !st) return st;
    return {};
}

Status checkTable(const VrnDisc::Table &t, std::uint32_t med, std::uint32_t capacity,
                  std::uint32_t slotSize) {
    if (std::uint32_t(t.state) > 2) return err(fmt("unknown disc state %u", std::uint32_t(t.state)));
    if (t.bookType > 7) return err(fmt("book type %u (0 to 7 expected)", t.bookType));
    if (t.sessions.size() > kMaxSessions) return err(fmt("%zu sessions (at most %u)", t.sessions.size(), kMaxSessions));
    if (t.tracks.size() > kMaxTracks) return err(fmt("%zu tracks (at most %u)", t.tracks.size(), kMaxTracks));
    if (auto st = checkMcn(t.mcn); !st) return st;
    if (auto st = checkCdText(t.cdText, "the disc's"); !st) return st;

    if (t.state == DiscState::Blank) {
        if (!t.tracks.empty() || !t.sessions.empty())
            return err("a blank disc with sessions or tracks");
        return {};
    }
    if (t.tracks.empty() || t.sessions.empty())
        return err("an appendable or closed disc without tracks");

    std::uint32_t expectTrack = 1;
    for (std::size_t i = 0; i < t.sessions.size(); ++i) {
        const Session &s = t.sessions[i];
        if (s.number != i + 1)
            return err(fmt("session %zu is numbered %u", i + 1, s.number));
        if (s.trackCount == 0) return err(fmt("session %u has no track", s.number));
        if (s.firstTrack != expectTrack)
            return err(fmt("session %u starts at track %u (track %u expected)", s.number,
                           s.firstTrack, expectTrack));
        if (s.trackCount > kMaxTracks || expectTrack + s.trackCount - 1 > t.tracks.size())
            return err(fmt("session %u claims %u tracks, more than the disc has", s.number,
                           s.trackCount));
        if (!s.closed && i + 1 != t.sessions.size())
            return err(fmt("session %u is open but is not the last", s.number));
        expectTrack += s.trackCount;
    }
    if (expectTrack - 1 != t.tracks.size())
        return err(fmt("the sessions hold %u tracks, the disc %zu", expectTrack - 1,
                       t.tracks.size()));
    if (t.state == DiscState::Closed && !t.sessions.back().closed)
        return err("a closed disc whose last session is open");

    std::int64_t previousEnd = 0;
    std::size_t sessionIndex = 0;
    for (std::size_t i = 0; i < t.tracks.size(); ++i) {
        const Track &k = t.tracks[i];
        if (k.number != i + 1) return err(fmt("track %zu is numbered %u", i + 1, k.number));
        const Session &in = t.sessions[sessionIndex];
        if (k.number >= in.firstTrack + in.trackCount) ++sessionIndex;
        if (k.session != sessionIndex + 1)
            return err(fmt("track %u says session %u, but lies in session %zu", k.number,
                           k.session, sessionIndex + 1));
        if (auto st = checkTrackSpec(k, med, slotSize); !st)
            return err(fmt("track %u: %s", k.number, st.error().c_str()));
        const std::uint64_t end = std::uint64_t(k.start) + k.length;
        if (end > capacity)
            return err(fmt("track %u ends at block %llu, beyond the capacity of %u blocks",
                           k.number, (unsigned long long)end, capacity));
        const std::int64_t pregapStart = std::int64_t(k.start) - std::int64_t(k.pregap);
        if (i == 0) {
            if (pregapStart < -150)
                return err(fmt("track 1 has a pregap of %u blocks before block %u, more than 150 "
                               "of them before block 0",
                               k.pregap, k.start));
        } else if (pregapStart < previousEnd) {
            return err(fmt("track %u (from block %lld with its pregap) overlaps track %u (up to "
                           "block %lld)",
                           k.number, (long long)pregapStart, k.number - 1,
                           (long long)previousEnd));
        }
        previousEnd = std::int64_t(end);
    }
    return {};
}

// ---------------------------------------------------------------------------
// Table slots

Status checkTableSlot(std::span<const std::uint8_t> slot, std::uint32_t slotBytes,
                      std::uint64_t &generation) {
    if (slot.size() < kTableFixed) return err("truncated");
    if (allZero(slot.first(kTableFixed))) return err("unused");
    if (!std::equal(kTableMagic.begin(), kTableMagic.end(), slot.begin()))
        return err("bad magic");
    const std::uint32_t size = get32(slot, 16);
    if (size < kTableFixed || size > slotBytes || size > slot.size())
        return err(fmt("table size %u does not fit its slot of %u bytes", size, slotBytes));
    std::vector<std::uint8_t> copy(slot.begin(), slot.begin() + size);
    put32(copy, kTableCrcAt, 0);
    if (kCheckCrc && crc32(copy) != get32(slot, kTableCrcAt)) return err("checksum does not match");
    generation = get64(slot, 8);
    return {};
}

Result<VrnDisc::Table> parseTable(std::span<const std::uint8_t> slot, const FileHeader &h) {
    VrnDisc::Table t;
    t.generation = get64(slot, 8);
    const std::uint32_t size = get32(slot, 16);
    t.state = DiscState(get32(slot, 24));
    t.bookType = get32(slot, 28);
    const std::uint32_t sessionCount = get32(slot, 32);
    const std::uint32_t trackCount = get32(slot, 36);
    if (sessionCount > kMaxSessions)
        return err(fmt("%u sessions (at most %u)", sessionCount, kMaxSessions));
    if (trackCount > kMaxTracks) return err(fmt("%u tracks (at most %u)", trackCount, kMaxTracks));
    if (tableBytes(sessionCount, trackCount) != size)
        return err(fmt("table size %u does not match %u sessions and %u tracks (%llu bytes)", size,
                       sessionCount, trackCount,
                       (unsigned long long)tableBytes(sessionCount, trackCount)));
    if (!allZero(slot.subspan(40, 8))) return err("reserved bytes of the table are not zero");
    auto mcn = getText(slot.subspan(48, 16), "the media catalog number");
    if (!mcn) return Error{mcn.error()};
    t.mcn = std::move(mcn.value());
    auto text = getCdText(slot.subspan(64, kCdTextBlock), "the disc's");
    if (!text) return Error{text.error()};
    t.cdText = std::move(text.value());

    std::size_t at = kTableFixed;
    for (std::uint32_t i = 0; i < sessionCount; ++i, at += kSessionRecord) {
        auto r = slot.subspan(at, kSessionRecord);
        Session s;
        s.number = get32(r, 0);
        s.firstTrack = get32(r, 4);
        s.trackCount = get32(r, 8);
        const std::uint32_t flags = get32(r, 12);
        if (flags & ~1u) return err(fmt("session %u has unknown flags 0x%X", i + 1, flags));
        if (!allZero(r.subspan(16))) return err(fmt("reserved bytes of session %u are not zero", i + 1));
        s.closed = flags & 1;
        t.sessions.push_back(s);
    }
    for (std::uint32_t i = 0; i < trackCount; ++i, at += kTrackRecord) {
        auto r = slot.subspan(at, kTrackRecord);
        Track k;
        k.number = get32(r, 0);
        k.session = get32(r, 4);
        k.type = TrackType(get32(r, 8));
        k.mode = TrackMode(get32(r, 12));
        k.blockSize = get32(r, 16);
        k.start = get32(r, 20);
        k.length = get32(r, 24);
        k.pregap = get32(r, 28);
        k.flags = get32(r, 32);
        const std::string owner = fmt("track %u's", i + 1);
        auto isrc = r.subspan(36, 12);
        if (allZero(isrc))
            k.isrc.clear();
        else
            k.isrc.assign(isrc.begin(), isrc.end());
        if (!allZero(r.subspan(48, 16))) return err(fmt("reserved bytes of track %u are not zero", i + 1));
        auto cd = getCdText(r.subspan(64, kCdTextBlock), owner);
        if (!cd) return Error{cd.error()};
        k.cdText = std::move(cd.value());
        t.tracks.push_back(std::move(k));
    }
    if (auto st = checkTable(t, h.medium, h.capacity, h.slotSize); !st) return Error{st.error()};
    return t;
}

std::vector<std::uint8_t> serializeTable(const VrnDisc::Table &t) {
    const std::size_t size = tableBytes(t.sessions.size(), t.tracks.size());
    std::vector<std::uint8_t> b(size, 0);
    std::copy(kTableMagic.begin(), kTableMagic.end(), b.begin());
    put64(b, 8, t.generation);
    put32(b, 16, std::uint32_t(size));
    put32(b, 24, std::uint32_t(t.state));
    put32(b, 28, t.bookType);
    put32(b, 32, std::uint32_t(t.sessions.size()));
    put32(b, 36, std::uint32_t(t.tracks.size()));
    putText(b, 48, t.mcn);
    putCdText(b, 64, t.cdText);
    std::size_t at = kTableFixed;
    for (const Session &s : t.sessions) {
        put32(b, at + 0, s.number);
        put32(b, at + 4, s.firstTrack);
        put32(b, at + 8, s.trackCount);
        put32(b, at + 12, s.closed ? 1 : 0);
        at += kSessionRecord;
    }
    for (const Track &k : t.tracks) {
        put32(b, at + 0, k.number);
        put32(b, at + 4, k.session);
        put32(b, at + 8, std::uint32_t(k.type));
        put32(b, at + 12, std::uint32_t(k.mode));
        put32(b, at + 16, k.blockSize);
        put32(b, at + 20, k.start);
        put32(b, at + 24, k.length);
        put32(b, at + 28, k.pregap);
        put32(b, at + 32, k.flags);
        putText(b, at + 36, k.isrc);
        putCdText(b, at + 64, k.cdText);
        at += kTrackRecord;
    }
    put32(b, kTableCrcAt, crc32(b));
    return b;
}

}  // namespace vorn::vrn::format
