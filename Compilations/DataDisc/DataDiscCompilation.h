/*
 * The data disc compilation ("VornDataDiscCompilation"): a disc of files in
 * ISO 9660 (with Joliet and Rock Ridge), UDF, the UDF/ISO bridge, a bootable
 * disc, or a DVD-Video (miniDVD on CD) disc.
 *
 * Its contents live in a data disc file system over the local file system;
 * its settings are seeded from the "CompilationTypes" databases when it is
 * made. Any change of the contents makes the project unsaved and stamps its
 * modification date.
 *
 * The compilation keeps its options and the file system in step: every
 * setting of the disc (medium, multisession, boot, ISO 9660, Joliet, Rock
 * Ridge, UDF, labels and identifiers, dates, caching, and the global
 * "Allow semicolons in Joliet names") is pushed to the file system whenever
 * its option changes. Labels and identifiers the file system corrects
 * (length, character set) are written back into their options, without
 * running the option's own handler again.
 */
#ifndef VORN_DATA_DISC_COMPILATION_H
#define VORN_DATA_DISC_COMPILATION_H

#include "Compilation.h"

G_BEGIN_DECLS

typedef struct DataDiscCompilationPrivate DataDiscCompilationPrivate;

typedef struct DataDiscCompilation {
    Compilation parent;
    gulong fileSystemChangedHandler;
    gulong volumeLabelChangedHandler;
    DataDiscCompilationPrivate *priv; /* the option handlers */
} DataDiscCompilation;

typedef struct DataDiscCompilationClass {
    CompilationClass parent_class;
} DataDiscCompilationClass;

GType DataDiscCompilation_GetType(void) noexcept;

#define VORN_TYPE_DATA_DISC_COMPILATION (DataDiscCompilation_GetType())
#define IS_VORN_DATA_DISC_COMPILATION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_DATA_DISC_COMPILATION))

/*
 * Constructors: a new compilation (full reference), saved, with its widget
 * when a widget factory is installed; NULL for a medium the kind does not
 * take. ISO, bridge, bootable and DVD-Video discs go on CD (0x1) or DVD
 * (0xC001C) only; a UDF disc on any medium (one it cannot hold becomes CD).
 */
Compilation *DataDiscCompilation_NewIsoDataDisc(guint32 medium) noexcept;
Compilation *DataDiscCompilation_NewUdfDataDisc(guint32 medium) noexcept;
Compilation *DataDiscCompilation_NewUdfIsoBridgeDataDisc(guint32 medium) noexcept;
Compilation *DataDiscCompilation_NewBootableDisc(guint32 medium) noexcept;
/* Starts with the folders "AUDIO_TS" and "VIDEO_TS", single session and finalized. */
Compilation *DataDiscCompilation_NewVideoDisc(guint32 medium) noexcept;
/* The data part of a mixed-mode CD: an ISO disc on CD with no widget. */
Compilation *DataDiscCompilation_NewMixedModeDisc(void) noexcept;

/* Results of DataDiscCompilation_ImportPreviousSession: a bit set of the
 * first five, or one of the refusals. The import succeeded when
 * DATA_DISC_IMPORT_IMPORTED is set and DATA_DISC_IMPORT_FAILED is not. */
enum {
    DATA_DISC_IMPORT_IMPORTED = 1,
    DATA_DISC_IMPORT_FAILED = 2,
    DATA_DISC_IMPORT_MEDIUM_CHANGED = 4,
    DATA_DISC_IMPORT_SWITCHED_TO_ISO = 8,
    DATA_DISC_IMPORT_SWITCHED_TO_UDF = 16,
    DATA_DISC_IMPORT_SWITCHED_TO_BRIDGE = 32,
    DATA_DISC_IMPORT_REFUSED_NOT_DATA = 66,      /* not a data disc of type 1-3 */
    DATA_DISC_IMPORT_REFUSED_DEVICE = 130,       /* no usable recorder */
    DATA_DISC_IMPORT_REFUSED_NO_KIND = 2,        /* no file-system kind asked for */
    DATA_DISC_IMPORT_REFUSED_BY_USER = 258       /* the user kept the document type */
};

/* File-system kinds of the import: bits 1 ISO and 2 UDF, 3 both (the bridge). */
enum { DATA_DISC_IMPORT_KIND_ISO = 1, DATA_DISC_IMPORT_KIND_UDF = 2, DATA_DISC_IMPORT_KIND_BRIDGE = 3 };

/*
 * Imports the file tree of a session of the disc in `device` (a recorder, not
 * the image recorder): track `trackNumber` (1-based; -1 the last data track).
 * When a track is named and `kinds` asks for another file system than the
 * compilation's, the user is asked whether to change the document type (a
 * modal question over `parent`, role "import-change-file-system"). On success
 * the medium follows the disc when it does not fit, and options 10 and 11
 * remember the disc's stamp and the track. Main thread; blocks while the disc
 * is read.
 */
gint32 DataDiscCompilation_ImportPreviousSession(Compilation *compilation, const VornDeviceEntry *device,
                                                 gint32 trackNumber, guint32 kinds, gpointer parent) noexcept;

/* The longest Joliet name the current settings allow, in characters: 127 on
 * UDF (and on the bridge without Joliet), else 207 with ISO 9660:1999, 101
 * with long Joliet names, 64; 0 for anything but a data disc compilation. */
gint32 DataDiscCompilation_GetJolietMaxLimitCharacters(Compilation *compilation) noexcept;

/*
 * The refresh dialog belongs to the user interface, which installs a runner
 * for it; without one RefreshCompilation does nothing. The runner shows the
 * dialog over `parent` with the four check boxes set from `choices` (each 0
 * or 1), stores the user's answer back in `choices`, and returns 1 for OK.
 * Installing NULL removes it; the runner installed before is returned.
 */
typedef struct DataDiscRefreshChoices {
    gint32 refreshFiles;      /* option 12 "Refresh files in compilation" */
    gint32 refreshAllFiles;   /* option 13 "Refresh all files in compilation" */
    gint32 removeDeleted;     /* option 14 "Remove deleted files from compilation" */
    gint32 addNewFiles;       /* option 15 "Add new files to the compilation" */
} DataDiscRefreshChoices;
typedef gint (*DataDiscRefreshDialogRunner)(Compilation *compilation, gpointer parent,
                                            DataDiscRefreshChoices *choices) noexcept;
DataDiscRefreshDialogRunner DataDiscCompilation_SetRefreshDialogRunner(DataDiscRefreshDialogRunner runner) noexcept;

G_END_DECLS

#endif
