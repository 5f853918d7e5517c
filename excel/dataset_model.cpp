// The dataset model.
#include "excel/dataset_model.h"

#include "platform/db/fields.h"

TOfDataSetModel::TOfDataSetModel(TComponent* owner) : TOfUnknownComponent(owner) {
  AddInterface(IID_IOfOfficeModel, static_cast<IOfOfficeModel*>(this));
}

TOfDataSetModel::~TOfDataSetModel() {
  SetDataset(nullptr);
  detail_ = nullptr;
}

void TOfDataSetModel::SetDataset(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_) RemoveFreeNotification(dataset_);
  dataset_ = dataset;
  if (dataset_) FreeNotification(dataset_);
}

void TOfDataSetModel::SetDetailModel(TOfDataSetModel* model) {
  if (model == detail_) return;
  if (model == this) throw EModelException(oftext::kCircularModelLink);
  if (detail_) RemoveFreeNotification(detail_);
  detail_ = model;
  if (detail_) FreeNotification(detail_);
}

void TOfDataSetModel::Notification(TComponent* component, TOperation operation) {
  TOfUnknownComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == dataset_) dataset_ = nullptr;
  if (component == detail_) {
    detail_ = nullptr;
    inDetail_ = false;
  }
}

void TOfDataSetModel::First() {
  if (!dataset_) return;
  inDetail_ = false;
  dataset_->First();
}

void TOfDataSetModel::Last() {
  if (!dataset_) return;
  inDetail_ = false;
  dataset_->Last();
}

// A master row without detail rows is passed over rather than entered: the
// detail model would otherwise deliver an empty row under it.
void TOfDataSetModel::Next() {
  if (!dataset_) return;
  if (!detail_) {
    dataset_->Next();
  } else if (inDetail_) {
    detail_->Next();
    if (detail_->Eof()) {
      inDetail_ = false;
      dataset_->Next();
    }
  } else {
    detail_->First();
    if (detail_->Dataset() && !detail_->Eof()) {
      inDetail_ = true;
    } else {
      dataset_->Next();
    }
  }
}

void TOfDataSetModel::Prior() {
  if (!dataset_) return;
  if (!detail_) {
    dataset_->Prior();
  } else if (inDetail_) {
    detail_->Prior();
    if (detail_->Bof()) {
      inDetail_ = false;
      dataset_->Prior();
    }
  } else {
    detail_->Last();
    if (detail_->Dataset() && !detail_->Eof()) {
      inDetail_ = true;
    } else {
      dataset_->Prior();
    }
  }
}

bool TOfDataSetModel::Eof() { return dataset_ && dataset_->Eof(); }

bool TOfDataSetModel::Bof() { return dataset_ && dataset_->Bof(); }

int TOfDataSetModel::ColumnCount() {
  if (!dataset_) return 0;
  if (inDetail_ && detail_) return detail_->ColumnCount();
  return dataset_->FieldCount();
}

int TOfDataSetModel::Level() {
  if (!dataset_) return 0;
  if (inDetail_ && detail_) return 1 + detail_->Level();
  return 1;
}

Variant TOfDataSetModel::ColumnHeaders() {
  if (!dataset_) return Variant();
  std::vector<Variant> headers;
  for (int i = 0; i < dataset_->FieldCount(); ++i) headers.emplace_back(dataset_->Fields()[i]->DisplayName());
  return Variant::Array(std::move(headers), 0);
}

AnsiString TOfDataSetModel::FieldText(int index) const {
  TField* field = dataset_->Fields()[index];
  bool memo = field->DataType() == ftMemo || field->DataType() == ftFmtMemo;
  return memo && wantFullMemos_ ? field->AsString() : field->Text();
}

void TOfDataSetModel::GetData(int index, int mode, Variant& value, int& outMode) {
  if (!dataset_) return;
  if (mode != omCell && mode != omRow) throw Exception(oftext::kUnsupportedMode);
  if (inDetail_ && detail_) {
    detail_->GetData(index, mode, value, outMode);
    return;
  }
  outMode = mode;
  if (mode == omCell) {
    value = index >= 0 && index < dataset_->FieldCount() ? Variant(FieldText(index)) : Variant();
    return;
  }
  std::vector<Variant> row;
  for (int i = 0; i < dataset_->FieldCount(); ++i) row.emplace_back(FieldText(i));
  value = Variant::Array(std::move(row), 0);
}

void TOfDataSetModel::BeginRead() {
  if (!dataset_) throw EModelException(oftext::kDatasetNotAssigned);
  if (!dataset_->Active()) throw EModelException(oftext::kDatasetNotOpen);
  bookmark_ = dataset_->GetBookmark();
  hasBookmark_ = true;
  inDetail_ = false;
  if (!detail_) {
    dataset_->DisableControls();
    controlsDisabled_ = true;
  }
}

void TOfDataSetModel::EndRead() {
  if (!dataset_) return;
  bool disabled = controlsDisabled_;
  controlsDisabled_ = false;
  inDetail_ = false;
  try {
    if (hasBookmark_ && !bookmark_.empty() && dataset_->BookmarkValid(bookmark_)) dataset_->GotoBookmark(bookmark_);
  } catch (...) {
    hasBookmark_ = false;
    bookmark_.clear();
    if (disabled) dataset_->EnableControls();
    throw;
  }
  hasBookmark_ = false;
  bookmark_.clear();
  if (disabled) dataset_->EnableControls();
}
