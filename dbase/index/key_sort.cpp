// The key sorter: a byte trie in fixed node pages, flushed to prefix-
// compressed runs, merged once on retrieval.
//
// A key enters the trie as a string of symbols: its key bytes (text bytes
// replaced by their rank under the collation, so that plain byte order is
// collation order), an end-of-key-part symbol that sorts below every byte,
// then the record number as 4 big-endian bytes. The end symbol is what makes
// a key that is a prefix of another sort first whatever record numbers
// follow, and lets equal keys meet on their record numbers only.
//
// Node layout (10 bytes): child handle (4, little-endian), next sibling
// handle or up to 4 inline bytes (4), flags (1: bits 0-2 inline count,
// bit 3 end-of-key-part symbol, bits 4-7 end-of-key marker = type code >> 4),
// key byte (1). A node with inline bytes is always alone on its level: it is
// made when a key opens a new level, and split before any later key passes
// through or beside it.
#include "dbase/index/key_sort.h"

#include <algorithm>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/base/errors.h"

namespace {

constexpr int kEndOfKeyPart = -1;  // the symbol that ends the key bytes
constexpr uint8_t kFlagInlineMask = 0x07;
constexpr uint8_t kFlagEndOfKeyPart = 0x08;

}  // namespace

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
  nodePages_.push_back(std::make_unique<uint8_t[]>(kNodePageSize));
}

TxbSort::~TxbSort() = default;

void TxbSort::Reset() {
  runs_.clear();
  heap_.clear();
  nodePages_.clear();
  nodePages_.push_back(std::make_unique<uint8_t[]>(kNodePageSize));
  ClearTrie();
  nodeCount_ = 0;
  retrieving_ = false;
  haveLast_ = false;
  lastLength_ = 0;
}

uint8_t* TxbSort::Node(uint32_t handle) const {
  uint32_t index = handle - 1;
  return nodePages_[index / kNodesPerPage].get() + (index % kNodesPerPage) * kNodeSize;
}

uint32_t TxbSort::AllocateNode() {
  if (nextSlot_ == kNodesPerPage) {
    ++currentPage_;
    nextSlot_ = 0;
    if (currentPage_ == NodePageCount())
      nodePages_.push_back(std::make_unique<uint8_t[]>(kNodePageSize));
  }
  uint32_t handle = static_cast<uint32_t>(currentPage_ * kNodesPerPage + nextSlot_) + 1;
  ++nextSlot_;
  ++nodeCount_;
  std::memset(Node(handle), 0, kNodeSize);
  return handle;
}

int TxbSort::CompareSymbols(int a, int b) const {
  int c = (a > b) - (a < b);
  return ascending_ ? c : -c;
}

namespace {

int SymbolOf(const uint8_t* node) {
  return (node[8] & kFlagEndOfKeyPart) ? kEndOfKeyPart : node[9];
}

}  // namespace

void TxbSort::SplitInline(uint32_t handle) {
  uint8_t* node = Node(handle);
  int count = node[8] & kFlagInlineMask;
  uint8_t bytes[4];
  std::memcpy(bytes, node + 4, 4);
  uint32_t child = GetLe32(node);
  uint8_t endMarker = node[8] & 0xF0;
  uint32_t split = AllocateNode();
  node = Node(handle);  // the page vector may have grown
  uint8_t* next = Node(split);
  PutLe32(next, child);
  std::memcpy(next + 4, bytes + 1, 3);
  next[8] = static_cast<uint8_t>((count - 1) | endMarker);
  next[9] = bytes[0];
  if (count - 1 < 4) std::memset(next + 4 + (count - 1), 0, static_cast<std::size_t>(4 - (count - 1)));
  PutLe32(node, split);
  PutLe32(node + 4, 0);
  node[8] = static_cast<uint8_t>(node[8] & kFlagEndOfKeyPart);
}

void TxbSort::InsertSymbols(const int* symbols, int n, uint8_t type) {
  uint32_t parent = 0;  // 0: the root level
  int i = 0;
  for (;;) {
    uint32_t head = parent ? GetLe32(Node(parent)) : root_;
    if (head == 0) {
      // A new, empty level: the node takes up to 4 following bytes inline.
      uint32_t h = AllocateNode();
      uint8_t* node = Node(h);
      int symbol = symbols[i++];
      int count = 0;
      while (i < n && count < 4 && symbols[i] != kEndOfKeyPart)
        node[4 + count++] = static_cast<uint8_t>(symbols[i++]);
      node[8] = static_cast<uint8_t>(count | (symbol == kEndOfKeyPart ? kFlagEndOfKeyPart : 0));
      node[9] = symbol == kEndOfKeyPart ? 0 : static_cast<uint8_t>(symbol);
      if (parent)
        PutLe32(Node(parent), h);
      else
        root_ = h;
      if (i == n) {
        Node(h)[8] |= static_cast<uint8_t>(type & 0xF0);
        return;
      }
      parent = h;
      continue;
    }
    if (Node(head)[8] & kFlagInlineMask) SplitInline(head);
    uint32_t previous = 0;
    uint32_t current = head;
    while (current != 0 && CompareSymbols(SymbolOf(Node(current)), symbols[i]) < 0) {
      previous = current;
      current = GetLe32(Node(current) + 4);
    }
    uint32_t node;
    if (current != 0 && SymbolOf(Node(current)) == symbols[i]) {
      node = current;
    } else {
      node = AllocateNode();
      uint8_t* p = Node(node);
      PutLe32(p + 4, current);
      p[8] = symbols[i] == kEndOfKeyPart ? kFlagEndOfKeyPart : 0;
      p[9] = symbols[i] == kEndOfKeyPart ? 0 : static_cast<uint8_t>(symbols[i]);
      if (previous)
        PutLe32(Node(previous) + 4, node);
      else if (parent)
        PutLe32(Node(parent), node);
      else
        root_ = node;
    }
    if (++i == n) {
      uint8_t* p = Node(node);
      p[8] = static_cast<uint8_t>((p[8] & 0x0F) | (type & 0xF0));
      return;
    }
    parent = node;
  }
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
  int symbols[256 + 5];
  int count = 0;
  for (int i = 0; i < n; ++i) symbols[count++] = bytes[i];
  symbols[count++] = kEndOfKeyPart;
  uint32_t record = static_cast<uint32_t>(recordNumber);
  for (int i = 0; i < 4; ++i) symbols[count++] = static_cast<int>((record >> (24 - 8 * i)) & 0xFF);

  // A key never needs more nodes than symbols plus one; flush first when the
  // last page is current and cannot take them.
  int64_t free = (kNodesPerPage - nextSlot_) +
                 static_cast<int64_t>(kMaxNodePages - 1 - currentPage_) * kNodesPerPage;
  if (free < count + 1) FlushTrie();
  InsertSymbols(symbols, count, type);
}

void TxbSort::ClearTrie() {
  root_ = 0;
  currentPage_ = 0;
  nextSlot_ = 0;
}

void TxbSort::FlushTrie() {
  if (root_ == 0) return;
  auto run = std::make_unique<TxbPageCollection>();
  struct Frame {
    uint32_t node;
    int pathLength;
  };
  std::vector<Frame> stack;
  stack.push_back({root_, 0});
  uint8_t path[512];
  while (!stack.empty()) {
    Frame frame = stack.back();
    stack.pop_back();
    const uint8_t* node = Node(frame.node);
    int length = frame.pathLength;
    if (!(node[8] & kFlagEndOfKeyPart)) path[length++] = node[9];
    int inlineCount = node[8] & kFlagInlineMask;
    for (int k = 0; k < inlineCount; ++k) path[length++] = node[4 + k];
    uint32_t sibling = inlineCount ? 0 : GetLe32(node + 4);
    if (sibling) stack.push_back({sibling, frame.pathLength});
    if (node[8] & 0xF0) run->Append(static_cast<uint8_t>(node[8] & 0xF0), path, length);
    uint32_t child = GetLe32(node);
    if (child) stack.push_back({child, length});
  }
  runs_.push_back(std::move(run));
  ClearTrie();
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
  FlushTrie();
  nodePages_.clear();
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
