// The frame vocabulary of the panels, the status bar and its panes: frame
// styles drawn side by side, flat colours adjusted in HSL space, the
// parent's image behind see-through controls and rotated fonts.
//
// Every frame routine draws inside the rectangle it is given and returns
// the rectangle inside what it drew; a side not drawn does not move in.
// clNone as a colour means "do not draw that line".
#pragma once

#include "platform/gui/controls.h"
#include "platform/gui/enum_set.h"

enum TFrameStyleEx {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup,
  fsFlatBold,
  fsFlatRounded,
};
// The range fsNone .. fsFlatBold.
using TFrameStyle = TFrameStyleEx;

enum TSide { sdLeft, sdTop, sdRight, sdBottom };
using TSides = TSet<TSide>;
inline TSides AllSides() { return TSides{sdLeft, sdTop, sdRight, sdBottom}; }

// One line per chosen side: left and top in topLeft, right (at Right - 1)
// and bottom (at Bottom - 1) in bottomRight.
TRect DrawSides(TCanvas* canvas, const TRect& rect, TColor topLeft, TColor bottomRight, TSides sides);
// DrawSides width times, moving inward.
TRect DrawBevel(TCanvas* canvas, const TRect& rect, TColor topLeft, TColor bottomRight, int width, TSides sides);
// The style's rings from the colour table.
TRect DrawBorderSides(TCanvas* canvas, const TRect& rect, TFrameStyleEx style, TSides sides);
// DrawBorderSides on all four sides.
TRect PaintFrameStyle(TCanvas* canvas, const TRect& rect, TFrameStyleEx style);
// One-pixel lines 2 pixels off the shared corners, with a pixel inside each.
TRect DrawRoundedFlatBorder(TCanvas* canvas, const TRect& rect, TColor color, TSides sides);

// What DrawInnerOuterBorders needs to know of the panel it paints.
struct TBorderPaintSettings {
  TFrameStyleEx outer = fsRaised;
  TFrameStyleEx inner = fsNone;
  TSides sides = AllSides();
  TColor borderColor = 0;
  int borderWidth = 0;
  int bevelWidth = 1;
  TColor flatColor = 0;
  int flatColorAdjustment = 30;
  TColor color = 0;
  TColor parentColor = 0;
  TColor frameHighlight = 0;
  TColor frameShadow = 0;
  bool transparent = false;
};
// The panel's outer frame, border rings and inner frame.
TRect DrawInnerOuterBorders(TCanvas* canvas, const TRect& rect, const TBorderPaintSettings& s);
// Pixels one frame style takes from each chosen side of the client area.
int FrameWidthOf(TFrameStyleEx style, int bevelWidth);

// HSL with components 0 .. 240.
void ColorToHSL(TColor color, int& h, int& s, int& l);
TColor HSLToColor(int h, int s, int l);
TColor DarkerColor(TColor color, int n);
TColor LighterColor(TColor color, int n);
// n < 0 darker by -n, 0 the colour itself (a system colour stays one), n > 0
// lighter by n.
TColor AdjustedColor(TColor color, int n);

// Draws control's parent behind it into canvas (clipped to the parent's
// client area); with invalidateParent, a parent that is neither a custom
// control nor a form is marked for repainting.
void DrawParentImage(TControl* control, TCanvas* canvas, bool invalidateParent = false);
// A copy of font turned by degrees (counter-clockwise), as TextOut draws it.
TFont RotatedFont(const TFont& font, int degrees);
