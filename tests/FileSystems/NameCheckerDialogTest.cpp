#include "NameChecker.h"

#include "TestDialogs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vorn::dialogs::DialogKind;
namespace response = vorn::dialogs::response;

TEST(NameCheckerDialog, EachCodeShowsItsMessageInOneModalErrorBox)
{
    const std::pair<gint, std::string> expected[] = {
        {1, "File/Folder name length cannot exceed 8 characters in ISO Level 1"},
        {2, "File name extension length cannot exceed 3 characters in ISO Level 1"},
        {3, "Some of the entered characters are not present in selected character set"},
        {4, "Directory name length cannot exceed 31 characters in ISO Level 2"},
        {5, "File name and extension length may not exceed 31 characters in ISO Level 2"},
        {6, "File name length may not exceed 103 characters"},
        {7, "File name cannot be empty"},
        {8, "Please remove dot (.) from the start of file/folder name."},
    };
    for (const auto &[code, message] : expected) {
        vorn::test::DialogScript dialogs;
        dialogs.answer(vorn::test::byKind(DialogKind::Error), response::Ok);
        NameChecker_DisplayErrorDialog(code, 103, nullptr);
        const auto asked = dialogs.asked();
        ASSERT_EQ(asked.size(), 1u) << "code " << code;
        EXPECT_TRUE(asked[0].modal);
        EXPECT_EQ(asked[0].request.role, "name-check-error");
        EXPECT_EQ(asked[0].request.title, "Error");
        EXPECT_EQ(vorn::dialogs::stripMarkup(asked[0].request.text), message) << "code " << code;
        EXPECT_TRUE(asked[0].request.offers(response::Ok));
        EXPECT_FALSE(asked[0].request.offers(response::Cancel));
    }
}

TEST(NameCheckerDialog, ValidAndUnknownCodesShowNothing)
{
    vorn::test::DialogScript dialogs;
    for (gint code : {0, -1, 9, 100})
        NameChecker_DisplayErrorDialog(code, 64, nullptr);
    EXPECT_TRUE(dialogs.asked().empty());
}

TEST(NameCheckerDialog, CallersRoleIsKept)
{
    vorn::test::DialogScript dialogs;
    dialogs.answer(vorn::test::byRole("folder-rename"), response::Ok);
    {
        vorn::dialogs::RoleScope role("folder-rename");
        NameChecker_DisplayErrorDialog(NAME_CHECK_EMPTY, 64, nullptr);
    }
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_EQ(dialogs.asked()[0].request.role, "folder-rename");
}

}  // namespace
