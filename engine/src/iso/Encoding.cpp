#include "iso/Encoding.h"

#include "data/IsoLayout.h"
#include "data/Names.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace vorn::engine::iso {

namespace {

std::tm utc(std::int64_t t)
{
    const auto tt = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    return tm;
}

}  // namespace

void putRecordDate(std::uint8_t *p, std::int64_t t)
{
    // 1900-01-01 and 2155-12-31 23:59:59, the range of a year byte.
    t = std::clamp<std::int64_t>(t, -2208988800LL, 5948150399LL);
    const std::tm tm = utc(t);
    p[0] = static_cast<std::uint8_t>(tm.tm_year);
    p[1] = static_cast<std::uint8_t>(tm.tm_mon + 1);
    p[2] = static_cast<std::uint8_t>(tm.tm_mday);
    p[3] = static_cast<std::uint8_t>(tm.tm_hour);
    p[4] = static_cast<std::uint8_t>(tm.tm_min);
    p[5] = static_cast<std::uint8_t>(tm.tm_sec);
    p[6] = 0;
}

void putVolumeDate(std::uint8_t *p, std::int64_t t)
{
    if (t < 0) {
        std::fill(p, p + 16, '0');
        p[16] = 0;
        return;
    }
    const std::tm tm = utc(std::min<std::int64_t>(t, 253402300799LL));
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d00", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::copy(text, text + 16, p);
    p[16] = 0;
}

void putText(std::uint8_t *p, std::size_t n, std::string_view s)
{
    std::fill(p, p + n, ' ');
    std::copy_n(s.begin(), std::min(n, s.size()), p);
}

std::string utf16be(std::string_view s)
{
    std::string out;
    out.reserve(2 * s.size());
    auto unit = [&](std::uint32_t u) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    };
    for (std::size_t i = 0; i < s.size();) {
        const std::string_view one = data::utf8Cut(s.substr(i), 1, 2, 0);
        const std::size_t len = one.empty() ? 1 : one.size();
        std::uint32_t cp = 0xFFFD;
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (len == 1 && b0 < 0x80) {
            cp = b0;
        } else if (len > 1) {
            cp = b0 & (0x7Fu >> len);
            for (std::size_t k = 1; k < len; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
        i += len;
    }
    return out;
}

void putUcs2Text(std::uint8_t *p, std::size_t n, std::string_view utf8)
{
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        p[i] = 0;
        p[i + 1] = ' ';
    }
    if (n & 1)
        p[n - 1] = 0;
    const std::string_view cut = data::utf8Cut(utf8, n / 2, n / 2, 0);
    const std::string units = utf16be(cut);
    std::copy_n(units.begin(), std::min(units.size(), n & ~std::size_t{1}), p);
}

namespace {

void header(std::string &out, char a, char b, std::size_t len)
{
    out += a;
    out += b;
    out += static_cast<char>(len);
    out += '\1';
}

void both32(std::string &out, std::uint32_t v)
{
    std::uint8_t b[8];
    put32both(b, v);
    out.append(reinterpret_cast<const char *>(b), 8);
}

}  // namespace

void appendPx(std::string &out, std::uint32_t mode, std::uint32_t links, std::uint32_t serial)
{
    header(out, 'P', 'X', data::kRripPxBytes);
    both32(out, mode);
    both32(out, links);
    both32(out, 0);  // owner
    both32(out, 0);  // group
    both32(out, serial);
}

void appendTf(std::string &out, std::int64_t modified, std::int64_t accessed, std::int64_t changed)
{
    header(out, 'T', 'F', data::kRripTfBytes);
    out += '\x0E';  // modify, access, attributes
    std::uint8_t d[7];
    for (std::int64_t t : {modified, accessed, changed}) {
        putRecordDate(d, t);
        out.append(reinterpret_cast<const char *>(d), 7);
    }
}

void appendNm(std::string &out, std::string_view name)
{
    do {
        const std::size_t piece = std::min<std::size_t>(name.size(), data::kSuspMaxPayload);
        header(out, 'N', 'M', data::kRripNmHeaderBytes + piece);
        out += piece < name.size() ? '\1' : '\0';  // continues in the next NM
        out.append(name.substr(0, piece));
        name.remove_prefix(piece);
    } while (!name.empty());
}

void appendSl(std::string &out, std::string_view target)
{
    // Component records first, then packed into entries exactly as the
    // layout counts them.
    constexpr std::size_t kMaxComponent = data::kSuspMaxPayload - 2;
    std::vector<std::string> records;
    auto record = [&](std::uint8_t flags, std::string_view text) {
        std::string r;
        r += static_cast<char>(flags);
        r += static_cast<char>(text.size());
        r.append(text);
        records.push_back(std::move(r));
    };
    if (!target.empty() && target.front() == '/')
        record(0x08, {});  // root
    std::size_t start = 0;
    while (start <= target.size()) {
        auto slash = target.find('/', start);
        if (slash == std::string_view::npos)
            slash = target.size();
        const auto comp = target.substr(start, slash - start);
        if (comp == ".") {
            record(0x02, {});
        } else if (comp == "..") {
            record(0x04, {});
        } else if (!comp.empty()) {
            for (std::size_t at = 0; at < comp.size();) {
                const std::size_t piece = std::min(comp.size() - at, kMaxComponent);
                const bool more = at + piece < comp.size();
                record(more ? 0x01 : 0x00, comp.substr(at, piece));
                at += piece;
            }
        }
        start = slash + 1;
    }
    std::vector<std::string> entries;
    for (const auto &r : records) {
        if (entries.empty() || entries.back().size() + r.size() > data::kSuspMaxPayload)
            entries.emplace_back();
        entries.back() += r;
    }
    if (entries.empty())
        entries.emplace_back();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        header(out, 'S', 'L', 5 + entries[i].size());
        out += i + 1 < entries.size() ? '\1' : '\0';  // continues in the next SL
        out += entries[i];
    }
}

void appendSp(std::string &out, std::uint8_t skip)
{
    header(out, 'S', 'P', data::kSuspSpBytes);
    out += '\xBE';
    out += '\xEF';
    out += static_cast<char>(skip);
}

void appendPd(std::string &out, std::size_t bytes)
{
    header(out, 'P', 'D', bytes);
    out.append(bytes - 4, '\0');
}

void appendCe(std::string &out, std::uint32_t block, std::uint32_t offset, std::uint32_t length)
{
    header(out, 'C', 'E', data::kSuspCeBytes);
    both32(out, block);
    both32(out, offset);
    both32(out, length);
}

void appendCl(std::string &out, std::uint32_t block)
{
    header(out, 'C', 'L', data::kRripClBytes);
    both32(out, block);
}

void appendPl(std::string &out, std::uint32_t block)
{
    header(out, 'P', 'L', data::kRripPlBytes);
    both32(out, block);
}

void appendRe(std::string &out)
{
    header(out, 'R', 'E', data::kRripReBytes);
}

void appendEr(std::string &out)
{
    constexpr std::string_view id = "RRIP_1991A";
    constexpr std::string_view descriptor =
        "THE ROCK RIDGE INTERCHANGE PROTOCOL PROVIDES SUPPORT FOR POSIX FILE SYSTEM SEMANTICS";
    constexpr std::string_view source =
        "PLEASE CONTACT DISC PUBLISHER FOR SPECIFICATION SOURCE.  SEE PUBLISHER IDENTIFIER IN "
        "PRIMARY VOLUME DESCRIPTOR FOR CONTACT INFORMATION.";
    static_assert(8 + id.size() + descriptor.size() + source.size() == data::kSuspErBytes);
    header(out, 'E', 'R', data::kSuspErBytes);
    out += static_cast<char>(id.size());
    out += static_cast<char>(descriptor.size());
    out += static_cast<char>(source.size());
    out += '\1';  // extension version
    out.append(id);
    out.append(descriptor);
    out.append(source);
}

void appendXa(std::string &out, bool directory)
{
    // Owner group and user 0, attributes: readable and executable by all,
    // Mode 2 Form 1 data, and the folder bit.
    const std::uint16_t attributes = directory ? 0x8D55 : 0x0D55;
    out.append(4, '\0');
    out += static_cast<char>(attributes >> 8);
    out += static_cast<char>(attributes & 0xFF);
    out += 'X';
    out += 'A';
    out.append(6, '\0');  // file number and reserved
}

}  // namespace vorn::engine::iso
