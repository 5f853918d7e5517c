// TxbIntMap: a hash map from 64-bit integers (block numbers, page
// positions) to small values, kept in one array probed in line. The caches
// look up a block or page for every read of one; a node-based map costs a
// pointer chase into cold memory per look, which in a cache of a large
// file was a tenth of an append's time. Here a look reads one or two
// neighbouring slots.
//
// Values are copied when the array grows and when an erase closes the gap
// behind it (backward shift), so a pointer from Find holds only until the
// next Insert or Erase. One key value, kNoKey, cannot be stored.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

template <class V>
class TxbIntMap {
 public:
  static constexpr int64_t kNoKey = std::numeric_limits<int64_t>::min();

  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  V* Find(int64_t key) {
    if (size_ == 0) return nullptr;
    for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.key == key) return &s.value;
      if (s.key == kNoKey) return nullptr;
    }
  }
  const V* Find(int64_t key) const { return const_cast<TxbIntMap*>(this)->Find(key); }
  bool Contains(int64_t key) const { return Find(key) != nullptr; }

  // The value for key, set to value; an existing one is replaced.
  V& Insert(int64_t key, const V& value) {
    assert(key != kNoKey);
    // At most half full: probes stay short.
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    std::size_t i = Home(key);
    while (slots_[i].key != kNoKey && slots_[i].key != key) i = (i + 1) & mask_;
    Slot& s = slots_[i];
    if (s.key == kNoKey) ++size_;
    s.key = key;
    s.value = value;
    return s.value;
  }

  bool Erase(int64_t key) {
    if (size_ == 0) return false;
    std::size_t i = Home(key);
    while (slots_[i].key != key) {
      if (slots_[i].key == kNoKey) return false;
      i = (i + 1) & mask_;
    }
    // Later keys of the same run move up into the gap when the gap lies
    // between their home and where they stand, so that every key stays
    // reachable from its home without a gap in between.
    for (std::size_t j = (i + 1) & mask_; slots_[j].key != kNoKey; j = (j + 1) & mask_) {
      const std::size_t home = Home(slots_[j].key);
      if (((j - home) & mask_) >= ((j - i) & mask_)) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i].key = kNoKey;
    --size_;
    return true;
  }

  void Clear() {
    slots_.clear();
    mask_ = 0;
    shift_ = 64;
    size_ = 0;
  }

  // f(key, value) for every entry, in no particular order; f must not
  // insert or erase.
  template <class F>
  void ForEach(F f) const {
    for (const Slot& s : slots_)
      if (s.key != kNoKey) f(s.key, s.value);
  }

 private:
  struct Slot {
    int64_t key = kNoKey;
    V value{};
  };
  std::size_t Home(int64_t key) const {
    // Fibonacci hashing: neighbouring numbers spread over the table.
    return static_cast<std::size_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }
  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    const std::size_t capacity = old.empty() ? 16 : old.size() * 2;
    slots_.assign(capacity, Slot());
    mask_ = capacity - 1;
    shift_ = 64;
    for (std::size_t c = capacity; c > 1; c >>= 1) --shift_;
    size_ = 0;
    for (const Slot& s : old)
      if (s.key != kNoKey) Insert(s.key, s.value);
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  int shift_ = 64;
  std::size_t size_ = 0;
};
