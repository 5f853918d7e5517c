// Nested transactions of the in-memory table, built on record versions:
// every change made at transaction level L leaves the record stamped with
// L and (in mtvmAllSinceCheckPoint) its previous image chained below it.
#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"

void TmtCustomMemTable::StartTransaction() {
  CheckActive();
  if (!store_->EnableVersioning() || store_->VersioningMode() != mtvmAllSinceCheckPoint)
    MemTableError("Transactioning requires multiversion versioning.");
  store_->RaiseTransactionLevel();
}

void TmtCustomMemTable::Rollback() {
  if (!Active()) return;
  CheckBrowseMode();
  {
    TCriticalSectionGuard guard(store_->Lock());
    const int level = store_->TransactionLevel();
    if (level <= 0) return;
    store_->SetDataModified(false);
    bool modified = false;
    for (int slot = 0; slot < store_->RecordCount(); ++slot) {
      PMemRecord record = store_->Record(slot);
      while (record && record->transactionLevel == level) {
        if (record->updateStatus == usUnmodified) break;
        if (record->updateStatus == usInserted) {
          // Never existed before this level: gone, its slot free again.
          store_->UnstoreRecord(record);
          store_->DisposeRecord(record, true, true);
          record = nullptr;
          break;
        }
        PMemRecord previous = record->previousVersion;
        if (!previous) break;
        if (record->updateStatus == usDeleted) store_->RemoveDeletedVersion();
        store_->ReplaceInSlot(record, previous);
        record->previousVersion = nullptr;
        record->stored = 0;
        store_->DisposeRecord(record, true, false);
        record = previous;
      }
      if (record && record->updateStatus != usUnmodified) modified = true;
    }
    if (modified) store_->SetDataModified(true);
    store_->LowerTransactionLevel();
    store_->MarkAllIndexesDirty();
    store_->RebuildAllIndexes();
  }
  Refresh();
}

void TmtCustomMemTable::Commit() {
  if (!Active()) return;
  CheckBrowseMode();
  {
    TCriticalSectionGuard guard(store_->Lock());
    const int level = store_->TransactionLevel();
    if (level <= 0) return;
    for (int slot = 0; slot < store_->RecordCount(); ++slot) {
      PMemRecord record = store_->Record(slot);
      if (!record) continue;
      // Images made inside this level go; the one from before it stays,
      // so that an outer rollback can still restore it.
      while (PMemRecord version = record->previousVersion) {
        if (version->transactionLevel != level) break;
        record->previousVersion = version->previousVersion;
        version->previousVersion = nullptr;
        version->stored = 0;
        store_->DisposeRecord(version, true, false);
      }
      if (record->transactionLevel == level) record->transactionLevel = level - 1;
    }
    store_->LowerTransactionLevel();
    store_->MarkAllIndexesDirty();
    store_->RebuildAllIndexes();
  }
  Refresh();
}
