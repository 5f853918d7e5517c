// The hook components' base: chain membership, the shared topmost state
// and the re-hook after a new native window.
#include "ui/window_addons/form_hook.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "platform/gui/window_menu.h"

namespace {
TwaHookList* gHookList = nullptr;
}  // namespace

TwaComponent::TwaComponent(TComponent* owner) : TComponent(owner), ownerForm_(owner) {}

TCustomForm* TwaComponent::OwnerAsForm() const { return dynamic_cast<TCustomForm*>(ownerForm_); }

TwaHookList* TwaHookList::Instance() { return gHookList; }

TwaFormHookComponent::TwaFormHookComponent(TComponent* owner) : TwaComponent(owner) {
  if (!dynamic_cast<TWinControl*>(owner)) throw EInvalidOperation("Owner must be TWinControl or its successor!");
  AddHook();
}

TwaFormHookComponent::~TwaFormHookComponent() { RemoveHook(); }

TCustomForm* TwaFormHookComponent::HookedWindow() const {
  if (OwnerForm() && OwnerForm()->IsDestroying()) return nullptr;
  auto* control = dynamic_cast<TControl*>(OwnerForm());
  if (auto* form = dynamic_cast<TCustomForm*>(control)) return form;
  return control ? GetParentForm(control) : nullptr;
}

unsigned long long TwaFormHookComponent::HookedHandle() const {
  return hookedForm_ ? NativeWindowId(hookedForm_) : 0;
}

TWindowMenu* TwaFormHookComponent::SystemMenuHandle() const { return TWindowMenu::Of(HookedWindow()); }

void TwaFormHookComponent::RefreshFrame() {
  if (QWidget* corner = MenuBarCorner(HookedWindow())) {
    corner->updateGeometry();
    corner->update();
  }
}

void TwaFormHookComponent::AddHook() {
  if (!gHookList) gHookList = new TwaHookList;
  if (std::find(gHookList->items_.begin(), gHookList->items_.end(), this) == gHookList->items_.end())
    gHookList->items_.push_back(this);
  hookedForm_ = HookedWindow();
  if (!hookedForm_) return;
  AddWindowHook(hookedForm_, this);
  hooked_ = true;
}

void TwaFormHookComponent::RemoveHook() {
  if (hookedForm_) RemoveWindowHook(hookedForm_, this);
  hookedForm_ = nullptr;
  hooked_ = false;
  if (!gHookList) return;
  auto& items = gHookList->items_;
  items.erase(std::remove(items.begin(), items.end(), this), items.end());
  if (items.empty()) {
    delete gHookList;
    gHookList = nullptr;
  }
}

void TwaFormHookComponent::ChangeOwner(TComponent* owner) {
  RemoveHook();
  SetOwnerForm(owner);
  AddHook();
}

bool TwaFormHookComponent::FormTopmost() const { return KeepAbove(HookedWindow()); }

void TwaFormHookComponent::SetFormTopmost(bool on) {
  storedTopmost_ = on;
  TCustomForm* form = HookedWindow();
  if (!form || on == KeepAbove(form)) return;
  SetKeepAbove(form, on);
  SendFormNotice(form, TFormNotice::TopmostChanged, on ? 1 : 0);
}

void TwaFormHookComponent::BeforeMessage(TWindowMessage& message, bool& handled) {
  (void)handled;
  if (message.Notice == TFormNotice::TopmostChanged) SetFormTopmost(message.Param != 0);
}

void TwaFormHookComponent::AfterMessage(TWindowMessage& message) {
  if (message.Notice == TFormNotice::WindowRecreated) AfterRehook();
}

void TwaFormHookComponent::AfterRehook() {
  if (TCustomForm* form = HookedWindow()) SetKeepAbove(form, storedTopmost_);
}

TwaHFormHookComponent::TwaHFormHookComponent(TComponent* owner)
    : TwaFormHookComponent(owner), hidden_(std::make_unique<QObject>()) {}

TwaHFormHookComponent::~TwaHFormHookComponent() = default;

void TwaHFormHookComponent::PostToHidden(int message) {
  QTimer::singleShot(0, hidden_.get(), [this, message] { HiddenWindowProc(message); });
}
