// Undo on a data disc: each kind of entry in each undo mode, rollback points,
// and random edit sequences taken back to where they started.
#include "DataDiscFixture.h"
#include "UndoEntries.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using vorn::test::DataDiscTest;
using vorn::test::Events;
using vorn::test::signalNames;
using vorn::test::takeString;

TEST_F(DataDiscTest, UndoWithoutHistoryFailsAndEmitsNothing)
{
    quietFolder("/", "silent");  // changes made without recording leave no history
    EXPECT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(VFS_SetUndoRollbackPoint(disc_, 0), -1);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(VFS_AddUndoEntry(disc_, disc_), -1);
    EXPECT_EQ(errno, EINVAL);
}

// One kind of change, made on a prepared tree; undoing it must give the tree
// back and tell views what the mode says.
struct EntryCase {
    const char *name;
    std::function<void(DataDiscTest &)> prepare;
    std::function<void(DataDiscTest &, VirtualFileSystem *, gint emit)> change;
    Events inverseSignals;  // what undoing with signals emits before the undo stack count
};

struct UndoModeCase {
    EntryCase entry;
    gint recordedEmit;   // emitSignals of the recording operation
    gint undoMode;
    bool expectSignals;  // does the undo tell views?
};

std::string caseName(const testing::TestParamInfo<UndoModeCase> &info)
{
    return std::string(info.param.entry.name) + "_Mode" + std::to_string(info.param.undoMode) + "_Recorded" +
           std::to_string(info.param.recordedEmit);
}

class DataDiscUndoModeTest : public DataDiscTest, public testing::WithParamInterface<UndoModeCase> {
protected:
    // The test body, reachable from the table's lambdas.
    VfsDirectoryEntry *mustCopy(const std::string &localPath, const std::string &folder, gint emit)
    {
        return VFS_CopyEx(local_, localPath.c_str(), disc_, folder.c_str(), 3, nullptr, 0, 0, 0, 1, 0, nullptr, emit,
                          1, 1, 0);
    }

public:
    std::string local(const std::string &relative) { return localFile(relative); }
    void folder(const std::string &parent, const std::string &name, guint32 flags = 0)
    {
        quietFolder(parent, name, flags);
    }
    std::string file(const std::string &folder, const std::string &name) { return quietFile(folder, name); }
    VirtualFileSystem *disc() { return disc_; }
    VirtualFileSystem *localFs() { return local_; }
};

const std::vector<EntryCase> kEntryCases = {
    {"CreateDirectory", [](DataDiscTest &) {},
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) {
         VFS_FreeDirectoryEntry(
             VFS_CreateDirectoryEx(disc, "/", "new", nullptr, nullptr, 0, 0, 0, 0, emit, 1, 1, 0));
     },
     {"vorn_delete_folder_event", "vorn_file_system_changed"}},
    {"DeleteFolder",
     [](DataDiscTest &t) {
         auto &self = static_cast<DataDiscUndoModeTest &>(t);
         self.folder("/", "kept", 96);
         self.folder("/kept", "inner");
         self.file("/kept/inner", "deep.txt");
     },
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) { VFS_DeleteDirectoryEx(disc, "/kept", emit, 1, 1, 0); },
     {"vorn_new_folder_event", "vorn_file_system_changed"}},
    {"UnlinkFile",
     [](DataDiscTest &t) { static_cast<DataDiscUndoModeTest &>(t).file("/", "gone.txt"); },
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) { VFS_UnlinkEx(disc, "/gone.txt", emit, 1, 1, 0); },
     {"vorn_new_file_event", "vorn_file_system_changed"}},
    {"Rename",
     [](DataDiscTest &t) { static_cast<DataDiscUndoModeTest &>(t).file("/", "old.txt"); },
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) { VFS_RenameEx(disc, "/old.txt", "new.txt", 3, emit, 1, 1, 0); },
     {"vorn_rename_file_event", "vorn_file_system_changed"}},
    {"RenameIsoName",
     [](DataDiscTest &t) { static_cast<DataDiscUndoModeTest &>(t).folder("/", "folder"); },
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) { VFS_RenameEx(disc, "/folder", "DIR_1", 1, emit, 1, 1, 0); },
     {"vorn_rename_folder_event", "vorn_file_system_changed"}},
    {"Move",
     [](DataDiscTest &t) {
         auto &self = static_cast<DataDiscUndoModeTest &>(t);
         self.folder("/", "dst");
         self.folder("/", "src");
         self.file("/src", "a.txt");
     },
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) { VFS_MoveEx(disc, "/src/a.txt", "/dst", 3, nullptr, emit, 1, 1, 0); },
     {"vorn_delete_file_event", "vorn_new_file_event", "vorn_file_system_changed"}},
    {"Copy",
     [](DataDiscTest &t) { static_cast<DataDiscUndoModeTest &>(t).local("copied.txt"); },
     [](DataDiscTest &t, VirtualFileSystem *disc, gint emit) {
         auto &self = static_cast<DataDiscUndoModeTest &>(t);
         VFS_FreeDirectoryEntry(VFS_CopyEx(self.localFs(), self.local("copied.txt").c_str(), disc, "/", 3, nullptr, 0,
                                           0, 0, 1, 0, nullptr, emit, 1, 1, 0));
     },
     {"vorn_delete_file_event", "vorn_file_system_changed"}},
    // The user interface records priority changes itself; the priority
    // setter has no silent form, so every mode tells views.
    {"PriorityChanged",
     [](DataDiscTest &t) { static_cast<DataDiscUndoModeTest &>(t).file("/", "first.bin"); },
     [](DataDiscTest &, VirtualFileSystem *disc, gint emit) {
         VFS_SetItemPriority(disc, "/first.bin", 9);
         UndoEntry *entry = PriorityChangedUndoEntry_New("/first.bin", 0, emit);
         VFS_AddUndoEntry(disc, entry);
         g_object_unref(entry);
         VFS_SetUndoRollbackPoint(disc, 0);
     },
     {"vorn_file_system_changed"}},
};

std::vector<UndoModeCase> undoModeCases()
{
    std::vector<UndoModeCase> cases;
    for (const EntryCase &entry : kEntryCases) {
        cases.push_back({entry, 1, VFS_UNDO_EMIT, true});
        cases.push_back({entry, 1, VFS_UNDO_SILENT, false});
        cases.push_back({entry, 1, VFS_UNDO_AS_RECORDED, true});
        cases.push_back({entry, 0, VFS_UNDO_AS_RECORDED, false});
    }
    return cases;
}

TEST_P(DataDiscUndoModeTest, UndoRestoresTheTreeAndSignalsAsTheModeSays)
{
    const UndoModeCase &param = GetParam();
    const bool alwaysSignals = std::string(param.entry.name) == "PriorityChanged";
    param.entry.prepare(*this);
    const auto before = tree();
    param.entry.change(*this, disc_, param.recordedEmit);
    ASSERT_NE(tree(), before) << "the change did nothing";
    ASSERT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 1u);

    clearEvents();
    ASSERT_EQ(VFS_Undo(disc_, param.undoMode, 0), 0);
    EXPECT_EQ(tree(), before);
    Events expected = param.expectSignals || alwaysSignals ? param.entry.inverseSignals : Events{};
    expected.push_back("vorn_undo_stack_changed");
    EXPECT_EQ(signalNames(events()), expected);
    EXPECT_EQ(events().back(), "vorn_undo_stack_changed(0)");
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 0u);
    EXPECT_EQ(VFS_Undo(disc_, param.undoMode, 0), -1);
    EXPECT_EQ(errno, ENOENT);
}

INSTANTIATE_TEST_SUITE_P(EveryEntryKind, DataDiscUndoModeTest, testing::ValuesIn(undoModeCases()), caseName);

TEST_F(DataDiscTest, UndoingAFolderDeletionBringsItBackWithFlagsAndContents)
{
    quietFolder("/", "album", 32);
    quietFile("/album", "track.txt", "words", 64);
    const auto before = tree();
    ASSERT_EQ(VFS_DeleteDirectory(disc_, "/album"), 0);
    clearEvents();
    ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), 0);
    EXPECT_EQ(tree(), before);
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events()[0].rfind("vorn_new_folder_event(\"/album\", 3, entry(\"album\"", 0), 0u) << events()[0];
    EXPECT_NE(events()[0].find("flags=32"), std::string::npos) << events()[0];
}

TEST_F(DataDiscTest, UndoingARootRenameGivesTheOldLabelsBack)
{
    ASSERT_EQ(VFS_Rename(disc_, "/", "First", 3), 0);
    ASSERT_EQ(VFS_Rename(disc_, "/", "Second", 3), 0);
    ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), 0);
    EXPECT_EQ(getText(VFS_IOCTL_GET_JOLIET_VOLUME_LABEL), "First");
    EXPECT_EQ(getText(VFS_IOCTL_GET_UDF_VOLUME_LABEL), "First");
    EXPECT_EQ(getText(VFS_IOCTL_GET_ISO_VOLUME_LABEL), "FIRST");
}

TEST_F(DataDiscTest, OneUndoTakesBackAWholeBatchAndNothingBefore)
{
    quietFolder("/", "batch");
    ASSERT_EQ(VFS_Rename(disc_, "/batch", "incoming", 3), 0);  // an earlier user action
    const auto afterRename = tree();
    for (int i = 0; i < 100; ++i) {
        const std::string source = localFile("many/f" + std::to_string(i) + ".txt");
        VfsDirectoryEntry *entry = VFS_CopyEx(local_, source.c_str(), disc_, "/incoming", 3, nullptr, 0, 0, 0, 1, 0,
                                              nullptr, 0, 1, 0, 1);
        ASSERT_NE(entry, nullptr) << i << ": " << g_strerror(errno);
        VFS_FreeDirectoryEntry(entry);
        if (i == 0) {
            ASSERT_EQ(VFS_SetUndoRollbackPoint(disc_, 1), 0);
        }
    }
    ASSERT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 2u);
    ASSERT_EQ(listing("/incoming").size(), 100u);

    clearEvents();
    ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_AS_RECORDED, 1), 0);
    EXPECT_EQ(tree(), afterRename);
    EXPECT_EQ(events(), Events{"vorn_undo_stack_changed(1)"}) << "silent copies are undone silently";
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 1u);

    ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), 0);
    EXPECT_EQ(listing("/"), std::vector<std::string>{"batch"});
}

TEST_F(DataDiscTest, AnEntryWhoseItemIsGoneIsDroppedAndTheRestIsUndone)
{
    quietFolder("/", "a");
    const auto before = tree();
    ASSERT_EQ(VFS_Rename(disc_, "/a", "b", 3), 0);
    VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(disc_, "/b", "c", nullptr, nullptr, 0, 0, 0, 0, 1, 1, 0, 0));
    // The folder goes behind the history's back; undoing its creation fails.
    ASSERT_EQ(VFS_DeleteDirectoryEx(disc_, "/b/c", 0, 0, 0, 0), 0);
    ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_SILENT, 0), 0);
    EXPECT_EQ(tree(), before);
}

// Random edits, each its own user action, then undone one by one: every undo
// gives back the tree as it was before that action, down to the start.
class RandomEdits {
public:
    RandomEdits(VirtualFileSystem *disc, VirtualFileSystem *local,
                std::function<std::string(const std::string &)> localFile, uint64_t seed)
        : disc_(disc), local_(local), localFile_(std::move(localFile)), random_(seed)
    {
    }

    // One random edit; true when it changed the tree (and so recorded an action).
    bool step()
    {
        const auto folders = collect(true);
        const auto items = collect(false);
        switch (pick(8)) {
        case 0: {
            VfsDirectoryEntry *entry = VFS_CreateDirectory(disc_, choose(folders).c_str(), name().c_str(), nullptr);
            VFS_FreeDirectoryEntry(entry);
            return entry != nullptr;
        }
        case 1:
            return VFS_CreateDirectoryWithGenericName(disc_, choose(folders).c_str(), 0, nullptr) == 0;
        case 2: {
            const std::string source = localFile_("pool/" + std::to_string(pick(5)) + "/" + name() + ".txt");
            VfsDirectoryEntry *entry = VFS_Copy(local_, source.c_str(), disc_, choose(folders).c_str(), 3, nullptr);
            VFS_FreeDirectoryEntry(entry);
            return entry != nullptr;
        }
        case 3: {
            if (items.empty())
                return false;
            // ISO names too: undoing one must give back the automatic name,
            // and the plain name a numbered neighbour gave way for.
            const std::string path = choose(items);
            const int kind = 1 + pick(3);
            return VFS_Rename(disc_, path.c_str(), kind == 3 ? name().c_str() : isoName().c_str(), kind) == 0;
        }
        case 4:
            return !items.empty() && VFS_Move(disc_, choose(items).c_str(), choose(folders).c_str(), 3, nullptr) == 0;
        case 5: {
            if (items.empty())
                return false;
            const std::string path = choose(items);
            VfsStat stat{};
            VFS_Stat(disc_, path.c_str(), &stat);
            return VFS_STAT_IS_DIRECTORY(&stat) ? VFS_DeleteDirectory(disc_, path.c_str()) == 0
                                                : VFS_Unlink(disc_, path.c_str()) == 0;
        }
        case 6: {
            if (items.empty())
                return false;
            const std::string path = choose(items);
            VfsStat stat{};
            if (VFS_Stat(disc_, path.c_str(), &stat) != 0 || VFS_STAT_IS_DIRECTORY(&stat))
                return false;
            VfsDirectoryEntry *entry = VFS_Copy(disc_, path.c_str(), disc_, choose(folders).c_str(), 3, nullptr);
            VFS_FreeDirectoryEntry(entry);
            return entry != nullptr;
        }
        default: {
            if (items.empty())
                return false;
            const std::string path = choose(items);
            VfsStat stat{};
            VFS_Stat(disc_, path.c_str(), &stat);
            if (VFS_SetItemPriority(disc_, path.c_str(), pick(100)) != 0)
                return false;
            UndoEntry *entry = PriorityChangedUndoEntry_New(path.c_str(), stat.priority, 1);
            VFS_AddUndoEntry(disc_, entry);
            g_object_unref(entry);
            return VFS_SetUndoRollbackPoint(disc_, 0) == 0;
        }
        }
    }

private:
    // Derived from the generator directly: standard distributions differ
    // between libraries, and the seed must replay everywhere.
    int pick(int count) { return static_cast<int>(random_() % static_cast<uint64_t>(count)); }
    std::string choose(const std::vector<std::string> &from) { return from[pick(static_cast<int>(from.size()))]; }
    std::string name()
    {
        static const char *const names[] = {"alpha", "beta", "Gamma", "delta", "eps ilon", "zeta", "ETA", "théta"};
        return names[pick(8)];
    }
    // Valid in both ISO levels for files and folders, and never the automatic
    // name of an item here: a name another item holds is refused (EEXIST), so
    // a rename away from a hand-set name that a neighbour then takes
    // automatically could not be undone.
    std::string isoName()
    {
        static const char *const names[] = {"PICKED", "KEEP_1", "OWN_NAME", "X_1"};
        return names[pick(4)];
    }
    std::vector<std::string> collect(bool foldersOnly)
    {
        std::vector<std::string> paths;
        if (foldersOnly)
            paths.push_back("/");
        collectBelow("/", foldersOnly, paths);
        return paths;
    }
    void collectBelow(const std::string &folder, bool foldersOnly, std::vector<std::string> &paths)
    {
        gpointer handle = VFS_OpenDirectory(disc_, folder.c_str());
        while (VfsDirectoryEntry *entry = handle ? VFS_ReadDirectory(disc_, handle) : nullptr) {
            const std::string path = (folder == "/" ? "" : folder) + "/" + entry->names[3];
            const bool isFolder = entry->type == VFS_ENTRY_DIRECTORY;
            VFS_FreeDirectoryEntry(entry);
            if (isFolder || !foldersOnly)
                paths.push_back(path);
            if (isFolder)
                collectBelow(path, foldersOnly, paths);
        }
        if (handle)
            VFS_CloseDirectory(disc_, handle);
    }

    VirtualFileSystem *disc_;
    VirtualFileSystem *local_;
    std::function<std::string(const std::string &)> localFile_;
    std::mt19937_64 random_;
};

// The items on which two pictures of a tree differ, one line each; "" when equal.
std::string differences(const std::map<std::string, std::string> &now, const std::map<std::string, std::string> &expected)
{
    std::string text;
    for (const auto &[path, description] : expected) {
        const auto found = now.find(path);
        if (found == now.end())
            text += "missing " + path + ": " + description + "\n";
        else if (found->second != description)
            text += "changed " + path + ": " + found->second + "\n   expected " + description + "\n";
    }
    for (const auto &[path, description] : now)
        if (!expected.count(path))
            text += "extra " + path + ": " + description + "\n";
    return text;
}

class DataDiscRandomUndoTest : public DataDiscTest {
protected:
    // Every item with its four names, whether each was changed by hand, its
    // size and priority.
    std::map<std::string, std::string> comparableTree()
    {
        std::map<std::string, std::string> items;
        addComparable("/", items);
        return items;
    }

    void addComparable(const std::string &folder, std::map<std::string, std::string> &items)
    {
        gpointer handle = VFS_OpenDirectory(disc_, folder.c_str());
        ASSERT_NE(handle, nullptr) << folder;
        while (VfsDirectoryEntry *entry = VFS_ReadDirectory(disc_, handle)) {
            const std::string path = (folder == "/" ? "" : folder) + "/" + entry->names[3];
            VfsStat stat{};
            EXPECT_EQ(VFS_Stat(disc_, path.c_str(), &stat), 0) << path;
            std::string changed;
            for (gint kind = 1; kind <= 3; ++kind) {
                gchar *name = VFS_GetItemChangedName(disc_, path.c_str(), kind);
                changed += name ? std::string(" set") + std::to_string(kind) + "=" + name : "";
                g_free(name);
            }
            items[path] = vorn::test::describeEntry(entry) + changed + " size=" + std::to_string(stat.sizeBytes) +
                          " priority=" + std::to_string(stat.priority);
            const bool isFolder = entry->type == VFS_ENTRY_DIRECTORY;
            VFS_FreeDirectoryEntry(entry);
            if (isFolder)
                addComparable(path, items);
        }
        VFS_CloseDirectory(disc_, handle);
    }

    static uint64_t seed()
    {
        const char *given = std::getenv("VORN_TEST_SEED");
        return given ? std::strtoull(given, nullptr, 10) : 20240917u;
    }
};

TEST_F(DataDiscRandomUndoTest, UndoingEveryActionRestoresTheEngineTreeExactly)
{
    const uint64_t seedValue = seed();
    std::printf("seed %llu (replay with VORN_TEST_SEED)\n", static_cast<unsigned long long>(seedValue));
    SCOPED_TRACE("seed " + std::to_string(seedValue) + ", replay with VORN_TEST_SEED=" + std::to_string(seedValue));

    quietFolder("/", "music");
    quietFolder("/music", "rock", 32);
    quietFile("/music/rock", "song.txt");
    quietFolder("/", "VIDEO_TS", 112);
    quietFile("/", "readme.txt");

    RandomEdits edits(disc_, local_, [this](const std::string &p) { return localFile(p); }, seedValue);
    std::vector<std::map<std::string, std::string>> before{comparableTree()};
    for (int step = 0; step < 300; ++step) {
        const auto current = comparableTree();
        if (edits.step()) {
            before.push_back(current);
        } else {
            ASSERT_EQ(differences(comparableTree(), current), "") << "a failed edit changed the tree at step " << step;
        }
    }
    ASSERT_EQ(VFS_GetUndoRollbackPointsCount(disc_), before.size() - 1);
    ASSERT_GT(before.size(), 100u) << "too few edits succeeded to prove anything";

    while (before.size() > 1) {
        ASSERT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), 0);
        ASSERT_EQ(differences(comparableTree(), before.back()), "") << "undo of action " << before.size() - 1;
        before.pop_back();
    }
    EXPECT_EQ(VFS_GetUndoRollbackPointsCount(disc_), 0u);
    EXPECT_EQ(VFS_Undo(disc_, VFS_UNDO_EMIT, 0), -1);
}

}  // namespace
