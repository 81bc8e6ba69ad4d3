// The defaults for new compilations: the persistent "CompilationTypes"
// database, saved in the settings file, and its dynamic companion holding the
// values that last for this run only (dates, CD-TEXT).
//
// Both databases are created empty for now; their options are added here
// together with the compilation types that read them.
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

vorn::options::tables::NameTable vorn::options::tables::compilationTypesNames() noexcept
{
    return {};
}

vorn::options::tables::NameTable vorn::options::tables::compilationTypesDynamicNames() noexcept
{
    return {};
}

void CompilationTypesDatabase_Init() noexcept
{
    CompilationTypesOptionsDatabase = OptionsDatabase_New("CompilationTypes", 1);
    CompilationTypesDynamicOptionsDatabase = OptionsDatabase_New(nullptr, 0);
}
