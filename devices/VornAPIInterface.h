/*
 * Start and stop of the burning engine, and the user-abort flag it polls.
 * (The engine's own interface is VornAPI.h.)
 */
#ifndef VORN_VORNAPI_INTERFACE_H
#define VORN_VORNAPI_INTERFACE_H

#include "VornAPI.h"

/* The engine interface version the application is written for. */
inline constexpr int kVornAPIExpectedMajor = 7;
inline constexpr int kVornAPIExpectedMinor = 5;
inline constexpr int kVornAPIExpectedRevision = 0;
inline constexpr int kVornAPIExpectedBuild = 2;

/*
 * Fills the engine settings record (kept for the whole run: the engine reads
 * it until VornDone) and starts the engine. Returns the result of VornInitEx;
 * VORN_INIT_ERROR (2) means the engine is not running.
 */
int VornAPI_StartVornAPI() noexcept;
/* Shuts the engine down; safe when it never started. */
void VornAPI_StopVornAPI() noexcept;

/* Any non-zero value asks the engine to abort the running operation: its idle
 * callback returns the flag. Written on the GUI thread, read on the thread of a
 * burn, erase or extraction. */
void VornAPI_SetUserAbort(int value) noexcept;
int VornAPI_GetUserAbort() noexcept;

/* The settings record given to the engine at the last start (borrowed). */
const VornSettings *VornAPI_GetSettings() noexcept;

#endif
