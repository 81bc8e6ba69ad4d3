// The folders the file dialogs last used, saved in the settings file under
// "Paths".
//
// The database is created empty for now; its options are added here together
// with the settings file that stores them.
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

vorn::options::tables::NameTable vorn::options::tables::pathsNames() noexcept
{
    return {};
}

void PathsDatabase_Init() noexcept
{
    PathsOptionsDatabase = OptionsDatabase_New("Paths", 1);
}
