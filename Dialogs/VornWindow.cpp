#include "VornWindow.h"

#include "DialogBox/DialogBox.h"

G_DEFINE_TYPE(VornWindow, vorn_window, GTK_TYPE_WINDOW)

static void vorn_window_class_init(VornWindowClass *) {}

static void vorn_window_init(VornWindow *self)
{
    // The list is borrowed: GTK+ references the icons it keeps.
    if (GList *icons = VornKit_DialogBox_GetWindowIconsList())
        gtk_window_set_icon_list(GTK_WINDOW(self), icons);
}

GType VornWindow_GetType(void)
{
    return vorn_window_get_type();
}

GtkWidget *VornWindow_New(void)
{
    return GTK_WIDGET(g_object_new(VORN_TYPE_WINDOW, "type", GTK_WINDOW_TOPLEVEL, nullptr));
}
