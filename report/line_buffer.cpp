#include "report/line_buffer.h"

#include <algorithm>
#include <cmath>

namespace {

bool Within(double v, const TLineSegment& s) {
  return v >= s.start - TLineBuffer::kTolerance && v <= s.end + TLineBuffer::kTolerance;
}

}  // namespace

bool TLineBuffer::Add(double x, double y, TColor color, TPenMode mode, TPenStyle style, int width) {
  double fromX = lastX_, fromY = lastY_;
  lastX_ = x;
  lastY_ = y;
  bool horizontal = std::fabs(y - fromY) <= kTolerance;
  bool vertical = std::fabs(x - fromX) <= kTolerance;
  if (!buffering_ || (!horizontal && !vertical)) return false;
  TLineSegment seg;
  seg.color = color;
  seg.mode = mode;
  seg.style = style;
  seg.width = width;
  // A point (both) is taken as a horizontal line of no length.
  std::list<TLineSegment>& list = horizontal ? horizontal_ : vertical_;
  if (horizontal) {
    seg.start = std::min(fromX, x);
    seg.end = std::max(fromX, x);
    seg.fixed = y;
  } else {
    seg.start = std::min(fromY, y);
    seg.end = std::max(fromY, y);
    seg.fixed = x;
  }
  for (auto it = list.begin(); it != list.end();) {
    const TLineSegment& old = *it;
    bool samePen = std::fabs(old.fixed - seg.fixed) <= kTolerance && old.color == seg.color && old.mode == seg.mode &&
                   old.style == seg.style && old.width == seg.width;
    if (!samePen) {
      ++it;
      continue;
    }
    bool startIn = Within(seg.start, old), endIn = Within(seg.end, old);
    if (startIn && endIn) return true;  // already drawn by the old one
    if (startIn) {
      seg.start = old.start;
      it = list.erase(it);
    } else if (endIn) {
      seg.end = old.end;
      it = list.erase(it);
    } else if (old.start > seg.start && old.end < seg.end) {
      it = list.erase(it);
    } else {
      ++it;
    }
  }
  list.push_front(seg);
  return true;
}

void TLineBuffer::Flush(const std::function<void(const TLineSegment&, bool vertical)>& draw) {
  std::list<TLineSegment> v, h;
  v.swap(vertical_);
  h.swap(horizontal_);
  for (const TLineSegment& s : v) draw(s, true);
  for (const TLineSegment& s : h) draw(s, false);
}

void TLineBuffer::Clear() {
  horizontal_.clear();
  vertical_.clear();
}
