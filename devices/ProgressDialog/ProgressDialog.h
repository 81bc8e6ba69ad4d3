/*
 * "VornProgressDialog": the modal progress dialog of long file operations
 * (adding, moving, deleting, refreshing, undo, saving and loading a
 * compilation, CD database lookups). The operation reports its totals and
 * each processed file; the dialog shows the progress on its own 100 ms
 * timers: until the totals are known the bar pulses, then it shows
 * "NN % done" and the items (and bytes) left.
 *
 * Runs on the main loop; workers call the operations under the GDK thread
 * lock. Operations on something that is not a progress dialog do nothing.
 * The widgets carry names for tests: "status", "file", "progress".
 */
#ifndef VORN_PROGRESS_DIALOG_H
#define VORN_PROGRESS_DIALOG_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORN_TYPE_PROGRESS_DIALOG (ProgressDialog_GetType())
#define VORN_PROGRESS_DIALOG(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_PROGRESS_DIALOG, ProgressDialog))
#define IS_VORN_PROGRESS_DIALOG(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_PROGRESS_DIALOG))

typedef struct _ProgressDialog ProgressDialog;
typedef struct _ProgressDialogClass ProgressDialogClass;

struct _ProgressDialog {
    GtkDialog parent;
};

struct _ProgressDialogClass {
    GtkDialogClass parentClass;
};

/* Kinds of operation. */
enum {
    PROGRESS_DIALOG_COPY = 1,
    PROGRESS_DIALOG_MOVE = 2,
    PROGRESS_DIALOG_DELETE = 3,
    PROGRESS_DIALOG_REFRESH = 4,
    PROGRESS_DIALOG_UNDO = 5,
    PROGRESS_DIALOG_SAVE = 6,
    PROGRESS_DIALOG_LOAD = 7,
    PROGRESS_DIALOG_FREEDB = 8
};

GType ProgressDialog_GetType(void);

/* New dialogs, modal for `parent` (may be NULL), not shown yet. */
GtkWidget *ProgressDialog_NewCopyDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewMoveDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewDeleteDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewRefreshDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewUndoDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewSaveDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewLoadDialog(GtkWidget *parent);
GtkWidget *ProgressDialog_NewFreeDBDialog(GtkWidget *parent);

/* The "_Cancel" button (borrowed): the operation connects its cancel lock. */
GtkWidget *ProgressDialog_GetCancelButton(GtkWidget *dialog);
/* The totals are known: the pulse stops, the bar shows the fraction. */
void ProgressDialog_SetTotalFilesCountAndSize(GtkWidget *dialog, guint64 files, guint64 bytes);
/* One more file of `bytes` is done; `name` (local encoding, or NULL) is shown. */
void ProgressDialog_IncrementProcessedFiles(GtkWidget *dialog, const gchar *name, guint64 bytes);
/* TRUE (the default): the fraction counts bytes when a byte total exists. */
void ProgressDialog_SetProgressBasedOnMB(GtkWidget *dialog, gboolean flag);
/* Counts back to zero, "Please wait...", and the bar pulses again. */
void ProgressDialog_ResetDialog(GtkWidget *dialog);

G_END_DECLS

#endif
