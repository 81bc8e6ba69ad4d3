// The compilation file: written byte for byte, read back into the same
// compilation, and safe against failing disks and hostile files.
#include "CompilationFileReader.h"
#include "CompilationFileWriter.h"
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "DataDiscFileSystem.h"
#include "IntegerOption.h"
#include "StringOption.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"
#include "VfsIoControlCodes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;
using namespace vorn::compilationfile;

// Every item's names, time and priority, one line per item, depth first.
std::string describeTree(VirtualFileSystem *disc, const std::string &folder = "")
{
    std::string out;
    gpointer handle = VFS_OpenDirectory(disc, folder.empty() ? "/" : folder.c_str());
    if (!handle)
        return "(unlistable " + folder + ")\n";
    while (VfsDirectoryEntry *entry = VFS_ReadDirectory(disc, handle)) {
        const std::string path = folder + "/" + entry->names[3];
        VfsStat stat{};
        VFS_Stat(disc, path.c_str(), &stat);
        out += path;
        for (int kind = 0; kind < 4; ++kind) {
            gchar *name = VFS_GetItemChangedName(disc, path.c_str(), kind);
            out += std::string(" ") + std::to_string(kind) + "=" + (name ? name : "-");
            g_free(name);
        }
        // A folder's time and priority are not part of the file.
        if (VFS_STAT_IS_DIRECTORY(&stat)) {
            out += "\n" + describeTree(disc, path);
        } else {
            out += " t=" + std::to_string(stat.compilationAdditionTime) + " p=" + std::to_string(stat.priority) +
                   "\n";
        }
        VFS_FreeDirectoryEntry(entry);
    }
    VFS_CloseDirectory(disc, handle);
    return out;
}

class CompilationFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        setenv("LC_ALL", "C.UTF-8", 1);
    }
    void TearDown() override { OptionsDatabase_DestroyDatabases(); }

    std::string localFile(const std::string &relative, const std::string &contents = "data")
    {
        const fs::path path = tree_ / relative;
        fs::create_directories(path.parent_path());
        writeFile(path, contents);
        return path.string();
    }

    OwnedCompilation newIso()
    {
        OwnedCompilation compilation(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
        pinDates(compilation.get());
        return compilation;
    }

    // Dates come from the clock: the golden file needs them fixed.
    static void pinDates(Compilation *compilation)
    {
        std::vector<gint32> ids{3, 4};
        for (gint32 id = 70; id <= 82; ++id)
            ids.push_back(id);
        for (gint32 id : ids) {
            VornOption *option = OptionsDatabase_GetOptionFromID(compilation->options, id);
            if (IS_VORN_INTEGER_OPTION(option))
                OptionsDatabase_SetIntegerOptionValue(compilation->options, id, 1234567000 + id);
            else if (IS_VORN_STRING_OPTION(option))
                OptionsDatabase_SetStringOptionValue(compilation->options, id, "2009-02-13");
        }
    }

    std::string copyIn(Compilation *compilation, const std::string &origin, const std::string &folder,
                       gint64 added, gint32 priority)
    {
        VfsDirectoryEntry *entry = VFS_CopyEx(compilation->localFileSystem, origin.c_str(), compilation->fileSystem,
                                              folder.c_str(), 3, nullptr, 0, 0, 0, 1, 0, nullptr, 1, 0, 0, 0);
        EXPECT_NE(entry, nullptr) << origin;
        if (!entry)
            return "";
        const std::string path = (folder == "/" ? "" : folder) + "/" + entry->names[3];
        VFS_FreeDirectoryEntry(entry);
        VFS_SetItemCompilationAdditionDate(compilation->fileSystem, path.c_str(), added);
        VFS_SetItemPriority(compilation->fileSystem, path.c_str(), priority);
        return path;
    }

    // A data compilation with every kind of item: folders with and without an
    // origin, nested, files with changed names of each kind, "%" and
    // apostrophe names, addition time 0 and a path longer than a read piece.
    OwnedCompilation richCompilation()
    {
        OwnedCompilation compilation = newIso();
        VirtualFileSystem *disc = compilation->fileSystem;
        const std::string music = (tree_ / "music").string();
        fs::create_directories(music);
        VFS_FreeDirectoryEntry(
            VFS_CreateDirectoryEx(disc, "/", "music", nullptr, music.c_str(), 0, 0, 0, 0, 1, 0, 0, 0));
        copyIn(compilation.get(), localFile("music/a.txt"), "/music", 2222, 3);
        VfsDirectoryEntry *plain = VFS_CreateDirectory(disc, "/", "plain", nullptr);
        VFS_FreeDirectoryEntry(plain);
        VfsDirectoryEntry *inner = VFS_CreateDirectory(disc, "/plain", "inner", nullptr);
        VFS_FreeDirectoryEntry(inner);
        copyIn(compilation.get(), localFile("x/100% it's.txt"), "/plain/inner", 3333, -2);
        copyIn(compilation.get(), localFile("x/zero.txt"), "/", 0, 0);
        const std::string renamed = copyIn(compilation.get(), localFile("x/names.dat"), "/plain", 4444, 7);
        EXPECT_EQ(VFS_Rename(disc, renamed.c_str(), "ISO1.DAT", 1), 0);
        EXPECT_EQ(VFS_Rename(disc, renamed.c_str(), "ISO_TWO.DAT", 2), 0);
        EXPECT_EQ(VFS_Rename(disc, renamed.c_str(), "Shown & told.dat", 3), 0);
        const std::string longName(120, 'l');
        copyIn(compilation.get(), localFile(longName + "/" + longName + "/deep.txt"), "/", 5555, 1);
        pinDates(compilation.get());
        return compilation;
    }

    // The document with the local tree's folder spelled as a fixed word.
    std::string portable(std::string text) const
    {
        const std::string root = tree_.path().string();
        for (std::size_t at; (at = text.find(root)) != std::string::npos;)
            text.replace(at, root.size(), "@TREE@");
        return text;
    }

    void expectGolden(const std::string &name, const std::string &actual)
    {
        const fs::path golden = sourceDir() / "tests/Compilations/golden" / name;
        if (std::getenv("VORN_UPDATE_GOLDEN")) {
            writeFile(golden, actual);
            return;
        }
        ASSERT_TRUE(fs::exists(golden)) << golden << " (run with VORN_UPDATE_GOLDEN=1)";
        EXPECT_EQ(actual, readFile(golden));
    }

    OwnedCompilation load(const fs::path &path)
    {
        LoadObserver observer;
        return OwnedCompilation(loadCompilation(path.string(), &observer, nullptr));
    }

    OwnedCompilation loadText(const std::string &text)
    {
        const fs::path path = files_ / "in.vornc";
        writeFile(path, text);
        return load(path);
    }

    TempDir tree_;
    TempDir files_;
};

// ---- writer ----

TEST_F(CompilationFileTest, DataCompilationIsWrittenByteForByte)
{
    OwnedCompilation compilation = richCompilation();
    const std::string text = compilationDocument(compilation.get());
    expectGolden("DataCompilation.xml", portable(text));
    // The apostrophe travels as an entity, the percent sign unchanged.
    EXPECT_NE(text.find("value='100% it&apos;s.txt'"), std::string::npos);
    EXPECT_NE(text.find("value='Shown &amp; told.dat'"), std::string::npos);
}

TEST_F(CompilationFileTest, WhatTheWriterLeavesOut)
{
    OwnedCompilation compilation = newIso();
    std::string text = compilationDocument(compilation.get());
    // An empty compilation has an empty block.
    EXPECT_NE(text.find("<FileSystem>\n</FileSystem>\n"), std::string::npos);
    // Not continuing a multisession disc: no imported-disc options.
    EXPECT_EQ(text.find("name='Multisession stamp"), std::string::npos);
    const std::size_t options = std::count(text.begin(), text.end(), '\n');
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                          MULTISESSION_CONTINUE);
    text = compilationDocument(compilation.get());
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), options + 2);

    // Addition time 0: no AddedTime element, but still the priority.
    copyIn(compilation.get(), localFile("zero.txt"), "/", 0, 5);
    text = compilationDocument(compilation.get());
    EXPECT_EQ(text.find("AddedTime"), std::string::npos);
    EXPECT_NE(text.find("    <Priority value='5' />\n  </File>\n"), std::string::npos);
}

// ---- reader ----

TEST_F(CompilationFileTest, SavedDataCompilationLoadsBackTheSame)
{
    OwnedCompilation compilation = richCompilation();
    const fs::path path = files_ / "rich.vornc";
    int error = 0;
    ASSERT_TRUE(saveCompilationFile(compilation.get(), path.string(), nullptr, &error)) << g_strerror(error);
    const std::string saved = readFile(path);
    EXPECT_EQ(saved, compilationDocument(compilation.get()));

    OwnedCompilation loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->type, COMPILATION_TYPE_ISO);
    EXPECT_EQ(loaded->saved, 1);
    EXPECT_EQ(compilationName(loaded.get()), "rich.vornc");
    EXPECT_EQ(stringOption(loaded.get(), COMPILATION_OPTION_PATH), path.string());
    // Same options, tree, names of files, priorities and times: the same file.
    EXPECT_EQ(describeTree(loaded->fileSystem), describeTree(compilation->fileSystem));
    EXPECT_EQ(compilationDocument(loaded.get()), saved);
}

TEST_F(CompilationFileTest, LoadAppliesFileNamesButNotFolderNamesOrOriginals)
{
    OwnedCompilation compilation = newIso();
    VirtualFileSystem *disc = compilation->fileSystem;
    VFS_FreeDirectoryEntry(VFS_CreateDirectory(disc, "/", "folder", nullptr));
    ASSERT_EQ(VFS_Rename(disc, "/folder", "SHOWN", 3), 0);
    const std::string file = copyIn(compilation.get(), localFile("f.txt"), "/SHOWN", 9, 1);
    ASSERT_EQ(VFS_Rename(disc, file.c_str(), "g.txt", 3), 0);
    const fs::path path = files_ / "names.vornc";
    int error = 0;
    ASSERT_TRUE(saveCompilationFile(compilation.get(), path.string(), nullptr, &error));

    OwnedCompilation loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    // The folder comes back under its original name, the file with its user name.
    EXPECT_EQ(describeTree(loaded->fileSystem), "/folder 0=folder 1=- 2=- 3=-\n"
                                                "/folder/g.txt 0=f.txt 1=- 2=- 3=g.txt t=9 p=1\n");
}

TEST_F(CompilationFileTest, ReaderEdgeCases)
{
    const std::string origin = localFile("keep.txt");
    const std::string head = "<?xml version='1.0' encoding='UTF-8'?>\n";
    const std::string file = "<FileSystem>\n  <File>\n    <Names>\n"
                             "      <Joliet value='other.txt' encoding='UTF-8' />\n    </Names>\n"
                             "    <Origin encoding='UTF-8' value='" + origin + "' />\n"
                             "    <Priority value='4' />\n  </File>\n</FileSystem>\n";

    // Attributes out of order: the element counts for nothing, the file keeps its origin's name.
    OwnedCompilation loaded = loadText(head + "<Compilation type='1' media='1' />\n" + file);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(describeTree(loaded->fileSystem), "/keep.txt 0=keep.txt 1=- 2=- 3=- t=0 p=4\n");

    // Options before the compilation element are ignored.
    loaded = loadText(head + "<OptionsDB>\n  <Option name='Write speed' type='integer' value='1' />\n"
                             "</OptionsDB>\n<Compilation type='1' media='1' />\n<OptionsDB>\n"
                             "  <Option name='Compilation creation date' type='integer' value='77' />\n</OptionsDB>\n");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(integerOption(loaded.get(), COMPILATION_OPTION_CREATION_DATE), 77);

    // Type 12 (and 0, 8, 9, above 10) builds nothing.
    for (const char *type : {"12", "0", "8", "11", "99999999999999999999"})
        EXPECT_EQ(loadText(head + "<Compilation type='" + type + "' media='1' />\n" + file), nullptr) << type;

    // A path longer than a read piece arrives in pieces and is put together.
    const std::string longOrigin = localFile(std::string(200, 'd') + "/" + std::string(200, 'e') + "/long.txt");
    std::string text = head + "<Compilation type='1' media='1' />\n" + file;
    text.replace(text.find(origin), origin.size(), longOrigin);
    loaded = loadText(text);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(describeTree(loaded->fileSystem), "/long.txt 0=long.txt 1=- 2=- 3=- t=0 p=4\n");
}

TEST_F(CompilationFileTest, MissingMultisessionDiscCancelledLoadsWithoutPreviousSession)
{
    OwnedCompilation compilation = newIso();
    OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MULTISESSION_TYPE,
                                          MULTISESSION_CONTINUE);
    copyIn(compilation.get(), localFile("new.txt"), "/", 5, 0);
    const fs::path path = files_ / "continued.vornc";
    int error = 0;
    ASSERT_TRUE(saveCompilationFile(compilation.get(), path.string(), nullptr, &error));

    DialogScript dialogs;
    dialogs.answer(byKind(dialogs::DialogKind::Warning), dialogs::response::Cancel);
    OwnedCompilation loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(integerOption(loaded.get(), COMPILATION_OPTION_MULTISESSION_TYPE), MULTISESSION_NONE);
    EXPECT_EQ(describeTree(loaded->fileSystem), "/new.txt 0=new.txt 1=- 2=- 3=- t=5 p=0\n");
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_NE(dialogs.asked()[0].request.heading.find("Source disc cannot be found"), std::string::npos);
    EXPECT_NE(dialogs.asked()[0].request.text.find("continues a multisession disc"), std::string::npos);
}

TEST_F(CompilationFileTest, DamagedFileKeepsWhatCameBeforeAndSaysWhere)
{
    const std::string a = localFile("a.txt"), b = localFile("b.txt");
    auto item = [](const std::string &origin) {
        return "  <File>\n    <Names>\n    </Names>\n    <Origin encoding='UTF-8' value='" + origin +
               "' />\n    <Priority value='0' />\n  </File>\n";
    };
    DialogScript dialogs;
    dialogs.answer(byKind(dialogs::DialogKind::Warning), dialogs::response::Ok);
    OwnedCompilation loaded = loadText("<Compilation type='1' media='1' />\n<FileSystem>\n" + item(a) +
                                       "  <File>\n    <Names></Nomes>\n" + item(b) + "</FileSystem>\n");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(describeTree(loaded->fileSystem), "/a.txt 0=a.txt 1=- 2=- 3=- t=0 p=0\n");
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_NE(dialogs.asked()[0].request.text.find("damaged at line 10"), std::string::npos)
        << dialogs.asked()[0].request.text;
}

// ---- failures and hostile files ----

TEST_F(CompilationFileTest, SaveFailingHalfwayKeepsThePreviousFile)
{
    OwnedCompilation compilation = richCompilation();
    const fs::path path = files_ / "kept.vornc";
    writeFile(path, "previous contents\n");
    chmod(path.c_str(), 0640);
    const fs::path link = files_ / "link.vornc";
    fs::create_symlink(path, link);

    // Writes past 4 KiB fail with EFBIG, as on a disk that fills up.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int error = 0;
    const bool saved = saveCompilationFile(compilation.get(), link.string(), nullptr, &error);
    setrlimit(RLIMIT_FSIZE, &previous);

    EXPECT_FALSE(saved);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readFile(path), "previous contents\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(files_.path()), fs::directory_iterator()), 2)
        << "the temporary file is left behind";

    // Written in full, the file is replaced through the link and keeps its mode.
    ASSERT_TRUE(saveCompilationFile(compilation.get(), link.string(), nullptr, &error));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(path), compilationDocument(compilation.get()));
    struct stat status {};
    stat(path.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(CompilationFileTest, HostileFilesNeitherCrashNorChangeFiles)
{
    const std::string victim = localFile("victim/keep.txt", "precious");
    const std::string head = "<Compilation type='1' media='1' />\n<FileSystem>\n";
    auto folder = [](const std::string &name) {
        return "<Directory><Names><Original encoding='UTF-8' value='" + name + "' /></Names><Items>";
    };
    std::vector<std::string> hostile;
    // Names that would leave their folder.
    hostile.push_back(head + folder("..") + "</Items></Directory>" + folder("a/b") + "</Items></Directory>");
    // Huge and malformed numbers.
    hostile.push_back(head + "<File><Names></Names><Origin encoding='UTF-8' value='" + victim +
                      "' /><AddedTime value='99999999999999999999999' /><Priority value='-99999999999' /></File>");
    // Not UTF-8, an unknown encoding.
    hostile.push_back(head + "<File><Names><Joliet encoding='NOPE-99' value='x' /></Names></File>\xff\xfe\x80");
    hostile.push_back(std::string("\xc3\x28<Compilation type='1' />"));
    // Deep nesting.
    std::string deep = head;
    for (int i = 0; i < 5000; ++i)
        deep += folder("d");
    hostile.push_back(deep);
    // A million elements.
    std::string many = head + "<File><Names></Names>";
    for (int i = 0; i < 1000000; ++i)
        many += "<Priority value='1'/>";
    hostile.push_back(many + "</File></FileSystem>\n");
    // Truncated at every few bytes of a real file.
    OwnedCompilation rich = richCompilation();
    const std::string text = compilationDocument(rich.get());
    for (std::size_t cut = 0; cut < text.size(); cut += text.size() / 15)
        hostile.push_back(text.substr(0, cut));

    auto snapshot = [this] {
        std::string listing;
        for (const auto &entry : fs::recursive_directory_iterator(tree_.path()))
            listing += entry.path().string() + (entry.is_regular_file() ? "=" + readFile(entry.path()) : "") + "\n";
        return listing;
    };
    const std::string before = snapshot();
    DialogScript dialogs;
    dialogs.answer(anyDialog(), dialogs::response::Ok);
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        OwnedCompilation loaded = loadText(hostile[i]);
        if (loaded) {
            const std::string tree = describeTree(loaded->fileSystem);
            EXPECT_EQ(tree.find(".."), std::string::npos) << i;
            EXPECT_LT(tree.size(), 400u * 256u) << i;
        }
    }
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace vorn::test
