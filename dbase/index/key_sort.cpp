// The key sorter: fixed-width entries radix-sorted in a bounded buffer,
// flushed to runs in a temporary file, merged once on retrieval.
//
// An entry holds the key bytes (text bytes replaced by their rank under the
// collation, so that plain byte order is collation order) padded with zero
// bytes to the declared key length, then the key's length, then the record
// number as 4 big-endian bytes. A memcmp of those bytes is the sort order:
// where one key is a prefix of another the padding is never above the
// longer key's bytes, and where the padding meets only zero ranks the
// shorter length decides - so a prefix sorts first whatever record numbers
// follow, and equal keys meet on their record numbers only. A descending
// sorter stores those bytes complemented, so that every step below sorts
// ascending and the exact reverse order comes out.
//
// The order is total (an entry is its key and record number), so any
// correct sort and merge give the same sequence: runs, bounds and the sort
// method never change what a build writes.
#include "dbase/index/key_sort.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dbase/base/byte_order.h"
#include "dbase/base/errors.h"

namespace {

constexpr const char* kSpillName = "temporary sort file";
// Bytes each run reads back from disk at a time during the merge.
constexpr std::size_t kRunChunk = 128 * 1024;
// Entries looked up this far ahead of use when they are read out of order.
constexpr std::size_t kAhead = 32;

uint64_t LoadBe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

}  // namespace

// A sort item: the 8 entry bytes at the current radix offset, and where the
// entry is in the buffer.
struct TxbSort::Item {
  uint64_t head;
  uint32_t index;
  uint32_t spare;
};

// One sorted run: the last buffer read through its sorted items, or entries
// of width bytes in the temporary file. Either way entries come out a block
// at a time into a buffer of their own: gathering the entries of the
// buffer in one tight loop lets their reads overlap, where one by one each
// would wait for memory.
class TxbSort::Run {
 public:
  Run(int fd, int64_t offset, int64_t count, std::size_t width)
      : fd_(fd), offset_(offset), remaining_(count), width_(width) {}
  Run(const Item* items, std::size_t count, const uint8_t* base, std::size_t stride, std::size_t width)
      : items_(items), remaining_(static_cast<int64_t>(count)), width_(width), base_(base), stride_(stride) {}

  // Positions on the first entry.
  void Start() { Fill(); }
  // The entry the run is on, null at its end; valid until Advance.
  const uint8_t* Head() const { return head_; }
  void Advance() {
    pos_ += width_;
    if (pos_ < end_)
      head_ = buffer_.data() + pos_;
    else
      Fill();
  }

 private:
  void Fill() {
    pos_ = 0;
    end_ = 0;
    head_ = nullptr;
    if (remaining_ == 0) {
      buffer_.clear();
      buffer_.shrink_to_fit();
      return;
    }
    const int64_t take =
        std::min<int64_t>(remaining_, static_cast<int64_t>(std::max<std::size_t>(kRunChunk / width_, 1)));
    const std::size_t bytes = static_cast<std::size_t>(take) * width_;
    buffer_.resize(bytes);
    if (items_) {
      const std::size_t n = static_cast<std::size_t>(take);
      for (std::size_t i = 0; i < n; ++i) {
        if (i + kAhead < n) __builtin_prefetch(base_ + std::size_t{items_[i + kAhead].index} * stride_);
        std::memcpy(buffer_.data() + i * width_, base_ + std::size_t{items_[i].index} * stride_, width_);
      }
      items_ += n;
    } else {
      std::size_t done = 0;
      while (done < bytes) {
        const ssize_t got = pread(fd_, buffer_.data() + done, bytes - done, static_cast<off_t>(offset_ + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) XbRaise(xbmFileReadError, kSpillName);
        done += static_cast<std::size_t>(got);
      }
      offset_ += static_cast<int64_t>(bytes);
    }
    remaining_ -= take;
    end_ = bytes;
    head_ = buffer_.data();
  }

  const Item* items_ = nullptr;  // in memory: the items still to gather
  int fd_ = -1;                  // on disk
  int64_t offset_ = 0;
  int64_t remaining_ = 0;
  std::size_t width_ = 0;
  const uint8_t* base_ = nullptr;
  std::size_t stride_ = 0;
  std::vector<uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  const uint8_t* head_ = nullptr;
};

// ---------------------------------------------------------------------------
// TxbSortMemory

namespace {
thread_local TxbSortMemory* currentSortMemory = nullptr;

// A build of a million keys fills tens of MB of fresh buffers; taken in
// 4 KB pages, the kernel's faults and page clearing were a sixth of the
// build. Large buffers ask for huge pages (a hint: where the kernel has
// none to give, the pages stay small), and are placed on huge-page
// boundaries and rounded up to whole huge pages: the kernel only gives a
// huge page to a whole aligned 2 MB of the advised range, which a block
// from malloc mostly is not (a 100 000-key build faulted page by page).
// From 1 MB on, one huge page cleared costs less than the 256 and more
// faults of small pages it spares (a 100 000-record build of three tags in
// a fresh process: 82 against 54 ms).
void* AllocateSortBlock(std::size_t bytes) {
  constexpr std::size_t kFrom = std::size_t{1} << 20;
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (bytes < kFrom) return std::malloc(bytes);
  const std::size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* block = nullptr;
  if (posix_memalign(&block, kHugePage, rounded) != 0) return nullptr;
  madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}
}  // namespace

TxbSortMemory::~TxbSortMemory() {
  for (const Block& b : blocks_) std::free(b.data);
}

TxbSortMemory::Use::Use(TxbSortMemory& memory) : previous_(currentSortMemory) { currentSortMemory = &memory; }

TxbSortMemory::Use::~Use() { currentSortMemory = previous_; }

TxbSortMemory* TxbSortMemory::Current() { return currentSortMemory; }

std::size_t TxbSortMemory::HeldBytes() const {
  std::size_t total = 0;
  for (const Block& b : blocks_) total += b.bytes;
  return total;
}

void* TxbSortMemory::Take(std::size_t bytes, std::size_t& got) {
  if (bytes < kSmallest || blocks_.empty()) return nullptr;
  auto fit = blocks_.end();
  auto largest = blocks_.begin();
  for (auto b = blocks_.begin(); b != blocks_.end(); ++b) {
    if (b->bytes >= bytes && (fit == blocks_.end() || b->bytes < fit->bytes)) fit = b;
    if (b->bytes > largest->bytes) largest = b;
  }
  if (fit != blocks_.end()) {
    void* data = fit->data;
    got = fit->bytes;
    blocks_.erase(fit);
    return data;
  }
  // A fresh block instead of the largest kept one: growing it would copy
  // its bytes, which no caller needs. The old block stays kept when no
  // fresh one can be had.
  void* data = AllocateSortBlock(bytes);
  if (!data) return nullptr;
  std::free(largest->data);
  blocks_.erase(largest);
  got = bytes;
  return data;
}

bool TxbSortMemory::Keep(void* block, std::size_t bytes) {
  if (bytes < kSmallest) return false;
  if (blocks_.size() >= kMostBlocks) {
    auto smallest = std::min_element(blocks_.begin(), blocks_.end(),
                                     [](const Block& a, const Block& b) { return a.bytes < b.bytes; });
    if (smallest->bytes >= bytes) return false;
    std::free(smallest->data);
    blocks_.erase(smallest);
  }
  blocks_.push_back({block, bytes});
  return true;
}

// ---------------------------------------------------------------------------
// Buffers

void TxbSort::BufferRelease::operator()(void* p) const {
  if (!p) return;
  TxbSortMemory* memory = TxbSortMemory::Current();
  if (memory && memory->Keep(p, bytes)) return;
  std::free(p);
}

template <class T>
TxbSort::Buffer<T> TxbSort::NewBuffer(std::size_t count) {
  const std::size_t bytes = std::max<std::size_t>(count, 1) * sizeof(T);
  if (TxbSortMemory* memory = TxbSortMemory::Current()) {
    std::size_t got = 0;
    if (void* kept = memory->Take(bytes, got)) return Buffer<T>(static_cast<T*>(kept), BufferRelease{got});
  }
  void* p = AllocateSortBlock(bytes);
  if (!p) throw std::bad_alloc();
  return Buffer<T>(static_cast<T*>(p), BufferRelease{bytes});
}

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
  // Strides of whole 8-byte words keep the entries aligned for the copies
  // and let the radix sort read 8 bytes at any multiple of 8 below compared_.
  stride_ = (keyLength_ + 1 + 4 + 1 + 7) / 8 * 8;
  compared_ = static_cast<std::size_t>(keyLength_) + 5;
  bound_ = static_cast<std::size_t>(kMaxNodePages) * kNodePageSize;
}

TxbSort::~TxbSort() {
  runs_.clear();
  if (spill_) std::fclose(spill_);
}

void TxbSort::SetMemoryBound(std::size_t bytes) { bound_ = bytes; }

void TxbSort::ExpectKeys(int64_t count) {
  if (count <= 0 || used_ > 0) return;
  const std::size_t stride = static_cast<std::size_t>(stride_);
  const std::size_t most = std::max<std::size_t>(bound_ / (stride + 2 * sizeof(Item)), 1);
  const std::size_t want = std::min(most, static_cast<std::size_t>(count)) * stride;
  if (want > capacity_) GrowEntries(want);
}

void TxbSort::GrowEntries(std::size_t bytes) {
  Buffer<uint8_t> larger = NewBuffer<uint8_t>(bytes);
  if (used_ > 0) std::memcpy(larger.get(), entries_.get(), used_);
  entries_ = std::move(larger);
  capacity_ = bytes;
}

void TxbSort::Reset() {
  runs_.clear();
  heap_.clear();
  items_.reset();
  itemCount_ = 0;
  entries_.reset();
  capacity_ = 0;
  if (spill_) std::fclose(spill_);
  spill_ = nullptr;
  spillBytes_ = 0;
  used_ = 0;
  nodeCount_ = 0;
  runCount_ = 0;
  retrieving_ = false;
  haveLastEntry_ = false;
  haveLast_ = false;
}

// ---------------------------------------------------------------------------
// Adding

uint8_t* TxbSort::AppendEntry(int32_t recordNumber) {
  const std::size_t stride = static_cast<std::size_t>(stride_);
  if (used_ + stride > capacity_) {
    // The bound covers the entry and its two sort items; the buffer grows
    // in steps up to it, so that small tables never hold the whole bound.
    const std::size_t most = std::max<std::size_t>(bound_ / (stride + 2 * sizeof(Item)), 1) * stride;
    if (capacity_ >= most)
      FlushEntries();
    else
      GrowEntries(std::min(most, std::max<std::size_t>(capacity_ * 2, 64 * stride)));
  }
  uint8_t* entry = entries_.get() + used_;
  used_ += stride;
  ++nodeCount_;
  PutBe32(entry + keyLength_ + 1, static_cast<uint32_t>(recordNumber));
  return entry;
}

void TxbSort::FinishEntry(uint8_t* entry, int n, uint8_t type) {
  std::memset(entry + n, 0, static_cast<std::size_t>(keyLength_ - n));
  entry[keyLength_] = static_cast<uint8_t>(n);
  entry[keyLength_ + 5] = type;
  if (!ascending_)
    for (std::size_t i = 0; i < compared_; ++i) entry[i] = static_cast<uint8_t>(~entry[i]);
}

void TxbSort::AddText(const uint8_t* bytes, int n, int32_t recordNumber) {
  if (retrieving_) XbRaise(xbmSortKeysAfterRetrieval);
  while (n > 0 && bytes[n - 1] == ' ') --n;
  if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
  uint8_t* entry = AppendEntry(recordNumber);
  for (int i = 0; i < n; ++i) entry[i] = rank_[bytes[i]];
  FinishEntry(entry, n, xbsText);
}

void TxbSort::AddRaw(const uint8_t* bytes, int n, int32_t recordNumber) {
  if (retrieving_) XbRaise(xbmSortKeysAfterRetrieval);
  if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
  uint8_t* entry = AppendEntry(recordNumber);
  std::memcpy(entry, bytes, static_cast<std::size_t>(n));
  FinishEntry(entry, n, xbsRaw);
}

void TxbSort::AddNumber(double value, int32_t recordNumber) {
  if (retrieving_) XbRaise(xbmSortKeysAfterRetrieval);
  uint8_t bytes[16];
  const int n = PutOrderedDouble(bytes, value);
  if (n > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, n);
  uint8_t* entry = AppendEntry(recordNumber);
  std::memcpy(entry, bytes, static_cast<std::size_t>(n));
  FinishEntry(entry, n, xbsNumber);
}

void TxbSort::AddDate(int32_t day, int32_t recordNumber) {
  if (retrieving_) XbRaise(xbmSortKeysAfterRetrieval);
  if (4 > keyLength_) XbRaise(xbmSortKeyLength, keyLength_, 4);
  uint8_t* entry = AppendEntry(recordNumber);
  // Sign bit flipped so that day numbers below zero still sort first.
  PutBe32(entry, static_cast<uint32_t>(day) ^ 0x80000000u);
  FinishEntry(entry, 4, xbsInteger);
}

void TxbSort::AddKey(const TxbVariant& key, int32_t recordNumber) {
  switch (key.Kind()) {
    case xbvText:
      AddText(key.Data(), key.Length(), recordNumber);
      break;
    case xbvNumber:
      AddNumber(key.AsNumber(), recordNumber);
      break;
    case xbvDate:
      AddDate(key.AsDate(), recordNumber);
      break;
    case xbvRaw:
      AddRaw(key.Data(), key.Length(), recordNumber);
      break;
    default:
      if (retrieving_) XbRaise(xbmSortKeysAfterRetrieval);
      XbRaise(xbmVariantNotSortable);
  }
}

// ---------------------------------------------------------------------------
// Sorting

void TxbSort::LoadHeads(Item* items, std::size_t n, std::size_t offset) const {
  const uint8_t* base = entries_.get();
  const std::size_t stride = static_cast<std::size_t>(stride_);
  const std::size_t left = compared_ - offset;
  // Bytes past the compared ones (the type code, the padding) never count.
  const uint64_t mask = left >= 8 ? ~uint64_t{0} : ~uint64_t{0} << (8 * (8 - left));
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) __builtin_prefetch(base + std::size_t{items[i + kAhead].index} * stride + offset);
    items[i].head = LoadBe64(base + std::size_t{items[i].index} * stride + offset) & mask;
  }
}

int TxbSort::CompareFrom(const Item& a, const Item& b, std::size_t offset) const {
  if (a.head != b.head) return a.head < b.head ? -1 : 1;
  if (offset + 8 >= compared_) return 0;
  const std::size_t stride = static_cast<std::size_t>(stride_);
  return std::memcmp(entries_.get() + std::size_t{a.index} * stride + offset + 8,
                     entries_.get() + std::size_t{b.index} * stride + offset + 8, compared_ - offset - 8);
}

// Most-significant-byte radix sort; small groups go by insertion. Groups
// still to sort wait on a list rather than the call stack, whose depth
// would otherwise grow with the key length. Each pass scatters a group
// from the buffer that holds it into the other one, where its subgroups
// then stay (no copy back per pass); a group that is done is put back into
// items if it ended in scratch.
void TxbSort::RadixSort(Item* items, Item* scratch, std::size_t count) {
  // A group: items [begin, begin + n) of items, or of scratch when
  // inScratch, whose entries agree before offset and on the head bytes
  // above shift.
  struct Group {
    std::size_t begin;
    std::size_t n;
    std::size_t offset;
    int shift;
    bool inScratch;
  };
  auto settle = [&](std::size_t begin, std::size_t n, bool inScratch) {
    if (inScratch) std::memcpy(items + begin, scratch + begin, n * sizeof(Item));
  };
  std::vector<Group> groups{{0, count, 0, 56, false}};
  while (!groups.empty()) {
    const Group g = groups.back();
    groups.pop_back();
    Item* a = (g.inScratch ? scratch : items) + g.begin;
    const std::size_t n = g.n;
    std::size_t offset = g.offset;
    int shift = g.shift;
    if (n < 32) {
      for (std::size_t i = 1; i < n; ++i) {
        Item x = a[i];
        std::size_t j = i;
        while (j > 0 && CompareFrom(x, a[j - 1], offset) < 0) {
          a[j] = a[j - 1];
          --j;
        }
        a[j] = x;
      }
      settle(g.begin, n, g.inScratch);
      continue;
    }
    // Bytes that every head of the group shares are passed over at once: a
    // counting pass and the 256 buckets for each cost more than a small
    // group (the keys of one day share their length and the high bytes of
    // their record numbers). Above shift the heads agree already.
    uint64_t differ = 0;
    for (std::size_t i = 1; i < n; ++i) differ |= a[i].head ^ a[0].head;
    if (differ == 0) {
      if (offset + 8 < compared_) {
        LoadHeads(a, n, offset + 8);
        groups.push_back({g.begin, n, offset + 8, 56, g.inScratch});
      } else {
        settle(g.begin, n, g.inScratch);  // the same entry throughout
      }
      continue;
    }
    shift = (63 - __builtin_clzll(differ)) & ~7;
    uint32_t counts[256] = {};
    for (std::size_t i = 0; i < n; ++i) ++counts[(a[i].head >> shift) & 0xFF];
    std::size_t position[256];
    std::size_t sum = 0;
    for (int b = 0; b < 256; ++b) {
      position[b] = sum;
      sum += counts[b];
    }
    Item* out = (g.inScratch ? items : scratch) + g.begin;
    for (std::size_t i = 0; i < n; ++i) out[position[(a[i].head >> shift) & 0xFF]++] = a[i];
    const bool outScratch = !g.inScratch;
    std::size_t start = 0;
    for (int b = 0; b < 256; ++b) {
      const std::size_t c = counts[b];
      if (c > 1 && shift > 0) {
        groups.push_back({g.begin + start, c, offset, shift - 8, outScratch});
      } else if (c > 1 && offset + 8 < compared_) {
        LoadHeads(out + start, c, offset + 8);
        groups.push_back({g.begin + start, c, offset + 8, 56, outScratch});
      } else if (c > 0) {
        settle(g.begin + start, c, outScratch);
      }
      start += c;
    }
  }
}

void TxbSort::SortBuffer() {
  const std::size_t count = used_ / static_cast<std::size_t>(stride_);
  if (!items_ || items_.get_deleter().bytes < count * sizeof(Item)) items_ = NewBuffer<Item>(count);
  itemCount_ = count;
  for (std::size_t i = 0; i < count; ++i) items_[i].index = static_cast<uint32_t>(i);
  LoadHeads(items_.get(), count, 0);
  Buffer<Item> scratch = NewBuffer<Item>(count);
  RadixSort(items_.get(), scratch.get(), count);
}

void TxbSort::FlushEntries() {
  if (used_ == 0) return;
  SortBuffer();
  if (!spill_) {
    spill_ = std::tmpfile();
    if (!spill_) XbRaise(xbmWriteError, kSpillName);
  }
  const int fd = fileno(spill_);
  const std::size_t width = compared_ + 1;
  const std::size_t stride = static_cast<std::size_t>(stride_);
  std::vector<uint8_t> chunk;
  chunk.reserve(kRunChunk + width);
  const int64_t start = spillBytes_;
  int64_t written = 0;
  auto writeChunk = [&]() {
    std::size_t done = 0;
    while (done < chunk.size()) {
      const ssize_t put = pwrite(fd, chunk.data() + done, chunk.size() - done, static_cast<off_t>(spillBytes_));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) XbRaise(xbmWriteError, kSpillName);
      done += static_cast<std::size_t>(put);
      spillBytes_ += put;
    }
    chunk.clear();
  };
  const uint8_t* previous = nullptr;
  for (std::size_t i = 0; i < itemCount_; ++i) {
    if (i + kAhead < itemCount_) __builtin_prefetch(entries_.get() + std::size_t{items_[i + kAhead].index} * stride);
    const uint8_t* e = entries_.get() + std::size_t{items_[i].index} * stride;
    if (previous && std::memcmp(previous, e, compared_) == 0) continue;  // same key and record number
    previous = e;
    chunk.insert(chunk.end(), e, e + width);
    ++written;
    if (chunk.size() >= kRunChunk) writeChunk();
  }
  writeChunk();
  runs_.push_back(std::make_unique<Run>(fd, start, written, width));
  ++runCount_;
  used_ = 0;
}

// ---------------------------------------------------------------------------
// Retrieval

void TxbSort::StartRetrieval() {
  retrieving_ = true;
  if (used_ > 0) {
    // The last buffer stays where it is: a run read through its items.
    SortBuffer();
    runs_.push_back(std::make_unique<Run>(items_.get(), itemCount_, entries_.get(),
                                          static_cast<std::size_t>(stride_), compared_ + 1));
    ++runCount_;
  } else {
    entries_.reset();
    capacity_ = 0;
  }
  heap_.clear();
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    runs_[i]->Start();
    if (runs_[i]->Head()) heap_.push_back(static_cast<int>(i));
  }
  auto later = [this](int x, int y) {
    int c = std::memcmp(runs_[static_cast<std::size_t>(x)]->Head(), runs_[static_cast<std::size_t>(y)]->Head(),
                        compared_);
    return c != 0 ? c > 0 : x > y;
  };
  std::make_heap(heap_.begin(), heap_.end(), later);
}

const uint8_t* TxbSort::PeekEntry() {
  if (heap_.empty()) return nullptr;
  return runs_[static_cast<std::size_t>(heap_.front())]->Head();
}

// The smallest head copied into current_ (its run's block may be filled
// again), the run moved on.
const uint8_t* TxbSort::NextEntry() {
  if (heap_.empty()) return nullptr;
  const std::size_t width = compared_ + 1;
  if (heap_.size() == 1) {
    Run& run = *runs_[static_cast<std::size_t>(heap_.front())];
    std::memcpy(current_, run.Head(), width);
    run.Advance();
    if (!run.Head()) heap_.clear();
    return current_;
  }
  auto later = [this](int x, int y) {
    int c = std::memcmp(runs_[static_cast<std::size_t>(x)]->Head(), runs_[static_cast<std::size_t>(y)]->Head(),
                        compared_);
    return c != 0 ? c > 0 : x > y;
  };
  std::pop_heap(heap_.begin(), heap_.end(), later);
  Run& run = *runs_[static_cast<std::size_t>(heap_.back())];
  std::memcpy(current_, run.Head(), width);
  run.Advance();
  if (run.Head())
    std::push_heap(heap_.begin(), heap_.end(), later);
  else
    heap_.pop_back();
  return current_;
}

bool TxbSort::NextBytes(uint8_t& type, const uint8_t*& bytes, int& length, int32_t& recordNumber) {
  if (!retrieving_) StartRetrieval();
  const std::size_t keyPart = static_cast<std::size_t>(keyLength_) + 1;
  const uint8_t* e;
  for (;;) {
    e = NextEntry();
    if (!e) return false;
    // The same key and record number twice (from two runs) is one entry.
    if (haveLastEntry_ && std::memcmp(e, lastEntry_, compared_) == 0) continue;
    if (unique_ && haveLast_ && std::memcmp(lastKey_, e, keyPart) == 0) continue;
    break;
  }
  if (unique_ && !ascending_) {
    // Equal keys come in falling record order here: the last of them has
    // the lowest record number, which is the one a unique tag keeps.
    for (const uint8_t* next = PeekEntry(); next && std::memcmp(next, e, keyPart) == 0; next = PeekEntry())
      e = NextEntry();
  }
  std::memcpy(lastEntry_, e, compared_);
  haveLastEntry_ = true;
  if (unique_) {
    std::memcpy(lastKey_, e, keyPart);
    haveLast_ = true;
  }
  uint8_t plain[256 + 8];
  const uint8_t* d = e;
  if (!ascending_) {
    for (std::size_t i = 0; i < compared_; ++i) plain[i] = static_cast<uint8_t>(~e[i]);
    d = plain;
  }
  length = d[keyLength_];
  recordNumber = static_cast<int32_t>(GetBe32(d + keyLength_ + 1));
  type = e[keyLength_ + 5];
  if (type == xbsText)
    for (int i = 0; i < length; ++i) out_[i] = unrank_[d[i]];
  else
    std::memcpy(out_, d, static_cast<std::size_t>(length));
  bytes = out_;
  return true;
}

bool TxbSort::NextKey(TxbVariant& key, int32_t& recordNumber) {
  uint8_t type;
  const uint8_t* bytes;
  int length;
  if (!NextBytes(type, bytes, length, recordNumber)) return false;
  KeyValue(type, bytes, length, key);
  return true;
}

void TxbSort::KeyValue(uint8_t type, const uint8_t* bytes, int n, TxbVariant& key) const {
  switch (type) {
    case xbsText:
      key.SetText(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n)));
      break;
    case xbsNumber:
      key.SetNumber(GetOrderedDouble(bytes, n));
      break;
    case xbsInteger:
      key.SetDate(static_cast<int32_t>(GetBe32(bytes) ^ 0x80000000u));
      break;
    default:
      key.SetRaw(bytes, n);
      break;
  }
}
