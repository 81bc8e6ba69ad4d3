/*
 * The trace call of the whole application and the plain-function face of the
 * process-wide debug printer (DebugOut.h).
 */
#ifndef VORN_DEBUGGER_H
#define VORN_DEBUGGER_H

#ifdef __cplusplus
extern "C" {
#endif

/* The trace call of the whole application. Traces are compiled to no output. */
void debugger_DummyOut(const char *format, ...) __attribute__((format(printf, 1, 2)));

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
/* Forwarders to the same-named operations of debugger(). */
void debugger_SetVisibleChannels(unsigned mask) noexcept;
void debugger_SetCurrentChannel(unsigned channel) noexcept;
void debugger_SetCurrentFunction(const char *signature) noexcept;
unsigned debugger_GetChannelForFile(const char *path) noexcept;
unsigned debugger_AllocateChannel() noexcept;
void debugger_AddFileToChannelMapEntry(unsigned channel, const char *file) noexcept;
void debugger_SetChannelName(unsigned channel, const char *name) noexcept;
void debugger_TracePrint(const char *format, ...) noexcept __attribute__((format(printf, 1, 2)));

/* Hides every channel of the debug printer: a normal run prints nothing. */
void DebuggerChannels_Configure() noexcept;
#endif

#endif
