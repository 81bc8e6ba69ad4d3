/*
 * Public interface of the burning engine (libVornAPI.so).
 *
 * Compiles as C11 and as C++. Memory the engine hands out is released with
 * VornFreeMem unless a comment says otherwise.
 */
#ifndef VORN_API_H
#define VORN_API_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VORN_BUILDING_ENGINE)
#define VORN_EXPORT __attribute__((visibility("default")))
#else
#define VORN_EXPORT
#endif

/* Releases any block the engine returned. NULL is accepted and ignored. */
VORN_EXPORT void VornFreeMem(void *block);

#ifdef __cplusplus
}
#endif

#endif /* VORN_API_H */
