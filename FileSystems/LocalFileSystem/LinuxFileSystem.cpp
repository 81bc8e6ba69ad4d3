#include "LinuxFileSystem.h"

#include "Debugger.h"
#include "VfsPaths.h"
#include "VfsSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using vorn::vfs::CharPtr;
using vorn::vfs::EntryPtr;
using vorn::vfs::guarded;

namespace {

// Blocks of a local file copy; the cancel lock is tested between them.
constexpr size_t kCopyBlockBytes = 32768;

// A listing in progress: the stream and the folder's path, to look at entries.
struct DirectoryHandle {
    DIR *stream;
    std::string path;
};

guint8 entryTypeOfMode(mode_t mode) noexcept
{
    return static_cast<guint8>((mode & S_IFMT) >> 12);
}

void toVfsStat(const struct stat64 &from, VfsStat *to) noexcept
{
    *to = VfsStat{};
    to->mode = from.st_mode;
    to->ownerUid = from.st_uid;
    to->groupGid = from.st_gid;
    to->sizeBytes = static_cast<guint64>(from.st_size);
    to->modificationTime = from.st_mtime;
    to->accessTime = from.st_atime;
    to->changeTime = from.st_ctime;
}

// The entry of an item that is in the way, named after the last component
// of its path; NULL when it cannot be looked at.
VfsDirectoryEntry *existingEntry(const std::string &path, guint8 (*typeOf)(mode_t))
{
    struct stat64 st;
    if (lstat64(path.c_str(), &st) != 0)
        return nullptr;
    return VFS_NewDirectoryEntry(vorn::vfs::lastComponent(path).c_str(), typeOf(st.st_mode));
}

// Folder creation only tells links, folders and the rest apart.
guint8 coarseTypeOfMode(mode_t mode) noexcept
{
    if (S_ISLNK(mode))
        return VFS_ENTRY_SYMLINK;
    return S_ISDIR(mode) ? VFS_ENTRY_DIRECTORY : VFS_ENTRY_UNKNOWN;
}

// rename() that never replaces what is at `to`: a rename or move onto a taken
// name must fail with EEXIST rather than destroy the other item. File systems
// without the no-replace flag get a check first (racy, but the best there is).
int renameNoReplace(const std::string &from, const std::string &to) noexcept
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    struct stat64 st;
    if (lstat64(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

// A translated generic name in the encoding of file names on disk.
std::string onDiskName(const std::string &utf8Name)
{
    CharPtr converted{g_filename_from_utf8(utf8Name.c_str(), -1, nullptr, nullptr, nullptr)};
    return converted ? std::string(converted.get()) : utf8Name;
}

void setOut(gchar **out, const std::string &value)
{
    if (out)
        *out = g_strdup(value.c_str());
}

/* Slots. */

VfsDirectoryEntry *createDirectory(VirtualFileSystem *, const gchar *parentPath, const gchar *name,
                                   VfsDirectoryEntry **outExistingEntry, gchar **outFullPath, const gchar *,
                                   guint32, guint32, gint32, gint) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        if (!vorn::vfs::isValidComponent(name)) {
            errno = EINVAL;
            return nullptr;
        }
        const std::string path = vorn::vfs::childPath(parentPath, name);
        if (mkdir(path.c_str(), 0755) != 0) {
            if (errno == EEXIST && outExistingEntry) {
                vorn::vfs::ErrnoKeeper keepErrno;
                *outExistingEntry = existingEntry(path, coarseTypeOfMode);
            }
            return nullptr;
        }
        setOut(outFullPath, path);
        return VFS_NewDirectoryEntry(name, VFS_ENTRY_DIRECTORY);
    });
}

gpointer openDirectory(VirtualFileSystem *, const gchar *path) noexcept
{
    return guarded<gpointer>(nullptr, [&]() -> gpointer {
        DIR *stream = opendir(path);
        if (!stream)
            return nullptr;
        try {
            return new DirectoryHandle{stream, path};
        } catch (...) {
            closedir(stream);
            throw;
        }
    });
}

VfsDirectoryEntry *readDirectory(VirtualFileSystem *, gpointer handle) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        auto *directory = static_cast<DirectoryHandle *>(handle);
        for (;;) {
            errno = 0;
            const struct dirent64 *item = readdir64(directory->stream);
            if (!item)
                return nullptr;  // errno stays 0 at the end of the listing
            if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0)
                continue;
            struct stat64 st;
            const std::string path = vorn::vfs::childPath(directory->path, item->d_name);
            const guint8 type = lstat64(path.c_str(), &st) == 0 ? entryTypeOfMode(st.st_mode) : 0;
            return VFS_NewDirectoryEntry(item->d_name, type);
        }
    });
}

gint closeDirectory(VirtualFileSystem *, gpointer handle) noexcept
{
    auto *directory = static_cast<DirectoryHandle *>(handle);
    const int result = closedir(directory->stream);
    vorn::vfs::ErrnoKeeper keepErrno;
    delete directory;
    return result == 0 ? 0 : -1;
}

gint deleteDirectory(VirtualFileSystem *, const gchar *path) noexcept
{
    return rmdir(path) == 0 ? 0 : -1;
}

gint unlinkFile(VirtualFileSystem *, const gchar *path) noexcept
{
    return unlink(path) == 0 ? 0 : -1;
}

gint statItem(VirtualFileSystem *, const gchar *path, VfsStat *stat) noexcept
{
    struct stat64 st;
    if (stat64(path, &st) != 0)
        return -1;
    toVfsStat(st, stat);
    return 0;
}

gint linkStatItem(VirtualFileSystem *, const gchar *path, VfsStat *stat) noexcept
{
    struct stat64 st;
    if (lstat64(path, &st) != 0)
        return -1;
    toVfsStat(st, stat);
    return 0;
}

gint makeSymlink(VirtualFileSystem *, const gchar *target, const gchar *linkPath,
                 VfsDirectoryEntry **outEntry) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        if (symlink(target, linkPath) != 0)
            return -1;
        *outEntry = VFS_NewDirectoryEntry(vorn::vfs::lastComponent(linkPath).c_str(), VFS_ENTRY_SYMLINK);
        return 0;
    });
}

gint renameItem(VirtualFileSystem *, const gchar *path, const gchar *newName, gint, gchar **outNewFullPath,
                gchar **outNewName) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        // A name with a slash would move the item somewhere else.
        if (!vorn::vfs::isValidComponent(newName)) {
            errno = EINVAL;
            return -1;
        }
        const std::string newPath = vorn::vfs::childPath(vorn::vfs::parentPart(path), newName);
        if (renameNoReplace(path, newPath) != 0)
            return -1;
        setOut(outNewFullPath, newPath);
        setOut(outNewName, newName);
        return 0;
    });
}

gint moveItem(VirtualFileSystem *vfs, const gchar *path, const gchar *destinationPath, gint,
              VfsDirectoryEntry **outExistingEntry, gchar **outNewPath, gchar **outOldParentPath) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VfsStat destination;
        if (VFS_Stat(vfs, destinationPath, &destination) != 0) {
            debugger_DummyOut("%s could not be stated.\n", destinationPath);
            errno = EINVAL;
            return -1;
        }
        if (!VFS_STAT_IS_DIRECTORY(&destination)) {
            debugger_DummyOut("The destination item '%s' is not a directory\n", destinationPath);
            errno = ENOTDIR;
            return -1;
        }
        const std::string newPath = vorn::vfs::childPath(destinationPath, vorn::vfs::lastComponent(path));
        if (renameNoReplace(path, newPath) != 0) {
            if (errno == EEXIST && outExistingEntry) {
                vorn::vfs::ErrnoKeeper keepErrno;
                *outExistingEntry = existingEntry(newPath, entryTypeOfMode);
            }
            return -1;
        }
        setOut(outNewPath, newPath);
        setOut(outOldParentPath, vorn::vfs::parentPart(path));
        return 0;
    });
}

gint createGenericDirectory(VirtualFileSystem *vfs, const gchar *parentPath, gint32, gchar **outFullPath,
                            VfsDirectoryEntry **outEntry) noexcept
{
    return guarded<gint>(-1, [&]() -> gint {
        VfsStat parent;
        if (VFS_Stat(vfs, parentPath, &parent) != 0)
            return -1;
        if (!VFS_STAT_IS_DIRECTORY(&parent)) {
            errno = ENOTDIR;
            return -1;
        }
        // Another program may take the free name between the look and the
        // mkdir; then the search starts over.
        for (int attempt = 0; attempt < 8; ++attempt) {
            auto taken = [&](const std::string &candidate) {
                struct stat64 st;
                // A name that cannot be looked at counts as free: mkdir will
                // then report why the folder cannot be made.
                return lstat64(vorn::vfs::childPath(parentPath, onDiskName(candidate)).c_str(), &st) == 0;
            };
            const auto candidate = vorn::vfs::firstFreeGenericFolderName(taken);
            if (!candidate) {
                errno = EEXIST;
                return -1;
            }
            const std::string name = onDiskName(*candidate);
            const std::string path = vorn::vfs::childPath(parentPath, name);
            g_free(*outFullPath);
            *outFullPath = g_strdup(path.c_str());
            if (mkdir(path.c_str(), 0755) == 0) {
                *outEntry = VFS_NewDirectoryEntry(name.c_str(), VFS_ENTRY_DIRECTORY);
                return 0;
            }
            if (errno != EEXIST)
                return -1;
        }
        return -1;
    });
}

gchar *itemName(VirtualFileSystem *, const gchar *path, gint) noexcept
{
    return guarded<gchar *>(nullptr, [&] { return g_strdup(vorn::vfs::lastComponent(path).c_str()); });
}

// Only name kind 0 answers, with the base name; the other kinds have none.
gchar *itemChangedName(VirtualFileSystem *vfs, const gchar *path, gint nameKind) noexcept
{
    return nameKind == VFS_NAME_KIND_JOLIET ? itemName(vfs, path, nameKind) : nullptr;
}

gchar *itemFullPath(VirtualFileSystem *, const gchar *path, gint) noexcept
{
    return g_strdup(path);
}

// Closes a file descriptor once; close errors count, as they may be the
// first sign of a full disk.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            vorn::vfs::ErrnoKeeper keepErrno;
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    int close() noexcept
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// Writes all of `data`; -1 with errno when the file takes less.
int writeAll(int fd, const char *data, size_t length) noexcept
{
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (written == 0) {
            errno = ENOSPC;
            return -1;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
    return 0;
}

// True when whoever started the copy has locked the cancel lock.
bool cancelled(pthread_mutex_t *cancelLock) noexcept
{
    if (!cancelLock)
        return false;
    if (pthread_mutex_trylock(cancelLock) != 0)
        return true;
    pthread_mutex_unlock(cancelLock);
    return false;
}

// Copies the open source into the open destination block by block. 0, or -1
// with errno (ECANCELED when the cancel lock stopped it).
int copyContents(int source, int destination, pthread_mutex_t *cancelLock)
{
    std::vector<char> block(kCopyBlockBytes);
    for (;;) {
        const ssize_t got = read(source, block.data(), block.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            return 0;
        if (cancelled(cancelLock)) {
            debugger_DummyOut("Canceled!\n");
            errno = ECANCELED;
            return -1;
        }
        if (writeAll(destination, block.data(), static_cast<size_t>(got)) != 0) {
            debugger_DummyOut("write: %s\n", std::strerror(errno));
            return -1;
        }
    }
}

VfsDirectoryEntry *copyFromLinux(VirtualFileSystem *source, const gchar *sourcePath, VirtualFileSystem *,
                                 const gchar *destinationDirectory, gint, VfsDirectoryEntry **outExistingEntry,
                                 gchar **outNewPath, guint32, guint32, gint32, gint, gint,
                                 pthread_mutex_t *cancelLock) noexcept
{
    return guarded<VfsDirectoryEntry *>(nullptr, [&]() -> VfsDirectoryEntry * {
        VfsStat sourceStat;
        if (VFS_LinkStat(source, sourcePath, &sourceStat) != 0) {
            debugger_DummyOut("The item '%s' cannot be lstated\n", sourcePath);
            errno = EINVAL;
            return nullptr;
        }
        if (VFS_STAT_IS_DIRECTORY(&sourceStat)) {
            debugger_DummyOut("Directory! -> Needs to be copied recursively\n");
            errno = EISDIR;
            return nullptr;
        }
        const std::string name = vorn::vfs::lastComponent(sourcePath);
        const std::string destinationPath = vorn::vfs::childPath(destinationDirectory, name);

        FileDescriptor in(open(sourcePath, O_RDONLY | O_CLOEXEC));
        if (!in.valid())
            return nullptr;
        FileDescriptor out(open(destinationPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                static_cast<mode_t>(sourceStat.mode & 07777)));
        if (!out.valid()) {
            // What made the open fail belongs to someone else: hand it out, never touch it.
            if (errno == EEXIST && outExistingEntry) {
                vorn::vfs::ErrnoKeeper keepErrno;
                *outExistingEntry = existingEntry(destinationPath, entryTypeOfMode);
            }
            return nullptr;
        }

        int result = copyContents(in.get(), out.get(), cancelLock);
        const int closeResult = out.close();
        if (result == 0 && closeResult != 0)
            result = -1;
        if (result != 0) {
            // A partial copy is worse than none: it looks like the real file.
            vorn::vfs::ErrnoKeeper keepErrno;
            unlink(destinationPath.c_str());
            return nullptr;
        }
        setOut(outNewPath, destinationPath);
        return VFS_NewDirectoryEntry(name.c_str(), entryTypeOfMode(sourceStat.mode));
    });
}

}  // namespace

G_DEFINE_TYPE(LinuxFileSystem, linux_file_system, VORN_TYPE_VFS)

static void linux_file_system_class_init(LinuxFileSystemClass *) {}

static void linux_file_system_init(LinuxFileSystem *self)
{
    VirtualFileSystem *vfs = &self->parent;
    vfs->kind = VFS_KIND_LOCAL;
    vfs->undoEnabled = 0;
    VfsOperations &slots = vfs->operations;
    slots.CreateDirectory = createDirectory;
    slots.OpenDirectory = openDirectory;
    slots.ReadDirectory = readDirectory;
    slots.CloseDirectory = closeDirectory;
    slots.DeleteDirectory = deleteDirectory;
    slots.Stat = statItem;
    slots.LinkStat = linkStatItem;
    slots.Unlink = unlinkFile;
    slots.Symlink = makeSymlink;
    slots.Rename = renameItem;
    slots.Move = moveItem;
    slots.CreateDirectoryWithGenericName = createGenericDirectory;
    slots.GetItemName = itemName;
    slots.GetItemChangedName = itemChangedName;
    slots.GetItemFullPath = itemFullPath;
    slots.CopyFromLinux = copyFromLinux;
}

GType LinuxFileSystem_GetType() noexcept
{
    return linux_file_system_get_type();
}

VirtualFileSystem *LinuxFileSystem_New() noexcept
{
    return static_cast<VirtualFileSystem *>(g_object_new(VORN_TYPE_LINUX_VFS, nullptr));
}
