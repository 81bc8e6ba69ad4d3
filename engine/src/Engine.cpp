#include "VornAPI.h"

#include <cstdlib>

extern "C" void VornFreeMem(void *block)
{
    std::free(block);
}
