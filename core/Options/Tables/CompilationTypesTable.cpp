// The defaults for new compilations: the persistent "CompilationTypes"
// database, saved in the settings file, and its dynamic companion holding the
// values that last for this run only (dates, CD-TEXT). A new compilation copies
// from both; the new-compilation dialog remembers its last choices in ids 0-4.
#include "CompilationDates.h"
#include "DeviceEntry.h"
#include "OptionNames.h"
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"
#include "VornPaths.h"

#include <ctime>
#include <memory>

namespace {

// Their names are the keys in the settings file: never change one, not even
// the "ISO 9960" of id 40, which settings files already carry.
constexpr const char *kNames[] = {
    "Last medium type used",
    "Last CD type used",
    "Last DVD type used",
    "Last HD DVD type used",
    "Last BD type used",
    "Default multisession type",
    "No pause between audio CD tracks by default",
    "Write CD TEXT on audio CD by default",
    "Boot image data source",
    "Default bootable logical drive",
    "Default image file for bootable discs",
    "Default boot locale",
    "Enable expert boot settings by default",
    "Default emulation type",
    "Default boot message",
    "Default boot segment to load",
    "Default number of loaded sectors",
    "Do not add the ISO file version extension for bootable discs",
    "ISO compilations data mode",
    "ISO compilations file system revision",
    "ISO compilations file name length (ISO level)",
    "ISO character set",
    "Add RockRidge Extensions for ISO compilations",
    "Allow path depth of more than 8 subdirs for ISO compilations",
    "Allow more than 255 characters in ISO compilations path",
    "Do not add the ISO file version extension",
    "Allow more than 64 characters in Joliet names",
    "UDF/ISO bridge compilation ISO file system revision",
    "UDF compilations default option",
    "UDF compilations default option for HD media",
    "UDF compilations default partition type",
    "UDF compilations default file system revision",
    "Use default volume label for all file systems",
    "Default volume label",
    "Default saved volume label",
    "Default ISO 9660 volume label",
    "Default saved ISO 9660 volume label",
    "Default ISO 9660 system identifier",
    "Default ISO 9660 volume set identifier",
    "Default ISO 9660 publisher identifier",
    "Default ISO 9960 data preparer identifier",
    "Default ISO 9660 application identifier",
    "Default ISO 9660 copyright file identifier",
    "Default ISO 9660 abstract file identifier",
    "Default ISO 9660 bibliographic file identifier",
    "Default Joliet volume label",
    "Default saved Joliet volume label",
    "Default Joliet system identifier",
    "Default Joliet volume set identifier",
    "Default Joliet publisher identifier",
    "Default Joliet data preparer identifier",
    "Default Joliet application identifier",
    "Default Joliet copyright file identifier",
    "Default Joliet abstract file identifier",
    "Default Joliet bibliographic file identifier",
    "Default UDF volume label",
    "Default saved UDF volume label",
    "Cache files from disk or network",
    "Cache small files",
    "Small files size limit in KB",
    "Copy disc temp. image path",
    "Delete temp. image when disc copy process is finished",
    "Copy on the fly",
    "Copy source drive",
    "Copy source drive read speed in KBs",
    "Default CD read options profile",
    "Ignore read errors when reading CD data tracks",
    "Write defect sectors when a read error on a CD data track occurs",
    "Read data tracks sectors in raw mode",
    "Read all data tracks subchannel data",
    "Ignore read errors when reading CD audio tracks",
    "Read indexes of audio data",
    "Read all audio tracks subchannel data",
    "Read CD Media Catalog Number and ISRC",
    "Use jitter correction when reading CDs",
    "Default DVD read options profile",
    "Use error correction when reading DVD",
    "DVD read retry count",
    "Ignore read errors when reading DVD",
    "Determine maximum speed",
    "Simulate compilations",
    "Write compilations",
    "Finalize compilations",
    "Default CD writing speed in KBs",
    "Default DVD writing speed in KBs",
    "Default HD DVD writing speed in KBs",
    "Default BD writing speed in KBs",
    "Default writing method",
    "Default disc copy writing method",
    "Default number of copies",
    "Use buffer underrun protection by default",
    "Verify written data by default",
};
static_assert(std::size(kNames) == 92);

constexpr const char *kDynamicNames[] = {
    "Compilation creation date",
    "Compilation last modification date",
    "CD TEXT title",
    "CD TEXT artist",
    "Audio CD copyright",
    "Audio CD producer",
    "Audio CD UPC/EAN code",
    "Audio CD date",
    "Audio CD comments",
    "Volume creation date",
    "Volume creation time",
    "Volume modification date",
    "Volume modification time",
    "Volume effective date",
    "Volume effective time",
    "Volume expiration date",
    "Volume expiration time",
    "Set Creation and Modification dates",
    "Set Effective and Expiration dates",
    "Date to use for files and folders",
    "Fixed date for files and folders",
    "Fixed time for files and folders",
};
static_assert(std::size(kDynamicNames) == 22);

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

// Adds options in ascending id order, each named from the database's table.
class Filler {
public:
    explicit Filler(OptionsDatabase *database) : database_(database) {}
    void boolean(bool value) { add(BooleanOption_New(id_, name(), value ? 1 : 0)); }
    void integer(gint64 value) { add(IntegerOption_New(id_, name(), value)); }
    // Volume identifiers and labels go to the engine in the locale's character set.
    void localeText(const gchar *value) { add(StringOption_NewLocaleEncoded(id_, name(), value)); }
    void unicodeText(const gchar *value) { add(StringOption_NewUnicode(id_, name(), value)); }
    // CD-TEXT is written to the disc in ISO-8859-1.
    void latin1Text(const gchar *value) { add(StringOption_NewWithEncoding(id_, name(), "ISO8859-1", value)); }
    // File names keep the character set they came in.
    void path(const gchar *value) { add(StringOption_NewWithVariableEncoding(id_, name(), "", value)); }
    void device(const VornDeviceEntry *entry) { add(ScsiDeviceOption_New(id_, name(), entry)); }
    void repeatBoolean(bool value, int count)
    {
        for (int i = 0; i < count; ++i)
            boolean(value);
    }
    void repeatLocaleText(const gchar *value, int count)
    {
        for (int i = 0; i < count; ++i)
            localeText(value);
    }

private:
    const gchar *name() const { return OptionNames_GetOptionName(database_, id_); }
    void add(VornOption *option)
    {
        OptionsDatabase_AddOption(database_, option);
        ++id_;
    }
    OptionsDatabase *database_;
    gint32 id_ = 0;
};

void fillCompilationTypes(OptionsDatabase *database)
{
    VornDeviceEntry noDrive{};
    vorn::options::device_entry::initInvalid(noDrive);

    Filler add(database);
    add.integer(1);  // 0 last medium: CD
    for (int last = 1; last <= 4; ++last)
        add.integer(0);       // 1-4 last compilation kind per medium
    add.integer(0);           // 5 multisession: start a multisession disc
    add.boolean(false);       // 6
    add.boolean(false);       // 7
    add.integer(1);           // 8 boot from an image file
    add.integer(0);           // 9
    add.path(VORN_DATA_DIR "/DosBootImage.ima");
    add.integer(3);           // 11 boot locale
    add.boolean(false);       // 12
    add.integer(2);           // 13 emulation type
    add.localeText("Vorn Linux Boot-Loader");
    add.integer(1984);        // 15 load segment
    add.integer(1);           // 16 loaded sectors
    add.boolean(true);        // 17
    add.integer(0);           // 18 data mode
    add.integer(1);           // 19 ISO revision
    add.integer(0);           // 20 ISO level
    add.integer(0);           // 21 character set
    add.boolean(true);        // 22 Rock Ridge
    add.repeatBoolean(false, 4);  // 23-26
    add.integer(1);           // 27 bridge ISO revision
    for (int udf = 28; udf <= 31; ++udf)
        add.integer(0);
    add.boolean(true);        // 32 one label for all file systems
    add.repeatLocaleText("New", 2);  // 33-34
    add.repeatLocaleText("NEW", 2);  // 35-36
    add.repeatLocaleText("", 4);     // 37-40
    add.localeText("VORN LINUX");    // 41
    add.repeatLocaleText("", 3);     // 42-44
    add.repeatLocaleText("New", 2);  // 45-46
    add.repeatLocaleText("", 4);     // 47-50
    add.localeText("Vorn Linux");    // 51
    add.repeatLocaleText("", 3);     // 52-54
    add.repeatLocaleText("New", 2);  // 55-56
    add.boolean(true);        // 57 cache files
    add.boolean(true);        // 58 cache small files
    add.integer(64);          // 59 KB
    // The disc copy's image goes where the user keeps temporary files.
    const OwnedText copyImage(g_build_filename(g_get_tmp_dir(), "TempImage.vrn", nullptr));
    add.path(copyImage.get());
    add.boolean(true);        // 61 delete the temporary image
    add.boolean(false);       // 62 on the fly
    add.device(&noDrive);     // 63
    add.integer(0);           // 64 read speed
    add.integer(1);           // 65 CD read profile
    add.repeatBoolean(false, 9);  // 66-74
    add.integer(2);           // 75 DVD read profile
    add.boolean(true);        // 76 error correction
    add.integer(1);           // 77 retries
    add.boolean(false);       // 78
    add.boolean(false);       // 79 speed test
    add.boolean(false);       // 80 simulate
    add.boolean(true);        // 81 write
    add.boolean(true);        // 82 finalize
    for (int speed = 83; speed <= 86; ++speed)
        add.integer(0);       // maximum speed
    add.integer(1);           // 87 disc-at-once
    add.integer(1);           // 88 disc-at-once
    add.integer(1);           // 89 copies
    add.boolean(true);        // 90 buffer underrun protection
    add.boolean(false);       // 91 verify
}

void fillDynamic(OptionsDatabase *database)
{
    const gint64 date = vorn::options::currentDate();
    const gint64 time = vorn::options::currentTimeOfDay();
    Filler add(database);
    add.integer(date);  // 0 creation
    add.integer(date);  // 1 last modification
    add.latin1Text("");
    add.latin1Text("");
    add.unicodeText("");  // 4 copyright
    add.unicodeText("");  // 5 producer
    add.localeText("");   // 6 UPC/EAN
    add.integer(date);    // 7
    add.unicodeText("");  // 8 comments
    for (int pair = 0; pair < 4; ++pair) {  // 9-16 creation, modification, effective, expiration
        add.integer(date);
        add.integer(time);
    }
    add.boolean(false);  // 17
    add.boolean(false);  // 18
    add.integer(0);      // 19 files keep their own dates
    add.integer(date);   // 20
    add.integer(time);   // 21
}

// The local calendar day of now, split into its midnight and the time since.
struct LocalNow {
    gint64 midnight;
    gint64 sinceMidnight;
};

LocalNow localNow() noexcept
{
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    localtime_r(&now, &day);
    const gint64 since = day.tm_hour * 3600 + day.tm_min * 60 + day.tm_sec;
    day.tm_hour = day.tm_min = day.tm_sec = 0;
    day.tm_isdst = -1;  // midnight may lie on the other side of a DST change
    return {static_cast<gint64>(std::mktime(&day)), since};
}

}  // namespace

gint64 vorn::options::currentDate() noexcept
{
    return localNow().midnight;
}

gint64 vorn::options::currentTimeOfDay() noexcept
{
    return localNow().sinceMidnight;
}

vorn::options::tables::NameTable vorn::options::tables::compilationTypesNames() noexcept
{
    return kNames;
}

vorn::options::tables::NameTable vorn::options::tables::compilationTypesDynamicNames() noexcept
{
    return kDynamicNames;
}

void CompilationTypesDatabase_Init() noexcept
{
    CompilationTypesOptionsDatabase = OptionsDatabase_New("CompilationTypes", 1);
    if (CompilationTypesOptionsDatabase)
        fillCompilationTypes(CompilationTypesOptionsDatabase);
    CompilationTypesDynamicOptionsDatabase = OptionsDatabase_New(nullptr, 0);
    if (CompilationTypesDynamicOptionsDatabase)
        fillDynamic(CompilationTypesDynamicOptionsDatabase);
}
