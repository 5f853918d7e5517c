// Actions and action lists; lists register with the application's idle
// processing for the whole of their life.
#include "platform/gui/actions.h"

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/image_list.h"

TAction::TAction(TComponent* owner) : TComponent(owner) {}

TAction::~TAction() { SetActionList(nullptr); }

void TAction::Changed() {
  auto copy = listeners_;
  for (auto& l : copy) l.second();
}

void TAction::SetCaption(const AnsiString& s) {
  caption_ = s;
  Changed();
}

void TAction::SetHint(const AnsiString& s) {
  hint_ = s;
  Changed();
}

void TAction::SetShortCut(TShortCut sc) {
  shortCut_ = sc;
  Changed();
}

void TAction::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Changed();
}

void TAction::SetChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  Changed();
}

void TAction::SetVisible(bool on) {
  if (on == visible_) return;
  visible_ = on;
  Changed();
}

void TAction::SetImageIndex(int index) {
  if (index == imageIndex_) return;
  imageIndex_ = index;
  Changed();
}

void TAction::SetActionList(TActionList* list) {
  if (list == list_) return;
  if (list_) {
    auto& v = list_->actions_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  list_ = list;
  if (list_) list_->actions_.push_back(this);
}

bool TAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

bool TAction::Execute() {
  Update();
  if (!enabled_ || !OnExecute) return false;
  OnExecute(this);
  return true;
}

void TAction::AddChangeListener(const TObject* key, std::function<void()> fn) {
  listeners_.emplace_back(key, std::move(fn));
}

void TAction::RemoveChangeListener(const TObject* key) {
  std::erase_if(listeners_, [&](const auto& p) { return p.first == key; });
}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {
  Application->AddIdleListener(this, [this] { UpdateActions(); });
}

TActionList::~TActionList() {
  Application->RemoveIdleListener(this);
  for (TAction* a : std::vector<TAction*>(actions_)) a->list_ = nullptr;
}

bool TActionList::IsShortCut(TShortCut sc) {
  for (TAction* a : std::vector<TAction*>(actions_)) {
    if (a->ShortCut() != sc || !a->Visible()) continue;
    a->Update();
    if (!a->Enabled()) continue;
    return a->Execute();
  }
  return false;
}

void TActionList::UpdateActions() {
  for (TAction* a : std::vector<TAction*>(actions_)) a->Update();
}

void TActionList::SetImages(TImageList* images) {
  if (images == images_) return;
  if (images_) RemoveFreeNotification(images_);
  images_ = images;
  if (images_) FreeNotification(images_);
  auto copy = actions_;
  for (TAction* a : copy) a->Changed();
}

void TActionList::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == images_) images_ = nullptr;
}
