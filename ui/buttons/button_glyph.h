// The glyph of a speed button: a bitmap of one to five equal images side by
// side (up, disabled, down, exclusive, inactive), the images of each state
// built on first use and kept in a process-wide pool of lists by image
// size, and the layout of glyph, caption and drop-down mark in a button.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/gui/buttons.h"  // TButtonLayout
#include "platform/gui/graphics.h"

// Button states; ubsInactive is a drawing state only (a flat button with
// the mouse outside).
enum TUxButtonState { ubsUp = 0, ubsDisabled = 1, ubsDown = 2, ubsExclusive = 3, ubsInactive = 4 };

// Images of one size in numbered slots; a freed slot is used again.
class TGlyphList {
 public:
  TGlyphList(int width, int height) : width_(width), height_(height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Takes a copy of image (drawn transparent in its transparent colour).
  int Add(const TBitmap& image);
  void Delete(int index);
  int Count() const { return used_; }
  void Draw(TCanvas* canvas, int x, int y, int index) const;
  const TBitmap* Image(int index) const;

 private:
  int width_, height_;
  std::vector<std::unique_ptr<TBitmap>> slots_;
  int used_ = 0;
};

// The pool shared by all glyphs: one list per image size. It exists while
// at least one glyph object lives.
class TGlyphCache {
 public:
  TGlyphList* GetList(int width, int height);
  // Frees the list when it holds no image.
  void ReturnList(TGlyphList* list);
  bool Empty() const { return lists_.empty(); }
  // The pool, or null when no glyph object lives.
  static TGlyphCache* Instance();

 private:
  std::map<std::pair<int, int>, std::unique_ptr<TGlyphList>> lists_;
};

// Where CalcButtonLayout puts things (client coordinates).
struct TButtonLayoutResult {
  TPoint glyphPos;
  TRect textBounds;
  AnsiString text;  // the caption as drawn (shortened without WordWrap)
  TPoint markPos;   // left end of the drop-down mark's top row; x -1: none
};

// The grey of a pixel: (R*77 + G*150 + B*29) >> 8 in all three channels.
TColor GreyPixel(TColor rgb);

class TUxButtonGlyph {
 public:
  TUxButtonGlyph();
  ~TUxButtonGlyph();
  TUxButtonGlyph(const TUxButtonGlyph&) = delete;
  TUxButtonGlyph& operator=(const TUxButtonGlyph&) = delete;

  TBitmap* Glyph() { return glyph_.get(); }
  // Copies picture (null empties the glyph). A picture whose width is a
  // multiple of its height sets NumGlyphs to width / height (1 above 5).
  void SetGlyph(const TBitmap* picture);
  int NumGlyphs() const { return numGlyphs_; }
  // Clamped to 1..5.
  void SetNumGlyphs(int n);
  TColor TransparentColor() const { return transparentColor_; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on) { wordWrap_ = on; }
  // The size of one image (0 x 0 without a glyph).
  TSize GlyphSize() const;
  // Drops the state images (system colours changed).
  void Invalidate();
  // Index of the state's image in the pool list for GlyphSize; built on
  // first use.
  int ImageIndex(TUxButtonState state);
  const TBitmap* StateImage(TUxButtonState state);

  TButtonLayoutResult CalcButtonLayout(TCanvas* canvas, const TRect& client, const AnsiString& caption,
                                       TButtonLayout layout, int margin, int spacing, bool mark) const;
  // Draws glyph, caption and mark for state in client (moved by offset);
  // returns the text bounds.
  TRect Draw(TCanvas* canvas, const TRect& client, TPoint offset, const AnsiString& caption, TButtonLayout layout,
             int margin, int spacing, TUxButtonState state, bool mark);

  // The glyph or its images changed.
  TNotifyEvent OnChange;

 private:
  void GlyphChanged();
  void Changed();
  std::unique_ptr<TBitmap> glyph_;
  TColor transparentColor_ = clFuchsia;
  int numGlyphs_ = 1;
  TAlignment alignment_ = taCenter;
  bool wordWrap_ = false;
  int indexes_[5] = {-1, -1, -1, -1, -1};
  TGlyphList* list_ = nullptr;
  bool settingGlyph_ = false;
};

// The downward triangle of a drop-down button: 7, 5, 3 and 1 pixels on the
// rows y-1 .. y+2 from x; disabled: highlight at (+1, +1), then shadow.
void DrawDropDownMark(TCanvas* canvas, int x, int y, bool enabled);
