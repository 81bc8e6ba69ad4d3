// Nothing follows the device list yet: start and stop are all there is.
#include "DevicesManagement.h"

void DevicesManagement_Init() noexcept {}

void DevicesManagement_Done() noexcept {}
