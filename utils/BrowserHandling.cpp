// No browser is looked for yet.
#include "BrowserHandling.h"

void BrowserHandling_Init() noexcept {}

void BrowserHandling_Done() noexcept {}
