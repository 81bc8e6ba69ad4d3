// Burning a data compilation: to the image recorder as a plain image or a
// disc container, to emulated drives; speed test and simulation that leave
// the disc alone; aborts before, during and after writing; injected
// failures with their results and messages; what a progress object sees.
#include "EngineFixture.h"

#include "VrnDisc.h"
#include "data/DataCompilation.h"
#include "iso/IsoWriter.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>

namespace vorn::test {
namespace {

constexpr std::uint32_t kWrite = VORN_BURN_WRITE | VORN_BURN_SPEED_IN_KBS;
constexpr int kWriterHa = 1, kWriterId = 0;
constexpr std::uint32_t kDiscBlocks = 4000;

// The callbacks carry no user data: what they report goes to one list.
struct Seen {
    std::string what;
    long long a = 0, b = 0;
};
std::mutex gMu;
std::vector<Seen> gSeen;
VornExtendedProgress *gProgress = nullptr;
enum class AbortAt { Never, MidWrite, WritingEnded } gAbortAt = AbortAt::Never;
std::filesystem::path gShrinkOnFirstBlock;

void note(const char *what, long long a = 0, long long b = 0)
{
    std::lock_guard lock(gMu);
    gSeen.push_back({what, a, b});
}

extern "C" {
int onProgress(int64_t done, int64_t total)
{
    note("progress", done, total);
    if (gAbortAt == AbortAt::MidWrite && done > 0 && done < total)
        VornExtendedProgress_SetUserAbort(gProgress, 1);
    if (!gShrinkOnFirstBlock.empty() && done > 0) {
        std::filesystem::resize_file(gShrinkOnFirstBlock, 10);
        gShrinkOnFirstBlock.clear();
    }
    return 0;
}
void onPhase(int phase)
{
    note("phase", phase);
    if (gAbortAt == AbortAt::WritingEnded && phase == VORN_PHASE_WRITING_ENDED)
        VornExtendedProgress_SetUserAbort(gProgress, 1);
}
void onWriteSpeed(int speed, int base, int) { note("speed", speed, base); }
void onMessage(const char *, int, int kind) { note("message", kind); }
}

class BurnTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        {
            std::lock_guard lock(gMu);
            gSeen.clear();
        }
        gAbortAt = AbortAt::Never;
        gShrinkOnFirstBlock.clear();
        // Small discs: the tests compare whole container files.
        for (auto [name, medium] : {std::pair{"cdr.vrn", VORN_MEDIUM_CD_R}, std::pair{"cdrw.vrn", VORN_MEDIUM_CD_RW}})
            ASSERT_TRUE(vrn::VrnDisc::create(dir / name, medium, kDiscBlocks).ok());
        writeDrives("[Writer]\nHostAdapter=1\nDeviceId=0\nWriteMedia=CD-R;CD-RW\nDisc=cdr.vrn\n"
                    "[Rewriter]\nHostAdapter=1\nDeviceId=1\nWriteMedia=CD-R;CD-RW\nDisc=cdrw.vrn\n");
        ASSERT_EQ(start(), VORN_INIT_OK);

        std::filesystem::create_directories(dir / "src" / "sub");
        writeFile(dir / "src" / "a.bin", pattern(1500000, 1));
        writeFile(dir / "src" / "sub" / "b.txt", "a small file\n");
        writeFile(dir / "src" / "sub" / "c.bin", pattern(2100000, 2));
        comp = VornDataCompilation_New();
        ASSERT_NE(comp, nullptr);
        auto *root = VornDataCompilation_GetItemFromPath(comp, "", VORN_NAME_VISIBLE);
        auto *sub = VornDataCompilation_CreateDirectory(comp, root, "sub", nullptr, 0, 0, 0);
        ASSERT_NE(VornDataCompilation_InsertNewItem(comp, root, (dir / "src" / "a.bin").c_str()), nullptr);
        ASSERT_NE(VornDataCompilation_InsertNewItem(comp, sub, (dir / "src" / "sub" / "b.txt").c_str()), nullptr);
        ASSERT_NE(VornDataCompilation_InsertNewItem(comp, sub, (dir / "src" / "sub" / "c.bin").c_str()), nullptr);
        // Fixed volume dates: two writes of the compilation give the same bytes.
        VornDataCompilation_SetVolumeCreationDate(comp, 1600000000);
        VornDataCompilation_SetVolumeModificationDate(comp, 1600000000);
        VornDataCompilation_SetMultisessionType(comp, VORN_MULTISESSION_START);

        progress = VornExtendedProgress_New();
        gProgress = progress;
        VornExtendedProgress_SetCallback_ProgressCallback(progress, onProgress);
        VornExtendedProgress_SetCallback_SetPhaseCallback(progress, onPhase);
        VornExtendedProgress_SetCallback_SetWriteSpeedCallback(progress, onWriteSpeed);
        VornExtendedProgress_SetCallback_AddMessageCallback(progress, onMessage);
        description = {VORN_WRITE_DATA, comp, progress, 1};
    }
    void TearDown() override
    {
        for (auto *h : handles)
            VornCloseDevice(h);
        VornControl_SetImageFileName(nullptr);
        VornControl_FailWriteAfterBytes(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID, -1);
        VornExtendedProgress_Destroy(progress);
        VornDataCompilation_Destroy(comp);
        EngineTest::TearDown();
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
    int burnTo(VornDevice *device, std::uint32_t flags, std::int32_t speed = 0)
    {
        return VornBurn(device, VORN_BURN_MAGIC, &description, flags, speed, nullptr);
    }
    int burnImage(const std::filesystem::path &path, std::uint32_t flags = kWrite)
    {
        VornControl_SetImageFileName(path.c_str());
        return burnTo(open(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID), flags);
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
    std::vector<Seen> seen()
    {
        std::lock_guard lock(gMu);
        return gSeen;
    }
    // The image writer's own bytes for the compilation.
    std::string writerImage()
    {
        auto path = dir / "writer.iso";
        auto r = engine::iso::writeImageFile(*comp, path.string());
        EXPECT_TRUE(r.ok) << r.error;
        return bytesOf(path);
    }
    // Files the test folder holds besides what the test made itself.
    std::vector<std::string> leftovers(const std::string &prefix)
    {
        std::vector<std::string> out;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().rfind(prefix, 0) == 0)
                out.push_back(entry.path().filename().string());
        return out;
    }
    std::string trackBytes(const vrn::VrnDisc &disc, std::size_t track)
    {
        std::string out(std::size_t(disc.tracks()[track].length) * 2048, '\0');
        auto st = disc.readTrackBlocks(track, 0,
                                       std::span<std::uint8_t>(reinterpret_cast<std::uint8_t *>(out.data()), out.size()));
        EXPECT_TRUE(st.ok()) << st.error();
        return out;
    }

    VornDataCompilation *comp = nullptr;
    VornExtendedProgress *progress = nullptr;
    VornWriteDescription description{};
    std::vector<VornDevice *> handles;
};

// --- The image recorder ----------------------------------------------------------

TEST_F(BurnTest, ImageRecorderWritesTheImageWritersBytesAndLeavesNothingToContinue)
{
    const std::string expected = writerImage();
    ASSERT_EQ(burnImage(dir / "out.iso"), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(bytesOf(dir / "out.iso"), expected);
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_NONE);
    EXPECT_TRUE(leftovers("out.iso.part").empty());

    // The next image burn of the same compilation is not refused, and it
    // replaces the file whole.
    ASSERT_EQ(burnImage(dir / "out.iso"), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(bytesOf(dir / "out.iso"), expected);
}

TEST_F(BurnTest, ImageRecorderMakesAContainerClosedOrAppendableAsTheFlagsSay)
{
    const std::string expected = writerImage();
    ASSERT_EQ(burnImage(dir / "final.vrn"), VORN_BURN_OK) << lastLogLine();
    ASSERT_EQ(burnImage(dir / "open.vrn", kWrite | VORN_BURN_CLOSE_SESSION), VORN_BURN_OK) << lastLogLine();
    // An image can never be continued, whatever the flags said.
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_NONE);

    for (auto [name, state] : {std::pair{"final.vrn", vrn::DiscState::Closed},
                               std::pair{"open.vrn", vrn::DiscState::Appendable}}) {
        auto disc = vrn::VrnDisc::open(dir / name, vrn::VrnDisc::Access::ReadOnly);
        ASSERT_TRUE(disc.ok()) << disc.error();
        EXPECT_EQ(disc.value().state(), state) << name;
        ASSERT_EQ(disc.value().tracks().size(), 1u);
        ASSERT_EQ(disc.value().sessions().size(), 1u);
        EXPECT_TRUE(disc.value().sessions()[0].closed);
        EXPECT_EQ(disc.value().tracks()[0].flags & vrn::kTrackIncomplete, 0u);
        EXPECT_EQ(trackBytes(disc.value(), 0), expected) << name;
    }
}

TEST_F(BurnTest, ProgressObjectSeesPhasesInOrderAndProgressReachingTheTotal)
{
    ASSERT_EQ(burnImage(dir / "out.iso"), VORN_BURN_OK) << lastLogLine();
    auto events = seen();
    auto firstOf = [&](const char *what, long long a) {
        return std::find_if(events.begin(), events.end(), [&](const Seen &s) { return s.what == what && s.a == a; });
    };
    auto preparing = firstOf("phase", VORN_PHASE_PREPARING_ITEMS);
    auto writing = firstOf("phase", VORN_PHASE_WRITING_TO_DISC);
    auto ended = firstOf("phase", VORN_PHASE_WRITING_ENDED);
    ASSERT_NE(writing, events.end());
    ASSERT_NE(ended, events.end());
    EXPECT_LT(preparing, writing);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const Seen &s) { return s.what == "phase" && s.a == VORN_PHASE_WRITING_TO_DISC; }),
              1);

    long long total = 0, last = -1;
    auto firstBlock = events.end(), lastBlock = events.end();
    for (auto it = events.begin(); it != events.end(); ++it) {
        if (it->what != "progress")
            continue;
        total = it->b;
        EXPECT_GE(it->a, last) << "progress went back";
        last = it->a;
        if (it->a > 0 && firstBlock == events.end())
            firstBlock = it;
        if (it->a > 0)
            lastBlock = it;
    }
    EXPECT_GT(total, 0);
    EXPECT_EQ(last, total);
    EXPECT_LT(writing, firstBlock) << "32 comes before the first written block";
    EXPECT_GT(ended, lastBlock) << "36 comes after the last written block";
    // The image recorder has no speed of its own.
    auto speed = std::find_if(events.begin(), events.end(), [](const Seen &s) { return s.what == "speed"; });
    ASSERT_NE(speed, events.end());
    EXPECT_EQ(speed->a, 65535);
}

// --- Emulated drives ---------------------------------------------------------------

TEST_F(BurnTest, DriveBurnAddsOneTrackAndSessionAndSetsWhatCanBeContinued)
{
    const std::string expected = writerImage();
    ASSERT_EQ(burnTo(open(kWriterHa, kWriterId), kWrite | VORN_BURN_DAO), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_NONE);
    auto disc = vrn::VrnDisc::open(dir / "cdr.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    EXPECT_EQ(disc.value().state(), vrn::DiscState::Closed);
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    EXPECT_EQ(disc.value().tracks()[0].pregap, 150u);
    EXPECT_EQ(trackBytes(disc.value(), 0), expected);
    // The drive's own view follows: the disc reads as closed.
    VornDiscInfo *info = VornGetCDInfo(handles.back(), 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->state, VORN_DISC_CLOSED);
    EXPECT_EQ(info->trackCount, 1);
    VornFreeMem(info);

    // Track-at-once with the session closed leaves the disc appendable.
    VornDataCompilation_SetMultisessionType(comp, VORN_MULTISESSION_START);
    ASSERT_EQ(burnTo(open(kWriterHa, 1), kWrite | VORN_BURN_CLOSE_SESSION), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_CONTINUE);
    auto rw = vrn::VrnDisc::open(dir / "cdrw.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(rw.ok());
    EXPECT_EQ(rw.value().state(), vrn::DiscState::Appendable);
    EXPECT_TRUE(rw.value().sessions().at(0).closed);

    // A closed disc takes nothing more.
    EXPECT_EQ(burnTo(open(kWriterHa, kWriterId), kWrite), VORN_BURN_DISC_CLOSED);
    EXPECT_NE(lastLogLine().find("Writer"), std::string::npos);
}

TEST_F(BurnTest, WriteSpeedIsTheDrivesFastestNotAboveTheOneAsked)
{
    VornDevice *writer = open(kWriterHa, kWriterId);
    VornSpeeds *speeds = VornGetAvailableSpeeds(writer, VORN_ACCESS_WRITE, VORN_MEDIUM_CD_R, 0);
    ASSERT_NE(speeds, nullptr);
    ASSERT_GE(speeds->count, 2);
    const int slowest = VornSpeeds_Values(speeds)[0];
    const int second = VornSpeeds_Values(speeds)[1];
    VornFreeMem(speeds);

    ASSERT_EQ(burnTo(writer, VORN_BURN_SIMULATE | VORN_BURN_SPEED_IN_KBS, second + 1), VORN_BURN_OK);
    auto events = seen();
    auto speed = std::find_if(events.begin(), events.end(), [](const Seen &s) { return s.what == "speed"; });
    ASSERT_NE(speed, events.end());
    EXPECT_EQ(speed->a, second);
    EXPECT_EQ(speed->b, VORN_BASE_SPEED_CD);

    {
        std::lock_guard lock(gMu);
        gSeen.clear();
    }
    ASSERT_EQ(burnTo(writer, VORN_BURN_SIMULATE | VORN_BURN_SPEED_IN_KBS, 1), VORN_BURN_OK);
    events = seen();
    speed = std::find_if(events.begin(), events.end(), [](const Seen &s) { return s.what == "speed"; });
    ASSERT_NE(speed, events.end());
    EXPECT_EQ(speed->a, slowest) << "below every speed: the slowest";
}

TEST_F(BurnTest, SimulateAndSpeedTestLeaveTheDiscByteIdentical)
{
    const std::string before = bytesOf(dir / "cdr.vrn");
    VornDevice *writer = open(kWriterHa, kWriterId);
    for (std::uint32_t flags : {VORN_BURN_SIMULATE, VORN_BURN_SPEED_TEST, VORN_BURN_SPEED_TEST | VORN_BURN_SIMULATE}) {
        {
            std::lock_guard lock(gMu);
            gSeen.clear();
        }
        ASSERT_EQ(burnTo(writer, flags | VORN_BURN_SPEED_IN_KBS), VORN_BURN_OK) << flags << ": " << lastLogLine();
        EXPECT_EQ(bytesOf(dir / "cdr.vrn"), before) << "flags " << flags;
        auto events = seen();
        const int phase = flags & VORN_BURN_SIMULATE ? VORN_PHASE_SIMULATING : VORN_PHASE_TESTING_SPEED;
        EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                                [&](const Seen &s) { return s.what == "phase" && s.a == phase; }))
            << "flags " << flags;
        // Nothing was written, so there is nothing to continue either.
        EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_START);
    }
    // The image recorder simulates without making a file.
    VornControl_SetImageFileName((dir / "sim.iso").c_str());
    EXPECT_EQ(burnTo(open(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID), VORN_BURN_SIMULATE), VORN_BURN_OK);
    EXPECT_TRUE(leftovers("sim.iso").empty());
}

// --- Aborts ---------------------------------------------------------------------------

TEST_F(BurnTest, AbortBeforeDuringAndAfterWritingLeavesNoImage)
{
    for (AbortAt when : {AbortAt::Never, AbortAt::MidWrite, AbortAt::WritingEnded}) {
        for (const char *name : {"abort.iso", "abort.vrn"}) {
            gAbortAt = when;
            VornExtendedProgress_SetUserAbort(progress, when == AbortAt::Never ? 1 : 0);  // Never: before it starts
            EXPECT_EQ(burnImage(dir / name), VORN_BURN_ABORTED) << name << " " << int(when);
            EXPECT_TRUE(leftovers("abort").empty()) << name << " " << int(when);
            EXPECT_EQ(lastLogLine(), "The burn was aborted by the user.");
            EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_START);
        }
    }
}

TEST_F(BurnTest, AbortWhileWritingLeavesAWriteOnceDiscUnfinishedAndUnwritable)
{
    VornDevice *writer = open(kWriterHa, kWriterId);
    gAbortAt = AbortAt::MidWrite;
    ASSERT_EQ(burnTo(writer, kWrite), VORN_BURN_ABORTED);
    auto disc = vrn::VrnDisc::open(dir / "cdr.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    EXPECT_NE(disc.value().tracks()[0].flags & vrn::kTrackIncomplete, 0u);
    EXPECT_FALSE(disc.value().sessions()[0].closed);

    gAbortAt = AbortAt::Never;
    VornExtendedProgress_SetUserAbort(progress, 0);
    const std::string after = bytesOf(dir / "cdr.vrn");
    EXPECT_EQ(burnTo(writer, kWrite), VORN_BURN_NOT_WRITABLE);
    EXPECT_NE(lastLogLine().find("unfinished track"), std::string::npos) << lastLogLine();
    EXPECT_EQ(bytesOf(dir / "cdr.vrn"), after);
}

TEST_F(BurnTest, AbortAfterWritingLeavesARewritableDiscThatErasesAndBurnsAgain)
{
    VornDevice *rewriter = open(kWriterHa, 1);
    gAbortAt = AbortAt::WritingEnded;
    ASSERT_EQ(burnTo(rewriter, kWrite), VORN_BURN_ABORTED);
    {
        auto disc = vrn::VrnDisc::open(dir / "cdrw.vrn", vrn::VrnDisc::Access::ReadOnly);
        ASSERT_TRUE(disc.ok());
        ASSERT_EQ(disc.value().tracks().size(), 1u);
        EXPECT_NE(disc.value().tracks()[0].flags & vrn::kTrackIncomplete, 0u);
    }
    ASSERT_EQ(VornEraseDisc(rewriter, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_OK);
    gAbortAt = AbortAt::Never;
    VornExtendedProgress_SetUserAbort(progress, 0);
    ASSERT_EQ(burnTo(rewriter, kWrite), VORN_BURN_OK) << lastLogLine();
}

// --- Failures ---------------------------------------------------------------------------

TEST_F(BurnTest, FullImageTargetFailsWithItsOwnCodeAndLeavesNothing)
{
    for (const char *name : {"full.iso", "full.vrn"}) {
        ASSERT_EQ(VornControl_FailWriteAfterBytes(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID, 1 << 20), 1);
        EXPECT_EQ(burnImage(dir / name), VORN_BURN_NO_SPACE) << name;
        EXPECT_NE(lastLogLine().find(name), std::string::npos) << lastLogLine();
        EXPECT_NE(lastLogLine().find("full"), std::string::npos) << lastLogLine();
        EXPECT_TRUE(leftovers("full").empty()) << name;
        EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_START);
    }
}

TEST_F(BurnTest, DriveWriteFailureGivesWriteErrorNamingTheDrive)
{
    ASSERT_EQ(VornControl_FailWriteAfterBytes(kWriterHa, kWriterId, 700000), 1);
    EXPECT_EQ(burnTo(open(kWriterHa, kWriterId), kWrite), VORN_BURN_WRITE_ERROR);
    EXPECT_EQ(lastLogLine().rfind("Writing to the disc in Writer failed", 0), 0u) << lastLogLine();
    auto disc = vrn::VrnDisc::open(dir / "cdr.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    EXPECT_NE(disc.value().tracks()[0].flags & vrn::kTrackIncomplete, 0u);
}

TEST_F(BurnTest, SourceThatChangesSizeFailsNamingItBeforeOrDuringTheWrite)
{
    // Before the burn: refused before anything is written, the disc untouched.
    const std::string before = bytesOf(dir / "cdr.vrn");
    writeFile(dir / "src" / "sub" / "b.txt", "a small file that grew\n");
    EXPECT_EQ(burnTo(open(kWriterHa, kWriterId), kWrite), VORN_BURN_SOURCE_CHANGED);
    EXPECT_NE(lastLogLine().find("b.txt"), std::string::npos) << lastLogLine();
    EXPECT_EQ(bytesOf(dir / "cdr.vrn"), before);
    EXPECT_EQ(burnImage(dir / "changed.iso"), VORN_BURN_SOURCE_CHANGED);
    EXPECT_TRUE(leftovers("changed").empty());
    writeFile(dir / "src" / "sub" / "b.txt", "a small file\n");

    // While writing: a file far larger than the pipe between the image
    // writer and the target shrinks at the first written block, so some of
    // it is still unread whatever order the data is laid out in.
    const auto big = dir / "src" / "big.bin";
    writeFile(big, pattern(24u << 20, 3));
    ASSERT_NE(VornDataCompilation_InsertNewItem(comp, VornDataCompilation_GetItemFromPath(comp, "", VORN_NAME_VISIBLE),
                                                big.c_str()),
              nullptr);
    gShrinkOnFirstBlock = big;
    EXPECT_EQ(burnImage(dir / "changed.iso"), VORN_BURN_SOURCE_CHANGED) << lastLogLine();
    EXPECT_NE(lastLogLine().find("big.bin"), std::string::npos) << lastLogLine();
    EXPECT_TRUE(leftovers("changed").empty());
}

TEST_F(BurnTest, MessagesAreInTheLanguageFilesCodePage)
{
    std::filesystem::path name = dir / "src" / "\xc3\xbc" "ber.txt";  // "über" in UTF-8
    writeFile(name, "x");
    ASSERT_NE(VornDataCompilation_InsertNewItem(comp, VornDataCompilation_GetItemFromPath(comp, "", 3), name.c_str()),
              nullptr);
    writeFile(name, "xy");
    EXPECT_EQ(burnImage(dir / "cp.iso"), VORN_BURN_SOURCE_CHANGED);
    EXPECT_NE(lastLogLine().find("\xfc" "ber.txt"), std::string::npos) << lastLogLine();
}

TEST_F(BurnTest, HandlesOfTheWrongKindAndBadArgumentsAreRefused)
{
    VornDevice *recorder = open(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID);
    VornControl_SetImageFileName((dir / "bad.iso").c_str());
    EXPECT_EQ(VornBurn(recorder, 0xBEEE, &description, kWrite, 0, nullptr), VORN_BURN_BAD_ARGUMENT);
    EXPECT_NE(lastLogLine().find("0xBEEF"), std::string::npos);
    EXPECT_EQ(VornBurn(reinterpret_cast<VornDevice *>(progress), VORN_BURN_MAGIC, &description, kWrite, 0, nullptr),
              VORN_BURN_BAD_ARGUMENT);
    EXPECT_EQ(VornBurn(recorder, VORN_BURN_MAGIC, nullptr, kWrite, 0, nullptr), VORN_BURN_BAD_ARGUMENT);

    VornWriteDescription wrong = description;
    wrong.compilation = recorder;  // a device handle where the compilation belongs
    EXPECT_EQ(VornBurn(recorder, VORN_BURN_MAGIC, &wrong, kWrite, 0, nullptr), VORN_BURN_BAD_ARGUMENT);
    wrong.compilation = progress;
    EXPECT_EQ(VornBurn(recorder, VORN_BURN_MAGIC, &wrong, kWrite, 0, nullptr), VORN_BURN_BAD_ARGUMENT);
    wrong = description;
    wrong.kind = VORN_WRITE_AUDIO;
    EXPECT_EQ(VornBurn(recorder, VORN_BURN_MAGIC, &wrong, kWrite, 0, nullptr), VORN_BURN_BAD_ARGUMENT);
    EXPECT_EQ(burnTo(recorder, VORN_BURN_SPEED_IN_KBS), VORN_BURN_BAD_ARGUMENT) << "nothing to do";
    EXPECT_EQ(burnTo(recorder, kWrite | 0x100000), VORN_BURN_BAD_ARGUMENT) << "unknown flag";
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.iso"));

    VornControl_SetImageFileName(nullptr);
    EXPECT_EQ(burnTo(recorder, kWrite), VORN_BURN_BAD_ARGUMENT);
    EXPECT_EQ(lastLogLine(), "No file name was given for the image.");
}

TEST_F(BurnTest, DriveStatesRefuseWithTheirCodes)
{
    VornDevice *writer = open(kWriterHa, kWriterId);
    ASSERT_EQ(VornControl_SetDriveBusy(kWriterHa, kWriterId, 1), 1);
    EXPECT_EQ(burnTo(writer, kWrite), VORN_BURN_DRIVE_BUSY);
    ASSERT_EQ(VornControl_SetDriveBusy(kWriterHa, kWriterId, 0), 1);
    ASSERT_EQ(VornEjectLoadCD(writer, 1), 1);
    EXPECT_EQ(burnTo(writer, kWrite), VORN_BURN_NO_MEDIUM);
    ASSERT_EQ(VornControl_RemoveDrive(kWriterHa, kWriterId), 1);
    EXPECT_EQ(burnTo(writer, kWrite), VORN_BURN_DEVICE_GONE);
    EXPECT_EQ(lastLogLine(), "Writer is no longer connected.");
    VornControl_FailNextCall(VORN_CONTROL_CALL_BURN, VORN_BURN_READ_ERROR);
    EXPECT_EQ(burnTo(open(kWriterHa, 1), kWrite), VORN_BURN_READ_ERROR);
}

TEST_F(BurnTest, DiscThatFitsExactlyTakesTheCompilationAndOneBlockLessRefuses)
{
    const std::uint32_t need = VornDataCompilation_GetTotalBlocks(comp);
    VornDevice *writer = open(kWriterHa, kWriterId);
    ASSERT_EQ(VornControl_RemoveDisc(kWriterHa, kWriterId), 1);
    ASSERT_TRUE(vrn::VrnDisc::create(dir / "short.vrn", VORN_MEDIUM_CD_R, need - 1).ok());
    ASSERT_EQ(VornControl_InsertDisc(kWriterHa, kWriterId, (dir / "short.vrn").c_str()), 1);
    const std::string before = bytesOf(dir / "short.vrn");
    EXPECT_EQ(burnTo(writer, kWrite), VORN_BURN_DISC_TOO_SMALL);
    EXPECT_NE(lastLogLine().find(std::to_string(need) + " blocks"), std::string::npos) << lastLogLine();
    EXPECT_EQ(bytesOf(dir / "short.vrn"), before);

    ASSERT_EQ(VornControl_RemoveDisc(kWriterHa, kWriterId), 1);
    ASSERT_TRUE(vrn::VrnDisc::create(dir / "exact.vrn", VORN_MEDIUM_CD_R, need).ok());
    ASSERT_EQ(VornControl_InsertDisc(kWriterHa, kWriterId, (dir / "exact.vrn").c_str()), 1);
    EXPECT_EQ(burnTo(writer, kWrite), VORN_BURN_OK) << lastLogLine();
}

TEST_F(BurnTest, EveryBurnAppendsOneHistoryLine)
{
    const std::string folder = dir.path().string();
    ASSERT_EQ(VornSetOption(VORN_OPTION_HISTORY_LOG_DIR, folder.c_str()), 1);
    ASSERT_EQ(burnImage(dir / "h.iso"), VORN_BURN_OK);
    ASSERT_EQ(VornControl_FailWriteAfterBytes(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID, 0), 1);
    EXPECT_EQ(burnImage(dir / "h2.iso"), VORN_BURN_NO_SPACE);
    std::istringstream lines(readFile(dir / "VornHistory.log"));
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_NE(all[0].find("Burned"), std::string::npos) << all[0];
    EXPECT_NE(all[1].find("result 8"), std::string::npos) << all[1];
}

TEST(BurnLanguageTest, MissingLanguageFileGivesResultSevenAndWritesNothing)
{
    TempDir dir;
    VornSettings settings{};
    settings.languageFile = "Missing.txt";
    ASSERT_EQ(VornInitEx(&settings, nullptr, -10, 0), VORN_INIT_LANGUAGE_FILE_MISSING);
    VornDataCompilation *comp = VornDataCompilation_New();
    VornDeviceEntry entry{};
    entry.hostAdapter = VORN_IMAGE_RECORDER_HA;
    VornDevice *recorder = VornOpenDevice(&entry);
    VornWriteDescription description{VORN_WRITE_DATA, comp, nullptr, 1};
    VornControl_SetImageFileName((dir / "x.iso").c_str());
    EXPECT_EQ(VornBurn(recorder, VORN_BURN_MAGIC, &description, kWrite, 0, nullptr), VORN_BURN_NO_LANGUAGE_FILE);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.iso"));
    VornControl_SetImageFileName(nullptr);
    VornCloseDevice(recorder);
    VornDataCompilation_Destroy(comp);
    VornDone();
}

}  // namespace
}  // namespace vorn::test
