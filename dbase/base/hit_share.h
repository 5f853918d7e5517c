// TxbHitShare: how many of the recent looks into a cache found what they
// looked for. Both counts halve every kSpan looks, so the share follows
// what the program does now. Caches use it to stop filling every miss
// when random work over far more than they can hold finds almost nothing
// again (see the index page cache and the table block cache).
#pragma once

#include <cstdint>

class TxbHitShare {
 public:
  void Note(bool hit) {
    ++looks_;
    if (hit) ++hits_;
    if (looks_ >= kSpan) {
      looks_ /= 2;
      hits_ /= 2;
    }
  }
  // True until kKnown looks are counted, and while at least one in kShare
  // found its page or block.
  bool Good() const { return looks_ < kKnown || hits_ * kShare >= looks_; }

  // While the share is not good, a full cache keeps one miss in so many.
  static constexpr unsigned kSample = 16;

 private:
  static constexpr int64_t kShare = 4;
  static constexpr int64_t kKnown = 512;
  static constexpr int64_t kSpan = 16384;
  int64_t looks_ = 0;
  int64_t hits_ = 0;
};
