// TXbaseDataSet: opening and closing, field definitions, fetching into the
// dataset's buffers, field values, bookmarks, the edit protocol with its
// record lock, record numbers and counts, then the index operations, seeks,
// ranges, filters, master/detail, Locate and Lookup.
#include "dbase/dataset/xbase_dataset.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <utility>

#include "dbase/dataset/xbase_aliases.h"
#include "dbase/dataset/xbase_blob_stream.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

constexpr int kInfoSize = 8;
constexpr int kBookmarkSize = 11;
constexpr int kFlagByte = 5;


// Whether the type letter keeps its number as text (not in machine form).
bool IsTextNumber(uint8_t version, char type) {
  return !(version == 0x30 && (type == 'B' || type == 'G' || type == 'I' || type == 'M' ||
                               type == 'T' || type == 'Y'));
}

// Digits with an optional sign, read without a detour through double.
bool ExactInteger(const AnsiString& text, int64_t& value) {
  std::size_t i = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size() || text.size() - i > 19) return false;
  for (std::size_t j = i; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return false;
  return TryStrToInt64(text, value);
}

// The length of a stored text without its trailing blanks and zero bytes.
// Character fields are mostly padding, and a walk reads every one of every
// record: the padding is passed eight bytes at a time (a byte is a blank
// or a zero exactly when it has no bit but 0x20).
std::size_t StoredTextLength(const char* text, std::size_t count) {
  constexpr uint64_t kOtherBits = ~0x2020202020202020ull;
  while (count >= 8) {
    uint64_t word;
    std::memcpy(&word, text + count - 8, 8);
    if ((word & kOtherBits) != 0) break;
    count -= 8;
  }
  while (count > 0 && (text[count - 1] == ' ' || text[count - 1] == '\0')) --count;
  return count;
}

AnsiString TrimmedRaw(const AnsiString& raw) {
  std::size_t b = 0;
  std::size_t e = raw.size();
  while (b < e && (raw[b] == ' ' || raw[b] == '\0')) ++b;
  while (e > b && (raw[e - 1] == ' ' || raw[e - 1] == '\0')) --e;
  return raw.substr(b, e - b);
}

}  // namespace

// ---------------------------------------------------------------- life

TXbaseDataSet::TXbaseDataSet(TComponent* owner) : TDataSet(owner) {
  SetBookmarkSize(kBookmarkSize);
  masterLink_.OnMasterChange = [this](TObject*) { MasterChanged(); };
  masterLink_.OnMasterDisable = [this](TObject*) { MasterDisabled(); };
}

TXbaseDataSet::~TXbaseDataSet() {
  Destroying();
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; closing the files below still happens.
  }
  table_.reset();
  masterLink_.SetDataSource(nullptr);
}

void TXbaseDataSet::CheckActive() const {
  TDataSet::CheckActive();
  if (busy_ == Busy::BuildingIndex) DatabaseError(XbMessage(xbmBusyBuildingIndex));
  if (busy_ == Busy::Copying) DatabaseError(XbMessage(xbmBusyCopying));
}

// ---------------------------------------------------------- properties

void TXbaseDataSet::SetDatabaseName(const AnsiString& name) {
  CheckInactive();
  AnsiString value = name;
  if (!SameText(value, kDefaultDirectoryAlias)) {
    if (value.size() > 1 && (value.back() == '\\' || value.back() == '/')) value.pop_back();
    AddXbaseAlias(value);
  }
  databaseName_ = value;
}

void TXbaseDataSet::SetTableName(const AnsiString& name) {
  CheckInactive();
  if (name != tableName_ && !IsLoading()) indexFiles_.Clear();
  tableName_ = name;
}

void TXbaseDataSet::SetEncryptionKey(const AnsiString& key) {
  CheckInactive();
  encryptionKey_ = key;
}

bool TXbaseDataSet::ReadOnly() const { return readOnly_ || (table_ && !table_->ReadWrite()); }

void TXbaseDataSet::SetReadOnly(bool on) { readOnly_ = on; }

void TXbaseDataSet::SetAutoFlush(bool on) {
  autoFlush_ = on;
  if (table_) table_->SetAutoFlush(on);
}

void TXbaseDataSet::SetUseDeleted(bool on) {
  useDeleted_ = on;
  if (table_) table_->SetShowDeleted(on);
}

void TXbaseDataSet::SetTranslateASCII(bool on) {
  translateAscii_ = on;
  if (table_) table_->SetTranslateOem(on);
}

void TXbaseDataSet::SetLockProtocol(TxbLokProtocol protocol) {
  lockProtocol_ = protocol;
  if (table_) table_->SetLockProtocol(protocol);
}

void TXbaseDataSet::SetUserID(int32_t id) {
  userId_ = id;
  if (table_) table_->SetUserId(id);
}

bool TXbaseDataSet::GetCanModify() const { return !readOnly_ && (!table_ || table_->ReadWrite()); }

// ------------------------------------------------------------- opening

AnsiString TXbaseDataSet::DatabaseDirectory() const {
  if (databaseName_.empty()) return AnsiString();
  AnsiString path;
  if (SameText(databaseName_, kDefaultDirectoryAlias)) {
    path = ProgramDirectory();
  } else {
    path = XbaseAliasPath(databaseName_);
    if (path.empty()) path = databaseName_;
  }
  // Windows-form paths keep their separator; others use the platform's.
  if (!path.empty() && path.back() != '\\' && path.back() != '/')
    path += path.find('\\') != AnsiString::npos ? '\\' : PathDelim;
  return path;
}

AnsiString TXbaseDataSet::FullTableName() const {
  AnsiString name = tableName_;
  if (ExtractFileExt(name).empty()) name += ".DBF";
  if (IsFullFileName(name)) return name;
  return DatabaseDirectory() + name;
}

void TXbaseDataSet::InternalOpen() {
  if (Trim(tableName_).empty()) DatabaseError(XbMessage(xbmMissingTableName));
  if (ExtractFileExt(tableName_).empty()) tableName_ += ".DBF";
  const AnsiString full = FullTableName();
  if (!FileExists(full)) DatabaseError(XbFormat(xbmCannotFindFile, full));

  table_ = std::make_unique<DBFObject>(full, !exclusive_, !readOnly_, encryptionKey_);
  table_->SetTranslateOem(translateAscii_);
  table_->SetAutoFlush(autoFlush_);
  table_->SetShowDeleted(useDeleted_);
  table_->SetReadAhead(false);
  table_->SetLockProtocol(lockProtocol_);
  table_->SetUserId(userId_);
  table_->OnAcceptRecord = [this] { return AcceptHook(); };
  table_->OnStatusReport = [this](int status, int current, int total) {
    if (OnStatus) OnStatus(this, status, current, total);
  };
  recordLength_ = table_->RecordLength();
  editing_ = false;

  if (Filtered()) ApplyFilter();
  atFirst_ = true;
  atLast_ = false;
  if (skipIndexSetup_) return;
  OpenListedIndexFiles(false);
  UpdateIndexDefs();
  if (!indexName_.empty()) table_->SelectTag(indexName_, false);
  ApplyMasterRange();
}

void TXbaseDataSet::InternalClose() {
  fieldsBound_ = false;
  editing_ = false;
  atFirst_ = atLast_ = false;
  filterRecord_ = nullptr;
  lookupRecord_ = nullptr;
  keyBuffer_.clear();
  // The table's pending pages and header are written here, where a failure
  // can still be reported; the handler's destructor only releases.
  std::unique_ptr<DBFObject> table = std::move(table_);
  if (table) table->Close();
}

void TXbaseDataSet::InternalInitFieldDefs() {
  if (table_) {
    FillFieldDefs(*table_);
    return;
  }
  if (Trim(tableName_).empty()) DatabaseError(XbMessage(xbmMissingTableName));
  const AnsiString full = FullTableName();
  if (!FileExists(full)) DatabaseError(XbFormat(xbmCannotFindFile, full));
  XBO_dBaseFld table(full, true, false, encryptionKey_);
  FillFieldDefs(table);
}

TFieldType TXbaseDataSet::MapFieldType(const XBO_dBaseFld& table, int n, int& size) const {
  size = 0;
  const int32_t length = table.FieldLength(n);
  switch (table.FieldType(n)) {
    case 'C':
      size = length;
      return ftString;
    case 'N':
    case 'F':
      if (table.FieldDecimals(n) > 0) return ftFloat;
      if (length < 5) return ftSmallint;
      if (length < 10) return ftInteger;
      switch (largeIntegerAs_) {
        case TxbIntFields::asLargeInt: return ftLargeint;
        case TxbIntFields::asFloat: return ftFloat;
        default: return ftInteger;
      }
    case 'I': return ftInteger;
    case 'L': return ftBoolean;
    case 'D': return ftDate;
    case 'T': return ftDateTime;
    case 'Y': return ftCurrency;
    case 'M': return ftMemo;
    // Visual FoxPro keeps a double in B, not a memo block number.
    case 'B': return table.Version() == 0x30 ? ftFloat : ftBlob;
    case 'G': return ftBlob;
    default: return ftUnknown;
  }
}

void TXbaseDataSet::FillFieldDefs(XBO_dBaseFld& table) {
  FieldDefs().Clear();
  for (int n = 1; n <= table.FieldCount(); ++n) {
    int size = 0;
    const TFieldType type = MapFieldType(table, n, size);
    if (type == ftUnknown) continue;
    // A damaged header may repeat a name or leave it empty; such columns
    // cannot be addressed by name and get no field.
    const AnsiString name = Trim(table.FieldName(n));
    if (name.empty() || FieldDefs().IndexOf(name) >= 0) continue;
    TFieldDef* def = FieldDefs().Add(name, type, size, false);
    def->SetFieldNo(n);
  }
}

void TXbaseDataSet::InternalFieldsBound() {
  calcOffset_ = recordLength_ + 1;
  infoOffset_ = calcOffset_ + CalcFieldsSize();
  bufferSize_ = infoOffset_ + kInfoSize + kBookmarkSize;
  keyBuffer_.assign(static_cast<std::size_t>(bufferSize_), '\0');
  fieldsBound_ = true;
}

TRecordBuffer TXbaseDataSet::AllocRecordBuffer() {
  const std::size_t size = static_cast<std::size_t>(std::max(bufferSize_, 1));
  auto* buffer = new char[size];
  std::memset(buffer, 0, size);
  return buffer;
}

void TXbaseDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

// ------------------------------------------------------------ fetching

int32_t TXbaseDataSet::RecordNumberOf(TRecordBuffer buffer) const {
  return LoadBufferValue<int32_t>(InfoArea(buffer));
}

void TXbaseDataSet::StampRecord(TRecordBuffer buffer, int32_t recordNumber) {
  char* info = InfoArea(buffer);
  std::memset(info, 0, kInfoSize);
  StoreBufferValue(info, recordNumber);
  info[kFlagByte] = static_cast<char>(bfCurrent);
  // Right-aligned digits, blank-padded (a record number has at most 10).
  char* mark = BookmarkArea(buffer);
  std::memset(mark, ' ', kBookmarkSize - 1);
  mark[kBookmarkSize - 1] = '\0';
  uint32_t value = recordNumber > 0 ? static_cast<uint32_t>(recordNumber) : 0;
  int at = kBookmarkSize - 2;
  do {
    mark[at--] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && at >= 0);
}

int32_t TXbaseDataSet::BookmarkRecord(const void* bookmark) {
  const char* p = static_cast<const char*>(bookmark);
  int64_t value = 0;
  bool digits = false;
  for (int i = 0; i < kBookmarkSize - 1; ++i) {
    const char c = p[i];
    if (c == ' ' && !digits) continue;
    if (c < '0' || c > '9') return 0;
    digits = true;
    value = value * 10 + (c - '0');
  }
  if (!digits || value > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(value);
}

TGetResult TXbaseDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) {
  TGetResult result = grOK;
  try {
    TxbRecordBufferRedirect redirect(*table_, buffer);
    switch (mode) {
      case gmCurrent:
        if (atFirst_) {
          result = grBOF;
        } else if (atLast_) {
          result = grEOF;
        } else if (table_->RecordNumber() < 1) {
          // No record to re-read: the cursor has not stood on one yet.
          result = grError;
        } else {
          table_->GoRecord(xbmoCurrent);
        }
        break;
      case gmNext:
        if (atFirst_) {
          atFirst_ = false;
          table_->GoRecord(xbmoFirst);
        } else if (atLast_) {
          result = grEOF;
        } else {
          table_->GoRecord(xbmoNext);
        }
        break;
      case gmPrior:
        if (atFirst_) {
          result = grBOF;
        } else if (!atLast_) {
          table_->GoRecord(xbmoPrevious);
        } else {
          atLast_ = false;
          table_->GoRecord(xbmoLast);
        }
        break;
    }
    if (result == grOK) {
      if (table_->Eof()) {
        result = grEOF;
      } else if (table_->Bof()) {
        result = grBOF;
      } else {
        StampRecord(buffer, table_->RecordNumber());
        CalculateFields(buffer);
      }
    }
  } catch (const EXbaseError&) {
    // The engine's own message says more than a generic one.
    if (check) throw;
    result = grError;
  }
  if (result == grError && check) DatabaseError(XbMessage(xbmRecordBeyondRange));
  return result;
}

void TXbaseDataSet::InternalFirst() {
  atFirst_ = true;
  atLast_ = false;
}

void TXbaseDataSet::InternalLast() {
  atFirst_ = false;
  atLast_ = true;
}

bool TXbaseDataSet::ReadPhysical(int32_t n) {
  table_->GoRecord(n);
  return !table_->Eof() && !table_->Bof() && table_->RecordNumber() == n;
}

void TXbaseDataSet::InternalGotoBookmark(const void* bookmark) {
  const int32_t n = BookmarkRecord(bookmark);
  atFirst_ = atLast_ = false;
  bool read = false;
  if (n >= 1) {
    try {
      read = ReadPhysical(n);
    } catch (const EXbaseError&) {
      read = false;
    }
  }
  if (!read) DatabaseError(XbMessage(xbmBookmarkInvalid) + tableName_);
}

void TXbaseDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  // An inserted buffer carries the bookmark of the record it stands before.
  InternalGotoBookmark(BookmarkArea(buffer));
}

void TXbaseDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) const {
  std::memcpy(data, BookmarkArea(buffer), kBookmarkSize);
}

void TXbaseDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(BookmarkArea(buffer), data, kBookmarkSize);
}

TBookmarkFlag TXbaseDataSet::GetBookmarkFlag(TRecordBuffer buffer) const {
  return static_cast<TBookmarkFlag>(InfoArea(buffer)[kFlagByte]);
}

void TXbaseDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  InfoArea(buffer)[kFlagByte] = static_cast<char>(flag);
}

bool TXbaseDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (!table_ || bookmark.size() != static_cast<std::size_t>(kBookmarkSize)) return false;
  const int32_t n = BookmarkRecord(bookmark.data());
  return n >= 1 && n <= table_->RecordCount();
}

int TXbaseDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return TDataSet::CompareBookmarks(a, b);
  // The right-aligned texts order as their numbers do; comparing the
  // numbers keeps that order whatever a collation does with blanks.
  const int32_t na = a.size() == kBookmarkSize ? BookmarkRecord(a.data()) : 0;
  const int32_t nb = b.size() == kBookmarkSize ? BookmarkRecord(b.data()) : 0;
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

// ------------------------------------------------------- record numbers

void TXbaseDataSet::RestoreEngineRecord(int32_t n) {
  if (n >= 1 && n <= table_->RecordCount()) ReadPhysical(n);
}

int TXbaseDataSet::GetRecordCount() const {
  CheckActive();
  if (!exactCount_) return table_->RecordCount();
  auto* self = const_cast<TXbaseDataSet*>(this);
  DBFObject& table = *self->table_;
  const int32_t former = table.RecordNumber();
  int count = 0;
  try {
    table.GoRecord(xbmoFirst);
    while (!table.Eof() && !table.Bof()) {
      ++count;
      table.GoRecord(xbmoNext);
    }
  } catch (...) {
    self->RestoreEngineRecord(former);
    throw;
  }
  self->RestoreEngineRecord(former);
  return count;
}

int TXbaseDataSet::GetRecNo() const {
  if (!Active() || BufferedRecordCount() == 0) return -1;
  TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  if (!buffer || GetBookmarkFlag(buffer) != bfCurrent) return -1;
  return RecordNumberOf(buffer);
}

bool TXbaseDataSet::EngineRecordVisible() {
  if (table_->OutOfOrder()) return false;
  if (!table_->ShowDeleted() && table_->IsDeleted()) return false;
  return AcceptHook();
}

void TXbaseDataSet::SetRecNo(int recNo) {
  TDataSet::SetRecNo(recNo);
  if (recNo < 1 || recNo > table_->RecordCount() || recNo == GetRecNo()) return;
  DoBeforeScroll();
  atFirst_ = atLast_ = false;
  bool shown = ReadPhysical(recNo) && EngineRecordVisible();
  if (!shown && !table_->Eof()) {
    // A record the order would skip is never made current: the next one
    // the order shows takes its place, at the end the one before it.
    table_->GoRecord(xbmoNext);
    if (table_->Eof() || table_->Bof()) table_->GoRecord(xbmoPrevious);
    shown = !table_->Eof() && !table_->Bof();
  }
  if (shown) {
    Resync({rmExact, rmCenter});
  } else {
    atLast_ = true;
    Resync({});
  }
  DoAfterScroll();
}

bool TXbaseDataSet::IsSequenced() const {
  const bool tag = table_ ? table_->MasterTag() != nullptr : !indexName_.empty();
  return !tag && !Filtered();
}

// --------------------------------------------------------- field values

TRecordBuffer TXbaseDataSet::GetActiveRecordBuffer() const {
  switch (State()) {
    case dsFilter: return filterRecord_;
    case dsSetKey: return keyBuffer_.empty() ? nullptr : const_cast<char*>(keyBuffer_.data());
    case dsCalcFields:
      if (lookupRecord_) return lookupRecord_;
      break;
    default: break;
  }
  return TDataSet::GetActiveRecordBuffer();
}

void TXbaseDataSet::ClearCalcFields(TRecordBuffer buffer) {
  if (CalcFieldsSize() > 0) std::memset(buffer + calcOffset_, 0, static_cast<std::size_t>(CalcFieldsSize()));
}

bool TXbaseDataSet::GetFieldData(TField* field, void* buffer) {
  TRecordBuffer record = GetActiveRecordBuffer();
  if (!record || !table_) return false;
  if (field->FieldKind() != fkData) {
    // The engine's record under a filter test has no calculated area.
    if (State() == dsFilter) return false;
    return GetCalcFieldValue(record + calcOffset_, field, buffer);
  }
  const int n = field->FieldNo();
  if (n < 1 || n > table_->FieldCount()) return false;
  TxbRecordBufferRedirect redirect(*table_, record);
  return ReadField(field, n, buffer);
}

bool TXbaseDataSet::ReadField(TField* field, int n, void* buffer) {
  const TFieldType type = field->DataType();
  if (type == ftString || type == ftFixedChar) {
    // The stored (OEM) text without its trailing blanks, straight from the
    // record: the string field translates it once.
    const char* text = table_->Record() + table_->FieldOffset(n);
    const std::size_t count =
        StoredTextLength(text, static_cast<std::size_t>(std::min(table_->FieldLength(n), field->Size())));
    if (count == 0) return false;
    if (buffer) {
      std::memcpy(buffer, text, count);
      static_cast<char*>(buffer)[count] = '\0';
    }
    return true;
  }
  if (IsIntegerType(type)) {
    int64_t value = 0;
    const bool textNumber = IsTextNumber(table_->Version(), table_->FieldType(n));
    if (!(type == ftLargeint && textNumber && ExactInteger(TrimmedRaw(table_->GetRawN(n)), value))) {
      const double number = std::nearbyint(table_->GetNumberN(n));
      int64_t lo = std::numeric_limits<int32_t>::min();
      int64_t hi = std::numeric_limits<int32_t>::max();
      if (type == ftSmallint) {
        lo = std::numeric_limits<int16_t>::min();
        hi = std::numeric_limits<int16_t>::max();
      } else if (type == ftWord) {
        lo = 0;
        hi = std::numeric_limits<uint16_t>::max();
      } else if (type == ftLargeint) {
        lo = std::numeric_limits<int64_t>::min();
        hi = std::numeric_limits<int64_t>::max();
      }
      // A stored value the field's integer cannot hold is an error, never a
      // wrapped number. (2^63 is the first double beyond any int64.)
      const bool fits = std::isfinite(number) && number >= static_cast<double>(lo) &&
                        number <= static_cast<double>(hi) && number < 9223372036854775808.0;
      if (!fits)
        DatabaseError(XbFormat(xbmNumericTooBig,
                               table_->FieldName(n) + " - " +
                                   (textNumber ? TrimmedRaw(table_->GetRawN(n)) : FloatToStr(number))));
      value = static_cast<int64_t>(number);
    }
    if (buffer) {
      switch (type) {
        case ftSmallint: StoreBufferValue(buffer, static_cast<int16_t>(value)); break;
        case ftWord: StoreBufferValue(buffer, static_cast<uint16_t>(value)); break;
        case ftLargeint: StoreBufferValue(buffer, value); break;
        default: StoreBufferValue(buffer, static_cast<int32_t>(value)); break;
      }
    }
    return true;
  }
  switch (type) {
    case ftBoolean:
      if (buffer) StoreBufferValue(buffer, static_cast<int16_t>(table_->GetLogicalN(n) ? 1 : 0));
      return true;
    case ftFloat:
    case ftCurrency:
      if (buffer) StoreBufferValue(buffer, table_->GetNumberN(n));
      return true;
    case ftDate: {
      // "yyyymmdd"; blanks, zeros, other lengths and impossible days are
      // no date.
      const char* raw = table_->Record() + table_->FieldOffset(n);
      std::size_t length = static_cast<std::size_t>(table_->FieldLength(n));
      while (length > 0 && raw[length - 1] == ' ') --length;
      if (length != 8 || std::memcmp(raw, "00000000", 8) == 0) return false;
      int digits[8];
      for (int i = 0; i < 8; ++i) {
        if (raw[i] < '0' || raw[i] > '9') return false;
        digits[i] = raw[i] - '0';
      }
      const int year = ((digits[0] * 10 + digits[1]) * 10 + digits[2]) * 10 + digits[3];
      const int month = digits[4] * 10 + digits[5];
      const int day = digits[6] * 10 + digits[7];
      TDateTime date = 0;
      if (!TryEncodeDate(year, month, day, date)) return false;
      if (buffer) StoreBufferValue(buffer, DateTimeToTimeStamp(date).Date);
      return true;
    }
    case ftDateTime: {
      const double ms = table_->GetNumberN(n);
      // 0 is no value; so is a stamp outside 1.1.0001 - 31.12.9999, which
      // only a damaged field can hold.
      if (!(ms >= 86400000.0 && ms < 3652060.0 * 86400000.0)) return false;
      if (buffer) StoreBufferValue(buffer, ms);
      return true;
    }
    default:
      if (IsBlobType(type)) return table_->MemoBlock(n) != 0;
      return false;
  }
}

void TXbaseDataSet::SetFieldData(TField* field, const void* buffer) {
  const TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
      state != dsFilter && state != dsNewValue && state != dsInternalCalc)
    DatabaseError(dbmsg::NotEditing);
  TRecordBuffer record = GetActiveRecordBuffer();
  if (!record || !table_) DatabaseError(dbmsg::NotEditing);
  if (state == dsSetKey && (field->FieldKind() != fkData || !IsIndexField(field)))
    DatabaseErrorFmt(dbmsg::NotIndexField, field->DisplayName());
  if (field->FieldKind() != fkData) {
    if (state == dsFilter) DatabaseError(dbmsg::NotEditing);
    SetCalcFieldValue(record + calcOffset_, field, buffer);
  } else {
    if (state == dsCalcFields) DatabaseError(dbmsg::NotEditing);
    if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
      DatabaseErrorFmt(dbmsg::FieldReadOnly, field->DisplayName());
    field->Validate(buffer);
    const int n = field->FieldNo();
    if (n < 1 || n > table_->FieldCount()) DatabaseErrorFmt(dbmsg::FieldNotFound, field->FieldName());
    TxbRecordBufferRedirect redirect(*table_, record);
    WriteField(field, n, buffer);
  }
  if (state != dsSetKey && state != dsCalcFields && state != dsFilter && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

void TXbaseDataSet::WriteField(TField* field, int n, const void* buffer) {
  const TFieldType type = field->DataType();
  switch (type) {
    case ftString:
    case ftFixedChar: {
      const char* text = static_cast<const char*>(buffer);
      const std::size_t length = text ? strnlen(text, static_cast<std::size_t>(field->Size())) : 0;
      table_->PutTextN(n, std::string_view(text ? text : "", length));
      return;
    }
    case ftSmallint: table_->PutNumberN(n, buffer ? LoadBufferValue<int16_t>(buffer) : 0); return;
    case ftWord: table_->PutNumberN(n, buffer ? LoadBufferValue<uint16_t>(buffer) : 0); return;
    case ftInteger:
    case ftAutoInc: table_->PutNumberN(n, buffer ? LoadBufferValue<int32_t>(buffer) : 0); return;
    case ftLargeint: {
      const int64_t value = buffer ? LoadBufferValue<int64_t>(buffer) : 0;
      const TxbDBFFields* f = table_->FieldDescriptor(table_->FieldName(n));
      if (f && IsTextNumber(table_->Version(), f->type) && f->decimals == 0) {
        // Exact digits: a double would round values beyond 2^53.
        const AnsiString digits = IntToStr(value);
        if (static_cast<int32_t>(digits.size()) > f->length)
          throw EXbaseError(XbFormat(xbmNumericTooBig, f->name + " - " + digits));
        table_->PutRawN(n, digits);
      } else {
        table_->PutNumberN(n, static_cast<double>(value));
      }
      return;
    }
    case ftBoolean: table_->PutLogicalN(n, buffer && LoadBufferValue<int16_t>(buffer) != 0); return;
    case ftFloat:
    case ftCurrency: table_->PutNumberN(n, buffer ? LoadBufferValue<double>(buffer) : 0.0); return;
    case ftDate: {
      AnsiString text = "        ";
      if (buffer) {
        const int32_t day = LoadBufferValue<int32_t>(buffer);
        // 1 January 0001 to 31 December 9999; anything else is no date.
        if (day >= 1 && day <= 3652059) {
          int year = 0;
          int month = 0;
          int dayOfMonth = 0;
          DecodeDate(TimeStampToDateTime({day, 0}), year, month, dayOfMonth);
          char digits[16];
          std::snprintf(digits, sizeof digits, "%04d%02d%02d", year, month, dayOfMonth);
          text = digits;
        }
      }
      table_->PutRawN(n, text);
      return;
    }
    case ftDateTime: table_->PutNumberN(n, buffer ? LoadBufferValue<double>(buffer) : 0.0); return;
    default:
      // Memos and blobs change only through their streams.
      DatabaseError(dbmsg::NotSupported);
  }
}

std::unique_ptr<TStream> TXbaseDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  if (!table_ || field->FieldNo() < 1) DatabaseError(dbmsg::NotSupported);
  return std::make_unique<THCBlobStream>(this, field, mode);
}

bool TXbaseDataSet::GetFieldText(TField* field, bool translate, AnsiString& text) {
  if (!table_ || field->FieldKind() != fkData) return false;
  const TFieldType type = field->DataType();
  if (type != ftString && type != ftFixedChar) return false;
  const int n = field->FieldNo();
  if (n < 1 || n > table_->FieldCount()) return false;
  const char* record = GetActiveRecordBuffer();
  if (!record) return false;
  // What ReadField copies (the stored bytes without trailing blanks and
  // zero bytes), then what the field keeps of it: the text up to a zero
  // byte, translated when the field transliterates.
  const char* stored = record + table_->FieldOffset(n);
  std::size_t count =
      StoredTextLength(stored, static_cast<std::size_t>(std::min(table_->FieldLength(n), field->Size())));
  if (const void* zero = std::memchr(stored, '\0', count))
    count = static_cast<std::size_t>(static_cast<const char*>(zero) - stored);
  if (translate && translateAscii_) {
    // Translated on the way in: one pass over the bytes instead of a copy
    // and a second pass.
    text.resize(count);
    OemToAnsiBytes(stored, text.data(), count);
  } else {
    text.assign(stored, count);
  }
  return true;
}

int TXbaseDataSet::Translate(const char* src, char* dst, bool toOem) {
  if (!src) {
    if (dst) *dst = '\0';
    return 0;
  }
  const std::size_t n = std::strlen(src);
  if (dst != src) std::memmove(dst, src, n + 1);
  if (translateAscii_) {
    if (toOem)
      AnsiToOemBytes(dst, dst, n);
    else
      OemToAnsiBytes(dst, dst, n);
  }
  return static_cast<int>(n);
}

// -------------------------------------------------------------- editing

void TXbaseDataSet::PositionOnActive() {
  const int32_t n = RecordNumberOf(ActiveBuffer());
  if (n >= 1 && table_->RecordNumber() != n) ReadPhysical(n);
}

void TXbaseDataSet::InternalInitRecord(TRecordBuffer buffer) {
  std::memset(buffer, 0, static_cast<std::size_t>(bufferSize_));
  TxbRecordBufferRedirect redirect(*table_, buffer);
  table_->BlankRecord();
  buffer[recordLength_] = 0x1A;
}

void TXbaseDataSet::InternalAddRecord(TRecordBuffer buffer, bool) {
  // dBase tables only grow at the end.
  TxbRecordBufferRedirect redirect(*table_, buffer);
  table_->AppendRecord();
  atFirst_ = atLast_ = false;
}

void TXbaseDataSet::InternalEdit() {
  const int32_t n = RecordNumberOf(ActiveBuffer());
  if (table_->RecordNumber() != n) ReadPhysical(n);
  // Lock first, then read: a copy read before the lock may already be older
  // than what another program posted, and this edit would overwrite it.
  if (!table_->LockCurrentRecord()) throw ERecordLocked(XbMessage(xbmRecordLocked));
  try {
    TxbRecordBufferRedirect redirect(*table_, ActiveBuffer());
    if (!ReadPhysical(n)) DatabaseError(XbMessage(xbmRecordBeyondRange));
  } catch (...) {
    try {
      table_->ReleaseLock();
    } catch (const EXbaseError&) {
      // The failure of the read is the one to report.
    }
    throw;
  }
  editing_ = true;
}

void TXbaseDataSet::InternalPost() {
  TRecordBuffer buffer = ActiveBuffer();
  if (State() == dsEdit) {
    const int32_t n = RecordNumberOf(buffer);
    PositionOnActive();
    {
      TxbRecordBufferRedirect redirect(*table_, buffer);
      // Every key is recomputed: what changed is in the buffer, whatever the
      // engine's flags say after other reads.
      table_->SetRecordModified(true);
      table_->WriteRecord(n);
    }
    if (editing_) {
      editing_ = false;
      table_->ReleaseLock();
    }
  } else {
    TxbRecordBufferRedirect redirect(*table_, buffer);
    table_->AppendRecord();
  }
  atFirst_ = atLast_ = false;
}

void TXbaseDataSet::InternalCancel() {
  if (!editing_) return;
  editing_ = false;
  table_->ReleaseLock();
}

void TXbaseDataSet::InternalDelete() {
  const int32_t n = RecordNumberOf(ActiveBuffer());
  if (table_->RecordNumber() != n) ReadPhysical(n);
  const bool shown = table_->ShowDeleted();
  table_->SetShowDeleted(true);
  bool deleted = false;
  try {
    deleted = table_->DeleteRecord();
  } catch (...) {
    table_->SetShowDeleted(shown);
    throw;
  }
  table_->SetShowDeleted(shown);
  if (!deleted) DatabaseError(XbMessage(xbmCannotDelete));
  if (editing_) {
    // The edit's lock goes with the record it was taken for.
    editing_ = false;
    table_->ReleaseLock();
  }
  atFirst_ = atLast_ = false;
  // The record again, or the next one shown when it is now hidden; past the
  // end the one before it.
  table_->GoRecord(xbmoCurrent);
  if (table_->Eof()) table_->GoRecord(xbmoPrevious);
}

void TXbaseDataSet::RecallRecord() {
  CheckBrowseMode();
  CheckCanModify();
  if (IsEmpty()) DatabaseError(dbmsg::DataSetEmpty);
  UpdateCursorPos();
  const int32_t n = RecordNumberOf(ActiveBuffer());
  if (table_->RecordNumber() != n) ReadPhysical(n);
  if (!table_->RecallRecord()) DatabaseError(XbMessage(xbmCannotRecall));
  atFirst_ = atLast_ = false;
  Resync({});
}

void TXbaseDataSet::InternalRefresh() {
  table_->RebuildFilterSet();
  if (BufferedRecordCount() > 0) {
    atFirst_ = atLast_ = false;
    RestoreEngineRecord(RecordNumberOf(ActiveBuffer()));
  }
}

// ------------------------------------------------------------ index files

namespace {

// The fields a tag's key expression names, upper-cased, in their order.
std::vector<AnsiString> KeyFieldNames(const XBobjIndexTag& tag) {
  std::vector<AnsiString> names;
  if (!tag.KeyHandler()) return names;
  const AnsiString list = tag.KeyHandler()->VariableNames(XBO_dBaseFld::kFieldSourceId);
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(';', start);
    if (end == AnsiString::npos) end = list.size();
    AnsiString name = UpperCase(Trim(std::string_view(list).substr(start, end - start)));
    // "TABLE.FIELD" names the same field.
    const std::size_t dot = name.rfind('.');
    if (dot != AnsiString::npos) name = name.substr(dot + 1);
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

// A key as the text SetTagRange reads back into the tag's key form.
AnsiString KeyText(const TxbVariant& key) {
  switch (key.Kind()) {
    case xbvDate: return DbfDate().JulianToDbfText(key.AsDate());
    // Always a "." decimal point, whatever the C library's locale.
    case xbvNumber: return FloatToStrF(key.AsNumber(), TFloatFormat::ffGeneral, 15, 0, DotDecimalSettings());
    case xbvLogical: return key.AsLogical() ? "T" : "F";
    default: return key.AsText();
  }
}

}  // namespace

AnsiString TXbaseDataSet::CompleteListedName(const AnsiString& name) const {
  AnsiString full = Trim(name);
  if (ExtractFileExt(full).empty()) full += ".ndx";
  if (ExtractFilePath(full).empty()) {
    const AnsiString dir = DatabaseDirectory();
    full = (dir.empty() ? ExtractFilePath(FullTableName()) : dir) + full;
  }
  return full;
}

void TXbaseDataSet::OpenListedIndexFiles(bool strict) {
  for (int i = 0; i < indexFiles_.Count(); ++i) {
    if (Trim(indexFiles_[i]).empty()) continue;
    const AnsiString full = CompleteListedName(indexFiles_[i]);
    if (!FileExists(full)) DatabaseError(XbFormat(xbmCannotFindFile, full));
    if (!strict) {
      table_->OpenIndexFile(full);  // one already open is simply kept
      continue;
    }
    int result = 0;
    try {
      result = table_->OpenIndexFile(full);
    } catch (const EXbaseError&) {
      DatabaseError(XbFormat(xbmErrorGetting, full));
    }
    if (result == -1) DatabaseError(XbFormat(xbmIndexAlreadyOpen, full));
  }
}

void TXbaseDataSet::SetIndexFiles(const TStrings& files) {
  if (IsLoading()) {
    indexFiles_.Assign(files);
    return;
  }
  const bool wasActive = Active();
  if (!wasActive) {
    // Opened only for the change: the old list and tag are not set up.
    skipIndexSetup_ = true;
    try {
      Open();
    } catch (...) {
      skipIndexSetup_ = false;
      throw;
    }
    skipIndexSetup_ = false;
  }
  try {
    CheckBrowseMode();
    UpdateCursorPos();
    indexFiles_.Assign(files);
    table_->CloseIndexFiles();
    IndexDefs().SetUpdated(false);
    if (indexFiles_.Count() == 0) indexName_.clear();
    OpenListedIndexFiles(true);
    UpdateIndexDefs();
    if (wasActive) {
      if (!indexName_.empty()) {
        try {
          table_->SelectTag(indexName_, true);
        } catch (...) {
          // The dataset never reports an order it does not have.
          indexName_.clear();
          throw;
        }
      }
      atFirst_ = atLast_ = false;
      Resync({});
    }
  } catch (...) {
    if (!wasActive) Close();
    throw;
  }
  if (!wasActive) Close();
}

void TXbaseDataSet::SetIndexName(const AnsiString& name) {
  if (!Active()) {
    indexName_ = name;
    return;
  }
  CheckBrowseMode();
  UpdateCursorPos();
  table_->SelectTag(name, true);
  indexName_ = name;
  try {
    ApplyMasterRange();
    if (table_->OutOfOrder() || table_->Eof() || table_->Bof() || table_->RecordNumber() < 1) {
      First();
    } else {
      atFirst_ = atLast_ = false;
      Resync({});
    }
  } catch (const Exception&) {
    // The order is selected; a window that could not be refilled is read
    // again by the next move.
  }
  DoAfterScroll();
}

void TXbaseDataSet::SelectTag(const AnsiString& tagName) {
  CheckActive();
  SetIndexName(tagName);
}

int TXbaseDataSet::AttachIndexFile(const AnsiString& fileName) {
  CheckActive();
  const int result = table_->OpenIndexFile(fileName);
  IndexDefs().SetUpdated(false);
  return result;
}

void TXbaseDataSet::DetachIndexFile(const AnsiString& fileName) {
  CheckActive();
  CheckBrowseMode();
  const bool hadTag = table_->MasterTag() != nullptr;
  table_->CloseIndexFile(fileName);
  if (hadTag && !table_->MasterTag()) indexName_.clear();
  IndexDefs().SetUpdated(false);
}

int TXbaseDataSet::IndexTagCount() const {
  CheckActive();
  return table_->TagCount();
}

AnsiString TXbaseDataSet::IndexTagName(int tagNumber) const {
  CheckActive();
  const XBobjIndexTag* tag = table_->TagByNumber(tagNumber);
  return tag ? tag->TagName() : AnsiString();
}

AnsiString TXbaseDataSet::IndexExpression(int tagNumber) const {
  CheckActive();
  const XBobjIndexTag* tag = table_->TagByNumber(tagNumber);
  return tag ? tag->KeyExpression() : AnsiString();
}

void TXbaseDataSet::UpdateIndexDefs() {
  TIndexDefs& defs = IndexDefs();
  defs.Clear();
  if (table_) {
    for (int i = 1; i <= table_->TagCount(); ++i) {
      const XBobjIndexTag* tag = table_->TagByNumber(i);
      if (!tag) continue;
      TIndexOptions options;
      if (tag->Unique()) options.Include(ixUnique);
      if (!tag->Ascending()) options.Include(ixDescending);
      const AnsiString expression = tag->KeyExpression();
      TIndexDef* def = defs.AddIndexDef();
      def->SetName(tag->TagName());
      if (expression.find('(') != AnsiString::npos) {
        options.Include(ixExpression);
        def->SetExpression(expression);
      } else {
        AnsiString fields;
        for (char c : expression) {
          if (c == '+' || c == '-')
            fields += ';';
          else if (c != ' ')
            fields += c;
        }
        def->SetFields(fields);
      }
      def->SetOptions(options);
    }
  }
  defs.SetUpdated(true);
}

bool TXbaseDataSet::IsIndexField(TField* field) const {
  if (!table_ || !table_->MasterTag() || field->FieldKind() != fkData) return false;
  const AnsiString wanted = UpperCase(field->FieldName());
  for (const AnsiString& name : KeyFieldNames(*table_->MasterTag()))
    if (name == wanted) return true;
  return false;
}

void TXbaseDataSet::BuildIndexTag(const AnsiString& fileName, const AnsiString& tagName, int orderCode,
                                  int uniquenessCode, const AnsiString& forExpression,
                                  const AnsiString& keyExpression) {
  CheckActive();
  CheckBrowseMode();
  busy_ = Busy::BuildingIndex;
  DisableControls();
  std::exception_ptr failure;
  try {
    table_->CreateIndexTag(fileName, tagName, orderCode, uniquenessCode, forExpression, keyExpression);
  } catch (...) {
    failure = std::current_exception();
  }
  busy_ = Busy::None;
  // The build closed every index file: the dataset is in physical order
  // and says so.
  indexName_.clear();
  IndexDefs().SetUpdated(false);
  EnableControls();
  if (failure) {
    try {
      First();
    } catch (...) {
      // The build's failure is the one to report.
    }
    std::rethrow_exception(failure);
  }
  First();
}

// --------------------------------------------------------- seeks, ranges

bool TXbaseDataSet::SeekKey(const AnsiString& key, bool exact, bool nearKey) {
  CheckActive();
  CheckBrowseMode();
  atLast_ = false;
  if (!table_->MasterTag()) DatabaseError(XbMessage(xbmNoIndexForFind));
  if (table_->RecordCount() == 0 || IsEmpty()) return false;
  DoBeforeScroll();
  const AnsiString text = translateAscii_ ? AnsiToOem(key) : key;
  const bool savedExact = table_->ExactMatch();
  const bool savedNear = table_->Near();
  table_->SetExactMatch(exact);
  table_->SetNear(nearKey);
  bool found = false;
  try {
    found = table_->SeekKey(text);
  } catch (...) {
    table_->SetExactMatch(savedExact);
    table_->SetNear(savedNear);
    CursorPosChanged();
    throw;
  }
  table_->SetExactMatch(savedExact);
  table_->SetNear(savedNear);
  CursorPosChanged();
  if (found || (nearKey && !table_->Eof())) {
    atFirst_ = atLast_ = false;
    Resync({rmExact, rmCenter});
    DoAfterScroll();
  } else {
    Last();
  }
  return found;
}

void TXbaseDataSet::SetKeyRange(const AnsiString& low, const AnsiString& high) {
  CheckActive();
  CheckBrowseMode();
  if (!table_->MasterTag()) return;
  const AnsiString lowKey = translateAscii_ ? AnsiToOem(low) : low;
  const AnsiString highKey = translateAscii_ ? AnsiToOem(high) : high;
  if (table_->SetTagRange(lowKey, highKey, false, true, true)) First();
}

void TXbaseDataSet::SetKeyRangeWithOptions(const AnsiString& low, const AnsiString& high, bool prefixHigh,
                                           bool includeHigh, bool includeLow) {
  CheckActive();
  CheckBrowseMode();
  table_->SetTagRange(low, high, prefixHigh, includeLow, includeHigh);
  First();
}

// ---------------------------------------------------------------- filter

void TXbaseDataSet::ApplyFilter() {
  table_->EnableFilter(true);
  const AnsiString text = translateAscii_ ? AnsiToOem(Filter()) : Filter();
  table_->SetFilterExpression(text, FilterOptions().Contains(foCaseInsensitive),
                              !FilterOptions().Contains(foNoPartialCompare));
}

void TXbaseDataSet::SetFilterText(const AnsiString& text) {
  if (!Active() || !Filtered()) {
    TDataSet::SetFilterText(text);
    return;
  }
  CheckBrowseMode();
  TDataSet::SetFilterText(text);
  ApplyFilter();
  First();
}

void TXbaseDataSet::SetFilterOptions(TFilterOptions options) {
  TDataSet::SetFilterOptions(options);
  if (!Active() || !Filtered()) return;
  ApplyFilter();
  First();
}

void TXbaseDataSet::SetFiltered(bool on) {
  TDataSet::SetFiltered(on);
  if (!Active()) return;
  if (on)
    ApplyFilter();
  else
    table_->EnableFilter(false);
  First();
}

bool TXbaseDataSet::AcceptHook() {
  if (!Filtered() || !OnFilterRecord || !fieldsBound_) return true;
  TTempRecordScope scope(*this, filterRecord_, table_->Record());
  bool accept = true;
  OnFilterRecord(this, accept);
  return accept;
}

// --------------------------------------------------------- master/detail

void TXbaseDataSet::SetMasterSource(TDataSource* source) {
  if (source && IsLinkedTo(source)) DatabaseError(dbmsg::CircularDataLink);
  masterLink_.SetDataSource(source);
}

AnsiString TXbaseDataSet::BuildMasterKey(bool& allStrings, int& stringSize) {
  const XBobjIndexTag* tag = table_->MasterTag();
  if (!tag) DatabaseError(XbFormat(xbmMasterNoIndex, tableName_));
  const std::vector<TField*>& fields = masterLink_.Fields();
  const std::vector<AnsiString> keyFields = KeyFieldNames(*tag);
  if (keyFields.size() < fields.size()) DatabaseError(XbFormat(xbmMasterFieldMismatch, tableName_));
  std::vector<Variant> values;
  AnsiString list;
  allStrings = true;
  stringSize = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    values.push_back(Variant(fields[i]->AsString()));
    list += (i ? ";" : "") + keyFields[i];
    if (fields[i]->DataType() == ftString || fields[i]->DataType() == ftFixedChar)
      stringSize += fields[i]->Size();
    else
      allStrings = false;
  }
  std::vector<char> probe(static_cast<std::size_t>(recordLength_) + 1, ' ');
  probe.back() = 0x1A;
  table_->FillProbeRecord(probe.data(), list, values);
  XBobjIndexKeyData key;
  {
    TxbRecordBufferRedirect redirect(*table_, probe.data());
    const_cast<XBobjIndexTag*>(tag)->EvaluateKey(key);
  }
  AnsiString text = KeyText(key);
  if (allStrings && text.size() > static_cast<std::size_t>(stringSize))
    text.resize(static_cast<std::size_t>(stringSize));
  return text;
}

void TXbaseDataSet::ApplyMasterRange() {
  if (!table_ || !masterLink_.Active() || masterLink_.Fields().empty()) return;
  TDataSet* master = masterLink_.DataSet();
  if (master->IsEmpty()) {
    SetEmptyRange();
    return;
  }
  bool allStrings = true;
  int stringSize = 0;
  const AnsiString key = BuildMasterKey(allStrings, stringSize);
  if (master->State() == dsInsert) return;
  const bool prefix = static_cast<int>(key.size()) != table_->MasterTag()->KeyLength();
  table_->SetTagRange(key, key, prefix, true, true);
}

void TXbaseDataSet::SetEmptyRange() {
  const XBobjIndexTag* tag = table_->MasterTag();
  if (!tag) return;
  // Moves through a tag count a key equal to either bound as inside, so a
  // range from one value to itself with both ends excluded would still show
  // the records holding that value. A low bound after the high bound leaves
  // no key between them, whatever the table holds.
  AnsiString before = "A";
  AnsiString after = "B";
  if (tag->KeyType() == 'N') {
    before = "0";
    after = "1";
  } else if (tag->KeyType() == 'D') {
    before = "19000101";
    after = "19000102";
  }
  // A tag that keeps its keys negated compares the bounds the other way
  // round.
  if (tag->KeysDescending()) std::swap(before, after);
  // Both ends included: a seek then tests a key against both bounds.
  table_->SetTagRange(after, before, false, true, true);
}

void TXbaseDataSet::MasterChanged() {
  if (!Active()) return;
  CheckBrowseMode();
  ApplyMasterRange();
  First();
}

void TXbaseDataSet::MasterDisabled() {
  if (!Active()) return;
  CheckBrowseMode();
  if (table_->MasterTag()) table_->SetTagRange("", "", false, true, true);
  First();
}

// ----------------------------------------------------- Locate and Lookup

std::vector<Variant> TXbaseDataSet::KeyValues(const Variant& values) {
  std::vector<Variant> list;
  if (values.IsArray()) {
    for (int i = values.ArrayLowBound(); i <= values.ArrayHighBound(); ++i) list.push_back(values.Element(i));
  } else {
    list.push_back(values);
  }
  return list;
}

bool TXbaseDataSet::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  UpdateCursorPos();
  const int32_t former = table_->RecordNumber();
  bool found = false;
  try {
    found = table_->LocateRecord(AnsiString(keyFields), KeyValues(keyValues), 0,
                                 options.Contains(loPartialKey), options.Contains(loCaseInsensitive));
  } catch (...) {
    CursorPosChanged();
    throw;
  }
  SetFound(found);
  if (!found) {
    RestoreEngineRecord(former);
    return false;
  }
  CursorPosChanged();
  DoBeforeScroll();
  atFirst_ = atLast_ = false;
  Resync({rmExact, rmCenter});
  DoAfterScroll();
  return true;
}

Variant TXbaseDataSet::Lookup(std::string_view keyFields, const Variant& keyValues,
                              std::string_view resultFields) {
  CheckBrowseMode();
  UpdateCursorPos();
  const int32_t former = table_->RecordNumber();
  TRecordBuffer scratch = TempBuffer();
  Variant result = Variant::Null();
  try {
    bool found = false;
    {
      TxbRecordBufferRedirect redirect(*table_, scratch);
      found = table_->LocateRecord(AnsiString(keyFields), KeyValues(keyValues), 0, false, false);
      if (found) StampRecord(scratch, table_->RecordNumber());
    }
    SetFound(found);
    if (found) {
      CalculateFields(scratch);
      lookupRecord_ = scratch;
      const TDataSetState state = SetTempState(dsCalcFields);
      try {
        result = FieldValues(resultFields);
      } catch (...) {
        RestoreState(state);
        lookupRecord_ = nullptr;
        throw;
      }
      RestoreState(state);
      lookupRecord_ = nullptr;
    }
  } catch (...) {
    CursorPosChanged();
    RestoreEngineRecord(former);
    throw;
  }
  RestoreEngineRecord(former);
  return result;
}
