#include "TestEnvironment.h"

#include <glib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace vorn::test {
namespace {

const PrivateHome *g_home = nullptr;

std::filesystem::path makeTempDir(const char *pattern)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / pattern).string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    return tmpl;
}

}  // namespace

PrivateHome::PrivateHome() : path_(makeTempDir("vorn-test-home-XXXXXX"))
{
    setenv("HOME", path_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ / ".config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (path_ / ".cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (path_ / ".local/share").c_str(), 1);
    g_home = this;
}

PrivateHome::~PrivateHome()
{
    g_home = nullptr;
    if (!std::getenv("VORN_KEEP_TEST_HOME")) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
}

const std::filesystem::path &homeDir()
{
    if (!g_home)
        throw std::logic_error("no private home: the test main makes one");
    return g_home->path();
}

TempDir::TempDir() : path_(makeTempDir("vorn-test-XXXXXX")) {}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

static std::filesystem::path envPath(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set: run the tests through ctest");
    return value;
}

std::filesystem::path sourceDir() { return envPath("VORN_TEST_SOURCE_DIR"); }
std::filesystem::path binaryDir() { return envPath("VORN_TEST_BINARY_DIR"); }

ProcessResult runProcess(const std::vector<std::string> &argv,
                         const std::map<std::string, std::string> &env,
                         const std::vector<std::string> &unset, int timeoutSeconds)
{
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    // Build the child's argument and environment vectors before forking: the
    // child of a threaded process may only call async-signal-safe functions.
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char **e = environ; *e; ++e) {
        std::string entry(*e);
        std::string key = entry.substr(0, entry.find('='));
        bool drop = env.count(key) > 0;
        for (const auto &u : unset)
            drop = drop || u == key;
        if (!drop)
            envStrings.push_back(entry);
    }
    for (const auto &[k, v] : env)
        envStrings.push_back(k + "=" + v);
    std::vector<char *> envp;
    for (auto &s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0)
            dup2(devnull, 0);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 && !killed) {
            kill(pid, SIGKILL);
            killed = true;
        }
        int n = poll(fds, 2, killed ? 1000 : static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            ssize_t got = read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        if (killed && n == 0)
            break;
    }
    for (auto &f : fds)
        if (f.fd >= 0)
            close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path &path, const std::string &contents)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

bool haveTool(const std::string &tool)
{
    gchar *found = g_find_program_in_path(tool.c_str());
    bool ok = found != nullptr;
    g_free(found);
    return ok;
}

}  // namespace vorn::test
