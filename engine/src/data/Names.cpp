#include "data/Names.h"

#include <algorithm>

namespace vorn::engine::data {
namespace {

// One UTF-8 character at `i`: its code point (or -1 for an invalid byte) and
// its length in bytes.
struct Utf8Char {
    std::int32_t cp;
    std::size_t len;
};

Utf8Char decodeAt(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return {b0, 1};
    std::size_t len = b0 >= 0xF0 && b0 < 0xF5 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 && b0 < 0xE0 ? 2 : 0;
    if (len == 0 || i + len > s.size())
        return {-1, 1};
    std::int32_t cp = b0 & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return {-1, 1};
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms and surrogates are not characters.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return {-1, 1};
    return {cp, len};
}

constexpr std::string_view kJolietForbidden = "\"/:*?<>\\|;";
// Characters an ISO name may hold with the ASCII character set.
constexpr std::string_view kAsciiName =
    " !#$%&'()+,-.0123456789=@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";
constexpr std::string_view kACharacters = " !\"%&'()*+,-./:;<=>?";

bool isD(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Maps a name to the ISO character set, one output byte per character.
// Dots are kept only when `keepDots`.
std::string isoMap(std::string_view s, bool ascii, bool keepDots)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto ch = decodeAt(s, i);
        i += ch.len;
        char c = ch.cp >= 0 && ch.cp < 0x80 ? static_cast<char>(ch.cp) : '\0';
        if (c == '.') {
            out += keepDots ? '.' : '_';
            continue;
        }
        if (ascii)
            out += c != '\0' && kAsciiName.find(c) != std::string_view::npos ? c : '_';
        else
            out += isD(upper(c)) ? upper(c) : '_';
    }
    return out;
}

std::size_t isoBaseLimit(NameSet set, const Candidate &c)
{
    if (set == kIso1)
        return 8;
    return 31 - c.ext.size();
}

// Splits at the last dot into base and extension (with its dot). A leading
// dot does not start an extension.
std::pair<std::string_view, std::string_view> splitExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

}  // namespace

std::size_t utf8Chars(std::string_view s)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += decodeAt(s, i).len)
        ++n;
    return n;
}

std::size_t utf16Units(std::string_view s)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto ch = decodeAt(s, i);
        n += ch.cp >= 0x10000 ? 2 : 1;
        i += ch.len;
    }
    return n;
}

std::string_view utf8Cut(std::string_view s, std::size_t maxChars, std::size_t maxUnits,
                         std::size_t maxBytes)
{
    std::size_t i = 0, chars = 0, units = 0;
    while (i < s.size()) {
        const auto ch = decodeAt(s, i);
        const std::size_t u = ch.cp >= 0x10000 ? 2 : 1;
        if (chars + 1 > maxChars || units + u > maxUnits || (maxBytes && i + ch.len > maxBytes))
            break;
        ++chars;
        units += u;
        i += ch.len;
    }
    return s.substr(0, i);
}

Candidate candidateName(NameSet set, std::string_view original, bool isDirectory,
                        const NameRules &rules)
{
    Candidate c;
    if (set == kIso1 || set == kIso2) {
        if (isDirectory) {
            c.base = isoMap(original, rules.asciiCharset, false);
        } else {
            auto [base, ext] = splitExtension(original);
            c.base = isoMap(base, rules.asciiCharset, false);
            if (ext.size() > 1) {
                c.ext.assign(1, '.');
                c.ext.append(isoMap(ext.substr(1), rules.asciiCharset, false));
                c.ext.resize(std::min<std::size_t>(c.ext.size(), set == kIso1 ? 4 : 16));
            }
        }
        if (c.base.empty())
            c.base.assign(1, '_');
        c.base.resize(std::min(c.base.size(), isoBaseLimit(set, c)));
        return c;
    }

    std::string cleaned;
    if (set == kVisible) {
        cleaned.reserve(original.size());
        for (std::size_t i = 0; i < original.size();) {
            const auto ch = decodeAt(original, i);
            const bool forbidden =
                ch.cp < 0x20 || (ch.cp < 0x80 && kJolietForbidden.find(static_cast<char>(ch.cp)) !=
                                                     std::string_view::npos &&
                                 !(ch.cp == ';' && rules.semicolonsAllowed));
            if (forbidden)
                cleaned += '_';
            else
                cleaned.append(original.substr(i, ch.len));
            i += ch.len;
        }
        if (cleaned.empty() || cleaned == "." || cleaned == "..")
            cleaned.assign(1, '_');
    } else {
        cleaned.assign(original);
    }
    const std::size_t limitChars = set == kVisible ? static_cast<std::size_t>(rules.visibleLimitChars)
                                                   : static_cast<std::size_t>(rules.jolietLimitUnits);
    auto [base, ext] = isDirectory ? std::pair<std::string_view, std::string_view>{cleaned, {}}
                                   : splitExtension(cleaned);
    // A long extension would leave no room for the name: keep it only when
    // it is short, as extensions that programs recognise are.
    if (utf8Chars(ext) > 10 || utf8Chars(ext) * 2 >= limitChars)
        base = cleaned, ext = {};
    c.base.assign(base);
    c.ext.assign(ext);
    return c;
}

std::string composeName(NameSet set, const Candidate &c, unsigned n, const NameRules &rules)
{
    std::string suffix;
    if (n) {
        suffix.assign(1, '~');
        suffix.append(std::to_string(n));
    }
    if (set == kIso1 || set == kIso2) {
        const std::size_t limit = isoBaseLimit(set, c);
        const std::size_t keep = suffix.size() < limit ? limit - suffix.size() : 0;
        std::string out = c.base.substr(0, std::min(keep, c.base.size()));
        out.append(suffix);
        out.append(c.ext);
        return out;
    }
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t maxChars = kNone, maxUnits = kNone, maxBytes = 0;
    const std::size_t reserved = utf16Units(c.ext) + suffix.size();
    if (set == kVisible) {
        const auto limit = static_cast<std::size_t>(rules.visibleLimitChars);
        maxChars = limit > reserved ? limit - reserved : 0;
        if (rules.visibleLimitBytes > 0) {
            const auto bytes = static_cast<std::size_t>(rules.visibleLimitBytes);
            const std::size_t used = c.ext.size() + suffix.size();
            maxBytes = bytes > used ? bytes - used : 1;
        }
    } else {
        const auto limit = static_cast<std::size_t>(rules.jolietLimitUnits);
        maxUnits = limit > reserved ? limit - reserved : 0;
    }
    std::string out(utf8Cut(c.base, maxChars, maxUnits, maxBytes));
    out.append(suffix);
    out.append(c.ext);
    return out;
}

bool isValidUserName(NameSet set, std::string_view name, bool isDirectory, const NameRules &rules)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return false;
    if (set == kIso1 || set == kIso2) {
        const std::string mapped = isoMap(name, rules.asciiCharset, !isDirectory);
        if (mapped != name)
            return false;
        const auto dots = std::count(name.begin(), name.end(), '.');
        if (dots > 1 || name.front() == '.')
            return false;
        if (set == kIso2)
            return name.size() <= 31;
        auto [base, ext] = splitExtension(name);
        return base.size() <= 8 && ext.size() <= 4;
    }
    for (std::size_t i = 0; i < name.size();) {
        const auto ch = decodeAt(name, i);
        if (ch.cp < 0x20 || (ch.cp < 0x80 && kJolietForbidden.find(static_cast<char>(ch.cp)) !=
                                                 std::string_view::npos &&
                             !(ch.cp == ';' && rules.semicolonsAllowed)))
            return false;
        i += ch.len;
    }
    if (utf8Chars(name) > static_cast<std::size_t>(rules.visibleLimitChars))
        return false;
    return rules.visibleLimitBytes <= 0 || name.size() <= static_cast<std::size_t>(rules.visibleLimitBytes);
}

namespace {

struct FieldShape {
    std::size_t isoBytes;
    std::size_t jolietChars;
    enum { A, D, File } chars;
};

FieldShape shapeOf(IdField f)
{
    switch (f) {
    case IdField::VolumeLabel: return {32, 16, FieldShape::D};
    case IdField::SystemId: return {32, 16, FieldShape::A};
    case IdField::VolumeSetId: return {128, 64, FieldShape::D};
    case IdField::PublisherId:
    case IdField::DataPreparerId:
    case IdField::ApplicationId: return {128, 64, FieldShape::A};
    case IdField::CopyrightFileId:
    case IdField::AbstractFileId:
    case IdField::BibliographicFileId: return {37, 18, FieldShape::File};
    }
    return {32, 16, FieldShape::D};
}

// Descriptor fields are padded with spaces, so trailing spaces cannot be
// told apart from padding: the corrected text drops them.
std::string trimRight(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

}  // namespace

std::string correctIsoIdentifier(IdField field, std::string_view text)
{
    const auto shape = shapeOf(field);
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < shape.isoBytes;) {
        const auto ch = decodeAt(text, i);
        i += ch.len;
        const char c = ch.cp >= 0 && ch.cp < 0x80 ? upper(static_cast<char>(ch.cp)) : '\0';
        bool ok = isD(c);
        if (shape.chars == FieldShape::A)
            ok = ok || (c != '\0' && kACharacters.find(c) != std::string_view::npos);
        else if (shape.chars == FieldShape::File)
            ok = ok || c == '.' || c == ';';
        out += ok ? c : '_';
    }
    return trimRight(std::move(out));
}

std::string correctJolietIdentifier(IdField field, std::string_view text)
{
    const auto shape = shapeOf(field);
    const bool nameLike = field == IdField::VolumeLabel || shape.chars == FieldShape::File;
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < shape.jolietChars; ++chars) {
        const auto ch = decodeAt(text, i);
        const bool bad = ch.cp < 0x20 || ch.cp >= 0x10000 ||
                         (nameLike && ch.cp < 0x80 &&
                          kJolietForbidden.find(static_cast<char>(ch.cp)) != std::string_view::npos);
        if (bad)
            out += '_';
        else
            out.append(text.substr(i, ch.len));
        i += ch.len;
    }
    return trimRight(std::move(out));
}

std::string correctUdfLabel(std::string_view text)
{
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < 30; ++chars) {
        const auto ch = decodeAt(text, i);
        if (ch.cp < 0x20)
            out += '_';
        else
            out.append(text.substr(i, ch.len));
        i += ch.len;
    }
    return out;
}

}  // namespace vorn::engine::data
