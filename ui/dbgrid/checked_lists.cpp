#include "ui/dbgrid/checked_lists.h"

#include <algorithm>

int TCheckedList::IndexOf(std::intptr_t key) const {
  auto it = std::find(keys_.begin(), keys_.end(), key);
  return it == keys_.end() ? -1 : static_cast<int>(it - keys_.begin());
}

void TCheckedList::Toggle(std::intptr_t key) {
  int index = IndexOf(key);
  if (index >= 0)
    keys_.erase(keys_.begin() + index);
  else
    keys_.push_back(key);
}

int TCheckedStringList::IndexOfKey(const AnsiString& key) const {
  for (int i = 0; i < Count(); ++i)
    if (Strings(i) == key) return i;
  return -1;
}

void TCheckedStringList::SetChecked(const AnsiString& key, bool checked) {
  int index = IndexOfKey(key);
  if (checked && index < 0)
    Add(key);
  else if (!checked && index >= 0)
    Delete(index);
}
