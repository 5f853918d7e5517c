// The screen-edge magnet's geometry, free of windows: snapping a moved
// rectangle to the edges of an area and to other forms, and which forms
// touch. Rectangles are frame rectangles (right and bottom exclusive); every
// comparison is strict, as the magnet's ranges are open.
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/enum_set.h"
#include "platform/gui/geometry.h"

enum TwaScreenEdge { seLeft, seTop, seRight, seBottom };
using TwaScreenEdges = TSet<TwaScreenEdge>;

// Snaps r to the area's edges in the order top, bottom, left, right (a
// bottom snap wins over a top one, a right over a left) when the edge lies
// less than power away on either side; the size stays.
TRect SnapToArea(TRect r, const TRect& area, TwaScreenEdges edges, int power);

// Snaps r against another form's rectangle o in four steps (vertical below
// and above, horizontal left and right), each working on the result of the
// one before. Inside the first half of each range the snap is made; in the
// second half only when allow() says so (asked only there). Sets snapped
// when a step snapped.
TRect SnapToRect(TRect r, const TRect& o, int power, const std::function<bool()>& allow, bool& snapped);

// True when the rectangles share an edge exactly on one axis (own bottom is
// its top, own right its left, or the other way round).
bool TouchesExactly(const TRect& own, const TRect& other);
