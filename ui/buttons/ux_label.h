// The dialogs' label: its text drawn twice, a shadow copy offset by
// ShadowSize towards ShadowPos and the text over it; a disabled label
// without a shadow looks engraved. With AutoSize the label fits its text
// (a right-aligned one keeps its right edge); its accelerator focuses
// FocusControl, and with ShowFocus it frames its text while that control
// has the focus.
#pragma once

#include "platform/gui/controls.h"

enum TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };

class TUxCustomLabel : public TGraphicControl {
 public:
  explicit TUxCustomLabel(TComponent* owner);
  AnsiString ClassName() const override { return "TUxLabel"; }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout l);
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor c);
  int ShadowSize() const { return shadowSize_; }
  void SetShadowSize(int s);
  TShadowPosition ShadowPos() const { return shadowPos_; }
  void SetShadowPos(TShadowPosition p);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool on);
  bool ShowFocus() const { return showFocus_; }
  void SetShowFocus(bool on);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on);
  bool MouseInControl() const { return mouseInControl_; }

  // Fits the bounds to the text (AutoSize only).
  void AdjustLabelBounds();

 protected:
  // The colour and the text the label draws (descendants may change them).
  virtual TColor GetLabelFontColor() const { return Font()->Color(); }
  virtual AnsiString GetLabelText() const { return Caption(); }
  // Draws (or with DT_CALCRECT measures) the text with its shadow in r;
  // returns the height.
  int DrawLabelText(TRect& r, unsigned flags);

  void Paint() override;
  bool DialogChar(char key) override;
  void FocusChanged(TWinControl* focused) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void TextChanged() override;
  void FontChanged() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = true;
  TTextLayout layout_ = tlTop;
  TColor shadowColor_ = clBtnHighlight;
  int shadowSize_ = 1;
  TShadowPosition shadowPos_ = spLeftTop;
  bool showAccelChar_ = true;
  bool showFocus_ = false;
  TWinControl* focusControl_ = nullptr;
  bool transparent_ = false;
  bool wordWrap_ = false;
  int leftMargin_ = 0;
  int rightMargin_ = 0;
  bool mouseInControl_ = false;
  bool focused_ = false;
};

class TUxLabel : public TUxCustomLabel {
 public:
  explicit TUxLabel(TComponent* owner) : TUxCustomLabel(owner) {}
};
