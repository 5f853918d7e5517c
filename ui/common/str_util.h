// Small string and integer helpers of the components. Texts are CP1250
// bytes: one byte is one character.
#pragma once

#include <string_view>

#include "platform/rtl/ansistring.h"

// True when every character of text is one of chars (an empty text is
// empty).
bool IsEmptyStr(std::string_view text, std::string_view chars = " ");
// Every occurrence of search replaced, left to right, the replacement never
// scanned again; an empty search returns the text unchanged.
AnsiString ReplaceStr(std::string_view text, std::string_view search, std::string_view replacement);
// count copies of c; empty for a count of 0 or less.
AnsiString MakeStr(char c, int count);
int Max(int a, int b);
int Min(int a, int b);
