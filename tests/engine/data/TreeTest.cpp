// The item tree: paths, deleting, moving, detached copies, adding local
// files, settings that correct or map what they are given.
#include "DataFixture.h"

#include <filesystem>
#include <random>
#include <set>

namespace vorn::engine::data::test {
namespace {

using TreeTest = DataFixture;

TEST_F(TreeTest, PathsResolveInEachKindAndFullPathsStartWithASlash)
{
    auto *docs = mkdir(root(), "My Documents");
    auto *file = add(docs, "letter to bob.txt");
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "My Documents/letter to bob.txt", 3), file);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "/My Documents/letter to bob.txt", 3), file);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "MY_DOCUM/LETTER_T.TXT", 1), file);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "My Documents/missing", 3), nullptr);
    EXPECT_EQ(VornDataCompilation_GetItemFromPath(h(), "My Documents/letter to bob.txt/x", 3), nullptr);
    EXPECT_STREQ(VornDataCompilation_GetItemFullPath(h(), file, 3), "/My Documents/letter to bob.txt");
    EXPECT_STREQ(VornDataCompilation_GetItemFullPath(h(), file, 2), "/MY_DOCUMENTS/LETTER_TO_BOB.TXT");
    EXPECT_STREQ(VornDataCompilation_GetItemFullPath(h(), root(), 3), "/");
    EXPECT_EQ(VornDataCompilationItem_GetFilePath(file), (tmp_ / "letter to bob.txt").string());
    EXPECT_STREQ(VornDataCompilationItem_GetFilePath(docs), "");
}

TEST_F(TreeTest, UndeletableItemsAndTheFoldersHoldingThemAreRefused)
{
    auto *video = VornDataCompilation_CreateDirectory(h(), root(), "VIDEO_TS", nullptr, 0x700, 0, 0);
    ASSERT_NE(video, nullptr);
    auto *outer = mkdir(root(), "outer");
    auto *inner = add(outer, "keep.txt");
    ASSERT_EQ(VornDataCompilationItem_SetSpecialFlags(inner, VORN_DATA_ITEM_UNDELETABLE, 0), 1);

    EXPECT_EQ(VornDataCompilation_DeleteDirectory(h(), video), 0);
    EXPECT_EQ(VornDataCompilation_DeleteDirectory(h(), outer), 0);
    EXPECT_EQ(VornDataCompilation_DeleteItem(h(), inner), 0);
    EXPECT_EQ(VornDataCompilation_DeleteItem(h(), outer), 0) << "a folder is not an item to unlink";
    EXPECT_EQ(VornDataCompilation_DeleteDirectory(h(), root()), 0);
    EXPECT_EQ(VornDataCompilation_GetFilesCount(h()), 1u);
    EXPECT_EQ(VornDataCompilation_GetFoldersCount(h()), 2u);

    EXPECT_EQ(VornDataCompilationItem_SetSpecialFlags(inner, 0x800, 0), 0) << "unknown flag";
    EXPECT_EQ(VornDataCompilationItem_SetSpecialFlags(inner, 0, 1), 0) << "reserved argument";
    ASSERT_EQ(VornDataCompilationItem_SetSpecialFlags(inner, 0, 0), 1);
    EXPECT_EQ(VornDataCompilation_DeleteDirectory(h(), outer), 1);
    EXPECT_EQ(VornDataCompilation_GetFilesCount(h()), 0u);
    EXPECT_EQ(VornDataCompilation_GetFoldersCount(h()), 1u);
}

TEST_F(TreeTest, MovesIntoOwnSubtreeOrOntoAUserNameInUseAreRefused)
{
    auto *a = mkdir(root(), "a");
    auto *b = mkdir(a, "b");
    auto *f = add(root(), "f.txt");
    EXPECT_EQ(VornDataCompilation_MoveItem(h(), a, b, 0, 0), 0);
    EXPECT_EQ(VornDataCompilation_MoveItem(h(), a, a, 0, 0), 0);
    EXPECT_EQ(VornDataCompilation_MoveItem(h(), root(), b, 0, 0), 0);
    EXPECT_EQ(VornDataCompilation_MoveItem(h(), f, f, 0, 0), 0) << "a file is no destination";

    auto *g = add(b, "g.txt");
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), g, "Shared", 3), 1);
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), f, "Shared", 3), 1);
    EXPECT_EQ(VornDataCompilation_MoveItem(h(), f, b, 0, 0), 0);
    EXPECT_EQ(listing(b), (std::vector<std::string>{"Shared"}));

    ASSERT_EQ(VornDataCompilation_MoveItem(h(), b, root(), 0, 0), 1);
    EXPECT_STREQ(VornDataCompilation_GetItemFullPath(h(), g, 3), "/b/Shared");
    EXPECT_EQ(VornDataCompilation_GetFoldersCount(h()), 2u);
}

TEST_F(TreeTest, DetachedCopiesAreDeepAndOutliveTheirCompilation)
{
    auto *dir = mkdir(root(), "dir");
    auto *f = add(dir, "f.txt", 5000);
    VornDataCompilationItem_SetPriority(f, 7);
    ASSERT_EQ(VornDataCompilation_SetItemName(h(), f, "F_RENAME.TXT", 1), 1);

    auto *copy = VornDataCompilation_CopyItem(h(), dir);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(VornDataCompilation_DeleteDirectory(h(), dir), 1);
    EXPECT_EQ(VornDataCompilation_GetUserDataSize(h()), 0u);
    VornDataCompilationItem_Destroy(root());  // attached: ignored

    auto *back = VornDataCompilation_InsertExistingItem(h(), root(), copy);
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back, copy) << "the engine inserts a copy";
    auto *f2 = VornDataCompilation_GetItemFromPath(h(), "dir/f.txt", 3);
    ASSERT_NE(f2, nullptr);
    EXPECT_EQ(name(f2, 1), "F_RENAME.TXT");
    EXPECT_EQ(VornDataCompilationItem_GetPriority(f2), 7);
    EXPECT_EQ(VornDataCompilation_GetUserDataSize(h()), 5000u);

    auto *other = VornDataCompilation_New();
    auto *again = VornDataCompilation_CopyItem(h(), back);
    VornDataCompilation_Destroy(h_);
    h_ = other;
    ASSERT_NE(VornDataCompilation_InsertExistingItem(h(), root(), again), nullptr);
    EXPECT_EQ(VornDataCompilationItem_GetFilePath(VornDataCompilation_GetItemFromPath(h(), "dir/f.txt", 3)),
              (tmp_ / "f.txt").string());
    VornDataCompilationItem_Destroy(again);
    VornDataCompilationItem_Destroy(copy);
}

TEST_F(TreeTest, AnItemPutBackAfterItsDeletionTakesItsNamesBackAndOtherCopiesComeLast)
{
    std::filesystem::create_directories(tmp_ / "a");
    std::filesystem::create_directories(tmp_ / "b");
    auto *first = VornDataCompilation_InsertNewItem(h(), root(), source("a/same.txt").c_str());
    auto *second = VornDataCompilation_InsertNewItem(h(), root(), source("b/same.txt").c_str());
    ASSERT_TRUE(first && second);
    ASSERT_EQ(name(first, 1), "SAME.TXT");
    ASSERT_EQ(name(second, 1), "SAME~1.TXT");

    auto *copy = VornDataCompilation_CopyItem(h(), first);
    ASSERT_EQ(VornDataCompilation_DeleteItem(h(), first), 1);
    EXPECT_EQ(name(second, 1), "SAME.TXT");
    auto *back = VornDataCompilation_InsertExistingItem(h(), root(), copy);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(name(back, 1), "SAME.TXT") << "equal originals keep their order of creation";
    EXPECT_EQ(name(second, 1), "SAME~1.TXT");

    auto *again = VornDataCompilation_CopyItem(h(), back);
    auto *third = VornDataCompilation_InsertExistingItem(h(), root(), again);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(name(third, 1), "SAME~2.TXT") << "a copy of a live item is a new item";
    EXPECT_EQ(name(back, 1), "SAME.TXT");
    VornDataCompilationItem_Destroy(again);
    VornDataCompilationItem_Destroy(copy);
}

TEST_F(TreeTest, InsertNewItemTakesRegularFilesAndKeepsUnresolvedLinksAsLinks)
{
    std::filesystem::create_directory(tmp_ / "folder");
    EXPECT_EQ(VornDataCompilation_InsertNewItem(h(), root(), (tmp_ / "folder").c_str()), nullptr);
    EXPECT_EQ(VornDataCompilation_InsertNewItem(h(), root(), "relative.txt"), nullptr);
    EXPECT_EQ(VornDataCompilation_InsertNewItem(h(), root(), (tmp_ / "missing").c_str()), nullptr);
    EXPECT_EQ(VornDataCompilation_InsertNewItem(h(), root(), "/dev/null"), nullptr);

    std::filesystem::create_symlink(tmp_ / "nowhere", tmp_ / "dangling");
    auto *link = VornDataCompilation_InsertNewItem(h(), root(), (tmp_ / "dangling").c_str());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(VornDataCompilationItem_GetType(link), VORN_DATA_ITEM_SYMLINK);

    std::filesystem::create_symlink(source("target", 3000), tmp_ / "good link");
    auto *followed = VornDataCompilation_InsertNewItem(h(), root(), (tmp_ / "good link").c_str());
    ASSERT_NE(followed, nullptr);
    EXPECT_EQ(VornDataCompilationItem_GetType(followed), VORN_DATA_ITEM_FILE);
    EXPECT_EQ(VornDataCompilationItem_GetFileSize(followed), 3000u);
    EXPECT_EQ(name(followed, 0), "good link");
    EXPECT_EQ(VornDataCompilation_GetFilesCount(h()), 2u);
    EXPECT_EQ(VornDataCompilation_InsertNewItem(h(), followed, (tmp_ / "target").c_str()), nullptr)
        << "a file is no folder";
}

TEST_F(TreeTest, HashedLookupFindsEveryItemThroughGrowthAndDeletions)
{
    auto *c = h();
    auto *r = root();
    std::vector<VornDataCompilationItem *> items;
    for (int i = 0; i < 3000; ++i)
        items.push_back(VornDataCompilation_CreateDirectory(c, r, ("d" + std::to_string(i)).c_str(),
                                                            nullptr, 0, 0, 1));
    std::mt19937_64 rng(42);
    std::set<int> deleted;
    for (int k = 0; k < 1500; ++k) {
        const int i = static_cast<int>(rng() % 3000);
        if (deleted.insert(i).second) {
            ASSERT_EQ(VornDataCompilation_DeleteDirectory(c, items[static_cast<std::size_t>(i)]), 1);
        }
    }
    for (int i = 0; i < 3000; ++i) {
        const std::string n = "d" + std::to_string(i);
        auto *found = VornDataCompilation_ItemExistsInDirectory(c, r, n.c_str(), 0);
        auto *visible = VornDataCompilation_ItemExistsInDirectory(c, r, n.c_str(), 3);
        if (deleted.count(i)) {
            EXPECT_EQ(found, nullptr) << n;
            EXPECT_EQ(visible, nullptr) << n;
        } else {
            EXPECT_EQ(found, items[static_cast<std::size_t>(i)]) << n;
            EXPECT_EQ(visible, found) << n;
        }
    }
    EXPECT_EQ(VornDataCompilation_GetFoldersCount(c), 3000u - deleted.size());
    EXPECT_EQ(listing(r).size(), 3000u - deleted.size());
}

TEST_F(TreeTest, CreateDirectoryRefusesTakenNamesUnlessTheCheckIsSkipped)
{
    mkdir(root(), "x");
    EXPECT_EQ(VornDataCompilation_CreateDirectory(h(), root(), "x", nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(VornDataCompilation_CreateDirectory(h(), root(), "bad/name", nullptr, 0, 0, 1), nullptr);
    EXPECT_EQ(VornDataCompilation_CreateDirectory(h(), root(), "..", nullptr, 0, 0, 1), nullptr);
    EXPECT_EQ(VornDataCompilation_CreateDirectory(h(), root(), "y", nullptr, 0, 1, 0), nullptr)
        << "reserved argument";
    auto *twin = VornDataCompilation_CreateDirectory(h(), root(), "x", nullptr, 0, 0, 1);
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(name(twin, 3), "x~1") << "visible names stay unique";
}

// --- Settings that correct, clamp or map ---

TEST_F(TreeTest, IdentifiersAreReadBackAsEachVolumeWillHoldThem)
{
    ASSERT_EQ(VornDataCompilation_SetIsoVolumeLabel(h(), "Holiday 2024"), 1);
    ASSERT_EQ(VornDataCompilation_SetJolietVolumeLabel(h(), "Holiday 2024: the Alps"), 1);
    ASSERT_EQ(VornDataCompilation_SetUdfVolumeLabel(h(), std::string(35, 'u').c_str()), 1);
    ASSERT_EQ(VornDataCompilation_SetIsoPublisherIdentifier(h(), "me@example.org"), 1);
    auto text = [](char *s) {
        std::string out = s ? s : "<null>";
        VornFreeMem(s);
        return out;
    };
    EXPECT_EQ(text(VornDataCompilation_GetIsoVolumeLabel(h())), "HOLIDAY_2024");
    EXPECT_EQ(text(VornDataCompilation_GetJolietVolumeLabel(h())), "Holiday 2024_ th");
    EXPECT_EQ(text(VornDataCompilation_GetUdfVolumeLabel(h())), std::string(30, 'u'));
    EXPECT_EQ(text(VornDataCompilation_GetIsoPublisherIdentifier(h())), "ME_EXAMPLE.ORG");
    EXPECT_EQ(text(VornDataCompilation_GetIsoApplicationIdentifier(h())), "VORN LINUX");
    EXPECT_EQ(text(VornDataCompilation_GetJolietApplicationIdentifier(h())), "Vorn Linux");
    EXPECT_EQ(VornDataCompilation_SetIsoSystemIdentifier(h(), nullptr), 0);
    EXPECT_EQ(text(VornDataCompilation_GetIsoSystemIdentifier(h())), "");
}

TEST_F(TreeTest, DatesKeepMinusOneAsNotSet)
{
    EXPECT_EQ(VornDataCompilation_GetVolumeCreationDate(h()), -1);
    ASSERT_EQ(VornDataCompilation_SetVolumeCreationDate(h(), 1700000000), 1);
    ASSERT_EQ(VornDataCompilation_SetVolumeExpirationDate(h(), -1), 1);
    EXPECT_EQ(VornDataCompilation_GetVolumeCreationDate(h()), 1700000000);
    EXPECT_EQ(VornDataCompilation_GetVolumeModificationDate(h()), -1);
    EXPECT_EQ(VornDataCompilation_GetVolumeExpirationDate(h()), -1);

    ASSERT_EQ(VornDataCompilation_SetFilesDate(h(), 9, -1), 1);
    EXPECT_EQ(VornDataCompilation_GetFilesDateType(h()), VORN_FILES_DATE_ORIGINAL);
    EXPECT_EQ(VornDataCompilation_GetFixedFilesDate(h()), -1);
    ASSERT_EQ(VornDataCompilation_SetFilesDate(h(), 2, 1600000000), 1);
    EXPECT_EQ(VornDataCompilation_GetFilesDateType(h()), VORN_FILES_DATE_FIXED);
    EXPECT_EQ(VornDataCompilation_GetFixedFilesDate(h()), 1600000000);
}

TEST_F(TreeTest, TheRevisionPairSelectsTheVolumes)
{
    struct Case {
        int enhanced, joliet, limit;
        std::uint32_t descriptorBlocks;
    } cases[] = {{0, 0, 64, 18}, {1, 0, 207, 19}, {1, 1, 207, 20}, {0, 1, 64, 19}};
    VornDataCompilation_SetRockRidge(h(), 0);
    for (const auto &c : cases) {
        VornDataCompilation_SetEnhancedVolume(h(), c.enhanced);
        VornDataCompilation_SetJoliet(h(), c.joliet);
        EXPECT_EQ(VornDataCompilation_GetVisibleNameLimit(h()), c.limit);
        const std::uint32_t volumes = 1 + static_cast<std::uint32_t>(c.enhanced + c.joliet);
        // Per volume two path tables and the root's extent.
        EXPECT_EQ(VornDataCompilation_GetFileSystemOverheadBlocks(h()), c.descriptorBlocks + 3 * volumes)
            << "enhanced " << c.enhanced << " joliet " << c.joliet;
    }
}

TEST_F(TreeTest, OutOfRangeValuesAreMappedAsTheApplicationMapsThem)
{
    ASSERT_EQ(VornDataCompilation_SetBootLocale(h(), 25), 1);
    EXPECT_EQ(VornDataCompilation_GetBootLocale(h()), 3);
    ASSERT_EQ(VornDataCompilation_SetBootEmulationType(h(), 7), 1);
    EXPECT_EQ(VornDataCompilation_GetBootEmulationType(h()), 0);
    ASSERT_EQ(VornDataCompilation_SetBootEmulationType(h(), 4), 1);
    EXPECT_EQ(VornDataCompilation_GetBootEmulationType(h()), 4);
    ASSERT_EQ(VornDataCompilation_SetUdfStandard(h(), 6), 1);
    EXPECT_EQ(VornDataCompilation_GetUdfStandard(h()), 0);
    ASSERT_EQ(VornDataCompilation_SetIsoLevel(h(), 5), 1);
    EXPECT_EQ(VornDataCompilation_GetIsoLevel(h()), 0);
    ASSERT_EQ(VornDataCompilation_SetMultisessionType(h(), 9), 1);
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(h()), VORN_MULTISESSION_NONE);
    ASSERT_EQ(VornDataCompilation_SetRockRidge(h(), 42), 1);
    EXPECT_EQ(VornDataCompilation_GetRockRidge(h()), 1);
    ASSERT_EQ(VornDataCompilation_SetBootLoadSegment(h(), 0), 1);
    EXPECT_EQ(VornDataCompilation_GetBootLoadSegment(h()), 0) << "written as given";
    EXPECT_EQ(VornDataCompilation_SetSmallFilesSizeLimit(h(), -1), 0);
    EXPECT_EQ(VornDataCompilation_GetSmallFilesSizeLimit(h()), 65536);
    EXPECT_EQ(VornDataCompilation_SetMediumType(h(), 0), 0);
    EXPECT_EQ(VornDataCompilation_GetMediumType(h()), static_cast<std::uint32_t>(VORN_FAMILY_CD));
    EXPECT_EQ(VornDataCompilation_GetBootLoadSegment(nullptr), 0) << "a null handle answers, not crashes";
}

}  // namespace
}  // namespace vorn::engine::data::test
