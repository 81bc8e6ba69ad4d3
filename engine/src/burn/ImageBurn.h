// Burning image files and cue sheets (write-description kind VORN_WRITE_IMAGE).
//
// An image compilation remembers only the file and what it may be burned to;
// the file is opened and checked again when the burn starts, so an image
// that changed or vanished in between is refused instead of half written.
// The blocks are read on the caller's thread, chunk by chunk, and written to
// the emulated drive's disc or to the image recorder's new file at the
// drive's pace; every progress callback runs on the caller's thread with no
// engine lock held.
#ifndef VORN_ENGINE_IMAGEBURN_H
#define VORN_ENGINE_IMAGEBURN_H

#include "VornAPI.h"

#include <cstdint>

namespace vorn::engine::burn {

// VornBurn for a description of kind VORN_WRITE_IMAGE: the same contract.
int burnImage(VornDevice *device, int formatCode, const VornWriteDescription *description,
              std::uint32_t flags, std::int32_t speedKBs, void *reserved);

}  // namespace vorn::engine::burn

#endif
