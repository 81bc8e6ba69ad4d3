#include "BooleanOption.h"
#include "OptionPrivate.h"

#include <string>

G_DEFINE_TYPE(VornBooleanOption, vorn_boolean_option, VORN_TYPE_OPTION)

static guint valueChangedSignal;

static void serializeBoolean(VornOption *option, FILE *stream, int indent)
{
    const char *text = VORN_BOOLEAN_OPTION(option)->value == 1 ? "true" : "false";
    std::string line = "<Option name='";
    line += option->name ? option->name : "";
    line += "' type='boolean' value='";
    line += text;
    line += "' />";
    vorn::options::writeLine(stream, indent, line);
}

static void vorn_boolean_option_class_init(VornBooleanOptionClass *klass)
{
    valueChangedSignal = vorn::options::registerValueChangedSignal(
        G_TYPE_FROM_CLASS(klass), G_STRUCT_OFFSET(VornBooleanOptionClass, vorn_value_changed));
}

static void vorn_boolean_option_init(VornBooleanOption *option)
{
    option->value = 0;
    option->parent.serializer = serializeBoolean;
}

GType BooleanOption_GetType() noexcept
{
    return vorn_boolean_option_get_type();
}

VornOption *BooleanOption_New(gint32 id, const gchar *name, gint32 value) noexcept
{
    if (!name)
        return nullptr;
    auto *option = VORN_OPTION(g_object_new(VORN_TYPE_BOOLEAN_OPTION, nullptr));
    BooleanOption_SetValue(option, value);
    vorn::options::setIdentity(option, id, name);
    return option;
}

gint BooleanOption_SetValue(VornOption *option, gint32 value) noexcept
{
    if (!IS_VORN_BOOLEAN_OPTION(option))
        return 0;
    VornBooleanOption *self = VORN_BOOLEAN_OPTION(option);
    if (self->value != value) {
        self->value = value;
        g_signal_emit(option, valueChangedSignal, 0);
    }
    return 1;
}

gint32 BooleanOption_GetValue(VornOption *option) noexcept
{
    return IS_VORN_BOOLEAN_OPTION(option) ? VORN_BOOLEAN_OPTION(option)->value : 0;
}
