/*
 * Where the file-system operations meet the undo entry classes.
 *
 * The dispatchers in VirtualFileSystem.cpp decide when a change is recorded;
 * which entry describes it is the business of the entry classes, which sit
 * above this library because their undo operations call the VFS_ functions.
 * The library of the entry classes installs one recorder; the file systems
 * that keep a history make sure it is installed before they record (their
 * class initialiser is the natural place). Without a recorder, or with an
 * empty member, nothing is recorded and the change itself goes ahead.
 *
 * Every builder returns a new entry (full reference) or NULL; the dispatcher
 * hands it to VFS_AddUndoEntry and drops that reference. `emit` is the
 * emitSignals flag of the recording operation. Builders are called on the
 * thread of the operation and must not throw.
 */
#ifndef VORN_VFS_UNDO_RECORDER_H
#define VORN_VFS_UNDO_RECORDER_H

#include "UndoEntry.h"

G_BEGIN_DECLS

typedef struct VfsUndoRecorder {
    /* A folder was created at fullPath. */
    UndoEntry *(*createDirectory)(VirtualFileSystem *vfs, const gchar *fullPath, gint emit);

    /*
     * Deleting an item (VFS_UnlinkEx, VFS_DeleteDirectoryEx) needs what the
     * item was before it goes: captureDeletion runs before the slot and keeps
     * whatever the entry will need (a detached copy of a disc item, a track's
     * properties); deletion builds the entry from it after the slot succeeded.
     * releaseCapture is called on every capture that was made, after the
     * entry was built or when the slot failed. parentPath is "/" for a
     * top-level item.
     */
    gpointer (*captureDeletion)(VirtualFileSystem *vfs, const gchar *path, gint isDirectory);
    UndoEntry *(*deletion)(VirtualFileSystem *vfs, const gchar *path, const gchar *parentPath,
                           gpointer capture, gint isDirectory, gint emit);
    void (*releaseCapture)(gpointer capture);

    /* The item now at newFullPath had oldName in nameKind. */
    UndoEntry *(*rename)(VirtualFileSystem *vfs, const gchar *newFullPath, const gchar *oldName, gint nameKind,
                         gint emit);
    /* The item now at newPath came from oldParentPath ("/" for the root). */
    UndoEntry *(*move)(VirtualFileSystem *vfs, const gchar *newPath, const gchar *oldParentPath, gint nameKind,
                       gint emit);
    /* A copy was made at newPath. */
    UndoEntry *(*copy)(VirtualFileSystem *vfs, const gchar *newPath, gint nameKind, gint emit);
} VfsUndoRecorder;

/* Installs the recorder (kept by pointer; NULL removes it). Thread-safe. */
void VFS_SetUndoRecorder(const VfsUndoRecorder *recorder) noexcept;
const VfsUndoRecorder *VFS_GetUndoRecorder(void) noexcept;

G_END_DECLS

#endif
