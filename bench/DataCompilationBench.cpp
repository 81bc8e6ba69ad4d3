// Data compilation model: add, list, rename and delete N items, printing
// time and heap memory per item.
//
//   bench_data_compilation [N ...]        (default: 100000 1000000)
//
// The items are real local files: hard links to one small file, 1000 to a
// folder, so adding pays for the stat of each source as the application
// does. A second run puts N/10 files into one flat folder to show that child
// lookup does not degrade with folder size.
#include "VornAPI.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Built with snprintf: GCC 12 warns falsely about string concatenation at -O3.
std::string numbered(const char *format, std::size_t a, std::size_t b = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::size_t heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Makes `count` hard links, `perFolder` to a folder, and returns their paths.
std::vector<std::string> makeSources(const fs::path &top, std::size_t count, std::size_t perFolder)
{
    // File systems cap the links to one file (ext4: 65000), so one
    // original serves 50000 links.
    constexpr std::size_t kLinksPerOriginal = 50000;
    auto original = [&](std::size_t i) { return top / numbered("original%zu.dat", i / kLinksPerOriginal); };
    for (std::size_t i = 0; i < count; i += kLinksPerOriginal) {
        const int fd = ::open(original(i).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "0123456789", 10) != 10) {
            std::perror("original");
            std::exit(1);
        }
        ::close(fd);
    }
    std::vector<std::string> paths;
    paths.reserve(count);
    char name[64];
    for (std::size_t i = 0; i < count; ++i) {
        const fs::path folder = top / numbered("folder%zu", i / perFolder);
        if (i % perFolder == 0)
            fs::create_directory(folder);
        std::snprintf(name, sizeof name, "photo_%07zu.jpg", i);
        const fs::path p = folder / name;
        if (::link(original(i).c_str(), p.c_str()) != 0) {
            std::perror(p.c_str());
            std::exit(1);
        }
        paths.push_back(p.string());
    }
    return paths;
}

struct Row {
    const char *what;
    double seconds;
    long long heapDelta;
};

void print(std::size_t n, const char *layout, const std::vector<Row> &rows)
{
    std::printf("\n%zu items, %s\n", n, layout);
    std::printf("  %-34s %10s %12s %14s\n", "operation", "seconds", "ns/item", "heap B/item");
    for (const auto &r : rows)
        std::printf("  %-34s %10.3f %12.0f %14.1f\n", r.what, r.seconds, r.seconds * 1e9 / static_cast<double>(n),
                    static_cast<double>(r.heapDelta) / static_cast<double>(n));
}

void run(std::size_t n, std::size_t perFolder, const fs::path &scratch)
{
    const fs::path top = scratch / numbered("n%zu_%zu", n, perFolder);
    fs::create_directories(top);
    const auto paths = makeSources(top, n, perFolder);
    std::vector<Row> rows;

    const std::size_t heap0 = heapBytes();
    VornDataCompilation *h = VornDataCompilation_New();
    VornDataCompilationItem *root = VornDataCompilation_GetItemFromPath(h, "", 3);
    std::vector<VornDataCompilationItem *> items;
    items.reserve(n);

    auto start = Clock::now();
    VornDataCompilationItem *folder = root;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % perFolder == 0) {
            const std::string name = numbered("folder%zu", i / perFolder);
            folder = perFolder >= n ? root
                                    : VornDataCompilation_CreateDirectory(h, root, name.c_str(), nullptr, 0, 0, 0);
        }
        VornDataCompilationItem *item = VornDataCompilation_InsertNewItem(h, folder, paths[i].c_str());
        // As the application does after each insert: the entry's four names.
        for (int kind = 0; kind < 4; ++kind)
            VornDataCompilation_GetItemName(h, item, kind);
        items.push_back(item);
    }
    const long long itemsVector = static_cast<long long>(items.capacity() * sizeof(void *));
    rows.push_back({"add (with stat and 4 names each)", secondsSince(start),
                    static_cast<long long>(heapBytes()) - static_cast<long long>(heap0) - itemsVector});

    start = Clock::now();
    const std::uint32_t blocks = VornDataCompilation_GetTotalBlocks(h);
    rows.push_back({"first size query (lays out all)", secondsSince(start), 0});

    start = Clock::now();
    std::size_t listed = 0, nameBytes = 0;
    for (auto *f = VornDataCompilation_GetDirectoryFirstEntry(h, root); f;
         f = VornDataCompilation_GetDirectoryNextEntry(f)) {
        ++listed;
        if (VornDataCompilationItem_GetType(f) != VORN_DATA_ITEM_DIRECTORY)
            continue;
        for (auto *i = VornDataCompilation_GetDirectoryFirstEntry(h, f); i;
             i = VornDataCompilation_GetDirectoryNextEntry(i)) {
            ++listed;
            nameBytes += std::strlen(VornDataCompilation_GetItemName(h, i, 3));
        }
    }
    rows.push_back({"list (every item, visible name)", secondsSince(start), 0});

    start = Clock::now();
    std::size_t found = 0;
    char name[64];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "photo_%07zu.jpg", i);
        found += VornDataCompilation_ItemExistsInDirectory(
                     h, perFolder >= n ? root : VornDataCompilation_GetItemFromPath(h, numbered("folder%zu", i / perFolder).c_str(), 3),
                     name, 3) != nullptr;
    }
    rows.push_back({"look up every item by name", secondsSince(start), 0});

    start = Clock::now();
    const std::size_t heapBeforeRename = heapBytes();
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "renamed photo %07zu.jpeg", i);
        VornDataCompilation_SetItemName(h, items[i], name, 3);
    }
    const std::uint32_t blocksAfterRename = VornDataCompilation_GetTotalBlocks(h);
    rows.push_back({"rename (visible name) + size", secondsSince(start),
                    static_cast<long long>(heapBytes()) - static_cast<long long>(heapBeforeRename)});

    start = Clock::now();
    std::size_t deleted = 0;
    for (auto *item : items)
        deleted += static_cast<std::size_t>(VornDataCompilation_DeleteItem(h, item));
    const std::uint32_t blocksEmpty = VornDataCompilation_GetTotalBlocks(h);
    rows.push_back({"delete every file + size", secondsSince(start), 0});
    VornDataCompilation_Destroy(h);

    print(n, perFolder >= n ? "one flat folder" : "1000 files per folder", rows);
    std::printf("  (checks: %u blocks, %u after rename, %u empty; %zu listed, %zu found, %zu deleted, %zu name bytes)\n",
                blocks, blocksAfterRename, blocksEmpty, listed, found, deleted, nameBytes);
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
    const fs::path scratch = fs::path(tmp && *tmp ? tmp : "/tmp") / numbered("vorn-bench-%zu", static_cast<std::size_t>(::getpid()));
    fs::create_directories(scratch);
    std::printf("data compilation model benchmark (heap measured with mallinfo2)\n");
    for (std::size_t n : sizes) {
        run(n, 1000, scratch);
        run(n / 10, n / 10, scratch);
    }
    fs::remove_all(scratch);
    return 0;
}
