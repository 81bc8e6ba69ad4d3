// Replacing a settings file without ever leaving half of one behind.
#include "ConfigFileInternal.h"

#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file a chain of symbolic links ends at. A link is replaced by writing
// through it: renaming over the link itself would turn it into a plain file
// and cut the user's link to wherever they keep their settings.
std::string resolveLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        gchar *target = g_file_read_link(path.c_str(), nullptr);
        if (!target)
            return path;
        if (g_path_is_absolute(target)) {
            path = target;
        } else {
            gchar *folder = g_path_get_dirname(path.c_str());
            gchar *joined = g_build_filename(folder, target, nullptr);
            path = joined;
            g_free(joined);
            g_free(folder);
        }
        g_free(target);
    }
    return path;
}

bool writeAll(int fd, std::string_view contents) noexcept
{
    while (!contents.empty()) {
        const ssize_t written = write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void describe(std::string *error, const char *what, const std::string &path, int code)
{
    if (error)
        *error = std::string(what) + " " + path + ": " + g_strerror(code);
}

// The last resort when the folder takes no new file: truncate and rewrite. A
// failure halfway loses the old contents, which is why it is only the fallback.
bool rewriteInPlace(const std::string &path, std::string_view contents, std::string *error) noexcept
{
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        describe(error, "Cannot open", path, code);
        errno = code;
        return false;
    }
    bool ok = writeAll(fd, contents) && fsync(fd) == 0;
    int code = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        describe(error, "Cannot write", path, code);
        errno = code;
    }
    return ok;
}

}  // namespace

bool vorn::configfile::replaceFileContents(const std::string &requestedPath, std::string_view contents,
                                           std::string *error) noexcept
{
    try {
        const std::string path = resolveLinks(requestedPath);
        struct stat previous {};
        const bool existed = stat(path.c_str(), &previous) == 0;

        std::string temporary = path + ".XXXXXX";
        // 0666 less the umask, as a file made by fopen would have.
        const int fd = g_mkstemp_full(temporary.data(), O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int code = errno;
            if (existed && (code == EACCES || code == EPERM) && access(path.c_str(), W_OK) == 0)
                return rewriteInPlace(path, contents, error);
            describe(error, "Cannot create a temporary file for", path, code);
            errno = code;
            return false;
        }
        if (existed) {
            // Keep the owner when we may (root saving for a user), and the mode.
            if (fchown(fd, previous.st_uid, previous.st_gid) != 0) {
                // Not permitted for an ordinary user: the file becomes theirs.
            }
            fchmod(fd, previous.st_mode & 07777);
        }
        bool ok = writeAll(fd, contents) && fsync(fd) == 0;
        int code = errno;
        if (close(fd) != 0 && ok) {
            ok = false;
            code = errno;
        }
        if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
            ok = false;
            code = errno;
        }
        if (!ok) {
            g_unlink(temporary.c_str());
            describe(error, "Cannot write", path, code);
            errno = code;
            return false;
        }
        // Make the rename itself durable; a folder that cannot be synced is no reason to fail.
        gchar *folder = g_path_get_dirname(path.c_str());
        if (const int folderFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC); folderFd >= 0) {
            fsync(folderFd);
            close(folderFd);
        }
        g_free(folder);
        return true;
    } catch (...) {
        if (error)
            *error = "Out of memory";
        errno = ENOMEM;
        return false;
    }
}
