#include "DialogBox.h"

#include "DialogResponder.h"
#include "VornPaths.h"

#include <libintl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using vorn::dialogs::DialogKind;
using vorn::dialogs::DialogRequest;
namespace response = vorn::dialogs::response;

static_assert(VORNKIT_RESPONSE_YES == response::Yes && VORNKIT_RESPONSE_NO == response::No &&
              VORNKIT_RESPONSE_CANCEL == response::Cancel && VORNKIT_RESPONSE_OK == response::Ok &&
              VORNKIT_RESPONSE_APPLY == response::Apply && VORNKIT_RESPONSE_REFRESH == response::Refresh &&
              VORNKIT_RESPONSE_EJECT == response::Eject && VORNKIT_RESPONSE_ERASE == response::Erase &&
              VORNKIT_RESPONSE_YES_TO_ALL == response::YesToAll &&
              VORNKIT_RESPONSE_RENAME == response::Rename && VORNKIT_RESPONSE_SKIP == response::Skip,
              "the message boxes and the responder must agree on response codes");

constexpr const char *kDomain = "vornkit";
const char *tr(const char *text) { return dgettext(kDomain, text); }

// Texts marked for translation where they stand, translated where they are used.
#define N_(text) text

constexpr int kExtraButtonWidth = 50;
constexpr int kMessageWrapWidth = 600;
constexpr int kStringDialogWrapWidth = 400;
constexpr std::array<int, 7> kWindowIconSizes{16, 24, 32, 48, 64, 128, 256};

struct ButtonSpec {
    int code;
    const char *label;
    int slot;
};

// In the order buttons are added to the row; `slot` is the index of the
// caller's widget array, whose order differs.
constexpr std::array<ButtonSpec, 11> kButtons{{
    {VORNKIT_RESPONSE_ERASE, N_("_Erase"), 7},
    {VORNKIT_RESPONSE_EJECT, N_("_Eject"), 6},
    {VORNKIT_RESPONSE_REFRESH, N_("_Refresh"), 5},
    {VORNKIT_RESPONSE_OK, N_("_OK"), 3},
    {VORNKIT_RESPONSE_YES, N_("_Yes"), 0},
    {VORNKIT_RESPONSE_YES_TO_ALL, N_("Yes to _All"), 8},
    {VORNKIT_RESPONSE_RENAME, N_("_Rename"), 9},
    {VORNKIT_RESPONSE_NO, N_("_No"), 1},
    {VORNKIT_RESPONSE_SKIP, N_("_Skip"), 10},
    {VORNKIT_RESPONSE_CANCEL, N_("_Cancel"), 2},
    {VORNKIT_RESPONSE_APPLY, N_("_Apply"), 4},
}};

struct KindSpec {
    DialogKind kind;
    const char *titleWord;  // none: the application name
    const char *icon;
};

constexpr std::array<KindSpec, 4> kKinds{{
    {DialogKind::Info, N_("Information"), "vornkit-dialog_box-info_dlg_icon-32.png"},
    {DialogKind::Error, N_("Error"), "vornkit-dialog_box-error_dlg_icon-32.png"},
    {DialogKind::Question, nullptr, "vornkit-dialog_box-question_dlg_icon-32.png"},
    {DialogKind::Warning, N_("Warning"), "vornkit-dialog_box-warning_dlg_icon-32.png"},
}};

struct GFreeDeleter {
    void operator()(void *p) const noexcept { g_free(p); }
};
using GString_ = std::unique_ptr<gchar, GFreeDeleter>;

struct ModuleState {
    std::mutex lock;
    std::string imagesDir = VORN_IMAGES_DIR;
    GList *icons = nullptr;             // owns one reference to each pixbuf
    std::vector<GtkWidget *> liveDialogs;  // borrowed: each leaves the list when destroyed
};

ModuleState &module()
{
    // Never destroyed: dialogs can be destroyed by GTK+ after static destructors ran.
    static ModuleState *state = new ModuleState;
    return *state;
}

std::string imagesDir()
{
    auto &m = module();
    std::lock_guard guard(m.lock);
    return m.imagesDir;
}

bool haveDisplay() { return gdk_display_get_default() != nullptr; }

std::string withoutMnemonic(const char *label)
{
    std::string out;
    for (const char *p = label; *p; ++p) {
        if (*p == '_' && p[1] == '_') {
            out += '_';
            ++p;
        } else if (*p != '_') {
            out += *p;
        }
    }
    return out;
}

std::vector<vorn::dialogs::DialogButton> buttonsOf(guint buttonSet)
{
    std::vector<vorn::dialogs::DialogButton> buttons;
    for (const auto &b : kButtons)
        if (buttonSet & static_cast<guint>(b.code))
            buttons.push_back({b.code, withoutMnemonic(tr(b.label))});
    return buttons;
}

int defaultResponseOf(guint buttonSet)
{
    for (int code : {VORNKIT_RESPONSE_OK, VORNKIT_RESPONSE_YES, VORNKIT_RESPONSE_CANCEL})
        if (buttonSet & static_cast<guint>(code))
            return code;
    return 1;
}

std::string messageTitle(const KindSpec &kind, const gchar *title)
{
    const char *word = kind.titleWord ? tr(kind.titleWord) : VORN_APP_NAME;
    if (!title)
        return word;
    if (kind.kind == DialogKind::Question)
        return title;
    GString_ joined(g_strdup_printf("%s: %s", word, title));
    return joined.get();
}

// The heading in heavy type, an empty line, the text. The heading is markup
// like the text: callers escape what they put in.
std::string messageMarkup(const gchar *heading, const gchar *text)
{
    if (!heading)
        return text ? text : "";
    GString_ markup(g_strdup_printf("<span weight=\"heavy\">%s</span>\n\n%s", heading, text ? text : ""));
    return markup.get();
}

GtkWidget *messageLabel(const std::string &markup, const gchar *heading, const gchar *text, int wrapWidth)
{
    GtkWidget *label = gtk_label_new(nullptr);
    if (pango_parse_markup(markup.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr)) {
        gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
    } else {
        // Broken markup would leave the label empty: show the words as they
        // are rather than a dialog that says nothing.
        std::string plain = heading ? std::string(heading) + "\n\n" + (text ? text : "") : (text ? text : "");
        gtk_label_set_text(GTK_LABEL(label), plain.c_str());
    }
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.0f);
    GtkRequisition natural;
    gtk_widget_size_request(label, &natural);
    if (natural.width > kMessageWrapWidth) {
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_widget_set_size_request(label, wrapWidth, -1);
    }
    return label;
}

gboolean refuseWindowManagerClose(GtkWidget *, GdkEvent *, gpointer) noexcept { return TRUE; }

void destroyOnResponse(GtkDialog *dialog, gint responseId, gpointer) noexcept
{
    if (responseId != GTK_RESPONSE_DELETE_EVENT)
        gtk_widget_destroy(GTK_WIDGET(dialog));
}

void forgetLiveDialog(GtkWidget *dialog, gpointer) noexcept
{
    auto &m = module();
    std::lock_guard guard(m.lock);
    std::erase(m.liveDialogs, dialog);
}

GtkWindowPosition positionFor(GtkWidget *parent)
{
    return parent && GTK_IS_WINDOW(parent) ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER;
}

// What a message box shows, computed without GTK+ so that a process without a
// display can still ask its responder.
struct MessageBox {
    DialogRequest request;
    guint buttonSet = 0;
    std::string markup;
    const gchar *heading = nullptr;
    const gchar *text = nullptr;
    std::string icon;  // file name, empty when none
    GtkWidget *iconWidget = nullptr;
    int wrapWidth = kMessageWrapWidth;
    const gchar *checkLabel = nullptr;
    GCallback toggled = nullptr;
    gpointer toggledData = nullptr;
    gboolean checked = FALSE;
    // String dialogs.
    bool withEntry = false;
    gint maximumLength = 0;
    GCallback insertText = nullptr;
    gpointer insertTextData = nullptr;
};

MessageBox describeMessage(int kindIndex, const gchar *text, const gchar *heading, const gchar *title, gint cancel,
                           const gchar *checkLabel, GCallback toggled, gpointer toggledData, gboolean checked)
{
    const KindSpec &kind = kKinds[static_cast<std::size_t>(kindIndex)];
    MessageBox box;
    if (kind.kind == DialogKind::Question)
        box.buttonSet = VORNKIT_RESPONSE_YES | VORNKIT_RESPONSE_NO | (cancel == 1 ? VORNKIT_RESPONSE_CANCEL : 0);
    else
        box.buttonSet = VORNKIT_RESPONSE_OK | (cancel == 1 ? VORNKIT_RESPONSE_CANCEL : 0);
    box.heading = heading;
    box.text = text;
    box.markup = messageMarkup(heading, text);
    GString_ icon(g_strdup_printf("%s/dialogs/%s", imagesDir().c_str(), kind.icon));
    box.icon = icon.get();
    box.checkLabel = checkLabel;
    box.toggled = toggled;
    box.toggledData = toggledData;
    box.checked = checked;

    auto &r = box.request;
    r.kind = kind.kind;
    r.title = messageTitle(kind, title);
    r.heading = heading ? heading : "";
    r.text = text ? text : "";
    r.buttons = buttonsOf(box.buttonSet);
    r.defaultResponse = defaultResponseOf(box.buttonSet);
    if (checkLabel) {
        r.checkLabel = withoutMnemonic(checkLabel);
        r.checked = checked != FALSE;
    }
    return box;
}

struct BuiltDialog {
    GtkWidget *dialog = nullptr;
    GtkWidget *check = nullptr;
    GtkWidget *entry = nullptr;
};

BuiltDialog buildDialog(const MessageBox &box, GtkWidget *parent, bool modal)
{
    BuiltDialog built;
    guint flags = VORNKIT_DIALOG_NO_SEPARATOR | (modal ? VORNKIT_DIALOG_MODAL : 0);
    built.dialog = VornKit_DialogBox_NewDialog(box.request.title.c_str(), parent, flags, positionFor(parent), FALSE);
    GtkWidget *content = GTK_DIALOG(built.dialog)->vbox;

    GtkWidget *row = gtk_hbox_new(FALSE, 10);
    GtkWidget *icon = box.iconWidget;
    if (!icon && !box.icon.empty()) {
        if (GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(box.icon.c_str(), nullptr)) {
            icon = gtk_image_new_from_pixbuf(pixbuf);
            g_object_unref(pixbuf);
        }
    }
    if (icon) {
        gtk_misc_set_alignment(GTK_MISC(icon), 0.5f, 0.0f);
        gtk_misc_set_padding(GTK_MISC(icon), 15, 5);
        gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
    }
    GtkWidget *label = messageLabel(box.markup, box.heading, box.text, box.wrapWidth);
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(row), 5);

    GtkWidget *column = gtk_vbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(column), 5);
    gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 0);

    if (box.withEntry) {
        built.entry = gtk_entry_new();
        if (box.maximumLength > 0)
            gtk_entry_set_max_length(GTK_ENTRY(built.entry), box.maximumLength);
        if (box.request.entryText)
            gtk_entry_set_text(GTK_ENTRY(built.entry), box.request.entryText->c_str());
        // Connected after the initial text went in: the filter is for typing.
        if (box.insertText)
            g_signal_connect(built.entry, "insert-text", box.insertText, box.insertTextData);
        gtk_entry_set_activates_default(GTK_ENTRY(built.entry), TRUE);
        gtk_box_pack_start(GTK_BOX(column), built.entry, FALSE, FALSE, 0);
    }
    if (box.checkLabel) {
        built.check = gtk_check_button_new_with_mnemonic(box.checkLabel);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(built.check), box.checked);
        // Connected after the initial state is set, so the handler hears the
        // user's changes only.
        if (box.toggled)
            g_signal_connect(built.check, "toggled", box.toggled, box.toggledData);
        gtk_box_pack_start(GTK_BOX(column), built.check, FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(content), column, TRUE, TRUE, 0);

    VornKit_DialogBox_SetDialogButtons(built.dialog, box.buttonSet, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(built.dialog), box.request.defaultResponse);
    g_signal_connect(built.dialog, "delete-event", G_CALLBACK(refuseWindowManagerClose), nullptr);
    if (built.entry)
        gtk_widget_grab_focus(built.entry);
    return built;
}

GtkWidget *showMessage(MessageBox box, GtkWidget *parent)
{
    vorn::dialogs::noteShown(box.request);
    if (!haveDisplay()) {
        std::fprintf(stderr, "%s", vorn::dialogs::describe(box.request).c_str());
        return nullptr;
    }
    BuiltDialog built = buildDialog(box, parent, false);
    // After the caller's own response handlers, which still see a live dialog.
    g_signal_connect_after(built.dialog, "response", G_CALLBACK(destroyOnResponse), nullptr);
    gtk_widget_show_all(built.dialog);
    return built.dialog;
}

struct ModalResult {
    int response = 0;
    std::optional<std::string> entryText;
};

void markDestroyed(GtkWidget *, gpointer destroyed) noexcept { *static_cast<bool *>(destroyed) = true; }

// Asks the responder first; runs the real dialog only when nobody answers.
ModalResult runModal(const MessageBox &box, GtkWidget *parent)
{
    ModalResult result;
    std::optional<vorn::dialogs::DialogAnswer> answer = vorn::dialogs::ask(box.request);
    if (!haveDisplay()) {
        if (!answer) {
            // Nobody can see a dialog here: say what it was and take the
            // answer that loses nothing.
            std::fprintf(stderr, "%s", vorn::dialogs::describe(box.request).c_str());
            result.response = vorn::dialogs::safeResponse(box.request);
            result.entryText = box.request.entryText;
            return result;
        }
        result.response = answer->response;
        result.entryText = answer->entryText ? answer->entryText : box.request.entryText;
        if (result.entryText && box.maximumLength > 0 &&
            g_utf8_strlen(result.entryText->c_str(), -1) > box.maximumLength) {
            const gchar *end = g_utf8_offset_to_pointer(result.entryText->c_str(), box.maximumLength);
            result.entryText->resize(static_cast<std::size_t>(end - result.entryText->c_str()));
        }
        return result;
    }

    BuiltDialog built = buildDialog(box, parent, true);
    bool destroyed = false;
    g_signal_connect(built.dialog, "destroy", G_CALLBACK(markDestroyed), &destroyed);
    if (answer) {
        // The answer goes through the real widgets, so the check box handler
        // and the entry's filter see it as they would see the user.
        if (built.check && answer->checked)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(built.check), *answer->checked);
        if (built.entry && answer->entryText)
            gtk_entry_set_text(GTK_ENTRY(built.entry), answer->entryText->c_str());
        result.response = answer->response;
    } else {
        gtk_widget_show_all(built.dialog);
        do {
            result.response = gtk_dialog_run(GTK_DIALOG(built.dialog));
        } while (!destroyed && (result.response == GTK_RESPONSE_DELETE_EVENT || result.response == GTK_RESPONSE_NONE));
    }
    if (destroyed) {
        // Destroyed under us (VornKit_DialogBox_Done at shutdown).
        result.response = vorn::dialogs::safeResponse(box.request);
        return result;
    }
    if (built.entry)
        result.entryText = gtk_entry_get_text(GTK_ENTRY(built.entry));
    g_signal_handlers_disconnect_by_func(built.dialog, reinterpret_cast<gpointer>(markDestroyed), &destroyed);
    gtk_widget_destroy(built.dialog);
    return result;
}

GtkWidget *messageDialog(int kindIndex, const gchar *text, const gchar *heading, const gchar *title,
                         GtkWidget *parent, gint cancel, const gchar *checkLabel = nullptr,
                         GCallback toggled = nullptr, gpointer data = nullptr, gboolean checked = FALSE)
{
    return showMessage(describeMessage(kindIndex, text, heading, title, cancel, checkLabel, toggled, data, checked),
                       parent);
}

gint modalMessage(int kindIndex, const gchar *text, const gchar *heading, const gchar *title, GtkWidget *parent,
                  gint cancel, const gchar *checkLabel = nullptr, GCallback toggled = nullptr,
                  gpointer data = nullptr, gboolean checked = FALSE)
{
    return runModal(describeMessage(kindIndex, text, heading, title, cancel, checkLabel, toggled, data, checked),
                    parent)
        .response;
}

MessageBox describeStringDialog(const gchar *text, const gchar *heading, const gchar *title,
                                const gchar *initialText, gint maximumLength, gint cancel, GtkWidget *icon,
                                GCallback insertText, gpointer data)
{
    MessageBox box;
    box.buttonSet = VORNKIT_RESPONSE_OK | (cancel == 1 ? VORNKIT_RESPONSE_CANCEL : 0);
    box.heading = heading;
    box.text = text;
    box.markup = messageMarkup(heading, text);
    box.iconWidget = icon;
    box.wrapWidth = kStringDialogWrapWidth;
    box.withEntry = true;
    box.maximumLength = maximumLength;
    box.insertText = insertText;
    box.insertTextData = data;

    auto &r = box.request;
    r.kind = DialogKind::String;
    r.title = title ? title : VORN_APP_NAME;
    r.heading = heading ? heading : "";
    r.text = text ? text : "";
    r.buttons = buttonsOf(box.buttonSet);
    r.defaultResponse = defaultResponseOf(box.buttonSet);
    r.entryText = initialText ? initialText : "";
    return box;
}

}  // namespace

extern "C" {

void VornKit_DialogBox_SetImagesDirectory(const gchar *directory)
{
    auto &m = module();
    std::lock_guard guard(m.lock);
    m.imagesDir = directory ? directory : VORN_IMAGES_DIR;
}

void VornKit_DialogBox_Init(void)
{
    const std::string dir = imagesDir();
    GList *icons = nullptr;
    for (int size : kWindowIconSizes) {
        GString_ path(g_strdup_printf("%s/appicons/%s-icon-%d.png", dir.c_str(), VORN_PACKAGE_NAME, size));
        if (GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(path.get(), nullptr))
            icons = g_list_append(icons, pixbuf);
    }
    auto &m = module();
    std::lock_guard guard(m.lock);
    std::swap(m.icons, icons);
    g_list_free_full(icons, g_object_unref);
}

void VornKit_DialogBox_Done(void)
{
    std::vector<GtkWidget *> live;
    GList *icons = nullptr;
    {
        auto &m = module();
        std::lock_guard guard(m.lock);
        live = m.liveDialogs;
        std::swap(icons, m.icons);
    }
    // Destroyed outside the lock: each dialog's destroy handler takes it to
    // leave the list. Newest first, so a dialog goes before its parent dialog.
    for (auto it = live.rbegin(); it != live.rend(); ++it) {
        bool stillLive = false;
        {
            auto &m = module();
            std::lock_guard guard(m.lock);
            stillLive = std::find(m.liveDialogs.begin(), m.liveDialogs.end(), *it) != m.liveDialogs.end();
        }
        if (stillLive)
            gtk_widget_destroy(*it);
    }
    g_list_free_full(icons, g_object_unref);
}

GList *VornKit_DialogBox_GetWindowIconsList(void)
{
    auto &m = module();
    std::lock_guard guard(m.lock);
    return m.icons;
}

GtkWidget *VornKit_DialogBox_NewDialog(const gchar *title, GtkWidget *parent, guint flags,
                                       GtkWindowPosition position, gboolean resizable)
{
    GtkWidget *dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), title ? title : "");
    if (parent && GTK_IS_WINDOW(parent))
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(parent));
    gtk_window_set_modal(GTK_WINDOW(dialog), (flags & VORNKIT_DIALOG_MODAL) != 0);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), (flags & VORNKIT_DIALOG_DESTROY_WITH_PARENT) != 0);
    gtk_dialog_set_has_separator(GTK_DIALOG(dialog), (flags & VORNKIT_DIALOG_NO_SEPARATOR) == 0);
    gtk_window_set_position(GTK_WINDOW(dialog), position);
    gtk_window_set_resizable(GTK_WINDOW(dialog), resizable);
    {
        auto &m = module();
        std::lock_guard guard(m.lock);
        if (m.icons)
            gtk_window_set_icon_list(GTK_WINDOW(dialog), m.icons);
        m.liveDialogs.push_back(dialog);
    }
    g_signal_connect(dialog, "destroy", G_CALLBACK(forgetLiveDialog), nullptr);
    return dialog;
}

void VornKit_DialogBox_SetDialogButtons(GtkWidget *dialog, guint buttonSet, GtkWidget **slots)
{
    if (slots)
        std::fill(slots, slots + VORNKIT_DIALOG_BUTTON_SLOTS, nullptr);
    for (const auto &b : kButtons) {
        if (!(buttonSet & static_cast<guint>(b.code)))
            continue;
        GtkWidget *button = gtk_dialog_add_button(GTK_DIALOG(dialog), tr(b.label), b.code);
        GtkRequisition natural;
        gtk_widget_size_request(button, &natural);
        gtk_widget_set_size_request(button, natural.width + kExtraButtonWidth, -1);
        if (slots)
            slots[b.slot] = button;
    }
}

GtkWidget *VornKit_DialogBox_InfoDialog(const gchar *text, const gchar *heading, const gchar *title,
                                        GtkWidget *parent, gint cancel)
{
    return messageDialog(VORNKIT_MESSAGE_INFO, text, heading, title, parent, cancel);
}

GtkWidget *VornKit_DialogBox_ErrorDialog(const gchar *text, const gchar *heading, const gchar *title,
                                         GtkWidget *parent, gint cancel)
{
    return messageDialog(VORNKIT_MESSAGE_ERROR, text, heading, title, parent, cancel);
}

GtkWidget *VornKit_DialogBox_WarningDialog(const gchar *text, const gchar *heading, const gchar *title,
                                           GtkWidget *parent, gint cancel)
{
    return messageDialog(VORNKIT_MESSAGE_WARNING, text, heading, title, parent, cancel);
}

GtkWidget *VornKit_DialogBox_QuestionDialog(const gchar *text, const gchar *heading, const gchar *title,
                                            GtkWidget *parent, gint cancel)
{
    return messageDialog(VORNKIT_MESSAGE_QUESTION, text, heading, title, parent, cancel);
}

gint VornKit_DialogBox_ModalInfoDialog(const gchar *text, const gchar *heading, const gchar *title,
                                       GtkWidget *parent, gint cancel)
{
    return modalMessage(VORNKIT_MESSAGE_INFO, text, heading, title, parent, cancel);
}

gint VornKit_DialogBox_ModalErrorDialog(const gchar *text, const gchar *heading, const gchar *title,
                                        GtkWidget *parent, gint cancel)
{
    return modalMessage(VORNKIT_MESSAGE_ERROR, text, heading, title, parent, cancel);
}

gint VornKit_DialogBox_ModalWarningDialog(const gchar *text, const gchar *heading, const gchar *title,
                                          GtkWidget *parent, gint cancel)
{
    return modalMessage(VORNKIT_MESSAGE_WARNING, text, heading, title, parent, cancel);
}

gint VornKit_DialogBox_ModalQuestionDialog(const gchar *text, const gchar *heading, const gchar *title,
                                           GtkWidget *parent, gint cancel)
{
    return modalMessage(VORNKIT_MESSAGE_QUESTION, text, heading, title, parent, cancel);
}

GtkWidget *VornKit_DialogBox_InfoDialog_WithCallback(const gchar *text, const gchar *heading, const gchar *title,
    GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled, gpointer toggledData,
    gboolean checked)
{
    return messageDialog(VORNKIT_MESSAGE_INFO, text, heading, title, parent, cancel, checkLabel, toggled,
                         toggledData, checked);
}

GtkWidget *VornKit_DialogBox_ErrorDialog_WithCallback(const gchar *text, const gchar *heading, const gchar *title,
    GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled, gpointer toggledData,
    gboolean checked)
{
    return messageDialog(VORNKIT_MESSAGE_ERROR, text, heading, title, parent, cancel, checkLabel, toggled,
                         toggledData, checked);
}

GtkWidget *VornKit_DialogBox_WarningDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled,
    gpointer toggledData, gboolean checked)
{
    return messageDialog(VORNKIT_MESSAGE_WARNING, text, heading, title, parent, cancel, checkLabel, toggled,
                         toggledData, checked);
}

GtkWidget *VornKit_DialogBox_QuestionDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled,
    gpointer toggledData, gboolean checked)
{
    return messageDialog(VORNKIT_MESSAGE_QUESTION, text, heading, title, parent, cancel, checkLabel, toggled,
                         toggledData, checked);
}

gint VornKit_DialogBox_ModalInfoDialog_WithCallback(const gchar *text, const gchar *heading, const gchar *title,
    GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled, gpointer toggledData,
    gboolean checked)
{
    return modalMessage(VORNKIT_MESSAGE_INFO, text, heading, title, parent, cancel, checkLabel, toggled,
                        toggledData, checked);
}

gint VornKit_DialogBox_ModalErrorDialog_WithCallback(const gchar *text, const gchar *heading, const gchar *title,
    GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled, gpointer toggledData,
    gboolean checked)
{
    return modalMessage(VORNKIT_MESSAGE_ERROR, text, heading, title, parent, cancel, checkLabel, toggled,
                        toggledData, checked);
}

gint VornKit_DialogBox_ModalWarningDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled,
    gpointer toggledData, gboolean checked)
{
    return modalMessage(VORNKIT_MESSAGE_WARNING, text, heading, title, parent, cancel, checkLabel, toggled,
                        toggledData, checked);
}

gint VornKit_DialogBox_ModalQuestionDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel, GCallback toggled,
    gpointer toggledData, gboolean checked)
{
    return modalMessage(VORNKIT_MESSAGE_QUESTION, text, heading, title, parent, cancel, checkLabel, toggled,
                        toggledData, checked);
}

GtkWidget *VornKit_DialogBox_StringDialog(const gchar *text, const gchar *heading, const gchar *title,
    const gchar *initialText, gint maximumLength, GtkWidget *parent, gint cancel, GtkWidget **entryOut,
    GtkWidget *icon, GCallback insertTextHandler, gpointer handlerData)
{
    MessageBox box = describeStringDialog(text, heading, title, initialText, maximumLength, cancel, icon,
                                          insertTextHandler, handlerData);
    if (entryOut)
        *entryOut = nullptr;
    vorn::dialogs::noteShown(box.request);
    if (!haveDisplay())
        return nullptr;
    BuiltDialog built = buildDialog(box, parent, false);
    if (entryOut)
        *entryOut = built.entry;
    g_signal_connect_after(built.dialog, "response", G_CALLBACK(destroyOnResponse), nullptr);
    gtk_widget_show_all(built.dialog);
    return built.dialog;
}

gchar *VornKit_DialogBox_ModalStringDialog(const gchar *text, const gchar *heading, const gchar *title,
    const gchar *initialText, gint maximumLength, GtkWidget *parent, gint cancel, GtkWidget *icon,
    GCallback insertTextHandler, gpointer handlerData)
{
    MessageBox box = describeStringDialog(text, heading, title, initialText, maximumLength, cancel, icon,
                                          insertTextHandler, handlerData);
    ModalResult result = runModal(box, parent);
    if (result.response != VORNKIT_RESPONSE_OK || !result.entryText)
        return nullptr;
    return g_strdup(result.entryText->c_str());
}

}  // extern "C"
