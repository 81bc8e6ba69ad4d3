// The few fields of the engine's device entry that options read and write.
// Entries are copied and compared as bytes, so the fields are reached by their
// offsets within the record.
#ifndef VORN_OPTIONS_DEVICE_ENTRY_H
#define VORN_OPTIONS_DEVICE_ENTRY_H

#include "ScsiDeviceOption.h"

#include <cstdint>
#include <string_view>

namespace vorn::options::device_entry {

inline constexpr std::size_t kNameOffset = 0;
// The name field ends where the next field starts; the last byte stays NUL.
inline constexpr std::size_t kNameFieldBytes = 64;
inline constexpr std::size_t kHostAdapterOffset = 72;
inline constexpr std::size_t kScsiIdOffset = 76;

// All zero, host adapter number and SCSI id -1.
void initInvalid(void *entry) noexcept;

// The name, up to its NUL or the end of the name field.
std::string_view name(const void *entry) noexcept;
// Stores at most `maxBytes` bytes of `text` (and never more than the field
// holds), always NUL-terminated.
void setName(void *entry, std::string_view text, std::size_t maxBytes = kNameFieldBytes - 1) noexcept;

std::int32_t hostAdapter(const void *entry) noexcept;
std::int32_t scsiId(const void *entry) noexcept;
void setAddress(void *entry, std::int32_t hostAdapter, std::int32_t scsiId) noexcept;

// The same drive: host adapter number, SCSI id and name equal.
bool sameDrive(const void *a, const void *b) noexcept;

}  // namespace vorn::options::device_entry

#endif
