// The objects of a PDF document as the PDF renderer writes them: each
// object knows its number and writes its whole text (from "n 0 obj" to the
// empty line after "endobj") into the document. Every line ends in CR LF;
// numbers always use "." whatever the process-wide format settings say.
#pragma once

#include <string>
#include <string_view>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/sysutils.h"

class TRptRenderPDF;

// The Czech settings with "." as the decimal separator and no thousand
// separator: the number format of every PDF and HTML text.
const TFormatSettings& PdfNumberFormat();

// A byte buffer written line by line.
class TPdfText {
 public:
  std::string Bytes;
  void Print(std::string_view text) { Bytes.append(text); }
  void PrintLn(std::string_view text = "") {
    Bytes.append(text);
    Bytes.append("\r\n");
  }
  template <typename... Args>
  void PrintF(std::string_view fmt, const Args&... args) {
    Print(FormatWith(PdfNumberFormat(), fmt, args...));
  }
  template <typename... Args>
  void PrintLnF(std::string_view fmt, const Args&... args) {
    PrintLn(FormatWith(PdfNumberFormat(), fmt, args...));
  }
};

class TRptPDFObject {
 public:
  explicit TRptPDFObject(TRptRenderPDF* owner) : Owner(owner) {}
  virtual ~TRptPDFObject() = default;
  TRptPDFObject(const TRptPDFObject&) = delete;
  TRptPDFObject& operator=(const TRptPDFObject&) = delete;

  TRptRenderPDF* Owner;
  int Number = 0;
  TPdfText Data;  // text the object collects before it is written
  // Appends the object's full text to out.
  virtual void WriteObject(TPdfText& out) = 0;
};

class TRptPDFCatalog : public TRptPDFObject {
 public:
  using TRptPDFObject::TRptPDFObject;
  void WriteObject(TPdfText& out) override;
};

class TRptPDFOutlines : public TRptPDFObject {
 public:
  using TRptPDFObject::TRptPDFObject;
  void WriteObject(TPdfText& out) override;
};

class TRptPDFPages : public TRptPDFObject {
 public:
  using TRptPDFObject::TRptPDFObject;
  void WriteObject(TPdfText& out) override;
};

// The procedure sets: the image sets only in a document with images.
class TRptPDFProcSet : public TRptPDFObject {
 public:
  using TRptPDFObject::TRptPDFObject;
  void WriteObject(TPdfText& out) override;
};

// One of the 14 standard fonts (index 0..13 = F1..F14), not embedded.
class TRptPDFFont : public TRptPDFObject {
 public:
  TRptPDFFont(TRptRenderPDF* owner, int index) : TRptPDFObject(owner), Index(index) {}
  int Index;
  AnsiString Subtype = "Type1";
  void WriteObject(TPdfText& out) override;
};

// A JPEG picture ("G1", "G2", ...).
class TRptPDFXObject : public TRptPDFObject {
 public:
  using TRptPDFObject::TRptPDFObject;
  AnsiString Name;
  int Width = 0, Height = 0;  // pixels
  std::string Jpeg;
  void WriteObject(TPdfText& out) override;
};
