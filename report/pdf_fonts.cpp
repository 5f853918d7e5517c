#include "report/pdf_fonts.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"

namespace {

#include "report/pdf_core14_tables.inc"

constexpr TPdfCoreFont kFonts[kPdfFontCount] = {
    {"F1", "Courier", "Courier"},
    {"F2", "Courier-Bold", "Courier"},
    {"F3", "Courier-Oblique", "Courier"},
    {"F4", "Courier-BoldOblique", "Courier"},
    {"F5", "Helvetica", "Helvetica"},
    {"F6", "Helvetica-Bold", "Helvetica"},
    {"F7", "Helvetica-Oblique", "Helvetica"},
    {"F8", "Helvetica-BoldOblique", "Helvetica"},
    {"F9", "Times-Roman", "TimesRoman"},
    {"F10", "Times-Bold", "TimesRoman"},
    {"F11", "Times-Italic", "TimesRoman"},
    {"F12", "Times-BoldItalic", "TimesRoman"},
    {"F13", "Symbol", "Symbol"},
    {"F14", "ZapfDingbats", "ZapfDingbats"},
};

// The variants of a family follow it in this order.
constexpr const char* kLookup[kPdfFontCount] = {
    "Courier",    "CourierBold",    "CourierItalic",    "CourierBoldItalic",
    "Helvetica",  "HelveticaBold",  "HelveticaItalic",  "HelveticaBoldItalic",
    "TimesRoman", "TimesRomanBold", "TimesRomanItalic", "TimesRomanBoldItalic",
    "Symbol",     "ZapfDingbats"};

}  // namespace

const TPdfCoreFont& PdfCoreFont(int index) { return kFonts[std::clamp(index, 0, kPdfFontCount - 1)]; }

int PdfFontIndex(const AnsiString& name, bool bold, bool italic) {
  AnsiString n = UpperCase(name);
  const char* family = "Helvetica";
  if (n == "COURIER" || n == "COURIER NEW")
    family = "Courier";
  else if (n == "TIMES NEW ROMAN")
    family = "TimesRoman";
  else if (n == "SYMBOL")
    family = "Symbol";
  else if (n == "ZAPFDINGBATS")
    family = "ZapfDingbats";
  int index = 0;
  for (int i = 0; i < kPdfFontCount; ++i)
    if (AnsiString(kLookup[i]) == family) index = i;
  if (index < 12) index += (bold ? 1 : 0) + (italic ? 2 : 0);
  return index;
}

int PdfCharWidth(int font, uint8_t code) { return kCore14Widths[std::clamp(font, 0, kPdfFontCount - 1)][code]; }

double PdfTextWidth(int font, const AnsiString& text, double points) {
  long sum = 0;
  for (char c : text) sum += PdfCharWidth(font, static_cast<uint8_t>(c));
  return sum / 1000.0 * points / 72.0;
}

const char* PdfEncodingName(TPDFFontEncoding encoding) {
  switch (encoding) {
    case feMacRomanEncoding: return "MacRomanEncoding";
    case feMacExpertEncoding: return "MacExpertEncoding";
    case fePDFDocEncoding: return "PDFDocEncoding";
    case feStandardEncoding: return "StandardEncoding";
    case feWinAnsiEncoding: break;
  }
  return "WinAnsiEncoding";
}

const AnsiString& PdfCp1250Differences() {
  // Runs of consecutive codes share their first code.
  static const AnsiString text = [] {
    AnsiString out = "[";
    int next = -1;
    for (const TPdfEncodingDifference& d : kCp1250Differences) {
      if (d.code != next) out += " " + IntToStr(d.code);
      out += AnsiString(" /") + d.glyph;
      next = d.code + 1;
    }
    return out + " ]";
  }();
  return text;
}
