#include "LaterParts.h"

gboolean PreviewPlayer_PlayFileSilent(gpointer, const gchar *, gpointer) noexcept
{
    return FALSE;
}

void CompilationWidget_UpdateItemsMultisessionType(gpointer) noexcept {}

void ThreadedOperations_FreePathList(GList *paths) noexcept
{
    g_list_free_full(paths, g_free);
}
