// libFuzzer target: any bytes as a settings file. The reader must not crash,
// and whatever it leaves in the databases must still save to a file that
// reads back without error.
#include "ConfigFileInternal.h"
#include "OptionsDatabase.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    OptionsDatabase_InitDatabases();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vorn::configfile::readSettingsText(std::string_view(reinterpret_cast<const char *>(data), size));
    const std::string saved = vorn::configfile::settingsDocument();
    if (!vorn::configfile::readSettingsText(saved))
        __builtin_trap();
    return 0;
}
