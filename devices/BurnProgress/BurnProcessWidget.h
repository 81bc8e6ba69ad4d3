/*
 * "VornBurnProcessWidget": the panel a compilation's window shows while it
 * burns. It follows the engine's progress callbacks (ExtendedProgress.h):
 * the compilation, its size, the burn log, the file being written, the copy,
 * the status line, elapsed and remaining time, the sub-task and total bars,
 * the recorders with their action, buffer level and state, and the abort
 * button.
 *
 * Every operation runs on the GUI thread or under the GDK thread lock, and
 * is a no-op returning FALSE (or -1, NULL) for something that is not a burn
 * widget. The widget guards its own fields with a recursive lock that the
 * 500 ms ticker also takes (lock order: GDK lock first).
 */
#ifndef VORN_BURN_PROCESS_WIDGET_H
#define VORN_BURN_PROCESS_WIDGET_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORN_TYPE_BURN_PROCESS_WIDGET (BurnProcessWidget_GetType())
#define VORN_BURN_PROCESS_WIDGET(obj) \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_BURN_PROCESS_WIDGET, BurnProcessWidget))
#define IS_VORN_BURN_PROCESS_WIDGET(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_BURN_PROCESS_WIDGET))

typedef struct _BurnProcessWidget BurnProcessWidget;
typedef struct _BurnProcessWidgetClass BurnProcessWidgetClass;

struct _BurnProcessWidget {
    GtkVBox parent;
};

struct _BurnProcessWidgetClass {
    GtkVBoxClass parentClass;
};

/* Columns of the events model. */
enum { BURN_EVENT_COLUMN_ICON, BURN_EVENT_COLUMN_TIME, BURN_EVENT_COLUMN_TEXT, BURN_EVENT_COLUMNS };
/* Columns of the recorders model; the buffer level is -1 when none is shown. */
enum {
    BURN_WRITER_COLUMN_ICON,
    BURN_WRITER_COLUMN_NAME,
    BURN_WRITER_COLUMN_ACTION,
    BURN_WRITER_COLUMN_BUFFER,
    BURN_WRITER_COLUMN_STATE,
    BURN_WRITER_COLUMNS
};

GType BurnProcessWidget_GetType(void);
/* A new widget (floating); the elapsed timer starts now. */
GtkWidget *BurnProcessWidget_New(void);

gboolean BurnProcessWidget_SetCompilationName(GtkWidget *widget, const gchar *name);
gboolean BurnProcessWidget_SetCompilationType(GtkWidget *widget, const gchar *type);
/* blocks -1 hides the size; else "<MB> / <playing time of the blocks>". */
gboolean BurnProcessWidget_SetCompilationSize(GtkWidget *widget, gint32 blocks, gint64 bytes);
/* Copies the device entry, appends its row; the row index, or -1. */
gint BurnProcessWidget_AddWriter(GtkWidget *widget, const VornDeviceEntry *device);
gboolean BurnProcessWidget_StopTimers(GtkWidget *widget);
/* UTF-8 text; each line one row, the first with the kind's icon and the time. */
gboolean BurnProcessWidget_AddMessage(GtkWidget *widget, const gchar *text, gint ignored, gint kind);
/* TRUE: "Reading file:", else "Writing file:". */
gboolean BurnProcessWidget_SetReadingLabel(GtkWidget *widget, gboolean reading);
/* TRUE: "_Abort", else "_Cancel". */
gboolean BurnProcessWidget_SetAbortButtonLabel(GtkWidget *widget, gboolean abort);
/* UTF-8, trimmed on the left to the label's width; NULL empties it. */
gboolean BurnProcessWidget_SetFileName(GtkWidget *widget, const gchar *name);
gboolean BurnProcessWidget_SetStatusPhase(GtkWidget *widget, const gchar *text);
/* done of total; total 0 is 100 %. */
gboolean BurnProcessWidget_SetPercentage(GtkWidget *widget, gint64 done, gint64 total);
gboolean BurnProcessWidget_SetSubTaskPercentage(GtkWidget *widget, gint percent);
/* Status "Writing at ..." / "Verifying the compilation at ..." (speed KB/s). */
gboolean BurnProcessWidget_SetWriteSpeed(GtkWidget *widget, gint speed, gint base, gboolean verifying);
gboolean BurnProcessWidget_SetReadSpeed(GtkWidget *widget, gint speed, gint base);
gboolean BurnProcessWidget_SetRemainingTime(GtkWidget *widget, guint32 milliseconds);
/* The stored time less what the remaining timer counted since; 0 when none. */
guint32 BurnProcessWidget_GetRemainingTime(GtkWidget *widget);
gboolean BurnProcessWidget_SetSubTaskText(GtkWidget *widget, const gchar *text);
gboolean BurnProcessWidget_SetSubTaskWidgetsSenstivity(GtkWidget *widget, gboolean on);
gboolean BurnProcessWidget_SetSubTaskRecBufTextCallback(GtkWidget *widget);
gboolean BurnProcessWidget_SetWriterName(GtkWidget *widget, gint index, const gchar *name);
/* Action text of the row from the recorder's phase. */
gboolean BurnProcessWidget_SetWriterPhase(GtkWidget *widget, gint index, gint phase);
/* Buffer level column: 0 when available, else -1 (no level shown). */
gboolean BurnProcessWidget_SetWriterBufferAvailable(GtkWidget *widget, gint index, gboolean available);
gboolean BurnProcessWidget_SetWriterBuffer(GtkWidget *widget, gint index, guint32 level, guint32 size);
/* State text of the row: 0 "Ready", 1 "Active", else "Failed". */
gboolean BurnProcessWidget_SetWriterStatus(GtkWidget *widget, gint index, gint status);
gboolean BurnProcessWidget_SetNumCopies(GtkWidget *widget, gint current, gint total);
/* Borrowed. */
GtkTreeModel *BurnProcessWidget_GetEventsTreeModel(GtkWidget *widget);
GtkTreeModel *BurnProcessWidget_GetWritersTreeModel(GtkWidget *widget);
/* The abort button (borrowed), which the burn connects and the window makes
 * its default. */
GtkWidget *BurnProcessWidget_GetAbortButton(GtkWidget *widget);
/* The first recorder added, or NULL (borrowed). */
const VornDeviceEntry *BurnProcessWidget_GetWriter(GtkWidget *widget);

G_END_DECLS

#endif
