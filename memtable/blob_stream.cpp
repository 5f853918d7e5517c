// The in-memory table's blob stream.
#include "memtable/blob_stream.h"

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "platform/db/db_errors.h"

TmtBlobStream::TmtBlobStream(TmtCustomMemTable* table, TField* field, TBlobStreamMode mode)
    : TBlobFieldStream(field, mode), table_(table) {
  TmtCommon* store = table->Store();
  TCriticalSectionGuard guard(store->Lock());
  if (mode != bmRead) {
    if (field->ReadOnly() && !table->InternalLoading())
      DatabaseErrorFmt(mtmsg::FieldIsReadOnly, field->DisplayName());
    if (table->State() != dsEdit && table->State() != dsInsert) DatabaseError(mtmsg::NotInEditMode);
  }
  record_ = table->ActiveRecord();
  if (!record_) return;
  if (mode == bmWrite) {
    store->SetBlobBytes(record_, field, nullptr);
    return;
  }
  std::string bytes;
  if (!store->BlobBytes(record_, field, bytes) || bytes.empty()) return;
  if (table->OnDecompressBlobStream) {
    TMemoryStream compressed;
    compressed.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    compressed.SetPosition(0);
    table->OnDecompressBlobStream(compressed, *this);
    SetModified(false);
    SetPosition(0);
  } else {
    LoadValue(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
}

TmtBlobStream::~TmtBlobStream() {
  if (!Modified() || !record_) return;
  try {
    StoreValue();
  } catch (const std::exception& e) {
    ApplicationHandleException(table_, e);
  } catch (...) {
    // Nothing may leave a destructor.
  }
}

void TmtBlobStream::StoreValue() {
  TmtCommon* store = table_->Store();
  std::string bytes;
  if (table_->OnCompressBlobStream) {
    TMemoryStream compressed;
    SetPosition(0);
    table_->OnCompressBlobStream(*this, compressed);
    bytes.assign(static_cast<const char*>(compressed.Memory()), static_cast<std::size_t>(compressed.Size()));
  } else {
    bytes.assign(static_cast<const char*>(Memory()), static_cast<std::size_t>(Size()));
  }
  {
    TCriticalSectionGuard guard(store->Lock());
    store->SetBlobBytes(record_, Field(), &bytes);
    store->SetFieldModified(Field()->FieldNo());
  }
  table_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field()));
}
