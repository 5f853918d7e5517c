// Turns Caps Lock and Num Lock on (through XKB) on the display in DISPLAY,
// for the screenshots of the lock-key panes.
#include <cstdio>

#include "ui/tests/x11/x11_helpers.h"

int main() {
  if (!x11::Open()) {
    std::fputs("lock_keys: no X display\n", stderr);
    return 1;
  }
  x11::LockCaps(true);
  x11::LockNum(true);
  return 0;
}
