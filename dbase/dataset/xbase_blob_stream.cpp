// THCBlobStream: a memo or blob value of a TXbaseDataSet record, loaded
// when the stream is made and written to the memo file when a written
// stream goes during an edit or insert.
#include "dbase/dataset/xbase_blob_stream.h"

#include <exception>

#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/os_layer.h"
#include "platform/db/db_errors.h"
#include "platform/db/fields.h"

THCBlobStream::THCBlobStream(TXbaseDataSet* dataSet, TField* field, TBlobStreamMode mode)
    : TBlobFieldStream(field, mode), dataSet_(dataSet), fieldNumber_(field->FieldNo()) {
  if (mode != bmRead) {
    if (field->ReadOnly()) DatabaseErrorFmt(dbmsg::FieldReadOnly, field->DisplayName());
    if (dataSet->State() != dsEdit && dataSet->State() != dsInsert) DatabaseError(dbmsg::NotEditing);
  }
  if (mode == bmWrite) return;
  TRecordBuffer record = dataSet->GetActiveRecordBuffer();
  if (!record || !dataSet->table_) return;
  DBFObject& table = *dataSet->table_;
  AnsiString text;
  {
    TxbRecordBufferRedirect redirect(table, record);
    if (table.MemoBlock(fieldNumber_) != 0) text = table.GetMemoText(fieldNumber_);
  }
  if (field->Transliterate() && dataSet->TranslateASCII()) text = OemToAnsi(text);
  LoadValue(text.data(), static_cast<int64_t>(text.size()));
}

THCBlobStream::~THCBlobStream() {
  if (!Modified()) return;
  const TDataSetState state = dataSet_->State();
  if (state != dsEdit && state != dsInsert) return;
  try {
    Store();
  } catch (const std::exception& error) {
    dataSet_->InternalHandleException(error);
  }
}

int64_t THCBlobStream::Write(const void* buffer, int64_t count) {
  // What follows the position is replaced, not overwritten in place.
  SetSize(Position());
  if (Mode() != bmRead) SetModified(true);
  return TBlobFieldStream::Write(buffer, count);
}

void THCBlobStream::Store() {
  TXbaseDataSet& dataSet = *dataSet_;
  if (!dataSet.table_ || !dataSet.ActiveBuffer()) return;
  AnsiString text(static_cast<const char*>(Memory()), static_cast<std::size_t>(Size()));
  if (Field()->Transliterate() && dataSet.TranslateASCII()) text = AnsiToOem(text);
  // The memo write compares with the stored record: the engine must stand
  // on the record under edit.
  if (dataSet.State() == dsEdit) dataSet.PositionOnActive();
  {
    TxbRecordBufferRedirect redirect(*dataSet.table_, dataSet.ActiveBuffer());
    dataSet.table_->PutMemo(fieldNumber_, text.data(), static_cast<int64_t>(text.size()));
  }
  if (auto* blob = dynamic_cast<TBlobField*>(Field())) blob->SetModified(true);
  dataSet.DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field()));
}
