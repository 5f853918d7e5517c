// The 14 standard PDF fonts the PDF renderer uses (never embedded): their
// resource names, base fonts and families, advance widths, the choice of
// a font for a report font, and the font encodings.
#pragma once

#include <cstdint>

#include "platform/rtl/ansistring.h"

enum TPDFFontEncoding {
  feMacRomanEncoding,
  feMacExpertEncoding,
  feWinAnsiEncoding,
  fePDFDocEncoding,
  feStandardEncoding
};

constexpr int kPdfFontCount = 14;

struct TPdfCoreFont {
  const char* resource;  // "F1" .. "F14"
  const char* baseFont;  // "Courier" .. "ZapfDingbats"
  const char* family;    // "Courier", "Helvetica", "TimesRoman", ...
};

// Font 0..13 (F1..F14).
const TPdfCoreFont& PdfCoreFont(int index);
// The font for a report font name and style: Courier ("Courier", "Courier
// New"), Times ("Times New Roman"), Symbol, ZapfDingbats, else Helvetica
// (names without case); bold, italic or both pick the family's variants.
int PdfFontIndex(const AnsiString& name, bool bold, bool italic);
// Advance of one byte in 1/1000 of the size. F1-F12 take CP1250 codes.
int PdfCharWidth(int font, uint8_t code);
// Width of a text in inches at size points.
double PdfTextWidth(int font, const AnsiString& text, double points);

// The PDF name of a standard encoding ("WinAnsiEncoding").
const char* PdfEncodingName(TPDFFontEncoding encoding);
// The "/Differences [ ... ]" array that turns WinAnsi into CP1250: every
// code whose CP1250 character differs, undefined CP1250 codes as .notdef.
const AnsiString& PdfCp1250Differences();
