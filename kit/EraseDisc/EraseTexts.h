// Texts of the erase progress window, computed apart from the widgets so that
// the arithmetic of the countdown can be checked on its own.
#ifndef VORNKIT_ERASE_TEXTS_H
#define VORNKIT_ERASE_TEXTS_H

#include <string>

namespace vorn::kit {

struct EraseProgressTexts {
    std::string elapsed;    // "%02d:%02d min/sec"
    std::string remaining;  // the estimate less the whole seconds gone, never below 00:00
    int percent = 0;        // 0 to 100
    double fraction = 0.0;  // for the progress bar, 0 to 1
    std::string title;      // "25% - Quick-erase rewritable disc"
    std::string barText;    // "25 %"
};

// `mode` is VORN_ERASE_QUICK or VORN_ERASE_FULL; an estimate of 0 or less
// counts as already reached.
EraseProgressTexts eraseProgressTexts(double elapsedSeconds, int estimateSeconds, int mode);

// "Quick-erase rewritable disc" or "Full-erase rewritable disc".
std::string eraseMethodName(int mode);

// The message that tells an erase result, and whether it is good news.
struct EraseResultMessage {
    bool success = false;
    std::string text;
};
EraseResultMessage eraseResultMessage(int result);

}  // namespace vorn::kit

#endif
