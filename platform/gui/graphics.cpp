// Colours, fonts, canvases and bitmaps over QPainter and QRawFont.
//
// Text goes through one rule: a CP1250 (or CP852) byte maps to one glyph of
// the resolved face and advances by that glyph's advance rounded to whole
// pixels; glyphs are placed at exactly those positions. The per-byte tables
// make measuring a text a table walk, so grids and reports can measure
// freely.
#include "platform/gui/graphics.h"

#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QHash>
#include <QList>
#include <QPointF>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/gui/qt_support.h"
#include "platform/gui/resources.h"
#include "platform/rtl/codepages.h"

namespace gui_detail {

// ------------------------------------------------------------------ text

int CodePageOf(TFontCharset charset) {
  if (charset == OEM_CHARSET) return 852;
  if (charset == SYMBOL_CHARSET) return kSymbolCodePage;
  return 1250;
}

char32_t UnicodeOf(unsigned char byte, int codePage) {
  if (codePage == kSymbolCodePage) return 0xF000u + byte;
  return codePage == 852 ? Cp852ToUnicode(byte) : Cp1250ToUnicode(byte);
}

int ByteOf(char32_t u, int codePage) {
  if (codePage == kSymbolCodePage) return (u & 0xFF00u) == 0xF000u ? static_cast<int>(u & 0xFFu) : -1;
  return codePage == 852 ? UnicodeToCp852(u) : UnicodeToCp1250(u);
}

QString ToQt(std::string_view text, int codePage) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text) {
    char32_t u = UnicodeOf(static_cast<unsigned char>(c), codePage);
    out.append(QChar(static_cast<char16_t>(u)));  // both pages lie in the BMP
  }
  return out;
}

AnsiString FromQt(const QString& text, int codePage) {
  AnsiString out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (char32_t u : text.toUcs4()) {
    int b = ByteOf(u, codePage);
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

// --------------------------------------------------------------- colours

QColor ToQColor(TColor color) {
  TColor rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

// ----------------------------------------------------------------- fonts

namespace {

uint16_t BigEndian16(const QByteArray& table, qsizetype at) {
  if (at < 0 || at + 2 > table.size()) return 0;
  return static_cast<uint16_t>((static_cast<unsigned char>(table[at]) << 8) | static_cast<unsigned char>(table[at + 1]));
}

// The glyph's advance in font units from the hmtx table (glyphs past the
// last long metric share its advance), or -1 when the font has no table.
int DesignAdvance(const QByteArray& hhea, const QByteArray& hmtx, quint32 glyph) {
  int longMetrics = BigEndian16(hhea, 34);
  if (longMetrics <= 0 || hmtx.size() < longMetrics * 4) return -1;
  qsizetype index = glyph < static_cast<quint32>(longMetrics) ? static_cast<qsizetype>(glyph) : longMetrics - 1;
  return BigEndian16(hmtx, index * 4);
}

}  // namespace

const FontFace::Table& FontFace::TableFor(int codePage) const {
  Table& t = tables[codePage == 852 ? 1 : codePage == kSymbolCodePage ? 2 : 0];
  if (t.built) return t;
  QString all;
  for (int b = 0; b < 256; ++b) all.append(QChar(static_cast<char16_t>(UnicodeOf(static_cast<unsigned char>(b), codePage))));
  QList<quint32> glyphs = raw.glyphIndexesForString(all);
  QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs, QRawFont::SeparateAdvances);
  // Qt hands advances over in 1/64-pixel steps; the exact design advance
  // scaled to the em rounds the same on every device and resolution.
  QByteArray hhea = raw.fontTable("hhea");
  QByteArray hmtx = raw.fontTable("hmtx");
  double unitsPerEm = raw.unitsPerEm();
  for (int b = 0; b < 256 && b < glyphs.size(); ++b) {
    t.glyph[static_cast<std::size_t>(b)] = glyphs[b];
    int design = unitsPerEm > 0 ? DesignAdvance(hhea, hmtx, glyphs[b]) : -1;
    int advance = design >= 0 ? static_cast<int>(std::floor(design * pixelSize / unitsPerEm + 0.5))
                              : static_cast<int>(std::lround(advances[b].x()));
    // Control characters take no room, as text drawing never shows them.
    t.advance[static_cast<std::size_t>(b)] = b < 32 ? 0 : advance;
  }
  t.built = true;
  return t;
}

int FontFace::TextWidth(std::string_view text, int codePage) const {
  const Table& t = TableFor(codePage);
  int w = 0;
  for (char c : text) w += t.advance[static_cast<unsigned char>(c)];
  return w;
}

namespace {

struct Substitutes {
  AnsiString sans = "Liberation Sans";
  AnsiString fallback = "DejaVu Sans";
  AnsiString serif = "Liberation Serif";
  AnsiString mono = "Liberation Mono";
};
Substitutes& Subst() {
  static Substitutes s;
  return s;
}

int PixelSizeFor(const QString& family, int height, bool bold, bool italic) {
  if (height < 0) return -height;
  if (height == 0) return 11;
  // A positive height is the cell height (ascent + descent): scale the em.
  QFont probe(family);
  probe.setPixelSize(100);
  probe.setBold(bold);
  probe.setItalic(italic);
  probe.setHintingPreference(QFont::PreferNoHinting);
  QRawFont raw = QRawFont::fromFont(probe);
  double cell = raw.ascent() + raw.descent();
  if (cell <= 0) return height;
  return std::max(1, static_cast<int>(std::lround(height * 100.0 / cell)));
}

QFont MakeQFont(const QString& family, int pixelSize, TFontStyles style) {
  QFont f;
  f.setFamilies({family});
  f.setPixelSize(pixelSize);
  f.setBold(style.Contains(fsBold));
  f.setItalic(style.Contains(fsItalic));
  f.setUnderline(style.Contains(fsUnderline));
  f.setStrikeOut(style.Contains(fsStrikeOut));
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::NoAntialias | QFont::NoSubpixelAntialias));
  f.setKerning(false);
  return f;
}

}  // namespace

const FontFace& FaceOf(const TFont& font) {
  using Key = std::tuple<std::string, int, uint64_t>;
  static std::map<Key, std::unique_ptr<FontFace>> cache;
  // Faces are made on the GUI thread and by report measuring; one lock keeps
  // the cache whole. Faces themselves are never freed, so references stay.
  static std::recursive_mutex lock;
  std::lock_guard<std::recursive_mutex> guard(lock);
  std::string family = font.ResolvedFamily();
  int height = font.Height();
  Key key{family, height, font.Style().Bits()};
  auto it = cache.find(key);
  if (it != cache.end()) return *it->second;

  auto face = std::make_unique<FontFace>();
  QString qfamily = QString::fromUtf8(family.c_str());
  TFontStyles style = font.Style();
  int px = PixelSizeFor(qfamily, height, style.Contains(fsBold), style.Contains(fsItalic));
  face->font = MakeQFont(qfamily, px, style);
  face->raw = QRawFont::fromFont(face->font);
  face->pixelSize = px;
  face->ascent = static_cast<int>(std::ceil(face->raw.ascent() - 0.01));
  face->descent = static_cast<int>(std::ceil(face->raw.descent() - 0.01));
  face->avgCharWidth = std::max(1, static_cast<int>(std::lround(face->raw.averageCharWidth())));
  face->maxCharWidth = std::max(1, static_cast<int>(std::lround(face->raw.maxCharWidth())));
  face->lineThickness = std::max(1, static_cast<int>(std::lround(face->raw.lineThickness())));
  face->underlinePos = std::max(1, static_cast<int>(std::lround(face->raw.underlinePosition())));
  face->strikePos = std::max(1, static_cast<int>(std::lround(face->raw.xHeight() / 2.0)));
  face->underline = style.Contains(fsUnderline);
  face->strikeOut = style.Contains(fsStrikeOut);
  QByteArray post = face->raw.fontTable("post");
  face->fixedPitch = post.size() >= 16 && (post[12] | post[13] | post[14] | post[15]) != 0;
  const FontFace& ref = *face;
  cache.emplace(key, std::move(face));
  return ref;
}

QFont QtFontOf(const TFont& font) { return FaceOf(font).font; }

// ----------------------------------------------------------- canvas painter

CanvasPainter::CanvasPainter(TCanvas* canvas) : canvas_(canvas) {
  CanvasTarget* t = canvas->Target();
  if (!t) return;
  if (t->painter) {
    p_ = t->painter;
    p_->save();
    return;
  }
  QImage* img = t->Image();
  if (!img || img->isNull()) return;
  own_.begin(img);
  own_.translate(t->origin);
  if (!t->clip.isNull()) own_.setClipRect(t->clip);
  p_ = &own_;
  // Operations nested in this one (DrawText uses TextOut) share it.
  t->painter = &own_;
}

CanvasPainter::~CanvasPainter() {
  if (!p_) return;
  if (p_ == &own_) {
    canvas_->Target()->painter = nullptr;
    own_.end();
    if (!touched_.isNull()) canvas_->Target()->Touched(touched_);
  } else {
    p_->restore();
  }
}

}  // namespace gui_detail

using namespace gui_detail;

// ------------------------------------------------------------------ colours

namespace {

// The classic scheme the screens were drawn for, as 0xRRGGBB.
constexpr uint32_t kSystemColors[] = {
    0xD4D0C8,  // scroll bar
    0x3A6EA5,  // desktop
    0x0A246A,  // active caption
    0x808080,  // inactive caption
    0xD4D0C8,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xD4D0C8,  // active border
    0xD4D0C8,  // inactive border
    0x808080,  // application workspace
    0x0A246A,  // highlight
    0xFFFFFF,  // highlight text
    0xD4D0C8,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xD4D0C8,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x404040,  // 3D dark shadow
    0xD4D0C8,  // 3D light
    0x000000,  // info text
    0xFFFFE1,  // info background
};

}  // namespace

TColor ColorToRGB(TColor color) {
  if (color & clSystemColor) {
    uint32_t index = color & 0xFF;
    if (index >= sizeof(kSystemColors) / sizeof(kSystemColors[0])) return clBlack;
    uint32_t rgb = kSystemColors[index];
    return RGB(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
  }
  if (color == clNone || color == clDefault) return clBlack;
  return color & 0xFFFFFF;
}

// -------------------------------------------------------------------- TFont

TFont::TFont() = default;
TFont::TFont(const TFont& other) : TPersistent() { *this = other; }

TFont& TFont::operator=(const TFont& other) {
  if (this != &other) {
    name_ = other.name_;
    height_ = other.height_;
    style_ = other.style_;
    color_ = other.color_;
    charset_ = other.charset_;
    pitch_ = other.pitch_;
    escapement_ = other.escapement_;
  }
  return *this;
}

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

void TFont::SetName(const AnsiString& name) {
  if (name == name_ || name.empty()) return;
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

int TFont::Size() const {
  // MulDiv rounding as the library does: -Height * 72 / 96.
  int h = -height_;
  return static_cast<int>(std::lround(h * 72.0 / 96.0));
}

void TFont::SetSize(int points) { SetHeight(-static_cast<int>(std::lround(points * 96.0 / 72.0))); }

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetCharset(TFontCharset charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

void TFont::SetEscapement(int tenths) {
  if (tenths == escapement_) return;
  escapement_ = tenths;
  Changed();
}

bool TFont::SameAs(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_ && escapement_ == o.escapement_;
}

void TFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TFont*>(source)) {
    if (SameAs(*f)) return;
    *this = *f;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

AnsiString TFont::ResolvedFamily() const { return SubstituteFontFamily(name_); }

TTextMetric TFont::Metrics() const {
  const FontFace& f = FaceOf(*this);
  TTextMetric m;
  m.tmAscent = f.ascent;
  m.tmDescent = f.descent;
  m.tmHeight = f.ascent + f.descent;
  m.tmInternalLeading = std::max(0, m.tmHeight - f.pixelSize);
  m.tmAveCharWidth = f.avgCharWidth;
  m.tmMaxCharWidth = f.maxCharWidth;
  return m;
}

AnsiString SubstituteFontFamily(const AnsiString& name) {
  if (SameText(name, "MS Sans Serif") || SameText(name, "Arial") || SameText(name, "ArialCE") ||
      SameText(name, "Arial CE"))
    return Subst().sans;
  if (SameText(name, "Times New Roman")) return Subst().serif;
  if (SameText(name, "Courier New") || SameText(name, "Courier")) return Subst().mono;
  for (const AnsiString* own : {&Subst().sans, &Subst().serif, &Subst().mono})
    if (SameText(name, *own)) return *own;
  return Subst().fallback;
}

void SetFontSubstitutes(const AnsiString& sansFamily, const AnsiString& fallbackFamily) {
  Subst().sans = sansFamily;
  Subst().fallback = fallbackFamily;
}

void SetFontSubstitutes(const AnsiString& sansFamily, const AnsiString& fallbackFamily,
                        const AnsiString& serifFamily, const AnsiString& monoFamily) {
  SetFontSubstitutes(sansFamily, fallbackFamily);
  Subst().serif = serifFamily;
  Subst().mono = monoFamily;
}

// ---------------------------------------------------------------- pen, brush

void TPen::Assign(const TPersistent* source) {
  if (auto* p = dynamic_cast<const TPen*>(source)) {
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    return;
  }
  TPersistent::Assign(source);
}

void TBrush::SetColor(TColor c) {
  color_ = c;
  if (style_ == bsClear) style_ = bsSolid;
}

void TBrush::Assign(const TPersistent* source) {
  if (auto* b = dynamic_cast<const TBrush*>(source)) {
    color_ = b->color_;
    style_ = b->style_;
    bitmap_ = b->bitmap_;
    return;
  }
  TPersistent::Assign(source);
}

// ------------------------------------------------------------------ TCanvas

namespace {

void ApplyPenMode(QPainter& p, TPenMode mode) {
  // A vector surface (a print job) has no raster operations: it copies.
  if (!p.paintEngine() || !p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) mode = pmCopy;
  switch (mode) {
    case pmCopy:
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      break;
    case pmXor:
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      break;
    case pmNot:
      p.setCompositionMode(QPainter::RasterOp_NotDestination);
      break;
    case pmNotXor:
      p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
      break;
    case pmMask:
      p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
      break;
  }
}

// Which pixels of a patterned line are on, by the index along the line.
bool PatternOn(TPenStyle style, int i) {
  switch (style) {
    case psDot:
      return i % 2 == 0;
    case psDash:
      return i % 24 < 18;
    case psDashDot:
      return (i % 30) < 18 || (i % 30 >= 24 && i % 30 < 27);
    case psDashDotDot:
      return (i % 36) < 18 || (i % 36 >= 24 && i % 36 < 27) || (i % 36 >= 30 && i % 36 < 33);
    default:
      return true;
  }
}

// The pixels of a line from a to b without b (Bresenham, as the platform
// draws thin lines).
void LinePixels(TPoint a, TPoint b, TPenStyle style, QList<QPoint>& out) {
  int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
  int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
  int err = dx + dy, x = a.x, y = a.y, i = 0;
  while (!(x == b.x && y == b.y)) {
    if (PatternOn(style, i++)) out.append(QPoint(x, y));
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::FillRect(const TRect& r) {
  if (brush_.Style() == bsClear || r.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  if (brush_.Bitmap() && !brush_.Bitmap()->Empty())
    p->fillRect(ToQRect(r), QBrush(brush_.Bitmap()->Image()));
  else
    p->fillRect(ToQRect(r), ToQColor(brush_.Color()));
  p.Touch(ToQRect(r));
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  QColor c = ToQColor(brush_.Color());
  p->fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
  p->fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
  p->fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
  p->fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
  p.Touch(ToQRect(r));
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  TRect r = Rect(left, top, right, bottom);
  if (r.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  ApplyPenMode(*p, pen_.Mode());
  if (pen_.Style() == psClear) {
    // Without an outline the fill stops one pixel short, as on the platform.
    if (brush_.Style() != bsClear)
      p->fillRect(QRect(left, top, r.Width() - 1, r.Height() - 1), ToQColor(brush_.Color()));
  } else {
    int w = std::min({pen_.Width(), (r.Width() + 1) / 2, (r.Height() + 1) / 2});
    if (brush_.Style() != bsClear && r.Width() > 2 * w && r.Height() > 2 * w)
      p->fillRect(QRect(left + w, top + w, r.Width() - 2 * w, r.Height() - 2 * w), ToQColor(brush_.Color()));
    QColor c = ToQColor(pen_.Color());
    if (pen_.Style() == psSolid || pen_.Style() == psInsideFrame || w > 1) {
      p->fillRect(QRect(left, top, r.Width(), w), c);
      p->fillRect(QRect(left, bottom - w, r.Width(), w), c);
      p->fillRect(QRect(left, top, w, r.Height()), c);
      p->fillRect(QRect(right - w, top, w, r.Height()), c);
    } else {
      QList<QPoint> pts;
      LinePixels({left, top}, {right - 1, top}, pen_.Style(), pts);
      LinePixels({right - 1, top}, {right - 1, bottom - 1}, pen_.Style(), pts);
      LinePixels({right - 1, bottom - 1}, {left, bottom - 1}, pen_.Style(), pts);
      LinePixels({left, bottom - 1}, {left, top}, pen_.Style(), pts);
      p->setPen(c);
      p->drawPoints(pts.constData(), static_cast<int>(pts.size()));
    }
  }
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.Touch(ToQRect(r));
}

void TCanvas::LineTo(int x, int y) {
  TPoint from = penPos_;
  penPos_ = Point(x, y);
  if (pen_.Style() == psClear) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  ApplyPenMode(*p, pen_.Mode());
  QColor c = ToQColor(pen_.Color());
  QPaintDevice* device = p->device();
  bool raster = device && (device->devType() == QInternal::Image || device->devType() == QInternal::Pixmap ||
                           device->devType() == QInternal::Widget);
  if (!raster) {
    // A vector page (a print job): one stroked line a device pixel wide,
    // ending where the pixel line would end.
    static const Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                           Qt::DashDotDotLine, Qt::NoPen, Qt::SolidLine};
    QPen qp(c, std::max(1, pen_.Width()), kStyles[pen_.Style()], Qt::SquareCap, Qt::MiterJoin);
    p->setPen(qp);
    QLineF line(QPointF(from.x + 0.5, from.y + 0.5), QPointF(x + 0.5, y + 0.5));
    if (line.length() > 0) line.setLength(line.length() - 1);
    p->drawLine(line);
  } else if (pen_.Width() <= 1) {
    QList<QPoint> pts;
    LinePixels(from, penPos_, pen_.Style(), pts);
    p->setPen(c);
    if (!pts.isEmpty()) p->drawPoints(pts.constData(), static_cast<int>(pts.size()));
  } else {
    QPen qp(c, pen_.Width(), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    p->setPen(qp);
    p->drawLine(QPoint(from.x, from.y), QPoint(x, y));
  }
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  int w = pen_.Width();
  p.Touch(QRect(QPoint(std::min(from.x, x) - w, std::min(from.y, y) - w),
                QPoint(std::max(from.x, x) + w, std::max(from.y, y) + w)));
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  TPoint saved = penPos_;
  MoveTo(points[0].x, points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].x, points[i].y);
  penPos_ = saved;
}

TColor TCanvas::Pixels(int x, int y) const {
  if (!target_) return clNone;
  QImage* img = target_->Image();
  if (!img) return clNone;
  QPoint pt = QPoint(x, y) + target_->origin;
  if (!img->rect().contains(pt)) return clNone;
  return FromQColor(QColor(img->pixel(pt)));
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->fillRect(QRect(x, y, 1, 1), ToQColor(color));
  p.Touch(QRect(x, y, 1, 1));
}

void TCanvas::DrawTextAt(QPainter& p, int x, int y, const AnsiString& text, bool fillCell) {
  if (font_.Escapement() % 3600 != 0) {
    // Rotated text: lay it out around the origin and turn the painter.
    p.save();
    p.translate(x, y);
    p.rotate(-font_.Escapement() / 10.0);
    DrawTextAt(p, 0, 0, text, fillCell, true);
    p.restore();
    return;
  }
  DrawTextAt(p, x, y, text, fillCell, true);
}

void TCanvas::DrawTextAt(QPainter& p, int x, int y, const AnsiString& text, bool fillCell, bool) {
  const FontFace& face = FaceOf(font_);
  const FontFace::Table& t = face.TableFor(CodePageOf(font_.Charset()));
  int width = 0;
  for (char c : text) width += t.advance[static_cast<unsigned char>(c)];
  int height = face.ascent + face.descent;
  if ((textAlign_ & TA_CENTER) == TA_CENTER)
    x -= width / 2;
  else if ((textAlign_ & TA_CENTER) == TA_RIGHT)
    x -= width;
  int top = y;
  if ((textAlign_ & TA_BASELINE) == TA_BASELINE)
    top = y - face.ascent;
  else if ((textAlign_ & TA_BASELINE) == TA_BOTTOM)
    top = y - height;
  if (fillCell && bkMode_ == bkmOpaque)
    p.fillRect(QRect(x, top, width, height), ToQColor(bkColor_));
  else if (fillCell && bkMode_ == bkmBrush && brush_.Style() != bsClear)
    p.fillRect(QRect(x, top, width, height), ToQColor(brush_.Color()));
  if (text.empty()) return;
  QList<quint32> glyphs;
  QList<QPointF> positions;
  glyphs.reserve(static_cast<qsizetype>(text.size()));
  positions.reserve(static_cast<qsizetype>(text.size()));
  int pen = x;
  int baseline = top + face.ascent;
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b >= 32) {
      glyphs.append(t.glyph[b]);
      positions.append(QPointF(pen, baseline));
    }
    pen += t.advance[b];
  }
  QColor color = ToQColor(font_.Color());
  if (!glyphs.isEmpty()) {
    QGlyphRun run;
    run.setRawFont(face.raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    p.setPen(color);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.drawGlyphRun(QPointF(0, 0), run);
  }
  if (face.underline) p.fillRect(QRect(x, baseline + face.underlinePos, width, face.lineThickness), color);
  if (face.strikeOut) p.fillRect(QRect(x, baseline - face.strikePos, width, face.lineThickness), color);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  CanvasPainter p(this);
  if (!p.Active()) return;
  DrawTextAt(*p, x, y, text, true);
  TSize ext = TextExtent(text);
  p.Touch(QRect(x - ext.cx, y - ext.cy, 3 * ext.cx + 1, 2 * ext.cy + 1));
  penPos_.x = x + ext.cx;
}

void TCanvas::TextRect(const TRect& r, int x, int y, const AnsiString& text) {
  if (r.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  if (brush_.Style() != bsClear) p->fillRect(ToQRect(r), ToQColor(brush_.Color()));
  p->setClipRect(ToQRect(r), Qt::IntersectClip);
  DrawTextAt(*p, x, y, text, false);
  p.Touch(ToQRect(r));
}

int TCanvas::TextWidth(const AnsiString& text) {
  return FaceOf(font_).TextWidth(text, CodePageOf(font_.Charset()));
}

int TCanvas::TextHeight(const AnsiString& text) {
  (void)text;
  const FontFace& f = FaceOf(font_);
  return f.ascent + f.descent;
}

TSize TCanvas::TextExtent(const AnsiString& text) { return TSize{TextWidth(text), TextHeight(text)}; }

namespace {

// The bitmap's pixels with its transparent colour made fully transparent.
QImage DrawableImage(const TBitmap* bitmap) {
  const QImage& src = bitmap->Image();
  if (!bitmap->Transparent()) return src;
  QImage out = src.convertToFormat(QImage::Format_ARGB32);
  QRgb key = ToQColor(bitmap->TransparentColor()).rgb() & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
  }
  return out;
}

}  // namespace

void TCanvas::Draw(int x, int y, const TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->drawImage(QPoint(x, y), DrawableImage(bitmap));
  p.Touch(QRect(x, y, bitmap->Width(), bitmap->Height()));
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty() || dest.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->drawImage(ToQRect(dest), DrawableImage(bitmap));
  p.Touch(ToQRect(dest));
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect) {
  if (!source || !source->Target() || dest.IsEmpty() || sourceRect.IsEmpty()) return;
  QImage* src = source->Target()->Image();
  if (!src) return;
  QRect from = ToQRect(sourceRect).translated(source->Target()->origin);
  QImage part = src->copy(from);  // a copy, so a canvas may copy onto itself
  CanvasPainter p(this);
  if (!p.Active()) return;
  p->drawImage(ToQRect(dest), part);
  p.Touch(ToQRect(dest));
}

void TCanvas::DrawFocusRect(const TRect& r) {
  if (r.IsEmpty()) return;
  CanvasPainter p(this);
  if (!p.Active()) return;
  // Every other pixel of the frame, by the parity of x + y, inverted.
  QList<QPoint> pts;
  auto add = [&](int x, int y) {
    if (((x + y) & 1) == 0) pts.append(QPoint(x, y));
  };
  for (int x = r.Left; x < r.Right; ++x) {
    add(x, r.Top);
    if (r.Bottom - 1 != r.Top) add(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    add(r.Left, y);
    if (r.Right - 1 != r.Left) add(r.Right - 1, y);
  }
  p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p->setPen(QColor(255, 255, 255));
  p->drawPoints(pts.constData(), static_cast<int>(pts.size()));
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.Touch(ToQRect(r));
}

TRect TCanvas::ClipRect() const {
  if (!target_) return TRect{};
  if (target_->painter && target_->painter->hasClipping())
    return FromQRect(target_->painter->clipBoundingRect().toAlignedRect());
  if (!target_->clip.isNull()) return FromQRect(target_->clip);
  QImage* img = target_->Image();
  if (!img) return TRect{};
  return FromQRect(img->rect().translated(-target_->origin));
}

// ------------------------------------------------------------------ TBitmap

namespace {

class BitmapTarget : public CanvasTarget {
 public:
  explicit BitmapTarget(TBitmap* bitmap) : bitmap_(bitmap) {}
  QImage* Image() override { return &bitmap_->MutableImage(); }

 private:
  TBitmap* bitmap_;
};

}  // namespace

TBitmap::TBitmap() : image_(std::make_unique<QImage>()) {}
TBitmap::~TBitmap() = default;

int TBitmap::Width() const { return image_->width(); }
int TBitmap::Height() const { return image_->height(); }
void TBitmap::SetWidth(int w) { SetSize(w, Height()); }
void TBitmap::SetHeight(int h) { SetSize(Width(), h); }

void TBitmap::SetSize(int w, int h) {
  w = std::max(0, w);
  h = std::max(0, h);
  if (w == Width() && h == Height()) return;
  QImage next;
  if (w > 0 && h > 0) {
    next = QImage(w, h, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!image_->isNull()) {
      QPainter p(&next);
      p.drawImage(QPoint(0, 0), *image_);
    }
  }
  *image_ = next;
  Changed();
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    target_ = std::make_unique<BitmapTarget>(this);
    canvas_ = std::make_unique<TCanvas>();
    canvas_->SetTarget(target_.get());
  }
  return canvas_.get();
}

void TBitmap::SetTransparent(bool on) { transparent_ = on; }

TColor TBitmap::TransparentColor() const {
  if (fixedTransparentColor_) return transparentColor_;
  if (image_->isNull()) return clNone;
  return FromQColor(QColor(image_->pixel(0, image_->height() - 1)));
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  fixedTransparentColor_ = color != clDefault;
}

void TBitmap::LoadFromResourceName(const AnsiString& name) {
  if (!LoadBitmapResource(name, *this)) {
    *image_ = QImage();
    Changed();
  }
}

void TBitmap::Assign(const TPersistent* source) {
  if (!source) {
    *image_ = QImage();
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<const TBitmap*>(source)) {
    if (b == this) return;
    *image_ = b->Image().copy();
    transparent_ = b->transparent_;
    fixedTransparentColor_ = b->fixedTransparentColor_;
    transparentColor_ = b->transparentColor_;
    monochrome_ = b->monochrome_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

const QImage& TBitmap::Image() const { return *image_; }
QImage& TBitmap::MutableImage() { return *image_; }

// ------------------------------------------------------------ text and edges

char AcceleratorChar(const AnsiString& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return caption[i + 1];
  }
  return 0;
}

bool IsAccel(char key, const AnsiString& caption) {
  char a = AcceleratorChar(caption);
  if (a == 0 || key == 0) return false;
  return AnsiUpperChar(static_cast<unsigned char>(a)) == AnsiUpperChar(static_cast<unsigned char>(key));
}

AnsiString StripAccelChars(const AnsiString& caption) {
  AnsiString out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) {
      out.push_back(caption[++i]);
      continue;
    }
    if (caption[i] != '&') out.push_back(caption[i]);
  }
  return out;
}

namespace {

struct TextLine {
  AnsiString text;
  int underline = -1;  // byte index of the accelerator in text
};

// Splits, strips prefixes and expands tabs, then breaks lines at blanks
// to fit width (when wordBreak).
std::vector<TextLine> LayoutLines(const AnsiString& text, unsigned flags, const FontFace& face, int cp, int width) {
  std::vector<TextLine> raw(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (!(flags & DT_SINGLELINE) && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      raw.emplace_back();
      continue;
    }
    if (c == '&' && !(flags & DT_NOPREFIX) && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && raw.back().underline < 0)
        raw.back().underline = static_cast<int>(raw.back().text.size());
      raw.back().text.push_back(text[i]);
      continue;
    }
    if (c == '\t' && (flags & DT_EXPANDTABS)) {
      int tab = 8 * face.avgCharWidth;
      int w = face.TextWidth(raw.back().text, cp);
      int blank = std::max(1, face.TableFor(cp).advance[' ']);
      int next = (w / tab + 1) * tab;
      while (w < next) {
        raw.back().text.push_back(' ');
        w += blank;
      }
      continue;
    }
    raw.back().text.push_back(c);
  }
  if (!(flags & DT_WORDBREAK) || (flags & DT_SINGLELINE)) return raw;
  std::vector<TextLine> out;
  for (TextLine& line : raw) {
    std::size_t start = 0;
    const AnsiString& s = line.text;
    while (true) {
      // Take words while they fit; a single word too long stays whole.
      std::size_t end = start, lastFit = std::string::npos;
      while (end <= s.size()) {
        std::size_t next = s.find(' ', end);
        if (next == std::string::npos) next = s.size();
        int w = face.TextWidth(std::string_view(s).substr(start, next - start), cp);
        if (w > width && lastFit != std::string::npos) break;
        lastFit = next;
        if (next == s.size()) break;
        end = next + 1;
      }
      if (lastFit == std::string::npos) lastFit = s.size();
      TextLine part;
      part.text = s.substr(start, lastFit - start);
      if (line.underline >= static_cast<int>(start) && line.underline < static_cast<int>(lastFit))
        part.underline = line.underline - static_cast<int>(start);
      out.push_back(part);
      if (lastFit >= s.size()) break;
      start = lastFit;
      while (start < s.size() && s[start] == ' ') ++start;
      if (start >= s.size()) break;
    }
  }
  return out;
}

}  // namespace

int DrawText(TCanvas* canvas, const AnsiString& text, TRect& rect, unsigned flags) {
  const TFont& font = *canvas->Font();
  const FontFace& face = FaceOf(font);
  int cp = CodePageOf(font.Charset());
  std::vector<TextLine> lines = LayoutLines(text, flags, face, cp, rect.Width());
  int lineHeight = face.ascent + face.descent;
  int total = lineHeight * static_cast<int>(lines.size());
  if (flags & DT_CALCRECT) {
    int widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, face.TextWidth(l.text, cp));
    rect.Right = rect.Left + widest;
    rect.Bottom = rect.Top + total;
    return total;
  }
  int y = rect.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER)
      y = rect.Top + (rect.Height() - lineHeight) / 2;
    else if (flags & DT_BOTTOM)
      y = rect.Bottom - lineHeight;
  }
  CanvasPainter p(canvas);
  if (!p.Active()) return total;
  if (!(flags & DT_NOCLIP)) p->setClipRect(ToQRect(rect), Qt::IntersectClip);
  unsigned savedAlign = canvas->TextAlign();
  canvas->SetTextAlign(TA_LEFT | TA_TOP);
  QColor color = ToQColor(font.Color());
  const FontFace::Table& t = face.TableFor(cp);
  for (const TextLine& l : lines) {
    int w = face.TextWidth(l.text, cp);
    int x = rect.Left;
    if (flags & DT_CENTER)
      x = (rect.Left + rect.Right - w) / 2;
    else if (flags & DT_RIGHT)
      x = rect.Right - w;
    canvas->TextOut(x, y, l.text);
    if (l.underline >= 0) {
      int ux = x + face.TextWidth(std::string_view(l.text).substr(0, static_cast<std::size_t>(l.underline)), cp);
      int uw = t.advance[static_cast<unsigned char>(l.text[static_cast<std::size_t>(l.underline)])];
      p->fillRect(QRect(ux, y + face.ascent + face.underlinePos, uw, face.lineThickness), color);
    }
    y += lineHeight;
  }
  canvas->SetTextAlign(savedAlign);
  p.Touch(ToQRect(rect));
  return total;
}

void DrawEdge(TCanvas* canvas, TRect& rect, unsigned edge, unsigned flags) {
  struct Colors {
    TColor topLeft, bottomRight;
  };
  auto draw = [&](TRect& r, Colors c) {
    CanvasPainter p(canvas);
    if (!p.Active() || r.IsEmpty()) return;
    QColor tl = ToQColor(c.topLeft), br = ToQColor(c.bottomRight);
    // The bottom and right lines own the corners they share with the top
    // and left lines.
    if (flags & BF_TOP) p->fillRect(QRect(r.Left, r.Top, r.Width() - 1, 1), tl);
    if (flags & BF_LEFT) p->fillRect(QRect(r.Left, r.Top, 1, r.Height() - 1), tl);
    if (flags & BF_BOTTOM) p->fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), br);
    if (flags & BF_RIGHT) p->fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), br);
    p.Touch(ToQRect(r));
  };
  auto shrink = [&](TRect& r) {
    if (flags & BF_LEFT) ++r.Left;
    if (flags & BF_TOP) ++r.Top;
    if (flags & BF_RIGHT) --r.Right;
    if (flags & BF_BOTTOM) --r.Bottom;
  };
  TRect r = rect;
  if (edge & BDR_RAISEDOUTER) {
    draw(r, {cl3DLight, cl3DDkShadow});
    shrink(r);
  } else if (edge & BDR_SUNKENOUTER) {
    draw(r, {clBtnShadow, clBtnHighlight});
    shrink(r);
  }
  if (edge & BDR_RAISEDINNER) {
    draw(r, {clBtnHighlight, clBtnShadow});
    shrink(r);
  } else if (edge & BDR_SUNKENINNER) {
    draw(r, {cl3DDkShadow, cl3DLight});
    shrink(r);
  }
  if (flags & BF_MIDDLE) {
    CanvasPainter p(canvas);
    if (p.Active() && !r.IsEmpty()) {
      p->fillRect(ToQRect(r), ToQColor(clBtnFace));
      p.Touch(ToQRect(r));
    }
  }
  if (flags & BF_ADJUST) rect = r;
}
