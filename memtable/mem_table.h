// TmtCustomMemTable: a dataset whose records live in memory, in a record
// store (record_store.h) seen through the table's own indexes (indexes.h).
// It implements the framework's record-set contract: open and close,
// record buffers (store blocks), fetch over the current index, field values,
// edit/insert/post/cancel/delete, bookmarks, record numbers and counts, and
// key search. TmtMemTable only publishes it.
//
// Cursor: an entry number of the current index; -1 is before the first
// entry, the entry count after the last. RecNo is the cursor position + 1
// in the current index, also when a filter hides earlier records.
//
// Bookmarks are 8 bytes: the record's slot and its unique number (int32
// each). A bookmark whose slot is free or holds another record is stale:
// invalid, sorted as missing, and refused by GotoBookmark.
//
// Every hook that touches records takes the store lock (recursive) for
// itself; none holds it across the framework's calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memtable/field_list.h"
#include "memtable/record_store.h"
#include "platform/db/dataset.h"
#include "platform/db/filter_expr.h"
#include "platform/db/datasource.h"
#include "platform/rtl/streams.h"

class TmtIndex;
class TmtIndexes;
class TmtCustomDeltaHandler;

enum TmtProgressCode : int { mtpcLoad, mtpcSave, mtpcCopy, mtpcEmpty, mtpcSort, mtpcSearch };
using TmtProgressCodes = TSetOf<TmtProgressCode>;

enum TmtMemTableSaveFlag : int {
  mtfSaveData, mtfSaveCalculated, mtfSaveLookup, mtfSaveNonVisible, mtfSaveBlobs, mtfSaveDef,
  mtfSaveIndexDef, mtfSkipRest, mtfSaveFiltered, mtfSaveInLocalFormat, mtfSaveIgnoreRange,
  mtfSaveIgnoreMasterDetail, mtfSaveDeltas, mtfSaveDontFilterDeltas, mtfSaveAppend,
  mtfSaveFieldKind, mtfSaveNoHeader
};
using TmtMemTableSaveFlags = TSetOf<TmtMemTableSaveFlag>;

enum TmtStorageFormat : int { mtsfBinary, mtsfCSV };

// Events, sender first; "var" arguments are references.
using TmtOnProgress = std::function<void(TDataSet* dataSet, int percentage, TmtProgressCode code)>;
using TmtOnRecordAccept = std::function<void(TDataSet* dataSet, bool& accept)>;
using TmtOnFieldEvent = std::function<void(TDataSet* dataSet, int fieldNo, TField* field)>;
using TmtOnStreamTransform = std::function<void(TStream& source, TStream& target)>;
using TmtOnSetupField = std::function<void(TDataSet* dataSet, TField* field, uint8_t& flags)>;
using TmtOnSetupFieldProperties = std::function<void(TDataSet* dataSet, TField* field)>;
// Buffer/size in, optionally a replacement (resultBuffer non-empty: its
// first size bytes are the result).
using TmtOnValueTransform = std::function<void(TDataSet* dataSet, TField* field, const char* buffer,
                                               int& size, std::string& resultBuffer)>;
using TmtOnStorage = std::function<void(TDataSet* dataSet, int storageType, TStream& stream)>;
using TmtOnCompareFields =
    std::function<void(TDataSet* dataSet, const void* keyField, const void* aField,
                       TFieldType fieldType, TmtMemTableCompareOptions options,
                       bool& fullCompare, int& result)>;
using TmtOnFilterIndex = std::function<void(TDataSet* dataSet, TmtIndex* index, bool& accept)>;

class TmtCustomMemTable : public TDataSet {
 public:
  explicit TmtCustomMemTable(TComponent* owner = nullptr);
  ~TmtCustomMemTable() override;
  AnsiString ClassName() const override { return "TmtCustomMemTable"; }

  // ------------------------------------------------------------ store
  TmtCommon* Store() const { return store_; }
  int AttachIndex() const { return attachIndex_; }
  void SetAttachIndex(int index) { attachIndex_ = index; }
  TmtIndexes& Indexes() { return *indexes_; }
  TmtIndex* CurrentIndex() const { return currentIndex_; }
  int CursorPosition() const { return cursor_; }

  // -------------------------------------------------------- operations
  // Removes every record of the store; every open table on it is reset.
  void ClearAllRecords();
  // Makes index current (null: row order) and keeps the cursor's record.
  void SwitchIndex(TmtIndex* index);
  // Key search on the current index: the first count index fields take the
  // values; true and on the record when an accepted record matches exactly.
  bool SeekKeyValues(const std::vector<Variant>& values);
  bool SeekKeyValues(const Variant* values, int count);
  bool SeekKeyBuffer();
  // Clears and fills list from a field-list text ("A;B:DC") and sets
  // RecalcOnIndex when a listed field is calculated.
  void ParseFieldList(TmtFieldList& list, const AnsiString& text);
  // The same for any dataset's fields, without touching RecalcOnIndex; true
  // when a calculated field was listed. Unknown names raise the framework's
  // "not found", unindexable fields "Can't index on field %s".
  static bool FieldListFromText(const TDataSet& dataSet, TmtFieldList& list,
                                const AnsiString& text);
  // Writes several fields of the active record from one value or an array.
  void SetFieldsFromValues(const AnsiString& fieldNames, const Variant& values);
  // Writes one field of record from a variant (keys, master values, Locate).
  void WriteFieldFromVariant(PMemRecord record, TField* field, const Variant& value);
  // The single acceptance test of navigation, counting and searches.
  bool AcceptRecord(PMemRecord record, bool forceFilter);
  // Whether any test could reject a record (filter, deleted versions, ...).
  bool AcceptTestActive() const;
  void ReportProgress(int percentage, TmtProgressCode code);
  // Every open table on the store runs this from ClearAllRecords.
  void ResetAfterClear();
  // Brings the indexes in line with IndexDefs and rebuilds unsorted ones.
  void CheckIndexDefinitions();
  // The record field access uses now (by state); null for none.
  PMemRecord ActiveRecord() const;
  // The record being evaluated by an index filter or search; field reads
  // come from it while set.
  void SetEvaluationRecord(PMemRecord record) { evaluationRecord_ = record; }
  PMemRecord EvaluationRecord() const { return evaluationRecord_; }
  // Recomputes the calculated fields of a stored or scratch record.
  void RecalculateRecord(PMemRecord record);
  // Store notifications.
  void RefreshIfBrowsing();
  void UpdateIndexesFor(int operation, int positionHint, PMemRecord newRecord,
                        PMemRecord oldRecord);
  bool CursorIsOpen() const { return cursorOpen_; }
  // The framework's calculated-area access, for the store.
  static bool ReadCalcValue(const char* area, const TField* field, void* buffer) {
    return GetCalcFieldValue(area, field, buffer);
  }
  static void WriteCalcValue(char* area, const TField* field, const void* buffer) {
    SetCalcFieldValue(area, field, buffer);
  }

  // -------------------------------------------------------- properties
  bool DesignActivation() const { return designActivation_; }
  void SetDesignActivation(bool on) { designActivation_ = on; }
  TmtCustomMemTable* AttachedTo() const { return attachedTo_; }
  // Closes the table and makes it see table's store (null: a fresh store of
  // its own), copying the owner's definitions and the fields it lacks.
  void SetAttachedTo(TmtCustomMemTable* table);
  bool AttachedAutoRefresh() const { return attachedAutoRefresh_; }
  void SetAttachedAutoRefresh(bool on) { attachedAutoRefresh_ = on; }
  int AttachMaxCount() const { return store_->AttachMaxCount(); }
  void SetAttachMaxCount(int count) { store_->SetAttachMaxCount(count); }
  int32_t AutoIncMinValue() const { return store_->AutoIncMinValue(); }
  void SetAutoIncMinValue(int32_t value) { store_->SetAutoIncMinValue(value); }
  TmtCustomDeltaHandler* DeltaHandler() const { return deltaHandler_; }
  // The old handler loses its table, the new one serves this table.
  void SetDeltaHandler(TmtCustomDeltaHandler* handler);
  bool EnableIndexes() const { return enableIndexes_; }
  // Switching maintenance back on rebuilds what was left behind meanwhile.
  void SetEnableIndexes(bool on);
  bool AutoReposition() const { return autoReposition_; }
  void SetAutoReposition(bool on) { autoReposition_ = on; }
  const AnsiString& IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(const AnsiString& names);
  const AnsiString& IndexName() const { return indexName_; }
  void SetIndexName(const AnsiString& name);
  void SetIndexDefs(const TIndexDefs& defs);
  bool RecalcOnIndex() const { return recalcOnIndex_; }
  void SetRecalcOnIndex(bool on) { recalcOnIndex_ = on; }
  bool RecalcOnFetch() const { return recalcOnFetch_; }
  void SetRecalcOnFetch(bool on) { recalcOnFetch_ = on; }
  const AnsiString& SortFields() const { return sortFields_; }
  void SetSortFields(const AnsiString& names) { sortFields_ = names; }
  TmtMemTableCompareOptions SortOptions() const { return sortOptions_; }
  void SetSortOptions(TmtMemTableCompareOptions options) { sortOptions_ = options; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on) { readOnly_ = on; }
  TmtPerformance Performance() const { return store_->Performance(); }
  void SetPerformance(TmtPerformance performance);
  bool Standalone() const { return store_->Standalone(); }
  void SetStandalone(bool on);
  const AnsiString& PersistentFile() const { return persistentFile_; }
  void SetPersistentFile(const AnsiString& name) { persistentFile_ = name; }
  bool Persistent() const { return persistent_; }
  void SetPersistent(bool on) { persistent_ = on; }
  TmtMemTableSaveFlags PersistentSaveOptions() const { return persistentSaveOptions_; }
  void SetPersistentSaveOptions(TmtMemTableSaveFlags flags) { persistentSaveOptions_ = flags; }
  TmtStorageFormat PersistentSaveFormat() const { return persistentSaveFormat_; }
  void SetPersistentSaveFormat(TmtStorageFormat format) { persistentSaveFormat_ = format; }
  bool PersistentBackup() const { return persistentBackup_; }
  void SetPersistentBackup(bool on) { persistentBackup_ = on; }
  const AnsiString& PersistentBackupExt() const { return persistentBackupExt_; }
  void SetPersistentBackupExt(const AnsiString& ext) { persistentBackupExt_ = ext; }
  TmtMemTableSaveFlags AllDataOptions() const { return allDataOptions_; }
  void SetAllDataOptions(TmtMemTableSaveFlags flags) { allDataOptions_ = flags; }
  bool StoreDataOnForm() const { return storeDataOnForm_; }
  void SetStoreDataOnForm(bool on) { storeDataOnForm_ = on; }
  TmtMemTableSaveFlags CommaTextOptions() const { return commaTextOptions_; }
  void SetCommaTextOptions(TmtMemTableSaveFlags flags) { commaTextOptions_ = flags; }
  char CSVQuote() const { return csvQuote_; }
  void SetCSVQuote(char c) { csvQuote_ = c; }
  char CSVFieldDelimiter() const { return csvFieldDelimiter_; }
  void SetCSVFieldDelimiter(char c) { csvFieldDelimiter_ = c; }
  char CSVRecordDelimiter() const { return csvRecordDelimiter_; }
  void SetCSVRecordDelimiter(char c) { csvRecordDelimiter_ = c; }
  const AnsiString& CSVTrueString() const { return csvTrue_; }
  void SetCSVTrueString(const AnsiString& s) { csvTrue_ = s; }
  const AnsiString& CSVFalseString() const { return csvFalse_; }
  void SetCSVFalseString(const AnsiString& s) { csvFalse_ = s; }
  TmtProgressCodes ProgressFlags() const { return progressFlags_; }
  void SetProgressFlags(TmtProgressCodes flags) { progressFlags_ = flags; }
  int LoadLimit() const { return loadLimit_; }
  void SetLoadLimit(int limit) { loadLimit_ = limit; }
  bool LoadedCompletely() const { return loadedCompletely_; }
  bool EnableVersioning() const { return store_->EnableVersioning(); }
  void SetEnableVersioning(bool on) { store_->SetEnableVersioning(on); }
  TmtVersioningMode VersioningMode() const { return store_->VersioningMode(); }
  void SetVersioningMode(TmtVersioningMode mode) { store_->SetVersioningMode(mode); }
  const AnsiString& MasterFields() const { return masterLink_.FieldNames(); }
  void SetMasterFields(const AnsiString& names);
  const AnsiString& DetailFields() const { return detailFieldNames_; }
  void SetDetailFields(const AnsiString& names);
  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  // A source whose dataset is this table raises "Selfreferencing
  // master/detail relations not allowed."; longer cycles are the link's.
  void SetMasterSource(TDataSource* source);
  // Always the library's version; a written value is kept but not shown.
  AnsiString Version() const { return "2.53g"; }
  void SetVersion(const AnsiString& version) { writtenVersion_ = version; }
  uint32_t LocaleID() const { return store_->LocaleID(); }
  void SetLocaleID(uint32_t lcid) { store_->SetLocaleID(lcid); }
  int LanguageID() const { return store_->LanguageID(); }
  void SetLanguageID(int id) { store_->SetLanguageID(id); }
  int SubLanguageID() const { return store_->SubLanguageID(); }
  void SetSubLanguageID(int id) { store_->SetSubLanguageID(id); }
  int SortID() const { return store_->SortID(); }
  void SetSortID(int id) { store_->SetSortID(id); }
  TField* AutoIncField() const { return autoIncField_; }
  const TmtFieldList& CurrentIndexFields() const { return indexFields_; }
  const TmtFieldList& MasterFieldList() const { return masterFieldList_; }
  const TmtFieldList& DetailFieldList() const { return detailFieldList_; }

  // ------------------------------------------ ranges and key buffers
  // Makes key buffer which (0 search, 1 range start, 2 range end, 3 master
  // values) current, creating it on first use; reset empties it.
  PMemRecord SelectKeyBuffer(int which, bool reset);
  bool RangeActive() const { return rangeActive_; }
  // Switches the range off and stays on the active record when it has one.
  void DropRange();
  // No public operation sets a range or a status filter; tests reach both
  // through these hooks.
  void SetRangeActiveForTesting(bool on) { rangeActive_ = on; }
  void SetStatusFilterForTesting(TSetOf<TUpdateStatus> statuses) { statusFilter_ = statuses; }
  // Called with the name of each step of the persistent save as it is
  // reached ("temp-created", "temp-written", "temp-flushed",
  // "backup-linked", "replaced"), so a crash test can stop a saver there.
  void SetPersistentSaveStepHookForTesting(std::function<void(const char*)> hook) {
    persistentSaveStepHook_ = std::move(hook);
  }
  // Whether master/detail restricts the records (savers switch it off).
  bool MasterDetailEnabled() const { return masterDetailEnabled_; }
  void SetMasterDetailEnabled(bool on) { masterDetailEnabled_ = on; }
  bool MasterDetailActive() const;

  // -------------------------------------------------------------- events
  TmtOnProgress OnProgress;
  TmtOnRecordAccept OnLoadRecord, OnSaveRecord;
  TmtOnFieldEvent OnLoadField, OnSaveField;
  TmtOnStreamTransform OnCompressSave, OnDecompressLoad;
  TmtOnStreamTransform OnCompressBlobStream, OnDecompressBlobStream;
  TmtOnSetupField OnSetupField;
  TmtOnSetupFieldProperties OnSetupFieldProperties;
  TmtOnValueTransform OnCompressField, OnDecompressField;
  TmtOnStorage OnSave, OnLoad;
  TmtOnCompareFields OnCompareFields;
  TmtOnFilterIndex OnFilterIndex;

  // --------------------------------------------- the framework's contract
  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  bool IsIndexField(TField* field) const override;
  TDataSource* GetDataSource() const override { return masterLink_.DataSource(); }
  bool IsSequenced() const override { return !Filtered(); }
  void SetRecNo(int recNo) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  void SetBlockReadSize(int size) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  void DataEvent(TDataEvent event, intptr_t info) override;
  // Filter writers: the text is parsed while open; Filtered and new text
  // go to the first record.
  void SetFiltered(bool on) override;
  void SetFilterOptions(TFilterOptions options) override;
  bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) override;
  Variant Lookup(std::string_view keyFields, const Variant& keyValues,
                 std::string_view resultFields) override;
  // The entry position of the first accepted record whose key fields equal
  // the values (one value or an array), through the current index when it
  // has exactly these fields, else by a scan; -1 when none.
  int FindMatchingRecord(std::string_view keyFields, const Variant& keyValues, TLocateOptions options);
  // ------------------------------------------------------ text format
  // Comma-separated text (text_format.cpp): records of the current index,
  // optionally after a block of field and index definitions.
  void WriteCsvStream(TStream& stream, TmtMemTableSaveFlags options);
  void ReadCsvStream(TStream& stream);
  void SaveCsvToFile(const AnsiString& fileName, TmtMemTableSaveFlags options);
  void LoadCsvFromFile(const AnsiString& fileName);
  // ---------------------------------------------------- binary format
  // Component-stream values (binary_format.cpp), version 251; the reader
  // also takes the older versions.
  void WriteBinaryStream(TStream& stream, TmtMemTableSaveFlags options);
  void ReadBinaryStream(TStream& stream);
  void SaveBinaryToFile(const AnsiString& fileName, TmtMemTableSaveFlags options);
  void LoadBinaryFromFile(const AnsiString& fileName);
  // ------------------------------------------------------ transactions
  // Nested transactions over record versions (versioning on, mode
  // mtvmAllSinceCheckPoint, else "Transactioning requires multiversion
  // versioning."). Rollback restores every record changed at the current
  // level to its image before; commit drops the images made inside the
  // level and keeps those from outer levels.
  virtual void StartTransaction();
  virtual void Rollback();
  virtual void Commit();
  int TransactionLevel() const { return store_->TransactionLevel(); }

  // ------------------------------------------- persistence and form data
  // The form's stored "Data": the binary format with the form options
  // while open, nothing while closed.
  void WriteFormData(TStream& stream);
  // Keeps the bytes; a table with StoreDataOnForm reads them when it opens.
  void ReadFormData(TStream& stream);
  // Whether a load is writing records (read-only fields accept values).
  bool InternalLoading() const { return internalLoad_; }
  // The parsed filter; null when there is none.
  const TFilterNode* FilterTree() const { return filterTree_.get(); }

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalInitFieldDefs() override;
  bool IsCursorOpen() const override { return cursorOpen_; }
  void InternalFieldsBound() override;
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  int GetRecordSize() const override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) override;
  void InternalFirst() override;
  void InternalLast() override;
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
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  bool GetCanModify() const override { return !readOnly_; }
  void ClearCalcFields(TRecordBuffer buffer) override;
  TUpdateStatus GetUpdateStatus() const override;
  TRecordBuffer GetActiveRecordBuffer() const override;
  void CloseBlob(TField* field) override;
  void Notification(TComponent* component, TOperation operation) override;
  void DoAfterOpen() override;
  void DoBeforeClose() override;
  void DoBeforeInsert() override;
  void DoBeforePost() override;
  void DoAfterPost() override;
  void DoAfterDelete() override;
  void DoNewRecord() override;
  void SetFilterText(const AnsiString& text) override;
  // Find first/last/next/prior: the filter applies even when not Filtered.
  bool FindRecord(bool restart, bool goForward) override;

  // Hooks the keys-and-formats work fills; empty here.
  void LoadFormData();
  void LoadPersistentFile();
  void SavePersistentFile();
  void ParseFilterText();
  void ApplyMasterValues(PMemRecord record);
  bool AcceptByRangeAndMaster(PMemRecord record);
  bool AcceptByFilterExpression(PMemRecord record);
  bool RangeOrMasterActive() const { return rangeActive_ || MasterDetailActive(); }
  // The detail list (or, when empty, the current index fields) that the
  // master's values restrict.
  const TmtFieldList& DetailKeyFields() const;
  void ParseDetailFields();
  void MasterChanged();
  void MasterDisabled();

 private:
  friend class TmtIndexes;
  friend class TmtIndex;
  PMemRecord Buf(TRecordBuffer buffer) const { return reinterpret_cast<PMemRecord>(buffer); }
  char* BookmarkEntryOf(PMemRecord record) const;
  PMemRecord KeyBuffer(int which);
  void FreeKeyBuffers();
  // The stored record behind a bookmark of this table; null when stale.
  PMemRecord BookmarkRecord(const void* bookmark) const;
  void FetchInto(PMemRecord buffer, PMemRecord stored);
  int EntryCount() const;
  PMemRecord EntryAt(int position) const;
  void PickAutoIncField();
  void UseOwnStore();
  void CopyFieldsFrom(TmtCustomMemTable& owner);
  void MakeIndexesFromDefs();
  // The fields a save writes under options (kind, visibility, blobs).
  bool FieldIsSaved(const TField* field, TmtMemTableSaveFlags options) const;

  TmtCommon* store_;
  std::unique_ptr<TmtCommon> ownStore_;
  int attachIndex_ = 0;
  std::unique_ptr<TmtIndexes> indexes_;
  TmtIndex* currentIndex_ = nullptr;
  int cursor_ = -1;
  int lastChangedPosition_ = -1;
  int insertRecNo_ = -1;
  PMemRecord keyBuffers_[4] = {nullptr, nullptr, nullptr, nullptr};
  int currentKeyBuffer_ = 0;
  PMemRecord evaluationRecord_ = nullptr;
  PMemRecord filterRecord_ = nullptr;
  TMasterDataLink masterLink_{this};
  TmtFieldList indexFields_;
  TmtFieldList masterFieldList_;
  TmtFieldList detailFieldList_;
  TField* autoIncField_ = nullptr;
  bool autoIncDeclaredByLoad_ = false;
  bool cursorOpen_ = false;
  bool beforeCloseDone_ = false;
  bool inAfterOpen_ = false;

  bool designActivation_ = true;
  TmtCustomMemTable* attachedTo_ = nullptr;
  bool attachedAutoRefresh_ = true;
  TmtCustomDeltaHandler* deltaHandler_ = nullptr;
  bool enableIndexes_ = true;
  bool autoReposition_ = false;
  AnsiString indexFieldNames_;
  AnsiString indexName_;
  bool recalcOnIndex_ = false;
  bool recalcOnFetch_ = true;
  AnsiString sortFields_;
  TmtMemTableCompareOptions sortOptions_ = 0;
  bool readOnly_ = false;
  AnsiString persistentFile_;
  bool persistent_ = false;
  TmtMemTableSaveFlags persistentSaveOptions_{mtfSaveData, mtfSaveNonVisible, mtfSaveIgnoreRange,
                                              mtfSaveIgnoreMasterDetail};
  TmtStorageFormat persistentSaveFormat_ = mtsfBinary;
  bool persistentBackup_ = false;
  AnsiString persistentBackupExt_;
  TmtMemTableSaveFlags allDataOptions_{mtfSaveData,        mtfSaveNonVisible, mtfSaveBlobs,
                                       mtfSaveFiltered,    mtfSaveIgnoreRange,
                                       mtfSaveIgnoreMasterDetail, mtfSaveDeltas};
  bool storeDataOnForm_ = false;
  TmtMemTableSaveFlags commaTextOptions_{mtfSaveData};
  char csvQuote_ = '"';
  char csvFieldDelimiter_ = ',';
  char csvRecordDelimiter_ = ',';
  AnsiString csvTrue_ = "True";
  AnsiString csvFalse_ = "False";
  TmtProgressCodes progressFlags_{mtpcLoad, mtpcSave, mtpcCopy};
  int loadLimit_ = -1;
  bool loadedCompletely_ = false;
  AnsiString detailFieldNames_;
  AnsiString writtenVersion_;
  bool rangeActive_ = false;
  TSetOf<TUpdateStatus> statusFilter_;
  bool masterDetailEnabled_ = true;
  bool internalLoad_ = false;
  bool persistentSaved_ = false;
  std::function<void(const char*)> persistentSaveStepHook_;
  // Set while the open sequence loads: definitions in the data are matched
  // by name against the table's fields instead of replacing them.
  bool keepDefinitions_ = false;
  std::unique_ptr<TMemoryStream> formData_;
  std::unique_ptr<TFilterNode> filterTree_;
};

// The published form of the table.
class TmtMemTable : public TmtCustomMemTable {
 public:
  explicit TmtMemTable(TComponent* owner = nullptr) : TmtCustomMemTable(owner) {}
  AnsiString ClassName() const override { return "TmtMemTable"; }
};
