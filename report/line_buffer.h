// Pending horizontal and vertical lines of a page. Lines drawn with the same
// pen that touch or overlap on one row (column) merge, so the shared
// borders of neighbouring table cells come out as single lines when the
// page ends. Coordinates are inches with the origin added.
#pragma once

#include <functional>
#include <list>

#include "platform/gui/graphics.h"

struct TLineSegment {
  double start = 0;  // lower coordinate along the line
  double end = 0;    // higher one
  double fixed = 0;  // y of a horizontal line, x of a vertical one
  TColor color = clBlack;
  TPenMode mode = pmCopy;
  TPenStyle style = psSolid;
  int width = 1;
};

class TLineBuffer {
 public:
  static constexpr double kTolerance = 0.0001;

  // Offers the line from the last pen point to (x, y) with the pen's
  // attributes; false when it is not buffered (diagonal, or buffering off)
  // and must be drawn now. The last pen point becomes (x, y) either way.
  bool Add(double x, double y, TColor color, TPenMode mode, TPenStyle style, int width);
  void MoveTo(double x, double y) {
    lastX_ = x;
    lastY_ = y;
  }
  double LastX() const { return lastX_; }
  double LastY() const { return lastY_; }
  bool Buffering() const { return buffering_; }
  void SetBuffering(bool on) { buffering_ = on; }

  // Every vertical segment, then every horizontal one; the lists are empty
  // afterwards, also when draw throws.
  void Flush(const std::function<void(const TLineSegment&, bool vertical)>& draw);
  void Clear();
  const std::list<TLineSegment>& Horizontal() const { return horizontal_; }
  const std::list<TLineSegment>& Vertical() const { return vertical_; }

 private:
  std::list<TLineSegment> horizontal_;
  std::list<TLineSegment> vertical_;
  double lastX_ = 0;
  double lastY_ = 0;
  bool buffering_ = true;
};
