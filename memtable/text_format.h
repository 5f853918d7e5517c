// Pieces of the in-memory table's comma-separated text format that stand
// on their own: value escapes, the 6-bit text form of binary values and
// the fixed format settings numbers and dates are written with.
#pragma once

#include <string>
#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/format_settings.h"

// Character 0, LF, CR and "%" as "%0", "%n", "%c" and "%%"; a text without
// them is returned as it is.
AnsiString EscapeCsvText(std::string_view text);
// Reverses EscapeCsvText; "%" followed by any other character (or by
// nothing) is kept as it stands.
AnsiString UnescapeCsvText(std::string_view text);
// Three bytes to four characters 32..95, least significant bits first:
// (4n + 2) div 3 characters for n bytes.
std::string Encode6(std::string_view bytes);
// The reverse: 3m div 4 bytes for m characters.
std::string Decode6(std::string_view text);
// The process settings with "/" dates (dd/mm/yyyy), ":" times, "." decimals,
// "," thousands and no currency symbol; every other value kept.
TFormatSettings CsvFormatSettings(const TFormatSettings& base);
