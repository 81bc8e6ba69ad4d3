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
#define VORN_WRITE_IMAGE 4 /* a VornImageCompilation or a VornCueSheetCompilation */
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
#define VORN_BURN_COMPILATION_REFUSED 20 /* the image writer cannot lay the compilation out */

/* Burns the compilation of `description` with the drive `device` and blocks
 * until it is done; runs on the caller's thread, which receives every
 * progress callback. `formatCode` must be VORN_BURN_MAGIC and `reserved`
 * NULL; `flags` are VORN_BURN_* bits (at least one of speed test, simulate
 * and write); `speedKBs` is the writing speed in KB/s, 0 the fastest. The
 * description and its compilation are borrowed for the call. Returns a
 * VORN_BURN_* result; the error log's last line names a failure. After a
 * successful write the data compilation's multisession type says what it can
 * do next: VORN_MULTISESSION_CONTINUE for a disc left appendable, else
 * VORN_MULTISESSION_NONE. When a person can help (no usable disc, a disc
 * holding data, overburning, the image file's name) the burn asks the
 * user-dialog callback on the caller's thread with no engine lock held;
 * without a callback it fails instead. A declined question answers
 * VORN_BURN_DECLINED with nothing written; an answer of
 * VORN_ANSWER_ABORTING, the abort flag or the idle callback answer
 * VORN_BURN_ABORTED. Several copies wait for a blank disc between them. */
VORN_EXPORT int VornBurn(VornDevice *device, int formatCode, const VornWriteDescription *description,
                         uint32_t flags, int32_t speedKBs, void *reserved);

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
#define VORN_ERASE_FAILED 1        /* the disc could not be written; see the error log */
#define VORN_ERASE_NO_DISC (-5)    /* no disc, tray open or not ready yet */

/* ------------------------------------------------------------------------ */
/* Reading a disc                                                           */

/* The disc in the drive: a VornDiscInfo followed by trackCount VornTrackInfo
 * entries (at most VORN_MAX_TRACKS). `flags` are VORN_CDINFO_* bits (the
 * disc information dialog passes both); without VORN_CDINFO_READ_CDTEXT the
 * texts are empty, without VORN_CDINFO_DETECT_FILESYSTEMS a data track's
 * file-system word holds only its mode bit. The FreeDB disc id is filled on
 * CD media. Returns NULL with no disc, the tray open, a disc still spinning
 * up, the image recorder, an invalid handle or unknown flag bits. Blocks
 * while the disc is read; free with VornFreeMem. */
VORN_EXPORT VornDiscInfo *VornGetCDInfo(VornDevice *device, int flags);

/* Multisession information of a disc with tracks. */
typedef struct VornVMSInfo {
    uint32_t usedBlocks;       /* blocks up to where the next session may start;
                                  the capacity when the disc takes no more */
    int32_t nextSession;       /* number of the session a write would open; 0: none */
    uint32_t nextTrackStart;   /* start block of that session's first track */
    uint32_t lastSessionStart; /* start block of the newest session's first track */
} VornVMSInfo;

/* Returns NULL for a blank disc and wherever VornGetCDInfo returns NULL.
 * `reserved` must be 0. Free with VornFreeMem. */
VORN_EXPORT VornVMSInfo *VornGetVMSInfo(VornDevice *device, int reserved);

/* A text identity of the disc in the drive: lower-case hexadecimal, the same
 * for the same disc in any drive and across runs, different after any write,
 * and the same for a disc burned from a .vrn image of it. "" for a blank
 * disc, no disc and the image recorder; NULL for an invalid handle. Free
 * with VornFreeMem. */
VORN_EXPORT char *VornGetCDStampHash(VornDevice *device);

/* The number of the disc's last track; 0 without a readable disc. */
VORN_EXPORT int VornGetNumTracks(VornDevice *device);

/* The media catalog number (13 digits) or ""; NULL for an invalid handle.
 * Free with VornFreeMem. */
VORN_EXPORT char *VornGetMediaCatalogNr(VornDevice *device);

/* Texts for people, one fact a line, in the engine's code page: the disc and
 * its table of contents; the volume descriptors of each data track; the
 * disc's manufacturer. "" when there is nothing to say (no disc, no volume
 * descriptors, a pressed disc with no manufacturer); NULL for an invalid
 * handle. Free with VornFreeMem. */
VORN_EXPORT char *VornGetDetailedDiscInfo(VornDevice *device);
VORN_EXPORT char *VornGetVolumeDescriptorInfo(VornDevice *device);
VORN_EXPORT char *VornGetDiscManufacturer(VornDevice *device);

/* Image information flag word (record word 2 of VornGetDiscImageInfo). */
#define VORN_IMAGE_CUE_SHEET 0x1
#define VORN_IMAGE_BURNABLE 0x2  /* burnable as it is: set for every image */
#define VORN_IMAGE_CONTAINER 0x4 /* a .vrn disc container */
#define VORN_IMAGE_PLAIN_ISO 0x8

/* The disc an image file holds, in the layout of VornGetCDInfo with the
 * texts and file systems read, except that word 2 holds VORN_IMAGE_* flags
 * instead of the disc state, and the free capacity is 0. Recognises .vrn
 * containers and plain images of 2048-byte sectors holding an ISO 9660 or
 * UDF volume by their contents, and cue sheets by the ".cue" extension (with
 * BINARY, MOTOROLA and WAVE files). A plain image is taken for the smallest
 * pressed medium it fits. Returns NULL for anything else or a damaged file
 * (the error log says why, a cue sheet's with the line). `reserved` must be
 * 0. Free with VornFreeMem. */
VORN_EXPORT VornDiscInfo *VornGetDiscImageInfo(const char *path, int reserved);

/* ------------------------------------------------------------------------ */
/* Image files and cue sheets to burn                                       */

/* An image file (.vrn container or plain image of 2048-byte sectors) ready
 * to burn as VORN_WRITE_IMAGE. A container is written as it is, session by
 * session and track by track; a plain image becomes one data track.
 * `mediumMask` is the family mask (VORN_FAMILY_*) the burn goes to; 0 takes
 * the image's own. A data CD image of one track may also go to DVD, and a
 * one-track DVD image that fits a CD to CD. Returns NULL, with the reason
 * as the error log's last line, for a file that is not a burnable image
 * (unreadable, truncated, damaged) or an image the media cannot hold.
 * Destroy it with VornImageCompilation_Destroy. */
typedef struct VornImageCompilation VornImageCompilation;
VORN_EXPORT VornImageCompilation *VornImageCompilation_New(const char *path, uint32_t mediumMask);
/* Off (the default), an image burn always finalizes the disc; on, the burn's
 * VORN_BURN_CLOSE_SESSION flag leaves it appendable. 0 for a bad handle. */
VORN_EXPORT int VornImageCompilation_SetAllowDisableFinalize(VornImageCompilation *h, int allow);
/* NULL and destroyed handles are ignored. */
VORN_EXPORT void VornImageCompilation_Destroy(VornImageCompilation *h);

/* A cue sheet (BINARY, MOTOROLA and WAVE files) ready to burn as
 * VORN_WRITE_IMAGE: one session of its audio and data tracks with their
 * pregaps, indexes, ISRC codes and CD-Text; audio as 2352-byte sectors.
 * `mediumMask` must include VORN_FAMILY_CD. Returns NULL, with the reason
 * (the sheet's line, or the file that is missing or too short) as the error
 * log's last line, for a sheet that cannot be burned. Destroy it with
 * VornCueSheetCompilation_Destroy. */
typedef struct VornCueSheetCompilation VornCueSheetCompilation;
VORN_EXPORT VornCueSheetCompilation *VornCueSheetCompilation_New(const char *path, uint32_t mediumMask);
/* NULL and destroyed handles are ignored. */
VORN_EXPORT void VornCueSheetCompilation_Destroy(VornCueSheetCompilation *h);

/* ------------------------------------------------------------------------ */
/* Erasing                                                                  */

/* The seconds an erase of the disc in the drive will take in `mode`
 * (VORN_ERASE_QUICK or VORN_ERASE_FULL) at `speedKBs` (0: the fastest the
 * drive offers). Never 0. A negative value is the VORN_ERASE_* result the
 * erase would give, and nothing should be started. */
VORN_EXPORT int VornGetDiscErasingTime(VornDevice *device, int mode, int speedKBs);

/* Erases the disc in the drive and blocks until it is done. Quick: the table
 * of contents is blanked and the data stays. Full: every block reads as
 * zeros afterwards. `flags`: VORN_ERASE_EJECT opens the tray afterwards,
 * VORN_ERASE_NO_EJECT does not. Returns VORN_ERASE_OK, one of the negative
 * VORN_ERASE_* codes, VORN_ERASE_DRIVE_IN_USE when another application holds
 * the drive, or VORN_ERASE_FAILED (bad mode or flags, a write failure); the
 * error log says why. Reports a medium change to the status callbacks. */
VORN_EXPORT int VornEraseDisc(VornDevice *device, int mode, int flags, int speedKBs);

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

/* ------------------------------------------------------------------------ */
/* Progress of a burn                                                       */

/* A progress object: a table of callbacks that a burn drives, and the user's
 * abort flag. The caller creates it, hands it to a compilation and to the
 * write description, and destroys it after the burn has returned.
 *
 * Every callback runs on the thread that called the blocking engine call
 * (VornBurn), one at a time, with no engine lock held; it may call back into
 * the engine (VornExtendedProgress_SetUserAbort in particular). Callbacks not
 * set are skipped. Texts are in the language file's code page and borrowed
 * for the length of the call. Writer indexes count the recorders of the burn
 * from 0. Block counts are of the compilation's block size; speeds are in
 * KB/s with `base` the KB/s of speed 1x (150 CD, 1385 DVD, 4495 BD, 4568 HD
 * DVD); the speed 65535 means "not known" (the image recorder). */

/* Overall progress: `done` of `total` blocks (total may be 0 before the size
 * is known). The return value is reserved: return 0. */
typedef int (*VornProgressCallback)(int64_t done, int64_t total);
/* The file being written or read, or NULL when none. */
typedef void (*VornSetFileNameCallback)(const char *name);
/* A phase (VORN_PHASE_*) begins: the burn's main state. Phases follow a real
 * recorder's order; VORN_PHASE_WRITING_TO_DISC comes before the first block
 * is written and VORN_PHASE_WRITING_ENDED after the last one (also when the
 * write fails or is aborted). */
typedef void (*VornSetPhaseCallback)(int phase);
/* The same numbers for the status line (what the drive does right now). */
typedef void (*VornSetStatusPhaseCallback)(int phase);
/* A step of a phase starts and ends, and the major phase changes (1
 * preparing, 2 writing, 3 verifying, 4 finished). */
typedef void (*VornStartPhaseCallback)(int phase);
typedef void (*VornEndPhaseCallback)(int phase);
typedef void (*VornSetMajorPhaseCallback)(int majorPhase);
/* Percent (0-100) of the source read, for copies and verification. */
typedef void (*VornSetReadPercentageCallback)(int percent);
typedef void (*VornSetReadSpeedCallback)(int speedKBs, int baseKBs);
/* `verifying` is 1 while the written data is read back. */
typedef void (*VornSetWriteSpeedCallback)(int speedKBs, int baseKBs, int verifying);
/* The engine's estimate of the time left, in milliseconds; 0 = not known. */
typedef void (*VornSetRemainingTimeCallback)(uint32_t milliseconds);
/* The caller's own countdown, read by the engine: stores it in `*milliseconds`
 * and returns 1, or returns 0 when it has none. */
typedef int (*VornGetRemainingTimeCallback)(uint32_t *milliseconds);
/* The size of what is burned: blocks (-1 = do not show a size) and bytes. */
typedef void (*VornSetDocSizeCallback)(int32_t blocks, int64_t bytes);
/* The sub-task (reading a source, filling the read buffer) shows (1) or not (0). */
typedef void (*VornEnableSubTaskCallback)(int on);
typedef void (*VornSetSubTaskTextCallback)(const char *text);
typedef void (*VornSetSubTaskPercentCallback)(int percent);
/* The sub-task shows the fill of the read buffer. */
typedef void (*VornSetSubTaskRecBufTextCallback)(void);
/* A line of the burn log: `text` may hold several lines separated by "\n";
 * `reserved` is 0; `kind` is VORN_MESSAGE_*. */
typedef void (*VornAddMessageCallback)(const char *text, int reserved, int kind);
/* Recorder `index`: its name; its state (VORN_WRITER_STATUS_*); its phase
 * (VORN_WRITER_PHASE_*); whether it reports a buffer level (1) or not (0);
 * its buffer fill `level` of `size` (KB); blocks it wrote of its total; the
 * block it reads (verification). */
typedef void (*VornSetWriterNameCallback)(int index, const char *name);
typedef void (*VornSetWriterStatusCallback)(int index, int status);
typedef void (*VornSetWriterPhaseCallback)(int index, int phase);
typedef void (*VornSetWriterBufferAvailableCallback)(int index, int available);
typedef void (*VornSetWriterBufferCallback)(int index, uint32_t level, uint32_t size);
typedef void (*VornSetWriterProgressCallback)(int index, int64_t done, int64_t total);
typedef void (*VornSetWriterReadPositionCallback)(int index, int64_t block);
/* Copy `current` of `total` (1-based); `reserved` is 0. */
typedef void (*VornSetNumCopiesCallback)(int current, int reserved, int total);

/* Kinds of burn log lines. */
#define VORN_MESSAGE_INFO 1
#define VORN_MESSAGE_STOP 2
#define VORN_MESSAGE_WARNING 3
#define VORN_MESSAGE_QUESTION 4
#define VORN_MESSAGE_DEVICE 5
#define VORN_MESSAGE_FILE 6
#define VORN_MESSAGE_COPYRIGHT 7

/* Recorder states and phases. */
#define VORN_WRITER_STATUS_READY 0
#define VORN_WRITER_STATUS_ACTIVE 1
#define VORN_WRITER_STATUS_FAILED 2
#define VORN_WRITER_PHASE_IDLE 0
#define VORN_WRITER_PHASE_LEAD_IN 1
#define VORN_WRITER_PHASE_TRACK 3
#define VORN_WRITER_PHASE_LEAD_OUT 4
#define VORN_WRITER_PHASE_VERIFYING 6

/* A new progress object with no callbacks set and the abort flag clear;
 * NULL when memory runs out. Destroy it with VornExtendedProgress_Destroy. */
VORN_EXPORT VornExtendedProgress *VornExtendedProgress_New(void);
/* Destroys it; NULL, a destroyed object and handles of another kind are
 * ignored. A burn still running with it goes on without callbacks, so
 * destroy it only after the burn returned. */
VORN_EXPORT void VornExtendedProgress_Destroy(VornExtendedProgress *progress);
/* 1 asks the running burn to stop (it stops within one buffer of data and
 * returns VORN_BURN_ABORTED); 0 clears the flag before a new burn. Any thread
 * may call it, a callback too. Returns 1, or 0 for a handle that is not a
 * live progress object or a value other than 0 and 1. */
VORN_EXPORT int VornExtendedProgress_SetUserAbort(VornExtendedProgress *progress, int abort);

/* The 26 setters: each replaces one callback (NULL removes it) and returns 1,
 * or 0 for a handle that is not a live progress object. */
#define VORN_PROGRESS_DECLARE_SETTER(Name)                                                  \
    VORN_EXPORT int VornExtendedProgress_SetCallback_##Name(VornExtendedProgress *progress, \
                                                            Vorn##Name fn);
VORN_PROGRESS_DECLARE_SETTER(ProgressCallback)
VORN_PROGRESS_DECLARE_SETTER(SetFileNameCallback)
VORN_PROGRESS_DECLARE_SETTER(StartPhaseCallback)
VORN_PROGRESS_DECLARE_SETTER(EndPhaseCallback)
VORN_PROGRESS_DECLARE_SETTER(SetMajorPhaseCallback)
VORN_PROGRESS_DECLARE_SETTER(SetReadPercentageCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterNameCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterProgressCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterReadPositionCallback)
VORN_PROGRESS_DECLARE_SETTER(SetReadSpeedCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriteSpeedCallback)
VORN_PROGRESS_DECLARE_SETTER(SetRemainingTimeCallback)
VORN_PROGRESS_DECLARE_SETTER(GetRemainingTimeCallback)
VORN_PROGRESS_DECLARE_SETTER(SetPhaseCallback)
VORN_PROGRESS_DECLARE_SETTER(SetStatusPhaseCallback)
VORN_PROGRESS_DECLARE_SETTER(SetDocSizeCallback)
VORN_PROGRESS_DECLARE_SETTER(EnableSubTaskCallback)
VORN_PROGRESS_DECLARE_SETTER(SetSubTaskTextCallback)
VORN_PROGRESS_DECLARE_SETTER(SetSubTaskPercentCallback)
VORN_PROGRESS_DECLARE_SETTER(SetSubTaskRecBufTextCallback)
VORN_PROGRESS_DECLARE_SETTER(AddMessageCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterStatusCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterPhaseCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterBufferAvailableCallback)
VORN_PROGRESS_DECLARE_SETTER(SetWriterBufferCallback)
VORN_PROGRESS_DECLARE_SETTER(SetNumCopiesCallback)
#undef VORN_PROGRESS_DECLARE_SETTER

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
#define VORN_PHASE_TESTING_SPEED 10

/* ======================================================================== */
/* Data compilations: VornDataCompilation_*, VornDataCompilationItem_*      */
/*                                                                          */
/* A data compilation is the file tree of a data disc and its settings. The */
/* engine keeps the tree; the caller refers to items by handle. Calls on    */
/* one compilation (and on its items) may come from any thread; the engine  */
/* serialises them. An item handle stays valid until its item is deleted    */
/* (with its folder, or the compilation). Texts the engine returns as       */
/* `const char *` are borrowed: valid until the next change of the item or, */
/* for paths, the next call of the same function on the same thread. Texts  */
/* returned as `char *` are the caller's, freed with VornFreeMem. Setters    */
/* return 1 when the value was taken (perhaps corrected: read it back) and  */
/* 0 when refused, leaving the old value.                                   */

typedef struct VornDataCompilation VornDataCompilation;
typedef struct VornDataCompilationItem VornDataCompilationItem;

/* Name kinds of an item. */
#define VORN_NAME_ORIGINAL 0     /* the name it was added with */
#define VORN_NAME_ISO_LEVEL1 1   /* 8.3, unique in its folder through "~n" */
#define VORN_NAME_ISO_LEVEL2 2   /* up to 31 characters */
#define VORN_NAME_VISIBLE 3      /* what the user sees: Rock Ridge, Joliet, ISO 9660:1999 */

/* Item types (GetType). */
#define VORN_DATA_ITEM_FILE 0
#define VORN_DATA_ITEM_DIRECTORY 1
#define VORN_DATA_ITEM_SYMLINK 2  /* a link whose target does not resolve; kept as a link */

/* Item multisession types. */
#define VORN_DATA_ITEM_NEW 0
#define VORN_DATA_ITEM_REPLACED 1          /* replaces an item of the previous session */
#define VORN_DATA_ITEM_IMPORTED_FILE 2     /* on the disc already, no local origin */
#define VORN_DATA_ITEM_IMPORTED_DIRECTORY 3

/* Item special flags, carried as they are; the engine refuses to delete an
 * item with VORN_DATA_ITEM_UNDELETABLE. */
#define VORN_DATA_ITEM_UNDELETABLE 0x100
#define VORN_DATA_ITEM_FLAG_200 0x200
#define VORN_DATA_ITEM_FLAG_400 0x400
#define VORN_DATA_ITEM_KNOWN_FLAGS 0x700

/* Compilation multisession types. */
#define VORN_MULTISESSION_START 0
#define VORN_MULTISESSION_CONTINUE 1
#define VORN_MULTISESSION_NONE 2

/* UDF support types. */
#define VORN_UDF_NONE 0     /* ISO 9660 only */
#define VORN_UDF_ONLY 1
#define VORN_UDF_BRIDGE 2   /* UDF and ISO 9660 */

/* Files date types. */
#define VORN_FILES_DATE_ORIGINAL 0
#define VORN_FILES_DATE_BURN_TIME 1
#define VORN_FILES_DATE_FIXED 2

/* Lifecycle. New returns NULL only when out of memory; Destroy frees every
 * item of the tree (detached copies stay valid) and accepts NULL. */
VORN_EXPORT VornDataCompilation *VornDataCompilation_New(void);
VORN_EXPORT void VornDataCompilation_Destroy(VornDataCompilation *h);
/* The progress object of the next burn; borrowed, kept until replaced. */
VORN_EXPORT int VornDataCompilation_SetExtendedProgress(VornDataCompilation *h,
                                                        VornExtendedProgress *progress);

/* --- Items and paths --- */

/* The item at `path`: names of `kind` separated by "/", without a leading
 * "/" (one is tolerated); "" is the root. NULL when absent. */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_GetItemFromPath(VornDataCompilation *h,
                                                                         const char *path, int kind);
/* The item of folder `dir` whose name of `kind` is `name`, or NULL. */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_ItemExistsInDirectory(
    VornDataCompilation *h, VornDataCompilationItem *dir, const char *name, int kind);
/* Creates a folder named `name` (its original name) in `dir`. `origin` is the
 * local folder it stands for, or NULL/"" (its times are then the creation
 * time). `flags` are special flags (VORN_DATA_ITEM_KNOWN_FLAGS only);
 * `reserved` must be 0. Unless `skipExistenceCheck`, a name already used as
 * an original or visible name in `dir` refuses. NULL when refused. */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_CreateDirectory(
    VornDataCompilation *h, VornDataCompilationItem *dir, const char *name, const char *origin,
    uint32_t flags, int reserved, int skipExistenceCheck);
/* Folder listing, ordered by visible name (bytes of UTF-8): the same order
 * after a reload. First returns NULL for an empty folder or a file; Next
 * returns NULL after the last item. */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_GetDirectoryFirstEntry(
    VornDataCompilation *h, VornDataCompilationItem *dir);
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_GetDirectoryNextEntry(
    VornDataCompilationItem *item);
/* The item's name of `kind` (borrowed). The root's names are "". NULL for a
 * bad handle or kind. */
VORN_EXPORT const char *VornDataCompilation_GetItemName(VornDataCompilation *h,
                                                        VornDataCompilationItem *item, int kind);
/* Kind 0: the original name, always. Kinds 1-3: the name the user set, or
 * NULL when the name is automatic. Borrowed. */
VORN_EXPORT const char *VornDataCompilation_GetItemChangedName(VornDataCompilation *h,
                                                               VornDataCompilationItem *item,
                                                               int kind);
/* "/" and the names of `kind` from the root down (borrowed, valid until the
 * next call on this thread). The root is "/". */
VORN_EXPORT const char *VornDataCompilation_GetItemFullPath(VornDataCompilation *h,
                                                            VornDataCompilationItem *item, int kind);
/* Sets the name of `kind`. Kind 0 renames an item without a local origin
 * (the automatic names follow); kinds 1-3 set a name that overrides the
 * automatic one, and NULL or "" drops the user's name of that kind (the
 * automatic name returns; 1 also when none was set). Refused (0): the root,
 * an origin item in kind 0, a name invalid for the kind, a name another item
 * of the folder has in that kind. */
VORN_EXPORT int VornDataCompilation_SetItemName(VornDataCompilation *h, VornDataCompilationItem *item,
                                                const char *name, int kind);
/* Delete a folder with everything in it, or a file. 0 = refused: the root,
 * a file given to DeleteDirectory or a folder to DeleteItem, an item (or, for
 * a folder, anything in it) flagged VORN_DATA_ITEM_UNDELETABLE. The handles
 * of deleted items become invalid. */
VORN_EXPORT int VornDataCompilation_DeleteDirectory(VornDataCompilation *h,
                                                    VornDataCompilationItem *dir);
VORN_EXPORT int VornDataCompilation_DeleteItem(VornDataCompilation *h, VornDataCompilationItem *item);
/* Moves an item into folder `dest`. 0 = refused: the root, a folder into
 * itself or below, a destination that is not a folder, or a name the item
 * set by hand that `dest` already uses. `reserved1`, `reserved2` are 0. */
VORN_EXPORT int VornDataCompilation_MoveItem(VornDataCompilation *h, VornDataCompilationItem *item,
                                             VornDataCompilationItem *dest, int reserved1,
                                             int reserved2);
/* A detached deep copy of an item and everything below it, owned by the
 * caller (VornDataCompilationItem_Destroy). It stays valid after the
 * compilation is destroyed. */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_CopyItem(VornDataCompilation *h,
                                                                  VornDataCompilationItem *item);
/* Inserts a copy of a detached item into `parent`; the caller keeps
 * `detached`. NULL when refused (as MoveItem). */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_InsertExistingItem(
    VornDataCompilation *h, VornDataCompilationItem *parent, VornDataCompilationItem *detached);
/* Adds the local file at the absolute `path` to folder `dir`, named after
 * its last component. Only the path and its stat are kept: a file that
 * changes before the burn is reported by the burn. A symbolic link is
 * followed; one whose target does not resolve is kept as a link. NULL for a
 * folder, a device or FIFO, a path that cannot be read, or a bad handle. */
VORN_EXPORT VornDataCompilationItem *VornDataCompilation_InsertNewItem(VornDataCompilation *h,
                                                                       VornDataCompilationItem *dir,
                                                                       const char *path);

/* Frees a detached copy and everything below it; items in a tree, and NULL,
 * are ignored. */
VORN_EXPORT void VornDataCompilationItem_Destroy(VornDataCompilationItem *item);
/* The local origin ("" for items made in the compilation); borrowed, valid
 * until the next call on this thread. */
VORN_EXPORT const char *VornDataCompilationItem_GetFilePath(VornDataCompilationItem *item);
VORN_EXPORT uint64_t VornDataCompilationItem_GetFileSize(VornDataCompilationItem *item);
/* Times in seconds since the epoch. */
VORN_EXPORT int64_t VornDataCompilationItem_GetLastModifiedTime(VornDataCompilationItem *item);
VORN_EXPORT int64_t VornDataCompilationItem_GetLastAccessTime(VornDataCompilationItem *item);
VORN_EXPORT int64_t VornDataCompilationItem_GetCreationTime(VornDataCompilationItem *item);
VORN_EXPORT int64_t VornDataCompilationItem_GetCompilationAdditionTime(VornDataCompilationItem *item);
/* Higher priorities are written nearer the start of the disc. */
VORN_EXPORT int32_t VornDataCompilationItem_GetPriority(VornDataCompilationItem *item);
VORN_EXPORT int VornDataCompilationItem_GetItemMultisessionType(VornDataCompilationItem *item);
VORN_EXPORT uint32_t VornDataCompilationItem_GetSpecialFlags(VornDataCompilationItem *item);
VORN_EXPORT int VornDataCompilationItem_GetType(VornDataCompilationItem *item);
/* Types 0-3 (VORN_DATA_ITEM_NEW ...); others refused. */
VORN_EXPORT int VornDataCompilationItem_SetItemMultisessionType(VornDataCompilationItem *item, int type);
VORN_EXPORT int VornDataCompilationItem_SetPriority(VornDataCompilationItem *item, int32_t priority);
VORN_EXPORT int VornDataCompilationItem_SetCompilationAdditionTime(VornDataCompilationItem *item,
                                                                   int64_t time);
/* Flags outside VORN_DATA_ITEM_KNOWN_FLAGS, or `reserved` != 0, refuse. */
VORN_EXPORT int VornDataCompilationItem_SetSpecialFlags(VornDataCompilationItem *item, uint32_t flags,
                                                        int reserved);
/* Reads the origin's size and times again. 0 when the origin is gone or
 * changed its type; items without origin answer 1. */
VORN_EXPORT int VornDataCompilationItem_Refresh(VornDataCompilationItem *item);

/* --- Medium and sizes --- */

/* A family mask (VORN_FAMILY_*); 0 refuses. */
VORN_EXPORT int VornDataCompilation_SetMediumType(VornDataCompilation *h, uint32_t mediumMask);
VORN_EXPORT uint32_t VornDataCompilation_GetMediumType(VornDataCompilation *h);
/* Sizes. Byte sizes are 64-bit; blocks are 2048 bytes. Total = what the disc
 * holds after the burn: the previous sessions, the file-system structures
 * and the new files' data, to the block. */
VORN_EXPORT uint64_t VornDataCompilation_GetSizeAlreadyOnDisc(VornDataCompilation *h);
VORN_EXPORT uint64_t VornDataCompilation_GetTotalSize(VornDataCompilation *h);
VORN_EXPORT uint32_t VornDataCompilation_GetTotalBlocks(VornDataCompilation *h);
VORN_EXPORT uint64_t VornDataCompilation_GetUserDataSize(VornDataCompilation *h);   /* every file */
VORN_EXPORT uint64_t VornDataCompilation_GetNewFilesSize(VornDataCompilation *h);   /* types 0 and 1 */
VORN_EXPORT uint64_t VornDataCompilation_GetOnDiscFilesSize(VornDataCompilation *h); /* types 2 and 3 */
VORN_EXPORT uint32_t VornDataCompilation_GetFileSystemOverheadBlocks(VornDataCompilation *h);
VORN_EXPORT uint64_t VornDataCompilation_GetFoldersCount(VornDataCompilation *h); /* the root not counted */
VORN_EXPORT uint64_t VornDataCompilation_GetFilesCount(VornDataCompilation *h);

/* --- Multisession and import --- */

VORN_EXPORT int VornDataCompilation_SetMultisessionType(VornDataCompilation *h, int type); /* 0-2 */
VORN_EXPORT int VornDataCompilation_GetMultisessionType(VornDataCompilation *h);
/* Booleans: replace changed files, remove deleted ones, add new ones,
 * refresh; and the replace type (0 by date, 1 always). */
VORN_EXPORT int VornDataCompilation_SetMultisessionReplace(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetMultisessionReplaceType(VornDataCompilation *h, int type);
VORN_EXPORT int VornDataCompilation_SetMultisessionRemove(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetMultisessionAdd(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetMultisessionRefresh(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_GetMultisessionReplace(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetMultisessionReplaceType(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetMultisessionRemove(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetMultisessionAdd(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetMultisessionRefresh(VornDataCompilation *h);
/* Imports a data track of the disc in `device` (0-based, -1 the last data
 * track). 1 = imported. */
VORN_EXPORT int VornDataCompilation_ImportTrack(VornDataCompilation *h, VornDevice *device, int track);

/* --- Boot (El Torito) --- */

VORN_EXPORT int VornDataCompilation_SetBootableIsoCompilation(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetBootSource(VornDataCompilation *h, int source);
/* An image file, or "/dev/fdN" for a floppy drive; copied. */
VORN_EXPORT int VornDataCompilation_SetBootImageFilePath(VornDataCompilation *h, const char *path);
VORN_EXPORT int VornDataCompilation_SetBootLocale(VornDataCompilation *h, int locale);         /* 0-19, else 3 */
VORN_EXPORT int VornDataCompilation_SetBootExpertFeatures(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetBootLoadSegment(VornDataCompilation *h, uint16_t segment);
VORN_EXPORT int VornDataCompilation_SetBootLoadSectorsCount(VornDataCompilation *h, uint16_t count);
/* 0 none, 1 1.2 MB, 2 1.44 MB, 3 2.88 MB floppy, 4 hard disk; else 0. */
VORN_EXPORT int VornDataCompilation_SetBootEmulationType(VornDataCompilation *h, int type);
VORN_EXPORT int VornDataCompilation_SetBootMessage(VornDataCompilation *h, const char *message);
VORN_EXPORT int VornDataCompilation_GetBootableIsoCompilation(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetBootSource(VornDataCompilation *h);
VORN_EXPORT char *VornDataCompilation_GetBootImageFilePath(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetBootLocale(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetBootExpertFeatures(VornDataCompilation *h);
VORN_EXPORT uint16_t VornDataCompilation_GetBootLoadSegment(VornDataCompilation *h);
VORN_EXPORT uint16_t VornDataCompilation_GetBootLoadSectorsCount(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetBootEmulationType(VornDataCompilation *h);
VORN_EXPORT char *VornDataCompilation_GetBootMessage(VornDataCompilation *h);

/* --- DVD-Video --- */

VORN_EXPORT int VornDataCompilation_SetDVDVideoCompilation(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetDVDVideoReallocation(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_GetDVDVideoCompilation(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetDVDVideoReallocation(VornDataCompilation *h);

/* --- ISO 9660, Joliet, Rock Ridge (booleans are 0 or 1 on read-back) --- */

VORN_EXPORT int VornDataCompilation_SetMode2XA(VornDataCompilation *h, int on);
/* An ISO 9660:1999 volume beside the primary one (names up to 207 characters). */
VORN_EXPORT int VornDataCompilation_SetEnhancedVolume(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetIsoLevel(VornDataCompilation *h, int level);  /* 1: level 2, else level 1 */
VORN_EXPORT int VornDataCompilation_SetCharset(VornDataCompilation *h, int charset); /* 1: ASCII, else d-characters */
VORN_EXPORT int VornDataCompilation_SetJoliet(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetRockRidge(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetDeeperThan8(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetMoreThan255Chars(VornDataCompilation *h, int on);
/* ";1" after file names. */
VORN_EXPORT int VornDataCompilation_SetIsoVersionAddition(VornDataCompilation *h, int on);
/* Joliet names up to 101 characters instead of 64. */
VORN_EXPORT int VornDataCompilation_SetRelaxJoliet(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetSemicolonsAllowedInJoliet(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_GetMode2XA(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetEnhancedVolume(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetIsoLevel(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetCharset(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetJoliet(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetRockRidge(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetDeeperThan8(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetMoreThan255Chars(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetIsoVersionAddition(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetRelaxJoliet(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetSemicolonsAllowedInJoliet(VornDataCompilation *h);
/* The longest visible name the settings allow, in characters: 127 for UDF
 * (or the bridge without Joliet), else 207 with ISO 9660:1999, 101 relaxed
 * Joliet, 64. */
VORN_EXPORT int VornDataCompilation_GetVisibleNameLimit(VornDataCompilation *h);

/* --- UDF --- */

VORN_EXPORT int VornDataCompilation_SetUdfSupportType(VornDataCompilation *h, int type); /* 0-2, else 0 */
VORN_EXPORT int VornDataCompilation_SetUdfOption(VornDataCompilation *h, int option);    /* 0-2, else 0 */
VORN_EXPORT int VornDataCompilation_SetUdfPartitionType(VornDataCompilation *h, int type); /* 0-2, else 0 */
/* 0-5: revision 1.02, 1.50, 2.00, 2.01, 2.50, 2.60; else 0. */
VORN_EXPORT int VornDataCompilation_SetUdfStandard(VornDataCompilation *h, int standard);
VORN_EXPORT int VornDataCompilation_GetUdfSupportType(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetUdfOption(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetUdfPartitionType(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetUdfStandard(VornDataCompilation *h);

/* --- Labels and identifiers ---
 * Texts are UTF-8. Each setter stores the text as the descriptor will hold
 * it: the Iso* ones in the primary volume (upper case, d- or a-characters,
 * 32, 128 or 37 bytes), the Joliet* ones in the Joliet and ISO 9660:1999
 * volumes (16, 64 or 18 characters), the UDF label at most 30 characters.
 * Getters return that corrected text (VornFreeMem). NULL text refuses. */
#define VORN_DATA_DECLARE_IDENTIFIER(Name)                                                      \
    VORN_EXPORT int VornDataCompilation_SetIso##Name(VornDataCompilation *h, const char *text);    \
    VORN_EXPORT char *VornDataCompilation_GetIso##Name(VornDataCompilation *h);                    \
    VORN_EXPORT int VornDataCompilation_SetJoliet##Name(VornDataCompilation *h, const char *text); \
    VORN_EXPORT char *VornDataCompilation_GetJoliet##Name(VornDataCompilation *h);
VORN_DATA_DECLARE_IDENTIFIER(VolumeLabel)
VORN_DATA_DECLARE_IDENTIFIER(SystemIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(VolumeSetIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(PublisherIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(DataPreparerIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(ApplicationIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(CopyrightFileIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(AbstractFileIdentifier)
VORN_DATA_DECLARE_IDENTIFIER(BibliographicFileIdentifier)
#undef VORN_DATA_DECLARE_IDENTIFIER
VORN_EXPORT int VornDataCompilation_SetUdfVolumeLabel(VornDataCompilation *h, const char *text);
VORN_EXPORT char *VornDataCompilation_GetUdfVolumeLabel(VornDataCompilation *h);

/* --- Dates (32-bit seconds since the epoch; -1 = not set) --- */

VORN_EXPORT int VornDataCompilation_SetVolumeCreationDate(VornDataCompilation *h, int32_t time);
VORN_EXPORT int VornDataCompilation_SetVolumeModificationDate(VornDataCompilation *h, int32_t time);
VORN_EXPORT int VornDataCompilation_SetVolumeEffectiveDate(VornDataCompilation *h, int32_t time);
VORN_EXPORT int VornDataCompilation_SetVolumeExpirationDate(VornDataCompilation *h, int32_t time);
VORN_EXPORT int32_t VornDataCompilation_GetVolumeCreationDate(VornDataCompilation *h);
VORN_EXPORT int32_t VornDataCompilation_GetVolumeModificationDate(VornDataCompilation *h);
VORN_EXPORT int32_t VornDataCompilation_GetVolumeEffectiveDate(VornDataCompilation *h);
VORN_EXPORT int32_t VornDataCompilation_GetVolumeExpirationDate(VornDataCompilation *h);
/* Dates written for files: VORN_FILES_DATE_* (others: original), and the
 * fixed date for VORN_FILES_DATE_FIXED (-1 = not set: the burn time). */
VORN_EXPORT int VornDataCompilation_SetFilesDate(VornDataCompilation *h, int type, int32_t fixedTime);
VORN_EXPORT int VornDataCompilation_GetFilesDateType(VornDataCompilation *h);
VORN_EXPORT int32_t VornDataCompilation_GetFixedFilesDate(VornDataCompilation *h);

/* --- Caching of sources before the burn --- */

VORN_EXPORT int VornDataCompilation_SetCacheFilesFromDiskOrNetwork(VornDataCompilation *h, int on);
VORN_EXPORT int VornDataCompilation_SetCacheSmallFiles(VornDataCompilation *h, int on);
/* Bytes; negative refuses. */
VORN_EXPORT int VornDataCompilation_SetSmallFilesSizeLimit(VornDataCompilation *h, int64_t bytes);
VORN_EXPORT int VornDataCompilation_GetCacheFilesFromDiskOrNetwork(VornDataCompilation *h);
VORN_EXPORT int VornDataCompilation_GetCacheSmallFiles(VornDataCompilation *h);
VORN_EXPORT int64_t VornDataCompilation_GetSmallFilesSizeLimit(VornDataCompilation *h);

/* 1 when the compilation can be written as an ISO 9660 image file. */
VORN_EXPORT int VornDataCompilation_CanBeWrittenAsIsoImage(VornDataCompilation *h);

/* ===================== end of data compilations ========================= */

#ifdef __cplusplus
}
#endif

#endif /* VORN_API_H */
