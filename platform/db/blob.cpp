#include "platform/db/blob.h"

int64_t TBlobFieldStream::Write(const void* buffer, int64_t count) {
  int64_t written = TMemoryStream::Write(buffer, count);
  if (mode_ != bmRead && written > 0) modified_ = true;
  return written;
}

void TBlobFieldStream::LoadValue(const void* data, int64_t size) {
  Clear();
  if (size > 0) TMemoryStream::Write(data, size);
  Seek(0, TSeekOrigin::soBeginning);
}
