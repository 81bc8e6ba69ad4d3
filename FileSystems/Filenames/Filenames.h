/*
 * Local file names as text.
 *
 * File names on Linux are byte strings whose encoding nobody recorded. Every
 * local file name and engine text that a widget shows goes through these
 * functions, which always give valid UTF-8, and every list that shows file
 * names sorts them by the collation key made here.
 */
#ifndef VORN_FILENAMES_H
#define VORN_FILENAMES_H

#include <glib.h>

G_BEGIN_DECLS

/*
 * Converts a file name to UTF-8. Tries, in order: the name itself when
 * tryUtf8First is 1 and it is valid UTF-8; the file-name encoding (only when no
 * charset buffer was given); the locale's encoding; a fixed list of common
 * encodings, the first that accepts the name winning; and finally the name's
 * valid UTF-8 stretches with "?" for every other byte.
 *
 * charsetBuffer may be NULL; otherwise it receives the name of the encoding the
 * name was read in, copied with strncpy bounded by bufferLength (so a name that
 * does not fit is not NUL-terminated). When the file-name encoding was used the
 * buffer is not touched, which only happens when it was NULL.
 *
 * Returns a new string (g_free), never NULL; a NULL name gives "".
 */
gchar *Filenames_GetUnicodeString(const gchar *name, gchar *charsetBuffer, gsize bufferLength,
                                  gint tryUtf8First);

/* Filenames_GetUnicodeString(name, NULL, 0, 0). */
gchar *Filenames_GetDisplayString(const gchar *name);

/*
 * A sort key for a UTF-8 file name (lengthBytes bytes, or up to its NUL when
 * negative). Keys compared with strcmp order names the way people expect:
 * "file9" before "file10", "file1" before "file01" before "file2", and a
 * shorter part before a dot before a longer one. Returns a new string (g_free).
 */
gchar *Filenames_GetCollateKey(const gchar *name, gssize lengthBytes);

G_END_DECLS

#endif
