// The date edits the application places: Enter moves on like Tab (unless
// the calendar is dropped down, where Enter accepts the date), a Tab exit
// fires OnTabExit with the shift state of the last key, and Space fires
// OnClickSpace and still reaches the text.
#pragma once

#include "ui/date_edits/date_edit.h"
#include "ui/date_edits/db_date_edit.h"
#include "ui/edits/key_entry.h"

template <class Base>
class TLomridDateEditOf : public Base {
 public:
  explicit TLomridDateEditOf(TComponent* owner) : Base(owner) {}

  bool EnterIsTab() const { return enterIsTab_; }
  void SetEnterIsTab(bool on) { enterIsTab_ = on; }
  const TKeyEntry& KeyEntry() const { return keyEntry_; }

  TNotifyEvent OnClickSpace;
  TTabExitEvent OnTabExit;

 protected:
  void KeyDown(Word& key, TShiftState shift) override {
    keyEntry_.KeyDown(this, key, shift, enterIsTab_ && !this->PopupVisible(), OnClickSpace);
    Base::KeyDown(key, shift);
  }
  void KeyUp(Word& key, TShiftState shift) override {
    TKeyEntry::KeyUp(key, enterIsTab_ && !this->PopupVisible());
    Base::KeyUp(key, shift);
  }
  void DoExit() override {
    try {
      Base::DoExit();
    } catch (...) {
      keyEntry_.ExitEnded(this, false, OnTabExit);
      this->Invalidate();
      throw;
    }
    keyEntry_.ExitEnded(this, true, OnTabExit);
    this->Invalidate();
  }

 private:
  bool enterIsTab_ = true;
  TKeyEntry keyEntry_;
};

class TLomridDateEdit : public TLomridDateEditOf<TDateEdit> {
 public:
  explicit TLomridDateEdit(TComponent* owner) : TLomridDateEditOf<TDateEdit>(owner) {}
  AnsiString ClassName() const override { return "TLomridDateEdit"; }
};

class TLomridDBDateEdit : public TLomridDateEditOf<TDBDateEdit> {
 public:
  explicit TLomridDBDateEdit(TComponent* owner) : TLomridDateEditOf<TDBDateEdit>(owner) {}
  AnsiString ClassName() const override { return "TLomridDBDateEdit"; }
};
