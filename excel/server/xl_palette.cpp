// The default palette of BIFF8 workbooks.
#include "excel/server/xl_palette.h"

#include "excel/biff/biff_records.h"

namespace xl {

namespace {

// As RRGGBB, indexes 8 to 63.
constexpr uint32_t kDefaultPalette[biff::kPaletteSize] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

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
  return Swap(kDefaultPalette[index - biff::kFirstPaletteIndex]);
}

uint8_t NearestPaletteIndex(uint32_t bgr) {
  auto channel = [](uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < biff::kPaletteSize; ++i) {
    uint32_t p = Swap(kDefaultPalette[i]);
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
