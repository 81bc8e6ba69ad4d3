/*
 * Public interface of the burning engine (libVornAPI.so).
 *
 * Compiles as C11 and as C++. Rules that hold for every call below:
 *
 * - Memory the engine hands out (device lists, speed records, texts, disc
 *   records) is released with VornFreeMem. Texts are in the code page of the
 *   language file chosen at VornInitEx (CP1252 for "Vorn.txt").
 * - Pointers passed in are borrowed for the length of the call unless the
 *   comment says the engine keeps them.
 * - Any thread may call the engine. Drive callbacks run on an engine thread,
 *   never inside a call on the caller's thread, and never while the engine
 *   holds a lock of its own: a callback may call back into the engine.
 * - Block sizes are 2048 bytes (data) or 2352 bytes (CD audio); speeds are in
 *   KB/s; CD lengths are in frames of 1/75 s (one frame is one block).
 *
 * The device entry and the disc information record are byte layouts that the
 * application copies and compares as bytes: their offsets are fixed and
 * checked below. The other records are ordinary C structs.
 */
#ifndef VORN_API_H
#define VORN_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VORN_BUILDING_ENGINE)
#define VORN_EXPORT __attribute__((visibility("default")))
#else
#define VORN_EXPORT
#endif

#ifdef __cplusplus
#define VORN_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define VORN_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ------------------------------------------------------------------------ */
/* Version, start and stop                                                  */

/* The interface version this engine implements. */
#define VORN_API_VERSION_MAJOR 7
#define VORN_API_VERSION_MINOR 5
#define VORN_API_VERSION_REVISION 0
#define VORN_API_VERSION_BUILD 2

/* Results of VornInitEx. Any value other than VORN_INIT_ERROR leaves the
 * engine usable. */
#define VORN_INIT_OK 0
#define VORN_INIT_ERROR 2                 /* unspecified error: the engine is not running */
#define VORN_INIT_LANGUAGE_FILE_MISSING 7 /* running with built-in English texts */

/* Returns non-zero to ask the running operation to abort. Called on the
 * thread of a blocking engine call (burn, erase, extraction). */
typedef int (*VornIdleCallback)(void *userData);

/* The engine's questions to the user (requests VORN_REQUEST_*). Called on
 * the thread of the blocking call, with no engine lock held; it may block. */
typedef int (*VornUserDialogCallback)(void *userData, int request, void *data);

/* The settings record given to VornInitEx. The engine keeps the pointer and
 * reads it until VornDone: the caller keeps the record and its texts alive. */
typedef struct VornSettings {
    const char *engineDir;       /* folder of the language files; NULL: the installed one */
    const char *vendor;          /* "Vorn AG" */
    const char *software;        /* "Vorn Linux" */
    const char *languageFile;    /* e.g. "Vorn.txt", inside engineDir; NULL: "Vorn.txt" */
    VornIdleCallback idle;       /* may be NULL */
    void *idleData;
    VornUserDialogCallback userDialog; /* may be NULL: every request answers -1 */
    void *userDialogData;
    intptr_t reserved1;          /* zero */
    intptr_t reserved2;          /* zero */
} VornSettings;

/* Tells the engine which interface version the caller was written for.
 * Returns 1 when this engine serves it (same major version, minor not newer),
 * else 0. May be called before VornInitEx. `reserved` must be NULL. */
VORN_EXPORT int VornSetExpectedAPIVersionEx(int major, int minor, int revision, int build,
                                            void *reserved);

/* Starts the engine: reads the language file, lists the drives and starts the
 * engine threads (the drives-file watcher and the callback thread).
 * `drivesFile` names the emulated drives file; NULL or "" uses the file named
 * by the environment variable VORN_EMULATED_DRIVES, and with neither there are
 * no emulated drives. `reserved1` and `reserved2` are ignored (the
 * application passes -10 and 0). Returns VORN_INIT_*. Calling it again while
 * running returns VORN_INIT_OK and changes nothing. */
VORN_EXPORT int VornInitEx(const VornSettings *settings, const char *drivesFile, int reserved1,
                           int reserved2);

/* Stops the engine threads and releases everything: open device handles
 * become invalid, callback registrations are dropped. After it returns no
 * callback runs any more. Safe to call when not running. */
VORN_EXPORT void VornDone(void);

/* ------------------------------------------------------------------------ */
/* Options                                                                  */

#define VORN_OPTION_STEADYFILL_BUFFER 1    /* int32: bytes, 0 = automatic */
#define VORN_OPTION_USER_DIALOG 2          /* VornUserDialogOption */
#define VORN_OPTION_CD_OVERBURN_ABSOLUTE 4 /* int32: frames the whole disc may reach; 0 = CD overburn off */
#define VORN_OPTION_DVD_OVERBURN 5         /* int32: 2048-byte blocks the disc may reach; 0 = off */
#define VORN_OPTION_CD_OVERBURN_RELATIVE 7 /* int32: frames past the nominal capacity */
#define VORN_OPTION_SHORT_LEADOUT 1005     /* int32 boolean */
#define VORN_OPTION_HISTORY_LOG_DIR 1006   /* the value itself is a const char *: the folder of "VornHistory.log" */

/* Value of VORN_OPTION_USER_DIALOG: replaces the callback of the settings
 * record. `userData` is handed to the callback as its first argument. */
typedef struct VornUserDialogOption {
    VornUserDialogCallback callback;
    void *userData;
} VornUserDialogOption;

/* Sets an engine option. `value` points to the value (an int32_t for the
 * numeric options, a VornUserDialogOption for option 2) except for option
 * 1006, where it is the folder name itself. The value is copied. Returns 1
 * when the option was taken, 0 for an unknown id or a NULL value. The last
 * of options 4 and 7 set decides the CD overburn mode. */
VORN_EXPORT int VornSetOption(int id, const void *value);

/* Releases any block the engine returned. NULL is accepted and ignored. */
VORN_EXPORT void VornFreeMem(void *block);

/* ------------------------------------------------------------------------ */
/* Media                                                                    */

/* Single medium values (what a drive reports for the disc in its tray). */
#define VORN_MEDIUM_NONE 0x0
#define VORN_MEDIUM_DDCD 0x2
#define VORN_MEDIUM_DVD_RAM 0x10
#define VORN_MEDIUM_CD_RW 0x81
#define VORN_MEDIUM_CD_R 0x101
#define VORN_MEDIUM_DVD_ROM 0x200
#define VORN_MEDIUM_CD_ROM 0x400
#define VORN_MEDIUM_DVD_MINUS_R 0x804
#define VORN_MEDIUM_DVD_MINUS_RW 0x1004
#define VORN_MEDIUM_DVD_PLUS_R 0x2008
#define VORN_MEDIUM_DVD_PLUS_RW 0x4008
#define VORN_MEDIUM_DENSEPACK 0x20000
#define VORN_MEDIUM_DVD_PLUS_R_DL 0x40000
#define VORN_MEDIUM_DVD_MINUS_R_DL 0x80000
#define VORN_MEDIUM_BD_ROM 0x100000
#define VORN_MEDIUM_BD_R 0x200000
#define VORN_MEDIUM_BD_RE 0x400000
#define VORN_MEDIUM_HDDVD_ROM 0x800000
#define VORN_MEDIUM_HDDVD_R 0x1000000
#define VORN_MEDIUM_HDDVD_RW 0x2000000
/* Double-layer BD, used in write masks and capability words only. */
#define VORN_MEDIUM_BD_R_DL 0x10000000
#define VORN_MEDIUM_BD_RE_DL 0x20000000

/* Families (what compilations target). */
#define VORN_FAMILY_CD 0x1
#define VORN_FAMILY_DVD 0xC001C
#define VORN_FAMILY_HDDVD 0xF000000
#define VORN_FAMILY_BD 0x30600000

/* Returns the name of a medium value or mask ("CD-R", "DVD+RW", ...;
 * several names joined by ", " for a mask of several media, a localized
 * "Unknown medium" when no bit is known). Never NULL; free with VornFreeMem.
 * `reserved` must be 0. */
VORN_EXPORT char *VornGetTypeNameOfMedia(uint32_t mediumMask, int reserved);

/* ------------------------------------------------------------------------ */
/* Drives                                                                   */

/* Device types (device entry, offset 80). */
#define VORN_DEVICE_TYPE_RECORDER 1
#define VORN_DEVICE_TYPE_READER 2

/* Capability bits (device entry, offset 88). */
#define VORN_CAP_WRITE 0x1                    /* the drive can write */
#define VORN_CAP_TAO_FREE_PAUSES 0x8          /* track-at-once with any pause length */
#define VORN_CAP_IMAGE_RECORDER 0x40          /* writes image files, no drive */
#define VORN_CAP_BUFFER_UNDERRUN_PROTECTION 0x400
#define VORN_CAP_AUTO_SPEED_DOWN 0x10000      /* device option 1007 */
#define VORN_CAP_DVD_HIGH_COMPATIBILITY 0x20000
#define VORN_CAP_DVD_PLUS_R_DL 0x40000        /* also: automatic speed-down through device option 1006 */
#define VORN_CAP_DVD_MINUS_R_DL 0x80000
#define VORN_CAP_EXTENDED_LEADOUT_DL 0x100000 /* device option 1008 */
#define VORN_CAP_BD_R_DL 0x10000000
#define VORN_CAP_BD_RE_DL 0x20000000

/* In-use state of a listed drive (device entry, offset 1468). */
#define VORN_DEVICE_FREE 0
#define VORN_DEVICE_IN_USE 2

/* The image recorder's address. */
#define VORN_IMAGE_RECORDER_HA (-1)
#define VORN_IMAGE_RECORDER_ID 0

/* One drive, 1720 bytes, 4-byte aligned, no pointers: copy it with memcpy. A
 * device is identified by its host adapter and id; the name is for people.
 * Byte 64 is always 1: the engine never hands out an owned text in bytes
 * 68-71, so callers' deep copies and frees of it never run. */
typedef struct VornDeviceEntry {
    char name[64];            /*    0: NUL-terminated, at most 63 bytes */
    uint8_t textNotOwned;     /*   64: always 1 */
    uint8_t reserved65[7];    /*   65: engine-private, zero */
    int32_t hostAdapter;      /*   72: -1 for the image recorder */
    int32_t deviceId;         /*   76 */
    int32_t type;             /*   80: VORN_DEVICE_TYPE_* */
    int32_t reserved84;       /*   84 */
    uint32_t capabilities;    /*   88: VORN_CAP_* */
    char vendor[16];          /*   92: NUL-terminated */
    char product[32];         /*  108: NUL-terminated */
    char revision[8];         /*  140: NUL-terminated */
    uint8_t reserved148[1312];/*  148: zero */
    uint32_t writeMedia;      /* 1460: medium values the drive writes */
    uint32_t reserved1464;    /* 1464 */
    int32_t inUse;            /* 1468: VORN_DEVICE_IN_USE or VORN_DEVICE_FREE */
    uint32_t readMedia;       /* 1472: medium values the drive reads */
    uint8_t reserved1476[244];/* 1476: zero */
} VornDeviceEntry;

VORN_STATIC_ASSERT(sizeof(VornDeviceEntry) == 1720, "device entry is 1720 bytes");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, textNotOwned) == 64, "device entry byte 64");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, hostAdapter) == 72, "device entry host adapter");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, deviceId) == 76, "device entry id");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, type) == 80, "device entry type");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, capabilities) == 88, "device entry capabilities");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, writeMedia) == 1460, "device entry write mask");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, inUse) == 1468, "device entry in-use state");
VORN_STATIC_ASSERT(offsetof(VornDeviceEntry, readMedia) == 1472, "device entry read mask");

/* The drive list: a 32-bit count followed by `count` device entries. */
typedef struct VornDeviceList {
    int32_t count;
} VornDeviceList;

#define VORN_DEVICE_LIST_HEADER_SIZE 4
VORN_STATIC_ASSERT(sizeof(VornDeviceList) == VORN_DEVICE_LIST_HEADER_SIZE, "list header");

/* The entry `index` (0-based) of a drive list. */
static inline VornDeviceEntry *VornDeviceList_Entry(VornDeviceList *list, int index)
{
    return (VornDeviceEntry *)((char *)list + VORN_DEVICE_LIST_HEADER_SIZE +
                               (size_t)index * sizeof(VornDeviceEntry));
}

/* Lists the drives in a stable order: the emulated drives in the order of the
 * drives file (then those the control interface added), and the image
 * recorder last. `flags` must be 0; `includeImageRecorder` non-zero lists the
 * image recorder. Drives busy in another application have inUse = 2.
 * Returns NULL when the engine is not running; free with VornFreeMem. */
VORN_EXPORT VornDeviceList *VornGetAvailableDrivesEx(int flags, int includeImageRecorder);

/* Drive status values passed to a VornDriveStatusCallback. */
#define VORN_DRIVE_STATUS_IN_USE 0         /* taken by another application */
#define VORN_DRIVE_STATUS_FREE 1           /* released again */
#define VORN_DRIVE_STATUS_MEDIUM_CHANGED 2 /* tray opened or closed, disc inserted or removed */

/* Called on the engine's callback thread after a drive appeared, vanished or
 * changed its description; list the drives again to see what changed. */
typedef void (*VornDriveChangeCallback)(void *userData);
/* Called on the engine's callback thread with a drive's address and a
 * VORN_DRIVE_STATUS_* value. */
typedef void (*VornDriveStatusCallback)(int hostAdapter, int deviceId, int status, void *userData);

/* Registers a drive-change callback; the same pair may be registered once.
 * Returns 1, or 0 when refused (NULL function, duplicate, engine not running). */
VORN_EXPORT int VornRegisterDriveChangeCallback(VornDriveChangeCallback fn, void *userData);
/* Removes the pair. Returns 1 when it was registered. Never waits: a call
 * already being delivered on the callback thread may still run once, so the
 * caller may hold its own locks while it unregisters. */
VORN_EXPORT int VornUnregisterDriveChangeCallback(VornDriveChangeCallback fn, void *userData);

/* Registers a status callback for one drive (matched by host adapter and
 * id). `flags` must be 1 (notify). Returns 1, or 0 when refused (unknown
 * drive, NULL function, bad flags). The same triple may be registered more
 * than once and is then called once per registration. */
VORN_EXPORT int VornRegisterDriveStatusCallback(int flags, const VornDeviceEntry *device,
                                                VornDriveStatusCallback fn, void *userData);
/* Removes one registration of the triple (also for a drive that has
 * vanished). Returns 1 when one was removed. Never waits, as above. */
VORN_EXPORT int VornUnregisterDriveStatusCallback(int flags, const VornDeviceEntry *device,
                                                  VornDriveStatusCallback fn, void *userData);

/* ------------------------------------------------------------------------ */
/* One device                                                               */

/* An open device. Any number of handles may be open on one drive at once. */
typedef struct VornDevice VornDevice;

/* Opens the drive with the entry's host adapter and id. Returns NULL when the
 * engine is not running or no such drive is listed. Close with VornCloseDevice. */
VORN_EXPORT VornDevice *VornOpenDevice(const VornDeviceEntry *device);
/* Closes a handle; NULL and handles already closed are ignored. */
VORN_EXPORT void VornCloseDevice(VornDevice *device);

/* Readiness: never 1, 2 or 4, which callers use for their own purposes. A
 * drive that vanished while open reads as having no medium. */
#define VORN_READY 0                /* tray closed, a disc in it, ready */
#define VORN_READY_NO_MEDIUM 3      /* tray closed, empty */
#define VORN_READY_TRAY_OPEN 5
#define VORN_READY_BECOMING_READY 6 /* a disc was loaded and is being spun up */

/* Returns VORN_READY_*. The image recorder is always ready. An invalid handle
 * gives VORN_READY_NO_MEDIUM. */
VORN_EXPORT int VornIsDeviceReady(VornDevice *device);

/* Opens the tray (`eject` non-zero) or closes it (0). Closing it over a disc
 * makes the drive become ready after its spin-up time. Returns 1, or 0 when
 * the drive cannot move its tray (vanished, image recorder, invalid handle). */
VORN_EXPORT int VornEjectLoadCD(VornDevice *device, int eject);

/* The medium value of the disc in the drive (VORN_MEDIUM_*), or
 * VORN_MEDIUM_NONE with no disc, the tray open, or for the image recorder. */
VORN_EXPORT uint32_t VornGetCurrentMediumType(VornDevice *device);

/* Access types of VornGetAvailableSpeeds. */
#define VORN_ACCESS_WRITE 0 /* also the default */
#define VORN_ACCESS_READ 1
#define VORN_ACCESS_ERASE 2

/* Base speeds (KB/s for 1x) per family. */
#define VORN_BASE_SPEED_CD 176
#define VORN_BASE_SPEED_DVD 1385
#define VORN_BASE_SPEED_HDDVD 4568
#define VORN_BASE_SPEED_BD 4495

/* Speed record: a count, the base speed (never 0), then `count` speeds in
 * KB/s, slowest first. */
typedef struct VornSpeeds {
    int32_t count;
    int32_t baseKBs;
} VornSpeeds;

static inline int32_t *VornSpeeds_Values(VornSpeeds *speeds)
{
    return (int32_t *)((char *)speeds + sizeof(VornSpeeds));
}

/* The speeds the drive offers for an access type (VORN_ACCESS_*) and medium
 * value; medium 0 uses the disc in the drive, and with none the drive's
 * speeds for CD. Reading covers the media the drive reads, writing and
 * erasing those it writes (erasing: only rewritable ones); anything else
 * gives count 0. `reserved` must be 0. Returns NULL for an invalid handle;
 * free with VornFreeMem. */
VORN_EXPORT VornSpeeds *VornGetAvailableSpeeds(VornDevice *device, int access, uint32_t medium,
                                               int reserved);

/* Device options. The value points to an int32_t. */
#define VORN_DEVICE_OPTION_BOOK_TYPE 2               /* 1-7 as the disc record's book type */
#define VORN_DEVICE_OPTION_AUTO_SPEED_DOWN_ALT 1006  /* drives with VORN_CAP_DVD_PLUS_R_DL */
#define VORN_DEVICE_OPTION_AUTO_SPEED_DOWN 1007      /* drives with VORN_CAP_AUTO_SPEED_DOWN */
#define VORN_DEVICE_OPTION_EXTENDED_LEADOUT_DL 1008  /* drives with VORN_CAP_EXTENDED_LEADOUT_DL */

/* Sets a device option; it stays with the drive (not the handle) until
 * VornDone. Returns 1 when taken, 0 for an unknown id, a value out of range
 * or a drive without the capability the option needs. */
VORN_EXPORT int VornSetDeviceOption(VornDevice *device, int id, const void *value);

/* ------------------------------------------------------------------------ */
/* Texts and logs                                                           */

/* Wait codes of request VORN_REQUEST_WAIT_FOR_DISC. */
#define VORN_WAIT_WRITABLE_DISC 0    /* a disc the compilation can be written to */
#define VORN_WAIT_BLANK_DISC 1       /* an empty writable disc */
#define VORN_WAIT_REWRITABLE_DISC 2  /* a rewritable disc (erasing) */
#define VORN_WAIT_NEXT_BLANK_DISC 3  /* the next blank disc of several copies */
#define VORN_WAIT_APPENDABLE_DISC 4  /* a disc that can take another session */
#define VORN_WAIT_SOURCE_DISC 5      /* the disc to copy, in the source drive */
#define VORN_WAIT_LARGER_DISC 6      /* a disc with enough free space */
#define VORN_WAIT_CLOSE_TRAY 7       /* close the tray */

/* The localized text for a wait code; an unknown code gives a general
 * request for a suitable disc. Never NULL; free with VornFreeMem. */
VORN_EXPORT char *VornGetLocalizedWaitCDTexts(int waitCode);

/* The log of the last operation (burn, erase, drives-file reading), one
 * sentence per line, process-wide; the last line names the failure. Never
 * NULL (empty when nothing was logged); free with VornFreeMem. */
VORN_EXPORT char *VornGetErrorLog(void);

/* ------------------------------------------------------------------------ */
/* Records of the disc and burn calls                                       */

/* Disc states (disc record word 2). */
#define VORN_DISC_BLANK 0
#define VORN_DISC_APPENDABLE 1
#define VORN_DISC_CLOSED 2

/* Track types. */
#define VORN_TRACK_DATA 1
#define VORN_TRACK_AUDIO 2

/* File-system flags of a track (track entry, byte 168). */
#define VORN_FS_ISO9660 0x1
#define VORN_FS_UDF 0x2
#define VORN_FS_HFS 0x4
#define VORN_FS_FAT 0x8
#define VORN_FS_CDRFS 0x40
#define VORN_FS_DIRECTCD 0x80
#define VORN_FS_PACKETCD 0x100
#define VORN_FS_JOLIET 0x200
#define VORN_FS_BOOTABLE 0x400
#define VORN_FS_MODE1 0x800
#define VORN_FS_MODE2 0x1000

/* Disc information flags. */
#define VORN_CDINFO_READ_CDTEXT 0x1
#define VORN_CDINFO_DETECT_FILESYSTEMS 0x8

#define VORN_MAX_TRACKS 99

/* One track of a disc, 280 bytes. */
typedef struct VornTrackInfo {
    int32_t session;          /*   0: 1-based */
    int32_t number;           /*   4: 1-based */
    int32_t type;             /*   8: VORN_TRACK_* */
    int32_t startBlock;       /*  12 */
    int32_t lengthBlocks;     /*  16 */
    char artist[65];          /*  20: CD-Text, ISO-8859-1, NUL-terminated */
    char title[65];           /*  85 */
    uint8_t reserved150[18];  /* 150 */
    uint32_t fileSystems;     /* 168: VORN_FS_* */
    int32_t blockSize;        /* 172: 2048, 2336 or 2352 */
    int32_t mode;             /* 176: 0 audio, 1 mode 1, 2 mode 2 */
    int32_t pregapBlocks;     /* 180 */
    int32_t copyPermitted;    /* 184: the copy bit */
    char isrc[13];            /* 188: 12 characters or empty */
    uint8_t reserved201[79];  /* 201 */
} VornTrackInfo;

VORN_STATIC_ASSERT(sizeof(VornTrackInfo) == 280, "track entry is 280 bytes");
VORN_STATIC_ASSERT(offsetof(VornTrackInfo, startBlock) == 12, "track start");
VORN_STATIC_ASSERT(offsetof(VornTrackInfo, artist) == 20, "track artist");
VORN_STATIC_ASSERT(offsetof(VornTrackInfo, title) == 85, "track title");
VORN_STATIC_ASSERT(offsetof(VornTrackInfo, fileSystems) == 168, "track file systems");

/* The disc information record: 276 bytes, then trackCount track entries. */
typedef struct VornDiscInfo {
    uint32_t freeBlocks;      /*   0 */
    int32_t writable;         /*   4 */
    int32_t state;            /*   8: VORN_DISC_* */
    char artist[65];          /*  12: disc CD-Text, ISO-8859-1 */
    char title[65];           /*  77 */
    uint8_t reserved142[10];  /* 142 */
    uint32_t mediumType;      /* 152: VORN_MEDIUM_* */
    uint32_t freedbDiscId;    /* 156: computed from the table of contents */
    int32_t sessionCount;     /* 160 */
    uint32_t capacityBlocks;  /* 164: the whole disc */
    int32_t bookType;         /* 168: 1-7, 0 off DVD */
    char mcn[14];             /* 172: media catalog number, 13 digits or empty */
    uint8_t reserved186[86];  /* 186 */
    int32_t trackCount;       /* 272 */
} VornDiscInfo;

VORN_STATIC_ASSERT(sizeof(VornDiscInfo) == 276, "disc record header is 276 bytes");
VORN_STATIC_ASSERT(offsetof(VornDiscInfo, artist) == 12, "disc artist");
VORN_STATIC_ASSERT(offsetof(VornDiscInfo, title) == 77, "disc title");
VORN_STATIC_ASSERT(offsetof(VornDiscInfo, mediumType) == 152, "disc medium");
VORN_STATIC_ASSERT(offsetof(VornDiscInfo, capacityBlocks) == 164, "disc capacity (word 41)");
VORN_STATIC_ASSERT(offsetof(VornDiscInfo, bookType) == 168, "disc book type (word 42)");
VORN_STATIC_ASSERT(offsetof(VornDiscInfo, trackCount) == 272, "disc track count");

static inline VornTrackInfo *VornDiscInfo_Track(VornDiscInfo *info, int index)
{
    return (VornTrackInfo *)((char *)info + sizeof(VornDiscInfo) +
                             (size_t)index * sizeof(VornTrackInfo));
}

/* Write-description kinds. */
#define VORN_WRITE_DATA 0
#define VORN_WRITE_AUDIO 1
#define VORN_WRITE_MIXED_MODE 2
#define VORN_WRITE_IMAGE 4
#define VORN_WRITE_COPY 5

/* The only value VornBurn accepts as its second argument. */
#define VORN_BURN_MAGIC 0xBEEF

typedef struct VornExtendedProgress VornExtendedProgress;

/* What to burn. The caller owns it; the engine reads it during the burn. */
typedef struct VornWriteDescription {
    int32_t kind;                   /* VORN_WRITE_* */
    void *compilation;              /* the engine compilation handle of that kind */
    VornExtendedProgress *progress; /* may be NULL */
    int32_t copies;                 /* at least 1 */
} VornWriteDescription;

/* Burn flags. */
#define VORN_BURN_SPEED_TEST 0x1
#define VORN_BURN_SIMULATE 0x2
#define VORN_BURN_WRITE 0x4
#define VORN_BURN_DAO 0x8
#define VORN_BURN_CLOSE_SESSION 0x10
#define VORN_BURN_CD_TEXT 0x20
#define VORN_BURN_BUF_UNDERRUN_PROT 0x40
#define VORN_BURN_DISABLE_ABORT 0x80
#define VORN_BURN_DETECT_NON_EMPTY_CDRW 0x100
#define VORN_BURN_DISABLE_EJECT 0x200
#define VORN_BURN_VERIFY 0x400
#define VORN_BURN_SPEED_IN_KBS 0x800
#define VORN_BURN_DVDP_BURN_30MM_AT_LEAST 0x1000
#define VORN_BURN_CD_TEXT_IS_JAPANESE 0x2000
#define VORN_BURN_BOOKTYPE_DVDROM 0x4000
#define VORN_BURN_NO_BOOKTYPE_CHANGE 0x8000
#define VORN_BURN_DAO96 0x10000

/* Burn results. Every failure but 3 and 6 has its own code of 8 or above,
 * and the last line of the error log says what happened. */
#define VORN_BURN_OK 0
#define VORN_BURN_DECLINED 3        /* nothing written; the user declined */
#define VORN_BURN_ABORTED 6
#define VORN_BURN_NO_LANGUAGE_FILE 7
#define VORN_BURN_NO_SPACE 8        /* the image recorder's target filled up */
#define VORN_BURN_SOURCE_CHANGED 9  /* a source file changed or vanished */
#define VORN_BURN_NOT_WRITABLE 10   /* the medium cannot be written by this drive */
#define VORN_BURN_DISC_TOO_SMALL 11
#define VORN_BURN_WRITE_ERROR 12
#define VORN_BURN_NO_MEDIUM 13
#define VORN_BURN_DEVICE_GONE 14
#define VORN_BURN_BAD_ARGUMENT 15   /* wrong magic, kind or handle */
#define VORN_BURN_VERIFY_FAILED 16
#define VORN_BURN_DISC_CLOSED 17
#define VORN_BURN_READ_ERROR 18
#define VORN_BURN_DRIVE_BUSY 19

/* Erase modes and flags, and results. */
#define VORN_ERASE_FULL 0
#define VORN_ERASE_QUICK 1
#define VORN_ERASE_NO_EJECT 1
#define VORN_ERASE_EJECT 2
#define VORN_ERASE_OK 0
#define VORN_ERASE_OPEN_FAILED (-1)
#define VORN_ERASE_NOT_SUPPORTED_BY_DRIVE (-2)
#define VORN_ERASE_NOT_REWRITABLE (-3)
#define VORN_ERASE_DISC_NOT_SUPPORTED (-4)
#define VORN_ERASE_DRIVE_IN_USE 2

/* User-dialog requests and the answers the engine understands. */
#define VORN_REQUEST_OVERBURN 13         /* data: uint32_t[2] required, capacity blocks; 1 go on */
#define VORN_REQUEST_WAIT_FOR_DISC 15    /* data: the wait code as intptr_t; -1 */
#define VORN_REQUEST_RAISE_WAIT 16
#define VORN_REQUEST_DESTROY_WAIT 17
#define VORN_REQUEST_IMAGE_FILE_NAME 20  /* data: char[VORN_PATH_BUFFER_SIZE]; 5 named, 0 cancelled */
#define VORN_REQUEST_NO_SPACE_FOR_IMAGE 21
#define VORN_REQUEST_BLANK_REWRITABLE 22 /* 5 erased, 4 declined */
#define VORN_REQUEST_WAIT_MEDIA_TEXTS 28 /* data: const char *[2] required, current */
#define VORN_REQUEST_MESSAGE 29          /* data: VornMessageRequest */
#define VORN_ANSWER_NAMED 5
#define VORN_ANSWER_ERASED 5
#define VORN_ANSWER_DECLINED 4
#define VORN_ANSWER_ABORTING (-2)
#define VORN_PATH_BUFFER_SIZE 4096

typedef struct VornMessageRequest {
    int32_t type;     /* 0 OK, 1 yes/no, 2 two buttons, 5 yes/no/cancel */
    int32_t icon;     /* 0 info, 1 warning, 2 error */
    const char *text; /* in the language file's code page */
} VornMessageRequest;

/* Progress phases reported during a burn. */
#define VORN_PHASE_VERIFYING 2
#define VORN_PHASE_VERIFY_ABORTED 3
#define VORN_PHASE_VERIFY_OK 4
#define VORN_PHASE_VERIFY_FAILED 5
#define VORN_PHASE_PREPARING_DISC 6
#define VORN_PHASE_SIMULATING 12
#define VORN_PHASE_PREPARING_ITEMS 13
#define VORN_PHASE_FORMATTING 15
#define VORN_PHASE_FINISHING 22
#define VORN_PHASE_READING_DIRECTORIES 20
#define VORN_PHASE_CREATING_IMAGE 30
#define VORN_PHASE_WRITING_TO_DISC 32
#define VORN_PHASE_LEAD_IN 33
#define VORN_PHASE_LEAD_OUT 34
#define VORN_PHASE_WRITING_ENDED 36

#ifdef __cplusplus
}
#endif

#endif /* VORN_API_H */
