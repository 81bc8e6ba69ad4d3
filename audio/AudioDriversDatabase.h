/*
 * The sound-system drivers the preview player can play through.
 */
#ifndef VORN_AUDIO_DRIVERS_DATABASE_H
#define VORN_AUDIO_DRIVERS_DATABASE_H

/* Called at start-up before the settings files are read. */
void AudioDriversDatabase_Init() noexcept;
void AudioDriversDatabase_Done() noexcept;

#endif
