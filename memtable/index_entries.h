// The entries of an index: a positional sequence of record references held
// in blocks of at most kMaxBlock entries, with a Fenwick tree over the block
// sizes. Reading entry i costs O(log blocks); inserting or erasing at any
// position moves at most one block's tail, so a million maintained inserts
// stay far from quadratic. Block splits and merges rebuild the tree
// (O(blocks)), which happens once per hundreds of changes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <tuple>
#include <utility>
#include <vector>

#include "memtable/record_store.h"

class IndexEntries {
 public:
  int Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  PMemRecord At(int position) const {
    auto [block, offset] = Locate(position);
    return blocks_[block][offset];
  }

  void Insert(int position, PMemRecord record) {
    if (blocks_.empty()) {
      blocks_.emplace_back();
      RebuildTree();
    }
    std::size_t block;
    std::size_t offset;
    if (position >= count_) {
      block = blocks_.size() - 1;
      offset = blocks_[block].size();
    } else {
      std::tie(block, offset) = Locate(position);
    }
    std::vector<PMemRecord>& b = blocks_[block];
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(offset), record);
    ++count_;
    if (b.size() > kMaxBlock) {
      std::vector<PMemRecord> tail(b.begin() + static_cast<std::ptrdiff_t>(kMaxBlock / 2), b.end());
      b.resize(kMaxBlock / 2);
      blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(tail));
      RebuildTree();
    } else {
      Add(block, 1);
    }
  }

  void Append(PMemRecord record) { Insert(count_, record); }

  void Erase(int position) {
    auto [block, offset] = Locate(position);
    std::vector<PMemRecord>& b = blocks_[block];
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(offset));
    --count_;
    if (b.empty() && blocks_.size() > 1) {
      blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
      RebuildTree();
    } else {
      Add(block, -1);
    }
  }

  void Clear() {
    blocks_.clear();
    tree_.clear();
    count_ = 0;
  }

  std::vector<PMemRecord> ToVector() const {
    std::vector<PMemRecord> all;
    all.reserve(static_cast<std::size_t>(count_));
    for (const auto& b : blocks_) all.insert(all.end(), b.begin(), b.end());
    return all;
  }

  // Replaces the entries; blocks start half full so inserts have room.
  void Assign(const std::vector<PMemRecord>& records) {
    Clear();
    for (std::size_t i = 0; i < records.size(); i += kMaxBlock / 2) {
      std::size_t end = std::min(records.size(), i + kMaxBlock / 2);
      blocks_.emplace_back(records.begin() + static_cast<std::ptrdiff_t>(i),
                           records.begin() + static_cast<std::ptrdiff_t>(end));
    }
    count_ = static_cast<int>(records.size());
    RebuildTree();
  }

 private:
  static constexpr std::size_t kMaxBlock = 1024;

  // Block and offset of an entry; position must be in 0 .. Count() - 1.
  std::pair<std::size_t, std::size_t> Locate(int position) const {
    std::size_t n = tree_.size();
    std::size_t index = 0;  // 1-based Fenwick walk
    int remaining = position;
    std::size_t step = 1;
    while (step * 2 <= n) step *= 2;
    for (; step > 0; step /= 2) {
      std::size_t next = index + step;
      if (next <= n && tree_[next - 1] <= remaining) {
        index = next;
        remaining -= tree_[next - 1];
      }
    }
    return {index, static_cast<std::size_t>(remaining)};
  }

  void Add(std::size_t block, int delta) {
    for (std::size_t i = block + 1; i <= tree_.size(); i += i & (~i + 1)) tree_[i - 1] += delta;
  }

  void RebuildTree() {
    tree_.assign(blocks_.size(), 0);
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      tree_[i] += static_cast<int>(blocks_[i].size());
      std::size_t parent = (i + 1) + ((i + 1) & (~(i + 1) + 1));
      if (parent <= tree_.size()) tree_[parent - 1] += tree_[i];
    }
  }

  std::vector<std::vector<PMemRecord>> blocks_;
  std::vector<int> tree_;
  int count_ = 0;
};
