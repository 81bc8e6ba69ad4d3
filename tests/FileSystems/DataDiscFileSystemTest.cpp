// The data disc file system over a real engine data compilation.
#include "DataDiscFixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using vorn::test::DataDiscTest;
using vorn::test::Events;
using vorn::test::printable;
using vorn::test::signalNames;
using vorn::test::takeString;

const std::string kChanged = "vorn_file_system_changed()";

std::vector<std::string> takeList(GList *list)
{
    std::vector<std::string> items;
    for (GList *node = list; node; node = node->next)
        items.push_back(static_cast<const char *>(node->data));
    g_list_free_full(list, g_free);
    return items;
}

// A sparse local file of `bytes` bytes.
void sparseFile(const std::string &path, off_t bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, bytes), 0);
    close(fd);
}

TEST_F(DataDiscTest, RenamingTheRootSetsTheVolumeLabelsAndNoFolder)
{
    quietFolder("/", "docs");
    const auto before = tree();

    ASSERT_EQ(VFS_Rename(disc_, "/", "Holiday", 3), 0) << g_strerror(errno);
    EXPECT_EQ(tree(), before);
    EXPECT_EQ(getText(VFS_IOCTL_GET_JOLIET_VOLUME_LABEL), "Holiday");
    EXPECT_EQ(getText(VFS_IOCTL_GET_UDF_VOLUME_LABEL), "Holiday");
    EXPECT_EQ(getText(VFS_IOCTL_GET_ISO_VOLUME_LABEL), "HOLIDAY");
    EXPECT_EQ(labelChanges_, std::vector<gint>{3});
    EXPECT_EQ(events(), (Events{"vorn_undo_stack_changed(1)",
                                "vorn_rename_folder_event(\"/\", \"/\", \"Holiday\", 3)", kChanged}));
    EXPECT_EQ(takeString(VFS_GetItemName(disc_, "/", 3)), "Holiday");

    // An ISO name for the root changes the ISO label alone.
    clearEvents();
    ASSERT_EQ(VFS_Rename(disc_, "/", "archive", 1), 0) << g_strerror(errno);
    EXPECT_EQ(getText(VFS_IOCTL_GET_ISO_VOLUME_LABEL), "ARCHIVE");
    EXPECT_EQ(getText(VFS_IOCTL_GET_JOLIET_VOLUME_LABEL), "Holiday");
    EXPECT_EQ(getText(VFS_IOCTL_GET_UDF_VOLUME_LABEL), "Holiday");
    EXPECT_EQ(labelChanges_, std::vector<gint>{1});
    EXPECT_EQ(tree(), before);
}

TEST_F(DataDiscTest, UndeletableItemsStayWhateverTheCaller)
{
    setInt(VFS_IOCTL_SET_DVD_VIDEO_COMPILATION, 1);
    quietFolder("/", "VIDEO_TS", 112);
    quietFile("/VIDEO_TS", "VIDEO_TS.IFO", "ifo", 16);
    quietFolder("/", "extras");
    quietFolder("/extras", "locked", 16);
    const auto before = tree();
    EXPECT_NE(before.at("/VIDEO_TS").find("flags=112"), std::string::npos) << before.at("/VIDEO_TS");
    clearEvents();

    EXPECT_EQ(VFS_DeleteDirectory(disc_, "/VIDEO_TS"), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_Unlink(disc_, "/VIDEO_TS/VIDEO_TS.IFO"), -1);
    EXPECT_EQ(errno, EINVAL);
    // A folder holding an undeletable item cannot go either.
    EXPECT_EQ(VFS_DeleteDirectory(disc_, "/extras"), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 0u);
}

TEST_F(DataDiscTest, DvdVideoFolderTakesOnlyDvdVideoFiles)
{
    setInt(VFS_IOCTL_SET_DVD_VIDEO_COMPILATION, 1);
    quietFolder("/", "VIDEO_TS", 112);
    quietFile("/", "VTS_00_1.VOB");
    quietFile("/", "VIDEO_TS.BUP");

    VfsDirectoryEntry *entry = copyIn(localFile("in/VTS_01_1.VOB"), "/VIDEO_TS");
    EXPECT_NE(entry, nullptr) << g_strerror(errno);
    VFS_FreeDirectoryEntry(entry);
    const auto before = tree();
    for (const char *name : {"VTS_00_1.VOB", "VTS_01_0.VOB.BAK"}) {
        errno = 0;
        EXPECT_EQ(copyIn(localFile(std::string("in/") + name), "/VIDEO_TS"), nullptr) << name;
        EXPECT_EQ(errno, EINVAL) << name;
    }
    EXPECT_EQ(VFS_Move(disc_, "/VTS_00_1.VOB", "/VIDEO_TS", 3, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_CreateDirectory(disc_, "/VIDEO_TS", "MENU", nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
    gchar *tried = nullptr;
    EXPECT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/VIDEO_TS", 0, &tried), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(takeString(tried), "/VIDEO_TS/New Folder");
    EXPECT_EQ(tree(), before);

    ASSERT_EQ(VFS_Move(disc_, "/VIDEO_TS.BUP", "/VIDEO_TS", 3, nullptr), 0) << g_strerror(errno);

    // Without the DVD-Video setting the folder is an ordinary one.
    setInt(VFS_IOCTL_SET_DVD_VIDEO_COMPILATION, 0);
    EXPECT_EQ(VFS_Move(disc_, "/VTS_00_1.VOB", "/VIDEO_TS", 3, nullptr), 0) << g_strerror(errno);
}

TEST(DvdVideoFileNameTest, FollowsTheVideoTsNamingScheme)
{
    for (const char *name : {"VIDEO_TS.IFO", "video_ts.vob", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_99_0.BUP",
                             "vts_12_0.vob", "VTS_01_1.VOB", "VTS_45_9.VOB"})
        EXPECT_TRUE(DataDiscFileSystem_IsDvdVideoFileName(name)) << name;
    for (const char *name : {"", "VIDEO_TS.TXT", "VTS_00_1.VOB", "VTS_01_0.VOB.BAK", "VTS_01_1.IFO", "VTS_01_1.BUP",
                             "VTS_1_1.VOB", "VTS_001_1.VOB", "VTS_AB_1.VOB", "VTS_01-1.VOB", "VTS_01_1VVOB",
                             "XTS_01_1.VOB", "VIDEO_TS"})
        EXPECT_FALSE(DataDiscFileSystem_IsDvdVideoFileName(name)) << name;
    EXPECT_FALSE(DataDiscFileSystem_IsDvdVideoFileName(nullptr));
}

TEST_F(DataDiscTest, FilesOverTwoGibibytesNeedAUdfOnlyDisc)
{
    const std::string largest = localFile("largest.bin", "");
    sparseFile(largest, 2147483647);
    const std::string tooLarge = localFile("toolarge.bin", "");
    sparseFile(tooLarge, 2147483648);
    const std::string huge = localFile("huge.bin", "");
    sparseFile(huge, 3000000000);

    VfsDirectoryEntry *entry = copyIn(largest, "/");
    EXPECT_NE(entry, nullptr) << g_strerror(errno);
    VFS_FreeDirectoryEntry(entry);
    const auto before = tree();
    for (int udfSupport : {0, 2}) {
        setInt(VFS_IOCTL_SET_UDF_SUPPORT_TYPE, udfSupport);
        clearEvents();
        for (const std::string &path : {tooLarge, huge}) {
            errno = 0;
            EXPECT_EQ(copyIn(path, "/"), nullptr) << path << " with UDF support " << udfSupport;
            EXPECT_EQ(errno, EFBIG);
        }
        EXPECT_EQ(tree(), before);
        EXPECT_TRUE(events().empty());
    }

    setInt(VFS_IOCTL_SET_UDF_SUPPORT_TYPE, 1);
    entry = copyIn(huge, "/");
    ASSERT_NE(entry, nullptr) << g_strerror(errno);
    VFS_FreeDirectoryEntry(entry);
    VfsStat stat{};
    ASSERT_EQ(VFS_Stat(disc_, "/huge.bin", &stat), 0);
    EXPECT_EQ(stat.sizeBytes, 3000000000u);
}

TEST_F(DataDiscTest, MoveOntoATakenNameFailsAndLeavesTheTreeAsItWas)
{
    quietFolder("/", "a");
    quietFolder("/a", "x");
    quietFile("/a/x", "inner.txt");
    quietFolder("/", "b");
    quietFolder("/b", "x");
    quietFile("/", "note.txt");
    quietFile("/b", "note.txt");
    const auto before = tree();
    clearEvents();

    VfsDirectoryEntry *existing = nullptr;
    EXPECT_EQ(VFS_Move(disc_, "/a/x", "/b", 3, &existing), -1);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_STREQ(existing->names[3], "x");
    EXPECT_EQ(existing->type, VFS_ENTRY_DIRECTORY);
    VFS_FreeDirectoryEntry(existing);
    existing = nullptr;
    EXPECT_EQ(VFS_Move(disc_, "/note.txt", "/b", 3, &existing), -1);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_EQ(existing->type, VFS_ENTRY_UNKNOWN);
    VFS_FreeDirectoryEntry(existing);

    // Other refusals: into itself, into a file, to nowhere, nothing to move.
    EXPECT_EQ(VFS_Move(disc_, "/a", "/a/x", 3, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_Move(disc_, "/a", "/note.txt", 3, nullptr), -1);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(VFS_Move(disc_, "/a", "/missing", 3, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_Move(disc_, "/missing", "/b", 3, nullptr), -1);
    EXPECT_EQ(errno, ENOENT);

    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 0u);
}

TEST_F(DataDiscTest, MoveTellsViewsTheItemLeftAndArrived)
{
    quietFolder("/", "dst");
    quietFile("/", "a.txt");
    clearEvents();
    ASSERT_EQ(VFS_Move(disc_, "/a.txt", "/dst", 3, nullptr), 0) << g_strerror(errno);
    EXPECT_EQ(signalNames(events()), (Events{"vorn_undo_stack_changed", "vorn_delete_file_event",
                                             "vorn_new_file_event", "vorn_file_system_changed"}));
    EXPECT_EQ(listing("/dst"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(listing("/"), std::vector<std::string>{"dst"});
}

TEST_F(DataDiscTest, DeepFolderListingNamesEachFolderBelowLevelEight)
{
    std::string path;
    for (int depth = 1; depth <= 10; ++depth) {
        quietFolder(path.empty() ? "/" : path, "d" + std::to_string(depth));
        path += "/d" + std::to_string(depth);
    }
    quietFile(path, "deep.txt");
    quietFolder("/", "shallow");

    GList *list = nullptr;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_LIST_FOLDERS_DEEPER_THAN_8, &list), 0);
    EXPECT_EQ(takeList(list), (std::vector<std::string>{"/d1/d2/d3/d4/d5/d6/d7/d8/d9",
                                                         "/d1/d2/d3/d4/d5/d6/d7/d8/d9/d10"}));

    // The listing appends to what the caller has.
    list = g_list_append(nullptr, g_strdup("kept"));
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_LIST_FOLDERS_DEEPER_THAN_8, &list), 0);
    EXPECT_EQ(takeList(list).front(), "kept");
}

TEST_F(DataDiscTest, LongPathListingCountsCharactersWithoutTheLeadingSlash)
{
    // Four folders of 60 characters: "a.../b.../c.../d..." is 243 characters.
    std::string folder;
    for (char letter : {'a', 'b', 'c', 'd'}) {
        quietFolder(folder.empty() ? "/" : folder, std::string(60, letter));
        folder += "/" + std::string(60, letter);
    }
    quietFile(folder, std::string(11, 'f'));          // 255 characters: fits
    quietFile(folder, std::string(12, 'g'));          // 256: too long
    quietFile(folder, std::string(5, 'h') + "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");  // 11 characters, 17 bytes
    quietFolder(folder, std::string(13, 'e'));        // a folder too long
    quietFile(folder + "/" + std::string(13, 'e'), "x");

    GList *list = nullptr;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_LIST_PATHS_LONGER_THAN_255, &list), 0);
    const std::vector<std::string> expected = {folder + "/" + std::string(13, 'e'),
                                               folder + "/" + std::string(13, 'e') + "/x",
                                               folder + "/" + std::string(12, 'g')};
    EXPECT_EQ(takeList(list), expected);
}

TEST_F(DataDiscTest, GenericFolderNamesTakeTheFirstFreeNumber)
{
    gchar *path = nullptr;
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/", 0, &path), 0);
    EXPECT_EQ(takeString(path), "/New Folder");
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/", 0, &path), 0);
    EXPECT_EQ(takeString(path), "/New Folder 2");
    clearEvents();
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/", 0, &path), 0);
    EXPECT_EQ(takeString(path), "/New Folder 3");
    ASSERT_EQ(events().size(), 3u);
    EXPECT_EQ(events()[0], "vorn_undo_stack_changed(3)");
    EXPECT_EQ(events()[1].rfind("vorn_new_folder_event(\"/New Folder 3\", 3, entry(", 0), 0u) << events()[1];
    EXPECT_EQ(events()[1].substr(events()[1].size() - 4), ", 1)") << "the generic flag is set";
    EXPECT_EQ(events()[2], kChanged);

    // A freed name is taken again first; a nested folder counts on its own.
    ASSERT_EQ(VFS_DeleteDirectory(disc_, "/New Folder"), 0);
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/", 0, &path), 0);
    EXPECT_EQ(takeString(path), "/New Folder");
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/New Folder 2", 0, &path), 0);
    EXPECT_EQ(takeString(path), "/New Folder 2/New Folder");

    quietFile("/", "file.txt");
    EXPECT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/missing", 0, nullptr), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(VFS_CreateDirectoryWithGenericName(disc_, "/file.txt", 0, nullptr), -1);
    EXPECT_EQ(errno, ENOTDIR);
}

TEST_F(DataDiscTest, CopyingASmallTreeInTellsViewsEachStep)
{
    const std::string top = tmp_.path().string() + "/photos";
    localFile("photos/beach.jpg", "jpeg");
    localFile("photos/2019/snow.jpg", "more jpeg");

    // The walk of a copy worker: folders first, one rollback point after the
    // first step of the batch.
    VfsDirectoryEntry *entry =
        VFS_CreateDirectoryEx(disc_, "/", "photos", nullptr, top.c_str(), 0, 0, 0, 0, 1, 1, 0, 0);
    ASSERT_NE(entry, nullptr);
    VFS_FreeDirectoryEntry(entry);
    ASSERT_EQ(VFS_SetUndoRollbackPoint(disc_, 0), 0);
    entry = VFS_CopyEx(local_, (top + "/beach.jpg").c_str(), disc_, "/photos", 3, nullptr, 0, 0, 0, 1, 0, nullptr, 1,
                       1, 0, 0);
    ASSERT_NE(entry, nullptr);
    VFS_FreeDirectoryEntry(entry);
    entry = VFS_CreateDirectoryEx(disc_, "/photos", "2019", nullptr, (top + "/2019").c_str(), 0, 0, 0, 0, 1, 1, 0, 0);
    ASSERT_NE(entry, nullptr);
    VFS_FreeDirectoryEntry(entry);
    entry = VFS_CopyEx(local_, (top + "/2019/snow.jpg").c_str(), disc_, "/photos/2019", 3, nullptr, 0, 0, 0, 1, 0,
                       nullptr, 1, 1, 0, 0);
    ASSERT_NE(entry, nullptr);
    VFS_FreeDirectoryEntry(entry);

    const std::string origin = printable(top.c_str());
    const Events expected = {
        "vorn_new_folder_event(\"/photos\", 3, entry(\"photos\"|\"PHOTOS\"|\"PHOTOS\"|\"photos\" type=4 origin=" +
            origin.substr(0, origin.size() - 1) + "\"), 0)",
        kChanged,
        "vorn_undo_stack_changed(1)",
        "vorn_new_file_event(\"/photos/beach.jpg\", 3, entry(\"beach.jpg\"|\"BEACH.JPG\"|\"BEACH.JPG\"|\"beach.jpg\" "
        "type=0 origin=" + origin.substr(0, origin.size() - 1) + "/beach.jpg\"), 0)",
        kChanged,
        "vorn_new_folder_event(\"/photos/2019\", 3, entry(\"2019\"|\"2019\"|\"2019\"|\"2019\" type=4 origin=" +
            origin.substr(0, origin.size() - 1) + "/2019\"), 0)",
        kChanged,
        "vorn_new_file_event(\"/photos/2019/snow.jpg\", 3, entry(\"snow.jpg\"|\"SNOW.JPG\"|\"SNOW.JPG\"|\"snow.jpg\" "
        "type=0 origin=" + origin.substr(0, origin.size() - 1) + "/2019/snow.jpg\"), 0)",
        kChanged};
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 1u);

    // The batch goes back in one undo, newest first.
    clearEvents();
    ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), 0);
    EXPECT_TRUE(listing("/").empty());
    EXPECT_EQ(signalNames(events()),
              (Events{"vorn_delete_file_event", "vorn_file_system_changed", "vorn_delete_folder_event",
                      "vorn_file_system_changed", "vorn_delete_file_event", "vorn_file_system_changed",
                      "vorn_delete_folder_event", "vorn_file_system_changed", "vorn_undo_stack_changed"}));
    EXPECT_EQ(events().back(), "vorn_undo_stack_changed(0)");
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 0u);
}

TEST_F(DataDiscTest, CopiesThatFailLeaveTheTreeAsItWas)
{
    quietFolder("/", "folder");
    const std::string taken = quietFile("/", "taken.txt");
    const std::string source = localFile("elsewhere/taken.txt");
    const std::string fresh = localFile("fresh.txt");
    const auto before = tree();
    clearEvents();

    VfsDirectoryEntry *existing = nullptr;
    EXPECT_EQ(copyIn(source, "/", &existing), nullptr);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_STREQ(existing->names[3], "taken.txt");
    VFS_FreeDirectoryEntry(existing);
    EXPECT_EQ(copyIn(tmp_.path().string() + "/elsewhere", "/"), nullptr);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(copyIn(tmp_.path().string() + "/missing.txt", "/"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(copyIn(fresh, "/missing"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(copyIn(fresh, taken), nullptr);
    EXPECT_EQ(errno, EINVAL);
    // A multisession type the engine refuses undoes the insertion.
    EXPECT_EQ(VFS_CopyEx(local_, fresh.c_str(), disc_, "/", 3, nullptr, 0, 0, 99, 1, 0, nullptr, 1, 1, 1, 0), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_CreateDirectoryEx(disc_, "/", "new", nullptr, nullptr, 0, 0, 99, 0, 1, 1, 1, 0), nullptr);
    EXPECT_EQ(errno, EINVAL);
    // Names that are no single component.
    for (const char *name : {"", "a/b", ".", ".."}) {
        EXPECT_EQ(VFS_CreateDirectory(disc_, "/", name, nullptr), nullptr) << name;
        EXPECT_EQ(errno, EINVAL) << name;
    }

    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 0u);
}

TEST_F(DataDiscTest, CopyWithinTheDiscKeepsOriginAndFlags)
{
    quietFolder("/", "a");
    quietFolder("/", "b");
    const std::string original = quietFile("/a", "x.txt", "hello", 32);
    VfsStat stat{};
    ASSERT_EQ(VFS_Stat(disc_, original.c_str(), &stat), 0);
    ASSERT_EQ(stat.specialFlags, 32u);

    VfsDirectoryEntry *entry = VFS_Copy(disc_, original.c_str(), disc_, "/b", 3, nullptr);
    ASSERT_NE(entry, nullptr) << g_strerror(errno);
    EXPECT_EQ(entry->specialFlags, 32u);
    EXPECT_EQ(entry->type, VFS_ENTRY_UNKNOWN);
    VFS_FreeDirectoryEntry(entry);
    EXPECT_EQ(takeString(VFS_GetItemOrigin(disc_, "/b/x.txt")), takeString(VFS_GetItemOrigin(disc_, original.c_str())));
    ASSERT_EQ(VFS_Stat(disc_, "/b/x.txt", &stat), 0);
    EXPECT_EQ(stat.sizeBytes, 5u);

    VfsDirectoryEntry *existing = nullptr;
    EXPECT_EQ(VFS_Copy(disc_, original.c_str(), disc_, "/b", 3, &existing), nullptr);
    EXPECT_EQ(errno, EEXIST);
    VFS_FreeDirectoryEntry(existing);
    EXPECT_EQ(VFS_Copy(disc_, "/a", disc_, "/b", 3, nullptr), nullptr);
    EXPECT_EQ(errno, EISDIR);

    // From another data disc as well.
    VirtualFileSystem *other = DataDiscFileSystem_New(local_);
    entry = VFS_Copy(disc_, original.c_str(), other, "/", 3, nullptr);
    ASSERT_NE(entry, nullptr) << g_strerror(errno);
    VFS_FreeDirectoryEntry(entry);
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(other), 1u);
    g_object_unref(other);
}

TEST_F(DataDiscTest, ItemsLookLikeDiscItems)
{
    quietFolder("/", "folder");
    const std::string file = quietFile("/folder", "file.txt", "twelve bytes");
    VfsStat stat{};
    ASSERT_EQ(VFS_Stat(disc_, "/folder", &stat), 0);
    EXPECT_EQ(stat.mode, 040777u);
    ASSERT_EQ(VFS_LinkStat(disc_, file.c_str(), &stat), 0);
    EXPECT_EQ(stat.mode, 0777u);
    EXPECT_EQ(stat.sizeBytes, 12u);
    EXPECT_EQ(stat.ownerUid, 0u);
    EXPECT_GT(stat.modificationTime, 0);

    EXPECT_EQ(VFS_Stat(disc_, "/nothing", &stat), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(VFS_OpenDirectory(disc_, file.c_str()), nullptr);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(VFS_Unlink(disc_, "/folder"), -1);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(VFS_DeleteDirectory(disc_, file.c_str()), -1);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(VFS_Symlink(disc_, "/folder", "/link"), -1);
    EXPECT_EQ(errno, ENOSYS);

    EXPECT_EQ(VFS_GetItemSourceVFS(disc_, "/anything"), local_);
    EXPECT_EQ(takeString(VFS_GetItemFullPath(disc_, file.c_str(), 1)), "/FOLDER/FILE.TXT");
    EXPECT_EQ(takeString(VFS_GetItemOrigin(disc_, "/folder")), "");
    EXPECT_EQ(VFS_SetItemPriority(disc_, file.c_str(), 7), 0);
    ASSERT_EQ(VFS_Stat(disc_, file.c_str(), &stat), 0);
    EXPECT_EQ(stat.priority, 7);
    EXPECT_EQ(VFS_SetItemCompilationAdditionDate(disc_, file.c_str(), -5), 0);
    ASSERT_EQ(VFS_Stat(disc_, file.c_str(), &stat), 0);
    EXPECT_EQ(stat.compilationAdditionTime, -5);
    EXPECT_EQ(VFS_RefreshItem(disc_, file.c_str()), 0);
}

TEST_F(DataDiscTest, RenameRefusesTakenNamesAndTheLocalFilesOwnName)
{
    quietFile("/", "a.txt");
    quietFile("/", "b.txt");
    quietFolder("/", "made here");
    const auto before = tree();
    clearEvents();

    EXPECT_EQ(VFS_Rename(disc_, "/a.txt", "b.txt", 3), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(VFS_Rename(disc_, "/a.txt", "c.txt", 0), -1);
    EXPECT_EQ(errno, EROFS);
    EXPECT_EQ(VFS_Rename(disc_, "/gone.txt", "c.txt", 3), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(VFS_Rename(disc_, "/a.txt", "x/y", 3), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(events().empty());

    ASSERT_EQ(VFS_Rename(disc_, "/a.txt", "c.txt", 3), 0) << g_strerror(errno);
    EXPECT_EQ(events()[1], "vorn_rename_file_event(\"/a.txt\", \"/c.txt\", \"c.txt\", 3)");
    // A folder made in the compilation has no local name to keep.
    ASSERT_EQ(VFS_Rename(disc_, "/made here", "renamed", 0), 0) << g_strerror(errno);
    EXPECT_EQ(listing("/"), (std::vector<std::string>{"b.txt", "c.txt", "renamed"}));
}

TEST_F(DataDiscTest, SettingsGoToTheEngineAndRefusalsChangeNothing)
{
    setInt(VFS_IOCTL_SET_ROCK_RIDGE, 0);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_ROCK_RIDGE), 0);
    setInt(VFS_IOCTL_SET_ROCK_RIDGE, 1);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_ROCK_RIDGE), 1);
    setInt(VFS_IOCTL_SET_SEMICOLONS_ALLOWED_IN_JOLIET, 1);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_SEMICOLONS_ALLOWED_IN_JOLIET), 1);
    setInt(VFS_IOCTL_SET_UDF_STANDARD, 3);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_UDF_STANDARD), 3);
    setInt(VFS_IOCTL_SET_MULTISESSION_REFRESH, 1);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_MULTISESSION_REFRESH), 1);

    guint16 segment = 0x7c0;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_BOOT_LOAD_SEGMENT, &segment), 0);
    segment = 0;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_GET_BOOT_LOAD_SEGMENT, &segment), 0);
    EXPECT_EQ(segment, 0x7c0);
    gint64 limit = 65536;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_SMALL_FILES_SIZE_LIMIT, &limit), 0);
    limit = 0;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_GET_SMALL_FILES_SIZE_LIMIT, &limit), 0);
    EXPECT_EQ(limit, 65536);
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_BOOT_MESSAGE, const_cast<char *>("Press a key")), 0);
    EXPECT_EQ(getText(VFS_IOCTL_GET_BOOT_MESSAGE), "Press a key");
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_JOLIET_PUBLISHER_IDENTIFIER, const_cast<char *>("Someone")), 0);
    EXPECT_EQ(getText(VFS_IOCTL_GET_JOLIET_PUBLISHER_IDENTIFIER), "Someone");

    // The files date keeps its other half.
    setInt(VFS_IOCTL_SET_FIXED_FILES_DATE, 1000000);
    setInt(VFS_IOCTL_SET_FILES_DATE_TYPE, 2);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_FIXED_FILES_DATE), 1000000);
    setInt(VFS_IOCTL_SET_FIXED_FILES_DATE, 2000000);
    EXPECT_EQ(getInt(VFS_IOCTL_GET_FILES_DATE_TYPE), 2);

    // Sizes: the overhead comes in bytes, the total in bytes and blocks.
    quietFile("/", "some.bin", std::string(5000, 'x'));
    guint64 total = 0, overhead = 0, files = 0;
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_GET_TOTAL_SIZE, &total), 0);
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_GET_FILE_SYSTEM_OVERHEAD, &overhead), 0);
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_GET_FILES_COUNT, &files), 0);
    EXPECT_EQ(static_cast<guint64>(getInt(VFS_IOCTL_GET_TOTAL_BLOCKS)) * 2048u, total);
    EXPECT_EQ(overhead % 2048u, 0u);
    EXPECT_GT(overhead, 0u);
    EXPECT_EQ(files, 1u);

    clearEvents();
    gint32 zero = 0;
    EXPECT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_MEDIUM_TYPE, &zero), -1);
    EXPECT_EQ(errno, EINVAL);
    gint64 negative = -1;
    EXPECT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_SMALL_FILES_SIZE_LIMIT, &negative), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_ISO_VOLUME_LABEL, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    for (gint code : {0, 12, 136, 150, 172, 174, 176, -1}) {
        gint32 value = 0;
        EXPECT_EQ(VFS_IoControl(disc_, code, &value), -1) << code;
        EXPECT_EQ(errno, EINVAL) << code;
    }
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(labelChanges_.empty());
}

TEST_F(DataDiscTest, LabelCodesTellWhichLabelChanged)
{
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_ISO_VOLUME_LABEL, const_cast<char *>("Data")), 0);
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_JOLIET_VOLUME_LABEL, const_cast<char *>("Data")), 0);
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_UDF_VOLUME_LABEL, const_cast<char *>("Data")), 0);
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_SET_ISO_SYSTEM_IDENTIFIER, const_cast<char *>("LINUX")), 0);
    EXPECT_EQ(labelChanges_, (std::vector<gint>{1, 3, 3}));
    EXPECT_EQ(events(), Events(4, kChanged));
    EXPECT_EQ(getText(VFS_IOCTL_GET_ISO_VOLUME_LABEL), "DATA");

    // An import that finds no recorder still tells views to look again.
    clearEvents();
    DataDiscImportTrackArguments import{nullptr, -1, 99};
    ASSERT_EQ(VFS_IoControl(disc_, VFS_IOCTL_IMPORT_TRACK, &import), 0);
    EXPECT_EQ(import.result, 0);
    EXPECT_EQ(labelChanges_, std::vector<gint>{0});
    EXPECT_EQ(imports_, 1);
    EXPECT_EQ(events(), Events{kChanged});
}

TEST(DataDiscFileSystemNewTest, NeedsAFileSystemAsItsSource)
{
    EXPECT_EQ(DataDiscFileSystem_New(nullptr), nullptr);
    GObject *notAFileSystem = static_cast<GObject *>(g_object_new(G_TYPE_OBJECT, nullptr));
    EXPECT_EQ(DataDiscFileSystem_New(reinterpret_cast<VirtualFileSystem *>(notAFileSystem)), nullptr);
    g_object_unref(notAFileSystem);
}

}  // namespace
