#include "Utils.h"

#include "VornPaths.h"

#include <string>
#include <string_view>

gchar *Utils_ReplaceAppname(const gchar *text) noexcept
{
    if (!text)
        return nullptr;
    constexpr std::string_view placeholder = "<APPNAME>";
    std::string result;
    std::string_view rest = text;
    for (auto at = rest.find(placeholder); at != std::string_view::npos; at = rest.find(placeholder)) {
        result.append(rest.substr(0, at));
        result.append(VORN_APP_NAME);
        rest.remove_prefix(at + placeholder.size());
    }
    result.append(rest);
    return g_strdup(result.c_str());
}
