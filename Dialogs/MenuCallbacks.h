/*
 * What the main window's menu items and tool buttons do. Each action takes
 * the activating item (may be NULL) and the main window.
 */
#ifndef VORN_MENU_CALLBACKS_H
#define VORN_MENU_CALLBACKS_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

/* Saves the window's compilation under its file name, on a worker with the
 * save progress dialog. A compilation that has no file name yet is left
 * alone for now: choosing one belongs to the "Save as" dialog, which the
 * menus bring. */
void MenuCallbacks_FileSave(GtkWidget *item, GtkWidget *mainWindow);

G_END_DECLS

#endif
