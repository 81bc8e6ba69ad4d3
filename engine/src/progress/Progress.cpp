// VornExtendedProgress_*: the list of live progress objects and the driver.
#include "progress/Progress.h"

#include <algorithm>
#include <map>

// The handle the caller holds. The tag tells it from the engine's other
// handles once the list has vouched that the pointer is one of ours.
struct VornExtendedProgress {
    static constexpr std::uint32_t kTag = 0x56505247;  // "VPRG"
    std::uint32_t tag = kTag;
    std::shared_ptr<vorn::engine::progress::State> state = std::make_shared<vorn::engine::progress::State>();
};

namespace vorn::engine::progress {
namespace {

struct Registry {
    std::mutex mu;
    std::map<const VornExtendedProgress *, std::unique_ptr<VornExtendedProgress>> live;
};

Registry &registry()
{
    static Registry r;
    return r;
}

}  // namespace

std::shared_ptr<State> lookup(const VornExtendedProgress *handle)
{
    if (!handle)
        return nullptr;
    auto &r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.live.find(handle);
    if (it == r.live.end() || it->second->tag != VornExtendedProgress::kTag)
        return nullptr;
    return it->second->state;
}

// --- Driver

namespace {
constexpr int kMajorPreparing = 1;
constexpr int kMajorWriting = 2;
constexpr int kMajorVerifying = 3;
constexpr int kMajorFinished = 4;
constexpr int kSpeedUnknown = 65535;
}  // namespace

Driver::Driver(VornExtendedProgress *handle) : state_(lookup(handle)) {}

Driver::~Driver()
{
    if (stage_ == Stage::Writing)
        endWriting(false);
}

bool Driver::abortRequested() const
{
    return state_ && state_->abort.load();
}

void Driver::setPhase(int phase)
{
    if (currentPhase_)
        call(&Callbacks::endPhase, currentPhase_);
    currentPhase_ = phase;
    call(&Callbacks::startPhase, phase);
    call(&Callbacks::setPhase, phase);
    call(&Callbacks::setStatusPhase, phase);
}

void Driver::begin(const Outline &outline)
{
    outline_ = outline;
    stage_ = Stage::Preparing;
    verifying_ = false;
    call(&Callbacks::setMajorPhase, kMajorPreparing);
    call(&Callbacks::setNumCopies, std::max(1, outline.copy), 0, std::max(1, outline.copies));
    call(&Callbacks::setWriterName, 0, outline.writerName.c_str());
    call(&Callbacks::setWriterStatus, 0, VORN_WRITER_STATUS_READY);
    call(&Callbacks::setWriterPhase, 0, VORN_WRITER_PHASE_IDLE);
    call(&Callbacks::setWriterBufferAvailable, 0, 0);
    call(&Callbacks::setDocSize, static_cast<std::int32_t>(std::min<std::int64_t>(outline.totalBlocks, INT32_MAX)),
         outline.totalBytes);
    call(&Callbacks::enableSubTask, 0);
    setPhase(VORN_PHASE_PREPARING_ITEMS);
    call(&Callbacks::progress, std::int64_t{0}, outline.totalBlocks);
}

void Driver::phase(int phase)
{
    if (stage_ == Stage::Writing)
        return;  // the recorder's own phases belong to the write itself
    setPhase(phase);
}

void Driver::startWriting(int speedKBs, int baseKBs)
{
    if (stage_ != Stage::Preparing)
        return;
    stage_ = Stage::Writing;
    speedKBs_ = outline_.imageRecorder ? kSpeedUnknown : speedKBs;
    call(&Callbacks::setMajorPhase, kMajorWriting);
    setPhase(VORN_PHASE_WRITING_TO_DISC);
    call(&Callbacks::setWriterStatus, 0, VORN_WRITER_STATUS_ACTIVE);
    call(&Callbacks::setWriteSpeed, speedKBs_, outline_.imageRecorder ? 0 : baseKBs, 0);
    if (!outline_.imageRecorder) {
        call(&Callbacks::setWriterPhase, 0, VORN_WRITER_PHASE_LEAD_IN);
        call(&Callbacks::setStatusPhase, VORN_PHASE_LEAD_IN);
    }
    call(&Callbacks::setWriterPhase, 0, VORN_WRITER_PHASE_TRACK);
    call(&Callbacks::setStatusPhase, VORN_PHASE_WRITING_TO_DISC);
    const bool buffered = !outline_.imageRecorder && outline_.bufferSizeKB > 0;
    call(&Callbacks::setWriterBufferAvailable, 0, buffered ? 1 : 0);
    call(&Callbacks::setRemainingTime, remainingMs(0));
}

std::uint32_t Driver::remainingMs(std::int64_t done) const
{
    if (outline_.imageRecorder || speedKBs_ <= 0 || speedKBs_ == kSpeedUnknown)
        return 0;
    const double bytesLeft = static_cast<double>(std::max<std::int64_t>(0, outline_.totalBlocks - done)) *
                             outline_.blockSize;
    const double ms = bytesLeft / (speedKBs_ * 1024.0) * 1000.0;
    return static_cast<std::uint32_t>(std::min(ms, 4.0e9));
}

void Driver::wrote(std::int64_t done, const char *file)
{
    if (stage_ != Stage::Writing)
        return;
    done = std::clamp<std::int64_t>(done, 0, outline_.totalBlocks);
    if (file && (!fileShown_ || lastFile_ != file)) {
        lastFile_ = file;
        fileShown_ = true;
        call(&Callbacks::setFileName, file);
    }
    call(&Callbacks::progress, done, outline_.totalBlocks);
    call(&Callbacks::setWriterProgress, 0, done, outline_.totalBlocks);
    call(&Callbacks::setRemainingTime, remainingMs(done));
}

void Driver::buffer(std::uint32_t levelKB)
{
    if (stage_ != Stage::Writing || outline_.imageRecorder || outline_.bufferSizeKB == 0)
        return;
    call(&Callbacks::setWriterBuffer, 0, levelKB, outline_.bufferSizeKB);
}

void Driver::endWriting(bool succeeded)
{
    if (stage_ != Stage::Writing)
        return;
    stage_ = Stage::Written;
    if (succeeded && !outline_.imageRecorder) {
        call(&Callbacks::setWriterPhase, 0, VORN_WRITER_PHASE_LEAD_OUT);
        call(&Callbacks::setStatusPhase, VORN_PHASE_LEAD_OUT);
    }
    call(&Callbacks::setWriterBufferAvailable, 0, 0);
    call(&Callbacks::setFileName, static_cast<const char *>(nullptr));
    fileShown_ = false;
    call(&Callbacks::setRemainingTime, std::uint32_t{0});
    setPhase(VORN_PHASE_WRITING_ENDED);
    call(&Callbacks::setWriterPhase, 0, VORN_WRITER_PHASE_IDLE);
    call(&Callbacks::setWriterStatus, 0, succeeded ? VORN_WRITER_STATUS_READY : VORN_WRITER_STATUS_FAILED);
}

void Driver::verifying(int percent)
{
    if (stage_ != Stage::Written)
        return;
    if (!verifying_) {
        verifying_ = true;
        call(&Callbacks::setMajorPhase, kMajorVerifying);
    }
    call(&Callbacks::setReadPercentage, std::clamp(percent, 0, 100));
}

void Driver::finish()
{
    if (stage_ == Stage::Writing)
        endWriting(false);
    if (stage_ == Stage::Finished)
        return;
    stage_ = Stage::Finished;
    if (currentPhase_)
        call(&Callbacks::endPhase, currentPhase_);
    currentPhase_ = 0;
    call(&Callbacks::setMajorPhase, kMajorFinished);
}

void Driver::message(const std::string &text, int kind)
{
    call(&Callbacks::addMessage, text.c_str(), 0, kind);
}

void Driver::readSpeed(int speedKBs, int baseKBs)
{
    call(&Callbacks::setReadSpeed, speedKBs, baseKBs);
}

void Driver::subTask(bool on)
{
    call(&Callbacks::enableSubTask, on ? 1 : 0);
}

void Driver::subTaskText(const char *text)
{
    call(&Callbacks::setSubTaskText, text);
}

void Driver::subTaskPercent(int percent)
{
    call(&Callbacks::setSubTaskPercent, std::clamp(percent, 0, 100));
}

void Driver::subTaskReadBuffer()
{
    call(&Callbacks::setSubTaskRecBufText);
}

std::optional<std::uint32_t> Driver::callerRemainingMs() const
{
    if (!state_)
        return std::nullopt;
    auto fn = state_->get(&Callbacks::getRemainingTime);
    std::uint32_t ms = 0;
    if (!fn || !fn(&ms))
        return std::nullopt;
    return ms;
}

}  // namespace vorn::engine::progress

using vorn::engine::progress::Callbacks;
using vorn::engine::progress::lookup;
using vorn::engine::progress::registry;

extern "C" {

VORN_EXPORT VornExtendedProgress *VornExtendedProgress_New(void)
{
    try {
        auto handle = std::make_unique<VornExtendedProgress>();
        VornExtendedProgress *raw = handle.get();
        auto &r = registry();
        std::lock_guard lock(r.mu);
        r.live.emplace(raw, std::move(handle));
        return raw;
    } catch (...) {
        return nullptr;
    }
}

VORN_EXPORT void VornExtendedProgress_Destroy(VornExtendedProgress *progress)
{
    if (!progress)
        return;
    try {
        std::unique_ptr<VornExtendedProgress> gone;
        {
            auto &r = registry();
            std::lock_guard lock(r.mu);
            auto it = r.live.find(progress);
            if (it == r.live.end())
                return;
            gone = std::move(it->second);
            r.live.erase(it);
        }
        gone->state->silence();
        gone->tag = 0;
    } catch (...) {
    }
}

VORN_EXPORT int VornExtendedProgress_SetUserAbort(VornExtendedProgress *progress, int abort)
{
    if (abort != 0 && abort != 1)
        return 0;
    try {
        auto state = lookup(progress);
        if (!state)
            return 0;
        state->abort.store(abort == 1);
        return 1;
    } catch (...) {
        return 0;
    }
}

#define VORN_PROGRESS_DEFINE_SETTER(Name, member)                                                        \
    VORN_EXPORT int VornExtendedProgress_SetCallback_##Name(VornExtendedProgress *progress, Vorn##Name fn) \
    {                                                                                                    \
        try {                                                                                            \
            auto state = lookup(progress);                                                               \
            if (!state)                                                                                  \
                return 0;                                                                                \
            state->set(&Callbacks::member, fn);                                                          \
            return 1;                                                                                    \
        } catch (...) {                                                                                  \
            return 0;                                                                                    \
        }                                                                                                \
    }
VORN_PROGRESS_DEFINE_SETTER(ProgressCallback, progress)
VORN_PROGRESS_DEFINE_SETTER(SetFileNameCallback, setFileName)
VORN_PROGRESS_DEFINE_SETTER(StartPhaseCallback, startPhase)
VORN_PROGRESS_DEFINE_SETTER(EndPhaseCallback, endPhase)
VORN_PROGRESS_DEFINE_SETTER(SetMajorPhaseCallback, setMajorPhase)
VORN_PROGRESS_DEFINE_SETTER(SetReadPercentageCallback, setReadPercentage)
VORN_PROGRESS_DEFINE_SETTER(SetWriterNameCallback, setWriterName)
VORN_PROGRESS_DEFINE_SETTER(SetWriterProgressCallback, setWriterProgress)
VORN_PROGRESS_DEFINE_SETTER(SetWriterReadPositionCallback, setWriterReadPosition)
VORN_PROGRESS_DEFINE_SETTER(SetReadSpeedCallback, setReadSpeed)
VORN_PROGRESS_DEFINE_SETTER(SetWriteSpeedCallback, setWriteSpeed)
VORN_PROGRESS_DEFINE_SETTER(SetRemainingTimeCallback, setRemainingTime)
VORN_PROGRESS_DEFINE_SETTER(GetRemainingTimeCallback, getRemainingTime)
VORN_PROGRESS_DEFINE_SETTER(SetPhaseCallback, setPhase)
VORN_PROGRESS_DEFINE_SETTER(SetStatusPhaseCallback, setStatusPhase)
VORN_PROGRESS_DEFINE_SETTER(SetDocSizeCallback, setDocSize)
VORN_PROGRESS_DEFINE_SETTER(EnableSubTaskCallback, enableSubTask)
VORN_PROGRESS_DEFINE_SETTER(SetSubTaskTextCallback, setSubTaskText)
VORN_PROGRESS_DEFINE_SETTER(SetSubTaskPercentCallback, setSubTaskPercent)
VORN_PROGRESS_DEFINE_SETTER(SetSubTaskRecBufTextCallback, setSubTaskRecBufText)
VORN_PROGRESS_DEFINE_SETTER(AddMessageCallback, addMessage)
VORN_PROGRESS_DEFINE_SETTER(SetWriterStatusCallback, setWriterStatus)
VORN_PROGRESS_DEFINE_SETTER(SetWriterPhaseCallback, setWriterPhase)
VORN_PROGRESS_DEFINE_SETTER(SetWriterBufferAvailableCallback, setWriterBufferAvailable)
VORN_PROGRESS_DEFINE_SETTER(SetWriterBufferCallback, setWriterBuffer)
VORN_PROGRESS_DEFINE_SETTER(SetNumCopiesCallback, setNumCopies)
#undef VORN_PROGRESS_DEFINE_SETTER

}  // extern "C"
