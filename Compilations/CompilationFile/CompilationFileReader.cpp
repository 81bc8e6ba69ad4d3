#include "CompilationFileReader.h"

#include "AudioDiscCompilation.h"
#include "CompilationOptions.h"
#include "DataDiscCompilation.h"
#include "DataDiscFileSystem.h"
#include "Debugger.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "MixedModeDiscCompilation.h"
#include "Option.h"
#include "VfsIoControlCodes.h"
#include "VornKitDevicesManagement.h"

#include <glib/gi18n.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace vorn::compilationfile {

namespace {

std::atomic<SaveOperation> installedSaveOperation{nullptr};

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

enum Flag : unsigned {
    IN_OPTIONS = 1,
    IN_FILE_SYSTEM = 2,
    IN_NAMES = 4,
    IN_AUDIO_TRACKS = 8,
    IN_TRACK = 16,
    IN_STATISTICS = 32,
    IN_DATA_TRACK = 64,
    IN_CD_TRACK = 128,
};

// A number the way the file writes it, refusing what does not fit rather than
// wrapping it: a hostile 99999999999999999999 counts for nothing.
std::optional<gint64> parseNumber(const gchar *text, gint64 minimum, gint64 maximum)
{
    if (!text)
        return std::nullopt;
    gchar *end = nullptr;
    errno = 0;
    const gint64 value = g_ascii_strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

// Names from the file become names inside the compilation: they must name one
// item, never a path.
bool isPlainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The attribute at `position` when it has exactly that name.
const gchar *attributeAt(const gchar **names, const gchar **values, int position, const char *name)
{
    for (int i = 0; i < position; ++i)
        if (!names[i])
            return nullptr;
    if (!names[position] || std::strcmp(names[position], name) != 0)
        return nullptr;
    return values[position];
}

// "encoding" then "value": the stored bytes, converted back from UTF-8.
std::optional<std::string> textAttributes(const gchar **names, const gchar **values)
{
    const gchar *encoding = attributeAt(names, values, 0, "encoding");
    const gchar *value = attributeAt(names, values, 1, "value");
    if (!encoding || !value)
        return std::nullopt;
    gsize written = 0;
    OwnedText converted(g_convert(value, -1, encoding, "UTF-8", nullptr, &written, nullptr));
    if (!converted)
        return std::nullopt;
    return std::string(converted.get(), written);
}

struct ItemRecord {
    std::optional<std::string> names[VFS_NAME_KINDS];
    std::string origin;
    gint32 additionTime = 0;
    gint32 priority = 0;
    bool isDirectory = false;
};

struct TrackRecord {
    std::string artist, title, isrc, origin, stamp;
    gint32 pregap = 0;
    bool isProtected = false;
    int sourceKind = 0;
    guint32 trackNumber = 0, startBlock = 0, length = 0;
};

// One Directory or File element being read.
enum class Frame { Ignored, Pending, Entered, Skipped, File };

VornDeviceEntry *deviceEntries(VornKitDevicesInfo *list)
{
    return reinterpret_cast<VornDeviceEntry *>(reinterpret_cast<char *>(list) + VORN_DEVICE_LIST_HEADER_SIZE);
}

bool discStampMatches(const VornDeviceEntry &entry, const std::string &stamp)
{
    VornDevice *device = VornOpenDevice(&entry);
    if (!device)
        return false;
    char *found = VornGetCDStampHash(device);
    const bool matches = found && stamp == found;
    if (found)
        VornFreeMem(found);
    VornCloseDevice(device);
    return matches;
}

}  // namespace

void LoadObserver::totalKnown(std::uint64_t) noexcept {}
void LoadObserver::itemStarted(const char *) noexcept {}

int LoadObserver::askWarning(const std::string &text, const std::string &title) noexcept
{
    try {
        dialogs::RoleScope role("compilation-source-disc");
        gdk_threads_enter();
        const int answer =
            VornKit_DialogBox_ModalWarningDialog(text.c_str(), title.c_str(), _("Warning"), nullptr, 1);
        gdk_threads_leave();
        return answer;
    } catch (...) {
        return VORNKIT_RESPONSE_CANCEL;
    }
}

void setSaveOperation(SaveOperation operation) noexcept
{
    installedSaveOperation = operation;
}

struct CompilationReader::State {
    LoadObserver *observer;
    LoadObserver fallbackObserver;
    std::optional<VornDeviceEntry> device;
    gpointer parentWindow;
    GMarkupParseContext *context = nullptr;
    bool damaged = false;
    int damagedLine = 0;
    std::string damage;

    Compilation *compilation = nullptr;
    unsigned flags = 0;
    std::optional<ItemRecord> item;
    std::optional<TrackRecord> track;
    std::string currentPath;  // "" for the root
    std::vector<Frame> frames;
    int enteredDepth = 0;
    int skippedDepth = 0;  // frames inside a directory that was left out
    gint64 filesCount = 0, foldersCount = 0;
    gint32 audioTracksCount = 0;
    int trackCounter = 1;
    // Rebuilding the tree counts as a change and stamps the clock's date;
    // the loaded compilation keeps the date it was saved with.
    std::optional<gint64> savedModificationDate;

    VirtualFileSystem *dataTarget() const
    {
        VirtualFileSystem *fileSystem = compilation ? compilation->fileSystem : nullptr;
        if (fileSystem && (IS_VORN_DATA_DISC_VFS(fileSystem) || fileSystem->kind == VFS_KIND_MIXED_MODE_DISC))
            return fileSystem;
        return nullptr;
    }
    VirtualFileSystem *audioTarget() const
    {
        VirtualFileSystem *fileSystem = compilation ? compilation->fileSystem : nullptr;
        if (fileSystem && (fileSystem->kind == VFS_KIND_AUDIO_DISC || fileSystem->kind == VFS_KIND_MIXED_MODE_DISC))
            return fileSystem;
        return nullptr;
    }
    std::string folderPath() const { return currentPath.empty() ? "/" : currentPath; }

    void createCompilation(const gchar **names, const gchar **values);
    void startElement(const gchar *element, const gchar **names, const gchar **values);
    void endElement(const gchar *element);
    void tellItem(const ItemRecord &record);
    void enterDirectory();
    void addFile(const ItemRecord &record);
    void addTrack(const TrackRecord &record);
    std::optional<VornDeviceEntry> findDisc(const std::string &stamp, const std::string &question);
    bool importPreviousSession();
};

void CompilationReader::State::createCompilation(const gchar **names, const gchar **values)
{
    if (compilation)
        return;  // one compilation per file: later elements are ignored
    const auto type = parseNumber(attributeAt(names, values, 0, "type"), G_MININT32, 10);
    if (!type)
        return;
    switch (*type) {
    case COMPILATION_TYPE_ISO: compilation = DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD); break;
    case COMPILATION_TYPE_UDF: compilation = DataDiscCompilation_NewUdfDataDisc(COMPILATION_MEDIUM_CD); break;
    case COMPILATION_TYPE_UDF_ISO_BRIDGE:
        compilation = DataDiscCompilation_NewUdfIsoBridgeDataDisc(COMPILATION_MEDIUM_CD);
        break;
    case COMPILATION_TYPE_BOOTABLE: compilation = DataDiscCompilation_NewBootableDisc(COMPILATION_MEDIUM_CD); break;
    case COMPILATION_TYPE_AUDIO: compilation = AudioDiscCompilation_NewAudioDisc(); break;
    case COMPILATION_TYPE_MIXED_MODE: compilation = MixedModeDiscCompilation_NewMixedModeDisc(); break;
    case COMPILATION_TYPE_ENHANCED: compilation = MixedModeDiscCompilation_NewEnhancedDisc(); break;
    case COMPILATION_TYPE_DVD_VIDEO: compilation = DataDiscCompilation_NewVideoDisc(COMPILATION_MEDIUM_CD); break;
    default: break;
    }
    if (compilation)
        if (SaveOperation save = installedSaveOperation.load())
            compilation->operations.SaveCompilation = save;
}

void CompilationReader::State::tellItem(const ItemRecord &record)
{
    const auto &shown = record.names[VFS_NAME_KIND_USER] ? record.names[VFS_NAME_KIND_USER]
                                                         : record.names[VFS_NAME_KIND_JOLIET];
    observer->itemStarted(shown ? shown->c_str() : "");
}

void CompilationReader::State::enterDirectory()
{
    ItemRecord record = std::move(*item);
    item.reset();
    Frame &frame = frames.back();
    frame = Frame::Skipped;
    tellItem(record);
    VirtualFileSystem *target = dataTarget();
    const auto &name = record.names[VFS_NAME_KIND_JOLIET];
    if (!target || !name || !isPlainName(*name) || enteredDepth >= kMaxDirectoryDepth)
        return;
    VfsDirectoryEntry *existing = nullptr;
    VfsDirectoryEntry *created =
        VFS_CreateDirectoryEx(target, folderPath().c_str(), name->c_str(), &existing,
                              record.origin.empty() ? nullptr : record.origin.c_str(), 0, 0, 0, 0, 0, 0, 0, 0);
    // A folder the new compilation already has (DVD-Video's VIDEO_TS) takes
    // the saved contents.
    VfsDirectoryEntry *entry = created ? created : existing;
    const bool isFolder = entry && entry->type == VFS_ENTRY_DIRECTORY && entry->names[VFS_NAME_KIND_USER];
    if (isFolder) {
        currentPath += "/";
        currentPath += entry->names[VFS_NAME_KIND_USER];
        frame = Frame::Entered;
        ++enteredDepth;
        if (created) {
            VFS_SetItemCompilationAdditionDate(target, currentPath.c_str(), record.additionTime);
            VFS_SetItemPriority(target, currentPath.c_str(), record.priority);
        }
    }
    VFS_FreeDirectoryEntry(created);
    VFS_FreeDirectoryEntry(existing);
}

void CompilationReader::State::addFile(const ItemRecord &record)
{
    tellItem(record);
    VirtualFileSystem *target = dataTarget();
    if (!target || record.origin.empty() || !compilation->localFileSystem)
        return;
    VfsDirectoryEntry *entry =
        VFS_CopyEx(compilation->localFileSystem, record.origin.c_str(), target, folderPath().c_str(),
                   VFS_NAME_KIND_USER, nullptr, 0, 0, 0, 1, 0, nullptr, 0, 0, 0, 0);
    if (!entry)
        return;  // the origin is gone, or its name is taken here
    if (entry->names[VFS_NAME_KIND_USER]) {
        std::string path = currentPath + "/" + entry->names[VFS_NAME_KIND_USER];
        VFS_SetItemCompilationAdditionDate(target, path.c_str(), record.additionTime);
        VFS_SetItemPriority(target, path.c_str(), record.priority);
        for (gint kind : {VFS_NAME_KIND_ISO_1, VFS_NAME_KIND_ISO_2, VFS_NAME_KIND_USER}) {
            const auto &name = record.names[kind];
            if (!name || !isPlainName(*name))
                continue;
            if (VFS_RenameEx(target, path.c_str(), name->c_str(), kind, 0, 0, 0, 0) == 0 &&
                kind == VFS_NAME_KIND_USER)
                path = currentPath + "/" + *name;
        }
    }
    VFS_FreeDirectoryEntry(entry);
}

std::optional<VornDeviceEntry> CompilationReader::State::findDisc(const std::string &stamp,
                                                                  const std::string &question)
{
    for (;;) {
        if (device && discStampMatches(*device, stamp))
            return device;
        if (VornKitDevicesInfo *list = VornKit_DevicesManagement_GetDevicesInfoStructure()) {
            std::optional<VornDeviceEntry> found;
            VornDeviceEntry *entries = deviceEntries(list);
            for (int32_t i = 0; i < list->count && !found; ++i)
                if (discStampMatches(entries[i], stamp))
                    found = entries[i];
            VornKit_DevicesManagement_FreeDevicesInfoStructure(list);
            if (found)
                return found;
        }
        if (observer->askWarning(question, _("Source disc cannot be found.")) != VORNKIT_RESPONSE_OK)
            return std::nullopt;
    }
}

// Imports the session the saved compilation continued. The data disc file
// system reads it from the recorder holding the disc.
bool CompilationReader::State::importPreviousSession()
{
    if (!IS_VORN_DATA_DISC_VFS(compilation->fileSystem) || compilation->type < COMPILATION_TYPE_ISO ||
        compilation->type > COMPILATION_TYPE_UDF_ISO_BRIDGE)
        return false;
    OwnedText stamp(OptionsDatabase_GetStringOptionValue(compilation->options, 10));
    const gint64 trackNumber = OptionsDatabase_GetIntegerOptionValue(compilation->options, 11);
    const auto found = findDisc(
        stamp ? stamp.get() : "",
        _("The compilation you are trying to load continues a multisession disc, However, this disc cannot be "
          "found in any of your drives.\n\nPlease insert the correct disc in this recorder and click on 'OK'. "
          "Please note that if you click on 'Cancel', the information present on the previous sessions will not "
          "be imported."));
    if (!found)
        return false;
    VornDevice *recorder = VornOpenDevice(&*found);
    if (!recorder)
        return false;
    DataDiscImportTrackArguments arguments{recorder, static_cast<gint32>(trackNumber), 0};
    const bool imported =
        VFS_IoControl(compilation->fileSystem, VFS_IOCTL_IMPORT_TRACK, &arguments) == 0 && arguments.result == 1;
    VornCloseDevice(recorder);
    return imported;
}

void CompilationReader::State::addTrack(const TrackRecord &record)
{
    gchar *text = g_strdup_printf(_("Audiotrack #%d"), trackCounter);
    observer->itemStarted(text);
    g_free(text);
    ++trackCounter;
    // Tracks go into the audio file system; until compilations have one, the
    // saved tracks are read and left out.
    (void)record;
}

void CompilationReader::State::startElement(const gchar *element, const gchar **names, const gchar **values)
{
    const std::string_view name(element);
    if (name == "Compilation") {
        createCompilation(names, values);
        return;
    }
    if (!IS_VORN_COMPILATION(compilation))
        return;
    const auto has = [this](unsigned bits) { return (flags & bits) == bits; };
    if (has(IN_FILE_SYSTEM) && (name == "Directory" || name == "File")) {
        if (skippedDepth > 0 || !dataTarget() || item) {
            frames.push_back(Frame::Ignored);
            if (skippedDepth > 0)
                ++skippedDepth;
            return;
        }
        item.emplace();
        item->isDirectory = name == "Directory";
        frames.push_back(item->isDirectory ? Frame::Pending : Frame::File);
        return;
    }
    if (name == "OptionsDB") {
        if (flags == 0)
            flags = IN_OPTIONS;
    } else if (name == "Option") {
        if (flags == IN_OPTIONS && OptionsDatabase_SetOptionValueFromXML(compilation->options, names, values)) {
            // Later options reach the file system, and its change signal
            // stamps the clock's date: keep the date as the file has it.
            VornOption *date = OptionsDatabase_GetOptionFromID(compilation->options,
                                                               COMPILATION_OPTION_MODIFICATION_DATE);
            if (date && date->name && names[0] && std::strcmp(names[0], "name") == 0 &&
                std::strcmp(values[0], date->name) == 0)
                savedModificationDate = OptionsDatabase_GetIntegerOptionValue(compilation->options,
                                                                              COMPILATION_OPTION_MODIFICATION_DATE);
        }
    } else if (name == "Statistics") {
        if (flags == 0)
            flags = IN_STATISTICS;
    } else if (name == "DataTrack") {
        if (flags == IN_STATISTICS)
            flags |= IN_DATA_TRACK;
    } else if (name == "Files" || name == "Folders") {
        if (has(IN_STATISTICS | IN_DATA_TRACK))
            if (auto value = parseNumber(attributeAt(names, values, 0, "value"), G_MININT64, G_MAXINT64))
                (name == "Files" ? filesCount : foldersCount) = *value;
    } else if (name == "AudioTracks") {
        if (flags == 0 || flags == IN_STATISTICS)
            flags |= IN_AUDIO_TRACKS;
    } else if (name == "Count") {
        if (has(IN_STATISTICS | IN_AUDIO_TRACKS))
            if (auto value = parseNumber(attributeAt(names, values, 0, "value"), G_MININT32, G_MAXINT32))
                audioTracksCount = static_cast<gint32>(*value);
    } else if (name == "FileSystem") {
        if (flags == 0) {
            flags = IN_FILE_SYSTEM;
            if (OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) ==
                    MULTISESSION_CONTINUE &&
                !importPreviousSession())
                OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                                      MULTISESSION_NONE);
        }
    } else if (name == "Names") {
        if (has(IN_FILE_SYSTEM) && item)
            flags |= IN_NAMES;
    } else if (name == "Original" || name == "IsoLevel1" || name == "IsoLevel2" || name == "Joliet") {
        if (has(IN_FILE_SYSTEM | IN_NAMES) && item) {
            const int kind = name == "Original" ? VFS_NAME_KIND_JOLIET
                             : name == "IsoLevel1" ? VFS_NAME_KIND_ISO_1
                             : name == "IsoLevel2" ? VFS_NAME_KIND_ISO_2
                                                   : VFS_NAME_KIND_USER;
            if (auto text = textAttributes(names, values))
                item->names[kind] = std::move(*text);
        }
    } else if (name == "Origin") {
        if (has(IN_FILE_SYSTEM) && item) {
            if (auto text = textAttributes(names, values))
                item->origin = std::move(*text);
        } else if (has(IN_TRACK) && track) {
            if (auto text = textAttributes(names, values)) {
                track->origin = std::move(*text);
                track->sourceKind = 1;
            }
        }
    } else if (name == "AddedTime" || name == "Priority") {
        if (has(IN_FILE_SYSTEM) && item)
            if (auto value = parseNumber(attributeAt(names, values, 0, "value"), G_MININT32, G_MAXINT32))
                (name == "AddedTime" ? item->additionTime : item->priority) = static_cast<gint32>(*value);
    } else if (name == "Items") {
        if (has(IN_FILE_SYSTEM) && item && item->isDirectory && !frames.empty() && frames.back() == Frame::Pending)
            enterDirectory();
    } else if (name == "Track") {
        if (has(IN_AUDIO_TRACKS) && audioTarget() && !track) {
            track.emplace();
            flags |= IN_TRACK;
        }
    } else if (name == "AudioTrack") {
        if (has(IN_AUDIO_TRACKS | IN_TRACK) && track) {
            track->sourceKind = 2;
            track->stamp.clear();
            track->trackNumber = track->startBlock = track->length = 0;
            flags |= IN_CD_TRACK;
        }
    } else if (name == "DiscStamp") {
        if (has(IN_AUDIO_TRACKS | IN_TRACK | IN_CD_TRACK) && track && track->sourceKind == 2)
            if (const gchar *value = attributeAt(names, values, 0, "value"))
                track->stamp = value;
    } else if (name == "TrackNumber" || name == "StartBlock" || name == "Length") {
        if (has(IN_AUDIO_TRACKS | IN_TRACK | IN_CD_TRACK) && track && track->sourceKind == 2)
            if (auto value = parseNumber(attributeAt(names, values, 0, "value"), 0, G_MAXUINT32))
                (name == "TrackNumber" ? track->trackNumber
                 : name == "StartBlock" ? track->startBlock
                                        : track->length) = static_cast<guint32>(*value);
    } else if (name == "Artist" || name == "Title" || name == "ISRC") {
        if (has(IN_AUDIO_TRACKS | IN_TRACK) && track)
            if (auto text = textAttributes(names, values))
                (name == "Artist" ? track->artist : name == "Title" ? track->title : track->isrc) = *text;
    } else if (name == "Pregap") {
        if (has(IN_AUDIO_TRACKS | IN_TRACK) && track)
            if (auto value = parseNumber(attributeAt(names, values, 0, "value"), G_MININT32, G_MAXINT32))
                track->pregap = static_cast<gint32>(*value);
    } else if (name == "Protected") {
        if (has(IN_AUDIO_TRACKS | IN_TRACK) && track)
            track->isProtected = true;
    }
}

void CompilationReader::State::endElement(const gchar *element)
{
    if (!IS_VORN_COMPILATION(compilation))
        return;
    const std::string_view name(element);
    const auto has = [this](unsigned bits) { return (flags & bits) == bits; };
    if (has(IN_FILE_SYSTEM) && (name == "Directory" || name == "File") && !frames.empty()) {
        const Frame frame = frames.back();
        frames.pop_back();
        if (frame == Frame::Ignored) {
            if (skippedDepth > 0)
                --skippedDepth;
            return;
        }
        if (frame == Frame::File && item && !item->isDirectory) {
            ItemRecord record = std::move(*item);
            item.reset();
            addFile(record);
        } else if (frame == Frame::Entered) {
            currentPath.erase(currentPath.rfind('/'));
            --enteredDepth;
        } else if (frame == Frame::Pending) {
            item.reset();  // a folder without its Items element is left out
        } else if (frame == Frame::Skipped && skippedDepth > 0) {
            --skippedDepth;
        }
        return;
    }
    if (name == "OptionsDB") {
        if (flags == IN_OPTIONS)
            flags = 0;
    } else if (name == "FileSystem") {
        if (flags == IN_FILE_SYSTEM)
            flags = 0;
    } else if (name == "Statistics") {
        if (flags == IN_STATISTICS) {
            flags = 0;
            observer->totalKnown(static_cast<std::uint64_t>(filesCount) + static_cast<std::uint64_t>(foldersCount) +
                                 static_cast<std::uint64_t>(audioTracksCount));
        }
    } else if (name == "DataTrack") {
        if (has(IN_DATA_TRACK | IN_STATISTICS))
            flags &= ~IN_DATA_TRACK;
    } else if (name == "AudioTracks") {
        if (has(IN_AUDIO_TRACKS))
            flags &= ~IN_AUDIO_TRACKS;
    } else if (name == "AudioTrack") {
        flags &= ~IN_CD_TRACK;
    } else if (name == "Names") {
        if (has(IN_FILE_SYSTEM))
            flags &= ~IN_NAMES;
    } else if (name == "Track") {
        if (has(IN_TRACK)) {
            flags &= ~(IN_TRACK | IN_CD_TRACK);
            if (track) {
                TrackRecord record = std::move(*track);
                track.reset();
                addTrack(record);
            }
        }
    }
}

namespace {

CompilationReader::State *stateOf(gpointer data)
{
    return static_cast<CompilationReader::State *>(data);
}

void onStart(GMarkupParseContext *, const gchar *element, const gchar **names, const gchar **values, gpointer data,
             GError **) noexcept
{
    try {
        stateOf(data)->startElement(element, names, values);
    } catch (...) {
        // Out of memory for one element: it counts for nothing.
    }
}

void onEnd(GMarkupParseContext *, const gchar *element, gpointer data, GError **) noexcept
{
    try {
        stateOf(data)->endElement(element);
    } catch (...) {
    }
}

const GMarkupParser kParser = {onStart, onEnd, nullptr, nullptr, nullptr};

}  // namespace

CompilationReader::CompilationReader(LoadObserver *observer, const VornDeviceEntry *device, gpointer parentWindow)
    : state_(std::make_unique<State>())
{
    state_->observer = observer ? observer : &state_->fallbackObserver;
    if (device)
        state_->device = *device;
    state_->parentWindow = parentWindow;
    state_->context = g_markup_parse_context_new(&kParser, static_cast<GMarkupParseFlags>(0), state_.get(), nullptr);
}

CompilationReader::~CompilationReader()
{
    if (state_->context)
        g_markup_parse_context_free(state_->context);
    if (state_->compilation)
        g_object_unref(state_->compilation);
}

bool CompilationReader::feed(const char *text, std::size_t length) noexcept
{
    State &state = *state_;
    if (state.damaged)
        return false;
    GError *error = nullptr;
    if (!g_markup_parse_context_parse(state.context, text, static_cast<gssize>(length), &error)) {
        state.damaged = true;
        g_markup_parse_context_get_position(state.context, &state.damagedLine, nullptr);
        if (state.damagedLine < 1)
            state.damagedLine = 1;
        try {
            state.damage = error ? error->message : "";
        } catch (...) {
        }
        debugger_TracePrint("Compilation file damaged at line %d: %s\n", state.damagedLine,
                       error ? error->message : "");
        g_clear_error(&error);
        return false;
    }
    return true;
}

LoadResult CompilationReader::finish() noexcept
{
    LoadResult result;
    if (state_->savedModificationDate) {
        result.hasModificationDate = true;
        result.modificationDate = *state_->savedModificationDate;
    }
    result.compilation = state_->compilation;
    state_->compilation = nullptr;
    result.damagedLine = state_->damagedLine;
    try {
        result.damage = state_->damage;
    } catch (...) {
    }
    return result;
}

bool readCompilationFile(const std::string &path, LoadObserver *observer, const VornDeviceEntry *device,
                         gpointer parentWindow, LoadResult *result) noexcept
{
    FILE *stream = std::fopen(path.c_str(), "r");
    if (!stream)
        return false;
    try {
        CompilationReader reader(observer, device, parentWindow);
        // Pieces of at most 255 bytes: a long line arrives in several.
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, stream)) {
            if (!reader.feed(buffer, std::strlen(buffer)))
                break;
        }
        *result = reader.finish();
    } catch (...) {
        std::fclose(stream);
        errno = ENOMEM;
        return false;
    }
    std::fclose(stream);
    return true;
}

void finishLoad(LoadResult &result, const std::string &path, gpointer parentWindow) noexcept
{
    if (Compilation *compilation = result.compilation) {
        if (result.hasModificationDate) {
            // The date may be passed on to the file system, whose change
            // signal would stamp the clock's date over it again.
            VirtualFileSystem *fileSystem = compilation->fileSystem;
            if (fileSystem)
                g_signal_handlers_block_matched(fileSystem, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, compilation);
            OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MODIFICATION_DATE,
                                                  result.modificationDate);
            if (fileSystem)
                g_signal_handlers_unblock_matched(fileSystem, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                                  compilation);
        }
        Compilation_SetCompilationSaved(compilation);
        Compilation_SetCompilationPath(compilation, path.c_str());
        if (IS_VORN_DATA_DISC_VFS(compilation->fileSystem))
            g_signal_emit_by_name(compilation->fileSystem, "vorn_compilation_loaded");
    }
    if (result.damagedLine > 0) {
        OwnedText base(g_path_get_basename(path.c_str()));
        OwnedText display(g_filename_display_name(base.get()));
        OwnedText text(g_markup_printf_escaped(
            _("The compilation file <i>%s</i> is damaged at line %d. Only the part before it was loaded."),
            display.get(), result.damagedLine));
        dialogs::RoleScope role("compilation-file-damaged");
        VornKit_DialogBox_ModalWarningDialog(text.get(), _("The compilation file is damaged."), _("Warning"),
                                             static_cast<GtkWidget *>(parentWindow), 0);
    }
}

Compilation *loadCompilation(const std::string &path, LoadObserver *observer, const VornDeviceEntry *device) noexcept
{
    LoadResult result;
    if (!readCompilationFile(path, observer, device, nullptr, &result))
        return nullptr;
    finishLoad(result, path, nullptr);
    return result.compilation;
}

}  // namespace vorn::compilationfile
