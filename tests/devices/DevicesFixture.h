// A running engine with a drives file, devices management started on it, and
// listeners that record what reaches the main loop.
#ifndef VORN_TESTS_DEVICES_FIXTURE_H
#define VORN_TESTS_DEVICES_FIXTURE_H

#include "DevicesManagement.h"
#include "TestEnvironment.h"
#include "VornAPI.h"
#include "VornControl.h"
#include "VornKitDevicesManagement.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vorn::test {

// What the device-change and status listeners saw, all on the main loop.
struct DeviceEvents {
    struct Status {
        std::string name;
        bool inUse;
    };
    int listChanges = 0;
    std::vector<std::string> lastNames;
    std::vector<Status> statuses;
    bool offMainThread = false;
    std::thread::id mainThread = std::this_thread::get_id();
};

class DevicesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void writeDrives(const std::string &contents);
    std::filesystem::path makeDisc(const std::string &name, std::uint32_t medium);
    // Starts the engine on the drives file, then devices management.
    void start();
    // Stops both; checks that no handle is left open.
    void stop();

    // Runs what the main loop has ready now (notifications already queued).
    void drainMainLoop();
    // Runs the main loop until `done` holds (at most 10 s).
    bool pumpUntil(const std::function<bool()> &done);
    // Lets queued engine callbacks run and the scanner finish its rescans,
    // then runs the main loop until the list holds `names`.
    bool waitForNames(const std::vector<std::string> &names);

    std::vector<std::string> snapshotNames() const;
    // The listed entry called `name`; fails the test when absent.
    VornDeviceEntry entryOf(const std::string &name) const;
    VornDeviceEntry defaultRecorder() const;
    int openHandles() const { return VornControl_GetOpenHandleCount(-2, -2); }

    static void onList(VornKitDevicesInfo *devices, gpointer self) noexcept;
    static void onStatus(const VornDeviceEntry *device, gboolean inUse, gpointer self) noexcept;

    TempDir dir;
    std::filesystem::path drivesFile;
    VornSettings settings{};
    DeviceEvents events;
    bool engineStarted = false;
    bool devicesStarted = false;
};

// Names in the drives file and longer ones (the settings file keeps 31 bytes).
inline const char *kWriterAndReader =
    "[Writer]\n"
    "Name=Vorn DVD Writer\n"
    "WriteMedia=CD-R;CD-RW;DVD-R;DVD+R;DVD+RW\n"
    "\n"
    "[Reader]\n"
    "Name=Vorn CD Reader\n"
    "Type=reader\n"
    "ReadMedia=CD-ROM;CD-R;CD-RW\n";

}  // namespace vorn::test

#endif
