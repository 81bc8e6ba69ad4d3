#include "DataDiscCompilation.h"

#include "CompilationOptions.h"
#include "DataDiscBurn.h"
#include "DataDiscFileSystem.h"
#include "Debugger.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "LinuxFileSystem.h"
#include "Utils.h"
#include "VfsIoControlCodes.h"
#include "VornPaths.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One option of the compilation (or global setting 4) whose changes reach the
// file system. The binding holds a reference on the option, so that a
// database destroyed before the compilation leaves nothing dangling.
struct OptionBinding {
    DataDiscCompilation *self = nullptr;
    gint32 id = 0;  // a compilation option id, or kSemicolonsSetting
    VornOption *option = nullptr;
    gulong handler = 0;
};

struct DataDiscCompilationPrivate {
    std::vector<std::unique_ptr<OptionBinding>> bindings;
};

namespace {

// The file-system kinds of the data disc file system.
enum { KIND_ISO = 0, KIND_UDF = 1, KIND_BRIDGE = 2 };

// The binding of global setting 4 "Allow semicolons in Joliet names".
constexpr gint32 kSemicolonsSetting = -1;
constexpr gint32 kGlobalSemicolonsId = 4;

// Options with a handler, besides global setting 4. Option 46 (UDF option for
// HD media) and 49 (one label for all) are held but not pushed: 49 only
// decides which label options are pushed.
constexpr gint32 kPushedOptions[] = {7,  9,  26, 27, 28, 29, 30, 31, 32, 33, 35, 36, 37, 38, 39, 40, 41, 42, 43,
                                     44, 45, 47, 48, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64,
                                     65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83,
                                     84, 85};

// Option ids of the settings this file pushes.
enum : gint32 {
    OPT_BOOTABLE_DRIVE = 26,
    OPT_BOOT_IMAGE = 27,
    OPT_BOOT_LOCALE = 28,
    OPT_BOOT_EXPERT = 29,
    OPT_BOOT_EMULATION = 30,
    OPT_BOOT_MESSAGE = 31,
    OPT_BOOT_SEGMENT = 32,
    OPT_BOOT_SECTORS = 33,
    OPT_ISO_DATA_MODE = 35,
    OPT_ISO_LEVEL = 37,
    OPT_ISO_CHARSET = 38,
    OPT_ROCK_RIDGE = 39,
    OPT_DEEPER_THAN_8 = 40,
    OPT_LONG_PATHS = 41,
    OPT_NO_VERSION_EXTENSION = 42,
    OPT_LONG_JOLIET_NAMES = 43,
    OPT_UDF_OPTION = 45,
    OPT_UDF_PARTITION = 47,
    OPT_UDF_REVISION = 48,
    OPT_USE_DEFAULT_LABEL = 49,
    OPT_DEFAULT_LABEL = 50,
    OPT_ISO_LABEL = 51,
    OPT_ISO_FIRST_IDENTIFIER = 52,
    OPT_ISO_LAST_IDENTIFIER = 59,
    OPT_JOLIET_LABEL = 60,
    OPT_JOLIET_FIRST_IDENTIFIER = 61,
    OPT_JOLIET_LAST_IDENTIFIER = 68,
    OPT_UDF_LABEL = 69,
    OPT_CREATION_DATE = 70,
    OPT_CREATION_TIME = 71,
    OPT_MODIFICATION_DATE = 72,
    OPT_MODIFICATION_TIME = 73,
    OPT_EFFECTIVE_DATE = 74,
    OPT_EFFECTIVE_TIME = 75,
    OPT_EXPIRATION_DATE = 76,
    OPT_EXPIRATION_TIME = 77,
    OPT_SET_CREATION_DATES = 78,
    OPT_SET_EFFECTIVE_DATES = 79,
    OPT_FILES_DATE = 80,
    OPT_FIXED_FILES_DATE = 81,
    OPT_FIXED_FILES_TIME = 82,
    OPT_CACHE_FILES = 83,
    OPT_CACHE_SMALL_FILES = 84,
    OPT_SMALL_FILES_LIMIT_KB = 85,
};
constexpr gint32 OPT_IMPORTED_STAMP = 10;
constexpr gint32 OPT_IMPORTED_TRACK = 11;
constexpr gint32 OPT_REFRESH_FILES = 12;

// Files date types of option 80.
constexpr gint64 kFixedFilesDate = 2;

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

std::atomic<DataDiscRefreshDialogRunner> refreshDialogRunner{nullptr};

DataDiscCompilation *asDataDisc(Compilation *compilation)
{
    return reinterpret_cast<DataDiscCompilation *>(compilation);
}

void onFileSystemChanged(VirtualFileSystem *, gpointer data) noexcept
{
    auto *compilation = static_cast<Compilation *>(data);
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MODIFICATION_DATE,
                                          static_cast<gint64>(std::time(nullptr)));
    Compilation_SetCompilationUnsaved(compilation);
}

void control(Compilation *compilation, gint code, gint32 value) noexcept
{
    VFS_IoControl(compilation->fileSystem, code, &value);
}

void control16(Compilation *compilation, gint code, gint64 value) noexcept
{
    auto word = static_cast<guint16>(value);
    VFS_IoControl(compilation->fileSystem, code, &word);
}

void controlText(Compilation *compilation, gint code, const std::string &text) noexcept
{
    VFS_IoControl(compilation->fileSystem, code, const_cast<gchar *>(text.c_str()));
}

gint32 controlRead(Compilation *compilation, gint code) noexcept
{
    gint32 value = 0;
    VFS_IoControl(compilation->fileSystem, code, &value);
    return value;
}

std::optional<std::string> controlReadText(Compilation *compilation, gint code)
{
    gchar *text = nullptr;
    if (VFS_IoControl(compilation->fileSystem, code, &text) != 0 || !text)
        return std::nullopt;
    OwnedText owned(text);
    return std::string(owned.get());
}

gint64 integer(Compilation *compilation, gint32 id)
{
    return OptionsDatabase_GetIntegerOptionValue(compilation->options, id);
}

bool boolean(Compilation *compilation, gint32 id)
{
    return OptionsDatabase_GetBooleanOptionValue(compilation->options, id) == 1;
}

std::string text(Compilation *compilation, gint32 id)
{
    OwnedText value(OptionsDatabase_GetStringOptionValue(compilation->options, id));
    return value ? std::string(value.get()) : std::string();
}

gint32 oneOrZero(bool on)
{
    return on ? 1 : 0;
}

gint32 withinOr(gint64 value, gint64 low, gint64 high, gint32 fallback)
{
    return value >= low && value <= high ? static_cast<gint32>(value) : fallback;
}

OptionBinding *bindingOf(DataDiscCompilation *self, gint32 id)
{
    if (!self->priv)
        return nullptr;
    for (const auto &binding : self->priv->bindings)
        if (binding->id == id)
            return binding.get();
    return nullptr;
}

// Stores a text the file system gave back in a string option, with that
// option's own handler blocked: the correction must not be pushed again.
void storeQuietly(DataDiscCompilation *self, gint32 id, const std::string &value)
{
    OptionBinding *binding = bindingOf(self, id);
    if (binding)
        g_signal_handler_block(binding->option, binding->handler);
    OptionsDatabase_SetStringOptionValue(self->parent.options, id, value.c_str());
    if (binding)
        g_signal_handler_unblock(binding->option, binding->handler);
}

// A date option's local calendar day with the time option's hours, minutes
// and seconds, as the 32-bit time the file system takes.
gint32 fileSystemTime(gint64 date, gint64 secondsSinceMidnight)
{
    const auto day = static_cast<std::time_t>(date);
    std::tm local{};
    if (!localtime_r(&day, &local))
        return -1;
    const gint64 seconds = std::max<gint64>(secondsSinceMidnight, 0);
    local.tm_hour = static_cast<int>(std::min<gint64>(seconds / 3600, 23));
    local.tm_min = static_cast<int>((seconds / 60) % 60);
    local.tm_sec = static_cast<int>(seconds % 60);
    local.tm_isdst = -1;
    return static_cast<gint32>(std::mktime(&local));
}

void pushVolumeDates(Compilation *c, gint32 switchId, gint32 firstCode, gint32 firstDate)
{
    const bool on = boolean(c, switchId);
    for (gint32 pair = 0; pair < 2; ++pair) {
        const gint32 dateId = firstDate + 2 * pair;
        control(c, firstCode + pair, on ? fileSystemTime(integer(c, dateId), integer(c, dateId + 1)) : -1);
    }
}

void pushFixedFilesDate(Compilation *c)
{
    const bool fixed = integer(c, OPT_FILES_DATE) == kFixedFilesDate;
    control(c, VFS_IOCTL_SET_FIXED_FILES_DATE,
            fixed ? fileSystemTime(integer(c, OPT_FIXED_FILES_DATE), integer(c, OPT_FIXED_FILES_TIME)) : -1);
}

// The ISO revision pair: the ISO 9660:1999 volume and Joliet.
void pushRevision(Compilation *c, gint64 revision)
{
    gint32 enhanced = 1;
    gint32 joliet = 0;
    if (revision == 0)
        enhanced = 0;
    else if (revision == 2)
        joliet = 1;
    control(c, VFS_IOCTL_SET_ENHANCED_VOLUME, enhanced);
    control(c, VFS_IOCTL_SET_JOLIET, joliet);
}

void pushIsoIdentifier(DataDiscCompilation *self, gint32 rank, const std::string &value)
{
    Compilation *c = &self->parent;
    controlText(c, VFS_IOCTL_SET_ISO_SYSTEM_IDENTIFIER + rank, value);
    if (auto written = controlReadText(c, VFS_IOCTL_GET_ISO_SYSTEM_IDENTIFIER + rank))
        storeQuietly(self, OPT_ISO_FIRST_IDENTIFIER + rank, *written);
}

void pushJolietIdentifier(DataDiscCompilation *self, gint32 rank)
{
    Compilation *c = &self->parent;
    const std::string value = text(c, OPT_JOLIET_FIRST_IDENTIFIER + rank);
    controlText(c, VFS_IOCTL_SET_JOLIET_SYSTEM_IDENTIFIER + rank, value);
    if (auto written = controlReadText(c, VFS_IOCTL_GET_JOLIET_SYSTEM_IDENTIFIER + rank))
        storeQuietly(self, OPT_JOLIET_FIRST_IDENTIFIER + rank, *written);
    // One label for all file systems: the ISO identifier follows the Joliet one.
    if (boolean(c, OPT_USE_DEFAULT_LABEL))
        pushIsoIdentifier(self, rank, value);
}

// Pushes one option's value to the file system, as its handler does.
void push(DataDiscCompilation *self, gint32 id) noexcept
{
    Compilation *c = &self->parent;
    if (!c->fileSystem || !c->options)
        return;
    if (id == kSemicolonsSetting) {
        if (GlobalSettingsOptionsDatabase)
            control(c, VFS_IOCTL_SET_SEMICOLONS_ALLOWED_IN_JOLIET,
                    oneOrZero(OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase,
                                                                    kGlobalSemicolonsId) == 1));
        return;
    }
    if (id >= OPT_ISO_FIRST_IDENTIFIER && id <= OPT_ISO_LAST_IDENTIFIER) {
        pushIsoIdentifier(self, id - OPT_ISO_FIRST_IDENTIFIER, text(c, id));
        return;
    }
    if (id >= OPT_JOLIET_FIRST_IDENTIFIER && id <= OPT_JOLIET_LAST_IDENTIFIER) {
        pushJolietIdentifier(self, id - OPT_JOLIET_FIRST_IDENTIFIER);
        return;
    }
    switch (id) {
    case COMPILATION_OPTION_MEDIUM_TYPE:
        control(c, VFS_IOCTL_SET_MEDIUM_TYPE, static_cast<gint32>(integer(c, id)));
        break;
    case COMPILATION_OPTION_MULTISESSION_TYPE: {
        const gint32 type = withinOr(integer(c, id), MULTISESSION_START, MULTISESSION_CONTINUE, MULTISESSION_NONE);
        control(c, VFS_IOCTL_SET_MULTISESSION_TYPE, type);
        // A DVD-Video disc is written in one session, whatever the option says.
        c->singleSession = c->type == COMPILATION_TYPE_DVD_VIDEO ? 1 : oneOrZero(type == MULTISESSION_NONE);
        break;
    }
    case OPT_BOOTABLE_DRIVE: {
        const gint64 drive = integer(c, id);
        if (integer(c, COMPILATION_OPTION_BOOT_SOURCE) == 0 && drive >= 0) {
            OwnedText path(g_strdup_printf("/dev/fd%d", static_cast<int>(drive)));
            controlText(c, VFS_IOCTL_SET_BOOT_IMAGE_FILE_PATH, path.get());
        }
        break;
    }
    case OPT_BOOT_IMAGE:
        if (integer(c, COMPILATION_OPTION_BOOT_SOURCE) == 1)
            controlText(c, VFS_IOCTL_SET_BOOT_IMAGE_FILE_PATH, text(c, id));
        break;
    case OPT_BOOT_LOCALE:
        control(c, VFS_IOCTL_SET_BOOT_LOCALE, withinOr(integer(c, id), 0, 19, 3));
        break;
    case OPT_BOOT_EXPERT:
        control(c, VFS_IOCTL_SET_BOOT_EXPERT_FEATURES, oneOrZero(boolean(c, id)));
        break;
    case OPT_BOOT_EMULATION:
        control(c, VFS_IOCTL_SET_BOOT_EMULATION_TYPE, withinOr(integer(c, id), 0, 4, 0));
        break;
    case OPT_BOOT_MESSAGE:
        controlText(c, VFS_IOCTL_SET_BOOT_MESSAGE, text(c, id));
        break;
    case OPT_BOOT_SEGMENT:
        control16(c, VFS_IOCTL_SET_BOOT_LOAD_SEGMENT, integer(c, id));
        break;
    case OPT_BOOT_SECTORS:
        control16(c, VFS_IOCTL_SET_BOOT_LOAD_SECTORS_COUNT, integer(c, id));
        break;
    case OPT_ISO_DATA_MODE:
        control(c, VFS_IOCTL_SET_MODE2_XA, oneOrZero(integer(c, id) == 1));
        break;
    case COMPILATION_OPTION_ISO_REVISION:
        if (c->type == COMPILATION_TYPE_ISO)
            pushRevision(c, integer(c, id));
        break;
    case COMPILATION_OPTION_BRIDGE_ISO_REVISION:
        if (c->type == COMPILATION_TYPE_UDF_ISO_BRIDGE)
            pushRevision(c, integer(c, id));
        break;
    case OPT_ISO_LEVEL:
        control(c, VFS_IOCTL_SET_ISO_LEVEL, oneOrZero(integer(c, id) == 1));
        break;
    case OPT_ISO_CHARSET:
        control(c, VFS_IOCTL_SET_CHARSET, oneOrZero(integer(c, id) == 1));
        break;
    case OPT_ROCK_RIDGE:
        control(c, VFS_IOCTL_SET_ROCK_RIDGE, oneOrZero(boolean(c, id)));
        break;
    case OPT_DEEPER_THAN_8:
        control(c, VFS_IOCTL_SET_DEEPER_THAN_8, oneOrZero(boolean(c, id)));
        break;
    case OPT_LONG_PATHS:
        control(c, VFS_IOCTL_SET_MORE_THAN_255_CHARS, oneOrZero(boolean(c, id)));
        break;
    case OPT_NO_VERSION_EXTENSION:
        control(c, VFS_IOCTL_SET_ISO_VERSION_ADDITION, oneOrZero(!boolean(c, id)));
        break;
    case OPT_LONG_JOLIET_NAMES:
        control(c, VFS_IOCTL_SET_RELAX_JOLIET, oneOrZero(boolean(c, id)));
        break;
    case OPT_UDF_OPTION:
        control(c, VFS_IOCTL_SET_UDF_OPTION, withinOr(integer(c, id), 1, 2, 0));
        break;
    case OPT_UDF_PARTITION:
        control(c, VFS_IOCTL_SET_UDF_PARTITION_TYPE, withinOr(integer(c, id), 1, 2, 0));
        break;
    case OPT_UDF_REVISION:
        control(c, VFS_IOCTL_SET_UDF_STANDARD, withinOr(integer(c, id), 0, 5, 0));
        break;
    case OPT_DEFAULT_LABEL:
        if (boolean(c, OPT_USE_DEFAULT_LABEL)) {
            const std::string label = text(c, id);
            controlText(c, VFS_IOCTL_SET_ISO_VOLUME_LABEL, label);
            controlText(c, VFS_IOCTL_SET_JOLIET_VOLUME_LABEL, label);
            if (boolean(c, COMPILATION_OPTION_HAS_UDF_VOLUME))
                controlText(c, VFS_IOCTL_SET_UDF_VOLUME_LABEL, label);
        }
        break;
    case OPT_ISO_LABEL:
    case OPT_JOLIET_LABEL:
    case OPT_UDF_LABEL:
        if (!boolean(c, OPT_USE_DEFAULT_LABEL)) {
            const gint code = id == OPT_ISO_LABEL      ? VFS_IOCTL_SET_ISO_VOLUME_LABEL
                              : id == OPT_JOLIET_LABEL ? VFS_IOCTL_SET_JOLIET_VOLUME_LABEL
                                                       : VFS_IOCTL_SET_UDF_VOLUME_LABEL;
            controlText(c, code, text(c, id));
        }
        break;
    case OPT_CREATION_DATE:
    case OPT_CREATION_TIME:
    case OPT_MODIFICATION_DATE:
    case OPT_MODIFICATION_TIME:
    case OPT_SET_CREATION_DATES:
        pushVolumeDates(c, OPT_SET_CREATION_DATES, VFS_IOCTL_SET_VOLUME_CREATION_DATE, OPT_CREATION_DATE);
        break;
    case OPT_EFFECTIVE_DATE:
    case OPT_EFFECTIVE_TIME:
    case OPT_EXPIRATION_DATE:
    case OPT_EXPIRATION_TIME:
    case OPT_SET_EFFECTIVE_DATES:
        pushVolumeDates(c, OPT_SET_EFFECTIVE_DATES, VFS_IOCTL_SET_VOLUME_EFFECTIVE_DATE, OPT_EFFECTIVE_DATE);
        break;
    case OPT_FILES_DATE:
        control(c, VFS_IOCTL_SET_FILES_DATE_TYPE, withinOr(integer(c, id), 1, 2, 0));
        // The fixed date only counts with the fixed type: it must follow the switch.
        pushFixedFilesDate(c);
        break;
    case OPT_FIXED_FILES_DATE:
    case OPT_FIXED_FILES_TIME:
        pushFixedFilesDate(c);
        break;
    case OPT_CACHE_FILES:
        control(c, VFS_IOCTL_SET_CACHE_FILES_FROM_DISK_OR_NETWORK, oneOrZero(boolean(c, id)));
        break;
    case OPT_CACHE_SMALL_FILES:
        control(c, VFS_IOCTL_SET_CACHE_SMALL_FILES, oneOrZero(boolean(c, id)));
        break;
    case OPT_SMALL_FILES_LIMIT_KB: {
        gint64 bytes = integer(c, id) * 1024;
        VFS_IoControl(c->fileSystem, VFS_IOCTL_SET_SMALL_FILES_SIZE_LIMIT, &bytes);
        break;
    }
    default:
        break;
    }
}

void onOptionChanged(VornOption *, gpointer data) noexcept
{
    auto *binding = static_cast<OptionBinding *>(data);
    push(binding->self, binding->id);
}

void bind(DataDiscCompilation *self, OptionsDatabase *database, gint32 optionId, gint32 bindingId)
{
    VornOption *option = database ? OptionsDatabase_GetOptionFromID(database, optionId) : nullptr;
    if (!option)
        return;
    auto binding = std::make_unique<OptionBinding>();
    binding->self = self;
    binding->id = bindingId;
    binding->option = static_cast<VornOption *>(g_object_ref(option));
    binding->handler =
        g_signal_connect(option, "vorn_value_changed", G_CALLBACK(onOptionChanged), binding.get());
    self->priv->bindings.push_back(std::move(binding));
}

void unbindAll(DataDiscCompilation *self) noexcept
{
    if (!self->priv)
        return;
    for (auto &binding : self->priv->bindings) {
        g_signal_handler_disconnect(binding->option, binding->handler);
        g_object_unref(binding->option);
    }
    self->priv->bindings.clear();
}

// The file system renamed the root, or a label was set: read the labels it
// now holds back into their options.
void onVolumeLabelChanged(VirtualFileSystem *, gint selector, gpointer data) noexcept
{
    auto *self = static_cast<DataDiscCompilation *>(data);
    Compilation *c = &self->parent;
    const bool all = selector == 0 || selector == 3;
    const bool isoOnly = selector == 1 || selector == 2;
    if (!all && !isoOnly)
        return;
    try {
        if (auto label = controlReadText(c, VFS_IOCTL_GET_ISO_VOLUME_LABEL))
            storeQuietly(self, OPT_ISO_LABEL, *label);
        if (all) {
            if (auto label = controlReadText(c, VFS_IOCTL_GET_JOLIET_VOLUME_LABEL))
                storeQuietly(self, OPT_JOLIET_LABEL, *label);
            if (auto label = controlReadText(c, VFS_IOCTL_GET_UDF_VOLUME_LABEL))
                storeQuietly(self, OPT_UDF_LABEL, *label);
        }
        if (boolean(c, OPT_USE_DEFAULT_LABEL)) {
            const gint code = boolean(c, COMPILATION_OPTION_HAS_UDF_VOLUME) ? VFS_IOCTL_GET_UDF_VOLUME_LABEL
                              : integer(c, COMPILATION_OPTION_ISO_REVISION) != 0 ? VFS_IOCTL_GET_JOLIET_VOLUME_LABEL
                                                                                  : VFS_IOCTL_GET_ISO_VOLUME_LABEL;
            if (auto label = controlReadText(c, code))
                storeQuietly(self, OPT_DEFAULT_LABEL, *label);
        }
    } catch (...) {
        // Out of memory while copying a label: the options keep the old text.
    }
}

// Copies the CompilationTypes options [first, first + count) into the
// compilation's options from `to` on.
void copyRange(Compilation *compilation, OptionsDatabase *source, gint32 first, gint32 count, gint32 to) noexcept
{
    for (gint32 i = 0; i < count; ++i)
        CompilationOptions_Copy(compilation->options, to + i, source, first + i);
}

void copyDefaults(Compilation *compilation, gint32 from, gint32 to) noexcept
{
    copyRange(compilation, CompilationTypesOptionsDatabase, from, 1, to);
}

// Options whose copied default may equal the value they had: their handler
// did not run, so the set-up pushes them itself.
void pushAll(Compilation *compilation, std::initializer_list<gint32> ids) noexcept
{
    for (gint32 id : ids)
        push(asDataDisc(compilation), id);
}

void setUpIso(Compilation *compilation) noexcept
{
    OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_HAS_ISO_VOLUME, 1);
    copyDefaults(compilation, COMPILATION_TYPES_ISO_DATA_MODE, 35);
    copyDefaults(compilation, 20, 37);
    copyDefaults(compilation, 21, 38);
    copyRange(compilation, CompilationTypesOptionsDatabase, 22, 5, 39);
    // The bridge keeps its own ISO revision default.
    if (compilation->type == COMPILATION_TYPE_UDF_ISO_BRIDGE)
        copyDefaults(compilation, COMPILATION_TYPES_BRIDGE_ISO_REVISION, COMPILATION_OPTION_BRIDGE_ISO_REVISION);
    else
        copyDefaults(compilation, COMPILATION_TYPES_ISO_REVISION, COMPILATION_OPTION_ISO_REVISION);
    pushAll(compilation, {OPT_ISO_DATA_MODE, OPT_ISO_LEVEL, OPT_ISO_CHARSET, OPT_ROCK_RIDGE, OPT_DEEPER_THAN_8,
                          OPT_LONG_PATHS, OPT_NO_VERSION_EXTENSION, OPT_LONG_JOLIET_NAMES});
    if (compilation->type == COMPILATION_TYPE_ISO)
        push(asDataDisc(compilation), COMPILATION_OPTION_ISO_REVISION);
    else if (compilation->type == COMPILATION_TYPE_UDF_ISO_BRIDGE)
        push(asDataDisc(compilation), COMPILATION_OPTION_BRIDGE_ISO_REVISION);
}

void setUpUdf(Compilation *compilation) noexcept
{
    OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_HAS_UDF_VOLUME, 1);
    copyDefaults(compilation, 28, 45);
    copyDefaults(compilation, 30, 47);
    copyDefaults(compilation, 31, 48);
    pushAll(compilation, {OPT_UDF_OPTION, OPT_UDF_PARTITION, OPT_UDF_REVISION});
}

void setUpMultisession(Compilation *compilation) noexcept
{
    copyDefaults(compilation, COMPILATION_TYPES_DEFAULT_MULTISESSION, COMPILATION_OPTION_MULTISESSION_TYPE);
    push(asDataDisc(compilation), COMPILATION_OPTION_MULTISESSION_TYPE);
    // A disc that starts a multisession set must stay open for the next session.
    if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) ==
        MULTISESSION_START)
        OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_FINALIZE, 0);
}

// The image file and the message are strings: copying them always runs their
// handlers, so they need no push of their own.
void setUpBoot(Compilation *compilation) noexcept
{
    copyRange(compilation, CompilationTypesOptionsDatabase, COMPILATION_TYPES_BOOT_SOURCE, 9,
              COMPILATION_OPTION_BOOT_SOURCE);
    pushAll(compilation, {OPT_BOOTABLE_DRIVE, OPT_BOOT_LOCALE, OPT_BOOT_EXPERT, OPT_BOOT_EMULATION,
                          OPT_BOOT_SEGMENT, OPT_BOOT_SECTORS});
}

void setUpLabels(Compilation *compilation) noexcept
{
    copyDefaults(compilation, 35, 51);
    copyDefaults(compilation, 55, 69);
    copyDefaults(compilation, 45, 60);
    copyDefaults(compilation, 33, 50);
    copyDefaults(compilation, 32, 49);
    copyRange(compilation, CompilationTypesOptionsDatabase, 37, 8, 52);
    copyRange(compilation, CompilationTypesOptionsDatabase, 47, 7, 61);
    copyDefaults(compilation, 54, 68);
}

void setUpDates(Compilation *compilation) noexcept
{
    OptionsDatabase *dynamic = CompilationTypesDynamicOptionsDatabase;
    copyRange(compilation, dynamic, 9, 4, 70);
    copyRange(compilation, dynamic, 17, 1, 78);
    copyRange(compilation, dynamic, 13, 4, 74);
    copyRange(compilation, dynamic, 18, 1, 79);
    copyRange(compilation, dynamic, 19, 3, 80);
    pushAll(compilation, {OPT_SET_CREATION_DATES, OPT_SET_EFFECTIVE_DATES, OPT_FILES_DATE});
}

void setUpCaching(Compilation *compilation) noexcept
{
    copyRange(compilation, CompilationTypesOptionsDatabase, 57, 3, 83);
    pushAll(compilation, {OPT_CACHE_FILES, OPT_CACHE_SMALL_FILES, OPT_SMALL_FILES_LIMIT_KB});
}

bool isCdOrDvd(guint32 medium)
{
    return medium == COMPILATION_MEDIUM_CD || medium == COMPILATION_MEDIUM_DVD;
}

Compilation *newCompilation(gint32 type) noexcept
{
    auto *compilation = static_cast<Compilation *>(g_object_new(VORN_TYPE_DATA_DISC_COMPILATION, nullptr));
    compilation->type = type;
    compilation->operations.GetBurnFormat = [](Compilation *) noexcept -> guint32 { return VORN_BURN_MAGIC; };
    DataDiscBurn_InstallOperations(compilation);
    return compilation;
}

// The medium last: setting it names the compilation. Then the widget, and the
// project starts saved so that an untouched new compilation asks nothing at exit.
Compilation *finish(Compilation *compilation, guint32 medium, guint32 allowedMedia, bool withWidget) noexcept
{
    const guint32 kept = (medium & allowedMedia) ? medium : COMPILATION_MEDIUM_CD;
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MEDIUM_TYPE, kept);
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_ALLOWED_MEDIA, allowedMedia);
    control(compilation, VFS_IOCTL_SET_MEDIUM_TYPE, static_cast<gint32>(kept));
    if (withWidget)
        Compilation_CreateWidget(compilation);
    Compilation_SetCompilationSaved(compilation);
    return compilation;
}

// Asks which files to refresh and keeps the answer in options 12-15. The
// refresh itself runs on a worker thread of the file system.
void refreshCompilation(Compilation *compilation, gpointer parent) noexcept
{
    const DataDiscRefreshDialogRunner runner = refreshDialogRunner.load();
    if (!runner || !IS_VORN_DATA_DISC_COMPILATION(compilation))
        return;
    gint32 *fields[4];
    DataDiscRefreshChoices choices{};
    fields[0] = &choices.refreshFiles;
    fields[1] = &choices.refreshAllFiles;
    fields[2] = &choices.removeDeleted;
    fields[3] = &choices.addNewFiles;
    for (gint32 i = 0; i < 4; ++i)
        *fields[i] = oneOrZero(boolean(compilation, OPT_REFRESH_FILES + i));
    if (runner(compilation, parent, &choices) != 1)
        return;
    for (gint32 i = 0; i < 4; ++i)
        OptionsDatabase_SetBooleanOptionValue(compilation->options, OPT_REFRESH_FILES + i, oneOrZero(*fields[i] != 0));
    debugger_DummyOut("Refresh chosen: files %d, all %d, remove deleted %d, add new %d\n", choices.refreshFiles,
                      choices.refreshAllFiles, choices.removeDeleted, choices.addNewFiles);
}

}  // namespace

G_DEFINE_TYPE(DataDiscCompilation, data_disc_compilation, VORN_TYPE_COMPILATION)

GType DataDiscCompilation_GetType(void) noexcept
{
    return data_disc_compilation_get_type();
}

static void data_disc_compilation_init(DataDiscCompilation *self)
{
    Compilation *compilation = &self->parent;
    self->priv = new DataDiscCompilationPrivate{};
    compilation->localFileSystem = LinuxFileSystem_New();
    compilation->fileSystem = DataDiscFileSystem_New(compilation->localFileSystem);
    compilation->operations.RefreshCompilation = refreshCompilation;
    if (!compilation->fileSystem)
        return;
    self->fileSystemChangedHandler = g_signal_connect(compilation->fileSystem, "vorn_file_system_changed",
                                                      G_CALLBACK(onFileSystemChanged), compilation);
    self->volumeLabelChangedHandler = g_signal_connect(compilation->fileSystem, "vorn_volume_label_changed",
                                                       G_CALLBACK(onVolumeLabelChanged), self);
    for (gint32 id : kPushedOptions)
        bind(self, compilation->options, id, id);
    bind(self, GlobalSettingsOptionsDatabase, kGlobalSemicolonsId, kSemicolonsSetting);
    push(self, COMPILATION_OPTION_MEDIUM_TYPE);
    push(self, kSemicolonsSetting);
}

static void data_disc_compilation_dispose(GObject *object)
{
    auto *self = reinterpret_cast<DataDiscCompilation *>(object);
    // Others may hold the file system and the global settings longer than
    // this compilation lives.
    unbindAll(self);
    if (self->fileSystemChangedHandler) {
        g_signal_handler_disconnect(self->parent.fileSystem, self->fileSystemChangedHandler);
        self->fileSystemChangedHandler = 0;
    }
    if (self->volumeLabelChangedHandler) {
        g_signal_handler_disconnect(self->parent.fileSystem, self->volumeLabelChangedHandler);
        self->volumeLabelChangedHandler = 0;
    }
    G_OBJECT_CLASS(data_disc_compilation_parent_class)->dispose(object);
}

static void data_disc_compilation_finalize(GObject *object)
{
    auto *self = reinterpret_cast<DataDiscCompilation *>(object);
    unbindAll(self);
    delete self->priv;
    self->priv = nullptr;
    G_OBJECT_CLASS(data_disc_compilation_parent_class)->finalize(object);
}

static void data_disc_compilation_class_init(DataDiscCompilationClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = data_disc_compilation_dispose;
    G_OBJECT_CLASS(klass)->finalize = data_disc_compilation_finalize;
}

Compilation *DataDiscCompilation_NewIsoDataDisc(guint32 medium) noexcept
{
    if (!isCdOrDvd(medium))
        return nullptr;
    Compilation *compilation = newCompilation(COMPILATION_TYPE_ISO);
    setUpIso(compilation);
    setUpMultisession(compilation);
    setUpLabels(compilation);
    setUpDates(compilation);
    setUpCaching(compilation);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_ISO);
    control(compilation, VFS_IOCTL_SET_BOOTABLE_ISO_COMPILATION, 0);
    return finish(compilation, medium, COMPILATION_MEDIUM_CD_DVD, true);
}

Compilation *DataDiscCompilation_NewUdfDataDisc(guint32 medium) noexcept
{
    Compilation *compilation = newCompilation(COMPILATION_TYPE_UDF);
    setUpUdf(compilation);
    setUpMultisession(compilation);
    setUpLabels(compilation);
    setUpDates(compilation);
    setUpCaching(compilation);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_UDF);
    control(compilation, VFS_IOCTL_SET_BOOTABLE_ISO_COMPILATION, 0);
    return finish(compilation, medium, COMPILATION_MEDIUM_ALL, true);
}

Compilation *DataDiscCompilation_NewUdfIsoBridgeDataDisc(guint32 medium) noexcept
{
    if (!isCdOrDvd(medium))
        return nullptr;
    Compilation *compilation = newCompilation(COMPILATION_TYPE_UDF_ISO_BRIDGE);
    setUpIso(compilation);
    setUpUdf(compilation);
    setUpMultisession(compilation);
    setUpLabels(compilation);
    setUpDates(compilation);
    setUpCaching(compilation);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_BRIDGE);
    control(compilation, VFS_IOCTL_SET_BOOTABLE_ISO_COMPILATION, 0);
    return finish(compilation, medium, COMPILATION_MEDIUM_CD_DVD, true);
}

Compilation *DataDiscCompilation_NewBootableDisc(guint32 medium) noexcept
{
    if (!isCdOrDvd(medium))
        return nullptr;
    Compilation *compilation = newCompilation(COMPILATION_TYPE_BOOTABLE);
    setUpBoot(compilation);
    setUpIso(compilation);
    setUpLabels(compilation);
    setUpDates(compilation);
    setUpCaching(compilation);
    // A boot disc is written in one session.
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                          MULTISESSION_NONE);
    push(asDataDisc(compilation), COMPILATION_OPTION_MULTISESSION_TYPE);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_ISO);
    control(compilation, VFS_IOCTL_SET_BOOTABLE_ISO_COMPILATION, 1);
    control(compilation, VFS_IOCTL_SET_BOOT_SOURCE, 0);
    return finish(compilation, medium, COMPILATION_MEDIUM_CD_DVD, true);
}

Compilation *DataDiscCompilation_NewVideoDisc(guint32 medium) noexcept
{
    if (!isCdOrDvd(medium))
        return nullptr;
    Compilation *compilation = newCompilation(COMPILATION_TYPE_DVD_VIDEO);
    OptionsDatabase *options = compilation->options;
    compilation->singleSession = 1;
    setUpIso(compilation);
    setUpUdf(compilation);
    setUpLabels(compilation);
    setUpDates(compilation);
    setUpCaching(compilation);
    // Players read plain ISO 9660 level 1 beside UDF 1.02: no revision, no
    // Joliet, no Rock Ridge, one closed session.
    OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_ISO_REVISION, 0);
    OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_BRIDGE_ISO_REVISION, 0);
    OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_MULTISESSION_TYPE, MULTISESSION_NONE);
    push(asDataDisc(compilation), COMPILATION_OPTION_MULTISESSION_TYPE);
    OptionsDatabase_SetBooleanOptionValue(options, COMPILATION_OPTION_FINALIZE, 1);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_BRIDGE);
    control(compilation, VFS_IOCTL_SET_DVD_VIDEO_COMPILATION, 1);
    control(compilation, VFS_IOCTL_SET_DVD_VIDEO_REALLOCATION, 1);
    control(compilation, VFS_IOCTL_SET_BOOTABLE_ISO_COMPILATION, 0);
    control(compilation, VFS_IOCTL_SET_ENHANCED_VOLUME, 0);
    control(compilation, VFS_IOCTL_SET_JOLIET, 0);
    control(compilation, VFS_IOCTL_SET_ROCK_RIDGE, 0);
    control(compilation, VFS_IOCTL_SET_UDF_STANDARD, 0);
    control(compilation, VFS_IOCTL_SET_UDF_PARTITION_TYPE, 0);
    for (const char *folder : {"AUDIO_TS", "VIDEO_TS"}) {
        // Part of the disc's shape, not an edit the user could undo.
        VfsDirectoryEntry *entry = VFS_CreateDirectoryEx(compilation->fileSystem, "/", folder, nullptr, nullptr, 0,
                                                         0, 0, 0, 1, 0, 0, 0);
        VFS_FreeDirectoryEntry(entry);
    }
    return finish(compilation, medium, COMPILATION_MEDIUM_CD_DVD, true);
}

Compilation *DataDiscCompilation_NewMixedModeDisc(void) noexcept
{
    Compilation *compilation = newCompilation(COMPILATION_TYPE_ISO);
    setUpIso(compilation);
    setUpMultisession(compilation);
    setUpLabels(compilation);
    setUpDates(compilation);
    setUpCaching(compilation);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_ISO);
    return finish(compilation, COMPILATION_MEDIUM_CD, COMPILATION_MEDIUM_CD_DVD, false);
}

namespace {

const char *fileSystemKindName(gint32 kind)
{
    switch (kind) {
    case KIND_UDF: return "UDF";
    case KIND_BRIDGE: return "UDF/ISO bridge";
    default: return "ISO";
    }
}

// The medium family of the disc in a drive, as option 7 holds it.
guint32 mediumFamily(guint32 medium)
{
    if (medium & COMPILATION_MEDIUM_CD)
        return COMPILATION_MEDIUM_CD;
    if (medium & COMPILATION_MEDIUM_DVD)
        return COMPILATION_MEDIUM_DVD;
    if (medium & COMPILATION_MEDIUM_BD)
        return COMPILATION_MEDIUM_BD;
    return 0;
}

struct DeviceCloser {
    void operator()(VornDevice *device) const noexcept { VornCloseDevice(device); }
};
using OpenDevice = std::unique_ptr<VornDevice, DeviceCloser>;

// Asks whether the document type may follow the track's file system.
bool userAcceptsFileSystemChange(gint32 requested, gint32 current, gpointer parent)
{
    const gchar *format = _("The selected track uses a different file system (%s) from the document type (%s) you "
                            "have selected. Do you want <APPNAME> to change the document type for you?");
    OwnedText withName(Utils_ReplaceAppname(format));
    OwnedText question(g_strdup_printf(withName.get(), fileSystemKindName(requested), fileSystemKindName(current)));
    OwnedText markup(g_markup_escape_text(question.get(), -1));
    std::optional<vorn::dialogs::RoleScope> role;
    if (vorn::dialogs::currentRole().empty())
        role.emplace("import-change-file-system");
    return VornKit_DialogBox_ModalQuestionDialog(markup.get(), nullptr, nullptr, static_cast<GtkWidget *>(parent),
                                                 0) == VORNKIT_RESPONSE_YES;
}

gint32 importPreviousSession(Compilation *compilation, const VornDeviceEntry *device, gint32 trackNumber,
                             guint32 kinds, gpointer parent)
{
    if (!IS_VORN_DATA_DISC_COMPILATION(compilation) || compilation->type < COMPILATION_TYPE_ISO ||
        compilation->type > COMPILATION_TYPE_UDF_ISO_BRIDGE)
        return DATA_DISC_IMPORT_REFUSED_NOT_DATA;
    if (!device || device->hostAdapter == VORN_IMAGE_RECORDER_HA ||
        (device->capabilities & VORN_CAP_IMAGE_RECORDER) || device->type != VORN_DEVICE_TYPE_RECORDER)
        return DATA_DISC_IMPORT_REFUSED_DEVICE;
    OpenDevice recorder(VornOpenDevice(device));
    if (!recorder)
        return DATA_DISC_IMPORT_REFUSED_DEVICE;

    gint32 result = 0;
    if (trackNumber != -1) {
        const gint32 current = controlRead(compilation, VFS_IOCTL_GET_UDF_SUPPORT_TYPE);
        gint32 requested;
        gint32 type;
        gint32 switched;
        switch (kinds) {
        case DATA_DISC_IMPORT_KIND_ISO:
            requested = KIND_ISO, type = COMPILATION_TYPE_ISO, switched = DATA_DISC_IMPORT_SWITCHED_TO_ISO;
            break;
        case DATA_DISC_IMPORT_KIND_BRIDGE:
            requested = KIND_BRIDGE, type = COMPILATION_TYPE_UDF_ISO_BRIDGE,
            switched = DATA_DISC_IMPORT_SWITCHED_TO_BRIDGE;
            break;
        case DATA_DISC_IMPORT_KIND_UDF:
            requested = KIND_UDF, type = COMPILATION_TYPE_UDF, switched = DATA_DISC_IMPORT_SWITCHED_TO_UDF;
            break;
        default:
            return DATA_DISC_IMPORT_REFUSED_NO_KIND;
        }
        if (requested != current) {
            if (!userAcceptsFileSystemChange(requested, current, parent))
                return DATA_DISC_IMPORT_REFUSED_BY_USER;
            control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, requested);
            compilation->type = type;
            // The volumes the compilation has follow its new type, so that
            // labels are read from the right one.
            OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_HAS_ISO_VOLUME,
                                                  oneOrZero(requested != KIND_UDF));
            OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_HAS_UDF_VOLUME,
                                                  oneOrZero(requested != KIND_ISO));
            result |= switched;
        }
    }

    DataDiscImportTrackArguments import{};
    import.recorder = recorder.get();
    import.trackIndex = trackNumber == -1 ? -1 : trackNumber - 1;
    VFS_IoControl(compilation->fileSystem, VFS_IOCTL_IMPORT_TRACK, &import);

    if (import.result == 1) {
        const auto kept = static_cast<guint32>(integer(compilation, COMPILATION_OPTION_MEDIUM_TYPE));
        const guint32 inDrive = VornGetCurrentMediumType(recorder.get());
        guint32 medium = kept;
        if (!(kept & inDrive)) {
            medium = mediumFamily(inDrive);
            OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MEDIUM_TYPE, medium);
            result |= DATA_DISC_IMPORT_MEDIUM_CHANGED;
        }
        OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_ALLOWED_MEDIA, medium);
        char *stamp = VornGetCDStampHash(recorder.get());
        OptionsDatabase_SetStringOptionValue(compilation->options, OPT_IMPORTED_STAMP, stamp ? stamp : "");
        VornFreeMem(stamp);
        OptionsDatabase_SetIntegerOptionValue(compilation->options, OPT_IMPORTED_TRACK, trackNumber);
        result |= DATA_DISC_IMPORT_IMPORTED;
        debugger_DummyOut("Import successful\n");
    } else {
        result |= DATA_DISC_IMPORT_FAILED;
        debugger_DummyOut("Import failed\n");
    }
    return result;
}

}  // namespace

gint32 DataDiscCompilation_ImportPreviousSession(Compilation *compilation, const VornDeviceEntry *device,
                                                 gint32 trackNumber, guint32 kinds, gpointer parent) noexcept
{
    try {
        return importPreviousSession(compilation, device, trackNumber, kinds, parent);
    } catch (...) {
        return DATA_DISC_IMPORT_FAILED;
    }
}

gint32 DataDiscCompilation_GetJolietMaxLimitCharacters(Compilation *compilation) noexcept
{
    if (!IS_VORN_DATA_DISC_COMPILATION(compilation))
        return 0;
    const gint32 kind = controlRead(compilation, VFS_IOCTL_GET_UDF_SUPPORT_TYPE);
    if (kind == KIND_UDF || (kind == KIND_BRIDGE && controlRead(compilation, VFS_IOCTL_GET_JOLIET) == 0))
        return 127;
    if (controlRead(compilation, VFS_IOCTL_GET_ENHANCED_VOLUME) == 1)
        return 207;
    if (controlRead(compilation, VFS_IOCTL_GET_RELAX_JOLIET) != 0)
        return 101;
    return 64;
}

DataDiscRefreshDialogRunner DataDiscCompilation_SetRefreshDialogRunner(DataDiscRefreshDialogRunner runner) noexcept
{
    return refreshDialogRunner.exchange(runner);
}
