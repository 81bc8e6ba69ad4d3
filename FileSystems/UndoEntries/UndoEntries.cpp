#include "UndoEntries.h"

#include "DataDiscItems.h"
#include "Debugger.h"
#include "VfsPaths.h"
#include "VfsSupport.h"

#include <gdk/gdk.h>

#include <cerrno>

using vorn::vfs::EntryPtr;

gint UndoEntry_EmitForMode(const UndoEntry *entry, gint undoMode) noexcept
{
    switch (undoMode) {
    case VFS_UNDO_EMIT:
        return 1;
    case VFS_UNDO_AS_RECORDED:
        return entry->emitSignals ? 1 : 0;
    default:
        return 0;
    }
}

VornDataCompilation *UndoEntries_GetDataCompilation(VirtualFileSystem *vfs) noexcept
{
    if (!vfs || !IS_VORN_VFS(vfs) || vfs->kind != VFS_KIND_DATA_DISC ||
        !g_object_class_find_property(G_OBJECT_GET_CLASS(vfs), "data-compilation"))
        return nullptr;
    gpointer compilation = nullptr;
    g_object_get(vfs, "data-compilation", &compilation, nullptr);
    return static_cast<VornDataCompilation *>(compilation);
}

/* Kind 1: a folder was created; undo deletes it (with whatever was put in it
 * since, which later entries of the same action have taken out already). */

G_DEFINE_TYPE(CreateDirectoryUndoEntry, create_directory_undo_entry, VORN_TYPE_UNDO_ENTRY)

static gint create_directory_undo(UndoEntry *entry, VirtualFileSystem *vfs, gint undoMode,
                                  gint fromChildThread) noexcept
{
    auto *self = reinterpret_cast<CreateDirectoryUndoEntry *>(entry);
    return VFS_DeleteDirectoryEx(vfs, self->path, UndoEntry_EmitForMode(entry, undoMode), 0, 0, fromChildThread);
}

static void create_directory_undo_entry_finalize(GObject *object) noexcept
{
    g_free(reinterpret_cast<CreateDirectoryUndoEntry *>(object)->path);
    G_OBJECT_CLASS(create_directory_undo_entry_parent_class)->finalize(object);
}

static void create_directory_undo_entry_class_init(CreateDirectoryUndoEntryClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = create_directory_undo_entry_finalize;
}

static void create_directory_undo_entry_init(CreateDirectoryUndoEntry *self)
{
    self->parent.kind = UNDO_ENTRY_CREATE_DIRECTORY;
    self->parent.undo = create_directory_undo;
}

GType CreateDirectoryUndoEntry_GetType() noexcept
{
    return create_directory_undo_entry_get_type();
}

UndoEntry *CreateDirectoryUndoEntry_New(const gchar *path, gint emit) noexcept
{
    if (!path)
        return nullptr;
    auto *self = static_cast<CreateDirectoryUndoEntry *>(g_object_new(create_directory_undo_entry_get_type(), nullptr));
    self->path = g_strdup(path);
    self->parent.emitSignals = emit ? 1 : 0;
    return &self->parent;
}

/* Kind 2: an item of a data disc was deleted; undo inserts a copy of the
 * detached item kept since then into its old folder. */

G_DEFINE_TYPE(DeleteDataDiscItemUndoEntry, delete_data_disc_item_undo_entry, VORN_TYPE_UNDO_ENTRY)

static gint delete_data_disc_item_undo(UndoEntry *entry, VirtualFileSystem *vfs, gint undoMode,
                                       gint fromChildThread) noexcept
{
    return vorn::vfs::guarded<gint>(-1, [&]() -> gint {
        auto *self = reinterpret_cast<DeleteDataDiscItemUndoEntry *>(entry);
        VornDataCompilation *compilation = UndoEntries_GetDataCompilation(vfs);
        if (!compilation) {
            errno = EINVAL;
            return -1;
        }
        VornDataCompilationItem *parent = vorn::datadisc::itemAt(compilation, self->parentPath);
        if (!parent) {
            errno = ENOENT;
            return -1;
        }
        VornDataCompilationItem *inserted = VornDataCompilation_InsertExistingItem(compilation, parent, self->item);
        if (!inserted) {
            errno = EINVAL;
            return -1;
        }
        if (UndoEntry_EmitForMode(entry, undoMode)) {
            const std::string fullPath = VornDataCompilation_GetItemFullPath(compilation, inserted, VFS_NAME_KIND_USER);
            EntryPtr itemEntry{vorn::datadisc::entryOfItem(compilation, inserted)};
            const bool folder = vorn::datadisc::isDirectoryItem(inserted);
            if (fromChildThread)
                gdk_threads_enter();
            g_signal_emit_by_name(vfs, folder ? "vorn_new_folder_event" : "vorn_new_file_event", fullPath.c_str(),
                                  static_cast<gint>(VFS_NAME_KIND_USER), itemEntry.get(), FALSE);
            g_signal_emit_by_name(vfs, "vorn_file_system_changed");
            if (fromChildThread)
                gdk_threads_leave();
        }
        return 0;
    });
}

static void delete_data_disc_item_undo_entry_finalize(GObject *object) noexcept
{
    auto *self = reinterpret_cast<DeleteDataDiscItemUndoEntry *>(object);
    g_free(self->parentPath);
    VornDataCompilationItem_Destroy(self->item);
    G_OBJECT_CLASS(delete_data_disc_item_undo_entry_parent_class)->finalize(object);
}

static void delete_data_disc_item_undo_entry_class_init(DeleteDataDiscItemUndoEntryClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = delete_data_disc_item_undo_entry_finalize;
}

static void delete_data_disc_item_undo_entry_init(DeleteDataDiscItemUndoEntry *self)
{
    self->parent.kind = UNDO_ENTRY_DELETE_DATA_DISC_ITEM;
    self->parent.undo = delete_data_disc_item_undo;
}

GType DeleteDataDiscItemUndoEntry_GetType() noexcept
{
    return delete_data_disc_item_undo_entry_get_type();
}

UndoEntry *DeleteDataDiscItemUndoEntry_New(const gchar *parentPath, VornDataCompilationItem *detachedItem,
                                           gint isDirectory, gint emit) noexcept
{
    if (!parentPath || !detachedItem) {
        VornDataCompilationItem_Destroy(detachedItem);
        return nullptr;
    }
    auto *self = static_cast<DeleteDataDiscItemUndoEntry *>(
        g_object_new(delete_data_disc_item_undo_entry_get_type(), nullptr));
    self->parentPath = g_strdup(parentPath);
    self->item = detachedItem;
    self->isDirectory = isDirectory ? 1 : 0;
    self->parent.emitSignals = emit ? 1 : 0;
    return &self->parent;
}

/* Kind 3: an item got a new name of one kind; undo gives the old one back. */

G_DEFINE_TYPE(RenameUndoEntry, rename_undo_entry, VORN_TYPE_UNDO_ENTRY)

static gint rename_undo(UndoEntry *entry, VirtualFileSystem *vfs, gint undoMode, gint fromChildThread) noexcept
{
    auto *self = reinterpret_cast<RenameUndoEntry *>(entry);
    return VFS_RenameEx(vfs, self->newFullPath, self->oldName, self->nameKind, UndoEntry_EmitForMode(entry, undoMode),
                        0, 0, fromChildThread);
}

static void rename_undo_entry_finalize(GObject *object) noexcept
{
    auto *self = reinterpret_cast<RenameUndoEntry *>(object);
    g_free(self->newFullPath);
    g_free(self->oldName);
    G_OBJECT_CLASS(rename_undo_entry_parent_class)->finalize(object);
}

static void rename_undo_entry_class_init(RenameUndoEntryClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = rename_undo_entry_finalize;
}

static void rename_undo_entry_init(RenameUndoEntry *self)
{
    self->parent.kind = UNDO_ENTRY_RENAME;
    self->parent.undo = rename_undo;
}

GType RenameUndoEntry_GetType() noexcept
{
    return rename_undo_entry_get_type();
}

UndoEntry *RenameUndoEntry_New(const gchar *newFullPath, const gchar *oldName, gint nameKind, gint emit) noexcept
{
    if (!newFullPath || !oldName)
        return nullptr;
    auto *self = static_cast<RenameUndoEntry *>(g_object_new(rename_undo_entry_get_type(), nullptr));
    self->newFullPath = g_strdup(newFullPath);
    self->oldName = g_strdup(oldName);
    self->nameKind = nameKind;
    self->parent.emitSignals = emit ? 1 : 0;
    return &self->parent;
}

/* Kind 4: an item was moved to another folder; undo moves it back. */

G_DEFINE_TYPE(MoveUndoEntry, move_undo_entry, VORN_TYPE_UNDO_ENTRY)

static gint move_undo(UndoEntry *entry, VirtualFileSystem *vfs, gint undoMode, gint fromChildThread) noexcept
{
    auto *self = reinterpret_cast<MoveUndoEntry *>(entry);
    return VFS_MoveEx(vfs, self->newPath, self->oldParentPath, VFS_NAME_KIND_USER, nullptr,
                      UndoEntry_EmitForMode(entry, undoMode), 0, 0, fromChildThread);
}

static void move_undo_entry_finalize(GObject *object) noexcept
{
    auto *self = reinterpret_cast<MoveUndoEntry *>(object);
    g_free(self->newPath);
    g_free(self->oldParentPath);
    G_OBJECT_CLASS(move_undo_entry_parent_class)->finalize(object);
}

static void move_undo_entry_class_init(MoveUndoEntryClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = move_undo_entry_finalize;
}

static void move_undo_entry_init(MoveUndoEntry *self)
{
    self->parent.kind = UNDO_ENTRY_MOVE;
    self->parent.undo = move_undo;
}

GType MoveUndoEntry_GetType() noexcept
{
    return move_undo_entry_get_type();
}

UndoEntry *MoveUndoEntry_New(const gchar *newPath, const gchar *oldParentPath, gint nameKind, gint emit) noexcept
{
    if (!newPath || !oldParentPath)
        return nullptr;
    auto *self = static_cast<MoveUndoEntry *>(g_object_new(move_undo_entry_get_type(), nullptr));
    self->newPath = g_strdup(newPath);
    self->oldParentPath = g_strdup(oldParentPath);
    self->nameKind = nameKind;
    self->parent.emitSignals = emit ? 1 : 0;
    return &self->parent;
}

/* Kind 6: a file was copied in; undo removes the copy. */

G_DEFINE_TYPE(CopyUndoEntry, copy_undo_entry, VORN_TYPE_UNDO_ENTRY)

static gint copy_undo(UndoEntry *entry, VirtualFileSystem *vfs, gint undoMode, gint fromChildThread) noexcept
{
    auto *self = reinterpret_cast<CopyUndoEntry *>(entry);
    return VFS_UnlinkEx(vfs, self->newPath, UndoEntry_EmitForMode(entry, undoMode), 0, 0, fromChildThread);
}

static void copy_undo_entry_finalize(GObject *object) noexcept
{
    g_free(reinterpret_cast<CopyUndoEntry *>(object)->newPath);
    G_OBJECT_CLASS(copy_undo_entry_parent_class)->finalize(object);
}

static void copy_undo_entry_class_init(CopyUndoEntryClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = copy_undo_entry_finalize;
}

static void copy_undo_entry_init(CopyUndoEntry *self)
{
    self->parent.kind = UNDO_ENTRY_COPY;
    self->parent.undo = copy_undo;
}

GType CopyUndoEntry_GetType() noexcept
{
    return copy_undo_entry_get_type();
}

UndoEntry *CopyUndoEntry_New(const gchar *newPath, gint nameKind, gint emit) noexcept
{
    if (!newPath)
        return nullptr;
    auto *self = static_cast<CopyUndoEntry *>(g_object_new(copy_undo_entry_get_type(), nullptr));
    self->newPath = g_strdup(newPath);
    self->nameKind = nameKind;
    self->parent.emitSignals = emit ? 1 : 0;
    return &self->parent;
}

/* Kind 7: the user changed an item's priority; undo sets the old one. The
 * priority setter has no silent form: it always tells views. */

G_DEFINE_TYPE(PriorityChangedUndoEntry, priority_changed_undo_entry, VORN_TYPE_UNDO_ENTRY)

static gint priority_changed_undo(UndoEntry *entry, VirtualFileSystem *vfs, gint, gint) noexcept
{
    auto *self = reinterpret_cast<PriorityChangedUndoEntry *>(entry);
    return VFS_SetItemPriority(vfs, self->path, self->oldPriority);
}

static void priority_changed_undo_entry_finalize(GObject *object) noexcept
{
    g_free(reinterpret_cast<PriorityChangedUndoEntry *>(object)->path);
    G_OBJECT_CLASS(priority_changed_undo_entry_parent_class)->finalize(object);
}

static void priority_changed_undo_entry_class_init(PriorityChangedUndoEntryClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = priority_changed_undo_entry_finalize;
}

static void priority_changed_undo_entry_init(PriorityChangedUndoEntry *self)
{
    self->parent.kind = UNDO_ENTRY_PRIORITY_CHANGED;
    self->parent.undo = priority_changed_undo;
}

GType PriorityChangedUndoEntry_GetType() noexcept
{
    return priority_changed_undo_entry_get_type();
}

UndoEntry *PriorityChangedUndoEntry_New(const gchar *path, gint32 oldPriority, gint emit) noexcept
{
    if (!path)
        return nullptr;
    auto *self =
        static_cast<PriorityChangedUndoEntry *>(g_object_new(priority_changed_undo_entry_get_type(), nullptr));
    self->path = g_strdup(path);
    self->oldPriority = oldPriority;
    self->parent.emitSignals = emit ? 1 : 0;
    return &self->parent;
}
