// Builds and parses .vrn containers byte by byte from the offsets of
// docs/vrn-format.md, with no code of the container library: the tests use it
// to check the documented layout and to make hostile files.
#ifndef VORN_TESTS_VRN_RAWCONTAINER_H
#define VORN_TESTS_VRN_RAWCONTAINER_H

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vorn::test::raw {

inline std::uint32_t get32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
inline std::uint64_t get64(const std::vector<std::uint8_t> &b, std::size_t at) {
    return get32(b, at) | std::uint64_t(get32(b, at + 4)) << 32;
}
inline void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
inline void put64(std::vector<std::uint8_t> &b, std::size_t at, std::uint64_t v) {
    put32(b, at, std::uint32_t(v));
    put32(b, at + 4, std::uint32_t(v >> 32));
}
inline void putText(std::vector<std::uint8_t> &b, std::size_t at, const std::string &s) {
    std::memcpy(b.data() + at, s.data(), s.size());
}
inline std::string getText(const std::vector<std::uint8_t> &b, std::size_t at, std::size_t width) {
    std::string s(reinterpret_cast<const char *>(b.data() + at), width);
    return s.substr(0, s.find('\0'));
}
inline std::uint32_t crc(const std::uint8_t *p, std::size_t n) {
    return std::uint32_t(::crc32(::crc32(0L, Z_NULL, 0), p, uInt(n)));
}

struct RawTrack {
    std::uint32_t session = 1, type = 1, mode = 1, blockSize = 2048;
    std::uint32_t start = 0, length = 1, pregap = 0, flags = 0;
    std::string isrc, title;
};

// The header and tables of a container in memory: the head of the file, up to
// the data offset. Fields are set through the documented offsets.
struct RawContainer {
    static constexpr std::size_t kTableA = 4096, kTableB = 135168, kSlot = 131072;
    static constexpr std::size_t kData = 1048576;

    std::vector<std::uint8_t> head = std::vector<std::uint8_t>(kData, 0);
    std::uint32_t capacity = 0, slotSize = 0;

    RawContainer(std::uint32_t medium, std::uint32_t cap, std::uint32_t slot) : capacity(cap), slotSize(slot) {
        putText(head, 0, "VORNDISC");
        put32(head, 8, 1);
        put32(head, 12, 4096);
        put32(head, 16, medium);
        put32(head, 20, cap);
        put32(head, 24, slot);
        put32(head, 28, kSlot);
        put64(head, 32, kTableA);
        put64(head, 40, kTableB);
        put64(head, 48, kData);
        sealHeader();
    }
    void sealHeader() { put32(head, 124, crc(head.data(), 124)); }

    // Writes a table into slot `at` with the given tracks, all in sessions as
    // the tracks say; sessions are closed except an open last one when asked.
    void table(std::size_t at, std::uint64_t generation, std::uint32_t state,
               const std::vector<RawTrack> &tracks, bool lastOpen = false) {
        std::uint32_t sessions = tracks.empty() ? 0 : tracks.back().session;
        const std::size_t size = 1024 + 32 * sessions + 1024 * tracks.size();
        std::fill(head.begin() + at, head.begin() + at + kSlot, 0);
        putText(head, at, "VRNTABLE");
        put64(head, at + 8, generation);
        put32(head, at + 16, std::uint32_t(size));
        put32(head, at + 24, state);
        put32(head, at + 32, sessions);
        put32(head, at + 36, std::uint32_t(tracks.size()));
        for (std::uint32_t s = 1; s <= sessions; ++s) {
            std::size_t r = at + 1024 + 32 * (s - 1);
            std::uint32_t first = 0, count = 0;
            for (std::size_t i = 0; i < tracks.size(); ++i)
                if (tracks[i].session == s) {
                    if (!count) first = std::uint32_t(i + 1);
                    ++count;
                }
            put32(head, r, s);
            put32(head, r + 4, first);
            put32(head, r + 8, count);
            put32(head, r + 12, (lastOpen && s == sessions) ? 0 : 1);
        }
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            std::size_t r = at + 1024 + 32 * sessions + 1024 * i;
            const RawTrack &t = tracks[i];
            put32(head, r, std::uint32_t(i + 1));
            put32(head, r + 4, t.session);
            put32(head, r + 8, t.type);
            put32(head, r + 12, t.mode);
            put32(head, r + 16, t.blockSize);
            put32(head, r + 20, t.start);
            put32(head, r + 24, t.length);
            put32(head, r + 28, t.pregap);
            put32(head, r + 32, t.flags);
            putText(head, r + 36, t.isrc);
            putText(head, r + 64, t.title);
        }
        sealTable(at);
    }
    // Recomputes a table's CRC from its own size field.
    void sealTable(std::size_t at) {
        std::uint32_t size = get32(head, at + 16);
        if (size > kSlot) size = kSlot;
        put32(head, at + 20, 0);
        put32(head, at + 20, crc(head.data() + at, size));
    }
    std::size_t sessionRecord(std::size_t at, std::size_t i) const { return at + 1024 + 32 * i; }
    std::size_t trackRecord(std::size_t at, std::size_t i) const {
        return at + 1024 + 32 * get32(head, at + 32) + 1024 * i;
    }

    // The head, then the file extended (sparsely) to `size`, default the full size.
    void write(const std::filesystem::path &path, std::uint64_t size = 0) const {
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char *>(head.data()), std::streamsize(head.size()));
        }
        std::filesystem::resize_file(path, size ? size : kData + std::uint64_t(capacity) * slotSize);
    }
};

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path &path, std::uint64_t offset,
                                           std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::vector<std::uint8_t> b(n);
    in.read(reinterpret_cast<char *>(b.data()), std::streamsize(n));
    b.resize(std::size_t(in.gcount()));
    return b;
}

}  // namespace vorn::test::raw

#endif
