#include "Debugger.h"
#include "VornPaths.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <libintl.h>

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "");
    bindtextdomain(VORN_PACKAGE_NAME, VORN_LOCALE_DIR);
    bind_textdomain_codeset(VORN_PACKAGE_NAME, "UTF-8");
    textdomain(VORN_PACKAGE_NAME);
    debugger_DummyOut("Initializing GTK+...\n");
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr,
                     "vorn: cannot open the X display. Vorn Linux needs an X display;\n"
                     "to run it without one, start it under a virtual X server:\n"
                     "    xvfb-run -a vorn\n");
        return 1;
    }
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), VORN_APP_NAME);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
