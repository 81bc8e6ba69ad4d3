// The dialog script and record seen from outside: a child process without a
// display asks its dialogs, and the script file answers them.
#include "DialogBox/DialogResponder.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace vorn::dialogs;
using vorn::test::runProcess;

class DialogScriptProcess : public testing::Test {
protected:
    vorn::test::TempDir dir;
    std::string script = (dir / "script").string();
    std::string recordFile = (dir / "record").string();

    vorn::test::ProcessResult run(const std::vector<std::string> &dialogs, bool scripted = true)
    {
        std::vector<std::string> argv{DIALOG_SCRIPT_CHILD};
        argv.insert(argv.end(), dialogs.begin(), dialogs.end());
        std::map<std::string, std::string> env{{"VORN_DIALOG_RECORD", recordFile}};
        if (scripted)
            env["VORN_DIALOG_SCRIPT"] = script;
        std::vector<std::string> unset{"DISPLAY"};
        if (!scripted)
            unset.push_back("VORN_DIALOG_SCRIPT");
        return runProcess(argv, env, unset, 30);
    }

    std::vector<DialogRecordEntry> recorded()
    {
        std::vector<DialogRecordEntry> entries;
        std::istringstream lines(vorn::test::readFile(recordFile));
        for (std::string line; std::getline(lines, line);) {
            auto entry = parseRecordLine(line);
            EXPECT_TRUE(entry) << "unreadable record line: " << line;
            if (entry)
                entries.push_back(*entry);
        }
        return entries;
    }
};

TEST_F(DialogScriptProcess, AnswersByRoleTitleAndKindInOrderAndRecordsEveryDialog)
{
    vorn::test::writeFile(script,
                          "role overwrite no\n"
                          "title \"Error: Cannot write\" ok\n"
                          "kind question yes once\n"
                          "kind question cancel\n"
                          "kind string ok entry=\"A name too long\"\n");
    auto result = run({"question|-|Overwrite?|The file <b>x</b> exists.|1|overwrite",
                       "error|Cannot write|Disk full|No space left.|0|",
                       "question|Go on?|-|Really?|1|", "question|-|-|Again?|1|",
                       "string|Rename|-|New name:|old|8|rename"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "question 4\nerror 16\nquestion 2\nquestion 8\nstring A name t\n");

    auto entries = recorded();
    ASSERT_EQ(entries.size(), 5u);
    const auto &overwrite = entries[0].request;
    EXPECT_EQ(overwrite.kind, DialogKind::Question);
    EXPECT_EQ(overwrite.role, "overwrite");
    EXPECT_EQ(overwrite.title, "Vorn Linux");
    EXPECT_EQ(overwrite.heading, "Overwrite?");
    EXPECT_EQ(overwrite.text, "The file <b>x</b> exists.");
    EXPECT_EQ(overwrite.buttons,
              (std::vector<DialogButton>{{response::Yes, "Yes"}, {response::No, "No"}, {response::Cancel, "Cancel"}}));
    EXPECT_EQ(entries[0].answer->response, response::No);

    EXPECT_EQ(entries[1].request.title, "Error: Cannot write");
    EXPECT_EQ(entries[1].request.buttons, (std::vector<DialogButton>{{response::Ok, "OK"}}));
    EXPECT_EQ(entries[2].request.title, "Go on?");
    EXPECT_EQ(entries[4].request.kind, DialogKind::String);
    EXPECT_EQ(entries[4].request.entryText, std::optional<std::string>("old"));
    EXPECT_EQ(entries[4].answer->entryText, std::optional<std::string>("A name too long"));
}

TEST_F(DialogScriptProcess, UnscriptedDialogEndsTheProcessAtOnceAndSaysWhatItShowed)
{
    vorn::test::writeFile(script, "role something-else ok\n");
    auto result = run({"info|-|-|Before.|0|something-else", "error|Burn|Disk full|No <i>space</i> left.|1|",
                       "info|-|-|Never reached.|0|something-else"});
    EXPECT_EQ(result.exitStatus, kUnscriptedDialogExitStatus) << result.err;
    EXPECT_EQ(result.out, "info 16\n");
    EXPECT_NE(result.err.find("unscripted dialog"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("title: Error: Burn"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("heading: Disk full"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("text: No space left."), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("[OK = 16] [Cancel = 8]"), std::string::npos) << result.err;

    // The record holds the unanswered dialog too.
    auto entries = recorded();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].request.heading, "Disk full");
    EXPECT_FALSE(entries[1].answer);
}

TEST_F(DialogScriptProcess, BrokenOrMissingScriptEndsTheProcessNamingFileAndLine)
{
    vorn::test::writeFile(script, "kind question yes\nkind question perhaps\n");
    auto result = run({"question|-|-|Go?|0|"});
    EXPECT_EQ(result.exitStatus, kBadDialogScriptExitStatus);
    EXPECT_NE(result.err.find(script + ": line 2: unknown answer \"perhaps\""), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");

    std::filesystem::remove(script);
    result = run({"question|-|-|Go?|0|"});
    EXPECT_EQ(result.exitStatus, kBadDialogScriptExitStatus);
    EXPECT_NE(result.err.find("cannot read it"), std::string::npos) << result.err;
}

TEST_F(DialogScriptProcess, WithoutScriptOrDisplayTheSafeAnswerIsTakenAndTheDialogPrinted)
{
    auto result = run({"question|-|Erase the disc?|All data is lost.|0|", "question|-|-|Go?|1|",
                       "string|-|-|Name:|kept|0|"},
                      false);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "question 4\nquestion 8\nstring (none)\n");
    EXPECT_NE(result.err.find("heading: Erase the disc?"), std::string::npos) << result.err;
    EXPECT_EQ(recorded().size(), 3u);
}

}  // namespace
