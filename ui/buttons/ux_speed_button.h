// A speed button with a multi-image glyph, flat look, button groups, a
// drop-down menu and auto-repeat.
//
// States: up, down (pressed with the mouse inside), exclusive (latched
// down in a group), disabled, and inactive (a flat button with the mouse
// outside; drawing only). Grouped buttons (GroupIndex non-zero) under one
// parent are exclusive: one going down sends the others up. With
// AllowTimer a held button clicks every RepeatInterval after InitPause; a
// short press clicks once, at release.
#pragma once

#include <memory>

#include "platform/gui/actions.h"
#include "platform/gui/controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "ui/buttons/button_glyph.h"

enum TUxDropDownMenuPos { dmpBottom, dmpRight };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };

class TUxSpeedButton : public TGraphicControl {
 public:
  explicit TUxSpeedButton(TComponent* owner);
  ~TUxSpeedButton() override;
  AnsiString ClassName() const override { return "TUxSpeedButton"; }

  TAlignment Alignment() const { return glyph_->Alignment(); }
  void SetAlignment(TAlignment a);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool on);
  bool AllowTimer() const { return allowTimer_; }
  // False frees the repeat timer.
  void SetAllowTimer(bool on);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index);
  bool Down() const { return down_; }
  // Always false without a group; ignored when unchanged or when down
  // without AllowAllUp. Going down sends the group's other buttons up.
  void SetDown(bool on);
  TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(TPopupMenu* menu);
  TUxDropDownMenuPos MenuPosition() const { return menuPosition_; }
  void SetMenuPosition(TUxDropDownMenuPos p) { menuPosition_ = p; }
  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  TBitmap* Glyph() { return glyph_->Glyph(); }
  void SetGlyph(const TBitmap* picture) { glyph_->SetGlyph(picture); }
  bool GrayedInactive() const { return grayedInactive_; }
  void SetGrayedInactive(bool on);
  unsigned InitPause() const { return initPause_; }
  void SetInitPause(unsigned ms) { initPause_ = ms; }
  unsigned RepeatInterval() const { return repeatInterval_; }
  void SetRepeatInterval(unsigned ms) { repeatInterval_ = ms; }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l);
  int Margin() const { return margin_; }
  // Values below -1 are ignored; -1 centres.
  void SetMargin(int m);
  int Spacing() const { return spacing_; }
  void SetSpacing(int s);
  bool MarkDropDown() const { return markDropDown_; }
  void SetMarkDropDown(bool on);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int r) { modalResult_ = r; }
  int NumGlyphs() const { return glyph_->NumGlyphs(); }
  // Clamped to 1..5.
  void SetNumGlyphs(int n) { glyph_->SetNumGlyphs(n); }
  TButtonStyle Style() const { return style_; }
  void SetStyle(TButtonStyle s);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool WordWrap() const { return glyph_->WordWrap(); }
  void SetWordWrap(bool on);
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);

  TUxButtonState State() const { return state_; }
  bool MouseInControl() const { return mouseInControl_; }
  bool MenuTracking() const { return menuTracking_; }
  // The repeat timer (null until AllowTimer first needs it).
  TTimer* RepeatTimer() const { return timer_.get(); }
  TUxButtonGlyph* ButtonGlyph() const { return glyph_.get(); }
  // Speed buttons alive in the process.
  static int LiveCount();

  // Sets the form's ModalResult, then OnClick (or runs the action).
  void Click() override;
  // Fires OnDblClick only while Down and never while the menu shows.
  void DblClick() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  bool DialogChar(char key) override;
  void EnabledChanged() override;
  void SysColorChanged() override;
  void TextChanged() override;
  void FontChanged() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void FinishClick(int x, int y);
  void TimerTick();
  void UpdateExclusive();
  void GroupPressed(int groupIndex, TUxSpeedButton* sender);
  void UpdateMouseInControl();
  bool Inside(int x, int y) const;
  void ActionChanged();
  void MenuClosed();

  std::unique_ptr<TUxButtonGlyph> glyph_;
  std::unique_ptr<TTimer> timer_;
  TUxButtonState state_ = ubsUp;
  bool allowAllUp_ = false;
  bool allowTimer_ = false;
  int groupIndex_ = 0;
  bool down_ = false;
  bool dragging_ = false;
  bool mouseInControl_ = false;
  bool menuTracking_ = false;
  TPopupMenu* dropDownMenu_ = nullptr;
  TUxDropDownMenuPos menuPosition_ = dmpBottom;
  bool flat_ = false;
  bool grayedInactive_ = true;
  unsigned initPause_ = 500;
  unsigned repeatInterval_ = 100;
  TButtonLayout layout_ = blGlyphTop;
  int margin_ = -1;
  int spacing_ = 1;
  bool markDropDown_ = true;
  int modalResult_ = 0;
  TButtonStyle style_ = bsAutoDetect;
  bool transparent_ = false;
  TAction* action_ = nullptr;
};

// The frame of a button face for the style, flat look and pressed state;
// returns the rectangle inside it.
TRect DrawButtonFace(TCanvas* canvas, const TRect& client, bool newStyle, bool pressed, bool flat);
