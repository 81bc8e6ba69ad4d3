// The counters that number the default names of new compilations, one per
// kind of compilation: never saved.
//
// The database is created empty for now; its counters are added here together
// with the code that names new compilations.
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

vorn::options::tables::NameTable vorn::options::tables::nameFactoryNames() noexcept
{
    return {};
}

void NameFactoryDatabase_Init() noexcept
{
    NameFactoryDynamicOptionsDatabase = OptionsDatabase_New(nullptr, 0);
}
