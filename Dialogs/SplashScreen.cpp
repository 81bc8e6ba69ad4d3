#include "SplashScreen.h"

#include "DialogsAssert.h"
#include "VornImages.h"
#include "VornPaths.h"

#include <libintl.h>

#include <memory>

#define _(text) gettext(text)

namespace {

struct SplashPrivate {
    GtkWidget *image = nullptr;         // owned by the window
    PangoLayout *statusLayout = nullptr;  // one reference
};

// The status line is drawn over the light band at the foot of the picture:
// dark text whatever the theme, which could otherwise make it unreadable.
constexpr double kStatusRed = 0x2a / 255.0;
constexpr double kStatusGreen = 0x33 / 255.0;
constexpr double kStatusBlue = 0x40 / 255.0;

constexpr int kStatusWeight = PANGO_WEIGHT_BOLD;
constexpr int kStatusSizePoints = 8;

using VornSplashScreenPrivate = SplashPrivate;

}  // namespace

G_DEFINE_TYPE_WITH_PRIVATE(VornSplashScreen, vorn_splash_screen, VORN_TYPE_WINDOW)

namespace {

SplashPrivate *priv(VornSplashScreen *self)
{
    return static_cast<SplashPrivate *>(vorn_splash_screen_get_instance_private(self));
}

void applyStatusFont(VornSplashScreen *self)
{
    GtkStyle *style = gtk_widget_get_style(GTK_WIDGET(self));
    std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> font(
        pango_font_description_copy(style->font_desc), pango_font_description_free);
    pango_font_description_set_weight(font.get(), static_cast<PangoWeight>(kStatusWeight));
    pango_font_description_set_size(font.get(), kStatusSizePoints * PANGO_SCALE);
    pango_layout_set_font_description(priv(self)->statusLayout, font.get());
}

gboolean drawStatus(GtkWidget *image, GdkEventExpose *, gpointer data) noexcept
{
    auto *self = VORN_SPLASH_SCREEN(data);
    PangoLayout *layout = priv(self)->statusLayout;
    if (!layout || !image->window)
        return FALSE;

    // The picture sits at the image widget's origin: the window is exactly its size.
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    const double x = image->allocation.x + VORN_SPLASH_STATUS_CENTRE_X - logical.x - logical.width / 2.0;
    const double y = image->allocation.y + VORN_SPLASH_STATUS_BOTTOM_Y - logical.y - logical.height;

    cairo_t *cr = gdk_cairo_create(image->window);
    cairo_set_source_rgb(cr, kStatusRed, kStatusGreen, kStatusBlue);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    return FALSE;
}

void onStyleSet(GtkWidget *widget, GtkStyle *, gpointer) noexcept
{
    applyStatusFont(VORN_SPLASH_SCREEN(widget));
    gtk_widget_queue_draw(widget);
}

}  // namespace

static void vorn_splash_screen_finalize(GObject *object)
{
    SplashPrivate *p = priv(VORN_SPLASH_SCREEN(object));
    if (p->statusLayout)
        g_object_unref(p->statusLayout);
    p->~SplashPrivate();
    G_OBJECT_CLASS(vorn_splash_screen_parent_class)->finalize(object);
}

static void vorn_splash_screen_class_init(VornSplashScreenClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_splash_screen_finalize;
}

static void vorn_splash_screen_init(VornSplashScreen *self)
{
    SplashPrivate *p = new (priv(self)) SplashPrivate{};
    GtkWindow *window = GTK_WINDOW(self);

    gchar *title = g_strdup_printf(_("%s is starting..."), VORN_APP_NAME);
    gtk_window_set_title(window, title);
    g_free(title);
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_SPLASHSCREEN);
    // Centred on the screen: it is shown before any other window exists.
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(window, TRUE);
    gtk_window_set_destroy_with_parent(window, TRUE);

    gchar *path = g_strdup_printf(VORN_IMG_SPLASH_PATH, VORN_IMAGES_DIR);
    p->image = gtk_image_new_from_file(path);
    g_free(path);
    // Without its picture the window keeps its size, so the status line still has its place.
    gtk_widget_set_size_request(p->image, vorn::images::kSplashWidth, vorn::images::kSplashHeight);
    gtk_container_add(GTK_CONTAINER(self), p->image);
    gtk_widget_show(p->image);

    p->statusLayout = gtk_widget_create_pango_layout(GTK_WIDGET(self), "");
    applyStatusFont(self);
    g_signal_connect_after(p->image, "expose-event", G_CALLBACK(drawStatus), self);
    g_signal_connect(self, "style-set", G_CALLBACK(onStyleSet), nullptr);
}

GType SplashScreen_GetType(void)
{
    return vorn_splash_screen_get_type();
}

GtkWidget *SplashScreen_New(void)
{
    return GTK_WIDGET(g_object_new(VORN_TYPE_SPLASH_SCREEN, "type", GTK_WINDOW_TOPLEVEL, nullptr));
}

void SplashScreen_SetStatusText(GtkWidget *SplashScreen, const gchar *text)
{
    VORN_RETURN_IF_FAIL("Dialogs/SplashScreen.cpp", IS_VORN_SPLASH_SCREEN(SplashScreen));
    pango_layout_set_text(priv(VORN_SPLASH_SCREEN(SplashScreen))->statusLayout, text ? text : "", -1);
    gtk_widget_queue_draw(SplashScreen);
    while (gtk_events_pending())
        gtk_main_iteration();
}

const gchar *SplashScreen_GetStatusText(GtkWidget *SplashScreen)
{
    if (!IS_VORN_SPLASH_SCREEN(SplashScreen))
        return nullptr;
    return pango_layout_get_text(priv(VORN_SPLASH_SCREEN(SplashScreen))->statusLayout);
}
