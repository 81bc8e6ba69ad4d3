// What is on a disc, read the same way whether the disc sits in an emulated
// drive or is an image file: the table of contents, the file systems each
// data track carries, the FreeDB disc id, the stamp hash and the texts of the
// disc information dialog. The disc and image calls of the C interface and
// the vorn-disc tool are thin layers over this.
#ifndef VORN_ENGINE_DISCINFO_H
#define VORN_ENGINE_DISCINFO_H

#include "VornAPI.h"
#include "VrnDisc.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorn::engine {

// Reads `count` blocks of user data (2048 bytes each) of data track `index`
// (an index into DiscView::tracks), `first` counted from the track's start.
// Returns false when the blocks cannot be read.
using UserDataReader =
    std::function<bool(std::size_t index, std::uint32_t first, std::uint32_t count,
                       std::vector<std::uint8_t> &out)>;

// A disc or image as the information calls see it.
struct DiscView {
    std::uint32_t medium = 0;
    std::uint32_t capacity = 0;
    vrn::DiscState state = vrn::DiscState::Blank;
    std::uint32_t bookType = 0;
    std::string mcn;
    vrn::CdText cdText;
    std::vector<vrn::Session> sessions;
    std::vector<vrn::Track> tracks;
    std::uint32_t freeBlocks = 0;
    bool writable = false;                  // this drive can add to this disc
    std::optional<std::uint32_t> nextWritable;  // where the next track's pregap may begin
    UserDataReader readUserData;            // may be empty: nothing is detected
};

// The view of a container. `driveWrites` says whether the drive holding it
// writes its medium and may write the file (an image file: false).
DiscView viewOf(const vrn::VrnDisc &disc, bool driveWrites);

// The 2048 user bytes of one block of a data track stored in `blockSize`
// bytes (2048, 2336 or 2352) in `mode`.
std::span<const std::uint8_t> userData(std::span<const std::uint8_t> block, std::uint32_t blockSize,
                                       vrn::TrackMode mode);

// VORN_FS_* bits found in the data of track `index`; the mode bits come from
// the table of contents. Audio tracks give 0.
std::uint32_t detectFileSystems(const DiscView &view, std::size_t index);

// The CDDB disc id of the table of contents: the digit sums of each track's
// start in seconds (150 frames of lead-in added), modulo 255, in the top
// byte; the playing time from the first track to the lead-out in seconds in
// the middle two bytes; the track count in the low byte. 0 without tracks.
std::uint32_t freedbDiscId(std::span<const vrn::Track> tracks);

// The disc information record: a VornDiscInfo followed by one VornTrackInfo
// per track (at most VORN_MAX_TRACKS). `flags` are VORN_CDINFO_* bits.
std::vector<std::uint8_t> discRecord(const DiscView &view, int flags);

// The multisession information of a disc with tracks (nullopt for a blank
// disc): the blocks in use up to where the next session may start, and the
// number that session would get (0 when the disc takes no more).
struct MultisessionInfo {
    std::uint32_t usedBlocks = 0;
    std::int32_t nextSession = 0;
    std::uint32_t nextTrackStart = 0;    // where its first track would start
    std::uint32_t lastSessionStart = 0;  // start of the newest session's first track
};
std::optional<MultisessionInfo> multisessionInfo(const DiscView &view);

// The start block the first track of a new session gets on this disc: the
// next writable address plus the pregap a CD track begins with.
std::optional<std::uint32_t> nextTrackStart(const DiscView &view);

// A hex digest of the table of contents and of every block of every track:
// equal for two discs holding the same tracks and data whatever the medium or
// the file, different after any write. Empty for a blank disc.
std::string stampHash(const DiscView &view, const vrn::VrnDisc &disc);

// The texts of the disc information dialog's expert views, one fact a line.
std::string detailedDiscInfo(const DiscView &view);
std::string volumeDescriptorInfo(const DiscView &view);

}  // namespace vorn::engine

#endif
