// The widget hook: the user interface's factory makes the compilation widget
// of data, audio and mixed-mode compilations; without one, none is made and
// the compilation works all the same.
#include "AudioDiscCompilation.h"
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "DiscCopyCompilation.h"
#include "ImageFileCompilation.h"
#include "MixedModeDiscCompilation.h"

#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn::test {
namespace {

// Stands in for the user interface's compilation widget: only its type name matters here.
GType stubCompilationWidgetType()
{
    static GType type = g_type_register_static_simple(GTK_TYPE_VBOX, "VornCompilationWidget", sizeof(GtkVBoxClass),
                                                      nullptr, sizeof(GtkVBox), nullptr, GTypeFlags(0));
    return type;
}

struct FactoryCall {
    gint32 type;
    std::string name;
    gint32 saved;
};
std::vector<FactoryCall> calls;
bool makeForeignWidget = false;

GtkWidget *recordingFactory(Compilation *compilation) noexcept
{
    calls.push_back({compilation->type, compilationName(compilation), compilation->saved});
    if (makeForeignWidget)
        return gtk_label_new("not a compilation widget");
    return GTK_WIDGET(g_object_new(stubCompilationWidgetType(), nullptr));
}

class CompilationWidgetHookTest : public testing::Test {
protected:
    void SetUp() override
    {
        OptionsDatabase_InitDatabases();
        calls.clear();
        makeForeignWidget = false;
        previous_ = Compilation_SetWidgetFactory(recordingFactory);
    }
    void TearDown() override
    {
        Compilation_SetWidgetFactory(previous_);
        OptionsDatabase_DestroyDatabases();
    }
    CompilationWidgetFactory previous_ = nullptr;
};

TEST_F(CompilationWidgetHookTest, EditableKindsGetTheirWidgetOnceTheyAreNamed)
{
    OwnedCompilation iso(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_DVD));
    OwnedCompilation audio(AudioDiscCompilation_NewAudioDisc());
    OwnedCompilation mixed(MixedModeDiscCompilation_NewEnhancedDisc());
    ASSERT_EQ(calls.size(), 3u);
    // The widget shows the name and type from the start, and the project is
    // marked saved only after it exists.
    EXPECT_EQ(calls[0].type, COMPILATION_TYPE_ISO);
    EXPECT_EQ(calls[0].name, "ISO_DVD_1");
    EXPECT_EQ(calls[0].saved, 0);
    EXPECT_EQ(calls[1].name, "Audio_CD_1");
    EXPECT_EQ(calls[2].type, COMPILATION_TYPE_ENHANCED);
    for (Compilation *compilation : {iso.get(), audio.get(), mixed.get()}) {
        GtkWidget *widget = Compilation_GetWidget(compilation);
        ASSERT_NE(widget, nullptr);
        EXPECT_FALSE(g_object_is_floating(widget)) << "the compilation holds the widget";
        EXPECT_EQ(compilation->saved, 1);
    }

    // The widget lives as long as the compilation keeps it.
    GtkWidget *widget = Compilation_GetWidget(iso.get());
    g_object_add_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer *>(&widget));
    iso.reset();
    EXPECT_EQ(widget, nullptr);
}

TEST_F(CompilationWidgetHookTest, PartsAndOneBurnKindsMakeNoWidget)
{
    OwnedCompilation dataPart(DataDiscCompilation_NewMixedModeDisc());
    OwnedCompilation audioPart(AudioDiscCompilation_NewMixedModeDisc());
    OwnedCompilation copy(DiscCopyCompilation_New(COMPILATION_MEDIUM_CD));
    OwnedCompilation image(ImageFileCompilation_New("/nowhere/disc.cue"));
    EXPECT_TRUE(calls.empty());
    for (Compilation *compilation : {dataPart.get(), audioPart.get(), copy.get(), image.get()})
        EXPECT_EQ(compilation->compilationWidget, nullptr);
}

TEST_F(CompilationWidgetHookTest, AWidgetOfAnotherClassIsKeptButNotHandedOut)
{
    makeForeignWidget = true;
    OwnedCompilation udf(DataDiscCompilation_NewUdfDataDisc(COMPILATION_MEDIUM_BD));
    ASSERT_NE(udf->compilationWidget, nullptr);
    EXPECT_EQ(Compilation_GetWidget(udf.get()), nullptr);
    EXPECT_EQ(Compilation_GetWidget(nullptr), nullptr);
}

TEST_F(CompilationWidgetHookTest, WithoutAFactoryCompilationsWorkWithNoWidget)
{
    EXPECT_EQ(Compilation_SetWidgetFactory(nullptr), recordingFactory);
    OwnedCompilation iso(DataDiscCompilation_NewIsoDataDisc(COMPILATION_MEDIUM_CD));
    OwnedCompilation audio(AudioDiscCompilation_NewAudioDisc());
    EXPECT_TRUE(calls.empty());
    for (Compilation *compilation : {iso.get(), audio.get()}) {
        EXPECT_EQ(compilation->compilationWidget, nullptr);
        EXPECT_EQ(Compilation_GetWidget(compilation), nullptr);
        EXPECT_EQ(compilation->saved, 1);
    }
    EXPECT_EQ(compilationName(iso.get()), "ISO_CD_1");
    VfsDirectoryEntry *folder = VFS_CreateDirectory(iso->fileSystem, "/", "Docs", nullptr);
    ASSERT_NE(folder, nullptr);
    VFS_FreeDirectoryEntry(folder);
    EXPECT_EQ(iso->saved, 0) << "editing needs no widget";
}

}  // namespace
}  // namespace vorn::test
