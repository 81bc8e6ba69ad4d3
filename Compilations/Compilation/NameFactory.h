/*
 * Default names of new compilations: a type prefix, a medium prefix and a
 * number counted per kind and medium for this run (ISO_CD_1, UDF_DVD_2,
 * Audio_CD_1, CD_Copy_1, DVD-Video_1). Kinds without a counter on a medium
 * are numbered 0 (Audio_DVD_0).
 */
#ifndef VORN_NAME_FACTORY_H
#define VORN_NAME_FACTORY_H

#include <glib.h>

/* A new default name (g_free) for the compilation's type and medium (option
 * 7), consuming its counter; NULL when `compilation` is not a compilation. */
gchar *NameFactory_GetDummyCompilationName(gpointer compilation) noexcept;

#endif
