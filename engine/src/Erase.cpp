// Erasing rewritable discs: the time estimate and the erase itself. The
// emulated erase takes as long as the estimate says (times the control
// interface's time scale), then blanks the container in the tray.
#include "Engine.h"
#include "Guarded.h"
#include "Media.h"

#include <algorithm>
#include <cmath>
#include <thread>

using vorn::engine::Drive;
using vorn::engine::Engine;
using vorn::engine::guarded;

namespace {

namespace msg = vorn::engine::msg;

// A quick erase rewrites the lead-in and the first tracks' addresses: about
// a minute on CD and sequential DVD-RW, less on media formatted in place.
int quickEraseSeconds(std::uint32_t medium)
{
    switch (medium) {
    case VORN_MEDIUM_CD_RW:
    case VORN_MEDIUM_DVD_MINUS_RW:
        return 60;
    default:
        return 20;
    }
}

// The speed the drive erases at: the fastest it offers not above the one
// asked for (0: the fastest of all), or its slowest.
std::int32_t eraseSpeed(const Drive &drive, const vorn::engine::MediumKind &kind,
                        std::int32_t wanted)
{
    std::vector<std::int32_t> speeds;
    if (auto it = drive.writeSpeeds.find(kind.value); it != drive.writeSpeeds.end())
        speeds = it->second;
    else
        for (auto tenths : kind.writeTenths)
            speeds.push_back(vorn::engine::kbsFromTenths(kind, tenths));
    std::sort(speeds.begin(), speeds.end());
    if (speeds.empty())
        return static_cast<std::int32_t>(kind.baseKBs);
    if (wanted <= 0)
        return speeds.back();
    std::int32_t chosen = speeds.front();
    for (auto s : speeds)
        if (s <= wanted)
            chosen = s;
    return chosen;
}

int estimateSeconds(const Drive &drive, std::uint32_t medium, std::uint32_t capacity, int mode,
                    std::int32_t speedKBs)
{
    if (mode == VORN_ERASE_QUICK)
        return quickEraseSeconds(medium);
    const auto *kind = vorn::engine::findMedium(medium);
    std::int32_t speed = kind ? eraseSpeed(drive, *kind, speedKBs) : VORN_BASE_SPEED_CD;
    // Speeds count 1000 bytes a kilobyte; a CD block is 2352 bytes on disc,
    // so 1x (176 KB/s) passes 75 blocks a second.
    double blockBytes = vorn::vrn::medium::isCd(medium) ? 2352.0 : 2048.0;
    double seconds = capacity * blockBytes / (double(std::max(speed, 1)) * 1000.0);
    return std::max(1, static_cast<int>(std::ceil(seconds)));
}

// What an erase of the disc in `drive` would give before anything runs:
// 0 when it can go ahead, else the erase result. With `mu` held.
// A drive busy in another application still gets an estimate: the erase
// itself then answers VORN_ERASE_DRIVE_IN_USE, which has its own text, where
// a negative estimate of -2 would read as "cannot erase rewritable discs".
int precheck(Engine &e, const Drive &drive, bool checkBusy, std::string &why)
{
    if (!drive.present) {
        why = e.messages.get(msg::kEraseNoDisc, {drive.name});
        return VORN_ERASE_OPEN_FAILED;
    }
    bool writesRewritable = false;
    for (const auto *kind : vorn::engine::mediaInMask(drive.writeMedia))
        writesRewritable = writesRewritable || kind->rewritable;
    if (drive.imageRecorder || !(drive.capabilities & VORN_CAP_WRITE) || !writesRewritable) {
        why = e.messages.get(msg::kEraseNoRewritableMedia, {drive.name});
        return VORN_ERASE_NOT_SUPPORTED_BY_DRIVE;
    }
    if (checkBusy && drive.busy) {
        why = e.messages.get(msg::kEraseInUse, {drive.name});
        return VORN_ERASE_DRIVE_IN_USE;
    }
    if (!drive.disc || e.readiness(drive) != VORN_READY) {
        why = e.messages.get(msg::kEraseNoDisc, {drive.name});
        return VORN_ERASE_NO_DISC;
    }
    std::uint32_t medium = drive.disc->container.mediumType();
    if (!vorn::vrn::medium::isRewritable(medium)) {
        why = e.messages.get(msg::kEraseNotRewritable, {drive.name});
        return VORN_ERASE_NOT_REWRITABLE;
    }
    if ((drive.writeMedia & medium) != medium) {
        why = e.messages.get(msg::kEraseDiscNotSupported, {drive.name});
        return VORN_ERASE_DISC_NOT_SUPPORTED;
    }
    return VORN_ERASE_OK;
}

}  // namespace

extern "C" {

VORN_EXPORT int VornGetDiscErasingTime(VornDevice *device, int mode, int speedKBs)
{
    return guarded(VORN_ERASE_OPEN_FAILED, [&] {
        auto &e = Engine::instance();
        std::lock_guard lock(e.mu);
        auto drive = e.driveOf(device);
        if (!drive)
            return VORN_ERASE_OPEN_FAILED;
        std::string why;
        if (int pre = precheck(e, *drive, false, why); pre != VORN_ERASE_OK)
            return pre;
        const auto &disc = drive->disc->container;
        return estimateSeconds(*drive, disc.mediumType(), disc.capacity(), mode, speedKBs);
    });
}

VORN_EXPORT int VornEraseDisc(VornDevice *device, int mode, int flags, int speedKBs)
{
    return guarded(VORN_ERASE_FAILED, [&] {
        auto &e = Engine::instance();
        std::shared_ptr<Drive> drive;
        std::shared_ptr<vorn::engine::TrayDisc> tray;
        std::chrono::milliseconds duration{0};
        {
            std::lock_guard lock(e.mu);
            drive = e.driveOf(device);
            if (!drive)
                return VORN_ERASE_OPEN_FAILED;
            e.errorLog.clear();
            if (auto forced = e.takeFailure(VORN_CONTROL_CALL_ERASE)) {
                e.logError(e.messages.get(msg::kEraseWriteFailed, {drive->name, "injected"}));
                return *forced;
            }
            if ((mode != VORN_ERASE_QUICK && mode != VORN_ERASE_FULL) ||
                (flags != VORN_ERASE_EJECT && flags != VORN_ERASE_NO_EJECT) || speedKBs < 0) {
                e.logError(e.messages.get(msg::kEraseBadArguments));
                return VORN_ERASE_FAILED;
            }
            std::string why;
            if (int pre = precheck(e, *drive, true, why); pre != VORN_ERASE_OK) {
                e.logError(why);
                return pre;
            }
            tray = drive->disc;
            int seconds = estimateSeconds(*drive, tray->container.mediumType(),
                                          tray->container.capacity(), mode, speedKBs);
            duration = std::chrono::duration_cast<std::chrono::milliseconds>(
                e.scaled(std::chrono::seconds(seconds)));
        }

        // The drive works; other callers go on meanwhile.
        std::this_thread::sleep_for(duration);

        std::string name, historyLine;
        int result = VORN_ERASE_OK;
        {
            std::lock_guard lock(e.mu);
            name = drive->name;
            if (drive->disc != tray || !drive->present) {
                // The disc was taken out while the drive was erasing it.
                e.logError(e.messages.get(msg::kEraseNoDisc, {name}));
                return VORN_ERASE_NO_DISC;
            }
            auto erase = [&] {
                return mode == VORN_ERASE_QUICK ? tray->container.eraseQuick()
                                                : tray->container.eraseFull();
            };
            auto done = erase();
            if (!done && tray->container.writable()) {
                // Another program (vorn-disc, a second engine) may have
                // committed to the container since it was opened: look again.
                if (auto again = vorn::engine::openTrayDisc(tray->path)) {
                    tray->container = std::move(again.value()->container);
                    done = erase();
                }
            }
            if (!done) {
                historyLine = e.messages.get(msg::kEraseWriteFailed, {name, done.error()});
                e.logError(historyLine);
                result = VORN_ERASE_FAILED;
            } else {
                historyLine = e.messages.get(
                    mode == VORN_ERASE_QUICK ? msg::kErasedQuick : msg::kErasedFull, {name});
            }
            if (flags == VORN_ERASE_EJECT)
                drive->trayOpen = true;
            e.postStatus(*drive, VORN_DRIVE_STATUS_MEDIUM_CHANGED);
        }
        vorn::engine::appendHistory(e, historyLine);
        return result;
    });
}

}  // extern "C"
