// vorn-burn: burns a saved data compilation, or a new data compilation of
// local folders, to a recorder or an image file, from a terminal or a script.
//
// It runs without a display: the compilation model has no widget factory, the
// model's questions go to an options responder, and the engine's questions are
// answered here from the command line. The burn runs through the burn
// process without windows: its thread writes while the main loop shows the
// progress and looks for SIGINT/SIGTERM, which abort the burn; the engine then
// ends it and removes what it had started writing.
#include "BurnProcessCore.h"
#include "Compilation.h"
#include "CompilationFileReader.h"
#include "CompilationOptions.h"
#include "DataDiscCompilation.h"
#include "DataDiscFileSystem.h"
#include "DialogBox/DialogResponder.h"
#include "MessagesFile.h"
#include "OptionsDatabase.h"
#include "VirtualFileSystem.h"
#include "VornAPI.h"
#include "VornPaths.h"

#include <glib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <utility>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Exit statuses, as documented in the manual page.
enum Exit { kOk = 0, kUsage = 1, kInput = 2, kRecorder = 3, kFailed = 4, kAborted = 5 };

const char kUsageText[] =
    "Usage: vorn-burn [--recorder NAME | --image FILE] [--speed KBS] [--simulate] [--verify]\n"
    "                 [--close-session | --finalize] [--multisession] [--volume-label TEXT] [--yes]\n"
    "                 (COMPILATION-FILE | FOLDER...)\n"
    "       vorn-burn --list\n"
    "       vorn-burn --help\n";

const char kHelpText[] =
    "Burns a saved compilation, or a new data disc holding the contents of the given\n"
    "folders at its root, without a display.\n"
    "\n"
    "  --recorder NAME      burn with the recorder NAME (see --list)\n"
    "  --image FILE         write an image file instead (\".vrn\": a disc container)\n"
    "  --speed KBS          writing speed in KB/s (default: the fastest)\n"
    "  --simulate           simulate the write; nothing is written\n"
    "  --verify             read the data back after writing and compare it\n"
    "  --close-session      close the session and leave the disc open for more\n"
    "  --finalize           close the disc (the default)\n"
    "  --multisession       add a session to the disc in the recorder, keeping its files\n"
    "  --volume-label TEXT  the disc's label\n"
    "  --yes                answer yes to questions that may lose data (erasing a disc)\n"
    "  --list               list the recorders and the media they write\n"
    "  --help               show this help\n"
    "\n"
    "Exit status: 0 success, 1 usage error, 2 input not found or unreadable,\n"
    "3 no such recorder or no suitable medium, 4 burn failed, 5 aborted.\n";

struct Arguments {
    std::string recorder;
    std::string image;
    long speed = 0;
    bool simulate = false, verify = false, closeSession = false, finalize = false, multisession = false,
         yes = false, list = false, help = false;
    std::string volumeLabel;
    bool hasVolumeLabel = false;
    std::vector<std::string> inputs;
};

int usageError(const std::string &message)
{
    std::fprintf(stderr, "vorn-burn: %s\n%s", message.c_str(), kUsageText);
    return kUsage;
}

// Returns -1 when the arguments are good, else the exit status.
int parseArguments(int argc, char **argv, Arguments &a)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            a.inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--recorder") {
            if (!value(a.recorder))
                return usageError("--recorder needs a recorder name");
        } else if (arg == "--image") {
            if (!value(a.image) || a.image.empty())
                return usageError("--image needs a file name");
        } else if (arg == "--speed") {
            std::string text;
            if (!value(text))
                return usageError("--speed needs a speed in KB/s");
            char *end = nullptr;
            errno = 0;
            a.speed = std::strtol(text.c_str(), &end, 10);
            if (errno || text.empty() || *end || a.speed < 0 || a.speed > 1000000)
                return usageError("bad speed \"" + text + "\": give KB/s as a whole number");
        } else if (arg == "--volume-label") {
            if (!value(a.volumeLabel))
                return usageError("--volume-label needs a text");
            a.hasVolumeLabel = true;
        } else if (arg == "--simulate") {
            a.simulate = true;
        } else if (arg == "--verify") {
            a.verify = true;
        } else if (arg == "--close-session") {
            a.closeSession = true;
        } else if (arg == "--finalize") {
            a.finalize = true;
        } else if (arg == "--multisession") {
            a.multisession = true;
        } else if (arg == "--yes") {
            a.yes = true;
        } else if (arg == "--list") {
            a.list = true;
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (a.help || a.list)
        return -1;
    if (!a.recorder.empty() && !a.image.empty())
        return usageError("give either --recorder or --image, not both");
    if (a.recorder.empty() && a.image.empty())
        return usageError("name a recorder with --recorder or an image file with --image");
    if (a.closeSession && a.finalize)
        return usageError("give either --close-session or --finalize, not both");
    if (a.multisession && a.finalize)
        return usageError("--multisession leaves the disc open; it does not go with --finalize");
    if (a.multisession && !a.image.empty())
        return usageError("--multisession adds to the disc in a recorder, not to an image file");
    if (a.inputs.empty())
        return usageError("nothing to burn: give a compilation file or folders");
    return -1;
}

// ---------------------------------------------------------------------------
// The engine's questions and the terminal's progress display.

struct BurnState {
    const Arguments *args = nullptr;
    VornDevice *device = nullptr;
    VornExtendedProgress *progress = nullptr;
    std::atomic<int> abort{0};
    std::atomic<bool> noMedium{false};  // a question about the disc was refused
    bool tty = false;
    int phase = -1;
    int speed = 0, base = 0;
    uint32_t remainingMs = 0;
    int lastPercent = -1;
    std::string lastWarning;  // the engine's last warning, already printed
    std::string errorLog;     // the engine's error log of the burn
};
BurnState state;

const char *phaseName(int phase)
{
    switch (phase) {
    case VORN_PHASE_TESTING_SPEED: return "Testing speed";
    case VORN_PHASE_SIMULATING: return "Simulating";
    case VORN_PHASE_PREPARING_ITEMS: return "Preparing";
    case VORN_PHASE_PREPARING_DISC: return "Preparing disc";
    case VORN_PHASE_CREATING_IMAGE: return "Creating image";
    case VORN_PHASE_WRITING_TO_DISC: return "Writing";
    case VORN_PHASE_LEAD_IN: return "Writing lead-in";
    case VORN_PHASE_LEAD_OUT: return "Writing lead-out";
    case VORN_PHASE_WRITING_ENDED: return "Write ended";
    case VORN_PHASE_FINISHING: return "Finishing";
    case VORN_PHASE_VERIFYING: return "Verifying";
    case VORN_PHASE_VERIFY_OK: return "Verified";
    case VORN_PHASE_VERIFY_FAILED: return "Verification failed";
    case VORN_PHASE_READING_DIRECTORIES: return "Reading folders";
    case VORN_PHASE_FORMATTING: return "Formatting";
    default: return "Working";
    }
}

void endBarLine()
{
    if (state.tty && state.lastPercent >= 0)
        std::fputc('\n', stdout);
    state.lastPercent = -1;
}

int onProgress(int64_t done, int64_t total)
{
    if (total <= 0)
        return 0;
    const int percent = static_cast<int>(done * 100 / total);
    if (state.tty) {
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(kWidth - filled), '-');
        char speed[32] = "";
        if (state.speed > 0 && state.speed != 65535 && state.base > 0)
            std::snprintf(speed, sizeof speed, " %d KB/s (%.1fx)", state.speed, double(state.speed) / state.base);
        char left[32] = "";
        if (state.remainingMs)
            std::snprintf(left, sizeof left, " %u:%02u left", state.remainingMs / 60000, state.remainingMs / 1000 % 60);
        std::printf("\r%-16s [%s] %3d%%%s%s\033[K", phaseName(state.phase), bar.c_str(), percent, speed, left);
        std::fflush(stdout);
        state.lastPercent = percent;
    } else if (percent / 10 != state.lastPercent / 10 || state.lastPercent < 0) {
        std::printf("%s: %d%%\n", phaseName(state.phase), percent);
        std::fflush(stdout);
        state.lastPercent = percent;
    }
    return 0;
}

void onPhase(int phase)
{
    if (phase == state.phase)
        return;
    endBarLine();
    state.phase = phase;
    std::printf("%s\n", phaseName(phase));
    std::fflush(stdout);
}

void onWriteSpeed(int speedKBs, int baseKBs, int)
{
    state.speed = speedKBs;
    state.base = baseKBs;
}

void onRemaining(uint32_t ms)
{
    state.remainingMs = ms;
}

void onMessage(const char *text, int, int kind)
{
    if (kind == VORN_MESSAGE_WARNING) {
        endBarLine();
        std::fprintf(stderr, "vorn-burn: %s\n", text);
        state.lastWarning = text;
    }
}

int answerEngine(void *, int request, void *data) noexcept
{
    const Arguments &a = *state.args;
    switch (request) {
    case VORN_REQUEST_IMAGE_FILE_NAME: {
        auto *buffer = static_cast<char *>(data);
        if (a.image.size() >= VORN_PATH_BUFFER_SIZE)
            return 0;
        std::memcpy(buffer, a.image.c_str(), a.image.size() + 1);
        return VORN_ANSWER_NAMED;
    }
    case VORN_REQUEST_BLANK_REWRITABLE:
        if (a.yes && state.device && VornEraseDisc(state.device, VORN_ERASE_QUICK, VORN_ERASE_NO_EJECT, 0) ==
                                         VORN_ERASE_OK)
            return VORN_ANSWER_ERASED;
        std::fprintf(stderr, "vorn-burn: the rewritable disc in the recorder holds data; %s\n",
                     a.yes ? "erasing it failed" : "--yes erases it before writing");
        state.noMedium = true;
        return VORN_ANSWER_DECLINED;
    case VORN_REQUEST_MESSAGE: {
        const auto *message = static_cast<const VornMessageRequest *>(data);
        std::fprintf(stderr, "vorn-burn: %s\n", message->text ? message->text : "");
        return message->type == 0 ? 0 : VORN_ANSWER_ABORTING;
    }
    case VORN_REQUEST_WAIT_FOR_DISC:
        // Nobody is at the recorder to change the disc: the wait is refused.
        if (reinterpret_cast<intptr_t>(data) == VORN_WAIT_BLANK_DISC && !a.multisession)
            std::fprintf(stderr, "vorn-burn: the disc holds data; insert a blank disc, or give --multisession "
                                 "to add a session to it\n");
        else
            std::fprintf(stderr, "vorn-burn: the recorder holds no disc this compilation can be written to\n");
        state.noMedium = true;
        return VORN_ANSWER_ABORTING;
    case VORN_REQUEST_WAIT_MEDIA_TEXTS: {
        const auto *texts = static_cast<const char *const *>(data);
        if (texts && texts[0])
            std::fprintf(stderr, "vorn-burn: insert a disc: %s (the recorder holds: %s)\n", texts[0],
                         texts[1] ? texts[1] : "?");
        state.noMedium = true;
        return VORN_ANSWER_ABORTING;
    }
    case VORN_REQUEST_OVERBURN:
        std::fprintf(stderr, "vorn-burn: the compilation is larger than the disc\n");
        state.noMedium = true;
        return 0;
    case VORN_REQUEST_NO_SPACE_FOR_IMAGE:
        return 0;  // the engine's warning says how much room is missing
    default:
        return state.abort.load() ? VORN_ANSWER_ABORTING : -1;
    }
}

int idle(void *) noexcept
{
    return state.abort.load();
}

// ---------------------------------------------------------------------------
// The compilation.

struct CompilationUnref {
    void operator()(Compilation *c) const noexcept { g_object_unref(c); }
};
using OwnedCompilation = std::unique_ptr<Compilation, CompilationUnref>;

struct EntryFree {
    void operator()(VfsDirectoryEntry *e) const noexcept { VFS_FreeDirectoryEntry(e); }
};
using Entry = std::unique_ptr<VfsDirectoryEntry, EntryFree>;

std::string joinPath(const std::string &folder, const std::string &name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Adds the contents of the local folder `local` to the disc folder `disc`, a
// folder at a time, through the same file-system calls a threaded copy makes.
bool addFolderContents(Compilation *c, const std::string &local, const std::string &disc, std::string &error)
{
    gpointer handle = VFS_OpenDirectory(c->localFileSystem, local.c_str());
    if (!handle) {
        error = local + ": " + g_strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (Entry entry{VFS_ReadDirectory(c->localFileSystem, handle)})
        if (entry->names[0])
            names.emplace_back(entry->names[0]);
    VFS_CloseDirectory(c->localFileSystem, handle);

    for (const std::string &name : names) {
        const std::string source = joinPath(local, name);
        VfsStat stat{};
        if (VFS_Stat(c->localFileSystem, source.c_str(), &stat) == 0 && VFS_STAT_IS_DIRECTORY(&stat)) {
            // A folder of that name already on the disc (a previous session,
            // or another folder given) takes the new contents beside its own.
            VfsDirectoryEntry *existing = nullptr;
            Entry made{VFS_CreateDirectoryEx(c->fileSystem, disc.c_str(), name.c_str(), &existing, source.c_str(),
                                             0, 0, VORN_DATA_ITEM_NEW, 0, 0, 0, 0, 0)};
            Entry existingEntry{existing};
            const bool merge = !made && errno == EEXIST && existingEntry &&
                               existingEntry->type == VFS_ENTRY_DIRECTORY;
            if (!made && !merge) {
                error = source + ": " + g_strerror(errno);
                return false;
            }
            if (!addFolderContents(c, source, joinPath(disc, name), error))
                return false;
            continue;
        }
        auto copy = [&](VfsDirectoryEntry **existing) {
            return Entry{VFS_CopyEx(c->localFileSystem, source.c_str(), c->fileSystem, disc.c_str(), 3, existing, 0,
                                    0, VORN_DATA_ITEM_NEW, 1, 0, nullptr, 0, 0, 0, 0)};
        };
        VfsDirectoryEntry *existing = nullptr;
        Entry copied = copy(&existing);
        Entry existingEntry{existing};
        // A file of that name already there is replaced by the newer one.
        if (!copied && errno == EEXIST && existingEntry && existingEntry->type != VFS_ENTRY_DIRECTORY &&
            VFS_Unlink(c->fileSystem, joinPath(disc, name).c_str()) == 0)
            copied = copy(nullptr);
        if (!copied) {
            error = source + ": " + g_strerror(errno);
            return false;
        }
    }
    return true;
}

class QuietLoadObserver : public vorn::compilationfile::LoadObserver {
public:
    int askWarning(const std::string &text, const std::string &) noexcept override
    {
        std::fprintf(stderr, "vorn-burn: %s\n", text.c_str());
        return vorn::dialogs::response::Cancel;
    }
};

bool isDirectory(const std::string &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------

struct EngineRun {
    VornSettings settings{};
    ~EngineRun() { VornDone(); }
};

std::string lastLine(const char *log)
{
    std::string text = log ? log : "";
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const auto cut = text.rfind('\n');
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

// The recordable media a recorder may write, by the engine's medium values.
constexpr std::pair<uint32_t, const char *> kWritableMedia[] = {
    {VORN_MEDIUM_CD_R, "CD-R"},
    {VORN_MEDIUM_CD_RW, "CD-RW"},
    {VORN_MEDIUM_DVD_MINUS_R, "DVD-R"},
    {VORN_MEDIUM_DVD_MINUS_RW, "DVD-RW"},
    {VORN_MEDIUM_DVD_PLUS_R, "DVD+R"},
    {VORN_MEDIUM_DVD_PLUS_RW, "DVD+RW"},
    {VORN_MEDIUM_DVD_PLUS_R_DL, "DVD+R DL"},
    {VORN_MEDIUM_DVD_MINUS_R_DL, "DVD-R DL"},
    {VORN_MEDIUM_DVD_RAM, "DVD-RAM"},
    {VORN_MEDIUM_BD_R, "BD-R"},
    {VORN_MEDIUM_BD_RE, "BD-RE"},
    {VORN_MEDIUM_BD_R_DL, "BD-R DL"},
    {VORN_MEDIUM_BD_RE_DL, "BD-RE DL"},
    {VORN_MEDIUM_HDDVD_R, "HD DVD-R"},
    {VORN_MEDIUM_HDDVD_RW, "HD DVD-RW"},
};

int listRecorders()
{
    VornDeviceList *list = VornGetAvailableDrivesEx(0, 1);
    if (!list) {
        std::fprintf(stderr, "vorn-burn: the burning engine is not running\n");
        return kRecorder;
    }
    for (int i = 0; i < list->count; ++i) {
        const VornDeviceEntry *entry = VornDeviceList_Entry(list, i);
        std::string media;
        for (const auto &[value, name] : kWritableMedia)
            if ((entry->writeMedia & value) == value)
                media += (media.empty() ? "" : ", ") + std::string(name);
        std::printf("%s\t%s\n", entry->name, entry->hostAdapter == VORN_IMAGE_RECORDER_HA ? "image files"
                                                                                             : media.c_str());
    }
    VornFreeMem(list);
    return kOk;
}

bool findRecorder(const Arguments &a, VornDeviceEntry &out)
{
    VornDeviceList *list = VornGetAvailableDrivesEx(0, 1);
    if (!list)
        return false;
    bool found = false;
    for (int i = 0; i < list->count && !found; ++i) {
        const VornDeviceEntry *entry = VornDeviceList_Entry(list, i);
        const bool image = entry->hostAdapter == VORN_IMAGE_RECORDER_HA;
        if ((!a.image.empty() && image) || (a.image.empty() && !image && a.recorder == entry->name)) {
            std::memcpy(&out, entry, sizeof out);
            found = true;
        }
    }
    VornFreeMem(list);
    return found;
}

// ---------------------------------------------------------------------------
// The burn process's hooks.

gboolean prepareBurn(BurnJob *job, gpointer) noexcept
{
    VornExtendedProgress *progress = VornExtendedProgress_New();
    if (!progress)
        return FALSE;
    VornExtendedProgress_SetCallback_ProgressCallback(progress, onProgress);
    VornExtendedProgress_SetCallback_SetPhaseCallback(progress, onPhase);
    VornExtendedProgress_SetCallback_SetWriteSpeedCallback(progress, onWriteSpeed);
    VornExtendedProgress_SetCallback_SetRemainingTimeCallback(progress, onRemaining);
    VornExtendedProgress_SetCallback_AddMessageCallback(progress, onMessage);
    state.progress = progress;
    job->compilation->progressObject = progress;
    return TRUE;
}

void releaseBurn(BurnJob *job, gpointer) noexcept
{
    auto *progress = static_cast<VornExtendedProgress *>(job->compilation->progressObject);
    if (!progress)
        return;
    // The engine's data compilation outlives the burn: it forgets the progress object first.
    if (job->compilation->fileSystem && IS_VORN_DATA_DISC_VFS(job->compilation->fileSystem))
        VornDataCompilation_SetExtendedProgress(VORN_DATA_DISC_VFS(job->compilation->fileSystem)->compilation,
                                                nullptr);
    VornExtendedProgress_Destroy(progress);
    job->compilation->progressObject = nullptr;
    state.progress = nullptr;
    state.device = nullptr;
}

// The command line decides how the disc is written, not the compilation's
// saved settings: its flags and speed, and the disc stays in the recorder.
void burnStarted(BurnJob *job, gpointer) noexcept
{
    const Arguments &a = *state.args;
    guint32 flags = (a.simulate ? VORN_BURN_SIMULATE : VORN_BURN_WRITE) | VORN_BURN_DETECT_NON_EMPTY_CDRW |
                    VORN_BURN_DISABLE_EJECT | VORN_BURN_BUF_UNDERRUN_PROT;
    if (a.speed)
        flags |= VORN_BURN_SPEED_IN_KBS;
    if (a.verify)
        flags |= VORN_BURN_VERIFY;
    if (a.closeSession || a.multisession)
        flags |= VORN_BURN_CLOSE_SESSION;
    job->flags = flags;
    job->speedKBs = static_cast<gint32>(a.speed);
    job->eject = 0;
    job->reload = 0;
    state.device = job->handle;
}

void keepErrorLog(BurnJob *job, gpointer) noexcept
{
    state.errorLog = job->errorLog ? job->errorLog : "";
}

gboolean pollSignals(gpointer) noexcept
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    const timespec now{0, 0};
    const int signal = sigtimedwait(&signals, nullptr, &now);
    if ((signal == SIGINT || signal == SIGTERM) && !state.abort.exchange(1))
        BurnProcess_Abort();
    return G_SOURCE_CONTINUE;
}

int run(const Arguments &a)
{
    EngineRun engine;
    engine.settings.engineDir = VORN_ENGINE_DIR;
    engine.settings.vendor = "Vorn AG";
    engine.settings.software = VORN_APP_NAME;
    MessagesFile_SetupLanguageFile(&engine.settings);
    engine.settings.idle = idle;
    engine.settings.userDialog = answerEngine;
    VornSetExpectedAPIVersionEx(VORN_API_VERSION_MAJOR, VORN_API_VERSION_MINOR, VORN_API_VERSION_REVISION,
                                VORN_API_VERSION_BUILD, nullptr);
    if (VornInitEx(&engine.settings, nullptr, -10, 0) == VORN_INIT_ERROR) {
        std::fprintf(stderr, "vorn-burn: the burning engine could not be started\n");
        return kFailed;
    }
    if (a.list)
        return listRecorders();

    // The input first: a missing folder is reported before any recorder is touched.
    const bool compilationFile = a.inputs.size() == 1 && !isDirectory(a.inputs[0]);
    for (const std::string &input : a.inputs) {
        if (::access(input.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "vorn-burn: %s: %s\n", input.c_str(), g_strerror(errno));
            return kInput;
        }
        if (!compilationFile && !isDirectory(input)) {
            std::fprintf(stderr, "vorn-burn: %s: not a folder (only one compilation file may be given)\n",
                         input.c_str());
            return kInput;
        }
    }

    VornDeviceEntry recorder{};
    if (!findRecorder(a, recorder)) {
        std::fprintf(stderr, "vorn-burn: no recorder named \"%s\" (vorn-burn --list shows them)\n",
                     a.recorder.c_str());
        return kRecorder;
    }

    OwnedCompilation compilation;
    if (compilationFile) {
        QuietLoadObserver observer;
        compilation.reset(vorn::compilationfile::loadCompilation(a.inputs[0], &observer, &recorder));
        if (!compilation || !IS_VORN_DATA_DISC_COMPILATION(compilation.get())) {
            std::fprintf(stderr, "vorn-burn: %s: %s\n", a.inputs[0].c_str(),
                         compilation ? "only data compilations are burned from the command line"
                                     : "not a compilation file this program can read");
            return kInput;
        }
    } else {
        compilation.reset(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
        if (!compilation) {
            std::fprintf(stderr, "vorn-burn: cannot create a data compilation\n");
            return kFailed;
        }
    }
    Compilation *c = compilation.get();

    if (a.multisession) {
        const gint32 imported = DataDiscCompilation_ImportPreviousSession(c, &recorder, -1,
                                                                          DATA_DISC_IMPORT_KIND_ISO, nullptr);
        if (!(imported & DATA_DISC_IMPORT_IMPORTED) || (imported & DATA_DISC_IMPORT_FAILED)) {
            std::fprintf(stderr, "vorn-burn: the disc in \"%s\" holds no session to continue\n", recorder.name);
            return kRecorder;
        }
    }
    if (!compilationFile) {
        for (const std::string &input : a.inputs) {
            // The file systems take absolute paths only.
            gchar *absolute = g_canonicalize_filename(input.c_str(), nullptr);
            const std::string folder = absolute;
            g_free(absolute);
            std::string error;
            if (!addFolderContents(c, folder, "/", error)) {
                std::fprintf(stderr, "vorn-burn: %s\n", error.c_str());
                return kInput;
            }
        }
    }
    if (a.hasVolumeLabel) {
        OptionsDatabase_SetBooleanOptionValue(c->options, 49, 1);
        if (OptionsDatabase_SetStringOptionValue(c->options, 50, a.volumeLabel.c_str()) != 1)
            return usageError("the volume label \"" + a.volumeLabel + "\" is not accepted");
    }

    // The write, through the burn process: its checks, write description and
    // burn thread, with this program's progress display and answers.
    state.tty = ::isatty(STDOUT_FILENO);
    BurnProcessHooks hooks{};
    hooks.prepare = prepareBurn;
    hooks.release = releaseBurn;
    hooks.started = burnStarted;
    hooks.showResult = keepErrorLog;
    hooks.userDialog = answerEngine;
    // SIGINT and SIGTERM stay blocked in every thread; the main loop looks
    // for them while the burn runs.
    const guint signalWatch = g_timeout_add(100, pollSignals, nullptr);
    gint32 result = VORN_BURN_OK;
    const gint started = BurnProcess_Run(c, &recorder, &hooks, &result);
    g_source_remove(signalWatch);
    endBarLine();
    if (started == BURN_PROCESS_REFUSED_BY_CHECK) {
        std::fprintf(stderr, "vorn-burn: the compilation cannot be burned as it stands\n");
        return kFailed;
    }
    if (started != BURN_PROCESS_STARTED) {
        std::fprintf(stderr, "vorn-burn: cannot open the recorder \"%s\"\n", recorder.name);
        return kRecorder;
    }

    if (result == VORN_BURN_OK) {
        std::printf("%s\n", a.simulate ? "Simulation completed successfully" : "Burn completed successfully");
        return kOk;
    }
    if (result == VORN_BURN_ABORTED && state.abort.load()) {
        std::fprintf(stderr, "vorn-burn: the burn was aborted\n");
        return kAborted;
    }
    if (state.noMedium.load()) {
        // Why was said when the question was refused.
        std::fprintf(stderr, "vorn-burn: no suitable disc in \"%s\"\n", recorder.name);
        return kRecorder;
    }
    if (result == VORN_BURN_NO_MEDIUM || result == VORN_BURN_NOT_WRITABLE ||
        result == VORN_BURN_DISC_CLOSED || result == VORN_BURN_DISC_TOO_SMALL || result == VORN_BURN_DECLINED) {
        std::fprintf(stderr, "vorn-burn: no suitable disc in \"%s\": %s\n", recorder.name,
                     lastLine(state.errorLog.c_str()).c_str());
        return kRecorder;
    }
    const std::string reason = lastLine(state.errorLog.c_str());
    if (reason.empty() || reason == state.lastWarning)
        std::fprintf(stderr, "vorn-burn: the burn failed (%d)\n", result);
    else
        std::fprintf(stderr, "vorn-burn: the burn failed (%d): %s\n", result, reason.c_str());
    return kFailed;
}

}  // namespace

int main(int argc, char **argv)
{
    Arguments arguments;
    const int bad = parseArguments(argc, argv, arguments);
    if (bad >= 0)
        return bad;
    if (arguments.help) {
        std::printf("%s\n%s", kUsageText, kHelpText);
        return kOk;
    }
    state.args = &arguments;

    // Every thread started from here on inherits the blocked signals: only
    // the main loop's poll takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    OptionsDatabase_InitDatabases();
    // The model's own questions (a damaged file, a changed document type) are
    // answered without a window: --yes goes on, otherwise the safe answer.
    vorn::dialogs::OptionsResponder::Options options;
    options.policy = arguments.yes ? vorn::dialogs::OptionsResponder::Policy::Affirmative
                                   : vorn::dialogs::OptionsResponder::Policy::Safe;
    options.report = [](const vorn::dialogs::DialogRequest &request, const vorn::dialogs::DialogAnswer &) {
        std::fprintf(stderr, "vorn-burn: %s%s%s\n", request.heading.c_str(),
                     request.heading.empty() || request.text.empty() ? "" : ": ", request.text.c_str());
    };
    vorn::dialogs::installResponder(std::make_shared<vorn::dialogs::OptionsResponder>(std::move(options)));

    const int status = run(arguments);
    OptionsDatabase_DestroyDatabases();
    return status;
}
