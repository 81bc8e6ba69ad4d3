// Disc information, erasing and image information through the C interface,
// on discs that vorn-disc builds from images other programs made.
#include "EngineFixture.h"
#include "VornPaths.h"
#include "VrnDisc.h"

#include <glib.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

namespace vorn::test {
namespace {

struct Freer {
    void operator()(void *p) const { VornFreeMem(p); }
};
template <class T> using EngineMem = std::unique_ptr<T, Freer>;

std::string text(char *owned)
{
    std::string out = owned ? owned : "(null)";
    VornFreeMem(owned);
    return out;
}

class DiscTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        writeDrives("[Burner]\nWriteMedia=CD-R;CD-RW;DVD+RW\n"
                    "[Second]\nWriteMedia=CD-R;CD-RW\n"
                    "[Reader]\nType=reader\nReadMedia=CD-ROM;CD-R;CD-RW\n"
                    "[OnlyCD-R]\nWriteMedia=CD-R\n");
        ASSERT_EQ(start(), VORN_INIT_OK);
    }
    void TearDown() override
    {
        for (auto *h : handles)
            VornCloseDevice(h);
        EngineTest::TearDown();
    }

    // Runs vorn-disc from the stage install; fails the test on an error.
    ProcessResult vornDisc(const std::vector<std::string> &args, bool mustWork = true)
    {
        std::vector<std::string> argv{std::string(VORN_BIN_DIR) + "/vorn-disc"};
        argv.insert(argv.end(), args.begin(), args.end());
        auto r = runProcess(argv);
        if (mustWork) {
            EXPECT_EQ(r.exitStatus, 0) << r.err;
        }
        return r;
    }
    // Runs an outside tool found on PATH.
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
    std::string path(const std::string &name) { return (dir / name).string(); }

    // A folder with one small file, as an image xorriso makes.
    std::string isoOf(const std::string &name, const std::string &file)
    {
        writeFile(dir / (name + "-tree") / file, "contents of " + file + "\n");
        run({"xorriso", "-as", "mkisofs", "-quiet", "-J", "-R", "-o", path(name),
             path(name + "-tree")});
        return path(name);
    }
    // Seconds of a 440 Hz tone as CD audio, made by sox.
    std::string wavOf(const std::string &name, const std::string &seconds)
    {
        run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", path(name),
             "synth", seconds, "sine", "440"});
        return path(name);
    }

    VornDevice *insert(const std::string &drive, const std::string &disc)
    {
        vornDisc({"load", drivesFile.string(), drive, disc});
        EXPECT_EQ(VornControl_RescanDrivesFile(), 1) << drivesFileError();
        auto entry = entryOf(drive);
        VornDevice *h = VornOpenDevice(&entry);
        EXPECT_NE(h, nullptr);
        handles.push_back(h);
        return h;
    }
    EngineMem<VornDiscInfo> info(VornDevice *h, int flags = 9)
    {
        return EngineMem<VornDiscInfo>(VornGetCDInfo(h, flags));
    }

    void needTools(std::initializer_list<const char *> tools)
    {
        for (const char *t : tools)
            if (!haveTool(t))
                GTEST_SKIP() << t << " is not installed";
    }

    std::vector<VornDevice *> handles;
};

constexpr std::uint32_t kIsoJolietMode1 = VORN_FS_ISO9660 | VORN_FS_JOLIET | VORN_FS_MODE1;

// --- Disc information -------------------------------------------------------

TEST_F(DiscTest, TwoDataSessionsReadAsMultisessionWithBothTreesInTheExport)
{
    needTools({"xorriso", "genisoimage"});
    auto one = isoOf("one.iso", "first.txt");
    vornDisc({"make", path("s1.vrn"), one});
    auto ms = vornDisc({"msinfo", path("s1.vrn")}).out;
    ms.erase(ms.find_last_not_of("\n") + 1);
    vornDisc({"export-iso", path("s1.vrn"), path("grown1.iso")});
    writeFile(dir / "two-tree" / "second.txt", "second\n");
    run({"genisoimage", "-quiet", "-J", "-R", "-C", ms, "-M", path("grown1.iso"), "-o",
         path("two.iso"), path("two-tree")});
    vornDisc({"make", path("s2.vrn"), one, path("two.iso")});

    VornDevice *h = insert("Burner", path("s2.vrn"));
    auto d = info(h);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->trackCount, 2);
    EXPECT_EQ(d->sessionCount, 2);
    EXPECT_EQ(d->state, VORN_DISC_APPENDABLE);
    EXPECT_EQ(d->mediumType, static_cast<uint32_t>(VORN_MEDIUM_CD_R));
    EXPECT_EQ(d->writable, 1);
    for (int i = 0; i < 2; ++i) {
        const auto *t = VornDiscInfo_Track(d.get(), i);
        EXPECT_EQ(t->session, i + 1);
        EXPECT_EQ(t->type, VORN_TRACK_DATA);
        EXPECT_EQ(t->fileSystems, kIsoJolietMode1) << "track " << i + 1;
    }
    // The second session starts where msinfo said, past lead-out and lead-in.
    const auto *second = VornDiscInfo_Track(d.get(), 1);
    EXPECT_EQ(ms, "0," + std::to_string(second->startBlock));
    const auto *first = VornDiscInfo_Track(d.get(), 0);
    EXPECT_EQ(second->startBlock, first->lengthBlocks + 11400);
    EXPECT_NE(d->freedbDiscId, 0u);
    EXPECT_EQ(d->freeBlocks, d->capacityBlocks - (static_cast<uint32_t>(second->startBlock +
                                                                       second->lengthBlocks) +
                                                  6750));

    EngineMem<VornVMSInfo> vms(VornGetVMSInfo(h, 0));
    ASSERT_TRUE(vms);
    EXPECT_EQ(vms->nextSession, 3);
    EXPECT_EQ(vms->lastSessionStart, static_cast<uint32_t>(second->startBlock));
    EXPECT_EQ(VornGetNumTracks(h), 2);
    auto details = text(VornGetDetailedDiscInfo(h));
    EXPECT_NE(details.find("Session 2 (closed)"), std::string::npos) << details;
    auto vds = text(VornGetVolumeDescriptorInfo(h));
    EXPECT_NE(vds.find("Supplementary volume descriptor (Joliet)"), std::string::npos) << vds;

    vornDisc({"export-iso", path("s2.vrn"), path("grown2.iso")});
    auto listing = run({"xorriso", "-indev", path("grown2.iso"), "-find", "/"}).out;
    EXPECT_NE(listing.find("/first.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("/second.txt"), std::string::npos) << listing;
}

TEST_F(DiscTest, MixedModeHasDataThenAudioInOneSession)
{
    needTools({"xorriso", "sox"});
    auto iso = isoOf("data.iso", "readme.txt");
    auto wav = wavOf("song.wav", "3");
    writeFile(dir / "mixed.cue", "FILE \"data.iso\" BINARY\n  TRACK 01 MODE1/2048\n"
                                 "    INDEX 01 00:00:00\n"
                                 "FILE \"song.wav\" WAVE\n  TRACK 02 AUDIO\n"
                                 "    PREGAP 00:02:00\n    INDEX 01 00:00:00\n");
    vornDisc({"make", path("mixed.vrn"), path("mixed.cue")});
    VornDevice *h = insert("Burner", path("mixed.vrn"));
    auto d = info(h);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->trackCount, 2);
    EXPECT_EQ(d->sessionCount, 1);
    const auto *data = VornDiscInfo_Track(d.get(), 0);
    const auto *audio = VornDiscInfo_Track(d.get(), 1);
    EXPECT_EQ(data->type, VORN_TRACK_DATA);
    EXPECT_EQ(data->fileSystems, kIsoJolietMode1);
    EXPECT_EQ(audio->type, VORN_TRACK_AUDIO);
    EXPECT_EQ(audio->session, 1);
    EXPECT_EQ(audio->fileSystems, 0u);
    EXPECT_EQ(audio->lengthBlocks, 225);  // 3 s
    EXPECT_EQ(audio->startBlock, data->lengthBlocks + 150);
    EXPECT_EQ(audio->blockSize, 2352);
}

TEST_F(DiscTest, EnhancedCdHasAudioSessionThenDataSessionAndExportsItsAudio)
{
    needTools({"genisoimage", "sox"});
    wavOf("a.wav", "2");
    wavOf("b.wav", "1.5");
    writeFile(dir / "audio.cue",
              "CATALOG 4006381333931\nPERFORMER \"Band\"\nTITLE \"Album\"\n"
              "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Opening\"\n"
              "    PERFORMER \"Singer\"\n    ISRC DEA123456789\n    INDEX 01 00:00:00\n"
              "FILE \"b.wav\" WAVE\n  TRACK 02 AUDIO\n    TITLE \"Closing\"\n"
              "    PREGAP 00:01:00\n    INDEX 01 00:00:00\n");
    vornDisc({"make", path("audio.vrn"), path("audio.cue")});
    auto ms = vornDisc({"msinfo", path("audio.vrn")}).out;
    ms.erase(ms.find_last_not_of("\n") + 1);
    writeFile(dir / "extra" / "video.txt", "extra\n");
    // Without -M this is the data session of an enhanced CD.
    run({"genisoimage", "-quiet", "-J", "-R", "-C", ms, "-o", path("extra.iso"), path("extra")});
    vornDisc({"make", path("enhanced.vrn"), path("audio.cue"), path("extra.iso")});

    VornDevice *h = insert("Burner", path("enhanced.vrn"));
    auto d = info(h);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->trackCount, 3);
    EXPECT_EQ(d->sessionCount, 2);
    EXPECT_STREQ(d->artist, "Band");
    EXPECT_STREQ(d->title, "Album");
    EXPECT_STREQ(d->mcn, "4006381333931");
    const auto *t1 = VornDiscInfo_Track(d.get(), 0);
    const auto *t2 = VornDiscInfo_Track(d.get(), 1);
    const auto *t3 = VornDiscInfo_Track(d.get(), 2);
    EXPECT_EQ(t1->type, VORN_TRACK_AUDIO);
    EXPECT_STREQ(t1->title, "Opening");
    EXPECT_STREQ(t1->artist, "Singer");
    EXPECT_STREQ(t1->isrc, "DEA123456789");
    EXPECT_EQ(t2->startBlock, t1->lengthBlocks + 75);
    EXPECT_EQ(t3->session, 2);
    EXPECT_EQ(t3->type, VORN_TRACK_DATA);
    EXPECT_EQ(t3->fileSystems, kIsoJolietMode1);
    EXPECT_EQ(text(VornGetMediaCatalogNr(h)), "4006381333931");

    // Without the CD-Text flag the texts stay empty; the layout does not change.
    auto bare = info(h, 0);
    ASSERT_TRUE(bare);
    EXPECT_STREQ(bare->title, "");
    EXPECT_STREQ(VornDiscInfo_Track(bare.get(), 0)->title, "");
    EXPECT_EQ(VornDiscInfo_Track(bare.get(), 2)->fileSystems, static_cast<uint32_t>(VORN_FS_MODE1));
    EXPECT_EQ(VornGetCDInfo(h, 0x100), nullptr) << "unknown flag bits are refused";

    // The audio exported as .cue and .bin reads back with sox and cdrdao.
    vornDisc({"export-audio", path("enhanced.vrn"), path("out.cue")});
    auto cue = readFile(dir / "out.cue");
    EXPECT_NE(cue.find("INDEX 00"), std::string::npos) << cue;
    EXPECT_NE(cue.find("TITLE \"Closing\""), std::string::npos) << cue;
    auto binSize = std::filesystem::file_size(dir / "out.bin");
    EXPECT_EQ(binSize, std::uintmax_t(t1->lengthBlocks + 75 + t2->lengthBlocks) * 2352);
    auto soxi = run({"sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "2",
                     "-L", path("out.bin"), "-n", "stat"});
    // 2 s, a 1 s gap, 1.5 s padded to whole blocks: 338 blocks of 588 frames.
    EXPECT_NE(soxi.err.find("Samples read:            397488"), std::string::npos) << soxi.err;
    // The first track's samples are the WAVE file's, byte for byte.
    auto wavBytes = readFile(dir / "a.wav");
    auto binBytes = readFile(dir / "out.bin");
    ASSERT_GT(wavBytes.size(), 44u);
    EXPECT_EQ(binBytes.substr(0, wavBytes.size() - 44), wavBytes.substr(44));
    if (haveTool("cdrdao")) {
        // The sheet names its .bin relative to itself, as sheets do.
        auto toc = run({"sh", "-c", "cd '" + dir.path().string() + "' && cdrdao show-toc out.cue"});
        EXPECT_NE(toc.out.find("TRACK  2  Mode AUDIO"), std::string::npos) << toc.out << toc.err;
    }
}

TEST_F(DiscTest, BlankDiscHasNoTracksAndAllItsSpace)
{
    vornDisc({"create", "--medium", "CD-RW", path("blank.vrn")});
    VornDevice *h = insert("Burner", path("blank.vrn"));
    auto d = info(h);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->trackCount, 0);
    EXPECT_EQ(d->state, VORN_DISC_BLANK);
    EXPECT_EQ(d->writable, 1);
    EXPECT_EQ(d->freeBlocks, 360000u);
    EXPECT_EQ(d->freedbDiscId, 0u);
    EXPECT_EQ(VornGetVMSInfo(h, 0), nullptr);
    EXPECT_EQ(text(VornGetCDStampHash(h)), "");
    EXPECT_EQ(VornGetNumTracks(h), 0);

    // The same blank disc in a drive that cannot write CD-RW is not writable.
    vornDisc({"create", "--medium", "CD-RW", path("blank2.vrn")});
    VornDevice *cdr = insert("OnlyCD-R", path("blank2.vrn"));
    auto d2 = info(cdr);
    ASSERT_TRUE(d2);
    EXPECT_EQ(d2->writable, 0);
}

TEST_F(DiscTest, NoRecordWithoutAReadyDisc)
{
    auto entry = entryOf("Burner");
    VornDevice *h = VornOpenDevice(&entry);
    handles.push_back(h);
    EXPECT_EQ(VornGetCDInfo(h, 9), nullptr) << "empty drive";
    EXPECT_EQ(VornGetCDInfo(nullptr, 9), nullptr);
    EXPECT_EQ(VornGetCDStampHash(nullptr), nullptr);
    auto recorder = entryOf("Image Recorder");
    VornDevice *ir = VornOpenDevice(&recorder);
    handles.push_back(ir);
    EXPECT_EQ(VornGetCDInfo(ir, 9), nullptr);
    EXPECT_EQ(text(VornGetCDStampHash(ir)), "");

    vornDisc({"create", path("d.vrn")});
    insert("Burner", path("d.vrn"));
    ASSERT_EQ(VornEjectLoadCD(h, 1), 1);
    EXPECT_EQ(VornGetCDInfo(h, 9), nullptr) << "tray open";
    ASSERT_EQ(VornEjectLoadCD(h, 0), 1);
    VornControl_FailNextCall(VORN_CONTROL_CALL_DISC_INFO, 0);
    EXPECT_EQ(VornGetCDInfo(h, 9), nullptr) << "injected failure";
    EXPECT_NE(info(h), nullptr);

    vornDisc({"eject", drivesFile.string(), "Burner"});
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_TRAY_OPEN);
}

TEST_F(DiscTest, StampFollowsTheContentsNotTheFileOrDrive)
{
    needTools({"xorriso"});
    auto one = isoOf("one.iso", "a.txt");
    vornDisc({"make", path("a.vrn"), one});
    vornDisc({"make", "--medium", "CD-RW", path("b.vrn"), path("a.vrn")});
    VornDevice *ha = insert("Burner", path("a.vrn"));
    VornDevice *hb = insert("Second", path("b.vrn"));
    auto stampA = text(VornGetCDStampHash(ha));
    ASSERT_EQ(stampA.size(), 64u);
    EXPECT_EQ(stampA.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(text(VornGetCDStampHash(hb)), stampA) << "a copy of the disc is the same disc";
    EXPECT_EQ(text(VornGetCDStampHash(ha)), stampA) << "stable when asked again";

    // Changing one block of the copy changes its stamp.
    {
        auto disc = vrn::VrnDisc::open(path("b.vrn"));
        ASSERT_TRUE(disc) << disc.error();
        std::vector<std::uint8_t> block(2048, 0x5A);
        ASSERT_TRUE(disc.value().writeBlocks(20, block, 2048, vrn::VrnDisc::WriteRule::Raw));
    }
    EXPECT_NE(text(VornGetCDStampHash(hb)), stampA);
    ASSERT_EQ(VornEraseDisc(hb, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_OK);
    EXPECT_EQ(text(VornGetCDStampHash(hb)), "");
}

// --- Erasing ------------------------------------------------------------------

struct EraseCase {
    const char *name;
    uint32_t medium;
    const char *drive;
    int result;  // of the estimate when negative, and of the erase
};

class EraseMatrixTest : public DiscTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseMatrixTest, GivesTheResultOfTheMediumAndDrive)
{
    const auto &c = GetParam();
    auto disc = makeDisc("m.vrn", c.medium);
    VornDevice *h = insert(c.drive, disc.string());
    ASSERT_EQ(VornIsDeviceReady(h), VORN_READY);
    int estimate = VornGetDiscErasingTime(h, VORN_ERASE_QUICK, 0);
    if (c.result < 0) {
        EXPECT_EQ(estimate, c.result);
    } else {
        EXPECT_GT(estimate, 0);
    }
    EXPECT_EQ(VornEraseDisc(h, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), c.result);
    if (c.result != VORN_ERASE_OK) {
        EXPECT_FALSE(text(VornGetErrorLog()).empty()) << "a failure says why";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Media, EraseMatrixTest,
    ::testing::Values(EraseCase{"CdRw", VORN_MEDIUM_CD_RW, "Burner", VORN_ERASE_OK},
                      EraseCase{"DvdPlusRw", VORN_MEDIUM_DVD_PLUS_RW, "Burner", VORN_ERASE_OK},
                      EraseCase{"CdR", VORN_MEDIUM_CD_R, "Burner", VORN_ERASE_NOT_REWRITABLE},
                      EraseCase{"CdRom", VORN_MEDIUM_CD_ROM, "Burner", VORN_ERASE_NOT_REWRITABLE},
                      EraseCase{"DvdRom", VORN_MEDIUM_DVD_ROM, "Burner",
                                VORN_ERASE_NOT_REWRITABLE},
                      EraseCase{"DvdPlusRwInCdDrive", VORN_MEDIUM_DVD_PLUS_RW, "Second",
                                VORN_ERASE_DISC_NOT_SUPPORTED},
                      EraseCase{"BdReInCdDrive", VORN_MEDIUM_BD_RE, "Second",
                                VORN_ERASE_DISC_NOT_SUPPORTED},
                      EraseCase{"CdRwInReader", VORN_MEDIUM_CD_RW, "Reader",
                                VORN_ERASE_NOT_SUPPORTED_BY_DRIVE},
                      EraseCase{"CdRwInCdROnlyRecorder", VORN_MEDIUM_CD_RW, "OnlyCD-R",
                                VORN_ERASE_NOT_SUPPORTED_BY_DRIVE}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DiscTest, EraseWithoutDiscBusyDriveAndBadArguments)
{
    auto entry = entryOf("Burner");
    VornDevice *h = VornOpenDevice(&entry);
    handles.push_back(h);
    EXPECT_EQ(VornGetDiscErasingTime(h, VORN_ERASE_QUICK, 0), VORN_ERASE_NO_DISC);
    EXPECT_EQ(VornEraseDisc(h, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_NO_DISC);
    EXPECT_EQ(VornGetDiscErasingTime(nullptr, VORN_ERASE_QUICK, 0), VORN_ERASE_OPEN_FAILED);
    EXPECT_EQ(VornEraseDisc(nullptr, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0),
              VORN_ERASE_OPEN_FAILED);
    auto recorder = entryOf("Image Recorder");
    VornDevice *ir = VornOpenDevice(&recorder);
    handles.push_back(ir);
    EXPECT_EQ(VornGetDiscErasingTime(ir, VORN_ERASE_QUICK, 0), VORN_ERASE_NOT_SUPPORTED_BY_DRIVE);

    insert("Burner", makeDisc("rw.vrn", VORN_MEDIUM_CD_RW).string());
    EXPECT_EQ(VornEraseDisc(h, 7, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_FAILED);
    EXPECT_EQ(VornEraseDisc(h, VORN_ERASE_QUICK, 3, 0), VORN_ERASE_FAILED);
    VornControl_FailNextCall(VORN_CONTROL_CALL_ERASE, VORN_ERASE_DRIVE_IN_USE);
    EXPECT_EQ(VornEraseDisc(h, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_DRIVE_IN_USE);

    // A busy drive still gets an estimate (a negative one would read as
    // "cannot erase rewritable discs"); the erase says it is in use.
    ASSERT_EQ(VornControl_SetDriveBusy(entry.hostAdapter, entry.deviceId, 1), 1);
    EXPECT_GT(VornGetDiscErasingTime(h, VORN_ERASE_QUICK, 0), 0);
    EXPECT_EQ(VornEraseDisc(h, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_DRIVE_IN_USE);
}

TEST_F(DiscTest, EstimatesFollowModeAndSpeed)
{
    VornDevice *h = insert("Burner", makeDisc("rw.vrn", VORN_MEDIUM_CD_RW).string());
    int quick = VornGetDiscErasingTime(h, VORN_ERASE_QUICK, 0);
    int fastest = VornGetDiscErasingTime(h, VORN_ERASE_FULL, 0);
    int slow = VornGetDiscErasingTime(h, VORN_ERASE_FULL, 704);
    EXPECT_GT(quick, 0);
    EXPECT_GT(fastest, quick);
    // A full 80-minute CD-RW at 4x (704 KB/s): 360000 blocks of 2352 bytes.
    EXPECT_EQ(slow, 1203);
    EXPECT_GT(slow, fastest);
    EXPECT_EQ(VornGetDiscErasingTime(h, VORN_ERASE_FULL, 1), VornGetDiscErasingTime(h, 0, 176))
        << "a speed below every offered one takes the slowest";
}

TEST_F(DiscTest, QuickEraseBlanksTheTableFullEraseZeroesTheData)
{
    auto disc = makeDisc("rw.vrn", VORN_MEDIUM_CD_RW);
    auto fill = [&] {
        auto d = vrn::VrnDisc::open(disc);
        ASSERT_TRUE(d) << d.error();
        vrn::TrackSpec trackSpec;
        trackSpec.length = 100;
        trackSpec.pregap = 150;
        auto added = d.value().appendTrack(trackSpec);
        ASSERT_TRUE(added) << added.error();
        std::vector<std::uint8_t> data(100 * 2048, 0x77);
        ASSERT_TRUE(d.value().writeTrackBlocks(added.value(), 0, data));
        ASSERT_TRUE(d.value().closeSession());
    };
    auto blockByte = [&] {
        auto d = vrn::VrnDisc::open(disc, vrn::VrnDisc::Access::ReadOnly);
        std::vector<std::uint8_t> b(2048);
        EXPECT_TRUE(d.value().readBlocks(50, b, 2048));
        return b[0];
    };
    fill();
    VornDevice *h = insert("Burner", disc.string());
    ASSERT_EQ(info(h)->trackCount, 1);

    ASSERT_EQ(VornEraseDisc(h, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_OK);
    EXPECT_EQ(info(h)->trackCount, 0);
    EXPECT_EQ(blockByte(), 0x77) << "a quick erase leaves the data";
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY) << "flags 1 leave the tray closed";

    fill();
    ASSERT_EQ(VornEraseDisc(h, VORN_ERASE_FULL, VORN_ERASE_EJECT, 0), VORN_ERASE_OK)
        << text(VornGetErrorLog());
    EXPECT_EQ(blockByte(), 0) << "a full erase zeroes every block";
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_TRAY_OPEN) << "flags 2 eject";
    ASSERT_EQ(VornEjectLoadCD(h, 0), 1);
    EXPECT_EQ(info(h)->state, VORN_DISC_BLANK);
}

// --- Image information ----------------------------------------------------------

TEST_F(DiscTest, ImageInformationOfPlainImagesContainersAndCueSheets)
{
    needTools({"xorriso", "sox"});
    auto iso = isoOf("plain.iso", "x.txt");
    EngineMem<VornDiscInfo> plain(VornGetDiscImageInfo(iso.c_str(), 0));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->mediumType, static_cast<uint32_t>(VORN_MEDIUM_CD_ROM));
    EXPECT_EQ(plain->state, VORN_IMAGE_PLAIN_ISO | VORN_IMAGE_BURNABLE);
    ASSERT_EQ(plain->trackCount, 1);
    EXPECT_EQ(VornDiscInfo_Track(plain.get(), 0)->fileSystems, kIsoJolietMode1);
    EXPECT_EQ(std::uintmax_t(VornDiscInfo_Track(plain.get(), 0)->lengthBlocks) * 2048,
              std::filesystem::file_size(iso));

    wavOf("t.wav", "1");
    writeFile(dir / "s.cue", "FILE t.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                             "TRACK 02 AUDIO\nINDEX 01 00:00:40\n");
    EngineMem<VornDiscInfo> cue(VornGetDiscImageInfo(path("s.cue").c_str(), 0));
    ASSERT_TRUE(cue);
    EXPECT_EQ(cue->state, VORN_IMAGE_CUE_SHEET | VORN_IMAGE_BURNABLE);
    ASSERT_EQ(cue->trackCount, 2);
    EXPECT_EQ(VornDiscInfo_Track(cue.get(), 0)->lengthBlocks, 40);
    EXPECT_EQ(VornDiscInfo_Track(cue.get(), 1)->lengthBlocks, 35);

    vornDisc({"make", path("c.vrn"), iso});
    EngineMem<VornDiscInfo> vrnInfo(VornGetDiscImageInfo(path("c.vrn").c_str(), 0));
    ASSERT_TRUE(vrnInfo);
    EXPECT_EQ(vrnInfo->state, VORN_IMAGE_CONTAINER | VORN_IMAGE_BURNABLE);
    EXPECT_EQ(vrnInfo->mediumType, static_cast<uint32_t>(VORN_MEDIUM_CD_R));

    // Not images: a text file, a truncated container, a broken sheet.
    writeFile(dir / "notes.iso", std::string(40 * 2048, 'x'));
    EXPECT_EQ(VornGetDiscImageInfo(path("notes.iso").c_str(), 0), nullptr);
    auto whole = readFile(dir / "c.vrn");
    writeFile(dir / "cut.vrn", whole.substr(0, 5000));
    EXPECT_EQ(VornGetDiscImageInfo(path("cut.vrn").c_str(), 0), nullptr);
    writeFile(dir / "bad.cue", "FILE t.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:99:00\n");
    EXPECT_EQ(VornGetDiscImageInfo(path("bad.cue").c_str(), 0), nullptr);
    EXPECT_NE(text(VornGetErrorLog()).find("line 3:"), std::string::npos);
    EXPECT_EQ(VornGetDiscImageInfo(nullptr, 0), nullptr);
    EXPECT_EQ(VornGetDiscImageInfo(iso.c_str(), 1), nullptr);
}

// --- vorn-disc ------------------------------------------------------------------

TEST_F(DiscTest, ToolRoundTripsAnImageAndRefusesBadInputLeavingNothing)
{
    needTools({"xorriso"});
    auto iso = isoOf("rt.iso", "f.txt");
    vornDisc({"make", path("rt.vrn"), iso});
    vornDisc({"export-iso", path("rt.vrn"), path("back.iso")});
    EXPECT_EQ(readFile(dir / "back.iso"), readFile(iso));

    auto help = vornDisc({"--help"});
    EXPECT_NE(help.out.find("export-iso"), std::string::npos);
    EXPECT_EQ(vornDisc({"frobnicate"}, false).exitStatus, 2);
    EXPECT_EQ(vornDisc({"make", path("rt.vrn"), iso}, false).exitStatus, 1) << "exists already";

    writeFile(dir / "broken.cue", "FILE rt.iso BINARY\nTRACK 01 MODE1/2048\n");
    auto r = vornDisc({"make", path("never.vrn"), path("broken.cue")}, false);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("line 2:"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "never.vrn"));
    EXPECT_EQ(vornDisc({"export-audio", path("rt.vrn"), path("none.cue")}, false).exitStatus, 1);
    for (const auto &e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos)
            << "left behind: " << e.path();
    EXPECT_TRUE(std::filesystem::exists(std::string(VORN_PREFIX) + "/share/man/man1/vorn-disc.1"));
}

}  // namespace
}  // namespace vorn::test
