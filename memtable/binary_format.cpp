// The binary format of the in-memory table: component-stream values
// (platform/rtl/value_stream.h).
//
// Layout of version 251:
//   "TPF0", integer 251,
//   list of field definitions (with mtfSaveDef): name, type name, size,
//     display name, edit mask, display width, required, read-only, kind
//     name, default expression;
//   list of index definitions (with mtfSaveIndexDef): name, fields,
//     display name, descending, case-insensitive, non-maintained, unique;
//   list of records, each a list of version groups (the current one first,
//     older ones with mtfSaveDeltas): update status, then per saved field a
//     null flag and, when not null, the value.
// Values: integers for the integer types, Booleans, floats (80-bit) for
// floats, large integers and dates (as date-time numbers), currency and BCD
// as their money value; texts as strings; binary values as raw bytes.
//
// Older versions: none written after the signature = 100; < 200 no index
// list; < 230 records are single groups without status; < 249 no null
// flags; < 250 no kind name; < 251 no default expression.
#include <cmath>
#include <optional>
#include <utility>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/db/fields.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/value_stream.h"

namespace {

template <class F>
class Finally {
 public:
  explicit Finally(F f) : f_(std::move(f)) {}
  ~Finally() { f_(); }
  Finally(const Finally&) = delete;
  Finally& operator=(const Finally&) = delete;

 private:
  F f_;
};

enum class ValueKind { Integer, Boolean, Float, Money, Text, Bytes };

ValueKind KindOf(TFieldType t) {
  switch (t) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc: return ValueKind::Integer;
    case ftBoolean: return ValueKind::Boolean;
    case ftFloat:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftLargeint: return ValueKind::Float;
    case ftCurrency:
    case ftBCD: return ValueKind::Money;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: return ValueKind::Bytes;
    default: return ValueKind::Text;
  }
}

bool IsSizedType(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftBytes || t == ftVarBytes || t == ftWideString;
}

constexpr int kVersion = 251;

}  // namespace

void TmtCustomMemTable::WriteBinaryStream(TStream& target, TmtMemTableSaveFlags options) {
  CheckBrowseMode();
  const bool wasFiltered = Filtered();
  const bool wasMasterDetail = masterDetailEnabled_;
  const bool wasRange = rangeActive_;
  const TSetOf<TUpdateStatus> wasStatus = statusFilter_;
  Finally restoreSuspended([&] {
    masterDetailEnabled_ = wasMasterDetail;
    rangeActive_ = wasRange;
    statusFilter_ = wasStatus;
    if (wasFiltered != Filtered()) TDataSet::SetFiltered(wasFiltered);
  });
  if (options.Contains(mtfSaveFiltered) && wasFiltered) TDataSet::SetFiltered(false);
  if (options.Contains(mtfSaveIgnoreMasterDetail)) masterDetailEnabled_ = false;
  if (options.Contains(mtfSaveIgnoreRange)) rangeActive_ = false;
  // Deltas carry deleted records too.
  if (options.Contains(mtfSaveDeltas) && statusFilter_.Empty())
    statusFilter_ = {usUnmodified, usModified, usInserted, usDeleted};

  ReportProgress(0, mtpcSave);
  Finally progressDone([&] { ReportProgress(100, mtpcSave); });
  TCriticalSectionGuard lock(store_->Lock());
  DisableControls();
  Finally enable([&] { EnableControls(); });
  PMemRecord savedEvaluation = evaluationRecord_;
  Finally clearEvaluation([&] { evaluationRecord_ = savedEvaluation; });

  std::vector<TField*> saved;
  for (int i = 0; i < FieldCount(); ++i) {
    TField* f = Fields()[i];
    if (!FieldIsSaved(f, options)) continue;
    if (f->DataType() == ftADT || f->DataType() == ftArray)
      MemTableError(Format("Field %s cannot be saved in this format", f->FieldName()));
    saved.push_back(f);
  }

  TMemoryStream compressed;
  TStream& out = OnCompressSave ? static_cast<TStream&>(compressed) : target;
  TValueWriter w(out);
  w.WriteSignature();
  w.WriteInteger(kVersion);
  w.WriteListBegin();
  if (options.Contains(mtfSaveDef)) {
    for (TField* f : saved) {
      w.WriteString(f->FieldName());
      w.WriteString(FieldTypeName(f->DataType()));
      w.WriteInteger(f->Size());
      w.WriteString(f->DisplayName());
      w.WriteString(f->EditMask());
      w.WriteInteger(f->DisplayWidth());
      w.WriteBoolean(f->Required());
      w.WriteBoolean(f->ReadOnly());
      w.WriteString(options.Contains(mtfSaveFieldKind) ? FieldKindName(f->FieldKind()) : AnsiString("Data"));
      w.WriteString(f->DefaultExpression());
    }
  }
  w.WriteListEnd();
  w.WriteListBegin();
  if (options.Contains(mtfSaveIndexDef)) {
    for (int i = 0; i < IndexDefs().Count(); ++i) {
      TIndexDef* d = IndexDefs().Items(i);
      w.WriteString(d->Name());
      w.WriteString(d->Fields());
      w.WriteString(d->DisplayName());
      w.WriteBoolean(d->Options().Contains(ixDescending));
      w.WriteBoolean(d->Options().Contains(ixCaseInsensitive));
      w.WriteBoolean(d->Options().Contains(ixNonMaintained));
      w.WriteBoolean(d->Options().Contains(ixUnique));
    }
  }
  w.WriteListEnd();

  auto writeValue = [&](TField* f) {
    switch (KindOf(f->DataType())) {
      case ValueKind::Integer: w.WriteInteger(f->AsInteger()); break;
      case ValueKind::Boolean: w.WriteBoolean(f->AsBoolean()); break;
      case ValueKind::Float:
        if (f->DataType() == ftLargeint)
          w.WriteFloat(static_cast<long double>(static_cast<TLargeintField*>(f)->AsLargeInt()));
        else if (f->DataType() == ftFloat)
          w.WriteFloat(f->AsFloat());
        else
          w.WriteFloat(f->AsDateTime());
        break;
      case ValueKind::Money: {
        // The money value straight from its 64-bit count: exact in 80 bits.
        Currency c = f->DataType() == ftBCD ? f->AsCurrency() : Currency::FromDouble(f->AsFloat());
        w.WriteFloat(static_cast<long double>(c.scaled) / 10000.0L);
        break;
      }
      case ValueKind::Text: w.WriteString(f->AsString()); break;
      case ValueKind::Bytes: w.WriteRawString(f->AsString()); break;
    }
  };

  const bool anyValues = options.Contains(mtfSaveData) || options.Contains(mtfSaveCalculated) ||
                         options.Contains(mtfSaveLookup);
  const bool deltas = options.Contains(mtfSaveDeltas);
  if (!currentIndex_->Sorted()) currentIndex_->Rebuild();
  const int count = EntryCount();
  w.WriteListBegin();
  for (int e = 0; e < count; ++e) {
    if (e % 100 == 0 && e > 0) ReportProgress(static_cast<int>(static_cast<int64_t>(e) * 100 / count), mtpcSave);
    PMemRecord record = EntryAt(e);
    evaluationRecord_ = record;
    RecalculateRecord(record);
    if (!AcceptRecord(record, false)) continue;
    evaluationRecord_ = record;
    bool accept = true;
    if (OnSaveRecord) OnSaveRecord(this, accept);
    if (!accept) continue;
    if (!anyValues && record->updateStatus == usUnmodified) continue;
    if (record->updateStatus == usDeleted && !options.Contains(mtfSaveDontFilterDeltas)) {
      PMemRecord oldest = record;
      while (oldest->previousVersion) oldest = oldest->previousVersion;
      if (oldest->updateStatus == usInserted) continue;
    }
    w.WriteListBegin();
    for (PMemRecord version = record; version; version = deltas ? version->previousVersion : nullptr) {
      w.WriteInteger(version->updateStatus);
      for (TField* f : saved) {
        if (version == record && OnSaveField) OnSaveField(this, f->Index(), f);
        evaluationRecord_ = version;
        bool isNull = f->IsNull();
        w.WriteBoolean(isNull);
        if (!isNull) writeValue(f);
      }
    }
    w.WriteListEnd();
  }
  w.WriteListEnd();
  w.FlushBuffer();
  if (OnCompressSave) {
    compressed.SetPosition(0);
    OnCompressSave(compressed, target);
  }
}

void TmtCustomMemTable::ReadBinaryStream(TStream& source) {
  const bool wasPersistent = persistent_;
  const bool wasEnableIndexes = enableIndexes_;
  persistent_ = false;
  enableIndexes_ = false;
  internalLoad_ = true;
  ReportProgress(0, mtpcLoad);
  DisableControls();
  PMemRecord savedEvaluation = evaluationRecord_;
  PMemRecord pending = nullptr;
  std::optional<TDataSetState> insertState;
  Finally cleanup([&] {
    if (insertState) RestoreState(*insertState);
    evaluationRecord_ = savedEvaluation;
    if (pending) store_->DisposeRecord(pending, true, true);
    internalLoad_ = false;
    persistent_ = wasPersistent;
    enableIndexes_ = wasEnableIndexes;
    try {
      store_->MarkAllIndexesDirty();
      store_->RebuildAllIndexes();
    } catch (...) {
    }
    EnableControls();
    ReportProgress(100, mtpcLoad);
    try {
      if (Active() && State() == dsBrowse) Refresh();
    } catch (...) {
    }
  });

  TMemoryStream decompressed;
  TStream* in = &source;
  if (OnDecompressLoad) {
    OnDecompressLoad(source, decompressed);
    decompressed.SetPosition(0);
    in = &decompressed;
  }
  if (in->Size() - in->Position() <= 0) return;
  TValueReader r(*in);
  const int64_t streamSize = r.BytesLeft();
  r.ReadSignature();
  int version = r.NextValue() == vaList ? 100 : r.ReadInteger();

  bool definitionsRead = false;
  bool definitionsMatched = false;
  std::vector<TField*> columns;  // null: a value to skip
  r.ReadListBegin();
  while (!r.EndOfList()) {
    if (keepDefinitions_) {
      // Only the names matter: the table keeps its own fields.
      AnsiString name = r.ReadString();
      for (int k = 0; k < 7 + (version >= 250) + (version >= 251); ++k) r.SkipValue();
      columns.push_back(FindField(name));
      definitionsMatched = true;
      continue;
    }
    if (!definitionsRead) {
      Close();
      FieldDefs().Clear();
      while (FieldCount() > 0) delete Fields()[FieldCount() - 1];
      autoIncDeclaredByLoad_ = false;
      definitionsRead = true;
    }
    AnsiString name = r.ReadString();
    AnsiString typeName = r.ReadString();
    int size = r.ReadInteger();
    AnsiString label = r.ReadString();
    AnsiString mask = r.ReadString();
    int width = r.ReadInteger();
    bool required = r.ReadBoolean();
    bool readOnly = r.ReadBoolean();
    AnsiString kindName = version >= 250 ? r.ReadString() : AnsiString("Data");
    AnsiString defaultExpression = version >= 251 ? r.ReadString() : AnsiString();
    TFieldType type;
    if (!FieldTypeFromName(typeName, type) || !TmtCommon::IsSupportedType(type))
      MemTableError(Format("Unknown field type (%s)", typeName));
    if (IsSizedType(type) ? (size < 1 || size > 65535) : (size < 0 || size > 65535))
      MemTableError(Format("Invalid field size (%d)", size));
    if (!IsSizedType(type) && type != ftBCD) size = 0;
    if (width < 0 || width > 65535) MemTableError(Format("Invalid field size (%d)", width));
    TFieldKind kind;
    if (!FieldKindFromName(kindName, kind)) kind = fkData;
    TFieldDef* def = FieldDefs().Add(name, type, size, required);
    TField* field = def->CreateField(this, this);
    field->SetFieldKind(kind);
    field->SetDisplayLabel(label);
    field->SetEditMask(mask);
    field->SetReadOnly(readOnly);
    field->SetDisplayWidth(width);
    field->SetDefaultExpression(defaultExpression);
    field->SetRequired(required);
  }
  if (version >= 200) {
    bool first = true;
    r.ReadListBegin();
    while (!r.EndOfList()) {
      if (first) {
        indexes_->RemoveAllButRowOrder();
        currentIndex_ = indexes_->RowOrderIndex();
        IndexDefs().Clear();
        first = false;
      }
      AnsiString name = r.ReadString();
      AnsiString fields = r.ReadString();
      AnsiString label = r.ReadString();
      TIndexOptions opts;
      if (r.ReadBoolean()) opts.Include(ixDescending);
      if (r.ReadBoolean()) opts.Include(ixCaseInsensitive);
      if (r.ReadBoolean()) opts.Include(ixNonMaintained);
      if (r.ReadBoolean()) opts.Include(ixUnique);
      TIndexDef* def = IndexDefs().Add(name, fields, opts);
      if (!label.empty()) def->SetDisplayName(label);
    }
  }
  if (definitionsRead) Open();
  CheckActive();
  if (!definitionsMatched) {
    for (int i = 0; i < FieldCount(); ++i) {
      TField* f = Fields()[i];
      if (f->FieldKind() == fkData || f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup)
        columns.push_back(f);
    }
  }
  PickAutoIncField();
  // Room for as many records as the stream could hold at one data area
  // each (plus 2 %), so the list is not reallocated record by record.
  if (store_->DataSize() > 0 && streamSize > 0) {
    const int64_t e = streamSize / store_->DataSize();
    store_->ReserveRecords(store_->RecordCount() + e + e / 50);
  }
  loadedCompletely_ = true;
  int loaded = 0;
  TCriticalSectionGuard lock(store_->Lock());
  insertState = SetTempState(dsInsert);

  auto readValue = [&](TField* f, bool firstGroup) {
    if (version >= 249 && r.ReadBoolean()) {
      f->Clear();
    } else {
      TFieldType t = f->DataType();
      switch (KindOf(t)) {
        case ValueKind::Integer: {
          int32_t v = r.ReadInteger();
          f->SetAsInteger(v);
          if (t == ftAutoInc && v > store_->AutoIncHighMark()) store_->SetAutoIncHighMark(v);
          break;
        }
        case ValueKind::Boolean: f->SetAsBoolean(r.ReadBoolean()); break;
        case ValueKind::Float: {
          long double v = r.ReadFloat();
          if (t == ftLargeint) {
            if (!(v >= -9223372036854775808.0L && v < 9223372036854775808.0L))
              throw EConvertError(Format("Value out of range for field %s", f->FieldName()));
            static_cast<TLargeintField*>(f)->SetAsLargeInt(static_cast<int64_t>(v));
          } else if (t == ftFloat) {
            f->SetAsFloat(static_cast<double>(v));
          } else if (v == 0 && (t != ftTime || version < 249)) {
            // Date-time 0 is no date; a time of 0 is midnight once null
            // flags exist to say null.
            f->Clear();
          } else {
            if (!(std::fabs(v) < 1e7L)) throw EConvertError(Format("Value out of range for field %s", f->FieldName()));
            f->SetAsDateTime(static_cast<double>(v));
          }
          break;
        }
        case ValueKind::Money: {
          long double scaled = std::nearbyint(r.ReadFloat() * 10000.0L);
          if (!(scaled >= -9223372036854775808.0L && scaled < 9223372036854775808.0L))
            throw EConvertError(Format("Value out of range for field %s", f->FieldName()));
          f->SetAsCurrency(Currency{static_cast<int64_t>(scaled)});
          break;
        }
        case ValueKind::Text: f->SetAsString(r.ReadString()); break;
        case ValueKind::Bytes: {
          std::string bytes = r.ReadRawString();
          if ((t == ftBytes || t == ftVarBytes) && static_cast<int>(bytes.size()) > f->Size())
            MemTableError(Format("Value of %d bytes does not fit field %s", static_cast<int>(bytes.size()),
                                 f->FieldName()));
          f->SetAsString(bytes);
          break;
        }
      }
    }
    if (firstGroup && OnLoadField) OnLoadField(this, f->Index(), f);
  };

  auto readGroup = [&](PMemRecord block, bool firstGroup) {
    evaluationRecord_ = block;
    if (version >= 230) {
      int status = r.ReadInteger();
      if (status < usUnmodified || status > usDeleted) throw EReadError("Invalid stream format");
      block->updateStatus = static_cast<uint8_t>(status);
    }
    for (TField* f : columns) {
      if (f) {
        readValue(f, firstGroup);
      } else if (version < 249 || !r.ReadBoolean()) {
        r.SkipValue();
      }
    }
  };

  r.ReadListBegin();
  int read = 0;
  while (!r.EndOfList()) {
    if (++read % 100 == 0 && streamSize > 0)
      ReportProgress(static_cast<int>(r.BytesRead() * 100 / streamSize), mtpcLoad);
    if (loadLimit_ > 0 && loaded >= loadLimit_) {
      loadedCompletely_ = false;
      break;
    }
    pending = store_->NewRecordBlock();
    pending->stored = 1;  // so that disposing of it frees its versions too
    if (version >= 230) {
      r.ReadListBegin();
      readGroup(pending, true);
      PMemRecord newest = pending;
      while (!r.EndOfList()) {
        PMemRecord older = store_->NewRecordBlock();
        older->stored = 1;
        older->position = -1;
        newest->previousVersion = older;
        newest = older;
        readGroup(older, false);
      }
    } else {
      readGroup(pending, true);
    }
    evaluationRecord_ = pending;
    bool accept = true;
    if (OnLoadRecord) OnLoadRecord(this, accept);
    if (accept) {
      // After the last slot, in file order: freed slots stay for later posts.
      store_->AppendRecord(pending);
      if (pending->updateStatus == usDeleted) store_->AddDeletedVersion();
      pending = nullptr;
      ++loaded;
    } else {
      store_->DisposeRecord(pending, true, true);
      pending = nullptr;
    }
  }
}

void TmtCustomMemTable::SaveBinaryToFile(const AnsiString& fileName, TmtMemTableSaveFlags options) {
  std::unique_ptr<TFileStream> file;
  if (options.Contains(mtfSaveAppend)) {
    file = std::make_unique<TFileStream>(fileName, fmOpenReadWrite | fmShareDenyWrite);
    file->Seek(0, TSeekOrigin::soEnd);
  } else {
    file = std::make_unique<TFileStream>(fileName, fmCreate);
  }
  if (OnSave) OnSave(this, 4, *file);
  WriteBinaryStream(*file, options);
}

void TmtCustomMemTable::LoadBinaryFromFile(const AnsiString& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  if (OnLoad) OnLoad(this, 4, file);
  ReadBinaryStream(file);
}
