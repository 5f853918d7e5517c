// TCanvasReport draws every output operation of the report canvas on the
// device's canvas; TPrinterReport prints straight to the printer device.
//
// Operations take report units, mapped to device pixels with origin, scale,
// zoom, waste and resolution; the text slots take x in inches. BrushCopy,
// CopyRect, DrawFocusRect, FillRect, FrameRect, StretchDraw and TextRect's
// rectangle take device rectangles unchanged, Polygon and Polyline device
// points. Every operation requires printing and does nothing on a skipped
// page.
#pragma once

#include "report/base_report.h"

class TCanvasReport : public TBaseReport {
 public:
  explicit TCanvasReport(TComponent* owner = nullptr) : TBaseReport(owner) {}
  AnsiString ClassName() const override { return "TCanvasReport"; }

  void TextCenterAt(const AnsiString& text, double x) override;
  void TextLeftAt(const AnsiString& text, double x) override;
  void TextRightAt(const AnsiString& text, double x) override;
  void TextBlockAt(const AnsiString& text, double width, double x) override;
  void DrawPlainRect(double x1, double y1, double x2, double y2) override;
  void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) override;
  void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) override;
  void Draw(double x, double y, TGraphic* graphic) override;
  void DrawFocusRect(const TRect& rect) override;
  void Ellipse(double x1, double y1, double x2, double y2) override;
  void FillRect(const TRect& rect) override;
  void FloodFill(double x, double y, TColor color, TFillStyle style) override;
  void FrameRect(const TRect& rect) override;
  void LineTo(double x, double y) override;
  void MoveTo(double x, double y) override;
  void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Polygon(const std::vector<TPoint>& points) override;
  void Polyline(const std::vector<TPoint>& points) override;
  void PrintBitmap(double x, double y, double scaleX, double scaleY, TBitmap* bitmap) override;
  void PrintBitmapRect(double x1, double y1, double x2, double y2, TBitmap* bitmap) override;
  void PrintImageRect(double x1, double y1, double x2, double y2, TStream* stream,
                      const AnsiString& extension) override;
  void Rectangle(double x1, double y1, double x2, double y2) override;
  void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) override;
  void StretchDraw(const TRect& rect, TGraphic* graphic) override;
  void TextRect(const TRect& rect, double x, double y, const AnsiString& text) override;
  void WriteDeviceText(const AnsiString& text) override;
  void WriteDeviceData(TStream* stream, int64_t count) override;
  void NewPage() override;

  // Draws text through the rectangle-text path (single line, no clip).
  void SetRectText(bool on) { rectText_ = on; }
  // Text output ignores embedded format codes (the page-stream players).
  void SetIgnoreCodes(bool on) { ignoreCodes_ = on; }

  TDecodeImageEvent OnDecodeImage;

 protected:
  // Whether output goes ahead (printing, and the page not skipped).
  bool Ready();

 private:
  enum class Align { Left, Right, Center };
  void TextAt(const AnsiString& text, double x, Align align);
  void FormattedTextAt(const AnsiString& text, double x, Align align);
  void ShapeBox(double x1, double y1, double x2, double y2, TRect& box);

  bool rectText_ = false;
};

class TPrinterReport : public TCanvasReport {
 public:
  explicit TPrinterReport(TComponent* owner = nullptr) : TCanvasReport(owner) {}
  AnsiString ClassName() const override { return "TPrinterReport"; }
  // Without printers: "No printers are defined, aborting print job." and
  // the silent abort (EAbort).
  void StartDocument() override;
  void FinishDocument() override;
  void NewPage() override;
};
