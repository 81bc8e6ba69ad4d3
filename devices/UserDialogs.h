/*
 * The engine's questions to the user during a burn.
 */
#ifndef VORN_USER_DIALOGS_H
#define VORN_USER_DIALOGS_H

#include "VornAPI.h"

#include <glib.h>

/*
 * The engine's user-dialog callback (installed in the engine settings at
 * start-up). Called on the thread of the blocking engine call. While the user
 * has asked to abort, every request answers -2 and the wait-for-disc dialog
 * goes; requests without a dialog answer -1. Every question goes through the
 * message boxes (and so the dialog responder); dialogs are parented to the
 * wait-for-disc dialog when it is up, else to the burn's "Parent main window".
 */
extern "C" int UserDialogs_Callback(void *userData, int request, void *data) noexcept;

/* Makes `compilation` (or NULL) the user data the engine hands back with its
 * questions. Set by the burn process before a burn and cleared after. */
void UserDialogs_SetUserData(gpointer compilation) noexcept;

/*
 * What the questions need to know of the burning compilation, which this
 * layer does not know: the burn process installs a resolver. Without one,
 * or for NULL user data, there is no progress object and no ISO image.
 */
typedef struct UserDialogsBurnInfo {
    VornExtendedProgress *progress; /* the burn's progress object, or NULL */
    gboolean isoImagePossible;      /* the image may be written as plain ISO 9660 */
    const VornDeviceEntry *waitDevice; /* the drive a wait for a disc is about; NULL: the recorder */
    gpointer abortButton;           /* the burn widget's abort button (a GtkButton), or NULL */
} UserDialogsBurnInfo;
typedef void (*UserDialogsBurnInfoResolver)(gpointer userData, gint waitCode, UserDialogsBurnInfo *info) noexcept;
void UserDialogs_SetBurnInfoResolver(UserDialogsBurnInfoResolver resolver) noexcept;

/*
 * The image file name the chooser settles on: `name` unchanged when its last
 * dot starts the extension of the chosen filter (".vrn", or ".iso" with the
 * ISO filter; any case), else with that extension appended. g_free.
 */
gchar *UserDialogs_CompleteImageFileName(const gchar *name, gboolean isoFilter) noexcept;

/* Patterns the image chooser offers, by filter: the answer of a scripted
 * chooser names the chosen one in its entry text (default the first). */
#define USER_DIALOGS_FILTER_VRN "*.vrn"
#define USER_DIALOGS_FILTER_ISO "*.iso"
#define USER_DIALOGS_FILTER_ALL "*"

#endif
