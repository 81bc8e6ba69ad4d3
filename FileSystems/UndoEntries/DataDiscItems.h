/*
 * How engine data items look from the file-system side, shared by the data
 * disc file system and the undo entries that put items back.
 */
#ifndef VORN_DATA_DISC_ITEMS_H
#define VORN_DATA_DISC_ITEMS_H

#include "VirtualFileSystem.h"
#include "VornAPI.h"

#include <string>
#include <string_view>

namespace vorn::datadisc {

// Engine special flags 0x100, 0x200 and 0x400 are item flags 16, 32 and 64.
constexpr guint64 itemFlagsOfEngine(guint32 engineFlags) noexcept
{
    return (engineFlags & VORN_DATA_ITEM_KNOWN_FLAGS) >> 4;
}
constexpr guint32 engineFlagsOfItem(guint64 itemFlags) noexcept
{
    return static_cast<guint32>((itemFlags << 4) & VORN_DATA_ITEM_KNOWN_FLAGS);
}

inline bool isDirectoryItem(VornDataCompilationItem *item) noexcept
{
    return VornDataCompilationItem_GetType(item) == VORN_DATA_ITEM_DIRECTORY;
}

// The engine's path spelling: no leading "/", the root is "".
inline std::string enginePath(std::string_view path)
{
    while (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

inline VornDataCompilationItem *itemAt(VornDataCompilation *compilation, std::string_view path)
{
    return VornDataCompilation_GetItemFromPath(compilation, enginePath(path).c_str(), VFS_NAME_KIND_USER);
}

// A new entry describing `item` (caller frees): its four names, origin, type
// (4 for a folder, 0 for every file), special flags and multisession type.
inline VfsDirectoryEntry *entryOfItem(VornDataCompilation *compilation, VornDataCompilationItem *item)
{
    auto *entry = g_new0(VfsDirectoryEntry, 1);
    for (gint kind = 0; kind < VFS_NAME_KINDS; ++kind)
        entry->names[kind] = g_strdup(VornDataCompilation_GetItemName(compilation, item, kind));
    entry->origin = g_strdup(VornDataCompilationItem_GetFilePath(item));
    entry->type = isDirectoryItem(item) ? VFS_ENTRY_DIRECTORY : VFS_ENTRY_UNKNOWN;
    entry->specialFlags = itemFlagsOfEngine(VornDataCompilationItem_GetSpecialFlags(item));
    entry->multisessionType = VornDataCompilationItem_GetItemMultisessionType(item);
    return entry;
}

}  // namespace vorn::datadisc

#endif
