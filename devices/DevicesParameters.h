/*
 * Start-up checks that the drives' device files can be used for recording.
 */
#ifndef VORN_DEVICES_PARAMETERS_H
#define VORN_DEVICES_PARAMETERS_H

#include <gtk/gtk.h>

/* Warns on `parent` about device files that cannot be used. */
void DevicesParameters_CheckDevicesParameters(GtkWidget *parent) noexcept;

#endif
