// Packed decimals (TBcd) and the field that stores them (TBCDField). The
// conversions work on the digit text, so no value passes through a double
// unless a double is asked for.
#include <cmath>
#include <cstring>
#include <string>

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"
#include "platform/db/fields.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"

namespace {

constexpr int kMaxDigits = 64;

bool WellFormed(const TBcd& bcd) {
  if (bcd.Precision < 1 || bcd.Precision > kMaxDigits || bcd.Scale() > bcd.Precision) return false;
  for (int i = 0; i < bcd.Precision; ++i)
    if (bcd.Digit(i) > 9) return false;
  return true;
}

// Digits (most significant first, no sign) and the count of them after the
// point, into a TBcd. The digits must be 1 to 64 of them.
TBcd Pack(const std::string& digits, int scale, bool negative) {
  TBcd bcd;
  bcd.Precision = static_cast<uint8_t>(digits.size());
  bool zero = digits.find_first_not_of('0') == std::string::npos;
  bcd.SignSpecialPlaces = static_cast<uint8_t>((negative && !zero ? 0x80 : 0) | (scale & 0x3F));
  for (std::size_t i = 0; i < digits.size(); ++i) {
    uint8_t d = static_cast<uint8_t>(digits[i] - '0');
    bcd.Fraction[i / 2] |= static_cast<uint8_t>(i % 2 ? d : d << 4);
  }
  return bcd;
}

}  // namespace

TBcd CurrencyToBcd(Currency value) {
  bool negative = value.scaled < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.scaled)
                                : static_cast<uint64_t>(value.scaled);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');  // at least "0.0000"
  return Pack(digits, 4, negative);
}

bool TryBcdToCurrency(const TBcd& bcd, Currency& value) {
  if (!WellFormed(bcd)) return false;
  int scale = bcd.Scale();
  int integerDigits = bcd.Precision - scale;
  // Scaled by 10^4 as unsigned magnitude; digits beyond the fourth decimal
  // round half away from zero.
  uint64_t magnitude = 0;
  constexpr uint64_t kLimit = static_cast<uint64_t>(INT64_MAX) + 1;
  for (int i = 0; i < integerDigits + 4; ++i) {
    int d = i < bcd.Precision && i - integerDigits < scale ? bcd.Digit(i) : 0;
    if (magnitude > (kLimit - static_cast<uint64_t>(d)) / 10) return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(d);
  }
  if (integerDigits + 4 < bcd.Precision && bcd.Digit(integerDigits + 4) >= 5) ++magnitude;
  bool negative = bcd.Negative();
  if (magnitude > kLimit || (!negative && magnitude == kLimit)) return false;
  value.scaled = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

AnsiString BcdToStr(const TBcd& bcd, char decimalSeparator) {
  if (!WellFormed(bcd)) return AnsiString();
  int scale = bcd.Scale();
  int integerDigits = bcd.Precision - scale;
  std::string integer;
  for (int i = 0; i < integerDigits; ++i) integer += static_cast<char>('0' + bcd.Digit(i));
  std::size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? "0" : integer.substr(first);
  std::string text = integer;
  if (scale > 0) {
    text += decimalSeparator;
    for (int i = integerDigits; i < bcd.Precision; ++i) text += static_cast<char>('0' + bcd.Digit(i));
  }
  bool zero = text.find_first_of("123456789") == std::string::npos;
  if (bcd.Negative() && !zero) text.insert(0, 1, '-');
  return AnsiString(text);
}

bool TryStrToBcd(std::string_view text, TBcd& bcd, char decimalSeparator) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits;
  int scale = -1;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digits += c;
      if (scale >= 0) ++scale;
    } else if (c == decimalSeparator && scale < 0) {
      scale = 0;
    } else {
      return false;
    }
  }
  if (digits.empty()) return false;
  if (scale < 0) scale = 0;
  // Leading zeros of the integer part carry nothing; keep one before the point.
  while (static_cast<int>(digits.size()) > scale + 1 && digits[0] == '0') digits.erase(0, 1);
  if (digits.size() > static_cast<std::size_t>(kMaxDigits)) return false;
  bcd = Pack(digits, scale, negative);
  return true;
}

bool TryDoubleToBcd(double value, int decimals, TBcd& bcd) {
  if (!std::isfinite(value) || decimals < 0 || decimals > 20) return false;
  TFormatSettings dot = DotDecimalSettings();
  AnsiString text = FloatToStrF(value, TFloatFormat::ffFixed, 15, decimals, dot);
  return TryStrToBcd(text, bcd, dot.DecimalSeparator);
}

bool TryBcdToDouble(const TBcd& bcd, double& value) {
  AnsiString text = BcdToStr(bcd, '.');
  if (text.empty()) return false;
  return TryStrToFloat(text, value, DotDecimalSettings());
}

// --------------------------------------------------------------- TBCDField

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner) {
  SetDataType(ftBCD);
  SetSize(4);
}

bool TBCDField::GetBcd(TBcd& value) const { return GetData(&value); }

::Currency TBCDField::GetAsCurrency() const {
  TBcd bcd;
  if (!GetBcd(bcd)) return {};
  ::Currency value;
  if (!TryBcdToCurrency(bcd, value)) DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  return value;
}

void TBCDField::SetAsCurrencyValue(::Currency value) {
  TBcd bcd = CurrencyToBcd(value);
  SetData(&bcd);
}

double TBCDField::GetAsFloat() const { return GetAsCurrency().ToDouble(); }

void TBCDField::SetAsFloatValue(double value) {
  if (!std::isfinite(value)) DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  SetAsCurrencyValue(::Currency::FromDouble(value));
}

int32_t TBCDField::GetAsInteger() const {
  double v = GetAsFloat();
  return static_cast<int32_t>(std::llround(std::fmax(std::fmin(v, INT32_MAX), INT32_MIN)));
}

void TBCDField::SetAsIntegerValue(int32_t value) {
  SetAsCurrencyValue(::Currency{static_cast<int64_t>(value) * 10000});
}

AnsiString TBCDField::GetAsString() const {
  TBcd bcd;
  if (!GetBcd(bcd)) return AnsiString();
  return BcdToStr(bcd, FormatSettings().DecimalSeparator);
}

void TBCDField::SetAsStringValue(const AnsiString& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  TBcd bcd;
  if (!TryStrToBcd(value, bcd, FormatSettings().DecimalSeparator))
    DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  SetData(&bcd);
}

AnsiString TBCDField::GetTextValue(bool) const { return GetAsString(); }

Variant TBCDField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsCurrency());
}

void TBCDField::SetAsVariantValue(const Variant& value) {
  if (value.IsString()) {
    SetAsStringValue(value.StringRef());
    return;
  }
  SetAsFloatValue(value.AsDouble());
}
