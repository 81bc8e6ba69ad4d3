/*
 * The bridge from the global settings to the burning engine, the environment,
 * the audio plug-ins and the autosave.
 *
 * Before registration, settings change freely (the settings files are read)
 * without reaching the engine; registration pushes them all, and from then on
 * every change reaches the engine at once, on the thread that set the option.
 */
#ifndef VORN_GLOBAL_SETTINGS_H
#define VORN_GLOBAL_SETTINGS_H

/*
 * Connects the handlers to their options' "vorn_value_changed" and runs each
 * once, in this order:
 *  - "Cache directory:" sets TMPDIR;
 *  - "Audio plug-ins directory" restarts the plug-in manager (on change only);
 *  - Steadyfill automatic configuration, then buffer size: engine option 1
 *    (0 for automatic, else the size in bytes);
 *  - CD overburning, then DVD overburning: option 4 (absolute frames, 0 when
 *    off) or 7 (relative frames), and option 5 (2048-byte blocks, 0 when off);
 *  - absolute/relative CD overburning mode: option 4 or 7 while CD
 *    overburning is on;
 *  - relative size, absolute size, DVD size: their option while enabled;
 *  - short lead-out: option 1005;
 *  - automatic saving and its interval: restarts the autosave, which saves.
 * Called once at start-up, after the settings files were read and the engine
 * started. Does nothing without a global settings database.
 */
void GlobalSettingsDatabase_RegisterVornAPICallbacks() noexcept;

#endif
