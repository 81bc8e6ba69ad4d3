#include "DebugOut.h"

#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr const char kRed[] = "\033[31m";
constexpr const char kGreen[] = "\033[32m";
constexpr const char kYellow[] = "\033[33m";
constexpr const char kBlue[] = "\033[34m";
constexpr const char kMagenta[] = "\033[35m";
constexpr const char kCyan[] = "\033[36m";
constexpr const char kReset[] = "\033[0m";

const char *priorityColour(unsigned priority) noexcept
{
    switch (priority) {
    case 0:
        return kRed;
    case 1:
        return kMagenta;
    case 2:
        return kCyan;
    default:
        return kGreen;
    }
}

// Source files of the engine's support libraries and the channel each traces on.
struct FileChannel {
    const char *file;
    unsigned channel;
};
constexpr FileChannel kEngineFiles[] = {
    {"Engine.cpp", 2},       {"Api.cpp", 2},          {"Control.cpp", 2},     {"Messages.cpp", 1},
    {"Settings.cpp", 1},     {"Callbacks.cpp", 2},    {"DrivesFile.cpp", 4},  {"Media.cpp", 4},
    {"Device.cpp", 4},       {"DeviceList.cpp", 4},   {"Scsi.cpp", 4},        {"Burn.cpp", 4},
    {"Erase.cpp", 4},        {"Extract.cpp", 4},      {"VrnDisc.cpp", 16},    {"VrnFormat.cpp", 16},
    {"File.cpp", 16},        {"Thread.cpp", 16},      {"Mutex.cpp", 16},      {"Time.cpp", 16},
    {"Memory.cpp", 1},       {"DiscInfo.cpp", 32},    {"TrackInfo.cpp", 32},  {"Speeds.cpp", 32},
    {"Capacity.cpp", 32},    {"Progress.cpp", 2},
};

}  // namespace

CDebugOut::CDebugOut(FILE *stream) : stream_(stream ? stream : stdout)
{
    channelNames_[1] = "default";
    channelNames_[2] = "main";
    channelNames_[4] = "scsi";
    channelNames_[8] = "filesystems";
    channelNames_[16] = "portability";
    channelNames_[32] = "driveinfo";
    for (const FileChannel &entry : kEngineFiles)
        fileToChannel_[entry.file] = entry.channel;
}

CDebugOut::~CDebugOut()
{
    std::lock_guard lock(mutex_);
    destroyed_ = true;
}

void CDebugOut::SetVisibleChannels(unsigned mask) noexcept
{
    if (!destroyed_)
        visibleChannels_ = mask;
}

void CDebugOut::AddChannels(unsigned mask) noexcept
{
    if (!destroyed_)
        visibleChannels_ |= mask;
}

void CDebugOut::DeleteChannels(unsigned mask) noexcept
{
    if (!destroyed_)
        visibleChannels_ &= ~mask;
}

void CDebugOut::SetPriorityLevel(unsigned priority) noexcept
{
    if (!destroyed_)
        priorityLevel_ = priority;
}

void CDebugOut::SetCurrentChannel(unsigned channel) noexcept
{
    if (!destroyed_)
        currentChannel_ = channel;
}

void CDebugOut::SetCurrentFunction(const char *signature) noexcept
{
    if (destroyed_ || !signature)
        return;
    std::string_view name(signature);
    name = name.substr(0, name.find('('));
    if (const auto space = name.rfind(' '); space != std::string_view::npos)
        name.remove_prefix(space + 1);
    try {
        std::lock_guard lock(mutex_);
        currentFunction_ = CBasicString<char>(name);
    } catch (...) {
    }
}

unsigned CDebugOut::GetChannelForFile(const char *path) noexcept
{
    if (destroyed_ || !path)
        return 1;
    const char *slash = std::strrchr(path, '/');
    try {
        std::lock_guard lock(mutex_);
        const auto found = fileToChannel_.find(slash ? slash + 1 : path);
        return found == fileToChannel_.end() ? 1 : found->second;
    } catch (...) {
        return 1;
    }
}

unsigned CDebugOut::AllocateChannel() noexcept
{
    if (destroyed_)
        return 0;
    std::lock_guard lock(mutex_);
    lastAllocatedChannel_ <<= 1;
    return lastAllocatedChannel_;
}

void CDebugOut::AddFileToChannelMapEntry(unsigned channel, const char *file) noexcept
{
    if (destroyed_ || !file)
        return;
    try {
        std::lock_guard lock(mutex_);
        fileToChannel_[file] = channel;
    } catch (...) {
    }
}

void CDebugOut::SetChannelName(unsigned channel, const char *name) noexcept
{
    if (destroyed_ || !name)
        return;
    try {
        std::lock_guard lock(mutex_);
        channelNames_[channel] = name;
    } catch (...) {
    }
}

void CDebugOut::DbgPrintVA(unsigned channel, unsigned priority, const char *format, va_list arguments) noexcept
{
    if (destroyed_ || !format)
        return;
    std::lock_guard lock(mutex_);
    char message[kMessageBufferBytes];
    const int length = std::vsnprintf(message, sizeof message, format, arguments);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof message) {
        if (length < 0)
            message[0] = '\0';
        std::fprintf(stream_, "%sDbgPrint: buffer was trunctated!!!\a\a\a%s", kRed, kBlue);
        std::fflush(stream_);
    }
    if (!(channel & visibleChannels_) || priority > priorityLevel_)
        return;
    auto name = channelNames_.find(channel);
    if (name == channelNames_.end())
        name = channelNames_.find(1);
    std::fprintf(stream_, "%s%s %s%s>%s%s%s%s", kYellow, name != channelNames_.end() ? name->second.c_str() : "",
                 kCyan, currentFunction_.c_str(), priorityColour(priority), message, kBlue, kReset);
    std::fflush(stream_);
}

void CDebugOut::DbgPrint(unsigned channel, unsigned priority, const char *format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    DbgPrintVA(channel, priority, format, arguments);
    va_end(arguments);
}

void CDebugOut::DbgDefaultPrint(unsigned priority, const char *format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    DbgPrintVA(currentChannel_, priority, format, arguments);
    va_end(arguments);
}

void CDebugOut::TracePrint(const char *format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    DbgPrintVA(currentChannel_, 3, format, arguments);
    va_end(arguments);
}

void CDebugOut::FatalPrint(const char *format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    DbgPrintVA(currentChannel_, 0, format, arguments);
    va_end(arguments);
}

namespace {

// The process-wide printer lives in static storage that outlasts it: its
// destructor runs at exit, and a trace from another exit handler after that
// finds the destroyed flag instead of freed memory.
alignas(CDebugOut) unsigned char printerStorage[sizeof(CDebugOut)];
CDebugOut *printer = nullptr;

void destroyPrinter() noexcept
{
    printer->~CDebugOut();
}

CDebugOut &makePrinter() noexcept
{
    static std::once_flag once;
    std::call_once(once, [] {
        printer = new (printerStorage) CDebugOut();
        std::atexit(destroyPrinter);
    });
    return *printer;
}

// Built before main, whatever the order in which other files' statics start.
[[maybe_unused]] CDebugOut &startupPrinter = makePrinter();

}  // namespace

CDebugOut &debugger() noexcept
{
    return makePrinter();
}
