/*
 * The channel-based debug printer.
 *
 * Channels are single bits of a 32-bit mask. A message is printed when its
 * channel is visible and its priority is not greater than the print level
 * (0 fatal, 1 and 2 intermediate, 3 trace). Output is one coloured line per
 * message on the printer's stream (standard output for the process-wide
 * printer): yellow channel name, cyan function name, ">", the message in the
 * colour of its priority, then blue and a reset.
 *
 * One printer lives for the whole process, reached through debugger(); it is
 * built before main and destroyed at exit, after which every call does
 * nothing. Start-up hides every channel (DebuggerChannels_Configure), so a
 * normal run prints nothing.
 */
#ifndef VORN_DEBUG_OUT_H
#define VORN_DEBUG_OUT_H

#include "BasicString.h"

#include <pthread.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <map>

/* A plain POSIX mutex, usable with std::lock_guard. */
class CPosixMutex {
public:
    CPosixMutex() noexcept { pthread_mutex_init(&mutex_, nullptr); }
    ~CPosixMutex() { pthread_mutex_destroy(&mutex_); }
    CPosixMutex(const CPosixMutex &) = delete;
    CPosixMutex &operator=(const CPosixMutex &) = delete;
    void lock() noexcept { pthread_mutex_lock(&mutex_); }
    void unlock() noexcept { pthread_mutex_unlock(&mutex_); }

private:
    pthread_mutex_t mutex_;
};

class CDebugOut {
public:
    /* Messages longer than this are cut, with a warning on the stream. */
    static constexpr std::size_t kMessageBufferBytes = 1024;

    /* Prints to `stream` (borrowed; standard output when NULL). */
    explicit CDebugOut(FILE *stream = nullptr);
    ~CDebugOut();
    CDebugOut(const CDebugOut &) = delete;
    CDebugOut &operator=(const CDebugOut &) = delete;

    void SetVisibleChannels(unsigned mask) noexcept;
    void AddChannels(unsigned mask) noexcept;
    void DeleteChannels(unsigned mask) noexcept;
    void SetPriorityLevel(unsigned priority) noexcept;
    void SetCurrentChannel(unsigned channel) noexcept;
    /* Keeps the bare function name of a full signature ("int f(int)" gives "f"). */
    void SetCurrentFunction(const char *signature) noexcept;
    /* The channel of the file part of `path`; 1 for a file not in the map. */
    unsigned GetChannelForFile(const char *path) noexcept;
    /* 64 on the first call, then 128, ...: each call doubles the last channel. */
    unsigned AllocateChannel() noexcept;
    void AddFileToChannelMapEntry(unsigned channel, const char *file) noexcept;
    void SetChannelName(unsigned channel, const char *name) noexcept;

    void DbgPrintVA(unsigned channel, unsigned priority, const char *format, va_list arguments) noexcept
        __attribute__((format(printf, 4, 0)));
    void DbgPrint(unsigned channel, unsigned priority, const char *format, ...) noexcept
        __attribute__((format(printf, 4, 5)));
    /* On the current channel. */
    void DbgDefaultPrint(unsigned priority, const char *format, ...) noexcept __attribute__((format(printf, 3, 4)));
    /* On the current channel at priority 3. */
    void TracePrint(const char *format, ...) noexcept __attribute__((format(printf, 2, 3)));
    /* On the current channel at priority 0. */
    void FatalPrint(const char *format, ...) noexcept __attribute__((format(printf, 2, 3)));

    unsigned VisibleChannels() const noexcept { return visibleChannels_.load(std::memory_order_relaxed); }
    unsigned CurrentChannel() const noexcept { return currentChannel_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> destroyed_{false};
    std::atomic<unsigned> visibleChannels_{0xFFFFFFFFu};
    std::atomic<unsigned> priorityLevel_{3};
    CBasicString<char> currentFunction_;
    CPosixMutex mutex_;
    std::map<CBasicString<char>, unsigned> fileToChannel_;
    std::map<unsigned, CBasicString<char>> channelNames_;
    unsigned lastAllocatedChannel_ = 32;
    std::atomic<unsigned> currentChannel_{1};
    FILE *stream_;
};

/* The process-wide printer. */
CDebugOut &debugger() noexcept;

#endif
