#include "BurnProcessResultDialog.h"

#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "MessagesFile.h"
#include "OptionsDatabase.h"
#include "VornPaths.h"

#include <glib/gi18n.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>

enum class ResultIcon { Info, Warning, Error };

struct BurnProcessResultDialogPrivate {
    gint32 result = 0;
    guint32 flags = 0;
    VornDeviceEntry writer{};
    std::string log;
    std::string title;
    std::string message;
    ResultIcon icon = ResultIcon::Error;
    bool adviseSavingLog = false;
    gpointer compilation = nullptr;  // one reference, only when it may be burned again
    GtkWidget *unregisterWindow = nullptr;
    VornOption *activeOption = nullptr;
    gulong activeHandler = 0;
    GtkWidget *messageLabel = nullptr;
    GtkWidget *hintLabel = nullptr;
    GtkWidget *logRow = nullptr;
    GtkWidget *eventsView = nullptr;
    GtkWidget *eventsBox = nullptr;
    GtkWidget *detailsButton = nullptr;
    GtkWidget *burnAgainButton = nullptr;
    bool detailsShown = false;
};


namespace {

constexpr gint32 kBurnProcessActive = 0;
constexpr gint32 kWritingSpeed = 4;
constexpr gint32 kWritingSpeedBase = 5;
constexpr gint32 kLogFilesPath = 2;
constexpr gint kResponseBurnAgain = 1;
constexpr gint kResponseSaveLog = 2;
constexpr gint kResponseDetails = 3;

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

std::mutex hooksMutex;
BurnProcessResultDialogHooks installedHooks{};

BurnProcessResultDialogHooks hooks()
{
    std::lock_guard<std::mutex> guard(hooksMutex);
    return installedHooks;
}

using Private = BurnProcessResultDialogPrivate;
using Icon = ResultIcon;

Private *priv(gpointer dialog);

}  // namespace

G_DEFINE_TYPE_WITH_PRIVATE(BurnProcessResultDialog, burn_process_result_dialog, GTK_TYPE_DIALOG)

namespace {

Private *priv(gpointer dialog)
{
    return static_cast<Private *>(
        burn_process_result_dialog_get_instance_private(reinterpret_cast<BurnProcessResultDialog *>(dialog)));
}

bool isImageRecorder(const VornDeviceEntry &device)
{
    return (device.capabilities & VORN_CAP_IMAGE_RECORDER) != 0;
}

std::string engineText(const std::string &text)
{
    const char *encoding = MessagesFile_pszMessagesEncoding ? MessagesFile_pszMessagesEncoding : "CP1252";
    OwnedText converted(g_convert_with_fallback(text.c_str(), -1, "UTF-8", encoding, "?", nullptr, nullptr, nullptr));
    return converted ? converted.get() : text;
}

std::string lastLine(const std::string &log)
{
    std::string::size_type end = log.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return {};
    std::string::size_type start = log.find_last_of('\n', end);
    start = start == std::string::npos ? 0 : start + 1;
    return log.substr(start, end - start + 1);
}

std::string speedText(const VornDeviceEntry &writer)
{
    if (isImageRecorder(writer) || !BurnProcessDynamicOptionsDatabase)
        return {};
    const gint64 speed = OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, kWritingSpeed);
    const gint64 base = OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, kWritingSpeedBase);
    if (speed <= 0)
        return {};
    OwnedText text(base > 0 ? g_strdup_printf(_("%.1fx (%" G_GINT64_FORMAT " KB/s)"),
                                              static_cast<double>(speed) / static_cast<double>(base), speed)
                            : g_strdup_printf(_("%" G_GINT64_FORMAT " KB/s"), speed));
    return text.get();
}

Icon iconFor(gint32 result)
{
    if (result == 0)
        return Icon::Info;
    if (result == VORN_BURN_ABORTED)
        return Icon::Warning;
    return Icon::Error;
}

const char *iconFile(Icon icon)
{
    switch (icon) {
    case Icon::Info: return "vornkit-dialog_box-info_dlg_icon-32.png";
    case Icon::Warning: return "vornkit-dialog_box-warning_dlg_icon-32.png";
    default: return "vornkit-dialog_box-error_dlg_icon-32.png";
    }
}

void showMessage(Private *p)
{
    OwnedText markup(g_markup_escape_text(p->message.c_str(), -1));
    if (p->title.empty()) {
        gtk_label_set_markup(GTK_LABEL(p->messageLabel), markup.get());
    } else {
        OwnedText title(g_markup_escape_text(p->title.c_str(), -1));
        OwnedText text(g_strdup_printf("<b>%s</b>\n\n%s", title.get(), markup.get()));
        gtk_label_set_markup(GTK_LABEL(p->messageLabel), text.get());
    }
}

int errnoOf(const GError *error)
{
    if (!error || error->domain != G_FILE_ERROR)
        return EIO;
    switch (error->code) {
    case G_FILE_ERROR_NOENT: return ENOENT;
    case G_FILE_ERROR_ACCES: return EACCES;
    case G_FILE_ERROR_PERM: return EPERM;
    case G_FILE_ERROR_NOSPC: return ENOSPC;
    case G_FILE_ERROR_ISDIR: return EISDIR;
    case G_FILE_ERROR_NOTDIR: return ENOTDIR;
    case G_FILE_ERROR_ROFS: return EROFS;
    case G_FILE_ERROR_NAMETOOLONG: return ENAMETOOLONG;
    default: return EIO;
    }
}

// GLib writes to a temporary name and renames it into place, so a failed
// save never leaves half a log where an old one was. The errno, or nothing.
std::optional<int> writeLog(const std::string &path, const std::string &log)
{
    GError *error = nullptr;
    if (g_file_set_contents(path.c_str(), log.data(), static_cast<gssize>(log.size()), &error))
        return std::nullopt;
    const int code = errnoOf(error);
    g_clear_error(&error);
    return code;
}

std::optional<std::string> chooseLogFile(GtkWidget *dialog, const std::string &folder)
{
    vorn::dialogs::DialogRequest request;
    request.kind = vorn::dialogs::DialogKind::FileChooser;
    request.role = "burn-save-log";
    request.title = _("Save");
    request.text = folder;
    request.buttons = {{vorn::dialogs::response::Cancel, _("Cancel")}, {vorn::dialogs::response::Ok, _("Save")}};
    request.defaultResponse = vorn::dialogs::response::Ok;
    request.entryText = "Log.txt";
    const auto answer = vorn::dialogs::ask(request);
    if (answer || vorn::dialogs::installedResponder()) {
        if (!answer || answer->response != vorn::dialogs::response::Ok || answer->fileNames.empty())
            return std::nullopt;
        std::string path = answer->fileNames.front();
        if (!g_path_is_absolute(path.c_str()))
            path = folder + G_DIR_SEPARATOR_S + path;
        return path;
    }
    GtkWidget *chooser = gtk_file_chooser_dialog_new(_("Save"), GTK_WINDOW(dialog), GTK_FILE_CHOOSER_ACTION_SAVE,
                                                     _("Cancel"), GTK_RESPONSE_CANCEL, _("Save"),
                                                     GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "Log.txt");
    std::optional<std::string> path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        OwnedText name(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser)));
        if (name)
            path = name.get();
    }
    gtk_widget_destroy(chooser);
    return path;
}

void saveLog(GtkWidget *dialog)
{
    Private *p = priv(dialog);
    OwnedText stored(PathsOptionsDatabase ? OptionsDatabase_GetStringOptionValue(PathsOptionsDatabase, kLogFilesPath)
                                          : nullptr);
    const std::string folder = stored && *stored ? stored.get() : g_get_home_dir();
    const std::optional<std::string> path = chooseLogFile(dialog, folder);
    if (!path)
        return;
    OwnedText dir(g_path_get_dirname(path->c_str()));
    if (PathsOptionsDatabase)
        OptionsDatabase_SetStringOptionValue(PathsOptionsDatabase, kLogFilesPath, dir.get());
    if (const std::optional<int> failure = writeLog(*path, p->log)) {
        OwnedText base(g_path_get_basename(path->c_str()));
        OwnedText baseMarkup(g_markup_escape_text(base.get(), -1));
        OwnedText reason(g_markup_escape_text(g_strerror(*failure), -1));
        OwnedText heading(g_strdup_printf(_("Unable to save the file <i>%s</i>."), baseMarkup.get()));
        OwnedText text(g_strdup_printf(_("There has been an error while saving the file:\n   %s (errno: %d)."),
                                       reason.get(), *failure));
        vorn::dialogs::RoleScope role("burn-save-log-failed");
        VornKit_DialogBox_ModalErrorDialog(text.get(), heading.get(), nullptr, dialog, 0);
    }
}

void toggleDetails(GtkWidget *dialog)
{
    Private *p = priv(dialog);
    gint width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(dialog), &width, &height);
    const gint eventsHeight = 160;
    p->detailsShown = !p->detailsShown;
    if (p->detailsShown) {
        gtk_widget_set_no_show_all(p->eventsBox, FALSE);
        gtk_widget_show_all(p->eventsBox);
        gtk_button_set_label(GTK_BUTTON(p->detailsButton), _("_Details <<"));
        gtk_window_resize(GTK_WINDOW(dialog), width, height + eventsHeight);
    } else {
        gtk_widget_hide(p->eventsBox);
        gtk_button_set_label(GTK_BUTTON(p->detailsButton), _("_Details >>"));
        gtk_window_resize(GTK_WINDOW(dialog), width, MAX(1, height - eventsHeight));
    }
}

void onResponse(GtkDialog *dialog, gint response, gpointer) noexcept
{
    Private *p = priv(dialog);
    switch (response) {
    case kResponseSaveLog: saveLog(GTK_WIDGET(dialog)); return;
    case kResponseDetails: toggleDetails(GTK_WIDGET(dialog)); return;
    case kResponseBurnAgain: {
        const BurnProcessResultDialogHooks h = hooks();
        gpointer compilation = p->compilation;
        if (compilation && h.burnAgain) {
            g_object_ref(compilation);
            const VornDeviceEntry writer = p->writer;
            GtkWidget *parent = GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(dialog)));
            gtk_widget_destroy(GTK_WIDGET(dialog));
            h.burnAgain(compilation, &writer, parent);
            g_object_unref(compilation);
            return;
        }
        break;
    }
    default: break;
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

void onBurnActiveChanged(VornOption *, gpointer dialog) noexcept
{
    Private *p = priv(dialog);
    if (p->burnAgainButton && BurnProcessDynamicOptionsDatabase)
        gtk_widget_set_sensitive(p->burnAgainButton, OptionsDatabase_GetBooleanOptionValue(
                                                         BurnProcessDynamicOptionsDatabase, kBurnProcessActive) != 1);
}

// A non-modal dialog: the responder's record sees what it says.
void onShow(GtkWidget *dialog, gpointer) noexcept
{
    Private *p = priv(dialog);
    vorn::dialogs::DialogRequest request;
    request.kind = p->icon == Icon::Info      ? vorn::dialogs::DialogKind::Info
                   : p->icon == Icon::Warning ? vorn::dialogs::DialogKind::Warning
                                              : vorn::dialogs::DialogKind::Error;
    request.role = "burn-result";
    request.title = gtk_window_get_title(GTK_WINDOW(dialog)) ? gtk_window_get_title(GTK_WINDOW(dialog)) : "";
    request.heading = p->title;
    request.text = p->message;
    if (p->adviseSavingLog && !p->log.empty()) {
        request.text += '\n';
        request.text += _("<b>It is recommended to save the log.</b>");
    }
    request.buttons = {{vorn::dialogs::response::Ok, _("OK")}};
    vorn::dialogs::noteShown(request);
}

}  // namespace

static void burn_process_result_dialog_init(BurnProcessResultDialog *self)
{
    new (priv(self)) Private{};
}

static void burn_process_result_dialog_dispose(GObject *object)
{
    Private *p = priv(object);
    if (p->activeOption && p->activeHandler)
        g_signal_handler_disconnect(p->activeOption, p->activeHandler);
    p->activeHandler = 0;
    p->activeOption = nullptr;
    if (p->unregisterWindow) {
        GtkWidget *window = p->unregisterWindow;
        g_object_remove_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer *>(&p->unregisterWindow));
        p->unregisterWindow = nullptr;
        if (auto unset = hooks().unsetActiveCompilation)
            unset(window);
    }
    if (p->compilation) {
        gpointer compilation = p->compilation;
        p->compilation = nullptr;
        g_object_unref(compilation);
    }
    G_OBJECT_CLASS(burn_process_result_dialog_parent_class)->dispose(object);
}

static void burn_process_result_dialog_finalize(GObject *object)
{
    priv(object)->~Private();
    G_OBJECT_CLASS(burn_process_result_dialog_parent_class)->finalize(object);
}

static void burn_process_result_dialog_class_init(BurnProcessResultDialogClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = burn_process_result_dialog_dispose;
    G_OBJECT_CLASS(klass)->finalize = burn_process_result_dialog_finalize;
}

GType BurnProcessResultDialog_GetType(void)
{
    return burn_process_result_dialog_get_type();
}

void BurnProcessResultDialog_GetTexts(gint32 result, guint32 flags, const gchar *speed, const gchar *failureMessage,
                                      gchar **title, gchar **message, gboolean *adviseSavingLog)
{
    enum class Kind { Burn, Simulation, Speed } kind = (flags & VORN_BURN_WRITE)      ? Kind::Burn
                                                       : (flags & VORN_BURN_SIMULATE) ? Kind::Simulation
                                                                                      : Kind::Speed;
    const bool withSpeed = speed && *speed && kind != Kind::Speed;
    std::string t, m;
    switch (result) {
    case 0:
        t = kind == Kind::Burn ? _("Burn process completed sucessfully")
            : kind == Kind::Simulation ? _("Simulation completed sucessfully") : _("Speed measurement completed");
        if (withSpeed) {
            OwnedText text(g_strdup_printf(kind == Kind::Burn ? _("Burn process completed sucessfully at %s.")
                                                              : _("Simulation completed sucessfully at %s."),
                                           speed));
            m = text.get();
        } else {
            m = kind == Kind::Burn ? _("Burn process completed sucessfully.")
                : kind == Kind::Simulation ? _("Simulation completed sucessfully.") : _("Speed measurement completed.");
        }
        break;
    case 1:
    case 2:
        t = _("Unspecified error");
        m = _("An unspecified error occured.");
        break;
    case VORN_BURN_DECLINED:
        t = kind == Kind::Burn ? _("Burn process failed")
            : kind == Kind::Simulation ? _("Simulation failed") : _("Speed measurement failed");
        if (withSpeed) {
            OwnedText text(g_strdup_printf(kind == Kind::Burn ? _("Burn process failed at %s.")
                                                              : _("Simulation failed at %s."),
                                           speed));
            m = text.get();
        } else {
            m = kind == Kind::Burn ? _("Burn process failed.")
                : kind == Kind::Simulation ? _("Simulation failed.") : _("Speed measurement failed.");
        }
        break;
    case VORN_BURN_ABORTED:
        t = kind == Kind::Burn ? _("Burn process aborted")
            : kind == Kind::Simulation ? _("Simulation aborted") : _("Speed measurement aborted");
        m = kind == Kind::Burn ? _("Burn process aborted.")
            : kind == Kind::Simulation ? _("Simulation aborted.") : _("Speed measurement aborted.");
        break;
    case VORN_BURN_NO_LANGUAGE_FILE:
        t = _("Cannot find the message file");
        m = _("The message file cannot be found on your system.\nPlease check your installation.");
        break;
    default:
        m = failureMessage ? failureMessage : "";
        break;
    }
    if (title)
        *title = g_strdup(t.c_str());
    if (message)
        *message = g_strdup(m.c_str());
    if (adviseSavingLog)
        *adviseSavingLog = result != 0 && result != VORN_BURN_ABORTED;
}

GtkWidget *BurnProcessResultDialog_New(GtkWidget *parent, gint32 result, guint32 flags, const VornDeviceEntry *writer)
{
    auto *dialog = GTK_WIDGET(g_object_new(VORN_TYPE_BURN_PROCESS_RESULT_DIALOG, nullptr));
    Private *p = priv(dialog);
    p->result = result;
    p->flags = flags;
    if (writer)
        p->writer = *writer;
    p->icon = iconFor(result);
    gchar *title = nullptr, *message = nullptr;
    gboolean advise = FALSE;
    const std::string speed = speedText(p->writer);
    BurnProcessResultDialog_GetTexts(result, flags, speed.empty() ? nullptr : speed.c_str(), nullptr, &title,
                                     &message, &advise);
    p->title = title;
    p->message = message;
    p->adviseSavingLog = advise;
    g_free(title);
    g_free(message);

    gtk_window_set_title(GTK_WINDOW(dialog), p->title.empty() ? "Vorn Linux" : p->title.c_str());
    if (parent && GTK_IS_WINDOW(parent))
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(parent));
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_dialog_set_has_separator(GTK_DIALOG(dialog), FALSE);
    GtkWidget *content = GTK_DIALOG(dialog)->vbox;

    GtkWidget *top = gtk_hbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(top), 12);
    OwnedText iconPath(g_strdup_printf("%s/dialogs/%s", VORN_IMAGES_DIR, iconFile(p->icon)));
    GtkWidget *icon = gtk_image_new_from_file(iconPath.get());
    gtk_misc_set_alignment(GTK_MISC(icon), 0.5f, 0.0f);
    gtk_box_pack_start(GTK_BOX(top), icon, FALSE, FALSE, 0);
    p->messageLabel = gtk_label_new(nullptr);
    gtk_label_set_line_wrap(GTK_LABEL(p->messageLabel), TRUE);
    gtk_misc_set_alignment(GTK_MISC(p->messageLabel), 0.0f, 0.0f);
    gtk_box_pack_start(GTK_BOX(top), p->messageLabel, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(content), top, FALSE, FALSE, 0);
    showMessage(p);

    p->logRow = gtk_hbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(p->logRow), 6);
    p->hintLabel = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(p->hintLabel), _("<b>It is recommended to save the log.</b>"));
    gtk_box_pack_start(GTK_BOX(p->logRow), p->hintLabel, FALSE, FALSE, 0);
    GtkWidget *save = gtk_button_new_with_mnemonic(_("_Save Log..."));
    g_signal_connect_swapped(save, "clicked", G_CALLBACK(+[](GtkWidget *d) noexcept {
                                 gtk_dialog_response(GTK_DIALOG(d), kResponseSaveLog);
                             }), dialog);
    gtk_box_pack_end(GTK_BOX(p->logRow), save, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(content), p->logRow, FALSE, FALSE, 0);
    gtk_widget_set_no_show_all(p->logRow, TRUE);

    p->eventsBox = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(p->eventsBox), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(p->eventsBox), GTK_SHADOW_IN);
    gtk_widget_set_size_request(p->eventsBox, -1, 150);
    p->eventsView = gtk_tree_view_new();
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(p->eventsView), FALSE);
    gtk_container_add(GTK_CONTAINER(p->eventsBox), p->eventsView);
    gtk_box_pack_start(GTK_BOX(content), p->eventsBox, TRUE, TRUE, 0);
    gtk_widget_set_no_show_all(p->eventsBox, TRUE);

    p->detailsButton = gtk_dialog_add_button(GTK_DIALOG(dialog), _("_Details >>"), kResponseDetails);
    gtk_widget_set_sensitive(p->detailsButton, FALSE);
    p->burnAgainButton = gtk_dialog_add_button(GTK_DIALOG(dialog), _("_Burn Again"), kResponseBurnAgain);
    gtk_widget_set_sensitive(p->burnAgainButton, FALSE);
    GtkWidget *ok = gtk_dialog_add_button(GTK_DIALOG(dialog), _("_OK"), GTK_RESPONSE_OK);
    gtk_widget_grab_default(ok);
    g_signal_connect(dialog, "response", G_CALLBACK(onResponse), nullptr);
    g_signal_connect(dialog, "show", G_CALLBACK(onShow), nullptr);
    gtk_widget_show_all(content);
    return dialog;
}

void BurnProcessResultDialog_SetBurnEvents(GtkWidget *dialog, GtkTreeModel *events)
{
    if (!IS_VORN_BURN_PROCESS_RESULT_DIALOG(dialog) || !events)
        return;
    Private *p = priv(dialog);
    gtk_tree_view_set_model(GTK_TREE_VIEW(p->eventsView), events);
    if (!gtk_tree_view_get_column(GTK_TREE_VIEW(p->eventsView), 0)) {
        const gint columns = gtk_tree_model_get_n_columns(events);
        for (gint column = 0; column < columns; ++column) {
            if (gtk_tree_model_get_column_type(events, column) != G_TYPE_STRING)
                continue;
            gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(p->eventsView), -1, nullptr,
                                                        gtk_cell_renderer_text_new(), "text", column, nullptr);
        }
    }
    gtk_widget_set_sensitive(p->detailsButton, TRUE);
}

void BurnProcessResultDialog_SetBurnLog(GtkWidget *dialog, const gchar *log)
{
    if (!IS_VORN_BURN_PROCESS_RESULT_DIALOG(dialog))
        return;
    Private *p = priv(dialog);
    p->log = log ? log : "";
    const bool ownText = p->result == 0 || p->result == 1 || p->result == 2 || p->result == VORN_BURN_DECLINED ||
                         p->result == VORN_BURN_ABORTED || p->result == VORN_BURN_NO_LANGUAGE_FILE;
    if (!ownText) {
        p->message = engineText(lastLine(p->log));
        showMessage(p);
    }
    gtk_widget_set_no_show_all(p->logRow, FALSE);
    gtk_widget_show_all(p->logRow);
    if (!p->adviseSavingLog)
        gtk_widget_hide(p->hintLabel);
}

void BurnProcessResultDialog_SetCompilation(GtkWidget *dialog, gpointer compilation)
{
    if (!IS_VORN_BURN_PROCESS_RESULT_DIALOG(dialog) || !G_IS_OBJECT(compilation))
        return;
    Private *p = priv(dialog);
    const BurnProcessResultDialogHooks h = hooks();
    if (p->compilation || !h.isSingleSession || !h.isSingleSession(compilation) || !(p->flags & VORN_BURN_WRITE) ||
        isImageRecorder(p->writer))
        return;
    p->compilation = g_object_ref(compilation);
    if (BurnProcessDynamicOptionsDatabase) {
        p->activeOption = OptionsDatabase_GetOptionFromID(BurnProcessDynamicOptionsDatabase, kBurnProcessActive);
        if (p->activeOption)
            p->activeHandler =
                g_signal_connect(p->activeOption, "vorn_value_changed", G_CALLBACK(onBurnActiveChanged), dialog);
    }
    onBurnActiveChanged(nullptr, dialog);
}

void BurnProcessResultDialog_UnregisterCompilationAtEnd(GtkWidget *dialog, GtkWidget *mainWindow)
{
    if (!IS_VORN_BURN_PROCESS_RESULT_DIALOG(dialog) || !GTK_IS_WIDGET(mainWindow))
        return;
    // The window may go first (closed while the dialog is open): then there
    // is nothing to unset.
    Private *p = priv(dialog);
    if (p->unregisterWindow)
        g_object_remove_weak_pointer(G_OBJECT(p->unregisterWindow), reinterpret_cast<gpointer *>(&p->unregisterWindow));
    p->unregisterWindow = mainWindow;
    g_object_add_weak_pointer(G_OBJECT(mainWindow), reinterpret_cast<gpointer *>(&p->unregisterWindow));
}

void BurnProcessResultDialog_SetHooks(const BurnProcessResultDialogHooks *newHooks)
{
    std::lock_guard<std::mutex> guard(hooksMutex);
    installedHooks = newHooks ? *newHooks : BurnProcessResultDialogHooks{};
}
