// TxbSort: the key sorter every index format builds its tags with. Keys go
// as fixed-width entries (collation ranks, length, record number) into a
// buffer of bounded size; when the buffer is full it is radix-sorted and
// written, in order, as one run to a temporary file. Retrieval reads the
// last buffer in place when it is the only run, else merges every run.
//
// Order: keys compare exactly as the index trees compare them - text byte by
// byte through the collation table, raw bytes unsigned, and a key that is a
// prefix of another is less - and only equal keys are ordered by record
// number. A descending sorter returns the exact reverse order. With Unique
// one entry per key is returned, always the one with the lowest record
// number, in either direction.
//
// Invariants: the entry buffer never exceeds its bound, so memory is the
// same on every build whatever the key count (runs beyond it live on disk);
// adding is refused once retrieval has begun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "dbase/base/variant.h"

// Sort key type codes, kept with every key so that it can be restored to its
// value-buffer form.
enum TxbSortKeyType : uint8_t {
  xbsRaw = 16,
  xbsText = 32,
  xbsNumber = 48,
  xbsInteger = 64,  // dates (day numbers)
};

// Memory of finished sorts kept for the next one: builds that follow each
// other (one tag after another) reuse buffers whose pages are already
// mapped instead of faulting in fresh ones for every tag. A sort uses the
// holder made current in its thread by a Use scope; without one, buffers
// come from and go back to the allocator. Whatever is kept is freed with
// the holder.
class TxbSortMemory {
 public:
  TxbSortMemory() = default;
  ~TxbSortMemory();
  TxbSortMemory(const TxbSortMemory&) = delete;
  TxbSortMemory& operator=(const TxbSortMemory&) = delete;

  // Makes a holder current in this thread for its lifetime (nests).
  class Use {
   public:
    explicit Use(TxbSortMemory& memory);
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    TxbSortMemory* previous_;
  };

  // Bytes held now.
  std::size_t HeldBytes() const;

 private:
  friend class TxbSort;
  static constexpr std::size_t kSmallest = std::size_t{1} << 20;
  static constexpr std::size_t kMostBlocks = 4;
  static TxbSortMemory* Current();
  // A block of at least bytes: a kept one that fits (the smallest), else a
  // fresh one in place of the largest kept one, else null. got: its size.
  void* Take(std::size_t bytes, std::size_t& got);
  // Keeps a block for later; false when it is too small or the holder is
  // full, and the caller frees it.
  bool Keep(void* block, std::size_t bytes);

  struct Block {
    void* data;
    std::size_t bytes;
  };
  std::vector<Block> blocks_;
};

class TxbSort {
 public:
  static constexpr int kMaxKeyLength = 251;
  static constexpr int kNodeSize = 10;
  static constexpr int kNodePageSize = 40960;
  static constexpr int kNodesPerPage = kNodePageSize / kNodeSize;
  static constexpr int kMaxNodePages = 32;
  // The buffer bound index builds use: a table of a million records sorts
  // a tag of keys up to about 60 bytes in one run.
  static constexpr std::size_t kBuildMemoryBound = std::size_t{96} << 20;

  // keyLength 1-251, else "Sort key length must be 1-%d bytes, is %d".
  // collation: 256 sort weights for text bytes, or null for byte order.
  TxbSort(int keyLength, const unsigned char* collation, bool ascending, bool unique);
  virtual ~TxbSort();
  TxbSort(const TxbSort&) = delete;
  TxbSort& operator=(const TxbSort&) = delete;

  // Adds a key (text, number, date or raw) with its record number. Refused
  // after the first NextKey; a key longer than declared or of another kind
  // raises the sorter's messages. Adding the same key with the same record
  // number twice keeps it once.
  void AddKey(const TxbVariant& key, int32_t recordNumber);
  // The next key in order with its record number; false when exhausted.
  bool NextKey(TxbVariant& key, int32_t& recordNumber);
  // Adds a key already in stored form without a value object: text bytes
  // (trailing blanks are dropped), raw bytes, or a number or date.
  void AddText(const uint8_t* bytes, int n, int32_t recordNumber);
  void AddRaw(const uint8_t* bytes, int n, int32_t recordNumber);
  void AddNumber(double value, int32_t recordNumber);
  void AddDate(int32_t day, int32_t recordNumber);
  // The next key in order as bytes: text and raw keys as they were added,
  // numbers and dates in their sortable form (KeyValue restores them). The
  // bytes stay valid until the next call; false when exhausted.
  bool NextBytes(uint8_t& type, const uint8_t*& bytes, int& length, int32_t& recordNumber);
  // The value of a key NextBytes gave.
  void KeyValue(uint8_t type, const uint8_t* bytes, int length, TxbVariant& key) const;
  // Drops every key and run; adding is allowed again.
  void Reset();
  // Bytes the sort may hold in memory, entries and their sort items (at
  // least one entry), set before the first key; kMaxNodePages *
  // kNodePageSize unless set. Keys beyond it go to runs on disk.
  void SetMemoryBound(std::size_t bytes);
  // Makes room for count keys at once (within the bound), sparing the
  // buffer its steps of growth when the count is known.
  void ExpectKeys(int64_t count);

  int KeyLength() const { return keyLength_; }
  bool Ascending() const { return ascending_; }
  bool Unique() const { return unique_; }
  // Runs made so far (a flush of a full buffer makes one; retrieval counts
  // the last buffer as one).
  int RunCount() const { return runCount_; }
  // Memory of the entry buffer in kNodePageSize units, and the entries
  // added since the last Reset.
  int NodePageCount() const {
    return static_cast<int>((capacity_ + kNodePageSize - 1) / kNodePageSize);
  }
  int64_t NodeCount() const { return nodeCount_; }

 private:
  struct Item;
  class Run;
  // Sorts the buffered entries: items_ then indexes them in order.
  void SortBuffer();
  // Sorts the buffered entries into a new run on disk (equal key and record
  // number kept once) and empties the buffer.
  void FlushEntries();
  void StartRetrieval();
  // Replaces the entry buffer by one of bytes, keeping the entries in it.
  void GrowEntries(std::size_t bytes);
  // The next entry in merged order (copied into current_), or null; the
  // one after it without taking it.
  const uint8_t* NextEntry();
  const uint8_t* PeekEntry();
  uint8_t* AppendEntry(int32_t recordNumber);
  void FinishEntry(uint8_t* entry, int n, uint8_t type);
  void RadixSort(Item* items, Item* scratch, std::size_t count);
  void LoadHeads(Item* items, std::size_t n, std::size_t offset) const;
  int CompareFrom(const Item& a, const Item& b, std::size_t offset) const;

  int keyLength_;
  bool ascending_;
  bool unique_;
  uint8_t rank_[256];    // text byte -> order position under the collation
  uint8_t unrank_[256];  // and back
  // Entries of stride_ bytes: key bytes zero-padded to keyLength_, the key
  // length, the record number big-endian (these compared_ bytes compare
  // with memcmp in sort order; a descending sorter stores them
  // complemented), then the type code.
  int stride_ = 0;
  std::size_t compared_ = 0;
  std::size_t bound_ = 0;
  // Buffers of plain storage: nothing is zeroed that is written anyway.
  struct BufferRelease {
    BufferRelease() : bytes(0) {}
    explicit BufferRelease(std::size_t n) : bytes(n) {}
    std::size_t bytes;
    void operator()(void* p) const;
  };
  template <class T>
  using Buffer = std::unique_ptr<T[], BufferRelease>;
  template <class T>
  static Buffer<T> NewBuffer(std::size_t count);
  Buffer<uint8_t> entries_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  int64_t nodeCount_ = 0;
  Buffer<Item> items_;
  std::size_t itemCount_ = 0;
  // Runs on disk, one temporary file for all of them.
  std::FILE* spill_ = nullptr;
  int64_t spillBytes_ = 0;
  std::vector<std::unique_ptr<Run>> runs_;
  int runCount_ = 0;
  bool retrieving_ = false;
  std::vector<int> heap_;  // runs that still have a head, as a heap
  // Retrieval state: the entry just taken from the runs, and the compared
  // bytes of the entry handed out last.
  uint8_t current_[256 + 8] = {};
  bool haveLastEntry_ = false;
  uint8_t lastEntry_[256 + 8] = {};
  // The key part of the last key returned (for Unique).
  bool haveLast_ = false;
  uint8_t lastKey_[256] = {};
  uint8_t out_[256] = {};
};
