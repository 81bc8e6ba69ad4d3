#include "Debugger.h"

extern "C" void debugger_DummyOut(const char *, ...)
{
}
