// The engine's texts: a built-in English table, replaced entry by entry by
// the language file chosen at start-up. Texts stay in the language file's
// code page; the application converts them.
#ifndef VORN_ENGINE_MESSAGES_H
#define VORN_ENGINE_MESSAGES_H

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

namespace vorn::engine {

namespace msg {
// Wait texts are kWaitBase + the wait code.
inline constexpr int kWaitBase = 100;
inline constexpr int kWaitLast = 107;
inline constexpr int kWaitGeneric = 119;
inline constexpr int kUnknownMedium = 200;
inline constexpr int kDrivesFileError = 300;  // %1 file, %2 line, %3 what
inline constexpr int kNotKeyOrGroup = 301;
inline constexpr int kKeyOutsideGroup = 302;
inline constexpr int kUnknownKey = 303;       // %1 key
inline constexpr int kBadValue = 304;         // %1 value, %2 key
inline constexpr int kNameTooLong = 305;
inline constexpr int kAddressTwice = 306;     // %1 host adapter, %2 id
inline constexpr int kDiscUnreadable = 307;   // %1 reason
inline constexpr int kDuplicateKey = 308;     // %1 key
inline constexpr int kDuplicateGroup = 309;   // %1 group
inline constexpr int kNameTwice = 310;        // %1 name
inline constexpr int kNotUtf8 = 311;
inline constexpr int kSpeedForUnknownMedium = 312;  // %1 medium
inline constexpr int kDrivesFileUnreadable = 313;   // %1 file, %2 reason
inline constexpr int kLanguageFileMissing = 400;    // %1 file
inline constexpr int kHistoryLogUnwritable = 401;   // %1 file, %2 reason
inline constexpr int kImageUnreadable = 500;        // %1 reason
inline constexpr int kEraseBadArguments = 501;
inline constexpr int kEraseNoRewritableMedia = 502; // %1 drive
inline constexpr int kEraseInUse = 503;             // %1 drive
inline constexpr int kEraseNoDisc = 504;            // %1 drive
inline constexpr int kEraseNotRewritable = 505;     // %1 drive
inline constexpr int kEraseDiscNotSupported = 506;  // %1 drive
inline constexpr int kEraseWriteFailed = 507;       // %1 drive, %2 reason
inline constexpr int kErasedQuick = 508;            // %1 drive
inline constexpr int kErasedFull = 509;             // %1 drive
}  // namespace msg

class Messages {
public:
    // Loads `file`. Returns false when it cannot be read; the built-in texts
    // then stay in use.
    bool load(const std::filesystem::path &file);
    void reset() { texts_.clear(); }

    // The text of `id`, with "%1", "%2", ... replaced by the arguments. The
    // arguments are inserted as they are, never interpreted, so a hostile
    // language file cannot reach into memory the way a printf format could.
    std::string get(int id, std::initializer_list<std::string_view> args = {}) const;

private:
    std::map<int, std::string> texts_;
};

}  // namespace vorn::engine

#endif
