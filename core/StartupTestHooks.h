/*
 * Switches that let a test drive the start-up of the real program, read from
 * the environment and inert when unset:
 *
 *   VORN_TEST_SPLASH_HOLD_MS=<ms>     keeps the splash screen up this long
 *                                     after its last status line, so that it
 *                                     can be looked at.
 *   VORN_TEST_CLOSE_MAIN_WINDOWS=<f>  once the main loop runs, writes one line
 *                                     per main window to the file <f>
 *                                     ("<title>\t<visible>\t<mapped>", 1 or 0)
 *                                     and then closes every main window as the
 *                                     window manager would (a delete event).
 *   VORN_TEST_CLOSE_DELAY_MS=<ms>     waits this long before closing them.
 */
#ifndef VORN_STARTUP_TEST_HOOKS_H
#define VORN_STARTUP_TEST_HOOKS_H

namespace vorn::startup {

// Runs the main loop for the time VORN_TEST_SPLASH_HOLD_MS asks, if it asks.
void holdSplashForTest() noexcept;
// Arms the closing of the main windows when VORN_TEST_CLOSE_MAIN_WINDOWS is set.
void armMainWindowCloserForTest() noexcept;

}  // namespace vorn::startup

#endif
