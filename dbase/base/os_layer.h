// The engine's operating-system and locale layer. The rest of the engine
// calls only these for locale-aware text, OEM/ANSI translation, file handle
// services and sleeping (SleepMs and WindowsDirectory come from the
// platform's system layer, whose sleep hook lets retry tests run without a
// clock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/system.h"

// Locale-aware comparison (Czech collation); < 0, 0, > 0.
int CompareStrLocale(std::string_view a, std::string_view b);
int CompareTextLocale(std::string_view a, std::string_view b);
AnsiString UpperLocale(std::string_view s);
AnsiString LowerLocale(std::string_view s);
// 1-based position of sub in s; 0 when absent or sub is empty.
int PosLocale(std::string_view sub, std::string_view s);

// Position (1-based) of a pattern with an optional leading and trailing
// `any` and `one` wildcards in s: an empty pattern gives 0; a pattern that is
// only `any` gives 1; otherwise the outer `any` characters are dropped, a
// pattern longer than s gives 0, and when the pattern did not start with
// `any` every `one` in it matches any character. The expression language's
// SQL-style handlers pass "%" and "_".
int WildcardPos(std::string_view pattern, std::string_view s, char any = '*', char one = '?');

// Translation through the engine's OEM/ANSI tables (src may equal dst).
void AnsiToOemBytes(const char* src, char* dst, std::size_t n);
void OemToAnsiBytes(const char* src, char* dst, std::size_t n);
AnsiString AnsiToOem(std::string_view s);
AnsiString OemToAnsi(std::string_view s);

bool FlushHandle(THandle h);                       // true on success
int TruncateHandle(THandle h, int64_t size);       // 0 on success, -1 on failure
bool LockHandle(THandle h, uint64_t offset, uint64_t length);    // never waits
bool UnlockHandle(THandle h, uint64_t offset, uint64_t length);

// name unchanged when its last path component has an extension, else with
// ext appended (ext includes its dot).
AnsiString DefaultExtension(std::string_view name, std::string_view ext);
// File name without directory and without its extension.
AnsiString BaseName(std::string_view path);
// Pads a zero-terminated buffer with ch up to n characters and terminates
// it (the buffer holds at least n + 1 bytes).
void PadRight(char* buffer, char ch, std::size_t n);
