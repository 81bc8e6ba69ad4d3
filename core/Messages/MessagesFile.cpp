#include "MessagesFile.h"

#include <clocale>
#include <cstring>

const char *MessagesFile_pszMessagesEncoding = "CP1252";

namespace {

struct LanguageRow {
    const char *prefix; /* two bytes, or five with a territory */
    MessagesLanguage language;
};

// Order matters: the rows with a territory come before the language alone.
constexpr LanguageRow kLanguages[] = {
    {"cs", {"VornCsy.txt", "CP1250"}}, {"da", {"VornDan.txt", "CP1252"}},
    {"de", {"VornDeu.txt", "CP1252"}}, {"el", {"VornEll.txt", "CP1253"}},
    {"es_ES", {"VornEsp.txt", "CP1252"}}, {"es", {"VornEsl.txt", "CP1252"}},
    {"fi", {"VornFin.txt", "CP1252"}}, {"fr", {"VornFra.txt", "CP1252"}},
    {"hu", {"VornHun.txt", "CP1250"}}, {"it", {"VornIta.txt", "CP1252"}},
    {"ja", {"VornJpn.txt", "CP932"}},  {"ko", {"VornKor.txt", "CP949"}},
    {"nl", {"VornNld.txt", "CP1252"}}, {"nb", {"VornNor.txt", "CP1252"}},
    {"pl", {"VornPlk.txt", "CP1250"}}, {"pt_BR", {"VornPtb.txt", "CP1252"}},
    {"pt", {"VornPtg.txt", "CP1252"}}, {"ru", {"VornRus.txt", "CP1251"}},
    {"sk", {"VornSky.txt", "CP1250"}}, {"sl", {"VornSlv.txt", "CP1250"}},
    {"sv", {"VornSve.txt", "CP1252"}}, {"th", {"VornTha.txt", "CP874"}},
    {"tr", {"VornTrk.txt", "CP1254"}}, {"zh_CN", {"VornChs.txt", "CP936"}},
    {"zh_TW", {"VornCht.txt", "CP950"}},
};

constexpr MessagesLanguage kDefaultLanguage = {"Vorn.txt", "CP1252"};

}  // namespace

MessagesLanguage MessagesFile_LanguageForLocale(const char *locale) noexcept
{
    if (!locale)
        return kDefaultLanguage;
    for (const LanguageRow &row : kLanguages) {
        if (std::strncmp(locale, row.prefix, std::strlen(row.prefix)) == 0)
            return row.language;
    }
    return kDefaultLanguage;
}

void MessagesFile_SetupLanguageFile(VornSettings *settings) noexcept
{
    if (!settings)
        return;
    const MessagesLanguage language = MessagesFile_LanguageForLocale(std::setlocale(LC_MESSAGES, nullptr));
    settings->languageFile = language.languageFile;
    MessagesFile_pszMessagesEncoding = language.codePage;
}
