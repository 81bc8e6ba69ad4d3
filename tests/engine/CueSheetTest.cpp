// The cue sheet reader and the FreeDB disc id, behind the C interface.
#include "CueSheet.h"
#include "DiscInfo.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn::engine {
namespace {

using test::TempDir;
using test::writeFile;

// --- FreeDB disc ids -------------------------------------------------------
// Each expected id is worked out by hand from the published algorithm: the
// digit sums of every track's start in whole seconds (150 frames added),
// modulo 255; the seconds from the first track to the lead-out; the count.

std::vector<vrn::Track> toc(std::vector<std::uint32_t> starts, std::uint32_t lastLength)
{
    std::vector<vrn::Track> out;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        vrn::Track t;
        t.number = static_cast<std::uint32_t>(i + 1);
        t.start = starts[i];
        t.length = i + 1 < starts.size() ? starts[i + 1] - starts[i] : lastLength;
        out.push_back(t);
    }
    return out;
}

TEST(FreedbDiscId, MatchesHandWorkedTables)
{
    // One 3-minute track: sum 2 (0:02), 180 s to the lead-out at 3:02.
    EXPECT_EQ(freedbDiscId(toc({0}, 13500)), 0x0200B401u);
    // Three tracks at 0:02, 4:02, 8:02 (digit sums 2, 8, 14 = 24) and a
    // lead-out at 13:02 (782 s): 780 s of play.
    EXPECT_EQ(freedbDiscId(toc({0, 18000, 36000}, 22500)), 0x18030C03u);
    // Two data sessions: 0:02 and 156 s (sum 2 + 12), lead-out at 158 s.
    EXPECT_EQ(freedbDiscId(toc({0, 11584}, 182)), 0x0E009C02u);
    // Sixteen tracks at 99, 189, ..., 1449 s: fifteen digit sums of 18 and
    // one of 27 (999) make 297, which wraps to 42; lead-out at 1459 s, first
    // at 99 s: 1360 s.
    std::vector<std::uint32_t> starts;
    for (std::uint32_t s : {99u, 189u, 279u, 369u, 459u, 549u, 639u, 729u, 819u, 909u, 999u,
                            1089u, 1179u, 1269u, 1359u, 1449u})
        starts.push_back(s * 75 - 150);
    EXPECT_EQ(freedbDiscId(toc(starts, 750)), 0x2A055010u);
}

TEST(FreedbDiscId, NoTracksGiveZero)
{
    EXPECT_EQ(freedbDiscId({}), 0u);
}

// --- Cue sheets ------------------------------------------------------------

class CueSheetTest : public ::testing::Test {
protected:
    // A raw file of `blocks` blocks of `size` bytes.
    void makeFile(const std::string &name, std::uint32_t blocks, std::uint32_t size = 2352)
    {
        writeFile(dir / name, std::string(std::size_t(blocks) * size, '\x11'));
    }
    vrn::Result<CueSheet> parse(const std::string &text) { return parseCueSheetText(text, dir.path()); }

    TempDir dir;
};

TEST_F(CueSheetTest, OneBinaryFileWithGapsGivesTrackBoundaries)
{
    makeFile("album.bin", 3000);
    auto sheet = parse("CATALOG 0123456789012\n"
                       "PERFORMER \"The Band\"\nTITLE \"The Album\"\n"
                       "FILE \"album.bin\" BINARY\n"
                       "  TRACK 01 AUDIO\n    TITLE \"One\"\n    ISRC ABCDE1234567\n"
                       "    INDEX 01 00:00:00\n"
                       "  TRACK 02 AUDIO\n    FLAGS DCP PRE\n    INDEX 00 00:10:00\n"
                       "    INDEX 01 00:12:00\n"
                       "  TRACK 03 AUDIO\n    PREGAP 00:01:00\n    INDEX 01 00:30:00\n");
    ASSERT_TRUE(sheet) << sheet.error();
    const auto &s = sheet.value();
    EXPECT_EQ(s.catalog, "0123456789012");
    EXPECT_EQ(s.cdText.title, "The Album");
    ASSERT_EQ(s.tracks.size(), 3u);
    EXPECT_EQ(s.tracks[0].cdText.title, "One");
    EXPECT_EQ(s.tracks[0].isrc, "ABCDE1234567");
    EXPECT_EQ(s.tracks[0].length(), 750u);  // up to track 2's INDEX 00
    EXPECT_EQ(s.tracks[1].pregap(), 150u);
    EXPECT_EQ(s.tracks[1].length(), 2250u - 900u);
    EXPECT_EQ(s.tracks[1].flags, vrn::kTrackCopyPermitted | vrn::kTrackPreEmphasis);
    EXPECT_EQ(s.tracks[2].pregap(), 75u);
    EXPECT_EQ(s.tracks[2].length(), 3000u - 2250u);

    auto placed = placeCueSheet(s, 0, true);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].trackSpec.start, 0u);
    EXPECT_EQ(placed[0].trackSpec.pregap, 150u);
    EXPECT_EQ(placed[1].trackSpec.start, 750u + 150u);
    EXPECT_EQ(placed[2].trackSpec.start, placed[1].trackSpec.start + placed[1].trackSpec.length + 75u);
}

TEST_F(CueSheetTest, MixedModeSheetPutsDataFirstAndShortAudioIsPadded)
{
    makeFile("data.iso", 300, 2048);
    // 1000 bytes past whole blocks: the last block is padded with silence.
    writeFile(dir / "song.raw", std::string(2352 * 100 + 1000, '\x22'));
    auto sheet = parse("FILE data.iso BINARY\r\nTRACK 01 MODE1/2048\r\nINDEX 01 00:00:00\r\n"
                       "FILE song.raw MOTOROLA\r\nTRACK 02 AUDIO\r\nPREGAP 00:02:00\r\n"
                       "INDEX 01 00:00:00\r\n");
    ASSERT_TRUE(sheet) << sheet.error();
    const auto &s = sheet.value();
    EXPECT_EQ(s.tracks[0].blockSize, 2048u);
    EXPECT_EQ(s.tracks[0].length(), 300u);
    EXPECT_EQ(s.tracks[1].length(), 101u);
    auto placed = placeCueSheet(s, 0, true);
    EXPECT_EQ(placed[1].trackSpec.start, 300u + 150u);

    std::vector<std::uint8_t> block;
    ASSERT_TRUE(readCueTrackBlocks(s, 1, 100, 1, block));
    EXPECT_EQ(block[999], 0x22);
    EXPECT_EQ(block[1000], 0);  // padding
    ASSERT_TRUE(readCueTrackBlocks(s, 1, -2, 1, block));
    EXPECT_EQ(block[0], 0) << "the pregap is silence";
}

TEST_F(CueSheetTest, LaterSessionStartsAfterItsPregap)
{
    makeFile("a.bin", 500);
    auto sheet = parse("FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    ASSERT_TRUE(sheet) << sheet.error();
    auto placed = placeCueSheet(sheet.value(), 20000, false);
    EXPECT_EQ(placed[0].trackSpec.start, 20150u);
    EXPECT_EQ(placed[0].trackSpec.pregap, 150u);
}

TEST_F(CueSheetTest, WaveFilesMustBeCdAudio)
{
    // A minimal WAVE header of 8 kHz mono audio.
    std::string wav = "RIFF";
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            wav += static_cast<char>(v >> (8 * i));
    };
    le(36 + 4, 4);
    wav += "WAVEfmt ";
    le(16, 4);
    le(1, 2), le(1, 2), le(8000, 4), le(16000, 4), le(2, 2), le(16, 2);
    wav += "data";
    le(4, 4);
    wav += "abcd";
    writeFile(dir / "mono.wav", wav);
    auto sheet = parse("FILE mono.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    ASSERT_FALSE(sheet);
    EXPECT_NE(sheet.error().find("line 1:"), std::string::npos) << sheet.error();
    EXPECT_NE(sheet.error().find("not CD audio"), std::string::npos) << sheet.error();
}

struct BadSheet {
    const char *name;
    const char *text;
    const char *expected;  // the start of the error
};

class BadCueSheetTest : public CueSheetTest, public ::testing::WithParamInterface<BadSheet> {};

TEST_P(BadCueSheetTest, IsRefusedNamingTheLine)
{
    makeFile("a.bin", 1000);
    makeFile("odd.iso", 10, 1000);
    auto sheet = parse(GetParam().text);
    ASSERT_FALSE(sheet) << "accepted: " << GetParam().text;
    EXPECT_EQ(sheet.error().rfind(GetParam().expected, 0), 0u) << sheet.error();
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, BadCueSheetTest,
    ::testing::Values(
        BadSheet{"Empty", "REM nothing\n", "the cue sheet holds no track"},
        BadSheet{"TrackBeforeFile", "TRACK 01 AUDIO\n", "line 1:"},
        BadSheet{"MissingFile", "FILE gone.bin BINARY\nTRACK 01 AUDIO\n", "line 1:"},
        BadSheet{"UnknownCommand", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFOO\n",
                 "line 4:"},
        BadSheet{"UnknownMode", "FILE a.bin BINARY\nTRACK 01 CDG\n", "line 2:"},
        BadSheet{"NoIndex01", "FILE a.bin BINARY\nTRACK 01 AUDIO\nTRACK 02 AUDIO\n", "line 2:"},
        BadSheet{"NoIndex01AtEnd", "FILE a.bin BINARY\nTRACK 01 AUDIO\n", "line 2:"},
        BadSheet{"TracksOutOfOrder",
                 "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\n",
                 "line 4:"},
        BadSheet{"BadTime", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:75:00\n", "line 3:"},
        BadSheet{"BadFrames", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", "line 3:"},
        BadSheet{"IndexBackwards",
                 "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:02:00\nTRACK 02 AUDIO\n"
                 "INDEX 01 00:01:00\n",
                 "line 5:"},
        BadSheet{"IndexPastEnd", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 01:00:00\n",
                 "line 2:"},
        BadSheet{"UnclosedQuote", "FILE \"a.bin BINARY\n", "line 1:"},
        BadSheet{"BadIsrc", "FILE a.bin BINARY\nTRACK 01 AUDIO\nISRC abc\n", "line 3:"},
        BadSheet{"BadCatalog", "CATALOG 12\n", "line 1:"},
        BadSheet{"Mp3File", "FILE a.bin MP3\n", "line 1:"},
        BadSheet{"PartialDataSectors",
                 "FILE odd.iso BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n", "line 2:"},
        BadSheet{"FileWithoutTrack",
                 "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE a.bin BINARY\n",
                 "line 4:"},
        BadSheet{"TextTooLong",
                 "TITLE \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                 "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                 "xxxxxxxxxxxxxxxxxxxxx\"\n",
                 "line 1:"}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorn::engine
