// TCriticalSection: a recursive lock. The thread that holds it may take it
// again (a store operation calling another store operation); it is released
// when every Acquire has its Release.
#pragma once

#include <mutex>

class TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Acquire() { mutex_.lock(); }
  void Release() { mutex_.unlock(); }
  // Non-blocking attempt; true when the lock is now held.
  bool TryEnter() { return mutex_.try_lock(); }
  void Enter() { Acquire(); }
  void Leave() { Release(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds a critical section for a scope; a null section (a store used by one
// thread only) is not locked at all.
class TCriticalSectionGuard {
 public:
  explicit TCriticalSectionGuard(TCriticalSection* section) : section_(section) {
    if (section_) section_->Acquire();
  }
  ~TCriticalSectionGuard() {
    if (section_) section_->Release();
  }
  TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
  TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

 private:
  TCriticalSection* section_;
};
