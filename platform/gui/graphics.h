// Colours, fonts, pens, brushes, bitmaps and the canvas: the drawing
// vocabulary of the class library over QPainter.
//
// Invariants the rest of the program relies on:
// - TColor is 0x00BBGGRR; system colours are 0x80000000 + index and come
//   from one fixed table (not from the Qt style), so pictures repeat.
// - Text is measured and drawn by one rule: per-glyph advances rounded to
//   whole pixels at 96 dpi, hinting off, glyphs placed at exactly those
//   positions. TextWidth of a text is the distance TextOut advances.
// - The pixel rules of the original platform hold: filled rectangles cover
//   left..right-1 and top..bottom-1; LineTo does not paint its end point;
//   Rectangle draws its outline inside the rectangle; DrawFocusRect is an
//   XOR pattern that a second call removes.
// - Texts are CP1250 bytes; a font with charset 255 (OEM) reads them as
//   CP852.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/enum_set.h"
#include "platform/gui/geometry.h"
#include "platform/rtl/classes.h"

class QImage;
class QPainter;
class TStream;

// ---------------------------------------------------------------- colours

using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;

// The RGB value (0x00BBGGRR) of a colour; system colours through the fixed
// table. clNone and clDefault give black.
TColor ColorToRGB(TColor color);
inline TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline int GetRValue(TColor c) { return static_cast<int>(c & 0xFF); }
inline int GetGValue(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int GetBValue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

// ------------------------------------------------------------------ fonts

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;
constexpr TFontCharset EASTEUROPE_CHARSET = 238;
constexpr TFontCharset OEM_CHARSET = 255;

// Measures of a font as the original platform reports them (pixels).
struct TTextMetric {
  int tmHeight = 0;           // ascent + descent
  int tmAscent = 0;
  int tmDescent = 0;
  int tmInternalLeading = 0;  // tmHeight - character height
  int tmExternalLeading = 0;
  int tmAveCharWidth = 0;
  int tmMaxCharWidth = 0;
  int tmOverhang = 0;         // 0 for every font this platform uses
};

class TFont : public TPersistent {
 public:
  // "MS Sans Serif", height -11 (8 points), clWindowText, default charset.
  TFont();
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);
  AnsiString ClassName() const override { return "TFont"; }

  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name);
  // Negative: character height in pixels; positive: cell height.
  int Height() const { return height_; }
  void SetHeight(int height);
  // Points at 96 dpi; Size and Height are two views of one value.
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // Text direction in tenths of a degree, counter-clockwise (0 = along x).
  int Escapement() const { return escapement_; }
  void SetEscapement(int tenths);
  // The same angle under its other name: the text is drawn turned about its
  // reference point.
  int Orientation() const { return escapement_; }
  void SetOrientation(int tenths) { SetEscapement(tenths); }

  void Assign(const TPersistent* source) override;
  bool SameAs(const TFont& other) const;
  // The installed family that stands for Name (the substitution table).
  AnsiString ResolvedFamily() const;
  TTextMetric Metrics() const;

  // Fires after every change.
  TNotifyEvent OnChange;

 private:
  void Changed();
  AnsiString name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int escapement_ = 0;
};

// The substitution table: "MS Sans Serif", "Arial", "ArialCE", "Arial CE"
// -> Liberation Sans; "Times New Roman" -> Liberation Serif; "Courier New",
// "Courier" -> Liberation Mono (metric-compatible faces); anything else ->
// DejaVu Sans. Tests may pin other families.
AnsiString SubstituteFontFamily(const AnsiString& name);
void SetFontSubstitutes(const AnsiString& sansFamily, const AnsiString& fallbackFamily);
void SetFontSubstitutes(const AnsiString& sansFamily, const AnsiString& fallbackFamily,
                        const AnsiString& serifFamily, const AnsiString& monoFamily);

// ------------------------------------------------------------ pen, brush

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// pmMask ANDs the pen colour into the page. Raster modes apply on raster
// surfaces; a vector surface (a print job) draws them as pmCopy.
enum TPenMode { pmCopy, pmXor, pmNot, pmNotXor, pmMask };
enum TBrushStyle { bsSolid, bsClear };
class TBitmap;

class TPen : public TPersistent {
 public:
  AnsiString ClassName() const override { return "TPen"; }
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  int Width() const { return width_; }
  void SetWidth(int w) { width_ = w < 1 ? 1 : w; }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle s) { style_ = s; }
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode m) { mode_ = m; }
  void Assign(const TPersistent* source) override;

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

class TBrush : public TPersistent {
 public:
  AnsiString ClassName() const override { return "TBrush"; }
  TColor Color() const { return color_; }
  // Setting a colour makes a clear brush solid again, as the library does.
  void SetColor(TColor c);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle s) { style_ = s; }
  // A pattern bitmap (not owned) tiles fills in place of the colour; none
  // (nullptr) is the plain colour.
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap) { bitmap_ = bitmap; }
  void Assign(const TPersistent* source) override;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

// ------------------------------------------------------------------ canvas

class TGraphic;
namespace gui_detail {
class CanvasTarget;
}

// Background modes of text output (SetBackgroundMode). The canvas starts in
// bkmBrush: the text cell is filled with the brush unless it is clear, as
// the screens expect; bkmOpaque fills it with BackColor.
enum TCanvasBkMode { bkmBrush, bkmTransparent, bkmOpaque };
// Flood fill styles.
enum TFillStyle { fsSurface, fsBorder };
// How a stretched bitmap combines with the page.
enum TCopyMode { cmSrcCopy, cmSrcAnd };

// Text alignment of TextOut (SetTextAlign).
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;

class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  AnsiString ClassName() const override { return "TCanvas"; }

  TFont* Font() { return &font_; }
  void SetFont(const TFont* font) { font_.Assign(font); }
  TPen* Pen() { return &pen_; }
  TBrush* Brush() { return &brush_; }
  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { penPos_ = p; }
  unsigned TextAlign() const { return textAlign_; }
  void SetTextAlign(unsigned flags) { textAlign_ = flags; }

  // Fills left..right-1 x top..bottom-1 with the brush (nothing when clear).
  void FillRect(const TRect& r);
  // A one-pixel frame in the brush colour on the rectangle's outer pixels.
  void FrameRect(const TRect& r);
  // Outline in the pen inside the rectangle, interior in the brush.
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void MoveTo(int x, int y) { penPos_ = Point(x, y); }
  // A line from the pen position to (x, y), end point excluded.
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  TColor Pixels(int x, int y) const;  // clNone outside or without pixels
  void SetPixels(int x, int y, TColor color);

  // Text at (x, y) by TextAlign; the text cell is filled with the brush
  // unless the brush is clear.
  void TextOut(int x, int y, const AnsiString& text);
  // Text at (x, y) clipped to r; r is filled with the brush unless clear.
  void TextRect(const TRect& r, int x, int y, const AnsiString& text);
  int TextWidth(const AnsiString& text);
  int TextHeight(const AnsiString& text);
  TSize TextExtent(const AnsiString& text);

  // The bitmap at (x, y); pixels of its transparent colour are skipped
  // when it is transparent.
  void Draw(int x, int y, const TBitmap* bitmap);
  void StretchDraw(const TRect& dest, const TBitmap* bitmap);
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);
  // Dotted frame by XOR; the same call again removes it.
  void DrawFocusRect(const TRect& r);
  // The area drawing can reach (the paint region while painting).
  TRect ClipRect() const;

  // ---- shapes; bounding boxes exclude their right and bottom edge.
  void Ellipse(int left, int top, int right, int bottom);
  // Arc, chord and pie run counter-clockwise from the ray towards (x3, y3)
  // to the ray towards (x4, y4) on the ellipse of the bounding box.
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
  void Polygon(const std::vector<TPoint>& points);
  // Raster surfaces only: fsSurface fills the area of colour around (x, y),
  // fsBorder the area bounded by colour. On a print job it draws nothing.
  void FloodFill(int x, int y, TColor color, TFillStyle style);
  // The source part of bitmap into dest, its pixels of colour replaced by
  // the brush colour.
  void BrushCopy(const TRect& dest, const TBitmap* bitmap, const TRect& source, TColor color);
  // Any graphic at (x, y) / stretched into dest.
  void Draw(int x, int y, const TGraphic* graphic);
  void StretchDraw(const TRect& dest, const TGraphic* graphic);
  // A bitmap stretched into dest, copied or ANDed into the page (a print
  // job copies).
  void StretchDraw(const TRect& dest, const TBitmap* bitmap, TCopyMode mode);

  // Background of text output.
  TCanvasBkMode BackgroundMode() const { return bkMode_; }
  void SetBackgroundMode(TCanvasBkMode mode) { bkMode_ = mode; }
  TColor BackColor() const { return bkColor_; }
  void SetBackColor(TColor color) { bkColor_ = color; }

  // Drawing surface (the GUI layer binds canvases to bitmaps and controls).
  void SetTarget(gui_detail::CanvasTarget* target) { target_ = target; }
  gui_detail::CanvasTarget* Target() const { return target_; }

 private:
  friend class gui_detail::CanvasTarget;
  void DrawTextAt(QPainter& p, int x, int y, const AnsiString& text, bool fillCell);
  void DrawTextAt(QPainter& p, int x, int y, const AnsiString& text, bool fillCell, bool unrotated);

  TFont font_;
  TPen pen_;
  TBrush brush_;
  TPoint penPos_;
  unsigned textAlign_ = TA_LEFT | TA_TOP;
  gui_detail::CanvasTarget* target_ = nullptr;
  TCanvasBkMode bkMode_ = bkmBrush;
  TColor bkColor_ = clWhite;
};

// ----------------------------------------------------------------- graphic

// A picture that can be drawn and streamed.
class TGraphic : public TPersistent {
 public:
  AnsiString ClassName() const override { return "TGraphic"; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const { return Width() == 0 || Height() == 0; }
  // Reads the picture from the stream's position to its end; a picture the
  // class cannot read raises EInvalidGraphic (platform/gui/resources.h).
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) const = 0;

  // Fires after a change of size, pixels through Assign or a load.
  TNotifyEvent OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};


// ------------------------------------------------------------------ bitmap

// Pixels in memory; streams in the BMP file format (reads 1-, 4-, 8-, 24-
// and 32-bit files, writes 24-bit bottom-up).
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  AnsiString ClassName() const override { return "TBitmap"; }

  int Width() const override;
  int Height() const override;
  void SetWidth(int w);
  void SetHeight(int h);
  // New pixels are white; existing ones are kept where they still fit.
  void SetSize(int w, int h);
  bool Empty() const override { return Width() == 0 || Height() == 0; }
  TCanvas* Canvas();
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  // One bit per pixel: every pixel black or white (lighter than mid grey).
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool on);

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  // The bottom-left pixel unless a colour was set.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);

  // The named picture of the program's resource registry; an unknown name
  // leaves the bitmap empty.
  void LoadFromResourceName(const AnsiString& name);
  void Assign(const TPersistent* source) override;

  // Pixel store (for the GUI layer).
  const QImage& Image() const;
  QImage& MutableImage();

 private:
  std::unique_ptr<QImage> image_;
  std::unique_ptr<TCanvas> canvas_;
  std::unique_ptr<gui_detail::CanvasTarget> target_;
  bool transparent_ = false;
  bool fixedTransparentColor_ = false;
  TColor transparentColor_ = clNone;
  bool monochrome_ = false;
};

// An icon (ICO file); drawn with its transparency, saved as read.
class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;
  AnsiString ClassName() const override { return "TIcon"; }
  int Width() const override;
  int Height() const override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  const QImage& Image() const;

 private:
  std::unique_ptr<QImage> image_;
  std::string bytes_;
};

// A metafile (EMF or placeable WMF) kept as its bytes, unchanged, so a page
// stream can carry it. This platform has no metafile renderer: drawing one
// paints nothing. The size comes from the file's header bounds.
class TMetafile : public TGraphic {
 public:
  AnsiString ClassName() const override { return "TMetafile"; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  int width_ = 0;
  int height_ = 0;
};

// ------------------------------------------------------ text and edges

constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_EXPANDTABS = 0x0040;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;
constexpr unsigned DT_NOPREFIX = 0x0800;

// Draws text in rect by flags with the canvas's font; each line's text cell
// is filled with the brush unless the brush is clear (as TextOut does);
// "&x" underlines x unless DT_NOPREFIX, "&&" is one "&".
// With DT_CALCRECT nothing is drawn and rect's right and bottom are set to
// the text's extent. Returns the height of the text.
int DrawText(TCanvas* canvas, const AnsiString& text, TRect& rect, unsigned flags);
// The accelerator character of a caption ("&Storno" -> 'S'), or 0.
char AcceleratorChar(const AnsiString& caption);
// True when key is the caption's accelerator (case-insensitive, CP1250).
bool IsAccel(char key, const AnsiString& caption);
// The caption without its "&" markers.
AnsiString StripAccelChars(const AnsiString& caption);

constexpr unsigned BDR_RAISEDOUTER = 0x0001;
constexpr unsigned BDR_SUNKENOUTER = 0x0002;
constexpr unsigned BDR_RAISEDINNER = 0x0004;
constexpr unsigned BDR_SUNKENINNER = 0x0008;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr unsigned BF_LEFT = 0x0001;
constexpr unsigned BF_TOP = 0x0002;
constexpr unsigned BF_RIGHT = 0x0004;
constexpr unsigned BF_BOTTOM = 0x0008;
constexpr unsigned BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr unsigned BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr unsigned BF_MIDDLE = 0x0800;
constexpr unsigned BF_ADJUST = 0x2000;

// One-pixel edge lines: the outer edge, then the inner one. Raised outer
// cl3DLight / cl3DDkShadow, raised inner clBtnHighlight / clBtnShadow,
// sunken outer clBtnShadow / clBtnHighlight, sunken inner cl3DDkShadow /
// cl3DLight (top-left / bottom-right). BF_ADJUST shrinks rect past the
// edges; BF_MIDDLE fills the inside with clBtnFace.
void DrawEdge(TCanvas* canvas, TRect& rect, unsigned edge, unsigned flags);
