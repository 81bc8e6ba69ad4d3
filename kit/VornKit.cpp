// The component's start: message domain, images and window icons. Devices
// management joins here when it is written.
#include "VornKit.h"

#include "DialogBox/DialogBox.h"
#include "VornPaths.h"

#include <libintl.h>

namespace {

constexpr const char *kMessageDomain = "vornkit";

}  // namespace

extern "C" guint64 VornKit_Init(const gchar *, const gchar *, const gchar *imagesDirectory)
{
    bindtextdomain(kMessageDomain, VORN_LOCALE_DIR);
    bind_textdomain_codeset(kMessageDomain, "UTF-8");

    guint64 flags = 0;
    VornKit_DialogBox_SetImagesDirectory(imagesDirectory);
    VornKit_DialogBox_Init();
    if (!VornKit_DialogBox_GetWindowIconsList())
        flags |= VORNKIT_INIT_WINDOW_ICONS_MISSING;
    return flags;
}

extern "C" void VornKit_Done(void)
{
    VornKit_DialogBox_Done();
}
