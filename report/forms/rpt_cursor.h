// One stack of screen cursors for the report windows: pushing the
// hourglass saves the screen cursor shown now, popping brings back the one
// saved last, so nested waits restore what each found.
#pragma once

#include <vector>

#include "platform/gui/controls.h"

class TRptCursor {
 public:
  void PushHourGlass() { Push(crHourGlass); }
  void Push(TCursor cursor);
  // Restores the cursor saved last; nothing when none is saved.
  void Pop();
  int Depth() const { return static_cast<int>(saved_.size()); }

 private:
  std::vector<TCursor> saved_;
};

// The program's one stack.
TRptCursor& RptCursor();

// Pushes the hourglass for its lifetime (also when the work fails).
class TRptWaitCursor {
 public:
  TRptWaitCursor() { RptCursor().PushHourGlass(); }
  ~TRptWaitCursor() { RptCursor().Pop(); }
  TRptWaitCursor(const TRptWaitCursor&) = delete;
  TRptWaitCursor& operator=(const TRptWaitCursor&) = delete;
};
