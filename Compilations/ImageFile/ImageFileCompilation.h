/*
 * The image file compilation ("VornImageFileCompilation", type 11): burning
 * one disc image or cue sheet, made for one burn and never saved to a file.
 *
 * It is named after the file and allowed on the media the image fits: a cue
 * sheet on CD only; a CD image of one data track also on DVD; a DVD image of
 * one data track that fits a CD also on CD; any other image on its own medium.
 * Burning images is not in this version: the burn operations refuse with a
 * message.
 */
#ifndef VORN_IMAGE_FILE_COMPILATION_H
#define VORN_IMAGE_FILE_COMPILATION_H

#include "Compilation.h"

G_BEGIN_DECLS

typedef struct ImageFileCompilation {
    Compilation parent;
    gchar *imagePath;  /* owned */
    gint32 isCueSheet; /* 1 for a name ending in ".cue" (any case) after at least one character */
} ImageFileCompilation;

typedef struct ImageFileCompilationClass {
    CompilationClass parent_class;
} ImageFileCompilationClass;

GType ImageFileCompilation_GetType(void) noexcept;

#define VORN_TYPE_IMAGE_FILE_COMPILATION (ImageFileCompilation_GetType())

/* A new compilation for the image at `path` (full reference), or NULL for a
 * NULL path. No widget; not marked saved. */
Compilation *ImageFileCompilation_New(const gchar *path) noexcept;

G_END_DECLS

#endif
