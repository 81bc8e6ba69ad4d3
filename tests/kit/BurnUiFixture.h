// Devices management over emulated drives for the widgets of the burn UI:
// the GDK lock is set up as the application sets it up, so workers and the
// main loop exclude each other, and the test thread takes it only around
// its own calls into the widgets.
#ifndef VORN_TESTS_KIT_BURN_UI_FIXTURE_H
#define VORN_TESTS_KIT_BURN_UI_FIXTURE_H

#include "DevicesFixture.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace vorn::test {

// The GDK lock for the test thread's widget calls.
struct GdkLock {
    GdkLock() { gdk_threads_enter(); }
    ~GdkLock() { gdk_threads_leave(); }
    GdkLock(const GdkLock &) = delete;
    GdkLock &operator=(const GdkLock &) = delete;
};

class BurnUiTest : public DevicesTest {
protected:
    static void SetUpTestSuite();
    void TearDown() override;

    // Destroyed (in reverse order) before devices management and the engine stop.
    GtkWidget *keep(GtkWidget *widget);
    // The writer with a CD-RW holding one data track of non-zero blocks, a CD
    // writer and a reader; written speeds are known.
    void startWithDrives(const std::string &writerDisc = "rw.vrn");
    std::filesystem::path makeWrittenDisc(const std::string &name, std::uint32_t medium, std::uint32_t capacity,
                                          std::uint32_t dataBlocks);

    // Column 1 (text) of every row of a combo box's model.
    static std::vector<std::string> texts(GtkWidget *combo, int column = 1);
    static std::vector<int> ints(GtkWidget *combo, int column);

    std::vector<GtkWidget *> widgets;
};

inline const char *kBurnUiDrives =
    "[Writer]\n"
    "Name=Vorn DVD Writer\n"
    "WriteMedia=CD-R;CD-RW;DVD-R;DVD-RW;DVD+R;DVD+RW\n"
    "WriteSpeeds.CD-RW=4x;10x\n"
    "WriteSpeeds.CD-R=8x;16x;24x\n"
    "Disc=@DISC@\n"
    "\n"
    "[CDWriter]\n"
    "Name=Vorn CD Writer\n"
    "WriteMedia=CD-R;CD-RW\n"
    "\n"
    "[Reader]\n"
    "Name=Vorn CD Reader\n"
    "Type=reader\n"
    "ReadMedia=CD-ROM;CD-R;CD-RW\n";

}  // namespace vorn::test

#endif
