// Names of the four kinds: collisions, limits, user-set names, the
// changed-name rule and the listing order.
#include "DataFixture.h"

#include <glib.h>

#include <algorithm>
#include <random>
#include <set>

namespace vorn::engine::data::test {
namespace {

using NamesTest = DataFixture;

TEST_F(NamesTest, Level1CollisionsResolveInSortedOrderOfOriginalsWhateverTheInsertionOrder)
{
    std::vector<std::string> originals = {"longfilename1.txt", "LONGFILE.TXT", "longfilenameA.txt",
                                          "longfilename2.txt"};
    // Sorted originals: "LONGFILE.TXT" < "longfilename1.txt" < "...2.txt" < "...A.txt".
    const std::vector<std::string> expected = {"LONGFI~1.TXT", "LONGFILE.TXT", "LONGFI~2.TXT",
                                               "LONGFI~3.TXT"};
    std::sort(originals.begin(), originals.end());
    do {
        auto *c = VornDataCompilation_New();
        auto *r = VornDataCompilation_GetItemFromPath(c, "", 3);
        for (const auto &o : originals)
            ASSERT_NE(VornDataCompilation_InsertNewItem(c, r, source(o).c_str()), nullptr);
        std::vector<std::string> got;
        for (const auto &o : {"longfilename1.txt", "LONGFILE.TXT", "longfilename2.txt",
                              "longfilenameA.txt"})
            got.push_back(VornDataCompilation_GetItemName(
                c, VornDataCompilation_ItemExistsInDirectory(c, r, o, 0), 1));
        EXPECT_EQ(got, expected) << "insertion order starting with " << originals[0];
        VornDataCompilation_Destroy(c);
    } while (std::next_permutation(originals.begin(), originals.end()));
}

TEST_F(NamesTest, IsoNamesMapCharactersAndKeepExtensionsShort)
{
    auto *a = add(root(), "report final.html");
    auto *b = add(root(), ".bashrc");
    auto *d = mkdir(root(), "my.folder");
    EXPECT_EQ(name(a, 1), "REPORT_F.HTM");
    EXPECT_EQ(name(a, 2), "REPORT_FINAL.HTML");
    EXPECT_EQ(name(b, 1), "_BASHRC") << "a leading dot starts no extension";
    EXPECT_EQ(name(d, 1), "MY_FOLDE") << "folders have no extension";

    auto *longName = add(root(), std::string(40, 'x') + ".dat");
    EXPECT_EQ(name(longName, 2), std::string(27, 'X') + ".DAT") << "31 characters in all";

    ASSERT_EQ(VornDataCompilation_SetCharset(h(), 1), 1);
    EXPECT_EQ(name(a, 1), "report f.htm") << "the ASCII character set keeps lower case and spaces";
}

TEST_F(NamesTest, VisibleNamesReplaceForbiddenCharactersUnlessSemicolonsAreAllowed)
{
    auto *a = add(root(), "a:b*c?;d.txt");
    EXPECT_EQ(name(a, 3), "a_b_c__d.txt");
    EXPECT_EQ(name(a, 0), "a:b*c?;d.txt");
    ASSERT_EQ(VornDataCompilation_SetSemicolonsAllowedInJoliet(h(), 1), 1);
    EXPECT_EQ(name(a, 3), "a_b_c_;d.txt");
}

TEST_F(NamesTest, VisibleNamesAreCutToEachLimitWithoutSplittingCharacters)
{
    std::string e;  // "é" is two bytes
    for (int i = 0; i < 125; ++i)
        e += "\xC3\xA9";
    auto *item = add(root(), e + ".txt");
    auto chars = [&] { return utf8Chars(name(item, 3)); };

    struct Case {
        int enhanced, joliet, relax, udf;
        std::size_t limit;
    } cases[] = {{0, 1, 0, 0, 64}, {0, 1, 1, 0, 101}, {0, 0, 0, 1, 127}, {0, 0, 0, 2, 127}};
    for (const auto &c : cases) {
        VornDataCompilation_SetEnhancedVolume(h(), c.enhanced);
        VornDataCompilation_SetJoliet(h(), c.joliet);
        VornDataCompilation_SetRelaxJoliet(h(), c.relax);
        VornDataCompilation_SetUdfSupportType(h(), c.udf);
        EXPECT_EQ(VornDataCompilation_GetVisibleNameLimit(h()), static_cast<int>(c.limit));
        EXPECT_EQ(chars(), c.limit) << "limit " << c.limit;
        EXPECT_TRUE(name(item, 3).ends_with(".txt")) << "the extension survives the cut";
    }
    // ISO 9660:1999 allows 207 characters, but also only 207 bytes.
    VornDataCompilation_SetUdfSupportType(h(), 0);
    VornDataCompilation_SetEnhancedVolume(h(), 1);
    EXPECT_EQ(name(item, 3).size(), 206u) << "101 two-byte characters and the extension";
    EXPECT_TRUE(g_utf8_validate(name(item, 3).c_str(), -1, nullptr));

    auto *ascii = add(root(), std::string(250, 'a'));
    EXPECT_EQ(name(ascii, 3).size(), 207u);
}

TEST_F(NamesTest, TwoNamesCutToTheSameTextAreNumbered)
{
    VornDataCompilation_SetEnhancedVolume(h(), 0);
    auto *a = add(root(), std::string(70, 'n') + "1.txt");
    auto *b = add(root(), std::string(70, 'n') + "2.txt");
    EXPECT_EQ(name(a, 3), std::string(60, 'n') + ".txt");
    EXPECT_EQ(name(b, 3), std::string(58, 'n') + "~1.txt");
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), name(b, 3).c_str(), 3), b);
}

TEST_F(NamesTest, UserNamesOverrideAndAreAvoidedByAutomaticNames)
{
    auto *a = add(root(), "alpha.txt");
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), a, "BETA.TXT", 1), 1);
    auto *b = add(root(), "beta.txt");
    EXPECT_EQ(name(a, 1), "BETA.TXT");
    EXPECT_EQ(name(b, 1), "BETA~1.TXT") << "the user's name is taken first";

    EXPECT_EQ(VornDataCompilation_SetItemName(h(), b, "BETA.TXT", 1), 0) << "a name in use";
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), b, "TOOLONGNAME.TXT", 1), 0);
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), b, "a.txt", 1), 0) << "lower case is not a d-character";
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), b, "x/y", 3), 0);
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), b, "x*y", 3), 0);
    EXPECT_EQ(name(b, 1), "BETA~1.TXT") << "refusals change nothing";

    ASSERT_EQ(VornDataCompilation_SetItemName(h(), b, "Shown name.txt", 3), 1);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "Shown name.txt", 3), b);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "beta.txt", 3), nullptr);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "beta.txt", 0), b);
    EXPECT_EQ(name(b, 1), "BETA~1.TXT") << "automatic names follow originals only";
}

TEST_F(NamesTest, ChangedNamesAreTheOriginalAlwaysAndOtherKindsOnlyWhenSetByTheUser)
{
    auto *dir = mkdir(root(), "Some Folder");
    for (int kind = 1; kind <= 3; ++kind)
        EXPECT_EQ(VornDataCompilation_GetItemChangedName(h(), dir, kind), nullptr) << kind;
    EXPECT_STREQ(VornDataCompilation_GetItemChangedName(h(), dir, 0), "Some Folder");

    ASSERT_EQ(VornDataCompilation_SetItemName(h(), dir, "SOME_FOLDER", 2), 1);
    EXPECT_STREQ(VornDataCompilation_GetItemChangedName(h(), dir, 2), "SOME_FOLDER");
    EXPECT_EQ(VornDataCompilation_GetItemChangedName(h(), dir, 1), nullptr);
    // Setting the automatic name by hand still counts as the user's name, so
    // a reload keeps it even if the folder's other names change.
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), dir, "SOME_FOL", 1), 1);
    EXPECT_STREQ(VornDataCompilation_GetItemChangedName(h(), dir, 1), "SOME_FOL");

    // Kind 0 renames an item made in the compilation; its automatic names follow.
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), dir, "Photos", 0), 1);
    EXPECT_EQ(name(dir, 3), "Photos");
    EXPECT_EQ(name(dir, 1), "SOME_FOL") << "the user's name stays";

    auto *file = add(root(), "file.txt");
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), file, "other.txt", 0), 0)
        << "the original of a local file is its file's name";
}

TEST_F(NamesTest, DroppingAUserNameBringsBackTheAutomaticNameOfTheWholeFolder)
{
    auto *a = add(root(), "alpha.txt");
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), a, "BETA.TXT", 1), 1);
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), a, "Shown.txt", 3), 1);
    auto *b = add(root(), "beta.txt");
    ASSERT_EQ(name(b, 1), "BETA~1.TXT");
    ASSERT_EQ(listing(root()), (std::vector<std::string>{"Shown.txt", "beta.txt"}));

    ASSERT_EQ(VornDataCompilation_SetItemName(h(), a, nullptr, 1), 1);
    EXPECT_EQ(VornDataCompilation_GetItemChangedName(h(), a, 1), nullptr);
    EXPECT_EQ(name(a, 1), "ALPHA.TXT");
    EXPECT_EQ(name(b, 1), "BETA.TXT") << "the neighbour gets the plain name it gave way for";
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "BETA.TXT", 1), b);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "ALPHA.TXT", 1), a);
    EXPECT_STREQ(VornDataCompilation_GetItemChangedName(h(), a, 3), "Shown.txt") << "other kinds keep theirs";

    ASSERT_EQ(VornDataCompilation_SetItemName(h(), a, "", 3), 1);
    EXPECT_EQ(VornDataCompilation_GetItemChangedName(h(), a, 3), nullptr);
    EXPECT_EQ(listing(root()), (std::vector<std::string>{"alpha.txt", "beta.txt"}));
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "alpha.txt", 3), a);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "Shown.txt", 3), nullptr);

    EXPECT_EQ(VornDataCompilation_SetItemName(h(), b, "", 2), 1) << "nothing to drop is no error";
    EXPECT_EQ(name(b, 2), "BETA.TXT");
    auto *dir = mkdir(root(), "made");
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), dir, "", 0), 0) << "an original cannot be empty";
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), dir, nullptr, 0), 0);
    EXPECT_EQ(VornDataCompilation_SetItemName(h(), root(), nullptr, 1), 0) << "the root has no names to drop";
    EXPECT_EQ(name(dir, 3), "made");
}

TEST_F(NamesTest, ListingIsSortedByVisibleNameAndSurvivesDeletesAndReadds)
{
    const std::vector<std::string> names = {"b", "a10", "Z", "a2", "é", "a1"};
    for (const auto &n : names)
        add(root(), n);
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(listing(root()), sorted);

    ASSERT_EQ(VornDataCompilation_DeleteItem(h(), VornDataCompilation_GetItemFromPath(h(), "a2", 3)), 1);
    sorted.erase(std::find(sorted.begin(), sorted.end(), "a2"));
    EXPECT_EQ(listing(root()), sorted);
    add(root(), "a2");
    add(root(), "0");
    sorted.push_back("a2");
    sorted.push_back("0");
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(listing(root()), sorted);
}

TEST_F(NamesTest, NamesOfEachKindAreUniquePerFolderAndAPureFunctionOfTheOriginals)
{
    // Originals that clash in every kind but the original.
    std::vector<std::string> originals;
    for (int i = 0; i < 40; ++i)
        originals.push_back("Holiday photo " + std::to_string(i % 13) + (i % 3 ? ".jpeg" : ".JPEG") +
                            std::string(static_cast<std::size_t>(i % 5), '~'));
    std::sort(originals.begin(), originals.end());
    originals.erase(std::unique(originals.begin(), originals.end()), originals.end());

    auto names = [&](VornDataCompilation *c) {
        std::vector<std::vector<std::string>> out;
        auto *r = VornDataCompilation_GetItemFromPath(c, "", 3);
        for (const auto &o : originals) {
            auto *item = VornDataCompilation_ItemExistsInDirectory(c, r, o.c_str(), 0);
            std::vector<std::string> row;
            for (int kind = 1; kind <= 3; ++kind)
                row.push_back(VornDataCompilation_GetItemName(c, item, kind));
            out.push_back(row);
        }
        return out;
    };
    auto build = [&](bool reversed, bool withChurn, unsigned shuffleSeed = 0) {
        auto *c = VornDataCompilation_New();
        auto *r = VornDataCompilation_GetItemFromPath(c, "", 3);
        std::vector<std::string> order = originals;
        if (reversed)
            std::reverse(order.begin(), order.end());
        if (shuffleSeed)
            std::shuffle(order.begin(), order.end(), std::mt19937(shuffleSeed));
        for (const auto &o : order) {
            auto *added = VornDataCompilation_InsertNewItem(c, r, source(o).c_str());
            EXPECT_NE(added, nullptr);
            for (int kind = 1; kind <= 3 && shuffleSeed; ++kind)
                VornDataCompilation_GetItemName(c, added, kind);
            if (withChurn) {
                // Names read between changes must not steer later ones.
                VornDataCompilation_GetItemName(c, VornDataCompilation_ItemExistsInDirectory(c, r, o.c_str(), 0), 1);
                auto *tmp = VornDataCompilation_InsertNewItem(c, r, source("zz" + o).c_str());
                VornDataCompilation_GetItemName(c, tmp, 3);
                VornDataCompilation_DeleteItem(c, tmp);
            }
        }
        return c;
    };
    auto *forward = build(false, false);
    auto *backward = build(true, true);
    const auto expected = names(forward);
    EXPECT_EQ(names(backward), expected);
    for (int kind = 0; kind < 3; ++kind) {
        std::set<std::string> seen;
        for (const auto &row : expected)
            EXPECT_TRUE(seen.insert(row[static_cast<std::size_t>(kind)]).second)
                << "kind " << kind + 1 << " name " << row[static_cast<std::size_t>(kind)] << " twice";
    }
    // Items landing between named ones, with every name read after each
    // addition, as a view does: the names they push along must end up the same.
    for (unsigned seed = 1; seed <= 5; ++seed) {
        auto *shuffled = build(false, false, seed);
        EXPECT_EQ(names(shuffled), expected) << "order shuffled with seed " << seed;
        VornDataCompilation_Destroy(shuffled);
    }
    VornDataCompilation_Destroy(forward);
    VornDataCompilation_Destroy(backward);
}

TEST(NameRulesTest, IdentifiersAreCorrectedToTheirFieldsPerVolume)
{
    EXPECT_EQ(correctIsoIdentifier(IdField::VolumeLabel, "my disc 2024!"), "MY_DISC_2024_");
    EXPECT_EQ(correctIsoIdentifier(IdField::VolumeLabel, std::string(40, 'a')), std::string(32, 'A'));
    EXPECT_EQ(correctIsoIdentifier(IdField::PublisherId, "Acme, Inc. (2024)"), "ACME, INC. (2024)")
        << "a-characters keep punctuation";
    EXPECT_EQ(correctIsoIdentifier(IdField::ApplicationId, std::string(200, 'x')).size(), 128u);
    EXPECT_EQ(correctIsoIdentifier(IdField::CopyrightFileId, "copy right.txt;1"), "COPY_RIGHT.TXT;1");
    EXPECT_EQ(correctIsoIdentifier(IdField::SystemId, "Gr\xC3\xBC\xC3\x9F" "e"), "GR__E")
        << "one replacement per character, not per byte";
    EXPECT_EQ(correctIsoIdentifier(IdField::SystemId, "LINUX   "), "LINUX")
        << "trailing spaces are padding";

    EXPECT_EQ(correctJolietIdentifier(IdField::VolumeLabel, "Holiday Photos 2024 Summer"), "Holiday Photos 2");
    EXPECT_EQ(correctJolietIdentifier(IdField::VolumeLabel, "a:b/c"), "a_b_c");
    EXPECT_EQ(correctJolietIdentifier(IdField::PublisherId, "a:b/c"), "a:b/c")
        << "only names forbid these";
    EXPECT_EQ(utf8Chars(correctJolietIdentifier(IdField::VolumeSetId, std::string(100, 'v'))), 64u);
    EXPECT_EQ(correctJolietIdentifier(IdField::VolumeLabel, "\xF0\x9F\x93\x80 disc"), "_ disc")
        << "UCS-2 holds no character beyond the basic plane";
    EXPECT_EQ(utf8Chars(correctUdfLabel(std::string(40, 'u'))), 30u);
}

TEST(NameRulesTest, UserNamesAreCheckedAgainstTheirKind)
{
    NameRules rules;
    EXPECT_TRUE(isValidUserName(kIso1, "README.TXT", false, rules));
    EXPECT_FALSE(isValidUserName(kIso1, "LONGFILENAME.TXT", false, rules));
    EXPECT_FALSE(isValidUserName(kIso1, "FILE.HTML", false, rules));
    EXPECT_FALSE(isValidUserName(kIso1, "A.B.C", false, rules));
    EXPECT_FALSE(isValidUserName(kIso1, "DIR.X", true, rules)) << "folders have no dot";
    EXPECT_TRUE(isValidUserName(kIso2, std::string(31, 'A'), false, rules));
    EXPECT_FALSE(isValidUserName(kIso2, std::string(32, 'A'), true, rules));
    EXPECT_FALSE(isValidUserName(kVisible, "", false, rules));
    EXPECT_FALSE(isValidUserName(kVisible, "..", true, rules));
    rules.visibleLimitChars = 64;
    rules.visibleLimitBytes = 0;
    EXPECT_TRUE(isValidUserName(kVisible, std::string(64, 'v'), false, rules));
    EXPECT_FALSE(isValidUserName(kVisible, std::string(65, 'v'), false, rules));
}

}  // namespace
}  // namespace vorn::engine::data::test
