/*
 * The dialog in which the user chooses and sets up a new compilation.
 */
#ifndef VORN_NEW_COMPILATION_DIALOG_H
#define VORN_NEW_COMPILATION_DIALOG_H

#include <gtk/gtk.h>

/* Builds the "New Compilation" dialog for `mainWindow` without showing it.
 * The caller shows it or destroys it. */
GtkWidget *NewCompilationDialog_NewCompilation(GtkWidget *mainWindow) noexcept;

#endif
