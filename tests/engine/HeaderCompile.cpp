// Both public headers, seen by a C++ compiler with every warning an error,
// with the same uses a C caller makes.
#include "VornAPI.h"
#include "VornControl.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_trivially_copyable_v<VornDeviceEntry>);
static_assert(std::is_standard_layout_v<VornDiscInfo>);

int countRecorders(VornDeviceList *list);
int countRecorders(VornDeviceList *list)
{
    int n = 0;
    for (int i = 0; i < list->count; ++i) {
        VornDeviceEntry copy;
        std::memcpy(&copy, VornDeviceList_Entry(list, i), sizeof copy);
        if (copy.type == VORN_DEVICE_TYPE_RECORDER && (copy.capabilities & VORN_CAP_WRITE))
            ++n;
    }
    return n;
}

int lastTrackEnd(VornDiscInfo *info);
int lastTrackEnd(VornDiscInfo *info)
{
    if (info->trackCount == 0)
        return 0;
    VornTrackInfo *t = VornDiscInfo_Track(info, info->trackCount - 1);
    return t->startBlock + t->lengthBlocks;
}
