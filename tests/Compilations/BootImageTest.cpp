// The default boot image as installed: a FAT12 floppy that fsck.fat accepts,
// with our boot program in its boot sector, that the default bootable disc
// settings name, and that prints its message on the serial port when a PC
// boots it.
#include "OptionsDatabase.h"
#include "TestEnvironment.h"
#include "VornPaths.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace vorn::test {
namespace {

const std::filesystem::path kImage = std::filesystem::path(VORN_DATA_DIR) / "DosBootImage.ima";
constexpr const char *kMessage = "Vorn Linux boot image: this disc holds no operating system.";

// The full path of a tool: runProcess does not search PATH, and fsck.fat
// lives in /usr/sbin, which a user's PATH may lack.
std::string toolPath(const std::string &tool)
{
    for (const char *folder : {"", "/usr/sbin/", "/sbin/"}) {
        gchar *found = g_find_program_in_path((std::string(folder) + tool).c_str());
        if (found) {
            std::string path = found;
            g_free(found);
            return path;
        }
    }
    return {};
}

std::string imageBytes()
{
    return readFile(kImage);
}

std::uint16_t le16(const std::string &bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                      static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

TEST(BootImageTest, IsAFat12FloppyThatFsckAccepts)
{
    ASSERT_TRUE(std::filesystem::exists(kImage)) << kImage;
    const std::string bytes = imageBytes();
    ASSERT_EQ(bytes.size(), 1474560u) << "a 1.44 MB floppy, as emulation type 2 requires";
    EXPECT_EQ(le16(bytes, 11), 512) << "bytes per sector";
    EXPECT_EQ(le16(bytes, 19), 2880) << "sectors";
    EXPECT_EQ(le16(bytes, 24), 18) << "sectors per track";
    EXPECT_EQ(le16(bytes, 26), 2) << "heads";
    EXPECT_EQ(bytes.substr(54, 8), "FAT12   ");
    const std::string fsck = toolPath("fsck.fat");
    if (fsck.empty())
        GTEST_SKIP() << "fsck.fat (dosfstools) is not installed";
    const ProcessResult check = runProcess({fsck, "-n", kImage.string()});
    EXPECT_EQ(check.exitStatus, 0) << check.out << check.err;
}

TEST(BootImageTest, BootSectorJumpsToOurProgramAndKeepsTheSignature)
{
    const std::string bytes = imageBytes();
    ASSERT_GE(bytes.size(), 512u);
    EXPECT_EQ(bytes.substr(0, 3), std::string("\xEB\x3C\x90", 3)) << "the jump to offset 62";
    EXPECT_EQ(bytes.substr(510, 2), std::string("\x55\xAA", 2));
    // The program starts by setting up its segments and ends in the halt loop
    // right before the message it addresses at 7C75h.
    EXPECT_EQ(bytes.substr(62, 3), std::string("\xFA\x31\xC0", 3));
    EXPECT_EQ(bytes.substr(0x51, 3), std::string("\xBE\x75\x7C", 3));
    EXPECT_EQ(bytes.substr(0x71, 4), std::string("\xFA\xF4\xEB\xFD", 4));
    const std::string message = bytes.substr(0x75, 510 - 0x75);
    EXPECT_EQ(message.find(kMessage), 2u) << "after CR LF";
    const std::size_t end = message.find('\0');
    ASSERT_NE(end, std::string::npos) << "the message ends with a zero byte";
    EXPECT_EQ(message.find_first_not_of('\0', end), std::string::npos)
        << "nothing of another boot program is left after the message";
}

TEST(BootImageTest, DefaultBootSettingsNameTheInstalledImage)
{
    OptionsDatabase_InitDatabases();
    gchar *path = OptionsDatabase_GetStringOptionValue(CompilationTypesOptionsDatabase, 10);
    const std::string defaultPath = path ? path : "";
    g_free(path);
    const gint64 emulation = OptionsDatabase_GetIntegerOptionValue(CompilationTypesOptionsDatabase, 13);
    const gint64 source = OptionsDatabase_GetIntegerOptionValue(CompilationTypesOptionsDatabase, 8);
    OptionsDatabase_DestroyDatabases();
    EXPECT_EQ(defaultPath, kImage.string());
    EXPECT_EQ(source, 1) << "boot from an image file";
    EXPECT_EQ(emulation, 2) << "a 1.44 MB floppy";
}

TEST(BootImageTest, BootingItPrintsTheMessageOnTheSerialPort)
{
    const std::string qemu = toolPath("qemu-system-i386");
    if (qemu.empty())
        GTEST_SKIP() << "qemu-system-i386 is not installed (optional)";
    TempDir dir;
    const std::filesystem::path serial = dir / "serial.txt";
    // The machine halts for ever: give it a few seconds, then read what it said.
    const ProcessResult run = runProcess({qemu, "-display", "none", "-monitor", "none", "-no-reboot",
                                          "-m", "16", "-serial", "file:" + serial.string(), "-drive",
                                          "file=" + kImage.string() + ",format=raw,if=floppy,readonly=on", "-boot",
                                          "a"},
                                         {}, {}, 6);
    const std::string said = std::filesystem::exists(serial) ? readFile(serial) : "";
    EXPECT_NE(said.find(kMessage), std::string::npos) << "serial port said: [" << said << "] " << run.err;
    EXPECT_NE(said.find("The computer is halted."), std::string::npos);
}

}  // namespace
}  // namespace vorn::test
