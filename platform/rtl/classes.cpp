#include "platform/rtl/classes.h"

#include <algorithm>
#include <cstdio>

// ---------------------------------------------------------------- TPersistent

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError(Format("Cannot assign a %s to a %s", AnsiString("nil"), ClassName()));
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError(Format("Cannot assign a %s to a %s", ClassName(), dest->ClassName()));
}

// ----------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* owner) {
  // A component made while its owner loads (a dataset placed on a data
  // module) loads with it, so that its Loaded runs too.
  if (owner && owner->IsLoading()) state_ |= csLoading;
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Everyone who asked to be told hears it before anything is freed.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    other->RemoveNotification(this);
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetName(const AnsiString& name) {
  if (name == name_) return;
  if (!name.empty() && owner_) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this)
      throw EComponentError(Format("A component named %s already exists", name));
  }
  name_ = name;
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component->name_.empty()) {
    TComponent* other = FindComponent(component->name_);
    if (other && other != component)
      throw EComponentError(Format("A component named %s already exists", component->name_));
  }
  if (component->owner_) component->owner_->RemoveComponent(component);
  Insert(component);
  // Tell the owner and its components, as the library does, so that links
  // between siblings can be set up.
  Notification(component, TOperation::opInsert);
  for (TComponent* c : components_)
    if (c != component) c->Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component->owner_ != this) return;
  Notification(component, TOperation::opRemove);
  // A sibling's notification may free further components; copy first.
  std::vector<TComponent*> siblings = components_;
  for (TComponent* c : siblings)
    if (c != component && std::find(components_.begin(), components_.end(), c) != components_.end())
      c->Notification(component, TOperation::opRemove);
  Remove(component);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    Remove(c);
    delete c;
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                      freeNotifies_.end());
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  // Components created while loading are included; the list may grow.
  for (std::size_t i = 0; i < components_.size(); ++i) {
    TComponent* c = components_[i];
    if (c->IsLoading()) c->EndLoading();
  }
  if (IsLoading()) Loaded();
}

void TComponent::Destroying() {
  if (state_ & csDestroying) return;
  state_ |= csDestroying;
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) RemoveNotification(component);
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::Insert(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
  component->owner_ = nullptr;
}

// ------------------------------------------------------------ TCollectionItem

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_) return;
  if (collection_) collection_->RemoveItem(this);
  if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  int current = Index();
  if (current < 0 || index == current) return;
  auto& items = collection_->items_;
  index = std::clamp(index, 0, static_cast<int>(items.size()) - 1);
  items.erase(items.begin() + current);
  items.insert(items.begin() + index, this);
  Changed(true);
}

void TCollectionItem::Changed(bool all) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(all ? nullptr : this);
}

// ---------------------------------------------------------------- TCollection

TCollection::TCollection(ItemFactory factory, TPersistent* owner)
    : factory_(std::move(factory)), owner_(owner) {}

TCollection::~TCollection() {
  ++updateCount_;  // no Update() calls while tearing down
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = factory_(this);
  if (item->collection_ != this) item->SetCollection(this);
  Changed();
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  BeginUpdate();
  TCollectionItem* item = nullptr;
  try {
    item = Add();
    item->SetIndex(index);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return item;
}

void TCollection::Delete(int index) {
  delete Items(index);
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : items_)
    if (item->id_ == id) return item;
  return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TCollection*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : other->items_) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TOperation) {}

void TCollection::InsertItem(TCollectionItem* item) {
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = nextId_++;
  Notify(item, TOperation::opInsert);
}

void TCollection::RemoveItem(TCollectionItem* item) {
  Notify(item, TOperation::opRemove);
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  item->collection_ = nullptr;
  Changed();
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

// ------------------------------------------------------- exception handler

namespace {
TExceptionHandler& HandlerSlot() {
  static TExceptionHandler handler;
  return handler;
}
}  // namespace

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler) {
  TExceptionHandler previous = std::move(HandlerSlot());
  HandlerSlot() = std::move(handler);
  return previous;
}

void ApplicationHandleException(TObject* sender, const std::exception& e) {
  if (HandlerSlot()) {
    HandlerSlot()(sender, e);
    return;
  }
  std::fprintf(stderr, "%s\n", e.what());
}
