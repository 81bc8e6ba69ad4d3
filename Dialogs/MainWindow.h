/*
 * "VornMainWindow": the application's top-level window. The application runs
 * as long as one of them exists (see Main.h).
 */
#ifndef VORN_MAIN_WINDOW_H
#define VORN_MAIN_WINDOW_H

#include "VornWindow.h"

G_BEGIN_DECLS

#define VORN_TYPE_MAIN_WINDOW (MainWindow_GetType())
#define VORN_MAIN_WINDOW(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_MAIN_WINDOW, VornMainWindow))
#define IS_VORN_MAIN_WINDOW(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_MAIN_WINDOW))

typedef struct _VornMainWindow VornMainWindow;
typedef struct _VornMainWindowClass VornMainWindowClass;

struct _VornMainWindow {
    VornWindow parent;
};

struct _VornMainWindowClass {
    VornWindowClass parentClass;
    void (*vorn_compilation_set)(VornMainWindow *window, gpointer compilation);
    void (*vorn_compilation_unset)(VornMainWindow *window);
};

/* The smallest size of a main window, in pixels. */
#define VORN_MAIN_WINDOW_MIN_WIDTH 800
#define VORN_MAIN_WINDOW_MIN_HEIGHT 600

GType MainWindow_GetType(void);
/* A new main window, not shown yet, already in the main window list. */
GtkWidget *MainWindow_New(void);

/*
 * The window's compilation. Signals (run-first, action):
 *   "vorn_compilation_set"    (pointer)  a compilation was set, or changed in a
 *                                        way that whoever follows it must see
 *   "vorn_compilation_unset"  ()         the compilation was removed
 */

/* Shows `compilation` (one reference kept): the title follows its name and
 * its burns take the window's place while they run. 0, changing nothing, for
 * a wrong argument or when the window shows a compilation already; else 1. */
gint MainWindow_SetActiveCompilation(GtkWidget *window, gpointer compilation);
/* Removes the compilation, asking first whether to save it when it has
 * unsaved changes (and the settings ask for that). 0 when there is none;
 * else 1, also when the user keeps it (Cancel, or a save that did not
 * complete). */
gint MainWindow_UnsetActiveCompilation(GtkWidget *window);
/* Emits "vorn_compilation_set" again with the current compilation. */
void MainWindow_ActiveCompilationUpdated(GtkWidget *window);
/* The compilation shown, borrowed, or NULL. */
gpointer MainWindow_GetActiveCompilation(GtkWidget *window);

/* The title shows a specific text (the burn's phase, for example) before the
 * compilation name: "<text> - [<name>]", or with a percent
 * "NNN% <text> - [<name>]". An empty or NULL text changes nothing. */
void MainWindow_SetSpecificWindowTitle(GtkWidget *window, const gchar *text);
/* Back to the plain title. */
void MainWindow_ResetStandardTitle(GtkWidget *window);
/* The title with the percent (0-100) before the specific text; -1 none. */
void MainWindow_UpdateSpecificTitlePercentage(GtkWidget *window, gint percent);

/* The burn's message on the status bar: replaces the previous one; NULL
 * removes it. */
void MainWindow_SetBurnStatusMessage(GtkWidget *window, const gchar *text);
void MainWindow_RemoveBurnStatusMessage(GtkWidget *window);

/* A burn of the window's compilation starts: the burn widget takes the
 * compilation's place (the window keeps a reference while it shows it), its
 * abort button becomes the window's default, the window is stored as the
 * burn's "Parent main window", and the window refuses to close until the
 * burn finished. */
void MainWindow_BurnStarted(GtkWidget *window, GtkWidget *burnWidget);
void MainWindow_BurnFinished(GtkWidget *window);
gboolean MainWindow_IsBurnRunning(GtkWidget *window);

G_END_DECLS

#endif
