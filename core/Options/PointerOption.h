/*
 * An untyped pointer shared between parts of the program (the burning device,
 * a parent window). The option never frees what it points to and is never
 * written to XML.
 */
#ifndef VORN_POINTER_OPTION_H
#define VORN_POINTER_OPTION_H

#include "Option.h"

struct VornPointerOption {
    VornOption parent;
    gpointer value;
};

struct VornPointerOptionClass {
    VornOptionClass parent_class;
    void (*vorn_value_changed)(VornPointerOption *option);
};

GType PointerOption_GetType() noexcept;

#define VORN_TYPE_POINTER_OPTION (PointerOption_GetType())
#define VORN_POINTER_OPTION(object) \
    (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_POINTER_OPTION, VornPointerOption))
#define IS_VORN_POINTER_OPTION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_POINTER_OPTION))

/* A new option holding `value` (one reference for the caller); NULL when name is NULL. */
VornOption *PointerOption_New(gint32 id, const gchar *name, gpointer value) noexcept;

/*
 * Stores the value and emits "vorn_value_changed" only when it differs from the
 * current one. Returns 1, also when unchanged; 0 when `option` is not a
 * pointer option.
 */
gint PointerOption_SetValue(VornOption *option, gpointer value) noexcept;

/* The value; NULL when `option` is not a pointer option. */
gpointer PointerOption_GetValue(VornOption *option) noexcept;

#endif
