/*
 * Options: named, numbered, typed values that announce their changes.
 *
 * VornOption is the abstract base of the five option classes. Every setting of
 * the application and much of the state that dialogs and compilations share is
 * an option held by an options database (OptionsDatabase.h). The concrete
 * classes each declare the signal "vorn_value_changed" (run-first, action, no
 * parameters); it runs synchronously inside the set operation that changed the
 * value, on the thread that made the change. Options have no lock of their own.
 */
#ifndef VORN_OPTION_H
#define VORN_OPTION_H

#include <glib-object.h>

#include <cstdio>

struct VornOption;

/* Writes the option as one XML line: `indent` spaces, the element, a line feed. */
typedef void (*VornOptionSerializer)(VornOption *option, FILE *stream, int indent);

struct VornOption {
    GObject parent;
    /* Unique within the option's database; -1 until the constructor sets it. */
    gint32 id;
    /* Owned copy of the name given to the constructor; also the XML key. */
    gchar *name;
    /* Set by each concrete class that has an XML form; NULL for pointers. */
    VornOptionSerializer serializer;
};

struct VornOptionClass {
    GObjectClass parent_class;
};

GType Option_GetType() noexcept;

#define VORN_TYPE_OPTION (Option_GetType())
#define VORN_OPTION(object) (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_OPTION, VornOption))
#define IS_VORN_OPTION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_OPTION))

/*
 * Writes the option through its serializer; an option without one (a pointer
 * option) writes nothing. NULL option or stream: nothing happens.
 */
void Option_SerializeOptionToXML(VornOption *option, FILE *stream, int indent) noexcept;

#endif
