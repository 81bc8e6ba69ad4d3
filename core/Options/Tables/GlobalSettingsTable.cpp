// The global settings: the user's application-wide preferences, saved in the
// settings file under "GlobalSettings".
//
// The database is created empty for now; its options, their names and
// defaults are added here together with the handlers that keep the engine in
// step with them.
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

vorn::options::tables::NameTable vorn::options::tables::globalSettingsNames() noexcept
{
    return {};
}

void GlobalSettingsDatabase_Init() noexcept
{
    GlobalSettingsOptionsDatabase = OptionsDatabase_New("GlobalSettings", 1);
}
