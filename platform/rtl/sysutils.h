// The class library's basic services: the exception root and its common
// descendants, Format, integer <-> text conversion and small text helpers.
//
// No <format> in this toolchain: every formatted text goes through Format.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/format_settings.h"

// Root of every exception the program raises. Message() is the CP1250 text
// shown to the user; what() is its UTF-8 form for logs and test output.
class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message);
  const AnsiString& Message() const { return message_; }
  void SetMessage(AnsiString message);
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  AnsiString message_;
  std::string utf8_;
};

#define RTL_EXCEPTION(Name, Base)   \
  class Name : public Base {        \
   public:                          \
    using Base::Base;               \
  };

RTL_EXCEPTION(EConvertError, Exception)
RTL_EXCEPTION(EStringListError, Exception)
RTL_EXCEPTION(EStreamError, Exception)
RTL_EXCEPTION(EReadError, EStreamError)       // "Stream read error"
RTL_EXCEPTION(EWriteError, EStreamError)      // "Stream write error"
RTL_EXCEPTION(EFOpenError, EStreamError)
RTL_EXCEPTION(EFCreateError, EStreamError)
RTL_EXCEPTION(EInOutError, Exception)

// The silent exception: an operation a handler chose to abandon (an
// OnPostError handler answering daAbort). Application handlers show
// nothing for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};
// The silent abort: raises EAbort, which the application's exception handler
// passes over without a message.
[[noreturn]] void Abort();
RTL_EXCEPTION(EIntError, Exception)
RTL_EXCEPTION(EDivByZero, EIntError)          // "Division by zero"
RTL_EXCEPTION(EMathError, Exception)
RTL_EXCEPTION(EZeroDivide, EMathError)        // "Floating point division by zero"
RTL_EXCEPTION(EOverflow, EMathError)          // "Floating point overflow"
RTL_EXCEPTION(EInvalidOp, EMathError)         // "Invalid floating point operation"

// One argument of Format: integers, floating point values and texts.
class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Float, Text };

  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                          std::is_signed_v<T>, int> = 0>
  FormatArg(T v) : kind_(Kind::Signed), i_(v) {}
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                          std::is_unsigned_v<T>, int> = 0>
  FormatArg(T v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(double v) : kind_(Kind::Float), f_(v) {}
  FormatArg(float v) : kind_(Kind::Float), f_(v) {}
  FormatArg(const char* v) : kind_(Kind::Text), s_(v ? v : "") {}
  FormatArg(std::string_view v) : kind_(Kind::Text), s_(v) {}
  FormatArg(const AnsiString& v) : kind_(Kind::Text), s_(v) {}

  Kind kind() const { return kind_; }
  int64_t AsSigned() const { return i_; }
  uint64_t AsUnsigned() const { return u_; }
  double AsFloat() const { return f_; }
  std::string_view AsText() const { return s_; }

 private:
  Kind kind_;
  union {
    int64_t i_;
    uint64_t u_;
    double f_;
  };
  std::string_view s_;
};

// Format with the class library's directives: %s %d %u %x %f %e %g %n %m
// %%, optional index "%1:s", "-" flag, width and precision (also "*").
// Arguments are inserted verbatim: a "%" inside an argument is never
// interpreted. A missing or mismatched argument raises EConvertError
// "Format '%s' invalid or incompatible with argument".
// %f and %n default to 2 decimals, %e and %g to 15 significant digits; the
// decimal and thousand separators come from the given settings.
AnsiString FormatList(std::string_view fmt, std::initializer_list<FormatArg> args,
                      const TFormatSettings& settings);

template <class... Args>
AnsiString Format(std::string_view fmt, const Args&... args) {
  return FormatList(fmt, {FormatArg(args)...}, FormatSettings());
}

template <class... Args>
AnsiString FormatWith(const TFormatSettings& settings, std::string_view fmt, const Args&... args) {
  return FormatList(fmt, {FormatArg(args)...}, settings);
}

// Integers and text. StrToInt accepts optional blanks, a sign and a leading
// "$" (or "0x") for hexadecimal; failure raises EConvertError
// "'%s' is not a valid integer value".
AnsiString IntToStr(int64_t value);
AnsiString IntToHex(uint64_t value, int digits);
int StrToInt(std::string_view s);
bool TryStrToInt(std::string_view s, int& value);
int StrToIntDef(std::string_view s, int defaultValue);
int64_t StrToInt64(std::string_view s);
bool TryStrToInt64(std::string_view s, int64_t& value);

// Trimming removes bytes <= 0x20 (blanks and control characters).
AnsiString Trim(std::string_view s);
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);

// ASCII-only case conversion and ordinal comparison (the locale-aware forms
// live in locale_compare.h and codepages.h).
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);
int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

AnsiString StringOfChar(char c, int count);
AnsiString QuotedStr(std::string_view s);  // 'it''s'
// Replaces every occurrence (or the first) of from by to; case-sensitive.
AnsiString StringReplaceAll(std::string_view s, std::string_view from, std::string_view to);
