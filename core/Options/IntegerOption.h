/* A signed 64-bit option ("integer" in XML, written in decimal). */
#ifndef VORN_INTEGER_OPTION_H
#define VORN_INTEGER_OPTION_H

#include "Option.h"

struct VornIntegerOption {
    VornOption parent;
    gint64 value;
};

struct VornIntegerOptionClass {
    VornOptionClass parent_class;
    void (*vorn_value_changed)(VornIntegerOption *option);
};

GType IntegerOption_GetType() noexcept;

#define VORN_TYPE_INTEGER_OPTION (IntegerOption_GetType())
#define VORN_INTEGER_OPTION(object) \
    (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_INTEGER_OPTION, VornIntegerOption))
#define IS_VORN_INTEGER_OPTION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_INTEGER_OPTION))

/* A new option holding `value` (one reference for the caller); NULL when name is NULL. */
VornOption *IntegerOption_New(gint32 id, const gchar *name, gint64 value) noexcept;

/*
 * Stores the value and emits "vorn_value_changed" only when it differs from the
 * current one. Returns 1, also when unchanged; 0 when `option` is not a
 * integer option.
 */
gint IntegerOption_SetValue(VornOption *option, gint64 value) noexcept;

/* The value; 0 when `option` is not an integer option. */
gint64 IntegerOption_GetValue(VornOption *option) noexcept;

#endif
