#include "StartupTestHooks.h"

#include "Main/Main.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace vorn::startup {
namespace {

int millisecondsFromEnvironment(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return 0;
    return std::max(0, std::atoi(value));
}

gboolean closeMainWindows(gpointer) noexcept
{
    const char *reportPath = std::getenv("VORN_TEST_CLOSE_MAIN_WINDOWS");
    std::vector<GtkWidget *> windows;
    std::string report;
    for (GList *l = Main_GetMainWindows(); l; l = l->next) {
        auto *widget = GTK_WIDGET(l->data);
        windows.push_back(GTK_WIDGET(g_object_ref(widget)));
        report += gtk_window_get_title(GTK_WINDOW(widget)) ? gtk_window_get_title(GTK_WINDOW(widget)) : "";
        report += GTK_WIDGET_VISIBLE(widget) ? "\t1" : "\t0";
        report += GTK_WIDGET_MAPPED(widget) ? "\t1\n" : "\t0\n";
    }
    if (reportPath && *reportPath)
        g_file_set_contents(reportPath, report.c_str(), static_cast<gssize>(report.size()), nullptr);

    for (GtkWidget *widget : windows) {
        if (widget->window) {
            GdkEvent *event = gdk_event_new(GDK_DELETE);
            event->any.window = GDK_WINDOW(g_object_ref(widget->window));
            event->any.send_event = TRUE;
            gtk_main_do_event(event);
            gdk_event_free(event);
        }
        g_object_unref(widget);
    }
    return FALSE;
}

}  // namespace

void holdSplashForTest() noexcept
{
    const int holdMs = millisecondsFromEnvironment("VORN_TEST_SPLASH_HOLD_MS");
    if (holdMs <= 0)
        return;
    const gint64 end = g_get_monotonic_time() + gint64{holdMs} * 1000;
    while (g_get_monotonic_time() < end) {
        while (gtk_events_pending())
            gtk_main_iteration();
        g_usleep(10000);
    }
}

void armMainWindowCloserForTest() noexcept
{
    if (!std::getenv("VORN_TEST_CLOSE_MAIN_WINDOWS"))
        return;
    g_timeout_add(static_cast<guint>(millisecondsFromEnvironment("VORN_TEST_CLOSE_DELAY_MS")), closeMainWindows,
                  nullptr);
}

}  // namespace vorn::startup
