// The fixed Czech format settings and the one process-wide settings object.
// The host's LANG/LC_* never reach these values: the program shows and
// parses dates and numbers the same way on every machine.
#include "platform/rtl/format_settings.h"

#include "platform/rtl/codepages.h"

TFormatSettings CzechFormatSettings() {
  static const char* const kLongMonths[12] = {
      "leden", "únor", "březen", "duben", "květen", "červen",
      "červenec", "srpen", "září", "říjen", "listopad", "prosinec"};
  static const char* const kShortMonths[12] = {
      "led", "úno", "bře", "dub", "kvě", "čvn", "čvc", "srp", "zář", "říj", "lis", "pro"};
  static const char* const kLongDays[7] = {
      "neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"};
  static const char* const kShortDays[7] = {"ne", "po", "út", "st", "čt", "pá", "so"};

  TFormatSettings s;
  s.DateSeparator = '.';
  s.TimeSeparator = ':';
  s.DecimalSeparator = ',';
  s.ThousandSeparator = '\xA0';
  s.ListSeparator = ';';
  s.ShortDateFormat = "dd.MM.yyyy";
  s.LongDateFormat = "d. MMMM yyyy";
  s.ShortTimeFormat = "H:mm";
  s.LongTimeFormat = "H:mm:ss";
  s.TimeAMString = Utf8ToAnsi("dop.");
  s.TimePMString = Utf8ToAnsi("odp.");
  s.CurrencyString = Utf8ToAnsi("Kč");
  s.CurrencyFormat = 3;
  s.NegCurrFormat = 8;
  s.CurrencyDecimals = 2;
  s.TwoDigitYearCenturyWindow = 50;
  for (int i = 0; i < 12; ++i) {
    s.LongMonthNames[i] = Utf8ToAnsi(kLongMonths[i]);
    s.ShortMonthNames[i] = Utf8ToAnsi(kShortMonths[i]);
  }
  for (int i = 0; i < 7; ++i) {
    s.LongDayNames[i] = Utf8ToAnsi(kLongDays[i]);
    s.ShortDayNames[i] = Utf8ToAnsi(kShortDays[i]);
  }
  return s;
}

TFormatSettings& FormatSettings() {
  // Created on first use, never in a static initialiser of the library.
  static TFormatSettings settings = CzechFormatSettings();
  return settings;
}
