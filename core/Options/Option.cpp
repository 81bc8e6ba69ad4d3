#include "Option.h"
#include "OptionPrivate.h"

G_DEFINE_ABSTRACT_TYPE(VornOption, vorn_option, G_TYPE_OBJECT)

static void vorn_option_finalize(GObject *object)
{
    VornOption *option = VORN_OPTION(object);
    g_free(option->name);
    option->name = nullptr;
    G_OBJECT_CLASS(vorn_option_parent_class)->finalize(object);
}

static void vorn_option_class_init(VornOptionClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = vorn_option_finalize;
}

static void vorn_option_init(VornOption *option)
{
    option->id = -1;
    option->name = nullptr;
    option->serializer = nullptr;
}

GType Option_GetType() noexcept
{
    return vorn_option_get_type();
}

void Option_SerializeOptionToXML(VornOption *option, FILE *stream, int indent) noexcept
{
    if (!IS_VORN_OPTION(option) || !stream || !option->serializer)
        return;
    option->serializer(option, stream, indent);
}

namespace vorn::options {

void setIdentity(VornOption *option, gint32 id, const gchar *name) noexcept
{
    option->id = id;
    g_free(option->name);
    option->name = g_strdup(name);
}

void writeLine(FILE *stream, int indent, std::string_view element) noexcept
{
    for (int i = 0; i < indent; ++i)
        std::fputc(' ', stream);
    std::fwrite(element.data(), 1, element.size(), stream);
    std::fputc('\n', stream);
}

std::string escapeMarkup(std::string_view text)
{
    gchar *escaped = g_markup_escape_text(text.data(), static_cast<gssize>(text.size()));
    // A parser turns a literal line break or tab in an attribute into a space,
    // and a line break would also split the option's line: write them as
    // character references, which come back unchanged.
    std::string result;
    for (const char *c = escaped; *c; ++c) {
        switch (*c) {
        case '\t': result += "&#9;"; break;
        case '\n': result += "&#10;"; break;
        case '\r': result += "&#13;"; break;
        default: result += *c;
        }
    }
    g_free(escaped);
    return result;
}

guint registerValueChangedSignal(GType type, guint classOffset) noexcept
{
    return g_signal_new("vorn_value_changed", type,
                        static_cast<GSignalFlags>(G_SIGNAL_RUN_FIRST | G_SIGNAL_ACTION),
                        classOffset, nullptr, nullptr, g_cclosure_marshal_VOID__VOID,
                        G_TYPE_NONE, 0);
}

}  // namespace vorn::options
