/*
 * Options databases and their registry.
 *
 * A database holds options in insertion order, one reference on each, and
 * finds them by id. Named databases are persistent: they are written to the
 * settings file and found again by name when it is read. Nameless databases
 * are dynamic and never written. The process keeps two registry lists, the
 * persistent and the dynamic databases, each in creation order.
 *
 * Nothing here takes a lock: databases are created, read and destroyed on the
 * main thread, and an option's signal handlers run inside the set that fired
 * them.
 */
#ifndef VORN_OPTIONS_DATABASE_H
#define VORN_OPTIONS_DATABASE_H

#include "BooleanOption.h"
#include "IntegerOption.h"
#include "Option.h"
#include "PointerOption.h"
#include "ScsiDeviceOption.h"
#include "StringOption.h"

#include <cstdio>

struct OptionsDatabase;

/* The databases of the application, set by their creators (OptionsDatabaseTables.h). */
extern OptionsDatabase *GlobalSettingsOptionsDatabase;
extern OptionsDatabase *CompilationTypesOptionsDatabase;
extern OptionsDatabase *PathsOptionsDatabase;
extern OptionsDatabase *CompilationTypesDynamicOptionsDatabase;
extern OptionsDatabase *BurnProcessDynamicOptionsDatabase;
extern OptionsDatabase *NameFactoryDynamicOptionsDatabase;

/*
 * A new empty database, appended to the persistent registry list when
 * `persistent` is 1 and to the dynamic list otherwise. NULL when `persistent`
 * is 1 and `name` is NULL. The name is copied.
 */
OptionsDatabase *OptionsDatabase_New(const gchar *name, gint persistent) noexcept;

/*
 * Drops the database's reference on each option, removes the database from its
 * registry list, clears any of the global database pointers that named it, and
 * frees it. NULL is ignored.
 */
void OptionsDatabase_Destroy(OptionsDatabase *database) noexcept;

/* The database's name (borrowed), NULL for a dynamic database. */
const gchar *OptionsDatabase_GetName(const OptionsDatabase *database) noexcept;

/*
 * Appends `option`, taking over the caller's reference. Returns 1; or 0, adding
 * nothing and dropping that reference all the same, when `option` is NULL or
 * not an option, or its id is already in the database.
 */
gint OptionsDatabase_AddOption(OptionsDatabase *database, VornOption *option) noexcept;

/* The first option with `id` in insertion order (borrowed), or NULL. */
VornOption *OptionsDatabase_GetOptionFromID(OptionsDatabase *database, gint32 id) noexcept;

/* "GlobalSettings", "CompilationTypes" and "Paths" give their databases; any other name NULL. */
OptionsDatabase *OptionsDatabase_GetFromName(const gchar *name) noexcept;

/*
 * Typed access by database and id. Set: the class's set operation when the
 * option exists and is of the family's class (its result), else 0. Get: the
 * class's value, or the miss value (false, -1, NULL, NULL, NULL) when the
 * option is missing or of another class. Copy: both options must exist and be
 * of the family's class (else 0); the source value goes through the
 * destination's set operation, so its rules and signal apply.
 */
gint OptionsDatabase_SetBooleanOptionValue(OptionsDatabase *database, gint32 id, gint32 value) noexcept;
gint32 OptionsDatabase_GetBooleanOptionValue(OptionsDatabase *database, gint32 id) noexcept;
gint OptionsDatabase_CopyBooleanOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                            OptionsDatabase *source, gint32 sourceId) noexcept;

gint OptionsDatabase_SetIntegerOptionValue(OptionsDatabase *database, gint32 id, gint64 value) noexcept;
gint64 OptionsDatabase_GetIntegerOptionValue(OptionsDatabase *database, gint32 id) noexcept;
gint OptionsDatabase_CopyIntegerOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                            OptionsDatabase *source, gint32 sourceId) noexcept;

gint OptionsDatabase_SetStringOptionValue(OptionsDatabase *database, gint32 id, const gchar *value) noexcept;
/* A new copy (g_free), or NULL. */
gchar *OptionsDatabase_GetStringOptionValue(OptionsDatabase *database, gint32 id) noexcept;
/* Also 0 when the source value is NULL. */
gint OptionsDatabase_CopyStringOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                           OptionsDatabase *source, gint32 sourceId) noexcept;

gint OptionsDatabase_SetPointerOptionValue(OptionsDatabase *database, gint32 id, gpointer value) noexcept;
gpointer OptionsDatabase_GetPointerOptionValue(OptionsDatabase *database, gint32 id) noexcept;
gint OptionsDatabase_CopyPointerOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                            OptionsDatabase *source, gint32 sourceId) noexcept;

gint OptionsDatabase_SetScsiDeviceOptionValue(OptionsDatabase *database, gint32 id,
                                              const VornDeviceEntry *device) noexcept;
/* The entry held inside the option (borrowed), or NULL. */
const VornDeviceEntry *OptionsDatabase_GetScsiDeviceOptionValue(OptionsDatabase *database, gint32 id) noexcept;
gint OptionsDatabase_CopyScsiDeviceOptionValue(OptionsDatabase *destination, gint32 destinationId,
                                               OptionsDatabase *source, gint32 sourceId) noexcept;

/*
 * Empties both registry lists (destroying what they held) and creates the
 * application's databases with their options at their defaults, in this
 * order: the global settings, the compilation types (persistent and dynamic),
 * the paths, the burn process and the name counters.
 */
void OptionsDatabase_InitDatabases() noexcept;

/* Destroys every persistent and then every dynamic database; both lists end empty. */
void OptionsDatabase_DestroyDatabases() noexcept;

/*
 * Writes every persistent database in creation order:
 *   <indent>"<OptionsDB name='NAME'>"
 *   each option in insertion order at indent + 2 (Option_SerializeOptionToXML)
 *   <indent>"</OptionsDB>"
 * Dynamic databases are never written. The caller checks the stream for errors.
 */
void OptionsDatabase_SerializeDatabasesToXML(FILE *stream, int indent) noexcept;

/*
 * Applies one parsed "Option" element, given as the NULL-terminated attribute
 * name and value arrays of GMarkup, to `database`. Attributes are matched by
 * position in the order the writer uses: name, type, then the type's own
 * attributes. An element out of that order, naming an unknown option, of a
 * type that does not match the option, or with a value that does not parse
 * changes nothing. Returns 1 when the element was applied, 0 otherwise.
 */
gint OptionsDatabase_SetOptionValueFromXML(OptionsDatabase *database, const gchar **attributeNames,
                                           const gchar **attributeValues) noexcept;

#endif
