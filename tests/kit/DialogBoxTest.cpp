// Message boxes rendered by GTK+ on the test display, and what they tell the
// dialog responder.
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace vorn::dialogs;
using vorn::test::DialogScript;

std::vector<GtkWidget *> descendants(GtkWidget *widget, GType type)
{
    std::vector<GtkWidget *> found;
    std::function<void(GtkWidget *)> walk = [&](GtkWidget *w) {
        if (G_TYPE_CHECK_INSTANCE_TYPE(w, type))
            found.push_back(w);
        if (GTK_IS_CONTAINER(w)) {
            GList *children = gtk_container_get_children(GTK_CONTAINER(w));
            for (GList *c = children; c; c = c->next)
                walk(GTK_WIDGET(c->data));
            g_list_free(children);
        }
    };
    walk(widget);
    return found;
}

GtkWidget *messageLabel(GtkWidget *dialog)
{
    // The message is the label outside the button row and the check box.
    for (GtkWidget *label : descendants(dialog, GTK_TYPE_LABEL)) {
        GtkWidget *p = gtk_widget_get_parent(label);
        if (!GTK_IS_BUTTON(p))
            return label;
    }
    return nullptr;
}

void flushEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

// The response codes of the button row, left to right as the user sees them.
std::vector<int> buttonRow(GtkWidget *dialog)
{
    gtk_widget_show_all(dialog);
    flushEvents();
    std::vector<GtkWidget *> buttons;
    GList *children = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(dialog)->action_area));
    for (GList *c = children; c; c = c->next)
        buttons.push_back(GTK_WIDGET(c->data));
    g_list_free(children);
    std::sort(buttons.begin(), buttons.end(),
              [](GtkWidget *a, GtkWidget *b) { return a->allocation.x < b->allocation.x; });
    std::vector<int> codes;
    for (GtkWidget *b : buttons)
        codes.push_back(gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog), b));
    return codes;
}

// What a window manager sends when the user closes the window.
void sendDeleteEvent(GtkWidget *window)
{
    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(window->window));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
}

class DialogBoxTest : public testing::Test {
protected:
    void SetUp() override { VornKit_DialogBox_Init(); }
    void TearDown() override
    {
        VornKit_DialogBox_Done();
        VornKit_DialogBox_SetImagesDirectory(nullptr);
        flushEvents();
    }

    // Watches a widget without owning it.
    struct Watch {
        GtkWidget *widget = nullptr;
        bool destroyed = false;
        explicit Watch(GtkWidget *w) : widget(w)
        {
            g_signal_connect(w, "destroy", G_CALLBACK(+[](GtkWidget *, gpointer self) {
                static_cast<Watch *>(self)->destroyed = true;
            }), this);
        }
    };
};

// ---- button sets ----

TEST_F(DialogBoxTest, ButtonsAreAddedInTheirOrderAndSlotsFollowTheirOwnOrder)
{
    GtkWidget *dialog = VornKit_DialogBox_NewDialog("t", nullptr, 0, GTK_WIN_POS_NONE, FALSE);
    GtkWidget *slots[VORNKIT_DIALOG_BUTTON_SLOTS];
    std::fill(std::begin(slots), std::end(slots), reinterpret_cast<GtkWidget *>(0x1));
    VornKit_DialogBox_SetDialogButtons(dialog, 0xFFE, slots);

    EXPECT_EQ(buttonRow(dialog), (std::vector<int>{0x100, 0x80, 0x40, 0x10, 0x2, 0x200, 0x400, 0x4, 0x800, 0x8, 0x20}));
    const int slotCodes[VORNKIT_DIALOG_BUTTON_SLOTS] = {0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800};
    for (int i = 0; i < VORNKIT_DIALOG_BUTTON_SLOTS; ++i) {
        ASSERT_TRUE(GTK_IS_BUTTON(slots[i])) << "slot " << i;
        EXPECT_EQ(gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog), slots[i]), slotCodes[i]) << "slot " << i;
        // Each button asks for 50 pixels more than it needs.
        GtkRequisition asked;
        gtk_widget_get_size_request(slots[i], &asked.width, nullptr);
        GtkWidget *label = descendants(slots[i], GTK_TYPE_LABEL).front();
        GtkRequisition labelSize;
        gtk_widget_size_request(label, &labelSize);
        EXPECT_GE(asked.width, labelSize.width + 50) << "slot " << i;
    }

    // Slots of buttons not in the set are zeroed.
    GtkWidget *other = VornKit_DialogBox_NewDialog("t", nullptr, 0, GTK_WIN_POS_NONE, FALSE);
    std::fill(std::begin(slots), std::end(slots), reinterpret_cast<GtkWidget *>(0x1));
    VornKit_DialogBox_SetDialogButtons(other, VORNKIT_RESPONSE_NO | VORNKIT_RESPONSE_ERASE, slots);
    EXPECT_EQ(buttonRow(other), (std::vector<int>{0x100, 0x4}));
    for (int i = 0; i < VORNKIT_DIALOG_BUTTON_SLOTS; ++i)
        EXPECT_EQ(slots[i] == nullptr, i != 1 && i != 7) << "slot " << i;
    gtk_widget_destroy(dialog);
    gtk_widget_destroy(other);
}

TEST_F(DialogBoxTest, EachKindOffersItsButtonsAndDefault)
{
    DialogScript dialogs;
    dialogs.answer(vorn::test::anyDialog(), response::Ok);
    VornKit_DialogBox_ModalInfoDialog("i", nullptr, nullptr, nullptr, 0);
    VornKit_DialogBox_ModalErrorDialog("e", nullptr, nullptr, nullptr, 1);
    VornKit_DialogBox_ModalWarningDialog("w", nullptr, nullptr, nullptr, 0);
    VornKit_DialogBox_ModalQuestionDialog("q", nullptr, nullptr, nullptr, 0);
    VornKit_DialogBox_ModalQuestionDialog("q", nullptr, nullptr, nullptr, 1);
    VornKit_DialogBox_ModalWarningDialog("w", nullptr, nullptr, nullptr, 2);  // only 1 adds Cancel

    auto asked = dialogs.asked();
    ASSERT_EQ(asked.size(), 6u);
    auto codes = [&](std::size_t i) {
        std::vector<int> c;
        for (const auto &b : asked[i].request.buttons)
            c.push_back(b.response);
        return c;
    };
    EXPECT_EQ(codes(0), (std::vector<int>{16}));
    EXPECT_EQ(codes(1), (std::vector<int>{16, 8}));
    EXPECT_EQ(codes(2), (std::vector<int>{16}));
    EXPECT_EQ(codes(3), (std::vector<int>{2, 4}));
    EXPECT_EQ(codes(4), (std::vector<int>{2, 4, 8}));
    EXPECT_EQ(codes(5), (std::vector<int>{16}));
    EXPECT_EQ(asked[1].request.buttons[1].label, "Cancel");
    for (std::size_t i : {0u, 1u, 2u, 5u})
        EXPECT_EQ(asked[i].request.defaultResponse, response::Ok) << i;
    EXPECT_EQ(asked[3].request.defaultResponse, response::Yes);
    EXPECT_EQ(asked[4].request.defaultResponse, response::Yes);
    EXPECT_EQ(asked[0].request.kind, DialogKind::Info);
    EXPECT_EQ(asked[1].request.kind, DialogKind::Error);
    EXPECT_EQ(asked[2].request.kind, DialogKind::Warning);
    EXPECT_EQ(asked[3].request.kind, DialogKind::Question);
}

// ---- real modal runs ----

// Answers the real dialog from the main loop once it is up.
struct RealAnswer {
    std::function<void(GtkWidget *dialog)> act;
    GtkWidget *seen = nullptr;
    std::string title;

    static GtkWidget *visibleDialog()
    {
        GtkWidget *found = nullptr;
        GList *tops = gtk_window_list_toplevels();
        for (GList *t = tops; t; t = t->next)
            if (GTK_IS_DIALOG(t->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(t->data)))
                found = GTK_WIDGET(t->data);
        g_list_free(tops);
        return found;
    }

    void arm()
    {
        g_timeout_add(50, +[](gpointer self) -> gboolean {
            auto *me = static_cast<RealAnswer *>(self);
            GtkWidget *dialog = visibleDialog();
            if (!dialog)
                return TRUE;
            me->seen = dialog;
            me->title = gtk_window_get_title(GTK_WINDOW(dialog));
            me->act(dialog);
            return FALSE;
        }, this);
    }
};

TEST_F(DialogBoxTest, ModalErrorRefusesWindowManagerCloseAndReturnsTheButtonPressed)
{
    DialogScript dialogs;
    vorn::test::RealDialogs real;
    bool stayedOpen = false;
    RealAnswer answer;
    answer.act = [&](GtkWidget *dialog) {
        sendDeleteEvent(dialog);
        flushEvents();
        stayedOpen = GTK_IS_WIDGET(dialog) && GTK_WIDGET_VISIBLE(dialog);
        gtk_dialog_response(GTK_DIALOG(dialog), VORNKIT_RESPONSE_OK);
    };
    answer.arm();
    EXPECT_EQ(VornKit_DialogBox_ModalErrorDialog("No space left on the device.", "Cannot write", "Burn", nullptr, 0),
              VORNKIT_RESPONSE_OK);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(answer.title, "Error: Burn");
    EXPECT_EQ(RealAnswer::visibleDialog(), nullptr) << "the modal box is destroyed after its run";

    auto asked = dialogs.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].request.heading, "Cannot write");
    EXPECT_FALSE(asked[0].answer) << "the real dialog answered, not a responder";
}

TEST_F(DialogBoxTest, ModalQuestionActivatesYesByDefault)
{
    vorn::test::RealDialogs real;
    RealAnswer answer;
    answer.act = [](GtkWidget *dialog) { gtk_window_activate_default(GTK_WINDOW(dialog)); };
    answer.arm();
    EXPECT_EQ(VornKit_DialogBox_ModalQuestionDialog("Erase the disc?", nullptr, "Erase", nullptr, 1),
              VORNKIT_RESPONSE_YES);
    EXPECT_EQ(answer.title, "Erase");
}

TEST_F(DialogBoxTest, ModalStringDialogReturnsTheEntryOnOkOnly)
{
    vorn::test::RealDialogs real;
    RealAnswer answer;
    answer.act = [](GtkWidget *dialog) {
        GtkWidget *entry = descendants(dialog, GTK_TYPE_ENTRY).front();
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "Disc");
        gtk_entry_set_text(GTK_ENTRY(entry), "Holiday photos 2026");
        gtk_window_activate_default(GTK_WINDOW(dialog));
    };
    answer.arm();
    gchar *text = VornKit_DialogBox_ModalStringDialog("Name of the disc:", nullptr, nullptr, "Disc", 10, nullptr, 1,
                                                      nullptr, nullptr, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Holiday ph") << "limited to the maximum length";
    EXPECT_EQ(answer.title, "Vorn Linux");
    g_free(text);

    answer.act = [](GtkWidget *dialog) { gtk_dialog_response(GTK_DIALOG(dialog), VORNKIT_RESPONSE_CANCEL); };
    answer.arm();
    EXPECT_EQ(VornKit_DialogBox_ModalStringDialog("Name:", nullptr, "Rename", "x", 0, nullptr, 1, nullptr, nullptr,
                                                  nullptr),
              nullptr);
}

// ---- answered by the responder ----

TEST_F(DialogBoxTest, ScriptedAnswersGoThroughTheRealCheckBoxAndEntryFilter)
{
    DialogScript dialogs;
    dialogs.answerOnce(vorn::test::byKind(DialogKind::Warning), DialogAnswer{response::Cancel, std::nullopt, true, {}})
        .answerOnce(vorn::test::byKind(DialogKind::Warning), DialogAnswer{response::Ok, std::nullopt, false, {}})
        .answer(vorn::test::byRole("disc-name"), DialogAnswer{response::Ok, std::string("a b/c"), std::nullopt, {}});

    std::vector<bool> toggles;
    auto toggled = +[](GtkToggleButton *button, gpointer seen) {
        static_cast<std::vector<bool> *>(seen)->push_back(gtk_toggle_button_get_active(button));
    };
    EXPECT_EQ(VornKit_DialogBox_ModalWarningDialog_WithCallback("Slow drive.", nullptr, nullptr, nullptr, 1,
                                                                "_Do not show again", G_CALLBACK(toggled), &toggles,
                                                                FALSE),
              VORNKIT_RESPONSE_CANCEL);
    EXPECT_EQ(toggles, (std::vector<bool>{true}));
    // Answered with the state it already had: the handler hears nothing.
    EXPECT_EQ(VornKit_DialogBox_ModalWarningDialog_WithCallback("Slow drive.", nullptr, nullptr, nullptr, 0,
                                                                "_Do not show again", G_CALLBACK(toggled), &toggles,
                                                                FALSE),
              VORNKIT_RESPONSE_OK);
    EXPECT_EQ(toggles, (std::vector<bool>{true}));

    // The entry's filter drops blanks and slashes, whoever types.
    auto noBlanks = +[](GtkEditable *editable, gchar *text, gint length, gint *, gpointer) {
        std::string s(text, static_cast<std::size_t>(length));
        if (s.find_first_of(" /") != std::string::npos)
            g_signal_stop_emission_by_name(editable, "insert-text");
    };
    gchar *name;
    {
        RoleScope role("disc-name");
        name = VornKit_DialogBox_ModalStringDialog("Name:", nullptr, nullptr, "", 0, nullptr, 1, nullptr,
                                                   G_CALLBACK(noBlanks), nullptr);
    }
    // gtk_entry_set_text inserts the whole text at once, so the filter sees it whole.
    EXPECT_STREQ(name, "");
    g_free(name);

    auto asked = dialogs.asked();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].request.checkLabel, std::optional<std::string>("Do not show again"));
    EXPECT_FALSE(asked[0].request.checked);
    EXPECT_EQ(asked[2].request.kind, DialogKind::String);
    EXPECT_EQ(asked[2].request.role, "disc-name");
}

// ---- titles, markup and size ----

TEST_F(DialogBoxTest, TitleRules)
{
    DialogScript dialogs;
    dialogs.answer(vorn::test::anyDialog(), response::Ok);
    VornKit_DialogBox_ModalQuestionDialog("t", nullptr, "Start burning?", nullptr, 0);
    VornKit_DialogBox_ModalQuestionDialog("t", nullptr, nullptr, nullptr, 0);
    VornKit_DialogBox_ModalErrorDialog("t", nullptr, "Burn", nullptr, 0);
    VornKit_DialogBox_ModalErrorDialog("t", nullptr, nullptr, nullptr, 0);
    VornKit_DialogBox_ModalWarningDialog("t", nullptr, "Disc", nullptr, 0);
    VornKit_DialogBox_ModalInfoDialog("t", nullptr, nullptr, nullptr, 0);
    VornKit_DialogBox_ModalInfoDialog("t", nullptr, "Done", nullptr, 0);
    std::vector<std::string> titles;
    for (const auto &e : dialogs.asked())
        titles.push_back(e.request.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Start burning?", "Vorn Linux", "Error: Burn", "Error", "Warning: Disc",
                                                "Information", "Information: Done"}));

    GtkWidget *shown = VornKit_DialogBox_ErrorDialog("t", nullptr, "Burn", nullptr, 0);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(shown)), "Error: Burn");
    gtk_widget_destroy(shown);
}

TEST_F(DialogBoxTest, HeadingInHeavyTypeAboveTheTextAndBrokenMarkupStillShowsTheWords)
{
    GtkWidget *dialog = VornKit_DialogBox_InfoDialog("Burned <i>3</i> files.", "Done", nullptr, nullptr, 0);
    GtkWidget *label = messageLabel(dialog);
    ASSERT_NE(label, nullptr);
    EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(label)), "<span weight=\"heavy\">Done</span>\n\nBurned <i>3</i> files.");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), "Done\n\nBurned 3 files.");
    gtk_widget_destroy(dialog);

    dialog = VornKit_DialogBox_InfoDialog("Only text", nullptr, nullptr, nullptr, 0);
    EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(messageLabel(dialog))), "Only text");
    gtk_widget_destroy(dialog);

    // An unescaped file name with '&' and '<' is not markup.
    dialog = VornKit_DialogBox_ErrorDialog("Cannot read a&b<c.wav", "Read error", nullptr, nullptr, 0);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(messageLabel(dialog))), "Read error\n\nCannot read a&b<c.wav");
    gtk_widget_destroy(dialog);
}

TEST_F(DialogBoxTest, LongMessagesWrapAt600PixelsAndStringDialogsAt400)
{
    GtkWidget *shortBox = VornKit_DialogBox_InfoDialog("Short.", nullptr, nullptr, nullptr, 0);
    GtkWidget *label = messageLabel(shortBox);
    GtkRequisition size;
    gtk_widget_size_request(label, &size);
    EXPECT_LT(size.width, 600);
    EXPECT_FALSE(gtk_label_get_line_wrap(GTK_LABEL(label)));

    std::string words;
    for (int i = 0; i < 60; ++i)
        words += "wrapping words ";
    GtkWidget *longBox = VornKit_DialogBox_WarningDialog(words.c_str(), nullptr, nullptr, nullptr, 0);
    label = messageLabel(longBox);
    gtk_widget_size_request(label, &size);
    EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(label)));
    EXPECT_EQ(size.width, 600);
    flushEvents();
    EXPECT_GT(label->allocation.height, 2 * PANGO_PIXELS(pango_font_description_get_size(label->style->font_desc)))
        << "the text runs over several lines";

    GtkWidget *entry = nullptr;
    GtkWidget *stringBox = VornKit_DialogBox_StringDialog(words.c_str(), nullptr, nullptr, "x", 0, nullptr, 0, &entry,
                                                          nullptr, nullptr, nullptr);
    ASSERT_TRUE(GTK_IS_ENTRY(entry));
    label = messageLabel(stringBox);
    gtk_widget_size_request(label, &size);
    EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(label)));
    EXPECT_EQ(size.width, 400);

    // A string dialog's message between 400 and 600 pixels stays on one line.
    std::string medium;
    for (int i = 0; i < 60 && medium.size() < 200; ++i) {
        medium += "ab ";
        GtkWidget *probe = gtk_label_new(medium.c_str());
        GtkRequisition probeSize;
        gtk_widget_size_request(probe, &probeSize);
        gtk_widget_destroy(probe);
        if (probeSize.width > 450)
            break;
    }
    GtkWidget *mediumBox = VornKit_DialogBox_StringDialog(medium.c_str(), nullptr, nullptr, "x", 0, nullptr, 0,
                                                          nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(gtk_label_get_line_wrap(GTK_LABEL(messageLabel(mediumBox))));

    for (GtkWidget *w : {shortBox, longBox, stringBox, mediumBox})
        gtk_widget_destroy(w);
}

// ---- non-modal boxes and the live list ----

TEST_F(DialogBoxTest, NonModalBoxDestroysItselfOnAResponseButNotOnWindowManagerClose)
{
    DialogScript dialogs;
    GtkWidget *dialog = VornKit_DialogBox_QuestionDialog("Go on?", nullptr, nullptr, nullptr, 1);
    Watch watch(dialog);
    EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    flushEvents();
    sendDeleteEvent(dialog);
    flushEvents();
    EXPECT_FALSE(watch.destroyed);

    int heard = 0;
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog *, gint r, gpointer heard) {
        *static_cast<int *>(heard) = r;
    }), &heard);
    gtk_dialog_response(GTK_DIALOG(dialog), VORNKIT_RESPONSE_NO);
    EXPECT_EQ(heard, VORNKIT_RESPONSE_NO) << "the caller's handler runs before the box goes";
    EXPECT_TRUE(watch.destroyed);

    auto asked = dialogs.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].modal);
    EXPECT_EQ(asked[0].request.text, "Go on?");
}

TEST_F(DialogBoxTest, DoneDestroysANonModalWarningLeftOpen)
{
    GtkWidget *warning = VornKit_DialogBox_WarningDialog("The disc is almost full.", nullptr, nullptr, nullptr, 0);
    GtkWidget *closed = VornKit_DialogBox_InfoDialog("Closed already.", nullptr, nullptr, nullptr, 0);
    Watch watchWarning(warning);
    gtk_widget_destroy(closed);
    flushEvents();
    VornKit_DialogBox_Done();
    EXPECT_TRUE(watchWarning.destroyed);
    // A second Done finds nothing left.
    VornKit_DialogBox_Done();
}

TEST_F(DialogBoxTest, NonModalCheckBoxCallsItsHandlerOnlyWhenTheUserToggles)
{
    int calls = 0;
    GtkWidget *dialog = VornKit_DialogBox_InfoDialog_WithCallback(
        "Text", nullptr, nullptr, nullptr, 0, "_Never show this again",
        G_CALLBACK(+[](GtkToggleButton *, gpointer calls) { ++*static_cast<int *>(calls); }), &calls, TRUE);
    auto checks = descendants(dialog, GTK_TYPE_CHECK_BUTTON);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(checks[0])));
    EXPECT_EQ(calls, 0);
    gtk_button_clicked(GTK_BUTTON(checks[0]));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(checks[0])));
    gtk_widget_destroy(dialog);
}

// ---- icons ----

void writePng(const std::filesystem::path &path, int size)
{
    std::filesystem::create_directories(path.parent_path());
    GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size);
    gdk_pixbuf_fill(pixbuf, 0x3366ccff);
    ASSERT_TRUE(gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr));
    g_object_unref(pixbuf);
}

TEST_F(DialogBoxTest, IconsComeFromTheImagesDirectoryAndMissingOnesAreSkipped)
{
    vorn::test::TempDir images;
    writePng(images / "appicons/vorn-icon-16.png", 16);
    writePng(images / "appicons/vorn-icon-48.png", 48);
    std::filesystem::create_directories(images / "appicons/vorn-icon-32.png");  // not an image
    writePng(images / "dialogs/vornkit-dialog_box-error_dlg_icon-32.png", 32);
    VornKit_DialogBox_SetImagesDirectory(images.path().c_str());
    VornKit_DialogBox_Init();

    GList *icons = VornKit_DialogBox_GetWindowIconsList();
    ASSERT_EQ(g_list_length(icons), 2u);
    EXPECT_EQ(gdk_pixbuf_get_width(GDK_PIXBUF(icons->data)), 16);
    EXPECT_EQ(gdk_pixbuf_get_width(GDK_PIXBUF(icons->next->data)), 48);

    GtkWidget *error = VornKit_DialogBox_ErrorDialog("e", nullptr, nullptr, nullptr, 0);
    GtkWidget *info = VornKit_DialogBox_InfoDialog("i", nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(descendants(error, GTK_TYPE_IMAGE).size(), 1u);
    EXPECT_EQ(descendants(info, GTK_TYPE_IMAGE).size(), 0u) << "its icon file is missing";
    GList *windowIcons = gtk_window_get_icon_list(GTK_WINDOW(error));
    EXPECT_EQ(g_list_length(windowIcons), 2u);
    g_list_free(windowIcons);
    gtk_widget_destroy(error);
    gtk_widget_destroy(info);
}

TEST_F(DialogBoxTest, NewDialogHonoursItsFlags)
{
    GtkWidget *parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *dialog = VornKit_DialogBox_NewDialog(
        "Settings", parent, VORNKIT_DIALOG_MODAL | VORNKIT_DIALOG_DESTROY_WITH_PARENT | VORNKIT_DIALOG_NO_SEPARATOR,
        GTK_WIN_POS_CENTER_ON_PARENT, TRUE);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    EXPECT_FALSE(gtk_dialog_get_has_separator(GTK_DIALOG(dialog)));
    EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(dialog)));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(parent));
    Watch watch(dialog);
    gtk_widget_destroy(parent);
    EXPECT_TRUE(watch.destroyed) << "destroyed with its parent";
}

}  // namespace
