// vorn-burn as a user runs it: a child process with no display, burning to
// image files and to emulated drives, read back with xorriso and vorn-disc.
#include "TestEnvironment.h"
#include "VornPaths.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

class BurnCliTest : public ::testing::Test {
protected:
    TempDir dir;

    static std::string tool(const std::string &name) { return std::string(VORN_BIN_DIR) + "/" + name; }

    // An outside program by its name on PATH.
    static std::string program(const std::string &name)
    {
        gchar *found = g_find_program_in_path(name.c_str());
        std::string path = found ? found : name;
        g_free(found);
        return path;
    }

    ProcessResult burn(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        args.insert(args.begin(), tool("vorn-burn"));
        return runProcess(args, env, {"DISPLAY", "WAYLAND_DISPLAY"}, 120);
    }

    // A small tree with a nested folder, an empty folder, an empty file and
    // a name with blanks and non-ASCII letters.
    fs::path makeTree(const std::string &name)
    {
        const fs::path root = dir / name;
        writeFile(root / "readme.txt", "read me\n");
        writeFile(root / "docs" / "Überblick und Plan.txt", std::string(5000, 'u'));
        writeFile(root / "docs" / "deeper" / "data.bin", std::string(300000, 'd'));
        writeFile(root / "empty.txt", "");
        fs::create_directories(root / "nothing here");
        return root;
    }

    // Extracts an ISO image with xorriso into a fresh folder.
    fs::path extract(const fs::path &image, const std::string &name)
    {
        const fs::path out = dir / name;
        const ProcessResult x = runProcess({program("xorriso"), "-osirrox", "on", "-indev", image.string(), "-extract", "/",
                                            out.string()});
        EXPECT_EQ(x.exitStatus, 0) << x.err;
        return out;
    }

    static void expectSameTree(const fs::path &a, const fs::path &b)
    {
        const ProcessResult d = runProcess({program("diff"), "-r", a.string(), b.string()});
        EXPECT_EQ(d.exitStatus, 0) << d.out << d.err;
    }

    // What is on a disc container, as the engine reads it.
    static std::string toc(const fs::path &disc)
    {
        const ProcessResult r = runProcess({tool("vorn-disc"), "toc", disc.string()});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return r.out;
    }

    static std::vector<std::string> filesIn(const fs::path &folder)
    {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        return names;
    }

    // A drives file with one CD recorder holding a blank CD-R.
    fs::path makeDrive()
    {
        const fs::path disc = dir / "blank.vrn";
        const ProcessResult made = runProcess({tool("vorn-disc"), "create", disc.string()});
        EXPECT_EQ(made.exitStatus, 0) << made.err;
        writeFile(dir / "drives.ini", "[burner]\nName=Test Burner\nWriteMedia=CD-R;CD-RW\nDisc=blank.vrn\n");
        return dir / "drives.ini";
    }
};

TEST_F(BurnCliTest, FolderBurnedToAnImageExtractsToTheSameTree)
{
    if (!haveTool("xorriso"))
        GTEST_SKIP() << "xorriso is not installed";
    const fs::path tree = makeTree("tree");
    const fs::path image = dir / "out" / "tree.iso";
    fs::create_directories(image.parent_path());

    const ProcessResult r = burn({"--image", image.string(), "--volume-label", "Holiday 2024", tree.string()});
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    // Not a terminal: plain lines, no carriage returns of a progress bar.
    EXPECT_NE(r.out.find("Burn completed successfully"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    // The image only, no temporary file beside it.
    EXPECT_EQ(filesIn(image.parent_path()), std::vector<std::string>{"tree.iso"});

    expectSameTree(tree, extract(image, "x"));
    const ProcessResult pvd = runProcess({program("xorriso"), "-indev", image.string(), "-pvd_info"});
    EXPECT_NE(pvd.out.find("Volume Id    : HOLIDAY_2024"), std::string::npos) << pvd.out;
}

TEST_F(BurnCliTest, SeveralFoldersMeetAtTheDiscRoot)
{
    if (!haveTool("xorriso"))
        GTEST_SKIP() << "xorriso is not installed";
    writeFile(dir / "one" / "a.txt", "a\n");
    writeFile(dir / "two" / "sub" / "b.txt", "b\n");
    const fs::path image = dir / "both.iso";
    const ProcessResult r = burn({"--image", image.string(), (dir / "one").string(), (dir / "two").string()});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    writeFile(dir / "expected" / "a.txt", "a\n");
    writeFile(dir / "expected" / "sub" / "b.txt", "b\n");
    expectSameTree(dir / "expected", extract(image, "x"));
}

// A saved data compilation of two files, one of them in a folder, and a
// second session added to the disc from a folder with --multisession: the
// exported disc holds both, the folder merged and the file given again
// replaced.
TEST_F(BurnCliTest, SavedCompilationThenASecondSessionOnAnEmulatedDrive)
{
    if (!haveTool("xorriso"))
        GTEST_SKIP() << "xorriso is not installed";
    writeFile(dir / "first" / "letter.txt", "dear reader\n");
    writeFile(dir / "first" / "photos" / "one.jpg", std::string(40000, 'p'));
    const std::string first = (dir / "first").string();
    writeFile(dir / "saved.vcf",
              "<!-- Vorn Linux compilation file. -->\n"
              "<?xml version='1.0' encoding='UTF-8'?>\n"
              "<Compilation type='1' media='1' />\n"
              "<FileSystem>\n"
              "  <File><Names><Original encoding='UTF-8' value='letter.txt' /></Names>"
              "<Origin encoding='UTF-8' value='" + first + "/letter.txt' /></File>\n"
              "  <Directory><Names><Original encoding='UTF-8' value='photos' /></Names><Items>\n"
              "    <File><Names><Original encoding='UTF-8' value='one.jpg' /></Names>"
              "<Origin encoding='UTF-8' value='" + first + "/photos/one.jpg' /></File>\n"
              "  </Items></Directory>\n"
              "</FileSystem>\n");
    const fs::path drives = makeDrive();
    const std::map<std::string, std::string> env{{"VORN_EMULATED_DRIVES", drives.string()},
                                                 {"VORN_CONTROL_TIME_SCALE", "0"}};

    ProcessResult r = burn({"--recorder", "Test Burner", "--close-session", (dir / "saved.vcf").string()}, env);
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    r = runProcess({tool("vorn-disc"), "export-iso", (dir / "blank.vrn").string(), (dir / "s1.iso").string()});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    expectSameTree(dir / "first", extract(dir / "s1.iso", "x1"));

    writeFile(dir / "second" / "later.txt", "added later\n");
    writeFile(dir / "second" / "letter.txt", "dear reader, revised\n");
    writeFile(dir / "second" / "photos" / "two.jpg", std::string(30000, 'q'));
    r = burn({"--recorder", "Test Burner", "--multisession", (dir / "second").string()}, env);
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    r = runProcess({tool("vorn-disc"), "export-iso", (dir / "blank.vrn").string(), (dir / "s2.iso").string()});
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    writeFile(dir / "union" / "letter.txt", "dear reader, revised\n");
    writeFile(dir / "union" / "photos" / "one.jpg", std::string(40000, 'p'));
    writeFile(dir / "union" / "later.txt", "added later\n");
    writeFile(dir / "union" / "photos" / "two.jpg", std::string(30000, 'q'));
    expectSameTree(dir / "union", extract(dir / "s2.iso", "x2"));

    // A new compilation without --multisession does not go onto a disc
    // holding data: refused at once, the disc left as it was.
    const std::string before = toc(dir / "blank.vrn");
    r = burn({"--recorder", "Test Burner", (dir / "second").string()}, env);
    EXPECT_EQ(r.exitStatus, 3) << r.out << r.err;
    EXPECT_NE(r.err.find("no suitable disc in \"Test Burner\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("give --multisession"), std::string::npos) << r.err;
    EXPECT_EQ(toc(dir / "blank.vrn"), before);
}

// Erasing a rewritable disc that holds data is the one question that loses
// data: refused without --yes (the disc untouched), done with it.
TEST_F(BurnCliTest, RewritableDiscHoldingDataIsErasedOnlyWithYes)
{
    const fs::path tree = makeTree("tree");
    const fs::path image = dir / "old.iso";
    ASSERT_EQ(burn({"--image", image.string(), tree.string()}).exitStatus, 0);
    const ProcessResult made =
        runProcess({tool("vorn-disc"), "make", "--medium", "CD-RW", (dir / "rw.vrn").string(), image.string()});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    writeFile(dir / "drives.ini", "[burner]\nName=Test Burner\nWriteMedia=CD-R;CD-RW\nDisc=rw.vrn\n");
    const std::map<std::string, std::string> env{{"VORN_EMULATED_DRIVES", (dir / "drives.ini").string()},
                                                 {"VORN_CONTROL_TIME_SCALE", "0"}};
    writeFile(dir / "new" / "fresh.txt", "fresh\n");

    const std::string before = toc(dir / "rw.vrn");
    ProcessResult r = burn({"--recorder", "Test Burner", (dir / "new").string()}, env);
    EXPECT_EQ(r.exitStatus, 3) << r.out << r.err;
    EXPECT_NE(r.err.find("--yes erases it"), std::string::npos) << r.err;
    EXPECT_EQ(toc(dir / "rw.vrn"), before);

    r = burn({"--recorder", "Test Burner", "--yes", (dir / "new").string()}, env);
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    if (!haveTool("xorriso"))
        return;
    r = runProcess({tool("vorn-disc"), "export-iso", (dir / "rw.vrn").string(), (dir / "rw.iso").string()});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    expectSameTree(dir / "new", extract(dir / "rw.iso", "x"));
}

// A simulation writes nothing; a verified write reads its data back.
TEST_F(BurnCliTest, SimulateLeavesTheDiscBlankAndVerifyReadsBack)
{
    const fs::path tree = makeTree("tree");
    const std::map<std::string, std::string> env{{"VORN_EMULATED_DRIVES", makeDrive().string()},
                                                 {"VORN_CONTROL_TIME_SCALE", "0"}};
    const std::string blank = toc(dir / "blank.vrn");

    ProcessResult r = burn({"--recorder", "Test Burner", "--simulate", tree.string()}, env);
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Simulating"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Simulation completed successfully"), std::string::npos) << r.out;
    EXPECT_EQ(toc(dir / "blank.vrn"), blank);

    r = burn({"--recorder", "Test Burner", "--verify", "--speed", "1200", tree.string()}, env);
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Verif"), std::string::npos) << r.out;
    EXPECT_NE(toc(dir / "blank.vrn"), blank);
}

TEST_F(BurnCliTest, TerminalGetsAProgressBar)
{
    if (!haveTool("script"))
        GTEST_SKIP() << "script is not installed";
    writeFile(dir / "tree" / "data.bin", std::string(2 << 20, 'd'));
    const std::string image = (dir / "tty.iso").string();
    // script gives the program a terminal of its own.
    const ProcessResult r = runProcess({program("script"), "-qec",
                                        tool("vorn-burn") + " --image '" + image + "' '" + (dir / "tree").string() + "'",
                                        "/dev/null"},
                                       {}, {"DISPLAY"});
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\rWriting"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("100%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("#####"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(image));
}

TEST_F(BurnCliTest, HelpAndListNeedNoInput)
{
    const ProcessResult help = burn({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char *text : {"--recorder NAME", "--image FILE", "--multisession", "--yes", "5 aborted"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;

    const ProcessResult list = burn({"--list"}, {{"VORN_EMULATED_DRIVES", makeDrive().string()}});
    EXPECT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_NE(list.out.find("Test Burner\tCD-R"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("CD-RW"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("image files"), std::string::npos) << list.out;
}

TEST_F(BurnCliTest, BadArgumentsAreUsageErrors)
{
    const fs::path tree = makeTree("tree");
    const std::string image = (dir / "x.iso").string();
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{}, "name a recorder"},
        {{"--image", image}, "nothing to burn"},
        {{"--image", image, "--bogus", tree.string()}, "unknown option --bogus"},
        {{"--image", image, "--recorder", "R", tree.string()}, "not both"},
        {{"--image", image, "--speed", "fast", tree.string()}, "bad speed"},
        {{"--image", image, "--speed"}, "--speed needs"},
        {{"--recorder", "R", "--finalize", "--close-session", tree.string()}, "not both"},
        {{"--image", image, "--multisession", tree.string()}, "not to an image file"},
    };
    for (const auto &c : cases) {
        const ProcessResult r = burn(c.args);
        EXPECT_EQ(r.exitStatus, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: vorn-burn"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(image));
}

TEST_F(BurnCliTest, MissingInputLeavesNoImage)
{
    const fs::path tree = makeTree("tree");
    fs::create_directories(dir / "out");
    const std::string image = (dir / "out" / "x.iso").string();

    ProcessResult r = burn({"--image", image, tree.string(), (dir / "absent").string()});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("absent: No such file or directory"), std::string::npos) << r.err;

    // A file that is not a compilation.
    writeFile(dir / "notes.txt", "just text\n");
    r = burn({"--image", image, (dir / "notes.txt").string()});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("notes.txt"), std::string::npos) << r.err;

    EXPECT_TRUE(filesIn(dir / "out").empty());
}

TEST_F(BurnCliTest, UnknownRecorderAndNoDisc)
{
    const fs::path tree = makeTree("tree");
    const fs::path drives = makeDrive();
    ProcessResult r = burn({"--recorder", "No Such Burner", tree.string()}, {{"VORN_EMULATED_DRIVES", drives}});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_NE(r.err.find("no recorder named \"No Such Burner\""), std::string::npos) << r.err;

    // The recorder is there, its tray empty: refused, nothing waits for a disc.
    writeFile(drives, "[burner]\nName=Test Burner\nWriteMedia=CD-R\n");
    r = burn({"--recorder", "Test Burner", tree.string()}, {{"VORN_EMULATED_DRIVES", drives}});
    EXPECT_EQ(r.exitStatus, 3) << r.err;
    EXPECT_NE(r.err.find("no suitable disc"), std::string::npos) << r.err;
}

TEST_F(BurnCliTest, FailedBurnPrintsTheEnginesMessage)
{
    // A target folder where no file can be created.
    const fs::path tree = makeTree("tree");
    const ProcessResult r = burn({"--image", "/proc/vorn-burn-test.iso", tree.string()});
    EXPECT_EQ(r.exitStatus, 4) << r.out << r.err;
    EXPECT_NE(r.err.find("the burn failed (8)"), std::string::npos) << r.err;
    // The engine's own words say why.
    EXPECT_NE(r.err.find("not enough space for the image /proc/vorn-burn-test.iso"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists("/proc/vorn-burn-test.iso"));
}

TEST_F(BurnCliTest, InterruptAbortsTheBurn)
{
    if (!haveTool("timeout"))
        GTEST_SKIP() << "timeout is not installed";
    // Big enough that a write at single speed lasts well past the signal.
    writeFile(dir / "big" / "data.bin", std::string(8 << 20, 'b'));
    const fs::path drives = makeDrive();
    const ProcessResult r =
        runProcess({program("timeout"), "--preserve-status", "-s", "INT", "3", tool("vorn-burn"), "--recorder",
                    "Test Burner", "--speed", "150", (dir / "big").string()},
                   {{"VORN_EMULATED_DRIVES", drives.string()}}, {"DISPLAY"}, 60);
    EXPECT_EQ(r.exitStatus, 5) << r.out << r.err;
    EXPECT_NE(r.err.find("the burn was aborted"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Burn completed"), std::string::npos);
}

}  // namespace
}  // namespace vorn::test
