/*
 * The burn as the main window starts it: the burn process of
 * BurnProcessCore.h with the burn widget in the main window, the engine's
 * progress reaching it, the abort button, and the result dialog at the end.
 */
#ifndef VORN_BURN_COMPILATION_H
#define VORN_BURN_COMPILATION_H

#include "BurnProcessCore.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

/*
 * Starts a burn of `compilation` on `recorder` for `mainWindow` (a
 * "VornMainWindow", or NULL). Main thread, GDK lock held. Returns
 * BURN_PROCESS_*: 0 started, 1 the compilation's checks refused, 2 a burn
 * runs already, 3 it could not be started.
 */
gint BurnCompilation_StartBurnProcess(gpointer compilation, const VornDeviceEntry *recorder, GtkWidget *mainWindow);

G_END_DECLS

#endif
