// Indexes of an in-memory table: ordered lists of references to stored
// records (never copies), each with the field list that orders it. Every
// table has the row-order index "__MT__ROWORDER" (records in slot order or
// where they were inserted; never sorted by key) and one index per entry of
// its IndexDefs. The current index decides navigation, record numbers and
// key searches.
//
// Invariant: an index marked sorted holds, in the order of its field list
// with the slot tie-break, every accepted stored record; an index that is
// not sorted is rebuilt before it is searched by key.
#pragma once

#include <memory>
#include <vector>

#include "memtable/field_list.h"
#include "memtable/index_entries.h"
#include "memtable/record_store.h"
#include "platform/db/db_types.h"
#include "platform/rtl/ansistring.h"

class TmtCustomMemTable;
class TIndexDef;

inline constexpr const char* kRowOrderIndexName = "__MT__ROWORDER";

// Result of a key search: the last comparison (0 = found) and the entry
// position (-1 when none).
struct TmtFindResult {
  int result = 1;
  int position = -1;
};

class TmtIndex {
 public:
  TmtIndex(TmtCustomMemTable* table, const AnsiString& name);

  const AnsiString& Name() const { return name_; }
  IndexEntries& Entries() { return entries_; }
  const IndexEntries& Entries() const { return entries_; }
  TmtCustomMemTable* Table() const { return table_; }
  const AnsiString& FieldNames() const { return fieldNames_; }
  // Parses the field names against the table (raises for unknown fields).
  void SetFieldNames(const AnsiString& names);
  TmtFieldList& FieldList() { return fieldList_; }
  const TmtFieldList& FieldList() const { return fieldList_; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool on) { sorted_ = on; }
  bool Sortable() const { return sortable_; }
  bool RowOrder() const { return rowOrder_; }
  int Kind() const { return kind_; }
  int Number() const { return number_; }
  void SetNumber(int number) { number_ = number; }
  bool KeepEntries() const { return keepEntries_; }
  void SetKeepEntries(bool on) { keepEntries_ = on; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions options) { options_ = options; }
  bool Maintained() const { return enabled_ && !options_.Contains(ixNonMaintained); }

  // Whether the index takes the record (OnFilterIndex).
  bool Accepts(PMemRecord record);
  // No entries, not sorted.
  void Clear();
  // Refill in slot order (unless entries are kept) and sort.
  void Rebuild();
  // Sorts the entries by the order of the field list with the slot tie-break.
  void SortEntries();
  // Key search (list null: the index's own): exact, or with nearest the
  // first entry after the key; only accepted records when asked.
  TmtFindResult FindRecordByKey(const TmtFieldList* list, PMemRecord key, bool onlyAccepted,
                                bool nearest);
  // The entry that is record (by slot); -1 when the index does not hold it.
  int FindRecordPosition(PMemRecord record, bool nearest);
  // Where record belongs in the index order (before the first entry that
  // sorts after it); the index must be sorted.
  int InsertPosition(PMemRecord record);

 private:
  friend class TmtIndexes;
  int OrderCompare(PMemRecord a, PMemRecord b);

  AnsiString name_;
  IndexEntries entries_;
  TmtCustomMemTable* table_;
  AnsiString fieldNames_;
  TmtFieldList fieldList_;
  bool sorted_ = false;
  bool sortable_ = true;
  bool rowOrder_ = false;
  int kind_ = 0;
  int number_ = 0;
  bool keepEntries_ = false;
  bool enabled_ = true;
  TIndexOptions options_;
};

class TmtIndexes {
 public:
  explicit TmtIndexes(TmtCustomMemTable* table);
  ~TmtIndexes();

  int Count() const { return static_cast<int>(list_.size()); }
  TmtIndex* Items(int i) const { return list_[static_cast<std::size_t>(i)].get(); }
  TmtIndex* RowOrderIndex() const { return rowOrder_; }
  // Adds an index and gives it its number.
  TmtIndex* Add(std::unique_ptr<TmtIndex> index);
  // Case-insensitive on the whole name / on the field-name text; null when none.
  TmtIndex* FindByName(std::string_view name) const;
  TmtIndex* FindByFieldNames(std::string_view names) const;
  TmtIndex* CreateFromDef(const TIndexDef& def);
  // Frees the index and renumbers the rest; the row-order index stays.
  void Remove(TmtIndex* index);
  void RemoveAllButRowOrder();
  void EmptyAll();
  void RebuildAll();
  void MarkAllDirty();
  // Raises "Duplicate index value. Operation aborted." when a unique index
  // holds another record with buffer's key (editing: the record itself).
  void CheckUniqueBeforePost(PMemRecord buffer, PMemRecord editing);
  // Follows an insert (0), edit (1) or delete (2) on the store.
  void Update(int operation, int positionHint, PMemRecord newRecord, PMemRecord oldRecord);
  // Locate's search: the current index when its field list is list, else a
  // scan of it. The entry position, -1 when no accepted record matches.
  int SearchWithFieldList(const TmtFieldList& list, PMemRecord key, bool onlyAccepted);

 private:
  TmtCustomMemTable* table_;
  std::vector<std::unique_ptr<TmtIndex>> list_;
  TmtIndex* rowOrder_;
};
