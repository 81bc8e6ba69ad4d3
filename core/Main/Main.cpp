#include "Main.h"

VornClipboard *Main_Clipboard = nullptr;
PreviewPlayer *Main_PreviewPlayer = nullptr;

namespace {

GList *mainWindows = nullptr;
MainQuitHandler quitHandler = nullptr;

}  // namespace

void Main_AddMainWindow(gpointer window) noexcept
{
    if (window && !g_list_find(mainWindows, window))
        mainWindows = g_list_append(mainWindows, window);
}

void Main_RemoveMainWindow(gpointer window) noexcept
{
    if (!window || !g_list_find(mainWindows, window))
        return;
    mainWindows = g_list_remove(mainWindows, window);
    if (!mainWindows && quitHandler)
        quitHandler();
}

GList *Main_GetMainWindows() noexcept
{
    return mainWindows;
}

MainQuitHandler Main_SetQuitHandler(MainQuitHandler handler) noexcept
{
    MainQuitHandler previous = quitHandler;
    quitHandler = handler;
    return previous;
}
