// The look-up thread is not written yet: the service only knows whether it was started.
#include "FreeDB.h"

namespace {

bool started = false;

}  // namespace

int FreeDB_Init() noexcept
{
    if (started)
        return 0;
    started = true;
    return 1;
}

int FreeDB_Done() noexcept
{
    started = false;
    return 1;
}
