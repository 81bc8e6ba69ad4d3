// Import of a previous session: the file tree of a data track of a disc,
// read by the outside image library's reader (Rock Ridge, Joliet and ISO
// 9660:1999 trees, whichever the session offers, in that order), entered in
// a data compilation as items that are already on the disc.
//
// Imported files keep their extent and size on the disc; a new session
// written from the compilation points at those extents instead of writing the
// data again. Imported folders are written anew, since every session carries
// a whole directory tree of its own.
//
// The whole tree is read and checked before the compilation is touched: a
// session that cannot be read, or that points outside the disc, refuses with
// a sentence for the user and leaves the compilation as it was.
#pragma once

#include "data/DataCompilation.h"

#include "VrnDisc.h"

#include <cstdint>
#include <string>

namespace vorn::engine::import {

struct ImportResult {
    bool ok = false;
    std::string error;  // a sentence for the user when !ok
};

// Imports track `trackIndex` (0-based over the disc's tracks; -1 the last data
// track) of `disc`. What was imported before is replaced: items of an earlier
// import that no new item holds on to are removed first. Items of the
// compilation whose original name an imported file has take its place (they
// become replacing items); folders of the same name are merged.
//
// Afterwards the compilation accounts for everything before the next session
// as already on the disc, and the volume labels are those of the imported
// session. Takes the compilation's lock.
ImportResult importTrack(VornDataCompilation &c, const vrn::VrnDisc &disc, int trackIndex);

// Where a session written after the ones of `disc` begins: the next track's
// start of an appendable disc, or the end of the last track of one that takes
// no more (the new session can then not be written, but its size is still
// known).
std::uint32_t nextSessionStart(const vrn::VrnDisc &disc);

// ImportTrack of the C interface: the disc in the drive of `device`. A
// refusal goes to the engine's error log. 1 = imported, 0 = not.
int importFromDevice(VornDataCompilation &c, VornDevice *device, int trackIndex) noexcept;

}  // namespace vorn::engine::import
