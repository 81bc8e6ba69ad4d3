/*
 * Undo entries: one object per change a disc compilation can take back.
 *
 * This is the base every kind of entry derives from. A subclass sets its kind
 * and fills the undo slot, which applies the inverse change to the file system
 * with recording switched off. File systems keep entries in their undo queue
 * by reference; VFS_AddUndoEntry accepts only instances of this class.
 */
#ifndef VORN_UNDO_ENTRY_H
#define VORN_UNDO_ENTRY_H

#include "VirtualFileSystem.h"

G_BEGIN_DECLS

/* Applies the inverse change; 0, or -1 with errno. undoMode as for VFS_Undo. */
typedef gint (*UndoEntryUndoFunc)(UndoEntry *entry, VirtualFileSystem *vfs, gint undoMode,
                                  gint fromChildThread);

struct UndoEntry {
    GObject parent;
    gint32 kind;         /* 0 in the base class; each subclass sets its own */
    gint32 emitSignals;  /* the emitSignals flag of the operation that recorded it; 1 by default */
    UndoEntryUndoFunc undo;
};

typedef struct UndoEntryClass {
    GObjectClass parent_class;
} UndoEntryClass;

GType UndoEntry_GetType(void) noexcept;

#define VORN_TYPE_UNDO_ENTRY (UndoEntry_GetType())
#define VORN_UNDO_ENTRY(object) (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_UNDO_ENTRY, UndoEntry))
#define IS_VORN_UNDO_ENTRY(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_UNDO_ENTRY))

G_END_DECLS

#endif
