#include "DialogBox/DialogResponder.h"
#include "TestDialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

using namespace vorn::dialogs;

DialogRequest question(std::string title, std::string role = {})
{
    DialogRequest r;
    r.kind = DialogKind::Question;
    r.role = std::move(role);
    r.title = std::move(title);
    r.heading = "Overwrite the file?";
    r.text = "The file <b>a.iso</b> exists.";
    r.buttons = {{response::Yes, "Yes"}, {response::No, "No"}, {response::Cancel, "Cancel"}};
    r.defaultResponse = response::Yes;
    return r;
}

DialogRequest error(std::string title)
{
    DialogRequest r;
    r.kind = DialogKind::Error;
    r.title = std::move(title);
    r.text = "Disk full";
    r.buttons = {{response::Ok, "OK"}};
    r.defaultResponse = response::Ok;
    return r;
}

std::string parseError(std::string_view script)
{
    try {
        ScriptResponder::parse(script);
    } catch (const std::runtime_error &e) {
        return e.what();
    }
    return "parsed";
}

TEST(DialogScriptFormat, FirstMatchingRuleAnswersInFileOrder)
{
    auto script = ScriptResponder::parse(
        "# comment and a blank line\n\n"
        "role erase-* erase\n"
        "title \"Error: Cannot *\" ok\n"
        "kind question no check=on once\n"
        "kind question yes-to-all\n"
        "any 4096\n");
    DialogRequest erase = question("Vorn Linux", "erase-settings");
    EXPECT_EQ(script->answer(erase)->response, response::Erase);

    auto first = script->answer(question("Vorn Linux"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->response, response::No);
    EXPECT_EQ(first->checked, std::optional<bool>(true));
    // The "once" rule is used up: the next question falls to the next rule.
    EXPECT_EQ(script->answer(question("Vorn Linux"))->response, response::YesToAll);

    EXPECT_EQ(script->answer(error("Error: Cannot write"))->response, response::Ok);
    EXPECT_EQ(script->answer(error("Error: Disk"))->response, 4096);
}

TEST(DialogScriptFormat, EntryAndFilesCarryQuotedTextAndEscapes)
{
    auto script = ScriptResponder::parse(
        "kind string ok entry=\"New \\\"folder\\\"\\tx\"\n"
        "kind file-chooser ok file=/tmp/a.iso file=\"/tmp/b c.iso\"\n"
        "kind info ok entry=\n");
    DialogRequest s;
    s.kind = DialogKind::String;
    EXPECT_EQ(script->answer(s)->entryText, std::optional<std::string>("New \"folder\"\tx"));
    DialogRequest f;
    f.kind = DialogKind::FileChooser;
    EXPECT_EQ(script->answer(f)->fileNames, (std::vector<std::string>{"/tmp/a.iso", "/tmp/b c.iso"}));
    DialogRequest i;
    i.kind = DialogKind::Info;
    EXPECT_EQ(script->answer(i)->entryText, std::optional<std::string>(""));
    EXPECT_FALSE(script->answer(error("x")));
}

TEST(DialogScriptFormat, BadScriptsNameTheLineAndTheReason)
{
    EXPECT_EQ(parseError("\nkind dialog ok\n"), "line 2: unknown dialog kind \"dialog\"");
    EXPECT_EQ(parseError("kind question maybe"), "line 1: unknown answer \"maybe\"");
    EXPECT_EQ(parseError("role"), "line 1: \"role\" needs a pattern");
    EXPECT_EQ(parseError("role x"), "line 1: the rule has no answer");
    EXPECT_EQ(parseError("when x ok"), "line 1: a rule starts with role, title, kind or any, not \"when\"");
    EXPECT_EQ(parseError("any ok check=maybe"), "line 1: unknown option \"check=maybe\"");
    EXPECT_EQ(parseError("title \"open ok"), "line 1: a quoted word is not closed");
    EXPECT_EQ(parseError("title \"a\\q\" ok"), "line 1: unknown escape \\q");
    EXPECT_EQ(parseError("# only a comment\n   \n"), "parsed");
}

TEST(DialogRecordLine, RoundTripsEveryFieldWithAwkwardText)
{
    DialogRecordEntry entry;
    entry.request = question("Title with \"quotes\" and \\ backslash", "erase-settings");
    entry.request.text = "line one\nline two\twith tab = sign # hash";
    entry.request.checkLabel = "_Never ask again";
    entry.request.checked = true;
    entry.request.entryText = "";
    entry.answer = DialogAnswer{response::No, std::string("typed"), false, {"/a b", "/c"}};
    std::string line = formatRecordLine(entry);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    auto back = parseRecordLine(line);
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(*back, entry);

    DialogRecordEntry shown;
    shown.request = error("Error");
    shown.modal = false;
    back = parseRecordLine(formatRecordLine(shown));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, shown);
}

TEST(DialogRecordLine, RejectsLinesThatAreNotRecords)
{
    EXPECT_FALSE(parseRecordLine(""));
    EXPECT_FALSE(parseRecordLine("title=x"));              // no kind
    EXPECT_FALSE(parseRecordLine("kind=bogus"));
    EXPECT_FALSE(parseRecordLine("kind=info button=OK"));  // no code
    EXPECT_FALSE(parseRecordLine("kind=info colour=red"));
    EXPECT_FALSE(parseRecordLine("kind=info title=\"open"));
}

TEST(DialogAnswers, SafeResponseNeverPicksTheDestructiveButton)
{
    DialogRequest r;
    r.buttons = {{response::Erase, "Erase"}, {response::Cancel, "Cancel"}};
    EXPECT_EQ(safeResponse(r), response::Cancel);
    r.buttons = {{response::Yes, "Yes"}, {response::YesToAll, "Yes to All"}, {response::No, "No"}};
    EXPECT_EQ(safeResponse(r), response::No);
    r.buttons = {{response::Rename, "Rename"}, {response::Skip, "Skip"}};
    EXPECT_EQ(safeResponse(r), response::Skip);
    r.buttons = {{response::Eject, "Eject"}};
    EXPECT_EQ(safeResponse(r), response::Eject);
    r.buttons.clear();
    EXPECT_EQ(safeResponse(r), response::Cancel);
}

TEST(DialogAnswers, OptionsResponderUsesRoleAnswersThenItsPolicy)
{
    std::vector<std::pair<std::string, int>> reported;
    OptionsResponder::Options options;
    options.answersByRole["overwrite"] = response::Yes;
    options.report = [&](const DialogRequest &r, const DialogAnswer &a) { reported.emplace_back(r.title, a.response); };
    OptionsResponder safe(options);
    EXPECT_EQ(safe.answer(question("q1", "overwrite"))->response, response::Yes);
    EXPECT_EQ(safe.answer(question("q2", "other"))->response, response::Cancel);
    EXPECT_EQ(safe.answer(error("e"))->response, response::Ok);

    options.policy = OptionsResponder::Policy::Affirmative;
    OptionsResponder yes(options);
    EXPECT_EQ(yes.answer(question("q3"))->response, response::Yes);
    DialogRequest all = question("q4");
    all.buttons = {{response::YesToAll, "Yes to All"}, {response::Skip, "Skip"}};
    EXPECT_EQ(yes.answer(all)->response, response::YesToAll);
    EXPECT_EQ((reported.front()), (std::pair<std::string, int>("q1", response::Yes)));
    EXPECT_EQ(reported.size(), 5u);
}

TEST(DialogAnswers, StripMarkupKeepsTextAndEntities)
{
    EXPECT_EQ(stripMarkup("<span weight=\"heavy\">A &amp; B</span>\n\n&lt;x&gt; &#1; tail"),
              "A & B\n\n<x> &#1; tail");
}

// The strict responder that both test mains install.
TEST(StrictTestResponder, UnscriptedDialogFailsTheTestAndGetsTheSafeAnswer)
{
    std::optional<DialogAnswer> answer;
    EXPECT_NONFATAL_FAILURE(answer = ask(question("Really erase?")),
                            "a dialog the test did not script was asked");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->response, response::Cancel);
    // The failure message shows the dialog, markup removed.
    EXPECT_NONFATAL_FAILURE(ask(question("Really erase?")), "text: The file a.iso exists.");
}

TEST(StrictTestResponder, ScriptedAnswersAndTheRecord)
{
    vorn::test::DialogScript dialogs;
    dialogs.answerOnce(vorn::test::byTitle("Really*"), DialogAnswer{response::Yes, std::nullopt, true, {}})
        .answer(vorn::test::byRole("overwrite"), response::No)
        .answer(vorn::test::byKind(DialogKind::Error), response::Ok);

    EXPECT_EQ(ask(question("Really erase?"))->response, response::Yes);
    {
        RoleScope role("overwrite");
        EXPECT_EQ(ask(question("Really erase?"))->response, response::No);
    }
    EXPECT_EQ(ask(error("Error: x"))->response, response::Ok);
    noteShown(error("Warning"));

    auto asked = dialogs.asked();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0].request.role, "");
    EXPECT_EQ(asked[0].answer->checked, std::optional<bool>(true));
    EXPECT_EQ(asked[1].request.role, "overwrite");
    EXPECT_EQ(asked[2].request.kind, DialogKind::Error);
    EXPECT_FALSE(asked[3].modal);
    EXPECT_FALSE(asked[3].answer);
}

TEST(StrictTestResponder, RealDialogsDeclineAndRolesAreKeptPerThread)
{
    {
        vorn::test::RealDialogs real;
        EXPECT_FALSE(ask(error("Error")));
    }
    RoleScope outer("outer");
    std::string otherThreadRole = "unset";
    std::thread([&] { otherThreadRole = currentRole(); }).join();
    EXPECT_EQ(otherThreadRole, "");
    {
        RoleScope inner("inner");
        EXPECT_EQ(currentRole(), "inner");
    }
    EXPECT_EQ(currentRole(), "outer");
}

TEST(StrictTestResponder, ScopedResponderPutsThePreviousOneBack)
{
    class Fixed : public DialogResponder {
        std::optional<DialogAnswer> answer(const DialogRequest &) override { return DialogAnswer{response::Apply}; }
    };
    auto before = installedResponder();
    {
        ScopedResponder scoped(std::make_shared<Fixed>());
        EXPECT_EQ(ask(error("e"))->response, response::Apply);
    }
    EXPECT_EQ(installedResponder(), before);
}

}  // namespace
