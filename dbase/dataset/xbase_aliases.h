// The database aliases of the table engine: a process-wide list that maps
// the names a dataset's DatabaseName may hold to directories. Its first
// line is always "Default Directory" (the program's own directory); the
// lines after it are the name=path entries of section "Alias" of the alias
// file "xbase.cfg" in WindowsDirectory(), read once when the list is first
// used. A missing file adds nothing.
//
// Names compare case-insensitively. Paths are kept as the file writes them
// (Windows form is fine); they are mapped to the disk only when a table is
// opened.
#pragma once

#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/stringlist.h"

// The name that stands for the program's own directory.
inline constexpr const char* kDefaultDirectoryAlias = "Default Directory";

// The list, created and filled on first use.
TStringList& XbaseAliasList();
// Empties the list and reads the alias file again (tests change the
// configured directory).
void ReloadXbaseAliases();
// The path of an alias (case-insensitive), or "" when the list has none.
AnsiString XbaseAliasPath(std::string_view name);
// Adds name=name when no alias of that name exists yet.
void AddXbaseAlias(std::string_view name);
