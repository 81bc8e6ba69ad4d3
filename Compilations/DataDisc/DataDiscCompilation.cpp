#include "DataDiscCompilation.h"

#include "CompilationOptions.h"
#include "DataDiscFileSystem.h"
#include "LinuxFileSystem.h"
#include "VfsIoControlCodes.h"

#include <ctime>
#include <initializer_list>

namespace {

// The file-system kinds of the data disc file system.
enum { KIND_ISO = 0, KIND_UDF = 1, KIND_BRIDGE = 2 };

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
}

void setUpUdf(Compilation *compilation) noexcept
{
    OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_HAS_UDF_VOLUME, 1);
    copyDefaults(compilation, 28, 45);
    copyDefaults(compilation, 30, 47);
    copyDefaults(compilation, 31, 48);
}

void setUpMultisession(Compilation *compilation) noexcept
{
    copyDefaults(compilation, COMPILATION_TYPES_DEFAULT_MULTISESSION, COMPILATION_OPTION_MULTISESSION_TYPE);
    // A disc that starts a multisession set must stay open for the next session.
    if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) ==
        MULTISESSION_START)
        OptionsDatabase_SetBooleanOptionValue(compilation->options, COMPILATION_OPTION_FINALIZE, 0);
}

void setUpBoot(Compilation *compilation) noexcept
{
    copyRange(compilation, CompilationTypesOptionsDatabase, COMPILATION_TYPES_BOOT_SOURCE, 9,
              COMPILATION_OPTION_BOOT_SOURCE);
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
}

void setUpCaching(Compilation *compilation) noexcept
{
    copyRange(compilation, CompilationTypesOptionsDatabase, 57, 3, 83);
}

void followMultisessionType(Compilation *compilation) noexcept
{
    compilation->singleSession =
        OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) ==
        MULTISESSION_NONE;
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

}  // namespace

G_DEFINE_TYPE(DataDiscCompilation, data_disc_compilation, VORN_TYPE_COMPILATION)

GType DataDiscCompilation_GetType(void) noexcept
{
    return data_disc_compilation_get_type();
}

static void data_disc_compilation_init(DataDiscCompilation *self)
{
    Compilation *compilation = &self->parent;
    compilation->localFileSystem = LinuxFileSystem_New();
    compilation->fileSystem = DataDiscFileSystem_New(compilation->localFileSystem);
    if (compilation->fileSystem) {
        self->fileSystemChangedHandler = g_signal_connect(compilation->fileSystem, "vorn_file_system_changed",
                                                          G_CALLBACK(onFileSystemChanged), compilation);
    }
}

static void data_disc_compilation_dispose(GObject *object)
{
    auto *self = reinterpret_cast<DataDiscCompilation *>(object);
    // Others may hold the file system longer than this compilation lives.
    if (self->fileSystemChangedHandler) {
        g_signal_handler_disconnect(self->parent.fileSystem, self->fileSystemChangedHandler);
        self->fileSystemChangedHandler = 0;
    }
    G_OBJECT_CLASS(data_disc_compilation_parent_class)->dispose(object);
}

static void data_disc_compilation_class_init(DataDiscCompilationClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = data_disc_compilation_dispose;
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
    followMultisessionType(compilation);
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
    followMultisessionType(compilation);
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
    followMultisessionType(compilation);
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
    followMultisessionType(compilation);
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
    followMultisessionType(compilation);
    control(compilation, VFS_IOCTL_SET_UDF_SUPPORT_TYPE, KIND_ISO);
    return finish(compilation, COMPILATION_MEDIUM_CD, COMPILATION_MEDIUM_CD_DVD, false);
}
