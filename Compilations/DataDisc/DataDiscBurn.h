/*
 * What the data disc compilation contributes to a burn: the checks before
 * it, the engine's write description, and the update of its multisession
 * state afterwards.
 */
#ifndef VORN_DATA_DISC_BURN_H
#define VORN_DATA_DISC_BURN_H

#include "Compilation.h"

G_BEGIN_DECLS

/* Fills CheckBeforeBurn, CreateWriteDescription, FreeWriteDescription and
 * AfterBurn of a data disc compilation's operations. */
void DataDiscBurn_InstallOperations(Compilation *compilation) noexcept;

/*
 * The path test: paths too deep and paths too long for plain ISO 9660 were
 * found. The runner shows them over `parent` and returns 1 when the user
 * wants to burn anyway (the compilation then allows both), 0 to stop. Either
 * list may be NULL. Without a runner the lists are put to the user in a
 * question box. Installing NULL removes the runner; returns the one before.
 */
typedef gint (*DataDiscPathTestRunner)(Compilation *compilation, gpointer parent, GList *tooDeep,
                                       GList *tooLong) noexcept;
DataDiscPathTestRunner DataDiscBurn_SetPathTestRunner(DataDiscPathTestRunner runner) noexcept;

G_END_DECLS

#endif
