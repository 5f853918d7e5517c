// The key sorter: fixed-width entries sorted in a bounded buffer, flushed
// to prefix-compressed runs, merged once on retrieval.
//
// An entry holds the key bytes (text bytes replaced by their rank under the
// collation, so that plain byte order is collation order) padded with zero
// bytes to the declared key length, then the key's length, then the record
// number as 4 big-endian bytes. A memcmp of those bytes is the sort order:
// where one key is a prefix of another the padding is never above the
// longer key's bytes, and where the padding meets only zero ranks the
// shorter length decides - so a prefix sorts first whatever record numbers
// follow, and equal keys meet on their record numbers only.
#include "dbase/index/key_sort.h"

#include <algorithm>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/base/errors.h"

// ---------------------------------------------------------------------------
// TxbPageCollection

void TxbPageCollection::Append(uint8_t type, const uint8_t* bytes, int n) {
  int prefix = 0;
  int limit = std::min(n, lastLength_);
  while (prefix < limit && lastKey_[prefix] == bytes[prefix]) ++prefix;
  int suffix = n - prefix;
  int entry = 3 + suffix;
  // Room is always kept for the terminating zero type code.
  if (buffers_.empty() || used_ + entry + 3 > kBufferSize - 1) {
    buffers_.push_back(std::make_unique<uint8_t[]>(kBufferSize));  // zeroed
    used_ = 0;
  }
  uint8_t* p = buffers_.back().get() + used_;
  p[0] = type;
  p[1] = static_cast<uint8_t>(n);
  p[2] = static_cast<uint8_t>(suffix);
  std::memcpy(p + 3, bytes + prefix, static_cast<std::size_t>(suffix));
  used_ += entry;
  std::memcpy(lastKey_ + prefix, bytes + prefix, static_cast<std::size_t>(suffix));
  lastLength_ = n;
  ++keys_;
}

bool TxbPageCollection::Rewind() {
  readBuffer_ = 0;
  readOffset_ = 0;
  readLength_ = 0;
  return ReadEntry();
}

bool TxbPageCollection::Advance() { return ReadEntry(); }

bool TxbPageCollection::ReadEntry() {
  while (readBuffer_ < BufferCount()) {
    const uint8_t* p = buffers_[static_cast<std::size_t>(readBuffer_)].get() + readOffset_;
    if (readOffset_ >= kBufferSize - 3 || p[0] == 0) {
      ++readBuffer_;
      readOffset_ = 0;
      continue;
    }
    int full = p[1];
    int suffix = p[2];
    readType_ = p[0];
    std::memcpy(readKey_ + (full - suffix), p + 3, static_cast<std::size_t>(suffix));
    readLength_ = full;
    readOffset_ += 3 + suffix;
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// TxbSort

TxbSort::TxbSort(int keyLength, const unsigned char* collation, bool ascending, bool unique)
    : keyLength_(keyLength), ascending_(ascending), unique_(unique) {
  if (keyLength < 1 || keyLength > kMaxKeyLength)
    XbRaise(xbmSortKeyLength, kMaxKeyLength, keyLength);
  // Rank of every byte under the collation; bytes of equal weight keep byte
  // order among themselves so the ranking is always a permutation.
  int order[256];
  for (int i = 0; i < 256; ++i) order[i] = i;
  if (collation != nullptr) {
    std::stable_sort(order, order + 256, [collation](int a, int b) {
      return collation[a] < collation[b];
    });
  }
  for (int i = 0; i < 256; ++i) {
    rank_[order[i]] = static_cast<uint8_t>(i);
    unrank_[i] = static_cast<uint8_t>(order[i]);
  }
  // Strides of whole 8-byte words keep the entries aligned for the copies.
  stride_ = (keyLength_ + 1 + 4 + 1 + 7) / 8 * 8;
}

TxbSort::~TxbSort() = default;

void TxbSort::Reset() {
  runs_.clear();
  heap_.clear();
  entries_.clear();
  entries_.shrink_to_fit();
  nodeCount_ = 0;
  retrieving_ = false;
  haveLast_ = false;
  lastLength_ = 0;
}

void TxbSort::AddKey(const TxbVariant& key, int32_t recordNumber) {
  if (retrieving_) XbRaise(xbmSortKeysAfterRetrieval);
  uint8_t bytes[256];
  int n = 0;
  uint8_t type;
  switch (key.Kind()) {
    case xbvText: {
      type = xbsText;
      n = key.Length();
      while (n > 0 && key.Data()[n - 1] == ' ') --n;
      if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
      for (int i = 0; i < n; ++i) bytes[i] = rank_[key.Data()[i]];
      break;
    }
    case xbvNumber: {
      type = xbsNumber;
      n = PutOrderedDouble(bytes, key.AsNumber());
      if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
      break;
    }
    case xbvDate: {
      type = xbsInteger;
      // Sign bit flipped so that day numbers below zero still sort first.
      PutBe32(bytes, static_cast<uint32_t>(key.AsDate()) ^ 0x80000000u);
      n = 4;
      if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
      break;
    }
    case xbvRaw:
      type = xbsRaw;
      n = key.Length();
      if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
      std::memcpy(bytes, key.Data(), static_cast<std::size_t>(n));
      break;
    default:
      XbRaise(xbmVariantNotSortable);
  }
  const std::size_t limit =
      static_cast<std::size_t>(kMaxNodePages) * kNodePageSize / static_cast<std::size_t>(stride_) *
      static_cast<std::size_t>(stride_);
  if (entries_.size() + static_cast<std::size_t>(stride_) > limit) FlushEntries();
  if (entries_.capacity() == 0) entries_.reserve(limit);
  const std::size_t at = entries_.size();
  entries_.resize(at + static_cast<std::size_t>(stride_));  // zeroed: the padding
  uint8_t* entry = entries_.data() + at;
  std::memcpy(entry, bytes, static_cast<std::size_t>(n));
  entry[keyLength_] = static_cast<uint8_t>(n);
  PutBe32(entry + keyLength_ + 1, static_cast<uint32_t>(recordNumber));
  entry[keyLength_ + 5] = type;
  ++nodeCount_;
}

void TxbSort::FlushEntries() {
  if (entries_.empty()) return;
  const std::size_t count = entries_.size() / static_cast<std::size_t>(stride_);
  const std::size_t compared = static_cast<std::size_t>(keyLength_) + 5;
  const uint8_t* base = entries_.data();
  // Sorting (leading 8 bytes, entry index) pairs keeps most comparisons to
  // one integer compare and moves 16 bytes per swap, whatever the key length.
  struct Item {
    uint64_t head;
    uint32_t index;
  };
  std::vector<Item> items(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* e = base + i * static_cast<std::size_t>(stride_);
    uint64_t head = 0;
    for (std::size_t k = 0; k < 8; ++k) head = head << 8 | (k < compared ? e[k] : 0);
    items[i] = {head, static_cast<uint32_t>(i)};
  }
  auto compare = [&](const Item& x, const Item& y) {
    if (x.head != y.head) return x.head < y.head ? -1 : 1;
    if (compared <= 8) return 0;
    return std::memcmp(base + x.index * static_cast<std::size_t>(stride_) + 8,
                       base + y.index * static_cast<std::size_t>(stride_) + 8, compared - 8);
  };
  if (ascending_)
    std::sort(items.begin(), items.end(), [&](const Item& x, const Item& y) { return compare(x, y) < 0; });
  else
    std::sort(items.begin(), items.end(), [&](const Item& x, const Item& y) { return compare(x, y) > 0; });
  auto run = std::make_unique<TxbPageCollection>();
  uint8_t bytes[256 + 4];
  const Item* previous = nullptr;
  for (const Item& item : items) {
    if (previous && compare(*previous, item) == 0) continue;  // same key and record number
    previous = &item;
    const uint8_t* e = base + item.index * static_cast<std::size_t>(stride_);
    const int n = e[keyLength_];
    std::memcpy(bytes, e, static_cast<std::size_t>(n));
    std::memcpy(bytes + n, e + keyLength_ + 1, 4);
    run->Append(e[keyLength_ + 5], bytes, n + 4);
  }
  runs_.push_back(std::move(run));
  entries_.clear();
}

int TxbSort::CompareHeads(const TxbPageCollection& a, const TxbPageCollection& b) const {
  int na = a.CurrentLength() - 4;
  int nb = b.CurrentLength() - 4;
  int c = std::memcmp(a.CurrentBytes(), b.CurrentBytes(), static_cast<std::size_t>(std::min(na, nb)));
  if (c == 0) c = (na > nb) - (na < nb);
  if (c == 0) c = std::memcmp(a.CurrentBytes() + na, b.CurrentBytes() + nb, 4);
  c = (c > 0) - (c < 0);
  return ascending_ ? c : -c;
}

bool TxbSort::SameKeyPart(const uint8_t* a, int na, const uint8_t* b, int nb) const {
  return na == nb && std::memcmp(a, b, static_cast<std::size_t>(na)) == 0;
}

void TxbSort::StartRetrieval() {
  FlushEntries();
  entries_.clear();
  entries_.shrink_to_fit();
  retrieving_ = true;
  heap_.clear();
  for (int i = 0; i < RunCount(); ++i)
    if (runs_[static_cast<std::size_t>(i)]->Rewind()) heap_.push_back(i);
  auto later = [this](int x, int y) {
    int c = CompareHeads(*runs_[static_cast<std::size_t>(x)], *runs_[static_cast<std::size_t>(y)]);
    return c != 0 ? c > 0 : x > y;
  };
  std::make_heap(heap_.begin(), heap_.end(), later);
}

bool TxbSort::PopSmallest(int& run) {
  if (heap_.empty()) return false;
  auto later = [this](int x, int y) {
    int c = CompareHeads(*runs_[static_cast<std::size_t>(x)], *runs_[static_cast<std::size_t>(y)]);
    return c != 0 ? c > 0 : x > y;
  };
  std::pop_heap(heap_.begin(), heap_.end(), later);
  run = heap_.back();
  heap_.pop_back();
  return true;
}

bool TxbSort::NextKey(TxbVariant& key, int32_t& recordNumber) {
  if (!retrieving_) StartRetrieval();
  auto later = [this](int x, int y) {
    int c = CompareHeads(*runs_[static_cast<std::size_t>(x)], *runs_[static_cast<std::size_t>(y)]);
    return c != 0 ? c > 0 : x > y;
  };
  auto takeNext = [&](uint8_t& type, uint8_t* bytes, int& length) {
    int run;
    if (!PopSmallest(run)) return false;
    TxbPageCollection& r = *runs_[static_cast<std::size_t>(run)];
    type = r.CurrentType();
    length = r.CurrentLength();
    std::memcpy(bytes, r.CurrentBytes(), static_cast<std::size_t>(length));
    if (r.Advance()) {
      heap_.push_back(run);
      std::push_heap(heap_.begin(), heap_.end(), later);
    }
    return true;
  };
  uint8_t type = 0;
  uint8_t bytes[256];
  int length = 0;
  for (;;) {
    if (!takeNext(type, bytes, length)) return false;
    if (!unique_) break;
    if (haveLast_ && SameKeyPart(lastKey_, lastLength_, bytes, length - 4)) continue;
    if (!ascending_) {
      // Equal keys come in falling record order here: the last of them has
      // the lowest record number, which is the one a unique tag keeps.
      while (!heap_.empty()) {
        const TxbPageCollection& top = *runs_[static_cast<std::size_t>(heap_.front())];
        if (!SameKeyPart(top.CurrentBytes(), top.CurrentLength() - 4, bytes, length - 4)) break;
        takeNext(type, bytes, length);
      }
    }
    break;
  }
  haveLast_ = true;
  lastLength_ = length - 4;
  std::memcpy(lastKey_, bytes, static_cast<std::size_t>(lastLength_));
  recordNumber = static_cast<int32_t>(GetBe32(bytes + length - 4));
  RestoreKey(type, bytes, length - 4, key);
  return true;
}

void TxbSort::RestoreKey(uint8_t type, const uint8_t* bytes, int n, TxbVariant& key) const {
  switch (type) {
    case xbsText: {
      char text[256];
      for (int i = 0; i < n; ++i) text[i] = static_cast<char>(unrank_[bytes[i]]);
      key.SetText(std::string_view(text, static_cast<std::size_t>(n)));
      break;
    }
    case xbsNumber: {
      key.SetNumber(GetOrderedDouble(bytes, n));
      break;
    }
    case xbsInteger:
      key.SetDate(static_cast<int32_t>(GetBe32(bytes) ^ 0x80000000u));
      break;
    default:
      key.SetRaw(bytes, n);
      break;
  }
}
