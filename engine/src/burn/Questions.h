// The engine's questions to the user during a burn, through the user-dialog
// callback (option 2, else the settings record's).
//
// The callback may block for as long as a person needs: it runs modal
// dialogs, and for a non-empty rewritable disc the application may erase the
// very drive the burn waits on from another thread. So no engine lock and no
// compilation lock is held while it runs; the callback and its data are read
// under the engine's lock and called after it is released.
//
// An answer of VORN_ANSWER_ABORTING (the application is aborting the burn)
// makes every question end the burn as an abort.
#ifndef VORN_ENGINE_BURN_QUESTIONS_H
#define VORN_ENGINE_BURN_QUESTIONS_H

#include "VornAPI.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace vorn::engine {
class Engine;
}

namespace vorn::engine::burn {

// How often a wait for a disc looks at the drive and the abort flags.
inline constexpr std::chrono::milliseconds kDiscPollInterval{40};

class Questions {
public:
    // `aborted` looks at the progress object's abort flag and the settings
    // record's idle callback.
    Questions(Engine &engine, std::function<bool()> aborted);

    // True when someone answers: without a callback every question would
    // answer -1, and a wait for a disc would never end.
    bool canAsk() const;

    // Asks one question; -1 without a callback. Called with no engine lock.
    int ask(int request, void *data);

    enum class WaitEnd { Ready, Aborted, CannotAsk };
    // What a look at the drive found: nothing (the disc is suitable), or the
    // medium the drive holds now, for the wait dialog.
    using Look = std::function<std::optional<std::string>()>;
    // Waits for a suitable disc: shows the wait dialog (15) with `waitCode`
    // and the media texts (28), raises it (16) whenever the drive's medium
    // changes without becoming suitable, polls until `look` is content or the
    // user aborts (the abort flags, the idle callback, an answer of -2), and
    // destroys the dialog (17) in either case. A disc that is suitable at the
    // first look asks nothing.
    WaitEnd waitForDisc(int waitCode, const std::string &requiredMedia, const Look &look);

    // True once an answer said the application is aborting.
    bool answeredAborting() const { return aborting_; }

private:
    Engine &e_;
    std::function<bool()> aborted_;
    bool aborting_ = false;
};

}  // namespace vorn::engine::burn

#endif
