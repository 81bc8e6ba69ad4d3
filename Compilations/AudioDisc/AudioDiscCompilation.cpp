#include "AudioDiscCompilation.h"

#include "CompilationOptions.h"
#include "LinuxFileSystem.h"
#include "UnavailableOperations.h"

namespace {

Compilation *newAudioDisc(bool withWidget) noexcept
{
    auto *compilation = static_cast<Compilation *>(g_object_new(VORN_TYPE_AUDIO_DISC_COMPILATION, nullptr));
    compilation->type = COMPILATION_TYPE_AUDIO;
    compilation->singleSession = 1;
    compilation->localFileSystem = LinuxFileSystem_New();
    Compilation_InstallUnavailableOperations(compilation);
    OptionsDatabase *options = compilation->options;
    CompilationOptions_Copy(options, 16, CompilationTypesOptionsDatabase, COMPILATION_TYPES_NO_PAUSE_BETWEEN_TRACKS);
    CompilationOptions_Copy(options, 17, CompilationTypesOptionsDatabase, COMPILATION_TYPES_WRITE_CD_TEXT);
    // CD-TEXT, copyright, producer, UPC/EAN, date and comments as last entered in this run.
    for (gint32 id = 2; id <= 8; ++id)
        CompilationOptions_Copy(options, 16 + id, CompilationTypesDynamicOptionsDatabase, id);
    OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_MEDIUM_TYPE, COMPILATION_MEDIUM_CD);
    if (withWidget)
        Compilation_CreateWidget(compilation);
    Compilation_SetCompilationSaved(compilation);
    return compilation;
}

}  // namespace

G_DEFINE_TYPE(AudioDiscCompilation, audio_disc_compilation, VORN_TYPE_COMPILATION)

GType AudioDiscCompilation_GetType(void) noexcept
{
    return audio_disc_compilation_get_type();
}

static void audio_disc_compilation_init(AudioDiscCompilation *) {}

static void audio_disc_compilation_class_init(AudioDiscCompilationClass *) {}

Compilation *AudioDiscCompilation_NewAudioDisc(void) noexcept
{
    return newAudioDisc(true);
}

Compilation *AudioDiscCompilation_NewMixedModeDisc(void) noexcept
{
    return newAudioDisc(false);
}
