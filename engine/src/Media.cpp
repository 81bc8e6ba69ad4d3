#include "Media.h"

#include "VornAPI.h"

#include <algorithm>
#include <cctype>

namespace vorn::engine {

namespace {

using T = std::vector<std::uint16_t>;

// Speeds are those of a good drive of each kind; a drives file may narrow them.
const std::vector<MediumKind> kKinds = {
    {VORN_MEDIUM_CD_R, "CD-R", VORN_BASE_SPEED_CD, false, true,
     T{80, 160, 240, 320, 400, 480}, T{40, 80, 160, 240, 320, 400, 480}},
    {VORN_MEDIUM_CD_RW, "CD-RW", VORN_BASE_SPEED_CD, true, true,
     T{80, 160, 240, 320, 400, 480}, T{40, 100, 160, 240}},
    {VORN_MEDIUM_CD_ROM, "CD-ROM", VORN_BASE_SPEED_CD, false, false,
     T{80, 160, 240, 320, 400, 480}, T{}},
    {VORN_MEDIUM_DDCD, "DDCD", VORN_BASE_SPEED_CD, false, true, T{80, 160, 240}, T{40, 80, 120}},
    {VORN_MEDIUM_DENSEPACK, "Densepack", VORN_BASE_SPEED_CD, false, true, T{160, 240},
     T{160, 240}},
    {VORN_MEDIUM_DVD_ROM, "DVD-ROM", VORN_BASE_SPEED_DVD, false, false, T{40, 80, 120, 160},
     T{}},
    {VORN_MEDIUM_DVD_MINUS_R, "DVD-R", VORN_BASE_SPEED_DVD, false, true, T{40, 80, 120, 160},
     T{20, 40, 80, 160}},
    {VORN_MEDIUM_DVD_MINUS_RW, "DVD-RW", VORN_BASE_SPEED_DVD, true, true, T{40, 80},
     T{20, 40, 60}},
    {VORN_MEDIUM_DVD_PLUS_R, "DVD+R", VORN_BASE_SPEED_DVD, false, true, T{40, 80, 120, 160},
     T{24, 40, 80, 160}},
    {VORN_MEDIUM_DVD_PLUS_RW, "DVD+RW", VORN_BASE_SPEED_DVD, true, true, T{40, 80},
     T{24, 40, 80}},
    {VORN_MEDIUM_DVD_RAM, "DVD-RAM", VORN_BASE_SPEED_DVD, true, true, T{20, 30, 50},
     T{20, 30, 50}},
    {VORN_MEDIUM_DVD_PLUS_R_DL, "DVD+R DL", VORN_BASE_SPEED_DVD, false, true, T{40, 80},
     T{24, 40, 80}},
    {VORN_MEDIUM_DVD_MINUS_R_DL, "DVD-R DL", VORN_BASE_SPEED_DVD, false, true, T{40, 80},
     T{20, 40, 80}},
    {VORN_MEDIUM_BD_ROM, "BD-ROM", VORN_BASE_SPEED_BD, false, false, T{20, 40, 60, 80}, T{}},
    {VORN_MEDIUM_BD_R, "BD-R", VORN_BASE_SPEED_BD, false, true, T{20, 40, 60, 80},
     T{20, 40, 60, 80, 120}},
    {VORN_MEDIUM_BD_RE, "BD-RE", VORN_BASE_SPEED_BD, true, true, T{20, 40, 60}, T{20}},
    {VORN_MEDIUM_BD_R_DL, "BD-R DL", VORN_BASE_SPEED_BD, false, true, T{20, 40, 60},
     T{20, 40, 60}},
    {VORN_MEDIUM_BD_RE_DL, "BD-RE DL", VORN_BASE_SPEED_BD, true, true, T{20, 40}, T{20}},
    {VORN_MEDIUM_HDDVD_ROM, "HD DVD-ROM", VORN_BASE_SPEED_HDDVD, false, false, T{10, 20},
     T{}},
    {VORN_MEDIUM_HDDVD_R, "HD DVD-R", VORN_BASE_SPEED_HDDVD, false, true, T{10, 20},
     T{10, 20}},
    {VORN_MEDIUM_HDDVD_RW, "HD DVD-RW", VORN_BASE_SPEED_HDDVD, true, true, T{10, 20}, T{10}},
};

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const MediumKind> mediumKinds() { return kKinds; }

const MediumKind *findMedium(std::uint32_t value)
{
    for (const auto &kind : kKinds)
        if (kind.value == value)
            return &kind;
    return nullptr;
}

const MediumKind *findMediumByName(std::string_view name)
{
    for (const auto &kind : kKinds)
        if (equalsIgnoreCase(kind.name, name))
            return &kind;
    return nullptr;
}

// A single medium value may share its family bit with others (CD-R 0x101 and
// CD-RW 0x81 both carry 0x1), so membership means all of its bits are in the
// mask, not just one.
std::vector<const MediumKind *> mediaInMask(std::uint32_t mask)
{
    std::vector<const MediumKind *> out;
    for (const auto &kind : kKinds)
        if ((kind.value & mask) == kind.value)
            out.push_back(&kind);
    return out;
}

std::string mediumMaskNames(std::uint32_t mask)
{
    std::string out;
    for (const auto *kind : mediaInMask(mask)) {
        if (!out.empty())
            out += ", ";
        out += kind->name;
    }
    return out;
}

std::uint32_t doubleLayerCapabilities(std::uint32_t writeMedia)
{
    std::uint32_t caps = 0;
    if (writeMedia & VORN_MEDIUM_DVD_PLUS_R_DL)
        caps |= VORN_CAP_DVD_PLUS_R_DL;
    if (writeMedia & VORN_MEDIUM_DVD_MINUS_R_DL)
        caps |= VORN_CAP_DVD_MINUS_R_DL;
    if (writeMedia & VORN_MEDIUM_BD_R_DL)
        caps |= VORN_CAP_BD_R_DL;
    if (writeMedia & VORN_MEDIUM_BD_RE_DL)
        caps |= VORN_CAP_BD_RE_DL;
    return caps;
}

}  // namespace vorn::engine
