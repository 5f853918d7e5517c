// Table handler: index-file slots, tag order and moves, skips, seeks, key
// ranges, index maintenance on writes, read-ahead and the table's side of
// the index interface. The filter lives in handler_filter.cpp, Locate in
// handler_locate.cpp, index builds and the password change in
// handler_build.cpp.
//
// Read-ahead window: one buffer of 32768 bytes cut down to whole records
// (at least one record) holds the file bytes [windowStart_, windowEnd_).
// A record read that does not lie wholly inside it refills it from the
// record's position; writes inside it are copied into it.
#include "dbase/handler/table_handler.h"

#include <algorithm>
#include <optional>
#include <cstring>
#include <exception>

#include "dbase/index/index_formats.h"
#include "dbase/index/key_sort.h"
#include "dbase/table/scrambler.h"
#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

// The key sits inside the tag's range as moves see it: a key equal to
// either bound is inside.
bool TagKeyInRange(const XBobjIndexTag& tag) {
  if (!tag.HasRange()) return true;
  const XBobjIndexKeyData& key = tag.CurrentKey();
  const int sign = tag.KeysDescending() ? -1 : 1;
  if (!tag.LowKey().IsEmpty() &&
      sign * tag.LowKey().Compare(&key, nullptr, CollationWeights, kIndexComparePrefix) > 0)
    return false;
  if (!tag.HighKey().IsEmpty() &&
      sign * tag.HighKey().Compare(&key, nullptr, CollationWeights, tag.RangePrefix()) < 0)
    return false;
  return true;
}

bool ParseNumber(const AnsiString& text, double& value) {
  const AnsiString t = Trim(text);
  if (t.empty()) {
    value = 0;
    return true;
  }
  if (TryStrToFloat(t, value)) return true;
  TFormatSettings dot = FormatSettings();
  dot.DecimalSeparator = '.';
  dot.ThousandSeparator = '\0';
  return TryStrToFloat(t, value, dot);
}

bool AllDigits(const AnsiString& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A failure message of the form "Index file %s is corrupted".
bool IsCorruptionMessage(const AnsiString& message) {
  const AnsiString& format = XbMessage(xbmIndexCorrupted);
  const std::size_t at = format.find("%s");
  if (at == AnsiString::npos) return false;
  const AnsiString prefix = format.substr(0, at);
  const AnsiString suffix = format.substr(at + 2);
  return message.size() >= prefix.size() + suffix.size() && message.compare(0, prefix.size(), prefix) == 0 &&
         message.compare(message.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace


// ---------------------------------------------------------------------------
// Scopes

XBO_dBHandler::ScanScope::ScanScope(XBO_dBHandler& handler) : handler_(handler) { ++handler_.scanDepth_; }
XBO_dBHandler::ScanScope::~ScanScope() { --handler_.scanDepth_; }

XBO_dBHandler::ClipLockScope::ClipLockScope(XBO_dBHandler& handler)
    : handler_(handler),
      active_(handler.Shared() && handler.LockProtocol() == TxbLokProtocol::ClipLock && handler.HasIndexFiles()) {
  if (active_) handler_.LockIndexes();
}

XBO_dBHandler::ClipLockScope::~ClipLockScope() {
  if (!active_) return;
  try {
    handler_.UnlockAll(true);
  } catch (...) {
  }
}

XBO_dBHandler::MasterAside::MasterAside(XBO_dBHandler& handler, bool keep)
    : handler_(handler), saved_(handler.master_), active_(!keep && handler.master_ != nullptr) {
  if (active_) handler_.master_ = nullptr;
}

XBO_dBHandler::MasterAside::~MasterAside() {
  if (active_) handler_.master_ = saved_;
}

// ---------------------------------------------------------------------------
// Life

XBO_dBHandler::XBO_dBHandler(const AnsiString& fileName, bool shared, bool readWrite, const AnsiString& password)
    : XBO_dBaseFld(fileName, shared, readWrite, password), slots_(kIndexSlots) {}

XBO_dBHandler::~XBO_dBHandler() {
  master_ = nullptr;
  for (auto& slot : slots_) slot.reset();
  Redirect(nullptr);
}

void XBO_dBHandler::Close() {
  sortMemory_.reset();
  blocks_.reset();
  std::exception_ptr first;
  try {
    CloseIndexFiles();
  } catch (...) {
    first = std::current_exception();
  }
  try {
    XBO_dBaseFld::Close();
  } catch (...) {
    if (!first) first = std::current_exception();
  }
  if (first) std::rethrow_exception(first);
}

// ---------------------------------------------------------------------------
// Index files

AnsiString XBO_dBHandler::CompleteIndexName(const AnsiString& name) const {
  AnsiString full = Trim(name);
  if (ExtractFilePath(full).empty()) full = ExtractFilePath(FileName()) + full;
  return DefaultExtension(full, ".cdx");
}

int XBO_dBHandler::FindOpen(const AnsiString& fullName) const {
  // One file has many spellings ("data\\PLA0001.CDX", "data/pla0001.cdx"):
  // the files compare by where they are on disk.
  const std::optional<std::string> wanted = ExistingDiskPath(fullName);
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const XBobjIndexFile* file = slots_[i].get();
    if (!file || !file->DiskFile()) continue;
    const AnsiString& name = file->DiskFile()->FileName();
    if (SameText(name, fullName) || (wanted && ExistingDiskPath(name) == wanted)) return static_cast<int>(i);
  }
  return -1;
}

std::unique_ptr<XBobjIndexFile> XBO_dBHandler::MakeIndexFile(const AnsiString& fullName, bool create,
                                                             bool overwrite) {
  const TxbIndexFormat* format = FindIndexFormat(ExtractFileExt(fullName));
  if (!format || !format->open) XbRaise(xbmFileNotFound, fullName);
  if (!create && !FileExists(fullName)) XbRaise(xbmFileNotFound, fullName);
  const unsigned mode = ReadWrite() ? fmOpenReadWrite : fmOpenRead;
  const unsigned share = Shared() ? fmShareDenyNone : fmShareExclusive;
  std::unique_ptr<XBobjIndexFile> file;
  try {
    file = format->open(this, fullName, create, overwrite, mode, share);
  } catch (const EXbaseError& e) {
    if (IsCorruptionMessage(e.Message())) XbRaise(xbmIndexCorrupted, fullName);
    XbRaise(xbmFileNotFound, fullName);
  }
  if (!file || !file->Opened()) XbRaise(xbmIndexCorrupted, fullName);
  file->SetLockProtocol(LockProtocol());
  return file;
}

int XBO_dBHandler::OpenIndexFile(const AnsiString& name) {
  // The builds are over: what they kept goes back.
  sortMemory_.reset();
  const AnsiString full = CompleteIndexName(name);
  if (FindOpen(full) >= 0) return -1;
  auto free = std::find_if(slots_.begin(), slots_.end(), [](const auto& s) { return s == nullptr; });
  // Callers were never meant to open more; refusing keeps every slot number
  // valid for the lock and order rules that count on them.
  if (free == slots_.end()) XbRaise(xbmTooManyIndexFiles, FileName());
  *free = MakeIndexFile(full, false, false);
  return 0;
}

int XBO_dBHandler::OpenIndexFiles(const AnsiString& list, const AnsiString& tagName) {
  CloseIndexFiles();
  AnsiString text = list;
  while (!text.empty() && (text.back() == ' ' || text.back() == ',' || text.back() == ';')) text.pop_back();
  std::vector<AnsiString> names;
  AnsiString current;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ',' || c == ';')) {
      names.push_back(Trim(current));
      current.clear();
    } else {
      current += c;
    }
  }
  names.push_back(Trim(current));
  for (const AnsiString& name : names) {
    if (name.empty()) continue;
    if (OpenIndexFile(name) == -1) return -1;
  }
  SelectTag(tagName, true);
  return 0;
}

void XBO_dBHandler::CloseSlot(int index) {
  std::unique_ptr<XBobjIndexFile>& slot = slots_[static_cast<std::size_t>(index)];
  if (!slot) return;
  if (master_ && master_->IndexFile() == slot.get()) {
    try {
      ReleaseMaster();
    } catch (...) {
      master_ = nullptr;
      masterName_.clear();
      slot.reset();
      throw;
    }
    master_ = nullptr;
    masterName_.clear();
    readAheadOn_ = true;
    if (OutOfOrder()) Place(true);
  }
  try {
    slot->Close();
  } catch (...) {
    slot.reset();
    throw;
  }
  slot.reset();
}

int XBO_dBHandler::CloseIndexFile(const AnsiString& name) {
  const int index = FindOpen(CompleteIndexName(name));
  if (index < 0) return 1;
  CloseSlot(index);
  return 0;
}

void XBO_dBHandler::CloseIndexFiles() {
  std::exception_ptr first;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    try {
      CloseSlot(static_cast<int>(i));
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  master_ = nullptr;
  masterName_.clear();
  readAheadOn_ = true;
  if (OutOfOrder()) Place(true);
  if (first) std::rethrow_exception(first);
}

XBobjIndexFile* XBO_dBHandler::IndexFile(int slot) const {
  if (slot < 1 || slot > kIndexSlots) return nullptr;
  return slots_[static_cast<std::size_t>(slot - 1)].get();
}

int XBO_dBHandler::IndexFileCount() const {
  return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s != nullptr; }));
}

int XBO_dBHandler::TagCount() const {
  int n = 0;
  for (const auto& slot : slots_)
    if (slot) n += slot->TagCount();
  return n;
}

XBobjIndexTag* XBO_dBHandler::TagByNumber(int n) const {
  if (n < 1) return nullptr;
  for (const auto& slot : slots_) {
    if (!slot) continue;
    if (n <= slot->TagCount()) return slot->TagAt(n - 1);
    n -= slot->TagCount();
  }
  return nullptr;
}

bool XBO_dBHandler::HasIndexFiles() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const auto& s) { return s != nullptr; });
}

void XBO_dBHandler::SetLockProtocol(TxbLokProtocol protocol) {
  XBO_dBaseFld::SetLockProtocol(protocol);
  for (auto& slot : slots_)
    if (slot) slot->SetLockProtocol(protocol);
}

void XBO_dBHandler::RenameFile(const AnsiString& newName) {
  const AnsiString oldBase = BaseName(FileName());
  XBO_dBaseFld::RenameFile(newName);
  for (auto& slot : slots_)
    if (slot && SameText(BaseName(slot->FileName()), oldBase)) slot->Rename(FileName());
}

// ---------------------------------------------------------------------------
// Locks

void XBO_dBHandler::LockIndexes() {
  std::vector<XBobjIndexFile*> locked;
  for (auto& slot : slots_) {
    if (!slot) continue;
    try {
      slot->LockIndexFile();
    } catch (const EXbaseError& e) {
      for (auto it = locked.rbegin(); it != locked.rend(); ++it) {
        try {
          (*it)->UnlockIndexFile();
        } catch (const EXbaseError&) {
        }
      }
      if (e.Message() == XbFormat(xbmCannotLockFile, slot->FileName())) XbRaise(xbmCannotLockIndexes, TableName());
      throw;
    }
    locked.push_back(slot.get());
  }
  // Pages cached before the lock may describe nodes another program has
  // split since: they are dropped before anything is read or written under
  // the lock. (Taking the first level has already moved the next free node
  // past what another program may have appended; a deeper level finds the
  // file as our own lock left it.)
  try {
    for (XBobjIndexFile* file : locked) {
      if (file->LockLevel() == 1 && file->ChangedByOtherUser())
        for (int i = 0; i < file->TagCount(); ++i) file->TagAt(i)->DiscardPages();
    }
  } catch (...) {
    UnlockAll(true);
    throw;
  }
}

void XBO_dBHandler::UnlockAll(bool failing) {
  std::exception_ptr first;
  for (auto it = slots_.rbegin(); it != slots_.rend(); ++it) {
    if (!*it) continue;
    try {
      (*it)->UnlockIndexFile();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first && !failing) std::rethrow_exception(first);
}

void XBO_dBHandler::UnlockIndexes() { UnlockAll(false); }

bool XBO_dBHandler::LockAppend() {
  if (Shared()) DropWindow();
  return XBO_dBaseFld::LockAppend();
}

bool XBO_dBHandler::LockAllRecords() {
  if (Shared()) DropWindow();
  return XBO_dBaseFld::LockAllRecords();
}

bool XBO_dBHandler::LockEntireFile() {
  if (Shared()) DropWindow();
  return XBO_dBaseFld::LockEntireFile();
}

bool XBO_dBHandler::LockCurrentRecord() {
  if (Shared()) DropWindow();
  return XBO_dBaseFld::LockCurrentRecord();
}

// ---------------------------------------------------------------------------
// Writes

template <class F>
void XBO_dBHandler::UnderIndexLocks(F&& write) {
  if (Shared()) DropWindow();
  LockIndexes();
  try {
    write();
  } catch (...) {
    UnlockAll(true);
    throw;
  }
  UnlockAll(false);
}

void XBO_dBHandler::AppendRecord() {
  UnderIndexLocks([this] { XBO_dBaseFld::AppendRecord(); });
}

void XBO_dBHandler::WriteRecord(int32_t n) {
  UnderIndexLocks([this, n] { XBO_dBaseFld::WriteRecord(n); });
}

void XBO_dBHandler::Notify(int code, int32_t value) {
  // Before the base clears the record-modified flag: the tags replace keys
  // only of records flagged as changed.
  if (code == xbnWritten) {
    AfterWrite(value);
  } else if (code == xbnFlushed) {
    AfterFlush();
  }
  XBO_dBaseFld::Notify(code, value);
}

void XBO_dBHandler::AfterWrite(int32_t value) {
  const int32_t n = value != 0 ? value : RecordNumber();
  const bool appended = value == 0;
  if (filter_ && filter_->HasTree() && filterSet_)
    filterSet_->Change(n, FilterHolds() ? TxbHugeSet::opSet : TxbHugeSet::opClear);
  for (auto& slot : slots_)
    if (slot) slot->RecordChanged(n, appended);
  // The written record stays current (its EOF and BOF stay clear: it is
  // there); the order may no longer reach it.
  bool inOrder = master_ ? PlaceMaster() : true;
  if (FilterActive() && inOrder) inOrder = filterSet_->Test(n);
  Place(inOrder);
}

void XBO_dBHandler::AfterFlush() {
  if (master_) master_->ResetPages();
  for (auto& slot : slots_) {
    if (!slot) continue;
    slot->ResetAllPages();
    slot->WriteHeldBlocks();
    if (slot->DiskFile()) slot->DiskFile()->FlushFile();
  }
  if (master_ && Positioned()) Place(PlaceMaster());
}

// ---------------------------------------------------------------------------
// Read-ahead

void XBO_dBHandler::SetReadAhead(bool on) {
  readAheadAllowed_ = on;
  if (!on) DropWindow();
}

void XBO_dBHandler::DropWindow() { windowStart_ = windowEnd_ = 0; }

bool XBO_dBHandler::WindowServes() const {
  // Tag-led reads jump: a refill per record would only cost.
  return master_ == nullptr && (scanDepth_ > 0 || (readAheadAllowed_ && readAheadOn_));
}

int32_t XBO_dBHandler::ReadAt(int64_t position, void* buffer, int32_t length) {
  const int32_t recordLength = std::max(RecordLength(), 1);
  const int32_t window = scanDepth_ > 0 ? kScanReadBytes : kReadAheadBytes;
  const int32_t capacity = std::max(window / recordLength, 1) * recordLength;
  if (!WindowServes() || position < HeaderLength() || length <= 0 || length > capacity) {
    if (Shared() || tableCacheLimit_ <= 0 || position < HeaderLength())
      return XBO_DiskFile::ReadAt(position, buffer, length);
    if (!blocks_)
      blocks_ = std::make_unique<TxbBlockCache>(tableCacheLimit_, [this](int64_t at, void* into, int32_t count) {
        return XBO_DiskFile::ReadAt(at, into, count);
      });
    return blocks_->Read(position, buffer, length);
  }
  if (position < windowStart_ || position + length > windowEnd_) {
    window_.resize(static_cast<std::size_t>(capacity));
    windowStart_ = position;
    windowEnd_ = position;
    const int32_t got = XBO_DiskFile::ReadAt(position, window_.data(), capacity);
    windowEnd_ = position + std::max(got, 0);
  }
  if (position >= windowEnd_) return 0;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(length, windowEnd_ - position));
  std::memcpy(buffer, window_.data() + (position - windowStart_), static_cast<std::size_t>(n));
  return n;
}

void XBO_dBHandler::SetTableCacheLimit(int64_t bytes) {
  tableCacheLimit_ = std::max<int64_t>(bytes, 0);
  if (blocks_) blocks_->SetLimit(tableCacheLimit_);
}

void XBO_dBHandler::WriteAt(int64_t position, const void* buffer, int32_t length) {
  try {
    XBO_DiskFile::WriteAt(position, buffer, length);
  } catch (...) {
    // What reached the file is unknown: no copy may stand for it.
    DropWindow();
    if (blocks_) blocks_->Clear();
    throw;
  }
  if (blocks_) blocks_->Wrote(position, buffer, length);
  if (windowEnd_ <= windowStart_ || length <= 0) return;
  const int64_t from = std::max(position, windowStart_);
  const int64_t to = std::min(position + length, windowEnd_);
  if (from < to)
    std::memcpy(window_.data() + (from - windowStart_), static_cast<const char*>(buffer) + (from - position),
                static_cast<std::size_t>(to - from));
}

// ---------------------------------------------------------------------------
// Moves

bool XBO_dBHandler::AcceptRecord() { return true; }

bool XBO_dBHandler::RecordAccepted() { return (ShowDeleted() || !IsDeleted()) && AcceptRecord(); }

bool XBO_dBHandler::RecordVisible() {
  if (!RecordAccepted()) return false;
  return !FilterActive() || filterSet_->Test(RecordNumber());
}

void XBO_dBHandler::ReadPhysical(int32_t n, bool defer) {
  if (n > RecordCount()) RereadHeader();
  if (n < 1 || n > RecordCount()) {
    // A record the table does not hold: nothing to show.
    BlankBuffer();
    MarkEof();
    return;
  }
  if (defer)
    DeferRecord(n);
  else
    XBO_dBaseFld::GoRecord(n);
}

void XBO_dBHandler::ReReadCurrent() {
  // A re-read is what an edit makes under its record lock: it must see what
  // other programs wrote, never an older copy in the window.
  if (Shared()) DropWindow();
  XBO_dBaseFld::GoRecord(xbmoCurrent);
}

void XBO_dBHandler::BlankBuffer() {
  const bool modified = RecordModified();
  std::vector<unsigned char> flags = ChangeFlags();
  BlankRecord();
  ChangeFlags() = flags;
  SetRecordModified(modified);
}

void XBO_dBHandler::MarkEof() {
  // The table's own move to one past the last record sets EOF and keeps the
  // record; another program appending meanwhile only moves the end.
  for (int attempt = 0; attempt < 100; ++attempt) {
    XBO_dBaseFld::GoRecord(RecordCount() + 1);
    if (Eof()) return;
  }
}

void XBO_dBHandler::MarkBof() {
  // The table sets BOF only on a previous move from its first record.
  if (RecordNumber() > 1 && RecordCount() > 0) ReadRecord(1, false);
  XBO_dBaseFld::GoRecord(xbmoPrevious);
}

bool XBO_dBHandler::PlaceMaster() {
  XBobjIndexTag* tag = master_;
  const int32_t n = RecordNumber();
  if (!tag || n < 1 || n > RecordCount()) return false;
  return tag->GoRecord(n) == n && TagKeyInRange(*tag);
}

void XBO_dBHandler::RefreshTag(XBobjIndexTag* tag) {
  if (!tag || !Shared()) return;
  XBobjIndexFile* file = tag->IndexFile();
  if (file->LockLevel() > 0) return;
  if (file->ChangedByOtherUser())
    for (int i = 0; i < file->TagCount(); ++i) file->TagAt(i)->DiscardPages();
}

void XBO_dBHandler::EndAtTagEnd(XBobjIndexTag& tag, int32_t step) {
  const bool forward = step == xbmoNext || step == xbmoFirst || step == xbmoCurrent;
  bool eof = tag.Eof();
  bool bof = tag.Bof();
  const bool empty = eof && bof;  // nothing in the order at all
  if (eof == bof) {
    // Otherwise the end the move ran towards.
    eof = forward;
    bof = !forward;
  }
  Unplace();
  if (eof) {
    MarkEof();
  } else {
    MarkBof();
  }
  if (empty) SetEndFlags(true, true);
}

void XBO_dBHandler::GoRecord(int32_t code) {
  if (State() != TxbTableState::Normal) {
    XBO_dBaseFld::GoRecord(code);
    if (Eof() || Bof())
      Unplace();
    else
      Place(true);
    return;
  }
  // Code 0 does nothing; codes below the move codes are refused by the
  // table itself.
  if (code == 0 || code < xbmoCurrent) {
    XBO_dBaseFld::GoRecord(code);
    return;
  }
  ClipLockScope clip(*this);
  Move(code);
}

namespace {

// The step that repeats a move until a record passes: First and Current go
// on forwards, Last backwards, Next and Previous repeat themselves; a move
// to a record number is not repeated (0).
int32_t RepeatedStep(int32_t code) {
  switch (code) {
    case xbmoCurrent:
    case xbmoFirst: return xbmoNext;
    case xbmoLast: return xbmoPrevious;
    case xbmoNext:
    case xbmoPrevious: return code;
    default: return 0;
  }
}

}  // namespace

void XBO_dBHandler::Move(int32_t code) {
  const int32_t repeat = RepeatedStep(code);
  const bool useSet = FilterActive() && !rebuildingSet_;
  XBobjIndexTag* tag = master_;
  if (tag) {
    // A move to a record number places the tag through its cached pages as
    // well: after another program's node splits they would miss the key.
    RefreshTag(tag);
    if (code < 0) readAheadOn_ = false;
  }
  Unplace();
  int32_t fromTag = 0;
  for (int32_t step = code;; step = repeat) {
    if (!MoveStep(tag, step, repeat, useSet, fromTag)) return;
    if (Eof() || Bof()) return;
    if (repeat == 0 || RecordAccepted()) break;
  }
  bool inOrder = !(tag && RecordNumber() != fromTag) || PlaceMaster();
  if (useSet && inOrder) inOrder = filterSet_->Test(RecordNumber());
  Place(inOrder);
}

bool XBO_dBHandler::MoveStep(XBobjIndexTag* tag, int32_t step, int32_t repeat, bool useSet, int32_t& fromTag) {
  fromTag = 0;
  if (step == xbmoCurrent) {
    fromTag = MoveStepCurrent(tag);
  } else if (step > 0) {
    ReadPhysical(step);
  } else if (step < 0 && tag) {
    return MoveStepInTag(*tag, step, repeat, useSet, fromTag);
  } else if (step < 0 && useSet) {
    return MoveStepInFilterSet(step);
  } else {
    XBO_dBaseFld::GoRecord(step);
  }
  return true;
}

int32_t XBO_dBHandler::MoveStepCurrent(XBobjIndexTag* tag) {
  ReReadCurrent();
  return tag && !Eof() && !Bof() && PlaceMaster() ? RecordNumber() : 0;
}

bool XBO_dBHandler::MoveStepInTag(XBobjIndexTag& tag, int32_t step, int32_t repeat, bool useSet,
                                  int32_t& fromTag) {
  int32_t r = tag.MoveTo(step);
  while (r != 0 && useSet && !filterSet_->Test(r)) r = tag.MoveTo(repeat);
  if (r == 0) {
    EndAtTagEnd(tag, step);
    if (useSet && NothingPassesFilter()) SetEndFlags(true, true);
    return false;
  }
  fromTag = r;
  ReadPhysical(r);
  return true;
}

bool XBO_dBHandler::MoveStepInFilterSet(int32_t step) {
  const int32_t r = ScanFilterSet(step);
  if (r == 0) {
    Unplace();
    if (step == xbmoLast || step == xbmoPrevious) {
      MarkBof();
    } else {
      MarkEof();
    }
    if (NothingPassesFilter()) SetEndFlags(true, true);
    return false;
  }
  ReadPhysical(r);
  return true;
}

int32_t XBO_dBHandler::ScanFilterSet(int32_t code) {
  const TxbHugeSet& set = *filterSet_;
  const int64_t highest = set.Highest();
  int64_t from = 0;
  int direction = 1;
  switch (code) {
    case xbmoLast:
      from = highest;
      direction = -1;
      break;
    case xbmoFirst: from = 1; break;
    case xbmoPrevious:
      from = int64_t{RecordNumber()} - 1;
      direction = -1;
      break;
    default: from = int64_t{RecordNumber()} + 1; break;
  }
  for (int64_t n = from; n >= 1 && n <= highest; n += direction)
    if (set.Test(n)) return static_cast<int32_t>(n);
  return 0;
}

void XBO_dBHandler::SkipRecords(int32_t n) {
  if (n == 0) {
    GoRecord(xbmoCurrent);
    return;
  }
  const int32_t code = n > 0 ? xbmoNext : xbmoPrevious;
  const int64_t count = n > 0 ? int64_t{n} : -int64_t{n};
  if (filterEnabled_ || !ShowDeleted()) {
    for (int64_t i = 0; i < count; ++i) {
      GoRecord(code);
      if (Eof() || Bof()) return;
    }
    return;
  }
  ClipLockScope clip(*this);
  bool hitEnd = false;
  int32_t target = 0;
  if (master_) {
    readAheadOn_ = false;
    RefreshTag(master_);
    for (int64_t i = 0; i < count; ++i) {
      const int32_t r = master_->MoveTo(code);
      if (r == 0) {
        hitEnd = true;
        break;
      }
      target = r;
    }
    if (hitEnd) target = master_->MoveTo(n > 0 ? xbmoLast : xbmoFirst);
    if (target == 0) {
      EndAtTagEnd(*master_, code);
      return;
    }
  } else {
    if (RecordCount() == 0) RereadHeader();
    if (RecordCount() == 0) {
      XBO_dBaseFld::GoRecord(code);
      Unplace();
      return;
    }
    int64_t t = int64_t{RecordNumber()} + n;
    if (t > RecordCount()) {
      t = RecordCount();
      hitEnd = true;
    } else if (t < 1) {
      t = 1;
      hitEnd = true;
    }
    target = static_cast<int32_t>(t);
  }
  ReadPhysical(target);
  if (hitEnd) {
    Unplace();
    if (n > 0) {
      MarkEof();
    } else {
      MarkBof();
    }
    return;
  }
  if (Eof() || Bof())
    Unplace();
  else
    Place(true);
}

// ---------------------------------------------------------------------------
// Tag selection and ranges

void XBO_dBHandler::ReleaseMaster() {
  if (!master_) return;
  if (master_->HasRange()) master_->SetRange(nullptr, true, false, true, nullptr);
  master_->ResetPages();
}

int XBO_dBHandler::SelectTag(const AnsiString& name, bool keepPosition) {
  const AnsiString wanted = UpperCase(Trim(name));
  if (wanted.empty()) {
    ReleaseMaster();
    master_ = nullptr;
    masterName_.clear();
    readAheadOn_ = true;
    if (OutOfOrder()) Place(true);
    if (!keepPosition) GoRecord(xbmoFirst);
    return 0;
  }
  XBobjIndexTag* tag = nullptr;
  int slot = 0;
  if (wanted.size() <= static_cast<std::size_t>(kMaxTagNameLength)) {
    for (std::size_t i = 0; i < slots_.size() && !tag; ++i) {
      if (!slots_[i]) continue;
      tag = slots_[i]->FindTag(wanted);
      slot = static_cast<int>(i) + 1;
    }
  }
  if (!tag) XbRaise(xbmCannotFindTag, name);
  ReleaseMaster();
  readAheadOn_ = false;
  master_ = tag;
  masterName_ = UpperCase(tag->TagName());
  if (OutOfOrder()) Place(true);
  RefreshTag(tag);
  const int32_t current = RecordNumber();
  if (keepPosition && current >= 1 && current <= RecordCount()) {
    GoRecord(current);
    if (OutOfOrder()) GoRecord(xbmoFirst);
  } else {
    GoRecord(xbmoFirst);
  }
  return slot;
}

XBobjIndexKeyData XBO_dBHandler::KeyFromText(const XBobjIndexTag& tag, const AnsiString& text) {
  XBobjIndexKeyData key;
  if (tag.KeyType() == 'N') {
    double value = 0;
    if (ParseNumber(text, value)) {
      key.SetNumber(value);
    } else {
      key.SetText(text);  // the tag's conversion reports what it cannot read
    }
  } else if (tag.KeyType() == 'D') {
    const AnsiString t = Trim(text);
    double value = 0;
    if (t.size() == 8 && AllDigits(t)) {
      key.SetDate(DbfDate().TextToJulian(t));
    } else if (ParseNumber(t, value)) {
      key.SetNumber(value);
    } else {
      key.SetDate(DbfDate().TextToJulian(t));
    }
  } else {
    key.SetText(text);
  }
  return key;
}

bool XBO_dBHandler::SetTagRange(const AnsiString& low, const AnsiString& high, bool prefixHigh, bool includeLow,
                                bool includeHigh) {
  if (!master_) return false;
  const AnsiString lowText = TrimRight(low);
  const AnsiString highText = TrimRight(high);
  XBobjIndexKeyData lowKey;
  XBobjIndexKeyData highKey;
  if (!lowText.empty()) lowKey = KeyFromText(*master_, lowText);
  if (!highText.empty()) highKey = KeyFromText(*master_, highText);
  RefreshTag(master_);
  const bool changed = master_->SetRange(lowText.empty() ? nullptr : &lowKey, includeLow, prefixHigh, includeHigh,
                                         highText.empty() ? nullptr : &highKey);
  if (!changed) return false;
  GoRecord(xbmoFirst);
  if (master_->Bof() || Bof()) BlankBuffer();
  return true;
}

// ---------------------------------------------------------------------------
// Seeks

bool XBO_dBHandler::SeekKey(const AnsiString& keyText) {
  if (!master_) return SeekValue(XBobjIndexKeyData(), false);
  return SeekValue(KeyFromText(*master_, keyText), false);
}

bool XBO_dBHandler::SeekLastKey(const AnsiString& keyText) {
  if (!master_) return SeekValue(XBobjIndexKeyData(), true);
  return SeekValue(KeyFromText(*master_, keyText), true);
}

void XBO_dBHandler::LastAtEof() {
  // The last record of the current order: the dataset shows it when a seek
  // found nothing.
  int32_t last = 0;
  if (master_) last = master_->MoveTo(xbmoLast);
  ReadPhysical(last > 0 ? last : RecordCount());
  MarkEof();
  Unplace();
}

bool XBO_dBHandler::KeyMatches(XBobjIndexTag& tag, const XBobjIndexKeyData& sought) {
  XBobjIndexKeyData recordKey;
  if (!tag.EvaluateKey(recordKey)) return false;
  XBobjIndexKeyData recordStored;
  recordStored.AssignEntry(recordKey);
  tag.KeyToStoredForm(recordStored, true);
  XBobjIndexKeyData soughtStored;
  soughtStored.AssignEntry(sought);
  tag.KeyToStoredForm(soughtStored, true);
  if (recordStored.Compare(&soughtStored, nullptr, CollationWeights, kIndexCompareExact) == 0) return true;
  if (ExactMatch()) return false;
  // Exact flag off: the sought key as given - its blanks included, so that
  // "NOVA      " (a whole field) does not match "NOVAK" - begins the key.
  XBobjIndexKeyData recordFull;
  recordFull.AssignEntry(recordKey);
  tag.KeyToStoredForm(recordFull, false);
  XBobjIndexKeyData soughtFull;
  soughtFull.AssignEntry(sought);
  tag.KeyToStoredForm(soughtFull, false);
  return soughtFull.Compare(&recordFull, nullptr, CollationWeights, kIndexComparePrefix) == 0;
}

bool XBO_dBHandler::SeekValue(const XBobjIndexKeyData& key, bool last) {
  found_ = false;
  if (RecordCount() == 0) RereadHeader();
  if (RecordCount() == 0) return false;
  ClipLockScope clip(*this);
  XBobjIndexTag* tag = master_;
  if (!tag) {
    LastAtEof();
    return false;
  }
  readAheadOn_ = false;
  RefreshTag(tag);
  const int32_t r = last ? tag->FindLastKey(key) : tag->FindKey(key);
  int32_t target = r;
  if (r == 0) {
    const XBobjIndexKeyData& nearest = tag->CurrentKey();
    if (tag->Eof() || !near_ || nearest.RecordNumber <= 0) {
      LastAtEof();
      return false;
    }
    target = nearest.RecordNumber;
    // A key below the range is no neighbour: the range's first key is.
    if (!TagKeyInRange(*tag)) {
      target = tag->MoveTo(xbmoNext);
      if (target == 0) {
        LastAtEof();
        return false;
      }
    }
  }
  // The record is read only when something looks at it: its deletion flag
  // (deleted records hidden), AcceptRecord, a key that must be compared, or
  // the caller's fields. An exact seek that only asks whether a key exists
  // reads no record at all.
  ReadPhysical(target, true);
  if (Eof() || Bof()) {
    LastAtEof();
    return false;
  }
  Place(PlaceMaster());
  // Hidden records are passed over in the order of the tag.
  while (!Eof() && !Bof() && !RecordVisible()) SkipRecords(1);
  if (Eof() || Bof()) {
    Unplace();
    if (!near_) LastAtEof();
    return false;
  }
  // An exact seek that landed on the record it found needs no second look:
  // the tag compared the whole key already. Otherwise the record's own key
  // decides (a neighbour, or a sought key that only begins the entry).
  if (r != 0) found_ = (ExactMatch() && RecordNumber() == r) || KeyMatches(*tag, key);
  if (!found_ && !near_) LastAtEof();
  return found_;
}

int32_t XBO_dBHandler::KeyLookup(const AnsiString& tagName, const AnsiString& keyText) {
  XBobjIndexTag* tag = nullptr;
  const AnsiString wanted = Trim(tagName);
  for (auto& slot : slots_) {
    if (slot && (tag = slot->FindTag(wanted)) != nullptr) break;
  }
  if (!tag) return -1;
  ClipLockScope clip(*this);
  RefreshTag(tag);
  const bool exact = ExactMatch();
  SetExactMatch(true);
  int32_t record = 0;
  try {
    record = tag->LookupKey(KeyFromText(*tag, keyText));
  } catch (...) {
    SetExactMatch(exact);
    throw;
  }
  SetExactMatch(exact);
  return record;
}

// ---------------------------------------------------------------------------
// What the index files need from the table

void XBO_dBHandler::Redirect(char* buffer) {
  if (buffer) {
    char* previous = SetRecordBuffer(buffer);
    if (!redirected_) previousBuffer_ = previous;
    redirected_ = true;
  } else if (redirected_) {
    SetRecordBuffer(previousBuffer_);
    redirected_ = false;
  }
}

int32_t XBO_dBHandler::IndexRecordCount() { return RecordCount(); }
int32_t XBO_dBHandler::IndexCurrentRecord() { return RecordNumber(); }
bool XBO_dBHandler::IndexExactMatch() { return ExactMatch(); }
bool XBO_dBHandler::IndexKeepsSavedRecord() { return true; }
bool XBO_dBHandler::IndexRecordModified() { return RecordModified(); }

void XBO_dBHandler::IndexUseSavedRecord(bool saved) {
  if (!saved) {
    Redirect(nullptr);
    return;
  }
  const std::size_t length = static_cast<std::size_t>(RecordLength());
  image_.assign(SavedRecord(), SavedRecord() + length);
  image_.push_back('\x1A');
  Redirect(image_.data());
}

void XBO_dBHandler::IndexLoadRecord(int32_t n) {
  if (n <= 0) {
    Redirect(nullptr);
    return;
  }
  const int32_t length = RecordLength();
  image_.resize(static_cast<std::size_t>(length) + 1);
  const int64_t position = HeaderLength() + int64_t{n - 1} * length;
  if (ReadAt(position, image_.data(), length) != length) XbRaise(xbmRecordReadError, FileName());
  ScrambleBytes(ReadPassword(), image_.data(), image_.data(), static_cast<std::size_t>(length), false);
  image_[static_cast<std::size_t>(length)] = '\x1A';
  Redirect(image_.data());
}

AnsiString XBO_dBHandler::IndexReadPassword() { return ReadPassword(); }
AnsiString XBO_dBHandler::IndexWritePassword() { return WritePassword(); }
AnsiString XBO_dBHandler::IndexTableFileName() { return FileName(); }
TxbExpUserLink* XBO_dBHandler::IndexExpressionLink() { return ExpressionLink(); }

void XBO_dBHandler::IndexStatusReport(int status, int current, int total) { StatusReport(status, current, total); }

void XBO_dBHandler::IndexSetProductionFlag() {
  productionIndex_ = true;
  SetProductionIndexFlag();
}

AnsiString XBO_dBHandler::IndexTranslateName(const AnsiString& name) {
  return TranslateOem() ? AnsiToOem(name) : name;
}
