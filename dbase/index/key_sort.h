// TxbSort: the in-memory key sorter every index format builds its tags
// with. Keys go as fixed-width entries (collation ranks, length, record
// number) into a buffer of at most kMaxNodePages * kNodePageSize bytes;
// when the buffer is full it is sorted and written, in order, into a sorted
// run (TxbPageCollection). Retrieval merges all runs once.
//
// Order: keys compare exactly as the index trees compare them - text byte by
// byte through the collation table, raw bytes unsigned, and a key that is a
// prefix of another is less - and only equal keys are ordered by record
// number. A descending sorter returns the exact reverse order. With Unique
// one entry per key is returned, always the one with the lowest record
// number, in either direction.
//
// Invariants: the entry buffer never exceeds its bound, so memory is the
// same on every build whatever the key count; adding is refused once
// retrieval has begun.
#pragma once

#include <cstdint>
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

// One sorted run: entries of (type code, full length, suffix length, suffix)
// in 16384-byte buffers; each key is the first (full - suffix) bytes of the
// previous key followed by the suffix; a type code 0 ends a buffer.
class TxbPageCollection {
 public:
  static constexpr int kBufferSize = 16384;

  TxbPageCollection() = default;
  TxbPageCollection(const TxbPageCollection&) = delete;
  TxbPageCollection& operator=(const TxbPageCollection&) = delete;

  // Appends a key of n bytes (n at most 255), prefix-compressed against the
  // key appended before it.
  void Append(uint8_t type, const uint8_t* bytes, int n);
  // Starts reading from the first key; false when the run is empty.
  bool Rewind();
  // Moves to the next key; false at the end of the run.
  bool Advance();
  // The key the read position is on (valid after Rewind/Advance gave true).
  uint8_t CurrentType() const { return readType_; }
  const uint8_t* CurrentBytes() const { return readKey_; }
  int CurrentLength() const { return readLength_; }

  int BufferCount() const { return static_cast<int>(buffers_.size()); }
  int64_t KeyCount() const { return keys_; }

 private:
  bool ReadEntry();

  std::vector<std::unique_ptr<uint8_t[]>> buffers_;
  int used_ = 0;  // bytes used in the last buffer
  uint8_t lastKey_[256] = {};
  int lastLength_ = 0;
  int64_t keys_ = 0;
  // Read position.
  int readBuffer_ = 0;
  int readOffset_ = 0;
  uint8_t readType_ = 0;
  uint8_t readKey_[256] = {};
  int readLength_ = 0;
};

class TxbSort {
 public:
  static constexpr int kMaxKeyLength = 251;
  static constexpr int kNodeSize = 10;
  static constexpr int kNodePageSize = 40960;
  static constexpr int kNodesPerPage = kNodePageSize / kNodeSize;
  static constexpr int kMaxNodePages = 32;

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
  // Drops every key and run; adding is allowed again.
  void Reset();

  int KeyLength() const { return keyLength_; }
  bool Ascending() const { return ascending_; }
  bool Unique() const { return unique_; }
  // Runs made so far (a flush of a full buffer makes one; retrieval flushes
  // the rest).
  int RunCount() const { return static_cast<int>(runs_.size()); }
  // Memory of the entry buffer in kNodePageSize units, and the entries
  // added since the last Reset.
  int NodePageCount() const {
    return static_cast<int>((entries_.capacity() + kNodePageSize - 1) / kNodePageSize);
  }
  int64_t NodeCount() const { return nodeCount_; }

 private:
  // Sorts the buffered entries into a new run (equal key and record number
  // kept once) and empties the buffer.
  void FlushEntries();
  void StartRetrieval();
  int CompareHeads(const TxbPageCollection& a, const TxbPageCollection& b) const;
  bool SameKeyPart(const uint8_t* a, int na, const uint8_t* b, int nb) const;
  bool PopSmallest(int& run);
  void RestoreKey(uint8_t type, const uint8_t* bytes, int n, TxbVariant& key) const;

  int keyLength_;
  bool ascending_;
  bool unique_;
  uint8_t rank_[256];    // text byte -> order position under the collation
  uint8_t unrank_[256];  // and back
  // Entries of stride_ bytes: key bytes zero-padded to keyLength_, the key
  // length, the record number big-endian (these compare with memcmp in
  // sort order), then the type code.
  int stride_ = 0;
  std::vector<uint8_t> entries_;
  int64_t nodeCount_ = 0;
  std::vector<std::unique_ptr<TxbPageCollection>> runs_;
  bool retrieving_ = false;
  std::vector<int> heap_;  // runs that still have a head, as a heap
  // The key part of the last key returned (for Unique).
  bool haveLast_ = false;
  uint8_t lastKey_[256] = {};
  int lastLength_ = 0;
};
