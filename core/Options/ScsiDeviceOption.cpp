#include "ScsiDeviceOption.h"
#include "DeviceEntry.h"
#include "OptionPrivate.h"

#include <algorithm>
#include <cstring>
#include <string>

G_DEFINE_TYPE(VornScsiDeviceOption, vorn_scsi_device_option, VORN_TYPE_OPTION)

static guint valueChangedSignal;

namespace vorn::options::device_entry {

void initInvalid(VornDeviceEntry &entry) noexcept
{
    std::memset(&entry, 0, sizeof entry);
    entry.hostAdapter = -1;
    entry.deviceId = -1;
}

std::string_view name(const VornDeviceEntry &entry) noexcept
{
    return {entry.name, strnlen(entry.name, sizeof entry.name)};
}

void setName(VornDeviceEntry &entry, std::string_view text, std::size_t maxBytes) noexcept
{
    const std::size_t length = std::min({text.size(), maxBytes, sizeof entry.name - 1});
    std::memset(entry.name, 0, sizeof entry.name);
    std::memcpy(entry.name, text.data(), length);
}

bool sameDrive(const VornDeviceEntry &a, const VornDeviceEntry &b) noexcept
{
    return a.hostAdapter == b.hostAdapter && a.deviceId == b.deviceId && name(a) == name(b);
}

}  // namespace vorn::options::device_entry

namespace entry = vorn::options::device_entry;

static void serializeScsiDevice(VornOption *option, FILE *stream, int indent)
{
    const VornDeviceEntry &device = VORN_SCSI_DEVICE_OPTION(option)->value;
    // The name is escaped like a string value: a quote in a drive's name must
    // not end the attribute and make the whole settings file unreadable.
    std::string line = "<Option name='";
    line += option->name ? option->name : "";
    line += "' type='scsi_device' device_name='";
    line += vorn::options::escapeMarkup(entry::name(device));
    line += "' scsi_id='" + std::to_string(device.deviceId);
    line += "' host_adapter='" + std::to_string(device.hostAdapter);
    line += "' />";
    vorn::options::writeLine(stream, indent, line);
}

static void vorn_scsi_device_option_class_init(VornScsiDeviceOptionClass *klass)
{
    valueChangedSignal = vorn::options::registerValueChangedSignal(
        G_TYPE_FROM_CLASS(klass), G_STRUCT_OFFSET(VornScsiDeviceOptionClass, vorn_value_changed));
}

static void vorn_scsi_device_option_init(VornScsiDeviceOption *option)
{
    entry::initInvalid(option->value);
    option->parent.serializer = serializeScsiDevice;
}

GType ScsiDeviceOption_GetType() noexcept
{
    return vorn_scsi_device_option_get_type();
}

VornOption *ScsiDeviceOption_New(gint32 id, const gchar *name, const VornDeviceEntry *device) noexcept
{
    if (!name || !device)
        return nullptr;
    auto *option = VORN_OPTION(g_object_new(VORN_TYPE_SCSI_DEVICE_OPTION, nullptr));
    ScsiDeviceOption_SetValue(option, device);
    vorn::options::setIdentity(option, id, name);
    return option;
}

gint ScsiDeviceOption_SetValue(VornOption *option, const VornDeviceEntry *device) noexcept
{
    if (!IS_VORN_SCSI_DEVICE_OPTION(option) || !device)
        return 0;
    auto *self = VORN_SCSI_DEVICE_OPTION(option);
    if (entry::sameDrive(self->value, *device))
        return 1;
    std::memmove(&self->value, device, sizeof self->value);
    g_signal_emit(option, valueChangedSignal, 0);
    return 1;
}

const VornDeviceEntry *ScsiDeviceOption_GetValue(VornOption *option) noexcept
{
    return IS_VORN_SCSI_DEVICE_OPTION(option) ? &VORN_SCSI_DEVICE_OPTION(option)->value : nullptr;
}
