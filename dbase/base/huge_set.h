// TxbHugeSet: a bit set over record numbers, in lazily added 16384-byte
// pages of 131072 bits. Bit n lives in page n / 131072, byte (n >> 3) &
// 0x3FFF, bit n & 7 (least significant first), so a filter over n records
// costs about n/8 bytes, in whole pages.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class TxbHugeSet {
 public:
  static constexpr int64_t kBitsPerPage = 131072;
  static constexpr int32_t kPageBytes = 16384;

  enum Op { opClear = 0, opSet = 1, opToggle = 2 };

  // Zeroes all pages (they are kept) and forgets the highest bit touched.
  void Clear();
  // Clears, sets or toggles bit n, adding zeroed pages as needed. A negative
  // n is ignored.
  void Change(int64_t n, int op);
  // False above the highest bit touched and for negative n.
  bool Test(int64_t n) const;

  int64_t Highest() const { return highest_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }

 private:
  std::vector<std::unique_ptr<unsigned char[]>> pages_;
  int64_t highest_ = -1;
};
