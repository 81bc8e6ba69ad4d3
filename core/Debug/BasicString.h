/*
 * CBasicString: the string class of the debug printer, and the helpers that
 * move text between UTF-8 (char) and UTF-16 (char16_t) strings.
 *
 * The debug printer keys its channel maps by CBasicString<char>; the engine's
 * support code hands out UTF-16 text, which the helpers convert. Conversions
 * never throw past their C-style callers: invalid input gives an empty result
 * and a 0 from the functions that report success.
 */
#ifndef VORN_BASIC_STRING_H
#define VORN_BASIC_STRING_H

#include <cstddef>
#include <compare>
#include <string>
#include <string_view>

template <class CharT>
class CBasicString {
public:
    CBasicString() = default;
    CBasicString(const CharT *text) : text_(text ? text : std::basic_string_view<CharT>{}) {}
    CBasicString(std::basic_string_view<CharT> text) : text_(text) {}
    CBasicString(const CharT *text, std::size_t length)
        : text_(text ? std::basic_string<CharT>(text, length) : std::basic_string<CharT>())
    {
    }

    const CharT *c_str() const noexcept { return text_.c_str(); }
    std::size_t Length() const noexcept { return text_.size(); }
    bool IsEmpty() const noexcept { return text_.empty(); }
    std::basic_string_view<CharT> View() const noexcept { return text_; }

    CBasicString &operator+=(const CBasicString &other)
    {
        text_ += other.text_;
        return *this;
    }
    friend CBasicString operator+(CBasicString a, const CBasicString &b) { return a += b; }

    // Ordered by code units, as the channel maps need.
    friend bool operator==(const CBasicString &a, const CBasicString &b) noexcept { return a.text_ == b.text_; }
    friend auto operator<=>(const CBasicString &a, const CBasicString &b) noexcept
    {
        return a.text_.compare(b.text_) <=> 0;
    }

private:
    std::basic_string<CharT> text_;
};

/* UTF-8 to UTF-16 and back; invalid input gives an empty string. */
CBasicString<char16_t> ConvertUnicode(const char *utf8);
CBasicString<char> ConvertUnicode(const char16_t *utf16);

/*
 * Copies the NUL-terminated UTF-16 string `source` into `destination`, which
 * holds `capacity` code units, always terminating it. A surrogate pair is
 * never cut in half. Returns the number of units copied (without the NUL).
 */
std::size_t UnicodeStrCpy(char16_t *destination, const char16_t *source, std::size_t capacity) noexcept;
/* Code units before the NUL; 0 for NULL. */
std::size_t UnicodeStringLen(const char16_t *text) noexcept;
/* <0, 0, >0 by code units; NULL sorts before every string. */
int UnicodeStringCmp(const char16_t *a, const char16_t *b) noexcept;

#endif
