// vorn-disc: makes, inspects and exports the .vrn discs of emulated drives,
// and loads them into the drives of a drives file. It uses the engine's own
// cue sheet reader, disc layout and information code, so what it prints is
// what the engine reports.
#include "DiscExport.h"
#include "DiscImage.h"
#include "DiscInfo.h"
#include "Media.h"
#include "VrnDisc.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace vorn;

constexpr const char *kUsage =
    "Usage: vorn-disc COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Makes, inspects and exports the discs of emulated drives (.vrn files).\n"
    "\n"
    "Commands:\n"
    "  create [--medium NAME] [--capacity BLOCKS] [--force] DISC\n"
    "      Make a blank disc (default medium CD-R, nominal capacity).\n"
    "  make [--medium NAME] [--finalize] [--force] DISC SOURCE...\n"
    "      Make a disc from one .vrn disc, or from sessions, each one .cue sheet\n"
    "      or one .iso image, in order. Later .iso sessions must be made for the\n"
    "      address that 'msinfo' prints, e.g. with genisoimage -C LAST,NEXT -M PREV.\n"
    "  toc DISC|IMAGE\n"
    "      Print the table of contents and the next writable address.\n"
    "  msinfo DISC\n"
    "      Print LAST,NEXT: the start of the newest session and of the next one.\n"
    "  export-iso DISC OUT.iso\n"
    "      Write the data tracks as one plain image that reads the newest session.\n"
    "  export-audio DISC OUT.cue\n"
    "      Write the audio tracks as OUT.cue and OUT.bin (raw little-endian CD audio).\n"
    "  load DRIVES-FILE DRIVE DISC\n"
    "      Put DISC into DRIVE (its group or Name) of a drives file and close the tray.\n"
    "  eject DRIVES-FILE DRIVE\n"
    "      Open the tray of DRIVE and take its disc out.\n"
    "\n"
    "Options:\n"
    "  --medium NAME     CD-R, CD-RW, CD-ROM, DVD-R, DVD+RW, BD-RE, ...\n"
    "  --capacity BLOCKS the disc's size in blocks instead of the medium's nominal one\n"
    "  --finalize        close the disc after the last session\n"
    "  --force           replace an existing DISC\n"
    "  -h, --help        show this help\n";

struct UsageError {
    std::string message;
};

int failWith(const std::string &message)
{
    std::fprintf(stderr, "vorn-disc: %s\n", message.c_str());
    return 1;
}

struct Args {
    std::uint32_t medium = 0;
    std::uint32_t capacity = 0;
    bool finalize = false;
    bool force = false;
    std::vector<std::string> positional;
};

Args parseArgs(int argc, char **argv, int from)
{
    Args a;
    for (int i = from; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw UsageError{arg + " needs a value"};
            return argv[++i];
        };
        if (arg == "--medium") {
            std::string name = value();
            const auto *kind = engine::findMediumByName(name);
            if (!kind)
                throw UsageError{"unknown medium \"" + name + "\""};
            a.medium = kind->value;
        } else if (arg == "--capacity") {
            std::string text = value();
            char *end = nullptr;
            unsigned long v = std::strtoul(text.c_str(), &end, 10);
            if (!end || *end || v == 0 || v > 0x10000000UL)
                throw UsageError{"\"" + text + "\" is not a capacity in blocks"};
            a.capacity = static_cast<std::uint32_t>(v);
        } else if (arg == "--finalize") {
            a.finalize = true;
        } else if (arg == "--force") {
            a.force = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"unknown option " + arg};
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

void needPositional(const Args &a, std::size_t min, std::size_t max)
{
    if (a.positional.size() < min || a.positional.size() > max)
        throw UsageError{"wrong number of arguments"};
}

vrn::Result<vrn::VrnDisc> openDisc(const std::string &path)
{
    auto disc = vrn::VrnDisc::open(path, vrn::VrnDisc::Access::ReadOnly);
    if (!disc)
        return vrn::Error{path + ": " + disc.error()};
    return disc;
}

int cmdCreate(const Args &a)
{
    needPositional(a, 1, 1);
    std::uint32_t medium = a.medium ? a.medium : vrn::medium::CdR;
    std::uint32_t capacity = a.capacity ? a.capacity : vrn::medium::nominalCapacity(medium);
    auto made = vrn::VrnDisc::create(a.positional[0], medium, capacity, a.force);
    if (!made)
        return failWith(a.positional[0] + ": " + made.error());
    return 0;
}

int cmdMake(const Args &a)
{
    needPositional(a, 2, 100);
    std::vector<fs::path> sources(a.positional.begin() + 1, a.positional.end());
    engine::MakeOptions options;
    options.medium = a.medium;
    options.finalize = a.finalize;
    options.replace = a.force;
    if (auto st = engine::makeDisc(a.positional[0], sources, options); !st)
        return failWith(a.positional[0] + ": " + st.error());
    return 0;
}

int cmdToc(const Args &a)
{
    needPositional(a, 1, 1);
    auto image = engine::DiscImage::open(a.positional[0]);
    if (!image)
        return failWith(image.error());
    std::fputs(engine::detailedDiscInfo(image.value()->view()).c_str(), stdout);
    return 0;
}

int cmdMsinfo(const Args &a)
{
    needPositional(a, 1, 1);
    auto disc = openDisc(a.positional[0]);
    if (!disc)
        return failWith(disc.error());
    auto view = engine::viewOf(disc.value(), true);
    if (view.tracks.empty()) {
        std::printf("0,0\n");
        return 0;
    }
    auto info = engine::multisessionInfo(view);
    if (!info || info->nextSession == 0)
        return failWith(a.positional[0] + ": the disc takes no more sessions.");
    std::printf("%u,%u\n", info->lastSessionStart, info->nextTrackStart);
    return 0;
}

int cmdExport(const Args &a, bool iso)
{
    needPositional(a, 2, 2);
    auto disc = openDisc(a.positional[0]);
    if (!disc)
        return failWith(disc.error());
    auto st = iso ? engine::exportIso(disc.value(), a.positional[1])
                  : engine::exportAudio(disc.value(), a.positional[1]);
    if (!st)
        return failWith(a.positional[0] + ": " + st.error());
    return 0;
}

// Changes one drive of a drives file, keeping everything else as it was. The
// file is written under a temporary name and renamed, so the engine watching
// it never reads half a file.
int editDrive(const std::string &file, const std::string &drive, const char *discPath)
{
    std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> keys(g_key_file_new(), &g_key_file_free);
    GError *error = nullptr;
    if (!g_key_file_load_from_file(keys.get(), file.c_str(),
                                   GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS), &error)) {
        std::string why = error->message;
        g_error_free(error);
        return failWith(file + ": " + why);
    }
    std::string group;
    gsize count = 0;
    gchar **groups = g_key_file_get_groups(keys.get(), &count);
    for (gsize i = 0; i < count && group.empty(); ++i) {
        gchar *name = g_key_file_get_string(keys.get(), groups[i], "Name", nullptr);
        if (drive == groups[i] || (name && drive == name))
            group = groups[i];
        g_free(name);
    }
    g_strfreev(groups);
    if (group.empty())
        return failWith(file + ": there is no drive \"" + drive + "\".");
    if (discPath) {
        std::error_code ec;
        fs::path absolute = fs::absolute(discPath, ec);
        auto disc = openDisc(absolute.string());
        if (!disc)
            return failWith(disc.error());
        g_key_file_set_string(keys.get(), group.c_str(), "Disc", absolute.c_str());
        g_key_file_set_string(keys.get(), group.c_str(), "Tray", "closed");
    } else {
        g_key_file_remove_key(keys.get(), group.c_str(), "Disc", nullptr);
        g_key_file_set_string(keys.get(), group.c_str(), "Tray", "open");
    }
    gsize length = 0;
    gchar *data = g_key_file_to_data(keys.get(), &length, nullptr);
    std::string tmpName = ".";
    tmpName += fs::path(file).filename().string();
    tmpName += ".tmp-";
    tmpName += std::to_string(::getpid());
    std::string tmp = fs::path(file).parent_path() / tmpName;
    gboolean ok = g_file_set_contents(tmp.c_str(), data, gssize(length), &error);
    g_free(data);
    if (!ok) {
        std::string why = error->message;
        g_error_free(error);
        return failWith(why);
    }
    std::error_code ec;
    fs::rename(tmp, file, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return failWith(file + ": " + ec.message());
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        Args a = parseArgs(argc, argv, 2);
        if (cmd == "create")
            return cmdCreate(a);
        if (cmd == "make")
            return cmdMake(a);
        if (cmd == "toc")
            return cmdToc(a);
        if (cmd == "msinfo")
            return cmdMsinfo(a);
        if (cmd == "export-iso")
            return cmdExport(a, true);
        if (cmd == "export-audio")
            return cmdExport(a, false);
        if (cmd == "load") {
            needPositional(a, 3, 3);
            return editDrive(a.positional[0], a.positional[1], a.positional[2].c_str());
        }
        if (cmd == "eject") {
            needPositional(a, 2, 2);
            return editDrive(a.positional[0], a.positional[1], nullptr);
        }
        throw UsageError{"unknown command " + cmd};
    } catch (const UsageError &e) {
        std::fprintf(stderr, "vorn-disc: %s\nTry 'vorn-disc --help'.\n", e.message.c_str());
        return 2;
    } catch (const std::exception &e) {
        return failWith(e.what());
    }
}
