#include "VfsPaths.h"

#include <glib.h>
#include <glib/gi18n.h>

#include <climits>

namespace vorn::vfs {

namespace {

std::string_view withoutTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

}  // namespace

std::string childPath(std::string_view parent, std::string_view name)
{
    while (!parent.empty() && parent.back() == '/')
        parent.remove_suffix(1);
    std::string path(parent);
    path += '/';
    path += name;
    return path;
}

std::string parentPart(std::string_view path)
{
    path = withoutTrailingSlashes(path);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos || path == "/")
        return {};
    return std::string(path.substr(0, slash));
}

std::string parentDirectory(std::string_view path)
{
    std::string parent = parentPart(path);
    return parent.empty() ? std::string("/") : parent;
}

std::string lastComponent(std::string_view path)
{
    path = withoutTrailingSlashes(path);
    if (path == "/")
        return "/";
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool isValidComponent(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string genericFolderName(unsigned number)
{
    if (number <= 1)
        return _("New Folder");
    gchar *name = g_strdup_printf(_("New Folder %d"), static_cast<int>(number));
    std::string result(name);
    g_free(name);
    return result;
}

std::optional<std::string> firstFreeGenericFolderName(const std::function<bool(const std::string &)> &isTaken)
{
    for (unsigned number = 1; number < static_cast<unsigned>(INT_MAX); ++number) {
        std::string name = genericFolderName(number);
        if (!isTaken(name))
            return name;
    }
    return std::nullopt;
}

}  // namespace vorn::vfs
