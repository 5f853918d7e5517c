// NDX single-tag index: page codec, the level builder shared with MDX, the
// tag and the file. The layout is described in ndx_index.h.
#include "dbase/index/ndx_index.h"

#include <algorithm>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/base/charset.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

// The longest text key whose entries still leave two keys on a page.
// With one key per page a branch split in two keeps a half made of nothing
// but its extra child, and readers that go by a page's key count lose what
// lies under it; no balanced tree avoids that with one key per page.
constexpr int kTwoKeysPerPage = (kNdxBlockSize - 8) / 2 / 4 * 4 - 8;
// Longer keys could not be sorted for a rebuild either.
constexpr int kMaxKeyLength = std::min(TxbSort::kMaxKeyLength - 1, kTwoKeysPerPage);
static_assert(kMaxKeyLength == 244);
constexpr int32_t kMaxBlock = 0x3FFFFF;  // block x 512 stays a 32-bit position

}  // namespace

// ---------------------------------------------------------------------------
// Page codec

bool NdxLayoutValid(const NdxLayout& l) {
  int stored = l.text ? l.keyLength : 8;
  if (l.keyLength < 1 || (!l.text && l.keyLength != 8)) return false;
  if (l.entryLength < stored + 8 || l.maxKeys < 1) return false;
  // The keys of a full page and the extra child of a full branch.
  return 4 + static_cast<int64_t>(l.maxKeys) * l.entryLength + 4 <= kNdxBlockSize;
}

namespace {

// Checks a page's key count, records and children and hands every entry to
// sink(key bytes, or null for the extra child of a branch, value). Returns
// whether the page is a branch.
template <class Sink>
bool DecodeEntries(const uint8_t* block, const NdxLayout& layout, const AnsiString& fileName, Sink&& sink) {
  auto bad = [&fileName]() { XbRaise(xbmIndexCorrupted, fileName); };
  if (!NdxLayoutValid(layout)) bad();
  int count = GetLe16(block);
  if (count > layout.maxKeys) bad();
  bool branch = GetLe32(block + 4) != 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t* p = block + 4 + i * layout.entryLength;
    int32_t child = static_cast<int32_t>(GetLe32(p));
    int32_t record = static_cast<int32_t>(GetLe32(p + 4));
    int32_t value = branch ? child : record;
    if (value <= 0 || (!branch && child != 0)) bad();
    sink(p + 8, value);
  }
  if (branch) {
    int32_t last = static_cast<int32_t>(GetLe32(block + 4 + count * layout.entryLength));
    if (last <= 0) bad();
    sink(nullptr, last);
  }
  return branch;
}

}  // namespace

void NdxDecodePage(const uint8_t* block, const NdxLayout& layout, const AnsiString& fileName,
                   NdxPage& page) {
  page.entries.clear();
  int keyBytes = layout.text ? layout.keyLength : 8;
  page.branch = DecodeEntries(block, layout, fileName, [&](const uint8_t* key, int32_t value) {
    NdxEntry e;
    e.value = value;
    if (key) e.key.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(keyBytes));
    page.entries.push_back(std::move(e));
  });
}

bool NdxEncodePage(const NdxPage& page, const NdxLayout& layout, uint8_t* block) {
  int entries = static_cast<int>(page.entries.size());
  int keys = page.branch ? entries - 1 : entries;
  if (keys < 0 || keys > layout.maxKeys) return false;
  std::memset(block, 0, kNdxBlockSize);
  PutLe16(block, static_cast<uint32_t>(keys));
  int keyBytes = layout.text ? layout.keyLength : 8;
  for (int i = 0; i < entries; ++i) {
    uint8_t* p = block + 4 + i * layout.entryLength;
    const NdxEntry& e = page.entries[static_cast<std::size_t>(i)];
    if (page.branch) {
      PutLe32(p, static_cast<uint32_t>(e.value));
      if (i == keys) break;  // the extra child has no key
    } else {
      PutLe32(p + 4, static_cast<uint32_t>(e.value));
    }
    if (layout.text) std::memset(p + 8, ' ', static_cast<std::size_t>(keyBytes));
    std::memcpy(p + 8, e.key.data(), std::min<std::size_t>(e.key.size(), static_cast<std::size_t>(keyBytes)));
  }
  return true;
}

// ---------------------------------------------------------------------------
// IndexLevelBuilder

IndexLevelBuilder::IndexLevelBuilder(int leafCapacity, int branchCapacity, WriteFn write)
    : leafCapacity_(std::max(leafCapacity, 1)),
      branchCapacity_(std::max(branchCapacity, 2)),
      write_(std::move(write)) {}

void IndexLevelBuilder::Add(std::string key, int32_t record) {
  AddAt(0, IndexBuildEntry{std::move(key), record});
}

void IndexLevelBuilder::AddAt(std::size_t level, IndexBuildEntry entry) {
  if (levels_.size() <= level) levels_.resize(level + 1);
  levels_[level].current.push_back(std::move(entry));
  std::size_t capacity = static_cast<std::size_t>(level ? branchCapacity_ : leafCapacity_);
  if (levels_[level].current.size() < capacity) return;
  if (levels_[level].hasHeld) {
    std::vector<IndexBuildEntry> held = std::move(levels_[level].held);
    Emit(level, held);
  }
  Level& l = levels_[level];
  l.held = std::move(l.current);
  l.hasHeld = true;
  l.current.clear();
}

void IndexLevelBuilder::Emit(std::size_t level, std::vector<IndexBuildEntry>& entries) {
  int32_t position = write_(entries, level == 0);
  ++levels_[level].written;
  // Copied before the level list may grow.
  std::string last = entries.back().key;
  AddAt(level + 1, IndexBuildEntry{std::move(last), position});
}

int32_t IndexLevelBuilder::Finish() {
  if (levels_.empty()) return write_({}, true);
  for (std::size_t level = 0;; ++level) {
    Level& l = levels_[level];
    // A branch page of one entry would have no key: it takes the last
    // entry of its full neighbour.
    if (level > 0 && l.hasHeld && l.current.size() == 1 && l.held.size() > 2) {
      l.current.insert(l.current.begin(), std::move(l.held.back()));
      l.held.pop_back();
    }
    int pages = l.written + (l.hasHeld ? 1 : 0) + (l.current.empty() ? 0 : 1);
    if (pages == 1) {
      std::vector<IndexBuildEntry> only = l.hasHeld ? std::move(l.held) : std::move(l.current);
      return write_(only, level == 0);
    }
    if (l.hasHeld) {
      std::vector<IndexBuildEntry> held = std::move(l.held);
      levels_[level].hasHeld = false;
      Emit(level, held);
    }
    if (!levels_[level].current.empty()) {
      std::vector<IndexBuildEntry> current = std::move(levels_[level].current);
      levels_[level].current.clear();
      Emit(level, current);
    }
  }
}

// ---------------------------------------------------------------------------
// XBobjNDXTag

XBobjNDXTag::XBobjNDXTag(XBobjNDXFile* file, const AnsiString& name)
    : XBobjDbaseTreeTag(file, UpperCase(name)), ndx_(file) {
  formatWord_ = "NDX";
}

NdxLayout XBobjNDXTag::NewLayout(char keyType, int keyLength) {
  NdxLayout l;
  l.text = keyType == 'C';
  int field = keyType == 'C' ? keyLength : keyType == 'N' ? 12 : 8;
  l.keyLength = l.text ? keyLength : 8;
  l.entryLength = (field + 8 + 3) / 4 * 4;
  l.maxKeys = 504 / l.entryLength;
  return l;
}

void XBobjNDXTag::KeyToStoredForm(TxbVariant& key, bool trimmed) {
  if (keyType_ == 'N') {
    key.SetNumber(key.AsNumber());
    return;
  }
  if (keyType_ == 'D') {
    key.SetNumber(DayNumberKey(key));
    return;
  }
  TextKeyForm(key, trimmed);
  if (keyLength_ > 0) CutTextKey(key, keyLength_, trimmed);
}

void XBobjNDXTag::SetHeldKey(XBobjIndexKeyData& entry, const std::string& disk) const {
  if (keyType_ == 'C')
    entry.SetText(HeldText(reinterpret_cast<const uint8_t*>(disk.data()), static_cast<int>(disk.size())));
  else
    entry.SetNumber(DoubleFromKeyBytes(disk));
}

std::string XBobjNDXTag::DiskKey(const TxbVariant& held) const {
  if (keyType_ != 'C') return DoubleKeyBytes(held.AsNumber());
  std::string bytes(reinterpret_cast<const char*>(held.Data()), static_cast<std::size_t>(held.Length()));
  bytes.resize(static_cast<std::size_t>(layout_.keyLength), ' ');
  return bytes;
}

void XBobjNDXTag::PrepareDefinition(const AnsiString& keyExpression, bool unique) {
  if (static_cast<int>(keyExpression.size()) > kNdxExpressionLimit)
    XbRaise(xbmIndexExpressionTooLong, tagName_);
  // The format keeps neither a FOR condition nor a descending order.
  XBobjIndexTag::DefineTag(keyExpression, unique, true, "");
  keysDescending_ = false;
  TxbVariant value(0);
  keyType_ = SampleKeyType(value, kMaxKeyLength);
  int length = keyType_ == 'C' ? value.Length() : 8;
  CheckKeyLength(length, kMaxKeyLength);
  layout_ = NewLayout(keyType_, length);
  keyLength_ = layout_.keyLength;
  entryLength_ = layout_.entryLength;
  entriesPerBranch_ = layout_.maxKeys + 1;
  headerValid_ = true;
}

bool XBobjNDXTag::DefineTag(const AnsiString& keyExpression, bool unique, bool,
                            const AnsiString&) {
  PrepareDefinition(keyExpression, unique);
  DiscardPages();
  std::memset(rawHeader_, 0, sizeof rawHeader_);
  ndx_->WriteBlock(int64_t{headerPosition_} * kNdxBlockSize, rawHeader_, kNdxBlockSize);
  XBobjIndexTable* table = ndx_->Table();
  if (!table || table->IndexRecordCount() == 0) {
    int32_t root = ndx_->NewPage();
    NdxPage empty;
    uint8_t block[kNdxBlockSize];
    NdxEncodePage(empty, layout_, block);
    ndx_->WriteBlock(int64_t{root} * kNdxBlockSize, block, kNdxBlockSize);
    rootPosition_ = root;
    headerChanged_ = true;
    WriteHeader();
  } else {
    BuildTag();
  }
  return true;
}

void XBobjNDXTag::ReadHeader() {
  headerValid_ = false;
  uint8_t h[kNdxBlockSize];
  if (!ndx_->PositionInside(0, kNdxBlockSize) || !ndx_->ReadBlock(0, h, kNdxBlockSize)) return;
  std::memcpy(rawHeader_, h, sizeof h);
  uint32_t root = GetLe32(h);
  NdxLayout l;
  int type = GetLe16(h + 16);
  l.text = type == 0;
  l.keyLength = GetLe16(h + 12);
  l.maxKeys = GetLe16(h + 14);
  l.entryLength = GetLe16(h + 18);
  if (type > 1 || !NdxLayoutValid(l) || !PageInside(root)) return;
  const char* text = reinterpret_cast<const char*>(h + 24);
  std::size_t length = strnlen(text, kNdxBlockSize - 24);
  if (length == static_cast<std::size_t>(kNdxBlockSize - 24)) return;
  layout_ = l;
  headerValid_ = true;
  rootPosition_ = static_cast<int32_t>(root);
  keyLength_ = l.keyLength;
  entryLength_ = l.entryLength;
  entriesPerBranch_ = l.maxKeys + 1;
  unique_ = h[23] != 0;
  ascending_ = true;
  keysDescending_ = false;
  keyExpression_.assign(text, length);
  forExpression_.clear();
  hasFor_ = false;
  CompileKey();
  // Numbers and dates are both doubles: the expression tells them apart.
  keyType_ = l.text ? 'C' : EvaluatedKeyType() == 'D' ? 'D' : 'N';
  headerChanged_ = false;
}

void XBobjNDXTag::RefreshHeader() {
  DiscardPages();
  uint8_t h[kNdxBlockSize];
  if (!ndx_->PositionInside(0, kNdxBlockSize) || !ndx_->ReadBlock(0, h, kNdxBlockSize)) {
    headerValid_ = false;
    return;
  }
  uint32_t root = GetLe32(h);
  if (GetLe16(h + 12) != layout_.keyLength || GetLe16(h + 18) != layout_.entryLength ||
      GetLe16(h + 14) != layout_.maxKeys || !PageInside(root)) {
    headerValid_ = false;
    return;
  }
  std::memcpy(rawHeader_, h, sizeof h);
  rootPosition_ = static_cast<int32_t>(root);
  headerChanged_ = false;
}

void XBobjNDXTag::WriteHeader() {
  uint8_t h[kNdxBlockSize];
  std::memcpy(h, rawHeader_, sizeof h);
  if (keyExpression_.size() > static_cast<std::size_t>(kNdxExpressionLimit))
    XbRaise(xbmIndexExpressionTooLong, tagName_);
  PutLe32(h, static_cast<uint32_t>(rootPosition_));
  PutLe32(h + 4, static_cast<uint32_t>(std::max<int64_t>(ndx_->NextFreePosition(), rootPosition_ + 1)));
  PutLe16(h + 12, static_cast<uint32_t>(layout_.keyLength));
  PutLe16(h + 14, static_cast<uint32_t>(layout_.maxKeys));
  PutLe16(h + 16, layout_.text ? 0 : 1);
  PutLe16(h + 18, static_cast<uint32_t>(layout_.entryLength));
  h[23] = unique_ ? 1 : 0;
  std::memset(h + 24, 0, kNdxBlockSize - 24);
  std::memcpy(h + 24, keyExpression_.data(), keyExpression_.size());
  ndx_->WriteBlock(0, h, kNdxBlockSize);
  std::memcpy(rawHeader_, h, sizeof h);
  headerChanged_ = false;
}

bool XBobjNDXTag::PageInside(int64_t block) {
  return block > 0 && block <= kMaxBlock && ndx_->PositionInside(block * kNdxBlockSize, kNdxBlockSize);
}

void XBobjNDXTag::ReadBlockChecked(int32_t block, uint8_t* data) {
  if (!headerValid_) Corrupt();
  if (!PageInside(block)) Corrupt();
  if (!ndx_->ReadBlock(int64_t{block} * kNdxBlockSize, data, kNdxBlockSize)) Corrupt();
}

void XBobjNDXTag::ReadNode(int32_t block, NdxPage& page) {
  uint8_t data[kNdxBlockSize];
  ReadBlockChecked(block, data);
  NdxDecodePage(data, layout_, ndx_->FileName(), page);
  if (page.branch)
    for (const NdxEntry& e : page.entries)
      if (!PageInside(e.value)) Corrupt();
}

void XBobjNDXTag::HeldKeyFromBytes(const uint8_t* key, XBobjIndexKeyData& entry) {
  if (keyType_ == 'C')
    entry.SetText(HeldText(key, layout_.keyLength));
  else
    entry.SetNumber(GetLeDouble(key));
}

int XBobjNDXTag::ReadPage(int32_t position, XBobjIndexKey* page) {
  uint8_t data[kNdxBlockSize];
  ReadBlockChecked(position, data);
  // Entries go straight into the page: every seek reads pages.
  bool branch = DecodeEntries(data, layout_, ndx_->FileName(),
                              [&](const uint8_t* key, int32_t value) { TakeDecodedEntry(page, key, value); });
  FinishDecodedPage(page, branch);
  return 1;
}

int XBobjNDXTag::WritePage(XBobjIndexKey* page) {
  WriteTreePage(page, layout_.maxKeys, [&](int32_t position, int count, bool) {
    NdxPage out;
    out.branch = !page->IsLeaf();
    out.entries = DiskEntries<NdxEntry>(page, count);
    uint8_t block[kNdxBlockSize];
    if (!NdxEncodePage(out, layout_, block)) Corrupt();
    ndx_->WriteBlock(int64_t{position} * kNdxBlockSize, block, kNdxBlockSize);
  });
  return 1;
}

void XBobjNDXTag::BuildTag() {
  DiscardPages();
  XBobjIndexTable* table = ndx_->Table();
  XBobjSortNdx sorter(this);
  // The format keeps no FOR condition: every record has its key.
  SortRecordKeys(sorter);
  rootPosition_ = sorter.WriteTree();
  if (table) table->IndexStatusReport(0, 0, 0);
  headerChanged_ = true;
  WriteHeader();
}

// ---------------------------------------------------------------------------
// XBobjSortNdx

XBobjSortNdx::XBobjSortNdx(XBobjNDXTag* tag)
    : TxbSort((tag->KeyType() == 'C' ? tag->KeyLength() : 8) + 1, CollationWeights, true, tag->Unique()),
      tag_(tag) {
  SetMemoryBound(kBuildMemoryBound);
}

int32_t XBobjSortNdx::WriteTree() {
  XBobjNDXFile* file = tag_->NdxFile();
  const NdxLayout& layout = tag_->Layout();
  XBobjPageBatch pages(*file);
  IndexLevelBuilder builder(layout.maxKeys, layout.maxKeys + 1,
                            [&](const std::vector<IndexBuildEntry>& entries, bool leaf) {
                              NdxPage page;
                              page.branch = !leaf;
                              for (const IndexBuildEntry& e : entries) page.entries.push_back({e.key, e.value});
                              uint8_t block[kNdxBlockSize];
                              if (!NdxEncodePage(page, layout, block)) tag_->Corrupt();
                              int32_t position = file->NewPage();
                              pages.Write(int64_t{position} * kNdxBlockSize, block, kNdxBlockSize);
                              return position;
                            });
  tag_->TakeSortedKeys(*this, [&](const TxbVariant& key, int32_t record) {
    builder.Add(tag_->DiskKey(key), record);
  });
  const int32_t root = builder.Finish();
  pages.Flush();
  return root;
}

// ---------------------------------------------------------------------------
// XBobjNDXFile

XBobjNDXFile::XBobjNDXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
                           unsigned mode, unsigned share)
    : XBobjIndexFile(table) {
  SetPageAllocation(1, kMaxBlock);
  if (!OpenDiskFile(table, name, overwrite, create, mode, share, ".ndx")) XbRaise(xbmFileNotFound, name);
  int64_t size = RefreshFileSize();
  // An empty file is a file being made; one that should already hold an
  // index does not.
  if (size == 0) {
    opened_ = create;
    return;
  }
  auto tag = std::make_unique<XBobjNDXTag>(this, BaseName(disk_->FileName()));
  tag->ReadHeader();
  if (!tag->HeaderValid()) return;
  Tags().Add(tag.release());
  opened_ = true;
  // The header's field is brought up to date once this program adds pages.
  writtenFree_ = ResetAllocation();
}

XBobjNDXFile::~XBobjNDXFile() {
  ReleaseUnwritten();
  Tags().Clear();
}

void XBobjNDXFile::WritePending() {
  ResetAllPages();
  SyncFreeBlock();
}

XBobjNDXTag* XBobjNDXFile::Tag() const {
  return TagCount() ? static_cast<XBobjNDXTag*>(TagAt(0)) : nullptr;
}

bool XBobjNDXFile::CreateTag(const AnsiString&, const AnsiString& keyExpression, bool unique, bool,
                             const AnsiString&) {
  if (!opened_) Corrupt();
  auto tag = std::make_unique<XBobjNDXTag>(this, BaseName(disk_->FileName()));
  // Everything that can be refused is refused before the file changes.
  tag->PrepareDefinition(keyExpression, unique);
  ChangeUnderIndexLock([&] {
    // The header takes block 0, the pages follow it.
    EmptyForNewTag();
    tag->DefineTag(keyExpression, unique, true, "");
    Tags().Add(tag.release());
    writtenFree_ = NextFreePosition();
  });
  return true;
}

int32_t XBobjNDXFile::NewPage() { return TakeNextFree(1); }

int32_t XBobjNDXFile::ResetAllocation() {
  int64_t size = RefreshFileSize();
  int64_t blocks = (size + kNdxBlockSize - 1) / kNdxBlockSize;
  nextFree_ = std::max<int64_t>(nextFree_, blocks);
  // A file already at the format's limit leaves nothing to allocate: the
  // next page is refused instead of reusing one.
  return static_cast<int32_t>(std::min<int64_t>(nextFree_, 0x7FFFFFFF));
}

void XBobjNDXFile::ZapLocked() {
  XBobjNDXTag* tag = Tag();
  tag->DiscardPages();
  TruncateDisk(2 * kNdxBlockSize);
  knownSize_ = 2 * kNdxBlockSize;
  nextFree_ = 2;
  tag->SetRootPosition(1);
  NdxPage empty;
  uint8_t block[kNdxBlockSize];
  NdxEncodePage(empty, tag->Layout(), block);
  WriteBlock(kNdxBlockSize, block, kNdxBlockSize);
  tag->MarkHeaderChanged();
  tag->WriteHeader();
  writtenFree_ = nextFree_;
}

void XBobjNDXFile::Zap() {
  if (!opened_ || !Tag()) return;
  if (!Tag()->HeaderValid()) Corrupt();
  ChangeUnderWholeFileLock([this] { ZapLocked(); });
}

void XBobjNDXFile::Reindex() {
  if (!opened_ || !Tag()) return;
  XBobjNDXTag* tag = Tag();
  if (!tag->HeaderValid()) Corrupt();
  ChangeUnderWholeFileLock([this, tag] {
    ZapLocked();
    nextFree_ = 1;
    tag->BuildTag();
    writtenFree_ = -1;
    SyncFreeBlock();
  });
}

void XBobjNDXFile::SyncFreeBlock() {
  XBobjNDXTag* tag = Tag();
  if (!opened_ || !tag || !tag->HeaderValid() || !disk_ || !disk_->ReadWrite()) return;
  int64_t size = RefreshFileSize();
  int32_t blocks =
      static_cast<int32_t>(std::min<int64_t>((size + kNdxBlockSize - 1) / kNdxBlockSize, kMaxBlock));
  if (blocks == writtenFree_) return;
  uint8_t h[kNdxBlockSize];
  if (!ReadBlock(0, h, kNdxBlockSize)) Corrupt();
  PutLe32(h + 4, static_cast<uint32_t>(blocks));
  WriteBlock(0, h, kNdxBlockSize);
  writtenFree_ = blocks;
}

bool XBobjNDXFile::ChangedByOtherUser() {
  if (!disk_ || !disk_->Shared() || !opened_ || !Tag()) return false;
  // Under our own lock nobody else writes: what changed before it was
  // read again when the lock was taken.
  if (LockLevel() > 0) {
    bool refreshed = refreshedInLock_;
    refreshedInLock_ = false;
    return refreshed;
  }
  Tag()->RefreshHeader();
  return true;
}

void XBobjNDXFile::LockTaken() {
  if (!disk_->Shared() || !opened_ || !Tag()) return;
  Tag()->RefreshHeader();
  refreshedInLock_ = true;
  writtenFree_ = ResetAllocation();
}

void XBobjNDXFile::LockReleasing() {
  refreshedInLock_ = false;
  SyncFreeBlock();
}
