// The media the engine knows: names, families and the speeds a drive offers
// for each. Speeds are kept in tenths of the base speed so that 2.4x is exact.
#ifndef VORN_ENGINE_MEDIA_H
#define VORN_ENGINE_MEDIA_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::engine {

struct MediumKind {
    std::uint32_t value;
    const char *name;
    std::uint32_t baseKBs;
    bool rewritable;
    bool recordable;                       // written by recorders at all
    std::vector<std::uint16_t> readTenths;  // default read speeds, slowest first
    std::vector<std::uint16_t> writeTenths; // default write speeds, slowest first
};

// Every known single medium value, double-layer BD included.
std::span<const MediumKind> mediumKinds();
const MediumKind *findMedium(std::uint32_t value);
// Matches a name such as "CD-R" or "dvd+rw" (case-insensitive).
const MediumKind *findMediumByName(std::string_view name);

// Names of every known medium in the mask, joined by ", "; empty when none.
std::string mediumMaskNames(std::uint32_t mask);

// The single media of `mask` that are known, in table order.
std::vector<const MediumKind *> mediaInMask(std::uint32_t mask);

// The double-layer capability bits implied by a write mask.
std::uint32_t doubleLayerCapabilities(std::uint32_t writeMedia);

// KB/s of `tenths` tenths of the medium's base speed, rounded down.
inline std::int32_t kbsFromTenths(const MediumKind &kind, std::uint32_t tenths)
{
    return static_cast<std::int32_t>(kind.baseKBs * tenths / 10);
}

}  // namespace vorn::engine

#endif
