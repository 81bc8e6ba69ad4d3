#include "IntegerOption.h"
#include "OptionPrivate.h"

#include <string>

G_DEFINE_TYPE(VornIntegerOption, vorn_integer_option, VORN_TYPE_OPTION)

static guint valueChangedSignal;

static void serializeInteger(VornOption *option, FILE *stream, int indent)
{
    char text[32];
    g_snprintf(text, sizeof text, "%lld", static_cast<long long>(VORN_INTEGER_OPTION(option)->value));
    std::string line = "<Option name='";
    line += option->name ? option->name : "";
    line += "' type='integer' value='";
    line += text;
    line += "' />";
    vorn::options::writeLine(stream, indent, line);
}

static void vorn_integer_option_class_init(VornIntegerOptionClass *klass)
{
    valueChangedSignal = vorn::options::registerValueChangedSignal(
        G_TYPE_FROM_CLASS(klass), G_STRUCT_OFFSET(VornIntegerOptionClass, vorn_value_changed));
}

static void vorn_integer_option_init(VornIntegerOption *option)
{
    option->value = 0;
    option->parent.serializer = serializeInteger;
}

GType IntegerOption_GetType() noexcept
{
    return vorn_integer_option_get_type();
}

VornOption *IntegerOption_New(gint32 id, const gchar *name, gint64 value) noexcept
{
    if (!name)
        return nullptr;
    auto *option = VORN_OPTION(g_object_new(VORN_TYPE_INTEGER_OPTION, nullptr));
    IntegerOption_SetValue(option, value);
    vorn::options::setIdentity(option, id, name);
    return option;
}

gint IntegerOption_SetValue(VornOption *option, gint64 value) noexcept
{
    if (!IS_VORN_INTEGER_OPTION(option))
        return 0;
    VornIntegerOption *self = VORN_INTEGER_OPTION(option);
    if (self->value != value) {
        self->value = value;
        g_signal_emit(option, valueChangedSignal, 0);
    }
    return 1;
}

gint64 IntegerOption_GetValue(VornOption *option) noexcept
{
    return IS_VORN_INTEGER_OPTION(option) ? VORN_INTEGER_OPTION(option)->value : 0;
}
