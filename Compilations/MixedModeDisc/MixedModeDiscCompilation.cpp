#include "MixedModeDiscCompilation.h"

#include "CompilationOptions.h"
#include "LinuxFileSystem.h"
#include "UnavailableOperations.h"

namespace {

// The ISO data mode of an enhanced CD: its data session is mode 2 XA.
constexpr gint64 kModeTwoXa = 1;
constexpr gint32 kIsoDataMode = 35;

void copyRange(OptionsDatabase *options, OptionsDatabase *source, gint32 first, gint32 count, gint32 to) noexcept
{
    for (gint32 i = 0; i < count; ++i)
        CompilationOptions_Copy(options, to + i, source, first + i);
}

Compilation *newMixedMode(gint32 type) noexcept
{
    auto *compilation = static_cast<Compilation *>(g_object_new(VORN_TYPE_MIXED_MODE_DISC_COMPILATION, nullptr));
    compilation->type = type;
    compilation->singleSession = 1;
    compilation->localFileSystem = LinuxFileSystem_New();
    Compilation_InstallUnavailableOperations(compilation);
    OptionsDatabase *options = compilation->options;
    OptionsDatabase *defaults = CompilationTypesOptionsDatabase;
    OptionsDatabase *run = CompilationTypesDynamicOptionsDatabase;
    const bool enhanced = type == COMPILATION_TYPE_ENHANCED;

    OptionsDatabase_SetBooleanOptionValue(options, COMPILATION_OPTION_HAS_ISO_VOLUME, 1);
    if (enhanced)
        OptionsDatabase_SetIntegerOptionValue(options, kIsoDataMode, kModeTwoXa);
    else
        CompilationOptions_Copy(options, kIsoDataMode, defaults, COMPILATION_TYPES_ISO_DATA_MODE);
    copyRange(options, defaults, 19, 3, 36);
    copyRange(options, defaults, 22, 5, 39);
    // Labels and identifiers.
    copyRange(options, defaults, 32, 1, 49);
    copyRange(options, defaults, 35, 1, 51);
    copyRange(options, defaults, 45, 1, 60);
    copyRange(options, defaults, 33, 1, 50);
    copyRange(options, defaults, 37, 8, 52);
    copyRange(options, defaults, 47, 7, 61);
    copyRange(options, defaults, 54, 1, 68);
    // Volume dates of this run.
    copyRange(options, run, 9, 4, 70);
    copyRange(options, run, 17, 1, 78);
    copyRange(options, run, 13, 4, 74);
    copyRange(options, run, 18, 1, 79);
    copyRange(options, run, 19, 3, 80);
    // The audio part.
    OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_MEDIUM_TYPE, COMPILATION_MEDIUM_CD);
    copyRange(options, defaults, COMPILATION_TYPES_NO_PAUSE_BETWEEN_TRACKS, 2, 16);
    copyRange(options, run, 2, 7, 18);
    Compilation_CreateWidget(compilation);
    Compilation_SetCompilationSaved(compilation);
    return compilation;
}

}  // namespace

G_DEFINE_TYPE(MixedModeDiscCompilation, mixed_mode_disc_compilation, VORN_TYPE_COMPILATION)

GType MixedModeDiscCompilation_GetType(void) noexcept
{
    return mixed_mode_disc_compilation_get_type();
}

static void mixed_mode_disc_compilation_init(MixedModeDiscCompilation *) {}

static void mixed_mode_disc_compilation_class_init(MixedModeDiscCompilationClass *) {}

Compilation *MixedModeDiscCompilation_NewMixedModeDisc(void) noexcept
{
    return newMixedMode(COMPILATION_TYPE_MIXED_MODE);
}

Compilation *MixedModeDiscCompilation_NewEnhancedDisc(void) noexcept
{
    return newMixedMode(COMPILATION_TYPE_ENHANCED);
}
