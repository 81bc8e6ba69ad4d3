// The control interface's scripted burn: a data burn's progress reported
// through the same driver a real burn uses, on an engine thread, with holds
// that let a test look at the caller's widgets at chosen moments.
#include "Engine.h"
#include "progress/Progress.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <thread>
#include <vector>

namespace vorn::engine::progress {
namespace {

struct Script {
    std::uint32_t totalBlocks = 0;
    std::uint32_t blocksPerStep = 1;
    std::uint32_t stepMs = 0;
    int speedKBs = 0;
    int baseKBs = 150;
    std::vector<std::string> files;
    std::vector<std::string> messages;
    std::uint32_t bufferSizeKB = 0;
    std::vector<std::uint32_t> holds;
};

constexpr std::size_t kMaxHolds = 8;

class Player {
public:
    ~Player()
    {
        std::unique_lock lock(mu_);
        stopping_ = true;
        cv_.notify_all();
        lock.unlock();
        if (thread_.joinable())
            thread_.join();
    }

    bool start(VornExtendedProgress *handle, Script script)
    {
        std::unique_lock lock(mu_);
        if (running_)
            return false;
        if (thread_.joinable())
            thread_.join();  // the previous one has ended
        running_ = true;
        finished_ = false;
        held_.reset();
        resume_ = false;
        thread_ = std::thread([this, handle, s = std::move(script)] { run(handle, s); });
        return true;
    }

    std::int64_t waitHeld(int timeoutMs)
    {
        std::unique_lock lock(mu_);
        cv_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                     [&] { return held_.has_value() || !running_; });
        return held_ ? static_cast<std::int64_t>(*held_) : -1;
    }

    bool resume()
    {
        std::lock_guard lock(mu_);
        if (!held_)
            return false;
        held_.reset();  // a wait right after this must see the next hold, not this one
        resume_ = true;
        cv_.notify_all();
        return true;
    }

    int wait(int timeoutMs)
    {
        std::unique_lock lock(mu_);
        if (!running_ && !finished_)
            return -1;
        if (!cv_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)), [&] { return !running_; }))
            return -1;
        lock.unlock();
        if (thread_.joinable())
            thread_.join();
        return result_;
    }

private:
    // Stops at a hold until resumed or aborted; false when aborted.
    bool hold(std::uint32_t block, Driver &driver)
    {
        std::unique_lock lock(mu_);
        held_ = block;
        resume_ = false;
        cv_.notify_all();
        // The abort flag lives in the progress object, which has no way to
        // wake us: look at it every few milliseconds.
        while (!resume_ && !stopping_ && !driver.abortRequested())
            cv_.wait_for(lock, std::chrono::milliseconds(5));
        held_.reset();
        return resume_ && !driver.abortRequested();
    }

    // Sleeps one step, scaled, in slices so that an abort is seen at once.
    bool pause(const Script &s, Driver &driver)
    {
        double scale = 1.0;
        {
            auto &e = Engine::instance();
            std::lock_guard lock(e.mu);
            scale = e.timeScale;
        }
        const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double, std::milli>(s.stepMs * scale));
        std::unique_lock lock(mu_);
        while (Clock::now() < until) {
            if (stopping_ || driver.abortRequested())
                return false;
            cv_.wait_until(lock, std::min(until, Clock::now() + std::chrono::milliseconds(5)));
        }
        return !stopping_ && !driver.abortRequested();
    }

    bool holdsAt(const Script &s, std::uint32_t block) const
    {
        return std::find(s.holds.begin(), s.holds.end(), block) != s.holds.end();
    }

    int play(Driver &driver, const Script &s)
    {
        Outline outline;
        outline.totalBlocks = s.totalBlocks;
        outline.totalBytes = static_cast<std::int64_t>(s.totalBlocks) * 2048;
        outline.writerName = "Scripted recorder";
        outline.imageRecorder = s.speedKBs == 65535;
        outline.bufferSizeKB = s.bufferSizeKB;
        driver.begin(outline);
        driver.message("Burn process started", VORN_MESSAGE_INFO);
        for (const auto &m : s.messages)
            driver.message(m, VORN_MESSAGE_INFO);
        if (driver.abortRequested())
            return VORN_BURN_ABORTED;

        driver.startWriting(s.speedKBs, s.baseKBs);
        std::uint32_t done = 0;
        for (;;) {
            if (holdsAt(s, done) && !hold(done, driver))
                return VORN_BURN_ABORTED;
            if (done >= s.totalBlocks)
                break;
            if (!pause(s, driver))
                return VORN_BURN_ABORTED;
            // A step never jumps over a hold: it ends on it instead.
            std::uint32_t next = std::min(s.totalBlocks, done + std::max(1u, s.blocksPerStep));
            for (std::uint32_t h : s.holds)
                if (h > done && h < next)
                    next = h;
            done = next;
            const char *file = nullptr;
            if (!s.files.empty()) {
                const std::uint64_t index = static_cast<std::uint64_t>(done - 1) * s.files.size() / s.totalBlocks;
                file = s.files[std::min<std::size_t>(index, s.files.size() - 1)].c_str();
            }
            driver.wrote(done, file);
            if (s.bufferSizeKB)
                // A drive's buffer runs nearly full while the host keeps up.
                driver.buffer(s.bufferSizeKB - (done % 7) * s.bufferSizeKB / 50);
        }
        driver.endWriting(true);
        driver.phase(VORN_PHASE_FINISHING);
        driver.message("Burn process completed successfully", VORN_MESSAGE_INFO);
        return VORN_BURN_OK;
    }

    void run(VornExtendedProgress *handle, Script s) noexcept
    {
        int result = VORN_BURN_ABORTED;
        try {
            Driver driver(handle);
            result = play(driver, s);
            if (result == VORN_BURN_ABORTED) {
                driver.endWriting(false);
                driver.message("Burn process aborted by user", VORN_MESSAGE_STOP);
            }
            driver.finish();
        } catch (...) {
            result = VORN_BURN_WRITE_ERROR;
        }
        std::lock_guard lock(mu_);
        result_ = result;
        running_ = false;
        finished_ = true;
        cv_.notify_all();
    }

    std::mutex mu_;
    std::condition_variable cv_;
    std::thread thread_;
    bool running_ = false;
    bool finished_ = false;
    bool stopping_ = false;
    bool resume_ = false;
    std::optional<std::uint32_t> held_;
    int result_ = -1;
};

Player &player()
{
    static Player p;
    return p;
}

}  // namespace
}  // namespace vorn::engine::progress

using vorn::engine::progress::player;

extern "C" {

VORN_EXPORT int VornControl_StartScriptedBurn(VornExtendedProgress *progress, const VornControlScriptedBurn *script)
{
    try {
        if (!script || script->totalBlocks > 0x80000000u || !vorn::engine::progress::lookup(progress))
            return 0;
        vorn::engine::progress::Script s;
        s.totalBlocks = script->totalBlocks;
        s.blocksPerStep = std::max(1u, script->blocksPerStep);
        s.stepMs = script->stepMs;
        s.speedKBs = script->writeSpeedKBs;
        s.baseKBs = script->speedBaseKBs;
        for (int i = 0; script->fileNames && i < script->fileCount; ++i)
            s.files.emplace_back(script->fileNames[i] ? script->fileNames[i] : "");
        for (int i = 0; script->messages && i < script->messageCount; ++i)
            s.messages.emplace_back(script->messages[i] ? script->messages[i] : "");
        s.bufferSizeKB = script->bufferSizeKB;
        for (int i = 0; script->holdBeforeBlocks && i < script->holdCount &&
                        s.holds.size() < vorn::engine::progress::kMaxHolds;
             ++i)
            s.holds.push_back(script->holdBeforeBlocks[i]);
        return player().start(progress, std::move(s)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

VORN_EXPORT int64_t VornControl_WaitScriptedBurnHeld(int timeoutMs)
{
    try {
        return player().waitHeld(timeoutMs);
    } catch (...) {
        return -1;
    }
}

VORN_EXPORT int VornControl_ResumeScriptedBurn(void)
{
    try {
        return player().resume() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

VORN_EXPORT int VornControl_WaitScriptedBurn(int timeoutMs)
{
    try {
        return player().wait(timeoutMs);
    } catch (...) {
        return -1;
    }
}

}  // extern "C"

namespace {

using vorn::engine::progress::Callbacks;

template <class F, class... A>
int send(vorn::engine::progress::State &state, F Callbacks::*member, A... args)
{
    F fn = state.get(member);
    if (!fn)
        return 0;
    fn(args...);
    return 1;
}

}  // namespace

extern "C" VORN_EXPORT int VornControl_SendProgressReport(VornExtendedProgress *progress,
                                                          const VornControlReport *r)
{
    try {
        auto state = vorn::engine::progress::lookup(progress);
        if (!state || !r)
            return 0;
        auto &s = *state;
        const int a = static_cast<int>(r->a), b = static_cast<int>(r->b), c = static_cast<int>(r->c);
        switch (r->kind) {
        case VORN_CONTROL_REPORT_PROGRESS: return send(s, &Callbacks::progress, r->a, r->b);
        case VORN_CONTROL_REPORT_FILE_NAME: return send(s, &Callbacks::setFileName, r->text);
        case VORN_CONTROL_REPORT_PHASE: return send(s, &Callbacks::setPhase, a);
        case VORN_CONTROL_REPORT_STATUS_PHASE: return send(s, &Callbacks::setStatusPhase, a);
        case VORN_CONTROL_REPORT_READ_SPEED: return send(s, &Callbacks::setReadSpeed, a, b);
        case VORN_CONTROL_REPORT_WRITE_SPEED: return send(s, &Callbacks::setWriteSpeed, a, b, c);
        case VORN_CONTROL_REPORT_REMAINING_TIME:
            return send(s, &Callbacks::setRemainingTime, static_cast<std::uint32_t>(r->a));
        case VORN_CONTROL_REPORT_DOC_SIZE: return send(s, &Callbacks::setDocSize, a, r->b);
        case VORN_CONTROL_REPORT_ENABLE_SUB_TASK: return send(s, &Callbacks::enableSubTask, a);
        case VORN_CONTROL_REPORT_SUB_TASK_TEXT: return send(s, &Callbacks::setSubTaskText, r->text);
        case VORN_CONTROL_REPORT_SUB_TASK_PERCENT: return send(s, &Callbacks::setSubTaskPercent, a);
        case VORN_CONTROL_REPORT_SUB_TASK_READ_BUFFER: return send(s, &Callbacks::setSubTaskRecBufText);
        case VORN_CONTROL_REPORT_MESSAGE: return send(s, &Callbacks::addMessage, r->text, 0, a);
        case VORN_CONTROL_REPORT_WRITER_STATUS: return send(s, &Callbacks::setWriterStatus, a, b);
        case VORN_CONTROL_REPORT_WRITER_PHASE: return send(s, &Callbacks::setWriterPhase, a, b);
        case VORN_CONTROL_REPORT_WRITER_BUFFER_AVAILABLE:
            return send(s, &Callbacks::setWriterBufferAvailable, a, b);
        case VORN_CONTROL_REPORT_WRITER_BUFFER:
            return send(s, &Callbacks::setWriterBuffer, a, static_cast<std::uint32_t>(r->b),
                        static_cast<std::uint32_t>(r->c));
        case VORN_CONTROL_REPORT_NUM_COPIES: return send(s, &Callbacks::setNumCopies, a, 0, b);
        default: return 0;
        }
    } catch (...) {
        return 0;
    }
}
