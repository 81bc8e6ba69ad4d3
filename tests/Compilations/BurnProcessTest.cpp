// The burn without windows: the data disc's checks before a burn, the flag
// word from the settings, one burn at a time, and whole burns to the image
// recorder read back by xorriso.
#include "BurnProcessCore.h"
#include "CompilationTestSupport.h"
#include "DataDiscBurn.h"
#include "DataDiscCompilation.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"
#include "UserDialogs.h"
#include "VornAPIInterface.h"
#include "VornControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;
using dialogs::DialogAnswer;
using dialogs::DialogKind;
namespace response = dialogs::response;

constexpr guint32 CD = COMPILATION_MEDIUM_CD;
constexpr guint32 DVD = COMPILATION_MEDIUM_DVD;

void writeFile(const fs::path &path, const std::string &contents)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

int run(const std::string &command)
{
    return std::system(command.c_str());
}

std::string quoted(const fs::path &path)
{
    std::string text = "'";
    for (char c : path.string())
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

class BurnProcessTest : public testing::Test {
protected:
    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        ASSERT_EQ(VornAPI_StartVornAPI(), VORN_INIT_OK);
        VornDeviceList *list = VornGetAvailableDrivesEx(0, 1);
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count; ++i) {
            if (VornDeviceList_Entry(list, i)->capabilities & VORN_CAP_IMAGE_RECORDER)
                imageRecorder_ = *VornDeviceList_Entry(list, i);
        }
        VornFreeMem(list);
        ASSERT_TRUE(imageRecorder_.capabilities & VORN_CAP_IMAGE_RECORDER);
        // A recorder that the engine does not list: checks pass it, opening fails.
        realRecorder_ = imageRecorder_;
        realRecorder_.capabilities &= ~static_cast<guint32>(VORN_CAP_IMAGE_RECORDER);
        realRecorder_.hostAdapter = 7;
        realRecorder_.deviceId = 7;
    }
    void TearDown() override
    {
        compilation_.reset();
        VornAPI_StopVornAPI();
        VornControl_SetImageFileName(nullptr);
        OptionsDatabase_DestroyDatabases();
    }

    Compilation *isoDisc(guint32 medium = CD)
    {
        compilation_.reset(DataDiscCompilation_NewIsoDataDisc(medium));
        return compilation_.get();
    }
    Compilation *c() { return compilation_.get(); }

    // Copies the local folder's contents into the disc folder: files item by
    // item, folders made on the disc and filled in turn.
    void addTree(const fs::path &local, const std::string &discFolder = "/")
    {
        for (const auto &entry : fs::directory_iterator(local)) {
            const std::string name = entry.path().filename().string();
            VfsDirectoryEntry *added =
                entry.is_directory()
                    ? VFS_CreateDirectoryEx(c()->fileSystem, discFolder.c_str(), name.c_str(), nullptr, nullptr, 0, 0,
                                            0, 0, 0, 0, 0, 0)
                    : VFS_Copy(c()->localFileSystem, entry.path().c_str(), c()->fileSystem, discFolder.c_str(), 3,
                               nullptr);
            ASSERT_NE(added, nullptr) << entry.path() << ": " << g_strerror(errno);
            VFS_FreeDirectoryEntry(added);
            if (entry.is_directory())
                addTree(entry.path(), (discFolder == "/" ? "" : discFolder) + "/" + name);
        }
    }

    // Answers the image file chooser with `path`, in the plain ISO filter.
    void chooseImage(DialogScript &dialogs, const fs::path &path)
    {
        DialogAnswer answer;
        answer.response = response::Ok;
        answer.fileNames = {path.string()};
        answer.entryText = USER_DIALOGS_FILTER_ISO;
        dialogs.answerOnce(byRole("burn-image-file"), answer);
    }

    gint burn(const VornDeviceEntry &recorder, gint32 *result)
    {
        return BurnProcess_Run(c(), &recorder, nullptr, result);
    }

    TempDir dir_;
    OwnedCompilation compilation_;
    VornDeviceEntry imageRecorder_{};
    VornDeviceEntry realRecorder_{};
};

// --- Checks before the burn ------------------------------------------------

TEST_F(BurnProcessTest, MissingBootImageRefusesWithItsNameAndLeavesNoBurn)
{
    isoDisc();
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(c()->options, COMPILATION_OPTION_BOOT_SOURCE, 1), 1);
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(c()->options, 27, (dir_ / "gone & lost.img").c_str()), 1);
    DialogScript dialogs;
    dialogs.answer(byRole("burn-boot-image-missing"), response::Ok);

    EXPECT_EQ(burn(imageRecorder_, nullptr), BURN_PROCESS_REFUSED_BY_CHECK);
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_EQ(dialogs.asked()[0].request.kind, DialogKind::Error);
    EXPECT_EQ(dialogs.asked()[0].request.heading, "Invalid boot image file.");
    EXPECT_NE(dialogs.asked()[0].request.text.find("<i>gone &amp; lost.img</i>"), std::string::npos);
    EXPECT_FALSE(BurnProcess_IsActive());
}

TEST_F(BurnProcessTest, ContinuedMultisessionIsRefusedOnTheImageRecorder)
{
    isoDisc();
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(c()->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                                    MULTISESSION_CONTINUE), 1);
    DialogScript dialogs;
    dialogs.answer(byRole("burn-multisession-image-recorder"), response::Ok);
    EXPECT_EQ(burn(imageRecorder_, nullptr), BURN_PROCESS_REFUSED_BY_CHECK);
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_NE(dialogs.asked()[0].request.text.find("may not be written on an image recorder"), std::string::npos);
}

TEST_F(BurnProcessTest, SeveralCopiesOfAMultisessionDiscAskAndYesKeepsOneCopy)
{
    isoDisc();
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(c()->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                                    MULTISESSION_CONTINUE), 1);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(c()->options, COMPILATION_OPTION_COPIES, 3), 1);
    {
        DialogScript dialogs;
        dialogs.answerOnce(byRole("burn-multisession-copies"), DialogAnswer{response::No});
        EXPECT_EQ(burn(realRecorder_, nullptr), BURN_PROCESS_REFUSED_BY_CHECK);
        EXPECT_EQ(integerOption(c(), COMPILATION_OPTION_COPIES), 3);
    }
    DialogScript dialogs;
    dialogs.answerOnce(byRole("burn-multisession-copies"), DialogAnswer{response::Yes});
    // The recorder is not there: the start fails after the check, and leaves nothing.
    EXPECT_EQ(burn(realRecorder_, nullptr), BURN_PROCESS_FAILED);
    EXPECT_EQ(integerOption(c(), COMPILATION_OPTION_COPIES), 1);
    EXPECT_FALSE(BurnProcess_IsActive());
    EXPECT_EQ(c()->progressObject, nullptr);
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
}

TEST_F(BurnProcessTest, TooDeepPathsAskAndAcceptingAllowsThemForGood)
{
    isoDisc();
    fs::path deep = dir_ / "tree";
    for (int level = 1; level <= 9; ++level)
        deep /= "level" + std::to_string(level);
    writeFile(deep / "file.txt", "deep");
    addTree(dir_ / "tree");
    {
        DialogScript dialogs;
        dialogs.answerOnce(byRole("path-test"), DialogAnswer{response::No});
        EXPECT_EQ(burn(realRecorder_, nullptr), BURN_PROCESS_REFUSED_BY_CHECK);
        ASSERT_EQ(dialogs.asked().size(), 1u);
        EXPECT_NE(dialogs.asked()[0].request.text.find("level9"), std::string::npos);
        EXPECT_FALSE(booleanOption(c(), 40));
    }
    DialogScript dialogs;
    dialogs.answerOnce(byRole("path-test"), DialogAnswer{response::Yes});
    EXPECT_EQ(burn(realRecorder_, nullptr), BURN_PROCESS_FAILED);
    EXPECT_TRUE(booleanOption(c(), 40));
    EXPECT_FALSE(booleanOption(c(), 41)) << "no path was too long";
}

// --- Flags ---------------------------------------------------------------

struct FlagCase {
    const char *name;
    guint32 medium;
    bool imageRecorder;
    bool speedTest, simulate, write, finalize, underrun, verify;
    gint64 method;
    guint32 expected;
};

class BurnFlagsTest : public BurnProcessTest, public testing::WithParamInterface<FlagCase> {};

TEST_P(BurnFlagsTest, FollowTheSettings)
{
    const FlagCase &row = GetParam();
    isoDisc(row.medium);
    OptionsDatabase *o = c()->options;
    OptionsDatabase_SetBooleanOptionValue(o, COMPILATION_OPTION_DETERMINE_MAXIMUM_SPEED, row.speedTest);
    OptionsDatabase_SetBooleanOptionValue(o, COMPILATION_OPTION_SIMULATE, row.simulate);
    OptionsDatabase_SetBooleanOptionValue(o, COMPILATION_OPTION_WRITE, row.write);
    OptionsDatabase_SetBooleanOptionValue(o, COMPILATION_OPTION_FINALIZE, row.finalize);
    OptionsDatabase_SetBooleanOptionValue(o, COMPILATION_OPTION_BUFFER_UNDERRUN_PROTECTION, row.underrun);
    OptionsDatabase_SetBooleanOptionValue(o, COMPILATION_OPTION_VERIFY, row.verify);
    OptionsDatabase_SetIntegerOptionValue(o, COMPILATION_OPTION_WRITING_METHOD, row.method);
    const VornDeviceEntry &recorder = row.imageRecorder ? imageRecorder_ : realRecorder_;
    EXPECT_EQ(c()->operations.GetBurnFlags(c(), &recorder), row.expected) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, BurnFlagsTest,
    testing::Values(
        FlagCase{"dvd_write_finalized", DVD, false, false, false, true, true, false, false, 0, 0x4 | 0x8 | 0xB00 | 0x8000},
        FlagCase{"dvd_everything", DVD, false, true, true, true, false, true, true, 0,
                 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x40 | 0x400 | 0xB00 | 0x8000},
        FlagCase{"cd_tao", CD, false, false, false, true, true, false, false, 0, 0x4 | 0xB00},
        FlagCase{"cd_dao", CD, false, false, false, true, true, false, false, 1, 0x4 | 0x8 | 0xB00},
        FlagCase{"cd_dao96_open", CD, false, false, false, true, false, false, false, 2, 0x4 | 0x10 | 0x10000 | 0xB00},
        FlagCase{"image_recorder_drops_drive_options", CD, true, true, true, true, true, true, true, 1, 0x4 | 0x8},
        FlagCase{"image_recorder_dvd", DVD, true, false, false, true, true, false, false, 0, 0x4 | 0x8 | 0x8000},
        FlagCase{"simulate_only", CD, false, false, true, false, true, false, false, 1, 0x2 | 0x8 | 0xB00}),
    [](const testing::TestParamInfo<FlagCase> &info) { return std::string(info.param.name); });

TEST(BurnFlagsDump, NamesEveryFlagWithItsBitBetweenTheRulers)
{
    gchar *text = BurnProcess_FormatFlags(VORN_BURN_WRITE | VORN_BURN_DAO96);
    const std::string dump = text;
    g_free(text);
    EXPECT_EQ(dump.rfind("=== Burn flags ===", 0), 0u);
    EXPECT_NE(dump.find("VBF_WRITE                       4\n"), std::string::npos);
    EXPECT_NE(dump.find("VBF_DAO96                       65536\n"), std::string::npos);
    EXPECT_NE(dump.find("VBF_SIMULATE                    0\n"), std::string::npos);
    EXPECT_NE(dump.find("\n" + std::string(73, '=') + "\n"), std::string::npos);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 19);
}

// --- Whole burns -----------------------------------------------------------

TEST_F(BurnProcessTest, ASecondBurnIsRefusedWhileOneRuns)
{
    isoDisc();
    writeFile(dir_ / "src/a.txt", "alpha");
    addTree(dir_ / "src");
    VornControl_SetImageFileName((dir_ / "first.iso").c_str());
    OwnedCompilation other(DataDiscCompilation_NewIsoDataDisc(CD));
    int finished = 0;
    g_signal_connect(c(), "vorn_burn_finished", G_CALLBACK(+[](Compilation *, gint, gpointer n) noexcept {
                         ++*static_cast<int *>(n);
                     }), &finished);
    ASSERT_EQ(BurnProcess_Start(c(), &imageRecorder_, nullptr, nullptr), BURN_PROCESS_STARTED);
    EXPECT_TRUE(BurnProcess_IsActive());
    EXPECT_EQ(BurnProcess_Start(other.get(), &imageRecorder_, nullptr, nullptr), BURN_PROCESS_ALREADY_RUNNING);
    EXPECT_EQ(other->progressObject, nullptr);
    while (BurnProcess_IsActive())
        g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(c()->burnThread, nullptr);
    EXPECT_TRUE(fs::exists(dir_ / "first.iso"));
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
}

TEST_F(BurnProcessTest, InjectedFailureEndsTheBurnWithItsResultAndLeavesNoImage)
{
    writeFile(dir_ / "src/a.txt", "alpha");
    isoDisc();
    addTree(dir_ / "src");
    const fs::path image = dir_ / "failed.iso";
    DialogScript dialogs;
    chooseImage(dialogs, image);
    VornControl_FailNextCall(VORN_CONTROL_CALL_BURN, VORN_BURN_WRITE_ERROR);
    gint32 result = -1;
    ASSERT_EQ(burn(imageRecorder_, &result), BURN_PROCESS_STARTED);
    VornControl_ClearFailures();
    EXPECT_EQ(result, VORN_BURN_WRITE_ERROR);
    EXPECT_FALSE(fs::exists(image));
    for (const auto &entry : fs::directory_iterator(dir_.path()))
        EXPECT_EQ(entry.path().filename().string().find("failed"), std::string::npos) << entry.path();
    EXPECT_FALSE(BurnProcess_IsActive());
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
}

TEST_F(BurnProcessTest, CancelledImageChooserAbortsTheBurn)
{
    writeFile(dir_ / "src/a.txt", "alpha");
    isoDisc();
    addTree(dir_ / "src");
    DialogScript dialogs;
    dialogs.answerOnce(byRole("burn-image-file"), DialogAnswer{response::Cancel});
    gint32 result = -1;
    ASSERT_EQ(burn(imageRecorder_, &result), BURN_PROCESS_STARTED);
    EXPECT_EQ(result, VORN_BURN_ABORTED);
    EXPECT_FALSE(BurnProcess_IsActive());
}

TEST_F(BurnProcessTest, TreeBurnedToTheImageRecorderReadsBackByteForByte)
{
    if (run("command -v xorriso >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xorriso is not installed";
    const fs::path src = dir_ / "src";
    writeFile(src / "Grüße aus Köln.txt", "multibyte ü\n");
    writeFile(src / "日本語のファイル名.dat", std::string(70000, 'j'));
    writeFile(src / (std::string(150, 'l') + ".txt"), "long name\n");
    writeFile(src / "Case.txt", "upper\n");
    writeFile(src / "case.txt", "lower\n");
    writeFile(src / "it's 'quoted'.txt", "quotes\n");
    writeFile(src / "folder/inner/empty.bin", "");
    isoDisc();
    addTree(src);
    const fs::path image = dir_ / "out.iso";
    DialogScript dialogs;
    chooseImage(dialogs, image);

    gint32 result = -1;
    ASSERT_EQ(burn(imageRecorder_, &result), BURN_PROCESS_STARTED);
    ASSERT_EQ(result, VORN_BURN_OK);
    ASSERT_TRUE(fs::exists(image));
    EXPECT_EQ(dialogs.asked().size(), 1u) << "only the image chooser is asked";

    const fs::path out = dir_ / "extracted";
    ASSERT_EQ(run("xorriso -osirrox on -indev " + quoted(image) + " -extract / " + quoted(out) + " >/dev/null 2>&1"),
              0);
    EXPECT_EQ(run("diff -r " + quoted(src) + " " + quoted(out)), 0);
}

TEST_F(BurnProcessTest, DoubleQuotesBecomeUnderscoresOnTheDisc)
{
    if (run("command -v xorriso >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xorriso is not installed";
    writeFile(dir_ / "src" / "say \"hi\".txt", "quoted\n");
    isoDisc();
    addTree(dir_ / "src");
    const fs::path image = dir_ / "quotes.iso";
    DialogScript dialogs;
    chooseImage(dialogs, image);
    gint32 result = -1;
    ASSERT_EQ(burn(imageRecorder_, &result), BURN_PROCESS_STARTED);
    ASSERT_EQ(result, VORN_BURN_OK);
    const fs::path out = dir_ / "extracted";
    ASSERT_EQ(run("xorriso -osirrox on -indev " + quoted(image) + " -extract / " + quoted(out) + " >/dev/null 2>&1"),
              0);
    std::ifstream in(out / "say _hi_.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "quoted\n");
}

TEST_F(BurnProcessTest, JolietNamesWithoutRockRidgeFollowTheNamingRules)
{
    if (run("command -v xorriso >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xorriso is not installed";
    const fs::path src = dir_ / "src";
    writeFile(src / "Grüße.txt", "multibyte\n");
    writeFile(src / (std::string(80, 'n') + ".txt"), "long\n");
    writeFile(src / "a;b.txt", "semicolon\n");
    isoDisc();
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(c()->options, 36, 2), 1);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(c()->options, 39, 0), 1);
    addTree(src);
    // Joliet keeps the accented name, turns the forbidden semicolon into an
    // underscore and cuts a long name to 64 characters, extension kept.
    std::vector<std::string> expected = {"Grüße.txt", "a_b.txt", std::string(60, 'n') + ".txt"};
    const fs::path image = dir_ / "joliet.iso";
    DialogScript dialogs;
    chooseImage(dialogs, image);
    gint32 result = -1;
    ASSERT_EQ(burn(imageRecorder_, &result), BURN_PROCESS_STARTED);
    ASSERT_EQ(result, VORN_BURN_OK);

    const fs::path out = dir_ / "extracted";
    ASSERT_EQ(run("xorriso -osirrox on -indev " + quoted(image) + " -extract / " + quoted(out) + " >/dev/null 2>&1"),
              0);
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(out))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace vorn::test
