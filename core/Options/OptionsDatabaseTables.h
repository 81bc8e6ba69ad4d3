/*
 * The application's databases, one creator and one name table each.
 *
 * OptionsDatabase_InitDatabases calls the creators in a fixed order. Each
 * creator makes its database with OptionsDatabase_New, stores it in its global
 * pointer and adds its options at their defaults, in ascending id order, named
 * with OptionNames_GetOptionName. A creator and the name table(s) it uses live
 * together in one file under Tables/.
 */
#ifndef VORN_OPTIONS_DATABASE_TABLES_H
#define VORN_OPTIONS_DATABASE_TABLES_H

#include <span>

/* "GlobalSettings" (persistent) into GlobalSettingsOptionsDatabase. */
void GlobalSettingsDatabase_Init() noexcept;
/* "CompilationTypes" (persistent) and CompilationTypesDynamicOptionsDatabase. */
void CompilationTypesDatabase_Init() noexcept;
/* "Paths" (persistent) into PathsOptionsDatabase. */
void PathsDatabase_Init() noexcept;
/* The burn process state (dynamic) into BurnProcessDynamicOptionsDatabase. */
void BurnProcessDatabase_Init() noexcept;
/* The compilation name counters (dynamic) into NameFactoryDynamicOptionsDatabase. */
void NameFactoryDatabase_Init() noexcept;

namespace vorn::options::tables {

using NameTable = std::span<const char *const>;

NameTable globalSettingsNames() noexcept;
NameTable compilationTypesNames() noexcept;
NameTable compilationTypesDynamicNames() noexcept;
NameTable pathsNames() noexcept;
NameTable burnProcessNames() noexcept;
NameTable nameFactoryNames() noexcept;

}  // namespace vorn::options::tables

#endif
