#include "Engine.h"

#include "Media.h"
#include "VornPaths.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace vorn::engine {

namespace {

void copyText(char *dest, std::size_t size, const std::string &text)
{
    std::size_t n = std::min(size - 1, text.size());
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

}  // namespace

char *engineString(const std::string &text)
{
    auto *out = static_cast<char *>(std::malloc(text.size() + 1));
    if (!out)
        return nullptr;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

vrn::Result<std::shared_ptr<TrayDisc>> openTrayDisc(const std::filesystem::path &path)
{
    auto access = ::access(path.c_str(), W_OK) == 0 ? vrn::VrnDisc::Access::ReadWrite
                                                    : vrn::VrnDisc::Access::ReadOnly;
    auto opened = vrn::VrnDisc::open(path, access);
    if (!opened)
        return vrn::Error{opened.error()};
    return std::make_shared<TrayDisc>(TrayDisc{path, std::move(opened).value()});
}

void Drive::describeFrom(const DriveSpec &declared)
{
    name = declared.name;
    type = declared.type;
    capabilities = declared.capabilities;
    writeMedia = declared.writeMedia;
    readMedia = declared.readMedia;
    vendor = declared.vendor.empty() ? "VORN" : declared.vendor;
    product = declared.product.empty() ? "Emulated drive" : declared.product;
    revision = declared.revision.empty() ? "1.0" : declared.revision;
    writeSpeeds = declared.writeSpeeds;
    readSpeeds = declared.readSpeeds;
}

void Drive::fillEntry(VornDeviceEntry &entry) const
{
    std::memset(&entry, 0, sizeof entry);
    copyText(entry.name, sizeof entry.name, name);
    entry.textNotOwned = 1;
    entry.hostAdapter = hostAdapter;
    entry.deviceId = deviceId;
    entry.type = type;
    entry.capabilities = capabilities;
    copyText(entry.vendor, sizeof entry.vendor, vendor);
    copyText(entry.product, sizeof entry.product, product);
    copyText(entry.revision, sizeof entry.revision, revision);
    entry.writeMedia = writeMedia;
    entry.readMedia = readMedia;
    entry.inUse = busy ? VORN_DEVICE_IN_USE : VORN_DEVICE_FREE;
}

Engine &Engine::instance()
{
    static Engine engine;
    return engine;
}

Engine::~Engine()
{
    // A caller that never called VornDone still gets its threads joined
    // before the process tears down what they use.
    stop();
}

std::optional<int> Engine::takeFailure(int kind)
{
    auto it = failNext.find(kind);
    if (it == failNext.end())
        return std::nullopt;
    int result = it->second;
    failNext.erase(it);
    return result;
}

void Engine::recordOption(RecordedOption rec, bool device)
{
    if (!optionLogPath.empty()) {
        std::ofstream log(optionLogPath, std::ios::app);
        const auto &r = rec.record;
        if (device)
            log << "device-option " << r.hostAdapter << ' ' << r.deviceId << ' ' << r.id << ' '
                << r.intValue << '\n';
        else if (r.text)
            log << "option " << r.id << ' ' << r.text << '\n';
        else if (r.id == VORN_OPTION_USER_DIALOG)
            log << "option " << r.id << ' ' << (r.pointer1 ? "callback" : "none") << ' '
                << (r.pointer2 ? "data" : "null") << '\n';
        else
            log << "option " << r.id << ' ' << r.intValue << '\n';
    }
    (device ? recordedDeviceOptions : recordedOptions).push_back(std::move(rec));
}

Clock::duration Engine::scaled(Clock::duration d) const
{
    return std::chrono::duration_cast<Clock::duration>(d * timeScale);
}

std::shared_ptr<Drive> Engine::findDrive(int hostAdapter, int deviceId) const
{
    for (const auto &drive : drives)
        if (drive->present && drive->hostAdapter == hostAdapter && drive->deviceId == deviceId)
            return drive;
    return nullptr;
}

std::shared_ptr<Drive> Engine::driveOf(VornDevice *handle) const
{
    if (!handle)
        return nullptr;
    auto it = handles.find(handle);
    if (it == handles.end() || it->second->tag != VornDevice::kTag)
        return nullptr;
    return it->second->drive;
}

int Engine::readiness(const Drive &drive) const
{
    if (drive.imageRecorder)
        return VORN_READY;
    if (!drive.present)
        return VORN_READY_NO_MEDIUM;
    if (drive.trayOpen)
        return VORN_READY_TRAY_OPEN;
    if (!drive.disc)
        return VORN_READY_NO_MEDIUM;
    if (drive.spinUpSince && Clock::now() < *drive.spinUpSince + scaled(kSpinUpTime))
        return VORN_READY_BECOMING_READY;
    return VORN_READY;
}

void Engine::logError(const std::string &line)
{
    errorLog += line;
    errorLog += '\n';
}

void appendHistory(Engine &engine, const std::string &line)
{
    std::filesystem::path folder;
    {
        std::lock_guard lock(engine.mu);
        folder = engine.historyDir;
    }
    if (folder.empty())
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string record = std::string(stamp) + '\t' + line + '\n';
    auto path = folder / "VornHistory.log";
    // One write of a whole line with O_APPEND: lines of two processes never
    // interleave, and a line is either there or not.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, record.data(), record.size()) ==
                             static_cast<ssize_t>(record.size());
    std::string reason = std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
    if (!ok) {
        std::lock_guard lock(engine.mu);
        engine.logError(engine.messages.get(msg::kHistoryLogUnwritable, {path.string(), reason}));
    }
}

// --- Callback thread ---------------------------------------------------------

void Engine::postChange()
{
    // One pending change notification is as good as several: the receiver
    // lists the drives again anyway.
    for (const auto &e : events_)
        if (e.change)
            return;
    events_.push_back({true, 0, 0, 0});
    ++eventsQueued_;
    eventsCv_.notify_one();
}

void Engine::postStatus(const Drive &drive, int status)
{
    events_.push_back({false, drive.hostAdapter, drive.deviceId, status});
    ++eventsQueued_;
    eventsCv_.notify_one();
}

bool Engine::waitDelivered(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mu);
    std::uint64_t target = eventsQueued_;
    return deliveredCv_.wait_for(lock, timeout, [&] {
        return eventsDelivered_ >= target || !running;
    });
}

void Engine::callbackLoop()
{
    std::unique_lock lock(mu);
    for (;;) {
        eventsCv_.wait(lock, [&] { return stopping_ || !events_.empty(); });
        if (stopping_)
            return;
        Event event = events_.front();
        events_.pop_front();
        std::vector<ChangeRegistration> changes;
        std::vector<StatusRegistration> statuses;
        if (event.change) {
            changes = changeCallbacks;
        } else {
            for (const auto &r : statusCallbacks)
                if (r.hostAdapter == event.hostAdapter && r.deviceId == event.deviceId)
                    statuses.push_back(r);
        }
        lock.unlock();
        for (const auto &r : changes)
            r.fn(r.data);
        for (const auto &r : statuses)
            r.fn(event.hostAdapter, event.deviceId, event.status, r.data);
        lock.lock();
        ++eventsDelivered_;
        deliveredCv_.notify_all();
    }
}

// --- Drives file ----------------------------------------------------------------

int Engine::allocateControlAddress()
{
    // Drives the control interface adds live on host adapter 2, the drives
    // file's on host adapter 1 unless the file says otherwise.
    for (;;) {
        int id = nextControlId_++;
        if (!findDrive(2, id))
            return id;
    }
}

bool Engine::requestRescan()
{
    std::unique_lock lock(mu);
    if (!running)
        return false;
    std::uint64_t target = ++rescanRequested_;
    watchCv_.notify_all();
    rescanDoneCv_.wait(lock, [&] { return rescanDone_ >= target || stopping_; });
    return lastScanOk_;
}

bool Engine::scanDrivesFile(bool force, bool notify)
{
    std::filesystem::path path;
    Messages texts;
    {
        std::lock_guard lock(mu);
        path = drivesFile;
        texts = messages;
    }
    if (path.empty())
        return true;

    FileStamp stamp;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        stamp.exists = true;
        stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                        st.st_mtim.tv_nsec;
        stamp.size = st.st_size;
        stamp.inode = static_cast<std::int64_t>(st.st_ino);
    }
    if (!force && lastStamp_ && *lastStamp_ == stamp)
        return true;
    lastStamp_ = stamp;

    DrivesFileResult parsed;
    if (stamp.exists) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream contents;
        contents << in.rdbuf();
        if (!in) {
            std::lock_guard lock(mu);
            drivesFileError = texts.get(msg::kDrivesFileUnreadable,
                                        {path.string(), std::strerror(errno)});
            logError(drivesFileError);
            return false;
        }
        parsed = parseDrivesFile(contents.str(), path.parent_path(), texts);
    }
    // A file that vanished lists no drives: every emulated drive is unplugged.

    std::map<std::string, std::shared_ptr<TrayDisc>> discs;
    if (!parsed.error) {
        for (const auto &declared : parsed.drives) {
            if (declared.disc.empty())
                continue;
            auto last = lastApplied_.find(declared.group);
            if (last != lastApplied_.end() && last->second.disc == declared.disc)
                continue;
            auto opened = openTrayDisc(declared.disc);
            if (!opened) {
                parsed.error = DrivesFileError{
                    declared.discLine, texts.get(msg::kDiscUnreadable, {opened.error()})};
                break;
            }
            discs[declared.group] = std::move(opened).value();
        }
    }

    std::lock_guard lock(mu);
    if (!parsed.error && applyDrivesFile(parsed, discs, notify)) {
        drivesFileError.clear();
        return true;
    }
    drivesFileError = messages.get(
        msg::kDrivesFileError,
        {path.string(), std::to_string(parsed.error->line), parsed.error->text});
    logError(drivesFileError);
    // The refused version must be read again once it changes, even if it
    // changes back to exactly this stamp's size and time.
    lastStamp_.reset();
    return false;
}

bool Engine::applyDrivesFile(DrivesFileResult &parsed,
                             std::map<std::string, std::shared_ptr<TrayDisc>> &openedDiscs,
                             bool notify)
{
    // Addresses first: an explicit address wins, a group seen before keeps
    // its address, the rest take the next free id on host adapter 1.
    std::map<std::string, std::pair<int, int>> address;
    std::set<std::pair<int, int>> used;
    for (const auto &drive : drives)
        if (drive->group.empty())
            used.insert({drive->hostAdapter, drive->deviceId});
    auto claim = [&](const DriveSpec &declared, std::pair<int, int> addr) {
        if (!used.insert(addr).second) {
            parsed.error = DrivesFileError{
                declared.line, messages.get(msg::kAddressTwice, {std::to_string(addr.first),
                                                             std::to_string(addr.second)})};
            return false;
        }
        address[declared.group] = addr;
        return true;
    };
    for (const auto &declared : parsed.drives)
        if (declared.deviceId && !claim(declared, {declared.hostAdapter.value_or(1), *declared.deviceId}))
            return false;
    for (const auto &declared : parsed.drives) {
        if (declared.deviceId)
            continue;
        int ha = declared.hostAdapter.value_or(1);
        auto known = groupAddress_.find(declared.group);
        if (known != groupAddress_.end() && known->second.first == ha &&
            !used.count(known->second)) {
            claim(declared, known->second);
            continue;
        }
        int id = 0;
        std::set<std::pair<int, int>> reserved;
        for (const auto &[group, addr] : groupAddress_)
            if (group != declared.group)
                reserved.insert(addr);
        while (used.count({ha, id}) || reserved.count({ha, id}))
            ++id;
        claim(declared, {ha, id});
    }

    bool listChanged = false;
    std::vector<std::shared_ptr<Drive>> fileDrives;
    std::set<std::string> groupsNow;
    for (auto &declared : parsed.drives) {
        groupsNow.insert(declared.group);
        if (unpluggedGroups_.count(declared.group))
            continue;
        auto addr = address[declared.group];
        groupAddress_[declared.group] = addr;
        std::shared_ptr<Drive> drive;
        for (const auto &d : drives)
            if (d->present && d->group == declared.group)
                drive = d;
        if (drive && (drive->hostAdapter != addr.first || drive->deviceId != addr.second)) {
            drive->present = false;  // moved to another address: a different drive
            drive.reset();
            listChanged = true;
        }
        auto last = lastApplied_.find(declared.group);
        if (!drive) {
            drive = std::make_shared<Drive>();
            drive->hostAdapter = addr.first;
            drive->deviceId = addr.second;
            drive->group = declared.group;
            drive->describeFrom(declared);
            drive->busy = declared.busy;
            drive->trayOpen = declared.trayOpen.value_or(false);
            if (!declared.disc.empty()) {
                auto it = openedDiscs.find(declared.group);
                if (it != openedDiscs.end())
                    drive->disc = it->second;
                else if (auto reopened = openTrayDisc(declared.disc))
                    drive->disc = std::move(reopened).value();
            }
            listChanged = true;
        } else {
            const DriveSpec *before = last != lastApplied_.end() ? &last->second : nullptr;
            if (!before || !declared.sameDescription(*before)) {
                drive->describeFrom(declared);
                listChanged = true;
            }
            bool mediumChanged = false;
            if (!before || before->disc != declared.disc) {
                // A disc put in closes the tray over it; a disc taken out
                // leaves the tray open, as a user's hand would.
                auto it = openedDiscs.find(declared.group);
                drive->disc = declared.disc.empty() || it == openedDiscs.end() ? nullptr : it->second;
                drive->trayOpen = declared.trayOpen.value_or(declared.disc.empty());
                drive->spinUpSince = Clock::now();
                mediumChanged = true;
            } else if (declared.trayOpen && (!before->trayOpen || *before->trayOpen != *declared.trayOpen) &&
                       drive->trayOpen != *declared.trayOpen) {
                drive->trayOpen = *declared.trayOpen;
                if (!drive->trayOpen)
                    drive->spinUpSince = Clock::now();
                mediumChanged = true;
            }
            if (mediumChanged && notify)
                postStatus(*drive, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
            if ((!before || before->busy != declared.busy) && drive->busy != declared.busy) {
                drive->busy = declared.busy;
                if (notify)
                    postStatus(*drive, declared.busy ? VORN_DRIVE_STATUS_IN_USE
                                                 : VORN_DRIVE_STATUS_FREE);
            }
        }
        fileDrives.push_back(drive);
    }

    std::vector<std::shared_ptr<Drive>> others;
    for (const auto &drive : drives) {
        if (drive->group.empty()) {
            others.push_back(drive);
        } else if (std::find(fileDrives.begin(), fileDrives.end(), drive) == fileDrives.end()) {
            drive->present = false;
            listChanged = true;
        }
    }
    // A group the control interface unplugged may come back once the file
    // has dropped it and lists it again.
    for (auto it = unpluggedGroups_.begin(); it != unpluggedGroups_.end();)
        it = groupsNow.count(*it) ? std::next(it) : unpluggedGroups_.erase(it);

    // File drives in file order, then the control interface's, then the
    // image recorder, which `others` keeps last.
    std::stable_partition(others.begin(), others.end(),
                          [](const auto &d) { return !d->imageRecorder; });
    fileDrives.insert(fileDrives.end(), others.begin(), others.end());
    drives = std::move(fileDrives);

    lastApplied_.clear();
    for (auto &declared : parsed.drives)
        lastApplied_[declared.group] = declared;
    if (listChanged && notify)
        postChange();
    return true;
}

void Engine::watcherLoop()
{
    std::unique_lock lock(mu);
    for (;;) {
        watchCv_.wait_for(lock, kWatchInterval,
                          [&] { return stopping_ || rescanRequested_ > rescanDone_; });
        if (stopping_)
            return;
        bool forced = rescanRequested_ > rescanDone_;
        std::uint64_t target = rescanRequested_;
        lock.unlock();
        bool ok = scanDrivesFile(forced, true);
        lock.lock();
        if (forced) {
            lastScanOk_ = ok;
            rescanDone_ = target;
            rescanDoneCv_.notify_all();
        }
    }
}

// --- Start and stop ------------------------------------------------------------

int Engine::start(const VornSettings *settingsArg, const char *drivesFileArg)
{
    std::lock_guard life(lifeMu);
    {
        std::lock_guard lock(mu);
        if (running)
            return VORN_INIT_OK;
        const char *optionLog = std::getenv("VORN_CONTROL_OPTION_LOG");
        optionLogPath = optionLog ? optionLog : "";
        if (const char *env = std::getenv("VORN_CONTROL_TIME_SCALE"))
            timeScale = std::max(0.0, std::atof(env));
        std::optional<int> forced = forcedInitResult;
        if (!forced)
            if (const char *env = std::getenv("VORN_CONTROL_INIT_RESULT"))
                forced = std::atoi(env);
        if (takeFailure(VORN_CONTROL_CALL_INIT))
            forced = VORN_INIT_ERROR;
        if (forced && *forced == VORN_INIT_ERROR)
            return VORN_INIT_ERROR;
        if (!settingsArg)
            return VORN_INIT_ERROR;

        settings = settingsArg;
        errorLog.clear();
        std::filesystem::path folder =
            settingsArg->engineDir && *settingsArg->engineDir ? settingsArg->engineDir
                                                              : VORN_ENGINE_DIR;
        std::string language = settingsArg->languageFile && *settingsArg->languageFile
                                   ? settingsArg->languageFile
                                   : "Vorn.txt";
        messages.reset();
        languageMissing = !messages.load(folder / language);
        if (languageMissing)
            logError(messages.get(msg::kLanguageFileMissing, {(folder / language).string()}));

        if (drivesFileArg && *drivesFileArg)
            drivesFile = drivesFileArg;
        else if (const char *env = std::getenv("VORN_EMULATED_DRIVES"); env && *env)
            drivesFile = env;
        else
            drivesFile.clear();

        auto recorder = std::make_shared<Drive>();
        recorder->imageRecorder = true;
        recorder->hostAdapter = VORN_IMAGE_RECORDER_HA;
        recorder->deviceId = VORN_IMAGE_RECORDER_ID;
        recorder->name = "Image Recorder";
        recorder->vendor = "VORN";
        recorder->product = "Image Recorder";
        recorder->revision = "1.0";
        recorder->type = VORN_DEVICE_TYPE_RECORDER;
        recorder->capabilities = VORN_CAP_WRITE | VORN_CAP_IMAGE_RECORDER;
        for (const auto &kind : mediumKinds())
            if (kind.recordable)
                recorder->writeMedia |= kind.value;
        recorder->readMedia = recorder->writeMedia;
        drives = {recorder};
        options = EngineOptions{};
        lastApplied_.clear();
        lastStamp_.reset();
        groupAddress_.clear();
        unpluggedGroups_.clear();
        nextControlId_ = 0;
        stopping_ = false;
        running = true;
    }
    scanDrivesFile(true, false);
    std::lock_guard lock(mu);
    callbackThread_ = std::thread([this] { callbackLoop(); });
    watcherThread_ = std::thread([this] { watcherLoop(); });
    if (forcedInitResult)
        return *forcedInitResult;
    if (const char *env = std::getenv("VORN_CONTROL_INIT_RESULT"))
        return std::atoi(env);
    return languageMissing ? VORN_INIT_LANGUAGE_FILE_MISSING : VORN_INIT_OK;
}

void Engine::stop()
{
    std::lock_guard life(lifeMu);
    {
        std::lock_guard lock(mu);
        if (!running)
            return;
        stopping_ = true;
        eventsCv_.notify_all();
        watchCv_.notify_all();
        rescanDoneCv_.notify_all();
    }
    // Stopping from inside a drive callback must not wait for the thread
    // that is running that very callback.
    auto self = std::this_thread::get_id();
    for (auto *t : {&callbackThread_, &watcherThread_}) {
        if (!t->joinable())
            continue;
        if (t->get_id() == self)
            t->detach();
        else
            t->join();
    }
    std::lock_guard lock(mu);
    for (auto &[key, handle] : handles)
        if (handle->drive)
            handle->drive->openHandles = 0;
    handles.clear();
    drives.clear();
    changeCallbacks.clear();
    statusCallbacks.clear();
    events_.clear();
    eventsDelivered_ = eventsQueued_;
    deliveredCv_.notify_all();
    settings = nullptr;
    running = false;
}

}  // namespace vorn::engine
