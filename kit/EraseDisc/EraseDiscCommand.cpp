#include "EraseDiscCommand.h"

#include "EraseSettingsDlg.h"
#include "OptionsDatabase.h"

GtkWidget *EraseDiscCommand_Run(GtkWidget *mainWindow, const VornDeviceEntry *activeRecorder) noexcept
{
    const gboolean eject =
        OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kEraseEjectSettingId) ? TRUE : FALSE;
    const gboolean reload =
        OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kEraseReloadSettingId) ? TRUE : FALSE;
    try {
        return VornKit_EraseSettingsDlg_RunEraseCommand(mainWindow, activeRecorder, eject, reload);
    } catch (...) {
        return nullptr;
    }
}
