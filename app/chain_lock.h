// TChainLock: the journal's chain lock. Every write that sets a balance from
// the file (a new document, a correction's carry-forward, the balance
// recalculation) runs while this process holds the record lock of the
// branch's counter record. Taking it waits for another holder through the
// one retry helper, letting the windows repaint between attempts (the
// caller keeps input out with a busy scope).
//
// Invariants: the counter table is open and its record in edit state
// exactly while the lock is held; the destructor releases it (Cancel, then
// Close) without raising, whatever happened in between.
#pragma once

#include "dbase/dataset/xbase_dataset.h"

class TChainLock {
 public:
  // Opens the counter table and takes its record lock (Edit: lock, then
  // re-read). A lock refused for every attempt raises ERecordLocked with
  // the engine's text; any other failure propagates at once. The table is
  // closed again when this raises.
  explicit TChainLock(TXbaseDataSet* counters);
  ~TChainLock();
  TChainLock(const TChainLock&) = delete;
  TChainLock& operator=(const TChainLock&) = delete;

  TXbaseDataSet* Counters() const { return counters_; }
  bool Held() const { return held_; }
  // Writes the counter record (which releases its lock) and closes the table.
  void Commit();
  // Releases without writing and closes the table; raises on failure.
  void Release();

 private:
  TXbaseDataSet* counters_;
  bool held_ = false;
};

// The number of attempts and the pause between them (5 s in all).
constexpr int kChainLockAttempts = 100;
constexpr int kChainLockPauseMs = 50;
