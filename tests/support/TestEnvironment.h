#ifndef VORN_TEST_ENVIRONMENT_H
#define VORN_TEST_ENVIRONMENT_H

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorn::test {

// A fresh, empty home folder for the whole test process. The constructor points
// HOME and the XDG folders at it before anything reads them; the destructor
// removes it unless VORN_KEEP_TEST_HOME is set.
class PrivateHome {
public:
    PrivateHome();
    ~PrivateHome();
    PrivateHome(const PrivateHome &) = delete;
    PrivateHome &operator=(const PrivateHome &) = delete;
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The home folder of this test process.
const std::filesystem::path &homeDir();

// A temporary folder removed when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Source and build trees, from the environment CTest sets.
std::filesystem::path sourceDir();
std::filesystem::path binaryDir();

struct ProcessResult {
    int exitStatus = -1;      // exit status, or -1 when killed by a signal
    int signal = 0;           // the signal that ended it, if any
    std::string out;
    std::string err;
};

// Runs a program to its end. `env` adds to (or, with an empty value in `unset`,
// removes from) the inherited environment. Gives up after timeoutSeconds and
// reports the child as killed.
ProcessResult runProcess(const std::vector<std::string> &argv,
                         const std::map<std::string, std::string> &env = {},
                         const std::vector<std::string> &unset = {},
                         int timeoutSeconds = 60);

std::string readFile(const std::filesystem::path &path);
void writeFile(const std::filesystem::path &path, const std::string &contents);

// True when `tool` is on PATH; tests that read our output with an outside tool
// skip with a message when it is missing.
bool haveTool(const std::string &tool);

}  // namespace vorn::test

#endif
