#include "report/tests/support/recording_report.h"

TRecordingReport::TRecordingReport(TComponent* owner)
    : TBaseReport(owner), render_(std::make_unique<TRptRenderDevice>()) {
  SetDevice(render_.get());
  RefreshDevice();
}

TRecordingReport::~TRecordingReport() = default;

std::vector<RecordedCall> TRecordingReport::CallsNamed(const std::string& name) const {
  std::vector<RecordedCall> out;
  for (const RecordedCall& c : Calls)
    if (c.name == name) out.push_back(c);
  return out;
}

bool TRecordingReport::Ready() {
  CheckPrinting();
  return !PageSkipped();
}

void TRecordingReport::Record(const std::string& name, std::vector<double> args, const AnsiString& text) {
  Calls.push_back({name, text, std::move(args)});
}

double TRecordingReport::WidthInches(const AnsiString& text) {
  if (text.empty()) return 0;
  return TextWidth(text) / UnitsFactor();
}

void TRecordingReport::StartDocument() {
  CheckNotPrinting();
  BeginDocumentState();
  HookCanvasFont();
  RefreshDevice();
  SetPrinting(true);
  StartFirstPage();
  UpdateStatus();
  if (!Aborted()) FireBeginPageHandlers();
  if (!Aborted()) FireNewPage();
  if (!Aborted()) FirePrintHeader();
}

void TRecordingReport::FinishDocument() {
  if (!PrintingFlag()) {
    FireAfterPrint();
    return;
  }
  std::exception_ptr failure;
  try {
    if (!Aborted()) {
      FirePrintFooter();
      FireEndPageHandlers();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  EndDocumentState();
  SetPrinting(false);
  Record(Aborted() ? "AbortDoc" : "EndDoc", {});
  FireAfterPrint();
  if (failure) std::rethrow_exception(failure);
}

void TRecordingReport::NewPage() {
  CheckPrinting();
  if (!Aborted()) {
    FirePrintFooter();
    FireEndPageHandlers();
  }
  TBaseReport::NewPage();
  Record("NewPage", {static_cast<double>(CurrentPage()), PageInvalid() ? 0.0 : 1.0});
  ReadDeviceMetrics();
  if (!Aborted()) FireBeginPageHandlers();
  if (!Aborted()) FireNewPage();
  if (!Aborted() && Columns() > 1) FireNewColumn();
  if (!Aborted()) FirePrintHeader();
}

void TRecordingReport::TextCenterAt(const AnsiString& text, double x) {
  if (!Ready()) return;
  Record("TextCenterAt", {x, CursorYInches()}, text);
  SetCursorInches(x + WidthInches(text) / 2, CursorYInches());
}

void TRecordingReport::TextLeftAt(const AnsiString& text, double x) {
  if (!Ready()) return;
  Record("TextLeftAt", {x, CursorYInches()}, text);
  SetCursorInches(x + WidthInches(text), CursorYInches());
}

void TRecordingReport::TextRightAt(const AnsiString& text, double x) {
  if (!Ready()) return;
  Record("TextRightAt", {x, CursorYInches()}, text);
  SetCursorInches(x, CursorYInches());
}

void TRecordingReport::TextBlockAt(const AnsiString& text, double width, double x) {
  if (!Ready()) return;
  Record("TextBlockAt", {x, CursorYInches(), width}, text);
  SetCursorInches(x + width, CursorYInches());
}

void TRecordingReport::DrawPlainRect(double x1, double y1, double x2, double y2) {
  if (!Ready()) return;
  TBrush* b = GetCanvas()->Brush();
  Record("DrawPlainRect", {I(x1), I(y1), I(x2), I(y2), static_cast<double>(b->Color())});
}

void TRecordingReport::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  if (Ready()) Record("Arc", {I(x1), I(y1), I(x2), I(y2), I(x3), I(y3), I(x4), I(y4)});
}
void TRecordingReport::BrushCopy(const TRect& d, TBitmap*, const TRect&, TColor) {
  if (Ready()) Record("BrushCopy", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom)});
}
void TRecordingReport::Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  if (Ready()) Record("Chord", {I(x1), I(y1), I(x2), I(y2), I(x3), I(y3), I(x4), I(y4)});
}
void TRecordingReport::CopyRect(const TRect& d, TCanvas*, const TRect&) {
  if (Ready()) Record("CopyRect", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom)});
}
void TRecordingReport::Draw(double x, double y, TGraphic*) {
  if (Ready()) Record("Draw", {I(x), I(y)});
}
void TRecordingReport::DrawFocusRect(const TRect& d) {
  if (Ready()) Record("DrawFocusRect", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom)});
}
void TRecordingReport::Ellipse(double x1, double y1, double x2, double y2) {
  if (Ready()) Record("Ellipse", {I(x1), I(y1), I(x2), I(y2)});
}
void TRecordingReport::FillRect(const TRect& d) {
  if (Ready()) Record("FillRect", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom)});
}
void TRecordingReport::FloodFill(double x, double y, TColor, TFillStyle) {
  if (Ready()) Record("FloodFill", {I(x), I(y)});
}
void TRecordingReport::FrameRect(const TRect& d) {
  if (Ready()) Record("FrameRect", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom)});
}

void TRecordingReport::MoveTo(double x, double y) {
  if (!Ready()) return;
  LineBuffer().MoveTo(I(x) + I(OriginX()), I(y) + I(OriginY()));
  if (!LineBuffer().Buffering()) Record("MoveTo", {I(x), I(y)});
}

void TRecordingReport::LineTo(double x, double y) {
  if (!Ready()) return;
  TPen* pen = GetCanvas()->Pen();
  double fromX = LineBuffer().LastX() - I(OriginX()), fromY = LineBuffer().LastY() - I(OriginY());
  if (!LineBuffer().Buffering()) {
    LineBuffer().MoveTo(I(x) + I(OriginX()), I(y) + I(OriginY()));
    Record("LineTo", {I(x), I(y), static_cast<double>(pen->Width())});
    return;
  }
  if (LineBuffer().Add(I(x) + I(OriginX()), I(y) + I(OriginY()), pen->Color(), pen->Mode(), pen->Style(),
                       pen->Width()))
    return;
  Record("MoveTo", {fromX, fromY});
  Record("LineTo", {I(x), I(y), static_cast<double>(pen->Width())});
}

void TRecordingReport::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  if (Ready()) Record("Pie", {I(x1), I(y1), I(x2), I(y2), I(x3), I(y3), I(x4), I(y4)});
}
void TRecordingReport::Polygon(const std::vector<TPoint>& p) {
  if (Ready()) Record("Polygon", {double(p.size())});
}
void TRecordingReport::Polyline(const std::vector<TPoint>& p) {
  if (Ready()) Record("Polyline", {double(p.size())});
}
void TRecordingReport::PrintBitmap(double x, double y, double sx, double sy, TBitmap*) {
  if (Ready()) Record("PrintBitmap", {I(x), I(y), sx, sy});
}
void TRecordingReport::PrintBitmapRect(double x1, double y1, double x2, double y2, TBitmap*) {
  if (Ready()) Record("PrintBitmapRect", {I(x1), I(y1), I(x2), I(y2)});
}
void TRecordingReport::PrintImageRect(double x1, double y1, double x2, double y2, TStream*, const AnsiString& ext) {
  if (Ready()) Record("PrintImageRect", {I(x1), I(y1), I(x2), I(y2)}, ext);
}
void TRecordingReport::Rectangle(double x1, double y1, double x2, double y2) {
  if (Ready()) Record("Rectangle", {I(x1), I(y1), I(x2), I(y2)});
}
void TRecordingReport::RoundRect(double x1, double y1, double x2, double y2, double cw, double ch) {
  if (Ready()) Record("RoundRect", {I(x1), I(y1), I(x2), I(y2), I(cw), I(ch)});
}
void TRecordingReport::StretchDraw(const TRect& d, TGraphic*) {
  if (Ready()) Record("StretchDraw", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom)});
}
void TRecordingReport::TextRect(const TRect& d, double x, double y, const AnsiString& text) {
  if (Ready()) Record("TextRect", {double(d.Left), double(d.Top), double(d.Right), double(d.Bottom), I(x), I(y)}, text);
}
void TRecordingReport::WriteDeviceText(const AnsiString& text) {
  if (Ready()) Record("WriteDeviceText", {}, text);
}
void TRecordingReport::WriteDeviceData(TStream*, int64_t count) {
  if (Ready()) Record("WriteDeviceData", {double(count)});
}
