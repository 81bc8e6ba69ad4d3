// The window itself, its size, its place in the main window list, the
// compilation it shows and the burns of that compilation. Menus, toolbar,
// capacity bar and active recorder come with the main window's own work.
#include "MainWindow.h"

#include "BurnProcessWidget.h"
#include "Compilation.h"
#include "CompilationFileJobs.h"
#include "CompilationOptions.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "ExtendedProgress.h"
#include "Main/Main.h"
#include "MenuCallbacks.h"
#include "OptionsDatabase.h"
#include "VornPaths.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <new>
#include <string>

namespace {

// Global settings the window reads.
constexpr gint32 kSettingPromptToSave = 1;
constexpr gint32 kSettingDefaultWidth = 71;
constexpr gint32 kSettingDefaultHeight = 72;
constexpr gint32 kSettingMaximized = 68;
constexpr gint32 kSettingShowStatusBar = 65;
// Burn process setting: the window the running burn belongs to.
constexpr gint32 kBurnParentMainWindow = 2;

struct MainWindowPrivate {
    GtkWidget *root = nullptr;
    GtkWidget *emptyArea = nullptr;
    GtkWidget *burnArea = nullptr;
    GtkWidget *statusArea = nullptr;
    GtkWidget *statusBar = nullptr;
    guint burnContext = 0;
    bool burnMessageShown = false;
    bool burnRunning = false;
    std::string specificTitle;  // empty: none

    Compilation *compilation = nullptr;   // one reference while shown
    GtkWidget *compilationWidget = nullptr;  // the compilation's, packed in the root box
    VornOption *nameOption = nullptr;     // the compilation's name, borrowed
    gulong nameHandler = 0;
    gulong burnStartedHandler = 0;
    gulong burnFinishedHandler = 0;
};

enum { SIGNAL_COMPILATION_SET, SIGNAL_COMPILATION_UNSET, SIGNAL_COUNT };
guint signals[SIGNAL_COUNT];

// The window's size from the settings: never smaller than the minimum, and the
// minimum when the setting is missing (-1).
int settingAtLeast(gint32 id, int minimum)
{
    const gint64 value = OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, id);
    return static_cast<int>(std::clamp<gint64>(value, minimum, G_MAXINT));
}

}  // namespace

using VornMainWindowPrivate = MainWindowPrivate;
G_DEFINE_TYPE_WITH_PRIVATE(VornMainWindow, vorn_main_window, VORN_TYPE_WINDOW)

namespace {

MainWindowPrivate *priv(GtkWidget *window)
{
    return window && IS_VORN_MAIN_WINDOW(window)
               ? static_cast<MainWindowPrivate *>(vorn_main_window_get_instance_private(VORN_MAIN_WINDOW(window)))
               : nullptr;
}

// "<specific> - [<name>]" (with the percent in front when given),
// "<name> - Vorn Linux" with a compilation, else the application's name.
void refreshTitle(GtkWidget *window, MainWindowPrivate &p, gint percent)
{
    gchar *name = p.compilation ? OptionsDatabase_GetStringOptionValue(p.compilation->options, COMPILATION_OPTION_NAME)
                                : nullptr;
    const char *shown = name ? name : "";
    gchar *title = nullptr;
    if (!p.specificTitle.empty() && percent != -1)
        title = g_strdup_printf(_("%3d%% %s - [%s]"), percent, p.specificTitle.c_str(), shown);
    else if (!p.specificTitle.empty())
        title = g_strdup_printf(_("%s - [%s]"), p.specificTitle.c_str(), shown);
    else if (p.compilation)
        title = g_strdup_printf(_("%s - %s"), shown, VORN_APP_NAME);
    else
        title = g_strdup(VORN_APP_NAME);
    gtk_window_set_title(GTK_WINDOW(window), title);
    g_free(title);
    g_free(name);
}

void onNameChanged(VornOption *, gpointer window) noexcept
{
    if (MainWindowPrivate *p = priv(static_cast<GtkWidget *>(window)))
        refreshTitle(static_cast<GtkWidget *>(window), *p, -1);
}

void onBurnStarted(Compilation *compilation, gpointer window) noexcept
{
    MainWindow_BurnStarted(static_cast<GtkWidget *>(window), compilation->burnProcessWidget);
}

void onBurnFinished(Compilation *, gint, gpointer window) noexcept
{
    MainWindow_BurnFinished(static_cast<GtkWidget *>(window));
}

void onNeverAskAgainToggled(GtkToggleButton *check, gpointer) noexcept
{
    OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingPromptToSave,
                                          gtk_toggle_button_get_active(check) ? 0 : 1);
}

gboolean quitWhenSaveIsOver(gpointer data) noexcept
{
    auto *compilation = static_cast<Compilation *>(data);
    if (compilation->saved == 1 || !CompilationFile_IsSaving(compilation)) {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

// Asks whether to save a compilation with unsaved changes before it goes.
// TRUE when it may go: saved, not to be saved, or nothing to ask. A save
// that fails (or is never started, as for a compilation without a file name
// yet) keeps the compilation, so that nothing is lost.
bool mayDropCompilation(GtkWidget *window, MainWindowPrivate &p)
{
    Compilation *compilation = p.compilation;
    if (OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingPromptToSave) != 1 ||
        !compilation->operations.SaveCompilation || compilation->saved == 1)
        return true;
    gint answer = 0;
    {
        vorn::dialogs::RoleScope role("save-compilation");
        answer = VornKit_DialogBox_ModalQuestionDialog_WithCallback(
            _("Do you want to save your compilation?"), nullptr, nullptr, window, 1, _("N_ever show this message again"),
            G_CALLBACK(onNeverAskAgainToggled), nullptr, FALSE);
    }
    if (answer == VORNKIT_RESPONSE_NO)
        return true;
    if (answer != VORNKIT_RESPONSE_YES)
        return false;
    g_object_ref(compilation);
    MenuCallbacks_FileSave(nullptr, window);
    // The save runs on a worker that takes the GDK lock for its progress:
    // wait in a main loop that releases it.
    if (compilation->saved != 1 && CompilationFile_IsSaving(compilation)) {
        g_timeout_add(20, quitWhenSaveIsOver, compilation);
        gtk_main();
    }
    const bool saved = compilation->saved == 1;
    g_object_unref(compilation);
    return saved;
}

// Everything the window holds of its compilation goes; the empty area comes
// back. The compilation itself is dropped last.
void detachCompilation(MainWindowPrivate &p)
{
    Compilation *compilation = p.compilation;
    if (p.nameOption && p.nameHandler)
        g_signal_handler_disconnect(p.nameOption, p.nameHandler);
    p.nameOption = nullptr;
    p.nameHandler = 0;
    for (gulong *handler : {&p.burnStartedHandler, &p.burnFinishedHandler}) {
        if (*handler)
            g_signal_handler_disconnect(compilation, *handler);
        *handler = 0;
    }
    if (p.compilationWidget) {
        // The compilation owns its widget; the window only lends it a place.
        gtk_container_remove(GTK_CONTAINER(p.root), p.compilationWidget);
        p.compilationWidget = nullptr;
    }
    p.compilation = nullptr;
    g_object_unref(compilation);
}

gboolean onDeleteEvent(GtkWidget *window, GdkEvent *, gpointer) noexcept
{
    MainWindowPrivate *p = priv(window);
    // A window whose burn still runs stays: the burn reports into it.
    return p && p->burnRunning ? TRUE : FALSE;
}

void hookTitlePercentage(GtkWidget *window, gint percent)
{
    MainWindow_UpdateSpecificTitlePercentage(window, percent);
}

const ExtendedProgressWindowHooks kProgressHooks = {hookTitlePercentage, MainWindow_SetSpecificWindowTitle,
                                                    MainWindow_SetBurnStatusMessage};

}  // namespace

static void vorn_main_window_finalize(GObject *object)
{
    if (MainWindowPrivate *p = priv(GTK_WIDGET(object)))
        p->~MainWindowPrivate();
    G_OBJECT_CLASS(vorn_main_window_parent_class)->finalize(object);
    // The pointer is only a key of the list from here on; the removal that
    // empties it ends the application.
    Main_RemoveMainWindow(object);
}

static void vorn_main_window_dispose(GObject *object)
{
    // A window destroyed with its compilation lets go of it without a
    // question: whoever closes the window has asked already.
    if (MainWindowPrivate *p = priv(GTK_WIDGET(object)); p && p->compilation)
        detachCompilation(*p);
    G_OBJECT_CLASS(vorn_main_window_parent_class)->dispose(object);
}

static void vorn_main_window_class_init(VornMainWindowClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_main_window_finalize;
    G_OBJECT_CLASS(klass)->dispose = vorn_main_window_dispose;
    const auto flags = static_cast<GSignalFlags>(G_SIGNAL_RUN_FIRST | G_SIGNAL_ACTION);
    signals[SIGNAL_COMPILATION_SET] =
        g_signal_new("vorn_compilation_set", G_TYPE_FROM_CLASS(klass), flags,
                     G_STRUCT_OFFSET(VornMainWindowClass, vorn_compilation_set), nullptr, nullptr,
                     g_cclosure_marshal_VOID__POINTER, G_TYPE_NONE, 1, G_TYPE_POINTER);
    signals[SIGNAL_COMPILATION_UNSET] =
        g_signal_new("vorn_compilation_unset", G_TYPE_FROM_CLASS(klass), flags,
                     G_STRUCT_OFFSET(VornMainWindowClass, vorn_compilation_unset), nullptr, nullptr,
                     g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
    ExtendedProgress_SetWindowHooks(&kProgressHooks);
}

static void vorn_main_window_init(VornMainWindow *self)
{
    GtkWindow *window = GTK_WINDOW(self);

    MainWindowPrivate &p = *new (vorn_main_window_get_instance_private(self)) MainWindowPrivate{};
    GtkWidget *root = gtk_vbox_new(FALSE, 0);
    p.root = root;
    gtk_container_add(GTK_CONTAINER(self), root);
    // Stands where the compilation will be while the window shows none.
    GtkWidget *emptyArea = gtk_drawing_area_new();
    p.emptyArea = emptyArea;
    gtk_box_pack_start(GTK_BOX(root), emptyArea, TRUE, TRUE, 0);

    p.statusArea = gtk_vbox_new(FALSE, 0);
    GtkWidget *spacer = gtk_label_new("");
    gtk_widget_set_size_request(spacer, -1, 2);
    gtk_box_pack_start(GTK_BOX(p.statusArea), spacer, FALSE, FALSE, 0);
    GtkWidget *statusRow = gtk_hbox_new(FALSE, 0);
    p.statusBar = gtk_statusbar_new();
    gtk_statusbar_set_has_resize_grip(GTK_STATUSBAR(p.statusBar), FALSE);
    gtk_misc_set_padding(GTK_MISC(GTK_STATUSBAR(p.statusBar)->label), 5, 0);
    gtk_box_pack_start(GTK_BOX(statusRow), p.statusBar, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(p.statusArea), statusRow, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(root), p.statusArea, FALSE, FALSE, 0);
    p.burnContext = gtk_statusbar_get_context_id(GTK_STATUSBAR(p.statusBar),
                                                 "Main Window Status Bar Context ID for BurnProcessWidget");
    gtk_widget_show_all(root);
    if (!OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingShowStatusBar))
        gtk_widget_hide(p.statusArea);
    g_signal_connect(self, "delete_event", G_CALLBACK(onDeleteEvent), nullptr);

    gtk_window_set_title(window, VORN_APP_NAME);
    gtk_widget_set_size_request(GTK_WIDGET(self), VORN_MAIN_WINDOW_MIN_WIDTH, VORN_MAIN_WINDOW_MIN_HEIGHT);
    gtk_window_set_default_size(window, settingAtLeast(kSettingDefaultWidth, VORN_MAIN_WINDOW_MIN_WIDTH),
                                settingAtLeast(kSettingDefaultHeight, VORN_MAIN_WINDOW_MIN_HEIGHT));
    if (OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingMaximized))
        gtk_window_maximize(window);

    Main_AddMainWindow(self);
}

GType MainWindow_GetType(void)
{
    return vorn_main_window_get_type();
}

GtkWidget *MainWindow_New(void)
{
    return GTK_WIDGET(g_object_new(VORN_TYPE_MAIN_WINDOW, "type", GTK_WINDOW_TOPLEVEL, nullptr));
}

gint MainWindow_SetActiveCompilation(GtkWidget *window, gpointer compilation)
{
    MainWindowPrivate *p = priv(window);
    if (!p || !IS_VORN_COMPILATION(compilation) || p->compilation)
        return 0;
    auto *c = VORN_COMPILATION(g_object_ref(compilation));
    p->compilation = c;
    p->burnStartedHandler = g_signal_connect(c, "vorn_burn_started", G_CALLBACK(onBurnStarted), window);
    p->burnFinishedHandler = g_signal_connect(c, "vorn_burn_finished", G_CALLBACK(onBurnFinished), window);
    p->nameOption = OptionsDatabase_GetOptionFromID(c->options, COMPILATION_OPTION_NAME);
    if (p->nameOption)
        p->nameHandler = g_signal_connect(p->nameOption, "vorn_value_changed", G_CALLBACK(onNameChanged), window);
    refreshTitle(window, *p, -1);
    if (GtkWidget *widget = Compilation_GetWidget(c)) {
        p->compilationWidget = widget;
        gtk_box_pack_start(GTK_BOX(p->root), widget, TRUE, TRUE, 0);
        gtk_widget_hide(p->emptyArea);
        gtk_widget_show(widget);
    }
    g_signal_emit(window, signals[SIGNAL_COMPILATION_SET], 0, compilation);
    return 1;
}

gint MainWindow_UnsetActiveCompilation(GtkWidget *window)
{
    MainWindowPrivate *p = priv(window);
    if (!p || !p->compilation)
        return 0;
    // The save question may run a main loop: the window stays alive for it.
    g_object_ref(window);
    const bool drop = mayDropCompilation(window, *p) && p->compilation;
    if (drop)
        detachCompilation(*p);
    g_object_unref(window);
    if (!drop)
        return 1;
    g_signal_emit(window, signals[SIGNAL_COMPILATION_UNSET], 0);
    if (!p->burnArea)
        gtk_widget_show(p->emptyArea);
    refreshTitle(window, *p, -1);
    return 1;
}

void MainWindow_ActiveCompilationUpdated(GtkWidget *window)
{
    if (MainWindowPrivate *p = priv(window); p && p->compilation)
        g_signal_emit(window, signals[SIGNAL_COMPILATION_SET], 0, p->compilation);
}

gpointer MainWindow_GetActiveCompilation(GtkWidget *window)
{
    MainWindowPrivate *p = priv(window);
    return p ? p->compilation : nullptr;
}

void MainWindow_SetSpecificWindowTitle(GtkWidget *window, const gchar *text)
{
    MainWindowPrivate *p = priv(window);
    if (!p || !text || !*text)
        return;
    p->specificTitle = text;
    refreshTitle(window, *p, -1);
}

void MainWindow_ResetStandardTitle(GtkWidget *window)
{
    if (MainWindowPrivate *p = priv(window)) {
        p->specificTitle.clear();
        refreshTitle(window, *p, -1);
    }
}

void MainWindow_UpdateSpecificTitlePercentage(GtkWidget *window, gint percent)
{
    if (MainWindowPrivate *p = priv(window))
        refreshTitle(window, *p, percent);
}

void MainWindow_SetBurnStatusMessage(GtkWidget *window, const gchar *text)
{
    MainWindowPrivate *p = priv(window);
    if (!p)
        return;
    if (p->burnMessageShown)
        gtk_statusbar_pop(GTK_STATUSBAR(p->statusBar), p->burnContext);
    p->burnMessageShown = text != nullptr;
    if (text)
        gtk_statusbar_push(GTK_STATUSBAR(p->statusBar), p->burnContext, text);
}

void MainWindow_RemoveBurnStatusMessage(GtkWidget *window)
{
    MainWindow_SetBurnStatusMessage(window, nullptr);
}

void MainWindow_BurnStarted(GtkWidget *window, GtkWidget *burnWidget)
{
    MainWindowPrivate *p = priv(window);
    if (!p || !burnWidget || p->burnArea)
        return;
    p->burnArea = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(p->burnArea), burnWidget, TRUE, TRUE, 35);
    gtk_box_pack_start(GTK_BOX(p->root), p->burnArea, TRUE, TRUE, 0);
    gtk_widget_hide(p->compilationWidget ? p->compilationWidget : p->emptyArea);
    // The burn widget shows its own children; a show_all would also reveal
    // the parts it keeps hidden until the burn reports them.
    gtk_widget_show(burnWidget);
    gtk_widget_show(p->burnArea);
    if (GtkWidget *button = BurnProcessWidget_GetAbortButton(burnWidget))
        gtk_widget_grab_default(button);
    if (BurnProcessDynamicOptionsDatabase)
        OptionsDatabase_SetPointerOptionValue(BurnProcessDynamicOptionsDatabase, kBurnParentMainWindow, window);
    p->burnRunning = true;
}

void MainWindow_BurnFinished(GtkWidget *window)
{
    MainWindowPrivate *p = priv(window);
    if (!p || !p->burnArea)
        return;
    gtk_widget_destroy(p->burnArea);
    p->burnArea = nullptr;
    gtk_widget_show(p->compilationWidget ? p->compilationWidget : p->emptyArea);
    p->burnRunning = false;
}

gboolean MainWindow_IsBurnRunning(GtkWidget *window)
{
    MainWindowPrivate *p = priv(window);
    return p && p->burnRunning ? TRUE : FALSE;
}
