// The engine's state behind the C interface: the drives, the open handles,
// the callback registrations, the options, the logs and the two engine
// threads (the drives-file watcher and the callback thread).
//
// One mutex guards all of it. It is never held while a caller's callback
// runs, and never across file reading: the watcher reads and parses the
// drives file and opens disc containers first, then locks to apply.
#ifndef VORN_ENGINE_ENGINE_H
#define VORN_ENGINE_ENGINE_H

#include "DrivesFile.h"
#include "Messages.h"
#include "VornAPI.h"
#include "VornControl.h"

#include "VrnDisc.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vorn::engine {

using Clock = std::chrono::steady_clock;

// How long a drive takes from closing its tray over a disc to being ready,
// before the time scale applies.
inline constexpr std::chrono::milliseconds kSpinUpTime{1500};
// How often the watcher looks at the drives file when nobody asks it to.
inline constexpr std::chrono::milliseconds kWatchInterval{250};

// The disc container in a tray.
struct TrayDisc {
    std::filesystem::path path;
    vrn::VrnDisc container;
};

// Opens a container for a tray: for writing when the file allows it, else
// read-only (a pressed disc, or a file the user protected).
vrn::Result<std::shared_ptr<TrayDisc>> openTrayDisc(const std::filesystem::path &path);

struct Drive {
    int hostAdapter = 0;
    int deviceId = 0;
    std::string group;  // its group in the drives file; empty when not from the file
    bool imageRecorder = false;

    std::string name;
    std::int32_t type = VORN_DEVICE_TYPE_RECORDER;
    std::uint32_t capabilities = 0;
    std::uint32_t writeMedia = 0;
    std::uint32_t readMedia = 0;
    std::string vendor, product, revision;
    SpeedTable writeSpeeds, readSpeeds;  // overrides of the medium defaults

    bool present = true;  // false once unplugged; open handles keep the object
    bool busy = false;    // in use by another application
    bool trayOpen = false;
    std::shared_ptr<TrayDisc> disc;
    std::optional<Clock::time_point> spinUpSince;  // set when the tray closed over a disc
    std::map<int, std::int32_t> deviceOptions;
    int openHandles = 0;

    // Fault injection, read by the writing code.
    std::optional<std::int64_t> failWriteAfterBytes;
    std::vector<std::uint32_t> corruptBlocks;

    void describeFrom(const DriveSpec &declared);
    void fillEntry(VornDeviceEntry &entry) const;
};

struct RecordedOption {
    VornControlOption record{};
    std::unique_ptr<std::string> text;  // keeps record.text alive
};

// What the engine does with the options it is given.
struct EngineOptions {
    std::int32_t steadyfillBytes = 0;
    VornUserDialogOption userDialog{nullptr, nullptr};
    bool userDialogSet = false;
    enum class CdOverburn { Off, Absolute, Relative } cdOverburn = CdOverburn::Off;
    std::int32_t cdOverburnFrames = 0;
    std::int32_t dvdOverburnBlocks = 0;
    bool shortLeadOut = false;
};

class Engine {
public:
    static Engine &instance();
    ~Engine();

    // Serialises start and stop; taken before `mu`, never inside it.
    std::mutex lifeMu;
    std::mutex mu;

    // --- Kept across start and stop (the control interface's switches)
    std::optional<int> forcedInitResult;
    std::map<int, int> failNext;  // call kind -> result to give
    double timeScale = 1.0;
    std::vector<RecordedOption> recordedOptions;
    std::vector<RecordedOption> recordedDeviceOptions;
    std::string optionLogPath;

    // Takes a pending failure of `kind`; the result to give, or nullopt.
    std::optional<int> takeFailure(int kind);
    void recordOption(RecordedOption rec, bool device);
    Clock::duration scaled(Clock::duration d) const;

    // --- Running state
    bool running = false;
    const VornSettings *settings = nullptr;
    Messages messages;
    bool languageMissing = false;
    EngineOptions options;
    std::filesystem::path historyDir;
    std::string errorLog;

    std::vector<std::shared_ptr<Drive>> drives;  // listing order
    std::map<const VornDevice *, std::unique_ptr<VornDevice>> handles;

    struct ChangeRegistration {
        VornDriveChangeCallback fn;
        void *data;
    };
    struct StatusRegistration {
        int hostAdapter, deviceId;
        VornDriveStatusCallback fn;
        void *data;
    };
    std::vector<ChangeRegistration> changeCallbacks;
    std::vector<StatusRegistration> statusCallbacks;

    std::shared_ptr<Drive> findDrive(int hostAdapter, int deviceId) const;  // present ones only
    std::shared_ptr<Drive> driveOf(VornDevice *handle) const;              // any, or null
    int readiness(const Drive &drive) const;
    void logError(const std::string &line);

    // --- Callback thread
    struct Event {
        bool change;  // else a status event
        int hostAdapter, deviceId, status;
    };
    void postChange();
    void postStatus(const Drive &drive, int status);
    bool waitDelivered(std::chrono::milliseconds timeout);

    // --- Drives file
    std::filesystem::path drivesFile;
    std::string drivesFileError;
    // Runs one scan of the drives file: reads without the lock, applies
    // under it. Returns false when the file was refused.
    bool scanDrivesFile(bool force, bool notify);
    bool requestRescan();

    // --- Start and stop
    int start(const VornSettings *settings, const char *drivesFileArg);
    void stop();

    // Starts image recorder and threads; with `mu` held.
    void startThreads();

private:
    Engine() = default;

    void callbackLoop();
    void watcherLoop();
    // Applies a parsed file with `mu` held; returns false and sets the
    // error when an address clash refuses it.
    bool applyDrivesFile(DrivesFileResult &parsed,
                         std::map<std::string, std::shared_ptr<TrayDisc>> &openedDiscs,
                         bool notify);

    std::deque<Event> events_;
    std::uint64_t eventsQueued_ = 0;
    std::uint64_t eventsDelivered_ = 0;
    std::condition_variable eventsCv_;
    std::condition_variable deliveredCv_;
    std::thread callbackThread_;
    bool stopping_ = false;

    std::thread watcherThread_;
    std::condition_variable watchCv_;
    std::condition_variable rescanDoneCv_;
    std::uint64_t rescanRequested_ = 0;
    std::uint64_t rescanDone_ = 0;
    bool lastScanOk_ = true;

    // Only the thread scanning the file touches these (the watcher, or
    // start() before the watcher runs).
    std::map<std::string, DriveSpec> lastApplied_;
    struct FileStamp {
        bool exists = false;
        std::int64_t mtimeNs = 0, size = 0, inode = 0;
        bool operator==(const FileStamp &) const = default;
    };
    std::optional<FileStamp> lastStamp_;

    std::map<std::string, std::pair<int, int>> groupAddress_;  // stable for the run
    std::set<std::string> unpluggedGroups_;  // removed through the control interface
    int nextControlId_ = 0;

public:
    int allocateControlAddress();
    void forgetGroup(const std::string &group) { unpluggedGroups_.insert(group); }
};

// Appends one line to the history log when its folder is known.
void appendHistory(Engine &engine, const std::string &line);

// A copy of `text` in memory that VornFreeMem releases.
char *engineString(const std::string &text);

}  // namespace vorn::engine

// An open device. The tag tells device handles from the engine's other
// handles, so a handle of the wrong kind is refused instead of misread.
struct VornDevice {
    static constexpr std::uint32_t kTag = 0x56444556;  // "VDEV"
    std::uint32_t tag = kTag;
    std::shared_ptr<vorn::engine::Drive> drive;
};

#endif
