// The erase progress window and its worker.
//
// Each start takes a snapshot of the settings (an EraseJob) so that a setter
// called during an erase changes only the next one. One worker runs at a
// time; a start while one runs is queued and launched once the running erase
// has been completed on the main loop, so the main thread never blocks
// joining a worker that may be waiting for the GDK lock it holds.
#include "EraseDiscDlg.h"

#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "EraseTexts.h"
#include "VornImages.h"
#include "VornKitDevicesManagement.h"
#include "VornKitUtil.h"
#include "VornSCSIDeviceInfo.h"

#include <libintl.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>

#define _(text) dgettext("vornkit", text)

namespace {

constexpr guint kProgressIntervalMs = 100;
constexpr gint kMediumIconSizeIndex = 3;  // 48 pixels

enum Signal { EraseDone, SignalCount };
guint signals[SignalCount];

struct EraseJob {
    VornDeviceEntry device{};
    gint mode = VORN_ERASE_QUICK;
    gint flags = VORN_ERASE_EJECT;
    gint speedKBs = 0;
    bool reloadAfterEject = false;
    bool deviceLocking = true;
    gint estimateSeconds = 0;
    guint32 mediumType = 0;
};

struct EraseDiscPrivate {
    std::recursive_mutex lock;

    bool hasDevice = false;
    VornDeviceEntry device{};
    gint mode = VORN_ERASE_QUICK;
    gint flags = VORN_ERASE_EJECT;
    gint speedKBs = 0;
    bool reloadAfterEject = false;
    bool deviceLocking = true;
    gint estimateSeconds = 0;
    gint result = 0;

    std::thread worker;
    bool busy = false;              // a worker runs or its completion is pending
    gint untoldResults = 0;         // results of starts that ran no worker, not yet told
    std::deque<EraseJob> queued;    // starts made while busy, in order
    EraseJob current;               // what the running worker erases

    GTimer *timer = nullptr;
    guint progressTag = 0;
    bool disposed = false;

    GtkWidget *parent = nullptr;  // weak
    // Kept with a reference of our own: the worker and the timeout may touch
    // them after the window was destroyed.
    GtkWidget *mediumImage = nullptr;
    GtkWidget *activityLabel = nullptr;
    GtkWidget *elapsedLabel = nullptr;
    GtkWidget *remainingLabel = nullptr;
    GtkWidget *progressBar = nullptr;
};

}  // namespace

using VornEraseDiscDlgPrivate = EraseDiscPrivate;
G_DEFINE_TYPE_WITH_PRIVATE(VornEraseDiscDlg, vorn_erase_disc_dlg, GTK_TYPE_WINDOW)

namespace {

EraseDiscPrivate *priv(VornEraseDiscDlg *self)
{
    return static_cast<EraseDiscPrivate *>(vorn_erase_disc_dlg_get_instance_private(self));
}

EraseDiscPrivate *privOf(GtkWidget *widget)
{
    return widget && VORNKIT_IS_ERASE_DISC_DLG(widget) ? priv(VORNKIT_ERASE_DISC_DLG(widget)) : nullptr;
}

template <class Fn>
gint withLocked(GtkWidget *dialog, Fn fn)
{
    EraseDiscPrivate *p = privOf(dialog);
    if (!p)
        return 0;
    std::lock_guard guard(p->lock);
    return fn(*p);
}

// The GDK lock for a worker's widget changes.
struct GdkThreadsLock {
    GdkThreadsLock() { gdk_threads_enter(); }
    ~GdkThreadsLock() { gdk_threads_leave(); }
    GdkThreadsLock(const GdkThreadsLock &) = delete;
    GdkThreadsLock &operator=(const GdkThreadsLock &) = delete;
};

const char *familyOf(guint32 mediumType)
{
    if (mediumType & 0xc001c)
        return "dvd";
    if (mediumType & 0xf800000)
        return "hddvd";
    if (mediumType & 0x30700000)
        return "bd";
    return "cd";
}

void showProgress(EraseDiscPrivate &p, double elapsedSeconds, gint mode, GtkWidget *window)
{
    const vorn::kit::EraseProgressTexts texts =
        vorn::kit::eraseProgressTexts(elapsedSeconds, p.estimateSeconds, mode);
    gtk_label_set_text(GTK_LABEL(p.elapsedLabel), texts.elapsed.c_str());
    gtk_label_set_text(GTK_LABEL(p.remainingLabel), texts.remaining.c_str());
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p.progressBar), texts.fraction);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(p.progressBar), texts.barText.c_str());
    gtk_window_set_title(GTK_WINDOW(window), texts.title.c_str());
}

gboolean onProgressTick(gpointer dialog) noexcept
{
    try {
        return withLocked(GTK_WIDGET(dialog), [&](EraseDiscPrivate &p) -> gint {
            showProgress(p, g_timer_elapsed(p.timer, nullptr), p.current.mode, GTK_WIDGET(dialog));
            return TRUE;
        });
    } catch (...) {
        return TRUE;
    }
}

void resetWindowTexts(EraseDiscPrivate &p, GtkWidget *window)
{
    gtk_window_set_title(GTK_WINDOW(window), _("Erasing rewriteable disc..."));
    gchar *text = g_strdup_printf(_("%d %%"), 0);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(p.progressBar), text);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(p.progressBar), 0.0);
    g_free(text);
}

void setMediumIcon(EraseDiscPrivate &p, guint32 mediumType, gint *loaded)
{
    GdkPixbuf *pixbuf = VornKit_EraseDiscDlg_GetEraseDiscPixbuf(mediumType, kMediumIconSizeIndex);
    if (loaded)
        *loaded = pixbuf ? 1 : 0;
    if (!pixbuf)
        return;
    gtk_image_set_from_pixbuf(GTK_IMAGE(p.mediumImage), pixbuf);
    g_object_unref(pixbuf);
}

// A result waiting to be told on the main loop. It holds a reference on the
// window; `fromWorker` says the worker's thread must be joined.
struct Completion {
    GtkWidget *dialog;
    gint result;
    bool fromWorker;
};

void launchWorker(GtkWidget *dialog, EraseDiscPrivate &p, const EraseJob &job);

void tellResult(EraseDiscPrivate &p, gint result)
{
    const vorn::kit::EraseResultMessage message = vorn::kit::eraseResultMessage(result);
    vorn::dialogs::RoleScope role("erase-result");
    if (message.success)
        VornKit_DialogBox_ModalInfoDialog(message.text.c_str(), nullptr, nullptr, p.parent, 0);
    else
        VornKit_DialogBox_ModalErrorDialog(message.text.c_str(), nullptr, nullptr, p.parent, 0);
}

// Main loop, GDK lock held (a GDK timeout).
gboolean complete(gpointer data) noexcept
{
    auto *completion = static_cast<Completion *>(data);
    GtkWidget *dialog = completion->dialog;
    try {
        EraseDiscPrivate *p = privOf(dialog);
        std::unique_lock guard(p->lock);
        if (completion->fromWorker && p->worker.joinable())
            p->worker.join();  // its last step was to post this; it holds no lock any more
        guard.unlock();

        g_signal_emit(dialog, signals[EraseDone], 0, completion->result);
        tellResult(*p, completion->result);

        guard.lock();
        if (!completion->fromWorker)
            --p->untoldResults;
        if (completion->fromWorker) {
            p->busy = false;
            if (!p->queued.empty() && !p->disposed) {
                EraseJob next = p->queued.front();
                p->queued.pop_front();
                launchWorker(dialog, *p, next);
            } else {
                p->queued.clear();
            }
        }
    } catch (...) {
    }
    g_object_unref(dialog);
    delete completion;
    return FALSE;
}

void postCompletion(GtkWidget *dialog, EraseDiscPrivate &p, gint result, bool fromWorker)
{
    if (!fromWorker)
        ++p.untoldResults;
    g_object_ref(dialog);
    gdk_threads_add_timeout(0, complete, new Completion{dialog, result, fromWorker});
}

gint eraseOnThisThread(GtkWidget *dialog, EraseDiscPrivate &p, const EraseJob &job)
{
    bool deviceLocked = false;
    {
        GdkThreadsLock gdk;
        std::lock_guard guard(p.lock);
        if (job.deviceLocking)
            deviceLocked = VornKit_DevicesManagement_LockDevice(&job.device) == TRUE;
        g_timer_start(p.timer);
        showProgress(p, 0.0, job.mode, dialog);
        if (!p.disposed) {
            gtk_widget_show(dialog);
            p.progressTag = gdk_threads_add_timeout(kProgressIntervalMs, onProgressTick, dialog);
        }
    }

    gint result = VORN_ERASE_OPEN_FAILED;
    if (job.deviceLocking && !deviceLocked) {
        // Another part of the program (a burn) holds the drive.
        result = VORN_ERASE_DRIVE_IN_USE;
    } else if (VornDevice *handle = VornOpenDevice(&job.device)) {
        // The erase changes the disc; a rescan of the device list meanwhile
        // would only disturb the drive.
        VornKit_DevicesManagement_DisableDevicesChangeCallbacks();
        result = VornEraseDisc(handle, job.mode, job.flags, job.speedKBs);
        {
            GdkThreadsLock gdk;
            std::lock_guard guard(p.lock);
            gtk_widget_hide(dialog);
        }
        if (job.flags == VORN_ERASE_EJECT && job.reloadAfterEject)
            VornEjectLoadCD(handle, 0);
        VornKit_DevicesManagement_EnableDevicesChangeCallbacks();
        VornCloseDevice(handle);
    }
    if (deviceLocked)
        VornKit_DevicesManagement_UnlockDevice(&job.device);

    GdkThreadsLock gdk;
    std::lock_guard guard(p.lock);
    g_timer_stop(p.timer);
    if (p.progressTag)
        g_source_remove(p.progressTag);
    p.progressTag = 0;
    gtk_widget_hide(dialog);
    resetWindowTexts(p, dialog);
    p.result = result;
    return result;
}

void workerMain(GtkWidget *dialog, EraseJob job) noexcept
{
    gint result = VORN_ERASE_FAILED;
    try {
        result = eraseOnThisThread(dialog, *privOf(dialog), job);
    } catch (...) {
    }
    try {
        // The reference the launch took passes to the completion.
        gdk_threads_add_timeout(0, complete, new Completion{dialog, result, true});
    } catch (...) {
    }
}

// Shows what the job erases and starts its thread. The lock is held.
void launchWorker(GtkWidget *dialog, EraseDiscPrivate &p, const EraseJob &job)
{
    p.current = job;
    p.estimateSeconds = job.estimateSeconds;
    setMediumIcon(p, job.mediumType, nullptr);
    gtk_label_set_text(GTK_LABEL(p.activityLabel), vorn::kit::eraseMethodName(job.mode).c_str());
    showProgress(p, 0.0, job.mode, dialog);
    resetWindowTexts(p, dialog);
    g_object_ref(dialog);
    try {
        p.worker = std::thread(workerMain, dialog, job);
        p.busy = true;
    } catch (...) {
        g_object_unref(dialog);
        throw;
    }
}

GtkWidget *captionLabel(const char *text)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    return label;
}

GtkWidget *keptValueLabel(const char *text)
{
    GtkWidget *label = captionLabel(text);
    g_object_ref_sink(label);
    return label;
}

gint textWidth(GtkWidget *widget, const std::string &text)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(widget, text.c_str());
    gint width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    return width;
}

gboolean refuseDelete(GtkWidget *, GdkEvent *, gpointer) noexcept { return TRUE; }

// Non-modal: it appears in the dialog record, nobody answers it.
void onShown(GtkWidget *widget, gpointer) noexcept
{
    try {
        EraseDiscPrivate *p = privOf(widget);
        vorn::dialogs::DialogRequest request;
        request.kind = vorn::dialogs::DialogKind::Custom;
        request.role = "erase-progress";
        const gchar *title = gtk_window_get_title(GTK_WINDOW(widget));
        request.title = title ? title : "";
        request.text = gtk_label_get_text(GTK_LABEL(p->activityLabel));
        vorn::dialogs::noteShown(std::move(request));
    } catch (...) {
    }
}

void buildWindow(VornEraseDiscDlg *self, EraseDiscPrivate &p)
{
    GtkWindow *window = GTK_WINDOW(self);
    gtk_window_set_title(window, _("Erasing rewriteable disc..."));
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_resizable(window, FALSE);
    if (GList *icons = VornKit_DialogBox_GetWindowIconsList())
        gtk_window_set_icon_list(window, icons);

    GtkWidget *table = gtk_table_new(5, 3, FALSE);
    gtk_table_set_row_spacings(GTK_TABLE(table), 10);
    gtk_table_set_col_spacings(GTK_TABLE(table), 15);
    gtk_container_set_border_width(GTK_CONTAINER(table), 10);

    p.mediumImage = gtk_image_new();
    g_object_ref_sink(p.mediumImage);
    gtk_misc_set_alignment(GTK_MISC(p.mediumImage), 0.5f, 0.0f);
    gtk_table_attach(GTK_TABLE(table), p.mediumImage, 0, 1, 0, 4, GTK_FILL, GTK_FILL, 0, 0);

    p.activityLabel = keptValueLabel(_("Idle"));
    p.elapsedLabel = keptValueLabel("00:00 min/sec");
    p.remainingLabel = keptValueLabel("00:00 min/sec");
    const gint widest = std::max(textWidth(p.activityLabel, vorn::kit::eraseMethodName(VORN_ERASE_QUICK)),
                                 textWidth(p.activityLabel, vorn::kit::eraseMethodName(VORN_ERASE_FULL)));
    gtk_widget_set_size_request(p.activityLabel, widest + 50, -1);

    const auto fill = static_cast<GtkAttachOptions>(GTK_FILL | GTK_EXPAND);
    const char *captions[] = {_("Activity:"), _("Elapsed time:"), _("Remaining time:")};
    GtkWidget *values[] = {p.activityLabel, p.elapsedLabel, p.remainingLabel};
    for (guint row = 0; row < 3; ++row) {
        gtk_table_attach(GTK_TABLE(table), captionLabel(captions[row]), 1, 2, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
        gtk_table_attach(GTK_TABLE(table), values[row], 2, 3, row, row + 1, fill, GTK_FILL, 0, 0);
    }
    p.progressBar = gtk_progress_bar_new();
    g_object_ref_sink(p.progressBar);
    gtk_table_attach(GTK_TABLE(table), p.progressBar, 1, 3, 3, 4, fill, GTK_FILL, 0, 0);
    gtk_container_add(GTK_CONTAINER(self), table);
    gtk_widget_show_all(table);
    resetWindowTexts(p, GTK_WIDGET(self));

    g_signal_connect(self, "delete-event", G_CALLBACK(refuseDelete), nullptr);
    g_signal_connect(self, "show", G_CALLBACK(onShown), nullptr);
}

}  // namespace

static void vorn_erase_disc_dlg_init(VornEraseDiscDlg *self)
{
    EraseDiscPrivate *p = new (priv(self)) EraseDiscPrivate{};
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&p->device);
    p->timer = g_timer_new();
    g_timer_stop(p->timer);
    buildWindow(self, *p);
}

static void vorn_erase_disc_dlg_dispose(GObject *object)
{
    EraseDiscPrivate *p = priv(VORNKIT_ERASE_DISC_DLG(object));
    {
        std::lock_guard guard(p->lock);
        p->disposed = true;
        if (p->progressTag)
            g_source_remove(p->progressTag);
        p->progressTag = 0;
    }
    G_OBJECT_CLASS(vorn_erase_disc_dlg_parent_class)->dispose(object);
}

static void vorn_erase_disc_dlg_finalize(GObject *object)
{
    EraseDiscPrivate *p = priv(VORNKIT_ERASE_DISC_DLG(object));
    // Every worker holds a reference until its completion joined it.
    if (p->worker.joinable())
        p->worker.join();
    g_timer_destroy(p->timer);
    // Kept until now: a result told after the window was destroyed still
    // goes over the parent.
    if (p->parent)
        g_object_remove_weak_pointer(G_OBJECT(p->parent), reinterpret_cast<gpointer *>(&p->parent));
    for (GtkWidget *widget : {p->mediumImage, p->activityLabel, p->elapsedLabel, p->remainingLabel, p->progressBar})
        g_object_unref(widget);
    p->~EraseDiscPrivate();
    G_OBJECT_CLASS(vorn_erase_disc_dlg_parent_class)->finalize(object);
}

static void vorn_erase_disc_dlg_class_init(VornEraseDiscDlgClass *klass)
{
    GObjectClass *objectClass = G_OBJECT_CLASS(klass);
    objectClass->dispose = vorn_erase_disc_dlg_dispose;
    objectClass->finalize = vorn_erase_disc_dlg_finalize;
    signals[EraseDone] = g_signal_new("vorn_erase_done", G_TYPE_FROM_CLASS(klass),
                                      static_cast<GSignalFlags>(G_SIGNAL_RUN_FIRST | G_SIGNAL_ACTION),
                                      G_STRUCT_OFFSET(VornEraseDiscDlgClass, vorn_erase_done), nullptr, nullptr,
                                      g_cclosure_marshal_VOID__INT, G_TYPE_NONE, 1, G_TYPE_INT);
}

extern "C" GType VornKit_EraseDiscDlg_GetType(void)
{
    return vorn_erase_disc_dlg_get_type();
}

extern "C" GtkWidget *VornKit_EraseDiscDlg_New(GtkWidget *parent)
{
    GtkWidget *dialog = GTK_WIDGET(g_object_new(VORNKIT_TYPE_ERASE_DISC_DLG, nullptr));
    if (parent && GTK_IS_WINDOW(parent)) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(parent));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
        EraseDiscPrivate *p = privOf(dialog);
        p->parent = parent;
        g_object_add_weak_pointer(G_OBJECT(parent), reinterpret_cast<gpointer *>(&p->parent));
    }
    return dialog;
}

extern "C" gint VornKit_EraseDiscDlg_SetDeviceInfo(GtkWidget *dialog, const VornDeviceEntry *device)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) -> gint {
        VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&p.device);
        p.hasDevice = VornKit_VornSCSIDeviceInfo_IsValid(device);
        if (p.hasDevice)
            VornKit_VornSCSIDeviceInfo_Dump(&p.device, device, TRUE);
        return p.hasDevice ? 1 : 0;
    });
}

extern "C" gint VornKit_EraseDiscDlg_SetEraseMode(GtkWidget *dialog, gint mode)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) {
        p.mode = mode;
        return 1;
    });
}

extern "C" gint VornKit_EraseDiscDlg_SetEraseFlags(GtkWidget *dialog, gint flags)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) {
        p.flags = flags;
        return 1;
    });
}

extern "C" gint VornKit_EraseDiscDlg_SetErasingSpeed(GtkWidget *dialog, gint speedKBs)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) {
        p.speedKBs = speedKBs;
        return 1;
    });
}

extern "C" gint VornKit_EraseDiscDlg_SetReloadAfterEject(GtkWidget *dialog, gboolean reload)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) {
        p.reloadAfterEject = reload != FALSE;
        return 1;
    });
}

extern "C" gint VornKit_EraseDiscDlg_SetDeviceLocking(GtkWidget *dialog, gboolean locking)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) {
        p.deviceLocking = locking != FALSE;
        return 1;
    });
}

extern "C" gint VornKit_EraseDiscDlg_SetMediumType(GtkWidget *dialog, guint32 mediumType)
{
    return withLocked(dialog, [&](EraseDiscPrivate &p) {
        gint loaded = 0;
        setMediumIcon(p, mediumType, &loaded);
        return loaded;
    });
}

extern "C" gint VornKit_EraseDiscDlg_GetErasingResult(GtkWidget *dialog)
{
    return withLocked(dialog, [](EraseDiscPrivate &p) { return p.result; });
}

extern "C" GdkPixbuf *VornKit_EraseDiscDlg_GetEraseDiscPixbuf(guint32 mediumType, gint sizeIndex)
{
    if (sizeIndex < 0 || sizeIndex >= static_cast<gint>(vorn::images::kIndexedSizes.size()))
        return nullptr;
    gchar *dir = VornKit_Util_GetImagesDirectory();
    gchar *path = g_strdup_printf(VORN_IMG_ERASE_DISC_PATH, dir, familyOf(mediumType),
                                  vorn::images::kIndexedSizes[static_cast<std::size_t>(sizeIndex)]);
    GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(path, nullptr);
    g_free(path);
    g_free(dir);
    return pixbuf;
}

extern "C" gint VornKit_EraseDiscDlg_StartErasingProcess(GtkWidget *dialog)
{
    try {
        return withLocked(dialog, [&](EraseDiscPrivate &p) -> gint {
            if (!p.hasDevice || p.disposed)
                return 0;
            EraseJob job;
            job.device = p.device;
            job.mode = p.mode;
            job.flags = p.flags;
            job.speedKBs = p.speedKBs;
            job.reloadAfterEject = p.reloadAfterEject;
            job.deviceLocking = p.deviceLocking;

            gint estimate = VORN_ERASE_OPEN_FAILED;
            if (VornDevice *handle = VornOpenDevice(&job.device)) {
                job.mediumType = VornGetCurrentMediumType(handle);
                estimate = VornGetDiscErasingTime(handle, job.mode, job.speedKBs);
                VornCloseDevice(handle);
            }
            if (estimate < 0) {
                // Nothing to erase: the reason is told as the erase's result.
                p.result = estimate;
                postCompletion(dialog, p, estimate, false);
                return 0;
            }
            // The engine never estimates 0 seconds; should it, the erase runs
            // with a countdown that starts at its end.
            job.estimateSeconds = estimate;
            if (p.busy) {
                p.queued.push_back(job);
                return 1;
            }
            launchWorker(dialog, p, job);
            return 1;
        });
    } catch (...) {
        return 0;
    }
}

extern "C" gboolean VornKit_EraseDiscDlg_IsBusy(GtkWidget *dialog)
{
    return withLocked(dialog, [](EraseDiscPrivate &p) -> gint { return p.busy || !p.queued.empty() || p.untoldResults > 0; }) ? TRUE
                                                                                                        : FALSE;
}
