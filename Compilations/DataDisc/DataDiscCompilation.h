/*
 * The data disc compilation ("VornDataDiscCompilation"): a disc of files in
 * ISO 9660 (with Joliet and Rock Ridge), UDF, the UDF/ISO bridge, a bootable
 * disc, or a DVD-Video (miniDVD on CD) disc.
 *
 * Its contents live in a data disc file system over the local file system;
 * its settings are seeded from the "CompilationTypes" databases when it is
 * made. Any change of the contents makes the project unsaved and stamps its
 * modification date.
 */
#ifndef VORN_DATA_DISC_COMPILATION_H
#define VORN_DATA_DISC_COMPILATION_H

#include "Compilation.h"

G_BEGIN_DECLS

typedef struct DataDiscCompilation {
    Compilation parent;
    gulong fileSystemChangedHandler;
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

G_END_DECLS

#endif
