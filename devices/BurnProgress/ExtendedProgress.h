/*
 * The engine's progress object as the application sets it up: all 26
 * callbacks turn the burn's reports into the registered burn widget
 * (BurnProcessWidget.h), the parent main window's title and status bar, and
 * the burn process settings "Writing phase started", "Writing speed" and
 * "Writing speed base factor".
 *
 * The callbacks run on the engine's burn thread. Each does nothing while no
 * widget is registered, and takes the GDK thread lock around its widget
 * work, so the GUI thread must not hold the GDK lock while it waits for a
 * burn. Registration runs on the GUI thread.
 */
#ifndef VORN_EXTENDED_PROGRESS_H
#define VORN_EXTENDED_PROGRESS_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

/* A progress object with every callback set, or NULL. */
VornExtendedProgress *ExtendedProgress_New(void);
void ExtendedProgress_Destroy(VornExtendedProgress *progress);

/* Registers the burn widget the callbacks update (one reference held) and
 * clears the remembered writer state; an earlier one is unregistered. FALSE
 * for NULL or a non-widget. */
gboolean ExtendedProgress_RegisterBurnProcessWidget(GtkWidget *widget);
/* Only when `widget` is the registered one: drops it. TRUE then. */
gboolean ExtendedProgress_UnregisterBurnProcessWidget(GtkWidget *widget);

/* The text of a phase number; "" for numbers without one. Static. */
const gchar *ExtendedProgress_GetPhaseText(gint phase);

/* The abort button was pressed. During a real write (burn flag
 * VORN_BURN_WRITE) to a real drive, once "Writing phase started" is set, the
 * user is asked first ("Abort Burning"), and No keeps burning. Otherwise, or
 * on Yes, the button goes insensitive and the progress object's abort flag
 * is set. Returns TRUE when the abort was requested. GUI thread, GDK lock
 * held. */
gboolean ExtendedProgress_RequestAbort(VornExtendedProgress *progress, guint32 burnFlags,
                                       const VornDeviceEntry *recorder, GtkWidget *abortButton,
                                       GtkWidget *parent);

/* How the progress reaches the main window without this library depending
 * on it: the main window class installs these once. Each receives the
 * "Parent main window" of the burn process settings. */
typedef struct ExtendedProgressWindowHooks {
    /* The title with a percent (0-100). */
    void (*setTitlePercentage)(GtkWidget *window, gint percent);
    /* The phase text as the window's specific title. */
    void (*setSpecificTitle)(GtkWidget *window, const gchar *text);
    /* Replaces the burn message of the status bar; NULL removes it. */
    void (*setStatusMessage)(GtkWidget *window, const gchar *text);
} ExtendedProgressWindowHooks;

void ExtendedProgress_SetWindowHooks(const ExtendedProgressWindowHooks *hooks);

G_END_DECLS

#endif
