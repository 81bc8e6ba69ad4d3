#include "Compilation.h"

#include "CompilationOptions.h"
#include "Debugger.h"
#include "NameFactory.h"
#include "VornKitDevicesManagement.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace {

enum Signal { BURN_STARTED, BURN_FINISHED, COMPILATION_SAVED, COMPILATION_UNSAVED, SIGNAL_COUNT };
guint signals[SIGNAL_COUNT];

std::atomic<CompilationWidgetFactory> widgetFactory{nullptr};

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

bool isImageRecorder(const VornDeviceEntry *device)
{
    return device->hostAdapter == VORN_IMAGE_RECORDER_HA || (device->capabilities & VORN_CAP_IMAGE_RECORDER);
}

// The flag word of data discs, disc copies and image files. A test burn,
// speed test, verify and underrun protection mean nothing to the image
// recorder. Outside CD every medium is written disc-at-once.
guint32 commonBurnFlags(Compilation *compilation, const VornDeviceEntry *device) noexcept
{
    if (!IS_VORN_COMPILATION(compilation) || !device)
        return 0;
    OptionsDatabase *options = compilation->options;
    auto on = [options](gint32 id) { return OptionsDatabase_GetBooleanOptionValue(options, id) == 1; };
    const bool realRecorder = !isImageRecorder(device);
    const auto medium =
        static_cast<guint32>(OptionsDatabase_GetIntegerOptionValue(options, COMPILATION_OPTION_MEDIUM_TYPE));

    guint32 flags = realRecorder ? VORN_BURN_DETECT_NON_EMPTY_CDRW | VORN_BURN_DISABLE_EJECT | VORN_BURN_SPEED_IN_KBS : 0;
    if (medium == COMPILATION_MEDIUM_DVD) {
        flags |= VORN_BURN_NO_BOOKTYPE_CHANGE;
        if (VornKit_DevicesManagement_GetDVDHighCompatibilityMode(device))
            flags |= VORN_BURN_DVDP_BURN_30MM_AT_LEAST;
    }
    if (realRecorder) {
        if (on(COMPILATION_OPTION_DETERMINE_MAXIMUM_SPEED))
            flags |= VORN_BURN_SPEED_TEST;
        if (on(COMPILATION_OPTION_SIMULATE))
            flags |= VORN_BURN_SIMULATE;
        if (on(COMPILATION_OPTION_BUFFER_UNDERRUN_PROTECTION))
            flags |= VORN_BURN_BUF_UNDERRUN_PROT;
        if (on(COMPILATION_OPTION_VERIFY))
            flags |= VORN_BURN_VERIFY;
    }
    if (on(COMPILATION_OPTION_WRITE))
        flags |= VORN_BURN_WRITE;
    if (!on(COMPILATION_OPTION_FINALIZE))
        flags |= VORN_BURN_CLOSE_SESSION;
    if (medium != COMPILATION_MEDIUM_CD)
        return flags | VORN_BURN_DAO;
    const gint32 methodOption = compilation->type == COMPILATION_TYPE_DISC_COPY ? COMPILATION_OPTION_COPY_WRITING_METHOD
                                                                                 : COMPILATION_OPTION_WRITING_METHOD;
    switch (OptionsDatabase_GetIntegerOptionValue(options, methodOption)) {
    case 1: flags |= VORN_BURN_DAO; break;
    case 2: flags |= VORN_BURN_DAO96; break;
    default: break;  // track-at-once
    }
    return flags;
}

// While the project still has a name the program made up, a change of medium
// renames it (ISO_CD_1 becomes ISO_DVD_1); a name the user chose stays.
void onMediumTypeChanged(VornOption *, gpointer data) noexcept
{
    auto *compilation = static_cast<Compilation *>(data);
    if (OptionsDatabase_GetBooleanOptionValue(compilation->options, COMPILATION_OPTION_IS_NOT_SAVED_NAME) != 1)
        return;
    OwnedText name(NameFactory_GetDummyCompilationName(compilation));
    if (name)
        OptionsDatabase_SetStringOptionValue(compilation->options, COMPILATION_OPTION_NAME, name.get());
}

void seedBurnOptions(OptionsDatabase *options)
{
    // 105-108 from 79-82, 109-115 from 83-89, 116-117 from 90-91.
    for (gint32 offset = 0; offset < 13; ++offset) {
        CompilationOptions_Copy(options, COMPILATION_OPTION_DETERMINE_MAXIMUM_SPEED + offset,
                                CompilationTypesOptionsDatabase, COMPILATION_TYPES_DETERMINE_MAXIMUM_SPEED + offset);
    }
}

}  // namespace

G_DEFINE_TYPE(Compilation, compilation, G_TYPE_OBJECT)

GType Compilation_GetType(void) noexcept
{
    return compilation_get_type();
}

static void compilation_init(Compilation *self)
{
    // GObject zeroes the instance: file systems, widgets, progress, burn
    // thread and every operation start empty, and the project unsaved.
    self->options = CompilationOptions_NewDatabase();
    seedBurnOptions(self->options);
    self->operations.GetBurnFlags = commonBurnFlags;
    self->mediumTypeOption = OptionsDatabase_GetOptionFromID(self->options, COMPILATION_OPTION_MEDIUM_TYPE);
    if (self->mediumTypeOption) {
        self->mediumTypeHandler = g_signal_connect(self->mediumTypeOption, "vorn_value_changed",
                                                   G_CALLBACK(onMediumTypeChanged), self);
    }
}

static void compilation_dispose(GObject *object)
{
    Compilation *self = VORN_COMPILATION(object);
    // The widget follows the compilation's signals: let it go first.
    if (self->compilationWidget) {
        GtkWidget *widget = self->compilationWidget;
        self->compilationWidget = nullptr;
        g_object_unref(widget);
    }
    G_OBJECT_CLASS(compilation_parent_class)->dispose(object);
}

static void compilation_finalize(GObject *object)
{
    Compilation *self = VORN_COMPILATION(object);
    if (self->mediumTypeOption && self->mediumTypeHandler)
        g_signal_handler_disconnect(self->mediumTypeOption, self->mediumTypeHandler);
    self->mediumTypeOption = nullptr;
    OptionsDatabase_Destroy(self->options);
    self->options = nullptr;
    g_clear_object(&self->fileSystem);
    g_clear_object(&self->localFileSystem);
    debugger_DummyOut("Compilation released.\n");
    G_OBJECT_CLASS(compilation_parent_class)->finalize(object);
}

static void compilation_class_init(CompilationClass *klass)
{
    GObjectClass *objectClass = G_OBJECT_CLASS(klass);
    objectClass->dispose = compilation_dispose;
    objectClass->finalize = compilation_finalize;
    const auto flags = static_cast<GSignalFlags>(G_SIGNAL_RUN_FIRST | G_SIGNAL_ACTION);
    signals[BURN_STARTED] = g_signal_new("vorn_burn_started", G_TYPE_FROM_CLASS(klass), flags,
                                         G_STRUCT_OFFSET(CompilationClass, vorn_burn_started), nullptr, nullptr,
                                         g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
    signals[BURN_FINISHED] = g_signal_new("vorn_burn_finished", G_TYPE_FROM_CLASS(klass), flags,
                                          G_STRUCT_OFFSET(CompilationClass, vorn_burn_finished), nullptr, nullptr,
                                          g_cclosure_marshal_VOID__INT, G_TYPE_NONE, 1, G_TYPE_INT);
    signals[COMPILATION_SAVED] = g_signal_new("vorn_compilation_saved", G_TYPE_FROM_CLASS(klass), flags,
                                              G_STRUCT_OFFSET(CompilationClass, vorn_compilation_saved), nullptr,
                                              nullptr, g_cclosure_marshal_VOID__STRING, G_TYPE_NONE, 1, G_TYPE_STRING);
    signals[COMPILATION_UNSAVED] = g_signal_new("vorn_compilation_unsaved", G_TYPE_FROM_CLASS(klass), flags,
                                                G_STRUCT_OFFSET(CompilationClass, vorn_compilation_unsaved), nullptr,
                                                nullptr, g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
}

GtkWidget *Compilation_GetWidget(gpointer compilation) noexcept
{
    if (!IS_VORN_COMPILATION(compilation))
        return nullptr;
    GtkWidget *widget = VORN_COMPILATION(compilation)->compilationWidget;
    // The widget class lives in the user interface; the model knows it only by name.
    const GType widgetType = g_type_from_name("VornCompilationWidget");
    if (!widget || !widgetType || !G_TYPE_CHECK_INSTANCE_TYPE(widget, widgetType))
        return nullptr;
    return widget;
}

gint Compilation_SetCompilationName(gpointer compilation, const gchar *name) noexcept
{
    if (!IS_VORN_COMPILATION(compilation) || !name || !*name)
        return 0;
    OptionsDatabase *options = VORN_COMPILATION(compilation)->options;
    OptionsDatabase_SetStringOptionValue(options, COMPILATION_OPTION_NAME, name);
    OptionsDatabase_SetBooleanOptionValue(options, COMPILATION_OPTION_IS_NOT_SAVED_NAME, 0);
    return 1;
}

gint Compilation_SetCompilationPath(gpointer compilation, const gchar *path) noexcept
{
    if (!IS_VORN_COMPILATION(compilation) || !path || !*path)
        return 0;
    const gchar *slash = std::strrchr(path, '/');
    if (!slash)
        return 0;
    OptionsDatabase *options = VORN_COMPILATION(compilation)->options;
    OptionsDatabase_SetStringOptionValue(options, COMPILATION_OPTION_NAME, slash + 1);
    OptionsDatabase_SetStringOptionValue(options, COMPILATION_OPTION_PATH, path);
    OptionsDatabase_SetBooleanOptionValue(options, COMPILATION_OPTION_IS_NOT_SAVED_NAME, 0);
    return 1;
}

gint Compilation_SetCompilationSaved(gpointer compilation) noexcept
{
    if (!IS_VORN_COMPILATION(compilation))
        return 0;
    Compilation *self = VORN_COMPILATION(compilation);
    if (self->saved)
        return 1;
    self->saved = 1;
    OwnedText name(OptionsDatabase_GetStringOptionValue(self->options, COMPILATION_OPTION_NAME));
    g_signal_emit(self, signals[COMPILATION_SAVED], 0, name.get());
    return 1;
}

gint Compilation_SetCompilationUnsaved(gpointer compilation) noexcept
{
    if (!IS_VORN_COMPILATION(compilation))
        return 0;
    Compilation *self = VORN_COMPILATION(compilation);
    if (!self->saved)
        return 1;
    self->saved = 0;
    g_signal_emit(self, signals[COMPILATION_UNSAVED], 0);
    return 1;
}

CompilationWidgetFactory Compilation_SetWidgetFactory(CompilationWidgetFactory factory) noexcept
{
    return widgetFactory.exchange(factory);
}

gint Compilation_CreateWidget(Compilation *compilation) noexcept
{
    const CompilationWidgetFactory factory = widgetFactory.load();
    if (!IS_VORN_COMPILATION(compilation) || !factory || compilation->compilationWidget)
        return 0;
    GtkWidget *widget = factory(compilation);
    if (!widget)
        return 0;
    // GTK+ widgets start floating: sink that reference; a full one is taken as it is.
    if (g_object_is_floating(widget))
        g_object_ref_sink(widget);
    compilation->compilationWidget = widget;
    return 1;
}
