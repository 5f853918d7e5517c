// A report that records every output operation with its arguments instead
// of drawing: lengths in inches, texts as given. It prints on its own render
// device (600 dpi, no printer), so text is measured as on paper, and it
// moves the cursor after text output as a canvas does.
#pragma once

#include <string>
#include <vector>

#include "report/base_report.h"

struct RecordedCall {
  std::string name;           // "TextLeftAt", "LineTo", ...
  AnsiString text;            // the text of text output
  std::vector<double> args;   // positions in inches (device values as given)
};

class TRecordingReport : public TBaseReport {
 public:
  explicit TRecordingReport(TComponent* owner = nullptr);
  ~TRecordingReport() override;
  AnsiString ClassName() const override { return "TRecordingReport"; }

  std::vector<RecordedCall> Calls;
  // The calls named name, in order.
  std::vector<RecordedCall> CallsNamed(const std::string& name) const;
  // The device the report prints on.
  TRptRenderDevice* Render() { return render_.get(); }

  void StartDocument() override;
  void FinishDocument() override;
  void NewPage() override;

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

 private:
  bool Ready();
  void Record(const std::string& name, std::vector<double> args, const AnsiString& text = "");
  // Units to inches.
  double I(double units) const { return units / UnitsFactor(); }
  double WidthInches(const AnsiString& text);

  std::unique_ptr<TRptRenderDevice> render_;
};
