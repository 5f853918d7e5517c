// The table's filter: parsing the Filter text when it changes or the table
// opens, applying the parsed tree in the acceptance test, and the
// framework's find first/last/next/prior.
#include "memtable/filter_eval.h"
#include "memtable/indexes.h"
#include "memtable/mem_table.h"

void TmtCustomMemTable::ParseFilterText() {
  filterTree_.reset();
  AnsiString text = Trim(Filter());
  if (text.empty()) return;
  filterTree_ = ParseFilterExpression(text, FilterOptions(), [this](const AnsiString& name, TFieldType& type) {
    TField* field = FindField(name);
    if (!field) return false;
    type = field->DataType();
    return true;
  });
}

void TmtCustomMemTable::SetFilterText(const AnsiString& text) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFilterText(text);
  filterTree_.reset();
  if (!Active()) return;
  ParseFilterText();
  if (Filtered()) First();
}

void TmtCustomMemTable::SetFiltered(bool on) {
  TDataSet::SetFiltered(on);
  if (!Active()) return;
  if (on && !filterTree_ && !Trim(Filter()).empty()) ParseFilterText();
  First();
}

void TmtCustomMemTable::SetFilterOptions(TFilterOptions options) {
  TDataSet::SetFilterOptions(options);
  if (!Active()) return;
  ParseFilterText();
  if (Filtered()) First();
}

bool TmtCustomMemTable::AcceptByFilterExpression(PMemRecord record) {
  if (!filterTree_) return true;
  PMemRecord saved = evaluationRecord_;
  evaluationRecord_ = record;
  bool accept;
  try {
    accept = EvaluateFilter(*this, *filterTree_);
  } catch (...) {
    evaluationRecord_ = saved;
    throw;
  }
  evaluationRecord_ = saved;
  return accept;
}

bool TmtCustomMemTable::FindRecord(bool restart, bool goForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  UpdateCursorPos();
  bool reached = false;
  {
    TCriticalSectionGuard guard(store_->Lock());
    int count = EntryCount();
    int position = cursor_;
    if (goForward) {
      if (restart) position = -1;
      for (++position; position < count; ++position)
        if (AcceptRecord(EntryAt(position), true)) break;
      reached = position < count;
    } else {
      if (restart) position = count;
      for (--position; position >= 0; --position)
        if (AcceptRecord(EntryAt(position), true)) break;
      reached = position >= 0;
    }
    if (reached) cursor_ = position;
  }
  if (!reached) {
    // The cursor is where it was; the buffers still show that record.
    return false;
  }
  Resync({rmExact, rmCenter});
  SetFound(true);
  DoAfterScroll();
  return true;
}
