// The progress object behind VornExtendedProgress_* and the driver a burn
// reports through.
//
// A handle is a tagged struct the engine allocates and lists; a pointer is
// looked up in that list before it is ever read, so a stale pointer or a
// handle of another kind is refused instead of misread. The state behind a
// handle is shared: a burn holds it for its whole length, so destroying the
// handle during a burn only silences the callbacks.
#ifndef VORN_ENGINE_PROGRESS_H
#define VORN_ENGINE_PROGRESS_H

#include "VornAPI.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vorn::engine::progress {

struct Callbacks {
    VornProgressCallback progress = nullptr;
    VornSetFileNameCallback setFileName = nullptr;
    VornStartPhaseCallback startPhase = nullptr;
    VornEndPhaseCallback endPhase = nullptr;
    VornSetMajorPhaseCallback setMajorPhase = nullptr;
    VornSetReadPercentageCallback setReadPercentage = nullptr;
    VornSetWriterNameCallback setWriterName = nullptr;
    VornSetWriterProgressCallback setWriterProgress = nullptr;
    VornSetWriterReadPositionCallback setWriterReadPosition = nullptr;
    VornSetReadSpeedCallback setReadSpeed = nullptr;
    VornSetWriteSpeedCallback setWriteSpeed = nullptr;
    VornSetRemainingTimeCallback setRemainingTime = nullptr;
    VornGetRemainingTimeCallback getRemainingTime = nullptr;
    VornSetPhaseCallback setPhase = nullptr;
    VornSetStatusPhaseCallback setStatusPhase = nullptr;
    VornSetDocSizeCallback setDocSize = nullptr;
    VornEnableSubTaskCallback enableSubTask = nullptr;
    VornSetSubTaskTextCallback setSubTaskText = nullptr;
    VornSetSubTaskPercentCallback setSubTaskPercent = nullptr;
    VornSetSubTaskRecBufTextCallback setSubTaskRecBufText = nullptr;
    VornAddMessageCallback addMessage = nullptr;
    VornSetWriterStatusCallback setWriterStatus = nullptr;
    VornSetWriterPhaseCallback setWriterPhase = nullptr;
    VornSetWriterBufferAvailableCallback setWriterBufferAvailable = nullptr;
    VornSetWriterBufferCallback setWriterBuffer = nullptr;
    VornSetNumCopiesCallback setNumCopies = nullptr;
};

class State {
public:
    // One callback as set now; read under the lock, called without it.
    template <class F>
    F get(F Callbacks::*member) const
    {
        std::lock_guard lock(mu_);
        return callbacks_.*member;
    }
    template <class F>
    void set(F Callbacks::*member, F fn)
    {
        std::lock_guard lock(mu_);
        callbacks_.*member = fn;
    }
    // Destroying the handle mid-burn: nothing is called any more.
    void silence()
    {
        std::lock_guard lock(mu_);
        callbacks_ = {};
    }

    std::atomic<bool> abort{false};

private:
    mutable std::mutex mu_;
    Callbacks callbacks_;
};

// The live object of a handle, or null for anything that is not one.
std::shared_ptr<State> lookup(const VornExtendedProgress *handle);

// What a burn is about to do, told to the driver once at its start.
struct Outline {
    std::int64_t totalBlocks = 0;
    std::int64_t totalBytes = 0;
    int blockSize = 2048;
    int copies = 1;
    int copy = 1;               // which of the copies this pass writes
    std::string writerName;     // the recorder, in the engine's code page
    bool imageRecorder = false; // no buffer, no speed, no remaining time
    std::uint32_t bufferSizeKB = 0;
};

// Reports a burn's course through a progress object, in the order a real
// recorder goes through it:
//
//   begin            preparing (phase 13), sizes, the recorder idle
//   startWriting     phase 32, the recorder active: lead-in, then the track
//   wrote ...        progress, file names, buffer, remaining time
//   endWriting       lead-out, then phase 36; the recorder ready or failed
//   finish           the major phase "finished"
//
// 36 follows 32 exactly once: the destructor ends a write that is still
// open (a failure or an abort that left by an exception). A driver without a
// progress object (or one whose handle was refused) reports nothing but
// still answers abortRequested. Only the burn's thread uses a driver.
class Driver {
public:
    enum class Stage { Idle, Preparing, Writing, Written, Finished };

    explicit Driver(VornExtendedProgress *handle);
    ~Driver();
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    bool abortRequested() const;
    Stage stage() const { return stage_; }

    void begin(const Outline &outline);
    // A phase inside preparing or finishing (reading directories, creating
    // the image, verifying): the burn's phase and the status line.
    void phase(int phase);
    void startWriting(int speedKBs, int baseKBs);
    // `done` blocks of the total are written; `file` (may be null) is the
    // file they belong to, reported when it changes.
    void wrote(std::int64_t done, const char *file);
    void buffer(std::uint32_t levelKB);
    void endWriting(bool succeeded);
    // Reading back what was written: the major phase "verifying" (once), then
    // the percentage read.
    void verifying(int percent);
    void finish();

    void message(const std::string &text, int kind);
    void readSpeed(int speedKBs, int baseKBs);
    void subTask(bool on);
    void subTaskText(const char *text);
    void subTaskPercent(int percent);
    void subTaskReadBuffer();
    // The caller's countdown, when it keeps one.
    std::optional<std::uint32_t> callerRemainingMs() const;

private:
    template <class F, class... A>
    void call(F Callbacks::*member, A... args) const
    {
        if (!state_)
            return;
        if (F fn = state_->get(member))
            fn(args...);
    }
    void setPhase(int phase);
    std::uint32_t remainingMs(std::int64_t done) const;

    std::shared_ptr<State> state_;
    Stage stage_ = Stage::Idle;
    Outline outline_;
    int speedKBs_ = 0;
    int currentPhase_ = 0;
    bool verifying_ = false;
    std::string lastFile_;
    bool fileShown_ = false;
};

}  // namespace vorn::engine::progress

#endif
