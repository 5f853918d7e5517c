#include "platform/gui/testing/gui_pixels.h"

#include <algorithm>

#include "platform/gui/qt_support.h"

using namespace gui_detail;

TColor PixelAt(const QImage& image, int x, int y) {
  if (!image.rect().contains(x, y)) return clNone;
  return FromQColor(QColor(image.pixel(x, y)));
}

namespace {

TRect Clip(const QImage& image, const TRect& r) {
  return IntersectRect(r, Rect(0, 0, image.width(), image.height()));
}

}  // namespace

int CountColor(const QImage& image, const TRect& r, TColor color) {
  TRect c = Clip(image, r);
  TColor want = ColorToRGB(color);
  int n = 0;
  for (int y = c.Top; y < c.Bottom; ++y)
    for (int x = c.Left; x < c.Right; ++x)
      if (PixelAt(image, x, y) == want) ++n;
  return n;
}

int CountOther(const QImage& image, const TRect& r, std::initializer_list<TColor> colors) {
  TRect c = Clip(image, r);
  int n = 0;
  for (int y = c.Top; y < c.Bottom; ++y)
    for (int x = c.Left; x < c.Right; ++x) {
      TColor p = PixelAt(image, x, y);
      if (std::none_of(colors.begin(), colors.end(), [&](TColor k) { return ColorToRGB(k) == p; })) ++n;
    }
  return n;
}

int FirstInkColumn(const QImage& image, const TRect& r, TColor background) {
  TRect c = Clip(image, r);
  TColor bg = ColorToRGB(background);
  for (int x = c.Left; x < c.Right; ++x)
    for (int y = c.Top; y < c.Bottom; ++y)
      if (PixelAt(image, x, y) != bg) return x;
  return -1;
}

int LastInkColumn(const QImage& image, const TRect& r, TColor background) {
  TRect c = Clip(image, r);
  TColor bg = ColorToRGB(background);
  for (int x = c.Right - 1; x >= c.Left; --x)
    for (int y = c.Top; y < c.Bottom; ++y)
      if (PixelAt(image, x, y) != bg) return x;
  return -1;
}
