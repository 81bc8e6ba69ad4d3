/*
 * The disc copy compilation ("VornDiscCopyCompilation", type 12): one copy of
 * a disc, made for one burn and never saved to a file.
 *
 * Made, named after its medium (CD_Copy_1, DVD_Copy_1) and seeded with the
 * user's copy and read settings; the read settings of the other families are
 * left at their defaults. Burning a copy is not in this version: the burn
 * operations refuse with a message.
 */
#ifndef VORN_DISC_COPY_COMPILATION_H
#define VORN_DISC_COPY_COMPILATION_H

#include "Compilation.h"

G_BEGIN_DECLS

typedef struct DiscCopyCompilation {
    Compilation parent;
} DiscCopyCompilation;

typedef struct DiscCopyCompilationClass {
    CompilationClass parent_class;
} DiscCopyCompilationClass;

GType DiscCopyCompilation_GetType(void) noexcept;

#define VORN_TYPE_DISC_COPY_COMPILATION (DiscCopyCompilation_GetType())

/* A new copy of a disc of `medium` (full reference): no widget, not marked saved. */
Compilation *DiscCopyCompilation_New(guint32 medium) noexcept;

G_END_DECLS

#endif
