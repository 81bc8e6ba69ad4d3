#include "CompilationFileWriter.h"

#include "CompilationOptions.h"
#include "DataDiscFileSystem.h"
#include "Filenames.h"
#include "Option.h"
#include "Utils.h"
#include "VfsIoControlCodes.h"

#include <glib/gi18n.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::compilationfile {
namespace {

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using GString_ = std::unique_ptr<gchar, GFree>;

void pad(FILE *stream, int count) noexcept
{
    for (int i = 0; i < count; ++i)
        std::fputc(' ', stream);
}

// The text's bytes as an encoding attribute and a UTF-8 value attribute. The
// text is written literally: it never reaches a format string.
void writeTextAttributes(FILE *stream, const gchar *text) noexcept
{
    gchar charset[257] = {};
    GString_ utf8(Filenames_GetUnicodeString(text ? text : "", charset, 256, 1));
    GString_ escaped(g_markup_escape_text(utf8.get(), -1));
    std::fputs("encoding='", stream);
    std::fputs(charset[0] ? charset : "UTF-8", stream);
    std::fputs("' value='", stream);
    std::fputs(escaped.get(), stream);
    std::fputc('\'', stream);
}

void writeTextElement(FILE *stream, int indent, const char *name, const gchar *text) noexcept
{
    pad(stream, indent);
    std::fprintf(stream, "<%s ", name);
    writeTextAttributes(stream, text);
    std::fputs(" />\n", stream);
}

bool isDataCompilationType(gint32 type)
{
    switch (type) {
    case COMPILATION_TYPE_ISO:
    case COMPILATION_TYPE_UDF:
    case COMPILATION_TYPE_UDF_ISO_BRIDGE:
    case COMPILATION_TYPE_BOOTABLE:
    case COMPILATION_TYPE_DVD_VIDEO:
        return true;
    default:
        return false;
    }
}

bool hasDataPart(gint32 type)
{
    return isDataCompilationType(type) || type == COMPILATION_TYPE_MIXED_MODE || type == COMPILATION_TYPE_ENHANCED;
}

bool hasAudioPart(gint32 type)
{
    return type == COMPILATION_TYPE_AUDIO || type == COMPILATION_TYPE_MIXED_MODE ||
           type == COMPILATION_TYPE_ENHANCED;
}

template <class T> T control(VirtualFileSystem *fileSystem, gint code)
{
    T value{};
    if (!fileSystem || VFS_IoControl(fileSystem, code, &value) != 0)
        return T{};
    return value;
}

void appendRange(std::vector<gint32> &ids, gint32 first, gint32 last)
{
    for (gint32 id = first; id <= last; ++id)
        ids.push_back(id);
}

constexpr gint32 kGeneralIds[] = {3, 4, 7, 8, 9};
constexpr gint32 kBurnIds[] = {105, 106, 107, 108, 109, 110, 111, 112, 113, 115, 116, 117};

struct DataTreeWriter {
    FILE *stream;
    VirtualFileSystem *fileSystem;
    WriteObserver *observer;

    void names(const std::string &path, int indent) noexcept
    {
        pad(stream, indent);
        std::fputs("<Names>\n", stream);
        static constexpr std::pair<gint, const char *> kinds[] = {
            {VFS_NAME_KIND_JOLIET, "Original"},
            {VFS_NAME_KIND_USER, "Joliet"},
            {VFS_NAME_KIND_ISO_1, "IsoLevel1"},
            {VFS_NAME_KIND_ISO_2, "IsoLevel2"},
        };
        for (const auto &[kind, element] : kinds) {
            GString_ changed(VFS_GetItemChangedName(fileSystem, path.c_str(), kind));
            if (changed)
                writeTextElement(stream, indent + 2, element, changed.get());
        }
        pad(stream, indent);
        std::fputs("</Names>\n", stream);
    }

    void origin(const VfsDirectoryEntry *entry, int indent) noexcept
    {
        if (entry->origin && entry->origin[0])
            writeTextElement(stream, indent, "Origin", entry->origin);
    }

    // Writes the entries of `path` ("" for the root) at `indent`.
    bool directory(const std::string &path, int indent) noexcept
    {
        gpointer handle = VFS_OpenDirectory(fileSystem, path.empty() ? "/" : path.c_str());
        if (!handle)
            return false;
        bool ok = true;
        while (VfsDirectoryEntry *entry = VFS_ReadDirectory(fileSystem, handle)) {
            ok = item(path, entry, indent) && ok;
            VFS_FreeDirectoryEntry(entry);
        }
        VFS_CloseDirectory(fileSystem, handle);
        return ok;
    }

    bool item(const std::string &parent, const VfsDirectoryEntry *entry, int indent) noexcept
    {
        const char *name = entry->names[VFS_NAME_KIND_USER];
        if (!name)
            return false;
        std::string path;
        try {
            path = parent + "/" + name;
        } catch (...) {
            return false;
        }
        VfsStat stat{};
        if (VFS_Stat(fileSystem, path.c_str(), &stat) != 0)
            return false;
        if (VFS_STAT_IS_DIRECTORY(&stat)) {
            pad(stream, indent);
            std::fputs("<Directory>\n", stream);
            names(path, indent + 2);
            origin(entry, indent + 2);
            pad(stream, indent + 2);
            std::fputs("<Items>\n", stream);
            if (observer)
                observer->itemWritten(name, stat.sizeBytes);
            const bool ok = directory(path, indent + 4);
            pad(stream, indent + 2);
            std::fputs("</Items>\n", stream);
            pad(stream, indent);
            std::fputs("</Directory>\n", stream);
            return ok;
        }
        // Items of an earlier session stay on the disc; they are imported again
        // from it, not saved.
        if (stat.multisessionType == 2 || stat.multisessionType == 3)
            return true;
        pad(stream, indent);
        std::fputs("<File>\n", stream);
        names(path, indent + 2);
        origin(entry, indent + 2);
        if (stat.compilationAdditionTime != 0) {
            pad(stream, indent + 2);
            std::fprintf(stream, "<AddedTime value='%ld' />\n", static_cast<long>(stat.compilationAdditionTime));
        }
        pad(stream, indent + 2);
        std::fprintf(stream, "<Priority value='%d' />\n", stat.priority);
        pad(stream, indent);
        std::fputs("</File>\n", stream);
        if (observer)
            observer->itemWritten(name, stat.sizeBytes);
        return true;
    }
};

// The audio file system of the compilation, when it has one.
VirtualFileSystem *audioFileSystem(Compilation *compilation)
{
    VirtualFileSystem *fileSystem = compilation->fileSystem;
    if (fileSystem && (fileSystem->kind == VFS_KIND_AUDIO_DISC || fileSystem->kind == VFS_KIND_MIXED_MODE_DISC))
        return fileSystem;
    return nullptr;
}

VirtualFileSystem *dataFileSystem(Compilation *compilation)
{
    VirtualFileSystem *fileSystem = compilation->fileSystem;
    if (fileSystem && (IS_VORN_DATA_DISC_VFS(fileSystem) || fileSystem->kind == VFS_KIND_MIXED_MODE_DISC))
        return fileSystem;
    return nullptr;
}

}  // namespace

bool isSavable(Compilation *compilation) noexcept
{
    return IS_VORN_COMPILATION(compilation) && (hasDataPart(compilation->type) || hasAudioPart(compilation->type));
}

std::vector<gint32> savedOptionIds(Compilation *compilation)
{
    std::vector<gint32> ids(std::begin(kGeneralIds), std::end(kGeneralIds));
    const gint32 type = compilation->type;
    const bool data = isDataCompilationType(type);
    const bool mixed = type == COMPILATION_TYPE_MIXED_MODE || type == COMPILATION_TYPE_ENHANCED;
    if (type >= COMPILATION_TYPE_ISO && type <= COMPILATION_TYPE_UDF_ISO_BRIDGE &&
        OptionsDatabase_GetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE) ==
            MULTISESSION_CONTINUE)
        appendRange(ids, 10, 11);
    if (hasAudioPart(type))
        appendRange(ids, 16, 24);
    if (type == COMPILATION_TYPE_BOOTABLE)
        appendRange(ids, 25, 34);
    if (type == COMPILATION_TYPE_ISO || type == COMPILATION_TYPE_UDF_ISO_BRIDGE || mixed)
        appendRange(ids, 35, 43);
    if (type == COMPILATION_TYPE_UDF || type == COMPILATION_TYPE_UDF_ISO_BRIDGE)
        appendRange(ids, 44, 48);
    if (data || mixed) {
        appendRange(ids, 49, 69);
        appendRange(ids, 70, 82);
        appendRange(ids, 83, 85);
    }
    ids.insert(ids.end(), std::begin(kBurnIds), std::end(kBurnIds));
    return ids;
}

void writePreamble(FILE *stream, Compilation *compilation) noexcept
{
    Serialization_WriteXMLHeader(stream);
    const guint32 media = isDataCompilationType(compilation->type)
                              ? static_cast<guint32>(OptionsDatabase_GetIntegerOptionValue(
                                    compilation->options, COMPILATION_OPTION_MEDIUM_TYPE))
                              : COMPILATION_MEDIUM_CD;
    Serialization_WriteCompilationType(stream, compilation->type, media);
    Serialization_WriteStatistics(stream, compilation);
    std::fputs("<OptionsDB>\n", stream);
    try {
        const std::vector<gint32> ids = savedOptionIds(compilation);
        Serialization_WriteOptions(stream, compilation->options, ids.data(), static_cast<gint>(ids.size()));
    } catch (...) {
        // Out of memory: the stream gets an error mark so the save fails.
        errno = ENOMEM;
        std::fputs("", stream);
    }
    std::fputs("</OptionsDB>\n", stream);
}

bool writeFileSystemBlock(FILE *stream, VirtualFileSystem *fileSystem, WriteObserver *observer) noexcept
{
    std::fputs("<FileSystem>\n", stream);
    bool ok = true;
    if (fileSystem)
        ok = DataTreeWriter{stream, fileSystem, observer}.directory("", 2);
    std::fputs("</FileSystem>\n", stream);
    return ok;
}

bool writeContents(FILE *stream, Compilation *compilation, WriteObserver *observer) noexcept
{
    bool ok = true;
    if (hasDataPart(compilation->type))
        ok = writeFileSystemBlock(stream, dataFileSystem(compilation), observer);
    if (hasAudioPart(compilation->type)) {
        // Tracks come from the audio file system, which no compilation has
        // yet: the block stays empty until it does.
        std::fputs("<AudioTracks>\n", stream);
        std::fputs("</AudioTracks>\n", stream);
    }
    return ok;
}

std::string compilationDocument(Compilation *compilation)
{
    char *buffer = nullptr;
    std::size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    if (!stream)
        throw std::bad_alloc();
    writePreamble(stream, compilation);
    writeContents(stream, compilation, nullptr);
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

bool saveCompilationFile(Compilation *compilation, const std::string &path, WriteObserver *observer,
                         int *errorCode) noexcept
{
    AtomicFile file;
    if (!isSavable(compilation)) {
        *errorCode = EINVAL;
        return false;
    }
    if (!file.open(path)) {
        *errorCode = errno;
        return false;
    }
    writePreamble(file.stream(), compilation);
    if (!writeContents(file.stream(), compilation, observer)) {
        *errorCode = EIO;
        return false;
    }
    if (!file.commit()) {
        *errorCode = errno;
        return false;
    }
    return true;
}

// ---- AtomicFile ----

namespace {

// Where a chain of symbolic links ends. Saving through a link keeps the link:
// renaming over it would replace the link with a plain file.
std::string resolveLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        GString_ target(g_file_read_link(path.c_str(), nullptr));
        if (!target)
            return path;
        if (g_path_is_absolute(target.get())) {
            path = target.get();
        } else {
            GString_ folder(g_path_get_dirname(path.c_str()));
            GString_ joined(g_build_filename(folder.get(), target.get(), nullptr));
            path = joined.get();
        }
    }
    return path;
}

}  // namespace

AtomicFile::~AtomicFile()
{
    abandon();
}

bool AtomicFile::open(const std::string &path) noexcept
{
    try {
        abandon();
        target_ = resolveLinks(path);
        struct stat previous {};
        const bool existed = stat(target_.c_str(), &previous) == 0;
        if (existed && S_ISDIR(previous.st_mode)) {
            errno = EISDIR;
            return false;
        }
        temporary_ = target_ + ".XXXXXX";
        // 0666 less the umask, as a file made by fopen would be.
        const int fd = g_mkstemp_full(temporary_.data(), O_RDWR | O_CLOEXEC, 0666);
        if (fd < 0) {
            temporary_.clear();
            return false;
        }
        if (existed) {
            if (fchown(fd, previous.st_uid, previous.st_gid) != 0) {
                // Only root may give the file away; an ordinary user keeps it.
            }
            fchmod(fd, previous.st_mode & 07777);
        }
        stream_ = fdopen(fd, "w");
        if (!stream_) {
            const int code = errno;
            close(fd);
            g_unlink(temporary_.c_str());
            temporary_.clear();
            errno = code;
            return false;
        }
        return true;
    } catch (...) {
        errno = ENOMEM;
        return false;
    }
}

bool AtomicFile::commit() noexcept
{
    if (!stream_) {
        errno = EBADF;
        return false;
    }
    int code = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_))
        code = errno ? errno : EIO;
    if (code == 0 && fsync(fileno(stream_)) != 0)
        code = errno;
    if (std::fclose(stream_) != 0 && code == 0)
        code = errno;
    stream_ = nullptr;
    if (code == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0)
        code = errno;
    if (code != 0) {
        g_unlink(temporary_.c_str());
        temporary_.clear();
        errno = code;
        return false;
    }
    temporary_.clear();
    // Make the rename durable; a folder that cannot be synced is no failure.
    GString_ folder(g_path_get_dirname(target_.c_str()));
    if (const int folderFd = ::open(folder.get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

void AtomicFile::abandon() noexcept
{
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        g_unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace vorn::compilationfile

using namespace vorn::compilationfile;

void Serialization_WriteXMLHeader(FILE *stream) noexcept
{
    if (!stream)
        return;
    const char *header = _("<!-- <APPNAME> compilation file. -->\n"
                           "<!-- Do not edit it manually unless you know what you are doing. -->\n\n");
    // When the name cannot be put in, the placeholder stays: the header is a comment.
    gchar *replaced = Utils_ReplaceAppname(header);
    std::fputs(replaced ? replaced : header, stream);
    g_free(replaced);
    std::fputs("<?xml version='1.0' encoding='UTF-8'?>\n", stream);
}

void Serialization_WriteCompilationType(FILE *stream, gint type, guint32 media) noexcept
{
    if (stream)
        std::fprintf(stream, "<Compilation type='%d' media='%u' />\n", type, media);
}

void Serialization_WriteStatistics(FILE *stream, gpointer object) noexcept
{
    if (!stream || !IS_VORN_COMPILATION(object))
        return;
    auto *compilation = static_cast<Compilation *>(object);
    std::fputs("<Statistics>\n", stream);
    if (hasDataPart(compilation->type)) {
        VirtualFileSystem *fileSystem = dataFileSystem(compilation);
        std::fputs("  <DataTrack>\n", stream);
        std::fprintf(stream, "    <Files value='%lld' />\n",
                     static_cast<long long>(control<guint64>(fileSystem, VFS_IOCTL_GET_FILES_COUNT)));
        std::fprintf(stream, "    <Folders value='%lld' />\n",
                     static_cast<long long>(control<guint64>(fileSystem, VFS_IOCTL_GET_FOLDERS_COUNT)));
        std::fprintf(stream, "    <Size value='%lld' />\n",
                     static_cast<long long>(control<guint64>(fileSystem, VFS_IOCTL_GET_TOTAL_SIZE)));
        std::fputs("  </DataTrack>\n", stream);
    }
    if (hasAudioPart(compilation->type)) {
        VirtualFileSystem *fileSystem = audioFileSystem(compilation);
        std::fputs("  <AudioTracks>\n", stream);
        std::fprintf(stream, "    <Count value='%u' />\n", control<guint32>(fileSystem, VFS_IOCTL_GET_TRACKS_COUNT));
        std::fprintf(stream, "    <Duration value='%u' />\n",
                     control<guint32>(fileSystem, VFS_IOCTL_GET_TOTAL_BLOCKS) / 75);
        std::fputs("  </AudioTracks>\n", stream);
    }
    std::fputs("</Statistics>\n", stream);
}

void Serialization_WriteOptions(FILE *stream, OptionsDatabase *database, const gint32 *ids, gint count) noexcept
{
    if (!stream || !database || !ids || count <= 0)
        return;
    for (gint i = 0; i < count; ++i) {
        if (VornOption *option = OptionsDatabase_GetOptionFromID(database, ids[i]))
            Option_SerializeOptionToXML(option, stream, 2);
    }
}

void Serialization_WriteGeneralOptions(FILE *stream, OptionsDatabase *database) noexcept
{
    Serialization_WriteOptions(stream, database, kGeneralIds, G_N_ELEMENTS(kGeneralIds));
}

void Serialization_WriteBurnOptions(FILE *stream, OptionsDatabase *database) noexcept
{
    Serialization_WriteOptions(stream, database, kBurnIds, G_N_ELEMENTS(kBurnIds));
}
