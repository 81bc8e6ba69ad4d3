#include "NameFactory.h"

#include "Compilation.h"
#include "CompilationOptions.h"

#include <optional>

namespace {

struct NamePlan {
    const char *mediumPrefix = "";
    std::optional<gint32> counter;
};

const char *typePrefix(gint32 type, guint32 medium)
{
    switch (type) {
    case COMPILATION_TYPE_ISO: return "ISO_";
    case COMPILATION_TYPE_UDF: return "UDF_";
    case COMPILATION_TYPE_UDF_ISO_BRIDGE: return "UDF-ISO_";
    case COMPILATION_TYPE_BOOTABLE: return "Bootable_";
    case COMPILATION_TYPE_AUDIO: return "Audio_";
    case COMPILATION_TYPE_MIXED_MODE: return "Mixed_Mode_";
    case COMPILATION_TYPE_ENHANCED: return "Enhanced_";
    case COMPILATION_TYPE_VIDEO_CD: return "Video_";
    case COMPILATION_TYPE_SUPER_VIDEO_CD: return "Super_Video_";
    case COMPILATION_TYPE_DVD_VIDEO:
        return medium == COMPILATION_MEDIUM_CD ? "miniDVD_" : medium == COMPILATION_MEDIUM_DVD ? "DVD-Video_" : "";
    case COMPILATION_TYPE_DISC_COPY: return "Copy_";
    default: return "Unknown_";
    }
}

// Which counter of NameFactoryDynamicOptionsDatabase numbers a type on a
// medium. A DVD-Video disc carries its medium in its type prefix already.
NamePlan plan(gint32 type, guint32 medium)
{
    switch (medium) {
    case COMPILATION_MEDIUM_CD:
        switch (type) {
        case COMPILATION_TYPE_ISO: return {"CD_", 0};
        case COMPILATION_TYPE_UDF: return {"CD_", 2};
        case COMPILATION_TYPE_UDF_ISO_BRIDGE: return {"CD_", 6};
        case COMPILATION_TYPE_BOOTABLE: return {"CD_", 8};
        case COMPILATION_TYPE_AUDIO: return {"CD_", 12};
        case COMPILATION_TYPE_MIXED_MODE: return {"CD_", 13};
        case COMPILATION_TYPE_ENHANCED: return {"CD_", 14};
        case COMPILATION_TYPE_DVD_VIDEO: return {"", 10};
        case COMPILATION_TYPE_DISC_COPY: return {"CD_", 15};
        default: return {"CD_", std::nullopt};
        }
    case COMPILATION_MEDIUM_DVD:
        switch (type) {
        case COMPILATION_TYPE_ISO: return {"DVD_", 1};
        case COMPILATION_TYPE_UDF: return {"DVD_", 3};
        case COMPILATION_TYPE_UDF_ISO_BRIDGE: return {"DVD_", 7};
        case COMPILATION_TYPE_BOOTABLE: return {"DVD_", 9};
        case COMPILATION_TYPE_DVD_VIDEO: return {"", 11};
        case COMPILATION_TYPE_DISC_COPY: return {"DVD_", 16};
        default: return {"DVD_", std::nullopt};
        }
    case COMPILATION_MEDIUM_HD_DVD:
        if (type == COMPILATION_TYPE_UDF)
            return {"HD_DVD_", 5};
        return {"HD_DVD_", type == COMPILATION_TYPE_DISC_COPY ? std::optional<gint32>(17) : std::nullopt};
    case COMPILATION_MEDIUM_BD:
        if (type == COMPILATION_TYPE_UDF)
            return {"BD_", 4};
        return {"BD_", type == COMPILATION_TYPE_DISC_COPY ? std::optional<gint32>(18) : std::nullopt};
    default:
        return {};
    }
}

}  // namespace

gchar *NameFactory_GetDummyCompilationName(gpointer compilation) noexcept
{
    if (!IS_VORN_COMPILATION(compilation))
        return nullptr;
    Compilation *self = VORN_COMPILATION(compilation);
    const auto medium =
        static_cast<guint32>(OptionsDatabase_GetIntegerOptionValue(self->options, COMPILATION_OPTION_MEDIUM_TYPE));
    const NamePlan names = plan(self->type, medium);
    gint64 number = 0;
    if (names.counter) {
        number = OptionsDatabase_GetIntegerOptionValue(NameFactoryDynamicOptionsDatabase, *names.counter);
        if (number < 0)  // no counters (the databases are not made): number from 0
            number = 0;
        else
            OptionsDatabase_SetIntegerOptionValue(NameFactoryDynamicOptionsDatabase, *names.counter, number + 1);
    }
    const char *prefix = typePrefix(self->type, medium);
    // A copy names its medium first: CD_Copy_1.
    if (self->type == COMPILATION_TYPE_DISC_COPY)
        return g_strdup_printf("%s%s%" G_GINT64_FORMAT, names.mediumPrefix, prefix, number);
    return g_strdup_printf("%s%s%" G_GINT64_FORMAT, prefix, names.mediumPrefix, number);
}
