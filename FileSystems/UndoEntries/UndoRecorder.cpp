// The recorder the VFS dispatchers call to describe a change as an undo entry.
#include "UndoEntries.h"

#include "DataDiscItems.h"
#include "VfsUndoRecorder.h"

namespace {

UndoEntry *recordCreateDirectory(VirtualFileSystem *, const gchar *fullPath, gint emit) noexcept
{
    return CreateDirectoryUndoEntry_New(fullPath, emit);
}

// A data disc keeps a detached copy of the item (with everything below it)
// taken before the deletion; other file systems have nothing to capture here.
// The copy waits in a capture until an entry takes it over; whatever no entry
// took (the deletion failed) is destroyed on release.
struct DeletionCapture {
    VornDataCompilationItem *item;
};

gpointer captureDeletion(VirtualFileSystem *vfs, const gchar *path, gint) noexcept
{
    VornDataCompilation *compilation = UndoEntries_GetDataCompilation(vfs);
    if (!compilation || !path)
        return nullptr;
    try {
        VornDataCompilationItem *item = vorn::datadisc::itemAt(compilation, path);
        if (!item)
            return nullptr;
        return new DeletionCapture{VornDataCompilation_CopyItem(compilation, item)};
    } catch (...) {
        return nullptr;
    }
}

UndoEntry *recordDeletion(VirtualFileSystem *, const gchar *, const gchar *parentPath, gpointer capture,
                          gint isDirectory, gint emit) noexcept
{
    auto *captured = static_cast<DeletionCapture *>(capture);
    if (!captured || !captured->item)
        return nullptr;
    VornDataCompilationItem *item = captured->item;
    captured->item = nullptr;
    return DeleteDataDiscItemUndoEntry_New(parentPath, item, isDirectory, emit);
}

void releaseCapture(gpointer capture) noexcept
{
    auto *captured = static_cast<DeletionCapture *>(capture);
    if (!captured)
        return;
    VornDataCompilationItem_Destroy(captured->item);
    delete captured;
}

UndoEntry *recordRename(VirtualFileSystem *, const gchar *newFullPath, const gchar *oldName, gint nameKind,
                        gint emit) noexcept
{
    return RenameUndoEntry_New(newFullPath, oldName, nameKind, emit);
}

UndoEntry *recordMove(VirtualFileSystem *, const gchar *newPath, const gchar *oldParentPath, gint nameKind,
                      gint emit) noexcept
{
    return MoveUndoEntry_New(newPath, oldParentPath, nameKind, emit);
}

UndoEntry *recordCopy(VirtualFileSystem *, const gchar *newPath, gint nameKind, gint emit) noexcept
{
    return CopyUndoEntry_New(newPath, nameKind, emit);
}

const VfsUndoRecorder recorder = {
    recordCreateDirectory, captureDeletion, recordDeletion, releaseCapture, recordRename, recordMove, recordCopy,
};

}  // namespace

void UndoEntries_InstallRecorder() noexcept
{
    VFS_SetUndoRecorder(&recorder);
}
