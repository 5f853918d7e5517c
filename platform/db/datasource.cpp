// Data sources, data links, field links and master links.
#include "platform/db/datasource.h"

#include <algorithm>

#include "platform/db/dataset.h"
#include "platform/db/db_errors.h"

// ------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  Destroying();
  // Links lose their source without being called back: their owners may be
  // half destroyed already.
  for (TDataLink* link : links_) {
    link->dataSource_ = nullptr;
    link->active_ = false;
    link->editing_ = false;
  }
  links_.clear();
  if (dataSet_) dataSet_->RemoveDataSource(this);
  dataSet_ = nullptr;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet && IsLinkedTo(dataSet)) DatabaseError(dbmsg::CircularDataLink);
  if (dataSet_) {
    TDataSet* old = dataSet_;
    dataSet_ = nullptr;
    old->RemoveDataSource(this);
    NotifyState();
  }
  if (dataSet) {
    dataSet_ = dataSet;
    dataSet->AddDataSource(this);
    NotifyState();
  }
}

void TDataSource::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (dataSet_) dataSet_->UpdateBufferCount();
  NotifyState();
}

TDataSetState TDataSource::State() const {
  if (!dataSet_ || !enabled_) return dsInactive;
  return dataSet_->State();
}

void TDataSource::Edit() {
  if (autoEdit_ && State() == dsBrowse) dataSet_->Edit();
}

bool TDataSource::IsLinkedTo(TDataSet* dataSet) const {
  for (int guard = 0; dataSet && guard < 1000; ++guard) {
    TDataSource* source = dataSet->GetDataSource();
    if (!source) return false;
    if (source == this) return true;
    dataSet = source->DataSet();
  }
  return dataSet != nullptr;
}

void TDataSource::NotifyState() {
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->UpdateState();
  TDataSetState state = State();
  if (state != lastState_) {
    lastState_ = state;
    if (OnStateChange) OnStateChange(this);
  }
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    NotifyState();
    return;
  }
  if (State() == dsInactive) return;
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->DataEvent(event, info);
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
    case deFieldListChange:
      if (OnDataChange) OnDataChange(this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

// --------------------------------------------------------------- TDataLink

TDataLink::~TDataLink() {
  if (!dataSource_) return;
  TDataSource* source = dataSource_;
  source->links_.erase(std::remove(source->links_.begin(), source->links_.end(), this),
                       source->links_.end());
  dataSource_ = nullptr;
  if (source->dataSet_) source->dataSet_->UpdateBufferCount();
}

TDataSet* TDataLink::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (source) {
    TDataSet* detail = GetDetailDataSet();
    if (detail && detail->IsLinkedTo(source)) DatabaseError(dbmsg::CircularDataLink);
  }
  if (dataSource_) {
    TDataSource* old = dataSource_;
    old->links_.erase(std::remove(old->links_.begin(), old->links_.end(), this), old->links_.end());
    dataSource_ = nullptr;
    if (old->dataSet_) old->dataSet_->UpdateBufferCount();
  }
  if (source) {
    source->links_.push_back(this);
    dataSource_ = source;
    if (source->dataSet_) source->dataSet_->UpdateBufferCount();
  }
  UpdateState();
}

void TDataLink::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  UpdateState();
}

void TDataLink::SetBufferCount(int count) {
  if (count < 1) count = 1;
  if (count == bufferCount_) return;
  bufferCount_ = count;
  TDataSet* dataSet = DataSet();
  if (active_ && dataSet) {
    dataSet->UpdateBufferCount();
    UpdateRange();
  }
}

int TDataLink::ActiveRecord() const {
  TDataSet* dataSet = DataSet();
  return dataSet && active_ ? dataSet->activeRecord_ - firstRecord_ : 0;
}

void TDataLink::SetActiveRecord(int row) {
  TDataSet* dataSet = DataSet();
  if (!dataSet || !active_) return;
  int index = row + firstRecord_;
  if (index < 0 || index >= std::max(dataSet->recordCount_, 1))
    DatabaseErrorFmt(dbmsg::RecordIndexError, row);
  dataSet->activeRecord_ = index;
}

int TDataLink::RecordCount() const {
  TDataSet* dataSet = DataSet();
  if (!dataSet || !active_) return 0;
  return std::clamp(dataSet->recordCount_ - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit() {
  if (!readOnly_ && dataSource_) dataSource_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

int TDataLink::MoveBy(int distance) {
  TDataSet* dataSet = DataSet();
  return dataSet ? dataSet->MoveBy(distance) : 0;
}

void TDataLink::UpdateState() {
  TDataSetState state = dataSource_ ? dataSource_->State() : dsInactive;
  bool active = state != dsInactive && state != dsOpening;
  if (active != active_) {
    active_ = active;
    if (active_) {
      firstRecord_ = 0;
      UpdateRange();
    }
    ActiveChanged();
  }
  bool editing = active_ && !readOnly_ && (state == dsEdit || state == dsInsert);
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::UpdateRange() {
  TDataSet* dataSet = DataSet();
  if (!dataSet) return;
  int active = dataSet->activeRecord_;
  int count = dataSet->recordCount_;
  // The active record stays visible, and the rows stay filled when the
  // window holds enough records.
  int lo = std::max(0, active - bufferCount_ + 1);
  int hi = std::max(lo, std::min(active, std::max(0, count - bufferCount_)));
  firstRecord_ = std::clamp(firstRecord_, lo, hi);
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
      UpdateRange();
      DataSetChanged();
      break;
    case deDataSetScroll: {
      int before = firstRecord_;
      UpdateRange();
      DataSetScrolled(firstRecord_ - before);
      break;
    }
    case deLayoutChange:
    case deFieldListChange:
      UpdateRange();
      LayoutChanged();
      break;
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(reinterpret_cast<TField**>(info));
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------- TFieldDataLink

void TFieldDataLink::SetFieldName(const AnsiString& name) {
  if (name == fieldName_) return;
  fieldName_ = name;
  UpdateField();
}

void TFieldDataLink::UpdateField() {
  TField* field = nullptr;
  if (Active() && !fieldName_.empty()) field = DataSet()->FindField(fieldName_);
  if (field == field_) return;
  field_ = field;
  RecordChanged(nullptr);
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && field_ && field_->CanModify(); }

bool TFieldDataLink::Edit() {
  if (CanModify()) TDataLink::Edit();
  return Editing();
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::FocusControl(TField** field) {
  if (field && *field && *field == field_ && OnFocusControl) {
    *field = nullptr;
    OnFocusControl(this);
  }
}

void TFieldDataLink::LayoutChanged() {
  TField* before = field_;
  UpdateField();
  // The same field with a new display format, label or alignment: the
  // control still has to show it anew.
  if (field_ && field_ == before) RecordChanged(nullptr);
}

void TFieldDataLink::RecordChanged(TField* field) {
  if (field && field != field_) return;
  modified_ = false;
  if (OnDataChange) OnDataChange(this);
}

void TFieldDataLink::UpdateData() {
  if (!modified_) return;
  if (field_ && OnUpdateData) OnUpdateData(this);
  modified_ = false;
}

// --------------------------------------------------------- TMasterDataLink

void TMasterDataLink::SetFieldNames(const AnsiString& names) {
  if (names == fieldNames_) return;
  fieldNames_ = names;
  ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
  fields_.clear();
  if (Active() && !fieldNames_.empty()) fields_ = DataSet()->GetFieldList(fieldNames_);
  if (!detail_->Active() || detail_->IsDestroying()) return;
  if (Active() && !fields_.empty()) {
    if (OnMasterChange) OnMasterChange(this);
  } else if (OnMasterDisable) {
    OnMasterDisable(this);
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged() { ActiveChanged(); }

void TMasterDataLink::RecordChanged(TField* field) {
  if (!DataSource() || DataSource()->State() == dsSetKey || !detail_->Active() || fields_.empty())
    return;
  if (field && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
  if (OnMasterChange) OnMasterChange(this);
}
