// Variant values and their arithmetic. The only subtle part is the error
// mapping: results are computed in IEEE doubles and a non-finite result is
// turned into the exception the class library raises for it.
#include "platform/rtl/variant.h"

#include <cmath>

#include "platform/rtl/floatconv.h"
#include "platform/rtl/locale_compare.h"

struct Variant::ArrayData {
  std::vector<Variant> elements;
  int lowBound = 0;
};

namespace {

const char* TypeName(TVarType type) {
  switch (type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varDouble: return "Double";
    case varDate: return "Date";
    case varBoolean: return "Boolean";
    case varInt64: return "Int64";
    case varString: return "String";
    default: return "Array Variant";
  }
}

[[noreturn]] void CastError(TVarType from, TVarType to) {
  throw EVariantTypeCastError(Format("Could not convert variant of type (%s) into type (%s)",
                                     TypeName(from), TypeName(to)));
}

[[noreturn]] void InvalidOp() { throw EVariantInvalidOpError("Invalid variant operation"); }

[[noreturn]] void OutOfBounds() { throw EVariantError("Variant or safe array index out of bounds"); }

enum class ArithOp { Add, Subtract, Multiply, Divide };

Variant Arithmetic(const Variant& a, const Variant& b, ArithOp op) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (op == ArithOp::Add && (a.IsString() || b.IsString())) {
    // Two texts, or a text beside unassigned, concatenate.
    if ((a.IsString() || a.IsEmpty()) && (b.IsString() || b.IsEmpty()))
      return Variant(a.StringRef() + b.StringRef());
    InvalidOp();
  }
  // Unassigned counts as 0 beside numbers; dates take part as day counts.
  auto numeric = [](const Variant& v) { return v.IsNumeric() || v.IsEmpty() || v.IsDateTime(); };
  if (!numeric(a) || !numeric(b)) InvalidOp();
  double x = a.AsDouble();
  double y = b.AsDouble();
  switch (op) {
    case ArithOp::Add: return Variant(CheckedFloat(x + y));
    case ArithOp::Subtract: return Variant(CheckedFloat(x - y));
    case ArithOp::Multiply: return Variant(CheckedFloat(x * y));
    case ArithOp::Divide: return Variant(CheckedDivide(x, y));
  }
  InvalidOp();
}

// Three-way comparison of two non-null values: < 0, 0, > 0.
int CompareValues(const Variant& a, const Variant& b) {
  if (a.IsArray() || b.IsArray()) InvalidOp();
  auto textLike = [](const Variant& v) { return v.IsString() || v.IsEmpty(); };
  if (textLike(a) && textLike(b)) {
    int c = AnsiCompareStr(a.StringRef(), b.StringRef());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (a.VarType() == varInt64 && b.VarType() == varInt64) {
    int64_t x = a.AsInt64();
    int64_t y = b.AsInt64();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  // A text beside a date reads as a date; beside anything else as a number.
  auto number = [](const Variant& v, const Variant& other) {
    return v.IsString() && other.IsDateTime() ? v.AsDateTime() : v.AsDouble();
  };
  double x = number(a, b);
  double y = number(b, a);
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

Variant operator%(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.IsArray() || b.IsArray()) InvalidOp();
  int64_t x = a.AsInt64();
  int64_t y = b.AsInt64();
  if (y == 0) throw EDivByZero("Division by zero");
  if (y == -1) return Variant(int64_t{0});  // INT64_MIN % -1 overflows in C++
  return Variant(x % y);
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return false;
  return CompareValues(a, b) == 0;
}

bool operator!=(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() != b.IsNull();
  return CompareValues(a, b) != 0;
}

bool operator<(const Variant& a, const Variant& b) {
  return !a.IsNull() && !b.IsNull() && CompareValues(a, b) < 0;
}

bool operator>(const Variant& a, const Variant& b) {
  return !a.IsNull() && !b.IsNull() && CompareValues(a, b) > 0;
}

bool operator<=(const Variant& a, const Variant& b) {
  return !a.IsNull() && !b.IsNull() && CompareValues(a, b) <= 0;
}

bool operator>=(const Variant& a, const Variant& b) {
  return !a.IsNull() && !b.IsNull() && CompareValues(a, b) >= 0;
}

Currency Currency::FromDouble(double value) {
  double scaled = std::round(value * 10000.0);
  if (!(scaled > -9223372036854775808.0 && scaled < 9223372036854775808.0)) {
    throw EOverflow("Floating point overflow");
  }
  return Currency{static_cast<int64_t>(scaled)};
}

Variant Variant::Null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

Variant Variant::FromDateTime(TDateTime value) {
  Variant v;
  v.value_ = DateTag{value};
  return v;
}

Variant Variant::Array(std::vector<Variant> elements, int lowBound) {
  Variant v;
  v.value_ = std::make_shared<const ArrayData>(ArrayData{std::move(elements), lowBound});
  return v;
}

TVarType Variant::VarType() const {
  if (IsEmpty()) return varEmpty;
  if (IsNull()) return varNull;
  if (std::holds_alternative<bool>(value_)) return varBoolean;
  if (std::holds_alternative<int64_t>(value_)) return varInt64;
  if (std::holds_alternative<double>(value_)) return varDouble;
  if (IsDateTime()) return varDate;
  if (IsString()) return varString;
  return static_cast<TVarType>(varArray | varVariant);
}

bool Variant::IsNumeric() const {
  return std::holds_alternative<bool>(value_) || std::holds_alternative<int64_t>(value_) ||
         std::holds_alternative<double>(value_);
}

int Variant::ArrayCount() const {
  return IsArray() ? static_cast<int>(std::get<ArrayPtr>(value_)->elements.size()) : 0;
}

int Variant::ArrayLowBound() const { return IsArray() ? std::get<ArrayPtr>(value_)->lowBound : 0; }

int Variant::ArrayHighBound() const { return ArrayLowBound() + ArrayCount() - 1; }

const Variant& Variant::Element(int index) const {
  if (!IsArray() || index < ArrayLowBound() || index > ArrayHighBound()) OutOfBounds();
  const ArrayData& data = *std::get<ArrayPtr>(value_);
  return data.elements[static_cast<std::size_t>(index - data.lowBound)];
}

bool Variant::AsBool() const {
  if (IsEmpty()) return false;
  if (auto* b = std::get_if<bool>(&value_)) return *b;
  if (auto* i = std::get_if<int64_t>(&value_)) return *i != 0;
  if (auto* d = std::get_if<double>(&value_)) return *d != 0;
  if (auto* t = std::get_if<DateTag>(&value_)) return t->value != 0;
  if (auto* s = std::get_if<AnsiString>(&value_)) {
    AnsiString trimmed = Trim(*s);
    if (SameText(trimmed, "True")) return true;
    if (SameText(trimmed, "False")) return false;
    double d;
    if (TryStrToFloat(*s, d)) return d != 0;
  }
  CastError(VarType(), varBoolean);
}

double Variant::AsDouble() const {
  if (IsEmpty()) return 0;
  if (auto* b = std::get_if<bool>(&value_)) return *b ? -1 : 0;
  if (auto* i = std::get_if<int64_t>(&value_)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&value_)) return *d;
  if (auto* t = std::get_if<DateTag>(&value_)) return t->value;
  if (auto* s = std::get_if<AnsiString>(&value_)) {
    double d;
    if (TryStrToFloat(*s, d)) return d;
  }
  CastError(VarType(), varDouble);
}

int64_t Variant::AsInt64() const {
  if (auto* i = std::get_if<int64_t>(&value_)) return *i;
  double d = AsDouble();
  // Rounded as the class library does, and refused outside the range
  // rather than cast with undefined behaviour.
  double r = std::nearbyint(d);
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) CastError(VarType(), varInt64);
  return static_cast<int64_t>(r);
}

TDateTime Variant::AsDateTime() const {
  if (auto* s = std::get_if<AnsiString>(&value_)) {
    TDateTime date;
    if (TryStrToDate(*s, date)) return date;
    CastError(varString, varDate);
  }
  if (IsNull() || IsArray()) CastError(VarType(), varDate);
  return AsDouble();
}

AnsiString Variant::AsString() const {
  if (IsEmpty() || IsNull()) return AnsiString();
  if (auto* b = std::get_if<bool>(&value_)) return *b ? "True" : "False";
  if (auto* i = std::get_if<int64_t>(&value_)) return IntToStr(*i);
  if (auto* d = std::get_if<double>(&value_)) return FloatToStr(*d);
  if (auto* t = std::get_if<DateTag>(&value_)) {
    return t->value == std::trunc(t->value) ? DateToStr(t->value) : DateTimeToStr(t->value);
  }
  if (auto* s = std::get_if<AnsiString>(&value_)) return *s;
  CastError(VarType(), varString);
}

const AnsiString& Variant::StringRef() const {
  static const AnsiString empty;
  if (auto* s = std::get_if<AnsiString>(&value_)) return *s;
  return empty;
}

AnsiString Variant::TakeString() {
  if (auto* s = std::get_if<AnsiString>(&value_)) return std::move(*s);
  return AsString();
}

Variant operator+(const Variant& a, const Variant& b) { return Arithmetic(a, b, ArithOp::Add); }
Variant operator-(const Variant& a, const Variant& b) { return Arithmetic(a, b, ArithOp::Subtract); }
Variant operator*(const Variant& a, const Variant& b) { return Arithmetic(a, b, ArithOp::Multiply); }
Variant operator/(const Variant& a, const Variant& b) { return Arithmetic(a, b, ArithOp::Divide); }

double CheckedFloat(double value) {
  if (std::isnan(value)) throw EInvalidOp("Invalid floating point operation");
  if (std::isinf(value)) throw EOverflow("Floating point overflow");
  return value;
}

double CheckedDivide(double a, double b) {
  if (b == 0) {
    if (a == 0 || std::isnan(a)) throw EInvalidOp("Invalid floating point operation");
    throw EZeroDivide("Floating point division by zero");
  }
  return CheckedFloat(a / b);
}
