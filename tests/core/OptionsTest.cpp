// Options and databases: which sets announce a change, what a miss gives,
// which copies are refused, and who owns what.
#include "OptionsTestSupport.h"

#include "OptionNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using vorn::test::Device;
using vorn::test::deviceName;
using vorn::test::SignalCounter;
using vorn::test::stringValue;
using vorn::test::writtenText;

namespace {

enum Id : gint32 { kBool = 1, kInt = 2, kText = 3, kPath = 4, kPointer = 5, kDrive = 6, kLatin = 7, kAscii = 8 };

class OptionsDatabaseTest : public testing::Test {
protected:
    void SetUp() override
    {
        db = OptionsDatabase_New(nullptr, 0);
        ASSERT_NE(db, nullptr);
        const Device drive("Recorder A", 1, 0);
        ASSERT_EQ(OptionsDatabase_AddOption(db, BooleanOption_New(kBool, "Bool", 0)), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, IntegerOption_New(kInt, "Int", 5)), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, StringOption_NewUnicode(kText, "Text", "hello")), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, StringOption_NewWithVariableEncoding(kPath, "Path", "", "")), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, PointerOption_New(kPointer, "Pointer", nullptr)), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, ScsiDeviceOption_New(kDrive, "Drive", drive.data())), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, StringOption_NewWithEncoding(kLatin, "Latin", "ISO-8859-1", "x")), 1);
        ASSERT_EQ(OptionsDatabase_AddOption(db, StringOption_NewWithEncoding(kAscii, "Ascii", "ASCII", "plain")), 1);
    }
    void TearDown() override { OptionsDatabase_DestroyDatabases(); }

    VornOption *option(gint32 id) { return OptionsDatabase_GetOptionFromID(db, id); }

    OptionsDatabase *db = nullptr;
};

// --- Which sets announce a change -----------------------------------------

TEST_F(OptionsDatabaseTest, ValueOptionsEmitOnlyWhenTheValueChanges)
{
    int marker = 0;
    SignalCounter boolSignals(option(kBool)), intSignals(option(kInt)), pointerSignals(option(kPointer));

    EXPECT_EQ(OptionsDatabase_SetBooleanOptionValue(db, kBool, 0), 1);
    EXPECT_EQ(OptionsDatabase_SetIntegerOptionValue(db, kInt, 5), 1);
    EXPECT_EQ(OptionsDatabase_SetPointerOptionValue(db, kPointer, nullptr), 1);
    EXPECT_EQ(boolSignals.count() + intSignals.count() + pointerSignals.count(), 0);

    EXPECT_EQ(OptionsDatabase_SetBooleanOptionValue(db, kBool, 1), 1);
    EXPECT_EQ(OptionsDatabase_SetIntegerOptionValue(db, kInt, -7), 1);
    EXPECT_EQ(OptionsDatabase_SetPointerOptionValue(db, kPointer, &marker), 1);
    EXPECT_EQ(boolSignals.count(), 1);
    EXPECT_EQ(intSignals.count(), 1);
    EXPECT_EQ(pointerSignals.count(), 1);
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(db, kBool), 1);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(db, kInt), -7);
    EXPECT_EQ(OptionsDatabase_GetPointerOptionValue(db, kPointer), &marker);

    // A boolean stores what it is given: 2 is a change from 1 (and not true).
    EXPECT_EQ(OptionsDatabase_SetBooleanOptionValue(db, kBool, 2), 1);
    EXPECT_EQ(boolSignals.count(), 2);
}

TEST_F(OptionsDatabaseTest, StringEmitsOnEverySuccessfulSetEvenWhenUnchanged)
{
    SignalCounter signals(option(kText));
    EXPECT_EQ(OptionsDatabase_SetStringOptionValue(db, kText, "hello"), 1);
    EXPECT_EQ(OptionsDatabase_SetStringOptionValue(db, kText, "hello"), 1);
    EXPECT_EQ(signals.count(), 2);
    EXPECT_EQ(OptionsDatabase_SetStringOptionValue(db, kText, nullptr), 0);
    EXPECT_EQ(signals.count(), 2);
    EXPECT_EQ(stringValue(db, kText), "hello");
}

TEST_F(OptionsDatabaseTest, StringInvalidForItsFixedCharsetIsRefusedSilently)
{
    SignalCounter signals(option(kAscii));
    EXPECT_EQ(OptionsDatabase_SetStringOptionValue(db, kAscii, "caf\xc3\xa9"), 0);
    EXPECT_EQ(signals.count(), 0);
    EXPECT_EQ(stringValue(db, kAscii), "plain");
    // Any byte is valid in ISO-8859-1, and the bytes are kept as given.
    EXPECT_EQ(OptionsDatabase_SetStringOptionValue(db, kLatin, "caf\xe9"), 1);
    EXPECT_EQ(stringValue(db, kLatin), "caf\xe9");
}

TEST_F(OptionsDatabaseTest, DriveEmitsOnlyForAnotherDrive)
{
    SignalCounter signals(option(kDrive));
    // Same adapter, id and name: nothing is copied, even bytes that differ elsewhere.
    Device same("Recorder A", 1, 0);
    same.bytes()[1000] = 0x5a;
    EXPECT_EQ(OptionsDatabase_SetScsiDeviceOptionValue(db, kDrive, same.data()), 1);
    EXPECT_EQ(signals.count(), 0);
    EXPECT_EQ(vorn::test::bytesOf(OptionsDatabase_GetScsiDeviceOptionValue(db, kDrive))[1000], 0);

    for (const Device &other : {Device("Recorder B", 1, 0), Device("Recorder B", 2, 0), Device("Recorder B", 2, 3)}) {
        const int before = signals.count();
        EXPECT_EQ(OptionsDatabase_SetScsiDeviceOptionValue(db, kDrive, other.data()), 1);
        EXPECT_EQ(signals.count(), before + 1);
        EXPECT_EQ(std::memcmp(OptionsDatabase_GetScsiDeviceOptionValue(db, kDrive), other.data(),
                              sizeof(VornDeviceEntry)),
                  0)
            << "the whole entry is copied";
    }
    EXPECT_EQ(OptionsDatabase_SetScsiDeviceOptionValue(db, kDrive, nullptr), 0);
}

// --- Strings and their character sets -------------------------------------

TEST(StringOptionEncoding, FixedUtf8StoresTheDisplayFormOfForeignBytes)
{
    VornOption *option = StringOption_NewUnicode(0, "Label", "caf\xe9");
    ASSERT_NE(option, nullptr);
    gchar *value = StringOption_GetValue(option);
    EXPECT_STREQ(value, "caf\xc3\xa9");
    g_free(value);
    g_object_unref(option);
}

TEST(StringOptionEncoding, VariableEncodingKeepsBytesAndFollowsTheirCharset)
{
    VornOption *option = StringOption_NewWithVariableEncoding(0, "Path", "", "/home/caf\xe9");
    ASSERT_NE(option, nullptr);
    auto *self = VORN_STRING_OPTION(option);
    EXPECT_STREQ(self->value, "/home/caf\xe9");
    EXPECT_STREQ(self->encoding, "ISO-8859-1");
    EXPECT_EQ(StringOption_SetValue(option, "/home/caf\xc3\xa9"), 1);
    EXPECT_STREQ(self->encoding, "UTF-8");
    g_object_unref(option);
}

TEST(StringOptionEncoding, NullValueStaysNullButEmptyIsAValue)
{
    VornOption *none = StringOption_NewWithVariableEncoding(0, "A", "", nullptr);
    VornOption *empty = StringOption_NewWithVariableEncoding(1, "B", "", "");
    EXPECT_EQ(VORN_STRING_OPTION(none)->value, nullptr);
    EXPECT_STREQ(VORN_STRING_OPTION(none)->encoding, "");
    EXPECT_STREQ(VORN_STRING_OPTION(empty)->value, "");
    EXPECT_STREQ(VORN_STRING_OPTION(empty)->encoding, "UTF-8");
    g_object_unref(none);
    g_object_unref(empty);
}

TEST(StringOptionEncoding, LocaleEncodedTakesTheLocaleCharset)
{
    const gchar *charset = nullptr;
    g_get_charset(&charset);
    VornOption *option = StringOption_NewLocaleEncoded(0, "Code", "123");
    EXPECT_STREQ(VORN_STRING_OPTION(option)->encoding, charset);
    EXPECT_EQ(VORN_STRING_OPTION(option)->variableEncoding, 0);
    g_object_unref(option);
}

// --- Constructors and the wrong kind of object ----------------------------

TEST(OptionConstructors, MissingNameDeviceOrEncodingGivesNothing)
{
    const Device drive("D", 0, 0);
    EXPECT_EQ(BooleanOption_New(0, nullptr, 1), nullptr);
    EXPECT_EQ(IntegerOption_New(0, nullptr, 1), nullptr);
    EXPECT_EQ(PointerOption_New(0, nullptr, nullptr), nullptr);
    EXPECT_EQ(StringOption_NewUnicode(0, nullptr, "x"), nullptr);
    EXPECT_EQ(StringOption_NewWithEncoding(0, "S", nullptr, "x"), nullptr);
    EXPECT_EQ(StringOption_NewWithVariableEncoding(0, "S", nullptr, "x"), nullptr);
    EXPECT_EQ(ScsiDeviceOption_New(0, nullptr, drive.data()), nullptr);
    EXPECT_EQ(ScsiDeviceOption_New(0, "D", nullptr), nullptr);
}

TEST(OptionConstructors, NewDriveOptionStartsFromTheGivenEntryAndOthersFromInvalid)
{
    VornOption *option = IntegerOption_New(3, "Speed", 0);
    EXPECT_EQ(option->id, 3);
    EXPECT_STREQ(option->name, "Speed");
    g_object_unref(option);

    // A fresh drive option, before any set, holds the invalid entry.
    auto *bare = VORN_SCSI_DEVICE_OPTION(g_object_new(VORN_TYPE_SCSI_DEVICE_OPTION, nullptr));
    EXPECT_EQ(bare->value.hostAdapter, -1);
    EXPECT_EQ(bare->value.deviceId, -1);
    EXPECT_EQ(deviceName(&bare->value), "");
    EXPECT_EQ(bare->parent.id, -1);
    g_object_unref(bare);
}

TEST(OptionClassChecks, OperationsOnAnotherClassDoNothing)
{
    VornOption *integer = IntegerOption_New(0, "I", 4);
    VornOption *boolean = BooleanOption_New(1, "B", 1);
    const Device drive("D", 0, 0);
    {
    SignalCounter signals(integer);

    EXPECT_EQ(BooleanOption_SetValue(integer, 1), 0);
    EXPECT_EQ(StringOption_SetValue(integer, "x"), 0);
    EXPECT_EQ(PointerOption_SetValue(integer, integer), 0);
    EXPECT_EQ(ScsiDeviceOption_SetValue(integer, drive.data()), 0);
    EXPECT_EQ(IntegerOption_SetValue(boolean, 9), 0);
    EXPECT_EQ(IntegerOption_SetValue(nullptr, 9), 0);
    EXPECT_EQ(signals.count(), 0);
    EXPECT_EQ(IntegerOption_GetValue(integer), 4);
    }

    EXPECT_EQ(BooleanOption_GetValue(integer), 0);
    EXPECT_EQ(IntegerOption_GetValue(boolean), 0);
    EXPECT_EQ(StringOption_GetValue(integer), nullptr);
    EXPECT_EQ(PointerOption_GetValue(integer), nullptr);
    EXPECT_EQ(ScsiDeviceOption_GetValue(integer), nullptr);
    g_object_unref(integer);
    g_object_unref(boolean);
}

// --- Miss values -----------------------------------------------------------

TEST_F(OptionsDatabaseTest, GetOnMissingIdOrOtherClassGivesTheMissValue)
{
    for (gint32 id : {99, static_cast<gint32>(kText)}) {
        EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(db, id), FALSE) << id;
        EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(db, id), -1) << id;
        EXPECT_EQ(OptionsDatabase_GetPointerOptionValue(db, id), nullptr) << id;
        EXPECT_EQ(OptionsDatabase_GetScsiDeviceOptionValue(db, id), nullptr) << id;
    }
    EXPECT_EQ(OptionsDatabase_GetStringOptionValue(db, 99), nullptr);
    EXPECT_EQ(OptionsDatabase_GetStringOptionValue(db, kInt), nullptr);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(nullptr, kInt), -1);
}

TEST_F(OptionsDatabaseTest, SetOnMissingIdOrOtherClassFailsAndChangesNothing)
{
    SignalCounter signals(option(kInt));
    const Device drive("D", 0, 0);
    EXPECT_EQ(OptionsDatabase_SetIntegerOptionValue(db, 99, 1), 0);
    EXPECT_EQ(OptionsDatabase_SetBooleanOptionValue(db, kInt, 1), 0);
    EXPECT_EQ(OptionsDatabase_SetStringOptionValue(db, kInt, "1"), 0);
    EXPECT_EQ(OptionsDatabase_SetPointerOptionValue(db, kInt, db), 0);
    EXPECT_EQ(OptionsDatabase_SetScsiDeviceOptionValue(db, kInt, drive.data()), 0);
    EXPECT_EQ(OptionsDatabase_SetIntegerOptionValue(nullptr, kInt, 1), 0);
    EXPECT_EQ(signals.count(), 0);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(db, kInt), 5);
}

// --- Copies ----------------------------------------------------------------

TEST_F(OptionsDatabaseTest, CopiesAcrossClassesAreRefused)
{
    OptionsDatabase *other = OptionsDatabase_New(nullptr, 0);
    OptionsDatabase_AddOption(other, BooleanOption_New(kInt, "Int as bool", 1));
    OptionsDatabase_AddOption(other, IntegerOption_New(kText, "Text as int", 3));
    SignalCounter signals(option(kInt));

    EXPECT_EQ(OptionsDatabase_CopyIntegerOptionValue(db, kInt, other, kInt), 0);
    EXPECT_EQ(OptionsDatabase_CopyBooleanOptionValue(db, kInt, other, kInt), 0);
    EXPECT_EQ(OptionsDatabase_CopyStringOptionValue(db, kText, other, kText), 0);
    EXPECT_EQ(OptionsDatabase_CopyIntegerOptionValue(other, kText, db, kText), 0);
    EXPECT_EQ(OptionsDatabase_CopyPointerOptionValue(db, kPointer, db, kDrive), 0);
    EXPECT_EQ(OptionsDatabase_CopyScsiDeviceOptionValue(db, kDrive, db, kPointer), 0);
    EXPECT_EQ(OptionsDatabase_CopyIntegerOptionValue(db, kInt, other, 99), 0);
    EXPECT_EQ(signals.count(), 0);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(db, kInt), 5);
    EXPECT_EQ(stringValue(db, kText), "hello");
    OptionsDatabase_Destroy(other);
}

TEST_F(OptionsDatabaseTest, CopyGoesThroughTheDestinationsRules)
{
    OptionsDatabase *other = OptionsDatabase_New(nullptr, 0);
    OptionsDatabase_AddOption(other, IntegerOption_New(0, "Same", 5));
    OptionsDatabase_AddOption(other, StringOption_NewWithVariableEncoding(1, "Latin path", "", "caf\xe9"));
    OptionsDatabase_AddOption(other, StringOption_NewWithVariableEncoding(2, "Unset", "", nullptr));
    OptionsDatabase_AddOption(other, ScsiDeviceOption_New(3, "Other drive", Device("Recorder Z", 4, 2).data()));
    SignalCounter intSignals(option(kInt)), textSignals(option(kText)), driveSignals(option(kDrive));

    EXPECT_EQ(OptionsDatabase_CopyIntegerOptionValue(db, kInt, other, 0), 1);
    EXPECT_EQ(intSignals.count(), 0) << "an equal integer is no change";
    // Into a fixed UTF-8 option the foreign bytes arrive converted.
    EXPECT_EQ(OptionsDatabase_CopyStringOptionValue(db, kText, other, 1), 1);
    EXPECT_EQ(stringValue(db, kText), "caf\xc3\xa9");
    EXPECT_EQ(textSignals.count(), 1);
    // Into an ASCII option they are refused.
    EXPECT_EQ(OptionsDatabase_CopyStringOptionValue(db, kAscii, other, 1), 0);
    EXPECT_EQ(OptionsDatabase_CopyStringOptionValue(db, kText, other, 2), 0) << "no value to copy";
    EXPECT_EQ(OptionsDatabase_CopyScsiDeviceOptionValue(db, kDrive, other, 3), 1);
    EXPECT_EQ(driveSignals.count(), 1);
    EXPECT_EQ(deviceName(OptionsDatabase_GetScsiDeviceOptionValue(db, kDrive)), "Recorder Z");
    OptionsDatabase_Destroy(other);
}

// --- Ownership -------------------------------------------------------------

TEST_F(OptionsDatabaseTest, AddOptionRefusesATakenIdAndDropsTheReference)
{
    VornOption *duplicate = IntegerOption_New(kInt, "Another int", 1);
    g_object_add_weak_pointer(G_OBJECT(duplicate), reinterpret_cast<gpointer *>(&duplicate));
    EXPECT_EQ(OptionsDatabase_AddOption(db, duplicate), 0);
    EXPECT_EQ(duplicate, nullptr) << "the refused option was not released";
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(db, kInt), 5);

    GObject *notAnOption = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
    g_object_add_weak_pointer(notAnOption, reinterpret_cast<gpointer *>(&notAnOption));
    EXPECT_EQ(OptionsDatabase_AddOption(db, reinterpret_cast<VornOption *>(notAnOption)), 0);
    EXPECT_EQ(notAnOption, nullptr);
    EXPECT_EQ(OptionsDatabase_AddOption(db, nullptr), 0);
}

TEST_F(OptionsDatabaseTest, DestroyReleasesTheOptionsAndClearsItsGlobal)
{
    VornOption *held = option(kText);
    g_object_add_weak_pointer(G_OBJECT(held), reinterpret_cast<gpointer *>(&held));
    BurnProcessDynamicOptionsDatabase = db;
    OptionsDatabase_Destroy(db);
    db = nullptr;
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(BurnProcessDynamicOptionsDatabase, nullptr);
}

TEST_F(OptionsDatabaseTest, LookupsTakeTheFirstMatchAndCompareNamesExactly)
{
    EXPECT_EQ(OptionNames_GetOptionID(db, "Path"), kPath);
    EXPECT_EQ(OptionNames_GetOptionID(db, "path"), -1);
    EXPECT_EQ(OptionNames_GetOptionID(db, "Path "), -1);
    EXPECT_EQ(OptionNames_GetOptionID(nullptr, "Path"), -1);
    EXPECT_EQ(OptionsDatabase_GetOptionFromID(db, kPath), option(kPath));
    EXPECT_EQ(OptionsDatabase_GetOptionFromID(nullptr, kPath), nullptr);
    EXPECT_STREQ(OptionNames_GetOptionName(db, kPath), "") << "a database without a table";
}

// --- The registry ----------------------------------------------------------

TEST(OptionsDatabaseRegistry, PersistentDatabasesNeedAName)
{
    EXPECT_EQ(OptionsDatabase_New(nullptr, 1), nullptr);
    OptionsDatabase *named = OptionsDatabase_New("Paths", 0);
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(OptionsDatabase_GetName(named), "Paths");
    EXPECT_EQ(writtenText([](FILE *s) { OptionsDatabase_SerializeDatabasesToXML(s, 0); }), "")
        << "a dynamic database is never written, named or not";
    OptionsDatabase_DestroyDatabases();
}

TEST(OptionsDatabaseRegistry, InitCreatesTheApplicationsDatabasesAndDestroyClearsThem)
{
    for (int round = 0; round < 2; ++round) {
        OptionsDatabase_InitDatabases();
        OptionsDatabase *all[] = {GlobalSettingsOptionsDatabase,          CompilationTypesOptionsDatabase,
                                  PathsOptionsDatabase,                   CompilationTypesDynamicOptionsDatabase,
                                  BurnProcessDynamicOptionsDatabase,      NameFactoryDynamicOptionsDatabase};
        for (OptionsDatabase *database : all)
            EXPECT_NE(database, nullptr);
        EXPECT_EQ(OptionsDatabase_GetFromName("GlobalSettings"), GlobalSettingsOptionsDatabase);
        EXPECT_EQ(OptionsDatabase_GetFromName("CompilationTypes"), CompilationTypesOptionsDatabase);
        EXPECT_EQ(OptionsDatabase_GetFromName("Paths"), PathsOptionsDatabase);
        EXPECT_EQ(OptionsDatabase_GetFromName("paths"), nullptr);
        EXPECT_EQ(OptionsDatabase_GetFromName(nullptr), nullptr);
        EXPECT_EQ(OptionsDatabase_GetName(BurnProcessDynamicOptionsDatabase), nullptr);

        // Only the persistent databases are written, in creation order.
        std::string openings;
        const std::string xml = writtenText([](FILE *s) { OptionsDatabase_SerializeDatabasesToXML(s, 0); });
        for (std::size_t at = xml.find("<OptionsDB"); at != std::string::npos; at = xml.find("<OptionsDB", at + 1))
            openings += xml.substr(at, xml.find('\n', at) - at) + "\n";
        EXPECT_EQ(openings,
                  "<OptionsDB name='GlobalSettings'>\n<OptionsDB name='CompilationTypes'>\n"
                  "<OptionsDB name='Paths'>\n");
    }
    OptionsDatabase_DestroyDatabases();
    EXPECT_EQ(GlobalSettingsOptionsDatabase, nullptr);
    EXPECT_EQ(PathsOptionsDatabase, nullptr);
    EXPECT_EQ(NameFactoryDynamicOptionsDatabase, nullptr);
    EXPECT_EQ(OptionsDatabase_GetFromName("CompilationTypes"), nullptr);
    EXPECT_EQ(writtenText([](FILE *s) { OptionsDatabase_SerializeDatabasesToXML(s, 0); }), "");
}

}  // namespace
