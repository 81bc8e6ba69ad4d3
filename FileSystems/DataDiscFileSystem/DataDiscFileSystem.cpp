#include "DataDiscFileSystem.h"

#include "DataDiscItems.h"
#include "DataDiscPrivate.h"
#include "Debugger.h"
#include "UndoEntries.h"
#include "VfsPaths.h"
#include "VfsSupport.h"

#include <gdk/gdk.h>

#include <cerrno>
#include <climits>
#include <new>
#include <string>

using vorn::datadisc::DataDiscPrivate;
using vorn::datadisc::entryOfItem;
using vorn::datadisc::isDirectoryItem;
using vorn::datadisc::lockTree;
using vorn::vfs::guarded;

namespace {

enum ExtraSignal { VOLUME_LABEL_CHANGED, OLD_SESSION_IMPORTED, COMPILATION_LOADED, EXTRA_SIGNAL_COUNT };
guint extraSignals[EXTRA_SIGNAL_COUNT];

enum { PROP_0, PROP_DATA_COMPILATION };

// The largest file an ISO 9660 or bridge disc takes in one extent chain the
// players we care about read: 2 GiB - 1 byte. Only a UDF-only disc goes beyond.
constexpr guint64 kLargestNonUdfFileBytes = 2147483647u;

}  // namespace

// The C++ state behind each instance, built in _init and destroyed in _finalize.
using DataDiscFileSystemPrivate = vorn::datadisc::DataDiscPrivate;

G_DEFINE_TYPE_WITH_PRIVATE(DataDiscFileSystem, data_disc_file_system, VORN_TYPE_VFS)

namespace vorn::datadisc {

DataDiscPrivate &privateOf(DataDiscFileSystem *self) noexcept
{
    return *static_cast<DataDiscPrivate *>(data_disc_file_system_get_instance_private(self));
}

void emitVolumeLabelChanged(DataDiscFileSystem *self, gint nameKind)
{
    g_signal_emit(self, extraSignals[VOLUME_LABEL_CHANGED], 0, nameKind);
}

void emitOldSessionImported(DataDiscFileSystem *self)
{
    g_signal_emit(self, extraSignals[OLD_SESSION_IMPORTED], 0);
}

void emitFileSystemChanged(DataDiscFileSystem *self)
{
    g_signal_emit_by_name(self, "vorn_file_system_changed");
}

}  // namespace vorn::datadisc

namespace {

DataDiscFileSystem *dataDisc(VirtualFileSystem *vfs) noexcept
{
    return reinterpret_cast<DataDiscFileSystem *>(vfs);
}

gchar *copyOf(const char *text)
{
    return text ? g_strdup(text) : nullptr;
}

void setOut(gchar **out, const std::string &value)
{
    if (out)
        *out = g_strdup(value.c_str());
}

// The item at `path`, or NULL with ENOENT.
VornDataCompilationItem *find(DataDiscFileSystem *self, const gchar *path)
{
    VornDataCompilationItem *item = path ? vorn::datadisc::itemAt(self->compilation, path) : nullptr;
    if (!item)
        errno = ENOENT;
    return item;
}

std::string nameOf(DataDiscFileSystem *self, VornDataCompilationItem *item, gint kind)
{
    const char *name = VornDataCompilation_GetItemName(self->compilation, item, kind);
    return name ? name : "";
}

std::string fullPathOf(DataDiscFileSystem *self, VornDataCompilationItem *item)
{
    const char *path = VornDataCompilation_GetItemFullPath(self->compilation, item, VFS_NAME_KIND_USER);
    return path ? path : "";
}

// Is `folder` the VIDEO_TS folder of a DVD-Video compilation?
bool isDvdVideoFolder(DataDiscFileSystem *self, VornDataCompilationItem *folder)
{
    if (VornDataCompilation_GetDVDVideoCompilation(self->compilation) != 1)
        return false;
    return folder && folder == vorn::datadisc::itemAt(self->compilation, "/VIDEO_TS");
}

// What the engine calls a name clash in `folder`: EEXIST and, when asked for,
// the entry of the item in the way.
bool nameTaken(DataDiscFileSystem *self, VornDataCompilationItem *folder, const std::string &name, gint kind,
               VfsDirectoryEntry **outExistingEntry)
{
    VornDataCompilationItem *existing =
        VornDataCompilation_ItemExistsInDirectory(self->compilation, folder, name.c_str(), kind);
    if (!existing)
        return false;
    if (outExistingEntry)
        *outExistingEntry = entryOfItem(self->compilation, existing);
    errno = EEXIST;
    return true;
}

// Takes back an item this call has just made, when a later step of the same
// call failed: a failed operation leaves the tree as it was.
void discard(DataDiscFileSystem *self, VornDataCompilationItem *item)
{
    VornDataCompilationItem_SetSpecialFlags(item, 0, 0);
    if (isDirectoryItem(item))
        VornDataCompilation_DeleteDirectory(self->compilation, item);
    else
        VornDataCompilation_DeleteItem(self->compilation, item);
}

/* Folders and listings. */

VfsDirectoryEntry *createDirectory(VirtualFileSystem *vfs, const gchar *parentPath, const gchar *name,
                                   VfsDirectoryEntry **outExistingEntry, gchar **outFullPath,
                                   const gchar *originPath, guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                   gint32 multisessionType, gint skipExistenceCheck) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *parent = find(self, parentPath);
        if (!parent)
            return nullptr;
        if (!isDirectoryItem(parent)) {
            errno = ENOTDIR;
            return nullptr;
        }
        if (!vorn::vfs::isValidComponent(name) || isDvdVideoFolder(self, parent)) {
            errno = EINVAL;
            return nullptr;
        }
        if (!skipExistenceCheck && nameTaken(self, parent, name, VFS_NAME_KIND_USER, outExistingEntry))
            return nullptr;
        VornDataCompilationItem *item = VornDataCompilation_CreateDirectory(
            self->compilation, parent, name, originPath, vorn::datadisc::engineFlagsOfItem(specialFlagsLow), 0,
            skipExistenceCheck);
        if (!item) {
            errno = EINVAL;
            return nullptr;
        }
        if (!VornDataCompilationItem_SetItemMultisessionType(item, multisessionType)) {
            discard(self, item);
            errno = EINVAL;
            return nullptr;
        }
        VfsDirectoryEntry *entry = entryOfItem(self->compilation, item);
        entry->specialFlags = specialFlagsLow | (static_cast<guint64>(specialFlagsHigh) << 32);
        setOut(outFullPath, fullPathOf(self, item));
        return entry;
    });
}

// A listing holds the next engine item to hand out. Changing the folder while
// it is listed is the caller's mistake, as with readdir.
struct DirectoryHandle {
    VornDataCompilationItem *next;
};

gpointer openDirectory(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<gpointer>(nullptr, [&]() -> gpointer {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *folder = find(self, path);
        if (!folder)
            return nullptr;
        if (!isDirectoryItem(folder)) {
            errno = ENOTDIR;
            return nullptr;
        }
        return new DirectoryHandle{VornDataCompilation_GetDirectoryFirstEntry(self->compilation, folder)};
    });
}

VfsDirectoryEntry *readDirectory(VirtualFileSystem *vfs, gpointer handle) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto *listing = static_cast<DirectoryHandle *>(handle);
        auto guard = lockTree(self);
        if (!listing->next) {
            errno = 0;
            return nullptr;
        }
        VfsDirectoryEntry *entry = entryOfItem(self->compilation, listing->next);
        listing->next = VornDataCompilation_GetDirectoryNextEntry(listing->next);
        return entry;
    });
}

gint closeDirectory(VirtualFileSystem *, gpointer handle) noexcept
{
    delete static_cast<DirectoryHandle *>(handle);
    return 0;
}

gint deleteDirectory(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        if (!isDirectoryItem(item)) {
            errno = ENOTDIR;
            return -1;
        }
        if ((VornDataCompilationItem_GetSpecialFlags(item) & VORN_DATA_ITEM_UNDELETABLE) ||
            !VornDataCompilation_DeleteDirectory(self->compilation, item)) {
            errno = EINVAL;
            return -1;
        }
        return 0;
    });
}

gint statItem(VirtualFileSystem *vfs, const gchar *path, VfsStat *stat) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        *stat = VfsStat{};
        stat->mode = 0777 | (isDirectoryItem(item) ? VFS_MODE_DIRECTORY : 0);
        stat->sizeBytes = VornDataCompilationItem_GetFileSize(item);
        stat->modificationTime = VornDataCompilationItem_GetLastModifiedTime(item);
        stat->accessTime = VornDataCompilationItem_GetLastAccessTime(item);
        stat->changeTime = VornDataCompilationItem_GetCreationTime(item);
        stat->compilationAdditionTime = VornDataCompilationItem_GetCompilationAdditionTime(item);
        stat->specialFlags = vorn::datadisc::itemFlagsOfEngine(VornDataCompilationItem_GetSpecialFlags(item));
        stat->priority = VornDataCompilationItem_GetPriority(item);
        stat->multisessionType = VornDataCompilationItem_GetItemMultisessionType(item);
        return 0;
    });
}

gint unlinkItem(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        if (isDirectoryItem(item)) {
            errno = EISDIR;
            return -1;
        }
        if ((VornDataCompilationItem_GetSpecialFlags(item) & VORN_DATA_ITEM_UNDELETABLE) ||
            !VornDataCompilation_DeleteItem(self->compilation, item)) {
            errno = EINVAL;
            return -1;
        }
        return 0;
    });
}

/* Names and places. */

// An engine text the caller frees with VornFreeMem, as a std::string.
std::string engineText(char *text)
{
    std::string result = text ? text : "";
    VornFreeMem(text);
    return result;
}

std::string volumeLabel(DataDiscFileSystem *self, gint nameKind)
{
    if (nameKind == VFS_NAME_KIND_ISO_1 || nameKind == VFS_NAME_KIND_ISO_2)
        return engineText(VornDataCompilation_GetIsoVolumeLabel(self->compilation));
    return engineText(VornDataCompilation_GetJolietVolumeLabel(self->compilation));
}

// Renaming the root names the volume.
gint renameVolume(DataDiscFileSystem *self, const gchar *newName, gint nameKind, gchar **outNewFullPath,
                  gchar **outNewName)
{
    {
        auto guard = lockTree(self);
        bool taken = VornDataCompilation_SetIsoVolumeLabel(self->compilation, newName) == 1;
        if (nameKind == VFS_NAME_KIND_JOLIET || nameKind == VFS_NAME_KIND_USER) {
            taken = VornDataCompilation_SetJolietVolumeLabel(self->compilation, newName) == 1 && taken;
            taken = VornDataCompilation_SetUdfVolumeLabel(self->compilation, newName) == 1 && taken;
        }
        if (!taken) {
            errno = EINVAL;
            return -1;
        }
        setOut(outNewFullPath, "/");
        setOut(outNewName, volumeLabel(self, nameKind));
    }
    vorn::datadisc::emitVolumeLabelChanged(self, nameKind);
    return 0;
}

gint renameItem(VirtualFileSystem *vfs, const gchar *path, const gchar *newName, gint nameKind,
                gchar **outNewFullPath, gchar **outNewName) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        if (vorn::datadisc::enginePath(path).empty())
            return renameVolume(self, newName, nameKind, outNewFullPath, outNewName);

        auto guard = lockTree(self);
        VornDataCompilationItem *parent = vorn::datadisc::itemAt(self->compilation, vorn::vfs::parentDirectory(path));
        if (parent && nameTaken(self, parent, newName, nameKind, nullptr))
            return -1;
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        if (nameKind == VFS_NAME_KIND_JOLIET && *VornDataCompilationItem_GetFilePath(item)) {
            // The name of kind 0 is the local file's own: it follows the origin.
            errno = EROFS;
            return -1;
        }
        if (VornDataCompilation_SetItemName(self->compilation, item, newName, nameKind) != 1) {
            errno = EINVAL;
            return -1;
        }
        setOut(outNewFullPath, vorn::vfs::childPath(vorn::vfs::parentPart(path), nameOf(self, item, VFS_NAME_KIND_USER)));
        setOut(outNewName, nameOf(self, item, nameKind));
        return 0;
    });
}

gint moveItem(VirtualFileSystem *vfs, const gchar *path, const gchar *destinationPath, gint nameKind,
              VfsDirectoryEntry **outExistingEntry, gchar **outNewPath, gchar **outOldParentPath) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        VornDataCompilationItem *destination = vorn::datadisc::itemAt(self->compilation, destinationPath);
        if (!destination) {
            errno = EINVAL;
            return -1;
        }
        if (!isDirectoryItem(destination)) {
            errno = ENOTDIR;
            return -1;
        }
        const std::string name = nameOf(self, item, VFS_NAME_KIND_USER);
        if (isDvdVideoFolder(self, destination) && !DataDiscFileSystem_IsDvdVideoFileName(name.c_str())) {
            errno = EINVAL;
            return -1;
        }
        if (nameTaken(self, destination, name, VFS_NAME_KIND_USER, outExistingEntry))
            return -1;
        if (nameKind >= 0 && nameKind < VFS_NAME_KIND_USER &&
            nameTaken(self, destination, nameOf(self, item, nameKind), nameKind, outExistingEntry))
            return -1;
        if (!VornDataCompilation_MoveItem(self->compilation, item, destination, 0, 0)) {
            errno = EINVAL;
            return -1;
        }
        setOut(outNewPath, fullPathOf(self, item));
        setOut(outOldParentPath, vorn::vfs::parentPart(path));
        return 0;
    });
}

gint createDirectoryWithGenericName(VirtualFileSystem *vfs, const gchar *parentPath, gint32,
                                    gchar **outFullPath, VfsDirectoryEntry **outEntry) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *parent = find(self, parentPath);
        if (!parent)
            return -1;
        if (!isDirectoryItem(parent)) {
            errno = ENOTDIR;
            return -1;
        }
        if (isDvdVideoFolder(self, parent)) {
            setOut(outFullPath, vorn::vfs::childPath(parentPath, vorn::vfs::genericFolderName(1)));
            errno = EINVAL;
            return -1;
        }
        const auto name = vorn::vfs::firstFreeGenericFolderName([&](const std::string &candidate) {
            return VornDataCompilation_ItemExistsInDirectory(self->compilation, parent, candidate.c_str(),
                                                             VFS_NAME_KIND_USER) != nullptr;
        });
        if (!name) {
            errno = EEXIST;
            return -1;
        }
        setOut(outFullPath, vorn::vfs::childPath(parentPath, *name));
        VornDataCompilationItem *item =
            VornDataCompilation_CreateDirectory(self->compilation, parent, name->c_str(), nullptr, 0, 0, 0);
        if (!item) {
            errno = EINVAL;
            return -1;
        }
        if (outEntry)
            *outEntry = entryOfItem(self->compilation, item);
        return 0;
    });
}

// The root's names are the volume label: the Joliet one for kinds 0 and 3,
// the ISO one for kinds 1 and 2. Renaming "/" is undone through them.
gchar *getItemName(VirtualFileSystem *vfs, const gchar *path, gint nameKind) noexcept
{
    return guarded<gchar *>(nullptr, [&]() -> gchar * {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return nullptr;
        if (vorn::datadisc::enginePath(path).empty())
            return g_strdup(volumeLabel(self, nameKind).c_str());
        return copyOf(VornDataCompilation_GetItemName(self->compilation, item, nameKind));
    });
}

gchar *getItemChangedName(VirtualFileSystem *vfs, const gchar *path, gint nameKind) noexcept
{
    return guarded<gchar *>(nullptr, [&]() -> gchar * {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        return item ? copyOf(VornDataCompilation_GetItemChangedName(self->compilation, item, nameKind)) : nullptr;
    });
}

gchar *getItemFullPath(VirtualFileSystem *vfs, const gchar *path, gint nameKind) noexcept
{
    return guarded<gchar *>(nullptr, [&]() -> gchar * {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        return item ? copyOf(VornDataCompilation_GetItemFullPath(self->compilation, item, nameKind)) : nullptr;
    });
}

gchar *getItemOrigin(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<gchar *>(nullptr, [&]() -> gchar * {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        return item ? copyOf(VornDataCompilationItem_GetFilePath(item)) : nullptr;
    });
}

gint refreshItem(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        if (!VornDataCompilationItem_Refresh(item)) {
            errno = EINVAL;
            return -1;
        }
        return 0;
    });
}

VirtualFileSystem *getItemSourceVFS(VirtualFileSystem *vfs, const gchar *) noexcept
{
    return dataDisc(vfs)->sourceFileSystem;
}

gint32 getItemMultisessionType(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<gint32>(0, [&]() -> gint32 {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = path ? vorn::datadisc::itemAt(self->compilation, path) : nullptr;
        return item ? VornDataCompilationItem_GetItemMultisessionType(item) : 0;
    });
}

guint64 getItemFlags(VirtualFileSystem *vfs, const gchar *path) noexcept
{
    return guarded<guint64>(0, [&]() -> guint64 {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = path ? vorn::datadisc::itemAt(self->compilation, path) : nullptr;
        return item ? vorn::datadisc::itemFlagsOfEngine(VornDataCompilationItem_GetSpecialFlags(item)) : 0;
    });
}

// Runs an engine setter on the item at `path`; refusal is EINVAL.
template <class Setter>
gint setOnItem(VirtualFileSystem *vfs, const gchar *path, Setter &&setter) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        VornDataCompilationItem *item = find(self, path);
        if (!item)
            return -1;
        if (!setter(item)) {
            errno = EINVAL;
            return -1;
        }
        return 0;
    });
}

// No VFS_ wrapper stands in front of this slot, so it tells views itself.
gint setItemMultisessionType(VirtualFileSystem *vfs, const gchar *path, gint32 type) noexcept
{
    if (setOnItem(vfs, path, [&](VornDataCompilationItem *item) {
            return VornDataCompilationItem_SetItemMultisessionType(item, type);
        }) != 0)
        return -1;
    vorn::vfs::ErrnoKeeper keepErrno;
    vorn::datadisc::emitFileSystemChanged(dataDisc(vfs));
    return 0;
}

gint checkItemPath(VirtualFileSystem *, const gchar *path) noexcept
{
    if (!path) {
        errno = ENOENT;
        return -1;
    }
    return 0;
}

gint setItemPriority(VirtualFileSystem *vfs, const gchar *path, gint32 priority) noexcept
{
    return setOnItem(vfs, path,
                     [&](VornDataCompilationItem *item) { return VornDataCompilationItem_SetPriority(item, priority); });
}

gint setItemCompilationAdditionDate(VirtualFileSystem *vfs, const gchar *path, gint64 time) noexcept
{
    return setOnItem(vfs, path, [&](VornDataCompilationItem *item) {
        return VornDataCompilationItem_SetCompilationAdditionTime(item, time);
    });
}

/* Copies in. */

// The checks a copy into `destinationDirectory` makes before it changes
// anything: the folder exists and is one, the DVD-Video rule, the name free.
VornDataCompilationItem *copyDestination(DataDiscFileSystem *self, const gchar *destinationDirectory,
                                         const std::string &name, gint skipExistenceCheck,
                                         VfsDirectoryEntry **outExistingEntry)
{
    VornDataCompilationItem *destination = vorn::datadisc::itemAt(self->compilation, destinationDirectory);
    if (isDvdVideoFolder(self, destination) && !DataDiscFileSystem_IsDvdVideoFileName(name.c_str())) {
        errno = EINVAL;
        return nullptr;
    }
    if (!destination || !isDirectoryItem(destination)) {
        errno = EINVAL;
        return nullptr;
    }
    if (!skipExistenceCheck && nameTaken(self, destination, name, VFS_NAME_KIND_USER, outExistingEntry))
        return nullptr;
    return destination;
}

// The source must be a file: folders are made by the caller and filled item by item.
bool statCopySource(VirtualFileSystem *source, const gchar *sourcePath, bool followSymbolicLinks, VfsStat *stat)
{
    const gint result = followSymbolicLinks ? VFS_Stat(source, sourcePath, stat) : VFS_LinkStat(source, sourcePath, stat);
    if (result != 0) {
        errno = EINVAL;
        return false;
    }
    if (VFS_STAT_IS_DIRECTORY(stat)) {
        errno = EISDIR;
        return false;
    }
    return true;
}

VfsDirectoryEntry *copyFromLinux(VirtualFileSystem *source, const gchar *sourcePath, VirtualFileSystem *vfs,
                                 const gchar *destinationDirectory, gint, VfsDirectoryEntry **outExistingEntry,
                                 gchar **outNewPath, guint32 specialFlagsLow, guint32 specialFlagsHigh,
                                 gint32 multisessionType, gint followSymbolicLinks, gint skipExistenceCheck,
                                 pthread_mutex_t *) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        DataDiscFileSystem *self = dataDisc(vfs);
        if (!sourcePath || !destinationDirectory) {
            errno = EINVAL;
            return nullptr;
        }
        VfsStat stat;
        if (!statCopySource(source, sourcePath, followSymbolicLinks != 0, &stat))
            return nullptr;

        auto guard = lockTree(self);
        if (stat.sizeBytes > kLargestNonUdfFileBytes &&
            VornDataCompilation_GetUdfSupportType(self->compilation) != VORN_UDF_ONLY) {
            errno = EFBIG;
            return nullptr;
        }
        const std::string name = vorn::vfs::lastComponent(sourcePath);
        VornDataCompilationItem *destination =
            copyDestination(self, destinationDirectory, name, skipExistenceCheck, outExistingEntry);
        if (!destination)
            return nullptr;
        VornDataCompilationItem *item = VornDataCompilation_InsertNewItem(self->compilation, destination, sourcePath);
        if (!item) {
            errno = EINVAL;
            return nullptr;
        }
        if (!VornDataCompilationItem_SetItemMultisessionType(item, multisessionType) ||
            !VornDataCompilationItem_SetSpecialFlags(item, vorn::datadisc::engineFlagsOfItem(specialFlagsLow), 0)) {
            discard(self, item);
            errno = EINVAL;
            return nullptr;
        }
        VfsDirectoryEntry *entry = entryOfItem(self->compilation, item);
        entry->type = VFS_ENTRY_UNKNOWN;
        entry->specialFlags = specialFlagsLow | (static_cast<guint64>(specialFlagsHigh) << 32);
        setOut(outNewPath, fullPathOf(self, item));
        return entry;
    });
}

// A copy of a file of a data disc: within one disc, or from another one.
VfsDirectoryEntry *copyFromDataDisc(VirtualFileSystem *source, const gchar *sourcePath, VirtualFileSystem *vfs,
                                    const gchar *destinationDirectory, gint, VfsDirectoryEntry **outExistingEntry,
                                    gchar **outNewPath, guint32, guint32, gint32, gint skipExistenceCheck,
                                    pthread_mutex_t *) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        DataDiscFileSystem *self = dataDisc(vfs);
        if (!sourcePath || !destinationDirectory || !IS_VORN_DATA_DISC_VFS(source)) {
            errno = EINVAL;
            return nullptr;
        }
        VfsStat stat;
        if (!statCopySource(source, sourcePath, true, &stat))
            return nullptr;

        // The source is copied under its own lock and inserted under ours, so
        // two discs never hold each other's locks.
        DataDiscFileSystem *sourceDisc = dataDisc(source);
        std::string name;
        VornDataCompilationItem *detached = nullptr;
        {
            auto sourceGuard = lockTree(sourceDisc);
            VornDataCompilationItem *item = find(sourceDisc, sourcePath);
            if (!item)
                return nullptr;
            name = nameOf(sourceDisc, item, VFS_NAME_KIND_USER);
            detached = VornDataCompilation_CopyItem(sourceDisc->compilation, item);
        }
        if (!detached) {
            errno = EINVAL;
            return nullptr;
        }
        std::unique_ptr<VornDataCompilationItem, void (*)(VornDataCompilationItem *)> copy{
            detached, VornDataCompilationItem_Destroy};

        auto guard = lockTree(self);
        VornDataCompilationItem *destination =
            copyDestination(self, destinationDirectory, name, skipExistenceCheck, outExistingEntry);
        if (!destination)
            return nullptr;
        VornDataCompilationItem *inserted =
            VornDataCompilation_InsertExistingItem(self->compilation, destination, copy.get());
        if (!inserted) {
            errno = EINVAL;
            return nullptr;
        }
        VfsDirectoryEntry *entry = entryOfItem(self->compilation, inserted);
        entry->type = VFS_ENTRY_UNKNOWN;
        setOut(outNewPath, fullPathOf(self, inserted));
        return entry;
    });
}

/* Undo history. */

// "vorn_undo_stack_changed" with the undo queue's length. A worker emits it
// under the GDK lock, taken before the tree lock (never inside it).
void emitUndoStackChanged(DataDiscFileSystem *self, guint count)
{
    g_signal_emit_by_name(self, "vorn_undo_stack_changed", count);
}

gint addUndoEntry(VirtualFileSystem *vfs, UndoEntry *entry) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        auto guard = lockTree(self);
        DataDiscPrivate &state = vorn::datadisc::privateOf(self);
        state.undo.push_front(entry);
        g_object_ref(entry);
        return 0;
    });
}

gint setUndoRollbackPoint(VirtualFileSystem *vfs, gint fromChildThread) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        DataDiscFileSystem *self = dataDisc(vfs);
        guint count = 0;
        {
            auto guard = lockTree(self);
            DataDiscPrivate &state = vorn::datadisc::privateOf(self);
            if (state.undo.empty()) {
                errno = ENOENT;
                return -1;
            }
            state.rollback.push_front(state.undo.front());
            g_object_ref(state.undo.front());
            count = static_cast<guint>(state.undo.size());
        }
        if (fromChildThread)
            gdk_threads_enter();
        emitUndoStackChanged(self, count);
        if (fromChildThread)
            gdk_threads_leave();
        return 0;
    });
}

guint getUndoRollbackPointsCount(VirtualFileSystem *vfs) noexcept
{
    DataDiscFileSystem *self = dataDisc(vfs);
    auto guard = lockTree(self);
    return static_cast<guint>(vorn::datadisc::privateOf(self).rollback.size());
}

// Takes back the newest user action: every entry down to and including the
// newest rollback point, or the whole history when there is none. Entries
// that fail are dropped all the same: their item is gone or changed.
gint undo(VirtualFileSystem *vfs, gint undoMode, gint fromChildThread) noexcept
{
    DataDiscFileSystem *self = dataDisc(vfs);
    // The entries emit their signals with the GDK lock held here already.
    if (fromChildThread)
        gdk_threads_enter();
    const gint result = guarded<gint>(-1, [&]() -> gint {
        auto guard = lockTree(self);
        DataDiscPrivate &state = vorn::datadisc::privateOf(self);
        if (state.undo.empty()) {
            errno = ENOENT;
            return -1;
        }
        UndoEntry *rollbackPoint = nullptr;
        if (!state.rollback.empty()) {
            rollbackPoint = state.rollback.front();
            state.rollback.pop_front();
        }
        const auto undoOne = [&](UndoEntry *entry) {
            if (entry->undo && entry->undo(entry, vfs, undoMode, 0) != 0)
                debugger_DummyOut("Undo of an entry of kind %d failed: %s\n", entry->kind, g_strerror(errno));
            g_object_unref(entry);
        };
        while (!state.undo.empty() && state.undo.front() != rollbackPoint) {
            UndoEntry *entry = state.undo.front();
            state.undo.pop_front();
            undoOne(entry);
        }
        if (rollbackPoint && !state.undo.empty()) {
            state.undo.pop_front();
            undoOne(rollbackPoint);
        }
        if (rollbackPoint)
            g_object_unref(rollbackPoint);
        emitUndoStackChanged(self, static_cast<guint>(state.undo.size()));
        return 0;
    });
    if (fromChildThread) {
        vorn::vfs::ErrnoKeeper keepErrno;
        gdk_threads_leave();
    }
    return result;
}

/* The object. */

void data_disc_file_system_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec) noexcept
{
    if (id == PROP_DATA_COMPILATION)
        g_value_set_pointer(value, VORN_DATA_DISC_VFS(object)->compilation);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

void dropHistory(DataDiscPrivate &state)
{
    for (UndoEntry *entry : state.rollback)
        g_object_unref(entry);
    for (UndoEntry *entry : state.undo)
        g_object_unref(entry);
    state.rollback.clear();
    state.undo.clear();
}

}  // namespace

static void data_disc_file_system_dispose(GObject *object) noexcept
{
    DataDiscFileSystem *self = VORN_DATA_DISC_VFS(object);
    {
        auto guard = lockTree(self);
        dropHistory(vorn::datadisc::privateOf(self));
    }
    g_clear_object(&self->sourceFileSystem);
    G_OBJECT_CLASS(data_disc_file_system_parent_class)->dispose(object);
}

static void data_disc_file_system_finalize(GObject *object) noexcept
{
    DataDiscFileSystem *self = VORN_DATA_DISC_VFS(object);
    VornDataCompilation_Destroy(self->compilation);
    self->compilation = nullptr;
    vorn::datadisc::privateOf(self).~DataDiscPrivate();
    G_OBJECT_CLASS(data_disc_file_system_parent_class)->finalize(object);
}

static void data_disc_file_system_class_init(DataDiscFileSystemClass *klass)
{
    GObjectClass *objectClass = G_OBJECT_CLASS(klass);
    objectClass->dispose = data_disc_file_system_dispose;
    objectClass->finalize = data_disc_file_system_finalize;
    objectClass->get_property = data_disc_file_system_get_property;
    g_object_class_install_property(
        objectClass, PROP_DATA_COMPILATION,
        g_param_spec_pointer("data-compilation", "Data compilation", "The engine's data compilation (borrowed)",
                             static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    const GType type = G_TYPE_FROM_CLASS(klass);
    const auto flags = static_cast<GSignalFlags>(G_SIGNAL_RUN_FIRST | G_SIGNAL_ACTION);
    extraSignals[VOLUME_LABEL_CHANGED] = g_signal_new("vorn_volume_label_changed", type, flags, 0, nullptr, nullptr,
                                                      g_cclosure_marshal_VOID__INT, G_TYPE_NONE, 1, G_TYPE_INT);
    extraSignals[OLD_SESSION_IMPORTED] = g_signal_new("vorn_old_session_imported", type, flags, 0, nullptr, nullptr,
                                                      g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
    extraSignals[COMPILATION_LOADED] = g_signal_new("vorn_compilation_loaded", type, flags, 0, nullptr, nullptr,
                                                    g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);

    // Changes to a data disc are recorded as the entries of the undo library.
    UndoEntries_InstallRecorder();
}

static void data_disc_file_system_init(DataDiscFileSystem *self)
{
    new (&vorn::datadisc::privateOf(self)) DataDiscPrivate{};
    self->compilation = VornDataCompilation_New();
    self->sourceFileSystem = nullptr;

    VirtualFileSystem *vfs = &self->parent;
    vfs->kind = VFS_KIND_DATA_DISC;
    vfs->undoEnabled = 1;
    VfsOperations &slots = vfs->operations;
    slots.CreateDirectory = createDirectory;
    slots.OpenDirectory = openDirectory;
    slots.ReadDirectory = readDirectory;
    slots.CloseDirectory = closeDirectory;
    slots.DeleteDirectory = deleteDirectory;
    slots.Stat = statItem;
    slots.LinkStat = statItem;
    slots.Unlink = unlinkItem;
    slots.Rename = renameItem;
    slots.Move = moveItem;
    slots.SetUndoRollbackPoint = setUndoRollbackPoint;
    slots.GetUndoRollbackPointsCount = getUndoRollbackPointsCount;
    slots.AddUndoEntry = addUndoEntry;
    slots.Undo = undo;
    slots.CreateDirectoryWithGenericName = createDirectoryWithGenericName;
    slots.GetItemName = getItemName;
    slots.GetItemChangedName = getItemChangedName;
    slots.GetItemFullPath = getItemFullPath;
    slots.GetItemOrigin = getItemOrigin;
    slots.RefreshItem = refreshItem;
    slots.GetItemSourceVFS = getItemSourceVFS;
    slots.GetItemMultisessionType = getItemMultisessionType;
    slots.GetItemFlags = getItemFlags;
    slots.SetItemMultisessionType = setItemMultisessionType;
    slots.CheckItemPath = checkItemPath;
    slots.SetItemPriority = setItemPriority;
    slots.SetItemCompilationAdditionDate = setItemCompilationAdditionDate;
    slots.IoControl = vorn::datadisc::ioControl;
    slots.CopyFromLinux = copyFromLinux;
    slots.CopyFromDataDisc = copyFromDataDisc;
}

GType DataDiscFileSystem_GetType() noexcept
{
    return data_disc_file_system_get_type();
}

VirtualFileSystem *DataDiscFileSystem_New(VirtualFileSystem *sourceFileSystem) noexcept
{
    if (!sourceFileSystem || !IS_VORN_VFS(sourceFileSystem))
        return nullptr;
    auto *self = static_cast<DataDiscFileSystem *>(g_object_new(VORN_TYPE_DATA_DISC_VFS, nullptr));
    if (!self->compilation) {
        debugger_DummyOut("Memory allocation error.\n");
        g_object_unref(self);
        errno = ENOMEM;
        return nullptr;
    }
    self->sourceFileSystem = static_cast<VirtualFileSystem *>(g_object_ref(sourceFileSystem));
    return &self->parent;
}
