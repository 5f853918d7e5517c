// TmtBlobStream: the stream through which a blob field of an in-memory
// table is read and written. Reading modes load the value of the active
// record (its own block, or the stored record's) when the stream is made;
// a written stream stores its bytes back into the active record when it
// goes (empty: null), through the table's blob compression events.
#pragma once

#include "memtable/record_store.h"
#include "platform/db/blob.h"

class TmtCustomMemTable;

class TmtBlobStream : public TBlobFieldStream {
 public:
  // Writing modes raise "Field %s is read only" for a read-only field
  // (outside a load) and "Dataset is not in edit mode." outside edit and
  // insert.
  TmtBlobStream(TmtCustomMemTable* table, TField* field, TBlobStreamMode mode);
  // Stores a written value; a failure goes to the application's handler.
  ~TmtBlobStream() override;

 private:
  void StoreValue();

  TmtCustomMemTable* table_;
  PMemRecord record_ = nullptr;
};
