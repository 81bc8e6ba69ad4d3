// The XML form of options and databases: what is written, byte for byte, and
// what reading it back (or reading something broken) does to the databases.
#include "OptionsTestSupport.h"

#include "OptionsXMLReader.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using vorn::test::Device;
using vorn::test::deviceName;
using vorn::test::stringValue;
using vorn::test::writtenText;

namespace {

enum Id : gint32 {
    kFlagOn, kFlagOdd, kCount, kBig, kTitle, kLatinTitle, kLastFolder, kUnsetText, kWindow, kRecorder,
    kLongRecorder, kImagesPath = 0, kEmptyPath = 1
};

const char kLongDriveName[] = "Optical Drive Model With A Name Of Fifty Bytes.....";

// Two persistent databases of our own under the names the reader knows, and a
// dynamic one that must never be written. `edited` gives every option a value
// other than its default, so that a read can be told from no read.
void createDatabases(bool edited)
{
    OptionsDatabase_DestroyDatabases();
    OptionsDatabase *settings = OptionsDatabase_New("GlobalSettings", 1);
    GlobalSettingsOptionsDatabase = settings;
    const Device recorder = edited ? Device("Drive 'Q' & <W> \"2\"", 1, 2) : Device("Default drive", 0, 0);
    const Device longRecorder = edited ? Device(kLongDriveName, 3, 4) : Device("Short", 0, 1);
    OptionsDatabase_AddOption(settings, BooleanOption_New(kFlagOn, "Flag on", edited ? 0 : 1));
    OptionsDatabase_AddOption(settings, BooleanOption_New(kFlagOdd, "Flag odd", edited ? 2 : 1));
    OptionsDatabase_AddOption(settings, IntegerOption_New(kCount, "Count",
                                                          edited ? std::numeric_limits<gint64>::min() : 0));
    OptionsDatabase_AddOption(settings, IntegerOption_New(kBig, "Big",
                                                          edited ? std::numeric_limits<gint64>::max() : -1));
    OptionsDatabase_AddOption(settings, StringOption_NewUnicode(kTitle, "Title",
                                                                edited ? "It's <b> & \"q\" > x" : "plain"));
    OptionsDatabase_AddOption(settings, StringOption_NewWithEncoding(kLatinTitle, "Latin title", "ISO-8859-1",
                                                                     edited ? "caf\xe9 & cr\xe8me" : "tea"));
    OptionsDatabase_AddOption(settings, StringOption_NewWithVariableEncoding(
                                            kLastFolder, "Last folder", "", edited ? "/data/caf\xe9" : ""));
    OptionsDatabase_AddOption(settings, StringOption_NewWithVariableEncoding(kUnsetText, "Unset text", "",
                                                                             edited ? "set" : nullptr));
    OptionsDatabase_AddOption(settings, PointerOption_New(kWindow, "Window", edited ? settings : nullptr));
    OptionsDatabase_AddOption(settings, ScsiDeviceOption_New(kRecorder, "Recorder", recorder.data()));
    OptionsDatabase_AddOption(settings, ScsiDeviceOption_New(kLongRecorder, "Long recorder", longRecorder.data()));

    OptionsDatabase *dynamic = OptionsDatabase_New(nullptr, 0);
    OptionsDatabase_AddOption(dynamic, BooleanOption_New(0, "Never written", 1));

    OptionsDatabase *paths = OptionsDatabase_New("Paths", 1);
    PathsOptionsDatabase = paths;
    OptionsDatabase_AddOption(paths, StringOption_NewWithVariableEncoding(kImagesPath, "Images path", "",
                                                                          edited ? "/srv/images" : ""));
    OptionsDatabase_AddOption(paths, StringOption_NewWithVariableEncoding(kEmptyPath, "Empty path", "", ""));
}

std::string writeDatabases(int indent = 0)
{
    return writtenText([indent](FILE *s) { OptionsDatabase_SerializeDatabasesToXML(s, indent); });
}

// Feeds `text` in pieces of `pieceBytes`; true when every piece parsed.
bool readDocument(const std::string &text, std::size_t pieceBytes = 255, std::string *message = nullptr)
{
    OptionsXMLReader *reader = OptionsXMLReader_New();
    bool ok = true;
    for (std::size_t at = 0; at < text.size() && ok; at += pieceBytes) {
        GError *error = nullptr;
        const std::string piece = text.substr(at, pieceBytes);
        ok = OptionsXMLReader_Feed(reader, piece.data(), static_cast<gssize>(piece.size()), &error) == 1;
        if (error && message)
            *message = error->message;
        g_clear_error(&error);
    }
    OptionsXMLReader_Free(reader);
    return ok;
}

// What a settings file puts before its databases.
const char kSettingsHeader[] = "<!-- comment -->\n<?xml version='1.0' encoding='UTF-8'?>\n"
                               "<VornLinux version='3.0.1.3' />\n";

std::string settingsDocument(const std::string &optionLines)
{
    return kSettingsHeader + std::string("<OptionsDB name='GlobalSettings'>\n") + optionLines + "</OptionsDB>\n";
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

class OptionsXMLTest : public testing::Test {
protected:
    void SetUp() override { createDatabases(false); }
    void TearDown() override { OptionsDatabase_DestroyDatabases(); }
    OptionsDatabase *settings() { return GlobalSettingsOptionsDatabase; }
};

// --- Writing ---------------------------------------------------------------

class OptionsXMLGoldenTest : public testing::TestWithParam<int> {
protected:
    void TearDown() override { OptionsDatabase_DestroyDatabases(); }
};

TEST_P(OptionsXMLGoldenTest, WrittenDatabasesMatchTheGoldenFileByteForByte)
{
    createDatabases(true);
    const std::string written = writeDatabases(GetParam());
    const auto golden = vorn::test::sourceDir() / "tests/core/golden" /
                        ("OptionsDatabases-indent" + std::to_string(GetParam()) + ".xml");
    if (std::getenv("VORN_UPDATE_GOLDEN"))
        vorn::test::writeFile(golden, written);
    EXPECT_EQ(written, vorn::test::readFile(golden))
        << "run with VORN_UPDATE_GOLDEN=1 to rewrite " << golden << " and review the diff";
}

INSTANTIATE_TEST_SUITE_P(Indents, OptionsXMLGoldenTest, testing::Values(0, 3));

TEST(OptionXMLLine, EachClassWritesOneLineAndPointersNone)
{
    VornOption *pointer = PointerOption_New(0, "Window", nullptr);
    VornOption *integer = IntegerOption_New(1, "Speed", -42);
    EXPECT_EQ(writtenText([&](FILE *s) { Option_SerializeOptionToXML(pointer, s, 2); }), "");
    EXPECT_EQ(writtenText([&](FILE *s) { Option_SerializeOptionToXML(integer, s, 2); }),
              "  <Option name='Speed' type='integer' value='-42' />\n");
    g_object_unref(pointer);
    g_object_unref(integer);
}

TEST_F(OptionsXMLTest, ValuesThatCannotBeConvertedStillWriteValidMarkup)
{
    // Bytes that are not what the encoding claims: the line is still UTF-8 and
    // the document still parses, so one bad value cannot lose the others.
    OptionsDatabase_AddOption(settings(), StringOption_NewWithVariableEncoding(20, "Odd", "", "x"));
    auto *odd = VORN_STRING_OPTION(OptionsDatabase_GetOptionFromID(settings(), 20));
    g_free(odd->encoding);
    odd->encoding = g_strdup("NO-SUCH-CHARSET");
    g_free(odd->value);
    odd->value = g_strdup("bad \xff byte");
    const std::string written = writeDatabases();
    EXPECT_TRUE(g_utf8_validate(written.data(), static_cast<gssize>(written.size()), nullptr));
    std::string message;
    EXPECT_TRUE(readDocument(written, 255, &message)) << message;
}

// --- Reading back ----------------------------------------------------------

TEST_F(OptionsXMLTest, WrittenValuesReadBackUnchanged)
{
    createDatabases(true);
    const std::string written = writeDatabases();
    createDatabases(false);
    std::string message;
    ASSERT_TRUE(readDocument(kSettingsHeader + written, 255, &message)) << message;

    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kFlagOn), 0);
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kFlagOdd), 0) << "only 1 is written as true";
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kCount), std::numeric_limits<gint64>::min());
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kBig), std::numeric_limits<gint64>::max());
    EXPECT_EQ(stringValue(settings(), kTitle), "It's <b> & \"q\" > x");
    EXPECT_EQ(stringValue(settings(), kLatinTitle), "caf\xe9 & cr\xe8me");
    EXPECT_EQ(stringValue(settings(), kLastFolder), "/data/caf\xe9") << "the same bytes, not their UTF-8 form";
    EXPECT_STREQ(VORN_STRING_OPTION(OptionsDatabase_GetOptionFromID(settings(), kLastFolder))->encoding,
                 "ISO-8859-1");
    EXPECT_EQ(stringValue(settings(), kUnsetText), "set");
    EXPECT_EQ(OptionsDatabase_GetPointerOptionValue(settings(), kWindow), nullptr);
    EXPECT_EQ(stringValue(PathsOptionsDatabase, kImagesPath), "/srv/images");

    const VornDeviceEntry *recorder = OptionsDatabase_GetScsiDeviceOptionValue(settings(), kRecorder);
    EXPECT_EQ(deviceName(recorder), "Drive 'Q' & <W> \"2\"");
    EXPECT_EQ(recorder->hostAdapter, 1);
    EXPECT_EQ(recorder->deviceId, 2);
    const VornDeviceEntry *longRecorder = OptionsDatabase_GetScsiDeviceOptionValue(settings(), kLongRecorder);
    EXPECT_EQ(deviceName(longRecorder), std::string(kLongDriveName).substr(0, 31));
    EXPECT_EQ(longRecorder->hostAdapter, 3);

    // What was read writes out the same again, apart from the cut name.
    const std::string rewritten = writeDatabases();
    EXPECT_EQ(rewritten.size(), written.size() - (std::string(kLongDriveName).size() - 31));
}

TEST_F(OptionsXMLTest, LineBreaksTabsAndControlCharactersSurviveTheRoundTrip)
{
    const std::string text = "first line\nsecond\tline\r\n\x01 end";
    const std::size_t lineCount = lines(writeDatabases()).size();
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(settings(), kTitle, text.c_str()), 1);
    const std::string written = writeDatabases();
    EXPECT_EQ(lines(written).size(), lineCount) << "an option takes exactly one line";
    createDatabases(false);
    std::string message;
    ASSERT_TRUE(readDocument(kSettingsHeader + written, 255, &message)) << message;
    EXPECT_EQ(stringValue(settings(), kTitle), text);
}

TEST_F(OptionsXMLTest, ReadDeviceGetsAFreshInvalidEntryBesideItsAddressAndName)
{
    Device full("Old", 7, 7);
    full.bytes()[500] = 0x77;
    OptionsDatabase_SetScsiDeviceOptionValue(settings(), kRecorder, full.data());
    ASSERT_TRUE(readDocument(settingsDocument(
        "  <Option name='Recorder' type='scsi_device' device_name='New' scsi_id='0' host_adapter='-1' />\n")));
    const VornDeviceEntry *entry = OptionsDatabase_GetScsiDeviceOptionValue(settings(), kRecorder);
    EXPECT_EQ(deviceName(entry), "New");
    EXPECT_EQ(entry->deviceId, 0);
    EXPECT_EQ(entry->hostAdapter, -1);
    EXPECT_EQ(vorn::test::bytesOf(entry)[500], 0);
}

TEST_F(OptionsXMLTest, BooleanIsTrueOnlyForTheExactWordTrue)
{
    for (const char *text : {"TRUE", "1", "yes", " true", ""}) {
        OptionsDatabase_SetBooleanOptionValue(settings(), kFlagOn, 1);
        ASSERT_TRUE(readDocument(
            settingsDocument(std::string("  <Option name='Flag on' type='boolean' value='") + text + "' />\n")));
        EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kFlagOn), 0) << text;
    }
    ASSERT_TRUE(readDocument(settingsDocument("  <Option name='Flag on' type='boolean' value='true' />\n")));
    EXPECT_EQ(OptionsDatabase_GetBooleanOptionValue(settings(), kFlagOn), 1);
}

TEST_F(OptionsXMLTest, ElementsThatDoNotFollowTheWrittenFormChangeNothing)
{
    const char *ignored[] = {
        // attributes out of order
        "<Option type='boolean' name='Flag on' value='false' />",
        "<Option name='Count' value='7' type='integer' />",
        "<Option name='Title' type='string' value='x' encoding='UTF-8' />",
        "<Option name='Recorder' type='scsi_device' device_name='X' host_adapter='5' scsi_id='6' />",
        // missing or misnamed attributes
        "<Option name='Count' type='integer' />",
        "<Option name='Title' type='string' value='x' />",
        "<Option name='Recorder' type='scsi_device' device_name='X' scsi_id='6' />",
        "<Option Name='Count' type='integer' value='7' />",
        "<Option name='Count' />",
        "<Option />",
        // unknown option, type word, or a type that is not the option's
        "<Option name='No such option' type='integer' value='7' />",
        "<Option name='Count' type='int' value='7' />",
        "<Option name='Flag on' type='integer' value='0' />",
        "<Option name='Count' type='string' encoding='UTF-8' value='7' />",
        "<Option name='Title' type='scsi_device' device_name='X' scsi_id='1' host_adapter='1' />",
        // values that do not parse
        "<Option name='Count' type='integer' value='seven' />",
        "<Option name='Count' type='integer' value='' />",
        "<Option name='Count' type='integer' value='99999999999999999999' />",
        "<Option name='Recorder' type='scsi_device' device_name='X' scsi_id='one' host_adapter='5' />",
        "<Option name='Recorder' type='scsi_device' device_name='X' scsi_id='1' host_adapter='4294967296' />",
    };
    const std::string before = writeDatabases();
    for (const char *element : ignored) {
        std::string message;
        ASSERT_TRUE(readDocument(settingsDocument(std::string("  ") + element + "\n"), 255, &message))
            << element << ": " << message;
        EXPECT_EQ(writeDatabases(), before) << element;
    }
}

TEST_F(OptionsXMLTest, FixedCharsetTakesCharactersItLacksAsQuestionMarks)
{
    ASSERT_TRUE(readDocument(settingsDocument(
        "  <Option name='Latin title' type='string' encoding='UTF-8' value='5 \xe2\x82\xac caf\xc3\xa9' />\n")));
    EXPECT_EQ(stringValue(settings(), kLatinTitle), "5 ? caf\xe9");
}

TEST_F(OptionsXMLTest, OptionsCountOnlyInsideAKnownDatabase)
{
    const std::string document =
        "<Option name='Count' type='integer' value='1' />\n"
        "<OptionsDB name='Unknown'>\n  <Option name='Count' type='integer' value='2' />\n</OptionsDB>\n"
        "<OptionsDB>\n  <Option name='Count' type='integer' value='3' />\n</OptionsDB>\n"
        "<OptionsDB name='GlobalSettings'>\n</OptionsDB>\n"
        "<Option name='Count' type='integer' value='4' />\n"
        "<OptionsDB name='Paths'>\n  <Option name='Count' type='integer' value='5' />\n</OptionsDB>\n";
    const std::string before = writeDatabases();
    ASSERT_TRUE(readDocument(document));
    EXPECT_EQ(writeDatabases(), before);
}

TEST_F(OptionsXMLTest, PieceSizeDoesNotMatter)
{
    createDatabases(true);
    const std::string written = kSettingsHeader + writeDatabases();
    createDatabases(false);
    ASSERT_TRUE(readDocument(written, written.size()));
    const std::string readWhole = writeDatabases();
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{255}}) {
        createDatabases(false);
        ASSERT_TRUE(readDocument(written, piece)) << piece;
        EXPECT_EQ(writeDatabases(), readWhole) << "pieces of " << piece;
    }
}

// --- Broken documents ------------------------------------------------------

struct BrokenDocument {
    const char *what;
    const char *fault;
};

class OptionsXMLBrokenTest : public testing::TestWithParam<BrokenDocument> {
protected:
    void SetUp() override { createDatabases(false); }
    void TearDown() override { OptionsDatabase_DestroyDatabases(); }
};

TEST_P(OptionsXMLBrokenTest, KeepsWhatWasReadBeforeTheFaultAndNothingAfter)
{
    const std::string document = settingsDocument(std::string("  <Option name='Count' type='integer' value='42' />\n") +
                                                  GetParam().fault +
                                                  "\n  <Option name='Big' type='integer' value='7' />\n");
    std::string message;
    EXPECT_FALSE(readDocument(document, 255, &message));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, kCount), 42);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, kBig), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OptionsXMLBrokenTest,
    testing::Values(BrokenDocument{"UnclosedQuote", "<Option name='Big' type='integer value='1' />"},
                    BrokenDocument{"UnknownEntity", "<Option name='Title' type='string' encoding='UTF-8' value='&bogus;' />"},
                    BrokenDocument{"MismatchedEnd", "</Paths>"},
                    BrokenDocument{"InvalidUtf8", "<Option name='Title' type='string' encoding='UTF-8' value='\xff' />"},
                    BrokenDocument{"UnquotedValue", "<Option name=Big type='integer' value='1' />"},
                    BrokenDocument{"BadElementName", "<1Option name='Big' type='integer' value='1' />"},
                    BrokenDocument{"TextBetweenTags", "<Option <Option />"}),
    [](const testing::TestParamInfo<BrokenDocument> &info) { return std::string(info.param.what); });

TEST_F(OptionsXMLTest, AFeedAfterAFaultIsRefused)
{
    OptionsXMLReader *reader = OptionsXMLReader_New();
    EXPECT_EQ(OptionsXMLReader_Feed(reader, "<OptionsDB name='GlobalSettings'>\n</Paths>", -1, nullptr), 0);
    EXPECT_EQ(OptionsXMLReader_Feed(reader, "<Option name='Count' type='integer' value='9' />", -1, nullptr), 0);
    OptionsXMLReader_Free(reader);
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kCount), 0);
}

TEST_F(OptionsXMLTest, TextBeforeTheFirstElementIsAFault)
{
    std::string message;
    EXPECT_FALSE(readDocument("junk" + settingsDocument("  <Option name='Count' type='integer' value='5' />\n"), 255,
                              &message));
    EXPECT_EQ(OptionsDatabase_GetIntegerOptionValue(settings(), kCount), 0);
}

// Cut anywhere, a document applies exactly the elements that were complete
// before the cut, and never reports an error: the end of input is
// not signalled, so a cut-off last element is simply dropped.
TEST_F(OptionsXMLTest, ADocumentCutAnywhereAppliesEveryCompleteElement)
{
    createDatabases(true);
    const std::string document = kSettingsHeader + writeDatabases();
    const std::vector<std::string> editedLines = lines(writeDatabases());
    createDatabases(false);
    const std::vector<std::string> defaultLines = lines(writeDatabases());
    ASSERT_TRUE(readDocument(document));
    const std::vector<std::string> readLines = lines(writeDatabases());
    ASSERT_EQ(editedLines.size(), defaultLines.size());

    for (std::size_t cut = 0; cut <= document.size(); ++cut) {
        createDatabases(false);
        const std::string prefix = document.substr(0, cut);
        ASSERT_TRUE(readDocument(prefix)) << "cut at " << cut;
        const std::vector<std::string> now = lines(writeDatabases());
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (editedLines[i].find("<Option ") == std::string::npos)
                continue;
            const std::size_t end = document.find(editedLines[i]);
            ASSERT_NE(end, std::string::npos);
            // An empty element takes effect at its closing slash, before the ">".
            const bool complete = end + editedLines[i].size() - 1 <= cut;
            EXPECT_EQ(now[i], complete ? readLines[i] : defaultLines[i]) << "cut at " << cut;
        }
    }
}

// Damage one byte of a good document: reading never crashes, and every option
// whose line ends before the damage is applied.
TEST_F(OptionsXMLTest, DamagedDocumentsKeepEverythingBeforeTheDamage)
{
    std::uint64_t seed = 20260612;
    if (const char *text = std::getenv("VORN_TEST_SEED"))
        seed = std::strtoull(text, nullptr, 10);
    SCOPED_TRACE("seed " + std::to_string(seed) + " (set VORN_TEST_SEED to replay)");
    std::mt19937_64 random(seed);

    createDatabases(true);
    const std::string document = kSettingsHeader + writeDatabases();
    const std::vector<std::string> editedLines = lines(writeDatabases());
    createDatabases(false);
    ASSERT_TRUE(readDocument(document));
    const std::vector<std::string> readLines = lines(writeDatabases());
    for (int round = 0; round < 400; ++round) {
        std::string damaged = document;
        const std::size_t at = random() % damaged.size();
        damaged[at] = static_cast<char>(random() % 256);
        createDatabases(false);
        readDocument(damaged, 1 + random() % 300);
        const std::vector<std::string> now = lines(writeDatabases());
        ASSERT_EQ(now.size(), editedLines.size());
        for (std::size_t i = 0; i < now.size(); ++i) {
            const std::size_t start = document.find(editedLines[i]);
            if (editedLines[i].find("<Option ") != std::string::npos && start + editedLines[i].size() < at) {
                EXPECT_EQ(now[i], readLines[i]) << "damage at " << at;
            }
        }
    }
}

}  // namespace
