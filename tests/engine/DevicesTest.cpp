// One device: handles, the tray, readiness, speeds, and drives that come,
// go and turn busy while the engine runs.
#include "EngineFixture.h"

#include <map>
#include <random>

namespace vorn::test {
namespace {

using TrayTest = EngineTest;
using HandleTest = EngineTest;
using SpeedsTest = EngineTest;
using HotPlugTest = EngineTest;

const char *kWriterWithDisc = "[Writer]\nName=Writer\nWriteMedia=CD-R;CD-RW;DVD-R;DVD+R;DVD+RW\n"
                              "Disc=disc.vrn\n";

TEST_F(TrayTest, EjectLoadAndSpinUpGiveTheRuledReadiness)
{
    makeDisc("disc.vrn", VORN_MEDIUM_DVD_PLUS_R);
    writeDrives(kWriterWithDisc);
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto entry = entryOf("Writer");
    ASSERT_EQ(VornRegisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 1);
    VornDevice *h = VornOpenDevice(&entry);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY);
    EXPECT_EQ(VornGetCurrentMediumType(h), static_cast<uint32_t>(VORN_MEDIUM_DVD_PLUS_R));

    EXPECT_EQ(VornEjectLoadCD(h, 1), 1);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_TRAY_OPEN);
    EXPECT_EQ(VornGetCurrentMediumType(h), 0u) << "an open tray shows no medium";
    EXPECT_EQ(VornEjectLoadCD(h, 1), 1) << "ejecting an open tray is harmless";

    // A slow drive: closing the tray over a disc is not ready at once.
    VornControl_SetTimeScale(1000);
    EXPECT_EQ(VornEjectLoadCD(h, 0), 1);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_BECOMING_READY);
    VornControl_SetTimeScale(0);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY);

    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);
    ASSERT_EQ(recorder.statuses().size(), 2u) << "the second eject moved nothing and reports nothing";
    for (const auto &s : recorder.statuses())
        EXPECT_EQ(s.status, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
    EXPECT_FALSE(recorder.ranOnCallerThread())
        << "drive callbacks never run inside a call on the caller's thread";

    ASSERT_EQ(VornControl_RemoveDisc(entry.hostAdapter, entry.deviceId), 1);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(VornEjectLoadCD(h, 0), 1);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_NO_MEDIUM) << "closing an empty tray finds nothing";
    VornCloseDevice(h);
}

// Random tray and disc operations against a small model of a drive: the
// readiness always matches it and is never one of the codes callers keep
// for themselves (1, 2, 4).
TEST_F(TrayTest, RandomTrayAndDiscSequencesMatchTheModel)
{
    const auto discA = makeDisc("a.vrn", VORN_MEDIUM_CD_RW);
    const auto discB = makeDisc("b.vrn", VORN_MEDIUM_DVD_PLUS_RW);
    writeDrives("[Writer]\nName=Writer\nWriteMedia=CD-R;CD-RW;DVD+RW\n[Other]\nName=Other\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto entry = entryOf("Writer");
    auto other = entryOf("Other");
    VornDevice *h = VornOpenDevice(&entry);
    ASSERT_NE(h, nullptr);

    std::uint64_t seed = 20261206;
    if (const char *env = std::getenv("VORN_TEST_SEED"))
        seed = std::strtoull(env, nullptr, 10);
    SCOPED_TRACE("seed " + std::to_string(seed) + " (set VORN_TEST_SEED to replay)");
    std::mt19937_64 rng(seed);

    bool trayOpen = false;
    std::uint32_t medium = 0;       // in this drive
    std::uint32_t otherMedium = 0;  // in the other one
    for (int step = 0; step < 300; ++step) {
        switch (rng() % 5) {
        case 0:
            EXPECT_EQ(VornEjectLoadCD(h, 1), 1);
            trayOpen = true;
            break;
        case 1:
            EXPECT_EQ(VornEjectLoadCD(h, 0), 1);
            trayOpen = false;
            break;
        case 2:
            if (medium == 0) {
                const auto &path = rng() % 2 ? discA : discB;
                if (VornControl_InsertDisc(entry.hostAdapter, entry.deviceId, path.c_str()) == 1) {
                    medium = path == discA ? VORN_MEDIUM_CD_RW : VORN_MEDIUM_DVD_PLUS_RW;
                    trayOpen = false;
                }
            } else {
                EXPECT_EQ(VornControl_InsertDisc(entry.hostAdapter, entry.deviceId,
                                                 discA.c_str()),
                          0)
                    << "a drive holds one disc";
            }
            break;
        case 3:
            EXPECT_EQ(VornControl_RemoveDisc(entry.hostAdapter, entry.deviceId), 1);
            medium = 0;
            trayOpen = false;
            break;
        case 4:
            EXPECT_EQ(VornControl_SwapDiscs(entry.hostAdapter, entry.deviceId, other.hostAdapter,
                                            other.deviceId),
                      1);
            std::swap(medium, otherMedium);
            trayOpen = false;
            break;
        }
        int expected = trayOpen ? VORN_READY_TRAY_OPEN : medium ? VORN_READY : VORN_READY_NO_MEDIUM;
        ASSERT_EQ(VornIsDeviceReady(h), expected) << "step " << step;
        ASSERT_EQ(VornGetCurrentMediumType(h), trayOpen ? 0u : medium) << "step " << step;
    }
    VornCloseDevice(h);
}

TEST_F(TrayTest, TheImageRecorderIsAlwaysReadyAndHasNoTray)
{
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto image = entryOf("Image Recorder");
    VornDevice *h = VornOpenDevice(&image);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY);
    EXPECT_EQ(VornEjectLoadCD(h, 1), 0);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY);
    EXPECT_EQ(VornGetCurrentMediumType(h), 0u);
    VornCloseDevice(h);
}

TEST_F(HandleTest, ManyHandlesOnOneDriveAndNoneLeakedAfterRandomOpensAndCloses)
{
    writeDrives("[A]\nName=A\n[B]\nName=B\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    std::vector<VornDeviceEntry> entries = {entryOf("A"), entryOf("B"), entryOf("Image Recorder")};
    std::mt19937_64 rng(7);
    std::vector<std::pair<VornDevice *, int>> open;  // handle, entry index
    for (int step = 0; step < 400; ++step) {
        if (open.empty() || rng() % 3 != 0) {
            int which = static_cast<int>(rng() % entries.size());
            VornDevice *h = VornOpenDevice(&entries[static_cast<std::size_t>(which)]);
            ASSERT_NE(h, nullptr);
            open.emplace_back(h, which);
        } else {
            auto at = open.begin() + static_cast<long>(rng() % open.size());
            VornCloseDevice(at->first);
            open.erase(at);
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            auto expected = std::count_if(open.begin(), open.end(), [&](const auto &p) {
                return p.second == static_cast<int>(i);
            });
            ASSERT_EQ(VornControl_GetOpenHandleCount(entries[i].hostAdapter, entries[i].deviceId),
                      expected);
        }
    }
    for (auto &[h, which] : open)
        VornCloseDevice(h);
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
    VornCloseDevice(open.empty() ? nullptr : open.front().first);  // closing twice is ignored
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
}

TEST_F(HandleTest, ADriveRemovedWhileOpenAnswersAsVanished)
{
    makeDisc("disc.vrn", VORN_MEDIUM_DVD_PLUS_R);
    writeDrives(kWriterWithDisc);
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto entry = entryOf("Writer");
    VornDevice *first = VornOpenDevice(&entry);
    VornDevice *second = VornOpenDevice(&entry);
    ASSERT_TRUE(first && second);

    writeDrives("");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.changes() >= 1; }));

    EXPECT_EQ(VornIsDeviceReady(first), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(VornGetCurrentMediumType(first), 0u);
    EXPECT_EQ(VornEjectLoadCD(first, 1), 0);
    int32_t book = 3;
    EXPECT_EQ(VornSetDeviceOption(first, VORN_DEVICE_OPTION_BOOK_TYPE, &book), 0);
    VornSpeeds *speeds = VornGetAvailableSpeeds(second, VORN_ACCESS_WRITE, 0, 0);
    ASSERT_NE(speeds, nullptr);
    EXPECT_EQ(speeds->count, 0);
    EXPECT_GT(speeds->baseKBs, 0);
    VornFreeMem(speeds);
    EXPECT_EQ(VornOpenDevice(&entry), nullptr) << "a vanished drive cannot be opened again";

    VornCloseDevice(first);
    VornCloseDevice(second);
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
}

TEST_F(HandleTest, AHandleTheEngineNeverGaveIsRefusedAndVornDoneClosesTheRest)
{
    writeDrives("[A]\nName=A\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    VornDevice *forged = reinterpret_cast<VornDevice *>(&settings);
    EXPECT_EQ(VornIsDeviceReady(forged), VORN_READY_NO_MEDIUM);
    EXPECT_EQ(VornEjectLoadCD(forged, 1), 0);
    EXPECT_EQ(VornGetAvailableSpeeds(forged, VORN_ACCESS_WRITE, 0, 0), nullptr);
    VornCloseDevice(forged);

    auto entry = entryOf("A");
    VornControl_FailNextCall(VORN_CONTROL_CALL_OPEN_DEVICE, 0);
    EXPECT_EQ(VornOpenDevice(&entry), nullptr);
    VornDevice *h = VornOpenDevice(&entry);
    ASSERT_NE(h, nullptr) << "only the next call fails";
    VornDone();
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_NO_MEDIUM) << "handles die with the engine";
}

std::vector<int32_t> speedsOf(VornDevice *h, int access, uint32_t medium, int32_t *base = nullptr)
{
    VornSpeeds *s = VornGetAvailableSpeeds(h, access, medium, 0);
    std::vector<int32_t> out;
    if (!s)
        return out;
    out.assign(VornSpeeds_Values(s), VornSpeeds_Values(s) + s->count);
    if (base)
        *base = s->baseKBs;
    EXPECT_GT(s->baseKBs, 0) << "the base speed divides every speed shown";
    VornFreeMem(s);
    return out;
}

TEST_F(SpeedsTest, DependOnMediumAndAccessType)
{
    makeDisc("disc.vrn", VORN_MEDIUM_DVD_PLUS_R);
    writeDrives("[Writer]\nName=Writer\nWriteMedia=CD-R;CD-RW;DVD+R;DVD+RW\n"
                "WriteSpeeds.DVD+R=2.4x;8x;4x\nReadSpeeds.DVD-ROM=5540;16x\nDisc=disc.vrn\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto entry = entryOf("Writer");
    VornDevice *h = VornOpenDevice(&entry);
    ASSERT_NE(h, nullptr);

    int32_t base = 0;
    EXPECT_EQ(speedsOf(h, VORN_ACCESS_WRITE, VORN_MEDIUM_CD_R, &base),
              (std::vector<int32_t>{704, 1408, 2816, 4224, 5632, 7040, 8448}));
    EXPECT_EQ(base, VORN_BASE_SPEED_CD);
    EXPECT_EQ(speedsOf(h, VORN_ACCESS_WRITE, VORN_MEDIUM_DVD_PLUS_R, &base),
              (std::vector<int32_t>{3324, 5540, 11080}))
        << "the file's speeds, sorted, with 2.4x exact";
    EXPECT_EQ(base, VORN_BASE_SPEED_DVD);
    EXPECT_EQ(speedsOf(h, VORN_ACCESS_WRITE, 0), speedsOf(h, VORN_ACCESS_WRITE, VORN_MEDIUM_DVD_PLUS_R))
        << "medium 0 is the disc in the drive";
    EXPECT_EQ(speedsOf(h, VORN_ACCESS_READ, VORN_MEDIUM_DVD_ROM),
              (std::vector<int32_t>{5540, 22160}));

    // Erasing offers only rewritable media; writing nothing the drive cannot write.
    EXPECT_TRUE(speedsOf(h, VORN_ACCESS_ERASE, VORN_MEDIUM_CD_R).empty());
    EXPECT_EQ(speedsOf(h, VORN_ACCESS_ERASE, VORN_MEDIUM_CD_RW),
              speedsOf(h, VORN_ACCESS_WRITE, VORN_MEDIUM_CD_RW));
    EXPECT_TRUE(speedsOf(h, VORN_ACCESS_WRITE, VORN_MEDIUM_DVD_ROM).empty());
    EXPECT_TRUE(speedsOf(h, VORN_ACCESS_WRITE, VORN_MEDIUM_BD_R, &base).empty());
    EXPECT_EQ(base, VORN_BASE_SPEED_BD);
    EXPECT_TRUE(speedsOf(h, 9, VORN_MEDIUM_CD_R).empty()) << "an unknown access type";

    // A family mask gathers the speeds of the family's media the drive writes.
    auto cd = speedsOf(h, VORN_ACCESS_WRITE, VORN_FAMILY_CD);
    EXPECT_EQ(cd.front(), 704);
    EXPECT_EQ(cd.back(), 8448);
    EXPECT_NE(std::find(cd.begin(), cd.end(), 1760), cd.end()) << "CD-RW's 10x";

    EXPECT_EQ(VornEjectLoadCD(h, 1), 1);
    EXPECT_EQ(speedsOf(h, VORN_ACCESS_WRITE, 0), cd) << "no disc: the drive's CD speeds";

    VornControl_FailNextCall(VORN_CONTROL_CALL_GET_SPEEDS, 0);
    EXPECT_EQ(VornGetAvailableSpeeds(h, VORN_ACCESS_WRITE, 0, 0), nullptr);
    VornCloseDevice(h);
}

TEST_F(HotPlugTest, ControlAddedDrivesAndBusyStatusReachTheCallbacks)
{
    ASSERT_EQ(start(), VORN_INIT_OK);
    VornControlDrive desc{"Plugged BD Writer", VORN_DEVICE_TYPE_RECORDER,
                          VORN_CAP_WRITE | VORN_CAP_AUTO_SPEED_DOWN,
                          VORN_MEDIUM_BD_R | VORN_MEDIUM_BD_RE | VORN_MEDIUM_BD_R_DL, 0};
    int ha = -1, id = -1;
    ASSERT_EQ(VornControl_AddDrive(&desc, &ha, &id), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.changes() >= 1; }));
    auto entry = entryOf("Plugged BD Writer");
    EXPECT_EQ(entry.hostAdapter, ha);
    EXPECT_EQ(entry.deviceId, id);
    EXPECT_TRUE(entry.capabilities & VORN_CAP_BD_R_DL);
    EXPECT_EQ(entry.readMedia & VORN_MEDIUM_BD_R, static_cast<uint32_t>(VORN_MEDIUM_BD_R));
    EXPECT_EQ(listDrives().back().name, "Image Recorder");

    ASSERT_EQ(VornRegisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 1);
    ASSERT_EQ(VornRegisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 1);
    ASSERT_EQ(VornControl_SetDriveBusy(ha, id, 1), 1);
    ASSERT_EQ(VornControl_SetDriveBusy(ha, id, 1), 1);  // already busy: no second report
    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);
    ASSERT_EQ(recorder.statuses().size(), 2u) << "once per registration";
    EXPECT_EQ(recorder.statuses()[0].status, VORN_DRIVE_STATUS_IN_USE);
    EXPECT_EQ(entryOf("Plugged BD Writer").inUse, VORN_DEVICE_IN_USE);

    ASSERT_EQ(VornUnregisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 1);
    ASSERT_EQ(VornControl_SetDriveBusy(ha, id, 0), 1);
    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);
    ASSERT_EQ(recorder.statuses().size(), 3u);
    EXPECT_EQ(recorder.statuses()[2].status, VORN_DRIVE_STATUS_FREE);

    ASSERT_EQ(VornControl_RenameDrive(ha, id, "Renamed"), 1);
    ASSERT_EQ(VornControl_RemoveDrive(ha, id), 1);
    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);
    EXPECT_GE(recorder.changes(), 2) << "pending change reports may merge, never vanish";
    EXPECT_EQ(listDrives().size(), 1u);
    EXPECT_EQ(VornRegisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 0)
        << "no status callback for a drive that is gone";
    EXPECT_FALSE(recorder.ranOnCallerThread());
}

// A callback that calls back into the engine and unregisters itself: the
// engine holds no lock of its own while it calls, so neither deadlocks.
struct Reentrant {
    std::mutex mu;
    std::condition_variable cv;
    int listed = -1;
    bool unregistered = false;
    static void onChange(void *self) noexcept
    {
        auto *r = static_cast<Reentrant *>(self);
        VornDeviceList *list = VornGetAvailableDrivesEx(0, 1);
        int count = list ? list->count : -1;
        VornFreeMem(list);
        bool gone = VornUnregisterDriveChangeCallback(&Reentrant::onChange, self) == 1;
        std::lock_guard lock(r->mu);
        r->listed = count;
        r->unregistered = gone;
        r->cv.notify_all();
    }
};

TEST_F(HotPlugTest, ACallbackMayCallTheEngineAndUnregisterItself)
{
    ASSERT_EQ(start(), VORN_INIT_OK);
    Reentrant r;
    ASSERT_EQ(VornRegisterDriveChangeCallback(&Reentrant::onChange, &r), 1);
    EXPECT_EQ(VornRegisterDriveChangeCallback(&Reentrant::onChange, &r), 0) << "duplicate pair";
    VornControlDrive desc{"Plugged", VORN_DEVICE_TYPE_READER, 0, 0, VORN_MEDIUM_CD_ROM};
    ASSERT_EQ(VornControl_AddDrive(&desc, nullptr, nullptr), 1);
    std::unique_lock lock(r.mu);
    ASSERT_TRUE(r.cv.wait_for(lock, std::chrono::seconds(10), [&] { return r.listed >= 0; }));
    EXPECT_EQ(r.listed, 2);
    EXPECT_TRUE(r.unregistered);
}

}  // namespace
}  // namespace vorn::test
