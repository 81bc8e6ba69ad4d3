/*
 * "VornEraseSettingsDlg": where the user picks the recorder, the erase method
 * and the speed before erasing a rewritable disc. Erase hands the choice to
 * the progress window the dialog owns (VornEraseDiscDlg) and hides the
 * dialog; Cancel, or closing it through the window manager, hides it.
 *
 * Erase is sensitive only while the selected recorder is free and holds a
 * rewritable disc it writes; this is checked every 2 seconds, when the drive's
 * in-use state changes and when another recorder is chosen.
 *
 * Call every function with the GDK lock held.
 */
#ifndef VORNKIT_ERASE_SETTINGS_DLG_H
#define VORNKIT_ERASE_SETTINGS_DLG_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORNKIT_TYPE_ERASE_SETTINGS_DLG (VornKit_EraseSettingsDlg_GetType())
#define VORNKIT_ERASE_SETTINGS_DLG(obj) \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), VORNKIT_TYPE_ERASE_SETTINGS_DLG, VornEraseSettingsDlg))
#define VORNKIT_IS_ERASE_SETTINGS_DLG(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORNKIT_TYPE_ERASE_SETTINGS_DLG))

typedef struct _VornEraseSettingsDlg {
    GtkDialog parent;
} VornEraseSettingsDlg;

typedef struct _VornEraseSettingsDlgClass {
    GtkDialogClass parentClass;
} VornEraseSettingsDlgClass;

/* Indexes of the erase-method combo box. */
#define VORNKIT_ERASE_METHOD_QUICK 0
#define VORNKIT_ERASE_METHOD_FULL 1

/* The sensitivity check's period, in milliseconds. */
#define VORNKIT_ERASE_SETTINGS_POLL_MS 2000

GType VornKit_EraseSettingsDlg_GetType(void);

/* A new, hidden dialog and its progress window, both transient for `parent`
 * and destroyed with it when it is a window. */
GtkWidget *VornKit_EraseSettingsDlg_New(GtkWidget *parent);

/* Selects a listed recorder: 1, or 0 for NULL, an invalid entry, a drive not
 * in the list or another object. */
gint VornKit_EraseSettingsDlg_SetDeviceInfo(GtkWidget *dialog, const VornDeviceEntry *device);
/* Selects that speed (KB/s) in the speed combo box: 1 when it is offered. */
gint VornKit_EraseSettingsDlg_SetErasingSpeed(GtkWidget *dialog, gint speedKBs);
/* Eject after erasing (erase flags VORN_ERASE_EJECT, else VORN_ERASE_NO_EJECT)
 * and close the tray again after the eject. Both default to eject, no reload. */
gint VornKit_EraseSettingsDlg_SetEjectAndReloadFlags(GtkWidget *dialog, gboolean eject, gboolean reload);
/* VORNKIT_ERASE_METHOD_QUICK or _FULL: 1, or 0 for another value or object. */
gint VornKit_EraseSettingsDlg_SetEraseMethod(GtkWidget *dialog, gint method);

/* The progress window (borrowed), NULL for another object. */
GtkWidget *VornKit_EraseSettingsDlg_GetEraseDiscDlg(GtkWidget *dialog);
/* Re-evaluates the Erase button now, as a change of the drive does. */
gint VornKit_EraseSettingsDlg_UpdateEraseButton(GtkWidget *dialog);

/*
 * Shows the dialog modal. The dialog responder is asked first (role
 * "erase-settings", buttons Erase and Cancel, the chosen method as heading
 * and its description as text): when it answers, the dialog is not shown and
 * the answer acts as the button would (Erase only while it is sensitive).
 * Returns at once either way; 0 for another object.
 */
gint VornKit_EraseSettingsDlg_ShowModal(GtkWidget *dialog);

/*
 * The erase command of the main window: a dialog for `parent` with `device`
 * selected when it is listed, the eject and reload flags, shown modal. The
 * dialog destroys itself once it is hidden and its erase, if one was
 * started, has been told. Returns the dialog (borrowed; it may be gone once
 * the main loop runs) or NULL when it was answered and done at once.
 */
GtkWidget *VornKit_EraseSettingsDlg_RunEraseCommand(GtkWidget *parent, const VornDeviceEntry *device,
                                                    gboolean eject, gboolean reload);

G_END_DECLS

#endif
