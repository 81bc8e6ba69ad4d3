/*
 * Process-wide objects of the application, and the list of its main windows.
 *
 * The application lives as long as one main window does: every main window
 * appends itself to the list when it is created and removes itself when it is
 * finalized. The removal that empties the list runs the quit handler that the
 * program installed (Main_QuitApplication in the `vorn` executable); with none
 * installed, as in a test that creates windows on its own, nothing more happens.
 *
 * Everything here is used on the main thread only.
 */
#ifndef VORN_MAIN_H
#define VORN_MAIN_H

#include <glib.h>

typedef struct _VornClipboard VornClipboard;
typedef struct _PreviewPlayer PreviewPlayer;

/* The application clipboard and the preview player: created at start-up, released
 * by the shutdown sequence. NULL before and after. */
extern VornClipboard *Main_Clipboard;
extern PreviewPlayer *Main_PreviewPlayer;

/* Appends a main window (not referenced); a window already listed is not added twice. */
void Main_AddMainWindow(gpointer window) noexcept;
/* Removes a listed main window. When that leaves the list empty, the quit
 * handler runs. A window that is not listed changes nothing. */
void Main_RemoveMainWindow(gpointer window) noexcept;
/* The open main windows, oldest first (borrowed). */
GList *Main_GetMainWindows() noexcept;

typedef void (*MainQuitHandler)();
/* Installs the handler that the removal of the last main window runs; NULL
 * removes it. Returns the previous handler. */
MainQuitHandler Main_SetQuitHandler(MainQuitHandler handler) noexcept;

#endif
