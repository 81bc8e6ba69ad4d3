// No driver is loaded yet, so the database stays empty and playback is unavailable.
#include "AudioDriversDatabase.h"

void AudioDriversDatabase_Init() noexcept {}

void AudioDriversDatabase_Done() noexcept {}
