#include "report/canvas_report.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/dialogs.h"

namespace {

int RoundPx(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

bool TCanvasReport::Ready() {
  CheckPrinting();
  return !PageSkipped();
}

// ------------------------------------------------------------------- text

void TCanvasReport::TextAt(const AnsiString& text, double x, Align align) {
  if (!Ready()) return;
  if (!ignoreCodes_ && text.find(kFormatBegin) != std::string::npos) {
    FormattedTextAt(text, x, align);
    return;
  }
  TCanvas* canvas = GetCanvas();
  TCanvasBkMode oldMode = canvas->BackgroundMode();
  unsigned oldAlign = canvas->TextAlign();
  canvas->SetBackgroundMode(TextBKMode() == bkOpaque ? bkmOpaque : bkmTransparent);
  RealizeFont();
  const TSaveFont& f = BaseFont();
  double yInch = CursorYInches();
  int py;
  unsigned vertical;
  if (f.Superscript) {
    double lineTop = yInch + DescentInches() - LineHeightInches();
    double textTop = yInch - AscentInches();
    py = YI2D((lineTop + textTop) / 2);
    vertical = TA_TOP;
  } else if (f.Subscript) {
    py = YI2D(yInch + DescentInches()) + 1;
    vertical = TA_BOTTOM;
  } else if (f.Align == 1) {
    py = YI2D(yInch - AscentInches() - f.InternalLeading);
    vertical = TA_TOP;
  } else if (f.Align == 2) {
    py = YI2D(yInch + DescentInches()) + 1;
    vertical = TA_BOTTOM;
  } else {
    py = YI2D(yInch) + 1;
    vertical = TA_BASELINE;
  }
  unsigned horizontal = align == Align::Left ? TA_LEFT : align == Align::Right ? TA_RIGHT : TA_CENTER;
  int px = XI2D(x);
  int width = canvas->TextWidth(text);
  struct Restore {
    TCanvasReport* r;
    TCanvas* c;
    TCanvasBkMode mode;
    unsigned align;
    ~Restore() {
      r->RestoreCanvasFont();
      c->SetBackgroundMode(mode);
      c->SetTextAlign(align);
    }
  } restore{this, canvas, oldMode, oldAlign};
  if (!text.empty()) {
    canvas->SetTextAlign(horizontal | vertical);
    canvas->TextOut(px, py, text);
  }
  double w = static_cast<double>(width) / XDPI() / (ScaleX() * Zoom() / 10000);
  double advance = align == Align::Left ? w : align == Align::Center ? w / 2 : 0;
  double r = f.Rotation * M_PI / 180;
  SetCursorInches(x + advance * std::cos(r), CursorYInches() - advance * std::sin(r));
}

void TCanvasReport::FormattedTextAt(const AnsiString& text, double x, Align align) {
  double runX = x;
  if (align != Align::Left) {
    int w = TextWidthCoded(text);
    runX = align == Align::Center ? x - w / (Zoom() / 100 * XDPI() * 2) : x - static_cast<double>(w) / XDPI() * 100 / Zoom();
  }
  TSaveFont last;
  for (const TextRun& run : SplitFormatted(text, &last)) {
    SetFontRecord(run.font);
    if (run.text.empty()) continue;
    TextAt(run.text, runX, Align::Left);
    RealizeFont();
    int w = GetCanvas()->TextWidth(run.text);
    RestoreCanvasFont();
    runX += static_cast<double>(w) * 100 / Zoom() / XDPI();
  }
  // The blocks go on applying to whatever is printed next.
  SetFontRecord(last);
  SetCursorInches(runX, CursorYInches());
}

void TCanvasReport::TextCenterAt(const AnsiString& text, double x) { TextAt(text, x, Align::Center); }
void TCanvasReport::TextLeftAt(const AnsiString& text, double x) { TextAt(text, x, Align::Left); }
void TCanvasReport::TextRightAt(const AnsiString& text, double x) { TextAt(text, x, Align::Right); }

void TCanvasReport::TextBlockAt(const AnsiString& text, double width, double x) {
  if (!Ready()) return;
  AnsiString t = text;
  auto countGaps = [](const AnsiString& s) {
    std::size_t first = s.find_first_not_of(' '), last = s.find_last_not_of(' ');
    if (first == std::string::npos) return 0;
    return static_cast<int>(std::count(s.begin() + static_cast<long>(first), s.begin() + static_cast<long>(last), ' '));
  };
  int gaps = countGaps(t);
  if (gaps == 0) {
    // A single word is spread letter by letter.
    AnsiString spread;
    for (std::size_t i = 0; i < t.size(); ++i) {
      spread.push_back(t[i]);
      if (i + 1 < t.size() && t[i] != ' ' && t[i + 1] != ' ') spread.push_back(' ');
    }
    t = spread;
    gaps = std::max(1, countGaps(t));
  }
  double factor = UnitsFactor();
  RealizeFont();
  // Measured on the canvas like the words placed below, so the last word
  // ends at the block's width.
  double natural = GetCanvas()->TextWidth(t) * ScaleX() / (100.0 * XDPI()) * factor;
  double extra = (width * factor * ScaleX() * Zoom() / 10000 - natural) / gaps;  // units
  int spacePx = std::max(1, GetCanvas()->TextWidth(" "));
  RestoreCanvasFont();
  double spaceIn = static_cast<double>(spacePx) / XDPI() / (ScaleX() * Zoom() / 10000);
  double unit = spaceIn + extra / factor;  // inches
  // Words with their leading spaces.
  std::vector<std::pair<int, AnsiString>> words;
  std::size_t i = 0;
  while (i < t.size()) {
    int lead = 0;
    while (i < t.size() && t[i] == ' ') ++lead, ++i;
    std::size_t end = t.find(' ', i);
    if (end == std::string::npos) end = t.size();
    words.emplace_back(lead, t.substr(i, end - i));
    i = end;
  }
  if (words.empty()) return;
  TextAt(std::string(static_cast<std::size_t>(words[0].first), ' ') + words[0].second, x, Align::Left);
  for (std::size_t k = 1; k < words.size(); ++k) {
    auto& [lead, word] = words[k];
    if (word.empty()) break;  // trailing spaces
    double gap = lead * unit;
    RealizeFont();
    double wordIn = static_cast<double>(GetCanvas()->TextWidth(word)) / XDPI() / (ScaleX() * Zoom() / 10000);
    RestoreCanvasFont();
    double cx = CursorXInches();
    // Spaces across the gap so underline and strike-out run on.
    int fit = static_cast<int>(gap / spaceIn);
    if (fit > 0) TextAt(std::string(static_cast<std::size_t>(fit), ' '), cx, Align::Left);
    TextAt(" ", cx + gap, Align::Right);
    SetCursorInches(cx + gap + wordIn, CursorYInches());
    TextAt(word, CursorXInches(), Align::Right);
  }
}

// ----------------------------------------------------------------- shapes

void TCanvasReport::ShapeBox(double x1, double y1, double x2, double y2, TRect& box) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  int l = XU2D(x1), t = YU2D(y1), r = XU2D(x2), b = YU2D(y2);
  TPen* pen = GetCanvas()->Pen();
  int w = pen->Width(), e, d;
  if (pen->Style() == psClear) {
    e = d = 0;
  } else if (pen->Style() == psInsideFrame || FrameMode() == 1) {
    e = 0;
    d = 1;
  } else if (FrameMode() == 0) {
    e = w / 2;
    d = w - e;
  } else {
    e = (-w) / 2;
    d = e - w;
  }
  box = Rect(l + e, t + e, r - d + 2, b - d + 2);
}

void TCanvasReport::Rectangle(double x1, double y1, double x2, double y2) {
  if (!Ready()) return;
  TRect b;
  ShapeBox(x1, y1, x2, y2, b);
  GetCanvas()->Rectangle(b);
}

void TCanvasReport::Ellipse(double x1, double y1, double x2, double y2) {
  if (!Ready()) return;
  TRect b;
  ShapeBox(x1, y1, x2, y2, b);
  GetCanvas()->Ellipse(b.Left, b.Top, b.Right, b.Bottom);
}

void TCanvasReport::DrawPlainRect(double x1, double y1, double x2, double y2) {
  if (!Ready()) return;
  GetCanvas()->Rectangle(XU2D(x1), YU2D(y1), XU2D(x2) + 1, YU2D(y2) + 1);
}

void TCanvasReport::RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) {
  if (!Ready()) return;
  double f = UnitsFactor();
  int cw = RoundPx(cornerW / f * ScaleX() * Zoom() / 10000 * XDPI());
  int ch = RoundPx(cornerH / f * ScaleY() * Zoom() / 10000 * YDPI());
  GetCanvas()->RoundRect(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), cw, ch);
}

void TCanvasReport::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  if (!Ready()) return;
  GetCanvas()->Arc(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), XU2D(x3), YU2D(y3), XU2D(x4), YU2D(y4));
}

void TCanvasReport::Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  if (!Ready()) return;
  GetCanvas()->Chord(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), XU2D(x3), YU2D(y3), XU2D(x4), YU2D(y4));
}

void TCanvasReport::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  if (!Ready()) return;
  GetCanvas()->Pie(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), XU2D(x3), YU2D(y3), XU2D(x4), YU2D(y4));
}

void TCanvasReport::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
  if (!Ready()) return;
  GetCanvas()->BrushCopy(dest, bitmap, source, color);
}

void TCanvasReport::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  if (!Ready()) return;
  GetCanvas()->CopyRect(dest, canvas, source);
}

void TCanvasReport::Draw(double x, double y, TGraphic* graphic) {
  if (!Ready()) return;
  GetCanvas()->Draw(XU2D(x), YU2D(y), graphic);
}

void TCanvasReport::DrawFocusRect(const TRect& rect) {
  if (!Ready()) return;
  GetCanvas()->DrawFocusRect(rect);
}

void TCanvasReport::FillRect(const TRect& rect) {
  if (!Ready()) return;
  GetCanvas()->FillRect(rect);
}

void TCanvasReport::FloodFill(double x, double y, TColor color, TFillStyle style) {
  if (!Ready()) return;
  GetCanvas()->FloodFill(XU2D(x), YU2D(y), color, style);
}

void TCanvasReport::FrameRect(const TRect& rect) {
  if (!Ready()) return;
  GetCanvas()->FrameRect(rect);
}

void TCanvasReport::Polygon(const std::vector<TPoint>& points) {
  if (!Ready()) return;
  GetCanvas()->Polygon(points);
}

void TCanvasReport::Polyline(const std::vector<TPoint>& points) {
  if (!Ready()) return;
  GetCanvas()->Polyline(points);
}

void TCanvasReport::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!Ready()) return;
  GetCanvas()->StretchDraw(rect, graphic);
}

// ------------------------------------------------------------------ lines

void TCanvasReport::MoveTo(double x, double y) {
  if (!Ready()) return;
  double f = UnitsFactor();
  if (!LineBuffer().Buffering()) GetCanvas()->MoveTo(XU2D(x), YU2D(y));
  LineBuffer().MoveTo(x / f + OriginX() / f, y / f + OriginY() / f);
}

void TCanvasReport::LineTo(double x, double y) {
  if (!Ready()) return;
  TCanvas* canvas = GetCanvas();
  double f = UnitsFactor();
  if (!LineBuffer().Buffering()) {
    canvas->LineTo(XU2D(x), YU2D(y));
    LineBuffer().MoveTo(x / f + OriginX() / f, y / f + OriginY() / f);
    return;
  }
  double fromX = LineBuffer().LastX(), fromY = LineBuffer().LastY();
  TPen* pen = canvas->Pen();
  if (LineBuffer().Add(x / f + OriginX() / f, y / f + OriginY() / f, pen->Color(), pen->Mode(), pen->Style(),
                       pen->Width()))
    return;
  canvas->MoveTo(XI2D(fromX - OriginX() / f), YI2D(fromY - OriginY() / f));
  canvas->LineTo(XU2D(x), YU2D(y));
}

// ---------------------------------------------------------------- bitmaps

void TCanvasReport::PrintBitmap(double x, double y, double scaleX, double scaleY, TBitmap* bitmap) {
  if (!Ready() || !bitmap || bitmap->Empty()) return;
  int l = XU2D(x), t = YU2D(y);
  TRect dest = Rect(l, t, l + RoundPx(bitmap->Width() * scaleX), t + RoundPx(bitmap->Height() * scaleY));
  GetCanvas()->StretchDraw(dest, bitmap, TransparentBitmaps() ? cmSrcAnd : cmSrcCopy);
}

void TCanvasReport::PrintBitmapRect(double x1, double y1, double x2, double y2, TBitmap* bitmap) {
  if (!Ready() || !bitmap || bitmap->Empty()) return;
  TRect dest = Rect(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2));
  GetCanvas()->StretchDraw(dest, bitmap, TransparentBitmaps() ? cmSrcAnd : cmSrcCopy);
}

void TCanvasReport::PrintImageRect(double x1, double y1, double x2, double y2, TStream* stream,
                                   const AnsiString& extension) {
  if (!Ready() || !OnDecodeImage) return;
  TBitmap bitmap;
  OnDecodeImage(this, stream, extension, &bitmap);
  PrintBitmapRect(x1, y1, x2, y2, &bitmap);
}

// ------------------------------------------------------------ other output

void TCanvasReport::TextRect(const TRect& rect, double x, double y, const AnsiString& text) {
  if (!Ready() || text.empty()) return;
  TCanvas* canvas = GetCanvas();
  unsigned oldAlign = canvas->TextAlign();
  TCanvasBkMode oldMode = canvas->BackgroundMode();
  RealizeFont();
  canvas->SetTextAlign(TA_LEFT | TA_BASELINE);
  canvas->SetBackgroundMode(bkmTransparent);
  canvas->TextRect(rect, XU2D(x), YU2D(y), text);
  canvas->SetBackgroundMode(oldMode);
  canvas->SetTextAlign(oldAlign);
  RestoreCanvasFont();
}

void TCanvasReport::WriteDeviceText(const AnsiString& text) {
  if (!Ready() || text.empty()) return;
  Device()->RawData(text.data(), static_cast<int>(text.size()));
}

void TCanvasReport::WriteDeviceData(TStream* stream, int64_t count) {
  if (!Ready() || !stream) return;
  if (count == 0) count = stream->Size() - stream->Position();
  char block[4096];
  while (count > 0) {
    int64_t n = stream->Read(block, std::min<int64_t>(count, sizeof block));
    if (n <= 0) break;
    Device()->RawData(block, static_cast<int>(n));
    count -= n;
  }
}

void TCanvasReport::NewPage() {
  TBaseReport::NewPage();
  Device()->NewPage(!PageInvalid());
  ReadDeviceMetrics();
}

// --------------------------------------------------------- printer report

void TPrinterReport::StartDocument() {
  if (!HasPrinter()) {
    // Nothing to print on: say so once and end the job quietly.
    MessageDlg(RptText("No printers are defined, aborting print job."), mtError, TMsgDlgButtons{mbOK});
    Abort();
  }
  CheckNotPrinting();
  BeginDocumentState();
  Device()->SetTitle(Title());
  Device()->BeginDoc();
  try {
    HookCanvasFont();
    RefreshDevice();
    SetPrinting(true);
    StartFirstPage();
    Device()->NewPage(!PageInvalid());
    UpdateStatus();
    if (!Aborted()) FireBeginPageHandlers();
    if (!Aborted()) FireNewPage();
    if (!Aborted()) FirePrintHeader();
  } catch (...) {
    if (!PrintingFlag()) {
      // The document began on the device but not here: end it unsubmitted.
      UnhookCanvasFont();
      Device()->AbortDoc();
    }
    throw;
  }
}

void TPrinterReport::FinishDocument() {
  if (!PrintingFlag()) {
    // No document began (no printers): no device work, only the event.
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
  try {
    EndDocumentState();
    SetPrinting(false);
    if (Device()->Printing()) {
      if (Aborted())
        Device()->AbortDoc();
      else
        Device()->EndDoc();
    }
  } catch (...) {
    SetPrinting(false);
    if (!failure) failure = std::current_exception();
  }
  try {
    FireAfterPrint();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TPrinterReport::NewPage() {
  CheckPrinting();
  if (!Aborted()) {
    FirePrintFooter();
    FireEndPageHandlers();
  }
  TCanvasReport::NewPage();
  if (!Aborted()) FireBeginPageHandlers();
  if (!Aborted()) FireNewPage();
  if (!Aborted() && Columns() > 1) FireNewColumn();
  if (!Aborted()) FirePrintHeader();
}
