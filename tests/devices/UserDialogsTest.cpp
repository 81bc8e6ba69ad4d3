// The engine's questions during a burn, answered through the message boxes
// and the responder: the answers each request gives, the user-abort flag,
// the image file chooser with its name rules, and the burn result dialog.
#include "BurnProcessResultDialog.h"
#include "OptionsDatabase.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"
#include "UserDialogs.h"
#include "VornAPIInterface.h"
#include "DialogBox/DialogBox.h"
#include "WaitForMediaDlg.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;
using dialogs::DialogAnswer;
using dialogs::DialogKind;
namespace response = dialogs::response;

class UserDialogsTest : public testing::Test {
protected:
    // The questions take the GDK lock: make it a real lock, held by this
    // thread except while the main loop runs.
    static void SetUpTestSuite()
    {
        gdk_threads_init();
        gdk_threads_enter();
    }
    static void TearDownTestSuite() { gdk_threads_leave(); }

    void SetUp() override { OptionsDatabase_InitDatabases(); }
    void TearDown() override
    {
        VornAPI_SetUserAbort(0);
        // Whatever a test left up goes with the databases.
        ask(VORN_REQUEST_DESTROY_WAIT, nullptr);
        OptionsDatabase_DestroyDatabases();
    }

    // Asks on another thread, as the engine's burn thread does, while this
    // thread runs the main loop without the GDK lock, as gtk_main does.
    static int ask(int request, void *data)
    {
        std::atomic<bool> done{false};
        int answer = 0;
        gdk_threads_leave();
        std::thread burn([&] {
            answer = UserDialogs_Callback(nullptr, request, data);
            done = true;
        });
        while (!done)
            if (!g_main_context_iteration(nullptr, FALSE))
                g_usleep(1000);
        burn.join();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        gdk_threads_enter();
        return answer;
    }

    static int message(int type, int icon, const char *text)
    {
        VornMessageRequest request{type, icon, text};
        return ask(VORN_REQUEST_MESSAGE, &request);
    }

    static bool waitDialogUp()
    {
        bool up = false;
        GList *windows = gtk_window_list_toplevels();
        for (GList *w = windows; w; w = w->next)
            up = up || (VORNKIT_IS_WAIT_FOR_MEDIA_DLG(w->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(w->data)));
        g_list_free(windows);
        return up;
    }

    TempDir dir_;
};

TEST_F(UserDialogsTest, MessageRequestsAnswerByTypeAndButton)
{
    struct Case {
        int type, icon, button, expected;
        DialogKind kind;
    };
    const Case cases[] = {
        {0, 0, response::Ok, -8, DialogKind::Info},       {0, 2, response::Ok, -8, DialogKind::Error},
        {1, 0, response::Yes, -7, DialogKind::Question},  {1, 0, response::No, -4, DialogKind::Question},
        {2, 1, response::Ok, -8, DialogKind::Warning},    {2, 1, response::Cancel, -3, DialogKind::Warning},
        {5, 0, response::Yes, -7, DialogKind::Question},  {5, 0, response::No, -4, DialogKind::Question},
        {5, 0, response::Cancel, -3, DialogKind::Question},
    };
    for (const Case &c : cases) {
        DialogScript dialogs;
        dialogs.answerOnce(byRole("burn-message"), DialogAnswer{c.button});
        EXPECT_EQ(message(c.type, c.icon, "Disc is \xe9tag\xe9"), c.expected) << "type " << c.type << " button "
                                                                              << c.button;
        ASSERT_EQ(dialogs.asked().size(), 1u);
        EXPECT_EQ(dialogs.asked()[0].request.kind, c.kind);
        // The engine's code page becomes UTF-8.
        EXPECT_NE(dialogs.asked()[0].request.text.find("Disc is étagé"), std::string::npos);
    }
}

TEST_F(UserDialogsTest, UnknownMessageTypeShowsNothing)
{
    DialogScript dialogs;
    EXPECT_EQ(message(3, 0, "never shown"), -1);
    EXPECT_EQ(message(4, 1, "never shown"), -1);
    EXPECT_TRUE(dialogs.asked().empty());
    EXPECT_EQ(ask(99, nullptr), -1);
    EXPECT_EQ(ask(14, nullptr), -1);
}

TEST_F(UserDialogsTest, OverburnGoesOnOnlyWhenConfirmed)
{
    guint32 counts[2] = {360000, 333000};
    DialogScript dialogs;
    dialogs.answerOnce(byRole("burn-overburn"), DialogAnswer{response::Ok});
    EXPECT_EQ(ask(VORN_REQUEST_OVERBURN, counts), 1);
    dialogs.answerOnce(byRole("burn-overburn"), DialogAnswer{response::Cancel});
    EXPECT_EQ(ask(VORN_REQUEST_OVERBURN, counts), 0);
    ASSERT_EQ(dialogs.asked().size(), 2u);
    EXPECT_EQ(dialogs.asked()[0].request.heading, "Overburn Writing");
    EXPECT_NE(dialogs.asked()[0].request.text.find("Required capacity: 80:00:00"), std::string::npos);
}

TEST_F(UserDialogsTest, NoSpaceForImageIsTold)
{
    DialogScript dialogs;
    dialogs.answer(byRole("burn-no-space-for-image"), response::Ok);
    EXPECT_EQ(ask(VORN_REQUEST_NO_SPACE_FOR_IMAGE, nullptr), -1);
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_EQ(dialogs.asked()[0].request.text, "There is not enough space available to burn the image.");
}

TEST_F(UserDialogsTest, WaitDialogComesWithMediaTextsAndGoesOnRequest)
{
    const char *texts[2] = {"CD-R", "DVD-ROM"};
    EXPECT_EQ(ask(VORN_REQUEST_WAIT_MEDIA_TEXTS, texts), -1);
    EXPECT_FALSE(waitDialogUp()) << "the texts alone do not show it";
    EXPECT_EQ(ask(VORN_REQUEST_WAIT_FOR_DISC, reinterpret_cast<void *>(intptr_t{1})), -1);
    EXPECT_TRUE(waitDialogUp());
    EXPECT_EQ(ask(VORN_REQUEST_RAISE_WAIT, nullptr), -1);
    EXPECT_TRUE(waitDialogUp());
    EXPECT_EQ(ask(VORN_REQUEST_DESTROY_WAIT, nullptr), -1);
    EXPECT_FALSE(waitDialogUp());
}

TEST_F(UserDialogsTest, UserAbortAnswersEveryRequestAndTakesTheWaitDialogDown)
{
    const char *texts[2] = {"CD-R", "none"};
    ASSERT_EQ(ask(VORN_REQUEST_WAIT_FOR_DISC, reinterpret_cast<void *>(intptr_t{1})), -1);
    ASSERT_TRUE(waitDialogUp());
    VornAPI_SetUserAbort(1);
    DialogScript dialogs;
    VornMessageRequest text{1, 0, "x"};
    char buffer[VORN_PATH_BUFFER_SIZE] = "";
    guint32 counts[2] = {1, 1};
    EXPECT_EQ(ask(VORN_REQUEST_OVERBURN, counts), -2);
    EXPECT_FALSE(waitDialogUp());
    for (int request : {15, 16, 17, 21, 22, 28, 29}) {
        void *data = request == 29 ? static_cast<void *>(&text) : request == 28 ? static_cast<void *>(texts) : nullptr;
        EXPECT_EQ(ask(request, data), -2) << "request " << request;
    }
    EXPECT_EQ(ask(VORN_REQUEST_IMAGE_FILE_NAME, buffer), -2);
    EXPECT_TRUE(dialogs.asked().empty());
    EXPECT_FALSE(waitDialogUp());
}

TEST_F(UserDialogsTest, CancellingTheWaitAbortsEveryFurtherQuestion)
{
    ASSERT_EQ(ask(VORN_REQUEST_WAIT_FOR_DISC, reinterpret_cast<void *>(intptr_t{1})), -1);
    GtkWidget *wait = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next)
        if (VORNKIT_IS_WAIT_FOR_MEDIA_DLG(w->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(w->data)))
            wait = GTK_WIDGET(w->data);
    g_list_free(windows);
    ASSERT_NE(wait, nullptr);
    gtk_dialog_response(GTK_DIALOG(wait), VORNKIT_RESPONSE_CANCEL);
    EXPECT_EQ(VornAPI_GetUserAbort(), 1);
    EXPECT_EQ(ask(VORN_REQUEST_RAISE_WAIT, nullptr), -2);
    EXPECT_FALSE(waitDialogUp());
}

TEST(ImageFileNameRules, ExtensionOfTheChosenFilterIsAddedUnlessPresent)
{
    struct Case {
        const char *name;
        gboolean iso;
        const char *expected;
    };
    const Case cases[] = {
        {"/tmp/disc.VRN", FALSE, "/tmp/disc.VRN"},   {"/tmp/disc", FALSE, "/tmp/disc.vrn"},
        {"/tmp/disc.img", FALSE, "/tmp/disc.img.vrn"}, {"/tmp/disc.iso", TRUE, "/tmp/disc.iso"},
        {"/tmp/disc.vrn", TRUE, "/tmp/disc.vrn.iso"}, {"/tmp/a.vrn/disc", FALSE, "/tmp/a.vrn/disc.vrn"},
        {"/tmp/disc.vrnx", FALSE, "/tmp/disc.vrnx.vrn"},
    };
    for (const Case &c : cases) {
        gchar *name = UserDialogs_CompleteImageFileName(c.name, c.iso);
        EXPECT_STREQ(name, c.expected) << c.name;
        g_free(name);
    }
}

TEST_F(UserDialogsTest, ImageFileChooserNamesTheFileAndRemembersItsFolder)
{
    DialogScript dialogs;
    DialogAnswer chosen{response::Ok};
    chosen.fileNames = {(dir_ / "backup").string()};
    dialogs.answerOnce(byRole("burn-image-file"), chosen);
    char buffer[VORN_PATH_BUFFER_SIZE] = "";
    EXPECT_EQ(ask(VORN_REQUEST_IMAGE_FILE_NAME, buffer), VORN_ANSWER_NAMED);
    EXPECT_EQ(std::string(buffer), (dir_ / "backup.vrn").string());
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_EQ(dialogs.asked()[0].request.title, "Select image file");
    EXPECT_EQ(dialogs.asked()[0].request.entryText, "Image.vrn");
    gchar *folder = OptionsDatabase_GetStringOptionValue(PathsOptionsDatabase, 5);
    EXPECT_STREQ(folder, dir_.path().c_str());
    g_free(folder);
}

TEST_F(UserDialogsTest, ExistingImageAsksAndNoReturnsToTheChooser)
{
    std::ofstream(dir_ / "old.vrn") << "keep me";
    DialogScript dialogs;
    DialogAnswer chosen{response::Ok};
    chosen.fileNames = {(dir_ / "old.vrn").string()};
    dialogs.answerOnce(byRole("burn-image-file"), chosen);
    dialogs.answerOnce(byRole("burn-image-replace"), DialogAnswer{response::No});
    dialogs.answerOnce(byRole("burn-image-file"), DialogAnswer{response::Cancel});
    char buffer[VORN_PATH_BUFFER_SIZE] = "unchanged";
    EXPECT_EQ(ask(VORN_REQUEST_IMAGE_FILE_NAME, buffer), 0);
    EXPECT_STREQ(buffer, "unchanged");
    ASSERT_EQ(dialogs.asked().size(), 3u);
    EXPECT_EQ(dialogs.asked()[1].request.heading, "<i>old.vrn</i> already exists. Do you want to replace it?");
    std::ifstream in(dir_ / "old.vrn");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
}

// --- Result dialog ---------------------------------------------------------

struct ResultCase {
    gint32 result;
    guint32 flags;
    const char *title;
    const char *message;
    bool advise;
};

TEST(BurnResultTexts, FollowResultAndWhatTheBurnDid)
{
    const ResultCase cases[] = {
        {0, VORN_BURN_WRITE, "Burn process completed sucessfully", "Burn process completed sucessfully.", false},
        {0, VORN_BURN_SIMULATE, "Simulation completed sucessfully", "Simulation completed sucessfully.", false},
        {0, VORN_BURN_SPEED_TEST, "Speed measurement completed", "Speed measurement completed.", false},
        {2, VORN_BURN_WRITE, "Unspecified error", "An unspecified error occured.", true},
        {3, VORN_BURN_SIMULATE, "Simulation failed", "Simulation failed.", true},
        {6, VORN_BURN_WRITE | VORN_BURN_SIMULATE, "Burn process aborted", "Burn process aborted.", false},
        {7, VORN_BURN_WRITE, "Cannot find the message file",
         "The message file cannot be found on your system.\nPlease check your installation.", true},
        {12, VORN_BURN_WRITE, "", "Write error at block 42", true},
    };
    for (const ResultCase &c : cases) {
        gchar *title = nullptr, *message = nullptr;
        gboolean advise = FALSE;
        BurnProcessResultDialog_GetTexts(c.result, c.flags, nullptr, "Write error at block 42", &title, &message,
                                         &advise);
        EXPECT_STREQ(title, c.title) << c.result;
        EXPECT_STREQ(message, c.message) << c.result;
        EXPECT_EQ(advise != FALSE, c.advise) << c.result;
        g_free(title);
        g_free(message);
    }
    gchar *message = nullptr;
    BurnProcessResultDialog_GetTexts(0, VORN_BURN_WRITE, "8.0x (1200 KB/s)", nullptr, nullptr, &message, nullptr);
    EXPECT_STREQ(message, "Burn process completed sucessfully at 8.0x (1200 KB/s).");
    g_free(message);
    BurnProcessResultDialog_GetTexts(0, VORN_BURN_SPEED_TEST, "8.0x", nullptr, nullptr, &message, nullptr);
    EXPECT_STREQ(message, "Speed measurement completed.") << "a speed measurement never names a speed";
    g_free(message);
}

class BurnResultDialogTest : public UserDialogsTest {
protected:
    // Shows the dialog of a burn that ended with `result` and the engine's log.
    dialogs::DialogRequest show(gint32 result, const char *log)
    {
        DialogScript dialogs;
        VornDeviceEntry writer{};
        dialog_ = BurnProcessResultDialog_New(nullptr, result, VORN_BURN_WRITE, &writer);
        BurnProcessResultDialog_SetBurnLog(dialog_, log);
        gtk_widget_show(dialog_);
        const auto asked = dialogs.asked();
        EXPECT_EQ(asked.size(), 1u);
        return asked.empty() ? dialogs::DialogRequest{} : asked.back().request;
    }
    void TearDown() override
    {
        if (dialog_)
            gtk_widget_destroy(dialog_);
        UserDialogsTest::TearDown();
    }
    GtkWidget *dialog_ = nullptr;
};

TEST_F(BurnResultDialogTest, FailureShowsTheEnginesLastLineAndAdvisesSavingTheLog)
{
    const auto shown = show(12, "Burn started\nWrite error on \xe9tage 3\n\n");
    EXPECT_EQ(shown.kind, DialogKind::Error);
    EXPECT_NE(shown.text.find("Write error on étage 3"), std::string::npos);
    EXPECT_NE(shown.text.find("It is recommended to save the log."), std::string::npos);
}

TEST_F(BurnResultDialogTest, SuccessAndAbortDoNotAdviseSavingTheLog)
{
    EXPECT_EQ(show(0, "all good\n").text.find("recommended"), std::string::npos);
    gtk_widget_destroy(dialog_);
    const auto aborted = show(6, "aborted\n");
    EXPECT_EQ(aborted.kind, DialogKind::Warning);
    EXPECT_EQ(aborted.text.find("recommended"), std::string::npos);
}

TEST_F(BurnResultDialogTest, SaveLogWritesTheTextAsIsAndReportsAFailure)
{
    show(12, "line one\nline two\n");
    DialogScript dialogs;
    DialogAnswer chosen{response::Ok};
    chosen.fileNames = {(dir_ / "burn.log").string()};
    dialogs.answerOnce(byRole("burn-save-log"), chosen);
    gtk_dialog_response(GTK_DIALOG(dialog_), 2);
    std::ifstream in(dir_ / "burn.log", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "line one\nline two\n");

    DialogAnswer blocked{response::Ok};
    blocked.fileNames = {(dir_ / "missing-folder" / "burn.log").string()};
    dialogs.answerOnce(byRole("burn-save-log"), blocked);
    dialogs.answer(byRole("burn-save-log-failed"), response::Ok);
    gtk_dialog_response(GTK_DIALOG(dialog_), 2);
    ASSERT_EQ(dialogs.asked().size(), 3u);
    EXPECT_EQ(dialogs.asked()[2].request.heading, "Unable to save the file <i>burn.log</i>.");
    EXPECT_NE(dialogs.asked()[2].request.text.find("(errno: 2)"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "missing-folder"));
}

GtkWidget *findTreeView(GtkWidget *root)
{
    if (GTK_IS_TREE_VIEW(root))
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GtkWidget *found = nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList *l = children; l && !found; l = l->next)
        found = findTreeView(GTK_WIDGET(l->data));
    g_list_free(children);
    return found;
}

TEST_F(BurnResultDialogTest, DetailsShowTheBurnEventsAndHideThemAgain)
{
    show(12, "failed\n");
    GtkListStore *events = gtk_list_store_new(1, G_TYPE_STRING);
    GtkTreeIter row;
    gtk_list_store_append(events, &row);
    gtk_list_store_set(events, &row, 0, "Burn process started", -1);
    BurnProcessResultDialog_SetBurnEvents(dialog_, GTK_TREE_MODEL(events));
    g_object_unref(events);
    GtkWidget *view = findTreeView(dialog_);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(view));
    gtk_dialog_response(GTK_DIALOG(dialog_), 3);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(view)) << "the events themselves are shown, not only their frame";
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(gtk_widget_get_parent(view)));
    gtk_dialog_response(GTK_DIALOG(dialog_), 3);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(gtk_widget_get_parent(view)));
}

}  // namespace
}  // namespace vorn::test
