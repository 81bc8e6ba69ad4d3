#include "NameChecker.h"

#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"

#include <glib/gi18n.h>

#include <cstring>
#include <memory>
#include <optional>

namespace {

// The application's own message domain: these messages are not the common
// burn UI's, even though its dialog shows them.
constexpr const char *kTextDomain = "vorn";

// Indexed by check code.
constexpr const char *kMessages[] = {
    nullptr,
    N_("File/Folder name length cannot exceed 8 characters in ISO Level 1"),
    N_("File name extension length cannot exceed 3 characters in ISO Level 1"),
    N_("Some of the entered characters are not present in selected character set"),
    N_("Directory name length cannot exceed 31 characters in ISO Level 2"),
    N_("File name and extension length may not exceed 31 characters in ISO Level 2"),
    N_("File name length may not exceed %d characters"),
    N_("File name cannot be empty"),
    N_("Please remove dot (.) from the start of file/folder name."),
};

constexpr glong kLevel1NameLength = 8;
constexpr glong kLevel1ExtensionLength = 3;
constexpr glong kLevel2NameLength = 31;

struct GFree {
    void operator()(void *p) const noexcept { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

// The checks both levels start with. Returns -1 when the name passed them.
gint commonChecks(const gchar *name) noexcept
{
    if (name == nullptr || name[0] == '\0')
        return NAME_CHECK_EMPTY;
    if (name[0] == '.')
        return NAME_CHECK_LEADING_DOT;
    // Lengths are counted in characters, which needs valid UTF-8.
    if (!g_utf8_validate(name, -1, nullptr))
        return NAME_CHECK_INVALID_CHARACTERS;
    return -1;
}

}  // namespace

gint NameChecker_IsValidIsoLevel1Name(const gchar *name, gboolean isDirectory)
{
    if (const gint code = commonChecks(name); code >= 0)
        return code;
    const gchar *lastDot = std::strrchr(name, '.');
    if (isDirectory || lastDot == nullptr)
        return g_utf8_strlen(name, -1) > kLevel1NameLength ? NAME_CHECK_LEVEL1_NAME_TOO_LONG
                                                            : NAME_CHECK_VALID;

    const glong baseLength = g_utf8_strlen(name, lastDot - name);
    if (baseLength > kLevel1NameLength)
        return NAME_CHECK_LEVEL1_NAME_TOO_LONG;
    if (g_utf8_strlen(lastDot + 1, -1) > kLevel1ExtensionLength)
        return NAME_CHECK_LEVEL1_EXTENSION_TOO_LONG;
    // Level 1 allows exactly one dot, between name and extension.
    if (std::memchr(name, '.', static_cast<std::size_t>(lastDot - name)) != nullptr)
        return NAME_CHECK_INVALID_CHARACTERS;
    return NAME_CHECK_VALID;
}

gint NameChecker_IsValidIsoLevel2Name(const gchar *name, gboolean isDirectory)
{
    if (const gint code = commonChecks(name); code >= 0)
        return code;
    if (g_utf8_strlen(name, -1) <= kLevel2NameLength)
        return NAME_CHECK_VALID;
    return isDirectory ? NAME_CHECK_LEVEL2_DIRECTORY_TOO_LONG : NAME_CHECK_LEVEL2_FILE_TOO_LONG;
}

void NameChecker_DisplayErrorDialog(gint code, gint limit, GtkWidget *parent)
{
    if (code <= NAME_CHECK_VALID || code >= static_cast<gint>(G_N_ELEMENTS(kMessages)))
        return;
    const gchar *translated = g_dgettext(kTextDomain, kMessages[code]);
    GCharPtr text{code == NAME_CHECK_NAME_TOO_LONG ? g_strdup_printf(translated, limit)
                                                   : g_strdup(translated)};
    // The dialog takes Pango markup; a translation may hold '&' or '<'.
    GCharPtr markup{g_markup_escape_text(text.get(), -1)};
    try {
        // A caller's own role (say, the folder tree's rename) takes precedence.
        std::optional<vorn::dialogs::RoleScope> role;
        if (vorn::dialogs::currentRole().empty())
            role.emplace("name-check-error");
        VornKit_DialogBox_ModalErrorDialog(markup.get(), nullptr, nullptr, parent, 0);
    } catch (...) {
        // Only the role's bookkeeping can throw (out of memory); the message
        // is then not shown, which loses nothing.
    }
}
