/*
 * The virtual file system: one abstract object behind every tree the
 * application shows or edits.
 *
 * A VirtualFileSystem ("VornVFS") offers POSIX-like operations on absolute,
 * slash-separated paths ("/" is the root; the child of "/" named "a" is "/a")
 * plus what a disc compilation needs beyond POSIX: four names per item (name
 * kinds 0-3, kind 3 being the one the user sees and the one every path is
 * spelled in), priorities, multisession state, an undo history and a command
 * channel (VFS_IoControl).
 *
 * The operations are function slots held in each instance, filled by the
 * subclass's instance initialiser; the VFS_ functions below are the only way
 * callers reach them. Each dispatcher checks its arguments, calls the slot, and
 * for changes to the tree records undo (when the file system keeps a history),
 * sets a rollback point and emits the signals that let every view follow.
 *
 * Errors: functions returning int give 0 or -1, functions returning a pointer
 * give NULL on failure; errno holds the reason and keeps the value the slot set
 * through the undo and signal work that follows. EINVAL: not a file system or
 * a bad argument; ENOSYS: the file system does not offer the operation;
 * ENOENT: no path given or no such item; EEXIST: the name is taken (the
 * existing item's entry is handed out when the caller asked for it).
 *
 * Names are bytes. Local names keep the file system's encoding (which nobody
 * recorded): whatever shows them in a widget passes them through
 * Filenames_GetDisplayString first.
 *
 * Threads: the dispatchers run on the main thread and on worker threads. A
 * worker passes fromChildThread = 1, and the signals, whose handlers update
 * widgets, are then emitted inside gdk_threads_enter/gdk_threads_leave;
 * main-thread callers pass 0 because they hold the GDK lock already.
 */
#ifndef VORN_VIRTUAL_FILE_SYSTEM_H
#define VORN_VIRTUAL_FILE_SYSTEM_H

#include <glib-object.h>
#include <pthread.h>

G_BEGIN_DECLS

typedef struct VirtualFileSystem VirtualFileSystem;
typedef struct VirtualFileSystemClass VirtualFileSystemClass;
typedef struct UndoEntry UndoEntry;

/* File-system kinds: 0 until a subclass sets one. */
enum {
    VFS_KIND_NONE = 0,
    VFS_KIND_LOCAL = 1,
    VFS_KIND_DATA_DISC = 2,
    VFS_KIND_AUDIO_DISC = 3,
    VFS_KIND_MIXED_MODE_DISC = 4
};

/* Name kinds. Kinds 1 and 2 follow the ISO 9660 rules, kinds 0 and 3 the
 * Joliet rules; kind 3 is the name the user sees and the spelling of paths. */
enum {
    VFS_NAME_KIND_JOLIET = 0,
    VFS_NAME_KIND_ISO_1 = 1,
    VFS_NAME_KIND_ISO_2 = 2,
    VFS_NAME_KIND_USER = 3,
    VFS_NAME_KINDS = 4
};

/* Item special flags. */
#define VFS_ITEM_UNDELETABLE ((guint64)16) /* never deleted or unlinked from a data disc */
#define VFS_ITEM_SPECIAL_32 ((guint64)32)  /* carried to and from the engine unchanged */
#define VFS_ITEM_SPECIAL_64 ((guint64)64)  /* carried to and from the engine unchanged */

/* Entry types, in d_type values. */
enum {
    VFS_ENTRY_UNKNOWN = 0,
    VFS_ENTRY_DIRECTORY = 4,
    VFS_ENTRY_REGULAR = 8,
    VFS_ENTRY_SYMLINK = 10
};

/* Test a VfsStat mode with these. */
#define VFS_MODE_TYPE_MASK 0xF000u
#define VFS_MODE_DIRECTORY 0x4000u
#define VFS_MODE_SYMLINK 0xA000u
#define VFS_STAT_IS_DIRECTORY(stat) (((stat)->mode & VFS_MODE_TYPE_MASK) == VFS_MODE_DIRECTORY)
#define VFS_STAT_IS_SYMLINK(stat) (((stat)->mode & VFS_MODE_TYPE_MASK) == VFS_MODE_SYMLINK)

/*
 * What VFS_Stat and VFS_LinkStat report. The local file system fills the
 * POSIX fields from stat/lstat and leaves the disc fields 0; a data disc gives
 * mode 0777 (plus VFS_MODE_DIRECTORY for a folder), owner and group 0 and the
 * engine's sizes, times, flags, priority and multisession type.
 */
typedef struct VfsStat {
    guint32 mode;
    guint32 ownerUid;
    guint32 groupGid;
    guint64 sizeBytes;
    gint64 modificationTime;  /* seconds since the epoch, as all times here */
    gint64 accessTime;
    gint64 changeTime;        /* change time locally, creation time on a disc */
    gint64 compilationAdditionTime;
    guint64 specialFlags;     /* VFS_ITEM_* bits */
    gint32 priority;
    gint32 multisessionType;
} VfsStat;

/*
 * One item of a listing, or the item an operation created or ran into.
 * Allocated zeroed with g_malloc; every string is the record's own.
 */
typedef struct VfsDirectoryEntry {
    gchar *names[VFS_NAME_KINDS]; /* the item's name in each name kind */
    gchar *origin;                /* local path the item was taken from; NULL or "" when none */
    guint8 type;                  /* VFS_ENTRY_*, or another d_type value from the local file system */
    guint64 specialFlags;         /* VFS_ITEM_* bits */
    gint32 multisessionType;
} VfsDirectoryEntry;

/* The full path of an item in each name kind (own strings). */
typedef struct VfsItemPaths {
    gchar *paths[VFS_NAME_KINDS];
} VfsItemPaths;

/* A new zeroed entry whose four names are copies of `name` (may be NULL). */
VfsDirectoryEntry *VFS_NewDirectoryEntry(const gchar *name, guint8 type) noexcept;
/* Frees the five strings and the record; NULL is accepted. */
void VFS_FreeDirectoryEntry(VfsDirectoryEntry *entry) noexcept;
/* Frees the four strings and the record; NULL is accepted. */
void VFS_FreeItemPaths(VfsItemPaths *paths) noexcept;

/*
 * The operation slots. A slot sets errno itself when it fails. Out arguments
 * (`out...`) may be NULL unless said otherwise; what a slot hands out through
 * them belongs to the caller.
 */
typedef VfsDirectoryEntry *(*VfsCreateDirectoryFunc)(VirtualFileSystem *vfs, const gchar *parentPath,
                                                     const gchar *name, VfsDirectoryEntry **outExistingEntry,
                                                     gchar **outFullPath, const gchar *originPath,
                                                     guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                                     gint32 multisessionType, gint skipExistenceCheck);
typedef gpointer (*VfsOpenDirectoryFunc)(VirtualFileSystem *vfs, const gchar *path);
typedef VfsDirectoryEntry *(*VfsReadDirectoryFunc)(VirtualFileSystem *vfs, gpointer handle);
typedef gint (*VfsCloseDirectoryFunc)(VirtualFileSystem *vfs, gpointer handle);
typedef gint (*VfsPathFunc)(VirtualFileSystem *vfs, const gchar *path);
typedef gint (*VfsStatFunc)(VirtualFileSystem *vfs, const gchar *path, VfsStat *stat);
/* Hands out the new link's entry through outEntry (never NULL). */
typedef gint (*VfsSymlinkFunc)(VirtualFileSystem *vfs, const gchar *target, const gchar *linkPath,
                               VfsDirectoryEntry **outEntry);
typedef gint (*VfsRenameFunc)(VirtualFileSystem *vfs, const gchar *path, const gchar *newName, gint nameKind,
                              gchar **outNewFullPath, gchar **outNewName);
/* outOldParentPath receives the old path cut at its last "/": "" for a top-level item. */
typedef gint (*VfsMoveFunc)(VirtualFileSystem *vfs, const gchar *path, const gchar *destinationPath,
                            gint nameKind, VfsDirectoryEntry **outExistingEntry, gchar **outNewPath,
                            gchar **outOldParentPath);
typedef gint (*VfsSetUndoRollbackPointFunc)(VirtualFileSystem *vfs, gint fromChildThread);
typedef guint (*VfsGetUndoRollbackPointsCountFunc)(VirtualFileSystem *vfs);
typedef gint (*VfsAddUndoEntryFunc)(VirtualFileSystem *vfs, UndoEntry *entry);
typedef gint (*VfsUndoFunc)(VirtualFileSystem *vfs, gint undoMode, gint fromChildThread);
/* Hands out the new folder's entry through outEntry (never NULL); outFullPath
 * may be set even on failure. */
typedef gint (*VfsCreateDirectoryWithGenericNameFunc)(VirtualFileSystem *vfs, const gchar *parentPath,
                                                      gint32 ignored, gchar **outFullPath,
                                                      VfsDirectoryEntry **outEntry);
typedef gchar *(*VfsItemNameFunc)(VirtualFileSystem *vfs, const gchar *path, gint nameKind);
typedef gchar *(*VfsItemStringFunc)(VirtualFileSystem *vfs, const gchar *path);
/* Borrowed. */
typedef VirtualFileSystem *(*VfsGetItemSourceVFSFunc)(VirtualFileSystem *vfs, const gchar *path);
typedef gint32 (*VfsGetItemMultisessionTypeFunc)(VirtualFileSystem *vfs, const gchar *path);
typedef guint64 (*VfsGetItemFlagsFunc)(VirtualFileSystem *vfs, const gchar *path);
typedef gint (*VfsSetItemIntFunc)(VirtualFileSystem *vfs, const gchar *path, gint32 value);
typedef gint (*VfsSetItemTimeFunc)(VirtualFileSystem *vfs, const gchar *path, gint64 time);
typedef gint (*VfsIoControlFunc)(VirtualFileSystem *vfs, gint code, gpointer argument);
/* Copies one item from the local file system `source` into `destination`. */
typedef VfsDirectoryEntry *(*VfsCopyFromLinuxFunc)(VirtualFileSystem *source, const gchar *sourcePath,
                                                   VirtualFileSystem *destination,
                                                   const gchar *destinationDirectory, gint nameKind,
                                                   VfsDirectoryEntry **outExistingEntry, gchar **outNewPath,
                                                   guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                                   gint32 multisessionType, gint followSymbolicLinks,
                                                   gint skipExistenceCheck, pthread_mutex_t *cancelLock);
/* Copies one item from a disc file system; symbolic links do not exist there. */
typedef VfsDirectoryEntry *(*VfsCopyFromDiscFunc)(VirtualFileSystem *source, const gchar *sourcePath,
                                                  VirtualFileSystem *destination,
                                                  const gchar *destinationDirectory, gint nameKind,
                                                  VfsDirectoryEntry **outExistingEntry, gchar **outNewPath,
                                                  guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                                  gint32 multisessionType, gint skipExistenceCheck,
                                                  pthread_mutex_t *cancelLock);
typedef VfsDirectoryEntry *(*VfsImportAudioTrackFunc)(VirtualFileSystem *vfs, const gchar *destinationPath,
                                                      const gchar *trackSpecification, gchar **outNewPath);

/* The 33 slots, in their fixed order. An empty slot makes its VFS_ call fail with ENOSYS. */
typedef struct VfsOperations {
    VfsCreateDirectoryFunc CreateDirectory;
    VfsOpenDirectoryFunc OpenDirectory;
    VfsReadDirectoryFunc ReadDirectory;
    VfsCloseDirectoryFunc CloseDirectory;
    VfsPathFunc DeleteDirectory;
    VfsStatFunc Stat;
    VfsStatFunc LinkStat;
    VfsPathFunc Unlink;
    VfsSymlinkFunc Symlink;
    VfsRenameFunc Rename;
    VfsMoveFunc Move;
    VfsSetUndoRollbackPointFunc SetUndoRollbackPoint;
    VfsGetUndoRollbackPointsCountFunc GetUndoRollbackPointsCount;
    VfsAddUndoEntryFunc AddUndoEntry;
    VfsUndoFunc Undo;
    VfsCreateDirectoryWithGenericNameFunc CreateDirectoryWithGenericName;
    VfsItemNameFunc GetItemName;
    VfsItemNameFunc GetItemChangedName;
    VfsItemNameFunc GetItemFullPath;
    VfsItemStringFunc GetItemOrigin;
    VfsPathFunc RefreshItem;
    VfsGetItemSourceVFSFunc GetItemSourceVFS;
    VfsGetItemMultisessionTypeFunc GetItemMultisessionType;
    VfsGetItemFlagsFunc GetItemFlags;
    VfsSetItemIntFunc SetItemMultisessionType;
    VfsPathFunc CheckItemPath;
    VfsSetItemIntFunc SetItemPriority;
    VfsSetItemTimeFunc SetItemCompilationAdditionDate;
    VfsIoControlFunc IoControl;
    VfsCopyFromLinuxFunc CopyFromLinux;
    VfsCopyFromDiscFunc CopyFromDataDisc;
    VfsCopyFromDiscFunc CopyFromAudioDisc;
    VfsImportAudioTrackFunc ImportAudioTrack;
} VfsOperations;

struct VirtualFileSystem {
    GObject parent;
    gint32 kind;          /* VFS_KIND_* */
    gint32 undoEnabled;   /* 1: the dispatchers record undo entries when asked to */
    VfsOperations operations;
};

/* Class handlers of the signals, in this order. */
struct VirtualFileSystemClass {
    GObjectClass parent_class;
    void (*fileSystemChanged)(VirtualFileSystem *vfs);
    void (*newItem)(VirtualFileSystem *vfs, const gchar *fullPath, gint nameKind, VfsDirectoryEntry *entry,
                    gboolean genericName);
    void (*rename)(VirtualFileSystem *vfs, const gchar *oldFullPath, const gchar *newFullPath,
                   const gchar *newName, gint nameKind);
    void (*deleteItem)(VirtualFileSystem *vfs, VfsItemPaths *paths);
    void (*undoStackChanged)(VirtualFileSystem *vfs, guint undoEntriesCount);
};

/*
 * Signals, all run-first and action, none with a return value. Pointers
 * handed to handlers belong to the emitter and die with the emission.
 *   "vorn_file_system_changed"  ()                     ends every change that emits signals
 *   "vorn_new_folder_event"     (path, 3, entry, generic)  generic is 1 only for
 *   "vorn_new_file_event"       (path, 3, entry, 0)        VFS_CreateDirectoryWithGenericName
 *   "vorn_rename_file_event"    (old path, new path, new name, name kind)
 *   "vorn_rename_folder_event"  (old path, new path, new name, name kind)
 *   "vorn_delete_file_event"    (VfsItemPaths of the removed item)
 *   "vorn_delete_folder_event"  (VfsItemPaths of the removed item)
 *   "vorn_undo_stack_changed"   (number of entries in the undo queue)
 */

GType VirtualFileSystem_GetType(void) noexcept;

#define VORN_TYPE_VFS (VirtualFileSystem_GetType())
#define VORN_VFS(object) (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_VFS, VirtualFileSystem))
#define IS_VORN_VFS(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_VFS))

/*
 * The Ex forms end with four flags: emitSignals, recordUndo (effective only
 * when the file system's undoEnabled is 1), setRollbackPoint (effective only
 * when an entry was recorded) and fromChildThread. The short forms pass 1, 1,
 * 1, 0.
 */

/* A new folder `name` in `parentPath`; the new entry (caller frees) or NULL.
 * No parent: ENOENT; no name: EINVAL; the name taken: EEXIST and, when
 * outExistingEntry is given, the existing item's entry. */
VfsDirectoryEntry *VFS_CreateDirectory(gpointer vfs, const gchar *parentPath, const gchar *name,
                                       VfsDirectoryEntry **outExistingEntry) noexcept;
VfsDirectoryEntry *VFS_CreateDirectoryEx(gpointer vfs, const gchar *parentPath, const gchar *name,
                                         VfsDirectoryEntry **outExistingEntry, const gchar *originPath,
                                         guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                         gint32 multisessionType, gint skipExistenceCheck, gint emitSignals,
                                         gint recordUndo, gint setRollbackPoint, gint fromChildThread) noexcept;

/* Listing: an opaque handle, then entries (caller frees; "." and ".." never
 * come) until NULL, then close. */
gpointer VFS_OpenDirectory(gpointer vfs, const gchar *path) noexcept;
VfsDirectoryEntry *VFS_ReadDirectory(gpointer vfs, gpointer handle) noexcept;
gint VFS_CloseDirectory(gpointer vfs, gpointer handle) noexcept;

gint VFS_DeleteDirectory(gpointer vfs, const gchar *path) noexcept;
gint VFS_DeleteDirectoryEx(gpointer vfs, const gchar *path, gint emitSignals, gint recordUndo,
                           gint setRollbackPoint, gint fromChildThread) noexcept;

/* VFS_Stat follows symbolic links, VFS_LinkStat does not. A missing path or
 * record is EINVAL for VFS_Stat; for VFS_LinkStat a missing path is ENOENT. */
gint VFS_Stat(gpointer vfs, const gchar *path, VfsStat *stat) noexcept;
gint VFS_LinkStat(gpointer vfs, const gchar *path, VfsStat *stat) noexcept;

gint VFS_Unlink(gpointer vfs, const gchar *path) noexcept;
gint VFS_UnlinkEx(gpointer vfs, const gchar *path, gint emitSignals, gint recordUndo, gint setRollbackPoint,
                  gint fromChildThread) noexcept;

/* A symbolic link at linkPath pointing to target; never recorded for undo. */
gint VFS_Symlink(gpointer vfs, const gchar *target, const gchar *linkPath) noexcept;
gint VFS_SymlinkEx(gpointer vfs, const gchar *target, const gchar *linkPath, gint emitSignals, gint recordUndo,
                   gint setRollbackPoint, gint fromChildThread) noexcept;

/* Gives the item at `path` a new name of `nameKind`. No new name: EINVAL. */
gint VFS_Rename(gpointer vfs, const gchar *path, const gchar *newName, gint nameKind) noexcept;
gint VFS_RenameEx(gpointer vfs, const gchar *path, const gchar *newName, gint nameKind, gint emitSignals,
                  gint recordUndo, gint setRollbackPoint, gint fromChildThread) noexcept;

/* Moves the item into destinationPath. No path: ENOENT; no destination:
 * EINVAL; the name taken there: EEXIST and the existing item's entry. */
gint VFS_Move(gpointer vfs, const gchar *path, const gchar *destinationPath, gint nameKind,
              VfsDirectoryEntry **outExistingEntry) noexcept;
gint VFS_MoveEx(gpointer vfs, const gchar *path, const gchar *destinationPath, gint nameKind,
                VfsDirectoryEntry **outExistingEntry, gint emitSignals, gint recordUndo, gint setRollbackPoint,
                gint fromChildThread) noexcept;

/*
 * Copies one item of `source` into the folder destinationDirectory of
 * `destination`; the new entry (caller frees) or NULL. The destination's slot
 * is chosen by the source's kind. VFS_Copy follows symbolic links as the
 * global setting "Follow symbolic links by default" says (on when unset).
 * cancelLock (may be NULL) is a mutex the starter of the copy locks to stop it.
 */
VfsDirectoryEntry *VFS_Copy(gpointer source, const gchar *sourcePath, gpointer destination,
                            const gchar *destinationDirectory, gint nameKind,
                            VfsDirectoryEntry **outExistingEntry) noexcept;
VfsDirectoryEntry *VFS_CopyEx(gpointer source, const gchar *sourcePath, gpointer destination,
                              const gchar *destinationDirectory, gint nameKind,
                              VfsDirectoryEntry **outExistingEntry, guint32 specialFlagsLow,
                              guint32 specialFlagsHigh, gint32 multisessionType, gint followSymbolicLinks,
                              gint skipExistenceCheck, pthread_mutex_t *cancelLock, gint emitSignals,
                              gint recordUndo, gint setRollbackPoint, gint fromChildThread) noexcept;

/* Creates "New Folder" or the first free "New Folder N" (N = 2, 3, ...) in
 * parentPath. outFullPath (caller frees) may be set even when this fails. */
gint VFS_CreateDirectoryWithGenericName(gpointer vfs, const gchar *parentPath, gint32 ignored,
                                        gchar **outFullPath) noexcept;

/* New strings (g_free) or NULL. */
gchar *VFS_GetItemName(gpointer vfs, const gchar *path, gint nameKind) noexcept;
/* The name the disc file system changed for that kind, or NULL when it did not. */
gchar *VFS_GetItemChangedName(gpointer vfs, const gchar *path, gint nameKind) noexcept;
gchar *VFS_GetItemFullPath(gpointer vfs, const gchar *path, gint nameKind) noexcept;
gchar *VFS_GetItemOrigin(gpointer vfs, const gchar *path) noexcept;
/* Borrowed. */
VirtualFileSystem *VFS_GetItemSourceVFS(gpointer vfs, const gchar *path) noexcept;
gint VFS_RefreshItem(gpointer vfs, const gchar *path) noexcept;

gint VFS_SetItemPriority(gpointer vfs, const gchar *path, gint32 priority) noexcept;
gint VFS_SetItemCompilationAdditionDate(gpointer vfs, const gchar *path, gint64 time) noexcept;

/* Undo history. Undo modes: 0 emit signals while undoing, 1 silently, 2 as
 * each entry was recorded. */
enum { VFS_UNDO_EMIT = 0, VFS_UNDO_SILENT = 1, VFS_UNDO_AS_RECORDED = 2 };
gint VFS_SetUndoRollbackPoint(gpointer vfs, gint fromChildThread) noexcept;
/* 0 also on error. */
guint VFS_GetUndoRollbackPointsCount(gpointer vfs) noexcept;
/* `entry` must be an UndoEntry (EINVAL); the file system takes its own reference. */
gint VFS_AddUndoEntry(gpointer vfs, gpointer entry) noexcept;
gint VFS_Undo(gpointer vfs, gint undoMode, gint fromChildThread) noexcept;

/* Compilation-wide settings and figures (VfsIoControlCodes.h). An unhandled
 * code: EINVAL. */
gint VFS_IoControl(gpointer vfs, gint code, gpointer argument) noexcept;
/* The same inside gdk_threads_enter/gdk_threads_leave, for worker threads. */
gint VFS_IoControlFromChildThread(gpointer vfs, gint code, gpointer argument) noexcept;

/* Adds a CD track described by trackSpecification at destinationPath; the new
 * entry (caller frees) or NULL. Both arguments required (EINVAL). */
VfsDirectoryEntry *VFS_ImportAudioTrack(gpointer vfs, const gchar *destinationPath,
                                        const gchar *trackSpecification) noexcept;
VfsDirectoryEntry *VFS_ImportAudioTrackEx(gpointer vfs, const gchar *destinationPath,
                                          const gchar *trackSpecification, gint emitSignals, gint recordUndo,
                                          gint setRollbackPoint, gint fromChildThread) noexcept;

G_END_DECLS

#endif
