#include "NameChecker.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Builds a name of `count` copies of a two-byte character, so that a check
// counting bytes instead of characters fails at once.
std::string repeat(const char *character, int count)
{
    std::string name;
    for (int i = 0; i < count; ++i)
        name += character;
    return name;
}

const char *const kUmlaut = "\u00c4";       // two bytes
const char *const kIdeograph = "\u65e5";    // three bytes

gint level1File(const std::string &name) { return NameChecker_IsValidIsoLevel1Name(name.c_str(), FALSE); }
gint level1Dir(const std::string &name) { return NameChecker_IsValidIsoLevel1Name(name.c_str(), TRUE); }
gint level2File(const std::string &name) { return NameChecker_IsValidIsoLevel2Name(name.c_str(), FALSE); }
gint level2Dir(const std::string &name) { return NameChecker_IsValidIsoLevel2Name(name.c_str(), TRUE); }

TEST(NameCheckerLevel1, EmptyAndLeadingDotComeFirst)
{
    for (auto check : {level1File, level1Dir, level2File, level2Dir}) {
        EXPECT_EQ(check(""), NAME_CHECK_EMPTY);
        EXPECT_EQ(check(".hidden"), NAME_CHECK_LEADING_DOT);
        EXPECT_EQ(check("." + repeat(kUmlaut, 40)), NAME_CHECK_LEADING_DOT);
    }
    EXPECT_EQ(NameChecker_IsValidIsoLevel1Name(nullptr, FALSE), NAME_CHECK_EMPTY);
    EXPECT_EQ(NameChecker_IsValidIsoLevel2Name(nullptr, TRUE), NAME_CHECK_EMPTY);
}

TEST(NameCheckerLevel1, NameLengthCountsCharactersNotBytes)
{
    // Eight characters are fine however many bytes they take; nine are not.
    for (const char *character : {"A", kUmlaut, kIdeograph}) {
        EXPECT_EQ(level1Dir(repeat(character, 8)), NAME_CHECK_VALID) << character;
        EXPECT_EQ(level1Dir(repeat(character, 9)), NAME_CHECK_LEVEL1_NAME_TOO_LONG) << character;
        EXPECT_EQ(level1File(repeat(character, 8)), NAME_CHECK_VALID) << character;
        EXPECT_EQ(level1File(repeat(character, 9)), NAME_CHECK_LEVEL1_NAME_TOO_LONG) << character;
        EXPECT_EQ(level1File(repeat(character, 8) + "." + repeat(character, 3)), NAME_CHECK_VALID);
        EXPECT_EQ(level1File(repeat(character, 9) + ".TXT"), NAME_CHECK_LEVEL1_NAME_TOO_LONG);
        EXPECT_EQ(level1File("FILE." + repeat(character, 4)), NAME_CHECK_LEVEL1_EXTENSION_TOO_LONG);
    }
    EXPECT_EQ(level1File("README.TXT"), NAME_CHECK_VALID);
    EXPECT_EQ(level1File("LONGFILENAME.TXT"), NAME_CHECK_LEVEL1_NAME_TOO_LONG);
    EXPECT_EQ(level1File("FILE.HTML"), NAME_CHECK_LEVEL1_EXTENSION_TOO_LONG);
}

TEST(NameCheckerLevel1, OnlyOneDotInAFileName)
{
    EXPECT_EQ(level1File("A.B.C"), NAME_CHECK_INVALID_CHARACTERS);
    EXPECT_EQ(level1File(repeat(kUmlaut, 3) + "." + repeat(kUmlaut, 2) + ".X"),
              NAME_CHECK_INVALID_CHARACTERS);
    EXPECT_EQ(level1File("FILE."), NAME_CHECK_VALID);
    // Length problems are reported before the extra dot.
    EXPECT_EQ(level1File("ABCDEFGH.I.TXT"), NAME_CHECK_LEVEL1_NAME_TOO_LONG);
    EXPECT_EQ(level1File("A.B.HTML"), NAME_CHECK_LEVEL1_EXTENSION_TOO_LONG);
    // A folder's dots are not an extension: only its length counts.
    EXPECT_EQ(level1Dir("A.B.C"), NAME_CHECK_VALID);
    EXPECT_EQ(level1Dir("ABCD.EFGH"), NAME_CHECK_LEVEL1_NAME_TOO_LONG);
}

TEST(NameCheckerLevel1, BytesThatAreNotUtf8CannotBeCounted)
{
    EXPECT_EQ(level1File("CAF\xC9"), NAME_CHECK_INVALID_CHARACTERS);
    EXPECT_EQ(level1Dir("\xE6\x97"), NAME_CHECK_INVALID_CHARACTERS);
    EXPECT_EQ(level2File("CAF\xC9.TXT"), NAME_CHECK_INVALID_CHARACTERS);
}

TEST(NameCheckerLevel2, ThirtyOneCharactersFitAndThirtyTwoDoNot)
{
    for (const char *character : {"A", kUmlaut, kIdeograph}) {
        EXPECT_EQ(level2File(repeat(character, 31)), NAME_CHECK_VALID) << character;
        EXPECT_EQ(level2Dir(repeat(character, 31)), NAME_CHECK_VALID) << character;
        EXPECT_EQ(level2File(repeat(character, 32)), NAME_CHECK_LEVEL2_FILE_TOO_LONG) << character;
        EXPECT_EQ(level2Dir(repeat(character, 32)), NAME_CHECK_LEVEL2_DIRECTORY_TOO_LONG) << character;
    }
    // Dot and extension count towards the 31; several dots are fine.
    EXPECT_EQ(level2File(repeat(kUmlaut, 27) + ".TXT"), NAME_CHECK_VALID);
    EXPECT_EQ(level2File(repeat(kUmlaut, 28) + ".TXT"), NAME_CHECK_LEVEL2_FILE_TOO_LONG);
    EXPECT_EQ(level2File("archive.tar.gz"), NAME_CHECK_VALID);
}

}  // namespace
