/*
 * "VornWindow": the application's top-level window class. Every window of the
 * application derives from it and so carries the window icons of the common
 * burn UI.
 */
#ifndef VORN_WINDOW_H
#define VORN_WINDOW_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VORN_TYPE_WINDOW (VornWindow_GetType())
#define VORN_WINDOW(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_WINDOW, VornWindow))
#define IS_VORN_WINDOW(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_WINDOW))

typedef struct _VornWindow VornWindow;
typedef struct _VornWindowClass VornWindowClass;

struct _VornWindow {
    GtkWindow parent;
};

struct _VornWindowClass {
    GtkWindowClass parentClass;
};

GType VornWindow_GetType(void);
/* A new top-level window with the application's icons. */
GtkWidget *VornWindow_New(void);

G_END_DECLS

#endif
