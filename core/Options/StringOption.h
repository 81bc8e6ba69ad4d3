/*
 * A text option ("string" in XML): a byte string together with the name of
 * the character set it is held in.
 *
 * A fixed "UTF-8" option always holds valid UTF-8 (other bytes are converted
 * for display before they are stored). A fixed option in another character set
 * refuses bytes that are not valid in it. A variable-encoding option keeps the
 * bytes as given and records the character set they were detected in; file
 * names and paths use it, so that a path in a legacy encoding survives the
 * settings file unchanged.
 *
 * Every successful set emits "vorn_value_changed", also when the value did not
 * change.
 */
#ifndef VORN_STRING_OPTION_H
#define VORN_STRING_OPTION_H

#include "Option.h"

struct VornStringOption {
    VornOption parent;
    /* Owned; NULL until a value is set. */
    gchar *value;
    /* Owned name of the character set `value` is held in, such as "UTF-8". */
    gchar *encoding;
    /* 1 when `encoding` follows the value, 0 when it is fixed. */
    gint variableEncoding;
};

struct VornStringOptionClass {
    VornOptionClass parent_class;
    void (*vorn_value_changed)(VornStringOption *option);
};

GType StringOption_GetType() noexcept;

#define VORN_TYPE_STRING_OPTION (StringOption_GetType())
#define VORN_STRING_OPTION(object) \
    (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_STRING_OPTION, VornStringOption))
#define IS_VORN_STRING_OPTION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_STRING_OPTION))

/*
 * Constructors. Each returns a new option (one reference for the caller), or
 * NULL when `name` is NULL. A NULL `value` leaves the value NULL; any other
 * value, even "", is stored through StringOption_SetValue.
 */
/* Fixed "UTF-8". */
VornOption *StringOption_NewUnicode(gint32 id, const gchar *name, const gchar *value) noexcept;
/* Fixed to the locale's character set at the time of the call. */
VornOption *StringOption_NewLocaleEncoded(gint32 id, const gchar *name, const gchar *value) noexcept;
/* Fixed to `encoding`; NULL when `encoding` is NULL. */
VornOption *StringOption_NewWithEncoding(gint32 id, const gchar *name, const gchar *encoding,
                                         const gchar *value) noexcept;
/* Variable, starting from `encoding` (may be ""); NULL when `encoding` is NULL. */
VornOption *StringOption_NewWithVariableEncoding(gint32 id, const gchar *name, const gchar *encoding,
                                                 const gchar *value) noexcept;

/*
 * Stores `value` by the rules of the option's encoding (see above) and emits
 * "vorn_value_changed". Returns 1 on success; 0, changing nothing, when
 * `option` is not a string option, `value` is NULL, or the bytes are not
 * valid in the option's fixed character set.
 */
gint StringOption_SetValue(VornOption *option, const gchar *value) noexcept;

/* A new copy of the value (g_free), or NULL when there is none or `option` is not a string option. */
gchar *StringOption_GetValue(VornOption *option) noexcept;

#endif
