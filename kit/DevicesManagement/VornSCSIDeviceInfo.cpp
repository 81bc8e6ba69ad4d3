// Device entries are compared by address (host adapter number and id); the
// name only tells a renamed or replaced drive from the one seen before.
#include "VornSCSIDeviceInfo.h"

#include <cstring>

extern "C" gboolean VornKit_VornSCSIDeviceInfo_IsValid(const VornDeviceEntry *entry)
{
    return entry && (entry->hostAdapter != -1 || entry->deviceId != -1);
}

extern "C" void VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(VornDeviceEntry *entry)
{
    if (!entry)
        return;
    std::memset(entry, 0, sizeof *entry);
    entry->hostAdapter = -1;
    entry->deviceId = -1;
}

extern "C" gboolean VornKit_VornSCSIDeviceInfo_Equal(const VornDeviceEntry *a, const VornDeviceEntry *b)
{
    return a && b && a->hostAdapter == b->hostAdapter && a->deviceId == b->deviceId;
}

extern "C" gboolean VornKit_VornSCSIDeviceInfo_EqualEx(const VornDeviceEntry *a, const VornDeviceEntry *b)
{
    // The name field is NUL-terminated by the engine, but an entry read from
    // elsewhere may fill all 64 bytes: never read past the field.
    return VornKit_VornSCSIDeviceInfo_Equal(a, b) && std::strncmp(a->name, b->name, sizeof a->name) == 0;
}

extern "C" void VornKit_VornSCSIDeviceInfo_Dump(VornDeviceEntry *destination, const VornDeviceEntry *source,
                                                gboolean)
{
    if (!destination || !source || destination == source)
        return;
    std::memcpy(destination, source, sizeof *destination);
}

extern "C" gchar *VornKit_VornSCSIDeviceInfo_GetTrimedDeviceName(const gchar *name)
{
    if (!name)
        return nullptr;
    return g_strstrip(g_strdup(name));
}
