// The menu of a drop-down button shows without blocking: the button stays
// "menu tracking" (drawn down, no click at release) until the menu's close
// notice; a press on the button while the menu shows only closes the menu
// (the GUI layer keeps that press from the button).
#include "ui/buttons/ux_speed_button.h"

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/image_list.h"
#include "ui/buttons/draw_helpers.h"
#include "ui/buttons/ux_cursors.h"

namespace {

int gLiveButtons = 0;

// A one-pixel frame: top and left in topLeft, bottom and right in
// bottomRight (which also takes the two far corners); shrinks r by one.
void Frame3D(TCanvas* c, TRect& r, TColor topLeft, TColor bottomRight) {
  int l = r.Left, t = r.Top, rr = r.Right - 1, b = r.Bottom - 1;
  c->Pen()->SetColor(topLeft);
  c->MoveTo(l, b);
  c->LineTo(l, t);
  c->LineTo(rr, t);
  c->Pen()->SetColor(bottomRight);
  c->LineTo(rr, b);
  c->LineTo(l - 1, b);
  r = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
}

}  // namespace

TRect DrawButtonFace(TCanvas* canvas, const TRect& client, bool newStyle, bool pressed, bool flat) {
  TRect r = client;
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetWidth(1);
  if (newStyle) {
    if (pressed) {
      Frame3D(canvas, r, clWindowFrame, clBtnHighlight);
      if (!flat) Frame3D(canvas, r, clBtnShadow, clBtnFace);
    } else if (flat) {
      Frame3D(canvas, r, clBtnHighlight, clBtnShadow);
    } else {
      Frame3D(canvas, r, clBtnHighlight, clWindowFrame);
      Frame3D(canvas, r, clBtnFace, clBtnShadow);
    }
  } else if (pressed) {
    if (flat) {
      Frame3D(canvas, r, clWindowFrame, clBtnHighlight);
    } else {
      Frame3D(canvas, r, clWindowFrame, clWindowFrame);
      canvas->Pen()->SetColor(clBtnShadow);
      canvas->MoveTo(r.Left, r.Bottom - 1);
      canvas->LineTo(r.Left, r.Top);
      canvas->LineTo(r.Right, r.Top);
    }
  } else if (flat) {
    Frame3D(canvas, r, clBtnHighlight, clWindowFrame);
  } else {
    Frame3D(canvas, r, clWindowFrame, clWindowFrame);
    Frame3D(canvas, r, clBtnHighlight, clBtnShadow);
  }
  return Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
}

TUxSpeedButton::TUxSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TUxButtonGlyph>()) {
  RegisterUxCursors();
  ++gLiveButtons;
  SetBounds(0, 0, 25, 25);
  SetControlStyle({csCaptureMouse, csDoubleClicks});
  SetShowHint(true);
  SetParentShowHint(false);
  glyph_->SetAlignment(taCenter);
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

TUxSpeedButton::~TUxSpeedButton() {
  glyph_->OnChange = nullptr;
  if (action_) action_->RemoveChangeListener(this);
  if (dropDownMenu_ && dropDownMenu_->OnClose) dropDownMenu_->OnClose = nullptr;
  --gLiveButtons;
}

int TUxSpeedButton::LiveCount() { return gLiveButtons; }

// ---- properties

void TUxSpeedButton::SetAlignment(TAlignment a) {
  glyph_->SetAlignment(a);
  Invalidate();
}

void TUxSpeedButton::SetAllowAllUp(bool on) {
  if (on == allowAllUp_) return;
  allowAllUp_ = on;
  UpdateExclusive();
}

void TUxSpeedButton::SetAllowTimer(bool on) {
  allowTimer_ = on;
  if (!on) timer_.reset();
}

void TUxSpeedButton::SetGroupIndex(int index) {
  if (index == groupIndex_) return;
  groupIndex_ = index;
  UpdateExclusive();
}

void TUxSpeedButton::SetDown(bool on) {
  if (groupIndex_ == 0) on = false;
  if (on == down_) return;
  if (down_ && !allowAllUp_) return;
  down_ = on;
  state_ = on ? ubsExclusive : ubsUp;
  Invalidate();
  if (on) UpdateExclusive();
}

void TUxSpeedButton::SetDropDownMenu(TPopupMenu* menu) {
  if (dropDownMenu_) RemoveFreeNotification(dropDownMenu_);
  dropDownMenu_ = menu;
  if (menu) FreeNotification(menu);
  Invalidate();
}

void TUxSpeedButton::SetFlat(bool on) {
  flat_ = on;
  Invalidate();
}

void TUxSpeedButton::SetGrayedInactive(bool on) {
  grayedInactive_ = on;
  Invalidate();
}

void TUxSpeedButton::SetLayout(TButtonLayout l) {
  layout_ = l;
  Invalidate();
}

void TUxSpeedButton::SetMargin(int m) {
  if (m < -1 || m == margin_) return;
  margin_ = m;
  Invalidate();
}

void TUxSpeedButton::SetSpacing(int s) {
  spacing_ = s;
  Invalidate();
}

void TUxSpeedButton::SetMarkDropDown(bool on) {
  markDropDown_ = on;
  Invalidate();
}

void TUxSpeedButton::SetStyle(TButtonStyle s) {
  style_ = s;
  Invalidate();
}

void TUxSpeedButton::SetTransparent(bool on) {
  transparent_ = on;
  Invalidate();
}

void TUxSpeedButton::SetWordWrap(bool on) {
  glyph_->SetWordWrap(on);
  Invalidate();
}

void TUxSpeedButton::SetAction(TAction* action) {
  if (action_) {
    action_->RemoveChangeListener(this);
    RemoveFreeNotification(action_);
  }
  action_ = action;
  if (action_) {
    FreeNotification(action_);
    action_->AddChangeListener(this, [this] { ActionChanged(); });
    ActionChanged();
  }
}

void TUxSpeedButton::ActionChanged() {
  if (!action_) return;
  SetCaption(action_->Caption());
  SetEnabled(action_->Enabled());
  SetHint(action_->Hint());
  SetVisible(action_->Visible());
  if (groupIndex_ != 0) SetDown(action_->Checked());
  TImageList* images = action_->ActionList() ? action_->ActionList()->Images() : nullptr;
  if (glyph_->Glyph()->Empty() && images && action_->ImageIndex() >= 0 && action_->ImageIndex() < images->Count()) {
    // The action's picture on fuchsia, which becomes the see-through colour.
    TBitmap picture;
    picture.SetSize(images->Width(), images->Height());
    picture.Canvas()->Brush()->SetColor(clFuchsia);
    picture.Canvas()->FillRect(Rect(0, 0, images->Width(), images->Height()));
    images->Draw(picture.Canvas(), 0, 0, action_->ImageIndex());
    picture.SetTransparentColor(clFuchsia);
    glyph_->SetGlyph(&picture);
  }
}

void TUxSpeedButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == dropDownMenu_) dropDownMenu_ = nullptr;
  if (component == action_) action_ = nullptr;
}

// ---- groups

void TUxSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !Parent()) return;
  TWinControl* parent = Parent();
  for (int i = 0; i < parent->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TUxSpeedButton*>(parent->Controls(i)); b && b != this) b->GroupPressed(groupIndex_, this);
}

void TUxSpeedButton::GroupPressed(int groupIndex, TUxSpeedButton* sender) {
  if (groupIndex != groupIndex_ || sender == this) return;
  if (sender->down_ && down_) {
    down_ = false;
    state_ = ubsUp;
    Invalidate();
  }
  allowAllUp_ = sender->allowAllUp_;
}

// ---- clicks

void TUxSpeedButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  if (OnClick) {
    OnClick(this);
  } else if (action_) {
    action_->Execute();
  }
}

void TUxSpeedButton::DblClick() {
  if (menuTracking_) return;
  if (down_) TGraphicControl::DblClick();
}

bool TUxSpeedButton::DialogChar(char key) {
  if (IsAccel(key, Caption()) && Enabled() && Showing()) {
    TCustomForm* form = GetParentForm(this);
    if (form && !form->CheckExitBeforeAction(this)) return true;
    Click();
    return true;
  }
  return false;
}

bool TUxSpeedButton::Inside(int x, int y) const { return x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight(); }

void TUxSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !Enabled() || menuTracking_) return;
  if (!down_) {
    state_ = ubsDown;
    Invalidate();
  }
  dragging_ = true;
  if (dropDownMenu_ && dropDownMenu_->AutoPopup()) {
    menuTracking_ = true;
    TPoint at;
    TPopupAlignment a = dropDownMenu_->Alignment();
    if (menuPosition_ == dmpBottom)
      at = a == paRight ? Point(Width() + 1, Height()) : a == paCenter ? Point(Width() / 2, Height()) : Point(-1, Height());
    else
      at = a == paRight ? Point(-1, -1) : a == paCenter ? Point(Width() / 2, Height()) : Point(Width(), -1);
    TPoint screen = ClientToScreen(at);
    TNotifyEvent previous = dropDownMenu_->OnClose;
    dropDownMenu_->OnClose = [this, previous](TObject* sender) {
      if (previous) previous(sender);
      MenuClosed();
    };
    dropDownMenu_->SetPopupComponent(this);
    dropDownMenu_->Popup(screen.x, screen.y);
    // The press ends here; the menu takes the mouse until it closes.
    dragging_ = false;
    return;
  }
  if (allowTimer_) {
    if (!timer_) {
      timer_ = std::make_unique<TTimer>(nullptr);
      timer_->OnTimer = [this](TObject*) { TimerTick(); };
    }
    timer_->SetEnabled(false);
    timer_->SetInterval(initPause_);
    timer_->SetEnabled(true);
  }
}

void TUxSpeedButton::MenuClosed() {
  if (!menuTracking_) return;
  menuTracking_ = false;
  if (dropDownMenu_) dropDownMenu_->OnClose = nullptr;
  state_ = down_ ? ubsExclusive : ubsUp;
  UpdateMouseInControl();
  Invalidate();
}

void TUxSpeedButton::TimerTick() {
  timer_->SetInterval(repeatInterval_);
  if (state_ == ubsDown && HoldsMouse()) {
    try {
      Click();
    } catch (...) {
      if (timer_) timer_->SetEnabled(false);
      throw;
    }
  }
}

void TUxSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  TUxButtonState next = down_ ? ubsExclusive : ubsUp;
  if (Inside(x, y)) next = down_ ? ubsExclusive : ubsDown;
  if (next != state_) {
    state_ = next;
    Invalidate();
  }
}

void TUxSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && dragging_) FinishClick(x, y);
}

void TUxSpeedButton::FinishClick(int x, int y) {
  dragging_ = false;
  bool inside = Inside(x, y);
  if (groupIndex_ == 0) {
    state_ = ubsUp;
    mouseInControl_ = false;
    Invalidate();
  } else if (inside) {
    SetDown(!down_);
    if (down_) Invalidate();
  } else {
    if (down_) state_ = ubsExclusive;
    Invalidate();
  }
  if (timer_) timer_->SetEnabled(false);
  if (inside && !menuTracking_) Click();
  UpdateMouseInControl();
}

// ---- mouse in control

void TUxSpeedButton::UpdateMouseInControl() {
  if (!Widget()) return;
  bool in = Enabled() && ActiveWindowInThread() && Widget()->underMouse();
  if (in == mouseInControl_) return;
  mouseInControl_ = in;
  if (flat_) Invalidate();
  if (in ? static_cast<bool>(OnMouseEnter) : static_cast<bool>(OnMouseLeave)) (in ? OnMouseEnter : OnMouseLeave)(this);
}

void TUxSpeedButton::MouseEnter() {
  if (!Enabled() || mouseInControl_ || !ActiveWindowInThread()) return;
  mouseInControl_ = true;
  if (flat_) Invalidate();
  if (OnMouseEnter) OnMouseEnter(this);
}

void TUxSpeedButton::MouseLeave() {
  if (!mouseInControl_ || !Enabled() || dragging_) return;
  mouseInControl_ = false;
  if (flat_) Invalidate();
  if (OnMouseLeave) OnMouseLeave(this);
}

// ---- notices

void TUxSpeedButton::EnabledChanged() {
  TGraphicControl::EnabledChanged();
  if (!Enabled()) {
    mouseInControl_ = false;
    if (timer_) timer_->SetEnabled(false);
  }
  Invalidate();
}

void TUxSpeedButton::SysColorChanged() {
  TGraphicControl::SysColorChanged();
  glyph_->Invalidate();
  Invalidate();
}

void TUxSpeedButton::TextChanged() {
  TGraphicControl::TextChanged();
  Invalidate();
}

void TUxSpeedButton::FontChanged() {
  TGraphicControl::FontChanged();
  Invalidate();
}

// ---- painting

void TUxSpeedButton::Paint() {
  TCanvas* c = Canvas();
  if (!Enabled()) {
    state_ = ubsDisabled;
    dragging_ = false;
  } else if (state_ == ubsDisabled) {
    state_ = down_ && groupIndex_ != 0 ? ubsExclusive : ubsUp;
  }
  TUxButtonState drawn = flat_ && !mouseInControl_ && !menuTracking_ ? ubsInactive : state_;
  // While its menu shows the button stays pressed.
  if (menuTracking_) drawn = ubsDown;
  TRect client = ClientRect();
  if (!transparent_) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(client);
  }
  const bool pressed = drawn == ubsDown || drawn == ubsExclusive || state_ == ubsExclusive;
  TRect content = client;
  if (!(drawn == ubsInactive && state_ != ubsExclusive)) {
    content = DrawButtonFace(c, client, style_ != bsWin31, pressed, flat_);
  } else if (flat_) {
    content = Rect(client.Left + 2, client.Top + 2, client.Right - 2, client.Bottom - 2);
  }
  if (state_ == ubsExclusive && !transparent_ && (!flat_ || drawn == ubsInactive)) {
    TRect r = Rect(content.Left - 1, content.Top - 1, content.Right + 1, content.Bottom + 1);
    for (int y = std::max(0, r.Top); y < std::min(r.Bottom, Height()); ++y)
      for (int x = std::max(0, r.Left); x < std::min(r.Right, Width()); ++x)
        c->SetPixels(x, y, (x + y) % 2 ? clBtnHighlight : clBtnFace);
  }
  TPoint offset{0, 0};
  if (pressed) offset = Point(1, 1);
  TUxButtonState glyphState = grayedInactive_ && state_ != ubsDisabled ? drawn : state_;
  c->SetFont(Font());
  c->Font()->SetColor(Font()->Color());
  glyph_->Draw(c, content, offset, Caption(), layout_, margin_, spacing_, glyphState,
               markDropDown_ && dropDownMenu_ != nullptr);
}
