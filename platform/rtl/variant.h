// Variant: the class library's dynamically typed value, as far as the
// program uses it: unassigned, null, Boolean, 64-bit integer, double, date
// and time (TDateTime), text (AnsiString) and arrays of variants (several
// key values at once). The expression language carries its intermediate
// values in it; datasets carry field values and keys.
//
// Arithmetic follows the class library: + - * / on numeric kinds give a
// double, + on two texts concatenates, an unassigned operand counts as 0 (or
// as the empty text beside a text), a null operand makes the result null.
// A result that is not a finite double raises the math error the hardware
// would have signalled: x/0 EZeroDivide, 0/0 and other invalid operations
// EInvalidOp, overflow EOverflow. Every other combination raises
// EVariantInvalidOpError.
//
// Comparisons (== != < > <= >=): numbers compare numerically (two integers
// exactly, otherwise as doubles); Booleans (-1/0) and dates (day counts) take
// part as their numbers and unassigned as 0, or as the empty text beside a
// text. A text beside a number converts with the process format settings
// (EVariantTypeCastError when it is none), a text beside a date through
// StrToDate; two texts compare with AnsiCompareStr (Czech collation). An
// array operand raises EVariantInvalidOpError. A null operand makes every
// comparison false, except that != is true when exactly one side is null.
//
// Modulus (%): both operands as integers (rounded), the remainder with the
// sign of the dividend; a null operand gives null, a divisor of 0 raises
// EDivByZero "Division by zero".
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"

RTL_EXCEPTION(EVariantError, Exception)
RTL_EXCEPTION(EVariantInvalidOpError, EVariantError)    // "Invalid variant operation"
RTL_EXCEPTION(EVariantTypeCastError, EVariantError)     // "Could not convert variant of type (%s) into type (%s)"

// Type codes of the class library (the subset that exists here). An array
// reports varArray | varVariant.
enum TVarType : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varDouble = 0x0005,
  varDate = 0x0007,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varInt64 = 0x0014,
  varString = 0x0100,
  varArray = 0x2000,
};

// The class library's fixed-point money type: a 64-bit count of 1/10000.
struct Currency {
  int64_t scaled = 0;
  // Rounded half away from zero to four decimals; a value beyond the range
  // raises EOverflow.
  static Currency FromDouble(double value);
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  friend bool operator==(Currency a, Currency b) { return a.scaled == b.scaled; }
};

class Variant {
 public:
  // Unassigned.
  Variant() = default;
  Variant(bool value) : value_(value) {}
  Variant(int value) : value_(static_cast<int64_t>(value)) {}
  Variant(int64_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  // Money is carried as its double value.
  Variant(Currency value) : value_(value.ToDouble()) {}
  Variant(const char* value) : value_(AnsiString(value ? value : "")) {}
  Variant(std::string_view value) : value_(AnsiString(value)) {}
  Variant(const AnsiString& value) : value_(value) {}
  Variant(AnsiString&& value) : value_(std::move(value)) {}

  static Variant Null();
  // A date and time (kind varDate).
  static Variant FromDateTime(TDateTime value);
  // An array of the given elements, indexed from lowBound.
  static Variant Array(std::vector<Variant> elements, int lowBound = 0);

  TVarType VarType() const;
  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsNull() const { return std::holds_alternative<NullTag>(value_); }
  // Double, integer or Boolean.
  bool IsNumeric() const;
  bool IsString() const { return std::holds_alternative<AnsiString>(value_); }
  bool IsDateTime() const { return std::holds_alternative<DateTag>(value_); }
  bool IsArray() const { return std::holds_alternative<ArrayPtr>(value_); }

  // Arrays: the number of elements, the bounds, and one element (an index
  // outside the bounds, or a value that is no array, raises EVariantError
  // "Variant or safe array index out of bounds").
  int ArrayCount() const;
  int ArrayLowBound() const;
  int ArrayHighBound() const;
  const Variant& Element(int index) const;

  // Makes the value unassigned.
  void Clear() { value_ = std::monostate(); }

  // Conversions. Unassigned gives false, 0, "" ; null raises
  // EVariantTypeCastError except for AsString (""). A text converts to a
  // number with the process format settings and raises
  // EVariantTypeCastError when it is none. Booleans are "True"/"False" as
  // text and -1/0 as numbers; a number is true when it is not 0. A date is
  // its day count as a number and DateToStr/DateTimeToStr as text. An
  // array converts to nothing (EVariantTypeCastError).
  bool AsBool() const;
  double AsDouble() const;
  int64_t AsInt64() const;
  AnsiString AsString() const;
  // Numbers and dates as they are; a text through StrToDate.
  TDateTime AsDateTime() const;
  // The text of a string variant without a copy; empty for any other kind.
  const AnsiString& StringRef() const;
  // The text of a string variant moved out (the variant keeps an empty
  // text); any other kind converts as AsString. Saves a copy where a
  // temporary value is consumed.
  AnsiString TakeString();

  friend Variant operator+(const Variant& a, const Variant& b);
  friend Variant operator-(const Variant& a, const Variant& b);
  friend Variant operator*(const Variant& a, const Variant& b);
  friend Variant operator/(const Variant& a, const Variant& b);
  friend Variant operator%(const Variant& a, const Variant& b);

  friend bool operator==(const Variant& a, const Variant& b);
  friend bool operator!=(const Variant& a, const Variant& b);
  friend bool operator<(const Variant& a, const Variant& b);
  friend bool operator>(const Variant& a, const Variant& b);
  friend bool operator<=(const Variant& a, const Variant& b);
  friend bool operator>=(const Variant& a, const Variant& b);

 private:
  struct NullTag {};
  struct DateTag {
    double value;
  };
  struct ArrayData;
  using ArrayPtr = std::shared_ptr<const ArrayData>;
  std::variant<std::monostate, NullTag, bool, int64_t, double, AnsiString, DateTag, ArrayPtr> value_;
};

// The unassigned value.
inline const Variant Unassigned{};

inline TVarType VarType(const Variant& v) { return v.VarType(); }
inline bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }
inline bool VarIsNull(const Variant& v) { return v.IsNull(); }
inline AnsiString VarToStr(const Variant& v) { return v.AsString(); }

// Returns value when it is finite; otherwise raises EOverflow for an
// infinity and EInvalidOp for NaN, as a floating point unit with its
// exceptions unmasked would have done.
double CheckedFloat(double value);
// a / b with the class library's errors: b = 0 raises EZeroDivide, or
// EInvalidOp when a is 0 as well; a non-finite quotient as CheckedFloat.
double CheckedDivide(double a, double b);
