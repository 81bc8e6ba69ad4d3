// The folders the file dialogs last used, saved in the settings file under
// "Paths". Each dialog starts in its entry and stores where the user ended.
#include "OptionNames.h"
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"

namespace {

constexpr const char *kNames[] = {
    "Compilations path", "Images path",         "Log files path",
    "Disc info logs path", "Custom startup path", "Image recorder path",
    "Output path for audio files", "Input path for audio files",
};
constexpr gint32 kAudioOutputPath = 6;

}  // namespace

vorn::options::tables::NameTable vorn::options::tables::pathsNames() noexcept
{
    return kNames;
}

void PathsDatabase_Init() noexcept
{
    OptionsDatabase *database = OptionsDatabase_New("Paths", 1);
    PathsOptionsDatabase = database;
    if (!database)
        return;
    for (gint32 id = 0; id < static_cast<gint32>(std::size(kNames)); ++id) {
        // Paths keep the character set they were found in, like file names.
        const gchar *value = id == kAudioOutputPath ? g_get_home_dir() : "";
        OptionsDatabase_AddOption(database, StringOption_NewWithVariableEncoding(
                                                id, OptionNames_GetOptionName(database, id), "", value));
    }
}
