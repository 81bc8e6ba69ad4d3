// The medium tables. The families are searched in table order, so a mask
// that meets several kinds takes the first: CD before DVD before BD.
#include "MediaTypes.h"

#include "DevicesManagement.h"
#include "OptionsDatabase.h"
#include "VornAPI.h"

#include <array>

namespace {

// "Allow all recorder formats for Image Recorder".
constexpr gint32 kSettingAllowAllImageRecorderFormats = 27;

constexpr guint32 kAllFamilies = VORN_FAMILY_CD | VORN_FAMILY_DVD | VORN_FAMILY_HDDVD | VORN_FAMILY_BD;

// Wider masks that fold single media into their family: pressed CDs
// (0x400), pressed DVDs (0x200), pressed BDs (0x100000), pressed HD DVDs
// (0x800000).
constexpr guint32 kFoldCD = 0x401;
constexpr guint32 kFoldDVD = 0xC021C;
constexpr guint32 kFoldBD = 0x30700000;
constexpr guint32 kFoldHDDVD = 0xF800000;

struct MediumKind {
    guint32 mask;
    const char *name;
    guint32 capacityBlocks;
    guint32 yellowBlocks;
    guint32 redBlocks;
};

// CD: 99, 74 and 80 minutes at 75 blocks a second.
constexpr std::array<MediumKind, 7> kMediumKinds = {{
    {0x1, "CD", 445500, 333000, 360000},
    {0xC001C, "DVD", 2621440, 2295296, 2298368},
    {0x30600000, "Blu-ray Disc", 12390400, 11826176, 12219392},
    {0xF000000, "HD DVD", 10742188, 9765625, 9765625},
    {0x20000, "Densepack", 810000, 666000, 720000},
    {0x2, "DDCD", 810000, 666000, 720000},
    {0x20, "ML Disk", 1310720, 1048576, 1048576},
}};

// Double-layer media, larger than their family's nominal disc.
constexpr std::array<MediumKind, 4> kSpecialKinds = {{
    {0x40000, "DVD+R9", 4718592, 2295296, 4173824},
    {0x80000, "DVD-R9", 4718592, 2295296, 4173824},
    {0x10000000, "BD DL", 24780800, 23652352, 24438784},
    {0x20000000, "BD DL", 24780800, 23652352, 24438784},
}};

}  // namespace

guint32 MediaTypes_GetSupportedMediaTypes() noexcept
{
    if (GlobalSettingsOptionsDatabase &&
        OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingAllowAllImageRecorderFormats))
        return kAllFamilies;
    guint32 supported = VORN_FAMILY_CD | VORN_FAMILY_DVD;
    if (DevicesManagement_PhysicalDeviceExists(VORN_FAMILY_HDDVD))
        supported |= VORN_FAMILY_HDDVD;
    if (DevicesManagement_PhysicalDeviceExists(VORN_FAMILY_BD))
        supported |= VORN_FAMILY_BD;
    return supported;
}

guint32 MediaTypes_GetCompilationMediumType(guint32 mask) noexcept
{
    const guint32 supported = MediaTypes_GetSupportedMediaTypes();
    guint32 result = supported & mask;
    if (mask & kFoldCD)
        result |= VORN_FAMILY_CD;
    if (mask & kFoldDVD)
        result |= VORN_FAMILY_DVD;
    if (mask & kFoldBD)
        result |= VORN_FAMILY_BD;
    if (mask & kFoldHDDVD)
        result |= VORN_FAMILY_HDDVD;
    return supported & result;
}

gchar *MediaTypes_GetMediumTypeName(guint32 mask) noexcept
{
    for (const auto &kind : kMediumKinds)
        if (kind.mask & mask)
            return g_strdup(kind.name);
    char *engineName = VornGetTypeNameOfMedia(mask, 0);
    gchar *name = g_strdup(engineName ? engineName : "");
    VornFreeMem(engineName);
    return name;
}

gint MediaTypes_GetNumBlocksOfMedium(guint32 medium, guint32 *blocks, guint32 special) noexcept
{
    if (!blocks)
        return 0;
    *blocks = 0;
    if (special) {
        for (const auto &kind : kSpecialKinds) {
            if ((kind.mask & special) && (kind.mask & medium)) {
                *blocks = kind.capacityBlocks;
                return 1;
            }
        }
    }
    const guint32 family = MediaTypes_GetCompilationMediumType(medium);
    for (const auto &kind : kMediumKinds) {
        if (MediaTypes_GetCompilationMediumType(kind.mask) & family) {
            *blocks = kind.capacityBlocks;
            return 1;
        }
    }
    return 0;
}

gint MediaTypes_GetYellowAndRedMarkerPos(guint32 medium, guint32 *yellow, guint32 *red, guint32 special) noexcept
{
    if (yellow)
        *yellow = 0;
    if (red)
        *red = 0;
    const MediumKind *found = nullptr;
    if (special & medium) {
        for (const auto &kind : kSpecialKinds) {
            if (kind.mask & medium) {
                found = &kind;
                break;
            }
        }
    } else if (const guint32 family = MediaTypes_GetCompilationMediumType(medium)) {
        // A medium of no offered family has no marks, even though the kinds
        // of other unoffered families fold to "no family" as well.
        for (const auto &kind : kMediumKinds) {
            if (MediaTypes_GetCompilationMediumType(kind.mask) == family) {
                found = &kind;
                break;
            }
        }
    }
    if (!found)
        return 0;
    if (yellow)
        *yellow = found->yellowBlocks;
    if (red)
        *red = found->redBlocks;
    return 1;
}

gint MediaTypes_HasSpecialMediaTypeCapacities(guint32 mask) noexcept
{
    for (const auto &kind : kSpecialKinds)
        if (kind.mask & mask)
            return 1;
    return 0;
}
