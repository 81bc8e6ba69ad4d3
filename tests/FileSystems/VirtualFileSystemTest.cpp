// The VFS_ dispatchers against a scripted file system: argument checks, empty
// slots, the signals views follow, errno keeping, undo recording through the
// recorder hook, and the GDK lock around signals from worker threads.
#include "VirtualFileSystem.h"

#include "BooleanOption.h"
#include "OptionsDatabase.h"
#include "UndoEntry.h"
#include "VfsPaths.h"
#include "VfsSignalRecorder.h"
#include "VfsUndoRecorder.h"

#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using vorn::test::VfsSignalRecorder;

// What the scripted slots were asked, and what the undo side saw.
struct Script {
    std::vector<std::string> calls;
    std::vector<std::string> history;
    std::vector<UndoEntry *> undoQueue;  // one reference each
    int failWith = 0;                    // non-zero: every slot fails with this errno
    bool itemIsDirectory = false;        // what Stat and LinkStat report
};

struct TestFileSystem {
    VirtualFileSystem parent;
    Script *script;
};
struct TestFileSystemClass {
    VirtualFileSystemClass parent_class;
};

G_DEFINE_TYPE(TestFileSystem, test_file_system, VORN_TYPE_VFS)
void test_file_system_class_init(TestFileSystemClass *) {}
void test_file_system_init(TestFileSystem *self)
{
    self->script = nullptr;
}

Script &scriptOf(VirtualFileSystem *vfs)
{
    return *reinterpret_cast<TestFileSystem *>(vfs)->script;
}

// Records the call; true when the script wants it to fail (errno set).
bool call(VirtualFileSystem *vfs, const std::string &what)
{
    Script &script = scriptOf(vfs);
    script.calls.push_back(what);
    if (!script.failWith)
        return false;
    errno = script.failWith;
    return true;
}

std::string str(const gchar *text)
{
    return text ? text : "(null)";
}

int directoryToken;

void fillAllSlots(VfsOperations &s)
{
    s.CreateDirectory = [](VirtualFileSystem *vfs, const gchar *parent, const gchar *name,
                           VfsDirectoryEntry **existing, gchar **fullPath, const gchar *origin, guint32 low,
                           guint32 high, gint32 ms, gint skip) -> VfsDirectoryEntry * {
        if (call(vfs, "CreateDirectory " + str(parent) + " " + str(name) + " " + str(origin) + " " +
                          std::to_string(low) + "," + std::to_string(high) + "," + std::to_string(ms) + "," +
                          std::to_string(skip))) {
            if (errno == EEXIST && existing)
                *existing = VFS_NewDirectoryEntry(name, VFS_ENTRY_DIRECTORY);
            return nullptr;
        }
        *fullPath = g_strdup(vorn::vfs::childPath(parent, name).c_str());
        return VFS_NewDirectoryEntry(name, VFS_ENTRY_DIRECTORY);
    };
    s.OpenDirectory = [](VirtualFileSystem *vfs, const gchar *path) -> gpointer {
        return call(vfs, "OpenDirectory " + str(path)) ? nullptr : &directoryToken;
    };
    s.ReadDirectory = [](VirtualFileSystem *vfs, gpointer) -> VfsDirectoryEntry * {
        call(vfs, "ReadDirectory");
        return nullptr;
    };
    s.CloseDirectory = [](VirtualFileSystem *vfs, gpointer) -> gint { return call(vfs, "CloseDirectory") ? -1 : 0; };
    s.DeleteDirectory = [](VirtualFileSystem *vfs, const gchar *path) -> gint {
        return call(vfs, "DeleteDirectory " + str(path)) ? -1 : 0;
    };
    auto stat = [](VirtualFileSystem *vfs, const gchar *, VfsStat *st) -> gint {
        // Looking is not counted as a call: the dispatchers look before they act.
        *st = VfsStat{};
        st->mode = scriptOf(vfs).itemIsDirectory ? 0x41ff : 0x81a4;
        st->specialFlags = 32;
        st->multisessionType = 2;
        return 0;
    };
    s.Stat = stat;
    s.LinkStat = stat;
    s.Unlink = [](VirtualFileSystem *vfs, const gchar *path) -> gint {
        return call(vfs, "Unlink " + str(path)) ? -1 : 0;
    };
    s.Symlink = [](VirtualFileSystem *vfs, const gchar *target, const gchar *link,
                   VfsDirectoryEntry **entry) -> gint {
        if (call(vfs, "Symlink " + str(target) + " " + str(link)))
            return -1;
        *entry = VFS_NewDirectoryEntry(vorn::vfs::lastComponent(link).c_str(), VFS_ENTRY_SYMLINK);
        return 0;
    };
    s.Rename = [](VirtualFileSystem *vfs, const gchar *path, const gchar *name, gint kind, gchar **newPath,
                  gchar **newName) -> gint {
        if (call(vfs, "Rename " + str(path) + " " + str(name) + " " + std::to_string(kind)))
            return -1;
        *newPath = g_strdup(vorn::vfs::childPath(vorn::vfs::parentPart(path), name).c_str());
        *newName = g_strdup((std::string(name) + "~").c_str());  // as a disc would adjust it
        return 0;
    };
    s.Move = [](VirtualFileSystem *vfs, const gchar *path, const gchar *destination, gint kind,
                VfsDirectoryEntry **existing, gchar **newPath, gchar **oldParent) -> gint {
        if (call(vfs, "Move " + str(path) + " " + str(destination) + " " + std::to_string(kind))) {
            if (errno == EEXIST && existing)
                *existing = VFS_NewDirectoryEntry(vorn::vfs::lastComponent(path).c_str(), 0);
            return -1;
        }
        *newPath = g_strdup(vorn::vfs::childPath(destination, vorn::vfs::lastComponent(path)).c_str());
        *oldParent = g_strdup(vorn::vfs::parentPart(path).c_str());
        return 0;
    };
    s.SetUndoRollbackPoint = [](VirtualFileSystem *vfs, gint fromChild) -> gint {
        scriptOf(vfs).history.push_back("rollback child=" + std::to_string(fromChild));
        return 0;
    };
    s.GetUndoRollbackPointsCount = [](VirtualFileSystem *vfs) -> guint {
        call(vfs, "GetUndoRollbackPointsCount");
        return 7;
    };
    s.AddUndoEntry = [](VirtualFileSystem *vfs, UndoEntry *entry) -> gint {
        Script &script = scriptOf(vfs);
        script.undoQueue.push_back(static_cast<UndoEntry *>(g_object_ref(entry)));
        script.history.push_back("add kind=" + std::to_string(entry->kind) +
                                 " emit=" + std::to_string(entry->emitSignals));
        return 0;
    };
    s.Undo = [](VirtualFileSystem *vfs, gint mode, gint fromChild) -> gint {
        return call(vfs, "Undo " + std::to_string(mode) + " " + std::to_string(fromChild)) ? -1 : 0;
    };
    s.CreateDirectoryWithGenericName = [](VirtualFileSystem *vfs, const gchar *parent, gint32, gchar **fullPath,
                                          VfsDirectoryEntry **entry) -> gint {
        *fullPath = g_strdup(vorn::vfs::childPath(parent, "New Folder").c_str());
        if (call(vfs, "CreateDirectoryWithGenericName " + str(parent)))
            return -1;
        *entry = VFS_NewDirectoryEntry("New Folder", VFS_ENTRY_DIRECTORY);
        return 0;
    };
    // Each name kind spelled differently, to see that the right kind goes to the right place.
    s.GetItemName = [](VirtualFileSystem *, const gchar *path, gint kind) -> gchar * {
        return g_strdup(("n" + std::to_string(kind) + ":" + vorn::vfs::lastComponent(path)).c_str());
    };
    // Only names of kind 2 were set by hand; the others are the file system's own.
    s.GetItemChangedName = [](VirtualFileSystem *, const gchar *path, gint kind) -> gchar * {
        return kind == 2 ? g_strdup(("n2:" + vorn::vfs::lastComponent(path)).c_str()) : nullptr;
    };
    s.GetItemFullPath = [](VirtualFileSystem *, const gchar *path, gint kind) -> gchar * {
        return g_strdup(("K" + std::to_string(kind) + path).c_str());
    };
    s.GetItemOrigin = [](VirtualFileSystem *, const gchar *path) -> gchar * {
        return g_strdup((std::string("/home") + path).c_str());
    };
    s.RefreshItem = [](VirtualFileSystem *vfs, const gchar *path) -> gint {
        return call(vfs, "RefreshItem " + str(path)) ? -1 : 0;
    };
    s.GetItemSourceVFS = [](VirtualFileSystem *vfs, const gchar *) -> VirtualFileSystem * { return vfs; };
    s.SetItemPriority = [](VirtualFileSystem *vfs, const gchar *path, gint32 priority) -> gint {
        return call(vfs, "SetItemPriority " + str(path) + " " + std::to_string(priority)) ? -1 : 0;
    };
    s.SetItemCompilationAdditionDate = [](VirtualFileSystem *vfs, const gchar *path, gint64 time) -> gint {
        return call(vfs, "SetItemCompilationAdditionDate " + str(path) + " " + std::to_string(time)) ? -1 : 0;
    };
    s.IoControl = [](VirtualFileSystem *vfs, gint code, gpointer) -> gint {
        if (call(vfs, "IoControl " + std::to_string(code)))
            return -1;
        if (code == 999) {
            errno = EINVAL;
            return -1;
        }
        return 0;
    };
    s.CopyFromLinux = [](VirtualFileSystem *, const gchar *path, VirtualFileSystem *destination,
                         const gchar *directory, gint kind, VfsDirectoryEntry **existing, gchar **newPath,
                         guint32 low, guint32 high, gint32 ms, gint follow, gint skip,
                         pthread_mutex_t *) -> VfsDirectoryEntry * {
        if (call(destination, "CopyFromLinux " + str(path) + " " + str(directory) + " " + std::to_string(kind) +
                                  " " + std::to_string(low) + "," + std::to_string(high) + "," +
                                  std::to_string(ms) + " follow=" + std::to_string(follow) +
                                  " skip=" + std::to_string(skip))) {
            if (errno == EEXIST && existing)
                *existing = VFS_NewDirectoryEntry(vorn::vfs::lastComponent(path).c_str(), 8);
            return nullptr;
        }
        *newPath = g_strdup(vorn::vfs::childPath(directory, vorn::vfs::lastComponent(path)).c_str());
        return VFS_NewDirectoryEntry(vorn::vfs::lastComponent(path).c_str(), 0);
    };
    s.CopyFromDataDisc = [](VirtualFileSystem *, const gchar *path, VirtualFileSystem *destination,
                            const gchar *directory, gint, VfsDirectoryEntry **, gchar **newPath, guint32, guint32,
                            gint32, gint, pthread_mutex_t *) -> VfsDirectoryEntry * {
        if (call(destination, "CopyFromDataDisc " + str(path)))
            return nullptr;
        *newPath = g_strdup(vorn::vfs::childPath(directory, vorn::vfs::lastComponent(path)).c_str());
        return VFS_NewDirectoryEntry(vorn::vfs::lastComponent(path).c_str(), 0);
    };
    s.CopyFromAudioDisc = [](VirtualFileSystem *, const gchar *path, VirtualFileSystem *destination,
                             const gchar *directory, gint, VfsDirectoryEntry **, gchar **newPath, guint32, guint32,
                             gint32, gint, pthread_mutex_t *) -> VfsDirectoryEntry * {
        if (call(destination, "CopyFromAudioDisc " + str(path)))
            return nullptr;
        *newPath = g_strdup(vorn::vfs::childPath(directory, vorn::vfs::lastComponent(path)).c_str());
        return VFS_NewDirectoryEntry(vorn::vfs::lastComponent(path).c_str(), 0);
    };
    s.ImportAudioTrack = [](VirtualFileSystem *vfs, const gchar *destination, const gchar *trackSpec,
                            gchar **newPath) -> VfsDirectoryEntry * {
        if (call(vfs, "ImportAudioTrack " + str(destination) + " " + str(trackSpec)))
            return nullptr;
        *newPath = g_strdup("/4");
        return VFS_NewDirectoryEntry("4", 0);
    };
}

// The recorder hook as the undo entry classes will use it, keeping a log.
std::vector<std::string> *recorderLog;

UndoEntry *newEntry(gint kind, gint emit, const std::string &what)
{
    recorderLog->push_back(what + " emit=" + std::to_string(emit));
    auto *entry = static_cast<UndoEntry *>(g_object_new(VORN_TYPE_UNDO_ENTRY, nullptr));
    entry->kind = kind;
    entry->emitSignals = emit;
    return entry;
}

const VfsUndoRecorder testRecorder = {
    [](VirtualFileSystem *, const gchar *path, gint emit) { return newEntry(1, emit, "createDirectory " + str(path)); },
    [](VirtualFileSystem *, const gchar *path, gint isDirectory) -> gpointer {
        recorderLog->push_back("capture " + str(path) + " dir=" + std::to_string(isDirectory));
        errno = EIO;  // whatever the capture does to errno must not reach the caller
        return g_strdup(path);
    },
    [](VirtualFileSystem *, const gchar *path, const gchar *parent, gpointer capture, gint isDirectory, gint emit) {
        return newEntry(2, emit,
                        "deletion " + str(path) + " parent=" + str(parent) + " capture=" +
                            str(static_cast<gchar *>(capture)) + " dir=" + std::to_string(isDirectory));
    },
    [](gpointer capture) {
        recorderLog->push_back("release " + str(static_cast<gchar *>(capture)));
        g_free(capture);
    },
    [](VirtualFileSystem *, const gchar *newPath, const gchar *oldName, gint kind, gint emit) {
        return newEntry(3, emit, "rename " + str(newPath) + " old=" + str(oldName) + " kind=" + std::to_string(kind));
    },
    [](VirtualFileSystem *, const gchar *newPath, const gchar *oldParent, gint kind, gint emit) {
        return newEntry(4, emit, "move " + str(newPath) + " from=" + str(oldParent) + " kind=" + std::to_string(kind));
    },
    [](VirtualFileSystem *, const gchar *newPath, gint kind, gint emit) {
        return newEntry(6, emit, "copy " + str(newPath) + " kind=" + std::to_string(kind));
    },
};

class VfsDispatcherTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs_ = makeFileSystem(VFS_KIND_DATA_DISC, true, script_);
        signals_ = std::make_unique<VfsSignalRecorder>(fs_);
        recorderLog = &script_.history;
        VFS_SetUndoRecorder(&testRecorder);
    }
    void TearDown() override
    {
        VFS_SetUndoRecorder(nullptr);
        signals_.reset();
        for (VirtualFileSystem *fs : made_)
            g_object_unref(fs);
        for (Script *script : {&script_, &other_})
            for (UndoEntry *entry : script->undoQueue)
                g_object_unref(entry);
    }

    VirtualFileSystem *makeFileSystem(gint kind, bool withSlots, Script &script)
    {
        auto *fs = static_cast<TestFileSystem *>(g_object_new(test_file_system_get_type(), nullptr));
        fs->script = &script;
        fs->parent.kind = kind;
        if (withSlots)
            fillAllSlots(fs->parent.operations);
        made_.push_back(&fs->parent);
        return &fs->parent;
    }

    // Undo on with the recorder installed: the dispatchers record.
    void enableUndo() { fs_->undoEnabled = 1; }

    Script script_;
    Script other_;
    VirtualFileSystem *fs_ = nullptr;
    std::unique_ptr<VfsSignalRecorder> signals_;
    std::vector<VirtualFileSystem *> made_;
};

using Events = std::vector<std::string>;

// One call of every VFS_ function with good arguments on `vfs`; true when it
// reported failure.
struct Dispatch {
    const char *name;
    std::function<bool(gpointer vfs, gpointer other)> fails;
};

std::vector<Dispatch> everyDispatcher()
{
    return {
        {"CreateDirectory", [](gpointer v, gpointer) { return !VFS_CreateDirectory(v, "/", "a", nullptr); }},
        {"OpenDirectory", [](gpointer v, gpointer) { return !VFS_OpenDirectory(v, "/"); }},
        {"ReadDirectory", [](gpointer v, gpointer) { return !VFS_ReadDirectory(v, &directoryToken); }},
        {"CloseDirectory", [](gpointer v, gpointer) { return VFS_CloseDirectory(v, &directoryToken) == -1; }},
        {"DeleteDirectory", [](gpointer v, gpointer) { return VFS_DeleteDirectory(v, "/a") == -1; }},
        {"Stat", [](gpointer v, gpointer) { VfsStat st; return VFS_Stat(v, "/a", &st) == -1; }},
        {"LinkStat", [](gpointer v, gpointer) { VfsStat st; return VFS_LinkStat(v, "/a", &st) == -1; }},
        {"Unlink", [](gpointer v, gpointer) { return VFS_Unlink(v, "/a") == -1; }},
        {"Symlink", [](gpointer v, gpointer) { return VFS_Symlink(v, "/t", "/l") == -1; }},
        {"Rename", [](gpointer v, gpointer) { return VFS_Rename(v, "/a", "b", 3) == -1; }},
        {"Move", [](gpointer v, gpointer) { return VFS_Move(v, "/a", "/d", 3, nullptr) == -1; }},
        {"Copy (destination)", [](gpointer v, gpointer o) { return !VFS_Copy(o, "/s", v, "/", 3, nullptr); }},
        {"CreateDirectoryWithGenericName",
         [](gpointer v, gpointer) { return VFS_CreateDirectoryWithGenericName(v, "/", 0, nullptr) == -1; }},
        {"GetItemName", [](gpointer v, gpointer) { return !VFS_GetItemName(v, "/a", 3); }},
        {"GetItemChangedName",
         [](gpointer v, gpointer) {
             errno = 0;
             gchar *name = VFS_GetItemChangedName(v, "/a", 3);
             g_free(name);
             return !name && errno != 0;
         }},
        {"GetItemFullPath", [](gpointer v, gpointer) { return !VFS_GetItemFullPath(v, "/a", 3); }},
        {"GetItemOrigin", [](gpointer v, gpointer) { return !VFS_GetItemOrigin(v, "/a"); }},
        {"GetItemSourceVFS", [](gpointer v, gpointer) { return !VFS_GetItemSourceVFS(v, "/a"); }},
        {"RefreshItem", [](gpointer v, gpointer) { return VFS_RefreshItem(v, "/a") == -1; }},
        {"SetItemPriority", [](gpointer v, gpointer) { return VFS_SetItemPriority(v, "/a", 5) == -1; }},
        {"SetItemCompilationAdditionDate",
         [](gpointer v, gpointer) { return VFS_SetItemCompilationAdditionDate(v, "/a", 5) == -1; }},
        {"SetUndoRollbackPoint", [](gpointer v, gpointer) { return VFS_SetUndoRollbackPoint(v, 0) == -1; }},
        {"GetUndoRollbackPointsCount",
         [](gpointer v, gpointer) { return VFS_GetUndoRollbackPointsCount(v) == 0; }},
        {"AddUndoEntry",
         [](gpointer v, gpointer) {
             gpointer entry = g_object_new(VORN_TYPE_UNDO_ENTRY, nullptr);
             const bool failed = VFS_AddUndoEntry(v, entry) == -1;
             g_object_unref(entry);
             return failed;
         }},
        {"Undo", [](gpointer v, gpointer) { return VFS_Undo(v, 0, 0) == -1; }},
        {"IoControl", [](gpointer v, gpointer) { return VFS_IoControl(v, 4, nullptr) == -1; }},
        {"IoControlFromChildThread",
         [](gpointer v, gpointer) { return VFS_IoControlFromChildThread(v, 4, nullptr) == -1; }},
        {"ImportAudioTrack", [](gpointer v, gpointer) { return !VFS_ImportAudioTrack(v, "/-1", "/HA:0"); }},
    };
}

TEST_F(VfsDispatcherTest, EveryFunctionRefusesWhatIsNotAFileSystem)
{
    GObject *notAFileSystem = static_cast<GObject *>(g_object_new(G_TYPE_OBJECT, nullptr));
    VirtualFileSystem *source = makeFileSystem(VFS_KIND_LOCAL, true, other_);
    for (gpointer object : {static_cast<gpointer>(nullptr), static_cast<gpointer>(notAFileSystem)}) {
        for (const Dispatch &d : everyDispatcher()) {
            SCOPED_TRACE(std::string(d.name) + (object ? " on a plain GObject" : " on NULL"));
            errno = 0;
            EXPECT_TRUE(d.fails(object, source));
            EXPECT_EQ(errno, EINVAL);
        }
    }
    // A copy whose source is not a file system fails the same way.
    errno = 0;
    EXPECT_EQ(VFS_Copy(notAFileSystem, "/s", fs_, "/", 3, nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(other_.calls.empty());
    EXPECT_TRUE(script_.calls.empty());
    g_object_unref(notAFileSystem);
}

TEST_F(VfsDispatcherTest, EveryEmptySlotGivesENOSYSAndEmitsNothing)
{
    Script emptyScript;
    VirtualFileSystem *empty = makeFileSystem(VFS_KIND_DATA_DISC, false, emptyScript);
    VfsSignalRecorder emptySignals(empty);
    VirtualFileSystem *source = makeFileSystem(VFS_KIND_LOCAL, true, other_);
    for (const Dispatch &d : everyDispatcher()) {
        SCOPED_TRACE(d.name);
        errno = 0;
        EXPECT_TRUE(d.fails(empty, source));
        EXPECT_EQ(errno, ENOSYS);
    }
    // Each source kind has its own copy slot in the destination.
    for (gint kind : {VFS_KIND_LOCAL, VFS_KIND_DATA_DISC, VFS_KIND_AUDIO_DISC}) {
        SCOPED_TRACE(kind);
        Script sourceScript;
        VirtualFileSystem *from = makeFileSystem(kind, true, sourceScript);
        errno = 0;
        EXPECT_EQ(VFS_Copy(from, "/s", empty, "/", 3, nullptr), nullptr);
        EXPECT_EQ(errno, ENOSYS);
    }
    EXPECT_TRUE(emptySignals.events().empty());
    EXPECT_TRUE(emptyScript.calls.empty());
}

TEST_F(VfsDispatcherTest, MissingArgumentsAreRefusedBeforeTheSlotRuns)
{
    VfsStat st;
    UndoEntry *entry = static_cast<UndoEntry *>(g_object_new(VORN_TYPE_UNDO_ENTRY, nullptr));
    GObject *notAnEntry = static_cast<GObject *>(g_object_new(G_TYPE_OBJECT, nullptr));
    VirtualFileSystem *local = makeFileSystem(VFS_KIND_LOCAL, true, other_);
    VirtualFileSystem *kindless = makeFileSystem(VFS_KIND_NONE, true, other_);
    VirtualFileSystem *fs = fs_;
    struct Case {
        const char *what;
        std::function<bool()> fails;
        int expectedErrno;
    };
    const std::vector<Case> cases = {
        {"CreateDirectory without parent", [&] { return !VFS_CreateDirectory(fs, nullptr, "a", nullptr); }, ENOENT},
        {"CreateDirectory without name", [&] { return !VFS_CreateDirectory(fs, "/", nullptr, nullptr); }, EINVAL},
        {"OpenDirectory without path", [&] { return !VFS_OpenDirectory(fs, nullptr); }, ENOENT},
        {"ReadDirectory without handle", [&] { return !VFS_ReadDirectory(fs, nullptr); }, EINVAL},
        {"CloseDirectory without handle", [&] { return VFS_CloseDirectory(fs, nullptr) == -1; }, EINVAL},
        {"DeleteDirectory without path", [&] { return VFS_DeleteDirectory(fs, nullptr) == -1; }, ENOENT},
        {"Stat without path", [&] { return VFS_Stat(fs, nullptr, &st) == -1; }, EINVAL},
        {"Stat without record", [&] { return VFS_Stat(fs, "/a", nullptr) == -1; }, EINVAL},
        {"LinkStat without path", [&] { return VFS_LinkStat(fs, nullptr, &st) == -1; }, ENOENT},
        {"LinkStat without record", [&] { return VFS_LinkStat(fs, "/a", nullptr) == -1; }, EINVAL},
        {"Unlink without path", [&] { return VFS_Unlink(fs, nullptr) == -1; }, ENOENT},
        {"Symlink without target", [&] { return VFS_Symlink(fs, nullptr, "/l") == -1; }, ENOENT},
        {"Symlink without link path", [&] { return VFS_Symlink(fs, "/t", nullptr) == -1; }, ENOENT},
        {"Rename without path", [&] { return VFS_Rename(fs, nullptr, "b", 3) == -1; }, ENOENT},
        {"Rename without new name", [&] { return VFS_Rename(fs, "/a", nullptr, 3) == -1; }, EINVAL},
        {"Rename with name kind 4", [&] { return VFS_Rename(fs, "/a", "b", 4) == -1; }, EINVAL},
        {"Move without path", [&] { return VFS_Move(fs, nullptr, "/d", 3, nullptr) == -1; }, ENOENT},
        {"Move without destination", [&] { return VFS_Move(fs, "/a", nullptr, 3, nullptr) == -1; }, EINVAL},
        {"Copy without source path", [&] { return !VFS_Copy(local, nullptr, fs, "/", 3, nullptr); }, EINVAL},
        {"Copy without destination", [&] { return !VFS_Copy(local, "/s", fs, nullptr, 3, nullptr); }, EINVAL},
        {"Copy from a kindless source", [&] { return !VFS_Copy(kindless, "/s", fs, "/", 3, nullptr); }, EINVAL},
        {"Copy into a kindless destination", [&] { return !VFS_Copy(local, "/s", kindless, "/", 3, nullptr); },
         EINVAL},
        {"Copy from a mixed-mode disc",
         [&] {
             fs->kind = VFS_KIND_MIXED_MODE_DISC;
             const bool failed = !VFS_Copy(fs, "/s", local, "/", 3, nullptr);
             fs->kind = VFS_KIND_DATA_DISC;
             return failed;
         },
         EINVAL},
        {"Generic folder without parent",
         [&] { return VFS_CreateDirectoryWithGenericName(fs, nullptr, 0, nullptr) == -1; }, ENOENT},
        {"GetItemName without path", [&] { return !VFS_GetItemName(fs, nullptr, 3); }, ENOENT},
        {"GetItemName with name kind -1", [&] { return !VFS_GetItemName(fs, "/a", -1); }, EINVAL},
        {"GetItemChangedName without path", [&] { return !VFS_GetItemChangedName(fs, nullptr, 0); }, ENOENT},
        {"GetItemFullPath without path", [&] { return !VFS_GetItemFullPath(fs, nullptr, 3); }, ENOENT},
        {"GetItemOrigin without path", [&] { return !VFS_GetItemOrigin(fs, nullptr); }, ENOENT},
        {"GetItemSourceVFS without path", [&] { return !VFS_GetItemSourceVFS(fs, nullptr); }, ENOENT},
        {"RefreshItem without path", [&] { return VFS_RefreshItem(fs, nullptr) == -1; }, ENOENT},
        {"SetItemPriority without path", [&] { return VFS_SetItemPriority(fs, nullptr, 1) == -1; }, ENOENT},
        {"SetItemCompilationAdditionDate without path",
         [&] { return VFS_SetItemCompilationAdditionDate(fs, nullptr, 1) == -1; }, ENOENT},
        {"AddUndoEntry without entry", [&] { return VFS_AddUndoEntry(fs, nullptr) == -1; }, EINVAL},
        {"AddUndoEntry with a plain GObject", [&] { return VFS_AddUndoEntry(fs, notAnEntry) == -1; }, EINVAL},
        {"Undo with mode 3", [&] { return VFS_Undo(fs, 3, 0) == -1; }, EINVAL},
        {"ImportAudioTrack without destination", [&] { return !VFS_ImportAudioTrack(fs, nullptr, "/HA:0"); },
         EINVAL},
        {"ImportAudioTrack without track", [&] { return !VFS_ImportAudioTrack(fs, "/-1", nullptr); }, EINVAL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        errno = 0;
        EXPECT_TRUE(c.fails());
        EXPECT_EQ(errno, c.expectedErrno);
    }
    EXPECT_TRUE(script_.calls.empty()) << script_.calls.front();
    EXPECT_TRUE(other_.calls.empty());
    EXPECT_TRUE(script_.history.empty());
    EXPECT_TRUE(signals_->events().empty());
    g_object_unref(entry);
    g_object_unref(notAnEntry);
}

TEST_F(VfsDispatcherTest, ChangesTellViewsExactlyWhatHappened)
{
    auto entryOf = [](const char *name, int type) {
        const std::string n = std::string("\"") + name + "\"";
        return "entry(" + n + "|" + n + "|" + n + "|" + n + " type=" + std::to_string(type) + ")";
    };
    struct Case {
        const char *what;
        std::function<bool()> succeeds;
        Events expected;
    };
    const std::string changed = "vorn_file_system_changed()";
    const std::vector<Case> cases = {
        {"create a folder",
         [&] {
             VfsDirectoryEntry *e = VFS_CreateDirectory(fs_, "/", "a", nullptr);
             VFS_FreeDirectoryEntry(e);
             return e != nullptr;
         },
         {"vorn_new_folder_event(\"/a\", 3, " + entryOf("a", 4) + ", 0)", changed}},
        {"generic folder", [&] { return VFS_CreateDirectoryWithGenericName(fs_, "/d", 0, nullptr) == 0; },
         {"vorn_new_folder_event(\"/d/New Folder\", 3, " + entryOf("New Folder", 4) + ", 1)", changed}},
        {"unlink a file", [&] { return VFS_Unlink(fs_, "/d/f") == 0; },
         {"vorn_delete_file_event(\"K0/d/f\"|\"K1/d/f\"|\"K2/d/f\"|\"K3/d/f\")", changed}},
        {"delete a folder", [&] { return VFS_DeleteDirectory(fs_, "/d") == 0; },
         {"vorn_delete_folder_event(\"K0/d\"|\"K1/d\"|\"K2/d\"|\"K3/d\")", changed}},
        {"rename a file", [&] { return VFS_Rename(fs_, "/d/f", "g", 1) == 0; },
         {"vorn_rename_file_event(\"/d/f\", \"/d/g\", \"g~\", 1)", changed}},
        {"symlink", [&] { return VFS_Symlink(fs_, "/t", "/d/l") == 0; },
         {"vorn_new_file_event(\"/d/l\", 3, " + entryOf("l", 10) + ", 0)", changed}},
        {"move a file", [&] { return VFS_Move(fs_, "/d/f", "/e", 3, nullptr) == 0; },
         {"vorn_delete_file_event(\"K0/d/f\"|\"K1/d/f\"|\"K2/d/f\"|\"K3/d/f\")",
          "vorn_new_file_event(\"/e/f\", 3, entry(\"n0:f\"|\"n1:f\"|\"n2:f\"|\"n3:f\" type=8 "
          "origin=\"/home/e/f\" flags=32 ms=2), 0)",
          changed}},
        {"priority", [&] { return VFS_SetItemPriority(fs_, "/d/f", 3) == 0; }, {changed}},
        {"addition date", [&] { return VFS_SetItemCompilationAdditionDate(fs_, "/d/f", 3) == 0; }, {changed}},
        {"import a track",
         [&] {
             VfsDirectoryEntry *e = VFS_ImportAudioTrack(fs_, "/-1", "/HA:1/ID:2/Track:3/Start:0/Length:9");
             VFS_FreeDirectoryEntry(e);
             return e != nullptr;
         },
         {"vorn_new_file_event(\"/4\", 3, " + entryOf("4", 0) + ", 0)", changed}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        signals_->clear();
        EXPECT_TRUE(c.succeeds());
        EXPECT_EQ(signals_->events(), c.expected);
    }
}

TEST_F(VfsDispatcherTest, FoldersAreReportedAsFolders)
{
    script_.itemIsDirectory = true;
    ASSERT_EQ(VFS_Rename(fs_, "/d", "e", 3), 0);
    ASSERT_EQ(VFS_Move(fs_, "/d", "/x", 3, nullptr), 0);
    ASSERT_EQ(VFS_Unlink(fs_, "/d"), 0);
    const Events expected = {
        "vorn_rename_folder_event(\"/d\", \"/e\", \"e~\", 3)",
        "vorn_file_system_changed()",
        "vorn_delete_folder_event(\"K0/d\"|\"K1/d\"|\"K2/d\"|\"K3/d\")",
        "vorn_new_folder_event(\"/x/d\", 3, entry(\"n0:d\"|\"n1:d\"|\"n2:d\"|\"n3:d\" type=4 "
        "origin=\"/home/x/d\" flags=32 ms=2), 0)",
        "vorn_file_system_changed()",
        "vorn_delete_folder_event(\"K0/d\"|\"K1/d\"|\"K2/d\"|\"K3/d\")",
        "vorn_file_system_changed()",
    };
    EXPECT_EQ(signals_->events(), expected);
}

TEST_F(VfsDispatcherTest, CopySignalsOnTheDestinationAndPicksTheSlotBySourceKind)
{
    VfsSignalRecorder sourceSignals(makeFileSystem(VFS_KIND_LOCAL, true, other_));
    for (gint kind : {VFS_KIND_LOCAL, VFS_KIND_DATA_DISC, VFS_KIND_AUDIO_DISC}) {
        Script sourceScript;
        VirtualFileSystem *source = makeFileSystem(kind, true, sourceScript);
        VfsDirectoryEntry *entry = VFS_CopyEx(source, "/src/x", fs_, "/d", 3, nullptr, 16, 1, 2, 0, 1, nullptr,
                                              1, 1, 1, 0);
        ASSERT_NE(entry, nullptr) << kind;
        VFS_FreeDirectoryEntry(entry);
        EXPECT_TRUE(sourceScript.calls.empty());
    }
    const std::vector<std::string> calls = {"CopyFromLinux /src/x /d 3 16,1,2 follow=0 skip=1",
                                            "CopyFromDataDisc /src/x", "CopyFromAudioDisc /src/x"};
    EXPECT_EQ(script_.calls, calls);
    const std::string added = "vorn_new_file_event(\"/d/x\", 3, entry(\"x\"|\"x\"|\"x\"|\"x\" type=0), 0)";
    const Events expected = {added, "vorn_file_system_changed()", added, "vorn_file_system_changed()", added,
                             "vorn_file_system_changed()"};
    EXPECT_EQ(signals_->events(), expected);
    EXPECT_TRUE(sourceSignals.events().empty());
}

TEST_F(VfsDispatcherTest, CopyFollowsLinksAsTheGlobalSettingSays)
{
    VirtualFileSystem *local = makeFileSystem(VFS_KIND_LOCAL, true, other_);
    auto copyOnce = [&] {
        script_.calls.clear();
        VFS_FreeDirectoryEntry(VFS_Copy(local, "/s", fs_, "/", 3, nullptr));
        return script_.calls.empty() ? std::string() : script_.calls.front();
    };
    // Without a settings database the setting has its default, on.
    ASSERT_EQ(GlobalSettingsOptionsDatabase, nullptr);
    EXPECT_EQ(copyOnce(), "CopyFromLinux /s / 3 0,0,0 follow=1 skip=0");

    GlobalSettingsOptionsDatabase = OptionsDatabase_New("GlobalSettings", 1);
    ASSERT_EQ(OptionsDatabase_AddOption(GlobalSettingsOptionsDatabase,
                                        BooleanOption_New(49, "Follow symbolic links by default", FALSE)),
              1);
    EXPECT_EQ(copyOnce(), "CopyFromLinux /s / 3 0,0,0 follow=0 skip=0");
    OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 49, TRUE);
    EXPECT_EQ(copyOnce(), "CopyFromLinux /s / 3 0,0,0 follow=1 skip=0");
    OptionsDatabase_Destroy(GlobalSettingsOptionsDatabase);
}

TEST_F(VfsDispatcherTest, AFailedChangeKeepsItsErrnoAndIsNeitherSignalledNorRecorded)
{
    enableUndo();
    struct Case {
        int slotErrno;
        const char *what;
        std::function<bool()> fails;
    };
    const std::vector<Case> cases = {
        {EROFS, "unlink", [&] { return VFS_Unlink(fs_, "/a") == -1; }},
        {ENOTEMPTY, "delete a folder", [&] { return VFS_DeleteDirectory(fs_, "/a") == -1; }},
        {EACCES, "rename", [&] { return VFS_Rename(fs_, "/a", "b", 3) == -1; }},
        {EXDEV, "move", [&] { return VFS_Move(fs_, "/a", "/d", 3, nullptr) == -1; }},
        {ENOSPC, "create", [&] { return !VFS_CreateDirectory(fs_, "/", "a", nullptr); }},
        {EFBIG, "copy",
         [&] { return !VFS_Copy(makeFileSystem(VFS_KIND_LOCAL, true, other_), "/s", fs_, "/", 3, nullptr); }},
        {EPERM, "symlink", [&] { return VFS_Symlink(fs_, "/t", "/l") == -1; }},
        {EINVAL, "import", [&] { return !VFS_ImportAudioTrack(fs_, "/-1", "/HA:0"); }},
        {EROFS, "priority", [&] { return VFS_SetItemPriority(fs_, "/a", 1) == -1; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        script_.failWith = c.slotErrno;
        script_.history.clear();
        errno = 0;
        EXPECT_TRUE(c.fails());
        EXPECT_EQ(errno, c.slotErrno);
        // A capture made before a deletion is released even when nothing was deleted.
        for (const std::string &line : script_.history) {
            EXPECT_TRUE(line.rfind("capture ", 0) == 0 || line.rfind("release ", 0) == 0) << line;
        }
    }
    EXPECT_TRUE(signals_->events().empty());
    EXPECT_TRUE(script_.undoQueue.empty());
}

TEST_F(VfsDispatcherTest, ATakenNameHandsOutTheExistingItem)
{
    enableUndo();
    script_.failWith = EEXIST;
    VfsDirectoryEntry *existing = nullptr;
    EXPECT_EQ(VFS_CreateDirectory(fs_, "/", "a", &existing), nullptr);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_STREQ(existing->names[3], "a");
    VFS_FreeDirectoryEntry(existing);

    existing = nullptr;
    EXPECT_EQ(VFS_Move(fs_, "/d/b", "/e", 3, &existing), -1);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_NE(existing, nullptr);
    EXPECT_STREQ(existing->names[3], "b");
    VFS_FreeDirectoryEntry(existing);

    EXPECT_TRUE(signals_->events().empty());
    EXPECT_TRUE(script_.history.empty());
}

TEST_F(VfsDispatcherTest, SilentChangesStillHappen)
{
    VirtualFileSystem *local = makeFileSystem(VFS_KIND_LOCAL, true, other_);
    VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(fs_, "/", "a", nullptr, nullptr, 0, 0, 0, 0, 0, 1, 1, 0));
    EXPECT_EQ(VFS_UnlinkEx(fs_, "/a/f", 0, 1, 1, 0), 0);
    EXPECT_EQ(VFS_DeleteDirectoryEx(fs_, "/a", 0, 1, 1, 0), 0);
    EXPECT_EQ(VFS_RenameEx(fs_, "/a", "b", 3, 0, 1, 1, 0), 0);
    EXPECT_EQ(VFS_MoveEx(fs_, "/a", "/b", 3, nullptr, 0, 1, 1, 0), 0);
    EXPECT_EQ(VFS_SymlinkEx(fs_, "/t", "/l", 0, 1, 1, 0), 0);
    VFS_FreeDirectoryEntry(VFS_CopyEx(local, "/s", fs_, "/", 3, nullptr, 0, 0, 0, 1, 0, nullptr, 0, 1, 1, 0));
    VFS_FreeDirectoryEntry(VFS_ImportAudioTrackEx(fs_, "/-1", "/HA:0", 0, 1, 1, 0));
    EXPECT_EQ(script_.calls.size(), 8u);
    EXPECT_TRUE(signals_->events().empty());
}

TEST_F(VfsDispatcherTest, UndoEnabledFileSystemsRecordEachChangeAndMarkItsRollbackPoint)
{
    enableUndo();
    VirtualFileSystem *local = makeFileSystem(VFS_KIND_LOCAL, true, other_);
    VFS_FreeDirectoryEntry(VFS_CreateDirectory(fs_, "/", "a", nullptr));
    ASSERT_EQ(VFS_Unlink(fs_, "/f"), 0);
    ASSERT_EQ(VFS_DeleteDirectoryEx(fs_, "/a/b", 0, 1, 1, 1), 0);
    ASSERT_EQ(VFS_Rename(fs_, "/a/f", "g", 2), 0);
    ASSERT_EQ(VFS_Rename(fs_, "/a/g", "h", 1), 0);
    ASSERT_EQ(VFS_Move(fs_, "/f", "/a", 3, nullptr), 0);
    VFS_FreeDirectoryEntry(VFS_Copy(local, "/home/s", fs_, "/a", 3, nullptr));
    ASSERT_EQ(VFS_CreateDirectoryWithGenericName(fs_, "/a", 0, nullptr), 0);
    const std::vector<std::string> expected = {
        "createDirectory /a emit=1", "add kind=1 emit=1", "rollback child=0",
        "capture /f dir=0", "deletion /f parent=/ capture=/f dir=0 emit=1", "add kind=2 emit=1",
        "rollback child=0", "release /f",
        "capture /a/b dir=1", "deletion /a/b parent=/a capture=/a/b dir=1 emit=0", "add kind=2 emit=0",
        "rollback child=1", "release /a/b",
        "rename /a/g old=n2:f kind=2 emit=1", "add kind=3 emit=1", "rollback child=0",
        // An automatic old name is recorded as "": undoing gives the automatic name back.
        "rename /a/h old= kind=1 emit=1", "add kind=3 emit=1", "rollback child=0",
        "move /a/f from=/ kind=3 emit=1", "add kind=4 emit=1", "rollback child=0",
        "copy /a/s kind=3 emit=1", "add kind=6 emit=1", "rollback child=0",
        "createDirectory /a/New Folder emit=1", "add kind=1 emit=1", "rollback child=0",
    };
    EXPECT_EQ(script_.history, expected);
}

TEST_F(VfsDispatcherTest, RecordingFollowsTheFlagsAndTheFileSystem)
{
    // Asked not to record, or asked for no rollback point.
    enableUndo();
    VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(fs_, "/", "a", nullptr, nullptr, 0, 0, 0, 0, 1, 0, 1, 0));
    EXPECT_TRUE(script_.history.empty());
    VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(fs_, "/", "b", nullptr, nullptr, 0, 0, 0, 0, 1, 1, 0, 0));
    EXPECT_EQ(script_.history, (std::vector<std::string>{"createDirectory /b emit=1", "add kind=1 emit=1"}));

    // A file system without history records nothing, whatever the flags say.
    script_.history.clear();
    fs_->undoEnabled = 0;
    ASSERT_EQ(VFS_Unlink(fs_, "/f"), 0);
    ASSERT_EQ(VFS_Rename(fs_, "/f", "g", 3), 0);
    EXPECT_TRUE(script_.history.empty());

    // Links and imported tracks are never recorded.
    enableUndo();
    ASSERT_EQ(VFS_Symlink(fs_, "/t", "/l"), 0);
    VFS_FreeDirectoryEntry(VFS_ImportAudioTrack(fs_, "/-1", "/HA:0"));
    EXPECT_TRUE(script_.history.empty());

    // Without an installed recorder the change goes ahead unrecorded.
    VFS_SetUndoRecorder(nullptr);
    EXPECT_EQ(VFS_Unlink(fs_, "/f"), 0);
    EXPECT_TRUE(script_.history.empty());
    EXPECT_EQ(script_.calls.back(), "Unlink /f");
}

// Counts the GDK lock so a test can see whether signals arrive under it.
int gdkLockDepth;

void installCountingGdkLock()
{
    static bool installed = [] {
        gdk_threads_set_lock_functions([] { ++gdkLockDepth; },
                                       [] {
                                           --gdkLockDepth;
                                           errno = EBADF;  // a leave that touches errno must not leak it
                                       });
        gdk_threads_init();
        return true;
    }();
    (void)installed;
}

TEST_F(VfsDispatcherTest, WorkerThreadSignalsArriveUnderTheGdkLock)
{
    installCountingGdkLock();
    std::vector<int> depths;
    signals_->duringEmission = [&](const std::string &) { depths.push_back(gdkLockDepth); };

    ASSERT_EQ(VFS_UnlinkEx(fs_, "/f", 1, 1, 1, 1), 0);
    ASSERT_EQ(VFS_RenameEx(fs_, "/f", "g", 3, 1, 1, 1, 1), 0);
    EXPECT_EQ(depths, (std::vector<int>{1, 1, 1, 1}));

    depths.clear();
    ASSERT_EQ(VFS_Unlink(fs_, "/f"), 0);
    EXPECT_EQ(depths, (std::vector<int>{0, 0}));
    EXPECT_EQ(gdkLockDepth, 0);
}

TEST_F(VfsDispatcherTest, IoControlFromAWorkerThreadTakesTheGdkLockAndKeepsErrno)
{
    installCountingGdkLock();
    errno = 0;
    EXPECT_EQ(VFS_IoControlFromChildThread(fs_, 999, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(VFS_IoControlFromChildThread(fs_, 4, nullptr), 0);
    EXPECT_EQ(gdkLockDepth, 0);
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"IoControl 999", "IoControl 4"}));
}

TEST(VfsPathsTest, ChildPathsNeverDoubleASlash)
{
    EXPECT_EQ(vorn::vfs::childPath("/", "a"), "/a");
    EXPECT_EQ(vorn::vfs::childPath("", "a"), "/a");
    EXPECT_EQ(vorn::vfs::childPath("/a", "b"), "/a/b");
    EXPECT_EQ(vorn::vfs::childPath("/3/", "x"), "/3/x");
    EXPECT_EQ(vorn::vfs::parentPart("/a"), "");
    EXPECT_EQ(vorn::vfs::parentPart("/a/b/"), "/a");
    EXPECT_EQ(vorn::vfs::parentPart("/"), "");
    EXPECT_EQ(vorn::vfs::parentDirectory("/a"), "/");
    EXPECT_EQ(vorn::vfs::lastComponent("/a/b"), "b");
    EXPECT_EQ(vorn::vfs::lastComponent("/a/b//"), "b");
    EXPECT_EQ(vorn::vfs::lastComponent("/"), "/");
}

TEST(VfsPathsTest, OnlySingleComponentsAreNames)
{
    for (const char *bad : {"", ".", "..", "a/b", "/"})
        EXPECT_FALSE(vorn::vfs::isValidComponent(bad)) << bad;
    for (const char *good : {"a", "...", ".hidden", "caf\xe9"})
        EXPECT_TRUE(vorn::vfs::isValidComponent(good)) << good;
}

TEST(VfsPathsTest, GenericFolderNamesTakeTheFirstFreeNumber)
{
    auto firstFree = [](std::vector<std::string> taken) {
        return vorn::vfs::firstFreeGenericFolderName([&](const std::string &name) {
                   return std::find(taken.begin(), taken.end(), name) != taken.end();
               })
            .value_or("<none>");
    };
    EXPECT_EQ(firstFree({}), "New Folder");
    EXPECT_EQ(firstFree({"New Folder"}), "New Folder 2");
    EXPECT_EQ(firstFree({"New Folder", "New Folder 2"}), "New Folder 3");
    EXPECT_EQ(firstFree({"New Folder", "New Folder 3"}), "New Folder 2");
    EXPECT_EQ(firstFree({"New Folder 2"}), "New Folder");
}

}  // namespace
