// Our image writer: a data compilation as an ISO 9660 image with its Joliet
// and ISO 9660:1999 volumes and Rock Ridge.
//
// Writing has two steps. The layout step walks the compilation once, places
// every folder extent, path table and continuation area of every volume and
// then every file's data once: all volumes point at the same data extents (a
// UDF volume will join them the same way). At that point the image size is
// known to the block, and it is the size the compilation accounts for. The
// second step produces the blocks in order for a sink: an image file, later
// an emulated disc. File data goes from the source to the sink in pieces,
// never whole; an image file is written past the page cache where its file
// system allows, otherwise it takes large files by copy_file_range.
//
// The compilation's lock is held from the layout to the last block, so the
// tree cannot change under the writer.
#pragma once

#include "data/DataCompilation.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace vorn::engine::iso {

// Where the blocks go. Every call appends; the sink sees the image from its
// first byte to its last, exactly once.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    // Appends `bytes` bytes. False on failure, with errno set.
    virtual bool write(const std::uint8_t *data, std::size_t bytes) = 0;
    enum class Copy { Done, Unsupported, Failed };
    // Appends `bytes` bytes read from `fd` at its current offset without
    // passing them through our memory, when the sink can (a regular file).
    // Unsupported leaves both sides untouched; Failed sets errno.
    virtual Copy copyFrom(int fd, std::uint64_t bytes)
    {
        (void)fd;
        (void)bytes;
        return Copy::Unsupported;
    }
};

struct WriteOptions {
    // Called between files with the blocks produced so far and the total;
    // returning false cancels the write.
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
    // The time the image is made: volume dates not set and the files date
    // "burn time" use it. -1 = the clock at the start of the write.
    std::int64_t now = -1;
    // Files at least this large go through BlockSink::copyFrom.
    std::uint64_t copyRangeMinBytes = 1 << 20;
    // An image file is written past the page cache (O_DIRECT) where its file
    // system allows; false writes it through the cache.
    bool directWrites = true;
};

struct WriteResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;        // a sentence for the user when !ok
    std::uint64_t blocks = 0; // blocks written (the planned size when ok)
};

// 1 when the compilation's settings give an image our writer can make: an
// ISO 9660 volume exists (not UDF alone).
bool canBeWrittenAsIsoImage(VornDataCompilation &c);

// The size the layout step plans, in blocks, or an error. Takes the lock.
WriteResult planImage(VornDataCompilation &c);

// Writes the image to `sink`. Takes the compilation's lock for the whole
// write. A source file that vanished, changed its size or cannot be read
// stops the write with an error naming it; nothing short is written.
WriteResult writeImage(VornDataCompilation &c, BlockSink &sink, const WriteOptions &options = {});

// Writes the image to a file at `path`: to a temporary name beside it first,
// renamed into place only when every block is written. On failure or cancel
// the temporary file is removed and `path` is untouched.
WriteResult writeImageFile(VornDataCompilation &c, const std::string &path,
                           const WriteOptions &options = {});

}  // namespace vorn::engine::iso
