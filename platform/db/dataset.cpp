// TDataSet: life cycle, states, the edit protocol and its events, fields and
// their binding, calculated and lookup fields, bookmarks, filters and the
// notification of data sources. The buffer window and the moves over it are
// in dataset_buffers.cpp.
#include "platform/db/dataset.h"

#include <algorithm>
#include <cstring>

#include "platform/db/datasource.h"

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  Destroying();
  // A concrete dataset has closed itself; nothing virtual can run here.
  state_ = dsInactive;
  std::vector<TDataSource*> sources = dataSources_;
  dataSources_.clear();
  for (TDataSource* source : sources) {
    source->dataSet_ = nullptr;
    source->NotifyState();
  }
  for (TField* field : fields_.list_) {
    field->dataSet_ = nullptr;
    if (auto* object = dynamic_cast<TObjectField*>(field)) object->AttachChildren(nullptr);
  }
  fields_.list_.clear();
}

// -------------------------------------------------------------------- life

void TDataSet::SetActive(bool active) {
  if (IsLoading()) {
    streamedActive_ = active;
    return;
  }
  if (active == Active()) return;
  if (active)
    OpenDataSet();
  else
    CloseDataSet();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (streamedActive_) {
    streamedActive_ = false;
    SetActive(true);
  }
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(dbmsg::DataSetClosed);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(dbmsg::DataSetOpen);
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) DatabaseError(dbmsg::DataSetReadOnly);
}

void TDataSet::InitFieldDefs() {
  InternalInitFieldDefs();
  fieldDefs_.SetUpdated(true);
}

void TDataSet::OpenDataSet() {
  DoBeforeOpen();
  state_ = dsOpening;
  try {
    InternalOpen();
    InitFieldDefs();
    defaultFields_ = fields_.Count() == 0;
    if (defaultFields_) CreateFields();
    BindFields(true);
    InternalFieldsBound();
    bufferCount_ = 1;
    for (TDataSource* source : dataSources_) {
      if (!source->Enabled()) continue;
      for (TDataLink* link : source->links_) bufferCount_ = std::max(bufferCount_, link->bufferCount_);
    }
    AllocateBuffers();
    InternalFirst();
    GetNextRecords();
    bof_ = true;
  } catch (...) {
    try {
      CloseCursor();
    } catch (...) {
      // The failure that stopped the open is the one to report.
    }
    state_ = dsInactive;
    throw;
  }
  SetState(dsBrowse);
  DoAfterOpen();
  if (!IsEmpty()) DoAfterScroll();
}

void TDataSet::CloseDataSet() {
  DoBeforeClose();
  // Cancelled through the normal path, so the dataset releases what the
  // edit holds (a record lock).
  if (state_ == dsEdit || state_ == dsInsert || state_ == dsSetKey) Cancel();
  if (blockReadSize_ > 0) {
    blockReadSize_ = 0;
    if (state_ == dsBlockRead) state_ = dsBrowse;
    EnableControls();
  }
  CloseCursor();
  SetState(dsInactive);
  DoAfterClose();
}

void TDataSet::CloseCursor() {
  FreeBuffers();
  bufferCount_ = 0;
  ClearBuffers();
  oldValueMode_ = OldValueMode::None;
  if (IsCursorOpen()) InternalClose();
  BindFields(false);
  if (defaultFields_) DestroyFields();
  defaultFields_ = false;
}

void TDataSet::CreateFields() {
  for (int i = 0; i < fieldDefs_.Count(); ++i) fieldDefs_.Items(i)->CreateField(this, this);
}

void TDataSet::DestroyFields() {
  while (!fields_.list_.empty()) delete fields_.list_.back();
}

namespace {

// Definitions one definition stands for in the flattened walk: itself, its
// members once (ADT) or its element Size times (array), recursively.
int WalkCount(const TFieldDef* def) {
  int count = 1;
  if (const TFieldDefs* children = def->ChildDefsIfAny()) {
    int per = 0;
    for (int i = 0; i < children->Count(); ++i) per += WalkCount(children->Items(i));
    count += def->DataType() == ftArray ? per * std::max(def->Size(), 0) : per;
  }
  return count;
}

}  // namespace

void TDataSet::BindChildFields(TField* field, const TFieldDef* def, int fieldNo) {
  auto* object = dynamic_cast<TObjectField*>(field);
  const TFieldDefs* children = def->ChildDefsIfAny();
  if (!object || !children || children->Count() == 0) return;
  int next = fieldNo + 1;
  if (def->DataType() == ftArray) {
    const TFieldDef* element = children->Items(0);
    int per = WalkCount(element);
    for (int i = 0; i < object->FieldCount(); ++i) {
      TField* part = object->Fields(i);
      BindDataField(part, element, next + i * per);
    }
    return;
  }
  for (int i = 0; i < children->Count(); ++i) {
    const TFieldDef* member = children->Items(i);
    if (TField* part = object->FindChild(member->Name()); part && part->ParentField() == field)
      BindDataField(part, member, next);
    next += WalkCount(member);
  }
}

void TDataSet::BindDataField(TField* field, const TFieldDef* def, int fieldNo) {
  if (def->DataType() != field->DataType()) {
    // Integer kinds meet, a float field reads currency, a string field
    // fixed-length text; the field then reads the definition's layout.
    if (!field->AcceptsDefType(def->DataType()))
      DatabaseErrorFmt(dbmsg::FieldTypeMismatch, field->DisplayName(),
                       FieldTypeName(field->DataType()), FieldTypeName(def->DataType()));
    field->SetDataType(def->DataType());
  }
  switch (def->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftBytes:
    case ftVarBytes:
      if (def->Size() != field->Size())
        DatabaseErrorFmt(dbmsg::FieldSizeMismatch, field->DisplayName(), field->Size(),
                         def->Size());
      break;
    default:
      break;
  }
  field->fieldNo_ = fieldNo;
  field->offset_ = 0;
  BindChildFields(field, def, fieldNo);
}

void TDataSet::UnbindChildFields(TField* field) {
  auto* object = dynamic_cast<TObjectField*>(field);
  if (!object) return;
  for (int i = 0; i < object->FieldCount(); ++i) {
    TField* part = object->Fields(i);
    part->fieldNo_ = 0;
    part->offset_ = 0;
    UnbindChildFields(part);
  }
}

void TDataSet::BindFields(bool binding) {
  calcFieldsSize_ = 0;
  // With ADT or array columns every definition, parts included, is numbered
  // by its place in the flattened depth-first walk; otherwise the numbers
  // are the definitions' own (a dataset may leave out columns).
  bool walkNumbers = fieldDefs_.HasChildDefs();
  std::vector<int> firstNo;
  if (binding && walkNumbers) {
    int next = 1;
    for (int i = 0; i < fieldDefs_.Count(); ++i) {
      firstNo.push_back(next);
      next += WalkCount(fieldDefs_.Items(i));
    }
  }
  for (TField* field : fields_.list_) {
    if (!binding) {
      field->fieldNo_ = 0;
      field->offset_ = 0;
      UnbindChildFields(field);
      continue;
    }
    if (field->FieldKind() == fkData) {
      TFieldDef* def = fieldDefs_.Find(field->FieldName());
      int fieldNo = walkNumbers ? firstNo[static_cast<std::size_t>(def->Index())] : def->FieldNo();
      BindDataField(field, def, fieldNo);
    } else if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
      if (field->IsBlob()) DatabaseErrorFmt(dbmsg::FieldTypeMismatch, field->DisplayName(),
                                            FieldTypeName(field->DataType()), "Calculated");
      if (field->FieldKind() == fkLookup &&
          (!field->LookupDataSet() || field->KeyFields().empty() ||
           field->LookupKeyFields().empty() || field->LookupResultField().empty()))
        DatabaseErrorFmt(dbmsg::LookupInfoError, field->DisplayName());
      field->fieldNo_ = -1;
      field->offset_ = calcFieldsSize_;
      calcFieldsSize_ += field->DataSize() + 1;
    } else {
      field->fieldNo_ = -1;
    }
  }
}

// ------------------------------------------------------------------ states

void TDataSet::SetState(TDataSetState state) {
  if (state_ == state) return;
  bool wasActive = Active();
  state_ = state;
  modified_ = false;
  if (wasActive != Active())
    NotifySources(deUpdateState, 0);  // opening and closing always reach the links
  else
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  TDataSetState old = state_;
  state_ = state;
  ++tempStateDepth_;
  return old;
}

void TDataSet::RestoreState(TDataSetState state) {
  state_ = state;
  if (tempStateDepth_ > 0) --tempStateDepth_;
}

TRecordBuffer TDataSet::GetActiveRecordBuffer() const {
  switch (state_) {
    case dsBrowse: return recordCount_ > 0 ? ActiveBuffer() : nullptr;
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsCurValue:
    case dsBlockRead: return ActiveBuffer();
    case dsCalcFields:
    case dsInternalCalc: return calcBuffer_;
    case dsOldValue:
      switch (oldValueMode_) {
        case OldValueMode::Edit: return oldValueBuffer_;
        case OldValueMode::Insert: return nullptr;
        default: return recordCount_ > 0 ? ActiveBuffer() : nullptr;
      }
    default: return nullptr;
  }
}

// ----------------------------------------------------------------- editing

void TDataSet::CheckOperation(const std::function<void()>& operation,
                              const TDataSetErrorEvent& onError) {
  for (;;) {
    try {
      UpdateCursorPos();
      operation();
      return;
    } catch (EAbort&) {
      throw;
    } catch (Exception& error) {
      TDataAction action = daFail;
      if (onError) onError(this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) throw EAbort();
      // daRetry: the handler fixed what it could; try again.
    }
  }
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  CheckActive();
  if (recordCount_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  CheckOperation([this] { InternalEdit(); }, OnEditError);
  CalculateFields(ActiveBuffer());
  std::memcpy(oldValueBuffer_, ActiveBuffer(), static_cast<std::size_t>(GetRecordSize()));
  oldValueMode_ = OldValueMode::Edit;
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
  CheckActive();
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  oldValueMode_ = OldValueMode::Insert;
  SetState(dsInsert);
  try {
    DoNewRecord();
  } catch (...) {
    UpdateCursorPos();
    oldValueMode_ = OldValueMode::None;
    SetState(dsBrowse);
    Resync({});
    throw;
  }
  // Values set by OnNewRecord alone do not make the record modified.
  modified_ = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBookmark current(static_cast<std::size_t>(bookmarkSize_), '\0');
  if (recordCount_ > 0 && bookmarkSize_ > 0) GetBookmarkData(ActiveBuffer(), current.data());
  MoveBuffer(recordCount_, activeRecord_);
  CursorPosChanged();
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (recordCount_ == 0)
    SetBookmarkFlag(buffer, bfBOF);
  else if (bookmarkSize_ > 0)
    SetBookmarkData(buffer, current.data());
  if (recordCount_ < bufferCount_) ++recordCount_;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  std::vector<LinkPosition> links = SaveLinkPositions();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  recordCount_ = 1;
  bof_ = false;
  GetPriorRecords();
  RestoreLinkPositions(links);
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Post() {
  UpdateRecord();
  switch (state_) {
    case dsEdit:
    case dsInsert:
      DataEvent(deCheckBrowseMode, 0);
      DoBeforePost();
      CheckOperation(
          [this] {
            CheckRequiredFields();
            InternalPost();
          },
          OnPostError);
      FreeFieldBuffers();
      oldValueMode_ = OldValueMode::None;
      SetState(dsBrowse);
      Resync({});
      DoAfterPost();
      break;
    case dsSetKey:
      SetState(dsBrowse);
      break;
    default:
      break;
  }
}

void TDataSet::Cancel() {
  switch (state_) {
    case dsEdit:
    case dsInsert:
      DataEvent(deCheckBrowseMode, 0);
      DoBeforeCancel();
      UpdateCursorPos();
      InternalCancel();
      FreeFieldBuffers();
      oldValueMode_ = OldValueMode::None;
      SetState(dsBrowse);
      Resync({});
      DoAfterCancel();
      break;
    case dsSetKey:
      SetState(dsBrowse);
      break;
    default:
      break;
  }
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (recordCount_ == 0) DatabaseError(dbmsg::DataSetEmpty);
  CheckCanModify();
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation([this] { InternalDelete(); }, OnDeleteError);
  FreeFieldBuffers();
  oldValueMode_ = OldValueMode::None;
  SetState(dsBrowse);
  Resync({});
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  DoBeforeRefresh();
  UpdateCursorPos();
  InternalRefresh();
  Resync({});
  DoAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  switch (state_) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (modified_)
        Post();
      else
        Cancel();
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

void TDataSet::UpdateRecord() {
  if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey)
    DatabaseError(dbmsg::NotEditing);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::FreeFieldBuffers() {
  for (TField* field : fields_.list_) {
    auto* blob = dynamic_cast<TBlobField*>(field);
    if (!blob || !blob->Modified()) continue;
    CloseBlob(blob);
    blob->SetModified(false);
  }
}

void TDataSet::CheckRequiredFields() {
  for (TField* field : fields_.list_) {
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData && field->IsNull()) {
      field->FocusControl();
      DatabaseErrorFmt(dbmsg::FieldRequired, field->DisplayName());
    }
  }
}

void TDataSet::InternalAddRecord(TRecordBuffer, bool) { DatabaseError(dbmsg::NotSupported); }

void TDataSet::InternalHandleException(const std::exception& error) {
  ApplicationHandleException(this, error);
}

// --------------------------------------------------------------- bookmarks

bool TDataSet::BookmarkAvailable() const {
  return Active() && (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) &&
         recordCount_ > 0 && bookmarkSize_ > 0 && GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() const {
  if (!BookmarkAvailable()) return TBookmark();
  TBookmark bookmark(static_cast<std::size_t>(bookmarkSize_), '\0');
  GetBookmarkData(ActiveBuffer(), bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  if (static_cast<int>(bookmark.size()) != bookmarkSize_) DatabaseError(dbmsg::InvalidBookmark);
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark&) { return false; }

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
  return 0;
}

// ------------------------------------------------------------------ fields

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
  std::vector<TField*> list;
  std::size_t pos = 0;
  while (pos <= names.size()) {
    std::size_t end = names.find(';', pos);
    if (end == std::string_view::npos) end = names.size();
    AnsiString name = Trim(names.substr(pos, end - pos));
    if (!name.empty()) list.push_back(FieldByName(name));
    pos = end + 1;
  }
  return list;
}

Variant TDataSet::FieldValues(std::string_view names) const {
  std::vector<TField*> list = GetFieldList(names);
  if (list.size() == 1) return list[0]->Value();
  std::vector<Variant> values;
  values.reserve(list.size());
  for (TField* field : list) values.push_back(field->Value());
  return Variant::Array(std::move(values));
}

void TDataSet::SetFieldValues(std::string_view names, const Variant& value) {
  std::vector<TField*> list = GetFieldList(names);
  if (list.size() == 1) {
    list[0]->SetValue(value);
    return;
  }
  if (value.IsArray()) {
    if (value.ArrayCount() < static_cast<int>(list.size()))
      DatabaseErrorFmt(dbmsg::InvalidFieldValue, AnsiString(names));
    for (std::size_t i = 0; i < list.size(); ++i)
      list[i]->SetValue(value.Element(value.ArrayLowBound() + static_cast<int>(i)));
    return;
  }
  if (value.IsNull() || value.IsEmpty()) {
    for (TField* field : list) field->Clear();
    return;
  }
  DatabaseErrorFmt(dbmsg::InvalidFieldValue, AnsiString(names));
}

void TDataSet::ClearCalcFields(TRecordBuffer) {}

bool TDataSet::GetCalcFieldValue(const char* area, const TField* field, void* buffer) {
  const char* slot = area + field->Offset();
  if (slot[0] == 0) return false;
  if (buffer) std::memcpy(buffer, slot + 1, static_cast<std::size_t>(field->DataSize()));
  return true;
}

void TDataSet::SetCalcFieldValue(char* area, const TField* field, const void* buffer) {
  char* slot = area + field->Offset();
  std::size_t size = static_cast<std::size_t>(field->DataSize());
  if (buffer) {
    slot[0] = 1;
    std::memcpy(slot + 1, buffer, size);
  } else {
    slot[0] = 0;
    std::memset(slot + 1, 0, size);
  }
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  if (calcFieldsSize_ == 0 || state_ == dsInternalCalc) return;
  TTempRecordScope scope(*this, calcBuffer_, buffer, dsCalcFields);
  ClearCalcFields(buffer);
  RunLookups();
  DoCalcFields();
}

void TDataSet::RunLookups() {
  for (TField* field : fields_.list_) {
    if (field->FieldKind() != fkLookup) continue;
    TDataSet* other = field->LookupDataSet();
    Variant value = Variant::Null();
    if (other && other->Active()) {
      Variant keys = FieldValues(field->KeyFields());
      if (!keys.IsNull())
        value = other->Lookup(field->LookupKeyFields(), keys, field->LookupResultField());
    }
    field->SetAsVariant(value);
  }
}

void TDataSet::FieldChanged(TField* field) {
  if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) modified_ = true;
  bool recalculated = false;
  if ((state_ == dsEdit || state_ == dsInsert) && autoCalcFields_ && calcFieldsSize_ > 0 &&
      field->FieldKind() == fkData) {
    CalculateFields(ActiveBuffer());
    recalculated = true;
  }
  if (field->OnChange) field->OnChange(field);
  NotifyOrHold(deFieldChange, reinterpret_cast<intptr_t>(field));
  if (!recalculated) return;
  // Controls showing a calculated value learn of its new value at once.
  for (TField* f : fields_.list_)
    if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup)
      NotifyOrHold(deRecordChange, reinterpret_cast<intptr_t>(f));
}

// ---------------------------------------------------------- records, search

void TDataSet::SetRecNo(int) { CheckBrowseMode(); }

void TDataSet::SetFiltered(bool on) {
  if (Active()) CheckBrowseMode();
  filtered_ = on;
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
  if (Active()) CheckBrowseMode();
  filterOptions_ = options;
}

bool TDataSet::FindRecord(bool, bool) { DatabaseError(dbmsg::NotSupported); }

bool TDataSet::Locate(std::string_view, const Variant&, TLocateOptions) {
  DatabaseError(dbmsg::NotSupported);
}

Variant TDataSet::Lookup(std::string_view, const Variant&, std::string_view) {
  DatabaseError(dbmsg::NotSupported);
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }

bool TDataSet::GetFieldText(TField*, bool, AnsiString&) { return false; }

int TDataSet::Translate(const char* src, char* dst, bool) {
  if (!src) {
    if (dst) *dst = '\0';
    return 0;
  }
  std::size_t n = std::strlen(src);
  if (dst != src) std::memmove(dst, src, n + 1);
  return static_cast<int>(n);
}

bool TDataSet::IsIndexField(TField*) const { return false; }

void TDataSet::SetBlockReadSize(int size) {
  if (size > 0) {
    if (blockReadSize_ <= 0) {
      CheckBrowseMode();
      DisableControls();
      if (state_ == dsBrowse) state_ = dsBlockRead;
    }
    blockReadSize_ = size;
  } else if (blockReadSize_ > 0) {
    blockReadSize_ = 0;
    if (state_ == dsBlockRead) state_ = dsBrowse;
    EnableControls();
  }
}

// ------------------------------------------------------------ notification

void TDataSet::DisableControls() {
  if (disableCount_ == 0) {
    heldChange_ = false;
    heldLayout_ = false;
  }
  ++disableCount_;
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0 || --disableCount_ > 0) return;
  std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources) source->NotifyState();
  if (heldLayout_)
    NotifySources(deLayoutChange, 0);
  else if (heldChange_)
    NotifySources(deDataSetChange, 0);
  heldChange_ = false;
  heldLayout_ = false;
}

bool TDataSet::IsLinkedTo(TDataSource* source) const {
  // A chain longer than any sane configuration is a circle of others.
  for (int guard = 0; source && guard < 1000; ++guard) {
    TDataSet* d = source->DataSet();
    if (!d) return false;
    if (d == this) return true;
    source = d->GetDataSource();
  }
  return source != nullptr;
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deFieldChange) {
    FieldChanged(reinterpret_cast<TField*>(info));
    return;
  }
  NotifyOrHold(event, info);
}

void TDataSet::NotifyOrHold(TDataEvent event, intptr_t info) {
  if (tempStateDepth_ > 0) return;
  if (disableCount_ > 0) {
    switch (event) {
      case deLayoutChange:
      case deFieldListChange: heldLayout_ = true; break;
      case deFieldChange:
      case deRecordChange:
      case deDataSetChange:
      case deDataSetScroll:
      case deUpdateState: heldChange_ = true; break;
      default: break;
    }
    return;
  }
  NotifySources(event, info);
}

void TDataSet::NotifySources(TDataEvent event, intptr_t info) {
  std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources)
    if (std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end())
      source->DataEvent(event, info);
}

void TDataSet::AddDataSource(TDataSource* source) {
  dataSources_.push_back(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source),
                     dataSources_.end());
  UpdateBufferCount();
}
