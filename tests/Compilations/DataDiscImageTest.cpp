// A data disc compilation set up through its options and filled through its
// file system, written by the engine's image writer and read back with
// xorriso; and a previous session of a disc that genisoimage made, imported
// from an emulated drive through the compilation.
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "DataDiscFileSystem.h"
#include "EngineFixture.h"
#include "LinuxFileSystem.h"
#include "TestDialogs.h"
#include "VornPaths.h"
#include "iso/IsoWriter.h"

#include <glib.h>

#include <ctime>
#include <set>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

class DataDiscImageTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        OptionsDatabase_InitDatabases();
        for (const char *tool : {"xorriso", "genisoimage"})
            if (!haveTool(tool))
                GTEST_SKIP() << tool << " is not installed";
    }
    void TearDown() override
    {
        compilation_.reset();
        OptionsDatabase_DestroyDatabases();
        EngineTest::TearDown();
    }

    std::string path(const std::string &name) { return (dir / name).string(); }

    ProcessResult run(std::vector<std::string> argv)
    {
        gchar *found = g_find_program_in_path(argv[0].c_str());
        if (found) {
            argv[0] = found;
            g_free(found);
        }
        ProcessResult result = runProcess(argv, {}, {}, 120);
        EXPECT_EQ(result.exitStatus, 0) << argv[0] << ": " << result.err;
        return result;
    }
    ProcessResult xorriso(const std::string &image, std::vector<std::string> commands)
    {
        std::vector<std::string> argv{"xorriso", "-abort_on", "FAILURE", "-indev", image};
        argv.insert(argv.end(), commands.begin(), commands.end());
        return run(argv);
    }

    Compilation *c() { return compilation_.get(); }
    VornDataCompilation *engine() { return VORN_DATA_DISC_VFS(c()->fileSystem)->compilation; }

    // Adds the local file or folder at `local` to the disc folder `discFolder`.
    void add(const fs::path &local, const std::string &discFolder)
    {
        VfsDirectoryEntry *entry =
            VFS_Copy(c()->localFileSystem, local.c_str(), c()->fileSystem, discFolder.c_str(), 3, nullptr);
        ASSERT_NE(entry, nullptr) << local;
        VFS_FreeDirectoryEntry(entry);
    }

    std::string writeImage(const std::string &name)
    {
        const std::string image = path(name);
        const auto result = vorn::engine::iso::writeImageFile(*engine(), image);
        EXPECT_TRUE(result.ok) << result.error;
        return image;
    }

    OwnedCompilation compilation_;
};

gint64 localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<gint64>(std::mktime(&t));
}

// The UTC stamp xorriso prints for a time ("2024.02.29.131415").
std::string utcStamp(gint64 time)
{
    const auto t = static_cast<std::time_t>(time);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &utc);
    return text;
}

TEST_F(DataDiscImageTest, BootableDiscWrittenFromItsOptionsReadsBackAsTheSettingsSaid)
{
    compilation_.reset(DataDiscCompilation_NewBootableDisc(COMPILATION_MEDIUM_CD));
    ASSERT_NE(c(), nullptr);
    OptionsDatabase *o = c()->options;
    // One label for all file systems, identifiers, ISO level 2, fixed volume dates.
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(o, 49, 1), 1);
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(o, 50, "Rescue Disc"), 1);
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(o, 54, "Acme Publishing"), 1);
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(o, 55, "Test preparer"), 1);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(o, 37, 1), 1);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(o, 39, 0), 1);  // no Rock Ridge: ISO names show
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(o, 78, 1), 1);
    const gint64 created = localTime(2024, 2, 29, 13, 14, 15);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(o, 70, created), 1);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(o, 71, 13 * 3600 + 14 * 60 + 15), 1);
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(o, 31, "Vorn rescue"), 1);

    writeFile(dir / "tree" / "readme_for_users.txt", "read me\n");
    writeFile(dir / "tree" / "tools" / "checker.bin", std::string(70000, 'c'));
    add(dir / "tree" / "readme_for_users.txt", "/");
    VfsDirectoryEntry *tools = VFS_CreateDirectory(c()->fileSystem, "/", "tools", nullptr);
    ASSERT_NE(tools, nullptr);
    VFS_FreeDirectoryEntry(tools);
    add(dir / "tree" / "tools" / "checker.bin", "/tools");

    const std::string image = writeImage("rescue.iso");
    const std::string pvd = xorriso(image, {"-pvd_info"}).out;
    EXPECT_NE(pvd.find("Volume Id    : RESCUE_DISC"), std::string::npos) << pvd;
    EXPECT_NE(pvd.find("Publisher Id : ACME PUBLISHING"), std::string::npos) << pvd;
    EXPECT_NE(pvd.find("Preparer Id  : TEST PREPARER"), std::string::npos) << pvd;
    EXPECT_NE(pvd.find("Creation Time: " + utcStamp(created)), std::string::npos) << pvd;

    // Plain ISO 9660 names: level 2 keeps the long name instead of an 8.3 one.
    const std::string tree =
        xorriso(image, {"-rockridge", "off", "-joliet", "off", "-find", "/", "-exec", "lsdl"}).out;
    EXPECT_NE(tree.find("/README_FOR_USERS.TXT"), std::string::npos) << tree;
    EXPECT_NE(tree.find(" 70000 "), std::string::npos) << tree;
    EXPECT_NE(tree.find("/TOOLS/CHECKER.BIN"), std::string::npos) << tree;
    EXPECT_EQ(tree.find("BOOT"), std::string::npos) << "the boot image is outside the tree: " << tree;

    // The default boot image, as a 1.44 MB floppy loaded at 07C0h, one sector.
    const fs::path bootImage = VORN_DATA_DIR "/DosBootImage.ima";
    if (!fs::exists(bootImage))
        GTEST_SKIP() << "the boot image is not installed in " VORN_DATA_DIR;
    const std::string boot = xorriso(image, {"-report_el_torito", "plain"}).out;
    const auto entry = boot.find("El Torito boot img :   1  BIOS  y  fd1.4  0x07c0  0x00      1");
    ASSERT_NE(entry, std::string::npos) << boot;
    EXPECT_NE(boot.find("El Torito img blks :   1  720"), std::string::npos) << "1.44 MB in 2048-byte blocks: " << boot;
    // The floppy's bytes stand in the image at the block the catalog names.
    const std::string line = boot.substr(entry, boot.find('\n', entry) - entry);
    const auto lba = std::stoul(line.substr(line.find_last_of(' ') + 1));
    const std::string written = readFile(image).substr(lba * 2048, 1474560);
    EXPECT_TRUE(written == readFile(bootImage)) << "the boot image at block " << lba;

    // And a PC boots the disc: the floppy's program speaks on the serial port.
    gchar *qemu = g_find_program_in_path("qemu-system-i386");
    if (!qemu)
        GTEST_SKIP() << "qemu-system-i386 is not installed (optional): the disc was not booted";
    const std::string serial = path("serial.txt");
    runProcess({qemu, "-display", "none", "-monitor", "none", "-no-reboot", "-m", "16", "-serial",
                "file:" + serial, "-cdrom", image, "-boot", "d"},
               {}, {}, 6);
    g_free(qemu);
    const std::string said = fs::exists(serial) ? readFile(serial) : "";
    EXPECT_NE(said.find("Vorn Linux boot image: this disc holds no operating system."), std::string::npos)
        << "serial port said: [" << said << "]";
}

TEST_F(DataDiscImageTest, UdfOnlySettingsRefuseAnIsoImageWithoutWritingAByte)
{
    compilation_.reset(DataDiscCompilation_NewUdfDataDisc(COMPILATION_MEDIUM_DVD));
    writeFile(dir / "file.txt", "x\n");
    add(dir / "file.txt", "/");
    const auto result = vorn::engine::iso::writeImageFile(*engine(), path("udf.iso"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(fs::exists(path("udf.iso")));
}

// --- Import of a previous session ------------------------------------------------

class DataDiscImportTest : public DataDiscImageTest {
protected:
    void SetUp() override
    {
        DataDiscImageTest::SetUp();
        if (IsSkipped())
            return;
        writeDrives("[Burner]\nWriteMedia=CD-R;CD-RW;DVD+R\n[Reader]\nType=reader\n");
        ASSERT_EQ(start(), VORN_INIT_OK);
    }
    ProcessResult vornDisc(std::vector<std::string> args)
    {
        args.insert(args.begin(), std::string(VORN_BIN_DIR) + "/vorn-disc");
        return run(args);
    }
    // A disc of two sessions that genisoimage made: the second one adds a file.
    std::string multisessionDisc()
    {
        writeFile(dir / "one" / "first.txt", "first session\n");
        writeFile(dir / "one" / "docs" / "manual.txt", std::string(3000, 'm'));
        run({"genisoimage", "-quiet", "-R", "-J", "-V", "SESSION_ONE", "-o", path("one.iso"), path("one")});
        vornDisc({"make", path("s1.vrn"), path("one.iso")});
        std::string ms = vornDisc({"msinfo", path("s1.vrn")}).out;
        ms.erase(ms.find_last_not_of('\n') + 1);
        vornDisc({"export-iso", path("s1.vrn"), path("grown.iso")});
        writeFile(dir / "two" / "second.txt", "second session\n");
        run({"genisoimage", "-quiet", "-R", "-J", "-V", "SESSION_TWO", "-C", ms, "-M", path("grown.iso"), "-o",
             path("two.iso"), path("two")});
        vornDisc({"make", path("s2.vrn"), path("one.iso"), path("two.iso")});
        vornDisc({"load", drivesFile.string(), "Burner", path("s2.vrn")});
        EXPECT_EQ(VornControl_RescanDrivesFile(), 1) << drivesFileError();
        return path("s2.vrn");
    }

    // Every item as "path type multisession-type origin".
    std::set<std::string> listing(VornDataCompilationItem *folder = nullptr, const std::string &prefix = "")
    {
        std::set<std::string> out;
        if (!folder)
            folder = VornDataCompilation_GetItemFromPath(engine(), "", 3);
        for (auto *i = VornDataCompilation_GetDirectoryFirstEntry(engine(), folder); i;
             i = VornDataCompilation_GetDirectoryNextEntry(i)) {
            const std::string p = prefix + "/" + VornDataCompilation_GetItemName(engine(), i, 3);
            out.insert(p + " " + std::to_string(VornDataCompilationItem_GetType(i)) + " " +
                       std::to_string(VornDataCompilationItem_GetItemMultisessionType(i)) + " [" +
                       VornDataCompilationItem_GetFilePath(i) + "]");
            if (VornDataCompilationItem_GetType(i) == VORN_DATA_ITEM_DIRECTORY)
                out.merge(listing(i, p));
        }
        return out;
    }
};

TEST_F(DataDiscImportTest, LastSessionOfAGenisoimageDiscBecomesItemsAlreadyOnTheDisc)
{
    multisessionDisc();
    compilation_.reset(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_DVD));
    const VornDeviceEntry burner = entryOf("Burner");
    const gint32 result = DataDiscCompilation_ImportPreviousSession(c(), &burner, 2, DATA_DISC_IMPORT_KIND_ISO,
                                                                    nullptr);
    ASSERT_EQ(result, DATA_DISC_IMPORT_IMPORTED | DATA_DISC_IMPORT_MEDIUM_CHANGED) << result;
    EXPECT_EQ(listing(), (std::set<std::string>{"/docs 1 3 []", "/docs/manual.txt 0 2 []", "/first.txt 0 2 []",
                                                "/second.txt 0 2 []"}));
    // A CD in the drive: the DVD compilation follows the disc.
    EXPECT_EQ(integerOption(c(), COMPILATION_OPTION_MEDIUM_TYPE), COMPILATION_MEDIUM_CD);
    EXPECT_EQ(integerOption(c(), COMPILATION_OPTION_ALLOWED_MEDIA), COMPILATION_MEDIUM_CD);
    EXPECT_EQ(integerOption(c(), 11), 2);
    VornDevice *device = VornOpenDevice(&burner);
    char *stamp = VornGetCDStampHash(device);
    EXPECT_EQ(stringOption(c(), 10), stamp ? stamp : "(null)");
    VornFreeMem(stamp);
    VornCloseDevice(device);
    // The labels of the session show in the label options.
    EXPECT_EQ(stringOption(c(), 51), "SESSION_TWO");
    EXPECT_EQ(c()->saved, 0) << "an import changes the project";
}

TEST_F(DataDiscImportTest, OtherFileSystemAsksFirstAndSwitchesOnlyWhenTheUserAgrees)
{
    multisessionDisc();
    compilation_.reset(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
    const VornDeviceEntry burner = entryOf("Burner");
    DialogScript dialogs;
    dialogs.answerOnce(byRole("import-change-file-system"), {dialogs::response::No});
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), &burner, 1, DATA_DISC_IMPORT_KIND_BRIDGE, nullptr),
              DATA_DISC_IMPORT_REFUSED_BY_USER);
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_NE(dialogs.asked()[0].request.text.find("different file system (UDF/ISO bridge) from the document type "
                                                   "(ISO)"),
              std::string::npos)
        << dialogs.asked()[0].request.text;
    EXPECT_NE(dialogs.asked()[0].request.text.find("Do you want Vorn Linux to change"), std::string::npos);
    EXPECT_EQ(c()->type, COMPILATION_TYPE_ISO);
    EXPECT_TRUE(listing().empty()) << "nothing imported";

    dialogs.answerOnce(byRole("import-change-file-system"), {dialogs::response::Yes});
    const gint32 result =
        DataDiscCompilation_ImportPreviousSession(c(), &burner, 1, DATA_DISC_IMPORT_KIND_BRIDGE, nullptr);
    EXPECT_EQ(result, DATA_DISC_IMPORT_IMPORTED | DATA_DISC_IMPORT_SWITCHED_TO_BRIDGE);
    EXPECT_EQ(c()->type, COMPILATION_TYPE_UDF_ISO_BRIDGE);
    EXPECT_EQ(VornDataCompilation_GetUdfSupportType(engine()), VORN_UDF_BRIDGE);
    EXPECT_EQ(listing(), (std::set<std::string>{"/docs 1 3 []", "/docs/manual.txt 0 2 []", "/first.txt 0 2 []"}))
        << "the first session alone";
}

TEST_F(DataDiscImportTest, RefusesWhatCannotBeImported)
{
    multisessionDisc();
    const VornDeviceEntry burner = entryOf("Burner");
    const VornDeviceEntry reader = entryOf("Reader");
    compilation_.reset(DataDiscCompilation_NewBootableDisc(COMPILATION_MEDIUM_CD));
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), &burner, 1, 1, nullptr),
              DATA_DISC_IMPORT_REFUSED_NOT_DATA);
    compilation_.reset(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), nullptr, 1, 1, nullptr),
              DATA_DISC_IMPORT_REFUSED_DEVICE);
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), &reader, 1, 1, nullptr),
              DATA_DISC_IMPORT_REFUSED_DEVICE);
    VornDeviceEntry imageRecorder{};
    imageRecorder.hostAdapter = VORN_IMAGE_RECORDER_HA;
    imageRecorder.type = VORN_DEVICE_TYPE_RECORDER;
    imageRecorder.capabilities = VORN_CAP_IMAGE_RECORDER | VORN_CAP_WRITE;
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), &imageRecorder, 1, 1, nullptr),
              DATA_DISC_IMPORT_REFUSED_DEVICE);
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), &burner, 1, 0, nullptr),
              DATA_DISC_IMPORT_REFUSED_NO_KIND);
    // A track that holds no session: the import itself fails.
    EXPECT_EQ(DataDiscCompilation_ImportPreviousSession(c(), &burner, 7, 1, nullptr), DATA_DISC_IMPORT_FAILED);
    EXPECT_TRUE(listing().empty());
    EXPECT_EQ(integerOption(c(), 11), -1) << "nothing remembered of a failed import";
    EXPECT_EQ(VornControl_GetOpenHandleCount(-2, -2), 0) << "every refusal closed the drive";
}

}  // namespace
}  // namespace vorn::test
