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

#endif
