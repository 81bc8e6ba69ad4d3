// Start-up and shutdown of Vorn Linux: every subsystem comes up here in one
// fixed order, and goes down again when the last main window is finalized.
#include "AudioDriversDatabase.h"
#include "BrowserHandling.h"
#include "Clipboard.h"
#include "Debugger.h"
#include "DevicesManagement.h"
#include "DialogBox/DialogBox.h"
#include "FreeDB.h"
#include "Main/Main.h"
#include "Main/Startup.h"
#include "MainWindow.h"
#include "NewCompilationDialog.h"
#include "OptionsDatabase.h"
#include "PendingSettings.h"
#include "PreviewPlayer.h"
#include "SplashScreen.h"
#include "StartupTestHooks.h"
#include "SystemChecks.h"
#include "Utils.h"
#include "VornAPIInterface.h"
#include "VornKit.h"
#include "VornPaths.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <libintl.h>

#define _(text) gettext(text)

namespace {

// Global settings read at start-up.
constexpr gint32 kSettingStartWithNewCompilation = 0;
constexpr gint32 kSettingMainWindowX = 69;
constexpr gint32 kSettingMainWindowY = 70;
constexpr gint64 kPositionNotSet = -1;

void runPendingEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

// The abort path: the engine and the common burn UI stop, nothing is saved.
int abortStartup()
{
    gdk_threads_leave();
    VornKit_Done();
    VornAPI_StopVornAPI();
    return 1;
}

// A translated message with the application name put in; the translation alone
// when the replacement gives nothing.
gchar *applicationText(const char *message)
{
    const char *translated = _(message);
    gchar *replaced = Utils_ReplaceAppname(translated);
    return replaced ? replaced : g_strdup(translated);
}

gint showStartupMessage(gint (*dialog)(const gchar *, const gchar *, const gchar *, GtkWidget *, gint),
                        const char *heading, const char *text, GtkWidget *parent)
{
    gchar *headingText = applicationText(heading);
    gchar *bodyText = applicationText(text);
    const gint response = dialog(bodyText, headingText, nullptr, parent, 0);
    g_free(bodyText);
    g_free(headingText);
    return response;
}

}  // namespace

void Main_QuitApplication() noexcept
{
    DevicesManagement_Done();
    ConfigFile_StopAutosave();
    ConfigFile_SaveUserConfigFile();
    debugger_DummyOut("Config file saved\n");
    OptionsDatabase_DestroyDatabases();
    debugger_DummyOut("Databases destroyed\n");
    if (IS_VORN_PREVIEW_PLAYER(Main_PreviewPlayer)) {
        PreviewPlayer_StopPlayer(Main_PreviewPlayer);
        g_object_unref(Main_PreviewPlayer);
        Main_PreviewPlayer = nullptr;
    }
    if (IS_VORN_CLIPBOARD(Main_Clipboard)) {
        g_object_unref(Main_Clipboard);
        Main_Clipboard = nullptr;
    }
    FreeDB_Done();
    BrowserHandling_Done();
    gtk_main_quit();
}

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "");
    bindtextdomain(VORN_PACKAGE_NAME, VORN_LOCALE_DIR);
    bind_textdomain_codeset(VORN_PACKAGE_NAME, "UTF-8");
    textdomain(VORN_PACKAGE_NAME);
    debugger_DummyOut("Initializing GTK+...\n");

    // Threads are always initialised by GLib itself; the GDK lock must be set
    // up before GTK+ so that worker threads can take it later.
    gdk_threads_init();
    gdk_threads_enter();
    // Without a display there is nothing to show: say how to get one rather
    // than fail inside GTK+.
    if (!gtk_init_check(&argc, &argv)) {
        gdk_threads_leave();
        std::fprintf(stderr,
                     "vorn: cannot open the X display. Vorn Linux needs an X display;\n"
                     "to run it without one, start it under a virtual X server:\n"
                     "    xvfb-run -a vorn\n");
        return 1;
    }

    OptionsDatabase_InitDatabases();
    AudioDriversDatabase_Init();
    ConfigFile_ParseConfigFiles();
    BrowserHandling_Init();

    GtkWidget *splash = SplashScreen_New();
    SplashScreen_SetStatusText(splash, _("Initializing..."));
    gtk_widget_show_now(splash);
    runPendingEvents();

    debugger_DummyOut("Initializing VornAPI...\n");
    DebuggerChannels_Configure();
    SplashScreen_SetStatusText(splash, _("Scanning system for devices..."));
    vorn::startup::holdSplashForTest();
    const int engineResult = VornAPI_StartVornAPI();

    debugger_DummyOut("Initializing VornKit...\n");
    const guint64 kitFlags = VornKit_Init(VORN_APP_NAME, VORN_PACKAGE_NAME, VORN_IMAGES_DIR);
    debugger_DummyOut("VornAPI init result: %d\n", engineResult);
    if (engineResult == VORN_INIT_ERROR) {
        gtk_widget_destroy(splash);
        VornKit_DialogBox_ModalErrorDialog(_("An unspecified error occured."), nullptr, nullptr, nullptr, 0);
        runPendingEvents();
        return abortStartup();
    }

    DevicesManagement_Init();
    GlobalSettingsDatabase_RegisterVornAPICallbacks();
    Main_Clipboard = Clipboard_New();
    Main_PreviewPlayer = PreviewPlayer_New();

    // From here on, closing the last main window ends the application.
    Main_SetQuitHandler(Main_QuitApplication);
    GtkWidget *mainWindow = MainWindow_New();
    GtkWidget *newCompilationDialog = NewCompilationDialog_NewCompilation(mainWindow);

    const gint64 x = OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, kSettingMainWindowX);
    const gint64 y = OptionsDatabase_GetIntegerOptionValue(GlobalSettingsOptionsDatabase, kSettingMainWindowY);
    if (x != kPositionNotSet && y != kPositionNotSet)
        gtk_window_move(GTK_WINDOW(mainWindow), static_cast<gint>(x), static_cast<gint>(y));

    gtk_widget_destroy(splash);
    gtk_widget_show_now(mainWindow);

    if (gchar *configPath = ConfigFile_GetUserConfigPath()) {
        debugger_DummyOut("VornHistory.log location: %s\n", configPath);
        VornSetOption(VORN_OPTION_HISTORY_LOG_DIR, configPath);
        g_free(configPath);
    }

    if (kitFlags & (VORNKIT_INIT_WINDOW_ICONS_MISSING | VORNKIT_INIT_IMAGES_MISSING))
        showStartupMessage(VornKit_DialogBox_ModalWarningDialog, "Some icons cannot be found.",
                           "Please check your <APPNAME> installation.", mainWindow);
    if (kitFlags & VORNKIT_INIT_HOTPLUG_FAILED)
        showStartupMessage(VornKit_DialogBox_ModalWarningDialog, "<APPNAME> failed to start hotplug watchdog.",
                           "No hotplug will be available. If you add or remove a device from the system, you "
                           "will have to restart <APPNAME> for you changes to take effect.",
                           mainWindow);
    if (kitFlags & VORNKIT_INIT_DEVICES_FAILED) {
        showStartupMessage(VornKit_DialogBox_ModalErrorDialog,
                           "<APPNAME> failed to initialize devices management subsystem.",
                           "No devices will be available. <APPNAME> will now exit.", mainWindow);
        return abortStartup();
    }

    SystemChecks_CheckSystemConfiguration(mainWindow);
    FreeDB_Init();

    if (OptionsDatabase_GetBooleanOptionValue(GlobalSettingsOptionsDatabase, kSettingStartWithNewCompilation))
        gtk_widget_show(newCompilationDialog);
    else
        gtk_widget_destroy(newCompilationDialog);

    vorn::startup::armMainWindowCloserForTest();
    gtk_main();

    gdk_threads_leave();
    VornKit_Done();
    VornAPI_StopVornAPI();
    return 0;
}
