// The program started as a child process, as a user starts it: the engine's
// init result comes from its control switches, dialogs are answered by a
// script and read back from the record, and a test switch closes the main
// window once start-up is done.
#include "DialogBox/DialogResponder.h"
#include "TestEnvironment.h"
#include "VornPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

using namespace vorn::dialogs;
using vorn::test::runProcess;

TEST(StartupWithoutDisplay, ExplainsHowToRunAndExitsWithOne)
{
    auto r = runProcess({VORN_EXE}, {}, {"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_NE(r.err.find("X display"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("xvfb-run"), std::string::npos) << r.err;
}

class StartupProcess : public testing::Test {
protected:
    vorn::test::TempDir dir;
    std::string script = (dir / "dialogs.script").string();
    std::string recordFile = (dir / "dialogs.record").string();
    std::string windowsReport = (dir / "main-windows").string();
    std::string optionLog = (dir / "engine-options").string();

    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "start-up needs an X display: run the tests under xvfb-run -a";
        // Every dialog must be scripted: one that is not ends the child with status 97.
        vorn::test::writeFile(script, "");
    }

    vorn::test::ProcessResult start(std::map<std::string, std::string> env)
    {
        env["VORN_DIALOG_SCRIPT"] = script;
        env["VORN_DIALOG_RECORD"] = recordFile;
        env["VORN_CONTROL_OPTION_LOG"] = optionLog;
        env["VORN_TEST_CLOSE_MAIN_WINDOWS"] = windowsReport;
        return runProcess({VORN_EXE}, env, {"VORN_CONTROL_INIT_RESULT", "VORN_EMULATED_DRIVES"}, 90);
    }

    std::vector<DialogRecordEntry> dialogsShown()
    {
        std::vector<DialogRecordEntry> entries;
        if (!std::filesystem::exists(recordFile))
            return entries;
        std::istringstream lines(vorn::test::readFile(recordFile));
        for (std::string line; std::getline(lines, line);) {
            auto entry = parseRecordLine(line);
            EXPECT_TRUE(entry) << "unreadable record line: " << line;
            if (entry)
                entries.push_back(*entry);
        }
        return entries;
    }

    std::string fileOrEmpty(const std::string &path)
    {
        return std::filesystem::exists(path) ? vorn::test::readFile(path) : std::string{};
    }

    // A start that reached the main loop: one main window, shown and mapped,
    // closed by the test switch, the program ending normally without a dialog
    // or a complaint from GTK+ or GLib.
    void expectCleanRunClosedByItsWindow(const vorn::test::ProcessResult &r)
    {
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(fileOrEmpty(windowsReport), "Vorn Linux\t1\t1\n");
        EXPECT_TRUE(dialogsShown().empty()) << fileOrEmpty(recordFile);
        for (const char *complaint : {"WARNING", "CRITICAL", "ERROR", "Sanitizer"})
            EXPECT_EQ(r.err.find(complaint), std::string::npos) << r.err;
    }
};

TEST_F(StartupProcess, EngineUnspecifiedErrorShowsTheErrorAloneAndExitsWithOne)
{
    vorn::test::writeFile(script, "kind error ok\n");
    auto r = start({{"VORN_CONTROL_INIT_RESULT", "2"}});

    EXPECT_EQ(r.exitStatus, 1) << r.err;
    auto shown = dialogsShown();
    ASSERT_EQ(shown.size(), 1u) << fileOrEmpty(recordFile);
    EXPECT_TRUE(shown[0].modal);
    EXPECT_EQ(shown[0].request.kind, DialogKind::Error);
    EXPECT_EQ(shown[0].request.text, "An unspecified error occured.");
    EXPECT_EQ(shown[0].request.heading, "");
    EXPECT_EQ(shown[0].request.title, "Error");
    // Start-up stopped before any main window existed.
    EXPECT_FALSE(std::filesystem::exists(windowsReport));
}

TEST_F(StartupProcess, NormalStartShowsTheMainWindowAndClosingItExitsWithZero)
{
    auto r = start({});
    expectCleanRunClosedByItsWindow(r);
}

TEST_F(StartupProcess, EngineResultsOtherThanTheErrorDoNotStopStartUp)
{
    // The engine runs with its built-in texts: a result to note, not to stop for.
    auto r = start({{"VORN_CONTROL_INIT_RESULT", "7"}});
    expectCleanRunClosedByItsWindow(r);
}

TEST_F(StartupProcess, EngineIsToldWhereToKeepItsHistoryLog)
{
    auto r = start({});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const std::string expected = "option 1006 " + (vorn::test::homeDir() / ".vorn").string() + "\n";
    EXPECT_NE(fileOrEmpty(optionLog).find(expected), std::string::npos) << fileOrEmpty(optionLog);
}

}  // namespace
