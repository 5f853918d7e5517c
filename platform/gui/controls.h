// The control tree: TControl (a visible object with bounds inside its
// parent), TWinControl (a control that can hold children and take the
// keyboard focus), TGraphicControl (never focused, painted by Paint) and
// TCustomControl (focusable, painted by Paint).
//
// Every control owns one Qt widget of its own kind; Qt's events reach the
// control only through the named hooks below (MouseDown, KeyDown,
// KeyPress, DoEnter, DoExit, Paint, the change notices). No Qt layouts:
// geometry is absolute pixels in the parent's client coordinates, and Align
// places the aligned children on every parent resize (top, bottom, left,
// right, client; each group in control order).
//
// Exceptions never cross the Qt event loop: a hook that raises is reported
// to Application->HandleException by the bridge that called it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/geometry.h"
#include "platform/gui/graphics.h"
#include "platform/gui/keys.h"
#include "platform/rtl/classes.h"

class QWidget;
class TWinControl;
class TCustomForm;
class TPopupMenu;
namespace gui_detail {
class ControlBinding;
class ControlSurface;
struct EventBridge;
}  // namespace gui_detail

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
// TAlignment (taLeftJustify, taRightJustify, taCenter) comes with the component model.
enum TTextLayout { tlTop, tlCenter, tlBottom };
// Form border styles; controls with a border use bsNone and bsSingle.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

// Reading order and alignment of a control's texts. Every right-to-left
// mode reads from the right; only bdRightToLeft also mirrors the alignment.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

enum TControlStyleItem { csAcceptsControls, csCaptureMouse, csClickEvents, csOpaque, csDoubleClicks, csReplicatable };
using TControlStyle = TSet<TControlStyleItem>;

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// What a focused control wants to see itself instead of the form's dialog
// keys (answer of DialogCode).
constexpr int DLGC_WANTARROWS = 0x0001;
constexpr int DLGC_WANTTAB = 0x0002;
constexpr int DLGC_WANTALLKEYS = 0x0004;
constexpr int DLGC_WANTCHARS = 0x0080;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

class TControl : public TComponent {
 public:
  ~TControl() override;
  AnsiString ClassName() const override { return "TControl"; }

  // ---- tree
  TWinControl* Parent() const { return parent_; }
  // Moves the control into parent's client area (null takes it out).
  virtual void SetParent(TWinControl* parent);

  // ---- geometry, in the parent's client coordinates
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  // (0, 0, ClientWidth, ClientHeight): the area inside borders, menu bar
  // and scroll bars.
  TRect ClientRect() const;
  virtual int ClientWidth() const;
  virtual int ClientHeight() const;
  virtual void SetClientWidth(int w);
  virtual void SetClientHeight(int h);
  // Screen position of the client area's (0, 0).
  TPoint ClientOrigin() const;
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // ---- state
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to a shown form visible.
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  AnsiString Caption() const { return GetControlText(); }
  void SetCaption(const AnsiString& text) { SetControlText(text); }
  AnsiString Text() const { return GetControlText(); }
  void SetText(const AnsiString& text) { SetControlText(text); }

  TFont* Font() { return &font_; }
  const TFont* Font() const { return &font_; }
  void SetFont(const TFont* font) { font_.Assign(font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool on);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool on);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& hint);
  bool ShowHint() const;
  void SetShowHint(bool on);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool on);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
  // Mirrored alignment turns the widget's layout direction, which the
  // widgets inside it follow (a grid's in-place editor reads as the grid);
  // the modes that read from the right but keep the alignment have no Qt
  // counterpart and leave the layout alone. Controls that draw themselves
  // consult the queries.
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode mode);
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
  bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }

  // ---- painting
  // Marks the whole control for painting at the next paint cycle.
  void Invalidate();
  // Marks r (client coordinates) for painting.
  void InvalidateRect(const TRect& r);
  // Paints pending areas now.
  void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  // The control's drawing surface (client coordinates). Inside Paint it
  // draws on the area being painted; outside it draws on the control's
  // picture, which the screen shows until the next Paint of that area.
  TCanvas* Canvas();
  void BringToFront();
  void SendToBack();

  // The left button was pressed on the control and is still held there
  // (the control has the mouse).
  bool HoldsMouse() const;
  // Renders the control's own painting (not its children) into bitmap with
  // the control's top-left at offset (bitmap pixels); the bitmap keeps its
  // size.
  void PaintTo(TBitmap* bitmap, TPoint offset);

  // Fires OnClick (buttons first set their form's ModalResult).
  virtual void Click();
  virtual void DblClick();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;

  // The Qt widget (tests, screenshots and the GUI layer itself).
  QWidget* Widget() const { return widget_; }

 protected:
  // widget: the control's own widget, created by the concrete class.
  TControl(TComponent* owner, QWidget* widget);

  // ---- hooks (client coordinates)
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  // Wheel turned by delta (120 per notch); true when handled.
  virtual bool MouseWheel(TShiftState shift, int delta, TPoint pos);
  // A context-menu request at a client point (right click or the menu
  // key); true when handled. Default: false, and the nearest PopupMenu up
  // the parents shows.
  virtual bool ContextPopup(TPoint pos) { (void)pos; return false; }
  // Draws the control on Canvas (only for controls that paint themselves).
  virtual void Paint();
  // Draws borders outside the client area; canvas is in widget coordinates.
  virtual void PaintNonClient(TCanvas* canvas) { (void)canvas; }
  // An accelerator (Alt+key, or a plain key while the focused control takes
  // no characters); true when handled.
  virtual bool DialogChar(char key) { (void)key; return false; }
  // Area inside the widget that is not client area (borders, scroll bars,
  // menu bar), as insets on each side.
  virtual TRect NonClientInsets() const { return TRect{}; }
  // True when the control draws itself through Paint (graphic and custom
  // controls; an edit while it asks for it).
  virtual bool PaintsItself() const { return false; }

  // ---- change notices
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  virtual void TextChanged();
  virtual void SysColorChanged();
  // The focus moved inside the control's form (focused may be null); every
  // control of the form hears it after the move.
  virtual void FocusChanged(TWinControl* focused) { (void)focused; }
  // The colour the background is painted in. A control may paint a state in
  // another colour than Color (a disabled data-aware edit) without a colour
  // change; it calls PaintColorChanged when the answer changes.
  virtual TColor PaintColor() const { return color_; }
  void PaintColorChanged();
  // Another control (sender) took a mouse press or the focus; pop-ups and
  // drop-downs close on it. sender is null when the window lost activation.
  virtual void CancelMode(TControl* sender);
  // The size changed; fires OnResize.
  virtual void Resize();

  // ---- text storage; native controls keep their text in the widget
  virtual AnsiString GetControlText() const { return text_; }
  virtual void SetControlText(const AnsiString& text);

  // Pushes font and colour to the widget (native controls map them onto
  // their palette roles).
  virtual void ApplyFontAndColor();
  // Places the widget for the stored bounds (forms add their frame).
  virtual void ApplyGeometry();
  void SetBoundsQuietly(int left, int top, int width, int height);
  void NotifyChildrenOfFont();
  void NotifyChildrenOfColor();
  void Notification(TComponent* component, TOperation operation) override;

 public:
  // Code page of the control's texts (by its font's charset).
  int CodePage() const;

 private:
  friend class TWinControl;
  friend class TCustomControl;
  friend class TCustomForm;
  friend class gui_detail::ControlBinding;
  friend class gui_detail::ControlSurface;
  friend struct gui_detail::EventBridge;
  void FontObjectChanged();
  void UpdateToolTip();
  void UpdateWidgetVisibility();

  QWidget* widget_;
  TWinControl* parent_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  AnsiString text_;
  TFont font_;
  bool parentFont_ = true;
  bool fontFromParent_ = false;
  TColor color_ = clBtnFace;
  bool parentColor_ = true;
  TCursor cursor_ = crDefault;
  AnsiString hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TControlStyle controlStyle_ = {csCaptureMouse, csClickEvents, csDoubleClicks};
  TBiDiMode biDiMode_ = bdLeftToRight;
  std::unique_ptr<gui_detail::ControlSurface> surface_;
};

class TWinControl : public TControl {
 public:
  ~TWinControl() override;
  AnsiString ClassName() const override { return "TWinControl"; }

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_[static_cast<std::size_t>(index)]; }
  // True when control is this one or lies inside it.
  bool ContainsControl(const TControl* control) const;

  // Position among the parent's focusable children (0-based).
  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool on) { tabStop_ = on; }
  // Showing, enabled, and every parent enabled.
  virtual bool CanFocus() const;
  // The control is its form's focused control (also while the previous
  // control's exit handlers run).
  bool Focused() const;
  // Moves the focus here through the form; raises EInvalidOperation
  // "Cannot focus a disabled or invisible window" when it cannot.
  virtual void SetFocus();
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool on) { doubleBuffered_ = on; }

  // The focusable controls inside this one in tab order: children by
  // TabOrder, each followed by its own list (depth first).
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  // Places the aligned children again.
  void Realign();
  // Suspends aligning (nested); the last EnableAlign aligns once.
  void DisableAlign() { ++aligning_; }
  void EnableAlign();
  bool AlignDisabled() const { return aligning_ > 0; }

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  TWinControl(TComponent* owner, QWidget* widget);

  // ---- keyboard and focus hooks
  // The key (changeable; 0 consumes it). Default fires OnKeyDown/OnKeyUp.
  virtual void KeyDown(Word& key, TShiftState shift);
  virtual void KeyUp(Word& key, TShiftState shift);
  // The typed character as a CP1250 byte (changeable; 0 discards it).
  virtual void KeyPress(char& key);
  // Default fires OnEnter / OnExit.
  virtual void DoEnter();
  virtual void DoExit();
  // Which keys the control handles itself (DLGC_ flags).
  virtual int DialogCode() const { return 0; }
  // The check the control runs when it is left, run without leaving it and
  // without OnExit: the form asks it before a key makes a button act (Enter
  // on a default button, a button's accelerator), so a button never acts on
  // a text its control would refuse. False keeps the focus and consumes the
  // key; the control reports the failure itself, as on exit.
  virtual bool ExitCheck() { return true; }
  // Asks the children in order.
  bool DialogChar(char key) override;
  // Whether a left press on the control moves the focus to it.
  virtual bool TakesFocusOnClick() const { return false; }
  // The rectangle aligned children share (a panel leaves its bevels out).
  virtual TRect AlignRect() const { return ClientRect(); }
  virtual void AlignControls();
  // A child was inserted or removed.
  virtual void ControlsChanged() {}
  // The widget that takes Qt's focus for this control.
  virtual QWidget* FocusWidget() const;

  void ApplyGeometry() override;

 private:
  friend class TControl;
  friend class TCustomForm;
  friend class gui_detail::ControlBinding;
  friend struct gui_detail::EventBridge;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  int pendingTabOrder_ = -1;
  bool tabStop_ = false;
  bool ctl3D_ = true;
  bool doubleBuffered_ = false;
  int aligning_ = 0;
};

// Never takes the focus; drawn by Paint.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  AnsiString ClassName() const override { return "TGraphicControl"; }

 protected:
  bool PaintsItself() const override { return true; }
};

// Focusable, drawn by Paint. Can also be shown as a pop-up: a top-level
// window at a screen point that never takes the activation; it gets a
// CancelMode notice when a mouse press lands outside it or the focus leaves
// its owner.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  AnsiString ClassName() const override { return "TCustomControl"; }

  // Shows the control as a pop-up with its top-left at screenPos; owner is
  // the control whose focus it belongs to.
  void ShowPopup(TPoint screenPos, TWinControl* owner);
  // Returns a pop-up to its parent (hidden).
  void HidePopup();
  bool PopupShowing() const { return popupOwner_ != nullptr; }
  TWinControl* PopupOwner() const { return popupOwner_; }

 protected:
  TCustomControl(TComponent* owner, QWidget* widget);
  bool PaintsItself() const override { return true; }
  bool TakesFocusOnClick() const override { return true; }

 private:
  TWinControl* popupOwner_ = nullptr;
};

// The form that holds control (null when it is on none).
TCustomForm* GetParentForm(const TControl* control);
