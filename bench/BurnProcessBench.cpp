// A whole burn through the window-free burn core to the image recorder,
// beside the engine burning the same tree by itself, in one run:
//
//   bench_burn_process WORKDIR small N     N files of 0-2 KB, 1000 to a folder
//   bench_burn_process WORKDIR large N MB  N files of MB mebibytes each
//
// The trees are those of bench_iso_write (same names, same contents), so its
// figures for xorriso and genisoimage on the same WORKDIR compare directly.
// Each run is a child process; wall time and peak resident memory come from
// wait4. What the application adds is split out: filling the data disc file
// system through the VFS (undo entries and change signals included) and the
// burn itself (checks, write description, burn thread, end of the burn).
#include "BurnProcessCore.h"
#include "DataDiscCompilation.h"
#include "OptionsDatabase.h"
#include "VornAPIInterface.h"
#include "VornControl.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string numbered(const char *format, std::size_t a)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

// The same trees as bench_iso_write makes.
void makeTree(const fs::path &dir, std::size_t files, std::size_t bytesEach, bool small)
{
    if (fs::exists(dir / ".complete"))
        return;
    fs::remove_all(dir);
    std::mt19937 rng(42);
    std::vector<char> data(small ? 2048 : 1 << 20);
    for (auto &c : data)
        c = static_cast<char>(rng());
    for (std::size_t i = 0; i < files; ++i) {
        const fs::path folder = small ? dir / numbered("d%05zu", i / 1000) : dir;
        if (i % 1000 == 0)
            fs::create_directories(folder);
        const fs::path p = folder / numbered(small ? "file-%07zu.dat" : "large-%03zu.bin", i);
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::size_t left = small ? rng() % 2049 : bytesEach;
        while (left > 0) {
            const std::size_t n = std::min(left, data.size());
            if (::write(fd, data.data(), n) != static_cast<ssize_t>(n)) {
                std::perror("write");
                std::exit(1);
            }
            left -= n;
        }
        ::close(fd);
    }
    std::FILE *f = std::fopen((dir / ".complete").c_str(), "w");
    std::fclose(f);
}

void warm(const fs::path &dir)
{
    std::vector<char> buf(1 << 20);
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file())
            continue;
        const int fd = ::open(e.path().c_str(), O_RDONLY);
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
        ::close(fd);
    }
}

bool imageRecorder(VornDeviceEntry *out)
{
    VornDeviceList *list = VornGetAvailableDrivesEx(0, 1);
    bool found = false;
    for (int i = 0; list && i < list->count; ++i) {
        if (VornDeviceList_Entry(list, i)->capabilities & VORN_CAP_IMAGE_RECORDER) {
            *out = *VornDeviceList_Entry(list, i);
            found = true;
        }
    }
    VornFreeMem(list);
    return found;
}

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The copy worker's way: a folder per local folder, an item per local file,
// each through the data disc file system.
void addThroughVfs(Compilation *c, const fs::path &local, const std::string &discFolder, std::size_t &items)
{
    std::vector<fs::directory_entry> entries{fs::directory_iterator(local), fs::directory_iterator()};
    std::sort(entries.begin(), entries.end());
    for (const auto &entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.')
            continue;
        VfsDirectoryEntry *added =
            entry.is_directory()
                ? VFS_CreateDirectoryEx(c->fileSystem, discFolder.c_str(), name.c_str(), nullptr, nullptr, 0, 0, 0, 0,
                                        0, 0, 0, 0)
                : VFS_Copy(c->localFileSystem, entry.path().c_str(), c->fileSystem, discFolder.c_str(), 3, nullptr);
        VFS_FreeDirectoryEntry(added);
        ++items;
        if (entry.is_directory())
            addThroughVfs(c, entry.path(), (discFolder == "/" ? "" : discFolder) + "/" + name, items);
    }
}

int application(const fs::path &tree, const fs::path &image)
{
    OptionsDatabase_InitDatabases();
    if (VornAPI_StartVornAPI() != VORN_INIT_OK)
        return 1;
    VornDeviceEntry recorder{};
    if (!imageRecorder(&recorder))
        return 1;
    Compilation *c = DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_DVD);
    // Large trees need the deep and long paths allowed, as a user would.
    OptionsDatabase_SetBooleanOptionValue(c->options, 40, 1);
    OptionsDatabase_SetBooleanOptionValue(c->options, 41, 1);
    auto start = Clock::now();
    std::size_t items = 0;
    addThroughVfs(c, tree, "/", items);
    const double addSeconds = since(start);
    VornControl_SetImageFileName(image.c_str());
    start = Clock::now();
    gint32 result = -1;
    const gint started = BurnProcess_Run(c, &recorder, nullptr, &result);
    const double burnSeconds = since(start);
    std::printf("  application: %zu items added through the VFS in %.2f s, burn %.2f s (start %d, result %d)\n",
                items, addSeconds, burnSeconds, started, result);
    std::fflush(stdout);
    return started == BURN_PROCESS_STARTED && result == VORN_BURN_OK ? 0 : 1;
}

void addThroughEngine(VornDataCompilation *h, VornDataCompilationItem *dir, const fs::path &local)
{
    std::vector<fs::directory_entry> entries{fs::directory_iterator(local), fs::directory_iterator()};
    std::sort(entries.begin(), entries.end());
    for (const auto &entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.')
            continue;
        if (entry.is_directory())
            addThroughEngine(h, VornDataCompilation_CreateDirectory(h, dir, name.c_str(), entry.path().c_str(), 0, 0, 0),
                             entry.path());
        else
            VornDataCompilation_InsertNewItem(h, dir, entry.path().c_str());
    }
}

int engineAlone(const fs::path &tree, const fs::path &image)
{
    OptionsDatabase_InitDatabases();
    if (VornAPI_StartVornAPI() != VORN_INIT_OK)
        return 1;
    VornDeviceEntry recorder{};
    if (!imageRecorder(&recorder))
        return 1;
    VornDataCompilation *h = VornDataCompilation_New();
    VornDataCompilation_SetJoliet(h, 1);
    VornDataCompilation_SetDeeperThan8(h, 1);
    addThroughEngine(h, VornDataCompilation_GetItemFromPath(h, "", 3), tree);
    VornControl_SetImageFileName(image.c_str());
    VornDevice *device = VornOpenDevice(&recorder);
    VornWriteDescription description{VORN_WRITE_DATA, h, nullptr, 1};
    const int result = VornBurn(device, VORN_BURN_MAGIC, &description, VORN_BURN_WRITE | VORN_BURN_SPEED_IN_KBS, 0,
                                nullptr);
    VornCloseDevice(device);
    return result == VORN_BURN_OK ? 0 : 1;
}

struct Figures {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

Figures run(const std::function<int()> &child)
{
    const auto start = Clock::now();
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(child());
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return Figures{since(start), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WORKDIR small N | WORKDIR large N MB\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[1];
    const bool small = std::strcmp(argv[2], "small") == 0;
    const std::size_t n = std::strtoull(argv[3], nullptr, 10);
    const std::size_t mb = small || argc < 5 ? 0 : std::strtoull(argv[4], nullptr, 10);
    const fs::path tree =
        work / (small ? numbered("small-%zu", n) : numbered("large-%zu", n) + "x" + std::to_string(mb));
    makeTree(tree, n, mb << 20, small);
    warm(tree);
    const fs::path image = work / "burn-bench.iso";

    std::printf("%-34s %10s %12s %10s\n", "run", "seconds", "peak MiB", "image MiB");
    const struct {
        const char *name;
        std::function<int()> body;
    } runs[] = {
        {"engine VornBurn alone", [&] { return engineAlone(tree, image); }},
        {"burn core (VFS fill + burn)", [&] { return application(tree, image); }},
    };
    for (const auto &r : runs) {
        fs::remove(image);
        const Figures f = run(r.body);
        std::error_code ec;
        const auto size = fs::file_size(image, ec);
        std::printf("%-34s %10.2f %12.1f %10.1f%s\n", r.name, f.seconds, f.peakKiB / 1024.0,
                    ec ? 0.0 : static_cast<double>(size) / (1 << 20), f.status == 0 ? "" : "  (failed)");
    }
    fs::remove(image);
    return 0;
}
