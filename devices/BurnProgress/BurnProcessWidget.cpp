// The burn panel. Its C++ state lives in the instance's private area; the
// public operations check the type, take the widget's lock and update the
// labels, bars and the two list models.
#include "BurnProcessWidget.h"

#include "VornImages.h"
#include "VornKitDevicesManagement.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <utility>

namespace {

constexpr int kNameWidthPixels = 350;
constexpr int kFileWidthPixels = 350;
constexpr int kEventIconSize = 16;
constexpr guint kTickMs = 500;

struct Private {
    std::recursive_mutex lock;
    GtkWidget *nameLabel = nullptr, *typeLabel = nullptr, *sizeCaption = nullptr, *sizeLabel = nullptr;
    GtkListStore *events = nullptr;
    GtkWidget *eventsView = nullptr;
    GtkWidget *fileCaption = nullptr, *fileLabel = nullptr;
    GtkWidget *copyLabel = nullptr, *statusLabel = nullptr;
    GtkWidget *totalTimeLabel = nullptr;
    GtkWidget *remainingCaption = nullptr, *remainingLabel = nullptr;
    GtkWidget *subTaskText = nullptr, *subTaskBar = nullptr, *subTaskPercent = nullptr;
    GtkWidget *totalBar = nullptr, *totalPercent = nullptr;
    GtkListStore *writers = nullptr;
    GtkWidget *abortButton = nullptr;
    GTimer *elapsed = nullptr;
    GTimer *remaining = nullptr;
    guint32 remainingMs = 0;
    bool remainingShown = false;
    bool hasWriter = false;
    VornDeviceEntry writer{};
    guint ticker = 0;
};

Private *priv(BurnProcessWidget *self);

std::string clock(double seconds)
{
    const long total = std::max(0L, static_cast<long>(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

// The text as the label would lay it out, cut on the left with an ellipsis
// until it fits `width` pixels: the end of a path says the most.
std::string trimLeft(GtkWidget *label, const std::string &text, int width)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(label, text.c_str());
    int w = 0;
    pango_layout_get_pixel_size(layout, &w, nullptr);
    std::string shown = text;
    const char *p = text.c_str();
    while (w > width && *p) {
        p = g_utf8_next_char(p);
        shown = std::string("...") + p;
        pango_layout_set_text(layout, shown.c_str(), -1);
        pango_layout_get_pixel_size(layout, &w, nullptr);
    }
    g_object_unref(layout);
    return shown;
}

GtkWidget *leftLabel(const char *text)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    return label;
}

void attachRow(GtkWidget *table, guint row, GtkWidget *caption, GtkWidget *value)
{
    gtk_table_attach(GTK_TABLE(table), caption, 0, 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(table), value, 1, 2, row, row + 1, GtkAttachOptions(GTK_FILL | GTK_EXPAND),
                     GTK_FILL, 0, 0);
}

std::string formatSpeed(int speed, int base)
{
    const double factor = static_cast<double>(speed) / base;
    char text[64];
    if (std::fabs(factor - std::round(factor)) < 0.05)
        std::snprintf(text, sizeof text, "%d KB/s (%.0fx)", speed, std::round(factor));
    else
        std::snprintf(text, sizeof text, "%d KB/s (%.1fx)", speed, factor);
    return text;
}

bool rowIter(Private &p, gint index, GtkTreeIter *iter)
{
    if (index < 0)
        return false;
    gchar *path = g_strdup_printf("%u", static_cast<unsigned>(index));
    const gboolean found = gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(p.writers), iter, path);
    g_free(path);
    return found;
}

void showRemaining(Private &p)
{
    if (!p.remainingShown)
        return;
    const double left = p.remainingMs / 1000.0 - g_timer_elapsed(p.remaining, nullptr);
    gtk_label_set_text(GTK_LABEL(p.remainingLabel), clock(std::max(0.0, left)).c_str());
    gtk_widget_set_sensitive(p.remainingCaption, left >= 1.0);
    gtk_widget_set_sensitive(p.remainingLabel, left >= 1.0);
}

gboolean tick(gpointer data) noexcept
{
    try {
        auto *self = static_cast<BurnProcessWidget *>(data);
        Private &p = *priv(self);
        std::lock_guard lock(p.lock);
        gtk_label_set_text(GTK_LABEL(p.totalTimeLabel), clock(g_timer_elapsed(p.elapsed, nullptr)).c_str());
        showRemaining(p);
    } catch (...) {
    }
    return TRUE;
}

void bufferCell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *model, GtkTreeIter *iter,
                gpointer) noexcept
{
    gint level = -1;
    gtk_tree_model_get(model, iter, BURN_WRITER_COLUMN_BUFFER, &level, -1);
    if (level < 0) {
        g_object_set(cell, "visible", FALSE, nullptr);
        return;
    }
    gchar *text = g_strdup_printf("%d %%", level);
    g_object_set(cell, "visible", TRUE, "value", level, "text", text, nullptr);
    g_free(text);
}

template <class F>
gboolean withWidget(GtkWidget *widget, F &&body) noexcept
{
    if (!widget || !IS_VORN_BURN_PROCESS_WIDGET(widget))
        return FALSE;
    try {
        Private &p = *priv(VORN_BURN_PROCESS_WIDGET(widget));
        std::lock_guard lock(p.lock);
        return body(p) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

using BurnProcessWidgetPrivate = Private;
G_DEFINE_TYPE_WITH_PRIVATE(BurnProcessWidget, vorn_burn_process_widget, GTK_TYPE_VBOX)

namespace {
Private *priv(BurnProcessWidget *self)
{
    return static_cast<Private *>(vorn_burn_process_widget_get_instance_private(self));
}
}  // namespace

static void vorn_burn_process_widget_dispose(GObject *object)
{
    Private &p = *priv(VORN_BURN_PROCESS_WIDGET(object));
    {
        std::lock_guard lock(p.lock);
        if (p.ticker) {
            g_source_remove(p.ticker);
            p.ticker = 0;
        }
        if (p.events) {
            g_object_unref(p.events);
            p.events = nullptr;
        }
        if (p.writers) {
            g_object_unref(p.writers);
            p.writers = nullptr;
        }
    }
    G_OBJECT_CLASS(vorn_burn_process_widget_parent_class)->dispose(object);
}

static void vorn_burn_process_widget_finalize(GObject *object)
{
    Private *p = priv(VORN_BURN_PROCESS_WIDGET(object));
    g_timer_destroy(p->elapsed);
    g_timer_destroy(p->remaining);
    p->~Private();
    G_OBJECT_CLASS(vorn_burn_process_widget_parent_class)->finalize(object);
}

static void vorn_burn_process_widget_class_init(BurnProcessWidgetClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = vorn_burn_process_widget_dispose;
    G_OBJECT_CLASS(klass)->finalize = vorn_burn_process_widget_finalize;
}

static void vorn_burn_process_widget_init(BurnProcessWidget *self)
{
    Private &p = *new (priv(self)) Private{};
    GtkBox *box = GTK_BOX(self);
    gtk_box_set_spacing(box, 6);

    // The compilation.
    GtkWidget *head = gtk_table_new(3, 2, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(head), 12);
    p.nameLabel = leftLabel("");
    p.typeLabel = leftLabel("");
    p.sizeCaption = leftLabel(_("Size:"));
    p.sizeLabel = leftLabel("");
    attachRow(head, 0, leftLabel(_("Compilation name:")), p.nameLabel);
    gtk_table_attach(GTK_TABLE(head), p.typeLabel, 0, 2, 1, 2, GTK_FILL, GTK_FILL, 0, 0);
    attachRow(head, 2, p.sizeCaption, p.sizeLabel);
    gtk_box_pack_start(box, head, FALSE, FALSE, 0);

    // The burn log.
    p.events = gtk_list_store_new(BURN_EVENT_COLUMNS, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING);
    p.eventsView = gtk_tree_view_new_with_model(GTK_TREE_MODEL(p.events));
    GtkTreeViewColumn *timeColumn = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(timeColumn, _("Time"));
    GtkCellRenderer *icon = gtk_cell_renderer_pixbuf_new();
    gtk_tree_view_column_pack_start(timeColumn, icon, FALSE);
    gtk_tree_view_column_add_attribute(timeColumn, icon, "pixbuf", BURN_EVENT_COLUMN_ICON);
    GtkCellRenderer *timeText = gtk_cell_renderer_text_new();
    gtk_tree_view_column_pack_start(timeColumn, timeText, FALSE);
    gtk_tree_view_column_add_attribute(timeColumn, timeText, "markup", BURN_EVENT_COLUMN_TIME);
    gtk_tree_view_append_column(GTK_TREE_VIEW(p.eventsView), timeColumn);
    gtk_tree_view_append_column(GTK_TREE_VIEW(p.eventsView),
                                gtk_tree_view_column_new_with_attributes(_("Event"), gtk_cell_renderer_text_new(),
                                                                         "markup", BURN_EVENT_COLUMN_TEXT, nullptr));
    GtkWidget *eventsScroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(eventsScroll), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(eventsScroll), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(eventsScroll), p.eventsView);
    gtk_widget_set_size_request(eventsScroll, -1, 140);
    gtk_box_pack_start(box, eventsScroll, TRUE, TRUE, 0);

    // What happens now.
    GtkWidget *state = gtk_table_new(5, 2, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(state), 12);
    p.fileCaption = leftLabel(_("Writing file:"));
    p.fileLabel = leftLabel("");
    p.copyLabel = leftLabel("1 / 1");
    p.statusLabel = leftLabel("");
    p.totalTimeLabel = leftLabel("0:00:00");
    p.remainingCaption = leftLabel(_("Remaining time:"));
    p.remainingLabel = leftLabel("0:00:00");
    attachRow(state, 0, p.fileCaption, p.fileLabel);
    attachRow(state, 1, leftLabel(_("Copy:")), p.copyLabel);
    attachRow(state, 2, leftLabel(_("Status:")), p.statusLabel);
    attachRow(state, 3, leftLabel(_("Total time:")), p.totalTimeLabel);
    attachRow(state, 4, p.remainingCaption, p.remainingLabel);
    gtk_box_pack_start(box, state, FALSE, FALSE, 0);

    // The sub-task and the whole.
    GtkWidget *bars = gtk_table_new(2, 3, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(bars), 12);
    p.subTaskText = leftLabel("");
    p.subTaskBar = gtk_progress_bar_new();
    p.subTaskPercent = leftLabel("0 %");
    p.totalBar = gtk_progress_bar_new();
    p.totalPercent = leftLabel("0 %");
    const auto fill = GtkAttachOptions(GTK_FILL | GTK_EXPAND);
    gtk_table_attach(GTK_TABLE(bars), p.subTaskText, 0, 1, 0, 1, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(bars), p.subTaskBar, 1, 2, 0, 1, fill, GTK_FILL, 0, 2);
    gtk_table_attach(GTK_TABLE(bars), p.subTaskPercent, 2, 3, 0, 1, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(bars), leftLabel(_("Completed:")), 0, 1, 1, 2, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(bars), p.totalBar, 1, 2, 1, 2, fill, GTK_FILL, 0, 2);
    gtk_table_attach(GTK_TABLE(bars), p.totalPercent, 2, 3, 1, 2, GTK_FILL, GTK_FILL, 0, 0);
    gtk_widget_set_size_request(p.subTaskPercent, 48, -1);
    gtk_box_pack_start(box, bars, FALSE, FALSE, 0);
    for (GtkWidget *w : {p.subTaskText, p.subTaskBar, p.subTaskPercent})
        gtk_widget_set_sensitive(w, FALSE);

    // The recorders.
    p.writers = gtk_list_store_new(BURN_WRITER_COLUMNS, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT,
                                   G_TYPE_STRING);
    GtkWidget *writersView = gtk_tree_view_new_with_model(GTK_TREE_MODEL(p.writers));
    GtkTreeViewColumn *recorder = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(recorder, _("Recorder"));
    GtkCellRenderer *deviceIcon = gtk_cell_renderer_pixbuf_new();
    gtk_tree_view_column_pack_start(recorder, deviceIcon, FALSE);
    gtk_tree_view_column_add_attribute(recorder, deviceIcon, "pixbuf", BURN_WRITER_COLUMN_ICON);
    GtkCellRenderer *deviceName = gtk_cell_renderer_text_new();
    gtk_tree_view_column_pack_start(recorder, deviceName, TRUE);
    gtk_tree_view_column_add_attribute(recorder, deviceName, "text", BURN_WRITER_COLUMN_NAME);
    gtk_tree_view_column_set_expand(recorder, TRUE);
    gtk_tree_view_append_column(GTK_TREE_VIEW(writersView), recorder);
    gtk_tree_view_append_column(GTK_TREE_VIEW(writersView),
                                gtk_tree_view_column_new_with_attributes(_("Action"), gtk_cell_renderer_text_new(),
                                                                         "text", BURN_WRITER_COLUMN_ACTION, nullptr));
    GtkTreeViewColumn *bufferColumn = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(bufferColumn, _("Buffer Level"));
    GtkCellRenderer *bufferBar = gtk_cell_renderer_progress_new();
    gtk_tree_view_column_pack_start(bufferColumn, bufferBar, TRUE);
    gtk_tree_view_column_set_cell_data_func(bufferColumn, bufferBar, bufferCell, nullptr, nullptr);
    gtk_tree_view_column_set_min_width(bufferColumn, 110);
    gtk_tree_view_append_column(GTK_TREE_VIEW(writersView), bufferColumn);
    gtk_tree_view_append_column(GTK_TREE_VIEW(writersView),
                                gtk_tree_view_column_new_with_attributes(_("Recorder State"),
                                                                         gtk_cell_renderer_text_new(), "text",
                                                                         BURN_WRITER_COLUMN_STATE, nullptr));
    GtkWidget *writersFrame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(writersFrame), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(writersFrame), writersView);
    gtk_box_pack_start(box, writersFrame, FALSE, FALSE, 0);

    // Abort.
    GtkWidget *buttons = gtk_hbutton_box_new();
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    p.abortButton = gtk_button_new_with_mnemonic(_("_Cancel"));
    GTK_WIDGET_SET_FLAGS(p.abortButton, GTK_CAN_DEFAULT);
    gtk_container_add(GTK_CONTAINER(buttons), p.abortButton);
    gtk_box_pack_start(box, buttons, FALSE, FALSE, 0);

    // Names for tests and themes.
    const std::pair<GtkWidget *, const char *> names[] = {
        {p.nameLabel, "compilation-name"}, {p.sizeLabel, "size"},          {p.fileCaption, "file-caption"},
        {p.fileLabel, "file"},             {p.copyLabel, "copy"},          {p.statusLabel, "status"},
        {p.totalTimeLabel, "total-time"},  {p.remainingLabel, "remaining"}, {p.subTaskText, "sub-task-text"},
        {p.subTaskBar, "sub-task-bar"},    {p.subTaskPercent, "sub-task-percent"}, {p.totalBar, "total-bar"},
        {p.totalPercent, "total-percent"}, {p.abortButton, "abort"},       {p.eventsView, "events"}};
    for (const auto &[widget, name] : names)
        gtk_widget_set_name(widget, name);

    gtk_widget_show_all(GTK_WIDGET(self));
    gtk_widget_hide(p.remainingCaption);
    gtk_widget_hide(p.remainingLabel);

    p.elapsed = g_timer_new();
    p.remaining = g_timer_new();
    g_timer_stop(p.remaining);
    p.ticker = gdk_threads_add_timeout(kTickMs, tick, self);
}

GType BurnProcessWidget_GetType(void)
{
    return vorn_burn_process_widget_get_type();
}

GtkWidget *BurnProcessWidget_New(void)
{
    return GTK_WIDGET(g_object_new(VORN_TYPE_BURN_PROCESS_WIDGET, nullptr));
}

gboolean BurnProcessWidget_SetCompilationName(GtkWidget *widget, const gchar *name)
{
    return withWidget(widget, [&](Private &p) {
        gtk_label_set_text(GTK_LABEL(p.nameLabel), trimLeft(p.nameLabel, name ? name : "", kNameWidthPixels).c_str());
        return true;
    });
}

gboolean BurnProcessWidget_SetCompilationType(GtkWidget *widget, const gchar *type)
{
    return withWidget(widget, [&](Private &p) {
        gtk_label_set_text(GTK_LABEL(p.typeLabel), type ? type : "");
        return true;
    });
}

gboolean BurnProcessWidget_SetCompilationSize(GtkWidget *widget, gint32 blocks, gint64 bytes)
{
    return withWidget(widget, [&](Private &p) {
        if (blocks == -1) {
            gtk_widget_hide(p.sizeCaption);
            gtk_widget_hide(p.sizeLabel);
            return true;
        }
        // A block is a frame of 1/75 s as audio: the playing time the disc's
        // blocks stand for.
        const long seconds = std::max<gint32>(0, blocks) / 75;
        char megabytes[48], playing[48];
        std::snprintf(megabytes, sizeof megabytes, "%.2f MB", static_cast<double>(bytes) / 1048576.0);
        std::snprintf(playing, sizeof playing, "%ld:%02ld min", seconds / 60, seconds % 60);
        gchar *text = g_strdup_printf(_("%s / %s"), megabytes, playing);
        gtk_label_set_text(GTK_LABEL(p.sizeLabel), text);
        g_free(text);
        gtk_widget_show(p.sizeCaption);
        gtk_widget_show(p.sizeLabel);
        return true;
    });
}

gint BurnProcessWidget_AddWriter(GtkWidget *widget, const VornDeviceEntry *device)
{
    gint index = -1;
    withWidget(widget, [&](Private &p) {
        if (!device)
            return false;
        if (!p.hasWriter) {
            p.writer = *device;
            p.hasWriter = true;
        }
        GdkPixbuf *icon = VornKit_DevicesManagement_GetDevicePixbuf(device, 0, 0);
        gchar name[sizeof device->name + 1] = {};
        std::memcpy(name, device->name, sizeof device->name);
        GtkTreeIter iter;
        gtk_list_store_append(p.writers, &iter);
        gtk_list_store_set(p.writers, &iter, BURN_WRITER_COLUMN_ICON, icon, BURN_WRITER_COLUMN_NAME, name,
                           BURN_WRITER_COLUMN_ACTION, _("Idle"), BURN_WRITER_COLUMN_BUFFER, -1,
                           BURN_WRITER_COLUMN_STATE, _("Ready"), -1);
        if (icon)
            g_object_unref(icon);
        index = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(p.writers), nullptr) - 1;
        return true;
    });
    return index;
}

gboolean BurnProcessWidget_StopTimers(GtkWidget *widget)
{
    return withWidget(widget, [&](Private &p) {
        g_timer_stop(p.elapsed);
        g_timer_stop(p.remaining);
        if (p.remainingShown) {
            gtk_label_set_text(GTK_LABEL(p.remainingLabel), "0:00:00");
            gtk_widget_set_sensitive(p.remainingCaption, FALSE);
            gtk_widget_set_sensitive(p.remainingLabel, FALSE);
        }
        p.remainingMs = 0;
        if (p.ticker) {
            g_source_remove(p.ticker);
            p.ticker = 0;
        }
        return true;
    });
}

gboolean BurnProcessWidget_AddMessage(GtkWidget *widget, const gchar *text, gint, gint kind)
{
    return withWidget(widget, [&](Private &p) {
        if (!text)
            return false;
        static const char *const kIcons[] = {"asterisk", "hand", "exclamation", "question", nullptr, "file",
                                             "copyright"};
        GdkPixbuf *icon = nullptr;
        if (kind == 5) {
            if (p.hasWriter)
                icon = VornKit_DevicesManagement_GetDevicePixbuf(&p.writer, 0, 0);
        } else {
            const char *name = kind >= 1 && kind <= 7 ? kIcons[kind - 1] : "empty";
            gchar *path = g_strdup_printf(VORN_IMG_BURN_EVENT_PATH, VORN_IMAGES_DIR, name, kEventIconSize);
            icon = gdk_pixbuf_new_from_file(path, nullptr);
            g_free(path);
        }
        char now[16];
        const std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(now, sizeof now, "%H:%M:%S", &local);

        gchar **lines = g_strsplit(text, "\n", -1);
        GtkTreeIter iter;
        for (gchar **line = lines; *line; ++line) {
            gchar *escaped = g_markup_escape_text(*line, -1);
            gtk_list_store_append(p.events, &iter);
            if (line == lines)
                gtk_list_store_set(p.events, &iter, BURN_EVENT_COLUMN_ICON, icon, BURN_EVENT_COLUMN_TIME, now,
                                   BURN_EVENT_COLUMN_TEXT, escaped, -1);
            else
                gtk_list_store_set(p.events, &iter, BURN_EVENT_COLUMN_TEXT, escaped, -1);
            g_free(escaped);
        }
        g_strfreev(lines);
        if (icon)
            g_object_unref(icon);
        GtkTreePath *last = gtk_tree_model_get_path(GTK_TREE_MODEL(p.events), &iter);
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(p.eventsView), last, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(last);
        return true;
    });
}

gboolean BurnProcessWidget_SetReadingLabel(GtkWidget *widget, gboolean reading)
{
    return withWidget(widget, [&](Private &p) {
        gtk_label_set_text(GTK_LABEL(p.fileCaption), reading ? _("Reading file:") : _("Writing file:"));
        return true;
    });
}

gboolean BurnProcessWidget_SetAbortButtonLabel(GtkWidget *widget, gboolean abort)
{
    return withWidget(widget, [&](Private &p) {
        gtk_button_set_label(GTK_BUTTON(p.abortButton), abort ? _("_Abort") : _("_Cancel"));
        gtk_button_set_use_underline(GTK_BUTTON(p.abortButton), TRUE);
        return true;
    });
}

gboolean BurnProcessWidget_SetFileName(GtkWidget *widget, const gchar *name)
{
    return withWidget(widget, [&](Private &p) {
        if (!name) {
            gtk_label_set_text(GTK_LABEL(p.fileLabel), "");
            return true;
        }
        const int allocated = p.fileLabel->allocation.width;
        const int width = allocated > 1 ? allocated : kFileWidthPixels;
        gtk_label_set_text(GTK_LABEL(p.fileLabel), trimLeft(p.fileLabel, name, width).c_str());
        return true;
    });
}

gboolean BurnProcessWidget_SetStatusPhase(GtkWidget *widget, const gchar *text)
{
    return withWidget(widget, [&](Private &p) {
        gtk_label_set_text(GTK_LABEL(p.statusLabel), text ? text : "");
        return true;
    });
}

gboolean BurnProcessWidget_SetPercentage(GtkWidget *widget, gint64 done, gint64 total)
{
    return withWidget(widget, [&](Private &p) {
        const gint64 percent = total == 0 ? 100 : std::clamp<gint64>(done * 100 / total, 0, 100);
        gchar *text = g_strdup_printf(_("%d %%"), static_cast<int>(percent));
        gtk_label_set_text(GTK_LABEL(p.totalPercent), text);
        g_free(text);
        const double fraction =
            total == 0 ? 1.0 : std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p.totalBar), fraction);
        return true;
    });
}

gboolean BurnProcessWidget_SetSubTaskPercentage(GtkWidget *widget, gint percent)
{
    return withWidget(widget, [&](Private &p) {
        if (!GTK_WIDGET_SENSITIVE(p.subTaskBar))
            return false;
        percent = std::clamp(percent, 0, 100);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p.subTaskBar), percent / 100.0);
        gchar *text = g_strdup_printf(_("%d %%"), percent);
        gtk_label_set_text(GTK_LABEL(p.subTaskPercent), text);
        g_free(text);
        return true;
    });
}

gboolean BurnProcessWidget_SetWriteSpeed(GtkWidget *widget, gint speed, gint base, gboolean verifying)
{
    return withWidget(widget, [&](Private &p) {
        if (speed == 65535 || base < 1) {
            gtk_label_set_text(GTK_LABEL(p.statusLabel), "");
            return true;
        }
        const std::string formatted = formatSpeed(speed & 0x7FFFFFFF, base);
        gchar *text = g_strdup_printf(verifying ? _("Verifying the compilation at %s") : _("Writing at %s"),
                                      formatted.c_str());
        gtk_label_set_text(GTK_LABEL(p.statusLabel), text);
        g_free(text);
        return true;
    });
}

gboolean BurnProcessWidget_SetReadSpeed(GtkWidget *widget, gint speed, gint base)
{
    return withWidget(widget, [&](Private &p) {
        if (speed == 65535 || base < 1)
            return true;
        gchar *text = g_strdup_printf(_("Reading at %s"), formatSpeed(speed, base).c_str());
        gtk_label_set_text(GTK_LABEL(p.statusLabel), text);
        g_free(text);
        return true;
    });
}

gboolean BurnProcessWidget_SetRemainingTime(GtkWidget *widget, guint32 milliseconds)
{
    return withWidget(widget, [&](Private &p) {
        p.remainingMs = milliseconds;
        const bool imageRecorder = p.hasWriter && (p.writer.capabilities & VORN_CAP_IMAGE_RECORDER);
        if (milliseconds != 0 && !imageRecorder) {
            p.remainingShown = true;
            gtk_widget_show(p.remainingCaption);
            gtk_widget_show(p.remainingLabel);
            g_timer_start(p.remaining);
            showRemaining(p);
        } else if (p.remainingShown) {
            gtk_widget_set_sensitive(p.remainingCaption, FALSE);
            gtk_widget_set_sensitive(p.remainingLabel, FALSE);
            g_timer_stop(p.remaining);
        }
        return true;
    });
}

guint32 BurnProcessWidget_GetRemainingTime(GtkWidget *widget)
{
    guint32 left = 0;
    withWidget(widget, [&](Private &p) {
        if (p.remainingMs == 0)
            return true;
        const double counted = g_timer_elapsed(p.remaining, nullptr) * 1000.0;
        left = static_cast<guint32>(std::max(0.0, p.remainingMs - counted));
        return true;
    });
    return left;
}

gboolean BurnProcessWidget_SetSubTaskText(GtkWidget *widget, const gchar *text)
{
    return withWidget(widget, [&](Private &p) {
        if (!text || !GTK_WIDGET_SENSITIVE(p.subTaskBar))
            return false;
        gtk_label_set_text(GTK_LABEL(p.subTaskText), text);
        return true;
    });
}

gboolean BurnProcessWidget_SetSubTaskWidgetsSenstivity(GtkWidget *widget, gboolean on)
{
    return withWidget(widget, [&](Private &p) {
        for (GtkWidget *w : {p.subTaskText, p.subTaskBar, p.subTaskPercent})
            gtk_widget_set_sensitive(w, on);
        if (!on) {
            gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p.subTaskBar), 0.0);
            gtk_label_set_text(GTK_LABEL(p.subTaskText), "");
            gtk_label_set_text(GTK_LABEL(p.subTaskPercent), _("0 %"));
        }
        return true;
    });
}

gboolean BurnProcessWidget_SetSubTaskRecBufTextCallback(GtkWidget *widget)
{
    return withWidget(widget, [&](Private &p) {
        const char *text = _("Used read buffer:");
        if (!GTK_WIDGET_SENSITIVE(p.subTaskBar) || std::strcmp(gtk_label_get_text(GTK_LABEL(p.subTaskText)), text) == 0)
            return false;
        gtk_label_set_text(GTK_LABEL(p.subTaskText), text);
        return true;
    });
}

gboolean BurnProcessWidget_SetWriterName(GtkWidget *widget, gint index, const gchar *name)
{
    return withWidget(widget, [&](Private &p) {
        GtkTreeIter iter;
        if (!name || !rowIter(p, index, &iter))
            return false;
        gtk_list_store_set(p.writers, &iter, BURN_WRITER_COLUMN_NAME, name, -1);
        return true;
    });
}

gboolean BurnProcessWidget_SetWriterPhase(GtkWidget *widget, gint index, gint phase)
{
    return withWidget(widget, [&](Private &p) {
        GtkTreeIter iter;
        if (!rowIter(p, index, &iter))
            return false;
        const char *action = nullptr;
        switch (phase) {
        case 0: action = _("Idle"); break;
        case 1: action = _("Lead-in"); break;
        case 2: return true;
        case 3: action = _("Track"); break;
        case 4: action = _("Lead-out"); break;
        case 5: action = _("Lead-in and lead-out"); break;
        case 6:
        case 7: action = _("Reading..."); break;
        default: action = _("Running..."); break;
        }
        gtk_list_store_set(p.writers, &iter, BURN_WRITER_COLUMN_ACTION, action, -1);
        return true;
    });
}

gboolean BurnProcessWidget_SetWriterBufferAvailable(GtkWidget *widget, gint index, gboolean available)
{
    return withWidget(widget, [&](Private &p) {
        GtkTreeIter iter;
        if (!rowIter(p, index, &iter))
            return false;
        gtk_list_store_set(p.writers, &iter, BURN_WRITER_COLUMN_BUFFER, available ? 0 : -1, -1);
        return true;
    });
}

gboolean BurnProcessWidget_SetWriterBuffer(GtkWidget *widget, gint index, guint32 level, guint32 size)
{
    return withWidget(widget, [&](Private &p) {
        GtkTreeIter iter;
        if (size == 0 || !rowIter(p, index, &iter))
            return false;
        const guint64 percent = std::min<guint64>(static_cast<guint64>(level) * 100 / size, 100);
        gtk_list_store_set(p.writers, &iter, BURN_WRITER_COLUMN_BUFFER, static_cast<gint>(percent), -1);
        return true;
    });
}

gboolean BurnProcessWidget_SetWriterStatus(GtkWidget *widget, gint index, gint status)
{
    return withWidget(widget, [&](Private &p) {
        GtkTreeIter iter;
        if (!rowIter(p, index, &iter))
            return false;
        const char *state = status == 0 ? _("Ready") : status == 1 ? _("Active") : _("Failed");
        gtk_list_store_set(p.writers, &iter, BURN_WRITER_COLUMN_STATE, state, -1);
        return true;
    });
}

gboolean BurnProcessWidget_SetNumCopies(GtkWidget *widget, gint current, gint total)
{
    return withWidget(widget, [&](Private &p) {
        gchar *text = g_strdup_printf(_("%d / %d"), current, total);
        gtk_label_set_text(GTK_LABEL(p.copyLabel), text);
        g_free(text);
        return true;
    });
}

GtkTreeModel *BurnProcessWidget_GetEventsTreeModel(GtkWidget *widget)
{
    GtkTreeModel *model = nullptr;
    withWidget(widget, [&](Private &p) {
        model = GTK_TREE_MODEL(p.events);
        return true;
    });
    return model;
}

GtkTreeModel *BurnProcessWidget_GetWritersTreeModel(GtkWidget *widget)
{
    GtkTreeModel *model = nullptr;
    withWidget(widget, [&](Private &p) {
        model = GTK_TREE_MODEL(p.writers);
        return true;
    });
    return model;
}

GtkWidget *BurnProcessWidget_GetAbortButton(GtkWidget *widget)
{
    GtkWidget *button = nullptr;
    withWidget(widget, [&](Private &p) {
        button = p.abortButton;
        return true;
    });
    return button;
}

const VornDeviceEntry *BurnProcessWidget_GetWriter(GtkWidget *widget)
{
    const VornDeviceEntry *writer = nullptr;
    withWidget(widget, [&](Private &p) {
        writer = p.hasWriter ? &p.writer : nullptr;
        return true;
    });
    return writer;
}
