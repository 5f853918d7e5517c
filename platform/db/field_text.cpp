// Text forms of field values: the plain conversion (AsString), the edit text
// a control edits (Text: EditFormat for numbers, never DisplayFormat), the
// display text a grid shows (DisplayText: DisplayFormat), parsing of typed
// texts with the process format settings, valid characters and default
// display widths. Null reads as "" in every form; "" written as text clears.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"
#include "platform/db/fields.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/locale_compare.h"

namespace {

// A date, a time, or a date followed by a blank and a time.
TDateTime StrToDateTimeValue(const AnsiString& text) {
  AnsiString s = Trim(text);
  TDateTime date;
  if (TryStrToDate(s, date)) return date;
  TDateTime time;
  std::size_t blank = s.find(' ');
  if (blank != AnsiString::npos) {
    AnsiString datePart = s.substr(0, blank);
    AnsiString timePart = Trim(s.substr(blank + 1));
    if (TryStrToDate(datePart, date) && TryStrToTime(timePart, time))
      return date >= 0 ? date + time : date - time;
  }
  if (TryStrToTime(s, time)) return time;
  throw EConvertError(Format("'%s' is not a valid date and time", text));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "(Memo)" from "TMemoField"; upper case when the field has a value.
AnsiString ClassDescription(const TField& field) {
  AnsiString name = field.ClassName();
  std::size_t end = name.find("Field");
  AnsiString core = name.substr(1, end == AnsiString::npos ? AnsiString::npos : end - 1);
  AnsiString text(1, '(');  // built by appending: "(" + ... trips a false -Wrestrict at -O3
  text += UpperCase(core);
  text += ')';
  return text;
}

}  // namespace

// ------------------------------------------------------------------ TField

AnsiString TField::Text() const {
  AnsiString text;
  if (OnGetText) {
    OnGetText(const_cast<TField*>(this), text, false);
    return text;
  }
  return IsNull() ? AnsiString() : GetTextValue(false);
}

AnsiString TField::DisplayText() const {
  AnsiString text;
  if (OnGetText) {
    OnGetText(const_cast<TField*>(this), text, true);
    return text;
  }
  return IsNull() ? AnsiString() : GetTextValue(true);
}

void TField::SetText(const AnsiString& text) {
  if (OnSetText) {
    OnSetText(this, text);
    return;
  }
  SetTextValue(text);
}

AnsiString TField::GetTextValue(bool) const { return GetAsString(); }

void TField::SetTextValue(const AnsiString& text) {
  if (text.empty())
    Clear();
  else
    SetAsString(text);
}

bool TField::IsValidChar(char) const { return true; }

// ------------------------------------------------------------ TStringField

TDateTime TStringField::GetAsDateTime() const { return StrToDateTimeValue(GetAsString()); }
void TStringField::SetAsDateTimeValue(TDateTime value) { SetAsStringValue(DateTimeToStr(value)); }

// ----------------------------------------------------------- TNumericField

bool TNumericField::IsValidChar(char c) const { return IsDigit(c) || c == '+' || c == '-'; }

// ----------------------------------------------------------- TIntegerField

AnsiString TIntegerField::GetAsString() const {
  int64_t v;
  return GetValue(v) ? IntToStr(v) : AnsiString();
}

void TIntegerField::SetAsStringValue(const AnsiString& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  // StrToInt64 names the text in its conversion error.
  SetValue64(StrToInt64(Trim(value)));
}

AnsiString TIntegerField::GetTextValue(bool displayText) const {
  int64_t v;
  if (!GetValue(v)) return AnsiString();
  const AnsiString& format = displayText ? DisplayFormat() : EditFormat();
  if (format.empty()) return IntToStr(v);
  return FormatFloat(format, static_cast<double>(v));
}

// ---------------------------------------------------------- TLargeintField

AnsiString TLargeintField::GetAsString() const {
  return IsNull() ? AnsiString() : IntToStr(AsLargeInt());
}

void TLargeintField::SetAsStringValue(const AnsiString& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  SetAsLargeInt(StrToInt64(Trim(value)));
}

AnsiString TLargeintField::GetTextValue(bool displayText) const {
  if (IsNull()) return AnsiString();
  int64_t v = AsLargeInt();
  const AnsiString& format = displayText ? DisplayFormat() : EditFormat();
  if (format.empty()) return IntToStr(v);
  return FormatFloat(format, static_cast<double>(v));
}

// ------------------------------------------------------------- TFloatField

AnsiString TFloatField::GetAsString() const {
  // One read of the value (IsNull and GetAsFloat would read it twice).
  unsigned char buffer[8];
  if (!GetData(buffer)) return AnsiString();
  return FloatToStr(LoadBufferValue<double>(buffer));
}

void TFloatField::SetAsStringValue(const AnsiString& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  // StrToFloat names the text in its conversion error.
  SetAsFloatValue(StrToFloat(value));
}

AnsiString TFloatField::GetTextValue(bool displayText) const {
  if (IsNull()) return AnsiString();
  double v = GetAsFloat();
  const AnsiString& format = displayText ? DisplayFormat() : EditFormat();
  if (!format.empty()) return FormatFloat(format, v);
  if (currency_) {
    int decimals = FormatSettings().CurrencyDecimals;
    return displayText ? FloatToStrF(v, TFloatFormat::ffCurrency, precision_, decimals)
                       : FloatToStrF(v, TFloatFormat::ffFixed, precision_, decimals);
  }
  return FloatToStrF(v, TFloatFormat::ffGeneral, precision_, 0);
}

bool TFloatField::IsValidChar(char c) const {
  return TNumericField::IsValidChar(c) || c == FormatSettings().DecimalSeparator || c == 'E' ||
         c == 'e';
}

// ----------------------------------------------------------- TBooleanField

void TBooleanField::SetDisplayValues(const AnsiString& values) {
  std::size_t semicolon = values.find(';');
  AnsiString trueText = values.substr(0, semicolon);
  AnsiString falseText = semicolon == AnsiString::npos ? AnsiString() : values.substr(semicolon + 1);
  if (trueText.empty() && falseText.empty())
    DatabaseErrorFmt(dbmsg::InvalidFieldValue, DisplayName());
  displayValues_ = values;
  trueText_ = trueText;
  falseText_ = falseText;
  if (DataSet() && DataSet()->Active()) DataSet()->DataEvent(deDataSetChange, 0);
}

AnsiString TBooleanField::GetAsString() const {
  if (IsNull()) return AnsiString();
  return GetAsBoolean() ? trueText_ : falseText_;
}

void TBooleanField::SetAsStringValue(const AnsiString& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  // A leading part of either text will do ("T" for "True"); false is tried
  // first, as an empty true text must not swallow everything.
  std::size_t n = value.size();
  if (n <= falseText_.size() && AnsiSameText(value, falseText_.substr(0, n))) {
    SetAsBooleanValue(false);
    return;
  }
  if (n <= trueText_.size() && AnsiSameText(value, trueText_.substr(0, n))) {
    SetAsBooleanValue(true);
    return;
  }
  DatabaseErrorFmt(dbmsg::InvalidBoolValue, value, DisplayName());
}

int TBooleanField::DefaultWidth() const {
  return static_cast<int>(std::max(trueText_.size(), falseText_.size()));
}

// ---------------------------------------------------------- TDateTimeField

void TDateTimeField::SetDisplayFormat(const AnsiString& format) {
  if (format == displayFormat_) return;
  displayFormat_ = format;
  if (DataSet() && DataSet()->Active()) DataSet()->DataEvent(deDataSetChange, 0);
}

std::string_view TDateTimeField::DefaultFormat() const {
  const TFormatSettings& fs = FormatSettings();
  switch (DataType()) {
    case ftDate: return fs.ShortDateFormat;
    case ftTime: return fs.LongTimeFormat;
    default: return "c";
  }
}

AnsiString TDateTimeField::GetAsString() const {
  TDateTime v;
  return GetValue(v) ? FormatDateTime(DefaultFormat(), v) : AnsiString();
}

void TDateTimeField::SetAsStringValue(const AnsiString& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  switch (DataType()) {
    case ftDate: SetAsDateTimeValue(StrToDate(value)); return;
    case ftTime: SetAsDateTimeValue(StrToTime(value)); return;
    default: SetAsDateTimeValue(StrToDateTimeValue(value)); return;
  }
}

AnsiString TDateTimeField::GetTextValue(bool displayText) const {
  TDateTime v;
  if (!GetValue(v)) return AnsiString();
  const std::string_view format =
      displayText && !displayFormat_.empty() ? std::string_view(displayFormat_) : DefaultFormat();
  return FormatDateTime(format, v);
}

int TDateTimeField::DefaultWidth() const {
  const TFormatSettings& fs = FormatSettings();
  if (!displayFormat_.empty()) return static_cast<int>(displayFormat_.size());
  switch (DataType()) {
    case ftDate: return static_cast<int>(fs.ShortDateFormat.size());
    case ftTime: return static_cast<int>(fs.LongTimeFormat.size());
    default: return static_cast<int>(fs.ShortDateFormat.size() + 1 + fs.LongTimeFormat.size());
  }
}

// ------------------------------------------------------- binary and blobs

AnsiString TBinaryField::GetTextValue(bool) const { return ClassDescription(*this); }

AnsiString TBlobField::GetTextValue(bool) const { return ClassDescription(*this); }
