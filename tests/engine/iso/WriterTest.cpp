// The writer's own promises: random trees read back equal, sinks see the
// same bytes whichever way file data travels, bad sources and cancels leave
// nothing behind, file dates follow the date type, files up to 4 GiB - 1,
// paths over 255 characters only when allowed, deep folders relocated, long
// link targets.
#include "IsoFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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
    VornDataCompilation_SetDeeperThan8(h(), 1);  // the deepest folder stays where it is

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

// Deep folders in the primary volume: a chain of fourteen nested folders
// (levels 2-15) with files at several depths, relocated twice; a second
// branch whose level-9 folder has the same name; and a folder of the user's
// that takes the relocation folder's usual name.
TEST_F(WriterTest, DeepFoldersAreRelocatedInThePrimaryVolumeOnly)
{
    if (!haveReader() || !vorn::test::haveTool("isoinfo"))
        GTEST_SKIP() << "the image library's reader or isoinfo is missing";
    std::string chain;
    for (int level = 2; level <= 15; ++level) {
        chain += (chain.empty() ? "d" : "/d") + std::to_string(level);
        if (level % 3 == 0 || level == 8 || level == 15)
            file(chain + "/at" + std::to_string(level) + ".txt", "level " + std::to_string(level));
    }
    std::string branch;
    for (int level = 2; level <= 8; ++level)
        branch += (branch.empty() ? "b" : "/b") + std::to_string(level);
    file(branch + "/d9/leaf.txt", "other branch");
    file("rr_moved/mine.txt", "the user's own folder");
    addSources();
    VornDataCompilation_SetJoliet(h(), 1);
    ASSERT_EQ(VornDataCompilation_GetDeeperThan8(h()), 0);

    const std::string upper = [&] {
        std::string u = chain;
        for (auto &c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return u;
    }();
    // The branch's D9 was created first and keeps its name.
    const std::map<std::string, std::string> renamed{{"/" + upper.substr(0, upper.find("/D10")), "D9~1"}};

    for (const auto &[rockRidge, modeXa] : {std::pair{1, 0}, std::pair{1, 1}, std::pair{0, 0}}) {
        SCOPED_TRACE(std::string(rockRidge ? "with Rock Ridge" : "without Rock Ridge") + (modeXa ? ", Mode 2 XA" : ""));
        VornDataCompilation_SetRockRidge(h(), rockRidge);
        VornDataCompilation_SetMode2XA(h(), modeXa);
        const std::string image = writeImage("deep" + std::to_string(rockRidge) + std::to_string(modeXa) + ".iso");

        // The primary volume: at most 8 levels, deep folders in RR_MOV~1,
        // with placeholders only for Rock Ridge, path tables as the tree.
        EXPECT_EQ(readTree(image, "plain"),
                  relocate(expectTree(VORN_NAME_ISO_LEVEL1, true), rockRidge, "RR_MOV~1", renamed));
        const std::string plain = tool({"isoinfo", "-l", "-i", image});
        std::size_t listings = 0;
        for (std::size_t at = plain.find("Directory listing of "); at != std::string::npos;
             at = plain.find("Directory listing of ", at + 1)) {
            const std::string path = plain.substr(at + 21, plain.find('\n', at) - at - 21);
            EXPECT_LE(std::count(path.begin(), path.end(), '/'), 8) << path;
            ++listings;
        }
        EXPECT_EQ(listings, 1u + 14u + 8u + 1u + 1u) << plain;  // root, chain, branch, the user's, relocation
        EXPECT_NE(plain.find("Directory listing of /RR_MOV~1/D9~1/D10/"), std::string::npos) << plain;
        EXPECT_NE(plain.find("Directory listing of /RR_MOV~1/D15/"), std::string::npos) << plain;
        const std::string byPathTable = tool({"isoinfo", "-p", "-i", image});
        EXPECT_NE(byPathTable.find("RR_MOV~1"), std::string::npos) << byPathTable;

        // Joliet keeps the real tree at its depth.
        EXPECT_EQ(readTree(image, "joliet"), expectTree(VORN_NAME_VISIBLE, true));
        if (!rockRidge)
            continue;
        // Rock Ridge readers see the real tree, without the relocation folder.
        EXPECT_EQ(readTree(image, "rr"), expectTree(VORN_NAME_VISIBLE));
        const std::string out = (tmp_.path() / ("extracted" + std::to_string(modeXa))).string();
        tool({"xorriso", "-osirrox", "on", "-indev", image, "-extract", "/", out});
        tool({"diff", "-r", src().string(), out});
        const std::string rr = tool({"isoinfo", "-R", "-l", "-i", image});
        EXPECT_NE(rr.find("at15.txt"), std::string::npos) << rr;
    }

    // Allowed, nothing moves.
    VornDataCompilation_SetDeeperThan8(h(), 1);
    const std::string image = writeImage("deep.iso");
    EXPECT_EQ(readTree(image, "plain"), expectTree(VORN_NAME_ISO_LEVEL1, true));
}

// The Rock Ridge names and link targets of one folder's records, read the
// way a reader does: System Use entries from the record (after `xaBytes` of
// CD-XA attributes), then from each continuation area a CE names, every area
// inside one block.
std::map<std::string, std::string> rockRidgeLinks(const std::string &image, const std::string &folder,
                                                  std::size_t xaBytes)
{
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(image[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(image[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(image[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(image[at + 3])) << 24;
    };
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(image.at(at)); };
    // The folder from the L path table.
    const std::size_t pvd = 16 * 2048;
    std::size_t table = std::size_t{u32(pvd + 140)} * 2048, end = table + u32(pvd + 132);
    std::size_t extent = 0;
    for (std::size_t at = table; at < end; at += 8 + byte(at) + (byte(at) & 1))
        if (image.substr(at + 8, byte(at)) == folder)
            extent = std::size_t{u32(at + 2)} * 2048;
    EXPECT_NE(extent, 0u) << folder;
    std::map<std::string, std::string> links;
    for (std::size_t at = extent; extent && byte(at) != 0; at += byte(at)) {
        const std::size_t idLen = byte(at + 32);
        std::size_t su = at + 33 + idLen + (idLen % 2 == 0) + xaBytes, suEnd = at + byte(at);
        std::string name, target;
        bool separate = false;
        while (su + 4 <= suEnd) {
            const std::string sig = image.substr(su, 2);
            const std::size_t len = byte(su + 2);
            if (len < 4)
                break;
            if (sig == "NM")
                name += image.substr(su + 5, len - 5);
            if (sig == "SL") {
                for (std::size_t c = su + 5; c < su + len; c += 2 + byte(c + 1)) {
                    const unsigned flags = byte(c);
                    if (flags & 0x08) {
                        target = "/";
                        separate = false;
                        continue;
                    }
                    if (separate)
                        target += "/";
                    target += flags & 0x02 ? "." : flags & 0x04 ? ".." : image.substr(c + 2, byte(c + 1));
                    separate = !(flags & 0x01);
                }
            }
            if (sig == "CE") {
                const std::size_t offset = u32(su + 12), length = u32(su + 20);
                EXPECT_LE(offset + length, 2048u) << "a continuation area crosses a block";
                su = std::size_t{u32(su + 4)} * 2048 + offset;
                suEnd = su + length;
                continue;
            }
            su += len;
        }
        if (!name.empty())
            links[name] = target;
    }
    return links;
}

// Link targets of up to 4095 bytes: SL entries of many components, and of
// components split over entries, fill several continuation blocks chained
// by CE entries.
TEST_F(WriterTest, LongLinkTargetsChainContinuationAreas)
{
    std::string mixed = "/";
    for (int i = 0; mixed.size() < 4000; ++i)
        mixed += (i % 3 == 0 ? std::string(300, static_cast<char>('a' + i % 26)) : i % 3 == 1 ? ".." : "x") + "/";
    mixed.resize(4000);
    std::string tiny;
    while (tiny.size() < 4093)
        tiny += "a/";
    tiny += "z";
    ASSERT_EQ(tiny.size(), 4095u);
    symlink("links/mixed", mixed);
    symlink("links/tiny components", tiny);
    symlink("links/short", "nowhere");
    file("links/zz after.txt", "after");
    addSources();
    for (int modeXa : {0, 1}) {
        VornDataCompilation_SetMode2XA(h(), modeXa);
        const std::string image = vorn::test::readFile(writeImage());
        const auto links = rockRidgeLinks(image, "LINKS", modeXa ? 14 : 0);
        EXPECT_EQ(links.at("mixed"), mixed);
        EXPECT_EQ(links.at("tiny components"), tiny);
        EXPECT_EQ(links.at("short"), "nowhere");
        EXPECT_EQ(links.at("zz after.txt"), "");
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
