// The compound compact index file (".cdx"): one file holding any number of
// tags, each a B-tree of 512-byte nodes with prefix- and suffix-compressed
// leaf keys, listed in a directory tag whose keys are the tag names and
// whose record numbers are the tags' header positions.
//
// File layout (positions are byte offsets, multiples of 512):
//   0     directory tag header (1024 bytes)
//   1024  the directory's root leaf in a new file (a new file is 1536 bytes)
//   ...   tag headers (1024 bytes) and nodes (512 bytes), always appended at
//         the end; freed nodes are not reused until the file is reindexed.
//
// Tag header (1024 bytes, little-endian):
//   0 root node position   4 free list (kept as found; 0 in new files)
//   8 change counter (directory: bumped on every key change in the file)
//   12 key length (1..240)   14 options: 0x01 unique, 0x08 FOR clause,
//   0x20 compact, 0x40 compound, 0x80 directory (new tags 0x60, directory
//   0xE0)   15 signature: 1, or 2 with the GENERAL collation
//   16..493 zero (kept as found)   494 collation name, 8 bytes: "GENERAL"
//   or zero ("MACHINE" accepted when reading)   502 order: 0 ascending,
//   1 descending   504 key expression length + 1 (0 without)   506 FOR
//   expression length + 1 (1 without)   508 0   510 key expression length
//   + 1 (1 without)   512 key expression, NUL, FOR expression, NUL
//
// Node header: 0 attribute (0 branch, 1 root branch, 2 leaf, 3 root leaf),
// 2 key count, 4 left sibling, 8 right sibling (-1 none).
// Branch body (from 12): entries of key (padded with blanks for character
// keys, zeros otherwise), record number and child position (both 4 bytes
// big-endian); at most floor(500 / (key length + 8)) entries.
// Leaf body: 12 free bytes (2), 14 record number mask (4), 18 duplicate
// count mask, 19 trailing count mask, 20 record number bits, 21 duplicate
// count bits, 22 trailing count bits, 23 bytes per entry N; from 24 the
// entries' N-byte information from the front and their key bytes from the
// back of the node. An entry's information holds the record number in its
// low bits and, in the top bits of its last two bytes, the trailing count
// above the duplicate count. An entry stores key length - duplicate -
// trailing bytes: its key is the previous key's first duplicate bytes, the
// stored bytes, and trailing fill bytes. The first entry of a leaf has
// duplicate count 0.
//
// Stored keys (held in memory as compared): character keys as text without
// trailing blanks, cut to the key length; GENERAL keys as raw bytes (see
// cdx_general.h); numbers and dates as 8 big-endian bytes of the double
// with the sign bit set for values >= 0 and every bit inverted for negative
// values, trailing zero bytes dropped.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "dbase/index/index_core.h"
#include "dbase/index/key_sort.h"

constexpr int kCdxBlockSize = 512;
constexpr int kCdxHeaderSize = 1024;
constexpr int kCdxMaxKeyLength = 240;
constexpr int kCdxLeafArea = 488;
constexpr int kCdxNewFileSize = 1536;
constexpr int kCdxDirectoryKeyLength = 10;


// --- Node codec

struct CdxLeafParameters {
  uint32_t recordMask = 0;
  uint8_t duplicateMask = 0;
  uint8_t trailingMask = 0;
  uint8_t recordBits = 0;
  uint8_t duplicateBits = 0;
  uint8_t trailingBits = 0;
  uint8_t infoBytes = 0;
};

// Leaf parameters for a key length and the highest record number a leaf
// must be able to hold.
CdxLeafParameters CdxLeafParametersFor(int keyLength, uint32_t highestRecord);
// Branch entries that fit one node.
inline int CdxMaxBranchEntries(int keyLength) { return 500 / (keyLength + 8); }

struct CdxEntry {
  AnsiString key;      // disk form, without trailing fill
  int32_t record = 0;  // record number
  int32_t child = 0;   // branch: child position
};

struct CdxNode {
  int attribute = 3;
  int32_t left = -1;
  int32_t right = -1;
  CdxLeafParameters leaf;  // as read (leaves)
  std::vector<CdxEntry> entries;
  bool IsLeaf() const { return attribute >= 2; }
};

// Decodes a 512-byte node, checking every count, length and mask against
// the node's bounds; any violation raises "Index file %s is corrupted" with
// fileName.
void CdxDecodeNode(const uint8_t* block, int keyLength, uint8_t fill, const AnsiString& fileName,
                   CdxNode& node);
// Bytes entries [begin, end) take in a leaf's area (information and stored
// key bytes), the first of them with duplicate count 0.
int CdxLeafBytes(const std::vector<CdxEntry>& entries, std::size_t begin, std::size_t end,
                 int keyLength, uint8_t fill, int infoBytes);
// Duplicate and trailing counts of key after previous (both disk form). The
// shared prefix never reaches into the previous key's trailing fill.
void CdxEntryCounts(const AnsiString* previous, const AnsiString& key, int keyLength, uint8_t fill,
                    int& duplicate, int& trailing);
// Encodes entries [begin, end) as a leaf; false (block untouched) when they
// do not fit or a record number does not fit the mask.
bool CdxEncodeLeaf(const std::vector<CdxEntry>& entries, std::size_t begin, std::size_t end,
                   int attribute, int32_t left, int32_t right, int keyLength, uint8_t fill,
                   const CdxLeafParameters& parameters, uint8_t* block);
// Encodes entries [begin, end) as a branch; false when they do not fit.
bool CdxEncodeBranch(const std::vector<CdxEntry>& entries, std::size_t begin, std::size_t end,
                     int attribute, int32_t left, int32_t right, int keyLength, uint8_t fill,
                     uint8_t* block);
// The stored form of a number (and of a date's day number).
AnsiString CdxNumberKey(double value);

// A leaf entry whose key bytes (disk form, at most the key length) stay
// where the page holds them, with its duplicate and trailing counts.
struct CdxLeafRef {
  const char* key = nullptr;
  int length = 0;
  int32_t record = 0;
  int duplicate = 0;
  int trailing = 0;
};
// Sets the counts of refs[i] after previous (null: the first of a node),
// as CdxEntryCounts does, and returns the bytes the entry takes in a leaf.
int CdxCountLeafRef(const CdxLeafRef* previous, CdxLeafRef& ref, int keyLength, uint8_t fill,
                    int infoBytes);
// Encodes refs [0, count) with the counts they hold (the first with
// duplicate 0) as a leaf of used bytes, byte for byte as CdxEncodeLeaf
// would; false when a record number does not fit the mask or they do not
// fit.
bool CdxEncodeLeafRefs(const CdxLeafRef* refs, std::size_t count, int used, int attribute,
                       int32_t left, int32_t right, int keyLength, const CdxLeafParameters& p,
                       uint8_t* block);

// --- Tags and file

enum TxbCdxCollation : int { cdxNone = 0, cdxMachine = 1, cdxGeneral = 2 };

class XBobjCDXFile;

class XBobjCDXTag : public XBobjIndexTag {
 public:
  // headerPosition -1: a new tag, placed later. The name is upper-cased.
  XBobjCDXTag(XBobjCDXFile* file, int32_t headerPosition, const AnsiString& name,
              bool directory = false);

  void KeyToStoredForm(TxbVariant& key, bool trimmed) override;
  void AddSortKey(TxbSort& sorter, TxbVariant& key, int32_t recordNumber) override;
  bool DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                 const AnsiString& forExpression) override;
  bool InsertKey(XBobjIndexKeyData& key) override;
  int32_t RootPage() override;
  int ReadPage(int32_t position, XBobjIndexKey* page) override;
  int WritePage(XBobjIndexKey* page) override;
  void ReadHeader() override;
  void WriteHeader() override;
  void PageRemoved(XBobjIndexKey* page) override;
  bool AlternateStoredForm(const TxbVariant& stored, TxbVariant& alternate) override;
  bool WrittenPageReadsBackAsHeld() const override { return true; }
  bool LeafBlocksEditable() const override { return !General() && !directory_; }
  bool ReadLeafBlock(int32_t position, int& count, int32_t& left, int32_t& right) override;
  void LeafBlockEntry(int i, XBobjIndexKeyData& entry) const override;
  bool InsertIntoLeafBlock(int at, const XBobjIndexKeyData& stored) override;

  // Compiles the expressions and settles key type and length on the table's
  // current record, refusing what cannot be stored; writes nothing.
  void PrepareDefinition(const AnsiString& keyExpression, bool unique, bool ascending,
                         const AnsiString& forExpression);
  // Rebuilds all keys from the table (a directory: an empty root leaf).
  void BuildTag();
  // Re-reads root and change counter (another program changed the file).
  void RefreshHeader();

  // Decodes the node at position (checked like every read); for checks.
  void ReadNode(int32_t position, CdxNode& node);
  // Disk form of a held key and back.
  AnsiString DiskKey(const TxbVariant& held) const;
  void SetHeldKey(XBobjIndexKeyData& entry, std::string_view disk) const;

  bool IsDirectory() const { return directory_; }
  bool HeaderValid() const { return headerValid_; }
  uint8_t Options() const { return options_; }
  int Collation() const { return collation_; }
  void SetCollation(int collation) { collation_ = collation; }
  uint32_t ChangeCounter() const { return changeCounter_; }
  void SetChangeCounter(uint32_t counter) { changeCounter_ = counter; }
  void SetHeaderPosition(int32_t position) { headerPosition_ = position; }
  void SetRootPosition(int32_t position) { rootPosition_ = position; }
  // The header bytes this program does not interpret are kept as read;
  // these clear them (a rebuilt file) or only the free-list word.
  void ResetHeaderBytes() { std::memset(rawHeader_, 0, sizeof rawHeader_); }
  void ClearFreeList() { std::memset(rawHeader_ + 4, 0, 4); }
  uint8_t FillByte() const { return keyType_ == 'C' ? ' ' : 0; }
  // The highest record number leaves of this tag must hold.
  uint32_t HighestRecord();
  XBobjCDXFile* CdxFile() const { return cdx_; }

 private:
  // Text keys of this tag are stored in the GENERAL collation's form.
  bool General() const { return collation_ == cdxGeneral && !directory_; }
  void DetermineKeyType();
  // A node at position lies on a block boundary inside the file.
  bool NodeInside(int64_t position);
  // Reads the node block at a checked position.
  void ReadBlockChecked(int32_t position, uint8_t* block);
  // Sibling links must be -1 or nodes inside the file.
  void CheckLinks(const CdxNode& node);
  void WriteLeaf(XBobjIndexKey* page);
  // WriteLeaf over the page's own key bytes (tags whose held keys are
  // their disk form).
  void WriteLeafInPlace(XBobjIndexKey* page);
  // Writes the block of the first moved entries of page, split off at
  // position to its left, and takes them out of page; firstSplit keeps the
  // first such position (its left neighbour is told later).
  void WriteSplitOffLeaf(XBobjIndexKey* page, const uint8_t* block, std::size_t moved, int32_t position,
                         int32_t& firstSplit);
  void WriteBranch(XBobjIndexKey* page);
  // Points the node at position to a new sibling (offset 4 left, 8 right).
  void RelinkNode(int32_t position, int offset, int32_t sibling);
  std::vector<CdxEntry> DiskEntries(const XBobjIndexKey* page) const;

  XBobjCDXFile* cdx_;
  bool directory_;
  bool headerValid_ = true;
  uint8_t options_ = 0x60;
  int collation_ = cdxMachine;
  uint32_t changeCounter_ = 0;
  uint8_t rawHeader_[kCdxHeaderSize] = {};
  std::vector<CdxLeafRef> leafRefs_;  // reused by WriteLeafInPlace
  // The leaf ReadLeafBlock read: every key at the key length (trailing
  // fill included), its length without the fill, its record.
  std::vector<uint8_t> blockKeys_;
  std::vector<int> blockLengths_;
  std::vector<int32_t> blockRecords_;
  int blockCount_ = 0;
  int32_t blockPosition_ = 0;
  int32_t blockLeft_ = -1;
  int32_t blockRight_ = -1;
};

// Writes a new tag bottom-up from its sorted keys: one node per tree level
// under construction. A closed node is written only once the position of
// its right sibling is known, so every sibling link points at a written
// node and the last node of every level ends the chain with -1.
class XBobjSortCDX : public TxbSort {
 public:
  XBobjSortCDX(XBobjCDXTag* tag, int32_t recordCount);
  // Writes all keys (progress (2, k, 0) per key) and returns the root.
  int32_t WriteTree();

 private:
  // Entries are kept in pools that only grow: a node's entries are
  // assigned over those of an earlier node, so keys cost no allocation.
  struct Level {
    std::vector<CdxEntry> entries;
    std::size_t count = 0;
    int32_t position = -1;  // -1: no node started
    int32_t left = -1;
    // Closed, waiting for its right sibling.
    std::vector<CdxEntry> pending;
    std::size_t pendingCount = 0;
    int32_t pendingLeft = -1;
    int32_t pendingPosition = -1;
  };
  // Leaves are encoded in place as their keys arrive: the block under
  // construction and the closed one waiting for its right sibling.
  struct LeafBlock {
    uint8_t block[kCdxBlockSize];
    int count = 0;
    int used = 0;  // information and key bytes
    int keyEnd = kCdxBlockSize;
    int32_t position = -1;
    int32_t left = -1;
  };
  // Branch levels (1 and up).
  void Add(std::size_t level, const char* key, std::size_t length, int32_t record, int32_t child);
  void WriteNode(std::size_t level, const std::vector<CdxEntry>& entries, std::size_t count, int32_t left,
                 int32_t right, int32_t position, bool root);
  void AddLeafKey(const uint8_t* key, int length, int32_t record);
  void WriteLeaf(LeafBlock& leaf, int32_t right, bool root);

  XBobjCDXTag* tag_;
  int32_t recordCount_;
  int keyLength_;
  uint8_t fill_;
  CdxLeafParameters leaf_;
  std::vector<Level> levels_;
  AnsiString separator_;
  LeafBlock leaves_[2];
  int openLeaf_ = 0;  // leaves_[openLeaf_] is built, the other one waits
  uint8_t previousKey_[256] = {};
  int previousLength_ = 0;
  int previousStored_ = 0;  // without trailing fill
  int32_t previousRecord_ = 0;
  XBobjPageBatch blocks_;
};

class XBobjCDXFile : public XBobjIndexFile {
 public:
  // Opens (or creates) the file with the default extension ".cdx". A file
  // that does not exist and is not to be created raises "File %s could not
  // be found". An invalid directory header leaves the file not opened.
  XBobjCDXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
               unsigned mode, unsigned share);
  ~XBobjCDXFile() override;

  bool CreateTag(const AnsiString& tagName, const AnsiString& keyExpression, bool unique,
                 bool ascending, const AnsiString& forExpression) override;
  bool DeleteTag(const AnsiString& tagName) override;
  int32_t NewPage() override;
  bool HasUnwrittenChanges() const override;
  // The tags' pages, then the tag directory's.
  void WritePending() override;
  int32_t ResetAllocation() override;
  void Reindex() override;
  bool RecordChanged(int32_t recordNumber, bool appended) override;
  bool ChangedByOtherUser() override;

  XBobjCDXTag* Directory() const { return directory_.get(); }
  // The collation new tags get: MACHINE unless a build asks for GENERAL.
  void SetNewTagCollation(int collation) { newTagCollation_ = collation; }
  int NewTagCollation() const { return newTagCollation_; }
  // The directory's change counter as last read or written.
  uint32_t ChangeCounter() const;

 protected:
  void LockTaken() override;
  void LockReleasing() override;

 private:
  void InitializeNewFile();
  void LoadTagsFromDirectory();
  // Runs a change of tags and directory under the index lock, the
  // directory's pages read afresh before it and dropped after a failure.
  void ChangeDirectory(const std::function<void()>& change);
  void RemoveDirectoryEntry(const AnsiString& name, int32_t headerPosition);
  void AddDirectoryEntry(const AnsiString& name, int32_t headerPosition);
  uint32_t ReadDiskCounter();
  void BumpChangeCounter();
  void RefreshTagHeaders();
  // Counter and size as they stand now, taken as what every cached page
  // and header agrees with (after an open, a rebuild or our own release).
  void SyncWithDisk();

  std::unique_ptr<XBobjCDXTag> directory_;
  int newTagCollation_ = cdxMachine;
  uint32_t heldCounter_ = 0;  // what ChangedByOtherUser compares with
  int64_t heldSize_ = 0;
  int64_t heldTime_ = 0;      // modification time
  uint32_t syncCounter_ = 0;  // what the tag headers were last read at
  int64_t syncSize_ = 0;
  int64_t syncTime_ = 0;
  // Counter and size when we last let go of the lock (or opened the file).
  // Pages read without the lock may be half another writer's change, so
  // under the lock only these values tell whether the cache can be kept.
  uint32_t releasedCounter_ = 0;
  int64_t releasedSize_ = 0;
  int64_t releasedTime_ = 0;
  bool refreshedInLock_ = false;  // LockTaken found another writer's change
  bool countPending_ = false;     // a change under the lock awaits its count
};
