/*
 * The settings modules as start-up and shutdown call them: the settings files,
 * the global settings bridge, the engine's language file and the debug
 * channels.
 */
#ifndef VORN_PENDING_SETTINGS_H
#define VORN_PENDING_SETTINGS_H

#include "ConfigFile.h"
#include "Debugger.h"
#include "GlobalSettings.h"
#include "MessagesFile.h"

#endif
