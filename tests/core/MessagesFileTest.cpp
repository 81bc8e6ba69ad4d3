// The engine's language file and code page chosen from the message locale.
#include "MessagesFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include <string>

namespace {

struct LocaleCase {
    const char *locale;
    const char *languageFile;
    const char *codePage;
};

std::ostream &operator<<(std::ostream &out, const LocaleCase &c)
{
    return out << (c.locale ? c.locale : "(none)");
}

// Test names from the text: letters and digits kept, everything else "_".
std::string caseName(int index, const char *text)
{
    std::string name = "n" + std::to_string(index) + "_";
    for (const char *c = text ? text : "none"; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

class MessagesLanguageTable : public testing::TestWithParam<LocaleCase> {};

TEST_P(MessagesLanguageTable, LocaleSelectsLanguageFileAndCodePage)
{
    const LocaleCase &c = GetParam();
    const MessagesLanguage language = MessagesFile_LanguageForLocale(c.locale);
    EXPECT_STREQ(language.languageFile, c.languageFile) << (c.locale ? c.locale : "(no locale)");
    EXPECT_STREQ(language.codePage, c.codePage) << (c.locale ? c.locale : "(no locale)");
}

INSTANTIATE_TEST_SUITE_P(
    Locales, MessagesLanguageTable,
    testing::Values(
        // No locale, the C locales and anything unknown: the default row.
        LocaleCase{nullptr, "Vorn.txt", "CP1252"}, LocaleCase{"", "Vorn.txt", "CP1252"},
        LocaleCase{"C", "Vorn.txt", "CP1252"}, LocaleCase{"C.UTF-8", "Vorn.txt", "CP1252"},
        LocaleCase{"POSIX", "Vorn.txt", "CP1252"}, LocaleCase{"en_US.UTF-8", "Vorn.txt", "CP1252"},
        LocaleCase{"d", "Vorn.txt", "CP1252"}, LocaleCase{"DE_de", "Vorn.txt", "CP1252"},
        LocaleCase{"no_NO", "Vorn.txt", "CP1252"},
        // Territory rows before their language.
        LocaleCase{"es_ES.UTF-8", "VornEsp.txt", "CP1252"}, LocaleCase{"es_MX", "VornEsl.txt", "CP1252"},
        LocaleCase{"es", "VornEsl.txt", "CP1252"}, LocaleCase{"pt_BR", "VornPtb.txt", "CP1252"},
        LocaleCase{"pt_PT", "VornPtg.txt", "CP1252"}, LocaleCase{"zh_CN.GB2312", "VornChs.txt", "CP936"},
        LocaleCase{"zh_TW.Big5", "VornCht.txt", "CP950"}, LocaleCase{"zh_HK", "Vorn.txt", "CP1252"},
        LocaleCase{"zh", "Vorn.txt", "CP1252"},
        // Each code page family.
        LocaleCase{"de_DE@euro", "VornDeu.txt", "CP1252"}, LocaleCase{"cs_CZ", "VornCsy.txt", "CP1250"},
        LocaleCase{"el_GR", "VornEll.txt", "CP1253"}, LocaleCase{"ru_RU.KOI8-R", "VornRus.txt", "CP1251"},
        LocaleCase{"ja_JP.eucJP", "VornJpn.txt", "CP932"}, LocaleCase{"ko_KR", "VornKor.txt", "CP949"},
        LocaleCase{"th_TH", "VornTha.txt", "CP874"}, LocaleCase{"tr_TR", "VornTrk.txt", "CP1254"},
        LocaleCase{"nb_NO", "VornNor.txt", "CP1252"}, LocaleCase{"sl_SI", "VornSlv.txt", "CP1250"}),
    [](const auto &info) { return caseName(static_cast<int>(info.index), info.param.locale); });

TEST(MessagesFileSetup, FillsTheRecordFromTheMessageLocaleAndIgnoresNull)
{
    // The tests run with LC_ALL=C.UTF-8.
    VornSettings settings{};
    MessagesFile_pszMessagesEncoding = "unset";
    MessagesFile_SetupLanguageFile(&settings);
    EXPECT_STREQ(settings.languageFile, "Vorn.txt");
    EXPECT_STREQ(MessagesFile_pszMessagesEncoding, "CP1252");
    MessagesFile_SetupLanguageFile(nullptr);
    EXPECT_STREQ(MessagesFile_pszMessagesEncoding, "CP1252");
}

}  // namespace
