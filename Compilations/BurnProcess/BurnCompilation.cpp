#include "BurnCompilation.h"

#include "BurnProcessResultDialog.h"
#include "BurnProcessWidget.h"
#include "CompilationOptions.h"
#include "ExtendedProgress.h"
#include "MainWindow.h"

namespace {

constexpr guint kDeclinedCloseDelayMs = 10;

GtkWidget *mainWindowOf(const BurnJob *job)
{
    auto *window = static_cast<GtkWidget *>(job->parent);
    return window && IS_VORN_MAIN_WINDOW(window) ? window : nullptr;
}

void lockGdk(gboolean enter, gpointer) noexcept
{
    if (enter)
        gdk_threads_enter();
    else
        gdk_threads_leave();
}

gboolean prepare(BurnJob *job, gpointer) noexcept
{
    Compilation *compilation = job->compilation;
    VornExtendedProgress *progress = ExtendedProgress_New();
    if (!progress)
        return FALSE;
    GtkWidget *widget = BurnProcessWidget_New();
    if (!widget) {
        ExtendedProgress_Destroy(progress);
        return FALSE;
    }
    g_object_ref_sink(widget);
    ExtendedProgress_RegisterBurnProcessWidget(widget);
    compilation->progressObject = progress;
    compilation->burnProcessWidget = widget;
    if (compilation->operations.SetupBurnWidget)
        compilation->operations.SetupBurnWidget(compilation);
    BurnProcessWidget_AddWriter(widget, &job->device);
    return TRUE;
}

void release(BurnJob *job, gpointer) noexcept
{
    Compilation *compilation = job->compilation;
    if (GtkWidget *widget = compilation->burnProcessWidget) {
        compilation->burnProcessWidget = nullptr;
        ExtendedProgress_UnregisterBurnProcessWidget(widget);
        if (GtkWidget *window = mainWindowOf(job))
            MainWindow_BurnFinished(window);
        gtk_widget_destroy(widget);
        g_object_unref(widget);
    }
    if (compilation->progressObject)
        ExtendedProgress_Destroy(static_cast<VornExtendedProgress *>(compilation->progressObject));
    compilation->progressObject = nullptr;
}

void onAbortClicked(GtkWidget *button, gpointer data) noexcept
{
    auto *job = static_cast<BurnJob *>(data);
    ExtendedProgress_RequestAbort(static_cast<VornExtendedProgress *>(job->compilation->progressObject), job->flags,
                                  &job->device, button, mainWindowOf(job));
}

void started(BurnJob *job, gpointer) noexcept
{
    GtkWidget *widget = job->compilation->burnProcessWidget;
    if (GtkWidget *button = BurnProcessWidget_GetAbortButton(widget))
        g_signal_connect(button, "clicked", G_CALLBACK(onAbortClicked), job);
    if (GtkWidget *window = mainWindowOf(job))
        MainWindow_BurnStarted(window, widget);
}

void burnReturned(BurnJob *job, gpointer) noexcept
{
    if (GtkWidget *window = mainWindowOf(job))
        MainWindow_RemoveBurnStatusMessage(window);
    if (GtkWidget *widget = job->compilation->burnProcessWidget) {
        if (GtkWidget *button = BurnProcessWidget_GetAbortButton(widget))
            g_signal_handlers_disconnect_by_func(button, reinterpret_cast<gpointer>(onAbortClicked), job);
        BurnProcessWidget_StopTimers(widget);
    }
    if (GtkWidget *window = mainWindowOf(job))
        MainWindow_ResetStandardTitle(window);
}

gboolean pressResultButton(gpointer dialog) noexcept
{
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    g_object_unref(dialog);
    return G_SOURCE_REMOVE;
}

void showResult(BurnJob *job, gpointer) noexcept
{
    Compilation *compilation = job->compilation;
    GtkWidget *window = mainWindowOf(job);
    GtkWidget *dialog = BurnProcessResultDialog_New(window, job->result, job->flags, &job->device);
    BurnProcessResultDialog_SetCompilation(dialog, compilation);
    if (GtkWidget *widget = compilation->burnProcessWidget)
        BurnProcessResultDialog_SetBurnEvents(dialog, BurnProcessWidget_GetEventsTreeModel(widget));
    BurnProcessResultDialog_SetBurnLog(dialog, job->errorLog);
    if (compilation->type == COMPILATION_TYPE_IMAGE_FILE || compilation->type == COMPILATION_TYPE_DISC_COPY)
        BurnProcessResultDialog_UnregisterCompilationAtEnd(dialog, window);
    // Nothing was written because the user said no: the dialog closes itself.
    if (job->result == VORN_BURN_DECLINED)
        gdk_threads_add_timeout(kDeclinedCloseDelayMs, pressResultButton, g_object_ref(dialog));
    gtk_widget_show(dialog);
}

gboolean isSingleSession(gpointer compilation)
{
    return IS_VORN_COMPILATION(compilation) && VORN_COMPILATION(compilation)->singleSession == 1;
}

void burnAgain(gpointer compilation, const VornDeviceEntry *writer, GtkWidget *parent)
{
    BurnCompilation_StartBurnProcess(compilation, writer, parent);
}

void unsetActiveCompilation(GtkWidget *mainWindow)
{
    MainWindow_UnsetActiveCompilation(mainWindow);
}

// A disc copy or an image file is only there to be burned: refused, it
// leaves the window.
bool leavesWindowWhenRefused(gpointer compilation)
{
    const gint32 type = VORN_COMPILATION(compilation)->type;
    return type == COMPILATION_TYPE_IMAGE_FILE || type == COMPILATION_TYPE_DISC_COPY;
}

}  // namespace

gint BurnCompilation_StartBurnProcess(gpointer compilation, const VornDeviceEntry *recorder, GtkWidget *mainWindow)
{
    if (!IS_VORN_COMPILATION(compilation))
        return BURN_PROCESS_FAILED;
    static const BurnProcessResultDialogHooks resultHooks{isSingleSession, burnAgain, unsetActiveCompilation};
    BurnProcessResultDialog_SetHooks(&resultHooks);
    BurnProcess_SetAbortButtonLookup(
        [](GtkWidget *widget) -> gpointer { return BurnProcessWidget_GetAbortButton(widget); });
    BurnProcessHooks hooks{};
    hooks.lock = lockGdk;
    hooks.prepare = prepare;
    hooks.release = release;
    hooks.started = started;
    hooks.burnReturned = burnReturned;
    hooks.showResult = showResult;
    const gint started = BurnProcess_Start(VORN_COMPILATION(compilation), recorder, mainWindow, &hooks);
    if (started == BURN_PROCESS_REFUSED_BY_CHECK && leavesWindowWhenRefused(compilation) &&
        MainWindow_GetActiveCompilation(mainWindow) == compilation)
        MainWindow_UnsetActiveCompilation(mainWindow);
    return started;
}
