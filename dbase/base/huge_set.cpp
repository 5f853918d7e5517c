// TxbHugeSet: a bit per record number, in pages that are added only when a
// bit in them is first changed, so a filter over a large table costs memory
// only for the record range it touches.
//
// Layout: page n / 131072 holds bit n at byte (n >> 3) & 0x3FFF, bit n & 7
// (least significant first). Invariants: every page is kPageBytes long and
// zeroed when added; no bit above highest_ is set.
#include "dbase/base/huge_set.h"

#include <cstring>

void TxbHugeSet::Clear() {
  for (auto& page : pages_) std::memset(page.get(), 0, kPageBytes);
  highest_ = -1;
}

void TxbHugeSet::Change(int64_t n, int op) {
  if (n < 0 || op < opClear || op > opToggle) return;
  const auto pageIndex = static_cast<std::size_t>(n / kBitsPerPage);
  while (pages_.size() <= pageIndex) {
    pages_.emplace_back(new unsigned char[kPageBytes]);
    std::memset(pages_.back().get(), 0, kPageBytes);
  }
  unsigned char& byte = pages_[pageIndex][(n >> 3) & 0x3FFF];
  const auto mask = static_cast<unsigned char>(1u << (n & 7));
  switch (op) {
    case opClear: byte = static_cast<unsigned char>(byte & ~mask); break;
    case opSet: byte = static_cast<unsigned char>(byte | mask); break;
    default: byte = static_cast<unsigned char>(byte ^ mask); break;
  }
  if (n > highest_) highest_ = n;
}

bool TxbHugeSet::Test(int64_t n) const {
  if (n < 0 || n > highest_) return false;
  const auto pageIndex = static_cast<std::size_t>(n / kBitsPerPage);
  if (pageIndex >= pages_.size()) return false;
  return (pages_[pageIndex][(n >> 3) & 0x3FFF] >> (n & 7)) & 1;
}
