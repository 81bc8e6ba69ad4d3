// The data disc compilation keeps its options and the engine's data
// compilation in step: each setting changed through its option is read back
// from the engine with the value the option's rule gives, texts the engine
// corrects come back into their options, and a label the file system changes
// shows in the label options.
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "DataDiscFileSystem.h"
#include "VfsIoControlCodes.h"
#include "VornPaths.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

namespace vorn::test {
namespace {

constexpr guint32 CD = COMPILATION_MEDIUM_CD;
constexpr guint32 DVD = COMPILATION_MEDIUM_DVD;

std::string engineText(char *text)
{
    std::string result = text ? text : "(null)";
    VornFreeMem(text);
    return result;
}

class DataDiscSettingsTest : public testing::Test {
protected:
    void SetUp() override { OptionsDatabase_InitDatabases(); }
    void TearDown() override
    {
        compilation_.reset();
        OptionsDatabase_DestroyDatabases();
    }

    Compilation *make(Compilation *compilation)
    {
        compilation_.reset(compilation);
        return compilation;
    }
    Compilation *c() { return compilation_.get(); }
    VornDataCompilation *engine() { return VORN_DATA_DISC_VFS(c()->fileSystem)->compilation; }

    void setInteger(gint32 id, gint64 value)
    {
        ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(c()->options, id, value), 1) << "option " << id;
    }
    void setBoolean(gint32 id, bool value)
    {
        ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(c()->options, id, value ? 1 : 0), 1) << "option " << id;
    }
    void setText(gint32 id, const std::string &value)
    {
        ASSERT_EQ(OptionsDatabase_SetStringOptionValue(c()->options, id, value.c_str()), 1) << "option " << id;
    }

    OwnedCompilation compilation_;
};

// --- Values with a rule: the option's value and what the engine holds -------

struct Mapping {
    const char *what;
    std::function<Compilation *()> make;
    gint32 option;
    gint64 value;
    std::function<gint64(VornDataCompilation *)> read;
    gint64 expected;
};

std::ostream &operator<<(std::ostream &out, const Mapping &m)
{
    return out << m.what;
}

class DataDiscSettingRulesTest : public DataDiscSettingsTest, public testing::WithParamInterface<Mapping> {};

TEST_P(DataDiscSettingRulesTest, ReachesTheEngineAsTheRuleSays)
{
    const Mapping &m = GetParam();
    make(m.make());
    ASSERT_NE(c(), nullptr);
    VornOption *option = OptionsDatabase_GetOptionFromID(c()->options, m.option);
    if (IS_VORN_BOOLEAN_OPTION(option)) {
        // Set the other value first so that the change really happens.
        setBoolean(m.option, m.value == 0);
        setBoolean(m.option, m.value != 0);
    } else {
        setInteger(m.option, m.value + 1);
        setInteger(m.option, m.value);
    }
    EXPECT_EQ(m.read(engine()), m.expected);
}

auto iso = [] { return DataDiscCompilation_NewIsoDataDisc(CD); };
auto udf = [] { return DataDiscCompilation_NewUdfDataDisc(DVD); };
auto bridge = [] { return DataDiscCompilation_NewUdfIsoBridgeDataDisc(DVD); };
auto boot = [] { return DataDiscCompilation_NewBootableDisc(CD); };

INSTANTIATE_TEST_SUITE_P(
    Options, DataDiscSettingRulesTest,
    testing::Values(
        Mapping{"boot locale 25 gives 3", boot, 28, 25, VornDataCompilation_GetBootLocale, 3},
        Mapping{"boot locale 19 stays", boot, 28, 19, VornDataCompilation_GetBootLocale, 19},
        Mapping{"boot locale -1 gives 3", boot, 28, -1, VornDataCompilation_GetBootLocale, 3},
        Mapping{"expert boot settings", boot, 29, 1, VornDataCompilation_GetBootExpertFeatures, 1},
        Mapping{"emulation 7 gives none", boot, 30, 7, VornDataCompilation_GetBootEmulationType, 0},
        Mapping{"emulation 4 hard disk", boot, 30, 4, VornDataCompilation_GetBootEmulationType, 4},
        Mapping{"boot segment as 16 bits", boot, 32, 0x10000 + 0x7C0,
                [](VornDataCompilation *e) { return VornDataCompilation_GetBootLoadSegment(e); }, 0x7C0},
        Mapping{"loaded sectors", boot, 33, 4,
                [](VornDataCompilation *e) { return VornDataCompilation_GetBootLoadSectorsCount(e); }, 4},
        Mapping{"data mode 1 is Mode 2 XA", iso, 35, 1, VornDataCompilation_GetMode2XA, 1},
        Mapping{"data mode 2 is Mode 1", iso, 35, 2, VornDataCompilation_GetMode2XA, 0},
        Mapping{"ISO level 1 means level 2", iso, 37, 1, VornDataCompilation_GetIsoLevel, 1},
        Mapping{"ISO level 3 means level 1", iso, 37, 3, VornDataCompilation_GetIsoLevel, 0},
        Mapping{"ASCII names", iso, 38, 1, VornDataCompilation_GetCharset, 1},
        Mapping{"no Rock Ridge", iso, 39, 0, VornDataCompilation_GetRockRidge, 0},
        Mapping{"deeper than 8", iso, 40, 1, VornDataCompilation_GetDeeperThan8, 1},
        Mapping{"paths over 255", iso, 41, 1, VornDataCompilation_GetMoreThan255Chars, 1},
        Mapping{"no version extension passes 0", iso, 42, 1, VornDataCompilation_GetIsoVersionAddition, 0},
        Mapping{"version extension passes 1", iso, 42, 0, VornDataCompilation_GetIsoVersionAddition, 1},
        Mapping{"long Joliet names", iso, 43, 1, VornDataCompilation_GetRelaxJoliet, 1},
        Mapping{"ISO revision 2: ISO 9660:1999", iso, 36, 2, VornDataCompilation_GetEnhancedVolume, 1},
        Mapping{"ISO revision 2: Joliet", iso, 36, 2, VornDataCompilation_GetJoliet, 1},
        Mapping{"ISO revision 1: no Joliet", iso, 36, 1, VornDataCompilation_GetJoliet, 0},
        Mapping{"ISO revision 0: no ISO 9660:1999", iso, 36, 0, VornDataCompilation_GetEnhancedVolume, 0},
        Mapping{"ISO revision 7 as 1", iso, 36, 7, VornDataCompilation_GetEnhancedVolume, 1},
        Mapping{"bridge ignores the ISO revision", bridge, 36, 2, VornDataCompilation_GetJoliet, 0},
        Mapping{"bridge revision 2: Joliet", bridge, 44, 2, VornDataCompilation_GetJoliet, 1},
        Mapping{"ISO disc ignores the bridge revision", iso, 44, 2, VornDataCompilation_GetJoliet, 0},
        Mapping{"UDF option 2", udf, 45, 2, VornDataCompilation_GetUdfOption, 2},
        Mapping{"UDF option 3 gives 0", udf, 45, 3, VornDataCompilation_GetUdfOption, 0},
        Mapping{"UDF partition 1", udf, 47, 1, VornDataCompilation_GetUdfPartitionType, 1},
        Mapping{"UDF partition -1 gives 0", udf, 47, -1, VornDataCompilation_GetUdfPartitionType, 0},
        Mapping{"UDF revision 5", udf, 48, 5, VornDataCompilation_GetUdfStandard, 5},
        Mapping{"UDF revision 6 gives 0", udf, 48, 6, VornDataCompilation_GetUdfStandard, 0},
        Mapping{"multisession continue", iso, 9, 1, VornDataCompilation_GetMultisessionType, 1},
        Mapping{"multisession 5 gives none", iso, 9, 5, VornDataCompilation_GetMultisessionType, 2},
        Mapping{"files date burn time", iso, 80, 1, VornDataCompilation_GetFilesDateType, 1},
        Mapping{"files date 9 gives original", iso, 80, 9, VornDataCompilation_GetFilesDateType, 0},
        Mapping{"no caching", iso, 83, 0, VornDataCompilation_GetCacheFilesFromDiskOrNetwork, 0},
        Mapping{"no small file caching", iso, 84, 0, VornDataCompilation_GetCacheSmallFiles, 0},
        Mapping{"64 KB are 65536 bytes", iso, 85, 64, VornDataCompilation_GetSmallFilesSizeLimit, 65536},
        Mapping{"medium DVD", iso, 7, DVD,
                [](VornDataCompilation *e) { return static_cast<gint64>(VornDataCompilation_GetMediumType(e)); },
                DVD}));

TEST_F(DataDiscSettingsTest, MultisessionTypeDecidesTheSingleSessionFlag)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    setInteger(COMPILATION_OPTION_MULTISESSION_TYPE, MULTISESSION_CONTINUE);
    EXPECT_EQ(c()->singleSession, 0);
    setInteger(COMPILATION_OPTION_MULTISESSION_TYPE, 9);
    EXPECT_EQ(c()->singleSession, 1) << "anything unknown is a single session";
    setInteger(COMPILATION_OPTION_MULTISESSION_TYPE, MULTISESSION_START);
    EXPECT_EQ(c()->singleSession, 0);
}

TEST_F(DataDiscSettingsTest, NewCompilationsCarryTheirDefaultsIntoTheEngine)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    // The shipped defaults: start a multisession disc, revision 1, Rock
    // Ridge, caching of small files up to 64 KB.
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(engine()), 0);
    EXPECT_EQ(c()->singleSession, 0);
    EXPECT_EQ(VornDataCompilation_GetEnhancedVolume(engine()), 1);
    EXPECT_EQ(VornDataCompilation_GetRockRidge(engine()), 1);
    EXPECT_EQ(VornDataCompilation_GetIsoVersionAddition(engine()), 1);
    EXPECT_EQ(VornDataCompilation_GetSmallFilesSizeLimit(engine()), 64 * 1024);
    EXPECT_EQ(engineText(VornDataCompilation_GetIsoVolumeLabel(engine())), "NEW");
    EXPECT_EQ(engineText(VornDataCompilation_GetJolietVolumeLabel(engine())), "New");
    EXPECT_EQ(c()->saved, 1) << "pushing the defaults is no edit";

    make(DataDiscCompilation_NewBootableDisc(CD));
    EXPECT_EQ(VornDataCompilation_GetBootableIsoCompilation(engine()), 1);
    EXPECT_EQ(engineText(VornDataCompilation_GetBootImageFilePath(engine())), VORN_DATA_DIR "/DosBootImage.ima");
    EXPECT_EQ(VornDataCompilation_GetBootEmulationType(engine()), 2);
    EXPECT_EQ(VornDataCompilation_GetBootLoadSegment(engine()), 1984);
    EXPECT_EQ(engineText(VornDataCompilation_GetBootMessage(engine())), "Vorn Linux Boot-Loader");
    EXPECT_EQ(VornDataCompilation_GetMultisessionType(engine()), 2);
    EXPECT_EQ(c()->singleSession, 1);
}

TEST_F(DataDiscSettingsTest, BootImageComesFromTheDriveOrTheFileAsTheSourceSays)
{
    make(DataDiscCompilation_NewBootableDisc(CD));
    const auto path = [this] { return engineText(VornDataCompilation_GetBootImageFilePath(engine())); };
    // Boot from a drive: the image option does not count.
    setInteger(COMPILATION_OPTION_BOOT_SOURCE, 0);
    setText(27, "/tmp/ignored.ima");
    EXPECT_EQ(path(), VORN_DATA_DIR "/DosBootImage.ima");
    setInteger(26, 1);
    EXPECT_EQ(path(), "/dev/fd1");
    setInteger(26, -1);
    EXPECT_EQ(path(), "/dev/fd1") << "no drive number, nothing pushed";
    // Boot from a file: the drive option does not count.
    setInteger(COMPILATION_OPTION_BOOT_SOURCE, 1);
    setText(27, "/srv/boot/floppy.img");
    EXPECT_EQ(path(), "/srv/boot/floppy.img");
    setInteger(26, 0);
    EXPECT_EQ(path(), "/srv/boot/floppy.img");
    setText(31, "Booting the rescue disc");
    EXPECT_EQ(engineText(VornDataCompilation_GetBootMessage(engine())), "Booting the rescue disc");
}

TEST_F(DataDiscSettingsTest, GlobalSemicolonSettingFollowsAndIsLetGoWithTheCompilation)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 4, 1), 1);
    EXPECT_EQ(VornDataCompilation_GetSemicolonsAllowedInJoliet(engine()), 1);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 4, 0), 1);
    EXPECT_EQ(VornDataCompilation_GetSemicolonsAllowedInJoliet(engine()), 0);
    // A compilation made while the setting is on starts with it.
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 4, 1), 1);
    make(DataDiscCompilation_NewUdfIsoBridgeDataDisc(CD));
    EXPECT_EQ(VornDataCompilation_GetSemicolonsAllowedInJoliet(engine()), 1);
    // Once the compilation is gone the global setting has nobody to tell.
    compilation_.reset();
    EXPECT_EQ(OptionsDatabase_SetBooleanOptionValue(GlobalSettingsOptionsDatabase, 4, 0), 1);
}

// --- Dates -----------------------------------------------------------------------

gint64 localMidnight(int year, int month, int day)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;  // any time of the day names the day
    t.tm_isdst = -1;
    return static_cast<gint64>(std::mktime(&t));
}

gint64 localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<gint64>(std::mktime(&t));
}

TEST_F(DataDiscSettingsTest, VolumeDatesJoinDayAndTimeOnlyWhileTheirSwitchIsOn)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    setBoolean(78, false);
    setInteger(70, localMidnight(2024, 2, 29));
    setInteger(71, 13 * 3600 + 14 * 60 + 15);
    EXPECT_EQ(VornDataCompilation_GetVolumeCreationDate(engine()), -1) << "switch off: not set";
    setBoolean(78, true);
    EXPECT_EQ(VornDataCompilation_GetVolumeCreationDate(engine()), localTime(2024, 2, 29, 13, 14, 15));
    setInteger(72, localMidnight(2030, 1, 1));
    setInteger(73, 30 * 3600 + 5);  // past midnight: the hour stops at 23
    EXPECT_EQ(VornDataCompilation_GetVolumeModificationDate(engine()), localTime(2030, 1, 1, 23, 0, 5));
    setBoolean(78, false);
    EXPECT_EQ(VornDataCompilation_GetVolumeCreationDate(engine()), -1);
    EXPECT_EQ(VornDataCompilation_GetVolumeModificationDate(engine()), -1);

    setBoolean(79, true);
    setInteger(76, localMidnight(2031, 6, 30));
    setInteger(77, 0);
    EXPECT_EQ(VornDataCompilation_GetVolumeExpirationDate(engine()), localTime(2031, 6, 30, 0, 0, 0));
    EXPECT_EQ(VornDataCompilation_GetVolumeCreationDate(engine()), -1) << "the other pair keeps its switch";
}

TEST_F(DataDiscSettingsTest, FixedFilesDateCountsOnlyForTheFixedType)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    setInteger(80, 0);
    setInteger(81, localMidnight(2020, 5, 17));
    setInteger(82, 8 * 3600 + 30 * 60);
    EXPECT_EQ(VornDataCompilation_GetFixedFilesDate(engine()), -1);
    // Choosing the fixed type brings the date already entered along.
    setInteger(80, 2);
    EXPECT_EQ(VornDataCompilation_GetFilesDateType(engine()), 2);
    EXPECT_EQ(VornDataCompilation_GetFixedFilesDate(engine()), localTime(2020, 5, 17, 8, 30, 0));
    setInteger(82, 9 * 3600);
    EXPECT_EQ(VornDataCompilation_GetFixedFilesDate(engine()), localTime(2020, 5, 17, 9, 0, 0));
    setInteger(80, 1);
    EXPECT_EQ(VornDataCompilation_GetFixedFilesDate(engine()), -1);
}

// --- Labels and identifiers --------------------------------------------------------

TEST_F(DataDiscSettingsTest, DefaultLabelSetsEveryVolumeWhileOneLabelIsUsed)
{
    make(DataDiscCompilation_NewUdfIsoBridgeDataDisc(DVD));
    setBoolean(49, true);
    setText(51, "ignored iso");
    EXPECT_EQ(engineText(VornDataCompilation_GetIsoVolumeLabel(engine())), "NEW");
    setText(50, "Holiday 2024");
    EXPECT_EQ(engineText(VornDataCompilation_GetIsoVolumeLabel(engine())), "HOLIDAY_2024");
    EXPECT_EQ(engineText(VornDataCompilation_GetJolietVolumeLabel(engine())), "Holiday 2024");
    EXPECT_EQ(engineText(VornDataCompilation_GetUdfVolumeLabel(engine())), "Holiday 2024");
    // The label options show what each volume holds now.
    EXPECT_EQ(stringOption(c(), 51), "HOLIDAY_2024");
    EXPECT_EQ(stringOption(c(), 60), "Holiday 2024");
    EXPECT_EQ(stringOption(c(), 69), "Holiday 2024");

    // Separate labels: each option reaches its own volume only.
    setBoolean(49, false);
    setText(50, "not pushed");
    EXPECT_EQ(engineText(VornDataCompilation_GetJolietVolumeLabel(engine())), "Holiday 2024");
    setText(60, "Joliet only");
    EXPECT_EQ(engineText(VornDataCompilation_GetJolietVolumeLabel(engine())), "Joliet only");
    EXPECT_EQ(engineText(VornDataCompilation_GetUdfVolumeLabel(engine())), "Holiday 2024");
    setText(69, "UDF only");
    EXPECT_EQ(engineText(VornDataCompilation_GetUdfVolumeLabel(engine())), "UDF only");
}

TEST_F(DataDiscSettingsTest, DefaultLabelLeavesTheUdfLabelOfADiscWithoutUdf)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    const std::string udfBefore = engineText(VornDataCompilation_GetUdfVolumeLabel(engine()));
    setBoolean(49, true);
    setText(50, "Photos");
    EXPECT_EQ(engineText(VornDataCompilation_GetIsoVolumeLabel(engine())), "PHOTOS");
    EXPECT_EQ(engineText(VornDataCompilation_GetUdfVolumeLabel(engine())), udfBefore);
}

TEST_F(DataDiscSettingsTest, IdentifiersCorrectedByTheEngineAppearInTheirOptions)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    setBoolean(49, false);
    setText(54, "Acme records & sons");
    const std::string publisher = engineText(VornDataCompilation_GetIsoPublisherIdentifier(engine()));
    EXPECT_EQ(stringOption(c(), 54), publisher);
    EXPECT_EQ(publisher.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos)
        << "ISO identifiers are upper case: " << publisher;

    const std::string longSystem(80, 'x');
    setText(61, longSystem);
    const std::string jolietSystem = engineText(VornDataCompilation_GetJolietSystemIdentifier(engine()));
    EXPECT_LT(jolietSystem.size(), longSystem.size()) << "cut to what the descriptor holds";
    EXPECT_EQ(stringOption(c(), 61), jolietSystem);
    EXPECT_NE(stringOption(c(), 52), jolietSystem) << "separate labels: the ISO identifier stays";
}

TEST_F(DataDiscSettingsTest, JolietIdentifierAlsoSetsTheIsoOneWhileOneLabelIsUsed)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    setBoolean(49, true);
    setText(63, "Small Press");  // Joliet publisher
    EXPECT_EQ(engineText(VornDataCompilation_GetJolietPublisherIdentifier(engine())), "Small Press");
    const std::string iso = engineText(VornDataCompilation_GetIsoPublisherIdentifier(engine()));
    EXPECT_EQ(iso, "SMALL PRESS");
    EXPECT_EQ(stringOption(c(), 54), iso) << "read back into the ISO option of the same rank";
    EXPECT_EQ(stringOption(c(), 63), "Small Press");
}

TEST_F(DataDiscSettingsTest, RenamingTheRootShowsInTheLabelOptions)
{
    make(DataDiscCompilation_NewUdfDataDisc(DVD));
    setBoolean(49, true);
    ASSERT_EQ(VFS_Rename(c()->fileSystem, "/", "Backup March", 3), 0);
    EXPECT_EQ(stringOption(c(), 60), "Backup March");
    EXPECT_EQ(stringOption(c(), 69), "Backup March");
    EXPECT_EQ(stringOption(c(), 51), engineText(VornDataCompilation_GetIsoVolumeLabel(engine())));
    EXPECT_EQ(stringOption(c(), 50), "Backup March") << "a UDF disc's default label is its UDF label";

    // Kind 1 renames the ISO volume alone: the other label options stay.
    ASSERT_EQ(VFS_Rename(c()->fileSystem, "/", "ISOONLY", 1), 0);
    EXPECT_EQ(stringOption(c(), 51), "ISOONLY");
    EXPECT_EQ(stringOption(c(), 60), "Backup March");
}

// --- Joliet name limit and refresh -------------------------------------------------

TEST_F(DataDiscSettingsTest, JolietNameLimitFollowsTheSettings)
{
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(nullptr), 0);
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    setInteger(36, 1);
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(c()), 207);
    setInteger(36, 0);
    setBoolean(43, true);
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(c()), 101);
    setBoolean(43, false);
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(c()), 64);

    make(DataDiscCompilation_NewUdfDataDisc(DVD));
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(c()), 127);
    make(DataDiscCompilation_NewUdfIsoBridgeDataDisc(DVD));
    setInteger(44, 1);  // no Joliet on the bridge
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(c()), 127);
    setInteger(44, 2);
    setBoolean(43, false);
    EXPECT_EQ(DataDiscCompilation_GetJolietMaxLimitCharacters(c()), 207);
}

struct RefreshAnswer {
    static inline gint response = 0;
    static inline DataDiscRefreshChoices seen{};
    static gint run(Compilation *, gpointer, DataDiscRefreshChoices *choices) noexcept
    {
        seen = *choices;
        *choices = {1, 1, 0, 1};
        return response;
    }
};

TEST_F(DataDiscSettingsTest, RefreshKeepsTheChosenCheckBoxesOnlyOnOk)
{
    make(DataDiscCompilation_NewIsoDataDisc(CD));
    ASSERT_NE(c()->operations.RefreshCompilation, nullptr);
    c()->operations.RefreshCompilation(c(), nullptr);  // no dialog installed: nothing happens
    EXPECT_FALSE(booleanOption(c(), 12));

    DataDiscCompilation_SetRefreshDialogRunner(RefreshAnswer::run);
    RefreshAnswer::response = 0;
    c()->operations.RefreshCompilation(c(), nullptr);
    EXPECT_EQ(RefreshAnswer::seen.removeDeleted, 1) << "the dialog starts from the options";
    EXPECT_FALSE(booleanOption(c(), 12)) << "cancelled";
    EXPECT_TRUE(booleanOption(c(), 14));

    RefreshAnswer::response = 1;
    c()->operations.RefreshCompilation(c(), nullptr);
    EXPECT_TRUE(booleanOption(c(), 12));
    EXPECT_TRUE(booleanOption(c(), 13));
    EXPECT_FALSE(booleanOption(c(), 14));
    EXPECT_TRUE(booleanOption(c(), 15));
    DataDiscCompilation_SetRefreshDialogRunner(nullptr);
}

}  // namespace
}  // namespace vorn::test
