// Process-wide format settings: separators, date/time formats, currency and
// the month and day names that text <-> number/date conversion uses.
//
// They start with fixed Czech values, independent of LANG/LC_* and never the
// C library's locale. The object is mutable: tests and the in-memory table's
// text format replace values and restore them afterwards.
#pragma once

#include "platform/rtl/ansistring.h"

struct TFormatSettings {
  char DateSeparator = '.';
  char TimeSeparator = ':';
  char DecimalSeparator = ',';
  char ThousandSeparator = '\xA0';  // no-break space in CP1250; '\0' = none
  char ListSeparator = ';';
  AnsiString ShortDateFormat;       // "dd.MM.yyyy"
  AnsiString LongDateFormat;        // "d. MMMM yyyy"
  AnsiString ShortTimeFormat;       // "H:mm"
  AnsiString LongTimeFormat;        // "H:mm:ss"
  AnsiString TimeAMString;
  AnsiString TimePMString;
  AnsiString CurrencyString;        // "Kč" (CP1250)
  int CurrencyFormat = 3;           // "1 Kč"
  int NegCurrFormat = 8;            // "-1 Kč"
  int CurrencyDecimals = 2;
  int TwoDigitYearCenturyWindow = 50;
  AnsiString ShortMonthNames[12];   // "led" ... "pro"
  AnsiString LongMonthNames[12];    // "leden" ... "prosinec"
  AnsiString ShortDayNames[7];      // "ne" ... "so", Sunday first
  AnsiString LongDayNames[7];       // "neděle" ... "sobota"
};

// The fixed Czech defaults the program starts with.
TFormatSettings CzechFormatSettings();

// The process-wide settings object (initialised to CzechFormatSettings()).
TFormatSettings& FormatSettings();

// Replaces the process-wide settings for the lifetime of the guard and puts
// the previous ones back when it ends, on every exit, exceptions included.
// No change notice is raised either way: code that swaps settings for a
// moment (a file format with fixed separators) must not disturb listeners.
class ScopedFormatSettings {
 public:
  explicit ScopedFormatSettings(const TFormatSettings& replacement) : saved_(FormatSettings()) {
    FormatSettings() = replacement;
  }
  ~ScopedFormatSettings() { FormatSettings() = saved_; }
  ScopedFormatSettings(const ScopedFormatSettings&) = delete;
  ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

 private:
  TFormatSettings saved_;
};
