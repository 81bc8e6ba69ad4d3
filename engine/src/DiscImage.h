// A disc image file opened for reading: a .vrn container, a plain .iso of
// 2048-byte sectors or a cue sheet with its files. Each is seen as a disc
// (DiscView), so that image information, export and the vorn-disc tool read
// images and emulated discs alike.
#ifndef VORN_ENGINE_DISCIMAGE_H
#define VORN_ENGINE_DISCIMAGE_H

#include "CueSheet.h"
#include "DiscInfo.h"
#include "VrnDisc.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace vorn::engine {

// Bits of the image information's flag word (record word 2).
inline constexpr std::uint32_t kImageCueSheet = 0x1;
inline constexpr std::uint32_t kImageBurnable = 0x2;  // can be burned as it is
inline constexpr std::uint32_t kImageContainer = 0x4;
inline constexpr std::uint32_t kImagePlainIso = 0x8;

class DiscImage {
public:
    // Recognises the image by its contents (a container's magic, ISO 9660 or
    // UDF descriptors) and, for cue sheets, by the ".cue" extension. The
    // error says what is wrong with a file that is not an image.
    static vrn::Result<std::unique_ptr<DiscImage>> open(const std::filesystem::path &path);

    DiscImage(const DiscImage &) = delete;
    DiscImage &operator=(const DiscImage &) = delete;

    const DiscView &view() const { return view_; }
    std::uint32_t imageFlags() const { return flags_; }
    // The container, for .vrn images.
    const vrn::VrnDisc *container() const { return disc_ ? &*disc_ : nullptr; }
    // The sheet, for cue sheets.
    const CueSheet *cueSheet() const { return cue_ ? &*cue_ : nullptr; }
    // Reads whole blocks of a track in its block size, `first` from its start.
    bool readTrackBlocks(std::size_t index, std::uint32_t first, std::uint32_t count,
                         std::vector<std::uint8_t> &out) const;

private:
    DiscImage() = default;

    DiscView view_;
    std::uint32_t flags_ = 0;
    std::filesystem::path path_;
    std::optional<vrn::VrnDisc> disc_;
    std::optional<CueSheet> cue_;
    std::vector<PlacedTrack> placed_;
};

// The medium value a plain image of `blocks` 2048-byte blocks is taken for:
// the smallest pressed medium it fits.
std::uint32_t mediumForImageSize(std::uint64_t blocks);

}  // namespace vorn::engine

#endif
