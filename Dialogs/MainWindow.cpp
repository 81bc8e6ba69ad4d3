// The window itself, its size and its place in the main window list. Menus,
// toolbar, compilation area, capacity bar, status bar and active recorder
// come with the main window's own work.
#include "MainWindow.h"

#include "BurnProcessWidget.h"
#include "ExtendedProgress.h"
#include "Main/Main.h"
#include "OptionsDatabase.h"
#include "VornPaths.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <new>
#include <string>

namespace {

// Global settings the window reads.
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
};

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

// The compilation's name is not known to this window yet: the title shows
// the application or the specific text alone.
void refreshTitle(GtkWidget *window, MainWindowPrivate &p, gint percent)
{
    const char *name = "";
    gchar *title = nullptr;
    if (p.specificTitle.empty())
        title = g_strdup(VORN_APP_NAME);
    else if (percent != -1)
        title = g_strdup_printf(_("%3d%% %s - [%s]"), percent, p.specificTitle.c_str(), name);
    else
        title = g_strdup_printf(_("%s - [%s]"), p.specificTitle.c_str(), name);
    gtk_window_set_title(GTK_WINDOW(window), title);
    g_free(title);
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

static void vorn_main_window_class_init(VornMainWindowClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_main_window_finalize;
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
    gtk_widget_hide(p->emptyArea);
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
    gtk_widget_show(p->emptyArea);
    p->burnRunning = false;
}

gboolean MainWindow_IsBurnRunning(GtkWidget *window)
{
    MainWindowPrivate *p = priv(window);
    return p && p->burnRunning ? TRUE : FALSE;
}
