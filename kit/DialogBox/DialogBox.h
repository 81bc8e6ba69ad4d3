/*
 * Message boxes and plain dialogs of the common burn UI (message domain
 * "vornkit"; icons under the images directory, "dialogs/" for the message
 * icons and "appicons/" for the window icons; a missing icon is left out).
 *
 * Every modal dialog asks the dialog responder (DialogResponder.h) before it
 * is shown: when the responder answers, the dialog is built but never shown,
 * and the answer goes through its real widgets (the check box's toggled
 * handler and the entry's insert-text handler run as for a user). Give a dialog
 * a role for scripts with vorn::dialogs::RoleScope around the call. Non-modal
 * dialogs are recorded by the responder but never answered by it.
 *
 * Without a display (no GTK+ display open) no widget is made: modal dialogs take
 * the responder's answer, or else print the dialog to stderr and return the
 * answer that loses nothing (Cancel, else No, else OK); non-modal ones print
 * and return NULL.
 */
#ifndef VORNKIT_DIALOG_BOX_H
#define VORNKIT_DIALOG_BOX_H

#include <gtk/gtk.h>

G_BEGIN_DECLS

/* Response codes: each button's response equals its bit in the button set. */
enum {
    VORNKIT_RESPONSE_YES = 0x2,
    VORNKIT_RESPONSE_NO = 0x4,
    VORNKIT_RESPONSE_CANCEL = 0x8,
    VORNKIT_RESPONSE_OK = 0x10,
    VORNKIT_RESPONSE_APPLY = 0x20,
    VORNKIT_RESPONSE_REFRESH = 0x40,
    VORNKIT_RESPONSE_EJECT = 0x80,
    VORNKIT_RESPONSE_ERASE = 0x100,
    VORNKIT_RESPONSE_YES_TO_ALL = 0x200,
    VORNKIT_RESPONSE_RENAME = 0x400,
    VORNKIT_RESPONSE_SKIP = 0x800
};

/* Message kinds. */
enum {
    VORNKIT_MESSAGE_INFO = 0,
    VORNKIT_MESSAGE_ERROR = 1,
    VORNKIT_MESSAGE_QUESTION = 2,
    VORNKIT_MESSAGE_WARNING = 3
};

/* Flags of VornKit_DialogBox_NewDialog. */
enum {
    VORNKIT_DIALOG_MODAL = 0x1,
    VORNKIT_DIALOG_DESTROY_WITH_PARENT = 0x2,
    VORNKIT_DIALOG_NO_SEPARATOR = 0x4
};

/* Number of widget slots VornKit_DialogBox_SetDialogButtons fills, in the order
 * Yes, No, Cancel, OK, Apply, Refresh, Eject, Erase, Yes to All, Rename, Skip. */
#define VORNKIT_DIALOG_BUTTON_SLOTS 11

/* The folder holding "dialogs/" and "appicons/"; NULL restores the installed
 * one. Set before VornKit_DialogBox_Init, which loads the window icons. */
void VornKit_DialogBox_SetImagesDirectory(const gchar *directory);

void VornKit_DialogBox_Init(void);
void VornKit_DialogBox_Done(void);
/* Borrowed: the list and its pixbufs belong to the module. */
GList *VornKit_DialogBox_GetWindowIconsList(void);

GtkWidget *VornKit_DialogBox_NewDialog(const gchar *title, GtkWidget *parent, guint flags,
                                       GtkWindowPosition position, gboolean resizable);
void VornKit_DialogBox_SetDialogButtons(GtkWidget *dialog, guint buttonSet, GtkWidget **slots);

/* Non-modal: shown at once and returned; they destroy themselves on any response. */
GtkWidget *VornKit_DialogBox_InfoDialog(const gchar *text, const gchar *heading, const gchar *title,
                                        GtkWidget *parent, gint cancel);
GtkWidget *VornKit_DialogBox_ErrorDialog(const gchar *text, const gchar *heading, const gchar *title,
                                         GtkWidget *parent, gint cancel);
GtkWidget *VornKit_DialogBox_WarningDialog(const gchar *text, const gchar *heading, const gchar *title,
                                           GtkWidget *parent, gint cancel);
GtkWidget *VornKit_DialogBox_QuestionDialog(const gchar *text, const gchar *heading, const gchar *title,
                                            GtkWidget *parent, gint cancel);

/* Modal: run, destroyed, and the response code of the button pressed returned. */
gint VornKit_DialogBox_ModalInfoDialog(const gchar *text, const gchar *heading, const gchar *title,
                                       GtkWidget *parent, gint cancel);
gint VornKit_DialogBox_ModalErrorDialog(const gchar *text, const gchar *heading, const gchar *title,
                                        GtkWidget *parent, gint cancel);
gint VornKit_DialogBox_ModalWarningDialog(const gchar *text, const gchar *heading, const gchar *title,
                                          GtkWidget *parent, gint cancel);
gint VornKit_DialogBox_ModalQuestionDialog(const gchar *text, const gchar *heading, const gchar *title,
                                           GtkWidget *parent, gint cancel);

/* The same eight with a check box below the message. */
GtkWidget *VornKit_DialogBox_InfoDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
GtkWidget *VornKit_DialogBox_ErrorDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
GtkWidget *VornKit_DialogBox_WarningDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
GtkWidget *VornKit_DialogBox_QuestionDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
gint VornKit_DialogBox_ModalInfoDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
gint VornKit_DialogBox_ModalErrorDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
gint VornKit_DialogBox_ModalWarningDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);
gint VornKit_DialogBox_ModalQuestionDialog_WithCallback(const gchar *text, const gchar *heading,
    const gchar *title, GtkWidget *parent, gint cancel, const gchar *checkLabel,
    GCallback toggled, gpointer toggledData, gboolean checked);

/* A message with a one-line entry holding initialText, limited to
 * maximumLength characters when above 0; insertTextHandler (an "insert-text"
 * handler) filters typing. The icon widget, when given, is packed at the left
 * (it takes the floating reference). The modal form returns a new string
 * (g_free) when OK is pressed, NULL otherwise. */
GtkWidget *VornKit_DialogBox_StringDialog(const gchar *text, const gchar *heading, const gchar *title,
    const gchar *initialText, gint maximumLength, GtkWidget *parent, gint cancel, GtkWidget **entryOut,
    GtkWidget *icon, GCallback insertTextHandler, gpointer handlerData);
gchar *VornKit_DialogBox_ModalStringDialog(const gchar *text, const gchar *heading, const gchar *title,
    const gchar *initialText, gint maximumLength, GtkWidget *parent, gint cancel,
    GtkWidget *icon, GCallback insertTextHandler, gpointer handlerData);

G_END_DECLS

#endif
