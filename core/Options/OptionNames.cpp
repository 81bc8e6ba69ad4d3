#include "OptionNames.h"
#include "OptionPrivate.h"
#include "OptionsDatabaseTables.h"

#include <cstring>

namespace tables = vorn::options::tables;

gint32 OptionNames_GetOptionID(OptionsDatabase *database, const gchar *name) noexcept
{
    if (!name)
        return -1;
    for (VornOption *option : vorn::options::optionsOf(database)) {
        if (option->name && std::strcmp(option->name, name) == 0)
            return option->id;
    }
    return -1;
}

const gchar *OptionNames_GetOptionName(OptionsDatabase *database, gint32 id) noexcept
{
    if (!database)
        return "";
    tables::NameTable table;
    if (database == GlobalSettingsOptionsDatabase)
        table = tables::globalSettingsNames();
    else if (database == CompilationTypesOptionsDatabase)
        table = tables::compilationTypesNames();
    else if (database == PathsOptionsDatabase)
        table = tables::pathsNames();
    else if (database == CompilationTypesDynamicOptionsDatabase)
        table = tables::compilationTypesDynamicNames();
    else if (database == BurnProcessDynamicOptionsDatabase)
        table = tables::burnProcessNames();
    else if (database == NameFactoryDynamicOptionsDatabase)
        table = tables::nameFactoryNames();
    if (id < 0 || static_cast<std::size_t>(id) >= table.size() || !table[static_cast<std::size_t>(id)])
        return "";
    return table[static_cast<std::size_t>(id)];
}
