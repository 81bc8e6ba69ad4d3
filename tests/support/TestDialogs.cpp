#include "TestDialogs.h"

#include <gtest/gtest.h>

#include <fnmatch.h>
#include <memory>
#include <mutex>

namespace vorn::test {
namespace {

using dialogs::DialogAnswer;
using dialogs::DialogRequest;

class StrictDialogResponder : public dialogs::DialogResponder {
public:
    std::optional<DialogAnswer> answer(const DialogRequest &request) override
    {
        {
            std::lock_guard guard(lock_);
            if (showReal_)
                return std::nullopt;
            for (auto &rule : rules_) {
                if (rule.used || !rule.match.matches(request))
                    continue;
                rule.used = rule.once;
                return rule.answer;
            }
        }
        // Outside the lock: a failure may run listeners that reset us.
        DialogAnswer safe;
        safe.response = dialogs::safeResponse(request);
        ADD_FAILURE() << "a dialog the test did not script was asked; it was answered with "
                      << safe.response << ". It showed:\n"
                      << dialogs::describe(request);
        return safe;
    }

    void add(DialogMatch match, DialogAnswer answer, bool once)
    {
        std::lock_guard guard(lock_);
        rules_.push_back({std::move(match), std::move(answer), once, false});
    }

    void setShowReal(bool showReal)
    {
        std::lock_guard guard(lock_);
        showReal_ = showReal;
    }

    void reset()
    {
        std::lock_guard guard(lock_);
        rules_.clear();
        showReal_ = false;
    }

private:
    struct Rule {
        DialogMatch match;
        DialogAnswer answer;
        bool once;
        bool used;
    };
    std::mutex lock_;
    std::vector<Rule> rules_;
    bool showReal_ = false;
};

std::shared_ptr<StrictDialogResponder> &strict()
{
    static auto *responder = new std::shared_ptr<StrictDialogResponder>;
    return *responder;
}

StrictDialogResponder &requireStrict()
{
    if (!strict())
        throw std::logic_error("no strict dialog responder: the test mains install it");
    return *strict();
}

class ResetBetweenTests : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &) override
    {
        if (strict())
            strict()->reset();
        dialogs::clearRecord();
    }
    void OnTestEnd(const testing::TestInfo &) override
    {
        if (strict())
            strict()->reset();
    }
};

}  // namespace

bool DialogMatch::matches(const DialogRequest &request) const
{
    switch (by) {
    case By::Role: return fnmatch(pattern.c_str(), request.role.c_str(), 0) == 0;
    case By::Title: return fnmatch(pattern.c_str(), request.title.c_str(), 0) == 0;
    case By::Kind: return request.kind == kind;
    case By::Any: return true;
    }
    return false;
}

DialogMatch byRole(std::string pattern) { return {DialogMatch::By::Role, std::move(pattern)}; }
DialogMatch byTitle(std::string pattern) { return {DialogMatch::By::Title, std::move(pattern)}; }
DialogMatch byKind(dialogs::DialogKind kind) { return {DialogMatch::By::Kind, {}, kind}; }
DialogMatch anyDialog() { return {}; }

void installStrictDialogResponder()
{
    if (strict())
        return;
    strict() = std::make_shared<StrictDialogResponder>();
    dialogs::installResponder(strict());
    testing::UnitTest::GetInstance()->listeners().Append(new ResetBetweenTests);
}

DialogScript::DialogScript() { dialogs::clearRecord(); }

DialogScript &DialogScript::answer(DialogMatch match, int response)
{
    DialogAnswer a;
    a.response = response;
    return answer(std::move(match), std::move(a));
}

DialogScript &DialogScript::answer(DialogMatch match, DialogAnswer answer)
{
    requireStrict().add(std::move(match), std::move(answer), false);
    return *this;
}

DialogScript &DialogScript::answerOnce(DialogMatch match, DialogAnswer answer)
{
    requireStrict().add(std::move(match), std::move(answer), true);
    return *this;
}

std::vector<dialogs::DialogRecordEntry> DialogScript::asked() const { return dialogs::record(); }

RealDialogs::RealDialogs() { requireStrict().setShowReal(true); }
RealDialogs::~RealDialogs()
{
    if (strict())
        strict()->setShowReal(false);
}

}  // namespace vorn::test
