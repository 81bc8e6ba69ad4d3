/*
 * The local file system ("VornLinuxVFS"): the user's own directory tree
 * behind the VFS_ functions, through plain POSIX calls.
 *
 * Paths are real paths and names are the bytes on disk, in whatever encoding
 * they were written; every name kind of an item is its base name. It keeps no
 * undo history and has no lock of its own: each slot is one or a few system
 * calls, safe from any thread. It is the file browser's tree and the source
 * from which items are added to a disc.
 */
#ifndef VORN_LINUX_FILE_SYSTEM_H
#define VORN_LINUX_FILE_SYSTEM_H

#include "VirtualFileSystem.h"

G_BEGIN_DECLS

typedef struct LinuxFileSystem {
    VirtualFileSystem parent;
} LinuxFileSystem;

typedef struct LinuxFileSystemClass {
    VirtualFileSystemClass parent_class;
} LinuxFileSystemClass;

GType LinuxFileSystem_GetType(void) noexcept;

#define VORN_TYPE_LINUX_VFS (LinuxFileSystem_GetType())
#define IS_VORN_LINUX_VFS(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_LINUX_VFS))

/* A new local file system (full reference, g_object_unref). */
VirtualFileSystem *LinuxFileSystem_New(void) noexcept;

G_END_DECLS

#endif
