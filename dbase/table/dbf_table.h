// XBO_dBaseDBF: one DBF table file. It reads the header and the field
// descriptors, moves a one-record window over the fixed-length records,
// appends and rewrites records, keeps the header's count and change stamp
// current, applies the table password, and takes the table, record and
// append locks of the table's lock protocol. Typed field access lives in
// the descendant XBO_dBaseFld (dbf_fields.h).
//
// Invariants: the header length, record length and descriptors are fixed
// while the table is open and were checked against each other and the file
// when it opened, so every record and field access stays inside the record
// buffer. The record count is recomputed from the file size whenever the
// header is re-read (shared tables), so other processes' appends become
// visible. The saved record is always the record as last read from or
// written to the file; index maintenance and memo bookkeeping compare the
// current record with it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dbase/table/lock_protocol.h"
#include "dbase/table/memo_file.h"
#include "dbase/base/disk_file.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/datetime.h"

// What the table is doing; the handler makes moves physical in the two
// busy states.
enum class TxbTableState { Normal, BuildingIndex, ChangingPassword };

// Codes passed to Notify.
enum TxbNotifyCode : int {
  xbnBlanked = 0,      // the current record was blanked
  xbnOpened = 2,       // the table was opened
  xbnBeforeRead = 4,   // a record is about to be read (value: its number)
  xbnBeforeWrite = 5,  // a record is about to be written (value: its number, 0 append)
  xbnRead = 6,         // a record was read (value: its number)
  xbnWritten = 7,      // a record was written (value: its number, 0 for an append)
  xbnFlushed = 8,      // table, memo and indexes were flushed
};

// Move codes of GoRecord; a positive code is a record number.
enum TxbMoveCode : int32_t {
  xbmoCurrent = -5,
  xbmoLast = -4,
  xbmoFirst = -3,
  xbmoPrevious = -2,
  xbmoNext = -1,
};

// One field as described in the table header.
struct TxbFieldDescriptor {
  AnsiString name;       // as stored, without its zero padding
  char type = 'C';       // the type letter as stored
  int32_t offset = 0;    // position in the record; the first field is at 1
  int32_t length = 0;    // bytes in the record (C: byte 16 + 256 x byte 17)
  int32_t decimals = 0;  // 0 for C
  int32_t number = 0;    // from 1
};

class XBO_dBaseDBF : public XBO_DiskFile {
 public:
  // Opens the table (".DBF" added when the name has no extension) and reads
  // its header and descriptors. "File %s could not be found", "Chyba při
  // čtení souboru %s", "Table Header for %s is invalid"; password mismatches
  // raise EXbaseEncryption.
  XBO_dBaseDBF(const AnsiString& fileName, bool shared, bool readWrite, const AnsiString& password);
  // Writes a pending header, closes the memo file and the table.
  ~XBO_dBaseDBF() override;

  // Appends the current record (deletion flag cleared) under the append
  // lock, tried every 50 ms up to 100 times; "Can not Lock file %s" when it
  // stays refused, and at once when this table holds another lock region.
  virtual void AppendRecord();
  // Told of every read, write, blank, open and flush (TxbNotifyCode).
  // Descendants react first and then call this, which clears the
  // record-modified flag on reads and writes.
  virtual void Notify(int code, int32_t value);
  // Moves the window (TxbMoveCode or a record number). A target one past the
  // last record sets EOF; a previous from record 1 (or none) sets BOF; other
  // targets outside the table raise "Record number %d is not in table %s".
  virtual void GoRecord(int32_t code);
  // The append lock, once (no wait).
  virtual bool LockAppend();
  // The table lock of the protocol; re-reads the header on success.
  virtual bool LockAllRecords();
  // The whole-file lock (also gives full access); re-reads the header.
  virtual bool LockEntireFile();
  // Drops one level of the held lock; the last level of a table lock first
  // writes the pending header.
  virtual bool ReleaseLock();
  // Locks the current record (no wait). Callers that change the record
  // lock first and then re-read it (GoRecord(xbmoCurrent)): a copy read
  // before the lock may already be stale.
  virtual bool LockCurrentRecord();
  // Rewrites record n in place from the current record; n outside the
  // table appends instead. Takes no lock: the caller holds the record lock.
  virtual void WriteRecord(int32_t n);
  // Stores the protocol and passes it on to the memo file.
  virtual void SetLockProtocol(TxbLokProtocol protocol);
  // Whether an index file is open; decides the Default/FoxLock record byte.
  virtual bool HasIndexFiles() const;

  // Renames the table and its memo file.
  void RenameFile(const AnsiString& newName) override;
  // Flushes the table and, when open, the memo file.
  void FlushFile() override;
  // Writes a header change still pending (count, date, flags) and closes the
  // table and its memo file. A failed write is raised after the files are
  // closed all the same. Owners call it: the destructor only releases, and
  // in debug builds stops the program when a header change would be lost.
  virtual void Close();

  // --- Header and structure
  uint8_t Version() const { return version_; }
  int32_t HeaderLength() const { return headerLength_; }
  int32_t RecordLength() const { return recordLength_; }
  // The 32 header bytes as last read or written.
  const unsigned char* HeaderBytes() const { return header_; }
  // The header's date of last update (its year written either as years
  // since 1900 or modulo 100); 0 when the bytes are no date.
  TDateTime LastUpdate() const;
  bool Encrypted() const { return !writePassword_.empty(); }
  int FieldCount() const { return static_cast<int>(descriptors_.size()); }
  // Descriptor of field n (1..FieldCount()).
  const TxbFieldDescriptor& Descriptor(int n) const { return descriptors_[static_cast<std::size_t>(n - 1)]; }
  // Upper-case base name of the file ("PLA0001").
  const AnsiString& TableName() const { return tableName_; }

  // --- Position
  int32_t RecordCount() const { return recordCount_; }
  int32_t RecordNumber() const { return recordNumber_; }
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }

  // Marks an index named after the table as its production index (header
  // byte 28, bit 0), which other dBase programs read to open that index
  // with the table. A file that lacks the flag gets it at once when the
  // header can be written now (shared tables: under the append lock, tried
  // once); otherwise the header stays pending and the next header write
  // (append, rewrite, release of a table lock, closing) carries it. Once
  // set, every header re-read keeps it. Never clears the flag.
  void SetProductionIndexFlag();

  // --- Record buffers
  // The current record (record length bytes, then one 0x1A).
  char* Record() {
    EnsureRecord();
    return record_;
  }
  const char* Record() const {
    EnsureRecord();
    return record_;
  }
  // The record as last read or written.
  const char* SavedRecord() const {
    EnsureRecord();
    return saved_.data();
  }
  // Points the current record at a caller's buffer of record length + 1
  // bytes (nullptr: the table's own buffer again); returns the previous one.
  char* SetRecordBuffer(char* buffer);
  bool IsDeleted() const { return Record()[0] == '*'; }

  // --- Flags
  bool RecordModified() const { return recordModified_; }
  void SetRecordModified(bool on) { recordModified_ = on; }
  // Change flag of field n (0: the deletion flag).
  bool FieldChanged(int n) const { return changed_[static_cast<std::size_t>(n)] != 0; }
  TxbTableState State() const { return state_; }
  void SetState(TxbTableState state) { state_ = state; }
  bool ShowDeleted() const { return showDeleted_; }
  void SetShowDeleted(bool on) { showDeleted_ = on; }
  bool ExactMatch() const { return exactMatch_; }
  void SetExactMatch(bool on) { exactMatch_ = on; }
  bool AutoFlush() const { return autoFlush_; }
  void SetAutoFlush(bool on) { autoFlush_ = on; }
  int32_t UserId() const { return userId_; }
  void SetUserId(int32_t id) { userId_ = id; }
  TxbLokProtocol LockProtocol() const { return protocol_; }
  bool TableLocked() const { return tableLocked_; }

  // --- Memo file
  TxbMemoKind MemoKind() const { return memoKind_; }
  // The memo file, opened on first use ("File %s could not be found" when
  // the table has none or it is missing).
  XBobjMemo& MemoFile();
  bool MemoOpen() const { return memo_ != nullptr; }

 protected:
  // Reads the 32 header bytes again and recounts the records from the file
  // size (shared tables only).
  void RereadHeader();
  // Writes the header when read-write, dirty and no table lock is held.
  void WriteHeader();
  void MarkHeaderDirty() { headerDirty_ = true; }
  // Sets both end flags at once (an order with no record at all sets both).
  void SetEndFlags(bool eof, bool bof) {
    eof_ = eof;
    bof_ = bof;
  }
  bool HeaderDirty() const { return headerDirty_; }
  // Reads record n into the current record (Notify 4 and 6, saved record,
  // change flags). fromFile bypasses any read cache of a descendant.
  void ReadRecord(int32_t n, bool fromFile);
  // Makes record n (1..RecordCount) current without reading it yet: the
  // number, the end flags and the change flags are those of a read, and the
  // bytes are read (as ReadRecord) on the first look at the record, the
  // saved record or the deletion flag, or before a write. A caller that
  // only asks whether a key exists never reads the record. Only the
  // table's own buffer defers; a redirected buffer is read at once.
  void DeferRecord(int32_t n);
  // The auto-flush step: file, memo, Notify(xbnFlushed).
  void FlushAll();
  // The passwords records and memos are read and written with.
  void SetPasswords(const AnsiString& readPassword, const AnsiString& writePassword);
  const AnsiString& ReadPassword() const { return readPassword_; }
  const AnsiString& WritePassword() const { return writePassword_; }
  // Marks field n (0: deletion flag) changed and the record modified.
  void MarkChanged(int n);
  void SetAllChanged(bool on);
  // All change flags (index 0: the deletion flag), to save and restore.
  std::vector<unsigned char>& ChangeFlags() { return changed_; }

 private:
  void ReadDescriptors();
  // Reads a deferred record while the table's own buffer is current.
  void EnsureRecord() const {
    if (deferred_ != 0 && record_ == ownRecord_.data()) const_cast<XBO_dBaseDBF*>(this)->ReadDeferred();
  }
  void ReadDeferred();
  // Writes the current record (scrambled with the write password) at its
  // place, followed by 0x1A for an append.
  void WriteRecordBytes(int32_t n, bool withEndMark);
  // Memo blocks of a record image that a rewrite of record n drops: those
  // the stored record refers to and the current one no longer does. Only
  // dBase IV memo files take blocks back.
  std::vector<int64_t> DroppedMemoBlocks(int32_t n);

  uint8_t version_ = 0;
  int32_t headerLength_ = 0;
  int32_t recordLength_ = 0;
  unsigned char header_[32] = {};
  std::vector<TxbFieldDescriptor> descriptors_;
  AnsiString tableName_;

  int32_t recordCount_ = 0;
  int32_t recordNumber_ = 0;
  bool eof_ = false;
  bool bof_ = false;

  std::vector<char> ownRecord_;
  char* record_ = nullptr;
  // The record DeferRecord made current and nothing has read yet (0:
  // none). It belongs to the table's own buffer.
  int32_t deferred_ = 0;
  std::vector<char> saved_;
  std::vector<char> scratch_;
  std::vector<unsigned char> changed_;

  bool recordModified_ = false;
  bool headerDirty_ = false;
  // Close was called and failed: the pending header is given up.
  bool closeFailed_ = false;
  // SetProductionIndexFlag was called: the flag survives header re-reads.
  bool productionFlag_ = false;
  bool tableLocked_ = false;
  bool showDeleted_ = false;
  bool exactMatch_ = false;
  bool autoFlush_ = false;
  TxbTableState state_ = TxbTableState::Normal;
  TxbLokProtocol protocol_ = TxbLokProtocol::Default;
  int32_t userId_ = 0;
  AnsiString readPassword_;
  AnsiString writePassword_;

  TxbMemoKind memoKind_ = TxbMemoKind::None;
  std::unique_ptr<XBobjMemo> memo_;
};

// Points a table's current record at a caller's buffer for one scope and
// restores the previous buffer on every exit.
class TxbRecordBufferRedirect {
 public:
  TxbRecordBufferRedirect(XBO_dBaseDBF& table, char* buffer)
      : table_(table), previous_(table.SetRecordBuffer(buffer)) {}
  ~TxbRecordBufferRedirect() { table_.SetRecordBuffer(previous_); }
  TxbRecordBufferRedirect(const TxbRecordBufferRedirect&) = delete;
  TxbRecordBufferRedirect& operator=(const TxbRecordBufferRedirect&) = delete;

 private:
  XBO_dBaseDBF& table_;
  char* previous_;
};
