// The engine's questions during a burn, answered with message boxes, the
// wait-for-disc dialog, the image file chooser and the erase window.
//
// Requests arrive on the burn thread. Each dialog is run under the GDK lock,
// held only for the dialog itself; the image file chooser runs on the main
// loop while the burn thread waits, and the erase of a non-empty rewritable
// disc is waited for with the GDK lock released, because the erase worker and
// the main loop both need it.
#include "UserDialogs.h"

#include "Debugger.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "EraseDiscDlg.h"
#include "LaterParts.h"
#include "MessagesFile.h"
#include "OptionsDatabase.h"
#include "VornAPIInterface.h"
#include "WaitForMediaDlg.h"

#include <glib/gi18n.h>
#include <gtk/gtk.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace {

constexpr int kAnswerAborted = VORN_ANSWER_ABORTING;
constexpr int kAnswerNotHandled = -1;
constexpr gint32 kPlayWaitingSound = 13;
constexpr gint32 kWaitingSoundPath = 14;
constexpr gint32 kImageRecorderPath = 5;
constexpr gint32 kParentMainWindow = 2;
constexpr gint32 kCurrentBurningDevice = 1;
constexpr gulong kEraseCheckIntervalUs = 250 * 1000;
constexpr int kUnstartedEraseChecks = 8;

std::atomic<gpointer> burningCompilation{nullptr};
std::atomic<UserDialogsBurnInfoResolver> burnInfoResolver{nullptr};

// The one wait-for-disc dialog; touched only under the GDK lock.
GtkWidget *waitDialog = nullptr;

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

class GdkLock {
public:
    GdkLock() { gdk_threads_enter(); }
    ~GdkLock() { gdk_threads_leave(); }
    GdkLock(const GdkLock &) = delete;
    GdkLock &operator=(const GdkLock &) = delete;
};

UserDialogsBurnInfo burnInfo(gpointer userData, gint waitCode)
{
    UserDialogsBurnInfo info{};
    if (UserDialogsBurnInfoResolver resolver = burnInfoResolver.load(); resolver && userData)
        resolver(userData, waitCode, &info);
    return info;
}

// Engine text in its language file's code page to UTF-8, "?" for what does
// not convert.
std::string engineText(const char *text)
{
    if (!text)
        return {};
    const char *encoding = MessagesFile_pszMessagesEncoding ? MessagesFile_pszMessagesEncoding : "CP1252";
    OwnedText converted(g_convert_with_fallback(text, -1, "UTF-8", encoding, "?", nullptr, nullptr, nullptr));
    if (converted)
        return converted.get();
    return g_utf8_validate(text, -1, nullptr) ? text : std::string(std::strlen(text), '?');
}

const VornDeviceEntry *currentBurningDevice()
{
    if (!BurnProcessDynamicOptionsDatabase)
        return nullptr;
    return static_cast<const VornDeviceEntry *>(
        OptionsDatabase_GetPointerOptionValue(BurnProcessDynamicOptionsDatabase, kCurrentBurningDevice));
}

// Under the GDK lock.
GtkWidget *dialogParent()
{
    if (waitDialog)
        return waitDialog;
    if (!BurnProcessDynamicOptionsDatabase)
        return nullptr;
    auto *window = static_cast<GtkWidget *>(
        OptionsDatabase_GetPointerOptionValue(BurnProcessDynamicOptionsDatabase, kParentMainWindow));
    return window && GTK_IS_WIDGET(window) ? window : nullptr;
}

void playSetting(gint32 flagId, gint32 pathId)
{
    if (OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, flagId) != 1)
        return;
    OwnedText path(OptionsDatabase_GetStringOptionValue(GlobalSettingsOptionsDatabase, pathId));
    if (path && *path)
        PreviewPlayer_PlayFileSilent(nullptr, path.get(), nullptr);
}

// Under the GDK lock.
void destroyWaitDialog()
{
    if (!waitDialog)
        return;
    GtkWidget *dialog = waitDialog;
    waitDialog = nullptr;
    gtk_widget_destroy(dialog);
}

// The wait dialog's Cancel: the burn is aborted as if its abort button had
// been pressed, and every further question answers "aborting".
void onWaitDialogResponse(GtkDialog *dialog, gint response, gpointer) noexcept
{
    if (response != VORNKIT_RESPONSE_CANCEL)
        return;
    gtk_dialog_set_response_sensitive(dialog, VORNKIT_RESPONSE_CANCEL, FALSE);
    VornAPI_SetUserAbort(1);
    UserDialogsBurnInfo info = burnInfo(burningCompilation.load(), 0);
    if (info.progress)
        VornExtendedProgress_SetUserAbort(info.progress, 1);
    if (info.abortButton && GTK_IS_BUTTON(info.abortButton))
        gtk_button_clicked(GTK_BUTTON(info.abortButton));
}

// Under the GDK lock.
GtkWidget *ensureWaitDialog(const VornDeviceEntry *device)
{
    if (!waitDialog) {
        waitDialog = VornKit_WaitForMediaDlg_New(dialogParent());
        if (!waitDialog)
            return nullptr;
        gtk_window_set_modal(GTK_WINDOW(waitDialog), TRUE);
        g_signal_connect(waitDialog, "response", G_CALLBACK(onWaitDialogResponse), nullptr);
        g_signal_connect(waitDialog, "destroy", G_CALLBACK(+[](GtkWidget *w, gpointer) noexcept {
                             if (waitDialog == w)
                                 waitDialog = nullptr;
                         }),
                         nullptr);
        if (device)
            VornKit_WaitForMediaDlg_SetDeviceInfo(waitDialog, device);
    }
    return waitDialog;
}

std::string blocksAsTimeAndSize(guint32 blocks)
{
    const guint32 seconds = blocks / 75;
    OwnedText text(g_strdup_printf(_("%02u:%02u:%02u, %.2f MB"), seconds / 60, seconds % 60, blocks % 75,
                                   static_cast<double>(blocks) * 2048.0 / (1024.0 * 1024.0)));
    return text.get();
}

int overburn(void *data)
{
    const auto *counts = static_cast<const guint32 *>(data);
    std::string text = _("This compilation contains too much data to fit on the disc with respect to the normal "
                         "disc capacity. Do you want to try overburn writing at your own risk? (This might cause "
                         "read errors at the end of the disc or might even damage your recorder.)");
    if (counts) {
        text += "\n\n";
        text += _("Required capacity:");
        text += ' ';
        text += blocksAsTimeAndSize(counts[0]);
        text += '\n';
        text += _("Total capacity on disc:");
        text += ' ';
        text += blocksAsTimeAndSize(counts[1]);
    }
    text += "\n\n";
    text += _("Note: SCSI/ATAPI errors may also occur at the end of the simulation or burning. Even then, the "
              "CD/DVD may still be readable but the written data needs to be verified.");
    GdkLock lock;
    vorn::dialogs::RoleScope role("burn-overburn");
    const gint answer =
        VornKit_DialogBox_ModalWarningDialog(text.c_str(), _("Overburn Writing"), nullptr, dialogParent(), 1);
    return answer == VORNKIT_RESPONSE_OK ? 1 : 0;
}

int waitForDisc(gpointer userData, void *data)
{
    const auto waitCode = static_cast<int>(reinterpret_cast<intptr_t>(data));
    char *engine = VornGetLocalizedWaitCDTexts(waitCode);
    const std::string text = engineText(engine);
    VornFreeMem(engine);
    UserDialogsBurnInfo info = burnInfo(userData, waitCode);
    {
        GdkLock lock;
        GtkWidget *dialog = ensureWaitDialog(info.waitDevice ? info.waitDevice : currentBurningDevice());
        if (dialog) {
            VornKit_WaitForMediaDlg_SetMessage(dialog, text.c_str());
            gtk_widget_show(dialog);
        }
    }
    playSetting(kPlayWaitingSound, kWaitingSoundPath);
    return kAnswerNotHandled;
}

int mediaTexts(void *data)
{
    const auto *texts = static_cast<const char *const *>(data);
    GdkLock lock;
    GtkWidget *dialog = ensureWaitDialog(currentBurningDevice());
    if (dialog && texts) {
        VornKit_WaitForMediaDlg_SetRequiredMediaTypes(dialog, engineText(texts[0]).c_str());
        VornKit_WaitForMediaDlg_SetCurrentMediumType(dialog, engineText(texts[1]).c_str());
    }
    return kAnswerNotHandled;
}

// ---------------------------------------------------------------------------
// The image file name: a chooser on the main loop.

struct ImageChooser {
    bool isoPossible = false;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<std::string> name;
};

struct Choice {
    std::string path;
    bool isoFilter = false;
};

std::optional<Choice> chooseWithResponder(const std::string &folder, bool isoPossible,
                                          const std::optional<vorn::dialogs::DialogAnswer> &answer)
{
    if (!answer || answer->response != vorn::dialogs::response::Ok || answer->fileNames.empty())
        return std::nullopt;
    Choice choice;
    choice.path = answer->fileNames.front();
    if (!g_path_is_absolute(choice.path.c_str()) && !folder.empty())
        choice.path = folder + G_DIR_SEPARATOR_S + choice.path;
    choice.isoFilter = isoPossible && answer->entryText && *answer->entryText == USER_DIALOGS_FILTER_ISO;
    return choice;
}

GtkFileFilter *addFilter(GtkWidget *chooser, const char *name, std::initializer_list<const char *> patterns)
{
    GtkFileFilter *filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, name);
    for (const char *pattern : patterns)
        gtk_file_filter_add_pattern(filter, pattern);
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
    return filter;
}

std::optional<Choice> chooseWithGtk(const std::string &folder, bool isoPossible)
{
    GtkWidget *chooser = gtk_file_chooser_dialog_new(_("Select image file"), GTK_WINDOW(dialogParent()),
                                                     GTK_FILE_CHOOSER_ACTION_SAVE, _("_Cancel"),
                                                     GTK_RESPONSE_CANCEL, _("_Save"), GTK_RESPONSE_ACCEPT, nullptr);
    addFilter(chooser, _("Vorn Image Files (*.vrn)"), {"*.vrn", "*.VRN"});
    GtkFileFilter *iso = isoPossible ? addFilter(chooser, _("ISO Image Files (*.iso)"), {"*.iso", "*.ISO"}) : nullptr;
    addFilter(chooser, _("All files"), {"*"});
    if (!folder.empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "Image.vrn");
    std::optional<Choice> choice;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        OwnedText path(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser)));
        if (path)
            choice = Choice{path.get(), iso && gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(chooser)) == iso};
    }
    gtk_widget_destroy(chooser);
    return choice;
}

std::optional<Choice> askImageFile(const std::string &folder, bool isoPossible)
{
    vorn::dialogs::DialogRequest request;
    request.kind = vorn::dialogs::DialogKind::FileChooser;
    request.role = "burn-image-file";
    request.title = _("Select image file");
    request.text = folder;
    request.buttons = {{vorn::dialogs::response::Cancel, _("Cancel")}, {vorn::dialogs::response::Ok, _("Save")}};
    request.defaultResponse = vorn::dialogs::response::Ok;
    request.entryText = "Image.vrn";
    if (auto answer = vorn::dialogs::ask(request); answer || vorn::dialogs::installedResponder())
        return chooseWithResponder(folder, isoPossible, answer);
    if (!gdk_display_get_default())
        return std::nullopt;
    return chooseWithGtk(folder, isoPossible);
}

bool replaceAllowed(const std::string &path)
{
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS))
        return true;
    OwnedText base(g_path_get_basename(path.c_str()));
    OwnedText dir(g_path_get_dirname(path.c_str()));
    OwnedText baseMarkup(g_markup_escape_text(base.get(), -1));
    OwnedText dirMarkup(g_markup_escape_text(dir.get(), -1));
    OwnedText heading(g_strdup_printf(_("<i>%s</i> already exists. Do you want to replace it?"), baseMarkup.get()));
    OwnedText text(g_strdup_printf(_("An image file named like this already exists in <i>%s</i>. Replacing it "
                                     "will overwrite its contents."),
                                   dirMarkup.get()));
    vorn::dialogs::RoleScope role("burn-image-replace");
    return VornKit_DialogBox_ModalQuestionDialog(text.get(), heading.get(), nullptr, dialogParent(), 0) ==
           VORNKIT_RESPONSE_YES;
}

// Main loop, GDK lock held (added with gdk_threads_add_idle).
gboolean runImageChooser(gpointer data) noexcept
{
    auto *job = static_cast<ImageChooser *>(data);
    std::optional<std::string> name;
    try {
        OwnedText stored(PathsOptionsDatabase ? OptionsDatabase_GetStringOptionValue(PathsOptionsDatabase,
                                                                                      kImageRecorderPath)
                                              : nullptr);
        std::string folder = stored && *stored ? stored.get() : g_get_home_dir();
        while (auto choice = askImageFile(folder, job->isoPossible)) {
            OwnedText completed(UserDialogs_CompleteImageFileName(choice->path.c_str(), choice->isoFilter));
            OwnedText dir(g_path_get_dirname(completed.get()));
            folder = dir.get();
            if (!replaceAllowed(completed.get()))
                continue;
            if (PathsOptionsDatabase)
                OptionsDatabase_SetStringOptionValue(PathsOptionsDatabase, kImageRecorderPath, dir.get());
            name = completed.get();
            break;
        }
    } catch (...) {
        name.reset();
    }
    {
        std::lock_guard<std::mutex> guard(job->mutex);
        job->name = std::move(name);
        job->done = true;
    }
    job->finished.notify_one();
    return G_SOURCE_REMOVE;
}

int imageFileName(gpointer userData, void *data)
{
    UserDialogsBurnInfo info = burnInfo(userData, 0);
    ImageChooser job;
    job.isoPossible = info.isoImagePossible;
    gdk_threads_add_idle(runImageChooser, &job);
    std::unique_lock<std::mutex> guard(job.mutex);
    job.finished.wait(guard, [&] { return job.done; });
    if (!job.name || !data) {
        if (info.progress)
            VornExtendedProgress_SetUserAbort(info.progress, 1);
        return 0;
    }
    g_strlcpy(static_cast<char *>(data), job.name->c_str(), VORN_PATH_BUFFER_SIZE);
    return VORN_ANSWER_NAMED;
}

// ---------------------------------------------------------------------------
// A rewritable disc that is not empty: erase it in the erase window.

int blankRewritable()
{
    std::string text = _("<APPNAME> can erase the disc for you at this stage but please be aware that you might "
                         "lose important data if you choose to proceed in this way.\n\nShould <APPNAME> blank the "
                         "disc for you?");
    for (std::string::size_type at; (at = text.find("<APPNAME>")) != std::string::npos;)
        text.replace(at, 9, "Vorn Linux");
    struct EraseWait {
        std::atomic<bool> done{false};
        std::atomic<int> result{-1};
    };
    auto wait = std::make_shared<EraseWait>();
    GtkWidget *eraser = nullptr;
    bool started = false;
    {
        GdkLock lock;
        vorn::dialogs::RoleScope role("burn-blank-rewritable");
        if (VornKit_DialogBox_ModalQuestionDialog(text.c_str(), _("The rewritable disc you inserted is not empty."),
                                                  nullptr, dialogParent(), 0) != VORNKIT_RESPONSE_YES)
            return VORN_ANSWER_DECLINED;
        const VornDeviceEntry *device = currentBurningDevice();
        eraser = device ? VornKit_EraseDiscDlg_New(dialogParent()) : nullptr;
        if (!eraser)
            return VORN_ANSWER_DECLINED;
        g_object_ref_sink(eraser);
        VornKit_EraseDiscDlg_SetDeviceInfo(eraser, device);
        VornKit_EraseDiscDlg_SetEraseMode(eraser, VORN_ERASE_QUICK);
        VornKit_EraseDiscDlg_SetEraseFlags(eraser, VORN_ERASE_NO_EJECT);
        VornKit_EraseDiscDlg_SetDeviceLocking(eraser, FALSE);
        auto *keep = new std::shared_ptr<EraseWait>(wait);
        g_signal_connect_data(eraser, "vorn_erase_done", G_CALLBACK(+[](GtkWidget *, gint result, gpointer data) noexcept {
                                  auto &w = *static_cast<std::shared_ptr<EraseWait> *>(data);
                                  w->result = result;
                                  w->done = true;
                              }),
                              keep, [](gpointer data, GClosure *) noexcept {
                                  delete static_cast<std::shared_ptr<EraseWait> *>(data);
                              }, GConnectFlags(0));
        gtk_widget_show(eraser);
        // A drive that cannot be opened or erased is reported by
        // "vorn_erase_done" from the main loop as well; a worker that could
        // not start at all may say nothing, so that wait is bounded.
        started = VornKit_EraseDiscDlg_StartErasingProcess(eraser) == 1 || VornKit_EraseDiscDlg_IsBusy(eraser);
    }
    // The erase worker and the main loop both need the GDK lock: wait without it.
    for (int checks = 0; !wait->done.load() && (started || checks < kUnstartedEraseChecks); ++checks)
        g_usleep(kEraseCheckIntervalUs);
    const int result = wait->done.load() ? wait->result.load() : VORN_ERASE_FAILED;
    debugger_DummyOut("Erasing result: %d\n", result);
    {
        GdkLock lock;
        gtk_widget_destroy(eraser);
        g_object_unref(eraser);
    }
    return result == VORN_ERASE_OK ? VORN_ANSWER_ERASED : VORN_ANSWER_DECLINED;
}

// ---------------------------------------------------------------------------
// Free-form messages of the engine.

int message(void *data)
{
    const auto *request = static_cast<const VornMessageRequest *>(data);
    if (!request)
        return kAnswerNotHandled;
    const std::string text = engineText(request->text);
    debugger_DummyOut("Message: %s\n", text.c_str());
    if (request->type != 0 && request->type != 1 && request->type != 2 && request->type != 5)
        return kAnswerNotHandled;
    OwnedText markup(g_markup_escape_text(text.c_str(), -1));
    GdkLock lock;
    vorn::dialogs::RoleScope role("burn-message");
    GtkWidget *parent = dialogParent();
    auto iconDialog = [&](gint cancel) {
        switch (request->icon) {
        case 1: return VornKit_DialogBox_ModalWarningDialog(markup.get(), nullptr, nullptr, parent, cancel);
        case 2: return VornKit_DialogBox_ModalErrorDialog(markup.get(), nullptr, nullptr, parent, cancel);
        default: return VornKit_DialogBox_ModalInfoDialog(markup.get(), nullptr, nullptr, parent, cancel);
        }
    };
    switch (request->type) {
    case 0:
        iconDialog(0);
        return -8;
    case 1:
        return VornKit_DialogBox_ModalQuestionDialog(markup.get(), nullptr, nullptr, parent, 0) == VORNKIT_RESPONSE_YES
                   ? -7
                   : -4;
    case 2:
        return iconDialog(1) == VORNKIT_RESPONSE_OK ? -8 : -3;
    default: {
        const gint answer = VornKit_DialogBox_ModalQuestionDialog(markup.get(), nullptr, nullptr, parent, 1);
        return answer == VORNKIT_RESPONSE_YES ? -7 : answer == VORNKIT_RESPONSE_NO ? -4 : -3;
    }
    }
}

int answer(gpointer userData, int request, void *data)
{
    switch (request) {
    case VORN_REQUEST_OVERBURN: return overburn(data);
    case VORN_REQUEST_WAIT_FOR_DISC: return waitForDisc(userData, data);
    case VORN_REQUEST_RAISE_WAIT: {
        GdkLock lock;
        if (waitDialog)
            gtk_window_present(GTK_WINDOW(waitDialog));
        return kAnswerNotHandled;
    }
    case VORN_REQUEST_DESTROY_WAIT: {
        GdkLock lock;
        destroyWaitDialog();
        return kAnswerNotHandled;
    }
    case VORN_REQUEST_IMAGE_FILE_NAME: return imageFileName(userData, data);
    case VORN_REQUEST_NO_SPACE_FOR_IMAGE: {
        GdkLock lock;
        vorn::dialogs::RoleScope role("burn-no-space-for-image");
        VornKit_DialogBox_ModalInfoDialog(_("There is not enough space available to burn the image."), nullptr,
                                          nullptr, dialogParent(), 0);
        return kAnswerNotHandled;
    }
    case VORN_REQUEST_BLANK_REWRITABLE: return blankRewritable();
    case VORN_REQUEST_WAIT_MEDIA_TEXTS: return mediaTexts(data);
    case VORN_REQUEST_MESSAGE: return message(data);
    default: return kAnswerNotHandled;
    }
}

}  // namespace

extern "C" int UserDialogs_Callback(void *userData, int request, void *data) noexcept
{
    try {
        if (VornAPI_GetUserAbort()) {
            GdkLock lock;
            destroyWaitDialog();
            return kAnswerAborted;
        }
        return answer(userData, request, data);
    } catch (...) {
        return kAnswerNotHandled;
    }
}

void UserDialogs_SetUserData(gpointer compilation) noexcept
{
    burningCompilation.store(compilation);
    VornUserDialogOption option{UserDialogs_Callback, compilation};
    VornSetOption(VORN_OPTION_USER_DIALOG, &option);
}

void UserDialogs_SetBurnInfoResolver(UserDialogsBurnInfoResolver resolver) noexcept
{
    burnInfoResolver.store(resolver);
}

gchar *UserDialogs_CompleteImageFileName(const gchar *name, gboolean isoFilter) noexcept
{
    if (!name)
        return nullptr;
    const char *extension = isoFilter ? ".iso" : ".vrn";
    const char *slash = std::strrchr(name, G_DIR_SEPARATOR);
    const char *dot = std::strrchr(slash ? slash : name, '.');
    if (dot && std::strlen(dot) == 4 && g_ascii_strcasecmp(dot, extension) == 0)
        return g_strdup(name);
    return g_strconcat(name, extension, nullptr);
}
