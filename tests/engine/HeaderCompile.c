/* Both public headers, seen by a C11 compiler with every warning an error.
 * The layouts are checked where the headers declare them; this file adds the
 * uses a C caller makes: walking a list and a disc record through the
 * accessors, and the byte copy of a device entry. */
#include "VornAPI.h"
#include "VornControl.h"

#include <string.h>

int count_recorders(VornDeviceList *list);
int count_recorders(VornDeviceList *list)
{
    int n = 0;
    for (int i = 0; i < list->count; ++i) {
        VornDeviceEntry copy;
        memcpy(&copy, VornDeviceList_Entry(list, i), sizeof copy);
        if (copy.type == VORN_DEVICE_TYPE_RECORDER && (copy.capabilities & VORN_CAP_WRITE))
            ++n;
    }
    return n;
}

int last_track_end(VornDiscInfo *info);
int last_track_end(VornDiscInfo *info)
{
    if (info->trackCount == 0)
        return 0;
    VornTrackInfo *t = VornDiscInfo_Track(info, info->trackCount - 1);
    return t->startBlock + t->lengthBlocks;
}
