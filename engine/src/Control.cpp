// The test control interface (VornControl.h).
#include "Engine.h"
#include "Guarded.h"
#include "Media.h"

#include <algorithm>
#include <cstring>

using vorn::engine::Clock;
using vorn::engine::Drive;
using vorn::engine::Engine;
using vorn::engine::guarded;

namespace {

int copyRecord(const std::vector<vorn::engine::RecordedOption> &list, int index,
               VornControlOption *out)
{
    if (!out || index < 0 || static_cast<std::size_t>(index) >= list.size())
        return 0;
    *out = list[static_cast<std::size_t>(index)].record;
    return 1;
}

}  // namespace

extern "C" {

VORN_EXPORT void VornControl_SetInitResult(int result)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    if (result < 0)
        e.forcedInitResult.reset();
    else
        e.forcedInitResult = result;
}

VORN_EXPORT int VornControl_GetOptionCount(void)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    return static_cast<int>(e.recordedOptions.size());
}

VORN_EXPORT int VornControl_GetOption(int index, VornControlOption *out)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    return copyRecord(e.recordedOptions, index, out);
}

VORN_EXPORT int VornControl_GetDeviceOptionCount(void)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    return static_cast<int>(e.recordedDeviceOptions.size());
}

VORN_EXPORT int VornControl_GetDeviceOption(int index, VornControlOption *out)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    return copyRecord(e.recordedDeviceOptions, index, out);
}

VORN_EXPORT void VornControl_ClearRecordedOptions(void)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    e.recordedOptions.clear();
    e.recordedDeviceOptions.clear();
}

VORN_EXPORT int VornControl_GetDeviceOptionValue(int hostAdapter, int deviceId, int id,
                                                 int32_t *value)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    auto drive = e.findDrive(hostAdapter, deviceId);
    if (!drive || !value)
        return 0;
    auto it = drive->deviceOptions.find(id);
    if (it == drive->deviceOptions.end())
        return 0;
    *value = it->second;
    return 1;
}

VORN_EXPORT int VornControl_AddDrive(const VornControlDrive *desc, int *hostAdapter, int *deviceId)
{
    return guarded(0, [&] {
        if (!desc || !desc->name || !*desc->name || std::strlen(desc->name) > 63 ||
            (desc->type != VORN_DEVICE_TYPE_RECORDER && desc->type != VORN_DEVICE_TYPE_READER))
            return 0;
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!e.running)
            return 0;
        auto drive = std::make_shared<Drive>();
        drive->hostAdapter = 2;
        drive->deviceId = e.allocateControlAddress();
        drive->name = desc->name;
        drive->type = desc->type;
        drive->writeMedia = desc->type == VORN_DEVICE_TYPE_RECORDER ? desc->writeMedia : 0;
        drive->readMedia = desc->readMedia | drive->writeMedia;
        drive->capabilities =
            desc->capabilities | vorn::engine::doubleLayerCapabilities(drive->writeMedia);
        drive->vendor = "VORN";
        drive->product = "Emulated drive";
        drive->revision = "1.0";
        // Before the image recorder, which stays last.
        auto pos = std::find_if(e.drives.begin(), e.drives.end(),
                                [](const auto &d) { return d->imageRecorder; });
        e.drives.insert(pos, drive);
        if (hostAdapter)
            *hostAdapter = drive->hostAdapter;
        if (deviceId)
            *deviceId = drive->deviceId;
        e.postChange();
        return 1;
    });
}

VORN_EXPORT int VornControl_RemoveDrive(int hostAdapter, int deviceId)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.findDrive(hostAdapter, deviceId);
        if (!drive || drive->imageRecorder)
            return 0;
        drive->present = false;
        if (!drive->group.empty())
            e.forgetGroup(drive->group);
        e.drives.erase(std::find(e.drives.begin(), e.drives.end(), drive));
        e.postChange();
        return 1;
    });
}

VORN_EXPORT int VornControl_RenameDrive(int hostAdapter, int deviceId, const char *name)
{
    return guarded(0, [&] {
        if (!name || !*name || std::strlen(name) > 63)
            return 0;
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.findDrive(hostAdapter, deviceId);
        if (!drive)
            return 0;
        drive->name = name;
        e.postChange();
        return 1;
    });
}

VORN_EXPORT int VornControl_RescanDrivesFile(void)
{
    return guarded(0, [] { return Engine::instance().requestRescan() ? 1 : 0; });
}

VORN_EXPORT char *VornControl_GetDrivesFileError(void)
{
    return guarded<char *>(nullptr, [] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        return vorn::engine::engineString(e.drivesFileError);
    });
}

VORN_EXPORT int VornControl_WaitCallbacksDelivered(int timeoutMs)
{
    return guarded(0, [&] {
        return Engine::instance().waitDelivered(std::chrono::milliseconds(timeoutMs)) ? 1 : 0;
    });
}

VORN_EXPORT int VornControl_InsertDisc(int hostAdapter, int deviceId, const char *path)
{
    return guarded(0, [&] {
        if (!path)
            return 0;
        // Opened before locking: reading a container is file work.
        auto opened = vorn::engine::openTrayDisc(path);
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!opened) {
            e.logError(opened.error());
            return 0;
        }
        auto drive = e.findDrive(hostAdapter, deviceId);
        if (!drive || drive->imageRecorder || drive->disc)
            return 0;
        drive->disc = std::move(opened).value();
        drive->trayOpen = false;
        drive->spinUpSince = Clock::now();
        e.postStatus(*drive, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
        return 1;
    });
}

VORN_EXPORT int VornControl_RemoveDisc(int hostAdapter, int deviceId)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.findDrive(hostAdapter, deviceId);
        if (!drive || drive->imageRecorder)
            return 0;
        bool changed = drive->disc || drive->trayOpen;
        drive->disc.reset();
        drive->trayOpen = false;
        drive->spinUpSince.reset();
        if (changed)
            e.postStatus(*drive, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
        return 1;
    });
}

VORN_EXPORT int VornControl_SwapDiscs(int hostAdapter1, int deviceId1, int hostAdapter2,
                                      int deviceId2)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto a = e.findDrive(hostAdapter1, deviceId1);
        auto b = e.findDrive(hostAdapter2, deviceId2);
        if (!a || !b || a == b || a->imageRecorder || b->imageRecorder)
            return 0;
        std::swap(a->disc, b->disc);
        for (const auto &d : {a, b}) {
            d->trayOpen = false;
            d->spinUpSince = Clock::now();
            e.postStatus(*d, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
        }
        return 1;
    });
}

VORN_EXPORT int VornControl_SetDriveBusy(int hostAdapter, int deviceId, int busy)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.findDrive(hostAdapter, deviceId);
        if (!drive || drive->imageRecorder)
            return 0;
        if (drive->busy != (busy != 0)) {
            drive->busy = busy != 0;
            e.postStatus(*drive, busy ? VORN_DRIVE_STATUS_IN_USE : VORN_DRIVE_STATUS_FREE);
        }
        return 1;
    });
}

VORN_EXPORT int VornControl_GetOpenHandleCount(int hostAdapter, int deviceId)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    int count = 0;
    for (const auto &[key, handle] : e.handles)
        if ((hostAdapter == -2 && deviceId == -2) ||
            (handle->drive->hostAdapter == hostAdapter && handle->drive->deviceId == deviceId))
            ++count;
    return count;
}

VORN_EXPORT void VornControl_FailNextCall(int kind, int result)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    e.failNext[kind] = result;
}

VORN_EXPORT void VornControl_ClearFailures(void)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    e.failNext.clear();
}

VORN_EXPORT void VornControl_SetTimeScale(double scale)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    e.timeScale = scale > 0 ? scale : 0;
}

VORN_EXPORT int VornControl_FailWriteAfterBytes(int hostAdapter, int deviceId, int64_t bytes)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    auto drive = e.findDrive(hostAdapter, deviceId);
    if (!drive)
        return 0;
    if (bytes < 0)
        drive->failWriteAfterBytes.reset();
    else
        drive->failWriteAfterBytes = bytes;
    if (drive->disc)
        drive->disc->container.injectWriteFailure(
            bytes < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(bytes)));
    return 1;
}

VORN_EXPORT int VornControl_CorruptSector(int hostAdapter, int deviceId, uint32_t block)
{
    auto &e = Engine::instance();
    std::lock_guard lock(e.mu);
    auto drive = e.findDrive(hostAdapter, deviceId);
    if (!drive || !drive->disc)
        return 0;
    // Every byte of the block inverted: whatever was written, it now reads
    // back different, and a block never written reads as 0xFF, not zeros.
    auto &disc = drive->disc->container;
    if (!disc.writable() || block >= disc.capacity())
        return 0;
    std::vector<std::uint8_t> bytes(disc.slotSize());
    if (!disc.readBlocks(block, bytes, disc.slotSize()))
        return 0;
    for (auto &b : bytes)
        b = static_cast<std::uint8_t>(~b);
    if (!disc.writeBlocks(block, bytes, disc.slotSize(), vorn::vrn::VrnDisc::WriteRule::Raw))
        return 0;
    drive->corruptBlocks.push_back(block);
    return 1;
}

}  // extern "C"
