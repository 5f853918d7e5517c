#include "ui/edits/key_entry.h"

void TKeyEntry::KeyDown(TObject* sender, Word& key, TShiftState shift, bool enterIsTab,
                        const TNotifyEvent& onClickSpace) {
  lastShift_ = shift;
  if (key == VK_TAB) {
    tabExit_ = true;
  } else if (key == VK_RETURN && enterIsTab) {
    key = VK_TAB;
    tabExit_ = true;
  } else if (key == VK_SPACE && onClickSpace) {
    onClickSpace(sender);
  }
}

void TKeyEntry::KeyUp(Word& key, bool enterIsTab) {
  if (key == VK_RETURN && enterIsTab) key = VK_TAB;
}

void TKeyEntry::KeyPress(char& key, const TNotifyEvent& onClickSpace) {
  if (key == ' ' && onClickSpace) key = 0;
}

void TKeyEntry::ExitEnded(TObject* sender, bool passed, const TTabExitEvent& onTabExit) {
  bool wasTab = tabExit_;
  tabExit_ = false;
  if (passed && wasTab && onTabExit) onTabExit(sender, lastShift_);
}
