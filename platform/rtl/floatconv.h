// Floating point <-> text. Values are first converted to 15 significant
// decimal digits (what a double holds) and then rounded to the requested
// digits with ties away from zero (0.125 with 2 decimals gives "0,13"),
// never printf's ties-to-even. The decimal character is always taken from a
// settings object, so callers that need "." (the dBase files) pass their own.
#pragma once

#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/format_settings.h"

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// General format, 15 significant digits: fixed notation for
// 1e-5 <= |x| < 1e15, else exponent form ("1,5E20", "1E-6").
AnsiString FloatToStr(double value);
AnsiString FloatToStr(double value, const TFormatSettings& settings);

// ffGeneral: precision significant digits, exponent when needed (digits =
// minimum exponent digits); ffExponent: "d,dddE+dd" with precision digits;
// ffFixed: digits decimals, no thousand separators; ffNumber: as ffFixed
// with thousand separators; ffCurrency: currency format of the settings.
AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                       const TFormatSettings& settings);

// Format pictures: "0" digit, "#" optional digit, "," thousand separators
// (anywhere before the decimal point), "." decimal point, "E+"/"E-"
// exponent, quoted literals, other characters copied, up to three ";"
// sections (positive;negative;zero). Enough for "#,##0.00".
AnsiString FormatFloat(std::string_view format, double value);
AnsiString FormatFloat(std::string_view format, double value, const TFormatSettings& settings);

// Optional blanks, sign, digits, decimal separator, digits, exponent,
// blanks; no thousand separators. Overflow or any other rest fails.
// StrToFloat raises EConvertError "'%s' is not a valid floating point value".
bool TryStrToFloat(std::string_view text, double& value);
bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& settings);
double StrToFloat(std::string_view text);
double StrToFloat(std::string_view text, const TFormatSettings& settings);

// A copy of the process settings with "." as decimal separator and no
// thousand separator, for texts that dBase files store.
TFormatSettings DotDecimalSettings();
