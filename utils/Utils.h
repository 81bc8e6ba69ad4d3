/*
 * Small string utilities.
 */
#ifndef VORN_UTILS_H
#define VORN_UTILS_H

#include <glib.h>

/* A new copy of `text` (g_free) with every "<APPNAME>" replaced by the
 * application name; NULL for NULL. */
gchar *Utils_ReplaceAppname(const gchar *text) noexcept;

#endif
