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
};

/* The smallest size of a main window, in pixels. */
#define VORN_MAIN_WINDOW_MIN_WIDTH 800
#define VORN_MAIN_WINDOW_MIN_HEIGHT 600

GType MainWindow_GetType(void);
/* A new main window, not shown yet, already in the main window list. */
GtkWidget *MainWindow_New(void);

G_END_DECLS

#endif
