// XBO_dBHandler: a DBF table joined with its open index files. It moves
// through records in the order of a selected tag (the master tag) within
// its key range, honours a filter expression (kept as a bit set over record
// numbers) and hidden deleted records, seeks keys, locates records by field
// values, keeps every open index current on every append and rewrite under
// the index locks, reads ahead in 32 KB blocks during physical scans, and
// changes the table password.
//
// Invariants:
// - Index files live in 63 slots numbered 1..63; no file is open twice.
// - Every write (append or rewrite) holds the index lock of every open file
//   from before the record is written until every tag has replaced the
//   record's old keys; every lock level taken is released on every exit.
// - A tag's cached pages are dropped as soon as another program is seen to
//   have changed its file, before anything is read through them.
// - On shared tables the read-ahead window never answers a re-read of the
//   current record, and it is dropped whenever a lock is taken: whatever is
//   read under a lock comes from the file.
// - Under ClipLock (shared) seeks, key lookups and moves hold the index
//   locks for their duration and release them on every exit.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dbase/table/dbf_fields.h"
#include "dbase/index/index_core.h"
#include "dbase/base/block_cache.h"
#include "dbase/base/huge_set.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/variant.h"

class TxbExpHandler;
class TxbSortMemory;

class XBO_dBHandler : public XBO_dBaseFld, public XBobjIndexTable {
 public:
  static constexpr int kIndexSlots = 63;
  static constexpr int32_t kReadAheadBytes = 32768;
  // A scan (an index build, a filter, a locate) reads every record in file
  // order: larger reads spare system calls, which cost more than the copy.
  static constexpr int32_t kScanReadBytes = 131072;
  static constexpr int kMaxTagNameLength = 16;

  // Opens the table (see XBO_dBaseDBF); no index file is open yet and
  // read-ahead is allowed.
  XBO_dBHandler(const AnsiString& fileName, bool shared, bool readWrite, const AnsiString& password);
  // Releases the index files and the table; writes nothing (Close does).
  ~XBO_dBHandler() override;
  // Closes every index file (its pages written), then the table; the first
  // failure is raised once everything is closed.
  void Close() override;

  // --- Seeks
  // Seeks the key text in the master tag. True when a record whose key
  // equals it was found (exact flag off: whose key begins with it). Not
  // found: with Near() on and a greater key present the table stands on
  // the record of the nearest greater key, else on the last record of the
  // order, at EOF.
  // Records that are hidden (deleted, filtered out, refused by
  // AcceptRecord) are passed over. The record found is read when something
  // first looks at it (DeferRecord): with deleted records shown and no
  // AcceptRecord of its own, a seek that only asks whether a key exists
  // reads no record.
  virtual bool SeekKey(const AnsiString& keyText);
  // As SeekKey, landing on the last of equal keys.
  virtual bool SeekLastKey(const AnsiString& keyText);
  // The record number of the exact key in the first open tag of that name
  // (0 when absent); -1 when no such tag is open. The table does not move.
  virtual int32_t KeyLookup(const AnsiString& tagName, const AnsiString& keyText);
  // Moves n records in the current order (0 re-reads the current record).
  // With the filter enabled or deleted records hidden the move goes record
  // by record; otherwise in one jump, and running off an end sets EOF
  // (forward) or BOF (backward) on the last or first record.
  virtual void SkipRecords(int32_t n);
  // Whether a record that moves reach may be shown; here always true.
  virtual bool AcceptRecord();
  // Locks every open index file (tried every 50 ms, 100 times each); when
  // one stays refused the others are released again and "Could not lock
  // indexes for Table %s" is raised. Nests: UnlockIndexes releases a level.
  virtual void LockIndexes();
  // Re-scrambles records, memos, descriptors and index files under a new
  // password (empty: a plain table). Shared tables raise "%s requires full
  // access to file %s".
  virtual void SetPassword(const AnsiString& password);

  // --- Table block cache
  // A table opened exclusive keeps copies of the blocks its record reads
  // met outside the read-ahead window (seeks, moves led by a tag), up to a
  // bound in bytes, so that reading a record again needs no system call
  // (see TxbBlockCache). Nobody else writes such a table, and every write
  // of ours passes through WriteAt, which keeps the copies current. Shared
  // tables read every record from the file. 0 turns the cache off.
  static constexpr int64_t kDefaultTableCacheBytes = int64_t{16} << 20;
  void SetTableCacheLimit(int64_t bytes);
  int64_t TableCacheLimit() const { return tableCacheLimit_; }
  // Reads served from the copies and those that were not (0 while unused).
  int64_t TableCacheHits() const { return blocks_ ? blocks_->Hits() : 0; }
  int64_t TableCacheMisses() const { return blocks_ ? blocks_->Misses() : 0; }

  // --- Overridden table operations
  // Serves record reads from the read-ahead window when it is in use, else
  // (exclusive tables) from the block cache.
  int32_t ReadAt(int64_t position, void* buffer, int32_t length) override;
  // Writes through and keeps the read-ahead window and the block cache
  // current; a failed write drops both.
  void WriteAt(int64_t position, const void* buffer, int32_t length) override;
  // Renames table and memo, and every index file named after the table.
  void RenameFile(const AnsiString& newName) override;
  // Append and rewrite under the index locks; every open index is updated.
  void AppendRecord() override;
  void WriteRecord(int32_t n) override;
  // Reacts to written records (filter bit, index keys, master position)
  // and flushes (index pages written and flushed).
  void Notify(int code, int32_t value) override;
  // Moves by the master tag's order, the filter and hidden records (see
  // the move codes of dbf_table.h). While an index is built or the password
  // changes, moves are physical.
  void GoRecord(int32_t code) override;
  void SetLockProtocol(TxbLokProtocol protocol) override;
  // True when any slot holds an index file.
  bool HasIndexFiles() const override;
  // The record, append and table locks; on shared tables each drops the
  // read-ahead window first.
  bool LockAppend() override;
  bool LockAllRecords() override;
  bool LockEntireFile() override;
  bool LockCurrentRecord() override;

  // --- Index files
  // Opens an index file (no directory: the table's; no extension: ".cdx")
  // into the first empty slot. 0 when opened, -1 when already open. "Index
  // file %s is corrupted" when the file is damaged, "File %s could not be
  // found" when missing or of an unknown kind.
  int OpenIndexFile(const AnsiString& name);
  // Closes all index files, opens the files of a list (separated by commas
  // or semicolons outside double quotes) until one is already open, and
  // when all opened selects the tag keeping the position. 0, or -1 when a
  // file of the list was already open.
  int OpenIndexFiles(const AnsiString& list, const AnsiString& tagName);
  // Closes one index file (the master tag goes with it): 0, or 1 when no
  // such file is open.
  int CloseIndexFile(const AnsiString& name);
  // Closes every index file; physical order.
  void CloseIndexFiles();
  // Releases one level of the locks LockIndexes took.
  void UnlockIndexes();
  // The file in slot (1..63), or null.
  XBobjIndexFile* IndexFile(int slot) const;
  int IndexFileCount() const;
  // Tags over all open files in slot order, counted from 1.
  int TagCount() const;
  XBobjIndexTag* TagByNumber(int n) const;

  // --- Order, ranges, filter
  // Makes the named tag the master tag (empty name: physical order) and
  // returns its file's slot (0 for physical order). keepPosition keeps the
  // current record when the new order reaches it; otherwise, or when it
  // does not, the table goes to the first record. "Cannot find index tag
  // %s" when no open file has the tag.
  int SelectTag(const AnsiString& name, bool keepPosition);
  // Limits the master tag to keys between low and high (empty: open end;
  // prefixHigh: a key that begins with high counts as equal to it). When
  // the range changed the table goes to its first record (blank when the
  // range is empty). Returns whether it changed; false without master tag.
  bool SetTagRange(const AnsiString& low, const AnsiString& high, bool prefixHigh, bool includeLow,
                   bool includeHigh);
  // Compiles the filter (empty text: none) and rebuilds the filter set.
  // "Filter expression must return boolean result".
  void SetFilterExpression(const AnsiString& text, bool caseInsensitive, bool partialCompare);
  // The filter is active when enabled and an expression is compiled.
  void EnableFilter(bool on);
  // Rebuilds the set of an active filter (other programs' changes).
  void RebuildFilterSet();

  // Finds the first record whose fields (";"-separated) equal the values
  // (one per field), after startRecord when it is not 0. partial: the last
  // field only has to begin with its value; caseInsensitive compares
  // upper-cased texts. Uses a tag whose key is those fields when it can.
  bool LocateRecord(const AnsiString& fields, const std::vector<Variant>& values, int32_t startRecord,
                    bool partial, bool caseInsensitive);

  // Builds (or rebuilds) a tag: closes every index file, opens or creates
  // the file, and builds the tag from all records with progress through
  // StatusReport. orderCode 0 ascending, 1 descending, 7 and 8 the same
  // with the format's second collation; uniquenessCode 0 makes a unique
  // tag. The file is closed again afterwards. The sort's memory is kept for
  // the next build until an index file is opened or the table closes.
  void CreateIndexTag(const AnsiString& fileName, const AnsiString& tagName, int orderCode, int uniquenessCode,
                      const AnsiString& forExpression, const AnsiString& keyExpression);

  // Whether moves in physical order may be served from the read-ahead
  // buffer (physical scans of the handler itself always use it).
  void SetReadAhead(bool on);

  // --- State
  XBobjIndexTag* MasterTag() const { return master_; }
  const AnsiString& MasterTagName() const { return masterName_; }
  bool ReadAheadAllowed() const { return readAheadAllowed_; }
  // Read-ahead in use: physical order (a tag-led order switches it off).
  bool ReadAheadOn() const { return readAheadOn_; }
  bool Found() const { return found_; }
  bool Near() const { return near_; }
  void SetNear(bool on) { near_ = on; }
  // The last move ended on a record (neither EOF nor BOF).
  bool Positioned() const { return place_ != RecordPlace::None; }
  // The current record is not reachable in the current order (outside the
  // tag or its range, or filtered out).
  bool OutOfOrder() const { return place_ == RecordPlace::OutOfOrder; }
  bool FilterEnabled() const { return filterEnabled_; }
  bool FilterActive() const;
  const AnsiString& FilterText() const { return filterText_; }
  // The filter set (null before the first filter was set).
  const TxbHugeSet* FilterSet() const { return filterSet_.get(); }
  // A production index (named after the table) was opened.
  bool ProductionIndexOpened() const { return productionIndex_; }

  // --- XBobjIndexTable: what the index files need from this table
  int32_t IndexRecordCount() override;
  int32_t IndexCurrentRecord() override;
  bool IndexExactMatch() override;
  bool IndexKeepsSavedRecord() override;
  bool IndexRecordModified() override;
  void IndexUseSavedRecord(bool saved) override;
  void IndexLoadRecord(int32_t n) override;
  AnsiString IndexReadPassword() override;
  AnsiString IndexWritePassword() override;
  AnsiString IndexTableFileName() override;
  TxbExpUserLink* IndexExpressionLink() override;
  void IndexStatusReport(int status, int current, int total) override;
  void IndexSetProductionFlag() override;
  AnsiString IndexTranslateName(const AnsiString& name) override;

 protected:
  // Whether the current record may be shown: not deleted (or deleted
  // records shown) and AcceptRecord.
  bool RecordAccepted();
  // The key of a text in the form a tag compares: dates and numbers of D
  // and N tags are read from the text.
  static XBobjIndexKeyData KeyFromText(const XBobjIndexTag& tag, const AnsiString& text);

 private:
  // While alive, every record read of a physical scan is served from the
  // read-ahead window, whatever SetReadAhead says.
  class ScanScope {
   public:
    explicit ScanScope(XBO_dBHandler& handler);
    ~ScanScope();
    ScanScope(const ScanScope&) = delete;
    ScanScope& operator=(const ScanScope&) = delete;

   private:
    XBO_dBHandler& handler_;
  };
  // Under ClipLock on a shared table: the index locks for the scope.
  class ClipLockScope {
   public:
    explicit ClipLockScope(XBO_dBHandler& handler);
    ~ClipLockScope();
    ClipLockScope(const ClipLockScope&) = delete;
    ClipLockScope& operator=(const ClipLockScope&) = delete;

   private:
    XBO_dBHandler& handler_;
    bool active_;
  };
  // Sets the master tag aside (physical order) for the scope unless keep.
  class MasterAside {
   public:
    MasterAside(XBO_dBHandler& handler, bool keep);
    ~MasterAside();
    MasterAside(const MasterAside&) = delete;
    MasterAside& operator=(const MasterAside&) = delete;

   private:
    XBO_dBHandler& handler_;
    XBobjIndexTag* saved_;
    bool active_;
  };

  // Moves (see GoRecord) once the busy states and ClipLock are dealt with:
  // one step of the code, then repeated steps until a record passes.
  void Move(int32_t code);
  // One step of Move, by what it moves through; false when the move ended
  // at an end of the order (end flags set). fromTag: the record the master
  // tag stands on after the step, 0 when the step did not place it.
  bool MoveStep(XBobjIndexTag* tag, int32_t step, int32_t repeat, bool useSet, int32_t& fromTag);
  // Re-reads the current record; the master tag's record when it could be
  // placed on it, else 0.
  int32_t MoveStepCurrent(XBobjIndexTag* tag);
  // A movement in the master tag, skipping records outside the filter set.
  bool MoveStepInTag(XBobjIndexTag& tag, int32_t step, int32_t repeat, bool useSet, int32_t& fromTag);
  // A movement through the filter set in physical order.
  bool MoveStepInFilterSet(int32_t step);
  // Reads a record by number without the tag or filter; defer: the bytes
  // only when first looked at (DeferRecord).
  void ReadPhysical(int32_t n, bool defer = false);
  // Sets EOF or BOF through the table's own moves (keeps the record).
  void MarkEof();
  void MarkBof();
  // Blanks the record buffer without marking it changed.
  void BlankBuffer();
  // Positions the master tag on the current record; false when the tag
  // cannot place it (not in the tag, or outside its range).
  bool PlaceMaster();
  // Drops a tag's cached pages when another program changed its file
  // (shared tables; under our own lock the file is already current).
  void RefreshTag(XBobjIndexTag* tag);
  // Re-reads the current record; on shared tables always from the file.
  void ReReadCurrent();
  // The tag gave no record: EOF or BOF by its flags and the direction.
  void EndAtTagEnd(XBobjIndexTag& tag, int32_t step);
  // The seek of SeekKey/SeekLastKey with an evaluated key (stored form
  // not yet applied).
  bool SeekValue(const XBobjIndexKeyData& key, bool last);
  // The current record's key in the tag equals the sought key (exact flag
  // off: begins with it as given, blanks included).
  bool KeyMatches(XBobjIndexTag& tag, const XBobjIndexKeyData& sought);
  // Reads the last record and sets EOF (a seek that found nothing).
  void LastAtEof();
  // Visible in the current order: RecordAccepted and, with an active
  // filter, its bit set.
  bool RecordVisible();
  void AfterWrite(int32_t value);
  void AfterFlush();
  // Points the record buffer at buffer (null: back to the caller's).
  void Redirect(char* buffer);
  // Locate: the tag seek and the scan.
  bool LocateWithTag(XBobjIndexTag* tag, const XBobjIndexKeyData& key, bool exact, int32_t& record);
  bool LocateByScan(const std::vector<int>& fields, const std::vector<AnsiString>& wanted, int32_t startRecord,
                    bool partial, bool caseInsensitive, int32_t& record);
  // Clears the master tag's range and frees its pages.
  void ReleaseMaster();
  // The slot (0-based) holding the file of that completed name, or -1.
  int FindOpen(const AnsiString& fullName) const;
  // Completes an index file name: the table's directory, ".cdx".
  AnsiString CompleteIndexName(const AnsiString& name) const;
  // Opens or creates an index file of a registered kind, mapping failures
  // to the engine's two messages.
  std::unique_ptr<XBobjIndexFile> MakeIndexFile(const AnsiString& fullName, bool create, bool overwrite);
  void CloseSlot(int index);
  // Filter set scan of physical order (move codes -4..-1); 0 when none.
  int32_t ScanFilterSet(int32_t code);
  // Evaluates the filter on the record buffer.
  bool FilterHolds();
  // No record's bit is set: a filtered move finds nothing in any direction
  // and ends at both ends at once, as in an order without records.
  bool NothingPassesFilter() const;
  void RebuildSet();
  // Unlocks every file locked by one LockIndexes, swallowing errors when
  // already failing.
  void UnlockAll(bool failing);
  // Runs a table write under the index locks.
  template <class F>
  void UnderIndexLocks(F&& write);
  // Read-ahead window.
  void DropWindow();
  bool WindowServes() const;

  std::vector<std::unique_ptr<XBobjIndexFile>> slots_;  // kIndexSlots entries
  XBobjIndexTag* master_ = nullptr;
  AnsiString masterName_;

  bool readAheadAllowed_ = true;
  bool readAheadOn_ = true;
  int scanDepth_ = 0;  // physical scans in progress use the window always
  std::vector<char> window_;
  int64_t windowStart_ = 0;
  int64_t windowEnd_ = 0;  // one past the last valid byte; <= start: empty
  int64_t tableCacheLimit_ = kDefaultTableCacheBytes;
  std::unique_ptr<TxbBlockCache> blocks_;  // made on the first read that may use it

  std::unique_ptr<TxbExpHandler> filter_;
  AnsiString filterText_;
  bool filterIgnoreCase_ = false;
  bool filterPartial_ = false;
  bool filterTranslate_ = false;
  std::unique_ptr<TxbHugeSet> filterSet_;
  bool filterEnabled_ = false;
  bool rebuildingSet_ = false;

  bool found_ = false;
  bool near_ = false;
  // Where the last move, seek or write left the current record: on no
  // record (an end), or on one the current order reaches, or on one it
  // does not. Only a placed record can be out of order.
  enum class RecordPlace { None, InOrder, OutOfOrder };
  RecordPlace place_ = RecordPlace::None;
  void Place(bool inOrder) { place_ = inOrder ? RecordPlace::InOrder : RecordPlace::OutOfOrder; }
  void Unplace() { place_ = RecordPlace::None; }
  bool productionIndex_ = false;

  // Buffers of the last index build, for the next one.
  std::unique_ptr<TxbSortMemory> sortMemory_;

  // What expressions see instead of the current record (saved image,
  // loaded record for builds).
  std::vector<char> image_;
  char* previousBuffer_ = nullptr;
  bool redirected_ = false;
};
