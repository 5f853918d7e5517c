// Locale-aware text comparison under Czech collation ("ch" after "h", "č"
// after "c", accents secondary, case tertiary), for CP1250 texts. One
// collator per process, created on first use; single-threaded like the rest
// of the program.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rtl/ansistring.h"

// Case-sensitive comparison; < 0, 0, > 0.
int AnsiCompareStr(std::string_view a, std::string_view b);
// Case-insensitive comparison; < 0, 0, > 0.
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

// 1-based byte position of sub in s, 0 when absent or sub is empty.
int AnsiPos(std::string_view sub, std::string_view s);

// Comparison under the collation of a locale id (the 32-bit id of the
// system's locale API: language id in the low 16 bits, of which the low 10
// are the primary language, sort id in bits 16-19). Returns 1 (a < b),
// 2 (equal) or 3 (a > b), or 0 when the id names no collation we have: an
// unknown language, a sort id other than 0, or a language whose collation
// ICU lacks (never a silent fallback to another order). The user and system
// default ids (1024, 2048) and Czech use the program's Czech collation, with
// exactly the results of AnsiCompareStr/AnsiCompareText. Texts are CP1250,
// compared in their given lengths. Safe to call from several threads.
int CompareStringByLocale(uint32_t lcid, bool ignoreCase, const char* a, int na, const char* b,
                          int nb);
