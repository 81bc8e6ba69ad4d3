/*
 * The mixed-mode compilation ("VornMixedModeDiscCompilation"): a CD with a
 * data part and an audio part, either a mixed-mode CD (type 6, data first) or
 * an enhanced CD (type 7, audio first).
 *
 * Made, named and seeded with the user's ISO, label, date and audio CD
 * defaults. Its two-part contents and burning and saving are not in this
 * version: those operations refuse with a message.
 */
#ifndef VORN_MIXED_MODE_DISC_COMPILATION_H
#define VORN_MIXED_MODE_DISC_COMPILATION_H

#include "Compilation.h"

G_BEGIN_DECLS

typedef struct MixedModeDiscCompilation {
    Compilation parent;
} MixedModeDiscCompilation;

typedef struct MixedModeDiscCompilationClass {
    CompilationClass parent_class;
} MixedModeDiscCompilationClass;

GType MixedModeDiscCompilation_GetType(void) noexcept;

#define VORN_TYPE_MIXED_MODE_DISC_COMPILATION (MixedModeDiscCompilation_GetType())

/* New compilations (full reference), saved, with their widget when a widget
 * factory is installed. */
Compilation *MixedModeDiscCompilation_NewMixedModeDisc(void) noexcept;
Compilation *MixedModeDiscCompilation_NewEnhancedDisc(void) noexcept;

G_END_DECLS

#endif
