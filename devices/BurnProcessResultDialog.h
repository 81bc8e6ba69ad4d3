/*
 * "VornBurnProcessResultDialog": how a burn ended. An icon and a title and
 * message chosen by the result and by what the burn did (write, simulation
 * or speed measurement), the burn's events behind "_Details >>", the engine's
 * log with "_Save Log..." (and, after a failure, the advice to save it), and
 * "_Burn Again" for a single-session compilation burned to a real recorder.
 *
 * The dialog is not modal. Closing it (or "_Burn Again") drops the
 * compilation, and when asked to, unsets the main window's active
 * compilation. Main thread, GDK lock held.
 */
#ifndef VORN_BURN_PROCESS_RESULT_DIALOG_H
#define VORN_BURN_PROCESS_RESULT_DIALOG_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORN_TYPE_BURN_PROCESS_RESULT_DIALOG (BurnProcessResultDialog_GetType())
#define IS_VORN_BURN_PROCESS_RESULT_DIALOG(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_BURN_PROCESS_RESULT_DIALOG))

typedef struct _BurnProcessResultDialog {
    GtkDialog parent;
} BurnProcessResultDialog;

typedef struct _BurnProcessResultDialogClass {
    GtkDialogClass parentClass;
} BurnProcessResultDialogClass;

GType BurnProcessResultDialog_GetType(void);

/* A new dialog over `parent` for the engine result `result` of a burn with
 * `flags` (VORN_BURN_*) on `writer` (copied). Not shown yet. */
GtkWidget *BurnProcessResultDialog_New(GtkWidget *parent, gint32 result, guint32 flags, const VornDeviceEntry *writer);

/* The burn widget's events; enables "_Details >>". */
void BurnProcessResultDialog_SetBurnEvents(GtkWidget *dialog, GtkTreeModel *events);

/* Keeps a copy of the engine's log (in the engine's code page) and shows the
 * "_Save Log..." row. For results without a text of their own the last line
 * of the log is the message. */
void BurnProcessResultDialog_SetBurnLog(GtkWidget *dialog, const gchar *log);

/* Keeps the compilation (one reference) for "_Burn Again" when it may be
 * burned again: single session, written (not simulated) to a real recorder.
 * The button is then sensitive exactly while no burn runs. */
void BurnProcessResultDialog_SetCompilation(GtkWidget *dialog, gpointer compilation);

/* Closing the dialog unsets the active compilation of `mainWindow`. */
void BurnProcessResultDialog_UnregisterCompilationAtEnd(GtkWidget *dialog, GtkWidget *mainWindow);

/* What this layer cannot know of compilations and main windows: the burn
 * process installs these. Any may be NULL. */
typedef struct BurnProcessResultDialogHooks {
    gboolean (*isSingleSession)(gpointer compilation);
    void (*burnAgain)(gpointer compilation, const VornDeviceEntry *writer, GtkWidget *parent);
    void (*unsetActiveCompilation)(GtkWidget *mainWindow);
} BurnProcessResultDialogHooks;
void BurnProcessResultDialog_SetHooks(const BurnProcessResultDialogHooks *hooks);

/* The texts of a result: title (may be empty: none) and message, and
 * whether the advice to save the log goes with it. `speed` is the formatted
 * writing speed or NULL; `failureMessage` the engine's message for results
 * without a text of their own. Own strings in the outputs (g_free). */
void BurnProcessResultDialog_GetTexts(gint32 result, guint32 flags, const gchar *speed,
                                      const gchar *failureMessage, gchar **title, gchar **message,
                                      gboolean *adviseSavingLog);

G_END_DECLS

#endif
