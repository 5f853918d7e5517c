// The format-independent half of the engine's indexes.
//
// XBobjIndexTag is one ordering of a table's records: a B-tree of keys
// computed by a key expression (optionally restricted by a FOR condition).
// It walks, searches and updates the tree through a cached path of pages.
// XBobjIndexFile is one index file with one or more tags: it reads and
// writes blocks (scrambled when the table has a password), locks the file
// with retry and forwards record changes to its tags. The formats (CDX,
// MDX, NDX, NTX) supply the page layouts through the virtual operations
// and share the steps and key forms that are the same in several of them.
//
// Invariants kept here:
// - A tag works on the path from the root to the current leaf: each page
//   has at most one open child, and a parent's current entry is the entry
//   of its open child. Pages that leave the path unchanged stay decoded in
//   the index file's page cache (bounded, dropped with the tag's pages when
//   another program changed the file, stale once we write their bytes).
// - A record change under the index lock leaves its path (and the place
//   the table's order goes to next) in memory; its dirty pages are written
//   when the lock goes or before the tag's next change, at the moment and
//   in the order the change itself would have written them.
// - A branch entry holds the last key (and record number) of its child's
//   subtree; every change of a page's last entry is carried up.
// - A page is written only when it leaves memory (freed, or all pages of the
//   tag flushed); the format may then split it, inserting separators into
//   its parent, or put a new root above it. A split writes the pages split
//   off, then the parent (and the header for a new root), then the shrunken
//   page: a writer stopped in between leaves either the old tree or one
//   whose page holds keys at or before the separator in front of it, which
//   opening that page reports. When writing the parent split it in turn
//   while it stays on the path, the path is written and freed and the
//   search or step under way starts again from the root.
// - An index file never writes a page outside its lock (when it is shared):
//   every dirty page is written before the last lock level is released.
// - Nothing read from a file is trusted: positions, depth and sizes are
//   checked and a violation raises "Index file %s is corrupted".
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/table/lock_protocol.h"
#include "dbase/base/collection.h"
#include "dbase/base/hit_share.h"
#include "dbase/base/int_map.h"
#include "dbase/base/disk_file.h"
#include "dbase/base/variant.h"
#include "platform/rtl/ansistring.h"

class TxbExpHandler;
class TxbExpUserLink;
class TxbSort;
class XBO_dBaseFld;
class XBobjIndexFile;
class XBobjIndexTag;

// What an index needs from the table it belongs to. The table handler
// implements it; XBobjDBFIndexTable adapts a plain table.
class XBobjIndexTable {
 public:
  virtual ~XBobjIndexTable() = default;

  // Records in the table.
  virtual int32_t IndexRecordCount() = 0;
  // The current record number (0 when none).
  virtual int32_t IndexCurrentRecord() = 0;
  // The table's exact-match setting for seeks.
  virtual bool IndexExactMatch() = 0;
  // The table keeps the image of the current record as read before editing.
  virtual bool IndexKeepsSavedRecord() = 0;
  // The current record was changed since it was read.
  virtual bool IndexRecordModified() = 0;
  // true: expressions see the saved image of the current record; false:
  // the current record again.
  virtual void IndexUseSavedRecord(bool saved) = 0;
  // n > 0: reads record n directly from the file (deciphered) and lets
  // expressions see it; 0: the current record again.
  virtual void IndexLoadRecord(int32_t n) = 0;
  // Index pages are read with the read password and written with the write
  // password (they differ only while the password changes); empty: plain.
  virtual AnsiString IndexReadPassword() = 0;
  virtual AnsiString IndexWritePassword() = 0;
  // The table's full file name.
  virtual AnsiString IndexTableFileName() = 0;
  // The link key and FOR expressions compile with.
  virtual TxbExpUserLink* IndexExpressionLink() = 0;
  // Progress of a tag build (status, current, total).
  virtual void IndexStatusReport(int status, int current, int total) = 0;
  // The table's production index was opened.
  virtual void IndexSetProductionFlag() = 0;
  // A tag name in the form the table's texts are stored in.
  virtual AnsiString IndexTranslateName(const AnsiString& name) = 0;
};

// Adapts an open table to XBobjIndexTable. Records for builds are read in
// blocks; the password is the one the table was opened with.
class XBobjDBFIndexTable : public XBobjIndexTable {
 public:
  XBobjDBFIndexTable(XBO_dBaseFld& table, const AnsiString& password);
  ~XBobjDBFIndexTable() override;

  // The passwords pages are read and written with from now on.
  void SetPasswords(const AnsiString& readPassword, const AnsiString& writePassword);
  XBO_dBaseFld& Table() const { return table_; }

  int32_t IndexRecordCount() override;
  int32_t IndexCurrentRecord() override;
  bool IndexExactMatch() override;
  bool IndexKeepsSavedRecord() override;
  bool IndexRecordModified() override;
  void IndexUseSavedRecord(bool saved) override;
  void IndexLoadRecord(int32_t n) override;
  AnsiString IndexReadPassword() override;
  AnsiString IndexWritePassword() override;
  AnsiString IndexTableFileName() override;
  TxbExpUserLink* IndexExpressionLink() override;
  void IndexStatusReport(int status, int current, int total) override;
  void IndexSetProductionFlag() override;
  AnsiString IndexTranslateName(const AnsiString& name) override;

  bool ProductionFlagSet() const { return production_; }

 private:
  void Redirect(char* buffer);

  XBO_dBaseFld& table_;
  AnsiString readPassword_;
  AnsiString writePassword_;
  std::vector<char> image_;      // saved or loaded record shown to expressions
  std::vector<char> block_;      // read-ahead of consecutive records
  int32_t blockFirst_ = 0;       // first record in block_
  int32_t blockCount_ = 0;
  char* previous_ = nullptr;
  bool redirected_ = false;
  bool production_ = false;
};

// One key entry of a page: the stored (comparable) key in the value buffer.
class XBobjIndexKeyData : public TxbVariant {
 public:
  explicit XBobjIndexKeyData(int32_t capacity = 0) : TxbVariant(capacity) {}
  XBobjIndexKeyData(const XBobjIndexKeyData& other) = default;
  XBobjIndexKeyData& operator=(const XBobjIndexKeyData& other) = default;
  // An entry of a page keeps its key bytes in a slot of its page's storage.
  XBobjIndexKeyData(unsigned char* slot, int32_t capacity) : TxbVariant(0) { UseBuffer(slot, capacity); }
  // Sets the value to n bytes of the given kind, as held before.
  void SetHeld(TxbVariantKind kind, const void* bytes, int32_t n) { SetBytes(kind, bytes, n); }

  // Copies the value, record number and entry tag.
  void AssignEntry(const XBobjIndexKeyData& other);

  // Record number of the entry (in a branch entry: of the separator key).
  int32_t RecordNumber = 0;
  // Leaf: the record number; branch: the child page's position.
  int32_t EntryTag = 0;
};

// Page kinds: below 3 a page has children.
enum IndexPageKind : int {
  ipkBranch = 0,
  ipkRootBranch = 1,
  ipkBranchRead = 2,
  ipkLeaf = 3,
};

// One page in memory: an owning list of entries plus its place in the tree.
// A page owns its open child; the tag owns the root and its spare pages, so
// every page has exactly one owner and a chain is released by releasing
// its top.
class XBobjIndexKey : public TxbCollection<XBobjIndexKeyData> {
 public:
  explicit XBobjIndexKey(XBobjIndexTag* tag);
  ~XBobjIndexKey() override;
  XBobjIndexKey(const XBobjIndexKey&) = delete;
  XBobjIndexKey& operator=(const XBobjIndexKey&) = delete;

  bool IsLeaf() const { return PageKind == ipkLeaf; }
  XBobjIndexKeyData* Entry(int i) const { return Items(i); }
  XBobjIndexKeyData* CurrentEntry() const {
    return Current >= 0 && Current < Count() ? Items(Current) : nullptr;
  }
  XBobjIndexKeyData* LastEntry() const { return Count() ? Items(Count() - 1) : nullptr; }
  // Inserts a copy at index i; the current entry keeps pointing at the same
  // entry. Marks the page dirty.
  XBobjIndexKeyData* InsertEntry(int i, const XBobjIndexKeyData& entry);
  // Appends a copy (no dirty mark: used while a page is read).
  XBobjIndexKeyData* AddEntry(const XBobjIndexKeyData& entry);
  // Removes entry i; the current entry keeps pointing at the same entry
  // (or the one after a removed current). Marks the page dirty.
  void DeleteEntry(int i);
  // Removes entries [0, n) (a split moved them to another page).
  void DeleteFirst(int n);
  // Empties the page and its links for a fresh read. The entry objects are
  // kept aside and handed out again by ReadEntry, so that reading a page
  // into a recycled page object allocates nothing.
  void ResetPage();
  // An empty entry appended to the page (a recycled one when there is).
  XBobjIndexKeyData* ReadEntry();
  // Bytes the page holds in memory: every buffer at its capacity.
  int64_t HeldBytes() const;
  // Makes room for n more entries in one allocation (a read that knows how
  // many entries its page holds; n is bounded by the page size).
  void ReserveEntries(int n);

  // The page above on the cached path; null for the root and for a page
  // read off the path.
  XBobjIndexKey* Parent() const { return parent_; }
  // The open child, owned by this page; null when none is open.
  XBobjIndexKey* Child() const { return child_.get(); }
  // Changed since it was read or last written.
  bool Dirty() const { return dirty_; }
  void MarkDirty() {
    dirty_ = true;
    pristine_ = false;
  }
  // Sent a separator up since it was opened: its parent's entries moved.
  bool Split() const { return split_; }

  int32_t Position = 0;  // 0: not placed yet
  int32_t Left = -1;
  int32_t Right = -1;
  XBobjIndexTag* Tag;
  int PageKind = ipkLeaf;
  int Current = -1;

 private:
  friend class XBobjIndexTag;
  friend class XBobjIndexFile;
  XBobjIndexKey* parent_ = nullptr;
  std::unique_ptr<XBobjIndexKey> child_;
  bool dirty_ = false;
  bool split_ = false;
  // Entries live in blocks of slots owned by the page, each slot an entry
  // object followed by room for its key: decoding a page fills slots and
  // allocates nothing once the page object has held as many entries, and
  // a page's keys lie together in memory. Entries removed from the page
  // wait in spare_ for the next ones; every entry made is in one of the two.
  void FreeItem(XBobjIndexKeyData* entry) override;
  XBobjIndexKeyData* NewEntry();
  // Memory of an entry's value that outgrew its slot (0 when it fits).
  static int64_t OutgrownBytes(const XBobjIndexKeyData* entry);
  std::vector<XBobjIndexKeyData*> spare_;
  int64_t spareOutgrown_ = 0;  // OutgrownBytes of the spare entries
  std::vector<std::unique_ptr<unsigned char[]>> entryBlocks_;
  int64_t entryBlockBytes_ = 0;
  int32_t slotKeyBytes_ = 0;  // key room of each slot, fixed by the first block
  int32_t entriesMade_ = 0;
  // Holds exactly what its bytes decode to: read from the file and not
  // changed since. Only such pages are kept in the file's page cache.
  bool pristine_ = false;
  // The file's write clock when the page was read, and the bytes it was
  // decoded from: a write into them since makes the decoded page stale.
  uint64_t readClock_ = 0;
  int64_t readLow_ = 0;
  int64_t readHigh_ = 0;
  // Shared files: the bytes it was decoded from.
  std::vector<char> readBytes_;
  // A pristine page's entries, kind and siblings packed in one buffer, the
  // form the file's page cache holds it in (empty until made).
  std::vector<unsigned char> packed_;
  // Packs the entries into packed_; false when a value is too long for
  // the packed form.
  bool Pack();
  // Fills the emptied page from packed_.
  void Unpack();
  // HeldBytes, counted when the page was first kept since it was read,
  // written or unpacked (a pristine page has not changed since); 0 before.
  int64_t heldBytes_ = 0;
  // Shared files: read or written while the file's change counter vouched
  // for the cache (XBobjIndexFile::CountedPagesValid), so no bytes are kept
  // to compare: the page is used again only while the counter still does.
  bool counted_ = false;
  // Came out of the page cache (not read from the file) since it was last
  // read: it goes back even while the cache samples the leaves it keeps.
  bool fromCache_ = false;
};

// Compare modes of searches: a key that is a prefix of an entry counts as
// equal, or only an equal key does.
constexpr int kIndexComparePrefix = 0;
constexpr int kIndexCompareExact = -1;
// Record-number arguments of Search besides a record number.
constexpr int32_t kIndexAnyRecord = -1;
constexpr int32_t kIndexAfterEqual = INT32_MAX;
// Deeper trees than this are taken as a loop in a damaged file.
constexpr int kIndexMaxDepth = 64;

// --- Key forms several formats share

// Key bytes without their trailing blanks: how text keys are held.
inline std::string_view HeldText(const uint8_t* bytes, int length) {
  while (length > 0 && bytes[length - 1] == ' ') --length;
  return std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}
// The day a date key stands for: dates and date texts give their day,
// numbers are taken as days.
double DateKeyDay(const TxbVariant& key);
// The stored form of a date in the formats that keep its day number as a
// double: no date (a day below 0.1) is the empty date 1e100, after every
// day.
double DayNumberKey(const TxbVariant& key);
// The 8 bytes of a double key as those formats store it, and back (bytes
// a short key lacks read as zero).
std::string DoubleKeyBytes(double value);
double DoubleFromKeyBytes(const std::string& bytes);

class XBobjIndexTag {
 public:
  // name: the tag's name as it should be shown (formats upper-case it).
  XBobjIndexTag(XBobjIndexFile* file, const AnsiString& name);
  virtual ~XBobjIndexTag();
  XBobjIndexTag(const XBobjIndexTag&) = delete;
  XBobjIndexTag& operator=(const XBobjIndexTag&) = delete;

  // --- Format operations
  // Converts an evaluated key into the stored, comparable form (trimmed:
  // trailing blanks removed). Base: unchanged.
  virtual void KeyToStoredForm(TxbVariant& key, bool trimmed);
  // Adds an evaluated key, in its stored form (trimmed), to a build's
  // sorter. Base: KeyToStoredForm, then AddKey; a format may add the same
  // bytes without converting the value buffer first.
  virtual void AddSortKey(TxbSort& sorter, TxbVariant& key, int32_t recordNumber);
  // Stores texts and flags and compiles key and FOR; formats go on to write
  // and build the tag. Base: false.
  virtual bool DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                         const AnsiString& forExpression);
  // Inserts an evaluated key (RecordNumber set); false when a Unique tag
  // already holds it.
  virtual bool InsertKey(XBobjIndexKeyData& key);
  // Position of the root page.
  virtual int32_t RootPage();
  // Fills a cleared page from the file: entries, kind, siblings. Base: 0.
  virtual int ReadPage(int32_t position, XBobjIndexKey* page);
  // Writes a placed page, splitting it when it does not fit. Base: 0.
  virtual int WritePage(XBobjIndexKey* page);
  virtual void ReadHeader();
  virtual void WriteHeader();
  // New key (FOR) handler over the table's expression link.
  virtual void CompileKey();
  virtual void CompileFor();
  // The key of the record the table shows; false without key handler.
  virtual bool EvaluateKey(TxbVariant& key);
  // True only when the FOR condition yields a Boolean true.
  virtual bool EvaluateFor();
  // A page left the tree (it was emptied): the format relinks its
  // neighbours. Base: nothing.
  virtual void PageRemoved(XBobjIndexKey* page);
  // Most entries a branch page holds, for formats whose branch pages store
  // no key with their last entry (a branch of one entry would have none,
  // and other programs' readers take such a page for an empty one). Base:
  // 0, every branch entry keeps its key and no such rule applies.
  virtual int BranchEntryLimit() const { return 0; }
  // Another stored form the same key may have in files written by other
  // programs; searches for a record's own entry try it when the first form
  // is not found. Base: none.
  virtual bool AlternateStoredForm(const TxbVariant& stored, TxbVariant& alternate);
  // A page just written holds exactly what reading its bytes back would
  // give (entries, siblings), so it may stay decoded as it is. Base:
  // false, every written page is read again when next needed.
  virtual bool WrittenPageReadsBackAsHeld() const { return false; }
  // A key goes into a leaf without the leaf being read into a page object,
  // for formats whose leaves can take it in their stored form. Base: none.
  virtual bool LeafBlocksEditable() const { return false; }
  // Reads the page at position when it is a leaf, keeping its entries in
  // the format's own form for the calls below; false for a branch.
  virtual bool ReadLeafBlock(int32_t position, int& count, int32_t& left, int32_t& right);
  // Entry i of the leaf read, in its held form.
  virtual void LeafBlockEntry(int i, XBobjIndexKeyData& entry) const;
  // Writes the leaf read with stored (stored form, record number set) in
  // front of its entry at; false, with nothing written, when the leaf would
  // have to split.
  virtual bool InsertIntoLeafBlock(int at, const XBobjIndexKeyData& stored);

  // --- Seeks and moves (return record numbers, 0 for none)
  // Positions on the first entry not less than the key (stored form,
  // trimmed; with KeysByRecord also by the key's record number). Exact
  // when the table's exact-match setting is on or the tag is busy, else a
  // key that is a prefix of the entry counts as equal. The record number
  // when an equal entry was found inside the range; else 0 (EOF set when
  // the search ran off the end or past the high bound).
  int32_t FindKey(const XBobjIndexKeyData& key);
  // As FindKey, positioned on the last equal entry. Both seeks go by walk
  // order: on a tag walked backwards (ReverseNavigation) FindKey lands on
  // the last equal stored entry and, for a missing key, on the next key in
  // walk order; FindLastKey on the first equal stored entry.
  int32_t FindLastKey(const XBobjIndexKeyData& key);
  // FindKey that leaves the tag's position as it was.
  int32_t LookupKey(const XBobjIndexKeyData& key);
  // -5 resynchronise, -4 bottom, -3 top, -2 prior, -1 next (exchanged under
  // ReverseNavigation). Moves honour the range.
  int32_t MoveTo(int code);
  // Positions on the table's current record unless already on record n.
  int32_t GoRecord(int32_t recordNumber);
  // Replaces the key computed from the saved record by the key of the
  // current record (appended: inserts only). True when the tag changed.
  bool UpdateForRecordChange(int32_t recordNumber, bool appended);
  // Sets the range (empty keys: open ends) and goes top when it changed.
  // prefix: a key of which the high bound is a prefix counts as inside.
  bool SetRange(const TxbVariant* low, bool includeLow, bool prefix, bool includeHigh,
                const TxbVariant* high);
  bool HasRange() const { return !lowKey_.IsEmpty() || !highKey_.IsEmpty(); }
  // Writes dirty pages, frees them, and writes a changed header.
  void ResetPages();
  // Writes dirty pages and a changed header as ResetPages does, but keeps
  // the path loaded when the format's written pages hold what reading
  // them back gives and no page on it split.
  void WritePages();
  // Frees the pages without writing them (the file is being rebuilt or was
  // changed by another program); the file's cached pages of this tag go too.
  void DiscardPages();
  // Frees the path's pages unwritten, for formats that change the tree
  // outside the path; pages still as read stay in the file's cache (our
  // own writes make them stale).
  void ReleasePath();
  // True while a page or the header waits to be written.
  bool HasUnwrittenChanges() const;
  // ResetPages, then reads the root; mode 1 also positions on the table's
  // current record (else top), mode 2 stops after the root.
  void LoadRoot(int mode);
  // Removes the current entry; the position moves to the entry after it.
  void DeleteCurrentKey();
  // Searches the tree: 0 found, 1 beyond the last entry, -1 stopped at a
  // greater entry. recordNumber: kIndexAnyRecord, kIndexAfterEqual or a
  // record number. Positions the path on the entry.
  int Search(int32_t recordNumber, const TxbVariant& key, int compareMode);

  // --- State
  const AnsiString& TagName() const { return tagName_; }
  const AnsiString& FormatWord() const { return formatWord_; }
  const AnsiString& KeyExpression() const { return keyExpression_; }
  const AnsiString& ForExpression() const { return forExpression_; }
  AnsiString KeyExpressionText() const;
  TxbExpHandler* KeyHandler() const { return keyHandler_.get(); }
  TxbExpHandler* ForHandler() const { return forHandler_.get(); }
  XBobjIndexFile* IndexFile() const { return file_; }
  int KeyLength() const { return keyLength_; }
  char KeyType() const { return keyType_; }
  bool Ascending() const { return ascending_; }
  bool Unique() const { return unique_; }
  bool HasFor() const { return hasFor_; }
  bool KeysDescending() const { return keysDescending_; }
  bool ReverseNavigation() const { return reverseNavigation_; }
  int32_t HeaderPosition() const { return headerPosition_; }
  int32_t RootPosition() const { return rootPosition_; }
  bool HeaderChanged() const { return headerChanged_; }
  void MarkHeaderChanged() { headerChanged_ = true; }
  const XBobjIndexKeyData& CurrentKey() const { return currentKey_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool Busy() const { return busy_; }
  bool Changed() const { return changed_; }
  XBobjIndexKey* RootPageObject() const { return root_.get(); }
  bool PagesLoaded() const { return root_ != nullptr; }
  const TxbVariant& LowKey() const { return lowKey_; }
  const TxbVariant& HighKey() const { return highKey_; }
  int RangePrefix() const { return rangePrefix_; }
  bool IncludeLow() const { return includeLow_; }
  bool IncludeHigh() const { return includeHigh_; }
  // The deepest page of the cached path (null when none is loaded).
  XBobjIndexKey* LeafPage() const;

  // --- Helpers for formats
  // Inserts a separator (key, record number, child position) into the
  // parent of page, just before page's own entry; a page without parent
  // first gets a new root above it (the header is marked changed).
  void InsertSeparator(XBobjIndexKey* page, const XBobjIndexKeyData& key, int32_t childPosition);
  // Raises "Index file %s is corrupted" with the index file's name.
  [[noreturn]] void Corrupt() const;
  // Hands the keys of a build's sorter to take in sorted order, with the
  // table's progress (2, k, 0) after every key.
  void TakeSortedKeys(TxbSort& sorter,
                      const std::function<void(const TxbVariant& key, int32_t record)>& take);

 protected:
  // --- Shared steps of the formats
  // Adds the stored key of every record the FOR condition admits to the
  // sorter of a build, with the table's progress (-1, 1, count), (1, n, 0)
  // per record, (0, 0, 0), then (-1, 2, count) for the writing that
  // follows; the table's current record is shown again afterwards.
  // Returns the keys added (0 without table).
  int64_t SortRecordKeys(TxbSort& sorter);
  // The type of the key on the table's current record ('C', 'N' or 'D'),
  // the key itself in value. Without key handler "Sort key length must be
  // 1-maxLength bytes, is 0"; other types "cannot be sorted".
  char SampleKeyType(TxbVariant& value, int maxLength);
  // Refuses key lengths outside 1..maxLength ("Sort key length must be
  // 1-maxLength bytes, is length"): an empty key has no page layout, and
  // each format's limit says why no longer key can be stored.
  static void CheckKeyLength(int length, int maxLength);
  // The type the key yields on the table's current record: 'N', 'D', else
  // (and without key handler) 'C'.
  char EvaluatedKeyType();
  // The key as text, without trailing blanks when trimmed (the first step
  // of every text key's stored form).
  static void TextKeyForm(TxbVariant& key, bool trimmed);
  // A text key longer than length bytes is cut to them (and trimmed again):
  // the longer text would not fit an entry.
  static void CutTextKey(TxbVariant& key, int length, bool trimmed);
  // Sets the key of a branch's last child, which the formats store without
  // key: after every key of the tag's order (texts or numbers).
  void SetKeyAfterAll(XBobjIndexKeyData& entry, bool text) const;
  // A record change can change the tag: the table keeps the record as it
  // was read, and the record is new, changed, or under a FOR condition.
  bool RecordChangeMayMatter(bool appended) const;
  // The key of the table's current record as it was read before editing.
  void EvaluateSavedKey(TxbVariant& key);
  // The first `moved` entries of page were written to a new page at
  // position: the last of them goes into the parent as its separator and
  // they leave page.
  void SplitOff(XBobjIndexKey* page, int moved, int32_t position);
  // While page holds more than limit entries, its first half (at most
  // limit entries) goes to a new page written by writeFirst(moved), which
  // returns its position, and is split off.
  // Then the parent is written before the caller writes the shrunken page.
  void SplitWhileOverfull(XBobjIndexKey* page, int limit,
                          const std::function<int32_t(int moved)>& writeFirst);
  // After pages were split off page (and before page itself is written):
  // writes its parent, and the header when the parent is a new root.
  void WriteParentOfSplitPage(XBobjIndexKey* page);

  // The page's position (a new one from NewPage when 0), then WritePage.
  // Raises "Index file %s is full" before a chain from top down is written
  // when its pages might not all fit.
  void ReserveRoomForWrites(XBobjIndexKey* top);
  void WritePageChecked(XBobjIndexKey* page);
  // Carries page's last entry up into the separators above it.
  void UpdateSeparators(XBobjIndexKey* page);
  // Compares an entry with a search key: < 0 the entry is before it,
  // 0 found, > 0 the entry is after it.
  int CompareEntry(const XBobjIndexKeyData& entry, const TxbVariant& key, int32_t recordNumber,
                   int compareMode, bool leaf) const;
  // Compares a range bound with the current key (bound - current).
  int CompareBound(const TxbVariant& bound, int compareMode) const;
  // The search for a record's own entry (exact key and record number),
  // trying the format's alternate stored form too. True when positioned
  // on it.
  bool SeekRecordEntry(const TxbVariant& stored, int32_t recordNumber);
  // Reads the root page object when no path is loaded.
  void EnsureRoot();
  // Runs a read of the tree (a seek or a move, with what it calls). A
  // shared file read without our lock can be met half-way through another
  // writer's change, and the checks of the pages just read then report
  // damage that is not there: the read is given back its starting position
  // and done again under the index lock, where no writer is at work, and
  // only a failure there stands. Nested reads run as they are.
  int32_t ReadTree(const std::function<int32_t()>& read);

  // Format settings.
  AnsiString formatWord_ = "UNK";
  AnsiString tagName_;
  AnsiString keyExpression_;
  AnsiString forExpression_;
  int keyLength_ = 0;
  int entryLength_ = 0;
  int entriesPerBranch_ = 0;
  char keyType_ = 'C';
  bool ascending_ = true;
  bool unique_ = false;
  bool hasFor_ = false;
  bool keysDescending_ = false;
  bool reverseNavigation_ = false;
  int32_t headerPosition_ = 0;
  int32_t rootPosition_ = 0;
  bool headerChanged_ = false;
  XBobjIndexFile* file_;
  // Weights for text keys.
  const unsigned char* weights_;

 private:
  friend class XBobjIndexFile;
  // Opens the child of entry index (reusing the open one when it is that
  // child) and makes index the page's current entry.
  XBobjIndexKey* OpenChild(XBobjIndexKey* page, int index);
  using PagePtr = std::unique_ptr<XBobjIndexKey>;
  // Writes the dirty pages of a chain bottom-up and frees the chain.
  void FreeChain(XBobjIndexKey* page);
  // Takes page out of its owner (root_ or its parent) and releases it with
  // the pages below it, unwritten.
  void DeleteChain(XBobjIndexKey* page);
  // Releases a chain: pristine pages go to the file's page cache (unless
  // keep is false), a few other page objects are kept for the next reads.
  void RecycleChain(PagePtr page, bool keep = true);
  // A page object, recycled when one is spare.
  PagePtr NewPageObject();
  // A page read at position into a page object off the path.
  PagePtr ReadOffPath(int32_t position);
  // Debug builds: the path's links, current entries and (formats that
  // order keys by record) separators hold as index_core.h states.
  void CheckPath() const;
  // True when page or a page above it split since it was opened.
  bool PathSplit(const XBobjIndexKey* page) const;
  // The entry in front of the current entry of page, or of the nearest
  // page above whose current entry is not its first: every key below the
  // current entry lies after it. Null at the start of the tree.
  static const XBobjIndexKeyData* LowerBound(const XBobjIndexKey* page);
  // The first entry of page not before key (the page's count when none).
  int FirstNotBefore(const XBobjIndexKey& page, const TxbVariant& key, int32_t recordNumber,
                     int compareMode) const;
  int SearchPath(int32_t recordNumber, const TxbVariant& key, int compareMode);
  bool StepPath(bool forward);
  bool Outermost(bool first);
  bool DescendFrom(XBobjIndexKey* page, bool forward);
  bool AdvanceFrom(XBobjIndexKey* page, bool forward);
  bool Step(bool forward);
  bool First();
  bool Last();
  void CopyCurrent();
  void SetPosition(bool bof, bool eof);
  int SeekRangeTest() const;
  // FindKey and FindLastKey on the stored order (flags in stored terms):
  // the first entry not less than key, and the last entry not greater.
  int32_t StoredFirstAtOrAfter(const XBobjIndexKeyData& key);
  int32_t StoredLastAtOrBefore(const XBobjIndexKeyData& key, bool walkedBackwards);
  bool BelowLow() const;
  bool AboveHigh() const;
  int32_t CurrentResult() const;
  int32_t MoveTop();
  int32_t MoveBottom();
  int32_t MoveNext();
  int32_t MovePrior();
  int32_t Resync();
  void RemoveCurrentEntry();
  // The leaf where a key (stored form; record number as InsertKey searches
  // with) goes without a search: the path is the tree's rightmost and the
  // key sorts after the leaf's last entry. Null otherwise.
  XBobjIndexKey* RightmostLeafFor(const TxbVariant& stored, int32_t recordNumber);
  // InsertKey into a leaf in its stored form (LeafBlocksEditable): the path
  // of branches down to the leaf as a search takes it, the checks a search
  // makes of the leaf, and the leaf written without becoming a page. False
  // (nothing written) wherever the search must decide: a unique tag, a
  // leaf already open or held decoded, the key after the leaf's last
  // (separators change), a split, a leaf that fails a check (the search
  // reports it).
  bool InsertIntoStoredLeaf(const XBobjIndexKeyData& stored, int32_t recordNumber);
  // Its part at the leaf ReadLeafBlock read (count entries, siblings) below
  // the current entry of parent.
  bool InsertIntoLeafRead(XBobjIndexKey& parent, const XBobjIndexKeyData& stored, int32_t recordNumber,
                          int count, int32_t left, int32_t right);
  void RemovePage(XBobjIndexKey* page);
  void KeepAKeyInBranch(XBobjIndexKey* page);

  PagePtr root_;
  XBobjIndexKeyData currentKey_;
  bool bof_ = false;
  bool eof_ = false;
  bool positioned_ = false;  // currentKey_ holds a position to come back to
  TxbVariant lowKey_;
  TxbVariant highKey_;
  int rangePrefix_ = kIndexCompareExact;
  bool includeLow_ = true;
  bool includeHigh_ = true;
  std::unique_ptr<TxbExpHandler> keyHandler_;
  std::unique_ptr<TxbExpHandler> forHandler_;
  bool busy_ = false;
  bool changed_ = false;
  std::vector<PagePtr> sparePages_;
  int readDepth_ = 0;  // ReadTree calls under way
  // The last record change kept its path (pages unwritten) under the lock.
  bool changeKept_ = false;
  XBobjIndexKeyData leafProbe_;  // InsertIntoStoredLeaf's look at entries
};

class XBobjIndexFile {
 public:
  // table may be null (files opened on their own, e.g. for checks).
  explicit XBobjIndexFile(XBobjIndexTable* table);
  virtual ~XBobjIndexFile();
  XBobjIndexFile(const XBobjIndexFile&) = delete;
  XBobjIndexFile& operator=(const XBobjIndexFile&) = delete;

  // --- Format operations
  virtual bool CreateTag(const AnsiString& tagName, const AnsiString& keyExpression, bool unique,
                         bool ascending, const AnsiString& forExpression);
  virtual bool DeleteTag(const AnsiString& tagName);
  // A position for a new page; base -1.
  virtual int32_t NewPage();
  // Next free position := max(held value, file size); base -1.
  virtual int32_t ResetAllocation();
  // Reads count bytes at position, each 512-byte piece deciphered with the
  // table's read password; true only when all bytes were read. Positions
  // and counts of encrypted files are multiples of 512.
  virtual bool ReadBlock(int64_t position, void* buffer, int32_t count);
  // Writes count bytes, enciphered in 512-byte pieces with the write
  // password.
  virtual void WriteBlock(int64_t position, const void* buffer, int32_t count);
  virtual void Reindex();
  // Renames the file, keeping its extension.
  virtual void Rename(const AnsiString& newName);
  // Every tag replaces the record's old key by its new one; true when any
  // tag changed.
  virtual bool RecordChanged(int32_t recordNumber, bool appended);
  // Another program changed the file since this one last looked. Base false.
  virtual bool ChangedByOtherUser();
  virtual void SetLockProtocol(TxbLokProtocol protocol);
  // Rewrites the whole file in 512-byte blocks: read with the read
  // password, written with the write password.
  virtual void Reencipher();
  virtual void Zap();

  // --- File
  // Opens or creates the disk file: the name is trimmed, gets the default
  // extension when it has none and the table's directory when it has no
  // path. create: creates it (opens an existing one instead unless
  // overwrite). Without create a missing file gives null.
  XBO_DiskFile* OpenDiskFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite,
                             bool create, unsigned mode, unsigned share,
                             const AnsiString& defaultExtension);
  // Locks the file (shared files only), trying every 50 ms up to 100 times;
  // "Can not Lock file %s". The first level resets the page allocation.
  void LockIndexFile();
  // Releases one level; before the last one every dirty page and changed
  // header of the tags is written.
  void UnlockIndexFile();
  int LockLevel() const { return lockLevel_; }
  // Shared and not locked by us: another writer may be at work on it.
  bool ReadWithoutLock() const { return disk_ && disk_->Shared() && lockLevel_ == 0; }
  // Base names compared case-insensitively.
  bool IsFileName(const AnsiString& name) const;
  int TagCount() const { return tags_.Count(); }
  XBobjIndexTag* FindTag(const AnsiString& name) const;
  XBobjIndexTag* TagAt(int index) const { return tags_.Items(index); }
  // Writes every tag's dirty pages and changed header and frees the pages.
  void ResetAllPages();
  // Writes everything that waits (pages, tag headers, the format's own
  // header fields) and raises when a write fails. Owners call it before
  // they destroy the file: the destructor only releases. After a failed
  // Close the file is given up, so destroying it is no longer a mistake.
  void Close();
  // True while pages or header changes wait to be written.
  virtual bool HasUnwrittenChanges() const;
  // Raises "Index file %s is corrupted".
  [[noreturn]] void Corrupt() const;
  // True when a page of length bytes at position lies inside the file.
  bool PositionInside(int64_t position, int64_t length);

  const AnsiString& FileName() const { return fileName_; }
  // The file size as last seen (grows with every block written).
  int64_t KnownFileSize() const { return knownSize_; }
  XBobjIndexTable* Table() const { return table_; }
  XBO_DiskFile* DiskFile() const { return disk_.get(); }
  bool KeysByRecord() const { return keysByRecord_; }
  int64_t NextFreePosition() const { return nextFree_; }
  // Raises "Index file %s is full" unless `pages` more pages fit below the
  // format's last page position; called before a chain of pages is
  // written, so a full file is refused before anything of it changes.
  void ReserveRoom(int pages);
  bool Opened() const { return opened_; }
  TxbLokProtocol LockProtocol() const { return protocol_; }
  // The region LockIndexFile locks.
  TxbLockRegion LockRegion() const { return lockRegion_; }
  // Locks region instead of the protocol's from the next lock on (until
  // SetLockProtocol): for a program that must lock exactly as another
  // family of xBase programs does.
  void SetLockRegion(TxbLockRegion region) { lockRegion_ = region; }

  // --- Decoded-page cache
  // Pages the tags read stay decoded after they leave a tag's path, up to
  // a bound in bytes, least recently used first out (see CachedPage). A cached
  // page is used again only while no write of ours touched its bytes since
  // it was read; pages a tag discards (another program changed the file,
  // which the shared-file checks find when the lock is taken or before an
  // unlocked read) leave the cache with them. A shared file whose format
  // counts every change in its header keeps its pages (leaves only when
  // read outside the lock) while counter, size and modification time are
  // those we left when we last released the lock (see CountedPagesValid);
  // after another writer's change, and in other shared files, only branch
  // pages are kept, each used only when its bytes on disk are still the
  // ones it was decoded from (a read, but no decoding). 0 turns the cache
  // off.
  static constexpr int64_t kDefaultPageCacheBytes = int64_t{8} << 20;
  void SetPageCacheLimit(int64_t bytes);
  int64_t PageCacheLimit() const { return cacheLimit_; }
  // Bytes (every buffer at its capacity) and pages held now.
  int64_t PageCacheBytes() const { return cacheBytes_; }
  // Of those, the bytes of packed pages.
  int64_t PageCachePackedBytes() const { return packedBytes_; }
  int PageCacheCount() const { return static_cast<int>(cacheWhere_.Size()) - chains_[kOutChain].count; }
  // Pages served from the cache and read from the file since the open.
  int64_t PageCacheHits() const { return cacheHits_; }
  int64_t PageCacheMisses() const { return cacheMisses_; }
  // Drops every cached page (of one tag when tag is given).
  void DropCachedPages(const XBobjIndexTag* tag = nullptr);
  // Exclusive files without password also keep copies of the 512-byte
  // blocks last read or written (within the same bound), so that reading
  // them again needs no system call, and their writes wait there: a block
  // reaches the disk when it is evicted, at WriteHeldBlocks (the table's
  // flush) and at Close, and before the file is truncated, renamed, read
  // past the held blocks or re-enciphered (and, without a way to report a
  // failure, when the file is destroyed without Close). An exclusive file
  // left by a killed program may therefore need a reindex. Shared files
  // hold block copies only while their change counter vouches for the
  // cache (CountedPagesValid), else they read every block from the disk;
  // they always write through at once.
  // Writes the held blocks that wait, in file order; raises when a write
  // fails (those not written keep waiting).
  void WriteHeldBlocks();

 protected:
  // The owned tag list.
  TxbCollection<XBobjIndexTag>& Tags() { return tags_; }
  // The file's size, refreshed from the system (shared files: with its
  // modification time, knownTime_).
  int64_t RefreshFileSize();
  // ReadBlock from the disk itself, past the blocks held: for what another
  // program may have changed since (the change counter).
  bool ReadBlockFromDisk(int64_t position, void* buffer, int32_t count);
  // Cuts the disk file to size; the blocks and pages held are dropped.
  void TruncateDisk(int64_t size);

  // Takes the whole-file lock with retry; "Can not Lock file %s".
  void LockWholeFileWithRetry();
  // Runs change under one more level of the index lock and gives that
  // level back on every exit.
  void ChangeUnderIndexLock(const std::function<void()>& change);
  // Runs change under the whole-file lock (nothing changes before the whole
  // file is ours) and releases it on every exit.
  void ChangeUnderWholeFileLock(const std::function<void()>& change);
  // The next free position, then moved on by step (the allocation is reset
  // first when unknown).
  int32_t TakeNextFree(int32_t step);
  // The unit of TakeNextFree's steps and the last position a page may
  // take (page addresses are 32-bit in every format); set by each format.
  void SetPageAllocation(int32_t step, int64_t lastPosition) {
    pageStep_ = step;
    lastPagePosition_ = lastPosition;
  }
  // Drops every tag (its pages unwritten) and empties the file; the first
  // page is taken for the header, so the tree's pages follow it.
  void EmptyForNewTag();
  // A tag name as the file keeps it: trimmed, in the table's text form,
  // upper case, cut to maxLength.
  AnsiString StoredTagName(const AnsiString& name, int maxLength) const;
  // A file named like its table (any extension) is the table's production
  // index: the table is told so.
  void FlagProductionIndex();
  // The format's part of Close; base: every tag's pages and header.
  virtual void WritePending();
  // For destructors: the held blocks are written (a failure is ignored);
  // in debug builds a file destroyed with changes still unwritten (a
  // forgotten Close, or that failure) stops the program; then every page is
  // dropped unwritten.
  void ReleaseUnwritten();
  // Called once a lock level 0 -> 1 was taken. Base: nothing.
  virtual void LockTaken() {}
  // Called before the last lock level goes, after the pages were written.
  // Base: nothing.
  virtual void LockReleasing() {}
  // Formats whose header counts every change call it with each look at the
  // file (true: counter, size and modification time are what they were
  // when we last released the lock, or we hold it now). While it holds, pages are cached and used
  // again without looking at their bytes; when it stops holding, pages
  // cached that way are dropped. A writer may count a change before all its
  // pages are on disk, so pages read after another writer's count are only
  // trusted once we held the lock again.
  void SetCountedPagesValid(bool valid);
  bool CountedPagesValid() const { return countedValid_; }

  AnsiString fileName_;
  XBobjIndexTable* table_;
  std::unique_ptr<XBO_DiskFile> disk_;
  bool keysByRecord_ = false;
  // 64-bit, so that stepping past the last page cannot overflow.
  int64_t nextFree_ = -1;
  int32_t pageStep_ = 1;
  int64_t lastPagePosition_ = 0x7FFFFFFF;
  TxbLokProtocol protocol_ = TxbLokProtocol::Default;
  TxbLockRegion lockRegion_{0x7FFFFFFD, 1};
  bool opened_ = false;
  int64_t knownSize_ = 0;
  int64_t knownTime_ = 0;

 private:
  TxbCollection<XBobjIndexTag> tags_;
  int lockLevel_ = 0;
  bool closeFailed_ = false;

  friend class XBobjIndexTag;
  // A page leaving a path is held decoded, as it is. Past the bound the
  // least recently used decoded pages are packed while decoded pages take
  // more than half of it (see XBobjIndexKey::Pack: a few bytes more than
  // its keys, so that much more of a tag fits), and unpacked into a
  // recycled page object when needed again; packed pages then leave.
  struct CachedPage {
    int32_t position = 0;
    const XBobjIndexTag* tag = nullptr;
    std::unique_ptr<XBobjIndexKey> page;  // decoded; null when packed
    std::vector<unsigned char> packed;
    // What the page was read from (see XBobjIndexKey).
    uint64_t readClock = 0;
    int64_t readLow = 0;
    int64_t readHigh = 0;
    std::vector<char> readBytes;
    bool counted = false;  // see XBobjIndexKey::counted_
    // Its use chain and its neighbours there (slots, -1: none).
    int chain = -1;
    int32_t newer = -1;
    int32_t older = -1;
    int64_t bytes = 0;
    bool branch = false;
    // On a path now (neither decoded nor packed here, and counted in no
    // bound): the page object that was served. Its return puts it back in
    // place; any other page object for the position replaces the entry.
    const XBobjIndexKey* out = nullptr;
  };
  // Use chains, most recently used first: decoded leaves [0] and branches
  // [1], packed leaves [2] and branches [3], and pages served and not back
  // yet [kOutChain]. Links are slots: a move in a chain allocates nothing.
  static int UseList(bool packed, bool branch) { return 2 * packed + branch; }
  static constexpr int kOutChain = 4;
  // Slots from the most recently used to the least (held blocks use one
  // too).
  struct UseChain {
    int32_t newest = -1;
    int32_t oldest = -1;
    int count = 0;
  };
  UseChain chains_[kOutChain + 1];
  void UnlinkCached(int32_t slot);
  void FrontCached(int chain, int32_t slot);
  // The cached page of tag at position, taken out of the cache; null when
  // none is there or it went stale.
  std::unique_ptr<XBobjIndexKey> TakeCachedPage(const XBobjIndexTag* tag, int32_t position);
  // What the cache holds of tag's page at position that TakeCachedPage
  // would serve: a branch (decoded or packed), a leaf decoded as it is, or
  // nothing of use (none, stale, out on a path, a packed leaf).
  enum class HeldPage { None, Branch, Leaf };
  HeldPage HeldPageKind(const XBobjIndexTag* tag, int32_t position) const;
  // Keeps a page that left a path (pristine and still valid) or lets it go:
  // returns it when it was not kept.
  std::unique_ptr<XBobjIndexKey> KeepCachedPage(std::unique_ptr<XBobjIndexKey> page);
  // No write since the bytes [low, high) were read at clock touched them.
  bool StillValid(int64_t low, int64_t high, uint64_t clock) const;
  bool StillValid(const XBobjIndexKey& page) const {
    return StillValid(page.readLow_, page.readHigh_, page.readClock_);
  }
  // The same for a cached page, decoded or packed.
  bool StillValid(const CachedPage& cached) const {
    return cached.page ? StillValid(*cached.page) : StillValid(cached.readLow, cached.readHigh, cached.readClock);
  }
  void EvictCachedPages();
  // Takes the cached page in slot out of the cache and its use list.
  CachedPage TakeOut(int32_t slot);
  // The slot of the page cached at position, -1 when there is none.
  int32_t CachedSlot(int32_t position) const;
  // A fresh entry for position, which has none, first in chain.
  CachedPage& NewCached(int32_t position, int chain);
  CachedPage& Cached(int32_t slot) { return cacheSlots_[static_cast<std::size_t>(slot)]; }
  // The page object of a page that left the cache goes to its tag's spare
  // pages (or is freed).
  static void RecyclePageObject(std::unique_ptr<XBobjIndexKey> page);
  // Reads of one page: the bytes they cover are collected.
  void BeginPageRead();
  void EndPageRead(XBobjIndexKey& page);
  // A branch was just written, its own bytes last: it counts as read from
  // them (cacheable) when that last write was at its position.
  void NoteWrittenPage(XBobjIndexKey& page);

  // Entries live in slots that are reused (a deque: a new slot moves no
  // other), found by page position.
  std::deque<CachedPage> cacheSlots_;
  std::vector<int32_t> cacheFree_;
  TxbIntMap<int32_t> cacheWhere_;
  int64_t packedBytes_ = 0;  // of cacheBytes_
  int64_t cacheLimit_ = kDefaultPageCacheBytes;
  int64_t cacheBytes_ = 0;
  int64_t cacheHits_ = 0;
  int64_t cacheMisses_ = 0;
  // Leaves found in the cache, of those looked for, over the recent past.
  // Random work over a tree far larger than the bound finds few: keeping
  // every leaf in a full cache then costs more (its place, the packing and
  // eviction of another) than the rare hit saves, so only a sample of them
  // is kept, enough to see the hits come back.
  TxbHitShare leafHits_;
  unsigned leafSampleTick_ = 0;
  // Each write of ours ticks the clock and stamps the 512-byte blocks it
  // covers with it.
  uint64_t writeClock_ = 0;
  std::vector<uint64_t> blockStamps_;
  bool capturing_ = false;
  int64_t captureLow_ = 0;
  int64_t captureHigh_ = 0;
  int captureReads_ = 0;
  std::vector<char> captureBytes_;
  std::vector<char> verifyBytes_;
  // The range of our last write, and (shared files) its bytes.
  int64_t lastWriteLow_ = -1;
  int64_t lastWriteHigh_ = -1;
  std::vector<char> lastWriteBytes_;
  // Shared files: the page's bytes on disk are still those it was decoded
  // from (pages cached under the change counter: the counter says so).
  bool SameOnDisk(const XBobjIndexKey& page);
  bool countedValid_ = false;
  bool fromDisk_ = false;  // ReadBlockFromDisk under way

  // Held blocks live in slots that are reused (their bytes are allocated
  // once), found by block number, and chained from the most recently used
  // to the least.
  struct HeldBlock {
    int64_t number = -1;
    std::unique_ptr<char[]> bytes;  // kBlockSize
    int32_t newer = -1;             // slots, -1: none
    int32_t older = -1;
    bool dirty = false;  // written here, not yet on disk
  };
  // Blocks are held for this file now; when they may not be any more,
  // those held are written and dropped.
  bool HoldsBlocks();
  // A write of an exclusive file: into the held blocks (large writes and
  // bytes of a block past the end of the file also to the disk).
  void HoldWrite(int64_t position, const char* in, int32_t count);
  // Least recently used blocks beyond the bound go, written first.
  void EvictBlocks();
  // Writes the blocks that wait and forgets every held block.
  void DropBlocks();
  int dirtyBlocks_ = 0;
  // End of the file as the blocks that wait will leave it (0: none wait).
  int64_t heldEnd_ = 0;
  // A slot for block number, the most recently used; its bytes are not set.
  int32_t NewHeld(int64_t number);
  void ForgetHeld(int32_t slot);
  void TouchHeld(int32_t slot);
  HeldBlock& Held(int32_t slot) { return held_[static_cast<std::size_t>(slot)]; }
  std::vector<HeldBlock> held_;
  std::vector<int32_t> heldFree_;
  TxbIntMap<int32_t> heldWhere_;  // block number -> slot
  UseChain heldUse_;
};

// The pages a build writes, in the order their positions were taken:
// pages that follow each other in the file go to it together, in writes
// large enough to pass the held blocks straight to the disk (one block
// copy and one allocation fewer per page, and few system calls). Pages
// still waiting are not in the file: Flush before anything reads them.
class XBobjPageBatch {
 public:
  explicit XBobjPageBatch(XBobjIndexFile& file) : file_(file) {}
  void Write(int64_t position, const void* page, int32_t size);
  void Flush();

 private:
  static constexpr std::size_t kBatchBytes = 64 * 1024;
  XBobjIndexFile& file_;
  std::vector<uint8_t> bytes_;
  int64_t start_ = -1;
};
