// Bootable images: the boot catalog as xorriso reports it for every
// emulation type, with boot images the tests make (FAT floppies, a hard-disk
// image with a partition table, a no-emulation loader), and the refusals of
// boot images that do not fit their emulation.
#include "IsoFixture.h"
#include "iso/ElTorito.h"

#include <fstream>
#include <sstream>

namespace vorn::engine::iso::test {
namespace {

struct BootCase {
    const char *name;
    int emulation;
    std::uint16_t segment;
    std::uint16_t sectors;
    const char *reportedEmulation;  // as xorriso names it
    const char *reportedSystemType;
};

void PrintTo(const BootCase &c, std::ostream *os) { *os << c.name; }

class ElToritoTest : public IsoFixture {
protected:
    void SetUp() override
    {
        IsoFixture::SetUp();
        for (const char *t : {"xorriso", "mkfs.fat", "sfdisk"})
            if (!vorn::test::haveTool(t))
                GTEST_SKIP() << t << " is not installed";
        file("readme.txt", "a bootable disc\n");
        addSources();
    }

    // A boot image for the emulation type, made by the tools users make
    // them with.
    std::string bootImage(int emulation)
    {
        const std::string img = (tmp_.path() / ("boot" + std::to_string(emulation) + ".img")).string();
        switch (emulation) {
        case 1:
        case 2:
        case 3: {
            static const char *const kKb[] = {"", "1200", "1440", "2880"};
            tool({"mkfs.fat", "-C", img, kKb[emulation]});
            break;
        }
        case 4: {
            std::ofstream(img, std::ios::binary).write(std::string(2 << 20, '\0').data(), 2 << 20);
            vorn::test::writeFile(tmp_.path() / "layout.sfdisk", "label: dos\nstart=63, type=c\n");
            const auto r = vorn::test::runProcess({"/bin/sh", "-c", "sfdisk -q '" + img + "' < '" +
                                                                      (tmp_.path() / "layout.sfdisk").string() +
                                                                      "'"});
            EXPECT_EQ(r.exitStatus, 0) << r.err;
            break;
        }
        default: {
            std::string loader(4 * 512, '\0');
            for (std::size_t i = 0; i < loader.size(); ++i)
                loader[i] = static_cast<char>(i * 7 + 1);
            vorn::test::writeFile(img, loader);
            break;
        }
        }
        return img;
    }
    void setBoot(const std::string &image, int emulation, std::uint16_t segment, std::uint16_t sectors,
                 const char *message = "Vorn boot test")
    {
        VornDataCompilation_SetBootableIsoCompilation(h(), 1);
        VornDataCompilation_SetBootImageFilePath(h(), image.c_str());
        VornDataCompilation_SetBootEmulationType(h(), emulation);
        VornDataCompilation_SetBootLoadSegment(h(), segment);
        VornDataCompilation_SetBootLoadSectorsCount(h(), sectors);
        VornDataCompilation_SetBootMessage(h(), message);
    }
    // The fields of xorriso's "El Torito boot img" line.
    std::vector<std::string> bootLine(const std::string &image)
    {
        const std::string report = tool({"xorriso", "-indev", image, "-report_el_torito", "plain"});
        std::istringstream lines(report);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("El Torito boot img :", 0) != 0)
                continue;
            std::istringstream words(line.substr(20));
            std::vector<std::string> out;
            for (std::string w; words >> w;)
                out.push_back(w);
            return out;
        }
        ADD_FAILURE() << "no boot image reported:\n" << report;
        return {};
    }
    std::string bytesAt(const std::string &file, std::uint64_t offset, std::size_t n)
    {
        std::ifstream in(file, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        std::string out(n, '\0');
        in.read(out.data(), static_cast<std::streamsize>(n));
        out.resize(static_cast<std::size_t>(in.gcount()));
        return out;
    }
};

class ElToritoEmulation : public ElToritoTest, public ::testing::WithParamInterface<BootCase> {};

TEST_P(ElToritoEmulation, CatalogEntryReadsBackAsSetAndTheImageIsCopiedWhole)
{
    const BootCase &c = GetParam();
    const std::string img = bootImage(c.emulation);
    setBoot(img, c.emulation, c.segment, c.sectors);
    const std::string iso = writeImage();  // also checks the size against the accounting

    // N Pltf B Emul Ld_seg Hdpt Ldsiz LBA
    const auto f = bootLine(iso);
    ASSERT_EQ(f.size(), 8u);
    EXPECT_EQ(f[1], "BIOS");
    EXPECT_EQ(f[2], "y");
    EXPECT_EQ(f[3], c.reportedEmulation);
    char segment[16];
    std::snprintf(segment, sizeof segment, "0x%04x", c.segment);
    EXPECT_EQ(f[4], segment);
    EXPECT_EQ(f[5], c.reportedSystemType);
    EXPECT_EQ(f[6], std::to_string(c.sectors));
    const std::uint64_t lba = std::stoull(f[7]);
    const std::string original = vorn::test::readFile(img);
    EXPECT_EQ(bytesAt(iso, lba * 2048, original.size()), original);

    // The boot message is the catalog's identification text.
    const std::string report = tool({"xorriso", "-indev", iso, "-report_el_torito", "plain"});
    const auto catalog = report.find("El Torito catalog  :");
    ASSERT_NE(catalog, std::string::npos);
    const std::uint64_t catalogLba = std::stoull(report.substr(catalog + 20));
    EXPECT_EQ(bytesAt(iso, catalogLba * 2048 + 4, 14), "Vorn boot test");
    // The files are still there.
    EXPECT_EQ(readTree(iso, "rr"), expectTree(VORN_NAME_VISIBLE));
}

INSTANTIATE_TEST_SUITE_P(
    Types, ElToritoEmulation,
    ::testing::Values(BootCase{"NoEmulation", 0, 0x07C0, 4, "none", "0x00"},
                      BootCase{"NoEmulationOtherSegment", 0, 0x1000, 9, "none", "0x00"},
                      BootCase{"Floppy12", 1, 1984, 1, "fd1.2", "0x00"},
                      BootCase{"Floppy144", 2, 1984, 1, "fd1.4", "0x00"},
                      BootCase{"Floppy288", 3, 0, 1, "fd2.8", "0x00"},
                      BootCase{"HardDisk", 4, 1984, 1, "hd", "0x0c"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ElToritoTest, DefaultSegmentIs07C0AndTheSizeAccountsForCatalogAndImage)
{
    const std::uint32_t plain = VornDataCompilation_GetTotalBlocks(h());
    const std::string img = bootImage(2);
    VornDataCompilation_SetBootableIsoCompilation(h(), 1);
    VornDataCompilation_SetBootImageFilePath(h(), img.c_str());
    EXPECT_EQ(VornDataCompilation_GetBootLoadSegment(h()), 0x7C0);
    // The boot record descriptor, the catalog and 720 blocks of floppy.
    EXPECT_EQ(VornDataCompilation_GetTotalBlocks(h()), plain + 1 + 1 + 720);
    const auto f = bootLine(writeImage());
    ASSERT_EQ(f.size(), 8u);
    EXPECT_EQ(f[4], "0x07c0");
}

TEST_F(ElToritoTest, BootImagesThatDoNotFitTheirEmulationAreRefusedWithNoImageLeft)
{
    struct Bad {
        int emulation;
        std::string image;
        const char *reason;
    };
    vorn::test::writeFile(tmp_.path() / "short.img", std::string(1474560 - 512, 'x'));
    vorn::test::writeFile(tmp_.path() / "nopart.img", std::string(1 << 20, '\0'));
    vorn::test::writeFile(tmp_.path() / "empty.img", "");
    const std::string floppy = bootImage(2);
    const Bad cases[] = {
        {2, (tmp_.path() / "short.img").string(), "1.44 MB floppy image holds exactly 1474560 bytes"},
        {3, floppy, "2.88 MB floppy image"},
        {1, floppy, "1.2 MB floppy image"},
        {4, (tmp_.path() / "nopart.img").string(), "exactly one partition"},
        {4, floppy, "exactly one partition"},  // a FAT boot sector is no partition table
        {0, (tmp_.path() / "empty.img").string(), "is empty"},
        {0, (tmp_.path() / "missing.img").string(), "cannot be read"},
    };
    for (const Bad &b : cases) {
        SCOPED_TRACE(b.image + " emulation " + std::to_string(b.emulation));
        setBoot(b.image, b.emulation, 1984, 1);
        const std::string out = (tmp_.path() / "refused.iso").string();
        const WriteResult r = writeImageFile(*h(), out);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(b.reason), std::string::npos) << r.error;
        EXPECT_FALSE(fs::exists(out));
    }
    std::size_t leftovers = 0;
    for (auto &e : fs::directory_iterator(tmp_.path()))
        leftovers += e.path().filename().string().find(".part-") != std::string::npos;
    EXPECT_EQ(leftovers, 0u);
}

TEST_F(ElToritoTest, BootableDiscWithoutImageIsRefusedAndPlainDiscsHaveNoCatalog)
{
    const std::string plain = writeImage("plain.iso");
    const std::string report = tool({"xorriso", "-indev", plain, "-report_el_torito", "plain"});
    EXPECT_EQ(report.find("El Torito boot img"), std::string::npos) << report;

    VornDataCompilation_SetBootableIsoCompilation(h(), 1);
    const WriteResult r = writeImageFile(*h(), (tmp_.path() / "refused.iso").string());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("No boot image was chosen"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace vorn::engine::iso::test
