// The office model over a dataset, optionally walking a detail model under
// each master row: master row, its detail rows, next master row, ...
#pragma once

#include "excel/office_model.h"
#include "platform/db/dataset.h"

class TOfDataSetModel : public TOfUnknownComponent, public IOfOfficeModel {
 public:
  explicit TOfDataSetModel(TComponent* owner);
  ~TOfDataSetModel() override;
  AnsiString ClassName() const override { return "TOfDataSetModel"; }

  TDataSet* Dataset() const { return dataset_; }
  // Only stores the reference (freed datasets are dropped).
  void SetDataset(TDataSet* dataset);
  TOfDataSetModel* DetailModel() const { return detail_; }
  // The model itself raises EModelException "Circular Model link not
  // allowed.".
  void SetDetailModel(TOfDataSetModel* model);
  // Memo fields give their whole text instead of their edit text (and
  // Populate aligns the columns to the top).
  bool WantFullMemos() const { return wantFullMemos_; }
  void SetWantFullMemos(bool on) { wantFullMemos_ = on; }
  bool InDetail() const { return inDetail_; }

  bool QueryInterface(xl::TGUID iid, void** object) override {
    return TOfUnknownComponent::QueryInterface(iid, object);
  }
  int AddRef() override { return TOfUnknownComponent::AddRef(); }
  int Release() override { return TOfUnknownComponent::Release(); }
  void First() override;
  void Last() override;
  void Next() override;
  void Prior() override;
  int SupportedModes() override { return omCellBit | omRowBit; }
  bool Eof() override;
  bool Bof() override;
  int ColumnCount() override;
  int Reserved() override { return 0; }
  bool HasDetail() override { return detail_ != nullptr; }
  int Level() override;
  Variant ColumnHeaders() override;
  // EModelException without a dataset or with a closed one; remembers the
  // current record; without a detail model the dataset's controls are
  // disabled until EndRead.
  void BeginRead() override;
  // Back to the remembered record; controls enabled again.
  void EndRead() override;
  void GetData(int index, int mode, Variant& value, int& outMode) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  AnsiString FieldText(int index) const;

  TDataSet* dataset_ = nullptr;
  TOfDataSetModel* detail_ = nullptr;
  bool wantFullMemos_ = false;
  bool inDetail_ = false;
  TBookmark bookmark_;
  bool hasBookmark_ = false;
  bool controlsDisabled_ = false;
};
