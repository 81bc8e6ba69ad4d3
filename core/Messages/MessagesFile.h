/*
 * The burning engine's language file and the code page of its texts, chosen
 * from the user's message locale.
 *
 * The engine speaks in the Windows code page of its language file; every text
 * it hands over is converted from MessagesFile_pszMessagesEncoding to UTF-8
 * before a widget shows it.
 */
#ifndef VORN_MESSAGES_FILE_H
#define VORN_MESSAGES_FILE_H

#include "VornAPI.h"

/* Code page of the engine's texts ("CP1252" until a language file is chosen). */
extern const char *MessagesFile_pszMessagesEncoding;

struct MessagesLanguage {
    const char *languageFile; /* static, e.g. "VornDeu.txt" */
    const char *codePage;     /* static, e.g. "CP1252" */
};

/*
 * The row of the language table that `locale` (a message locale such as
 * "pt_BR.UTF-8", or NULL) selects: a case-sensitive prefix match of two bytes,
 * five for the rows with a territory, first match wins; "Vorn.txt" with
 * "CP1252" when nothing matches.
 */
MessagesLanguage MessagesFile_LanguageForLocale(const char *locale) noexcept;

/*
 * Chooses the row for the current message locale (queried, not changed),
 * stores its language file in `settings` and its code page in
 * MessagesFile_pszMessagesEncoding. A NULL record is ignored.
 */
void MessagesFile_SetupLanguageFile(VornSettings *settings) noexcept;

#endif
