// The counters that number the default names of new compilations, one per
// kind of compilation and medium. Never saved: every run starts again at 1.
#include "OptionNames.h"
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

namespace {

constexpr const char *kNames[] = {
    "ISO 9660 CD Compilations Counter",
    "ISO 9660 DVD Compilations Counter",
    "UDF CD Compilations Counter",
    "UDF DVD Compilations Counter",
    "UDF BD Compilations Counter",
    "UDF HD DVD Compilations Counter",
    "UDF/ISO Bridge CD Compilations Counter",
    "UDF/ISO Bridge DVD Compilations Counter",
    "Bootable CD Compilations Counter",
    "Bootable DVD Compilations Counter",
    "miniDVD Compilations Counter",
    "DVD-Video Compilations Counter",
    "Audio CD Compilations Counter",
    "Mixed Mode CD Compilations Counter",
    "Enhanced CD Compilations Counter",
    "CD-Copy Compilations Counter",
    "DVD-Copy Compilations Counter",
    "HD DVD-Copy Compilations Counter",
    "BD-Copy Compilations Counter",
};
static_assert(std::size(kNames) == 19);

}  // namespace

vorn::options::tables::NameTable vorn::options::tables::nameFactoryNames() noexcept
{
    return kNames;
}

void NameFactoryDatabase_Init() noexcept
{
    OptionsDatabase *database = OptionsDatabase_New(nullptr, 0);
    NameFactoryDynamicOptionsDatabase = database;
    if (!database)
        return;
    for (gint32 id = 0; id < static_cast<gint32>(std::size(kNames)); ++id)
        OptionsDatabase_AddOption(database, IntegerOption_New(id, OptionNames_GetOptionName(database, id), 1));
}
