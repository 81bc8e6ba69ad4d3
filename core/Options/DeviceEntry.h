// The parts of the engine's device entry that options read and write: a drive
// is identified by its host adapter number, SCSI id and name.
#ifndef VORN_OPTIONS_DEVICE_ENTRY_H
#define VORN_OPTIONS_DEVICE_ENTRY_H

#include "VornAPI.h"

#include <cstddef>
#include <string_view>

namespace vorn::options::device_entry {

// All zero, host adapter number and SCSI id -1.
void initInvalid(VornDeviceEntry &entry) noexcept;

// The name, up to its NUL or the end of its field.
std::string_view name(const VornDeviceEntry &entry) noexcept;

// Stores at most `maxBytes` bytes of `text` (never more than the field holds
// before its NUL) and clears the rest of the field.
void setName(VornDeviceEntry &entry, std::string_view text,
             std::size_t maxBytes = sizeof(VornDeviceEntry::name) - 1) noexcept;

// Same host adapter number, SCSI id and name.
bool sameDrive(const VornDeviceEntry &a, const VornDeviceEntry &b) noexcept;

}  // namespace vorn::options::device_entry

#endif
