/*
 * Reads the options part of a settings document into the persistent databases.
 *
 * The document is fed in pieces of any size, so a line longer than the
 * caller's buffer is no problem. Elements take effect as soon as their start
 * tag is complete:
 *   - "OptionsDB" whose first attribute is "name": the database of that name
 *     (OptionsDatabase_GetFromName) becomes current; an unknown name makes no
 *     database current;
 *   - "Option": applied to the current database, if any
 *     (OptionsDatabase_SetOptionValueFromXML);
 *   - the end of "OptionsDB": no database is current;
 *   - everything else (the version element, comments, the XML declaration) is
 *     ignored. Several top-level elements side by side are accepted.
 * After malformed markup the reader stops: what was applied before the fault
 * stays applied, and later pieces are refused. The end of input is never
 * signalled to the parser, so a last element cut off in the middle is dropped
 * without an error.
 */
#ifndef VORN_OPTIONS_XML_READER_H
#define VORN_OPTIONS_XML_READER_H

#include <glib.h>

struct OptionsXMLReader;

/* A new reader with no current database. Free with OptionsXMLReader_Free. */
OptionsXMLReader *OptionsXMLReader_New() noexcept;

/*
 * Parses the next `length` bytes of `text` (up to its NUL when negative).
 * Returns 1 while the document is well-formed so far; 0 once it is not (the
 * parser's message in *error when error is not NULL, on the call that found
 * the fault only) and for every piece after that.
 */
gint OptionsXMLReader_Feed(OptionsXMLReader *reader, const gchar *text, gssize length, GError **error) noexcept;

void OptionsXMLReader_Free(OptionsXMLReader *reader) noexcept;

#endif
