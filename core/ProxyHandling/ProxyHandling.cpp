#include "ProxyHandling.h"

#include <cstdio>
#include <cstring>
#include <string_view>

vorn::proxy::ProxyParts vorn::proxy::parse(const char *value)
{
    ProxyParts parts;
    if (!value)
        return parts;
    const std::string_view whole(value);
    std::string_view rest = whole;
    if (rest.starts_with("http://"))
        rest.remove_prefix(7);
    const std::size_t restOffset = whole.size() - rest.size();

    const std::size_t at = rest.rfind('@');
    const std::size_t hostStart = restOffset + (at == std::string_view::npos ? 0 : at + 1);
    const std::size_t lastColon = whole.rfind(':');
    const std::size_t hostEnd =
        (lastColon == std::string_view::npos || lastColon < hostStart) ? whole.size() : lastColon;
    parts.host = std::string(whole.substr(hostStart, hostEnd - hostStart));

    int port = 0;
    // A colon inside the user information ("user:123@host") is not a port.
    if (hostEnd != whole.size() && std::sscanf(value + lastColon, ":%d", &port) == 1)
        parts.port = port;

    if (at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        parts.username = std::string(userInfo.substr(0, colon));
        parts.password = colon == std::string_view::npos ? std::string() : std::string(userInfo.substr(colon + 1));
    }
    return parts;
}

namespace {

const char *proxyVariable() noexcept
{
    return g_getenv("http_proxy");
}

gchar *duplicate(const std::optional<std::string> &text) noexcept
{
    return text ? g_strdup(text->c_str()) : nullptr;
}

template <class Part>
auto fromEnvironment(Part part, decltype(part(vorn::proxy::ProxyParts{})) missing) noexcept
{
    const char *value = proxyVariable();
    if (!value)
        return missing;
    try {
        return part(vorn::proxy::parse(value));
    } catch (...) {
        return missing;
    }
}

}  // namespace

gint ProxyHandling_UseProxy() noexcept
{
    return proxyVariable() ? 1 : 0;
}

gchar *ProxyHandling_GetProxyHost() noexcept
{
    return fromEnvironment([](const vorn::proxy::ProxyParts &p) { return g_strdup(p.host.c_str()); },
                           static_cast<gchar *>(nullptr));
}

gchar *ProxyHandling_GetProxyUsername() noexcept
{
    return fromEnvironment([](const vorn::proxy::ProxyParts &p) { return duplicate(p.username); },
                           static_cast<gchar *>(nullptr));
}

gchar *ProxyHandling_GetProxyPassword() noexcept
{
    return fromEnvironment([](const vorn::proxy::ProxyParts &p) { return duplicate(p.password); },
                           static_cast<gchar *>(nullptr));
}

gint ProxyHandling_GetProxyPort() noexcept
{
    return fromEnvironment([](const vorn::proxy::ProxyParts &p) { return p.port; }, -1);
}
