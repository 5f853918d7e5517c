// Date reading by a format works in two passes. The positional pass reads
// the characters under each format letter, as a mask edit lays them out;
// it only applies to texts not longer than the format. When it does not
// give a valid date, the free pass reads numbers and separators in the
// format's date order, which accepts the short forms a cashier types
// ("8.12", "8.12.26").
#include "ui/common/date_util.h"

#include <cmath>
#include <optional>

#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"

namespace {

std::optional<bool> gFourDigitYear;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// The characters of text under the positions where the upper-cased format
// holds letter (count of them in a row: "MMM" only where three M stand
// together); positions past the text's end are blank. Blanks are dropped.
AnsiString CharsUnder(std::string_view format, std::string_view text, char letter, bool& present) {
  AnsiString out;
  present = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (Upper(format[i]) != letter) continue;
    present = true;
    char c = i < text.size() ? text[i] : ' ';
    if (c != ' ') out += c;
  }
  return out;
}

// A number made of the digits of part; -1 when it is empty (all blank) or
// holds anything but digits.
int NumberOf(const AnsiString& part) {
  if (part.empty()) return -1;
  int value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > 99999) return -1;
  }
  return value;
}

bool HasMonthNames(std::string_view format) {
  int run = 0;
  for (char c : format) {
    run = Upper(c) == 'M' ? run + 1 : 0;
    if (run >= 3) return true;
  }
  return false;
}

// Month by the start of the long month names, case-insensitively; -1 when
// none matches.
int MonthByName(const AnsiString& part) {
  if (part.empty()) return -1;
  AnsiString wanted = AnsiUpperCase(part);
  const TFormatSettings& s = FormatSettings();
  for (int m = 0; m < 12; ++m) {
    AnsiString name = AnsiUpperCase(s.LongMonthNames[m]);
    if (name.size() >= wanted.size() && name.compare(0, wanted.size(), wanted) == 0) return m + 1;
  }
  return -1;
}

bool ReadByPosition(std::string_view format, std::string_view text, int& year, int& month, int& day) {
  if (text.size() > format.size()) return false;
  bool present = false;
  AnsiString monthChars = CharsUnder(format, text, 'M', present);
  month = HasMonthNames(format) ? MonthByName(monthChars) : NumberOf(monthChars);
  AnsiString dayChars = CharsUnder(format, text, 'D', present);
  day = present ? NumberOf(dayChars) : 1;
  AnsiString yearChars = CharsUnder(format, text, 'Y', present);
  year = present ? NumberOf(yearChars) : CurrentYear();
  if (year >= 0) year = ExpandYear(year);
  return IsValidDate(year, month, day);
}

struct Reader {
  std::string_view text;
  std::size_t pos = 0;
  void SkipBlanks() {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  // At most four digits; reading stops once the value reaches 1000.
  bool Number(int& value) {
    SkipBlanks();
    value = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4 && value < 1000) {
      value = value * 10 + (text[pos] - '0');
      ++pos;
      ++digits;
    }
    return digits > 0;
  }
  bool Separator(char sep) {
    SkipBlanks();
    if (pos < text.size() && text[pos] == sep) {
      ++pos;
      return true;
    }
    return false;
  }
};

bool ReadFreely(std::string_view format, std::string_view text, int& year, int& month, int& day) {
  char sep = FormatSettings().DateSeparator;
  TDateOrder order = GetDateOrder(format);
  Reader r{text};
  int n1, n2, n3;
  if (!r.Number(n1) || !r.Separator(sep) || !r.Number(n2)) return false;
  bool three = false;
  std::size_t afterTwo = r.pos;
  if (r.Separator(sep)) {
    if (r.Number(n3))
      three = true;
    else
      r.pos = afterTwo;
  }
  if (three) {
    switch (order) {
      case doDMY:
        day = n1, month = n2, year = n3;
        break;
      case doMDY:
        month = n1, day = n2, year = n3;
        break;
      case doYMD:
        year = n1, month = n2, day = n3;
        break;
    }
    year = ExpandYear(year);
  } else {
    year = CurrentYear();
    if (order == doDMY)
      day = n1, month = n2;
    else
      month = n1, day = n2;
  }
  r.Separator(sep);
  r.SkipBlanks();
  return r.pos == text.size() && IsValidDate(year, month, day);
}

}  // namespace

TDateOrder GetDateOrder(std::string_view format) {
  for (char c : format) {
    switch (Upper(c)) {
      case 'D':
        return doDMY;
      case 'E':
      case 'Y':
        return doYMD;
      case 'M':
        return doMDY;
      default:
        break;
    }
  }
  return doDMY;
}

bool FourDigitYear() {
  if (!gFourDigitYear) gFourDigitYear = AnsiUpperCase(FormatSettings().ShortDateFormat).find("YYYY") != AnsiString::npos;
  return *gFourDigitYear;
}

void ResetFourDigitYear() { gFourDigitYear.reset(); }

int DaysPerMonth(int year, int month) { return DaysInMonth(year, month); }

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidDate(TDateTime value) {
  if (!std::isfinite(value)) return false;
  int y, m, d;
  DecodeDate(value, y, m, d);
  return IsValidDate(y, m, d);
}

int CurrentYear() {
  int y, m, d;
  DecodeDate(Date(), y, m, d);
  return y;
}

int ExpandYear(int year) {
  if (year >= 100) return year;
  int n = CurrentYear() - CenturyOffset;
  year += n / 100 * 100;
  if (year < n) year += 100;
  return year;
}

bool TryStrToDateFmt(std::string_view format, std::string_view text, TDateTime& date) {
  if (text.empty()) {
    date = NullDate;
    return true;
  }
  int year = 0, month = 0, day = 0;
  if (!ReadByPosition(format, text, year, month, day) && !ReadFreely(format, text, year, month, day)) return false;
  return TryEncodeDate(year, month, day, date);
}

TDateTime StrToDateFmt(std::string_view format, std::string_view text) {
  TDateTime date;
  if (!TryStrToDateFmt(format, text, date)) {
    AnsiString message = "''";
    message.append(text);
    message += "'' is not a valid date";
    throw EConvertError(message);
  }
  return date;
}

TDateTime StrToDateFmtDef(std::string_view format, std::string_view text, TDateTime def) {
  TDateTime date;
  if (TryStrToDateFmt(format, text, date)) return date;
  return std::isfinite(def) ? std::trunc(def) : def;
}

AnsiString DefaultDateFormat(bool fourDigit) {
  switch (GetDateOrder(FormatSettings().ShortDateFormat)) {
    case doMDY:
      return fourDigit ? "MM/DD/YYYY" : "MM/DD/YY";
    case doYMD:
      return fourDigit ? "YYYY/MM/DD" : "YY/MM/DD";
    case doDMY:
    default:
      return fourDigit ? "DD/MM/YYYY" : "DD/MM/YY";
  }
}

AnsiString DefaultDateMask(char blank, bool fourDigit) {
  AnsiString mask;
  if (!fourDigit)
    mask = "!99/99/99;1;";
  else if (GetDateOrder(FormatSettings().ShortDateFormat) == doYMD)
    mask = "!9999/99/99;1;";
  else
    mask = "!99/99/9999;1;";
  return mask + blank;
}

TDateTime NvlDate(TDateTime date, TDateTime fallback) { return date == NullDate ? fallback : date; }
