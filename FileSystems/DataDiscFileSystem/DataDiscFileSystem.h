/*
 * The data disc file system ("VornDataDiscVFS", kind 2): the file tree of a
 * data disc compilation behind the VFS_ functions.
 *
 * The tree itself is the engine's data compilation; this object translates
 * paths (always spelled in name kind 3) to engine items, enforces the rules of
 * a disc tree and keeps the compilation's undo history:
 *   - in a DVD-Video compilation nothing but DVD-Video file names goes into
 *     "/VIDEO_TS", and no folder is made there;
 *   - a file over 2 GiB - 1 byte is refused with EFBIG unless the compilation
 *     is UDF only (UDF support type 1);
 *   - items carrying VFS_ITEM_UNDELETABLE are never deleted (EINVAL);
 *   - renaming "/" sets the volume labels: in name kind 0 or 3 all three
 *     (UDF, Joliet, ISO), in kind 1 or 2 the ISO label only.
 * A change that fails leaves the tree as it was.
 *
 * Every slot holds the file system's recursive lock while it touches the
 * engine tree, so the main thread and workers may call it at once. VFS_Undo
 * holds it for the whole user action; a worker's undo (fromChildThread 1)
 * takes the GDK lock first, keeping the lock order GDK before file system.
 *
 * Signals besides those of every file system (run-first, action):
 *   "vorn_volume_label_changed"  (int name kind)  the root got a new name,
 *                                IoControl 80 (1), 89 (3), 98 (3), 13 (0)
 *   "vorn_old_session_imported"  ()               IoControl 13 ran
 *   "vorn_compilation_loaded"    ()               emitted by the compilation
 *                                                 file reader after a load
 *
 * IoControl arguments: 32-bit values are gint32/guint32, 64-bit ones
 * gint64/guint64, 16-bit ones guint16; a "string in" argument is the string
 * itself (const gchar *), a "string out" argument a gchar ** that receives a
 * new string (g_free). Codes 69 and 70 take a GList ** and append new full
 * paths (g_free each, then the list). Code 13 takes DataDiscImportTrackArguments.
 * A refused setting fails with EINVAL and emits nothing.
 */
#ifndef VORN_DATA_DISC_FILE_SYSTEM_H
#define VORN_DATA_DISC_FILE_SYSTEM_H

#include "VirtualFileSystem.h"
#include "VornAPI.h"

G_BEGIN_DECLS

typedef struct DataDiscFileSystem {
    VirtualFileSystem parent;
    VornDataCompilation *compilation;     /* the engine tree; the data disc compilation reaches it here */
    VirtualFileSystem *sourceFileSystem;  /* the local file system items come from (a reference) */
} DataDiscFileSystem;

typedef struct DataDiscFileSystemClass {
    VirtualFileSystemClass parent_class;
} DataDiscFileSystemClass;

/* IoControl 13: import a data track of the disc in an open recorder. */
typedef struct DataDiscImportTrackArguments {
    VornDevice *recorder;  /* open device handle, borrowed */
    gint32 trackIndex;     /* 0-based; -1 names none (the engine takes the last data track) */
    gint32 result;         /* out: the engine's answer, 1 = imported */
} DataDiscImportTrackArguments;

GType DataDiscFileSystem_GetType(void) noexcept;

#define VORN_TYPE_DATA_DISC_VFS (DataDiscFileSystem_GetType())
#define VORN_DATA_DISC_VFS(object) (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_DATA_DISC_VFS, DataDiscFileSystem))
#define IS_VORN_DATA_DISC_VFS(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_DATA_DISC_VFS))

/* A new, empty data disc over `sourceFileSystem` (a reference is taken; it
 * is what VFS_GetItemSourceVFS answers). NULL when the argument is not a
 * VirtualFileSystem or the engine has no memory. Full reference. */
VirtualFileSystem *DataDiscFileSystem_New(VirtualFileSystem *sourceFileSystem) noexcept;

/* Whether `name` may stand in the VIDEO_TS folder of a DVD-Video disc:
 * VIDEO_TS.IFO/.VOB/.BUP, VTS_nn_0.IFO/.VOB/.BUP or VTS_nn_m.VOB with nn
 * 01-99 and m 1-9, compared without regard to case. */
gboolean DataDiscFileSystem_IsDvdVideoFileName(const gchar *name) noexcept;

G_END_DECLS

#endif
