#include "BurnUiFixture.h"

#include "VrnDisc.h"

#include <algorithm>
#include <vector>

namespace vorn::test {

void BurnUiTest::SetUpTestSuite()
{
    static const bool initialised = [] {
        gdk_threads_init();
        return true;
    }();
    (void)initialised;
}

void BurnUiTest::TearDown()
{
    {
        GdkLock gdk;
        for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) {
            gtk_widget_destroy(*it);
            g_object_unref(*it);
        }
    }
    widgets.clear();
    drainMainLoop();
    DevicesTest::TearDown();
}

GtkWidget *BurnUiTest::keep(GtkWidget *widget)
{
    g_object_ref_sink(widget);
    widgets.push_back(widget);
    return widget;
}

std::filesystem::path BurnUiTest::makeWrittenDisc(const std::string &name, std::uint32_t medium,
                                                  std::uint32_t capacity, std::uint32_t dataBlocks)
{
    auto path = dir / name;
    auto created = vrn::VrnDisc::create(path, medium, capacity, true);
    EXPECT_TRUE(created.ok()) << created.error();
    if (!created.ok() || dataBlocks == 0)
        return path;
    vrn::VrnDisc disc = std::move(created).value();
    vrn::TrackSpec trackSpec;
    trackSpec.start = 0;
    trackSpec.length = dataBlocks;
    trackSpec.pregap = 150;
    auto track = disc.appendTrack(trackSpec);
    EXPECT_TRUE(track.ok()) << track.error();
    std::vector<std::uint8_t> blocks(std::size_t{dataBlocks} * 2048);
    for (std::size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = static_cast<std::uint8_t>(0x5a ^ (i % 251));
    EXPECT_TRUE(disc.writeTrackBlocks(track.value(), 0, blocks).ok());
    EXPECT_TRUE(disc.closeSession().ok());
    EXPECT_TRUE(disc.sync().ok());
    return path;
}

void BurnUiTest::startWithDrives(const std::string &writerDisc)
{
    std::string drives = kBurnUiDrives;
    drives.replace(drives.find("@DISC@"), 6, writerDisc);
    writeDrives(drives);
    start();
}

std::vector<std::string> BurnUiTest::texts(GtkWidget *combo, int column)
{
    std::vector<std::string> out;
    GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter iter;
    for (gboolean valid = model && gtk_tree_model_get_iter_first(model, &iter); valid;
         valid = gtk_tree_model_iter_next(model, &iter)) {
        gchar *text = nullptr;
        gtk_tree_model_get(model, &iter, column, &text, -1);
        out.emplace_back(text ? text : "(null)");
        g_free(text);
    }
    return out;
}

std::vector<int> BurnUiTest::ints(GtkWidget *combo, int column)
{
    std::vector<int> out;
    GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter iter;
    for (gboolean valid = model && gtk_tree_model_get_iter_first(model, &iter); valid;
         valid = gtk_tree_model_iter_next(model, &iter)) {
        gint value = 0;
        gtk_tree_model_get(model, &iter, column, &value, -1);
        out.push_back(value);
    }
    return out;
}

}  // namespace vorn::test
