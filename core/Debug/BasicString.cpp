#include "BasicString.h"

#include <glib.h>

#include <memory>

namespace {
struct GFree {
    void operator()(void *p) const noexcept { g_free(p); }
};
}  // namespace

CBasicString<char16_t> ConvertUnicode(const char *utf8)
{
    if (!utf8)
        return {};
    glong written = 0;
    std::unique_ptr<gunichar2, GFree> converted(g_utf8_to_utf16(utf8, -1, nullptr, &written, nullptr));
    if (!converted)
        return {};
    return CBasicString<char16_t>(reinterpret_cast<const char16_t *>(converted.get()),
                                  static_cast<std::size_t>(written));
}

CBasicString<char> ConvertUnicode(const char16_t *utf16)
{
    if (!utf16)
        return {};
    glong written = 0;
    std::unique_ptr<gchar, GFree> converted(
        g_utf16_to_utf8(reinterpret_cast<const gunichar2 *>(utf16), -1, nullptr, &written, nullptr));
    if (!converted)
        return {};
    return CBasicString<char>(converted.get(), static_cast<std::size_t>(written));
}

std::size_t UnicodeStringLen(const char16_t *text) noexcept
{
    if (!text)
        return 0;
    std::size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

std::size_t UnicodeStrCpy(char16_t *destination, const char16_t *source, std::size_t capacity) noexcept
{
    if (!destination || capacity == 0)
        return 0;
    std::size_t copied = 0;
    if (source) {
        while (source[copied] && copied + 1 < capacity)
            ++copied;
        // A high surrogate whose partner did not fit would leave invalid text.
        if (copied > 0 && source[copied] && source[copied - 1] >= 0xD800 && source[copied - 1] <= 0xDBFF)
            --copied;
        for (std::size_t i = 0; i < copied; ++i)
            destination[i] = source[i];
    }
    destination[copied] = 0;
    return copied;
}

int UnicodeStringCmp(const char16_t *a, const char16_t *b) noexcept
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    for (;; ++a, ++b) {
        if (*a != *b)
            return *a < *b ? -1 : 1;
        if (!*a)
            return 0;
    }
}
