/*
 * Checks of disc item names against the ISO 9660 interchange levels, and the
 * error dialog that explains a failed check.
 */
#ifndef VORN_NAME_CHECKER_H
#define VORN_NAME_CHECKER_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

/* Results of the checks; 0 means the name is valid. */
enum {
    NAME_CHECK_VALID = 0,
    NAME_CHECK_LEVEL1_NAME_TOO_LONG = 1,
    NAME_CHECK_LEVEL1_EXTENSION_TOO_LONG = 2,
    NAME_CHECK_INVALID_CHARACTERS = 3,
    NAME_CHECK_LEVEL2_DIRECTORY_TOO_LONG = 4,
    NAME_CHECK_LEVEL2_FILE_TOO_LONG = 5,
    NAME_CHECK_NAME_TOO_LONG = 6,
    NAME_CHECK_EMPTY = 7,
    NAME_CHECK_LEADING_DOT = 8
};

/*
 * ISO level 1: at most 8 characters for a folder or a file without an
 * extension, otherwise at most 8 before the last dot and 3 after it, and no
 * other dot. Lengths count UTF-8 characters, not bytes. A name that is not
 * valid UTF-8 gives NAME_CHECK_INVALID_CHARACTERS.
 */
gint NameChecker_IsValidIsoLevel1Name(const gchar *name, gboolean isDirectory);

/* ISO level 2: at most 31 characters, extension and dot included. */
gint NameChecker_IsValidIsoLevel2Name(const gchar *name, gboolean isDirectory);

/*
 * Explains a check result in a modal error dialog over parent (may be NULL).
 * limit fills in the maximum length of NAME_CHECK_NAME_TOO_LONG (the data
 * disc's Joliet character limit). NAME_CHECK_VALID and unknown codes show
 * nothing.
 */
void NameChecker_DisplayErrorDialog(gint code, gint limit, GtkWidget *parent);

G_END_DECLS

#endif
