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
inline constexpr int kBurnBadFormat = 600;
inline constexpr int kBurnBadHandle = 601;
inline constexpr int kBurnKindNotSupported = 602;   // %1 kind
inline constexpr int kBurnBadFlags = 603;           // %1 flags
inline constexpr int kBurnNoImageName = 604;
inline constexpr int kBurnNoLanguageFile = 605;
inline constexpr int kBurnInjectedFailure = 606;    // %1 result
inline constexpr int kBurnDeviceGone = 607;         // %1 drive
inline constexpr int kBurnCannotWriteMedium = 608;  // %1 drive, %2 medium
inline constexpr int kBurnDiscClosed = 609;         // %1 drive
inline constexpr int kBurnUnfinishedTrack = 610;    // %1 drive
inline constexpr int kBurnDiscNotBlank = 611;       // %1 drive
inline constexpr int kBurnDiscTooSmall = 612;       // %1 blocks, %2 drive, %3 free blocks
inline constexpr int kBurnTooLargeForMedium = 613;  // %1 blocks, %2 media
inline constexpr int kBurnNoSpace = 614;            // %1 file, %2 bytes needed, %3 bytes free
inline constexpr int kBurnImageFull = 615;          // %1 file
inline constexpr int kBurnImageFailed = 616;        // %1 file, %2 reason
inline constexpr int kBurnDiscWriteFailed = 617;    // %1 drive, %2 reason
inline constexpr int kBurnSourceChanged = 618;      // %1 file
inline constexpr int kBurnSourceUnreadable = 619;   // %1 reason
inline constexpr int kBurnCannotLayOut = 620;       // %1 reason
inline constexpr int kBurnCompilationChanged = 621;
inline constexpr int kBurnAborted = 622;
inline constexpr int kBurnSpeedTested = 623;        // %1 KB/s of the sources, %2 KB/s written
inline constexpr int kBurnHistoryWritten = 624;     // %1 drive, %2 blocks
inline constexpr int kBurnHistoryTested = 625;      // %1 drive, %2 blocks
inline constexpr int kBurnHistoryFailed = 626;      // %1 drive, %2 result, %3 message
inline constexpr int kBurnInternalError = 627;
inline constexpr int kBurnOverburnDeclined = 640;  // %1 blocks, %2 drive, %3 blocks
inline constexpr int kBurnVerifyMismatch = 641;    // %1 block, %2 drive
inline constexpr int kBurnVerifyUnreadable = 642;  // %1 block, %2 drive, %3 reason
inline constexpr int kBurnContinuesOtherDisc = 643; // %1 drive
inline constexpr int kBurnEraseDeclined = 644;     // %1 drive
inline constexpr int kBurnInsertBlankDisc = 645;   // %1 drive
inline constexpr int kBurnNoDisc = 646;
inline constexpr int kBurnVerified = 647;          // %1 drive
inline constexpr int kBurnCopyWritten = 648;       // %1 copy, %2 copies
inline constexpr int kBurnContinuationOnlyToDisc = 649;
inline constexpr int kImportFailed = 700;          // %1 reason
inline constexpr int kImageCannotBurn = 800; // %1 file, %2 reason
inline constexpr int kImageWrongMedium = 801; // %1 file, %2 its media, %3 the media asked for
inline constexpr int kImageNotCueSheet = 802; // %1 file
inline constexpr int kImageNeedsContainer = 803; // %1 image, %2 target file
inline constexpr int kImageChanged = 804;    // %1 file, %2 reason
inline constexpr int kImageWrongDisc = 805;  // %1 drive, %2 disc media, %3 image media
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
