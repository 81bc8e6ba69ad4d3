#include "CompilationFileJobs.h"

#include "CompilationFileReader.h"
#include "CompilationFileWriter.h"
#include "CompilationOptions.h"
#include "DataDiscFileSystem.h"
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "ProgressDialog.h"
#include "VfsIoControlCodes.h"

#include <glib/gi18n.h>
#include <gtk/gtk.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>

using namespace vorn::compilationfile;

namespace {

struct GFree {
    void operator()(gpointer p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

// Progress from the worker: each item under the GDK lock, as the dialog lives
// on the main loop.
class DialogWriteObserver : public WriteObserver {
public:
    explicit DialogWriteObserver(GtkWidget *dialog) : dialog_(dialog) {}
    void itemWritten(const char *baseName, std::uint64_t sizeBytes) noexcept override
    {
        gdk_threads_enter();
        ProgressDialog_IncrementProcessedFiles(dialog_, baseName, sizeBytes);
        gdk_threads_leave();
    }

private:
    GtkWidget *dialog_;
};

struct SaveJob {
    GThread *thread = nullptr;
    std::string path;
    FILE *stream = nullptr;             // the caller's, or the atomic file's
    std::unique_ptr<AtomicFile> file;   // set when this job replaces the file
    Compilation *compilation = nullptr; // a reference when the whole contents are written
    VirtualFileSystem *fileSystem = nullptr;  // a reference when only a file system block is
    GtkWidget *dialog = nullptr;
    gpointer parent = nullptr;
    int result = 0;
    int errorCode = 0;
    SerializationCallback callback = nullptr;
    gpointer data = nullptr;
};

gboolean completeSave(gpointer data) noexcept
{
    std::unique_ptr<SaveJob> job(static_cast<SaveJob *>(data));
    g_thread_join(job->thread);
    gtk_widget_destroy(job->dialog);
    if (job->fileSystem)
        g_object_unref(job->fileSystem);
    errno = job->errorCode;
    if (job->callback)
        job->callback(job->path.c_str(), job->result, job->parent, job->data);
    if (job->compilation)
        g_object_unref(job->compilation);
    return FALSE;
}

gpointer saveWorker(gpointer data) noexcept
{
    auto *job = static_cast<SaveJob *>(data);
    DialogWriteObserver observer(job->dialog);
    bool ok = job->compilation ? writeContents(job->stream, job->compilation, &observer)
                               : writeFileSystemBlock(job->stream, job->fileSystem, &observer);
    int code = ok ? 0 : EIO;
    if (ok && job->file) {
        ok = job->file->commit();
        code = errno;
    } else if (ok && (std::fflush(job->stream) != 0 || std::ferror(job->stream))) {
        ok = false;
        code = errno ? errno : EIO;
    }
    job->result = ok ? 1 : 0;
    job->errorCode = ok ? 0 : code;
    g_timeout_add(0, completeSave, job);
    return nullptr;
}

void showSaveError(const std::string &path, int code, gpointer parent) noexcept
{
    OwnedText base(g_path_get_basename(path.c_str()));
    OwnedText display(g_filename_display_name(base.get()));
    OwnedText text(g_markup_printf_escaped(_("Cannot save the compilation to <i>%s</i>: \n   %s (errno: %d)\n"),
                                           display.get(), g_strerror(code), code));
    vorn::dialogs::RoleScope role("compilation-save-error");
    VornKit_DialogBox_ModalErrorDialog(text.get(), _("An error occured while saving the compilation"), _("Error"),
                                       static_cast<GtkWidget *>(parent), 0);
}

gint startSave(std::unique_ptr<SaveJob> job, guint64 totalCount, guint64 totalBytes) noexcept
{
    job->dialog = ProgressDialog_NewSaveDialog(static_cast<GtkWidget *>(job->parent));
    ProgressDialog_SetTotalFilesCountAndSize(job->dialog, totalCount, totalBytes);
    SaveJob *raw = job.get();
    raw->thread = g_thread_try_new("compilation-save", saveWorker, raw, nullptr);
    if (!raw->thread) {
        gtk_widget_destroy(raw->dialog);
        return 0;
    }
    gtk_widget_show(raw->dialog);
    job.release();  // the completion frees it
    return 1;
}

template <class T> T control(VirtualFileSystem *fileSystem, gint code)
{
    T value{};
    if (fileSystem)
        VFS_IoControl(fileSystem, code, &value);
    return value;
}

// Saves of a compilation that have started and not completed, kept on the
// compilation itself; only the main thread starts and completes them.
const char *const kSavesRunningKey = "vorn-compilation-saves-running";

void countSave(Compilation *compilation, int change) noexcept
{
    const int running = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(compilation), kSavesRunningKey)) + change;
    g_object_set_data(G_OBJECT(compilation), kSavesRunningKey, GINT_TO_POINTER(running));
}

void onCompilationSaved(const gchar *path, gint result, gpointer parent, gpointer data) noexcept
{
    auto *job = static_cast<SaveJob *>(data);
    if (result != 1) {
        showSaveError(path, job->errorCode, parent);
    } else {
        Compilation_SetCompilationSaved(job->compilation);
        Compilation_SetCompilationPath(job->compilation, path);
    }
    // Over only now, after the user was told of a failure.
    countSave(job->compilation, -1);
}

}  // namespace

gint Serialization_WriteDataDiscFileSystem(const gchar *path, FILE *stream, gpointer fileSystem, gpointer parent,
                                           SerializationCallback callback, gpointer data) noexcept
{
    if (!path || !stream || !IS_VORN_DATA_DISC_VFS(fileSystem))
        return 0;
    try {
        auto job = std::make_unique<SaveJob>();
        job->path = path;
        job->stream = stream;
        job->fileSystem = static_cast<VirtualFileSystem *>(g_object_ref(fileSystem));
        job->parent = parent;
        job->callback = callback;
        job->data = data;
        auto *fs = job->fileSystem;
        const guint64 count = control<guint64>(fs, VFS_IOCTL_GET_FILES_COUNT) +
                              control<guint64>(fs, VFS_IOCTL_GET_FOLDERS_COUNT);
        if (startSave(std::move(job), count, control<guint64>(fs, VFS_IOCTL_GET_TOTAL_SIZE)))
            return 1;
        g_object_unref(fs);
        return 0;
    } catch (...) {
        return 0;
    }
}

gint CompilationFile_SaveCompilation(Compilation *compilation, const gchar *fileName, gpointer parent) noexcept
{
    if (!isSavable(compilation))
        return 0;
    try {
        std::string path;
        if (fileName && fileName[0]) {
            path = fileName;
        } else {
            if (OptionsDatabase_GetBooleanOptionValue(compilation->options, COMPILATION_OPTION_IS_NOT_SAVED_NAME))
                return 0;
            OwnedText current(OptionsDatabase_GetStringOptionValue(compilation->options, COMPILATION_OPTION_PATH));
            if (!current || !current.get()[0])
                return 0;
            path = current.get();
        }
        auto job = std::make_unique<SaveJob>();
        job->file = std::make_unique<AtomicFile>();
        if (!job->file->open(path)) {
            showSaveError(path, errno, parent);
            return 0;
        }
        // The file keeps the name asked for: a link is written through, not replaced.
        job->path = path;
        job->stream = job->file->stream();
        writePreamble(job->stream, compilation);
        job->compilation = static_cast<Compilation *>(g_object_ref(compilation));
        job->parent = parent;
        job->callback = onCompilationSaved;
        countSave(compilation, 1);
        job->data = job.get();
        VirtualFileSystem *fs = compilation->fileSystem;
        const guint64 count = control<guint64>(fs, VFS_IOCTL_GET_FILES_COUNT) +
                              control<guint64>(fs, VFS_IOCTL_GET_FOLDERS_COUNT);
        if (!startSave(std::move(job), count, control<guint64>(fs, VFS_IOCTL_GET_TOTAL_SIZE))) {
            countSave(compilation, -1);
            g_object_unref(compilation);
            VornKit_DialogBox_ModalErrorDialog(_("An error occured while saving the compilation"), nullptr,
                                               _("Error"), static_cast<GtkWidget *>(parent), 0);
            return 0;
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

gboolean CompilationFile_IsSaving(gpointer compilation) noexcept
{
    return IS_VORN_COMPILATION(compilation) &&
                   GPOINTER_TO_INT(g_object_get_data(G_OBJECT(compilation), kSavesRunningKey)) > 0
               ? TRUE
               : FALSE;
}

// ---- loading ----

namespace {

class DialogLoadObserver : public LoadObserver {
public:
    explicit DialogLoadObserver(GtkWidget *dialog) : dialog_(dialog) {}
    void totalKnown(std::uint64_t items) noexcept override
    {
        gdk_threads_enter();
        ProgressDialog_SetTotalFilesCountAndSize(dialog_, items, 0);
        gdk_threads_leave();
    }
    void itemStarted(const char *name) noexcept override
    {
        gdk_threads_enter();
        ProgressDialog_IncrementProcessedFiles(dialog_, name, 0);
        gdk_threads_leave();
    }

private:
    GtkWidget *dialog_;
};

struct LoadJob {
    GThread *thread = nullptr;
    std::string path;
    GtkWidget *dialog = nullptr;
    std::unique_ptr<DialogLoadObserver> observer;
    std::optional<VornDeviceEntry> device;
    gpointer parent = nullptr;
    LoadResult result;
    LoadCompilationCallback callback = nullptr;
    gpointer data = nullptr;
};

gboolean completeLoad(gpointer data) noexcept
{
    std::unique_ptr<LoadJob> job(static_cast<LoadJob *>(data));
    g_thread_join(job->thread);
    gtk_widget_destroy(job->dialog);
    finishLoad(job->result, job->path, job->parent);
    if (job->callback)
        job->callback(job->result.compilation, job->data);
    else if (job->result.compilation)
        g_object_unref(job->result.compilation);
    return FALSE;
}

gpointer loadWorker(gpointer data) noexcept
{
    auto *job = static_cast<LoadJob *>(data);
    readCompilationFile(job->path, job->observer.get(), job->device ? &*job->device : nullptr, job->parent,
                        &job->result);
    g_timeout_add(0, completeLoad, job);
    return nullptr;
}

}  // namespace

gint LoadCompilation_Load(const gchar *fileName, const VornDeviceEntry *device, gpointer parent,
                          LoadCompilationCallback callback, gpointer data) noexcept
{
    if (!fileName)
        return 0;
    try {
        // Refuse a file that cannot be read before any window opens.
        FILE *probe = std::fopen(fileName, "r");
        if (!probe)
            return 0;
        std::fclose(probe);
        auto job = std::make_unique<LoadJob>();
        job->path = fileName;
        if (device)
            job->device = *device;
        job->parent = parent;
        job->callback = callback;
        job->data = data;
        job->dialog = ProgressDialog_NewLoadDialog(static_cast<GtkWidget *>(parent));
        job->observer = std::make_unique<DialogLoadObserver>(job->dialog);
        LoadJob *raw = job.get();
        raw->thread = g_thread_try_new("compilation-load", loadWorker, raw, nullptr);
        if (!raw->thread) {
            gtk_widget_destroy(raw->dialog);
            return 0;
        }
        gtk_widget_show(raw->dialog);
        job.release();
        return 1;
    } catch (...) {
        return 0;
    }
}

void CompilationFile_InstallSaveOperation(void) noexcept
{
    setSaveOperation(CompilationFile_SaveCompilation);
}
