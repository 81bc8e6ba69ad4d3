/*
 * C++ helpers for the inside of the file systems: owning handles for the
 * records and strings the VFS functions hand out, errno keeping, and the guard
 * that stops exceptions at the slots and dispatchers.
 */
#ifndef VORN_VFS_SUPPORT_H
#define VORN_VFS_SUPPORT_H

#include "Debugger.h"
#include "VirtualFileSystem.h"

#include <cerrno>
#include <memory>
#include <new>

namespace vorn::vfs {

struct FreeEntry {
    void operator()(VfsDirectoryEntry *entry) const noexcept { VFS_FreeDirectoryEntry(entry); }
};
struct FreePaths {
    void operator()(VfsItemPaths *paths) const noexcept { VFS_FreeItemPaths(paths); }
};
struct GFree {
    void operator()(void *p) const noexcept { g_free(p); }
};

using EntryPtr = std::unique_ptr<VfsDirectoryEntry, FreeEntry>;
using PathsPtr = std::unique_ptr<VfsItemPaths, FreePaths>;
using CharPtr = std::unique_ptr<gchar, GFree>;

// Restores errno to the value it had when the keeper was made, so that clean-up
// after a failed call does not overwrite the reason.
class ErrnoKeeper {
public:
    ErrnoKeeper() noexcept;
    ~ErrnoKeeper();
    ErrnoKeeper(const ErrnoKeeper &) = delete;
    ErrnoKeeper &operator=(const ErrnoKeeper &) = delete;

private:
    int saved_;
};

// Runs a slot or dispatcher body; an exception becomes `failure` with errno
// ENOMEM (allocation) or EINVAL, because nothing of C++ may leave a C call.
template <class Result, class Body>
Result guarded(Result failure, Body &&body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc &) {
        debugger_DummyOut("Memory allocation error.\n");
        errno = ENOMEM;
    } catch (...) {
        errno = EINVAL;
    }
    return failure;
}

}  // namespace vorn::vfs

#endif
