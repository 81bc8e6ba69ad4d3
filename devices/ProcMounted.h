/*
 * Start-up check that /proc (and /sys where the kernel offers it) is mounted.
 */
#ifndef VORN_PROC_MOUNTED_H
#define VORN_PROC_MOUNTED_H

#include <gtk/gtk.h>

/* Warns on `parent` about each file system that is not mounted. */
void ProcMounted_CheckProcMounted(GtkWidget *parent) noexcept;

#endif
