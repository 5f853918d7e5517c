// Index sorting, searching and maintenance.
#include "memtable/indexes.h"

#include <algorithm>
#include <utility>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_compare.h"
#include "platform/db/field_defs.h"

namespace {

// Searches of up to this many entries scan instead of bisecting.
constexpr int kSequentialLimit = 20;

}  // namespace

// ------------------------------------------------------------- TmtIndex

TmtIndex::TmtIndex(TmtCustomMemTable* table, const AnsiString& name)
    : name_(name), table_(table) {
  sorted_ = table->Store()->RecordCount() == 0;
}

void TmtIndex::SetFieldNames(const AnsiString& names) {
  fieldNames_ = names;
  table_->ParseFieldList(fieldList_, names);
}

bool TmtIndex::Accepts(PMemRecord record) {
  if (!table_->OnFilterIndex) return true;
  PMemRecord saved = table_->EvaluationRecord();
  table_->SetEvaluationRecord(record);
  bool accept = true;
  try {
    table_->OnFilterIndex(table_, this, accept);
  } catch (...) {
    table_->SetEvaluationRecord(saved);
    throw;
  }
  table_->SetEvaluationRecord(saved);
  return accept;
}

void TmtIndex::Clear() {
  entries_.Clear();
  sorted_ = false;
}

int TmtIndex::OrderCompare(PMemRecord a, PMemRecord b) {
  int r = CompareRecords(table_, a, b, fieldList_, 0, false, false, CompareUse::Order);
  if (r != 0) return r;
  // Equal keys stand in slot order whatever the records carry.
  r = a->slot < b->slot ? -1 : a->slot > b->slot ? 1 : 0;
  if (fieldList_.Count() > 0 && (fieldList_.OptionsAt(0) & mtcoDescending)) r = -r;
  return r;
}

void TmtIndex::SortEntries() {
  std::vector<PMemRecord> v = entries_.ToVector();
  auto less = [this](PMemRecord a, PMemRecord b) { return OrderCompare(a, b) < 0; };
  auto greater = [this](PMemRecord a, PMemRecord b) { return OrderCompare(a, b) > 0; };
  // Quicksort with median of three over runs of 5 and more, then one
  // insertion sort. Both partition scans stop at the run's ends, so even a
  // comparator that contradicts itself cannot lead outside the list.
  std::vector<std::pair<int, int>> pending;
  if (v.size() > 1) pending.emplace_back(0, static_cast<int>(v.size()) - 1);
  while (!pending.empty()) {
    auto [lo, hi] = pending.back();
    pending.pop_back();
    while (hi - lo >= 5) {
      int mid = lo + (hi - lo) / 2;
      if (greater(v[lo], v[mid])) std::swap(v[lo], v[mid]);
      if (greater(v[lo], v[hi])) std::swap(v[lo], v[hi]);
      if (greater(v[mid], v[hi])) std::swap(v[mid], v[hi]);
      std::swap(v[mid], v[hi - 1]);
      PMemRecord pivot = v[hi - 1];
      int i = lo;
      int j = hi - 1;
      for (;;) {
        do ++i; while (i < hi - 1 && less(v[i], pivot));
        do --j; while (j > lo && greater(v[j], pivot));
        if (j <= i) break;
        std::swap(v[i], v[j]);
      }
      std::swap(v[i], v[hi - 1]);
      // Continue with the larger part, keep the smaller: bounded depth.
      if (i - lo < hi - i) {
        pending.emplace_back(i + 1, hi);
        hi = i - 1;
      } else {
        pending.emplace_back(lo, i - 1);
        lo = i + 1;
      }
    }
  }
  for (std::size_t k = 1; k < v.size(); ++k) {
    PMemRecord item = v[k];
    std::size_t m = k;
    while (m > 0 && greater(v[m - 1], item)) {
      v[m] = v[m - 1];
      --m;
    }
    v[m] = item;
  }
  entries_.Assign(v);
  sorted_ = true;
}

void TmtIndex::Rebuild() {
  TmtCommon* store = table_->Store();
  TCriticalSectionGuard guard(store->Lock());
  if (!table_->CursorIsOpen()) {
    sorted_ = true;
    return;
  }
  if (!keepEntries_) {
    entries_.Clear();
    sorted_ = false;
    std::vector<PMemRecord> all;
    all.reserve(static_cast<std::size_t>(store->RecordCount()));
    for (int slot = 0; slot < store->RecordCount(); ++slot)
      if (PMemRecord record = store->Record(slot); record && Accepts(record)) all.push_back(record);
    entries_.Assign(all);
  }
  if (sortable_ && !entries_.Empty()) {
    table_->ReportProgress(0, mtpcSort);
    SortEntries();
    if (options_.Contains(ixUnique)) {
      for (int i = 1; i < entries_.Count(); ++i)
        if (CompareRecords(table_, entries_.At(i - 1), entries_.At(i), fieldList_, 0, false, false,
                           CompareUse::Order) == 0) {
          sorted_ = false;
          MemTableError(mtmsg::DuplicateIndexValue);
        }
    }
    table_->ReportProgress(100, mtpcSort);
  }
  sorted_ = true;
  if (table_->CurrentIndex() == this && table_->cursor_ >= entries_.Count())
    table_->cursor_ = entries_.Count() - 1;
}

TmtFindResult TmtIndex::FindRecordByKey(const TmtFieldList* list, PMemRecord key,
                                        bool onlyAccepted, bool nearest) {
  TCriticalSectionGuard guard(table_->Store()->Lock());
  const TmtFieldList& fields = list ? *list : fieldList_;
  TmtFindResult found;
  int count = entries_.Count();
  table_->ReportProgress(0, mtpcSearch);
  // A null key field with "ignore null key" matches any value there, so the
  // matches need not stand together in the index order: only a scan finds
  // the first of them.
  bool skipsFields = false;
  for (int i = 0; i < fields.Count() && !skipsFields; ++i)
    skipsFields = (fields.OptionsAt(i) & mtcoIgnoreNullKey) &&
                  !table_->Store()->ReadField(key, fields.FieldAt(i), nullptr);
  if (!sorted_ || rowOrder_ || count <= kSequentialLimit || skipsFields) {
    for (int i = 0; i < count; ++i) {
      if (i > 0 && i % 100 == 0)
        table_->ReportProgress(static_cast<int>(static_cast<int64_t>(i) * 100 / count), mtpcSearch);
      PMemRecord record = entries_.At(i);
      if (table_->RecalcOnIndex()) table_->RecalculateRecord(record);
      found.result = IndexCompare(table_, fields, key, record, nearest, false, CompareUse::Search);
      if ((found.result == 0 && (!onlyAccepted || table_->AcceptRecord(record, false))) ||
          (nearest && found.result < 0)) {
        found.position = i;
        break;
      }
    }
  } else {
    int lo = 0;
    int hi = count - 1;
    while (lo <= hi) {
      int mid = lo + (hi - lo) / 2;
      found.result =
          IndexCompare(table_, fields, key, entries_.At(mid), false, false, CompareUse::Search);
      if (found.result < 0) {
        hi = mid - 1;
      } else if (found.result > 0) {
        lo = mid + 1;
      } else {
        // Back to the first equal entry: entries before it sort before the
        // key, so the first equal one is found by bisection rather than by
        // stepping back over every duplicate.
        int first = lo;
        int last = mid;
        while (first < last) {
          int m = first + (last - first) / 2;
          if (IndexCompare(table_, fields, key, entries_.At(m), nearest, false,
                           CompareUse::Search) > 0)
            first = m + 1;
          else
            last = m;
        }
        lo = first;
        found.result = 0;
        break;
      }
    }
    if (lo < count && onlyAccepted && table_->AcceptTestActive()) {
      int r = 1;
      for (; lo < count; ++lo) {
        PMemRecord record = entries_.At(lo);
        r = IndexCompare(table_, fields, key, record, nearest, false, CompareUse::Search);
        if (!(r == 0 || (nearest && r < 0))) {
          lo = count;
          r = 1;
          break;
        }
        if (table_->AcceptRecord(record, false)) break;
      }
      if (lo >= count) r = 1;
      found.result = r;
    }
    found.position = lo;
  }
  table_->ReportProgress(100, mtpcSearch);
  return found;
}

int TmtIndex::FindRecordPosition(PMemRecord record, bool nearest) {
  TCriticalSectionGuard guard(table_->Store()->Lock());
  int count = entries_.Count();
  int start = 0;
  if (sorted_ && count > kSequentialLimit) {
    if (rowOrder_) {
      int lo = 0;
      int hi = count - 1;
      while (lo <= hi) {
        int mid = (lo + hi + 1) / 2;
        int slot = entries_.At(mid)->slot;
        if (slot == record->slot) return mid;
        if (slot < record->slot)
          lo = mid + 1;
        else
          hi = mid - 1;
      }
    } else {
      // Equal keys stand in slot order: the record is at or after the first
      // entry of its key.
      int lo = 0;
      int hi = count;
      while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (CompareRecords(table_, entries_.At(mid), record, fieldList_, 0, false, false,
                           CompareUse::Order) < 0)
          lo = mid + 1;
        else
          hi = mid;
      }
      start = lo;
      (void)nearest;
    }
  }
  for (int i = start; i < count; ++i) {
    if (i > start && (i - start) % 100 == 0 && count > 0)
      table_->ReportProgress(static_cast<int>(static_cast<int64_t>(i - start) * 100 / count),
                             mtpcSearch);
    if (entries_.At(i)->slot == record->slot) return i;
  }
  // Not where its key says (an unsorted stretch): look at the rest.
  for (int i = 0; i < start && i < count; ++i)
    if (entries_.At(i)->slot == record->slot) return i;
  return -1;
}

int TmtIndex::InsertPosition(PMemRecord record) {
  int lo = 0;
  int hi = entries_.Count();
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (OrderCompare(entries_.At(mid), record) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// ------------------------------------------------------------ TmtIndexes

TmtIndexes::TmtIndexes(TmtCustomMemTable* table) : table_(table) {
  auto rowOrder = std::make_unique<TmtIndex>(table, kRowOrderIndexName);
  rowOrder->kind_ = 1;
  rowOrder->sortable_ = false;
  rowOrder->rowOrder_ = true;
  rowOrder_ = Add(std::move(rowOrder));
}

TmtIndexes::~TmtIndexes() = default;

TmtIndex* TmtIndexes::Add(std::unique_ptr<TmtIndex> index) {
  index->number_ = Count();
  list_.push_back(std::move(index));
  return list_.back().get();
}

TmtIndex* TmtIndexes::FindByName(std::string_view name) const {
  for (const auto& index : list_)
    if (SameText(index->Name(), name)) return index.get();
  return nullptr;
}

TmtIndex* TmtIndexes::FindByFieldNames(std::string_view names) const {
  for (const auto& index : list_)
    if (!index->RowOrder() && SameText(index->FieldNames(), names)) return index.get();
  return nullptr;
}

TmtIndex* TmtIndexes::CreateFromDef(const TIndexDef& def) {
  if (def.Name().empty() || def.Fields().empty()) MemTableError(mtmsg::MissingIndexDef);
  auto index = std::make_unique<TmtIndex>(table_, def.Name());
  index->SetOptions(def.Options());
  index->SetFieldNames(def.Fields());
  for (int i = 0; i < index->fieldList_.Count(); ++i) {
    TmtMemTableCompareOptions o = index->fieldList_.OptionsAt(i);
    if (def.Options().Contains(ixDescending)) o |= mtcoDescending;
    if (def.Options().Contains(ixCaseInsensitive)) o |= mtcoCaseInsensitive;
    index->fieldList_.SetOptions(i, o);
  }
  return Add(std::move(index));
}

void TmtIndexes::Remove(TmtIndex* index) {
  if (!index || index == rowOrder_) return;
  auto it = std::find_if(list_.begin(), list_.end(),
                         [index](const std::unique_ptr<TmtIndex>& p) { return p.get() == index; });
  if (it == list_.end()) return;
  if (table_->currentIndex_ == index) {
    table_->currentIndex_ = rowOrder_;
    table_->indexFields_.Clear();
  }
  list_.erase(it);
  for (int i = 0; i < Count(); ++i) list_[static_cast<std::size_t>(i)]->number_ = i;
}

void TmtIndexes::RemoveAllButRowOrder() {
  while (Count() > 1) Remove(list_.back().get());
  rowOrder_->Clear();
  table_->currentIndex_ = rowOrder_;
  table_->indexFields_.Clear();
}

void TmtIndexes::EmptyAll() {
  for (auto& index : list_) index->Clear();
}

void TmtIndexes::RebuildAll() {
  for (auto& index : list_) index->Rebuild();
}

void TmtIndexes::MarkAllDirty() {
  for (auto& index : list_) index->sorted_ = false;
}

void TmtIndexes::CheckUniqueBeforePost(PMemRecord buffer, PMemRecord editing) {
  if (!table_->EnableIndexes()) return;
  for (auto& index : list_) {
    if (index->RowOrder() || !index->Maintained() || !index->Options().Contains(ixUnique)) continue;
    IndexEntries& entries = index->entries_;
    int start = 0;
    if (index->Sorted()) {
      int lo = 0;
      int hi = entries.Count();
      while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (CompareRecords(table_, entries.At(mid), buffer, index->fieldList_, 0, false, false,
                           CompareUse::Order) < 0)
          lo = mid + 1;
        else
          hi = mid;
      }
      start = lo;
    }
    for (int i = start; i < entries.Count(); ++i) {
      PMemRecord other = entries.At(i);
      int r = CompareRecords(table_, buffer, other, index->fieldList_, 0, false, false,
                             CompareUse::Order);
      if (r == 0) {
        if (editing && other == editing) continue;
        MemTableError(mtmsg::DuplicateIndexValue);
      }
      if (index->Sorted() && r < 0) break;
    }
  }
}

void TmtIndexes::Update(int operation, int positionHint, PMemRecord newRecord,
                        PMemRecord oldRecord) {
  for (auto& holder : list_) {
    TmtIndex* index = holder.get();
    bool current = table_->currentIndex_ == index;
    IndexEntries& entries = index->entries_;
    if (operation == 2) {
      // A dropped record leaves every index that holds it, maintained or
      // not: an entry left behind would point at freed memory.
      if (entries.Empty()) continue;
      int position = -1;
      if (current && positionHint >= 0 && positionHint < entries.Count() &&
          entries.At(positionHint) == oldRecord)
        position = positionHint;
      else if (index->Maintained() && table_->EnableIndexes())
        position = index->FindRecordPosition(oldRecord, false);
      if (position < 0 || entries.At(position) != oldRecord) {
        position = -1;
        for (int i = 0; i < entries.Count(); ++i)
          if (entries.At(i) == oldRecord) {
            position = i;
            break;
          }
      }
      if (position >= 0) entries.Erase(position);
      if (current && position >= 0) table_->lastChangedPosition_ = -1;
      continue;
    }
    if (!index->Maintained() || !table_->EnableIndexes()) {
      index->sorted_ = false;
      continue;
    }
    if (operation == 0) {
      if (!index->Accepts(newRecord)) continue;
      int position;
      if (index->RowOrder()) {
        position = positionHint >= 0 ? std::clamp(positionHint - 1, 0, entries.Count())
                                     : entries.Count();
      } else {
        position = index->Sorted() ? index->InsertPosition(newRecord) : entries.Count();
      }
      entries.Insert(position, newRecord);
      if (current) table_->lastChangedPosition_ = position;
      continue;
    }
    // Edit: only key indexes, and only when the key changed.
    if (index->RowOrder()) continue;
    if (CompareRecords(table_, newRecord, oldRecord, index->fieldList_, 0, false, false,
                       CompareUse::Order) == 0) {
      if (current) table_->lastChangedPosition_ = positionHint;
      continue;
    }
    int position = -1;
    if (current && positionHint >= 0 && positionHint < entries.Count() &&
        entries.At(positionHint) == oldRecord)
      position = positionHint;
    else
      position = index->FindRecordPosition(oldRecord, false);
    if (position >= 0) entries.Erase(position);
    if (index->Accepts(newRecord)) {
      int target = index->Sorted() ? index->InsertPosition(newRecord) : entries.Count();
      entries.Insert(target, oldRecord);
      if (current) table_->lastChangedPosition_ = target;
    } else if (current) {
      table_->lastChangedPosition_ = -1;
    }
  }
}

int TmtIndexes::SearchWithFieldList(const TmtFieldList& list, PMemRecord key, bool onlyAccepted) {
  TmtIndex* current = table_->currentIndex_;
  if (FieldListsEqual(list, current->fieldList_)) {
    TmtFindResult found = current->FindRecordByKey(&list, key, onlyAccepted, false);
    return found.result == 0 ? found.position : -1;
  }
  TCriticalSectionGuard guard(table_->Store()->Lock());
  IndexEntries& entries = current->entries_;
  for (int i = 0; i < entries.Count(); ++i) {
    PMemRecord record = entries.At(i);
    if (table_->RecalcOnIndex()) table_->RecalculateRecord(record);
    if (IndexCompare(table_, list, key, record, false, false, CompareUse::Search) == 0 &&
        (!onlyAccepted || table_->AcceptRecord(record, false)))
      return i;
  }
  return -1;
}
