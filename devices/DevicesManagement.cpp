// Which disc families the connected drives read, kept from the device-change
// listener (main loop), and read by any thread.
#include "DevicesManagement.h"

#include "Debugger.h"
#include "VornKitDevicesManagement.h"

#include <array>
#include <atomic>

namespace {

enum Family { CD, DVD, HDDVD, BD, FamilyCount };

constexpr std::array<guint32, FamilyCount> kFamilyMasks = {VORN_FAMILY_CD, VORN_FAMILY_DVD, VORN_FAMILY_HDDVD,
                                                           VORN_FAMILY_BD};

std::array<std::atomic<bool>, FamilyCount> physicalFamilies{};

void onDevicesChanged(VornKitDevicesInfo *devices, gpointer) noexcept
{
    std::array<bool, FamilyCount> found{};
    for (int i = 0; devices && i < devices->count; ++i) {
        const VornDeviceEntry *device = VornDeviceList_Entry(devices, i);
        if (device->capabilities & VORN_CAP_IMAGE_RECORDER)
            continue;
        for (std::size_t f = 0; f < found.size(); ++f)
            found[f] = found[f] || (device->readMedia & kFamilyMasks[f]) != 0;
    }
    for (std::size_t f = 0; f < found.size(); ++f)
        physicalFamilies[f].store(found[f]);
    debugger_DummyOut("CD: %d - DVD: %d - HD DVD: %d - BD: %d\n", found[CD], found[DVD], found[HDDVD], found[BD]);
}

// Ranks a recorder by the richest family it writes; 0 for none.
int recorderRank(const VornDeviceEntry &device)
{
    if (device.writeMedia & VORN_FAMILY_BD)
        return 4;
    if (device.writeMedia & VORN_FAMILY_HDDVD)
        return 3;
    if (device.writeMedia & VORN_FAMILY_DVD)
        return 2;
    if (device.writeMedia & VORN_FAMILY_CD)
        return 1;
    return 0;
}

// Runs `fn` on the listed drive equal to `device` in address and name.
template <class Fn>
gboolean withListedDevice(const VornDeviceEntry *device, Fn fn)
{
    if (!VornKit_VornSCSIDeviceInfo_IsValid(device))
        return FALSE;
    VornKitDevicesInfo *devices = VornKit_DevicesManagement_GetDevicesInfoStructure();
    gboolean found = FALSE;
    for (int i = 0; devices && i < devices->count && !found; ++i) {
        const VornDeviceEntry *listed = VornDeviceList_Entry(devices, i);
        if (VornKit_VornSCSIDeviceInfo_EqualEx(listed, device)) {
            fn(*listed);
            found = TRUE;
        }
    }
    VornKit_DevicesManagement_FreeDevicesInfoStructure(devices);
    return found;
}

}  // namespace

void DevicesManagement_Init() noexcept
{
    VornKit_DevicesManagement_RegisterDeviceChangeCallback(onDevicesChanged, nullptr);
}

void DevicesManagement_Done() noexcept
{
    VornKit_DevicesManagement_UnregisterDeviceChangeCallback(onDevicesChanged, nullptr);
    for (auto &flag : physicalFamilies)
        flag.store(false);
}

gboolean DevicesManagement_PhysicalDeviceExists(guint32 mediaClass) noexcept
{
    for (std::size_t f = 0; f < kFamilyMasks.size(); ++f)
        if (kFamilyMasks[f] == mediaClass)
            return physicalFamilies[f].load() ? TRUE : FALSE;
    return FALSE;
}

gboolean DevicesManagement_IsPhysicalDeviceConnected() noexcept
{
    for (const auto &flag : physicalFamilies)
        if (flag.load())
            return TRUE;
    return FALSE;
}

gboolean DevicesManagement_DeviceConnected(const VornDeviceEntry *device) noexcept
{
    return withListedDevice(device, [](const VornDeviceEntry &) {});
}

gboolean DevicesManagement_GetRealDeviceStructure(const VornDeviceEntry *device, VornDeviceEntry *out) noexcept
{
    return withListedDevice(device, [out](const VornDeviceEntry &listed) {
        if (out)
            VornKit_VornSCSIDeviceInfo_Dump(out, &listed, FALSE);
    });
}

gboolean DevicesManagement_GetDefaultActiveRecorder(VornDeviceEntry *out) noexcept
{
    if (!out)
        return FALSE;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(out);
    VornKitDevicesInfo *devices = VornKit_DevicesManagement_GetDevicesInfoStructure();
    if (!devices)
        return FALSE;
    const VornDeviceEntry *best = nullptr;
    const VornDeviceEntry *imageRecorder = nullptr;
    int bestRank = 0;
    for (int i = 0; i < devices->count; ++i) {
        const VornDeviceEntry *device = VornDeviceList_Entry(devices, i);
        if (device->capabilities & VORN_CAP_IMAGE_RECORDER) {
            imageRecorder = device;
            continue;
        }
        if (device->type != VORN_DEVICE_TYPE_RECORDER)
            continue;
        // Strictly better only: among equals the first listed stays.
        const int rank = recorderRank(*device);
        if (rank > bestRank) {
            best = device;
            bestRank = rank;
        }
    }
    if (const VornDeviceEntry *chosen = best ? best : imageRecorder)
        VornKit_VornSCSIDeviceInfo_Dump(out, chosen, TRUE);
    debugger_DummyOut("Assiging: %s\n", out->name);
    VornKit_DevicesManagement_FreeDevicesInfoStructure(devices);
    return TRUE;
}
