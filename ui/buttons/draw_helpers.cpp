#include "ui/buttons/draw_helpers.h"

#include <QImage>
#include <QWidget>

#include <algorithm>

#include "platform/gui/application.h"

TColor PixelOf(const TBitmap* bitmap, int x, int y) {
  QRgb p = bitmap->Image().pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

void PaintParentBackground(TControl* control, TBitmap* bitmap) {
  TWinControl* parent = control->Parent();
  if (!parent || !bitmap || bitmap->Empty()) return;
  QPoint at = control->Widget()->pos();
  parent->PaintTo(bitmap, Point(-at.x(), -at.y()));
  TRect self = control->BoundsRect();
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == control) break;
    if (!c->Visible() || !dynamic_cast<TGraphicControl*>(c)) continue;
    TRect r = c->BoundsRect();
    if (r.Right <= self.Left || r.Left >= self.Right || r.Bottom <= self.Top || r.Top >= self.Bottom) continue;
    c->PaintTo(bitmap, Point(r.Left - self.Left, r.Top - self.Top));
  }
}

std::unique_ptr<TBitmap> MakeDisabledBitmap(const TBitmap* glyph) {
  auto out = std::make_unique<TBitmap>();
  int w = glyph->Width(), h = glyph->Height();
  out->SetSize(w, h);
  TCanvas* c = out->Canvas();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(Rect(0, 0, w, h));
  auto black = [&](int x, int y) { return PixelOf(glyph, x, y) == clBlack; };
  for (TColor color : {clBtnHighlight, clBtnShadow}) {
    int d = color == clBtnHighlight ? 1 : 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (black(x, y) && x + d < w && y + d < h) c->SetPixels(x + d, y + d, color);
  }
  out->SetTransparentColor(ColorToRGB(clBtnFace));
  out->SetTransparent(true);
  return out;
}

void DrawDisabledImage(TCanvas* canvas, int x, int y, const TBitmap* image) {
  TColor transparent = ColorToRGB(image->TransparentColor());
  for (TColor color : {clBtnHighlight, clBtnShadow}) {
    int d = color == clBtnHighlight ? 1 : 0;
    for (int py = 0; py < image->Height(); ++py)
      for (int px = 0; px < image->Width(); ++px) {
        TColor p = PixelOf(image, px, py);
        if (p != clWhite && p != transparent) canvas->SetPixels(x + px + d, y + py + d, color);
      }
  }
}

AnsiString ShortenToWidth(TCanvas* canvas, const AnsiString& text, int width) {
  AnsiString result = text;
  int length = static_cast<int>(text.size());
  for (int i = 1; i <= length && canvas->TextWidth(result) > width; ++i)
    result = text.substr(0, static_cast<std::size_t>(std::max(0, length - i - 1))) + "...";
  return result;
}

bool ActiveWindowInThread() { return Screen && Screen->ActiveForm() != nullptr; }

int RectWidth(const TRect& r) { return r.Right - r.Left; }
int RectHeight(const TRect& r) { return r.Bottom - r.Top; }

void Beep() { MessageBeep(0); }
