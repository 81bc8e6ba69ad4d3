#include "AudioPluginManagerLoader.h"

gboolean AudioPluginManagerLoader_Restart() noexcept
{
    return TRUE;
}
