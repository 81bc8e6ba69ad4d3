/*
 * Start and stop of the common burn UI.
 */
#ifndef VORNKIT_H
#define VORNKIT_H

#include <glib.h>

G_BEGIN_DECLS

/* Start-up flags returned by VornKit_Init. */
#define VORNKIT_INIT_WINDOW_ICONS_MISSING 0x1  /* no window icon could be loaded */
#define VORNKIT_INIT_IMAGES_MISSING 0x2        /* other images of the component are missing */
#define VORNKIT_INIT_DEVICES_FAILED 0x4        /* devices management could not start */
#define VORNKIT_INIT_HOTPLUG_FAILED 0x8        /* drives that come and go are not followed */

/*
 * Starts the component for the application `appName` (shown in titles),
 * whose window icons are named after `packageName`, with its images under
 * `imagesDirectory` (NULL: the installed folder). The engine must be running.
 * Returns the VORNKIT_INIT_* flags of what failed; 0 when everything started.
 */
guint64 VornKit_Init(const gchar *appName, const gchar *packageName, const gchar *imagesDirectory);
/* Stops the component: destroys its dialogs still open and releases its images. */
void VornKit_Done(void);

G_END_DECLS

#endif
