// Reading the burn panel from a test: its named children, the writers list,
// the main loop run as gtk_main runs it, and screenshots on request.
#ifndef VORN_TESTS_BURN_PANEL_PROBE_H
#define VORN_TESTS_BURN_PANEL_PROBE_H

#include "BurnProcessWidget.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace vorn::test {

// The first widget below `root` (itself included) with the given name.
inline GtkWidget *findNamed(GtkWidget *root, const char *name)
{
    if (std::strcmp(gtk_widget_get_name(root), name) == 0)
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GtkWidget *found = nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList *l = children; l && !found; l = l->next)
        found = findNamed(GTK_WIDGET(l->data), name);
    g_list_free(children);
    return found;
}

inline std::string panelLabel(GtkWidget *panel, const char *name)
{
    GtkWidget *w = findNamed(panel, name);
    return w ? gtk_label_get_text(GTK_LABEL(w)) : "<missing " + std::string(name) + ">";
}

// A text column of the first writer row, empty when there is none.
inline std::string writerColumn(GtkWidget *panel, int column)
{
    GtkTreeModel *model = BurnProcessWidget_GetWritersTreeModel(panel);
    GtkTreeIter iter;
    gchar *text = nullptr;
    if (gtk_tree_model_get_iter_first(model, &iter))
        gtk_tree_model_get(model, &iter, column, &text, -1);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

// Runs the main loop for `ms` with the GDK lock released, as gtk_main does.
inline void spinMainLoop(int ms)
{
    g_timeout_add(static_cast<guint>(ms), [](gpointer) -> gboolean {
        gtk_main_quit();
        return FALSE;
    }, nullptr);
    gtk_main();
}

// Saves the whole screen as <VORN_TEST_SCREENSHOTS>/<name>.png when that
// variable names a folder; does nothing otherwise.
inline void saveScreenshot(const char *name)
{
    const char *dir = std::getenv("VORN_TEST_SCREENSHOTS");
    if (!dir)
        return;
    gdk_flush();
    GdkWindow *root = gdk_get_default_root_window();
    gint w = 0, h = 0;
    gdk_drawable_get_size(root, &w, &h);
    GdkPixbuf *shot = gdk_pixbuf_get_from_drawable(nullptr, root, nullptr, 0, 0, 0, 0, w, h);
    ASSERT_NE(shot, nullptr);
    const std::string path = std::string(dir) + "/" + name + ".png";
    EXPECT_TRUE(gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr));
    g_object_unref(shot);
}

}  // namespace vorn::test

#endif
