// Dates of the engine. A date is a Julian day number (JDN); dBase files
// store it as the text "yyyymmdd", the screen shows it in the short date
// format. The calendar is the proleptic Gregorian one, and only days of the
// years 1 to 9999 are dates: anything else would give texts wider than the
// eight bytes of a date field or a date key, so it is "no date" everywhere.
//
// The conversions between day numbers and year/month/day are integer
// arithmetic here (they run once per key during index builds); the locale
// parts (display form, parsing of other texts, today) go through the
// platform's format settings and calendar.
#include "dbase/base/dates.h"

#include <algorithm>

#include <cmath>

#include "platform/rtl/datetime.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"

namespace {

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int MonthDays(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

int32_t JdnFromCivil(int y, int m, int d) {
  const int a = (14 - m) / 12;
  const int64_t yy = int64_t{y} + 4800 - a;
  const int64_t mm = m + 12 * a - 3;
  return static_cast<int32_t>(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 -
                              32045);
}

// Valid for every day of the years 1 to 9999 (callers check the range).
void CivilFromJdn(int32_t jdn, int& y, int& m, int& d) {
  const int64_t a = int64_t{jdn} + 32044;
  const int64_t b = (4 * a + 3) / 146097;
  const int64_t c = a - 146097 * b / 4;
  const int64_t dd = (4 * c + 3) / 1461;
  const int64_t e = c - 1461 * dd / 4;
  const int64_t mm = (5 * e + 2) / 153;
  d = static_cast<int>(e - (153 * mm + 2) / 5 + 1);
  m = static_cast<int>(mm + 3 - 12 * (mm / 10));
  y = static_cast<int>(100 * b + dd - 4800 + mm / 10);
}

// The short date format upper-cased, its year widened to four letters.
AnsiString DisplayFormat() {
  AnsiString f = UpperCase(FormatSettings().ShortDateFormat);
  std::size_t y = f.find('Y');
  if (y != AnsiString::npos) {
    std::size_t end = f.find_first_not_of('Y', y);
    if (end == AnsiString::npos) end = f.size();
    if (end - y < 4) f.replace(y, end - y, "YYYY");
  }
  return f;
}

TxbDBFDate* g_dbfDate = nullptr;

}  // namespace

int32_t TxbDBFDate::Today() const { return static_cast<int32_t>(Date()) + kOffset; }

void TxbDBFDate::DecodeJulian(int32_t day, int& year, int& month, int& dayOfMonth) const {
  if (!IsDate(day)) {
    year = month = dayOfMonth = 0;
    return;
  }
  CivilFromJdn(day, year, month, dayOfMonth);
}

int TxbDBFDate::DayOfWeekJulian(int32_t day) const {
  // JDN 0 was a Monday, so (day + 1) mod 7 is 0 on Sundays.
  return IsDate(day) ? (day + 1) % 7 + 1 : 0;
}

AnsiString TxbDBFDate::JulianToDbfText(int32_t day) const {
  if (!IsDate(day)) return AnsiString(8, ' ');
  int y, m, d;
  CivilFromJdn(day, y, m, d);
  char text[8];
  int v = y;
  for (int i = 3; i >= 0; --i, v /= 10) text[i] = static_cast<char>('0' + v % 10);
  text[4] = static_cast<char>('0' + m / 10);
  text[5] = static_cast<char>('0' + m % 10);
  text[6] = static_cast<char>('0' + d / 10);
  text[7] = static_cast<char>('0' + d % 10);
  return AnsiString(text, 8);
}

AnsiString TxbDBFDate::JulianToDisplay(int32_t day) const {
  AnsiString format = DisplayFormat();
  if (!IsDate(day)) return AnsiString(format.size(), ' ');
  return FormatDateTime(format, static_cast<TDateTime>(day - kOffset));
}

int32_t TxbDBFDate::TextToJulian(std::string_view text) const {
  std::size_t end = text.find_last_not_of(' ');
  text = end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
  if (text.empty() || text == "00000000") return 0;

  if (text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    auto num = [&](std::size_t at, std::size_t n) {
      int v = 0;
      for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (text[i] - '0');
      return v;
    };
    const int y = num(0, 4), m = num(4, 2), d = num(6, 2);
    // An impossible date reads as the platform's zero date (30.12.1899),
    // which the dataset layer shows as an empty date.
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > MonthDays(y, m)) return kOffset;
    return JdnFromCivil(y, m, d);
  }

  // Whatever else the user typed goes through the short date format; a text
  // it rejects raises EConvertError for the caller to handle.
  return static_cast<int32_t>(std::llround(StrToDate(text))) + kOffset;
}

TxbDBFDate& DbfDate() {
  // Created on demand too, so a caller running before start-up or after
  // shutdown still gets a working instance instead of a null one.
  if (!g_dbfDate) CreateDbfDate();
  return *g_dbfDate;
}

void CreateDbfDate() {
  if (!g_dbfDate) g_dbfDate = new TxbDBFDate();
}

void FreeDbfDate() {
  delete g_dbfDate;
  g_dbfDate = nullptr;
}

int32_t DayFromDouble(double value) {
  // The comparison is false for NaN as well.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
  return static_cast<int32_t>(value);
}

uint8_t HeaderYearByte(int year) {
  if (year < 1900) return 0;
  if (year > 1900 + 255) return 255;
  return static_cast<uint8_t>(year - 1900);
}

int YearFromHeaderByte(uint8_t byte) { return byte < 80 ? 2000 + byte : 1900 + byte; }
