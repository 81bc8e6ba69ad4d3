/*
 * The engine's test control interface.
 *
 * Tests drive the emulated world through it: drives come and go, discs are
 * inserted and swapped, a drive turns busy, a call fails, time runs faster.
 * The application never calls it. It compiles as C11 and as C++ and lives in
 * the same library as VornAPI.h.
 *
 * A test in another process (the application started as a child) reaches the
 * same switches through the environment, read at VornInitEx:
 *   VORN_CONTROL_INIT_RESULT=<n>    VornInitEx returns n (the engine still starts
 *                                   unless n is VORN_INIT_ERROR)
 *   VORN_CONTROL_OPTION_LOG=<path>  every option and device option is appended
 *                                   to this file, one line each:
 *                                   "option <id> <value>" or
 *                                   "device-option <ha> <id> <option> <value>"
 *   VORN_CONTROL_TIME_SCALE=<x>     as VornControl_SetTimeScale
 *
 * Drives are named by host adapter and id throughout. Functions returning int
 * give 1 for success and 0 for failure unless the comment says otherwise.
 */
#ifndef VORN_CONTROL_H
#define VORN_CONTROL_H

#include "VornAPI.h"

#ifdef __cplusplus
extern "C" {
#endif

/* --- Start-up ------------------------------------------------------------ */

/* The result the next VornInitEx calls return; -1 returns to the real result.
 * With VORN_INIT_ERROR the engine does not start. Kept across VornDone. */
VORN_EXPORT void VornControl_SetInitResult(int result);

/* --- Recorded options ----------------------------------------------------- */

/* One recorded VornSetOption or VornSetDeviceOption call. */
typedef struct VornControlOption {
    int32_t id;
    int32_t hostAdapter;   /* device options only; else 0 */
    int32_t deviceId;      /* device options only; else 0 */
    int32_t intValue;      /* numeric options; 0 otherwise */
    void *pointer1;        /* option 2: the callback; else NULL */
    void *pointer2;        /* option 2: its user data; else NULL */
    const char *text;      /* option 1006: the folder; else NULL. Valid until the
                              records are cleared. */
    int32_t accepted;      /* what the call returned */
} VornControlOption;

/* Options recorded since the process started or the last clear, in call
 * order, whether the engine was running or not. */
VORN_EXPORT int VornControl_GetOptionCount(void);
/* Copies record `index`; returns 0 when out of range. */
VORN_EXPORT int VornControl_GetOption(int index, VornControlOption *out);
VORN_EXPORT int VornControl_GetDeviceOptionCount(void);
VORN_EXPORT int VornControl_GetDeviceOption(int index, VornControlOption *out);
VORN_EXPORT void VornControl_ClearRecordedOptions(void);

/* The value of a device option as the drive holds it now; returns 0 when
 * the drive or the option was never set. */
VORN_EXPORT int VornControl_GetDeviceOptionValue(int hostAdapter, int deviceId, int id,
                                                 int32_t *value);

/* --- Drives --------------------------------------------------------------- */

/* A drive the control interface adds (besides those of the drives file). */
typedef struct VornControlDrive {
    const char *name;        /* at most 63 bytes */
    int32_t type;            /* VORN_DEVICE_TYPE_* */
    uint32_t capabilities;   /* VORN_CAP_*; the double-layer bits follow the write mask */
    uint32_t writeMedia;
    uint32_t readMedia;
} VornControlDrive;

/* Adds a drive (a hot-plug, reported through the drive-change callbacks) and
 * returns its address through the out arguments. Returns 0 for a bad
 * description or when the engine is not running. */
VORN_EXPORT int VornControl_AddDrive(const VornControlDrive *drive, int *hostAdapter,
                                     int *deviceId);
/* Unplugs a drive (also one of the drives file): handles stay valid but the
 * drive answers as vanished. */
VORN_EXPORT int VornControl_RemoveDrive(int hostAdapter, int deviceId);
VORN_EXPORT int VornControl_RenameDrive(int hostAdapter, int deviceId, const char *name);

/* Makes the watcher read the drives file now, whether it changed or not, and
 * waits until the result is applied. Returns 1 when the file was taken (or
 * there is none), 0 when it was refused; then VornControl_GetDrivesFileError
 * says why. */
VORN_EXPORT int VornControl_RescanDrivesFile(void);
/* Why the drives file was last refused ("" when it was not); free with
 * VornFreeMem. */
VORN_EXPORT char *VornControl_GetDrivesFileError(void);
/* Waits until every callback queued so far has returned, at most
 * `timeoutMs`. Returns 1 when the queue drained. Must not be called from a
 * drive callback. */
VORN_EXPORT int VornControl_WaitCallbacksDelivered(int timeoutMs);

/* --- Discs and trays --------------------------------------------------------- */

/* Puts the disc container at `path` into the drive and closes the tray, as a
 * user inserting a disc. Returns 0 when the container cannot be read or the
 * drive holds a disc already. */
VORN_EXPORT int VornControl_InsertDisc(int hostAdapter, int deviceId, const char *path);
/* Takes the disc out and leaves the tray closed and empty. */
VORN_EXPORT int VornControl_RemoveDisc(int hostAdapter, int deviceId);
/* Exchanges the discs of two drives (either may be empty); both trays end
 * closed. */
VORN_EXPORT int VornControl_SwapDiscs(int hostAdapter1, int deviceId1, int hostAdapter2,
                                      int deviceId2);

/* Marks a drive busy in another application (1) or free (0); reported through
 * the status callbacks. */
VORN_EXPORT int VornControl_SetDriveBusy(int hostAdapter, int deviceId, int busy);

/* Open handles on one drive, or on all drives with hostAdapter = deviceId = -2. */
VORN_EXPORT int VornControl_GetOpenHandleCount(int hostAdapter, int deviceId);

/* --- Failures and time -------------------------------------------------------- */

/* Kinds of call that can be made to fail. */
#define VORN_CONTROL_CALL_INIT 1             /* VornInitEx returns VORN_INIT_ERROR */
#define VORN_CONTROL_CALL_LIST_DRIVES 2      /* VornGetAvailableDrivesEx returns NULL */
#define VORN_CONTROL_CALL_OPEN_DEVICE 3      /* VornOpenDevice returns NULL */
#define VORN_CONTROL_CALL_REGISTER_CHANGE 4  /* VornRegisterDriveChangeCallback returns 0 */
#define VORN_CONTROL_CALL_REGISTER_STATUS 5  /* VornRegisterDriveStatusCallback returns 0 */
#define VORN_CONTROL_CALL_EJECT_LOAD 6       /* VornEjectLoadCD returns 0, the tray stays */
#define VORN_CONTROL_CALL_GET_SPEEDS 7       /* VornGetAvailableSpeeds returns NULL */
#define VORN_CONTROL_CALL_SET_DEVICE_OPTION 8 /* VornSetDeviceOption returns 0 */
#define VORN_CONTROL_CALL_BURN 9
#define VORN_CONTROL_CALL_ERASE 10
#define VORN_CONTROL_CALL_DISC_INFO 11

/* The next call of `kind` fails as its comment says; later calls work. Calls
 * of the disc and burn families read `result` as the code to return. */
VORN_EXPORT void VornControl_FailNextCall(int kind, int result);
VORN_EXPORT void VornControl_ClearFailures(void);

/* Multiplies every emulated duration (spin-up, writing at a speed, erasing).
 * 0 makes them instant; the default is 1. */
VORN_EXPORT void VornControl_SetTimeScale(double scale);

/* Writing to the disc of this drive fails once `bytes` more bytes have been
 * written; a negative value turns it off. Used by burns. */
VORN_EXPORT int VornControl_FailWriteAfterBytes(int hostAdapter, int deviceId, int64_t bytes);
/* Makes block `block` of the disc in the drive read back different from
 * what was written. Used by verification. */
VORN_EXPORT int VornControl_CorruptSector(int hostAdapter, int deviceId, uint32_t block);

/* The file the image recorder writes next (".vrn": a disc container,
 * anything else: a plain ISO 9660 image); NULL or "" clears it. Kept across
 * burns and VornDone. Returns 1. */
VORN_EXPORT int VornControl_SetImageFileName(const char *path);

/* --- Scripted burns ------------------------------------------------------------ */

/* A burn's progress without a burn: the engine reports to a progress object,
 * on an engine thread, what a data burn of `totalBlocks` to one recorder
 * reports (phases, writer states, sizes, speeds, buffer levels, remaining
 * time, file names, log lines), and writes nothing. The user-interface tests
 * drive their widgets with it. Pacing: `blocksPerStep` blocks every
 * `stepMs` milliseconds, times the time scale. */
typedef struct VornControlScriptedBurn {
    uint32_t totalBlocks;         /* 2048-byte blocks; 0 reports an empty burn */
    uint32_t blocksPerStep;       /* 0 = 1 */
    uint32_t stepMs;
    int32_t writeSpeedKBs;        /* reported as is: 65535 for "not known" */
    int32_t speedBaseKBs;         /* 150 for CD */
    const char *const *fileNames; /* reported in turn over the blocks; may be NULL */
    int32_t fileCount;
    const char *const *messages;  /* extra log lines after the start (kind info) */
    int32_t messageCount;
    uint32_t bufferSizeKB;        /* the recorder's buffer; 0 = no level reported */
    /* The thread stops before writing each of these blocks (a value equal to
     * totalBlocks stops after the last block, before writing ends) until
     * VornControl_ResumeScriptedBurn. At most 8 are kept. */
    const uint32_t *holdBeforeBlocks;
    int32_t holdCount;
} VornControlScriptedBurn;

/* Starts a scripted burn on `progress` and returns at once; the script and
 * its texts are copied. One runs at a time: returns 0 while another runs, for
 * a handle that is not a progress object, or with totalBlocks above 2^31. */
VORN_EXPORT int VornControl_StartScriptedBurn(VornExtendedProgress *progress,
                                              const VornControlScriptedBurn *script);
/* Waits, at most `timeoutMs`, until the scripted burn stands at a hold.
 * Returns the block it holds before, or -1 on timeout or when none runs. */
VORN_EXPORT int64_t VornControl_WaitScriptedBurnHeld(int timeoutMs);
/* Lets a held scripted burn go on. Returns 0 when none is held. */
VORN_EXPORT int VornControl_ResumeScriptedBurn(void);
/* Waits, at most `timeoutMs`, until the scripted burn ended, and returns its
 * result as VornBurn would: VORN_BURN_OK, or VORN_BURN_ABORTED when the
 * progress object's abort flag stopped it (also while held). -1 on timeout
 * (the burn goes on) or when none was started. Must not be called from a
 * progress callback. */
VORN_EXPORT int VornControl_WaitScriptedBurn(int timeoutMs);

/* One report sent straight to a progress object's callback, on the calling
 * thread, as a burn would send it: tests of a caller's callbacks reach every
 * argument, also those a scripted burn never sends. */
#define VORN_CONTROL_REPORT_PROGRESS 1               /* a done, b total */
#define VORN_CONTROL_REPORT_FILE_NAME 2              /* text (NULL allowed) */
#define VORN_CONTROL_REPORT_PHASE 3                  /* a */
#define VORN_CONTROL_REPORT_STATUS_PHASE 4           /* a */
#define VORN_CONTROL_REPORT_READ_SPEED 5             /* a speed, b base */
#define VORN_CONTROL_REPORT_WRITE_SPEED 6            /* a speed, b base, c verifying */
#define VORN_CONTROL_REPORT_REMAINING_TIME 7         /* a ms */
#define VORN_CONTROL_REPORT_DOC_SIZE 8               /* a blocks, b bytes */
#define VORN_CONTROL_REPORT_ENABLE_SUB_TASK 9        /* a */
#define VORN_CONTROL_REPORT_SUB_TASK_TEXT 10         /* text */
#define VORN_CONTROL_REPORT_SUB_TASK_PERCENT 11      /* a */
#define VORN_CONTROL_REPORT_SUB_TASK_READ_BUFFER 12
#define VORN_CONTROL_REPORT_MESSAGE 13               /* text, a kind */
#define VORN_CONTROL_REPORT_WRITER_STATUS 14         /* a index, b status */
#define VORN_CONTROL_REPORT_WRITER_PHASE 15          /* a index, b phase */
#define VORN_CONTROL_REPORT_WRITER_BUFFER_AVAILABLE 16 /* a index, b flag */
#define VORN_CONTROL_REPORT_WRITER_BUFFER 17         /* a index, b level, c size */
#define VORN_CONTROL_REPORT_NUM_COPIES 18            /* a current, b total */

typedef struct VornControlReport {
    int32_t kind; /* VORN_CONTROL_REPORT_* */
    int64_t a, b, c;
    const char *text;
} VornControlReport;

/* Returns 1 when the callback was set and called, 0 when it is not set, the
 * kind is unknown or the handle is not a progress object. */
VORN_EXPORT int VornControl_SendProgressReport(VornExtendedProgress *progress, const VornControlReport *report);

#ifdef __cplusplus
}
#endif

#endif /* VORN_CONTROL_H */
