// Field objects: binding state, native value access, the value conversions
// between the native layout and program types, and the field list. Text
// conversions (display and edit texts, parsing) are in field_text.cpp.
#include "platform/db/fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"
#include "platform/rtl/floatconv.h"

namespace {


int IntegerSize(TFieldType t) {
  switch (t) {
    case ftSmallint:
    case ftWord: return 2;
    case ftLargeint: return 8;
    default: return 4;
  }
}

int64_t ReadInteger(TFieldType t, const void* p) {
  switch (t) {
    case ftSmallint: return LoadBufferValue<int16_t>(p);
    case ftWord: return LoadBufferValue<uint16_t>(p);
    case ftLargeint: return LoadBufferValue<int64_t>(p);
    default: return LoadBufferValue<int32_t>(p);
  }
}

// The range the native type can hold.
void NativeRange(TFieldType t, int64_t& lo, int64_t& hi) {
  switch (t) {
    case ftSmallint: lo = INT16_MIN; hi = INT16_MAX; return;
    case ftWord: lo = 0; hi = UINT16_MAX; return;
    case ftLargeint: lo = INT64_MIN; hi = INT64_MAX; return;
    default: lo = INT32_MIN; hi = INT32_MAX; return;
  }
}

void WriteInteger(TFieldType t, void* p, int64_t v) {
  switch (t) {
    case ftSmallint: StoreBufferValue(p, static_cast<int16_t>(v)); return;
    case ftWord: StoreBufferValue(p, static_cast<uint16_t>(v)); return;
    case ftLargeint: StoreBufferValue(p, v); return;
    default: StoreBufferValue(p, static_cast<int32_t>(v)); return;
  }
}

// A double rounded to an integer of the range, or false.
bool RoundToInt64(double value, int64_t lo, int64_t hi, int64_t& out) {
  if (!std::isfinite(value)) return false;
  double r = std::nearbyint(value);
  if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return false;
  // The bounds of int64 are not exact doubles: 2^63 itself must be refused.
  if (r >= 9223372036854775808.0) return false;
  out = static_cast<int64_t>(r);
  return true;
}

}  // namespace

// ------------------------------------------------------------- time stamps

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  TTimeStamp stamp;
  double whole = std::trunc(value);
  double ms = std::nearbyint(std::fabs(value - whole) * kMSecsPerDay);
  stamp.Date = static_cast<int32_t>(whole) + kDateDelta;
  stamp.Time = static_cast<int32_t>(ms);
  if (stamp.Time >= kMSecsPerDay) {
    stamp.Date += 1;
    stamp.Time = 0;
  }
  return stamp;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  double days = static_cast<double>(stamp.Date) - kDateDelta;
  double fraction = static_cast<double>(stamp.Time) / kMSecsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
  return static_cast<double>(stamp.Date) * kMSecsPerDay + stamp.Time;
}

TTimeStamp MSecsToTimeStamp(double msecs) {
  TTimeStamp stamp;
  double days = std::floor(msecs / kMSecsPerDay);
  stamp.Date = static_cast<int32_t>(days);
  stamp.Time = static_cast<int32_t>(msecs - days * kMSecsPerDay);
  return stamp;
}

// ------------------------------------------------------------------ TField

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
  if (lookupDataSet_) RemoveFreeNotification(lookupDataSet_);
  if (dataSet_) dataSet_->fields_.Remove(this);
}

void TField::CheckInactive() const {
  if (dataSet_) dataSet_->CheckInactive();
}

void TField::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) dataSet_->CheckInactive();
  if (dataSet) {
    dataSet->CheckInactive();
    if (!fieldName_.empty() && dataSet->FindField(fieldName_))
      DatabaseErrorFmt(dbmsg::DuplicateFieldName, fieldName_);
  }
  if (dataSet_) dataSet_->fields_.Remove(this);
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->fields_.Add(this);
  if (auto* object = dynamic_cast<TObjectField*>(this)) object->AttachChildren(dataSet_);
}

void TField::SetFieldName(const AnsiString& name) {
  if (name == fieldName_) return;
  CheckInactive();
  if (dataSet_) {
    TField* other = dataSet_->FindField(name);
    if (other && other != this) DatabaseErrorFmt(dbmsg::DuplicateFieldName, name);
  }
  fieldName_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
  if (kind == fieldKind_) return;
  CheckInactive();
  fieldKind_ = kind;
}

void TField::SetSize(int size) {
  if (size == size_) return;
  CheckInactive();
  if (size < 0 || size > 65535) DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  size_ = size;
}

int TField::Index() const { return dataSet_ ? dataSet_->fields_.IndexOf(this) : -1; }

void TField::SetIndex(int index) {
  if (!dataSet_) return;
  dataSet_->fields_.SetFieldIndex(this, index);
  if (dataSet_->Active()) dataSet_->DataEvent(deFieldListChange, 0);
}

void TField::Changed() {
  if (dataSet_ && dataSet_->Active()) dataSet_->DataEvent(deLayoutChange, 0);
}

void TField::SetDisplayLabel(const AnsiString& label) {
  // The field name itself is no label of its own.
  AnsiString value = label == fieldName_ ? AnsiString() : label;
  if (value == displayLabel_) return;
  displayLabel_ = value;
  Changed();
}

void TField::SetDisplayWidth(int width) {
  if (width == displayWidth_) return;
  displayWidth_ = width;
  Changed();
}

void TField::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Changed();
}

void TField::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  Changed();
}

void TField::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed();
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
  if (dataSet == lookupDataSet_) return;
  if (lookupDataSet_) RemoveFreeNotification(lookupDataSet_);
  lookupDataSet_ = dataSet;
  if (lookupDataSet_) FreeNotification(lookupDataSet_);
}

void TField::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == lookupDataSet_) lookupDataSet_ = nullptr;
}

bool TField::GetData(void* buffer) const {
  if (validating_) {
    if (!validatingBuffer_) return false;
    if (buffer) std::memcpy(buffer, validatingBuffer_, static_cast<std::size_t>(DataSize()));
    return true;
  }
  if (!dataSet_) DatabaseError(dbmsg::DataSetClosed);
  return dataSet_->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
  if (!dataSet_) DatabaseError(dbmsg::DataSetClosed);
  dataSet_->SetFieldData(this, buffer);
}

void TField::Validate(const void* buffer) {
  if (!OnValidate) return;
  // Reads inside the handler see the proposed value, not the stored one.
  validatingBuffer_ = buffer;
  validating_ = true;
  try {
    OnValidate(this);
  } catch (...) {
    validating_ = false;
    validatingBuffer_ = nullptr;
    throw;
  }
  validating_ = false;
  validatingBuffer_ = nullptr;
}

bool TField::IsNull() const { return !GetData(nullptr); }

void TField::Clear() {
  if (WriteThroughLookup(Variant::Null())) return;
  ClearValue();
}

void TField::ClearValue() { SetData(nullptr); }

bool TField::WriteThroughLookup(const Variant& value) {
  if (fieldKind_ != fkLookup || !dataSet_ || dataSet_->State() == dsCalcFields) return false;
  if (!lookupDataSet_ || keyFields_.empty() || lookupKeyFields_.empty() ||
      lookupResultField_.empty())
    DatabaseErrorFmt(dbmsg::LookupInfoError, DisplayName());
  Variant keys = Variant::Null();
  if (!value.IsNull() && !value.IsEmpty() && lookupDataSet_->Active())
    keys = lookupDataSet_->Lookup(lookupResultField_, value, lookupKeyFields_);
  dataSet_->SetFieldValues(keyFields_, keys);
  return true;
}

void TField::SetAsString(const AnsiString& value) {
  if (!WriteThroughLookup(Variant(value))) SetAsStringValue(value);
}
void TField::SetAsInteger(int32_t value) {
  if (!WriteThroughLookup(Variant(static_cast<int64_t>(value)))) SetAsIntegerValue(value);
}
void TField::SetAsFloat(double value) {
  if (!WriteThroughLookup(Variant(value))) SetAsFloatValue(value);
}
void TField::SetAsCurrency(Currency value) {
  if (!WriteThroughLookup(Variant(value))) SetAsCurrencyValue(value);
}
void TField::SetAsBoolean(bool value) {
  if (!WriteThroughLookup(Variant(value))) SetAsBooleanValue(value);
}
void TField::SetAsDateTime(TDateTime value) {
  if (!WriteThroughLookup(Variant::FromDateTime(value))) SetAsDateTimeValue(value);
}
void TField::SetAsVariant(const Variant& value) {
  if (WriteThroughLookup(value)) return;
  if (value.IsNull() || value.IsEmpty())
    ClearValue();
  else
    SetAsVariantValue(value);
}

Variant TField::OldValue() const {
  if (!dataSet_ || !dataSet_->Active()) return Variant::Null();
  TDataSetState saved = dataSet_->SetTempState(dsOldValue);
  try {
    Variant v = GetAsVariant();
    dataSet_->RestoreState(saved);
    return v;
  } catch (...) {
    dataSet_->RestoreState(saved);
    throw;
  }
}

bool TField::CanModify() const {
  if (readOnly_ || !dataSet_ || !dataSet_->Active() || !dataSet_->CanModify()) return false;
  if (fieldKind_ == fkData) return true;
  if (fieldKind_ != fkLookup || keyFields_.empty()) return false;
  for (TField* key : dataSet_->GetFieldList(keyFields_))
    if (!key->CanModify()) return false;
  return true;
}

void TField::FocusControl() {
  if (!dataSet_ || !dataSet_->Active()) return;
  TField* self = this;
  dataSet_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&self));
}

void TField::AccessError(const char* typeName) const {
  DatabaseErrorFmt(dbmsg::FieldAccessError, DisplayName(), typeName);
}

void TField::RangeError(const AnsiString& value, const AnsiString& min,
                        const AnsiString& max) const {
  DatabaseErrorFmt(dbmsg::FieldRangeError, value, DisplayName(), min, max);
}

bool TField::AcceptsDefType(TFieldType type) const { return type == dataType_; }

AnsiString TField::GetAsString() const { AccessError("String"); }
void TField::SetAsStringValue(const AnsiString&) { AccessError("String"); }
int32_t TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsIntegerValue(int32_t) { AccessError("Integer"); }
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloatValue(double) { AccessError("Float"); }
Currency TField::GetAsCurrency() const { return Currency::FromDouble(GetAsFloat()); }
void TField::SetAsCurrencyValue(Currency value) { SetAsFloatValue(value.ToDouble()); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBooleanValue(bool) { AccessError("Boolean"); }
TDateTime TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTimeValue(TDateTime) { AccessError("DateTime"); }
Variant TField::GetAsVariant() const { AccessError("Variant"); }
void TField::SetAsVariantValue(const Variant&) { AccessError("Variant"); }

// ------------------------------------------------------------ TStringField

TStringField::TStringField(TComponent* owner) : TField(owner) {
  SetDataType(ftString);
  SetSize(20);
  SetTransliterate(true);
}

void TStringField::SetFixedChar(bool fixed) {
  CheckInactive();
  SetDataType(fixed ? ftFixedChar : ftString);
}

bool TStringField::AcceptsDefType(TFieldType type) const {
  return type == ftString || type == ftFixedChar;
}

AnsiString TStringField::GetAsString() const {
  // One string, returned from every path, so that it is built in place.
  AnsiString text;
  if (!Validating() && DataSet() && DataSet()->GetFieldText(const_cast<TStringField*>(this), Transliterate(), text))
    return text;
  text.clear();
  // Most fields fit a buffer on the stack; a walk reads every one per record.
  char small[256];
  std::vector<char> large;
  const std::size_t size = static_cast<std::size_t>(Size()) + 1;
  char* buffer = small;
  if (size > sizeof small) {
    large.resize(size);
    buffer = large.data();
  }
  std::memset(buffer, 0, size);
  if (!GetData(buffer)) return text;
  buffer[size - 1] = '\0';
  if (Transliterate() && DataSet()) DataSet()->Translate(buffer, buffer, false);
  buffer[size - 1] = '\0';
  text = buffer;
  return text;
}

void TStringField::SetAsStringValue(const AnsiString& value) {
  std::vector<char> buffer(static_cast<std::size_t>(Size()) + 1, '\0');
  // Longer texts are cut to the field's size; a zero byte ends the text.
  std::size_t n = std::min(value.size(), static_cast<std::size_t>(Size()));
  std::memcpy(buffer.data(), value.data(), n);
  if (Transliterate() && DataSet()) DataSet()->Translate(buffer.data(), buffer.data(), true);
  buffer.back() = '\0';
  SetData(buffer.data());
}

int32_t TStringField::GetAsInteger() const { return StrToInt(GetAsString()); }
void TStringField::SetAsIntegerValue(int32_t value) { SetAsStringValue(IntToStr(value)); }
double TStringField::GetAsFloat() const { return StrToFloat(GetAsString()); }
void TStringField::SetAsFloatValue(double value) { SetAsStringValue(FloatToStr(value)); }

bool TStringField::GetAsBoolean() const {
  AnsiString s = GetAsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}
void TStringField::SetAsBooleanValue(bool value) { SetAsStringValue(value ? "T" : "F"); }

Variant TStringField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsString());
}
void TStringField::SetAsVariantValue(const Variant& value) { SetAsStringValue(value.AsString()); }

// ----------------------------------------------------------- TNumericField

TNumericField::TNumericField(TComponent* owner) : TField(owner) {
  SetDefaultAlignment(taRightJustify);
}

void TNumericField::SetDisplayFormat(const AnsiString& format) {
  if (format == displayFormat_) return;
  displayFormat_ = format;
  if (DataSet() && DataSet()->Active()) DataSet()->DataEvent(deDataSetChange, 0);
}

void TNumericField::SetEditFormat(const AnsiString& format) { editFormat_ = format; }

// ----------------------------------------------------------- TIntegerField

TIntegerField::TIntegerField(TComponent* owner)
    : TIntegerField(owner, ftInteger, INT32_MIN, INT32_MAX) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType type, int64_t minRange,
                             int64_t maxRange)
    : TNumericField(owner), minRange_(minRange), maxRange_(maxRange) {
  SetDataType(type);
}

TSmallintField::TSmallintField(TComponent* owner)
    : TIntegerField(owner, ftSmallint, INT16_MIN, INT16_MAX) {}
TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord, 0, UINT16_MAX) {}
TAutoIncField::TAutoIncField(TComponent* owner)
    : TIntegerField(owner, ftAutoInc, INT32_MIN, INT32_MAX) {}

int TIntegerField::DataSize() const { return IntegerSize(DataType()); }

bool TIntegerField::AcceptsDefType(TFieldType type) const { return IsIntegerType(type); }

bool TIntegerField::GetValue(int64_t& value) const {
  unsigned char buffer[8];
  if (!GetData(buffer)) return false;
  value = ReadInteger(DataType(), buffer);
  return true;
}

void TIntegerField::SetValue64(int64_t value) {
  int64_t lo = minRange_;
  int64_t hi = maxRange_;
  int64_t nativeLo, nativeHi;
  NativeRange(DataType(), nativeLo, nativeHi);
  lo = std::max(lo, nativeLo);
  hi = std::min(hi, nativeHi);
  if (minValue_ != 0 || maxValue_ != 0) {
    lo = std::max<int64_t>(lo, minValue_);
    hi = std::min<int64_t>(hi, maxValue_);
  }
  if (value < lo || value > hi) RangeError(IntToStr(value), IntToStr(lo), IntToStr(hi));
  unsigned char buffer[8] = {};
  WriteInteger(DataType(), buffer, value);
  SetData(buffer);
}

int32_t TIntegerField::GetAsInteger() const {
  int64_t v = 0;
  if (!GetValue(v)) return 0;
  if (v < INT32_MIN || v > INT32_MAX) RangeError(IntToStr(v), IntToStr(INT32_MIN), IntToStr(INT32_MAX));
  return static_cast<int32_t>(v);
}

void TIntegerField::SetAsIntegerValue(int32_t value) { SetValue64(value); }

double TIntegerField::GetAsFloat() const {
  int64_t v = 0;
  return GetValue(v) ? static_cast<double>(v) : 0.0;
}

void TIntegerField::SetAsFloatValue(double value) {
  int64_t v;
  if (!RoundToInt64(value, INT64_MIN, INT64_MAX, v))
    RangeError(FloatToStr(value), IntToStr(minRange_), IntToStr(maxRange_));
  SetValue64(v);
}

Variant TIntegerField::GetAsVariant() const {
  int64_t v = 0;
  if (!GetValue(v)) return Variant::Null();
  return Variant(v);
}

void TIntegerField::SetAsVariantValue(const Variant& value) {
  if (value.IsString()) {
    SetAsStringValue(value.StringRef());
    return;
  }
  if (value.IsNumeric() && value.VarType() == varInt64) {
    SetValue64(value.AsInt64());
    return;
  }
  SetAsFloatValue(value.AsDouble());
}

// ---------------------------------------------------------- TLargeintField

TLargeintField::TLargeintField(TComponent* owner) : TNumericField(owner) {
  SetDataType(ftLargeint);
}

bool TLargeintField::AcceptsDefType(TFieldType type) const { return IsIntegerType(type); }

int64_t TLargeintField::AsLargeInt() const {
  unsigned char buffer[8];
  if (!GetData(buffer)) return 0;
  return ReadInteger(DataType(), buffer);
}

void TLargeintField::SetAsLargeInt(int64_t value) {
  if (WriteThroughLookup(Variant(value))) return;
  int64_t lo, hi;
  NativeRange(DataType(), lo, hi);
  if (value < lo || value > hi) RangeError(IntToStr(value), IntToStr(lo), IntToStr(hi));
  unsigned char buffer[8] = {};
  WriteInteger(DataType(), buffer, value);
  SetData(buffer);
}

int32_t TLargeintField::GetAsInteger() const {
  int64_t v = AsLargeInt();
  if (v < INT32_MIN || v > INT32_MAX) RangeError(IntToStr(v), IntToStr(INT32_MIN), IntToStr(INT32_MAX));
  return static_cast<int32_t>(v);
}

void TLargeintField::SetAsIntegerValue(int32_t value) { SetAsLargeInt(value); }

double TLargeintField::GetAsFloat() const { return static_cast<double>(AsLargeInt()); }

void TLargeintField::SetAsFloatValue(double value) {
  int64_t v;
  if (!RoundToInt64(value, INT64_MIN, INT64_MAX, v))
    RangeError(FloatToStr(value), IntToStr(INT64_MIN), IntToStr(INT64_MAX));
  SetAsLargeInt(v);
}

Variant TLargeintField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(AsLargeInt());
}

void TLargeintField::SetAsVariantValue(const Variant& value) {
  if (value.IsString()) {
    SetAsStringValue(value.StringRef());
    return;
  }
  if (value.VarType() == varInt64) {
    SetAsLargeInt(value.AsInt64());
    return;
  }
  SetAsFloatValue(value.AsDouble());
}

// ------------------------------------------------------------- TFloatField

TFloatField::TFloatField(TComponent* owner) : TFloatField(owner, ftFloat) {}

TFloatField::TFloatField(TComponent* owner, TFieldType type) : TNumericField(owner) {
  SetDataType(type);
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {
  SetCurrency(true);
}

void TFloatField::SetCurrency(bool on) {
  if (on == currency_) return;
  currency_ = on;
  if (DataSet() && DataSet()->Active()) DataSet()->DataEvent(deDataSetChange, 0);
}

void TFloatField::SetPrecision(int precision) { precision_ = std::clamp(precision, 2, 15); }

bool TFloatField::AcceptsDefType(TFieldType type) const {
  return type == ftFloat || type == ftCurrency;
}

double TFloatField::GetAsFloat() const {
  unsigned char buffer[8];
  if (!GetData(buffer)) return 0;
  return LoadBufferValue<double>(buffer);
}

void TFloatField::SetAsFloatValue(double value) {
  if (!std::isfinite(value)) DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  if ((minValue_ != 0 || maxValue_ != 0) && (value < minValue_ || value > maxValue_))
    RangeError(FloatToStr(value), FloatToStr(minValue_), FloatToStr(maxValue_));
  unsigned char buffer[8];
  StoreBufferValue(buffer, value);
  SetData(buffer);
}

int32_t TFloatField::GetAsInteger() const {
  double v = GetAsFloat();
  int64_t r;
  if (!RoundToInt64(v, INT32_MIN, INT32_MAX, r))
    RangeError(FloatToStr(v), IntToStr(INT32_MIN), IntToStr(INT32_MAX));
  return static_cast<int32_t>(r);
}

void TFloatField::SetAsIntegerValue(int32_t value) { SetAsFloatValue(value); }

::Currency TFloatField::GetAsCurrency() const { return ::Currency::FromDouble(GetAsFloat()); }

void TFloatField::SetAsCurrencyValue(::Currency value) { SetAsFloatValue(value.ToDouble()); }

Variant TFloatField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsFloat());
}

void TFloatField::SetAsVariantValue(const Variant& value) {
  if (value.IsString()) {
    SetAsStringValue(value.StringRef());
    return;
  }
  SetAsFloatValue(value.AsDouble());
}

// ----------------------------------------------------------- TBooleanField

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) {
  SetDataType(ftBoolean);
  SetDisplayValues("True;False");
}

bool TBooleanField::AcceptsDefType(TFieldType type) const { return type == ftBoolean; }

bool TBooleanField::GetAsBoolean() const {
  unsigned char buffer[2];
  if (!GetData(buffer)) return false;
  return LoadBufferValue<int16_t>(buffer) != 0;
}

void TBooleanField::SetAsBooleanValue(bool value) {
  unsigned char buffer[2];
  StoreBufferValue(buffer, static_cast<int16_t>(value ? 1 : 0));
  SetData(buffer);
}

Variant TBooleanField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsBoolean());
}

void TBooleanField::SetAsVariantValue(const Variant& value) {
  if (value.IsString()) {
    SetAsStringValue(value.StringRef());
    return;
  }
  SetAsBooleanValue(value.AsBool());
}

// ---------------------------------------------------------- TDateTimeField

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}
TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
}
TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}
TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}

int TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

bool TDateTimeField::AcceptsDefType(TFieldType type) const { return type == DataType(); }

bool TDateTimeField::GetValue(TDateTime& value) const {
  unsigned char buffer[8];
  if (!GetData(buffer)) return false;
  TTimeStamp stamp;
  switch (DataType()) {
    case ftDate:
      stamp.Date = LoadBufferValue<int32_t>(buffer);
      break;
    case ftTime:
      stamp.Date = kDateDelta;
      stamp.Time = LoadBufferValue<int32_t>(buffer);
      break;
    default:
      stamp = MSecsToTimeStamp(LoadBufferValue<double>(buffer));
      break;
  }
  value = TimeStampToDateTime(stamp);
  return true;
}

TDateTime TDateTimeField::GetAsDateTime() const {
  TDateTime v = 0;
  return GetValue(v) ? v : 0;
}

void TDateTimeField::SetAsDateTimeValue(TDateTime value) {
  // Days 1 .. 3652059 are 1 January 0001 .. 31 December 9999.
  constexpr double kFirst = 1 - kDateDelta;
  constexpr double kLast = 3652059 - kDateDelta + 1;
  if (!std::isfinite(value) || (DataType() != ftTime && (value <= kFirst - 1 || value >= kLast)))
    DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  TTimeStamp stamp = DateTimeToTimeStamp(value);
  unsigned char buffer[8];
  switch (DataType()) {
    case ftDate:
      StoreBufferValue(buffer, stamp.Date);
      break;
    case ftTime:
      StoreBufferValue(buffer, stamp.Time);
      break;
    default:
      StoreBufferValue(buffer, TimeStampToMSecs(stamp));
      break;
  }
  SetData(buffer);
}

double TDateTimeField::GetAsFloat() const { return GetAsDateTime(); }
void TDateTimeField::SetAsFloatValue(double value) { SetAsDateTimeValue(value); }

Variant TDateTimeField::GetAsVariant() const {
  TDateTime v;
  if (!GetValue(v)) return Variant::Null();
  return Variant::FromDateTime(v);
}

void TDateTimeField::SetAsVariantValue(const Variant& value) {
  if (value.IsString()) {
    SetAsStringValue(value.StringRef());
    return;
  }
  SetAsDateTimeValue(value.AsDateTime());
}

// ------------------------------------------------------------ TBinaryField

TBinaryField::TBinaryField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
  SetSize(16);
}
TBytesField::TBytesField(TComponent* owner) : TBinaryField(owner, ftBytes) {}
TVarBytesField::TVarBytesField(TComponent* owner) : TBinaryField(owner, ftVarBytes) {}

bool TBinaryField::AcceptsDefType(TFieldType type) const { return type == DataType(); }

AnsiString TBinaryField::GetAsString() const {
  std::vector<char> buffer(static_cast<std::size_t>(DataSize()) + 2, '\0');
  if (!GetData(buffer.data())) return AnsiString();
  if (DataType() == ftVarBytes) {
    std::size_t n = std::min<std::size_t>(LoadBufferValue<uint16_t>(buffer.data()), static_cast<std::size_t>(Size()));
    return AnsiString(buffer.data() + 2, n);
  }
  return AnsiString(buffer.data(), static_cast<std::size_t>(Size()));
}

void TBinaryField::SetAsStringValue(const AnsiString& value) {
  std::vector<char> buffer(static_cast<std::size_t>(DataSize()) + 2, '\0');
  std::size_t n = std::min(value.size(), static_cast<std::size_t>(Size()));
  if (DataType() == ftVarBytes) {
    StoreBufferValue(buffer.data(), static_cast<uint16_t>(n));
    std::memcpy(buffer.data() + 2, value.data(), n);
  } else {
    std::memcpy(buffer.data(), value.data(), n);
  }
  SetData(buffer.data());
}

Variant TBinaryField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsString());
}

void TBinaryField::SetAsVariantValue(const Variant& value) { SetAsStringValue(value.AsString()); }

// -------------------------------------------------------------- TBlobField

TBlobField::TBlobField(TComponent* owner) : TBlobField(owner, ftBlob) {}
TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner) { SetDataType(type); }
TMemoField::TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) { SetTransliterate(true); }
TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner, ftGraphic) {}

void TBlobField::SetBlobType(TFieldType type) {
  if (!IsBlobType(type)) DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  CheckInactive();
  SetDataType(type);
}

bool TBlobField::AcceptsDefType(TFieldType type) const { return type == DataType(); }

std::unique_ptr<TStream> TBlobField::OpenStream(TBlobStreamMode mode) const {
  if (!DataSet()) DatabaseError(dbmsg::DataSetClosed);
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), mode);
  if (!stream) DatabaseError(dbmsg::NotSupported);
  return stream;
}

AnsiString TBlobField::GetAsString() const {
  std::unique_ptr<TStream> stream = OpenStream(bmRead);
  int64_t size = stream->Size();
  AnsiString text(static_cast<std::size_t>(std::max<int64_t>(size, 0)), '\0');
  stream->SetPosition(0);
  if (size > 0) stream->ReadBuffer(text.data(), size);
  return text;
}

void TBlobField::SetAsStringValue(const AnsiString& value) {
  std::unique_ptr<TStream> stream = OpenStream(bmWrite);
  if (!value.empty()) stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
  // The stream writes the value when it goes.
  stream.reset();
}

void TBlobField::ClearValue() { OpenStream(bmWrite).reset(); }

void TBlobField::LoadFromStream(TStream& source) {
  std::unique_ptr<TStream> stream = OpenStream(bmWrite);
  stream->CopyFrom(source, 0);
  stream.reset();
}

void TBlobField::SaveToStream(TStream& target) const {
  std::unique_ptr<TStream> stream = OpenStream(bmRead);
  if (stream->Size() > 0) target.CopyFrom(*stream, 0);
}

int32_t TBlobField::BlobSize() const {
  int64_t size = OpenStream(bmRead)->Size();
  return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
}

Variant TBlobField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsString());
}

void TBlobField::SetAsVariantValue(const Variant& value) { SetAsStringValue(value.AsString()); }

// ---------------------------------------------------------------- factory

TField* CreateFieldOfType(TFieldType type, TComponent* owner) {
  switch (type) {
    case ftString: return new TStringField(owner);
    case ftFixedChar: {
      auto* f = new TStringField(owner);
      f->SetFixedChar(true);
      return f;
    }
    case ftSmallint: return new TSmallintField(owner);
    case ftInteger: return new TIntegerField(owner);
    case ftWord: return new TWordField(owner);
    case ftAutoInc: return new TAutoIncField(owner);
    case ftLargeint: return new TLargeintField(owner);
    case ftBoolean: return new TBooleanField(owner);
    case ftFloat: return new TFloatField(owner);
    case ftCurrency: return new TCurrencyField(owner);
    case ftBCD: return new TBCDField(owner);
    case ftADT: return new TADTField(owner);
    case ftArray: return new TArrayField(owner);
    case ftDate: return new TDateField(owner);
    case ftTime: return new TTimeField(owner);
    case ftDateTime: return new TDateTimeField(owner);
    case ftBytes: return new TBytesField(owner);
    case ftVarBytes: return new TVarBytesField(owner);
    case ftMemo: return new TMemoField(owner);
    case ftGraphic: return new TGraphicField(owner);
    case ftBlob:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: {
      auto* f = new TBlobField(owner);
      f->SetBlobType(type);
      return f;
    }
    default: return nullptr;
  }
}

// ------------------------------------------------------- TObjectField

TObjectField::~TObjectField() {
  for (TField* child : children_) {
    child->parentField_ = nullptr;
    child->dataSet_ = nullptr;
    delete child;
  }
}

TField* TObjectField::Fields(int index) const {
  if (index < 0 || index >= FieldCount()) DatabaseError(dbmsg::FieldIndexError);
  return children_[static_cast<std::size_t>(index)];
}

void TObjectField::AddChild(TField* child) {
  if (child->dataSet_) child->SetDataSet(nullptr);
  child->parentField_ = this;
  children_.push_back(child);
  if (auto* object = dynamic_cast<TObjectField*>(child)) object->AttachChildren(DataSet());
  child->dataSet_ = DataSet();
}

TField* TObjectField::FindChild(std::string_view name) const {
  for (TField* child : children_) {
    if (SameText(child->FieldName(), name)) return child;
    if (auto* object = dynamic_cast<TObjectField*>(child))
      if (TField* part = object->FindChild(name)) return part;
  }
  return nullptr;
}

void TObjectField::AttachChildren(TDataSet* dataSet) {
  for (TField* child : children_) {
    child->dataSet_ = dataSet;
    if (auto* object = dynamic_cast<TObjectField*>(child)) object->AttachChildren(dataSet);
  }
}

Variant TObjectField::GetAsVariant() const {
  std::vector<Variant> values;
  values.reserve(children_.size());
  for (TField* child : children_) values.push_back(child->AsVariant());
  return Variant::Array(std::move(values));
}

AnsiString TObjectField::GetAsString() const {
  AnsiString text = "(";
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (i > 0) text += ", ";
    text += children_[i]->AsString();
  }
  return text + ")";
}

TADTField::TADTField(TComponent* owner) : TObjectField(owner) { SetDataType(ftADT); }

TArrayField::TArrayField(TComponent* owner) : TObjectField(owner) { SetDataType(ftArray); }

// ----------------------------------------------------------------- TFields

TField* TFields::Fields(int index) const {
  if (index < 0 || index >= Count()) DatabaseError(dbmsg::FieldIndexError);
  return list_[static_cast<std::size_t>(index)];
}

TField* TFields::FindField(std::string_view name) const {
  for (TField* f : list_)
    if (SameText(f->FieldName(), name)) return f;
  // Parts of ADT and array fields answer to their own names too.
  for (TField* f : list_)
    if (auto* object = dynamic_cast<TObjectField*>(f))
      if (TField* part = object->FindChild(name)) return part;
  return nullptr;
}

TField* TFields::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) DatabaseErrorFmt(dbmsg::FieldNotFound, name);
  return f;
}

TField* TFields::FieldByNumber(int fieldNo) const {
  for (TField* f : list_)
    if (f->FieldNo() == fieldNo) return f;
  return nullptr;
}

int TFields::IndexOf(const TField* field) const {
  auto it = std::find(list_.begin(), list_.end(), field);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

void TFields::Add(TField* field) { list_.push_back(field); }

void TFields::Remove(TField* field) {
  list_.erase(std::remove(list_.begin(), list_.end(), field), list_.end());
}

void TFields::SetFieldIndex(TField* field, int index) {
  int current = IndexOf(field);
  if (current < 0) return;
  index = std::clamp(index, 0, Count() - 1);
  if (index == current) return;
  list_.erase(list_.begin() + current);
  list_.insert(list_.begin() + index, field);
}
