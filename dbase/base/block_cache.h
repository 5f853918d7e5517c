// TxbBlockCache: copies of a file's 4096-byte blocks (block n holds the
// bytes from n * 4096), so that reading bytes read before needs no system
// call. It is only sound for a file nobody else writes while it is open
// (a table opened exclusive): every write of its owner is passed to Wrote,
// which keeps the copies equal to the file, and nothing else can make them
// stale.
//
// Misses that follow each other in file order (a walk) read kRunBlocks
// blocks at a time. Memory is bounded: past the bound the block not used
// for longest (in clock order) makes room. While few reads are served
// from the copies (random reads over a file far larger than the bound), a
// full cache fills only one missed block in TxbHitShare::kSample and
// reads the others as asked, so that such reads cost little more than
// without the cache.
//
// A read the copies cannot serve whole (a block missing, the end of the
// file inside a block, a read longer than kMaxReadBlocks blocks) goes to
// the reader, so the end of the file is always the file's own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dbase/base/hit_share.h"
#include "dbase/base/int_map.h"

class TxbBlockCache {
 public:
  static constexpr int32_t kBlockBytes = 4096;
  static constexpr int32_t kMaxReadBlocks = 4;
  // Blocks read at once when misses follow each other in file order.
  static constexpr int32_t kRunBlocks = 8;

  // Reads length bytes at position into buffer and returns how many it
  // got (fewer at the end of the file); raises as the file does.
  using Reader = std::function<int32_t(int64_t position, void* buffer, int32_t length)>;

  TxbBlockCache(int64_t limit, Reader reader);
  ~TxbBlockCache();
  TxbBlockCache(const TxbBlockCache&) = delete;
  TxbBlockCache& operator=(const TxbBlockCache&) = delete;

  // Reads as the reader does, from the copies where they hold the bytes.
  int32_t Read(int64_t position, void* buffer, int32_t length);
  // Told of every write of the file once it succeeded: the copies take the
  // written bytes. A write that leaves a gap after a block's last byte
  // drops that block.
  void Wrote(int64_t position, const void* bytes, int32_t length);
  // Forgets every copy (a failed write, a file truncated or reopened).
  void Clear();

  // The bound in bytes; 0 turns the cache off. A new bound drops every copy.
  void SetLimit(int64_t bytes);
  int64_t Limit() const { return limit_; }
  // Bytes of the copies held (memory is taken in chunks of kChunkSlots
  // blocks, so up to a chunk more).
  int64_t Bytes() const { return static_cast<int64_t>(slots_.size()) * kBlockBytes; }
  int64_t Hits() const { return hits_; }
  int64_t Misses() const { return misses_; }

 private:
  struct Slot {
    int64_t block = -1;  // -1: free
    int32_t valid = 0;   // bytes of the block the file held when read
    bool used = false;   // the clock's second chance
  };
  int32_t Capacity() const { return static_cast<int32_t>(limit_ / kBlockBytes); }
  char* Data(int32_t slot) {
    return chunks_[static_cast<std::size_t>(slot / kChunkSlots)].get() +
           static_cast<std::size_t>(slot % kChunkSlots) * kBlockBytes;
  }
  // A slot for a new block: a new one below the bound, else the clock's,
  // never one holding a block from keepFirst to keepLast (those of the
  // read in progress).
  int32_t Claim(int64_t keepFirst, int64_t keepLast);
  void Forget(int32_t slot);
  // Reads a missing block into a slot and returns the slot.
  int32_t Fill(int64_t block, int64_t keepFirst, int64_t keepLast);
  bool FillsEveryMiss() const { return static_cast<int64_t>(where_.Size()) < Capacity() || hitShare_.Good(); }

  int64_t limit_;
  Reader reader_;
  std::vector<Slot> slots_;
  // Slot bytes in chunks of kChunkSlots blocks, taken as slots are added
  // and never cleared: a slot is read into before it is used. A cache
  // that goes gives its chunks to the next one (up to kIdleChunks kept in
  // the process), whose first reads then fault in no fresh pages.
  static constexpr int32_t kChunkSlots = 16;
  static constexpr std::size_t kIdleChunks = 256;
  void ReleaseChunks();
  std::vector<std::unique_ptr<char[]>> chunks_;
  TxbIntMap<int32_t> where_;  // block -> slot
  int32_t hand_ = 0;
  int64_t lastFilled_ = -2;
  std::vector<char> runBytes_;
  TxbHitShare hitShare_;
  unsigned sampled_ = 0;
  int64_t hits_ = 0;
  int64_t misses_ = 0;
};
