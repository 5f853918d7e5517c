// The common shape of a dataset's blob stream: a memory stream over one
// blob field's value in the current record, opened in one of the modes of
// TBlobStreamMode. The dataset loads the value when the stream is created
// and stores it when the stream goes (only when it was written to in a
// writing mode). TBlobField reads and writes whole values through it.
#pragma once

#include <cstdint>

#include "platform/db/db_types.h"
#include "platform/rtl/streams.h"

class TField;

class TBlobFieldStream : public TMemoryStream {
 public:
  // A bmWrite stream starts empty and counts as written: closing it at once
  // stores an empty value.
  TBlobFieldStream(TField* field, TBlobStreamMode mode)
      : field_(field), mode_(mode), modified_(mode == bmWrite) {}

  TField* Field() const { return field_; }
  TBlobStreamMode Mode() const { return mode_; }
  // The value must be stored when the stream goes (bmWrite, or written to
  // in bmReadWrite).
  bool Modified() const { return modified_; }

  int64_t Write(const void* buffer, int64_t count) override;

 protected:
  // Puts the stored value into the stream (position 0, not modified).
  void LoadValue(const void* data, int64_t size);
  void SetModified(bool modified) { modified_ = modified; }

 private:
  TField* field_;
  TBlobStreamMode mode_;
  bool modified_;
};
