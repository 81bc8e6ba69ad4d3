// Previous sessions: discs whose first session another program made are
// imported through the engine's C interface from an emulated drive, edited,
// and continued with a session our writer makes; the grown disc is then read
// by xorriso as any reader would. Damaged sessions are refused and leave the
// compilation as it was.
#include "EngineFixture.h"
#include "VornPaths.h"
#include "import/SessionImport.h"
#include "iso/IsoWriter.h"

#include <glib.h>

#include <fstream>
#include <set>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

class SessionTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        for (const char *t : {"xorriso", "genisoimage"})
            if (!haveTool(t))
                GTEST_SKIP() << t << " is not installed";
        writeDrives("[Burner]\nWriteMedia=CD-R;CD-RW;DVD+R\n");
        ASSERT_EQ(start(), VORN_INIT_OK);
        h_ = VornDataCompilation_New();
    }
    void TearDown() override
    {
        if (device_)
            VornCloseDevice(device_);
        VornDataCompilation_Destroy(h_);
        EngineTest::TearDown();
    }

    std::string path(const std::string &name) { return (dir / name).string(); }

    ProcessResult run(std::vector<std::string> argv, bool mustWork = true)
    {
        if (argv[0].find('/') == std::string::npos) {
            gchar *found = g_find_program_in_path(argv[0].c_str());
            if (found) {
                argv[0] = found;
                g_free(found);
            }
        }
        auto r = runProcess(argv, {}, {}, 120);
        if (mustWork) {
            EXPECT_EQ(r.exitStatus, 0) << argv[0] << ": " << r.err;
        }
        return r;
    }
    ProcessResult vornDisc(std::vector<std::string> args)
    {
        args.insert(args.begin(), std::string(VORN_BIN_DIR) + "/vorn-disc");
        return run(args);
    }

    // The first session's tree, as another program makes it.
    void firstTree()
    {
        writeFile(dir / "one" / "keep.txt", "kept from the first session\n");
        writeFile(dir / "one" / "replace.txt", "old contents\n");
        writeFile(dir / "one" / "remove.txt", "to be removed\n");
        writeFile(dir / "one" / "A Long Name With Spaces.text", "long name\n");
        writeFile(dir / "one" / "sub" / "deep.txt", std::string(5000, 'd'));
        writeFile(dir / "one" / "sub" / "gone" / "x.txt", "x\n");
        writeFile(dir / "one" / "empty.txt", "");
    }
    std::string firstSession(const std::string &tool, const std::vector<std::string> &extra = {"-J"})
    {
        firstTree();
        std::vector<std::string> argv;
        if (tool == "xorriso")
            argv = {"xorriso", "-as", "mkisofs", "-quiet", "-R"};
        else
            argv = {"genisoimage", "-quiet", "-R"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.insert(argv.end(), {"-V", "FIRST_SESSION", "-o", path("one.iso"), path("one")});
        run(argv);
        return path("one.iso");
    }
    VornDevice *insert(const std::string &disc)
    {
        vornDisc({"load", drivesFile.string(), "Burner", disc});
        EXPECT_EQ(VornControl_RescanDrivesFile(), 1) << drivesFileError();
        auto entry = entryOf("Burner");
        if (device_)
            VornCloseDevice(device_);
        device_ = VornOpenDevice(&entry);
        EXPECT_NE(device_, nullptr);
        return device_;
    }
    std::string errorLog()
    {
        char *log = VornGetErrorLog();
        std::string out = log ? log : "";
        VornFreeMem(log);
        return out;
    }
    VornDataCompilationItem *item(const char *p) { return VornDataCompilation_GetItemFromPath(h_, p, 3); }

    // Every path of the compilation with its type and multisession type.
    std::set<std::string> listing(VornDataCompilationItem *d = nullptr, const std::string &prefix = "")
    {
        std::set<std::string> out;
        if (!d)
            d = item("");
        for (auto *i = VornDataCompilation_GetDirectoryFirstEntry(h_, d); i;
             i = VornDataCompilation_GetDirectoryNextEntry(i)) {
            const std::string p = prefix + "/" + VornDataCompilation_GetItemName(h_, i, 3);
            out.insert(p + " " + std::to_string(VornDataCompilationItem_GetType(i)) + " " +
                       std::to_string(VornDataCompilationItem_GetItemMultisessionType(i)));
            if (VornDataCompilationItem_GetType(i) == VORN_DATA_ITEM_DIRECTORY)
                out.merge(listing(i, p));
        }
        return out;
    }
    std::vector<std::uint64_t> sizes()
    {
        return {VornDataCompilation_GetTotalBlocks(h_), VornDataCompilation_GetSizeAlreadyOnDisc(h_),
                VornDataCompilation_GetOnDiscFilesSize(h_), VornDataCompilation_GetNewFilesSize(h_),
                VornDataCompilation_GetFilesCount(h_), VornDataCompilation_GetFoldersCount(h_)};
    }
    std::uint32_t nextAddress(const std::string &disc)
    {
        auto ms = vornDisc({"msinfo", disc}).out;
        return static_cast<std::uint32_t>(std::stoul(ms.substr(ms.find(',') + 1)));
    }
    // The 32-bit little-endian number at a byte offset of a file.
    std::uint32_t le32At(const std::string &file, std::uint64_t offset)
    {
        std::ifstream in(file, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        unsigned char b[4] = {};
        in.read(reinterpret_cast<char *>(b), 4);
        return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }

    VornDataCompilation *h_ = nullptr;
    VornDevice *device_ = nullptr;
};

class ForeignFirstSession : public SessionTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(ForeignFirstSession, ImportedThenContinuedByUsReadsAsTheUnionWithReplacementsAndRemovals)
{
    const std::string one = firstSession(GetParam());
    vornDisc({"make", path("s1.vrn"), one});
    const std::uint32_t next = nextAddress(path("s1.vrn"));
    ASSERT_EQ(VornDataCompilation_ImportTrack(h_, insert(path("s1.vrn")), -1), 1) << errorLog();

    // What was imported: every item with its multisession type, sizes on the
    // disc, no new data, and the session's label.
    EXPECT_EQ(listing(), (std::set<std::string>{
                             "/A Long Name With Spaces.text 0 2", "/empty.txt 0 2", "/keep.txt 0 2",
                             "/remove.txt 0 2", "/replace.txt 0 2", "/sub 1 3", "/sub/deep.txt 0 2",
                             "/sub/gone 1 3", "/sub/gone/x.txt 0 2"}));
    EXPECT_EQ(VornDataCompilation_GetSizeAlreadyOnDisc(h_), std::uint64_t{next} * 2048);
    EXPECT_EQ(VornDataCompilation_GetOnDiscFilesSize(h_), 28u + 13u + 14u + 10u + 5000u + 2u);
    EXPECT_EQ(VornDataCompilation_GetNewFilesSize(h_), 0u);
    EXPECT_STREQ(VornDataCompilationItem_GetFilePath(item("keep.txt")), "");
    EXPECT_EQ(VornDataCompilationItem_GetFileSize(item("sub/deep.txt")), 5000u);
    char *label = VornDataCompilation_GetIsoVolumeLabel(h_);
    EXPECT_STREQ(label, "FIRST_SESSION");
    VornFreeMem(label);

    // Importing again replaces the first import instead of doubling it.
    const auto before = sizes();
    ASSERT_EQ(VornDataCompilation_ImportTrack(h_, device_, 0), 1) << errorLog();
    EXPECT_EQ(sizes(), before);

    // Edit: remove a file and a folder, replace a file, add new ones.
    ASSERT_EQ(VornDataCompilation_DeleteItem(h_, item("remove.txt")), 1);
    ASSERT_EQ(VornDataCompilation_DeleteDirectory(h_, item("sub/gone")), 1);
    ASSERT_EQ(VornDataCompilation_DeleteItem(h_, item("replace.txt")), 1);
    writeFile(dir / "local" / "replace.txt", "new contents, longer than the old ones\n");
    writeFile(dir / "local" / "added.txt", "added in the second session\n");
    auto *replaced = VornDataCompilation_InsertNewItem(h_, item(""), path("local/replace.txt").c_str());
    ASSERT_NE(replaced, nullptr);
    VornDataCompilationItem_SetItemMultisessionType(replaced, VORN_DATA_ITEM_REPLACED);
    ASSERT_NE(VornDataCompilation_InsertNewItem(h_, item("sub"), path("local/added.txt").c_str()), nullptr);

    // Our session, made for the address the disc gives it.
    const auto written = vorn::engine::iso::writeImageFile(*h_, path("two.iso"));
    ASSERT_TRUE(written.ok) << written.error;
    const std::uint32_t total = VornDataCompilation_GetTotalBlocks(h_);
    EXPECT_EQ(written.blocks, total - next);
    EXPECT_EQ(fs::file_size(path("two.iso")), std::uint64_t{total - next} * 2048);
    // The volume space reaches from the start of the disc to the end of the
    // new session.
    EXPECT_EQ(le32At(path("two.iso"), 16 * 2048 + 80), total);

    vornDisc({"make", path("s2.vrn"), one, path("two.iso")});
    vornDisc({"export-iso", path("s2.vrn"), path("grown.iso")});
    run({"xorriso", "-osirrox", "on", "-indev", path("grown.iso"), "-extract", "/", path("out")});
    std::set<std::string> found;
    for (auto &e : fs::recursive_directory_iterator(dir / "out"))
        found.insert(fs::relative(e.path(), dir / "out").string());
    EXPECT_EQ(found, (std::set<std::string>{"A Long Name With Spaces.text", "empty.txt", "keep.txt",
                                            "replace.txt", "sub", "sub/deep.txt", "sub/added.txt"}));
    EXPECT_EQ(readFile(dir / "out" / "keep.txt"), "kept from the first session\n");
    EXPECT_EQ(readFile(dir / "out" / "replace.txt"), "new contents, longer than the old ones\n");
    EXPECT_EQ(readFile(dir / "out" / "sub" / "deep.txt"), std::string(5000, 'd'));
    EXPECT_EQ(readFile(dir / "out" / "sub" / "added.txt"), "added in the second session\n");
    EXPECT_EQ(readFile(dir / "out" / "empty.txt"), "");
}

INSTANTIATE_TEST_SUITE_P(Tools, ForeignFirstSession, ::testing::Values("genisoimage", "xorriso"));

TEST_F(SessionTest, JolietOnlySessionImportsWithItsLongNames)
{
    writeFile(dir / "j" / "Mixed Case Name.txt", "joliet\n");
    run({"genisoimage", "-quiet", "-J", "-o", path("j.iso"), path("j")});
    vornDisc({"make", path("j.vrn"), path("j.iso")});
    ASSERT_EQ(VornDataCompilation_ImportTrack(h_, insert(path("j.vrn")), 0), 1) << errorLog();
    EXPECT_EQ(listing(), std::set<std::string>{"/Mixed Case Name.txt 0 2"});
}

TEST_F(SessionTest, ItemsOfTheUserWinOverImportedOnesOfTheSameName)
{
    const std::string one = firstSession("genisoimage");
    vornDisc({"make", path("s1.vrn"), one});
    writeFile(dir / "local" / "keep.txt", "mine\n");
    auto *mine = VornDataCompilation_InsertNewItem(h_, item(""), path("local/keep.txt").c_str());
    auto *sub = VornDataCompilation_CreateDirectory(h_, item(""), "sub", nullptr, 0, 0, 0);
    ASSERT_TRUE(mine && sub);
    ASSERT_EQ(VornDataCompilation_ImportTrack(h_, insert(path("s1.vrn")), -1), 1) << errorLog();
    EXPECT_EQ(item("keep.txt"), mine);
    EXPECT_EQ(VornDataCompilationItem_GetItemMultisessionType(mine), VORN_DATA_ITEM_REPLACED);
    EXPECT_EQ(item("sub"), sub);
    EXPECT_NE(item("sub/deep.txt"), nullptr);
    EXPECT_EQ(VornDataCompilation_GetNewFilesSize(h_), 5u);
}

// --- Refusals -------------------------------------------------------------

class DamagedSession : public SessionTest {
protected:
    // The compilation before the import, to compare with after the refusal.
    void prepare()
    {
        writeFile(dir / "local" / "mine.txt", "mine\n");
        ASSERT_NE(VornDataCompilation_InsertNewItem(h_, item(""), path("local/mine.txt").c_str()), nullptr);
        before_ = listing();
        sizes_ = sizes();
    }
    void expectRefusedUnchanged(VornDevice *device, int track, const std::string &reason)
    {
        EXPECT_EQ(VornDataCompilation_ImportTrack(h_, device, track), 0);
        const std::string log = errorLog();
        EXPECT_NE(log.find("The session cannot be imported"), std::string::npos) << log;
        EXPECT_NE(log.find(reason), std::string::npos) << log;
        EXPECT_EQ(listing(), before_);
        EXPECT_EQ(sizes(), sizes_);
    }
    // Overwrites bytes of a file in place.
    void patch(const std::string &file, std::uint64_t offset, const std::string &bytes)
    {
        std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(static_cast<std::streamoff>(offset));
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::set<std::string> before_;
    std::vector<std::uint64_t> sizes_;
};

TEST_F(DamagedSession, WithoutVolumeDescriptorsIsRefused)
{
    prepare();
    const std::string one = firstSession("genisoimage");
    patch(one, 16 * 2048, std::string(2048, '\xA5'));
    vornDisc({"make", path("s1.vrn"), one});
    expectRefusedUnchanged(insert(path("s1.vrn")), -1, "no readable ISO 9660 session");
}

TEST_F(DamagedSession, WithAFilePointingPastItsEndIsRefused)
{
    prepare();
    // Rock Ridge only, so the primary tree's records are the ones read.
    const std::string one = firstSession("genisoimage", {});
    std::string image = readFile(one);
    const auto at = image.find("KEEP.TXT;1");
    ASSERT_NE(at, std::string::npos);
    const std::uint64_t record = at - 33;
    patch(one, record + 2, std::string("\x00\x00\x10\x00\x00\x10\x00\x00", 8));  // block 0x100000, both orders
    vornDisc({"make", path("s1.vrn"), one});
    expectRefusedUnchanged(insert(path("s1.vrn")), -1, "keep.txt");
}

TEST_F(DamagedSession, TracksThatHoldNoSessionAreRefused)
{
    prepare();
    run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", path("a.wav"), "synth", "1",
         "sine", "440"});
    writeFile(dir / "a.cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    vornDisc({"make", path("audio.vrn"), path("a.cue")});
    VornDevice *device = insert(path("audio.vrn"));
    expectRefusedUnchanged(device, -1, "no data track");
    expectRefusedUnchanged(device, 0, "not a data track");
    expectRefusedUnchanged(device, 4, "no track 5");
}

}  // namespace
}  // namespace vorn::test
