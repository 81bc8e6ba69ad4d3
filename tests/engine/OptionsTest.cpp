// Start and stop, options, device options, texts and the language files.
#include "EngineFixture.h"

#include <glib.h>

#include <fstream>
#include <set>

namespace vorn::test {
namespace {

using StartTest = EngineTest;
using OptionsTest = EngineTest;
using TextsTest = EngineTest;

std::vector<VornControlOption> recorded()
{
    std::vector<VornControlOption> out;
    for (int i = 0; i < VornControl_GetOptionCount(); ++i) {
        VornControlOption o{};
        EXPECT_EQ(VornControl_GetOption(i, &o), 1);
        out.push_back(o);
    }
    return out;
}

TEST_F(StartTest, TheInitResultSetByTheControlInterfaceIsReturned)
{
    EXPECT_EQ(VornSetExpectedAPIVersionEx(7, 5, 0, 2, nullptr), 1);
    EXPECT_EQ(VornSetExpectedAPIVersionEx(8, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(VornSetExpectedAPIVersionEx(7, 6, 0, 0, nullptr), 0);

    VornControl_SetInitResult(VORN_INIT_ERROR);
    EXPECT_EQ(start(), VORN_INIT_ERROR);
    EXPECT_EQ(VornGetAvailableDrivesEx(0, 1), nullptr) << "an engine that failed does not run";

    VornControl_SetInitResult(5);
    EXPECT_EQ(start(), 5);
    EXPECT_EQ(listDrives().size(), 1u) << "any other result leaves the engine running";
    EXPECT_EQ(VornInitEx(&settings, nullptr, -10, 0), VORN_INIT_OK) << "already running";
    VornDone();
    VornDone();  // twice is harmless

    VornControl_SetInitResult(-1);
    VornControl_FailNextCall(VORN_CONTROL_CALL_INIT, 0);
    EXPECT_EQ(start(), VORN_INIT_ERROR);
    EXPECT_EQ(start(), VORN_INIT_OK);
    EXPECT_EQ(VornInitEx(nullptr, nullptr, 0, 0), VORN_INIT_OK) << "running: nothing changes";
    VornDone();
    EXPECT_EQ(VornInitEx(nullptr, nullptr, 0, 0), VORN_INIT_ERROR) << "no settings record";
}

TEST_F(StartTest, AMissingLanguageFileStartsWithEnglishTextsAndSaysSo)
{
    EXPECT_EQ(start("VornXyz.txt"), VORN_INIT_LANGUAGE_FILE_MISSING);
    EXPECT_EQ(listDrives().size(), 1u);
    char *text = VornGetLocalizedWaitCDTexts(VORN_WAIT_BLANK_DISC);
    EXPECT_STREQ(text, "Please insert an empty writable disc.");
    VornFreeMem(text);
    char *log = VornGetErrorLog();
    EXPECT_NE(std::string(log).find("VornXyz.txt"), std::string::npos) << log;
    VornFreeMem(log);
}

TEST_F(OptionsTest, EveryOptionIsRecordedInOrderWithItsValue)
{
    ASSERT_EQ(start(), VORN_INIT_OK);
    int32_t zero = 0, steadyfill = 80 << 20, dvd = 4500 << 9, absolute = 369000, relative = 6750;
    VornUserDialogOption dialog{[](void *, int, void *) { return -1; }, &settings};
    EXPECT_EQ(VornSetOption(VORN_OPTION_STEADYFILL_BUFFER, &zero), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, &zero), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_DVD_OVERBURN, &zero), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_SHORT_LEADOUT, &zero), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_HISTORY_LOG_DIR, dir.path().c_str()), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_STEADYFILL_BUFFER, &steadyfill), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_DVD_OVERBURN, &dvd), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, &absolute), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_CD_OVERBURN_RELATIVE, &relative), 1);
    EXPECT_EQ(VornSetOption(VORN_OPTION_USER_DIALOG, &dialog), 1);
    EXPECT_EQ(VornSetOption(3, &zero), 0) << "an id the engine does not know";
    EXPECT_EQ(VornSetOption(VORN_OPTION_STEADYFILL_BUFFER, nullptr), 0);

    auto got = recorded();
    ASSERT_EQ(got.size(), 12u);
    const std::vector<std::pair<int, int>> expected = {
        {1, 0}, {4, 0}, {5, 0}, {1005, 0}, {1006, 0}, {1, 83886080},
        {5, 2304000}, {4, 369000}, {7, 6750}, {2, 0}, {3, 0}, {1, 0}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(got[i].id, expected[i].first) << "record " << i;
        EXPECT_EQ(got[i].intValue, expected[i].second) << "record " << i;
    }
    EXPECT_STREQ(got[4].text, dir.path().c_str());
    EXPECT_EQ(got[9].pointer1, reinterpret_cast<void *>(dialog.callback));
    EXPECT_EQ(got[9].pointer2, &settings);
    EXPECT_EQ(got[10].accepted, 0);
    EXPECT_EQ(got[11].accepted, 0);
    EXPECT_EQ(VornControl_GetOption(12, nullptr), 0);

    VornControl_ClearRecordedOptions();
    EXPECT_EQ(VornControl_GetOptionCount(), 0);
}

TEST_F(OptionsTest, TheOptionLogOfAnotherProcessGetsOneLinePerOption)
{
    auto log = dir / "options.log";
    g_setenv("VORN_CONTROL_OPTION_LOG", log.c_str(), TRUE);
    writeDrives("[Writer]\nName=Writer\nCapabilities=0x10409\n");
    int result = start();
    g_unsetenv("VORN_CONTROL_OPTION_LOG");
    ASSERT_EQ(result, VORN_INIT_OK);
    int32_t one = 1;
    VornSetOption(VORN_OPTION_SHORT_LEADOUT, &one);
    VornSetOption(VORN_OPTION_HISTORY_LOG_DIR, "/tmp/cfg");
    auto entry = entryOf("Writer");
    VornDevice *h = VornOpenDevice(&entry);
    VornSetDeviceOption(h, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN, &one);
    VornCloseDevice(h);
    EXPECT_EQ(readFile(log), "option 1005 1\noption 1006 /tmp/cfg\ndevice-option 1 " +
                                 std::to_string(entry.deviceId) + " 1007 1\n");
}

TEST_F(OptionsTest, DeviceOptionsFollowTheDrivesCapabilitiesAndStayWithTheDrive)
{
    writeDrives("[Plain]\nName=Plain\nCapabilities=0x409\n"
                "[Full]\nName=Full\nCapabilities=0x110409\nWriteMedia=DVD+R;DVD+R DL\n");
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto plain = entryOf("Plain");
    auto full = entryOf("Full");
    VornDevice *p = VornOpenDevice(&plain);
    VornDevice *f = VornOpenDevice(&full);
    int32_t one = 1, book = 4, badBook = 9;

    EXPECT_EQ(VornSetDeviceOption(p, VORN_DEVICE_OPTION_BOOK_TYPE, &book), 1);
    EXPECT_EQ(VornSetDeviceOption(p, VORN_DEVICE_OPTION_BOOK_TYPE, &badBook), 0);
    EXPECT_EQ(VornSetDeviceOption(p, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN, &one), 0);
    EXPECT_EQ(VornSetDeviceOption(p, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN_ALT, &one), 0);
    EXPECT_EQ(VornSetDeviceOption(p, VORN_DEVICE_OPTION_EXTENDED_LEADOUT_DL, &one), 0);
    EXPECT_EQ(VornSetDeviceOption(f, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN, &one), 1);
    EXPECT_EQ(VornSetDeviceOption(f, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN_ALT, &one), 1)
        << "a DVD+R DL writer carries 0x40000, so the application sends 1006 as well";
    EXPECT_EQ(VornSetDeviceOption(f, VORN_DEVICE_OPTION_EXTENDED_LEADOUT_DL, &one), 1);
    VornCloseDevice(p);

    int32_t value = 0;
    ASSERT_EQ(VornControl_GetDeviceOptionValue(plain.hostAdapter, plain.deviceId,
                                               VORN_DEVICE_OPTION_BOOK_TYPE, &value),
              1) << "options belong to the drive, not to the handle";
    EXPECT_EQ(value, 4);
    EXPECT_EQ(VornControl_GetDeviceOptionValue(plain.hostAdapter, plain.deviceId,
                                               VORN_DEVICE_OPTION_AUTO_SPEED_DOWN, &value),
              0);

    ASSERT_EQ(VornControl_GetDeviceOptionCount(), 8);
    VornControlOption rec{};
    ASSERT_EQ(VornControl_GetDeviceOption(1, &rec), 1);
    EXPECT_EQ(rec.id, VORN_DEVICE_OPTION_BOOK_TYPE);
    EXPECT_EQ(rec.intValue, 9);
    EXPECT_EQ(rec.accepted, 0);
    ASSERT_EQ(VornControl_GetDeviceOption(5, &rec), 1);
    EXPECT_EQ(rec.hostAdapter, full.hostAdapter);
    EXPECT_EQ(rec.deviceId, full.deviceId);
    EXPECT_EQ(rec.id, VORN_DEVICE_OPTION_AUTO_SPEED_DOWN);
    VornCloseDevice(f);
}

TEST_F(TextsTest, GermanTextsArriveInCodePage1252)
{
    ASSERT_EQ(start("VornDeu.txt"), VORN_INIT_OK);
    char *text = VornGetLocalizedWaitCDTexts(VORN_WAIT_WRITABLE_DISC);
    ASSERT_NE(text, nullptr);
    EXPECT_FALSE(g_utf8_validate(text, -1, nullptr)) << "the engine's texts are not UTF-8";
    gchar *utf8 = g_convert(text, -1, "UTF-8", "CP1252", nullptr, nullptr, nullptr);
    ASSERT_NE(utf8, nullptr);
    EXPECT_STREQ(utf8, "Bitte legen Sie einen beschreibbaren Datenträger ein.");
    g_free(utf8);
    VornFreeMem(text);

    char *unknown = VornGetTypeNameOfMedia(0x40000000, 0);
    EXPECT_STREQ(unknown, "Unbekanntes Medium");
    VornFreeMem(unknown);
}

TEST_F(TextsTest, EveryWaitCodeHasItsOwnTextAndUnknownCodesAGeneralOne)
{
    ASSERT_EQ(start(), VORN_INIT_OK);
    std::set<std::string> seen;
    for (int code = VORN_WAIT_WRITABLE_DISC; code <= VORN_WAIT_CLOSE_TRAY; ++code) {
        char *text = VornGetLocalizedWaitCDTexts(code);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(seen.insert(text).second) << "code " << code << " repeats " << text;
        VornFreeMem(text);
    }
    for (int code : {-1, 8, 1000}) {
        char *text = VornGetLocalizedWaitCDTexts(code);
        EXPECT_STREQ(text, "Please insert a suitable disc.");
        VornFreeMem(text);
    }
}

TEST_F(TextsTest, MediumNamesCoverSingleValuesAndMasks)
{
    ASSERT_EQ(start(), VORN_INIT_OK);
    auto name = [](uint32_t mask) {
        char *text = VornGetTypeNameOfMedia(mask, 0);
        std::string out = text ? text : "(null)";
        VornFreeMem(text);
        return out;
    };
    EXPECT_EQ(name(VORN_MEDIUM_CD_ROM), "CD-ROM");
    EXPECT_EQ(name(VORN_MEDIUM_CD_R), "CD-R") << "CD-R's family bit does not make it CD-RW";
    EXPECT_EQ(name(VORN_MEDIUM_DVD_PLUS_R_DL), "DVD+R DL");
    EXPECT_EQ(name(VORN_MEDIUM_BD_RE_DL), "BD-RE DL");
    EXPECT_EQ(name(VORN_MEDIUM_CD_R | VORN_MEDIUM_CD_RW), "CD-R, CD-RW");
    EXPECT_EQ(name(0), "Unknown medium");
}

}  // namespace
}  // namespace vorn::test
