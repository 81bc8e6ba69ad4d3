#include "SystemChecks.h"

#include "DevicesParameters.h"
#include "ProcMounted.h"

void SystemChecks_CheckSystemConfiguration(GtkWidget *window) noexcept
{
    ProcMounted_CheckProcMounted(window);
    DevicesParameters_CheckDevicesParameters(window);
}
