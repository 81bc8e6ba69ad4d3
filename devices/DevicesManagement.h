/*
 * The application's side of devices management: follows the device list of
 * the common burn UI, keeps which disc families the connected drives read,
 * and chooses the default recorder.
 */
#ifndef VORN_DEVICES_MANAGEMENT_H
#define VORN_DEVICES_MANAGEMENT_H

#include "VornAPI.h"

#include <glib.h>

/* Called once at start-up, after the common burn UI is up: follows the list. */
void DevicesManagement_Init() noexcept;
/* Called once by the shutdown sequence. */
void DevicesManagement_Done() noexcept;

/* TRUE when a drive (not the image recorder) reads the family `mediaClass`
 * (VORN_FAMILY_CD, _DVD, _HDDVD or _BD); FALSE for any other value. */
gboolean DevicesManagement_PhysicalDeviceExists(guint32 mediaClass) noexcept;
/* TRUE when a drive reads any of the four families. */
gboolean DevicesManagement_IsPhysicalDeviceConnected() noexcept;

/* TRUE when `device` is valid and a listed drive has its address and name. */
gboolean DevicesManagement_DeviceConnected(const VornDeviceEntry *device) noexcept;
/* The same search; copies the listed drive to `out`. FALSE when not found. */
gboolean DevicesManagement_GetRealDeviceStructure(const VornDeviceEntry *device, VornDeviceEntry *out) noexcept;

/*
 * The recorder to use when the user chose none: the first recorder of the
 * richest family (BD, then HD DVD, DVD, CD) by what it writes, else the image
 * recorder. `out` is invalid when there is neither. FALSE for NULL or an
 * empty list.
 */
gboolean DevicesManagement_GetDefaultActiveRecorder(VornDeviceEntry *out) noexcept;

#endif
