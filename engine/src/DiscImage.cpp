#include "DiscImage.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

namespace vorn::engine {

namespace {

bool hasCueExtension(const std::filesystem::path &path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return ext == ".cue";
}

bool readAt(const std::filesystem::path &path, std::uint64_t offset, std::uint8_t *out,
            std::size_t size)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, out + done, size - done, off_t(offset + done));
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    ::close(fd);
    std::fill(out + done, out + size, 0);
    return true;
}

// A plain image is recognised by the descriptors every ISO 9660 or UDF
// volume keeps from block 16 on.
bool looksLikeVolume(const std::filesystem::path &path, std::uint64_t blocks)
{
    if (blocks <= 17)
        return false;
    std::vector<std::uint8_t> vd(2048 * 4);
    if (!readAt(path, 16 * 2048, vd.data(), vd.size()))
        return false;
    for (std::size_t b = 0; b < 4; ++b) {
        const std::uint8_t *id = vd.data() + b * 2048 + 1;
        for (const char *magic : {"CD001", "BEA01", "NSR02", "NSR03"})
            if (std::memcmp(id, magic, 5) == 0)
                return true;
    }
    return false;
}

}  // namespace

std::uint32_t mediumForImageSize(std::uint64_t blocks)
{
    for (std::uint32_t medium : {vrn::medium::CdRom, vrn::medium::DvdRom, vrn::medium::BdRom})
        if (blocks <= vrn::medium::nominalCapacity(medium))
            return medium;
    // Double-layer DVD and BD take the pressed value of their family.
    if (blocks <= vrn::medium::nominalCapacity(vrn::medium::DvdPlusRDl))
        return vrn::medium::DvdRom;
    return vrn::medium::BdRom;
}

vrn::Result<std::unique_ptr<DiscImage>> DiscImage::open(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return vrn::Error{"the image " + path.string() + " is not a readable file."};
    std::unique_ptr<DiscImage> image(new DiscImage);
    image->path_ = path;
    DiscView &v = image->view_;

    std::uint8_t magic[8] = {};
    if (!readAt(path, 0, magic, sizeof magic))
        return vrn::Error{"the image " + path.string() + " cannot be read."};

    if (std::memcmp(magic, "VORNDISC", 8) == 0) {
        auto disc = vrn::VrnDisc::open(path, vrn::VrnDisc::Access::ReadOnly);
        if (!disc)
            return vrn::Error{disc.error()};
        image->disc_.emplace(std::move(disc).value());
        v = viewOf(*image->disc_, false);
        image->flags_ = kImageContainer | kImageBurnable;
        return image;
    }

    if (hasCueExtension(path)) {
        auto sheet = parseCueSheet(path);
        if (!sheet)
            return vrn::Error{path.filename().string() + ", " + sheet.error()};
        image->cue_.emplace(std::move(sheet).value());
        image->placed_ = placeCueSheet(*image->cue_, 0, true);
        v.medium = vrn::medium::CdRom;
        v.state = vrn::DiscState::Closed;
        v.mcn = image->cue_->catalog;
        v.cdText = image->cue_->cdText;
        std::uint32_t end = 0;
        for (std::size_t i = 0; i < image->placed_.size(); ++i) {
            vrn::Track t;
            static_cast<vrn::TrackSpec &>(t) = image->placed_[i].trackSpec;
            t.number = static_cast<std::uint32_t>(i + 1);
            t.session = 1;
            end = t.end();
            v.tracks.push_back(std::move(t));
        }
        v.sessions.push_back({1, 1, static_cast<std::uint32_t>(v.tracks.size()), true});
        v.capacity = std::max(end, vrn::medium::nominalCapacity(v.medium));
        image->flags_ = kImageCueSheet | kImageBurnable;
    } else {
        auto size = std::filesystem::file_size(path, ec);
        if (ec)
            return vrn::Error{"the image " + path.string() + " cannot be read."};
        if (size % 2048 != 0)
            return vrn::Error{path.filename().string() +
                              " is not a disc image: its size is not a whole number of "
                              "2048-byte sectors."};
        std::uint64_t blocks = size / 2048;
        if (blocks > 0xFFFFFFF0u || !looksLikeVolume(path, blocks))
            return vrn::Error{path.filename().string() +
                              " is not a disc image: it holds no ISO 9660 or UDF volume."};
        v.medium = mediumForImageSize(blocks);
        v.capacity = static_cast<std::uint32_t>(blocks);
        v.state = vrn::DiscState::Closed;
        vrn::Track t;
        t.type = vrn::TrackType::Data;
        t.mode = vrn::TrackMode::Mode1;
        t.blockSize = 2048;
        t.start = 0;
        t.length = static_cast<std::uint32_t>(blocks);
        t.pregap = vrn::medium::isCd(v.medium) ? 150 : 0;
        t.number = 1;
        t.session = 1;
        v.tracks.push_back(t);
        v.sessions.push_back({1, 1, 1, true});
        image->flags_ = kImagePlainIso | kImageBurnable;
    }

    DiscImage *self = image.get();
    v.readUserData = [self](std::size_t index, std::uint32_t first, std::uint32_t count,
                            std::vector<std::uint8_t> &out) {
        const auto &track = self->view_.tracks[index];
        std::vector<std::uint8_t> raw;
        if (!self->readTrackBlocks(index, first, count, raw))
            return false;
        out.resize(std::size_t(count) * 2048);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto user = userData(
                std::span<const std::uint8_t>(raw.data() + std::size_t(i) * track.blockSize,
                                              track.blockSize),
                track.blockSize, track.mode);
            std::copy(user.begin(), user.end(), out.begin() + std::ptrdiff_t(i) * 2048);
        }
        return true;
    };
    return image;
}

bool DiscImage::readTrackBlocks(std::size_t index, std::uint32_t first, std::uint32_t count,
                                std::vector<std::uint8_t> &out) const
{
    if (index >= view_.tracks.size())
        return false;
    const auto &track = view_.tracks[index];
    if (std::uint64_t(first) + count > track.length)
        return false;
    if (disc_) {
        out.resize(std::size_t(count) * track.blockSize);
        return disc_->readTrackBlocks(index, first, out).ok();
    }
    if (cue_)
        return readCueTrackBlocks(*cue_, placed_[index].cueTrack, first, count, out);
    out.resize(std::size_t(count) * 2048);
    return readAt(path_, (std::uint64_t(track.start) + first) * 2048, out.data(), out.size());
}

}  // namespace vorn::engine
