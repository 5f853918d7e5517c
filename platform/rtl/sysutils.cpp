// Exceptions, Format and the integer/text helpers of the class library.
//
// Format reads only its format text for directives; arguments are copied
// into the result as they are, so a "%" in a file name or a user's text can
// never be taken for a directive. Every mismatch between the directives and
// the arguments raises EConvertError instead of printing garbage.
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

#include "platform/rtl/codepages.h"
#include "platform/rtl/floatconv.h"

Exception::Exception(AnsiString message) : message_(std::move(message)), utf8_(AnsiToUtf8(message_)) {}

void Exception::SetMessage(AnsiString message) {
  message_ = std::move(message);
  utf8_ = AnsiToUtf8(message_);
}

namespace {

// Width and precision above this are taken for a broken format text.
constexpr int kMaxFieldSize = 100000;

[[noreturn]] void FormatError(std::string_view fmt) {
  AnsiString message = "Format '";
  message.append(fmt);
  message += "' invalid or incompatible with argument";
  throw EConvertError(message);
}

template <class T>
std::string ToChars(T value, int base = 10) {
  char buffer[72];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, base);
  return std::string(buffer, result.ptr);
}

// Digits of the value, at least minDigits of them (zero-filled after the
// sign), as %d and %x print them.
std::string IntegerText(bool negative, uint64_t magnitude, int base, int minDigits) {
  std::string digits = ToChars(magnitude, base);
  if (base == 16) {
    for (char& c : digits) {
      if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (static_cast<int>(digits.size()) < minDigits) {
    digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
  }
  return negative ? "-" + digits : digits;
}

uint64_t Magnitude(int64_t v) {
  return v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

class FormatParser {
 public:
  FormatParser(std::string_view fmt, std::initializer_list<FormatArg> args,
               const TFormatSettings& settings)
      : fmt_(fmt), args_(args.begin()), argCount_(static_cast<int>(args.size())),
        settings_(settings) {}

  AnsiString Run() {
    AnsiString out;
    std::size_t i = 0;
    while (i < fmt_.size()) {
      std::size_t percent = fmt_.find('%', i);
      if (percent == std::string_view::npos) {
        out.append(fmt_.substr(i));
        break;
      }
      out.append(fmt_.substr(i, percent - i));
      pos_ = percent + 1;
      Directive(out);
      i = pos_;
    }
    return out;
  }

 private:
  bool AtEnd() const { return pos_ >= fmt_.size(); }
  char Peek() const { return fmt_[pos_]; }

  const FormatArg& NextArg() {
    if (next_ < 0 || next_ >= argCount_) FormatError(fmt_);
    return args_[next_++];
  }

  // A decimal number or "*" (taken from the next integer argument).
  // False when neither is present.
  bool Number(int& value) {
    if (AtEnd()) FormatError(fmt_);
    if (Peek() == '*') {
      ++pos_;
      const FormatArg& arg = NextArg();
      int64_t v;
      if (arg.kind() == FormatArg::Kind::Signed) {
        v = arg.AsSigned();
      } else if (arg.kind() == FormatArg::Kind::Unsigned &&
                 arg.AsUnsigned() <= static_cast<uint64_t>(kMaxFieldSize)) {
        v = static_cast<int64_t>(arg.AsUnsigned());
      } else {
        FormatError(fmt_);
      }
      if (v > kMaxFieldSize || v < -kMaxFieldSize) FormatError(fmt_);
      value = static_cast<int>(v);
      return true;
    }
    if (Peek() < '0' || Peek() > '9') return false;
    int v = 0;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
      v = v * 10 + (Peek() - '0');
      if (v > kMaxFieldSize) FormatError(fmt_);
      ++pos_;
    }
    value = v;
    return true;
  }

  void Directive(AnsiString& out) {
    if (AtEnd()) FormatError(fmt_);
    if (Peek() == '%') {
      out += '%';
      ++pos_;
      return;
    }
    bool leftAlign = false;
    int width = 0;
    bool hasWidth = Number(width);
    if (!AtEnd() && Peek() == ':') {  // the number was an argument index
      if (!hasWidth || width < 0) FormatError(fmt_);
      next_ = width;
      ++pos_;
      hasWidth = false;
      width = 0;
    }
    if (!hasWidth) {
      if (!AtEnd() && Peek() == '-') {
        leftAlign = true;
        ++pos_;
      }
      if (!Number(width)) width = 0;
    }
    if (width < 0) {  // "*" with a negative value aligns left
      leftAlign = true;
      width = -width;
    }
    int precision = -1;
    if (!AtEnd() && Peek() == '.') {
      ++pos_;
      if (!Number(precision)) precision = 0;
      if (precision < 0) precision = -1;  // a negative "*" means none
    }
    if (AtEnd()) FormatError(fmt_);
    char type = Peek();
    ++pos_;
    if (type >= 'A' && type <= 'Z') type = static_cast<char>(type - 'A' + 'a');
    AnsiString text = Convert(type, precision);
    int pad = width - static_cast<int>(text.size());
    if (pad > 0 && !leftAlign) out.append(static_cast<std::size_t>(pad), ' ');
    out += text;
    if (pad > 0 && leftAlign) out.append(static_cast<std::size_t>(pad), ' ');
  }

  AnsiString Convert(char type, int precision) {
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        const FormatArg& arg = NextArg();
        int base = type == 'x' ? 16 : 10;
        if (arg.kind() == FormatArg::Kind::Signed) {
          int64_t v = arg.AsSigned();
          if (type == 'd') return IntegerText(v < 0, Magnitude(v), base, precision);
          // %u and %x show a negative value as its two's complement.
          return IntegerText(false, static_cast<uint64_t>(v), base, precision);
        }
        if (arg.kind() == FormatArg::Kind::Unsigned) {
          return IntegerText(false, arg.AsUnsigned(), base, precision);
        }
        FormatError(fmt_);
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        const FormatArg& arg = NextArg();
        if (arg.kind() != FormatArg::Kind::Float) FormatError(fmt_);
        double v = arg.AsFloat();
        switch (type) {
          case 'e':
            return FloatToStrF(v, TFloatFormat::ffExponent, precision < 0 ? 15 : precision, 3,
                               settings_);
          case 'g':
            return FloatToStrF(v, TFloatFormat::ffGeneral, precision < 0 ? 15 : precision, 3,
                               settings_);
          case 'f':
            return FloatToStrF(v, TFloatFormat::ffFixed, 15, precision < 0 ? 2 : precision,
                               settings_);
          case 'n':
            return FloatToStrF(v, TFloatFormat::ffNumber, 15, precision < 0 ? 2 : precision,
                               settings_);
          default:
            return FloatToStrF(v, TFloatFormat::ffCurrency, 15,
                               precision < 0 ? settings_.CurrencyDecimals : precision, settings_);
        }
      }
      case 's': {
        const FormatArg& arg = NextArg();
        if (arg.kind() != FormatArg::Kind::Text) FormatError(fmt_);
        std::string_view s = arg.AsText();
        if (precision >= 0 && static_cast<std::size_t>(precision) < s.size()) {
          s = s.substr(0, static_cast<std::size_t>(precision));
        }
        return AnsiString(s);
      }
      default:
        FormatError(fmt_);
    }
  }

  std::string_view fmt_;
  const FormatArg* args_;
  int argCount_;
  const TFormatSettings& settings_;
  std::size_t pos_ = 0;
  int next_ = 0;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Parses optional leading blanks, a sign, "$"/"0x" hexadecimal or decimal
// digits, and nothing after them. Decimal values must fit [min, max];
// hexadecimal ones may use the full unsigned width of the type (then they
// wrap, "$FFFFFFFF" is -1), as the class library reads them.
template <class T>
bool ParseInteger(std::string_view s, T& value) {
  using U = std::make_unsigned_t<T>;
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  U magnitude = 0;
  auto result = std::from_chars(s.data() + i, s.data() + s.size(), magnitude, base);
  if (result.ec != std::errc() || result.ptr != s.data() + s.size()) return false;
  if (base == 16) {
    U bits = negative ? U(0) - magnitude : magnitude;
    value = static_cast<T>(bits);
    return true;
  }
  constexpr U maxPositive = static_cast<U>(std::numeric_limits<T>::max());
  if (negative) {
    if (magnitude > maxPositive + 1) return false;
    value = static_cast<T>(U(0) - magnitude);
  } else {
    if (magnitude > maxPositive) return false;
    value = static_cast<T>(magnitude);
  }
  return true;
}

[[noreturn]] void IntegerError(std::string_view s) {
  AnsiString message = "'";
  message.append(s);
  message += "' is not a valid integer value";
  throw EConvertError(message);
}

unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

}  // namespace

AnsiString FormatList(std::string_view fmt, std::initializer_list<FormatArg> args,
                      const TFormatSettings& settings) {
  return FormatParser(fmt, args, settings).Run();
}

AnsiString IntToStr(int64_t value) { return ToChars(value); }

AnsiString IntToHex(uint64_t value, int digits) { return IntegerText(false, value, 16, digits); }

bool TryStrToInt(std::string_view s, int& value) { return ParseInteger(s, value); }

int StrToInt(std::string_view s) {
  int value;
  if (!ParseInteger(s, value)) IntegerError(s);
  return value;
}

int StrToIntDef(std::string_view s, int defaultValue) {
  int value;
  return ParseInteger(s, value) ? value : defaultValue;
}

bool TryStrToInt64(std::string_view s, int64_t& value) { return ParseInteger(s, value); }

int64_t StrToInt64(std::string_view s) {
  int64_t value;
  if (!ParseInteger(s, value)) IntegerError(s);
  return value;
}

AnsiString Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

AnsiString TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return AnsiString(s.substr(i));
}

AnsiString TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return AnsiString(s.substr(0, n));
}

AnsiString UpperCase(std::string_view s) {
  AnsiString out(s);
  for (char& c : out) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  return out;
}

AnsiString LowerCase(std::string_view s) {
  AnsiString out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

int CompareStr(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int d = AsciiUpper(static_cast<unsigned char>(a[i])) - AsciiUpper(static_cast<unsigned char>(b[i]));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

AnsiString StringOfChar(char c, int count) {
  return count > 0 ? AnsiString(static_cast<std::size_t>(count), c) : AnsiString();
}

AnsiString QuotedStr(std::string_view s) {
  AnsiString out = "'";
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

AnsiString StringReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return AnsiString(s);
  AnsiString out;
  std::size_t i = 0;
  while (true) {
    std::size_t hit = s.find(from, i);
    if (hit == std::string_view::npos) break;
    out.append(s.substr(i, hit - i));
    out.append(to);
    i = hit + from.size();
  }
  out.append(s.substr(i));
  return out;
}

void Abort() { throw EAbort(); }
