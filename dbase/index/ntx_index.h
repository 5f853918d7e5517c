// The single-tag index file ".ntx": a B-tree of 1024-byte pages with an
// offset table, every key a text (numbers and dates formatted so that text
// order is value order), a FOR clause, descending order and a change
// counter through which programs sharing the file see each other's writes.
// The file holds exactly one tag, named after the file's base name.
//
// File layout (positions are byte offsets, multiples of 1024):
//   0      header
//   1024.. pages, appended at the end; a page that left the tree is not
//          reused until the file is zapped or reindexed.
//
// Header (1024 bytes, little-endian):
//   0 signature (2): 6, or 7 with a FOR clause   2 change counter (2)
//   4 root page offset (4)   8 head of a free-page list (4, kept as found)
//   12 item size = key length + 8 (2)   14 key length (2)   16 decimals of
//   numeric keys (2)   18 maximum items per page (2)   20 half of it (2)
//   22 key expression, NUL-terminated (256 bytes: at most 255 characters)
//   278 1 when unique   279 and 280 1 when descending (files of other
//   programs set only 280; both are read, both written)   282 FOR
//   expression, NUL-terminated (742 bytes: at most 741 characters)
//
// Page (1024 bytes): 0 item count (2); from 2 a table of maximum + 1 item
// offsets (2 each); items of item-size bytes at those offsets: child page
// offset (4; 0 in a leaf), record number (4), key (key length, blank-
// padded). A branch with n keys has n + 1 items, the last carrying only the
// rightmost child. A page is a branch when its first item has a child.
// Maximum items: f = floor(1020 / (key length + 10)) - 1, maximum =
// 2 x floor(f / 2); files of other programs are read with the maximum and
// half their header gives.
//
// The tree is a B-tree, not a B+-tree: every item of a branch is a key of
// the index (with its record number) that lies, in key order, between the
// subtrees left and right of it. Equal keys keep the order they were
// inserted in, also in descending files.
//
// Stored keys (held in memory as compared, texts in both cases):
//   text    without trailing blanks, cut to the key length; translated like
//           the table's texts when the file is set to translate;
//   date    "yyyymmdd"; no date "00000000" (eight blanks, as other programs
//           write it, reads as the same empty date);
//   number  the absolute value right-aligned in the key length with the
//           tag's decimals, blanks as "0"; for a negative value every digit d
//           becomes the character 92 - d (the point stays), so that larger
//           magnitudes sort first; a value too wide for the key is stored as
//           the widest the key shows (all 9s, mapped when negative). Key
//           length and decimals come from the table field named like the
//           key expression, else 18 and 4.
//
// How the shared tree machinery sees the file: it knows only trees whose
// keys all lie in leaves. A branch page is shown to it with, for each key,
// the child left of it and then a one-key "item page" holding the key
// itself (position = the page's offset + 1 + item index), and the
// rightmost child last; an item page reads that key from its branch. Walks
// and searches of the machinery so visit every key, in order. Changes do
// not go through the machinery: this tag inserts and removes keys in the
// B-tree itself (a split moves the middle key up; a removed branch key is
// replaced by its in-order neighbour from a leaf; an emptied page takes a
// key from a sibling through its parent, or is merged with it), and drops
// the machinery's cached pages.
//
// Invariants: no page but the root is empty; every page holds at most the
// maximum items; the header's change counter grows with every record change
// written through the file (after 0x7FFF it restarts at 1).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbase/index/index_core.h"
#include "dbase/index/key_sort.h"

constexpr int kNtxPageSize = 1024;
constexpr int kNtxKeyExpressionLimit = 255;
constexpr int kNtxForExpressionLimit = 741;

// --- Page codec

struct NtxLayout {
  int keyLength = 0;
  int itemSize = 0;
  int maxItems = 0;
  int halfItems = 0;
};

struct NtxKey {
  std::string bytes;   // key length bytes as stored
  int32_t record = 0;
};

struct NtxNode {
  std::vector<NtxKey> keys;
  std::vector<int32_t> children;  // empty in a leaf, keys + 1 in a branch
  bool IsLeaf() const { return children.empty(); }
};

// The layout of a new tag with keys of this length.
NtxLayout NtxNewLayout(int keyLength);
// False when the sizes cannot be a page layout (items overlapping the
// offset table or the page end, fewer than two items per page).
bool NtxLayoutValid(const NtxLayout& layout);
// Decodes a page: item offsets inside the page and clear of the offset
// table, a count within the maximum, records above zero, children in a
// branch on page boundaries; a violation raises "Index file %s is
// corrupted" with fileName.
void NtxDecodePage(const uint8_t* page, const NtxLayout& layout, const AnsiString& fileName,
                   NtxNode& node);
// Encodes with items in order behind a filled offset table; false when the
// node holds more keys than the layout allows.
bool NtxEncodePage(const NtxNode& node, const NtxLayout& layout, uint8_t* page);
// A page without keys: zeros behind a filled offset table (items in order).
void NtxStartPage(const NtxLayout& layout, uint8_t* page);
// Item i of a page laid out by NtxStartPage.
uint8_t* NtxPageItem(const NtxLayout& layout, uint8_t* page, int i);

// Key texts of numbers and dates.
std::string NtxNumberKey(double value, int width, int decimals);
std::string NtxDateKey(int32_t day);

// --- Tag and file

class XBobjNTXFile;

class XBobjNTXTag : public XBobjIndexTag {
 public:
  XBobjNTXTag(XBobjNTXFile* file, const AnsiString& name);

  void KeyToStoredForm(TxbVariant& key, bool trimmed) override;
  bool DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                 const AnsiString& forExpression) override;
  // Inserts into the B-tree itself, after the keys equal to it; false when
  // a Unique tag already holds the key.
  bool InsertKey(XBobjIndexKeyData& key) override;
  int32_t RootPage() override;
  int ReadPage(int32_t position, XBobjIndexKey* page) override;
  // Pages are never changed through the shared machinery: a call means a
  // change went around this tag, and is refused.
  int WritePage(XBobjIndexKey* page) override;
  void ReadHeader() override;
  void WriteHeader() override;
  // STR's default width is the width of its argument while this tag's own
  // expressions are evaluated, and only then.
  bool EvaluateKey(TxbVariant& key) override;
  bool EvaluateFor() override;

  // Compiles the expressions, settles key type, length and decimals and
  // refuses what cannot be stored; writes nothing.
  void PrepareDefinition(const AnsiString& keyExpression, bool unique, bool ascending,
                         const AnsiString& forExpression);
  // Writes all keys of the table bottom-up and makes the topmost page the
  // root (progress as every build).
  void BuildTag();
  // Replaces the record's old key by its new one (the table's saved and
  // current record); true when the tree changed.
  bool UpdateForRecord(int32_t recordNumber, bool appended);
  // Re-reads root and counter from the header (another program changed
  // the file).
  void RefreshHeader();
  // Decodes the page at offset position (checked like every read).
  void ReadNode(int32_t position, NtxNode& node);
  // The held (compared) form of a key's disk bytes.
  std::string HeldKey(const std::string& bytes) const;
  // Every (held key, record) in order, by the tree's own walk (children
  // and branch keys); at most `bound` of them. For checks.
  std::vector<std::pair<std::string, int32_t>> InOrder(std::size_t bound = 100000000);

  bool HeaderValid() const { return headerValid_; }
  const NtxLayout& Layout() const { return layout_; }
  int Decimals() const { return decimals_; }
  uint16_t ChangeCounter() const { return counter_; }
  void SetChangeCounter(uint16_t counter) { counter_ = counter; }
  void SetRootPosition(int32_t position) { rootPosition_ = position; }
  XBobjNTXFile* NtxFile() const { return ntx_; }

 private:
  friend class XBobjSortNTX;
  struct Step {
    int32_t position = 0;
    NtxNode node;
    int index = 0;  // leaf: the key; branch: the child descended into (its key follows it)
  };
  using Path = std::vector<Step>;

  int CompareHeld(const std::string& a, const std::string& b) const;
  // The held form of a key's disk bytes, into an entry.
  void SetHeldText(XBobjIndexKeyData& entry, const uint8_t* key) const;
  std::string DiskBytes(const TxbVariant& stored) const;
  void WriteNode(int32_t position, const NtxNode& node);
  int32_t WriteNewNode(const NtxNode& node);
  // An encoded page at a new place, into a build's batch; the place.
  int32_t WriteNewPage(const uint8_t* page, XBobjPageBatch* batch);
  // Pushes the page at position onto the path (checking depth and loops).
  void PushStep(Path& path, int32_t position, int index);
  // Goes down from the root to a leaf, in every page to the first key not
  // less than held (afterEqual: greater than held).
  void Descend(const std::string& held, bool afterEqual, Path& path);
  // Positions the path on the first key not less than held; false when
  // every key is less.
  bool LowerBound(const std::string& held, Path& path);
  // Moves to the next key in order; false at the end.
  bool NextKey(Path& path);
  // The entry of (held key, record); false when absent.
  bool FindEntry(const std::string& held, int32_t record, Path& path);
  void InsertEntry(const NtxKey& key);
  void DeleteAt(Path& path);
  // Repairs the empty page at path[level] through its parent, upwards.
  void FixUnderflow(Path& path, std::size_t level);
  // Pages left empty on the right edge by a build take keys from their
  // left neighbours.
  void RepairRightEdge();
  bool InsertStored(const TxbVariant& stored, int32_t record);

  XBobjNTXFile* ntx_;
  NtxLayout layout_;
  int decimals_ = 0;
  uint16_t counter_ = 0;
  bool headerValid_ = false;
  uint8_t rawHeader_[kNtxPageSize] = {};
};

// Writes a new tag bottom-up from its sorted keys: pages filled evenly
// (pages = n / maximum + 1 per level, ceil(n / pages) keys each); a key
// that finds its page full goes up a level as the key after that page, and
// a branch that is full sends its next key up the same way. The last page
// of every level becomes the rightmost child above; pages left empty at the
// right edge are repaired from their left neighbours afterwards.
class XBobjSortNTX : public TxbSort {
 public:
  explicit XBobjSortNTX(XBobjNTXTag* tag);
  // Writes all keys (progress (2, k, 0) per key; `added` keys were added)
  // and returns the root's offset.
  int32_t WriteTree(int64_t added);

 private:
  // The page a level is filling, encoded as it fills: no key is held
  // anywhere else.
  struct LevelPage {
    std::array<uint8_t, kNtxPageSize> bytes;
    int count = 0;
  };
  // key: the key length of bytes as stored.
  void Add(std::size_t level, const uint8_t* key, int32_t record, int32_t child);
  void StartLevel(LevelPage& level);
  int32_t WriteLevel(LevelPage& level);

  XBobjNTXTag* tag_;
  int perPage_ = 1;
  std::vector<LevelPage> levels_;
  XBobjPageBatch pages_;
};

class XBobjNTXFile : public XBobjIndexFile {
 public:
  // Opens (or creates) the file with the default extension ".ntx". A file
  // that does not exist and is not to be created raises "File %s could not
  // be found". An empty file has no tag until CreateTag; a header that
  // cannot be an NTX header leaves the file not opened.
  XBobjNTXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
               unsigned mode, unsigned share);
  ~XBobjNTXFile() override;

  // Makes the file's one tag anew (named after the file's base name).
  bool CreateTag(const AnsiString& tagName, const AnsiString& keyExpression, bool unique,
                 bool ascending, const AnsiString& forExpression) override;
  int32_t NewPage() override;
  int32_t ResetAllocation() override;
  // Zap, then every key built again, under the whole-file lock.
  void Reindex() override;
  // Replaces the record's key, then counts the change in the header.
  bool RecordChanged(int32_t recordNumber, bool appended) override;
  // Compares the header's change counter with the one last seen.
  bool ChangedByOtherUser() override;
  // Empties the tag (header with counter 1, an empty root at 1024) under
  // the whole-file lock; "Can not Lock file %s" before anything changes.
  void Zap() override;

  XBobjNTXTag* Tag() const;
  // Text keys translated like the table's texts.
  void SetTranslateTexts(bool on) { translateTexts_ = on; }
  bool TranslateTexts() const { return translateTexts_; }

 protected:
  void LockTaken() override;
  void LockReleasing() override;

 private:
  void ZapLocked();
  uint16_t ReadDiskCounter();
  void BumpCounter();
  // Counter, size and time as they stand now, taken as what the cached
  // pages and the header agree with (after an open, a rebuild or our own
  // release).
  void SyncWithDisk();

  bool translateTexts_ = false;
  // Counter, size and modification time:
  uint16_t heldCounter_ = 0;  // what ChangedByOtherUser compares with
  int64_t heldSize_ = 0;
  int64_t heldTime_ = 0;
  uint16_t syncCounter_ = 0;  // what the header was last read at
  int64_t syncSize_ = 0;
  int64_t syncTime_ = 0;
  // When we last let go of the lock (or opened the file): pages read
  // without the lock may be half another writer's change, so under the lock
  // only these values tell whether the cache can be kept.
  uint16_t releasedCounter_ = 0;
  int64_t releasedSize_ = 0;
  int64_t releasedTime_ = 0;
  bool refreshedInLock_ = false;
};
