// One procedure serves dates and times; they differ in the cut length (a
// date text longer than 8 is cut to 10 characters, a time text to 8), the
// base text and the separator put in.
#include "ui/edits/date_time_completion.h"

#include <algorithm>

#include "platform/rtl/format_settings.h"

namespace {

bool IsSeparator(char c) { return (c >= 42 && c <= 47) || c == ':' || c == '?'; }

// The part of base after its n-th date or time separator; empty when it
// has fewer.
AnsiString PartAfter(const AnsiString& base, int n, const TFormatSettings& s) {
  int seen = 0;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (base[i] == s.DateSeparator || base[i] == s.TimeSeparator) {
      if (++seen == n) return base.substr(i + 1);
    }
  }
  return AnsiString();
}

bool Complete(AnsiString& text, const AnsiString& base, char separator, std::size_t cut) {
  const TFormatSettings& s = FormatSettings();
  std::size_t first = text.find_first_not_of(' ');
  if (first == AnsiString::npos) return true;
  std::size_t last = text.find_last_not_of(' ');
  AnsiString t = text.substr(first, last - first + 1);
  if (t.size() > 8) t.resize(std::min(t.size(), cut));
  const std::size_t n = t.size();

  // 1-based positions of the first two separators, each made the separator.
  std::size_t p1 = 0, p2 = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (IsSeparator(t[i])) {
      t[i] = separator;
      p1 = i + 1;
      break;
    }
  if (p1)
    for (std::size_t i = p1; i < n; ++i)
      if (IsSeparator(t[i])) {
        t[i] = separator;
        p2 = i + 1;
        break;
      }
  bool clean = true;
  for (char c : t)
    if (c != ' ' && !(c >= '0' && c <= '9') && c != s.DateSeparator && c != s.TimeSeparator) clean = false;

  bool ok = false;
  AnsiString result;
  if (p1 == 0) {
    if (n == 1 || n == 2) {
      ok = clean;
      result = t + separator + PartAfter(base, 1, s);
    } else if (n == 6) {
      ok = true;  // a wrong character makes the later conversion fail
      result = t.substr(0, 2) + separator + t.substr(2, 2) + separator + t.substr(4, 2);
    }
  } else if (p1 == 1) {
    ok = true;
    result = base;
  } else if (p2 == 0) {
    ok = clean;
    result = p1 < n ? t + separator + PartAfter(base, 2, s) : t + PartAfter(base, 1, s);
  } else if (p2 > p1 + 1) {
    ok = clean;
    result = p2 < n ? t : t + PartAfter(base, 2, s);
  }
  text = ok ? result : AnsiString();
  return ok;
}

}  // namespace

bool CompleteDateText(AnsiString& text, TDateTime base) {
  return Complete(text, DateToStr(base), FormatSettings().DateSeparator, 10);
}

bool CompleteTimeText(AnsiString& text, TDateTime base) {
  return Complete(text, TimeToStr(base), FormatSettings().TimeSeparator, 8);
}
