#include "ScsiDeviceOption.h"
#include "DeviceEntry.h"
#include "OptionPrivate.h"

#include <algorithm>
#include <cstring>
#include <string>

G_DEFINE_TYPE(VornScsiDeviceOption, vorn_scsi_device_option, VORN_TYPE_OPTION)

static guint valueChangedSignal;

namespace vorn::options::device_entry {

namespace {
std::int32_t readInt32(const void *entry, std::size_t offset) noexcept
{
    std::int32_t value;
    std::memcpy(&value, static_cast<const unsigned char *>(entry) + offset, sizeof value);
    return value;
}
}  // namespace

void initInvalid(void *entry) noexcept
{
    std::memset(entry, 0, kVornDeviceEntrySize);
    setAddress(entry, -1, -1);
}

std::string_view name(const void *entry) noexcept
{
    const char *text = static_cast<const char *>(entry) + kNameOffset;
    return {text, strnlen(text, kNameFieldBytes)};
}

void setName(void *entry, std::string_view text, std::size_t maxBytes) noexcept
{
    char *field = static_cast<char *>(entry) + kNameOffset;
    const std::size_t length = std::min({text.size(), maxBytes, kNameFieldBytes - 1});
    std::memset(field, 0, kNameFieldBytes);
    std::memcpy(field, text.data(), length);
}

std::int32_t hostAdapter(const void *entry) noexcept
{
    return readInt32(entry, kHostAdapterOffset);
}

std::int32_t scsiId(const void *entry) noexcept
{
    return readInt32(entry, kScsiIdOffset);
}

void setAddress(void *entry, std::int32_t adapter, std::int32_t id) noexcept
{
    auto *bytes = static_cast<unsigned char *>(entry);
    std::memcpy(bytes + kHostAdapterOffset, &adapter, sizeof adapter);
    std::memcpy(bytes + kScsiIdOffset, &id, sizeof id);
}

bool sameDrive(const void *a, const void *b) noexcept
{
    return hostAdapter(a) == hostAdapter(b) && scsiId(a) == scsiId(b) && name(a) == name(b);
}

}  // namespace vorn::options::device_entry

namespace entry = vorn::options::device_entry;

static void serializeScsiDevice(VornOption *option, FILE *stream, int indent)
{
    const void *device = VORN_SCSI_DEVICE_OPTION(option)->value;
    // The name is escaped like a string value: a quote in a drive's name must
    // not end the attribute and make the whole settings file unreadable.
    std::string line = "<Option name='";
    line += option->name ? option->name : "";
    line += "' type='scsi_device' device_name='";
    line += vorn::options::escapeMarkup(entry::name(device));
    line += "' scsi_id='" + std::to_string(entry::scsiId(device));
    line += "' host_adapter='" + std::to_string(entry::hostAdapter(device));
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

VornOption *ScsiDeviceOption_New(gint32 id, const gchar *name, const void *device) noexcept
{
    if (!name || !device)
        return nullptr;
    auto *option = VORN_OPTION(g_object_new(VORN_TYPE_SCSI_DEVICE_OPTION, nullptr));
    ScsiDeviceOption_SetValue(option, device);
    vorn::options::setIdentity(option, id, name);
    return option;
}

gint ScsiDeviceOption_SetValue(VornOption *option, const void *device) noexcept
{
    if (!IS_VORN_SCSI_DEVICE_OPTION(option) || !device)
        return 0;
    auto *self = VORN_SCSI_DEVICE_OPTION(option);
    if (entry::sameDrive(self->value, device))
        return 1;
    std::memmove(self->value, device, kVornDeviceEntrySize);
    g_signal_emit(option, valueChangedSignal, 0);
    return 1;
}

const void *ScsiDeviceOption_GetValue(VornOption *option) noexcept
{
    return IS_VORN_SCSI_DEVICE_OPTION(option) ? VORN_SCSI_DEVICE_OPTION(option)->value : nullptr;
}
