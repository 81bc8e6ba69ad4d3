/*
 * The engine's questions to the user during a burn.
 */
#ifndef VORN_USER_DIALOGS_H
#define VORN_USER_DIALOGS_H

/*
 * The engine's user-dialog callback (installed in the engine settings at
 * start-up). Called on the thread of the blocking engine call. While the user
 * has asked to abort, every request answers -2; requests without a dialog
 * answer -1.
 */
extern "C" int UserDialogs_Callback(void *userData, int request, void *data) noexcept;

#endif
