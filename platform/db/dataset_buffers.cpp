// The record-buffer window of TDataSet and the moves over it: fetching the
// next and prior records into the spare buffer, shifting the window, moving
// by a distance, First/Last, Resync and the buffer count the links ask for.
//
// Fetch rules: GetNextRecord and GetPriorRecord leave ActiveRecord naming
// the same record (only indices shift); MoveBy then steps onto the new
// record. Every shift of buffer indices moves every link's first record by
// the same amount, so the links' rows keep naming their records; a refill
// keeps each link's distance from the active record instead.
#include <algorithm>

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"

void TDataSet::AllocateBuffers() {
  if (bufferCount_ < 1) bufferCount_ = 1;
  buffers_.reserve(static_cast<std::size_t>(bufferCount_) + 1);
  while (static_cast<int>(buffers_.size()) < bufferCount_ + 1) buffers_.push_back(AllocRecordBuffer());
  if (!tempBuffer_) tempBuffer_ = AllocRecordBuffer();
  if (!oldValueBuffer_) oldValueBuffer_ = AllocRecordBuffer();
  ClearBuffers();
}

void TDataSet::FreeBuffers() {
  for (TRecordBuffer& b : buffers_)
    if (b) FreeRecordBuffer(b);
  buffers_.clear();
  if (tempBuffer_) FreeRecordBuffer(tempBuffer_);
  if (oldValueBuffer_) FreeRecordBuffer(oldValueBuffer_);
  tempBuffer_ = nullptr;
  oldValueBuffer_ = nullptr;
  oldValueMode_ = OldValueMode::None;
  calcBuffer_ = nullptr;
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
}

void TDataSet::UpdateBufferCount() {
  if (!IsCursorOpen() || buffers_.empty()) return;
  int wanted = 1;
  for (TDataSource* source : dataSources_) {
    if (!source->Enabled()) continue;
    for (TDataLink* link : source->links_) wanted = std::max(wanted, link->bufferCount_);
  }
  SetBufferCount(wanted);
}

void TDataSet::SetBufferCount(int count) {
  if (count < 1) count = 1;
  if (count == bufferCount_) return;
  if (count < bufferCount_ && recordCount_ > 0) {
    // Keep a window of count records that still holds the active record.
    int drop = std::max(0, activeRecord_ - (count - 1));
    for (int i = 0; i < drop; ++i) MoveBuffer(0, bufferCount_);
    activeRecord_ -= drop;
    if (currentRecord_ >= 0) currentRecord_ -= drop;
    recordCount_ = std::min(recordCount_ - drop, count);
    if (currentRecord_ < 0 || currentRecord_ >= recordCount_) currentRecord_ = -1;
    ShiftLinks(-drop);
  }
  int oldSize = static_cast<int>(buffers_.size());
  int newSize = count + 1;
  for (int i = newSize; i < oldSize; ++i) FreeRecordBuffer(buffers_[static_cast<std::size_t>(i)]);
  if (newSize < oldSize) buffers_.resize(static_cast<std::size_t>(newSize));
  while (static_cast<int>(buffers_.size()) < newSize) buffers_.push_back(AllocRecordBuffer());
  bool grew = count > bufferCount_;
  bufferCount_ = count;
  if (grew && recordCount_ > 0) {
    GetNextRecords();
    GetPriorRecords();
  }
}

void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  auto begin = buffers_.begin();
  if (from < to)
    std::rotate(begin + from, begin + from + 1, begin + to + 1);
  else
    std::rotate(begin + to, begin + from, begin + from + 1);
}

void TDataSet::ClearBuffers() {
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  recordCount_ = 1;
  activeRecord_ = 0;
  currentRecord_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::ShiftLinks(int delta) {
  if (delta == 0) return;
  for (TDataSource* source : dataSources_)
    for (TDataLink* link : source->links_) link->firstRecord_ += delta;
}

std::vector<TDataSet::LinkPosition> TDataSet::SaveLinkPositions() const {
  std::vector<LinkPosition> saved;
  for (TDataSource* source : dataSources_)
    for (TDataLink* link : source->links_)
      saved.push_back({link, activeRecord_ - link->firstRecord_});
  return saved;
}

void TDataSet::RestoreLinkPositions(const std::vector<LinkPosition>& saved) {
  for (const LinkPosition& p : saved) {
    // Links that left meanwhile are gone from every source; skip them.
    for (TDataSource* source : dataSources_) {
      if (std::find(source->links_.begin(), source->links_.end(), p.link) != source->links_.end()) {
        p.link->firstRecord_ = activeRecord_ - p.offset;
        break;
      }
    }
  }
}

void TDataSet::SetCurrentRecord(int index) {
  if (currentRecord_ == index) return;
  TRecordBuffer buffer = buffers_[static_cast<std::size_t>(index)];
  switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted: InternalSetToRecord(buffer); break;
    case bfBOF: InternalFirst(); break;
    case bfEOF: InternalLast(); break;
  }
  currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord() {
  TGetMode mode = gmNext;
  if (recordCount_ > 0) {
    SetCurrentRecord(recordCount_ - 1);
    // The cursor of an inserted buffer stands on the record it was inserted
    // before; that record itself comes next.
    if (state_ == dsInsert && currentRecord_ == activeRecord_ &&
        GetBookmarkFlag(ActiveBuffer()) == bfInserted)
      mode = gmCurrent;
  }
  TGetResult result = GetRecord(buffers_[static_cast<std::size_t>(recordCount_)], mode, true);
  if (result != grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) {
    ActivateBuffers();
  } else if (recordCount_ < bufferCount_) {
    ++recordCount_;
  } else {
    MoveBuffer(0, recordCount_);
    --activeRecord_;
    ShiftLinks(-1);
  }
  currentRecord_ = recordCount_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (recordCount_ > 0) SetCurrentRecord(0);
  TGetResult result = GetRecord(buffers_[static_cast<std::size_t>(recordCount_)], gmPrior, true);
  if (result != grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(recordCount_, 0);
    ShiftLinks(1);
    if (recordCount_ < bufferCount_) ++recordCount_;
    // The active record's index moves with its buffer; in a full window
    // that may be the spare one (MoveBy steps onto the new record next).
    ++activeRecord_;
  }
  currentRecord_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int n = 0;
  while (recordCount_ < bufferCount_ && GetNextRecord()) ++n;
  return n;
}

int TDataSet::GetPriorRecords() {
  int n = 0;
  while (recordCount_ < bufferCount_ && GetPriorRecord()) ++n;
  return n;
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    try {
      if (distance > 0) {
        int inWindow = std::max(0, std::min(recordCount_ - 1 - activeRecord_, distance));
        activeRecord_ += inWindow;
        moved += inWindow;
        distance -= inWindow;
        while (distance > 0 && GetNextRecord()) {
          ++activeRecord_;
          ++moved;
          --distance;
        }
        if (distance > 0) eof_ = true;
      } else {
        int inWindow = std::max(0, std::min(activeRecord_, -distance));
        activeRecord_ -= inWindow;
        moved -= inWindow;
        distance += inWindow;
        while (distance < 0 && GetPriorRecord()) {
          --activeRecord_;
          --moved;
          ++distance;
        }
        if (distance < 0) bof_ = true;
      }
    } catch (...) {
      DataEvent(deDataSetScroll, 0);
      throw;
    }
    DataEvent(deDataSetScroll, 0);
    DoAfterScroll();
  }
  return moved;
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  std::vector<LinkPosition> links = SaveLinkPositions();
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
  } catch (...) {
    bof_ = true;
    RestoreLinkPositions(links);
    DataEvent(deDataSetChange, 0);
    throw;
  }
  bof_ = true;
  RestoreLinkPositions(links);
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  std::vector<LinkPosition> links = SaveLinkPositions();
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecord();
    GetPriorRecords();
  } catch (...) {
    eof_ = true;
    RestoreLinkPositions(links);
    DataEvent(deDataSetChange, 0);
    throw;
  }
  eof_ = true;
  RestoreLinkPositions(links);
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Resync(TResyncMode mode) {
  TRecordBuffer spare = buffers_[static_cast<std::size_t>(recordCount_)];
  if (mode.Contains(rmExact)) {
    CursorPosChanged();
    if (GetRecord(spare, gmCurrent, true) != grOK) DatabaseError(dbmsg::RecordNotFound);
  } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
             GetRecord(spare, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  std::vector<LinkPosition> links = SaveLinkPositions();
  int before = mode.Contains(rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
  MoveBuffer(recordCount_, 0);
  ActivateBuffers();
  try {
    while (before > 0 && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    RestoreLinkPositions(links);
    DataEvent(deDataSetChange, 0);
    throw;
  }
  RestoreLinkPositions(links);
  DataEvent(deDataSetChange, 0);
}
