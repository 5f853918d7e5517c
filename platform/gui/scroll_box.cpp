#include "platform/gui/scroll_box.h"

#include <QScrollBar>
#include <QWidget>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/ext_controls.h"

int TControlScrollBar::Size() const { return VerticalScrollBarWidth(); }

void TControlScrollBar::SetRange(int range) {
  range_ = std::max(0, range);
  box_->UpdateBars();
}

void TControlScrollBar::SetVisible(bool on) {
  visible_ = on;
  box_->UpdateBars();
}

void TControlScrollBar::SetPosition(int position) {
  int extent = vertical_ ? box_->ClientHeight() : box_->ClientWidth();
  int p = std::clamp(position, 0, std::max(0, range_ - extent));
  if (!showing_) p = 0;
  int delta = position_ - p;
  if (delta == 0) return;
  position_ = p;
  if (vertical_)
    box_->ScrollBy(0, delta);
  else
    box_->ScrollBy(delta, 0);
  box_->UpdateBars();
}

TScrollBox::TScrollBox(TComponent* owner) : TCustomControl(owner) {
  SetBoundsQuietly(0, 0, 185, 41);
  hbar_ = new QScrollBar(Qt::Horizontal, Widget());
  vbar_ = new QScrollBar(Qt::Vertical, Widget());
  hbar_->hide();
  vbar_->hide();
  QObject::connect(hbar_, &QScrollBar::valueChanged, hbar_, [this](int v) {
    if (!updating_) horz_.SetPosition(v);
  });
  QObject::connect(vbar_, &QScrollBar::valueChanged, vbar_, [this](int v) {
    if (!updating_) vert_.SetPosition(v);
  });
  ApplyGeometry();
}

TScrollBox::~TScrollBox() = default;

void TScrollBox::SetBorderStyle(TBorderStyle style) {
  borderStyle_ = style;
  UpdateBars();
  Realign();
  Invalidate();
}

TRect TScrollBox::NonClientInsets() const {
  int f = Frame();
  int e = VerticalScrollBarWidth();
  return TRect{f, f, f + (vert_.showing_ ? e : 0), f + (horz_.showing_ ? e : 0)};
}

void TScrollBox::PaintNonClient(TCanvas* canvas) {
  if (borderStyle_ != bsSingle) return;
  TRect r = Rect(0, 0, Width(), Height());
  Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
  Frame3D(canvas, r, cl3DDkShadow, clBtnFace, 1);
}

void TScrollBox::Paint() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}

void TScrollBox::Resize() {
  UpdateBars();
  TCustomControl::Resize();
}

void TScrollBox::ScrollBy(int dx, int dy) {
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
  }
}

void TScrollBox::UpdateBars() {
  if (updating_) return;
  updating_ = true;
  int f = Frame(), e = VerticalScrollBarWidth();
  // Each bar's need depends on the other's thickness.
  bool h = false, v = false;
  for (int round = 0; round < 2; ++round) {
    int cw = Width() - 2 * f - (v ? e : 0), ch = Height() - 2 * f - (h ? e : 0);
    h = horz_.visible_ && horz_.range_ > cw;
    v = vert_.visible_ && vert_.range_ > ch;
  }
  bool changed = h != horz_.showing_ || v != vert_.showing_;
  horz_.showing_ = h;
  vert_.showing_ = v;
  int cw = ClientWidth(), ch = ClientHeight();
  hbar_->setGeometry(f, Height() - f - e, std::max(0, Width() - 2 * f - (v ? e : 0)), e);
  vbar_->setGeometry(Width() - f - e, f, e, std::max(0, Height() - 2 * f - (h ? e : 0)));
  hbar_->setRange(0, std::max(0, horz_.range_ - cw));
  hbar_->setPageStep(std::max(1, cw));
  hbar_->setSingleStep(horz_.increment_);
  vbar_->setRange(0, std::max(0, vert_.range_ - ch));
  vbar_->setPageStep(std::max(1, ch));
  vbar_->setSingleStep(vert_.increment_);
  hbar_->setVisible(h);
  vbar_->setVisible(v);
  updating_ = false;
  // Positions beyond the new ranges come back inside them.
  int hp = horz_.position_, vp = vert_.position_;
  if (!h) hp = 0;
  if (!v) vp = 0;
  hp = std::clamp(hp, 0, std::max(0, horz_.range_ - cw));
  vp = std::clamp(vp, 0, std::max(0, vert_.range_ - ch));
  if (hp != horz_.position_ || vp != vert_.position_) {
    int dx = horz_.position_ - hp, dy = vert_.position_ - vp;
    horz_.position_ = hp;
    vert_.position_ = vp;
    ScrollBy(dx, dy);
  }
  updating_ = true;
  hbar_->setValue(horz_.position_);
  vbar_->setValue(vert_.position_);
  updating_ = false;
  if (changed) {
    Realign();
    Invalidate();
  }
}
