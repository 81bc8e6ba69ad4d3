/*
 * Character filters for text entries that edit names on a disc.
 *
 * Each function connects an "insert_text" handler to the editable that lets
 * only acceptable text in. An allowed-set filter upper-cases letters and turns
 * whitespace into "_" where that makes a character acceptable, and drops the
 * whole insertion when a character is still not allowed; a forbidden-set filter
 * drops any insertion that holds a forbidden character. Either way an insertion
 * is accepted or refused as a whole, so a paste never arrives half-filtered.
 *
 * Installing a filter replaces the filter that one of these functions installed
 * on the same editable before, so an entry can follow a change of setting.
 * Each returns the id of the connected handler.
 */
#ifndef VORN_CHARSET_CONTROL_H
#define VORN_CHARSET_CONTROL_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

/* Volume name: mode 0 (ISO 9660 only) allows upper-case letters, digits and
 * "_"; any other mode (with Joliet) refuses only the characters Joliet forbids. */
gulong CharsetControl_VerifyVolumeName_EditableCallback(GtkEditable *editable, gint mode);

/*
 * An ISO 9660 name. characterSet is the compilation's ISO character set
 * setting: 0 for the strict ISO set, otherwise ASCII. itemName is 1 for the
 * name of a file or folder and 0 for other texts of the volume descriptor.
 * With the strict set a file name may hold one dot, a folder name none, and a
 * file name with allowVersion also ";" for its version number.
 */
gulong CharsetControl_VerifyIsoItemName_EditableCallback(GtkEditable *editable, gint characterSet,
                                                         gboolean itemName, gboolean isDirectory,
                                                         gboolean allowVersion);

/* A Joliet name: refuses " / : * ? < > \ | and ;. */
gulong CharsetControl_VerifyJolietItemName_EditableCallback(GtkEditable *editable);

G_END_DECLS

#endif
