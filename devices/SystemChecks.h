/*
 * The checks of the system configuration run once at start-up, when the main
 * window exists.
 */
#ifndef VORN_SYSTEM_CHECKS_H
#define VORN_SYSTEM_CHECKS_H

#include <gtk/gtk.h>

/* Checks the mounted system file systems, then the device files; each problem
 * is reported in a modal warning on `window`. */
void SystemChecks_CheckSystemConfiguration(GtkWidget *window) noexcept;

#endif
