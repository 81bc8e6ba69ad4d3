/*
 * Look-ups of audio CD titles in an Internet CD database, on a thread of their own.
 */
#ifndef VORN_FREEDB_H
#define VORN_FREEDB_H

/* Starts the look-up service: 1 on success, 0 when it runs already or its
 * thread cannot be started. */
int FreeDB_Init() noexcept;
/* Stops the service and drops what it cached; returns 1. */
int FreeDB_Done() noexcept;

#endif
