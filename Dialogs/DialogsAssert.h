/*
 * Argument checks of the dialogs' public functions. A failed check logs the
 * GLib critical in the classic form "file F: line L (FUNC): assertion `EXPR'
 * failed", naming the source as the project knows it, and returns.
 */
#ifndef VORN_DIALOGS_ASSERT_H
#define VORN_DIALOGS_ASSERT_H

#include <glib.h>

#define VORN_RETURN_IF_FAIL(file, expr)                                                       \
    do {                                                                                      \
        if (G_UNLIKELY(!(expr))) {                                                            \
            g_log(G_LOG_DOMAIN, G_LOG_LEVEL_CRITICAL, "file %s: line %d (%s): assertion `%s' failed", \
                  (file), __LINE__, __func__, #expr);                                         \
            return;                                                                           \
        }                                                                                     \
    } while (0)

#endif
