// The tool bar: a row along the top of its form holding tool buttons,
// separators and any other controls (labels, edits) side by side in the
// order they were put on it, each centred in the bar's height. A tool
// button shows a glyph, tells its hint, and runs its action or OnClick.
#pragma once

#include <memory>

#include "platform/gui/controls.h"

class TAction;
class TToolBar;

enum TToolButtonStyle { tbsButton, tbsSeparator };

class TToolButton : public TGraphicControl {
 public:
  explicit TToolButton(TComponent* owner);
  ~TToolButton() override;
  AnsiString ClassName() const override { return "TToolButton"; }

  TToolButtonStyle Style() const { return style_; }
  void SetStyle(TToolButtonStyle style);
  // The picture (copied); its bottom-left pixel is transparent. A disabled
  // button shows it greyed.
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* bitmap);
  // Shows pressed (a checked action keeps it down).
  bool Down() const { return down_; }
  void SetDown(bool on);
  // Links the button to an action (null unlinks): hint, enabled, checked
  // (as Down) and visible follow the action; a click runs it.
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);

  void Click() override;

 protected:
  void Paint() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void EnabledChanged() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void ActionChanged();
  TToolButtonStyle style_ = tbsButton;
  std::unique_ptr<TBitmap> glyph_;
  std::unique_ptr<TBitmap> grayGlyph_;
  bool down_ = false;
  bool hot_ = false;
  bool pressed_ = false;
  TAction* action_ = nullptr;
};

class TToolBar : public TCustomControl {
 public:
  explicit TToolBar(TComponent* owner);
  AnsiString ClassName() const override { return "TToolBar"; }

  // Size of every button (separators keep their own width).
  int ButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int w);
  int ButtonHeight() const { return buttonHeight_; }
  void SetButtonHeight(int h);
  // Space before the first control.
  int Indent() const { return indent_; }
  void SetIndent(int indent);

 protected:
  void Paint() override;
  void AlignControls() override;
  void ControlsChanged() override;
  bool TakesFocusOnClick() const override { return false; }

 private:
  int buttonWidth_ = 23;
  int buttonHeight_ = 22;
  int indent_ = 2;
};
