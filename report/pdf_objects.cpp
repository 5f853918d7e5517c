#include "report/pdf_objects.h"

#include "report/pdf_fonts.h"
#include "report/pdf_render.h"

const TFormatSettings& PdfNumberFormat() {
  static const TFormatSettings settings = [] {
    TFormatSettings s = CzechFormatSettings();
    s.DecimalSeparator = '.';
    s.ThousandSeparator = '\0';
    return s;
  }();
  return settings;
}

void TRptPDFCatalog::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn("<<");
  out.PrintLn("/Type /Catalog");
  out.PrintLnF("/Outlines %d 0 R", 2);
  out.PrintLnF("/Pages %d 0 R", Owner->PagesNumber());
  out.PrintLn(">>");
  out.PrintLn("endobj");
  out.PrintLn();
}

void TRptPDFOutlines::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn("<<");
  out.PrintLn("/Type /Outlines");
  out.PrintLnF("/Count %d", 0);
  out.PrintLn(">>");
  out.PrintLn("endobj");
  out.PrintLn();
}

void TRptPDFPages::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn("<<");
  out.PrintLn("/Type /Pages");
  out.PrintLnF("/Count %d", static_cast<int>(Owner->Pages().size()));
  AnsiString kids;
  for (const TRptPDFPage* page : Owner->Pages()) kids += FormatWith(PdfNumberFormat(), "%d 0 R ", page->Number);
  if (!kids.empty()) kids.pop_back();
  out.PrintLnF("/Kids [ %s ] ", kids);
  out.PrintLn(">>");
  out.PrintLn("endobj");
  out.PrintLn();
}

void TRptPDFProcSet::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn(Owner->HasImages() ? "[/PDF /Text /ImageB /ImageC /ImageI]" : "[/PDF /Text]");
  out.PrintLn("endobj");
  out.PrintLn();
}

void TRptPDFFont::WriteObject(TPdfText& out) {
  const TPdfCoreFont& f = PdfCoreFont(Index);
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn("<<");
  out.PrintLn("/Type /Font");
  out.PrintLnF("/Subtype /%s", Subtype);
  out.PrintLnF("/Name /%s", f.resource);
  out.PrintLnF("/BaseFont /%s", f.baseFont);
  if (Owner->FontEncoding == feWinAnsiEncoding && Index < 12)
    out.PrintLn("/Encoding << /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences " +
                PdfCp1250Differences() + " >>");
  else
    out.PrintLn(AnsiString("/Encoding /") + PdfEncodingName(Owner->FontEncoding));
  out.PrintLn(">>");
  out.PrintLn("endobj");
  out.PrintLn();
}

void TRptPDFXObject::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn("<<");
  out.PrintLn("/Type /XObject");
  out.PrintLn("/Subtype /Image");
  out.PrintLnF("/Name /%s", Name);
  out.PrintLnF("/Width %d /Height %d ", Width, Height);
  out.PrintLn("/BitsPerComponent 8");
  out.PrintLnF("/ColorSpace /DeviceRGB /Length %d /Filter [/DCTDecode ]", static_cast<int>(Jpeg.size()));
  out.PrintLn(">>");
  out.PrintLn("stream");
  out.PrintLn(Jpeg);  // the end of line keeps "endstream" on a line of its own
  out.PrintLn("endstream");
  out.PrintLn("endobj");
  out.PrintLn();
}
