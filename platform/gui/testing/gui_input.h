// Keys and mouse through QTest into the real event pipeline: keys go to the
// window of the control (the form decides which control gets them, as the
// keyboard focus does), mouse events to the point inside the control.
#pragma once

#include "platform/gui/controls.h"

void KeyClick(TControl* control, Word vk, TShiftState shift = {});
void KeyDown(TControl* control, Word vk, TShiftState shift = {});
void KeyUp(TControl* control, Word vk, TShiftState shift = {});
// Types each CP1250 byte as the key that produces it.
void TypeText(TControl* control, const AnsiString& text);
// An input-method commit of utf8 to the focused widget of control's window.
void CommitText(TControl* control, const char* utf8);
// (x, y) in the control's client coordinates.
void MouseClick(TControl* control, int x, int y, TMouseButton button = mbLeft, TShiftState shift = {});
void MouseDown(TControl* control, int x, int y, TMouseButton button = mbLeft, TShiftState shift = {});
void MouseUp(TControl* control, int x, int y, TMouseButton button = mbLeft, TShiftState shift = {});
void DoubleClick(TControl* control, int x, int y);
