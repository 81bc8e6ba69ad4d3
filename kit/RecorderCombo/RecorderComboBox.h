/*
 * "VornRecorderComboBox": the list of drives a user picks a recorder from,
 * kept current from devices management, with custom entries before and after
 * the drives (for example "Image file" or "All drives").
 *
 * Store columns: 0 icon, 1 trimmed name, 2 "(ID:%d - HA:%d)" or NULL,
 * 3 row kind (VORNKIT_RECORDER_ROW_*), 4 the row's data: a private copy of
 * the device entry for drives, the custom entry's data pointer otherwise.
 *
 * Signals:
 *   "vorn_filter_recorder" (gpointer device) -> gboolean: TRUE leaves the
 *       device out; the first handler that answers TRUE decides.
 *   "vorn_filter_end": after the drives were added, before the appended
 *       custom entries.
 *   "vorn_content_refreshed": at the end of every refresh.
 *
 * Every function takes the box's recursive lock, so devices management's
 * notifications and callers on other threads (holding the GDK lock) never see
 * a half-built list. Functions return 1 for success, 0 for failure or a box
 * that is not a VornRecorderComboBox.
 */
#ifndef VORNKIT_RECORDER_COMBO_BOX_H
#define VORNKIT_RECORDER_COMBO_BOX_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORNKIT_TYPE_RECORDER_COMBO_BOX (VornKit_RecorderComboBox_GetType())
#define VORNKIT_RECORDER_COMBO_BOX(obj) \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), VORNKIT_TYPE_RECORDER_COMBO_BOX, VornRecorderComboBox))
#define VORNKIT_IS_RECORDER_COMBO_BOX(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORNKIT_TYPE_RECORDER_COMBO_BOX))

typedef struct _VornRecorderComboBox {
    GtkComboBox parent;
} VornRecorderComboBox;

typedef struct _VornRecorderComboBoxClass {
    GtkComboBoxClass parentClass;
} VornRecorderComboBoxClass;

/* Row kinds (store column 3). */
#define VORNKIT_RECORDER_ROW_DEVICE 0
#define VORNKIT_RECORDER_ROW_PREPENDED 1
#define VORNKIT_RECORDER_ROW_APPENDED 2

/* Store columns. */
enum {
    VORNKIT_RECORDER_COLUMN_ICON,
    VORNKIT_RECORDER_COLUMN_NAME,
    VORNKIT_RECORDER_COLUMN_ID_TEXT,
    VORNKIT_RECORDER_COLUMN_KIND,
    VORNKIT_RECORDER_COLUMN_DATA
};

/* A custom entry as the caller describes it. The box keeps a reference on
 * the icon (may be NULL) and a copy of the name; the data is the caller's. */
typedef struct _VornRecorderComboBoxCustomEntry {
    GdkPixbuf *icon;
    const gchar *name;
    gpointer data;
} VornRecorderComboBoxCustomEntry;

GType VornKit_RecorderComboBox_GetType(void);

/* A new box listing the current drives; it follows device-list and in-use
 * changes until it is finalized. */
GtkWidget *VornKit_RecorderComboBox_New(void);
gint VornKit_RecorderComboBox_Refresh(GtkWidget *box);

/* Copies the selected drive to `device`: 1 when a drive row is selected. */
gint VornKit_RecorderComboBox_GetSelectedDeviceInfo(GtkWidget *box, VornDeviceEntry *device);
/* Selects the row of the drive with the same host adapter and id: 1 when found. */
gint VornKit_RecorderComboBox_SelectDeviceInfo(GtkWidget *box, const VornDeviceEntry *device);
/* Shows "(ID:%d - HA:%d)" after each drive's name; refreshes. */
gint VornKit_RecorderComboBox_ShowDeviceIDandHA(GtkWidget *box, gboolean show);

/* Custom entries: the list refreshes at once. An entry without a name is
 * refused ("NULL as entry name!"). FromData matches the data pointer,
 * FromStruct the name and the data pointer; each acts on the first match. */
gint VornKit_RecorderComboBox_PrependCustomEntry(GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry);
gint VornKit_RecorderComboBox_AppendCustomEntry(GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry);
gint VornKit_RecorderComboBox_RemovePrependedCustomEntryFromData(GtkWidget *box, gpointer data);
gint VornKit_RecorderComboBox_RemovePrependedCustomEntryFromStruct(GtkWidget *box,
                                                                    const VornRecorderComboBoxCustomEntry *entry);
gint VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromData(GtkWidget *box, gpointer data);
gint VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromStruct(GtkWidget *box,
                                                                   const VornRecorderComboBoxCustomEntry *entry);
gint VornKit_RecorderComboBox_SelectPrependedCustomEntryFromData(GtkWidget *box, gpointer data);
gint VornKit_RecorderComboBox_SelectPrependedCustomEntryFromStruct(GtkWidget *box,
                                                                    const VornRecorderComboBoxCustomEntry *entry);
gint VornKit_RecorderComboBox_SelectAppendedCustomEntryFromData(GtkWidget *box, gpointer data);
gint VornKit_RecorderComboBox_SelectAppendedCustomEntryFromStruct(GtkWidget *box,
                                                                   const VornRecorderComboBoxCustomEntry *entry);
/* 1 when a custom row is selected; `entry`, when given, receives its icon
 * (borrowed), name (borrowed until the entry is removed) and data. */
gint VornKit_RecorderComboBox_IsCustomEntrySelected(GtkWidget *box, VornRecorderComboBoxCustomEntry *entry);
gint VornKit_RecorderComboBox_IsDeviceInfoSelected(GtkWidget *box);
/* Removes the custom entry of the selected row: 1 when one was removed. */
gint VornKit_RecorderComboBox_RemoveSelectedCustomEntry(GtkWidget *box);

G_END_DECLS

#endif
