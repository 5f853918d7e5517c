// TDateTime and the calendar: days since 30.12.1899 as a double (the
// fraction is the time of day), proleptic Gregorian calendar, years 1-9999.
// Text conversion follows the process format settings unless a settings
// object is passed.
#pragma once

#include <optional>
#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/format_settings.h"

using TDateTime = double;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// EncodeDate raises EConvertError "Invalid argument to date encode".
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);
void DecodeDate(TDateTime date, int& year, int& month, int& day);

// EncodeTime raises EConvertError "Invalid argument to time encode".
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& time);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& msec);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime date);

// Today (no fraction), the time of day (no whole days) and both, local time.
TDateTime Date();
TDateTime Time();
TDateTime Now();

// Pins the clock behind Date, Time, Now and the current year of StrToDate
// to a fixed reading while the object lives (tests); the reading before it
// comes back when it goes. Set moves the pinned clock.
class TPinnedClock {
 public:
  explicit TPinnedClock(TDateTime now);
  ~TPinnedClock();
  TPinnedClock(const TPinnedClock&) = delete;
  TPinnedClock& operator=(const TPinnedClock&) = delete;
  void Set(TDateTime now);

 private:
  std::optional<TDateTime> previous_;
};

// Format letters (case-insensitive): d dd ddd dddd m mm mmm mmmm yy yyyy
// h hh n nn s ss z zzz; "m" right after "h"/"hh" means minutes; c = short
// date + long time; ddddd / dddddd = short / long date; t / tt = short /
// long time; ampm = TimeAMString or TimePMString, and with it the hours
// run on the 12-hour clock; "/" and ":" become the separators; '...' and "..." are
// literals.
AnsiString FormatDateTime(std::string_view format, TDateTime value);
AnsiString FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings);
AnsiString DateToStr(TDateTime date);
AnsiString TimeToStr(TDateTime time);
AnsiString DateTimeToStr(TDateTime value);

// Parses day, month and year in the order of the short date format: blanks,
// number, separator, number, optional separator and number. Two-digit years
// go through the century window; a missing year is the current year.
// StrToDate raises EConvertError "'%s' is not a valid date".
bool TryStrToDate(std::string_view text, TDateTime& date);
bool TryStrToDate(std::string_view text, TDateTime& date, const TFormatSettings& settings);
TDateTime StrToDate(std::string_view text);
TDateTime StrToDate(std::string_view text, const TFormatSettings& settings);

// Hours, minutes, optional seconds with the time separator.
// StrToTime raises EConvertError "'%s' is not a valid time".
bool TryStrToTime(std::string_view text, TDateTime& time);
bool TryStrToTime(std::string_view text, TDateTime& time, const TFormatSettings& settings);
TDateTime StrToTime(std::string_view text);
