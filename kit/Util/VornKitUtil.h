/*
 * Small helpers shared by the widgets and dialogs of the common burn UI.
 */
#ifndef VORNKIT_UTIL_H
#define VORNKIT_UTIL_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

/* The folder the component loads its images from; NULL restores the
 * installed one. Set by VornKit_Init before anything loads an image. */
void VornKit_Util_SetImagesDirectory(const gchar *directory);
/* A new string (g_free). */
gchar *VornKit_Util_GetImagesDirectory(void);

/*
 * Gives `widget` a fixed size request (-1 leaves that side free). A
 * wrapping label then wraps at `width`. Changes nothing when the request is
 * already that size, so it is safe to call from a size-allocate handler
 * without starting a resize loop.
 */
void VornKit_Util_SetWidgetFixedSize(GtkWidget *widget, gint width, gint height);

G_END_DECLS

#endif
