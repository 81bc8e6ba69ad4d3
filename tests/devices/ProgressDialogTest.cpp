// The file-operation progress dialog under a display: pulsing until totals
// are known, then the fraction and the items left, on its own timers.
#include "ProgressDialog.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

namespace {

GtkWidget *findNamed(GtkWidget *root, const char *name)
{
    if (std::strcmp(gtk_widget_get_name(root), name) == 0)
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GtkWidget *found = nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList *l = children; l && !found; l = l->next)
        found = findNamed(GTK_WIDGET(l->data), name);
    g_list_free(children);
    return found;
}

class ProgressDialogTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (dialog)
            gtk_widget_destroy(dialog);
        pump(10);
    }
    // Runs the main loop for `ms`: the dialog's timers fire every 100 ms.
    static void pump(int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until)
            if (!g_main_context_iteration(nullptr, FALSE))
                g_usleep(2000);
    }
    // Runs the loop until `done` holds or two seconds passed.
    static bool pumpUntil(const std::function<bool()> &done)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < until)
            pump(20);
        return done();
    }
    std::string text(const char *name) const { return gtk_label_get_text(GTK_LABEL(findNamed(dialog, name))); }
    GtkProgressBar *bar() const { return GTK_PROGRESS_BAR(findNamed(dialog, "progress")); }
    std::string barText() const
    {
        const gchar *t = gtk_progress_bar_get_text(bar());
        return t ? t : "";
    }

    GtkWidget *dialog = nullptr;
};

TEST_F(ProgressDialogTest, PulsesUntilTotalsAreKnownThenShowsPercentDone)
{
    dialog = ProgressDialog_NewCopyDialog(nullptr);
    gtk_widget_show(dialog);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Adding Files...");
    EXPECT_TRUE(pumpUntil([&] { return GTK_PROGRESS(bar())->activity_mode; }));
    pump(250);
    EXPECT_EQ(barText(), "");
    EXPECT_EQ(text("status"), "Please wait...");

    ProgressDialog_SetTotalFilesCountAndSize(dialog, 10, 1000);
    ProgressDialog_IncrementProcessedFiles(dialog, "/home/me/a.txt", 50);
    pump(250);
    EXPECT_FALSE(GTK_PROGRESS(bar())->activity_mode);  // the pulse stopped
    EXPECT_EQ(barText(), " 5 % done");
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar()), 0.05);
    EXPECT_EQ(text("file"), "Adding /home/me/a.txt...");
    EXPECT_EQ(text("status"), "9 items (950 bytes) remaining...");

    // Reset: counts cleared, pulsing again.
    ProgressDialog_ResetDialog(dialog);
    EXPECT_EQ(text("status"), "Please wait...");
    EXPECT_TRUE(pumpUntil([&] { return GTK_PROGRESS(bar())->activity_mode; }));
}

TEST_F(ProgressDialogTest, SingularTextWhenOneOrNoItemIsLeftAndPluralOtherwise)
{
    dialog = ProgressDialog_NewDeleteDialog(nullptr);
    ProgressDialog_SetProgressBasedOnMB(dialog, FALSE);
    ProgressDialog_SetTotalFilesCountAndSize(dialog, 3, 0);
    EXPECT_EQ(text("status"), "3 items remaining...");
    ProgressDialog_IncrementProcessedFiles(dialog, "x", 0);
    ProgressDialog_IncrementProcessedFiles(dialog, "y", 0);
    EXPECT_TRUE(pumpUntil([&] { return text("status") == "1 item remaining..."; }));
    EXPECT_EQ(barText(), "66 % done");
    EXPECT_EQ(text("file"), "Deleting y...");
    ProgressDialog_IncrementProcessedFiles(dialog, nullptr, 0);
    EXPECT_TRUE(pumpUntil([&] { return barText() == "100 % done"; }));
    EXPECT_EQ(text("status"), "1 item remaining...");
    EXPECT_EQ(text("file"), " ");

    // By size: the byte total decides the fraction, the size is shown.
    ProgressDialog_SetProgressBasedOnMB(dialog, TRUE);
    ProgressDialog_ResetDialog(dialog);
    ProgressDialog_SetTotalFilesCountAndSize(dialog, 2, 3000000);
    ProgressDialog_IncrementProcessedFiles(dialog, "big", 1500000);
    EXPECT_TRUE(pumpUntil([&] { return barText() == "50 % done"; }));
    // GLib keeps number and unit together with a no-break space.
    EXPECT_EQ(text("status"), "1 item (1.5\u00a0MB) remaining...");
}

TEST_F(ProgressDialogTest, AProcessedCountAboveTheTotalShowsAFullBar)
{
    dialog = ProgressDialog_NewMoveDialog(nullptr);
    ProgressDialog_SetProgressBasedOnMB(dialog, FALSE);
    ProgressDialog_SetTotalFilesCountAndSize(dialog, 2, 0);
    for (int i = 0; i < 5; ++i)
        ProgressDialog_IncrementProcessedFiles(dialog, "f", 10);
    EXPECT_TRUE(pumpUntil([&] { return barText() == "100 % done"; }));
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar()), 1.0);
    EXPECT_EQ(text("status"), "1 item remaining...");
    EXPECT_EQ(text("file"), "Moving f...");
}

TEST_F(ProgressDialogTest, KindsHaveTheirTitlesWaitTextsAndVerbs)
{
    struct Kind {
        GtkWidget *(*make)(GtkWidget *);
        const char *title, *status, *verb;
    };
    const Kind kinds[] = {
        {ProgressDialog_NewRefreshDialog, "Refreshing Compilation...", "Refreshing compilation. Please wait...",
         "Adding n..."},
        {ProgressDialog_NewUndoDialog, "Performing Undo Operation...", "Refreshing compilation. Please wait...",
         "Adding n..."},
        {ProgressDialog_NewSaveDialog, "Saving Compilation...", "Saving compilation. Please wait...", "Saving n..."},
        {ProgressDialog_NewLoadDialog, "Loading Compilation...", "Loading compilation. Please wait...",
         "Loading n..."},
        {ProgressDialog_NewFreeDBDialog, "Retrieving Data...", "Retrieving data from the Internet CD database...",
         "Adding n..."},
    };
    for (const auto &k : kinds) {
        dialog = k.make(nullptr);
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), k.title);
        EXPECT_EQ(text("status"), k.status);
        ProgressDialog_IncrementProcessedFiles(dialog, "n", 1);
        EXPECT_EQ(text("file"), k.verb);
        EXPECT_NE(ProgressDialog_GetCancelButton(dialog), nullptr);
        gtk_widget_destroy(dialog);
        dialog = nullptr;
    }
    // Not a progress dialog: nothing happens.
    GtkWidget *label = gtk_label_new("x");
    g_object_ref_sink(label);
    ProgressDialog_SetTotalFilesCountAndSize(label, 1, 1);
    EXPECT_EQ(ProgressDialog_GetCancelButton(label), nullptr);
    g_object_unref(label);
}

TEST_F(ProgressDialogTest, ALongNameIsCutAtItsEnd)
{
    dialog = ProgressDialog_NewCopyDialog(nullptr);
    const std::string name = "/" + std::string(300, 'w') + ".txt";
    ProgressDialog_IncrementProcessedFiles(dialog, name.c_str(), 1);
    const std::string shown = text("file");
    EXPECT_EQ(shown.rfind("Adding /www", 0), 0u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_LT(shown.size(), name.size());
}

}  // namespace
