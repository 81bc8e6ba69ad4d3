// A running engine with a drives file in a temporary folder, discs made with
// the container library, and a recorder of every drive callback.
#ifndef VORN_TESTS_ENGINE_FIXTURE_H
#define VORN_TESTS_ENGINE_FIXTURE_H

#include "TestEnvironment.h"
#include "VornAPI.h"
#include "VornControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorn::test {

// Everything the engine's drive callbacks report, with the thread they ran on.
class CallbackRecorder {
public:
    struct Status {
        int hostAdapter, deviceId, status;
    };

    static void onChange(void *self) noexcept;
    static void onStatus(int ha, int id, int status, void *self) noexcept;

    int changes() const;
    std::vector<Status> statuses() const;
    bool ranOnCallerThread() const;
    // Waits (at most 10 s) until `done` holds; re-checked after every callback.
    bool waitUntil(const std::function<bool()> &done);
    void reset();

    std::thread::id callerThread = std::this_thread::get_id();

private:
    mutable std::mutex mu_;
    std::condition_variable cv_;
    int changes_ = 0;
    std::vector<Status> statuses_;
    bool onCaller_ = false;
};

struct Listed {
    std::string name;
    VornDeviceEntry entry;
};

// The whole file, or "" when it cannot be read (a test that expects no file
// compares with "").
std::string bytesOf(const std::filesystem::path &path);
// File contents that hold their own offsets, so that misplaced data shows.
std::string pattern(std::size_t bytes, unsigned seed);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the drives file the way an editor that saves safely does: a
    // temporary file renamed over the old one.
    void writeDrives(const std::string &contents);
    // Makes a blank disc container of `medium` in the temporary folder.
    std::filesystem::path makeDisc(const std::string &name, std::uint32_t medium);
    int start(const char *language = "Vorn.txt");
    std::vector<Listed> listDrives(bool withImageRecorder = true);
    // The entry of the listed drive called `name`; fails the test when absent.
    VornDeviceEntry entryOf(const std::string &name);
    std::string drivesFileError();

    TempDir dir;
    std::filesystem::path drivesFile;
    VornSettings settings{};
    CallbackRecorder recorder;
    bool started = false;
};

}  // namespace vorn::test

#endif
