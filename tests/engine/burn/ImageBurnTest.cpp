// Burning image files and cue sheets: a sheet of BINARY and WAVE tracks made
// by sox comes back sample for sample with its gaps, codes and texts; a
// container of two sessions keeps its stamp; an image other programs made
// comes back byte for byte; files that cannot be burned are refused with
// their reason before anything is written.
#include "EngineFixture.h"
#include "VornPaths.h"
#include "VrnDisc.h"

#include <glib.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace vorn::test {
namespace {

constexpr std::uint32_t kWrite = VORN_BURN_WRITE | VORN_BURN_SPEED_IN_KBS;

struct Freer {
    void operator()(void *p) const { VornFreeMem(p); }
};
template <class T> using EngineMem = std::unique_ptr<T, Freer>;

VornExtendedProgress *gAbortingProgress = nullptr;

extern "C" int abortHalfway(int64_t done, int64_t total)
{
    if (done > 0 && done < total)
        VornExtendedProgress_SetUserAbort(gAbortingProgress, 1);
    return 0;
}

class ImageBurnTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(vrn::VrnDisc::create(dir / "blank.vrn", VORN_MEDIUM_CD_R, 20000).ok());
        ASSERT_TRUE(vrn::VrnDisc::create(dir / "dvd.vrn", VORN_MEDIUM_DVD_PLUS_R, 20000).ok());
        ASSERT_TRUE(vrn::VrnDisc::create(dir / "small.vrn", VORN_MEDIUM_CD_R, 1000).ok());
        drives("");
        ASSERT_EQ(start(), VORN_INIT_OK);
    }
    void TearDown() override
    {
        for (auto *h : handles)
            VornCloseDevice(h);
        VornControl_SetImageFileName(nullptr);
        for (auto *c : images)
            VornImageCompilation_Destroy(c);
        for (auto *c : sheets)
            VornCueSheetCompilation_Destroy(c);
        EngineTest::TearDown();
    }

    // The writer holds a blank CD-R; the reader holds `readerDisc`, if any.
    void drives(const std::string &readerDisc)
    {
        writeDrives("[Writer]\nHostAdapter=1\nDeviceId=0\nWriteMedia=CD-R;CD-RW;DVD+R\nDisc=blank.vrn\n"
                    "[DvdWriter]\nHostAdapter=1\nDeviceId=1\nWriteMedia=CD-R;DVD+R\nDisc=dvd.vrn\n"
                    "[Small]\nHostAdapter=1\nDeviceId=2\nWriteMedia=CD-R\nDisc=small.vrn\n"
                    "[Reader]\nHostAdapter=1\nDeviceId=3\nType=reader\nReadMedia=CD-ROM;CD-R\n" +
                    (readerDisc.empty() ? std::string() : "Disc=" + readerDisc + "\n"));
    }
    VornDevice *open(int ha, int id)
    {
        VornDeviceEntry entry{};
        entry.hostAdapter = ha;
        entry.deviceId = id;
        VornDevice *h = VornOpenDevice(&entry);
        EXPECT_NE(h, nullptr);
        handles.push_back(h);
        return h;
    }
    VornDevice *writer() { return open(1, 0); }

    VornImageCompilation *image(const std::filesystem::path &path, std::uint32_t family = VORN_FAMILY_CD)
    {
        auto *c = VornImageCompilation_New(path.c_str(), family);
        if (c)
            images.push_back(c);
        return c;
    }
    VornCueSheetCompilation *sheet(const std::filesystem::path &path)
    {
        auto *c = VornCueSheetCompilation_New(path.c_str(), VORN_FAMILY_CD);
        if (c)
            sheets.push_back(c);
        return c;
    }
    int burn(VornDevice *device, void *compilation, std::uint32_t flags = kWrite, VornExtendedProgress *progress = nullptr)
    {
        VornWriteDescription d{VORN_WRITE_IMAGE, compilation, progress, 1};
        return VornBurn(device, VORN_BURN_MAGIC, &d, flags, 0, nullptr);
    }
    int burnToFile(void *compilation, const std::filesystem::path &target)
    {
        VornControl_SetImageFileName(target.c_str());
        return burn(open(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID), compilation);
    }
    std::string lastLogLine()
    {
        char *log = VornGetErrorLog();
        std::string text = log ? log : "";
        VornFreeMem(log);
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        auto nl = text.rfind('\n');
        return nl == std::string::npos ? text : text.substr(nl + 1);
    }
    std::string stamp(VornDevice *h)
    {
        char *s = VornGetCDStampHash(h);
        std::string out = s ? s : "(null)";
        VornFreeMem(s);
        return out;
    }

    ProcessResult run(std::vector<std::string> argv)
    {
        gchar *found = g_find_program_in_path(argv[0].c_str());
        if (found) {
            argv[0] = found;
            g_free(found);
        }
        auto r = runProcess(argv);
        EXPECT_EQ(r.exitStatus, 0) << argv[0] << ": " << r.err;
        return r;
    }
    ProcessResult vornDisc(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv{std::string(VORN_BIN_DIR) + "/vorn-disc"};
        argv.insert(argv.end(), args.begin(), args.end());
        auto r = runProcess(argv);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return r;
    }
    bool needTools(std::initializer_list<const char *> tools)
    {
        for (const char *t : tools)
            if (!haveTool(t)) {
                missing = t;
                return false;
            }
        return true;
    }
    // A small tree as an image genisoimage makes.
    std::filesystem::path isoOf(const std::string &name)
    {
        writeFile(dir / (name + "-tree") / "readme.txt", "what the image holds\n");
        writeFile(dir / (name + "-tree") / "data.bin", pattern(300000, 3));
        run({"genisoimage", "-quiet", "-J", "-R", "-o", (dir / name).string(), (dir / (name + "-tree")).string()});
        return dir / name;
    }
    // Seconds of a tone as CD audio, made by sox, and its raw samples.
    std::string wavOf(const std::string &name, const std::string &seconds, const std::string &hz)
    {
        run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", (dir / name).string(), "synth",
             seconds, "sine", hz});
        run({"sox", (dir / name).string(), "-t", "raw", "-e", "signed", "-b", "16", "-L",
             (dir / (name + ".raw")).string()});
        return bytesOf(dir / (name + ".raw"));
    }

    std::vector<VornDevice *> handles;
    std::vector<VornImageCompilation *> images;
    std::vector<VornCueSheetCompilation *> sheets;
    std::string missing;
};

// --- Cue sheets --------------------------------------------------------------------

TEST_F(ImageBurnTest, CueSheetOfBinaryAndWaveTracksComesBackWithSamplesGapsCodesAndTexts)
{
    if (!needTools({"sox"}))
        GTEST_SKIP() << missing << " is not installed";
    const std::string data = pattern(200 * 2048, 5);
    writeFile(dir / "data.bin", data);
    const std::string first = wavOf("first.wav", "2", "440");    // 150 blocks
    const std::string second = wavOf("second.wav", "1.6", "660"); // 120 blocks
    writeFile(dir / "disc.cue", "CATALOG 1234567890128\n"
                                "TITLE \"Album\"\nPERFORMER \"Band\"\n"
                                "FILE \"data.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
                                "FILE \"first.wav\" WAVE\n  TRACK 02 AUDIO\n    TITLE \"Opening\"\n"
                                "    ISRC DEABC2600001\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n"
                                "FILE \"second.wav\" WAVE\n  TRACK 03 AUDIO\n    TITLE \"Closing\"\n"
                                "    INDEX 00 00:00:00\n    INDEX 01 00:00:30\n");
    auto *cue = sheet(dir / "disc.cue");
    ASSERT_NE(cue, nullptr) << lastLogLine();
    VornDevice *w = writer();
    ASSERT_EQ(burn(w, cue), VORN_BURN_OK) << lastLogLine();

    // The table of contents: the data track, then the audio with its gaps.
    EngineMem<VornDiscInfo> info(VornGetCDInfo(w, VORN_CDINFO_READ_CDTEXT | VORN_CDINFO_DETECT_FILESYSTEMS));
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->trackCount, 3);
    EXPECT_STREQ(info->mcn, "1234567890128");
    EXPECT_STREQ(info->title, "Album");
    auto *t1 = VornDiscInfo_Track(info.get(), 0);
    auto *t2 = VornDiscInfo_Track(info.get(), 1);
    auto *t3 = VornDiscInfo_Track(info.get(), 2);
    EXPECT_EQ(t1->type, VORN_TRACK_DATA);
    EXPECT_EQ(t1->lengthBlocks, 200);
    EXPECT_EQ(t2->type, VORN_TRACK_AUDIO);
    EXPECT_EQ(t2->blockSize, 2352);
    EXPECT_GE(t2->pregapBlocks, 150);
    EXPECT_GE(t2->startBlock - (t1->startBlock + t1->lengthBlocks), 150);
    EXPECT_EQ(t3->pregapBlocks, 30);
    EXPECT_EQ(t3->startBlock - (t2->startBlock + t2->lengthBlocks), 30);
    EXPECT_EQ(t3->lengthBlocks, 90);
    EXPECT_STREQ(t2->isrc, "DEABC2600001");
    EXPECT_STREQ(t2->title, "Opening");
    EXPECT_STREQ(t3->title, "Closing");

    // Exported again: the samples of both files in order, the gap inside the
    // second one as its INDEX 00, the data track's gap as a PREGAP.
    auto exported = dir / "out.cue";
    vornDisc({"export-audio", (dir / "blank.vrn").string(), exported.string()});
    const std::string bin = bytesOf(dir / "out.bin");
    ASSERT_EQ(bin.size(), first.size() + second.size());
    EXPECT_TRUE(bin == first + second) << "the audio differs from the sources";
    const std::string cueText = readFile(exported);
    EXPECT_NE(cueText.find("PREGAP"), std::string::npos) << cueText;
    EXPECT_NE(cueText.find("INDEX 00 00:02:00"), std::string::npos) << cueText;
    EXPECT_NE(cueText.find("ISRC DEABC2600001"), std::string::npos) << cueText;
    if (haveTool("cdrdao")) {
        auto toc = run({"sh", "-c", "cd '" + dir.path().string() + "' && cdrdao show-toc out.cue 2>&1"});
        EXPECT_NE(toc.out.find("TRACK  2  Mode AUDIO"), std::string::npos) << toc.out;
        EXPECT_NE(toc.out.find("PREGAP 00:00:30"), std::string::npos) << toc.out;
    }
}

TEST_F(ImageBurnTest, CueSheetGoesToTheImageRecorderOnlyAsAContainer)
{
    writeFile(dir / "audio.bin", pattern(100 * 2352, 7));
    writeFile(dir / "audio.cue", "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    auto *cue = sheet(dir / "audio.cue");
    ASSERT_NE(cue, nullptr) << lastLogLine();

    EXPECT_EQ(burnToFile(cue, dir / "audio.iso"), VORN_BURN_NOT_WRITABLE);
    EXPECT_NE(lastLogLine().find("disc container"), std::string::npos) << lastLogLine();
    EXPECT_FALSE(std::filesystem::exists(dir / "audio.iso"));

    ASSERT_EQ(burnToFile(cue, dir / "audio.vrn"), VORN_BURN_OK) << lastLogLine();
    auto disc = vrn::VrnDisc::open(dir / "audio.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok()) << disc.error();
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    std::string samples(100 * 2352, '\0');
    ASSERT_TRUE(disc.value()
                    .readTrackBlocks(0, 0, std::span<std::uint8_t>(reinterpret_cast<std::uint8_t *>(samples.data()), samples.size()))
                    .ok());
    EXPECT_TRUE(samples == pattern(100 * 2352, 7));
    // Nothing but the container is left beside it.
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

// --- Containers and plain images ---------------------------------------------------------

TEST_F(ImageBurnTest, ContainerOfTwoSessionsBurnedToABlankDiscKeepsItsStamp)
{
    {
        auto made = vrn::VrnDisc::create(dir / "source.vrn", VORN_MEDIUM_CD_R, 20000);
        ASSERT_TRUE(made.ok()) << made.error();
        auto &src = made.value();
        vrn::TrackSpec one;
        one.pregap = 150;
        one.start = 0;
        one.length = 300;
        auto a = src.appendTrack(one);
        ASSERT_TRUE(a.ok()) << a.error();
        const std::string first = pattern(300 * 2048, 1);
        ASSERT_TRUE(src.writeTrackBlocks(a.value(), 0, std::span<const std::uint8_t>(
                                                           reinterpret_cast<const std::uint8_t *>(first.data()), first.size()))
                        .ok());
        ASSERT_TRUE(src.closeSession().ok());
        vrn::TrackSpec two = one;
        two.start = *src.nextWritableAddress() + 150;
        two.length = 120;
        auto b = src.appendTrack(two);
        ASSERT_TRUE(b.ok()) << b.error();
        const std::string second = pattern(120 * 2048, 2);
        ASSERT_TRUE(src.writeTrackBlocks(b.value(), 0, std::span<const std::uint8_t>(
                                                           reinterpret_cast<const std::uint8_t *>(second.data()), second.size()))
                        .ok());
        ASSERT_TRUE(src.closeSession().ok());
    }
    drives("source.vrn");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1) << drivesFileError();
    const std::string before = stamp(open(1, 3));
    ASSERT_FALSE(before.empty());

    auto *img = image(dir / "source.vrn");
    ASSERT_NE(img, nullptr) << lastLogLine();
    VornDevice *w = writer();
    ASSERT_EQ(burn(w, img), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(stamp(w), before);
    EngineMem<VornDiscInfo> info(VornGetCDInfo(w, 0));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->sessionCount, 2);

    // A disc too small for the second session is refused untouched.
    const std::string smallBefore = bytesOf(dir / "small.vrn");
    EXPECT_EQ(burn(open(1, 2), img), VORN_BURN_DISC_TOO_SMALL);
    EXPECT_NE(lastLogLine().find("Small"), std::string::npos) << lastLogLine();
    EXPECT_TRUE(bytesOf(dir / "small.vrn") == smallBefore);
}

TEST_F(ImageBurnTest, PlainImageBurnedAndExportedBackEqualsTheOriginal)
{
    if (!needTools({"genisoimage"}))
        GTEST_SKIP() << missing << " is not installed";
    const auto iso = isoOf("made.iso");
    auto *img = image(iso);
    ASSERT_NE(img, nullptr) << lastLogLine();
    VornDevice *w = writer();
    ASSERT_EQ(burn(w, img), VORN_BURN_OK) << lastLogLine();
    EngineMem<VornDiscInfo> info(VornGetCDInfo(w, 0));
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->trackCount, 1);
    EXPECT_EQ(VornDiscInfo_Track(info.get(), 0)->type, VORN_TRACK_DATA);
    // Without the compilation's permission the disc is finalized even when
    // the burn asks to leave it open.
    EXPECT_EQ(info->state, VORN_DISC_CLOSED);

    vornDisc({"export-iso", (dir / "blank.vrn").string(), (dir / "back.iso").string()});
    EXPECT_TRUE(bytesOf(dir / "back.iso") == bytesOf(iso));

    // The image recorder copies it to a plain image as well.
    ASSERT_EQ(burnToFile(img, dir / "copy.iso"), VORN_BURN_OK) << lastLogLine();
    EXPECT_TRUE(bytesOf(dir / "copy.iso") == bytesOf(iso));

    // A one-track CD image may go to a DVD.
    auto *toDvd = image(iso, VORN_FAMILY_DVD);
    ASSERT_NE(toDvd, nullptr) << lastLogLine();
    ASSERT_EQ(burn(open(1, 1), toDvd), VORN_BURN_OK) << lastLogLine();
    vornDisc({"export-iso", (dir / "dvd.vrn").string(), (dir / "dvd.iso").string()});
    EXPECT_TRUE(bytesOf(dir / "dvd.iso") == bytesOf(iso));
}

TEST_F(ImageBurnTest, FinalizingIsLeftOutOnlyWhenTheCompilationAllowsIt)
{
    if (!needTools({"genisoimage"}))
        GTEST_SKIP() << missing << " is not installed";
    auto *img = image(isoOf("open.iso"));
    ASSERT_NE(img, nullptr) << lastLogLine();
    EXPECT_EQ(VornImageCompilation_SetAllowDisableFinalize(img, 1), 1);
    VornDevice *w = writer();
    ASSERT_EQ(burn(w, img, kWrite | VORN_BURN_CLOSE_SESSION), VORN_BURN_OK) << lastLogLine();
    EngineMem<VornDiscInfo> info(VornGetCDInfo(w, 0));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->state, VORN_DISC_APPENDABLE);
}

// --- Interrupted burns ------------------------------------------------------------------

TEST_F(ImageBurnTest, AbortOrWriteFailureLeavesTheTrackUnfinishedAndNoFileBehind)
{
    writeFile(dir / "long.bin", pattern(900 * 2352, 6));
    writeFile(dir / "long.cue", "FILE \"long.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    auto *cue = sheet(dir / "long.cue");
    ASSERT_NE(cue, nullptr) << lastLogLine();

    std::unique_ptr<VornExtendedProgress, void (*)(VornExtendedProgress *)> progress(VornExtendedProgress_New(),
                                                                                     VornExtendedProgress_Destroy);
    gAbortingProgress = progress.get();
    VornExtendedProgress_SetCallback_ProgressCallback(progress.get(), abortHalfway);
    EXPECT_EQ(burn(writer(), cue, kWrite, progress.get()), VORN_BURN_ABORTED);
    {
        auto disc = vrn::VrnDisc::open(dir / "blank.vrn", vrn::VrnDisc::Access::ReadOnly);
        ASSERT_TRUE(disc.ok()) << disc.error();
        ASSERT_EQ(disc.value().tracks().size(), 1u);
        EXPECT_TRUE(disc.value().tracks().back().flags & vrn::kTrackIncomplete);
    }

    // The image recorder leaves neither the container nor its temporary file.
    VornExtendedProgress_SetUserAbort(progress.get(), 0);
    VornControl_SetImageFileName((dir / "stopped.vrn").c_str());
    EXPECT_EQ(burn(open(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID), cue, kWrite, progress.get()),
              VORN_BURN_ABORTED);
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("stopped"), std::string::npos) << entry.path();

    // A disc that fails halfway through the write says so.
    EXPECT_EQ(burn(open(1, 1), cue), VORN_BURN_NOT_WRITABLE) << "a DVD takes no cue sheet";
    EXPECT_NE(lastLogLine().find("DvdWriter"), std::string::npos) << lastLogLine();
    ASSERT_TRUE(vrn::VrnDisc::create(dir / "second.vrn", VORN_MEDIUM_CD_R, 20000).ok());
    vornDisc({"load", drivesFile.string(), "Small", (dir / "second.vrn").string()});
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1) << drivesFileError();
    ASSERT_EQ(VornControl_FailWriteAfterBytes(1, 2, 100000), 1);
    EXPECT_EQ(burn(open(1, 2), cue), VORN_BURN_WRITE_ERROR);
    EXPECT_NE(lastLogLine().find("Small"), std::string::npos) << lastLogLine();
}

// --- Refusals --------------------------------------------------------------------------

TEST_F(ImageBurnTest, ImagesThatCannotBeBurnedAreRefusedWithTheirReason)
{
    writeFile(dir / "junk.iso", pattern(40 * 2048, 9));
    writeFile(dir / "cut.vrn", bytesOf(dir / "blank.vrn").substr(0, 100));
    struct Case {
        std::string file;
        std::string expected;
    } cases[] = {
        {"missing.iso", "not a readable file"},
        {"junk.iso", "no ISO 9660 or UDF volume"},
        {"cut.vrn", "truncated"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(VornImageCompilation_New((dir / c.file).c_str(), VORN_FAMILY_CD), nullptr);
        const std::string line = lastLogLine();
        EXPECT_NE(line.find(c.file), std::string::npos) << line;
        EXPECT_NE(line.find(c.expected), std::string::npos) << line;
    }

    if (needTools({"genisoimage"})) {
        // Cut short by a failed copy: the volume is longer than the file.
        const auto iso = isoOf("whole.iso");
        const auto size = std::filesystem::file_size(iso);
        std::filesystem::copy_file(iso, dir / "short.iso");
        std::filesystem::resize_file(dir / "short.iso", (size / 2048 - 20) * 2048);
        EXPECT_EQ(VornImageCompilation_New((dir / "short.iso").c_str(), VORN_FAMILY_CD), nullptr);
        EXPECT_NE(lastLogLine().find("truncated"), std::string::npos) << lastLogLine();

        // Larger than any CD: a DVD image that only DVD takes.
        std::filesystem::copy_file(iso, dir / "big.iso");
        std::filesystem::resize_file(dir / "big.iso", std::uint64_t(400000) * 2048);
        EXPECT_EQ(VornImageCompilation_New((dir / "big.iso").c_str(), VORN_FAMILY_CD), nullptr);
        EXPECT_NE(lastLogLine().find("DVD"), std::string::npos) << lastLogLine();
        EXPECT_NE(image(dir / "big.iso", VORN_FAMILY_DVD), nullptr) << lastLogLine();
    }
}

TEST_F(ImageBurnTest, SheetsThatCannotBeBurnedAreRefusedWithTheirReason)
{
    writeFile(dir / "audio.bin", pattern(10 * 2352, 4));
    struct Case {
        std::string name, text, expected;
    } cases[] = {
        {"gone.cue", "FILE \"nowhere.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "nowhere.wav"},
        {"badline.cue", "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:99:00\n", "line 3"},
        {"past.cue", "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                     "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n", "past the end"},
        {"empty.cue", "REM nothing\n", "no track"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir / c.name, c.text);
        EXPECT_EQ(VornCueSheetCompilation_New((dir / c.name).c_str(), VORN_FAMILY_CD), nullptr);
        const std::string line = lastLogLine();
        EXPECT_NE(line.find(c.name), std::string::npos) << line;
        EXPECT_NE(line.find(c.expected), std::string::npos) << line;
    }
    // Not a sheet at all, and a sheet for a DVD.
    EXPECT_EQ(VornCueSheetCompilation_New((dir / "audio.bin").c_str(), VORN_FAMILY_CD), nullptr);
    EXPECT_NE(lastLogLine().find("not a cue sheet"), std::string::npos) << lastLogLine();
    writeFile(dir / "fine.cue", "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_EQ(VornCueSheetCompilation_New((dir / "fine.cue").c_str(), VORN_FAMILY_DVD), nullptr);
    EXPECT_NE(lastLogLine().find("DVD"), std::string::npos) << lastLogLine();
}

TEST_F(ImageBurnTest, FileThatVanishesBeforeTheBurnIsRefusedAndTheDiscStaysBlank)
{
    writeFile(dir / "audio.bin", pattern(50 * 2352, 4));
    writeFile(dir / "later.cue", "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    auto *cue = sheet(dir / "later.cue");
    ASSERT_NE(cue, nullptr) << lastLogLine();
    std::filesystem::remove(dir / "audio.bin");
    const std::string before = bytesOf(dir / "blank.vrn");
    EXPECT_EQ(burn(writer(), cue), VORN_BURN_SOURCE_CHANGED);
    EXPECT_NE(lastLogLine().find("audio.bin"), std::string::npos) << lastLogLine();
    EXPECT_TRUE(bytesOf(dir / "blank.vrn") == before);

    // A destroyed handle is a bad argument, not a crash.
    VornCueSheetCompilation_Destroy(cue);
    sheets.clear();
    EXPECT_EQ(burn(writer(), cue), VORN_BURN_BAD_ARGUMENT);
}

}  // namespace
}  // namespace vorn::test
