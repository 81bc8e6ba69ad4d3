// The burn panel driven through the engine's progress object: single reports
// sent from a thread of our own (as the burn thread would), and a scripted
// burn shown in a main window with screenshots at three moments.
#include "BurnPanelProbe.h"
#include "BurnProcessWidget.h"
#include "ExtendedProgress.h"
#include "MainWindow.h"
#include "Main/Main.h"
#include "OptionsDatabase.h"
#include "TestDialogs.h"
#include "VornAPI.h"
#include "VornControl.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using vorn::test::findNamed;

void quitSoon() {}

class BurnProgressTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The callbacks take the GDK lock: make it a real lock, held by
        // this thread except while the main loop waits.
        gdk_threads_init();
        gdk_threads_enter();
    }
    static void TearDownTestSuite() { gdk_threads_leave(); }

    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        previousQuit = Main_SetQuitHandler(quitSoon);
        VornControl_SetTimeScale(0);
        window = MainWindow_New();
        widget = BurnProcessWidget_New();
        g_object_ref_sink(widget);
        ASSERT_TRUE(ExtendedProgress_RegisterBurnProcessWidget(widget));
        progress = ExtendedProgress_New();
        ASSERT_NE(progress, nullptr);
        MainWindow_BurnStarted(window, widget);
        gtk_window_resize(GTK_WINDOW(window), 900, 700);
        gtk_widget_show(window);
        spin(50);
    }
    void TearDown() override
    {
        gdk_threads_leave();
        VornControl_WaitScriptedBurn(10000);
        gdk_threads_enter();
        ExtendedProgress_UnregisterBurnProcessWidget(widget);
        ExtendedProgress_Destroy(progress);
        MainWindow_BurnFinished(window);
        gtk_widget_destroy(window);
        g_object_unref(widget);
        spin(10);
        Main_SetQuitHandler(previousQuit);
        OptionsDatabase_DestroyDatabases();
        VornControl_SetTimeScale(1);
    }

    static void spin(int ms) { vorn::test::spinMainLoop(ms); }

    // Sends one report from another thread, as the burn thread would.
    void send(int kind, long long a = 0, long long b = 0, long long c = 0, const char *text = nullptr)
    {
        VornControlReport report{kind, a, b, c, text};
        int sent = 0;
        gdk_threads_leave();
        std::thread burn([&] { sent = VornControl_SendProgressReport(progress, &report); });
        burn.join();
        gdk_threads_enter();
        EXPECT_EQ(sent, 1) << "report kind " << kind;
    }

    std::string label(const char *name) const { return vorn::test::panelLabel(widget, name); }
    gint writerBuffer() const
    {
        GtkTreeModel *model = BurnProcessWidget_GetWritersTreeModel(widget);
        GtkTreeIter iter;
        gint level = -2;
        if (gtk_tree_model_get_iter_first(model, &iter))
            gtk_tree_model_get(model, &iter, BURN_WRITER_COLUMN_BUFFER, &level, -1);
        return level;
    }
    std::string writerColumn(int column) const { return vorn::test::writerColumn(widget, column); }
    VornDeviceEntry recorder(bool imageRecorder = false) const
    {
        VornDeviceEntry entry{};
        std::strcpy(entry.name, imageRecorder ? "Image Recorder" : "VORN Emulated CD-RW");
        entry.textNotOwned = 1;
        entry.hostAdapter = imageRecorder ? VORN_IMAGE_RECORDER_HA : 1;
        entry.type = VORN_DEVICE_TYPE_RECORDER;
        entry.capabilities = VORN_CAP_WRITE | (imageRecorder ? VORN_CAP_IMAGE_RECORDER : 0);
        return entry;
    }
    void screenshot(const char *name)
    {
        spin(100);
        vorn::test::saveScreenshot(name);
    }

    MainQuitHandler previousQuit = nullptr;
    GtkWidget *window = nullptr;
    GtkWidget *widget = nullptr;
    VornExtendedProgress *progress = nullptr;
};

TEST_F(BurnProgressTest, PercentagesReachTheLabelBarAndWindowTitleAndTotalZeroIsHundred)
{
    send(VORN_CONTROL_REPORT_PHASE, VORN_PHASE_WRITING_TO_DISC);
    send(VORN_CONTROL_REPORT_PROGRESS, 25, 200);
    EXPECT_EQ(label("total-percent"), "12 %");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), " 12% Writing to disc - []");
    send(VORN_CONTROL_REPORT_PROGRESS, 0, 0);
    EXPECT_EQ(label("total-percent"), "100 %");
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(findNamed(widget, "total-bar"))), 1.0);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "100% Writing to disc - []");
    MainWindow_ResetStandardTitle(window);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Vorn Linux");
}

TEST_F(BurnProgressTest, WriteSpeed65535ClearsTheStatusAndTheStoredSpeed)
{
    send(VORN_CONTROL_REPORT_WRITE_SPEED, 1800, 150, 0);
    EXPECT_EQ(label("status"), "Writing at 1800 KB/s (12x)");
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, 4), 1800);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, 5), 150);
    // Verification shows its own text and keeps the burn's speed.
    send(VORN_CONTROL_REPORT_WRITE_SPEED, 2770, 1385, 1);
    EXPECT_EQ(label("status"), "Verifying the compilation at 2770 KB/s (2x)");
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, 4), 1800);
    send(VORN_CONTROL_REPORT_WRITE_SPEED, 65535, 150, 0);
    EXPECT_EQ(label("status"), "");
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, 4), 0);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, 5), 0);
    send(VORN_CONTROL_REPORT_READ_SPEED, 65535, 150);
    EXPECT_EQ(label("status"), "");
    send(VORN_CONTROL_REPORT_READ_SPEED, 1200, 150);
    EXPECT_EQ(label("status"), "Reading at 1200 KB/s (8x)");
}

TEST_F(BurnProgressTest, AThreeLineMessageAddsThreeRowsAndOnlyTheFirstHasIconAndTime)
{
    send(VORN_CONTROL_REPORT_MESSAGE, VORN_MESSAGE_WARNING, 0, 0, "first\nsecond <b>\nthird");
    GtkTreeModel *events = BurnProcessWidget_GetEventsTreeModel(widget);
    ASSERT_EQ(gtk_tree_model_iter_n_children(events, nullptr), 3);
    GtkTreeIter iter;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(events, &iter));
    for (int row = 0; row < 3; ++row, gtk_tree_model_iter_next(events, &iter)) {
        GdkPixbuf *icon = nullptr;
        gchar *time = nullptr, *text = nullptr;
        gtk_tree_model_get(events, &iter, BURN_EVENT_COLUMN_ICON, &icon, BURN_EVENT_COLUMN_TIME, &time,
                           BURN_EVENT_COLUMN_TEXT, &text, -1);
        EXPECT_EQ(icon != nullptr, row == 0) << "row " << row;
        EXPECT_EQ(time != nullptr, row == 0) << "row " << row;
        if (row == 1) {
            EXPECT_STREQ(text, "second &lt;b&gt;");  // shown as text, not markup
        }
        if (icon)
            g_object_unref(icon);
        g_free(time);
        g_free(text);
    }
    // Engine texts come in the language file's code page.
    send(VORN_CONTROL_REPORT_MESSAGE, 42, 0, 0, "Gr\xfc\xdf" "e");
    ASSERT_EQ(gtk_tree_model_iter_n_children(events, nullptr), 4);
    gchar *text = nullptr;
    gtk_tree_model_iter_nth_child(events, &iter, nullptr, 3);
    gtk_tree_model_get(events, &iter, BURN_EVENT_COLUMN_TEXT, &text, -1);
    EXPECT_STREQ(text, "Grüße");
    g_free(text);
}

TEST_F(BurnProgressTest, BufferLevelsClampAndPhase4OrAFailureHideTheBuffer)
{
    const VornDeviceEntry entry = recorder();
    ASSERT_EQ(BurnProcessWidget_AddWriter(widget, &entry), 0);
    EXPECT_EQ(writerBuffer(), -1);
    send(VORN_CONTROL_REPORT_WRITER_STATUS, 0, VORN_WRITER_STATUS_ACTIVE);
    send(VORN_CONTROL_REPORT_WRITER_PHASE, 0, VORN_WRITER_PHASE_TRACK);
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Track");
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_STATE), "Active");
    send(VORN_CONTROL_REPORT_WRITER_BUFFER_AVAILABLE, 0, 1);
    EXPECT_EQ(writerBuffer(), 0);
    send(VORN_CONTROL_REPORT_WRITER_BUFFER, 0, 300, 600);
    EXPECT_EQ(writerBuffer(), 50);
    send(VORN_CONTROL_REPORT_WRITER_BUFFER, 0, 900, 600);
    EXPECT_EQ(writerBuffer(), 100);

    send(VORN_CONTROL_REPORT_WRITER_PHASE, 0, VORN_WRITER_PHASE_LEAD_OUT);
    send(VORN_CONTROL_REPORT_WRITER_BUFFER_AVAILABLE, 0, 1);
    EXPECT_EQ(writerBuffer(), -1);
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Lead-out");

    send(VORN_CONTROL_REPORT_WRITER_PHASE, 0, VORN_WRITER_PHASE_TRACK);
    send(VORN_CONTROL_REPORT_WRITER_STATUS, 0, VORN_WRITER_STATUS_FAILED);
    send(VORN_CONTROL_REPORT_WRITER_BUFFER_AVAILABLE, 0, 1);
    EXPECT_EQ(writerBuffer(), -1);
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_STATE), "Failed");
    // Phase 2 keeps the action; 9 is "Running...".
    send(VORN_CONTROL_REPORT_WRITER_PHASE, 0, 2);
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Track");
    send(VORN_CONTROL_REPORT_WRITER_PHASE, 0, 9);
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Running...");
}

TEST_F(BurnProgressTest, PhasesSetTheStatusBarTheLabelsAndTheWritingFlag)
{
    send(VORN_CONTROL_REPORT_PHASE, VORN_PHASE_WRITING_TO_DISC);
    EXPECT_TRUE(OptionsDatabase_GetBooleanOptionValue(BurnProcessDynamicOptionsDatabase, 3));
    send(VORN_CONTROL_REPORT_STATUS_PHASE, VORN_PHASE_LEAD_IN);
    EXPECT_EQ(label("status"), "Writing lead-in");
    send(VORN_CONTROL_REPORT_PHASE, VORN_PHASE_VERIFYING);
    EXPECT_EQ(label("file-caption"), "Reading file:");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(BurnProcessWidget_GetAbortButton(widget))), "_Abort");
    send(VORN_CONTROL_REPORT_PHASE, VORN_PHASE_VERIFY_OK);
    EXPECT_EQ(label("file-caption"), "Writing file:");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(BurnProcessWidget_GetAbortButton(widget))), "_Cancel");
    send(VORN_CONTROL_REPORT_PHASE, VORN_PHASE_WRITING_ENDED);
    EXPECT_FALSE(OptionsDatabase_GetBooleanOptionValue(BurnProcessDynamicOptionsDatabase, 3));
    // 36 has no text: the title keeps the last phase's text.
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Verification successful - []");
}

TEST_F(BurnProgressTest, SubTaskFollowsItsSensitivityAndResetsWhenTurnedOff)
{
    send(VORN_CONTROL_REPORT_SUB_TASK_TEXT, 0, 0, 0, "ignored");
    EXPECT_EQ(label("sub-task-text"), "");
    send(VORN_CONTROL_REPORT_ENABLE_SUB_TASK, 1);
    send(VORN_CONTROL_REPORT_SUB_TASK_TEXT, 0, 0, 0, "Reading source");
    send(VORN_CONTROL_REPORT_SUB_TASK_PERCENT, 150);
    EXPECT_EQ(label("sub-task-text"), "Reading source");
    EXPECT_EQ(label("sub-task-percent"), "100 %");
    send(VORN_CONTROL_REPORT_SUB_TASK_READ_BUFFER);
    EXPECT_EQ(label("sub-task-text"), "Used read buffer:");
    send(VORN_CONTROL_REPORT_ENABLE_SUB_TASK, 0);
    EXPECT_EQ(label("sub-task-text"), "");
    EXPECT_EQ(label("sub-task-percent"), "0 %");
    EXPECT_FALSE(GTK_WIDGET_SENSITIVE(findNamed(widget, "sub-task-bar")));
}

TEST_F(BurnProgressTest, SizeCopiesFileNamesAndRemainingTime)
{
    send(VORN_CONTROL_REPORT_DOC_SIZE, 75 * 125, 75 * 125 * 2048LL);
    EXPECT_EQ(label("size"), "18.31 MB / 2:05 min");
    send(VORN_CONTROL_REPORT_DOC_SIZE, -1, 0);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(findNamed(widget, "size")));
    send(VORN_CONTROL_REPORT_NUM_COPIES, 2, 3);
    EXPECT_EQ(label("copy"), "2 / 3");
    send(VORN_CONTROL_REPORT_FILE_NAME, 0, 0, 0, "/music/caf\xe9.txt");
    EXPECT_EQ(label("file"), "/music/café.txt");
    const std::string longName = "/" + std::string(400, 'x') + "/end.txt";
    send(VORN_CONTROL_REPORT_FILE_NAME, 0, 0, 0, longName.c_str());
    EXPECT_EQ(label("file").substr(0, 3), "...");
    EXPECT_EQ(label("file").substr(label("file").size() - 8), "/end.txt");
    send(VORN_CONTROL_REPORT_FILE_NAME, 0, 0, 0, nullptr);
    EXPECT_EQ(label("file"), "");

    EXPECT_FALSE(GTK_WIDGET_VISIBLE(findNamed(widget, "remaining")));
    send(VORN_CONTROL_REPORT_REMAINING_TIME, 3723000);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(findNamed(widget, "remaining")));
    EXPECT_EQ(label("remaining"), "1:02:02");  // the first second already counts down
    EXPECT_LE(BurnProcessWidget_GetRemainingTime(widget), 3723000u);
    EXPECT_GT(BurnProcessWidget_GetRemainingTime(widget), 3700000u);
    BurnProcessWidget_StopTimers(widget);
    EXPECT_EQ(label("remaining"), "0:00:00");
    EXPECT_FALSE(GTK_WIDGET_SENSITIVE(findNamed(widget, "remaining")));
}

TEST_F(BurnProgressTest, NothingIsShownOnceTheWidgetIsUnregistered)
{
    EXPECT_FALSE(ExtendedProgress_UnregisterBurnProcessWidget(window));  // not the registered one
    EXPECT_TRUE(ExtendedProgress_UnregisterBurnProcessWidget(widget));
    send(VORN_CONTROL_REPORT_PROGRESS, 50, 100);
    EXPECT_EQ(label("total-percent"), "0 %");
    EXPECT_FALSE(ExtendedProgress_RegisterBurnProcessWidget(window));
    EXPECT_FALSE(BurnProcessWidget_SetPercentage(window, 1, 2));
}

TEST_F(BurnProgressTest, AbortAsksDuringARealWriteAndNoKeepsBurning)
{
    const uint32_t holds[] = {5};
    VornControlScriptedBurn script{};
    script.totalBlocks = 10;
    script.writeSpeedKBs = 1800;
    script.speedBaseKBs = 150;
    script.holdBeforeBlocks = holds;
    script.holdCount = 1;
    const VornDeviceEntry drive = recorder();
    GtkWidget *button = BurnProcessWidget_GetAbortButton(widget);

    vorn::test::DialogScript dialogs;
    dialogs.answerOnce(vorn::test::byRole("abort-burn"), {vorn::dialogs::response::No});
    dialogs.answerOnce(vorn::test::byRole("abort-burn"), {vorn::dialogs::response::Yes});
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    gdk_threads_leave();
    ASSERT_EQ(VornControl_WaitScriptedBurnHeld(5000), 5);
    gdk_threads_enter();
    spin(10);
    EXPECT_FALSE(ExtendedProgress_RequestAbort(progress, VORN_BURN_WRITE, &drive, button, window));
    EXPECT_TRUE(GTK_WIDGET_SENSITIVE(button));
    EXPECT_TRUE(ExtendedProgress_RequestAbort(progress, VORN_BURN_WRITE, &drive, button, window));
    EXPECT_FALSE(GTK_WIDGET_SENSITIVE(button));
    ASSERT_EQ(dialogs.asked().size(), 2u);
    EXPECT_EQ(dialogs.asked()[0].request.title, "Abort Burning");
    EXPECT_EQ(vorn::dialogs::stripMarkup(dialogs.asked()[0].request.heading),
              "Would you really like to abort the burn process?");
    gdk_threads_leave();
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_ABORTED);
    gdk_threads_enter();

    // A simulation, or the image recorder, stops without a question.
    gtk_widget_set_sensitive(button, TRUE);
    OptionsDatabase_SetBooleanOptionValue(BurnProcessDynamicOptionsDatabase, 3, 1);
    VornExtendedProgress_SetUserAbort(progress, 0);
    EXPECT_TRUE(ExtendedProgress_RequestAbort(progress, VORN_BURN_SIMULATE, &drive, button, window));
    const VornDeviceEntry image = recorder(true);
    EXPECT_TRUE(ExtendedProgress_RequestAbort(progress, VORN_BURN_WRITE, &image, button, window));
    EXPECT_EQ(dialogs.asked().size(), 2u);
}

TEST_F(BurnProgressTest, AScriptedBurnShowsItsPhasesPercentagesAndEventsInTheMainWindow)
{
    const VornDeviceEntry entry = recorder();
    BurnProcessWidget_AddWriter(widget, &entry);
    BurnProcessWidget_SetCompilationName(widget, "Holiday photos 2024");
    BurnProcessWidget_SetCompilationType(widget, "Data Disc (ISO 9660/Joliet)");
    OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 65, 1);

    const char *files[] = {"/photos/beach.jpg", "/photos/mountains.jpg", "/photos/city at night.jpg"};
    const char *messages[] = {"Recorder: VORN Emulated CD-RW\nMedium: CD-R, 700 MB"};
    const uint32_t holds[] = {0, 150, 300};
    VornControlScriptedBurn script{};
    script.totalBlocks = 300;
    script.blocksPerStep = 10;
    script.writeSpeedKBs = 1800;
    script.speedBaseKBs = 150;
    script.fileNames = files;
    script.fileCount = 3;
    script.messages = messages;
    script.messageCount = 1;
    script.bufferSizeKB = 2048;
    script.holdBeforeBlocks = holds;
    script.holdCount = 3;
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);

    auto waitHold = [&](int64_t block) {
        gdk_threads_leave();
        const int64_t held = VornControl_WaitScriptedBurnHeld(5000);
        gdk_threads_enter();
        EXPECT_EQ(held, block);
    };
    auto resume = [&] {
        gdk_threads_leave();
        VornControl_ResumeScriptedBurn();
        gdk_threads_enter();
    };

    waitHold(0);
    screenshot("burn-1-writing-starts");
    EXPECT_EQ(label("total-percent"), "0 %");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Writing to disc - []");
    EXPECT_EQ(label("status"), "Writing to disc");
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Track");
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_STATE), "Active");
    EXPECT_EQ(writerBuffer(), 0);
    EXPECT_EQ(gtk_tree_model_iter_n_children(BurnProcessWidget_GetEventsTreeModel(widget), nullptr), 3);
    resume();

    waitHold(150);
    screenshot("burn-2-halfway");
    EXPECT_EQ(label("total-percent"), "50 %");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), " 50% Writing to disc - []");
    EXPECT_EQ(label("file"), "/photos/mountains.jpg");
    EXPECT_GT(writerBuffer(), 80);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(findNamed(widget, "remaining")));
    resume();

    waitHold(300);
    resume();
    gdk_threads_leave();
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_OK);
    gdk_threads_enter();
    BurnProcessWidget_StopTimers(widget);
    screenshot("burn-3-finished");
    EXPECT_EQ(label("total-percent"), "100 %");
    EXPECT_EQ(label("file"), "");
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_ACTION), "Idle");
    EXPECT_EQ(writerColumn(BURN_WRITER_COLUMN_STATE), "Ready");
    EXPECT_EQ(writerBuffer(), -1);
    EXPECT_EQ(gtk_tree_model_iter_n_children(BurnProcessWidget_GetEventsTreeModel(widget), nullptr), 4);
    EXPECT_FALSE(OptionsDatabase_GetBooleanOptionValue(BurnProcessDynamicOptionsDatabase, 3));
    EXPECT_TRUE(MainWindow_IsBurnRunning(window));
}

}  // namespace
