/*
 * "VornWaitForMediaDlg": the dialog shown while the engine waits for a disc
 * in the recorder: an insert-disc icon, the engine's message, the disc kind
 * the compilation needs and the disc kind now in the recorder, and Cancel.
 *
 * Whoever shows it decides when it is shown, updated and destroyed; Cancel
 * emits "response" with VORNKIT_RESPONSE_CANCEL and closing it through the
 * window manager is refused. Setters may be called from any thread that holds
 * the GDK lock.
 */
#ifndef VORNKIT_WAIT_FOR_MEDIA_DLG_H
#define VORNKIT_WAIT_FOR_MEDIA_DLG_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORNKIT_TYPE_WAIT_FOR_MEDIA_DLG (VornKit_WaitForMediaDlg_GetType())
#define VORNKIT_WAIT_FOR_MEDIA_DLG(obj) \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), VORNKIT_TYPE_WAIT_FOR_MEDIA_DLG, VornWaitForMediaDlg))
#define VORNKIT_IS_WAIT_FOR_MEDIA_DLG(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORNKIT_TYPE_WAIT_FOR_MEDIA_DLG))

typedef struct _VornWaitForMediaDlg {
    GtkDialog parent;
} VornWaitForMediaDlg;

typedef struct _VornWaitForMediaDlgClass {
    GtkDialogClass parentClass;
} VornWaitForMediaDlgClass;

GType VornKit_WaitForMediaDlg_GetType(void);

/* A new dialog, not shown yet; transient for `parent` when it is a window. */
GtkWidget *VornKit_WaitForMediaDlg_New(GtkWidget *parent);

/* Each returns 1, or 0 when `dialog` is not a VornWaitForMediaDlg or the
 * argument is missing (nothing changes then). */

/* Title "<device name>: Waiting for Disc", the name without surrounding blanks. */
gint VornKit_WaitForMediaDlg_SetDeviceInfo(GtkWidget *dialog, const VornDeviceEntry *device);
/* The engine's message (UTF-8), wrapped inside the dialog. */
gint VornKit_WaitForMediaDlg_SetMessage(GtkWidget *dialog, const gchar *text);
/* The disc kinds the compilation accepts; shortened with "..." to its space. */
gint VornKit_WaitForMediaDlg_SetRequiredMediaTypes(GtkWidget *dialog, const gchar *text);
/* The disc kind now in the recorder. */
gint VornKit_WaitForMediaDlg_SetCurrentMediumType(GtkWidget *dialog, const gchar *text);

/* The width in pixels the required-media text may take (for tests and
 * callers that shorten texts the same way); 0 for another object. */
gint VornKit_WaitForMediaDlg_GetRequiredMediaWidth(GtkWidget *dialog);

G_END_DECLS

#endif
