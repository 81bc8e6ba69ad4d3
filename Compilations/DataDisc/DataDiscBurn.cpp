#include "DataDiscBurn.h"

#include "BurnProcessWidget.h"
#include "CompilationOptions.h"
#include "DataDiscCompilation.h"
#include "DataDiscFileSystem.h"
#include "Debugger.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "Filenames.h"
#include "LaterParts.h"
#include "VfsIoControlCodes.h"

#include <glib/gi18n.h>

#include <atomic>
#include <memory>
#include <string>

namespace {

constexpr gint32 kBootImagePath = 27;
constexpr gint32 kImportedStamp = 10;
constexpr gint32 kImportedTrack = 11;
constexpr gint32 kAllowDeeperThan8 = 40;
constexpr gint32 kAllowLongPaths = 41;
constexpr gint32 kBootSourceImageFile = 1;
constexpr gint32 kIsoDataMode = 35;

std::atomic<DataDiscPathTestRunner> pathTestRunner{nullptr};

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

struct PathList {
    GList *list = nullptr;
    ~PathList() { ThreadedOperations_FreePathList(list); }
};

bool isImageRecorder(const VornDeviceEntry *device)
{
    return device && (device->capabilities & VORN_CAP_IMAGE_RECORDER);
}

GtkWidget *asWidget(gpointer parent)
{
    return static_cast<GtkWidget *>(parent);
}

bool bootImageMissing(Compilation *compilation, gpointer parent)
{
    if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_BOOT_SOURCE) !=
        kBootSourceImageFile)
        return false;
    OwnedText path(OptionsDatabase_GetStringOptionValue(compilation->options, kBootImagePath));
    if (path && *path && g_file_test(path.get(), G_FILE_TEST_IS_REGULAR))
        return false;
    OwnedText base(g_path_get_basename(path && *path ? path.get() : ""));
    OwnedText display(Filenames_GetDisplayString(base.get()));
    OwnedText escaped(g_markup_escape_text(display ? display.get() : base.get(), -1));
    OwnedText text(g_strdup_printf(_("The boot image file <i>%s</i> does not exists."), escaped.get()));
    vorn::dialogs::RoleScope role("burn-boot-image-missing");
    VornKit_DialogBox_ModalErrorDialog(text.get(), _("Invalid boot image file."), nullptr, asWidget(parent), 0);
    return true;
}

// A disc continued in a new session cannot go to an image file, and every
// copy after the first would find the disc already written.
bool multisessionRefused(Compilation *compilation, const VornDeviceEntry *device, gpointer parent)
{
    if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) !=
        MULTISESSION_CONTINUE)
        return false;
    if (isImageRecorder(device)) {
        vorn::dialogs::RoleScope role("burn-multisession-image-recorder");
        VornKit_DialogBox_ModalErrorDialog(
            _("Sorry, multisession compilations may not be written on an image recorder. Please select a real "
              "recorder or switch off the multisession option of this compilation."),
            nullptr, nullptr, asWidget(parent), 0);
        return true;
    }
    if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_COPIES) < 2)
        return false;
    vorn::dialogs::RoleScope role("burn-multisession-copies");
    const gint answer = VornKit_DialogBox_ModalQuestionDialog(
        _("Sorry, you may only write a single copy of multisession compilations.\nDo you wish to proceed anyway?"),
        nullptr, nullptr, asWidget(parent), 0);
    if (answer != VORNKIT_RESPONSE_YES)
        return true;
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_COPIES, 1);
    return false;
}

std::string joinPaths(GList *paths)
{
    std::string text;
    for (GList *item = paths; item; item = item->next) {
        OwnedText display(Filenames_GetDisplayString(static_cast<const gchar *>(item->data)));
        OwnedText escaped(g_markup_escape_text(display ? display.get() : static_cast<const gchar *>(item->data), -1));
        text += "\n   ";
        text += escaped.get();
    }
    return text;
}

// Without the user interface's path test dialog the same lists go into a
// question: Yes burns anyway.
gint askPathTest(Compilation *, gpointer parent, GList *tooDeep, GList *tooLong) noexcept
{
    std::string text;
    if (tooDeep) {
        text += _("These folders lie deeper than 8 levels:");
        text += joinPaths(tooDeep);
    }
    if (tooLong) {
        if (!text.empty())
            text += "\n\n";
        text += _("These paths are longer than 255 characters:");
        text += joinPaths(tooLong);
    }
    text += "\n\n";
    text += _("Some systems cannot read such a disc. Do you want to burn it anyway?");
    vorn::dialogs::RoleScope role("path-test");
    return VornKit_DialogBox_ModalQuestionDialog(text.c_str(), _("Path test"), nullptr, asWidget(parent), 0) ==
                   VORNKIT_RESPONSE_YES
               ? 1
               : 0;
}

bool pathTestRefused(Compilation *compilation, gpointer parent)
{
    OptionsDatabase *options = compilation->options;
    if (OptionsDatabase_GetBooleanOptionValue(options, COMPILATION_OPTION_HAS_ISO_VOLUME) != 1)
        return false;
    PathList tooDeep, tooLong;
    if (OptionsDatabase_GetBooleanOptionValue(options, kAllowDeeperThan8) != 1)
        VFS_IoControl(compilation->fileSystem, VFS_IOCTL_LIST_FOLDERS_DEEPER_THAN_8, &tooDeep.list);
    if (OptionsDatabase_GetBooleanOptionValue(options, kAllowLongPaths) != 1)
        VFS_IoControl(compilation->fileSystem, VFS_IOCTL_LIST_PATHS_LONGER_THAN_255, &tooLong.list);
    if (!tooDeep.list && !tooLong.list)
        return false;
    DataDiscPathTestRunner runner = pathTestRunner.load();
    if (!runner)
        runner = askPathTest;
    if (runner(compilation, parent, tooDeep.list, tooLong.list) != 1)
        return true;
    if (tooDeep.list)
        OptionsDatabase_SetBooleanOptionValue(options, kAllowDeeperThan8, 1);
    if (tooLong.list)
        OptionsDatabase_SetBooleanOptionValue(options, kAllowLongPaths, 1);
    return false;
}

gint checkBeforeBurn(Compilation *compilation, const VornDeviceEntry *device, gpointer parent) noexcept
{
    try {
        if (bootImageMissing(compilation, parent) || multisessionRefused(compilation, device, parent) ||
            pathTestRefused(compilation, parent))
            return 0;
        return 1;
    } catch (...) {
        return 0;
    }
}

VornDataCompilation *engineCompilation(Compilation *compilation)
{
    if (!compilation->fileSystem || !IS_VORN_DATA_DISC_VFS(compilation->fileSystem))
        return nullptr;
    return VORN_DATA_DISC_VFS(compilation->fileSystem)->compilation;
}

gpointer createWriteDescription(Compilation *compilation) noexcept
{
    VornDataCompilation *engine = engineCompilation(compilation);
    if (!engine)
        return nullptr;
    auto *description = static_cast<VornWriteDescription *>(calloc(1, sizeof(VornWriteDescription)));
    if (!description)
        return nullptr;
    auto *progress = static_cast<VornExtendedProgress *>(compilation->progressObject);
    VornDataCompilation_SetExtendedProgress(engine, progress);
    description->kind = VORN_WRITE_DATA;
    description->compilation = engine;
    description->progress = progress;
    description->copies =
        static_cast<int32_t>(OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_COPIES));
    return description;
}

void freeWriteDescription(gpointer description) noexcept
{
    free(description);
}

// Remembers what the disc can do next, and for a disc left open which disc
// it was, so that the next session is only offered on that disc.
void afterBurn(Compilation *compilation, gint32 burnResult) noexcept
{
    gint32 state = MULTISESSION_NONE;
    if (VFS_IoControl(compilation->fileSystem, VFS_IOCTL_GET_MULTISESSION_TYPE, &state) != 0 || state < 0 ||
        state > MULTISESSION_NONE)
        state = MULTISESSION_NONE;
    if (state != MULTISESSION_NONE)
        CompilationWidget_UpdateItemsMultisessionType(compilation->compilationWidget);
    if (state == MULTISESSION_CONTINUE && burnResult == VORN_BURN_OK) {
        const auto *device = static_cast<const VornDeviceEntry *>(
            OptionsDatabase_GetPointerOptionValue(BurnProcessDynamicOptionsDatabase, 1));
        if (VornDevice *handle = device ? VornOpenDevice(device) : nullptr) {
            char *stamp = VornGetCDStampHash(handle);
            OptionsDatabase_SetStringOptionValue(compilation->options, kImportedStamp, stamp ? stamp : "");
            OptionsDatabase_SetIntegerOptionValue(compilation->options, kImportedTrack, VornGetNumTracks(handle));
            VornFreeMem(stamp);
            VornCloseDevice(handle);
        }
    }
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE, state);
}

const char *widgetTypeText(Compilation *compilation)
{
    switch (compilation->type) {
    case COMPILATION_TYPE_ISO: return _("ISO compilation");
    case COMPILATION_TYPE_UDF: return _("UDF compilation");
    case COMPILATION_TYPE_UDF_ISO_BRIDGE: return _("UDF/ISO compilation");
    case COMPILATION_TYPE_BOOTABLE: return _("Bootable compilation");
    case COMPILATION_TYPE_DVD_VIDEO: {
        const auto medium = static_cast<guint32>(
            OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MEDIUM_TYPE));
        if (medium == COMPILATION_MEDIUM_DVD)
            return _("DVD-Video compilation");
        return medium == COMPILATION_MEDIUM_CD ? _("miniDVD compilation") : "";
    }
    default: return "";
    }
}

// Name, kind and size on the burn widget; a session added to a disc counts
// only its new files.
void setupBurnWidget(Compilation *compilation) noexcept
{
    GtkWidget *widget = compilation->burnProcessWidget;
    if (!widget)
        return;
    OwnedText name(OptionsDatabase_GetStringOptionValue(compilation->options, COMPILATION_OPTION_NAME));
    BurnProcessWidget_SetCompilationName(widget, name ? name.get() : "");
    BurnProcessWidget_SetCompilationType(widget, widgetTypeText(compilation));
    const gint32 type = compilation->type;
    const bool sized = (type >= COMPILATION_TYPE_ISO && type <= COMPILATION_TYPE_BOOTABLE) ||
                       type == COMPILATION_TYPE_DVD_VIDEO;
    if (!sized) {
        BurnProcessWidget_SetCompilationSize(widget, -1, 0);
        return;
    }
    const bool mode1Raw = type != COMPILATION_TYPE_UDF && type != COMPILATION_TYPE_DVD_VIDEO &&
                          OptionsDatabase_GetIntegerOptionValue(compilation->options, kIsoDataMode) == 1;
    const gint64 blockSize = mode1Raw ? 2352 : 2048;
    if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) !=
        MULTISESSION_CONTINUE) {
        guint32 blocks = 0;
        guint64 bytes = 0;
        VFS_IoControl(compilation->fileSystem, VFS_IOCTL_GET_TOTAL_BLOCKS, &blocks);
        VFS_IoControl(compilation->fileSystem, VFS_IOCTL_GET_TOTAL_SIZE, &bytes);
        BurnProcessWidget_SetCompilationSize(widget, static_cast<gint32>(blocks), static_cast<gint64>(bytes));
    } else {
        guint64 bytes = 0;
        VFS_IoControl(compilation->fileSystem, VFS_IOCTL_GET_NEW_FILES_SIZE, &bytes);
        BurnProcessWidget_SetCompilationSize(widget, static_cast<gint32>(static_cast<gint64>(bytes) / blockSize),
                                             static_cast<gint64>(bytes));
    }
}

}  // namespace

void DataDiscBurn_InstallOperations(Compilation *compilation) noexcept
{
    compilation->operations.SetupBurnWidget = setupBurnWidget;
    compilation->operations.CheckBeforeBurn = checkBeforeBurn;
    compilation->operations.CreateWriteDescription = createWriteDescription;
    compilation->operations.FreeWriteDescription = freeWriteDescription;
    compilation->operations.AfterBurn = afterBurn;
}

DataDiscPathTestRunner DataDiscBurn_SetPathTestRunner(DataDiscPathTestRunner runner) noexcept
{
    return pathTestRunner.exchange(runner);
}
