#include "CharsetControl.h"

#include <gtest/gtest.h>
#include <gdk/gdkkeysyms.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

// A real entry in a real window, so that typed keys and pastes take the same
// way through GTK+ as a person's.
class CharsetControlTest : public testing::Test {
protected:
    void SetUp() override
    {
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        entry_ = gtk_entry_new();
        gtk_container_add(GTK_CONTAINER(window_), entry_);
    }
    void TearDown() override { gtk_widget_destroy(window_); }

    GtkEditable *editable() const { return GTK_EDITABLE(entry_); }
    std::string text() const { return gtk_entry_get_text(GTK_ENTRY(entry_)); }
    gint cursor() const { return gtk_editable_get_position(editable()); }

    // Inserts at the cursor, as the entry does with typed or pasted text.
    void insertAtCursor(const std::string &inserted)
    {
        g_signal_emit_by_name(entry_, "insert-at-cursor", inserted.c_str());
    }

    // What an empty entry holds after `inserted` is inserted at its end.
    std::string afterInserting(const std::string &inserted)
    {
        gtk_editable_delete_text(editable(), 0, -1);
        gint position = 0;
        gtk_editable_insert_text(editable(), inserted.c_str(), -1, &position);
        return text();
    }

    void showAndFocus()
    {
        gtk_widget_show_all(window_);
        gtk_window_present(GTK_WINDOW(window_));
        gtk_widget_grab_focus(entry_);
        waitFor([this] { return gtk_widget_has_focus(entry_) && GTK_WIDGET_MAPPED(entry_); });
    }

    static void waitFor(const std::function<bool()> &done)
    {
        const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
        while (!done() && g_get_monotonic_time() < deadline)
            g_main_context_iteration(nullptr, FALSE);
        while (g_main_context_pending(nullptr))
            g_main_context_iteration(nullptr, FALSE);
    }

    GtkWidget *window_ = nullptr;
    GtkWidget *entry_ = nullptr;
};

TEST_F(CharsetControlTest, TypingIntoVolumeNameUpperCasesAndTurnsSpaceIntoUnderscore)
{
    CharsetControl_VerifyVolumeName_EditableCallback(editable(), 0);
    showAndFocus();
    for (guint key : {guint(GDK_a), guint(GDK_space), guint(GDK_b)})
        ASSERT_TRUE(gtk_test_widget_send_key(entry_, key, GdkModifierType(0)));
    waitFor([this] { return text().size() == 3; });
    EXPECT_EQ(text(), "A_B");
    EXPECT_EQ(cursor(), 3);
}

// Records every text offered to the entry, ahead of any filter.
void recordOffer(GtkEditable *, gchar *text, gint length, gint *, gpointer offers) noexcept
{
    static_cast<std::vector<std::string> *>(offers)->emplace_back(
        text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
}

TEST_F(CharsetControlTest, PastingForbiddenCharacterIntoJolietEntryInsertsNothing)
{
    // The probe proves that the paste reached the entry and the filter
    // refused it, rather than the paste never arriving.
    std::vector<std::string> offers;
    g_signal_connect(entry_, "insert_text", G_CALLBACK(recordOffer), &offers);
    CharsetControl_VerifyJolietItemName_EditableCallback(editable());
    showAndFocus();
    gtk_entry_set_text(GTK_ENTRY(entry_), "name");
    gtk_editable_set_position(editable(), -1);
    GtkClipboard *clipboard = gtk_widget_get_clipboard(entry_, GDK_SELECTION_CLIPBOARD);

    gtk_clipboard_set_text(clipboard, "my*file", -1);
    g_signal_emit_by_name(entry_, "paste-clipboard");
    // The filter's own re-insertions pass the probe too, so look at the last.
    waitFor([&] { return !offers.empty() && offers.back() == "my*file"; });
    ASSERT_EQ(offers.back(), "my*file");
    EXPECT_EQ(text(), "name");

    // The same paste without the asterisk goes in whole, unchanged.
    gtk_clipboard_set_text(clipboard, " \u00e9t\u00e9 file", -1);
    g_signal_emit_by_name(entry_, "paste-clipboard");
    waitFor([this] { return text() != "name"; });
    EXPECT_EQ(text(), "name \u00e9t\u00e9 file");
}

TEST_F(CharsetControlTest, KeptTextGoesInAtTheCursorWhichMovesBehindIt)
{
    CharsetControl_VerifyIsoItemName_EditableCallback(editable(), 0, TRUE, FALSE, FALSE);
    insertAtCursor("readme");
    EXPECT_EQ(text(), "README");
    EXPECT_EQ(cursor(), 6);
    gtk_editable_set_position(editable(), 4);
    insertAtCursor(".x");
    EXPECT_EQ(text(), "READ.XME");
    EXPECT_EQ(cursor(), 6);
    // A refused insertion leaves text and cursor alone.
    insertAtCursor("ok/");
    EXPECT_EQ(text(), "READ.XME");
    EXPECT_EQ(cursor(), 6);
}

TEST_F(CharsetControlTest, OneBadCharacterDropsTheWholeInsertion)
{
    CharsetControl_VerifyVolumeName_EditableCallback(editable(), 0);
    EXPECT_EQ(afterInserting("AB*"), "");
    EXPECT_EQ(afterInserting("disc 1"), "DISC_1");
    EXPECT_EQ(afterInserting("caf\u00e9"), "");
}

TEST_F(CharsetControlTest, InstallingAgainReplacesThePreviousFilter)
{
    CharsetControl_VerifyVolumeName_EditableCallback(editable(), 0);
    EXPECT_EQ(afterInserting("my disc"), "MY_DISC");
    CharsetControl_VerifyVolumeName_EditableCallback(editable(), 1);
    EXPECT_EQ(afterInserting("my disc"), "my disc");
    EXPECT_EQ(afterInserting("a:b"), "");
    CharsetControl_VerifyIsoItemName_EditableCallback(editable(), 1, FALSE, FALSE, FALSE);
    EXPECT_EQ(afterInserting("a/b;1"), "a/b;1");
}

// One installer and the characters at the edges of its table.
struct TableCase {
    const char *name;
    std::function<void(GtkEditable *)> install;
    std::vector<std::pair<std::string, std::string>> accepted;  // inserted, resulting text
    std::vector<std::string> refused;
};

void PrintTo(const TableCase &tableCase, std::ostream *out) { *out << tableCase.name; }

class CharsetControlTableTest : public CharsetControlTest,
                                public testing::WithParamInterface<TableCase> {};

TEST_P(CharsetControlTableTest, AcceptsItsTableAndRefusesItsNeighbours)
{
    GetParam().install(editable());
    for (const auto &[inserted, expected] : GetParam().accepted)
        EXPECT_EQ(afterInserting(inserted), expected) << "inserted \"" << inserted << '"';
    for (const std::string &inserted : GetParam().refused)
        EXPECT_EQ(afterInserting(inserted), "") << "inserted \"" << inserted << '"';
}

const std::vector<std::pair<std::string, std::string>> kDAccepted = {
    {"0", "0"}, {"9", "9"}, {"A", "A"}, {"Z", "Z"}, {"_", "_"}, {"a", "A"}, {"z", "Z"},
    {"\t", "_"}, {" ", "_"}, {"\u0131", "I"}};
const std::vector<std::string> kDRefused = {
    "/", ":", "@", "[", "`", "{", "-", "!", "\u00e9", "\u00df"};

std::vector<std::string> plus(std::vector<std::string> list, std::vector<std::string> more)
{
    list.insert(list.end(), more.begin(), more.end());
    return list;
}
std::vector<std::pair<std::string, std::string>> plus(
    std::vector<std::pair<std::string, std::string>> list,
    std::vector<std::pair<std::string, std::string>> more)
{
    list.insert(list.end(), more.begin(), more.end());
    return list;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, CharsetControlTableTest,
    testing::Values(
        TableCase{"VolumeIsoOnly",
                  [](GtkEditable *e) { CharsetControl_VerifyVolumeName_EditableCallback(e, 0); },
                  kDAccepted, plus(kDRefused, {".", ";"})},
        TableCase{"IsoDirectory",
                  [](GtkEditable *e) {
                      CharsetControl_VerifyIsoItemName_EditableCallback(e, 0, TRUE, TRUE, FALSE);
                  },
                  kDAccepted, plus(kDRefused, {".", ";"})},
        TableCase{"IsoFile",
                  [](GtkEditable *e) {
                      CharsetControl_VerifyIsoItemName_EditableCallback(e, 0, TRUE, FALSE, FALSE);
                  },
                  plus(kDAccepted, {{"a.txt", "A.TXT"}}), plus(kDRefused, {";", "a.txt;1"})},
        TableCase{"IsoFileWithVersion",
                  [](GtkEditable *e) {
                      CharsetControl_VerifyIsoItemName_EditableCallback(e, 0, TRUE, TRUE, TRUE);
                  },
                  plus(kDAccepted, {{"a.txt;1", "A.TXT;1"}}), plus(kDRefused, {"<", "="})},
        TableCase{"IsoTextStrict",
                  [](GtkEditable *e) {
                      CharsetControl_VerifyIsoItemName_EditableCallback(e, 0, FALSE, FALSE, FALSE);
                  },
                  {{" ", " "}, {"!", "!"}, {"%", "%"}, {"&", "&"}, {"'", "'"}, {"(", "("},
                   {"+", "+"}, {"-", "-"}, {".", "."}, {";", ";"}, {"=", "="}, {"my disc", "MY DISC"},
                   {"\t", "_"}},
                  {"\"", "#", "$", "*", "/", ":", "<", ">", "?", "@", "[", "`", "~", "\u00e9"}},
        TableCase{"AsciiName",
                  [](GtkEditable *e) {
                      CharsetControl_VerifyIsoItemName_EditableCallback(e, 1, TRUE, FALSE, FALSE);
                  },
                  {{" ", " "}, {"!", "!"}, {"#", "#"}, {"=", "="}, {"@", "@"}, {"[", "["},
                   {"`", "`"}, {"a", "a"}, {"~", "~"}, {"{}", "{}"}, {"\t", "_"}},
                  {"\"", "*", "/", ":", ";", "<", ">", "?", "\\", "|", "\x7f", "\u00e9"}},
        TableCase{"AsciiText",
                  [](GtkEditable *e) {
                      CharsetControl_VerifyIsoItemName_EditableCallback(e, 1, FALSE, TRUE, TRUE);
                  },
                  {{"/", "/"}, {";", ";"}, {"a/b;c", "a/b;c"}, {"~", "~"}},
                  {"\"", "*", ":", "<", ">", "?", "\\", "|", "\u00e9"}},
        TableCase{"Joliet",
                  [](GtkEditable *e) { CharsetControl_VerifyJolietItemName_EditableCallback(e); },
                  {{"\u00e9t\u00e9", "\u00e9t\u00e9"}, {"a b", "a b"}, {"x.y", "x.y"}, {"#", "#"}},
                  {"\"", "/", ":", "*", "?", "<", ">", "\\", "|", ";", "ok;"}},
        TableCase{"VolumeWithJoliet",
                  [](GtkEditable *e) { CharsetControl_VerifyVolumeName_EditableCallback(e, 2); },
                  {{"My Disc", "My Disc"}}, {"a|b", "a\\b"}}),
    [](const testing::TestParamInfo<TableCase> &info) { return std::string(info.param.name); });

}  // namespace
