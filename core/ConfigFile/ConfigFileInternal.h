// The pieces of the settings files that tests and the fuzz target reach
// directly: reading one file, the document written, the atomic file write.
#ifndef VORN_CONFIG_FILE_INTERNAL_H
#define VORN_CONFIG_FILE_INTERNAL_H

#include <glib.h>

#include <string>
#include <string_view>

namespace vorn::configfile {

// The version written into the settings file's version element.
inline constexpr char kSettingsVersion[] = "3.0.1.3";

// Reads one settings file into the persistent databases (see
// ConfigFile_ParseConfigFiles). False when it cannot be opened or is malformed.
bool readSettingsFile(const char *path) noexcept;

// Feeds `text` to a fresh reader in pieces of at most 255 bytes, as a file is
// read. False when it is malformed.
bool readSettingsText(std::string_view text) noexcept;

// The whole settings document for the databases as they stand now.
std::string settingsDocument();

// The system file and then the user file, creating the user folder between
// them: ConfigFile_ParseConfigFiles with the system file's path given.
void parseSettingsFiles(const char *systemFile) noexcept;

// Replaces the file at `path` with `contents` (see ConfigFile_SaveUserConfigFile).
// On failure returns false with errno set and, when `error` is given, a
// sentence saying what failed.
bool replaceFileContents(const std::string &path, std::string_view contents, std::string *error = nullptr) noexcept;

// The running autosave timer's source id, 0 when none.
guint autosaveSource() noexcept;

}  // namespace vorn::configfile

#endif
