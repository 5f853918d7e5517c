// A renderer that records every call with its arguments (inches as given,
// points for the rectangle forms); used by the converter tests and by the
// tests of the file renderers and of the application's report capture.
#pragma once

#include <string>
#include <vector>

#include "report/rpt_render.h"

struct RenderCall {
  std::string name;
  AnsiString text;
  std::vector<double> args;
};

class TRecordingRenderer : public TRptRender {
 public:
  explicit TRecordingRenderer(TComponent* owner = nullptr) : TRptRender(owner) {}
  std::vector<RenderCall> Calls;
  // "Name" of every call, in order.
  std::vector<std::string> Names() const;
  std::vector<RenderCall> Named(const std::string& name) const;
  // What RenderFile received: the stream's position then and the name.
  int64_t RenderedPosition = -1;
  AnsiString RenderedName;

  void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void TextCenterAt(const AnsiString& text, double x, double y) override;
  void Ellipse(double x1, double y1, double x2, double y2) override;
  void FontChanged() override;
  void TextLeftAt(const AnsiString& text, double x, double y) override;
  void LineTo(double x, double y) override;
  void MoveTo(double x, double y) override;
  void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Polyline(const std::vector<TPoint>& points, int last) override;
  void Polygon(const std::vector<TPoint>& points, int last) override;
  void TextRightAt(const AnsiString& text, double x, double y) override;
  void PrintImageRect(TStream* image, const AnsiString& extension, double x1, double y1, double x2,
                      double y2) override;
  void PrintBitmapRect(TBitmap* bitmap, double x1, double y1, double x2, double y2) override;
  void PrintBitmap(TBitmap* bitmap, double x, double y, double scaleX, double scaleY) override;
  void StretchDraw(const TRect& rect, TGraphic* graphic) override;
  void Draw(TGraphic* graphic, double x, double y) override;
  void TextBlockAt(const AnsiString& text, double x, double width, double y) override;
  void Rectangle(double x1, double y1, double x2, double y2) override;
  void FillRect(const TRect& rect) override;
  void TextRect(const TRect& rect, const AnsiString& text, double x, double y) override;
  void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) override;
  void DocBegin() override;
  void DocEnd() override;
  void PageBegin() override;
  void PageEnd() override;
  void RenderFile(TStream* stream, const AnsiString& fileName) override;

 private:
  void Add(const std::string& name, std::vector<double> args, const AnsiString& text = "") {
    Calls.push_back({name, text, std::move(args)});
  }
};
