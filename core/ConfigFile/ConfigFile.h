/*
 * The settings files: the system file (read only) and the user's file, read
 * over the built-in defaults at start-up, written back at shutdown and by the
 * autosave.
 *
 * A settings file is a comment block, the XML declaration, a version element
 * and the persistent options databases side by side at the top level:
 *
 *   <!-- Vorn Linux configuration file. -->
 *   <!-- Do not edit it manually unless you know what you are doing. -->
 *
 *   <?xml version='1.0' encoding='UTF-8'?>
 *   <VornLinux version='3.0.1.3' />
 *   <OptionsDB name='GlobalSettings'>
 *     <Option ... />
 *   </OptionsDB>
 *   ...
 *
 * Everything here runs on the main thread.
 */
#ifndef VORN_CONFIG_FILE_H
#define VORN_CONFIG_FILE_H

#include <glib.h>

/* A new string (g_free) with the user configuration folder, "$HOME/.vorn". */
gchar *ConfigFile_GetUserConfigPath() noexcept;

/*
 * Reads the system file, creates the user configuration folder (mode 0700)
 * when it is missing, then reads the user file, so that the user's values win.
 * A missing or unreadable file is skipped. A file that is malformed, cut short
 * or not UTF-8 keeps every value read before the fault; the rest of that file
 * is ignored. Reports nothing.
 */
void ConfigFile_ParseConfigFiles() noexcept;

/*
 * Writes the user settings file: into a temporary file beside it, flushed to
 * disk and renamed over the old one, so that a crash or a full disk leaves the
 * previous file whole. A file that is a symbolic link is written through to
 * its target; the file keeps its mode. When the folder cannot take a new file
 * but the file itself is writable, the file is rewritten in place. Returns 1
 * when the file was written, 0 otherwise (the previous file is left as it was,
 * except after a failure of the in-place rewrite).
 */
gint ConfigFile_SaveUserConfigFile() noexcept;

/*
 * Stops a running autosave, saves once at once and, when the global setting
 * "Default configuration files save time interval in minutes" is positive,
 * saves again every that many minutes. An interval of 0 or less only saves
 * once. Returns 1.
 */
gint ConfigFile_StartAutosave() noexcept;

/* Stops the autosave timer, if one runs. Returns 1. */
gint ConfigFile_StopAutosave() noexcept;

#endif
