// The delta handler's walk over the store.
#include "memtable/delta_handler.h"

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"

TmtCustomDeltaHandler::~TmtCustomDeltaHandler() {
  if (table_) table_->SetDeltaHandler(nullptr);
}

void TmtCustomDeltaHandler::Resolve() {
  if (!table_) MemTableError("Delta handler is not assigned to any memorytables.");
  TmtCommon* store = table_->Store();
  TCriticalSectionGuard guard(store->Lock());
  PMemRecord savedEvaluation = table_->EvaluationRecord();
  struct Restore {
    TmtCustomDeltaHandler* self;
    PMemRecord saved;
    ~Restore() {
      self->table_->SetEvaluationRecord(saved);
      self->current_ = self->oldest_ = nullptr;
    }
  } restore{this, savedEvaluation};
  for (int slot = 0; slot < store->RecordCount(); ++slot) {
    PMemRecord record = store->Record(slot);
    if (!record) continue;
    PMemRecord oldest = record;
    while (oldest->previousVersion) oldest = oldest->previousVersion;
    current_ = record;
    oldest_ = oldest;
    table_->SetEvaluationRecord(record);
    if (record->updateStatus == usDeleted) {
      if (oldest->updateStatus == usInserted)
        NotChangedRecord();
      else
        DeleteRecord();
    } else if (oldest->updateStatus == usInserted) {
      InsertRecord();
    } else if (record->updateStatus == usModified) {
      ModifyRecord();
    } else {
      NotChangedRecord();
    }
  }
}

void TmtCustomMemTable::SetDeltaHandler(TmtCustomDeltaHandler* handler) {
  if (deltaHandler_ && deltaHandler_ != handler) deltaHandler_->table_ = nullptr;
  if (handler) {
    if (handler->table_ && handler->table_ != this) handler->table_->deltaHandler_ = nullptr;
    handler->table_ = this;
  }
  deltaHandler_ = handler;
}
