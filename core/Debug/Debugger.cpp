#include "Debugger.h"

#include "DebugOut.h"

extern "C" void debugger_DummyOut(const char *, ...)
{
}

void debugger_SetVisibleChannels(unsigned mask) noexcept
{
    debugger().SetVisibleChannels(mask);
}

void debugger_SetCurrentChannel(unsigned channel) noexcept
{
    debugger().SetCurrentChannel(channel);
}

void debugger_SetCurrentFunction(const char *signature) noexcept
{
    debugger().SetCurrentFunction(signature);
}

unsigned debugger_GetChannelForFile(const char *path) noexcept
{
    return debugger().GetChannelForFile(path);
}

unsigned debugger_AllocateChannel() noexcept
{
    return debugger().AllocateChannel();
}

void debugger_AddFileToChannelMapEntry(unsigned channel, const char *file) noexcept
{
    debugger().AddFileToChannelMapEntry(channel, file);
}

void debugger_SetChannelName(unsigned channel, const char *name) noexcept
{
    debugger().SetChannelName(channel, name);
}

void debugger_TracePrint(const char *format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    // TracePrint's own variadic form cannot take a va_list; this is its body.
    debugger().DbgPrintVA(debugger().CurrentChannel(), 3, format, arguments);
    va_end(arguments);
}

void DebuggerChannels_Configure() noexcept
{
    debugger().SetVisibleChannels(0);
}
