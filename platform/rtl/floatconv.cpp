// Floating point <-> text without the C library's locale.
//
// Every conversion to text starts from the same decimal form: the value's
// 15 significant digits (a double holds no more), correctly rounded by
// std::to_chars. All further rounding (to decimals or to fewer significant
// digits) works on those digits and rounds ties away from zero, which is
// what users of a cash journal expect (0,125 -> 0,13) and what printf's
// binary ties-to-even would get wrong. Separators always come from a
// settings object; a thousand separator of '\0' means none.
#include "platform/rtl/floatconv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace {

constexpr int kDoubleDigits = 15;
constexpr int kMaxDigits = 18;

// value = (negative ? -1 : 1) * 0.d1d2d3... * 10^exponent. digits holds no
// leading and no trailing zeros; it is empty for zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;

  bool IsZero() const { return digits.empty(); }
  // Digit i after the decimal point of the mantissa, '0' outside.
  char DigitAt(int i) const {
    return i >= 0 && i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)] : '0';
  }
};

void TrimTrailingZeros(std::string& digits) {
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
}

// The 15 significant digits of a finite value.
Decimal ToDecimal(double value) {
  Decimal d;
  d.negative = std::signbit(value);
  if (value == 0) return d;
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                              std::chars_format::scientific, kDoubleDigits - 1);
  std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') d.digits += text[i];
  }
  int exp10 = 0;
  std::string_view expText = text.substr(e + 1);
  if (!expText.empty() && expText[0] == '+') expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exp10);
  d.exponent = exp10 + 1;
  TrimTrailingZeros(d.digits);
  return d;
}

// Keeps `keep` significant digits, rounding half away from zero.
void RoundTo(Decimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    while (!d.digits.empty() && d.digits.back() == '9') d.digits.pop_back();
    if (d.digits.empty()) {
      d.digits.push_back('1');  // (assigning a literal here trips a false -Wrestrict at -O3)
      ++d.exponent;
    } else {
      ++d.digits.back();
    }
  }
  TrimTrailingZeros(d.digits);
}

void RoundToDecimals(Decimal& d, int decimals, int precision) {
  RoundTo(d, std::min(d.exponent + decimals, precision));
}

const char* NonFiniteText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  return nullptr;
}

// Integer digits with a separator every three digits from the right.
std::string Group(const std::string& digits, char separator) {
  if (separator == '\0' || digits.size() <= 3) return digits;
  std::string out;
  std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[i];
    std::size_t left = n - 1 - i;
    if (left > 0 && left % 3 == 0) out += separator;
  }
  return out;
}

std::string IntegerDigits(const Decimal& d) {
  if (d.exponent <= 0) return "0";
  std::string out;
  for (int i = 0; i < d.exponent; ++i) out += d.DigitAt(i);
  return out;
}

// Magnitude of a rounded value in fixed notation, no sign.
std::string FixedMagnitude(const Decimal& d, int decimals, char decimal, char thousand) {
  std::string out = Group(IntegerDigits(d), thousand);
  if (decimals > 0) {
    out += decimal;
    for (int i = 0; i < decimals; ++i) out += d.DigitAt(d.exponent + i);
  }
  return out;
}

std::string ExponentDigits(int exponent, int minDigits) {
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (static_cast<int>(digits.size()) < minDigits) {
    digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
  }
  return digits;
}

// "d,dddE+dd": precision digits in the mantissa, the exponent signed and
// at least expDigits long.
std::string ExponentText(double value, int precision, int expDigits, char decimal) {
  Decimal d = ToDecimal(value);
  RoundTo(d, precision);
  std::string out = d.negative && !d.IsZero() ? "-" : "";
  out += d.IsZero() ? '0' : d.digits[0];
  if (precision > 1) {
    out += decimal;
    for (int i = 1; i < precision; ++i) out += d.DigitAt(i);
  }
  int exponent = d.IsZero() ? 0 : d.exponent - 1;
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  out += ExponentDigits(exponent, expDigits);
  return out;
}

// Shortest of fixed and exponent form with at most precision significant
// digits and no trailing zeros; the exponent carries a sign only when it is
// negative.
std::string GeneralText(double value, int precision, int expDigits, char decimal) {
  Decimal d = ToDecimal(value);
  RoundTo(d, precision);
  if (d.IsZero()) return "0";
  std::string out = d.negative ? "-" : "";
  if (d.exponent <= precision && d.exponent >= -4) {
    int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
    return out + FixedMagnitude(d, decimals, decimal, '\0');
  }
  out += d.digits[0];
  if (d.digits.size() > 1) {
    out += decimal;
    out.append(d.digits, 1, std::string::npos);
  }
  out += 'E';
  if (d.exponent - 1 < 0) out += '-';
  out += ExponentDigits(d.exponent - 1, expDigits);
  return out;
}

// "-integer,fraction" with the fraction's k digits (none when k is 0).
std::size_t DecimalText(bool negative, uint64_t integer, uint32_t fraction, int k, char decimal, char* text) {
  char* end = text;
  if (negative) *end++ = '-';
  // Most integer parts fit 32 bits, whose digits come cheaper.
  end = integer <= UINT32_MAX ? std::to_chars(end, text + 32, static_cast<uint32_t>(integer)).ptr
                              : std::to_chars(end, text + 32, integer).ptr;
  if (k > 0) {
    *end++ = decimal;
    for (int i = k - 1; i >= 0; --i, fraction /= 10) end[i] = static_cast<char>('0' + fraction % 10);
    end += k;
  }
  return static_cast<std::size_t>(end - text);
}

// GeneralText with 15 digits, straight from the value, where it is the
// double nearest to a decimal of at most 15 digits and four decimals (every
// amount, quantity and date number a table holds): such a value rounds to
// exactly that decimal at 15 significant digits, so no digit string is
// needed. Writes the text to text (room for 32) and returns its length, 0
// for every other value. The caller makes the string once: a walk formats
// every numeric field of every record this way.
std::size_t ShortDecimalText(double value, char decimal, char* text) {
  static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
  static constexpr uint64_t kUnits[] = {1, 10, 100, 1000, 10000};
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    text[0] = '0';
    return 1;
  }
  // The common case in one step: a value that is such a decimal with k
  // decimals is also one with four (the same decimal, padded with zeros),
  // and while magnitude * 10^4 stays below 10^15 its rounding lands on
  // exactly those units; so the four-decimal units decide, and their
  // trailing zeros give the fewest decimals.
  if (const double scaled = magnitude * 10000; scaled < 1e15) {
    const double units = std::nearbyint(scaled);
    if (units / 10000 != magnitude) return 0;
    const uint64_t whole = static_cast<uint64_t>(units);
    uint32_t fraction = static_cast<uint32_t>(whole % 10000);
    int k = 4;
    for (; k > 0 && fraction % 10 == 0; --k) fraction /= 10;
    return DecimalText(value < 0, whole / 10000, fraction, k, decimal, text);
  }
  for (int k = 0; k < 5; ++k) {
    const double scaled = magnitude * kScale[k];
    if (!(scaled < 1e15)) return 0;
    const double units = std::nearbyint(scaled);
    if (units / kScale[k] != magnitude) continue;
    // The first k that fits is the fewest decimals, so the last digit of a
    // fraction is never 0.
    const uint64_t whole = static_cast<uint64_t>(units);
    return DecimalText(value < 0, whole / kUnits[k], static_cast<uint32_t>(whole % kUnits[k]), k, decimal, text);
  }
  return 0;
}

std::string CurrencyText(const std::string& magnitude, bool negative, const TFormatSettings& s) {
  const std::string& c = s.CurrencyString;
  if (!negative) {
    switch (s.CurrencyFormat) {
      case 0: return c + magnitude;
      case 1: return magnitude + c;
      case 2: return c + " " + magnitude;
      default: return magnitude + " " + c;
    }
  }
  const std::string& m = magnitude;
  switch (s.NegCurrFormat) {
    case 0: return "(" + c + m + ")";
    case 1: return "-" + c + m;
    case 2: return c + "-" + m;
    case 3: return c + m + "-";
    case 4: return "(" + m + c + ")";
    case 5: return "-" + m + c;
    case 6: return m + "-" + c;
    case 7: return m + c + "-";
    case 9: return "-" + c + " " + m;
    case 10: return m + " " + c + "-";
    case 11: return c + " " + m + "-";
    case 12: return c + " -" + m;
    case 13: return m + "- " + c;
    case 14: return "(" + c + " " + m + ")";
    case 15: return "(" + m + " " + c + ")";
    default: return "-" + m + " " + c;  // 8
  }
}

// ---- FormatFloat pictures ----

struct Picture {
  std::string_view text;
  int intPlaces = 0;      // "0" and "#" before the decimal point
  int minInt = 0;         // from the first "0" before the decimal point
  int decPlaces = 0;      // "0" and "#" after the decimal point
  int minDec = 0;         // up to the last "0" after the decimal point
  bool thousands = false;
  bool scientific = false;
  int expDigits = 0;
};

bool IsQuote(char c) { return c == '"' || c == '\''; }

// Index just past the literal that starts with the quote at i.
std::size_t SkipQuoted(std::string_view s, std::size_t i) {
  std::size_t end = s.find(s[i], i + 1);
  return end == std::string_view::npos ? s.size() : end + 1;
}

std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  std::size_t start = 0, i = 0;
  while (i < format.size()) {
    if (IsQuote(format[i])) {
      i = SkipQuoted(format, i);
    } else if (format[i] == ';') {
      sections.push_back(format.substr(start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

bool IsExponentAt(std::string_view s, std::size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

Picture Analyse(std::string_view section) {
  Picture p;
  p.text = section;
  bool afterPoint = false;
  int firstZero = -1;
  for (std::size_t i = 0; i < section.size();) {
    char c = section[i];
    if (IsQuote(c)) {
      i = SkipQuoted(section, i);
      continue;
    }
    if (!p.scientific && IsExponentAt(section, i)) {
      p.scientific = true;
      i += 2;
      while (i < section.size() && section[i] == '0') {
        ++p.expDigits;
        ++i;
      }
      continue;
    }
    if (c == '0' || c == '#') {
      if (afterPoint) {
        ++p.decPlaces;
        if (c == '0') p.minDec = p.decPlaces;
      } else {
        if (c == '0' && firstZero < 0) firstZero = p.intPlaces;
        ++p.intPlaces;
      }
    } else if (c == '.' && !afterPoint) {
      afterPoint = true;
    } else if (c == ',') {
      p.thousands = true;
    }
    ++i;
  }
  if (firstZero >= 0) p.minInt = p.intPlaces - firstZero;
  p.expDigits = std::min(p.expDigits, 4);
  return p;
}

// Writes a value's digits into a picture: intDigits and fraction are the
// digits to show (already rounded and padded to the minimum counts).
std::string Render(const Picture& p, const std::string& intDigits, const std::string& fraction,
                   int exponent, const TFormatSettings& s) {
  std::string out;
  bool afterPoint = false, exponentDone = false;
  int intIndex = 0, decIndex = 0;
  int n = static_cast<int>(intDigits.size());
  char thousand = p.thousands ? s.ThousandSeparator : '\0';
  auto emitDigit = [&](int k) {  // k: index into intDigits
    out += intDigits[static_cast<std::size_t>(k)];
    int fromRight = n - 1 - k;
    if (thousand != '\0' && fromRight > 0 && fromRight % 3 == 0) out += thousand;
  };
  auto emitLeadingDigits = [&](int upTo) {  // every digit left of position upTo
    for (int k = 0; k < n - upTo; ++k) emitDigit(k);
  };
  std::string_view t = p.text;
  for (std::size_t i = 0; i < t.size();) {
    char c = t[i];
    if (IsQuote(c)) {
      std::size_t end = SkipQuoted(t, i);  // an unclosed literal runs to the end
      bool closed = end > i + 1 && t[end - 1] == c;
      out.append(t.substr(i + 1, end - i - 1 - (closed ? 1 : 0)));
      i = end;
      continue;
    }
    if (!exponentDone && p.scientific && IsExponentAt(t, i)) {
      if (!afterPoint && intIndex == 0) emitLeadingDigits(0);
      exponentDone = true;
      out += c;
      if (exponent < 0) {
        out += '-';
      } else if (t[i + 1] == '+') {
        out += '+';
      }
      out += ExponentDigits(exponent, p.expDigits);
      i += 2;
      while (i < t.size() && t[i] == '0') ++i;
      continue;
    }
    if (c == '0' || c == '#') {
      if (!afterPoint) {
        int position = p.intPlaces - 1 - intIndex;  // digits to its right
        if (intIndex == 0) {
          emitLeadingDigits(position);
        } else if (n - 1 - position >= 0) {
          emitDigit(n - 1 - position);
        }
        ++intIndex;
      } else {
        if (decIndex < static_cast<int>(fraction.size())) {
          out += fraction[static_cast<std::size_t>(decIndex)];
        }
        ++decIndex;
      }
    } else if (c == '.' && !afterPoint) {
      if (intIndex == 0) emitLeadingDigits(0);
      afterPoint = true;
      if (!fraction.empty()) out += s.DecimalSeparator;
    } else if (c != ',') {
      out += c;
    }
    ++i;
  }
  return out;
}

// The digits a picture shows for one value; returns false when the value
// rounds to zero in that picture.
bool PictureDigits(const Picture& p, double value, std::string& intDigits, std::string& fraction,
                   int& exponent) {
  Decimal d = ToDecimal(value);
  exponent = 0;
  int intShown = p.intPlaces;
  if (p.scientific) {
    if (intShown == 0) intShown = 1;
    RoundTo(d, std::min(intShown + p.decPlaces, kMaxDigits));
    if (!d.IsZero()) exponent = d.exponent - intShown;
    d.exponent = d.IsZero() ? 0 : intShown;
  } else {
    RoundToDecimals(d, p.decPlaces, kMaxDigits);
  }
  intDigits.clear();
  for (int i = 0; i < d.exponent; ++i) intDigits += d.DigitAt(i);
  if (!intDigits.empty() && intDigits.find_first_not_of('0') == std::string::npos) intDigits.clear();
  int minInt = p.scientific ? intShown : p.minInt;
  if (static_cast<int>(intDigits.size()) < minInt) {
    intDigits.insert(0, static_cast<std::size_t>(minInt) - intDigits.size(), '0');
  }
  fraction.clear();
  for (int i = 0; i < p.decPlaces; ++i) fraction += d.DigitAt(d.exponent + i);
  std::size_t keep = fraction.find_last_not_of('0');
  keep = keep == std::string::npos ? 0 : keep + 1;
  fraction.resize(std::max<std::size_t>(keep, static_cast<std::size_t>(p.minDec)));
  return !d.IsZero();
}

bool ParseFloat(std::string_view text, double& value, char decimal) {
  std::size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  std::string normal;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  int mantissaDigits = 0;
  int firstSignificant = 0;  // decimal exponent of the first non-zero digit, +1
  bool seenSignificant = false;
  int intDigits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    if (!seenSignificant && text[i] != '0') seenSignificant = true;
    if (seenSignificant) ++intDigits;
    normal += text[i++];
    ++mantissaDigits;
  }
  firstSignificant = intDigits;
  if (i < n && text[i] == decimal) {
    ++i;
    normal += '.';
    int leadingZeros = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (!seenSignificant) {
        if (text[i] != '0') {
          seenSignificant = true;
          firstSignificant = -leadingZeros;
        } else {
          ++leadingZeros;
        }
      }
      normal += text[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  long long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      negativeExp = text[i] == '-';
      ++i;
    }
    int expDigits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
      ++expDigits;
    }
    if (expDigits == 0) return false;
    if (negativeExp) exponent = -exponent;
    normal += 'e';
    normal += std::to_string(exponent);
  }
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return false;
  if (!seenSignificant) {  // every digit is zero
    value = normal[0] == '-' ? -0.0 : 0.0;
    return true;
  }
  double parsed = 0;
  auto result = std::from_chars(normal.data(), normal.data() + normal.size(), parsed,
                                std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large fails; too small to represent is zero, as a user expects.
    if (firstSignificant + exponent > 0) return false;
    value = normal[0] == '-' ? -0.0 : 0.0;
    return true;
  }
  if (result.ec != std::errc() || result.ptr != normal.data() + normal.size()) return false;
  if (std::isinf(parsed)) return false;
  value = parsed;
  return true;
}

[[noreturn]] void FloatError(std::string_view text) {
  AnsiString message = "'";
  message.append(text);
  message += "' is not a valid floating point value";
  throw EConvertError(message);
}

}  // namespace

AnsiString FloatToStr(double value) { return FloatToStr(value, FormatSettings()); }

AnsiString FloatToStr(double value, const TFormatSettings& settings) {
  // The short decimal straight away (NaN and infinities are none): this is
  // the text of every numeric field of every record a walk shows.
  char text[32];
  if (const std::size_t n = ShortDecimalText(value, settings.DecimalSeparator, text)) return AnsiString(text, n);
  // What FloatToStrF's general format does after the same test.
  if (const char* special = NonFiniteText(value)) return special;
  return GeneralText(value, kDoubleDigits, 0, settings.DecimalSeparator);
}

AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings());
}

AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                       const TFormatSettings& settings) {
  if (const char* special = NonFiniteText(value)) return special;
  precision = std::clamp(precision, 1, kMaxDigits);
  char decimal = settings.DecimalSeparator;
  switch (format) {
    case TFloatFormat::ffGeneral:
      if (precision == kDoubleDigits) {
        char text[32];
        if (const std::size_t n = ShortDecimalText(value, decimal, text)) return AnsiString(text, n);
      }
      return GeneralText(value, precision, std::clamp(digits, 0, 4), decimal);
    case TFloatFormat::ffExponent:
      return ExponentText(value, precision, std::clamp(digits, 0, 4), decimal);
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency: {
      digits = std::clamp(digits, 0, kMaxDigits);
      Decimal d = ToDecimal(value);
      if (d.exponent > precision) return ExponentText(value, precision, 3, decimal);
      RoundToDecimals(d, digits, precision);
      char thousand = format == TFloatFormat::ffFixed ? '\0' : settings.ThousandSeparator;
      std::string magnitude = FixedMagnitude(d, digits, decimal, thousand);
      bool negative = d.negative && !d.IsZero();
      if (format == TFloatFormat::ffCurrency) return CurrencyText(magnitude, negative, settings);
      return negative ? "-" + magnitude : magnitude;
    }
  }
  return AnsiString();
}

AnsiString FormatFloat(std::string_view format, double value) {
  return FormatFloat(format, value, FormatSettings());
}

AnsiString FormatFloat(std::string_view format, double value, const TFormatSettings& settings) {
  if (const char* special = NonFiniteText(value)) return special;
  if (format.empty()) return FloatToStrF(value, TFloatFormat::ffGeneral, kDoubleDigits, 0, settings);
  std::vector<std::string_view> sections = SplitSections(format);
  bool useNegative = value < 0 && sections.size() >= 2 && !sections[1].empty();
  Picture picture = Analyse(sections[useNegative ? 1 : 0]);
  std::string intDigits, fraction;
  int exponent = 0;
  bool nonZero = PictureDigits(picture, value, intDigits, fraction, exponent);
  if (!nonZero && sections.size() >= 3 && !sections[2].empty()) {
    picture = Analyse(sections[2]);
    PictureDigits(picture, 0.0, intDigits, fraction, exponent);
    return Render(picture, intDigits, fraction, exponent, settings);
  }
  std::string out = Render(picture, intDigits, fraction, exponent, settings);
  // A negative value shown through the positive picture gets the sign in
  // front; one that rounds to zero shows no sign.
  if (value < 0 && !useNegative && nonZero) out.insert(0, 1, '-');
  return out;
}

bool TryStrToFloat(std::string_view text, double& value) {
  return TryStrToFloat(text, value, FormatSettings());
}

bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& settings) {
  return ParseFloat(text, value, settings.DecimalSeparator);
}

double StrToFloat(std::string_view text) { return StrToFloat(text, FormatSettings()); }

double StrToFloat(std::string_view text, const TFormatSettings& settings) {
  double value;
  if (!ParseFloat(text, value, settings.DecimalSeparator)) FloatError(text);
  return value;
}

TFormatSettings DotDecimalSettings() {
  TFormatSettings s = FormatSettings();
  s.DecimalSeparator = '.';
  s.ThousandSeparator = '\0';
  return s;
}
