// Data sources and data links: how controls and detail datasets follow a
// dataset. A TDataSource stands between one dataset and any number of
// links; a TDataLink sees a window of the dataset's record buffers (its own
// BufferCount rows from its own first record) and receives the dataset's
// notifications through virtual methods.
//
// Invariant: while a link is active, its first record lies in the dataset's
// window, its active record is inside its own rows, and its row r names the
// dataset's buffer first + r.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/db/db_types.h"
#include "platform/rtl/classes.h"

class TDataSet;
class TDataLink;
class TField;

using TDataChangeEvent = std::function<void(TObject* sender, TField* field)>;

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;
  AnsiString ClassName() const override { return "TDataSource"; }

  TDataSet* DataSet() const { return dataSet_; }
  // Raises "Circular datalinks are not allowed" when the dataset hangs
  // (through its master sources) on this source.
  void SetDataSet(TDataSet* dataSet);
  // A disabled source shows its links an inactive dataset.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Whether Edit() (a control starting to change a value) puts the dataset
  // into edit state.
  bool AutoEdit() const { return autoEdit_; }
  void SetAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }
  // The dataset's state; dsInactive without dataset or while disabled.
  TDataSetState State() const;
  // Puts a browsing dataset into edit state when AutoEdit is on.
  void Edit();
  // Whether dataSet hangs on this source through its master sources.
  bool IsLinkedTo(TDataSet* dataSet) const;

  // OnDataChange: field changed (field) or record/scroll/layout (null).
  TDataChangeEvent OnDataChange;
  TNotifyEvent OnStateChange;
  TNotifyEvent OnUpdateData;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, intptr_t info);
  void NotifyState();

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  bool autoEdit_ = true;
  TDataSetState lastState_ = dsInactive;
  std::vector<TDataLink*> links_;
};

class TDataLink : public TObject {
 public:
  TDataLink() = default;
  ~TDataLink() override;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  AnsiString ClassName() const override { return "TDataLink"; }

  TDataSource* DataSource() const { return dataSource_; }
  // Raises "Circular datalinks are not allowed" when the link feeds a detail
  // dataset that the new source leads back to.
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  // Rows this link shows; the dataset keeps at least as many buffers.
  int BufferCount() const { return bufferCount_; }
  void SetBufferCount(int count);
  // The current record's row; setting it switches the dataset's active
  // buffer to that row for reading (the caller restores it, also when an
  // exception passes).
  int ActiveRecord() const;
  void SetActiveRecord(int row);
  // Rows that hold records.
  int RecordCount() const;
  // Asks the source to put the dataset into edit state; true when editing.
  virtual bool Edit();
  // Lets the control write its pending value (UpdateData) into the record.
  void UpdateRecord();
  int MoveBy(int distance);

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  // The link's rows moved by distance records (positive: towards the end).
  virtual void DataSetScrolled(int distance) { (void)distance; DataSetChanged(); }
  virtual void EditingChanged() {}
  // *field names the field to focus; a link that focuses it clears *field.
  virtual void FocusControl(TField** field) { (void)field; }
  virtual void LayoutChanged() { DataSetChanged(); }
  // A field (or, null, the whole record) of the current record changed.
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void UpdateData() {}
  // The dataset this link feeds as a detail (master links); null otherwise.
  virtual TDataSet* GetDetailDataSet() const { return nullptr; }

 private:
  friend class TDataSet;
  friend class TDataSource;
  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();
  void UpdateRange();

  TDataSource* dataSource_ = nullptr;
  int firstRecord_ = 0;
  int bufferCount_ = 1;
  bool active_ = false;
  bool editing_ = false;
  bool readOnly_ = false;
  bool updating_ = false;
};

// The link of a data-aware control to one field.
class TFieldDataLink : public TDataLink {
 public:
  AnsiString ClassName() const override { return "TFieldDataLink"; }
  const AnsiString& FieldName() const { return fieldName_; }
  void SetFieldName(const AnsiString& name);
  // The field of that name while the link is active; null otherwise.
  TField* Field() const { return field_; }
  // The control that shows the field (for focusing).
  TComponent* Control() const { return control_; }
  void SetControl(TComponent* control) { control_ = control; }
  // Whether the control may change the value now.
  bool CanModify() const;
  bool Edit() override;
  // The control's value differs from the field's (it will write it back).
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // Drops the control's pending value and shows the field's again.
  void Reset() { RecordChanged(nullptr); }

  TNotifyEvent OnDataChange;
  TNotifyEvent OnEditingChange;
  TNotifyEvent OnUpdateData;
  TNotifyEvent OnActiveChange;
  // The dataset asks the control to take the focus (e.g. a required field).
  TNotifyEvent OnFocusControl;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TField** field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

 private:
  void UpdateField();

  AnsiString fieldName_;
  TField* field_ = nullptr;
  TComponent* control_ = nullptr;
  bool modified_ = false;
};

// The link of a detail dataset to its master: the master fields named in
// FieldNames, and hooks for "the master moved" and "the master went away".
class TMasterDataLink : public TDataLink {
 public:
  explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}
  AnsiString ClassName() const override { return "TMasterDataLink"; }
  const AnsiString& FieldNames() const { return fieldNames_; }
  void SetFieldNames(const AnsiString& names);
  // The master's fields named in FieldNames (empty while inactive).
  const std::vector<TField*>& Fields() const { return fields_; }

  TNotifyEvent OnMasterChange;
  TNotifyEvent OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  TDataSet* GetDetailDataSet() const override { return detail_; }

 private:
  TDataSet* detail_;
  AnsiString fieldNames_;
  std::vector<TField*> fields_;
};
