// Saving and loading data compilations of many items: time of each and the
// process's peak memory after it. Folders of 1000 files each, every file
// copied from one of 1000 local files, so the local disk holds little.
//
//   bench_compilation_file [items...]   (default 100000 1000000)
#include "CompilationFileReader.h"
#include "CompilationFileWriter.h"
#include "DataDiscCompilation.h"
#include "OptionsDatabase.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atol(argv[i]));
    if (counts.empty())
        counts = {100000, 1000000};
    OptionsDatabase_InitDatabases();
    gchar *folder = g_dir_make_tmp("vorn-bench-XXXXXX", nullptr);
    const std::string source = std::string(folder) + "/src";
    g_mkdir(source.c_str(), 0755);
    std::vector<std::string> origins;
    for (int i = 0; i < 1000; ++i) {
        origins.push_back(source + "/file" + std::to_string(i) + ".dat");
        g_file_set_contents(origins.back().c_str(), "x", 1, nullptr);
    }
    std::printf("%10s %10s %10s %10s %10s %12s\n", "items", "build s", "save s", "load s", "file MB", "peak RSS MB");
    for (long items : counts) {
        Compilation *compilation = DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_DVD);
        auto start = std::chrono::steady_clock::now();
        long made = 0;
        for (int f = 0; made < items; ++f) {
            const std::string name = "folder" + std::to_string(f);
            VFS_FreeDirectoryEntry(VFS_CreateDirectoryEx(compilation->fileSystem, "/", name.c_str(), nullptr,
                                                         nullptr, 0, 0, 0, 0, 0, 0, 0, 0));
            ++made;
            const std::string path = "/" + name;
            for (int i = 0; i < 1000 && made < items; ++i, ++made)
                VFS_FreeDirectoryEntry(VFS_CopyEx(compilation->localFileSystem, origins[i].c_str(),
                                                  compilation->fileSystem, path.c_str(), 3, nullptr, 0, 0, 0, 1, 0,
                                                  nullptr, 0, 0, 0, 0));
        }
        const double built = seconds(start);
        const std::string file = std::string(folder) + "/bench.vornc";
        start = std::chrono::steady_clock::now();
        int error = 0;
        if (!vorn::compilationfile::saveCompilationFile(compilation, file, nullptr, &error)) {
            std::fprintf(stderr, "save failed: %s\n", g_strerror(error));
            return 1;
        }
        const double saved = seconds(start);
        g_object_unref(compilation);
        GStatBuf status{};
        g_stat(file.c_str(), &status);
        start = std::chrono::steady_clock::now();
        vorn::compilationfile::LoadObserver observer;
        Compilation *loaded = vorn::compilationfile::loadCompilation(file, &observer, nullptr);
        const double load = seconds(start);
        if (!loaded)
            return 1;
        g_object_unref(loaded);
        std::printf("%10ld %10.2f %10.2f %10.2f %10.1f %12ld\n", items, built, saved, load,
                    static_cast<double>(status.st_size) / 1e6, peakMegabytes());
        g_unlink(file.c_str());
    }
    for (const auto &origin : origins)
        g_unlink(origin.c_str());
    g_rmdir(source.c_str());
    g_rmdir(folder);
    g_free(folder);
    return 0;
}
