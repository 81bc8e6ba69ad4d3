#include "burn/BurnStart.h"

#include "VornControl.h"

namespace vorn::engine::burn {

BurnStart startBurn(Engine &e, VornDevice *device)
{
    BurnStart s;
    std::lock_guard lock(e.mu);
    e.errorLog.clear();
    s.texts = e.messages;
    s.languageMissing = e.languageMissing;
    s.job.drive = e.driveOf(device);
    if (s.job.drive) {
        s.job.driveName = s.job.drive->name;
        s.job.imageRecorder = s.job.drive->imageRecorder;
        s.job.failAfter = s.job.drive->failWriteAfterBytes;
    }
    s.injected = e.takeFailure(VORN_CONTROL_CALL_BURN);
    return s;
}

std::optional<Outcome> commonRefusal(const BurnStart &s, std::uint32_t flags)
{
    if ((flags & ~kKnownFlags) || !(flags & (VORN_BURN_SPEED_TEST | VORN_BURN_SIMULATE | VORN_BURN_WRITE)))
        return Outcome{VORN_BURN_BAD_ARGUMENT, s.texts.get(msg::kBurnBadFlags, {std::to_string(flags)})};
    if (s.languageMissing)
        return Outcome{VORN_BURN_NO_LANGUAGE_FILE, s.texts.get(msg::kBurnNoLanguageFile)};
    if (s.injected)
        return Outcome{*s.injected, s.texts.get(msg::kBurnInjectedFailure, {std::to_string(*s.injected)})};
    return std::nullopt;
}

int refuse(Engine &e, const Outcome &refusal)
{
    std::lock_guard lock(e.mu);
    e.logError(refusal.line);
    return refusal.code;
}

void recordHistory(Engine &e, const BurnStart &s, const Outcome &out, bool wrote, std::uint64_t blocks)
{
    std::string line;
    if (out.code == VORN_BURN_OK)
        line = s.texts.get(wrote ? msg::kBurnHistoryWritten : msg::kBurnHistoryTested,
                           {s.job.driveName, std::to_string(blocks)});
    else
        line = s.texts.get(msg::kBurnHistoryFailed, {s.job.driveName, std::to_string(out.code), out.line});
    appendHistory(e, line);
}

}  // namespace vorn::engine::burn
