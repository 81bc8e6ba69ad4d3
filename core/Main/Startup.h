/*
 * The shutdown of the application. Start-up is `main` itself (core/main.cpp).
 */
#ifndef VORN_STARTUP_H
#define VORN_STARTUP_H

/*
 * Takes the application down once the last main window is gone: devices
 * management, the user settings file, the databases, the preview player, the
 * clipboard, CD title look-ups and the browser launcher, then ends the main
 * loop; `main` stops the engine after it. Installed as the main window list's
 * quit handler.
 */
void Main_QuitApplication() noexcept;

#endif
