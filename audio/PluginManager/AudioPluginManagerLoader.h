/*
 * Loading of the audio plug-in manager library at run time.
 *
 * For now nothing is ever loaded, so there is nothing to restart; the loader
 * proper arrives with the audio plug-in manager.
 */
#ifndef VORN_AUDIO_PLUGIN_MANAGER_LOADER_H
#define VORN_AUDIO_PLUGIN_MANAGER_LOADER_H

#include <glib.h>

/*
 * When the manager is loaded and can be restarted, releases it so that the
 * next use loads it again from the current plug-ins directory. Returns TRUE
 * when nothing remains loaded.
 */
gboolean AudioPluginManagerLoader_Restart() noexcept;

#endif
