#include "VornImages.h"

#include <glib.h>

#include <memory>

namespace vorn::images {

namespace {

struct GFreeDeleter {
    void operator()(gchar *p) const noexcept { g_free(p); }
};

// Takes a string made by g_strdup_printf. The names are formatted with the
// same patterns the loaders use, so a typo in a pattern shows up as a file
// that the build did not install.
std::string own(gchar *s)
{
    std::unique_ptr<gchar, GFreeDeleter> owned{s};
    return owned.get();
}

void addSquare(std::vector<ImageFile> &out, std::string name, int size)
{
    out.push_back({std::move(name), size, size});
}

}  // namespace

std::vector<ImageFile> installedImages(const char *package)
{
    std::vector<ImageFile> out;
    out.push_back({VORN_IMG_SPLASH, kSplashWidth, kSplashHeight});

    for (int size : kAppIconSizes)
        addSquare(out, own(g_strdup_printf(VORN_IMG_APPICON, package, size)), size);

    for (const char *icon : kDialogIcons)
        addSquare(out, own(g_strdup_printf(VORN_IMG_DIALOG, icon)), kDialogIconSize);

    for (const char *kind : kDeviceKinds)
        for (const char *suffix : {"", VORN_IMG_LOCKED_SUFFIX})
            for (int size : kIndexedSizes)
                addSquare(out, own(g_strdup_printf(VORN_IMG_DEVICE, kind, suffix, size)), size);

    for (const char *event : kBurnEvents)
        addSquare(out, own(g_strdup_printf(VORN_IMG_BURN_EVENT, event, kBurnEventIconSize)), kBurnEventIconSize);

    addSquare(out, own(g_strdup_printf(VORN_IMG_INSERT_DISC, kInsertDiscIconSize)), kInsertDiscIconSize);

    for (const char *family : kEraseFamilies)
        for (int size : kIndexedSizes)
            addSquare(out, own(g_strdup_printf(VORN_IMG_ERASE_DISC, family, size)), size);

    for (const char *type : kDiscTypes)
        for (int size : kIndexedSizes)
            addSquare(out, own(g_strdup_printf(VORN_IMG_DISC_TYPE, type, size)), size);

    return out;
}

}  // namespace vorn::images
