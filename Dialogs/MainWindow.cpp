// The window itself, its size and its place in the main window list. Menus,
// toolbar, compilation area, capacity bar, status bar and active recorder
// come with the main window's own work.
#include "MainWindow.h"

#include "Main/Main.h"
#include "OptionsDatabase.h"
#include "VornPaths.h"

#include <algorithm>

namespace {

// Global settings the window reads.
constexpr gint32 kSettingDefaultWidth = 71;
constexpr gint32 kSettingDefaultHeight = 72;
constexpr gint32 kSettingMaximized = 68;

// The window's size from the settings: never smaller than the minimum, and the
// minimum when the setting is missing (-1).
int settingAtLeast(gint32 id, int minimum)
{
    const gint64 value = OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, id);
    return static_cast<int>(std::clamp<gint64>(value, minimum, G_MAXINT));
}

}  // namespace

G_DEFINE_TYPE(VornMainWindow, vorn_main_window, VORN_TYPE_WINDOW)

static void vorn_main_window_finalize(GObject *object)
{
    G_OBJECT_CLASS(vorn_main_window_parent_class)->finalize(object);
    // The pointer is only a key of the list from here on; the removal that
    // empties it ends the application.
    Main_RemoveMainWindow(object);
}

static void vorn_main_window_class_init(VornMainWindowClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_main_window_finalize;
}

static void vorn_main_window_init(VornMainWindow *self)
{
    GtkWindow *window = GTK_WINDOW(self);

    GtkWidget *root = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(self), root);
    // Stands where the compilation will be while the window shows none.
    GtkWidget *emptyArea = gtk_drawing_area_new();
    gtk_box_pack_start(GTK_BOX(root), emptyArea, TRUE, TRUE, 0);
    gtk_widget_show_all(root);

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
