// The control tree over Qt widgets, the bridge from widget events to the
// controls' hooks and the pictures of self-painting controls.
//
// Invariants: a control's widget is a child of its parent's widget exactly
// while it has a parent; its geometry is the stored bounds moved by the
// parent's non-client insets; a hidden control's widget is hidden; every
// hook called from Qt runs inside Guard.
#include "platform/gui/controls.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPalette>
#include <QToolTip>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/widget_bridge.h"

namespace gui_detail {

bool Guard(TObject* sender, const std::function<void()>& fn) {
  try {
    fn();
    return true;
  } catch (const std::exception& e) {
    ApplicationHandleException(sender, e);
  } catch (...) {
    ApplicationHandleException(sender, Exception("Unknown exception"));
  }
  return false;
}

// ----------------------------------------------------------- ControlSurface

class ControlSurface::Target : public CanvasTarget {
 public:
  Target(ControlSurface* surface, bool client) : surface_(surface), client_(client) {}
  QImage* Image() override {
    surface_->EnsureImage();
    if (client_) {
      TRect in = surface_->control_->NonClientInsets();
      origin = QPoint(in.Left, in.Top);
    }
    return &surface_->image;
  }
  void Touched(const QRect& r) override {
    QWidget* w = surface_->control_->Widget();
    if (w) w->update(r.translated(origin));
  }

 private:
  ControlSurface* surface_;
  bool client_;
};

ControlSurface::ControlSurface(TControl* control)
    : control_(control),
      clientTarget_(std::make_unique<Target>(this, true)),
      windowTarget_(std::make_unique<Target>(this, false)) {
  canvas.SetTarget(clientTarget_.get());
  windowCanvas.SetTarget(windowTarget_.get());
  canvas.Font()->Assign(control->Font());
}

ControlSurface::~ControlSurface() = default;

void ControlSurface::EnsureImage() {
  QSize size = control_->Widget()->size();
  if (size.isEmpty()) size = QSize(1, 1);
  if (image.size() == size) return;
  QImage next(size, QImage::Format_ARGB32_Premultiplied);
  next.fill(Qt::transparent);
  image = next;
  pending = QRegion(image.rect());
}

void ControlSurface::InvalidateAll() { pending = QRegion(QRect(QPoint(0, 0), control_->Widget()->size())); }

void ControlSurface::Invalidate(const QRect& widgetRect) { pending += widgetRect; }

void ControlSurface::PaintPending() {
  EnsureImage();
  pending &= QRegion(image.rect());
  if (pending.isEmpty()) return;
  QRegion region = pending;
  pending = QRegion();
  QPainter p(&image);
  p.setClipRegion(region);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(region.boundingRect(), Qt::transparent);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  TRect in = control_->NonClientInsets();
  bool hasFrame = in.Left || in.Top || in.Right || in.Bottom;
  if (hasFrame) {
    windowTarget_->painter = &p;
    windowTarget_->origin = QPoint();
    Guard(control_, [&] { control_->PaintNonClient(&windowCanvas); });
    windowTarget_->painter = nullptr;
  }
  QRect client(in.Left, in.Top, image.width() - in.Left - in.Right, image.height() - in.Top - in.Bottom);
  p.save();
  p.setClipRegion(region & QRegion(client));
  p.translate(in.Left, in.Top);
  clientTarget_->origin = QPoint(in.Left, in.Top);
  clientTarget_->painter = &p;
  Guard(control_, [&] { control_->Paint(); });
  clientTarget_->painter = nullptr;
  p.restore();
}

// ----------------------------------------------------------- ControlBinding

ControlBinding::ControlBinding(QWidget* self) : self_(self) {
  self->setMouseTracking(true);
  self->setFocusPolicy(Qt::NoFocus);
}

ControlBinding::~ControlBinding() = default;

ControlBinding* BindingOf(QObject* w) { return dynamic_cast<ControlBinding*>(w); }

TControl* ControlOf(QObject* o) {
  for (; o; o = o->parent()) {
    ControlBinding* b = BindingOf(o);
    if (b && b->control) return b->control;
  }
  return nullptr;
}

TPoint ControlBinding::ClientPos(const QPointF& widgetPos) const {
  TRect in = control->NonClientInsets();
  QPoint p = widgetPos.toPoint();
  return Point(p.x() - in.Left, p.y() - in.Top);
}

bool ControlBinding::Paint(QPaintEvent* e) {
  if (!control || !control->PaintsItself()) return false;
  ControlSurface* s = control->surface_.get();
  if (!s) {
    control->Canvas();
    s = control->surface_.get();
  }
  s->PaintPending();
  QPainter wp(self_);
  wp.drawImage(e->rect(), s->image, e->rect());
  return true;
}

namespace {

TMouseButton ButtonOf(Qt::MouseButton b) {
  switch (b) {
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

}  // namespace

void ControlBinding::MousePressed(QMouseEvent* e) {
  if (!control) return;
  TControl* c = control;
  TPoint p = ClientPos(e->position());
  if (e->button() == Qt::LeftButton) leftPressed_ = true;
  Guard(c, [&] { c->MouseDown(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x, p.y); });
}

void ControlBinding::MouseReleased(QMouseEvent* e, bool native) {
  if (!control) return;
  TControl* c = control;
  TPoint p = ClientPos(e->position());
  bool click = e->button() == Qt::LeftButton && leftPressed_;
  if (e->button() == Qt::LeftButton) leftPressed_ = false;
  // The pointer is released over the control: that is a click, unless the
  // widget reports its own clicks.
  if (click && !native && c->ControlStyle().Contains(csClickEvents) &&
      QRect(QPoint(0, 0), self_->size()).contains(e->position().toPoint())) {
    if (!Guard(c, [&] { c->Click(); })) return;
    if (BindingOf(self_)->control != c) return;  // freed by its own click
  }
  Guard(c, [&] { c->MouseUp(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x, p.y); });
}

void ControlBinding::MouseDoubleClicked(QMouseEvent* e) {
  if (!control) return;
  TControl* c = control;
  TPoint p = ClientPos(e->position());
  if (e->button() == Qt::LeftButton) leftPressed_ = false;
  TShiftState shift = ShiftOf(e->modifiers(), e->buttons()) << ssDouble;
  if (!Guard(c, [&] { c->MouseDown(ButtonOf(e->button()), shift, p.x, p.y); })) return;
  if (e->button() == Qt::LeftButton && c->ControlStyle().Contains(csDoubleClicks)) Guard(c, [&] { c->DblClick(); });
}

void ControlBinding::MouseMoved(QMouseEvent* e) {
  if (!control) return;
  TControl* c = control;
  TPoint p = ClientPos(e->position());
  Guard(c, [&] { c->MouseMove(ShiftOf(e->modifiers(), e->buttons()), p.x, p.y); });
}

void ControlBinding::Entered() {
  if (control) Guard(control, [&] { control->MouseEnter(); });
}

void ControlBinding::Left() {
  if (control) Guard(control, [&] { control->MouseLeave(); });
}

bool ControlBinding::Wheel(QWheelEvent* e) {
  if (!control) return false;
  bool handled = false;
  TPoint p = ClientPos(e->position());
  Guard(control, [&] { handled = control->MouseWheel(ShiftOf(e->modifiers(), e->buttons()), e->angleDelta().y(), p); });
  return handled;
}

bool ControlBinding::ContextMenu(QContextMenuEvent* e) {
  if (!control) return false;
  bool handled = false;
  TPoint at = ClientPos(QPointF(e->pos()));
  Guard(control, [&] { handled = control->ContextPopup(at); });
  if (handled) return true;
  // The nearest control with a pop-up menu shows it, as the message goes up
  // the parents on the original platform.
  for (TControl* c = control; c; c = c->Parent()) {
    TPopupMenu* menu = c->PopupMenu();
    if (menu && menu->AutoPopup()) {
      menu->SetPopupComponent(control);
      QPoint g = e->globalPos();
      Guard(menu, [&] { menu->Popup(g.x(), g.y()); });
      return true;
    }
  }
  return false;
}

void ControlBinding::Resized() {
  if (!control) return;
  if (control->surface_) control->surface_->InvalidateAll();
}


}  // namespace gui_detail

using namespace gui_detail;

// ------------------------------------------------------------------ TControl

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), widget_(widget) {
  // Built in code like a streamed form: a component made for a loading
  // owner loads too, so Loaded reaches it.
  if (owner && owner->IsLoading()) BeginLoading();
  if (ControlBinding* b = BindingOf(widget_)) b->control = this;
  font_.OnChange = [this](TObject*) { FontObjectChanged(); };
  widget_->hide();
  widget_->setFont(QtFontOf(font_));
}

TControl::~TControl() {
  Destroying();
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
  if (ControlBinding* b = BindingOf(widget_)) b->control = nullptr;
  surface_.reset();
  delete widget_;
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  for (TWinControl* p = parent; p; p = p->parent_)
    if (p == this) throw EInvalidOperation("Control cannot have itself as parent");
  if (parent_) {
    if (TCustomForm* form = GetParentForm(this)) form->ControlGoing(this);
    parent_->RemoveControl(this);
  }
  parent_ = parent;
  widget_->setParent(parent ? parent->widget_ : nullptr);
  if (parent) {
    parent->InsertControl(this);
    if (parentFont_) {
      fontFromParent_ = true;
      font_.Assign(&parent->font_);
      fontFromParent_ = false;
    }
    if (parentColor_ && color_ != parent->color_) {
      color_ = parent->color_;
      ApplyFontAndColor();
    }
  }
  ApplyGeometry();
  UpdateWidgetVisibility();
  UpdateToolTip();
  if (parent && align_ != alNone) parent->Realign();
}

void TControl::ApplyGeometry() {
  TRect in = parent_ ? parent_->NonClientInsets() : TRect{};
  widget_->setGeometry(left_ + in.Left, top_ + in.Top, std::max(0, width_), std::max(0, height_));
}

void TControl::SetBoundsQuietly(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  bool sized = width != width_ || height != height_;
  bool moved = left != left_ || top != top_;
  if (!sized && !moved) return;
  SetBoundsQuietly(left, top, width, height);
  ApplyGeometry();
  if (sized) {
    Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Realign();
    Resize();
  }
  if (align_ != alNone && parent_ && parent_->aligning_ == 0) parent_->Realign();
}

TRect TControl::ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }

int TControl::ClientWidth() const {
  TRect in = NonClientInsets();
  return std::max(0, width_ - in.Left - in.Right);
}

int TControl::ClientHeight() const {
  TRect in = NonClientInsets();
  return std::max(0, height_ - in.Top - in.Bottom);
}

void TControl::SetClientWidth(int w) {
  TRect in = NonClientInsets();
  SetWidth(w + in.Left + in.Right);
}

void TControl::SetClientHeight(int h) {
  TRect in = NonClientInsets();
  SetHeight(h + in.Top + in.Bottom);
}

TPoint TControl::ClientOrigin() const {
  TRect in = NonClientInsets();
  QPoint g = widget_->mapToGlobal(QPoint(in.Left, in.Top));
  return Point(g.x(), g.y());
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.x + o.x, p.y + o.y);
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.x - o.x, p.y - o.y);
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_) parent_->Realign();
}

void TControl::UpdateWidgetVisibility() { widget_->setVisible(visible_ && parent_ != nullptr); }

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  UpdateWidgetVisibility();
  if (!visible) {
    if (TCustomForm* form = GetParentForm(this)) form->ControlGoing(this);
  }
  VisibleChanged();
  if (parent_ && align_ != alNone) parent_->Realign();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  widget_->setEnabled(enabled);
  if (!enabled) {
    if (TCustomForm* form = GetParentForm(this)) form->ControlGoing(this);
  }
  EnabledChanged();
}

void TControl::SetControlText(const AnsiString& text) {
  if (text == text_) return;
  text_ = text;
  TextChanged();
}

int TControl::CodePage() const { return CodePageOf(font_.Charset()); }

void TControl::SetParentFont(bool on) {
  parentFont_ = on;
  if (on && parent_) {
    fontFromParent_ = true;
    font_.Assign(&parent_->font_);
    fontFromParent_ = false;
  }
}

void TControl::FontObjectChanged() {
  if (!fontFromParent_) parentFont_ = false;
  if (surface_) surface_->canvas.Font()->Assign(&font_);
  ApplyFontAndColor();
  FontChanged();
  NotifyChildrenOfFont();
}

void TControl::NotifyChildrenOfFont() {
  auto* w = dynamic_cast<TWinControl*>(this);
  if (!w) return;
  for (TControl* c : w->controls_) {
    if (!c->parentFont_) continue;
    c->fontFromParent_ = true;
    c->font_.Assign(&font_);
    c->fontFromParent_ = false;
    c->ParentFontChanged();
  }
}

void TControl::SetColor(TColor color) {
  if (color == color_ && !parentColor_) return;
  color_ = color;
  parentColor_ = false;
  ApplyFontAndColor();
  ColorChanged();
  NotifyChildrenOfColor();
}

void TControl::SetParentColor(bool on) {
  if (on == parentColor_) return;
  parentColor_ = on;
  if (on && parent_ && parent_->color_ != color_) {
    color_ = parent_->color_;
    ApplyFontAndColor();
    ParentColorChanged();
    NotifyChildrenOfColor();
  }
}

void TControl::NotifyChildrenOfColor() {
  auto* w = dynamic_cast<TWinControl*>(this);
  if (!w) return;
  for (TControl* c : w->controls_) {
    if (!c->parentColor_) continue;
    c->color_ = color_;
    c->ApplyFontAndColor();
    c->ParentColorChanged();
    c->NotifyChildrenOfColor();
  }
}

void TControl::PaintColorChanged() {
  ApplyFontAndColor();
  Invalidate();
}

bool TControl::HoldsMouse() const {
  ControlBinding* b = BindingOf(widget_);
  return b && b->LeftPressed();
}

void TControl::PaintTo(TBitmap* bitmap, TPoint offset) {
  if (!bitmap || bitmap->Empty()) return;
  QImage& image = bitmap->MutableImage();
  widget_->render(&image, QPoint(offset.x, offset.y), QRegion(), QWidget::DrawWindowBackground);
}

void TControl::ApplyFontAndColor() {
  widget_->setFont(QtFontOf(font_));
  QPalette pal = widget_->palette();
  QColor fg = ToQColor(font_.Color());
  QColor bg = ToQColor(PaintColor());
  pal.setColor(QPalette::WindowText, fg);
  pal.setColor(QPalette::Text, fg);
  pal.setColor(QPalette::ButtonText, fg);
  pal.setColor(QPalette::Window, bg);
  widget_->setPalette(pal);
}

void TControl::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  if (cursor == crDefault)
    widget_->unsetCursor();
  else
    widget_->setCursor(CursorFor(cursor));
}

void TControl::SetHint(const AnsiString& hint) {
  hint_ = hint;
  UpdateToolTip();
}

bool TControl::ShowHint() const {
  if (parentShowHint_ && parent_) return parent_->ShowHint();
  return showHint_;
}

void TControl::SetShowHint(bool on) {
  showHint_ = on;
  parentShowHint_ = false;
  UpdateToolTip();
}

void TControl::SetParentShowHint(bool on) {
  parentShowHint_ = on;
  UpdateToolTip();
}

void TControl::UpdateToolTip() {
  AnsiString shortHint = hint_.substr(0, hint_.find('|'));
  bool show = ShowHint() && !shortHint.empty();
  widget_->setToolTip(show ? ToQt(shortHint, CodePage()) : QString());
  if (auto* w = dynamic_cast<TWinControl*>(this))
    for (TControl* c : w->controls_) c->UpdateToolTip();
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = menu;
  if (menu) menu->FreeNotification(this);
}

void TControl::SetBiDiMode(TBiDiMode mode) {
  if (mode == biDiMode_) return;
  biDiMode_ = mode;
  widget_->setLayoutDirection(UseRightToLeftAlignment() ? Qt::RightToLeft : Qt::LeftToRight);
  Invalidate();
}

void TControl::Invalidate() {
  if (surface_) surface_->InvalidateAll();
  widget_->update();
}

void TControl::InvalidateRect(const TRect& r) {
  TRect in = NonClientInsets();
  QRect wr = ToQRect(r).translated(in.Left, in.Top);
  if (surface_) surface_->Invalidate(wr);
  widget_->update(wr);
}

void TControl::Update() { widget_->repaint(); }

void TControl::Repaint() {
  Invalidate();
  widget_->repaint();
}

TCanvas* TControl::Canvas() {
  if (!surface_) surface_ = std::make_unique<ControlSurface>(this);
  return &surface_->canvas;
}

void TControl::BringToFront() {
  if (parent_) {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
  }
  if (widget_->isWindow())
    RaiseWindow(widget_);
  else
    widget_->raise();
}

void TControl::SendToBack() {
  if (parent_) {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
  }
  widget_->lower();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

bool TControl::MouseWheel(TShiftState, int, TPoint) { return false; }

void TControl::Paint() {}

void TControl::FontChanged() { Invalidate(); }
void TControl::ColorChanged() { Invalidate(); }
void TControl::ParentFontChanged() {}
void TControl::ParentColorChanged() { Invalidate(); }
void TControl::EnabledChanged() { Invalidate(); }
void TControl::VisibleChanged() {}
void TControl::TextChanged() { Invalidate(); }
void TControl::SysColorChanged() { Invalidate(); }
void TControl::CancelMode(TControl*) {}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

// --------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {}

TWinControl::~TWinControl() {
  Destroying();
  // The form forgets a focus inside this control before anything goes.
  if (TCustomForm* form = GetParentForm(this)) form->ControlGoing(this);
  // Children go with their parent, whoever owns them.
  while (!controls_.empty()) delete controls_.back();
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    int at = w->pendingTabOrder_;
    if (at < 0 || at > static_cast<int>(tabList_.size())) at = static_cast<int>(tabList_.size());
    tabList_.insert(tabList_.begin() + at, w);
  }
  ControlsChanged();
}

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    w->pendingTabOrder_ = w->TabOrder();
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
  }
  ControlsChanged();
}

int TWinControl::TabOrder() const {
  if (!parent_) return pendingTabOrder_;
  auto& list = parent_->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!parent_) {
    pendingTabOrder_ = order;
    return;
  }
  auto& list = parent_->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (order < 0) order = 0;
  if (order > static_cast<int>(list.size())) order = static_cast<int>(list.size());
  list.insert(list.begin() + order, this);
}

bool TWinControl::CanFocus() const {
  const TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  for (const TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return form->Enabled();
}

bool TWinControl::Focused() const {
  const TCustomForm* form = GetParentForm(this);
  return form && form->ActiveControl() == this;
}

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm(this);
  if (!form) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  form->FocusControl(this);
}

void TWinControl::SetCtl3D(bool on) {
  if (on == ctl3D_) return;
  ctl3D_ = on;
  Realign();
  Invalidate();
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

void TWinControl::Realign() {
  if (aligning_) return;
  ++aligning_;
  try {
    AlignControls();
  } catch (...) {
    --aligning_;
    throw;
  }
  --aligning_;
}

void TWinControl::EnableAlign() {
  if (aligning_ > 0 && --aligning_ == 0) Realign();
}

void TWinControl::AlignControls() {
  TRect r = AlignRect();
  for (TAlign group : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
      if (c->align_ != group || !c->visible_) continue;
      int w = c->width_, h = c->height_;
      switch (group) {
        case alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), h);
          r.Top += h;
          break;
        case alBottom:
          c->SetBounds(r.Left, r.Bottom - h, r.Width(), h);
          r.Bottom -= h;
          break;
        case alLeft:
          c->SetBounds(r.Left, r.Top, w, r.Height());
          r.Left += w;
          break;
        case alRight:
          c->SetBounds(r.Right - w, r.Top, w, r.Height());
          r.Right -= w;
          break;
        case alClient:
          c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
          break;
        case alNone:
          break;
      }
    }
  }
}

void TWinControl::ApplyGeometry() {
  TControl::ApplyGeometry();
  // Children sit inside the non-client insets, which may have changed.
  for (TControl* c : controls_) c->ApplyGeometry();
}

bool TWinControl::DialogChar(char key) {
  for (TControl* c : std::vector<TControl*>(controls_)) {
    if (!c->Visible() || !c->Enabled()) continue;
    if (c->DialogChar(key)) return true;
  }
  return false;
}

QWidget* TWinControl::FocusWidget() const { return widget_; }

void TWinControl::KeyDown(Word& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(Word& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ------------------------------------------------------ graphic and custom

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner, MakeWidget<PlainWidget>()) {}

TCustomControl::TCustomControl(TComponent* owner) : TCustomControl(owner, MakeWidget<PlainWidget>()) {}

TCustomControl::TCustomControl(TComponent* owner, QWidget* widget) : TWinControl(owner, widget) {}

TCustomControl::~TCustomControl() {
  if (popupOwner_) UnregisterPopup(this);
}

void TCustomControl::ShowPopup(TPoint screenPos, TWinControl* owner) {
  QWidget* window = owner ? owner->Widget()->window() : nullptr;
  if (!popupOwner_) RegisterPopup(this);
  popupOwner_ = owner ? owner : this;
  // A tool window of the owner's window: above it, never activated, and
  // not blocked while that window is modal.
  widget_->setParent(window, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  widget_->setAttribute(Qt::WA_ShowWithoutActivating);
  widget_->setGeometry(screenPos.x, screenPos.y, width_, height_);
  widget_->show();
  if (QGuiApplication::platformName() != "offscreen") widget_->raise();
}

void TCustomControl::HidePopup() {
  if (!popupOwner_) return;
  popupOwner_ = nullptr;
  UnregisterPopup(this);
  widget_->hide();
  widget_->setParent(parent_ ? parent_->widget_ : nullptr, Qt::Widget);
  ApplyGeometry();
  UpdateWidgetVisibility();
}

TCustomForm* GetParentForm(const TControl* control) {
  const TControl* c = control;
  while (c && c->Parent()) c = c->Parent();
  return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(c));
}
