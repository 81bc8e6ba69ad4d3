#include "GlobalSettings.h"

#include "AudioPluginManagerLoader.h"
#include "ConfigFile.h"
#include "Debugger.h"
#include "OptionsDatabase.h"
#include "VornAPI.h"

#include <cstdint>
#include <memory>

namespace {

enum GlobalSetting : gint32 {
    kCacheDirectory = 6,
    kAudioPluginsDirectory = 16,
    kCdOverburn = 17,
    kCdOverburnAbsolute = 18,
    kCdOverburnRelativeFrames = 19,
    kCdOverburnAbsoluteFrames = 20,
    kDvdOverburn = 21,
    kDvdOverburnMegabytes = 22,
    kShortLeadOut = 23,
    kSteadyfillAutomatic = 37,
    kSteadyfillMegabytes = 38,
    kAutosave = 57,
    kAutosaveMinutes = 58,
};

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};

OptionsDatabase *settings() noexcept
{
    return GlobalSettingsOptionsDatabase;
}

bool flag(gint32 id) noexcept
{
    return OptionsDatabase_GetBooleanOptionValue(settings(), id) != 0;
}

// The engine takes 32-bit values; a size too large for them is cut, as the
// engine's own interface would.
std::int32_t number(gint64 value) noexcept
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::int32_t integer(gint32 id) noexcept
{
    return number(OptionsDatabase_GetIntegerOptionValue(settings(), id));
}

void setEngineOption(int engineOption, std::int32_t value) noexcept
{
    // The engine's answer is not examined: a refused value leaves its default.
    VornSetOption(engineOption, &value);
}

gint32 idOf(VornOption *option) noexcept
{
    return option ? option->id : -1;
}

void onCacheDirectoryChanged(VornOption *, gpointer) noexcept
{
    std::unique_ptr<gchar, GFree> folder(OptionsDatabase_GetStringOptionValue(settings(), kCacheDirectory));
    if (!folder)
        return;
    debugger_DummyOut("New cache directory: %s\n", folder.get());
    g_setenv("TMPDIR", folder.get(), TRUE);
}

void onAudioPluginsDirectoryChanged(VornOption *, gpointer) noexcept
{
    AudioPluginManagerLoader_Restart();
}

void onSteadyfillChanged(VornOption *, gpointer) noexcept
{
    const bool automatic = flag(kSteadyfillAutomatic);
    const std::int32_t bytes = automatic ? 0 : number(OptionsDatabase_GetIntegerOptionValue(settings(), kSteadyfillMegabytes) << 20);
    setEngineOption(VORN_OPTION_STEADYFILL_BUFFER, bytes);
    debugger_DummyOut("Steadyfill Automatic Configuration: %d\n", automatic ? 1 : 0);
    debugger_DummyOut("Steadyfill Buffer Size: %d\n", bytes);
}

// The CD overburn limit as the mode asks: absolute frames as option 4,
// frames past the nominal capacity as option 7.
void sendCdOverburnSize() noexcept
{
    if (flag(kCdOverburnAbsolute))
        setEngineOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, integer(kCdOverburnAbsoluteFrames));
    else
        setEngineOption(VORN_OPTION_CD_OVERBURN_RELATIVE, integer(kCdOverburnRelativeFrames));
}

std::int32_t dvdOverburnBlocks() noexcept
{
    // Megabytes in 2048-byte blocks.
    return number(OptionsDatabase_GetIntegerOptionValue(settings(), kDvdOverburnMegabytes) << 9);
}

void onOverburnEnabledChanged(VornOption *option, gpointer) noexcept
{
    if (idOf(option) == kCdOverburn) {
        if (flag(kCdOverburn))
            sendCdOverburnSize();
        else
            setEngineOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, 0);
    } else if (idOf(option) == kDvdOverburn) {
        setEngineOption(VORN_OPTION_DVD_OVERBURN, flag(kDvdOverburn) ? dvdOverburnBlocks() : 0);
    }
}

void onCdOverburnModeChanged(VornOption *, gpointer) noexcept
{
    if (flag(kCdOverburn))
        sendCdOverburnSize();
}

void onOverburnSizeChanged(VornOption *option, gpointer) noexcept
{
    switch (idOf(option)) {
    case kCdOverburnAbsoluteFrames:
        if (flag(kCdOverburn))
            setEngineOption(VORN_OPTION_CD_OVERBURN_ABSOLUTE, integer(kCdOverburnAbsoluteFrames));
        break;
    case kCdOverburnRelativeFrames:
        if (flag(kCdOverburn))
            setEngineOption(VORN_OPTION_CD_OVERBURN_RELATIVE, integer(kCdOverburnRelativeFrames));
        break;
    case kDvdOverburnMegabytes:
        if (flag(kDvdOverburn))
            setEngineOption(VORN_OPTION_DVD_OVERBURN, dvdOverburnBlocks());
        break;
    default:
        break;
    }
}

void onShortLeadOutChanged(VornOption *, gpointer) noexcept
{
    setEngineOption(VORN_OPTION_SHORT_LEADOUT, flag(kShortLeadOut) ? 1 : 0);
}

void onAutosaveChanged(VornOption *, gpointer) noexcept
{
    ConfigFile_StopAutosave();
    if (flag(kAutosave))
        ConfigFile_StartAutosave();
}

using Handler = void (*)(VornOption *, gpointer) noexcept;

VornOption *connect(gint32 id, Handler handler) noexcept
{
    VornOption *option = OptionsDatabase_GetOptionFromID(settings(), id);
    if (option)
        g_signal_connect(option, "vorn_value_changed", G_CALLBACK(handler), nullptr);
    return option;
}

void connectAndRun(std::initializer_list<gint32> ids, Handler handler) noexcept
{
    VornOption *options[4] = {};
    std::size_t count = 0;
    for (gint32 id : ids)
        options[count++] = connect(id, handler);
    for (std::size_t i = 0; i < count; ++i) {
        if (options[i])
            handler(options[i], nullptr);
    }
}

}  // namespace

void GlobalSettingsDatabase_RegisterVornAPICallbacks() noexcept
{
    if (!settings())
        return;
    connectAndRun({kCacheDirectory}, onCacheDirectoryChanged);
    connect(kAudioPluginsDirectory, onAudioPluginsDirectoryChanged);
    connectAndRun({kSteadyfillAutomatic, kSteadyfillMegabytes}, onSteadyfillChanged);
    connectAndRun({kCdOverburn, kDvdOverburn}, onOverburnEnabledChanged);
    connectAndRun({kCdOverburnAbsolute}, onCdOverburnModeChanged);
    connectAndRun({kCdOverburnRelativeFrames, kCdOverburnAbsoluteFrames, kDvdOverburnMegabytes},
                  onOverburnSizeChanged);
    connectAndRun({kShortLeadOut}, onShortLeadOutChanged);
    // One run for the pair: it starts the autosave, which saves once.
    if (VornOption *autosave = connect(kAutosave, onAutosaveChanged)) {
        connect(kAutosaveMinutes, onAutosaveChanged);
        onAutosaveChanged(autosave, nullptr);
    }
}
