#include "CueSheet.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace vorn::engine {

namespace {

// Frames (blocks) per second of CD time.
constexpr std::uint32_t kFps = 75;
constexpr std::uint32_t kFirstTrackPregap = 150;

struct Failure {
    std::string message;
};

[[noreturn]] void fail(int line, const std::string &what)
{
    throw Failure{"line " + std::to_string(line) + ": " + what};
}

std::string upper(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Splits a line into words; a word in double quotes keeps its blanks.
std::vector<std::string> words(const std::string &line, int lineNo)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            auto close = line.find('"', i + 1);
            if (close == std::string::npos)
                fail(lineNo, "a quotation mark is not closed.");
            out.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            std::size_t j = i;
            while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j])))
                ++j;
            out.push_back(line.substr(i, j - i));
            i = j;
        }
    }
    return out;
}

// "mm:ss:ff" in frames.
std::uint32_t parseTime(const std::string &text, int lineNo)
{
    unsigned m = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u%c", &m, &s, &f, &tail) != 3 || s >= 60 || f >= kFps ||
        m > 99)
        fail(lineNo, "\"" + text + "\" is not a time of the form mm:ss:ff.");
    return (m * 60 + s) * kFps + f;
}

// CD-Text is ISO-8859-1; a sheet written in UTF-8 is converted, with "?"
// for what Latin-1 cannot hold.
std::string cdText(const std::string &value, int lineNo)
{
    std::string text = value;
    bool ascii = std::all_of(text.begin(), text.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr)) {
        gchar *latin = g_convert_with_fallback(text.c_str(), static_cast<gssize>(text.size()),
                                               "ISO-8859-1", "UTF-8", "?", nullptr, nullptr,
                                               nullptr);
        if (latin) {
            text = latin;
            g_free(latin);
        }
    }
    if (text.size() > vrn::kCdTextFieldMax)
        fail(lineNo, "the text is longer than " + std::to_string(vrn::kCdTextFieldMax) +
                         " characters.");
    if (text.find('\0') != std::string::npos)
        fail(lineNo, "the text holds a NUL character.");
    return text;
}

std::uint16_t le16(const std::uint8_t *p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Finds the samples of a WAVE file: they must be CD audio (PCM, 44.1 kHz,
// 16 bits, stereo), because the sheet burns them as they are.
void readWaveHeader(CueFile &file, std::uint64_t fileSize, int lineNo)
{
    std::ifstream in(file.path, std::ios::binary);
    std::uint8_t head[12];
    if (!in.read(reinterpret_cast<char *>(head), 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        fail(lineNo, file.path.filename().string() + " is not a WAVE file.");
    bool formatSeen = false;
    std::uint64_t pos = 12;
    while (pos + 8 <= fileSize) {
        std::uint8_t chunk[8];
        in.seekg(static_cast<std::streamoff>(pos));
        if (!in.read(reinterpret_cast<char *>(chunk), 8))
            break;
        std::uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t fmt[16];
            if (size < 16 || !in.read(reinterpret_cast<char *>(fmt), 16))
                fail(lineNo, file.path.filename().string() + " has a broken format chunk.");
            if (le16(fmt) != 1 || le16(fmt + 2) != 2 || le32(fmt + 4) != 44100 ||
                le16(fmt + 14) != 16)
                fail(lineNo, file.path.filename().string() +
                                 " is not CD audio (PCM, 44100 Hz, 16 bits, stereo).");
            formatSeen = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatSeen)
                fail(lineNo, file.path.filename().string() + " has samples before its format.");
            file.dataOffset = pos + 8;
            file.dataBytes = std::min<std::uint64_t>(size, fileSize - file.dataOffset);
            return;
        }
        pos += 8 + size + (size & 1);
    }
    fail(lineNo, file.path.filename().string() + " holds no samples.");
}

struct ModeSpec {
    const char *name;
    vrn::TrackType type;
    vrn::TrackMode mode;
    std::uint32_t blockSize;
};

constexpr ModeSpec kModes[] = {
    {"AUDIO", vrn::TrackType::Audio, vrn::TrackMode::Audio, 2352},
    {"MODE1/2048", vrn::TrackType::Data, vrn::TrackMode::Mode1, 2048},
    {"MODE1/2352", vrn::TrackType::Data, vrn::TrackMode::Mode1, 2352},
    {"MODE2/2336", vrn::TrackType::Data, vrn::TrackMode::Mode2Form1, 2336},
    {"MODE2/2352", vrn::TrackType::Data, vrn::TrackMode::Mode2Form1, 2352},
};

CueSheet parse(const std::string &text, const std::filesystem::path &folder)
{
    CueSheet sheet;
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    int fileLine = 0;
    bool fileHasTrack = true;

    while (std::getline(lines, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        auto w = words(line, lineNo);
        if (w.empty())
            continue;
        std::string cmd = upper(w[0]);
        auto need = [&](std::size_t n) {
            if (w.size() != n + 1)
                fail(lineNo, cmd + " takes " + std::to_string(n) +
                                 (n == 1 ? " argument." : " arguments."));
        };
        CueTrack *track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();

        if (cmd == "REM") {
            continue;
        } else if (cmd == "CATALOG") {
            need(1);
            if (w[1].size() != 13 || !std::all_of(w[1].begin(), w[1].end(), ::isdigit))
                fail(lineNo, "the catalog number must be 13 digits.");
            sheet.catalog = w[1];
        } else if (cmd == "FILE") {
            need(2);
            if (!fileHasTrack)
                fail(fileLine, "the file holds no track.");
            std::string kind = upper(w[2]);
            CueFile file;
            file.path = std::filesystem::path(w[1]).is_absolute() ? std::filesystem::path(w[1])
                                                                  : folder / w[1];
            if (kind == "BINARY")
                file.kind = CueFile::Kind::Binary;
            else if (kind == "MOTOROLA")
                file.kind = CueFile::Kind::Motorola;
            else if (kind == "WAVE")
                file.kind = CueFile::Kind::Wave;
            else
                fail(lineNo, "files of type " + w[2] + " cannot be burned; use BINARY, MOTOROLA "
                                                       "or WAVE.");
            std::error_code ec;
            auto size = std::filesystem::file_size(file.path, ec);
            if (ec || !std::filesystem::is_regular_file(file.path))
                fail(lineNo, "the file " + w[1] + " cannot be read.");
            file.dataBytes = size;
            if (file.kind == CueFile::Kind::Wave)
                readWaveHeader(file, size, lineNo);
            sheet.files.push_back(std::move(file));
            fileHasTrack = false;
            fileLine = lineNo;
        } else if (cmd == "TRACK") {
            need(2);
            if (sheet.files.empty())
                fail(lineNo, "TRACK comes before any FILE.");
            unsigned number = 0;
            char tail = 0;
            if (std::sscanf(w[1].c_str(), "%u%c", &number, &tail) != 1 || number < 1 ||
                number > vrn::kMaxTracks)
                fail(lineNo, "\"" + w[1] + "\" is not a track number from 1 to 99.");
            if (track && number != track->number + 1)
                fail(lineNo, "track " + std::to_string(number) + " does not follow track " +
                                 std::to_string(track->number) + ".");
            const ModeSpec *mode = nullptr;
            for (const auto &m : kModes)
                if (upper(w[2]) == m.name)
                    mode = &m;
            if (!mode)
                fail(lineNo, "track mode " + w[2] + " is not supported.");
            CueTrack t;
            t.number = number;
            t.type = mode->type;
            t.mode = mode->mode;
            t.blockSize = mode->blockSize;
            t.file = sheet.files.size() - 1;
            t.line = lineNo;
            if (sheet.files.back().kind == CueFile::Kind::Wave && t.type != vrn::TrackType::Audio)
                fail(lineNo, "a data track cannot come from a WAVE file.");
            if (track && !track->hasIndex1)
                fail(track->line, "track " + std::to_string(track->number) + " has no INDEX 01.");
            if (track && track->file == t.file && track->blockSize != t.blockSize)
                fail(lineNo, "tracks in one file must share a block size.");
            sheet.tracks.push_back(std::move(t));
            fileHasTrack = true;
        } else if (cmd == "INDEX") {
            need(2);
            if (!track || track->file + 1 != sheet.files.size() || !fileHasTrack)
                fail(lineNo, "INDEX comes before its TRACK.");
            unsigned n = 0;
            char tail = 0;
            if (std::sscanf(w[1].c_str(), "%u%c", &n, &tail) != 1 || n > 99)
                fail(lineNo, "\"" + w[1] + "\" is not an index number.");
            std::uint32_t at = parseTime(w[2], lineNo);
            if (n == 0) {
                if (track->hasIndex1)
                    fail(lineNo, "INDEX 00 must come before INDEX 01.");
                track->index0 = at;
            } else if (n == 1) {
                if (track->hasIndex1)
                    fail(lineNo, "INDEX 01 appears twice.");
                if (track->index0 && *track->index0 > at)
                    fail(lineNo, "INDEX 01 lies before INDEX 00.");
                if (sheet.tracks.size() > 1) {
                    const auto &prev = sheet.tracks[sheet.tracks.size() - 2];
                    if (prev.file == track->file && prev.index1 >= track->index0.value_or(at))
                        fail(lineNo, "the track begins before the previous one.");
                }
                track->index1 = at;
                track->hasIndex1 = true;
            } else if (!track->hasIndex1 || at <= track->index1) {
                fail(lineNo, "INDEX " + w[1] + " must follow INDEX 01.");
            }
        } else if (cmd == "PREGAP" || cmd == "POSTGAP") {
            need(1);
            if (!track || !fileHasTrack)
                fail(lineNo, cmd + " comes before its TRACK.");
            (cmd == "PREGAP" ? track->pregapSilence : track->postgapSilence) =
                parseTime(w[1], lineNo);
        } else if (cmd == "ISRC") {
            need(1);
            if (!track || !fileHasTrack)
                fail(lineNo, "ISRC comes before its TRACK.");
            if (w[1].size() != 12 || !std::all_of(w[1].begin(), w[1].end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'Z');
                }))
                fail(lineNo, "an ISRC is 12 letters A-Z and digits.");
            track->isrc = w[1];
        } else if (cmd == "FLAGS") {
            if (!track || !fileHasTrack)
                fail(lineNo, "FLAGS comes before its TRACK.");
            for (std::size_t i = 1; i < w.size(); ++i) {
                std::string f = upper(w[i]);
                if (f == "DCP")
                    track->flags |= vrn::kTrackCopyPermitted;
                else if (f == "PRE")
                    track->flags |= vrn::kTrackPreEmphasis;
                else if (f != "4CH" && f != "SCMS")
                    fail(lineNo, "unknown flag " + w[i] + ".");
            }
        } else if (cmd == "TITLE" || cmd == "PERFORMER" || cmd == "SONGWRITER" ||
                   cmd == "COMPOSER" || cmd == "ARRANGER" || cmd == "MESSAGE") {
            need(1);
            // Before the first TRACK the texts describe the disc.
            vrn::CdText &target = track ? track->cdText : sheet.cdText;
            std::string value = cdText(w[1], lineNo);
            if (cmd == "TITLE")
                target.title = value;
            else if (cmd == "PERFORMER")
                target.performer = value;
            else if (cmd == "SONGWRITER")
                target.songwriter = value;
            else if (cmd == "COMPOSER")
                target.composer = value;
            else if (cmd == "ARRANGER")
                target.arranger = value;
            else
                target.message = value;
        } else if (cmd == "CDTEXTFILE") {
            fail(lineNo, "CD-Text files are not supported; put TITLE and PERFORMER in the sheet.");
        } else {
            fail(lineNo, "unknown command " + w[0] + ".");
        }
    }

    if (sheet.tracks.empty())
        throw Failure{"the cue sheet holds no track."};
    if (!fileHasTrack)
        fail(fileLine, "the file holds no track.");
    if (!sheet.tracks.back().hasIndex1)
        fail(sheet.tracks.back().line,
             "track " + std::to_string(sheet.tracks.back().number) + " has no INDEX 01.");

    // Each track runs to where the next one in its file begins, the last one
    // to the end of the file.
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        auto &t = sheet.tracks[i];
        const auto &file = sheet.files[t.file];
        std::uint64_t blocks = file.dataBytes / t.blockSize;
        if (file.dataBytes % t.blockSize) {
            if (t.type != vrn::TrackType::Audio)
                fail(t.line, file.path.filename().string() + " does not hold whole " +
                                 std::to_string(t.blockSize) + "-byte sectors.");
            ++blocks;  // a short last block of audio is padded with silence
        }
        bool lastInFile = i + 1 == sheet.tracks.size() || sheet.tracks[i + 1].file != t.file;
        std::uint64_t end = lastInFile ? blocks
                                       : sheet.tracks[i + 1].index0.value_or(
                                             sheet.tracks[i + 1].index1);
        if (t.index0.value_or(t.index1) >= blocks || end > blocks)
            fail(t.line, "track " + std::to_string(t.number) + " begins past the end of " +
                             file.path.filename().string() + ".");
        if (end <= t.index1)
            fail(t.line, "track " + std::to_string(t.number) + " holds no data.");
        t.end = static_cast<std::uint32_t>(end);
    }
    return sheet;
}

}  // namespace

vrn::Result<CueSheet> parseCueSheetText(const std::string &text,
                                        const std::filesystem::path &folder)
{
    try {
        return parse(text, folder);
    } catch (const Failure &f) {
        return vrn::Error{f.message};
    }
}

vrn::Result<CueSheet> parseCueSheet(const std::filesystem::path &sheet)
{
    std::ifstream in(sheet, std::ios::binary);
    if (!in)
        return vrn::Error{"the cue sheet cannot be read."};
    std::ostringstream text;
    text << in.rdbuf();
    if (text.str().size() > 1024 * 1024)
        return vrn::Error{"the cue sheet is larger than 1 MB."};
    if (text.str().find('\0') != std::string::npos)
        return vrn::Error{"the cue sheet is not a text file."};
    return parseCueSheetText(text.str(), sheet.parent_path());
}

std::vector<PlacedTrack> placeCueSheet(const CueSheet &sheet, std::uint32_t firstBlock,
                                       bool firstOnDisc)
{
    std::vector<PlacedTrack> out;
    std::uint32_t pos = firstBlock;
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        const auto &t = sheet.tracks[i];
        PlacedTrack p;
        p.cueTrack = i;
        p.trackSpec.type = t.type;
        p.trackSpec.mode = t.mode;
        p.trackSpec.blockSize = t.blockSize;
        p.trackSpec.length = t.length();
        p.trackSpec.isrc = t.isrc;
        p.trackSpec.cdText = t.cdText;
        p.trackSpec.flags = t.flags;
        std::uint32_t pregap = t.pregap();
        if (i == 0) {
            // A session's first track has at least the customary two
            // seconds; on the disc's first session they lie before block 0.
            pregap = std::max(pregap, kFirstTrackPregap);
            p.trackSpec.pregap = pregap;
            p.trackSpec.start = firstOnDisc ? pregap - kFirstTrackPregap : firstBlock + pregap;
        } else {
            p.trackSpec.pregap = pregap;
            p.trackSpec.start = pos + pregap;
        }
        pos = p.trackSpec.start + p.trackSpec.length;
        out.push_back(std::move(p));
    }
    return out;
}

bool readCueTrackBlocks(const CueSheet &sheet, std::size_t track, std::int64_t first,
                        std::uint32_t count, std::vector<std::uint8_t> &out)
{
    const auto &t = sheet.tracks[track];
    const auto &file = sheet.files[t.file];
    out.assign(std::size_t(count) * t.blockSize, 0);
    int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    std::int64_t lowest = -static_cast<std::int64_t>(t.pregapInFile());
    for (std::uint32_t i = 0; i < count && ok; ++i) {
        std::int64_t rel = first + i;
        if (rel < lowest || t.index1 + rel >= t.end)
            continue;  // silence of PREGAP and POSTGAP, or before the file
        std::uint64_t offset = file.dataOffset + std::uint64_t(t.index1 + rel) * t.blockSize;
        std::uint64_t avail = offset < file.dataOffset + file.dataBytes
                                  ? file.dataOffset + file.dataBytes - offset
                                  : 0;
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(t.blockSize, avail));
        std::uint8_t *dest = out.data() + std::size_t(i) * t.blockSize;
        std::size_t done = 0;
        while (done < want) {
            ssize_t n = ::pread(fd, dest + done, want - done, off_t(offset + done));
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            done += std::size_t(n);
        }
        if (file.kind == CueFile::Kind::Motorola && t.type == vrn::TrackType::Audio)
            for (std::size_t b = 0; b + 1 < t.blockSize; b += 2)
                std::swap(dest[b], dest[b + 1]);
    }
    ::close(fd);
    return ok;
}

}  // namespace vorn::engine
