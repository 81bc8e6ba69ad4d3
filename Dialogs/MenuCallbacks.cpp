#include "MenuCallbacks.h"

#include "Compilation.h"
#include "CompilationOptions.h"
#include "MainWindow.h"

void MenuCallbacks_FileSave(GtkWidget *, GtkWidget *mainWindow)
{
    gpointer active = MainWindow_GetActiveCompilation(mainWindow);
    if (!IS_VORN_COMPILATION(active))
        return;
    Compilation *compilation = VORN_COMPILATION(active);
    if (!compilation->operations.SaveCompilation ||
        OptionsDatabase_GetBooleanOptionValue(compilation->options, COMPILATION_OPTION_IS_NOT_SAVED_NAME) == 1)
        return;
    compilation->operations.SaveCompilation(compilation, nullptr, mainWindow);
}
