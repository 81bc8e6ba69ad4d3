// Byte layout of the .vrn container: constants, checksum, parsing and
// serialising of the file header and of one table slot. Every field is
// little-endian with a fixed width; docs/vrn-format.md describes them.
#ifndef VORN_VRN_VRNFORMAT_H
#define VORN_VRN_VRNFORMAT_H

#include "VrnDisc.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vorn::vrn::format {

inline constexpr std::array<std::uint8_t, 8> kFileMagic = {'V', 'O', 'R', 'N', 'D', 'I', 'S', 'C'};
inline constexpr std::array<std::uint8_t, 8> kTableMagic = {'V', 'R', 'N', 'T', 'A', 'B', 'L', 'E'};
inline constexpr std::uint32_t kVersion = 1;

inline constexpr std::uint32_t kHeaderSize = 4096;      // bytes reserved for the file header
inline constexpr std::uint32_t kHeaderChecked = 128;    // of which this many are defined
inline constexpr std::uint32_t kHeaderCrcAt = 124;
inline constexpr std::uint32_t kTableFixed = 1024;      // table header before the sessions
inline constexpr std::uint32_t kSessionRecord = 32;
inline constexpr std::uint32_t kTrackRecord = 1024;
inline constexpr std::uint32_t kCdTextField = 160;
inline constexpr std::uint32_t kCdTextBlock = 6 * kCdTextField;
inline constexpr std::uint32_t kTableCrcAt = 20;

// What a new container uses; a reader accepts any values within the limits.
inline constexpr std::uint32_t kDefaultTableSlot = 131072;
inline constexpr std::uint64_t kDefaultDataOffset = 1048576;
inline constexpr std::uint32_t kMaxTableSlot = 1048576;
inline constexpr std::uint64_t kMaxDataOffset = 16 * 1048576;
inline constexpr std::uint32_t kMaxCapacity = 1u << 28;  // 512 GiB of 2048-byte blocks

struct FileHeader {
    std::uint32_t version = kVersion;
    std::uint32_t medium = 0;
    std::uint32_t capacity = 0;
    std::uint32_t slotSize = 0;
    std::uint32_t tableSlotBytes = kDefaultTableSlot;
    std::uint64_t tableOffset[2] = {kHeaderSize, kHeaderSize + kDefaultTableSlot};
    std::uint64_t dataOffset = kDefaultDataOffset;

    // Bytes the whole file needs: the data area ends with the last block.
    std::uint64_t fileSize() const { return dataOffset + std::uint64_t(capacity) * slotSize; }
};

// CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320), as zlib computes it.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// Bytes of a table holding these counts.
constexpr std::uint64_t tableBytes(std::uint64_t sessions, std::uint64_t tracks) {
    return kTableFixed + sessions * kSessionRecord + tracks * kTrackRecord;
}

// Block slot size a medium gets: 2352 on CD media, 2048 elsewhere.
std::uint32_t slotSizeFor(std::uint32_t medium);

// The file header from the first bytes of a file of `fileSize` bytes.
Result<FileHeader> parseFileHeader(std::span<const std::uint8_t> head, std::uint64_t fileSize);
std::vector<std::uint8_t> serializeFileHeader(const FileHeader &header);

// A table slot's magic and checksum only: true when the slot holds a table
// that was written whole. `generation` receives its generation.
Status checkTableSlot(std::span<const std::uint8_t> slot, std::uint32_t slotBytes,
                      std::uint64_t &generation);
// Every rule of a table, after checkTableSlot accepted it.
Result<VrnDisc::Table> parseTable(std::span<const std::uint8_t> slot, const FileHeader &header);
std::vector<std::uint8_t> serializeTable(const VrnDisc::Table &table);

// Rules shared by the reader and by the writer's calls.
Status checkCdText(const CdText &text, const char *what);
Status checkIsrc(std::string_view isrc);
Status checkMcn(std::string_view mcn);
Status checkTrackSpec(const TrackSpec &trackSpec, std::uint32_t medium, std::uint32_t slotSize);
// Whole-table consistency: counts, numbering, sessions, state, track order,
// overlaps, capacity.
Status checkTable(const VrnDisc::Table &table, std::uint32_t medium, std::uint32_t capacity,
                  std::uint32_t slotSize);

}  // namespace vorn::vrn::format

#endif
