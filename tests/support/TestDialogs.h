#ifndef VORN_TEST_DIALOGS_H
#define VORN_TEST_DIALOGS_H

// Dialogs in tests. Both test mains install a strict responder for the whole
// process: a modal dialog that the running test did not script fails the test
// at once (with everything the dialog showed) and gets the safe answer
// (Cancel, else No, ...), so no test ever waits for a person. Scripted answers
// and the record are reset before every test.
//
//     vorn::test::DialogScript dialogs;
//     dialogs.answer(vorn::test::byRole("erase-settings"), vorn::dialogs::response::Erase);
//     dialogs.answer(vorn::test::byTitle("Error: *"), vorn::dialogs::response::Ok);
//     ... the code under test asks ...
//     ASSERT_EQ(dialogs.asked().size(), 2u);
//     EXPECT_EQ(dialogs.asked()[1].request.heading, "Cannot write the file");
//
// A test of the real GTK+ rendering makes a RealDialogs in its scope: dialogs
// are then shown for real, and the test answers them itself (a timeout that
// emits a response or sends a delete event).

#include "DialogBox/DialogResponder.h"

#include <string>
#include <vector>

namespace vorn::test {

struct DialogMatch {
    enum class By { Role, Title, Kind, Any } by = By::Any;
    std::string pattern;  // shell wildcards for role and title
    dialogs::DialogKind kind = dialogs::DialogKind::Custom;

    bool matches(const dialogs::DialogRequest &request) const;
};

DialogMatch byRole(std::string pattern);
DialogMatch byTitle(std::string pattern);
DialogMatch byKind(dialogs::DialogKind kind);
DialogMatch anyDialog();

// Installs the strict responder and the listener that resets it before each
// test. The test mains call it; a test never needs to.
void installStrictDialogResponder();

// Scripts the answers of the current test and reads back what was asked.
// Making one clears the record; scripted answers last until the test ends.
class DialogScript {
public:
    DialogScript();
    DialogScript(const DialogScript &) = delete;
    DialogScript &operator=(const DialogScript &) = delete;

    // Answers every matching dialog (first scripted match wins).
    DialogScript &answer(DialogMatch match, int response);
    DialogScript &answer(DialogMatch match, dialogs::DialogAnswer answer);
    // Answers the next matching dialog only.
    DialogScript &answerOnce(DialogMatch match, dialogs::DialogAnswer answer);

    // Every dialog asked or shown since this script was made, oldest first.
    std::vector<dialogs::DialogRecordEntry> asked() const;
};

// Within its scope the strict responder declines: real dialogs are shown.
class RealDialogs {
public:
    RealDialogs();
    ~RealDialogs();
    RealDialogs(const RealDialogs &) = delete;
    RealDialogs &operator=(const RealDialogs &) = delete;
};

}  // namespace vorn::test

#endif
