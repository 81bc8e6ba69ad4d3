// The parts behind the C interface: the drives-file parser's defaults and
// value forms, and the history log.
#include "DrivesFile.h"
#include "Engine.h"
#include "Messages.h"
#include "TestEnvironment.h"
#include "VornControl.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include "VornPaths.h"

namespace vorn::engine {
namespace {

DrivesFileResult parse(const std::string &text)
{
    Messages messages;
    return parseDrivesFile(text, "/discs", messages);
}

TEST(DrivesFileParserTest, FillsDefaultsAndReadsEveryValueForm)
{
    auto result = parse("[R]\n"
                        "[W]\nName = Spaced Name \nCapabilities=0x10409\nWriteMedia=0x101, 0x81\n"
                        "ReadMedia=CD-ROM\nDisc=sub/disc.vrn\nTray=open\nHostAdapter=3\nDeviceId=9\n"
                        "WriteSpeeds.cd-r=1x; 2x ;1x\n"
                        "[Abs]\nDisc=/abs/disc.vrn\nType=2\n");
    ASSERT_FALSE(result.error) << result.error->text;
    ASSERT_EQ(result.drives.size(), 3u);

    const auto &r = result.drives[0];
    EXPECT_EQ(r.name, "R") << "the group names a drive without Name";
    EXPECT_EQ(r.type, VORN_DEVICE_TYPE_RECORDER);
    EXPECT_EQ(r.writeMedia, static_cast<uint32_t>(VORN_MEDIUM_CD_R | VORN_MEDIUM_CD_RW));
    EXPECT_EQ(r.readMedia, r.writeMedia | VORN_MEDIUM_CD_ROM);
    EXPECT_EQ(r.capabilities, defaultCapabilities(VORN_DEVICE_TYPE_RECORDER));
    EXPECT_TRUE(r.disc.empty());
    EXPECT_FALSE(r.trayOpen);

    const auto &w = result.drives[1];
    EXPECT_EQ(w.name, "Spaced Name");
    EXPECT_EQ(w.writeMedia, static_cast<uint32_t>(VORN_MEDIUM_CD_R | VORN_MEDIUM_CD_RW));
    EXPECT_EQ(w.readMedia, w.writeMedia | VORN_MEDIUM_CD_ROM) << "a drive reads what it writes";
    EXPECT_EQ(w.disc, std::filesystem::path("/discs/sub/disc.vrn"));
    EXPECT_EQ(w.trayOpen, true);
    EXPECT_EQ(w.hostAdapter, 3);
    EXPECT_EQ(w.deviceId, 9);
    EXPECT_EQ(w.writeSpeeds.at(VORN_MEDIUM_CD_R), (std::vector<int32_t>{176, 352}));

    const auto &a = result.drives[2];
    EXPECT_EQ(a.disc, std::filesystem::path("/abs/disc.vrn"));
    EXPECT_EQ(a.type, VORN_DEVICE_TYPE_READER);
    EXPECT_EQ(a.writeMedia, 0u);
    EXPECT_EQ(a.capabilities, 0u);
}

TEST(DrivesFileParserTest, ANameOf63BytesFitsAnd64DoNot)
{
    EXPECT_FALSE(parse("[A]\nName=" + std::string(63, 'x') + "\n").error);
    auto refused = parse("[A]\nName=" + std::string(64, 'x') + "\n");
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->line, 2);
}

TEST(DrivesFileParserTest, AKeyBeforeAnyGroupIsRefused)
{
    auto result = parse("# comment\nName=x\n[A]\n");
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->line, 2);
}

TEST(MessagesTest, ArgumentsAreInsertedVerbatimNeverInterpreted)
{
    vorn::test::TempDir dir;
    vorn::test::writeFile(dir / "Hostile.txt", "# hostile\n303=%s%n %1 %3 %2\n200=a\\nb\n");
    Messages m;
    ASSERT_TRUE(m.load(dir / "Hostile.txt"));
    EXPECT_EQ(m.get(msg::kUnknownKey, {"%1", "two"}), "%s%n %1  two");
    EXPECT_EQ(m.get(msg::kUnknownMedium), "a\nb");
    EXPECT_EQ(m.get(msg::kNameTooLong), "the drive name is longer than 63 bytes.")
        << "texts the file lacks come from the built-in table";
    EXPECT_FALSE(m.load(dir / "Missing.txt"));
}

class HistoryLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.engineDir = VORN_ENGINE_DIR;
        settings.languageFile = "Vorn.txt";
        ASSERT_EQ(VornInitEx(&settings, nullptr, -10, 0), VORN_INIT_OK);
    }
    void TearDown() override { VornDone(); }
    VornSettings settings{};
    vorn::test::TempDir dir;
};

TEST_F(HistoryLogTest, AppendsOneLinePerEntryOnceTheFolderIsKnown)
{
    appendHistory(Engine::instance(), "before the folder is known");
    ASSERT_EQ(VornSetOption(VORN_OPTION_HISTORY_LOG_DIR, dir.path().c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "VornHistory.log"));
    appendHistory(Engine::instance(), "Burn to Writer: 1 track, result 0");
    appendHistory(Engine::instance(), "Erase on Writer: quick, result 0");
    std::string text = vorn::test::readFile(dir / "VornHistory.log");
    auto first = text.find('\n');
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.substr(0, first).find("\tBurn to Writer: 1 track, result 0"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\tErase on Writer: quick, result 0\n", first), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.find("before"), std::string::npos);
}

TEST_F(HistoryLogTest, AnUnwritableFolderIsReportedInTheErrorLog)
{
    auto missing = dir / "no" / "such" / "folder";
    ASSERT_EQ(VornSetOption(VORN_OPTION_HISTORY_LOG_DIR, missing.c_str()), 1);
    appendHistory(Engine::instance(), "Burn");
    char *log = VornGetErrorLog();
    EXPECT_NE(std::string(log).find("VornHistory.log cannot be written"), std::string::npos)
        << log;
    VornFreeMem(log);
}

}  // namespace
}  // namespace vorn::engine
