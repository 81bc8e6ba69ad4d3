// The emulated drives file: one group per drive, in GLib key-file syntax.
//
//   [Burner]
//   Name=Vorn DVD Writer
//   Type=recorder
//   WriteMedia=CD-R;CD-RW;DVD-R;DVD+R;DVD+RW
//   WriteSpeeds.DVD+R=4x;8x
//   Disc=discs/blank-dvd.vrn
//   Tray=closed
//
// The group name is the drive's identity across edits: changing Name renames
// the drive, removing the group unplugs it. Parsing is all or nothing: the
// first problem refuses the whole file with its line number.
#ifndef VORN_ENGINE_DRIVESFILE_H
#define VORN_ENGINE_DRIVESFILE_H

#include "Messages.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorn::engine {

using SpeedTable = std::map<std::uint32_t, std::vector<std::int32_t>>;  // medium -> KB/s

struct DriveSpec {
    std::string group;
    int line = 0;  // of the group header
    std::string name;
    std::int32_t type = 1;
    std::uint32_t capabilities = 0;
    std::uint32_t writeMedia = 0;
    std::uint32_t readMedia = 0;
    std::optional<int> hostAdapter;
    std::optional<int> deviceId;
    SpeedTable writeSpeeds;  // only media the file names; others use the defaults
    SpeedTable readSpeeds;
    std::string vendor;
    std::string product;
    std::string revision;
    std::filesystem::path disc;  // empty: no disc; relative paths resolved against the file
    int discLine = 0;
    std::optional<bool> trayOpen;
    bool busy = false;

    bool sameDescription(const DriveSpec &other) const;
};

struct DrivesFileError {
    int line = 0;  // 0 when the file as a whole is the problem
    std::string text;  // localized, without the file name and line
};

struct DrivesFileResult {
    std::vector<DriveSpec> drives;
    std::optional<DrivesFileError> error;
};

DrivesFileResult parseDrivesFile(const std::string &contents, const std::filesystem::path &folder,
                                 const Messages &messages);

// The capabilities a drive gets when its group gives none.
std::uint32_t defaultCapabilities(std::int32_t type);

}  // namespace vorn::engine

#endif
