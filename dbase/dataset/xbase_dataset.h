// TXbaseDataSet: one DBF table with its index files seen through the
// platform's dataset contract. The grids, edits, the data module and the
// export all work through it.
//
// The dataset owns a DBFObject (the table handler) while it is open and
// lets the engine work directly in its record buffers: for each fetch,
// field access and write the engine's current record is pointed at the
// dataset's buffer (TxbRecordBufferRedirect), so a fetch costs one read and
// no copy.
//
// Record buffer layout (one per platform buffer):
//   [0, L)            the DBF record (L = record length, deletion flag first)
//   L                 0x1A, the terminator the engine's record buffer carries
//   [L+1, C)          the calculated area (CalcFieldsSize bytes: per
//                     calculated or lookup field a has-value byte, then its
//                     value)
//   [C, C+8)          record information: bytes 0-3 the record number
//                     (little-endian), byte 5 the bookmark flag
//   [C+8, C+19)       the bookmark: the record number as decimal text
//                     right-aligned in 10 characters, blank-padded, then a
//                     zero byte ("        42\0")
//
// Invariants:
// - Between Edit and Post or Cancel the record lock of the edited record is
//   held (one level) and the editing flag is set; the lock is taken before
//   the record is read for the edit, so nothing another program posted
//   before the lock is overwritten.
// - While editing, the engine's saved record is the record as stored: index
//   maintenance and memo writes compare against it. Anything that moves the
//   engine reads into the engine's own buffer, never into a buffer under
//   edit.
// - Every operation on an open dataset first passes CheckActive: a table
//   that is building an index (or copying) refuses re-entry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/table/lock_protocol.h"
#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/rtl/stringlist.h"

// Field type of N and F fields without decimals of 10 or more digits.
enum class TxbIntFields { asInteger, asLargeInt, asFloat };

// Progress of an index build: (sender, status, current, total).
using TxbStatusReport = std::function<void(TObject* sender, int status, int current, int total)>;

class THCBlobStream;

// Edit was refused because another holder (another program, or another
// dataset of this one) has the record locked. Callers that wait for a lock
// retry on this and on nothing else; the text is the engine's lock message.
class ERecordLocked : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

class TXbaseDataSet : public TDataSet {
 public:
  explicit TXbaseDataSet(TComponent* owner);
  ~TXbaseDataSet() override;
  AnsiString ClassName() const override { return "TXbaseDataSet"; }

  // ------------------------------------------------------------ properties
  // Alias, directory, or "Default Directory"; needs a closed dataset. A name
  // other than "Default Directory" loses a trailing separator and becomes
  // an alias of itself when the alias list has none of that name.
  const AnsiString& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const AnsiString& name);
  // Table file name (".DBF" is added at open when it has no extension);
  // needs a closed dataset. A changed name clears IndexFiles unless loading.
  const AnsiString& TableName() const { return tableName_; }
  void SetTableName(const AnsiString& name);
  // Index files opened with the table. Changing the list while not loading
  // opens the dataset for the change when it is closed, closes every index
  // file and opens the new ones ("Indexový soubor %s je již otevřen" for a
  // file already open, "Error getting %s" for a file that cannot be read).
  const TStrings& IndexFiles() const { return indexFiles_; }
  void SetIndexFiles(const TStrings& files);
  // The selected tag; empty for physical order. Selecting keeps the record
  // when the new order reaches it, else goes to the first record.
  const AnsiString& IndexName() const { return indexName_; }
  void SetIndexName(const AnsiString& name);
  // Master/detail: MasterFields (";"-separated) of MasterSource's dataset
  // give the key range of the selected tag. A source leading back to this
  // dataset raises "Circular datalinks are not allowed".
  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  void SetMasterSource(TDataSource* source);
  const AnsiString& MasterFields() const { return masterLink_.FieldNames(); }
  void SetMasterFields(const AnsiString& names) { masterLink_.SetFieldNames(names); }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool on) { exclusive_ = on; }
  // True also when the open table cannot be written.
  bool ReadOnly() const;
  void SetReadOnly(bool on);
  bool AutoFlush() const { return autoFlush_; }
  void SetAutoFlush(bool on);
  // Shows records marked deleted.
  bool UseDeleted() const { return useDeleted_; }
  void SetUseDeleted(bool on);
  // RecordCount walks the current order and filter instead of giving the
  // physical count.
  bool ExactCount() const { return exactCount_; }
  void SetExactCount(bool on) { exactCount_ = on; }
  // Texts are stored in OEM (852) and shown in ANSI (1250); default on.
  bool TranslateASCII() const { return translateAscii_; }
  void SetTranslateASCII(bool on);
  TxbLokProtocol LockProtocol() const { return lockProtocol_; }
  void SetLockProtocol(TxbLokProtocol protocol);
  // Field type of N fields of 10 or more digits without decimals; applies
  // at the next open.
  TxbIntFields LargeIntegerAs() const { return largeIntegerAs_; }
  void SetLargeIntegerAs(TxbIntFields kind) { largeIntegerAs_ = kind; }
  // Written into the table header by every header write.
  int32_t UserID() const { return userId_; }
  void SetUserID(int32_t id);
  // Table password; needs a closed dataset.
  const AnsiString& EncryptionKey() const { return encryptionKey_; }
  void SetEncryptionKey(const AnsiString& key);

  // Progress of BuildIndexTag: (-1, 1, n), (1, i, 0) per record, (0, 0, 0),
  // then (-1, 2, n), (2, k, 0) per key, (0, 0, 0).
  TxbStatusReport OnStatus;

  // ------------------------------------------------------------ operations
  // Selects a tag (IndexName); needs an open dataset that is not busy.
  void SelectTag(const AnsiString& tagName);
  // Seeks the key (ANSI text) in the selected tag. exact: the whole key
  // must match; near: a failed seek stays on the next greater key. Found,
  // or near and not at the end: the record becomes current; otherwise the
  // dataset goes to its last record. An empty dataset gives false and does
  // not move. "No index is assigned for Find operation" without a tag.
  bool SeekKey(const AnsiString& key, bool exact, bool nearKey);
  // Limits the selected tag to keys from low to high (ANSI texts, both
  // included, compared exactly, empty = open end); goes to the first record
  // when the range changed. Nothing without a selected tag.
  void SetKeyRange(const AnsiString& low, const AnsiString& high);
  // The range with its options (bounds in the stored OEM form), then the
  // first record.
  void SetKeyRangeWithOptions(const AnsiString& low, const AnsiString& high, bool prefixHigh,
                              bool includeHigh, bool includeLow);
  // Opens one more index file (no extension: ".cdx"); -1 when it was
  // already open, else 0.
  int AttachIndexFile(const AnsiString& fileName);
  // Closes an index file; IndexName is cleared when its tag was in it.
  void DetachIndexFile(const AnsiString& fileName);
  // Builds a tag in browse mode with progress through OnStatus. orderCode
  // 0 ascending, 1 descending, 7 and 8 the same with the CDX second
  // collation; uniquenessCode 0 makes a unique tag. Every index file is
  // closed by the build; afterwards IndexName is empty and the dataset is
  // on its first record in physical order.
  void BuildIndexTag(const AnsiString& fileName, const AnsiString& tagName, int orderCode,
                     int uniquenessCode, const AnsiString& forExpression,
                     const AnsiString& keyExpression);
  // Clears the deletion mark of the current record; "Cannot recall the
  // record" when its lock is refused.
  virtual void RecallRecord();
  // Tags over all open index files, counted from 1 in slot order.
  int IndexTagCount() const;
  AnsiString IndexTagName(int tagNumber) const;
  AnsiString IndexExpression(int tagNumber) const;

  // --------------------------------------------- the dataset's own checks
  // The platform's active check, then "Table is busy building an index" or
  // "Table is busy copying".
  void CheckActive() const override;
  void UpdateIndexDefs() override;

  // ---------------------------------------------------- dataset contract
  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  int Translate(const char* src, char* dst, bool toOem) override;
  // The text of a stored string field straight from the record: no copy
  // into the field's buffer, no second pass to measure and translate it.
  bool GetFieldText(TField* field, bool translate, AnsiString& text) override;
  bool IsIndexField(TField* field) const override;
  TDataSource* GetDataSource() const override { return masterLink_.DataSource(); }
  bool IsSequenced() const override;
  // Reads that record; one the current order would skip (deleted and
  // hidden, filtered out) gives way to the next visible one, or the
  // previous one at the end.
  void SetRecNo(int recNo) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) override;
  Variant Lookup(std::string_view keyFields, const Variant& keyValues,
                 std::string_view resultFields) override;
  void SetFiltered(bool on) override;
  void SetFilterOptions(TFilterOptions options) override;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalInitFieldDefs() override;
  bool IsCursorOpen() const override { return table_ != nullptr; }
  void InternalFieldsBound() override;
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  int GetRecordSize() const override { return bufferSize_; }
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
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  bool GetCanModify() const override;
  void SetFilterText(const AnsiString& text) override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  TRecordBuffer GetActiveRecordBuffer() const override;

 private:
  friend class THCBlobStream;
  enum class Busy { None, BuildingIndex, Copying };

  // Full name of the table file (directory from DatabaseName).
  AnsiString FullTableName() const;
  // The directory DatabaseName stands for, with a trailing separator; ""
  // when the table name is taken as it is.
  AnsiString DatabaseDirectory() const;
  // Makes the field definitions from an open table.
  void FillFieldDefs(XBO_dBaseFld& table);
  TFieldType MapFieldType(const XBO_dBaseFld& table, int n, int& size) const;
  // Index files of IndexFiles at open: ".ndx" default, database directory,
  // "Nemohu najít soubor %s" when missing; strict: an open file raises
  // "Indexový soubor %s je již otevřen", other failures "Error getting %s".
  void OpenListedIndexFiles(bool strict);
  AnsiString CompleteListedName(const AnsiString& name) const;
  // Engine filter from Filter and FilterOptions (enabled when Filtered).
  void ApplyFilter();
  // The hook the handler asks for every record a move reaches.
  bool AcceptHook();
  // Master/detail.
  void MasterChanged();
  void MasterDisabled();
  // Sets the range the master's current record asks for (no move of the
  // dataset's buffers).
  void ApplyMasterRange();
  // A range on the selected tag that no key falls in (an empty master).
  void SetEmptyRange();
  AnsiString BuildMasterKey(bool& allStrings, int& stringSize);

  // Buffer areas.
  char* InfoArea(TRecordBuffer buffer) const { return buffer + infoOffset_; }
  char* BookmarkArea(TRecordBuffer buffer) const { return buffer + infoOffset_ + 8; }
  int32_t RecordNumberOf(TRecordBuffer buffer) const;
  // Record information and bookmark of a freshly fetched record.
  void StampRecord(TRecordBuffer buffer, int32_t recordNumber);
  // Record number of a bookmark (0 when it names none).
  static int32_t BookmarkRecord(const void* bookmark);
  // Reads record n physically into the engine's own buffer; false when the
  // table holds no such record.
  bool ReadPhysical(int32_t n);
  // Puts the engine on the record of the active buffer, with the stored
  // record as its saved image (needed before writes of an edit).
  void PositionOnActive();
  // Whether the engine's current record is shown in the current order.
  bool EngineRecordVisible();
  // Re-reads a record the engine stood on before a search (when any).
  void RestoreEngineRecord(int32_t n);
  static std::vector<Variant> KeyValues(const Variant& values);
  // Reads a native value from the engine's current record.
  bool ReadField(TField* field, int n, void* buffer);
  void WriteField(TField* field, int n, const void* buffer);

  std::unique_ptr<DBFObject> table_;
  TMasterDataLink masterLink_{this};

  AnsiString databaseName_;
  AnsiString tableName_;
  TStringList indexFiles_;
  AnsiString indexName_;
  AnsiString encryptionKey_;
  bool exclusive_ = false;
  bool readOnly_ = false;
  bool autoFlush_ = false;
  bool useDeleted_ = false;
  bool exactCount_ = false;
  bool translateAscii_ = true;
  TxbLokProtocol lockProtocol_ = TxbLokProtocol::Default;
  TxbIntFields largeIntegerAs_ = TxbIntFields::asInteger;
  int32_t userId_ = 0;

  // Buffer layout (see the top of this file).
  int recordLength_ = 0;
  int calcOffset_ = 0;
  int infoOffset_ = 0;
  int bufferSize_ = 0;
  bool fieldsBound_ = false;

  Busy busy_ = Busy::None;
  // Set while the dataset opens only to change its index files.
  bool skipIndexSetup_ = false;
  bool editing_ = false;
  bool atFirst_ = false;
  bool atLast_ = false;
  // What field reads see in the filter state (the engine's record under
  // test) and in the Lookup's result read.
  TRecordBuffer filterRecord_ = nullptr;
  TRecordBuffer lookupRecord_ = nullptr;
  std::vector<char> keyBuffer_;
};
