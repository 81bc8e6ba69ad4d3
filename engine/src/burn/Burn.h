// Burning a data compilation: to the image recorder (a plain image or a disc
// container, as the file name says) or to an emulated drive's disc.
//
// The image writer produces the blocks on an engine thread of its own, which
// holds the compilation's lock while it lays out and streams the image. The
// blocks travel through a bounded pipe to the caller's thread, which writes
// them to the target at the drive's pace and reports progress. So every
// progress callback runs on the caller's thread with no engine lock held,
// and an abort is seen after at most one piece of the pipe.
#ifndef VORN_ENGINE_BURN_H
#define VORN_ENGINE_BURN_H

#include "VornAPI.h"

#include <cstddef>
#include <string>

namespace vorn::engine::burn {

// Bytes of one piece of the pipe: the most an abort lets through.
inline constexpr std::size_t kPieceBytes = 256 * 1024;
// Pieces the pipe holds: the writer's buffer.
inline constexpr std::size_t kPipePieces = 16;

// The file the image recorder writes next; "" when none is set. Until the
// engine asks the user for it, the control interface sets it.
void setImageFileName(const std::string &path);
std::string imageFileName();

int burn(VornDevice *device, int formatCode, const VornWriteDescription *description,
         std::uint32_t flags, std::int32_t speedKBs, void *reserved);

}  // namespace vorn::engine::burn

#endif
