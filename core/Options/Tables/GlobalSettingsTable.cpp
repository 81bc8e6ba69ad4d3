// The global settings: the user's application-wide preferences, saved in the
// settings file under "GlobalSettings". The handlers that keep the engine, the
// environment and the autosave in step with them live in core/GlobalSettings.
#include "DeviceEntry.h"
#include "OptionsDatabase.h"
#include "OptionsDatabaseTables.h"
#include "OptionNames.h"
#include "ProxyHandling.h"
#include "VornPaths.h"

#include <memory>

namespace {

// Their names are the keys in the settings file: never change one.
constexpr const char *kNames[] = {
    "Start with new compilation",
    "Prompt to save unsaved compilations when exiting",
    "Remember last used volume name",
    "Show compilation size in the status bar",
    "Allow semicolons in Joliet names",
    "Show original path with ISO compilation",
    "Cache directory:",
    "Cache drag-and-dropped files from disc drives",
    "Cache drag-and-dropped tracks from disc drives",
    "Play a sound when burn process is successful",
    "Burn process successful sound path",
    "Play a sound when burn process is unsuccessful",
    "Burn process unsuccessful sound path",
    "Play a sound when the application is waiting for a disc",
    "Waiting for disc sound path",
    "Linux audio driver",
    "Audio plug-ins directory",
    "Enable CD overburning",
    "Use absolute CD overburning",
    "Relative CD overburning size in frames",
    "Absolute CD overburning size in frames",
    "Enable DVD overburning",
    "DVD overburning max size in MB",
    "Enable generation of short lead-out",
    "Do not eject the disc after the burn is complete",
    "Reload the disc after the burn is complete",
    "Allow to disable finalizing for a disc image",
    "Allow all recorder formats for Image Recorder",
    "Use Internet Audio CD database",
    "Audio CD database read server host",
    "Audio CD database read server port",
    "Audio CD database read server e-mail address",
    "Use proxy server for audio CD database connection",
    "Audio CD database proxy host",
    "Audio CD database proxy port",
    "Audio CD database proxy username",
    "Audio CD database proxy password",
    "Steadyfill automatic configuration",
    "Steadyfill buffer size in MB",
    "Check if /proc (and /sys) directory is correctly mounted at startup",
    "Perform device permissions checks at startup",
    "Check IDE devices driver at startup",
    "Check if DMA acceleration is set for IDE devices at startup",
    "Check for mounted devices at startup",
    "Show hidden files and folders in the file browser",
    "Exclude hidden files and folders when adding items to the compilation",
    "Confirm file rename",
    "Confirm file name extension change",
    "Remember last action chosen when a name conflict occurs",
    "Follow symbolic links by default",
    "Disable delete, copy and move operations within the file browser",
    "Default sort for file explorer",
    "File explorer startup directory",
    "File explorer custom startup directory",
    "Eject disc after erasing",
    "Reload disc after erasing",
    "Show the erase button in the toolbar",
    "Automatically save the configuration files",
    "Default configuration files save time interval in minutes",
    "Internet browser type",
    "Custom Internet browser path",
    "Offer to burn image when adding a single image file to a compilation",
    "Warn when adding DVD-Video content to an unsuitable compilation type",
    "Default active recorder",
    "Show the main window toolbar",
    "Show the main window statusbar",
    "Show the file browser by default in the compilation window",
    "Compilation window type",
    "Main window maximized by default",
    "Default main window X position",
    "Default main window Y position",
    "Default main window width",
    "Default main window height",
    "Default file extension for encoding engine",
    "Audio tracks encoding filename creation method",
    "Audio tracks encoding filename template",
};
static_assert(std::size(kNames) == 76);

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

// Adds options in ascending id order, each named from the table.
class Filler {
public:
    explicit Filler(OptionsDatabase *database) : database_(database) {}
    void boolean(bool value) { add(BooleanOption_New(id_, name(), value ? 1 : 0)); }
    void integer(gint64 value) { add(IntegerOption_New(id_, name(), value)); }
    // A path or a name typed by the user: kept in whatever character set it came in.
    void variableText(const gchar *value) { add(StringOption_NewWithVariableEncoding(id_, name(), "", value)); }
    void unicodeText(const gchar *value) { add(StringOption_NewUnicode(id_, name(), value)); }
    // Sent to a server as it stands, so held in the locale's character set.
    void localeText(const gchar *value) { add(StringOption_NewLocaleEncoded(id_, name(), value)); }
    void device(const VornDeviceEntry *entry) { add(ScsiDeviceOption_New(id_, name(), entry)); }

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

}  // namespace

vorn::options::tables::NameTable vorn::options::tables::globalSettingsNames() noexcept
{
    return kNames;
}

void GlobalSettingsDatabase_Init() noexcept
{
    GlobalSettingsOptionsDatabase = OptionsDatabase_New("GlobalSettings", 1);
    if (!GlobalSettingsOptionsDatabase)
        return;
    // The proxy defaults follow "http_proxy" as it is when the database is made.
    const gint useProxy = ProxyHandling_UseProxy();
    const OwnedText proxyHost(ProxyHandling_GetProxyHost());
    const gint proxyPort = ProxyHandling_GetProxyPort();
    const OwnedText proxyUser(ProxyHandling_GetProxyUsername());
    const OwnedText proxyPassword(ProxyHandling_GetProxyPassword());
    auto orEmpty = [](const OwnedText &text) { return text ? text.get() : ""; };

    VornDeviceEntry noRecorder{};
    vorn::options::device_entry::initInvalid(noRecorder);

    Filler add(GlobalSettingsOptionsDatabase);
    add.boolean(true);   // 0 start with new compilation
    add.boolean(true);   // 1 prompt to save at exit
    add.boolean(true);   // 2 remember volume name
    add.boolean(true);   // 3 compilation size in the status bar
    add.boolean(false);  // 4 semicolons in Joliet names
    add.boolean(true);   // 5 original path with ISO compilation
    add.variableText(g_get_tmp_dir());  // 6 cache directory
    add.boolean(false);  // 7
    add.boolean(false);  // 8
    add.boolean(false);  // 9 sound on success
    add.variableText(VORN_SOUNDS_DIR "/Trumpet.wav");
    add.boolean(false);  // 11 sound on failure
    add.variableText(VORN_SOUNDS_DIR "/Boo.wav");
    add.boolean(false);  // 13 sound when waiting for a disc
    add.variableText(VORN_SOUNDS_DIR "/DingDong.wav");
    add.unicodeText("Open Sound System (OSS)");  // 15
    add.variableText(VORN_PLUGINS_DIR);          // 16
    add.boolean(false);   // 17 CD overburning
    add.boolean(true);    // 18 absolute CD overburning
    add.integer(6750);    // 19 relative size, frames
    add.integer(369000);  // 20 absolute size, frames
    add.boolean(false);   // 21 DVD overburning
    add.integer(4500);    // 22 DVD size, MB
    add.boolean(false);   // 23 short lead-out
    add.boolean(false);   // 24
    add.boolean(false);   // 25
    add.boolean(false);   // 26
    add.boolean(false);   // 27
    add.boolean(true);    // 28 Internet CD database
    add.localeText("gnudb.gnudb.org");  // 29
    add.integer(80);                    // 30
    add.localeText("vorn-user@example.org");  // 31
    add.boolean(useProxy != 0);               // 32
    add.localeText(orEmpty(proxyHost));       // 33
    add.integer(proxyPort == -1 ? 8080 : proxyPort);
    add.localeText(orEmpty(proxyUser));       // 35
    add.localeText(orEmpty(proxyPassword));   // 36
    add.boolean(true);  // 37 Steadyfill automatic
    add.integer(80);    // 38 Steadyfill MB
    for (int check = 39; check <= 43; ++check)
        add.boolean(true);  // the start-up checks
    add.boolean(false);  // 44 hidden files shown
    add.boolean(false);  // 45 hidden files excluded
    add.boolean(true);   // 46
    add.boolean(true);   // 47
    add.boolean(true);   // 48
    add.boolean(true);   // 49 follow symbolic links
    add.boolean(false);  // 50
    add.integer(1);      // 51
    add.integer(1);      // 52
    add.variableText("/");  // 53
    add.boolean(true);   // 54 eject after erasing
    add.boolean(false);  // 55
    add.boolean(false);  // 56
    add.boolean(true);   // 57 autosave
    add.integer(3);      // 58 autosave minutes
    add.integer(0);      // 59
    add.variableText("");  // 60
    add.boolean(true);   // 61
    add.boolean(true);   // 62
    add.device(&noRecorder);  // 63
    add.boolean(true);   // 64
    add.boolean(true);   // 65
    add.boolean(true);   // 66
    add.integer(2);      // 67
    add.boolean(false);  // 68
    add.integer(-1);     // 69 window X, not set
    add.integer(-1);     // 70 window Y, not set
    add.integer(1024);   // 71
    add.integer(768);    // 72
    add.variableText("wav");  // 73
    add.integer(0);           // 74
    add.unicodeText("(%N) %A - %T.%E");  // 75
}
