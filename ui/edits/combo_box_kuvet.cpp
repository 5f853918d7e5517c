#include "ui/edits/combo_box_kuvet.h"

TComboBoxKuvet::TComboBoxKuvet(TComponent* owner) : TComboBox(owner) { SetTabStop(true); }

void TComboBoxKuvet::KeyDown(Word& key, TShiftState shift) {
  keys_.KeyDown(this, key, shift, enterIsTab_, OnClickSpace);
  TComboBox::KeyDown(key, shift);
}

void TComboBoxKuvet::KeyUp(Word& key, TShiftState shift) {
  TKeyEntry::KeyUp(key, enterIsTab_);
  TComboBox::KeyUp(key, shift);
}

void TComboBoxKuvet::KeyPress(char& key) {
  TKeyEntry::KeyPress(key, OnClickSpace);
  TComboBox::KeyPress(key);
}

void TComboBoxKuvet::DoExit() {
  bool passed = false;
  try {
    TComboBox::DoExit();
    // An OnExit that takes the focus back keeps the control focused.
    passed = !Focused();
  } catch (...) {
    keys_.ExitEnded(this, false, OnTabExit);
    throw;
  }
  keys_.ExitEnded(this, passed, OnTabExit);
}
