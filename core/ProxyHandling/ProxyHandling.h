/*
 * Proxy settings derived from the environment variable "http_proxy", of the
 * form [http://][user[:password]@]host[:port][/]. They only supply the
 * defaults of the Internet CD database's proxy settings; the user's settings
 * decide afterwards.
 */
#ifndef VORN_PROXY_HANDLING_H
#define VORN_PROXY_HANDLING_H

#include <glib.h>

#include <optional>
#include <string>

/* 1 when "http_proxy" is set (even to ""), else 0. */
gint ProxyHandling_UseProxy() noexcept;
/* New strings (g_free), or NULL when "http_proxy" is unset or names no such part. */
gchar *ProxyHandling_GetProxyHost() noexcept;
gchar *ProxyHandling_GetProxyUsername() noexcept;
gchar *ProxyHandling_GetProxyPassword() noexcept;
/* The port, or -1 when there is none. */
gint ProxyHandling_GetProxyPort() noexcept;

namespace vorn::proxy {

struct ProxyParts {
    std::string host;
    int port = -1;
    std::optional<std::string> username; /* only with user information ("...@") */
    std::optional<std::string> password; /* "" when the user information has no ":" */
};

/*
 * Splits a proxy value:
 *  - an optional leading "http://" is skipped;
 *  - the host starts after the last "@" of the rest and ends at the last ":"
 *    of the value (or runs to the end when that colon comes before the host);
 *  - the port is the number after that colon, -1 without one;
 *  - with an "@", the text before the last "@" is the user name up to its
 *    first ":" and the password after it.
 */
ProxyParts parse(const char *value);

}  // namespace vorn::proxy

#endif
