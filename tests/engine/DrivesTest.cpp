// The drive list and the drives file the running engine watches.
#include "EngineFixture.h"

#include <algorithm>

namespace vorn::test {
namespace {

using DrivesFileTest = EngineTest;

const char *kTwoDrives =
    "# two drives\n"
    "[Writer]\n"
    "Name=Vorn DVD Writer\n"
    "WriteMedia=CD-R;CD-RW;DVD-R;DVD+R;DVD+RW;DVD+R DL\n"
    "\n"
    "[Reader]\n"
    "Name=Vorn CD Reader\n"
    "Type=reader\n";

std::vector<std::string> names(const std::vector<Listed> &list)
{
    std::vector<std::string> out;
    for (const auto &l : list)
        out.push_back(l.name);
    return out;
}

TEST_F(DrivesFileTest, ListsFileDrivesInFileOrderAndTheImageRecorderLast)
{
    writeDrives(kTwoDrives);
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto list = listDrives();
    ASSERT_EQ(names(list),
              (std::vector<std::string>{"Vorn DVD Writer", "Vorn CD Reader", "Image Recorder"}));

    const auto &writer = list[0].entry;
    EXPECT_EQ(writer.type, VORN_DEVICE_TYPE_RECORDER);
    EXPECT_EQ(writer.textNotOwned, 1) << "byte 64 must keep callers off bytes 68-71";
    EXPECT_TRUE(writer.capabilities & VORN_CAP_WRITE);
    EXPECT_TRUE(writer.capabilities & VORN_CAP_DVD_PLUS_R_DL)
        << "a DVD+R DL writer reports double layer in its capabilities too";
    EXPECT_FALSE(writer.capabilities & VORN_CAP_DVD_MINUS_R_DL);
    EXPECT_EQ(writer.writeMedia & VORN_MEDIUM_DVD_PLUS_R_DL, VORN_MEDIUM_DVD_PLUS_R_DL);
    EXPECT_EQ(writer.readMedia & VORN_MEDIUM_DVD_ROM, VORN_MEDIUM_DVD_ROM)
        << "a DVD writer reads pressed DVDs";
    EXPECT_NE(writer.hostAdapter, -1);
    EXPECT_FALSE(writer.hostAdapter == list[1].entry.hostAdapter &&
                 writer.deviceId == list[1].entry.deviceId);

    const auto &reader = list[1].entry;
    EXPECT_EQ(reader.type, VORN_DEVICE_TYPE_READER);
    EXPECT_EQ(reader.writeMedia, 0u);
    EXPECT_FALSE(reader.capabilities & VORN_CAP_WRITE);

    const auto &image = list[2].entry;
    EXPECT_EQ(image.hostAdapter, -1);
    EXPECT_EQ(image.deviceId, 0);
    EXPECT_EQ(image.type, VORN_DEVICE_TYPE_RECORDER);
    EXPECT_EQ(image.capabilities, 0x41u);

    EXPECT_EQ(names(listDrives(false)),
              (std::vector<std::string>{"Vorn DVD Writer", "Vorn CD Reader"}));
}

TEST_F(DrivesFileTest, WithoutADrivesFileOnlyTheImageRecorderIsListed)
{
    settings.languageFile = "Vorn.txt";
    ASSERT_EQ(VornInitEx(&settings, nullptr, -10, 0), VORN_INIT_OK);
    EXPECT_EQ(names(listDrives()), (std::vector<std::string>{"Image Recorder"}));
}

TEST_F(DrivesFileTest, AddedRemovedAndRenamedDrivesReachTheCallbacks)
{
    writeDrives(kTwoDrives);
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto before = entryOf("Vorn CD Reader");

    writeDrives(std::string(kTwoDrives) + "[Third]\nName=Vorn BD Writer\nWriteMedia=BD-R;BD-RE\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.changes() >= 1; }));
    EXPECT_EQ(names(listDrives()), (std::vector<std::string>{"Vorn DVD Writer", "Vorn CD Reader",
                                                             "Vorn BD Writer", "Image Recorder"}));

    // The writer group goes away; the reader keeps its address.
    writeDrives("[Reader]\nName=Vorn CD Reader\nType=reader\n"
                "[Third]\nName=Vorn BD Writer\nWriteMedia=BD-R;BD-RE\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.changes() >= 2; }));
    auto after = entryOf("Vorn CD Reader");
    EXPECT_EQ(after.hostAdapter, before.hostAdapter);
    EXPECT_EQ(after.deviceId, before.deviceId);
    EXPECT_EQ(listDrives().size(), 3u);

    // A new name in the same group is the same drive renamed.
    writeDrives("[Reader]\nName=Renamed Reader\nType=reader\n"
                "[Third]\nName=Vorn BD Writer\nWriteMedia=BD-R;BD-RE\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.changes() >= 3; }));
    auto renamed = entryOf("Renamed Reader");
    EXPECT_EQ(renamed.deviceId, before.deviceId);

    // Reading an unchanged file again reports nothing.
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);
    EXPECT_EQ(recorder.changes(), 3);
    EXPECT_FALSE(recorder.ranOnCallerThread());
}

TEST_F(DrivesFileTest, TheWatcherNoticesAnEditWithoutBeingAsked)
{
    writeDrives(kTwoDrives);
    ASSERT_EQ(start(), VORN_INIT_OK);
    writeDrives("[Reader]\nName=Vorn CD Reader\nType=reader\n");
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.changes() >= 1; }));
    EXPECT_EQ(names(listDrives()),
              (std::vector<std::string>{"Vorn CD Reader", "Image Recorder"}));
}

struct BadFile {
    const char *what;
    std::string text;  // appended to a good first drive of four lines
    int line;
};

void PrintTo(const BadFile &bad, std::ostream *out) { *out << bad.what; }

class MalformedDrivesFileTest : public EngineTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(MalformedDrivesFileTest, IsRefusedWithItsLineAndTheDrivesStayAsTheyWere)
{
    const std::string good = "[Writer]\nName=Vorn DVD Writer\nWriteMedia=CD-R;DVD+R\n\n";
    writeDrives(good);
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto before = listDrives();

    writeDrives(good + GetParam().text);
    EXPECT_EQ(VornControl_RescanDrivesFile(), 0);
    std::string error = drivesFileError();
    EXPECT_NE(error.find(", line " + std::to_string(GetParam().line) + ":"), std::string::npos)
        << error;
    EXPECT_NE(error.find(drivesFile.string()), std::string::npos) << error;

    auto after = listDrives();
    ASSERT_EQ(names(after), names(before));
    EXPECT_EQ(std::memcmp(&after[0].entry, &before[0].entry, sizeof(VornDeviceEntry)), 0);
    ASSERT_EQ(VornControl_WaitCallbacksDelivered(10000), 1);
    EXPECT_EQ(recorder.changes(), 0);

    char *log = VornGetErrorLog();
    EXPECT_NE(std::string(log).find(error), std::string::npos);
    VornFreeMem(log);

    // Fixing the file is taken at once.
    writeDrives(good + "[Second]\nType=reader\n");
    EXPECT_EQ(VornControl_RescanDrivesFile(), 1);
    EXPECT_EQ(drivesFileError(), "");
    EXPECT_EQ(listDrives().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedDrivesFileTest,
    ::testing::Values(
        BadFile{"Garbage", "[B]\nType=reader\nthis line means nothing\n", 7},
        BadFile{"UnclosedGroup", "[B\n", 5},
        BadFile{"UnknownKey", "[B]\nTpye=reader\n", 6},
        BadFile{"BadType", "[B]\nType=burner\n", 6},
        BadFile{"UnknownMedium", "[B]\nWriteMedia=CD-R;LaserDisc\n", 6},
        BadFile{"NameTooLong", "[B]\nName=" + std::string(64, 'n') + "\n", 6},
        BadFile{"NameTwice", "[B]\nName=Vorn DVD Writer\n", 6},
        BadFile{"DuplicateKey", "[B]\nType=reader\nType=recorder\n", 7},
        BadFile{"DuplicateGroup", "[Writer]\nType=reader\n", 5},
        BadFile{"AddressTwice", "[B]\nDeviceId=3\n[C]\nDeviceId=3\n", 7},
        BadFile{"MissingDisc", "[B]\nType=reader\nDisc=no-such-disc.vrn\n", 7},
        BadFile{"SpeedForMediumNotWritten", "[B]\nWriteMedia=CD-R\nWriteSpeeds.DVD+R=4x\n", 7},
        BadFile{"BadSpeed", "[B]\nWriteMedia=CD-R\nWriteSpeeds.CD-R=fast\n", 7},
        BadFile{"NotUtf8", "[B]\nName=\xff\xfe\n", 6}),
    [](const auto &info) { return std::string(info.param.what); });

TEST_F(DrivesFileTest, AMalformedFileAtStartLeavesOnlyTheImageRecorder)
{
    writeDrives("[Writer]\nName=Vorn DVD Writer\nbroken\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    EXPECT_EQ(names(listDrives()), (std::vector<std::string>{"Image Recorder"}));
    EXPECT_NE(drivesFileError().find(", line 3:"), std::string::npos) << drivesFileError();
}

TEST_F(DrivesFileTest, ATrayEntryChangedIsADiscLoadedOrEjected)
{
    auto disc = makeDisc("cdr.vrn", VORN_MEDIUM_CD_R);
    writeDrives("[Writer]\nName=Writer\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto entry = entryOf("Writer");
    ASSERT_EQ(VornRegisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 1);
    VornDevice *h = VornOpenDevice(&entry);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_NO_MEDIUM);

    writeDrives("[Writer]\nName=Writer\nDisc=cdr.vrn\n");  // relative to the drives file
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.statuses().size() >= 1; }));
    EXPECT_EQ(recorder.statuses()[0].status, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
    EXPECT_EQ(recorder.statuses()[0].deviceId, entry.deviceId);
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY);
    EXPECT_EQ(VornGetCurrentMediumType(h), static_cast<uint32_t>(VORN_MEDIUM_CD_R));
    EXPECT_EQ(recorder.changes(), 0) << "a disc change is not a change of the drive list";

    writeDrives("[Writer]\nName=Writer\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.statuses().size() >= 2; }));
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_TRAY_OPEN) << "taking the disc out opens the tray";
    EXPECT_EQ(VornGetCurrentMediumType(h), 0u);

    writeDrives("[Writer]\nName=Writer\nTray=closed\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.statuses().size() >= 3; }));
    EXPECT_EQ(VornIsDeviceReady(h), VORN_READY_NO_MEDIUM);
    VornCloseDevice(h);
}

TEST_F(DrivesFileTest, BusyInTheFileIsReportedAsInUseAndFreeAgain)
{
    writeDrives("[Writer]\nName=Writer\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto entry = entryOf("Writer");
    EXPECT_EQ(entry.inUse, VORN_DEVICE_FREE);
    ASSERT_EQ(VornRegisterDriveStatusCallback(1, &entry, &CallbackRecorder::onStatus, &recorder), 1);

    writeDrives("[Writer]\nName=Writer\nBusy=true\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return !recorder.statuses().empty(); }));
    EXPECT_EQ(recorder.statuses().back().status, VORN_DRIVE_STATUS_IN_USE);
    EXPECT_EQ(entryOf("Writer").inUse, VORN_DEVICE_IN_USE);

    writeDrives("[Writer]\nName=Writer\n");
    ASSERT_EQ(VornControl_RescanDrivesFile(), 1);
    ASSERT_TRUE(recorder.waitUntil([&] { return recorder.statuses().size() >= 2; }));
    EXPECT_EQ(recorder.statuses().back().status, VORN_DRIVE_STATUS_FREE);
    EXPECT_EQ(entryOf("Writer").inUse, VORN_DEVICE_FREE);
}

}  // namespace
}  // namespace vorn::test
