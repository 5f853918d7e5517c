// A parent's own painting (its background and Paint, none of its children)
// drawn into a child's canvas, for controls that look see-through.
#pragma once

#include "platform/gui/controls.h"

// Draws control's parent into canvas so that the parent's pixels appear at
// the control's place: the parent's point (control Left, Top) lands at the
// canvas's (0, 0), clipped to the parent's client area. False when the
// control has no parent.
bool DrawParentImageInto(TControl* control, TCanvas* canvas);
