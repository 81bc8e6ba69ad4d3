// The splash screen: where its status line lands on the picture, and what a
// wrong argument does.
#include "SplashScreen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; empty when right < left
    bool empty() const { return right < left; }
};

class SplashScreenTest : public testing::Test {
protected:
    GtkWidget *splash = nullptr;

    void SetUp() override
    {
        splash = SplashScreen_New();
        gtk_widget_show_now(splash);
    }
    void TearDown() override { gtk_widget_destroy(splash); }

    // The dark pixels of the light band at the foot of the picture, below its
    // decorative rule: the status line and nothing else.
    Box statusTextPixels()
    {
        while (gtk_events_pending())
            gtk_main_iteration();
        // Drawn off screen: other tests' windows on the same display may cover the splash.
        GdkPixmap *pixmap = gtk_widget_get_snapshot(splash, nullptr);
        EXPECT_NE(pixmap, nullptr);
        if (!pixmap)
            return Box{};
        GdkPixbuf *shot = gdk_pixbuf_get_from_drawable(nullptr, pixmap, nullptr, 0, 0, 0, 0,
                                                       splash->allocation.width, splash->allocation.height);
        g_object_unref(pixmap);
        EXPECT_NE(shot, nullptr);
        Box box{splash->allocation.width, splash->allocation.height, -1, -1};
        if (!shot)
            return box;
        const int stride = gdk_pixbuf_get_rowstride(shot);
        const int channels = gdk_pixbuf_get_n_channels(shot);
        const guchar *pixels = gdk_pixbuf_get_pixels(shot);
        constexpr int kBandBelowRuleY = 264;
        for (int y = kBandBelowRuleY; y < gdk_pixbuf_get_height(shot); ++y) {
            for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) {
                const guchar *p = pixels + y * stride + x * channels;
                if (p[0] + p[1] + p[2] < 3 * 128) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x);
                    box.top = std::min(box.top, y);
                    box.bottom = std::max(box.bottom, y);
                }
            }
        }
        g_object_unref(shot);
        return box;
    }
};

TEST_F(SplashScreenTest, StatusLineIsCentredOnItsMarkWithItsBottomOnTheBaseLine)
{
    for (const char *text : {"Initializing...", "Scanning system for devices...", "W"}) {
        SCOPED_TRACE(text);
        SplashScreen_SetStatusText(splash, text);
        const Box box = statusTextPixels();
        ASSERT_FALSE(box.empty());
        const double centre = (box.left + box.right + 1) / 2.0;
        EXPECT_NEAR(centre, VORN_SPLASH_STATUS_CENTRE_X, 2.0);
        // The line box ends on the mark; the glyphs end a little above it.
        EXPECT_LT(box.bottom, VORN_SPLASH_STATUS_BOTTOM_Y);
        EXPECT_GE(box.bottom, VORN_SPLASH_STATUS_BOTTOM_Y - 6);
        // 8 points: capitals about 6 to 10 pixels high, never the size of a heading.
        EXPECT_LE(box.bottom - box.top, 12);
    }
}

TEST_F(SplashScreenTest, LongerTextGrowsBothWaysAndNullClearsTheLine)
{
    SplashScreen_SetStatusText(splash, "Scan");
    const Box shortText = statusTextPixels();
    SplashScreen_SetStatusText(splash, "Scanning system for devices...");
    const Box longText = statusTextPixels();
    ASSERT_FALSE(shortText.empty());
    ASSERT_FALSE(longText.empty());
    EXPECT_LT(longText.left, shortText.left);
    EXPECT_GT(longText.right, shortText.right);

    SplashScreen_SetStatusText(splash, nullptr);
    EXPECT_STREQ(SplashScreen_GetStatusText(splash), "");
    EXPECT_TRUE(statusTextPixels().empty());
}

struct CapturedLog {
    std::vector<std::string> criticals;
    static void handler(const gchar *, GLogLevelFlags, const gchar *message, gpointer data)
    {
        static_cast<CapturedLog *>(data)->criticals.emplace_back(message);
    }
};

TEST_F(SplashScreenTest, SettingTextOnAnythingElseLogsTheAssertionAndChangesNothing)
{
    SplashScreen_SetStatusText(splash, "Initializing...");
    GtkWidget *plainWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(plainWindow), "Untouched");

    CapturedLog log;
    const guint handlerId = g_log_set_handler(nullptr, G_LOG_LEVEL_CRITICAL, CapturedLog::handler, &log);
    SplashScreen_SetStatusText(plainWindow, "Scanning system for devices...");
    SplashScreen_SetStatusText(nullptr, "Scanning system for devices...");
    g_log_remove_handler(nullptr, handlerId);

    ASSERT_EQ(log.criticals.size(), 2u);
    for (const auto &message : log.criticals) {
        EXPECT_TRUE(g_regex_match_simple("^file Dialogs/SplashScreen\\.cpp: line [0-9]+ "
                                         "\\(SplashScreen_SetStatusText\\): assertion "
                                         "`IS_VORN_SPLASH_SCREEN\\(SplashScreen\\)' failed$",
                                         message.c_str(), GRegexCompileFlags(0), GRegexMatchFlags(0)))
            << message;
    }
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(plainWindow)), "Untouched");
    EXPECT_STREQ(SplashScreen_GetStatusText(splash), "Initializing...");
    gtk_widget_destroy(plainWindow);
}

}  // namespace
