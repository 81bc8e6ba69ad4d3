/*
 * The compilation ("VornCompilation"): one disc project, the base class of the
 * data disc, audio, mixed-mode, disc copy and image file compilations.
 *
 * A compilation owns its options database (every setting of the project, from
 * its name to the write speed), the file systems holding its contents, and the
 * widget that shows it. The burn process, the file writer and the main window
 * work on any compilation through its operations table, never through its
 * class.
 *
 * The model never includes GTK+: the widget is made by a factory that the user
 * interface installs at start-up (Compilation_SetWidgetFactory). A program
 * without a display installs none, and its compilations simply have no widget.
 *
 * Signals (run-first, action), all emitted on the thread that made the change:
 *   "vorn_burn_started"         ()          a burn thread is about to start
 *   "vorn_burn_finished"        (int)       the burn is over or failed to start
 *   "vorn_compilation_saved"    (string)    unsaved -> saved; the compilation name
 *   "vorn_compilation_unsaved"  ()          saved -> unsaved
 */
#ifndef VORN_COMPILATION_H
#define VORN_COMPILATION_H

#include "OptionsDatabase.h"
#include "VirtualFileSystem.h"
#include "VornAPI.h"

#include <glib-object.h>

G_BEGIN_DECLS

typedef struct _GtkWidget GtkWidget;
typedef struct Compilation Compilation;

/* The compilation types. */
enum {
    COMPILATION_TYPE_ISO = 1,
    COMPILATION_TYPE_UDF = 2,
    COMPILATION_TYPE_UDF_ISO_BRIDGE = 3,
    COMPILATION_TYPE_BOOTABLE = 4,
    COMPILATION_TYPE_AUDIO = 5,
    COMPILATION_TYPE_MIXED_MODE = 6,
    COMPILATION_TYPE_ENHANCED = 7,
    COMPILATION_TYPE_VIDEO_CD = 8,       /* no class creates it */
    COMPILATION_TYPE_SUPER_VIDEO_CD = 9, /* no class creates it */
    COMPILATION_TYPE_DVD_VIDEO = 10,     /* miniDVD on CD */
    COMPILATION_TYPE_IMAGE_FILE = 11,
    COMPILATION_TYPE_DISC_COPY = 12,
};

/* Medium families as the engine's medium bit sets. */
#define COMPILATION_MEDIUM_CD 0x1u
#define COMPILATION_MEDIUM_DVD 0xC001Cu
#define COMPILATION_MEDIUM_HD_DVD 0xF000000u
#define COMPILATION_MEDIUM_BD 0x30600000u
#define COMPILATION_MEDIUM_CD_DVD 0xC001Du
#define COMPILATION_MEDIUM_ALL 0x3F6C001Du

/*
 * The per-instance operations. Every slot may be empty; each is called on the
 * main thread by the module named, and none may let an exception out.
 *   SetupBurnWidget         burn process: name, type text and size on the burn widget
 *   CreateWriteDescription  burn process: the engine write description, or NULL;
 *                           a compilation without this slot cannot be burned
 *   FreeWriteDescription    burn process: frees what CreateWriteDescription made
 *   GetBurnFormat           burn process: the format argument of the burn
 *   GetBurnFlags            burn process: the engine flag word for `device`
 *   CheckBeforeBurn         burn process: 1 to go on, 0 to stop (it tells the user why)
 *   AfterBurn               burn process, when the burn is over: the engine's result
 *   SaveCompilation         main window: save to `fileName` (NULL: the current path); 1 on success
 *   RefreshCompilation      main window: refresh the files from their sources
 * `parent` is the window dialogs are placed over (a GtkWindow, or NULL).
 */
typedef struct CompilationOperations {
    void (*SetupBurnWidget)(Compilation *compilation) noexcept;
    gpointer (*CreateWriteDescription)(Compilation *compilation) noexcept;
    void (*FreeWriteDescription)(gpointer description) noexcept;
    guint32 (*GetBurnFormat)(Compilation *compilation) noexcept;
    guint32 (*GetBurnFlags)(Compilation *compilation, const VornDeviceEntry *device) noexcept;
    gint (*CheckBeforeBurn)(Compilation *compilation, const VornDeviceEntry *device, gpointer parent) noexcept;
    void (*AfterBurn)(Compilation *compilation, gint32 burnResult) noexcept;
    gint (*SaveCompilation)(Compilation *compilation, const gchar *fileName, gpointer parent) noexcept;
    void (*RefreshCompilation)(Compilation *compilation, gpointer parent) noexcept;
} CompilationOperations;

struct Compilation {
    GObject parent;
    VirtualFileSystem *fileSystem;       /* owned; NULL for disc copies and image files */
    VirtualFileSystem *localFileSystem;  /* owned; the local disk for data, audio and mixed mode */
    GtkWidget *compilationWidget;        /* owned (sunk) reference, or NULL with no factory */
    GtkWidget *burnProcessWidget;        /* only while a burn runs */
    gpointer progressObject;             /* the burn's progress object, only while a burn runs */
    OptionsDatabase *options;            /* owned, nameless, the 118 compilation options */
    gint32 type;                         /* COMPILATION_TYPE_* */
    GThread *burnThread;                 /* only while a burn runs */
    CompilationOperations operations;
    gint32 singleSession;                /* 1 when written without multisession */
    gint32 saved;                        /* 1 when there is no unsaved change */
    VornOption *mediumTypeOption;        /* option 7, borrowed from `options` */
    gulong mediumTypeHandler;
};

typedef struct CompilationClass {
    GObjectClass parent_class;
    void (*vorn_burn_started)(Compilation *compilation);
    void (*vorn_burn_finished)(Compilation *compilation, gint result);
    void (*vorn_compilation_saved)(Compilation *compilation, const gchar *name);
    void (*vorn_compilation_unsaved)(Compilation *compilation);
} CompilationClass;

GType Compilation_GetType(void) noexcept;

#define VORN_TYPE_COMPILATION (Compilation_GetType())
#define VORN_COMPILATION(object) (G_TYPE_CHECK_INSTANCE_CAST((object), VORN_TYPE_COMPILATION, Compilation))
#define IS_VORN_COMPILATION(object) (G_TYPE_CHECK_INSTANCE_TYPE((object), VORN_TYPE_COMPILATION))

/* The compilation widget, or NULL when `compilation` is not a compilation or
 * its widget is not a "VornCompilationWidget". Borrowed. */
GtkWidget *Compilation_GetWidget(gpointer compilation) noexcept;

/* Option 0 = `name`, option 2 ("Is not saved name") = false. 0 for a
 * non-compilation or a NULL or empty name. */
gint Compilation_SetCompilationName(gpointer compilation, const gchar *name) noexcept;

/* Option 0 = the part after the last "/", option 1 = `path`, option 2 = false.
 * 0, changing nothing, for a non-compilation, a NULL or empty path, or a path
 * without "/". */
gint Compilation_SetCompilationPath(gpointer compilation, const gchar *path) noexcept;

/* Marks the project saved; emits "vorn_compilation_saved" only when it was
 * unsaved. 0 for a non-compilation, else 1. */
gint Compilation_SetCompilationSaved(gpointer compilation) noexcept;

/* Marks the project unsaved; emits "vorn_compilation_unsaved" only when it
 * was saved. 0 for a non-compilation, else 1. */
gint Compilation_SetCompilationUnsaved(gpointer compilation) noexcept;

/*
 * The widget hook. The factory builds the compilation widget of a new data,
 * audio or mixed-mode compilation and returns it (a floating or full
 * reference; the compilation sinks it and keeps one reference). It runs on the
 * main thread inside the constructor, after the subclass has set its type,
 * file systems and media. Installing NULL removes the factory. Returns the
 * factory installed before.
 */
typedef GtkWidget *(*CompilationWidgetFactory)(Compilation *compilation) noexcept;
CompilationWidgetFactory Compilation_SetWidgetFactory(CompilationWidgetFactory factory) noexcept;

/* For subclass constructors: makes the widget through the installed factory.
 * 1 when a widget was made, 0 when no factory is installed or it made none. */
gint Compilation_CreateWidget(Compilation *compilation) noexcept;

G_END_DECLS

#endif
