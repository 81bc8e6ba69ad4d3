/*
 * Devices management of the common burn UI: the list of drives the engine
 * reports, kept current by a scanner thread, with per-drive locks, per-drive
 * recording settings and listeners of list and in-use changes.
 *
 * Threads: every function may be called from any thread. Listeners are
 * called on the GTK+ main loop with the GDK lock held (from a zero-delay
 * timeout), except the call a Register function makes at once on its
 * caller's thread. The engine's drive callbacks only post work; nothing of
 * this module runs a listener on an engine thread.
 */
#ifndef VORNKIT_DEVICES_MANAGEMENT_H
#define VORNKIT_DEVICES_MANAGEMENT_H

#include "VornAPI.h"
#include "VornSCSIDeviceInfo.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>

G_BEGIN_DECLS

/* Results of VornKit_DevicesManagement_Init. */
#define VORNKIT_DEVICES_INIT_OK 0
#define VORNKIT_DEVICES_INIT_FAILED 4          /* no scanner: no devices */
#define VORNKIT_DEVICES_INIT_NO_HOTPLUG 8      /* listed once; drives that come and go are not seen */

/*
 * A devices snapshot: the count, then that many device entries in list
 * order (the same shape as the engine's drive list). Each entry's in-use
 * state is VORN_DEVICE_IN_USE when the drive is in use or locked. Free it
 * with VornKit_DevicesManagement_FreeDevicesInfoStructure, never VornFreeMem.
 */
typedef VornDeviceList VornKitDevicesInfo;

/* Listener of device-list changes: the snapshot is borrowed for the call. */
typedef void (*VornKitDevicesChangeCallback)(VornKitDevicesInfo *devices, gpointer data);
/* Listener of in-use changes: the entry is borrowed for the call. */
typedef void (*VornKitDeviceStatusCallback)(const VornDeviceEntry *device, gboolean inUse, gpointer data);

/*
 * Starts the scanner and returns after its first scan. Returns
 * VORNKIT_DEVICES_INIT_OK, _FAILED when the thread or memory cannot be had,
 * or _NO_HOTPLUG when the engine refuses the drive-change callback (the list
 * is still scanned once). Calling it while running changes nothing.
 */
gint VornKit_DevicesManagement_Init(void);
/* Stops the scanner, drops every listener and the list. Pending notifications
 * are cancelled. Safe when not running. */
void VornKit_DevicesManagement_Done(void);

/* A new snapshot, or NULL when the list is empty or memory fails. */
VornKitDevicesInfo *VornKit_DevicesManagement_GetDevicesInfoStructure(void);
void VornKit_DevicesManagement_FreeDevicesInfoStructure(VornKitDevicesInfo *devices);

/* Appends the listener and, when the list is not empty, calls it at once on
 * this thread. 1, or 0 for a NULL function. */
gint VornKit_DevicesManagement_RegisterDeviceChangeCallback(VornKitDevicesChangeCallback fn, gpointer data);
/* Removes the first equal pair; 1 when one was removed. */
gint VornKit_DevicesManagement_UnregisterDeviceChangeCallback(VornKitDevicesChangeCallback fn, gpointer data);
gint VornKit_DevicesManagement_RegisterStatusChangeCallback(VornKitDeviceStatusCallback fn, gpointer data);
gint VornKit_DevicesManagement_UnregisterStatusChangeCallback(VornKitDeviceStatusCallback fn, gpointer data);

/* While disabled (nested: each Disable needs an Enable), rescans are held and
 * run once callbacks are enabled again. */
void VornKit_DevicesManagement_DisableDevicesChangeCallbacks(void);
void VornKit_DevicesManagement_EnableDevicesChangeCallbacks(void);
gboolean VornKit_DevicesManagement_AreDevicesChangeCallbacksEnabled(void);

/*
 * Takes the drive for this thread without waiting: TRUE when taken (again,
 * for the thread that holds it), FALSE when another thread holds it or the
 * drive is not listed. The first lock of a free drive notifies "in use";
 * the last unlock notifies "free". A lock survives rescans while the drive
 * keeps its name and address.
 */
gboolean VornKit_DevicesManagement_LockDevice(const VornDeviceEntry *device);
gboolean VornKit_DevicesManagement_UnlockDevice(const VornDeviceEntry *device);

/* Readiness codes beside the engine's VORN_READY_* values. */
#define VORNKIT_DEVICE_CANNOT_OPEN 1
#define VORNKIT_DEVICE_IN_USE 2
#define VORNKIT_DEVICE_NONE 4
/* VORNKIT_DEVICE_NONE for NULL, _IN_USE when in use or locked, _CANNOT_OPEN
 * when the engine cannot open it, else VornIsDeviceReady. Opens and closes
 * the device; blocks no longer than the engine call. */
gint VornKit_DevicesManagement_IsDeviceReady(const VornDeviceEntry *device);

/*
 * Per-drive recording settings, kept while the drive stays listed (also
 * across rescans). A Set returns TRUE when the drive has the capability the
 * setting needs; a Get returns 0 without it. A drive that is not listed has
 * no settings.
 */
gboolean VornKit_DevicesManagement_SetBufferUnderrunProtection(const VornDeviceEntry *device, gint value);
gint VornKit_DevicesManagement_GetBufferUnderrunProtection(const VornDeviceEntry *device);
gboolean VornKit_DevicesManagement_SetBookTypeSettings(const VornDeviceEntry *device, gint value);
/* 2 for NULL. */
gint VornKit_DevicesManagement_GetBookTypeSettings(const VornDeviceEntry *device);
gboolean VornKit_DevicesManagement_SetDVDHighCompatibilityMode(const VornDeviceEntry *device, gint value);
gint VornKit_DevicesManagement_GetDVDHighCompatibilityMode(const VornDeviceEntry *device);
/* Also sends the engine device option (1007, or 1006 for drives without
 * VORN_CAP_AUTO_SPEED_DOWN). */
gboolean VornKit_DevicesManagement_SetAutoSpeedDown(const VornDeviceEntry *device, gint value);
gint VornKit_DevicesManagement_GetAutoSpeedDown(const VornDeviceEntry *device);
/* Also sends the engine device option 1008. */
gboolean VornKit_DevicesManagement_SetExtendedLeadOutDL(const VornDeviceEntry *device, gint value);
gint VornKit_DevicesManagement_GetExtendedLeadOutDL(const VornDeviceEntry *device);

/* The drive's icon (a new reference) from "devices/" of the component's
 * images folder (VornKit_Util_SetImagesDirectory), at 16, 24, 32 or 48 pixels for size 0
 * to 3, in its "locked" form when `locked` is 1 or the entry is in use. NULL
 * for an unknown kind of drive, a bad size or an image that cannot be loaded. */
GdkPixbuf *VornKit_DevicesManagement_GetDevicePixbuf(const VornDeviceEntry *device, gint locked, gint size);

G_END_DECLS

#endif
