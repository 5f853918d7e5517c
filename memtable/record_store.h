// TmtCommon: the record store behind one in-memory table and every table
// attached to it. It owns the stored records, lays them out from the owning
// table's field definitions, reuses freed slots, numbers records uniquely,
// and keeps the store-wide settings (performance mode, locale, versioning,
// auto-increment) and the list of attached tables.
//
// Record block: one allocation, a MemTableRecordHeader followed by the data
// area. Stored records and every record buffer of every table on the store
// are such blocks. The data area holds, in this order:
//   1. in-line slots, one per field definition of the flattened walk (an
//      ADT's parts once, an array's elements Size times): a null byte
//      (0 null, 1 value) and the value in its native layout (fields.h);
//      out-of-line fields and definitions with parts take no slot;
//   2. the calculated area, exactly as the dataset framework lays it out;
//   3. the bookmark area: AttachMaxCount entries of 12 bytes, entry i for
//      the table with attach index i: slot (int32), unique number (int32),
//      bookmark flag (byte), 3 spare bytes;
//   4. the var-length area: 9 bytes per out-of-line field, in field order:
//      a null byte and the pointer to the value block (or null).
// A value block is a 32-bit little-endian length n and n bytes. Value
// blocks have exactly one owner: a stored record or a buffer that was
// written; a buffer filled from a stored record carries only the null flags
// and reads the stored record's blocks through its slot.
//
// Invariants: a stored record's slot is its index in the record list; a slot
// is in use or in the free list, never both; unique numbers are never
// reused while the store lives. Nothing here is stored in files: the
// layout is private to the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/db_types.h"
#include "platform/db/fields.h"
#include "platform/rtl/critical_section.h"

class TmtCustomMemTable;
class TFieldDefs;

enum TmtPerformance : int { mtpfFast, mtpfBalanced, mtpfSmall };
enum TmtVersioningMode : int { mtvm1SinceCheckPoint, mtvmAllSinceCheckPoint };

struct MemTableRecordHeader;
using PMemRecord = MemTableRecordHeader*;

struct MemTableRecordHeader {
  int32_t position;         // buffers: the cursor position fetched from; stored: -1
  int32_t slot;             // slot in the record list; -1 when not stored
  int32_t uniqueNumber;     // from the store's counter when stored; -1 before
  uint8_t stored;           // 1 for stored records and saved versions
  int32_t transactionLevel; // level at which the record was last stored or changed
  uint32_t spare;           // copied with the header, otherwise unused
  uint8_t updateStatus;     // TUpdateStatus order: 0 unchanged ... 3 deleted
  PMemRecord previousVersion;
  char* data;               // start of the data area of this block
};

// Field flag bits of the store's per-field table.
inline constexpr uint8_t kFieldOutOfLine = 1;
inline constexpr uint8_t kFieldCompressed = 2;
inline constexpr uint8_t kFieldModified = 4;

// Entry of one table in a record's bookmark area.
inline constexpr int kBookmarkEntrySize = 12;
// Entry of one out-of-line field in the var-length area.
inline constexpr int kVarEntrySize = 1 + static_cast<int>(sizeof(char*));
// The unique counter's last usable value.
inline constexpr int32_t kUniqueCounterLimit = 2147483599;

// Value blocks alive in the process (for tests that count ownership).
int64_t LiveValueBlocks();

class TmtCommon {
 public:
  explicit TmtCommon(TmtCustomMemTable* owner);
  ~TmtCommon();
  TmtCommon(const TmtCommon&) = delete;
  TmtCommon& operator=(const TmtCommon&) = delete;

  TmtCustomMemTable* Owner() const { return owner_; }
  // The lock to hold for store work; null when Standalone.
  TCriticalSection* Lock() { return standalone_ ? nullptr : &lock_; }

  // ----------------------------------------------------------- layout
  // Lays the store out from the owner's FieldDefs and bound fields.
  void BuildRecordLayout();
  // Raises the unsupported-type text for the first definition the layout
  // cannot hold (checked before fields are made from the definitions).
  static void CheckSupportedTypes(const TFieldDefs& defs);
  static int FieldStoreSize(TFieldType type, int size);
  static bool IsSupportedType(TFieldType type);
  static bool IsBlobType(TFieldType type);
  int RecordSize() const { return recordSize_; }
  int DataSize() const { return dataSize_; }
  int FixedDataSize() const { return fixedDataSize_; }
  int CalcAreaStart() const { return fixedDataSize_; }
  int BookmarkAreaStart() const { return bookmarkStart_; }
  int VarAreaStart() const { return varStart_; }
  int VarFieldCount() const { return varCount_; }
  int DataFieldCount() const { return static_cast<int>(offsets_.size()); }
  // Offset in the data area of a field number's slot (-1 for none).
  int FieldOffset(int fieldNo) const;
  uint8_t FieldFlags(int fieldNo) const;
  void SetFieldModified(int fieldNo);
  void ClearModifiedFlags();

  // ---------------------------------------------------------- records
  PMemRecord NewRecordBlock() const;
  // Frees a block with the value blocks it still holds.
  void FreeRecordBlock(PMemRecord record) const;
  void ResetRecordHeader(PMemRecord record) const;
  static char* RecordData(PMemRecord record) { return reinterpret_cast<char*>(record + 1); }
  // The field's slot in the record (null byte first); null without a record
  // or for a field that has no slot.
  char* FieldValuePtr(PMemRecord record, const TField* field) const;
  void CopyRecordImage(PMemRecord source, PMemRecord target) const;
  PMemRecord CloneRecord(PMemRecord source, bool withValues) const;
  void HandOverVarValues(PMemRecord source, PMemRecord target) const;
  void FreeVarValues(PMemRecord record) const;
  void DisposeRecord(PMemRecord record, bool freeValues, bool freeVersions) const;
  // Puts the record into the list (a freed slot first, last-in first-out),
  // with the next unique number. Refuses before anything changes when the
  // counter is at its limit.
  void StoreRecord(PMemRecord record);
  // Puts the record after the last slot with the next unique number,
  // leaving freed slots for later posts (loading appends in file order);
  // the record keeps its update status. Refuses like StoreRecord.
  void AppendRecord(PMemRecord record);
  // Grows the record list's capacity to at least count (never shrinks it),
  // so a load of many records does not reallocate the list over and over.
  void ReserveRecords(int64_t count);
  int64_t RecordCapacity() const { return static_cast<int64_t>(records_.capacity()); }
  void UnstoreRecord(PMemRecord record);
  void DropRecord(PMemRecord record);
  // Resets every open table on the store, then disposes of all records.
  // Unique numbers go on (a bookmark of a cleared record stays stale),
  // unless restartNumbering, which only the closing owner asks for.
  void DiscardAllRecords(bool restartNumbering = false);
  // Length of the record list, empty slots included.
  int RecordCount() const { return static_cast<int>(records_.size()); }
  PMemRecord Record(int slot) const {
    return slot >= 0 && slot < RecordCount() ? records_[static_cast<std::size_t>(slot)] : nullptr;
  }
  // The stored record a bookmark names: the slot in use by the record of
  // that unique number; null for a stale or malformed bookmark.
  PMemRecord ResolveBookmark(int32_t slot, int32_t uniqueNumber) const;
  int32_t UniqueCounter() const { return uniqueCounter_; }
  // Test hook: moves the unique counter (to reach its limit quickly).
  void SetUniqueCounterForTesting(int32_t value) { uniqueCounter_ = value; }

  // ---------------------------------------------------- field values
  // Whether the record holds a value for the field; with dest, the native
  // value (field->DataSize() bytes) is copied there.
  bool ReadField(PMemRecord record, const TField* field, void* dest) const;
  // Stores a native value (null: null) into the record, out of line when
  // the field is; sets nothing else (flags and events are the table's).
  void WriteField(PMemRecord record, const TField* field, const void* source) const;
  // The value's bytes for comparison: false for null. Strings come back
  // without their terminating zero. scratch keeps decompressed bytes.
  bool ValueBytes(PMemRecord record, const TField* field, const char*& bytes, int& length,
                  std::string& scratch) const;

  // Blob values as whole byte strings: what the record reads for an
  // out-of-line field (its own block, else the stored record's); false for
  // null. SetBlobBytes replaces the record's own block; null or empty
  // bytes store null.
  bool BlobBytes(PMemRecord record, const TField* field, std::string& out) const;
  void SetBlobBytes(PMemRecord record, const TField* field, const std::string* bytes) const;

  // ------------------------------------------------------ properties
  int AttachMaxCount() const;
  void SetAttachMaxCount(int count);
  int32_t AutoIncMinValue() const;
  void SetAutoIncMinValue(int32_t value);
  int32_t AutoIncHighMark() const { return autoIncHigh_; }
  void SetAutoIncHighMark(int32_t value) { autoIncHigh_ = value; }
  TmtPerformance Performance() const;
  void SetPerformance(TmtPerformance performance);
  TmtVersioningMode VersioningMode() const;
  void SetVersioningMode(TmtVersioningMode mode);
  bool EnableVersioning() const;
  void SetEnableVersioning(bool on);
  bool Standalone() const { return standalone_; }
  // Refused while the owner is open, attached, or has tables attached.
  void SetStandalone(bool on);
  uint32_t LocaleID() const;
  void SetLocaleID(uint32_t lcid);
  int LanguageID() const;
  void SetLanguageID(int id);
  int SubLanguageID() const;
  void SetSubLanguageID(int id);
  int SortID() const;
  void SetSortID(int id);
  int TransactionLevel() const;
  void RaiseTransactionLevel();
  void LowerTransactionLevel();
  bool DataModified() const;
  void SetDataModified(bool on);
  bool EventsMuted() const { return eventsMuted_; }
  void SetEventsMuted(bool on) { eventsMuted_ = on; }
  int32_t DeletedVersionCount() const { return deletedVersions_; }
  void AddDeletedVersion() { ++deletedVersions_; }
  void RemoveDeletedVersion() {
    if (deletedVersions_ > 0) --deletedVersions_;
  }
  // Puts replacement (an older version of record) into record's slot with
  // record's unique number, so bookmarks of the record stay valid.
  void ReplaceInSlot(PMemRecord record, PMemRecord replacement);

  // --------------------------------------------------- attached tables
  // Gives the table an attach index (the first empty entry, else a new one).
  void AttachTable(TmtCustomMemTable* table);
  void DetachTable(TmtCustomMemTable* table);
  const std::vector<TmtCustomMemTable*>& AttachedTables() const { return attached_; }
  bool AnyTableOpen() const;
  void CloseAllTablesBut(TmtCustomMemTable* keep);
  void RefreshOthers(TmtCustomMemTable* acting);
  void RebuildAllIndexes();
  void MarkAllIndexesDirty();
  void CheckAllIndexDefinitions();
  // operation: 0 insert, 1 edit, 2 delete; the hint goes to the acting table only.
  void NotifyIndexes(int operation, TmtCustomMemTable* acting, int positionHint,
                     PMemRecord newRecord, PMemRecord oldRecord);

 private:
  void LayoutWalk(const TFieldDefs& defs, int& counter, std::vector<int>& varFields);
  void PutRecord(PMemRecord record, bool reuseFreeSlot);
  char* VarEntry(PMemRecord record, int fieldNo) const;
  static char* BlockOf(const char* entry);
  static void SetBlockOf(char* entry, char* block);
  char* MakeValueBlock(const TField* field, const void* source) const;
  static char* CopyValueBlock(const char* block);
  static void FreeValueBlock(char* block);
  // The value block a record reads for an out-of-line field: its own, else
  // the stored record's in its slot.
  const char* ReadBlock(PMemRecord record, int fieldNo) const;

  TCriticalSection lock_;
  TmtCustomMemTable* owner_;
  std::vector<PMemRecord> records_;
  std::vector<int32_t> offsets_;  // by field number - 1
  std::vector<uint8_t> flags_;    // by field number - 1
  int fixedDataSize_ = 0;
  int calcSize_ = 0;
  int bookmarkStart_ = 0;
  int bookmarkSize_ = 0;
  int varStart_ = 0;
  int varSize_ = 0;
  int varCount_ = 0;
  int dataSize_ = 0;
  int recordSize_ = static_cast<int>(sizeof(MemTableRecordHeader));
  int32_t autoIncMin_ = 0;
  int32_t autoIncHigh_ = 0;
  int32_t deletedVersions_ = 0;
  bool standalone_ = false;
  TmtPerformance performance_ = mtpfFast;
  std::vector<TmtCustomMemTable*> attached_;
  std::vector<int32_t> freeSlots_;
  int32_t nextSlot_ = 0;
  int32_t uniqueCounter_ = 0;
  TmtVersioningMode versioningMode_ = mtvm1SinceCheckPoint;
  bool versioning_ = false;
  int transactionLevel_ = 0;
  bool dataModified_ = false;
  bool eventsMuted_ = false;
  int languageID_ = 0;
  int subLanguageID_ = 1;
  int sortID_ = 0;
  uint32_t localeID_ = 1024;
};
