// The burn started from a main window: the burn widget takes the window's
// place while the engine writes, the window gets its title back, and the
// result dialog says how it went; a second start while it runs is refused.
#include "BurnCompilation.h"
#include "BurnProcessResultDialog.h"
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "MainWindow.h"
#include "Main/Main.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"
#include "UserDialogs.h"
#include "VornAPIInterface.h"
#include "VornControl.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;
using dialogs::DialogAnswer;
using dialogs::DialogKind;
namespace response = dialogs::response;

void quitSoon() {}

class BurnCompilationTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gdk_threads_init();
        gdk_threads_enter();
    }
    static void TearDownTestSuite() { gdk_threads_leave(); }

    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        previousQuit_ = Main_SetQuitHandler(quitSoon);
        ASSERT_EQ(VornAPI_StartVornAPI(), VORN_INIT_OK);
        VornDeviceList *list = VornGetAvailableDrivesEx(0, 1);
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count; ++i)
            if (VornDeviceList_Entry(list, i)->capabilities & VORN_CAP_IMAGE_RECORDER)
                imageRecorder_ = *VornDeviceList_Entry(list, i);
        VornFreeMem(list);
        window_ = MainWindow_New();
        gtk_widget_show(window_);
        compilation_.reset(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
        const fs::path file = dir_ / "src" / "readme.txt";
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "hello\n";
        VfsDirectoryEntry *added =
            VFS_Copy(compilation_->localFileSystem, file.c_str(), compilation_->fileSystem, "/", 3, nullptr);
        ASSERT_NE(added, nullptr);
        VFS_FreeDirectoryEntry(added);
    }
    void TearDown() override
    {
        spinUntil([] { return !BurnProcess_IsActive(); });
        compilation_.reset();
        gtk_widget_destroy(window_);
        spin(10);
        VornAPI_StopVornAPI();
        VornControl_SetImageFileName(nullptr);
        Main_SetQuitHandler(previousQuit_);
        OptionsDatabase_DestroyDatabases();
    }

    // Runs the main loop with the GDK lock released, as gtk_main does.
    static void spin(int ms)
    {
        g_timeout_add(static_cast<guint>(ms), [](gpointer) -> gboolean {
            gtk_main_quit();
            return FALSE;
        }, nullptr);
        gtk_main();
    }
    template <class Done>
    static bool spinUntil(Done done)
    {
        for (int i = 0; i < 2000 && !done(); ++i)
            spin(5);
        return done();
    }

    TempDir dir_;
    GtkWidget *window_ = nullptr;
    OwnedCompilation compilation_;
    VornDeviceEntry imageRecorder_{};
    MainQuitHandler previousQuit_ = nullptr;
};

TEST_F(BurnCompilationTest, BurnShowsItsWidgetThenTheResultAndGivesTheWindowBack)
{
    const fs::path image = dir_ / "window.iso";
    VornControl_SetImageFileName(image.c_str());
    DialogScript dialogs;
    int finished = 0;
    g_signal_connect(compilation_.get(), "vorn_burn_finished",
                     G_CALLBACK(+[](Compilation *, gint, gpointer n) noexcept { ++*static_cast<int *>(n); }),
                     &finished);

    ASSERT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &imageRecorder_, window_), BURN_PROCESS_STARTED);
    EXPECT_TRUE(MainWindow_IsBurnRunning(window_));
    EXPECT_NE(compilation_->burnProcessWidget, nullptr);
    EXPECT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &imageRecorder_, window_),
              BURN_PROCESS_ALREADY_RUNNING);

    ASSERT_TRUE(spinUntil([] { return !BurnProcess_IsActive(); }));
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(MainWindow_IsBurnRunning(window_));
    EXPECT_EQ(compilation_->burnProcessWidget, nullptr);
    EXPECT_EQ(compilation_->progressObject, nullptr);
    EXPECT_TRUE(fs::exists(image));
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
    const auto asked = dialogs.asked();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back().request.role, "burn-result");
    EXPECT_EQ(asked.back().request.kind, DialogKind::Info);
    EXPECT_EQ(asked.back().request.heading, "Burn process completed sucessfully");
    EXPECT_EQ(asked.back().request.text, "Burn process completed sucessfully.") << "no speed for the image recorder";
}

TEST_F(BurnCompilationTest, FailedBurnShowsTheEnginesMessageAndTheHint)
{
    const fs::path image = dir_ / "broken.iso";
    VornControl_SetImageFileName(image.c_str());
    VornControl_FailNextCall(VORN_CONTROL_CALL_BURN, VORN_BURN_WRITE_ERROR);
    DialogScript dialogs;
    ASSERT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &imageRecorder_, window_), BURN_PROCESS_STARTED);
    ASSERT_TRUE(spinUntil([] { return !BurnProcess_IsActive(); }));
    VornControl_ClearFailures();
    EXPECT_FALSE(fs::exists(image));
    const auto asked = dialogs.asked();
    ASSERT_FALSE(asked.empty());
    const auto &shown = asked.back().request;
    EXPECT_EQ(shown.kind, DialogKind::Error);
    EXPECT_TRUE(shown.heading.empty());
    EXPECT_FALSE(shown.text.empty());
    EXPECT_NE(shown.text.find("It is recommended to save the log."), std::string::npos);
}

int resultDialogsUp()
{
    int up = 0;
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next)
        up += IS_VORN_BURN_PROCESS_RESULT_DIALOG(w->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(w->data)) ? 1 : 0;
    g_list_free(windows);
    return up;
}

TEST_F(BurnCompilationTest, ResultDialogOfADeclinedBurnClosesByItself)
{
    VornControl_SetImageFileName((dir_ / "declined.iso").c_str());
    VornControl_FailNextCall(VORN_CONTROL_CALL_BURN, VORN_BURN_DECLINED);
    DialogScript dialogs;
    ASSERT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &imageRecorder_, window_), BURN_PROCESS_STARTED);
    ASSERT_TRUE(spinUntil([] { return !BurnProcess_IsActive(); }));
    VornControl_ClearFailures();
    EXPECT_TRUE(spinUntil([] { return resultDialogsUp() == 0; }));
    ASSERT_FALSE(dialogs.asked().empty());
    EXPECT_EQ(dialogs.asked().back().request.heading, "Burn process failed");
}

TEST_F(BurnCompilationTest, SuccessfulBurnLeavesItsResultDialogUntilClosed)
{
    VornControl_SetImageFileName((dir_ / "kept.iso").c_str());
    DialogScript dialogs;
    ASSERT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &imageRecorder_, window_), BURN_PROCESS_STARTED);
    ASSERT_TRUE(spinUntil([] { return !BurnProcess_IsActive(); }));
    spin(50);
    EXPECT_EQ(resultDialogsUp(), 1);
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next)
        if (IS_VORN_BURN_PROCESS_RESULT_DIALOG(w->data))
            gtk_widget_destroy(GTK_WIDGET(w->data));
    g_list_free(windows);
    EXPECT_EQ(resultDialogsUp(), 0);
}

}  // namespace
}  // namespace vorn::test
