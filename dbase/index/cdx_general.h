// The GENERAL collation of compound index tags: a text becomes a key of
// primary weights (letters regardless of case and accent) followed by
// secondary weights (case and accent), so that plain byte comparison of two
// keys gives the collation order. The tables are for the Windows-1252
// character set.
//
// Held form (in memory, compared as raw bytes): primaries, then secondaries
// (all 0xF0-0xFF), trailing 0xF0 secondaries dropped, then trailing 0x20
// primaries dropped (fixed-length comparison pads keys with blanks, so a
// trailing 0x20 is the same as none). Disk form: the trailing run of
// 0xF0-0xFF bytes with its high nibble cleared; reading restores it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rtl/ansistring.h"

extern const uint8_t GeneralPrimaryWeights[256];
extern const uint8_t GeneralSecondaryWeights[256];

// The held GENERAL key of a text (up to four bytes per character).
AnsiString GeneralSortKey(std::string_view text);
// Held form -> disk form and back (both leave other keys unchanged).
AnsiString GeneralToDiskForm(std::string_view held);
AnsiString GeneralFromDiskForm(std::string_view disk);
