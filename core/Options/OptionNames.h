/*
 * The English option names of the application's databases. Each database has
 * one table indexed by option id, built into the program; creators name every
 * option from it, so an option's name (its key in the settings file) is always
 * its table entry.
 */
#ifndef VORN_OPTION_NAMES_H
#define VORN_OPTION_NAMES_H

#include "OptionsDatabase.h"

/* The id of the first option named exactly `name` (bytes, case-sensitive), or -1. */
gint32 OptionNames_GetOptionID(OptionsDatabase *database, const gchar *name) noexcept;

/*
 * The table entry for `id` in the table of `database` (chosen by comparing it
 * with the global database pointers). "" for any other database and for an id
 * outside the table. The string is static.
 */
const gchar *OptionNames_GetOptionName(OptionsDatabase *database, gint32 id) noexcept;

#endif
