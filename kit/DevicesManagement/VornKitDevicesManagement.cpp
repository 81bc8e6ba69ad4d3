// The device list and its scanner thread.
//
// Three kinds of thread meet here: the scanner (rebuilds the list from the
// engine), the engine's callback thread (drive-change posts a rescan,
// drive-status marks a drive in use or free) and any caller of the public
// functions (the GUI thread above all). All of them touch the list only under
// the list mutex; listeners run only on the main loop, from zero-delay
// timeouts that take the GDK lock, and never while the list mutex is held, so
// a listener may call back into this module.
#include "VornKitDevicesManagement.h"

#include "Debugger.h"
#include "VornImages.h"
#include "VornKitUtil.h"
#include "VornPaths.h"

#include <gdk/gdk.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr gint kDefaultBookType = 3;

// The recording settings a drive keeps while it stays listed.
struct DeviceSettings {
    gint bookType = kDefaultBookType;
    gint bufferUnderrunProtection = 0;
    gint autoSpeedDown = 0;
    gint dvdHighCompatibility = 0;
    gint extendedLeadOutDL = 0;
};

DeviceSettings defaultSettings(const VornDeviceEntry &entry)
{
    DeviceSettings s;
    s.bufferUnderrunProtection = (entry.capabilities & VORN_CAP_BUFFER_UNDERRUN_PROTECTION) ? 1 : 0;
    s.dvdHighCompatibility = (entry.capabilities & VORN_CAP_DVD_HIGH_COMPATIBILITY) ? 1 : 0;
    return s;
}

// One listed drive. The device lock is recursive and only ever tried, never
// waited for: it is the owning thread and a count, both guarded by the list
// mutex, so that a lock can pass from the old record to the new one when the
// list is rebuilt while a burn holds the drive.
struct DeviceRecord {
    VornDeviceEntry entry{};
    DeviceSettings settings;
    std::thread::id lockOwner;
    int lockCount = 0;

    bool inUse() const { return entry.inUse == VORN_DEVICE_IN_USE || lockCount > 0; }
};

struct ChangeListener {
    VornKitDevicesChangeCallback fn;
    gpointer data;
    bool operator==(const ChangeListener &) const = default;
};

struct StatusListener {
    VornKitDeviceStatusCallback fn;
    gpointer data;
    bool operator==(const StatusListener &) const = default;
};

// The scanner's three semaphores share one mutex and condition, so that the
// scanner can wait for "quit or rescan" in one call.
class ScannerSignals {
public:
    void post(int &counter)
    {
        {
            std::lock_guard lock(mu_);
            ++counter;
        }
        cv_.notify_all();
    }
    bool tryTake(int &counter)
    {
        std::lock_guard lock(mu_);
        if (counter == 0)
            return false;
        --counter;
        return true;
    }
    // Waits until `counter` can be taken, and takes it.
    void take(int &counter)
    {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return counter > 0; });
        --counter;
    }
    // Waits at most `timeout` for a quit, a wake-up or (when `wantRescan`) a
    // rescan post.
    void waitForWork(bool wantRescan, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mu_);
        const unsigned seen = wakeups_;
        cv_.wait_for(lock, timeout,
                     [&] { return quit > 0 || wakeups_ != seen || (wantRescan && rescan > 0); });
    }
    // Makes the scanner look again at once (callbacks were enabled again).
    void wake()
    {
        {
            std::lock_guard lock(mu_);
            ++wakeups_;
        }
        cv_.notify_all();
    }
    void reset()
    {
        std::lock_guard lock(mu_);
        quit = rescan = firstScanDone = 0;
    }

    int quit = 0;
    int rescan = 0;
    int firstScanDone = 0;

private:
    std::mutex mu_;
    std::condition_variable cv_;
    unsigned wakeups_ = 0;
};

struct ModuleState {
    std::recursive_mutex listMutex;
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    // Addresses whose status callback is registered with the engine.
    std::vector<std::pair<int, int>> statusRegistered;

    std::recursive_mutex changeMutex;
    std::vector<ChangeListener> changeListeners;
    std::recursive_mutex statusMutex;
    std::vector<StatusListener> statusListeners;

    std::mutex disableMutex;
    gint disableCount = 0;

    ScannerSignals signals;
    std::mutex lifeMutex;  // Init and Done
    std::thread scanner;
    bool running = false;
    bool changeCallbackRegistered = false;
    // Notifications scheduled before the last Done carry an older generation
    // and do nothing when they run.
    std::atomic<unsigned> generation{0};
};

// Never destroyed: an engine thread or a pending timeout may still reach it
// while the process exits.
ModuleState &state()
{
    static ModuleState *s = new ModuleState;
    return *s;
}

DeviceRecord *findByAddress(ModuleState &s, int hostAdapter, int deviceId)
{
    for (auto &record : s.devices)
        if (record->entry.hostAdapter == hostAdapter && record->entry.deviceId == deviceId)
            return record.get();
    return nullptr;
}

DeviceRecord *find(ModuleState &s, const VornDeviceEntry *device)
{
    return device ? findByAddress(s, device->hostAdapter, device->deviceId) : nullptr;
}

bool sameDrive(const DeviceRecord &record, const VornDeviceEntry &entry)
{
    return VornKit_VornSCSIDeviceInfo_EqualEx(&record.entry, &entry);
}

// --- Notifications on the main loop ------------------------------------------

VornKitDevicesInfo *makeSnapshot(ModuleState &s) noexcept
{
    std::lock_guard lock(s.listMutex);
    if (s.devices.empty())
        return nullptr;
    const gsize size = VORN_DEVICE_LIST_HEADER_SIZE + s.devices.size() * sizeof(VornDeviceEntry);
    auto *snapshot = static_cast<VornKitDevicesInfo *>(g_try_malloc0(size));
    if (!snapshot) {
        debugger_DummyOut("Devices snapshot: out of memory\n");
        return nullptr;
    }
    snapshot->count = static_cast<int32_t>(s.devices.size());
    for (int i = 0; i < snapshot->count; ++i) {
        const DeviceRecord &record = *s.devices[static_cast<std::size_t>(i)];
        VornDeviceEntry *copy = VornDeviceList_Entry(snapshot, i);
        VornKit_VornSCSIDeviceInfo_Dump(copy, &record.entry, TRUE);
        copy->inUse = record.inUse() ? VORN_DEVICE_IN_USE : VORN_DEVICE_FREE;
    }
    return snapshot;
}

// Calls each listener registered now; one that a listener removes during the
// round is not called after its removal.
void notifyDeviceChange(ModuleState &s, VornKitDevicesInfo *snapshot) noexcept
{
    std::lock_guard lock(s.changeMutex);
    const auto listeners = s.changeListeners;
    for (const auto &listener : listeners) {
        if (!listener.fn)
            continue;
        if (std::find(s.changeListeners.begin(), s.changeListeners.end(), listener) == s.changeListeners.end())
            continue;
        listener.fn(snapshot, listener.data);
    }
}

struct ChangeNotice {
    unsigned generation;
};

gboolean deliverDeviceChange(gpointer data) noexcept
{
    auto *notice = static_cast<ChangeNotice *>(data);
    ModuleState &s = state();
    if (notice->generation != s.generation.load())
        return FALSE;
    VornKitDevicesInfo *snapshot = makeSnapshot(s);
    try {
        notifyDeviceChange(s, snapshot);
    } catch (...) {
        debugger_DummyOut("Device-change listener failed\n");
    }
    VornKit_DevicesManagement_FreeDevicesInfoStructure(snapshot);
    return FALSE;
}

void scheduleDeviceChange(ModuleState &s) noexcept
{
    auto *notice = new (std::nothrow) ChangeNotice{s.generation.load()};
    if (!notice) {
        debugger_DummyOut("Device-change notification: out of memory\n");
        return;
    }
    gdk_threads_add_timeout_full(G_PRIORITY_DEFAULT, 0, deliverDeviceChange, notice,
                                 [](gpointer p) { delete static_cast<ChangeNotice *>(p); });
}

struct StatusNotice {
    unsigned generation;
    VornDeviceEntry device;
    gboolean inUse;
};

gboolean deliverStatusChange(gpointer data) noexcept
{
    auto *notice = static_cast<StatusNotice *>(data);
    ModuleState &s = state();
    if (notice->generation != s.generation.load())
        return FALSE;
    try {
        std::lock_guard lock(s.statusMutex);
        const auto listeners = s.statusListeners;
        for (const auto &listener : listeners) {
            if (!listener.fn)
                continue;
            if (std::find(s.statusListeners.begin(), s.statusListeners.end(), listener) == s.statusListeners.end())
                continue;
            listener.fn(&notice->device, notice->inUse, listener.data);
        }
    } catch (...) {
        debugger_DummyOut("Status-change listener failed\n");
    }
    return FALSE;
}

void scheduleStatusChange(ModuleState &s, const VornDeviceEntry &device, bool inUse) noexcept
{
    auto *notice = new (std::nothrow) StatusNotice{s.generation.load(), {}, inUse ? TRUE : FALSE};
    if (!notice) {
        debugger_DummyOut("Status-change notification: out of memory\n");
        return;
    }
    VornKit_VornSCSIDeviceInfo_Dump(&notice->device, &device, TRUE);
    notice->device.inUse = inUse ? VORN_DEVICE_IN_USE : VORN_DEVICE_FREE;
    gdk_threads_add_timeout_full(G_PRIORITY_DEFAULT, 0, deliverStatusChange, notice,
                                 [](gpointer p) { delete static_cast<StatusNotice *>(p); });
}

// --- Engine callbacks (engine thread) ----------------------------------------

void onDriveChange(void *) noexcept
{
    ModuleState &s = state();
    s.signals.post(s.signals.rescan);
}

void onDriveStatus(int hostAdapter, int deviceId, int status, void *) noexcept
{
    if (status != VORN_DRIVE_STATUS_IN_USE && status != VORN_DRIVE_STATUS_FREE)
        return;
    ModuleState &s = state();
    std::lock_guard lock(s.listMutex);
    DeviceRecord *record = findByAddress(s, hostAdapter, deviceId);
    if (!record)
        return;
    const bool inUse = status == VORN_DRIVE_STATUS_IN_USE;
    record->entry.inUse = inUse ? VORN_DEVICE_IN_USE : VORN_DEVICE_FREE;
    // A drive we hold ourselves stays "in use" for its listeners whatever
    // another application does with it.
    if (record->lockCount == 0)
        scheduleStatusChange(s, record->entry, inUse);
}

// --- The scanner ----------------------------------------------------------------

// Status callbacks stay registered for as long as a drive stays listed:
// dropping and registering them again at every rescan would lose a status
// change that falls between the two.
void unregisterStatus(const std::pair<int, int> &address) noexcept
{
    VornDeviceEntry entry;
    VornKit_VornSCSIDeviceInfo_InitInvalidDeviceInfo(&entry);
    entry.hostAdapter = address.first;
    entry.deviceId = address.second;
    VornUnregisterDriveStatusCallback(1, &entry, onDriveStatus, nullptr);
}

void unregisterAllStatus(ModuleState &s) noexcept
{
    for (const auto &address : s.statusRegistered)
        unregisterStatus(address);
    s.statusRegistered.clear();
}

// Rebuilds the list from the engine. Returns false when the engine gave no list.
bool scanOnce(ModuleState &s)
{
    VornDeviceList *engineList = VornGetAvailableDrivesEx(0, 1);

    std::lock_guard lock(s.listMutex);
    std::vector<std::unique_ptr<DeviceRecord>> old;
    old.swap(s.devices);

    if (!engineList) {
        debugger_DummyOut("Devices scan: the engine listed no drives\n");
        unregisterAllStatus(s);
        return !old.empty();
    }

    for (int i = 0; i < engineList->count; ++i) {
        const VornDeviceEntry *entry = VornDeviceList_Entry(engineList, i);
        auto record = std::unique_ptr<DeviceRecord>(new (std::nothrow) DeviceRecord);
        if (!record) {
            debugger_DummyOut("Devices scan: out of memory, drive %d skipped\n", i);
            continue;
        }
        VornKit_VornSCSIDeviceInfo_Dump(&record->entry, entry, TRUE);
        if (record->entry.inUse != VORN_DEVICE_IN_USE)
            record->entry.inUse = VORN_DEVICE_FREE;
        record->settings = defaultSettings(record->entry);
        // A drive that kept its name and address is the same drive: it keeps
        // what the user set for it and, while in use, its in-use state and
        // whoever holds its lock.
        for (const auto &before : old) {
            if (!sameDrive(*before, record->entry))
                continue;
            record->settings = before->settings;
            if (before->inUse()) {
                record->entry.inUse = before->entry.inUse;
                record->lockOwner = before->lockOwner;
                record->lockCount = before->lockCount;
            }
            break;
        }
        const std::pair<int, int> address{record->entry.hostAdapter, record->entry.deviceId};
        if (std::find(s.statusRegistered.begin(), s.statusRegistered.end(), address) == s.statusRegistered.end()) {
            if (VornRegisterDriveStatusCallback(1, &record->entry, onDriveStatus, nullptr))
                s.statusRegistered.push_back(address);
            else
                debugger_DummyOut("Devices scan: no status callback for %s\n", record->entry.name);
        }
        s.devices.push_back(std::move(record));
    }
    VornFreeMem(engineList);
    // Drives that left the list take their status callbacks with them.
    std::erase_if(s.statusRegistered, [&s](const std::pair<int, int> &address) {
        if (findByAddress(s, address.first, address.second))
            return false;
        unregisterStatus(address);
        return true;
    });
    return true;
}

bool callbacksDisabled(ModuleState &s)
{
    std::lock_guard lock(s.disableMutex);
    return s.disableCount > 0;
}

void scannerMain() noexcept
{
    ModuleState &s = state();
    bool firstScan = true;
    try {
        for (;;) {
            if (s.signals.tryTake(s.signals.quit))
                return;
            if (callbacksDisabled(s) || !s.signals.tryTake(s.signals.rescan)) {
                s.signals.waitForWork(!callbacksDisabled(s), std::chrono::seconds(1));
                continue;
            }
            const bool changed = scanOnce(s);
            if (changed)
                scheduleDeviceChange(s);
            if (firstScan) {
                firstScan = false;
                s.signals.post(s.signals.firstScanDone);
            }
        }
    } catch (...) {
        // Only memory can fail here; keep Init from waiting for ever.
        debugger_DummyOut("Devices scanner stopped by an error\n");
        if (firstScan)
            s.signals.post(s.signals.firstScanDone);
    }
}

template <class Listener>
gint removeListener(std::vector<Listener> &listeners, const Listener &listener)
{
    auto it = std::find(listeners.begin(), listeners.end(), listener);
    if (it == listeners.end())
        return 0;
    listeners.erase(it);
    return 1;
}

// Runs `apply` on the listed record of `device` under the list mutex;
// `fallback` when the drive is not listed.
template <class Fn, class T>
T withRecord(const VornDeviceEntry *device, T fallback, Fn apply)
{
    ModuleState &s = state();
    std::lock_guard lock(s.listMutex);
    DeviceRecord *record = find(s, device);
    return record ? apply(*record) : fallback;
}

bool sendDeviceOption(const VornDeviceEntry &device, int option, gint value) noexcept
{
    VornDevice *handle = VornOpenDevice(&device);
    if (!handle)
        return false;
    const int32_t v = value;
    const int accepted = VornSetDeviceOption(handle, option, &v);
    VornCloseDevice(handle);
    return accepted == 1;
}

}  // namespace

extern "C" gint VornKit_DevicesManagement_Init(void)
{
    ModuleState &s = state();
    std::lock_guard life(s.lifeMutex);
    if (s.running)
        return VORNKIT_DEVICES_INIT_OK;
    s.signals.reset();
    try {
        s.scanner = std::thread(scannerMain);
    } catch (...) {
        debugger_DummyOut("Devices management: cannot start the scanner\n");
        return VORNKIT_DEVICES_INIT_FAILED;
    }
    s.running = true;
    gint result = VORNKIT_DEVICES_INIT_OK;
    s.changeCallbackRegistered = VornRegisterDriveChangeCallback(onDriveChange, nullptr) == 1;
    if (!s.changeCallbackRegistered) {
        debugger_DummyOut("Devices management: the engine refused the drive-change callback\n");
        result = VORNKIT_DEVICES_INIT_NO_HOTPLUG;
    }
    s.signals.post(s.signals.rescan);
    s.signals.take(s.signals.firstScanDone);
    return result;
}

extern "C" void VornKit_DevicesManagement_Done(void)
{
    ModuleState &s = state();
    std::lock_guard life(s.lifeMutex);
    if (!s.running)
        return;
    if (s.changeCallbackRegistered)
        VornUnregisterDriveChangeCallback(onDriveChange, nullptr);
    s.changeCallbackRegistered = false;
    s.signals.post(s.signals.quit);
    s.scanner.join();
    s.running = false;
    ++s.generation;
    {
        std::lock_guard lock(s.changeMutex);
        s.changeListeners.clear();
    }
    {
        std::lock_guard lock(s.statusMutex);
        s.statusListeners.clear();
    }
    {
        std::lock_guard lock(s.disableMutex);
        s.disableCount = 0;
    }
    std::lock_guard lock(s.listMutex);
    unregisterAllStatus(s);
    s.devices.clear();
}

extern "C" VornKitDevicesInfo *VornKit_DevicesManagement_GetDevicesInfoStructure(void)
{
    return makeSnapshot(state());
}

extern "C" void VornKit_DevicesManagement_FreeDevicesInfoStructure(VornKitDevicesInfo *devices)
{
    // Entries of this engine own no text (byte 64 is always set), so the
    // block is all there is to free.
    g_free(devices);
}

extern "C" gint VornKit_DevicesManagement_RegisterDeviceChangeCallback(VornKitDevicesChangeCallback fn,
                                                                       gpointer data)
{
    if (!fn)
        return 0;
    ModuleState &s = state();
    try {
        std::lock_guard lock(s.changeMutex);
        s.changeListeners.push_back({fn, data});
    } catch (const std::bad_alloc &) {
        return 0;
    }
    if (VornKitDevicesInfo *snapshot = makeSnapshot(s)) {
        fn(snapshot, data);
        VornKit_DevicesManagement_FreeDevicesInfoStructure(snapshot);
    }
    return 1;
}

extern "C" gint VornKit_DevicesManagement_UnregisterDeviceChangeCallback(VornKitDevicesChangeCallback fn,
                                                                         gpointer data)
{
    ModuleState &s = state();
    std::lock_guard lock(s.changeMutex);
    return removeListener(s.changeListeners, ChangeListener{fn, data});
}

extern "C" gint VornKit_DevicesManagement_RegisterStatusChangeCallback(VornKitDeviceStatusCallback fn,
                                                                       gpointer data)
{
    if (!fn)
        return 0;
    ModuleState &s = state();
    try {
        std::lock_guard lock(s.statusMutex);
        s.statusListeners.push_back({fn, data});
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return 1;
}

extern "C" gint VornKit_DevicesManagement_UnregisterStatusChangeCallback(VornKitDeviceStatusCallback fn,
                                                                         gpointer data)
{
    ModuleState &s = state();
    std::lock_guard lock(s.statusMutex);
    return removeListener(s.statusListeners, StatusListener{fn, data});
}

extern "C" void VornKit_DevicesManagement_DisableDevicesChangeCallbacks(void)
{
    ModuleState &s = state();
    std::lock_guard lock(s.disableMutex);
    if (s.disableCount < G_MAXINT32)
        ++s.disableCount;
}

extern "C" void VornKit_DevicesManagement_EnableDevicesChangeCallbacks(void)
{
    ModuleState &s = state();
    {
        std::lock_guard lock(s.disableMutex);
        if (s.disableCount > 0)
            --s.disableCount;
    }
    s.signals.wake();
}

extern "C" gboolean VornKit_DevicesManagement_AreDevicesChangeCallbacksEnabled(void)
{
    return callbacksDisabled(state()) ? FALSE : TRUE;
}

extern "C" gboolean VornKit_DevicesManagement_LockDevice(const VornDeviceEntry *device)
{
    ModuleState &s = state();
    std::lock_guard lock(s.listMutex);
    DeviceRecord *record = find(s, device);
    if (!record)
        return FALSE;
    const auto self = std::this_thread::get_id();
    if (record->lockCount > 0 && record->lockOwner != self)
        return FALSE;
    const bool wasFree = !record->inUse();
    record->lockOwner = self;
    ++record->lockCount;
    if (wasFree)
        scheduleStatusChange(s, record->entry, true);
    return TRUE;
}

extern "C" gboolean VornKit_DevicesManagement_UnlockDevice(const VornDeviceEntry *device)
{
    ModuleState &s = state();
    std::lock_guard lock(s.listMutex);
    DeviceRecord *record = find(s, device);
    if (!record || record->lockCount == 0 || record->lockOwner != std::this_thread::get_id())
        return FALSE;
    const bool becomesFree = record->entry.inUse != VORN_DEVICE_IN_USE && record->lockCount == 1;
    if (--record->lockCount == 0)
        record->lockOwner = std::thread::id{};
    if (becomesFree)
        scheduleStatusChange(s, record->entry, false);
    return TRUE;
}

extern "C" gint VornKit_DevicesManagement_IsDeviceReady(const VornDeviceEntry *device)
{
    if (!device)
        return VORNKIT_DEVICE_NONE;
    VornDeviceEntry copy;
    VornKit_VornSCSIDeviceInfo_Dump(&copy, device, FALSE);
    const bool inUse = withRecord(device, false, [](DeviceRecord &r) { return r.inUse(); });
    if (inUse)
        return VORNKIT_DEVICE_IN_USE;
    VornDevice *handle = VornOpenDevice(&copy);
    if (!handle)
        return VORNKIT_DEVICE_CANNOT_OPEN;
    const gint ready = VornIsDeviceReady(handle);
    VornCloseDevice(handle);
    return ready;
}

extern "C" gboolean VornKit_DevicesManagement_SetBufferUnderrunProtection(const VornDeviceEntry *device, gint value)
{
    return withRecord(device, FALSE, [value](DeviceRecord &r) -> gboolean {
        if (!(r.entry.capabilities & VORN_CAP_BUFFER_UNDERRUN_PROTECTION))
            return FALSE;
        r.settings.bufferUnderrunProtection = value;
        return TRUE;
    });
}

extern "C" gint VornKit_DevicesManagement_GetBufferUnderrunProtection(const VornDeviceEntry *device)
{
    return withRecord(device, 0, [](DeviceRecord &r) {
        return (r.entry.capabilities & VORN_CAP_BUFFER_UNDERRUN_PROTECTION) ? r.settings.bufferUnderrunProtection : 0;
    });
}

extern "C" gboolean VornKit_DevicesManagement_SetBookTypeSettings(const VornDeviceEntry *device, gint value)
{
    return withRecord(device, FALSE, [value](DeviceRecord &r) -> gboolean {
        r.settings.bookType = value;
        return TRUE;
    });
}

extern "C" gint VornKit_DevicesManagement_GetBookTypeSettings(const VornDeviceEntry *device)
{
    if (!device)
        return 2;
    return withRecord(device, 0, [](DeviceRecord &r) { return r.settings.bookType; });
}

extern "C" gboolean VornKit_DevicesManagement_SetDVDHighCompatibilityMode(const VornDeviceEntry *device, gint value)
{
    return withRecord(device, FALSE, [value](DeviceRecord &r) -> gboolean {
        if (!(r.entry.capabilities & VORN_CAP_DVD_HIGH_COMPATIBILITY))
            return FALSE;
        r.settings.dvdHighCompatibility = value;
        return TRUE;
    });
}

extern "C" gint VornKit_DevicesManagement_GetDVDHighCompatibilityMode(const VornDeviceEntry *device)
{
    return withRecord(device, 0, [](DeviceRecord &r) {
        return (r.entry.capabilities & VORN_CAP_DVD_HIGH_COMPATIBILITY) ? r.settings.dvdHighCompatibility : 0;
    });
}

namespace {
constexpr guint32 kAutoSpeedDownCaps = VORN_CAP_AUTO_SPEED_DOWN | VORN_CAP_DVD_PLUS_R_DL;
}

extern "C" gboolean VornKit_DevicesManagement_SetAutoSpeedDown(const VornDeviceEntry *device, gint value)
{
    VornDeviceEntry target;
    const gboolean allowed = withRecord(device, FALSE, [&](DeviceRecord &r) -> gboolean {
        if (!(r.entry.capabilities & kAutoSpeedDownCaps))
            return FALSE;
        r.settings.autoSpeedDown = value;
        VornKit_VornSCSIDeviceInfo_Dump(&target, &r.entry, FALSE);
        return TRUE;
    });
    // The engine is called outside the list mutex: opening a drive may take
    // as long as the engine likes.
    if (allowed) {
        const int option = (target.capabilities & VORN_CAP_AUTO_SPEED_DOWN) ? VORN_DEVICE_OPTION_AUTO_SPEED_DOWN
                                                                             : VORN_DEVICE_OPTION_AUTO_SPEED_DOWN_ALT;
        if (!sendDeviceOption(target, option, value))
            debugger_DummyOut("Automatic speed-down not taken by %s\n", target.name);
    }
    return allowed;
}

extern "C" gint VornKit_DevicesManagement_GetAutoSpeedDown(const VornDeviceEntry *device)
{
    return withRecord(device, 0, [](DeviceRecord &r) {
        return (r.entry.capabilities & kAutoSpeedDownCaps) ? r.settings.autoSpeedDown : 0;
    });
}

extern "C" gboolean VornKit_DevicesManagement_SetExtendedLeadOutDL(const VornDeviceEntry *device, gint value)
{
    VornDeviceEntry target;
    const gboolean allowed = withRecord(device, FALSE, [&](DeviceRecord &r) -> gboolean {
        if (!(r.entry.capabilities & VORN_CAP_EXTENDED_LEADOUT_DL))
            return FALSE;
        r.settings.extendedLeadOutDL = value;
        VornKit_VornSCSIDeviceInfo_Dump(&target, &r.entry, FALSE);
        return TRUE;
    });
    if (allowed && !sendDeviceOption(target, VORN_DEVICE_OPTION_EXTENDED_LEADOUT_DL, value))
        debugger_DummyOut("Extended lead-out not taken by %s\n", target.name);
    return allowed;
}

extern "C" gint VornKit_DevicesManagement_GetExtendedLeadOutDL(const VornDeviceEntry *device)
{
    return withRecord(device, 0, [](DeviceRecord &r) {
        return (r.entry.capabilities & VORN_CAP_EXTENDED_LEADOUT_DL) ? r.settings.extendedLeadOutDL : 0;
    });
}

extern "C" GdkPixbuf *VornKit_DevicesManagement_GetDevicePixbuf(const VornDeviceEntry *device, gint locked,
                                                              gint size)
{
    if (!device || size < 0 || size >= static_cast<gint>(vorn::images::kIndexedSizes.size()))
        return nullptr;
    const char *kind = nullptr;
    if (device->capabilities & VORN_CAP_IMAGE_RECORDER) {
        kind = "imagerecorder";
    } else if (device->type == VORN_DEVICE_TYPE_RECORDER || device->type == VORN_DEVICE_TYPE_READER) {
        const bool recorder = device->type == VORN_DEVICE_TYPE_RECORDER;
        const guint32 mask = recorder ? device->writeMedia : device->readMedia;
        kind = recorder ? "cdrecorder" : "cdrom";
        if (mask & 0xC021C)
            kind = recorder ? "dvdrecorder" : "dvdrom";
        if (mask & 0xF800000)
            kind = recorder ? "hddvdrecorder" : "hddvdrom";
        if (mask & 0x30700000)
            kind = recorder ? "bdrecorder" : "bdrom";
    }
    if (!kind)
        return nullptr;
    const bool showLocked = device->inUse == VORN_DEVICE_IN_USE || locked == 1;
    gchar *dir = VornKit_Util_GetImagesDirectory();
    gchar *path = g_strdup_printf(VORN_IMG_DEVICE_PATH, dir, kind, showLocked ? VORN_IMG_LOCKED_SUFFIX : "",
                                  vorn::images::kIndexedSizes[static_cast<std::size_t>(size)]);
    GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(path, nullptr);
    g_free(path);
    g_free(dir);
    return pixbuf;
}
