// Bootable discs (El Torito): the boot record volume descriptor, the boot
// catalog with its validation entry and one default entry, and the boot
// image itself, taken from an image file or a floppy drive ("/dev/fdN").
//
// The image sits in the image outside the directory tree: nothing on the disc
// names it, the catalog alone points at it. The descriptor follows the
// primary volume descriptor, at block 17 of a session, where firmware looks
// for it; the catalog and the image follow the folders and continuation
// areas, before the files' data.
//
// Emulation types are the catalog's media types: 0 none, 1-3 floppies of
// 1.2, 1.44 and 2.88 MB (the image must be exactly that large), 4 a hard disk
// (the image holds a partition table with exactly one partition, whose type
// becomes the entry's system type). The load segment and the sector count go
// into the entry as the user gave them; the boot message is the catalog's
// identification text.
#pragma once

#include "data/DataCompilation.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vorn::engine::iso {

// Bytes of the floppy images of emulation types 1-3.
std::uint64_t floppyImageBytes(int emulation);

// True when the settings ask for a boot record: bootable, with an image.
bool wantsBootRecord(const data::Settings &s);

// Blocks the catalog and the boot image add to an image: 0 without a boot
// record; the catalog's block alone while the image cannot be read (the
// write then refuses, naming the problem).
std::uint64_t bootBlocks(const data::Settings &s) noexcept;

struct BootImage {
    std::string path;
    std::uint64_t bytes = 0;
    std::uint8_t mediaType = 0;   // the emulation type
    std::uint8_t systemType = 0;  // the partition type of a hard-disk image
    std::uint16_t loadSegment = 0;
    std::uint16_t sectorCount = 0;
    std::string message;
};

// Reads the boot settings and checks the image against the emulation type.
// False with a sentence for the user in `error`.
bool inspectBootImage(const data::Settings &s, BootImage &out, std::string &error);

// The boot record volume descriptor, one block.
void putBootRecord(std::uint8_t *block, std::uint32_t catalogLba);
// The boot catalog, one block.
void putBootCatalog(std::uint8_t *block, const BootImage &image, std::uint32_t imageLba);

// Hands the image's bytes to `append` in pieces, exactly `image.bytes` of
// them. False with a sentence in `error` when the image cannot be read whole
// or changed its size since it was inspected.
bool copyBootImage(const BootImage &image,
                   const std::function<void(const std::uint8_t *, std::size_t)> &append,
                   std::string &error);

}  // namespace vorn::engine::iso
