#include "report/pdf_page.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "report/pdf_fonts.h"
#include "report/pdf_render.h"

namespace {

// Control points of a quarter ellipse lie this fraction of the half-axis
// from its end points: 4(sqrt 2 - 1)/3.
constexpr double kKappa = 0.5522847498307935;

const char* const kDashes[] = {"[] 0 d", "[13 6] 0 d", "[2] 0 d", "[8 4 1 4] 0 d", "[10 3 2 2 2 3] 0 d"};

int DashIndex(TPenStyle style) {
  switch (style) {
    case psDash: return 1;
    case psDot: return 2;
    case psDashDot: return 3;
    case psDashDotDot: return 4;
    default: return 0;
  }
}

AnsiString Escaped(const AnsiString& text) {
  AnsiString out;
  out.reserve(text.size() + 4);
  for (char c : text) {
    if (c == '(' || c == ')' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace

AnsiString PdfColorText(TColor color) {
  int32_t c = static_cast<int32_t>(color) < 0 ? 0 : static_cast<int32_t>(color);
  return FormatWith(PdfNumberFormat(), "%.3g %.3g %.3g", (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                    ((c >> 16) & 0xFF) / 255.0);
}

// ------------------------------------------------------------- content

TRptPDFPageContent::TRptPDFPageContent(TRptRenderPDF* owner) : TRptPDFObject(owner) { Data.PrintLn("2 J"); }

void TRptPDFPageContent::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  AnsiString filter;
  std::string compressed = Owner->CompressContent(Data.Bytes, filter);
  if (filter.empty()) {
    out.PrintLnF("<< /Length %d >>", static_cast<int>(Data.Bytes.size()));
    out.PrintLn("stream");
    out.Print(Data.Bytes);  // every operator line already ends in CR LF
  } else {
    out.PrintLn("<<");
    out.PrintLnF("/Length %d", static_cast<int>(compressed.size()));
    out.PrintLn("/Filter [/" + filter + "]");
    out.PrintLn(">>");
    out.PrintLn("stream");
    out.PrintLn(compressed);
  }
  out.PrintLn("endstream");
  out.PrintLn("endobj");
  out.PrintLn();
}

// ---------------------------------------------------------------- page

TRptPDFPage::TRptPDFPage(TRptRenderPDF* owner, const TRptPDFPage* previous)
    : TRptPDFObject(owner), Content(owner) {
  if (previous) {
    TextColor = previous->TextColor;
    StrokeColor = previous->StrokeColor;
    FillColor = previous->FillColor;
  }
  text_ = TextColor;
  stroke_ = StrokeColor;
  fill_ = FillColor;
}

void TRptPDFPage::WriteObject(TPdfText& out) {
  out.PrintLnF("%d 0 obj", Number);
  out.PrintLn("<<");
  out.PrintLn("/Type /Page");
  out.PrintLnF("/Parent %d 0 R", Owner->PagesNumber());
  out.PrintLn("/Resources <<");
  out.PrintLn("/Font <<");
  for (const TRptPDFFont* f : Owner->Fonts()) out.PrintLnF("/%s %d 0 R ", PdfCoreFont(f->Index).resource, f->Number);
  out.PrintLn(">>");
  if (Owner->HasImages()) {
    out.PrintLn("/XObject <<");
    for (const TRptPDFXObject* g : Owner->Images()) out.PrintLnF("/%s %d 0 R", g->Name, g->Number);
    out.PrintLn(">>");
  }
  out.PrintLnF("/ProcSet %d 0 R", Owner->ProcSetNumber());
  out.PrintLn(">>");
  out.PrintLnF("/MediaBox [0 0 %.4f %.4f]", Width * 72, Height * 72);
  out.PrintLnF("/Contents %d 0 R", Number + 1);
  out.PrintLn(">>");
  out.PrintLn("endobj");
  out.PrintLn();
}

void TRptPDFPage::State(bool fill) {
  TPdfText& o = Content.Data;
  int dash = DashIndex(Owner->Pen().Style());
  if (!dashWritten_ || dash != dash_) {
    o.PrintLn(kDashes[dash]);
    dash_ = dash;
    dashWritten_ = true;
  }
  TColor stroke = Owner->Pen().Color();
  if (!strokeWritten_ || stroke != stroke_) {
    o.PrintLnF("%s RG", PdfColorText(stroke));
    stroke_ = StrokeColor = stroke;
    strokeWritten_ = true;
    textWritten_ = false;
  }
  TColor brush = Owner->Brush().Color();
  if (fill && (!fillWritten_ || brush != fill_)) {
    o.PrintLnF("%s rg", PdfColorText(brush));
    fill_ = FillColor = brush;
    fillWritten_ = true;
    textWritten_ = false;
  }
  double width = Owner->PenWidth * 72;
  if (!widthWritten_ || width != width_) {
    o.PrintLnF("%.4f w ", width);
    width_ = width;
    widthWritten_ = true;
  }
}

const char* TRptPDFPage::PaintOp(bool penUsed, bool brushUsed) const {
  bool pen = penUsed && Owner->Pen().Style() != psClear;
  bool brush = brushUsed && Owner->Brush().Style() != bsClear;
  return pen && brush ? "b" : brush ? "f" : pen ? "S" : "";
}

void TRptPDFPage::EndPath(bool penUsed, bool brushUsed) {
  // A path that is neither stroked nor filled still has to be ended before
  // the next operator, or PDF readers reject what follows.
  const char* op = PaintOp(penUsed, brushUsed);
  Content.Data.PrintLn(*op ? op : "n");
}

void TRptPDFPage::Forget() { dashWritten_ = strokeWritten_ = fillWritten_ = textWritten_ = widthWritten_ = false; }

void TRptPDFPage::MoveTo(double x, double y) {
  State(true);
  Content.Data.PrintLnF("%.4f %.4f m", X(x), Y(y));
}

void TRptPDFPage::LineTo(double x, double y) {
  State(false);
  Content.Data.PrintF("%.4f %.4f l ", X(x), Y(y));
  EndPath(true, false);
}

void TRptPDFPage::Rectangle(double x1, double y1, double x2, double y2, bool penClear) {
  if (!*PaintOp(!penClear, true)) return;
  State(true);
  Content.Data.PrintF("%.4f %.4f %.4f %.4f re ", X(x1), Y(y1), (x2 - x1) * 72, (y1 - y2) * 72);
  EndPath(!penClear, true);
}

void TRptPDFPage::Ellipse(double x1, double y1, double x2, double y2) {
  double half = Owner->PenWidth / 2;
  double grow = Owner->FrameMode == 0 ? -half : Owner->FrameMode == 2 ? half : 0;
  double l = std::min(x1, x2) - grow, r = std::max(x1, x2) + grow;
  double t = std::min(y1, y2) - grow, b = std::max(y1, y2) + grow;
  State(true);
  double cx = X((l + r) / 2), cy = Y((t + b) / 2), rx = (r - l) / 2 * 72, ry = (b - t) / 2 * 72;
  TPdfText& o = Content.Data;
  o.PrintLnF("%.4f %.4f m", cx - rx, cy);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", cx - rx, cy + kKappa * ry, cx - kKappa * rx, cy + ry, cx, cy + ry);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", cx + kKappa * rx, cy + ry, cx + rx, cy + kKappa * ry, cx + rx, cy);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", cx + rx, cy - kKappa * ry, cx + kKappa * rx, cy - ry, cx, cy - ry);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", cx - kKappa * rx, cy - ry, cx - rx, cy - kKappa * ry, cx - rx, cy);
  EndPath(true, true);
}

void TRptPDFPage::RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) {
  double l = X(std::min(x1, x2)), r = X(std::max(x1, x2));
  double t = Y(std::min(y1, y2)), b = Y(std::max(y1, y2));
  double rx = std::clamp(std::abs(cornerW) * 36, 0.0, (r - l) / 2);
  double ry = std::clamp(std::abs(cornerH) * 36, 0.0, (t - b) / 2);
  double kx = kKappa * rx, ky = kKappa * ry;
  State(true);
  TPdfText& o = Content.Data;
  o.PrintLnF("%.4f %.4f m", l + rx, t);
  o.PrintLnF("%.4f %.4f l ", r - rx, t);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", r - rx + kx, t, r, t - ry + ky, r, t - ry);
  o.PrintLnF("%.4f %.4f l ", r, b + ry);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", r, b + ry - ky, r - rx + kx, b, r - rx, b);
  o.PrintLnF("%.4f %.4f l ", l + rx, b);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", l + rx - kx, b, l, b + ry - ky, l, b + ry);
  o.PrintLnF("%.4f %.4f l ", l, t - ry);
  o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", l, t - ry + ky, l + rx - kx, t, l + rx, t);
  EndPath(true, true);
}

void TRptPDFPage::ArcPath(double cx, double cy, double r, double from, double sweep, bool move) {
  int n = std::max(1, static_cast<int>(std::ceil(sweep / 90 - 1e-9)));
  double seg = sweep / n * std::numbers::pi / 180;
  double h = seg / 2, c = std::cos(h), s = std::sin(h);
  // One segment centred on angle 0, then rotated into place.
  double p[4][2] = {{c, -s}, {(4 - c) / 3, -(1 - c) * (3 - c) / (3 * s)}, {(4 - c) / 3, (1 - c) * (3 - c) / (3 * s)},
                    {c, s}};
  TPdfText& o = Content.Data;
  for (int i = 0; i < n; ++i) {
    double mid = from * std::numbers::pi / 180 + h + i * seg, cm = std::cos(mid), sm = std::sin(mid);
    double q[4][2];
    for (int k = 0; k < 4; ++k) {
      q[k][0] = cx + r * (p[k][0] * cm - p[k][1] * sm);
      q[k][1] = cy + r * (p[k][0] * sm + p[k][1] * cm);
    }
    if (i == 0 && move) o.PrintLnF("%.4f %.4f m", q[0][0], q[0][1]);
    o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f c", q[1][0], q[1][1], q[2][0], q[2][1], q[3][0], q[3][1]);
  }
}

void TRptPDFPage::Arc(int kind, double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                      double y4) {
  State(kind != 0);
  double cx = X((x1 + x2) / 2), cy = Y((y1 + y2) / 2), r = std::abs(x2 - x1) / 2 * 72;
  auto angle = [&](double x, double y) {
    double a = std::atan2(Y(y) - cy, X(x) - cx) * 180 / std::numbers::pi;
    return a < 0 ? a + 360 : a;
  };
  double from = angle(x3, y3), to = angle(x4, y4);
  double sweep = to - from;
  if (sweep <= 0) sweep += 360;
  Content.Data.PrintLn("% arc code");
  ArcPath(cx, cy, r, from, sweep, true);
  if (kind == 2) Content.Data.PrintLnF("%.4f %.4f l ", cx, cy);
  EndPath(true, kind != 0);
}

void TRptPDFPage::Poly(const std::vector<TPoint>& points, int last, bool closed) {
  State(closed);
  TPdfText& o = Content.Data;
  int end = std::min(last, static_cast<int>(points.size()) - 1);
  for (int k = 0; k <= end; ++k) {
    const TPoint& p = points[static_cast<std::size_t>(k)];
    o.PrintF("%.4f %.4f l ", X(p.x / 1248.0), Y(p.y / 1248.0));
    if (k % 4 == 3) o.PrintLn();
  }
  EndPath(true, closed);
}

void TRptPDFPage::Text(const AnsiString& text, double x, double y) {
  TPdfText& o = Content.Data;
  int font = Owner->FontIndex();
  double size = Owner->FontSize();
  o.PrintLn("BT");
  TColor color = Owner->FontColor();
  if (!textWritten_ || color != text_) {
    o.PrintLnF("%s rg", PdfColorText(color));
    text_ = TextColor = color;
    textWritten_ = true;
    strokeWritten_ = fillWritten_ = false;
  }
  o.PrintLnF("/%s %.4d Tf", PdfCoreFont(font).resource, static_cast<int>(std::lround(size)));
  // The blank before the text is taken back, so the text starts at x.
  double k = font < 4 ? 0.65 : 0.275;
  o.PrintLnF("%.4f %.4f Td", X(x - k * size / 72), Y(y));
  int rotation = Owner->Rotation();
  if (rotation != 0) {
    double a = rotation * std::numbers::pi / 180;
    o.PrintLnF("%.4f %.4f %.4f %.4f %.4f %.4f Tm", std::cos(a), std::sin(a), -std::sin(a), std::cos(a), X(x), Y(y));
  }
  o.PrintLn("( " + Escaped(text) + " ) Tj");
  o.PrintLn("ET");
  if (rotation != 0 || !(Owner->Underline() || Owner->StrikeOut())) return;
  double width = PdfTextWidth(font, text, size);
  double saved = Owner->PenWidth;
  auto line = [&](double lineWidth, double ly) {
    Owner->PenWidth = lineWidth;
    MoveTo(x, ly);
    LineTo(x + width, ly);
  };
  if (Owner->Underline()) {
    double w = (size + 1) * 0.0014;
    line(w, y + 1.5 * w);
  }
  if (Owner->StrikeOut()) line((size + 1) * 0.0006, y - size / 72 * 0.22);
  Owner->PenWidth = saved;
}

void TRptPDFPage::TextRect(double left, double top, double right, double bottom, const AnsiString& text, double x,
                           double y) {
  TPdfText& o = Content.Data;
  o.PrintLn(" q ");
  o.PrintLn("0.0000 w ");
  o.PrintF("%.4f %.4f %.4f %.4f re ", X(left), Y(top), (right - left) * 72, (top - bottom) * 72);
  o.PrintLn("W n ");
  Text(text, x, y);
  o.PrintLn(" Q ");
  // Q brought back the state from before " q ": what was written inside
  // no longer holds.
  Forget();
}

void TRptPDFPage::Image(const AnsiString& name, double x1, double y1, double x2, double y2) {
  TPdfText& o = Content.Data;
  o.PrintLn("q");
  o.PrintLnF("%.4f 0 0 %.4f %.4f %.4f cm", std::abs(x2 - x1) * 72, std::abs(y2 - y1) * 72, X(std::min(x1, x2)),
             Y(std::max(y1, y2)));
  o.PrintLnF("/%s Do", name);
  o.PrintLn("Q");
}
