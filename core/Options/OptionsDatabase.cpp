#include "OptionsDatabase.h"
#include "DeviceEntry.h"
#include "OptionNames.h"
#include "OptionPrivate.h"
#include "OptionsDatabaseTables.h"

#include "Debugger.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

OptionsDatabase *GlobalSettingsOptionsDatabase = nullptr;
OptionsDatabase *CompilationTypesOptionsDatabase = nullptr;
OptionsDatabase *PathsOptionsDatabase = nullptr;
OptionsDatabase *CompilationTypesDynamicOptionsDatabase = nullptr;
OptionsDatabase *BurnProcessDynamicOptionsDatabase = nullptr;
OptionsDatabase *NameFactoryDynamicOptionsDatabase = nullptr;

struct OptionsDatabase {
    std::optional<std::string> name;
    // One reference on each, in insertion order.
    std::vector<VornOption *> options;
};

namespace {

struct Registry {
    std::vector<OptionsDatabase *> persistent;
    std::vector<OptionsDatabase *> dynamic;
};

Registry &registry() noexcept
{
    static Registry instance;
    return instance;
}

// Every global pointer, so that none is left pointing at a destroyed database.
std::array<OptionsDatabase **, 6> globalPointers() noexcept
{
    return {&GlobalSettingsOptionsDatabase,        &CompilationTypesOptionsDatabase,
            &PathsOptionsDatabase,                 &CompilationTypesDynamicOptionsDatabase,
            &BurnProcessDynamicOptionsDatabase,    &NameFactoryDynamicOptionsDatabase};
}

bool removeFrom(std::vector<OptionsDatabase *> &list, OptionsDatabase *database)
{
    auto found = std::find(list.begin(), list.end(), database);
    if (found == list.end())
        return false;
    list.erase(found);
    return true;
}

template <class Check>
VornOption *optionOfClass(OptionsDatabase *database, gint32 id, Check isOfClass)
{
    VornOption *option = OptionsDatabase_GetOptionFromID(database, id);
    return option && isOfClass(option) ? option : nullptr;
}

bool isBoolean(VornOption *option) { return IS_VORN_BOOLEAN_OPTION(option); }
bool isInteger(VornOption *option) { return IS_VORN_INTEGER_OPTION(option); }
bool isString(VornOption *option) { return IS_VORN_STRING_OPTION(option); }
bool isPointer(VornOption *option) { return IS_VORN_POINTER_OPTION(option); }
bool isScsiDevice(VornOption *option) { return IS_VORN_SCSI_DEVICE_OPTION(option); }

// A decimal integer as "%lld" / "%d" read it: leading blanks, an optional
// sign, at least one digit; anything after the digits is ignored. A number
// outside the range of T does not parse (where "%d" would be undefined).
template <class T>
std::optional<T> parseDecimal(const char *text)
{
    if (!text)
        return std::nullopt;
    while (g_ascii_isspace(*text))
        ++text;
    const char *digits = text + ((*text == '+' || *text == '-') ? 1 : 0);
    if (!g_ascii_isdigit(*digits))
        return std::nullopt;
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        return std::nullopt;
    return static_cast<T>(value);
}

// The value of attribute `index` when that attribute exists and is named
// `expected`; NULL otherwise. The arrays end with NULL, so every earlier
// position is checked before `index` is read.
const gchar *attributeAt(const gchar **names, const gchar **values, int index, const char *expected)
{
    for (int i = 0; i <= index; ++i) {
        if (!names[i] || !values[i])
            return nullptr;
    }
    return std::strcmp(names[index], expected) == 0 ? values[index] : nullptr;
}

gint applyString(OptionsDatabase *database, VornOption *option, const gchar **names, const gchar **values)
{
    const gchar *fileEncoding = attributeAt(names, values, 2, "encoding");
    const gchar *text = attributeAt(names, values, 3, "value");
    if (!fileEncoding || !text)
        return 0;
    auto *self = VORN_STRING_OPTION(option);
    const gchar *target = self->variableEncoding ? fileEncoding : (self->encoding ? self->encoding : "");
    GError *error = nullptr;
    gchar *converted = g_convert_with_fallback(text, -1, target, "UTF-8", "?", nullptr, nullptr, &error);
    if (!converted) {
        debugger_DummyOut("Option \"%s\": cannot convert its value to %s: %s\n", option->name, target,
                          error ? error->message : "");
        g_clear_error(&error);
        return 0;
    }
    const gint result = OptionsDatabase_SetStringOptionValue(database, option->id, converted);
    g_free(converted);
    return result;
}

gint applyScsiDevice(OptionsDatabase *database, VornOption *option, const gchar **names,
                     const gchar **values)
{
    namespace entry = vorn::options::device_entry;
    const gchar *deviceName = attributeAt(names, values, 2, "device_name");
    const auto scsiId = parseDecimal<gint32>(attributeAt(names, values, 3, "scsi_id"));
    const auto hostAdapter = parseDecimal<gint32>(attributeAt(names, values, 4, "host_adapter"));
    if (!deviceName || !scsiId || !hostAdapter)
        return 0;
    VornDeviceEntry device;
    entry::initInvalid(device);
    entry::setName(device, deviceName, kScsiDeviceOptionNameBytes);
    device.hostAdapter = *hostAdapter;
    device.deviceId = *scsiId;
    return OptionsDatabase_SetScsiDeviceOptionValue(database, option->id, &device);
}

}  // namespace

std::span<VornOption *const> vorn::options::optionsOf(const ::OptionsDatabase *database) noexcept
{
    if (!database)
        return {};
    return {database->options.data(), database->options.size()};
}

OptionsDatabase *OptionsDatabase_New(const gchar *name, gint persistent) noexcept
{
    if (persistent == 1 && !name)
        return nullptr;
    auto *database = new (std::nothrow) OptionsDatabase;
    if (!database)
        return nullptr;
    if (name)
        database->name = name;
    (persistent == 1 ? registry().persistent : registry().dynamic).push_back(database);
    return database;
}

void OptionsDatabase_Destroy(OptionsDatabase *database) noexcept
{
    if (!database)
        return;
    // A database in neither list (made some other way) is freed all the same.
    if (!removeFrom(registry().persistent, database))
        removeFrom(registry().dynamic, database);
    for (OptionsDatabase **global : globalPointers()) {
        if (*global == database)
            *global = nullptr;
    }
    for (VornOption *option : database->options)
        g_object_unref(option);
    delete database;
}

const gchar *OptionsDatabase_GetName(const OptionsDatabase *database) noexcept
{
    return database && database->name ? database->name->c_str() : nullptr;
}

gint OptionsDatabase_AddOption(OptionsDatabase *database, VornOption *option) noexcept
{
    if (!option)
        return 0;
    if (!database || !IS_VORN_OPTION(option)) {
        if (G_IS_OBJECT(option))
            g_object_unref(option);
        return 0;
    }
    if (OptionsDatabase_GetOptionFromID(database, option->id)) {
        debugger_DummyOut("Option \"%s\" not added: id %d is taken\n", option->name ? option->name : "",
                          option->id);
        g_object_unref(option);
        return 0;
    }
    database->options.push_back(option);
    return 1;
}

VornOption *OptionsDatabase_GetOptionFromID(OptionsDatabase *database, gint32 id) noexcept
{
    if (!database)
        return nullptr;
    for (VornOption *option : database->options) {
        if (option->id == id)
            return option;
    }
    return nullptr;
}

OptionsDatabase *OptionsDatabase_GetFromName(const gchar *name) noexcept
{
    if (!name)
        return nullptr;
    if (std::strcmp(name, "GlobalSettings") == 0)
        return GlobalSettingsOptionsDatabase;
    if (std::strcmp(name, "CompilationTypes") == 0)
        return CompilationTypesOptionsDatabase;
    if (std::strcmp(name, "Paths") == 0)
        return PathsOptionsDatabase;
    return nullptr;
}

gint OptionsDatabase_SetBooleanOptionValue(OptionsDatabase *database, gint32 id, gint32 value) noexcept
{
    VornOption *option = optionOfClass(database, id, isBoolean);
    return option ? BooleanOption_SetValue(option, value) : 0;
}

gint32 OptionsDatabase_GetBooleanOptionValue(OptionsDatabase *database, gint32 id) noexcept
{
    VornOption *option = optionOfClass(database, id, isBoolean);
    return option ? BooleanOption_GetValue(option) : FALSE;
}

gint OptionsDatabase_CopyBooleanOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                            OptionsDatabase *source, gint32 sourceId) noexcept
{
    VornOption *to = optionOfClass(destination, destinationId, isBoolean);
    VornOption *from = optionOfClass(source, sourceId, isBoolean);
    return to && from ? BooleanOption_SetValue(to, BooleanOption_GetValue(from)) : 0;
}

gint OptionsDatabase_SetIntegerOptionValue(OptionsDatabase *database, gint32 id, gint64 value) noexcept
{
    VornOption *option = optionOfClass(database, id, isInteger);
    return option ? IntegerOption_SetValue(option, value) : 0;
}

gint64 OptionsDatabase_GetIntegerOptionValue(OptionsDatabase *database, gint32 id) noexcept
{
    VornOption *option = optionOfClass(database, id, isInteger);
    return option ? IntegerOption_GetValue(option) : -1;
}

gint OptionsDatabase_CopyIntegerOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                            OptionsDatabase *source, gint32 sourceId) noexcept
{
    VornOption *to = optionOfClass(destination, destinationId, isInteger);
    VornOption *from = optionOfClass(source, sourceId, isInteger);
    return to && from ? IntegerOption_SetValue(to, IntegerOption_GetValue(from)) : 0;
}

gint OptionsDatabase_SetStringOptionValue(OptionsDatabase *database, gint32 id, const gchar *value) noexcept
{
    VornOption *option = optionOfClass(database, id, isString);
    return option ? StringOption_SetValue(option, value) : 0;
}

gchar *OptionsDatabase_GetStringOptionValue(OptionsDatabase *database, gint32 id) noexcept
{
    VornOption *option = optionOfClass(database, id, isString);
    return option ? StringOption_GetValue(option) : nullptr;
}

gint OptionsDatabase_CopyStringOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                           OptionsDatabase *source, gint32 sourceId) noexcept
{
    VornOption *to = optionOfClass(destination, destinationId, isString);
    VornOption *from = optionOfClass(source, sourceId, isString);
    if (!to || !from)
        return 0;
    gchar *value = StringOption_GetValue(from);
    const gint result = value ? StringOption_SetValue(to, value) : 0;
    g_free(value);
    return result;
}

gint OptionsDatabase_SetPointerOptionValue(OptionsDatabase *database, gint32 id, gpointer value) noexcept
{
    VornOption *option = optionOfClass(database, id, isPointer);
    return option ? PointerOption_SetValue(option, value) : 0;
}

gpointer OptionsDatabase_GetPointerOptionValue(OptionsDatabase *database, gint32 id) noexcept
{
    VornOption *option = optionOfClass(database, id, isPointer);
    return option ? PointerOption_GetValue(option) : nullptr;
}

gint OptionsDatabase_CopyPointerOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                            OptionsDatabase *source, gint32 sourceId) noexcept
{
    VornOption *to = optionOfClass(destination, destinationId, isPointer);
    VornOption *from = optionOfClass(source, sourceId, isPointer);
    return to && from ? PointerOption_SetValue(to, PointerOption_GetValue(from)) : 0;
}

gint OptionsDatabase_SetScsiDeviceOptionValue(OptionsDatabase *database, gint32 id,
                                              const VornDeviceEntry *device) noexcept
{
    VornOption *option = optionOfClass(database, id, isScsiDevice);
    return option ? ScsiDeviceOption_SetValue(option, device) : 0;
}

const VornDeviceEntry *OptionsDatabase_GetScsiDeviceOptionValue(OptionsDatabase *database, gint32 id) noexcept
{
    VornOption *option = optionOfClass(database, id, isScsiDevice);
    return option ? ScsiDeviceOption_GetValue(option) : nullptr;
}

gint OptionsDatabase_CopyScsiDeviceOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                               OptionsDatabase *source, gint32 sourceId) noexcept
{
    VornOption *to = optionOfClass(destination, destinationId, isScsiDevice);
    VornOption *from = optionOfClass(source, sourceId, isScsiDevice);
    return to && from ? ScsiDeviceOption_SetValue(to, ScsiDeviceOption_GetValue(from)) : 0;
}

void OptionsDatabase_InitDatabases() noexcept
{
    OptionsDatabase_DestroyDatabases();
    GlobalSettingsDatabase_Init();
    CompilationTypesDatabase_Init();
    PathsDatabase_Init();
    BurnProcessDatabase_Init();
    NameFactoryDatabase_Init();
}

void OptionsDatabase_DestroyDatabases() noexcept
{
    // Destroy removes each database from its list, so take the front each time.
    for (auto *list : {&registry().persistent, &registry().dynamic}) {
        while (!list->empty())
            OptionsDatabase_Destroy(list->front());
    }
}

void OptionsDatabase_SerializeDatabasesToXML(FILE *stream, int indent) noexcept
{
    if (!stream)
        return;
    const std::string pad(static_cast<std::size_t>(std::max(indent, 0)), ' ');
    for (OptionsDatabase *database : registry().persistent) {
        std::fprintf(stream, "%s<OptionsDB name='%s'>\n", pad.c_str(),
                     database->name ? database->name->c_str() : "");
        for (VornOption *option : database->options)
            Option_SerializeOptionToXML(option, stream, indent + 2);
        std::fprintf(stream, "%s</OptionsDB>\n", pad.c_str());
    }
}

gint OptionsDatabase_SetOptionValueFromXML(OptionsDatabase *database, const gchar **attributeNames,
                                           const gchar **attributeValues) noexcept
{
    if (!database || !attributeNames || !attributeValues)
        return 0;
    const gchar *name = attributeAt(attributeNames, attributeValues, 0, "name");
    const gchar *type = attributeAt(attributeNames, attributeValues, 1, "type");
    if (!name || !type)
        return 0;
    const gint32 id = OptionNames_GetOptionID(database, name);
    VornOption *option = id == -1 ? nullptr : OptionsDatabase_GetOptionFromID(database, id);
    if (!option)
        return 0;

    if (std::strcmp(type, "boolean") == 0) {
        const gchar *value = attributeAt(attributeNames, attributeValues, 2, "value");
        if (!value)
            return 0;
        return OptionsDatabase_SetBooleanOptionValue(database, id, std::strcmp(value, "true") == 0 ? 1 : 0);
    }
    if (std::strcmp(type, "integer") == 0) {
        const auto value = parseDecimal<gint64>(attributeAt(attributeNames, attributeValues, 2, "value"));
        return value ? OptionsDatabase_SetIntegerOptionValue(database, id, *value) : 0;
    }
    if (std::strcmp(type, "string") == 0)
        return IS_VORN_STRING_OPTION(option) ? applyString(database, option, attributeNames, attributeValues) : 0;
    if (std::strcmp(type, "scsi_device") == 0)
        return IS_VORN_SCSI_DEVICE_OPTION(option)
                   ? applyScsiDevice(database, option, attributeNames, attributeValues)
                   : 0;
    return 0;
}
