// TxbCollection: a list of object pointers that owns its items. Removing an
// item or clearing the list frees it through FreeItem, which descendants may
// override (the open-file list frees nothing). A descendant that overrides
// FreeItem must call Clear() in its own destructor: the base destructor can
// only reach the base FreeItem.
#pragma once

#include <algorithm>
#include <vector>

template <class T>
class TxbCollection {
 public:
  TxbCollection() = default;
  TxbCollection(const TxbCollection&) = delete;
  TxbCollection& operator=(const TxbCollection&) = delete;
  virtual ~TxbCollection() { Clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  // Items the list has room for without growing.
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  T* Items(int index) const { return items_[static_cast<std::size_t>(index)]; }
  int IndexOf(const T* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
  }
  void Add(T* item) { items_.push_back(item); }
  void Insert(int index, T* item) { items_.insert(items_.begin() + index, item); }
  // Takes the item out without freeing it; false when absent.
  bool Extract(const T* item) {
    int i = IndexOf(item);
    if (i < 0) return false;
    items_.erase(items_.begin() + i);
    return true;
  }
  // Takes the last item out without freeing it; null when empty.
  T* ExtractLast() {
    if (items_.empty()) return nullptr;
    T* item = items_.back();
    items_.pop_back();
    return item;
  }
  // Takes the item at index out and frees it.
  void Delete(int index) {
    T* item = items_[static_cast<std::size_t>(index)];
    items_.erase(items_.begin() + index);
    FreeItem(item);
  }
  // Removes and frees the item; false when absent.
  bool Remove(T* item) {
    int i = IndexOf(item);
    if (i < 0) return false;
    Delete(i);
    return true;
  }
  void Clear() {
    while (!items_.empty()) {
      T* item = items_.back();
      items_.pop_back();
      FreeItem(item);
    }
  }

 protected:
  virtual void FreeItem(T* item) { delete item; }

 private:
  std::vector<T*> items_;
};
