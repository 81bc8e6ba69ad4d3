/*
 * Functions of the preview player, the compilation widget and the threaded
 * file operations that the burn process calls. Until those modules exist
 * they live here with the smallest behaviour that keeps a burn correct: no
 * sound, no marks to refresh, and path lists freed.
 */
#ifndef VORN_BURN_LATER_PARTS_H
#define VORN_BURN_LATER_PARTS_H

#include <glib.h>

G_BEGIN_DECLS

/* Plays `path` without reporting errors; FALSE when nothing is played. */
gboolean PreviewPlayer_PlayFileSilent(gpointer player, const gchar *path, gpointer owner) noexcept;

/* Asks the data editor of a data compilation to refresh its items' marks of
 * what is already on the disc. */
void CompilationWidget_UpdateItemsMultisessionType(gpointer compilationWidget) noexcept;

/* Frees a list of g_malloc'ed paths and the list. NULL is ignored. */
void ThreadedOperations_FreePathList(GList *paths) noexcept;

G_END_DECLS

#endif
