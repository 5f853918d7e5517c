// The calendar behind TDateTime: whole days since 30.12.1899 plus the time
// of day as a fraction, proleptic Gregorian, years 1-9999.
//
// A negative value keeps its time of day as a positive fraction (-1.25 is
// 29.12.1899 6:00), so the date is the value truncated towards zero and the
// time is the absolute fraction. Values are first rounded to whole
// milliseconds, so 0.99999999999 is the next midnight, not 23:59:59.1000.
// Values that are not a date (NaN, infinities, far outside 1-9999) decode
// to zeros instead of running into undefined conversions.
#include "platform/rtl/datetime.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <optional>

#include "platform/rtl/sysutils.h"

namespace {

namespace chr = std::chrono;

constexpr int64_t kMsPerDay = 86400000;
constexpr double kMinDateTime = -693593.0;         // 1.1.0001
constexpr double kMaxDateTime = 2958466.0;         // 1.1.10000
constexpr chr::sys_days kEpoch = chr::sys_days(chr::year(1899) / 12 / 30);

// Days since the epoch and milliseconds of the day, or false for a value
// that is not a date.
bool Split(TDateTime value, int64_t& days, int64_t& ms) {
  if (!std::isfinite(value) || value < kMinDateTime - 1 || value > kMaxDateTime + 1) return false;
  int64_t total = std::llround(value * static_cast<double>(kMsPerDay));
  days = total / kMsPerDay;  // truncates towards zero
  ms = total % kMsPerDay;
  if (ms < 0) ms = -ms;
  return true;
}

bool ValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

int64_t DaysFromCivil(int year, int month, int day) {
  chr::sys_days d{chr::year(year) / month / day};
  return (d - kEpoch).count();
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  chr::year_month_day ymd{kEpoch + chr::days(days)};
  year = static_cast<int>(ymd.year());
  month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  day = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

struct LocalParts {
  int year, month, day, hour, minute, second, msec;
};

std::optional<TDateTime> gPinnedClock;

LocalParts LocalNow() {
  if (gPinnedClock) {
    LocalParts p{};
    DecodeDate(*gPinnedClock, p.year, p.month, p.day);
    DecodeTime(*gPinnedClock, p.hour, p.minute, p.second, p.msec);
    return p;
  }
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return LocalParts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, std::min(local.tm_sec, 59), static_cast<int>(ts.tv_nsec / 1000000)};
}

int CurrentYear() { return LocalNow().year; }

// ---- FormatDateTime ----

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// The text being put together: a buffer on the stack that spills into a
// string only for long pictures (a grid formats a date per cell, and a string
// append per letter cost more than the rest of the formatting).
class FormatSink {
 public:
  void Put(char c) {
    if (size_ == sizeof buffer_) Spill();
    buffer_[size_++] = c;
  }
  void Put(std::string_view text) {
    if (text.size() > sizeof buffer_ - size_) {
      Spill();
      if (text.size() > sizeof buffer_) {
        spilled_.append(text);
        return;
      }
    }
    std::memcpy(buffer_ + size_, text.data(), text.size());
    size_ += text.size();
  }
  // Locale-free digits, at least minDigits (at most 4) of them.
  void Number(int value, int minDigits) {
    if (sizeof buffer_ - size_ < 16) Spill();
    char* at = buffer_ + size_;
    if (value >= 0 && value < 100 && minDigits <= 2) {
      // Days, months, hours, minutes and seconds: most of what a date holds.
      if (value >= 10 || minDigits == 2) *at++ = static_cast<char>('0' + value / 10);
      *at++ = static_cast<char>('0' + value % 10);
      size_ = static_cast<std::size_t>(at - buffer_);
      return;
    }
    std::size_t n = static_cast<std::size_t>(std::to_chars(at, at + 16, value).ptr - at);
    if (n < static_cast<std::size_t>(minDigits)) {
      const std::size_t pad = static_cast<std::size_t>(minDigits) - n;
      for (std::size_t k = n; k-- > 0;) at[k + pad] = at[k];
      for (std::size_t k = 0; k < pad; ++k) at[k] = '0';
      n += pad;
    }
    size_ += n;
  }
  AnsiString Take() {
    if (spilled_.empty()) return AnsiString(buffer_, size_);
    Spill();
    return std::move(spilled_);
  }

 private:
  void Spill() {
    spilled_.append(buffer_, size_);
    size_ = 0;
  }
  char buffer_[120];
  std::size_t size_ = 0;
  AnsiString spilled_;
};

// "ampm" anywhere outside literals puts the hours on the 12-hour clock.
bool TwelveHourClock(std::string_view format) {
  for (std::size_t k = 0; k < format.size(); ++k) {
    if (format[k] == '"' || format[k] == '\'') {
      std::size_t end = format.find(format[k], k + 1);
      if (end == std::string_view::npos) return false;
      k = end;
      continue;
    }
    if (k + 4 <= format.size() && Upper(format[k]) == 'A' && Upper(format[k + 1]) == 'M' &&
        Upper(format[k + 2]) == 'P' && Upper(format[k + 3]) == 'M')
      return true;
  }
  return false;
}

struct Parts {
  bool valid;
  int year, month, day, hour, minute, second, msec, dayOfWeek;
  bool hasTime;
};

Parts Decompose(TDateTime value) {
  Parts p{};
  int64_t days, ms;
  if (!Split(value, days, ms)) return p;
  p.valid = true;
  CivilFromDays(days, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.msec = static_cast<int>(ms % 1000);
  p.dayOfWeek = static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
  p.hasTime = ms != 0;
  return p;
}

// Appends the text of format for p. level guards the one nesting level of
// "c" (a format that refers to itself must not recurse forever).
void AppendFormat(FormatSink& out, std::string_view format, const Parts& p,
                  const TFormatSettings& s, int level) {
  char lastToken = ' ';
  std::size_t i = 0;
  // Only pictures with hours need to know; most are dates.
  int twelveHour = -1;
  auto count = [&](char token) {
    std::size_t n = 1;
    while (i + n < format.size() && Upper(format[i + n]) == token) ++n;
    return n;
  };
  while (i < format.size()) {
    char c = format[i];
    char token = Upper(c);
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastToken == 'H') token = 'N';
      lastToken = token;
    }
    switch (token) {
      case 'Y': {
        std::size_t n = count('Y');
        if (n <= 2) {
          out.Number(p.year % 100, 2);
        } else {
          out.Number(p.year, 4);
        }
        i += n;
        break;
      }
      case 'M': {
        std::size_t n = count('M');
        if (n <= 2) {
          out.Number(p.month, static_cast<int>(n));
        } else if (p.month >= 1) {
          out.Put((n == 3 ? s.ShortMonthNames : s.LongMonthNames)[p.month - 1]);
        }
        i += n;
        break;
      }
      case 'D': {
        std::size_t n = count('D');
        if (n <= 2) {
          out.Number(p.day, static_cast<int>(n));
        } else if (n >= 5) {
          // "ddddd" the short date, "dddddd" the long one.
          if (level < 1) AppendFormat(out, n == 5 ? s.ShortDateFormat : s.LongDateFormat, p, s, level + 1);
        } else if (p.dayOfWeek >= 1) {
          out.Put((n == 3 ? s.ShortDayNames : s.LongDayNames)[p.dayOfWeek - 1]);
        }
        i += n;
        break;
      }
      case 'T': {
        std::size_t n = count('T');
        if (level < 1) AppendFormat(out, n == 1 ? s.ShortTimeFormat : s.LongTimeFormat, p, s, level + 1);
        i += n;
        break;
      }
      case 'A': {
        if (i + 4 <= format.size() && Upper(format[i + 1]) == 'M' && Upper(format[i + 2]) == 'P' &&
            Upper(format[i + 3]) == 'M') {
          out.Put(p.hour < 12 ? s.TimeAMString : s.TimePMString);
          i += 4;
        } else {
          out.Put(c);
          ++i;
        }
        break;
      }
      case 'H':
      case 'N':
      case 'S': {
        // "m" taken for minutes is counted by its own letters.
        std::size_t n = count(Upper(c));
        int value = token == 'H' ? p.hour : token == 'N' ? p.minute : p.second;
        if (token == 'H' && twelveHour < 0) twelveHour = TwelveHourClock(format) ? 1 : 0;
        if (token == 'H' && twelveHour == 1) value = p.hour % 12 == 0 ? 12 : p.hour % 12;
        out.Number(value, n >= 2 ? 2 : 1);
        i += n;
        break;
      }
      case 'Z': {
        std::size_t n = count('Z');
        out.Number(p.msec, n >= 3 ? 3 : 1);
        i += n;
        break;
      }
      case 'C': {
        i += count('C');
        if (level < 1) {
          AppendFormat(out, s.ShortDateFormat, p, s, level + 1);
          if (p.hasTime) {
            out.Put(' ');
            AppendFormat(out, s.LongTimeFormat, p, s, level + 1);
          }
        }
        break;
      }
      case '/':
        out.Put(s.DateSeparator);
        ++i;
        break;
      case ':':
        out.Put(s.TimeSeparator);
        ++i;
        break;
      case '"':
      case '\'': {
        std::size_t end = format.find(c, i + 1);
        if (end == std::string_view::npos) end = format.size();
        out.Put(format.substr(i + 1, end - i - 1));
        i = end + 1;
        break;
      }
      default:
        out.Put(c);
        ++i;
        break;
    }
  }
}

// ---- StrToDate / StrToTime ----

struct Scanner {
  std::string_view text;
  std::size_t pos = 0;

  void SkipBlanks() {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  // Up to four digits after optional blanks; digits receives their count.
  bool Number(int& value, int& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
      value = value * 10 + (text[pos] - '0');
      ++pos;
      ++digits;
    }
    return digits > 0;
  }
  bool Char(char c) {
    SkipBlanks();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos == text.size();
  }
};

enum class DateOrder { DMY, MDY, YMD };

DateOrder OrderOf(std::string_view shortDateFormat) {
  for (char c : shortDateFormat) {
    switch (Upper(c)) {
      case 'D': return DateOrder::DMY;
      case 'M': return DateOrder::MDY;
      case 'Y': return DateOrder::YMD;
      default: break;
    }
  }
  return DateOrder::DMY;
}

// A year typed with one or two digits lies in the window of 100 years that
// starts `window` years before the current year.
int ExpandYear(int year, const TFormatSettings& s) {
  int current = CurrentYear();
  int window = s.TwoDigitYearCenturyWindow;
  if (window <= 0) return year + current / 100 * 100;
  int base = current - window;
  year += base / 100 * 100;
  if (year < base) year += 100;
  return year;
}

bool ScanDate(std::string_view text, TDateTime& date, const TFormatSettings& s) {
  Scanner sc{text};
  int n1, n2, n3, l1, l2, l3;
  if (!sc.Number(n1, l1) || !sc.Char(s.DateSeparator) || !sc.Number(n2, l2)) return false;
  DateOrder order = OrderOf(s.ShortDateFormat);
  int year, month, day, yearDigits;
  if (sc.Char(s.DateSeparator)) {
    if (!sc.Number(n3, l3)) return false;
    switch (order) {
      case DateOrder::DMY: day = n1; month = n2; year = n3; yearDigits = l3; break;
      case DateOrder::MDY: month = n1; day = n2; year = n3; yearDigits = l3; break;
      default: year = n1; month = n2; day = n3; yearDigits = l1; break;
    }
    if (yearDigits <= 2) year = ExpandYear(year, s);
  } else {
    year = CurrentYear();
    if (order == DateOrder::DMY) {
      day = n1;
      month = n2;
    } else {
      month = n1;
      day = n2;
    }
  }
  if (!sc.AtEnd()) return false;
  return TryEncodeDate(year, month, day, date);
}

bool ScanTime(std::string_view text, TDateTime& time, const TFormatSettings& s) {
  Scanner sc{text};
  int hour, minute, second = 0, digits;
  if (!sc.Number(hour, digits) || !sc.Char(s.TimeSeparator) || !sc.Number(minute, digits)) {
    return false;
  }
  if (sc.Char(s.TimeSeparator) && !sc.Number(second, digits)) return false;
  if (!sc.AtEnd()) return false;
  return TryEncodeTime(hour, minute, second, 0, time);
}

[[noreturn]] void ConvertError(std::string_view text, const char* what) {
  AnsiString message = "'";
  message.append(text);
  message += what;
  throw EConvertError(message);
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (!ValidDate(year, month, day)) return false;
  date = static_cast<double>(DaysFromCivil(year, month, day));
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date)) throw EConvertError("Invalid argument to date encode");
  return date;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  int64_t days, ms;
  year = month = day = 0;
  if (!Split(date, days, ms)) return;
  CivilFromDays(days, year, month, day);
  if (year < 1 || year > 9999) year = month = day = 0;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
      msec < 0 || msec >= 1000) {
    return false;
  }
  int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  time = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime time;
  if (!TryEncodeTime(hour, minute, second, msec, time)) {
    throw EConvertError("Invalid argument to time encode");
  }
  return time;
}

void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& msec) {
  int64_t days, ms;
  hour = minute = second = msec = 0;
  if (!Split(time, days, ms)) return;
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime date) {
  int64_t days, ms;
  if (!Split(date, days, ms)) return 0;
  // Day 0 (30.12.1899) was a Saturday.
  return static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
}

TDateTime Date() {
  LocalParts now = LocalNow();
  return static_cast<double>(DaysFromCivil(now.year, now.month, now.day));
}

TDateTime Time() {
  LocalParts now = LocalNow();
  return EncodeTime(now.hour, now.minute, now.second, now.msec);
}

TDateTime Now() {
  LocalParts now = LocalNow();
  return static_cast<double>(DaysFromCivil(now.year, now.month, now.day)) +
         EncodeTime(now.hour, now.minute, now.second, now.msec);
}

AnsiString FormatDateTime(std::string_view format, TDateTime value) {
  return FormatDateTime(format, value, FormatSettings());
}

AnsiString FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings) {
  FormatSink out;
  AppendFormat(out, format, Decompose(value), settings, 0);
  return out.Take();
}

AnsiString DateToStr(TDateTime date) {
  return FormatDateTime(FormatSettings().ShortDateFormat, date);
}

AnsiString TimeToStr(TDateTime time) {
  return FormatDateTime(FormatSettings().LongTimeFormat, time);
}

AnsiString DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }

bool TryStrToDate(std::string_view text, TDateTime& date) {
  return TryStrToDate(text, date, FormatSettings());
}

bool TryStrToDate(std::string_view text, TDateTime& date, const TFormatSettings& settings) {
  return ScanDate(text, date, settings);
}

TDateTime StrToDate(std::string_view text) { return StrToDate(text, FormatSettings()); }

TDateTime StrToDate(std::string_view text, const TFormatSettings& settings) {
  TDateTime date;
  if (!ScanDate(text, date, settings)) ConvertError(text, "' is not a valid date");
  return date;
}

bool TryStrToTime(std::string_view text, TDateTime& time) {
  return ScanTime(text, time, FormatSettings());
}

bool TryStrToTime(std::string_view text, TDateTime& time, const TFormatSettings& settings) {
  return ScanTime(text, time, settings);
}

TDateTime StrToTime(std::string_view text) {
  TDateTime time;
  if (!ScanTime(text, time, FormatSettings())) ConvertError(text, "' is not a valid time");
  return time;
}

// ---- the replaceable clock ----

TPinnedClock::TPinnedClock(TDateTime now) : previous_(gPinnedClock) { gPinnedClock = now; }

TPinnedClock::~TPinnedClock() { gPinnedClock = previous_; }

void TPinnedClock::Set(TDateTime now) { gPinnedClock = now; }
