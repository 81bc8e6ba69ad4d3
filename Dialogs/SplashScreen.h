/*
 * "VornSplashScreen": the window shown while the application starts, a picture
 * with one line of status text over it.
 */
#ifndef VORN_SPLASH_SCREEN_H
#define VORN_SPLASH_SCREEN_H

#include "VornWindow.h"

G_BEGIN_DECLS

#define VORN_TYPE_SPLASH_SCREEN (SplashScreen_GetType())
#define VORN_SPLASH_SCREEN(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_SPLASH_SCREEN, VornSplashScreen))
#define IS_VORN_SPLASH_SCREEN(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_SPLASH_SCREEN))

typedef struct _VornSplashScreen VornSplashScreen;
typedef struct _VornSplashScreenClass VornSplashScreenClass;

struct _VornSplashScreen {
    VornWindow parent;
};

struct _VornSplashScreenClass {
    VornWindowClass parentClass;
};

/* Where the status line sits on the picture: centred on this x, its bottom
 * edge on this y (pixels from the picture's top left corner). */
#define VORN_SPLASH_STATUS_CENTRE_X 255
#define VORN_SPLASH_STATUS_BOTTOM_Y 280

GType SplashScreen_GetType(void);
/* A new splash window, not shown yet, with an empty status line. */
GtkWidget *SplashScreen_New(void);
/*
 * Replaces the status line (NULL: empty), redraws, and runs the main loop
 * until no events are pending, so that the text is on screen when it returns.
 * On anything that is not a splash screen it logs a critical and does nothing.
 */
void SplashScreen_SetStatusText(GtkWidget *SplashScreen, const gchar *text);
/* The status line now shown (borrowed); NULL for anything but a splash screen. */
const gchar *SplashScreen_GetStatusText(GtkWidget *SplashScreen);

G_END_DECLS

#endif
