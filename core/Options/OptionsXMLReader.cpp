#include "OptionsXMLReader.h"
#include "OptionsDatabase.h"

#include <cstring>

struct OptionsXMLReader {
    GMarkupParseContext *context = nullptr;
    OptionsDatabase *current = nullptr;
    bool failed = false;
};

namespace {

void startElement(GMarkupParseContext *, const gchar *element, const gchar **names, const gchar **values,
                  gpointer data, GError **) noexcept
{
    auto *reader = static_cast<OptionsXMLReader *>(data);
    if (std::strcmp(element, "OptionsDB") == 0) {
        if (names[0] && std::strcmp(names[0], "name") == 0)
            reader->current = OptionsDatabase_GetFromName(values[0]);
    } else if (std::strcmp(element, "Option") == 0) {
        if (reader->current)
            OptionsDatabase_SetOptionValueFromXML(reader->current, names, values);
    }
}

void endElement(GMarkupParseContext *, const gchar *element, gpointer data, GError **) noexcept
{
    if (std::strcmp(element, "OptionsDB") == 0)
        static_cast<OptionsXMLReader *>(data)->current = nullptr;
}

const GMarkupParser kParser = {startElement, endElement, nullptr, nullptr, nullptr};

}  // namespace

OptionsXMLReader *OptionsXMLReader_New() noexcept
{
    auto *reader = new OptionsXMLReader;
    reader->context = g_markup_parse_context_new(&kParser, static_cast<GMarkupParseFlags>(0), reader, nullptr);
    return reader;
}

gint OptionsXMLReader_Feed(OptionsXMLReader *reader, const gchar *text, gssize length, GError **error) noexcept
{
    if (!reader || reader->failed)
        return 0;
    if (!text)
        return 1;
    if (!g_markup_parse_context_parse(reader->context, text, length, error)) {
        reader->failed = true;
        reader->current = nullptr;
        return 0;
    }
    return 1;
}

void OptionsXMLReader_Free(OptionsXMLReader *reader) noexcept
{
    if (!reader)
        return;
    g_markup_parse_context_free(reader->context);
    delete reader;
}
