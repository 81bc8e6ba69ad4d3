/*
 * "VornSpeedComboBox": the writing, reading or erasing speeds a drive offers
 * for the medium in it (or a fixed medium), fastest first, with "Maximum".
 *
 * Store columns: 0 display text, 1 speed in KB/s, 2 the engine's base speed
 * (KB/s for 1x; 0 for the busy entry).
 *
 * The list follows the drive: it is rebuilt when the device, access type or
 * medium type is set, when the drive's in-use state or medium changes, and
 * on a slow poll of the drive's readiness (a disc that finished spinning up
 * reports nothing). A rebuild from a change or the poll acts only when the
 * readiness differs from the last one seen. Every function takes the box's
 * recursive lock; callers on other threads hold the GDK lock.
 */
#ifndef VORNKIT_SPEED_COMBO_BOX_H
#define VORNKIT_SPEED_COMBO_BOX_H

#include "VornAPI.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORNKIT_TYPE_SPEED_COMBO_BOX (VornKit_SpeedComboBox_GetType())
#define VORNKIT_SPEED_COMBO_BOX(obj) \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), VORNKIT_TYPE_SPEED_COMBO_BOX, VornSpeedComboBox))
#define VORNKIT_IS_SPEED_COMBO_BOX(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORNKIT_TYPE_SPEED_COMBO_BOX))

typedef struct _VornSpeedComboBox {
    GtkComboBox parent;
} VornSpeedComboBox;

typedef struct _VornSpeedComboBoxClass {
    GtkComboBoxClass parentClass;
} VornSpeedComboBoxClass;

enum {
    VORNKIT_SPEED_COLUMN_TEXT,
    VORNKIT_SPEED_COLUMN_SPEED,
    VORNKIT_SPEED_COLUMN_BASE
};

/* The poll of the drive's readiness, in milliseconds. */
#define VORNKIT_SPEED_POLL_MS 2000

GType VornKit_SpeedComboBox_GetType(void);

/* A new box with no device: the single entry "Maximum". Access type
 * VORN_ACCESS_WRITE, no fixed medium. */
GtkWidget *VornKit_SpeedComboBox_New(void);

/* Store and rebuild (forced). `device` NULL or invalid means no device.
 * `mediumType` 0 uses the medium in the drive. Each returns 1, or 0 for an
 * object that is not a VornSpeedComboBox. */
gint VornKit_SpeedComboBox_SetDeviceAndAccessType(GtkWidget *box, const VornDeviceEntry *device, gint accessType,
                                                  guint32 mediumType);
gint VornKit_SpeedComboBox_SetDeviceInfo(GtkWidget *box, const VornDeviceEntry *device);
gint VornKit_SpeedComboBox_SetAccessType(GtkWidget *box, gint accessType);
gint VornKit_SpeedComboBox_SetMediumType(GtkWidget *box, guint32 mediumType);

/* Selects the row carrying `speedKBs` (the first one: "Maximum" carries the
 * fastest speed too); 1 when found. */
gint VornKit_SpeedComboBox_SetFixedSpeed(GtkWidget *box, gint speedKBs);
/* The selected row's speed in KB/s; 0 when nothing is selected. */
gint VornKit_SpeedComboBox_GetSpeedInKBs(GtkWidget *box);
/* The selected row's speed and base; 1 when a row is selected. */
gint VornKit_SpeedComboBox_GetCompleteSpeedInfo(GtkWidget *box, gint *speedKBs, gint *baseKBs);
/* Rebuilds now if the drive's readiness changed (what the poll does). */
gint VornKit_SpeedComboBox_Poll(GtkWidget *box);

/* "4x (706 KB/s)", "1.4x (2,077 KB/s)": the multiple of the base speed with
 * one decimal when it is not whole, and the KB/s grouped as the locale
 * groups thousands. A new UTF-8 string (g_free); NULL when `baseKBs` <= 0. */
gchar *VornKit_Util_FormatSpeed(gint64 speedKBs, gint64 baseKBs);

G_END_DECLS

#endif
