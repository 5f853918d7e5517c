#include "app/chain_lock.h"

#include "platform/gui/application.h"
#include "platform/rtl/system.h"

namespace {

void CloseQuietly(TXbaseDataSet* counters) noexcept {
  try {
    if (counters->State() == dsEdit || counters->State() == dsInsert) counters->Cancel();
  } catch (...) {
  }
  try {
    counters->Close();
  } catch (...) {
  }
}

}  // namespace

TChainLock::TChainLock(TXbaseDataSet* counters) : counters_(counters) {
  counters_->Open();
  try {
    bool first = true;
    AnsiString refusal;
    const bool locked = RetryWithPause(
        [&] {
          // The windows keep painting while another station holds the lock.
          if (!first) Application->ProcessMessages();
          first = false;
          try {
            counters_->Edit();
            return true;
          } catch (const ERecordLocked& e) {
            refusal = e.Message();
            return false;
          }
        },
        kChainLockAttempts, kChainLockPauseMs);
    if (!locked) throw ERecordLocked(refusal);
    held_ = true;
  } catch (...) {
    CloseQuietly(counters_);
    throw;
  }
}

TChainLock::~TChainLock() {
  if (held_ || counters_->Active()) CloseQuietly(counters_);
}

void TChainLock::Commit() {
  counters_->Post();
  held_ = false;
  counters_->Close();
}

void TChainLock::Release() {
  if (counters_->State() == dsEdit || counters_->State() == dsInsert) counters_->Cancel();
  held_ = false;
  counters_->Close();
}
