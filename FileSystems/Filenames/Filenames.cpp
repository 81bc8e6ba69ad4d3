#include "Filenames.h"
#include "FilenamesPrivate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct GFree {
    void operator()(void *p) const noexcept { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

// Tried in this order after the locale's encoding. The single-byte encodings
// accept any byte string, so the multibyte ones must come first or they could
// never win; "UTF-8" leads because the locale may be a legacy one.
constexpr std::array<const char *, 27> kFallbackCharsets = {
    "UTF-8",      "EUC-JP",     "EUC-KR",      "EUC-TW",    "ISO-8859-1", "ISO-8859-15",
    "ISO-8859-2", "ISO-8859-8", "ISO-8859-13", "SJIS",      "KOI8-R",     "KOI8-U",
    "KOI8-T",     "TIS-620",    "ISO-8859-9",  "BIG-5",     "GBK",        "GB2312",
    "GB18030",    "ISO-8859-5", "ISO-8859-6",  "ISO-8859-7", "ISO-8859-14", "CP1251",
    "CP1255",     "TCVN5712-1", "PT154",
};

void storeCharset(gchar *buffer, gsize bufferLength, const char *charset) noexcept
{
    if (buffer != nullptr && bufferLength > 0)
        std::strncpy(buffer, charset, bufferLength);
}

// The converters trust iconv, and iconv's UTF-8 lets through sequences that
// are no UTF-8 (lead bytes 0xF5 to 0xF7 for code points above U+10FFFF), which
// GTK+ would refuse to show. Such a result counts as a failed conversion.
gchar *checkedUtf8(gchar *converted) noexcept
{
    if (converted != nullptr && !g_utf8_validate(converted, -1, nullptr)) {
        g_free(converted);
        return nullptr;
    }
    return converted;
}

// Converts with g_convert and returns NULL on any error, including a name that
// ends in the middle of a multibyte character.
gchar *convertToUtf8(const gchar *name, const char *charset) noexcept
{
    GError *error = nullptr;
    gchar *converted = g_convert(name, -1, "UTF-8", charset, nullptr, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
        g_free(converted);
        return nullptr;
    }
    return checkedUtf8(converted);
}

// Appends the sort key of one run of ASCII digits and returns how many leading
// zeros it dropped. Numbers compare by magnitude because a longer number gets
// more ':' (which sorts above every digit) in front of its digits.
std::size_t appendNumberKey(std::string &key, std::string_view digits)
{
    std::size_t zeros = 0;
    while (zeros + 1 < digits.size() && digits[zeros] == '0')
        ++zeros;
    const std::string_view significant = digits.substr(zeros);
    key.append("\1\1\1\2");
    key.append(significant.size() - 1, ':');
    key.append(significant);
    return zeros;
}

void appendTextKey(std::string &key, const char *text, std::size_t length)
{
    if (length == 0)
        return;
    GCharPtr textKey{g_utf8_collate_key(text, static_cast<gssize>(length))};
    key.append(textKey.get());
}

bool isAsciiDigit(char c) noexcept { return c >= '0' && c <= '9'; }

}  // namespace

namespace vorn::filenames {

std::span<const char *const> fallbackCharsets() noexcept { return kFallbackCharsets; }

std::string replaceInvalidUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    const char *p = bytes.data();
    const char *const end = bytes.data() + bytes.size();
    while (p < end) {
        const gchar *validEnd = nullptr;
        g_utf8_validate(p, end - p, &validEnd);
        out.append(p, validEnd);
        p = validEnd;
        if (p < end) {
            out.push_back('?');
            ++p;
        }
    }
    return out;
}

}  // namespace vorn::filenames

gchar *Filenames_GetUnicodeString(const gchar *name, gchar *charsetBuffer, gsize bufferLength,
                                  gint tryUtf8First)
{
    if (name == nullptr)
        name = "";

    if (tryUtf8First == 1 && g_utf8_validate(name, -1, nullptr)) {
        storeCharset(charsetBuffer, bufferLength, "UTF-8");
        return g_strdup(name);
    }
    // The file-name encoding is not a charset name the caller could convert
    // back with, so it is only tried when nobody asks which charset won.
    if (charsetBuffer == nullptr) {
        if (gchar *converted = checkedUtf8(g_filename_to_utf8(name, -1, nullptr, nullptr, nullptr)))
            return converted;
    }
    if (gchar *converted = checkedUtf8(g_locale_to_utf8(name, -1, nullptr, nullptr, nullptr))) {
        const char *localeCharset = nullptr;
        g_get_charset(&localeCharset);
        storeCharset(charsetBuffer, bufferLength, localeCharset);
        return converted;
    }
    for (const char *charset : kFallbackCharsets) {
        if (gchar *converted = convertToUtf8(name, charset)) {
            storeCharset(charsetBuffer, bufferLength, charset);
            return converted;
        }
    }

    try {
        const std::string repaired = vorn::filenames::replaceInvalidUtf8(name);
        g_assert(g_utf8_validate(repaired.c_str(), static_cast<gssize>(repaired.size()), nullptr));
        storeCharset(charsetBuffer, bufferLength, "UTF-8");
        return g_strndup(repaired.data(), repaired.size());
    } catch (...) {
        storeCharset(charsetBuffer, bufferLength, "UTF-8");
        return g_strdup("?");
    }
}

gchar *Filenames_GetDisplayString(const gchar *name)
{
    return Filenames_GetUnicodeString(name, nullptr, 0, 0);
}

gchar *Filenames_GetCollateKey(const gchar *name, gssize lengthBytes)
{
    if (name == nullptr)
        return g_strdup("");
    const std::size_t length =
        lengthBytes < 0 ? std::strlen(name) : static_cast<std::size_t>(lengthBytes);
    try {
        std::string key;
        // Counts of dropped leading zeros go after the whole key, so that they
        // only decide between names that are otherwise equal ("1" and "01").
        std::string zeroCounts;
        std::size_t textStart = 0;
        std::size_t i = 0;
        while (i < length) {
            const char c = name[i];
            if (c == '.') {
                appendTextKey(key, name + textStart, i - textStart);
                key.append("\1\1\1\1");
                textStart = ++i;
            } else if (isAsciiDigit(c)) {
                appendTextKey(key, name + textStart, i - textStart);
                std::size_t runEnd = i;
                while (runEnd < length && isAsciiDigit(name[runEnd]))
                    ++runEnd;
                const std::size_t zeros =
                    appendNumberKey(key, std::string_view(name + i, runEnd - i));
                // One byte per run; capped so that an absurd run of zeros
                // cannot put a NUL into the key.
                if (zeros > 0)
                    zeroCounts.push_back(static_cast<char>(std::min<std::size_t>(zeros, 255)));
                textStart = i = runEnd;
            } else {
                ++i;
            }
        }
        appendTextKey(key, name + textStart, length - textStart);
        key.append(zeroCounts);
        return g_strndup(key.data(), key.size());
    } catch (...) {
        return g_strdup("");
    }
}
