/*
 * The dialog responder: the one place every modal dialog of the application
 * passes through before it is shown.
 *
 * A modal dialog (message box, string dialog, file chooser, or one of the
 * application's own modal dialogs) describes itself in a DialogRequest and calls
 * vorn::dialogs::ask(). When a responder is installed and answers, the dialog is
 * never shown and the caller uses the answer as if the user had given it; when
 * no responder is installed, or it declines, the real dialog runs. Non-modal
 * dialogs call noteShown() so that they appear in the record too.
 *
 * This module knows nothing of GTK+, so that a program without a display (the
 * command-line burner) can link it and answer the questions model code asks.
 *
 * Who answers, in this order:
 *  1. The dialog script, when the environment variable VORN_DIALOG_SCRIPT names
 *     a file (read once, at the first dialog; a normal run never looks).
 *  2. The responder installed in the process (installResponder, ScopedResponder).
 *  3. Nobody: the real dialog is shown. In a scripted process that would hang
 *     whoever started it, so instead the process prints the dialog to stderr and
 *     ends at once with status kUnscriptedDialogExitStatus (97). A script that
 *     cannot be read or parsed ends the process with kBadDialogScriptExitStatus
 *     (98) and a message naming the file and line.
 *
 * Script format (one rule per line; blank lines and lines starting with '#'
 * are ignored; words are separated by blanks, and a word holding blanks is
 * written in double quotes with \" \\ \n \t escapes):
 *
 *     <match> <answer> [entry=<text>] [check=on|off] [file=<path>]... [once]
 *
 *   match:  role <pattern> | title <pattern> | kind <kind> | any
 *           patterns are shell wildcards (fnmatch) against the dialog's role or
 *           its window title; kinds are info, error, question, warning, string,
 *           file-chooser, custom.
 *   answer: a button name (yes, no, cancel, ok, apply, refresh, eject, erase,
 *           yes-to-all, rename, skip) or a response number.
 *   entry=  the text the string dialog's entry holds when answered.
 *   check=  the state of the dialog's check box when answered.
 *   file=   a chosen file name (file choosers); repeat for several.
 *   once    the rule answers one dialog and is then used up.
 *
 * The first rule that matches, in file order, answers. Example:
 *
 *     role erase-settings erase
 *     title "Error: *" ok
 *     kind question no check=on once
 *     kind string ok entry="New folder"
 *
 * Record: when VORN_DIALOG_RECORD names a file, one line per dialog is appended
 * to it (formatRecordLine; read back with parseRecordLine). In the process the
 * last kRecordLimit dialogs are kept and read back with record().
 *
 * Tests: both test mains install a strict responder (tests/support/TestDialogs.h).
 * A dialog a test did not script fails the test at once with everything it
 * showed and gets the safe answer (Cancel, else No, ...). Script answers with
 * vorn::test::DialogScript:
 *
 *     vorn::test::DialogScript dialogs;
 *     dialogs.answer(vorn::test::byTitle("Error: *"), vorn::dialogs::response::Ok);
 *     ...code that shows the error...
 *     ASSERT_EQ(dialogs.asked().size(), 1u);
 *     EXPECT_EQ(dialogs.asked()[0].request.heading, "Cannot write the file");
 *
 * Callers label their dialog with a stable role through RoleScope; the message
 * box functions take the role of the innermost RoleScope on their thread:
 *
 *     vorn::dialogs::RoleScope role("erase-settings");
 *     VornKit_DialogBox_ModalQuestionDialog(...);
 */
#ifndef VORN_DIALOG_RESPONDER_H
#define VORN_DIALOG_RESPONDER_H

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::dialogs {

// Response codes of the standard buttons: each equals the button's bit in a
// message box's button set.
namespace response {
inline constexpr int None = 0;
inline constexpr int Yes = 0x2;
inline constexpr int No = 0x4;
inline constexpr int Cancel = 0x8;
inline constexpr int Ok = 0x10;
inline constexpr int Apply = 0x20;
inline constexpr int Refresh = 0x40;
inline constexpr int Eject = 0x80;
inline constexpr int Erase = 0x100;
inline constexpr int YesToAll = 0x200;
inline constexpr int Rename = 0x400;
inline constexpr int Skip = 0x800;
}  // namespace response

inline constexpr int kUnscriptedDialogExitStatus = 97;
inline constexpr int kBadDialogScriptExitStatus = 98;
inline constexpr std::size_t kRecordLimit = 256;

enum class DialogKind { Info, Error, Question, Warning, String, FileChooser, Custom };

// "info", "error", "question", "warning", "string", "file-chooser", "custom".
std::string_view kindName(DialogKind kind);
std::optional<DialogKind> kindFromName(std::string_view name);

// The script name of a standard response ("yes-to-all"), or empty.
std::string_view responseName(int response);
// A standard button name or a decimal number; nothing when neither.
std::optional<int> responseFromName(std::string_view name);

struct DialogButton {
    int response = response::None;
    std::string label;  // as shown, mnemonic underscores removed
    bool operator==(const DialogButton &) const = default;
};

// What a dialog shows. Texts are as the user sees them (translated); heading
// and text may hold Pango markup.
struct DialogRequest {
    DialogKind kind = DialogKind::Custom;
    std::string role;               // stable identifier given by the caller, or empty
    std::string title;              // the window title
    std::string heading;
    std::string text;
    std::vector<DialogButton> buttons;
    int defaultResponse = response::None;
    std::optional<std::string> checkLabel;  // the check box, when there is one
    bool checked = false;                   // its initial state
    std::optional<std::string> entryText;   // the entry's initial text, when there is one
    bool operator==(const DialogRequest &) const = default;

    bool offers(int code) const;
};

struct DialogAnswer {
    int response = response::None;
    std::optional<std::string> entryText;  // replaces the entry's text
    std::optional<bool> checked;           // sets the check box
    std::vector<std::string> fileNames;    // files chosen in a file chooser
    bool operator==(const DialogAnswer &) const = default;
};

class DialogResponder {
public:
    virtual ~DialogResponder() = default;
    // An answer, or nothing to let the real dialog be shown. Called on the
    // thread that shows the dialog, with no lock of this module held.
    virtual std::optional<DialogAnswer> answer(const DialogRequest &request) = 0;
};

// Installs a responder for the whole process; returns the one it replaces.
std::shared_ptr<DialogResponder> installResponder(std::shared_ptr<DialogResponder> responder);
std::shared_ptr<DialogResponder> installedResponder();

// Installs a responder for a scope and puts the previous one back after.
class ScopedResponder {
public:
    explicit ScopedResponder(std::shared_ptr<DialogResponder> responder);
    ~ScopedResponder();
    ScopedResponder(const ScopedResponder &) = delete;
    ScopedResponder &operator=(const ScopedResponder &) = delete;

private:
    std::shared_ptr<DialogResponder> previous_;
};

// Gives the dialogs asked on this thread inside the scope a role (innermost wins).
class RoleScope {
public:
    explicit RoleScope(std::string role);
    ~RoleScope();
    RoleScope(const RoleScope &) = delete;
    RoleScope &operator=(const RoleScope &) = delete;
};
std::string currentRole();

// A modal dialog is about to be shown: the answer of the script or the
// installed responder, or nothing when the real dialog must run. An empty
// role is filled from currentRole(). Never returns in a scripted process when
// nobody answers (see above).
std::optional<DialogAnswer> ask(DialogRequest request);

// A non-modal dialog was shown: recorded, nobody is asked.
void noteShown(DialogRequest request);

struct DialogRecordEntry {
    DialogRequest request;
    bool modal = true;
    std::optional<DialogAnswer> answer;  // when a responder answered
    bool operator==(const DialogRecordEntry &) const = default;
};

std::vector<DialogRecordEntry> record();
void clearRecord();

// The answer that loses nothing: Cancel, else No, else Skip, else OK, else the
// first button offered, else Cancel.
int safeResponse(const DialogRequest &request);

// The dialog in plain words for a log or a terminal: markup removed, one field
// a line.
std::string describe(const DialogRequest &request);
// Pango markup reduced to its text.
std::string stripMarkup(std::string_view markup);

// One line of the record file, and back.
std::string formatRecordLine(const DialogRecordEntry &entry);
std::optional<DialogRecordEntry> parseRecordLine(std::string_view line);

// Answers from a dialog script (format above).
class ScriptResponder : public DialogResponder {
public:
    // Throws std::runtime_error naming the line when the text does not parse.
    static std::shared_ptr<ScriptResponder> parse(std::string_view text);
    static std::shared_ptr<ScriptResponder> load(const std::string &path);

    std::optional<DialogAnswer> answer(const DialogRequest &request) override;

    struct Rule;

private:
    std::vector<std::shared_ptr<Rule>> rules_;
};

// Answers for a program without a display, from its options: a fixed answer
// per role first, then the policy. Every dialog is passed to `report` (when
// given) with the answer, so the program can print messages for its user.
class OptionsResponder : public DialogResponder {
public:
    enum class Policy {
        Safe,         // safeResponse: never erases, overwrites or goes on
        Affirmative,  // Yes, else Yes to All, else OK, else the safe answer
    };
    struct Options {
        std::map<std::string, int> answersByRole;
        Policy policy = Policy::Safe;
        std::function<void(const DialogRequest &, const DialogAnswer &)> report;
    };

    explicit OptionsResponder(Options options);
    std::optional<DialogAnswer> answer(const DialogRequest &request) override;

private:
    Options options_;
};

}  // namespace vorn::dialogs

#endif
