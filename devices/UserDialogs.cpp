// The burn dialogs are not here yet: every request gets the engine's "not
// handled" answer, except that a pending user abort is reported as such.
#include "UserDialogs.h"

#include "VornAPIInterface.h"

namespace {

constexpr int kAnswerAborted = -2;
constexpr int kAnswerNotHandled = -1;

}  // namespace

extern "C" int UserDialogs_Callback(void *, int, void *) noexcept
{
    if (VornAPI_GetUserAbort())
        return kAnswerAborted;
    return kAnswerNotHandled;
}
