#include "DevicesFixture.h"

#include "VornPaths.h"
#include "VrnDisc.h"

#include <glib.h>

#include <chrono>
#include <cstring>

namespace vorn::test {

void DevicesTest::SetUp()
{
    drivesFile = dir / "drives.ini";
    settings.engineDir = VORN_ENGINE_DIR;
    settings.vendor = "Vorn AG";
    settings.software = "Vorn Linux";
    settings.languageFile = "Vorn.txt";
    VornControl_SetTimeScale(0);
    VornControl_ClearRecordedOptions();
}

void DevicesTest::TearDown()
{
    stop();
    VornControl_ClearFailures();
    VornControl_SetTimeScale(1);
    // Drop notifications still queued so that they cannot reach the next test.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void DevicesTest::writeDrives(const std::string &contents)
{
    auto tmp = dir / "drives.ini.tmp";
    writeFile(tmp, contents);
    std::filesystem::rename(tmp, drivesFile);
}

std::filesystem::path DevicesTest::makeDisc(const std::string &name, std::uint32_t medium)
{
    auto path = dir / name;
    auto disc = vrn::VrnDisc::create(path, medium, vrn::medium::nominalCapacity(medium));
    EXPECT_TRUE(disc.ok()) << disc.error();
    return path;
}

void DevicesTest::start()
{
    if (!std::filesystem::exists(drivesFile))
        writeDrives("");
    ASSERT_NE(VornInitEx(&settings, drivesFile.c_str(), -10, 0), VORN_INIT_ERROR);
    engineStarted = true;
    ASSERT_EQ(VornKit_DevicesManagement_Init(), VORNKIT_DEVICES_INIT_OK);
    devicesStarted = true;
    DevicesManagement_Init();
    ASSERT_EQ(VornKit_DevicesManagement_RegisterDeviceChangeCallback(onList, this), 1);
    ASSERT_EQ(VornKit_DevicesManagement_RegisterStatusChangeCallback(onStatus, this), 1);
    // The first scan's notification: tests start from a quiet main loop.
    drainMainLoop();
    events = DeviceEvents{};
}

void DevicesTest::stop()
{
    if (devicesStarted) {
        DevicesManagement_Done();
        VornKit_DevicesManagement_Done();
        devicesStarted = false;
    }
    if (engineStarted) {
        EXPECT_EQ(openHandles(), 0) << "a device handle was left open";
        VornDone();
        engineStarted = false;
    }
}

void DevicesTest::drainMainLoop()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

bool DevicesTest::pumpUntil(const std::function<bool()> &done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (!done())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool DevicesTest::waitForNames(const std::vector<std::string> &names)
{
    VornControl_WaitCallbacksDelivered(5000);
    return pumpUntil([&] { return events.lastNames == names && snapshotNames() == names; });
}

std::vector<std::string> DevicesTest::snapshotNames() const
{
    std::vector<std::string> names;
    VornKitDevicesInfo *devices = VornKit_DevicesManagement_GetDevicesInfoStructure();
    for (int i = 0; devices && i < devices->count; ++i)
        names.emplace_back(VornDeviceList_Entry(devices, i)->name);
    VornKit_DevicesManagement_FreeDevicesInfoStructure(devices);
    return names;
}

VornDeviceEntry DevicesTest::entryOf(const std::string &name) const
{
    VornDeviceEntry found;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&found);
    VornKitDevicesInfo *devices = VornKit_DevicesManagement_GetDevicesInfoStructure();
    for (int i = 0; devices && i < devices->count; ++i)
        if (name == VornDeviceList_Entry(devices, i)->name)
            std::memcpy(&found, VornDeviceList_Entry(devices, i), sizeof found);
    VornKit_DevicesManagement_FreeDevicesInfoStructure(devices);
    EXPECT_TRUE(VornKit_VornSCSIDeviceInfo_IsValid(&found)) << "no drive called " << name;
    return found;
}

VornDeviceEntry DevicesTest::defaultRecorder() const
{
    VornDeviceEntry out;
    DevicesManagement_GetDefaultActiveRecorder(&out);
    return out;
}

void DevicesTest::onList(VornKitDevicesInfo *devices, gpointer self) noexcept
{
    auto &e = static_cast<DevicesTest *>(self)->events;
    if (std::this_thread::get_id() != e.mainThread)
        e.offMainThread = true;
    ++e.listChanges;
    e.lastNames.clear();
    for (int i = 0; devices && i < devices->count; ++i)
        e.lastNames.emplace_back(VornDeviceList_Entry(devices, i)->name);
}

void DevicesTest::onStatus(const VornDeviceEntry *device, gboolean inUse, gpointer self) noexcept
{
    auto &e = static_cast<DevicesTest *>(self)->events;
    if (std::this_thread::get_id() != e.mainThread)
        e.offMainThread = true;
    e.statuses.push_back({device->name, inUse == TRUE});
}

}  // namespace vorn::test
