/*
 * "VornEraseDiscDlg": the erase progress window. It erases the disc in one
 * drive on a worker thread and shows the activity, the elapsed and remaining
 * time against the engine's estimate, and a progress bar; the outcome is told
 * in a message box over the parent window and by "vorn_erase_done".
 *
 * Signal "vorn_erase_done" (run-first, action; gint result): emitted once per
 * start on the main loop, with VORN_ERASE_* of the engine (0 success). It is
 * emitted before the result message is shown.
 *
 * Threads: call every function with the GDK lock held (the main thread does).
 * The worker takes the GDK lock only around its widget changes, never while
 * the engine erases, and the progress is updated from the main loop.
 */
#ifndef VORNKIT_ERASE_DISC_DLG_H
#define VORNKIT_ERASE_DISC_DLG_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORNKIT_TYPE_ERASE_DISC_DLG (VornKit_EraseDiscDlg_GetType())
#define VORNKIT_ERASE_DISC_DLG(obj) \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), VORNKIT_TYPE_ERASE_DISC_DLG, VornEraseDiscDlg))
#define VORNKIT_IS_ERASE_DISC_DLG(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORNKIT_TYPE_ERASE_DISC_DLG))

typedef struct _VornEraseDiscDlg {
    GtkWindow parent;
} VornEraseDiscDlg;

typedef struct _VornEraseDiscDlgClass {
    GtkWindowClass parentClass;
    void (*vorn_erase_done)(VornEraseDiscDlg *dialog, gint result);
} VornEraseDiscDlgClass;

GType VornKit_EraseDiscDlg_GetType(void);

/* A new, hidden window; transient for `parent` and destroyed with it when it
 * is a window, which also parents the result messages. */
GtkWidget *VornKit_EraseDiscDlg_New(GtkWidget *parent);

/* Setters return 1, or 0 when `dialog` is not a VornEraseDiscDlg. They change
 * what the next start uses; a running erase keeps what it started with. */
/* Copies a valid device (1); an invalid or NULL one leaves none set (0). */
gint VornKit_EraseDiscDlg_SetDeviceInfo(GtkWidget *dialog, const VornDeviceEntry *device);
/* VORN_ERASE_QUICK (default) or VORN_ERASE_FULL. */
gint VornKit_EraseDiscDlg_SetEraseMode(GtkWidget *dialog, gint mode);
/* VORN_ERASE_EJECT (default) or VORN_ERASE_NO_EJECT. */
gint VornKit_EraseDiscDlg_SetEraseFlags(GtkWidget *dialog, gint flags);
/* KB/s; 0 (default) is the fastest. */
gint VornKit_EraseDiscDlg_SetErasingSpeed(GtkWidget *dialog, gint speedKBs);
/* Close the tray again after an ejecting erase (default FALSE). */
gint VornKit_EraseDiscDlg_SetReloadAfterEject(GtkWidget *dialog, gboolean reload);
/* Hold the drive's devices-management lock during the erase (default TRUE).
 * A drive another part of the program holds is then not erased: the result
 * is VORN_ERASE_DRIVE_IN_USE. */
gint VornKit_EraseDiscDlg_SetDeviceLocking(GtkWidget *dialog, gboolean locking);
/* Shows the 48-pixel icon of the medium's family; 1 when one was loaded. */
gint VornKit_EraseDiscDlg_SetMediumType(GtkWidget *dialog, guint32 mediumType);

/* The result of the last erase (0 before any). */
gint VornKit_EraseDiscDlg_GetErasingResult(GtkWidget *dialog);

/* The erase icon of the medium's family ("cd", "dvd", "hddvd", "bd") at 16,
 * 24, 32 or 48 pixels for size index 0 to 3; a new pixbuf or NULL. */
GdkPixbuf *VornKit_EraseDiscDlg_GetEraseDiscPixbuf(guint32 mediumType, gint sizeIndex);

/*
 * Asks the engine for the erasing time and starts the worker: 1 when a
 * worker was started (or queued behind one still running, which it waits
 * for), 0 otherwise. A device that cannot be opened (-1) or a negative
 * estimate (the engine's reason) is not started: it is reported as the
 * result, with its message and "vorn_erase_done", from the main loop. 0 also
 * when no device is set or the thread cannot be created.
 */
gint VornKit_EraseDiscDlg_StartErasingProcess(GtkWidget *dialog);

/* TRUE while an erase is estimated, queued or running. */
gboolean VornKit_EraseDiscDlg_IsBusy(GtkWidget *dialog);

G_END_DECLS

#endif
