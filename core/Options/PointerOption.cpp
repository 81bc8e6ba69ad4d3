#include "PointerOption.h"
#include "OptionPrivate.h"

G_DEFINE_TYPE(VornPointerOption, vorn_pointer_option, VORN_TYPE_OPTION)

static guint valueChangedSignal;

static void vorn_pointer_option_class_init(VornPointerOptionClass *klass)
{
    valueChangedSignal = vorn::options::registerValueChangedSignal(
        G_TYPE_FROM_CLASS(klass), G_STRUCT_OFFSET(VornPointerOptionClass, vorn_value_changed));
}

static void vorn_pointer_option_init(VornPointerOption *option)
{
    option->value = nullptr;
}

GType PointerOption_GetType() noexcept
{
    return vorn_pointer_option_get_type();
}

VornOption *PointerOption_New(gint32 id, const gchar *name, gpointer value) noexcept
{
    if (!name)
        return nullptr;
    auto *option = VORN_OPTION(g_object_new(VORN_TYPE_POINTER_OPTION, nullptr));
    PointerOption_SetValue(option, value);
    vorn::options::setIdentity(option, id, name);
    return option;
}

gint PointerOption_SetValue(VornOption *option, gpointer value) noexcept
{
    if (!IS_VORN_POINTER_OPTION(option))
        return 0;
    VornPointerOption *self = VORN_POINTER_OPTION(option);
    if (self->value != value) {
        self->value = value;
        g_signal_emit(option, valueChangedSignal, 0);
    }
    return 1;
}

gpointer PointerOption_GetValue(VornOption *option) noexcept
{
    return IS_VORN_POINTER_OPTION(option) ? VORN_POINTER_OPTION(option)->value : nullptr;
}
