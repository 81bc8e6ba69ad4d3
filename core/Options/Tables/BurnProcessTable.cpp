// The state a running burn shares with its progress callbacks: never saved.
//
// The database is created empty for now; its options are added here together
// with the burn process that sets them.
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

vorn::options::tables::NameTable vorn::options::tables::burnProcessNames() noexcept
{
    return {};
}

void BurnProcessDatabase_Init() noexcept
{
    BurnProcessDynamicOptionsDatabase = OptionsDatabase_New(nullptr, 0);
}
