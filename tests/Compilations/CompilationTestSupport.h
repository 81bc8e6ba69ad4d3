// Owning compilations in tests and reading their options back.
#ifndef VORN_TEST_COMPILATION_SUPPORT_H
#define VORN_TEST_COMPILATION_SUPPORT_H

#include "Compilation.h"
#include "CompilationOptions.h"

#include <memory>
#include <string>

namespace vorn::test {

struct CompilationUnref {
    void operator()(Compilation *compilation) const noexcept { g_object_unref(compilation); }
};
using OwnedCompilation = std::unique_ptr<Compilation, CompilationUnref>;

inline gint64 integerOption(Compilation *compilation, gint32 id)
{
    return OptionsDatabase_GetIntegerOptionValue(compilation->options, id);
}

inline bool booleanOption(Compilation *compilation, gint32 id)
{
    return OptionsDatabase_GetBooleanOptionValue(compilation->options, id) == 1;
}

inline std::string stringOption(Compilation *compilation, gint32 id)
{
    gchar *text = OptionsDatabase_GetStringOptionValue(compilation->options, id);
    std::string result = text ? text : "(null)";
    g_free(text);
    return result;
}

inline std::string compilationName(Compilation *compilation)
{
    return stringOption(compilation, COMPILATION_OPTION_NAME);
}

}  // namespace vorn::test

#endif
