// The writer's own promises: random trees read back equal, sinks see the
// same bytes whichever way file data travels, bad sources and cancels leave
// nothing behind, file dates follow the date type, files up to 4 GiB - 1,
// paths over 255 characters only when allowed.
#include "IsoFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <sstream>

namespace vorn::engine::iso::test {
namespace {

using WriterTest = IsoFixture;

// A random name: ASCII, spaces, dots, accents, CJK and characters outside
// the BMP, of 1 to `maxChars` characters.
std::string randomName(std::mt19937 &rng, int maxChars)
{
    static const char *pieces[] = {"a", "B", "z", "0", "7", " ", ".", "-", "_", "é", "Ü", "日", "本", "😀", "x", "~", ",", "+"};
    const int n = std::uniform_int_distribution<int>(1, maxChars)(rng);
    std::string s;
    for (int i = 0; i < n; ++i)
        s += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
    if (s == "." || s == "..")
        s = "dot";
    return s;
}

TEST_F(WriterTest, RandomTreesReadBackEqual)
{
    if (!haveReader())
        GTEST_SKIP() << "the image library's development files were missing at build time";
    const unsigned seed = 20240611;
    std::printf("random tree seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + " of seed " + std::to_string(seed));
        VornDataCompilation_Destroy(h_);
        h_ = VornDataCompilation_New();
        std::filesystem::remove_all(src());
        std::filesystem::create_directories(src());
        const int maxChars = round % 2 ? 60 : 120;
        std::vector<std::string> folders{""};
        const int items = std::uniform_int_distribution<int>(20, 120)(rng);
        for (int i = 0; i < items; ++i) {
            const std::string &parent = folders[std::uniform_int_distribution<std::size_t>(0, folders.size() - 1)(rng)];
            const std::string rel = (parent.empty() ? "" : parent + "/") + randomName(rng, maxChars);
            if (std::filesystem::exists(src() / rel))
                continue;
            if (rng() % 4 == 0 && std::count(rel.begin(), rel.end(), '/') < 11) {
                folder(rel);
                folders.push_back(rel);
            } else {
                const std::size_t sizes[] = {0, 1, 2047, 2048, 2049, 70000};
                randomFile(rel, sizes[rng() % std::size(sizes)], static_cast<std::uint32_t>(rng()));
            }
        }
        VornDataCompilation_SetIsoLevel(h(), static_cast<int>(rng() % 2));
        VornDataCompilation_SetJoliet(h(), static_cast<int>(rng() % 2));
        VornDataCompilation_SetMode2XA(h(), static_cast<int>(rng() % 2));
        VornDataCompilation_SetIsoVersionAddition(h(), static_cast<int>(rng() % 2));
        VornDataCompilation_SetDeeperThan8(h(), 1);
        VornDataCompilation_SetMoreThan255Chars(h(), 1);  // deep trees of long names go past it
        addSources();
        const std::string image = writeImage("random.iso");
        EXPECT_EQ(readTree(image, "rr"), expectTree(VORN_NAME_VISIBLE));
        EXPECT_EQ(readTree(image, "iso1999"), expectTree(VORN_NAME_VISIBLE, true));
        EXPECT_EQ(readTree(image, "plain"),
                  expectTree(VornDataCompilation_GetIsoLevel(h()) ? VORN_NAME_ISO_LEVEL2 : VORN_NAME_ISO_LEVEL1, true));
    }
}

// Keeps every byte it is given; copies are refused, so file data goes
// through our buffer.
class MemorySink : public BlockSink {
public:
    bool write(const std::uint8_t *data, std::size_t bytes) override
    {
        bytes_.append(reinterpret_cast<const char *>(data), bytes);
        return true;
    }
    std::string bytes_;
};

// The same image whichever way file data reaches the file: through our
// buffer, copied by the kernel, or written past the page cache in aligned
// pieces (more than two of them here, and a last one of no aligned length).
TEST_F(WriterTest, CopiedDirectAndBufferedDataGiveTheSameImage)
{
    randomFile("large.bin", (9u << 20) + 4097, 7);
    randomFile("small.bin", 5000, 8);
    file("sub/tiny", "x");
    addSources();
    WriteOptions options;
    options.now = 1600000000;
    MemorySink memory;
    const WriteResult r = iso::writeImage(*h(), memory, options);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_NE(memory.bytes_.size() % 4096, 0u);

    options.copyRangeMinBytes = 1;  // every file through copy_file_range
    options.directWrites = false;
    EXPECT_EQ(memory.bytes_, vorn::test::readFile(writeImage("copied.iso", options)));
    options.directWrites = true;
    EXPECT_EQ(memory.bytes_, vorn::test::readFile(writeImage("direct.iso", options)));
}

TEST_F(WriterTest, ABadSourceStopsTheWriteAndKeepsTheOldImage)
{
    file("a.txt", "original contents");
    file("b.txt", "other");
    addSources();
    const std::string target = (tmp_.path() / "keep.iso").string();
    vorn::test::writeFile(target, "an older image");

    // Grown since it was added: the image would not match the plan.
    file("a.txt", "original contents, and then some");
    WriteResult r = writeImageFile(*h(), target);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("a.txt"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("changed"), std::string::npos) << r.error;
    EXPECT_EQ(vorn::test::readFile(target), "an older image");

    // Vanished.
    file("a.txt", "original contents");
    std::filesystem::remove(src() / "b.txt");
    r = writeImageFile(*h(), target);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("b.txt"), std::string::npos) << r.error;
    EXPECT_EQ(vorn::test::readFile(target), "an older image");

    // Nothing but the old image is left in the folder.
    std::size_t files = 0;
    for (const auto &e : std::filesystem::directory_iterator(tmp_.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST_F(WriterTest, CancelAndUnwritableTargetsLeaveNothing)
{
    randomFile("a.bin", 20u << 20, 1);
    addSources();
    WriteOptions options;
    options.progress = [](std::uint64_t, std::uint64_t) { return false; };
    const std::string target = (tmp_.path() / "cancelled.iso").string();
    WriteResult r = writeImageFile(*h(), target, options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(std::filesystem::exists(target));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(tmp_.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);  // the sources folder

    r = writeImageFile(*h(), (tmp_.path() / "no/such/folder/x.iso").string());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cannot be created"), std::string::npos) << r.error;

    // Progress reaches the total exactly once the image is complete.
    std::uint64_t last = 0, total = 0;
    options.progress = [&](std::uint64_t done, std::uint64_t all) {
        EXPECT_GE(done, last);
        last = done;
        total = all;
        return true;
    };
    r = writeImageFile(*h(), target, options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(last, total);
    EXPECT_EQ(total, VornDataCompilation_GetTotalBlocks(h()));
}

TEST_F(WriterTest, FileDatesFollowTheDateType)
{
    if (!haveReader())
        GTEST_SKIP() << "the image library's development files were missing at build time";
    file("dated.txt", "d");
    struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (src() / "dated.txt").c_str(), times, 0), 0);
    addSources();
    auto mtimeOf = [&](const std::string &image) {
        const auto r = vorn::test::runProcess({VORN_ISO_READER, image, "rr"});
        const auto at = r.out.find("/dated.txt");
        EXPECT_NE(at, std::string::npos) << r.out;
        const auto lineStart = r.out.rfind('\n', at) + 1;
        std::istringstream fields(r.out.substr(lineStart, at - lineStart));
        std::string type, mode, size;
        long long mtime = 0;
        fields >> type >> mode >> size >> mtime;
        return mtime;
    };
    WriteOptions options;
    options.now = 1650000000;
    EXPECT_EQ(mtimeOf(writeImage("original.iso", options)), 1500000000);
    VornDataCompilation_SetFilesDate(h(), VORN_FILES_DATE_BURN_TIME, -1);
    EXPECT_EQ(mtimeOf(writeImage("burn.iso", options)), 1650000000);
    VornDataCompilation_SetFilesDate(h(), VORN_FILES_DATE_FIXED, 1234567890);
    EXPECT_EQ(mtimeOf(writeImage("fixed.iso", options)), 1234567890);
}

TEST_F(WriterTest, FilesUpTo4GiBMinusOneByte)
{
    // Sparse sources: the plan needs only their sizes.
    auto sparse = [&](const std::string &name, std::uint64_t size) {
        const auto path = (src() / name).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
        ASSERT_NE(VornDataCompilation_InsertNewItem(h(), root(), path.c_str()), nullptr);
    };
    sparse("largest.bin", 0xFFFFFFFFull);
    WriteResult r = planImage(*h());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.blocks, VornDataCompilation_GetTotalBlocks(h()));
    sparse("too-large.bin", 0x100000000ull);
    r = planImage(*h());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("too-large.bin"), std::string::npos) << r.error;
}

TEST_F(WriterTest, PathsOver255CharactersOnlyWhenAllowed)
{
    // Eight folders of 31 characters: the deepest is exactly 255 long. A
    // file of 30 characters in the seventh is 254 without ";1", 256 with it.
    std::string dir;
    for (char c = 'A'; c < 'A' + 8; ++c)
        dir += (dir.empty() ? "" : "/") + std::string(31, c);
    folder(dir);
    const std::string fileName = std::string(26, 'F') + ".TXT";
    const std::string filePath = dir.substr(0, 7 * 32 - 1) + "/" + fileName;
    file(filePath, "long");
    addSources();
    VornDataCompilation_SetIsoLevel(h(), 1);
    VornDataCompilation_SetIsoVersionAddition(h(), 0);
    auto *deepest = VornDataCompilation_GetItemFromPath(h(), dir.c_str(), 3);
    auto *longFile = VornDataCompilation_GetItemFromPath(h(), filePath.c_str(), 3);
    ASSERT_NE(deepest, nullptr);
    ASSERT_NE(longFile, nullptr);
    ASSERT_EQ(std::string(VornDataCompilation_GetItemFullPath(h(), deepest, 2)), "/" + dir);
    ASSERT_EQ(std::string(VornDataCompilation_GetItemFullPath(h(), longFile, 2)), "/" + filePath);
    ASSERT_EQ(VornDataCompilation_GetMoreThan255Chars(h()), 0);

    WriteResult r = planImage(*h());
    ASSERT_TRUE(r.ok) << r.error;
    writeImage("255.iso");

    // The version suffix is part of the recorded path.
    VornDataCompilation_SetIsoVersionAddition(h(), 1);
    r = planImage(*h());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("/" + filePath), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("256"), std::string::npos) << r.error;
    const std::string refused = (tmp_.path() / "256.iso").string();
    r = writeImageFile(*h(), refused);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(fileName), std::string::npos) << r.error;
    std::set<std::string> left;
    for (const auto &e : std::filesystem::directory_iterator(tmp_.path()))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"src", "255.iso"}));

    // Allowed, the same compilation is written whole.
    VornDataCompilation_SetMoreThan255Chars(h(), 1);
    writeImage("256.iso");
    if (haveReader()) {
        const auto tree = readTree((tmp_.path() / "256.iso").string(), "plain");
        EXPECT_EQ(tree.count("/" + filePath), 1u) << "the long path is missing from the image";
        EXPECT_EQ(tree, expectTree(VORN_NAME_ISO_LEVEL2, true));
    }
}

TEST_F(WriterTest, UdfOnlyCompilationsAreNoIsoImages)
{
    EXPECT_EQ(VornDataCompilation_CanBeWrittenAsIsoImage(h()), 1);
    VornDataCompilation_SetUdfSupportType(h(), VORN_UDF_ONLY);
    EXPECT_EQ(VornDataCompilation_CanBeWrittenAsIsoImage(h()), 0);
    EXPECT_FALSE(writeImageFile(*h(), (tmp_.path() / "udf.iso").string()).ok);
    VornDataCompilation_SetUdfSupportType(h(), VORN_UDF_BRIDGE);
    EXPECT_EQ(VornDataCompilation_CanBeWrittenAsIsoImage(h()), 1);
}

}  // namespace
}  // namespace vorn::engine::iso::test
