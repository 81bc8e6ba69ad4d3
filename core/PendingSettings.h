/*
 * Settings files, global settings and the engine language file as start-up
 * and shutdown call them. The bodies in PendingSettings.cpp are the
 * least that lets the program start; the settings modules replace this header
 * and its source with their own.
 */
#ifndef VORN_PENDING_SETTINGS_H
#define VORN_PENDING_SETTINGS_H

#include "VornAPI.h"

#include <glib.h>

/* Reads the system and then the user settings file over the defaults. */
void ConfigFile_ParseConfigFiles() noexcept;
/* Writes the user settings file: 1 when written, 0 when it cannot be opened. */
gint ConfigFile_SaveUserConfigFile() noexcept;
/* Stops the autosave timer; returns 1. */
gint ConfigFile_StopAutosave() noexcept;
/* The user configuration directory, a new string (g_free), or NULL. */
gchar *ConfigFile_GetUserConfigPath() noexcept;

/* Sends the global settings to the engine and keeps it in step with later changes. */
void GlobalSettingsDatabase_RegisterVornAPICallbacks() noexcept;

/* Fills the language file of the engine settings record (the text stays valid
 * for the whole run); NULL is ignored. */
void MessagesFile_SetupLanguageFile(VornSettings *settings) noexcept;

#endif
