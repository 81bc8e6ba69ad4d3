#include "ImageFileCompilation.h"

#include "CompilationOptions.h"
#include "Filenames.h"
#include "MediaTypes.h"
#include "UnavailableOperations.h"

#include <cstring>
#include <memory>

namespace {

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

struct EngineFree {
    void operator()(VornDiscInfo *p) const noexcept { VornFreeMem(p); }
};

bool endsWithCue(const gchar *path)
{
    OwnedText lower(g_ascii_strdown(path, -1));
    return std::strlen(lower.get()) > 4 && g_str_has_suffix(lower.get(), ".cue");
}

bool isSingleDataTrack(VornDiscInfo *info)
{
    return info->trackCount == 1 && VornDiscInfo_Track(info, 0)->type == VORN_TRACK_DATA;
}

// The media an image may be written to: its own family, widened to CD or DVD
// when a single data track fits the other.
guint32 allowedMediaOf(VornDiscInfo *info, guint32 family)
{
    if (family == COMPILATION_MEDIUM_CD && isSingleDataTrack(info))
        return COMPILATION_MEDIUM_CD_DVD;
    if (family == COMPILATION_MEDIUM_DVD && isSingleDataTrack(info)) {
        guint64 sizeBytes = 0;
        for (int i = 0; i < info->trackCount; ++i) {
            const VornTrackInfo *track = VornDiscInfo_Track(info, i);
            sizeBytes += static_cast<guint64>(track->lengthBlocks) * static_cast<guint64>(track->blockSize);
        }
        guint32 cdBlocks = 0;
        if (MediaTypes_GetNumBlocksOfMedium(COMPILATION_MEDIUM_CD, &cdBlocks, 0) &&
            sizeBytes < static_cast<guint64>(cdBlocks) * 2048u)
            return COMPILATION_MEDIUM_CD_DVD;
    }
    return family;
}

}  // namespace

G_DEFINE_TYPE(ImageFileCompilation, image_file_compilation, VORN_TYPE_COMPILATION)

GType ImageFileCompilation_GetType(void) noexcept
{
    return image_file_compilation_get_type();
}

static void image_file_compilation_init(ImageFileCompilation *) {}

static void image_file_compilation_finalize(GObject *object)
{
    auto *self = reinterpret_cast<ImageFileCompilation *>(object);
    g_free(self->imagePath);
    G_OBJECT_CLASS(image_file_compilation_parent_class)->finalize(object);
}

static void image_file_compilation_class_init(ImageFileCompilationClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = image_file_compilation_finalize;
}

Compilation *ImageFileCompilation_New(const gchar *path) noexcept
{
    if (!path)
        return nullptr;
    auto *self = static_cast<ImageFileCompilation *>(g_object_new(VORN_TYPE_IMAGE_FILE_COMPILATION, nullptr));
    Compilation *compilation = &self->parent;
    compilation->type = COMPILATION_TYPE_IMAGE_FILE;
    compilation->singleSession = 1;
    Compilation_InstallUnavailableOperations(compilation);
    compilation->operations.SaveCompilation = nullptr;
    self->imagePath = g_strdup(path);
    self->isCueSheet = endsWithCue(path);

    OwnedText baseName(g_path_get_basename(path));
    OwnedText displayName(Filenames_GetDisplayString(baseName.get()));
    Compilation_SetCompilationName(compilation, displayName ? displayName.get() : baseName.get());

    OptionsDatabase *options = compilation->options;
    if (self->isCueSheet) {
        OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_MEDIUM_TYPE, COMPILATION_MEDIUM_CD);
        OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_ALLOWED_MEDIA, COMPILATION_MEDIUM_CD);
        return compilation;
    }
    std::unique_ptr<VornDiscInfo, EngineFree> info(VornGetDiscImageInfo(path, 0));
    if (info) {
        const guint32 family = MediaTypes_GetCompilationMediumType(info->mediumType);
        OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_MEDIUM_TYPE, family);
        OptionsDatabase_SetIntegerOptionValue(options, COMPILATION_OPTION_ALLOWED_MEDIA,
                                              allowedMediaOf(info.get(), family));
    }
    return compilation;
}
