/*
 * The compilation file writer: the text form of a data disc, audio or
 * mixed-mode compilation.
 *
 * The file is not a single-rooted XML document: two comment lines, the XML
 * declaration, then the compilation element, the statistics block, the
 * options block and the contents one after the other, every line ending with
 * a single line feed and indented with spaces only.
 *
 * Nothing here opens a window: the functions below write to a stream on the
 * calling thread. Saving with a progress dialog on a worker thread is in
 * CompilationFileSave.h.
 */
#ifndef VORN_COMPILATION_FILE_WRITER_H
#define VORN_COMPILATION_FILE_WRITER_H

#include "Compilation.h"

#include <cstdio>

G_BEGIN_DECLS

/* The two comment lines, an empty line and the XML declaration. Nothing for a
 * NULL stream. */
void Serialization_WriteXMLHeader(FILE *stream) noexcept;
/* "<Compilation type='%d' media='%u' />". */
void Serialization_WriteCompilationType(FILE *stream, gint type, guint32 media) noexcept;
/* The statistics block from the compilation's file-system totals; nothing
 * when `compilation` is not a compilation. */
void Serialization_WriteStatistics(FILE *stream, gpointer compilation) noexcept;
/* One option element at indentation 2 per listed id the database holds;
 * nothing when an argument is missing or count is not positive. */
void Serialization_WriteOptions(FILE *stream, OptionsDatabase *database, const gint32 *ids, gint count) noexcept;
/* Ids 3, 4, 7, 8, 9. */
void Serialization_WriteGeneralOptions(FILE *stream, OptionsDatabase *database) noexcept;
/* Ids 105-113, 115, 116, 117. */
void Serialization_WriteBurnOptions(FILE *stream, OptionsDatabase *database) noexcept;

G_END_DECLS

#ifdef __cplusplus
#include <cstdint>
#include <string>
#include <vector>

namespace vorn::compilationfile {

// Told of every directory and file written, on the writing thread.
class WriteObserver {
public:
    virtual ~WriteObserver() = default;
    virtual void itemWritten(const char *baseName, std::uint64_t sizeBytes) noexcept = 0;
};

// Whether the file format covers this compilation (data disc, audio and
// mixed-mode kinds).
bool isSavable(Compilation *compilation) noexcept;

// The options of `compilation` that go into its file, in file order.
std::vector<gint32> savedOptionIds(Compilation *compilation);

// Everything before the contents: header, compilation element, statistics and
// options blocks.
void writePreamble(FILE *stream, Compilation *compilation) noexcept;

// The file system block of a data disc file system; a NULL file system gives
// an empty block. False when listing or reading an item failed.
bool writeFileSystemBlock(FILE *stream, VirtualFileSystem *fileSystem, WriteObserver *observer) noexcept;

// The contents of `compilation` after its preamble.
bool writeContents(FILE *stream, Compilation *compilation, WriteObserver *observer) noexcept;

// The whole file as text (for tests, benchmarks and the fuzz target).
std::string compilationDocument(Compilation *compilation);

// A file replaced only when every byte of its new contents is on disk. The
// stream writes to a new temporary file beside the target; commit() makes it
// the file, anything else leaves the old file as it was. A target that is a
// symbolic link is written through to the file it ends at, and a replaced file
// keeps its mode.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // abandons when not committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // False with errno set when no temporary file can be made.
    bool open(const std::string &path) noexcept;
    FILE *stream() const noexcept { return stream_; }
    // Flushes, checks every write, syncs and renames over the target. False
    // with errno set (the temporary file removed, the target untouched).
    bool commit() noexcept;
    void abandon() noexcept;
    const std::string &targetPath() const noexcept { return target_; }

private:
    std::string target_;
    std::string temporary_;
    FILE *stream_ = nullptr;
};

// Writes the whole file on the calling thread through an AtomicFile. False
// with *errorCode set to the errno of the failure; the old file is then kept.
bool saveCompilationFile(Compilation *compilation, const std::string &path, WriteObserver *observer,
                         int *errorCode) noexcept;

}  // namespace vorn::compilationfile
#endif

#endif
