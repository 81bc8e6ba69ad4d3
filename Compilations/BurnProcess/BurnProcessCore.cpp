#include "BurnProcessCore.h"

#include "CompilationOptions.h"
#include "Debugger.h"
#include "LaterParts.h"
#include "UserDialogs.h"
#include "VfsIoControlCodes.h"
#include "VornAPIInterface.h"
#include "VornKitDevicesManagement.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr gint32 kPlaySuccessSound = 9;
constexpr gint32 kSuccessSoundPath = 10;
constexpr gint32 kPlayFailureSound = 11;
constexpr gint32 kFailureSoundPath = 12;
constexpr gint32 kDoNotEject = 24;
constexpr gint32 kReloadAfterBurn = 25;
constexpr gint32 kBookTypeDeviceOption = 2;
constexpr guint kEndDelayMs = 100;

struct FlagName {
    guint32 bit;
    const char *name;
};

constexpr FlagName kFlagNames[] = {
    {VORN_BURN_SPEED_TEST, "VBF_SPEED_TEST"},
    {VORN_BURN_SIMULATE, "VBF_SIMULATE"},
    {VORN_BURN_WRITE, "VBF_WRITE"},
    {VORN_BURN_DAO, "VBF_DAO"},
    {VORN_BURN_CLOSE_SESSION, "VBF_CLOSE_SESSION"},
    {VORN_BURN_CD_TEXT, "VBF_CD_TEXT"},
    {VORN_BURN_BUF_UNDERRUN_PROT, "VBF_BUF_UNDERRUN_PROT"},
    {VORN_BURN_DISABLE_ABORT, "VBF_DISABLE_ABORT"},
    {VORN_BURN_DETECT_NON_EMPTY_CDRW, "VBF_DETECT_NON_EMPTY_CDRW"},
    {VORN_BURN_DISABLE_EJECT, "VBF_DISABLE_EJECT"},
    {VORN_BURN_VERIFY, "VBF_VERIFY"},
    {VORN_BURN_SPEED_IN_KBS, "VBF_SPEED_IN_KBS"},
    {VORN_BURN_DVDP_BURN_30MM_AT_LEAST, "VBF_DVDP_BURN_30MM_AT_LEAST"},
    {VORN_BURN_CD_TEXT_IS_JAPANESE, "VBF_CD_TEXT_IS_JAPANESE"},
    {VORN_BURN_BOOKTYPE_DVDROM, "VBF_BOOKTYPE_DVDROM"},
    {VORN_BURN_NO_BOOKTYPE_CHANGE, "VBF_NO_BOOKTYPE_CHANGE"},
    {VORN_BURN_DAO96, "VBF_DAO96"},
};

OptionsDatabase *burnDatabase()
{
    return BurnProcessDynamicOptionsDatabase;
}

bool isImageRecorder(const VornDeviceEntry &device)
{
    return (device.capabilities & VORN_CAP_IMAGE_RECORDER) != 0;
}

bool isDvd(Compilation *compilation)
{
    return static_cast<guint32>(OptionsDatabase_GetIntegerOptionValue(compilation->options,
                                                                       COMPILATION_OPTION_MEDIUM_TYPE)) ==
           COMPILATION_MEDIUM_DVD;
}

BurnProcessHooks &hooksOf(BurnJob *job)
{
    return *static_cast<BurnProcessHooks *>(job->hooks);
}

void lockUi(BurnJob *job, gboolean enter)
{
    BurnProcessHooks &hooks = hooksOf(job);
    if (hooks.lock)
        hooks.lock(enter, hooks.data);
}

// The engine progress object and any display: the hook's, or a bare one.
bool prepare(BurnJob *job)
{
    BurnProcessHooks &hooks = hooksOf(job);
    if (hooks.prepare)
        return hooks.prepare(job, hooks.data) && job->compilation->progressObject;
    job->compilation->progressObject = VornExtendedProgress_New();
    return job->compilation->progressObject != nullptr;
}

void release(BurnJob *job)
{
    BurnProcessHooks &hooks = hooksOf(job);
    if (hooks.prepare) {
        if (hooks.release)
            hooks.release(job, hooks.data);
    } else {
        VornExtendedProgress_Destroy(static_cast<VornExtendedProgress *>(job->compilation->progressObject));
    }
    job->compilation->progressObject = nullptr;
}

// Points the engine's questions at the burn's answerer, with `userData`.
void setEngineDialog(BurnJob *job, gpointer userData)
{
    BurnProcessHooks &hooks = hooksOf(job);
    if (!hooks.userDialog) {
        UserDialogs_SetUserData(userData);
        return;
    }
    VornUserDialogOption option{hooks.userDialog, userData};
    VornSetOption(VORN_OPTION_USER_DIALOG, &option);
}

void freeJob(BurnJob *job)
{
    delete static_cast<BurnProcessHooks *>(job->hooks);
    g_free(job);
}

void markIdle()
{
    OptionsDatabase_SetBooleanOptionValue(burnDatabase(), BURN_PROCESS_ACTIVE, 0);
    OptionsDatabase_SetPointerOptionValue(burnDatabase(), BURN_PROCESS_CURRENT_DEVICE, nullptr);
}

void dumpFlags(guint32 flags)
{
    gchar *text = BurnProcess_FormatFlags(flags);
    debugger_DummyOut("%s", text);
    g_free(text);
}

void playSound(gint32 result)
{
    OptionsDatabase *settings = GlobalSettingsOptionsDatabase;
    const bool success = result == VORN_BURN_OK;
    if (OptionsDatabase_GetBooleanOptionValue(settings, success ? kPlaySuccessSound : kPlayFailureSound) != 1)
        return;
    gchar *path = OptionsDatabase_GetStringOptionValue(settings, success ? kSuccessSoundPath : kFailureSoundPath);
    if (path && *path)
        PreviewPlayer_PlayFileSilent(nullptr, path, nullptr);
    g_free(path);
}

// Main loop: everything after the engine returned that the user sees, then
// the job is taken apart.
gboolean endOfBurn(gpointer data) noexcept
{
    auto *job = static_cast<BurnJob *>(data);
    Compilation *compilation = job->compilation;
    const BurnProcessHooks hooks = hooksOf(job);
    lockUi(job, TRUE);
    if (compilation->operations.AfterBurn)
        compilation->operations.AfterBurn(compilation, job->result);
    if (job->eject) {
        VornEjectLoadCD(job->handle, 1);
        if (job->reload)
            VornEjectLoadCD(job->handle, 0);
    }
    if (hooks.showResult)
        hooks.showResult(job, hooks.data);
    VornFreeMem(job->errorLog);
    job->errorLog = nullptr;
    g_signal_emit_by_name(compilation, "vorn_burn_finished", 0);
    release(job);
    markIdle();
    OptionsDatabase_SetPointerOptionValue(burnDatabase(), BURN_PROCESS_PARENT_WINDOW, nullptr);
    VornCloseDevice(job->handle);
    if (compilation->operations.FreeWriteDescription)
        compilation->operations.FreeWriteDescription(job->writeDescription);
    g_thread_join(job->thread);
    compilation->burnThread = nullptr;
    const gint32 result = job->result;
    freeJob(job);
    if (hooks.ended)
        hooks.ended(compilation, result, hooks.data);
    g_object_unref(compilation);
    if (hooks.lock)
        hooks.lock(FALSE, hooks.data);
    return G_SOURCE_REMOVE;
}

gpointer burnThread(gpointer data) noexcept
{
    auto *job = static_cast<BurnJob *>(data);
    debugger_DummyOut("Burn thread started.\n");
    VornKit_DevicesManagement_DisableDevicesChangeCallbacks();
    job->flags |= VORN_BURN_NO_BOOKTYPE_CHANGE;
    const bool lockRecorder = !isImageRecorder(job->device);
    if (lockRecorder)
        VornKit_DevicesManagement_LockDevice(&job->device);
    dumpFlags(job->flags);
    if (isDvd(job->compilation))
        VornSetDeviceOption(job->handle, kBookTypeDeviceOption, &job->bookTypeSettings);
    job->result = VornBurn(job->handle, static_cast<int>(job->formatCode),
                           static_cast<const VornWriteDescription *>(job->writeDescription), job->flags,
                           job->speedKBs, nullptr);
    job->errorLog = VornGetErrorLog();
    if (lockRecorder)
        VornKit_DevicesManagement_UnlockDevice(&job->device);
    VornKit_DevicesManagement_EnableDevicesChangeCallbacks();
    setEngineDialog(job, nullptr);
    VornAPI_SetUserAbort(0);

    lockUi(job, TRUE);
    g_object_ref(job->compilation);
    BurnProcessHooks &hooks = hooksOf(job);
    if (hooks.burnReturned)
        hooks.burnReturned(job, hooks.data);
    lockUi(job, FALSE);

    playSound(job->result);
    g_timeout_add(kEndDelayMs, endOfBurn, job);
    return nullptr;
}

}  // namespace

namespace {

constexpr gint32 kCopySourceDrive = 89;
constexpr gint kWaitCodeCopySource = 5;

std::atomic<AbortButtonLookup> abortButtonLookup{nullptr};

gpointer abortButtonOf(GtkWidget *burnWidget)
{
    AbortButtonLookup lookup = abortButtonLookup.load();
    return burnWidget && lookup ? lookup(burnWidget) : nullptr;
}

// What the engine's questions need of the burning compilation.
void resolveBurnInfo(gpointer userData, gint waitCode, UserDialogsBurnInfo *info) noexcept
{
    if (!IS_VORN_COMPILATION(userData))
        return;
    auto *compilation = VORN_COMPILATION(userData);
    info->progress = static_cast<VornExtendedProgress *>(compilation->progressObject);
    info->abortButton = abortButtonOf(compilation->burnProcessWidget);
    switch (compilation->type) {
    case COMPILATION_TYPE_ISO:
    case COMPILATION_TYPE_UDF:
    case COMPILATION_TYPE_UDF_ISO_BRIDGE:
    case COMPILATION_TYPE_BOOTABLE:
    case COMPILATION_TYPE_DVD_VIDEO: {
        gint32 possible = 0;
        info->isoImagePossible =
            VFS_IoControl(compilation->fileSystem, VFS_IOCTL_CAN_BE_WRITTEN_AS_ISO_IMAGE, &possible) == 0 &&
            possible == 1;
        break;
    }
    case COMPILATION_TYPE_DISC_COPY:
        if (waitCode == kWaitCodeCopySource)
            info->waitDevice = OptionsDatabase_GetScsiDeviceOptionValue(compilation->options, kCopySourceDrive);
        break;
    default: break;
    }
}

}  // namespace

gint32 BurnProcess_GetSpeedOption(guint32 medium) noexcept
{
    switch (medium) {
    case COMPILATION_MEDIUM_DVD: return 110;
    case COMPILATION_MEDIUM_HD_DVD: return 111;
    case COMPILATION_MEDIUM_BD: return 112;
    default: return COMPILATION_OPTION_CD_SPEED;
    }
}

gchar *BurnProcess_FormatFlags(guint32 flags) noexcept
{
    GString *text = g_string_new("=== Burn flags ==========================================================\n");
    for (const FlagName &flag : kFlagNames)
        g_string_append_printf(text, "%-32s%u\n", flag.name, flags & flag.bit);
    g_string_append(text, std::string(73, '=').c_str());
    g_string_append_c(text, '\n');
    return g_string_free(text, FALSE);
}

gboolean BurnProcess_IsActive(void) noexcept
{
    return burnDatabase() && OptionsDatabase_GetBooleanOptionValue(burnDatabase(), BURN_PROCESS_ACTIVE) == 1;
}

gboolean BurnProcess_Abort(void) noexcept
{
    if (!BurnProcess_IsActive())
        return FALSE;
    auto *job = static_cast<BurnJob *>(OptionsDatabase_GetPointerOptionValue(burnDatabase(),
                                                                             BURN_PROCESS_CURRENT_DEVICE));
    if (!job || !job->compilation || !job->compilation->progressObject)
        return FALSE;
    return VornExtendedProgress_SetUserAbort(static_cast<VornExtendedProgress *>(job->compilation->progressObject),
                                             1) == 1;
}

gint BurnProcess_Start(Compilation *compilation, const VornDeviceEntry *recorder, gpointer parent,
                       const BurnProcessHooks *hooks) noexcept
{
    if (!IS_VORN_COMPILATION(compilation) || !recorder || !burnDatabase())
        return BURN_PROCESS_FAILED;
    if (BurnProcess_IsActive())
        return BURN_PROCESS_ALREADY_RUNNING;
    CompilationOperations &operations = compilation->operations;
    if (!operations.CreateWriteDescription)
        return BURN_PROCESS_FAILED;
    if (operations.CheckBeforeBurn && operations.CheckBeforeBurn(compilation, recorder, parent) != 1)
        return BURN_PROCESS_REFUSED_BY_CHECK;

    auto *job = static_cast<BurnJob *>(g_try_malloc0(sizeof(BurnJob)));
    auto *ownHooks = new (std::nothrow) BurnProcessHooks{};
    if (!job || !ownHooks) {
        debugger_DummyOut("Memory allocation error.\n");
        g_free(job);
        delete ownHooks;
        return BURN_PROCESS_FAILED;
    }
    if (hooks)
        *ownHooks = *hooks;
    job->hooks = ownHooks;
    job->device = *recorder;
    job->compilation = compilation;
    job->parent = parent;
    if (!prepare(job)) {
        release(job);
        freeJob(job);
        return BURN_PROCESS_FAILED;
    }
    job->handle = VornOpenDevice(recorder);
    if (!job->handle) {
        debugger_DummyOut("Could not open the burn device!\n");
        release(job);
        freeJob(job);
        return BURN_PROCESS_FAILED;
    }
    job->bookTypeSettings = VornKit_DevicesManagement_GetBookTypeSettings(recorder);
    job->writeDescription = operations.CreateWriteDescription(compilation);
    if (!job->writeDescription) {
        VornCloseDevice(job->handle);
        release(job);
        freeJob(job);
        return BURN_PROCESS_FAILED;
    }
    job->formatCode = operations.GetBurnFormat ? operations.GetBurnFormat(compilation) : VORN_BURN_MAGIC;
    const auto medium =
        static_cast<guint32>(OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MEDIUM_TYPE));
    job->speedKBs = static_cast<gint32>(
        OptionsDatabase_GetIntegerOptionValue(compilation->options, BurnProcess_GetSpeedOption(medium)));
    job->flags = operations.GetBurnFlags ? operations.GetBurnFlags(compilation, &job->device) : 0;
    job->result = VORN_BURN_OK;
    job->eject = OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kDoNotEject) == 1 ? 0 : 1;
    job->reload = OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kReloadAfterBurn) == 1 ? 1 : 0;

    OptionsDatabase_SetBooleanOptionValue(burnDatabase(), BURN_PROCESS_ACTIVE, 1);
    OptionsDatabase_SetPointerOptionValue(burnDatabase(), BURN_PROCESS_CURRENT_DEVICE, job);
    if (parent)
        OptionsDatabase_SetPointerOptionValue(burnDatabase(), BURN_PROCESS_PARENT_WINDOW, parent);
    UserDialogs_SetBurnInfoResolver(resolveBurnInfo);
    setEngineDialog(job, compilation);
    job->flags |= VORN_BURN_SPEED_IN_KBS;
    g_signal_emit_by_name(compilation, "vorn_burn_started");
    if (ownHooks->started)
        ownHooks->started(job, ownHooks->data);

    job->thread = g_thread_try_new("burn", burnThread, job, nullptr);
    if (!job->thread) {
        g_signal_emit_by_name(compilation, "vorn_burn_finished", 0);
        setEngineDialog(job, nullptr);
        markIdle();
        if (operations.FreeWriteDescription)
            operations.FreeWriteDescription(job->writeDescription);
        VornCloseDevice(job->handle);
        release(job);
        freeJob(job);
        return BURN_PROCESS_FAILED;
    }
    compilation->burnThread = job->thread;
    return BURN_PROCESS_STARTED;
}

namespace {

struct RunState {
    BurnProcessHooks inner{};
    GMainLoop *loop = nullptr;
    gint32 result = VORN_BURN_OK;
    bool ended = false;
};

void runEnded(Compilation *compilation, gint32 result, gpointer data) noexcept
{
    auto *state = static_cast<RunState *>(data);
    if (state->inner.ended)
        state->inner.ended(compilation, result, state->inner.data);
    state->result = result;
    state->ended = true;
    g_main_loop_quit(state->loop);
}

// Every hook of the caller, with its own data, behind the run's.
template <auto Member, typename... Args>
void forward(Args... args, gpointer data) noexcept
{
    auto *state = static_cast<RunState *>(data);
    if (auto fn = state->inner.*Member)
        fn(args..., state->inner.data);
}

}  // namespace

gint BurnProcess_Run(Compilation *compilation, const VornDeviceEntry *recorder, const BurnProcessHooks *hooks,
                     gint32 *result) noexcept
{
    RunState state;
    if (hooks)
        state.inner = *hooks;
    BurnProcessHooks wrapped{};
    if (state.inner.lock)
        wrapped.lock = [](gboolean enter, gpointer data) noexcept { forward<&BurnProcessHooks::lock, gboolean>(enter, data); };
    if (state.inner.prepare) {
        wrapped.prepare = [](BurnJob *job, gpointer data) noexcept -> gboolean {
            auto *s = static_cast<RunState *>(data);
            return s->inner.prepare(job, s->inner.data);
        };
        wrapped.release = [](BurnJob *job, gpointer data) noexcept { forward<&BurnProcessHooks::release, BurnJob *>(job, data); };
    }
    wrapped.started = [](BurnJob *job, gpointer data) noexcept { forward<&BurnProcessHooks::started, BurnJob *>(job, data); };
    wrapped.burnReturned = [](BurnJob *job, gpointer data) noexcept {
        forward<&BurnProcessHooks::burnReturned, BurnJob *>(job, data);
    };
    wrapped.showResult = [](BurnJob *job, gpointer data) noexcept {
        forward<&BurnProcessHooks::showResult, BurnJob *>(job, data);
    };
    wrapped.ended = runEnded;
    wrapped.data = &state;
    wrapped.userDialog = state.inner.userDialog;
    state.loop = g_main_loop_new(nullptr, FALSE);
    const gint started = BurnProcess_Start(compilation, recorder, nullptr, &wrapped);
    if (started == BURN_PROCESS_STARTED && !state.ended)
        g_main_loop_run(state.loop);
    g_main_loop_unref(state.loop);
    if (started == BURN_PROCESS_STARTED && result)
        *result = state.result;
    return started;
}

void BurnProcess_SetAbortButtonLookup(AbortButtonLookup lookup) noexcept
{
    abortButtonLookup.store(lookup);
}
