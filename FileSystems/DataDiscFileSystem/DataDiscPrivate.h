// What the parts of the data disc file system share behind its header.
#ifndef VORN_DATA_DISC_PRIVATE_H
#define VORN_DATA_DISC_PRIVATE_H

#include "DataDiscFileSystem.h"
#include "UndoEntry.h"

#include <deque>
#include <mutex>

namespace vorn::datadisc {

struct DataDiscPrivate {
    // Held by every slot that touches the engine tree. Recursive because
    // IoControl 69 and 70 walk the tree through the VFS_ functions, and undo
    // entries call back into this file system while VFS_Undo holds it.
    std::recursive_mutex lock;
    // Newest first. The undo queue holds one reference on every entry; the
    // rollback queue a second one on the first entry of each user action.
    std::deque<UndoEntry *> undo;
    std::deque<UndoEntry *> rollback;
};

DataDiscPrivate &privateOf(DataDiscFileSystem *self) noexcept;

inline std::unique_lock<std::recursive_mutex> lockTree(DataDiscFileSystem *self)
{
    return std::unique_lock(privateOf(self).lock);
}

// The IoControl slot.
gint ioControl(VirtualFileSystem *vfs, gint code, gpointer argument) noexcept;

void emitVolumeLabelChanged(DataDiscFileSystem *self, gint nameKind);
void emitOldSessionImported(DataDiscFileSystem *self);
void emitFileSystemChanged(DataDiscFileSystem *self);

}  // namespace vorn::datadisc

#endif
