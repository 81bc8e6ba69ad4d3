// The recorder and speed combo boxes over emulated drives whose list and
// media change through the engine's control interface.
#include "BurnUiFixture.h"
#include "RecorderComboBox.h"
#include "SpeedComboBox.h"
#include "VornSCSIDeviceInfo.h"

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

using Strings = std::vector<std::string>;
using RecorderComboTest = BurnUiTest;
using SpeedComboTest = BurnUiTest;

struct FilterLog {
    std::vector<std::string> filtered;
    int refreshes = 0;
    bool hideReaders = false;
    bool hideAll = false;
};

gboolean onFilter(GtkWidget *, gpointer device, gpointer data)
{
    auto *log = static_cast<FilterLog *>(data);
    const auto *entry = static_cast<const VornDeviceEntry *>(device);
    log->filtered.emplace_back(entry->name);
    return log->hideAll || (log->hideReaders && entry->type == VORN_DEVICE_TYPE_READER);
}

void onRefreshed(GtkWidget *, gpointer data) { ++static_cast<FilterLog *>(data)->refreshes; }

VornRecorderComboBoxCustomEntry custom(const char *name, gpointer data)
{
    return VornRecorderComboBoxCustomEntry{nullptr, name, data};
}

TEST_F(RecorderComboTest, ListsDrivesInEngineOrderBetweenPrependedAndAppendedEntries)
{
    startWithDrives("");
    GdkLock gdk;
    GtkWidget *box = keep(VornKit_RecorderComboBox_New());
    EXPECT_EQ(texts(box), (Strings{"Vorn DVD Writer", "Vorn CD Writer", "Vorn CD Reader", "Image Recorder"}));

    int all = 1, image = 2;
    auto allDrives = custom("All drives", &all);
    auto imageFile = custom("Image file", &image);
    ASSERT_EQ(VornKit_RecorderComboBox_AppendCustomEntry(box, &imageFile), 1);
    ASSERT_EQ(VornKit_RecorderComboBox_PrependCustomEntry(box, &allDrives), 1);
    EXPECT_EQ(texts(box),
              (Strings{"All drives", "Vorn DVD Writer", "Vorn CD Writer", "Vorn CD Reader", "Image Recorder", "Image file"}));
    EXPECT_EQ(ints(box, VORNKIT_RECORDER_COLUMN_KIND), (std::vector<int>{1, 0, 0, 0, 0, 2}));
    EXPECT_EQ(texts(box, VORNKIT_RECORDER_COLUMN_ID_TEXT), Strings(6, "(null)"));

    auto unnamed = custom(nullptr, &all);
    EXPECT_EQ(VornKit_RecorderComboBox_AppendCustomEntry(box, &unnamed), 0) << "an entry needs a name";
    EXPECT_EQ(texts(box).size(), 6u);

    // The id text names the drive's address.
    ASSERT_EQ(VornKit_RecorderComboBox_ShowDeviceIDandHA(box, TRUE), 1);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    const std::string idText = "(ID:" + std::to_string(writer.deviceId) + " - HA:" + std::to_string(writer.hostAdapter) + ")";
    EXPECT_EQ(texts(box, VORNKIT_RECORDER_COLUMN_ID_TEXT)[1], idText);
    EXPECT_EQ(texts(box, VORNKIT_RECORDER_COLUMN_ID_TEXT)[0], "(null)") << "custom entries have no address";
}

TEST_F(RecorderComboTest, FilterSeesEveryDriveAndCanHideAllButCustomEntries)
{
    startWithDrives("");
    GdkLock gdk;
    GtkWidget *box = keep(VornKit_RecorderComboBox_New());
    FilterLog log;
    g_signal_connect(box, "vorn_filter_recorder", G_CALLBACK(onFilter), &log);
    g_signal_connect(box, "vorn_content_refreshed", G_CALLBACK(onRefreshed), &log);
    int data = 0;
    auto imageFile = custom("Image file", &data);
    VornKit_RecorderComboBox_AppendCustomEntry(box, &imageFile);
    log = FilterLog{};
    log.hideReaders = true;

    // The appended entries come after "vorn_filter_end".
    std::vector<Strings> atEnd;
    g_signal_connect(box, "vorn_filter_end", G_CALLBACK(+[](GtkWidget *, gpointer rows) {
                         static_cast<std::vector<Strings> *>(rows)->push_back({});
                     }),
                     &atEnd);
    ASSERT_EQ(VornKit_RecorderComboBox_Refresh(box), 1);
    EXPECT_EQ(log.filtered, (Strings{"Vorn DVD Writer", "Vorn CD Writer", "Vorn CD Reader", "Image Recorder"}));
    EXPECT_EQ(atEnd.size(), 1u);
    EXPECT_EQ(log.refreshes, 1);
    EXPECT_EQ(texts(box), (Strings{"Vorn DVD Writer", "Vorn CD Writer", "Image Recorder", "Image file"}));

    log.hideAll = true;
    VornKit_RecorderComboBox_Refresh(box);
    EXPECT_EQ(texts(box), (Strings{"Image file"}));
    EXPECT_EQ(VornKit_RecorderComboBox_IsDeviceInfoSelected(box), 0);
}

TEST_F(RecorderComboTest, FollowsDrivesComingAndGoingAndKeepsTheSelectedOne)
{
    startWithDrives("");
    GtkWidget *box = nullptr;
    FilterLog log;
    {
        GdkLock gdk;
        box = keep(VornKit_RecorderComboBox_New());
        g_signal_connect(box, "vorn_content_refreshed", G_CALLBACK(onRefreshed), &log);
        const VornDeviceEntry cd = entryOf("Vorn CD Writer");
        ASSERT_EQ(VornKit_RecorderComboBox_SelectDeviceInfo(box, &cd), 1);
    }
    VornControlDrive bd{"Vorn BD Writer", VORN_DEVICE_TYPE_RECORDER, VORN_CAP_WRITE, VORN_MEDIUM_BD_RE, VORN_MEDIUM_BD_RE};
    int ha = 0, id = 0;
    ASSERT_EQ(VornControl_AddDrive(&bd, &ha, &id), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Writer", "Vorn CD Reader", "Vorn BD Writer", "Image Recorder"}));
    ASSERT_TRUE(pumpUntil([&] { return texts(box).size() == 5; }));
    EXPECT_GE(log.refreshes, 1);
    EXPECT_EQ(texts(box),
              (Strings{"Vorn DVD Writer", "Vorn CD Writer", "Vorn CD Reader", "Vorn BD Writer", "Image Recorder"}));
    VornDeviceEntry selected;
    {
        GdkLock gdk;
        ASSERT_EQ(VornKit_RecorderComboBox_GetSelectedDeviceInfo(box, &selected), 1);
    }
    EXPECT_STREQ(selected.name, "Vorn CD Writer") << "the selection follows the drive, not the row number";
    EXPECT_EQ(selected.hostAdapter, entryOf("Vorn CD Writer").hostAdapter);

    // The selected drive goes away: nothing is selected, no other drive is taken for it.
    const VornDeviceEntry cdWriter = entryOf("Vorn CD Writer");
    ASSERT_EQ(VornControl_RemoveDrive(cdWriter.hostAdapter, cdWriter.deviceId), 1);
    ASSERT_TRUE(waitForNames({"Vorn DVD Writer", "Vorn CD Reader", "Vorn BD Writer", "Image Recorder"}));
    ASSERT_TRUE(pumpUntil([&] { return texts(box).size() == 4; }));
    GdkLock gdk;
    EXPECT_EQ(VornKit_RecorderComboBox_GetSelectedDeviceInfo(box, &selected), 0);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(box)), -1);
    EXPECT_EQ(VornKit_RecorderComboBox_SelectDeviceInfo(box, &cdWriter), 0);
}

TEST_F(RecorderComboTest, CustomEntriesAreSelectedFoundAndRemovedByDataOrByNameAndData)
{
    startWithDrives("");
    GdkLock gdk;
    GtkWidget *box = keep(VornKit_RecorderComboBox_New());
    int a = 0, b = 0;
    auto first = custom("Image file", &a);
    auto sameNameOtherData = custom("Image file", &b);
    auto prepended = custom("All drives", &a);
    VornKit_RecorderComboBox_AppendCustomEntry(box, &first);
    VornKit_RecorderComboBox_AppendCustomEntry(box, &sameNameOtherData);
    VornKit_RecorderComboBox_PrependCustomEntry(box, &prepended);

    ASSERT_EQ(VornKit_RecorderComboBox_SelectAppendedCustomEntryFromData(box, &b), 1);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(box)), 6);
    VornRecorderComboBoxCustomEntry seen{};
    ASSERT_EQ(VornKit_RecorderComboBox_IsCustomEntrySelected(box, &seen), 1);
    EXPECT_STREQ(seen.name, "Image file");
    EXPECT_EQ(seen.data, &b);
    EXPECT_EQ(VornKit_RecorderComboBox_IsDeviceInfoSelected(box), 0);

    // A refresh keeps a custom entry whose name and data are unchanged.
    VornKit_RecorderComboBox_Refresh(box);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(box)), 6);

    auto wrongName = custom("All drives", &a);
    EXPECT_EQ(VornKit_RecorderComboBox_SelectAppendedCustomEntryFromStruct(box, &wrongName), 0)
        << "an appended search never finds a prepended entry";
    ASSERT_EQ(VornKit_RecorderComboBox_SelectPrependedCustomEntryFromStruct(box, &wrongName), 1);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(box)), 0);

    ASSERT_EQ(VornKit_RecorderComboBox_RemoveSelectedCustomEntry(box), 1);
    EXPECT_EQ(texts(box).front(), "Vorn DVD Writer");
    EXPECT_EQ(VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromStruct(box, &first), 1);
    EXPECT_EQ(texts(box).back(), "Image file");
    EXPECT_EQ(VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromData(box, &a), 0) << "already removed";
    EXPECT_EQ(VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromData(box, &b), 1);
    EXPECT_EQ(texts(box).size(), 4u);
    EXPECT_EQ(VornKit_RecorderComboBox_RemoveSelectedCustomEntry(box), 0);

    GtkWidget *other = gtk_combo_box_new_text();
    g_object_ref_sink(other);
    EXPECT_EQ(VornKit_RecorderComboBox_Refresh(other), 0);
    EXPECT_EQ(VornKit_RecorderComboBox_AppendCustomEntry(other, &first), 0);
    g_object_unref(other);
}

TEST(SpeedTextTest, WholeAndDecimalMultiplesWithTheLocalesGrouping)
{
    auto text = [](gint64 speed, gint64 base) {
        gchar *t = VornKit_Util_FormatSpeed(speed, base);
        std::string out = t ? t : "(null)";
        g_free(t);
        return out;
    };
    EXPECT_EQ(text(1385, 0), "(null)") << "a base of 0 is refused";
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text(1385, 1385), "1x (1385 KB/s)");
    EXPECT_EQ(text(2077, 1385), "1.4x (2077 KB/s)");
    EXPECT_EQ(text(1760, 176), "10x (1760 KB/s)");
    EXPECT_EQ(text(7040, 176), "40x (7040 KB/s)");
    EXPECT_EQ(text(2770, 1385), "2x (2770 KB/s)");
    EXPECT_EQ(text(2769, 1385), "1.9x (2769 KB/s)") << "the multiple is truncated, never rounded up";
    const bool english = std::setlocale(LC_NUMERIC, "en_US.UTF-8") != nullptr;
    if (english) {
        EXPECT_EQ(text(1385, 1385), "1x (1,385 KB/s)");
        EXPECT_EQ(text(2077, 1385), "1.4x (2,077 KB/s)");
        EXPECT_EQ(text(54000, 4495), "12x (54,000 KB/s)");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!english)
        GTEST_SKIP() << "en_US.UTF-8 is not installed: thousands grouping unchecked";
}

TEST_F(SpeedComboTest, SpeedsOfTheDiscInTheDriveFastestFirstAndMaximumWithoutADisc)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 0);
    startWithDrives("rw.vrn");
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    GdkLock gdk;
    GtkWidget *box = keep(VornKit_SpeedComboBox_New());
    EXPECT_EQ(texts(box, 0), (Strings{"Maximum"})) << "no device yet";

    ASSERT_EQ(VornKit_SpeedComboBox_SetDeviceAndAccessType(box, &writer, VORN_ACCESS_WRITE, 0), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"10x (1760 KB/s)", "4x (704 KB/s)"})) << "a CD-RW in the drive";
    EXPECT_EQ(ints(box, VORNKIT_SPEED_COLUMN_BASE), (std::vector<int>{176, 176}));
    EXPECT_EQ(VornKit_SpeedComboBox_GetSpeedInKBs(box), 1760) << "the first entry is selected";

    // A fixed medium the disc is not: "Maximum" carries the fastest speed.
    ASSERT_EQ(VornKit_SpeedComboBox_SetMediumType(box, VORN_MEDIUM_DVD_PLUS_R), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"Maximum", "16x (22160 KB/s)", "8x (11080 KB/s)", "4x (5540 KB/s)",
                                      "2.4x (3324 KB/s)"}));
    EXPECT_EQ(ints(box, VORNKIT_SPEED_COLUMN_SPEED), (std::vector<int>{22160, 22160, 11080, 5540, 3324}));
    EXPECT_EQ(ints(box, VORNKIT_SPEED_COLUMN_BASE), (std::vector<int>{1385, 1385, 1385, 1385, 1385}));
    // A fixed medium of the disc's family (CD-R for a CD-RW) needs no "Maximum".
    ASSERT_EQ(VornKit_SpeedComboBox_SetMediumType(box, VORN_MEDIUM_CD_R), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"24x (4224 KB/s)", "16x (2816 KB/s)", "8x (1408 KB/s)"}));

    // Erasing offers only the rewritable medium's speeds.
    ASSERT_EQ(VornKit_SpeedComboBox_SetDeviceAndAccessType(box, &writer, VORN_ACCESS_ERASE, 0), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"10x (1760 KB/s)", "4x (704 KB/s)"}));
    ASSERT_EQ(VornKit_SpeedComboBox_SetFixedSpeed(box, 704), 1);
    gint speed = 0, base = 0;
    ASSERT_EQ(VornKit_SpeedComboBox_GetCompleteSpeedInfo(box, &speed, &base), 1);
    EXPECT_EQ(speed, 704);
    EXPECT_EQ(base, 176);
    EXPECT_EQ(VornKit_SpeedComboBox_SetFixedSpeed(box, 999), 0);
}

TEST_F(SpeedComboTest, FollowsTheMediumTheDriveBusyStateAndAnEmptyAnswer)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 0);
    auto cdr = makeWrittenDisc("r.vrn", VORN_MEDIUM_CD_R, 3000, 0);
    startWithDrives("");
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    GtkWidget *box = nullptr;
    {
        GdkLock gdk;
        box = keep(VornKit_SpeedComboBox_New());
        VornKit_SpeedComboBox_SetDeviceAndAccessType(box, &writer, VORN_ACCESS_WRITE, 0);
        // No disc: the CD speeds the drive writes, under "Maximum".
        EXPECT_EQ(texts(box, 0), (Strings{"Maximum", "24x (4224 KB/s)", "16x (2816 KB/s)", "10x (1760 KB/s)",
                                          "8x (1408 KB/s)", "4x (704 KB/s)"}));
        gtk_combo_box_set_active(GTK_COMBO_BOX(box), 2);
    }
    // A CD-RW goes in: the list follows the medium and keeps the chosen speed
    // where it is still offered.
    ASSERT_EQ(VornControl_InsertDisc(writer.hostAdapter, writer.deviceId, (dir / "rw.vrn").c_str()), 1);
    VornControl_WaitCallbacksDelivered(5000);
    ASSERT_TRUE(pumpUntil([&] { return texts(box, 0) == Strings{"10x (1760 KB/s)", "4x (704 KB/s)"}; }))
        << testing::PrintToString(texts(box, 0));
    {
        GdkLock gdk;
        gtk_combo_box_set_active(GTK_COMBO_BOX(box), 1);
    }

    // Busy in another application: only "Maximum", with no speed at all.
    ASSERT_EQ(VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 1), 1);
    VornControl_WaitCallbacksDelivered(5000);
    ASSERT_TRUE(pumpUntil([&] { return texts(box, 0) == Strings{"Maximum"}; })) << testing::PrintToString(texts(box, 0));
    EXPECT_EQ(ints(box, VORNKIT_SPEED_COLUMN_SPEED), (std::vector<int>{0}));
    EXPECT_EQ(ints(box, VORNKIT_SPEED_COLUMN_BASE), (std::vector<int>{0}));
    ASSERT_EQ(VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 0), 1);
    VornControl_WaitCallbacksDelivered(5000);
    ASSERT_TRUE(pumpUntil([&] { return texts(box, 0).size() == 2; }));
    {
        GdkLock gdk;
        EXPECT_EQ(VornKit_SpeedComboBox_GetSpeedInKBs(box), 1760) << "after Maximum was selected, the first entry";
    }

    // Erase speeds of a CD-R: none. Seen first, the list is the bare "Maximum";
    // seen after the drive was known, an empty answer leaves the list alone.
    GdkLock gdk;
    ASSERT_EQ(VornKit_SpeedComboBox_SetAccessType(box, VORN_ACCESS_ERASE), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"10x (1760 KB/s)", "4x (704 KB/s)"}));
    {
        VornControl_RemoveDisc(writer.hostAdapter, writer.deviceId);
        ASSERT_EQ(VornControl_InsertDisc(writer.hostAdapter, writer.deviceId, cdr.c_str()), 1);
        VornKit_SpeedComboBox_Poll(box);
        EXPECT_EQ(texts(box, 0), (Strings{"10x (1760 KB/s)", "4x (704 KB/s)"}));
    }
    ASSERT_EQ(VornKit_SpeedComboBox_SetDeviceAndAccessType(box, &writer, VORN_ACCESS_ERASE, 0), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"Maximum"}));
    EXPECT_EQ(VornKit_SpeedComboBox_GetSpeedInKBs(box), 0);

    // A drive that cannot be opened any more.
    VornControl_RemoveDrive(writer.hostAdapter, writer.deviceId);
    ASSERT_EQ(VornKit_SpeedComboBox_SetDeviceInfo(box, &writer), 1);
    EXPECT_EQ(texts(box, 0), (Strings{"Maximum"}));
}

}  // namespace
}  // namespace vorn::test
