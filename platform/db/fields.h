// Fields: the typed view of one column of a dataset's current record. A
// field reads and writes the record through its dataset (GetFieldData /
// SetFieldData) in the native value layout below, converts between that
// layout and the value types of the program (text, integers, doubles,
// currency, Booleans, date-times, variants), and gives the display and
// edit texts that controls show.
//
// Native value layout of record buffers. Every dataset stores and hands over
// field values in exactly this form; the adapter of the dBase tables and the
// in-memory table both read and write it:
//
//   ftString, ftFixedChar   Size bytes of text and a zero byte (Size + 1);
//                           text is CP1250 once the field has translated it
//   ftSmallint              2 bytes, signed
//   ftWord                  2 bytes, unsigned
//   ftBoolean               2 bytes: 0 false, 1 true (any non-zero reads true)
//   ftInteger, ftAutoInc    4 bytes, signed
//   ftLargeint              8 bytes, signed
//   ftFloat, ftCurrency     8-byte double
//   ftDate                  signed 32-bit day count, 1 January 0001 = day 1
//   ftTime                  signed 32-bit milliseconds since midnight
//   ftDateTime              8-byte double: day count (as ftDate) x 86 400 000
//                           + milliseconds of the day
//   ftBCD                   34-byte TBcd: precision, sign and scale, packed
//                           decimal digits (see TBcd below)
//   ftBytes                 Size bytes
//   ftVarBytes              2-byte length, then up to Size bytes (Size + 2)
//   blobs and memos         no bytes in the record: only through the
//                           dataset's blob stream
// All multi-byte values are in the machine's (little-endian) order and may sit
// at any alignment. A null value is the dataset's business: GetFieldData says
// whether a value is present; SetFieldData with no buffer stores null.
//
// Calculated and lookup fields live in the dataset's calculated area: at the
// field's Offset one has-value byte, then the value in the layout above
// (DataSize bytes). The framework assigns the offsets when it binds fields.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/db/db_types.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/variant.h"

class TDataSet;
class TField;

using TFieldNotifyEvent = std::function<void(TField* sender)>;
using TFieldGetTextEvent = std::function<void(TField* sender, AnsiString& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField* sender, const AnsiString& text)>;

// TDateTime <-> native date and time values.
struct TTimeStamp {
  int32_t Date = 0;  // days, 1 January 0001 = 1
  int32_t Time = 0;  // milliseconds since midnight
};
// Day number of 30 December 1899, the day TDateTime counts from.
inline constexpr int32_t kDateDelta = 693594;
inline constexpr int32_t kMSecsPerDay = 86400000;
// Whole days are the date, the fraction's magnitude the time of day; a time
// that rounds to midnight moves to the next day.
TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
// The native ftDateTime double (day x 86 400 000 + milliseconds).
double TimeStampToMSecs(const TTimeStamp& stamp);
TTimeStamp MSecsToTimeStamp(double msecs);

class TField : public TComponent {
 public:
  explicit TField(TComponent* owner);
  ~TField() override;
  AnsiString ClassName() const override { return "TField"; }

  // --- identity and binding (changes need a closed dataset)
  TDataSet* DataSet() const { return dataSet_; }
  // Adds the field to the dataset's fields (null removes it).
  void SetDataSet(TDataSet* dataSet);
  const AnsiString& FieldName() const { return fieldName_; }
  void SetFieldName(const AnsiString& name);
  // The dataset's field number of a bound data field (from 1); 0 unbound,
  // -1 for calculated and lookup fields.
  int FieldNo() const { return fieldNo_; }
  TFieldKind FieldKind() const { return fieldKind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return fieldKind_ == fkCalculated; }
  bool Lookup() const { return fieldKind_ == fkLookup; }
  // The native type of the values the field reads and writes; binding may
  // change it to a compatible type of the dataset's definition.
  TFieldType DataType() const { return dataType_; }
  int Size() const { return size_; }
  void SetSize(int size);
  // Bytes of the native value (see the layout above).
  virtual int DataSize() const { return 0; }
  // Start of the field's slot in the calculated area (calculated and lookup
  // fields only).
  int Offset() const { return offset_; }
  // Position in the dataset's field list; setting it moves the field.
  int Index() const;
  void SetIndex(int index);
  virtual bool IsBlob() const { return false; }
  // The ADT or array field this field is a part of; null for a top-level
  // field. Parts are reached through their parent, and by name through
  // the dataset's FindField, but are not in the dataset's field list.
  TField* ParentField() const { return parentField_; }

  // --- presentation
  AnsiString DisplayLabel() const { return DisplayName(); }
  void SetDisplayLabel(const AnsiString& label);
  // The label, else the field name.
  AnsiString DisplayName() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
  // Characters the field's text usually needs; each class has its default.
  int DisplayWidth() const { return displayWidth_ >= 0 ? displayWidth_ : DefaultWidth(); }
  void SetDisplayWidth(int width);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  const AnsiString& EditMask() const { return editMask_; }
  void SetEditMask(const AnsiString& mask) { editMask_ = mask; }
  const AnsiString& DefaultExpression() const { return defaultExpression_; }
  void SetDefaultExpression(const AnsiString& text) { defaultExpression_ = text; }
  // Texts pass the dataset's Translate between stored and shown form
  // (string and memo fields; on by default there).
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool on) { transliterate_ = on; }

  // --- lookup fields: KeyFields of this dataset are looked up as
  // LookupKeyFields in LookupDataSet, whose LookupResultField is the value.
  TDataSet* LookupDataSet() const { return lookupDataSet_; }
  void SetLookupDataSet(TDataSet* dataSet);
  const AnsiString& LookupKeyFields() const { return lookupKeyFields_; }
  void SetLookupKeyFields(const AnsiString& names) { lookupKeyFields_ = names; }
  const AnsiString& LookupResultField() const { return lookupResultField_; }
  void SetLookupResultField(const AnsiString& name) { lookupResultField_ = name; }
  const AnsiString& KeyFields() const { return keyFields_; }
  void SetKeyFields(const AnsiString& names) { keyFields_ = names; }

  // --- values of the dataset's current record (the state decides which)
  bool IsNull() const;
  void Clear();
  AnsiString AsString() const { return GetAsString(); }
  void SetAsString(const AnsiString& value);
  // Conversion failures raise EConvertError (texts) or EDatabaseError.
  int32_t AsInteger() const { return GetAsInteger(); }
  void SetAsInteger(int32_t value);
  double AsFloat() const { return GetAsFloat(); }
  void SetAsFloat(double value);
  Currency AsCurrency() const { return GetAsCurrency(); }
  void SetAsCurrency(Currency value);
  bool AsBoolean() const { return GetAsBoolean(); }
  void SetAsBoolean(bool value);
  TDateTime AsDateTime() const { return GetAsDateTime(); }
  void SetAsDateTime(TDateTime value);
  // Null for a null value.
  Variant AsVariant() const { return GetAsVariant(); }
  void SetAsVariant(const Variant& value);
  Variant Value() const { return GetAsVariant(); }
  void SetValue(const Variant& value) { SetAsVariant(value); }
  // The value as it was before the current edit.
  Variant OldValue() const;

  // The edit text (EditFormat for numbers, never DisplayFormat) and the
  // display text; both "" for null and both through OnGetText when set.
  AnsiString Text() const;
  AnsiString DisplayText() const;
  // "" clears the field; otherwise the text is converted (OnSetText when set).
  void SetText(const AnsiString& text);
  // Whether an edit control may accept the character for this field.
  virtual bool IsValidChar(char c) const;
  // Whether controls may change the value now.
  bool CanModify() const;
  // Asks the control showing the field to take the focus.
  void FocusControl();

  // --- native data (see the layout above)
  // Copies the native value into buffer (DataSize bytes) when there is one;
  // buffer may be null to ask only whether a value is present.
  bool GetData(void* buffer) const;
  // Stores a native value (null buffer: null) through the dataset.
  void SetData(const void* buffer);
  // Runs OnValidate with the proposed native value visible to the handler.
  void Validate(const void* buffer);

  // --- events
  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

  // Value conversions of the concrete classes. The base raises the
  // "cannot access field as type" error.
  virtual AnsiString GetAsString() const;
  virtual void SetAsStringValue(const AnsiString& value);
  virtual int32_t GetAsInteger() const;
  virtual void SetAsIntegerValue(int32_t value);
  virtual double GetAsFloat() const;
  virtual void SetAsFloatValue(double value);
  virtual Currency GetAsCurrency() const;
  virtual void SetAsCurrencyValue(Currency value);
  virtual bool GetAsBoolean() const;
  virtual void SetAsBooleanValue(bool value);
  virtual TDateTime GetAsDateTime() const;
  virtual void SetAsDateTimeValue(TDateTime value);
  virtual Variant GetAsVariant() const;
  virtual void SetAsVariantValue(const Variant& value);
  // The edit (displayText false) or display text of a non-null value.
  virtual AnsiString GetTextValue(bool displayText) const;
  virtual void SetTextValue(const AnsiString& text);
  // Stores null (blobs: an empty value through their stream).
  virtual void ClearValue();
  virtual int DefaultWidth() const { return 10; }
  // Whether a definition of type type can feed this field (binding).
  virtual bool AcceptsDefType(TFieldType type) const;

  [[noreturn]] void AccessError(const char* typeName) const;
  [[noreturn]] void RangeError(const AnsiString& value, const AnsiString& min,
                               const AnsiString& max) const;
  void CheckInactive() const;
  void SetDataType(TFieldType type) { dataType_ = type; }
  void SetDefaultAlignment(TAlignment alignment) { alignment_ = alignment; }
  // A lookup field written outside the calculation: the value is looked up
  // in LookupDataSet and the found keys go into KeyFields; true when done.
  bool WriteThroughLookup(const Variant& value);
  // While OnValidate runs (reads then see the proposed value).
  bool Validating() const { return validating_; }

 private:
  friend class TDataSet;
  friend class TFields;
  friend class TObjectField;
  void Changed();

  TDataSet* dataSet_ = nullptr;
  TField* parentField_ = nullptr;
  AnsiString fieldName_;
  int fieldNo_ = 0;
  TFieldKind fieldKind_ = fkData;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  int offset_ = 0;
  AnsiString displayLabel_;
  int displayWidth_ = -1;
  TAlignment alignment_ = taLeftJustify;
  bool readOnly_ = false;
  bool required_ = false;
  bool visible_ = true;
  bool transliterate_ = false;
  AnsiString editMask_;
  AnsiString defaultExpression_;
  TDataSet* lookupDataSet_ = nullptr;
  AnsiString lookupKeyFields_;
  AnsiString lookupResultField_;
  AnsiString keyFields_;
  // While OnValidate runs, reads see the proposed value.
  const void* validatingBuffer_ = nullptr;
  bool validating_ = false;
};

// Text of up to Size characters (65535 at most).
class TStringField : public TField {
 public:
  explicit TStringField(TComponent* owner);
  AnsiString ClassName() const override { return "TStringField"; }
  int DataSize() const override { return Size() + 1; }
  // Fixed-length text (blank padded by the table) rather than variable.
  bool FixedChar() const { return DataType() == ftFixedChar; }
  void SetFixedChar(bool fixed);

 protected:
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  int32_t GetAsInteger() const override;
  void SetAsIntegerValue(int32_t value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double value) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool value) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  int DefaultWidth() const override { return Size(); }
  bool AcceptsDefType(TFieldType type) const override;
};

// Numbers: right aligned, with display and edit formats (FormatFloat
// pictures such as "#,##0.00").
class TNumericField : public TField {
 public:
  explicit TNumericField(TComponent* owner);
  AnsiString ClassName() const override { return "TNumericField"; }
  const AnsiString& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const AnsiString& format);
  const AnsiString& EditFormat() const { return editFormat_; }
  void SetEditFormat(const AnsiString& format);
  // Digits, "+" and "-".
  bool IsValidChar(char c) const override;

 private:
  AnsiString displayFormat_;
  AnsiString editFormat_;
};

// 32-bit integers; the subclasses narrow the range. Reads and writes any
// integer native type the dataset defines (binding lets integer kinds meet).
class TIntegerField : public TNumericField {
 public:
  explicit TIntegerField(TComponent* owner);
  AnsiString ClassName() const override { return "TIntegerField"; }
  int DataSize() const override;
  // A user range; 0 and 0 means none.
  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t value) { minValue_ = value; }
  int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int32_t value) { maxValue_ = value; }

 protected:
  TIntegerField(TComponent* owner, TFieldType type, int64_t minRange, int64_t maxRange);
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  int32_t GetAsInteger() const override;
  void SetAsIntegerValue(int32_t value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  AnsiString GetTextValue(bool displayText) const override;
  int DefaultWidth() const override { return 11; }
  bool AcceptsDefType(TFieldType type) const override;
  bool GetValue(int64_t& value) const;
  void SetValue64(int64_t value);

 private:
  int64_t minRange_;
  int64_t maxRange_;
  int32_t minValue_ = 0;
  int32_t maxValue_ = 0;
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* owner);
  AnsiString ClassName() const override { return "TSmallintField"; }

 protected:
  int DefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* owner);
  AnsiString ClassName() const override { return "TWordField"; }

 protected:
  int DefaultWidth() const override { return 5; }
};

class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(TComponent* owner);
  AnsiString ClassName() const override { return "TAutoIncField"; }
};

// 64-bit integers.
class TLargeintField : public TNumericField {
 public:
  explicit TLargeintField(TComponent* owner);
  AnsiString ClassName() const override { return "TLargeintField"; }
  int DataSize() const override { return 8; }
  int64_t AsLargeInt() const;
  void SetAsLargeInt(int64_t value);

 protected:
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  int32_t GetAsInteger() const override;
  void SetAsIntegerValue(int32_t value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  AnsiString GetTextValue(bool displayText) const override;
  int DefaultWidth() const override { return 15; }
  bool AcceptsDefType(TFieldType type) const override;
};

// Doubles; Currency switches the default texts to the currency format.
class TFloatField : public TNumericField {
 public:
  explicit TFloatField(TComponent* owner);
  AnsiString ClassName() const override { return "TFloatField"; }
  int DataSize() const override { return 8; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool on);
  // Significant digits of the default texts (2 to 15).
  int Precision() const { return precision_; }
  void SetPrecision(int precision);
  // A user range; 0 and 0 means none.
  double MinValue() const { return minValue_; }
  void SetMinValue(double value) { minValue_ = value; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double value) { maxValue_ = value; }
  // Digits, "+", "-", the decimal separator, "E" and "e".
  bool IsValidChar(char c) const override;

 protected:
  TFloatField(TComponent* owner, TFieldType type);
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  int32_t GetAsInteger() const override;
  void SetAsIntegerValue(int32_t value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double value) override;
  ::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(::Currency value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  AnsiString GetTextValue(bool displayText) const override;
  int DefaultWidth() const override { return 10; }
  bool AcceptsDefType(TFieldType type) const override;

 private:
  bool currency_ = false;
  int precision_ = 15;
  double minValue_ = 0;
  double maxValue_ = 0;
};

class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* owner);
  AnsiString ClassName() const override { return "TCurrencyField"; }
};

class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* owner);
  AnsiString ClassName() const override { return "TBooleanField"; }
  int DataSize() const override { return 2; }
  // "True;False": the texts of true and false.
  const AnsiString& DisplayValues() const { return displayValues_; }
  void SetDisplayValues(const AnsiString& values);

 protected:
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  int DefaultWidth() const override;
  bool AcceptsDefType(TFieldType type) const override;

 private:
  AnsiString displayValues_;
  AnsiString trueText_;
  AnsiString falseText_;
};

// A packed decimal number: Precision digits (1 to 64), the last Scale of them
// after the decimal point; the sign is bit 7 of SignSpecialPlaces, the scale
// its low 6 bits; Fraction holds two digits a byte, high nibble first, from
// the most significant digit on. Exactly 34 bytes, the native ftBCD value.
struct TBcd {
  uint8_t Precision = 0;
  uint8_t SignSpecialPlaces = 0;
  uint8_t Fraction[32] = {};

  bool Negative() const { return (SignSpecialPlaces & 0x80) != 0; }
  int Scale() const { return SignSpecialPlaces & 0x3F; }
  // Digit i (0 = most significant) of the packed digits.
  int Digit(int i) const { return (Fraction[i / 2] >> ((i % 2) ? 0 : 4)) & 0x0F; }
};
static_assert(sizeof(TBcd) == 34);

// Conversions of packed decimals. A TBcd is well formed when its precision
// is 1 to 64, its scale at most the precision and every digit 0 to 9; the
// Try forms return false for any other value, or when the number does not
// fit the target (Currency keeps four decimals and rounds further ones half
// away from zero).
TBcd CurrencyToBcd(Currency value);
bool TryBcdToCurrency(const TBcd& bcd, Currency& value);
// Up to 15 significant digits of a finite double, at most 'decimals' (0-20)
// of them after the point; false for NaN, infinities and magnitudes of
// 1e15 and more (beyond what a double holds exactly in fixed notation).
bool TryDoubleToBcd(double value, int decimals, TBcd& bcd);
bool TryBcdToDouble(const TBcd& bcd, double& value);
// "-123.4500" style text with the given decimal separator (all the scale's
// digits, no grouping); "" for a malformed value.
AnsiString BcdToStr(const TBcd& bcd, char decimalSeparator = '.');
// Optional sign, digits, optional separator and digits; at most 64 digits.
bool TryStrToBcd(std::string_view text, TBcd& bcd, char decimalSeparator = '.');

// Fixed-point numbers stored as TBcd; Size is the number of decimals and
// Precision the number of digits. Values go in and out as Currency.
class TBCDField : public TNumericField {
 public:
  explicit TBCDField(TComponent* owner);
  AnsiString ClassName() const override { return "TBCDField"; }
  int DataSize() const override { return static_cast<int>(sizeof(TBcd)); }
  int Precision() const { return precision_; }
  void SetPrecision(int precision) { precision_ = precision; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool on) { currency_ = on; }

 protected:
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  int32_t GetAsInteger() const override;
  void SetAsIntegerValue(int32_t value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double value) override;
  ::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(::Currency value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  AnsiString GetTextValue(bool displayText) const override;
  int DefaultWidth() const override { return precision_ > 0 ? precision_ + 2 : 10; }
  bool AcceptsDefType(TFieldType type) const override { return type == ftBCD; }

 private:
  bool GetBcd(TBcd& value) const;
  int precision_ = 0;
  bool currency_ = false;
};

// Dates, times and both; DisplayFormat is a FormatDateTime picture.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* owner);
  AnsiString ClassName() const override { return "TDateTimeField"; }
  int DataSize() const override;
  const AnsiString& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const AnsiString& format);

 protected:
  TDateTimeField(TComponent* owner, TFieldType type);
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double value) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  AnsiString GetTextValue(bool displayText) const override;
  int DefaultWidth() const override;
  bool AcceptsDefType(TFieldType type) const override;

 private:
  bool GetValue(TDateTime& value) const;
  // The format of the default texts when no DisplayFormat applies: the
  // settings' picture for the field's type (the settings outlive every field).
  std::string_view DefaultFormat() const;
  AnsiString displayFormat_;
};

class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* owner);
  AnsiString ClassName() const override { return "TDateField"; }
};

class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* owner);
  AnsiString ClassName() const override { return "TTimeField"; }
};

// Raw bytes of a fixed (TBytesField) or bounded (TVarBytesField) length; the
// text and variant forms carry the bytes unchanged.
class TBinaryField : public TField {
 public:
  AnsiString ClassName() const override { return "TBinaryField"; }

 protected:
  TBinaryField(TComponent* owner, TFieldType type);
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  AnsiString GetTextValue(bool displayText) const override;
  bool AcceptsDefType(TFieldType type) const override;
};

class TBytesField : public TBinaryField {
 public:
  explicit TBytesField(TComponent* owner);
  AnsiString ClassName() const override { return "TBytesField"; }
  int DataSize() const override { return Size(); }
};

class TVarBytesField : public TBinaryField {
 public:
  explicit TVarBytesField(TComponent* owner);
  AnsiString ClassName() const override { return "TVarBytesField"; }
  int DataSize() const override { return Size() + 2; }
};

// Blobs and memos: values of any length, read and written only through the
// dataset's blob stream (CreateBlobStream).
class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* owner);
  AnsiString ClassName() const override { return "TBlobField"; }
  bool IsBlob() const override { return true; }
  // One of the blob types (ftBlob ... ftTypedBinary); the field's DataType.
  TFieldType BlobType() const { return DataType(); }
  void SetBlobType(TFieldType type);
  // Set when the value was written through a stream since the last fetch.
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  // The whole value from / into a stream.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  int32_t BlobSize() const;

 protected:
  TBlobField(TComponent* owner, TFieldType type);
  AnsiString GetAsString() const override;
  void SetAsStringValue(const AnsiString& value) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& value) override;
  // "(MEMO)", "(BLOB)", ...: upper case when there is a value.
  AnsiString GetTextValue(bool displayText) const override;
  void ClearValue() override;
  bool AcceptsDefType(TFieldType type) const override;

 private:
  std::unique_ptr<TStream> OpenStream(TBlobStreamMode mode) const;
  bool modified_ = false;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* owner);
  AnsiString ClassName() const override { return "TMemoField"; }
};

class TGraphicField : public TBlobField {
 public:
  explicit TGraphicField(TComponent* owner);
  AnsiString ClassName() const override { return "TGraphicField"; }
};

// A field made of parts: the members of an ADT, the elements of an array.
// The parts belong to it (destroyed with it) and follow it into a dataset.
class TObjectField : public TField {
 public:
  ~TObjectField() override;
  AnsiString ClassName() const override { return "TObjectField"; }
  int FieldCount() const { return static_cast<int>(children_.size()); }
  // Raises "Field index out of range" for a bad index.
  TField* Fields(int index) const;
  // Takes ownership of child and makes it a part of this field.
  void AddChild(TField* child);
  // The part named name (case-insensitive), searched depth-first.
  TField* FindChild(std::string_view name) const;

 protected:
  explicit TObjectField(TComponent* owner) : TField(owner) {}
  // An array of the parts' values.
  Variant GetAsVariant() const override;
  AnsiString GetAsString() const override;

 private:
  friend class TField;
  friend class TDataSet;
  void AttachChildren(TDataSet* dataSet);
  std::vector<TField*> children_;
};

// A structured value: one part per member definition (ChildDefs).
class TADTField : public TObjectField {
 public:
  explicit TADTField(TComponent* owner);
  AnsiString ClassName() const override { return "TADTField"; }

 protected:
  bool AcceptsDefType(TFieldType type) const override { return type == ftADT; }
};

// Size elements "NAME[0]" ... "NAME[Size-1]" of the child definition's type.
class TArrayField : public TObjectField {
 public:
  explicit TArrayField(TComponent* owner);
  AnsiString ClassName() const override { return "TArrayField"; }

 protected:
  bool AcceptsDefType(TFieldType type) const override { return type == ftArray; }
};

// A new field of the class that serves type (TBlobField with that BlobType
// for the blob subtypes); null for types without a field class.
TField* CreateFieldOfType(TFieldType type, TComponent* owner);

// The ordered list of a dataset's fields. It does not own the fields: the
// default fields belong to the dataset, persistent ones to their owner.
class TFields {
 public:
  explicit TFields(TDataSet* dataSet) : dataSet_(dataSet) {}
  TDataSet* DataSet() const { return dataSet_; }
  int Count() const { return static_cast<int>(list_.size()); }
  // Raises EDatabaseError "Field index out of range" for a bad index.
  TField* Fields(int index) const;
  TField* operator[](int index) const { return Fields(index); }
  // By name, case-insensitive; null when absent.
  TField* FindField(std::string_view name) const;
  // Raises EDatabaseError "Field '%s' not found".
  TField* FieldByName(std::string_view name) const;
  // By field number; null when absent.
  TField* FieldByNumber(int fieldNo) const;
  int IndexOf(const TField* field) const;

 private:
  friend class TField;
  friend class TDataSet;
  void Add(TField* field);
  void Remove(TField* field);
  void SetFieldIndex(TField* field, int index);

  TDataSet* dataSet_;
  std::vector<TField*> list_;
};
