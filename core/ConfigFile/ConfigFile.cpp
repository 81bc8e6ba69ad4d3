#include "ConfigFile.h"

#include "ConfigFileInternal.h"
#include "Debugger.h"
#include "OptionsDatabase.h"
#include "OptionsXMLReader.h"
#include "VornPaths.h"

#include <glib/gstdio.h>

#include <cstdio>
#include <memory>

namespace {

constexpr char kUserFolderName[] = ".vorn";
constexpr char kFileName[] = "config";
// The global setting with the autosave interval.
constexpr gint32 kAutosaveMinutesId = 58;
// The reader is fed in pieces this large, so no line is too long for it.
constexpr std::size_t kPieceBytes = 255;

guint autosaveTimer = 0;

struct GFree {
    void operator()(void *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

struct ReaderFree {
    void operator()(OptionsXMLReader *r) const noexcept { OptionsXMLReader_Free(r); }
};

struct FileClose {
    void operator()(FILE *f) const noexcept { std::fclose(f); }
};

OwnedText userFilePath() noexcept
{
    return OwnedText(g_strdup_printf("%s/%s/%s", g_get_home_dir(), kUserFolderName, kFileName));
}

void makeUserFolder() noexcept
{
    OwnedText folder(ConfigFile_GetUserConfigPath());
    // An existing folder keeps its mode.
    g_mkdir(folder.get(), 0700);
}

gboolean autosaveTick(gpointer) noexcept
{
    debugger_DummyOut("Autosaving configuration files\n");
    ConfigFile_SaveUserConfigFile();
    return G_SOURCE_CONTINUE;
}

}  // namespace

bool vorn::configfile::readSettingsText(std::string_view text) noexcept
{
    std::unique_ptr<OptionsXMLReader, ReaderFree> reader(OptionsXMLReader_New());
    if (!reader)
        return false;
    while (!text.empty()) {
        const std::string_view piece = text.substr(0, kPieceBytes);
        GError *error = nullptr;
        if (!OptionsXMLReader_Feed(reader.get(), piece.data(), static_cast<gssize>(piece.size()), &error)) {
            debugger_DummyOut("Error: %s\n", error ? error->message : "");
            g_clear_error(&error);
            return false;
        }
        text.remove_prefix(piece.size());
    }
    return true;
}

bool vorn::configfile::readSettingsFile(const char *path) noexcept
{
    std::unique_ptr<FILE, FileClose> file(path ? std::fopen(path, "r") : nullptr);
    if (!file)
        return false;
    std::unique_ptr<OptionsXMLReader, ReaderFree> reader(OptionsXMLReader_New());
    if (!reader)
        return false;
    char piece[kPieceBytes];
    std::size_t length;
    while ((length = std::fread(piece, 1, sizeof piece, file.get())) > 0) {
        GError *error = nullptr;
        if (!OptionsXMLReader_Feed(reader.get(), piece, static_cast<gssize>(length), &error)) {
            debugger_DummyOut("Error: %s\n", error ? error->message : "");
            g_clear_error(&error);
            return false;
        }
    }
    // The end of input is not signalled: a last element cut off is dropped quietly.
    return !std::ferror(file.get());
}

std::string vorn::configfile::settingsDocument()
{
    char *buffer = nullptr;
    std::size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    if (!stream)
        throw std::bad_alloc();
    std::fprintf(stream,
                 "<!-- %s configuration file. -->\n"
                 "<!-- Do not edit it manually unless you know what you are doing. -->\n\n",
                 VORN_APP_NAME);
    std::fprintf(stream, "<?xml version='1.0' encoding='UTF-8'?>\n");
    std::fprintf(stream, "<VornLinux version='%s' />\n", kSettingsVersion);
    OptionsDatabase_SerializeDatabasesToXML(stream, 0);
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    std::unique_ptr<char, decltype(&std::free)> owned(buffer, &std::free);
    if (failed)
        throw std::bad_alloc();
    return std::string(buffer, size);
}

void vorn::configfile::parseSettingsFiles(const char *systemFile) noexcept
{
    readSettingsFile(systemFile);
    makeUserFolder();
    readSettingsFile(userFilePath().get());
}

guint vorn::configfile::autosaveSource() noexcept
{
    return autosaveTimer;
}

gchar *ConfigFile_GetUserConfigPath() noexcept
{
    return g_strdup_printf("%s/%s", g_get_home_dir(), kUserFolderName);
}

void ConfigFile_ParseConfigFiles() noexcept
{
    vorn::configfile::parseSettingsFiles(VORN_SYSCONF_DIR "/config");
}

gint ConfigFile_SaveUserConfigFile() noexcept
{
    try {
        makeUserFolder();
        const std::string document = vorn::configfile::settingsDocument();
        std::string error;
        if (!vorn::configfile::replaceFileContents(userFilePath().get(), document, &error)) {
            debugger_DummyOut("%s\n", error.c_str());
            return 0;
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

gint ConfigFile_StartAutosave() noexcept
{
    ConfigFile_StopAutosave();
    const gint64 minutes = OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, kAutosaveMinutesId);
    if (minutes > 0) {
        // GLib counts in an unsigned int of milliseconds: about 49 days at most.
        constexpr gint64 kMaxMinutes = G_MAXUINT / 60000;
        const guint milliseconds = static_cast<guint>(std::min(minutes, kMaxMinutes) * 60000);
        autosaveTimer = g_timeout_add(milliseconds, autosaveTick, nullptr);
    }
    ConfigFile_SaveUserConfigFile();
    return 1;
}

gint ConfigFile_StopAutosave() noexcept
{
    if (autosaveTimer) {
        g_source_remove(autosaveTimer);
        autosaveTimer = 0;
    }
    return 1;
}
