#include "EraseTexts.h"

#include "VornAPI.h"

#include <glib.h>
#include <libintl.h>

#include <algorithm>

#define _(text) dgettext("vornkit", text)

namespace vorn::kit {

namespace {

std::string minutesAndSeconds(long seconds)
{
    seconds = std::max(0L, seconds);
    gchar *text = g_strdup_printf(_("%02d:%02d min/sec"), static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
    std::string out = text;
    g_free(text);
    return out;
}

std::string taken(gchar *text)
{
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

}  // namespace

std::string eraseMethodName(int mode)
{
    return mode == VORN_ERASE_FULL ? _("Full-erase rewritable disc") : _("Quick-erase rewritable disc");
}

EraseProgressTexts eraseProgressTexts(double elapsedSeconds, int estimateSeconds, int mode)
{
    EraseProgressTexts texts;
    elapsedSeconds = std::max(0.0, elapsedSeconds);
    const long wholeSeconds = static_cast<long>(elapsedSeconds);
    texts.elapsed = minutesAndSeconds(wholeSeconds);
    texts.remaining = minutesAndSeconds(estimateSeconds - wholeSeconds);
    if (estimateSeconds > 0) {
        // Hundredths of the elapsed seconds, truncated, then whole percent.
        const long hundredths = static_cast<long>(elapsedSeconds * 100.0);
        texts.percent = static_cast<int>(std::min(100L, hundredths / estimateSeconds));
        texts.fraction = std::min(1.0, elapsedSeconds / estimateSeconds);
    } else {
        texts.percent = 100;
        texts.fraction = 1.0;
    }
    texts.title = mode == VORN_ERASE_FULL
                      ? taken(g_strdup_printf(_("%d%% - Full-erase rewritable disc"), texts.percent))
                      : taken(g_strdup_printf(_("%d%% - Quick-erase rewritable disc"), texts.percent));
    texts.barText = taken(g_strdup_printf(_("%d %%"), texts.percent));
    return texts;
}

EraseResultMessage eraseResultMessage(int result)
{
    switch (result) {
    case VORN_ERASE_OK:
        return {true, _("Erased the disc successfully.")};
    case VORN_ERASE_DISC_NOT_SUPPORTED:
        return {false, _("Disc not supported.")};
    case VORN_ERASE_NOT_REWRITABLE:
        return {false, _("This disc is not rewritable.")};
    case VORN_ERASE_NOT_SUPPORTED_BY_DRIVE:
    case VORN_ERASE_OPEN_FAILED:
        return {false, _("This recorder does not support rewritable discs.")};
    case VORN_ERASE_DRIVE_IN_USE:
        return {false, _("Drive is in use by another application")};
    default:
        return {false, _("Error erasing the disc.")};
    }
}

}  // namespace vorn::kit
