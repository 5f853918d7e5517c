#include "report/tests/support/recording_renderer.h"

std::vector<std::string> TRecordingRenderer::Names() const {
  std::vector<std::string> out;
  for (const RenderCall& c : Calls) out.push_back(c.name);
  return out;
}

std::vector<RenderCall> TRecordingRenderer::Named(const std::string& name) const {
  std::vector<RenderCall> out;
  for (const RenderCall& c : Calls)
    if (c.name == name) out.push_back(c);
  return out;
}

void TRecordingRenderer::Arc(double a, double b, double c, double d, double e, double f, double g, double h) {
  Add("Arc", {a, b, c, d, e, f, g, h});
}
void TRecordingRenderer::Chord(double a, double b, double c, double d, double e, double f, double g, double h) {
  Add("Chord", {a, b, c, d, e, f, g, h});
}
void TRecordingRenderer::Pie(double a, double b, double c, double d, double e, double f, double g, double h) {
  Add("Pie", {a, b, c, d, e, f, g, h});
}
void TRecordingRenderer::TextCenterAt(const AnsiString& t, double x, double y) { Add("TextCenterAt", {x, y}, t); }
void TRecordingRenderer::TextLeftAt(const AnsiString& t, double x, double y) { Add("TextLeftAt", {x, y}, t); }
void TRecordingRenderer::TextRightAt(const AnsiString& t, double x, double y) { Add("TextRightAt", {x, y}, t); }
void TRecordingRenderer::Ellipse(double a, double b, double c, double d) { Add("Ellipse", {a, b, c, d}); }
void TRecordingRenderer::FontChanged() { Add("FontChanged", {Converter ? Converter->FontPoints() : 0}); }
void TRecordingRenderer::LineTo(double x, double y) { Add("LineTo", {x, y}); }
void TRecordingRenderer::MoveTo(double x, double y) { Add("MoveTo", {x, y}); }
void TRecordingRenderer::Polyline(const std::vector<TPoint>& p, int last) {
  std::vector<double> a;
  for (const TPoint& q : p) a.push_back(q.x), a.push_back(q.y);
  a.push_back(last);
  Add("Polyline", a);
}
void TRecordingRenderer::Polygon(const std::vector<TPoint>& p, int last) {
  std::vector<double> a;
  for (const TPoint& q : p) a.push_back(q.x), a.push_back(q.y);
  a.push_back(last);
  Add("Polygon", a);
}
void TRecordingRenderer::PrintImageRect(TStream* image, const AnsiString& ext, double a, double b, double c,
                                        double d) {
  Add("PrintImageRect", {a, b, c, d, static_cast<double>(image ? image->Size() : 0)}, ext);
}
void TRecordingRenderer::PrintBitmapRect(TBitmap* bmp, double a, double b, double c, double d) {
  Add("PrintBitmapRect", {a, b, c, d, static_cast<double>(bmp ? bmp->Width() : 0)});
}
void TRecordingRenderer::PrintBitmap(TBitmap* bmp, double x, double y, double sx, double sy) {
  Add("PrintBitmap", {x, y, sx, sy, static_cast<double>(bmp ? bmp->Width() : 0)});
}
void TRecordingRenderer::StretchDraw(const TRect& r, TGraphic*) {
  Add("StretchDraw", {double(r.Left), double(r.Top), double(r.Right), double(r.Bottom)});
}
void TRecordingRenderer::Draw(TGraphic* g, double x, double y) {
  Add("Draw", {x, y, static_cast<double>(g ? g->Width() : 0)});
}
void TRecordingRenderer::TextBlockAt(const AnsiString& t, double x, double w, double y) {
  Add("TextBlockAt", {x, w, y}, t);
}
void TRecordingRenderer::Rectangle(double a, double b, double c, double d) { Add("Rectangle", {a, b, c, d}); }
void TRecordingRenderer::FillRect(const TRect& r) {
  Add("FillRect", {double(r.Left), double(r.Top), double(r.Right), double(r.Bottom)});
}
void TRecordingRenderer::TextRect(const TRect& r, const AnsiString& t, double x, double y) {
  Add("TextRect", {double(r.Left), double(r.Top), double(r.Right), double(r.Bottom), x, y}, t);
}
void TRecordingRenderer::RoundRect(double a, double b, double c, double d, double w, double h) {
  Add("RoundRect", {a, b, c, d, w, h});
}
void TRecordingRenderer::DocBegin() { Add("DocBegin", {}); }
void TRecordingRenderer::DocEnd() { Add("DocEnd", {}); }
void TRecordingRenderer::PageBegin() { Add("PageBegin", {PageWidth, PageHeight}); }
void TRecordingRenderer::PageEnd() { Add("PageEnd", {}); }
void TRecordingRenderer::RenderFile(TStream* stream, const AnsiString& fileName) {
  RenderedPosition = stream ? stream->Position() : -1;
  RenderedName = fileName;
  Add("RenderFile", {}, fileName);
}
