// The state a running burn shares with its progress callbacks: never saved.
#include "OptionNames.h"
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

namespace {

constexpr const char *kNames[] = {
    "Burn process active",     "Current burning device",    "Parent main window",     "Writing phase started",
    "Writing speed",           "Writing speed base factor", "Burn process successful",
};

}  // namespace

vorn::options::tables::NameTable vorn::options::tables::burnProcessNames() noexcept
{
    return kNames;
}

void BurnProcessDatabase_Init() noexcept
{
    OptionsDatabase *database = OptionsDatabase_New(nullptr, 0);
    BurnProcessDynamicOptionsDatabase = database;
    if (!database)
        return;
    auto name = [database](gint32 id) { return OptionNames_GetOptionName(database, id); };
    OptionsDatabase_AddOption(database, BooleanOption_New(0, name(0), 0));
    OptionsDatabase_AddOption(database, PointerOption_New(1, name(1), nullptr));
    OptionsDatabase_AddOption(database, PointerOption_New(2, name(2), nullptr));
    OptionsDatabase_AddOption(database, BooleanOption_New(3, name(3), 0));
    OptionsDatabase_AddOption(database, IntegerOption_New(4, name(4), 0));
    OptionsDatabase_AddOption(database, IntegerOption_New(5, name(5), 0));
    OptionsDatabase_AddOption(database, BooleanOption_New(6, name(6), 0));
}
