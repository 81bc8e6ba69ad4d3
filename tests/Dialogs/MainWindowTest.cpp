// Main windows and the life of the application: it ends with the last one.
#include "Main/Main.h"
#include "MainWindow.h"
#include "OptionsDatabase.h"

#include <gtest/gtest.h>

namespace {

int quitCalls = 0;
void countQuit()
{
    ++quitCalls;
}

class MainWindowList : public testing::Test {
protected:
    MainQuitHandler previous = nullptr;

    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        quitCalls = 0;
        previous = Main_SetQuitHandler(countQuit);
    }
    void TearDown() override
    {
        Main_SetQuitHandler(previous);
        OptionsDatabase_DestroyDatabases();
    }
};

TEST_F(MainWindowList, ClosingOneOfSeveralWindowsGoesOnAndClosingTheLastQuitsOnce)
{
    GtkWidget *first = MainWindow_New();
    GtkWidget *second = MainWindow_New();
    ASSERT_EQ(g_list_length(Main_GetMainWindows()), 2u);
    EXPECT_EQ(Main_GetMainWindows()->data, first);

    gtk_widget_destroy(first);
    EXPECT_EQ(quitCalls, 0);
    ASSERT_EQ(g_list_length(Main_GetMainWindows()), 1u);
    EXPECT_EQ(Main_GetMainWindows()->data, second);

    gtk_widget_destroy(second);
    EXPECT_EQ(quitCalls, 1);
    EXPECT_EQ(Main_GetMainWindows(), nullptr);
}

TEST_F(MainWindowList, WindowStaysListedWhileSomethingStillHoldsIt)
{
    // The list follows the window's finalization, not its destruction.
    GtkWidget *window = MainWindow_New();
    g_object_ref(window);
    gtk_widget_destroy(window);
    EXPECT_EQ(g_list_length(Main_GetMainWindows()), 1u);
    EXPECT_EQ(quitCalls, 0);
    g_object_unref(window);
    EXPECT_EQ(Main_GetMainWindows(), nullptr);
    EXPECT_EQ(quitCalls, 1);
}

TEST_F(MainWindowList, RemovingAnUnlistedWindowNeitherChangesTheListNorQuits)
{
    GtkWidget *window = MainWindow_New();
    int notAWindow = 0;
    Main_RemoveMainWindow(&notAWindow);
    Main_RemoveMainWindow(nullptr);
    EXPECT_EQ(g_list_length(Main_GetMainWindows()), 1u);
    EXPECT_EQ(quitCalls, 0);
    gtk_widget_destroy(window);
    EXPECT_EQ(quitCalls, 1);
}

TEST_F(MainWindowList, SavedSizeBelowTheMinimumOpensAtTheMinimum)
{
    constexpr gint32 kDefaultWidth = 71, kDefaultHeight = 72;
    OptionsDatabase_SetIntegerOptionValue(GlobalSettingsOptionsDatabase, kDefaultWidth, 640);
    OptionsDatabase_SetIntegerOptionValue(GlobalSettingsOptionsDatabase, kDefaultHeight, 480);
    GtkWidget *window = MainWindow_New();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Vorn Linux");
    gtk_widget_show_now(window);
    while (gtk_events_pending())
        gtk_main_iteration();
    EXPECT_EQ(window->allocation.width, VORN_MAIN_WINDOW_MIN_WIDTH);
    EXPECT_EQ(window->allocation.height, VORN_MAIN_WINDOW_MIN_HEIGHT);
    gtk_widget_destroy(window);
}

}  // namespace
