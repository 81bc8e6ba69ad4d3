// The local file system on a real temporary tree.
#include "LinuxFileSystem.h"

#include "Filenames.h"
#include "TestEnvironment.h"
#include "VfsSignalRecorder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vorn::test::printable;
using vorn::test::samePaths;
using vorn::test::VfsSignalRecorder;

using Events = std::vector<std::string>;
const std::string kChanged = "vorn_file_system_changed()";

std::string entryText(const std::string &name, int type)
{
    const std::string n = printable(name.c_str());
    return "entry(" + n + "|" + n + "|" + n + "|" + n + " type=" + std::to_string(type) + ")";
}

std::string take(gchar *text)
{
    std::string result = text ? text : "(null)";
    g_free(text);
    return result;
}

class LinuxFileSystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        vfs_ = LinuxFileSystem_New();
        signals_ = std::make_unique<VfsSignalRecorder>(vfs_);
    }
    void TearDown() override
    {
        signals_.reset();
        g_object_unref(vfs_);
    }

    std::string path(const std::string &relative) const { return (dir_ / relative).string(); }
    void file(const std::string &relative, const std::string &contents = "data")
    {
        vorn::test::writeFile(dir_ / relative, contents);
    }
    void folder(const std::string &relative) { fs::create_directories(dir_ / relative); }

    // name -> type of every entry the listing gives.
    std::map<std::string, int> listing(const std::string &relative = "")
    {
        std::map<std::string, int> entries;
        gpointer handle = VFS_OpenDirectory(vfs_, path(relative).c_str());
        EXPECT_NE(handle, nullptr);
        if (!handle)
            return entries;
        while (VfsDirectoryEntry *entry = VFS_ReadDirectory(vfs_, handle)) {
            for (int kind = 0; kind < VFS_NAME_KINDS; ++kind)
                EXPECT_STREQ(entry->names[kind], entry->names[0]);
            EXPECT_EQ(entry->origin, nullptr);
            entries[entry->names[0]] = entry->type;
            VFS_FreeDirectoryEntry(entry);
        }
        EXPECT_EQ(errno, 0) << "the listing ended on an error";
        EXPECT_EQ(VFS_CloseDirectory(vfs_, handle), 0);
        return entries;
    }

    vorn::test::TempDir tmp_;
    fs::path dir_ = tmp_.path();
    VirtualFileSystem *vfs_ = nullptr;
    std::unique_ptr<VfsSignalRecorder> signals_;
};

TEST_F(LinuxFileSystemTest, ListingGivesEveryEntryWithItsType)
{
    folder("sub");
    file("file.txt");
    file(".hidden");
    ASSERT_EQ(symlink("file.txt", path("link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", path("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);

    const std::map<std::string, int> expected = {
        {"sub", 4}, {"file.txt", 8}, {".hidden", 8}, {"link", 10}, {"dangling", 10}, {"pipe", 1}};
    EXPECT_EQ(listing(), expected);
    EXPECT_TRUE(listing("sub").empty());
}

TEST_F(LinuxFileSystemTest, ListingSomethingThatIsNoFolderFails)
{
    file("plain");
    errno = 0;
    EXPECT_EQ(VFS_OpenDirectory(vfs_, path("missing").c_str()), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(VFS_OpenDirectory(vfs_, path("plain").c_str()), nullptr);
    EXPECT_EQ(errno, ENOTDIR);
}

TEST_F(LinuxFileSystemTest, StatFollowsLinksAndLinkStatDoesNot)
{
    file("target", std::string(1234, 'x'));
    ASSERT_EQ(symlink("target", path("link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", path("dangling").c_str()), 0);

    auto expectSame = [](const VfsStat &got, const struct stat &want) {
        EXPECT_EQ(got.mode, want.st_mode);
        EXPECT_EQ(got.ownerUid, want.st_uid);
        EXPECT_EQ(got.groupGid, want.st_gid);
        EXPECT_EQ(got.sizeBytes, static_cast<guint64>(want.st_size));
        EXPECT_EQ(got.modificationTime, want.st_mtime);
        EXPECT_EQ(got.accessTime, want.st_atime);
        EXPECT_EQ(got.changeTime, want.st_ctime);
        // Disc-only fields stay empty for local files.
        EXPECT_EQ(got.compilationAdditionTime, 0);
        EXPECT_EQ(got.specialFlags, 0u);
        EXPECT_EQ(got.priority, 0);
        EXPECT_EQ(got.multisessionType, 0);
    };
    struct stat followed, notFollowed;
    ASSERT_EQ(stat(path("link").c_str(), &followed), 0);
    ASSERT_EQ(lstat(path("link").c_str(), &notFollowed), 0);

    VfsStat st;
    ASSERT_EQ(VFS_Stat(vfs_, path("link").c_str(), &st), 0);
    expectSame(st, followed);
    EXPECT_EQ(st.sizeBytes, 1234u);
    ASSERT_EQ(VFS_LinkStat(vfs_, path("link").c_str(), &st), 0);
    expectSame(st, notFollowed);
    EXPECT_TRUE(VFS_STAT_IS_SYMLINK(&st));

    ASSERT_EQ(VFS_Stat(vfs_, dir_.c_str(), &st), 0);
    EXPECT_TRUE(VFS_STAT_IS_DIRECTORY(&st));

    errno = 0;
    EXPECT_EQ(VFS_Stat(vfs_, path("dangling").c_str(), &st), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(VFS_LinkStat(vfs_, path("dangling").c_str(), &st), 0);
}

TEST_F(LinuxFileSystemTest, NamesInANonUtf8EncodingAreKeptAsBytes)
{
    // "café.txt" and "été" written in ISO-8859-1, as an old system would have.
    const std::string latin1 = "caf\xe9.txt";
    const std::string renamed = "\xe9t\xe9";
    file(latin1, "bonjour");

    const auto entries = listing();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.begin()->first, latin1);
    EXPECT_EQ(entries.begin()->second, 8);
    // Widgets show the name through the file-name module.
    EXPECT_EQ(take(Filenames_GetDisplayString(entries.begin()->first.c_str())), "caf\xc3\xa9.txt");

    VfsStat st;
    ASSERT_EQ(VFS_Stat(vfs_, path(latin1).c_str(), &st), 0);
    EXPECT_EQ(st.sizeBytes, 7u);
    EXPECT_EQ(take(VFS_GetItemName(vfs_, path(latin1).c_str(), 3)), latin1);

    ASSERT_EQ(VFS_Rename(vfs_, path(latin1).c_str(), renamed.c_str(), 3), 0);
    EXPECT_EQ(vorn::test::readFile(dir_ / renamed), "bonjour");
    const Events expected = {"vorn_rename_file_event(" + printable(path(latin1).c_str()) + ", " +
                                 printable(path(renamed).c_str()) + ", " + printable(renamed.c_str()) + ", 3)",
                             kChanged};
    EXPECT_EQ(signals_->events(), expected);
}

TEST_F(LinuxFileSystemTest, GenericNamesContinueAtTheFirstFreeNumber)
{
    folder("New Folder");
    folder("New Folder 2");
    gchar *created = nullptr;
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(vfs_, dir_.c_str(), 0, &created), 0);
    EXPECT_EQ(take(created), path("New Folder 3"));
    EXPECT_TRUE(fs::is_directory(dir_ / "New Folder 3"));
    EXPECT_EQ(signals_->events(),
              (Events{"vorn_new_folder_event(" + printable(path("New Folder 3").c_str()) + ", 3, " +
                          entryText("New Folder 3", 4) + ", 1)",
                      kChanged}));

    // A gap is filled first, and a file of that name counts as taken too.
    fs::remove(dir_ / "New Folder 2");
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(vfs_, dir_.c_str(), 0, &created), 0);
    EXPECT_EQ(take(created), path("New Folder 2"));
    fs::remove(dir_ / "New Folder");
    file("New Folder");
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(vfs_, dir_.c_str(), 0, &created), 0);
    EXPECT_EQ(take(created), path("New Folder 4"));
}

TEST_F(LinuxFileSystemTest, GenericNamesNeedAnExistingFolder)
{
    file("plain");
    signals_->clear();
    gchar *created = nullptr;
    errno = 0;
    EXPECT_EQ(VFS_CreateDirectoryWithGenericName(vfs_, path("missing").c_str(), 0, &created), -1);
    EXPECT_EQ(errno, ENOENT);
    g_free(created);
    created = nullptr;
    EXPECT_EQ(VFS_CreateDirectoryWithGenericName(vfs_, path("plain").c_str(), 0, &created), -1);
    EXPECT_EQ(errno, ENOTDIR);
    g_free(created);
    EXPECT_TRUE(signals_->events().empty());
}

TEST_F(LinuxFileSystemTest, RecorderSeesTheSpecifiedSignalsOfEachChange)
{
    // Create.
    VfsDirectoryEntry *entry = VFS_CreateDirectory(vfs_, dir_.c_str(), "a", nullptr);
    ASSERT_NE(entry, nullptr);
    VFS_FreeDirectoryEntry(entry);
    file("a/f");
    // Rename a file, then a folder.
    ASSERT_EQ(VFS_Rename(vfs_, path("a/f").c_str(), "g", 3), 0);
    ASSERT_EQ(VFS_Rename(vfs_, path("a").c_str(), "b", 3), 0);
    // Move a file into a new folder.
    folder("c");
    ASSERT_EQ(VFS_Move(vfs_, path("b/g").c_str(), path("c").c_str(), 3, nullptr), 0);
    // Symlink, then delete it and the folder.
    ASSERT_EQ(VFS_Symlink(vfs_, "g", path("c/l").c_str()), 0);
    ASSERT_EQ(VFS_Unlink(vfs_, path("c/l").c_str()), 0);
    ASSERT_EQ(VFS_DeleteDirectory(vfs_, path("b").c_str()), 0);

    const Events expected = {
        "vorn_new_folder_event(" + printable(path("a").c_str()) + ", 3, " + entryText("a", 4) + ", 0)",
        kChanged,
        "vorn_rename_file_event(" + printable(path("a/f").c_str()) + ", " + printable(path("a/g").c_str()) +
            ", \"g\", 3)",
        kChanged,
        "vorn_rename_folder_event(" + printable(path("a").c_str()) + ", " + printable(path("b").c_str()) +
            ", \"b\", 3)",
        kChanged,
        "vorn_delete_file_event(" + samePaths(path("b/g")) + ")",
        "vorn_new_file_event(" + printable(path("c/g").c_str()) + ", 3, " + entryText("g", 8) + ", 0)",
        kChanged,
        "vorn_new_file_event(" + printable(path("c/l").c_str()) + ", 3, " + entryText("l", 10) + ", 0)",
        kChanged,
        "vorn_delete_file_event(" + samePaths(path("c/l")) + ")",
        kChanged,
        "vorn_delete_folder_event(" + samePaths(path("b")) + ")",
        kChanged,
    };
    EXPECT_EQ(signals_->events(), expected);
    EXPECT_EQ(listing("c"), (std::map<std::string, int>{{"g", 8}}));
    EXPECT_FALSE(fs::exists(dir_ / "b"));
}

TEST_F(LinuxFileSystemTest, MovingAFolderIsSignalledAsAFolder)
{
    folder("from/x");
    folder("to");
    ASSERT_EQ(VFS_Move(vfs_, path("from/x").c_str(), path("to").c_str(), 3, nullptr), 0);
    const Events expected = {
        "vorn_delete_folder_event(" + samePaths(path("from/x")) + ")",
        "vorn_new_folder_event(" + printable(path("to/x").c_str()) + ", 3, " + entryText("x", 4) + ", 0)",
        kChanged,
    };
    EXPECT_EQ(signals_->events(), expected);
}

TEST_F(LinuxFileSystemTest, TakenNamesAreReportedAndNothingIsOverwritten)
{
    folder("d");
    folder("dest");
    file("f", "mine");
    file("other", "theirs");
    file("dest/f", "already there");
    ASSERT_EQ(symlink("nowhere", path("link").c_str()), 0);

    // Creating a folder where something is: the thing in the way comes back.
    for (auto [name, type] : {std::pair{"d", 4}, std::pair{"f", 0}, std::pair{"link", 10}}) {
        SCOPED_TRACE(name);
        VfsDirectoryEntry *existing = nullptr;
        errno = 0;
        EXPECT_EQ(VFS_CreateDirectory(vfs_, dir_.c_str(), name, &existing), nullptr);
        EXPECT_EQ(errno, EEXIST);
        ASSERT_NE(existing, nullptr);
        EXPECT_STREQ(existing->names[3], name);
        EXPECT_EQ(existing->type, type);
        VFS_FreeDirectoryEntry(existing);
    }

    // A rename onto a taken name, even onto a dangling link, replaces nothing.
    EXPECT_EQ(VFS_Rename(vfs_, path("f").c_str(), "other", 3), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(VFS_Rename(vfs_, path("f").c_str(), "link", 3), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(vorn::test::readFile(dir_ / "f"), "mine");
    EXPECT_EQ(vorn::test::readFile(dir_ / "other"), "theirs");

    // A move onto a taken name hands out the existing item.
    VfsDirectoryEntry *existing = nullptr;
    EXPECT_EQ(VFS_Move(vfs_, path("f").c_str(), path("dest").c_str(), 3, &existing), -1);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_EQ(existing->type, 8);
    VFS_FreeDirectoryEntry(existing);
    EXPECT_EQ(vorn::test::readFile(dir_ / "f"), "mine");
    EXPECT_EQ(vorn::test::readFile(dir_ / "dest/f"), "already there");

    EXPECT_TRUE(signals_->events().empty());
}

TEST_F(LinuxFileSystemTest, BadNamesAndDestinationsAreRefused)
{
    file("f");
    file("g");
    folder("full/inside");
    struct Case {
        const char *what;
        std::function<int()> call;
        int expectedErrno;
    };
    const std::vector<Case> cases = {
        {"rename with a slash", [&] { return VFS_Rename(vfs_, path("f").c_str(), "x/y", 3); }, EINVAL},
        {"rename to ..", [&] { return VFS_Rename(vfs_, path("f").c_str(), "..", 3); }, EINVAL},
        {"rename to nothing", [&] { return VFS_Rename(vfs_, path("f").c_str(), "", 3); }, EINVAL},
        {"folder named with a slash",
         [&] { return VFS_CreateDirectory(vfs_, dir_.c_str(), "x/y", nullptr) ? 0 : -1; }, EINVAL},
        {"folder in a missing parent",
         [&] { return VFS_CreateDirectory(vfs_, path("missing").c_str(), "x", nullptr) ? 0 : -1; }, ENOENT},
        {"move into a missing folder",
         [&] { return VFS_Move(vfs_, path("f").c_str(), path("missing").c_str(), 3, nullptr); }, EINVAL},
        {"move into a file", [&] { return VFS_Move(vfs_, path("f").c_str(), path("g").c_str(), 3, nullptr); },
         ENOTDIR},
        {"move a missing item", [&] { return VFS_Move(vfs_, path("gone").c_str(), path("full").c_str(), 3, nullptr); },
         ENOENT},
        {"delete a folder that is not empty", [&] { return VFS_DeleteDirectory(vfs_, path("full").c_str()); },
         ENOTEMPTY},
        {"unlink a missing file", [&] { return VFS_Unlink(vfs_, path("gone").c_str()); }, ENOENT},
        {"symlink over a file", [&] { return VFS_Symlink(vfs_, "x", path("g").c_str()); }, EEXIST},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        errno = 0;
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(errno, c.expectedErrno);
    }
    EXPECT_TRUE(signals_->events().empty());
    EXPECT_EQ(listing(), (std::map<std::string, int>{{"f", 8}, {"g", 8}, {"full", 4}}));
}

TEST_F(LinuxFileSystemTest, EveryNameKindIsTheBaseName)
{
    const std::string item = path("a/b.txt");
    for (int kind = 0; kind < VFS_NAME_KINDS; ++kind) {
        EXPECT_EQ(take(VFS_GetItemName(vfs_, item.c_str(), kind)), "b.txt");
        EXPECT_EQ(take(VFS_GetItemFullPath(vfs_, item.c_str(), kind)), item);
    }
    EXPECT_EQ(take(VFS_GetItemChangedName(vfs_, item.c_str(), 0)), "b.txt");
    for (int kind : {1, 2, 3})
        EXPECT_EQ(take(VFS_GetItemChangedName(vfs_, item.c_str(), kind)), "(null)");
}

TEST_F(LinuxFileSystemTest, DiscOperationsAreNotOffered)
{
    errno = 0;
    EXPECT_EQ(VFS_GetItemOrigin(vfs_, "/x"), nullptr);
    EXPECT_EQ(errno, ENOSYS);
    EXPECT_EQ(VFS_Undo(vfs_, 0, 0), -1);
    EXPECT_EQ(errno, ENOSYS);
    EXPECT_EQ(VFS_IoControl(vfs_, 4, nullptr), -1);
    EXPECT_EQ(errno, ENOSYS);
    EXPECT_EQ(VFS_SetItemPriority(vfs_, "/x", 1), -1);
    EXPECT_EQ(errno, ENOSYS);
}

class LinuxFileSystemCopyTest : public LinuxFileSystemTest {
protected:
    VfsDirectoryEntry *copy(const std::string &from, const std::string &to, VfsDirectoryEntry **existing = nullptr,
                            pthread_mutex_t *cancelLock = nullptr)
    {
        return VFS_CopyEx(vfs_, path(from).c_str(), vfs_, path(to).c_str(), 3, existing, 0, 0, 0, 1, 0, cancelLock,
                          1, 1, 1, 0);
    }
    // Several copy blocks and a ragged end.
    const std::string contents_ = [] {
        std::string text;
        for (int i = 0; text.size() < 100000; ++i)
            text += std::to_string(i) + ",";
        return text;
    }();
};

TEST_F(LinuxFileSystemCopyTest, CopiesTheBytesAndTheMode)
{
    file("src/data.bin", contents_);
    ASSERT_EQ(chmod(path("src/data.bin").c_str(), 0640), 0);
    folder("dst");
    VfsDirectoryEntry *entry = copy("src/data.bin", "dst");
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->names[3], "data.bin");
    EXPECT_EQ(entry->type, 8);
    VFS_FreeDirectoryEntry(entry);

    EXPECT_EQ(vorn::test::readFile(dir_ / "dst/data.bin"), contents_);
    struct stat st;
    ASSERT_EQ(stat(path("dst/data.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(signals_->events(), (Events{"vorn_new_file_event(" + printable(path("dst/data.bin").c_str()) +
                                              ", 3, " + entryText("data.bin", 8) + ", 0)",
                                          kChanged}));
}

TEST_F(LinuxFileSystemCopyTest, AnExistingDestinationIsHandedOutAndLeftAlone)
{
    file("src/x", contents_);
    file("dst/x", "keep me");
    VfsDirectoryEntry *existing = nullptr;
    errno = 0;
    EXPECT_EQ(copy("src/x", "dst", &existing), nullptr);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_STREQ(existing->names[0], "x");
    EXPECT_EQ(existing->type, 8);
    VFS_FreeDirectoryEntry(existing);
    EXPECT_EQ(vorn::test::readFile(dir_ / "dst/x"), "keep me");
    EXPECT_TRUE(signals_->events().empty());
}

TEST_F(LinuxFileSystemCopyTest, ACancelledCopyLeavesNoPartialFile)
{
    file("src/x", contents_);
    folder("dst");
    pthread_mutex_t cancelLock = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&cancelLock);
    errno = 0;
    EXPECT_EQ(copy("src/x", "dst", nullptr, &cancelLock), nullptr);
    EXPECT_EQ(errno, ECANCELED);
    pthread_mutex_unlock(&cancelLock);
    EXPECT_FALSE(fs::exists(dir_ / "dst/x"));
    EXPECT_TRUE(signals_->events().empty());

    // An unlocked cancel lock lets the copy through.
    VfsDirectoryEntry *entry = copy("src/x", "dst", nullptr, &cancelLock);
    EXPECT_NE(entry, nullptr);
    VFS_FreeDirectoryEntry(entry);
    EXPECT_EQ(vorn::test::readFile(dir_ / "dst/x"), contents_);
}

TEST_F(LinuxFileSystemCopyTest, AWriteFailureHalfwayLeavesNoPartialFile)
{
    file("src/x", contents_);
    folder("dst");
    // A file-size limit makes the write fail after the first blocks, as a
    // full disk would.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 40000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    errno = 0;
    VfsDirectoryEntry *entry = copy("src/x", "dst");
    const int copyErrno = errno;
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(copyErrno, EFBIG);
    EXPECT_FALSE(fs::exists(dir_ / "dst/x"));
    EXPECT_TRUE(signals_->events().empty());
}

TEST_F(LinuxFileSystemCopyTest, OnlyFilesThatCanBeLookedAtAreCopied)
{
    folder("src/folder");
    folder("dst");
    errno = 0;
    EXPECT_EQ(copy("src/folder", "dst"), nullptr);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(copy("src/missing", "dst"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    file("src/x");
    EXPECT_EQ(copy("src/x", "nowhere"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(listing("dst").empty());
}

}  // namespace
