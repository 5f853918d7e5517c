// The multiple index file ".mdx": up to 47 tags in one file of 1024-byte
// pages, listed in a tag table in the file header, with numeric keys as
// 12-byte packed decimals. An MDX file named after its table is the table's
// production index.
//
// File layout (positions are block numbers of 512 bytes; a page is two
// blocks; pages and tag headers are appended at the end and never reused
// until the file is reindexed):
//   blocks 0-3  file header (2048 bytes)
//   then        tag headers (one page each) and pages
//
// File header (little-endian):
//   0 version 2   1 date of last change (years since 1900, month, day)
//   4 table name, 16 bytes: base name, at most 8 characters, NUL-terminated
//   20 blocks per page (2)   22 page size in bytes (1024)   24 production
//   flag 1   25 tag table entries 48   26 tag table entry length 32
//   28 number of tags (2)   32 next free block (4)   44 creation date (3)
//   512 + 32 x i  tag table entry i (entry 0 is not a tag; tags 1 to 47,
//                 the last entry that ends inside the header)
// Tag table entry (32 bytes): 0 tag header block (4), 4 tag name (11,
// NUL-terminated), 17 number of the following entry (the entry before tag i
// holds i; the last tag 0), 19 the value 2, 20 key type ('C', 'N', 'D').
// Entries are kept in ascending order of tag name, case-insensitive.
//
// Tag header (one page): 0 root page block (4)   8 flags: 0x10 always,
// 0x40 unique, 0x08 descending   9 key type   12 key length (2)   14 maximum
// keys per page (2)   18 entry length (2)   23 0x40 when unique   24 key
// expression, NUL-terminated (220 bytes: at most 219 characters)   245 1
// when a FOR expression exists   246 1   248 first page block written (4)
// 252 last page block written (4)   762 FOR expression, NUL-terminated
// (262 bytes: at most 261 characters). Bytes not listed are kept as read
// (zero in new tags).
//
// Page (1024 bytes): 0 number of keys (4), 4 the block of the page written
// before it (4), from 8 entries of entry length bytes: a 4-byte value
// (record number in a leaf, child page block in a branch) and the key
// (blank-padded text, 8-byte double, or 12-byte packed decimal). A branch
// holds one entry more than its key count, the last without key; a page is
// a branch when the value after its last key is not zero (pages are encoded
// into zeroed buffers, so a leaf's value there is always 0). The key of a
// branch entry is the last key of its child's subtree. Entry length = key
// length + 4 rounded up to 4; maximum keys = (1024 - 8) / entry length - 1;
// key length: text length, numbers 12, dates 8.
//
// Packed decimal (12 bytes): byte 0 = decimal exponent + 52 (the value is
// 0.d1d2d3... x 10^exponent); byte 1 = 4 x (digit nibbles used, always
// even) + 1, plus 0x80 for a negative value; bytes 2-11 = the significant
// digits (at most 15), two per byte, high nibble first, zero-filled;
// trailing zero digits are not counted. Zero is exponent 52 with no digits.
// A value needing more than 15 integer digits is stored as fifteen 9s.
//
// Stored keys (held in memory as compared): texts without trailing blanks,
// cut to the key length; numbers as the double read back from their packed
// form (15 significant digits); dates as the day number as a double, no
// date being the empty date 1e100. Descending tags keep their keys in
// descending order on disk.
//
// Invariants: every page the engine writes holds at most the maximum keys;
// the tag table lists every tag once, in name order; whenever pages were
// added, the header's next free block equals the file's size in blocks
// before the index lock is released.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbase/index/dbase_tree.h"
#include "dbase/index/index_core.h"
#include "dbase/index/key_sort.h"

constexpr int kMdxBlockSize = 512;
constexpr int kMdxPageSize = 1024;
constexpr int kMdxHeaderSize = 2048;
// The table has 48 entries of which entry 0 is not a tag: the 48th tag's
// entry would lie past the header, in the first tag's header page.
constexpr int kMdxMaxTags = 47;
constexpr int kMdxTagNameLength = 10;
constexpr int kMdxKeyExpressionLimit = 219;
constexpr int kMdxForExpressionLimit = 261;
constexpr int kMdxPackedLength = 12;

// --- Packed decimal numbers

// Packs value (15 significant digits) into 12 bytes.
void MdxPackNumber(double value, uint8_t* out);
// Reads 12 packed bytes; false for more than 10 digit bytes or a digit
// nibble above 9.
bool MdxUnpackNumber(const uint8_t* in, double& value);
// The value as it reads back from its packed form.
double MdxStoredNumber(double value);

// --- Page codec

struct MdxLayout {
  char type = 'C';      // 'C', 'N' or 'D'
  int keyLength = 0;    // text length, 12 for numbers, 8 for dates
  int entryLength = 0;  // bytes per entry
  int maxKeys = 0;      // keys per page
};

struct MdxEntry {
  std::string key;    // disk bytes (key length)
  int32_t value = 0;  // leaf: record number; branch: child block
};

struct MdxPage {
  bool branch = false;
  int32_t previous = 0;           // offset 4: the page written before this one
  std::vector<MdxEntry> entries;  // a branch: keys + 1 entries, the last without key
};

// False when the sizes cannot be a page layout of this format.
bool MdxLayoutValid(const MdxLayout& layout);
// Decodes a page, checking the key count, every record and child, and every
// packed number; a violation raises "Index file %s is corrupted".
void MdxDecodePage(const uint8_t* block, const MdxLayout& layout, const AnsiString& fileName,
                   MdxPage& page);
// Encodes into block (1024 bytes, zero-filled first); false when the page
// holds more keys than the layout allows.
bool MdxEncodePage(const MdxPage& page, const MdxLayout& layout, uint8_t* block);

// --- Tags and file

class XBobjMDXFile;

class XBobjMDXTag : public XBobjDbaseTreeTag {
 public:
  // headerBlock -1: a new tag, placed later. The name is upper-cased.
  XBobjMDXTag(XBobjMDXFile* file, int32_t headerBlock, const AnsiString& name);

  void KeyToStoredForm(TxbVariant& key, bool trimmed) override;
  bool DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                 const AnsiString& forExpression) override;
  int ReadPage(int32_t position, XBobjIndexKey* page) override;
  int WritePage(XBobjIndexKey* page) override;
  int BranchEntryLimit() const override { return layout_.maxKeys + 1; }
  void ReadHeader() override;
  void WriteHeader() override;

  // Compiles the expressions, settles key type and length on the table's
  // current record and refuses what cannot be stored; writes nothing.
  void PrepareDefinition(const AnsiString& keyExpression, bool unique, bool ascending,
                         const AnsiString& forExpression);
  // Writes all keys of the table bottom-up, then the header.
  void BuildTag();
  // Makes the tag's pages anew with its definition as it is: an empty root
  // page for an empty table, else a build; then the header.
  void Rebuild();
  // Re-reads root and page chain from the header; an unreadable header
  // makes the tag unusable.
  void RefreshHeader();
  // Decodes the page at a block (checked like every read); for checks.
  void ReadNode(int32_t block, MdxPage& page);
  void SetHeldKey(XBobjIndexKeyData& entry, const std::string& disk) const;
  std::string DiskKey(const TxbVariant& held) const override;
  // Places a page written for the first time at the end of the chain of
  // written pages; returns the block its offset 4 must hold.
  int32_t ChainNewPage(int32_t block);

  const MdxLayout& Layout() const { return layout_; }
  int32_t FirstPage() const { return firstPage_; }
  int32_t LastPage() const { return lastPage_; }
  void SetHeaderPosition(int32_t block) { headerPosition_ = block; }
  // The tag table entry as read (bytes this program does not interpret
  // are kept when the table is rewritten).
  uint8_t* RawEntry() { return rawEntry_; }
  XBobjMDXFile* MdxFile() const { return mdx_; }

 private:
  // A page (or tag header) at block lies after the file header, inside the
  // file and within block numbers.
  bool PageInside(int64_t block) override;
  void HeldKeyFromBytes(const uint8_t* key, XBobjIndexKeyData& entry) override;
  void ReadBlockChecked(int32_t block, uint8_t* data);

  XBobjMDXFile* mdx_;
  MdxLayout layout_;
  int32_t firstPage_ = 0;
  int32_t lastPage_ = 0;
  uint8_t rawHeader_[kMdxPageSize] = {};
  uint8_t rawEntry_[32] = {};
};

// Writes a new tag bottom-up from its sorted keys; every page written
// points at the one written before it.
class XBobjSortMDX : public TxbSort {
 public:
  explicit XBobjSortMDX(XBobjMDXTag* tag);
  // Writes all keys (progress (2, k, 0) per key) and returns the root block.
  int32_t WriteTree();

 private:
  XBobjMDXTag* tag_;
};

class XBobjMDXFile : public XBobjIndexFile {
 public:
  // Opens (or creates) the file with the default extension ".mdx". A file
  // that does not exist and is not to be created raises "File %s could not
  // be found"; a new or too small file gets a new header; a header with
  // another page size or more tags than the table holds leaves the file not
  // opened.
  XBobjMDXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
               unsigned mode, unsigned share);
  ~XBobjMDXFile() override;

  // Adds or replaces a tag; a 48th tag is refused with "Too many tags in
  // index file %s" before anything is written.
  bool CreateTag(const AnsiString& tagName, const AnsiString& keyExpression, bool unique,
                 bool ascending, const AnsiString& forExpression) override;
  bool DeleteTag(const AnsiString& tagName) override;
  int32_t NewPage() override;
  bool HasUnwrittenChanges() const override;
  // The tags' pages, then the header's date and block count.
  void WritePending() override;
  int32_t ResetAllocation() override;
  // Every tag made anew under the whole-file lock.
  void Reindex() override;
  // Renames the file and the table name its header holds.
  void Rename(const AnsiString& newName) override;
  bool RecordChanged(int32_t recordNumber, bool appended) override;
  // The format keeps no change counter: a shared file always counts as
  // changed and the tag headers are read again.
  bool ChangedByOtherUser() override;

  // Writes the header's next free block, tag count and date of change when
  // the file changed since they were last written.
  void SyncHeader();
  const uint8_t* HeaderBytes() const { return header_; }

 protected:
  void LockTaken() override;
  void LockReleasing() override;

 private:
  void InitializeNewFile();
  bool ReadFileHeader();
  // Rewrites the tag table and the tag count from the tag list.
  void WriteTagTable();
  void PutToday(uint8_t* at) const;
  void RefreshTagHeaders();

  uint8_t header_[kMdxHeaderSize] = {};
  int32_t writtenFree_ = -1;  // the file's size in blocks when the header's field was last right
  bool changed_ = false;      // keys or tags changed since the header was written
  bool refreshedInLock_ = false;
};
