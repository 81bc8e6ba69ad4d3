/*
 * The application clipboard ("VornClipboard"): the URI list of the last cut or
 * copy, with its type and the caller's operation value.
 */
#ifndef VORN_CLIPBOARD_H
#define VORN_CLIPBOARD_H

#include <glib-object.h>

G_BEGIN_DECLS

#define VORN_TYPE_CLIPBOARD (Clipboard_GetType())
#define VORN_CLIPBOARD(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_CLIPBOARD, VornClipboard))
#define IS_VORN_CLIPBOARD(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_CLIPBOARD))

typedef struct _VornClipboard VornClipboard;
typedef struct _VornClipboardClass VornClipboardClass;

struct _VornClipboard {
    GObject parent;
};

struct _VornClipboardClass {
    GObjectClass parentClass;
};

GType Clipboard_GetType(void);
/* A new, empty clipboard (one reference). */
VornClipboard *Clipboard_New(void);

G_END_DECLS

#endif
