// The medium tables and how the offered families follow the drives and the
// image-recorder setting.
#include "DevicesManagement.h"
#include "MediaTypes.h"
#include "OptionsDatabase.h"
#include "TestEnvironment.h"
#include "VornAPI.h"
#include "VornKitDevicesManagement.h"
#include "VornPaths.h"

#include <gtest/gtest.h>

#include <string>

namespace vorn::test {
namespace {

constexpr gint32 kAllowAllImageRecorderFormats = 27;
constexpr guint32 kCdDvd = 0xC001D;
constexpr guint32 kAll = 0x3F6C001D;

// The offered families depend on the drives: start the engine on a drives
// file and devices management on it.
class MediaTypesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        settings.engineDir = VORN_ENGINE_DIR;
        settings.languageFile = "Vorn.txt";
    }
    void TearDown() override
    {
        DevicesManagement_Done();
        VornKit_DevicesManagement_Done();
        VornDone();
        OptionsDatabase_DestroyDatabases();
    }
    void startWithDrives(const std::string &drives)
    {
        const auto file = dir / "drives.ini";
        writeFile(file, drives);
        ASSERT_NE(VornInitEx(&settings, file.c_str(), -10, 0), VORN_INIT_ERROR);
        ASSERT_EQ(VornKit_DevicesManagement_Init(), VORNKIT_DEVICES_INIT_OK);
        DevicesManagement_Init();  // the family flags are set at once
    }
    void allowAllFormats(bool on)
    {
        ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase,
                                                        kAllowAllImageRecorderFormats, on ? 1 : 0), 1);
    }
    static std::string name(guint32 mask)
    {
        gchar *text = MediaTypes_GetMediumTypeName(mask);
        std::string out = text ? text : "(null)";
        g_free(text);
        return out;
    }

    TempDir dir;
    VornSettings settings{};
};

TEST_F(MediaTypesTest, OfferedFamiliesFollowTheDrivesAndTheImageRecorderSetting)
{
    startWithDrives("[w]\nName=DVD Writer\nWriteMedia=CD-R;DVD+R\n");
    EXPECT_EQ(MediaTypes_GetSupportedMediaTypes(), kCdDvd);
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_BD_R), 0u) << "no BD drive: BD folds to nothing";
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_HDDVD_R), 0u);
    guint32 blocks = 1;
    EXPECT_EQ(MediaTypes_GetNumBlocksOfMedium(VORN_FAMILY_BD, &blocks, 0), 0);
    EXPECT_EQ(blocks, 0u);
    guint32 yellow = 1, red = 1;
    EXPECT_EQ(MediaTypes_GetYellowAndRedMarkerPos(VORN_FAMILY_BD, &yellow, &red, 0), 0)
        << "an unoffered family has no marks";
    EXPECT_EQ(yellow + red, 0u);

    allowAllFormats(true);
    EXPECT_EQ(MediaTypes_GetSupportedMediaTypes(), kAll);
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_BD_R), static_cast<guint32>(VORN_FAMILY_BD));
    EXPECT_EQ(MediaTypes_GetNumBlocksOfMedium(VORN_FAMILY_BD, &blocks, 0), 1);
    EXPECT_EQ(blocks, 12390400u);
    allowAllFormats(false);
}

TEST_F(MediaTypesTest, ReadersAloneOfferTheirFamiliesButNotTheImageRecorder)
{
    startWithDrives(
        "[bd]\nName=BD Reader\nType=reader\nReadMedia=BD-ROM;BD-R\n"
        "[img]\nName=Odd Image\nCapabilities=0x41\nWriteMedia=HD DVD-R\nReadMedia=HD DVD-R\n");
    EXPECT_TRUE(DevicesManagement_PhysicalDeviceExists(VORN_FAMILY_BD));
    EXPECT_FALSE(DevicesManagement_PhysicalDeviceExists(VORN_FAMILY_HDDVD))
        << "a drive with the image-recorder capability is no physical drive";
    EXPECT_FALSE(DevicesManagement_PhysicalDeviceExists(0x2)) << "not a family";
    EXPECT_TRUE(DevicesManagement_IsPhysicalDeviceConnected());
    EXPECT_EQ(MediaTypes_GetSupportedMediaTypes(), 0x306C001Du);
}

TEST_F(MediaTypesTest, SingleMediaFoldIntoTheirFamilies)
{
    startWithDrives("[w]\nName=DVD Writer\nWriteMedia=CD-R;DVD+R\n");
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_CD_R), 0x1u);
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_CD_ROM), 0x1u) << "pressed CDs fold by 0x400";
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_DVD_ROM), 0xC001Cu) << "pressed DVDs fold by 0x200";
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_DVD_PLUS_R_DL), 0xC001Cu);
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_CD_RW | VORN_MEDIUM_DVD_PLUS_RW), kCdDvd);
    EXPECT_EQ(MediaTypes_GetCompilationMediumType(VORN_MEDIUM_DENSEPACK), 0u);
}

TEST_F(MediaTypesTest, NamesComeFromTheTableFirstAndTheEngineForTheRest)
{
    startWithDrives("");
    EXPECT_EQ(name(VORN_MEDIUM_CD_R), "CD");
    EXPECT_EQ(name(VORN_MEDIUM_DVD_PLUS_RW), "DVD");
    EXPECT_EQ(name(VORN_MEDIUM_BD_RE), "Blu-ray Disc");
    EXPECT_EQ(name(VORN_MEDIUM_HDDVD_RW), "HD DVD");
    EXPECT_EQ(name(0x20), "ML Disk");
    EXPECT_EQ(name(VORN_MEDIUM_DDCD), "DDCD");
    EXPECT_EQ(name(VORN_MEDIUM_CD_R | VORN_MEDIUM_BD_R), "CD") << "the first kind in table order wins";
    // No kind's mask meets a pressed CD: the engine names it.
    char *engineName = VornGetTypeNameOfMedia(VORN_MEDIUM_CD_ROM, 0);
    EXPECT_EQ(name(VORN_MEDIUM_CD_ROM), engineName);
    EXPECT_FALSE(name(VORN_MEDIUM_CD_ROM).empty());
    VornFreeMem(engineName);
}

struct CapacityCase {
    const char *label;
    guint32 medium, special;
    gint known;
    guint32 blocks, yellow, red;
};

class MediaCapacity : public MediaTypesTest, public testing::WithParamInterface<CapacityCase> {};

TEST_P(MediaCapacity, BlocksAndMarksOfEachKind)
{
    startWithDrives("");
    allowAllFormats(true);
    const auto &c = GetParam();
    guint32 blocks = 7, yellow = 7, red = 7;
    EXPECT_EQ(MediaTypes_GetNumBlocksOfMedium(c.medium, &blocks, c.special), c.known);
    EXPECT_EQ(blocks, c.blocks);
    EXPECT_EQ(MediaTypes_GetYellowAndRedMarkerPos(c.medium, &yellow, &red, c.special), c.known);
    EXPECT_EQ(yellow, c.yellow);
    EXPECT_EQ(red, c.red);
    allowAllFormats(false);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MediaCapacity,
    testing::Values(
        CapacityCase{"Cd", 0x1, 0, 1, 445500, 333000, 360000},
        CapacityCase{"CdR", VORN_MEDIUM_CD_R, 0, 1, 445500, 333000, 360000},
        CapacityCase{"Dvd", 0xC001C, 0, 1, 2621440, 2295296, 2298368},
        CapacityCase{"DvdWithDualLayerSpecial", 0xC001C, 0x80000, 1, 4718592, 2295296, 4173824},
        CapacityCase{"DvdPlusR9", 0x40000, 0x40000, 1, 4718592, 2295296, 4173824},
        CapacityCase{"Bd", 0x30600000, 0, 1, 12390400, 11826176, 12219392},
        CapacityCase{"BdDualLayer", 0x30600000, 0x10000000, 1, 24780800, 23652352, 24438784},
        CapacityCase{"HdDvd", 0xF000000, 0, 1, 10742188, 9765625, 9765625},
        CapacityCase{"Nothing", 0, 0, 0, 0, 0, 0}),
    [](const testing::TestParamInfo<CapacityCase> &info) { return std::string(info.param.label); });

TEST_F(MediaTypesTest, SpecialCapacitiesAndMissingOutPointers)
{
    startWithDrives("");
    EXPECT_EQ(MediaTypes_HasSpecialMediaTypeCapacities(VORN_MEDIUM_DVD_MINUS_R_DL), 1);
    EXPECT_EQ(MediaTypes_HasSpecialMediaTypeCapacities(VORN_MEDIUM_BD_RE_DL | VORN_MEDIUM_CD_R), 1);
    EXPECT_EQ(MediaTypes_HasSpecialMediaTypeCapacities(VORN_MEDIUM_DVD_PLUS_R), 0);
    EXPECT_EQ(MediaTypes_GetNumBlocksOfMedium(0x1, nullptr, 0), 0);
    guint32 red = 0;
    EXPECT_EQ(MediaTypes_GetYellowAndRedMarkerPos(0x1, nullptr, &red, 0), 1);
    EXPECT_EQ(red, 360000u);
    // A special medium that is not the medium's own gives the family's size.
    guint32 blocks = 0;
    EXPECT_EQ(MediaTypes_GetNumBlocksOfMedium(0x1, &blocks, 0x80000), 1);
    EXPECT_EQ(blocks, 445500u);
}

}  // namespace
}  // namespace vorn::test
