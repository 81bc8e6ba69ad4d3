#include "Messages.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace vorn::engine {

namespace {

const std::map<int, std::string> &builtIn()
{
    static const std::map<int, std::string> texts = {
        {msg::kWaitBase + 0, "Please insert a writable disc."},
        {msg::kWaitBase + 1, "Please insert an empty writable disc."},
        {msg::kWaitBase + 2, "Please insert a rewritable disc."},
        {msg::kWaitBase + 3, "Please insert the next empty disc."},
        {msg::kWaitBase + 4, "Please insert a disc that can take another session."},
        {msg::kWaitBase + 5, "Please insert the disc to copy into the source drive."},
        {msg::kWaitBase + 6, "Please insert a disc with enough free space."},
        {msg::kWaitBase + 7, "Please close the drive's tray."},
        {msg::kWaitGeneric, "Please insert a suitable disc."},
        {msg::kUnknownMedium, "Unknown medium"},
        {msg::kDrivesFileError, "Drives file %1, line %2: %3"},
        {msg::kNotKeyOrGroup, "this is not a drive group, a key or a comment."},
        {msg::kKeyOutsideGroup, "a key before the first drive group."},
        {msg::kUnknownKey, "unknown key \"%1\"."},
        {msg::kBadValue, "\"%1\" is not a valid value for %2."},
        {msg::kNameTooLong, "the drive name is longer than 63 bytes."},
        {msg::kAddressTwice, "the drive address %1:%2 is used twice."},
        {msg::kDiscUnreadable, "the disc cannot be read: %1"},
        {msg::kDuplicateKey, "the key \"%1\" appears twice in this drive."},
        {msg::kDuplicateGroup, "the drive group \"%1\" appears twice."},
        {msg::kNameTwice, "the drive name \"%1\" is used twice."},
        {msg::kNotUtf8, "the line is not valid UTF-8."},
        {msg::kSpeedForUnknownMedium, "speeds for \"%1\", a medium this drive does not handle."},
        {msg::kDrivesFileUnreadable, "Drives file %1 cannot be read: %2"},
        {msg::kLanguageFileMissing, "The language file %1 cannot be found; texts are in English."},
        {msg::kHistoryLogUnwritable, "The history log %1 cannot be written: %2"},
        {msg::kImageUnreadable, "The image cannot be used: %1"},
        {msg::kEraseBadArguments, "The erase mode or flags are not valid."},
        {msg::kEraseNoRewritableMedia, "%1 cannot erase rewritable discs."},
        {msg::kEraseInUse, "%1 is in use by another application."},
        {msg::kEraseNoDisc, "%1 holds no disc that is ready."},
        {msg::kEraseNotRewritable, "The disc in %1 is not rewritable."},
        {msg::kEraseDiscNotSupported, "%1 cannot erase this kind of disc."},
        {msg::kEraseWriteFailed, "Erasing the disc in %1 failed: %2"},
        {msg::kErasedQuick, "Quick-erased the disc in %1."},
        {msg::kErasedFull, "Fully erased the disc in %1."},
        {msg::kBurnBadFormat, "The burn was refused: the format code is not 0xBEEF."},
        {msg::kBurnBadHandle, "The burn was refused: the drive, the write description or its compilation is not a valid handle."},
        {msg::kBurnKindNotSupported, "The burn was refused: compilations of kind %1 cannot be burned by this engine."},
        {msg::kBurnBadFlags, "The burn was refused: the burn flags %1 hold unknown bits or ask for neither a speed test, a simulation nor a write."},
        {msg::kBurnNoImageName, "No file name was given for the image."},
        {msg::kBurnNoLanguageFile, "The burn was not started because the language file cannot be found."},
        {msg::kBurnInjectedFailure, "The burn failed with result %1."},
        {msg::kBurnDeviceGone, "%1 is no longer connected."},
        {msg::kBurnCannotWriteMedium, "%1 cannot write the disc in it (%2)."},
        {msg::kBurnDiscClosed, "The disc in %1 is closed: nothing more can be written to it."},
        {msg::kBurnUnfinishedTrack, "The disc in %1 ends in an unfinished track and cannot be written any more."},
        {msg::kBurnDiscNotBlank, "The disc in %1 already holds data; it cannot take this compilation as a new disc."},
        {msg::kBurnDiscTooSmall, "The compilation needs %1 blocks, but the disc in %2 has only %3 blocks free."},
        {msg::kBurnTooLargeForMedium, "The compilation needs %1 blocks, more than a disc of %2 holds."},
        {msg::kBurnNoSpace, "There is not enough space for the image %1: it needs %2 bytes and %3 bytes are free."},
        {msg::kBurnImageFull, "The image %1 could not be written: its disk is full."},
        {msg::kBurnImageFailed, "The image %1 could not be written: %2"},
        {msg::kBurnDiscWriteFailed, "Writing to the disc in %1 failed: %2"},
        {msg::kBurnSourceChanged, "The file %1 changed or vanished after it was added to the compilation."},
        {msg::kBurnSourceUnreadable, "A source file could not be read: %1"},
        {msg::kBurnCannotLayOut, "The compilation cannot be written: %1"},
        {msg::kBurnCompilationChanged, "The compilation changed while it was being burned."},
        {msg::kBurnAborted, "The burn was aborted by the user."},
        {msg::kBurnSpeedTested, "Speed test: the sources deliver %1 KB/s; writing at %2 KB/s."},
        {msg::kBurnHistoryWritten, "Burned %2 blocks with %1."},
        {msg::kBurnHistoryTested, "Tested a burn of %2 blocks with %1."},
        {msg::kBurnHistoryFailed, "Burn with %1 failed (result %2): %3"},
        {msg::kBurnInternalError, "The burn stopped on an internal error."},
        {msg::kBurnOverburnDeclined, "The compilation reaches block %1, past the %3 blocks the disc in %2 holds; overburning was declined."},
        {msg::kBurnVerifyMismatch, "Verification failed: block %1 of the disc in %2 differs from what was written."},
        {msg::kBurnVerifyUnreadable, "Verification failed: block %1 of the disc in %2 cannot be read: %3"},
        {msg::kBurnContinuesOtherDisc, "The compilation continues another disc than the one in %1."},
        {msg::kBurnEraseDeclined, "The rewritable disc in %1 is not empty and was not erased."},
        {msg::kBurnInsertBlankDisc, "The disc in %1 already holds data. Please insert a blank disc."},
        {msg::kBurnNoDisc, "No disc"},
        {msg::kBurnVerified, "The disc in %1 was verified."},
        {msg::kBurnCopyWritten, "Copy %1 of %2 written."},
        {msg::kBurnContinuationOnlyToDisc, "A compilation that continues a disc can only be written to that disc."},
        {msg::kImportFailed, "The session cannot be imported: %1"},
        {msg::kImageCannotBurn, "The image %1 cannot be burned: %2"},
        {msg::kImageWrongMedium, "The image %1 is made for %2 and cannot be burned to %3."},
        {msg::kImageNotCueSheet, "%1 is not a cue sheet."},
        {msg::kImageNeedsContainer, "The image recorder can write %1 only as a disc container (.vrn), not as %2."},
        {msg::kImageChanged, "The image %1 changed or can no longer be read: %2"},
        {msg::kImageWrongDisc, "The disc in %1 is %2; the image is made for %3."},
    };
    return texts;
}

// "\n" in a language file stands for a line break inside one text.
std::string unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char next = text[i + 1];
            if (next == 'n' || next == '\\') {
                out += next == 'n' ? '\n' : '\\';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

bool Messages::load(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::map<int, std::string> texts;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        int id = 0;
        bool numeric = true;
        for (std::size_t i = 0; i < eq; ++i) {
            if (line[i] < '0' || line[i] > '9' || id > 100000) {
                numeric = false;
                break;
            }
            id = id * 10 + (line[i] - '0');
        }
        if (numeric)
            texts[id] = unescape(std::string_view(line).substr(eq + 1));
    }
    texts_ = std::move(texts);
    return true;
}

std::string Messages::get(int id, std::initializer_list<std::string_view> args) const
{
    std::string_view pattern;
    if (auto it = texts_.find(id); it != texts_.end())
        pattern = it->second;
    else if (auto b = builtIn().find(id); b != builtIn().end())
        pattern = b->second;
    else
        return {};
    std::vector<std::string_view> list(args);
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '9') {
            std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < list.size())
                out += list[n];
            ++i;
            continue;
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace vorn::engine
