// The component model the program's forms, data modules, datasets and
// controls are built on: TObject as the common sender type of events,
// TPersistent with Assign, TComponent with owner, names, owned components,
// free notification and the loading/destroying states, and TCollection /
// TCollectionItem for owned, ordered item lists (grid columns, field and
// index definitions).
//
// Ownership: a component frees the components it owns when it is destroyed
// (last created first); a collection frees its items.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/sysutils.h"

// Root of every object that can be the sender of an event.
class TObject {
 public:
  virtual ~TObject() = default;
  // The class name shown in messages ("TComponent").
  virtual AnsiString ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Horizontal alignment of a text (labels, edits, field values in controls).
enum TAlignment : int { taLeftJustify, taRightJustify, taCenter };

class TPersistent : public TObject {
 public:
  AnsiString ClassName() const override { return "TPersistent"; }
  // Copies source's state. The default asks source->AssignTo(this) and,
  // when that cannot help either, raises EConvertError
  // "Cannot assign a %s to a %s".
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

enum class TOperation { opInsert, opRemove };

// Component state flags.
enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csDestroying = 1u << 1,
  csDesigning = 1u << 2,
  csReading = 1u << 3,
};

class TComponent : public TPersistent {
 public:
  // The new component is owned by owner (may be null) and freed with it.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  AnsiString ClassName() const override { return "TComponent"; }

  const AnsiString& Name() const { return name_; }
  // Names are unique among the components of one owner (case-insensitive);
  // a taken name raises EComponentError "A component named %s already
  // exists". An empty name is always allowed.
  virtual void SetName(const AnsiString& name);
  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_[static_cast<std::size_t>(index)]; }
  int ComponentIndex() const;
  // Owned component by name (case-insensitive), or null.
  TComponent* FindComponent(std::string_view name) const;
  // Moves ownership (the component leaves its old owner).
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, last created first.
  void DestroyComponents();

  // `component` will get Notification(this, opRemove) when this component
  // goes (and vice versa); the link is dropped from both sides then.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  unsigned ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }
  bool IsDestroying() const { return (state_ & csDestroying) != 0; }
  // Marks this component and the ones it owns as loading; EndLoading calls
  // Loaded() on the owned components in creation order, then on this one.
  void BeginLoading();
  void EndLoading();
  // Marks the component (and the ones it owns) as being destroyed.
  void Destroying();

  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

 protected:
  // Another component was inserted into or removed from this one's owner
  // (or a component registered for free notification goes).
  virtual void Notification(TComponent* component, TOperation operation);
  // Called once the properties are set; clears the loading flag.
  virtual void Loaded();
  void SetComponentState(unsigned flags) { state_ |= flags; }
  void ClearComponentState(unsigned flags) { state_ &= ~flags; }

 private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);
  void RemoveNotification(TComponent* component);

  AnsiString name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  unsigned state_ = 0;
  intptr_t tag_ = 0;
};

class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;

  AnsiString ClassName() const override { return "TCollectionItem"; }
  TCollection* Collection() const { return collection_; }
  // Moves the item to another collection (null takes it out).
  void SetCollection(TCollection* collection);
  int Index() const;
  // Moves the item within its collection.
  void SetIndex(int index);
  int ID() const { return id_; }
  virtual AnsiString DisplayName() const { return ClassName(); }

 protected:
  // Tells the collection that this item (or, with all, every item) changed.
  void Changed(bool all);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
 public:
  using ItemFactory = std::function<TCollectionItem*(TCollection*)>;

  // factory creates the items Add() returns; it passes the collection to the
  // item's constructor, which inserts it.
  explicit TCollection(ItemFactory factory, TPersistent* owner = nullptr);
  ~TCollection() override;

  AnsiString ClassName() const override { return "TCollection"; }
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int index) const;  // EListError "List index out of bounds (%d)"
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  TPersistent* Owner() const { return owner_; }

  // Update() is deferred until the outermost EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Copies the items of another collection of the same kind (each through
  // its Assign).
  void Assign(const TPersistent* source) override;

 protected:
  // An item changed (null: the whole collection). Default: nothing.
  virtual void Update(TCollectionItem* item);
  // An item was added (opInsert) or is leaving (opRemove).
  virtual void Notify(TCollectionItem* item, TOperation operation);

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void Changed();

  ItemFactory factory_;
  TPersistent* owner_;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};

class EListError : public Exception {
 public:
  using Exception::Exception;
};

// The application's exception handler. Event code that must not let an
// exception escape (a notification from the window system, a timer) calls
// ApplicationHandleException inside its catch block; the GUI layer installs
// the handler that shows the message, and without one the message goes to
// standard error.
using TExceptionHandler = std::function<void(TObject* sender, const std::exception& e)>;
TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler);
void ApplicationHandleException(TObject* sender, const std::exception& e);
