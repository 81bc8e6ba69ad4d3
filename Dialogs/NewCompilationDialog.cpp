// Only the dialog's frame exists yet: its pages come with the compilation types.
#include "NewCompilationDialog.h"

#include "DialogBox/DialogBox.h"

#include <libintl.h>

#define _(text) gettext(text)

GtkWidget *NewCompilationDialog_NewCompilation(GtkWidget *mainWindow) noexcept
{
    GtkWidget *dialog = VornKit_DialogBox_NewDialog(_("New Compilation"), mainWindow,
                                                    VORNKIT_DIALOG_DESTROY_WITH_PARENT,
                                                    GTK_WIN_POS_CENTER_ON_PARENT, FALSE);
    gtk_dialog_add_button(GTK_DIALOG(dialog), GTK_STOCK_CLOSE, GTK_RESPONSE_CLOSE);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 600, 450);
    g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    return dialog;
}
