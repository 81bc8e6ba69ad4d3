// The recorder combo box. Rows are rebuilt from devices management's
// snapshot; each drive row owns a private copy of its device entry, so the
// selection survives rescans by address and never points into a freed list.
#include "RecorderComboBox.h"

#include "Debugger.h"
#include "VornKitDevicesManagement.h"
#include "VornSCSIDeviceInfo.h"

#include <libintl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#define _(text) dgettext("vornkit", text)

namespace {

// Drive icons in the list are 24 pixels (size index 1 of the drive icons).
constexpr gint kIconSizeIndex = 1;

enum Signal { FilterRecorder, FilterEnd, ContentRefreshed, SignalCount };
guint signals[SignalCount];

struct CustomEntry {
    GdkPixbuf *icon = nullptr;  // one reference held
    std::string name;
    gpointer data = nullptr;
};

struct RecorderComboPrivate {
    std::recursive_mutex lock;
    GtkListStore *store = nullptr;
    std::vector<CustomEntry> prepended;
    std::vector<CustomEntry> appended;
    bool showIdAndHa = false;
    bool listening = false;
};

// What was selected before a refresh, to select it again after.
struct Selection {
    gint kind = -1;
    VornDeviceEntry device{};
    std::string name;
    gpointer data = nullptr;
};

}  // namespace

using VornRecorderComboBoxPrivate = RecorderComboPrivate;
G_DEFINE_TYPE_WITH_PRIVATE(VornRecorderComboBox, vorn_recorder_combo_box, GTK_TYPE_COMBO_BOX)

namespace {

RecorderComboPrivate *priv(VornRecorderComboBox *self)
{
    return static_cast<RecorderComboPrivate *>(vorn_recorder_combo_box_get_instance_private(self));
}

RecorderComboPrivate *privOf(GtkWidget *widget)
{
    return widget && VORNKIT_IS_RECORDER_COMBO_BOX(widget) ? priv(VORNKIT_RECORDER_COMBO_BOX(widget)) : nullptr;
}

template <class Fn>
gint withLocked(GtkWidget *box, Fn fn)
{
    RecorderComboPrivate *p = privOf(box);
    if (!p)
        return 0;
    std::lock_guard guard(p->lock);
    return fn(*p);
}

void releaseEntry(CustomEntry &entry)
{
    if (entry.icon)
        g_object_unref(entry.icon);
    entry.icon = nullptr;
}

CustomEntry copyEntry(const VornRecorderComboBoxCustomEntry &entry)
{
    CustomEntry copy;
    copy.icon = entry.icon ? GDK_PIXBUF(g_object_ref(entry.icon)) : nullptr;
    copy.name = entry.name;
    copy.data = entry.data;
    return copy;
}

// Frees the device copies the drive rows own.
void freeDeviceCopies(GtkListStore *store)
{
    GtkTreeModel *model = GTK_TREE_MODEL(store);
    GtkTreeIter iter;
    for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
         valid = gtk_tree_model_iter_next(model, &iter)) {
        gint kind = -1;
        gpointer data = nullptr;
        gtk_tree_model_get(model, &iter, VORNKIT_RECORDER_COLUMN_KIND, &kind, VORNKIT_RECORDER_COLUMN_DATA, &data, -1);
        if (kind == VORNKIT_RECORDER_ROW_DEVICE) {
            g_free(data);
            gtk_list_store_set(store, &iter, VORNKIT_RECORDER_COLUMN_DATA, nullptr, -1);
        }
    }
}

void addCustomRow(GtkListStore *store, const CustomEntry &entry, gint kind)
{
    GtkTreeIter iter;
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, VORNKIT_RECORDER_COLUMN_ICON, entry.icon, VORNKIT_RECORDER_COLUMN_NAME,
                       entry.name.c_str(), VORNKIT_RECORDER_COLUMN_ID_TEXT, nullptr, VORNKIT_RECORDER_COLUMN_KIND, kind,
                       VORNKIT_RECORDER_COLUMN_DATA, entry.data, -1);
}

std::string displayName(const VornDeviceEntry &device)
{
    char name[sizeof device.name + 1] = {};
    std::copy_n(device.name, sizeof device.name, name);
    gchar *trimmed = VornKit_VornSCSIDeviceInfo_GetTrimedDeviceName(name);
    gchar *valid = g_utf8_make_valid(trimmed ? trimmed : "", -1);
    std::string out = valid;
    g_free(valid);
    g_free(trimmed);
    return out;
}

void addDeviceRow(RecorderComboPrivate &p, const VornDeviceEntry &device)
{
    auto *copy = static_cast<VornDeviceEntry *>(g_malloc(sizeof(VornDeviceEntry)));
    VornKit_VornSCSIDeviceInfo_Dump(copy, &device, TRUE);
    gchar *idText = p.showIdAndHa ? g_strdup_printf("(ID:%d - HA:%d)", device.deviceId, device.hostAdapter) : nullptr;
    // A drive whose icon cannot be made is listed all the same.
    GdkPixbuf *icon = VornKit_DevicesManagement_GetDevicePixbuf(copy, 0, kIconSizeIndex);
    GtkTreeIter iter;
    gtk_list_store_append(p.store, &iter);
    gtk_list_store_set(p.store, &iter, VORNKIT_RECORDER_COLUMN_ICON, icon, VORNKIT_RECORDER_COLUMN_NAME,
                       displayName(device).c_str(), VORNKIT_RECORDER_COLUMN_ID_TEXT, idText,
                       VORNKIT_RECORDER_COLUMN_KIND, VORNKIT_RECORDER_ROW_DEVICE, VORNKIT_RECORDER_COLUMN_DATA, copy,
                       -1);
    if (icon)
        g_object_unref(icon);
    g_free(idText);
}

std::optional<Selection> currentSelection(GtkWidget *box, RecorderComboPrivate &p)
{
    GtkTreeIter iter;
    if (!gtk_combo_box_get_active_iter(GTK_COMBO_BOX(box), &iter))
        return std::nullopt;
    Selection selection;
    gchar *name = nullptr;
    gpointer data = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(p.store), &iter, VORNKIT_RECORDER_COLUMN_KIND, &selection.kind,
                       VORNKIT_RECORDER_COLUMN_NAME, &name, VORNKIT_RECORDER_COLUMN_DATA, &data, -1);
    selection.name = name ? name : "";
    g_free(name);
    if (selection.kind == VORNKIT_RECORDER_ROW_DEVICE) {
        if (!data)
            return std::nullopt;
        VornKit_VornSCSIDeviceInfo_Dump(&selection.device, static_cast<const VornDeviceEntry *>(data), TRUE);
    } else {
        selection.data = data;
    }
    return selection;
}

// Selects the first row `matches` accepts (kind, name, data, device copy).
template <class Match>
bool selectRow(GtkWidget *box, RecorderComboPrivate &p, Match matches)
{
    GtkTreeModel *model = GTK_TREE_MODEL(p.store);
    GtkTreeIter iter;
    for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
         valid = gtk_tree_model_iter_next(model, &iter)) {
        gint kind = -1;
        gchar *name = nullptr;
        gpointer data = nullptr;
        gtk_tree_model_get(model, &iter, VORNKIT_RECORDER_COLUMN_KIND, &kind, VORNKIT_RECORDER_COLUMN_NAME, &name,
                           VORNKIT_RECORDER_COLUMN_DATA, &data, -1);
        const bool found = matches(kind, name ? name : "", data);
        g_free(name);
        if (found) {
            gtk_combo_box_set_active_iter(GTK_COMBO_BOX(box), &iter);
            return true;
        }
    }
    return false;
}

bool reselect(GtkWidget *box, RecorderComboPrivate &p, const Selection &selection)
{
    if (selection.kind == VORNKIT_RECORDER_ROW_DEVICE)
        return selectRow(box, p, [&](gint kind, const char *, gpointer data) {
            return kind == VORNKIT_RECORDER_ROW_DEVICE &&
                   VornKit_VornSCSIDeviceInfo_Equal(static_cast<const VornDeviceEntry *>(data), &selection.device);
        });
    return selectRow(box, p, [&](gint kind, const char *name, gpointer data) {
        return kind == selection.kind && data == selection.data && selection.name == name;
    });
}

void refresh(GtkWidget *box, RecorderComboPrivate &p)
{
    const std::optional<Selection> remembered = currentSelection(box, p);

    // Detached while it is rebuilt, so the view never draws a half-made list.
    g_object_ref(p.store);
    gtk_combo_box_set_active(GTK_COMBO_BOX(box), -1);
    gtk_combo_box_set_model(GTK_COMBO_BOX(box), nullptr);
    freeDeviceCopies(p.store);
    gtk_list_store_clear(p.store);

    for (const CustomEntry &entry : p.prepended)
        addCustomRow(p.store, entry, VORNKIT_RECORDER_ROW_PREPENDED);

    if (VornKitDevicesInfo *devices = VornKit_DevicesManagement_GetDevicesInfoStructure()) {
        for (gint i = 0; i < devices->count; ++i) {
            VornDeviceEntry *device = VornDeviceList_Entry(devices, i);
            gboolean hide = FALSE;
            g_signal_emit(box, signals[FilterRecorder], 0, device, &hide);
            if (!hide)
                addDeviceRow(p, *device);
        }
        VornKit_DevicesManagement_FreeDevicesInfoStructure(devices);
    }
    g_signal_emit(box, signals[FilterEnd], 0);
    for (const CustomEntry &entry : p.appended)
        addCustomRow(p.store, entry, VORNKIT_RECORDER_ROW_APPENDED);

    gtk_combo_box_set_model(GTK_COMBO_BOX(box), GTK_TREE_MODEL(p.store));
    g_object_unref(p.store);
    if (remembered)
        reselect(box, p, *remembered);
    g_signal_emit(box, signals[ContentRefreshed], 0);
}

void onDevicesChanged(VornKitDevicesInfo *, gpointer box) noexcept
{
    try {
        withLocked(GTK_WIDGET(box), [&](RecorderComboPrivate &p) {
            refresh(GTK_WIDGET(box), p);
            return 1;
        });
    } catch (...) {
    }
}

// The drive's row follows its in-use state: the copy's state word and the
// locked form of its icon.
void onStatusChanged(const VornDeviceEntry *device, gboolean inUse, gpointer box) noexcept
{
    try {
        withLocked(GTK_WIDGET(box), [&](RecorderComboPrivate &p) {
            GtkTreeModel *model = GTK_TREE_MODEL(p.store);
            GtkTreeIter iter;
            for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
                 valid = gtk_tree_model_iter_next(model, &iter)) {
                gint kind = -1;
                gpointer data = nullptr;
                gtk_tree_model_get(model, &iter, VORNKIT_RECORDER_COLUMN_KIND, &kind, VORNKIT_RECORDER_COLUMN_DATA,
                                   &data, -1);
                auto *copy = static_cast<VornDeviceEntry *>(data);
                if (kind != VORNKIT_RECORDER_ROW_DEVICE || !VornKit_VornSCSIDeviceInfo_Equal(copy, device))
                    continue;
                copy->inUse = inUse ? VORN_DEVICE_IN_USE : VORN_DEVICE_FREE;
                GdkPixbuf *icon = VornKit_DevicesManagement_GetDevicePixbuf(copy, inUse ? 1 : 0, kIconSizeIndex);
                gtk_list_store_set(p.store, &iter, VORNKIT_RECORDER_COLUMN_ICON, icon, -1);
                if (icon)
                    g_object_unref(icon);
            }
            return 1;
        });
    } catch (...) {
    }
}

void stopListening(GtkWidget *box, RecorderComboPrivate &p)
{
    if (!p.listening)
        return;
    p.listening = false;
    VornKit_DevicesManagement_UnregisterDeviceChangeCallback(onDevicesChanged, box);
    VornKit_DevicesManagement_UnregisterStatusChangeCallback(onStatusChanged, box);
}

gint addCustomEntry(GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry, bool prepend)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        if (!entry || !entry->name) {
            debugger_DummyOut("NULL as entry name!\n");
            return 0;
        }
        (prepend ? p.prepended : p.appended).push_back(copyEntry(*entry));
        refresh(box, p);
        return 1;
    });
}

template <class Match>
gint removeCustomEntry(GtkWidget *box, bool prepended, Match matches)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        auto &entries = prepended ? p.prepended : p.appended;
        auto found = std::find_if(entries.begin(), entries.end(), matches);
        if (found == entries.end())
            return 0;
        releaseEntry(*found);
        entries.erase(found);
        refresh(box, p);
        return 1;
    });
}

gint selectCustomEntry(GtkWidget *box, gint kind, const char *name, gpointer data, bool byName)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        return selectRow(box, p, [&](gint rowKind, const char *rowName, gpointer rowData) {
            return rowKind == kind && rowData == data && (!byName || std::strcmp(rowName, name) == 0);
        }) ? 1 : 0;
    });
}

}  // namespace

static void vorn_recorder_combo_box_init(VornRecorderComboBox *self)
{
    RecorderComboPrivate *p = new (priv(self)) RecorderComboPrivate{};
    p->store = gtk_list_store_new(5, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT, G_TYPE_POINTER);
    gtk_combo_box_set_model(GTK_COMBO_BOX(self), GTK_TREE_MODEL(p->store));

    GtkCellLayout *layout = GTK_CELL_LAYOUT(self);
    GtkCellRenderer *icon = gtk_cell_renderer_pixbuf_new();
    gtk_cell_layout_pack_start(layout, icon, FALSE);
    gtk_cell_layout_add_attribute(layout, icon, "pixbuf", VORNKIT_RECORDER_COLUMN_ICON);
    GtkCellRenderer *name = gtk_cell_renderer_text_new();
    gtk_cell_layout_pack_start(layout, name, TRUE);
    gtk_cell_layout_add_attribute(layout, name, "text", VORNKIT_RECORDER_COLUMN_NAME);
    GtkCellRenderer *idText = gtk_cell_renderer_text_new();
    g_object_set(idText, "foreground", "#808080", nullptr);
    gtk_cell_layout_pack_start(layout, idText, FALSE);
    gtk_cell_layout_add_attribute(layout, idText, "text", VORNKIT_RECORDER_COLUMN_ID_TEXT);
}

static void vorn_recorder_combo_box_dispose(GObject *object)
{
    RecorderComboPrivate *p = priv(VORNKIT_RECORDER_COMBO_BOX(object));
    {
        std::lock_guard guard(p->lock);
        stopListening(GTK_WIDGET(object), *p);
    }
    G_OBJECT_CLASS(vorn_recorder_combo_box_parent_class)->dispose(object);
}

static void vorn_recorder_combo_box_finalize(GObject *object)
{
    RecorderComboPrivate *p = priv(VORNKIT_RECORDER_COMBO_BOX(object));
    freeDeviceCopies(p->store);
    g_object_unref(p->store);
    for (CustomEntry &entry : p->prepended)
        releaseEntry(entry);
    for (CustomEntry &entry : p->appended)
        releaseEntry(entry);
    p->~RecorderComboPrivate();
    G_OBJECT_CLASS(vorn_recorder_combo_box_parent_class)->finalize(object);
}

static void vorn_recorder_combo_box_class_init(VornRecorderComboBoxClass *klass)
{
    GObjectClass *objectClass = G_OBJECT_CLASS(klass);
    objectClass->dispose = vorn_recorder_combo_box_dispose;
    objectClass->finalize = vorn_recorder_combo_box_finalize;
    const GType type = G_TYPE_FROM_CLASS(klass);
    signals[FilterRecorder] =
        g_signal_new("vorn_filter_recorder", type, G_SIGNAL_RUN_LAST, 0, g_signal_accumulator_true_handled, nullptr,
                     g_cclosure_marshal_generic, G_TYPE_BOOLEAN, 1, G_TYPE_POINTER);
    signals[FilterEnd] = g_signal_new("vorn_filter_end", type, G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                                      g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
    signals[ContentRefreshed] = g_signal_new("vorn_content_refreshed", type, G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                                             g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
}

extern "C" GType VornKit_RecorderComboBox_GetType(void)
{
    return vorn_recorder_combo_box_get_type();
}

extern "C" GtkWidget *VornKit_RecorderComboBox_New(void)
{
    GtkWidget *box = GTK_WIDGET(g_object_new(VORNKIT_TYPE_RECORDER_COMBO_BOX, nullptr));
    RecorderComboPrivate *p = privOf(box);
    std::lock_guard guard(p->lock);
    // Registering fills the list at once when drives are listed.
    p->listening = true;
    VornKit_DevicesManagement_RegisterDeviceChangeCallback(onDevicesChanged, box);
    VornKit_DevicesManagement_RegisterStatusChangeCallback(onStatusChanged, box);
    return box;
}

extern "C" gint VornKit_RecorderComboBox_Refresh(GtkWidget *box)
{
    return withLocked(box, [&](RecorderComboPrivate &p) {
        refresh(box, p);
        return 1;
    });
}

extern "C" gint VornKit_RecorderComboBox_GetSelectedDeviceInfo(GtkWidget *box, VornDeviceEntry *device)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        const std::optional<Selection> selection = currentSelection(box, p);
        if (!device || !selection || selection->kind != VORNKIT_RECORDER_ROW_DEVICE)
            return 0;
        VornKit_VornSCSIDeviceInfo_Dump(device, &selection->device, TRUE);
        return 1;
    });
}

extern "C" gint VornKit_RecorderComboBox_SelectDeviceInfo(GtkWidget *box, const VornDeviceEntry *device)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        if (!VornKit_VornSCSIDeviceInfo_IsValid(device))
            return 0;
        return selectRow(box, p, [&](gint kind, const char *, gpointer data) {
            return kind == VORNKIT_RECORDER_ROW_DEVICE &&
                   VornKit_VornSCSIDeviceInfo_Equal(static_cast<const VornDeviceEntry *>(data), device);
        }) ? 1 : 0;
    });
}

extern "C" gint VornKit_RecorderComboBox_ShowDeviceIDandHA(GtkWidget *box, gboolean show)
{
    return withLocked(box, [&](RecorderComboPrivate &p) {
        p.showIdAndHa = show != FALSE;
        refresh(box, p);
        return 1;
    });
}

extern "C" gint VornKit_RecorderComboBox_PrependCustomEntry(GtkWidget *box,
                                                             const VornRecorderComboBoxCustomEntry *entry)
{
    return addCustomEntry(box, entry, true);
}

extern "C" gint VornKit_RecorderComboBox_AppendCustomEntry(GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry)
{
    return addCustomEntry(box, entry, false);
}

extern "C" gint VornKit_RecorderComboBox_RemovePrependedCustomEntryFromData(GtkWidget *box, gpointer data)
{
    return removeCustomEntry(box, true, [&](const CustomEntry &e) { return e.data == data; });
}

extern "C" gint VornKit_RecorderComboBox_RemovePrependedCustomEntryFromStruct(
    GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry)
{
    if (!entry || !entry->name)
        return 0;
    return removeCustomEntry(box, true,
                             [&](const CustomEntry &e) { return e.data == entry->data && e.name == entry->name; });
}

extern "C" gint VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromData(GtkWidget *box, gpointer data)
{
    return removeCustomEntry(box, false, [&](const CustomEntry &e) { return e.data == data; });
}

extern "C" gint VornKit_RecorderComboBox_RemoveAppendedCustomEntryFromStruct(
    GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry)
{
    if (!entry || !entry->name)
        return 0;
    return removeCustomEntry(box, false,
                             [&](const CustomEntry &e) { return e.data == entry->data && e.name == entry->name; });
}

extern "C" gint VornKit_RecorderComboBox_SelectPrependedCustomEntryFromData(GtkWidget *box, gpointer data)
{
    return selectCustomEntry(box, VORNKIT_RECORDER_ROW_PREPENDED, nullptr, data, false);
}

extern "C" gint VornKit_RecorderComboBox_SelectPrependedCustomEntryFromStruct(
    GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry)
{
    if (!entry || !entry->name)
        return 0;
    return selectCustomEntry(box, VORNKIT_RECORDER_ROW_PREPENDED, entry->name, entry->data, true);
}

extern "C" gint VornKit_RecorderComboBox_SelectAppendedCustomEntryFromData(GtkWidget *box, gpointer data)
{
    return selectCustomEntry(box, VORNKIT_RECORDER_ROW_APPENDED, nullptr, data, false);
}

extern "C" gint VornKit_RecorderComboBox_SelectAppendedCustomEntryFromStruct(
    GtkWidget *box, const VornRecorderComboBoxCustomEntry *entry)
{
    if (!entry || !entry->name)
        return 0;
    return selectCustomEntry(box, VORNKIT_RECORDER_ROW_APPENDED, entry->name, entry->data, true);
}

extern "C" gint VornKit_RecorderComboBox_IsCustomEntrySelected(GtkWidget *box, VornRecorderComboBoxCustomEntry *entry)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        const std::optional<Selection> selection = currentSelection(box, p);
        if (!selection || selection->kind == VORNKIT_RECORDER_ROW_DEVICE)
            return 0;
        if (entry) {
            const auto &entries = selection->kind == VORNKIT_RECORDER_ROW_PREPENDED ? p.prepended : p.appended;
            for (const CustomEntry &e : entries) {
                if (e.data == selection->data && e.name == selection->name) {
                    entry->icon = e.icon;
                    entry->name = e.name.c_str();
                    entry->data = e.data;
                    break;
                }
            }
        }
        return 1;
    });
}

extern "C" gint VornKit_RecorderComboBox_IsDeviceInfoSelected(GtkWidget *box)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        const std::optional<Selection> selection = currentSelection(box, p);
        return selection && selection->kind == VORNKIT_RECORDER_ROW_DEVICE ? 1 : 0;
    });
}

extern "C" gint VornKit_RecorderComboBox_RemoveSelectedCustomEntry(GtkWidget *box)
{
    return withLocked(box, [&](RecorderComboPrivate &p) -> gint {
        const std::optional<Selection> selection = currentSelection(box, p);
        if (!selection || selection->kind == VORNKIT_RECORDER_ROW_DEVICE)
            return 0;
        auto &entries = selection->kind == VORNKIT_RECORDER_ROW_PREPENDED ? p.prepended : p.appended;
        auto found = std::find_if(entries.begin(), entries.end(), [&](const CustomEntry &e) {
            return e.data == selection->data && e.name == selection->name;
        });
        if (found == entries.end())
            return 0;
        releaseEntry(*found);
        entries.erase(found);
        refresh(box, p);
        return 1;
    });
}
