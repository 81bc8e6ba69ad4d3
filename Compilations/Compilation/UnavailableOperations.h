/*
 * Operations for the compilation kinds whose burning and saving this program
 * cannot do yet (audio, mixed-mode, disc copy, image file). Such a compilation
 * is made, named and edited like any other; when the user tries to burn or
 * save it, an error box says so and nothing happens.
 */
#ifndef VORN_UNAVAILABLE_OPERATIONS_H
#define VORN_UNAVAILABLE_OPERATIONS_H

#include "Compilation.h"

/* Fills CheckBeforeBurn and SaveCompilation (both refuse with an error box
 * naming the compilation's kind), CreateWriteDescription (no description),
 * FreeWriteDescription and GetBurnFormat. */
void Compilation_InstallUnavailableOperations(Compilation *compilation) noexcept;

/* The error text of a compilation of `type`: a new string (g_free). */
gchar *Compilation_DupUnavailableMessage(gint32 type, gboolean saving) noexcept;

#endif
