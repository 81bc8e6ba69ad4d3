#include "DrivesFile.h"

#include "Media.h"
#include "VornAPI.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>

namespace vorn::engine {

namespace {

struct KeyFileFree {
    void operator()(GKeyFile *f) const noexcept { g_key_file_free(f); }
};
struct StrvFree {
    void operator()(gchar **v) const noexcept { g_strfreev(v); }
};
struct GFreeChar {
    void operator()(gchar *s) const noexcept { g_free(s); }
};

constexpr const char *kWriteSpeedsPrefix = "WriteSpeeds.";
constexpr const char *kReadSpeedsPrefix = "ReadSpeeds.";

bool startsWith(const std::string &s, const char *prefix)
{
    return s.rfind(prefix, 0) == 0;
}

std::string trim(const std::string &s)
{
    auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Where every group and key sits in the file, gathered in a first pass so
// that an error found while interpreting a value can name its line. The pass
// also refuses what GKeyFile would take silently: a repeated key or group,
// which would make the later one win without anyone noticing.
struct LineMap {
    std::vector<std::pair<std::string, int>> groups;
    std::map<std::pair<std::string, std::string>, int> keys;
};

std::optional<DrivesFileError> scanLines(const std::string &contents, LineMap &map,
                                         const Messages &messages)
{
    std::istringstream in(contents);
    std::string raw;
    std::string group;
    bool inGroup = false;
    int lineNo = 0;
    std::set<std::string> seenGroups;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (!g_utf8_validate(raw.data(), static_cast<gssize>(raw.size()), nullptr))
            return DrivesFileError{lineNo, messages.get(msg::kNotUtf8)};
        std::string line = trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3)
                return DrivesFileError{lineNo, messages.get(msg::kNotKeyOrGroup)};
            group = line.substr(1, line.size() - 2);
            if (!seenGroups.insert(group).second)
                return DrivesFileError{lineNo, messages.get(msg::kDuplicateGroup, {group})};
            map.groups.emplace_back(group, lineNo);
            inGroup = true;
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            return DrivesFileError{lineNo, messages.get(msg::kNotKeyOrGroup)};
        if (!inGroup)
            return DrivesFileError{lineNo, messages.get(msg::kKeyOutsideGroup)};
        std::string key = trim(line.substr(0, eq));
        if (!map.keys.emplace(std::make_pair(group, key), lineNo).second)
            return DrivesFileError{lineNo, messages.get(msg::kDuplicateKey, {key})};
    }
    return std::nullopt;
}

std::optional<std::int64_t> parseInteger(const std::string &text)
{
    std::string t = trim(text);
    if (t.empty())
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    long long value = std::strtoll(t.c_str(), &end, 0);
    if (errno != 0 || end == t.c_str() || *end != '\0')
        return std::nullopt;
    return value;
}

// A mask is a list of numbers (0x181) or medium names separated by ';' or ','.
std::optional<std::uint32_t> parseMediaMask(const std::string &text)
{
    std::uint32_t mask = 0;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, ';')) {
        std::istringstream parts(item);
        std::string name;
        while (std::getline(parts, name, ',')) {
            name = trim(name);
            if (name.empty())
                continue;
            if (auto number = parseInteger(name)) {
                if (*number < 0 || *number > 0xFFFFFFFFLL)
                    return std::nullopt;
                mask |= static_cast<std::uint32_t>(*number);
                continue;
            }
            const MediumKind *kind = findMediumByName(name);
            if (!kind)
                return std::nullopt;
            mask |= kind->value;
        }
    }
    return mask;
}

// Speeds are multiples of the medium's base ("8x", "2.4x") or KB/s ("1385").
std::optional<std::vector<std::int32_t>> parseSpeeds(const std::string &text,
                                                     const MediumKind &kind)
{
    std::vector<std::int32_t> out;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, ';')) {
        item = trim(item);
        if (item.empty())
            continue;
        std::int32_t kbs = 0;
        if (item.back() == 'x' || item.back() == 'X') {
            std::string number = item.substr(0, item.size() - 1);
            char *end = nullptr;
            double times = g_ascii_strtod(number.c_str(), &end);
            if (end == number.c_str() || *end != '\0' || !(times > 0) || times > 100)
                return std::nullopt;
            kbs = static_cast<std::int32_t>(std::lround(times * kind.baseKBs));
        } else {
            auto value = parseInteger(item);
            if (!value || *value <= 0 || *value > 1000000)
                return std::nullopt;
            kbs = static_cast<std::int32_t>(*value);
        }
        out.push_back(kbs);
    }
    if (out.empty())
        return std::nullopt;
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::uint32_t defaultReadMedia(std::uint32_t writeMedia)
{
    std::uint32_t read = writeMedia;
    if (writeMedia & VORN_FAMILY_CD)
        read |= VORN_MEDIUM_CD_ROM;
    if (writeMedia & VORN_FAMILY_DVD)
        read |= VORN_MEDIUM_DVD_ROM;
    if (writeMedia & VORN_FAMILY_BD)
        read |= VORN_MEDIUM_BD_ROM;
    if (writeMedia & VORN_FAMILY_HDDVD)
        read |= VORN_MEDIUM_HDDVD_ROM;
    return read;
}

}  // namespace

std::uint32_t defaultCapabilities(std::int32_t type)
{
    return type == VORN_DEVICE_TYPE_RECORDER
               ? (VORN_CAP_WRITE | VORN_CAP_TAO_FREE_PAUSES |
                  VORN_CAP_BUFFER_UNDERRUN_PROTECTION | VORN_CAP_AUTO_SPEED_DOWN)
               : 0;
}

bool DriveSpec::sameDescription(const DriveSpec &o) const
{
    return name == o.name && type == o.type && capabilities == o.capabilities &&
           writeMedia == o.writeMedia && readMedia == o.readMedia &&
           hostAdapter == o.hostAdapter && deviceId == o.deviceId &&
           writeSpeeds == o.writeSpeeds && readSpeeds == o.readSpeeds && vendor == o.vendor &&
           product == o.product && revision == o.revision;
}

DrivesFileResult parseDrivesFile(const std::string &contents, const std::filesystem::path &folder,
                                 const Messages &messages)
{
    DrivesFileResult result;
    LineMap lines;
    if (auto error = scanLines(contents, lines, messages)) {
        result.error = std::move(error);
        return result;
    }
    std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
    GError *gerror = nullptr;
    if (!g_key_file_load_from_data(file.get(), contents.data(), contents.size(),
                                   G_KEY_FILE_NONE, &gerror)) {
        result.error = DrivesFileError{0, gerror->message};
        g_error_free(gerror);
        return result;
    }

    std::set<std::string> names;
    for (const auto &[group, groupLine] : lines.groups) {
        DriveSpec declared;
        declared.group = group;
        declared.line = groupLine;
        declared.name = group;
        std::optional<std::uint32_t> caps;
        std::optional<std::uint32_t> readMedia;
        bool writeGiven = false;
        std::vector<std::pair<std::string, int>> speedKeys;

        gsize count = 0;
        std::unique_ptr<gchar *, StrvFree> keys(
            g_key_file_get_keys(file.get(), group.c_str(), &count, nullptr));
        for (gsize i = 0; i < count; ++i) {
            std::string key = keys.get()[i];
            int line = lines.keys[{group, key}];
            std::unique_ptr<gchar, GFreeChar> rawValue(
                g_key_file_get_string(file.get(), group.c_str(), key.c_str(), nullptr));
            std::string value = rawValue ? trim(rawValue.get()) : std::string();
            auto bad = [&] {
                result.error =
                    DrivesFileError{line, messages.get(msg::kBadValue, {value, key})};
                return result;
            };
            if (key == "Name") {
                if (value.size() > 63) {
                    result.error = DrivesFileError{line, messages.get(msg::kNameTooLong)};
                    return result;
                }
                if (value.empty())
                    return bad();
                declared.name = value;
            } else if (key == "Type") {
                if (value == "recorder" || value == "1")
                    declared.type = VORN_DEVICE_TYPE_RECORDER;
                else if (value == "reader" || value == "2")
                    declared.type = VORN_DEVICE_TYPE_READER;
                else
                    return bad();
            } else if (key == "Capabilities") {
                auto n = parseInteger(value);
                if (!n || *n < 0 || *n > 0xFFFFFFFFLL)
                    return bad();
                caps = static_cast<std::uint32_t>(*n);
            } else if (key == "WriteMedia") {
                auto m = parseMediaMask(value);
                if (!m)
                    return bad();
                declared.writeMedia = *m;
                writeGiven = true;
            } else if (key == "ReadMedia") {
                auto m = parseMediaMask(value);
                if (!m)
                    return bad();
                readMedia = *m;
            } else if (key == "HostAdapter" || key == "DeviceId") {
                auto n = parseInteger(value);
                if (!n || *n < 0 || *n > 255)
                    return bad();
                (key == "HostAdapter" ? declared.hostAdapter : declared.deviceId) = static_cast<int>(*n);
            } else if (key == "Vendor" || key == "Product" || key == "Revision") {
                std::size_t limit = key == "Vendor" ? 15 : key == "Product" ? 31 : 7;
                if (value.size() > limit)
                    return bad();
                (key == "Vendor" ? declared.vendor : key == "Product" ? declared.product : declared.revision) =
                    value;
            } else if (key == "Disc") {
                if (!value.empty()) {
                    std::filesystem::path p(value);
                    declared.disc = p.is_absolute() ? p : folder / p;
                }
                declared.discLine = line;
            } else if (key == "Tray") {
                if (value == "open")
                    declared.trayOpen = true;
                else if (value == "closed")
                    declared.trayOpen = false;
                else
                    return bad();
            } else if (key == "Busy") {
                if (value == "true" || value == "1")
                    declared.busy = true;
                else if (value == "false" || value == "0")
                    declared.busy = false;
                else
                    return bad();
            } else if (startsWith(key, kWriteSpeedsPrefix) || startsWith(key, kReadSpeedsPrefix)) {
                speedKeys.emplace_back(key, line);
            } else {
                result.error = DrivesFileError{line, messages.get(msg::kUnknownKey, {key})};
                return result;
            }
        }

        if (!writeGiven && declared.type == VORN_DEVICE_TYPE_RECORDER)
            declared.writeMedia = VORN_MEDIUM_CD_R | VORN_MEDIUM_CD_RW;
        if (declared.type != VORN_DEVICE_TYPE_RECORDER)
            declared.writeMedia = 0;
        declared.readMedia = (readMedia ? *readMedia
                                    : (declared.type == VORN_DEVICE_TYPE_RECORDER
                                           ? defaultReadMedia(declared.writeMedia)
                                           : defaultReadMedia(VORN_MEDIUM_CD_R | VORN_MEDIUM_CD_RW))) |
                         declared.writeMedia;
        declared.capabilities = (caps ? *caps : defaultCapabilities(declared.type)) |
                            doubleLayerCapabilities(declared.writeMedia);

        for (const auto &[key, line] : speedKeys) {
            bool write = startsWith(key, kWriteSpeedsPrefix);
            std::string mediumName =
                key.substr(std::string(write ? kWriteSpeedsPrefix : kReadSpeedsPrefix).size());
            const MediumKind *kind = findMediumByName(mediumName);
            std::uint32_t mask = write ? declared.writeMedia : declared.readMedia;
            if (!kind || (kind->value & mask) != kind->value) {
                result.error = DrivesFileError{
                    line, messages.get(msg::kSpeedForUnknownMedium, {mediumName})};
                return result;
            }
            std::unique_ptr<gchar, GFreeChar> rawValue(
                g_key_file_get_string(file.get(), group.c_str(), key.c_str(), nullptr));
            std::string value = rawValue ? rawValue.get() : "";
            auto speeds = parseSpeeds(value, *kind);
            if (!speeds) {
                result.error = DrivesFileError{line, messages.get(msg::kBadValue, {value, key})};
                return result;
            }
            (write ? declared.writeSpeeds : declared.readSpeeds)[kind->value] = std::move(*speeds);
        }

        if (!names.insert(declared.name).second) {
            int line = declared.line;
            if (auto it = lines.keys.find({group, "Name"}); it != lines.keys.end())
                line = it->second;
            result.error = DrivesFileError{line, messages.get(msg::kNameTwice, {declared.name})};
            return result;
        }
        result.drives.push_back(std::move(declared));
    }
    return result;
}

}  // namespace vorn::engine
