// A data disc over the local file system, with a temporary local tree to copy
// from and a readable picture of the whole disc tree to compare against.
#ifndef VORN_TEST_DATA_DISC_FIXTURE_H
#define VORN_TEST_DATA_DISC_FIXTURE_H

#include "DataDiscFileSystem.h"
#include "LinuxFileSystem.h"
#include "TestEnvironment.h"
#include "VfsIoControlCodes.h"
#include "VfsSignalRecorder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorn::test {

using Events = std::vector<std::string>;

inline std::string takeString(gchar *text)
{
    std::string result = text ? text : "(null)";
    g_free(text);
    return result;
}

// The names of the signals in a list of recorded emissions, without parameters.
inline Events signalNames(const Events &events)
{
    Events names;
    for (const std::string &event : events)
        names.push_back(event.substr(0, event.find('(')));
    return names;
}

class DataDiscTest : public testing::Test {
protected:
    void SetUp() override
    {
        local_ = LinuxFileSystem_New();
        disc_ = DataDiscFileSystem_New(local_);
        ASSERT_NE(disc_, nullptr);
        signals_ = std::make_unique<VfsSignalRecorder>(disc_);
        labelHandler_ = g_signal_connect(disc_, "vorn_volume_label_changed", G_CALLBACK(onLabelChanged), this);
        importHandler_ = g_signal_connect(disc_, "vorn_old_session_imported", G_CALLBACK(onImported), this);
    }
    void TearDown() override
    {
        g_signal_handler_disconnect(disc_, labelHandler_);
        g_signal_handler_disconnect(disc_, importHandler_);
        signals_.reset();
        g_object_unref(disc_);
        g_object_unref(local_);
    }

    // A local file under the temporary folder; its absolute path.
    std::string localFile(const std::string &relative, const std::string &contents = "data")
    {
        const std::filesystem::path path = tmp_.path() / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, contents);
        return path.string();
    }

    // A folder made on the disc without telling anyone or recording undo.
    void quietFolder(const std::string &parent, const std::string &name, guint32 flags = 0)
    {
        VfsDirectoryEntry *entry =
            VFS_CreateDirectoryEx(disc_, parent.c_str(), name.c_str(), nullptr, nullptr, flags, 0, 0, 0, 0, 0, 0, 0);
        ASSERT_NE(entry, nullptr) << parent << " + " << name << ": " << g_strerror(errno);
        VFS_FreeDirectoryEntry(entry);
    }

    // A local file copied into a disc folder silently; its disc path.
    std::string quietFile(const std::string &discFolder, const std::string &name, const std::string &contents = "data",
                          guint32 flags = 0)
    {
        const std::string source = localFile("src/" + std::to_string(++fileCounter_) + "/" + name, contents);
        VfsDirectoryEntry *entry = VFS_CopyEx(local_, source.c_str(), disc_, discFolder.c_str(), 3, nullptr, flags, 0,
                                              0, 1, 0, nullptr, 0, 0, 0, 0);
        EXPECT_NE(entry, nullptr) << source << " -> " << discFolder << ": " << g_strerror(errno);
        VFS_FreeDirectoryEntry(entry);
        return (discFolder == "/" ? "" : discFolder) + "/" + name;
    }

    // A copy in as the user makes it (signals, undo, rollback point).
    VfsDirectoryEntry *copyIn(const std::string &localPath, const std::string &discFolder,
                              VfsDirectoryEntry **existing = nullptr)
    {
        return VFS_CopyEx(local_, localPath.c_str(), disc_, discFolder.c_str(), 3, existing, 0, 0, 0, 1, 0, nullptr, 1,
                          1, 1, 0);
    }

    // Every item below `folder`, path -> everything the disc says about it.
    std::map<std::string, std::string> tree(const std::string &folder = "/")
    {
        std::map<std::string, std::string> items;
        addTree(folder, items);
        return items;
    }

    // The full paths (name kind 3) in one folder, in listing order.
    std::vector<std::string> listing(const std::string &folder)
    {
        std::vector<std::string> names;
        gpointer handle = VFS_OpenDirectory(disc_, folder.c_str());
        EXPECT_NE(handle, nullptr) << folder;
        if (!handle)
            return names;
        while (VfsDirectoryEntry *entry = VFS_ReadDirectory(disc_, handle)) {
            names.push_back(entry->names[3]);
            VFS_FreeDirectoryEntry(entry);
        }
        VFS_CloseDirectory(disc_, handle);
        return names;
    }

    gint32 getInt(gint code)
    {
        gint32 value = -12345;
        EXPECT_EQ(VFS_IoControl(disc_, code, &value), 0) << "code " << code;
        return value;
    }
    std::string getText(gint code)
    {
        gchar *text = nullptr;
        EXPECT_EQ(VFS_IoControl(disc_, code, &text), 0) << "code " << code;
        return takeString(text);
    }
    void setInt(gint code, gint32 value)
    {
        ASSERT_EQ(VFS_IoControl(disc_, code, &value), 0) << "code " << code << " value " << value;
    }

    const Events &events() const { return signals_->events(); }
    void clearEvents()
    {
        signals_->clear();
        labelChanges_.clear();
        imports_ = 0;
    }

    TempDir tmp_;
    VirtualFileSystem *local_ = nullptr;
    VirtualFileSystem *disc_ = nullptr;
    std::unique_ptr<VfsSignalRecorder> signals_;
    std::vector<gint> labelChanges_;
    int imports_ = 0;

private:
    void addTree(const std::string &folder, std::map<std::string, std::string> &items)
    {
        gpointer handle = VFS_OpenDirectory(disc_, folder.c_str());
        ASSERT_NE(handle, nullptr) << folder;
        while (VfsDirectoryEntry *entry = VFS_ReadDirectory(disc_, handle)) {
            const std::string path = (folder == "/" ? "" : folder) + "/" + entry->names[3];
            VfsStat stat{};
            EXPECT_EQ(VFS_Stat(disc_, path.c_str(), &stat), 0) << path;
            items[path] = describeEntry(entry) + " mode=" + std::to_string(stat.mode) +
                          " size=" + std::to_string(stat.sizeBytes) + " priority=" + std::to_string(stat.priority);
            const bool isFolder = entry->type == VFS_ENTRY_DIRECTORY;
            VFS_FreeDirectoryEntry(entry);
            if (isFolder)
                addTree(path, items);
        }
        VFS_CloseDirectory(disc_, handle);
    }

    static void onLabelChanged(VirtualFileSystem *, gint kind, gpointer self)
    {
        static_cast<DataDiscTest *>(self)->labelChanges_.push_back(kind);
    }
    static void onImported(VirtualFileSystem *, gpointer self) { ++static_cast<DataDiscTest *>(self)->imports_; }

    gulong labelHandler_ = 0;
    gulong importHandler_ = 0;
    int fileCounter_ = 0;
};

}  // namespace vorn::test

#endif
