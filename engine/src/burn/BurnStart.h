// What every kind of burn does alike as it starts and ends: it takes the
// drive, the messages and any injected failure from the engine under one
// hold of the lock, refuses unknown flags, a missing language file and an
// injected failure in the same order and words, and appends one line to the
// burn history at the end.
#ifndef VORN_ENGINE_BURNSTART_H
#define VORN_ENGINE_BURNSTART_H

#include "Engine.h"
#include "Messages.h"
#include "VornAPI.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vorn::engine::burn {

// Every flag bit VornBurn knows.
inline constexpr std::uint32_t kKnownFlags = 0x1FFFF;

struct Outcome {
    int code = VORN_BURN_OK;
    std::string line;  // the failure message
};

// The drive a burn writes to, copied out of the engine as the burn starts.
struct Job {
    std::shared_ptr<Drive> drive;
    std::string driveName;
    bool imageRecorder = false;
    std::optional<std::int64_t> failAfter;
};

struct BurnStart {
    Job job;
    Messages texts;
    bool languageMissing = false;
    std::optional<int> injected;
};

// Clears the error log and takes what the burn needs from the engine.
BurnStart startBurn(Engine &e, VornDevice *device);

// The refusals that follow the handle checks: flags, language, injection.
std::optional<Outcome> commonRefusal(const BurnStart &start, std::uint32_t flags);

// Writes a refusal to the error log and answers its code.
int refuse(Engine &e, const Outcome &refusal);

// The history line of a finished burn of `blocks` blocks.
void recordHistory(Engine &e, const BurnStart &start, const Outcome &out, bool wrote,
                   std::uint64_t blocks);

}  // namespace vorn::engine::burn

#endif
