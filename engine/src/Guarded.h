// The wrapper every C entry point runs its body in: no exception may cross
// into a C caller, so anything thrown becomes the call's failure value.
#pragma once

namespace vorn::engine {

template <class R, class F>
R guarded(R onError, F &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return onError;
    }
}

}  // namespace vorn::engine
