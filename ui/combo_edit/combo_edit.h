// TCustomComboEdit: a masked edit with a button inside its right edge and
// an optional drop-down window (TPopupWindow); the date edits build on it.
//
// While the drop-down shows, the edit keeps the focus, is read-only with
// its caret hidden, fires no OnChange, and takes Enter (close accepting)
// and Esc (close without). Without it, Enter and Esc go to the form first
// (default and cancel buttons act) and a typed Enter is then dropped.
// The window's read-only flag is ReadOnly or not DirectInput (or the
// drop-down showing); ReadOnly alone means "no change at all".
#pragma once

#include <functional>
#include <memory>

#include "platform/gui/mask_edit.h"
#include "ui/buttons/ux_speed_button.h"
#include "ui/combo_edit/popup_window.h"

class TCustomComboEdit;

enum TPopupAlign { epaRight, epaLeft };
enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };

// The button: a speed button whose press while the drop-down shows closes
// it (accepting) instead of clicking, drawn with the edit's frame line on
// its left edge.
class TEditButton : public TUxSpeedButton {
 public:
  explicit TEditButton(TCustomComboEdit* edit);
  AnsiString ClassName() const override { return "TEditButton"; }
  // Runs the edit's button action.
  void Click() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  TCustomComboEdit* edit_;
  bool ignoreClick_ = false;  // this press closed the drop-down
};

class TCustomComboEdit : public TCustomMaskEdit {
 public:
  explicit TCustomComboEdit(TComponent* owner);
  ~TCustomComboEdit() override;
  AnsiString ClassName() const override { return "TCustomComboEdit"; }

  bool DirectInput() const { return directInput_; }
  void SetDirectInput(bool on);
  // ReadOnly is the property; the window is also read-only without
  // DirectInput and while the drop-down shows.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on) override;
  TShortCut ClickKey() const { return clickKey_; }
  void SetClickKey(TShortCut key) { clickKey_ = key; }
  TPopupAlign PopupAlign() const { return popupAlign_; }
  void SetPopupAlign(TPopupAlign align) { popupAlign_ = align; }
  // A width of 1 or less hides the button.
  int ButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int width);
  const AnsiString& ButtonHint() const { return button_->Hint(); }
  void SetButtonHint(const AnsiString& hint) { button_->SetHint(hint); }
  const TBitmap* Glyph() const { return button_->Glyph(); }
  // Switches GlyphKind to gkCustom.
  void SetGlyph(const TBitmap* glyph);
  int NumGlyphs() const { return button_->NumGlyphs(); }
  void SetNumGlyphs(int n) { button_->SetNumGlyphs(n); }
  TGlyphKind GlyphKind() const { return glyphKind_; }
  void SetGlyphKind(TGlyphKind kind);
  bool AlwaysEnable() const { return alwaysEnable_; }
  void SetAlwaysEnable(bool on) { alwaysEnable_ = on; }

  TEditButton* Button() const { return button_; }
  TWinControl* ButtonContainer() const { return container_; }
  TPopupWindow* Popup() const { return popup_; }
  bool PopupVisible() const { return popupVisible_; }
  // The button's action: OnButtonClick, then the drop-down opens (or
  // closes accepting when it shows). Inert when ReadOnly unless AlwaysEnable.
  virtual void ButtonClick();
  // Closes the drop-down, accepting its value or not.
  void PopupCloseUp(bool accept);
  // The least height the font allows.
  int MinHeight() const;
  // The button's place follows the border.
  void SetBorderStyle(TBorderStyle style);
  void SetCtl3D(bool on);
  // Refused unless DirectInput and not ReadOnly.
  void Paste() override;
  void Cut() override;

  TNotifyEvent OnButtonClick;

 protected:
  friend class TEditButton;
  // The drop-down; the descendant creates it (the combo edit owns none).
  void SetPopup(TPopupWindow* popup);
  // ---- the virtual operations, in their order
  // The picture of gkDefault (null: none).
  virtual const TBitmap* GetDefaultBitmap() const { return nullptr; }
  virtual int DefaultNumGlyphs() const { return 1; }
  virtual void PopupDropDown(bool disableEdit);
  virtual void ShowPopupAt(TPoint origin);
  virtual void HidePopupWindow();
  // Whether a value from the drop-down is taken; here always.
  virtual bool AcceptPopup(Variant& value);
  // Sets the text from an accepted value.
  virtual void AcceptValue(const Variant& value);
  virtual void SetPopupValue(const Variant& value);
  virtual Variant GetPopupValue() const;
  virtual void PopupChange() {}
  // Whether the text may change (ReadOnly here).
  virtual bool GetReadOnly() const { return readOnly_; }

  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  int DialogCode() const override;
  void DoEnter() override;
  void DoExit() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void Change() override;
  void Resize() override;
  void FontChanged() override;
  void EnabledChanged() override;
  // Applies ReadOnly, DirectInput and the drop-down to the window.
  void UpdateWindowReadOnly();
  // Whether the text takes no typing now (data-aware edits add their own
  // reasons).
  virtual bool TextReadOnly() const { return readOnly_ || !directInput_ || popupVisible_; }
  void UpdateLayout();
  void RecreateGlyph();

 private:
  bool directInput_ = true;
  bool readOnly_ = false;
  bool alwaysEnable_ = false;
  TShortCut clickKey_;
  TPopupAlign popupAlign_ = epaRight;
  int buttonWidth_ = 21;
  TGlyphKind glyphKind_ = gkCustom;
  TWinControl* container_ = nullptr;
  TEditButton* button_ = nullptr;
  TPopupWindow* popup_ = nullptr;
  bool popupVisible_ = false;
  bool closingOnExit_ = false;
};
