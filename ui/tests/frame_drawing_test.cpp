// Frame styles by pixel facts, and colours adjusted in HSL space.
#include "ui/panels/frame_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr TColor kPaper = 0x030201;  // a colour no frame uses
constexpr TColor kUnset = 0xFFFFFFFE;

std::unique_ptr<TBitmap> Paper() {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(10, 10);
  b->Canvas()->Brush()->SetColor(kPaper);
  b->Canvas()->FillRect(Rect(0, 0, 10, 10));
  return b;
}

TColor At(TBitmap* b, int x, int y) { return b->Canvas()->Pixels(x, y); }
TColor Rgb(TColor c) { return c == kUnset ? kPaper : ColorToRGB(c); }

struct StyleCase {
  TFrameStyleEx style;
  TColor outerTL, outerBR, innerTL, innerBR;  // kUnset: the line stays paper
  int inset;
};

TEST(FrameDrawingGui, EveryStyleOnEverySideSet) {
  const StyleCase cases[] = {
      {fsNone, kUnset, kUnset, kUnset, kUnset, 0},
      {fsFlat, cl3DDkShadow, cl3DDkShadow, kUnset, kUnset, 1},
      {fsGroove, clBtnShadow, clBtnHighlight, clBtnHighlight, clBtnShadow, 2},
      {fsBump, clBtnHighlight, clBtnShadow, clBtnShadow, clBtnHighlight, 2},
      {fsLowered, clBtnShadow, clBtnHighlight, cl3DDkShadow, cl3DLight, 2},
      {fsButtonDown, clBtnText, clBtnText, clBtnShadow, clBtnShadow, 2},
      {fsRaised, cl3DLight, cl3DDkShadow, clBtnHighlight, clBtnShadow, 2},
      {fsButtonUp, clBtnHighlight, cl3DDkShadow, cl3DLight, clBtnShadow, 2},
      {fsStatus, clBtnShadow, clBtnHighlight, kUnset, kUnset, 1},
      {fsPopup, clBtnHighlight, clBtnShadow, kUnset, kUnset, 1},
      {fsFlatBold, clBtnShadow, clBtnShadow, clBtnShadow, clBtnShadow, 2},
      {fsFlatRounded, cl3DDkShadow, cl3DDkShadow, kUnset, kUnset, 1},
  };
  const TSides sideSets[] = {AllSides(), TSides{sdLeft, sdTop}, TSides{sdRight}};
  for (const StyleCase& k : cases) {
    for (TSides sides : sideSets) {
      auto b = Paper();
      TRect inner = DrawBorderSides(b->Canvas(), Rect(0, 0, 10, 10), k.style, sides);
      const std::string what = "style " + std::to_string(k.style) + " sides " +
                               std::to_string(sides.Contains(sdLeft)) + std::to_string(sides.Contains(sdRight));
      const bool l = sides.Contains(sdLeft), t = sides.Contains(sdTop), r = sides.Contains(sdRight),
                 bo = sides.Contains(sdBottom);
      EXPECT_EQ(At(b.get(), 0, 5), Rgb(l ? k.outerTL : kUnset)) << what;
      EXPECT_EQ(At(b.get(), 5, 0), Rgb(t ? k.outerTL : kUnset)) << what;
      EXPECT_EQ(At(b.get(), 9, 5), Rgb(r ? k.outerBR : kUnset)) << what;
      EXPECT_EQ(At(b.get(), 5, 9), Rgb(bo ? k.outerBR : kUnset)) << what;
      EXPECT_EQ(At(b.get(), 1, 5), Rgb(l ? k.innerTL : kUnset)) << what;
      EXPECT_EQ(At(b.get(), 8, 5), Rgb(r ? k.innerBR : kUnset)) << what;
      EXPECT_EQ(At(b.get(), 5, 5), kPaper) << what;
      EXPECT_EQ(inner.Left, l ? k.inset : 0) << what;
      EXPECT_EQ(inner.Top, t ? k.inset : 0) << what;
      EXPECT_EQ(inner.Right, 10 - (r ? k.inset : 0)) << what;
      EXPECT_EQ(inner.Bottom, 10 - (bo ? k.inset : 0)) << what;
    }
  }
}

TEST(FrameDrawingGui, EtchedAndRoundedCorners) {
  // Etched, all sides: the two corners where the frames do not meet stay open.
  auto b = Paper();
  DrawBorderSides(b->Canvas(), Rect(0, 0, 10, 10), fsGroove, AllSides());
  EXPECT_EQ(At(b.get(), 0, 9), kPaper);
  EXPECT_EQ(At(b.get(), 9, 0), kPaper);
  EXPECT_EQ(At(b.get(), 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(b.get(), 9, 9), ColorToRGB(clBtnHighlight));
  // Left and top only: the free ends are closed in the bottom-right colour.
  b = Paper();
  DrawBorderSides(b->Canvas(), Rect(0, 0, 10, 10), fsBump, TSides{sdLeft, sdTop});
  EXPECT_EQ(At(b.get(), 0, 9), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(b.get(), 9, 0), ColorToRGB(clBtnShadow));
  // Rounded: the corners themselves stay free, one pixel inside is set.
  b = Paper();
  DrawRoundedFlatBorder(b->Canvas(), Rect(0, 0, 10, 10), clRed, AllSides());
  for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {9, 9}, {8, 9}, {9, 8}}) EXPECT_EQ(At(b.get(), x, y), kPaper);
  for (auto [x, y] : {std::pair{1, 1}, {8, 1}, {8, 8}, {1, 8}, {2, 0}, {0, 2}, {7, 9}, {9, 7}})
    EXPECT_EQ(At(b.get(), x, y), clRed) << x << "," << y;
  // Only left: full height, no inner pixels.
  b = Paper();
  DrawRoundedFlatBorder(b->Canvas(), Rect(0, 0, 10, 10), clRed, TSides{sdLeft});
  EXPECT_EQ(At(b.get(), 0, 0), clRed);
  EXPECT_EQ(At(b.get(), 0, 9), clRed);
  EXPECT_EQ(At(b.get(), 1, 1), kPaper);
}

TEST(FrameDrawingGui, NoneColourSkipsItsSides) {
  auto b = Paper();
  TRect r = DrawSides(b->Canvas(), Rect(0, 0, 10, 10), clNone, clBlue, AllSides());
  EXPECT_EQ(At(b.get(), 0, 5), kPaper);
  EXPECT_EQ(At(b.get(), 5, 0), kPaper);
  EXPECT_EQ(At(b.get(), 9, 5), clBlue);
  EXPECT_EQ(At(b.get(), 5, 9), clBlue);
  EXPECT_EQ(r, Rect(0, 0, 9, 9));
  r = DrawBevel(b->Canvas(), Rect(0, 0, 10, 10), clRed, clNone, 3, TSides{sdLeft});
  EXPECT_EQ(At(b.get(), 2, 5), clRed);
  EXPECT_EQ(At(b.get(), 3, 5), kPaper);
  EXPECT_EQ(r, Rect(3, 0, 10, 10));
}

TEST(FrameDrawing, HslOfPrimariesSecondariesAndGreys) {
  struct Case {
    TColor color;
    int h, s, l;
  };
  const Case cases[] = {
      {RGB(255, 0, 0), 0, 240, 120},   {RGB(0, 255, 0), 80, 240, 120},   {RGB(0, 0, 255), 160, 240, 120},
      {RGB(255, 255, 0), 40, 240, 120}, {RGB(0, 255, 255), 120, 240, 120}, {RGB(255, 0, 255), 200, 240, 120},
      {RGB(255, 255, 255), 0, 0, 240},  {RGB(0, 0, 0), 0, 0, 0},           {RGB(128, 128, 128), 0, 0, 120},
  };
  for (const Case& c : cases) {
    int h = -1, s = -1, l = -1;
    ColorToHSL(c.color, h, s, l);
    EXPECT_EQ(h, c.h) << std::hex << c.color;
    EXPECT_EQ(s, c.s) << std::hex << c.color;
    EXPECT_EQ(l, c.l) << std::hex << c.color;
  }
  EXPECT_EQ(HSLToColor(0, 0, 240), RGB(255, 255, 255));
  EXPECT_EQ(HSLToColor(0, 240, 0), RGB(0, 0, 0));
  EXPECT_EQ(HSLToColor(120, 120, 0), RGB(0, 0, 0));
  EXPECT_EQ(HSLToColor(0, 240, 120), RGB(255, 0, 0));
  // The hue is read against 239, so 80 is a shade past pure green.
  EXPECT_EQ(HSLToColor(80, 240, 120), RGB(0, 255, 2));
  EXPECT_EQ(HSLToColor(0, 0, 120), RGB(128, 128, 128));
}

TEST(FrameDrawing, AdjustedColours) {
  const TColor shadow = ColorToRGB(clBtnShadow);
  const TColor lighter = AdjustedColor(clBtnShadow, 30);
  EXPECT_GT(GetRValue(lighter), GetRValue(shadow));
  EXPECT_GT(GetGValue(lighter), GetGValue(shadow));
  EXPECT_GT(GetBValue(lighter), GetBValue(shadow));
  EXPECT_EQ(AdjustedColor(clBtnShadow, 0), clBtnShadow);
  const TColor darker = AdjustedColor(clBtnShadow, -30);
  EXPECT_LT(GetRValue(darker), GetRValue(shadow));
  // Lightness may go past 240 to 255: the channels are limited afterwards.
  EXPECT_EQ(LighterColor(RGB(200, 200, 200), 200), RGB(255, 255, 255));
  EXPECT_EQ(DarkerColor(RGB(200, 200, 200), 300), RGB(0, 0, 0));
}

// Hues of 239 and 240 once fell into an undefined sixth sextant.
TEST(FrameDrawing, HuesAtTheTopOfTheCircleWrapToRed) {
  for (int n : {30, -30}) {
    const TColor c = AdjustedColor(RGB(255, 0, 1), n);
    EXPECT_GT(GetRValue(c), GetGValue(c)) << n;
    EXPECT_GT(GetRValue(c), GetBValue(c)) << n;
    EXPECT_LE(std::abs(GetGValue(c) - GetBValue(c)), 8) << n;
    EXPECT_EQ(AdjustedColor(RGB(255, 0, 1), n), c);
  }
  for (int h = 0; h <= 240; ++h)
    for (int s : {60, 120, 240})
      for (int l : {60, 120, 180}) {
        const TColor c = HSLToColor(h, s, l);
        if (GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)) continue;
        int h2 = 0, s2 = 0, l2 = 0;
        ColorToHSL(c, h2, s2, l2);
        int d = std::abs(h2 - h) % 240;
        d = std::min(d, 240 - d);
        EXPECT_LE(d, 2) << h << " " << s << " " << l;
      }
}

}  // namespace
