/*
 * The application's side of devices management: follows the device list of
 * the common burn UI and keeps which disc families the connected drives read.
 */
#ifndef VORN_DEVICES_MANAGEMENT_H
#define VORN_DEVICES_MANAGEMENT_H

/* Called once at start-up, after the common burn UI is up. */
void DevicesManagement_Init() noexcept;
/* Called once by the shutdown sequence. */
void DevicesManagement_Done() noexcept;

#endif
