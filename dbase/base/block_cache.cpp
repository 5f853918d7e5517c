#include "dbase/base/block_cache.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace {

struct IdleChunks {
  std::mutex lock;
  std::vector<std::unique_ptr<char[]>> chunks;
};

// Never destroyed: caches of tables closed during the program's exit may
// still give their chunks back.
IdleChunks& Idle() {
  static IdleChunks* idle = new IdleChunks;
  return *idle;
}

}  // namespace

TxbBlockCache::~TxbBlockCache() { ReleaseChunks(); }

void TxbBlockCache::ReleaseChunks() {
  {
    IdleChunks& idle = Idle();
    std::lock_guard<std::mutex> hold(idle.lock);
    for (auto& chunk : chunks_)
      if (idle.chunks.size() < kIdleChunks) idle.chunks.push_back(std::move(chunk));
  }
  chunks_.clear();
  chunks_.shrink_to_fit();
}

TxbBlockCache::TxbBlockCache(int64_t limit, Reader reader)
    : limit_(std::max<int64_t>(limit, 0)), reader_(std::move(reader)) {}

int32_t TxbBlockCache::Claim(int64_t keepFirst, int64_t keepLast) {
  if (static_cast<int32_t>(slots_.size()) < Capacity()) {
    if (slots_.size() == chunks_.size() * kChunkSlots) {
      std::unique_ptr<char[]> chunk;
      {
        IdleChunks& idle = Idle();
        std::lock_guard<std::mutex> hold(idle.lock);
        if (!idle.chunks.empty()) {
          chunk = std::move(idle.chunks.back());
          idle.chunks.pop_back();
        }
      }
      if (!chunk) chunk.reset(new char[static_cast<std::size_t>(kChunkSlots) * kBlockBytes]);
      chunks_.push_back(std::move(chunk));
    }
    slots_.emplace_back();
    return static_cast<int32_t>(slots_.size()) - 1;
  }
  // Capacity exceeds the blocks of one read, so a slot outside it comes
  // round within two turns of the clock.
  for (;;) {
    if (hand_ >= static_cast<int32_t>(slots_.size())) hand_ = 0;
    const int32_t slot = hand_++;
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (s.block < 0) return slot;
    if (s.block >= keepFirst && s.block <= keepLast) continue;
    if (s.used) {
      s.used = false;
      continue;
    }
    Forget(slot);
    return slot;
  }
}

void TxbBlockCache::Forget(int32_t slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  if (s.block >= 0) where_.Erase(s.block);
  s = Slot();
}

int32_t TxbBlockCache::Fill(int64_t block, int64_t keepFirst, int64_t keepLast) {
  // A miss right after the block filled last is a walk in file order: the
  // blocks after it that are not held come with the same read.
  int32_t run = 1;
  if (block == lastFilled_ + 1 && Capacity() > 2 * kRunBlocks)
    while (run < kRunBlocks && !where_.Contains(block + run)) ++run;
  const int64_t keepLow = std::min(keepFirst, block);
  const int64_t keepHigh = std::max(keepLast, block + run - 1);
  if (run == 1) {
    const int32_t slot = Claim(keepLow, keepHigh);
    // The slot joins the map only once the read succeeded.
    const int32_t got = reader_(block * kBlockBytes, Data(slot), kBlockBytes);
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s = Slot{block, std::clamp(got, 0, kBlockBytes), true};
    where_.Insert(block, slot);
    lastFilled_ = block;
    return slot;
  }
  runBytes_.resize(static_cast<std::size_t>(run) * kBlockBytes);
  const int32_t got = reader_(block * kBlockBytes, runBytes_.data(), run * kBlockBytes);
  int32_t first = -1;
  for (int32_t i = 0; i < run; ++i) {
    const int32_t valid = std::clamp(got - i * kBlockBytes, 0, kBlockBytes);
    if (i > 0 && valid == 0) break;  // past the end of the file
    const int32_t slot = Claim(keepLow, keepHigh);
    std::memcpy(Data(slot), runBytes_.data() + static_cast<std::size_t>(i) * kBlockBytes,
                static_cast<std::size_t>(valid));
    // Blocks read ahead get no second chance until they are used.
    slots_[static_cast<std::size_t>(slot)] = Slot{block + i, valid, i == 0};
    where_.Insert(block + i, slot);
    lastFilled_ = block + i;
    if (i == 0) first = slot;
  }
  return first;
}

int32_t TxbBlockCache::Read(int64_t position, void* buffer, int32_t length) {
  if (Capacity() <= kMaxReadBlocks || length <= 0 || position < 0) return reader_(position, buffer, length);
  const int64_t first = position / kBlockBytes;
  const int64_t last = (position + length - 1) / kBlockBytes;
  if (last - first >= kMaxReadBlocks) return reader_(position, buffer, length);

  int32_t found[kMaxReadBlocks];
  bool missing = false;
  for (int64_t b = first; b <= last; ++b) {
    const int32_t* held = where_.Find(b);
    int32_t slot = held ? *held : -1;
    if (slot >= 0) {
      // A block read where the file ended then: the file may be longer
      // now, so the copy cannot say where it ends.
      const int64_t start = b * kBlockBytes;
      const int64_t needed = std::min<int64_t>(position + length - start, kBlockBytes);
      const Slot& s = slots_[static_cast<std::size_t>(slot)];
      if (s.valid < needed) {
        Forget(slot);
        slot = -1;
      }
    }
    found[b - first] = slot;
    missing = missing || slot < 0;
  }
  if (missing) {
    ++misses_;
    hitShare_.Note(false);
    if (!FillsEveryMiss() && ++sampled_ % TxbHitShare::kSample != 0) return reader_(position, buffer, length);
  } else {
    ++hits_;
    hitShare_.Note(true);
  }

  char* out = static_cast<char*>(buffer);
  int32_t copied = 0;
  for (int64_t b = first; b <= last; ++b) {
    int32_t slot = found[b - first];
    if (slot < 0) {
      // An earlier block's fill may have read this one along.
      const int32_t* held = where_.Find(b);
      slot = held ? *held : Fill(b, first, last);
    }
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s.used = true;
    const int32_t offset = static_cast<int32_t>(position + copied - b * kBlockBytes);
    const int32_t wanted = std::min(length - copied, kBlockBytes - offset);
    const int32_t there = std::clamp(s.valid - offset, 0, wanted);
    std::memcpy(out + copied, Data(slot) + offset, static_cast<std::size_t>(there));
    copied += there;
    if (there < wanted) break;  // the end of the file
  }
  return copied;
}

void TxbBlockCache::Wrote(int64_t position, const void* bytes, int32_t length) {
  if (where_.Empty() || length <= 0 || position < 0) return;
  const char* in = static_cast<const char*>(bytes);
  const int64_t end = position + length;
  auto take = [&](int64_t block, int32_t slot) {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    const int64_t start = block * kBlockBytes;
    const int64_t from = std::max(position, start);
    const int64_t to = std::min(end, start + kBlockBytes);
    if (from > start + s.valid) {
      Forget(slot);  // the bytes between would be unknown
      return;
    }
    std::memcpy(Data(slot) + (from - start), in + (from - position), static_cast<std::size_t>(to - from));
    s.valid = std::max(s.valid, static_cast<int32_t>(to - start));
  };
  const int64_t first = position / kBlockBytes;
  const int64_t last = (end - 1) / kBlockBytes;
  if (static_cast<uint64_t>(last - first) < where_.Size()) {
    for (int64_t b = first; b <= last; ++b) {
      if (const int32_t* held = where_.Find(b)) take(b, *held);
    }
    return;
  }
  // A write over more blocks than are held: walk the held ones instead.
  std::vector<std::pair<int64_t, int32_t>> touched;
  where_.ForEach([&](int64_t block, int32_t slot) {
    if (block >= first && block <= last) touched.emplace_back(block, slot);
  });
  for (const auto& [block, slot] : touched) take(block, slot);
}

void TxbBlockCache::Clear() {
  for (Slot& s : slots_) s = Slot();
  where_.Clear();
  hand_ = 0;
}

void TxbBlockCache::SetLimit(int64_t bytes) {
  const int32_t before = Capacity();
  limit_ = std::max<int64_t>(bytes, 0);
  if (Capacity() == before) return;
  slots_.clear();
  slots_.shrink_to_fit();
  ReleaseChunks();
  where_.Clear();
  hand_ = 0;
}
