/*
 * Path spelling shared by the file systems, and the generic folder names.
 *
 * Paths are absolute and slash-separated; the root is "/". The parent part of
 * a top-level item is written as the empty string, so joining never doubles a
 * slash: the child of "/" named "a" is "/a".
 */
#ifndef VORN_VFS_PATHS_H
#define VORN_VFS_PATHS_H

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::vfs {

// parent + "/" + name, with trailing slashes of the parent dropped first (so
// the root contributes nothing and "/3/" gives "/3/name").
std::string childPath(std::string_view parent, std::string_view name);

// The path cut at its last "/" (trailing slashes ignored): "" for a top-level
// item, "/a" for "/a/b", "" for "/" itself.
std::string parentPart(std::string_view path);

// parentPart, but "/" where that is empty: the folder an item sits in.
std::string parentDirectory(std::string_view path);

// The last component (trailing slashes ignored); "/" for the root.
std::string lastComponent(std::string_view path);

// A name that may be used as one path component: not empty, no "/", not "."
// or "..".
bool isValidComponent(std::string_view name);

// The translated generic folder name with its number: "New Folder" for 1,
// "New Folder N" for N = 2, 3, ...
std::string genericFolderName(unsigned number);

// The first generic folder name for which isTaken says no, in the order of
// the numbers; nullopt when every number up to the limit is taken.
std::optional<std::string> firstFreeGenericFolderName(const std::function<bool(const std::string &)> &isTaken);

}  // namespace vorn::vfs

#endif
