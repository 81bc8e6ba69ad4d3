// Data disc file system: copy a local tree of N files in N/10 folders into a
// data disc through the VFS functions (a plain walk, as a copy worker does),
// list it, rename 10 000 items, delete it and undo the deletion, printing time
// and heap per item. Beside it, the same tree mapped into an in-memory image
// by xorriso, the tool users would reach for otherwise.
//
//   bench_data_disc_fs [N ...]        (default: 100000 1000000)
#include "DataDiscFileSystem.h"
#include "LinuxFileSystem.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string numbered(const char *format, std::size_t a)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

double cpuSeconds()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall and processor time of one step: on a shared machine the wall time
// also holds the time other processes had the cores, the processor time not.
struct Stopwatch {
    Clock::time_point wall = Clock::now();
    double cpu = cpuSeconds();

    double wallSeconds() const { return std::chrono::duration<double>(Clock::now() - wall).count(); }
    double cpuSecondsSpent() const { return cpuSeconds() - cpu; }
};

long long heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

// The folder of file i: 10 files to a folder, 100 folders to a group. The
// engine resolves the names of a whole folder when one of its items is asked
// for, so a single folder of 10 000 subfolders would cost quadratic time to
// fill: that is measured by the engine's own benchmark, not here.
std::string folderOf(std::size_t file)
{
    return numbered("group%04zu", file / 1000) + "/" + numbered("folder%05zu", file / 10);
}

// N hard links to a few small files, 10 to a folder.
void makeTree(const fs::path &top, std::size_t files)
{
    constexpr std::size_t kLinksPerOriginal = 50000;
    fs::create_directories(top);
    for (std::size_t i = 0; i < files; i += kLinksPerOriginal) {
        const std::string original = (top / numbered("original%zu", i / kLinksPerOriginal)).string();
        const int fd = ::open(original.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "0123456789", 10) != 10) {
            std::perror("original");
            std::exit(1);
        }
        ::close(fd);
    }
    const fs::path tree = top / "tree";
    for (std::size_t i = 0; i < files; ++i) {
        const fs::path folder = tree / folderOf(i);
        if (i % 10 == 0)
            fs::create_directories(folder);
        const std::string original = (top / numbered("original%zu", i / kLinksPerOriginal)).string();
        if (::link(original.c_str(), (folder / numbered("photo_%07zu.jpg", i)).c_str()) != 0) {
            std::perror("link");
            std::exit(1);
        }
    }
}

struct Walk {
    VirtualFileSystem *local;
    VirtualFileSystem *disc;
    gint recordUndo;
    bool first = true;
    std::size_t items = 0;

    // One step of the batch; the first successful one marks the rollback point.
    void stepDone()
    {
        ++items;
        if (first && recordUndo) {
            VFS_SetUndoRollbackPoint(disc, 0);
            first = false;
        }
    }

    void copy(const std::string &localFolder, const std::string &discFolder)
    {
        gpointer handle = VFS_OpenDirectory(local, localFolder.c_str());
        while (VfsDirectoryEntry *entry = VFS_ReadDirectory(local, handle)) {
            const std::string source = localFolder + "/" + entry->names[0];
            if (entry->type == VFS_ENTRY_DIRECTORY) {
                VfsDirectoryEntry *made = VFS_CreateDirectoryEx(disc, discFolder.c_str(), entry->names[0], nullptr,
                                                                source.c_str(), 0, 0, 0, 0, 1, recordUndo, 0, 0);
                if (made) {
                    stepDone();
                    copy(source, (discFolder == "/" ? "" : discFolder) + "/" + entry->names[0]);
                }
                VFS_FreeDirectoryEntry(made);
            } else {
                VfsDirectoryEntry *copied = VFS_CopyEx(local, source.c_str(), disc, discFolder.c_str(), 3, nullptr, 0,
                                                       0, 0, 1, 0, nullptr, 1, recordUndo, 0, 0);
                if (copied)
                    stepDone();
                VFS_FreeDirectoryEntry(copied);
            }
            VFS_FreeDirectoryEntry(entry);
        }
        VFS_CloseDirectory(local, handle);
    }
};

std::size_t listAll(VirtualFileSystem *disc, const std::string &folder)
{
    std::size_t count = 0;
    gpointer handle = VFS_OpenDirectory(disc, folder.c_str());
    while (VfsDirectoryEntry *entry = VFS_ReadDirectory(disc, handle)) {
        ++count;
        if (entry->type == VFS_ENTRY_DIRECTORY)
            count += listAll(disc, (folder == "/" ? "" : folder) + "/" + entry->names[3]);
        VFS_FreeDirectoryEntry(entry);
    }
    VFS_CloseDirectory(disc, handle);
    return count;
}

void row(const char *what, const Stopwatch &watch, std::size_t items, long long heapDelta)
{
    const double seconds = watch.wallSeconds();
    const double cpu = watch.cpuSecondsSpent();
    std::printf("  %-44s %9.3f s %9.0f ns/item (CPU %8.3f s %9.0f ns/item) %9.1f B/item\n", what, seconds,
                seconds * 1e9 / static_cast<double>(items), cpu, cpu * 1e9 / static_cast<double>(items),
                static_cast<double>(heapDelta) / static_cast<double>(items));
}

void run(std::size_t files, const fs::path &scratch)
{
    const fs::path top = scratch / numbered("n%zu", files);
    makeTree(top, files);
    const std::string localTop = (top / "tree").string();
    // Files, their folders, the groups and the top folder.
    const std::size_t items = files + files / 10 + (files + 999) / 1000 + 1;
    std::printf("\n%zu files in %zu folders of 10 files, in %zu groups (%zu items)\n", files, files / 10,
                (files + 999) / 1000, items);

    VirtualFileSystem *local = LinuxFileSystem_New();
    const long long heapBefore = heapBytes();

    // The tree alone: application and engine together, no history.
    VirtualFileSystem *disc = DataDiscFileSystem_New(local);
    Stopwatch start;
    Walk plain{local, disc, 0};
    VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(disc, "/", "tree", nullptr, localTop.c_str(), 0, 0, 0, 0, 1, 0, 0, 0));
    plain.copy(localTop, "/tree");
    const long long treeBytes = heapBytes() - heapBefore;
    row("copy in, no undo history (tree only)", start, items, treeBytes);
    g_object_unref(disc);

    // As the user does it: every step recorded, one rollback point.
    const long long heapEmpty = heapBytes();
    disc = DataDiscFileSystem_New(local);
    start = Stopwatch();
    Walk recorded{local, disc, 1};
    VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(disc, "/", "tree", nullptr, localTop.c_str(), 0, 0, 0, 0, 1, 1, 1, 0));
    recorded.first = false;
    recorded.copy(localTop, "/tree");
    const long long withHistory = heapBytes() - heapEmpty;
    row("copy in, recorded for undo", start, items, withHistory);
    std::printf("  %-44s %23s %9.1f B/item\n", "  of which the undo history", "",
                static_cast<double>(withHistory - treeBytes) / static_cast<double>(items));

    start = Stopwatch();
    const std::size_t listed = listAll(disc, "/");
    row("list every item (VFS_ReadDirectory)", start, listed, 0);

    constexpr std::size_t kRenames = 10000;
    start = Stopwatch();
    std::size_t renamed = 0;
    for (std::size_t i = 0; i < kRenames && i < files; ++i) {
        const std::size_t file = i * (files / std::min(files, kRenames));
        const std::string path = "/tree/" + folderOf(file) + "/" + numbered("photo_%07zu.jpg", file);
        renamed += VFS_RenameEx(disc, path.c_str(), numbered("renamed photo %07zu.jpeg", file).c_str(), 3, 1, 1,
                                renamed == 0, 0) == 0;
    }
    row("rename 10 000 items (per rename)", start, renamed, 0);

    start = Stopwatch();
    const long long heapBeforeDelete = heapBytes();
    const int deleted = VFS_DeleteDirectory(disc, "/tree");
    row("delete the tree (one folder, recorded)", start, items, heapBytes() - heapBeforeDelete);

    start = Stopwatch();
    VFS_Undo(disc, VFS_UNDO_EMIT, 0);
    const std::size_t restored = listAll(disc, "/");
    row("undo the deletion (and list again)", start, items, 0);
    g_object_unref(disc);
    g_object_unref(local);
    std::printf("  (checks: %zu listed, %zu renamed, delete %d, %zu restored)\n", listed, renamed, deleted, restored);

    // The same tree mapped into an image in memory, never written.
    const std::string command = "/usr/bin/time -f '%e %M' xorriso -no_rc -abort_on FATAL -report_about SORRY "
                                "-outdev stdio:/dev/null -map '" + localTop + "' /tree -rollback_end 2>&1 >/dev/null | tail -1";
    if (FILE *pipe = ::popen(command.c_str(), "r")) {
        double seconds = 0;
        long maxKb = 0;
        if (std::fscanf(pipe, "%lf %ld", &seconds, &maxKb) == 2)
            std::printf("  %-44s %9.3f s %9.0f ns/item %9.1f B/item (peak RSS)\n", "xorriso -map of the same tree",
                        seconds, seconds * 1e9 / static_cast<double>(items),
                        maxKb * 1024.0 / static_cast<double>(items));
        else
            std::printf("  xorriso not available\n");
        ::pclose(pipe);
    }
    fs::remove_all(top);
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizes.empty())
        sizes = {100000, 1000000};
    const char *tmp = std::getenv("TMPDIR");
    const fs::path scratch =
        fs::path(tmp && *tmp ? tmp : "/tmp") / numbered("vorn-bench-datadisc-%zu", static_cast<std::size_t>(::getpid()));
    std::printf("data disc file system benchmark (heap measured with mallinfo2)\n");
    for (std::size_t n : sizes)
        run(n, scratch);
    fs::remove_all(scratch);
    return 0;
}
