// Per-form hook chains, form notices, user-move detection and keep-above.
//
// Invariants: a form's chain lists its hooks in the order they were added;
// dispatch walks a snapshot and skips hooks removed meanwhile, so a hook may
// leave (or be freed) inside its own handler; the per-form state dies with
// the form (FormGone from its destructor).
#include "platform/gui/window_hooks.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "platform/gui/widget_bridge.h"

namespace {

struct FormState {
  std::vector<TWindowHook*> hooks;
  TPoint requested{-32768, -32768};
  bool keepAbove = false;
  unsigned long long lastWinId = 0;
  std::unique_ptr<QTimer> settle;
};

// Never destroyed: forms freed from an exit handler still look here.
std::map<const TCustomForm*, FormState>& States() {
  static auto* states = new std::map<const TCustomForm*, FormState>;
  return *states;
}

FormState* Find(const TCustomForm* form) {
  auto it = States().find(form);
  return it == States().end() ? nullptr : &it->second;
}

bool Dispatch(TCustomForm* form, TWindowMessage& message, const std::function<bool()>& own) {
  FormState* state = Find(form);
  std::vector<TWindowHook*> chain = state ? state->hooks : std::vector<TWindowHook*>{};
  // Newest hook first; each one wraps the older ones and the form.
  std::function<bool(int)> step = [&](int i) -> bool {
    if (i < 0) return own ? own() : false;
    TWindowHook* hook = chain[static_cast<std::size_t>(i)];
    if (!HasWindowHook(form, hook)) return step(i - 1);
    bool handled = false;
    const bool ok = gui_detail::Guard(form, [&] { hook->BeforeMessage(message, handled); });
    if (!ok) return step(i - 1);
    const bool result = handled ? true : step(i - 1);
    if (HasWindowHook(form, hook)) gui_detail::Guard(form, [&] { hook->AfterMessage(message); });
    return result;
  };
  return step(static_cast<int>(chain.size()) - 1);
}

void Settle(TCustomForm* form) {
  FormState* state = Find(form);
  if (!state || !state->settle) return;
  if (PointerButtonsHeld()) {
    state->settle->start(50);
    return;
  }
  SendFormNotice(form, TFormNotice::MoveSettled);
}

}  // namespace

void AddWindowHook(TCustomForm* form, TWindowHook* hook) {
  if (!form || !hook) return;
  auto& hooks = States()[form].hooks;
  if (std::find(hooks.begin(), hooks.end(), hook) == hooks.end()) hooks.push_back(hook);
}

void RemoveWindowHook(TCustomForm* form, TWindowHook* hook) {
  if (FormState* state = Find(form))
    state->hooks.erase(std::remove(state->hooks.begin(), state->hooks.end(), hook), state->hooks.end());
}

bool HasWindowHook(TCustomForm* form, const TWindowHook* hook) {
  FormState* state = Find(form);
  return state && std::find(state->hooks.begin(), state->hooks.end(), hook) != state->hooks.end();
}

int WindowHookCount(TCustomForm* form) {
  FormState* state = Find(form);
  return state ? static_cast<int>(state->hooks.size()) : 0;
}

void SendFormNotice(TCustomForm* form, TFormNotice notice, int param) {
  if (!form) return;
  TWindowMessage message;
  message.Notice = notice;
  message.Param = param;
  Dispatch(form, message, nullptr);
}

void PostFormNotice(TCustomForm* form, TFormNotice notice, int param) {
  if (!form) return;
  QPointer<QWidget> window = form->Widget();
  QTimer::singleShot(0, window.data(), [form, window, notice, param] {
    if (window && Find(form)) SendFormNotice(form, notice, param);
  });
}

unsigned long long NativeWindowId(TCustomForm* form) {
  QWidget* w = form ? form->Widget() : nullptr;
  return w && w->internalWinId() ? static_cast<unsigned long long>(w->internalWinId()) : 0;
}

void RecreateWnd(TCustomForm* form) {
  if (form) form->RecreateWnd();
}

void SetKeepAbove(TCustomForm* form, bool on) {
  if (!form) return;
  States()[form].keepAbove = on;
  QWidget* w = form->Widget();
  Qt::WindowFlags flags = w->windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, on);
  // overrideWindowFlags keeps the widget's record in step without the
  // hide-and-recreate that setWindowFlags does; the native window changes
  // its state in place.
  w->overrideWindowFlags(flags);
  if (QWindow* handle = w->windowHandle()) handle->setFlags(flags);
}

bool KeepAbove(const TCustomForm* form) {
  const FormState* state = Find(form);
  return state && state->keepAbove;
}

bool StartSystemMove(TCustomForm* form) {
  QWindow* handle = form ? form->Widget()->windowHandle() : nullptr;
  return handle && form->Widget()->isVisible() && handle->startSystemMove();
}

bool StartSystemResize(TCustomForm* form) {
  QWindow* handle = form ? form->Widget()->windowHandle() : nullptr;
  return handle && form->Widget()->isVisible() && handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
}

void SimulateUserMove(TCustomForm* form, int left, int top) {
  if (!form) return;
  TFrameMetrics m = FrameMetricsOf(form->BorderStyle());
  QWidget* w = form->Widget();
  w->setGeometry(QRect(QPoint(left + m.border, top + m.border + m.caption), w->size()));
}

namespace gui_detail {

void NoteRequestedPosition(TCustomForm* form, TPoint clientTopLeft) { States()[form].requested = clientTopLeft; }

void NoteWindowMoved(TCustomForm* form, TPoint clientTopLeft) {
  FormState& state = States()[form];
  if (clientTopLeft.x == state.requested.x && clientTopLeft.y == state.requested.y) return;
  if (!form->Widget()->isVisible()) return;
  if (!state.settle) {
    state.settle = std::make_unique<QTimer>();
    state.settle->setSingleShot(true);
    QObject::connect(state.settle.get(), &QTimer::timeout, [form] { Settle(form); });
  }
  state.settle->start(120);
  SendFormNotice(form, TFormNotice::UserMoved);
}

bool RunWindowHooks(TCustomForm* form, QEvent* event, const std::function<bool()>& ownHandling) {
  if (event->type() == QEvent::WinIdChange) {
    FormState& state = States()[form];
    const unsigned long long id = NativeWindowId(form);
    if (id != 0) {
      if (state.lastWinId != 0 && state.lastWinId != id) PostFormNotice(form, TFormNotice::WindowRecreated);
      state.lastWinId = id;
    }
  }
  if (!FormHasHooks(form)) return ownHandling();
  TWindowMessage message;
  message.Event = event;
  return Dispatch(form, message, ownHandling);
}

bool FormHasHooks(const TCustomForm* form) {
  const FormState* state = Find(form);
  return state && !state->hooks.empty();
}

void FormGone(TCustomForm* form) { States().erase(form); }

}  // namespace gui_detail
