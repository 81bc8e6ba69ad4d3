// Erasing emulated rewritable discs through the settings dialog and the
// progress window: results and their messages, what a full and a quick
// erase leave in the disc's container, the eject and reload flags, the
// Erase button's sensitivity, Cancel and the window manager's close.
#include "BurnUiFixture.h"
#include "DialogBox/DialogBox.h"
#include "EraseDiscCommand.h"
#include "EraseDiscDlg.h"
#include "EraseSettingsDlg.h"
#include "EraseTexts.h"
#include "OptionsDatabase.h"
#include "RecorderComboBox.h"
#include "SpeedComboBox.h"
#include "TestDialogs.h"
#include "VornKitDevicesManagement.h"
#include "VornKitUtil.h"
#include "VornSCSIDeviceInfo.h"
#include "VrnDisc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

using dialogs::DialogKind;
using Strings = std::vector<std::string>;

TEST(EraseProgressTextTest, CountdownPercentAndTitleFollowTheEstimate)
{
    auto t = kit::eraseProgressTexts(30.0, 120, VORN_ERASE_QUICK);
    EXPECT_EQ(t.title, "25% - Quick-erase rewritable disc");
    EXPECT_EQ(t.elapsed, "00:30 min/sec");
    EXPECT_EQ(t.remaining, "01:30 min/sec");
    EXPECT_EQ(t.barText, "25 %");

    t = kit::eraseProgressTexts(130.0, 120, VORN_ERASE_FULL);
    EXPECT_EQ(t.title, "100% - Full-erase rewritable disc");
    EXPECT_EQ(t.remaining, "00:00 min/sec") << "an erase that overruns its estimate never counts below zero";
    EXPECT_DOUBLE_EQ(t.fraction, 1.0);

    // Hundredths of a second are truncated before the division.
    EXPECT_EQ(kit::eraseProgressTexts(1.199, 120, VORN_ERASE_QUICK).percent, 0);
    EXPECT_EQ(kit::eraseProgressTexts(1.2, 120, VORN_ERASE_QUICK).percent, 1);
    EXPECT_EQ(kit::eraseProgressTexts(59.99, 60, VORN_ERASE_QUICK).percent, 99);
    EXPECT_EQ(kit::eraseProgressTexts(59.99, 60, VORN_ERASE_QUICK).remaining, "00:01 min/sec");
    EXPECT_EQ(kit::eraseProgressTexts(3725.0, 4000, VORN_ERASE_FULL).elapsed, "62:05 min/sec");
    EXPECT_EQ(kit::eraseProgressTexts(0.0, 0, VORN_ERASE_QUICK).percent, 100) << "no estimate, no division by zero";
}

class EraseTest : public BurnUiTest {
protected:
    void SetUp() override
    {
        BurnUiTest::SetUp();
        dialogs.answer(byRole("erase-result"), dialogs::response::Ok);
    }

    static void onDone(GtkWidget *, gint result, gpointer data) { static_cast<std::vector<int> *>(data)->push_back(result); }

    // A progress window set up to erase `device`; its results land in `done`.
    GtkWidget *progressWindow(const VornDeviceEntry &device, gint mode, gint flags)
    {
        GdkLock gdk;
        GtkWidget *window = keep(VornKit_EraseDiscDlg_New(nullptr));
        g_signal_connect(window, "vorn_erase_done", G_CALLBACK(onDone), &done);
        EXPECT_EQ(VornKit_EraseDiscDlg_SetDeviceInfo(window, &device), 1);
        VornKit_EraseDiscDlg_SetEraseMode(window, mode);
        VornKit_EraseDiscDlg_SetEraseFlags(window, flags);
        return window;
    }
    gint start(GtkWidget *window)
    {
        GdkLock gdk;
        return VornKit_EraseDiscDlg_StartErasingProcess(window);
    }
    bool waitDone(std::size_t count) { return pumpUntil([&] { return done.size() >= count; }); }

    // The messages told for erase results, oldest first.
    std::vector<dialogs::DialogRequest> resultMessages() const
    {
        std::vector<dialogs::DialogRequest> out;
        for (const auto &entry : dialogs.asked())
            if (entry.request.role == "erase-result")
                out.push_back(entry.request);
        return out;
    }
    int progressShows() const
    {
        int shows = 0;
        for (const auto &entry : dialogs.asked())
            shows += entry.request.role == "erase-progress" ? 1 : 0;
        return shows;
    }
    int readiness(const VornDeviceEntry &device)
    {
        VornDevice *handle = VornOpenDevice(&device);
        const int ready = VornIsDeviceReady(handle);
        VornCloseDevice(handle);
        return ready;
    }

    DialogScript dialogs;
    std::vector<int> done;
};

using EraseResultTest = EraseTest;
using EraseContainerTest = EraseTest;
using EraseSettingsTest = EraseTest;

TEST_F(EraseResultTest, EveryOutcomeIsToldWithItsTextAndReachesTheSignal)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 10);
    auto cdr = makeWrittenDisc("r.vrn", VORN_MEDIUM_CD_R, 3000, 0);
    auto ram = makeWrittenDisc("ram.vrn", VORN_MEDIUM_DVD_RAM, 3000, 0);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    const VornDeviceEntry reader = entryOf("Vorn CD Reader");
    const VornDeviceEntry imageRecorder = entryOf("Image Recorder");
    const VornDeviceEntry cdWriter = entryOf("Vorn CD Writer");

    struct Case {
        std::string what;
        std::function<void()> arrange;
        VornDeviceEntry device;
        int result;
        DialogKind kind;
        std::string text;
        bool worker;
    };
    auto swapDisc = [&](const std::filesystem::path &path) {
        return [&, path] {
            VornControl_RemoveDisc(writer.hostAdapter, writer.deviceId);
            ASSERT_EQ(VornControl_InsertDisc(writer.hostAdapter, writer.deviceId, path.c_str()), 1);
            ASSERT_TRUE(pumpUntil([&] { return readiness(writer) == VORN_READY; }));
        };
    };
    const std::vector<Case> cases = {
        {"a CD-RW erased", [] {}, writer, VORN_ERASE_OK, DialogKind::Info, "Erased the disc successfully.", true},
        {"a reader", [] {}, reader, VORN_ERASE_NOT_SUPPORTED_BY_DRIVE, DialogKind::Error,
         "This recorder does not support rewritable discs.", false},
        {"the image recorder", [] {}, imageRecorder, VORN_ERASE_NOT_SUPPORTED_BY_DRIVE, DialogKind::Error,
         "This recorder does not support rewritable discs.", false},
        {"a CD-R", swapDisc(cdr), writer, VORN_ERASE_NOT_REWRITABLE, DialogKind::Error,
         "This disc is not rewritable.", false},
        {"a DVD-RAM the drive does not write", swapDisc(ram), writer, VORN_ERASE_DISC_NOT_SUPPORTED,
         DialogKind::Error, "Disc not supported.", false},
        {"a drive another application holds", [&] {
             swapDisc(dir / "rw.vrn")();
             VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 1);
         },
         writer, VORN_ERASE_DRIVE_IN_USE, DialogKind::Error, "Drive is in use by another application", true},
        {"a write failure", [&] {
             VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 0);
             VornControl_FailNextCall(VORN_CONTROL_CALL_ERASE, VORN_ERASE_FAILED);
         },
         writer, VORN_ERASE_FAILED, DialogKind::Error, "Error erasing the disc.", true},
        {"no disc", [&] { VornControl_RemoveDisc(writer.hostAdapter, writer.deviceId); }, writer, VORN_ERASE_NO_DISC,
         DialogKind::Error, "Error erasing the disc.", false},
        {"a drive that vanished", [&] { VornControl_RemoveDrive(cdWriter.hostAdapter, cdWriter.deviceId); }, cdWriter,
         VORN_ERASE_OPEN_FAILED, DialogKind::Error, "This recorder does not support rewritable discs.", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        done.clear();
        const int shownBefore = progressShows();
        const std::size_t toldBefore = resultMessages().size();
        GtkWidget *window = progressWindow(c.device, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT);
        EXPECT_EQ(start(window), c.worker ? 1 : 0);
        ASSERT_TRUE(waitDone(1));
        EXPECT_EQ(done, (std::vector<int>{c.result}));
        {
            GdkLock gdk;
            EXPECT_EQ(VornKit_EraseDiscDlg_GetErasingResult(window), c.result);
            EXPECT_FALSE(gtk_widget_get_visible(window));
            EXPECT_FALSE(VornKit_EraseDiscDlg_IsBusy(window));
        }
        EXPECT_EQ(progressShows() - shownBefore, c.worker ? 1 : 0) << "the window shows only while erasing";
        const auto told = resultMessages();
        ASSERT_EQ(told.size(), toldBefore + 1);
        EXPECT_EQ(told.back().kind, c.kind);
        EXPECT_EQ(told.back().text, c.text);
    }
}

TEST_F(EraseResultTest, ADriveThisProgramHoldsIsNotErasedUnlessLockingIsOff)
{
    auto rw = makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    // A burn on this thread holds the drive.
    ASSERT_TRUE(VornKit_DevicesManagement_LockDevice(&writer));
    GtkWidget *window = progressWindow(writer, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT);
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(done, (std::vector<int>{VORN_ERASE_DRIVE_IN_USE}));
    EXPECT_EQ(resultMessages().back().text, "Drive is in use by another application");
    auto disc = vrn::VrnDisc::open(rw, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    EXPECT_EQ(disc.value().tracks().size(), 1u) << "the held drive's disc is untouched";

    // The engine's own question during a burn erases without locking.
    {
        GdkLock gdk;
        VornKit_EraseDiscDlg_SetDeviceLocking(window, FALSE);
    }
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(done.back(), VORN_ERASE_OK);
    EXPECT_TRUE(VornKit_DevicesManagement_UnlockDevice(&writer));
}

TEST_F(EraseResultTest, MediumIconsFollowTheMediumFamily)
{
    gchar *dirText = VornKit_Util_GetImagesDirectory();
    const std::string images = dirText;
    g_free(dirText);
    const std::vector<std::pair<guint32, std::string>> families = {
        {VORN_MEDIUM_CD_RW, "cd"},       {VORN_MEDIUM_DVD_PLUS_RW, "dvd"}, {VORN_MEDIUM_DVD_RAM, "dvd"},
        {VORN_MEDIUM_HDDVD_RW, "hddvd"}, {VORN_MEDIUM_HDDVD_ROM, "hddvd"}, {VORN_MEDIUM_BD_RE, "bd"},
        {VORN_MEDIUM_BD_ROM, "bd"},      {VORN_MEDIUM_NONE, "cd"}};
    const int sizes[] = {16, 24, 32, 48};
    for (const auto &[medium, family] : families) {
        for (int index = 0; index < 4; ++index) {
            SCOPED_TRACE(family + " " + std::to_string(sizes[index]));
            GdkPixbuf *icon = VornKit_EraseDiscDlg_GetEraseDiscPixbuf(medium, index);
            const std::string path =
                images + "/erasedisc/vornkit-erase_" + family + "_icon-" + std::to_string(sizes[index]) + ".png";
            GdkPixbuf *expected = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
            ASSERT_NE(icon, nullptr);
            ASSERT_NE(expected, nullptr);
            EXPECT_EQ(gdk_pixbuf_get_width(icon), sizes[index]);
            const gsize length = gdk_pixbuf_get_byte_length(icon);
            ASSERT_EQ(length, gdk_pixbuf_get_byte_length(expected));
            EXPECT_EQ(std::memcmp(gdk_pixbuf_read_pixels(icon), gdk_pixbuf_read_pixels(expected), length), 0);
            g_object_unref(icon);
            g_object_unref(expected);
        }
    }
    EXPECT_EQ(VornKit_EraseDiscDlg_GetEraseDiscPixbuf(VORN_MEDIUM_CD_RW, 4), nullptr);
    EXPECT_EQ(VornKit_EraseDiscDlg_GetEraseDiscPixbuf(VORN_MEDIUM_CD_RW, -1), nullptr);

    GdkLock gdk;
    GtkWidget *window = keep(VornKit_EraseDiscDlg_New(nullptr));
    EXPECT_EQ(VornKit_EraseDiscDlg_SetMediumType(window, VORN_MEDIUM_BD_RE), 1);
    GtkWidget *other = keep(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    EXPECT_EQ(VornKit_EraseDiscDlg_SetMediumType(other, VORN_MEDIUM_BD_RE), 0);
    EXPECT_EQ(VornKit_EraseDiscDlg_SetEraseMode(other, VORN_ERASE_FULL), 0);
    EXPECT_EQ(VornKit_EraseDiscDlg_StartErasingProcess(other), 0);
    EXPECT_EQ(VornKit_EraseDiscDlg_StartErasingProcess(window), 0) << "no device set";
    VornDeviceEntry invalid;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&invalid);
    EXPECT_EQ(VornKit_EraseDiscDlg_SetDeviceInfo(window, &invalid), 0);
    EXPECT_EQ(VornKit_EraseSettingsDlg_SetDeviceInfo(other, &invalid), 0);
}

TEST_F(EraseContainerTest, FullEraseZeroesEveryBlockAndLeavesABlankDisc)
{
    auto rw = makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 40);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.1);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    GtkWidget *settings = nullptr;
    {
        GdkLock gdk;
        settings = keep(VornKit_EraseSettingsDlg_New(nullptr));
        g_signal_connect(VornKit_EraseSettingsDlg_GetEraseDiscDlg(settings), "vorn_erase_done", G_CALLBACK(onDone),
                         &done);
        ASSERT_EQ(VornKit_EraseSettingsDlg_SetDeviceInfo(settings, &writer), 1);
        ASSERT_EQ(VornKit_EraseSettingsDlg_SetEraseMethod(settings, VORNKIT_ERASE_METHOD_FULL), 1);
        VornKit_EraseSettingsDlg_SetEjectAndReloadFlags(settings, FALSE, FALSE);
        dialogs.answer(byRole("erase-settings"), dialogs::response::Erase);
        ASSERT_EQ(VornKit_EraseSettingsDlg_ShowModal(settings), 1);
        EXPECT_FALSE(gtk_widget_get_visible(settings)) << "answered, never shown";
    }
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(done, (std::vector<int>{VORN_ERASE_OK}));
    const auto asked = dialogs.asked();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front().request.role, "erase-settings");
    EXPECT_EQ(asked.front().request.title, "Erase rewritable disc");
    EXPECT_EQ(asked.front().request.heading, "Full-erase rewritable disc");
    EXPECT_EQ(progressShows(), 1);
    for (const auto &entry : asked) {
        if (entry.request.role == "erase-progress") {
            EXPECT_EQ(entry.request.title, "0% - Full-erase rewritable disc");
        }
    }

    auto disc = vrn::VrnDisc::open(rw, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok()) << disc.error();
    EXPECT_EQ(disc.value().state(), vrn::DiscState::Blank);
    EXPECT_TRUE(disc.value().tracks().empty());
    std::vector<std::uint8_t> blocks(40 * 2352, 0xff);
    ASSERT_TRUE(disc.value().readBlocks(0, blocks, 2352).ok());
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), 0), static_cast<long>(blocks.size()))
        << "every written block reads as zeros";

    // The engine sees a blank disc in the closed tray (no eject was asked).
    ASSERT_TRUE(pumpUntil([&] { return readiness(writer) == VORN_READY; }));
    VornDevice *handle = VornOpenDevice(&writer);
    VornDiscInfo *info = VornGetCDInfo(handle, 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->state, VORN_DISC_BLANK);
    EXPECT_EQ(info->trackCount, 0);
    EXPECT_EQ(info->mediumType, static_cast<uint32_t>(VORN_MEDIUM_CD_RW));
    VornFreeMem(info);
    VornCloseDevice(handle);
}

TEST_F(EraseContainerTest, QuickEraseBlanksTheTableAndLeavesTheData)
{
    auto rw = makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    GtkWidget *window = progressWindow(entryOf("Vorn DVD Writer"), VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT);
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(done, (std::vector<int>{VORN_ERASE_OK}));
    auto disc = vrn::VrnDisc::open(rw, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok()) << disc.error();
    EXPECT_EQ(disc.value().state(), vrn::DiscState::Blank);
    std::vector<std::uint8_t> block(2048);
    ASSERT_TRUE(disc.value().readBlocks(0, block, 2048).ok());
    EXPECT_EQ(block[0], 0x5a) << "a quick erase does not physically erase";
}

TEST_F(EraseContainerTest, EjectAndReloadFlagsDecideWhereTheTrayEnds)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");

    GtkWidget *window = progressWindow(writer, VORN_ERASE_QUICK, VORN_ERASE_EJECT);
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(readiness(writer), VORN_READY_TRAY_OPEN);

    {
        GdkLock gdk;
        VornKit_EraseDiscDlg_SetReloadAfterEject(window, TRUE);
    }
    VornDevice *handle = VornOpenDevice(&writer);
    VornEjectLoadCD(handle, 0);
    VornCloseDevice(handle);
    ASSERT_TRUE(pumpUntil([&] { return readiness(writer) == VORN_READY; }));
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(waitDone(2));
    EXPECT_NE(readiness(writer), VORN_READY_TRAY_OPEN) << "ejected and loaded again";

    // Reloading applies only to an ejecting erase.
    {
        GdkLock gdk;
        VornKit_EraseDiscDlg_SetEraseFlags(window, VORN_ERASE_NO_EJECT);
    }
    ASSERT_TRUE(pumpUntil([&] { return readiness(writer) == VORN_READY; }));
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(waitDone(3));
    EXPECT_EQ(done, (std::vector<int>{0, 0, 0}));
    EXPECT_NE(readiness(writer), VORN_READY_TRAY_OPEN);
}

TEST_F(EraseContainerTest, AStartWhileErasingWaitsForTheRunningErase)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.01);  // a quick erase takes 0.6 s
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    GtkWidget *window = progressWindow(writer, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT);
    ASSERT_EQ(start(window), 1);
    ASSERT_TRUE(pumpUntil([&] { return progressShows() == 1; }));
    {
        GdkLock gdk;
        VornKit_EraseDiscDlg_SetEraseMode(window, VORN_ERASE_FULL);
    }
    ASSERT_EQ(start(window), 1) << "queued behind the running erase";
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(done, (std::vector<int>{0, 0}));
    EXPECT_EQ(progressShows(), 2);
    // The second erase began after the first was told, with its own mode.
    const auto asked = dialogs.asked();
    std::vector<std::string> order;
    for (const auto &entry : asked)
        order.push_back(entry.request.role + ":" + entry.request.title);
    EXPECT_EQ(order, (Strings{"erase-progress:0% - Quick-erase rewritable disc", "erase-result:Information",
                              "erase-progress:0% - Full-erase rewritable disc", "erase-result:Information"}));
}

TEST_F(EraseSettingsTest, EraseIsOfferedOnlyForAFreeRecorderHoldingARewritableDisc)
{
    auto cdr = makeWrittenDisc("r.vrn", VORN_MEDIUM_CD_R, 3000, 4);
    auto rw = makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("r.vrn");
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    GtkWidget *settings = nullptr;
    GtkWidget *eraseButton = nullptr;
    {
        GdkLock gdk;
        settings = keep(VornKit_EraseSettingsDlg_New(nullptr));
        g_signal_connect(VornKit_EraseSettingsDlg_GetEraseDiscDlg(settings), "vorn_erase_done", G_CALLBACK(onDone),
                         &done);
        GList *buttons = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(settings)->action_area));
        for (GList *l = buttons; l; l = l->next)
            if (gtk_dialog_get_response_for_widget(GTK_DIALOG(settings), GTK_WIDGET(l->data)) == VORNKIT_RESPONSE_ERASE)
                eraseButton = GTK_WIDGET(l->data);
        g_list_free(buttons);
        ASSERT_NE(eraseButton, nullptr);
        // Recorders only: no reader, no image recorder.
        GtkWidget *recorders = nullptr;
        std::function<void(GtkWidget *)> find = [&](GtkWidget *w) {
            if (VORNKIT_IS_RECORDER_COMBO_BOX(w))
                recorders = w;
            if (GTK_IS_CONTAINER(w))
                gtk_container_foreach(GTK_CONTAINER(w), [](GtkWidget *c, gpointer f) {
                    (*static_cast<std::function<void(GtkWidget *)> *>(f))(c);
                }, &find);
        };
        find(settings);
        ASSERT_NE(recorders, nullptr);
        EXPECT_EQ(texts(recorders), (Strings{"Vorn DVD Writer", "Vorn CD Writer"}));
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(settings)), "Erase rewritable disc");

        EXPECT_EQ(VornKit_EraseSettingsDlg_SetDeviceInfo(settings, &writer), 1);
        EXPECT_FALSE(gtk_widget_is_sensitive(eraseButton)) << "a CD-R cannot be erased";
        // An Erase answer on an insensitive button does nothing.
        dialogs.answerOnce(byRole("erase-settings"), {dialogs::response::Erase});
        VornKit_EraseSettingsDlg_ShowModal(settings);
    }
    drainMainLoop();
    EXPECT_TRUE(done.empty());

    VornControl_RemoveDisc(writer.hostAdapter, writer.deviceId);
    ASSERT_EQ(VornControl_InsertDisc(writer.hostAdapter, writer.deviceId, rw.c_str()), 1);
    ASSERT_TRUE(pumpUntil([&] { return readiness(writer) == VORN_READY; }));
    {
        GdkLock gdk;
        VornKit_EraseSettingsDlg_UpdateEraseButton(settings);
        EXPECT_TRUE(gtk_widget_is_sensitive(eraseButton));
    }
    // Another application takes the drive: devices management reports it.
    VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 1);
    VornControl_WaitCallbacksDelivered(5000);
    EXPECT_TRUE(pumpUntil([&] { return !gtk_widget_is_sensitive(eraseButton); }));
    VornControl_SetDriveBusy(writer.hostAdapter, writer.deviceId, 0);
    VornControl_WaitCallbacksDelivered(5000);
    EXPECT_TRUE(pumpUntil([&] { return gtk_widget_is_sensitive(eraseButton); }));

    // Cancel and the window manager's close hide the dialog and erase nothing.
    bool destroyed = false;
    g_signal_connect(settings, "destroy", G_CALLBACK(+[](GtkWidget *, gpointer flag) { *static_cast<bool *>(flag) = true; }),
                     &destroyed);
    {
        GdkLock gdk;
        dialogs::ScopedResponder none(nullptr);
        RealDialogs real;
        VornKit_EraseSettingsDlg_ShowModal(settings);
        EXPECT_TRUE(gtk_widget_get_visible(settings));
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(settings)));
        gtk_dialog_response(GTK_DIALOG(settings), VORNKIT_RESPONSE_CANCEL);
        EXPECT_FALSE(gtk_widget_get_visible(settings));
        gtk_widget_show(settings);
        GdkEvent *event = gdk_event_new(GDK_DELETE);
        event->any.window = GDK_WINDOW(g_object_ref(settings->window));
        gtk_main_do_event(event);
        gdk_event_free(event);
        EXPECT_FALSE(gtk_widget_get_visible(settings));
        EXPECT_FALSE(destroyed);

        // The progress window refuses the close.
        GtkWidget *progress = VornKit_EraseSettingsDlg_GetEraseDiscDlg(settings);
        gtk_widget_show(progress);
        event = gdk_event_new(GDK_DELETE);
        event->any.window = GDK_WINDOW(g_object_ref(progress->window));
        gtk_main_do_event(event);
        gdk_event_free(event);
        EXPECT_TRUE(gtk_widget_get_visible(progress));
        gtk_widget_hide(progress);
    }
    drainMainLoop();
    EXPECT_TRUE(done.empty());
    auto disc = vrn::VrnDisc::open(rw, vrn::VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok());
    EXPECT_EQ(disc.value().tracks().size(), 1u) << "nothing was erased";
}

TEST_F(EraseSettingsTest, MenuCommandTakesTheEjectAndReloadSettingsAndCleansUp)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("rw.vrn");
    VornControl_SetTimeScale(0.001);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    OptionsDatabase_InitDatabases();
    GtkWidget *mainWindow = keep(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    dialogs.answer(byRole("erase-settings"), dialogs::response::Erase);

    for (const bool eject : {false, true}) {
        SCOPED_TRACE(eject ? "eject" : "no eject");
        ASSERT_TRUE(pumpUntil([&] { return readiness(writer) == VORN_READY; }));
        OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, kEraseEjectSettingId, eject);
        OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, kEraseReloadSettingId, 0);
        const std::size_t toldBefore = resultMessages().size();
        GtkWidget *dialog = nullptr;
        {
            GdkLock gdk;
            dialog = EraseDiscCommand_Run(mainWindow, &writer);
        }
        EXPECT_EQ(dialog, nullptr) << "answered at once";
        ASSERT_TRUE(pumpUntil([&] { return resultMessages().size() == toldBefore + 1; }));
        EXPECT_EQ(resultMessages().back().text, "Erased the disc successfully.");
        EXPECT_EQ(readiness(writer) == VORN_READY_TRAY_OPEN, eject);
        if (eject) {
            VornDevice *handle = VornOpenDevice(&writer);
            VornEjectLoadCD(handle, 0);
            VornCloseDevice(handle);
        }
    }
    drainMainLoop();
    // The command's dialogs destroyed themselves: only the main window is left.
    GList *toplevels = gtk_window_list_toplevels();
    int eraseWindows = 0;
    for (GList *l = toplevels; l; l = l->next)
        eraseWindows += VORNKIT_IS_ERASE_SETTINGS_DLG(l->data) || VORNKIT_IS_ERASE_DISC_DLG(l->data);
    g_list_free(toplevels);
    EXPECT_EQ(eraseWindows, 0);
    OptionsDatabase_DestroyDatabases();
}

// Leaves both dialogs on the screen for an outside screenshot when
// VORN_SCREENSHOT_WAIT gives milliseconds; otherwise only checks they draw.
TEST_F(EraseSettingsTest, BothDialogsDrawOnScreen)
{
    makeWrittenDisc("rw.vrn", VORN_MEDIUM_CD_RW, 3000, 4);
    startWithDrives("rw.vrn");
    const char *wait = std::getenv("VORN_SCREENSHOT_WAIT");
    // Real time for a screenshot, so the erase is still running when it is taken.
    VornControl_SetTimeScale(wait ? 1.0 : 0.2);
    const VornDeviceEntry writer = entryOf("Vorn DVD Writer");
    const gint64 waitMs = wait ? std::atoi(wait) : 0;
    auto linger = [&](gint64 ms) {
        const gint64 until = g_get_monotonic_time() + ms * G_TIME_SPAN_MILLISECOND;
        while (g_get_monotonic_time() < until) {
            drainMainLoop();
            g_usleep(20000);
        }
    };
    GtkWidget *settings = nullptr;
    {
        GdkLock gdk;
        settings = keep(VornKit_EraseSettingsDlg_New(nullptr));
        VornKit_EraseSettingsDlg_SetDeviceInfo(settings, &writer);
        RealDialogs real;
        VornKit_EraseSettingsDlg_ShowModal(settings);
    }
    linger(std::max<gint64>(200, waitMs));
    {
        GdkLock gdk;
        EXPECT_TRUE(gtk_widget_get_mapped(settings));
        VornKit_EraseSettingsDlg_SetEraseMethod(settings, VORNKIT_ERASE_METHOD_FULL);
        g_signal_connect(VornKit_EraseSettingsDlg_GetEraseDiscDlg(settings), "vorn_erase_done", G_CALLBACK(onDone),
                         &done);
        gtk_dialog_response(GTK_DIALOG(settings), VORNKIT_RESPONSE_ERASE);
    }
    linger(std::max<gint64>(300, waitMs));
    {
        GdkLock gdk;
        EXPECT_TRUE(gtk_widget_get_mapped(VornKit_EraseSettingsDlg_GetEraseDiscDlg(settings)) || !done.empty());
    }
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(done, (std::vector<int>{0}));
}

}  // namespace
}  // namespace vorn::test
