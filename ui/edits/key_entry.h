// The keyboard convention of the program's own entry controls, kept in one
// place: Tab (and Enter with EnterIsTab, which becomes a Tab with its shift
// state) marks the control as left by Tab; Space fires OnClickSpace; every
// key-down remembers its shift state. When an exit ends, OnTabExit fires
// with that shift state if the exit passed and was a Tab exit; the mark is
// cleared whether the exit passed or failed, so a later exit by mouse is
// never taken for a Tab exit.
#pragma once

#include <functional>

#include "platform/gui/keys.h"
#include "platform/rtl/classes.h"

// The control was left by Tab (or by Enter as Tab); ShiftState is that of
// the last key-down.
using TTabExitEvent = std::function<void(TObject* Sender, TShiftState ShiftState)>;

class TKeyEntry {
 public:
  // Key-down of the control.
  void KeyDown(TObject* sender, Word& key, TShiftState shift, bool enterIsTab, const TNotifyEvent& onClickSpace);
  // Key-up: Enter becomes Tab with enterIsTab.
  static void KeyUp(Word& key, bool enterIsTab);
  // A typed Space is dropped when OnClickSpace is assigned (it acted at
  // key-down).
  static void KeyPress(char& key, const TNotifyEvent& onClickSpace);
  // An exit of the control ended; passed: the focus left.
  void ExitEnded(TObject* sender, bool passed, const TTabExitEvent& onTabExit);

  bool TabExit() const { return tabExit_; }
  TShiftState LastShift() const { return lastShift_; }

 private:
  bool tabExit_ = false;
  TShiftState lastShift_;
};
