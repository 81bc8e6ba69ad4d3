// The progress object: handles that refuse what is not theirs, the order in
// which a burn's driver reports, and scripted burns with holds and aborts.
#include "VornAPI.h"
#include "VornControl.h"
#include "progress/Progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using vorn::engine::progress::Driver;
using vorn::engine::progress::Outline;

// The callbacks carry no user data, so what they report goes to one
// process-wide list.
struct Event {
    std::string what;
    long long a = 0, b = 0, c = 0;
    std::string text;
    std::thread::id thread;
};

std::mutex gMu;
std::vector<Event> gEvents;
int gAbortAfterProgress = -1;  // SetUserAbort from inside a callback
VornExtendedProgress *gProgress = nullptr;

void note(std::string what, long long a = 0, long long b = 0, long long c = 0, const char *text = nullptr)
{
    std::lock_guard lock(gMu);
    gEvents.push_back({std::move(what), a, b, c, text ? text : "(null)", std::this_thread::get_id()});
}

extern "C" {
int onProgress(int64_t done, int64_t total)
{
    note("progress", done, total);
    if (gAbortAfterProgress >= 0 && done >= gAbortAfterProgress)
        VornExtendedProgress_SetUserAbort(gProgress, 1);
    return 0;
}
void onFile(const char *name) { note("file", 0, 0, 0, name); }
void onPhase(int phase) { note("phase", phase); }
void onStatusPhase(int phase) { note("status", phase); }
void onWriteSpeed(int speed, int base, int verifying) { note("speed", speed, base, verifying); }
void onRemaining(uint32_t ms) { note("remaining", ms); }
void onDocSize(int32_t blocks, int64_t bytes) { note("size", blocks, bytes); }
void onMessage(const char *text, int, int kind) { note("message", kind, 0, 0, text); }
void onWriterStatus(int index, int status) { note("writer-status", index, status); }
void onWriterPhase(int index, int phase) { note("writer-phase", index, phase); }
void onBufferAvailable(int index, int on) { note("buffer-available", index, on); }
void onBuffer(int index, uint32_t level, uint32_t size) { note("buffer", index, level, size); }
void onCopies(int current, int, int total) { note("copies", current, total); }
int onGetRemaining(uint32_t *ms)
{
    *ms = 1234;
    return 1;
}
}

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::lock_guard lock(gMu);
        gEvents.clear();
        gAbortAfterProgress = -1;
        VornControl_SetTimeScale(0);
        progress = VornExtendedProgress_New();
        ASSERT_NE(progress, nullptr);
        gProgress = progress;
        ASSERT_EQ(VornExtendedProgress_SetCallback_ProgressCallback(progress, onProgress), 1);
        VornExtendedProgress_SetCallback_SetFileNameCallback(progress, onFile);
        VornExtendedProgress_SetCallback_SetPhaseCallback(progress, onPhase);
        VornExtendedProgress_SetCallback_SetStatusPhaseCallback(progress, onStatusPhase);
        VornExtendedProgress_SetCallback_SetWriteSpeedCallback(progress, onWriteSpeed);
        VornExtendedProgress_SetCallback_SetRemainingTimeCallback(progress, onRemaining);
        VornExtendedProgress_SetCallback_SetDocSizeCallback(progress, onDocSize);
        VornExtendedProgress_SetCallback_AddMessageCallback(progress, onMessage);
        VornExtendedProgress_SetCallback_SetWriterStatusCallback(progress, onWriterStatus);
        VornExtendedProgress_SetCallback_SetWriterPhaseCallback(progress, onWriterPhase);
        VornExtendedProgress_SetCallback_SetWriterBufferAvailableCallback(progress, onBufferAvailable);
        VornExtendedProgress_SetCallback_SetWriterBufferCallback(progress, onBuffer);
        VornExtendedProgress_SetCallback_SetNumCopiesCallback(progress, onCopies);
    }
    void TearDown() override
    {
        VornControl_WaitScriptedBurn(10000);
        VornExtendedProgress_Destroy(progress);
        gProgress = nullptr;
        VornControl_SetTimeScale(1);
    }

    static std::vector<Event> events()
    {
        std::lock_guard lock(gMu);
        return gEvents;
    }
    static std::vector<long long> phases()
    {
        std::vector<long long> out;
        for (const auto &e : events())
            if (e.what == "phase")
                out.push_back(e.a);
        return out;
    }
    // Index of the first event matching, or -1.
    static long indexOf(const std::vector<Event> &list, const std::string &what, long long a)
    {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].what == what && list[i].a == a)
                return static_cast<long>(i);
        return -1;
    }

    static Outline outline(long long blocks)
    {
        Outline o;
        o.totalBlocks = blocks;
        o.totalBytes = blocks * 2048;
        o.writerName = "Recorder";
        o.bufferSizeKB = 2048;
        return o;
    }

    VornExtendedProgress *progress = nullptr;
};

// --- Handles

TEST_F(ProgressTest, HandlesOfAnotherKindAndDestroyedOnesAreRefused)
{
    VornDataCompilation *comp = VornDataCompilation_New();
    ASSERT_NE(comp, nullptr);
    auto *wrong = reinterpret_cast<VornExtendedProgress *>(comp);
    EXPECT_EQ(VornExtendedProgress_SetCallback_SetPhaseCallback(wrong, onPhase), 0);
    EXPECT_EQ(VornExtendedProgress_SetUserAbort(wrong, 1), 0);
    VornExtendedProgress_Destroy(wrong);  // ignored: the compilation still works
    EXPECT_EQ(VornDataCompilation_SetJoliet(comp, 1), 1);
    VornDataCompilation_Destroy(comp);

    int onStack = 0;
    auto *bogus = reinterpret_cast<VornExtendedProgress *>(&onStack);
    EXPECT_EQ(VornExtendedProgress_SetCallback_ProgressCallback(bogus, onProgress), 0);
    EXPECT_EQ(VornExtendedProgress_SetCallback_ProgressCallback(nullptr, onProgress), 0);

    VornExtendedProgress *gone = VornExtendedProgress_New();
    VornExtendedProgress_Destroy(gone);
    EXPECT_EQ(VornExtendedProgress_SetUserAbort(gone, 1), 0);
    EXPECT_EQ(VornExtendedProgress_SetCallback_SetPhaseCallback(gone, onPhase), 0);
    VornExtendedProgress_Destroy(gone);  // a second destroy is harmless

    EXPECT_EQ(VornExtendedProgress_SetUserAbort(progress, 2), 0);
    EXPECT_EQ(VornExtendedProgress_SetUserAbort(progress, 1), 1);
    EXPECT_EQ(VornExtendedProgress_SetUserAbort(progress, 0), 1);
}

TEST_F(ProgressTest, DataCompilationTakesAProgressObject)
{
    VornDataCompilation *comp = VornDataCompilation_New();
    EXPECT_EQ(VornDataCompilation_SetExtendedProgress(comp, progress), 1);
    EXPECT_EQ(VornDataCompilation_SetExtendedProgress(comp, nullptr), 1);
    VornDataCompilation_Destroy(comp);
}

// --- The driver

TEST_F(ProgressTest, WritingIsFramedByPhases32And36InARecordersOrder)
{
    {
        Driver driver(progress);
        driver.begin(outline(100));
        driver.startWriting(1800, 150);
        for (int done = 10; done <= 100; done += 10)
            driver.wrote(done, done <= 50 ? "/a.txt" : "/b.txt");
        driver.endWriting(true);
        driver.phase(VORN_PHASE_FINISHING);
        driver.finish();
    }
    EXPECT_EQ(phases(), (std::vector<long long>{VORN_PHASE_PREPARING_ITEMS, VORN_PHASE_WRITING_TO_DISC,
                                                VORN_PHASE_WRITING_ENDED, VORN_PHASE_FINISHING}));
    const auto list = events();
    const long start = indexOf(list, "phase", 32);
    const long end = indexOf(list, "phase", 36);
    long firstBlock = -1, lastProgress = -1;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].what == "progress" && list[i].a > 0) {
            if (firstBlock < 0)
                firstBlock = static_cast<long>(i);
            lastProgress = static_cast<long>(i);
        }
    ASSERT_GE(firstBlock, 0);
    EXPECT_LT(start, firstBlock);
    EXPECT_GT(end, lastProgress);
    EXPECT_EQ(list[static_cast<std::size_t>(lastProgress)].a, 100);
    EXPECT_EQ(list[static_cast<std::size_t>(lastProgress)].b, 100);

    // The recorder: lead-in before the track, lead-out before writing ends,
    // active while writing and ready after a good write.
    const long leadIn = indexOf(list, "writer-phase", 0);  // index 0 is the recorder
    ASSERT_GE(leadIn, 0);
    std::vector<long long> writerPhases;
    for (const auto &e : list)
        if (e.what == "writer-phase")
            writerPhases.push_back(e.b);
    EXPECT_EQ(writerPhases, (std::vector<long long>{VORN_WRITER_PHASE_IDLE, VORN_WRITER_PHASE_LEAD_IN,
                                                    VORN_WRITER_PHASE_TRACK, VORN_WRITER_PHASE_LEAD_OUT,
                                                    VORN_WRITER_PHASE_IDLE}));
    long long lastStatus = -1;
    for (const auto &e : list)
        if (e.what == "writer-status")
            lastStatus = e.b;
    EXPECT_EQ(lastStatus, VORN_WRITER_STATUS_READY);

    // A file name is reported when it changes, and cleared at the end.
    std::vector<std::string> files;
    for (const auto &e : list)
        if (e.what == "file")
            files.push_back(e.text);
    EXPECT_EQ(files, (std::vector<std::string>{"/a.txt", "/b.txt", "(null)"}));
}

TEST_F(ProgressTest, RemainingTimeFollowsTheSpeedAndEndsAtZero)
{
    Driver driver(progress);
    driver.begin(outline(7500));  // 15,000 KB at 1,500 KB/s: 10 s
    driver.startWriting(1500, 150);
    driver.wrote(3750, nullptr);
    driver.endWriting(true);
    std::vector<long long> remaining;
    for (const auto &e : events())
        if (e.what == "remaining")
            remaining.push_back(e.a);
    ASSERT_EQ(remaining.size(), 3u);
    EXPECT_EQ(remaining[0], 10000);
    EXPECT_EQ(remaining[1], 5000);
    EXPECT_EQ(remaining[2], 0);
    EXPECT_EQ(driver.callerRemainingMs(), std::nullopt);
    VornExtendedProgress_SetCallback_GetRemainingTimeCallback(progress, onGetRemaining);
    EXPECT_EQ(driver.callerRemainingMs(), 1234u);
}

TEST_F(ProgressTest, ImageRecorderReportsNoSpeedNoLeadInAndNoBuffer)
{
    Driver driver(progress);
    Outline o = outline(10);
    o.imageRecorder = true;
    driver.begin(o);
    driver.startWriting(1800, 150);
    driver.buffer(100);
    driver.wrote(10, nullptr);
    driver.endWriting(true);
    const auto list = events();
    const long speed = indexOf(list, "speed", 65535);
    ASSERT_GE(speed, 0);
    EXPECT_EQ(list[static_cast<std::size_t>(speed)].b, 0);
    for (const auto &e : list) {
        EXPECT_FALSE(e.what == "writer-phase" && e.b == VORN_WRITER_PHASE_LEAD_IN);
        EXPECT_FALSE(e.what == "buffer");
        EXPECT_FALSE(e.what == "buffer-available" && e.b == 1);
        EXPECT_FALSE(e.what == "remaining" && e.a != 0);
    }
}

TEST_F(ProgressTest, AWriteLeftOpenEndsWith36AndAFailedRecorder)
{
    {
        Driver driver(progress);
        driver.begin(outline(50));
        driver.startWriting(1800, 150);
        driver.wrote(20, nullptr);
        // Leaves scope as a write failure or an exception would.
    }
    const auto list = events();
    EXPECT_EQ(phases().back(), VORN_PHASE_WRITING_ENDED);
    EXPECT_EQ(list.back().what, "writer-status");
    EXPECT_EQ(list.back().b, VORN_WRITER_STATUS_FAILED);
    // No lead-out after a failed write.
    for (const auto &e : list)
        EXPECT_FALSE(e.what == "writer-phase" && e.b == VORN_WRITER_PHASE_LEAD_OUT);
}

TEST_F(ProgressTest, ReportsOutOfTheirStageAreDropped)
{
    Driver driver(progress);
    driver.wrote(5, "/early");  // before begin
    driver.begin(outline(10));
    driver.wrote(5, "/early");  // before writing starts
    driver.startWriting(1800, 150);
    driver.phase(VORN_PHASE_CREATING_IMAGE);  // no phase change while writing
    driver.endWriting(true);
    driver.endWriting(true);  // a second end sends nothing
    driver.wrote(10, "/late");
    EXPECT_EQ(phases(), (std::vector<long long>{VORN_PHASE_PREPARING_ITEMS, VORN_PHASE_WRITING_TO_DISC,
                                                VORN_PHASE_WRITING_ENDED}));
    for (const auto &e : events()) {
        EXPECT_NE(e.text, "/early");
        EXPECT_NE(e.text, "/late");
    }
}

TEST_F(ProgressTest, ADestroyedObjectSilencesTheBurnButKeepsItsAbortFlag)
{
    VornExtendedProgress *own = VornExtendedProgress_New();
    VornExtendedProgress_SetCallback_SetPhaseCallback(own, onPhase);
    Driver driver(own);
    driver.begin(outline(10));
    VornExtendedProgress_SetUserAbort(own, 1);
    VornExtendedProgress_Destroy(own);
    driver.startWriting(1800, 150);
    EXPECT_TRUE(driver.abortRequested());
    EXPECT_EQ(phases(), std::vector<long long>{VORN_PHASE_PREPARING_ITEMS});
}

// --- Scripted burns

TEST_F(ProgressTest, ScriptedBurnRunsOnAnEngineThreadAndReachesTheTotal)
{
    const char *files[] = {"/one.txt", "/two.txt"};
    VornControlScriptedBurn script{};
    script.totalBlocks = 64;
    script.blocksPerStep = 5;
    script.writeSpeedKBs = 1800;
    script.speedBaseKBs = 150;
    script.fileNames = files;
    script.fileCount = 2;
    script.bufferSizeKB = 4096;
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    EXPECT_EQ(VornControl_StartScriptedBurn(progress, &script), 0);  // one at a time
    EXPECT_EQ(VornControl_WaitScriptedBurn(10000), VORN_BURN_OK);

    const auto list = events();
    ASSERT_FALSE(list.empty());
    for (const auto &e : list)
        EXPECT_NE(e.thread, std::this_thread::get_id());
    long long last = -1;
    for (const auto &e : list)
        if (e.what == "progress") {
            EXPECT_GE(e.a, last);  // never backwards
            last = e.a;
            EXPECT_EQ(e.b, 64);
        }
    EXPECT_EQ(last, 64);
    EXPECT_LT(indexOf(list, "phase", 32), indexOf(list, "file", 0));
    EXPECT_GT(indexOf(list, "phase", 36), indexOf(list, "progress", 64));
    const long buffer = indexOf(list, "buffer", 0);
    ASSERT_GE(buffer, 0);
    EXPECT_LE(list[static_cast<std::size_t>(buffer)].b, 4096);
    EXPECT_EQ(list[static_cast<std::size_t>(buffer)].c, 4096);
}

TEST_F(ProgressTest, ScriptedBurnStopsAtItsHoldsInOrder)
{
    const uint32_t holds[] = {0, 7, 20};
    VornControlScriptedBurn script{};
    script.totalBlocks = 20;
    script.blocksPerStep = 5;  // 7 lies inside a step: the step ends on it
    script.writeSpeedKBs = 1800;
    script.speedBaseKBs = 150;
    script.holdBeforeBlocks = holds;
    script.holdCount = 3;
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurnHeld(5000), 0);
    EXPECT_EQ(phases().back(), VORN_PHASE_WRITING_TO_DISC);
    EXPECT_EQ(VornControl_ResumeScriptedBurn(), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurnHeld(5000), 7);
    EXPECT_EQ(events().back().what, "remaining");
    EXPECT_EQ(VornControl_ResumeScriptedBurn(), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurnHeld(5000), 20);
    EXPECT_EQ(phases().back(), VORN_PHASE_WRITING_TO_DISC);  // the last block is written, writing not ended
    EXPECT_EQ(VornControl_ResumeScriptedBurn(), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_OK);
    EXPECT_EQ(VornControl_ResumeScriptedBurn(), 0);
}

TEST_F(ProgressTest, AbortWhileHeldDuringAndFromACallbackGivesResult6With36)
{
    const uint32_t holds[] = {10};
    VornControlScriptedBurn script{};
    script.totalBlocks = 30;
    script.writeSpeedKBs = 1800;
    script.speedBaseKBs = 150;
    script.holdBeforeBlocks = holds;
    script.holdCount = 1;
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    ASSERT_EQ(VornControl_WaitScriptedBurnHeld(5000), 10);
    EXPECT_EQ(VornExtendedProgress_SetUserAbort(progress, 1), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_ABORTED);
    auto list = events();
    EXPECT_EQ(phases().back(), VORN_PHASE_WRITING_ENDED);
    EXPECT_EQ(indexOf(list, "progress", 11), -1);  // nothing written past the abort
    EXPECT_GE(indexOf(list, "message", VORN_MESSAGE_STOP), 0);

    // Abort from inside the progress callback, on the burn thread.
    {
        std::lock_guard lock(gMu);
        gEvents.clear();
        gAbortAfterProgress = 5;
    }
    VornExtendedProgress_SetUserAbort(progress, 0);
    script.holdCount = 0;
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_ABORTED);
    list = events();
    EXPECT_EQ(indexOf(list, "progress", 7), -1);
    EXPECT_EQ(phases().back(), VORN_PHASE_WRITING_ENDED);

    // An abort set before the start stops before writing: no 32, no 36.
    {
        std::lock_guard lock(gMu);
        gEvents.clear();
        gAbortAfterProgress = -1;
    }
    VornExtendedProgress_SetUserAbort(progress, 1);
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_ABORTED);
    EXPECT_EQ(phases(), std::vector<long long>{VORN_PHASE_PREPARING_ITEMS});
}

TEST_F(ProgressTest, AnEmptyScriptedBurnReportsZeroOfZero)
{
    VornControlScriptedBurn script{};
    script.writeSpeedKBs = 65535;
    ASSERT_EQ(VornControl_StartScriptedBurn(progress, &script), 1);
    EXPECT_EQ(VornControl_WaitScriptedBurn(5000), VORN_BURN_OK);
    const auto list = events();
    ASSERT_GE(indexOf(list, "progress", 0), 0);
    EXPECT_EQ(list[static_cast<std::size_t>(indexOf(list, "progress", 0))].b, 0);
    EXPECT_GE(indexOf(list, "phase", 36), 0);
}

TEST_F(ProgressTest, ScriptedBurnRefusesBadArguments)
{
    VornControlScriptedBurn script{};
    EXPECT_EQ(VornControl_StartScriptedBurn(progress, nullptr), 0);
    int onStack = 0;
    EXPECT_EQ(VornControl_StartScriptedBurn(reinterpret_cast<VornExtendedProgress *>(&onStack), &script), 0);
    script.totalBlocks = 0x80000001u;
    EXPECT_EQ(VornControl_StartScriptedBurn(progress, &script), 0);
    EXPECT_EQ(VornControl_WaitScriptedBurnHeld(0), -1);
}

}  // namespace
