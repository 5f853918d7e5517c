// Forms: the top-level window, its nominal frame, showing and closing,
// modal runs and the focus and dialog-key logic every form shares.
//
// Invariants: the Qt window is the client area plus the menu bar, placed
// inside the nominal frame of the border style; activeControl_ is the
// control keys go to (recorded before the exit handlers run);
// enteredControl_ is the control whose enter handlers have run.
#include "platform/gui/forms.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <set>

#include "platform/gui/actions.h"
#include "platform/gui/application.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/widget_bridge.h"
#include "platform/gui/window_hooks.h"
#include "platform/gui/window_menu.h"

using namespace gui_detail;

namespace {

// Never destroyed: a program that ends through exit() (Halt) frees its
// forms from an exit handler that may run after the statics are gone.
std::vector<TCustomForm*>& FormList() {
  static auto* forms = new std::vector<TCustomForm*>;
  return *forms;
}

std::set<TCustomForm*>& Released() {
  static auto* released = new std::set<TCustomForm*>;
  return *released;
}

TCustomForm* gActiveForm = nullptr;

}  // namespace

TFrameMetrics FrameMetricsOf(TFormBorderStyle style) {
  switch (style) {
    case bsNone:
      return {0, 0};
    case bsSingle:
    case bsDialog:
      return {3, 19};
    case bsSizeable:
      return {4, 19};
    case bsToolWindow:
      return {3, 16};
    case bsSizeToolWin:
      return {4, 16};
  }
  return {0, 0};
}

TSize CaptionButtonSizeOf(bool smallCaption) { return smallCaption ? TSize{12, 15} : TSize{18, 18}; }

// The form's window: the client area with the menu bar on top.
class TCustomForm::Window : public BridgeWidget<QWidget> {
 public:
  TCustomForm* form = nullptr;

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    if (form) Guard(form, [&] { form->WindowCloseRequested(); });
  }
  void moveEvent(QMoveEvent* e) override {
    BridgeWidget<QWidget>::moveEvent(e);
    if (form) {
      form->FrameFromWindow();
      if (!form->syncingFrame_) NoteWindowMoved(form, Point(geometry().x(), geometry().y()));
    }
  }
  void resizeEvent(QResizeEvent* e) override {
    BridgeWidget<QWidget>::resizeEvent(e);
    if (form) form->FrameFromWindow();
  }
  bool event(QEvent* e) override {
    // The form's hook chain (window add-ons) sees every event around the
    // form's own handling.
    if (form) return RunWindowHooks(form, e, [&] { return OwnEvent(e); });
    return OwnEvent(e);
  }
  bool OwnEvent(QEvent* e) {
    if (form) {
      if (e->type() == QEvent::WindowActivate) form->WindowActivated(true);
      if (e->type() == QEvent::WindowDeactivate) form->WindowActivated(false);
    }
    return BridgeWidget<QWidget>::event(e);
  }

 public:
  void Recreate() {
    const bool shown = isVisible();
    if (shown) hide();
    destroy(true, true);
    create();
    if (shown) show();
  }
};

// ------------------------------------------------------------- TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner, MakeWidget<Window>()) {
  window_ = static_cast<Window*>(Widget());
  window_->form = this;
  window_->setAttribute(Qt::WA_DeleteOnClose, false);
  BeginLoading();
  visible_ = false;
  parentFont_ = false;
  parentColor_ = false;
  color_ = clBtnFace;
  SetBoundsQuietly(0, 0, 320, 240);
  ApplyWindowFlags();
  ApplyGeometry();
  ApplyFontAndColor();
  FormList().push_back(this);
}

TCustomForm::~TCustomForm() {
  BeforeDestruction();
  Destroying();
  Released().erase(this);
  auto& list = FormList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (gActiveForm == this) gActiveForm = nullptr;
  if (menu_) {
    menu_->DetachFrom(this);
    menu_->RemoveFreeNotification(this);
  }
  menu_ = nullptr;
  activeControl_ = nullptr;
  enteredControl_ = nullptr;
  window_->form = nullptr;
  FormGone(this);
  WindowMenuFormGone(this);
}

TCustomForm* TCustomForm::ActiveFormInstance() { return gActiveForm; }
const std::vector<TCustomForm*>& TCustomForm::AllForms() { return FormList(); }

void TCustomForm::AfterConstruction() {
  if (created_) return;
  created_ = true;
  // Everything made in the constructor is loaded now, in creation order.
  BeginLoading();
  EndLoading();
  if (OnCreate) Guard(this, [&] { OnCreate(this); });
}

void TCustomForm::BeforeDestruction() {
  if (destroyFired_) return;
  destroyFired_ = true;
  if (OnDestroy) Guard(this, [&] { OnDestroy(this); });
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == menu_) {
    menu_ = nullptr;
    ApplyGeometry();
  }
}

// ---- window

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  // The frame rectangle stays; the client area follows the new frame.
  borderStyle_ = style;
  ApplyWindowFlags();
  ApplyGeometry();
  Realign();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  ApplyWindowFlags();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  formStyle_ = style;
  ApplyWindowFlags();
}

namespace {

Qt::WindowFlags WindowFlagsFor(TFormBorderStyle style, TBorderIcons icons, TFormStyle formStyle) {
  Qt::WindowFlags f;
  switch (style) {
    case bsNone:
      f = Qt::Window | Qt::FramelessWindowHint;
      break;
    case bsSingle:
    case bsSizeable:
      f = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      if (icons.Contains(biSystemMenu)) {
        if (icons.Contains(biMinimize)) f |= Qt::WindowMinimizeButtonHint;
        if (icons.Contains(biMaximize)) f |= Qt::WindowMaximizeButtonHint;
      }
      break;
    case bsDialog:
      f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      break;
    case bsToolWindow:
    case bsSizeToolWin:
      f = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      break;
  }
  if (style != bsNone && icons.Contains(biSystemMenu)) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (formStyle == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
  return f;
}

}  // namespace

void TCustomForm::ApplyWindowFlags() {
  bool shown = window_->isVisible();
  Qt::WindowFlags f = WindowFlagsFor(borderStyle_, borderIcons_, formStyle_);
  // A border or icon change keeps the keep-above state set in place.
  if (KeepAbove(this)) f |= Qt::WindowStaysOnTopHint;
  if (window_->windowFlags() == f) return;
  window_->setWindowFlags(f);
  if (shown) window_->show();
}

TWindowState TCustomForm::WindowState() const {
  if (!window_->isVisible()) return pendingState_;
  Qt::WindowStates s = window_->windowState();
  if (s & Qt::WindowMinimized) return wsMinimized;
  if (s & Qt::WindowMaximized) return wsMaximized;
  return wsNormal;
}

void TCustomForm::SetWindowState(TWindowState state) {
  pendingState_ = state;
  if (!window_->isVisible()) return;
  switch (state) {
    case wsNormal:
      window_->setWindowState(window_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
      break;
    case wsMinimized:
      window_->setWindowState(window_->windowState() | Qt::WindowMinimized);
      break;
    case wsMaximized:
      window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
      break;
  }
}

void TCustomForm::SetMenu(TMainMenu* menu) {
  if (menu == menu_) return;
  if (menu_) {
    menu_->DetachFrom(this);
    menu_->RemoveFreeNotification(this);
  }
  menu_ = menu;
  if (menu_) {
    menu_->FreeNotification(this);
    menu_->AttachTo(this);
  }
  // The frame stays; the client area loses (or regains) the menu bar.
  ApplyGeometry();
  Realign();
}

TRect TCustomForm::NonClientInsets() const { return Rect(0, menu_ ? kMenuBarHeight : 0, 0, 0); }

int TCustomForm::ClientWidth() const {
  TFrameMetrics m = FrameMetricsOf(borderStyle_);
  return std::max(0, width_ - 2 * m.border);
}

int TCustomForm::ClientHeight() const {
  TFrameMetrics m = FrameMetricsOf(borderStyle_);
  return std::max(0, height_ - 2 * m.border - m.caption - (menu_ ? kMenuBarHeight : 0));
}

void TCustomForm::SetClientWidth(int w) {
  TFrameMetrics m = FrameMetricsOf(borderStyle_);
  SetWidth(w + 2 * m.border);
}

void TCustomForm::SetClientHeight(int h) {
  TFrameMetrics m = FrameMetricsOf(borderStyle_);
  SetHeight(h + 2 * m.border + m.caption + (menu_ ? kMenuBarHeight : 0));
}

void TCustomForm::ApplyGeometry() {
  TFrameMetrics m = FrameMetricsOf(borderStyle_);
  QRect client(left_ + m.border, top_ + m.border + m.caption, std::max(1, width_ - 2 * m.border),
               std::max(1, height_ - 2 * m.border - m.caption));
  NoteRequestedPosition(this, Point(client.x(), client.y()));
  syncingFrame_ = true;
  bool fixed = borderStyle_ != bsSizeable && borderStyle_ != bsSizeToolWin;
  if (fixed) {
    window_->setFixedSize(client.size());
  } else {
    window_->setMinimumSize(0, 0);
    window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  window_->setGeometry(client);
  syncingFrame_ = false;
  if (menu_) menu_->PlaceIn(window_, client.width());
  for (TControl* c : controls_) c->ApplyGeometry();
  if (surface_) surface_->InvalidateAll();
}

void TCustomForm::FrameFromWindow() {
  if (syncingFrame_ || !window_->isVisible()) return;
  // A maximised window's size is the form's size too: its controls are laid
  // out in the window the user sees, not in the size it had before.
  if (window_->windowState() & Qt::WindowMinimized) return;
  TFrameMetrics m = FrameMetricsOf(borderStyle_);
  QRect g = window_->geometry();
  int left = g.x() - m.border, top = g.y() - m.border - m.caption;
  int width = g.width() + 2 * m.border, height = g.height() + 2 * m.border + m.caption;
  bool sized = width != width_ || height != height_;
  SetBoundsQuietly(left, top, width, height);
  if (sized) {
    if (menu_) menu_->PlaceIn(window_, g.width());
    Realign();
    Guard(this, [&] { Resize(); });
  }
}

bool TCustomForm::Showing() const { return visible_ && window_->isVisible(); }

void TCustomForm::RecreateWnd() { window_->Recreate(); }

void TCustomForm::TextChanged() {
  window_->setWindowTitle(ToQt(Caption(), CodePage()));
}

void TCustomForm::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
}

// ---- showing and closing

void TCustomForm::PlaceOnShow() {
  TCustomForm* center = nullptr;
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      break;
    case poMainFormCenter:
      center = Application->MainForm();
      break;
    case poOwnerFormCenter:
      center = dynamic_cast<TCustomForm*>(Owner());
      if (!center) center = Application->MainForm();
      break;
    default:
      return;
  }
  int x, y;
  if (center && center != this) {
    x = center->Left() + (center->Width() - width_) / 2;
    y = center->Top() + (center->Height() - height_) / 2;
  } else {
    x = (Screen->Width() - width_) / 2;
    y = (Screen->Height() - height_) / 2;
  }
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetBounds(x, y, width_, height_);
}

void TCustomForm::SetVisible(bool visible) {
  if (visible == visible_ && visible == window_->isVisible()) return;
  if (visible) {
    if (!created_) AfterConstruction();
    visible_ = true;
    PlaceOnShow();
    Guard(this, [&] { DoShow(); });
    if (!visible_) return;  // OnShow hid it again
    ApplyGeometry();
    StayAboveOwner();
    if (pendingState_ == wsMinimized)
      window_->showMinimized();
    else if (pendingState_ == wsMaximized)
      window_->showMaximized();
    else
      window_->show();
    if (!activeControl_) FocusFirst();
    SyncQtFocus();
  } else {
    // A modal form that is hidden ends its run (else the loop would wait
    // for a window nobody can see).
    if (Modal() && modalResult_ == mrNone) SetModalResult(mrCancel);
    visible_ = false;
    Guard(this, [&] { DoHide(); });
    window_->hide();
    if (active_) WindowActivated(false);
  }
  VisibleChanged();
}

void TCustomForm::StayAboveOwner() {
  // A dialog stays above the form that owns it (or the main form) without
  // being a Qt child of it: the forms own each other, not the widgets.
  // A modal form belongs to the window that was active when it opened: a
  // window manager raises the window a dialog belongs to with it, so a
  // message box over a second window must not bring the main form up.
  TCustomForm* above = nullptr;
  if (Modal()) {
    TCustomForm* active = ActiveFormInstance();
    if (active && active != this && active->Visible()) above = active;
  }
  if (!above) above = dynamic_cast<TCustomForm*>(Owner());
  if (!above || !above->Visible()) above = Application->MainForm();
  if (!above || above == this || !above->Visible()) return;
  window_->winId();
  QWindow* mine = window_->windowHandle();
  QWindow* theirs = above->window_->windowHandle();
  if (mine && theirs && mine != theirs) mine->setTransientParent(theirs);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::Show() {
  SetVisible(true);
  RaiseWindow(window_);
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CloseQuery() {
  if (IsBusy(this)) return false;
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::Close() {
  if (Modal()) {
    SetModalResult(mrCancel);
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide:
      Hide();
      break;
    case caMinimize:
      SetWindowState(wsMinimized);
      break;
    case caFree:
      Release();
      break;
    case caNone:
      break;
  }
}

bool TCustomForm::WindowCloseRequested() {
  if (IsBusy(this)) return false;
  Close();
  return true;
}

void TCustomForm::SetModalResult(TModalResult result) {
  modalResult_ = result;
  if (result != mrNone && modalLoop_) modalLoop_->quit();
}

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    if (action == caNone) modalResult_ = mrNone;
    if (action == caFree) Release();
  } catch (const std::exception& e) {
    modalResult_ = mrNone;
    Application->HandleException(this, e);
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || Modal()) throw EInvalidOperation("Cannot make a visible window modal");
  if (!created_) AfterConstruction();
  TCustomForm* previous = gActiveForm;
  modalResult_ = mrNone;
  ++modalLevel_;
  ++Application->modalLevel_;
  ++gModalStarts;
  QEventLoop loop;
  modalLoop_ = &loop;
  auto finish = [&] {
    modalLoop_ = nullptr;
    window_->hide();
    visible_ = false;
    window_->setWindowModality(Qt::NonModal);
    --modalLevel_;
    --Application->modalLevel_;
    if (active_) WindowActivated(false);
    if (previous && previous != this && std::count(FormList().begin(), FormList().end(), previous) &&
        previous->Visible()) {
      previous->Widget()->activateWindow();
      previous->WindowActivated(true);
    }
  };
  try {
    window_->setWindowModality(Qt::ApplicationModal);
    Show();
    while (true) {
      if (modalResult_ == mrNone && !Application->Terminated()) loop.exec();
      if (Application->Terminated()) modalResult_ = mrCancel;
      if (modalResult_ == mrNone) continue;
      CloseModal();
      if (modalResult_ != mrNone || Application->Terminated()) break;
    }
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    Guard(this, [&] { DoHide(); });
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return modalResult_;
}

void TCustomForm::Release() {
  Released().insert(this);
  QTimer::singleShot(0, qApp, [form = this] {
    if (!Released().count(form)) return;
    Released().erase(form);
    form->BeforeDestruction();
    delete form;
  });
}

void TCustomForm::SetFocus() {
  if (!active_) {
    if (!Visible() || !Enabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    RaiseWindow(window_);
    WindowActivated(true);
  }
}

// ---- activation

void TCustomForm::WindowActivated(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active) {
    gActiveForm = this;
    if (!activeControl_) FocusFirst();
    if (activeControl_ && enteredControl_ != activeControl_) SetFocusedControl(activeControl_);
    SyncQtFocus();
    Guard(this, [&] { Activate(); });
  } else {
    if (gActiveForm == this) gActiveForm = nullptr;
    CancelPopups(nullptr, nullptr);
    Guard(this, [&] { Deactivate(); });
  }
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

// ---- focus

void TCustomForm::FocusFirst() {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  for (TWinControl* c : list)
    if (c->CanFocus() && c->TabStop()) {
      activeControl_ = c;
      return;
    }
}

void TCustomForm::SyncQtFocus() {
  if (activeControl_) {
    if (QWidget* w = activeControl_->FocusWidget()) w->setFocus(Qt::OtherFocusReason);
  } else {
    window_->setFocus(Qt::OtherFocusReason);
  }
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control && (control == this || GetParentForm(control) != this || (!IsLoading() && !control->CanFocus())))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  if (active_ && Showing() && !IsLoading()) {
    SetFocusedControl(control);
    return;
  }
  activeControl_ = control;
  if (Showing()) SyncQtFocus();
}

void TCustomForm::FocusControl(TWinControl* control) {
  if (!control->CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  bool wasActive = active_;
  SetActiveControl(control);
  if (!wasActive) SetFocus();
}

namespace {

TWinControl* CommonAncestor(TWinControl* a, TWinControl* b) {
  for (TWinControl* x = a; x; x = x->Parent())
    if (x->ContainsControl(b)) return x;
  return nullptr;
}

}  // namespace

bool TCustomForm::SetFocusedControl(TWinControl* target) {
  if (inExit_) {
    // A handler moves the focus while the previous control is being left:
    // record it; the move in progress sees the change and gives way.
    activeControl_ = target;
    ++focusSerial_;
    return true;
  }
  if (target == enteredControl_ && target == activeControl_) {
    SyncQtFocus();
    return true;
  }
  TWinControl* old = enteredControl_;
  activeControl_ = target;
  int serial = ++focusSerial_;
  bool vetoed = false;
  if (old && old != target) {
    TWinControl* common = target ? CommonAncestor(old, target) : this;
    inExit_ = true;
    try {
      for (TWinControl* c = old; c && c != common && c != this; c = c->Parent()) {
        c->DoExit();
        if (focusSerial_ != serial) break;
      }
    } catch (const std::exception& e) {
      inExit_ = false;
      activeControl_ = old;
      SyncQtFocus();
      Application->HandleException(old, e);
      return false;
    }
    inExit_ = false;
    if (focusSerial_ != serial) {
      vetoed = true;
      if (activeControl_ == old || !activeControl_) {
        activeControl_ = old;
        SyncQtFocus();
        return false;
      }
      target = activeControl_;
    }
  }
  TWinControl* from = old;
  enteredControl_ = target;
  if (from != target) NotifyFocusChanged(target);
  SyncQtFocus();
  // Pop-ups of the control left behind close.
  if (from && from != target) CancelPopupsOwnedBy(from, target);
  if (target) {
    TWinControl* common = from ? CommonAncestor(from, target) : this;
    std::vector<TWinControl*> chain;
    for (TWinControl* c = target; c && c != common && c != this; c = c->Parent()) chain.insert(chain.begin(), c);
    int enterSerial = focusSerial_;
    for (TWinControl* c : chain) {
      Guard(c, [&] { c->DoEnter(); });
      if (focusSerial_ != enterSerial) break;
    }
  }
  return !vetoed;
}

void TCustomForm::ControlGoing(TControl* control) {
  auto* w = dynamic_cast<TWinControl*>(control);
  if (!w) return;
  bool hadFocus = false;
  if (activeControl_ && w->ContainsControl(activeControl_)) {
    activeControl_ = nullptr;
    hadFocus = true;
  }
  if (enteredControl_ && w->ContainsControl(enteredControl_)) {
    enteredControl_ = nullptr;
    hadFocus = true;
  }
  if (hadFocus && !IsDestroying()) window_->setFocus(Qt::OtherFocusReason);
}

void TCustomForm::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
  // Tab walks the whole form; arrows stay among current's siblings.
  TWinControl* scope = this;
  if (!checkTabStop && current && current->Parent()) scope = current->Parent();
  std::vector<TWinControl*> list;
  scope->GetTabOrderList(list);
  if (list.empty()) return;
  int n = static_cast<int>(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[static_cast<std::size_t>(i)] == current) start = i;
  if (start < 0) start = forward ? -1 : n;
  for (int step = 1; step <= n; ++step) {
    int i = ((start + (forward ? step : -step)) % n + n) % n;
    TWinControl* c = list[static_cast<std::size_t>(i)];
    if (c == current) return;
    if (!checkTabStop && c->Parent() != scope) continue;
    if (!c->CanFocus() || (checkTabStop && !c->TabStop())) continue;
    SetFocusedControl(c);
    return;
  }
}

TButton* TCustomForm::FindButton(bool wantDefault) const {
  std::vector<const TWinControl*> stack{this};
  while (!stack.empty()) {
    const TWinControl* w = stack.back();
    stack.pop_back();
    for (int i = w->ControlCount() - 1; i >= 0; --i) {
      TControl* c = w->Controls(i);
      if (auto* b = dynamic_cast<TButton*>(c)) {
        if ((wantDefault ? b->Default() : b->Cancel()) && b->CanFocus()) return b;
      }
      if (auto* cw = dynamic_cast<TWinControl*>(c)) stack.push_back(cw);
    }
  }
  return nullptr;
}

bool TCustomForm::DialogKey(Word key, TShiftState shift) {
  if (shift.Contains(ssAlt)) return false;
  TShiftState keys = shift * TShiftState{ssShift, ssAlt, ssCtrl};
  switch (key) {
    case VK_TAB:
      if (shift.Contains(ssCtrl)) return false;
      SelectNext(activeControl_, !shift.Contains(ssShift), true);
      return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      if (!activeControl_) return false;
      SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
      return true;
    case VK_RETURN: {
      if (!keys.Empty()) return false;
      TButton* b = dynamic_cast<TButton*>(activeControl_);
      if (!b || !b->CanFocus()) b = FindButton(true);
      if (!b) return false;
      if (!CheckExitBeforeAction(b)) return true;
      b->Click();
      return true;
    }
    case VK_ESCAPE: {
      if (!keys.Empty()) return false;
      TButton* b = FindButton(false);
      if (!b) return false;
      b->Click();
      return true;
    }
    default:
      return false;
  }
}

void TCustomForm::NotifyFocusChanged(TWinControl* focused) {
  std::vector<TControl*> all;
  std::vector<const TWinControl*> stack{this};
  while (!stack.empty()) {
    const TWinControl* w = stack.back();
    stack.pop_back();
    for (int i = 0; i < w->ControlCount(); ++i) {
      TControl* c = w->Controls(i);
      all.push_back(c);
      if (auto* cw = dynamic_cast<TWinControl*>(c)) stack.push_back(cw);
    }
  }
  for (TControl* c : all) Guard(c, [&] { c->FocusChanged(focused); });
}

bool TCustomForm::CheckExitBeforeAction(const TControl* actor) {
  if (auto* b = dynamic_cast<const TButton*>(actor)) {
    if (b->Cancel() || b->ModalResult() == mrCancel || b->ModalResult() == mrAbort) return true;
  }
  TWinControl* focused = activeControl_;
  if (!focused || focused == actor) return true;
  bool passed = true;
  try {
    passed = focused->ExitCheck();
  } catch (const std::exception& e) {
    Application->HandleException(focused, e);
    passed = false;
  }
  return passed;
}

bool TCustomForm::IsShortCut(Word key, TShiftState shift) {
  TShortCut sc = ShortCut(key, shift);
  if (sc == scNone || (key >= VK_SHIFT && key <= VK_MENU)) return false;
  if (menu_ && menu_->IsShortCut(sc)) return true;
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* list = dynamic_cast<TActionList*>(Components(i)))
      if (list->IsShortCut(sc)) return true;
  return false;
}

// ------------------------------------------------------------- TDataModule

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) { BeginLoading(); }

TDataModule::~TDataModule() { BeforeDestruction(); }

void TDataModule::AfterConstruction() {
  if (created_) return;
  created_ = true;
  BeginLoading();
  EndLoading();
  if (OnCreate) Guard(this, [&] { OnCreate(this); });
}

void TDataModule::BeforeDestruction() {
  if (destroyFired_) return;
  destroyFired_ = true;
  if (OnDestroy) Guard(this, [&] { OnDestroy(this); });
}
