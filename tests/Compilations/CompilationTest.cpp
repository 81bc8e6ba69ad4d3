// Creation of every compilation type, default names and their counters, the
// saved state and its signals, and what the kinds not burnable yet answer.
#include "AudioDiscCompilation.h"
#include "CompilationTestSupport.h"
#include "DataDiscCompilation.h"
#include "DiscCopyCompilation.h"
#include "ImageFileCompilation.h"
#include "MediaTypes.h"
#include "MixedModeDiscCompilation.h"
#include "NameFactory.h"
#include "TestDialogs.h"
#include "TestEnvironment.h"
#include "UnavailableOperations.h"
#include "VirtualFileSystem.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

constexpr guint32 CD = COMPILATION_MEDIUM_CD;
constexpr guint32 DVD = COMPILATION_MEDIUM_DVD;
constexpr guint32 HD_DVD = COMPILATION_MEDIUM_HD_DVD;
constexpr guint32 BD = COMPILATION_MEDIUM_BD;

class CompilationTest : public testing::Test {
protected:
    // Fresh databases: the user's defaults as shipped, every name counter at 1.
    void SetUp() override { OptionsDatabase_InitDatabases(); }
    void TearDown() override { OptionsDatabase_DestroyDatabases(); }

    static void setDefault(gint32 id, gint64 value)
    {
        VornOption *option = OptionsDatabase_GetOptionFromID(CompilationTypesOptionsDatabase, id);
        if (IS_VORN_BOOLEAN_OPTION(option))
            ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(CompilationTypesOptionsDatabase, id,
                                                            static_cast<gint32>(value)), 1);
        else
            ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(CompilationTypesOptionsDatabase, id, value), 1);
    }
};

// Counts the saved and unsaved signals of one compilation.
struct SavedSignals {
    explicit SavedSignals(Compilation *compilation)
    {
        g_signal_connect(compilation, "vorn_compilation_saved", G_CALLBACK(+[](Compilation *, const gchar *name,
                                                                              SavedSignals *self) {
                             self->events.push_back(std::string("saved:") + (name ? name : "(null)"));
                         }),
                         this);
        g_signal_connect(compilation, "vorn_compilation_unsaved",
                         G_CALLBACK(+[](Compilation *, SavedSignals *self) { self->events.emplace_back("unsaved"); }),
                         this);
    }
    std::vector<std::string> events;
};

// --- Creation ----------------------------------------------------------------

struct Creation {
    const char *label;
    std::function<Compilation *()> make;
    gint32 type;
    guint32 medium;
    guint32 allowedMedia;
    const char *name;
    bool saved;
    gint32 singleSession;
};

TEST_F(CompilationTest, EveryTypeStartsWithItsTypeMediumNameAndSavedState)
{
    const guint32 supported = MediaTypes_GetSupportedMediaTypes();
    const std::vector<Creation> creations = {
        {"ISO on CD", [] { return DataDiscCompilation_NewIsoDataDisc(CD); }, 1, CD, 0xC001D, "ISO_CD_1", true, 0},
        {"UDF on BD", [] { return DataDiscCompilation_NewUdfDataDisc(BD); }, 2, BD, 0x3F6C001D, "UDF_BD_1", true, 0},
        {"UDF on HD DVD", [] { return DataDiscCompilation_NewUdfDataDisc(HD_DVD); }, 2, HD_DVD, 0x3F6C001D,
         "UDF_HD_DVD_1", true, 0},
        {"bridge on DVD", [] { return DataDiscCompilation_NewUdfIsoBridgeDataDisc(DVD); }, 3, DVD, 0xC001D,
         "UDF-ISO_DVD_1", true, 0},
        {"bootable on CD", [] { return DataDiscCompilation_NewBootableDisc(CD); }, 4, CD, 0xC001D,
         "Bootable_CD_1", true, 1},
        {"DVD-Video", [] { return DataDiscCompilation_NewVideoDisc(DVD); }, 10, DVD, 0xC001D, "DVD-Video_1", true, 1},
        {"miniDVD", [] { return DataDiscCompilation_NewVideoDisc(CD); }, 10, CD, 0xC001D, "miniDVD_1", true, 1},
        {"data part of a mixed-mode CD", [] { return DataDiscCompilation_NewMixedModeDisc(); }, 1, CD, 0xC001D,
         "ISO_CD_2", true, 0},
        {"audio CD", [] { return AudioDiscCompilation_NewAudioDisc(); }, 5, CD, supported, "Audio_CD_1", true, 1},
        {"audio part of a mixed-mode CD", [] { return AudioDiscCompilation_NewMixedModeDisc(); }, 5, CD, supported,
         "Audio_CD_2", true, 1},
        {"mixed-mode CD", [] { return MixedModeDiscCompilation_NewMixedModeDisc(); }, 6, CD, supported,
         "Mixed_Mode_CD_1", true, 1},
        {"enhanced CD", [] { return MixedModeDiscCompilation_NewEnhancedDisc(); }, 7, CD, supported,
         "Enhanced_CD_1", true, 1},
        {"copy of a DVD", [] { return DiscCopyCompilation_New(DVD); }, 12, DVD, supported, "DVD_Copy_1", false, 1},
        {"copy of an HD DVD", [] { return DiscCopyCompilation_New(HD_DVD); }, 12, HD_DVD, supported,
         "HD_DVD_Copy_1", false, 1},
        {"cue sheet", [] { return ImageFileCompilation_New("/discs/Live Set.CUE"); }, 11, CD, CD, "Live Set.CUE",
         false, 1},
    };
    for (const Creation &creation : creations) {
        SCOPED_TRACE(creation.label);
        OwnedCompilation compilation(creation.make());
        ASSERT_NE(compilation, nullptr);
        EXPECT_EQ(compilation->type, creation.type);
        EXPECT_EQ(integerOption(compilation.get(), COMPILATION_OPTION_MEDIUM_TYPE), creation.medium);
        EXPECT_EQ(integerOption(compilation.get(), COMPILATION_OPTION_ALLOWED_MEDIA), creation.allowedMedia);
        EXPECT_EQ(compilationName(compilation.get()), creation.name);
        EXPECT_EQ(compilation->saved, creation.saved ? 1 : 0);
        EXPECT_EQ(compilation->singleSession, creation.singleSession);
        EXPECT_EQ(compilation->compilationWidget, nullptr) << "no widget factory is installed";
        EXPECT_EQ(compilation->operations.GetBurnFormat(compilation.get()), static_cast<guint32>(VORN_BURN_MAGIC));
    }
}

TEST_F(CompilationTest, KindsRefuseMediaTheyCannotTake)
{
    EXPECT_EQ(DataDiscCompilation_NewIsoDataDisc(BD), nullptr);
    EXPECT_EQ(DataDiscCompilation_NewUdfIsoBridgeDataDisc(HD_DVD), nullptr);
    EXPECT_EQ(DataDiscCompilation_NewBootableDisc(COMPILATION_MEDIUM_CD_DVD), nullptr) << "one family, not a set";
    EXPECT_EQ(DataDiscCompilation_NewVideoDisc(BD), nullptr);
    EXPECT_EQ(ImageFileCompilation_New(nullptr), nullptr);
    // A UDF disc takes any medium; one outside every family is made a CD.
    OwnedCompilation udf(DataDiscCompilation_NewUdfDataDisc(0x40000000u));
    ASSERT_NE(udf, nullptr);
    EXPECT_EQ(integerOption(udf.get(), COMPILATION_OPTION_MEDIUM_TYPE), CD);
    EXPECT_EQ(compilationName(udf.get()), "UDF_CD_1");
}

TEST_F(CompilationTest, DataDiscTypesDifferInVolumesSessionsAndBootSettings)
{
    OwnedCompilation iso(DataDiscCompilation_NewIsoDataDisc(CD));
    OwnedCompilation udf(DataDiscCompilation_NewUdfDataDisc(DVD));
    OwnedCompilation bridge(DataDiscCompilation_NewUdfIsoBridgeDataDisc(CD));
    OwnedCompilation boot(DataDiscCompilation_NewBootableDisc(CD));
    OwnedCompilation video(DataDiscCompilation_NewVideoDisc(DVD));

    EXPECT_TRUE(booleanOption(iso.get(), COMPILATION_OPTION_HAS_ISO_VOLUME));
    EXPECT_FALSE(booleanOption(iso.get(), COMPILATION_OPTION_HAS_UDF_VOLUME));
    EXPECT_FALSE(booleanOption(udf.get(), COMPILATION_OPTION_HAS_ISO_VOLUME));
    EXPECT_TRUE(booleanOption(udf.get(), COMPILATION_OPTION_HAS_UDF_VOLUME));
    EXPECT_TRUE(booleanOption(bridge.get(), COMPILATION_OPTION_HAS_ISO_VOLUME));
    EXPECT_TRUE(booleanOption(bridge.get(), COMPILATION_OPTION_HAS_UDF_VOLUME));

    // The shipped default starts a multisession disc, which must stay open.
    for (Compilation *open : {iso.get(), udf.get(), bridge.get()}) {
        EXPECT_EQ(integerOption(open, COMPILATION_OPTION_MULTISESSION_TYPE), MULTISESSION_START);
        EXPECT_FALSE(booleanOption(open, COMPILATION_OPTION_FINALIZE));
    }
    // Boot discs and DVD-Video are one closed session.
    for (Compilation *closed : {boot.get(), video.get()}) {
        EXPECT_EQ(integerOption(closed, COMPILATION_OPTION_MULTISESSION_TYPE), MULTISESSION_NONE);
        EXPECT_TRUE(booleanOption(closed, COMPILATION_OPTION_FINALIZE));
    }
    EXPECT_EQ(integerOption(video.get(), COMPILATION_OPTION_ISO_REVISION), 0);
    EXPECT_EQ(integerOption(video.get(), COMPILATION_OPTION_BRIDGE_ISO_REVISION), 0);
    EXPECT_EQ(integerOption(iso.get(), COMPILATION_OPTION_ISO_REVISION), 1);
    EXPECT_EQ(stringOption(boot.get(), 31), "Vorn Linux Boot-Loader");
    EXPECT_EQ(integerOption(boot.get(), 32), 1984);
}

TEST_F(CompilationTest, DvdVideoStartsWithItsTwoFolders)
{
    OwnedCompilation video(DataDiscCompilation_NewVideoDisc(DVD));
    for (const char *folder : {"/AUDIO_TS", "/VIDEO_TS"}) {
        VfsStat stat{};
        EXPECT_EQ(VFS_Stat(video->fileSystem, folder, &stat), 0) << folder;
        EXPECT_TRUE(VFS_STAT_IS_DIRECTORY(&stat)) << folder;
    }
    EXPECT_EQ(video->saved, 1) << "the folders are part of a new project, not a change to it";
}

TEST_F(CompilationTest, UsersDefaultsSeedOnlyTheKindsTheyBelongTo)
{
    setDefault(COMPILATION_TYPES_ISO_REVISION, 2);
    setDefault(COMPILATION_TYPES_BRIDGE_ISO_REVISION, 0);
    setDefault(COMPILATION_TYPES_DEFAULT_MULTISESSION, MULTISESSION_NONE);
    setDefault(80, 1);  // simulate
    setDefault(89, 3);  // copies
    setDefault(COMPILATION_TYPES_ISO_DATA_MODE, 0);

    OwnedCompilation iso(DataDiscCompilation_NewIsoDataDisc(DVD));
    EXPECT_EQ(integerOption(iso.get(), COMPILATION_OPTION_ISO_REVISION), 2);
    EXPECT_EQ(integerOption(iso.get(), COMPILATION_OPTION_BRIDGE_ISO_REVISION), 1) << "the bridge default stays";
    EXPECT_EQ(iso->singleSession, 1) << "no multisession by the user's default";
    EXPECT_TRUE(booleanOption(iso.get(), COMPILATION_OPTION_FINALIZE));

    OwnedCompilation bridge(DataDiscCompilation_NewUdfIsoBridgeDataDisc(DVD));
    EXPECT_EQ(integerOption(bridge.get(), COMPILATION_OPTION_BRIDGE_ISO_REVISION), 0);
    EXPECT_EQ(integerOption(bridge.get(), COMPILATION_OPTION_ISO_REVISION), 1) << "the ISO default is not the bridge's";

    // The burn settings reach every kind, data or not.
    OwnedCompilation copy(DiscCopyCompilation_New(CD));
    for (Compilation *compilation : {iso.get(), copy.get()}) {
        EXPECT_TRUE(booleanOption(compilation, COMPILATION_OPTION_SIMULATE));
        EXPECT_EQ(integerOption(compilation, COMPILATION_OPTION_COPIES), 3);
    }

    // An enhanced CD's data is always mode 2; a mixed-mode CD's follows the default.
    OwnedCompilation mixed(MixedModeDiscCompilation_NewMixedModeDisc());
    OwnedCompilation enhanced(MixedModeDiscCompilation_NewEnhancedDisc());
    EXPECT_EQ(integerOption(mixed.get(), 35), 0);
    EXPECT_EQ(integerOption(enhanced.get(), 35), 1);
}

TEST_F(CompilationTest, DiscCopiesTakeOnlyTheReadSettingsOfTheirMedium)
{
    setDefault(66, 1);  // ignore CD data read errors
    setDefault(76, 0);  // DVD error correction off
    setDefault(77, 5);  // DVD retries
    OwnedCompilation cd(DiscCopyCompilation_New(CD));
    OwnedCompilation dvd(DiscCopyCompilation_New(DVD));
    EXPECT_TRUE(booleanOption(cd.get(), 92));
    EXPECT_TRUE(booleanOption(cd.get(), 102)) << "a CD copy keeps the DVD defaults";
    EXPECT_EQ(integerOption(cd.get(), 103), 1);
    EXPECT_FALSE(booleanOption(dvd.get(), 92)) << "a DVD copy keeps the CD defaults";
    EXPECT_FALSE(booleanOption(dvd.get(), 102));
    EXPECT_EQ(integerOption(dvd.get(), 103), 5);
}

TEST_F(CompilationTest, AudioKindsTakeThisRunsCdText)
{
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(CompilationTypesDynamicOptionsDatabase, 2, "Caf\xc3\xa9 Nights"), 1);
    ASSERT_EQ(OptionsDatabase_SetStringOptionValue(CompilationTypesDynamicOptionsDatabase, 4, "(c) 2024"), 1);
    setDefault(COMPILATION_TYPES_WRITE_CD_TEXT, 1);
    OwnedCompilation audio(AudioDiscCompilation_NewAudioDisc());
    OwnedCompilation enhanced(MixedModeDiscCompilation_NewEnhancedDisc());
    OwnedCompilation iso(DataDiscCompilation_NewIsoDataDisc(CD));
    for (Compilation *compilation : {audio.get(), enhanced.get()}) {
        EXPECT_EQ(stringOption(compilation, 18), "Caf\xc3\xa9 Nights");
        EXPECT_EQ(stringOption(compilation, 20), "(c) 2024");
        EXPECT_TRUE(booleanOption(compilation, 17));
    }
    EXPECT_EQ(stringOption(iso.get(), 18), "") << "a data disc has no CD-TEXT";
    EXPECT_FALSE(booleanOption(iso.get(), 17));
}

// --- Default names ------------------------------------------------------------

TEST_F(CompilationTest, DefaultNamesCountPerKindAndMediumForTheRun)
{
    OwnedCompilation first(DataDiscCompilation_NewIsoDataDisc(CD));
    OwnedCompilation second(DataDiscCompilation_NewIsoDataDisc(CD));
    OwnedCompilation onDvd(DataDiscCompilation_NewIsoDataDisc(DVD));
    OwnedCompilation udf(DataDiscCompilation_NewUdfDataDisc(CD));
    EXPECT_EQ(compilationName(first.get()), "ISO_CD_1");
    EXPECT_EQ(compilationName(second.get()), "ISO_CD_2");
    EXPECT_EQ(compilationName(onDvd.get()), "ISO_DVD_1");
    EXPECT_EQ(compilationName(udf.get()), "UDF_CD_1");

    OwnedCompilation copy(DiscCopyCompilation_New(CD));
    OwnedCompilation bdCopy(DiscCopyCompilation_New(BD));
    EXPECT_EQ(compilationName(copy.get()), "CD_Copy_1") << "a copy names its medium first";
    EXPECT_EQ(compilationName(bdCopy.get()), "BD_Copy_1");

    // A kind without a counter on a medium is numbered 0 and counts nothing.
    OwnedCompilation audio(AudioDiscCompilation_NewAudioDisc());
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(audio->options, COMPILATION_OPTION_MEDIUM_TYPE, DVD), 1);
    EXPECT_EQ(compilationName(audio.get()), "Audio_DVD_0");
    OwnedCompilation nextAudio(AudioDiscCompilation_NewAudioDisc());
    EXPECT_EQ(compilationName(nextAudio.get()), "Audio_CD_2");

    // A new run counts from 1 again. Every compilation's options database is
    // one of the process's databases: a run ends with no compilation left.
    for (OwnedCompilation *left : {&first, &second, &onDvd, &udf, &copy, &bdCopy, &audio, &nextAudio})
        left->reset();
    OptionsDatabase_InitDatabases();
    OwnedCompilation afterRestart(DataDiscCompilation_NewIsoDataDisc(CD));
    EXPECT_EQ(compilationName(afterRestart.get()), "ISO_CD_1");
}

TEST_F(CompilationTest, AChangeOfMediumRenamesOnlyAMadeUpName)
{
    OwnedCompilation madeUp(DataDiscCompilation_NewUdfDataDisc(CD));
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(madeUp->options, COMPILATION_OPTION_MEDIUM_TYPE, BD), 1);
    EXPECT_EQ(compilationName(madeUp.get()), "UDF_BD_1");
    OwnedCompilation nextOnBd(DataDiscCompilation_NewUdfDataDisc(BD));
    EXPECT_EQ(compilationName(nextOnBd.get()), "UDF_BD_2") << "the rename used the BD counter";

    OwnedCompilation named(DataDiscCompilation_NewUdfDataDisc(CD));
    ASSERT_EQ(Compilation_SetCompilationName(named.get(), "Holiday photos"), 1);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(named->options, COMPILATION_OPTION_MEDIUM_TYPE, DVD), 1);
    EXPECT_EQ(compilationName(named.get()), "Holiday photos");
    OwnedCompilation onDvd(DataDiscCompilation_NewUdfDataDisc(DVD));
    EXPECT_EQ(compilationName(onDvd.get()), "UDF_DVD_1") << "no counter was used for the named project";

    // Image files are named after their file, so a medium change keeps it.
    OwnedCompilation image(ImageFileCompilation_New("/nowhere/backup.iso"));
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(image->options, COMPILATION_OPTION_MEDIUM_TYPE, DVD), 1);
    EXPECT_EQ(compilationName(image.get()), "backup.iso");
}

TEST_F(CompilationTest, NameFactoryAnswersOnlyCompilations)
{
    EXPECT_EQ(NameFactory_GetDummyCompilationName(nullptr), nullptr);
    GObject *other = static_cast<GObject *>(g_object_new(G_TYPE_OBJECT, nullptr));
    EXPECT_EQ(NameFactory_GetDummyCompilationName(other), nullptr);
    g_object_unref(other);
}

// --- Name and path -------------------------------------------------------------

TEST_F(CompilationTest, PathSetsNameAndPathOrNothing)
{
    OwnedCompilation compilation(DataDiscCompilation_NewIsoDataDisc(CD));
    EXPECT_EQ(Compilation_SetCompilationPath(compilation.get(), "project.xml"), 0);
    EXPECT_EQ(Compilation_SetCompilationPath(compilation.get(), ""), 0);
    EXPECT_EQ(Compilation_SetCompilationPath(compilation.get(), nullptr), 0);
    EXPECT_EQ(Compilation_SetCompilationName(compilation.get(), ""), 0);
    EXPECT_EQ(Compilation_SetCompilationName(compilation.get(), nullptr), 0);
    EXPECT_EQ(compilationName(compilation.get()), "ISO_CD_1");
    EXPECT_EQ(stringOption(compilation.get(), COMPILATION_OPTION_PATH), "");
    EXPECT_TRUE(booleanOption(compilation.get(), COMPILATION_OPTION_IS_NOT_SAVED_NAME));

    EXPECT_EQ(Compilation_SetCompilationPath(compilation.get(), "/a/b/project.xml"), 1);
    EXPECT_EQ(compilationName(compilation.get()), "project.xml");
    EXPECT_EQ(stringOption(compilation.get(), COMPILATION_OPTION_PATH), "/a/b/project.xml");
    EXPECT_FALSE(booleanOption(compilation.get(), COMPILATION_OPTION_IS_NOT_SAVED_NAME));

    GObject *other = static_cast<GObject *>(g_object_new(G_TYPE_OBJECT, nullptr));
    EXPECT_EQ(Compilation_SetCompilationPath(other, "/a/b"), 0);
    EXPECT_EQ(Compilation_SetCompilationName(nullptr, "x"), 0);
    g_object_unref(other);
}

// --- Saved and unsaved ------------------------------------------------------------

TEST_F(CompilationTest, AContentChangeMakesTheProjectUnsavedOnceAndOnlyThen)
{
    OwnedCompilation compilation(DataDiscCompilation_NewIsoDataDisc(CD));
    SavedSignals signals(compilation.get());
    ASSERT_EQ(compilation->saved, 1);

    // Settings that stay in the model are not yet a change of the project
    // (those pushed to the file system are: it reports them as changes).
    ASSERT_EQ(Compilation_SetCompilationName(compilation.get(), "Backup"), 1);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(compilation->options, 46, 2), 1);
    EXPECT_EQ(compilation->saved, 1);
    EXPECT_TRUE(signals.events.empty());

    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(compilation->options, COMPILATION_OPTION_MODIFICATION_DATE, 0), 1);
    VfsDirectoryEntry *folder = VFS_CreateDirectory(compilation->fileSystem, "/", "Photos", nullptr);
    ASSERT_NE(folder, nullptr);
    VFS_FreeDirectoryEntry(folder);
    EXPECT_EQ(compilation->saved, 0);
    EXPECT_GT(integerOption(compilation.get(), COMPILATION_OPTION_MODIFICATION_DATE), 0) << "the change is dated";
    folder = VFS_CreateDirectory(compilation->fileSystem, "/", "Music", nullptr);
    VFS_FreeDirectoryEntry(folder);
    EXPECT_EQ(signals.events, (std::vector<std::string>{"unsaved"}));

    EXPECT_EQ(Compilation_SetCompilationSaved(compilation.get()), 1);
    EXPECT_EQ(Compilation_SetCompilationSaved(compilation.get()), 1);
    EXPECT_EQ(Compilation_SetCompilationUnsaved(compilation.get()), 1);
    EXPECT_EQ(Compilation_SetCompilationUnsaved(compilation.get()), 1);
    EXPECT_EQ(signals.events, (std::vector<std::string>{"unsaved", "saved:Backup", "unsaved"}));

    EXPECT_EQ(Compilation_SetCompilationSaved(nullptr), 0);
    EXPECT_EQ(Compilation_SetCompilationUnsaved(nullptr), 0);
}

TEST_F(CompilationTest, NewEditableProjectsStartSavedAndOneBurnKindsDoNot)
{
    OwnedCompilation audio(AudioDiscCompilation_NewAudioDisc());
    OwnedCompilation copy(DiscCopyCompilation_New(CD));
    EXPECT_EQ(audio->saved, 1);
    EXPECT_EQ(copy->saved, 0);
    SavedSignals signals(copy.get());
    EXPECT_EQ(Compilation_SetCompilationSaved(copy.get()), 1);
    EXPECT_EQ(signals.events, (std::vector<std::string>{"saved:CD_Copy_1"}));
}

// --- Destruction ------------------------------------------------------------------

TEST_F(CompilationTest, ReleasedCompilationLetsGoOfItsFileSystems)
{
    OwnedCompilation compilation(DataDiscCompilation_NewIsoDataDisc(CD));
    VirtualFileSystem *disc = compilation->fileSystem;
    VirtualFileSystem *local = compilation->localFileSystem;
    g_object_ref(disc);
    g_object_add_weak_pointer(G_OBJECT(local), reinterpret_cast<gpointer *>(&local));
    compilation.reset();
    EXPECT_EQ(G_OBJECT(disc)->ref_count, 1u) << "only the test holds the disc now";

    // A file system that outlives its compilation no longer reaches it.
    VfsDirectoryEntry *folder = VFS_CreateDirectory(disc, "/", "Later", nullptr);
    EXPECT_NE(folder, nullptr);
    VFS_FreeDirectoryEntry(folder);
    g_object_unref(disc);
    EXPECT_EQ(local, nullptr) << "nothing but the compilation and its disc held the local file system";
}

// --- Kinds that cannot burn or save yet --------------------------------------------

TEST_F(CompilationTest, KindsNotBurnableYetRefuseWithAClearMessage)
{
    DialogScript dialogs;
    dialogs.answer(byRole("compilation-kind-unavailable"), dialogs::response::Ok);
    VornDeviceEntry recorder{};
    OwnedCompilation audio(AudioDiscCompilation_NewAudioDisc());
    OwnedCompilation copy(DiscCopyCompilation_New(DVD));

    EXPECT_EQ(audio->operations.CheckBeforeBurn(audio.get(), &recorder, nullptr), 0);
    EXPECT_EQ(audio->operations.CreateWriteDescription(audio.get()), nullptr);
    EXPECT_EQ(audio->operations.SaveCompilation(audio.get(), "/tmp/a.vrnc", nullptr), 0);
    EXPECT_EQ(copy->operations.CheckBeforeBurn(copy.get(), &recorder, nullptr), 0);
    EXPECT_EQ(copy->operations.SaveCompilation, nullptr) << "a copy is never saved to a file";

    const auto asked = dialogs.asked();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].request.kind, dialogs::DialogKind::Error);
    EXPECT_EQ(asked[0].request.text, "Vorn Linux cannot burn audio CD compilations in this version.");
    EXPECT_EQ(asked[1].request.text, "Vorn Linux cannot save audio CD compilations in this version.");
    EXPECT_EQ(asked[2].request.text, "Vorn Linux cannot burn disc copy compilations in this version.");
}

// --- The common burn flags -----------------------------------------------------------

TEST_F(CompilationTest, CommonBurnFlagsFollowRecorderMediumAndOptions)
{
    VornDeviceEntry recorder{};
    recorder.hostAdapter = 1;
    VornDeviceEntry imageRecorder{};
    imageRecorder.hostAdapter = VORN_IMAGE_RECORDER_HA;

    OwnedCompilation iso(DataDiscCompilation_NewIsoDataDisc(CD));
    auto flags = [&](const VornDeviceEntry &device) { return iso->operations.GetBurnFlags(iso.get(), &device); };
    // Multisession start (open disc), disc-at-once, underrun protection on a drive.
    EXPECT_EQ(flags(recorder), 0xB00u | VORN_BURN_WRITE | VORN_BURN_CLOSE_SESSION | VORN_BURN_DAO |
                                   VORN_BURN_BUF_UNDERRUN_PROT);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(iso->options, COMPILATION_OPTION_SIMULATE, 1), 1);
    ASSERT_EQ(OptionsDatabase_SetBooleanOptionValue(iso->options, COMPILATION_OPTION_VERIFY, 1), 1);
    EXPECT_EQ(flags(imageRecorder), VORN_BURN_WRITE | VORN_BURN_CLOSE_SESSION | VORN_BURN_DAO)
        << "simulation, verify and underrun protection mean nothing to the image recorder";

    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(iso->options, COMPILATION_OPTION_WRITING_METHOD, 0), 1);
    EXPECT_EQ(flags(imageRecorder) & (VORN_BURN_DAO | VORN_BURN_DAO96), 0u) << "track-at-once on CD";
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(iso->options, COMPILATION_OPTION_MEDIUM_TYPE, DVD), 1);
    EXPECT_EQ(flags(imageRecorder) & (VORN_BURN_DAO | VORN_BURN_NO_BOOKTYPE_CHANGE),
              static_cast<guint32>(VORN_BURN_DAO | VORN_BURN_NO_BOOKTYPE_CHANGE))
        << "every medium but CD is written disc-at-once";

    // A copy takes its own writing method.
    OwnedCompilation copy(DiscCopyCompilation_New(CD));
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(copy->options, COMPILATION_OPTION_WRITING_METHOD, 0), 1);
    ASSERT_EQ(OptionsDatabase_SetIntegerOptionValue(copy->options, COMPILATION_OPTION_COPY_WRITING_METHOD, 2), 1);
    EXPECT_EQ(copy->operations.GetBurnFlags(copy.get(), &imageRecorder) & (VORN_BURN_DAO | VORN_BURN_DAO96),
              static_cast<guint32>(VORN_BURN_DAO96));
}

}  // namespace
}  // namespace vorn::test
