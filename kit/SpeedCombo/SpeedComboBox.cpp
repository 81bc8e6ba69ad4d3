// The speed combo box. The engine lists speeds slowest first; the box shows
// them fastest first, because the fastest is what most people pick.
#include "SpeedComboBox.h"

#include "VornKitDevicesManagement.h"
#include "VornSCSIDeviceInfo.h"

#include <libintl.h>

#include <mutex>
#include <new>
#include <optional>
#include <set>

#define _(text) dgettext("vornkit", text)

namespace {

struct SpeedComboPrivate {
    std::recursive_mutex lock;
    GtkListStore *store = nullptr;
    gint accessType = VORN_ACCESS_WRITE;
    guint32 fixedMedium = 0;
    bool hasDevice = false;
    VornDeviceEntry device{};
    gint lastReadiness = -1;  // -1: not seen since the device was set
    guint pollTag = 0;
    bool engineWatch = false;  // an engine status callback is registered for the device
    bool listening = false;    // devices management's status callback
};

}  // namespace

using VornSpeedComboBoxPrivate = SpeedComboPrivate;
G_DEFINE_TYPE_WITH_PRIVATE(VornSpeedComboBox, vorn_speed_combo_box, GTK_TYPE_COMBO_BOX)

namespace {

SpeedComboPrivate *priv(VornSpeedComboBox *self)
{
    return static_cast<SpeedComboPrivate *>(vorn_speed_combo_box_get_instance_private(self));
}

SpeedComboPrivate *privOf(GtkWidget *widget)
{
    return widget && VORNKIT_IS_SPEED_COMBO_BOX(widget) ? priv(VORNKIT_SPEED_COMBO_BOX(widget)) : nullptr;
}

template <class Fn>
gint withLocked(GtkWidget *box, Fn fn)
{
    SpeedComboPrivate *p = privOf(box);
    if (!p)
        return 0;
    std::lock_guard guard(p->lock);
    return fn(*p);
}

// Boxes that an engine callback may still name after they went away: the
// engine never waits for a callback in flight when one unregisters, so the
// callback checks here before it touches the box.
std::mutex liveBoxesMutex;
std::set<gpointer> &liveBoxes()
{
    static auto *boxes = new std::set<gpointer>;
    return *boxes;
}

void addRow(GtkListStore *store, const char *text, gint speed, gint base, bool atTop)
{
    GtkTreeIter iter;
    if (atTop)
        gtk_list_store_prepend(store, &iter);
    else
        gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, VORNKIT_SPEED_COLUMN_TEXT, text, VORNKIT_SPEED_COLUMN_SPEED, speed,
                       VORNKIT_SPEED_COLUMN_BASE, base, -1);
}

void showMaximumOnly(GtkWidget *box, SpeedComboPrivate &p)
{
    gtk_list_store_clear(p.store);
    addRow(p.store, _("Maximum"), 0, 0, false);
    gtk_combo_box_set_active(GTK_COMBO_BOX(box), 0);
}

struct SelectedSpeed {
    gint speed = 0;
    gint base = 0;
    bool first = false;
};

std::optional<SelectedSpeed> selectedSpeed(GtkWidget *box, SpeedComboPrivate &p)
{
    GtkTreeIter iter;
    if (!gtk_combo_box_get_active_iter(GTK_COMBO_BOX(box), &iter))
        return std::nullopt;
    SelectedSpeed selected;
    gtk_tree_model_get(GTK_TREE_MODEL(p.store), &iter, VORNKIT_SPEED_COLUMN_SPEED, &selected.speed,
                       VORNKIT_SPEED_COLUMN_BASE, &selected.base, -1);
    selected.first = gtk_combo_box_get_active(GTK_COMBO_BOX(box)) == 0;
    return selected;
}

bool selectSpeed(GtkWidget *box, SpeedComboPrivate &p, gint speed)
{
    GtkTreeModel *model = GTK_TREE_MODEL(p.store);
    GtkTreeIter iter;
    for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
         valid = gtk_tree_model_iter_next(model, &iter)) {
        gint rowSpeed = 0;
        gtk_tree_model_get(model, &iter, VORNKIT_SPEED_COLUMN_SPEED, &rowSpeed, -1);
        if (rowSpeed == speed) {
            gtk_combo_box_set_active_iter(GTK_COMBO_BOX(box), &iter);
            return true;
        }
    }
    return false;
}

// Rebuilds the list from the engine. Unless `force`, nothing happens while
// the drive's readiness is the one seen last.
void rebuild(GtkWidget *box, SpeedComboPrivate &p, bool force)
{
    if (!p.hasDevice) {
        showMaximumOnly(box, p);
        return;
    }
    const gint readiness = VornKit_DevicesManagement_IsDeviceReady(&p.device);
    if (!force && readiness == p.lastReadiness)
        return;
    if (readiness == VORNKIT_DEVICE_IN_USE || readiness == VORNKIT_DEVICE_CANNOT_OPEN) {
        showMaximumOnly(box, p);
        p.lastReadiness = readiness;
        return;
    }
    VornDevice *handle = VornOpenDevice(&p.device);
    if (!handle) {
        showMaximumOnly(box, p);
        p.lastReadiness = VORNKIT_DEVICE_CANNOT_OPEN;
        return;
    }
    const std::optional<SelectedSpeed> remembered = selectedSpeed(box, p);
    const guint32 current = VornGetCurrentMediumType(handle);
    const guint32 medium = p.fixedMedium ? p.fixedMedium : (current ? current : VORN_FAMILY_CD);
    VornSpeeds *speeds = VornGetAvailableSpeeds(handle, p.accessType, medium, 0);
    const gint count = speeds ? speeds->count : 0;
    // A drive seen before that answers nothing right now (a disc it cannot
    // handle, a moment of trouble) keeps the speeds it had.
    if (count == 0 && p.lastReadiness != -1) {
        VornFreeMem(speeds);
        VornCloseDevice(handle);
        return;
    }

    const gint base = speeds ? speeds->baseKBs : 0;
    gtk_list_store_clear(p.store);
    const gint32 *values = speeds ? VornSpeeds_Values(speeds) : nullptr;
    for (gint i = 0; i < count; ++i) {
        gchar *text = VornKit_Util_FormatSpeed(values[i], base);
        addRow(p.store, text ? text : "", values[i], base, true);
        g_free(text);
    }
    const bool noMedium = current == 0;
    const bool fixedElsewhere = p.fixedMedium != 0 && (p.fixedMedium & current) == 0;
    if (noMedium || fixedElsewhere || count == 0 || (p.device.capabilities & VORN_CAP_IMAGE_RECORDER))
        addRow(p.store, _("Maximum"), count > 0 ? values[count - 1] : 0, base, true);

    if (!remembered || remembered->first || !selectSpeed(box, p, remembered->speed))
        gtk_combo_box_set_active(GTK_COMBO_BOX(box), 0);
    VornFreeMem(speeds);
    VornCloseDevice(handle);
    p.lastReadiness = readiness;
}

gboolean pollReadiness(gpointer box) noexcept
{
    try {
        withLocked(GTK_WIDGET(box), [&](SpeedComboPrivate &p) {
            rebuild(GTK_WIDGET(box), p, false);
            return 1;
        });
    } catch (...) {
    }
    return TRUE;
}

void onInUseChanged(const VornDeviceEntry *device, gboolean, gpointer box) noexcept
{
    try {
        withLocked(GTK_WIDGET(box), [&](SpeedComboPrivate &p) {
            if (p.hasDevice && VornKit_VornSCSIDeviceInfo_Equal(device, &p.device))
                rebuild(GTK_WIDGET(box), p, false);
            return 1;
        });
    } catch (...) {
    }
}

// On the main loop, holding a reference the engine callback took.
gboolean onMediumChangedOnMainLoop(gpointer box) noexcept
{
    try {
        withLocked(GTK_WIDGET(box), [&](SpeedComboPrivate &p) {
            // A disc swapped for another may leave the readiness as it was.
            rebuild(GTK_WIDGET(box), p, true);
            return 1;
        });
    } catch (...) {
    }
    return FALSE;
}

// Engine callback thread: only posts to the main loop.
void onEngineStatus(int, int, int status, void *box) noexcept
{
    if (status != VORN_DRIVE_STATUS_MEDIUM_CHANGED)
        return;
    try {
        std::lock_guard guard(liveBoxesMutex);
        if (!liveBoxes().contains(box))
            return;
        g_object_ref(box);
        gdk_threads_add_timeout_full(G_PRIORITY_DEFAULT, 0, onMediumChangedOnMainLoop, box, g_object_unref);
    } catch (...) {
    }
}

void stopWatching(GtkWidget *box, SpeedComboPrivate &p)
{
    if (p.engineWatch)
        VornUnregisterDriveStatusCallback(1, &p.device, onEngineStatus, box);
    p.engineWatch = false;
    if (p.pollTag)
        g_source_remove(p.pollTag);
    p.pollTag = 0;
}

void startWatching(GtkWidget *box, SpeedComboPrivate &p)
{
    if (!p.hasDevice)
        return;
    p.engineWatch = VornRegisterDriveStatusCallback(1, &p.device, onEngineStatus, box) == 1;
    // The image recorder never changes.
    if (!(p.device.capabilities & VORN_CAP_IMAGE_RECORDER))
        p.pollTag = gdk_threads_add_timeout(VORNKIT_SPEED_POLL_MS, pollReadiness, box);
}

void setDevice(GtkWidget *box, SpeedComboPrivate &p, const VornDeviceEntry *device)
{
    stopWatching(box, p);
    p.hasDevice = VornKit_VornSCSIDeviceInfo_IsValid(device);
    if (p.hasDevice)
        VornKit_VornSCSIDeviceInfo_Dump(&p.device, device, TRUE);
    else
        VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&p.device);
    startWatching(box, p);
}

void forceRebuild(GtkWidget *box, SpeedComboPrivate &p)
{
    p.lastReadiness = -1;
    rebuild(box, p, true);
}

}  // namespace

static void vorn_speed_combo_box_init(VornSpeedComboBox *self)
{
    SpeedComboPrivate *p = new (priv(self)) SpeedComboPrivate{};
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&p->device);
    p->store = gtk_list_store_new(3, G_TYPE_STRING, G_TYPE_INT, G_TYPE_INT);
    gtk_combo_box_set_model(GTK_COMBO_BOX(self), GTK_TREE_MODEL(p->store));
    GtkCellRenderer *text = gtk_cell_renderer_text_new();
    gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(self), text, TRUE);
    gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(self), text, "text", VORNKIT_SPEED_COLUMN_TEXT);
    showMaximumOnly(GTK_WIDGET(self), *p);
    std::lock_guard guard(liveBoxesMutex);
    liveBoxes().insert(self);
}

static void vorn_speed_combo_box_dispose(GObject *object)
{
    SpeedComboPrivate *p = priv(VORNKIT_SPEED_COMBO_BOX(object));
    {
        std::lock_guard guard(liveBoxesMutex);
        liveBoxes().erase(object);
    }
    {
        std::lock_guard guard(p->lock);
        stopWatching(GTK_WIDGET(object), *p);
        if (p->listening)
            VornKit_DevicesManagement_UnregisterStatusChangeCallback(onInUseChanged, object);
        p->listening = false;
    }
    G_OBJECT_CLASS(vorn_speed_combo_box_parent_class)->dispose(object);
}

static void vorn_speed_combo_box_finalize(GObject *object)
{
    SpeedComboPrivate *p = priv(VORNKIT_SPEED_COMBO_BOX(object));
    g_object_unref(p->store);
    p->~SpeedComboPrivate();
    G_OBJECT_CLASS(vorn_speed_combo_box_parent_class)->finalize(object);
}

static void vorn_speed_combo_box_class_init(VornSpeedComboBoxClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = vorn_speed_combo_box_dispose;
    G_OBJECT_CLASS(klass)->finalize = vorn_speed_combo_box_finalize;
}

extern "C" GType VornKit_SpeedComboBox_GetType(void)
{
    return vorn_speed_combo_box_get_type();
}

extern "C" GtkWidget *VornKit_SpeedComboBox_New(void)
{
    GtkWidget *box = GTK_WIDGET(g_object_new(VORNKIT_TYPE_SPEED_COMBO_BOX, nullptr));
    SpeedComboPrivate *p = privOf(box);
    std::lock_guard guard(p->lock);
    p->listening = VornKit_DevicesManagement_RegisterStatusChangeCallback(onInUseChanged, box) == 1;
    return box;
}

extern "C" gint VornKit_SpeedComboBox_SetDeviceAndAccessType(GtkWidget *box, const VornDeviceEntry *device,
                                                             gint accessType, guint32 mediumType)
{
    return withLocked(box, [&](SpeedComboPrivate &p) {
        setDevice(box, p, device);
        p.accessType = accessType;
        p.fixedMedium = mediumType;
        forceRebuild(box, p);
        return 1;
    });
}

extern "C" gint VornKit_SpeedComboBox_SetDeviceInfo(GtkWidget *box, const VornDeviceEntry *device)
{
    return withLocked(box, [&](SpeedComboPrivate &p) {
        setDevice(box, p, device);
        forceRebuild(box, p);
        return 1;
    });
}

extern "C" gint VornKit_SpeedComboBox_SetAccessType(GtkWidget *box, gint accessType)
{
    return withLocked(box, [&](SpeedComboPrivate &p) {
        p.accessType = accessType;
        forceRebuild(box, p);
        return 1;
    });
}

extern "C" gint VornKit_SpeedComboBox_SetMediumType(GtkWidget *box, guint32 mediumType)
{
    return withLocked(box, [&](SpeedComboPrivate &p) {
        p.fixedMedium = mediumType;
        forceRebuild(box, p);
        return 1;
    });
}

extern "C" gint VornKit_SpeedComboBox_SetFixedSpeed(GtkWidget *box, gint speedKBs)
{
    return withLocked(box, [&](SpeedComboPrivate &p) { return selectSpeed(box, p, speedKBs) ? 1 : 0; });
}

extern "C" gint VornKit_SpeedComboBox_GetSpeedInKBs(GtkWidget *box)
{
    return withLocked(box, [&](SpeedComboPrivate &p) {
        const std::optional<SelectedSpeed> selected = selectedSpeed(box, p);
        return selected ? selected->speed : 0;
    });
}

extern "C" gint VornKit_SpeedComboBox_GetCompleteSpeedInfo(GtkWidget *box, gint *speedKBs, gint *baseKBs)
{
    return withLocked(box, [&](SpeedComboPrivate &p) -> gint {
        const std::optional<SelectedSpeed> selected = selectedSpeed(box, p);
        if (speedKBs)
            *speedKBs = selected ? selected->speed : 0;
        if (baseKBs)
            *baseKBs = selected ? selected->base : 0;
        return selected ? 1 : 0;
    });
}

extern "C" gint VornKit_SpeedComboBox_Poll(GtkWidget *box)
{
    return withLocked(box, [&](SpeedComboPrivate &p) {
        rebuild(box, p, false);
        return 1;
    });
}

extern "C" gchar *VornKit_Util_FormatSpeed(gint64 speedKBs, gint64 baseKBs)
{
    if (baseKBs <= 0)
        return nullptr;
    const gint64 tenths = speedKBs * 10 / baseKBs;
    // The KB/s figure is grouped the way the locale groups thousands, in the
    // locale's encoding; the translated formats are UTF-8 already.
    gchar *local = g_strdup_printf("%'lld", static_cast<long long>(speedKBs));
    gchar *grouped = g_locale_to_utf8(local, -1, nullptr, nullptr, nullptr);
    if (!grouped)
        grouped = g_utf8_make_valid(local, -1);
    g_free(local);
    gchar *utf8 = nullptr;
    if (tenths % 10 != 0)
        utf8 = g_strdup_printf(_("%.1fx (%s KB/s)"), static_cast<double>(tenths) / 10.0, grouped);
    else
        utf8 = g_strdup_printf(_("%ldx (%s KB/s)"), static_cast<long>(tenths / 10), grouped);
    g_free(grouped);
    return utf8;
}
