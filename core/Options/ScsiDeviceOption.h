/*
 * A drive option ("scsi_device" in XML): a whole copy of the engine's device
 * entry, held inside the option. A drive is identified by its host adapter
 * number, SCSI id and name; the settings file keeps only those, with the name
 * cut to kScsiDeviceOptionNameBytes bytes.
 */
#ifndef VORN_SCSI_DEVICE_OPTION_H
#define VORN_SCSI_DEVICE_OPTION_H

#include "Option.h"

#include "VornAPI.h"

#include <cstddef>

/* Bytes of the device name that a settings file keeps (a NUL follows them). */
inline constexpr std::size_t kScsiDeviceOptionNameBytes = 31;

struct VornScsiDeviceOption {
    VornOption parent;
    /* Invalid (all zero, host adapter and SCSI id -1) at creation. */
    VornDeviceEntry value;
};

struct VornScsiDeviceOptionClass {
    VornOptionClass parent_class;
    void (*vorn_value_changed)(VornScsiDeviceOption *option);
};

GType ScsiDeviceOption_GetType() noexcept;

#define VORN_TYPE_SCSI_DEVICE_OPTION (ScsiDeviceOption_GetType())
#define VORN_SCSI_DEVICE_OPTION(object) \
    (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_SCSI_DEVICE_OPTION, VornScsiDeviceOption))
#define IS_VORN_SCSI_DEVICE_OPTION(object) \
    (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_SCSI_DEVICE_OPTION))

/*
 * A new option holding a copy of the device entry `device` (one reference for
 * the caller); NULL when `name` or `device` is NULL.
 */
VornOption *ScsiDeviceOption_New(gint32 id, const gchar *name, const VornDeviceEntry *device) noexcept;

/*
 * Copies the whole entry and emits "vorn_value_changed", unless the entry is
 * the same drive as the one held (same host adapter number, SCSI id and name):
 * then nothing changes and nothing is emitted. Returns 1 in both cases; 0 when
 * `option` is not a device option or `device` is NULL.
 */
gint ScsiDeviceOption_SetValue(VornOption *option, const VornDeviceEntry *device) noexcept;

/*
 * The entry held inside the option (valid while the option lives; change it
 * only through ScsiDeviceOption_SetValue), or NULL when `option` is not a
 * device option.
 */
const VornDeviceEntry *ScsiDeviceOption_GetValue(VornOption *option) noexcept;

#endif
