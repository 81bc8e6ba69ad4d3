// The wait-for-media dialog. Its size is fixed, so the required-media text
// is shortened to the room its column has instead of widening the dialog.
#include "WaitForMediaDlg.h"

#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "VornImages.h"
#include "VornKitUtil.h"
#include "VornSCSIDeviceInfo.h"

#include <libintl.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <string>

#define _(text) dgettext("vornkit", text)

namespace {

constexpr gint kDialogWidth = 500;
constexpr gint kDialogHeight = 250;
// The room of the caption and value columns together: the dialog's width
// less the table's borders and column spacing.
constexpr gint kTableTextWidth = 436;
constexpr gint kTableBorder = 25;
constexpr const char *kEllipsis = "...";

struct WaitForMediaPrivate {
    std::recursive_mutex lock;
    GtkWidget *iconImage = nullptr;
    GtkWidget *messageLabel = nullptr;
    GtkWidget *requiredLabel = nullptr;
    GtkWidget *currentLabel = nullptr;
    gint requiredWidth = 0;
};

}  // namespace

using VornWaitForMediaDlgPrivate = WaitForMediaPrivate;
G_DEFINE_TYPE_WITH_PRIVATE(VornWaitForMediaDlg, vorn_wait_for_media_dlg, GTK_TYPE_DIALOG)

namespace {

WaitForMediaPrivate *priv(VornWaitForMediaDlg *self)
{
    return static_cast<WaitForMediaPrivate *>(vorn_wait_for_media_dlg_get_instance_private(self));
}

WaitForMediaPrivate *privOf(GtkWidget *widget)
{
    return VORNKIT_IS_WAIT_FOR_MEDIA_DLG(widget) ? priv(VORNKIT_WAIT_FOR_MEDIA_DLG(widget)) : nullptr;
}

gint textWidth(GtkWidget *widget, const char *text)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(widget, text);
    gint width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    return width;
}

// Drops characters from the end (whole UTF-8 characters) until the text with
// "..." after it fits `available`; a text that fits stays as it is.
std::string shortenToWidth(GtkWidget *widget, const char *text, gint available)
{
    std::string kept = text;
    std::string shown = kept;
    while (textWidth(widget, shown.c_str()) > available && !kept.empty()) {
        const char *end = kept.c_str() + kept.size();
        const char *previous = g_utf8_find_prev_char(kept.c_str(), end);
        kept.resize(previous ? static_cast<std::size_t>(previous - kept.c_str()) : 0);
        shown = kept + kEllipsis;
    }
    return shown;
}

// Shown text of engine origin must be valid UTF-8 for GTK+.
std::string displayable(const char *text)
{
    gchar *valid = g_utf8_make_valid(text, -1);
    std::string out = valid;
    g_free(valid);
    return out;
}

gboolean refuseDelete(GtkWidget *, GdkEvent *, gpointer) noexcept { return TRUE; }

// The message wraps at the width its row leaves beside the icon.
void onRowAllocated(GtkWidget *row, GtkAllocation *allocation, gpointer data) noexcept
{
    auto *p = static_cast<WaitForMediaPrivate *>(data);
    gint iconWidth = 0;
    if (p->iconImage && gtk_widget_get_visible(p->iconImage)) {
        GtkRequisition requisition;
        gtk_widget_size_request(p->iconImage, &requisition);
        iconWidth = requisition.width + gtk_box_get_spacing(GTK_BOX(row));
    }
    const gint border = static_cast<gint>(gtk_container_get_border_width(GTK_CONTAINER(row)));
    const gint width = std::max(1, allocation->width - iconWidth - 2 * border);
    VornKit_Util_SetWidgetFixedSize(p->messageLabel, width, -1);
}

// Non-modal: nobody answers it, but it appears in the dialog record.
void onShown(GtkWidget *widget, gpointer) noexcept
{
    try {
        WaitForMediaPrivate *p = privOf(widget);
        if (!p)
            return;
        vorn::dialogs::DialogRequest request;
        request.kind = vorn::dialogs::DialogKind::Custom;
        request.role = "wait-for-media";
        request.title = gtk_window_get_title(GTK_WINDOW(widget)) ? gtk_window_get_title(GTK_WINDOW(widget)) : "";
        request.text = gtk_label_get_text(GTK_LABEL(p->messageLabel));
        request.buttons.push_back({vorn::dialogs::response::Cancel, _("Cancel")});
        vorn::dialogs::noteShown(std::move(request));
    } catch (...) {
    }
}

GtkWidget *valueLabel()
{
    GtkWidget *label = gtk_label_new("");
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    return label;
}

void buildDialog(VornWaitForMediaDlg *self, WaitForMediaPrivate *p)
{
    GtkWindow *window = GTK_WINDOW(self);
    GtkDialog *dialog = GTK_DIALOG(self);
    gtk_window_set_title(window, _("Waiting for Disc"));
    gtk_window_set_resizable(window, FALSE);
    gtk_dialog_set_has_separator(dialog, FALSE);
    gtk_widget_set_size_request(GTK_WIDGET(self), kDialogWidth, kDialogHeight);
    if (GList *icons = VornKit_DialogBox_GetWindowIconsList())
        gtk_window_set_icon_list(window, icons);

    GtkWidget *row = gtk_hbox_new(FALSE, 5);
    gtk_container_set_border_width(GTK_CONTAINER(row), 5);
    gchar *dir = VornKit_Util_GetImagesDirectory();
    gchar *iconPath = g_strdup_printf(VORN_IMG_INSERT_DISC_PATH, dir, vorn::images::kInsertDiscIconSize);
    if (GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(iconPath, nullptr)) {
        p->iconImage = gtk_image_new_from_pixbuf(pixbuf);
        g_object_unref(pixbuf);
        gtk_misc_set_alignment(GTK_MISC(p->iconImage), 0.5f, 0.0f);
        gtk_misc_set_padding(GTK_MISC(p->iconImage), 8, 2);
        gtk_box_pack_start(GTK_BOX(row), p->iconImage, FALSE, FALSE, 0);
    }
    g_free(iconPath);
    g_free(dir);

    p->messageLabel = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(p->messageLabel), TRUE);
    gtk_misc_set_alignment(GTK_MISC(p->messageLabel), 0.0f, 0.0f);
    gtk_box_pack_start(GTK_BOX(row), p->messageLabel, TRUE, TRUE, 0);
    g_signal_connect(row, "size-allocate", G_CALLBACK(onRowAllocated), p);
    gtk_box_pack_start(GTK_BOX(dialog->vbox), row, TRUE, TRUE, 0);

    GtkWidget *table = gtk_table_new(2, 2, FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(table), kTableBorder);
    gtk_table_set_row_spacings(GTK_TABLE(table), 5);
    gtk_table_set_col_spacings(GTK_TABLE(table), 10);
    GtkWidget *requiredCaption = gtk_label_new(_("Disc required for the compilation:"));
    GtkWidget *currentCaption = gtk_label_new(_("Disc type in the recorder:"));
    for (GtkWidget *caption : {requiredCaption, currentCaption})
        gtk_misc_set_alignment(GTK_MISC(caption), 0.0f, 0.5f);
    p->requiredLabel = valueLabel();
    p->currentLabel = valueLabel();
    gtk_table_attach(GTK_TABLE(table), requiredCaption, 0, 1, 0, 1, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(table), p->requiredLabel, 1, 2, 0, 1,
                     static_cast<GtkAttachOptions>(GTK_FILL | GTK_EXPAND), GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(table), currentCaption, 0, 1, 1, 2, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(table), p->currentLabel, 1, 2, 1, 2,
                     static_cast<GtkAttachOptions>(GTK_FILL | GTK_EXPAND), GTK_FILL, 0, 0);
    gtk_box_pack_start(GTK_BOX(dialog->vbox), table, FALSE, FALSE, 0);

    p->requiredWidth = kTableTextWidth - std::max(textWidth(requiredCaption, _("Disc required for the compilation:")),
                                                  textWidth(currentCaption, _("Disc type in the recorder:")));

    VornKit_DialogBox_SetDialogButtons(GTK_WIDGET(self), VORNKIT_RESPONSE_CANCEL, nullptr);
    g_signal_connect(self, "delete-event", G_CALLBACK(refuseDelete), nullptr);
    g_signal_connect(self, "show", G_CALLBACK(onShown), nullptr);
    gtk_widget_show_all(dialog->vbox);
}

template <class Fn>
gint withLockedPrivate(GtkWidget *dialog, Fn fn)
{
    WaitForMediaPrivate *p = privOf(dialog);
    if (!p)
        return 0;
    std::lock_guard lock(p->lock);
    return fn(*p);
}

}  // namespace

static void vorn_wait_for_media_dlg_init(VornWaitForMediaDlg *self)
{
    WaitForMediaPrivate *p = new (priv(self)) WaitForMediaPrivate{};
    buildDialog(self, p);
}

static void vorn_wait_for_media_dlg_finalize(GObject *object)
{
    priv(VORNKIT_WAIT_FOR_MEDIA_DLG(object))->~WaitForMediaPrivate();
    G_OBJECT_CLASS(vorn_wait_for_media_dlg_parent_class)->finalize(object);
}

static void vorn_wait_for_media_dlg_class_init(VornWaitForMediaDlgClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_wait_for_media_dlg_finalize;
}

extern "C" GType VornKit_WaitForMediaDlg_GetType(void)
{
    return vorn_wait_for_media_dlg_get_type();
}

extern "C" GtkWidget *VornKit_WaitForMediaDlg_New(GtkWidget *parent)
{
    GtkWidget *dialog = GTK_WIDGET(g_object_new(VORNKIT_TYPE_WAIT_FOR_MEDIA_DLG, nullptr));
    if (parent && GTK_IS_WINDOW(parent))
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(parent));
    return dialog;
}

extern "C" gint VornKit_WaitForMediaDlg_SetDeviceInfo(GtkWidget *dialog, const VornDeviceEntry *device)
{
    return withLockedPrivate(dialog, [&](WaitForMediaPrivate &) -> gint {
        if (!device)
            return 0;
        char name[sizeof device->name + 1] = {};
        std::copy_n(device->name, sizeof device->name, name);
        gchar *trimmed = VornKit_VornSCSIDeviceInfo_GetTrimedDeviceName(name);
        gchar *title = g_strdup_printf(_("%s: Waiting for Disc"), displayable(trimmed).c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), title);
        g_free(title);
        g_free(trimmed);
        return 1;
    });
}

extern "C" gint VornKit_WaitForMediaDlg_SetMessage(GtkWidget *dialog, const gchar *text)
{
    return withLockedPrivate(dialog, [&](WaitForMediaPrivate &p) -> gint {
        if (!text)
            return 0;
        gtk_label_set_text(GTK_LABEL(p.messageLabel), displayable(text).c_str());
        return 1;
    });
}

extern "C" gint VornKit_WaitForMediaDlg_SetRequiredMediaTypes(GtkWidget *dialog, const gchar *text)
{
    return withLockedPrivate(dialog, [&](WaitForMediaPrivate &p) -> gint {
        if (!text)
            return 0;
        const std::string shown = shortenToWidth(p.requiredLabel, displayable(text).c_str(), p.requiredWidth);
        gtk_label_set_text(GTK_LABEL(p.requiredLabel), shown.c_str());
        return 1;
    });
}

extern "C" gint VornKit_WaitForMediaDlg_SetCurrentMediumType(GtkWidget *dialog, const gchar *text)
{
    return withLockedPrivate(dialog, [&](WaitForMediaPrivate &p) -> gint {
        if (!text)
            return 0;
        gtk_label_set_text(GTK_LABEL(p.currentLabel), displayable(text).c_str());
        return 1;
    });
}

extern "C" gint VornKit_WaitForMediaDlg_GetRequiredMediaWidth(GtkWidget *dialog)
{
    return withLockedPrivate(dialog, [](WaitForMediaPrivate &p) -> gint { return p.requiredWidth; });
}
