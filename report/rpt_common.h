// Common definitions of the report library: its exception, its component
// bases, a string holder, the paper-size table and the translation hook
// every default text and message passes through.
#pragma once

#include <vector>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/sysutils.h"

class EReportError : public Exception {
 public:
  using Exception::Exception;
};

// The report library's base component; Version is fixed.
class TRptComponent : public TComponent {
 public:
  explicit TRptComponent(TComponent* owner = nullptr) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TRptComponent"; }
  AnsiString Version() const { return "1.0"; }
  void SetVersion(const AnsiString&) {}  // read-only: writes are ignored
};

class TRptBaseComponent : public TRptComponent {
 public:
  explicit TRptBaseComponent(TComponent* owner = nullptr) : TRptComponent(owner) {}
  AnsiString ClassName() const override { return "TRptBaseComponent"; }
};

// A text held as an object (in string lists' object slots).
class TRptStringObject : public TObject {
 public:
  explicit TRptStringObject(const AnsiString& value = "") : Value(value) {}
  AnsiString Value;
};

struct TRptPaperSize {
  int code;           // the platform's paper code
  const char* name;   // "A4 Sheet, 210- by 297-millimeters"
  double widthInch;
  double heightInch;
};

// All 43 rows, "Default" and "Custom" (0 x 0) first.
const std::vector<TRptPaperSize>& PaperSizes();
// The row of a code, or nullptr.
const TRptPaperSize* FindPaperSize(int code);

// Every default text and message of the library passes through the
// translation function; by default it answers the text unchanged.
using TRptTranslator = AnsiString (*)(const AnsiString& text);
void SetRptTranslator(TRptTranslator translator);
AnsiString RptText(const AnsiString& text);
