// The disc and image reading calls of VornAPI.h. The engine lock is held only
// to find the disc in the tray; the container is then opened again read-only
// and read without the lock, so a slow read never stalls other callers.
#include "DiscImage.h"
#include "DiscInfo.h"
#include "Engine.h"
#include "Guarded.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <map>

using vorn::engine::DiscView;
using vorn::engine::Engine;
using vorn::engine::engineString;
using vorn::engine::guarded;

namespace {

enum class Lookup { BadHandle, NoDisc, Disc };

struct TrayLookup {
    Lookup what = Lookup::BadHandle;
    std::filesystem::path path;
    bool driveWrites = false;
};

// Finds the disc a handle's drive holds, ready to be read.
TrayLookup trayDisc(VornDevice *device, bool consumeFailure)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    TrayLookup out;
    auto drive = e.driveOf(device);
    if (!drive)
        return out;
    out.what = Lookup::NoDisc;
    if (consumeFailure && e.takeFailure(VORN_CONTROL_CALL_DISC_INFO))
        return out;
    if (drive->imageRecorder || !drive->disc || e.readiness(*drive) != VORN_READY)
        return out;
    out.what = Lookup::Disc;
    out.path = drive->disc->path;
    std::uint32_t medium = drive->disc->container.mediumType();
    out.driveWrites = (drive->writeMedia & medium) == medium &&
                      (drive->capabilities & VORN_CAP_WRITE) != 0 &&
                      drive->disc->container.writable();
    return out;
}

struct OpenDisc {
    vorn::vrn::VrnDisc disc;
    DiscView view;
};

std::unique_ptr<OpenDisc> readDisc(const TrayLookup &found)
{
    if (found.what != Lookup::Disc)
        return nullptr;
    auto opened = vorn::vrn::VrnDisc::open(found.path, vorn::vrn::VrnDisc::Access::ReadOnly);
    if (!opened)
        return nullptr;
    auto out = std::make_unique<OpenDisc>(OpenDisc{std::move(opened).value(), {}});
    out->view = vorn::engine::viewOf(out->disc, found.driveWrites);
    return out;
}

template <class T>
T *copyRecord(const std::vector<std::uint8_t> &bytes)
{
    auto *out = static_cast<T *>(std::malloc(bytes.size()));
    if (out)
        std::memcpy(out, bytes.data(), bytes.size());
    return out;
}

// Hashing a whole disc takes a while; the digest is kept while the file is
// unchanged (its modification time moves with every block written, the
// generation with every table change).
struct StampKey {
    std::int64_t mtimeNs = 0, size = 0, inode = 0;
    std::uint64_t generation = 0;
    bool operator==(const StampKey &) const = default;
};
std::mutex stampMu;
std::map<std::string, std::pair<StampKey, std::string>> stampCache;

std::optional<StampKey> stampKey(const OpenDisc &d)
{
    struct stat st {};
    if (::stat(d.disc.path().c_str(), &st) != 0)
        return std::nullopt;
    return StampKey{std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                    std::int64_t(st.st_size), std::int64_t(st.st_ino), d.disc.generation()};
}

char *textOf(VornDevice *device, std::string (*make)(const DiscView &))
{
    auto found = trayDisc(device, false);
    if (found.what == Lookup::BadHandle)
        return nullptr;
    auto d = readDisc(found);
    return engineString(d ? make(d->view) : std::string());
}

}  // namespace

extern "C" {

VORN_EXPORT VornDiscInfo *VornGetCDInfo(VornDevice *device, int flags)
{
    return guarded<VornDiscInfo *>(nullptr, [&]() -> VornDiscInfo * {
        if (flags & ~(VORN_CDINFO_READ_CDTEXT | VORN_CDINFO_DETECT_FILESYSTEMS))
            return nullptr;
        auto d = readDisc(trayDisc(device, true));
        if (!d)
            return nullptr;
        return copyRecord<VornDiscInfo>(vorn::engine::discRecord(d->view, flags));
    });
}

VORN_EXPORT VornVMSInfo *VornGetVMSInfo(VornDevice *device, int reserved)
{
    return guarded<VornVMSInfo *>(nullptr, [&]() -> VornVMSInfo * {
        if (reserved != 0)
            return nullptr;
        auto d = readDisc(trayDisc(device, false));
        if (!d)
            return nullptr;
        auto info = vorn::engine::multisessionInfo(d->view);
        if (!info)
            return nullptr;
        auto *out = static_cast<VornVMSInfo *>(std::calloc(1, sizeof(VornVMSInfo)));
        if (!out)
            return nullptr;
        out->usedBlocks = info->usedBlocks;
        out->nextSession = info->nextSession;
        out->nextTrackStart = info->nextTrackStart;
        out->lastSessionStart = info->lastSessionStart;
        return out;
    });
}

VORN_EXPORT char *VornGetCDStampHash(VornDevice *device)
{
    return guarded<char *>(nullptr, [&]() -> char * {
        auto found = trayDisc(device, false);
        if (found.what == Lookup::BadHandle)
            return nullptr;
        auto d = readDisc(found);
        if (!d)
            return engineString("");
        auto key = stampKey(*d);
        if (key) {
            std::lock_guard lock(stampMu);
            auto it = stampCache.find(found.path.string());
            if (it != stampCache.end() && it->second.first == *key)
                return engineString(it->second.second);
        }
        std::string digest = vorn::engine::stampHash(d->view, d->disc);
        if (key) {
            std::lock_guard lock(stampMu);
            stampCache[found.path.string()] = {*key, digest};
        }
        return engineString(digest);
    });
}

VORN_EXPORT int VornGetNumTracks(VornDevice *device)
{
    return guarded(0, [&] {
        auto d = readDisc(trayDisc(device, false));
        return d && !d->view.tracks.empty() ? static_cast<int>(d->view.tracks.back().number) : 0;
    });
}

VORN_EXPORT char *VornGetMediaCatalogNr(VornDevice *device)
{
    return guarded<char *>(nullptr, [&] {
        return textOf(device, [](const DiscView &v) { return v.mcn; });
    });
}

VORN_EXPORT char *VornGetDetailedDiscInfo(VornDevice *device)
{
    return guarded<char *>(nullptr, [&] { return textOf(device, &vorn::engine::detailedDiscInfo); });
}

VORN_EXPORT char *VornGetVolumeDescriptorInfo(VornDevice *device)
{
    return guarded<char *>(nullptr,
                           [&] { return textOf(device, &vorn::engine::volumeDescriptorInfo); });
}

VORN_EXPORT char *VornGetDiscManufacturer(VornDevice *device)
{
    return guarded<char *>(nullptr, [&] {
        // Recordable media carry their maker in the pre-groove; an emulated
        // disc names the emulation. Pressed discs have none.
        return textOf(device, [](const DiscView &v) {
            return vorn::vrn::medium::isRom(v.medium) ? std::string()
                                                      : std::string("VORN emulated media");
        });
    });
}

VORN_EXPORT VornDiscInfo *VornGetDiscImageInfo(const char *path, int reserved)
{
    return guarded<VornDiscInfo *>(nullptr, [&]() -> VornDiscInfo * {
        if (!path || reserved != 0)
            return nullptr;
        auto image = vorn::engine::DiscImage::open(path);
        if (!image) {
            auto &e = Engine::instance();
            std::lock_guard lock(e.mu);
            e.errorLog.clear();
            e.logError(e.messages.get(vorn::engine::msg::kImageUnreadable, {image.error()}));
            return nullptr;
        }
        auto bytes = vorn::engine::discRecord(
            image.value()->view(), VORN_CDINFO_READ_CDTEXT | VORN_CDINFO_DETECT_FILESYSTEMS);
        VornDiscInfo head;
        std::memcpy(&head, bytes.data(), sizeof head);
        head.state = static_cast<std::int32_t>(image.value()->imageFlags());
        head.freeBlocks = 0;
        head.writable = 0;
        std::memcpy(bytes.data(), &head, sizeof head);
        return copyRecord<VornDiscInfo>(bytes);
    });
}

}  // extern "C"
