// The questions a burn asks through the user-dialog callback, answered by a
// script the way the application answers them: waiting for a disc while the
// drive is polled, the image file name, a non-empty rewritable disc erased
// from another thread, messages, overburning, and the ways an abort ends a
// question. Then verification, copies, sessions that continue a disc, and
// the DVD details.
#include "EngineFixture.h"

#include "VornPaths.h"
#include "VrnDisc.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace vorn::test {
namespace {

constexpr std::uint32_t kWrite = VORN_BURN_WRITE | VORN_BURN_SPEED_IN_KBS;
constexpr int kHa = 1;
constexpr int kCdWriter = 0, kCdRewriter = 1, kDvdWriter = 2;
constexpr std::uint32_t kDiscBlocks = 4000;

struct Asked {
    int request;
    long long detail = 0;  // the wait code, the first block count, a message type
    std::string text;      // media texts, a message
};

// The scripted user: every request is noted, then the script (when set)
// answers; otherwise the answers of the application's dialogs that need no
// person (-1).
struct User {
    std::mutex mu;
    std::vector<Asked> asked;
    std::function<int(int, void *)> script;
    std::vector<int> phases;
    std::vector<std::pair<int, int>> copies;
    std::vector<int> readPercents, majorPhases;
    VornExtendedProgress *progress = nullptr;
    std::atomic<bool> idleAborts{false};

    std::vector<int> requests()
    {
        std::lock_guard lock(mu);
        std::vector<int> out;
        for (const auto &a : asked)
            out.push_back(a.request);
        return out;
    }
    std::vector<Asked> all()
    {
        std::lock_guard lock(mu);
        return asked;
    }
};
User *gUser = nullptr;
std::function<void(int)> gOnPhase;

extern "C" {
int onQuestion(void *data, int request, void *payload)
{
    auto *user = static_cast<User *>(data);
    Asked a{request};
    if (request == VORN_REQUEST_WAIT_FOR_DISC)
        a.detail = static_cast<long long>(reinterpret_cast<std::intptr_t>(payload));
    else if (request == VORN_REQUEST_OVERBURN)
        a.detail = static_cast<const std::uint32_t *>(payload)[0];
    else if (request == VORN_REQUEST_WAIT_MEDIA_TEXTS)
        a.text = std::string(static_cast<const char *const *>(payload)[0]) + " | " +
                 static_cast<const char *const *>(payload)[1];
    else if (request == VORN_REQUEST_MESSAGE) {
        const auto *m = static_cast<const VornMessageRequest *>(payload);
        a.detail = m->type;
        a.text = m->text;
    }
    std::function<int(int, void *)> script;
    {
        std::lock_guard lock(user->mu);
        user->asked.push_back(a);
        script = user->script;
    }
    return script ? script(request, payload) : -1;
}
int onIdle(void *data)
{
    return static_cast<User *>(data)->idleAborts.load() ? 1 : 0;
}
void onPhase(int phase)
{
    {
        std::lock_guard lock(gUser->mu);
        gUser->phases.push_back(phase);
    }
    if (gOnPhase)
        gOnPhase(phase);
}
void onReadPercent(int percent)
{
    std::lock_guard lock(gUser->mu);
    gUser->readPercents.push_back(percent);
}
void onMajorPhase(int phase)
{
    std::lock_guard lock(gUser->mu);
    gUser->majorPhases.push_back(phase);
}
void onCopies(int current, int, int total)
{
    std::lock_guard lock(gUser->mu);
    gUser->copies.emplace_back(current, total);
}
}

class BurnQuestionsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        gUser = &user;
        gOnPhase = nullptr;
        settings.idle = onIdle;
        settings.idleData = &user;
        for (auto [name, medium] : {std::pair{"cdr.vrn", VORN_MEDIUM_CD_R}, std::pair{"cdrw.vrn", VORN_MEDIUM_CD_RW},
                                    std::pair{"dvd.vrn", VORN_MEDIUM_DVD_PLUS_R}})
            ASSERT_TRUE(vrn::VrnDisc::create(dir / name, medium, kDiscBlocks).ok());
        writeDrives("[Writer]\nHostAdapter=1\nDeviceId=0\nWriteMedia=CD-R;CD-RW\nDisc=cdr.vrn\n"
                    "[Rewriter]\nHostAdapter=1\nDeviceId=1\nWriteMedia=CD-R;CD-RW\nDisc=cdrw.vrn\n"
                    "[DvdWriter]\nHostAdapter=1\nDeviceId=2\nWriteMedia=CD-R;DVD+R;DVD+RW\nDisc=dvd.vrn\n");
        ASSERT_EQ(start(), VORN_INIT_OK);
        VornUserDialogOption option{onQuestion, &user};
        ASSERT_EQ(VornSetOption(VORN_OPTION_USER_DIALOG, &option), 1);

        std::filesystem::create_directories(dir / "src");
        writeFile(dir / "src" / "a.bin", pattern(900000, 1));
        writeFile(dir / "src" / "b.txt", "first session\n");
        comp = newCompilation();
        progress = VornExtendedProgress_New();
        user.progress = progress;
        VornExtendedProgress_SetCallback_SetPhaseCallback(progress, onPhase);
        VornExtendedProgress_SetCallback_SetNumCopiesCallback(progress, onCopies);
        VornExtendedProgress_SetCallback_SetReadPercentageCallback(progress, onReadPercent);
        VornExtendedProgress_SetCallback_SetMajorPhaseCallback(progress, onMajorPhase);
    }
    void TearDown() override
    {
        gOnPhase = nullptr;
        for (auto *h : handles)
            VornCloseDevice(h);
        VornControl_SetImageFileName(nullptr);
        VornExtendedProgress_Destroy(progress);
        for (auto *c : compilations)
            VornDataCompilation_Destroy(c);
        EngineTest::TearDown();
        gUser = nullptr;
    }

    VornDataCompilation *newCompilation()
    {
        auto *c = VornDataCompilation_New();
        EXPECT_NE(c, nullptr);
        compilations.push_back(c);
        VornDataCompilation_SetVolumeCreationDate(c, 1600000000);
        VornDataCompilation_SetVolumeModificationDate(c, 1600000000);
        VornDataCompilation_SetMultisessionType(c, VORN_MULTISESSION_START);
        return c;
    }
    void add(VornDataCompilation *c, const std::string &name)
    {
        auto *root = VornDataCompilation_GetItemFromPath(c, "", VORN_NAME_VISIBLE);
        ASSERT_NE(VornDataCompilation_InsertNewItem(c, root, (dir / "src" / name).c_str()), nullptr) << name;
    }
    VornDevice *open(int id)
    {
        VornDeviceEntry entry{};
        entry.hostAdapter = id < 0 ? VORN_IMAGE_RECORDER_HA : kHa;
        entry.deviceId = id < 0 ? VORN_IMAGE_RECORDER_ID : id;
        VornDevice *h = VornOpenDevice(&entry);
        EXPECT_NE(h, nullptr);
        handles.push_back(h);
        return h;
    }
    int burn(VornDataCompilation *c, VornDevice *device, std::uint32_t flags, int copies = 1)
    {
        VornWriteDescription d{VORN_WRITE_DATA, c, progress, copies};
        return VornBurn(device, VORN_BURN_MAGIC, &d, flags, 0, nullptr);
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
    std::filesystem::path blankDisc(const std::string &name, std::uint32_t medium = VORN_MEDIUM_CD_R,
                                    std::uint32_t blocks = kDiscBlocks)
    {
        EXPECT_TRUE(vrn::VrnDisc::create(dir / name, medium, blocks).ok());
        return dir / name;
    }
    // A script answering the wait for a disc by putting `disc` in the tray.
    void insertOnWait(int id, std::filesystem::path disc)
    {
        user.script = [id, disc](int request, void *) {
            if (request == VORN_REQUEST_WAIT_FOR_DISC) {
                VornControl_RemoveDisc(kHa, id);
                EXPECT_EQ(VornControl_InsertDisc(kHa, id, disc.c_str()), 1);
            }
            return -1;
        };
    }
    std::vector<int> phases()
    {
        std::lock_guard lock(user.mu);
        return user.phases;
    }

    User user;
    VornDataCompilation *comp = nullptr;
    std::vector<VornDataCompilation *> compilations;
    VornExtendedProgress *progress = nullptr;
    std::vector<VornDevice *> handles;
};

std::vector<int> without(std::vector<int> v, int request)
{
    v.erase(std::remove(v.begin(), v.end(), request), v.end());
    return v;
}

// --- Waiting for a disc ----------------------------------------------------------

TEST_F(BurnQuestionsTest, EmptyDriveWaitsWithTextsRaisesOnAWrongDiscAndGoesOnWhenAGoodOneIsInserted)
{
    add(comp, "a.bin");
    VornDevice *writer = open(kCdWriter);
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    const auto dvd = blankDisc("wrong.vrn", VORN_MEDIUM_DVD_PLUS_R);
    const auto cd = blankDisc("right.vrn");
    // First a disc the drive cannot write, then the right one, each once
    // the burn has shown the dialog for what is in the tray.
    int step = 0;
    user.script = [&](int request, void *) {
        if (request == VORN_REQUEST_WAIT_MEDIA_TEXTS) {
            if (step == 0)
                EXPECT_EQ(VornControl_InsertDisc(kHa, kCdWriter, dvd.c_str()), 1);
            else if (step == 1) {
                VornControl_RemoveDisc(kHa, kCdWriter);
                EXPECT_EQ(VornControl_InsertDisc(kHa, kCdWriter, cd.c_str()), 1);
            }
            ++step;
        }
        return -1;
    };
    ASSERT_EQ(burn(comp, writer, kWrite), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(user.requests(), (std::vector<int>{VORN_REQUEST_WAIT_FOR_DISC, VORN_REQUEST_WAIT_MEDIA_TEXTS,
                                                 VORN_REQUEST_WAIT_MEDIA_TEXTS, VORN_REQUEST_RAISE_WAIT,
                                                 VORN_REQUEST_DESTROY_WAIT}));
    const auto asked = user.all();
    EXPECT_EQ(asked[0].detail, VORN_WAIT_WRITABLE_DISC);
    EXPECT_EQ(asked[1].text, "CD-R, CD-RW | No disc");
    EXPECT_EQ(asked[2].text, "CD-R, CD-RW | DVD+R");
    auto written = vrn::VrnDisc::open(cd, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.value().tracks().size(), 1u);
}

TEST_F(BurnQuestionsTest, AFinalizedDiscInsertedWhileWaitingKeepsTheWaitGoing)
{
    add(comp, "b.txt");
    VornDevice *writer = open(kCdWriter);
    ASSERT_EQ(burn(comp, writer, kWrite), VORN_BURN_OK) << lastLogLine();  // finalized
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    const auto blank = blankDisc("blank.vrn");
    int texts = 0;
    user.script = [&](int request, void *) {
        if (request == VORN_REQUEST_WAIT_MEDIA_TEXTS && ++texts == 1) {
            EXPECT_EQ(VornControl_InsertDisc(kHa, kCdWriter, (dir / "cdr.vrn").c_str()), 1);
        }
        if (request == VORN_REQUEST_RAISE_WAIT) {
            VornControl_RemoveDisc(kHa, kCdWriter);
            EXPECT_EQ(VornControl_InsertDisc(kHa, kCdWriter, blank.c_str()), 1);
        }
        return -1;
    };
    auto *fresh = newCompilation();
    add(fresh, "a.bin");
    ASSERT_EQ(burn(fresh, writer, kWrite), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(user.requests(), (std::vector<int>{VORN_REQUEST_WAIT_FOR_DISC, VORN_REQUEST_WAIT_MEDIA_TEXTS,
                                                 VORN_REQUEST_WAIT_MEDIA_TEXTS, VORN_REQUEST_RAISE_WAIT,
                                                 VORN_REQUEST_DESTROY_WAIT}));
    EXPECT_EQ(user.all().at(2).text, "CD-R, CD-RW | CD-R");

    // A drive unplugged while waiting ends the wait with its result.
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    user.script = [](int request, void *) {
        if (request == VORN_REQUEST_WAIT_FOR_DISC) {
            EXPECT_EQ(VornControl_RemoveDrive(kHa, kCdWriter), 1);
        }
        return -1;
    };
    EXPECT_EQ(burn(fresh, writer, kWrite), VORN_BURN_DEVICE_GONE);
    EXPECT_EQ(user.requests().back(), VORN_REQUEST_DESTROY_WAIT);
}

TEST_F(BurnQuestionsTest, AbortsEndTheWaitAndDestroyTheDialogWithNothingWritten)
{
    add(comp, "a.bin");
    VornDevice *writer = open(kCdWriter);
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);

    // The idle callback asks for the abort (the dialog's Cancel).
    user.script = [&](int request, void *) {
        if (request == VORN_REQUEST_WAIT_FOR_DISC)
            user.idleAborts = true;
        return -1;
    };
    EXPECT_EQ(burn(comp, writer, kWrite), VORN_BURN_ABORTED);
    EXPECT_EQ(without(user.requests(), VORN_REQUEST_WAIT_MEDIA_TEXTS),
              (std::vector<int>{VORN_REQUEST_WAIT_FOR_DISC, VORN_REQUEST_DESTROY_WAIT}));
    user.idleAborts = false;

    // The progress object's abort flag, seen while polling.
    user.asked.clear();
    user.script = [&](int request, void *) {
        if (request == VORN_REQUEST_WAIT_FOR_DISC)
            VornExtendedProgress_SetUserAbort(progress, 1);
        return -1;
    };
    EXPECT_EQ(burn(comp, writer, kWrite), VORN_BURN_ABORTED);
    EXPECT_EQ(user.requests().back(), VORN_REQUEST_DESTROY_WAIT);
    VornExtendedProgress_SetUserAbort(progress, 0);

    // An application that is aborting answers -2 to anything.
    user.asked.clear();
    user.script = [](int, void *) { return VORN_ANSWER_ABORTING; };
    EXPECT_EQ(burn(comp, writer, kWrite), VORN_BURN_ABORTED);
    EXPECT_EQ(user.requests().front(), VORN_REQUEST_WAIT_FOR_DISC);
    EXPECT_EQ(lastLogLine(), "The burn was aborted by the user.");
}

TEST_F(BurnQuestionsTest, WithoutACallbackNothingIsAskedAndTheDriveStateFails)
{
    add(comp, "a.bin");
    VornDevice *writer = open(kCdWriter);
    VornUserDialogOption none{nullptr, nullptr};
    ASSERT_EQ(VornSetOption(VORN_OPTION_USER_DIALOG, &none), 1);
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    EXPECT_EQ(burn(comp, writer, kWrite), VORN_BURN_NO_MEDIUM);
    EXPECT_TRUE(user.requests().empty());
}

// --- A disc that holds data already ------------------------------------------------

TEST_F(BurnQuestionsTest, UsedWriteOnceDiscSaysWhyAndWaitsForABlankOne)
{
    add(comp, "b.txt");
    VornDevice *writer = open(kCdWriter);
    ASSERT_EQ(burn(comp, writer, kWrite | VORN_BURN_CLOSE_SESSION), VORN_BURN_OK) << lastLogLine();
    user.asked.clear();

    auto *fresh = newCompilation();
    add(fresh, "a.bin");
    insertOnWait(kCdWriter, blankDisc("blank.vrn"));
    ASSERT_EQ(burn(fresh, writer, kWrite | VORN_BURN_DETECT_NON_EMPTY_CDRW), VORN_BURN_OK) << lastLogLine();
    const auto asked = user.all();
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked[0].request, VORN_REQUEST_MESSAGE);
    EXPECT_EQ(asked[0].detail, 0);
    EXPECT_EQ(asked[0].text, "The disc in Writer already holds data. Please insert a blank disc.");
    EXPECT_EQ(asked[1].request, VORN_REQUEST_WAIT_FOR_DISC);
    EXPECT_EQ(asked[1].detail, VORN_WAIT_BLANK_DISC);
}

TEST_F(BurnQuestionsTest, NonEmptyRewritableDeclinedFailsQuietlyAndLeavesTheDisc)
{
    add(comp, "b.txt");
    VornDevice *rewriter = open(kCdRewriter);
    ASSERT_EQ(burn(comp, rewriter, kWrite | VORN_BURN_CLOSE_SESSION), VORN_BURN_OK) << lastLogLine();
    const std::string before = bytesOf(dir / "cdrw.vrn");
    user.script = [](int request, void *) { return request == VORN_REQUEST_BLANK_REWRITABLE ? VORN_ANSWER_DECLINED : -1; };
    auto *fresh = newCompilation();
    add(fresh, "a.bin");
    EXPECT_EQ(burn(fresh, rewriter, kWrite | VORN_BURN_DETECT_NON_EMPTY_CDRW), VORN_BURN_DECLINED);
    EXPECT_EQ(user.requests(), std::vector<int>{VORN_REQUEST_BLANK_REWRITABLE});
    EXPECT_EQ(bytesOf(dir / "cdrw.vrn"), before);
}

TEST_F(BurnQuestionsTest, NonEmptyRewritableErasedFromAnotherThreadWhileTheBurnWaitsGivesAGoodDisc)
{
    add(comp, "b.txt");
    VornDevice *rewriter = open(kCdRewriter);
    ASSERT_EQ(burn(comp, rewriter, kWrite | VORN_BURN_CLOSE_SESSION), VORN_BURN_OK) << lastLogLine();

    // The application erases on its erase dialog's worker and waits for it:
    // the engine must hold nothing the erase needs.
    int erased = -100;
    user.script = [&](int request, void *) {
        if (request != VORN_REQUEST_BLANK_REWRITABLE)
            return -1;
        std::thread worker([&] {
            erased = VornEraseDisc(rewriter, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0);
        });
        worker.join();
        return erased == VORN_ERASE_OK ? VORN_ANSWER_ERASED : VORN_ANSWER_DECLINED;
    };
    auto *fresh = newCompilation();
    add(fresh, "a.bin");
    ASSERT_EQ(burn(fresh, rewriter, kWrite | VORN_BURN_DETECT_NON_EMPTY_CDRW | VORN_BURN_VERIFY), VORN_BURN_OK)
        << lastLogLine();
    EXPECT_EQ(erased, VORN_ERASE_OK);
    EXPECT_EQ(user.requests(), std::vector<int>{VORN_REQUEST_BLANK_REWRITABLE});
    auto disc = vrn::VrnDisc::open(dir / "cdrw.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    EXPECT_EQ(disc.value().tracks()[0].length, VornDataCompilation_GetTotalBlocks(fresh));
}

// --- The image recorder's file name ---------------------------------------------

TEST_F(BurnQuestionsTest, ImageRecorderAsksForTheFileNameAndACancelledChooserAborts)
{
    add(comp, "b.txt");
    VornDevice *recorder = open(-1);
    const std::string target = (dir / "asked.iso").string();
    user.script = [&](int request, void *data) {
        if (request == VORN_REQUEST_IMAGE_FILE_NAME) {
            std::snprintf(static_cast<char *>(data), VORN_PATH_BUFFER_SIZE, "%s", target.c_str());
            return VORN_ANSWER_NAMED;
        }
        return -1;
    };
    ASSERT_EQ(burn(comp, recorder, kWrite | VORN_BURN_VERIFY), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(user.requests(), std::vector<int>{VORN_REQUEST_IMAGE_FILE_NAME});
    EXPECT_EQ(std::filesystem::file_size(target), std::uint64_t(VornDataCompilation_GetTotalBlocks(comp)) * 2048);
    EXPECT_EQ(phases().back(), VORN_PHASE_VERIFY_OK);

    // Cancelled: the application has set the abort flag and answers 0.
    user.script = [&](int request, void *) {
        if (request == VORN_REQUEST_IMAGE_FILE_NAME)
            VornExtendedProgress_SetUserAbort(progress, 1);
        return 0;
    };
    std::filesystem::remove(target);
    EXPECT_EQ(burn(comp, recorder, kWrite), VORN_BURN_ABORTED);
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(BurnQuestionsTest, ImageTargetThatFillsUpTellsTheUserAndLeavesNothing)
{
    add(comp, "a.bin");
    VornControl_SetImageFileName((dir / "full.iso").c_str());
    ASSERT_EQ(VornControl_FailWriteAfterBytes(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID, 300000), 1);
    EXPECT_EQ(burn(comp, open(-1), kWrite), VORN_BURN_NO_SPACE);
    VornControl_FailWriteAfterBytes(VORN_IMAGE_RECORDER_HA, VORN_IMAGE_RECORDER_ID, -1);
    EXPECT_EQ(user.requests(), std::vector<int>{VORN_REQUEST_NO_SPACE_FOR_IMAGE});
    EXPECT_FALSE(std::filesystem::exists(dir / "full.iso"));
}

// --- Overburning -------------------------------------------------------------------

class OverburnTest : public BurnQuestionsTest {
protected:
    // A CD-R that holds a little more than its nominal 360000 blocks, and a
    // compilation that reaches a few blocks past them.
    void SetUp() override
    {
        BurnQuestionsTest::SetUp();
        big = dir / "big.vrn";
        ASSERT_TRUE(vrn::VrnDisc::create(big, VORN_MEDIUM_CD_R, 360000 + 600).ok());
        ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
        ASSERT_EQ(VornControl_InsertDisc(kHa, kCdWriter, big.c_str()), 1);
        over = newCompilation();
        // Sparse: the bytes cost no disk space in the source.
        const std::uint64_t bytes = std::uint64_t(360000 + 20) * 2048;
        {
            std::ofstream f(dir / "src" / "huge.bin", std::ios::binary);
        }
        std::filesystem::resize_file(dir / "src" / "huge.bin", bytes);
        add(over, "huge.bin");
        need = VornDataCompilation_GetTotalBlocks(over);
        ASSERT_GT(need, 360000u);
        ASSERT_LT(need, 360000u + 600);
    }
    std::filesystem::path big;
    VornDataCompilation *over = nullptr;
    std::uint32_t need = 0;
};

TEST_F(OverburnTest, PastTheNominalCapacityAsksAndWritesWhenAnsweredOne)
{
    VornDevice *writer = open(kCdWriter);
    // Overburning off: the disc is simply too small; nothing is asked.
    const std::int32_t off = 0;
    ASSERT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, &off), 1);
    VornUserDialogOption none{nullptr, nullptr};
    ASSERT_EQ(VornSetOption(VORN_OPTION_USER_DIALOG, &none), 1);
    EXPECT_EQ(burn(over, writer, kWrite), VORN_BURN_DISC_TOO_SMALL);

    // A limit below what is needed: still too small.
    VornUserDialogOption option{onQuestion, &user};
    ASSERT_EQ(VornSetOption(VORN_OPTION_USER_DIALOG, &option), 1);
    const std::int32_t tooFew = static_cast<std::int32_t>(need - 360000 - 1);
    ASSERT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_RELATIVE, &tooFew), 1);
    user.script = [](int request, void *) { return request == VORN_REQUEST_WAIT_FOR_DISC ? VORN_ANSWER_ABORTING : -1; };
    EXPECT_EQ(burn(over, writer, kWrite), VORN_BURN_ABORTED);
    EXPECT_EQ(user.all().at(0).detail, VORN_WAIT_LARGER_DISC);

    // Enough: asked with the blocks needed and the normal capacity;
    // declining writes nothing.
    const std::int32_t frames = 1000;
    ASSERT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_RELATIVE, &frames), 1);
    std::uint32_t shown[2] = {};
    int answer = 0;
    user.asked.clear();
    user.script = [&](int request, void *data) {
        if (request != VORN_REQUEST_OVERBURN)
            return -1;
        std::memcpy(shown, data, sizeof shown);
        return answer;
    };
    EXPECT_EQ(burn(over, writer, kWrite), VORN_BURN_DECLINED);
    EXPECT_EQ(shown[0], need);
    EXPECT_EQ(shown[1], 360000u);
    {
        auto disc = vrn::VrnDisc::open(big, vrn::VrnDisc::Access::ReadOnly);
        ASSERT_TRUE(disc.ok());
        EXPECT_TRUE(disc.value().tracks().empty());
    }
    answer = 1;
    ASSERT_EQ(burn(over, writer, kWrite), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(user.requests(), (std::vector<int>{VORN_REQUEST_OVERBURN, VORN_REQUEST_OVERBURN}));
    auto disc = vrn::VrnDisc::open(big, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    EXPECT_EQ(disc.value().tracks()[0].end(), need);
}

TEST_F(OverburnTest, AnAbsoluteLimitPastTheRealCapacityStillRefuses)
{
    VornDevice *writer = open(kCdWriter);
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    ASSERT_TRUE(vrn::VrnDisc::create(dir / "nominal.vrn", VORN_MEDIUM_CD_R, 360000).ok());
    ASSERT_EQ(VornControl_InsertDisc(kHa, kCdWriter, (dir / "nominal.vrn").c_str()), 1);
    const std::int32_t frames = 400000;
    ASSERT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, &frames), 1);
    user.script = [](int request, void *) { return request == VORN_REQUEST_WAIT_FOR_DISC ? VORN_ANSWER_ABORTING : 1; };
    EXPECT_EQ(burn(over, writer, kWrite), VORN_BURN_ABORTED);
    EXPECT_EQ(user.requests().front(), VORN_REQUEST_WAIT_FOR_DISC);
}

// --- Verification ----------------------------------------------------------------

TEST_F(BurnQuestionsTest, VerifyPassesOnAGoodDiscAndFailsOnASectorCorruptedBeforeReadingBack)
{
    add(comp, "a.bin");
    VornDevice *rewriter = open(kCdRewriter);
    ASSERT_EQ(burn(comp, rewriter, kWrite | VORN_BURN_VERIFY), VORN_BURN_OK) << lastLogLine();
    auto seen = phases();
    auto verifying = std::find(seen.begin(), seen.end(), VORN_PHASE_VERIFYING);
    ASSERT_NE(verifying, seen.end());
    EXPECT_LT(std::find(seen.begin(), seen.end(), VORN_PHASE_WRITING_ENDED), verifying);
    EXPECT_EQ(seen.back(), VORN_PHASE_VERIFY_OK);
    {
        // The reading is followed as a major phase of its own, up to 100 %.
        std::lock_guard lock(user.mu);
        EXPECT_EQ(std::count(user.majorPhases.begin(), user.majorPhases.end(), 3), 1);
        ASSERT_FALSE(user.readPercents.empty());
        EXPECT_TRUE(std::is_sorted(user.readPercents.begin(), user.readPercents.end()));
        EXPECT_EQ(user.readPercents.back(), 100);
    }

    // A block in the middle of a.bin goes bad between writing and reading back.
    ASSERT_EQ(VornEraseDisc(rewriter, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_OK);
    {
        std::lock_guard lock(user.mu);
        user.phases.clear();
    }
    gOnPhase = [](int phase) {
        if (phase == VORN_PHASE_VERIFYING) {
            EXPECT_EQ(VornControl_CorruptSector(kHa, kCdRewriter, 300), 1);
        }
    };
    EXPECT_EQ(burn(comp, rewriter, kWrite | VORN_BURN_VERIFY), VORN_BURN_VERIFY_FAILED);
    EXPECT_EQ(lastLogLine(), "Verification failed: block 300 of the disc in Rewriter differs from what was written.");
    EXPECT_EQ(phases().back(), VORN_PHASE_VERIFY_FAILED);
    // The write itself completed: the track is there, finished.
    {
        auto disc = vrn::VrnDisc::open(dir / "cdrw.vrn", vrn::VrnDisc::Access::ReadOnly);
        ASSERT_TRUE(disc.ok());
        ASSERT_EQ(disc.value().tracks().size(), 1u);
        EXPECT_EQ(disc.value().tracks()[0].flags & vrn::kTrackIncomplete, 0u);
    }

    // Cancelled while reading back: an abort, with the disc as written.
    ASSERT_EQ(VornEraseDisc(rewriter, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0), VORN_ERASE_OK);
    VornExtendedProgress *p = progress;
    gOnPhase = [p](int phase) {
        if (phase == VORN_PHASE_VERIFYING)
            VornExtendedProgress_SetUserAbort(p, 1);
    };
    EXPECT_EQ(burn(comp, rewriter, kWrite | VORN_BURN_VERIFY), VORN_BURN_ABORTED);
    EXPECT_EQ(phases().back(), VORN_PHASE_VERIFY_ABORTED);
    auto disc = vrn::VrnDisc::open(dir / "cdrw.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    EXPECT_EQ(disc.value().tracks().size(), 1u);
}

TEST_F(BurnQuestionsTest, VerifyReadsAContainerOfTheImageRecorderBack)
{
    add(comp, "a.bin");
    VornControl_SetImageFileName((dir / "image.vrn").c_str());
    ASSERT_EQ(burn(comp, open(-1), kWrite | VORN_BURN_VERIFY), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(phases().back(), VORN_PHASE_VERIFY_OK);
    EXPECT_TRUE(user.requests().empty());
}

// --- Copies --------------------------------------------------------------------------

TEST_F(BurnQuestionsTest, CopiesAskForTheNextBlankDiscAndWriteTheSameTrackOnEach)
{
    add(comp, "a.bin");
    VornDevice *writer = open(kCdWriter);
    const auto second = blankDisc("second.vrn");
    insertOnWait(kCdWriter, second);
    ASSERT_EQ(burn(comp, writer, kWrite, 2), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(without(user.requests(), VORN_REQUEST_WAIT_MEDIA_TEXTS),
              (std::vector<int>{VORN_REQUEST_WAIT_FOR_DISC, VORN_REQUEST_DESTROY_WAIT}));
    EXPECT_EQ(user.all().at(0).detail, VORN_WAIT_NEXT_BLANK_DISC);
    {
        std::lock_guard lock(user.mu);
        EXPECT_EQ(user.copies, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    }
    auto first = vrn::VrnDisc::open(dir / "cdr.vrn", vrn::VrnDisc::Access::ReadOnly);
    auto other = vrn::VrnDisc::open(second, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(first.ok() && other.ok());
    ASSERT_EQ(first.value().tracks().size(), 1u);
    ASSERT_EQ(other.value().tracks().size(), 1u);
    std::vector<std::uint8_t> a(first.value().tracks()[0].length * 2048), b(a.size());
    ASSERT_TRUE(first.value().readTrackBlocks(0, 0, a).ok());
    ASSERT_TRUE(other.value().readTrackBlocks(0, 0, b).ok());
    EXPECT_EQ(a, b);

    // Aborting the wait for the second disc keeps the first one as written.
    user.asked.clear();
    user.script = [](int, void *) { return VORN_ANSWER_ABORTING; };
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    ASSERT_EQ(VornControl_InsertDisc(kHa, kCdWriter, blankDisc("third.vrn").c_str()), 1);
    EXPECT_EQ(burn(comp, writer, kWrite, 3), VORN_BURN_ABORTED);
    auto third = vrn::VrnDisc::open(dir / "third.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(third.ok());
    EXPECT_EQ(third.value().tracks().size(), 1u);
}

// --- Sessions that continue a disc -------------------------------------------------

class SessionsTest : public BurnQuestionsTest {
protected:
    ProcessResult tool(std::vector<std::string> argv)
    {
        if (argv[0] == "vorn-disc")
            argv[0] = std::string(VORN_BIN_DIR) + "/vorn-disc";
        else if (gchar *found = g_find_program_in_path(argv[0].c_str())) {
            argv[0] = found;
            g_free(found);
        }
        auto r = runProcess(argv);
        EXPECT_EQ(r.exitStatus, 0) << argv[0] << ": " << r.err;
        return r;
    }
    // Files of the newest session as xorriso lists them.
    std::vector<std::string> listing(const std::filesystem::path &disc)
    {
        const auto iso = dir / "export.iso";
        std::filesystem::remove(iso);
        tool({"vorn-disc", "export-iso", disc.string(), iso.string()});
        auto out = tool({"xorriso", "-indev", iso.string(), "-find", "/", "-type", "f"}).out;
        std::vector<std::string> files;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line.front() == '\'')
                files.push_back(line.substr(1, line.size() - 2));
        std::sort(files.begin(), files.end());
        return files;
    }
    std::string exported(const std::string &file)
    {
        const auto out = dir / "extracted";
        std::filesystem::remove(out);
        tool({"xorriso", "-osirrox", "on", "-indev", (dir / "export.iso").string(), "-extract", file, out.string()});
        return bytesOf(out);
    }
    int sessionsOf(VornDevice *device)
    {
        VornDiscInfo *info = VornGetCDInfo(device, 0);
        if (!info)
            return -1;
        const int n = info->sessionCount;
        VornFreeMem(info);
        return n;
    }
};

TEST_F(SessionsTest, EachSessionAfterAnImportShowsTheUnionAndTheDiscCountsItsSessions)
{
    if (!haveTool("xorriso"))
        GTEST_SKIP() << "xorriso is not installed";
    writeFile(dir / "src" / "c.txt", "second session\n");
    writeFile(dir / "src" / "d.bin", pattern(300000, 4));
    writeFile(dir / "src" / "b2.txt", "replaced in the third session\n");
    // Room for three sessions with the lead-outs and lead-ins between them.
    VornDevice *writer = open(kCdWriter);
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    ASSERT_EQ(VornControl_InsertDisc(kHa, kCdWriter, blankDisc("sessions.vrn", VORN_MEDIUM_CD_R, 30000).c_str()), 1);
    const auto appendable = kWrite | VORN_BURN_CLOSE_SESSION;

    add(comp, "b.txt");
    ASSERT_EQ(burn(comp, writer, appendable), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(comp), VORN_MULTISESSION_CONTINUE);
    EXPECT_EQ(sessionsOf(writer), 1);

    // Second session: the first one imported, one file added.
    auto *second = newCompilation();
    VornDataCompilation_SetMultisessionType(second, VORN_MULTISESSION_CONTINUE);
    ASSERT_EQ(VornDataCompilation_ImportTrack(second, writer, -1), 1) << lastLogLine();
    add(second, "c.txt");
    add(second, "d.bin");
    char *stampBefore = VornGetCDStampHash(writer);
    ASSERT_EQ(burn(second, writer, appendable), VORN_BURN_OK) << lastLogLine();
    char *stampAfter = VornGetCDStampHash(writer);
    EXPECT_STRNE(stampBefore, stampAfter);
    VornFreeMem(stampBefore);
    VornFreeMem(stampAfter);
    EXPECT_EQ(sessionsOf(writer), 2);
    EXPECT_EQ(VornGetNumTracks(writer), 2);
    EXPECT_EQ(listing(dir / "sessions.vrn"), (std::vector<std::string>{"/b.txt", "/c.txt", "/d.bin"}));
    EXPECT_EQ(exported("/b.txt"), "first session\n");
    EXPECT_EQ(exported("/d.bin"), pattern(300000, 4));

    // The same compilation again: the disc moved on, it continues nothing now.
    EXPECT_EQ(burn(second, writer, appendable), VORN_BURN_NOT_WRITABLE);
    EXPECT_EQ(lastLogLine(), "The compilation continues another disc than the one in Writer.");

    // Third session, finalizing the disc.
    auto *third = newCompilation();
    VornDataCompilation_SetMultisessionType(third, VORN_MULTISESSION_CONTINUE);
    ASSERT_EQ(VornDataCompilation_ImportTrack(third, writer, -1), 1) << lastLogLine();
    add(third, "b2.txt");
    // Taken out meanwhile: the burn waits for a disc to continue.
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kCdWriter), 1);
    user.asked.clear();
    insertOnWait(kCdWriter, dir / "sessions.vrn");
    ASSERT_EQ(burn(third, writer, kWrite | VORN_BURN_VERIFY), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(user.all().at(0).detail, VORN_WAIT_APPENDABLE_DISC);
    user.script = nullptr;
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(third), VORN_MULTISESSION_NONE);
    EXPECT_EQ(sessionsOf(writer), 3);
    EXPECT_EQ(listing(dir / "sessions.vrn"), (std::vector<std::string>{"/b.txt", "/b2.txt", "/c.txt", "/d.bin"}));
    EXPECT_EQ(exported("/c.txt"), "second session\n");

    // A finalized disc takes no further session, with its own result.
    auto *fourth = newCompilation();
    ASSERT_EQ(VornDataCompilation_ImportTrack(fourth, writer, -1), 1) << lastLogLine();
    add(fourth, "a.bin");
    EXPECT_EQ(burn(fourth, writer, appendable), VORN_BURN_DISC_CLOSED);
    EXPECT_EQ(sessionsOf(writer), 3);

    // A continuing compilation cannot become an image file.
    VornControl_SetImageFileName((dir / "no.iso").c_str());
    EXPECT_EQ(burn(fourth, open(-1), kWrite), VORN_BURN_NOT_WRITABLE);
    EXPECT_FALSE(std::filesystem::exists(dir / "no.iso"));
}

// --- DVD -----------------------------------------------------------------------------

TEST_F(BurnQuestionsTest, DvdBookTypeIsSetOnlyWhenTheBurnAllowsChangingIt)
{
    add(comp, "b.txt");
    VornDevice *dvd = open(kDvdWriter);
    const std::int32_t dvdRom = 1, plusR = 6;
    ASSERT_EQ(VornSetDeviceOption(dvd, VORN_DEVICE_OPTION_BOOK_TYPE, &plusR), 1);
    auto bookType = [&](const std::filesystem::path &p) {
        auto disc = vrn::VrnDisc::open(p, vrn::VrnDisc::Access::ReadOnly);
        EXPECT_TRUE(disc.ok());
        return disc.ok() ? disc.value().bookType() : 99u;
    };
    // As the application always burns: the book type stays as it was.
    ASSERT_EQ(burn(comp, dvd, kWrite | VORN_BURN_DAO | VORN_BURN_NO_BOOKTYPE_CHANGE), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(bookType(dir / "dvd.vrn"), 0u);

    ASSERT_EQ(VornControl_RemoveDisc(kHa, kDvdWriter), 1);
    const auto second = blankDisc("dvd2.vrn", VORN_MEDIUM_DVD_PLUS_R);
    ASSERT_EQ(VornControl_InsertDisc(kHa, kDvdWriter, second.c_str()), 1);
    ASSERT_EQ(burn(comp, dvd, kWrite | VORN_BURN_DAO), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(bookType(second), std::uint32_t(plusR));

    ASSERT_EQ(VornControl_RemoveDisc(kHa, kDvdWriter), 1);
    const auto third = blankDisc("dvd3.vrn", VORN_MEDIUM_DVD_PLUS_R);
    ASSERT_EQ(VornControl_InsertDisc(kHa, kDvdWriter, third.c_str()), 1);
    ASSERT_EQ(burn(comp, dvd, kWrite | VORN_BURN_DAO | VORN_BURN_BOOKTYPE_DVDROM), VORN_BURN_OK) << lastLogLine();
    EXPECT_EQ(bookType(third), std::uint32_t(dvdRom));
    VornDiscInfo *info = VornGetCDInfo(dvd, 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->bookType, dvdRom);
    VornFreeMem(info);
}

TEST_F(BurnQuestionsTest, HighCompatibilityPadsADvdWithZerosButNotACd)
{
    add(comp, "a.bin");
    const std::uint32_t need = VornDataCompilation_GetTotalBlocks(comp);
    VornDevice *dvd = open(kDvdWriter);
    const std::uint32_t flags = kWrite | VORN_BURN_DAO | VORN_BURN_DVDP_BURN_30MM_AT_LEAST | VORN_BURN_VERIFY;
    ASSERT_EQ(burn(comp, dvd, flags), VORN_BURN_OK) << lastLogLine();
    auto disc = vrn::VrnDisc::open(dir / "dvd.vrn", vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    ASSERT_EQ(disc.value().tracks().size(), 1u);
    // The small emulated disc is padded to its end: the minimum is larger.
    EXPECT_EQ(disc.value().tracks()[0].length, kDiscBlocks);
    std::vector<std::uint8_t> tail(2048, 0xAA);
    ASSERT_TRUE(disc.value().readTrackBlocks(0, kDiscBlocks - 1, tail).ok());
    EXPECT_EQ(tail, std::vector<std::uint8_t>(2048, 0));

    // The same flag on a CD in the same drive changes nothing.
    ASSERT_EQ(VornControl_RemoveDisc(kHa, kDvdWriter), 1);
    const auto cd = blankDisc("cd.vrn");
    ASSERT_EQ(VornControl_InsertDisc(kHa, kDvdWriter, cd.c_str()), 1);
    ASSERT_EQ(burn(comp, dvd, flags), VORN_BURN_OK) << lastLogLine();
    auto cdDisc = vrn::VrnDisc::open(cd, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(cdDisc.ok());
    EXPECT_EQ(cdDisc.value().tracks()[0].length, need);
}

}  // namespace
}  // namespace vorn::test
