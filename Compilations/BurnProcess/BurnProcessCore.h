/*
 * One burn of a compilation, without any window: the compilation's checks,
 * the engine's write description, flag word and speed, the burn thread, and
 * the end of the burn on the main loop (the compilation's after-burn step,
 * eject or reload, the result).
 *
 * A user interface plugs its progress display and result dialog in through
 * BurnProcessHooks; a program without a display passes no hooks (or only
 * the ones it wants) and answers the engine's questions through the dialog
 * responder. Only one burn runs at a time in the whole process: the burn
 * process setting "Burn process active" guards it.
 */
#ifndef VORN_BURN_PROCESS_CORE_H
#define VORN_BURN_PROCESS_CORE_H

#include "Compilation.h"

G_BEGIN_DECLS

/* Start results. */
enum {
    BURN_PROCESS_STARTED = 0,
    BURN_PROCESS_REFUSED_BY_CHECK = 1, /* the compilation's CheckBeforeBurn said no */
    BURN_PROCESS_ALREADY_RUNNING = 2,
    BURN_PROCESS_FAILED = 3 /* not burnable, recorder cannot be opened, no memory, no thread */
};

/* Ids in BurnProcessDynamicOptionsDatabase. */
enum { BURN_PROCESS_ACTIVE = 0, BURN_PROCESS_CURRENT_DEVICE = 1, BURN_PROCESS_PARENT_WINDOW = 2 };

/* One burn. The device record comes first so that the job itself is passed
 * wherever a device record is expected ("Current burning device"). */
typedef struct BurnJob {
    VornDeviceEntry device;       /* a copy of the recorder's entry */
    VornDevice *handle;           /* open from the start to the end of the burn */
    gint32 bookTypeSettings;      /* the recorder's DVD book type */
    gpointer writeDescription;    /* the compilation's; freed by its FreeWriteDescription */
    guint32 formatCode;
    gint32 speedKBs;
    guint32 flags;                /* VORN_BURN_* */
    Compilation *compilation;     /* borrowed while starting; one reference from the thread's end on */
    gint32 eject;                 /* 1: eject after the burn */
    gint32 reload;                /* 1: load the disc again after ejecting */
    gint32 result;                /* the engine's burn result, 0 success */
    gchar *errorLog;              /* the engine's error log (VornFreeMem), until the result is shown */
    gpointer parent;              /* the window the burn belongs to, or NULL */
    GThread *thread;
    gpointer hooks;               /* private */
} BurnJob;

/*
 * What a user interface adds to a burn. Every member may be NULL; `data` is
 * passed to each.
 *   lock          enter (TRUE) and leave (FALSE) the user interface's lock; the
 *                 core holds it around burnReturned and the whole end of the burn
 *   prepare       main thread, after the checks: set compilation->progressObject
 *                 (without this hook an engine progress object with no callbacks
 *                 is made) and build the progress display. FALSE stops the start.
 *   release       main thread: undo prepare (the start failed, or the burn ended)
 *   started       main thread, just before the burn thread starts
 *   burnReturned  burn thread, right after the engine returned, lock held
 *   showResult    main thread at the end, after the after-burn step and the eject:
 *                 show job->result; job->errorLog is still there (borrow it)
 *   ended         main thread, last: the job is gone; the engine's result
 *   userDialog    answers the engine's questions during the burn, called with
 *                 the compilation as its user data on the engine's threads;
 *                 NULL: the application's dialogs (UserDialogs_Callback)
 */
typedef struct BurnProcessHooks {
    void (*lock)(gboolean enter, gpointer data) noexcept;
    gboolean (*prepare)(BurnJob *job, gpointer data) noexcept;
    void (*release)(BurnJob *job, gpointer data) noexcept;
    void (*started)(BurnJob *job, gpointer data) noexcept;
    void (*burnReturned)(BurnJob *job, gpointer data) noexcept;
    void (*showResult)(BurnJob *job, gpointer data) noexcept;
    void (*ended)(Compilation *compilation, gint32 result, gpointer data) noexcept;
    gpointer data;
    int (*userDialog)(void *userData, int request, void *requestData) noexcept;
} BurnProcessHooks;

/*
 * Starts a burn of `compilation` on `recorder`, main thread. `hooks` is
 * copied; may be NULL. Returns BURN_PROCESS_*; on anything but
 * BURN_PROCESS_STARTED nothing of the burn is left (no job, handle, progress
 * object or display), and "vorn_burn_finished" was emitted only when
 * "vorn_burn_started" was.
 */
gint BurnProcess_Start(Compilation *compilation, const VornDeviceEntry *recorder, gpointer parent,
                       const BurnProcessHooks *hooks) noexcept;

/*
 * Starts a burn and runs the main loop of the thread's default context until
 * it has ended. Returns as BurnProcess_Start; `result` (may be NULL) receives
 * the engine's result when the burn ran. For programs without a display.
 */
gint BurnProcess_Run(Compilation *compilation, const VornDeviceEntry *recorder, const BurnProcessHooks *hooks,
                     gint32 *result) noexcept;

/* TRUE while a burn runs anywhere in the process. */
gboolean BurnProcess_IsActive(void) noexcept;

/* Asks the running burn to stop (the engine ends it with its abort result).
 * FALSE when no burn runs. Any thread. */
gboolean BurnProcess_Abort(void) noexcept;

/* The writing speed option that goes with a medium: 110 DVD, 111 HD DVD,
 * 112 BD, 109 CD and anything else. */
gint32 BurnProcess_GetSpeedOption(guint32 medium) noexcept;

/* The flag word as the burn thread writes it to the debug channel: a
 * heading, one line per flag with the value of its bit, a closing line.
 * g_free. */
gchar *BurnProcess_FormatFlags(guint32 flags) noexcept;

/* The user interface tells the core how to find the abort button of its
 * burn widget, so that cancelling a wait for a disc can press it. */
typedef gpointer (*AbortButtonLookup)(GtkWidget *burnWidget);
void BurnProcess_SetAbortButtonLookup(AbortButtonLookup lookup) noexcept;

G_END_DECLS

#endif
