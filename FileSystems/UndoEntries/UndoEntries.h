/*
 * The undo entries a data disc records: one class per kind of change, each
 * with a constructor that copies what it is given and an undo operation that
 * applies the inverse change with recording switched off.
 *
 *   kind 1  CreateDirectoryUndoEntry      deletes the folder again
 *   kind 2  DeleteDataDiscItemUndoEntry   puts a detached copy of the item back
 *   kind 3  RenameUndoEntry               gives the old name back ("" when the
 *                                         old one was automatic: the automatic
 *                                         name returns)
 *   kind 4  MoveUndoEntry                 moves the item back to its old folder
 *   kind 6  CopyUndoEntry                 removes the copy
 *   kind 7  PriorityChangedUndoEntry      sets the old priority again
 *
 * Entries name items by path, never by pointer: a path that no longer exists
 * makes the undo fail (the tree is left as it is) instead of touching freed
 * memory. Whether an undo emits signals is decided by the undo mode (see
 * UndoEntry_EmitForMode). Every constructor returns a full reference or NULL.
 */
#ifndef VORN_UNDO_ENTRIES_H
#define VORN_UNDO_ENTRIES_H

#include "UndoEntry.h"

#include "VornAPI.h"

G_BEGIN_DECLS

enum {
    UNDO_ENTRY_CREATE_DIRECTORY = 1,
    UNDO_ENTRY_DELETE_DATA_DISC_ITEM = 2,
    UNDO_ENTRY_RENAME = 3,
    UNDO_ENTRY_MOVE = 4,
    UNDO_ENTRY_UNLINK_TRACK = 5,
    UNDO_ENTRY_COPY = 6,
    UNDO_ENTRY_PRIORITY_CHANGED = 7,
    UNDO_ENTRY_AUDIO_ITEM_PROPERTIES_CHANGED = 8
};

/* Whether an undo in `undoMode` emits signals: always (0), never (1), or as
 * the entry was recorded (2). */
gint UndoEntry_EmitForMode(const UndoEntry *entry, gint undoMode) noexcept;

typedef struct CreateDirectoryUndoEntry {
    UndoEntry parent;
    gchar *path;
} CreateDirectoryUndoEntry;
typedef struct { UndoEntryClass parent_class; } CreateDirectoryUndoEntryClass;
GType CreateDirectoryUndoEntry_GetType(void) noexcept;
/* NULL when path is NULL. */
UndoEntry *CreateDirectoryUndoEntry_New(const gchar *path, gint emit) noexcept;

/*
 * The entry takes ownership of `detachedItem` (a copy made with
 * VornDataCompilation_CopyItem) and destroys it at finalisation; the engine
 * inserts a copy of it on undo, so one entry could be undone twice. NULL
 * (and the item destroyed) when the parent path or the item is missing.
 */
typedef struct DeleteDataDiscItemUndoEntry {
    UndoEntry parent;
    gchar *parentPath;
    VornDataCompilationItem *item;
    gint32 isDirectory;
} DeleteDataDiscItemUndoEntry;
typedef struct { UndoEntryClass parent_class; } DeleteDataDiscItemUndoEntryClass;
GType DeleteDataDiscItemUndoEntry_GetType(void) noexcept;
UndoEntry *DeleteDataDiscItemUndoEntry_New(const gchar *parentPath, VornDataCompilationItem *detachedItem,
                                           gint isDirectory, gint emit) noexcept;

typedef struct RenameUndoEntry {
    UndoEntry parent;
    gchar *newFullPath;
    gchar *oldName;
    gint32 nameKind;
} RenameUndoEntry;
typedef struct { UndoEntryClass parent_class; } RenameUndoEntryClass;
GType RenameUndoEntry_GetType(void) noexcept;
UndoEntry *RenameUndoEntry_New(const gchar *newFullPath, const gchar *oldName, gint nameKind, gint emit) noexcept;

typedef struct MoveUndoEntry {
    UndoEntry parent;
    gchar *newPath;
    gchar *oldParentPath;
    gint32 nameKind;
} MoveUndoEntry;
typedef struct { UndoEntryClass parent_class; } MoveUndoEntryClass;
GType MoveUndoEntry_GetType(void) noexcept;
UndoEntry *MoveUndoEntry_New(const gchar *newPath, const gchar *oldParentPath, gint nameKind, gint emit) noexcept;

typedef struct CopyUndoEntry {
    UndoEntry parent;
    gchar *newPath;
    gint32 nameKind;
} CopyUndoEntry;
typedef struct { UndoEntryClass parent_class; } CopyUndoEntryClass;
GType CopyUndoEntry_GetType(void) noexcept;
UndoEntry *CopyUndoEntry_New(const gchar *newPath, gint nameKind, gint emit) noexcept;

/* Recorded by the user interface itself after it changed a priority. */
typedef struct PriorityChangedUndoEntry {
    UndoEntry parent;
    gchar *path;
    gint32 oldPriority;
} PriorityChangedUndoEntry;
typedef struct { UndoEntryClass parent_class; } PriorityChangedUndoEntryClass;
GType PriorityChangedUndoEntry_GetType(void) noexcept;
UndoEntry *PriorityChangedUndoEntry_New(const gchar *path, gint32 oldPriority, gint emit) noexcept;

/*
 * The data compilation behind a data disc file system (borrowed), read from
 * its "data-compilation" property; NULL for any other file system. The entry
 * classes reach the engine tree through it without linking the file system.
 */
VornDataCompilation *UndoEntries_GetDataCompilation(VirtualFileSystem *vfs) noexcept;

/* Installs the recorder that builds these entries for the VFS dispatchers
 * (VfsUndoRecorder.h). Idempotent and thread-safe. */
void UndoEntries_InstallRecorder(void) noexcept;

G_END_DECLS

#endif
