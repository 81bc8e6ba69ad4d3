// The file-operation progress dialog: counts come in from the operation, the
// two 100 ms timers turn them into the bar and the status line.
#include "ProgressDialog.h"

#include "Filenames.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

namespace {

constexpr guint kTimerMs = 100;
constexpr int kFileWidthPixels = 400;

struct Private {
    int kind = PROGRESS_DIALOG_COPY;
    guint64 totalFiles = 0, totalBytes = 0, processedFiles = 0, processedBytes = 0;
    bool totalsKnown = false;
    bool basedOnSize = true;
    GtkWidget *status = nullptr, *file = nullptr, *bar = nullptr, *cancel = nullptr, *animation = nullptr;
    guint updateTimer = 0, pulseTimer = 0;
    int frame = 0;
};

Private *priv(ProgressDialog *self);

Private *privOf(GtkWidget *dialog)
{
    return dialog && IS_VORN_PROGRESS_DIALOG(dialog) ? priv(VORN_PROGRESS_DIALOG(dialog)) : nullptr;
}

// The text cut at its end with an ellipsis until it fits `width` pixels.
std::string trimRight(GtkWidget *label, const std::string &text, int width)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(label, text.c_str());
    int w = 0;
    pango_layout_get_pixel_size(layout, &w, nullptr);
    std::string kept = text;
    std::string shown = text;
    while (w > width && !kept.empty()) {
        const char *end = kept.c_str() + kept.size();
        kept.resize(static_cast<std::size_t>(g_utf8_prev_char(end) - kept.c_str()));
        shown = kept + "...";
        pango_layout_set_text(layout, shown.c_str(), -1);
        pango_layout_get_pixel_size(layout, &w, nullptr);
    }
    g_object_unref(layout);
    return shown;
}

void update(Private &p)
{
    if (!p.totalsKnown)
        return;
    const bool bySize = p.basedOnSize && p.totalBytes > 0;
    double fraction = 1.0;
    if (bySize)
        fraction = static_cast<double>(p.processedBytes) / static_cast<double>(p.totalBytes);
    else if (p.totalFiles > 0)
        fraction = static_cast<double>(p.processedFiles) / static_cast<double>(p.totalFiles);
    fraction = std::clamp(fraction, 0.0, 1.0);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p.bar), fraction);
    gchar *done = g_strdup_printf(_("%2d %% done"), static_cast<int>(fraction * 100.0));
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(p.bar), done);
    g_free(done);

    const guint64 left = p.totalFiles > p.processedFiles ? p.totalFiles - p.processedFiles : 0;
    gchar *status = nullptr;
    if (bySize) {
        const guint64 bytesLeft = p.totalBytes > p.processedBytes ? p.totalBytes - p.processedBytes : 0;
        gchar *size = g_format_size(bytesLeft);
        status = left < 2 ? g_strdup_printf(_("1 item (%s) remaining..."), size)
                          : g_strdup_printf(_("%llu items (%s) remaining..."), static_cast<unsigned long long>(left),
                                            size);
        g_free(size);
    } else {
        status = left < 2 ? g_strdup(_("1 item remaining..."))
                          : g_strdup_printf(_("%llu items remaining..."), static_cast<unsigned long long>(left));
    }
    gtk_label_set_text(GTK_LABEL(p.status), status);
    g_free(status);
}

gboolean onUpdate(gpointer data) noexcept
{
    if (Private *p = privOf(GTK_WIDGET(data)))
        update(*p);
    return TRUE;
}

gboolean onPulse(gpointer data) noexcept
{
    if (Private *p = privOf(GTK_WIDGET(data))) {
        gtk_progress_bar_pulse(GTK_PROGRESS_BAR(p->bar));
        p->frame = (p->frame + 1) % 20;
        if (p->animation)
            gtk_widget_queue_draw(p->animation);
    }
    return TRUE;
}

// The animation: a sheet travels from one folder to the other (copy and
// move), or from a folder into nothing (delete).
gboolean onAnimationExpose(GtkWidget *area, GdkEventExpose *, gpointer data) noexcept
{
    Private *p = privOf(GTK_WIDGET(data));
    if (!p)
        return FALSE;
    cairo_t *cr = gdk_cairo_create(area->window);
    const double w = area->allocation.width, h = area->allocation.height;
    auto folder = [&](double x) {
        cairo_set_source_rgb(cr, 0.85, 0.65, 0.25);
        cairo_rectangle(cr, x, h * 0.35, 28, h * 0.5);
        cairo_fill(cr);
    };
    folder(4);
    if (p->kind != PROGRESS_DIALOG_DELETE)
        folder(w - 32);
    const double t = p->frame / 19.0;
    const double x = 18 + t * (w - 50);
    const double y = h * 0.35 - std::sin(t * G_PI) * h * 0.3;
    cairo_set_source_rgba(cr, 0.95, 0.95, 0.95, p->kind == PROGRESS_DIALOG_DELETE ? 1.0 - t : 1.0);
    cairo_rectangle(cr, x, y, 14, 18);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0.3, 0.3, 0.3, p->kind == PROGRESS_DIALOG_DELETE ? 1.0 - t : 1.0);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_destroy(cr);
    return TRUE;
}

void startPulse(GtkWidget *dialog, Private &p)
{
    if (!p.pulseTimer)
        p.pulseTimer = gdk_threads_add_timeout(kTimerMs, onPulse, dialog);
}

}  // namespace

using ProgressDialogPrivate = Private;
G_DEFINE_TYPE_WITH_PRIVATE(ProgressDialog, vorn_progress_dialog, GTK_TYPE_DIALOG)

namespace {
Private *priv(ProgressDialog *self)
{
    return static_cast<Private *>(vorn_progress_dialog_get_instance_private(self));
}
}  // namespace

static void vorn_progress_dialog_dispose(GObject *object)
{
    Private *p = priv(VORN_PROGRESS_DIALOG(object));
    for (guint *timer : {&p->updateTimer, &p->pulseTimer})
        if (*timer) {
            g_source_remove(*timer);
            *timer = 0;
        }
    G_OBJECT_CLASS(vorn_progress_dialog_parent_class)->dispose(object);
}

static void vorn_progress_dialog_finalize(GObject *object)
{
    priv(VORN_PROGRESS_DIALOG(object))->~Private();
    G_OBJECT_CLASS(vorn_progress_dialog_parent_class)->finalize(object);
}

static void vorn_progress_dialog_class_init(ProgressDialogClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = vorn_progress_dialog_dispose;
    G_OBJECT_CLASS(klass)->finalize = vorn_progress_dialog_finalize;
}

static void vorn_progress_dialog_init(ProgressDialog *self)
{
    Private &p = *new (priv(self)) Private{};
    GtkDialog *dialog = GTK_DIALOG(self);
    gtk_dialog_set_has_separator(dialog, FALSE);
    gtk_window_set_resizable(GTK_WINDOW(self), FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(self), 6);

    GtkWidget *box = gtk_vbox_new(FALSE, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 6);
    p.status = gtk_label_new(_("Please wait..."));
    gtk_widget_set_name(p.status, "status");
    gtk_misc_set_alignment(GTK_MISC(p.status), 0.0f, 0.5f);
    p.file = gtk_label_new(" ");
    gtk_widget_set_name(p.file, "file");
    gtk_misc_set_alignment(GTK_MISC(p.file), 0.0f, 0.5f);
    gtk_widget_set_size_request(p.file, kFileWidthPixels, -1);
    p.bar = gtk_progress_bar_new();
    gtk_widget_set_name(p.bar, "progress");
    gtk_box_pack_start(GTK_BOX(box), p.status, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), p.bar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), p.file, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(dialog->vbox), box, TRUE, TRUE, 0);
    p.cancel = gtk_dialog_add_button(dialog, _("_Cancel"), GTK_RESPONSE_CANCEL);
    gtk_widget_show_all(dialog->vbox);
}

namespace {

GtkWidget *newDialog(int kind, GtkWidget *parent)
{
    static const char *const kTitles[] = {"Adding Files...",       "Moving Files...",
                                          "Deleting Files...",     "Refreshing Compilation...",
                                          "Performing Undo Operation...", "Saving Compilation...",
                                          "Loading Compilation...", "Retrieving Data..."};
    static const char *const kWaits[] = {nullptr,
                                         nullptr,
                                         nullptr,
                                         "Refreshing compilation. Please wait...",
                                         "Refreshing compilation. Please wait...",
                                         "Saving compilation. Please wait...",
                                         "Loading compilation. Please wait...",
                                         "Retrieving data from the Internet CD database..."};
    GtkWidget *dialog = GTK_WIDGET(g_object_new(VORN_TYPE_PROGRESS_DIALOG, nullptr));
    Private &p = *privOf(dialog);
    p.kind = kind;
    gtk_window_set_title(GTK_WINDOW(dialog), _(kTitles[kind - 1]));
    if (kWaits[kind - 1])
        gtk_label_set_text(GTK_LABEL(p.status), _(kWaits[kind - 1]));
    if (kind <= PROGRESS_DIALOG_DELETE) {
        p.animation = gtk_drawing_area_new();
        gtk_widget_set_size_request(p.animation, 160, 40);
        g_signal_connect(p.animation, "expose-event", G_CALLBACK(onAnimationExpose), dialog);
        GtkWidget *box = gtk_widget_get_parent(p.status);
        gtk_box_pack_start(GTK_BOX(box), p.animation, FALSE, FALSE, 0);
        gtk_box_reorder_child(GTK_BOX(box), p.animation, 0);
        gtk_widget_show(p.animation);
    }
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (parent && GTK_IS_WINDOW(parent)) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(parent));
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    }
    startPulse(dialog, p);
    p.updateTimer = gdk_threads_add_timeout(kTimerMs, onUpdate, dialog);
    return dialog;
}

}  // namespace

GType ProgressDialog_GetType(void)
{
    return vorn_progress_dialog_get_type();
}

GtkWidget *ProgressDialog_NewCopyDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_COPY, parent); }
GtkWidget *ProgressDialog_NewMoveDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_MOVE, parent); }
GtkWidget *ProgressDialog_NewDeleteDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_DELETE, parent); }
GtkWidget *ProgressDialog_NewRefreshDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_REFRESH, parent); }
GtkWidget *ProgressDialog_NewUndoDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_UNDO, parent); }
GtkWidget *ProgressDialog_NewSaveDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_SAVE, parent); }
GtkWidget *ProgressDialog_NewLoadDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_LOAD, parent); }
GtkWidget *ProgressDialog_NewFreeDBDialog(GtkWidget *parent) { return newDialog(PROGRESS_DIALOG_FREEDB, parent); }

GtkWidget *ProgressDialog_GetCancelButton(GtkWidget *dialog)
{
    Private *p = privOf(dialog);
    return p ? p->cancel : nullptr;
}

void ProgressDialog_SetTotalFilesCountAndSize(GtkWidget *dialog, guint64 files, guint64 bytes)
{
    Private *p = privOf(dialog);
    if (!p)
        return;
    p->totalFiles = files;
    p->totalBytes = bytes;
    p->totalsKnown = true;
    if (p->pulseTimer) {
        g_source_remove(p->pulseTimer);
        p->pulseTimer = 0;
    }
    update(*p);
}

void ProgressDialog_IncrementProcessedFiles(GtkWidget *dialog, const gchar *name, guint64 bytes)
{
    Private *p = privOf(dialog);
    if (!p)
        return;
    ++p->processedFiles;
    p->processedBytes += bytes;
    if (!name) {
        gtk_label_set_text(GTK_LABEL(p->file), " ");
        return;
    }
    const char *format = nullptr;
    switch (p->kind) {
    case PROGRESS_DIALOG_MOVE: format = _("Moving %s..."); break;
    case PROGRESS_DIALOG_DELETE: format = _("Deleting %s..."); break;
    case PROGRESS_DIALOG_SAVE: format = _("Saving %s..."); break;
    case PROGRESS_DIALOG_LOAD: format = _("Loading %s..."); break;
    default: format = _("Adding %s..."); break;
    }
    gchar *display = Filenames_GetDisplayString(name);
    gchar *text = g_strdup_printf(format, display ? display : name);
    gtk_label_set_text(GTK_LABEL(p->file), trimRight(p->file, text, kFileWidthPixels).c_str());
    g_free(text);
    g_free(display);
}

void ProgressDialog_SetProgressBasedOnMB(GtkWidget *dialog, gboolean flag)
{
    if (Private *p = privOf(dialog))
        p->basedOnSize = flag != FALSE;
}

void ProgressDialog_ResetDialog(GtkWidget *dialog)
{
    Private *p = privOf(dialog);
    if (!p)
        return;
    p->totalFiles = p->totalBytes = p->processedFiles = p->processedBytes = 0;
    p->totalsKnown = false;
    gtk_label_set_text(GTK_LABEL(p->status), _("Please wait..."));
    gtk_label_set_text(GTK_LABEL(p->file), " ");
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(p->bar), nullptr);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p->bar), 0.0);
    startPulse(dialog, *p);
}
