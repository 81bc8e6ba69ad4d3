// The clipboard holds nothing yet: content, selections and paste come with drag and drop.
#include "Clipboard.h"

G_DEFINE_TYPE(VornClipboard, vorn_clipboard, G_TYPE_OBJECT)

static void vorn_clipboard_class_init(VornClipboardClass *) {}

static void vorn_clipboard_init(VornClipboard *) {}

GType Clipboard_GetType(void)
{
    return vorn_clipboard_get_type();
}

VornClipboard *Clipboard_New(void)
{
    return VORN_CLIPBOARD(g_object_new(VORN_TYPE_CLIPBOARD, nullptr));
}
