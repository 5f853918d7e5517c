// State images are built from the glyph's columns on first use: the down
// state borrows the up image when the glyph has fewer than three images; a
// missing disabled image is embossed from the up image, a missing inactive
// one greyed. All live in the pool's list for their size, so buttons with
// glyphs of one size share one list.
#include "ui/buttons/button_glyph.h"

#include <QImage>

#include <algorithm>

#include "ui/buttons/draw_helpers.h"

namespace {

TGlyphCache* gCache = nullptr;
int gGlyphObjects = 0;

AnsiString TrimRight(AnsiString s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

}  // namespace

// ------------------------------------------------------------- TGlyphList

int TGlyphList::Add(const TBitmap& image) {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(&image);
  copy->SetTransparentColor(image.TransparentColor());
  copy->SetTransparent(true);
  ++used_;
  for (std::size_t i = 0; i < slots_.size(); ++i)
    if (!slots_[i]) {
      slots_[i] = std::move(copy);
      return static_cast<int>(i);
    }
  slots_.push_back(std::move(copy));
  return static_cast<int>(slots_.size()) - 1;
}

void TGlyphList::Delete(int index) {
  if (index < 0 || index >= static_cast<int>(slots_.size()) || !slots_[static_cast<std::size_t>(index)]) return;
  slots_[static_cast<std::size_t>(index)].reset();
  --used_;
}

const TBitmap* TGlyphList::Image(int index) const {
  if (index < 0 || index >= static_cast<int>(slots_.size())) return nullptr;
  return slots_[static_cast<std::size_t>(index)].get();
}

void TGlyphList::Draw(TCanvas* canvas, int x, int y, int index) const {
  if (const TBitmap* image = Image(index)) canvas->Draw(x, y, image);
}

// ------------------------------------------------------------ TGlyphCache

TGlyphList* TGlyphCache::GetList(int width, int height) {
  auto& slot = lists_[{width, height}];
  if (!slot) slot = std::make_unique<TGlyphList>(width, height);
  return slot.get();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
  if (!list || list->Count() > 0) return;
  lists_.erase({list->Width(), list->Height()});
}

TGlyphCache* TGlyphCache::Instance() { return gCache; }

// --------------------------------------------------------- TUxButtonGlyph

TColor GreyPixel(TColor rgb) {
  int grey = (GetRValue(rgb) * 77 + GetGValue(rgb) * 150 + GetBValue(rgb) * 29) >> 8;
  return RGB(grey, grey, grey);
}

TUxButtonGlyph::TUxButtonGlyph() : glyph_(std::make_unique<TBitmap>()) {
  if (gGlyphObjects++ == 0) gCache = new TGlyphCache;
  glyph_->OnChange = [this](TObject*) { GlyphChanged(); };
}

TUxButtonGlyph::~TUxButtonGlyph() {
  glyph_->OnChange = nullptr;
  Invalidate();
  if (--gGlyphObjects == 0) {
    delete gCache;
    gCache = nullptr;
  }
}

void TUxButtonGlyph::SetGlyph(const TBitmap* picture) {
  if (picture) {
    glyph_->Assign(picture);
  } else {
    TBitmap empty;
    glyph_->Assign(&empty);
  }
  GlyphChanged();
}

void TUxButtonGlyph::GlyphChanged() {
  Invalidate();
  if (!glyph_->Empty()) {
    transparentColor_ = ColorToRGB(glyph_->TransparentColor()) & 0xFFFFFF;
    int w = glyph_->Width(), h = glyph_->Height();
    // Only a picture with a height can tell its image count.
    if (h > 0 && w % h == 0) {
      int n = w / h;
      numGlyphs_ = n > 5 ? 1 : n;
    }
  }
  Changed();
}

void TUxButtonGlyph::SetNumGlyphs(int n) {
  n = std::clamp(n, 1, 5);
  if (n == numGlyphs_) return;
  Invalidate();
  numGlyphs_ = n;
  Changed();
}

void TUxButtonGlyph::Changed() {
  if (OnChange) OnChange(nullptr);
}

TSize TUxButtonGlyph::GlyphSize() const {
  if (glyph_->Empty()) return TSize{0, 0};
  return TSize{glyph_->Width() / numGlyphs_, glyph_->Height()};
}

void TUxButtonGlyph::Invalidate() {
  for (int& index : indexes_) {
    if (index >= 0 && list_) list_->Delete(index);
    index = -1;
  }
  if (list_ && gCache) gCache->ReturnList(list_);
  list_ = nullptr;
}

int TUxButtonGlyph::ImageIndex(TUxButtonState state) {
  TSize size = GlyphSize();
  if (size.cx <= 0 || size.cy <= 0 || !gCache) return -1;
  int& slot = indexes_[state];
  if (slot >= 0) return slot;
  if (!list_) list_ = gCache->GetList(size.cx, size.cy);
  int column = state == ubsDown && numGlyphs_ < 3 ? 0 : static_cast<int>(state);
  if (column >= numGlyphs_) column = 0;
  TBitmap image;
  image.MutableImage() = glyph_->Image().copy(column * size.cx, 0, size.cx, size.cy).convertToFormat(QImage::Format_RGB32);
  image.SetTransparentColor(transparentColor_);
  if (state == ubsDisabled && numGlyphs_ < 2) {
    std::unique_ptr<TBitmap> disabled = MakeDisabledBitmap(&image);
    slot = list_->Add(*disabled);
  } else if (state == ubsInactive && numGlyphs_ < 5) {
    QImage& pixels = image.MutableImage();
    TColor face = ColorToRGB(clBtnFace);
    for (int y = 0; y < pixels.height(); ++y)
      for (int x = 0; x < pixels.width(); ++x) {
        QRgb p = pixels.pixel(x, y);
        TColor c = RGB(qRed(p), qGreen(p), qBlue(p));
        if (c == transparentColor_ || c == face) continue;
        TColor g = GreyPixel(c);
        pixels.setPixel(x, y, qRgb(GetRValue(g), GetGValue(g), GetBValue(g)));
      }
    slot = list_->Add(image);
  } else {
    slot = list_->Add(image);
  }
  return slot;
}

const TBitmap* TUxButtonGlyph::StateImage(TUxButtonState state) {
  int index = ImageIndex(state);
  return index >= 0 && list_ ? list_->Image(index) : nullptr;
}

TButtonLayoutResult TUxButtonGlyph::CalcButtonLayout(TCanvas* canvas, const TRect& client, const AnsiString& caption,
                                                     TButtonLayout layout, int margin, int spacing, bool mark) const {
  TButtonLayoutResult out;
  const int w = client.Right - client.Left, h = client.Bottom - client.Top;
  TSize glyph = GlyphSize();
  const int realGlyphWidth = glyph.cx;
  const bool vertical = layout == blGlyphTop || layout == blGlyphBottom;
  const int margins = (margin != -1 ? margin : 0) + (spacing != -1 ? spacing : 0);
  TSize space = vertical ? TSize{w, h - glyph.cy - margins} : TSize{w - glyph.cx - margins - (mark ? 9 : 0), h};
  space.cx = std::max(0, space.cx);
  space.cy = std::max(0, space.cy);

  TSize text{0, 0};
  if (!caption.empty()) {
    AnsiString shown = caption;
    if (!wordWrap_) {
      // Every line is shortened on its own to the text space.
      AnsiString joined;
      std::size_t start = 0;
      while (start <= caption.size()) {
        std::size_t end = caption.find('\n', start);
        AnsiString line = caption.substr(start, end == AnsiString::npos ? AnsiString::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!joined.empty()) joined += "\n";
        joined += ShortenToWidth(canvas, line, space.cx);
        if (end == AnsiString::npos) break;
        start = end + 1;
      }
      shown = TrimRight(joined);
    }
    out.text = shown;
    TRect bounds = Rect(0, 0, space.cx, 0);
    DrawText(canvas, shown, bounds, DT_CALCRECT | DT_CENTER | (wordWrap_ ? DT_WORDBREAK : 0));
    text = TSize{std::min(bounds.Right - bounds.Left, space.cx), std::min(bounds.Bottom - bounds.Top, space.cy)};
  }
  const bool markBesideText = mark && (glyph.cx == 0 || layout == blGlyphLeft);
  if (mark) {
    if (markBesideText)
      text.cx += 9;
    else
      glyph.cx += 6;
  }

  TPoint gp{0, 0}, tp{0, 0};
  if (vertical) {
    gp.x = w / 2 - glyph.cx / 2;
    tp.x = w / 2 - text.cx / 2;
  } else {
    gp.y = h / 2 - glyph.cy / 2;
    tp.y = h / 2 - text.cy / 2;
  }
  if (text.cx == 0 || glyph.cx == 0) spacing = 0;
  const int size = vertical ? h : w;
  const int glyphLen = vertical ? glyph.cy : glyph.cx;
  const int textLen = vertical ? text.cy : text.cx;
  if (margin == -1 && spacing == -1) {
    spacing = margin = (size - glyphLen - textLen) / 3;
  } else if (margin == -1) {
    margin = size / 2 - (spacing + glyphLen + textLen) / 2;
  } else if (spacing == -1) {
    spacing = (size - margin - glyphLen) / 2 - textLen / 2;
  }
  switch (layout) {
    case blGlyphLeft:
      gp.x = margin;
      tp.x = margin + glyph.cx + spacing;
      break;
    case blGlyphRight:
      gp.x = w - margin - glyph.cx;
      tp.x = gp.x - spacing - text.cx;
      break;
    case blGlyphTop:
      gp.y = margin;
      tp.y = margin + glyph.cy + spacing;
      break;
    case blGlyphBottom:
      gp.y = h - margin - glyph.cy;
      tp.y = gp.y - spacing - text.cy;
      break;
  }
  out.glyphPos = Point(gp.x + client.Left, gp.y + client.Top);
  out.textBounds = Rect(tp.x + client.Left, tp.y + client.Top, tp.x + client.Left + text.cx, tp.y + client.Top + text.cy);
  out.markPos = Point(-1, -1);
  if (mark) {
    if (markBesideText) out.textBounds.Right -= 9;
    if (realGlyphWidth > 0) {
      out.markPos = Point(out.glyphPos.x + realGlyphWidth + 1, out.glyphPos.y + glyph.cy / 2);
    } else if (!caption.empty()) {
      out.markPos = Point(out.textBounds.Right + 3, (out.textBounds.Top + out.textBounds.Bottom) / 2);
    } else {
      out.markPos = Point((client.Left + client.Right - 7) / 2, (out.textBounds.Top + out.textBounds.Bottom) / 2);
    }
  }
  return out;
}

TRect TUxButtonGlyph::Draw(TCanvas* canvas, const TRect& client, TPoint offset, const AnsiString& caption,
                           TButtonLayout layout, int margin, int spacing, TUxButtonState state, bool mark) {
  TButtonLayoutResult l = CalcButtonLayout(canvas, client, caption, layout, margin, spacing, mark);
  l.glyphPos.x += offset.x;
  l.glyphPos.y += offset.y;
  l.textBounds = Rect(l.textBounds.Left + offset.x, l.textBounds.Top + offset.y, l.textBounds.Right + offset.x,
                      l.textBounds.Bottom + offset.y);
  if (const TBitmap* image = StateImage(state)) canvas->Draw(l.glyphPos.x, l.glyphPos.y, image);
  if (!l.text.empty()) {
    canvas->Brush()->SetStyle(bsClear);
    unsigned align = alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
    unsigned flags = align | DT_VCENTER | DT_WORDBREAK;
    if (state == ubsDisabled) {
      TColor keep = canvas->Font()->Color();
      TRect shadow = Rect(l.textBounds.Left + 1, l.textBounds.Top + 1, l.textBounds.Right + 1, l.textBounds.Bottom + 1);
      canvas->Font()->SetColor(clBtnHighlight);
      DrawText(canvas, l.text, shadow, flags);
      canvas->Font()->SetColor(clBtnShadow);
      TRect r = l.textBounds;
      DrawText(canvas, l.text, r, flags);
      canvas->Font()->SetColor(keep);
    } else {
      TRect r = l.textBounds;
      DrawText(canvas, l.text, r, flags);
    }
  }
  if (mark && l.markPos.x >= 0) DrawDropDownMark(canvas, l.markPos.x + offset.x, l.markPos.y + offset.y, state != ubsDisabled);
  return l.textBounds;
}

void DrawDropDownMark(TCanvas* canvas, int x, int y, bool enabled) {
  auto triangle = [&](int left, int top, TColor color) {
    for (int row = 0; row < 4; ++row)
      for (int i = row; i < 7 - row; ++i) canvas->SetPixels(left + i, top - 1 + row, color);
  };
  if (enabled) {
    triangle(x, y, clBtnText);
  } else {
    triangle(x + 1, y + 1, clBtnHighlight);
    triangle(x, y, clBtnShadow);
  }
}
