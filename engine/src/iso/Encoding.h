// Byte-level pieces of an ISO 9660 image: numbers in both byte orders,
// dates, padded text fields, UTF-16 for Joliet, and the Rock Ridge entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::engine::iso {

inline void put16le(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put16be(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void put32le(std::uint8_t *p, std::uint32_t v)
{
    put16le(p, v & 0xFFFF);
    put16le(p + 2, v >> 16);
}
inline void put32be(std::uint8_t *p, std::uint32_t v)
{
    put16be(p, v >> 16);
    put16be(p + 2, v & 0xFFFF);
}
// Both-byte-order fields: little endian first.
inline void put16both(std::uint8_t *p, std::uint32_t v)
{
    put16le(p, v);
    put16be(p + 2, v);
}
inline void put32both(std::uint8_t *p, std::uint32_t v)
{
    put32le(p, v);
    put32be(p + 4, v);
}

// The 7-byte date of directory records and Rock Ridge TF entries, in UTC.
// Years outside 1900-2155 are clamped to the nearest one a record holds.
void putRecordDate(std::uint8_t *p, std::int64_t t);
// The 17-byte date of volume descriptors, in UTC; t < 0 writes "not
// specified" (sixteen '0' digits and a zero offset).
void putVolumeDate(std::uint8_t *p, std::int64_t t);

// A text field padded with spaces, cut to `n` bytes.
void putText(std::uint8_t *p, std::size_t n, std::string_view s);
// A Joliet text field: UCS-2 big endian padded with spaces, cut to `n` bytes
// without splitting a character.
void putUcs2Text(std::uint8_t *p, std::size_t n, std::string_view utf8);

// UTF-8 to UTF-16 big endian bytes; invalid bytes become U+FFFD, one unit
// each, as the layout counts them.
std::string utf16be(std::string_view utf8);

// Rock Ridge System Use entries, appended to `out`.
void appendPx(std::string &out, std::uint32_t mode, std::uint32_t links, std::uint32_t serial);
void appendTf(std::string &out, std::int64_t modified, std::int64_t accessed, std::int64_t changed);
void appendNm(std::string &out, std::string_view name);
void appendSl(std::string &out, std::string_view target);
// SP, telling readers to skip `skip` bytes at the start of every other
// System Use field (where the CD-XA attributes are).
void appendSp(std::string &out, std::uint8_t skip);
// PD, padding of `bytes` bytes (at least 4).
void appendPd(std::string &out, std::size_t bytes);
void appendCe(std::string &out, std::uint32_t block, std::uint32_t offset, std::uint32_t length);
// Relocation of deep folders: CL in the placeholder (the relocated folder's
// block), PL in the relocated folder's ".." (the real parent's block), RE
// on the relocated folder's own record.
void appendCl(std::string &out, std::uint32_t block);
void appendPl(std::string &out, std::uint32_t block);
void appendRe(std::string &out);
void appendEr(std::string &out);
// The CD-XA attributes of a record.
void appendXa(std::string &out, bool directory);

}  // namespace vorn::engine::iso
