// Typed field access of a DBF table and its expression link.
//
// How values are stored, by type letter:
//   C        text, left-aligned, blank-padded
//   N, F     decimal text with "." right-aligned to the field's length and
//            decimals
//   D        "yyyymmdd", eight blanks for no date
//   L        one letter ("T"/"F"; "TtYyJj" read as true)
//   M, B, G  memo block number as right-aligned digits; in version 0x30 M
//            and G hold a 4-byte LE block number and B is an 8-byte double
//   I        (0x30) 4-byte LE signed integer
//   T        (0x30) 4-byte LE Julian day and 4-byte LE milliseconds of the day
//   Y        (0x30) 8-byte LE integer, the value x 10000
// Other letters (such as the 0x30 null-flags field) keep their bytes.
#include "dbase/table/dbf_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/base/os_layer.h"
#include "dbase/base/variant.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int32_t kJulianDayOfMsZero = 1721425;
constexpr double kMsPerDay = 86400000.0;

// Numbers in dBase files always use "." whatever the locale.
const TFormatSettings& DotSettings() {
  static const TFormatSettings settings = [] {
    TFormatSettings s = CzechFormatSettings();
    s.DecimalSeparator = '.';
    s.ThousandSeparator = '\0';
    return s;
  }();
  return settings;
}

AnsiString TrimBlanksRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  return AnsiString(s.substr(0, n));
}

// Plain decimal text ("[+-]digits[.digits]" after leading blanks) of at
// most 15 digits, read without the general parser: the integer of its
// digits and the power of ten it is divided by are both exact doubles, so
// the one rounded division gives the correctly rounded value the general
// parser gives. Anything else (exponents, more digits, stray characters)
// returns false and takes the general path with its error.
bool ParsePlainDecimal(std::string_view s, double& value) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  uint64_t digits = 0;
  int count = 0;
  int decimals = 0;
  bool point = false;
  for (; i < n; ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      if (++count > 15) return false;
      digits = digits * 10 + static_cast<uint64_t>(c - '0');
      decimals += point ? 1 : 0;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (count == 0) return false;
  const double magnitude = static_cast<double>(digits) / kPowers[decimals];
  value = negative ? -magnitude : magnitude;
  return true;
}

AnsiString TrimBlanks(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\0')) ++b;
  return TrimBlanksRight(s.substr(b));
}

// Fixed-point text with exactly `decimals` decimals and "." as the point.
// Values from 1e15 up keep their 15 significant digits and are padded with
// zeros instead of switching to an exponent, which no N field can hold.
AnsiString FixedText(double value, int decimals) {
  if (std::fabs(value) < 1e15) {
    AnsiString text = FloatToStrF(value, TFloatFormat::ffFixed, 15, std::min(decimals, 18), DotSettings());
    if (decimals > 18) text.append(static_cast<std::size_t>(decimals - 18), '0');
    return text;
  }
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                              std::chars_format::scientific, 14);
  std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = sci.find('e');
  AnsiString digits;
  for (std::size_t i = 0; i < e; ++i)
    if (sci[i] != '.') digits += sci[i];
  int exponent = 0;
  std::string_view expText = sci.substr(e + 1);
  if (!expText.empty() && expText[0] == '+') expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
  const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() < integerDigits) digits.append(integerDigits - digits.size(), '0');
  AnsiString text;
  if (value < 0) text += '-';
  text += digits;
  if (decimals > 0) {
    text += '.';
    text.append(static_cast<std::size_t>(decimals), '0');
  }
  return text;
}

bool AllBytes(const char* p, int32_t n, char c) {
  for (int32_t i = 0; i < n; ++i)
    if (p[i] != c) return false;
  return true;
}

bool IsMachineType(uint8_t version, char type) {
  return version == 0x30 && (type == 'B' || type == 'G' || type == 'I' || type == 'M' ||
                             type == 'T' || type == 'Y');
}

// ---------------------------------------------------------------------------
// Expression link: the table's fields as variables and its table functions.

class TxbDbfFieldVar : public TxbUserDefFieldVar {
 public:
  TxbDbfFieldVar(XBO_dBaseFld& table, int number, std::string_view names, int32_t width)
      : TxbUserDefFieldVar(names, width, true), table_(table), number_(number) {}

  int SourceId() const override { return XBO_dBaseFld::kFieldSourceId; }

  void Evaluate(Variant& value, ExpressionValueType& type) override {
    switch (table_.FieldType(number_)) {
      case 'C':
        value = table_.GetRawN(number_);
        type = etText;
        break;
      case 'D':
        value = static_cast<double>(table_.GetDateN(number_));
        type = etDate;
        break;
      case 'N':
      case 'F':
        value = table_.GetNumberN(number_);
        type = etNumber;
        break;
      case 'L':
        value = table_.GetLogicalN(number_);
        type = etBoolean;
        break;
      case 'M':
        value = table_.GetMemoText(number_);
        type = etText;
        break;
      default:
        value = table_.GetRawN(number_);
        type = etText;
        break;
    }
  }

  // Text, number and date fields go from the record buffer into the value
  // buffer without a temporary text or variant, storing what the typed
  // reads below give; other types take the general path.
  bool EvaluateInto(TxbVariant& value, ExpressionValueType& type) override {
    switch (table_.FieldType(number_)) {
      case 'C':
        value.SetText(std::string_view(table_.Record() + table_.FieldOffset(number_),
                                       static_cast<std::size_t>(table_.FieldLength(number_))));
        type = etText;
        return true;
      case 'N':
      case 'F':
        value.SetNumber(table_.GetNumberN(number_));
        type = etNumber;
        return true;
      case 'D':
        value.SetDate(DayFromDouble(static_cast<double>(table_.GetDateN(number_))));
        type = etDate;
        return true;
      default: return false;
    }
  }

  // A field's type is fixed while the table is open; the typed reads are
  // Evaluate's cases without the variant.
  ExpressionValueType StaticType() const override {
    switch (table_.FieldType(number_)) {
      case 'D': return etDate;
      case 'N':
      case 'F': return etNumber;
      case 'L': return etBoolean;
      default: return etText;
    }
  }
  double NumberValue() override {
    return table_.FieldType(number_) == 'D' ? static_cast<double>(table_.GetDateN(number_))
                                            : table_.GetNumberN(number_);
  }
  bool LogicalValue() override { return table_.GetLogicalN(number_); }
  std::string_view TextValue() override {
    switch (table_.FieldType(number_)) {
      case 'C':
        return std::string_view(table_.Record() + table_.FieldOffset(number_),
                                static_cast<std::size_t>(table_.FieldLength(number_)));
      case 'M': spare_ = table_.GetMemoText(number_); break;
      default: spare_ = table_.GetRawN(number_); break;
    }
    return spare_;
  }

 private:
  XBO_dBaseFld& table_;
  int number_;
  AnsiString spare_;  // the last memo or raw value read
};

class TxbDbfFunction : public TxbUserDefFunction {
 public:
  enum Kind { kRecno, kDeleted, kBof, kEof, kType, kLen, kFieldNo };

  TxbDbfFunction(XBO_dBaseFld& table, Kind kind, const char* name)
      : table_(table), kind_(kind), name_(name) {}

  AnsiString FunctionName() const override { return name_; }

  void Evaluate(TxbExpFunction& node, Variant& value, ExpressionValueType& type) override {
    switch (kind_) {
      case kRecno:
        value = static_cast<double>(table_.RecordNumber());
        type = etNumber;
        return;
      case kDeleted:
        value = table_.IsDeleted();
        type = etBoolean;
        return;
      case kBof:
        value = table_.Bof();
        type = etBoolean;
        return;
      case kEof:
        value = table_.Eof();
        type = etBoolean;
        return;
      default:
        break;
    }
    Variant name;
    node.Handler()->ArgumentValue(node, 0, etText, name);
    const int n = table_.FieldNumber(name.AsString());
    if (kind_ == kType) {
      value = n > 0 ? AnsiString(1, table_.FieldType(n)) : AnsiString("U");
      type = etText;
    } else {
      value = static_cast<double>(kind_ == kLen ? table_.FieldLength(n) : n);
      type = etNumber;
    }
  }

 private:
  XBO_dBaseFld& table_;
  Kind kind_;
  AnsiString name_;
};

}  // namespace

// ---------------------------------------------------------------------------

XBO_dBaseFld::XBO_dBaseFld(const AnsiString& fileName, bool shared, bool readWrite,
                           const AnsiString& password)
    : XBO_dBaseDBF(fileName, shared, readWrite, password), link_(std::make_unique<TxbExpUserLink>()) {
  fields_.reserve(static_cast<std::size_t>(FieldCount()));
  for (int n = 1; n <= FieldCount(); ++n) {
    TxbDBFFields f;
    static_cast<TxbFieldDescriptor&>(f) = Descriptor(n);
    fields_.push_back(std::move(f));
    const AnsiString key = UpperCase(TrimBlanksRight(fields_.back().name));
    byName_.emplace(key, n);  // the first field of a name wins
  }
  RegisterWithLink();
}

XBO_dBaseFld::~XBO_dBaseFld() = default;

void XBO_dBaseFld::RegisterWithLink() {
  for (TxbDBFFields& f : fields_) {
    const AnsiString name = UpperCase(TrimBlanksRight(f.name));
    if (name.empty() || name.find(';') != AnsiString::npos || link_->FindVariable(name)) continue;
    link_->AddVariables(new TxbDbfFieldVar(*this, f.number, name + ";" + TableName() + "." + name, f.length));
    f.variable = link_->FindVariable(name);
  }
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kRecno, "RECNO"));
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kDeleted, "DELETED"));
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kBof, "BOF"));
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kEof, "EOF"));
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kType, "TYPE"));
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kLen, "LEN"));
  link_->AddFunction(new TxbDbfFunction(*this, TxbDbfFunction::kFieldNo, "FIELDNO"));
}

void XBO_dBaseFld::SetTranslateOem(bool on) {
  translateOem_ = on;
  link_->SetOemTexts(on);
}

// ---------------------------------------------------------------------------
// Lookup and descriptors

const TxbDBFFields* XBO_dBaseFld::FieldAt(int n) const {
  if (n < 1 || n > static_cast<int>(fields_.size())) return nullptr;
  return &fields_[static_cast<std::size_t>(n - 1)];
}

int XBO_dBaseFld::FieldNumber(std::string_view name) const {
  auto it = byName_.find(UpperCase(TrimBlanksRight(name)));
  return it == byName_.end() ? 0 : it->second;
}

const TxbDBFFields* XBO_dBaseFld::FieldDescriptor(std::string_view name) const {
  return FieldAt(FieldNumber(name));
}

const TxbDBFFields& XBO_dBaseFld::FieldByName(std::string_view name) const {
  const TxbDBFFields* f = FieldDescriptor(name);
  if (!f) XbRaise(xbmNoFieldName, FileName() + "->" + AnsiString(name));
  return *f;
}

void XBO_dBaseFld::CheckType(const TxbDBFFields& field, std::string_view types) const {
  if (types.find(field.type) == std::string_view::npos) XbRaise(xbmFieldIncorrectType, field.name);
}

void XBO_dBaseFld::RaiseFieldError(int messageId, const TxbDBFFields& field, std::string_view detail) const {
  XbRaise(messageId, TableName() + "->" + field.name + " (" + AnsiString(detail) + ")");
}

int32_t XBO_dBaseFld::FieldDecimals(int n) const {
  const TxbDBFFields* f = FieldAt(n);
  return f ? f->decimals : 0;
}

int32_t XBO_dBaseFld::FieldLength(int n) const {
  const TxbDBFFields* f = FieldAt(n);
  return f ? f->length : 0;
}

int32_t XBO_dBaseFld::FieldOffset(int n) const {
  const TxbDBFFields* f = FieldAt(n);
  return f ? f->offset : 0;
}

AnsiString XBO_dBaseFld::FieldName(int n) const {
  const TxbDBFFields* f = FieldAt(n);
  return f ? f->name : AnsiString();
}

char XBO_dBaseFld::FieldType(int n) const {
  const TxbDBFFields* f = FieldAt(n);
  return f ? f->type : '\0';
}

// ---------------------------------------------------------------------------
// Raw bytes

AnsiString XBO_dBaseFld::GetRaw(std::string_view name) { return GetRawN(FieldByName(name).number); }

AnsiString XBO_dBaseFld::GetRawN(int n) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return "";
  return AnsiString(Record() + f->offset, static_cast<std::size_t>(f->length));
}

void XBO_dBaseFld::PutRaw(std::string_view name, std::string_view text) {
  PutRawN(FieldByName(name).number, text);
}

void XBO_dBaseFld::PutRawN(int n, std::string_view text) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return;
  char* p = Record() + f->offset;
  const std::size_t length = static_cast<std::size_t>(f->length);
  std::memset(p, ' ', length);
  const std::size_t count = std::min(text.size(), length);
  const bool left = f->type == 'C' || f->type == 'D' || f->type == 'L';
  std::memcpy(left ? p : p + (length - count), text.data(), count);
  MarkChanged(n);
}

void XBO_dBaseFld::StoreRight(const TxbDBFFields& field, std::string_view text) {
  PutRawN(field.number, text);
}

// ---------------------------------------------------------------------------
// Numbers

double XBO_dBaseFld::ReadNumber(const TxbDBFFields& f) {
  const char* p = Record() + f.offset;
  if (IsMachineType(Version(), f.type)) {
    // Only the field's own bytes are read; a field shorter than its type
    // (a damaged descriptor) reads as if padded with zero bytes.
    char bytes[8] = {};
    std::memcpy(bytes, p, static_cast<std::size_t>(std::min(f.length, 8)));
    switch (f.type) {
      case 'B':
        return GetLeDouble(bytes);
      case 'I':
        if (AllBytes(p, std::min(f.length, 4), ' ')) return 0;
        return static_cast<int32_t>(GetLe32(bytes));
      case 'G':
      case 'M':
        if (AllBytes(p, std::min(f.length, 4), ' ')) return 0;
        return GetLe32(bytes);
      case 'T': {
        if (AllBytes(bytes, 8, '\0') || AllBytes(p, std::min(f.length, 8), ' ')) return 0;
        const int32_t day = static_cast<int32_t>(GetLe32(bytes));
        const int32_t ms = static_cast<int32_t>(GetLe32(bytes + 4));
        return (static_cast<double>(day) - kJulianDayOfMsZero) * kMsPerDay + ms;
      }
      case 'Y': {
        int64_t v = 0;
        std::memcpy(&v, bytes, 8);
        return static_cast<double>(v) / 10000.0;
      }
      default:
        break;
    }
  }
  std::string_view stored(p, static_cast<std::size_t>(f.length));
  while (!stored.empty() && (stored.back() == ' ' || stored.back() == '\0')) stored.remove_suffix(1);
  if (stored.empty()) return 0;
  double value = 0;
  if (ParsePlainDecimal(stored, value)) return value;
  const AnsiString text(stored);
  if (!TryStrToFloat(text, value, DotSettings())) RaiseFieldError(xbmInvalidNumericValue, f, text);
  return value;
}

double XBO_dBaseFld::GetNumber(std::string_view name) {
  const TxbDBFFields& f = FieldByName(name);
  CheckType(f, "NFBGIM");
  return ReadNumber(f);
}

double XBO_dBaseFld::GetNumberN(int n) {
  const TxbDBFFields* f = FieldAt(n);
  return f ? ReadNumber(*f) : 0;
}

void XBO_dBaseFld::StoreNumber(const TxbDBFFields& f, double value) {
  const bool vfp = Version() == 0x30;
  const bool allowed = f.type == 'B' || f.type == 'F' || f.type == 'G' || f.type == 'M' ||
                       f.type == 'N' || (vfp && (f.type == 'I' || f.type == 'T' || f.type == 'Y'));
  if (!allowed) XbRaise(xbmFieldIncorrectType, f.name);
  // Values that no text or integer can represent are refused instead of
  // being written as text that nothing reads back.
  if (!std::isfinite(value)) XbRaise(xbmInvalidValueForField, "Number", f.name);
  auto tooBig = [&] { XbRaise(xbmNumericTooBig, f.name + " - " + FloatToStr(value, DotSettings())); };

  if (IsMachineType(Version(), f.type)) {
    char* p = Record() + f.offset;
    char bytes[8] = {};
    switch (f.type) {
      case 'B':
        PutLeDouble(bytes, value);
        break;
      case 'I': {
        const double r = std::round(value);
        if (r < -2147483648.0 || r > 2147483647.0) tooBig();
        PutLe32(bytes, static_cast<uint32_t>(static_cast<int32_t>(r)));
        break;
      }
      case 'G':
      case 'M': {
        const double r = std::round(value);
        if (r < 0 || r > 4294967295.0) tooBig();
        PutLe32(bytes, static_cast<uint32_t>(r));
        break;
      }
      case 'T': {
        if (value != 0) {
          const double day = std::trunc(value / kMsPerDay);
          const double stored = day + kJulianDayOfMsZero;
          if (stored < -2147483648.0 || stored > 2147483647.0) tooBig();
          const double ms = std::round(value - day * kMsPerDay);
          PutLe32(bytes, static_cast<uint32_t>(static_cast<int32_t>(stored)));
          PutLe32(bytes + 4, static_cast<uint32_t>(static_cast<int32_t>(ms)));
        }
        break;
      }
      case 'Y': {
        const double r = std::round(value * 10000.0);
        // 2^63 is the first value that no 64-bit integer holds.
        if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) tooBig();
        const auto v = static_cast<int64_t>(r);
        std::memcpy(bytes, &v, 8);
        break;
      }
      default:
        break;
    }
    std::memcpy(p, bytes, static_cast<std::size_t>(std::min(f.length, 8)));
    MarkChanged(f.number);
    return;
  }
  const AnsiString text = FixedText(value, f.decimals);
  if (static_cast<int32_t>(text.size()) > f.length) XbRaise(xbmNumericTooBig, f.name + " - " + text);
  StoreRight(f, text);
}

void XBO_dBaseFld::PutNumber(std::string_view name, double value) { StoreNumber(FieldByName(name), value); }

void XBO_dBaseFld::PutNumberN(int n, double value) {
  const TxbDBFFields* f = FieldAt(n);
  if (f) StoreNumber(*f, value);
}

// ---------------------------------------------------------------------------
// Dates and logicals

int32_t XBO_dBaseFld::GetDate(std::string_view name) {
  const TxbDBFFields& f = FieldByName(name);
  CheckType(f, "D");
  return GetDateN(f.number);
}

int32_t XBO_dBaseFld::GetDateN(int n) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return 0;
  const std::string_view raw(Record() + f->offset, static_cast<std::size_t>(f->length));
  // Some writers fill an empty date with zero bytes instead of blanks.
  if (raw.find_first_not_of(std::string_view(" \0", 2)) == std::string_view::npos) return 0;
  try {
    return DbfDate().TextToJulian(raw);
  } catch (const EConvertError&) {
    RaiseFieldError(xbmInvalidDate, *f, AnsiString(raw));
  }
}

void XBO_dBaseFld::PutDate(std::string_view name, int32_t day) {
  const TxbDBFFields& f = FieldByName(name);
  CheckType(f, "D");
  PutDateN(f.number, day);
}

void XBO_dBaseFld::PutDateN(int n, int32_t day) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return;
  if (day == -1) XbRaise(xbmInvalidValueForField, "Date", f->name);
  PutRawN(n, DbfDate().JulianToDbfText(day));
}

bool XBO_dBaseFld::GetLogical(std::string_view name) {
  const TxbDBFFields& f = FieldByName(name);
  CheckType(f, "L");
  return GetLogicalN(f.number);
}

bool XBO_dBaseFld::GetLogicalN(int n) {
  const TxbDBFFields* f = FieldAt(n);
  return f && f->length > 0 && IsTrueLetter(Record()[f->offset]);
}

void XBO_dBaseFld::PutLogical(std::string_view name, bool value) {
  const TxbDBFFields& f = FieldByName(name);
  CheckType(f, "L");
  PutLogicalN(f.number, value);
}

void XBO_dBaseFld::PutLogicalN(int n, bool value) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return;
  if (f->type != 'L') XbRaise(xbmInvalidValueForField, "Logical", f->name);
  PutRawN(n, value ? "T" : "F");
}

// ---------------------------------------------------------------------------
// Text

AnsiString XBO_dBaseFld::GetText(std::string_view name) { return GetTextN(FieldByName(name).number); }

AnsiString XBO_dBaseFld::GetTextN(int n) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return "";
  const std::string_view raw(Record() + f->offset, static_cast<std::size_t>(f->length));
  switch (f->type) {
    case 'N':
    case 'F': {
      AnsiString text = TrimBlanks(raw);
      return text.empty() ? TrimBlanks(FixedText(0, f->decimals)) : text;
    }
    case 'D':
      return DbfDate().JulianToDisplay(GetDateN(n));
    case 'L':
      return GetLogicalN(n) ? "T" : "F";
    case 'M':
      return GetMemoText(n);
    case 'B':
    case 'G': {
      const bool upper = CompareStr(TrimBlanks(raw), "0") > 0;
      if (f->type == 'B') return upper ? "--BINARY--" : "--binary--";
      return upper ? "-GENERAL--" : "-general--";
    }
    default:
      return TrimBlanksRight(raw);
  }
}

void XBO_dBaseFld::PutText(std::string_view name, std::string_view text) {
  PutTextN(FieldByName(name).number, text);
}

void XBO_dBaseFld::PutTextN(int n, std::string_view text) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return;
  switch (f->type) {
    case 'D': {
      int32_t day = 0;
      try {
        day = DbfDate().TextToJulian(text);
      } catch (const EConvertError&) {
        XbRaise(xbmInvalidValueForField, "Date", f->name);
      }
      PutDateN(n, day);
      return;
    }
    case 'N':
    case 'F': {
      const AnsiString trimmed = TrimBlanksRight(text);
      double value = 0;
      if (!trimmed.empty() && !TryStrToFloat(trimmed, value)) XbRaise(xbmInvalidValueForField, "Number", f->name);
      PutNumberN(n, value);
      return;
    }
    case 'L': {
      bool value = false;
      if (!text.empty()) {
        if (IsTrueLetter(text[0])) {
          value = true;
        } else if (!IsFalseLetter(text[0])) {
          double number = 0;
          if (!TryStrToFloat(text, number)) XbRaise(xbmInvalidValueForField, "Logical", f->name);
          value = number != 0;
        }
      }
      PutLogicalN(n, value);
      return;
    }
    case 'M':
      PutMemo(n, text.data(), static_cast<int64_t>(text.size()));
      return;
    default:
      PutRawN(n, text);
      return;
  }
}

// ---------------------------------------------------------------------------
// Memo fields

int64_t XBO_dBaseFld::MemoBlock(int n) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return 0;
  const double value = ReadNumber(*f);
  if (value < 0 || value > 4294967295.0 || value != std::trunc(value))
    XbRaise(xbmMemoRecordBad, MemoFileNameFor(FileName(), Version()));
  return static_cast<int64_t>(value);
}

namespace {

// M, B and G hold memo block numbers, except B of version 0x30 (a double).
bool IsMemoField(uint8_t version, char type) {
  return type == 'M' || type == 'G' || (type == 'B' && version != 0x30);
}

}  // namespace

AnsiString XBO_dBaseFld::GetMemoText(int n) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return "";
  if (!IsMemoField(Version(), f->type)) XbRaise(xbmFieldIncorrectType, f->name);
  const int64_t block = MemoBlock(n);
  return block == 0 ? AnsiString() : MemoFile().ReadMemoText(block);
}

int64_t XBO_dBaseFld::MemoLength(int n) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return 0;
  if (!IsMemoField(Version(), f->type)) XbRaise(xbmFieldIncorrectType, f->name);
  const int64_t block = MemoBlock(n);
  return block == 0 ? 0 : MemoFile().MemoLength(block);
}

void XBO_dBaseFld::PutMemo(int n, const char* text, int64_t length) {
  const TxbDBFFields* f = FieldAt(n);
  if (!f) return;
  if (!IsMemoField(Version(), f->type)) XbRaise(xbmFieldIncorrectType, f->name);
  // The block the stored record refers to is never written over: a
  // cancelled edit, or a crash before the record is written, must find the
  // old text intact. Only blocks written earlier in this edit are reused. A
  // pointer that cannot be read is simply replaced.
  auto blockOr = [&](const char* record) -> int64_t {
    TxbRecordBufferRedirect view(*this, const_cast<char*>(record));
    try {
      return MemoBlock(n);
    } catch (const EXbaseError&) {
      return -1;
    }
  };
  const int64_t current = blockOr(Record());
  const int64_t saved = blockOr(SavedRecord());
  int64_t block = current > 0 && saved >= 0 && current != saved ? current : 0;
  int64_t stored = 0;
  if (length > 0) {
    stored = MemoFile().WriteMemo(text, block, length);
  } else if (block > 0) {
    MemoFile().FreeMemo(block);
  }
  if (Version() == 0x30) {
    char* p = Record() + f->offset;
    char bytes[4];
    PutLe32(bytes, static_cast<uint32_t>(stored));
    std::memcpy(p, bytes, static_cast<std::size_t>(std::min(f->length, 4)));
    MarkChanged(n);
  } else {
    const AnsiString digits = stored == 0 ? AnsiString() : IntToStr(stored);
    if (static_cast<int32_t>(digits.size()) > f->length) XbRaise(xbmNumericTooBig, f->name + " - " + digits);
    StoreRight(*f, digits);
  }
}

// ---------------------------------------------------------------------------
// Whole records

namespace {

void BlankInto(char* record, int32_t recordLength, uint8_t version, const std::vector<TxbDBFFields>& fields) {
  std::memset(record, ' ', static_cast<std::size_t>(recordLength));
  for (const TxbDBFFields& f : fields) {
    char* p = record + f.offset;
    if (f.type == 'N' || f.type == 'F') {
      const AnsiString zero = FixedText(0, f.decimals);
      if (static_cast<int32_t>(zero.size()) <= f.length)
        std::memcpy(p + (f.length - static_cast<int32_t>(zero.size())), zero.data(), zero.size());
    } else if (version == 0x30 && (IsMachineType(version, f.type) || f.type == '0')) {
      // Binary fields (and the null-flags field, where a blank would mark
      // fields as null for other programs) start as zero bytes.
      std::memset(p, 0, static_cast<std::size_t>(f.length));
    }
  }
}

}  // namespace

void XBO_dBaseFld::BlankRecord() {
  BlankInto(Record(), RecordLength(), Version(), fields_);
  SetAllChanged(true);
  SetRecordModified(true);
  Notify(xbnBlanked, 0);
}

bool XBO_dBaseFld::ChangeDeletionMark(char mark) {
  if (RecordNumber() < 1 || RecordNumber() > RecordCount()) return false;
  // A stale copy must never be written back over another process's change:
  // the record is locked, read again, and only its flag is changed.
  if (!LockCurrentRecord()) return false;
  try {
    ReadRecord(RecordNumber(), true);
    if (Record()[0] != mark) {
      Record()[0] = mark;
      MarkChanged(0);
      WriteRecord(RecordNumber());
    }
  } catch (...) {
    try {
      ReleaseLock();
    } catch (const EXbaseError&) {
    }
    throw;
  }
  ReleaseLock();
  return true;
}

bool XBO_dBaseFld::DeleteRecord() { return ChangeDeletionMark('*'); }

bool XBO_dBaseFld::RecallRecord() { return ChangeDeletionMark(' '); }

void XBO_dBaseFld::FillProbeRecord(char* buffer, std::string_view fieldList,
                                   const std::vector<Variant>& values) {
  const std::vector<unsigned char> flags = ChangeFlags();
  const bool modified = RecordModified();
  auto restore = [&] {
    ChangeFlags() = flags;
    SetRecordModified(modified);
  };
  TxbRecordBufferRedirect probe(*this, buffer);
  try {
    BlankInto(buffer, RecordLength(), Version(), fields_);
    std::size_t index = 0;
    std::size_t start = 0;
    while (start <= fieldList.size() && index < values.size()) {
      std::size_t end = fieldList.find(';', start);
      if (end == std::string_view::npos) end = fieldList.size();
      const AnsiString name = Trim(fieldList.substr(start, end - start));
      start = end + 1;
      if (name.empty()) continue;
      const TxbDBFFields& f = FieldByName(name);
      AnsiString text = values[index++].AsString();
      if (translateOem_) text = AnsiToOem(text);
      // A key never contains a memo; a probe must not write one.
      if (!IsMemoField(Version(), f.type)) PutTextN(f.number, text);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}
