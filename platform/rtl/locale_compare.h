// Locale-aware text comparison under Czech collation ("ch" after "h", "č"
// after "c", accents secondary, case tertiary), for CP1250 texts. One
// collator per process, created on first use; single-threaded like the rest
// of the program.
#pragma once

#include <string_view>

#include "platform/rtl/ansistring.h"

// Case-sensitive comparison; < 0, 0, > 0.
int AnsiCompareStr(std::string_view a, std::string_view b);
// Case-insensitive comparison; < 0, 0, > 0.
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

// 1-based byte position of sub in s, 0 when absent or sub is empty.
int AnsiPos(std::string_view sub, std::string_view s);
