// TRptRenderPDF turns a page stream into a PDF 1.3 file with the 14
// standard fonts (not embedded). It collects the document in memory while
// the converter plays the pages and at the end writes the object bodies in
// number order, the cross-reference table and the trailer.
//
// Object numbers: catalog 1, outlines 2, pages 3; page i (from 1) 2i + 2
// and its content 2i + 3; procedure sets 2n + 4 (n pages); fonts F1-F14
// 2n + 5 .. 2n + 18; pictures G1, G2, ... from 2n + 19. Object k is the
// k-th body of the file.
//
// The text fonts F1-F12 carry the CP1250 encoding (WinAnsi with the
// differences of the Central European code page), because every text the
// program writes is CP1250; their widths are indexed by CP1250 code.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "report/base_report.h"  // TDecodeImageEvent
#include "report/pdf_fonts.h"
#include "report/pdf_objects.h"
#include "report/pdf_page.h"
#include "report/rpt_render.h"

// Compresses source (at position 0) into dest; filter is the PDF filter
// name of the result ("FlateDecode" unless the handler changes it).
using TCompressEvent = std::function<void(TStream* source, TStream* dest, AnsiString& filter)>;

class TRptRenderPDF : public TRptRenderStream {
 public:
  explicit TRptRenderPDF(TComponent* owner = nullptr);
  ~TRptRenderPDF() override;
  AnsiString ClassName() const override { return "TRptRenderPDF"; }

  TPDFFontEncoding FontEncoding = feWinAnsiEncoding;
  bool UseCompression = false;
  TCompressEvent OnCompress;
  int ImageQuality() const { return imageQuality_; }
  void SetImageQuality(int quality);  // 1..100
  int MetafileDPI = 300;
  TDecodeImageEvent OnDecodeImage;

  // Appends the extension when the file-name part has none; checks the
  // stream's header and page chain before the file is created, so a
  // damaged stream never replaces an existing file.
  void RenderFile(TStream* stream, const AnsiString& fileName) override;
  // The same document written to output (which the caller keeps).
  void RenderToStream(TStream* stream, TStream* output);

  // Formatted output always writes numbers with "." (never the process
  // settings, which other code may rely on meanwhile).
  template <typename... Args>
  void PrintF(std::string_view fmt, const Args&... args) {
    Print(FormatWith(PdfNumberFormat(), fmt, args...));
  }
  template <typename... Args>
  void PrintLnF(std::string_view fmt, const Args&... args) {
    PrintLn(FormatWith(PdfNumberFormat(), fmt, args...));
  }

  void DocBegin() override;
  void DocEnd() override;
  void PageBegin() override;
  void PageEnd() override;
  void FontChanged() override;

  void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Ellipse(double x1, double y1, double x2, double y2) override;
  void MoveTo(double x, double y) override;
  void LineTo(double x, double y) override;
  void Polyline(const std::vector<TPoint>& points, int last) override;
  void Polygon(const std::vector<TPoint>& points, int last) override;
  void Rectangle(double x1, double y1, double x2, double y2) override;
  void FillRect(const TRect& rect) override;
  void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) override;
  void TextLeftAt(const AnsiString& text, double x, double y) override;
  void TextCenterAt(const AnsiString& text, double x, double y) override;
  void TextRightAt(const AnsiString& text, double x, double y) override;
  void TextBlockAt(const AnsiString& text, double x, double width, double y) override;
  void TextRect(const TRect& rect, const AnsiString& text, double x, double y) override;
  void PrintBitmapRect(TBitmap* bitmap, double x1, double y1, double x2, double y2) override;
  void PrintBitmap(TBitmap* bitmap, double x, double y, double scaleX, double scaleY) override;
  void StretchDraw(const TRect& rect, TGraphic* graphic) override;
  void Draw(TGraphic* graphic, double x, double y) override;
  void PrintImageRect(TStream* image, const AnsiString& extension, double x1, double y1, double x2,
                      double y2) override;

  // The drawing state the page objects read.
  const TPen& Pen() const;
  const TBrush& Brush() const;
  int FontIndex() const { return font_; }
  double FontSize() const { return fontSize_; }
  bool Underline() const { return underline_; }
  bool StrikeOut() const { return strikeOut_; }
  int Rotation() const { return rotation_; }
  TColor FontColor() const { return fontColor_; }
  bool HasImages() const { return !images_.empty(); }
  const std::vector<TRptPDFPage*>& Pages() const { return pages_; }
  const std::vector<TRptPDFXObject*>& Images() const { return images_; }
  const std::vector<TRptPDFFont*>& Fonts() const { return fonts_; }
  int PagesNumber() const { return 3; }
  int ProcSetNumber() const;
  // The content stream as written: compressed through OnCompress when
  // UseCompression is set.
  std::string CompressContent(const std::string& operators, AnsiString& filter);

 private:
  void Assemble(TPdfText& doc);
  void Clear();
  TRptPDFPage* Page();
  // Stores the bitmap as a new picture and draws it over the rectangle.
  void AddImage(const TBitmap& bitmap, double x1, double y1, double x2, double y2);
  void TextAt(const AnsiString& text, double x, double y, double back);

  int imageQuality_ = 90;
  std::vector<std::unique_ptr<TRptPDFObject>> owned_;
  TRptPDFCatalog* catalog_ = nullptr;
  TRptPDFOutlines* outlines_ = nullptr;
  TRptPDFPages* pagesObject_ = nullptr;
  TRptPDFProcSet* procSet_ = nullptr;
  std::vector<TRptPDFPage*> pages_;
  std::vector<TRptPDFXObject*> images_;
  std::vector<TRptPDFFont*> fonts_;
  bool firstPage_ = true;
  int font_ = 10;
  double fontSize_ = 12;
  bool underline_ = false, strikeOut_ = false;
  int rotation_ = 0;
  TColor fontColor_ = clBlack;
};
