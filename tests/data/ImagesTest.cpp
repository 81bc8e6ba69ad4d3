// The installed images against the program's own table of names: every name
// the program may load is installed, is a PNG of the size it is listed at, and
// is drawn so that it shows on a light or dark background.

#include "VornImages.h"
#include "VornPaths.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using vorn::images::ImageFile;
using vorn::images::installedImages;

namespace {

struct PixbufUnref {
    void operator()(GdkPixbuf *p) const noexcept { g_object_unref(p); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, PixbufUnref>;

fs::path imagesDir() { return fs::path(VORN_IMAGES_DIR); }

// Loads an installed image, or gives the reason it did not load.
Pixbuf load(const std::string &name, std::string &error)
{
    GError *err = nullptr;
    GdkPixbuf *p = gdk_pixbuf_new_from_file((imagesDir() / name).c_str(), &err);
    if (!p) {
        error = err ? err->message : "unknown error";
        g_clear_error(&err);
    }
    return Pixbuf{p};
}

struct Rgba {
    int r, g, b, a;
};

Rgba pixel(GdkPixbuf *p, int x, int y)
{
    const guchar *row = gdk_pixbuf_get_pixels(p) + y * gdk_pixbuf_get_rowstride(p);
    const guchar *px = row + x * gdk_pixbuf_get_n_channels(p);
    return {px[0], px[1], px[2], gdk_pixbuf_get_has_alpha(p) ? px[3] : 255};
}

bool isIcon(const ImageFile &f) { return f.name != VORN_IMG_SPLASH; }
bool isEmptyEventIcon(const ImageFile &f)
{
    return f.name.find("_empty_") != std::string::npos;
}

}  // namespace

TEST(ImageTable, NamesAreUniqueRelativePngs)
{
    auto images = installedImages();
    ASSERT_FALSE(images.empty());
    std::set<std::string> seen;
    for (const auto &f : images) {
        EXPECT_TRUE(seen.insert(f.name).second) << "listed twice: " << f.name;
        EXPECT_FALSE(fs::path(f.name).is_absolute()) << f.name;
        EXPECT_EQ(fs::path(f.name).extension(), ".png") << f.name;
        EXPECT_EQ(f.name.find('%'), std::string::npos) << "unformatted pattern: " << f.name;
        EXPECT_GT(f.width, 0) << f.name;
        EXPECT_GT(f.height, 0) << f.name;
    }
}

TEST(ImageTable, FullPathPatternsNameTheSameFilesAsTheTable)
{
    // A loader formats the *_PATH pattern with the images directory; the result
    // must be a listed file under that directory.
    std::set<std::string> listed;
    for (const auto &f : installedImages())
        listed.insert(f.name);
    auto relative = [](gchar *full) {
        std::string s = full;
        g_free(full);
        const std::string prefix = std::string(VORN_IMAGES_DIR) + "/";
        return s.rfind(prefix, 0) == 0 ? s.substr(prefix.size()) : s;
    };
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_SPLASH_PATH, VORN_IMAGES_DIR))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_APPICON_PATH, VORN_IMAGES_DIR, VORN_PACKAGE_NAME, 256))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_DIALOG_PATH, VORN_IMAGES_DIR, VORN_IMG_DIALOG_WARNING))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_DEVICE_PATH, VORN_IMAGES_DIR, "bdrecorder", VORN_IMG_LOCKED_SUFFIX, 48))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_BURN_EVENT_PATH, VORN_IMAGES_DIR, "copyright", 16))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_INSERT_DISC_PATH, VORN_IMAGES_DIR, 48))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_ERASE_DISC_PATH, VORN_IMAGES_DIR, "hddvd", 16))));
    EXPECT_TRUE(listed.count(relative(g_strdup_printf(VORN_IMG_DISC_TYPE_PATH, VORN_IMAGES_DIR, "cd_extra", 24))));
}

TEST(InstalledImages, EveryListedImageIsAPngOfItsSize)
{
    for (const auto &f : installedImages()) {
        SCOPED_TRACE(f.name);
        const fs::path path = imagesDir() / f.name;
        if (!fs::is_regular_file(path)) {
            ADD_FAILURE() << "not installed: " << path;
            continue;
        }

        gint w = 0, h = 0;
        GdkPixbufFormat *format = gdk_pixbuf_get_file_info(path.c_str(), &w, &h);
        if (!format) {
            ADD_FAILURE() << "not an image gdk-pixbuf knows";
            continue;
        }
        gchar *formatName = gdk_pixbuf_format_get_name(format);
        EXPECT_STREQ(formatName, "png");
        g_free(formatName);

        std::string error;
        Pixbuf p = load(f.name, error);
        if (!p) {
            ADD_FAILURE() << error;
            continue;
        }
        EXPECT_EQ(gdk_pixbuf_get_width(p.get()), f.width);
        EXPECT_EQ(gdk_pixbuf_get_height(p.get()), f.height);
    }
}

TEST(InstalledImages, NothingIsInstalledThatTheProgramDoesNotLoad)
{
    // An image installed under a name no loader asks for is a misspelt one:
    // the name the loader does ask for is then missing.
    std::set<std::string> listed;
    for (const auto &f : installedImages())
        listed.insert(f.name);
    ASSERT_TRUE(fs::is_directory(imagesDir()));
    for (const auto &entry : fs::recursive_directory_iterator(imagesDir())) {
        if (!entry.is_regular_file())
            continue;
        const std::string rel = fs::relative(entry.path(), imagesDir()).string();
        EXPECT_TRUE(listed.count(rel)) << "installed but never loaded: " << rel;
    }
}

TEST(InstalledImages, IconsAreDrawnOnATransparentBackground)
{
    // Icons sit on toolbars, lists and dialogs of any theme: a corner must be
    // see-through, and the drawing itself must be there. The blank burn log
    // icon is the one that is transparent throughout.
    for (const auto &f : installedImages()) {
        if (!isIcon(f))
            continue;
        SCOPED_TRACE(f.name);
        std::string error;
        Pixbuf p = load(f.name, error);
        ASSERT_TRUE(p) << error;
        ASSERT_TRUE(gdk_pixbuf_get_has_alpha(p.get()));
        const int w = gdk_pixbuf_get_width(p.get()), h = gdk_pixbuf_get_height(p.get());
        const bool cornerClear = pixel(p.get(), 0, 0).a == 0 || pixel(p.get(), w - 1, 0).a == 0 ||
                                 pixel(p.get(), 0, h - 1).a == 0 || pixel(p.get(), w - 1, h - 1).a == 0;
        EXPECT_TRUE(cornerClear);

        int opaque = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                opaque += pixel(p.get(), x, y).a >= 128;
        if (isEmptyEventIcon(f))
            EXPECT_EQ(opaque, 0);
        else
            EXPECT_GE(opaque * 5, w * h) << "less than a fifth of the icon is drawn";
    }
}

TEST(InstalledImages, SplashLeavesALightBandForTheStatusLine)
{
    // The splash screen draws its status line in the theme's text colour,
    // centred on x = 255 with its bottom at y = 280. The band it is drawn on
    // must be opaque, light and plain, or the text cannot be read.
    std::string error;
    Pixbuf p = load(VORN_IMG_SPLASH, error);
    ASSERT_TRUE(p) << error;
    ASSERT_GE(gdk_pixbuf_get_height(p.get()), 281);
    for (int y = 266; y <= 281; ++y) {
        for (int x = 105; x <= 405; ++x) {
            const Rgba c = pixel(p.get(), x, y);
            ASSERT_EQ(c.a, 255) << "at " << x << "," << y;
            const int luma = (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
            ASSERT_GE(luma, 220) << "at " << x << "," << y;
        }
    }
    // The picture is opaque everywhere: it is the whole window.
    const int w = gdk_pixbuf_get_width(p.get()), h = gdk_pixbuf_get_height(p.get());
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; x += 7)
            ASSERT_EQ(pixel(p.get(), x, y).a, 255) << "at " << x << "," << y;
}
