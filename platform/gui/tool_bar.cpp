// Tool buttons paint themselves flat: only the hovered button shows a
// raised frame and a pressed or down one a sunken frame, as tool bars of
// the time did.
#include "platform/gui/tool_bar.h"

#include <QImage>

#include <algorithm>

#include "platform/gui/actions.h"
#include "platform/gui/ext_controls.h"

// ------------------------------------------------------------- TToolButton

TToolButton::TToolButton(TComponent* owner) : TGraphicControl(owner) {
  SetBoundsQuietly(0, 0, 23, 22);
  ApplyGeometry();
  SetShowHint(true);
}

TToolButton::~TToolButton() { SetAction(nullptr); }

void TToolButton::SetStyle(TToolButtonStyle style) {
  style_ = style;
  if (style == tbsSeparator) SetWidth(8);
  if (auto* bar = dynamic_cast<TToolBar*>(Parent())) bar->Realign();
  Invalidate();
}

void TToolButton::SetGlyph(const TBitmap* bitmap) {
  glyph_.reset();
  grayGlyph_.reset();
  if (bitmap && !bitmap->Empty()) {
    glyph_ = std::make_unique<TBitmap>();
    glyph_->Assign(bitmap);
    glyph_->SetTransparent(true);
    // The disabled picture: every opaque pixel in the shadow colour.
    grayGlyph_ = std::make_unique<TBitmap>();
    grayGlyph_->Assign(bitmap);
    QImage& img = grayGlyph_->MutableImage();
    QRgb clear = img.pixel(0, img.height() - 1);
    QRgb shade = qRgb(128, 128, 128);
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, y) != clear) img.setPixel(x, y, shade);
    grayGlyph_->SetTransparent(true);
  }
  Invalidate();
}

void TToolButton::SetDown(bool on) {
  if (down_ == on) return;
  down_ = on;
  Invalidate();
}

void TToolButton::SetAction(TAction* action) {
  if (action == action_) return;
  if (action_) {
    action_->RemoveChangeListener(this);
    action_->RemoveFreeNotification(this);
  }
  action_ = action;
  if (!action_) return;
  action_->FreeNotification(this);
  action_->AddChangeListener(this, [this] { ActionChanged(); });
  ActionChanged();
}

void TToolButton::ActionChanged() {
  SetHint(action_->Hint());
  SetEnabled(action_->Enabled());
  SetDown(action_->Checked());
  SetVisible(action_->Visible());
}

void TToolButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == action_) action_ = nullptr;
}

void TToolButton::Click() {
  if (style_ == tbsSeparator || !Enabled()) return;
  if (!OnClick && action_)
    action_->Execute();
  else
    TGraphicControl::Click();
}

void TToolButton::MouseEnter() {
  hot_ = true;
  Invalidate();
  TGraphicControl::MouseEnter();
}

void TToolButton::MouseLeave() {
  hot_ = false;
  pressed_ = false;
  Invalidate();
  TGraphicControl::MouseLeave();
}

void TToolButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    pressed_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TToolButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  pressed_ = false;
  Invalidate();
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TToolButton::EnabledChanged() {
  if (!Enabled()) hot_ = pressed_ = false;
  TGraphicControl::EnabledChanged();
}

void TToolButton::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (style_ == tbsSeparator) {
    int x = r.Width() / 2 - 1;
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(x, 1);
    c->LineTo(x, r.Bottom - 1);
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(x + 1, 1);
    c->LineTo(x + 1, r.Bottom - 1);
    return;
  }
  bool sunken = down_ || (pressed_ && hot_);
  TRect frame = r;
  if (sunken)
    Frame3D(c, frame, clBtnShadow, clBtnHighlight, 1);
  else if (hot_ && Enabled())
    Frame3D(c, frame, clBtnHighlight, clBtnShadow, 1);
  const TBitmap* picture = Enabled() ? glyph_.get() : grayGlyph_.get();
  if (picture) {
    int shift = sunken ? 1 : 0;
    c->Draw((r.Width() - picture->Width()) / 2 + shift, (r.Height() - picture->Height()) / 2 + shift, picture);
  }
}

// ---------------------------------------------------------------- TToolBar

TToolBar::TToolBar(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() << csAcceptsControls);
  SetBoundsQuietly(0, 0, 150, 29);
  ApplyGeometry();
  SetAlign(alTop);
  SetShowHint(true);
}

void TToolBar::SetButtonWidth(int w) {
  buttonWidth_ = std::max(1, w);
  Realign();
}

void TToolBar::SetButtonHeight(int h) {
  buttonHeight_ = std::max(1, h);
  Realign();
}

void TToolBar::SetIndent(int indent) {
  indent_ = std::max(0, indent);
  Realign();
}

void TToolBar::ControlsChanged() { Realign(); }

void TToolBar::AlignControls() {
  int x = indent_;
  int height = ClientHeight();
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    auto* button = dynamic_cast<TToolButton*>(c);
    int w = c->Width(), h = c->Height();
    if (button && button->Style() == tbsButton) {
      w = buttonWidth_;
      h = buttonHeight_;
    } else if (button) {
      h = buttonHeight_;
    }
    c->SetBounds(x, std::max(0, (height - h) / 2), w, h);
    x += w;
  }
}

void TToolBar::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  // A line under the menu bar above the row.
  c->Pen()->SetColor(clBtnShadow);
  c->MoveTo(0, 0);
  c->LineTo(r.Right, 0);
  c->Pen()->SetColor(clBtnHighlight);
  c->MoveTo(0, 1);
  c->LineTo(r.Right, 1);
}
