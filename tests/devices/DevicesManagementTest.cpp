// The device list as the application sees it while drives come and go, discs
// move and other programs take drives.
#include "DevicesFixture.h"

#include "VornKitUtil.h"
#include "VornPaths.h"

#include <glib/gstdio.h>

#include <atomic>
#include <cstring>

namespace vorn::test {
namespace {

using DeviceListTest = DevicesTest;
using DefaultRecorderTest = DevicesTest;
using DeviceLockTest = DevicesTest;
using ReadinessTest = DevicesTest;
using DeviceSettingsTest = DevicesTest;
using DeviceIconTest = DevicesTest;

const std::string kLongName40 = "Vorn Super Multi BD Writer With Long Name";   // 41 bytes
const std::string kName31 = "Vorn DVD Writer, exactly 31 byt";              // 31 bytes
const std::string kName63(63, 'N');

VornControlDrive recorderDrive(const char *name, std::uint32_t writeMedia)
{
    return VornControlDrive{name, VORN_DEVICE_TYPE_RECORDER, VORN_CAP_WRITE, writeMedia, writeMedia};
}

TEST_F(DeviceListTest, FollowsDrivesAddedRenamedAndRemovedWithLongNamesKeptWhole)
{
    ASSERT_EQ(kLongName40.size(), 41u);
    ASSERT_EQ(kName31.size(), 31u);
    writeDrives(kWriterAndReader);
    start();
    EXPECT_EQ(snapshotNames(), (std::vector<std::string>{"Vorn DVD Writer", "Vorn CD Reader", "Image Recorder"}));
    int calls = 0;
    auto count = [](VornKitDevicesInfo *devices, gpointer data) {
        if (devices && devices->count == 3)
            ++*static_cast<int *>(data);
    };
    ASSERT_EQ(VornKit_DevicesManagement_RegisterDeviceChangeCallback(count, &calls), 1);
    EXPECT_EQ(calls, 1) << "registering calls the listener once, at once, with the list";
    VornKit_DevicesManagement_UnregisterDeviceChangeCallback(count, &calls);
    EXPECT_STREQ(defaultRecorder().name, "Vorn DVD Writer");

    int ha = 0, id = 0;
    const auto bd = recorderDrive(kLongName40.c_str(), VORN_MEDIUM_BD_R | VORN_MEDIUM_BD_RE | VORN_MEDIUM_CD_R);
    ASSERT_EQ(VornControl_AddDrive(&bd, &ha, &id), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", kLongName40, "Image Recorder"}))
        << testing::PrintToString(snapshotNames());
    EXPECT_EQ(defaultRecorder().name, kLongName40) << "a BD recorder outranks the DVD recorder";
    EXPECT_TRUE(DevicesManagement_PhysicalDeviceExists(VORN_FAMILY_BD));

    // The settings file keeps 31 bytes of a name: such a cut name is another drive.
    VornDeviceEntry cut = entryOf(kLongName40);
    cut.name[31] = '\0';
    const VornDeviceEntry whole = entryOf(kLongName40);
    EXPECT_TRUE(DevicesManagement_DeviceConnected(&whole));
    EXPECT_FALSE(DevicesManagement_DeviceConnected(&cut));

    ASSERT_EQ(VornControl_RenameDrive(ha, id, kName63.c_str()), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", kName63, "Image Recorder"}));
    VornDeviceEntry renamed = entryOf(kName63);
    EXPECT_EQ(renamed.hostAdapter, ha);
    EXPECT_EQ(defaultRecorder().name, kName63);
    VornDeviceEntry real;
    EXPECT_TRUE(DevicesManagement_GetRealDeviceStructure(&renamed, &real));
    EXPECT_EQ(std::memcmp(&real, &renamed, sizeof real), 0);

    ASSERT_EQ(VornControl_RemoveDrive(ha, id), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", "Image Recorder"}));
    EXPECT_STREQ(defaultRecorder().name, "Vorn DVD Writer");
    EXPECT_FALSE(DevicesManagement_DeviceConnected(&renamed));
    EXPECT_FALSE(DevicesManagement_PhysicalDeviceExists(VORN_FAMILY_BD));
    EXPECT_FALSE(events.offMainThread) << "listeners must run on the main loop";
}

TEST_F(DeviceListTest, DrivesFileEditsReachTheListAnd31ByteNamesMatchExactly)
{
    writeDrives(kWriterAndReader);
    start();
    writeDrives(std::string(kWriterAndReader) + "\n[Third]\nName=" + kName31 + "\nWriteMedia=CD-R\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", kName31, "Image Recorder"}))
        << testing::PrintToString(snapshotNames());
    const VornDeviceEntry third = entryOf(kName31);
    EXPECT_TRUE(DevicesManagement_DeviceConnected(&third));
}

TEST_F(DeviceListTest, WithoutEngineTheListIsEmptyAndHotplugIsReportedMissing)
{
    // No engine: nothing is listed and the drive-change callback is refused.
    ASSERT_EQ(VornKit_DevicesManagement_Init(), VORNKIT_DEVICES_INIT_NO_HOTPLUG);
    devicesStarted = true;
    EXPECT_EQ(VornKit_DevicesManagement_GetDevicesInfoStructure(), nullptr);
    int calls = 0;
    auto count = [](VornKitDevicesInfo *, gpointer data) { ++*static_cast<int *>(data); };
    EXPECT_EQ(VornKit_DevicesManagement_RegisterDeviceChangeCallback(count, &calls), 1);
    EXPECT_EQ(calls, 0) << "an empty list calls nobody at once";
    VornDeviceEntry out;
    EXPECT_FALSE(DevicesManagement_GetDefaultActiveRecorder(&out));
    EXPECT_FALSE(VornKit_VornSCSIDeviceInfo_IsValid(&out));
    EXPECT_FALSE(DevicesManagement_GetDefaultActiveRecorder(nullptr));
    EXPECT_FALSE(DevicesManagement_IsPhysicalDeviceConnected());
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(nullptr), VORNKIT_DEVICE_NONE);
    EXPECT_EQ(VornKit_DevicesManagement_UnregisterDeviceChangeCallback(count, &calls), 1);
    EXPECT_EQ(VornKit_DevicesManagement_UnregisterDeviceChangeCallback(count, &calls), 0);
}

TEST_F(DeviceListTest, HeldRescansRunOnlyWhenEveryDisableIsUndone)
{
    writeDrives(kWriterAndReader);
    start();
    VornKit_DevicesManagement_DisableDevicesChangeCallbacks();
    VornKit_DevicesManagement_DisableDevicesChangeCallbacks();
    VornKit_DevicesManagement_EnableDevicesChangeCallbacks();
    EXPECT_FALSE(VornKit_DevicesManagement_AreDevicesChangeCallbacksEnabled());

    int ha = 0, id = 0;
    const auto cd = recorderDrive("Late CD Writer", VORN_MEDIUM_CD_R);
    ASSERT_EQ(VornControl_AddDrive(&cd, &ha, &id), 1);
    VornControl_WaitCallbacksDelivered(5000);
    const int changesBefore = events.listChanges;
    // Longer than the scanner's one-second look at the disable counter.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1300);
    pumpUntil([&] { return std::chrono::steady_clock::now() > until; });
    EXPECT_EQ(events.listChanges, changesBefore);
    EXPECT_EQ(snapshotNames().size(), 3u) << "a rescan ran while callbacks were disabled";

    VornKit_DevicesManagement_EnableDevicesChangeCallbacks();
    EXPECT_TRUE(VornKit_DevicesManagement_AreDevicesChangeCallbacksEnabled());
    EXPECT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", "Late CD Writer", "Image Recorder"}));
    // Enabling more often than disabling does not go below zero.
    VornKit_DevicesManagement_EnableDevicesChangeCallbacks();
    VornKit_DevicesManagement_DisableDevicesChangeCallbacks();
    EXPECT_FALSE(VornKit_DevicesManagement_AreDevicesChangeCallbacksEnabled());
    VornKit_DevicesManagement_EnableDevicesChangeCallbacks();
}

TEST_F(DeviceListTest, ListenerRemovedByAnEarlierListenerIsNotCalledInThatRound)
{
    writeDrives(kWriterAndReader);
    start();
    struct Pair {
        int firstCalls = 0, secondCalls = 0;
    } pair;
    static Pair *current;
    current = &pair;
    auto second = [](VornKitDevicesInfo *, gpointer) { ++current->secondCalls; };
    auto first = [](VornKitDevicesInfo *, gpointer secondFn) {
        ++current->firstCalls;
        VornKit_DevicesManagement_UnregisterDeviceChangeCallback(
            reinterpret_cast<VornKitDevicesChangeCallback>(secondFn), nullptr);
    };
    VornKitDevicesChangeCallback secondFn = second;
    ASSERT_EQ(VornKit_DevicesManagement_RegisterDeviceChangeCallback(first, reinterpret_cast<gpointer>(secondFn)), 1);
    ASSERT_EQ(VornKit_DevicesManagement_RegisterDeviceChangeCallback(secondFn, nullptr), 1);
    EXPECT_EQ(pair.secondCalls, 1) << "registration calls the new listener at once";
    int ha = 0, id = 0;
    const auto cd = recorderDrive("Another CD Writer", VORN_MEDIUM_CD_R);
    ASSERT_EQ(VornControl_AddDrive(&cd, &ha, &id), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", "Another CD Writer", "Image Recorder"}));
    EXPECT_EQ(pair.firstCalls, 2);
    EXPECT_EQ(pair.secondCalls, 1);
    VornKit_DevicesManagement_UnregisterDeviceChangeCallback(first, reinterpret_cast<gpointer>(secondFn));
}

// --- The default recorder ---------------------------------------------------

struct RankingCase {
    const char *label;
    const char *drives;
    const char *expected;
};

class DefaultRecorderRanking : public DevicesTest, public testing::WithParamInterface<RankingCase> {};

TEST_P(DefaultRecorderRanking, PicksTheRichestFamilyFirstListedAmongEquals)
{
    writeDrives(GetParam().drives);
    start();
    VornDeviceEntry out;
    ASSERT_TRUE(DevicesManagement_GetDefaultActiveRecorder(&out));
    EXPECT_STREQ(out.name, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DefaultRecorderRanking,
    testing::Values(
        RankingCase{"CdThenDvd",
                    "[a]\nName=CD Writer\nWriteMedia=CD-R\n[b]\nName=DVD Writer\nWriteMedia=CD-R;DVD+R\n",
                    "DVD Writer"},
        RankingCase{"TwoBd",
                    "[a]\nName=BD One\nWriteMedia=BD-R\n[b]\nName=BD Two\nWriteMedia=BD-R;BD-RE\n", "BD One"},
        RankingCase{"HdDvdUnderBd",
                    "[a]\nName=HD Writer\nWriteMedia=HD DVD-R\n[b]\nName=BD Writer\nWriteMedia=BD-R\n",
                    "BD Writer"},
        RankingCase{"OnlyCd", "[a]\nName=CD Writer\nWriteMedia=CD-R\n", "CD Writer"},
        RankingCase{"OnlyReader", "[a]\nName=Reader\nType=reader\nReadMedia=DVD-ROM\n", "Image Recorder"}),
    [](const testing::TestParamInfo<RankingCase> &info) { return std::string(info.param.label); });

// --- Locks -----------------------------------------------------------------------

TEST_F(DeviceLockTest, NestedLocksNotifyOnlyOnFirstLockAndLastUnlockAndHoldOffOtherThreads)
{
    writeDrives(kWriterAndReader);
    start();
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    ASSERT_TRUE(VornKit_DevicesManagement_LockDevice(&writer));
    ASSERT_TRUE(VornKit_DevicesManagement_LockDevice(&writer));
    EXPECT_EQ(entryOf("Vorn DVD Writer").inUse, VORN_DEVICE_IN_USE);
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORNKIT_DEVICE_IN_USE);

    bool otherThreadLocked = true, otherThreadUnlocked = true;
    std::thread([&] {
        otherThreadLocked = VornKit_DevicesManagement_LockDevice(&writer);
        otherThreadUnlocked = VornKit_DevicesManagement_UnlockDevice(&writer);
    }).join();
    EXPECT_FALSE(otherThreadLocked);
    EXPECT_FALSE(otherThreadUnlocked);

    EXPECT_TRUE(VornKit_DevicesManagement_UnlockDevice(&writer));
    EXPECT_EQ(entryOf("Vorn DVD Writer").inUse, VORN_DEVICE_IN_USE) << "one lock is still held";
    EXPECT_TRUE(VornKit_DevicesManagement_UnlockDevice(&writer));
    EXPECT_FALSE(VornKit_DevicesManagement_UnlockDevice(&writer)) << "nothing left to unlock";
    ASSERT_TRUE(pumpUntil([&] { return events.statuses.size() >= 2; }));
    ASSERT_EQ(events.statuses.size(), 2u);
    EXPECT_TRUE(events.statuses[0].inUse);
    EXPECT_FALSE(events.statuses[1].inUse);
    EXPECT_EQ(events.statuses[0].name, "Vorn DVD Writer");
    EXPECT_EQ(entryOf("Vorn DVD Writer").inUse, VORN_DEVICE_FREE);
}

TEST_F(DeviceLockTest, LockSurvivesARescanAndAnUnlistedDriveCannotBeLocked)
{
    writeDrives(kWriterAndReader);
    start();
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    ASSERT_TRUE(VornKit_DevicesManagement_LockDevice(&writer));
    int ha = 0, id = 0;
    const auto cd = recorderDrive("Hot CD Writer", VORN_MEDIUM_CD_R);
    ASSERT_EQ(VornControl_AddDrive(&cd, &ha, &id), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", "Hot CD Writer", "Image Recorder"}));
    EXPECT_EQ(entryOf("Vorn DVD Writer").inUse, VORN_DEVICE_IN_USE);
    EXPECT_TRUE(VornKit_DevicesManagement_UnlockDevice(&writer));
    EXPECT_EQ(entryOf("Vorn DVD Writer").inUse, VORN_DEVICE_FREE);

    VornDeviceEntry unknown = writer;
    unknown.hostAdapter = 77;
    EXPECT_FALSE(VornKit_DevicesManagement_LockDevice(&unknown));
    EXPECT_FALSE(VornKit_DevicesManagement_LockDevice(nullptr));
}

// --- Readiness and status -------------------------------------------------------

TEST_F(ReadinessTest, FollowsDiscsInsertedRemovedAndSwappedWithNoHandleLeft)
{
    writeDrives(kWriterAndReader);
    start();
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    const VornDeviceEntry reader = entryOf("Vorn CD Reader");
    const auto cd = makeDisc("cd.vrn", VORN_MEDIUM_CD_R);

    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(openHandles(), 0);
    ASSERT_EQ(VornControl_InsertDisc(writer.hostAdapter, writer.deviceId, cd.c_str()), 1);
    ASSERT_TRUE(pumpUntil([&] { return VornKit_DevicesManagement_IsDeviceReady(&writer) == VORN_READY; }));
    EXPECT_EQ(openHandles(), 0);

    ASSERT_EQ(VornControl_SwapDiscs(writer.hostAdapter, writer.deviceId, reader.hostAdapter, reader.deviceId), 1);
    ASSERT_TRUE(pumpUntil([&] { return VornKit_DevicesManagement_IsDeviceReady(&reader) == VORN_READY; }));
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(openHandles(), 0);

    ASSERT_EQ(VornControl_RemoveDisc(reader.hostAdapter, reader.deviceId), 1);
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&reader), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(openHandles(), 0);

    // Disc moves are not in-use changes: no listener hears of them.
    VornControl_WaitCallbacksDelivered(5000);
    drainMainLoop();
    EXPECT_TRUE(events.statuses.empty());
}

TEST_F(ReadinessTest, AnotherProgramTakingADriveReachesListenersAndReadiness)
{
    writeDrives(kWriterAndReader);
    start();
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    ASSERT_EQ(VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 1), 1);
    VornControl_WaitCallbacksDelivered(5000);
    ASSERT_TRUE(pumpUntil([&] { return events.statuses.size() == 1; }));
    EXPECT_TRUE(events.statuses[0].inUse);
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORNKIT_DEVICE_IN_USE);
    EXPECT_EQ(entryOf("Vorn DVD Writer").inUse, VORN_DEVICE_IN_USE);

    // While we hold the lock ourselves, the other program's release stays quiet.
    ASSERT_TRUE(VornKit_DevicesManagement_LockDevice(&writer));
    ASSERT_EQ(VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 0), 1);
    VornControl_WaitCallbacksDelivered(5000);
    drainMainLoop();
    EXPECT_EQ(events.statuses.size(), 1u);
    EXPECT_TRUE(VornKit_DevicesManagement_UnlockDevice(&writer));
    ASSERT_TRUE(pumpUntil([&] { return events.statuses.size() == 2; }));
    EXPECT_FALSE(events.statuses[1].inUse);
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(openHandles(), 0);
}

TEST_F(ReadinessTest, VanishedOrUnopenableDriveReadsAsCannotOpen)
{
    writeDrives(kWriterAndReader);
    start();
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    VornControl_FailNextCall(VORN_CONTROL_CALL_OPEN_DEVICE, 0);
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORNKIT_DEVICE_CANNOT_OPEN);

    ASSERT_EQ(VornControl_RemoveDrive(writer.hostAdapter, writer.deviceId), 1);
    ASSERT_TRUE(waitForNames({"Vorn CD Reader", "Image Recorder"}));
    EXPECT_EQ(VornKit_DevicesManagement_IsDeviceReady(&writer), VORNKIT_DEVICE_CANNOT_OPEN);
    EXPECT_FALSE(VornKit_DevicesManagement_SetAutoSpeedDown(&writer, 1));
    EXPECT_EQ(openHandles(), 0);
}

// --- Per-drive settings -------------------------------------------------------------

TEST_F(DeviceSettingsTest, DefaultsFollowCapabilitiesAndSettingsWithoutTheCapabilityAreRefused)
{
    writeDrives(
        "[Full]\nName=Full Writer\nWriteMedia=DVD+R;DVD+R DL\nCapabilities=0x130409\n"
        "[Bare]\nName=Bare Writer\nWriteMedia=CD-R\nCapabilities=0x1\n");
    start();
    const VornDeviceEntry full = entryOf("Full Writer");
    const VornDeviceEntry bare = entryOf("Bare Writer");
    EXPECT_EQ(VornKit_DevicesManagement_GetBookTypeSettings(&full), 3);
    EXPECT_EQ(VornKit_DevicesManagement_GetBookTypeSettings(nullptr), 2);
    EXPECT_EQ(VornKit_DevicesManagement_GetBufferUnderrunProtection(&full), 1);
    EXPECT_EQ(VornKit_DevicesManagement_GetDVDHighCompatibilityMode(&full), 1);
    EXPECT_EQ(VornKit_DevicesManagement_GetAutoSpeedDown(&full), 0);
    EXPECT_EQ(VornKit_DevicesManagement_GetExtendedLeadOutDL(&full), 0);

    EXPECT_FALSE(VornKit_DevicesManagement_SetBufferUnderrunProtection(&bare, 1));
    EXPECT_FALSE(VornKit_DevicesManagement_SetDVDHighCompatibilityMode(&bare, 1));
    EXPECT_FALSE(VornKit_DevicesManagement_SetAutoSpeedDown(&bare, 1));
    EXPECT_FALSE(VornKit_DevicesManagement_SetExtendedLeadOutDL(&bare, 1));
    EXPECT_EQ(VornKit_DevicesManagement_GetBufferUnderrunProtection(&bare), 0);
    EXPECT_TRUE(VornKit_DevicesManagement_SetBookTypeSettings(&bare, 5)) << "book type needs no capability";
    EXPECT_EQ(VornKit_DevicesManagement_GetBookTypeSettings(&bare), 5);
    EXPECT_EQ(VornControl_GetDeviceOptionCount(), 0);
}

TEST_F(DeviceSettingsTest, SpeedDownAndLeadOutReachTheDriveAndSettingsSurviveRescansButNotRenames)
{
    writeDrives(
        "[Full]\nName=Full Writer\nWriteMedia=DVD+R;DVD+R DL\nCapabilities=0x130409\n"
        "[Alt]\nName=Alt Writer\nWriteMedia=DVD+R;DVD+R DL\nCapabilities=0x40409\n");
    start();
    const VornDeviceEntry full = entryOf("Full Writer");
    const VornDeviceEntry alt = entryOf("Alt Writer");
    ASSERT_TRUE(VornKit_DevicesManagement_SetAutoSpeedDown(&full, 1));
    ASSERT_TRUE(VornKit_DevicesManagement_SetAutoSpeedDown(&alt, 1));
    ASSERT_TRUE(VornKit_DevicesManagement_SetExtendedLeadOutDL(&full, 1));
    ASSERT_TRUE(VornKit_DevicesManagement_SetBufferUnderrunProtection(&full, 0));
    int32_t value = 0;
    EXPECT_EQ(VornControl_GetDeviceOptionValue(full.hostAdapter, full.deviceId, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN,
                                               &value), 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(VornControl_GetDeviceOptionValue(alt.hostAdapter, alt.deviceId,
                                               VORN_DEVICE_OPTION_AUTO_SPEED_DOWN_ALT, &value), 1)
        << "without capability 0x10000 automatic speed-down goes through option 1006";
    EXPECT_EQ(VornControl_GetDeviceOptionValue(full.hostAdapter, full.deviceId,
                                               VORN_DEVICE_OPTION_EXTENDED_LEADOUT_DL, &value), 1);
    EXPECT_EQ(openHandles(), 0);

    int ha = 0, id = 0;
    const auto cd = recorderDrive("Hot CD Writer", VORN_MEDIUM_CD_R);
    ASSERT_EQ(VornControl_AddDrive(&cd, &ha, &id), 1);
    ASSERT_TRUE(waitForNames({"Full Writer", "Alt Writer", "Hot CD Writer", "Image Recorder"}));
    EXPECT_EQ(VornKit_DevicesManagement_GetAutoSpeedDown(&full), 1);
    EXPECT_EQ(VornKit_DevicesManagement_GetBufferUnderrunProtection(&full), 0);
    EXPECT_EQ(VornKit_DevicesManagement_GetExtendedLeadOutDL(&full), 1);

    ASSERT_EQ(VornControl_RenameDrive(full.hostAdapter, full.deviceId, "Replaced Writer"), 1);
    ASSERT_TRUE(waitForNames({"Replaced Writer", "Alt Writer", "Hot CD Writer", "Image Recorder"}));
    const VornDeviceEntry replaced = entryOf("Replaced Writer");
    EXPECT_EQ(VornKit_DevicesManagement_GetAutoSpeedDown(&replaced), 0) << "another name is another drive";
    EXPECT_EQ(VornKit_DevicesManagement_GetBufferUnderrunProtection(&replaced), 1);
    EXPECT_EQ(VornKit_DevicesManagement_GetAutoSpeedDown(&alt), 1);
}

// --- Icons ----------------------------------------------------------------------------

TEST_F(DeviceIconTest, KindLockAndSizePickTheFile)
{
    // A folder holding only the icons this test expects: any other choice fails to load.
    TempDir images;
    std::filesystem::create_directories(images / "devices");
    const std::filesystem::path installed = std::filesystem::path(VORN_IMAGES_DIR) / "devices";
    for (const char *file : {"vornkit-bdrecorder_icon-16.png", "vornkit-dvdrom_locked_icon-48.png",
                             "vornkit-imagerecorder_icon-24.png", "vornkit-cdrecorder_icon-32.png"})
        std::filesystem::copy_file(installed / file, images / "devices" / file);
    VornKit_Util_SetImagesDirectory(images.path().c_str());

    VornDeviceEntry device;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&device);
    device.type = VORN_DEVICE_TYPE_RECORDER;
    device.writeMedia = VORN_MEDIUM_DVD_PLUS_R | VORN_MEDIUM_BD_R;
    GdkPixbuf *icon = VornKit_DevicesManagement_GetDevicePixbuf(&device, 0, 0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(icon), 16);
    g_object_unref(icon);
    EXPECT_EQ(VornKit_DevicesManagement_GetDevicePixbuf(&device, 1, 0), nullptr) << "locked icon not provided";

    device.writeMedia = 0x400;  // a pressed CD bit alone: still the CD recorder icon
    icon = VornKit_DevicesManagement_GetDevicePixbuf(&device, 0, 2);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(icon), 32);
    g_object_unref(icon);

    device.type = VORN_DEVICE_TYPE_READER;
    device.readMedia = VORN_MEDIUM_DVD_ROM;
    device.inUse = VORN_DEVICE_IN_USE;  // in use shows the locked form
    icon = VornKit_DevicesManagement_GetDevicePixbuf(&device, 0, 3);
    ASSERT_NE(icon, nullptr);
    g_object_unref(icon);

    device.capabilities = VORN_CAP_IMAGE_RECORDER;
    device.inUse = VORN_DEVICE_FREE;
    icon = VornKit_DevicesManagement_GetDevicePixbuf(&device, 0, 1);
    EXPECT_NE(icon, nullptr);
    if (icon)
        g_object_unref(icon);

    device.capabilities = 0;
    device.type = 3;
    EXPECT_EQ(VornKit_DevicesManagement_GetDevicePixbuf(&device, 0, 0), nullptr);
    device.type = VORN_DEVICE_TYPE_RECORDER;
    EXPECT_EQ(VornKit_DevicesManagement_GetDevicePixbuf(&device, 0, 4), nullptr);
    EXPECT_EQ(VornKit_DevicesManagement_GetDevicePixbuf(nullptr, 0, 0), nullptr);
    VornKit_Util_SetImagesDirectory(nullptr);
}

// --- Device entries ---------------------------------------------------------------------

TEST(DeviceEntryTest, EqualityIsByAddressAndEqualExAlsoComparesTheWholeName)
{
    VornDeviceEntry a, b;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&a);
    EXPECT_FALSE(VornKit_VornSCSIDeviceInfo_IsValid(&a));
    EXPECT_FALSE(VornKit_VornSCSIDeviceInfo_IsValid(nullptr));
    a.hostAdapter = -1;
    a.deviceId = 0;  // the image recorder's address is valid
    EXPECT_TRUE(VornKit_VornSCSIDeviceInfo_IsValid(&a));
    std::memset(a.name, 'x', sizeof a.name);  // no NUL inside the field
    VornKit_VornSCSIDeviceInfo_Dump(&b, &a, TRUE);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_TRUE(VornKit_VornSCSIDeviceInfo_EqualEx(&a, &b));
    b.name[63] = 'y';
    EXPECT_TRUE(VornKit_VornSCSIDeviceInfo_Equal(&a, &b));
    EXPECT_FALSE(VornKit_VornSCSIDeviceInfo_EqualEx(&a, &b));
    EXPECT_FALSE(VornKit_VornSCSIDeviceInfo_Equal(&a, nullptr));
    b.deviceId = 1;
    EXPECT_FALSE(VornKit_VornSCSIDeviceInfo_Equal(&a, &b));

    gchar *trimmed = VornKit_VornSCSIDeviceInfo_GetTrimedDeviceName("  \tVorn Writer 1.0   ");
    EXPECT_STREQ(trimmed, "Vorn Writer 1.0");
    g_free(trimmed);
    EXPECT_EQ(VornKit_VornSCSIDeviceInfo_GetTrimedDeviceName(nullptr), nullptr);
}

}  // namespace
}  // namespace vorn::test
