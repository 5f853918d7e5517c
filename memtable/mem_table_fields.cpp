// Field values of the in-memory table: reading and writing the record of the
// present state, and writing fields from variants (keys, master values,
// auto-increment values, Locate keys).
#include <cmath>
#include <cstring>
#include <vector>

#include "memtable/blob_stream.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"

bool TmtCustomMemTable::GetFieldData(TField* field, void* buffer) {
  if (!cursorOpen_ || !field) return false;
  TCriticalSectionGuard guard(store_->Lock());
  PMemRecord record = ActiveRecord();
  if (!record) return false;
  return store_->ReadField(record, field, buffer);
}

void TmtCustomMemTable::SetFieldData(TField* field, const void* buffer) {
  TDataSetState state = State();
  bool writable = state == dsEdit || state == dsInsert || state == dsSetKey ||
                  state == dsCalcFields || state == dsFilter || state == dsNewValue ||
                  state == dsInternalCalc;
  if (!cursorOpen_ || !writable) DatabaseError(mtmsg::NotInEditMode);
  // Calculated values are written by the framework itself while it computes
  // them; only changes a user makes are refused.
  bool computing = state == dsCalcFields || state == dsInternalCalc || state == dsFilter;
  if (!computing && state != dsSetKey && !internalLoad_ && (readOnly_ || field->ReadOnly()))
    DatabaseErrorFmt(mtmsg::FieldIsReadOnly, field->DisplayName());
  if (field->FieldKind() == fkData || field->FieldKind() == fkCalculated ||
      field->FieldKind() == fkInternalCalc)
    field->Validate(buffer);
  {
    TCriticalSectionGuard guard(store_->Lock());
    PMemRecord record = ActiveRecord();
    if (!record) DatabaseError(mtmsg::NotInEditMode);
    store_->WriteField(record, field, buffer);
    store_->SetFieldModified(field->FieldNo());
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue && state != dsSetKey)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

namespace {

// The integer a large-integer field takes from a variant: integers exactly,
// floating values only when whole and inside the 64-bit range.
int64_t ExactInt64(const Variant& value) {
  if (value.VarType() == varDouble || value.VarType() == varDate) {
    double d = value.AsDouble();
    if (d != std::trunc(d) || !(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
      throw EVariantTypeCastError(
          Format("Could not convert variant of type (%s) into type (%s)", "Double", "Int64"));
  }
  return value.AsInt64();
}

template <class T>
void Put(char* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

}  // namespace

void TmtCustomMemTable::WriteFieldFromVariant(PMemRecord record, TField* field,
                                              const Variant& value) {
  TCriticalSectionGuard guard(store_->Lock());
  if (value.IsNull() || value.IsEmpty()) {
    store_->WriteField(record, field, nullptr);
    store_->SetFieldModified(field->FieldNo());
    return;
  }
  std::vector<char> native(static_cast<std::size_t>(std::max(field->DataSize(), 8)) + 1, 0);
  char* p = native.data();
  switch (field->DataType()) {
    case ftString:
    case ftFixedChar: {
      AnsiString text = value.AsString();
      // At most Size characters: the slot keeps its terminating zero.
      std::size_t n = std::min(text.size(), static_cast<std::size_t>(std::max(field->Size(), 0)));
      std::memcpy(p, text.data(), n);
      p[n] = 0;
      if (field->Transliterate()) Translate(p, p, true);
      break;
    }
    case ftSmallint: Put(p, static_cast<int16_t>(value.AsInt64())); break;
    case ftWord: Put(p, static_cast<uint16_t>(value.AsInt64())); break;
    case ftInteger:
    case ftAutoInc: Put(p, static_cast<int32_t>(value.AsInt64())); break;
    case ftBoolean: Put(p, static_cast<int16_t>(value.AsBool() ? 1 : 0)); break;
    case ftFloat:
    case ftCurrency: Put(p, value.AsDouble()); break;
    case ftDate: Put(p, DateTimeToTimeStamp(value.AsDateTime()).Date); break;
    case ftTime: Put(p, DateTimeToTimeStamp(value.AsDateTime()).Time); break;
    case ftDateTime: {
      TDateTime when = value.IsNumeric() || value.IsDateTime() ? value.AsDouble()
                                                               : value.AsDateTime();
      Put(p, TimeStampToMSecs(DateTimeToTimeStamp(when)));
      break;
    }
    case ftLargeint: Put(p, ExactInt64(value)); break;
    case ftBCD: {
      TBcd bcd = CurrencyToBcd(Currency::FromDouble(value.AsDouble()));
      std::memcpy(p, &bcd, sizeof bcd);
      break;
    }
    default:
      return;
  }
  store_->WriteField(record, field, p);
  store_->SetFieldModified(field->FieldNo());
}

void TmtCustomMemTable::SetFieldsFromValues(const AnsiString& fieldNames, const Variant& values) {
  TmtFieldList list;
  FieldListFromText(*this, list, fieldNames);
  if (values.IsArray()) {
    for (int i = values.ArrayLowBound(); i <= values.ArrayHighBound(); ++i)
      if (values.Element(i).IsArray()) MemTableError(mtmsg::InvalidDimensions);
  } else if (list.Count() > 1) {
    MemTableError(mtmsg::MoreFieldsThanValues);
  }
  if (list.Count() == 0) MemTableError(mtmsg::NoFields);
  PMemRecord record = ActiveRecord();
  if (!record) DatabaseError(mtmsg::NotInEditMode);
  if (!values.IsArray()) {
    WriteFieldFromVariant(record, list.FieldAt(0), values);
    return;
  }
  if (values.ArrayCount() < list.Count()) MemTableError(mtmsg::MoreFieldsThanValues);
  for (int i = 0; i < list.Count(); ++i)
    WriteFieldFromVariant(record, list.FieldAt(i), values.Element(values.ArrayLowBound() + i));
}

std::unique_ptr<TStream> TmtCustomMemTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  return std::make_unique<TmtBlobStream>(this, field, mode);
}

void TmtCustomMemTable::CloseBlob(TField* field) {
  // Nothing to release: a post hands the buffer's value blocks to the
  // stored record and a cancel frees them (InternalCancel), so no block
  // written through a blob stream outlives the edit.
  (void)field;
}
