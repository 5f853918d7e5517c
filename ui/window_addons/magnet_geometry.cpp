#include "ui/window_addons/magnet_geometry.h"

namespace {

bool Inside(int v, int low, int high) { return low < v && v < high; }

}  // namespace

TRect SnapToArea(TRect r, const TRect& a, TwaScreenEdges edges, int s) {
  const int w = r.Width(), h = r.Height();
  if (edges.Contains(seTop) && Inside(r.Top, a.Top - s, a.Top + s)) {
    r.Top = a.Top;
    r.Bottom = a.Top + h;
  }
  if (edges.Contains(seBottom) && Inside(r.Bottom, a.Bottom - s, a.Bottom + s)) {
    r.Bottom = a.Bottom;
    r.Top = a.Bottom - h;
  }
  if (edges.Contains(seLeft) && Inside(r.Left, a.Left - s, a.Left + s)) {
    r.Left = a.Left;
    r.Right = a.Left + w;
  }
  if (edges.Contains(seRight) && Inside(r.Right, a.Right - s, a.Right + s)) {
    r.Right = a.Right;
    r.Left = a.Right - w;
  }
  return r;
}

TRect SnapToRect(TRect r, const TRect& o, int p, const std::function<bool()>& allow, bool& snapped) {
  const int w = r.Width(), h = r.Height();
  auto check = [&](int v, int edge) {
    if (Inside(v, edge - p, edge)) return true;
    if (Inside(v, edge, edge + p)) return !allow || allow();
    return false;
  };
  // Vertical steps, while the horizontal ranges overlap.
  if (o.Left < r.Right && r.Left < o.Right) {
    if (check(r.Bottom, o.Top)) {
      r.Top = o.Top - h;
      r.Bottom = r.Top + h;
      snapped = true;
    }
    if (check(r.Top, o.Bottom)) {
      r.Top = o.Bottom;
      r.Bottom = r.Top + h;
      snapped = true;
    }
  }
  if (o.Top < r.Bottom && r.Top < o.Bottom) {
    if (check(r.Right, o.Left)) {
      r.Left = o.Left - w;
      r.Right = r.Left + w;
      snapped = true;
    }
    if (check(r.Left, o.Right)) {
      r.Left = o.Right;
      r.Right = r.Left + w;
      snapped = true;
    }
  }
  return r;
}

bool TouchesExactly(const TRect& own, const TRect& other) {
  return own.Bottom == other.Top || own.Right == other.Left || other.Bottom == own.Top || other.Right == own.Left;
}
