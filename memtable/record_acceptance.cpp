// The acceptance test that every navigation, count, search and save goes
// through, and what feeds it: the range (key buffers 1 and 2), the master's
// values (key buffer 3), the status filter, OnFilterRecord and the parsed
// filter expression.
//
// The test runs in the framework's filter state with the record under test
// as the filter record, so calculated fields and field reads inside
// OnFilterRecord see that record; the state is restored on every exit.
#include <algorithm>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_compare.h"
#include "platform/db/db_errors.h"

namespace {

constexpr int kRangeStart = 1;
constexpr int kRangeEnd = 2;
constexpr int kMasterValues = 3;

}  // namespace

bool TmtCustomMemTable::AcceptTestActive() const {
  if (!statusFilter_.Empty()) return true;
  if (store_->DeletedVersionCount() > 0) return true;
  if (Filtered() && (OnFilterRecord || filterTree_)) return true;
  return RangeOrMasterActive();
}

bool TmtCustomMemTable::AcceptRecord(PMemRecord record, bool forceFilter) {
  if (!forceFilter && !AcceptTestActive()) return true;
  if (!statusFilter_.Empty()) {
    if (record->updateStatus > usDeleted ||
        !statusFilter_.Contains(static_cast<TUpdateStatus>(record->updateStatus)))
      return false;
  } else if (record->updateStatus == usDeleted) {
    return false;
  }
  PMemRecord savedFilter = filterRecord_;
  filterRecord_ = record;
  TDataSetState saved = SetTempState(dsFilter);
  bool accept = true;
  try {
    if (recalcOnIndex_) RecalculateRecord(record);
    accept = AcceptByRangeAndMaster(record);
    if (accept && (forceFilter || Filtered())) {
      if (OnFilterRecord) OnFilterRecord(this, accept);
      if (accept) accept = AcceptByFilterExpression(record);
    }
  } catch (...) {
    RestoreState(saved);
    filterRecord_ = savedFilter;
    throw;
  }
  RestoreState(saved);
  filterRecord_ = savedFilter;
  return accept;
}

bool TmtCustomMemTable::AcceptByRangeAndMaster(PMemRecord record) {
  if (rangeActive_) {
    // Null fields of a range buffer match anything: an open end.
    if (CompareRecords(this, KeyBuffer(kRangeStart), record, indexFields_, -1, false, true) > 0) return false;
    if (CompareRecords(this, KeyBuffer(kRangeEnd), record, indexFields_, -1, false, true) < 0) return false;
  }
  if (MasterDetailActive()) {
    int limit = static_cast<int>(masterLink_.Fields().size());
    if (CompareRecords(this, KeyBuffer(kMasterValues), record, DetailKeyFields(), limit, false, false) != 0)
      return false;
  }
  return true;
}

PMemRecord TmtCustomMemTable::SelectKeyBuffer(int which, bool reset) {
  if (which < 0 || which > kMasterValues) MemTableError(Format("Invalid key buffer %d", which));
  PMemRecord buffer = KeyBuffer(which);
  currentKeyBuffer_ = which;
  if (reset) {
    TCriticalSectionGuard guard(store_->Lock());
    store_->FreeVarValues(buffer);
    store_->ResetRecordHeader(buffer);
  }
  return buffer;
}

void TmtCustomMemTable::DropRange() {
  if (!rangeActive_) return;
  int32_t slot = -1;
  if (Active() && BufferedRecordCount() > 0) slot = Buf(ActiveBuffer())->slot;
  rangeActive_ = false;
  if (!Active()) return;
  PMemRecord record = slot >= 0 ? store_->Record(slot) : nullptr;
  if (!record) {
    First();
    return;
  }
  {
    TCriticalSectionGuard guard(store_->Lock());
    cursor_ = currentIndex_->FindRecordPosition(record, false);
  }
  if (cursor_ < 0) {
    First();
    return;
  }
  Resync({});
}

// ----------------------------------------------------------- master/detail

void TmtCustomMemTable::SetMasterSource(TDataSource* source) {
  if (source && source->DataSet() == this) {
    DatabaseError("Selfreferencing master/detail relations not allowed.");
  }
  masterLink_.SetDataSource(source);
}

void TmtCustomMemTable::SetMasterFields(const AnsiString& names) {
  masterLink_.SetFieldNames(names);
  TDataSet* master = masterLink_.DataSet();
  if (Active() && master && master->Active()) FieldListFromText(*master, masterFieldList_, names);
}

void TmtCustomMemTable::SetDetailFields(const AnsiString& names) {
  detailFieldNames_ = names;
  if (Active()) ParseDetailFields();
}

void TmtCustomMemTable::ParseDetailFields() {
  detailFieldList_.Clear();
  if (!detailFieldNames_.empty()) FieldListFromText(*this, detailFieldList_, detailFieldNames_);
  if (MasterDetailActive()) MasterChanged();
}

const TmtFieldList& TmtCustomMemTable::DetailKeyFields() const {
  return detailFieldList_.Count() > 0 ? detailFieldList_ : indexFields_;
}

bool TmtCustomMemTable::MasterDetailActive() const {
  return masterDetailEnabled_ && MasterSource() && !MasterFields().empty() && masterLink_.Active() &&
         !masterLink_.Fields().empty() && DetailKeyFields().Count() > 0;
}

void TmtCustomMemTable::MasterChanged() {
  if (MasterFields().empty() || DetailKeyFields().Count() == 0 || !Active()) return;
  const std::vector<TField*>& master = masterLink_.Fields();
  PMemRecord key = KeyBuffer(kMasterValues);
  {
    TCriticalSectionGuard guard(store_->Lock());
    store_->FreeVarValues(key);
    store_->ResetRecordHeader(key);
  }
  const TmtFieldList& detail = DetailKeyFields();
  int n = std::min(static_cast<int>(master.size()), detail.Count());
  for (int i = 0; i < n; ++i) WriteFieldFromVariant(key, detail.FieldAt(i), master[i]->AsVariant());
  CheckBrowseMode();
  First();
}

void TmtCustomMemTable::MasterDisabled() {
  if (Active()) First();
}

void TmtCustomMemTable::ApplyMasterValues(PMemRecord record) {
  if (!MasterDetailActive()) return;
  const std::vector<TField*>& master = masterLink_.Fields();
  const TmtFieldList& detail = DetailKeyFields();
  int n = std::min(static_cast<int>(master.size()), detail.Count());
  for (int i = 0; i < n; ++i) WriteFieldFromVariant(record, detail.FieldAt(i), master[i]->AsVariant());
}
