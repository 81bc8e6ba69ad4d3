#include "data/IsoLayout.h"

#include "data/Names.h"

#include <algorithm>

namespace vorn::engine::data {

std::uint32_t directoryRecordBytes(std::size_t idBytes, std::size_t suBytes)
{
    std::size_t n = 33 + idBytes;
    n += n & 1;
    n += suBytes;
    n += n & 1;
    return static_cast<std::uint32_t>(n);
}

std::uint32_t rockRidgeNameBytes(std::size_t nameBytes)
{
    const std::size_t entries = std::max<std::size_t>(1, (nameBytes + kSuspMaxPayload - 1) / kSuspMaxPayload);
    return static_cast<std::uint32_t>(entries * kRripNmHeaderBytes + nameBytes);
}

namespace {

// The sizes of the SL entries of a link target: component records (flags,
// length, content) packed into entries of at most 250 bytes of payload; a
// long component is split into pieces flagged as continued.
void symlinkEntries(std::string_view target, std::vector<std::uint32_t> &out)
{
    constexpr std::size_t kMaxComponent = kSuspMaxPayload - 2;
    std::vector<std::size_t> records;
    if (!target.empty() && target.front() == '/')
        records.push_back(2);
    std::size_t start = 0;
    while (start <= target.size()) {
        auto slash = target.find('/', start);
        if (slash == std::string_view::npos)
            slash = target.size();
        const auto comp = target.substr(start, slash - start);
        if (comp == "." || comp == "..") {
            records.push_back(2);
        } else if (!comp.empty()) {
            for (std::size_t left = comp.size(); left > 0;) {
                const std::size_t piece = std::min(left, kMaxComponent);
                records.push_back(2 + piece);
                left -= piece;
            }
        }
        start = slash + 1;
    }
    std::size_t payload = kSuspMaxPayload;
    for (std::size_t r : records) {
        if (payload + r > kSuspMaxPayload) {
            out.push_back(5);
            payload = 0;
        }
        payload += r;
        out.back() += static_cast<std::uint32_t>(r);
    }
    if (records.empty())
        out.push_back(5);
}

}  // namespace

std::uint32_t rockRidgeSymlinkBytes(std::string_view target)
{
    std::vector<std::uint32_t> entries;
    symlinkEntries(target, entries);
    std::uint32_t bytes = 0;
    for (std::uint32_t e : entries)
        bytes += e;
    return bytes;
}

void rockRidgeMovableEntries(const LayoutEntry &e, std::vector<std::uint32_t> &out)
{
    out.clear();
    std::size_t left = e.visible.size();
    do {
        const std::size_t piece = std::min<std::size_t>(left, kSuspMaxPayload);
        out.push_back(static_cast<std::uint32_t>(kRripNmHeaderBytes + piece));
        left -= piece;
    } while (left > 0);
    if (!e.linkTarget.empty())
        symlinkEntries(e.linkTarget, out);
}

std::vector<std::size_t> continuationAreas(const std::vector<std::uint32_t> &entryBytes)
{
    std::uint64_t left = 0;
    for (std::uint32_t b : entryBytes)
        left += b;
    std::vector<std::size_t> areas;
    for (std::size_t i = 0; i < entryBytes.size();) {
        if (left <= kBlockBytes) {
            areas.push_back(entryBytes.size() - i);
            break;
        }
        std::uint32_t used = 0;
        std::size_t n = 0;
        while (i < entryBytes.size() && used + entryBytes[i] + kSuspCeBytes <= kBlockBytes) {
            used += entryBytes[i];
            left -= entryBytes[i];
            ++i;
            ++n;
        }
        areas.push_back(n);
    }
    return areas;
}

void RecordPacker::add(std::uint32_t recordBytes)
{
    if (used_ + recordBytes > kBlockBytes) {
        ++full_;
        used_ = 0;
    }
    used_ += recordBytes;
}

void ContinuationPacker::add(std::uint32_t spilledBytes)
{
    if (spilledBytes == 0)
        return;
    if (used_ + spilledBytes > kBlockBytes) {
        ++full_;
        used_ = 0;
    }
    used_ += spilledBytes;
}

void ContinuationPacker::addChained(const std::vector<std::uint32_t> &entryBytes)
{
    if (used_) {
        ++full_;
        used_ = 0;
    }
    const std::vector<std::size_t> areas = continuationAreas(entryBytes);
    full_ += areas.size() - 1;
    std::size_t first = entryBytes.size() - areas.back();
    for (std::size_t i = first; i < entryBytes.size(); ++i)
        used_ += entryBytes[i];
}

namespace {

std::pair<std::string_view, std::string_view> nameAndExtension(std::string_view s)
{
    const auto dot = s.find('.');
    if (dot == std::string_view::npos)
        return {s, {}};
    return {s.substr(0, dot), s.substr(dot + 1)};
}

int comparePadded(std::string_view a, std::string_view b)
{
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
        const auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return 0;
}

// UTF-8 to UTF-16 code units, for Joliet's order. Invalid bytes become
// U+FFFD, as the writer will write them.
std::u16string toUtf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::string_view one = utf8Cut(s.substr(i), 1, 2, 0);
        const std::size_t len = one.empty() ? 1 : one.size();
        std::uint32_t cp = 0xFFFD;
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (len == 1 && b0 < 0x80)
            cp = b0;
        else if (len > 1) {
            cp = b0 & (0x7Fu >> len);
            for (std::size_t k = 1; k < len; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

}  // namespace

bool primaryRecordLess(std::string_view a, std::string_view b)
{
    const auto [na, ea] = nameAndExtension(a);
    const auto [nb, eb] = nameAndExtension(b);
    if (int c = comparePadded(na, nb))
        return c < 0;
    return comparePadded(ea, eb) < 0;
}

bool jolietRecordLess(std::string_view a, std::string_view b)
{
    // An ASCII byte is one UTF-16 unit of the same value, so a common ASCII
    // prefix orders nothing and the first ASCII difference decides; only
    // what follows the first other byte needs converting. Sorting a folder
    // compares often, and most names are ASCII.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && static_cast<unsigned char>(a[i]) < 0x80 && static_cast<unsigned char>(b[i]) < 0x80) {
        if (a[i] != b[i])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
        ++i;
    }
    if (i == n)
        return a.size() < b.size();
    return toUtf16(a.substr(i)) < toUtf16(b.substr(i));
}

bool iso1999RecordLess(std::string_view a, std::string_view b)
{
    return a < b;
}

RecordSize entryRecordSize(Volume v, const LayoutEntry &e, const LayoutSettings &s)
{
    const std::uint32_t xa = s.modeXa ? kXaBytes : 0;
    const bool version = s.versionSuffix && !e.isDirectory;
    const bool primaryOnly = e.relocation == Relocation::kMoved || e.relocation == Relocation::kMovedFolder;
    if (v != kPrimary && primaryOnly)
        return {0, 0};
    switch (v) {
    case kJoliet:
        return {directoryRecordBytes(2 * utf16Units(e.joliet) + (version ? 4 : 0), xa), 0};
    case kIso1999:
        return {directoryRecordBytes(e.visible.size(), xa), 0};
    case kPrimary:
    case kVolumes:
        break;
    }
    const std::size_t idBytes = e.primary.size() + (version ? 2 : 0);
    if (!s.rockRidge)
        return {e.relocation == Relocation::kPlaceholder ? 0 : directoryRecordBytes(idBytes, xa), 0};
    const std::uint32_t fixed = xa + kRripPxBytes + kRripTfBytes +
                                (e.relocation == Relocation::kPlaceholder ? kRripClBytes
                                 : primaryOnly                            ? kRripReBytes
                                                                          : 0);
    const std::uint32_t movable = rockRidgeNameBytes(e.visible.size()) +
                                  (e.linkTarget.empty() ? 0 : rockRidgeSymlinkBytes(e.linkTarget));
    const std::uint32_t whole = directoryRecordBytes(idBytes, fixed + movable);
    if (whole <= kMaxRecordBytes)
        return {whole, 0};
    return {directoryRecordBytes(idBytes, fixed + kSuspCeBytes), movable};
}

std::uint32_t dotRecordBytes(Volume v, bool dot, bool isRoot, const LayoutSettings &s, bool relocated)
{
    std::uint32_t su = s.modeXa ? kXaBytes : 0;
    if (v == kPrimary && s.rockRidge) {
        su += kRripPxBytes + kRripTfBytes;
        if (dot && isRoot)
            su += kSuspSpBytes + kSuspCeBytes;
        if (!dot && relocated)
            su += kRripPlBytes;
    }
    return directoryRecordBytes(1, su);
}

DirectoryLayout layoutDirectory(std::vector<LayoutEntry> &entries, bool isRoot,
                                const LayoutSettings &s, bool relocated, bool primaryOnly)
{
    DirectoryLayout out;
    std::vector<std::uint32_t> spilled;
    for (int vi = 0; vi < kVolumes; ++vi) {
        const auto v = static_cast<Volume>(vi);
        if ((v == kJoliet && !s.joliet) || (v == kIso1999 && !s.iso1999) || (v != kPrimary && primaryOnly))
            continue;
        switch (v) {
        case kPrimary:
            std::sort(entries.begin(), entries.end(),
                      [](const LayoutEntry &a, const LayoutEntry &b) { return primaryRecordLess(a.primary, b.primary); });
            break;
        case kJoliet:
            std::sort(entries.begin(), entries.end(),
                      [](const LayoutEntry &a, const LayoutEntry &b) { return jolietRecordLess(a.joliet, b.joliet); });
            break;
        default:
            std::sort(entries.begin(), entries.end(),
                      [](const LayoutEntry &a, const LayoutEntry &b) { return iso1999RecordLess(a.visible, b.visible); });
            break;
        }
        RecordPacker records;
        records.add(dotRecordBytes(v, true, isRoot, s));
        records.add(dotRecordBytes(v, false, isRoot, s, relocated));
        ContinuationPacker continuation;
        if (v == kPrimary && s.rockRidge && isRoot)
            continuation.add(kSuspErBytes);
        std::uint64_t pathTable = 0;
        for (const auto &e : entries) {
            const RecordSize size = entryRecordSize(v, e, s);
            if (size.recordBytes == 0)
                continue;  // not in this volume
            records.add(size.recordBytes);
            if (size.spilledBytes > kBlockBytes) {
                rockRidgeMovableEntries(e, spilled);
                continuation.addChained(spilled);
            } else {
                continuation.add(size.spilledBytes);
            }
            if (e.isDirectory && !(v == kPrimary && e.relocation == Relocation::kPlaceholder)) {
                const std::size_t idBytes = v == kPrimary  ? e.primary.size()
                                            : v == kJoliet ? 2 * utf16Units(e.joliet)
                                                           : e.visible.size();
                pathTable += pathTableRecordBytes(idBytes);
            }
        }
        out.extentBlocks[v] = records.blocks();
        out.childPathTableBytes[v] = pathTable;
        if (v == kPrimary)
            out.continuationBlocks = continuation.blocks();
    }
    return out;
}

std::uint64_t descriptorAreaBlocks(const LayoutSettings &s)
{
    return kSystemAreaBlocks + 1 + (s.elTorito ? 1 : 0) + (s.joliet ? 1 : 0) + (s.iso1999 ? 1 : 0) + 1;
}

std::uint64_t overheadBlocks(std::uint64_t extentBlocks, std::uint64_t continuationBlocks,
                             const std::uint64_t pathTableBytes[kVolumes],
                             const LayoutSettings &s)
{
    std::uint64_t blocks = descriptorAreaBlocks(s) + extentBlocks + continuationBlocks;
    for (int v = 0; v < kVolumes; ++v) {
        if ((v == kJoliet && !s.joliet) || (v == kIso1999 && !s.iso1999))
            continue;
        blocks += 2 * blocksFor(kRootPathTableBytes + pathTableBytes[v]);
    }
    return blocks;
}

}  // namespace vorn::engine::data
