// VectorDataSet: rows in a vector behind the dataset contract.
#include "platform/db/testing/vector_dataset.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/db/blob.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/locale_compare.h"

namespace {

struct Header {
  int32_t id;
  int32_t flag;
};
constexpr int kHeaderSize = static_cast<int>(sizeof(Header));

Header ReadHeader(const char* buffer) {
  Header h;
  std::memcpy(&h, buffer, sizeof h);
  return h;
}

void WriteHeader(char* buffer, const Header& h) { std::memcpy(buffer, &h, sizeof h); }

bool IsTextType(TFieldType t) { return t == ftString || t == ftFixedChar; }

int NativeSize(TFieldType type, int size) {
  switch (type) {
    case ftString:
    case ftFixedChar: return size + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean: return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime: return 4;
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftDateTime: return 8;
    case ftBytes: return size;
    case ftVarBytes: return size + 2;
    case ftBCD: return 34;
    // Structured columns hold no value of their own; this dataset keeps no
    // values for their parts either (tests only bind them).
    case ftADT:
    case ftArray: return 0;
    default:
      if (IsBlobType(type)) return 0;
      return -1;
  }
}

}  // namespace

// A blob value of the current record: loaded from the edit's pending value
// or the stored row, stored into the edit's pending values when it goes.
class VectorDataSet::BlobStream : public TBlobFieldStream {
 public:
  BlobStream(VectorDataSet* owner, TField* field, TBlobStreamMode mode, int column)
      : TBlobFieldStream(field, mode), owner_(owner), column_(column) {
    if (mode == bmWrite) return;
    auto pending = owner_->pendingBlobs_.find(column_);
    if (pending != owner_->pendingBlobs_.end()) {
      LoadValue(pending->second.data(), static_cast<int64_t>(pending->second.size()));
      return;
    }
    TRecordBuffer buffer = owner_->GetActiveRecordBuffer();
    int row = buffer ? owner_->RowForBuffer(buffer) : -1;
    if (row >= 0) {
      const std::string& value = owner_->rows_[static_cast<std::size_t>(row)].blobs[static_cast<std::size_t>(column_)];
      LoadValue(value.data(), static_cast<int64_t>(value.size()));
    }
  }

  ~BlobStream() override {
    if (!Modified()) return;
    TDataSetState state = owner_->State();
    if (state != dsEdit && state != dsInsert) return;
    try {
      std::string value(static_cast<const char*>(Memory()), static_cast<std::size_t>(Size()));
      owner_->ActiveBuffer()[kHeaderSize + owner_->columns_[static_cast<std::size_t>(column_)].offset] =
          value.empty() ? 0 : 1;
      owner_->pendingBlobs_[column_] = std::move(value);
      if (auto* blob = dynamic_cast<TBlobField*>(Field())) blob->SetModified(true);
      owner_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field()));
    } catch (const std::exception& e) {
      owner_->InternalHandleException(e);
    }
  }

 private:
  VectorDataSet* owner_;
  int column_;
};

VectorDataSet::VectorDataSet(TComponent* owner) : TDataSet(owner) {
  SetBookmarkSize(4);
  masterLink_.OnMasterChange = [this](TObject* sender) { MasterChanged(sender); };
  masterLink_.OnMasterDisable = [this](TObject* sender) { MasterChanged(sender); };
}

VectorDataSet::~VectorDataSet() {
  Destroying();
  try {
    Close();
  } catch (...) {
    // Closing cannot fail here: there is no edit left that could refuse.
  }
  masterLink_.SetDataSource(nullptr);
}

void VectorDataSet::Fail(const char* what) {
  throw EDatabaseError(Format("%s refused", what));
}

// ---------------------------------------------------------------- layout

void VectorDataSet::BuildLayout() {
  columns_.clear();
  int offset = 0;
  for (int i = 0; i < FieldDefs().Count(); ++i) {
    TFieldDef* def = FieldDefs().Items(i);
    Column c;
    c.type = def->DataType();
    c.size = NativeSize(def->DataType(), def->Size());
    if (c.size < 0) DatabaseErrorFmt(dbmsg::UnknownFieldType, def->Name());
    c.offset = offset;
    offset += 1 + c.size;
    columns_.push_back(c);
  }
  dataSize_ = offset;
}

void VectorDataSet::EnsureLayout() const {
  if (static_cast<int>(columns_.size()) != const_cast<VectorDataSet*>(this)->FieldDefs().Count())
    const_cast<VectorDataSet*>(this)->BuildLayout();
}

void VectorDataSet::AddRow(const std::vector<Variant>& values) {
  EnsureLayout();
  Row row;
  row.id = nextId_++;
  row.data.assign(static_cast<std::size_t>(dataSize_), '\0');
  row.blobs.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size() && i < values.size(); ++i) {
    const Variant& v = values[i];
    if (v.IsNull() || v.IsEmpty()) continue;
    const Column& c = columns_[i];
    char* slot = row.data.data() + c.offset;
    char* p = slot + 1;
    slot[0] = 1;
    switch (c.type) {
      case ftString:
      case ftFixedChar: {
        AnsiString s = v.AsString();
        std::size_t n = std::min(s.size(), static_cast<std::size_t>(c.size - 1));
        std::memcpy(p, s.data(), n);
        if (storeOem_) CharToOemBuff(p, p, n);
        break;
      }
      case ftSmallint: StoreBufferValue(p, static_cast<int16_t>(v.AsInt64())); break;
      case ftWord: StoreBufferValue(p, static_cast<uint16_t>(v.AsInt64())); break;
      case ftBoolean: StoreBufferValue(p, static_cast<int16_t>(v.AsBool() ? 1 : 0)); break;
      case ftInteger:
      case ftAutoInc: StoreBufferValue(p, static_cast<int32_t>(v.AsInt64())); break;
      case ftLargeint: StoreBufferValue(p, v.AsInt64()); break;
      case ftFloat:
      case ftCurrency: StoreBufferValue(p, v.AsDouble()); break;
      case ftDate: StoreBufferValue(p, DateTimeToTimeStamp(v.AsDateTime()).Date); break;
      case ftTime: StoreBufferValue(p, DateTimeToTimeStamp(v.AsDateTime()).Time); break;
      case ftDateTime: StoreBufferValue(p, TimeStampToMSecs(DateTimeToTimeStamp(v.AsDateTime()))); break;
      case ftBytes: {
        AnsiString s = v.AsString();
        std::memcpy(p, s.data(), std::min(s.size(), static_cast<std::size_t>(c.size)));
        break;
      }
      case ftVarBytes: {
        AnsiString s = v.AsString();
        std::size_t n = std::min(s.size(), static_cast<std::size_t>(c.size - 2));
        StoreBufferValue(p, static_cast<uint16_t>(n));
        std::memcpy(p + 2, s.data(), n);
        break;
      }
      default:
        row.blobs[i] = v.AsString();
        if (row.blobs[i].empty()) slot[0] = 0;
        break;
    }
  }
  rows_.push_back(std::move(row));
  indexDirty_ = true;
}

void VectorDataSet::ClearRows() {
  rows_.clear();
  indexDirty_ = true;
  cursor_ = -1;
}

Variant VectorDataSet::Cell(int rowIndex, int column) const {
  EnsureLayout();
  const Row& row = rows_.at(static_cast<std::size_t>(rowIndex));
  const Column& c = columns_.at(static_cast<std::size_t>(column));
  const char* slot = row.data.data() + c.offset;
  if (slot[0] == 0) return Variant::Null();
  const char* p = slot + 1;
  switch (c.type) {
    case ftString:
    case ftFixedChar: {
      std::string s(p, strnlen(p, static_cast<std::size_t>(c.size - 1)));
      if (storeOem_) OemToCharBuff(s.data(), s.data(), s.size());
      return Variant(s);
    }
    case ftSmallint: return Variant(static_cast<int64_t>(LoadBufferValue<int16_t>(p)));
    case ftWord: return Variant(static_cast<int64_t>(LoadBufferValue<uint16_t>(p)));
    case ftBoolean: return Variant(LoadBufferValue<int16_t>(p) != 0);
    case ftInteger:
    case ftAutoInc: return Variant(static_cast<int64_t>(LoadBufferValue<int32_t>(p)));
    case ftLargeint: return Variant(LoadBufferValue<int64_t>(p));
    case ftFloat:
    case ftCurrency: return Variant(LoadBufferValue<double>(p));
    case ftDate: return Variant::FromDateTime(TimeStampToDateTime({LoadBufferValue<int32_t>(p), 0}));
    case ftTime: return Variant::FromDateTime(TimeStampToDateTime({kDateDelta, LoadBufferValue<int32_t>(p)}));
    case ftDateTime: return Variant::FromDateTime(TimeStampToDateTime(MSecsToTimeStamp(LoadBufferValue<double>(p))));
    case ftBytes: return Variant(std::string(p, static_cast<std::size_t>(c.size)));
    case ftVarBytes: return Variant(std::string(p + 2, std::min<std::size_t>(LoadBufferValue<uint16_t>(p), static_cast<std::size_t>(c.size - 2))));
    default: return Variant(row.blobs[static_cast<std::size_t>(column)]);
  }
}

int VectorDataSet::IndexOfId(int32_t id) const {
  if (indexDirty_) {
    indexOfId_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i) indexOfId_[rows_[i].id] = static_cast<int>(i);
    indexDirty_ = false;
  }
  auto it = indexOfId_.find(id);
  return it == indexOfId_.end() ? -1 : it->second;
}

// ------------------------------------------------------------------ cursor

void VectorDataSet::InternalOpen() {
  if (FieldDefs().Count() == 0) DatabaseError("VectorDataSet has no columns");
  BuildLayout();
  for (Row& row : rows_) {
    row.data.resize(static_cast<std::size_t>(dataSize_), '\0');
    row.blobs.resize(columns_.size());
  }
  cursor_ = -1;
  cursorOpen_ = true;
}

void VectorDataSet::InternalFieldsBound() {
  calcOffset_ = kHeaderSize + dataSize_;
  recordSize_ = calcOffset_ + CalcFieldsSize();
}

void VectorDataSet::InternalClose() {
  cursorOpen_ = false;
  pendingBlobs_.clear();
}

TRecordBuffer VectorDataSet::AllocRecordBuffer() {
  TRecordBuffer buffer = new char[static_cast<std::size_t>(std::max(recordSize_, kHeaderSize))];
  std::memset(buffer, 0, static_cast<std::size_t>(std::max(recordSize_, kHeaderSize)));
  return buffer;
}

void VectorDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

void VectorDataSet::MasterChanged(TObject*) {
  if (Active()) First();
}

bool VectorDataSet::Accepts(int index) {
  if (!Restricted()) return true;
  bool master = masterLink_.Active() && !masterLink_.Fields().empty();
  bool filter = Filtered() && OnFilterRecord;
  TRecordBuffer scratch = TempBuffer();
  FillBuffer(scratch, index);
  TTempRecordScope scope(*this, filterBuffer_, scratch);
  bool accept = true;
  if (master) {
    for (TField* masterField : masterLink_.Fields()) {
      TField* own = FindField(masterField->FieldName());
      if (own && own->AsString() != masterField->AsString()) accept = false;
    }
  }
  if (accept && filter) OnFilterRecord(this, accept);
  return accept;
}

void VectorDataSet::FillBuffer(TRecordBuffer buffer, int index) {
  const Row& row = rows_[static_cast<std::size_t>(index)];
  WriteHeader(buffer, {row.id, bfCurrent});
  std::memcpy(buffer + kHeaderSize, row.data.data(), static_cast<std::size_t>(dataSize_));
}

TGetResult VectorDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  int n = static_cast<int>(rows_.size());
  switch (mode) {
    case gmNext: {
      int i = std::max(cursor_, -1) + 1;
      while (i < n && !Accepts(i)) ++i;
      cursor_ = std::min(i, n);
      if (i >= n) return grEOF;
      break;
    }
    case gmPrior: {
      int i = std::min(cursor_, n) - 1;
      while (i >= 0 && !Accepts(i)) --i;
      cursor_ = std::max(i, -1);
      if (i < 0) return grBOF;
      break;
    }
    case gmCurrent:
      if (cursor_ < 0) return grBOF;
      if (cursor_ >= n) return grEOF;
      if (!Accepts(cursor_)) return grEOF;
      break;
  }
  FillBuffer(buffer, cursor_);
  ClearCalcFields(buffer);
  CalculateFields(buffer);
  return grOK;
}

void VectorDataSet::InternalGotoBookmark(const void* bookmark) {
  int32_t id = LoadBufferValue<int32_t>(static_cast<const char*>(bookmark));
  int index = IndexOfId(id);
  if (index < 0) DatabaseError("Bookmark not found");
  cursor_ = index;
}

void VectorDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  InternalGotoBookmark(buffer);  // the id is the first field of the header
}

void VectorDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) const {
  std::memcpy(data, buffer, 4);
}

void VectorDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer, data, 4);
}

TBookmarkFlag VectorDataSet::GetBookmarkFlag(TRecordBuffer buffer) const {
  return static_cast<TBookmarkFlag>(ReadHeader(buffer).flag);
}

void VectorDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  Header h = ReadHeader(buffer);
  h.flag = flag;
  WriteHeader(buffer, h);
}

bool VectorDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.size() != 4) return false;
  return IndexOfId(LoadBufferValue<int32_t>(bookmark.data())) >= 0;
}

int VectorDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return TDataSet::CompareBookmarks(a, b);
  int ia = IndexOfId(LoadBufferValue<int32_t>(a.data()));
  int ib = IndexOfId(LoadBufferValue<int32_t>(b.data()));
  return ia < ib ? -1 : (ia > ib ? 1 : 0);
}

bool VectorDataSet::Restricted() const {
  return (masterLink_.Active() && !masterLink_.Fields().empty()) || (Filtered() && OnFilterRecord);
}

int VectorDataSet::GetRecordCount() const {
  CheckActive();
  if (!Restricted()) return static_cast<int>(rows_.size());
  auto* self = const_cast<VectorDataSet*>(this);
  int count = 0;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (self->Accepts(i)) ++count;
  return count;
}

int VectorDataSet::GetRecNo() const {
  if (!Active() || !IsSequenced() || IsEmpty()) return -1;
  TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  if (!buffer || GetBookmarkFlag(buffer) != bfCurrent) return -1;
  int index = IndexOfId(ReadHeader(buffer).id);
  return index < 0 ? -1 : index + 1;
}

void VectorDataSet::SetRecNo(int recNo) {
  TDataSet::SetRecNo(recNo);
  if (!IsSequenced() || recNo < 1 || recNo > static_cast<int>(rows_.size())) return;
  if (recNo == GetRecNo()) return;
  DoScrollTo(recNo - 1);
}

void VectorDataSet::DoScrollTo(int index) {
  DoBeforeScroll();
  cursor_ = index;
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

int VectorDataSet::RowForBuffer(TRecordBuffer buffer) const {
  Header h = ReadHeader(buffer);
  if (h.flag != bfCurrent) return -1;
  return IndexOfId(h.id);
}

// ------------------------------------------------------------------ fields

TRecordBuffer VectorDataSet::GetActiveRecordBuffer() const {
  if (State() == dsFilter) return filterBuffer_;
  return TDataSet::GetActiveRecordBuffer();
}

void VectorDataSet::ClearCalcFields(TRecordBuffer buffer) {
  if (CalcFieldsSize() > 0) std::memset(buffer + calcOffset_, 0, static_cast<std::size_t>(CalcFieldsSize()));
}

bool VectorDataSet::GetFieldData(TField* field, void* buffer) {
  TRecordBuffer record = GetActiveRecordBuffer();
  if (!record) return false;
  if (field->FieldNo() <= 0) return GetCalcFieldValue(record + calcOffset_, field, buffer);
  const Column& c = columns_[static_cast<std::size_t>(field->FieldNo() - 1)];
  const char* slot = record + kHeaderSize + c.offset;
  if (slot[0] == 0) return false;
  if (buffer && c.size > 0) std::memcpy(buffer, slot + 1, static_cast<std::size_t>(c.size));
  return true;
}

void VectorDataSet::SetFieldData(TField* field, const void* buffer) {
  TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
      state != dsFilter && state != dsNewValue && state != dsInternalCalc)
    DatabaseError(dbmsg::NotEditing);
  TRecordBuffer record = GetActiveRecordBuffer();
  if (!record) DatabaseError(dbmsg::NotEditing);
  if (field->FieldNo() <= 0) {
    SetCalcFieldValue(record + calcOffset_, field, buffer);
  } else {
    if (state == dsCalcFields) DatabaseError(dbmsg::NotEditing);
    if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
      DatabaseErrorFmt(dbmsg::FieldReadOnly, field->DisplayName());
    field->Validate(buffer);
    const Column& c = columns_[static_cast<std::size_t>(field->FieldNo() - 1)];
    char* slot = record + kHeaderSize + c.offset;
    slot[0] = buffer ? 1 : 0;
    if (c.size > 0) {
      if (buffer)
        std::memcpy(slot + 1, buffer, static_cast<std::size_t>(c.size));
      else
        std::memset(slot + 1, 0, static_cast<std::size_t>(c.size));
    }
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue && state != dsSetKey)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

std::unique_ptr<TStream> VectorDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  if (field->FieldNo() <= 0) DatabaseError(dbmsg::NotSupported);
  if (mode != bmRead) {
    if (State() != dsEdit && State() != dsInsert) DatabaseError(dbmsg::NotEditing);
    if (field->ReadOnly()) DatabaseErrorFmt(dbmsg::FieldReadOnly, field->DisplayName());
  }
  return std::make_unique<BlobStream>(this, field, mode, field->FieldNo() - 1);
}

int VectorDataSet::Translate(const char* src, char* dst, bool toOem) {
  int n = TDataSet::Translate(src, dst, toOem);
  if (storeOem_ && dst) {
    if (toOem)
      CharToOemBuff(dst, dst, static_cast<std::size_t>(n));
    else
      OemToCharBuff(dst, dst, static_cast<std::size_t>(n));
  }
  return n;
}

// ----------------------------------------------------------------- editing

void VectorDataSet::InternalInitRecord(TRecordBuffer buffer) {
  std::memset(buffer, 0, static_cast<std::size_t>(recordSize_));
  pendingBlobs_.clear();
}

void VectorDataSet::StoreRow(Row& row, TRecordBuffer buffer) {
  row.data.assign(buffer + kHeaderSize, buffer + kHeaderSize + dataSize_);
  row.blobs.resize(columns_.size());
  for (auto& [column, value] : pendingBlobs_) row.blobs[static_cast<std::size_t>(column)] = value;
  pendingBlobs_.clear();
}

void VectorDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
  Row row;
  row.id = nextId_++;
  StoreRow(row, buffer);
  int at = append ? static_cast<int>(rows_.size())
                  : std::clamp(cursor_, 0, static_cast<int>(rows_.size()));
  rows_.insert(rows_.begin() + at, std::move(row));
  indexDirty_ = true;
  cursor_ = at;
}

void VectorDataSet::InternalEdit() {
  if (failEdits_ > 0) {
    --failEdits_;
    Fail("Edit");
  }
  pendingBlobs_.clear();
}

void VectorDataSet::InternalPost() {
  if (failPosts_ > 0) {
    --failPosts_;
    Fail("Post");
  }
  if (State() == dsEdit) {
    int index = RowForBuffer(ActiveBuffer());
    if (index < 0) DatabaseError(dbmsg::RecordNotFound);
    StoreRow(rows_[static_cast<std::size_t>(index)], ActiveBuffer());
    cursor_ = index;
    return;
  }
  InternalAddRecord(ActiveBuffer(), GetBookmarkFlag(ActiveBuffer()) == bfEOF);
}

void VectorDataSet::InternalCancel() { pendingBlobs_.clear(); }

void VectorDataSet::InternalDelete() {
  if (failDeletes_ > 0) {
    --failDeletes_;
    Fail("Delete");
  }
  int index = RowForBuffer(ActiveBuffer());
  if (index < 0) DatabaseError(dbmsg::RecordNotFound);
  rows_.erase(rows_.begin() + index);
  indexDirty_ = true;
  cursor_ = index;
}

void VectorDataSet::SetFiltered(bool on) {
  TDataSet::SetFiltered(on);
  if (Active()) First();
}

// ------------------------------------------------------------------ search

bool VectorDataSet::FindRecord(bool restart, bool goForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  UpdateCursorPos();
  int n = static_cast<int>(rows_.size());
  int i = restart ? (goForward ? -1 : n) : cursor_;
  int step = goForward ? 1 : -1;
  for (i += step; i >= 0 && i < n; i += step) {
    // The filter applies to a search even when the dataset is not filtered.
    bool accept = true;
    if (OnFilterRecord) {
      FillBuffer(TempBuffer(), i);
      TTempRecordScope scope(*this, filterBuffer_, TempBuffer());
      OnFilterRecord(this, accept);
    }
    if (accept && Accepts(i)) break;
  }
  if (i < 0 || i >= n) return false;
  cursor_ = i;
  Resync({rmExact, rmCenter});
  SetFound(true);
  DoAfterScroll();
  return true;
}

int VectorDataSet::FindMatch(std::string_view keyFields, const Variant& keyValues,
                             TLocateOptions options) {
  std::vector<TField*> fields = GetFieldList(keyFields);
  if (fields.empty()) DatabaseErrorFmt(dbmsg::FieldNotFound, AnsiString(keyFields));
  auto keyAt = [&](std::size_t i) -> Variant {
    if (fields.size() == 1 && !keyValues.IsArray()) return keyValues;
    if (!keyValues.IsArray() || static_cast<std::size_t>(keyValues.ArrayCount()) <= i)
      DatabaseErrorFmt(dbmsg::InvalidFieldValue, AnsiString(keyFields));
    return keyValues.Element(keyValues.ArrayLowBound() + static_cast<int>(i));
  };
  std::vector<Variant> keys;
  for (std::size_t i = 0; i < fields.size(); ++i) keys.push_back(keyAt(i));

  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
    if (!Accepts(i)) continue;
    FillBuffer(TempBuffer(), i);
    bool match = true;
    {
      TTempRecordScope scope(*this, filterBuffer_, TempBuffer());
      for (std::size_t k = 0; k < fields.size() && match; ++k) {
        TField* f = fields[k];
        const Variant& key = keys[k];
        if (key.IsNull() || key.IsEmpty()) {
          match = f->IsNull();
        } else if (f->IsNull()) {
          match = false;
        } else if (IsTextType(f->DataType())) {
          AnsiString value = f->AsString();
          AnsiString wanted = key.AsString();
          if (options.Contains(loPartialKey) && value.size() >= wanted.size())
            value = value.substr(0, wanted.size());
          match = options.Contains(loCaseInsensitive) ? AnsiSameText(value, wanted) : value == wanted;
        } else if (f->DataType() == ftBoolean) {
          match = f->AsBoolean() == key.AsBool();
        } else if (f->DataType() == ftDate || f->DataType() == ftTime || f->DataType() == ftDateTime) {
          match = f->AsDateTime() == key.AsDateTime();
        } else if (f->IsBlob() || f->DataType() == ftBytes || f->DataType() == ftVarBytes) {
          match = f->AsString() == key.AsString();
        } else {
          match = f->AsFloat() == key.AsDouble();
        }
      }
    }
    if (match) return i;
  }
  return -1;
}

bool VectorDataSet::Locate(std::string_view keyFields, const Variant& keyValues,
                           TLocateOptions options) {
  CheckBrowseMode();
  int index = FindMatch(keyFields, keyValues, options);
  SetFound(index >= 0);
  if (index < 0) return false;
  DoScrollTo(index);
  return true;
}

Variant VectorDataSet::Lookup(std::string_view keyFields, const Variant& keyValues,
                              std::string_view resultFields) {
  CheckBrowseMode();
  int index = FindMatch(keyFields, keyValues, {});
  SetFound(index >= 0);
  if (index < 0) return Variant::Null();
  TRecordBuffer scratch = TempBuffer();
  FillBuffer(scratch, index);
  ClearCalcFields(scratch);
  CalculateFields(scratch);
  TTempRecordScope scope(*this, filterBuffer_, scratch);
  return FieldValues(resultFields);
}
