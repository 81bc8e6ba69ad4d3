// The check itself is not written yet: nothing is examined, nothing is shown.
#include "ProcMounted.h"

void ProcMounted_CheckProcMounted(GtkWidget *) noexcept {}
