// Listens to every signal of a file system and keeps each emission as one
// readable line, so tests compare what views were told with what they expect.
#ifndef VORN_TEST_VFS_SIGNAL_RECORDER_H
#define VORN_TEST_VFS_SIGNAL_RECORDER_H

#include "VirtualFileSystem.h"

#include <functional>
#include <string>
#include <vector>

namespace vorn::test {

// Bytes with anything unprintable escaped, so non-UTF-8 names stay readable.
inline std::string printable(const gchar *text)
{
    if (!text)
        return "(null)";
    gchar *escaped = g_strescape(text, nullptr);
    std::string result = std::string("\"") + escaped + "\"";
    g_free(escaped);
    return result;
}

inline std::string describeEntry(const VfsDirectoryEntry *entry)
{
    if (!entry)
        return "entry(null)";
    std::string text = "entry(";
    for (int kind = 0; kind < VFS_NAME_KINDS; ++kind)
        text += printable(entry->names[kind]) + (kind + 1 < VFS_NAME_KINDS ? "|" : "");
    text += " type=" + std::to_string(entry->type);
    if (entry->origin && *entry->origin)
        text += " origin=" + printable(entry->origin);
    if (entry->specialFlags)
        text += " flags=" + std::to_string(entry->specialFlags);
    if (entry->multisessionType)
        text += " ms=" + std::to_string(entry->multisessionType);
    return text + ")";
}

class VfsSignalRecorder {
public:
    explicit VfsSignalRecorder(VirtualFileSystem *vfs) : vfs_(vfs)
    {
        connect("vorn_file_system_changed", G_CALLBACK(onChanged));
        connect("vorn_new_folder_event", G_CALLBACK(onNewItem));
        connect("vorn_new_file_event", G_CALLBACK(onNewItem));
        connect("vorn_rename_file_event", G_CALLBACK(onRename));
        connect("vorn_rename_folder_event", G_CALLBACK(onRename));
        connect("vorn_delete_file_event", G_CALLBACK(onDelete));
        connect("vorn_delete_folder_event", G_CALLBACK(onDelete));
        connect("vorn_undo_stack_changed", G_CALLBACK(onUndoStack));
    }
    ~VfsSignalRecorder()
    {
        for (gulong id : handlers_)
            g_signal_handler_disconnect(vfs_, id);
    }
    VfsSignalRecorder(const VfsSignalRecorder &) = delete;
    VfsSignalRecorder &operator=(const VfsSignalRecorder &) = delete;

    const std::vector<std::string> &events() const { return events_; }
    void clear() { events_.clear(); }

    // Called inside every emission, before it is recorded (for checks that
    // must run while the signal is being delivered).
    std::function<void(const std::string &signal)> duringEmission;

private:
    struct Connection {
        VfsSignalRecorder *recorder;
        const char *signal;
    };

    void connect(const char *signal, GCallback callback)
    {
        connections_.push_back(new Connection{this, signal});
        handlers_.push_back(g_signal_connect_data(
            vfs_, signal, callback, connections_.back(),
            [](gpointer data, GClosure *) { delete static_cast<Connection *>(data); }, GConnectFlags(0)));
    }

    void add(const Connection *connection, const std::string &parameters)
    {
        if (duringEmission)
            duringEmission(connection->signal);
        events_.push_back(std::string(connection->signal) + "(" + parameters + ")");
    }

    static void onChanged(VirtualFileSystem *, gpointer data)
    {
        auto *c = static_cast<Connection *>(data);
        c->recorder->add(c, "");
    }
    static void onNewItem(VirtualFileSystem *, const gchar *path, gint nameKind, VfsDirectoryEntry *entry,
                          gboolean generic, gpointer data)
    {
        auto *c = static_cast<Connection *>(data);
        c->recorder->add(c, printable(path) + ", " + std::to_string(nameKind) + ", " + describeEntry(entry) + ", " +
                                std::to_string(generic));
    }
    static void onRename(VirtualFileSystem *, const gchar *oldPath, const gchar *newPath, const gchar *newName,
                         gint nameKind, gpointer data)
    {
        auto *c = static_cast<Connection *>(data);
        c->recorder->add(c, printable(oldPath) + ", " + printable(newPath) + ", " + printable(newName) + ", " +
                                std::to_string(nameKind));
    }
    static void onDelete(VirtualFileSystem *, VfsItemPaths *paths, gpointer data)
    {
        auto *c = static_cast<Connection *>(data);
        std::string text;
        for (int kind = 0; paths && kind < VFS_NAME_KINDS; ++kind)
            text += printable(paths->paths[kind]) + (kind + 1 < VFS_NAME_KINDS ? "|" : "");
        c->recorder->add(c, paths ? text : "(null)");
    }
    static void onUndoStack(VirtualFileSystem *, guint count, gpointer data)
    {
        auto *c = static_cast<Connection *>(data);
        c->recorder->add(c, std::to_string(count));
    }

    VirtualFileSystem *vfs_;
    std::vector<gulong> handlers_;
    std::vector<Connection *> connections_;  // owned by their closures
    std::vector<std::string> events_;
};

// The four full paths of an item whose every kind is spelled the same.
inline std::string samePaths(const std::string &path)
{
    const std::string one = printable(path.c_str());
    return one + "|" + one + "|" + one + "|" + one;
}

}  // namespace vorn::test

#endif
