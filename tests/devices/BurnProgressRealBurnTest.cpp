// The burn panel following a real burn: a small data compilation written by
// the engine to an emulated CD-R on a thread of its own, as the burn process
// runs it, while the main loop shows what the engine reports.
#include "BurnPanelProbe.h"
#include "BurnProcessWidget.h"
#include "ExtendedProgress.h"
#include "MainWindow.h"
#include "Main/Main.h"
#include "OptionsDatabase.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"
#include "VornAPI.h"
#include "VornControl.h"
#include "VrnDisc.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

namespace {

using vorn::test::TempDir;
using vorn::test::writeFile;

using vorn::test::findNamed;

void noQuit() {}

class RealBurnProgressTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gdk_threads_init();
        gdk_threads_enter();
    }
    static void TearDownTestSuite() { gdk_threads_leave(); }

    void SetUp() override
    {
        ASSERT_TRUE(vorn::vrn::VrnDisc::create(dir / "cdr.vrn", VORN_MEDIUM_CD_R, 20000).ok());
        writeFile(dir / "drives.ini",
                  "[Writer]\nName=VORN Emulated CD-RW\nHostAdapter=1\nDeviceId=0\n"
                  "WriteMedia=CD-R;CD-RW\nDisc=cdr.vrn\n");
        // The language files from the source tree: this test needs no install.
        engineDir = (vorn::test::sourceDir() / "engine" / "lang").string();
        settings.engineDir = engineDir.c_str();
        settings.languageFile = "Vorn.txt";
        ASSERT_EQ(VornInitEx(&settings, (dir / "drives.ini").c_str(), -10, 0), VORN_INIT_OK);
        // Slow enough that the main loop sees the write in several steps.
        VornControl_SetTimeScale(0.2);

        OptionsDatabase_InitDatabases();
        previousQuit = Main_SetQuitHandler(noQuit);
        window = MainWindow_New();
        widget = BurnProcessWidget_New();
        g_object_ref_sink(widget);
        ASSERT_TRUE(ExtendedProgress_RegisterBurnProcessWidget(widget));
        progress = ExtendedProgress_New();
        ASSERT_NE(progress, nullptr);
        MainWindow_BurnStarted(window, widget);
        gtk_window_resize(GTK_WINDOW(window), 900, 700);
        gtk_widget_show(window);

        std::filesystem::create_directories(dir / "src" / "photos");
        for (int i = 0; i < 6; ++i)
            writeFile(dir / "src" / "photos" / ("picture" + std::to_string(i) + ".jpg"),
                      std::string(900 * 1024, static_cast<char>('a' + i)));
        comp = VornDataCompilation_New();
        ASSERT_NE(comp, nullptr);
        auto *root = VornDataCompilation_GetItemFromPath(comp, "", VORN_NAME_VISIBLE);
        auto *photos = VornDataCompilation_CreateDirectory(comp, root, "photos", nullptr, 0, 0, 0);
        ASSERT_NE(photos, nullptr);
        for (int i = 0; i < 6; ++i) {
            const auto path = dir / "src" / "photos" / ("picture" + std::to_string(i) + ".jpg");
            ASSERT_NE(VornDataCompilation_InsertNewItem(comp, photos, path.c_str()), nullptr);
        }
    }

    void TearDown() override
    {
        if (burner.joinable()) {
            gdk_threads_leave();
            burner.join();
            gdk_threads_enter();
        }
        if (widget)
            ExtendedProgress_UnregisterBurnProcessWidget(widget);
        if (progress)
            ExtendedProgress_Destroy(progress);
        if (window) {
            MainWindow_BurnFinished(window);
            gtk_widget_destroy(window);
        }
        if (widget)
            g_object_unref(widget);
        spin(10);
        if (window)
            Main_SetQuitHandler(previousQuit);
        OptionsDatabase_DestroyDatabases();
        if (comp)
            VornDataCompilation_Destroy(comp);
        VornControl_SetTimeScale(1);
        VornDone();
    }

    static void spin(int ms) { vorn::test::spinMainLoop(ms); }

    std::string label(const char *name) const { return vorn::test::panelLabel(widget, name); }
    std::string writerColumn(int column) const { return vorn::test::writerColumn(widget, column); }
    void screenshot(const char *name)
    {
        vorn::test::saveScreenshot(name);
    }

    TempDir dir;
    std::string engineDir;
    VornSettings settings{};
    MainQuitHandler previousQuit = nullptr;
    GtkWidget *window = nullptr;
    GtkWidget *widget = nullptr;
    VornExtendedProgress *progress = nullptr;
    VornDataCompilation *comp = nullptr;
    std::thread burner;
};

TEST_F(RealBurnProgressTest, ABurnToAnEmulatedCdRShowsItsPhasesAndPercentages)
{
    VornDeviceEntry entry{};
    std::strcpy(entry.name, "VORN Emulated CD-RW");
    entry.textNotOwned = 1;
    entry.hostAdapter = 1;
    entry.deviceId = 0;
    entry.type = VORN_DEVICE_TYPE_RECORDER;
    entry.capabilities = VORN_CAP_WRITE;
    BurnProcessWidget_AddWriter(widget, &entry);
    BurnProcessWidget_SetCompilationName(widget, "Photos");
    BurnProcessWidget_SetCompilationType(widget, "Data Disc (ISO 9660/Joliet)");

    VornDevice *device = VornOpenDevice(&entry);
    ASSERT_NE(device, nullptr);
    const VornWriteDescription description{VORN_WRITE_DATA, comp, progress, 1};
    std::atomic<int> result{-1};
    std::atomic<bool> done{false};
    burner = std::thread([&] {
        result = VornBurn(device, VORN_BURN_MAGIC, &description,
                          VORN_BURN_WRITE | VORN_BURN_CLOSE_SESSION | VORN_BURN_SPEED_IN_KBS, 0, nullptr);
        done = true;
    });

    // Follow the burn from the main loop, noting every percentage shown.
    std::set<std::string> percentages;
    bool sawWriting = false, tookHalfway = false;
    for (int i = 0; i < 3000 && !done; ++i) {
        spin(10);
        const std::string percent = label("total-percent");
        percentages.insert(percent);
        if (label("status") == "Writing to disc") {
            if (!sawWriting)
                screenshot("real-burn-1-writing");
            sawWriting = true;
        }
        if (!tookHalfway && sawWriting && std::atoi(percent.c_str()) >= 40) {
            screenshot("real-burn-2-halfway");
            tookHalfway = true;
        }
    }
    gdk_threads_leave();
    burner.join();
    gdk_threads_enter();
    spin(100);
    BurnProcessWidget_StopTimers(widget);
    screenshot("real-burn-3-finished");
    VornCloseDevice(device);

    EXPECT_EQ(result.load(), VORN_BURN_OK);
    EXPECT_TRUE(sawWriting) << "the writing phase never reached the panel";
    // The bar moved through intermediate values, not straight to the end.
    int between = 0;
    for (const auto &p : percentages)
        between += (std::atoi(p.c_str()) > 0 && std::atoi(p.c_str()) < 100) ? 1 : 0;
    EXPECT_GE(between, 2) << "percentages seen: " << percentages.size();
    EXPECT_EQ(label("total-percent"), "100 %");
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Idle");

    // What the panel showed really went to the disc: one closed session.
    auto disc = vorn::vrn::VrnDisc::open(dir / "cdr.vrn");
    ASSERT_TRUE(disc.ok());
    EXPECT_EQ(disc.value().tracks().size(), 1u);
}

}  // namespace
