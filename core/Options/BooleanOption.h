/*
 * A true/false option ("boolean" in XML). The value is a 32-bit integer of
 * which only 1 means true; it is stored as given.
 */
#ifndef VORN_BOOLEAN_OPTION_H
#define VORN_BOOLEAN_OPTION_H

#include "Option.h"

struct VornBooleanOption {
    VornOption parent;
    gint32 value;
};

struct VornBooleanOptionClass {
    VornOptionClass parent_class;
    void (*vorn_value_changed)(VornBooleanOption *option);
};

GType BooleanOption_GetType() noexcept;

#define VORN_TYPE_BOOLEAN_OPTION (BooleanOption_GetType())
#define VORN_BOOLEAN_OPTION(object) \
    (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_BOOLEAN_OPTION, VornBooleanOption))
#define IS_VORN_BOOLEAN_OPTION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_BOOLEAN_OPTION))

/* A new option holding `value` (one reference for the caller); NULL when name is NULL. */
VornOption *BooleanOption_New(gint32 id, const gchar *name, gint32 value) noexcept;

/*
 * Stores the value and emits "vorn_value_changed" only when it differs from the
 * current one. Returns 1, also when unchanged; 0 when `option` is not a
 * boolean option.
 */
gint BooleanOption_SetValue(VornOption *option, gint32 value) noexcept;

/* The value; 0 when `option` is not a boolean option. */
gint32 BooleanOption_GetValue(VornOption *option) noexcept;

#endif
