#include "EngineFixture.h"

#include "VornPaths.h"
#include "VrnDisc.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vorn::test {

void CallbackRecorder::onChange(void *self) noexcept
{
    auto *r = static_cast<CallbackRecorder *>(self);
    std::lock_guard lock(r->mu_);
    ++r->changes_;
    if (std::this_thread::get_id() == r->callerThread)
        r->onCaller_ = true;
    r->cv_.notify_all();
}

void CallbackRecorder::onStatus(int ha, int id, int status, void *self) noexcept
{
    auto *r = static_cast<CallbackRecorder *>(self);
    std::lock_guard lock(r->mu_);
    r->statuses_.push_back({ha, id, status});
    if (std::this_thread::get_id() == r->callerThread)
        r->onCaller_ = true;
    r->cv_.notify_all();
}

int CallbackRecorder::changes() const
{
    std::lock_guard lock(mu_);
    return changes_;
}

std::vector<CallbackRecorder::Status> CallbackRecorder::statuses() const
{
    std::lock_guard lock(mu_);
    return statuses_;
}

bool CallbackRecorder::ranOnCallerThread() const
{
    std::lock_guard lock(mu_);
    return onCaller_;
}

bool CallbackRecorder::waitUntil(const std::function<bool()> &done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::unique_lock lock(mu_);
    while (true) {
        lock.unlock();
        bool ok = done();
        lock.lock();
        if (ok)
            return true;
        if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
            lock.unlock();
            return done();
        }
    }
}

void CallbackRecorder::reset()
{
    std::lock_guard lock(mu_);
    changes_ = 0;
    statuses_.clear();
}

void EngineTest::SetUp()
{
    drivesFile = dir / "drives.ini";
    settings.engineDir = VORN_ENGINE_DIR;
    settings.vendor = "Vorn AG";
    settings.software = "Vorn Linux";
    settings.languageFile = "Vorn.txt";
    VornControl_SetTimeScale(0);
    VornControl_ClearRecordedOptions();
}

void EngineTest::TearDown()
{
    VornDone();
    VornControl_ClearFailures();
    VornControl_SetInitResult(-1);
    VornControl_SetTimeScale(1);
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0) << "handles survived VornDone";
}

void EngineTest::writeDrives(const std::string &contents)
{
    auto tmp = dir / "drives.ini.tmp";
    writeFile(tmp, contents);
    std::filesystem::rename(tmp, drivesFile);
}

std::filesystem::path EngineTest::makeDisc(const std::string &name, std::uint32_t medium)
{
    auto path = dir / name;
    auto disc = vrn::VrnDisc::create(path, medium, vrn::medium::nominalCapacity(medium));
    EXPECT_TRUE(disc.ok()) << disc.error();
    return path;
}

int EngineTest::start(const char *language)
{
    settings.languageFile = language;
    if (!std::filesystem::exists(drivesFile))
        writeDrives("");
    int result = VornInitEx(&settings, drivesFile.c_str(), -10, 0);
    started = result != VORN_INIT_ERROR;
    if (started) {
        EXPECT_EQ(VornRegisterDriveChangeCallback(&CallbackRecorder::onChange, &recorder), 1);
    }
    return result;
}

std::vector<Listed> EngineTest::listDrives(bool withImageRecorder)
{
    std::vector<Listed> out;
    VornDeviceList *list = VornGetAvailableDrivesEx(0, withImageRecorder ? 1 : 0);
    if (!list)
        return out;
    for (int i = 0; i < list->count; ++i) {
        Listed l;
        std::memcpy(&l.entry, VornDeviceList_Entry(list, i), sizeof l.entry);
        l.name = l.entry.name;
        out.push_back(l);
    }
    VornFreeMem(list);
    return out;
}

VornDeviceEntry EngineTest::entryOf(const std::string &name)
{
    for (const auto &l : listDrives())
        if (l.name == name)
            return l.entry;
    ADD_FAILURE() << "no drive called " << name;
    VornDeviceEntry none{};
    none.hostAdapter = none.deviceId = -1;
    return none;
}

std::string EngineTest::drivesFileError()
{
    char *text = VornControl_GetDrivesFileError();
    std::string out = text ? text : "";
    VornFreeMem(text);
    return out;
}

std::string bytesOf(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string pattern(std::size_t bytes, unsigned seed)
{
    std::string s(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 11)) & 0xFF);
    return s;
}

}  // namespace vorn::test
