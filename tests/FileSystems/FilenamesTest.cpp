#include "Filenames.h"
#include "FilenamesPrivate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

struct GFree {
    void operator()(void *p) const noexcept { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

struct Converted {
    std::string text;
    std::string charset;
};

Converted toUnicode(const std::string &name, gint tryUtf8First = 0)
{
    char charset[32] = {};
    GCharPtr text{Filenames_GetUnicodeString(name.c_str(), charset, sizeof charset, tryUtf8First)};
    return {text.get(), charset};
}

std::string display(const std::string &name)
{
    GCharPtr text{Filenames_GetDisplayString(name.c_str())};
    return text.get();
}

// Converts a displayed name back to the bytes it came from.
std::string backTo(const std::string &charset, const std::string &utf8)
{
    gsize written = 0;
    GCharPtr bytes{g_convert(utf8.data(), static_cast<gssize>(utf8.size()), charset.c_str(),
                             "UTF-8", nullptr, &written, nullptr)};
    return bytes ? std::string(bytes.get(), written) : std::string("<conversion failed>");
}

// Sets an environment variable for one test and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(FilenamesUnicode, LatinOneNameEndingInEAcuteIsReadAsIsoLatinOne)
{
    const std::string name = "caf\xE9";
    const Converted converted = toUnicode(name);
    EXPECT_EQ(converted.text, "caf\u00e9");
    EXPECT_EQ(converted.charset, "ISO-8859-1");
    EXPECT_EQ(backTo(converted.charset, converted.text), name);
    EXPECT_EQ(display(name), "caf\u00e9");
}

TEST(FilenamesUnicode, MultibyteLegacyNamesAreReadInTheFirstCharsetThatAcceptsThem)
{
    // EUC-JP comes first among the multibyte charsets.
    const std::string japanese = "\xC6\xFC\xCB\xDC\xB8\xEC";
    Converted converted = toUnicode(japanese);
    EXPECT_EQ(converted.text, "\u65e5\u672c\u8a9e");
    EXPECT_EQ(converted.charset, "EUC-JP");

    // A circled letter of EUC-KR has no place in EUC-JP, so EUC-KR wins.
    const std::string korean = "\xA8\xCD";
    converted = toUnicode(korean);
    EXPECT_EQ(converted.text, "\u24d0");
    EXPECT_EQ(converted.charset, "EUC-KR");
    EXPECT_EQ(backTo(converted.charset, converted.text), korean);
}

TEST(FilenamesUnicode, KoiEightNameIsShownThroughTheFileNameEncodingButNotReportedAsIt)
{
    const std::string russian = "\xD0\xD2\xC9\xD7\xC5\xD4";
    ScopedEnv encoding("G_FILENAME_ENCODING", "KOI8-R");
    EXPECT_EQ(display(russian), "\u043f\u0440\u0438\u0432\u0435\u0442");

    // With a charset buffer the caller must be able to convert back, so the
    // name is read in a listed charset, and converting back gives its bytes.
    const Converted converted = toUnicode(russian);
    EXPECT_EQ(converted.charset, "EUC-JP");
    EXPECT_EQ(backTo(converted.charset, converted.text), russian);
}

TEST(FilenamesUnicode, ValidUtf8IsCopiedAndReportedAsUtf8)
{
    const std::string name = "\u03a9mega \u65e5\u672c.txt";
    for (gint tryUtf8First : {0, 1}) {
        const Converted converted = toUnicode(name, tryUtf8First);
        EXPECT_EQ(converted.text, name) << "try UTF-8 first " << tryUtf8First;
        EXPECT_EQ(converted.charset, "UTF-8") << "try UTF-8 first " << tryUtf8First;
    }
    EXPECT_EQ(display(name), name);
    EXPECT_EQ(display(""), "");
    GCharPtr fromNull{Filenames_GetDisplayString(nullptr)};
    EXPECT_STREQ(fromNull.get(), "");
}

TEST(FilenamesUnicode, CodePointBeyondUnicodeIsNotTakenForUtf8)
{
    // iconv's UTF-8 accepts this lead byte of a code point above U+10FFFF.
    const std::string name = "\xF6\x9C\x83\x9D.txt";
    for (gint tryUtf8First : {0, 1}) {
        const Converted converted = toUnicode(name, tryUtf8First);
        EXPECT_TRUE(g_utf8_validate(converted.text.c_str(), -1, nullptr));
        EXPECT_EQ(converted.charset, "ISO-8859-1");
        EXPECT_EQ(backTo(converted.charset, converted.text), name);
    }
    EXPECT_TRUE(g_utf8_validate(display(name).c_str(), -1, nullptr));
}

TEST(FilenamesUnicode, CharsetBufferIsFilledLikeStrncpy)
{
    // Too short: the first bytes and no terminator; nothing beyond the bound.
    char small[8];
    std::memset(small, '#', sizeof small);
    GCharPtr text{Filenames_GetUnicodeString("caf\xE9", small, 4, 0)};
    EXPECT_EQ(std::string(small, 8), "ISO-####");

    // Long enough: the name, then NULs up to the bound.
    char large[16];
    std::memset(large, '#', sizeof large);
    text.reset(Filenames_GetUnicodeString("caf\xE9", large, 12, 0));
    EXPECT_EQ(std::string(large, 16), std::string("ISO-8859-1\0\0####", 16));

    // A zero length writes nothing at all.
    char untouched[4] = {'#', '#', '#', '#'};
    text.reset(Filenames_GetUnicodeString("caf\xE9", untouched, 0, 1));
    EXPECT_EQ(std::string(untouched, 4), "####");
    EXPECT_STREQ(text.get(), "caf\u00e9");
}

TEST(FilenamesUnicode, InvalidBytesBecomeQuestionMarksAndValidStretchesStay)
{
    using vorn::filenames::replaceInvalidUtf8;
    EXPECT_EQ(replaceInvalidUtf8(""), "");
    EXPECT_EQ(replaceInvalidUtf8("plain"), "plain");
    EXPECT_EQ(replaceInvalidUtf8("ab\xFF"), "ab?");
    EXPECT_EQ(replaceInvalidUtf8("\xFF\xFEx"), "??x");
    // A character cut short: each of its bytes is invalid on its own.
    EXPECT_EQ(replaceInvalidUtf8("x\xE6\x97"), "x??");
    EXPECT_EQ(replaceInvalidUtf8("\xE6\x97y"), "??y");
    // Overlong encoding of "/" must not sneak a slash in.
    EXPECT_EQ(replaceInvalidUtf8("\xC0\xAF"), "??");
    EXPECT_EQ(replaceInvalidUtf8("\u00e9\xFF\u00e9"), "\u00e9?\u00e9");
}

TEST(FilenamesUnicode, FallbackListHoldsEveryCharsetOnceAndEachIsUsable)
{
    const auto charsets = vorn::filenames::fallbackCharsets();
    ASSERT_EQ(charsets.size(), 27u);
    EXPECT_STREQ(charsets.front(), "UTF-8");
    EXPECT_STREQ(charsets.back(), "PT154");
    // A charset the converter does not know would be skipped silently and its
    // names shown in a later one: every entry must really convert.
    for (const char *charset : charsets) {
        GError *error = nullptr;
        GCharPtr converted{g_convert("name", -1, "UTF-8", charset, nullptr, nullptr, &error)};
        EXPECT_NE(converted, nullptr) << charset << ": " << (error ? error->message : "");
        if (error)
            g_error_free(error);
    }
}

// Any byte string is shown as valid UTF-8, and the reported charset converts it
// back to the very bytes it came from.
TEST(FilenamesUnicode, RandomNamesAreDisplayableAndConvertBack)
{
    std::uint64_t seed = 20240611;
    if (const char *override = std::getenv("VORN_TEST_SEED"))
        seed = std::strtoull(override, nullptr, 10);
    std::mt19937_64 random(seed);
    for (int round = 0; round < 2000; ++round) {
        std::string name(1 + random() % 24, '\0');
        for (char &c : name)
            c = static_cast<char>(1 + random() % 255);
        const Converted converted = toUnicode(name);
        ASSERT_TRUE(g_utf8_validate(converted.text.c_str(), -1, nullptr))
            << "seed " << seed << " round " << round << " charset " << converted.charset;
        ASSERT_EQ(backTo(converted.charset, converted.text), name)
            << "seed " << seed << " round " << round << " charset " << converted.charset;
        ASSERT_TRUE(g_utf8_validate(display(name).c_str(), -1, nullptr)) << "seed " << seed;
    }
}

std::string collateKey(const std::string &name)
{
    GCharPtr key{Filenames_GetCollateKey(name.data(), static_cast<gssize>(name.size()))};
    return key.get();
}

std::vector<std::string> sortedByKey(std::vector<std::string> names)
{
    std::stable_sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return collateKey(a) < collateKey(b);
    });
    return names;
}

TEST(FilenamesCollateKey, NumbersSortByValueAndLeadingZerosOnlyBreakTies)
{
    EXPECT_EQ(sortedByKey({"file10", "file9", "file100", "file2"}),
              (std::vector<std::string>{"file2", "file9", "file10", "file100"}));
    EXPECT_EQ(sortedByKey({"file2", "file01", "file1", "file001"}),
              (std::vector<std::string>{"file1", "file01", "file001", "file2"}));
    // Leading zeros are no part of the value: the text after the number
    // decides before they do.
    EXPECT_EQ(sortedByKey({"track 10 a", "track 9 z", "track 09 a"}),
              (std::vector<std::string>{"track 09 a", "track 9 z", "track 10 a"}));
    // Two numbers: the first decides.
    EXPECT_EQ(sortedByKey({"v2.10", "v2.9", "v10.1", "v1.99"}),
              (std::vector<std::string>{"v1.99", "v2.9", "v2.10", "v10.1"}));
}

TEST(FilenamesCollateKey, DotsSortBeforeTextSoShorterStemsComeFirst)
{
    EXPECT_EQ(sortedByKey({"aa.a", "a.a", "a-.a"}),
              (std::vector<std::string>{"a.a", "a-.a", "aa.a"}));
    EXPECT_EQ(sortedByKey({"report.txt", "report-old.txt", "report.doc"}),
              (std::vector<std::string>{"report.doc", "report.txt", "report-old.txt"}));
}

TEST(FilenamesCollateKey, ZeroOnlyRunKeepsOneDigit)
{
    // "0" then text sorts before "1": the zero is kept as a digit rather than
    // letting the following text compare against the other name's digits.
    EXPECT_LT(collateKey("0abc"), collateKey("1"));
    EXPECT_LT(collateKey("file0"), collateKey("file00"));
    EXPECT_LT(collateKey("file00"), collateKey("file1"));
}

TEST(FilenamesCollateKey, LengthLimitsTheNameAndNegativeMeansUpToTheEnd)
{
    const char name[] = "file10.txt";
    GCharPtr prefix{Filenames_GetCollateKey(name, 6)};
    GCharPtr whole{Filenames_GetCollateKey(name, -1)};
    EXPECT_EQ(std::string(prefix.get()), collateKey("file10"));
    EXPECT_EQ(std::string(whole.get()), collateKey("file10.txt"));
    EXPECT_EQ(collateKey(""), "");
}

// A corpus of names whose keys must match GLib's file-name collation byte for
// byte, apart from names ending in a run of zeros, where ours keeps one "0".
TEST(FilenamesCollateKey, AgreesWithGlibOnCorpus)
{
    const std::vector<std::string> corpus = {
        "", "a", "A", "file1", "file01", "file001", "file10", "file9", "file2.txt",
        "file2.tar.gz", ".hidden", "..", "a..b", "1", "12", "0123", "007 bond", "0x", "0",
        "a0.b", "v1.2.3", "3.14159", "track 09 - intro.mp3", "\u00e9t\u00e9 2019",
        "\u65e5\u672c\u8a9e10.txt", "\u65e5\u672c\u8a9e9.txt", "mixed42abc7", "trailing.",
        "x.1.y.22", "ABC", "abc", "a b", "99999999999999999999", "file0", "track00",
    };
    for (const std::string &name : corpus) {
        GCharPtr glibKey{g_utf8_collate_key_for_filename(name.c_str(), -1)};
        const std::size_t lastNonZero = name.find_last_not_of('0');
        const bool endsInZeroRun = !name.empty() && name.back() == '0' &&
                                   (lastNonZero == std::string::npos ||
                                    !g_ascii_isdigit(name[lastNonZero]));
        if (!endsInZeroRun) {
            EXPECT_EQ(collateKey(name), std::string(glibKey.get())) << "name \"" << name << '"';
        }
    }
    // The order of every pair agrees, those names included.
    for (const std::string &a : corpus) {
        for (const std::string &b : corpus) {
            GCharPtr glibA{g_utf8_collate_key_for_filename(a.c_str(), -1)};
            GCharPtr glibB{g_utf8_collate_key_for_filename(b.c_str(), -1)};
            const int glibOrder = std::clamp(std::strcmp(glibA.get(), glibB.get()), -1, 1);
            const int ourOrder = std::clamp(collateKey(a).compare(collateKey(b)), -1, 1);
            EXPECT_EQ(ourOrder, glibOrder) << '"' << a << "\" vs \"" << b << '"';
        }
    }
}

}  // namespace
