#include "iso/ElTorito.h"

#include "iso/Encoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vorn::engine::iso {

namespace {

constexpr std::size_t kSectorBytes = 512;

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The size of the boot image: a regular file's size; for a drive, the size of
// the floppy the emulation type names, or what the device reports.
bool imageBytes(const std::string &path, int emulation, std::uint64_t &bytes, std::string &error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "The boot image \"" + path + "\" cannot be read: " + std::strerror(errno) + ".";
        return false;
    }
    if (S_ISREG(st.st_mode)) {
        bytes = static_cast<std::uint64_t>(st.st_size);
        return true;
    }
    if (!S_ISBLK(st.st_mode)) {
        error = "The boot image \"" + path + "\" is neither a file nor a drive.";
        return false;
    }
    if (emulation >= 1 && emulation <= 3) {
        bytes = floppyImageBytes(emulation);
        return true;
    }
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    const off_t end = f.fd >= 0 ? ::lseek(f.fd, 0, SEEK_END) : -1;
    if (end < 0) {
        error = "The boot drive \"" + path + "\" cannot be read: " + std::strerror(errno) + ".";
        return false;
    }
    bytes = static_cast<std::uint64_t>(end);
    return true;
}

bool readHead(const std::string &path, std::array<std::uint8_t, kSectorBytes> &head, std::string &error)
{
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    std::size_t got = 0;
    while (f.fd >= 0 && got < head.size()) {
        const ssize_t n = ::read(f.fd, head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < head.size()) {
        error = "The boot image \"" + path + "\" cannot be read.";
        return false;
    }
    return true;
}

}  // namespace

std::uint64_t floppyImageBytes(int emulation)
{
    switch (emulation) {
    case 1:
        return 1200 * 1024;
    case 2:
        return 1440 * 1024;
    case 3:
        return 2880 * 1024;
    default:
        return 0;
    }
}

bool wantsBootRecord(const data::Settings &s)
{
    return s.bootable != 0 && !s.bootImage.empty();
}

std::uint64_t bootBlocks(const data::Settings &s) noexcept
{
    if (!wantsBootRecord(s))
        return 0;
    try {
        std::uint64_t bytes = 0;
        std::string error;
        if (!imageBytes(s.bootImage, s.bootEmulation, bytes, error))
            return 1;
        return 1 + data::blocksFor(bytes);
    } catch (...) {
        return 1;
    }
}

bool inspectBootImage(const data::Settings &s, BootImage &out, std::string &error)
{
    if (s.bootImage.empty()) {
        error = "No boot image was chosen for the bootable disc.";
        return false;
    }
    out = BootImage{};
    out.path = s.bootImage;
    out.mediaType = static_cast<std::uint8_t>(s.bootEmulation);
    out.loadSegment = s.bootSegment;
    out.sectorCount = s.bootSectors;
    out.message = s.bootMessage;
    if (!imageBytes(out.path, s.bootEmulation, out.bytes, error))
        return false;
    if (out.bytes == 0) {
        error = "The boot image \"" + out.path + "\" is empty.";
        return false;
    }
    if (const std::uint64_t floppy = floppyImageBytes(s.bootEmulation); floppy && out.bytes != floppy) {
        static const char *const kNames[] = {"", "1.2 MB", "1.44 MB", "2.88 MB"};
        error = "The boot image \"" + out.path + "\" holds " + std::to_string(out.bytes) + " bytes, but a " +
                kNames[s.bootEmulation] + " floppy image holds exactly " + std::to_string(floppy) + " bytes.";
        return false;
    }
    if (s.bootEmulation == 4) {
        // Firmware boots the one partition of an emulated hard disk: its
        // table must be there and name exactly one.
        std::array<std::uint8_t, kSectorBytes> mbr{};
        if (!readHead(out.path, mbr, error))
            return false;
        int partitions = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t type = mbr[446 + 16 * i + 4];
            if (type != 0) {
                ++partitions;
                out.systemType = type;
            }
        }
        if (mbr[510] != 0x55 || mbr[511] != 0xAA || partitions != 1) {
            error = "The hard-disk boot image \"" + out.path +
                    "\" must start with a partition table holding exactly one partition.";
            return false;
        }
    }
    return true;
}

void putBootRecord(std::uint8_t *p, std::uint32_t catalogLba)
{
    std::memset(p, 0, data::kBlockBytes);
    p[0] = 0;
    std::memcpy(p + 1, "CD001", 5);
    p[6] = 1;
    static const char kSystem[] = "EL TORITO SPECIFICATION";
    std::memcpy(p + 7, kSystem, sizeof kSystem - 1);  // the rest of the 32 bytes stays zero
    put32le(p + 71, catalogLba);
}

void putBootCatalog(std::uint8_t *p, const BootImage &image, std::uint32_t imageLba)
{
    std::memset(p, 0, data::kBlockBytes);
    // Validation entry: x86, the message as its identification text, a
    // checksum that makes its sixteen words add up to zero, the key bytes.
    p[0] = 1;
    p[1] = 0;
    for (std::size_t i = 0; i < 24 && i < image.message.size(); ++i) {
        const auto c = static_cast<unsigned char>(image.message[i]);
        p[4 + i] = c >= 0x20 && c < 0x7F ? c : '_';
    }
    p[30] = 0x55;
    p[31] = 0xAA;
    std::uint32_t sum = 0;
    for (int i = 0; i < 32; i += 2)
        sum += static_cast<std::uint32_t>(p[i] | (p[i + 1] << 8));
    put16le(p + 28, (0x10000 - (sum & 0xFFFF)) & 0xFFFF);

    // The default entry.
    std::uint8_t *e = p + 32;
    e[0] = 0x88;  // bootable
    e[1] = image.mediaType;
    put16le(e + 2, image.loadSegment);
    e[4] = image.systemType;
    put16le(e + 6, image.sectorCount);
    put32le(e + 8, imageLba);
}

bool copyBootImage(const BootImage &image,
                   const std::function<void(const std::uint8_t *, std::size_t)> &append, std::string &error)
{
    Fd f{::open(image.path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0) {
        error = "The boot image \"" + image.path + "\" cannot be read: " + std::strerror(errno) + ".";
        return false;
    }
    struct stat st {};
    if (::fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) != image.bytes) {
        error = "The boot image \"" + image.path + "\" changed while the image was written.";
        return false;
    }
    std::vector<std::uint8_t> buf(1 << 20);
    std::uint64_t left = image.bytes;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buf.size()));
        const ssize_t n = ::read(f.fd, buf.data(), want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "The boot image \"" + image.path + "\" changed while the image was written.";
            return false;
        }
        append(buf.data(), static_cast<std::size_t>(n));
        left -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace vorn::engine::iso
