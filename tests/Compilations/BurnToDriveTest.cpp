// Burns to emulated drives through the burn core: a used rewritable disc
// erased when the engine asks, an abort at 30 % that ends the burn as
// aborted, and a second session on a disc left open, read back by xorriso as
// the union of both.
#include "BurnCompilation.h"
#include "BurnProcessCore.h"
#include "BurnProcessResultDialog.h"
#include "BurnUiFixture.h"
#include "CompilationOptions.h"
#include "DataDiscCompilation.h"
#include "TestDialogs.h"
#include "UserDialogs.h"
#include "VornAPIInterface.h"
#include "VornControl.h"
#include "VornPaths.h"
#include "VrnDisc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;
using dialogs::DialogAnswer;
namespace response = dialogs::response;

struct CompilationUnref {
    void operator()(Compilation *c) const noexcept { g_object_unref(c); }
};

std::atomic<int> abortAtPercent{-1};
std::atomic<int> percentAtAbort{-1};

int onProgress(int64_t done, int64_t total) noexcept
{
    if (total <= 0 || abortAtPercent < 0)
        return 0;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent >= abortAtPercent && percentAtAbort < 0) {
        percentAtAbort = percent;
        BurnProcess_Abort();
    }
    return 0;
}

class BurnToDriveTest : public BurnUiTest {
protected:
    void SetUp() override
    {
        BurnUiTest::SetUp();
        OptionsDatabase_InitDatabases();
        settings.userDialog = UserDialogs_Callback;
        abortAtPercent = -1;
        percentAtAbort = -1;
    }
    void TearDown() override
    {
        compilation_.reset();
        BurnUiTest::TearDown();
        OptionsDatabase_DestroyDatabases();
    }

    Compilation *isoCd()
    {
        compilation_.reset(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
        return compilation_.get();
    }
    void addFile(const std::string &name, const std::string &contents)
    {
        const fs::path path = dir / "src" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
        VfsDirectoryEntry *added =
            VFS_Copy(compilation_->localFileSystem, path.c_str(), compilation_->fileSystem, "/", 3, nullptr);
        ASSERT_NE(added, nullptr) << name;
        VFS_FreeDirectoryEntry(added);
    }
    gint32 burnTo(const VornDeviceEntry &writer, const BurnProcessHooks *hooks = nullptr)
    {
        gint32 result = -1;
        EXPECT_EQ(BurnProcess_Run(compilation_.get(), &writer, hooks, &result), BURN_PROCESS_STARTED);
        return result;
    }
    size_t tracksOn(const fs::path &disc)
    {
        auto opened = vrn::VrnDisc::open(disc, vrn::VrnDisc::Access::ReadOnly);
        EXPECT_TRUE(opened.ok());
        return opened.ok() ? opened.value().tracks().size() : 0;
    }

    std::unique_ptr<Compilation, CompilationUnref> compilation_;
};

TEST_F(BurnToDriveTest, UsedRewritableIsErasedWhenTheEngineAsksAndTheBurnGoesOn)
{
    const fs::path rw = makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 30000, 10);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    isoCd();
    addFile("new.txt", "fresh contents\n");
    DialogScript dialogs;
    dialogs.answerOnce(byRole("burn-blank-rewritable"), DialogAnswer{response::Yes});
    dialogs.answer(byRole("erase-result"), response::Ok);

    EXPECT_EQ(burnTo(writer), VORN_BURN_OK);
    const auto asked = dialogs.asked();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].request.heading, "The rewritable disc you inserted is not empty.");
    EXPECT_NE(asked[0].request.text.find("Should Vorn Linux blank the disc for you?"), std::string::npos);
    EXPECT_EQ(tracksOn(rw), 1u) << "the old track is gone, the new one written";
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
}

TEST_F(BurnToDriveTest, DecliningToEraseLeavesTheDiscAsItWas)
{
    const fs::path rw = makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 30000, 10);
    startWithDrives("rw.vrn");
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    isoCd();
    addFile("new.txt", "fresh contents\n");
    DialogScript dialogs;
    dialogs.answerOnce(byRole("burn-blank-rewritable"), DialogAnswer{response::No});
    EXPECT_NE(burnTo(writer), VORN_BURN_OK);
    auto disc = vrn::VrnDisc::open(rw, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    EXPECT_EQ(disc.value().tracks().size(), 1u);
    EXPECT_FALSE(BurnProcess_IsActive());
}

TEST_F(BurnToDriveTest, AbortAtThirtyPercentEndsTheBurnAsAborted)
{
    makeWrittenDisc("r.vrn", VORN_MEDIUM_CD_R, 360000, 0);
    startWithDrives("r.vrn");
    VornControl_SetTimeScale(0.05);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    isoCd();
    addFile("big.bin", std::string(6 * 1024 * 1024, 'b'));
    abortAtPercent = 30;
    BurnProcessHooks hooks{};
    hooks.prepare = [](BurnJob *job, gpointer) noexcept -> gboolean {
        auto *progress = VornExtendedProgress_New();
        VornExtendedProgress_SetCallback_ProgressCallback(progress, onProgress);
        job->compilation->progressObject = progress;
        return progress != nullptr;
    };
    hooks.release = [](BurnJob *job, gpointer) noexcept {
        VornExtendedProgress_Destroy(static_cast<VornExtendedProgress *>(job->compilation->progressObject));
    };
    EXPECT_EQ(burnTo(writer, &hooks), VORN_BURN_ABORTED);
    EXPECT_GE(percentAtAbort.load(), 30);
    EXPECT_LT(percentAtAbort.load(), 100);
    EXPECT_FALSE(BurnProcess_IsActive());
    EXPECT_EQ(VornAPI_GetUserAbort(), 0) << "the next burn starts without an abort pending";
}

TEST_F(BurnToDriveTest, SecondSessionOnAnOpenDiscShowsTheUnionToXorriso)
{
    if (std::system("command -v xorriso >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xorriso is not installed";
    const fs::path disc = makeWrittenDisc("r.vrn", VORN_MEDIUM_CD_R, 360000, 0);
    startWithDrives("r.vrn");
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    // The disc stays in the drive after the burn, ready for the import.
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 24, 1), 1);
    isoCd();
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(compilation_->options, COMPILATION_OPTION_FINALIZE, 0), 1);
    addFile("first.txt", "session one\n");
    ASSERT_EQ(burnTo(writer), VORN_BURN_OK);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(compilation_->options, COMPILATION_OPTION_MULTISESSION_TYPE),
              MULTISESSION_CONTINUE);

    isoCd();
    const gint32 imported =
        DataDiscCompilation_ImportPreviousSession(compilation_.get(), &writer, -1, DATA_DISC_IMPORT_KIND_ISO, nullptr);
    if (!(imported & DATA_DISC_IMPORT_IMPORTED) || (imported & DATA_DISC_IMPORT_FAILED)) {
        char *log = VornGetErrorLog();
        ADD_FAILURE() << "import " << imported << ": " << (log ? log : "");
        VornFreeMem(log);
        return;
    }
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(compilation_->options, COMPILATION_OPTION_FINALIZE, 0), 1);
    addFile("second.txt", "session two\n");
    ASSERT_EQ(burnTo(writer), VORN_BURN_OK);

    const fs::path image = dir / "exported.iso";
    ASSERT_EQ(std::system((std::string(VORN_BIN_DIR) + "/vorn-disc export-iso '" + disc.string() + "' '" +
                           image.string() + "' >/dev/null 2>&1")
                              .c_str()),
              0);
    const fs::path listing = dir / "listing.txt";
    ASSERT_EQ(std::system(("xorriso -indev '" + image.string() + "' -find / -type f 2>/dev/null > '" +
                           listing.string() + "'")
                              .c_str()),
              0);
    std::ifstream in(listing);
    const std::string files((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(files.find("'/first.txt'"), std::string::npos) << files;
    EXPECT_NE(files.find("'/second.txt'"), std::string::npos) << files;
}

TEST_F(BurnToDriveTest, DiscIsEjectedAfterTheBurnUnlessTheSettingKeepsItOrReloadsIt)
{
    makeWrittenDisc("r.vrn", VORN_MEDIUM_CD_RW, 30000, 0);
    startWithDrives("r.vrn");
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    auto readiness = [&] {
        VornDevice *device = VornOpenDevice(&writer);
        const int ready = VornIsDeviceReady(device);
        VornCloseDevice(device);
        return ready;
    };
    struct Case {
        bool doNotEject, reload;
        int expected;
    };
    for (const Case &c : {Case{true, false, VORN_READY}, Case{false, true, VORN_READY},
                          Case{false, false, VORN_READY_TRAY_OPEN}}) {
        ASSERT_EQ(readiness(), VORN_READY) << "each case starts with the disc in";
        OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 24, c.doNotEject);
        OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 25, c.reload);
        isoCd();
        OptionsDatabase_SetBooleanOptionValue(compilation_->options, COMPILATION_OPTION_WRITE, 0);
        OptionsDatabase_SetBooleanOptionValue(compilation_->options, COMPILATION_OPTION_SIMULATE, 1);
        addFile("a.txt", "a");
        EXPECT_EQ(burnTo(writer), VORN_BURN_OK);
        EXPECT_EQ(readiness(), c.expected) << "do not eject " << c.doNotEject << ", reload " << c.reload;
    }
}

GtkWidget *findButton(GtkWidget *root, const char *label)
{
    if (GTK_IS_BUTTON(root) && gtk_button_get_label(GTK_BUTTON(root)) &&
        std::string(gtk_button_get_label(GTK_BUTTON(root))) == label)
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GtkWidget *found = nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList *l = children; l && !found; l = l->next)
        found = findButton(GTK_WIDGET(l->data), label);
    g_list_free(children);
    return found;
}

GtkWidget *resultDialog()
{
    GtkWidget *dialog = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next)
        if (IS_VORN_BURN_PROCESS_RESULT_DIALOG(w->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(w->data)))
            dialog = GTK_WIDGET(w->data);
    g_list_free(windows);
    return dialog;
}

TEST_F(BurnToDriveTest, BurnAgainWritesTheSameCompilationOnceMoreToTheSameRecorder)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 30000, 0);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 24, 1), 1);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    isoCd();
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(compilation_->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                                    MULTISESSION_NONE), 1);
    ASSERT_EQ(compilation_->singleSession, 1);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(compilation_->options, COMPILATION_OPTION_WRITE, 1), 1);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(compilation_->options, COMPILATION_OPTION_FINALIZE, 1), 1);
    addFile("again.txt", "twice\n");
    int finished = 0;
    g_signal_connect(compilation_.get(), "vorn_burn_finished",
                     G_CALLBACK(+[](Compilation *, gint, gpointer n) noexcept { ++*static_cast<int *>(n); }),
                     &finished);
    DialogScript dialogs;
    dialogs.answer(byRole("burn-blank-rewritable"), response::Yes);
    dialogs.answer(byRole("erase-result"), response::Ok);
    {
        GdkLock gdk;
        ASSERT_EQ(BurnCompilation_StartBurnProcess(compilation_.get(), &writer, nullptr), BURN_PROCESS_STARTED);
    }
    ASSERT_TRUE(pumpUntil([&] { return finished == 1 && !BurnProcess_IsActive() && resultDialog(); }))
        << "finished " << finished << " active " << BurnProcess_IsActive() << " asked " << dialogs.asked().size();
    EXPECT_EQ(compilation_->singleSession, 1) << "a finalized disc takes no next session";
    GtkWidget *again = nullptr;
    {
        GdkLock gdk;
        again = findButton(resultDialog(), "_Burn Again");
        ASSERT_NE(again, nullptr);
        EXPECT_TRUE(GTK_WIDGET_IS_SENSITIVE(again)) << "no burn runs";
        gtk_button_clicked(GTK_BUTTON(again));
    }
    ASSERT_TRUE(pumpUntil([&] { return finished == 2 && !BurnProcess_IsActive(); }));
    EXPECT_EQ(tracksOn(dir / "rw.vrn"), 1u) << "the second burn replaced the first on the erased disc";
    GdkLock gdk;
    while (GtkWidget *dialog = resultDialog())
        gtk_widget_destroy(dialog);
}

}  // namespace
}  // namespace vorn::test
