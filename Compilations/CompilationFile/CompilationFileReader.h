/*
 * The compilation file reader: rebuilds a compilation from the text the
 * writer made (CompilationFileWriter.h).
 *
 * This is the core of loading, with no window of its own: progress and the
 * questions it must ask go through a LoadObserver, whose defaults ask through
 * the message boxes (and so through the dialog responder, which answers for a
 * program without a display). LoadCompilation_Load (CompilationFileLoad.h)
 * runs it on a worker thread with the load progress dialog.
 *
 * Reading is forgiving by design: an element in the wrong place, with its
 * attributes in another order, a number that does not parse or a text that
 * cannot be converted counts for nothing, and malformed markup ends the
 * reading with everything built before it kept. A hostile file (huge numbers,
 * names holding "/" or "..", deep nesting, millions of elements) is read in
 * time linear in its size and never changes a file on disk: the reader only
 * reads local files to copy them into the compilation.
 */
#ifndef VORN_COMPILATION_FILE_READER_H
#define VORN_COMPILATION_FILE_READER_H

#include "Compilation.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vorn::compilationfile {

// Directories nested deeper than this are left out with their contents.
inline constexpr int kMaxDirectoryDepth = 256;

class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    // The statistics block gave the number of items to come.
    virtual void totalKnown(std::uint64_t items) noexcept;
    // An item or track is about to be added (local encoding, never NULL).
    virtual void itemStarted(const char *name) noexcept;
    // A modal warning with OK and Cancel; returns the response code. The
    // default shows the message box under the GDK lock.
    virtual int askWarning(const std::string &text, const std::string &title) noexcept;
};

struct LoadResult {
    Compilation *compilation = nullptr;  // full reference, or NULL when the file holds none
    int damagedLine = 0;                 // line of the first malformed markup, 0 when none
    std::string damage;                  // the parser's message about it
    bool hasModificationDate = false;    // the file's own, put back after rebuilding
    gint64 modificationDate = 0;
};

// One reading of one file. Not thread-safe; lives on the worker.
class CompilationReader {
public:
    // `device` (may be NULL) is looked at first when a disc is searched for.
    CompilationReader(LoadObserver *observer, const VornDeviceEntry *device, gpointer parentWindow);
    ~CompilationReader();
    CompilationReader(const CompilationReader &) = delete;
    CompilationReader &operator=(const CompilationReader &) = delete;

    // The next piece of the file. False once the markup was found damaged;
    // later pieces are then ignored.
    bool feed(const char *text, std::size_t length) noexcept;
    // Ends the reading and hands out what was built.
    LoadResult finish() noexcept;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Reads the file in pieces of at most 255 bytes, as a line-buffered reader
// does. False with errno set when the file cannot be opened.
bool readCompilationFile(const std::string &path, LoadObserver *observer, const VornDeviceEntry *device,
                         gpointer parentWindow, LoadResult *result) noexcept;

// The steps after the reading, on the main thread: the compilation is marked
// saved, named after the file, its data disc file system emits
// "vorn_compilation_loaded", and damage is reported through a warning box.
void finishLoad(LoadResult &result, const std::string &path, gpointer parentWindow) noexcept;

// Reading and finishing in one call, for a program without a display. The
// compilation (full reference) or NULL.
Compilation *loadCompilation(const std::string &path, LoadObserver *observer,
                             const VornDeviceEntry *device) noexcept;

// The SaveCompilation operation the reader installs on what it builds
// (CompilationFileSave.cpp fills it; NULL leaves the slot as the class set it).
using SaveOperation = gint (*)(Compilation *, const gchar *, gpointer) noexcept;
void setSaveOperation(SaveOperation operation) noexcept;

}  // namespace vorn::compilationfile

#endif
