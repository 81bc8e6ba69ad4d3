// The arithmetic of an ISO 9660 image with its Joliet and ISO 9660:1999
// volumes and Rock Ridge: sizes of directory records, System Use entries,
// path tables and volume descriptors, the order of records in a directory and
// how they fill blocks. The size accounting of a data compilation and the
// image writer both use these functions, so the planned size and the written
// size cannot drift apart.
//
// The image, in blocks of 2048 bytes:
//   16 blocks of system area;
//   the primary volume descriptor, a Joliet supplementary descriptor (when
//   Joliet is on), an ISO 9660:1999 enhanced descriptor (when on), the
//   terminator;
//   per volume, one L and one M path table;
//   per volume, every directory's extent;
//   the Rock Ridge continuation areas, per directory;
//   file data, one extent per file shared by every volume.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct VornDataCompilationItem;

namespace vorn::engine::data {

constexpr std::uint32_t kBlockBytes = 2048;
constexpr std::uint32_t kSystemAreaBlocks = 16;
constexpr std::uint32_t kMaxRecordBytes = 255;

// The volumes an image holds. The primary one always exists.
enum Volume : int { kPrimary = 0, kJoliet = 1, kIso1999 = 2, kVolumes = 3 };

// Record sizes of Rock Ridge (SUSP and RRIP 1.12) entries written by us.
constexpr std::uint32_t kXaBytes = 14;       // CD-XA attributes in every record (Mode 2 XA)
constexpr std::uint32_t kSuspSpBytes = 7;    // SP, in the root's "." record
constexpr std::uint32_t kSuspCeBytes = 28;   // CE, pointing to a continuation area
constexpr std::uint32_t kRripPxBytes = 44;   // PX with file serial number
constexpr std::uint32_t kRripTfBytes = 26;   // TF with modify, access and attribute times
constexpr std::uint32_t kRripNmHeaderBytes = 5;
constexpr std::uint32_t kSuspMaxPayload = 250;  // an entry is at most 255 bytes
constexpr std::uint32_t kSuspErBytes = 237;  // ER naming RRIP_1991A, in the root's continuation area
constexpr std::uint32_t kRripClBytes = 12;   // CL, in the placeholder of a relocated folder
constexpr std::uint32_t kRripPlBytes = 12;   // PL, in the ".." record of a relocated folder
constexpr std::uint32_t kRripReBytes = 4;    // RE, on records the relocation folder holds

// Folders deeper than 8 levels, unless the compilation allows them, move in
// the primary volume into a relocation folder in the root (level 2), so a
// relocated folder sits at level 3. Counting the real tree with the root as
// level 1, that happens to folders at levels 9, 15, 21 and so on.
inline bool relocatedAtLevel(std::uint32_t level)
{
    return level >= 9 && (level - 9) % 6 == 0;
}

// What relocation makes of a record in the primary volume.
enum class Relocation : std::uint8_t {
    kNone,
    kPlaceholder,  // a relocated folder in its real parent: with Rock Ridge a file record with CL, else none
    kMoved,        // a relocated folder in the relocation folder, with RE
    kMovedFolder,  // the relocation folder in the root, with RE; in no other volume
};

struct LayoutSettings {
    bool joliet = false;
    bool iso1999 = true;
    bool rockRidge = true;
    bool versionSuffix = true;  // ";1" after file names of the primary and Joliet volumes
    bool modeXa = false;
    bool elTorito = false;  // a boot record descriptor follows the primary one
};

inline std::uint64_t blocksFor(std::uint64_t bytes)
{
    return (bytes + kBlockBytes - 1) / kBlockBytes;
}

// A directory record with an identifier of `idBytes` bytes and `suBytes` of
// System Use: a pad byte follows an even-length identifier, and the record
// length is always even.
std::uint32_t directoryRecordBytes(std::size_t idBytes, std::size_t suBytes);

// A path table record for an identifier of `idBytes` bytes.
inline std::uint32_t pathTableRecordBytes(std::size_t idBytes)
{
    return static_cast<std::uint32_t>(8 + idBytes + (idBytes & 1));
}

// Bytes of the NM entries carrying a Rock Ridge name.
std::uint32_t rockRidgeNameBytes(std::size_t nameBytes);
// Bytes of the SL entries carrying a symbolic link's target.
std::uint32_t rockRidgeSymlinkBytes(std::string_view target);

// How the spilled entries of one record spread over continuation areas: the
// number of entries in each area. One area when they fit a block; otherwise
// every area but the last fills one block and ends with a CE entry pointing
// to the next area, at the start of the next block.
std::vector<std::size_t> continuationAreas(const std::vector<std::uint32_t> &entryBytes);

// Records in one block never cross into the next: a record that does not
// fit in what is left of a block starts the next one.
class RecordPacker {
public:
    void add(std::uint32_t recordBytes);
    std::uint64_t blocks() const { return used_ ? full_ + 1 : full_; }
    std::uint64_t offsetInBlock() const { return used_; }

private:
    std::uint64_t full_ = 0;
    std::uint32_t used_ = 0;
};

// Continuation areas: the spilled System Use entries of one record stay in
// one block when they fit a block; longer ones take fresh blocks chained by
// CE entries (addChained, with the sizes of the entries).
class ContinuationPacker {
public:
    void add(std::uint32_t spilledBytes);
    void addChained(const std::vector<std::uint32_t> &entryBytes);
    std::uint64_t blocks() const { return used_ ? full_ + 1 : full_; }

private:
    std::uint64_t full_ = 0;
    std::uint32_t used_ = 0;
};

// Record order inside a directory extent, after "." and "..".
// Primary volume: the name part and then the extension compared as if padded
// with spaces, byte by byte.
bool primaryRecordLess(std::string_view a, std::string_view b);
// Joliet: UCS-2 code units (UTF-16 order).
bool jolietRecordLess(std::string_view a, std::string_view b);
// ISO 9660:1999: identifier bytes.
bool iso1999RecordLess(std::string_view a, std::string_view b);

// One entry of a directory as the layout sees it. Names are UTF-8; the
// primary name is the ISO level 1 or 2 name without version.
struct LayoutEntry {
    std::string_view primary;
    std::string_view visible;  // Rock Ridge name and ISO 9660:1999 identifier
    std::string_view joliet;   // Joliet identifier
    std::string_view linkTarget;  // non-empty for a symbolic link
    bool isDirectory = false;
    Relocation relocation = Relocation::kNone;
    const ::VornDataCompilationItem *item = nullptr;  // the writer's way back to the item
};

// The sizes of the NM and SL entries of a record, in order: what moves to a
// continuation area when the record cannot hold it.
void rockRidgeMovableEntries(const LayoutEntry &e, std::vector<std::uint32_t> &out);

// Bytes of one entry's record in a volume, and for the primary volume with
// Rock Ridge the System Use bytes spilled to the continuation area.
struct RecordSize {
    std::uint32_t recordBytes;
    std::uint32_t spilledBytes;
};
RecordSize entryRecordSize(Volume v, const LayoutEntry &e, const LayoutSettings &s);
// The "." (dot = true) or ".." record of a directory in a volume; the ".."
// of a relocated folder carries PL in the primary volume.
std::uint32_t dotRecordBytes(Volume v, bool dot, bool isRoot, const LayoutSettings &s,
                             bool relocated = false);

// What one directory contributes to the image, apart from its own path table
// record (which its parent's layout accounts for, since it depends on the
// name there).
struct DirectoryLayout {
    std::uint64_t extentBlocks[kVolumes] = {};
    std::uint64_t continuationBlocks = 0;
    // Path table records of the child directories, per volume.
    std::uint64_t childPathTableBytes[kVolumes] = {};
};

// Lays out one directory. `entries` is reordered. `relocated`: the folder
// is relocated in the primary volume; `primaryOnly`: the folder exists in
// the primary volume alone (the relocation folder).
DirectoryLayout layoutDirectory(std::vector<LayoutEntry> &entries, bool isRoot,
                                const LayoutSettings &s, bool relocated = false,
                                bool primaryOnly = false);

// The path table record of the root, per volume.
constexpr std::uint32_t kRootPathTableBytes = 10;

// Blocks from the start of the image to the first path table: system area
// and volume descriptors with the terminator.
std::uint64_t descriptorAreaBlocks(const LayoutSettings &s);

// Everything but file data, from the per-directory sums.
std::uint64_t overheadBlocks(std::uint64_t extentBlocks, std::uint64_t continuationBlocks,
                             const std::uint64_t pathTableBytes[kVolumes],
                             const LayoutSettings &s);

}  // namespace vorn::engine::data
