// The wait-for-media dialog under a real display: its fixed layout, the
// shortened required-media text, the trimmed device name and the refusals.
#include "TestDialogs.h"
#include "VornAPI.h"
#include "VornSCSIDeviceInfo.h"
#include "WaitForMediaDlg.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace vorn::test {
namespace {

class WaitForMediaDlgTest : public ::testing::Test {
protected:
    void SetUp() override { dialog = VornKit_WaitForMediaDlg_New(nullptr); }
    void TearDown() override
    {
        if (dialog)
            gtk_widget_destroy(dialog);
        pump();
    }
    static void pump()
    {
        while (gtk_events_pending())
            gtk_main_iteration();
    }
    GtkWidget *requiredLabel() const { return findLabelAfter(caption("Disc required for the compilation:")); }
    GtkWidget *currentLabel() const { return findLabelAfter(caption("Disc type in the recorder:")); }
    std::string requiredText() const { return gtk_label_get_text(GTK_LABEL(requiredLabel())); }

    // The value label sits in the same table row as its caption.
    GtkWidget *caption(const char *text) const
    {
        GtkWidget *found = nullptr;
        forEachLabel(GTK_DIALOG(dialog)->vbox, [&](GtkWidget *label) {
            if (std::strcmp(gtk_label_get_text(GTK_LABEL(label)), text) == 0)
                found = label;
        });
        return found;
    }
    GtkWidget *findLabelAfter(GtkWidget *captionLabel) const
    {
        if (!captionLabel)
            return nullptr;
        GtkWidget *table = gtk_widget_get_parent(captionLabel);
        guint row = 0;
        gtk_container_child_get(GTK_CONTAINER(table), captionLabel, "top-attach", &row, nullptr);
        GtkWidget *value = nullptr;
        GList *children = gtk_container_get_children(GTK_CONTAINER(table));
        for (GList *l = children; l; l = l->next) {
            guint top = 0, left = 0;
            gtk_container_child_get(GTK_CONTAINER(table), GTK_WIDGET(l->data), "top-attach", &top, "left-attach",
                                    &left, nullptr);
            if (top == row && left == 1)
                value = GTK_WIDGET(l->data);
        }
        g_list_free(children);
        return value;
    }
    template <class Fn>
    static void forEachLabel(GtkWidget *widget, Fn &&fn)
    {
        if (GTK_IS_LABEL(widget))
            fn(widget);
        if (GTK_IS_CONTAINER(widget)) {
            GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
            for (GList *l = children; l; l = l->next)
                forEachLabel(GTK_WIDGET(l->data), fn);
            g_list_free(children);
        }
    }
    gint laidOutWidth(GtkWidget *label, const std::string &text) const
    {
        PangoLayout *layout = gtk_widget_create_pango_layout(label, text.c_str());
        gint width = 0;
        pango_layout_get_pixel_size(layout, &width, nullptr);
        g_object_unref(layout);
        return width;
    }

    GtkWidget *dialog = nullptr;
};

TEST_F(WaitForMediaDlgTest, RequiredMediaTextIsShortenedToItsColumnWithEllipsis)
{
    const gint available = VornKit_WaitForMediaDlg_GetRequiredMediaWidth(dialog);
    ASSERT_GT(available, 50);
    ASSERT_LT(available, 436);
    ASSERT_NE(requiredLabel(), nullptr);

    EXPECT_EQ(VornKit_WaitForMediaDlg_SetRequiredMediaTypes(dialog, "CD-R, CD-RW"), 1);
    EXPECT_EQ(requiredText(), "CD-R, CD-RW") << "a text that fits is left alone";

    const std::string longText =
        "CD-R, CD-RW, DVD-R, DVD-RW, DVD+R, DVD+RW, DVD+R DL, DVD-R DL, DVD-RAM, BD-R, BD-RE, HD DVD-R, HD DVD-RW";
    ASSERT_GT(laidOutWidth(requiredLabel(), longText), available);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetRequiredMediaTypes(dialog, longText.c_str()), 1);
    const std::string shown = requiredText();
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_LE(laidOutWidth(requiredLabel(), shown), available);
    const std::string kept = shown.substr(0, shown.size() - 3);
    EXPECT_EQ(longText.compare(0, kept.size(), kept), 0) << "the start of the text is kept";
    // It is the longest start that fits: one character more would not.
    EXPECT_GT(laidOutWidth(requiredLabel(), longText.substr(0, kept.size() + 1) + "..."), available);
}

TEST_F(WaitForMediaDlgTest, ShorteningNeverSplitsAMultiByteCharacter)
{
    std::string text;
    for (int i = 0; i < 80; ++i)
        text += "\xC3\xA9";  // é
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetRequiredMediaTypes(dialog, text.c_str()), 1);
    const std::string shown = requiredText();
    EXPECT_TRUE(g_utf8_validate(shown.c_str(), -1, nullptr));
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
}

TEST_F(WaitForMediaDlgTest, TitleCarriesTheTrimmedDeviceNameAndSettersRefuseOtherObjects)
{
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Waiting for Disc");
    VornDeviceEntry device;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&device);
    std::strcpy(device.name, "   Vorn DVD Writer  ");
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetDeviceInfo(dialog, &device), 1);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Vorn DVD Writer: Waiting for Disc");
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetDeviceInfo(dialog, nullptr), 0);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Vorn DVD Writer: Waiting for Disc");

    GtkWidget *other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetMessage(other, "text"), 0);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetRequiredMediaTypes(other, "CD"), 0);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetCurrentMediumType(other, "CD"), 0);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetDeviceInfo(other, &device), 0);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetMessage(nullptr, "text"), 0);
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(other)), nullptr);
    gtk_widget_destroy(other);
    EXPECT_EQ(VornKit_WaitForMediaDlg_SetMessage(dialog, nullptr), 0);
}

TEST_F(WaitForMediaDlgTest, ShownFixedSizeRefusesWindowManagerCloseAndCancelResponds)
{
    GtkWidget *parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_destroy(dialog);
    dialog = VornKit_WaitForMediaDlg_New(parent);
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(parent));
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(dialog)));

    VornDeviceEntry device;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&device);
    std::strcpy(device.name, "Vorn DVD Writer");
    VornKit_WaitForMediaDlg_SetDeviceInfo(dialog, &device);
    const char *message =
        "Please insert an empty writable disc into the recorder. The burn goes on as soon as a suitable disc "
        "is ready; press Cancel to stop it without writing anything.";
    VornKit_WaitForMediaDlg_SetMessage(dialog, message);
    VornKit_WaitForMediaDlg_SetRequiredMediaTypes(
        dialog, "CD-R, CD-RW, DVD-R, DVD-RW, DVD+R, DVD+RW, DVD+R DL, DVD-R DL, DVD-RAM, BD-R, BD-RE");
    VornKit_WaitForMediaDlg_SetCurrentMediumType(dialog, "No disc");

    DialogScript dialogs;
    gtk_widget_show(dialog);
    pump();
    ASSERT_FALSE(dialogs.asked().empty());
    EXPECT_FALSE(dialogs.asked().back().modal);
    EXPECT_EQ(dialogs.asked().back().request.title, "Vorn DVD Writer: Waiting for Disc");
    EXPECT_EQ(dialogs.asked().back().request.text, message);

    GtkAllocation allocation;
    gtk_widget_get_allocation(dialog, &allocation);
    EXPECT_EQ(allocation.width, 500);
    EXPECT_EQ(allocation.height, 250);

    // The message wraps inside the dialog rather than widening it.
    GtkWidget *messageLabel = nullptr;
    forEachLabel(GTK_DIALOG(dialog)->vbox, [&](GtkWidget *label) {
        if (std::strcmp(gtk_label_get_text(GTK_LABEL(label)), message) == 0)
            messageLabel = label;
    });
    ASSERT_NE(messageLabel, nullptr);
    GtkAllocation messageAllocation;
    gtk_widget_get_allocation(messageLabel, &messageAllocation);
    EXPECT_LE(messageAllocation.x + messageAllocation.width, 500);
    EXPECT_GT(messageAllocation.height, 20) << "a long message takes several lines";

    if (const char *shot = std::getenv("VORN_SCREENSHOT_WAIT")) {
        // Leave the dialog up for an outside screenshot for a moment.
        const gint64 until = g_get_monotonic_time() + std::atoi(shot) * G_TIME_SPAN_MILLISECOND;
        while (g_get_monotonic_time() < until) {
            pump();
            g_usleep(20000);
        }
    }

    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(dialog->window));
    gboolean handled = FALSE;
    g_signal_emit_by_name(dialog, "delete-event", event, &handled);
    gdk_event_free(event);
    EXPECT_TRUE(handled) << "closing through the window manager is refused";

    gint response = 0;
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog *, gint id, gpointer out) {
                         *static_cast<gint *>(out) = id;
                     }),
                     &response);
    gtk_dialog_response(GTK_DIALOG(dialog), VORN_WAIT_WRITABLE_DISC + 8);
    EXPECT_EQ(response, 8) << "Cancel's response is 8";
    gtk_widget_destroy(dialog);
    dialog = nullptr;
    gtk_widget_destroy(parent);
}

}  // namespace
}  // namespace vorn::test
