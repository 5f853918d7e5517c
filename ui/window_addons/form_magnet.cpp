// The magnet on the form's hook chain.
#include "ui/window_addons/form_magnet.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>

#include <algorithm>

#include "platform/gui/application.h"

namespace {

TPoint CursorPos() {
  const QPoint p = QCursor::pos();
  return TPoint{p.x(), p.y()};
}

void Collect(TComponent* root, bool deep, std::vector<TwaFormMagnet*>& out) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (auto* m = dynamic_cast<TwaFormMagnet*>(c)) out.push_back(m);
    if (deep) Collect(c, deep, out);
  }
}

}  // namespace

TwaFormMagnet::TwaFormMagnet(TComponent* owner) : TwaFormHookComponent(owner) {
  if (TCustomForm* form = HookedWindow()) settled_ = form->BoundsRect();
}

TwaFormMagnet::~TwaFormMagnet() = default;

void TwaFormMagnet::SetActive(bool on) {
  active_ = on;
  TCustomForm* form = HookedWindow();
  // Only a change at run time docks; a form being built keeps its place.
  if (on && form && !IsLoading() && !form->IsLoading()) DockNow();
}

TRect TwaFormMagnet::ReferenceArea() const {
  if (screenMagnet_.Area() == saFullScreen) return Rect(0, 0, Screen->Width(), Screen->Height());
  return Screen->WorkAreaRect();
}

std::vector<TwaFormMagnet*> TwaFormMagnet::Partners(bool skipGlued) const {
  std::vector<TwaFormMagnet*> all;
  if (Application) Collect(Application, !Name().empty(), all);
  // Forms owned by no one are on the screen list only.
  for (int i = 0; Screen && i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->Owner() != Application) Collect(f, true, all);
  }
  std::vector<TwaFormMagnet*> out;
  TCustomForm* own = HookedWindow();
  for (TwaFormMagnet* m : all) {
    if (m == this || m->ClassName() != ClassName() || !m->Active()) continue;
    if (std::find(out.begin(), out.end(), m) != out.end()) continue;
    TCustomForm* form = m->HookedWindow();
    if (!form || form == own || !form->Showing() || form->Parent() != (own ? own->Parent() : nullptr)) continue;
    if (skipGlued && std::any_of(glued_.begin(), glued_.end(), [&](const TwaGluedObject& g) { return g.Magnet == m; }))
      continue;
    out.push_back(m);
  }
  return out;
}

void TwaFormMagnet::SnapToForms(TRect& r, bool& snapped) {
  for (TwaFormMagnet* m : Partners(true)) {
    TCustomForm* other = m->HookedWindow();
    auto allow = [&] {
      bool allowed = true;
      if (OnMagnet) OnMagnet(this, other, allowed);
      return allowed;
    };
    r = SnapToRect(r, other->BoundsRect(), power_, allow, snapped);
  }
}

void TwaFormMagnet::SnapToArea(TRect& r) {
  r = ::SnapToArea(r, ReferenceArea(), screenMagnet_.Edges(), screenMagnet_.ScreenPower());
}

void TwaFormMagnet::CollectAgainst(const TRect& own) {
  glued_.clear();
  for (TwaFormMagnet* m : Partners(false)) {
    TCustomForm* other = m->HookedWindow();
    const TRect o = other->BoundsRect();
    if (!TouchesExactly(own, o)) continue;
    bool allow = true;
    if (OnGlue) OnGlue(this, other, allow);
    if (allow) glued_.push_back({m, o.Left - own.Left, o.Top - own.Top});
  }
}

void TwaFormMagnet::CollectGlued() {
  if (TCustomForm* form = HookedWindow()) CollectAgainst(form->BoundsRect());
}

void TwaFormMagnet::MoveGlued(const TRect& r) {
  const auto* hooks = TwaHookList::Instance();
  for (const TwaGluedObject& g : glued_) {
    // A partner freed during the move is skipped.
    if (!hooks || std::find(hooks->Items().begin(), hooks->Items().end(), g.Magnet) == hooks->Items().end())
      continue;
    TCustomForm* form = g.Magnet->HookedWindow();
    if (!form) continue;
    g.Magnet->movedByPartner_ = true;
    form->SetBounds(r.Left + g.DX, r.Top + g.DY, form->Width(), form->Height());
    g.Magnet->movedByPartner_ = false;
    g.Magnet->settled_ = form->BoundsRect();
  }
}

TRect TwaFormMagnet::ComputeSnap(TRect r, bool fromCursor, bool snap) {
  if (fromCursor) {
    const TPoint c = CursorPos();
    r = Bounds(c.x - cursorOffset_.x, c.y - cursorOffset_.y, r.Width(), r.Height());
  }
  if (snap) {
    bool snapped = false;
    SnapToForms(r, snapped);
    if (!snapped || glue_) SnapToArea(r);
  }
  if (glue_) MoveGlued(r);
  return r;
}

void TwaFormMagnet::DockNow() {
  TCustomForm* form = HookedWindow();
  if (!form) return;
  const TRect r = ComputeSnap(form->BoundsRect(), false, true);
  form->SetBounds(r.Left, r.Top, form->Width(), form->Height());
  settled_ = form->BoundsRect();
}

void TwaFormMagnet::BeforeMessage(TWindowMessage& message, bool& handled) {
  TwaFormHookComponent::BeforeMessage(message, handled);
  TCustomForm* form = HookedWindow();
  if (!form) return;
  if (message.Notice == TFormNotice::UserMoved && active_ && !movedByPartner_) {
    if (!dragStarted_) {
      const TPoint c = CursorPos();
      cursorOffset_ = TPoint{c.x - form->Left(), c.y - form->Top()};
      if (glue_) CollectAgainst(settled_);
      dragStarted_ = true;
    }
    if (glue_) MoveGlued(form->BoundsRect());
    if (OnDragMove) OnDragMove(this);
  } else if (message.Notice == TFormNotice::MoveSettled) {
    dragStarted_ = false;
    if (active_ && !movedByPartner_) {
      const TRect r = ComputeSnap(form->BoundsRect(), false, true);
      if (r.Left != form->Left() || r.Top != form->Top()) form->SetBounds(r.Left, r.Top, form->Width(), form->Height());
    }
    glued_.clear();
    settled_ = form->BoundsRect();
  }
}

void TwaFormMagnet::AfterMessage(TWindowMessage& message) {
  TwaFormHookComponent::AfterMessage(message);
  TCustomForm* form = HookedWindow();
  QEvent* e = message.Event;
  if (!form || !e) return;
  switch (e->type()) {
    case QEvent::Move:
      // The program placed the form: glue is measured from here.
      if (!dragStarted_) settled_ = form->BoundsRect();
      break;
    case QEvent::MouseButtonPress: {
      auto* m = static_cast<QMouseEvent*>(e);
      if (!dragable_ || m->button() != Qt::LeftButton) break;
      if (!StartSystemMove(form)) {
        // No window manager to hand the move to: follow the mouse.
        following_ = true;
        const QPoint g = m->globalPosition().toPoint();
        followOffset_ = TPoint{g.x() - form->Left(), g.y() - form->Top()};
      }
      break;
    }
    case QEvent::MouseMove:
      if (following_) {
        const QPoint g = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
        SimulateUserMove(form, g.x() - followOffset_.x, g.y() - followOffset_.y);
      }
      break;
    case QEvent::MouseButtonRelease:
      following_ = false;
      break;
    default:
      break;
  }
}
