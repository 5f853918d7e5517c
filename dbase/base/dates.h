// Dates of the engine: Julian day numbers, dBase date texts "yyyymmdd" and
// the display form of the short date format. A day of 0 or less, or outside
// 1.1.0001 ... 31.12.9999, is "no date".
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rtl/ansistring.h"

class TxbDBFDate {
 public:
  // Julian day number = platform day number (days since 30.12.1899) + offset.
  static constexpr int32_t kOffset = 2415019;
  static constexpr int32_t kFirstDay = 1721426;  // 1.1.0001
  static constexpr int32_t kLastDay = 5373484;   // 31.12.9999

  static bool IsDate(int32_t day) { return day >= kFirstDay && day <= kLastDay; }

  int32_t Today() const;
  // Year, month and day; all 0 for no date.
  void DecodeJulian(int32_t day, int& year, int& month, int& dayOfMonth) const;
  // 1 = Sunday ... 7 = Saturday; 0 for no date.
  int DayOfWeekJulian(int32_t day) const;
  // "yyyymmdd"; eight blanks for no date.
  AnsiString JulianToDbfText(int32_t day) const;
  // The short date format upper-cased with its year widened to "YYYY"
  // ("DD.MM.YYYY"); no date gives as many blanks as that format has
  // characters.
  AnsiString JulianToDisplay(int32_t day) const;
  // Trailing blanks removed; "" and "00000000" give 0; 8 digits are
  // yyyymmdd (an invalid combination gives 2415019, the platform's zero
  // date); anything else goes through the short date format and may raise
  // EConvertError.
  int32_t TextToJulian(std::string_view text) const;

  bool FourDigitCentury() const { return true; }
};

// The process-wide instance, created by the engine start-up.
TxbDBFDate& DbfDate();
void CreateDbfDate();
void FreeDbfDate();

// A double taken as a day number: truncated towards zero; NaN or a value
// outside the 32-bit range gives 0 (no date). Casting such a double to an
// integer would be undefined.
int32_t DayFromDouble(double value);

// The year byte of a dBase header's date of last update (tables, production
// indexes): years since 1900, as every dBase-family program reads it (2026
// is 126). Years outside 1900..2155 are clamped to what the byte can hold.
uint8_t HeaderYearByte(int year);
// The year such a byte stands for. Older writers stored the year modulo
// 100, so bytes below 80 are taken as 2000 and later, like other readers do.
int YearFromHeaderByte(uint8_t byte);
