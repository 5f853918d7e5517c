// What a value entered into a cell becomes, and how a cell is shown.
//
// A text becomes a number when it is exactly the program's own text of that
// number under the fixed Czech settings ("1234,5", "-500"), a date when it
// is exactly dd.mm.yyyy of a valid date from 1 March 1900 on (earlier dates
// are off by one day in the 1900 date system and stay texts), and stays a
// text otherwise, so that "0001" or "1 234,50" are never altered. Numbers
// and Booleans are stored as such; dates as serials with the date format.
#pragma once

#include "excel/biff/biff_writer.h"
#include "excel/office_errors.h"
#include "platform/rtl/variant.h"

namespace xl {

inline constexpr const char* kDateFormat = "dd.mm.yyyy";

struct TypedValue {
  biff::CellKind kind = biff::CellKind::Blank;
  double number = 0;
  bool boolean = false;
  AnsiString text;
  bool isDate = false;  // a number shown with kDateFormat
};

// EOleException for a text above 32 767 characters and for arrays.
TypedValue TypeEntry(const Variant& value);

// The cell's value as a variant (a date cell as a date, a blank as empty).
Variant CellValue(const biff::Cell& cell, bool isDate);
// The text the cell shows: General numbers with a decimal comma, dates as
// dd.mm.yyyy, Booleans as PRAVDA/NEPRAVDA.
AnsiString DisplayText(const biff::Cell& cell, bool isDate);
// A value read back as text as the cell would show it; EOleException for
// an array (a range of several cells).
AnsiString VariantDisplayText(const Variant& value);

}  // namespace xl
