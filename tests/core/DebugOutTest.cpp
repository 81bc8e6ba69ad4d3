// The debug printer: what is printed on which channel and priority, the
// channel maps, long messages, concurrent printing, and a silent start-up.
#include "BasicString.h"
#include "DebugOut.h"
#include "Debugger.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// A printer writing into memory.
class DebugOutTest : public testing::Test {
protected:
    void SetUp() override { stream_ = open_memstream(&buffer_, &size_); }
    void TearDown() override
    {
        std::fclose(stream_);
        std::free(buffer_);
    }
    std::string printed()
    {
        std::fflush(stream_);
        return std::string(buffer_, size_);
    }
    FILE *stream_ = nullptr;
    char *buffer_ = nullptr;
    std::size_t size_ = 0;
};

std::string line(const std::string &channel, const std::string &function, const std::string &colour,
                 const std::string &message)
{
    return "\033[33m" + channel + " \033[36m" + function + ">" + colour + message + "\033[34m\033[0m";
}

TEST_F(DebugOutTest, PrintsVisibleChannelsUpToThePriorityLevel)
{
    CDebugOut out(stream_);
    out.SetCurrentFunction("static int Burn::Start(const char *, int)");
    out.DbgPrint(4, 0, "fatal %d\n", 1);
    out.DbgPrint(2, 3, "trace\n");
    out.DbgPrint(1 << 10, 1, "unnamed channel\n");
    EXPECT_EQ(printed(), line("scsi", "Burn::Start", "\033[31m", "fatal 1\n") +
                             line("main", "Burn::Start", "\033[32m", "trace\n") +
                             line("default", "Burn::Start", "\033[35m", "unnamed channel\n"));

    out.SetPriorityLevel(1);
    out.DeleteChannels(4);
    out.DbgPrint(2, 2, "above the level\n");
    out.DbgPrint(4, 0, "hidden channel\n");
    out.SetVisibleChannels(0);
    out.DbgPrint(1, 0, "nothing visible\n");
    out.AddChannels(8);
    out.SetCurrentChannel(8);
    out.DbgDefaultPrint(2, "still above\n");
    out.FatalPrint("shown\n");
    out.TracePrint("trace above the level\n");
    const std::string all = printed();
    EXPECT_EQ(all.substr(all.find("\033[33mfilesystems")), line("filesystems", "Burn::Start", "\033[31m", "shown\n"));
}

TEST_F(DebugOutTest, ChannelMapsAndAllocation)
{
    CDebugOut out(stream_);
    EXPECT_EQ(out.AllocateChannel(), 64u);
    EXPECT_EQ(out.AllocateChannel(), 128u);
    out.AddFileToChannelMapEntry(128, "Writer.cpp");
    EXPECT_EQ(out.GetChannelForFile("/src/engine/Writer.cpp"), 128u) << "the folder does not matter";
    EXPECT_EQ(out.GetChannelForFile("Writer.cpp"), 128u);
    EXPECT_EQ(out.GetChannelForFile("/src/Writer.cpp.bak"), 1u);
    EXPECT_EQ(out.GetChannelForFile(nullptr), 1u);
    out.SetChannelName(128, "writer");
    out.SetCurrentFunction("plain");
    out.DbgPrint(128, 3, "x");
    EXPECT_EQ(printed(), line("writer", "plain", "\033[32m", "x"));
}

TEST_F(DebugOutTest, MessageLongerThanTheBufferIsCutWithAWarning)
{
    CDebugOut out(stream_);
    const std::string big(3000, 'x');
    out.DbgPrint(1, 3, "%s", big.c_str());
    const std::string all = printed();
    EXPECT_EQ(all.find("\033[31mDbgPrint: buffer was trunctated!!!\a\a\a\033[34m"), 0u);
    EXPECT_NE(all.find(std::string(CDebugOut::kMessageBufferBytes - 1, 'x')), std::string::npos);
    EXPECT_EQ(all.find(std::string(CDebugOut::kMessageBufferBytes, 'x')), std::string::npos);
}

TEST_F(DebugOutTest, ConcurrentPrintsNeverInterleave)
{
    CDebugOut out(stream_);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&out, t] {
            for (int i = 0; i < 200; ++i)
                out.DbgPrint(1, 3, "thread %d line %d\n", t, i);
        });
    for (auto &thread : threads)
        thread.join();
    std::istringstream lines(printed());
    const std::regex whole("^\033\\[33mdefault \033\\[36m>\033\\[32mthread [0-3] line [0-9]+$");
    // Each message ends in a line feed, so the colour reset of one message
    // opens the next line.
    const std::string reset = "\033[34m\033[0m";
    int count = 0;
    for (std::string text; std::getline(lines, text);) {
        if (text.starts_with(reset))
            text.erase(0, reset.size());
        if (text.empty())
            continue;
        ASSERT_TRUE(std::regex_match(text, whole)) << text;
        ++count;
    }
    EXPECT_EQ(count, 800);
}

TEST(DebuggerChannels, ConfiguredProcessPrinterIsSilent)
{
    DebuggerChannels_Configure();
    EXPECT_EQ(debugger().VisibleChannels(), 0u);
    testing::internal::CaptureStdout();
    debugger_TracePrint("should not appear %d\n", 1);
    debugger().FatalPrint("nor this\n");
    debugger_DummyOut("nor the trace call\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(UnicodeHelpers, ConvertCopyMeasureAndCompare)
{
    const char utf8[] = "caf\xc3\xa9 \xf0\x9d\x84\x9e";  // e-acute and a character outside the BMP
    const CBasicString<char16_t> wide = ConvertUnicode(utf8);
    EXPECT_EQ(wide.Length(), 7u) << "the last character takes two units";
    EXPECT_EQ(UnicodeStringLen(wide.c_str()), 7u);
    EXPECT_STREQ(ConvertUnicode(wide.c_str()).c_str(), utf8);
    EXPECT_TRUE(ConvertUnicode("bad \xff").IsEmpty());

    char16_t small[7];
    EXPECT_EQ(UnicodeStrCpy(small, wide.c_str(), 7), 5u) << "a surrogate pair is not cut in half";
    EXPECT_EQ(UnicodeStringCmp(small, u"caf\u00e9 "), 0);
    EXPECT_LT(UnicodeStringCmp(u"abc", u"abd"), 0);
    EXPECT_GT(UnicodeStringCmp(u"abc", u"ab"), 0);
    EXPECT_LT(UnicodeStringCmp(nullptr, u""), 0);
    EXPECT_EQ(UnicodeStrCpy(small, nullptr, 7), 0u);
    EXPECT_EQ(small[0], 0);
}

}  // namespace
