// The component's start: message domain, images, window icons and devices
// management.
#include "VornKit.h"

#include "DialogBox/DialogBox.h"
#include "VornImages.h"
#include "VornKitDevicesManagement.h"
#include "VornKitUtil.h"
#include "VornPaths.h"

#include <libintl.h>

namespace {

constexpr const char *kMessageDomain = "vornkit";

// The drive icons and the insert-disc icon, which the component loads later:
// a missing one means a broken installation, told once at start-up.
bool componentImagesPresent()
{
    gchar *dir = VornKit_Util_GetImagesDirectory();
    bool present = true;
    for (const char *kind : vorn::images::kDeviceKinds) {
        for (const char *suffix : {"", VORN_IMG_LOCKED_SUFFIX}) {
            for (int size : vorn::images::kIndexedSizes) {
                gchar *path = g_strdup_printf(VORN_IMG_DEVICE_PATH, dir, kind, suffix, size);
                present = present && g_file_test(path, G_FILE_TEST_IS_REGULAR);
                g_free(path);
            }
        }
    }
    gchar *insertDisc = g_strdup_printf(VORN_IMG_INSERT_DISC_PATH, dir, vorn::images::kInsertDiscIconSize);
    present = present && g_file_test(insertDisc, G_FILE_TEST_IS_REGULAR);
    g_free(insertDisc);
    g_free(dir);
    return present;
}

}  // namespace

extern "C" guint64 VornKit_Init(const gchar *, const gchar *, const gchar *imagesDirectory)
{
    bindtextdomain(kMessageDomain, VORN_LOCALE_DIR);
    bind_textdomain_codeset(kMessageDomain, "UTF-8");

    guint64 flags = 0;
    VornKit_Util_SetImagesDirectory(imagesDirectory);
    VornKit_DialogBox_SetImagesDirectory(imagesDirectory);
    VornKit_DialogBox_Init();
    if (!VornKit_DialogBox_GetWindowIconsList())
        flags |= VORNKIT_INIT_WINDOW_ICONS_MISSING;
    if (!componentImagesPresent())
        flags |= VORNKIT_INIT_IMAGES_MISSING;

    switch (VornKit_DevicesManagement_Init()) {
    case VORNKIT_DEVICES_INIT_OK:
        break;
    case VORNKIT_DEVICES_INIT_NO_HOTPLUG:
        flags |= VORNKIT_INIT_HOTPLUG_FAILED;
        break;
    default:
        flags |= VORNKIT_INIT_DEVICES_FAILED;
        break;
    }
    return flags;
}

extern "C" void VornKit_Done(void)
{
    VornKit_DevicesManagement_Done();
    VornKit_DialogBox_Done();
}
