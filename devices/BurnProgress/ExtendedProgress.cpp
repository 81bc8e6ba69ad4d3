// The 26 progress callbacks and the registered burn widget.
//
// The module lock only guards the registration and the three remembered
// writer values; it is never held across the GDK lock. A callback takes a
// reference on the registered widget under it, lets it go, and only then
// enters the GDK lock, so the lock order (GDK first) holds everywhere.
#include "ExtendedProgress.h"

#include "BurnProcessWidget.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "Filenames.h"
#include "MessagesFile.h"
#include "OptionsDatabase.h"

#include <glib/gi18n.h>

#include <mutex>

namespace {

// Burn process settings.
constexpr gint32 kParentMainWindow = 2;
constexpr gint32 kWritingPhaseStarted = 3;
constexpr gint32 kWritingSpeed = 4;
constexpr gint32 kWritingSpeedBase = 5;

struct ModuleState {
    std::mutex mu;
    GtkWidget *widget = nullptr;
    gint bufferAvailable = 0;
    gint writerStatus = 0;
    gint writerPhase = 0;
    ExtendedProgressWindowHooks hooks{};
};

ModuleState &state()
{
    static ModuleState s;
    return s;
}

// A reference on the registered widget, or null.
GtkWidget *registeredWidget()
{
    auto &s = state();
    std::lock_guard lock(s.mu);
    return s.widget ? GTK_WIDGET(g_object_ref(s.widget)) : nullptr;
}

// Runs `body` with the registered widget under the GDK lock; nothing when
// none is registered. Never lets an exception out to the engine.
template <class F>
void withWidget(F &&body) noexcept
{
    try {
        GtkWidget *widget = registeredWidget();
        if (!widget)
            return;
        gdk_threads_enter();
        try {
            body(widget);
        } catch (...) {
        }
        g_object_unref(widget);
        gdk_threads_leave();
    } catch (...) {
    }
}

GtkWidget *parentWindow()
{
    if (!BurnProcessDynamicOptionsDatabase)
        return nullptr;
    gpointer window = OptionsDatabase_GetPointerOptionValue(BurnProcessDynamicOptionsDatabase, kParentMainWindow);
    return window && GTK_IS_WIDGET(window) ? GTK_WIDGET(window) : nullptr;
}

ExtendedProgressWindowHooks hooks()
{
    auto &s = state();
    std::lock_guard lock(s.mu);
    return s.hooks;
}

// Engine text (the language file's code page) to UTF-8; characters that do
// not convert become "?".
gchar *engineToUtf8(const char *text)
{
    return g_convert_with_fallback(text, -1, "UTF-8", MessagesFile_pszMessagesEncoding, "?", nullptr, nullptr,
                                   nullptr);
}

// --- The callbacks

int onProgress(int64_t done, int64_t total) noexcept
{
    withWidget([&](GtkWidget *widget) {
        const gint64 percent = total == 0 ? 100 : CLAMP(done * 100 / total, 0, 100);
        if (GtkWidget *window = parentWindow(); window && hooks().setTitlePercentage)
            hooks().setTitlePercentage(window, static_cast<gint>(percent));
        BurnProcessWidget_SetPercentage(widget, done, total);
    });
    return 0;
}

void onFileName(const char *name) noexcept
{
    withWidget([&](GtkWidget *widget) {
        if (!name) {
            BurnProcessWidget_SetFileName(widget, nullptr);
            return;
        }
        gchar *utf8 = g_convert(name, -1, "UTF-8", MessagesFile_pszMessagesEncoding, nullptr, nullptr, nullptr);
        if (!utf8)
            utf8 = Filenames_GetDisplayString(name);
        BurnProcessWidget_SetFileName(widget, utf8 ? utf8 : "");
        g_free(utf8);
    });
}

void onIgnoredPhase(int) noexcept {}
void onIgnoredWriterName(int, const char *) noexcept {}
void onIgnoredWriterProgress(int, int64_t, int64_t) noexcept {}
void onIgnoredWriterReadPosition(int, int64_t) noexcept {}

void onReadSpeed(int speed, int base) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetReadSpeed(widget, speed, base); });
}

void onWriteSpeed(int speed, int base, int verifying) noexcept
{
    withWidget([&](GtkWidget *widget) {
        BurnProcessWidget_SetWriteSpeed(widget, speed, base, verifying);
        if (!BurnProcessDynamicOptionsDatabase)
            return;
        if (speed == 65535 || base < 1) {
            OptionsDatabase_SetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, kWritingSpeed, 0);
            OptionsDatabase_SetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, kWritingSpeedBase, 0);
        } else if (!verifying) {
            OptionsDatabase_SetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, kWritingSpeed, speed & 0x7FFFFFFF);
            OptionsDatabase_SetIntegerOptionValue(BurnProcessDynamicOptionsDatabase, kWritingSpeedBase, base);
        }
    });
}

void onSetRemainingTime(uint32_t ms) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetRemainingTime(widget, ms); });
}

int onGetRemainingTime(uint32_t *ms) noexcept
{
    if (!ms)
        return 0;
    *ms = 0;
    withWidget([&](GtkWidget *widget) { *ms = BurnProcessWidget_GetRemainingTime(widget); });
    return 1;
}

void onPhase(int phase) noexcept
{
    withWidget([&](GtkWidget *widget) {
        const gchar *text = ExtendedProgress_GetPhaseText(phase);
        const auto h = hooks();
        if (GtkWidget *window = parentWindow()) {
            if (*text) {
                if (h.setStatusMessage)
                    h.setStatusMessage(window, text);
                if (h.setSpecificTitle)
                    h.setSpecificTitle(window, text);
            } else if (h.setStatusMessage) {
                h.setStatusMessage(window, nullptr);
            }
        }
        if (phase == VORN_PHASE_VERIFYING) {
            BurnProcessWidget_SetReadingLabel(widget, TRUE);
            BurnProcessWidget_SetAbortButtonLabel(widget, TRUE);
        } else if (phase >= VORN_PHASE_VERIFY_ABORTED && phase <= VORN_PHASE_VERIFY_FAILED) {
            BurnProcessWidget_SetReadingLabel(widget, FALSE);
            BurnProcessWidget_SetAbortButtonLabel(widget, FALSE);
        }
        if (BurnProcessDynamicOptionsDatabase && phase == VORN_PHASE_WRITING_TO_DISC)
            OptionsDatabase_SetBooleanOptionValue(BurnProcessDynamicOptionsDatabase, kWritingPhaseStarted, 1);
        if (BurnProcessDynamicOptionsDatabase && phase == VORN_PHASE_WRITING_ENDED)
            OptionsDatabase_SetBooleanOptionValue(BurnProcessDynamicOptionsDatabase, kWritingPhaseStarted, 0);
    });
}

void onStatusPhase(int phase) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetStatusPhase(widget, ExtendedProgress_GetPhaseText(phase)); });
}

void onDocSize(int32_t blocks, int64_t bytes) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetCompilationSize(widget, blocks, bytes); });
}

void onEnableSubTask(int on) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetSubTaskWidgetsSenstivity(widget, on != 0); });
}

void onSubTaskText(const char *text) noexcept
{
    if (!text)
        return;
    withWidget([&](GtkWidget *widget) {
        gchar *utf8 = engineToUtf8(text);
        BurnProcessWidget_SetSubTaskText(widget, utf8 ? utf8 : "");
        g_free(utf8);
    });
}

void onSubTaskPercent(int percent) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetSubTaskPercentage(widget, percent); });
}

void onSubTaskRecBuf() noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetSubTaskRecBufTextCallback(widget); });
}

void onMessage(const char *text, int ignored, int kind) noexcept
{
    if (!text)
        return;
    withWidget([&](GtkWidget *widget) {
        gchar *utf8 = engineToUtf8(text);
        BurnProcessWidget_AddMessage(widget, utf8 ? utf8 : "", ignored, kind);
        g_free(utf8);
    });
}

void onWriterStatus(int index, int status) noexcept
{
    {
        auto &s = state();
        std::lock_guard lock(s.mu);
        s.writerStatus = status;
    }
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetWriterStatus(widget, index, status); });
}

void onWriterPhase(int index, int phase) noexcept
{
    {
        auto &s = state();
        std::lock_guard lock(s.mu);
        s.writerPhase = phase;
    }
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetWriterPhase(widget, index, phase); });
}

void onWriterBufferAvailable(int index, int available) noexcept
{
    bool show = false;
    {
        auto &s = state();
        std::lock_guard lock(s.mu);
        s.bufferAvailable = available;
        // No level while the recorder failed, idles, closes the disc or reads.
        const int ph = s.writerPhase;
        show = available == 1 && s.writerStatus != 2 && ph != 0 && ph != 4 && ph != 6 && ph != 7 && ph != 8;
    }
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetWriterBufferAvailable(widget, index, show); });
}

void onWriterBuffer(int index, uint32_t level, uint32_t size) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetWriterBuffer(widget, index, level, size); });
}

void onNumCopies(int current, int, int total) noexcept
{
    withWidget([&](GtkWidget *widget) { BurnProcessWidget_SetNumCopies(widget, current, total); });
}

}  // namespace

VornExtendedProgress *ExtendedProgress_New(void)
{
    VornExtendedProgress *p = VornExtendedProgress_New();
    if (!p)
        return nullptr;
    VornExtendedProgress_SetCallback_ProgressCallback(p, onProgress);
    VornExtendedProgress_SetCallback_SetFileNameCallback(p, onFileName);
    VornExtendedProgress_SetCallback_StartPhaseCallback(p, onIgnoredPhase);
    VornExtendedProgress_SetCallback_EndPhaseCallback(p, onIgnoredPhase);
    VornExtendedProgress_SetCallback_SetMajorPhaseCallback(p, onIgnoredPhase);
    VornExtendedProgress_SetCallback_SetReadPercentageCallback(p, onIgnoredPhase);
    VornExtendedProgress_SetCallback_SetWriterNameCallback(p, onIgnoredWriterName);
    VornExtendedProgress_SetCallback_SetWriterProgressCallback(p, onIgnoredWriterProgress);
    VornExtendedProgress_SetCallback_SetWriterReadPositionCallback(p, onIgnoredWriterReadPosition);
    VornExtendedProgress_SetCallback_SetReadSpeedCallback(p, onReadSpeed);
    VornExtendedProgress_SetCallback_SetWriteSpeedCallback(p, onWriteSpeed);
    VornExtendedProgress_SetCallback_SetRemainingTimeCallback(p, onSetRemainingTime);
    VornExtendedProgress_SetCallback_GetRemainingTimeCallback(p, onGetRemainingTime);
    VornExtendedProgress_SetCallback_SetPhaseCallback(p, onPhase);
    VornExtendedProgress_SetCallback_SetStatusPhaseCallback(p, onStatusPhase);
    VornExtendedProgress_SetCallback_SetDocSizeCallback(p, onDocSize);
    VornExtendedProgress_SetCallback_EnableSubTaskCallback(p, onEnableSubTask);
    VornExtendedProgress_SetCallback_SetSubTaskTextCallback(p, onSubTaskText);
    VornExtendedProgress_SetCallback_SetSubTaskPercentCallback(p, onSubTaskPercent);
    VornExtendedProgress_SetCallback_SetSubTaskRecBufTextCallback(p, onSubTaskRecBuf);
    VornExtendedProgress_SetCallback_AddMessageCallback(p, onMessage);
    VornExtendedProgress_SetCallback_SetWriterStatusCallback(p, onWriterStatus);
    VornExtendedProgress_SetCallback_SetWriterPhaseCallback(p, onWriterPhase);
    VornExtendedProgress_SetCallback_SetWriterBufferAvailableCallback(p, onWriterBufferAvailable);
    VornExtendedProgress_SetCallback_SetWriterBufferCallback(p, onWriterBuffer);
    VornExtendedProgress_SetCallback_SetNumCopiesCallback(p, onNumCopies);
    return p;
}

void ExtendedProgress_Destroy(VornExtendedProgress *progress)
{
    VornExtendedProgress_Destroy(progress);
}

gboolean ExtendedProgress_RegisterBurnProcessWidget(GtkWidget *widget)
{
    if (!widget || !IS_VORN_BURN_PROCESS_WIDGET(widget))
        return FALSE;
    GtkWidget *previous = nullptr;
    {
        auto &s = state();
        std::lock_guard lock(s.mu);
        previous = s.widget;
        s.widget = GTK_WIDGET(g_object_ref(widget));
        s.bufferAvailable = s.writerStatus = s.writerPhase = 0;
    }
    if (previous)
        g_object_unref(previous);
    return TRUE;
}

gboolean ExtendedProgress_UnregisterBurnProcessWidget(GtkWidget *widget)
{
    GtkWidget *gone = nullptr;
    {
        auto &s = state();
        std::lock_guard lock(s.mu);
        if (!widget || s.widget != widget)
            return FALSE;
        gone = s.widget;
        s.widget = nullptr;
        s.bufferAvailable = s.writerStatus = s.writerPhase = 0;
    }
    g_object_unref(gone);
    return TRUE;
}

const gchar *ExtendedProgress_GetPhaseText(gint phase)
{
    switch (phase) {
    case 2: return _("Verifying the compilation");
    case 3: return _("Verification aborted");
    case 4: return _("Verification successful");
    case 5: return _("Verification failed");
    case 6: return _("Preparing disc (erasing TOC and/or tracks)");
    case 7: return _("Audio CD-RW preparations aborted by user");
    case 8: return _("Audio CD-RW preparations completed successfully");
    case 9: return _("Audio CD-RW preparations failed");
    case 10: return _("Testing Speed");
    case 12: return _("Simulating");
    case 13: return _("Preparing items");
    case 14: return _("Encoding video");
    case 15: return _("Formatting disc");
    case 16: return _("Burn bitmap data to disc");
    case 17: return _("Generating relocation information");
    case 18: return _("Start generating disc identification");
    case 19: return _("Finished generation of disc identification");
    case 20: return _("Reading directories");
    case 21: return _("Creating directories");
    case 22: return _("Finishing");
    case 23: return _("Locating end of track");
    case 24: return _("Scan subcode for indices");
    case 25: return _("Checking discs");
    case 26: return _("Read track info");
    case 27: return _("Read Media Catalog Number");
    case 28: return _("Read ISRC");
    case 29: return _("Writing files");
    case 30: return _("Creating image for writing");
    case 31: return _("Writing to cache");
    case 32: return _("Writing to disc");
    case 33: return _("Writing lead-in");
    case 34: return _("Writing lead-out");
    case 35: return _("Writing lead-in and lead-out");
    case 37: return _("Generating item names");
    case 38: return _("Sorting by priority");
    default: return "";
    }
}

gboolean ExtendedProgress_RequestAbort(VornExtendedProgress *progress, guint32 burnFlags,
                                       const VornDeviceEntry *recorder, GtkWidget *abortButton, GtkWidget *parent)
{
    try {
        const bool realDrive = recorder && !(recorder->capabilities & VORN_CAP_IMAGE_RECORDER) &&
                               recorder->hostAdapter != VORN_IMAGE_RECORDER_HA;
        const bool writing = BurnProcessDynamicOptionsDatabase &&
                             OptionsDatabase_GetBooleanOptionValue(BurnProcessDynamicOptionsDatabase,
                                                                   kWritingPhaseStarted);
        if ((burnFlags & VORN_BURN_WRITE) && realDrive && writing) {
            vorn::dialogs::RoleScope role("abort-burn");
            const gint answer = VornKit_DialogBox_ModalQuestionDialog(
                _("Info: Interrupting burning may make your disc unreadable!"),
                _("Would you really like to abort the burn process?"), _("Abort Burning"), parent, 0);
            if (answer == VORNKIT_RESPONSE_NO)
                return FALSE;
        }
        if (abortButton)
            gtk_widget_set_sensitive(abortButton, FALSE);
        VornExtendedProgress_SetUserAbort(progress, 1);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void ExtendedProgress_SetWindowHooks(const ExtendedProgressWindowHooks *h)
{
    auto &s = state();
    std::lock_guard lock(s.mu);
    s.hooks = h ? *h : ExtendedProgressWindowHooks{};
}
