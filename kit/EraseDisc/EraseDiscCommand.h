/*
 * The main window's "erase rewritable disc" command: the erase settings
 * dialog for the window, with its active recorder selected and the eject and
 * reload behaviour of the global settings "Eject disc after erasing" and
 * "Reload disc after erasing".
 */
#ifndef VORNKIT_ERASE_DISC_COMMAND_H
#define VORNKIT_ERASE_DISC_COMMAND_H

#include "VornAPI.h"

#include <gtk/gtk.h>

/* Global settings ids of the two options. */
inline constexpr gint32 kEraseEjectSettingId = 54;
inline constexpr gint32 kEraseReloadSettingId = 55;

/* Shows the dialog modal (see VornKit_EraseSettingsDlg_RunEraseCommand);
 * `activeRecorder` may be NULL or invalid. Main thread, GDK lock held. */
GtkWidget *EraseDiscCommand_Run(GtkWidget *mainWindow, const VornDeviceEntry *activeRecorder) noexcept;

#endif
