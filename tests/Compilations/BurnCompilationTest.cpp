// The burn started from a main window: the burn widget takes the window's
// place while the engine writes, the window gets its title back, and the
// result dialog says how it went; a second start while it runs is refused.
#include "BurnCompilation.h"
#include "BurnPanelProbe.h"
#include "BurnProcessResultDialog.h"
#include "CompilationFileJobs.h"
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "ImageFileCompilation.h"
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

// ---- the window's compilation ----

constexpr gint32 kSettingPromptToSave = 1;

std::string titleOf(GtkWidget *window)
{
    return gtk_window_get_title(GTK_WINDOW(window));
}

// Counts the window's compilation signals and keeps the last compilation set.
struct CompilationSignals {
    int set = 0;
    int unset = 0;
    gpointer last = nullptr;

    explicit CompilationSignals(GtkWidget *window)
    {
        g_signal_connect(window, "vorn_compilation_set", G_CALLBACK(+[](GtkWidget *, gpointer c, gpointer self) {
                             auto *s = static_cast<CompilationSignals *>(self);
                             ++s->set;
                             s->last = c;
                         }),
                         this);
        g_signal_connect(window, "vorn_compilation_unset", G_CALLBACK(+[](GtkWidget *, gpointer self) {
                             ++static_cast<CompilationSignals *>(self)->unset;
                         }),
                         this);
    }
};

TEST_F(BurnCompilationTest, WindowShowsOneCompilationAndItsNameInTheTitle)
{
    CompilationSignals signals(window_);
    OwnedCompilation other(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
    GtkWidget *label = g_object_ref_sink(gtk_label_new("neither a main window nor a compilation"));
    EXPECT_EQ(MainWindow_SetActiveCompilation(window_, label), 0);
    EXPECT_EQ(MainWindow_SetActiveCompilation(window_, nullptr), 0);
    EXPECT_EQ(MainWindow_SetActiveCompilation(nullptr, compilation_.get()), 0);
    EXPECT_EQ(MainWindow_SetActiveCompilation(label, compilation_.get()), 0);
    g_object_unref(label);
    EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 0) << "nothing to unset";
    EXPECT_EQ(signals.set + signals.unset, 0);

    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, compilation_.get()), 1);
    EXPECT_EQ(signals.set, 1);
    EXPECT_EQ(signals.last, compilation_.get());
    EXPECT_EQ(MainWindow_SetActiveCompilation(window_, other.get()), 0) << "one compilation at a time";
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), compilation_.get());
    EXPECT_EQ(signals.set, 1);

    const std::string name = compilationName(compilation_.get());
    EXPECT_EQ(titleOf(window_), name + " - Vorn Linux");
    Compilation_SetCompilationName(compilation_.get(), "Holiday photos");
    EXPECT_EQ(titleOf(window_), "Holiday photos - Vorn Linux");
    MainWindow_SetSpecificWindowTitle(window_, "Writing");
    EXPECT_EQ(titleOf(window_), "Writing - [Holiday photos]");
    MainWindow_UpdateSpecificTitlePercentage(window_, 42);
    EXPECT_EQ(titleOf(window_), " 42% Writing - [Holiday photos]");
    MainWindow_ResetStandardTitle(window_);
    vorn::test::saveScreenshot("main-window-compilation-set");

    MainWindow_ActiveCompilationUpdated(window_);
    EXPECT_EQ(signals.set, 2);

    // A saved compilation leaves without a question; its name no longer
    // reaches the title.
    Compilation_SetCompilationSaved(compilation_.get());
    DialogScript dialogs;
    EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
    EXPECT_TRUE(dialogs.asked().empty());
    EXPECT_EQ(signals.unset, 1);
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), nullptr);
    EXPECT_EQ(titleOf(window_), "Vorn Linux");
    Compilation_SetCompilationName(compilation_.get(), "Renamed after leaving");
    EXPECT_EQ(titleOf(window_), "Vorn Linux");
    EXPECT_EQ(MainWindow_SetActiveCompilation(window_, other.get()), 1) << "the place is free again";
    EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
}

TEST_F(BurnCompilationTest, UnsavedCompilationAsksBeforeLeavingTheWindow)
{
    compilation_->operations.SaveCompilation = CompilationFile_SaveCompilation;
    Compilation_SetCompilationUnsaved(compilation_.get());
    CompilationSignals signals(window_);
    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, compilation_.get()), 1);

    {
        DialogScript dialogs;
        DialogAnswer cancel;
        cancel.response = response::Cancel;
        dialogs.answerOnce(byRole("save-compilation"), cancel);
        EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1) << "cancelled, but there was a compilation";
        const auto record = dialogs.asked();
        ASSERT_EQ(record.size(), 1u);
        const auto &asked = record[0].request;
        EXPECT_EQ(asked.kind, DialogKind::Question);
        EXPECT_EQ(asked.text, "Do you want to save your compilation?");
        EXPECT_TRUE(asked.offers(response::Yes) && asked.offers(response::No) && asked.offers(response::Cancel));
        EXPECT_EQ(asked.checkLabel, "Never show this message again");
        EXPECT_FALSE(asked.checked);
    }
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), compilation_.get()) << "Cancel keeps the compilation";
    EXPECT_EQ(signals.unset, 0);
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingPromptToSave), 1);

    {
        // No lets it go unsaved; the check box turns the question off.
        DialogScript dialogs;
        DialogAnswer no;
        no.response = response::No;
        no.checked = true;
        dialogs.answer(byRole("save-compilation"), no);
        EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
        EXPECT_EQ(dialogs.asked().size(), 1u);
    }
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), nullptr);
    EXPECT_EQ(signals.unset, 1);
    EXPECT_EQ(compilation_->saved, 0);
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingPromptToSave), 0);

    // With the question off, an unsaved compilation leaves silently.
    DialogScript silent;
    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, compilation_.get()), 1);
    EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
    EXPECT_TRUE(silent.asked().empty());
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), nullptr);
}

TEST_F(BurnCompilationTest, YesSavesBeforeTheCompilationLeavesAndAFailedSaveKeepsIt)
{
    compilation_->operations.SaveCompilation = CompilationFile_SaveCompilation;
    const fs::path blocked = dir_ / "no-such-folder" / "trip.vrnc";
    ASSERT_EQ(Compilation_SetCompilationPath(compilation_.get(), blocked.c_str()), 1);
    Compilation_SetCompilationUnsaved(compilation_.get());
    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, compilation_.get()), 1);

    {
        DialogScript dialogs;
        DialogAnswer yes;
        yes.response = response::Yes;
        dialogs.answerOnce(byRole("save-compilation"), yes);
        dialogs.answer(byRole("compilation-save-error"), response::Ok);
        EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
        ASSERT_EQ(dialogs.asked().size(), 2u);
        EXPECT_EQ(dialogs.asked()[1].request.role, "compilation-save-error");
    }
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), compilation_.get()) << "not saved, so not dropped";
    EXPECT_EQ(compilation_->saved, 0);

    const fs::path file = dir_ / "trip.vrnc";
    ASSERT_EQ(Compilation_SetCompilationPath(compilation_.get(), file.c_str()), 1);
    {
        DialogScript dialogs;
        dialogs.answer(byRole("save-compilation"), response::Yes);
        EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
        EXPECT_EQ(dialogs.asked().size(), 1u);
    }
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), nullptr);
    EXPECT_EQ(compilation_->saved, 1);
    ASSERT_TRUE(fs::exists(file));
    std::ifstream in(file);
    std::string firstLine;
    std::getline(in, firstLine);
    EXPECT_EQ(firstLine, "<!-- Vorn Linux compilation file. -->");
}

// Stands in for the compilation widget of the user interface: only its type
// name matters to the window.
GType stubCompilationWidgetType()
{
    static GType type = g_type_register_static_simple(GTK_TYPE_VBOX, "VornCompilationWidget", sizeof(GtkVBoxClass),
                                                      nullptr, sizeof(GtkVBox), nullptr, GTypeFlags(0));
    return type;
}

GtkWidget *stubWidgetFactory(Compilation *) noexcept
{
    return GTK_WIDGET(g_object_new(stubCompilationWidgetType(), nullptr));
}

TEST_F(BurnCompilationTest, BurnOfTheWindowsCompilationTakesTheCompilationWidgetsPlace)
{
    CompilationWidgetFactory previous = Compilation_SetWidgetFactory(stubWidgetFactory);
    OwnedCompilation shown(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
    Compilation_SetWidgetFactory(previous);
    GtkWidget *widget = Compilation_GetWidget(shown.get());
    ASSERT_NE(widget, nullptr);
    VfsDirectoryEntry *added = VFS_Copy(shown->localFileSystem, (dir_ / "src" / "readme.txt").c_str(),
                                        shown->fileSystem, "/", 3, nullptr);
    ASSERT_NE(added, nullptr);
    VFS_FreeDirectoryEntry(added);
    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, shown.get()), 1);
    EXPECT_EQ(gtk_widget_get_toplevel(widget), window_);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(widget));

    VornControl_SetImageFileName((dir_ / "swap.iso").c_str());
    DialogScript dialogs;
    bool sawBurnArea = false;
    g_signal_connect_after(shown.get(), "vorn_burn_started", G_CALLBACK(+[](Compilation *c, gpointer seen) noexcept {
                               GtkWidget *burnWidget = c->burnProcessWidget;
                               *static_cast<bool *>(seen) = burnWidget && GTK_WIDGET_VISIBLE(burnWidget) &&
                                                            gtk_widget_get_toplevel(burnWidget) ==
                                                                gtk_widget_get_toplevel(Compilation_GetWidget(c));
                           }),
                           &sawBurnArea);
    ASSERT_EQ(BurnCompilation_StartBurnProcess(shown.get(), &imageRecorder_, window_), BURN_PROCESS_STARTED);
    EXPECT_TRUE(sawBurnArea) << "the burn widget is in the window as the burn starts";
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(widget));
    EXPECT_TRUE(MainWindow_IsBurnRunning(window_));
    EXPECT_EQ(OptionsDatabase_GetPointerOptionValue(BurnProcessDynamicOptionsDatabase, BURN_PROCESS_PARENT_WINDOW),
              window_);
    spin(300);
    if (BurnProcess_IsActive())
        vorn::test::saveScreenshot("main-window-burning");

    ASSERT_TRUE(spinUntil([] { return !BurnProcess_IsActive(); }));
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(widget)) << "the compilation is back after the burn";
    EXPECT_FALSE(MainWindow_IsBurnRunning(window_));
    EXPECT_EQ(titleOf(window_), compilationName(shown.get()) + " - Vorn Linux");
    EXPECT_EQ(MainWindow_UnsetActiveCompilation(window_), 1);
    EXPECT_EQ(gtk_widget_get_parent(widget), nullptr) << "the widget stays the compilation's";
    EXPECT_EQ(Compilation_GetWidget(shown.get()), widget);
}

TEST_F(BurnCompilationTest, RefusedDiscImageLeavesTheWindowAndTheResultDialogUnsetsWhenAsked)
{
    OwnedCompilation image(ImageFileCompilation_New((dir_ / "missing.iso").c_str()));
    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, image.get()), 1);
    DialogScript dialogs;
    dialogs.answer(byRole("compilation-kind-unavailable"), response::Ok);
    EXPECT_EQ(BurnCompilation_StartBurnProcess(image.get(), &imageRecorder_, window_), BURN_PROCESS_REFUSED_BY_CHECK);
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), nullptr);

    // A data disc refused by its checks stays.
    ASSERT_EQ(MainWindow_SetActiveCompilation(window_, compilation_.get()), 1);
    OptionsDatabase_SetIntegerOptionValue(compilation_->options, COMPILATION_OPTION_MULTISESSION_TYPE, 1);
    dialogs.answer(byKind(DialogKind::Error), response::Ok);
    EXPECT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &imageRecorder_, window_),
              BURN_PROCESS_REFUSED_BY_CHECK)
        << "multisession on the image recorder";
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), compilation_.get());
    Compilation_SetCompilationSaved(compilation_.get());

    // The result dialog of a one-burn compilation takes it out of the window
    // when it closes; a window already gone is left alone.
    GtkWidget *dialog = BurnProcessResultDialog_New(window_, VORN_BURN_OK, 0, &imageRecorder_);
    BurnProcessResultDialog_UnregisterCompilationAtEnd(dialog, window_);
    gtk_widget_destroy(dialog);
    EXPECT_EQ(MainWindow_GetActiveCompilation(window_), nullptr);

    GtkWidget *other = MainWindow_New();
    ASSERT_EQ(MainWindow_SetActiveCompilation(other, compilation_.get()), 1);
    dialog = BurnProcessResultDialog_New(nullptr, VORN_BURN_OK, 0, &imageRecorder_);
    BurnProcessResultDialog_UnregisterCompilationAtEnd(dialog, other);
    gtk_widget_destroy(other);
    gtk_widget_destroy(dialog);
    EXPECT_EQ(G_OBJECT(compilation_.get())->ref_count, 1u) << "the destroyed window let go of the compilation";
}

}  // namespace
}  // namespace vorn::test
