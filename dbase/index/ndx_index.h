// The single-tag index file ".ndx": one B-tree of 512-byte pages whose keys
// are blank-padded texts or 8-byte doubles. The file holds exactly one tag,
// named after the file's base name; it has no FOR clause and no descending
// order (a definition asking for them gets neither).
//
// File layout (positions are block numbers of 512 bytes):
//   block 0   header
//   block 1.. pages, appended at the end; a page that left the tree is not
//             reused until the file is zapped or reindexed.
//
// Header (block 0, little-endian):
//   0 root page block (4)   4 next free block (4)   8 kept as found (4)
//   12 key length (2; 8 for number and date keys)   14 maximum keys per
//   page (2)   16 key type (2): 1 number or date, 0 text   18 entry length
//   (2)   20..22 zero   23 1 when unique   24 key expression, NUL-terminated
//   (488 bytes, so at most 487 characters)
//
// Page (512 bytes): 0 number of keys (2), 2..3 zero, then from offset 4
// entries of entry length bytes: child block (4; 0 in a leaf), record number
// (4; 0 in a branch), key (blank-padded text or the double). A branch holds
// one entry more than its key count: the last has only its child. A page is
// a branch when its first entry has a non-zero child. The key of a branch
// entry is the last key of its child's subtree.
//
// New tags: entry length = key length + 8 rounded up to a multiple of 4,
// the key length being the text length for text keys, 12 for numbers and 8
// for dates (the header's key length says 8 for both); maximum keys = 504 /
// entry length (so that the extra child of a full branch still fits). Text
// keys of a new tag are at most 244 bytes: every page then holds at least
// two keys, which a split needs to leave a key in both halves of a branch.
// Existing files are read with the entry length and maximum of their own
// header, so files whose numeric entries are 16 bytes, or whose pages hold
// a single key, are read as well.
//
// Stored keys (held in memory as compared): texts without trailing blanks,
// cut to the key length; numbers as the double; dates as the day number as
// a double, where no date (a day below 0.1) is the empty date 1e100.
//
// Invariants: every page the engine writes holds at most the maximum keys,
// and no page but the root is empty; whenever pages were added, the
// header's next free block equals the file's size in blocks before the
// index lock is released.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbase/index/dbase_tree.h"
#include "dbase/index/index_core.h"
#include "dbase/index/key_sort.h"

constexpr int kNdxBlockSize = 512;
constexpr int kNdxExpressionLimit = 487;

// --- Page codec

struct NdxLayout {
  bool text = true;     // key type 0 (text) or 1 (number or date)
  int keyLength = 0;    // bytes of a text key; 8 for doubles
  int entryLength = 0;  // bytes per entry
  int maxKeys = 0;      // keys per page
};

struct NdxEntry {
  std::string key;    // disk bytes: the text as stored (with its padding) or the 8 bytes of the double
  int32_t value = 0;  // leaf: record number; branch: child block
};

struct NdxPage {
  bool branch = false;
  std::vector<NdxEntry> entries;  // a branch: keys + 1 entries, the last without key
};

// The layout a header describes; false when it cannot be a page layout of
// this format (sizes that overlap, pages that hold no key).
bool NdxLayoutValid(const NdxLayout& layout);
// Decodes a page, checking the key count against the layout and every
// record and child against zero; a violation raises "Index file %s is
// corrupted" with fileName.
void NdxDecodePage(const uint8_t* block, const NdxLayout& layout, const AnsiString& fileName,
                   NdxPage& page);
// Encodes a page into block (512 bytes, zero-filled first); false when it
// holds more keys than the layout allows.
bool NdxEncodePage(const NdxPage& page, const NdxLayout& layout, uint8_t* block);

// --- Bottom-up writer shared by the formats whose branch entries hold the
// last key of their child (NDX and MDX)

struct IndexBuildEntry {
  std::string key;    // disk bytes
  int32_t value = 0;  // leaf: record number; branch: child position
};

// Collects sorted keys into pages of at most leafCapacity entries (leaves)
// and branchCapacity entries (branches, the extra child included) and
// writes them through `write`, which places one page and returns its
// position. A full page is held back until the next page of its level has
// an entry, so that the last branch page of a level can take one entry
// from it and never stands without a key; the last page of every level
// becomes the last child of the level above, and the single page of the
// topmost level is the root.
class IndexLevelBuilder {
 public:
  using WriteFn = std::function<int32_t(const std::vector<IndexBuildEntry>& entries, bool leaf)>;
  IndexLevelBuilder(int leafCapacity, int branchCapacity, WriteFn write);

  void Add(std::string key, int32_t record);
  // Writes what is left and returns the root's position (an empty leaf
  // when no key was added).
  int32_t Finish();

 private:
  struct Level {
    std::vector<IndexBuildEntry> current;
    std::vector<IndexBuildEntry> held;
    bool hasHeld = false;
    int written = 0;
  };
  void AddAt(std::size_t level, IndexBuildEntry entry);
  void Emit(std::size_t level, std::vector<IndexBuildEntry>& entries);

  int leafCapacity_;
  int branchCapacity_;
  WriteFn write_;
  std::vector<Level> levels_;
};

// --- Tag and file

class XBobjNDXFile;

class XBobjNDXTag : public XBobjDbaseTreeTag {
 public:
  // The tag of file, named after the file's base name (upper-cased).
  XBobjNDXTag(XBobjNDXFile* file, const AnsiString& name);

  void KeyToStoredForm(TxbVariant& key, bool trimmed) override;
  bool DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                 const AnsiString& forExpression) override;
  int ReadPage(int32_t position, XBobjIndexKey* page) override;
  int WritePage(XBobjIndexKey* page) override;
  int BranchEntryLimit() const override { return layout_.maxKeys + 1; }
  void ReadHeader() override;
  void WriteHeader() override;

  // Compiles the key, settles key type and length on the table's current
  // record and refuses what cannot be stored (text keys beyond 244 bytes
  // with "Sort key length must be 1-244 bytes, is %d"); writes nothing.
  // FOR and descending order are not kept.
  void PrepareDefinition(const AnsiString& keyExpression, bool unique);
  // Writes all keys of the table bottom-up from block nextFree on and
  // makes the topmost page the root (progress as every build).
  void BuildTag();
  // Re-reads root and layout from the header (another program may have
  // changed them); an unreadable header makes the tag unusable.
  void RefreshHeader();
  // Decodes the page at a block (checked like every read); for checks.
  void ReadNode(int32_t block, NdxPage& page);
  // The held (compared) form of a key's disk bytes, and back.
  void SetHeldKey(XBobjIndexKeyData& entry, const std::string& disk) const;
  std::string DiskKey(const TxbVariant& held) const override;

  const NdxLayout& Layout() const { return layout_; }
  void SetRootPosition(int32_t block) { rootPosition_ = block; }
  XBobjNDXFile* NdxFile() const { return ndx_; }

 private:
  // A page at block lies after the header, inside the file and within
  // block numbers.
  bool PageInside(int64_t block) override;
  void HeldKeyFromBytes(const uint8_t* key, XBobjIndexKeyData& entry) override;
  void ReadBlockChecked(int32_t block, uint8_t* data);
  // The layout of a new tag for a key type and length.
  static NdxLayout NewLayout(char keyType, int keyLength);

  XBobjNDXFile* ndx_;
  NdxLayout layout_;
  uint8_t rawHeader_[kNdxBlockSize] = {};
};

// Writes a new tag bottom-up from its sorted keys.
class XBobjSortNdx : public TxbSort {
 public:
  explicit XBobjSortNdx(XBobjNDXTag* tag);
  // Writes all keys (progress (2, k, 0) per key) and returns the root block.
  int32_t WriteTree();

 private:
  XBobjNDXTag* tag_;
};

class XBobjNDXFile : public XBobjIndexFile {
 public:
  // Opens (or creates) the file with the default extension ".ndx". A file
  // that does not exist and is not to be created raises "File %s could not
  // be found". An empty file has no tag until CreateTag; a header that
  // cannot be an NDX header leaves the file not opened.
  XBobjNDXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
               unsigned mode, unsigned share);
  ~XBobjNDXFile() override;

  // Makes the file's one tag anew (the name is the file's base name
  // whatever tagName says); FOR and descending are not stored.
  bool CreateTag(const AnsiString& tagName, const AnsiString& keyExpression, bool unique,
                 bool ascending, const AnsiString& forExpression) override;
  int32_t NewPage() override;
  // The tag's pages, then the header's next free block.
  void WritePending() override;
  int32_t ResetAllocation() override;
  // Zap, then every key built again, under the whole-file lock.
  void Reindex() override;
  // Another program may have changed a shared file at any time: the format
  // keeps no change counter, so a shared file always counts as changed and
  // the header is read again.
  bool ChangedByOtherUser() override;
  // Empties the tag (header and an empty root at block 1) under the
  // whole-file lock; "Can not Lock file %s" before anything changes.
  void Zap() override;

  XBobjNDXTag* Tag() const;
  // Writes the header's next free block when pages were added since it was
  // last written.
  void SyncFreeBlock();
  void SetNextFree(int32_t block) { nextFree_ = block; }

 protected:
  void LockTaken() override;
  void LockReleasing() override;

 private:
  void ZapLocked();
  int32_t writtenFree_ = -1;     // the file's size in blocks when the header's field was last right
  bool refreshedInLock_ = false;  // the header was read again when the lock was taken
};
