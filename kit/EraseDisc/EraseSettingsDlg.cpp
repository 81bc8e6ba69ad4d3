// The erase settings dialog.
#include "EraseSettingsDlg.h"

#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "EraseDiscDlg.h"
#include "EraseTexts.h"
#include "RecorderComboBox.h"
#include "SpeedComboBox.h"
#include "VornKitDevicesManagement.h"
#include "VornSCSIDeviceInfo.h"

#include <libintl.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <optional>
#include <string>

#define _(text) dgettext("vornkit", text)

namespace {

// Rewritable media that can be erased: DVD-RAM, CD-RW, DVD-RW, DVD+RW, BD-RE,
// HD DVD-RW.
constexpr std::array<guint32, 6> kErasableMedia = {VORN_MEDIUM_DVD_RAM,     VORN_MEDIUM_CD_RW,
                                                   VORN_MEDIUM_DVD_MINUS_RW, VORN_MEDIUM_DVD_PLUS_RW,
                                                   VORN_MEDIUM_BD_RE,        VORN_MEDIUM_HDDVD_RW};

constexpr gint kEraseButtonSlot = 7;  // slot order of VornKit_DialogBox_SetDialogButtons

const char *quickDescription()
{
    return _("The disc will appear to be empty but data is not physically erased.\n"
             "Use this option with caution if the disc contains confidential data.");
}

const char *fullDescription()
{
    return _("Selecting this option will physically erase all data on the disc.\n"
             "Note: Physically erasing the disc will take some time.");
}

struct EraseSettingsPrivate {
    std::recursive_mutex lock;
    GtkWidget *methodCombo = nullptr;
    GtkWidget *descriptionLabel = nullptr;
    GtkWidget *recorderCombo = nullptr;
    GtkWidget *speedCombo = nullptr;
    GtkWidget *eraseButton = nullptr;
    GtkWidget *progress = nullptr;  // owned: one reference held
    gint eraseFlags = VORN_ERASE_EJECT;
    bool reloadAfterEject = false;
    gint lastReadiness = -1;
    std::optional<VornDeviceEntry> lastDevice;  // the recorder the speeds were made for
    guint pollTag = 0;
    bool listening = false;
};

}  // namespace

using VornEraseSettingsDlgPrivate = EraseSettingsPrivate;
G_DEFINE_TYPE_WITH_PRIVATE(VornEraseSettingsDlg, vorn_erase_settings_dlg, GTK_TYPE_DIALOG)

namespace {

EraseSettingsPrivate *priv(VornEraseSettingsDlg *self)
{
    return static_cast<EraseSettingsPrivate *>(vorn_erase_settings_dlg_get_instance_private(self));
}

EraseSettingsPrivate *privOf(GtkWidget *widget)
{
    return widget && VORNKIT_IS_ERASE_SETTINGS_DLG(widget) ? priv(VORNKIT_ERASE_SETTINGS_DLG(widget)) : nullptr;
}

template <class Fn>
gint withLocked(GtkWidget *dialog, Fn fn)
{
    EraseSettingsPrivate *p = privOf(dialog);
    if (!p)
        return 0;
    std::lock_guard guard(p->lock);
    return fn(*p);
}

std::optional<VornDeviceEntry> selectedDevice(EraseSettingsPrivate &p)
{
    VornDeviceEntry device;
    if (!VornKit_RecorderComboBox_GetSelectedDeviceInfo(p.recorderCombo, &device))
        return std::nullopt;
    return device;
}

bool erasable(const VornDeviceEntry &device)
{
    VornDevice *handle = VornOpenDevice(&device);
    if (!handle)
        return false;
    const guint32 medium = VornGetCurrentMediumType(handle);
    VornCloseDevice(handle);
    const bool rewritable = std::find(kErasableMedia.begin(), kErasableMedia.end(), medium) != kErasableMedia.end();
    return rewritable && (medium & device.writeMedia) != 0;
}

// Unless forced, acts only when the drive's readiness changed.
void updateEraseButton(EraseSettingsPrivate &p, bool force)
{
    const std::optional<VornDeviceEntry> device = selectedDevice(p);
    if (!device)
        return;
    const gint readiness = VornKit_DevicesManagement_IsDeviceReady(&*device);
    if (!force && readiness == p.lastReadiness)
        return;
    p.lastReadiness = readiness;
    const bool sensitive = readiness != VORNKIT_DEVICE_IN_USE && erasable(*device);
    gtk_widget_set_sensitive(p.eraseButton, sensitive);
}

gboolean onPoll(gpointer dialog) noexcept
{
    try {
        withLocked(GTK_WIDGET(dialog), [](EraseSettingsPrivate &p) {
            updateEraseButton(p, false);
            return 1;
        });
    } catch (...) {
    }
    return TRUE;
}

void onInUseChanged(const VornDeviceEntry *, gboolean, gpointer dialog) noexcept
{
    try {
        withLocked(GTK_WIDGET(dialog), [](EraseSettingsPrivate &p) {
            updateEraseButton(p, true);
            return 1;
        });
    } catch (...) {
    }
}

void onRecorderChanged(GtkComboBox *, gpointer dialog) noexcept
{
    try {
        withLocked(GTK_WIDGET(dialog), [](EraseSettingsPrivate &p) {
            const std::optional<VornDeviceEntry> device = selectedDevice(p);
            if (!device)
                return 1;
            // A refresh of the list reselects the same recorder: its speeds stay.
            if (p.lastDevice && VornKit_VornSCSIDeviceInfo_EqualEx(&*p.lastDevice, &*device))
                return 1;
            p.lastDevice = device;
            VornKit_SpeedComboBox_SetDeviceAndAccessType(p.speedCombo, &*device, VORN_ACCESS_ERASE, 0);
            p.lastReadiness = -1;
            updateEraseButton(p, true);
            return 1;
        });
    } catch (...) {
    }
}

void onMethodChanged(GtkComboBox *combo, gpointer dialog) noexcept
{
    try {
        withLocked(GTK_WIDGET(dialog), [&](EraseSettingsPrivate &p) {
            const gint method = gtk_combo_box_get_active(combo);
            const char *text = method == VORNKIT_ERASE_METHOD_QUICK  ? quickDescription()
                               : method == VORNKIT_ERASE_METHOD_FULL ? fullDescription()
                                                                     : "";
            gtk_label_set_text(GTK_LABEL(p.descriptionLabel), text);
            return 1;
        });
    } catch (...) {
    }
}

// Recorders only: no readers, no image recorder.
gboolean filterRecorder(GtkWidget *, gpointer data, gpointer) noexcept
{
    const auto *device = static_cast<const VornDeviceEntry *>(data);
    if (!device || device->type == 0 || device->type == 3)
        return TRUE;
    return (device->capabilities & VORN_CAP_IMAGE_RECORDER) || !(device->capabilities & VORN_CAP_WRITE);
}

void startErase(GtkWidget *dialog, EraseSettingsPrivate &p)
{
    const std::optional<VornDeviceEntry> device = selectedDevice(p);
    if (!device)
        return;
    VornKit_EraseDiscDlg_SetDeviceInfo(p.progress, &*device);
    if (VornDevice *handle = VornOpenDevice(&*device)) {
        VornKit_EraseDiscDlg_SetMediumType(p.progress, VornGetCurrentMediumType(handle));
        VornCloseDevice(handle);
    }
    const gint method = gtk_combo_box_get_active(GTK_COMBO_BOX(p.methodCombo));
    VornKit_EraseDiscDlg_SetEraseMode(p.progress,
                                      method == VORNKIT_ERASE_METHOD_FULL ? VORN_ERASE_FULL : VORN_ERASE_QUICK);
    VornKit_EraseDiscDlg_SetErasingSpeed(p.progress, VornKit_SpeedComboBox_GetSpeedInKBs(p.speedCombo));
    VornKit_EraseDiscDlg_SetEraseFlags(p.progress, p.eraseFlags);
    VornKit_EraseDiscDlg_SetReloadAfterEject(p.progress, p.reloadAfterEject);
    VornKit_EraseDiscDlg_StartErasingProcess(p.progress);
    gtk_widget_hide(dialog);
}

void respond(GtkWidget *dialog, gint response)
{
    withLocked(dialog, [&](EraseSettingsPrivate &p) {
        if (response == VORNKIT_RESPONSE_ERASE && gtk_widget_is_sensitive(p.eraseButton))
            startErase(dialog, p);
        else if (response != VORNKIT_RESPONSE_ERASE)
            gtk_widget_hide(dialog);
        return 1;
    });
}

void onResponse(GtkDialog *dialog, gint response, gpointer) noexcept
{
    try {
        respond(GTK_WIDGET(dialog), response);
    } catch (...) {
    }
}

// Closing through the window manager is Cancel: the dialog and the progress
// window it owns stay.
gboolean onDelete(GtkWidget *dialog, GdkEvent *, gpointer) noexcept
{
    gtk_widget_hide(dialog);
    return TRUE;
}

GtkWidget *leftLabel(const char *text)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    return label;
}

GtkWidget *spacer(gint height)
{
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_widget_set_size_request(box, -1, height);
    return box;
}

gint textWidth(GtkWidget *widget, const char *text)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(widget, text);
    gint width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    return width;
}

void buildDialog(VornEraseSettingsDlg *self, EraseSettingsPrivate &p)
{
    GtkWindow *window = GTK_WINDOW(self);
    gtk_window_set_title(window, _("Erase rewritable disc"));
    gtk_dialog_set_has_separator(GTK_DIALOG(self), FALSE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    if (GList *icons = VornKit_DialogBox_GetWindowIconsList())
        gtk_window_set_icon_list(window, icons);

    GtkWidget *column = gtk_vbox_new(FALSE, 5);
    gtk_container_set_border_width(GTK_CONTAINER(column), 10);
    gtk_box_pack_start(GTK_BOX(column), leftLabel(_("Select recorder:")), FALSE, FALSE, 0);
    p.recorderCombo = VornKit_RecorderComboBox_New();
    g_signal_connect(p.recorderCombo, "vorn_filter_recorder", G_CALLBACK(filterRecorder), nullptr);
    gtk_box_pack_start(GTK_BOX(column), p.recorderCombo, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), gtk_hseparator_new(), FALSE, FALSE, 5);

    gtk_box_pack_start(GTK_BOX(column), leftLabel(_("Select the erase method to be used:")), FALSE, FALSE, 0);
    p.methodCombo = gtk_combo_box_new_text();
    gtk_combo_box_append_text(GTK_COMBO_BOX(p.methodCombo), _("Quick-erase rewritable disc"));
    gtk_combo_box_append_text(GTK_COMBO_BOX(p.methodCombo), _("Full-erase rewritable disc"));
    gtk_box_pack_start(GTK_BOX(column), p.methodCombo, FALSE, FALSE, 0);
    p.descriptionLabel = leftLabel("");
    gtk_misc_set_alignment(GTK_MISC(p.descriptionLabel), 0.0f, 0.0f);
    // As wide as the wider description, so switching methods never resizes.
    gtk_widget_set_size_request(p.descriptionLabel, std::max(textWidth(p.descriptionLabel, quickDescription()),
                                                             textWidth(p.descriptionLabel, fullDescription())),
                                -1);
    gtk_box_pack_start(GTK_BOX(column), p.descriptionLabel, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), spacer(25), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), gtk_hseparator_new(), FALSE, FALSE, 5);

    gtk_box_pack_start(GTK_BOX(column), leftLabel(_("Erase speed:")), FALSE, FALSE, 0);
    p.speedCombo = VornKit_SpeedComboBox_New();
    gtk_box_pack_start(GTK_BOX(column), p.speedCombo, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), spacer(40), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(GTK_DIALOG(self)->vbox), column, TRUE, TRUE, 0);
    gtk_widget_show_all(column);

    GtkWidget *slots[VORNKIT_DIALOG_BUTTON_SLOTS] = {};
    VornKit_DialogBox_SetDialogButtons(GTK_WIDGET(self), VORNKIT_RESPONSE_ERASE | VORNKIT_RESPONSE_CANCEL, slots);
    p.eraseButton = slots[kEraseButtonSlot];
    gtk_widget_set_sensitive(p.eraseButton, FALSE);

    g_signal_connect(p.methodCombo, "changed", G_CALLBACK(onMethodChanged), self);
    g_signal_connect(p.recorderCombo, "changed", G_CALLBACK(onRecorderChanged), self);
    g_signal_connect(self, "response", G_CALLBACK(onResponse), nullptr);
    g_signal_connect(self, "delete-event", G_CALLBACK(onDelete), nullptr);
    gtk_combo_box_set_active(GTK_COMBO_BOX(p.methodCombo), VORNKIT_ERASE_METHOD_QUICK);
}

// The erase command's dialog goes away once it is hidden and its erase, if
// any, was told.
gboolean destroyLater(gpointer dialog) noexcept
{
    gtk_widget_destroy(GTK_WIDGET(dialog));
    g_object_unref(dialog);
    return FALSE;
}

void scheduleDestroy(GtkWidget *dialog)
{
    g_object_ref(dialog);
    gdk_threads_add_idle(destroyLater, dialog);
}

void onCommandEraseDone(GtkWidget *, gint, gpointer settings) noexcept
{
    try {
        scheduleDestroy(GTK_WIDGET(settings));
    } catch (...) {
    }
}

void onCommandHidden(GtkWidget *dialog, gpointer) noexcept
{
    try {
        GtkWidget *progress = VornKit_EraseSettingsDlg_GetEraseDiscDlg(dialog);
        if (VornKit_EraseDiscDlg_IsBusy(progress))
            g_signal_connect_object(progress, "vorn_erase_done", G_CALLBACK(onCommandEraseDone), dialog,
                                    static_cast<GConnectFlags>(0));
        else
            scheduleDestroy(dialog);
    } catch (...) {
    }
}

}  // namespace

static void vorn_erase_settings_dlg_init(VornEraseSettingsDlg *self)
{
    EraseSettingsPrivate *p = new (priv(self)) EraseSettingsPrivate{};
    buildDialog(self, *p);
}

static void vorn_erase_settings_dlg_dispose(GObject *object)
{
    EraseSettingsPrivate *p = priv(VORNKIT_ERASE_SETTINGS_DLG(object));
    {
        std::lock_guard guard(p->lock);
        if (p->listening)
            VornKit_DevicesManagement_UnregisterStatusChangeCallback(onInUseChanged, object);
        p->listening = false;
        if (p->pollTag)
            g_source_remove(p->pollTag);
        p->pollTag = 0;
        if (p->progress) {
            // A running erase keeps the window alive until it is told.
            gtk_widget_destroy(p->progress);
            g_object_unref(p->progress);
            p->progress = nullptr;
        }
    }
    G_OBJECT_CLASS(vorn_erase_settings_dlg_parent_class)->dispose(object);
}

static void vorn_erase_settings_dlg_finalize(GObject *object)
{
    priv(VORNKIT_ERASE_SETTINGS_DLG(object))->~EraseSettingsPrivate();
    G_OBJECT_CLASS(vorn_erase_settings_dlg_parent_class)->finalize(object);
}

static void vorn_erase_settings_dlg_class_init(VornEraseSettingsDlgClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = vorn_erase_settings_dlg_dispose;
    G_OBJECT_CLASS(klass)->finalize = vorn_erase_settings_dlg_finalize;
}

extern "C" GType VornKit_EraseSettingsDlg_GetType(void)
{
    return vorn_erase_settings_dlg_get_type();
}

extern "C" GtkWidget *VornKit_EraseSettingsDlg_New(GtkWidget *parent)
{
    GtkWidget *dialog = GTK_WIDGET(g_object_new(VORNKIT_TYPE_ERASE_SETTINGS_DLG, nullptr));
    EraseSettingsPrivate *p = privOf(dialog);
    std::lock_guard guard(p->lock);
    if (parent && GTK_IS_WINDOW(parent)) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(parent));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
    }
    p->progress = VornKit_EraseDiscDlg_New(parent);
    g_object_ref_sink(p->progress);
    VornKit_RecorderComboBox_Refresh(p->recorderCombo);
    if (!VornKit_RecorderComboBox_IsDeviceInfoSelected(p->recorderCombo))
        gtk_combo_box_set_active(GTK_COMBO_BOX(p->recorderCombo), 0);
    p->listening = VornKit_DevicesManagement_RegisterStatusChangeCallback(onInUseChanged, dialog) == 1;
    p->pollTag = gdk_threads_add_timeout(VORNKIT_ERASE_SETTINGS_POLL_MS, onPoll, dialog);
    return dialog;
}

extern "C" gint VornKit_EraseSettingsDlg_SetDeviceInfo(GtkWidget *dialog, const VornDeviceEntry *device)
{
    return withLocked(dialog, [&](EraseSettingsPrivate &p) -> gint {
        if (!VornKit_VornSCSIDeviceInfo_IsValid(device))
            return 0;
        return VornKit_RecorderComboBox_SelectDeviceInfo(p.recorderCombo, device);
    });
}

extern "C" gint VornKit_EraseSettingsDlg_SetErasingSpeed(GtkWidget *dialog, gint speedKBs)
{
    return withLocked(dialog,
                      [&](EraseSettingsPrivate &p) { return VornKit_SpeedComboBox_SetFixedSpeed(p.speedCombo, speedKBs); });
}

extern "C" gint VornKit_EraseSettingsDlg_SetEjectAndReloadFlags(GtkWidget *dialog, gboolean eject, gboolean reload)
{
    return withLocked(dialog, [&](EraseSettingsPrivate &p) {
        p.eraseFlags = eject ? VORN_ERASE_EJECT : VORN_ERASE_NO_EJECT;
        p.reloadAfterEject = reload != FALSE;
        VornKit_EraseDiscDlg_SetReloadAfterEject(p.progress, reload);
        return 1;
    });
}

extern "C" gint VornKit_EraseSettingsDlg_SetEraseMethod(GtkWidget *dialog, gint method)
{
    return withLocked(dialog, [&](EraseSettingsPrivate &p) -> gint {
        if (method != VORNKIT_ERASE_METHOD_QUICK && method != VORNKIT_ERASE_METHOD_FULL)
            return 0;
        gtk_combo_box_set_active(GTK_COMBO_BOX(p.methodCombo), method);
        return 1;
    });
}

extern "C" GtkWidget *VornKit_EraseSettingsDlg_GetEraseDiscDlg(GtkWidget *dialog)
{
    EraseSettingsPrivate *p = privOf(dialog);
    if (!p)
        return nullptr;
    std::lock_guard guard(p->lock);
    return p->progress;
}

extern "C" gint VornKit_EraseSettingsDlg_UpdateEraseButton(GtkWidget *dialog)
{
    return withLocked(dialog, [](EraseSettingsPrivate &p) {
        updateEraseButton(p, true);
        return 1;
    });
}

extern "C" gint VornKit_EraseSettingsDlg_ShowModal(GtkWidget *dialog)
{
    EraseSettingsPrivate *p = privOf(dialog);
    if (!p)
        return 0;
    std::optional<vorn::dialogs::DialogAnswer> answer;
    {
        std::lock_guard guard(p->lock);
        gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
        vorn::dialogs::DialogRequest request;
        request.kind = vorn::dialogs::DialogKind::Custom;
        request.role = "erase-settings";
        request.title = gtk_window_get_title(GTK_WINDOW(dialog));
        const gint method = gtk_combo_box_get_active(GTK_COMBO_BOX(p->methodCombo));
        request.heading = vorn::kit::eraseMethodName(method == VORNKIT_ERASE_METHOD_FULL ? VORN_ERASE_FULL
                                                                                        : VORN_ERASE_QUICK);
        request.text = gtk_label_get_text(GTK_LABEL(p->descriptionLabel));
        request.buttons = {{vorn::dialogs::response::Erase, _("Erase")},
                           {vorn::dialogs::response::Cancel, _("Cancel")}};
        request.defaultResponse = vorn::dialogs::response::Cancel;
        answer = vorn::dialogs::ask(std::move(request));
    }
    if (answer) {
        // As the button would: the dialog is never shown.
        gtk_dialog_response(GTK_DIALOG(dialog), answer->response);
        return 1;
    }
    gtk_widget_show(dialog);
    return 1;
}

extern "C" GtkWidget *VornKit_EraseSettingsDlg_RunEraseCommand(GtkWidget *parent, const VornDeviceEntry *device,
                                                               gboolean eject, gboolean reload)
{
    GtkWidget *dialog = VornKit_EraseSettingsDlg_New(parent);
    if (VornKit_VornSCSIDeviceInfo_IsValid(device))
        VornKit_EraseSettingsDlg_SetDeviceInfo(dialog, device);
    VornKit_EraseSettingsDlg_SetEjectAndReloadFlags(dialog, eject, reload);
    g_signal_connect(dialog, "hide", G_CALLBACK(onCommandHidden), nullptr);
    // The dialog was made with a floating reference; keep one while asking.
    g_object_ref_sink(dialog);
    VornKit_EraseSettingsDlg_ShowModal(dialog);
    const bool shown = gtk_widget_get_visible(dialog);
    // Answered by the responder: it was never shown, so it never hides.
    if (!shown)
        onCommandHidden(dialog, nullptr);
    g_object_unref(dialog);
    return shown ? dialog : nullptr;
}
