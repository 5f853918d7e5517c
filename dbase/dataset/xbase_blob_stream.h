// THCBlobStream: the value of one memo or blob field of a TXbaseDataSet's
// current record as a memory stream.
//
// Reading modes load the memo text of the record in the state's buffer
// (translated OEM -> ANSI when the field transliterates and the dataset
// translates). A write keeps the bytes before the position, drops the rest
// and appends. When a written stream goes while its dataset is in edit or
// insert state, the text (translated back to OEM) is written to the memo
// file at once; the new block number lands in the record buffer, the field
// is marked modified and its change event fires. An empty text stores block
// 0. The stored record keeps pointing at its old memo until the record is
// posted, so a cancelled edit leaves it intact (the blocks written for the
// cancelled edit stay allocated in the memo file).
#pragma once

#include <cstdint>

#include "platform/db/blob.h"

class TXbaseDataSet;

class THCBlobStream : public TBlobFieldStream {
 public:
  // A writing mode raises "Field '%s' cannot be modified" on a read-only
  // field and "Dataset not in edit or insert mode" outside edit and insert.
  THCBlobStream(TXbaseDataSet* dataSet, TField* field, TBlobStreamMode mode);
  // Writes a modified value (see above). Errors cannot leave a destructor:
  // they go to the application's exception handler.
  ~THCBlobStream() override;

  int64_t Write(const void* buffer, int64_t count) override;

 private:
  void Store();

  TXbaseDataSet* dataSet_;
  int fieldNumber_;
};
