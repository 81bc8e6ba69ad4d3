#include "DiscCopyCompilation.h"

#include "CompilationOptions.h"
#include "UnavailableOperations.h"

namespace {

void copyRange(OptionsDatabase *options, gint32 first, gint32 count, gint32 to) noexcept
{
    for (gint32 i = 0; i < count; ++i)
        CompilationOptions_Copy(options, to + i, CompilationTypesOptionsDatabase, first + i);
}

}  // namespace

G_DEFINE_TYPE(DiscCopyCompilation, disc_copy_compilation, VORN_TYPE_COMPILATION)

GType DiscCopyCompilation_GetType(void) noexcept
{
    return disc_copy_compilation_get_type();
}

static void disc_copy_compilation_init(DiscCopyCompilation *) {}

static void disc_copy_compilation_class_init(DiscCopyCompilationClass *) {}

Compilation *DiscCopyCompilation_New(guint32 medium) noexcept
{
    auto *compilation = static_cast<Compilation *>(g_object_new(VORN_TYPE_DISC_COPY_COMPILATION, nullptr));
    compilation->type = COMPILATION_TYPE_DISC_COPY;
    compilation->singleSession = 1;
    Compilation_InstallUnavailableOperations(compilation);
    // A copy is not saved to a file.
    compilation->operations.SaveCompilation = nullptr;
    OptionsDatabase *options = compilation->options;
    copyRange(options, 60, 2, 86);  // temporary image and its removal
    copyRange(options, 62, 3, 88);  // on the fly, source drive, read speed
    if (medium & COMPILATION_MEDIUM_CD) {
        copyRange(options, 65, 1, 91);
        copyRange(options, 66, 9, 92);
    }
    if (medium & COMPILATION_MEDIUM_DVD)
        copyRange(options, 75, 4, 101);
    OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_MEDIUM_TYPE, medium);
    return compilation;
}
