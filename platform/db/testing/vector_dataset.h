// VectorDataSet: a small dataset over rows held in a vector, for tests and
// benchmarks of everything that drives a dataset (the framework, grids,
// exports). Never linked into the program.
//
// Columns are the FieldDefs given before opening. A row keeps, per column,
// a has-value byte and the native value (fields.h); blob values live beside
// it. Each row has a stable integer id that is its 4-byte bookmark.
//
// Record buffer: an 8-byte header (row id, bookmark flag), the row's data
// area, then the calculated area.
//
// Hooks for tests: failures injected into edit/post/delete, a read-only,
// an "unsequenced" (no record numbers) and a forward-only flag, OEM
// storage of texts (string fields then translate through the code pages),
// a master source whose fields of the same names restrict the rows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"

class VectorDataSet : public TDataSet {
 public:
  explicit VectorDataSet(TComponent* owner = nullptr);
  ~VectorDataSet() override;
  AnsiString ClassName() const override { return "VectorDataSet"; }

  // Appends a row (values by column; missing or null values stay null). The
  // columns come from FieldDefs; an open dataset shows the row after a move
  // or Refresh.
  void AddRow(const std::vector<Variant>& values);
  void ClearRows();
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // The stored value of a cell (row by position, column by definition).
  Variant Cell(int row, int column) const;

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  // Unsequenced: record numbers are unknown (-1), as for an index walk.
  void SetSequenced(bool sequenced) { sequenced_ = sequenced; }
  // Reports itself forward-only (the rows can still be walked both ways).
  void SetUniDirectional(bool on) { uniDirectional_ = on; }
  // Texts are stored in CP852 and translated by the string fields.
  void SetStoreOem(bool oem) { storeOem_ = oem; }
  // The next n edits / posts / deletes fail with EDatabaseError.
  void FailNextEdits(int n) { failEdits_ = n; }
  void FailNextPosts(int n) { failPosts_ = n; }
  void FailNextDeletes(int n) { failDeletes_ = n; }

  // Rows whose fields named in MasterFields equal the master's fields of
  // the same names are shown; the link follows MasterSource.
  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  void SetMasterSource(TDataSource* source) { masterLink_.SetDataSource(source); }
  const AnsiString& MasterFields() const { return masterLink_.FieldNames(); }
  void SetMasterFields(const AnsiString& names) { masterLink_.SetFieldNames(names); }

  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  int Translate(const char* src, char* dst, bool toOem) override;
  TDataSource* GetDataSource() const override { return masterLink_.DataSource(); }
  bool IsSequenced() const override { return sequenced_ && !Restricted(); }
  bool IsUniDirectional() const override { return uniDirectional_; }
  void SetRecNo(int recNo) override;
  bool Locate(std::string_view keyFields, const Variant& keyValues,
              TLocateOptions options) override;
  Variant Lookup(std::string_view keyFields, const Variant& keyValues,
                 std::string_view resultFields) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  void SetFiltered(bool on) override;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalInitFieldDefs() override {}
  bool IsCursorOpen() const override { return cursorOpen_; }
  void InternalFieldsBound() override;
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  int GetRecordSize() const override { return recordSize_; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) override;
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) const override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  int GetRecordCount() const override;
  int GetRecNo() const override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  bool GetCanModify() const override { return !readOnly_; }
  bool FindRecord(bool restart, bool goForward) override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  TRecordBuffer GetActiveRecordBuffer() const override;

 private:
  class BlobStream;
  struct Row {
    int32_t id = 0;
    std::vector<char> data;
    std::vector<std::string> blobs;  // by column; used for blob columns only
  };
  struct Column {
    TFieldType type = ftUnknown;
    int size = 0;    // bytes of the native value
    int offset = 0;  // of the has-value byte within the data area
  };

  void BuildLayout();
  void EnsureLayout() const;
  int IndexOfId(int32_t id) const;
  // Whether a filter or the master hides rows.
  bool Restricted() const;
  bool Accepts(int index);
  void FillBuffer(TRecordBuffer buffer, int index);
  int RowForBuffer(TRecordBuffer buffer) const;
  void StoreRow(Row& row, TRecordBuffer buffer);
  // Moves the cursor to the row and shows it centred, with scroll events.
  void DoScrollTo(int index);
  int FindMatch(std::string_view keyFields, const Variant& keyValues, TLocateOptions options);
  void MasterChanged(TObject*);
  [[noreturn]] void Fail(const char* what);

  std::vector<Row> rows_;
  mutable std::vector<Column> columns_;
  mutable int dataSize_ = 0;
  int recordSize_ = 0;
  int calcOffset_ = 0;
  int32_t nextId_ = 1;
  mutable std::unordered_map<int32_t, int> indexOfId_;
  mutable bool indexDirty_ = true;
  int cursor_ = -1;
  bool cursorOpen_ = false;
  bool readOnly_ = false;
  bool sequenced_ = true;
  bool uniDirectional_ = false;
  bool storeOem_ = false;
  int failEdits_ = 0;
  int failPosts_ = 0;
  int failDeletes_ = 0;
  TRecordBuffer filterBuffer_ = nullptr;
  std::map<int, std::string> pendingBlobs_;
  TMasterDataLink masterLink_{this};
};
