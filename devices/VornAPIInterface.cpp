#include "VornAPIInterface.h"

#include "PendingSettings.h"
#include "UserDialogs.h"
#include "VornPaths.h"

#include <atomic>

namespace {

// The engine keeps a pointer to the record and reads it until VornDone, so it
// lives for the whole process.
VornSettings engineSettings{};

// A plain flag in meaning; atomic because the engine reads it on its own thread.
std::atomic<int> userAbort{0};

int idleCallback(void *) noexcept
{
    return userAbort.load(std::memory_order_relaxed);
}

// The drives file handed to the engine: none, so that it takes the file named
// in the environment (emulated drives) or works with the image recorder only.
const char *const drivesFile = nullptr;

}  // namespace

int VornAPI_StartVornAPI() noexcept
{
    engineSettings = VornSettings{};
    VornSetExpectedAPIVersionEx(kVornAPIExpectedMajor, kVornAPIExpectedMinor, kVornAPIExpectedRevision,
                                kVornAPIExpectedBuild, nullptr);
    engineSettings.engineDir = VORN_ENGINE_DIR;
    engineSettings.vendor = "Vorn AG";
    engineSettings.software = VORN_APP_NAME;
    MessagesFile_SetupLanguageFile(&engineSettings);
    engineSettings.idle = idleCallback;
    engineSettings.idleData = nullptr;
    engineSettings.userDialog = UserDialogs_Callback;
    engineSettings.userDialogData = nullptr;
    return VornInitEx(&engineSettings, drivesFile, -10, 0);
}

void VornAPI_StopVornAPI() noexcept
{
    VornDone();
}

void VornAPI_SetUserAbort(int value) noexcept
{
    userAbort.store(value, std::memory_order_relaxed);
}

int VornAPI_GetUserAbort() noexcept
{
    return userAbort.load(std::memory_order_relaxed);
}

const VornSettings *VornAPI_GetSettings() noexcept
{
    return &engineSettings;
}
