// Dates for the date edits and the calendar: validity, the century rule of
// two-digit years, reading a date text by a date format (as typed into a
// mask, or freely by the format's date order) and the default formats and
// masks derived from the short date format. "Today" and the current year
// come from the runtime clock, so a pinned clock pins them too.
//
// Two century rules live side by side on purpose: these routines expand a
// two-digit year by a fixed offset of 60 years before the current year,
// while the runtime's StrToDate (used by the typed edits) uses the format
// settings' window of 50.
#pragma once

#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/datetime.h"

// The date that stands for "no date".
constexpr TDateTime NullDate = 0;
// Two-digit years fall in the 100 years starting this many years before
// the current year.
constexpr int CenturyOffset = 60;

enum TDateOrder { doMDY, doDMY, doYMD };

// The first of D, E, Y, M met in format (any case) decides: D day first,
// E or Y year first, M month first; none of them: day first.
TDateOrder GetDateOrder(std::string_view format);
// Whether the upper-cased short date format holds "YYYY"; computed at
// first use. ResetFourDigitYear makes the next use compute it again (after
// a change of the format settings).
bool FourDigitYear();
void ResetFourDigitYear();

int DaysPerMonth(int year, int month);
// Year 1-9999, month 1-12, day within the month.
bool IsValidDate(int year, int month, int day);
// Never raises: NaN, infinities and values outside the calendar are not
// valid.
bool IsValidDate(TDateTime value);
int CurrentYear();
// A year below 100 moves into the 100 years starting CenturyOffset years
// before the current year; larger years stay.
int ExpandYear(int year);

// Reads text by format (letters D, M, MMM, Y; separators as typed): first by
// position, as typed into a mask; then freely by the format's date order
// (two or three numbers of at most four digits separated by the date
// separator; two numbers take the current year). Empty text gives
// NullDate. StrToDateFmt raises EConvertError "''<text>'' is not a valid
// date"; StrToDateFmtDef returns the default without its time part.
TDateTime StrToDateFmt(std::string_view format, std::string_view text);
TDateTime StrToDateFmtDef(std::string_view format, std::string_view text, TDateTime def);
bool TryStrToDateFmt(std::string_view format, std::string_view text, TDateTime& date);

// "MM/DD/YYYY", "DD/MM/YYYY" or "YYYY/MM/DD" by the short date format's
// order ("YY" forms without fourDigit).
AnsiString DefaultDateFormat(bool fourDigit);
// "!99/99/9999;1;" (month or day first), "!9999/99/99;1;" (year first), or
// "!99/99/99;1;" without fourDigit; followed by the blank character.
AnsiString DefaultDateMask(char blank, bool fourDigit);

// date, unless it is NullDate; then fallback.
TDateTime NvlDate(TDateTime date, TDateTime fallback);
