// The settings files: the golden user file, reading back every kind of value,
// broken and hostile files, the atomic save and the autosave.
#include "ConfigFile.h"
#include "ConfigFileInternal.h"
#include "DeviceEntry.h"
#include "OptionNames.h"
#include "OptionsDatabase.h"
#include "TestEnvironment.h"
#include "VornPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <functional>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace {

enum : gint32 {
    kStartWithNew = 0, kPromptToSave = 1, kCacheDirectory = 6, kCdOverburn = 17, kReadServerHost = 29,
    kAutosaveMinutes = 58, kRecorder = 63, kWindowX = 69, kWidth = 71, kHeight = 72, kTemplate = 75,
    kCompilationsPath = 0
};

std::string text(OptionsDatabase *database, gint32 id)
{
    gchar *value = OptionsDatabase_GetStringOptionValue(database, id);
    std::string result = value ? value : "<null>";
    g_free(value);
    return result;
}

std::string replaceAll(std::string text, const std::string &from, const std::string &to)
{
    if (from.empty())
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

fs::path userFolder()
{
    return vorn::test::homeDir() / ".vorn";
}

fs::path userFile()
{
    return userFolder() / "config";
}

// Files in the user folder other than the settings file: a leftover
// temporary file means a save did not clean up after itself.
std::vector<std::string> strayFiles()
{
    std::vector<std::string> stray;
    for (const auto &entry : fs::directory_iterator(userFolder()))
        if (entry.path().filename() != "config")
            stray.push_back(entry.path().filename().string());
    return stray;
}

class ConfigFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        // As the application at start-up: the user's locale, pinned here to
        // C.UTF-8, decides the character set of locale-encoded options.
        g_setenv("LC_ALL", "C.UTF-8", TRUE);
        std::setlocale(LC_ALL, "");
        g_unsetenv("http_proxy");
        fs::remove_all(userFolder());
        OptionsDatabase_InitDatabases();
    }
    void TearDown() override
    {
        ConfigFile_StopAutosave();
        OptionsDatabase_DestroyDatabases();
        std::error_code ignored;
        fs::permissions(userFolder(), fs::perms::owner_all, ignored);
        fs::remove_all(userFolder(), ignored);
    }
    // Back to the defaults, then the settings files as at start-up; no system file.
    void restartAndRead()
    {
        OptionsDatabase_InitDatabases();
        vorn::configfile::parseSettingsFiles((vorn::test::homeDir() / "no-system-config").c_str());
    }
    OptionsDatabase *settings() { return GlobalSettingsOptionsDatabase; }
};

// --- What is written --------------------------------------------------------

TEST_F(ConfigFileTest, DefaultsWriteTheGoldenUserFileByteForByte)
{
    // The defaults that depend on the machine are pinned by placeholders: the
    // install prefix, the home folder and the temporary folder. No http_proxy
    // (SetUp) and LC_ALL=C.UTF-8 (the test environment) fix the rest.
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    const std::string written = readFile(userFile());
    const auto golden = vorn::test::sourceDir() / "tests/core/golden/UserSettings-defaults.xml";
    // Longest first: the home folder usually lies inside the temporary folder.
    std::vector<std::pair<std::string, std::string>> pins = {
        {VORN_PREFIX, "@PREFIX@"}, {g_get_home_dir(), "@HOME@"}, {g_get_tmp_dir(), "@TMPDIR@"}};
    std::sort(pins.begin(), pins.end(), [](auto &a, auto &b) { return a.first.size() > b.first.size(); });
    if (std::getenv("VORN_UPDATE_GOLDEN")) {
        std::string pinned = written;
        for (const auto &[value, placeholder] : pins)
            pinned = replaceAll(pinned, value, placeholder);
        writeFile(golden, pinned);
    }
    std::string expected = readFile(golden);
    for (const auto &[value, placeholder] : pins)
        expected = replaceAll(expected, placeholder, value);
    EXPECT_EQ(written, expected) << "run with VORN_UPDATE_GOLDEN=1 to rewrite " << golden << " and review the diff";
    EXPECT_EQ(fs::status(userFolder()).permissions(), fs::perms::owner_all) << "the user folder is private";
}

TEST_F(ConfigFileTest, EveryKindOfValueReadsBackEqual)
{
    VornDeviceEntry recorder{};
    vorn::options::device_entry::initInvalid(recorder);
    vorn::options::device_entry::setName(recorder, "Drive 'Q' & \"W\" <1>");
    recorder.hostAdapter = 1;
    recorder.deviceId = 3;
    const std::string longPath = "/srv/" + std::string(600, 'x');  // longer than one read piece

    ASSERT_TRUE(OptionsDatabase_SetBooleanOptionValue(settings(), kStartWithNew, 0));
    ASSERT_TRUE(OptionsDatabase_SetIntegerOptionValue(settings(), kWindowX, -42));
    ASSERT_TRUE(OptionsDatabase_SetIntegerOptionValue(settings(), kWidth, 1LL << 40));
    ASSERT_TRUE(OptionsDatabase_SetStringOptionValue(settings(), kCacheDirectory, "/var/cache/caf\xe9"));
    ASSERT_TRUE(OptionsDatabase_SetStringOptionValue(settings(), kTemplate, "%A's <best> & \"%T\".%E"));
    ASSERT_TRUE(OptionsDatabase_SetStringOptionValue(settings(), kReadServerHost, "cddb.example.net"));
    ASSERT_TRUE(OptionsDatabase_SetScsiDeviceOptionValue(settings(), kRecorder, &recorder));
    ASSERT_TRUE(OptionsDatabase_SetStringOptionValue(PathsOptionsDatabase, kCompilationsPath, longPath.c_str()));
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    const std::string saved = vorn::configfile::settingsDocument();

    restartAndRead();
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kStartWithNew), 0);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kWindowX), -42);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kWidth), 1LL << 40);
    EXPECT_EQ(text(settings(), kCacheDirectory), "/var/cache/caf\xe9") << "a Latin-1 path keeps its bytes";
    EXPECT_EQ(text(settings(), kTemplate), "%A's <best> & \"%T\".%E");
    EXPECT_EQ(text(settings(), kReadServerHost), "cddb.example.net");
    EXPECT_EQ(text(PathsOptionsDatabase, kCompilationsPath), longPath);
    const VornDeviceEntry *read = OptionsDatabase_GetScsiDeviceOptionValue(settings(), kRecorder);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(vorn::options::device_entry::name(*read), "Drive 'Q' & \"W\" <1>");
    EXPECT_EQ(read->hostAdapter, 1);
    EXPECT_EQ(read->deviceId, 3);
    EXPECT_EQ(vorn::configfile::settingsDocument(), saved) << "a second save writes the same file";
}

// --- Reading broken and unusual files ---------------------------------------

TEST_F(ConfigFileTest, OnlyTheExactWordTrueReadsAsTrue)
{
    writeFile(userFile(), "<OptionsDB name='GlobalSettings'>\n"
                          "  <Option name='Start with new compilation' type='boolean' value='TRUE' />\n"
                          "  <Option name='Prompt to save unsaved compilations when exiting' type='boolean' value='1' />\n"
                          "  <Option name='Enable CD overburning' type='boolean' value='true' />\n"
                          "</OptionsDB>\n");
    restartAndRead();
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kStartWithNew), 0);
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kPromptToSave), 0);
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kCdOverburn), 1);
}

TEST_F(ConfigFileTest, UnknownDatabasesOptionsTypesAndStrayElementsChangeNothing)
{
    const std::string defaults = vorn::configfile::settingsDocument();
    writeFile(userFile(),
              "<?xml version='1.0' encoding='UTF-8'?>\n<VornLinux version='9.9' />\n"
              "<Option name='Default main window width' type='integer' value='1' />\n"
              "<OptionsDB name='Elsewhere'>\n"
              "  <Option name='Default main window width' type='integer' value='2' />\n</OptionsDB>\n"
              "<OptionsDB name='GlobalSettings'>\n"
              "  <Option name='No such option' type='integer' value='3' />\n"
              "  <Option name='Default main window width' type='float' value='4' />\n"
              "  <Option type='integer' name='Default main window width' value='5' />\n"
              "  <Option name='Default main window width' type='string' encoding='UTF-8' value='6' />\n"
              "  <Unknown><Option name='Default main window height' type='integer' value='500' /></Unknown>\n"
              "</OptionsDB>\n");
    restartAndRead();
    std::string expected = defaults;
    EXPECT_EQ(vorn::configfile::settingsDocument(),
              replaceAll(expected, "name='Default main window height' type='integer' value='768'",
                         "name='Default main window height' type='integer' value='500'"))
        << "only the well-formed option inside a known database counts, whatever element wraps it";
}

TEST_F(ConfigFileTest, HeaderOnlyFileChangesNothing)
{
    const std::string defaults = vorn::configfile::settingsDocument();
    writeFile(userFile(), "<!-- Vorn Linux configuration file. -->\n\n<?xml version='1.0' encoding='UTF-8'?>\n"
                          "<VornLinux version='3.0.1.3' />\n");
    restartAndRead();
    EXPECT_EQ(vorn::configfile::settingsDocument(), defaults);
}

TEST_F(ConfigFileTest, UserFileOverridesSystemFile)
{
    vorn::test::TempDir system;
    writeFile(system / "config", "<OptionsDB name='GlobalSettings'>\n"
                                 "  <Option name='Default main window width' type='integer' value='800' />\n"
                                 "  <Option name='Default main window height' type='integer' value='600' />\n"
                                 "</OptionsDB>\n");
    fs::create_directories(userFolder());
    writeFile(userFile(), "<OptionsDB name='GlobalSettings'>\n"
                          "  <Option name='Default main window width' type='integer' value='1280' />\n"
                          "</OptionsDB>\n");
    vorn::configfile::parseSettingsFiles((system / "config").c_str());
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kWidth), 1280);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kHeight), 600);

    // A broken system file stops only itself: the user file is still read.
    writeFile(system / "config", "<OptionsDB name='GlobalSettings'>\n<Option <<\n");
    OptionsDatabase_InitDatabases();
    vorn::configfile::parseSettingsFiles((system / "config").c_str());
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kWidth), 1280);
}

// Every option of a saved file is edited; the file is then cut at random
// places. Whatever precedes the cut is applied, nothing after it is, and the
// reader never fails on a mere cut.
TEST_F(ConfigFileTest, FileCutAnywhereKeepsEveryValueBeforeTheCut)
{
    for (gint32 id = 69; id <= 72; ++id)
        OptionsDatabase_SetIntegerOptionValue(settings(), id, 1000 + id);
    const std::string document = vorn::configfile::settingsDocument();
    std::uint64_t seed = 20240501;
    if (const char *override = std::getenv("VORN_TEST_SEED"))
        seed = std::strtoull(override, nullptr, 10);
    std::mt19937_64 random(seed);
    for (int round = 0; round < 60; ++round) {
        const std::size_t cut = random() % document.size();
        writeFile(userFile(), document.substr(0, cut));
        OptionsDatabase_InitDatabases();
        EXPECT_TRUE(vorn::configfile::readSettingsFile(userFile().c_str())) << "cut at " << cut;
        for (gint32 id = 69; id <= 72; ++id) {
            const std::string name = OptionNames_GetOptionName(settings(), id);
            const std::size_t line = document.find("'" + name + "'");
            const std::size_t end = document.find("/>", line) + 2;
            const gint64 value = OptionsDatabase_GetIntegerOptionValue(settings(), id);
            if (end <= cut) {
                EXPECT_EQ(value, 1000 + id) << name << ", cut at " << cut << ", seed " << seed;
            } else if (document.rfind("<Option", line) >= cut) {
                EXPECT_NE(value, 1000 + id) << name << ", cut at " << cut << ", seed " << seed;
            }
        }
    }
}

TEST_F(ConfigFileTest, BytesThatAreNotUtf8StopTheFileButKeepWhatCameBefore)
{
    const std::string head = "<OptionsDB name='GlobalSettings'>\n"
                             "  <Option name='Default main window width' type='integer' value='640' />\n";
    for (const std::string &bad : {std::string("\xff\xfe"), std::string("  <Option name='caf\xe9'"),
                                  std::string("<<<>>>&;"), std::string("<Option name='x' \xc3")}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        writeFile(userFile(), head + bad +
                                  "\n  <Option name='Default main window height' type='integer' value='480' />\n"
                                  "</OptionsDB>\n");
        restartAndRead();
        EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kWidth), 640);
        EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kHeight), 768) << "ignored after the fault";
    }
}

TEST_F(ConfigFileTest, MissingOrUnreadableUserFileLeavesDefaults)
{
    const std::string defaults = vorn::configfile::settingsDocument();
    restartAndRead();
    EXPECT_EQ(vorn::configfile::settingsDocument(), defaults);
    EXPECT_TRUE(fs::is_directory(userFolder())) << "reading creates the user folder";
    fs::create_directory(userFile());  // a folder where the file should be
    restartAndRead();
    EXPECT_EQ(vorn::configfile::settingsDocument(), defaults);
}

// --- Saving safely ------------------------------------------------------------

// Runs `body` in a child process as an unprivileged user when we are root
// (root ignores permissions), else in a child as ourselves. The child's exit
// status is the result.
int runUnprivileged(const fs::path &owned, const std::function<int()> &body)
{
    if (geteuid() == 0) {
        for (const auto &entry : fs::recursive_directory_iterator(owned))
            if (lchown(entry.path().c_str(), 65534, 65534) != 0)
                return -1;
        if (chown(owned.c_str(), 65534, 65534) != 0)
            return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ConfigFileTest, WriteFailingHalfwayLeavesThePreviousFileIntact)
{
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    const std::string previous = readFile(userFile());
    OptionsDatabase_SetStringOptionValue(PathsOptionsDatabase, kCompilationsPath, std::string(4000, 'p').c_str());

    // A file-size limit below the new file makes the write fail partway, as a
    // full disk would.
    struct rlimit original {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = original;
    limited.rlim_cur = previous.size() + 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const gint result = ConfigFile_SaveUserConfigFile();
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(userFile()), previous);
    EXPECT_TRUE(strayFiles().empty()) << "the temporary file is removed";
    EXPECT_EQ(ConfigFile_SaveUserConfigFile(), 1) << "and the next save succeeds";
    EXPECT_NE(readFile(userFile()).find(std::string(4000, 'p')), std::string::npos);
}

TEST_F(ConfigFileTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced)
{
    vorn::test::TempDir elsewhere;
    fs::create_directories(userFolder());
    writeFile(elsewhere / "settings.xml", "old");
    fs::create_symlink(elsewhere / "settings.xml", userFile());
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    EXPECT_TRUE(fs::is_symlink(userFile()));
    EXPECT_EQ(readFile(elsewhere / "settings.xml"), vorn::configfile::settingsDocument());

    // A relative link through a second link.
    fs::remove(userFile());
    fs::create_symlink("shared/config", userFile());
    fs::create_directory_symlink(elsewhere.path(), userFolder() / "shared");
    writeFile(elsewhere / "config", "old");
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    EXPECT_TRUE(fs::is_symlink(userFile()));
    EXPECT_EQ(readFile(elsewhere / "config"), vorn::configfile::settingsDocument());
}

TEST_F(ConfigFileTest, SavedFileKeepsItsModeAndNewFileFollowsTheUmask)
{
    const mode_t oldMask = umask(022);
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    EXPECT_EQ(fs::status(userFile()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(userFile(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(ConfigFile_SaveUserConfigFile(), 1);
    umask(oldMask);
    EXPECT_EQ(fs::status(userFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ConfigFileTest, UnwritableFolderWithWritableFileIsRewrittenInPlace)
{
    vorn::test::TempDir area;
    const fs::path folder = area / "settings";
    fs::create_directory(folder);
    writeFile(folder / "config", "old");
    writeFile(folder / "locked", "old");
    fs::permissions(folder / "locked", fs::perms::owner_read);
    const int status = runUnprivileged(area.path(), [&] {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        const bool rewritten = vorn::configfile::replaceFileContents((folder / "config").string(), "new");
        const bool refused = !vorn::configfile::replaceFileContents((folder / "locked").string(), "new");
        return rewritten && refused ? 0 : 1;
    });
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(folder / "config"), "new");
    EXPECT_EQ(readFile(folder / "locked"), "old") << "a file that cannot be written is left alone";
}

// --- Autosave ----------------------------------------------------------------

TEST_F(ConfigFileTest, AutosaveSavesAtOnceAndThenEveryInterval)
{
    ConfigFile_StartAutosave();
    EXPECT_TRUE(fs::exists(userFile())) << "saved before the first interval";
    const guint source = vorn::configfile::autosaveSource();
    ASSERT_NE(source, 0u);
    GSource *timer = g_main_context_find_source_by_id(nullptr, source);
    ASSERT_NE(timer, nullptr);
    const gint64 untilDue = g_source_get_ready_time(timer) - g_get_monotonic_time();
    EXPECT_NEAR(static_cast<double>(untilDue), 3 * 60e6, 5e6) << "three minutes by default";

    fs::remove(userFile());
    OptionsDatabase_SetIntegerOptionValue(settings(), kAutosaveMinutes, 0);
    ConfigFile_StartAutosave();
    EXPECT_TRUE(fs::exists(userFile()));
    EXPECT_EQ(vorn::configfile::autosaveSource(), 0u) << "no timer for an interval of 0";
    EXPECT_EQ(g_main_context_find_source_by_id(nullptr, source), nullptr) << "the old timer is gone";

    OptionsDatabase_SetIntegerOptionValue(settings(), kAutosaveMinutes, G_MAXINT64);
    ConfigFile_StartAutosave();
    EXPECT_NE(vorn::configfile::autosaveSource(), 0u) << "a huge interval is capped, not wrapped";
    ConfigFile_StopAutosave();
    EXPECT_EQ(vorn::configfile::autosaveSource(), 0u);
}

}  // namespace
