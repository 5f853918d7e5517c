// The check sets of a picking grid: which rows the user has checked, keyed
// by a field value. Both lists are unsorted and searched linearly; a
// picking list holds a handful of checks, so order of entry is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/stringlist.h"

// Integer keys (pointer-sized, as record identifiers are stored).
class TCheckedList {
 public:
  int Count() const { return static_cast<int>(keys_.size()); }
  std::intptr_t Items(int index) const { return keys_.at(static_cast<std::size_t>(index)); }
  int IndexOf(std::intptr_t key) const;
  bool Contains(std::intptr_t key) const { return IndexOf(key) != -1; }
  // Removes the key when present, else adds it.
  void Toggle(std::intptr_t key);
  void Clear() { keys_.clear(); }

 private:
  std::vector<std::intptr_t> keys_;
};

// Text keys, compared byte for byte (a check on "abc" is not one on "ABC").
class TCheckedStringList : public TStringList {
 public:
  // Index of the exact key, or -1.
  int IndexOfKey(const AnsiString& key) const;
  bool GetChecked(const AnsiString& key) const { return IndexOfKey(key) != -1; }
  // Adds the key when checked and absent, deletes it when unchecked and present.
  void SetChecked(const AnsiString& key, bool checked);
  void Toggle(const AnsiString& key) { SetChecked(key, !GetChecked(key)); }
};
