#include "VornKitUtil.h"

#include "VornPaths.h"

#include <mutex>
#include <string>

namespace {

std::mutex imagesMutex;
std::string &imagesDirectory()
{
    static std::string *dir = new std::string(VORN_IMAGES_DIR);
    return *dir;
}

}  // namespace

extern "C" void VornKit_Util_SetImagesDirectory(const gchar *directory)
{
    std::lock_guard lock(imagesMutex);
    imagesDirectory() = directory ? directory : VORN_IMAGES_DIR;
}

extern "C" gchar *VornKit_Util_GetImagesDirectory(void)
{
    std::lock_guard lock(imagesMutex);
    return g_strdup(imagesDirectory().c_str());
}

extern "C" void VornKit_Util_SetWidgetFixedSize(GtkWidget *widget, gint width, gint height)
{
    if (!GTK_IS_WIDGET(widget))
        return;
    gint currentWidth = -1;
    gint currentHeight = -1;
    gtk_widget_get_size_request(widget, &currentWidth, &currentHeight);
    if (currentWidth == width && currentHeight == height)
        return;
    gtk_widget_set_size_request(widget, width, height);
}
