#include "CompilationOptions.h"

#include "DeviceEntry.h"
#include "MediaTypes.h"
#include "Tables/CompilationDates.h"
#include "VornPaths.h"

#include <ctime>
#include <iterator>
#include <memory>

namespace {

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

enum class Kind { Boolean, Integer, Unicode, Latin1Dash, Latin1, Locale, Path, Device };

// The default of each option; the clock-dependent ones are marked and filled
// when the database is made.
enum class Special { None, Now, NowDate, NowTime, SupportedMedia, BootImage, CopyImage };

struct OptionSpec {
    const char *name;
    Kind kind;
    gint64 integer = 0;  // booleans: 0 or 1
    const char *text = "";
    Special special = Special::None;
};

using enum Kind;
using enum Special;

// The table in id order. Names are this class's own: compilation files use them.
const OptionSpec kOptions[] = {
    {"Compilation name", Unicode},
    {"Compilation path", Unicode},
    {"Is not saved name", Boolean, 1},
    {"Compilation creation date", Integer, 0, "", Now},
    {"Compilation last modification date", Integer, 0, "", Now},
    {"The compilation has an ISO volume", Boolean, 0},
    {"The compilation has an UDF volume", Boolean, 0},
    {"Compilation medium type", Integer, 0},
    {"Allowed media types for the compilation", Integer, 0, "", SupportedMedia},
    {"Multisession type", Integer, 0},
    {"Imported disc CD stamp hash", Latin1Dash},
    {"Imported disc track number", Integer, -1},
    {"Refresh files in compilation", Boolean, 0},
    {"Refresh all files in compilation", Boolean, 0},
    {"Remove deleted files from compilation", Boolean, 1},
    {"Add new files to the compilation", Boolean, 0},
    {"No pause between audio CD tracks", Boolean, 0},
    {"Write CD TEXT on audio CD", Boolean, 0},
    {"CD TEXT title", Latin1},
    {"CD TEXT artist", Latin1},
    {"Audio CD copyright", Unicode},
    {"Audio CD producer", Unicode},
    {"Audio CD UPC/EAN code", Locale},
    {"Audio CD date", Integer, 0, "", NowDate},
    {"Audio CD comments", Unicode},
    {"Boot image data source", Integer, 1},
    {"Bootable logical drive", Integer, 0},
    {"Default image file for bootable discs", Path, 0, "", BootImage},
    {"Default boot locale", Integer, 3},
    {"Enable expert boot settings", Boolean, 0},
    {"Default emulation type", Integer, 2},
    {"Boot message", Locale, 0, "Vorn Linux Boot-Loader"},
    {"Boot segment to load", Integer, 1984},
    {"Number of loaded sectors", Integer, 1},
    {"Do not add the ISO file version extension for bootable discs", Boolean, 1},
    {"ISO data mode", Integer, 0},
    {"ISO file system revision", Integer, 1},
    {"ISO file name length (ISO level)", Integer, 0},
    {"ISO character set", Integer, 0},
    {"Add RockRidge Extensions", Boolean, 1},
    {"Allow path depth of more than 8 subdirs for ISO", Boolean, 0},
    {"Allow more than 255 characters in ISO paths", Boolean, 0},
    {"Do not add the ISO file version extension", Boolean, 0},
    {"Allow more than 64 characters in Joliet names", Boolean, 0},
    {"ISO file system revision for UDF/ISO bridge compilations", Integer, 1},
    {"UDF file system option", Integer, 0},
    {"UDF file system option for HD media", Integer, 0},
    {"UDF file system partition type", Integer, 0},
    {"UDF file system revision", Integer, 0},
    {"Use default volume label", Boolean, 1},
    {"Default volume label", Locale, 0, "New"},
    {"ISO volume label", Locale, 0, "NEW"},
    {"ISO volume system identifier", Locale},
    {"ISO volume set identifier", Locale},
    {"ISO volume publisher identifier", Locale},
    {"ISO volume data preparer identifier", Locale},
    {"ISO volume application identifier", Locale, 0, "VORN LINUX"},
    {"ISO volume copyright file identifier", Locale},
    {"ISO volume abstract file identifier", Locale},
    {"ISO volume bibliographic identifier", Locale},
    {"Joliet volume label", Locale, 0, "New"},
    {"Joliet system identifier", Locale},
    {"Joliet volume set identifier", Locale},
    {"Joliet publisher identifier", Locale},
    {"Joliet data preparer identifier", Locale},
    {"Joliet application identifier", Locale, 0, "Vorn Linux"},
    {"Joliet copyright file identifier", Locale},
    {"Joliet abstract file identifier", Locale},
    {"Joliet bibliographic identifier", Locale},
    {"UDF volume label", Locale, 0, "New"},
    {"Volume creation date", Integer, 0, "", NowDate},
    {"Volume creation time", Integer, 0, "", NowTime},
    {"Volume modification date", Integer, 0, "", NowDate},
    {"Volume modification time", Integer, 0, "", NowTime},
    {"Volume effective date", Integer, 0, "", NowDate},
    {"Volume effective time", Integer, 0, "", NowTime},
    {"Volume expiration date", Integer, 0, "", NowDate},
    {"Volume expiration time", Integer, 0, "", NowTime},
    {"Set volume creation and modification date", Boolean, 0},
    {"Set effective and expiration date", Boolean, 0},
    {"Date to use for files and folders", Integer, 0},
    {"Fixed date to use for files and folders", Integer, 0, "", NowDate},
    {"Fixed time to use for files and folders", Integer, 0, "", NowTime},
    {"Cache files from disk or network", Boolean, 1},
    {"Cache small files", Boolean, 1},
    {"Small files size limit in KB", Integer, 64},
    {"Copy disc temp. image path", Path, 0, "", CopyImage},
    {"Delete temp. image when disc copy process is finished", Boolean, 1},
    {"Copy on the fly", Boolean, 0},
    {"Copy source drive", Device},
    {"Copy source drive read speed in KBs", Integer, 0},
    {"CD read options profile", Integer, 1},
    {"Ignore read errors when reading CD data tracks", Boolean, 0},
    {"Write defect sectors when a read error on a CD data track occurs", Boolean, 0},
    {"Read data tracks sectors in raw mode", Boolean, 0},
    {"Read all data tracks subchannel data", Boolean, 0},
    {"Ignore read errors when reading CD audio tracks", Boolean, 0},
    {"Read indexes of audio data", Boolean, 0},
    {"Read all audio tracks subchannel data", Boolean, 0},
    {"Read CD Media Catalog Number and ISRC", Boolean, 0},
    {"Use jitter correction when read CDs", Boolean, 0},
    {"DVD read options profile", Integer, 2},
    {"Use error correction when reading DVD", Boolean, 1},
    {"DVD read retry count", Integer, 1},
    {"Ignore read errors when reading DVD", Boolean, 0},
    {"Determine maximum speed", Boolean, 0},
    {"Simulate", Boolean, 0},
    {"Write", Boolean, 1},
    {"Finalize compilation", Boolean, 1},
    {"CD writing speed in KB/s", Integer, 0},
    {"DVD writing speed in KB/s", Integer, 0},
    {"HD DVD writing speed in KB/s", Integer, 0},
    {"BD writing speed in KB/s", Integer, 0},
    {"Writing method", Integer, 1},
    {"Copy writing method", Integer, 1},
    {"Number of copies", Integer, 1},
    {"Use buffer underrun protection", Boolean, 1},
    {"Verify written data", Boolean, 0},
};
static_assert(std::size(kOptions) == COMPILATION_OPTION_COUNT);

struct Clock {
    gint64 now;
    gint64 date;
    gint64 time;
};

VornOption *makeOption(gint32 id, const Clock &clock, const VornDeviceEntry &noDrive)
{
    const OptionSpec &entry = kOptions[id];
    gint64 integer = entry.integer;
    switch (entry.special) {
    case Now: integer = clock.now; break;
    case NowDate: integer = clock.date; break;
    case NowTime: integer = clock.time; break;
    case SupportedMedia: integer = MediaTypes_GetSupportedMediaTypes(); break;
    default: break;
    }
    switch (entry.kind) {
    case Boolean: return BooleanOption_New(id, entry.name, static_cast<gint32>(integer));
    case Integer: return IntegerOption_New(id, entry.name, integer);
    case Unicode: return StringOption_NewUnicode(id, entry.name, entry.text);
    // The stamp hash is the engine's own text; CD-TEXT is written to the disc in ISO-8859-1.
    case Latin1Dash: return StringOption_NewWithEncoding(id, entry.name, "ISO-8859-1", entry.text);
    case Latin1: return StringOption_NewWithEncoding(id, entry.name, "ISO8859-1", entry.text);
    case Locale: return StringOption_NewLocaleEncoded(id, entry.name, entry.text);
    case Path: {
        OwnedText path(entry.special == BootImage ? g_strdup(VORN_DATA_DIR "/DosBootImage.ima")
                                                 : g_build_filename(g_get_tmp_dir(), "TempImage.vrn", nullptr));
        return StringOption_NewWithVariableEncoding(id, entry.name, "", path.get());
    }
    case Device: return ScsiDeviceOption_New(id, entry.name, &noDrive);
    }
    return nullptr;
}

}  // namespace

OptionsDatabase *CompilationOptions_NewDatabase() noexcept
{
    OptionsDatabase *database = OptionsDatabase_New(nullptr, 0);
    if (!database)
        return nullptr;
    const Clock clock{static_cast<gint64>(std::time(nullptr)), vorn::options::currentDate(),
                      vorn::options::currentTimeOfDay()};
    VornDeviceEntry noDrive{};
    vorn::options::device_entry::initInvalid(noDrive);
    // The disc copy options (86-90) come before the caching options (83-85):
    // compilation files list them in this order.
    auto addRange = [&](gint32 first, gint32 last) {
        for (gint32 id = first; id <= last; ++id)
            OptionsDatabase_AddOption(database, makeOption(id, clock, noDrive));
    };
    addRange(0, 82);
    addRange(86, 90);
    addRange(83, 85);
    addRange(91, COMPILATION_OPTION_COUNT - 1);
    return database;
}

gint CompilationOptions_Copy(OptionsDatabase *compilationOptions, gint32 destinationId, OptionsDatabase *source,
                             gint32 sourceId) noexcept
{
    VornOption *option = OptionsDatabase_GetOptionFromID(compilationOptions, destinationId);
    if (IS_VORN_BOOLEAN_OPTION(option))
        return OptionsDatabase_CopyBooleanOptionValue(compilationOptions, destinationId, source, sourceId);
    if (IS_VORN_INTEGER_OPTION(option))
        return OptionsDatabase_CopyIntegerOptionValue(compilationOptions, destinationId, source, sourceId);
    if (IS_VORN_STRING_OPTION(option))
        return OptionsDatabase_CopyStringOptionValue(compilationOptions, destinationId, source, sourceId);
    if (IS_VORN_SCSI_DEVICE_OPTION(option))
        return OptionsDatabase_CopyScsiDeviceOptionValue(compilationOptions, destinationId, source, sourceId);
    return 0;
}
