// Code pages 1250 (the program's text) and 852 (the OEM text of dBase files),
// with our own 256-entry tables, and the CP1250 case tables.
//
// The five bytes that CP1250 leaves undefined (0x81 0x83 0x88 0x90 0x98)
// map to U+0081 ... U+0098 so that every byte survives CP1250 -> UTF-8 ->
// CP1250 unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/rtl/ansistring.h"

// Unicode scalar of a CP1250 / CP852 byte. Every byte has one.
char32_t Cp1250ToUnicode(unsigned char c);
char32_t Cp852ToUnicode(unsigned char c);

// Byte of a Unicode scalar in CP1250 / CP852, or -1 when the page lacks it.
int UnicodeToCp1250(char32_t u);
int UnicodeToCp852(char32_t u);

// CP1250 text to UTF-8 and back. Characters outside CP1250 and invalid UTF-8
// bytes become "?".
std::string AnsiToUtf8(std::string_view ansi);
AnsiString Utf8ToAnsi(std::string_view utf8);

// The system's ANSI(1250) <-> OEM(852) conversion of n bytes (src may equal
// dst): exact mapping through Unicode; a character missing in the target
// page becomes "?".
void CharToOemBuff(const char* src, char* dst, std::size_t n);
void OemToCharBuff(const char* src, char* dst, std::size_t n);

// CP1250 case mapping per byte: the Unicode simple case mapping when the
// result is one character present in CP1250, else the byte unchanged.
unsigned char AnsiUpperChar(unsigned char c);
unsigned char AnsiLowerChar(unsigned char c);
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
