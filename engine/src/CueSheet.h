// Cue sheets: the text that describes a CD as tracks in BINARY, MOTOROLA or
// WAVE files. The parser reads the sheet and looks at every file it names
// (existence, size, the WAVE header), so that a sheet it accepts can be laid
// out and burned; anything it cannot honour is refused with the line number.
#ifndef VORN_ENGINE_CUESHEET_H
#define VORN_ENGINE_CUESHEET_H

#include "VrnDisc.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorn::engine {

struct CueFile {
    enum class Kind { Binary, Motorola, Wave };
    std::filesystem::path path;  // resolved against the sheet's folder
    Kind kind = Kind::Binary;
    std::uint64_t dataOffset = 0;  // where the samples or sectors begin
    std::uint64_t dataBytes = 0;
};

struct CueTrack {
    std::uint32_t number = 0;
    vrn::TrackType type = vrn::TrackType::Audio;
    vrn::TrackMode mode = vrn::TrackMode::Audio;
    std::uint32_t blockSize = 2352;
    std::size_t file = 0;                  // index into CueSheet::files
    std::optional<std::uint32_t> index0;   // blocks from the start of the file
    std::uint32_t index1 = 0;
    bool hasIndex1 = false;                // the sheet gave INDEX 01
    std::uint32_t end = 0;                 // first block of the file past the track
    std::uint32_t pregapSilence = 0;       // PREGAP: blocks not in the file
    std::uint32_t postgapSilence = 0;      // POSTGAP
    std::string isrc;
    vrn::CdText cdText;
    std::uint32_t flags = 0;               // vrn::kTrack* bits
    int line = 0;

    // Blocks of the file before INDEX 01 that belong to the track.
    std::uint32_t pregapInFile() const { return index0 ? index1 - *index0 : 0; }
    std::uint32_t pregap() const { return pregapInFile() + pregapSilence; }
    std::uint32_t length() const { return end - index1 + postgapSilence; }
};

struct CueSheet {
    std::string catalog;  // "" or 13 digits
    vrn::CdText cdText;
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
};

// Reads and checks a sheet and the files it names. The error names the
// sheet's line ("line 7: ...") or the file that is wrong.
vrn::Result<CueSheet> parseCueSheet(const std::filesystem::path &sheet);
// The same for a sheet held in memory, with files resolved against `folder`.
vrn::Result<CueSheet> parseCueSheetText(const std::string &text,
                                        const std::filesystem::path &folder);

// A track of the sheet placed on a disc.
struct PlacedTrack {
    std::size_t cueTrack = 0;  // index into CueSheet::tracks
    vrn::TrackSpec trackSpec;
};

// Lays the sheet's tracks out as one session whose first pregap begins at
// `firstBlock`. On the disc's first session (`firstOnDisc`) the first track
// starts at block 0 when its pregap fits in the 150 blocks before it.
std::vector<PlacedTrack> placeCueSheet(const CueSheet &sheet, std::uint32_t firstBlock,
                                       bool firstOnDisc);

// Reads `count` blocks of a track of the sheet, `first` counted from its
// start and possibly negative (the pregap), in the track's block size with
// audio as little-endian samples. Blocks outside the file read as zeros.
bool readCueTrackBlocks(const CueSheet &sheet, std::size_t track, std::int64_t first,
                        std::uint32_t count, std::vector<std::uint8_t> &out);

}  // namespace vorn::engine

#endif
