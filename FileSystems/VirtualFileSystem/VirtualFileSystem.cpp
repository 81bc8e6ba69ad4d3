#include "VirtualFileSystem.h"

#include "Debugger.h"
#include "OptionsDatabase.h"
#include "UndoEntry.h"
#include "VfsSupport.h"
#include "VfsPaths.h"
#include "VfsUndoRecorder.h"

#include <gdk/gdk.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <string>
#include <utility>

using vorn::vfs::CharPtr;
using vorn::vfs::EntryPtr;
using vorn::vfs::ErrnoKeeper;
using vorn::vfs::guarded;
using vorn::vfs::PathsPtr;

namespace {

enum Signal {
    FILE_SYSTEM_CHANGED,
    NEW_FOLDER_EVENT,
    NEW_FILE_EVENT,
    RENAME_FILE_EVENT,
    RENAME_FOLDER_EVENT,
    DELETE_FILE_EVENT,
    DELETE_FOLDER_EVENT,
    UNDO_STACK_CHANGED,
    SIGNAL_COUNT
};

guint signals[SIGNAL_COUNT];

std::atomic<const VfsUndoRecorder *> undoRecorder{nullptr};

// The global setting "Follow symbolic links by default".
constexpr gint32 kFollowSymbolicLinksOption = 49;

// The file system behind a VFS_ argument, or NULL with EINVAL.
VirtualFileSystem *fileSystem(gpointer object) noexcept
{
    if (!object || !IS_VORN_VFS(object)) {
        errno = EINVAL;
        return nullptr;
    }
    return static_cast<VirtualFileSystem *>(object);
}

// True when the slot is filled; ENOSYS otherwise.
template <class Slot>
bool offered(Slot slot) noexcept
{
    if (slot)
        return true;
    errno = ENOSYS;
    return false;
}

// Signal handlers update widgets: from a worker thread they run under the GDK lock.
class SignalScope {
public:
    explicit SignalScope(gint fromChildThread) noexcept : locked_(fromChildThread != 0)
    {
        if (locked_)
            gdk_threads_enter();
    }
    ~SignalScope()
    {
        if (locked_)
            gdk_threads_leave();
    }
    SignalScope(const SignalScope &) = delete;
    SignalScope &operator=(const SignalScope &) = delete;

private:
    bool locked_;
};

void emitChanged(VirtualFileSystem *vfs)
{
    g_signal_emit(vfs, signals[FILE_SYSTEM_CHANGED], 0);
}

void emitNewItem(VirtualFileSystem *vfs, bool folder, const gchar *fullPath, VfsDirectoryEntry *entry,
                 gboolean genericName)
{
    g_signal_emit(vfs, signals[folder ? NEW_FOLDER_EVENT : NEW_FILE_EVENT], 0, fullPath,
                  static_cast<gint>(VFS_NAME_KIND_USER), entry, genericName);
}

void emitDeleted(VirtualFileSystem *vfs, bool folder, VfsItemPaths *paths)
{
    g_signal_emit(vfs, signals[folder ? DELETE_FOLDER_EVENT : DELETE_FILE_EVENT], 0, paths);
}

// The item's full path in every name kind, before a change makes them
// unreadable. A file system without full paths of its own spells every kind
// as the path it was given.
PathsPtr capturePaths(VirtualFileSystem *vfs, const gchar *path)
{
    PathsPtr paths{g_try_new0(VfsItemPaths, 1)};
    if (!paths) {
        debugger_DummyOut("Memory allocation error\n");
        errno = ENOMEM;
        return nullptr;
    }
    for (gint kind = 0; kind < VFS_NAME_KINDS; ++kind) {
        gchar *full = vfs->operations.GetItemFullPath ? vfs->operations.GetItemFullPath(vfs, path, kind) : nullptr;
        paths->paths[kind] = full ? full : g_strdup(path);
    }
    return paths;
}

// Is the item a directory (not following a final symbolic link)? An item that
// cannot be looked at counts as a file, with its stat record zeroed.
bool isDirectory(VirtualFileSystem *vfs, const gchar *path, VfsStat *stat)
{
    ErrnoKeeper keepErrno;
    *stat = VfsStat{};
    auto lookup = vfs->operations.LinkStat ? vfs->operations.LinkStat : vfs->operations.Stat;
    if (!lookup || lookup(vfs, path, stat) != 0) {
        *stat = VfsStat{};
        return false;
    }
    return VFS_STAT_IS_DIRECTORY(stat);
}

// The recorder when this change is to be recorded, else NULL.
const VfsUndoRecorder *recorderFor(VirtualFileSystem *vfs, gint recordUndo) noexcept
{
    if (!recordUndo || vfs->undoEnabled != 1)
        return nullptr;
    return undoRecorder.load(std::memory_order_acquire);
}

// Hands a freshly built entry to the file system's history, then marks the
// rollback point when asked. Nothing here may change the caller's errno.
void record(VirtualFileSystem *vfs, UndoEntry *entry, gint setRollbackPoint, gint fromChildThread) noexcept
{
    if (!entry)
        return;
    ErrnoKeeper keepErrno;
    const bool added = VFS_AddUndoEntry(vfs, entry) == 0;
    g_object_unref(entry);
    if (added && setRollbackPoint)
        VFS_SetUndoRollbackPoint(vfs, fromChildThread);
}

// What a deletion's undo entry needs, captured before the item goes.
class DeletionCapture {
public:
    DeletionCapture(const VfsUndoRecorder *recorder, VirtualFileSystem *vfs, const gchar *path, bool directory)
        : recorder_(recorder)
    {
        if (recorder_ && recorder_->captureDeletion && recorder_->deletion) {
            ErrnoKeeper keepErrno;
            capture_ = recorder_->captureDeletion(vfs, path, directory ? 1 : 0);
            captured_ = true;
        }
    }
    ~DeletionCapture()
    {
        if (captured_ && recorder_->releaseCapture) {
            ErrnoKeeper keepErrno;
            recorder_->releaseCapture(capture_);
        }
    }
    DeletionCapture(const DeletionCapture &) = delete;
    DeletionCapture &operator=(const DeletionCapture &) = delete;

    UndoEntry *entry(VirtualFileSystem *vfs, const gchar *path, bool directory, gint emit) const
    {
        if (!captured_)
            return nullptr;
        const std::string parent = vorn::vfs::parentDirectory(path);
        return recorder_->deletion(vfs, path, parent.c_str(), capture_, directory ? 1 : 0, emit);
    }

private:
    const VfsUndoRecorder *recorder_;
    gpointer capture_ = nullptr;
    bool captured_ = false;
};

// Unlink and delete-directory share everything but the slot and the signal.
gint deleteItem(VirtualFileSystem *vfs, const gchar *path, VfsPathFunc slot, bool directorySlot,
                gint emitSignals, gint recordUndo, gint setRollbackPoint, gint fromChildThread)
{
    VfsStat stat;
    const bool directory = directorySlot || isDirectory(vfs, path, &stat);
    PathsPtr paths = emitSignals ? capturePaths(vfs, path) : nullptr;
    if (emitSignals && !paths)
        return -1;
    const VfsUndoRecorder *recorder = recorderFor(vfs, recordUndo);
    DeletionCapture capture(recorder, vfs, path, directory);

    if (slot(vfs, path) != 0)
        return -1;

    ErrnoKeeper keepErrno;
    record(vfs, capture.entry(vfs, path, directory, emitSignals), setRollbackPoint, fromChildThread);
    if (emitSignals) {
        SignalScope scope(fromChildThread);
        emitDeleted(vfs, directory, paths.get());
        emitChanged(vfs);
    }
    return 0;
}

// VFS_Copy's default: the user's setting, on when it has not been made.
gint followSymbolicLinksByDefault() noexcept
{
    VornOption *option = OptionsDatabase_GetOptionFromID(GlobalSettingsOptionsDatabase, kFollowSymbolicLinksOption);
    return option ? OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kFollowSymbolicLinksOption)
                  : 1;
}

}  // namespace

namespace vorn::vfs {

ErrnoKeeper::ErrnoKeeper() noexcept : saved_(errno) {}
ErrnoKeeper::~ErrnoKeeper()
{
    errno = saved_;
}

}  // namespace vorn::vfs

G_DEFINE_ABSTRACT_TYPE(VirtualFileSystem, virtual_file_system, G_TYPE_OBJECT)

static void virtual_file_system_class_init(VirtualFileSystemClass *klass)
{
    const GType type = G_TYPE_FROM_CLASS(klass);
    const auto flags = static_cast<GSignalFlags>(G_SIGNAL_RUN_FIRST | G_SIGNAL_ACTION);
    // Strings are passed without copies: they live through the emission.
    const GType string = G_TYPE_STRING | G_SIGNAL_TYPE_STATIC_SCOPE;

    signals[FILE_SYSTEM_CHANGED] =
        g_signal_new("vorn_file_system_changed", type, flags,
                     G_STRUCT_OFFSET(VirtualFileSystemClass, fileSystemChanged), nullptr, nullptr,
                     g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
    for (auto [id, name] : {std::pair{NEW_FOLDER_EVENT, "vorn_new_folder_event"},
                            std::pair{NEW_FILE_EVENT, "vorn_new_file_event"}}) {
        signals[id] = g_signal_new(name, type, flags, G_STRUCT_OFFSET(VirtualFileSystemClass, newItem), nullptr,
                                   nullptr, nullptr, G_TYPE_NONE, 4, string, G_TYPE_INT, G_TYPE_POINTER,
                                   G_TYPE_BOOLEAN);
    }
    for (auto [id, name] : {std::pair{RENAME_FILE_EVENT, "vorn_rename_file_event"},
                            std::pair{RENAME_FOLDER_EVENT, "vorn_rename_folder_event"}}) {
        signals[id] = g_signal_new(name, type, flags, G_STRUCT_OFFSET(VirtualFileSystemClass, rename), nullptr,
                                   nullptr, nullptr, G_TYPE_NONE, 4, string, string, string, G_TYPE_INT);
    }
    for (auto [id, name] : {std::pair{DELETE_FILE_EVENT, "vorn_delete_file_event"},
                            std::pair{DELETE_FOLDER_EVENT, "vorn_delete_folder_event"}}) {
        signals[id] = g_signal_new(name, type, flags, G_STRUCT_OFFSET(VirtualFileSystemClass, deleteItem), nullptr,
                                   nullptr, g_cclosure_marshal_VOID__POINTER, G_TYPE_NONE, 1, G_TYPE_POINTER);
    }
    signals[UNDO_STACK_CHANGED] =
        g_signal_new("vorn_undo_stack_changed", type, flags,
                     G_STRUCT_OFFSET(VirtualFileSystemClass, undoStackChanged), nullptr, nullptr,
                     g_cclosure_marshal_VOID__UINT, G_TYPE_NONE, 1, G_TYPE_UINT);
}

static void virtual_file_system_init(VirtualFileSystem *vfs)
{
    vfs->kind = VFS_KIND_NONE;
    vfs->undoEnabled = 0;
    vfs->operations = VfsOperations{};
}

GType VirtualFileSystem_GetType() noexcept
{
    return virtual_file_system_get_type();
}

void VFS_SetUndoRecorder(const VfsUndoRecorder *recorder) noexcept
{
    undoRecorder.store(recorder, std::memory_order_release);
}

const VfsUndoRecorder *VFS_GetUndoRecorder() noexcept
{
    return undoRecorder.load(std::memory_order_acquire);
}

/* Records. */

VfsDirectoryEntry *VFS_NewDirectoryEntry(const gchar *name, guint8 type) noexcept
{
    auto *entry = g_new0(VfsDirectoryEntry, 1);
    for (gchar *&kindName : entry->names)
        kindName = g_strdup(name);
    entry->type = type;
    return entry;
}

void VFS_FreeDirectoryEntry(VfsDirectoryEntry *entry) noexcept
{
    if (!entry)
        return;
    for (gchar *name : entry->names)
        g_free(name);
    g_free(entry->origin);
    g_free(entry);
}

void VFS_FreeItemPaths(VfsItemPaths *paths) noexcept
{
    if (!paths)
        return;
    for (gchar *path : paths->paths)
        g_free(path);
    g_free(paths);
}

/* Folders. */

VfsDirectoryEntry *VFS_CreateDirectory(gpointer vfs, const gchar *parentPath, const gchar *name,
                                       VfsDirectoryEntry **outExistingEntry) noexcept
{
    return VFS_CreateDirectoryEx(vfs, parentPath, name, outExistingEntry, nullptr, 0, 0, 0, 0, 1, 1, 1, 0);
}

VfsDirectoryEntry *VFS_CreateDirectoryEx(gpointer object, const gchar *parentPath, const gchar *name,
                                         VfsDirectoryEntry **outExistingEntry, const gchar *originPath,
                                         guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                         gint32 multisessionType, gint skipExistenceCheck, gint emitSignals,
                                         gint recordUndo, gint setRollbackPoint, gint fromChildThread) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.CreateDirectory))
            return nullptr;
        if (!parentPath) {
            errno = ENOENT;
            return nullptr;
        }
        if (!name) {
            errno = EINVAL;
            return nullptr;
        }
        gchar *rawFullPath = nullptr;
        EntryPtr entry{vfs->operations.CreateDirectory(vfs, parentPath, name, outExistingEntry, &rawFullPath,
                                                       originPath, specialFlagsLow, specialFlagsHigh,
                                                       multisessionType, skipExistenceCheck)};
        CharPtr fullPath{rawFullPath};
        if (!entry)
            return nullptr;
        if (!fullPath)
            fullPath.reset(g_strdup(vorn::vfs::childPath(parentPath, name).c_str()));

        ErrnoKeeper keepErrno;
        if (const VfsUndoRecorder *recorder = recorderFor(vfs, recordUndo); recorder && recorder->createDirectory)
            record(vfs, recorder->createDirectory(vfs, fullPath.get(), emitSignals), setRollbackPoint,
                   fromChildThread);
        if (emitSignals) {
            SignalScope scope(fromChildThread);
            emitNewItem(vfs, true, fullPath.get(), entry.get(), FALSE);
            emitChanged(vfs);
        }
        return entry.release();
    });
}

gint VFS_CreateDirectoryWithGenericName(gpointer object, const gchar *parentPath, gint32 ignored,
                                        gchar **outFullPath) noexcept
{
    if (outFullPath)
        *outFullPath = nullptr;
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.CreateDirectoryWithGenericName))
            return -1;
        if (!parentPath) {
            errno = ENOENT;
            return -1;
        }
        gchar *rawFullPath = nullptr;
        VfsDirectoryEntry *rawEntry = nullptr;
        const gint result =
            vfs->operations.CreateDirectoryWithGenericName(vfs, parentPath, ignored, &rawFullPath, &rawEntry);
        CharPtr fullPath{rawFullPath};
        EntryPtr entry{rawEntry};
        if (result == 0 && fullPath) {
            ErrnoKeeper keepErrno;
            if (const VfsUndoRecorder *recorder = recorderFor(vfs, 1); recorder && recorder->createDirectory)
                record(vfs, recorder->createDirectory(vfs, fullPath.get(), 1), 1, 0);
            emitNewItem(vfs, true, fullPath.get(), entry.get(), TRUE);
            emitChanged(vfs);
        }
        if (outFullPath)
            *outFullPath = fullPath.release();
        return result == 0 ? 0 : -1;
    });
}

gpointer VFS_OpenDirectory(gpointer object, const gchar *path) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.OpenDirectory))
        return nullptr;
    if (!path) {
        errno = ENOENT;
        return nullptr;
    }
    return vfs->operations.OpenDirectory(vfs, path);
}

VfsDirectoryEntry *VFS_ReadDirectory(gpointer object, gpointer handle) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.ReadDirectory))
        return nullptr;
    if (!handle) {
        errno = EINVAL;
        return nullptr;
    }
    return vfs->operations.ReadDirectory(vfs, handle);
}

gint VFS_CloseDirectory(gpointer object, gpointer handle) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.CloseDirectory))
        return -1;
    if (!handle) {
        errno = EINVAL;
        return -1;
    }
    return vfs->operations.CloseDirectory(vfs, handle) == 0 ? 0 : -1;
}

gint VFS_DeleteDirectory(gpointer vfs, const gchar *path) noexcept
{
    return VFS_DeleteDirectoryEx(vfs, path, 1, 1, 1, 0);
}

gint VFS_DeleteDirectoryEx(gpointer object, const gchar *path, gint emitSignals, gint recordUndo,
                           gint setRollbackPoint, gint fromChildThread) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.DeleteDirectory))
            return -1;
        if (!path) {
            errno = ENOENT;
            return -1;
        }
        return deleteItem(vfs, path, vfs->operations.DeleteDirectory, true, emitSignals, recordUndo,
                          setRollbackPoint, fromChildThread);
    });
}

/* Looking at items. */

gint VFS_Stat(gpointer object, const gchar *path, VfsStat *stat) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.Stat))
        return -1;
    if (!path || !stat) {
        errno = EINVAL;
        return -1;
    }
    return vfs->operations.Stat(vfs, path, stat) == 0 ? 0 : -1;
}

gint VFS_LinkStat(gpointer object, const gchar *path, VfsStat *stat) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.LinkStat))
        return -1;
    if (!path) {
        errno = ENOENT;
        return -1;
    }
    if (!stat) {
        errno = EINVAL;
        return -1;
    }
    return vfs->operations.LinkStat(vfs, path, stat) == 0 ? 0 : -1;
}

/* Files. */

gint VFS_Unlink(gpointer vfs, const gchar *path) noexcept
{
    return VFS_UnlinkEx(vfs, path, 1, 1, 1, 0);
}

gint VFS_UnlinkEx(gpointer object, const gchar *path, gint emitSignals, gint recordUndo, gint setRollbackPoint,
                  gint fromChildThread) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.Unlink))
            return -1;
        if (!path) {
            errno = ENOENT;
            return -1;
        }
        return deleteItem(vfs, path, vfs->operations.Unlink, false, emitSignals, recordUndo, setRollbackPoint,
                          fromChildThread);
    });
}

gint VFS_Symlink(gpointer vfs, const gchar *target, const gchar *linkPath) noexcept
{
    return VFS_SymlinkEx(vfs, target, linkPath, 1, 1, 1, 0);
}

gint VFS_SymlinkEx(gpointer object, const gchar *target, const gchar *linkPath, gint emitSignals, gint,
                   gint, gint fromChildThread) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.Symlink))
            return -1;
        if (!target || !linkPath) {
            errno = ENOENT;
            return -1;
        }
        VfsDirectoryEntry *rawEntry = nullptr;
        const gint result = vfs->operations.Symlink(vfs, target, linkPath, &rawEntry);
        EntryPtr entry{rawEntry};
        if (result != 0)
            return -1;
        // Only the local file system makes links, and it keeps no history.
        if (emitSignals) {
            ErrnoKeeper keepErrno;
            SignalScope scope(fromChildThread);
            emitNewItem(vfs, false, linkPath, entry.get(), FALSE);
            emitChanged(vfs);
        }
        return 0;
    });
}

gint VFS_Rename(gpointer vfs, const gchar *path, const gchar *newName, gint nameKind) noexcept
{
    return VFS_RenameEx(vfs, path, newName, nameKind, 1, 1, 1, 0);
}

gint VFS_RenameEx(gpointer object, const gchar *path, const gchar *newName, gint nameKind, gint emitSignals,
                  gint recordUndo, gint setRollbackPoint, gint fromChildThread) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.Rename))
            return -1;
        if (!path) {
            errno = ENOENT;
            return -1;
        }
        if (!newName || nameKind < 0 || nameKind >= VFS_NAME_KINDS) {
            errno = EINVAL;
            return -1;
        }
        VfsStat stat;
        const bool directory = isDirectory(vfs, path, &stat);
        const VfsUndoRecorder *recorder = recorderFor(vfs, recordUndo);
        CharPtr oldName;
        if (recorder && recorder->rename && vfs->operations.GetItemName) {
            ErrnoKeeper keepErrno;
            oldName.reset(vfs->operations.GetItemName(vfs, path, nameKind));
            // A name the file system made itself (none changed by hand) is
            // recorded as "": renaming to "" gives the automatic name back,
            // which may differ from the one read now once neighbours change.
            // The root's names are the volume labels, always set.
            if (oldName && nameKind >= VFS_NAME_KIND_ISO_1 && vfs->operations.GetItemChangedName &&
                vorn::vfs::lastComponent(path) != "/") {
                CharPtr changed{vfs->operations.GetItemChangedName(vfs, path, nameKind)};
                if (!changed)
                    oldName.reset(g_strdup(""));
            }
        }

        gchar *rawNewPath = nullptr;
        gchar *rawNewName = nullptr;
        const gint result = vfs->operations.Rename(vfs, path, newName, nameKind, &rawNewPath, &rawNewName);
        CharPtr newPath{rawNewPath};
        CharPtr givenName{rawNewName};
        if (result != 0)
            return -1;
        if (!newPath)
            newPath.reset(g_strdup(vorn::vfs::childPath(vorn::vfs::parentPart(path), newName).c_str()));

        ErrnoKeeper keepErrno;
        if (recorder && recorder->rename && oldName)
            record(vfs, recorder->rename(vfs, newPath.get(), oldName.get(), nameKind, emitSignals),
                   setRollbackPoint, fromChildThread);
        if (emitSignals) {
            SignalScope scope(fromChildThread);
            g_signal_emit(vfs, signals[directory ? RENAME_FOLDER_EVENT : RENAME_FILE_EVENT], 0, path,
                          newPath.get(), givenName ? givenName.get() : newName, nameKind);
            emitChanged(vfs);
        }
        return 0;
    });
}

gint VFS_Move(gpointer vfs, const gchar *path, const gchar *destinationPath, gint nameKind,
              VfsDirectoryEntry **outExistingEntry) noexcept
{
    return VFS_MoveEx(vfs, path, destinationPath, nameKind, outExistingEntry, 1, 1, 1, 0);
}

gint VFS_MoveEx(gpointer object, const gchar *path, const gchar *destinationPath, gint nameKind,
                VfsDirectoryEntry **outExistingEntry, gint emitSignals, gint recordUndo, gint setRollbackPoint,
                gint fromChildThread) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.Move))
            return -1;
        if (!path) {
            errno = ENOENT;
            return -1;
        }
        if (!destinationPath) {
            errno = EINVAL;
            return -1;
        }
        PathsPtr oldPaths = emitSignals ? capturePaths(vfs, path) : nullptr;
        if (emitSignals && !oldPaths)
            return -1;
        VfsStat stat;
        const bool directory = isDirectory(vfs, path, &stat);

        gchar *rawNewPath = nullptr;
        gchar *rawOldParent = nullptr;
        const gint result = vfs->operations.Move(vfs, path, destinationPath, nameKind, outExistingEntry,
                                                 &rawNewPath, &rawOldParent);
        CharPtr newPath{rawNewPath};
        CharPtr oldParent{rawOldParent};
        if (result != 0)
            return -1;
        if (!newPath)
            return 0;

        ErrnoKeeper keepErrno;
        if (const VfsUndoRecorder *recorder = recorderFor(vfs, recordUndo); recorder && recorder->move) {
            const gchar *from = oldParent && *oldParent ? oldParent.get() : "/";
            record(vfs, recorder->move(vfs, newPath.get(), from, VFS_NAME_KIND_USER, emitSignals), setRollbackPoint,
                   fromChildThread);
        }
        if (emitSignals) {
            // The item as it stands in its new place. The type comes from the
            // mode seen before the move: a folder gives 4, a local file its
            // own d_type, a disc file 0.
            EntryPtr entry{g_new0(VfsDirectoryEntry, 1)};
            for (gint kind = 0; kind < VFS_NAME_KINDS; ++kind)
                entry->names[kind] = VFS_GetItemName(vfs, newPath.get(), kind);
            if (vfs->operations.GetItemOrigin)
                entry->origin = vfs->operations.GetItemOrigin(vfs, newPath.get());
            entry->type = static_cast<guint8>((stat.mode & VFS_MODE_TYPE_MASK) >> 12);
            entry->specialFlags = stat.specialFlags;
            entry->multisessionType = stat.multisessionType;

            SignalScope scope(fromChildThread);
            emitDeleted(vfs, directory, oldPaths.get());
            emitNewItem(vfs, directory, newPath.get(), entry.get(), FALSE);
            emitChanged(vfs);
        }
        return 0;
    });
}

VfsDirectoryEntry *VFS_Copy(gpointer source, const gchar *sourcePath, gpointer destination,
                            const gchar *destinationDirectory, gint nameKind,
                            VfsDirectoryEntry **outExistingEntry) noexcept
{
    return VFS_CopyEx(source, sourcePath, destination, destinationDirectory, nameKind, outExistingEntry, 0, 0, 0,
                      followSymbolicLinksByDefault(), 0, nullptr, 1, 1, 1, 0);
}

VfsDirectoryEntry *VFS_CopyEx(gpointer sourceObject, const gchar *sourcePath, gpointer destinationObject,
                              const gchar *destinationDirectory, gint nameKind,
                              VfsDirectoryEntry **outExistingEntry, guint32 specialFlagsLow,
                              guint32 specialFlagsHigh, gint32 multisessionType, gint followSymbolicLinks,
                              gint skipExistenceCheck, pthread_mutex_t *cancelLock, gint emitSignals,
                              gint recordUndo, gint setRollbackPoint, gint fromChildThread) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        VirtualFileSystem *source = fileSystem(sourceObject);
        VirtualFileSystem *destination = fileSystem(destinationObject);
        if (!source || !destination)
            return nullptr;
        if (source->kind == VFS_KIND_NONE || destination->kind == VFS_KIND_NONE || !sourcePath ||
            !destinationDirectory) {
            errno = EINVAL;
            return nullptr;
        }

        gchar *rawNewPath = nullptr;
        VfsDirectoryEntry *rawEntry = nullptr;
        const VfsOperations &slots = destination->operations;
        switch (source->kind) {
        case VFS_KIND_LOCAL:
            if (!offered(slots.CopyFromLinux))
                return nullptr;
            rawEntry = slots.CopyFromLinux(source, sourcePath, destination, destinationDirectory, nameKind,
                                           outExistingEntry, &rawNewPath, specialFlagsLow, specialFlagsHigh,
                                           multisessionType, followSymbolicLinks, skipExistenceCheck, cancelLock);
            break;
        case VFS_KIND_DATA_DISC:
        case VFS_KIND_AUDIO_DISC: {
            const VfsCopyFromDiscFunc slot =
                source->kind == VFS_KIND_DATA_DISC ? slots.CopyFromDataDisc : slots.CopyFromAudioDisc;
            if (!offered(slot))
                return nullptr;
            rawEntry = slot(source, sourcePath, destination, destinationDirectory, nameKind, outExistingEntry,
                            &rawNewPath, specialFlagsLow, specialFlagsHigh, multisessionType, skipExistenceCheck,
                            cancelLock);
            break;
        }
        default:
            // Nothing can be copied out of a mixed-mode disc as a whole.
            errno = EINVAL;
            return nullptr;
        }
        EntryPtr entry{rawEntry};
        CharPtr newPath{rawNewPath};
        if (!entry)
            return nullptr;

        if (newPath) {
            ErrnoKeeper keepErrno;
            if (const VfsUndoRecorder *recorder = recorderFor(destination, recordUndo); recorder && recorder->copy)
                record(destination, recorder->copy(destination, newPath.get(), VFS_NAME_KIND_USER, emitSignals),
                       setRollbackPoint, fromChildThread);
            if (emitSignals) {
                SignalScope scope(fromChildThread);
                emitNewItem(destination, false, newPath.get(), entry.get(), FALSE);
                emitChanged(destination);
            }
        }
        return entry.release();
    });
}

/* Names and origins. */

namespace {

template <class Slot>
gchar *itemString(gpointer object, Slot VfsOperations::*slot, const gchar *path, gint nameKind) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.*slot))
        return nullptr;
    if (!path) {
        errno = ENOENT;
        return nullptr;
    }
    if (nameKind < 0 || nameKind >= VFS_NAME_KINDS) {
        errno = EINVAL;
        return nullptr;
    }
    return (vfs->operations.*slot)(vfs, path, nameKind);
}

}  // namespace

gchar *VFS_GetItemName(gpointer vfs, const gchar *path, gint nameKind) noexcept
{
    return itemString(vfs, &VfsOperations::GetItemName, path, nameKind);
}

gchar *VFS_GetItemChangedName(gpointer vfs, const gchar *path, gint nameKind) noexcept
{
    return itemString(vfs, &VfsOperations::GetItemChangedName, path, nameKind);
}

gchar *VFS_GetItemFullPath(gpointer vfs, const gchar *path, gint nameKind) noexcept
{
    return itemString(vfs, &VfsOperations::GetItemFullPath, path, nameKind);
}

gchar *VFS_GetItemOrigin(gpointer object, const gchar *path) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.GetItemOrigin))
        return nullptr;
    if (!path) {
        errno = ENOENT;
        return nullptr;
    }
    return vfs->operations.GetItemOrigin(vfs, path);
}

VirtualFileSystem *VFS_GetItemSourceVFS(gpointer object, const gchar *path) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.GetItemSourceVFS))
        return nullptr;
    if (!path) {
        errno = ENOENT;
        return nullptr;
    }
    return vfs->operations.GetItemSourceVFS(vfs, path);
}

gint VFS_RefreshItem(gpointer object, const gchar *path) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.RefreshItem))
        return -1;
    if (!path) {
        errno = ENOENT;
        return -1;
    }
    return vfs->operations.RefreshItem(vfs, path) == 0 ? 0 : -1;
}

gint VFS_SetItemPriority(gpointer object, const gchar *path, gint32 priority) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.SetItemPriority))
            return -1;
        if (!path) {
            errno = ENOENT;
            return -1;
        }
        if (vfs->operations.SetItemPriority(vfs, path, priority) != 0)
            return -1;
        emitChanged(vfs);
        return 0;
    });
}

gint VFS_SetItemCompilationAdditionDate(gpointer object, const gchar *path, gint64 time) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.SetItemCompilationAdditionDate))
            return -1;
        if (!path) {
            errno = ENOENT;
            return -1;
        }
        if (vfs->operations.SetItemCompilationAdditionDate(vfs, path, time) != 0)
            return -1;
        emitChanged(vfs);
        return 0;
    });
}

/* Undo history. */

gint VFS_SetUndoRollbackPoint(gpointer object, gint fromChildThread) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.SetUndoRollbackPoint))
        return -1;
    return vfs->operations.SetUndoRollbackPoint(vfs, fromChildThread) == 0 ? 0 : -1;
}

guint VFS_GetUndoRollbackPointsCount(gpointer object) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.GetUndoRollbackPointsCount))
        return 0;
    return vfs->operations.GetUndoRollbackPointsCount(vfs);
}

gint VFS_AddUndoEntry(gpointer object, gpointer entry) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.AddUndoEntry))
        return -1;
    if (!entry || !IS_VORN_UNDO_ENTRY(entry)) {
        errno = EINVAL;
        return -1;
    }
    return vfs->operations.AddUndoEntry(vfs, static_cast<UndoEntry *>(entry)) == 0 ? 0 : -1;
}

gint VFS_Undo(gpointer object, gint undoMode, gint fromChildThread) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.Undo))
        return -1;
    if (undoMode < VFS_UNDO_EMIT || undoMode > VFS_UNDO_AS_RECORDED) {
        errno = EINVAL;
        return -1;
    }
    return vfs->operations.Undo(vfs, undoMode, fromChildThread) == 0 ? 0 : -1;
}

/* Commands and tracks. */

gint VFS_IoControl(gpointer object, gint code, gpointer argument) noexcept
{
    VirtualFileSystem *vfs = fileSystem(object);
    if (!vfs || !offered(vfs->operations.IoControl))
        return -1;
    return vfs->operations.IoControl(vfs, code, argument) == 0 ? 0 : -1;
}

gint VFS_IoControlFromChildThread(gpointer vfs, gint code, gpointer argument) noexcept
{
    gdk_threads_enter();
    const gint result = VFS_IoControl(vfs, code, argument);
    ErrnoKeeper keepErrno;
    gdk_threads_leave();
    return result;
}

VfsDirectoryEntry *VFS_ImportAudioTrack(gpointer vfs, const gchar *destinationPath,
                                        const gchar *trackSpecification) noexcept
{
    return VFS_ImportAudioTrackEx(vfs, destinationPath, trackSpecification, 1, 1, 1, 0);
}

VfsDirectoryEntry *VFS_ImportAudioTrackEx(gpointer object, const gchar *destinationPath,
                                          const gchar *trackSpecification, gint emitSignals, gint, gint,
                                          gint fromChildThread) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        VirtualFileSystem *vfs = fileSystem(object);
        if (!vfs || !offered(vfs->operations.ImportAudioTrack))
            return nullptr;
        if (!destinationPath || !trackSpecification) {
            errno = EINVAL;
            return nullptr;
        }
        gchar *rawNewPath = nullptr;
        EntryPtr entry{vfs->operations.ImportAudioTrack(vfs, destinationPath, trackSpecification, &rawNewPath)};
        CharPtr newPath{rawNewPath};
        if (!entry)
            return nullptr;
        if (emitSignals && newPath) {
            ErrnoKeeper keepErrno;
            SignalScope scope(fromChildThread);
            emitNewItem(vfs, false, newPath.get(), entry.get(), FALSE);
            emitChanged(vfs);
        }
        return entry.release();
    });
}
