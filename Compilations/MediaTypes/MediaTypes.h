/*
 * Media types: the families of media a compilation can target (CD, DVD,
 * HD DVD, BD), which of them the application offers, and each one's display
 * name, capacity and the two warning marks of the capacity bar. Masks are the
 * engine's medium bit sets; sizes are in 2048-byte blocks (CD: frames).
 */
#ifndef VORN_MEDIA_TYPES_H
#define VORN_MEDIA_TYPES_H

#include <glib.h>

/* The families offered: all four when the image recorder may write every
 * format, else CD and DVD plus HD DVD and BD when such a drive exists. */
guint32 MediaTypes_GetSupportedMediaTypes() noexcept;
/* Folds any medium mask into the supported families it belongs to. */
guint32 MediaTypes_GetCompilationMediumType(guint32 mask) noexcept;
/* A new string (g_free): the name of the first medium kind meeting `mask`,
 * else the engine's name for it. */
gchar *MediaTypes_GetMediumTypeName(guint32 mask) noexcept;
/* The capacity of `medium` (of the special medium `special` when non-zero)
 * in *blocks; 1 when known, else 0 with *blocks 0. 0 for a NULL pointer. */
gint MediaTypes_GetNumBlocksOfMedium(guint32 medium, guint32 *blocks, guint32 special) noexcept;
/* The yellow and red marks of `medium`; either pointer may be NULL. 1 when
 * known, else 0 with both marks 0. */
gint MediaTypes_GetYellowAndRedMarkerPos(guint32 medium, guint32 *yellow, guint32 *red, guint32 special) noexcept;
/* 1 when `mask` meets a medium whose capacity differs from its family's. */
gint MediaTypes_HasSpecialMediaTypeCapacities(guint32 mask) noexcept;

#endif
