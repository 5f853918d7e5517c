// Frame styles, HSL colour adjustment, the parent's image and rotated
// fonts. Lines are drawn with MoveTo/LineTo (end point excluded), so a
// line "from top to bottom" covers top .. bottom - 1.
#include "ui/panels/frame_drawing.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/forms.h"
#include "platform/gui/parent_image.h"

namespace {

void Line(TCanvas* c, TColor color, int x0, int y0, int x1, int y1) {
  c->Pen()->SetColor(color);
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(psSolid);
  c->MoveTo(x0, y0);
  c->LineTo(x1, y1);
}

void Pixel(TCanvas* c, int x, int y, TColor color) { c->SetPixels(x, y, color); }

TRect Inset(const TRect& r, TSides sides, int n) {
  TRect out = r;
  if (sides.Contains(sdLeft)) out.Left += n;
  if (sides.Contains(sdTop)) out.Top += n;
  if (sides.Contains(sdRight)) out.Right -= n;
  if (sides.Contains(sdBottom)) out.Bottom -= n;
  return out;
}

struct Ring {
  TColor topLeft;
  TColor bottomRight;
};

// Etched styles: two offset one-pixel frames; the caps close a line's end
// where the neighbouring side is not drawn.
TRect DrawEtched(TCanvas* c, const TRect& r, TColor tl, TColor br, TSides sides) {
  const bool left = sides.Contains(sdLeft), top = sides.Contains(sdTop), right = sides.Contains(sdRight),
             bottom = sides.Contains(sdBottom);
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  if (left && !top) Pixel(c, L + 1, T, tl);
  if (left && !bottom) Pixel(c, L, B - 1, br);
  if (top && !left) Pixel(c, L, T + 1, tl);
  if (top && !right) Pixel(c, R - 1, T, br);
  if (right && !top) Pixel(c, R - 1, T, br);
  if (right && !bottom) Pixel(c, R - 2, B - 1, br);
  if (bottom && !left) Pixel(c, L, B - 1, br);
  if (bottom && !right) Pixel(c, R - 1, B - 2, br);
  DrawSides(c, Rect(L + 1, T + 1, R, B), br, br, sides);
  DrawSides(c, Rect(L, T, R - 1, B - 1), tl, tl, sides);
  return Inset(r, sides, 2);
}

}  // namespace

TRect DrawSides(TCanvas* canvas, const TRect& rect, TColor topLeft, TColor bottomRight, TSides sides) {
  TRect out = rect;
  const int L = rect.Left, T = rect.Top, R = rect.Right, B = rect.Bottom;
  if (topLeft != clNone) {
    if (sides.Contains(sdLeft)) {
      Line(canvas, topLeft, L, T, L, B);
      ++out.Left;
    }
    if (sides.Contains(sdTop)) {
      Line(canvas, topLeft, L, T, R, T);
      ++out.Top;
    }
  }
  if (bottomRight != clNone) {
    if (sides.Contains(sdRight)) {
      Line(canvas, bottomRight, R - 1, T, R - 1, B);
      --out.Right;
    }
    if (sides.Contains(sdBottom)) {
      Line(canvas, bottomRight, L, B - 1, R, B - 1);
      --out.Bottom;
    }
  }
  return out;
}

TRect DrawBevel(TCanvas* canvas, const TRect& rect, TColor topLeft, TColor bottomRight, int width, TSides sides) {
  TRect r = rect;
  for (int i = 0; i < width; ++i) r = DrawSides(canvas, r, topLeft, bottomRight, sides);
  return r;
}

TRect DrawBorderSides(TCanvas* canvas, const TRect& rect, TFrameStyleEx style, TSides sides) {
  auto two = [&](Ring outer, Ring inner) {
    TRect r = DrawSides(canvas, rect, outer.topLeft, outer.bottomRight, sides);
    return DrawSides(canvas, r, inner.topLeft, inner.bottomRight, sides);
  };
  switch (style) {
    case fsNone:
      return rect;
    case fsFlat:
      return DrawSides(canvas, rect, cl3DDkShadow, cl3DDkShadow, sides);
    case fsGroove:
      return DrawEtched(canvas, rect, clBtnShadow, clBtnHighlight, sides);
    case fsBump:
      return DrawEtched(canvas, rect, clBtnHighlight, clBtnShadow, sides);
    case fsLowered:
      return two({clBtnShadow, clBtnHighlight}, {cl3DDkShadow, cl3DLight});
    case fsButtonDown:
      return two({clBtnText, clBtnText}, {clBtnShadow, clBtnShadow});
    case fsRaised:
      return two({cl3DLight, cl3DDkShadow}, {clBtnHighlight, clBtnShadow});
    case fsButtonUp:
      return two({clBtnHighlight, cl3DDkShadow}, {cl3DLight, clBtnShadow});
    case fsStatus:
      return DrawSides(canvas, rect, clBtnShadow, clBtnHighlight, sides);
    case fsPopup:
      return DrawSides(canvas, rect, clBtnHighlight, clBtnShadow, sides);
    case fsFlatBold:
      return DrawBevel(canvas, rect, clBtnShadow, clBtnShadow, 2, sides);
    case fsFlatRounded:
      return DrawRoundedFlatBorder(canvas, rect, cl3DDkShadow, sides);
  }
  return rect;
}

TRect PaintFrameStyle(TCanvas* canvas, const TRect& rect, TFrameStyleEx style) {
  return DrawBorderSides(canvas, rect, style, AllSides());
}

TRect DrawRoundedFlatBorder(TCanvas* canvas, const TRect& rect, TColor color, TSides sides) {
  const bool left = sides.Contains(sdLeft), top = sides.Contains(sdTop), right = sides.Contains(sdRight),
             bottom = sides.Contains(sdBottom);
  const int L = rect.Left, T = rect.Top, R = rect.Right, B = rect.Bottom;
  if (color != clNone) {
    if (left) Line(canvas, color, L, T + (top ? 2 : 0), L, B - (bottom ? 2 : 0));
    if (top) Line(canvas, color, L + (left ? 2 : 0), T, R - (right ? 2 : 0), T);
    if (right) Line(canvas, color, R - 1, T + (top ? 2 : 0), R - 1, B - (bottom ? 2 : 0));
    if (bottom) Line(canvas, color, L + (left ? 2 : 0), B - 1, R - (right ? 2 : 0), B - 1);
    if (left && top) Pixel(canvas, L + 1, T + 1, color);
    if (top && right) Pixel(canvas, R - 2, T + 1, color);
    if (right && bottom) Pixel(canvas, R - 2, B - 2, color);
    if (left && bottom) Pixel(canvas, L + 1, B - 2, color);
  }
  return Inset(rect, sides, 1);
}

int FrameWidthOf(TFrameStyleEx style, int bevelWidth) {
  switch (style) {
    case fsNone:
      return 0;
    case fsFlat:
      return 1;
    case fsStatus:
    case fsPopup:
      return bevelWidth;
    default:
      return 2;
  }
}

TRect DrawInnerOuterBorders(TCanvas* canvas, const TRect& rect, const TBorderPaintSettings& s) {
  const TColor flat = AdjustedColor(s.flatColor, s.flatColorAdjustment);
  TRect r = rect;
  auto frame = [&](TFrameStyleEx style, bool outer) {
    switch (style) {
      case fsFlat:
        r = DrawSides(canvas, r, flat, flat, s.sides);
        break;
      case fsFlatBold:
        r = DrawBevel(canvas, r, flat, flat, 2, s.sides);
        break;
      case fsFlatRounded: {
        const TColor fill = outer ? (s.borderWidth > 0 || s.inner != fsNone ? s.borderColor : s.color) : s.color;
        if (!s.transparent) {
          DrawSides(canvas, r, outer ? s.parentColor : s.borderColor, outer ? s.parentColor : s.borderColor, s.sides);
          DrawSides(canvas, Inset(r, s.sides, 1), fill, fill, s.sides);
        } else if (outer && (s.borderWidth > 0 || s.inner != fsNone)) {
          DrawSides(canvas, Inset(r, s.sides, 1), s.borderColor, s.borderColor, s.sides);
        }
        r = DrawRoundedFlatBorder(canvas, r, flat, s.sides);
        break;
      }
      case fsStatus:
        r = DrawBevel(canvas, r, s.frameShadow, s.frameHighlight, s.bevelWidth, s.sides);
        break;
      case fsPopup:
        r = DrawBevel(canvas, r, s.frameHighlight, s.frameShadow, s.bevelWidth, s.sides);
        break;
      default:
        r = DrawBorderSides(canvas, r, style, s.sides);
        break;
    }
  };
  frame(s.outer, true);
  if (s.borderWidth > 0) r = DrawBevel(canvas, r, s.borderColor, s.borderColor, s.borderWidth, s.sides);
  frame(s.inner, false);
  return r;
}

// ------------------------------------------------------------------ HSL

namespace {

// Nearest integer, halves to even (the platform's Round).
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

}  // namespace

void ColorToHSL(TColor color, int& h, int& s, int& l) {
  const TColor rgb = ColorToRGB(color);
  const double r = GetRValue(rgb) / 255.0, g = GetGValue(rgb) / 255.0, b = GetBValue(rgb) / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const double L = (mx + mn) / 2;
  double H = 0, S = 0;
  if (mx != mn) {
    const double d = mx - mn;
    S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
      H = (g - b) / d;
    else if (b == mx)
      H = (r - g) / d + 4;
    else
      H = (b - r) / d + 2;
    H /= 6;
    if (H < 0) H += 1;
  }
  h = RoundEven(H * 240);
  s = RoundEven(S * 240);
  l = RoundEven(L * 240);
}

TColor HSLToColor(int h, int s, int l) {
  const double L = l / 240.0, S = s / 240.0, hue = h / 239.0;
  const double m2 = L >= 0.5 ? L + S - L * S : L * (S + 1);
  if (m2 <= 0) return RGB(0, 0, 0);
  double h6 = hue * 6;
  int sextant = static_cast<int>(h6);
  // Hues of 239 and 240 reach a sixth sextant: it is the first one again.
  while (sextant >= 6) {
    sextant -= 6;
    h6 -= 6;
  }
  while (sextant < 0) {
    sextant += 6;
    h6 += 6;
  }
  const double m1 = 2 * L - m2;
  const double v = m2 * ((m2 - m1) / m2) * (h6 - sextant);
  double r = 0, g = 0, b = 0;
  switch (sextant) {
    case 0: r = m2; g = m1 + v; b = m1; break;
    case 1: r = m2 - v; g = m2; b = m1; break;
    case 2: r = m1; g = m2; b = m1 + v; break;
    case 3: r = m1; g = m2 - v; b = m2; break;
    case 4: r = m1 + v; g = m1; b = m2; break;
    default: r = m2; g = m1; b = m2 - v; break;
  }
  auto channel = [](double x) { return RoundEven(std::clamp(x, 0.0, 1.0) * 255); };
  return RGB(channel(r), channel(g), channel(b));
}

TColor DarkerColor(TColor color, int n) {
  int h = 0, s = 0, l = 0;
  ColorToHSL(color, h, s, l);
  return HSLToColor(h, s, std::max(l - n, 0));
}

TColor LighterColor(TColor color, int n) {
  int h = 0, s = 0, l = 0;
  ColorToHSL(color, h, s, l);
  return HSLToColor(h, s, std::min(l + n, 255));
}

TColor AdjustedColor(TColor color, int n) {
  if (n < 0) return DarkerColor(color, -n);
  if (n == 0) return color;
  return LighterColor(color, n);
}

// ------------------------------------------------- parent image, rotation

void DrawParentImage(TControl* control, TCanvas* canvas, bool invalidateParent) {
  if (!DrawParentImageInto(control, canvas)) return;
  TWinControl* parent = control->Parent();
  if (invalidateParent && !dynamic_cast<TCustomControl*>(parent) && !dynamic_cast<TCustomForm*>(parent))
    parent->Invalidate();
}

TFont RotatedFont(const TFont& font, int degrees) {
  TFont rotated = font;
  rotated.SetOrientation(degrees * 10);
  return rotated;
}
