/*
 * Operations on one engine device entry (VornDeviceEntry, 1720 bytes).
 *
 * A drive is identified by its host adapter number and device id; an entry
 * with both at -1 means "no drive". Entries are plain bytes: copy them with
 * VornKit_VornSCSIDeviceInfo_Dump, never keep a pointer into a list.
 */
#ifndef VORNKIT_SCSI_DEVICE_INFO_H
#define VORNKIT_SCSI_DEVICE_INFO_H

#include "VornAPI.h"

#include <glib.h>

G_BEGIN_DECLS

/* TRUE when the host adapter number or the id is not -1; FALSE for NULL. */
gboolean VornKit_VornSCSIDeviceInfo_IsValid(const VornDeviceEntry *entry);
/* Zeroes the entry and sets host adapter number and id to -1. */
void VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(VornDeviceEntry *entry);
/* Both given, same host adapter number and id. */
gboolean VornKit_VornSCSIDeviceInfo_Equal(const VornDeviceEntry *a, const VornDeviceEntry *b);
/* Equal, and the same name. */
gboolean VornKit_VornSCSIDeviceInfo_EqualEx(const VornDeviceEntry *a, const VornDeviceEntry *b);
/*
 * Copies the 1720 bytes of `source` to `destination`. `deep` asks for an
 * owned copy of any text the entry refers to; this engine's entries hold no
 * pointer (byte 64 is always set), so both copies are the same bytes.
 */
void VornKit_VornSCSIDeviceInfo_Dump(VornDeviceEntry *destination, const VornDeviceEntry *source,
                                     gboolean deep);
/* A new string (g_free) without leading and trailing blanks; NULL for NULL. */
gchar *VornKit_VornSCSIDeviceInfo_GetTrimedDeviceName(const gchar *name);

G_END_DECLS

#endif
