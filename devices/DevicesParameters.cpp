// The checks themselves are not written yet: nothing is examined, nothing is shown.
#include "DevicesParameters.h"

void DevicesParameters_CheckDevicesParameters(GtkWidget *) noexcept {}
