/*
 * Saving and loading compilations on worker threads, with the file-operation
 * progress dialog. Called on the main thread with the GDK lock held.
 *
 * A save never truncates the file it replaces: the compilation is written to
 * a temporary file beside it, every write is checked, and the temporary file
 * is renamed over the old one only when all of it is on disk. A failed save
 * tells the user why, keeps the previous file and leaves the compilation
 * unsaved.
 */
#ifndef VORN_COMPILATION_FILE_JOBS_H
#define VORN_COMPILATION_FILE_JOBS_H

#include "Compilation.h"

#include <cstdio>

G_BEGIN_DECLS

/* Completion of a contents writer, on the main thread: result 1 when every
 * byte was written. */
typedef void (*SerializationCallback)(const gchar *path, gint result, gpointer parent, gpointer data) noexcept;

/* Writes the file system block of a data disc file system to `stream` on a
 * worker thread with the save progress dialog. 1 when started; 0 for a wrong
 * file system class, a missing path or stream, or a thread that cannot start.
 * The stream stays the caller's. */
gint Serialization_WriteDataDiscFileSystem(const gchar *path, FILE *stream, gpointer fileSystem, gpointer parent,
                                           SerializationCallback callback, gpointer data) noexcept;

/* The SaveCompilation operation of data disc, audio and mixed-mode
 * compilations: `fileName`, or the compilation's path when NULL (0 when it has
 * never been saved). 1 when the save has started. */
gint CompilationFile_SaveCompilation(Compilation *compilation, const gchar *fileName, gpointer parent) noexcept;

/* TRUE while a save of `compilation` started by CompilationFile_SaveCompilation
 * has not completed (completion: saved, or the failure told). Main thread. */
gboolean CompilationFile_IsSaving(gpointer compilation) noexcept;

/* Completion of a load, on the main thread: the compilation (the callback
 * takes the reference) or NULL. */
typedef void (*LoadCompilationCallback)(Compilation *compilation, gpointer data) noexcept;

/* Loads `fileName` on a worker thread with the load progress dialog. `device`
 * (may be NULL, copied) is searched first for discs the file refers to. 0
 * when the file cannot be opened or the worker cannot start, else 1. */
gint LoadCompilation_Load(const gchar *fileName, const VornDeviceEntry *device, gpointer parent,
                          LoadCompilationCallback callback, gpointer data) noexcept;

/* Makes the reader give the compilations it builds this module's save
 * operation. */
void CompilationFile_InstallSaveOperation(void) noexcept;

G_END_DECLS

#endif
