// Least bodies of the settings modules, enough for start-up and shutdown to
// run: no settings file is read or written, the engine gets its default
// language file. Removed when the settings modules land.
#include "PendingSettings.h"

void ConfigFile_ParseConfigFiles() noexcept {}

gint ConfigFile_SaveUserConfigFile() noexcept
{
    return 1;
}

gint ConfigFile_StopAutosave() noexcept
{
    return 1;
}

gchar *ConfigFile_GetUserConfigPath() noexcept
{
    return g_build_filename(g_get_home_dir(), ".vorn", nullptr);
}

void GlobalSettingsDatabase_RegisterVornAPICallbacks() noexcept {}

void MessagesFile_SetupLanguageFile(VornSettings *settings) noexcept
{
    if (settings)
        settings->languageFile = "Vorn.txt";
}
