#include "burn/Questions.h"

#include "Engine.h"

#include <thread>

namespace vorn::engine::burn {

namespace {

struct Callback {
    VornUserDialogCallback fn = nullptr;
    void *data = nullptr;
};

// Option 2 replaces the settings record's callback, also with none.
Callback currentCallback(Engine &e)
{
    std::lock_guard lock(e.mu);
    if (e.options.userDialogSet)
        return {e.options.userDialog.callback, e.options.userDialog.userData};
    if (e.settings)
        return {e.settings->userDialog, e.settings->userDialogData};
    return {};
}

}  // namespace

Questions::Questions(Engine &engine, std::function<bool()> aborted) : e_(engine), aborted_(std::move(aborted)) {}

bool Questions::canAsk() const
{
    return currentCallback(e_).fn != nullptr;
}

int Questions::ask(int request, void *data)
{
    const Callback cb = currentCallback(e_);
    if (!cb.fn)
        return -1;
    const int answer = cb.fn(cb.data, request, data);
    if (answer == VORN_ANSWER_ABORTING)
        aborting_ = true;
    return answer;
}

Questions::WaitEnd Questions::waitForDisc(int waitCode, const std::string &requiredMedia, const Look &look)
{
    std::optional<std::string> current = look();
    if (!current)
        return WaitEnd::Ready;
    if (!canAsk())
        return WaitEnd::CannotAsk;

    bool aborted = false;
    ask(VORN_REQUEST_WAIT_FOR_DISC, reinterpret_cast<void *>(static_cast<std::intptr_t>(waitCode)));
    auto showTexts = [&] {
        const char *texts[2] = {requiredMedia.c_str(), current->c_str()};
        ask(VORN_REQUEST_WAIT_MEDIA_TEXTS, texts);
    };
    showTexts();
    while (!aborted) {
        if (aborting_ || aborted_()) {
            aborted = true;
            break;
        }
        std::this_thread::sleep_for(kDiscPollInterval);
        auto now = look();
        if (!now)
            break;
        if (*now != *current) {
            // Another disc that will not do either: tell the user so.
            current = std::move(now);
            showTexts();
            ask(VORN_REQUEST_RAISE_WAIT, nullptr);
        }
    }
    ask(VORN_REQUEST_DESTROY_WAIT, nullptr);
    return aborted || aborting_ ? WaitEnd::Aborted : WaitEnd::Ready;
}

}  // namespace vorn::engine::burn
