// The C entry points of VornAPI.h. Each one catches everything: no exception
// crosses into a C caller.
#include "Engine.h"
#include "Guarded.h"
#include "Media.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

using vorn::engine::Drive;
using vorn::engine::Engine;
using vorn::engine::engineString;
using vorn::engine::RecordedOption;
using vorn::engine::guarded;

extern "C" {

VORN_EXPORT int VornSetExpectedAPIVersionEx(int major, int minor, int revision, int build,
                                            void *reserved)
{
    return major == VORN_API_VERSION_MAJOR && minor <= VORN_API_VERSION_MINOR && !reserved
               ? 1
               : 0;
}

VORN_EXPORT int VornInitEx(const VornSettings *settings, const char *drivesFile, int, int)
{
    return guarded(VORN_INIT_ERROR, [&] { return Engine::instance().start(settings, drivesFile); });
}

VORN_EXPORT void VornDone(void)
{
    guarded(0, [] {
        Engine::instance().stop();
        return 0;
    });
}

VORN_EXPORT int VornSetOption(int id, const void *value)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        RecordedOption rec;
        rec.record.id = id;
        int accepted = 0;
        if (value) {
            switch (id) {
            case VORN_OPTION_STEADYFILL_BUFFER:
            case VORN_OPTION_CD_OVERBURN_ABSOLUTE:
            case VORN_OPTION_DVD_OVERBURN:
            case VORN_OPTION_CD_OVERBURN_RELATIVE:
            case VORN_OPTION_SHORT_LEADOUT: {
                std::int32_t v;
                std::memcpy(&v, value, sizeof v);
                rec.record.intValue = v;
                accepted = v >= 0 ? 1 : 0;
                if (!accepted)
                    break;
                auto &o = e.options;
                using Mode = vorn::engine::EngineOptions::CdOverburn;
                if (id == VORN_OPTION_STEADYFILL_BUFFER)
                    o.steadyfillBytes = v;
                else if (id == VORN_OPTION_DVD_OVERBURN)
                    o.dvdOverburnBlocks = v;
                else if (id == VORN_OPTION_SHORT_LEADOUT)
                    o.shortLeadOut = v != 0;
                else {
                    // The last of options 4 and 7 decides; 4 with 0 turns CD
                    // overburning off whatever came before.
                    o.cdOverburnFrames = v;
                    o.cdOverburn = id == VORN_OPTION_CD_OVERBURN_RELATIVE ? Mode::Relative
                                   : v == 0                               ? Mode::Off
                                                                          : Mode::Absolute;
                }
                break;
            }
            case VORN_OPTION_USER_DIALOG: {
                VornUserDialogOption pair;
                std::memcpy(&pair, value, sizeof pair);
                rec.record.pointer1 = reinterpret_cast<void *>(pair.callback);
                rec.record.pointer2 = pair.userData;
                e.options.userDialog = pair;
                e.options.userDialogSet = true;
                accepted = 1;
                break;
            }
            case VORN_OPTION_HISTORY_LOG_DIR: {
                rec.text = std::make_unique<std::string>(static_cast<const char *>(value));
                rec.record.text = rec.text->c_str();
                e.historyDir = *rec.text;
                accepted = 1;
                break;
            }
            default:
                break;
            }
        }
        rec.record.accepted = accepted;
        e.recordOption(std::move(rec), false);
        return accepted;
    });
}

VORN_EXPORT void VornFreeMem(void *block)
{
    std::free(block);
}

VORN_EXPORT char *VornGetTypeNameOfMedia(uint32_t mediumMask, int)
{
    return guarded<char *>(nullptr, [&] {
        std::string names = vorn::engine::mediumMaskNames(mediumMask);
        if (names.empty()) {
            auto &e = Engine::instance();
            std::lock_guard lock(e.mu);
            names = e.messages.get(vorn::engine::msg::kUnknownMedium);
        }
        return engineString(names);
    });
}

VORN_EXPORT VornDeviceList *VornGetAvailableDrivesEx(int flags, int includeImageRecorder)
{
    return guarded<VornDeviceList *>(nullptr, [&]() -> VornDeviceList * {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!e.running || flags != 0 || e.takeFailure(VORN_CONTROL_CALL_LIST_DRIVES))
            return nullptr;
        std::vector<const Drive *> listed;
        for (const auto &drive : e.drives)
            if (drive->present && (includeImageRecorder || !drive->imageRecorder))
                listed.push_back(drive.get());
        std::size_t bytes = VORN_DEVICE_LIST_HEADER_SIZE + listed.size() * sizeof(VornDeviceEntry);
        auto *list = static_cast<VornDeviceList *>(std::calloc(1, bytes));
        if (!list)
            return nullptr;
        list->count = static_cast<int32_t>(listed.size());
        for (std::size_t i = 0; i < listed.size(); ++i) {
            VornDeviceEntry entry;
            listed[i]->fillEntry(entry);
            std::memcpy(VornDeviceList_Entry(list, static_cast<int>(i)), &entry, sizeof entry);
        }
        return list;
    });
}

VORN_EXPORT int VornRegisterDriveChangeCallback(VornDriveChangeCallback fn, void *userData)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!e.running || !fn || e.takeFailure(VORN_CONTROL_CALL_REGISTER_CHANGE))
            return 0;
        for (const auto &r : e.changeCallbacks)
            if (r.fn == fn && r.data == userData)
                return 0;
        e.changeCallbacks.push_back({fn, userData});
        return 1;
    });
}

VORN_EXPORT int VornUnregisterDriveChangeCallback(VornDriveChangeCallback fn, void *userData)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto &list = e.changeCallbacks;
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const auto &r) { return r.fn == fn && r.data == userData; });
        if (it == list.end())
            return 0;
        list.erase(it);
        return 1;
    });
}

VORN_EXPORT int VornRegisterDriveStatusCallback(int flags, const VornDeviceEntry *device,
                                                VornDriveStatusCallback fn, void *userData)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!e.running || flags != 1 || !device || !fn ||
            e.takeFailure(VORN_CONTROL_CALL_REGISTER_STATUS))
            return 0;
        if (!e.findDrive(device->hostAdapter, device->deviceId))
            return 0;
        e.statusCallbacks.push_back({device->hostAdapter, device->deviceId, fn, userData});
        return 1;
    });
}

VORN_EXPORT int VornUnregisterDriveStatusCallback(int flags, const VornDeviceEntry *device,
                                                  VornDriveStatusCallback fn, void *userData)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!device)
            return 0;
        auto &list = e.statusCallbacks;
        auto it = std::find_if(list.begin(), list.end(), [&](const auto &r) {
            return r.hostAdapter == device->hostAdapter && r.deviceId == device->deviceId &&
                   r.fn == fn && r.data == userData;
        });
        if (it == list.end())
            return 0;
        list.erase(it);
        return 1;
    });
}

VORN_EXPORT VornDevice *VornOpenDevice(const VornDeviceEntry *device)
{
    return guarded<VornDevice *>(nullptr, [&]() -> VornDevice * {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        if (!e.running || !device || e.takeFailure(VORN_CONTROL_CALL_OPEN_DEVICE))
            return nullptr;
        auto drive = e.findDrive(device->hostAdapter, device->deviceId);
        if (!drive)
            return nullptr;
        auto handle = std::make_unique<VornDevice>();
        handle->drive = drive;
        ++drive->openHandles;
        VornDevice *raw = handle.get();
        e.handles.emplace(raw, std::move(handle));
        return raw;
    });
}

VORN_EXPORT void VornCloseDevice(VornDevice *device)
{
    guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto it = e.handles.find(device);
        if (it == e.handles.end())
            return 0;
        if (it->second->drive && it->second->drive->openHandles > 0)
            --it->second->drive->openHandles;
        e.handles.erase(it);
        return 0;
    });
}

VORN_EXPORT int VornIsDeviceReady(VornDevice *device)
{
    return guarded(VORN_READY_NO_MEDIUM, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.driveOf(device);
        return drive ? e.readiness(*drive) : VORN_READY_NO_MEDIUM;
    });
}

VORN_EXPORT int VornEjectLoadCD(VornDevice *device, int eject)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.driveOf(device);
        if (!drive || !drive->present || drive->imageRecorder)
            return 0;
        if (e.takeFailure(VORN_CONTROL_CALL_EJECT_LOAD))
            return 0;
        bool open = eject != 0;
        if (drive->trayOpen == open)
            return 1;
        drive->trayOpen = open;
        if (!open)
            drive->spinUpSince = vorn::engine::Clock::now();
        e.postStatus(*drive, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
        return 1;
    });
}

VORN_EXPORT uint32_t VornGetCurrentMediumType(VornDevice *device)
{
    return guarded<uint32_t>(VORN_MEDIUM_NONE, [&]() -> uint32_t {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.driveOf(device);
        if (!drive || drive->imageRecorder || !drive->present || drive->trayOpen || !drive->disc)
            return VORN_MEDIUM_NONE;
        return drive->disc->container.mediumType();
    });
}

VORN_EXPORT VornSpeeds *VornGetAvailableSpeeds(VornDevice *device, int access, uint32_t medium,
                                               int)
{
    return guarded<VornSpeeds *>(nullptr, [&]() -> VornSpeeds * {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.driveOf(device);
        if (!drive || e.takeFailure(VORN_CONTROL_CALL_GET_SPEEDS))
            return nullptr;
        if (medium == 0)
            medium = drive->present && !drive->trayOpen && drive->disc
                         ? drive->disc->container.mediumType()
                         : VORN_FAMILY_CD;

        bool read = access == VORN_ACCESS_READ;
        bool erase = access == VORN_ACCESS_ERASE;
        std::uint32_t handled = read ? drive->readMedia : drive->writeMedia;
        const auto &overrides = read ? drive->readSpeeds : drive->writeSpeeds;

        // A single medium value gives its own speeds; a family mask gives
        // every speed of the media of that family the drive handles.
        std::vector<const vorn::engine::MediumKind *> kinds;
        if (const auto *exact = vorn::engine::findMedium(medium)) {
            kinds.push_back(exact);
        } else {
            for (const auto &kind : vorn::engine::mediumKinds())
                if (kind.value & medium)
                    kinds.push_back(&kind);
        }
        std::vector<std::int32_t> speeds;
        std::int32_t base = VORN_BASE_SPEED_CD;
        bool baseSet = false;
        for (const auto *kind : kinds) {
            if (!baseSet) {
                base = static_cast<std::int32_t>(kind->baseKBs);
                baseSet = true;
            }
            if (!drive->present || (kind->value & handled) != kind->value ||
                (access != VORN_ACCESS_WRITE && !read && !erase) || (erase && !kind->rewritable))
                continue;
            if (auto it = overrides.find(kind->value); it != overrides.end()) {
                speeds.insert(speeds.end(), it->second.begin(), it->second.end());
            } else {
                for (auto tenths : read ? kind->readTenths : kind->writeTenths)
                    speeds.push_back(vorn::engine::kbsFromTenths(*kind, tenths));
            }
        }
        std::sort(speeds.begin(), speeds.end());
        speeds.erase(std::unique(speeds.begin(), speeds.end()), speeds.end());

        auto *out = static_cast<VornSpeeds *>(
            std::calloc(1, sizeof(VornSpeeds) + speeds.size() * sizeof(std::int32_t)));
        if (!out)
            return nullptr;
        out->count = static_cast<int32_t>(speeds.size());
        out->baseKBs = base;
        std::copy(speeds.begin(), speeds.end(), VornSpeeds_Values(out));
        return out;
    });
}

VORN_EXPORT int VornSetDeviceOption(VornDevice *device, int id, const void *value)
{
    return guarded(0, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.driveOf(device);
        if (!drive)
            return 0;
        RecordedOption rec;
        rec.record.id = id;
        rec.record.hostAdapter = drive->hostAdapter;
        rec.record.deviceId = drive->deviceId;
        std::int32_t v = 0;
        if (value)
            std::memcpy(&v, value, sizeof v);
        rec.record.intValue = v;
        int accepted = 0;
        if (value && drive->present && !e.takeFailure(VORN_CONTROL_CALL_SET_DEVICE_OPTION)) {
            switch (id) {
            case VORN_DEVICE_OPTION_BOOK_TYPE:
                accepted = v >= 1 && v <= 7;
                break;
            case VORN_DEVICE_OPTION_AUTO_SPEED_DOWN_ALT:
                accepted = (drive->capabilities & VORN_CAP_DVD_PLUS_R_DL) != 0;
                break;
            case VORN_DEVICE_OPTION_AUTO_SPEED_DOWN:
                accepted = (drive->capabilities & VORN_CAP_AUTO_SPEED_DOWN) != 0;
                break;
            case VORN_DEVICE_OPTION_EXTENDED_LEADOUT_DL:
                accepted = (drive->capabilities & VORN_CAP_EXTENDED_LEADOUT_DL) != 0;
                break;
            default:
                break;
            }
        }
        if (accepted)
            drive->deviceOptions[id] = v;
        rec.record.accepted = accepted;
        e.recordOption(std::move(rec), true);
        return accepted;
    });
}

VORN_EXPORT char *VornGetLocalizedWaitCDTexts(int waitCode)
{
    return guarded<char *>(nullptr, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        namespace msg = vorn::engine::msg;
        int id = waitCode >= 0 && waitCode <= msg::kWaitLast - msg::kWaitBase
                     ? msg::kWaitBase + waitCode
                     : msg::kWaitGeneric;
        return engineString(e.messages.get(id));
    });
}

VORN_EXPORT char *VornGetErrorLog(void)
{
    return guarded<char *>(nullptr, [] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        return engineString(e.errorLog);
    });
}

}  // extern "C"
