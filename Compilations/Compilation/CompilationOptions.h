/*
 * Option ids of the compilation options database (every compilation has its
 * own, with the 118 options at their defaults when it is made) and of the
 * "CompilationTypes" databases it is seeded from. Only the ids the compilation
 * classes refer to by name are listed; the table of all 118 is in
 * CompilationOptions.cpp.
 */
#ifndef VORN_COMPILATION_OPTIONS_H
#define VORN_COMPILATION_OPTIONS_H

#include "OptionsDatabase.h"

enum CompilationOption {
    COMPILATION_OPTION_NAME = 0,
    COMPILATION_OPTION_PATH = 1,
    COMPILATION_OPTION_IS_NOT_SAVED_NAME = 2,
    COMPILATION_OPTION_CREATION_DATE = 3,
    COMPILATION_OPTION_MODIFICATION_DATE = 4,
    COMPILATION_OPTION_HAS_ISO_VOLUME = 5,
    COMPILATION_OPTION_HAS_UDF_VOLUME = 6,
    COMPILATION_OPTION_MEDIUM_TYPE = 7,
    COMPILATION_OPTION_ALLOWED_MEDIA = 8,
    COMPILATION_OPTION_MULTISESSION_TYPE = 9,
    COMPILATION_OPTION_BOOT_SOURCE = 25,
    COMPILATION_OPTION_ISO_REVISION = 36,
    COMPILATION_OPTION_BRIDGE_ISO_REVISION = 44,
    COMPILATION_OPTION_COPY_IMAGE_PATH = 86,
    COMPILATION_OPTION_COPY_ON_THE_FLY = 88,
    COMPILATION_OPTION_DETERMINE_MAXIMUM_SPEED = 105,
    COMPILATION_OPTION_SIMULATE = 106,
    COMPILATION_OPTION_WRITE = 107,
    COMPILATION_OPTION_FINALIZE = 108,
    COMPILATION_OPTION_CD_SPEED = 109,
    COMPILATION_OPTION_WRITING_METHOD = 113,
    COMPILATION_OPTION_COPY_WRITING_METHOD = 114,
    COMPILATION_OPTION_COPIES = 115,
    COMPILATION_OPTION_BUFFER_UNDERRUN_PROTECTION = 116,
    COMPILATION_OPTION_VERIFY = 117,
    COMPILATION_OPTION_COUNT = 118,
};

/* "Multisession type" values. */
enum { MULTISESSION_START = 0, MULTISESSION_CONTINUE = 1, MULTISESSION_NONE = 2 };

/* CompilationTypesOptionsDatabase ids the compilation classes read. */
enum CompilationTypesOption {
    COMPILATION_TYPES_DEFAULT_MULTISESSION = 5,
    COMPILATION_TYPES_NO_PAUSE_BETWEEN_TRACKS = 6,
    COMPILATION_TYPES_WRITE_CD_TEXT = 7,
    COMPILATION_TYPES_BOOT_SOURCE = 8,
    COMPILATION_TYPES_ISO_DATA_MODE = 18,
    COMPILATION_TYPES_ISO_REVISION = 19,
    COMPILATION_TYPES_BRIDGE_ISO_REVISION = 27,
    COMPILATION_TYPES_DETERMINE_MAXIMUM_SPEED = 79,
};

/* Creates a compilation's options database with the 118 options at their
 * built-in defaults (dates and times read from the clock). */
OptionsDatabase *CompilationOptions_NewDatabase() noexcept;

/* Copies option `sourceId` of `source` into option `destinationId` of the
 * compilation options, whatever the option's class; 1 on success. */
gint CompilationOptions_Copy(OptionsDatabase *compilationOptions, gint32 destinationId, OptionsDatabase *source,
                             gint32 sourceId) noexcept;

#endif
