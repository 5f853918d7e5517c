// The record store: layout, record blocks, value blocks, slots and the
// store-wide settings. See record_store.h for the block layout.
#include "memtable/record_store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/db/field_defs.h"

namespace {

std::atomic<int64_t> liveValueBlocks{0};

uint32_t LoadLength(const char* block) {
  const auto* b = reinterpret_cast<const unsigned char*>(block);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

void StoreLength(char* block, uint32_t n) {
  auto* b = reinterpret_cast<unsigned char*>(block);
  b[0] = static_cast<unsigned char>(n);
  b[1] = static_cast<unsigned char>(n >> 8);
  b[2] = static_cast<unsigned char>(n >> 16);
  b[3] = static_cast<unsigned char>(n >> 24);
}

bool IsTextType(TFieldType type) { return type == ftString || type == ftFixedChar; }

}  // namespace

int64_t LiveValueBlocks() { return liveValueBlocks.load(); }

TmtCommon::TmtCommon(TmtCustomMemTable* owner) : owner_(owner) { attached_.push_back(nullptr); }

TmtCommon::~TmtCommon() {
  for (TmtCustomMemTable* table : attached_) {
    if (!table) continue;
    try {
      if (table != owner_) table->Close();
    } catch (...) {
      // The store is going away; a table that cannot close cleanly keeps
      // no records of it either way.
    }
    if (table != owner_) table->SetAttachedTo(nullptr);
  }
  for (PMemRecord record : records_)
    if (record) DisposeRecord(record, true, true);
  records_.clear();
}

// ---------------------------------------------------------------- layout

bool TmtCommon::IsBlobType(TFieldType type) {
  switch (type) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary:
      return true;
    default:
      return false;
  }
}

bool TmtCommon::IsSupportedType(TFieldType type) {
  switch (type) {
    case ftString: case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftFloat:
    case ftCurrency: case ftBCD: case ftDate: case ftTime: case ftDateTime: case ftBytes:
    case ftVarBytes: case ftAutoInc: case ftFixedChar: case ftLargeint: case ftADT: case ftArray:
      return true;
    default:
      return IsBlobType(type);
  }
}

int TmtCommon::FieldStoreSize(TFieldType type, int size) {
  switch (type) {
    case ftString:
    case ftFixedChar: return size + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean: return 2;
    case ftInteger:
    case ftAutoInc: return 4;
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftLargeint: return 8;
    case ftBCD: return 34;
    case ftBytes: return size;
    case ftVarBytes: return size + 2;
    default: return 0;
  }
}

void TmtCommon::CheckSupportedTypes(const TFieldDefs& defs) {
  for (int i = 0; i < defs.Count(); ++i) {
    const TFieldDef* def = defs.Items(i);
    if (!IsSupportedType(def->DataType()))
      MemTableError(UnsupportedTypeMessage(def->Name(), def->DisplayName(), def->DataType()));
    if (const TFieldDefs* children = def->ChildDefsIfAny()) CheckSupportedTypes(*children);
  }
}

void TmtCommon::LayoutWalk(const TFieldDefs& defs, int& counter, std::vector<int>& varFields) {
  for (int i = 0; i < defs.Count(); ++i) {
    const TFieldDef* def = defs.Items(i);
    if (!IsSupportedType(def->DataType()))
      MemTableError(UnsupportedTypeMessage(def->Name(), def->DisplayName(), def->DataType()));
    int fieldNo = ++counter;
    offsets_.push_back(-1);
    flags_.push_back(0);
    TField* field = owner_->FieldByNumber(fieldNo);
    if (!field) field = owner_->FindField(def->Name());
    const TFieldDefs* children = def->ChildDefsIfAny();
    bool hasChildren = children && children->Count() > 0;
    bool outOfLine = false;
    if (!hasChildren && (!field || field->FieldKind() == fkData)) {
      TFieldType t = def->DataType();
      outOfLine = IsBlobType(t) ||
                  ((t == ftString || t == ftBytes || t == ftVarBytes || t == ftFixedChar) &&
                   def->Size() > 12 && performance_ != mtpfFast);
    }
    uint8_t& flags = flags_[static_cast<std::size_t>(fieldNo - 1)];
    if (outOfLine) flags |= kFieldOutOfLine;
    if (field && owner_->OnSetupField && !IsBlobType(def->DataType()) && !hasChildren) {
      uint8_t changed = flags;
      owner_->OnSetupField(owner_, field, changed);
      flags_[static_cast<std::size_t>(fieldNo - 1)] = changed;
    }
    if (hasChildren) {
      int repeat = def->DataType() == ftArray ? std::max(def->Size(), 0) : 1;
      for (int k = 0; k < repeat; ++k) LayoutWalk(*children, counter, varFields);
      continue;
    }
    if (flags_[static_cast<std::size_t>(fieldNo - 1)] & kFieldOutOfLine) {
      varFields.push_back(fieldNo);
    } else {
      offsets_[static_cast<std::size_t>(fieldNo - 1)] = fixedDataSize_;
      fixedDataSize_ += FieldStoreSize(def->DataType(), def->Size()) + 1;
    }
  }
}

void TmtCommon::BuildRecordLayout() {
  TCriticalSectionGuard guard(Lock());
  TFieldDefs& defs = owner_->FieldDefs();
  if (defs.Count() == 0) MemTableError(mtmsg::NoFields);
  offsets_.clear();
  flags_.clear();
  bookmarkSize_ = static_cast<int>(attached_.size()) * kBookmarkEntrySize;
  fixedDataSize_ = 0;
  int counter = 0;
  std::vector<int> varFields;
  LayoutWalk(defs, counter, varFields);
  calcSize_ = owner_->CalcFieldsSize();
  bookmarkStart_ = fixedDataSize_ + calcSize_;
  varStart_ = bookmarkStart_ + bookmarkSize_;
  varCount_ = static_cast<int>(varFields.size());
  for (int k = 0; k < varCount_; ++k) {
    std::size_t i = static_cast<std::size_t>(varFields[static_cast<std::size_t>(k)] - 1);
    offsets_[i] = varStart_ + kVarEntrySize * k;
    if (performance_ == mtpfSmall) flags_[i] |= kFieldCompressed;
  }
  varSize_ = kVarEntrySize * varCount_;
  dataSize_ = varStart_ + varSize_;
  recordSize_ = static_cast<int>(sizeof(MemTableRecordHeader)) + dataSize_;
  dataModified_ = false;
  ClearModifiedFlags();
}

int TmtCommon::FieldOffset(int fieldNo) const {
  if (fieldNo < 1 || fieldNo > DataFieldCount()) return -1;
  return offsets_[static_cast<std::size_t>(fieldNo - 1)];
}

uint8_t TmtCommon::FieldFlags(int fieldNo) const {
  if (fieldNo < 1 || fieldNo > DataFieldCount()) return 0;
  return flags_[static_cast<std::size_t>(fieldNo - 1)];
}

void TmtCommon::SetFieldModified(int fieldNo) {
  if (fieldNo >= 1 && fieldNo <= DataFieldCount())
    flags_[static_cast<std::size_t>(fieldNo - 1)] |= kFieldModified;
}

void TmtCommon::ClearModifiedFlags() {
  for (uint8_t& f : flags_) f = static_cast<uint8_t>(f & ~kFieldModified);
}

// --------------------------------------------------------------- records

PMemRecord TmtCommon::NewRecordBlock() const {
  void* raw = std::malloc(static_cast<std::size_t>(recordSize_));
  if (!raw) throw std::bad_alloc();
  auto* record = static_cast<PMemRecord>(raw);
  record->data = RecordData(record);
  ResetRecordHeader(record);
  return record;
}

void TmtCommon::FreeRecordBlock(PMemRecord record) const {
  if (!record) return;
  FreeVarValues(record);
  std::free(record);
}

void TmtCommon::ResetRecordHeader(PMemRecord record) const {
  record->position = -1;
  record->slot = -1;
  record->uniqueNumber = -1;
  record->stored = 0;
  record->transactionLevel = -1;
  record->spare = 0;
  record->updateStatus = 0;
  record->previousVersion = nullptr;
  record->data = RecordData(record);
  std::memset(record->data, 0, static_cast<std::size_t>(dataSize_));
}

char* TmtCommon::FieldValuePtr(PMemRecord record, const TField* field) const {
  if (!record || !field) return nullptr;
  if (field->FieldNo() > 0) {
    int offset = FieldOffset(field->FieldNo());
    return offset < 0 ? nullptr : RecordData(record) + offset;
  }
  if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup ||
      field->FieldKind() == fkInternalCalc)
    return RecordData(record) + fixedDataSize_ + field->Offset();
  return nullptr;
}

char* TmtCommon::VarEntry(PMemRecord record, int fieldNo) const {
  return RecordData(record) + FieldOffset(fieldNo);
}

char* TmtCommon::BlockOf(const char* entry) {
  char* block;
  std::memcpy(&block, entry + 1, sizeof block);
  return block;
}

void TmtCommon::SetBlockOf(char* entry, char* block) { std::memcpy(entry + 1, &block, sizeof block); }

char* TmtCommon::CopyValueBlock(const char* block) {
  if (!block) return nullptr;
  uint32_t n = LoadLength(block);
  char* copy = static_cast<char*>(std::calloc(1, n + 4u));
  if (!copy) throw std::bad_alloc();
  std::memcpy(copy, block, n + 4u);
  ++liveValueBlocks;
  return copy;
}

void TmtCommon::FreeValueBlock(char* block) {
  if (!block) return;
  std::free(block);
  --liveValueBlocks;
}

void TmtCommon::CopyRecordImage(PMemRecord source, PMemRecord target) const {
  target->position = source->position;
  target->slot = source->slot;
  target->uniqueNumber = source->uniqueNumber;
  target->updateStatus = source->updateStatus;
  target->previousVersion = source->previousVersion;
  target->transactionLevel = source->transactionLevel;
  target->spare = source->spare;
  target->data = RecordData(target);
  std::memcpy(RecordData(target), RecordData(source), static_cast<std::size_t>(varStart_));
  // Only the null flags of out-of-line values: blocks stay with their owner.
  for (int k = 0; k < varCount_; ++k) {
    std::size_t at = static_cast<std::size_t>(varStart_ + kVarEntrySize * k);
    RecordData(target)[at] = RecordData(source)[at];
  }
}

PMemRecord TmtCommon::CloneRecord(PMemRecord source, bool withValues) const {
  PMemRecord clone = NewRecordBlock();
  CopyRecordImage(source, clone);
  if (!withValues) return clone;
  try {
    for (int k = 0; k < varCount_; ++k) {
      std::size_t at = static_cast<std::size_t>(varStart_ + kVarEntrySize * k);
      const char* from = BlockOf(RecordData(source) + at);
      if (!from && RecordData(source)[at] && source->stored == 0) {
        // A buffer that shows a stored value without owning it.
        if (PMemRecord stored = Record(source->slot)) from = BlockOf(RecordData(stored) + at);
      }
      SetBlockOf(RecordData(clone) + at, CopyValueBlock(from));
    }
  } catch (...) {
    FreeRecordBlock(clone);
    throw;
  }
  return clone;
}

void TmtCommon::HandOverVarValues(PMemRecord source, PMemRecord target) const {
  for (int k = 0; k < varCount_; ++k) {
    std::size_t at = static_cast<std::size_t>(varStart_ + kVarEntrySize * k);
    char* s = RecordData(source) + at;
    char* t = RecordData(target) + at;
    if (char* block = BlockOf(s)) {
      FreeValueBlock(BlockOf(t));
      SetBlockOf(t, block);
      SetBlockOf(s, nullptr);
    } else if (s[0] == 0) {
      FreeValueBlock(BlockOf(t));
      SetBlockOf(t, nullptr);
      t[0] = 0;
    }
  }
  CopyRecordImage(source, target);
}

void TmtCommon::FreeVarValues(PMemRecord record) const {
  for (int k = 0; k < varCount_; ++k) {
    char* entry = RecordData(record) + varStart_ + kVarEntrySize * k;
    FreeValueBlock(BlockOf(entry));
    SetBlockOf(entry, nullptr);
    entry[0] = 0;
  }
}

void TmtCommon::DisposeRecord(PMemRecord record, bool freeValues, bool freeVersions) const {
  if (!record) return;
  if (freeVersions && record->stored) {
    PMemRecord version = record->previousVersion;
    while (version) {
      PMemRecord older = version->previousVersion;
      if (freeValues) FreeVarValues(version);
      std::free(version);
      version = older;
    }
    record->previousVersion = nullptr;
  }
  if (freeValues) FreeVarValues(record);
  std::free(record);
}

void TmtCommon::StoreRecord(PMemRecord record) {
  TCriticalSectionGuard guard(Lock());
  PutRecord(record, true);
  if (versioning_) record->updateStatus = usInserted;
}

void TmtCommon::AppendRecord(PMemRecord record) {
  TCriticalSectionGuard guard(Lock());
  PutRecord(record, false);
}

void TmtCommon::PutRecord(PMemRecord record, bool reuseFreeSlot) {
  // Refuse before the record goes anywhere, so a failed post changes nothing.
  if (uniqueCounter_ > kUniqueCounterLimit) MemTableError(mtmsg::BookmarkCounter);
  if (!reuseFreeSlot || freeSlots_.empty()) {
    // Grow before anything changes, so a failed allocation leaves no trace.
    if (records_.size() == records_.capacity()) records_.reserve(records_.size() * 2 + 16);
    record->slot = nextSlot_++;
    records_.push_back(record);
  } else {
    record->slot = freeSlots_.back();
    freeSlots_.pop_back();
    records_[static_cast<std::size_t>(record->slot)] = record;
  }
  record->uniqueNumber = uniqueCounter_++;
  record->stored = 1;
  record->position = -1;
}

void TmtCommon::ReserveRecords(int64_t count) {
  TCriticalSectionGuard guard(Lock());
  // The list is indexed by 32-bit slots.
  count = std::min<int64_t>(count, std::numeric_limits<int32_t>::max());
  if (count > static_cast<int64_t>(records_.capacity())) records_.reserve(static_cast<std::size_t>(count));
}

void TmtCommon::UnstoreRecord(PMemRecord record) {
  TCriticalSectionGuard guard(Lock());
  if (Record(record->slot) != record) return;
  freeSlots_.push_back(record->slot);
  records_[static_cast<std::size_t>(record->slot)] = nullptr;
}

void TmtCommon::DropRecord(PMemRecord record) {
  TCriticalSectionGuard guard(Lock());
  UnstoreRecord(record);
  DisposeRecord(record, true, true);
}

void TmtCommon::DiscardAllRecords(bool restartNumbering) {
  TCriticalSectionGuard guard(Lock());
  for (TmtCustomMemTable* table : attached_)
    if (table && table->Active()) table->ResetAfterClear();
  for (PMemRecord record : records_)
    if (record) DisposeRecord(record, true, true);
  records_.clear();
  freeSlots_.clear();
  nextSlot_ = 0;
  // Bookmarks taken before the clear must not find the records after it:
  // numbering goes on unless the store's tables are all closed.
  if (restartNumbering) uniqueCounter_ = 0;
  deletedVersions_ = 0;
}

PMemRecord TmtCommon::ResolveBookmark(int32_t slot, int32_t uniqueNumber) const {
  PMemRecord record = Record(slot);
  return record && record->uniqueNumber == uniqueNumber ? record : nullptr;
}

// ----------------------------------------------------------- field values

const char* TmtCommon::ReadBlock(PMemRecord record, int fieldNo) const {
  const char* entry = VarEntry(record, fieldNo);
  if (const char* block = BlockOf(entry)) return block;
  if (record->stored) return nullptr;
  PMemRecord stored = Record(record->slot);
  if (!stored) MemTableError(mtmsg::InvalidRecord);
  return BlockOf(VarEntry(stored, fieldNo));
}

bool TmtCommon::ValueBytes(PMemRecord record, const TField* field, const char*& bytes,
                           int& length, std::string& scratch) const {
  char* slot = FieldValuePtr(record, field);
  if (!slot || slot[0] == 0) return false;
  int fieldNo = field->FieldNo();
  uint8_t flags = FieldFlags(fieldNo);
  if (fieldNo > 0 && (flags & kFieldOutOfLine)) {
    const char* block = ReadBlock(record, fieldNo);
    if (!block) {
      bytes = "";
      length = 0;
      return true;
    }
    bytes = block + 4;
    length = static_cast<int>(LoadLength(block));
    if ((flags & kFieldCompressed) && owner_->OnDecompressField) {
      int size = length;
      std::string result;
      owner_->OnDecompressField(owner_, const_cast<TField*>(field), bytes, size, result);
      if (!result.empty()) {
        scratch = std::move(result);
        scratch.resize(static_cast<std::size_t>(std::max(size, 0)));
        bytes = scratch.data();
        length = static_cast<int>(scratch.size());
      } else {
        length = std::clamp(size, 0, length);
      }
    }
  } else {
    bytes = slot + 1;
    length = field->FieldNo() > 0 ? FieldStoreSize(field->DataType(), field->Size())
                                  : field->DataSize();
  }
  if (IsTextType(field->DataType())) {
    const void* zero = std::memchr(bytes, 0, static_cast<std::size_t>(length));
    if (zero) length = static_cast<int>(static_cast<const char*>(zero) - bytes);
  }
  return true;
}

bool TmtCommon::ReadField(PMemRecord record, const TField* field, void* dest) const {
  char* slot = FieldValuePtr(record, field);
  if (!slot) return false;
  if (field->FieldNo() <= 0) return TmtCustomMemTable::ReadCalcValue(RecordData(record) + fixedDataSize_, field, dest);
  if (slot[0] == 0) return false;
  if (!dest) return true;
  std::size_t size = static_cast<std::size_t>(field->DataSize());
  if (!(FieldFlags(field->FieldNo()) & kFieldOutOfLine)) {
    std::memcpy(dest, slot + 1, size);
    return true;
  }
  const char* bytes;
  int length;
  std::string scratch;
  bool text = IsTextType(field->DataType());
  ValueBytes(record, field, bytes, length, scratch);
  std::size_t n = std::min(size, static_cast<std::size_t>(length));
  std::memcpy(dest, bytes, n);
  std::memset(static_cast<char*>(dest) + n, 0, size - n);
  if (text && size > 0) static_cast<char*>(dest)[std::min(n, size - 1)] = 0;
  return true;
}

char* TmtCommon::MakeValueBlock(const TField* field, const void* source) const {
  int size = FieldStoreSize(field->DataType(), field->Size());
  const char* bytes = static_cast<const char*>(source);
  std::string result;
  if (FieldFlags(field->FieldNo()) & kFieldCompressed) {
    if (owner_->OnCompressField) {
      owner_->OnCompressField(owner_, const_cast<TField*>(field), bytes, size, result);
      if (!result.empty()) bytes = result.data();
      size = std::clamp(size, 0, result.empty() ? size : static_cast<int>(result.size()));
    } else if (IsTextType(field->DataType())) {
      // Without a handler a text keeps its characters and the terminator.
      const void* zero = std::memchr(bytes, 0, static_cast<std::size_t>(size));
      if (zero) size = static_cast<int>(static_cast<const char*>(zero) - bytes) + 1;
    }
  }
  char* block = static_cast<char*>(std::calloc(1, static_cast<std::size_t>(size) + 4u));
  if (!block) throw std::bad_alloc();
  ++liveValueBlocks;
  StoreLength(block, static_cast<uint32_t>(size));
  std::memcpy(block + 4, bytes, static_cast<std::size_t>(size));
  return block;
}

void TmtCommon::WriteField(PMemRecord record, const TField* field, const void* source) const {
  char* slot = FieldValuePtr(record, field);
  if (!slot) return;
  if (field->FieldNo() <= 0) {
    TmtCustomMemTable::WriteCalcValue(RecordData(record) + fixedDataSize_, field, source);
    return;
  }
  if (FieldFlags(field->FieldNo()) & kFieldOutOfLine) {
    char* block = source ? MakeValueBlock(field, source) : nullptr;
    FreeValueBlock(BlockOf(slot));
    SetBlockOf(slot, block);
    slot[0] = source ? 1 : 0;
    return;
  }
  std::size_t width = static_cast<std::size_t>(FieldStoreSize(field->DataType(), field->Size()));
  if (source) {
    slot[0] = 1;
    std::memcpy(slot + 1, source, std::min(width, static_cast<std::size_t>(field->DataSize())));
  } else {
    slot[0] = 0;
    std::memset(slot + 1, 0, width);
  }
}

// ------------------------------------------------------------ properties

int TmtCommon::AttachMaxCount() const {
  TCriticalSectionGuard guard(const_cast<TmtCommon*>(this)->Lock());
  return static_cast<int>(attached_.size());
}

void TmtCommon::SetAttachMaxCount(int count) {
  TCriticalSectionGuard guard(Lock());
  if (count == static_cast<int>(attached_.size())) return;
  if (count <= 0) MemTableError(mtmsg::InvalidArgument);
  if (AnyTableOpen()) MemTableError(mtmsg::TableMustBeClosed);
  for (std::size_t i = static_cast<std::size_t>(count); i < attached_.size(); ++i)
    if (attached_[i]) attached_[i]->SetAttachIndex(-1);
  attached_.resize(static_cast<std::size_t>(count), nullptr);
}

int32_t TmtCommon::AutoIncMinValue() const { return autoIncMin_; }

void TmtCommon::SetAutoIncMinValue(int32_t value) {
  TCriticalSectionGuard guard(Lock());
  autoIncMin_ = value;
  if (autoIncHigh_ < value) autoIncHigh_ = value - 1;
}

TmtPerformance TmtCommon::Performance() const { return performance_; }

void TmtCommon::SetPerformance(TmtPerformance performance) {
  TCriticalSectionGuard guard(Lock());
  performance_ = performance;
}

TmtVersioningMode TmtCommon::VersioningMode() const { return versioningMode_; }

void TmtCommon::SetVersioningMode(TmtVersioningMode mode) {
  TCriticalSectionGuard guard(Lock());
  versioningMode_ = mode;
}

bool TmtCommon::EnableVersioning() const { return versioning_; }

void TmtCommon::SetEnableVersioning(bool on) {
  TCriticalSectionGuard guard(Lock());
  versioning_ = on;
}

void TmtCommon::SetStandalone(bool on) {
  if (on == standalone_) return;
  TCriticalSectionGuard guard(Lock());
  if (owner_->Active()) MemTableError(mtmsg::TableMustBeClosed);
  if (owner_->AttachedTo()) MemTableError(mtmsg::AttachedToAnother);
  if (attached_.size() > 1) MemTableError(mtmsg::ChildrenAttached);
  standalone_ = on;
}

uint32_t TmtCommon::LocaleID() const { return localeID_; }

void TmtCommon::SetLocaleID(uint32_t lcid) {
  TCriticalSectionGuard guard(Lock());
  localeID_ = lcid;
  sortID_ = static_cast<int>((lcid >> 16) & 15);
  languageID_ = static_cast<int>(lcid & 255);
  subLanguageID_ = static_cast<int>((lcid >> 10) & 63);
}

int TmtCommon::LanguageID() const { return languageID_; }
int TmtCommon::SubLanguageID() const { return subLanguageID_; }
int TmtCommon::SortID() const { return sortID_; }

namespace {
uint32_t ComposeLocale(int language, int subLanguage, int sort) {
  uint32_t sub = static_cast<uint32_t>(subLanguage * 1024) & 0xFFFFu;
  return sub | static_cast<uint32_t>(language) | (static_cast<uint32_t>(sort) << 16);
}
}  // namespace

void TmtCommon::SetLanguageID(int id) {
  TCriticalSectionGuard guard(Lock());
  languageID_ = id;
  localeID_ = ComposeLocale(languageID_, subLanguageID_, sortID_);
}

void TmtCommon::SetSubLanguageID(int id) {
  TCriticalSectionGuard guard(Lock());
  subLanguageID_ = id;
  localeID_ = ComposeLocale(languageID_, subLanguageID_, sortID_);
}

void TmtCommon::SetSortID(int id) {
  TCriticalSectionGuard guard(Lock());
  sortID_ = id;
  localeID_ = ComposeLocale(languageID_, subLanguageID_, sortID_);
}

int TmtCommon::TransactionLevel() const { return transactionLevel_; }

void TmtCommon::RaiseTransactionLevel() {
  TCriticalSectionGuard guard(Lock());
  ++transactionLevel_;
}

void TmtCommon::LowerTransactionLevel() {
  TCriticalSectionGuard guard(Lock());
  if (transactionLevel_ > 0) --transactionLevel_;
}

bool TmtCommon::DataModified() const { return dataModified_; }

void TmtCommon::SetDataModified(bool on) { dataModified_ = on; }

// -------------------------------------------------------- attached tables

void TmtCommon::AttachTable(TmtCustomMemTable* table) {
  TCriticalSectionGuard guard(Lock());
  for (std::size_t i = 0; i < attached_.size(); ++i) {
    if (!attached_[i]) {
      attached_[i] = table;
      table->SetAttachIndex(static_cast<int>(i));
      return;
    }
  }
  if (AnyTableOpen()) MemTableError(mtmsg::TableMustBeClosed);
  attached_.push_back(table);
  table->SetAttachIndex(static_cast<int>(attached_.size()) - 1);
}

void TmtCommon::DetachTable(TmtCustomMemTable* table) {
  TCriticalSectionGuard guard(Lock());
  for (TmtCustomMemTable*& entry : attached_)
    if (entry == table) entry = nullptr;
}

bool TmtCommon::AnyTableOpen() const {
  for (TmtCustomMemTable* table : attached_)
    if (table && table->Active()) return true;
  return false;
}

void TmtCommon::CloseAllTablesBut(TmtCustomMemTable* keep) {
  std::vector<TmtCustomMemTable*> tables = attached_;
  for (TmtCustomMemTable* table : tables)
    if (table && table != keep && table->Active()) table->Close();
}

void TmtCommon::RefreshOthers(TmtCustomMemTable* acting) {
  for (TmtCustomMemTable* table : attached_)
    if (table && table != acting && table->Active()) table->RefreshIfBrowsing();
}

void TmtCommon::RebuildAllIndexes() {
  TCriticalSectionGuard guard(Lock());
  for (TmtCustomMemTable* table : attached_)
    if (table && table->Active()) table->Indexes().RebuildAll();
}

void TmtCommon::MarkAllIndexesDirty() {
  for (TmtCustomMemTable* table : attached_)
    if (table && table->Active()) table->Indexes().MarkAllDirty();
}

void TmtCommon::CheckAllIndexDefinitions() {
  for (TmtCustomMemTable* table : attached_)
    if (table && table->Active()) table->CheckIndexDefinitions();
}

void TmtCommon::NotifyIndexes(int operation, TmtCustomMemTable* acting, int positionHint,
                              PMemRecord newRecord, PMemRecord oldRecord) {
  TCriticalSectionGuard guard(Lock());
  for (TmtCustomMemTable* table : attached_) {
    if (!table) continue;
    // A closed table keeps no entries (it emptied them when it closed), so
    // nothing of it can point at a dropped record.
    if (!table->CursorIsOpen()) continue;
    table->UpdateIndexesFor(operation, table == acting ? positionHint : -1, newRecord, oldRecord);
  }
}

bool TmtCommon::BlobBytes(PMemRecord record, const TField* field, std::string& out) const {
  const char* bytes;
  int length;
  std::string scratch;
  if (!ValueBytes(record, field, bytes, length, scratch)) return false;
  out.assign(bytes, static_cast<std::size_t>(std::max(length, 0)));
  return true;
}

void TmtCommon::SetBlobBytes(PMemRecord record, const TField* field, const std::string* bytes) const {
  char* entry = FieldValuePtr(record, field);
  if (!entry || !(FieldFlags(field->FieldNo()) & kFieldOutOfLine)) return;
  FreeValueBlock(BlockOf(entry));
  SetBlockOf(entry, nullptr);
  entry[0] = 0;
  if (!bytes || bytes->empty()) return;
  if (bytes->size() > 0xFFFFFFFFu - 4u) throw std::bad_alloc();
  char* block = static_cast<char*>(std::calloc(1, bytes->size() + 4u));
  if (!block) throw std::bad_alloc();
  ++liveValueBlocks;
  StoreLength(block, static_cast<uint32_t>(bytes->size()));
  std::memcpy(block + 4, bytes->data(), bytes->size());
  SetBlockOf(entry, block);
  entry[0] = 1;
}

void TmtCommon::ReplaceInSlot(PMemRecord record, PMemRecord replacement) {
  TCriticalSectionGuard guard(Lock());
  if (Record(record->slot) != record) return;
  replacement->slot = record->slot;
  replacement->uniqueNumber = record->uniqueNumber;
  replacement->stored = 1;
  replacement->position = -1;
  records_[static_cast<std::size_t>(record->slot)] = replacement;
}
