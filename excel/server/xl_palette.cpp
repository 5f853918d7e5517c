// The default palette of BIFF8 workbooks.
#include "excel/server/xl_palette.h"

#include "excel/biff/biff_palette.h"
#include "excel/biff/biff_records.h"

namespace xl {

namespace {


uint32_t Swap(uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

ColourResolver gResolver = nullptr;

}  // namespace

ColourResolver SetColourResolver(ColourResolver resolver) {
  ColourResolver old = gResolver;
  gResolver = resolver;
  return old;
}

uint32_t ResolveColour(uint32_t colour) {
  if ((colour & 0xFF000000u) == 0) return colour;
  if (gResolver) return gResolver(colour) & 0x00FFFFFFu;
  return colour == 0x80000005u ? 0xFFFFFFu : 0;
}

uint32_t PaletteColour(int index) {
  if (index < biff::kFirstPaletteIndex || index >= biff::kFirstPaletteIndex + biff::kPaletteSize) return 0;
  return Swap(biff::DefaultPaletteRgb(index));
}

uint8_t NearestPaletteIndex(uint32_t bgr) {
  auto channel = [](uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < biff::kPaletteSize; ++i) {
    uint32_t p = Swap(biff::DefaultPaletteRgb(biff::kFirstPaletteIndex + i));
    long d = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      long delta = channel(p, shift) - channel(bgr, shift);
      d += delta * delta;
    }
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return static_cast<uint8_t>(biff::kFirstPaletteIndex + best);
}

}  // namespace xl
