// A page of the PDF document and its content stream. The page turns the
// renderer's drawing operations into PDF operators and remembers the last
// dash, stroke colour, fill colour, text colour and line width it wrote, so
// that each is written again only when it changes.
#pragma once

#include "platform/gui/graphics.h"
#include "report/pdf_objects.h"

// The operators of one page; they start with projecting square line caps.
class TRptPDFPageContent : public TRptPDFObject {
 public:
  explicit TRptPDFPageContent(TRptRenderPDF* owner);
  void WriteObject(TPdfText& out) override;
};

class TRptPDFPage : public TRptPDFObject {
 public:
  // Colours start as the previous page left them (or black text and lines
  // on a white fill); nothing counts as written on a new page.
  TRptPDFPage(TRptRenderPDF* owner, const TRptPDFPage* previous);
  void WriteObject(TPdfText& out) override;

  AnsiString Name;                 // "P1", "P2", ...
  double Width = 8.5, Height = 11; // inches
  TRptPDFPageContent Content;

  // Drawing, coordinates in inches from the top-left corner of the page.
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void Rectangle(double x1, double y1, double x2, double y2, bool penClear);
  void Ellipse(double x1, double y1, double x2, double y2);
  void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH);
  // kind 0 arc, 1 chord, 2 pie.
  void Arc(int kind, double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  // Points in 1/1248 inch.
  void Poly(const std::vector<TPoint>& points, int last, bool closed);
  void Text(const AnsiString& text, double x, double y);
  // rect in inches.
  void TextRect(double left, double top, double right, double bottom, const AnsiString& text, double x, double y);
  void Image(const AnsiString& name, double x1, double y1, double x2, double y2);

  // The text colour that was last set (copied to the next page).
  TColor TextColor = clBlack, StrokeColor = clBlack, FillColor = clWhite;

 private:
  double X(double inches) const { return inches * 72; }
  double Y(double inches) const { return (Height - inches) * 72; }
  void State(bool fill);
  // "b", "f", "S" or "" for the current pen and brush.
  const char* PaintOp(bool penUsed, bool brushUsed) const;
  void EndPath(bool penUsed, bool brushUsed);
  void Forget();
  void ArcPath(double cx, double cy, double r, double from, double sweep, bool move);

  bool dashWritten_ = false, strokeWritten_ = false, fillWritten_ = false, textWritten_ = false,
       widthWritten_ = false;
  int dash_ = -1;
  TColor stroke_ = clBlack, fill_ = clWhite, text_ = clBlack;
  double width_ = 0;
};

// "%.3g %.3g %.3g" of a colour, red first; system colours (negative) black.
AnsiString PdfColorText(TColor color);
