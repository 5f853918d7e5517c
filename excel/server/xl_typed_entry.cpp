// Typed entry of cell values.
#include "excel/server/xl_typed_entry.h"

#include "platform/rtl/datetime.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"

namespace xl {

namespace {

bool Digits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return !s.empty();
}

int Number(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

// dd.mm.yyyy of a valid date from 1 March 1900 on.
bool ParseDate(const AnsiString& t, double& serial) {
  if (t.size() != 10 || t[2] != '.' || t[5] != '.') return false;
  std::string_view s(t);
  if (!Digits(s.substr(0, 2)) || !Digits(s.substr(3, 2)) || !Digits(s.substr(6, 4))) return false;
  TDateTime date = 0;
  if (!TryEncodeDate(Number(s.substr(6, 4)), Number(s.substr(3, 2)), Number(s.substr(0, 2)), date)) return false;
  if (date < EncodeDate(1900, 3, 1)) return false;
  serial = date;  // TDateTime and the 1900 date system agree from March 1900
  return true;
}

AnsiString GeneralNumber(double v) { return FloatToStr(v, CzechFormatSettings()); }

}  // namespace

TypedValue TypeEntry(const Variant& value) {
  TypedValue out;
  if (value.IsArray()) throw EOleException("An array cannot go into one cell");
  if (value.IsEmpty() || value.IsNull()) return out;
  if (value.IsDateTime()) {
    out.kind = biff::CellKind::Number;
    out.number = value.AsDouble();
    out.isDate = true;
    return out;
  }
  if (value.VarType() == varBoolean) {
    out.kind = biff::CellKind::Boolean;
    out.boolean = value.AsBool();
    return out;
  }
  if (value.IsNumeric()) {
    out.kind = biff::CellKind::Number;
    out.number = value.AsDouble();
    return out;
  }
  const AnsiString& t = value.StringRef();
  if (t.size() > biff::kMaxCellChars) throw EOleException("Text is longer than a cell can hold (32 767 characters)");
  if (t.empty()) return out;
  double number = 0;
  if (TryStrToFloat(t, number, CzechFormatSettings()) && GeneralNumber(number) == t) {
    out.kind = biff::CellKind::Number;
    out.number = number;
    return out;
  }
  if (ParseDate(t, number)) {
    out.kind = biff::CellKind::Number;
    out.number = number;
    out.isDate = true;
    return out;
  }
  out.kind = biff::CellKind::Text;
  out.text = t;
  return out;
}

Variant CellValue(const biff::Cell& cell, bool isDate) {
  switch (cell.kind) {
    case biff::CellKind::Number:
      return isDate ? Variant::FromDateTime(cell.number) : Variant(cell.number);
    case biff::CellKind::Text:
      return Variant(cell.text);
    case biff::CellKind::Boolean:
      return Variant(cell.boolean);
    default:
      return Variant();
  }
}

AnsiString DisplayText(const biff::Cell& cell, bool isDate) {
  switch (cell.kind) {
    case biff::CellKind::Number:
      return isDate ? FormatDateTime("dd.mm.yyyy", cell.number, CzechFormatSettings()) : GeneralNumber(cell.number);
    case biff::CellKind::Text:
      return cell.text;
    case biff::CellKind::Boolean:
      return cell.boolean ? "PRAVDA" : "NEPRAVDA";
    default:
      return {};
  }
}

AnsiString VariantDisplayText(const Variant& value) {
  if (value.IsArray()) throw EOleException("The value of several cells is no text");
  if (value.IsDateTime()) return FormatDateTime("dd.mm.yyyy", value.AsDouble(), CzechFormatSettings());
  if (value.VarType() == varBoolean) return value.AsBool() ? "PRAVDA" : "NEPRAVDA";
  if (value.IsNumeric()) return GeneralNumber(value.AsDouble());
  return value.AsString();
}

}  // namespace xl
