// Pieces shared by the option classes and the databases, not part of the
// interface other folders use.
#ifndef VORN_OPTION_PRIVATE_H
#define VORN_OPTION_PRIVATE_H

#include "Option.h"

struct OptionsDatabase;

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace vorn::options {

// Gives a freshly constructed option its id and an owned copy of its name.
// Constructors call it after the initial value has been set.
void setIdentity(VornOption *option, gint32 id, const gchar *name) noexcept;

// Writes `indent` spaces, `element` and a line feed.
void writeLine(FILE *stream, int indent, std::string_view element) noexcept;

// Text escaped for an attribute value delimited by single quotes: ampersand,
// less-than, greater-than and both quotes become entities, control characters
// (line breaks and tabs included) character references.
std::string escapeMarkup(std::string_view text);

// Registers the class signal "vorn_value_changed" of a concrete option class,
// whose class handler slot sits at `classOffset` in its class structure.
guint registerValueChangedSignal(GType type, guint classOffset) noexcept;

// The options of a database in insertion order (borrowed); empty for NULL.
std::span<VornOption *const> optionsOf(const ::OptionsDatabase *database) noexcept;

}  // namespace vorn::options

#endif
