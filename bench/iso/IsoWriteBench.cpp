// The image writer against the tools users would pick instead, side by side
// in one run on the same trees: from a list of local paths to a finished
// image with Rock Ridge and Joliet, building the compilation included.
//
//   bench_iso_write WORKDIR small N     N files of 0-2 KB, 1000 to a folder
//   bench_iso_write WORKDIR large N MB  N files of MB mebibytes each
//
// Options after these: --ours-only skips the other tools; --image=PATH puts
// the image elsewhere (a tmpfs, to tell the disk's part from ours);
// --buffered makes ours write the image through the page cache;
// --settle=S waits S seconds (default 5) after the previous image was
// removed, so that no tool meets memory just freed by the one before it:
// on a virtual machine that hands free pages back to its host, a tool
// writing through the page cache right after another one gets its pages
// cheaply, and the next one does not.
//
// Each run is a child process; its wall time and peak resident memory come
// from wait4. Trees are made once under WORKDIR and read once before the
// runs, so every tool starts from the same warm page cache.
#include "VornAPI.h"
#include "data/DataCompilation.h"
#include "iso/IsoWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

namespace {

std::string numbered(const char *format, std::size_t a)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

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

// Reads every file once, so that no tool pays for a cold cache alone.
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

// What the application's copy worker does: a folder per local folder, an
// item per local file.
void addTree(VornDataCompilation *h, VornDataCompilationItem *dir, const std::string &path)
{
    DIR *d = ::opendir(path.c_str());
    if (!d)
        return;
    std::vector<std::pair<std::string, bool>> entries;
    while (dirent *e = ::readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        entries.emplace_back(e->d_name, e->d_type == DT_DIR);
    }
    ::closedir(d);
    for (const auto &[name, isDir] : entries) {
        const std::string child = path + "/" + name;
        if (isDir) {
            auto *sub = VornDataCompilation_CreateDirectory(h, dir, name.c_str(), child.c_str(), 0, 0, 0);
            addTree(h, sub, child);
        } else {
            VornDataCompilation_InsertNewItem(h, dir, child.c_str());
        }
    }
}

// Where our run spends its time: at the end of each phase, the wall clock,
// the processor time (user and system) and the blocks read from the disk
// since the start. The child writes them to memory it shares with the parent.
struct Phases {
    enum { kAdded, kSized, kFolders, kWritten, kCount };
    double wall[kCount] = {};
    double cpu[kCount] = {};
    long inblock[kCount] = {};
};
// kAdded: the tree built (readdir, stat, insertion); kSized: the size
// accounting laid out every folder; kFolders: planned, descriptors, path
// tables and folders produced; kWritten: file data copied, the image closed
// and in place.

int ours(const fs::path &tree, const fs::path &image, bool buffered, Phases *phases)
{
    const auto start = std::chrono::steady_clock::now();
    auto mark = [&](int phase) {
        phases->wall[phase] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        phases->cpu[phase] = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                             static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        phases->inblock[phase] = u.ru_inblock;
    };
    VornDataCompilation *h = VornDataCompilation_New();
    VornDataCompilation_SetJoliet(h, 1);
    VornDataCompilation_SetEnhancedVolume(h, 0);
    VornDataCompilation_SetIsoLevel(h, 1);
    VornDataCompilation_SetDeeperThan8(h, 1);
    addTree(h, VornDataCompilation_GetItemFromPath(h, "", 3), tree.string());
    mark(Phases::kAdded);
    h->totalBlocks();  // the writer asks for it first anyway
    mark(Phases::kSized);
    vorn::engine::iso::WriteOptions options;
    options.directWrites = !buffered;
    // The first report comes after the folders, before any file data.
    options.progress = [&](std::uint64_t, std::uint64_t) {
        if (phases->wall[Phases::kFolders] == 0)
            mark(Phases::kFolders);
        return true;
    };
    const auto r = vorn::engine::iso::writeImageFile(*h, image.string(), options);
    mark(Phases::kWritten);
    if (!r.ok)
        std::fprintf(stderr, "ours: %s\n", r.error.c_str());
    // The process ends here; freeing the tree would only add to the time.
    return r.ok ? 0 : 1;
}

struct Figures {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

Figures run(const std::function<int()> &child)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(child());
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Figures f;
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.peakKiB = usage.ru_maxrss;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
}

int execTool(std::vector<std::string> argv)
{
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char *> args;
    for (auto &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    return 127;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WORKDIR small N | WORKDIR large N MB  [--ours-only] [--image=PATH] [--buffered] [--settle=S]\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[1];
    const bool small = std::strcmp(argv[2], "small") == 0;
    const std::size_t n = std::strtoull(argv[3], nullptr, 10);
    const std::size_t mb = small || argc < 5 ? 0 : std::strtoull(argv[4], nullptr, 10);
    bool oursOnly = false, buffered = false;
    unsigned settle = 5;
    fs::path image = work / "bench.iso";
    for (int i = small ? 4 : 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ours-only") == 0)
            oursOnly = true;
        else if (std::strcmp(argv[i], "--buffered") == 0)
            buffered = true;
        else if (std::strncmp(argv[i], "--settle=", 9) == 0)
            settle = static_cast<unsigned>(std::strtoul(argv[i] + 9, nullptr, 10));
        else if (std::strncmp(argv[i], "--image=", 8) == 0)
            image = argv[i] + 8;
    }
    const fs::path tree = work / (small ? numbered("small-%zu", n) : numbered("large-%zu", n) + "x" + std::to_string(mb));
    makeTree(tree, n, mb << 20, small);
    warm(tree);
    auto *phases = static_cast<Phases *>(
        ::mmap(nullptr, sizeof(Phases), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (phases == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }

    std::printf("%-28s %10s %12s %14s %10s\n", "tool", "seconds", "peak MiB", "peak B/file", "image MiB");
    struct Tool {
        const char *name;
        std::function<int()> body;
    } tools[] = {
        {"vorn (ours)", [&] { return ours(tree, image, buffered, phases); }},
        {"xorriso -as mkisofs -R -J",
         [&] { return execTool({"xorriso", "-as", "mkisofs", "-R", "-J", "-o", image.string(), tree.string()}); }},
        {"genisoimage -R -J",
         [&] { return execTool({"genisoimage", "-R", "-J", "-o", image.string(), tree.string()}); }},
    };
    for (const auto &t : tools) {
        fs::remove(image);
        ::sync();
        ::sleep(settle);
        const Figures f = run(t.body);
        std::error_code ec;
        const auto bytes = fs::file_size(image, ec);
        if (f.status != 0) {
            std::printf("%-28s failed (status %d)\n", t.name, f.status);
            continue;
        }
        std::printf("%-28s %10.2f %12.1f %14.0f %10.1f\n", t.name, f.seconds, f.peakKiB / 1024.0,
                    f.peakKiB * 1024.0 / static_cast<double>(n), ec ? 0.0 : static_cast<double>(bytes) / (1 << 20));
        if (t.name == tools[0].name) {
            static const char *const names[] = {"build tree", "size accounting", "plan and folders",
                                                "file data and close"};
            for (int k = 0; k < Phases::kCount; ++k)
                std::printf("  %-26s %10.2f s wall %8.2f s cpu %10ld blocks read\n", names[k],
                            phases->wall[k] - (k ? phases->wall[k - 1] : 0),
                            phases->cpu[k] - (k ? phases->cpu[k - 1] : 0),
                            phases->inblock[k] - (k ? phases->inblock[k - 1] : 0));
        }
        std::fflush(stdout);
        if (oursOnly)
            break;
    }
    fs::remove(image);
    return 0;
}
