#include "DataDiscFileSystem.h"

#include <string>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

gboolean DataDiscFileSystem_IsDvdVideoFileName(const gchar *name) noexcept
{
    if (!name)
        return FALSE;
    std::string upper(name);
    for (char &c : upper)
        c = g_ascii_toupper(c);
    if (upper == "VIDEO_TS.IFO" || upper == "VIDEO_TS.VOB" || upper == "VIDEO_TS.BUP")
        return TRUE;
    // VTS_nn_ followed by "0.IFO", "0.VOB", "0.BUP" or a title part "m.VOB".
    if (upper.size() != 12 || upper.compare(0, 4, "VTS_") != 0 || !isDigit(upper[4]) || !isDigit(upper[5]) ||
        upper[6] != '_' || upper[8] != '.')
        return FALSE;
    if (upper[4] == '0' && upper[5] == '0')
        return FALSE;
    const std::string extension = upper.substr(9);
    if (upper[7] == '0')
        return extension == "IFO" || extension == "VOB" || extension == "BUP";
    return upper[7] >= '1' && upper[7] <= '9' && extension == "VOB";
}
