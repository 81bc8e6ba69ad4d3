// Making emulated discs from images, and images from emulated discs: what
// the vorn-disc tool does, kept beside the engine so that it shares the
// engine's cue sheet reader and disc layout.
#ifndef VORN_ENGINE_DISCEXPORT_H
#define VORN_ENGINE_DISCEXPORT_H

#include "VrnDisc.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace vorn::engine {

struct MakeOptions {
    std::uint32_t medium = 0;  // 0: CD-R, or the first recordable medium the data fits
    bool finalize = false;     // close the disc after the last session
    bool replace = false;      // overwrite an existing disc file
};

// Writes a disc container at `out` from `sources`: one .vrn container (copied
// track by track), or a sequence of sessions each made of one cue sheet or
// one plain image of 2048-byte sectors. Every session is closed. A later
// plain image must have been made for the address the disc gives its
// session (the start that `vorn-disc toc` prints). The disc is built under a
// temporary name and renamed into place; on failure nothing is left behind.
vrn::Status makeDisc(const std::filesystem::path &out,
                     const std::vector<std::filesystem::path> &sources, const MakeOptions &options);

// Writes the data tracks of a disc as one plain image: every track at its own
// block address, and, when the newest data session starts later, that
// session's volume descriptors copied to block 16 with their volume space
// size set to the session's end, as an image grown in place looks. Refused
// for a disc without data tracks.
vrn::Status exportIso(const vrn::VrnDisc &disc, const std::filesystem::path &out);

// Writes the audio tracks as a cue sheet at `cue` and their samples, raw
// little-endian CD audio, in a .bin file of the same name beside it. Gaps
// between consecutive audio tracks go into the file as INDEX 00; a gap after
// a data track becomes a PREGAP of silence. Refused for a disc without audio.
vrn::Status exportAudio(const vrn::VrnDisc &disc, const std::filesystem::path &cue);

}  // namespace vorn::engine

#endif
