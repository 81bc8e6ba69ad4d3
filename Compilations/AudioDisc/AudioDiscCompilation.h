/*
 * The audio CD compilation ("VornAudioDiscCompilation", type 5).
 *
 * Made, named and seeded with the user's audio CD defaults (pauses, CD-TEXT
 * and the run's CD-TEXT values). The track list and burning and saving of
 * audio CDs are not in this version: those operations refuse with a message.
 */
#ifndef VORN_AUDIO_DISC_COMPILATION_H
#define VORN_AUDIO_DISC_COMPILATION_H

#include "Compilation.h"

G_BEGIN_DECLS

typedef struct AudioDiscCompilation {
    Compilation parent;
} AudioDiscCompilation;

typedef struct AudioDiscCompilationClass {
    CompilationClass parent_class;
} AudioDiscCompilationClass;

GType AudioDiscCompilation_GetType(void) noexcept;

#define VORN_TYPE_AUDIO_DISC_COMPILATION (AudioDiscCompilation_GetType())

/* A new audio CD (full reference), saved, with its widget when a widget
 * factory is installed. */
Compilation *AudioDiscCompilation_NewAudioDisc(void) noexcept;
/* The audio part of a mixed-mode CD: the same without a widget. */
Compilation *AudioDiscCompilation_NewMixedModeDisc(void) noexcept;

G_END_DECLS

#endif
