// The in-memory table's life cycle: construction and destruction, field
// definitions, open and close over the framework's hooks, index choice, the
// acceptance test, progress and the store notifications. Fetching is in
// mem_table_fetch.cpp, field values in mem_table_fields.cpp, changes in
// mem_table_post.cpp.
#include "memtable/mem_table.h"

#include <algorithm>

#include "memtable/delta_handler.h"
#include "memtable/indexes.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_compare.h"

TmtCustomMemTable::TmtCustomMemTable(TComponent* owner) : TDataSet(owner) {
  SetBookmarkSize(8);
  ownStore_ = std::make_unique<TmtCommon>(this);
  store_ = ownStore_.get();
  store_->AttachTable(this);
  indexes_ = std::make_unique<TmtIndexes>(this);
  currentIndex_ = indexes_->RowOrderIndex();
  masterLink_.OnMasterChange = [this](TObject*) { MasterChanged(); };
  masterLink_.OnMasterDisable = [this](TObject*) { MasterDisabled(); };
}

TmtCustomMemTable::~TmtCustomMemTable() {
  Destroying();
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      Close();
      break;
    } catch (const std::exception& e) {
      ApplicationHandleException(this, e);
    } catch (...) {
      // Nothing may leave a destructor.
    }
    // The failure (a persistent save, an event) was reported; the table
    // still has to close, without trying the same save again.
    persistent_ = false;
  }
  masterLink_.SetDataSource(nullptr);
  SetDeltaHandler(nullptr);
  FreeKeyBuffers();
  store_->DetachTable(this);
  indexes_.reset();
  ownStore_.reset();
}

// ------------------------------------------------------------ helpers

char* TmtCustomMemTable::BookmarkEntryOf(PMemRecord record) const {
  return TmtCommon::RecordData(record) + store_->BookmarkAreaStart() +
         std::max(attachIndex_, 0) * kBookmarkEntrySize;
}

PMemRecord TmtCustomMemTable::KeyBuffer(int which) {
  if (!keyBuffers_[which]) keyBuffers_[which] = store_->NewRecordBlock();
  return keyBuffers_[which];
}

void TmtCustomMemTable::FreeKeyBuffers() {
  for (PMemRecord& buffer : keyBuffers_) {
    store_->FreeRecordBlock(buffer);
    buffer = nullptr;
  }
}

int TmtCustomMemTable::EntryCount() const { return currentIndex_->Entries().Count(); }

PMemRecord TmtCustomMemTable::EntryAt(int position) const {
  return currentIndex_->Entries().At(position);
}

void TmtCustomMemTable::ReportProgress(int percentage, TmtProgressCode code) {
  if (OnProgress && progressFlags_.Contains(code)) OnProgress(this, percentage, code);
}

void TmtCustomMemTable::PickAutoIncField() {
  autoIncField_ = nullptr;
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()[i];
    if (field->DataType() == ftAutoInc && field->FieldKind() == fkData) {
      autoIncField_ = field;
      break;
    }
  }
}

bool TmtCustomMemTable::FieldListFromText(const TDataSet& dataSet, TmtFieldList& list,
                                          const AnsiString& text) {
  list.Clear();
  bool calculated = false;
  for (const TmtFieldListItem& item : SplitFieldListText(text)) {
    TField* field = dataSet.FieldByName(item.name);
    if ((field->FieldKind() != fkData && field->FieldKind() != fkCalculated) ||
        !IsIndexableType(field->DataType()))
      DatabaseErrorFmt(mtmsg::CantIndexOnField, field->DisplayName());
    if (field->FieldKind() == fkCalculated) calculated = true;
    list.Add(field, item.options);
  }
  return calculated;
}

namespace {

void AddDefsFromField(TFieldDefs& defs, TField* field) {
  TFieldDef* def = defs.Add(field->FieldName(), field->DataType(), 0, field->Required());
  switch (field->DataType()) {
    case ftString: case ftFixedChar: case ftBytes: case ftVarBytes: case ftBlob: case ftMemo:
    case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary:
    case ftBCD:
      def->SetSize(field->Size());
      break;
    default:
      break;
  }
  if (auto* bcd = dynamic_cast<TBCDField*>(field)) def->SetPrecision(bcd->Precision());
  if (auto* object = dynamic_cast<TObjectField*>(field)) {
    if (field->DataType() == ftArray) {
      def->SetSize(object->FieldCount());
      if (object->FieldCount() > 0) AddDefsFromField(def->ChildDefs(), object->Fields(0));
    } else {
      for (int i = 0; i < object->FieldCount(); ++i)
        AddDefsFromField(def->ChildDefs(), object->Fields(i));
    }
  }
}

}  // namespace

void TmtCustomMemTable::ParseFieldList(TmtFieldList& list, const AnsiString& text) {
  recalcOnIndex_ = FieldListFromText(*this, list, text);
}

// --------------------------------------------------------- open and close

void TmtCustomMemTable::InternalOpen() {
  if (store_->Owner() != this && !store_->Owner()->Active()) store_->Owner()->Open();
  TCriticalSectionGuard guard(store_->Lock());
  cursor_ = -1;
  lastChangedPosition_ = -1;
}

void TmtCustomMemTable::InternalInitFieldDefs() {
  TCriticalSectionGuard guard(store_->Lock());
  if (store_->Owner() != this) {
    TFieldDefs& own = FieldDefs();
    own.Clear();
    const TFieldDefs& theirs = store_->Owner()->FieldDefs();
    for (int i = 0; i < theirs.Count(); ++i) own.AddFieldDef()->Assign(theirs.Items(i));
  } else if (FieldCount() > 0) {
    // Persistent fields decide the columns; the stored definitions may
    // name fewer (a form keeps both).
    TFieldDefs& defs = FieldDefs();
    defs.Clear();
    for (int i = 0; i < FieldCount(); ++i)
      if (Fields()[i]->FieldKind() == fkData) AddDefsFromField(defs, Fields()[i]);
  }
  if (FieldDefs().Count() == 0) MemTableError(mtmsg::NoFields);
  // Field numbers follow the definitions' order, the order of the layout.
  if (!FieldDefs().HasChildDefs())
    for (int i = 0; i < FieldDefs().Count(); ++i) FieldDefs().Items(i)->SetFieldNo(i + 1);
  // Checked before the framework makes fields from the definitions, so an
  // unsupported type reports the table's own message.
  TmtCommon::CheckSupportedTypes(FieldDefs());
}

void TmtCustomMemTable::InternalFieldsBound() {
  TCriticalSectionGuard guard(store_->Lock());
  PickAutoIncField();
  if (store_->Owner() == this) {
    store_->SetAutoIncHighMark(store_->AutoIncMinValue() - 1);
    store_->BuildRecordLayout();
  }
  cursorOpen_ = true;
  cursor_ = -1;
  MakeIndexesFromDefs();
  masterFieldList_.Clear();
  detailFieldList_.Clear();
  TDataSet* master = MasterSource() ? MasterSource()->DataSet() : nullptr;
  if (master && master->Active() && !MasterFields().empty())
    FieldListFromText(*master, masterFieldList_, MasterFields());
  if (!detailFieldNames_.empty()) FieldListFromText(*this, detailFieldList_, detailFieldNames_);
  beforeCloseDone_ = false;
}

void TmtCustomMemTable::MakeIndexesFromDefs() {
  indexes_->RemoveAllButRowOrder();
  for (int i = 0; i < IndexDefs().Count(); ++i) indexes_->CreateFromDef(*IndexDefs().Items(i));
  currentIndex_ = indexes_->RowOrderIndex();
  indexFields_.Clear();
}

void TmtCustomMemTable::DoAfterOpen() {
  if (!inAfterOpen_) {
    inAfterOpen_ = true;
    try {
      store_->MarkAllIndexesDirty();
      CheckIndexDefinitions();
      if (!indexFieldNames_.empty())
        SetIndexFieldNames(indexFieldNames_);
      else if (!indexName_.empty())
        SetIndexName(indexName_);
      LoadFormData();
      LoadPersistentFile();
      ParseFilterText();
      ParseDetailFields();
    } catch (...) {
      inAfterOpen_ = false;
      throw;
    }
    inAfterOpen_ = false;
  }
  TDataSet::DoAfterOpen();
}

void TmtCustomMemTable::CheckIndexDefinitions() {
  TCriticalSectionGuard guard(store_->Lock());
  bool refresh = false;
  for (int i = indexes_->Count() - 1; i >= 0; --i) {
    TmtIndex* index = indexes_->Items(i);
    if (index->RowOrder() || IndexDefs().IndexOf(index->Name()) >= 0) continue;
    if (index == currentIndex_) {
      indexFieldNames_.clear();
      refresh = true;
    }
    indexes_->Remove(index);
  }
  for (int i = 0; i < IndexDefs().Count(); ++i)
    if (!indexes_->FindByName(IndexDefs().Items(i)->Name()))
      indexes_->CreateFromDef(*IndexDefs().Items(i));
  for (int i = 0; i < indexes_->Count(); ++i) {
    TmtIndex* index = indexes_->Items(i);
    if (index->Sorted()) continue;
    index->Rebuild();
    if (index == currentIndex_ && Active()) refresh = true;
  }
  if (refresh && Active() && State() == dsBrowse) Resync({});
}

void TmtCustomMemTable::DoBeforeClose() {
  if (State() == dsEdit || State() == dsInsert) Cancel();
  if (!beforeCloseDone_) {
    TDataSet::DoBeforeClose();
    SavePersistentFile();
    beforeCloseDone_ = true;
  }
}

void TmtCustomMemTable::InternalClose() {
  TCriticalSectionGuard guard(store_->Lock());
  cursorOpen_ = false;
  if (store_->Owner() == this) {
    ReportProgress(0, mtpcEmpty);
    store_->CloseAllTablesBut(this);
    store_->DiscardAllRecords(true);
    ReportProgress(100, mtpcEmpty);
  }
  indexes_->RemoveAllButRowOrder();
  // A closed table holds no entries: nothing of it can point at records
  // the store drops while it is closed.
  indexes_->EmptyAll();
  currentIndex_ = indexes_->RowOrderIndex();
  indexFields_.Clear();
  cursor_ = -1;
  lastChangedPosition_ = -1;
  FreeKeyBuffers();
  beforeCloseDone_ = false;
}

void TmtCustomMemTable::ClearAllRecords() {
  ReportProgress(0, mtpcEmpty);
  DisableControls();
  try {
    TCriticalSectionGuard guard(store_->Lock());
    store_->DiscardAllRecords();
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  ReportProgress(100, mtpcEmpty);
}

void TmtCustomMemTable::ResetAfterClear() {
  if (!cursorOpen_) return;
  if (State() == dsEdit || State() == dsInsert) Cancel();
  indexes_->EmptyAll();
  for (int i = 0; i < indexes_->Count(); ++i) indexes_->Items(i)->SetSorted(true);
  cursor_ = -1;
  lastChangedPosition_ = -1;
  // The buffers show records that are about to go: read again (nothing).
  if (State() == dsBrowse || State() == dsBlockRead) {
    InternalFirst();
    Resync({});
  }
  DataEvent(deDataSetChange, 0);
}

// ------------------------------------------------------------ index choice

void TmtCustomMemTable::SwitchIndex(TmtIndex* index) {
  if (!index) index = indexes_->RowOrderIndex();
  if (index == currentIndex_) return;
  int rememberedSlot = -1;
  if (Active()) {
    CheckBrowseMode();
    if (PMemRecord active = Buf(ActiveBuffer()); active && BufferedRecordCount() > 0)
      rememberedSlot = active->slot;
  }
  TCriticalSectionGuard guard(store_->Lock());
  if (Active() && currentIndex_) UpdateCursorPos();
  if (index->Kind() == 1) {
    indexFieldNames_.clear();
    indexName_.clear();
  } else {
    indexFieldNames_ = index->FieldNames();
    indexName_ = index->Name();
  }
  currentIndex_ = index;
  try {
    if (index->Kind() == 1)
      indexFields_.Clear();
    else
      ParseFieldList(indexFields_, index->FieldNames());
    if (!index->Sorted() && cursorOpen_) index->Rebuild();
    if (cursor_ >= EntryCount()) cursor_ = EntryCount() - 1;
    if (Active() && cursor_ >= 0) {
      int position = -1;
      if (rememberedSlot >= 0) {
        for (int i = 0; i < EntryCount(); ++i)
          if (EntryAt(i)->slot == rememberedSlot) {
            position = i;
            break;
          }
      }
      if (position >= 0 && AcceptRecord(EntryAt(position), false)) {
        cursor_ = position;
        Resync({});
      } else {
        First();
      }
    } else if (Active()) {
      First();
    }
  } catch (...) {
    // The table cannot show the new order: it closes and says why.
    try {
      Close();
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

void TmtCustomMemTable::SetIndexName(const AnsiString& name) {
  if (!cursorOpen_) {
    indexName_ = name;
    if (!name.empty()) indexFieldNames_.clear();
    return;
  }
  if (name.empty()) {
    SwitchIndex(indexes_->RowOrderIndex());
    return;
  }
  if (TmtIndex* index = indexes_->FindByName(name)) SwitchIndex(index);
}

void TmtCustomMemTable::SetIndexFieldNames(const AnsiString& names) {
  if (!cursorOpen_) {
    indexFieldNames_ = names;
    if (!names.empty()) indexName_.clear();
    return;
  }
  if (names.empty()) {
    SwitchIndex(indexes_->RowOrderIndex());
    return;
  }
  if (TmtIndex* index = indexes_->FindByFieldNames(names)) SwitchIndex(index);
}

void TmtCustomMemTable::SetIndexDefs(const TIndexDefs& defs) { IndexDefs().Assign(&defs); }

void TmtCustomMemTable::SetPerformance(TmtPerformance performance) {
  if (Active()) MemTableError(mtmsg::TableMustBeClosed);
  store_->SetPerformance(performance);
}

void TmtCustomMemTable::SetStandalone(bool on) { store_->SetStandalone(on); }

void TmtCustomMemTable::SetEnableIndexes(bool on) {
  if (on == enableIndexes_) return;
  enableIndexes_ = on;
  if (on && cursorOpen_) CheckIndexDefinitions();
}

void TmtCustomMemTable::RecalculateRecord(PMemRecord record) {
  if (CalcFieldsSize() > 0) CalculateFields(reinterpret_cast<TRecordBuffer>(record));
}

// ---------------------------------------------------------- notifications

void TmtCustomMemTable::RefreshIfBrowsing() {
  if (State() == dsBrowse) Refresh();
}

void TmtCustomMemTable::UpdateIndexesFor(int operation, int positionHint, PMemRecord newRecord,
                                         PMemRecord oldRecord) {
  indexes_->Update(operation, positionHint, newRecord, oldRecord);
}

void TmtCustomMemTable::DataEvent(TDataEvent event, intptr_t info) {
  if (store_->EventsMuted()) return;
  TDataSet::DataEvent(event, info);
}

void TmtCustomMemTable::Notification(TComponent* component, TOperation operation) {
  TDataSet::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (MasterSource() == component) SetMasterSource(nullptr);
  if (attachedTo_ == component) attachedTo_ = nullptr;
}

bool TmtCustomMemTable::IsIndexField(TField* field) const {
  return indexFields_.IndexOf(field) >= 0;
}
