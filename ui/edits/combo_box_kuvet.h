// A combo box with the entry controls' keyboard convention: Enter moves on
// like Tab (EnterIsTab), a Tab exit fires OnTabExit, Space fires
// OnClickSpace. While its list is open, the list has the keys (Enter picks
// the item), as the native combo box does.
#pragma once

#include "platform/gui/std_controls.h"
#include "ui/edits/key_entry.h"

class TComboBoxKuvet : public TComboBox {
 public:
  explicit TComboBoxKuvet(TComponent* owner);
  AnsiString ClassName() const override { return "TComboBoxKuvet"; }

  bool EnterIsTab() const { return enterIsTab_; }
  void SetEnterIsTab(bool on) { enterIsTab_ = on; }

  TNotifyEvent OnClickSpace;
  TTabExitEvent OnTabExit;

 protected:
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoExit() override;

 private:
  bool enterIsTab_ = true;
  TKeyEntry keys_;
};
