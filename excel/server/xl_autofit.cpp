// Text widths from the compiled-in advance table.
#include "excel/server/xl_autofit.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/rtl/codepages.h"

namespace xl {

namespace {

struct Advance {
  char32_t codePoint;
  uint8_t regular;
  uint8_t bold;
};

constexpr Advance kAdvances[] = {
#include "excel/server/xl_font_widths.inc"
};

// The table by CP1250 byte, built once.
struct ByteWidths {
  std::array<uint8_t, 256> regular{};
  std::array<uint8_t, 256> bold{};
  ByteWidths() {
    for (int b = 0; b < 256; ++b) {
      char32_t u = Cp1250ToUnicode(static_cast<unsigned char>(b));
      auto it = std::lower_bound(std::begin(kAdvances), std::end(kAdvances), u,
                                 [](const Advance& a, char32_t v) { return a.codePoint < v; });
      if (it != std::end(kAdvances) && it->codePoint == u) {
        regular[static_cast<std::size_t>(b)] = it->regular;
        bold[static_cast<std::size_t>(b)] = it->bold;
      } else {
        regular[static_cast<std::size_t>(b)] = 7;  // control characters: as wide as a digit
        bold[static_cast<std::size_t>(b)] = 7;
      }
    }
  }
};

const ByteWidths& Widths() {
  static const ByteWidths widths;
  return widths;
}

constexpr int kDigitPixels = 7;
constexpr int kCellMargin = 5;

}  // namespace

int TextWidthPixels(const AnsiString& text, bool bold, double points) {
  const auto& table = bold ? Widths().bold : Widths().regular;
  int pixels = 0;
  for (char c : text) pixels += table[static_cast<unsigned char>(c)];
  if (points != 10) pixels = static_cast<int>(std::lround(pixels * points / 10.0));
  return pixels;
}

int32_t FittedColumnWidth(int textPixels) {
  return static_cast<int32_t>(std::lround(256.0 * (textPixels + kCellMargin) / kDigitPixels));
}

int32_t ColumnWidthFromCharacters(double characters) {
  double pixels = std::trunc(kDigitPixels * characters + 0.5) + kCellMargin;
  return static_cast<int32_t>(std::lround(256.0 * pixels / kDigitPixels));
}

double CharactersFromColumnWidth(int32_t stored) {
  double pixels = std::round(stored * kDigitPixels / 256.0) - kCellMargin;
  return std::trunc(std::max(0.0, pixels) / kDigitPixels * 100 + 0.5) / 100;
}

int32_t StandardColumnWidth() { return ColumnWidthFromCharacters(8); }

}  // namespace xl
