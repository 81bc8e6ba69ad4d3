#include "StringOption.h"
#include "OptionPrivate.h"

#include "Debugger.h"
#include "Filenames.h"

#include <cstring>
#include <string>

G_DEFINE_TYPE(VornStringOption, vorn_string_option, VORN_TYPE_OPTION)

static guint valueChangedSignal;

namespace {

// The value as it goes into a settings file: UTF-8, characters that the
// option's character set cannot express replaced by "?". A value that cannot
// be converted at all (its bytes are not what the encoding claims) is written
// as its display form, so the file stays valid UTF-8 and the rest of the
// settings still load.
std::string valueAsUtf8(const VornStringOption *option)
{
    if (!option->value)
        return {};
    if (option->encoding && std::strcmp(option->encoding, "UTF-8") == 0 &&
        g_utf8_validate(option->value, -1, nullptr))
        return option->value;
    if (option->encoding && option->encoding[0] != '\0') {
        gchar *converted = g_convert_with_fallback(option->value, -1, "UTF-8", option->encoding, "?",
                                                   nullptr, nullptr, nullptr);
        if (converted) {
            std::string result(converted);
            g_free(converted);
            return result;
        }
    }
    gchar *display = Filenames_GetDisplayString(option->value);
    std::string result(display);
    g_free(display);
    return result;
}

void serializeString(VornOption *option, FILE *stream, int indent)
{
    auto *self = VORN_STRING_OPTION(option);
    std::string line = "<Option name='";
    line += option->name ? option->name : "";
    line += "' type='string' encoding='";
    line += self->encoding ? self->encoding : "";
    line += "' value='";
    line += vorn::options::escapeMarkup(valueAsUtf8(self));
    line += "' />";
    vorn::options::writeLine(stream, indent, line);
}

void replaceString(gchar *&field, gchar *newValue)
{
    g_free(field);
    field = newValue;
}

VornOption *newStringOption(gint32 id, const gchar *name, const gchar *encoding, gint variable,
                            const gchar *value)
{
    if (!name || !encoding)
        return nullptr;
    auto *option = VORN_OPTION(g_object_new(VORN_TYPE_STRING_OPTION, nullptr));
    auto *self = VORN_STRING_OPTION(option);
    self->encoding = g_strdup(encoding);
    self->variableEncoding = variable;
    if (value)
        StringOption_SetValue(option, value);
    vorn::options::setIdentity(option, id, name);
    return option;
}

}  // namespace

static void vorn_string_option_finalize(GObject *object)
{
    auto *self = VORN_STRING_OPTION(object);
    replaceString(self->value, nullptr);
    replaceString(self->encoding, nullptr);
    G_OBJECT_CLASS(vorn_string_option_parent_class)->finalize(object);
}

static void vorn_string_option_class_init(VornStringOptionClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_string_option_finalize;
    valueChangedSignal = vorn::options::registerValueChangedSignal(
        G_TYPE_FROM_CLASS(klass), G_STRUCT_OFFSET(VornStringOptionClass, vorn_value_changed));
}

static void vorn_string_option_init(VornStringOption *option)
{
    option->value = nullptr;
    option->encoding = nullptr;
    option->variableEncoding = 0;
    option->parent.serializer = serializeString;
}

GType StringOption_GetType() noexcept
{
    return vorn_string_option_get_type();
}

VornOption *StringOption_NewUnicode(gint32 id, const gchar *name, const gchar *value) noexcept
{
    return newStringOption(id, name, "UTF-8", 0, value);
}

VornOption *StringOption_NewLocaleEncoded(gint32 id, const gchar *name, const gchar *value) noexcept
{
    const gchar *charset = nullptr;
    g_get_charset(&charset);
    return newStringOption(id, name, charset, 0, value);
}

VornOption *StringOption_NewWithEncoding(gint32 id, const gchar *name, const gchar *encoding,
                                         const gchar *value) noexcept
{
    return newStringOption(id, name, encoding, 0, value);
}

VornOption *StringOption_NewWithVariableEncoding(gint32 id, const gchar *name, const gchar *encoding,
                                                 const gchar *value) noexcept
{
    return newStringOption(id, name, encoding, 1, value);
}

gint StringOption_SetValue(VornOption *option, const gchar *value) noexcept
{
    if (!IS_VORN_STRING_OPTION(option) || !value)
        return 0;
    auto *self = VORN_STRING_OPTION(option);
    const gchar *encoding = self->encoding ? self->encoding : "";

    if (self->variableEncoding) {
        // Only the name of the character set is wanted; the converted text is not.
        gchar detected[256] = {};
        g_free(Filenames_GetUnicodeString(value, detected, 255, 1));
        if (std::strcmp(detected, encoding) != 0)
            replaceString(self->encoding, g_strdup(detected));
        replaceString(self->value, g_strdup(value));
    } else if (std::strcmp(encoding, "UTF-8") != 0) {
        // Converting from the character set to itself only checks the bytes.
        GError *error = nullptr;
        gchar *checked = g_convert(value, -1, encoding, encoding, nullptr, nullptr, &error);
        if (!checked) {
            debugger_DummyOut("String option \"%s\": value refused, not valid in %s: %s\n",
                              option->name ? option->name : "", encoding,
                              error ? error->message : "");
            g_clear_error(&error);
            return 0;
        }
        g_free(checked);
        replaceString(self->value, g_strdup(value));
    } else {
        replaceString(self->value, Filenames_GetDisplayString(value));
    }
    g_signal_emit(option, valueChangedSignal, 0);
    return 1;
}

gchar *StringOption_GetValue(VornOption *option) noexcept
{
    return IS_VORN_STRING_OPTION(option) ? g_strdup(VORN_STRING_OPTION(option)->value) : nullptr;
}
