#include "CharsetControl.h"

#include <cstring>
#include <string>

namespace {

struct CharacterTable {
    const char *characters;
    bool allowed;  // true: only these may be entered; false: these may not
};

// Static for the life of the program: handlers keep pointers to them.
constexpr CharacterTable kTableD{"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_", true};
constexpr CharacterTable kTableDWithDot{"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_.", true};
constexpr CharacterTable kTableDWithDotAndSemicolon{"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_.;",
                                                    true};
constexpr CharacterTable kTableAStrict{" !%&'()+,-.;=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_", true};
constexpr CharacterTable kTableAsciiName{
    " !#$%&'()+,-.0123456789=@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~", true};
constexpr CharacterTable kTableAsciiText{
    " !#$%&'()+,-./0123456789;=@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~",
    true};
constexpr CharacterTable kTableJolietForbidden{"\"/:*?<>\\|;", false};

constexpr const char *kFilterKey = "vorn-charset-control-handler";

bool inTable(const CharacterTable &table, gunichar c) noexcept
{
    // Every table is ASCII; NUL must not match the terminator.
    return c != 0 && c < 0x80 && std::strchr(table.characters, static_cast<int>(c)) != nullptr;
}

// The text an allowed-set filter lets in for `text`, or false when some
// character cannot be made acceptable.
bool filterAllowed(const CharacterTable &table, const gchar *text, gint length, std::string &kept)
{
    for (const gchar *p = text; p < text + length; p = g_utf8_next_char(p)) {
        gunichar c = g_utf8_get_char(p);
        if (!inTable(table, c)) {
            c = g_unichar_isspace(c) ? '_' : g_unichar_toupper(c);
            if (!inTable(table, c))
                return false;
        }
        gchar encoded[6];
        kept.append(encoded, static_cast<std::size_t>(g_unichar_to_utf8(c, encoded)));
    }
    return true;
}

bool containsForbidden(const CharacterTable &table, const gchar *text, gint length) noexcept
{
    for (const gchar *p = text; p < text + length; p = g_utf8_next_char(p)) {
        if (inTable(table, g_utf8_get_char(p)))
            return true;
    }
    return false;
}

void onInsertText(GtkEditable *editable, gchar *text, gint length, gint *position,
                  gpointer data) noexcept
{
    // Whatever happens below, the default handler must not insert the
    // original text: the filter's own insertion is the only way in.
    g_signal_stop_emission_by_name(editable, "insert_text");
    const auto &table = *static_cast<const CharacterTable *>(data);
    if (length < 0)
        length = static_cast<gint>(std::strlen(text));
    if (length == 0 || !g_utf8_validate(text, length, nullptr))
        return;
    try {
        std::string kept;
        if (table.allowed) {
            if (!filterAllowed(table, text, length, kept))
                return;
        } else {
            if (containsForbidden(table, text, length))
                return;
            kept.assign(text, static_cast<std::size_t>(length));
        }
        g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(onInsertText), data);
        gtk_editable_insert_text(editable, kept.data(), static_cast<gint>(kept.size()), position);
        g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(onInsertText), data);
        gtk_editable_set_position(editable, *position);
    } catch (...) {
        // Out of memory while filtering: the insertion is simply refused.
    }
}

gulong installFilter(GtkEditable *editable, const CharacterTable &table)
{
    g_return_val_if_fail(GTK_IS_EDITABLE(editable), 0);
    const gulong previous =
        static_cast<gulong>(reinterpret_cast<guintptr>(g_object_get_data(G_OBJECT(editable), kFilterKey)));
    if (previous != 0 && g_signal_handler_is_connected(editable, previous))
        g_signal_handler_disconnect(editable, previous);
    const gulong handler = g_signal_connect(editable, "insert_text", G_CALLBACK(onInsertText),
                                            const_cast<CharacterTable *>(&table));
    g_object_set_data(G_OBJECT(editable), kFilterKey,
                      reinterpret_cast<gpointer>(static_cast<guintptr>(handler)));
    return handler;
}

}  // namespace

gulong CharsetControl_VerifyVolumeName_EditableCallback(GtkEditable *editable, gint mode)
{
    return installFilter(editable, mode == 0 ? kTableD : kTableJolietForbidden);
}

gulong CharsetControl_VerifyIsoItemName_EditableCallback(GtkEditable *editable, gint characterSet,
                                                         gboolean itemName, gboolean isDirectory,
                                                         gboolean allowVersion)
{
    if (characterSet != 0)
        return installFilter(editable, itemName ? kTableAsciiName : kTableAsciiText);
    if (!itemName)
        return installFilter(editable, kTableAStrict);
    if (allowVersion)
        return installFilter(editable, kTableDWithDotAndSemicolon);
    return installFilter(editable, isDirectory ? kTableD : kTableDWithDot);
}

gulong CharsetControl_VerifyJolietItemName_EditableCallback(GtkEditable *editable)
{
    return installFilter(editable, kTableJolietForbidden);
}
