// The canvas's curved and filled shapes, flood fill, brush copy and the
// streamed pictures (BMP bitmaps, icons, metafiles).
//
// Shapes keep the canvas's box rule: a bounding box covers left..right-1 and
// top..bottom-1, and a pen wider than one pixel stays inside it. They draw
// through QPainter, so the same call paints a bitmap or a print job's page.
#include <QBuffer>
#include <QPaintEngine>
#include <QImageReader>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/gui/graphics.h"
#include "platform/gui/qt_support.h"
#include "platform/gui/resources.h"
#include "platform/rtl/streams.h"

using namespace gui_detail;

namespace {

Qt::PenStyle QtPenStyle(TPenStyle s) {
  switch (s) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    case psClear: return Qt::NoPen;
    default: return Qt::SolidLine;
  }
}

QBrush QtBrush(TBrush* b) {
  if (b->Style() == bsClear) return Qt::NoBrush;
  if (b->Bitmap() && !b->Bitmap()->Empty()) return QBrush(b->Bitmap()->Image());
  return QBrush(ToQColor(b->Color()));
}

void PreparePainter(QPainter& p, TPen* pen, TBrush* brush, bool withBrush) {
  TPenMode mode = pen->Mode();
  if (!p.paintEngine() || !p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) mode = pmCopy;
  switch (mode) {
    case pmXor: p.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    case pmNot: p.setCompositionMode(QPainter::RasterOp_NotDestination); break;
    case pmNotXor: p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination); break;
    case pmMask: p.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
    default: p.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
  }
  if (pen->Style() == psClear) {
    p.setPen(Qt::NoPen);
  } else {
    QPen qp(ToQColor(pen->Color()), pen->Width(), QtPenStyle(pen->Style()), Qt::FlatCap, Qt::MiterJoin);
    p.setPen(qp);
  }
  p.setBrush(withBrush ? QtBrush(brush) : QBrush(Qt::NoBrush));
  p.setRenderHint(QPainter::Antialiasing, false);
}

// The path box of a bounding box: the pen's centre line runs half a pen
// width inside the covered pixels.
QRectF PenBox(int left, int top, int right, int bottom, const TPen* pen) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  double w = pen->Style() == psClear ? 0 : pen->Width();
  return QRectF(left + w / 2.0, top + w / 2.0, std::max(0.0, right - left - w), std::max(0.0, bottom - top - w));
}

// Counter-clockwise angle in degrees (screen y grows downwards) of the ray
// from the box centre towards (x, y).
double RayAngle(const QRectF& box, int x, int y) {
  QPointF c = box.center();
  double a = std::atan2(-(y - c.y()), x - c.x()) * 180.0 / M_PI;
  return a < 0 ? a + 360.0 : a;
}

double SpanBetween(double start, double end) {
  double span = end - start;
  while (span <= 0) span += 360.0;
  return span;
}

enum class ArcKind { Arc, Chord, Pie };

}  // namespace

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->save();
  PreparePainter(*p, &pen_, &brush_, true);
  QRectF box = PenBox(left, top, right, bottom, &pen_);
  p->drawEllipse(box);
  p->restore();
  p.Touch(QRect(QPoint(std::min(left, right), std::min(top, bottom)), QPoint(std::max(left, right), std::max(top, bottom))));
}

namespace {

void DrawArcShape(TCanvas* canvas, ArcKind kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasPainter p(canvas);
  if (!p.Active()) return;
  p->save();
  PreparePainter(*p, canvas->Pen(), canvas->Brush(), kind != ArcKind::Arc);
  QRectF box = PenBox(x1, y1, x2, y2, canvas->Pen());
  double start = RayAngle(box, x3, y3);
  double span = SpanBetween(start, RayAngle(box, x4, y4));
  int a = static_cast<int>(std::lround(start * 16)), s = static_cast<int>(std::lround(span * 16));
  if (kind == ArcKind::Arc)
    p->drawArc(box, a, s);
  else if (kind == ArcKind::Chord)
    p->drawChord(box, a, s);
  else
    p->drawPie(box, a, s);
  p->restore();
  p.Touch(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
}

}  // namespace

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  DrawArcShape(this, ArcKind::Arc, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  DrawArcShape(this, ArcKind::Chord, x1, y1, x2, y2, x3, y3, x4, y4);
}
void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  DrawArcShape(this, ArcKind::Pie, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->save();
  PreparePainter(*p, &pen_, &brush_, true);
  QRectF box = PenBox(left, top, right, bottom, &pen_);
  p->drawRoundedRect(box, std::abs(cornerWidth) / 2.0, std::abs(cornerHeight) / 2.0);
  p->restore();
  p.Touch(QRect(QPoint(std::min(left, right), std::min(top, bottom)), QPoint(std::max(left, right), std::max(top, bottom))));
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->save();
  PreparePainter(*p, &pen_, &brush_, true);
  QPolygon poly;
  for (const TPoint& pt : points) poly << QPoint(pt.x, pt.y);
  p->drawPolygon(poly, Qt::OddEvenFill);
  p->restore();
  p.Touch(poly.boundingRect().adjusted(-pen_.Width(), -pen_.Width(), pen_.Width(), pen_.Width()));
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style) {
  if (!target_ || brush_.Style() == bsClear) return;
  QImage* img = target_->Image();
  if (!img || img->isNull()) return;  // a print job has no pixels to search
  QPoint start = QPoint(x, y) + target_->origin;
  if (!img->rect().contains(start)) return;
  QRgb key = ToQColor(color).rgb() & 0xFFFFFF;
  auto inside = [&](int px, int py) {
    bool same = (img->pixel(px, py) & 0xFFFFFF) == key;
    return style == fsSurface ? same : !same;
  };
  if (!inside(start.x(), start.y())) return;
  // Mark the region first, then paint it with the brush (its pattern
  // aligned to the image's origin).
  std::vector<bool> seen(static_cast<std::size_t>(img->width()) * static_cast<std::size_t>(img->height()));
  auto at = [&](QPoint q) { return static_cast<std::size_t>(q.y()) * static_cast<std::size_t>(img->width()) + static_cast<std::size_t>(q.x()); };
  std::vector<QPoint> stack{start}, region;
  seen[at(start)] = true;
  while (!stack.empty()) {
    QPoint q = stack.back();
    stack.pop_back();
    region.push_back(q);
    const QPoint next[] = {{q.x() + 1, q.y()}, {q.x() - 1, q.y()}, {q.x(), q.y() + 1}, {q.x(), q.y() - 1}};
    for (const QPoint& n : next) {
      if (!img->rect().contains(n) || seen[at(n)] || !inside(n.x(), n.y())) continue;
      seen[at(n)] = true;
      stack.push_back(n);
    }
  }
  const TBitmap* pattern = brush_.Bitmap() && !brush_.Bitmap()->Empty() ? brush_.Bitmap() : nullptr;
  QRgb solid = ToQColor(brush_.Color()).rgb();
  QRect touched;
  for (const QPoint& q : region) {
    QRgb c = pattern ? pattern->Image().pixel(q.x() % pattern->Width(), q.y() % pattern->Height()) : solid;
    img->setPixel(q, c);
    touched |= QRect(q, QSize(1, 1));
  }
  target_->Touched(touched.translated(-target_->origin));
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap* bitmap, const TRect& source, TColor color) {
  if (!bitmap || bitmap->Empty() || dest.IsEmpty() || source.IsEmpty()) return;
  QImage part = bitmap->Image().copy(ToQRect(source)).convertToFormat(QImage::Format_RGB32);
  QRgb key = ToQColor(color).rgb() & 0xFFFFFF;
  QRgb fill = ToQColor(brush_.Color()).rgb();
  for (int yy = 0; yy < part.height(); ++yy) {
    auto* line = reinterpret_cast<QRgb*>(part.scanLine(yy));
    for (int xx = 0; xx < part.width(); ++xx)
      if ((line[xx] & 0xFFFFFF) == key) line[xx] = fill;
  }
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->drawImage(ToQRect(dest), part);
  p.Touch(ToQRect(dest));
}

void TCanvas::Draw(int x, int y, const TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  if (auto* b = dynamic_cast<const TBitmap*>(graphic)) return Draw(x, y, b);
  if (auto* icon = dynamic_cast<const TIcon*>(graphic)) {
    CanvasPainter p(this);
    if (!p.Active()) return;
    p->drawImage(QPoint(x, y), icon->Image());
    p.Touch(QRect(x, y, icon->Width(), icon->Height()));
  }
  // Metafiles paint nothing: there is no metafile renderer here.
}

void TCanvas::StretchDraw(const TRect& dest, const TGraphic* graphic) {
  if (!graphic || graphic->Empty() || dest.IsEmpty()) return;
  if (auto* b = dynamic_cast<const TBitmap*>(graphic)) return StretchDraw(dest, b);
  if (auto* icon = dynamic_cast<const TIcon*>(graphic)) {
    CanvasPainter p(this);
    if (!p.Active()) return;
    p->drawImage(ToQRect(dest), icon->Image());
    p.Touch(ToQRect(dest));
  }
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap* bitmap, TCopyMode mode) {
  if (!bitmap || bitmap->Empty() || dest.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->save();
  bool raster = p->paintEngine() && p->paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
  if (mode == cmSrcAnd && raster) p->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  p->drawImage(ToQRect(dest), bitmap->Image().convertToFormat(QImage::Format_RGB32));
  p->restore();
  p.Touch(ToQRect(dest));
}

// ------------------------------------------------------------- BMP files

namespace {

std::string ReadRest(TStream& stream) {
  std::string bytes;
  char buf[65536];
  int64_t n;
  while ((n = stream.Read(buf, sizeof buf)) > 0) bytes.append(buf, static_cast<std::size_t>(n));
  return bytes;
}

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
  std::string bytes = ReadRest(stream);
  QImage loaded;
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M' ||
      !loaded.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "BMP"))
    throw EInvalidGraphic("Bitmap image is not valid");
  *image_ = loaded.convertToFormat(QImage::Format_RGB32);
  uint16_t bits = static_cast<uint16_t>(static_cast<unsigned char>(bytes[28]) | (static_cast<unsigned char>(bytes[29]) << 8));
  monochrome_ = bits == 1;
  Changed();
}

void TBitmap::SaveToStream(TStream& stream) const {
  // 24 bits per pixel, rows bottom-up, each padded to four bytes.
  int w = Width(), h = Height();
  uint32_t row = static_cast<uint32_t>((w * 3 + 3) & ~3);
  uint32_t imageSize = row * static_cast<uint32_t>(h);
  std::string out;
  out.reserve(54 + imageSize);
  out += "BM";
  Put32(out, 54 + imageSize);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(h));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // no compression
  Put32(out, imageSize);
  Put32(out, 3780);  // 96 dpi in pixels per metre
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    const auto* line = reinterpret_cast<const QRgb*>(image_->constScanLine(y));
    std::size_t start = out.size();
    for (int x = 0; x < w; ++x) {
      out.push_back(static_cast<char>(qBlue(line[x])));
      out.push_back(static_cast<char>(qGreen(line[x])));
      out.push_back(static_cast<char>(qRed(line[x])));
    }
    out.append(row - (out.size() - start), '\0');
  }
  stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TBitmap::SetMonochrome(bool on) {
  if (on == monochrome_) return;
  monochrome_ = on;
  if (on && !image_->isNull()) {
    for (int y = 0; y < image_->height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image_->scanLine(y));
      for (int x = 0; x < image_->width(); ++x) line[x] = qGray(line[x]) >= 128 ? 0xFFFFFFFF : 0xFF000000;
    }
  }
  Changed();
}

// ------------------------------------------------------------------ icons

TIcon::TIcon() : image_(std::make_unique<QImage>()) {}
TIcon::~TIcon() = default;
int TIcon::Width() const { return image_->width(); }
int TIcon::Height() const { return image_->height(); }
const QImage& TIcon::Image() const { return *image_; }

void TIcon::LoadFromStream(TStream& stream) {
  std::string bytes = ReadRest(stream);
  QImage loaded;
  if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0 ||
      !loaded.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "ICO"))
    throw EInvalidGraphic("Icon image is not valid");
  *image_ = loaded.convertToFormat(QImage::Format_ARGB32);
  bytes_ = std::move(bytes);
  Changed();
}

void TIcon::SaveToStream(TStream& stream) const {
  if (!bytes_.empty()) stream.WriteBuffer(bytes_.data(), static_cast<int64_t>(bytes_.size()));
}

// -------------------------------------------------------------- metafiles

namespace {

int32_t Get32(const std::string& b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return static_cast<int32_t>(v);
}
int16_t Get16(const std::string& b, std::size_t at) {
  return static_cast<int16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}

}  // namespace

void TMetafile::LoadFromStream(TStream& stream) {
  std::string bytes = ReadRest(stream);
  int w = 0, h = 0;
  if (bytes.size() >= 88 && Get32(bytes, 0) == 1 && Get32(bytes, 40) == 0x464D4520) {
    // Enhanced metafile: the header's bounds in device pixels, inclusive.
    w = Get32(bytes, 16) - Get32(bytes, 8) + 1;
    h = Get32(bytes, 20) - Get32(bytes, 12) + 1;
  } else if (bytes.size() >= 22 && static_cast<uint32_t>(Get32(bytes, 0)) == 0x9AC6CDD7u) {
    // Placeable metafile: the bounding box in units per inch, at 96 dpi.
    int inch = static_cast<uint16_t>(Get16(bytes, 14));
    if (inch <= 0) inch = 1440;
    w = (Get16(bytes, 10) - Get16(bytes, 6)) * 96 / inch;
    h = (Get16(bytes, 12) - Get16(bytes, 8)) * 96 / inch;
  } else {
    throw EInvalidGraphic("Metafile is not valid");
  }
  bytes_ = std::move(bytes);
  width_ = std::max(0, w);
  height_ = std::max(0, h);
  Changed();
}

void TMetafile::SaveToStream(TStream& stream) const {
  if (!bytes_.empty()) stream.WriteBuffer(bytes_.data(), static_cast<int64_t>(bytes_.size()));
}
