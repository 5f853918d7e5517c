// An extra button for a form's frame, with a tooltip and an item in the
// form's window menu. The window manager owns the title bar, so the button
// sits at the right end of the form's menu bar (a form without a menu bar
// shows none); the buttons of one form line up right to left there by
// their RightOffset, in list order.
//
// Mouse: a press paints the button pressed and captures the mouse; leaving
// paints it released (unless latched Down), coming back pressed again; a
// release over it clicks, a release elsewhere changes nothing. A double
// click counts as a press; right presses are swallowed.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

#include "platform/gui/menus.h"
#include "ui/window_addons/form_hook.h"

class QWidget;
class TwaCustomCaptionButton;

enum TwaMenuSeparator { seBefore, seAfter };
using TwaMenuSeparators = TSet<TwaMenuSeparator>;

// First button id; the separators before and after the item get id + 1000
// and id + 2000.
constexpr int kFirstCaptionButtonID = 5734;

class TwaSystemMenu : public TPersistent {
 public:
  explicit TwaSystemMenu(TwaCustomCaptionButton* owner) : owner_(owner) {}
  AnsiString ClassName() const override { return "TwaSystemMenu"; }
  // Every change takes the items out and puts them in again.
  bool ApplyToMenu() const { return applyToMenu_; }
  void SetApplyToMenu(bool on);
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  int Position() const { return position_; }
  void SetPosition(int position);
  TwaMenuSeparators Separators() const { return separators_; }
  void SetSeparators(TwaMenuSeparators s);
  bool Inserted() const { return inserted_; }

 private:
  friend class TwaCustomCaptionButton;
  template <class F>
  void Change(F f);
  TwaCustomCaptionButton* owner_;
  bool applyToMenu_ = false;
  AnsiString caption_;
  int position_ = 0;
  TwaMenuSeparators separators_;
  bool inserted_ = false;
};

// The buttons of one form, in order, and the corner widget they sit in.
class TwaRealButtonsList {
 public:
  TCustomForm* Form = nullptr;
  std::vector<TwaCustomCaptionButton*> Buttons;
  // Qt may free it with the menu bar it sits in.
  QPointer<QWidget> Corner;
};

// Every form's button list; a form's list goes with its last button.
class TwaVirtualBtnList {
 public:
  static TwaRealButtonsList* ListOf(const TCustomForm* form);
  static TwaRealButtonsList* Join(TwaCustomCaptionButton* button, TCustomForm* form);
  static void Leave(TwaCustomCaptionButton* button, TCustomForm* form);
};

class TwaCustomCaptionButton : public TwaHFormHookComponent {
 public:
  explicit TwaCustomCaptionButton(TComponent* owner);
  ~TwaCustomCaptionButton() override;
  AnsiString ClassName() const override { return "TwaCustomCaptionButton"; }

  int ButtonID() const { return id_; }
  bool Toggle() const { return toggle_; }
  void SetToggle(bool on);
  bool Down() const { return down_; }
  void SetDown(bool on);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool on);
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& hint);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  TCursor CursorDown() const { return cursorDown_; }
  void SetCursorDown(TCursor c) { cursorDown_ = c; }
  int SeparatorWidth() const { return separatorWidth_; }
  void SetSeparatorWidth(int w);
  // Index in the form's button list (-1 without one); writing moves it.
  int BtnOrder() const;
  void SetBtnOrder(int order);
  TBitmap* UpGlyph() { return &upGlyph_; }
  TBitmap* DownGlyph() { return &downGlyph_; }
  bool TransparentGlyph() const { return transparentGlyph_; }
  void SetTransparentGlyph(bool on);
  char GlyphChar() const { return glyphChar_; }
  void SetGlyphChar(char c);
  TFont* GlyphFont() { return &glyphFont_; }
  TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* menu);
  TwaSystemMenu* SystemMenu() { return &systemMenu_; }

  int RightOffset() const { return rightOffset_; }
  // Relative to the corner widget.
  TRect ButtonRect() const { return buttonRect_; }
  bool PaintedPressed() const { return paintedPressed_; }
  bool MouseCaptured() const { return mouseCaptured_; }
  bool MenuShowing() const { return menuShowing_; }
  // The picture the button shows now.
  const TBitmap& Picture() const { return picture_; }
  QWidget* ButtonWidget() const { return widget_.data(); }

  // Places every visible button of the form right to left.
  void LayoutButtons();
  void PaintButton(bool pressed);
  void InsertMenuItems();
  void RemoveMenuItems();
  void UpdateToolRect();

  TNotifyEvent OnClick;
  TNotifyEvent OnMenuCommand;
  TNotifyEvent OnStateChanged;
  TNotifyEvent OnButtonDown;
  TNotifyEvent OnButtonUp;

  void BeforeMessage(TWindowMessage& message, bool& handled) override;
  void AfterMessage(TWindowMessage& message) override;
  void AfterRehook() override;

  // The button widget's mouse (client coordinates of the button).
  void MousePressed(bool left);
  void MouseMovedTo(int x, int y);
  void MouseReleased(bool left, int x, int y);

 protected:
  virtual void BeforeClick() {}
  virtual void AfterClick();
  virtual void BeforeMenuCommand() {}
  virtual void AfterMenuCommand();
  virtual void StateChanged();
  virtual void ButtonDownEvent();
  virtual void ButtonUpEvent();
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void HiddenWindowProc(int message) override;

 private:
  friend class TwaSystemMenu;
  friend class TwaVirtualBtnList;
  TSize ButtonSize() const;
  void Flip();

  int id_;
  bool toggle_ = false;
  bool down_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  bool showHint_ = true;
  AnsiString hint_;
  TCursor cursor_ = crDefault;
  TCursor cursorDown_ = crDefault;
  int separatorWidth_ = 0;
  int streamedOrder_ = -1;
  TBitmap upGlyph_;
  TBitmap downGlyph_;
  bool transparentGlyph_ = true;
  char glyphChar_ = 'A';
  TFont glyphFont_;
  TPopupMenu* dropdownMenu_ = nullptr;
  TwaSystemMenu systemMenu_;
  int rightOffset_ = 0;
  TRect buttonRect_{};
  bool paintedPressed_ = false;
  bool mouseCaptured_ = false;
  bool menuShowing_ = false;
  TBitmap picture_;
  QPointer<QWidget> widget_;
  TCustomForm* form_ = nullptr;
};

// The published view of a button's look in the designer's terms.
class TwaACaptionButton {
 public:
  explicit TwaACaptionButton(TwaCustomCaptionButton* b) : b_(b) {}
  int BtnOrder() const { return b_->BtnOrder(); }
  void SetBtnOrder(int v) { b_->SetBtnOrder(v); }
  TCursor Cursor() const { return b_->Cursor(); }
  void SetCursor(TCursor c) { b_->SetCursor(c); }
  TCursor CursorDown() const { return b_->CursorDown(); }
  void SetCursorDown(TCursor c) { b_->SetCursorDown(c); }
  bool Enabled() const { return b_->Enabled(); }
  void SetEnabled(bool on) { b_->SetEnabled(on); }
  const AnsiString& Hint() const { return b_->Hint(); }
  void SetHint(const AnsiString& h) { b_->SetHint(h); }
  int SeparatorWidth() const { return b_->SeparatorWidth(); }
  void SetSeparatorWidth(int w) { b_->SetSeparatorWidth(w); }
  bool ShowHint() const { return b_->ShowHint(); }
  void SetShowHint(bool on) { b_->SetShowHint(on); }
  bool Visible() const { return b_->Visible(); }
  void SetVisible(bool on) { b_->SetVisible(on); }

 private:
  TwaCustomCaptionButton* b_;
};
