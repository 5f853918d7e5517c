// Record buffers, fetching over the current index, counts, record numbers
// and bookmarks of the in-memory table.
#include <cstring>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_compare.h"

namespace {

int32_t LoadInt32(const char* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void StoreInt32(char* p, int32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

// ------------------------------------------------------------- buffers

TRecordBuffer TmtCustomMemTable::AllocRecordBuffer() {
  return reinterpret_cast<TRecordBuffer>(store_->NewRecordBlock());
}

void TmtCustomMemTable::FreeRecordBuffer(TRecordBuffer& buffer) {
  // Value blocks a buffer still holds (an edit never posted) go with it.
  store_->FreeRecordBlock(Buf(buffer));
  buffer = nullptr;
}

int TmtCustomMemTable::GetRecordSize() const { return store_->RecordSize(); }

void TmtCustomMemTable::InternalInitRecord(TRecordBuffer buffer) {
  store_->FreeVarValues(Buf(buffer));
  store_->ResetRecordHeader(Buf(buffer));
}

void TmtCustomMemTable::ClearCalcFields(TRecordBuffer buffer) {
  if (CalcFieldsSize() > 0)
    std::memset(TmtCommon::RecordData(Buf(buffer)) + store_->CalcAreaStart(), 0,
                static_cast<std::size_t>(CalcFieldsSize()));
}

// --------------------------------------------------------------- fetch

void TmtCustomMemTable::FetchInto(PMemRecord buffer, PMemRecord stored) {
  store_->FreeVarValues(buffer);
  store_->ResetRecordHeader(buffer);
  store_->CopyRecordImage(stored, buffer);
  buffer->position = cursor_;
  buffer->slot = stored->slot;
  buffer->uniqueNumber = stored->uniqueNumber;
  char* entry = BookmarkEntryOf(buffer);
  StoreInt32(entry, stored->slot);
  StoreInt32(entry + 4, stored->uniqueNumber);
  entry[8] = static_cast<char>(bfCurrent);
  buffer->stored = 0;
}

TGetResult TmtCustomMemTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool check) {
  TGetResult result = grOK;
  {
    TCriticalSectionGuard guard(store_->Lock());
    int count = EntryCount();
    switch (mode) {
      case gmNext:
        for (;;) {
          if (cursor_ < count) ++cursor_;
          if (cursor_ >= count) {
            cursor_ = count;
            result = grEOF;
            break;
          }
          if (AcceptRecord(EntryAt(cursor_), false)) break;
        }
        break;
      case gmPrior:
        for (;;) {
          if (cursor_ >= 0) --cursor_;
          if (cursor_ < 0) {
            cursor_ = -1;
            result = grBOF;
            break;
          }
          if (cursor_ >= count) cursor_ = count - 1;
          if (AcceptRecord(EntryAt(cursor_), false)) break;
        }
        break;
      case gmCurrent:
        if (cursor_ >= count)
          result = grEOF;
        else if (cursor_ < 0)
          result = grBOF;
        else if (!AcceptRecord(EntryAt(cursor_), false))
          result = grEOF;
        break;
    }
    if (result == grOK) FetchInto(Buf(buffer), EntryAt(cursor_));
  }
  if (result == grOK) {
    if (recalcOnFetch_) CalculateFields(buffer);
  } else if (check && mode == gmCurrent) {
    DatabaseError(dbmsg::RecordNotFound);
  }
  return result;
}

void TmtCustomMemTable::InternalFirst() { cursor_ = -1; }

void TmtCustomMemTable::InternalLast() {
  TCriticalSectionGuard guard(store_->Lock());
  cursor_ = EntryCount();
}

// ---------------------------------------------------------------- counts

int TmtCustomMemTable::GetRecordCount() const {
  CheckActive();
  auto* self = const_cast<TmtCustomMemTable*>(this);
  TCriticalSectionGuard guard(self->store_->Lock());
  if (!AcceptTestActive()) return EntryCount();
  int count = 0;
  for (int i = 0; i < EntryCount(); ++i)
    if (self->AcceptRecord(EntryAt(i), false)) ++count;
  return count;
}

int TmtCustomMemTable::GetRecNo() const {
  if (!Active()) return -1;
  TRecordBuffer active = GetActiveRecordBuffer();
  if (!active || BufferedRecordCount() == 0 || EntryCount() == 0) return -1;
  int position = Buf(ActiveBuffer())->position;
  return position < 0 ? -1 : position + 1;
}

void TmtCustomMemTable::SetRecNo(int recNo) {
  TDataSet::SetRecNo(recNo);
  int count;
  {
    TCriticalSectionGuard guard(store_->Lock());
    count = EntryCount();
  }
  int present = GetRecNo();
  if (recNo > 0 && recNo <= count && recNo != present) {
    if (present < 0) {
      // No record shown: start from the top.
      First();
      present = GetRecNo();
      if (present < 0 || present == recNo) return;
    }
    MoveBy(recNo - present);
  }
}

void TmtCustomMemTable::SetBlockReadSize(int size) {
  if (size > 0 || size < -1) {
    // The walk itself reads on: moving here would skip the record a block
    // read starts on.
    TDataSet::SetBlockReadSize(size);
  } else {
    TDataSet::SetBlockReadSize(0);
    if (Active()) {
      CursorPosChanged();
      Resync({});
    }
  }
}

TUpdateStatus TmtCustomMemTable::GetUpdateStatus() const {
  if (PMemRecord active = ActiveRecord()) return static_cast<TUpdateStatus>(active->updateStatus);
  return TDataSet::GetUpdateStatus();
}

// ------------------------------------------------------------- bookmarks

void TmtCustomMemTable::GetBookmarkData(TRecordBuffer buffer, void* data) const {
  std::memcpy(data, BookmarkEntryOf(Buf(buffer)), 8);
}

void TmtCustomMemTable::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(BookmarkEntryOf(Buf(buffer)), data, 8);
}

TBookmarkFlag TmtCustomMemTable::GetBookmarkFlag(TRecordBuffer buffer) const {
  return static_cast<TBookmarkFlag>(BookmarkEntryOf(Buf(buffer))[8]);
}

void TmtCustomMemTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  BookmarkEntryOf(Buf(buffer))[8] = static_cast<char>(flag);
}

PMemRecord TmtCustomMemTable::BookmarkRecord(const void* bookmark) const {
  if (!bookmark) return nullptr;
  const char* p = static_cast<const char*>(bookmark);
  return store_->ResolveBookmark(LoadInt32(p), LoadInt32(p + 4));
}

void TmtCustomMemTable::InternalGotoBookmark(const void* bookmark) {
  TCriticalSectionGuard guard(store_->Lock());
  PMemRecord record = BookmarkRecord(bookmark);
  // A missing or stale bookmark (its record deleted, the slot perhaps
  // reused) leaves the cursor where it is.
  if (!record) throw EMemTableError(Format(mtmsg::BookmarkNotFound, -200));
  int position = currentIndex_->FindRecordPosition(record, true);
  if (position >= 0) cursor_ = position;
}

void TmtCustomMemTable::InternalSetToRecord(TRecordBuffer buffer) {
  TCriticalSectionGuard guard(store_->Lock());
  PMemRecord b = Buf(buffer);
  // An appended record has no neighbour yet: the cursor goes past the end.
  TBookmarkFlag flag = GetBookmarkFlag(buffer);
  if (flag == bfEOF) {
    cursor_ = EntryCount();
    return;
  }
  if (flag == bfBOF) {
    cursor_ = -1;
    return;
  }
  PMemRecord record = BookmarkRecord(BookmarkEntryOf(b));
  if (!record) return;
  if (b->position >= 0 && b->position < EntryCount() && EntryAt(b->position) == record) {
    cursor_ = b->position;
    return;
  }
  int position = currentIndex_->FindRecordPosition(record, true);
  if (position >= 0) cursor_ = position;
}

bool TmtCustomMemTable::BookmarkValid(const TBookmark& bookmark) {
  if (static_cast<int>(bookmark.size()) != BookmarkSize()) return false;
  TCriticalSectionGuard guard(store_->Lock());
  PMemRecord record = BookmarkRecord(bookmark.data());
  return record != nullptr && record->updateStatus != usDeleted;
}

int TmtCustomMemTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  TCriticalSectionGuard guard(store_->Lock());
  PMemRecord ra = static_cast<int>(a.size()) == BookmarkSize() ? BookmarkRecord(a.data()) : nullptr;
  PMemRecord rb = static_cast<int>(b.size()) == BookmarkSize() ? BookmarkRecord(b.data()) : nullptr;
  // Missing and stale bookmarks sort after every present one.
  if (!ra || !rb) return !ra && !rb ? 0 : !rb ? -1 : 1;
  if (ra == rb) return 0;
  int r;
  if (currentIndex_->RowOrder()) {
    r = ra->slot < rb->slot ? -1 : 1;
  } else {
    r = IndexCompare(this, currentIndex_->FieldList(), ra, rb, false, true, CompareUse::Order);
    if (r == 0) {
      int pa = currentIndex_->FindRecordPosition(ra, true);
      int pb = currentIndex_->FindRecordPosition(rb, true);
      r = pa < pb ? -1 : pa > pb ? 1 : 0;
    }
    if (r == 0) r = ra->slot < rb->slot ? -1 : ra->slot > rb->slot ? 1 : 0;
  }
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

// --------------------------------------------------------- active record

PMemRecord TmtCustomMemTable::ActiveRecord() const {
  if (evaluationRecord_) return evaluationRecord_;
  switch (State()) {
    case dsBrowse:
      return BufferedRecordCount() > 0 ? Buf(ActiveBuffer()) : nullptr;
    case dsSetKey:
      return keyBuffers_[currentKeyBuffer_];
    case dsCalcFields:
    case dsInternalCalc:
      return Buf(CalcBuffer());
    case dsFilter:
      return filterRecord_;
    case dsOldValue: {
      PMemRecord active = BufferedRecordCount() > 0 ? Buf(ActiveBuffer()) : nullptr;
      if (!active) return nullptr;
      PMemRecord stored = store_->Record(active->slot);
      return stored ? stored : active;
    }
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsCurValue:
    case dsBlockRead:
      return Buf(ActiveBuffer());
    default:
      return nullptr;
  }
}

TRecordBuffer TmtCustomMemTable::GetActiveRecordBuffer() const {
  return reinterpret_cast<TRecordBuffer>(ActiveRecord());
}
