// The standard controls: label, push button, edit, combo box, check box and
// radio button. Texts are CP1250 (CP852 for an OEM font) and cross to Qt
// only inside these classes. Buttons set their form's ModalResult before
// OnClick runs; radio buttons are exclusive among the radio buttons of one
// parent.
#pragma once

#include <memory>

#include "platform/gui/controls.h"
#include "platform/rtl/stringlist.h"

class QComboBox;
class QLineEdit;

// ---------------------------------------------------------------- TLabel

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  ~TCustomLabel() override;
  AnsiString ClassName() const override { return "TLabel"; }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  // Fits the bounds to the caption (the right edge stays for right
  // alignment).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout l);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool on);
  // The control that the caption's accelerator focuses.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);

 protected:
  void Paint() override;
  void Loaded() override;
  void TextChanged() override;
  void FontChanged() override;
  void ParentFontChanged() override;
  bool DialogChar(char key) override;
  void Notification(TComponent* component, TOperation operation) override;
  // Draws (or with DT_CALCRECT measures) the caption by flags.
  void DoDrawText(TRect& rect, unsigned flags);
  void AdjustBounds();

 private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = true;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// --------------------------------------------------------------- TButton

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  AnsiString ClassName() const override { return "TButton"; }

  // Enter clicks the Default button unless another button has the focus.
  bool Default() const { return default_; }
  void SetDefault(bool on);
  // Esc clicks the Cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool on) { cancel_ = on; }
  // Given to the form before OnClick runs.
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  void Click() override;

 protected:
  TButton(TComponent* owner, QWidget* widget);
  AnsiString GetControlText() const override;
  void SetControlText(const AnsiString& text) override;
  bool TakesFocusOnClick() const override { return true; }
  bool DialogChar(char key) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = 0;
};

// ------------------------------------------------------------------ edits

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  ~TCustomEdit() override;
  AnsiString ClassName() const override { return "TEdit"; }

  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  virtual void SetMaxLength(int n);
  bool ReadOnly() const { return readOnly_; }
  // Switching keeps the caret and the selection where they are.
  virtual void SetReadOnly(bool on);
  // Hides the text cursor (nested calls count) without changing ReadOnly();
  // the native edit draws no cursor only while it takes no typing, so a
  // hidden caret also holds the typing off (a drop-down edit hides it while
  // it is read-only anyway).
  void HideCaret();
  void ShowCaret();
  bool CaretShown() const { return caretHidden_ == 0; }
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  // Entering by keyboard selects the whole text.
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool on) { autoSelect_ = on; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  int SelStart() const;
  void SetSelStart(int pos);
  int SelLength() const;
  void SetSelLength(int length);
  AnsiString SelText() const;
  void SetSelText(const AnsiString& text);
  void SelectAll();
  void Clear() { SetText(""); }
  // The user changed the text since the last reset.
  bool Modified() const;
  void SetModified(bool on);
  // Where typed text may go, in client coordinates; text never runs under
  // what lies outside it (a button inside the right edge).
  void SetTextRect(const TRect& r);
  TRect TextRect() const;
  // Clipboard commands, whatever asked for them (Ctrl+V/X, Shift+Insert,
  // Shift+Delete, the context menu); a control may refuse them by
  // overriding. Paste inserts the clipboard's text up to its first line
  // break (the edit holds one line); a text holding a character the code
  // page cannot hold is refused whole with a beep, never mangled.
  virtual void Paste();
  virtual void Cut();
  void Copy();

  // The text changed (typed or set).
  TNotifyEvent OnChange;

 protected:
  TCustomEdit(TComponent* owner, QWidget* widget);
  QLineEdit* Edit() const;
  // Where the native edit places its text (data-aware edits follow their
  // field's alignment).
  void SetNativeAlignment(TAlignment alignment);
  AnsiString GetControlText() const override;
  void SetControlText(const AnsiString& text) override;
  void ApplyFontAndColor() override;
  TRect NonClientInsets() const override;
  void PaintNonClient(TCanvas* canvas) override;
  int DialogCode() const override { return DLGC_WANTCHARS | DLGC_WANTARROWS; }
  bool TakesFocusOnClick() const override { return true; }
  void DoEnter() override;
  // The edit's own menu (undo, cut, copy, paste, ...) when no pop-up menu
  // is set; its cut and paste go through Cut and Paste.
  bool ContextPopup(TPoint pos) override;
  // The text changed; fires OnChange.
  virtual void Change();

 private:
  void Init();
  int maxLength_ = 0;
  bool readOnly_ = false;
  char passwordChar_ = 0;
  bool autoSelect_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  TRect textRect_{};
  bool hasTextRect_ = false;
  bool settingText_ = false;
  int caretHidden_ = 0;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

// ------------------------------------------------------------- combo box

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  AnsiString ClassName() const override { return "TComboBox"; }

  // The list; changes show at once.
  TStrings* Items() const;
  int ItemIndex() const;
  void SetItemIndex(int index);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int n);
  bool DroppedDown() const;
  void SetDroppedDown(bool on);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);

  // The user picked an item or typed.
  TNotifyEvent OnChange;

 protected:
  QComboBox* Combo() const;
  AnsiString GetControlText() const override;
  void SetControlText(const AnsiString& text) override;
  void ApplyFontAndColor() override;
  int DialogCode() const override { return DLGC_WANTCHARS | DLGC_WANTARROWS; }
  bool TakesFocusOnClick() const override { return true; }
  virtual void Change();

 private:
  class ItemList;
  std::unique_ptr<ItemList> items_;
  TComboBoxStyle style_ = csDropDown;
  int dropDownCount_ = 8;
  int maxLength_ = 0;
};

class TComboBox : public TCustomComboBox {
 public:
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

// ------------------------------------------------------ check and radio

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  AnsiString ClassName() const override { return "TCheckBox"; }

  // Setting a new state fires OnClick, as a click does.
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool on) { SetState(on ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState state);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool on);
  // Unchecked -> checked (-> grayed when allowed) -> unchecked.
  virtual void Toggle();

 protected:
  AnsiString GetControlText() const override;
  void SetControlText(const AnsiString& text) override;
  bool TakesFocusOnClick() const override { return true; }
  bool DialogChar(char key) override;

 private:
  void StateFromWidget();
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  bool syncing_ = false;
};

class TRadioButton : public TWinControl {
 public:
  explicit TRadioButton(TComponent* owner);
  AnsiString ClassName() const override { return "TRadioButton"; }

  // Checking one unchecks the other radio buttons of the parent and fires
  // OnClick; a checked radio button is the group's tab stop.
  bool Checked() const { return checked_; }
  void SetChecked(bool on);

 protected:
  AnsiString GetControlText() const override;
  void SetControlText(const AnsiString& text) override;
  bool TakesFocusOnClick() const override { return true; }
  bool DialogChar(char key) override;
  // Entering a radio button checks it, as moving through a group does.
  void DoEnter() override;

 private:
  bool checked_ = false;
  bool syncing_ = false;
};

// -------------------------------------------------------------- group box

// A captioned frame around related controls; the children's aligned area
// lies below the caption.
class TGroupBox : public TCustomControl {
 public:
  explicit TGroupBox(TComponent* owner);
  AnsiString ClassName() const override { return "TGroupBox"; }

 protected:
  void Paint() override;
  void TextChanged() override;
  TRect AlignRect() const override;
  bool TakesFocusOnClick() const override { return false; }
};
