// Drive callbacks arrive on engine threads while the main loop is busy
// elsewhere and other threads use the list: every listener still runs on the
// main loop, the last word about each drive wins, and nothing leaks a handle.
// Run under ThreadSanitizer (VORN_TSAN) to check the locking itself.
#include "DevicesFixture.h"

#include <atomic>
#include <chrono>
#include <map>

namespace vorn::test {
namespace {

using DeviceCallbackThreadsTest = DevicesTest;

constexpr int kBusyDrives = 4;
constexpr int kTogglesPerDrive = 40;

TEST_F(DeviceCallbackThreadsTest, StatusAndHotplugFromManyThreadsReachTheMainLoopInOrder)
{
    std::string drives;
    for (int i = 0; i < kBusyDrives; ++i)
        drives += "[d" + std::to_string(i) + "]\nName=Drive " + std::to_string(i) + "\nWriteMedia=CD-R;DVD+R\n";
    writeDrives(drives);
    start();
    std::vector<VornDeviceEntry> entries;
    for (int i = 0; i < kBusyDrives; ++i)
        entries.push_back(entryOf("Drive " + std::to_string(i)));

    std::atomic<bool> go{false};
    std::atomic<int> lockedByUsers{0};
    std::vector<std::thread> threads;
    // Other programs taking and releasing the drives, one thread per drive.
    for (int i = 0; i < kBusyDrives; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            for (int n = 0; n < kTogglesPerDrive; ++n)
                VornControl_SetDriveBusy(entries[i].hostAdapter, entries[i].deviceId, n % 2 == 0 ? 1 : 0);
        });
    }
    // Drives plugged in and out.
    threads.emplace_back([&] {
        while (!go.load()) {
        }
        for (int n = 0; n < 6; ++n) {
            VornControlDrive d{"Passing Drive", VORN_DEVICE_TYPE_RECORDER, VORN_CAP_WRITE, VORN_MEDIUM_CD_R,
                               VORN_MEDIUM_CD_R};
            int ha = 0, id = 0;
            if (VornControl_AddDrive(&d, &ha, &id))
                VornControl_RemoveDrive(ha, id);
        }
    });
    // Users of the list: locks, readiness, snapshots.
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) {
            }
            for (int n = 0; n < 30; ++n) {
                const VornDeviceEntry &e = entries[static_cast<std::size_t>((n + t) % kBusyDrives)];
                if (VornKit_DevicesManagement_LockDevice(&e)) {
                    ++lockedByUsers;
                    VornKit_DevicesManagement_UnlockDevice(&e);
                }
                VornKit_DevicesManagement_IsDeviceReady(&e);
                VornKit_DevicesManagement_FreeDevicesInfoStructure(VornKit_DevicesManagement_GetDevicesInfoStructure());
                VornKit_DevicesManagement_GetBookTypeSettings(&e);
            }
        });
    }

    go = true;
    // The main loop is busy: nothing is delivered while the threads run.
    for (auto &t : threads)
        t.join();
    EXPECT_TRUE(events.statuses.empty() || events.statuses.size() < 1000);
    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);

    std::vector<std::string> expected;
    for (int i = 0; i < kBusyDrives; ++i)
        expected.push_back("Drive " + std::to_string(i));
    expected.push_back("Image Recorder");
    ASSERT_TRUE(waitForNames(expected)) << testing::PrintToString(snapshotNames());
    drainMainLoop();

    EXPECT_FALSE(events.offMainThread);
    EXPECT_GT(lockedByUsers.load(), 0);
    // Each drive ended free (its last toggle releases it), and its last
    // notification says so.
    std::map<std::string, bool> last;
    for (const auto &status : events.statuses)
        last[status.name] = status.inUse;
    for (int i = 0; i < kBusyDrives; ++i) {
        const std::string name = "Drive " + std::to_string(i);
        EXPECT_EQ(entryOf(name).inUse, VORN_DEVICE_FREE) << name;
        ASSERT_TRUE(last.count(name)) << name << " never reported";
        EXPECT_FALSE(last[name]) << name << " last reported in use";
    }
    EXPECT_EQ(openHandles(), 0);
}

TEST_F(DeviceCallbackThreadsTest, StopWhileDrivesChangeLeavesNothingBehind)
{
    writeDrives(kWriterAndReader);
    start();
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        int n = 0;
        while (!stop.load()) {
            VornControlDrive d{"Churn Drive", VORN_DEVICE_TYPE_RECORDER, VORN_CAP_WRITE, VORN_MEDIUM_CD_R,
                               VORN_MEDIUM_CD_R};
            int ha = 0, id = 0;
            if (VornControl_AddDrive(&d, &ha, &id)) {
                VornControl_SetDriveBusy(ha, id, ++n % 2);
                VornControl_RemoveDrive(ha, id);
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    DevicesManagement_Done();
    VornKit_DevicesManagement_Done();
    devicesStarted = false;
    stop = true;
    churn.join();
    VornControl_WaitCallbacksDelivered(5000);
    // Notifications queued before the stop must not reach anyone after it.
    const auto before = events;
    drainMainLoop();
    EXPECT_EQ(events.listChanges, before.listChanges);
    EXPECT_EQ(events.statuses.size(), before.statuses.size());
    EXPECT_EQ(VornKit_DevicesManagement_GetDevicesInfoStructure(), nullptr);
    EXPECT_EQ(openHandles(), 0);
}

}  // namespace
}  // namespace vorn::test
