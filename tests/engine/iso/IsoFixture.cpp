#include "IsoFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace vorn::engine::iso::test {

std::string fnv1a(const std::string &bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    char text[32];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool haveReader()
{
    return std::string(VORN_ISO_READER).size() > 0 && fs::exists(VORN_ISO_READER);
}

void IsoFixture::SetUp()
{
    h_ = VornDataCompilation_New();
    fs::create_directories(src());
}

void IsoFixture::TearDown()
{
    VornDataCompilation_Destroy(h_);
    // Extracted folders may be read-only.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(tmp_.path(), ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (!it->is_symlink() && it->is_directory())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
}

void IsoFixture::file(const std::string &rel, const std::string &contents, unsigned mode)
{
    const fs::path p = src() / rel;
    fs::create_directories(p.parent_path());
    vorn::test::writeFile(p, contents);
    ::chmod(p.c_str(), mode);
}

void IsoFixture::randomFile(const std::string &rel, std::size_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto &b : bytes)
        b = static_cast<char>(rng());
    file(rel, bytes);
}

void IsoFixture::folder(const std::string &rel)
{
    fs::create_directories(src() / rel);
}

void IsoFixture::symlink(const std::string &rel, const std::string &target)
{
    const fs::path p = src() / rel;
    fs::create_directories(p.parent_path());
    fs::create_symlink(target, p);
}

void IsoFixture::addTree(const fs::path &local, VornDataCompilationItem *dir)
{
    std::vector<fs::path> entries;
    for (const auto &e : fs::directory_iterator(local))
        entries.push_back(e.path());
    std::sort(entries.begin(), entries.end());
    for (const auto &p : entries) {
        const std::string name = p.filename().string();
        if (fs::is_directory(fs::symlink_status(p))) {
            auto *sub = VornDataCompilation_CreateDirectory(h_, dir, name.c_str(), p.c_str(), 0, 0, 0);
            ASSERT_NE(sub, nullptr) << p;
            addTree(p, sub);
        } else {
            ASSERT_NE(VornDataCompilation_InsertNewItem(h_, dir, p.c_str()), nullptr) << p;
        }
    }
}

std::string IsoFixture::writeImage(const std::string &name, const WriteOptions &options)
{
    const std::string path = (tmp_.path() / name).string();
    const WriteResult r = writeImageFile(*h_, path, options);
    EXPECT_TRUE(r.ok) << r.error;
    const std::uint64_t accounted = VornDataCompilation_GetTotalBlocks(h_);
    EXPECT_EQ(r.blocks, accounted);
    std::error_code ec;
    EXPECT_EQ(fs::file_size(path, ec), accounted * 2048) << "written size differs from the accounting";
    EXPECT_EQ(VornDataCompilation_GetTotalSize(h_), accounted * 2048);
    return path;
}

std::map<std::string, std::string> IsoFixture::readTree(const std::string &image, const std::string &tree,
                                                        std::string *features)
{
    const auto r = vorn::test::runProcess({VORN_ISO_READER, image, tree});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::map<std::string, std::string> out;
    std::istringstream in(r.out);
    std::string line;
    if (std::getline(in, line) && features)
        *features = line;
    while (std::getline(in, line)) {
        // "t MODE SIZE MTIME HASH PATH[ -> TARGET]"
        std::istringstream fields(line);
        std::string type, mode, size, mtime, hash;
        fields >> type >> mode >> size >> mtime >> hash;
        std::string rest;
        std::getline(fields, rest);
        rest.erase(0, 1);
        std::string target;
        if (type == "l") {
            const auto arrow = rest.find(" -> ");
            target = rest.substr(arrow + 4);
            rest.resize(arrow);
        }
        out[rest] = type + " " + size + " " + hash + (type == "l" ? " -> " + target : "");
    }
    return out;
}

std::map<std::string, std::string> IsoFixture::expectTree(int kind, bool linksAsFiles)
{
    std::map<std::string, std::string> out;
    std::vector<VornDataCompilationItem *> stack{root()};
    while (!stack.empty()) {
        auto *dir = stack.back();
        stack.pop_back();
        for (auto *i = VornDataCompilation_GetDirectoryFirstEntry(h_, dir); i;
             i = VornDataCompilation_GetDirectoryNextEntry(i)) {
            const std::string path = VornDataCompilation_GetItemFullPath(h_, i, kind);
            switch (VornDataCompilationItem_GetType(i)) {
            case VORN_DATA_ITEM_DIRECTORY:
                out[path] = "d 0 0";
                stack.push_back(i);
                break;
            case VORN_DATA_ITEM_SYMLINK:
                out[path] = linksAsFiles ? "f 0 " + fnv1a("")
                                         : "l 0 0 -> " + fs::read_symlink(VornDataCompilationItem_GetFilePath(i)).string();
                break;
            default: {
                const std::string contents = vorn::test::readFile(VornDataCompilationItem_GetFilePath(i));
                out[path] = "f " + std::to_string(contents.size()) + " " + fnv1a(contents);
                break;
            }
            }
        }
    }
    return out;
}

std::map<std::string, std::string> IsoFixture::relocate(const std::map<std::string, std::string> &tree,
                                                        bool placeholders, const std::string &movedFolder,
                                                        const std::map<std::string, std::string> &movedNames)
{
    // A folder moves when it would sit at level 9 (the root is level 1);
    // in the relocation folder it is at level 3, so its own deep folders
    // move again six levels further down.
    auto moves = [](std::size_t level) { return level >= 9 && (level - 9) % 6 == 0; };
    std::map<std::string, std::string> out;
    for (const auto &[path, what] : tree) {
        std::vector<std::string> parts;
        for (std::size_t at = 1; at <= path.size();) {
            const auto slash = std::min(path.find('/', at), path.size());
            parts.push_back(path.substr(at, slash - at));
            at = slash + 1;
        }
        const bool isFolder = what.rfind("d ", 0) == 0;
        // The path of parts[0..count), parts[i] being at level i + 2 and
        // the last one a folder when `folder` is set.
        auto mapped = [&](std::size_t count, bool folder) {
            std::size_t from = 0;
            std::string p, real;
            for (std::size_t i = 0; i < count; ++i) {
                real += "/" + parts[i];
                if (moves(i + 2) && (i + 1 < count || folder)) {
                    from = i + 1;
                    const auto renamed = movedNames.find(real);
                    p = "/" + movedFolder + "/" + (renamed == movedNames.end() ? parts[i] : renamed->second);
                }
            }
            for (std::size_t i = from; i < count; ++i)
                p += "/" + parts[i];
            return p;
        };
        out[mapped(parts.size(), isFolder)] = what;
        if (isFolder && moves(parts.size() + 1) && placeholders)
            out[mapped(parts.size() - 1, true) + "/" + parts.back()] = "f 0 " + fnv1a("");
    }
    for (const auto &[path, what] : out)
        if (path.rfind("/" + movedFolder + "/", 0) == 0) {
            out["/" + movedFolder] = "d 0 0";
            break;
        }
    return out;
}

std::string IsoFixture::tool(std::vector<std::string> argv)
{
    // The runner does not search PATH.
    if (argv[0].find('/') == std::string::npos) {
        const char *path = std::getenv("PATH");
        std::istringstream dirs(path ? path : "/usr/bin:/bin");
        for (std::string dir; std::getline(dirs, dir, ':');)
            if (::access((dir + "/" + argv[0]).c_str(), X_OK) == 0) {
                argv[0] = dir + "/" + argv[0];
                break;
            }
    }
    const auto r = vorn::test::runProcess(argv, {}, {}, 120);
    EXPECT_EQ(r.exitStatus, 0) << argv[0] << ": " << r.err;
    return r.out + r.err;
}

}  // namespace vorn::engine::iso::test
