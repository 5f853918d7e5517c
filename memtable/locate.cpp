// Locate and Lookup: the key values go into a scratch record, which the
// search compares with the records of the current index (directly when the
// index has the key fields, else by a scan), accepted records only.
#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"

int TmtCustomMemTable::FindMatchingRecord(std::string_view keyFields, const Variant& keyValues,
                                          TLocateOptions options) {
  if (keyValues.IsArray()) {
    for (int i = keyValues.ArrayLowBound(); i <= keyValues.ArrayHighBound(); ++i)
      if (keyValues.Element(i).IsArray()) MemTableError(mtmsg::InvalidDimensions);
  }
  CheckBrowseMode();
  CursorPosChanged();
  TmtFieldList list;
  FieldListFromText(*this, list, AnsiString(keyFields));
  for (int i = 0; i < list.Count(); ++i) {
    TmtMemTableCompareOptions o = list.OptionsAt(i);
    if (options.Contains(loCaseInsensitive)) o |= mtcoCaseInsensitive;
    if (options.Contains(loPartialKey)) o |= mtcoPartialKey;
    list.SetOptions(i, o);
  }
  TCriticalSectionGuard guard(store_->Lock());
  PMemRecord scratch = store_->NewRecordBlock();
  PMemRecord savedEvaluation = evaluationRecord_;
  int position = -1;
  try {
    evaluationRecord_ = scratch;
    SetFieldsFromValues(AnsiString(keyFields), keyValues);
    evaluationRecord_ = savedEvaluation;
    if (!currentIndex_->Sorted()) currentIndex_->Rebuild();
    position = indexes_->SearchWithFieldList(list, scratch, true);
  } catch (...) {
    evaluationRecord_ = savedEvaluation;
    store_->FreeRecordBlock(scratch);
    throw;
  }
  store_->FreeRecordBlock(scratch);
  return position;
}

bool TmtCustomMemTable::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  DoBeforeScroll();
  int position = FindMatchingRecord(keyFields, keyValues, options);
  bool found = position >= 0;
  SetFound(found);
  if (found) {
    cursor_ = position;
    Resync({rmExact, rmCenter});
    DoAfterScroll();
  }
  return found;
}

Variant TmtCustomMemTable::Lookup(std::string_view keyFields, const Variant& keyValues,
                                  std::string_view resultFields) {
  Variant result = Variant::Null();
  int position = FindMatchingRecord(keyFields, keyValues, {});
  bool found = position >= 0;
  SetFound(found);
  if (!found) return result;
  PMemRecord record = EntryAt(position);
  TDataSetState saved = SetTempState(dsCalcFields);
  PMemRecord savedEvaluation = evaluationRecord_;
  try {
    RecalculateRecord(record);
    evaluationRecord_ = record;
    result = FieldValues(resultFields);
  } catch (...) {
    evaluationRecord_ = savedEvaluation;
    RestoreState(saved);
    throw;
  }
  evaluationRecord_ = savedEvaluation;
  RestoreState(saved);
  return result;
}
