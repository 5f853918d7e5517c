// The DBF table file: header, descriptors, record window, appends, rewrites
// and locks.
//
// Layout (little-endian):
//   header (32 bytes at 0)
//     0      version: 0x03, 0x04, 0x30, 0x83, 0x8B or 0xF5
//     1-3    date of the last update: years since 1900 (older writers:
//            year mod 100), month, day
//     4-7    record count (written from our count; never trusted on open)
//     8-9    header length
//     10-11  record length, the deletion flag included
//     12-14  not used, carried
//     15     encrypted: 0 plain, 1 scrambled with the table password
//     16-19  change stamp ((hour x 64 + minute) x 64 + second) x 1024 + ms
//     20-23  user number of the last writer
//     24-27  not used, carried
//     28     flags: bit 0 production index, bit 1 memo file (0x30), bit 2
//            database container (0x30); bits 3-7 are written back as 0
//     29     language byte, carried and never interpreted
//     30-31  not used, carried
//   descriptors (32 bytes each from offset 32, up to the first slot that
//   starts with 0x0D or the header length; version 0x30 keeps a 263-byte
//   back-link area between them and the records)
//     0-10   name, zero-padded (a name of 11 bytes has no terminator)
//     11     type letter
//     12-15  not read (the offset is computed: first field at 1)
//     16     length
//     17     decimals; for C the high byte of the length
//   records: record n (from 1) at header length + (n - 1) x record length;
//   byte 0 is "*" for a deleted record or a blank. An append writes the
//   record and one 0x1A end-of-file byte.
//
// Encrypted tables store the descriptor area and every record scrambled
// (scrambler.h); the terminator and the header are plain.
#include "dbase/table/dbf_table.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <set>

#include "dbase/base/byte_order.h"
#include "dbase/table/scrambler.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"

namespace {

bool KnownVersion(uint8_t v) {
  return v == 0x03 || v == 0x04 || v == 0x30 || v == 0x83 || v == 0x8B || v == 0xF5;
}

// Block number of a dBase IV memo field: right-aligned digits; anything
// else refers to no block.
int64_t TextBlockNumber(const char* field, int32_t length) {
  int64_t value = 0;
  bool digits = false;
  for (int32_t i = 0; i < length; ++i) {
    const char c = field[i];
    if (c == ' ' && !digits) continue;
    if (c < '0' || c > '9' || value > 0xFFFFFFFFLL) return 0;
    value = value * 10 + (c - '0');
    digits = true;
  }
  return value;
}

}  // namespace

XBO_dBaseDBF::XBO_dBaseDBF(const AnsiString& fileName, bool shared, bool readWrite,
                           const AnsiString& password)
    : XBO_DiskFile(DefaultExtension(fileName, ".DBF"), shared, readWrite),
      readPassword_(password),
      writePassword_(password) {
  OpenFile();
  tableName_ = UpperCase(BaseName(FileName()));

  if (ReadAt(0, header_, 32) != 32) Fail(xbmFileReadError);
  version_ = header_[0];
  if (!KnownVersion(version_)) Fail(xbmTableHeaderInvalid);
  const bool encrypted = header_[15] != 0;
  if (encrypted && password.empty()) XbRaise<EXbaseEncryption>(xbmNoPassword, FileName());
  if (!encrypted && !password.empty()) XbRaise<EXbaseEncryption>(xbmPasswordForPlainFile, FileName());

  // Everything later arithmetic relies on is checked here, once: a zero
  // record length would divide by zero, a short header would give a
  // negative descriptor count, a header past the end a negative count.
  headerLength_ = static_cast<int32_t>(GetLe16(header_ + 8));
  recordLength_ = static_cast<int32_t>(GetLe16(header_ + 10));
  const int32_t minimumHeader = version_ == 0x30 ? 296 : 33;
  const int64_t size = FileSize();
  if (recordLength_ == 0 || headerLength_ < minimumHeader || headerLength_ > size)
    Fail(xbmTableHeaderInvalid);
  recordCount_ = static_cast<int32_t>(std::min<int64_t>((size - headerLength_) / recordLength_, INT32_MAX));

  ReadDescriptors();
  memoKind_ = MemoKindOf(version_, header_[28]);

  ownRecord_.assign(static_cast<std::size_t>(recordLength_) + 1, ' ');
  ownRecord_.back() = 0x1A;
  record_ = ownRecord_.data();
  saved_.assign(static_cast<std::size_t>(recordLength_) + 1, ' ');
  saved_.back() = 0x1A;
  scratch_.assign(static_cast<std::size_t>(recordLength_) + 1, '\0');
  changed_.assign(descriptors_.size() + 1, 0);
  state_ = TxbTableState::Normal;
  RereadHeader();
  Notify(xbnOpened, 0);
}

void XBO_dBaseDBF::ReadDescriptors() {
  const int32_t area = version_ == 0x30 ? headerLength_ - 296 : headerLength_ - 33;
  const int32_t slots = area / 32;
  std::vector<unsigned char> raw(static_cast<std::size_t>(slots) * 32);
  if (!raw.empty() && ReadAt(32, raw.data(), static_cast<int32_t>(raw.size())) != static_cast<int32_t>(raw.size()))
    Fail(xbmFileReadError);
  const bool encrypted = header_[15] != 0;
  if (encrypted) ScrambleBytes(readPassword_, raw.data(), raw.data(), raw.size(), false);

  int64_t offset = 1;
  for (int32_t i = 0; i < slots; ++i) {
    const unsigned char* d = raw.data() + static_cast<std::size_t>(i) * 32;
    // Writers that pad the header after the terminator would otherwise give
    // phantom fields.
    if (d[0] == 0x0D) break;
    TxbFieldDescriptor f;
    std::size_t nameLength = 0;
    while (nameLength < 11 && d[nameLength] != 0) ++nameLength;
    f.name.assign(reinterpret_cast<const char*>(d), nameLength);
    f.type = static_cast<char>(d[11]);
    if (f.type == 'C') {
      f.length = d[16] + 256 * d[17];
      f.decimals = 0;
    } else {
      f.length = d[16];
      f.decimals = d[17];
    }
    f.offset = static_cast<int32_t>(offset);
    f.number = i + 1;
    offset += f.length;
    descriptors_.push_back(std::move(f));
  }
  // offset is now 1 + the sum of the lengths.
  if (encrypted) {
    if (offset != recordLength_) XbRaise<EXbaseEncryption>(xbmInvalidPassword, FileName());
  } else if (offset > recordLength_) {
    // Fields reaching past the record would make every field access overrun
    // the record buffer; unused bytes at the end of a record are harmless.
    Fail(xbmTableHeaderInvalid);
  }
}

XBO_dBaseDBF::~XBO_dBaseDBF() {
  assert((closeFailed_ || !(headerDirty_ && ReadWrite() && !Closed())) &&
         "table destroyed with its header unwritten: Close() it first");
  memo_.reset();
  XBO_DiskFile::CloseFile();
}

void XBO_dBaseDBF::Close() {
  try {
    if (headerDirty_ && ReadWrite() && !Closed()) {
      RereadHeader();
      tableLocked_ = false;
      WriteHeader();
    }
  } catch (...) {
    closeFailed_ = true;
    memo_.reset();
    XBO_DiskFile::CloseFile();
    throw;
  }
  memo_.reset();
  XBO_DiskFile::CloseFile();
}

// ---------------------------------------------------------------------------
// Header

void XBO_dBaseDBF::RereadHeader() {
  if (!Shared() || Closed()) return;
  unsigned char fresh[32];
  if (ReadAt(0, fresh, 32) != 32) Fail(xbmFileReadError);
  // The structure bytes stay ours: the descriptors in memory describe our
  // records whatever another program did to the header since.
  fresh[0] = version_;
  PutLe16(fresh + 8, static_cast<uint32_t>(headerLength_));
  PutLe16(fresh + 10, static_cast<uint32_t>(recordLength_));
  // Our production-index flag is not on disk until our next header write;
  // copying the disk's byte alone would drop it. Bits another program set
  // come with the fresh bytes.
  if (productionFlag_) fresh[28] |= 0x01;
  std::memcpy(header_, fresh, 32);
  const int64_t size = FileSize();
  recordCount_ = size <= headerLength_
                     ? 0
                     : static_cast<int32_t>(std::min<int64_t>((size - headerLength_) / recordLength_, INT32_MAX));
}

TDateTime XBO_dBaseDBF::LastUpdate() const {
  const int month = header_[2], day = header_[3];
  TDateTime date = 0;
  if (!TryEncodeDate(YearFromHeaderByte(header_[1]), month, day, date)) return 0;
  return date;
}

void XBO_dBaseDBF::WriteHeader() {
  if (!ReadWrite() || !headerDirty_ || tableLocked_) return;
  int year = 0, month = 0, day = 0;
  const TDateTime now = Now();
  DecodeDate(now, year, month, day);
  int hour = 0, minute = 0, second = 0, msec = 0;
  DecodeTime(now, hour, minute, second, msec);
  header_[1] = HeaderYearByte(year);
  header_[2] = static_cast<unsigned char>(month);
  header_[3] = static_cast<unsigned char>(day);
  PutLe32(header_ + 4, static_cast<uint32_t>(recordCount_));
  header_[15] = writePassword_.empty() ? 0 : 1;
  PutLe32(header_ + 16, static_cast<uint32_t>(((hour * 64 + minute) * 64 + second) * 1024 + msec));
  PutLe32(header_ + 20, static_cast<uint32_t>(userId_));
  header_[28] &= 0x07;
  WriteAt(0, header_, 32);
  headerDirty_ = false;
}

void XBO_dBaseDBF::SetProductionIndexFlag() {
  productionFlag_ = true;
  header_[28] |= 0x01;
  if (!ReadWrite() || Closed()) return;
  // Opening the index again (every open of the table) finds the flag in
  // place and writes nothing.
  unsigned char stored = 0;
  if (XBO_DiskFile::ReadAt(28, &stored, 1) == 1 && (stored & 0x01) != 0) return;
  // Pending from here: whatever stops the write now, the next header write
  // or the close carries the flag.
  headerDirty_ = true;
  // A table lock of ours defers the header to its release.
  if (tableLocked_) return;
  try {
    if (Shared()) {
      // Appends write the header under the append lock; holding it here
      // keeps this write from putting back a count that an append under way
      // is about to raise. Another region of ours cannot be exchanged for
      // it, and waiting for another writer is not worth holding up the
      // index that asked.
      if (LockCount() > 0 || !LockAppend()) return;
      try {
        RereadHeader();
        WriteHeader();
      } catch (...) {
        ReleaseLock();
        throw;
      }
      ReleaseLock();
    } else {
      WriteHeader();
    }
  } catch (const EXbaseError&) {
    // The flag only helps other programs find the index; the header stays
    // pending and the next write of this table tries again (and reports a
    // failing file then).
  }
}

// ---------------------------------------------------------------------------
// Records

char* XBO_dBaseDBF::SetRecordBuffer(char* buffer) {
  // A deferred record is read before its buffer is left: whoever looks at
  // the table's own buffer later expects the record of its number there.
  // Buffers are swapped back in destructors, so a failed read is not raised
  // here: the record stays deferred and the next look at it raises.
  if (deferred_ != 0 && record_ == ownRecord_.data() && buffer != record_) {
    try {
      ReadDeferred();
    } catch (...) {
    }
  }
  char* previous = record_;
  record_ = buffer ? buffer : ownRecord_.data();
  return previous;
}

void XBO_dBaseDBF::MarkChanged(int n) {
  // A deferred record is read first: reading it clears the flags.
  EnsureRecord();
  if (n >= 0 && static_cast<std::size_t>(n) < changed_.size()) changed_[static_cast<std::size_t>(n)] = 1;
  recordModified_ = true;
}

void XBO_dBaseDBF::SetAllChanged(bool on) { std::fill(changed_.begin(), changed_.end(), on ? 1 : 0); }

void XBO_dBaseDBF::SetPasswords(const AnsiString& readPassword, const AnsiString& writePassword) {
  readPassword_ = readPassword;
  writePassword_ = writePassword;
  if (memo_) memo_->SetPasswords(readPassword, writePassword);
}

void XBO_dBaseDBF::Notify(int code, int32_t) {
  if (code == xbnRead || code == xbnWritten) {
    recordModified_ = false;
    if (state_ != TxbTableState::ChangingPassword) state_ = TxbTableState::Normal;
  }
}

void XBO_dBaseDBF::ReadRecord(int32_t n, bool fromFile) {
  deferred_ = 0;
  Notify(xbnBeforeRead, n);
  const int64_t position = headerLength_ + int64_t{n - 1} * recordLength_;
  const int32_t got = fromFile ? XBO_DiskFile::ReadAt(position, scratch_.data(), recordLength_)
                               : ReadAt(position, scratch_.data(), recordLength_);
  if (got != recordLength_) Fail(xbmRecordReadError);
  ScrambleBytes(readPassword_, scratch_.data(), record_, static_cast<std::size_t>(recordLength_), false);
  recordNumber_ = n;
  Notify(xbnRead, n);
  std::memcpy(saved_.data(), record_, static_cast<std::size_t>(recordLength_));
  SetAllChanged(false);
}

void XBO_dBaseDBF::DeferRecord(int32_t n) {
  if (record_ != ownRecord_.data() || n < 1 || n > recordCount_) {
    GoRecord(n);
    return;
  }
  eof_ = bof_ = false;
  recordNumber_ = n;
  deferred_ = n;
  recordModified_ = false;
  SetAllChanged(false);
}

void XBO_dBaseDBF::ReadDeferred() {
  const int32_t n = deferred_;
  try {
    ReadRecord(n, false);
  } catch (...) {
    deferred_ = n;
    throw;
  }
}

void XBO_dBaseDBF::GoRecord(int32_t code) {
  if (recordCount_ == 0) {
    RereadHeader();
    if (recordCount_ == 0) {
      eof_ = bof_ = true;
      return;
    }
  }
  if (code == 0) return;
  eof_ = bof_ = false;
  int64_t target = 0;
  switch (code) {
    case xbmoCurrent:
      // Without a current record there is nothing to re-read; reading
      // "record 0" would read the header as a record.
      if (recordNumber_ < 1) XbRaise(xbmRecordNotInTable, 0, FileName());
      target = recordNumber_;
      break;
    case xbmoLast:
      target = recordCount_;
      break;
    case xbmoFirst:
      target = 1;
      break;
    case xbmoPrevious:
      if (recordNumber_ <= 1) {
        bof_ = true;
        return;
      }
      target = recordNumber_ - 1;
      break;
    case xbmoNext:
      target = int64_t{recordNumber_} + 1;
      break;
    default:
      if (code < 0) XbRaise(xbmRecordNotInTable, code, FileName());
      target = code;
      break;
  }
  if (target > recordCount_) {
    RereadHeader();
    if (target == int64_t{recordCount_} + 1) {
      eof_ = true;
      return;
    }
    if (target > recordCount_) XbRaise(xbmRecordNotInTable, target, FileName());
  }
  ReadRecord(static_cast<int32_t>(target), false);
}

void XBO_dBaseDBF::WriteRecordBytes(int32_t n, bool withEndMark) {
  ScrambleBytes(writePassword_, record_, scratch_.data(), static_cast<std::size_t>(recordLength_), true);
  scratch_[static_cast<std::size_t>(recordLength_)] = 0x1A;
  const int64_t position = headerLength_ + int64_t{n - 1} * recordLength_;
  WriteAt(position, scratch_.data(), recordLength_ + (withEndMark ? 1 : 0));
}

void XBO_dBaseDBF::AppendRecord() {
  // What is written is the record as read: a deferred one is read first.
  EnsureRecord();
  deferred_ = 0;
  const std::optional<TxbLockRegion> region = AppendLockRegion(protocol_);
  // A different region held by this object cannot be waited for: only our
  // own release would free it.
  if (!region || (Shared() && !tableLocked_ && LockCount() > 0 &&
                  (LockOffset() != region->offset || LockLength() != region->length)))
    Fail(xbmCannotLockFile);
  // Without the lock two writers would count the same records and write the
  // same slot, so the append waits for it and gives up with an error.
  if (!RetryWithPause([this] { return LockAppend(); })) Fail(xbmCannotLockFile);

  const int32_t countBefore = recordCount_;
  const int32_t numberBefore = recordNumber_;
  try {
    Notify(xbnBeforeWrite, 0);
    headerDirty_ = true;
    RereadHeader();
    record_[0] = ' ';
    ++recordCount_;
    recordNumber_ = recordCount_;
    WriteRecordBytes(recordCount_, true);
    WriteHeader();
  } catch (...) {
    if (recordNumber_ == recordCount_ && recordCount_ > countBefore) {
      recordCount_ = countBefore;
      recordNumber_ = numberBefore;
    }
    try {
      ReleaseLock();
    } catch (const EXbaseError&) {
    }
    throw;
  }
  ReleaseLock();
  eof_ = bof_ = false;
  Notify(xbnWritten, 0);
  if (autoFlush_) FlushAll();
  std::memcpy(saved_.data(), record_, static_cast<std::size_t>(recordLength_));
}

std::vector<int64_t> XBO_dBaseDBF::DroppedMemoBlocks(int32_t n) {
  std::vector<int64_t> dropped;
  if (memoKind_ != TxbMemoKind::DBase4) return dropped;
  std::vector<const TxbFieldDescriptor*> memoFields;
  for (const TxbFieldDescriptor& f : descriptors_)
    if (f.type == 'M' || f.type == 'B' || f.type == 'G') memoFields.push_back(&f);
  if (memoFields.empty()) return dropped;

  // The record as stored (we hold its lock), not the saved copy: only the
  // file says which blocks are still referenced.
  std::vector<char> stored(static_cast<std::size_t>(recordLength_));
  const int64_t position = headerLength_ + int64_t{n - 1} * recordLength_;
  if (XBO_DiskFile::ReadAt(position, stored.data(), recordLength_) != recordLength_) return dropped;
  ScrambleBytes(readPassword_, stored.data(), stored.data(), stored.size(), false);
  std::set<int64_t> kept;
  for (const TxbFieldDescriptor* f : memoFields)
    kept.insert(TextBlockNumber(record_ + f->offset, f->length));
  for (const TxbFieldDescriptor* f : memoFields) {
    const int64_t block = TextBlockNumber(stored.data() + f->offset, f->length);
    if (block > 0 && !kept.count(block) &&
        std::find(dropped.begin(), dropped.end(), block) == dropped.end())
      dropped.push_back(block);
  }
  return dropped;
}

void XBO_dBaseDBF::WriteRecord(int32_t n) {
  EnsureRecord();
  deferred_ = 0;
  // Another process may have appended since we counted: a record we read
  // from it is rewritten in place, not appended again.
  if (n > recordCount_) RereadHeader();
  if (n < 1 || n > recordCount_) {
    AppendRecord();
    return;
  }
  Notify(xbnBeforeWrite, n);
  headerDirty_ = true;

  // Memo blocks the stored record gives up are returned to a dBase IV memo
  // file only once the record that drops them is written; the memo lock is
  // taken first so that a refusal stops the write before anything changed.
  const std::vector<int64_t> dropped = DroppedMemoBlocks(n);
  XBobjMemo* memo = dropped.empty() ? nullptr : &MemoFile();
  if (memo) memo->LockMemo();
  try {
    WriteRecordBytes(n, false);
    recordNumber_ = n;
    if (memo) {
      for (int64_t block : dropped) memo->FreeMemo(block);
      memo->UnlockMemo();
      memo = nullptr;
    }
  } catch (...) {
    if (memo) {
      try {
        memo->UnlockMemo();
      } catch (const EXbaseError&) {
      }
    }
    throw;
  }
  RereadHeader();
  WriteHeader();
  Notify(xbnWritten, n);
  if (autoFlush_) FlushAll();
  std::memcpy(saved_.data(), record_, static_cast<std::size_t>(recordLength_));
}

void XBO_dBaseDBF::FlushFile() {
  XBO_DiskFile::FlushFile();
  if (memo_) memo_->FlushFile();
}

void XBO_dBaseDBF::FlushAll() {
  FlushFile();
  Notify(xbnFlushed, 0);
}

// ---------------------------------------------------------------------------
// Locks

bool XBO_dBaseDBF::LockAppend() {
  if (tableLocked_) {
    AddLockLevel();
    return true;
  }
  const std::optional<TxbLockRegion> region = AppendLockRegion(protocol_);
  return region && LockRegion(region->offset, region->length);
}

bool XBO_dBaseDBF::LockAllRecords() {
  if (tableLocked_) {
    AddLockLevel();
    return true;
  }
  const std::optional<TxbLockRegion> region = TableLockRegion(protocol_);
  if (!region || !LockRegion(region->offset, region->length)) return false;
  tableLocked_ = true;
  RereadHeader();
  return true;
}

bool XBO_dBaseDBF::LockEntireFile() {
  if (tableLocked_) {
    AddLockLevel();
    return true;
  }
  const TxbLockRegion region = EntireFileLockRegion();
  if (!LockRegion(region.offset, region.length)) return false;
  tableLocked_ = true;
  RereadHeader();
  return true;
}

bool XBO_dBaseDBF::LockCurrentRecord() {
  if (tableLocked_) {
    AddLockLevel();
    return true;
  }
  const std::optional<TxbLockRegion> region =
      RecordLockRegion(protocol_, recordNumber_, HasIndexFiles(), headerLength_, recordLength_);
  return region && LockRegion(region->offset, region->length);
}

bool XBO_dBaseDBF::ReleaseLock() {
  if (tableLocked_ && LockCount() <= 1) {
    // The header deferred while the table was locked goes out before the
    // lock does, so that others never see records without their count.
    tableLocked_ = false;
    try {
      WriteHeader();
    } catch (...) {
      UnlockRegion();
      throw;
    }
  }
  return UnlockRegion();
}

void XBO_dBaseDBF::SetLockProtocol(TxbLokProtocol protocol) {
  protocol_ = protocol;
  if (memo_) memo_->SetLockProtocol(protocol);
}

bool XBO_dBaseDBF::HasIndexFiles() const { return false; }

// ---------------------------------------------------------------------------
// Memo file and renaming

XBobjMemo& XBO_dBaseDBF::MemoFile() {
  if (!memo_) {
    if (memoKind_ == TxbMemoKind::None) {
      const AnsiString name = MemoFileNameFor(FileName(), version_);
      XbRaise(xbmFileNotFound, name.empty() ? ChangeFileExt(FileName(), ".dbt") : name);
    }
    memo_ = OpenMemoFile(memoKind_, version_, Shared(), ReadWrite(), readPassword_, FileName(), protocol_);
    memo_->SetPasswords(readPassword_, writePassword_);
  }
  return *memo_;
}

void XBO_dBaseDBF::RenameFile(const AnsiString& newName) {
  const AnsiString oldName = FileName();
  const AnsiString target = DefaultExtension(newName, ".DBF");
  // The memo goes along; a table whose memo file is missing is renamed alone.
  if (!memo_ && memoKind_ != TxbMemoKind::None && FileExists(MemoFileNameFor(oldName, version_))) MemoFile();
  XBO_DiskFile::RenameFile(target);
  if (memo_) {
    try {
      memo_->RenameMemo(FileName());
    } catch (...) {
      // Keep table and memo together under the old name.
      try {
        XBO_DiskFile::RenameFile(oldName);
      } catch (const EXbaseError&) {
      }
      throw;
    }
  }
  tableName_ = UpperCase(BaseName(FileName()));
}
