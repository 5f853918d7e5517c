// Internal to the GUI layer: the one place where the program's types meet
// Qt's. Texts cross here (CP1250 or, for OEM fonts, CP852), colours become
// QColors, fonts become resolved faces with their per-byte glyph tables,
// and canvases find their drawing surface.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRect>
#include <QString>

#include <array>
#include <string_view>

#include "platform/gui/geometry.h"
#include "platform/gui/graphics.h"

namespace gui_detail {

// ---- text
// Code page of a font charset: 852 for OEM_CHARSET, kSymbolCodePage for
// SYMBOL_CHARSET (byte b is the private-use character U+F000 + b, where
// symbol fonts keep their glyphs), else 1250.
constexpr int kSymbolCodePage = 2;
int CodePageOf(TFontCharset charset);
QString ToQt(std::string_view text, int codePage = 1250);
// Characters the code page lacks become "?".
AnsiString FromQt(const QString& text, int codePage = 1250);
// The byte of one character, or -1 when the code page cannot hold it.
int ByteOf(char32_t u, int codePage = 1250);
char32_t UnicodeOf(unsigned char byte, int codePage = 1250);

// ---- colours and geometry
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& c);
inline QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect FromQRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

// ---- fonts
// One resolved face (family, pixel size, weight, slant) with the per-byte
// glyph tables of the text rule. Faces live for the whole process.
struct FontFace {
  QFont font;        // for native widgets and Qt-drawn text
  QRawFont raw;      // for our own text drawing
  int ascent = 0;
  int descent = 0;
  int pixelSize = 0;
  int avgCharWidth = 0;
  int maxCharWidth = 0;
  int underlinePos = 0;   // below the baseline
  int lineThickness = 1;
  int strikePos = 0;      // above the baseline
  bool underline = false;
  bool strikeOut = false;
  bool fixedPitch = false;  // the font's post.isFixedPitch
  struct Table {
    bool built = false;
    std::array<quint32, 256> glyph{};
    std::array<int, 256> advance{};
  };
  mutable std::array<Table, 3> tables;  // [0] CP1250, [1] CP852, [2] symbol
  const Table& TableFor(int codePage) const;
  int TextWidth(std::string_view text, int codePage) const;
};

const FontFace& FaceOf(const TFont& font);
// The QFont a native widget shows the font with.
QFont QtFontOf(const TFont& font);

// ---- canvas surfaces
// Where a canvas draws: an image that keeps its pixels, plus the origin of
// canvas coordinates in it and the clip of the moment. While a control
// paints, the painter of the paint cycle is lent to the canvas.
class CanvasTarget {
 public:
  virtual ~CanvasTarget() = default;
  // The pixel store; may be resized or created on demand.
  virtual QImage* Image() = 0;
  // Pixels in r (canvas coordinates) were drawn outside a paint cycle.
  virtual void Touched(const QRect& r) { (void)r; }

  QPoint origin;            // canvas (0,0) in image coordinates
  QRect clip;               // canvas coordinates; null = the whole image
  QPainter* painter = nullptr;
};

// A surface that is only a painter lent by its owner (a print job's page),
// or an image that the owner keeps.
class PaintDeviceTarget : public CanvasTarget {
 public:
  QImage* Image() override { return image; }
  QImage* image = nullptr;
};

// A painter for one canvas operation: the lent one, or one opened on the
// target image for this operation only.
class CanvasPainter {
 public:
  explicit CanvasPainter(TCanvas* canvas);
  ~CanvasPainter();
  CanvasPainter(const CanvasPainter&) = delete;
  CanvasPainter& operator=(const CanvasPainter&) = delete;
  bool Active() const { return p_ != nullptr; }
  QPainter& operator*() { return *p_; }
  QPainter* operator->() { return p_; }
  // Marks canvas-coordinate pixels as drawn (for surfaces outside painting).
  void Touch(const QRect& r) { touched_ = touched_.united(r); }

 private:
  TCanvas* canvas_;
  QPainter* p_ = nullptr;
  QPainter own_;
  QRect touched_;
};

}  // namespace gui_detail
