// MDX multiple index: packed decimals, page codec, tags, the bottom-up
// builder and the file with its tag table. The layout is described in
// mdx_index.h.
#include "dbase/index/mdx_index.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/index/ndx_index.h"
#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

// Keys longer than this could not be sorted for a rebuild.
constexpr int kMaxKeyLength = TxbSort::kMaxKeyLength - 1;
constexpr int kBlocksPerPage = kMdxPageSize / kMdxBlockSize;
constexpr int kHeaderBlocks = kMdxHeaderSize / kMdxBlockSize;
constexpr int32_t kMaxBlock = 0x3FFFFF;  // block x 512 stays a 32-bit position

int64_t BlockOffset(int32_t block) { return int64_t{block} * kMdxBlockSize; }

// Whole blocks a file of size bytes covers (a ragged end counts), as far as
// block numbers reach.
int32_t FileBlocks(int64_t size) {
  return static_cast<int32_t>(std::min<int64_t>((size + kMdxBlockSize - 1) / kMdxBlockSize, kMaxBlock));
}

}  // namespace

// ---------------------------------------------------------------------------
// Packed decimals

void MdxPackNumber(double value, uint8_t* out) {
  std::memset(out, 0, kMdxPackedLength);
  bool negative = value < 0;
  double magnitude = std::isnan(value) ? 0.0 : std::fabs(value);
  std::string digits;
  int exponent = 0;
  if (std::isinf(magnitude)) {
    exponent = 16;
  } else if (magnitude != 0) {
    // "d.ddddddddddddddde+XX": the 15 significant digits, rounded.
    char buffer[40];
    char* end = std::to_chars(buffer, buffer + sizeof buffer - 1, magnitude, std::chars_format::scientific, 14).ptr;
    *end = '\0';
    digits.push_back(buffer[0]);
    digits.append(buffer + 2, 14);
    int power = 0;
    std::from_chars(buffer + 17 + (buffer[17] == '+' ? 1 : 0), end, power);
    exponent = power + 1;
  }
  // More integer digits than the format keeps: the largest value it holds.
  if (exponent > 15) {
    digits.assign(15, '9');
    exponent = 15;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty() || exponent < -52) {
    out[0] = 52;
    out[1] = 1;
    return;
  }
  std::size_t nibbles = (digits.size() + 1) / 2 * 2;
  out[0] = static_cast<uint8_t>(exponent + 52);
  out[1] = static_cast<uint8_t>(4 * nibbles + 1 + (negative ? 0x80 : 0));
  for (std::size_t i = 0; i < digits.size(); ++i) {
    uint8_t d = static_cast<uint8_t>(digits[i] - '0');
    out[2 + i / 2] |= static_cast<uint8_t>(i % 2 ? d : d << 4);
  }
}

bool MdxUnpackNumber(const uint8_t* in, double& value) {
  const int exponent = in[0] - 52;
  const int bytes = (in[1] >> 3) & 0x0F;
  if (bytes > 10) return false;
  char digits[20];
  int count = 0;  // digits up to the last non-zero one
  for (int i = 0; i < bytes; ++i) {
    const int high = in[2 + i] >> 4;
    const int low = in[2 + i] & 0x0F;
    if (high > 9 || low > 9) return false;
    digits[2 * i] = static_cast<char>('0' + high);
    digits[2 * i + 1] = static_cast<char>('0' + low);
    if (low) {
      count = 2 * i + 2;
    } else if (high) {
      count = 2 * i + 1;
    }
  }
  if (count == 0) {
    value = 0;
    return true;
  }
  const bool negative = (in[1] & 0x80) != 0;
  // value = 0.<digits> * 10^exponent = <digits as an integer> * 10^scale.
  // Every page read unpacks its keys, so the common case avoids text: up
  // to 15 digits and a power of ten up to 1e22 are exact doubles, and one
  // multiplication or division rounds correctly, as the text would.
  const int scale = exponent - count;
  if (count <= 15 && scale >= -22 && scale <= 22) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t mantissa = 0;
    for (int i = 0; i < count; ++i) mantissa = mantissa * 10 + static_cast<uint64_t>(digits[i] - '0');
    double magnitude = static_cast<double>(mantissa);
    magnitude = scale >= 0 ? magnitude * kPowers[scale] : magnitude / kPowers[-scale];
    value = negative ? -magnitude : magnitude;
    return true;
  }
  // "0.<digits>e<exponent>", read back correctly rounded.
  char text[48] = {'0', '.'};
  std::memcpy(text + 2, digits, static_cast<std::size_t>(count));
  char* end = text + 2 + count;
  *end++ = 'e';
  end = std::to_chars(end, text + sizeof text, exponent).ptr;
  double magnitude = 0;
  std::from_chars(text, end, magnitude);
  value = negative ? -magnitude : magnitude;
  return true;
}

double MdxStoredNumber(double value) {
  uint8_t packed[kMdxPackedLength];
  MdxPackNumber(value, packed);
  double back = 0;
  MdxUnpackNumber(packed, back);
  return back;
}

// ---------------------------------------------------------------------------
// Page codec

bool MdxLayoutValid(const MdxLayout& l) {
  if (l.type == 'N' && l.keyLength != kMdxPackedLength) return false;
  if (l.type == 'D' && l.keyLength != 8) return false;
  if (l.type != 'C' && l.type != 'N' && l.type != 'D') return false;
  if (l.keyLength < 1 || l.entryLength < l.keyLength + 4 || l.maxKeys < 1) return false;
  // The keys of a full page and the value after them.
  return 8 + (static_cast<int64_t>(l.maxKeys) + 1) * l.entryLength <= kMdxPageSize;
}

namespace {

// Checks a page's key count and hands every entry to sink(key bytes, or
// null for the extra child of a branch, value); a value of 0 raises
// "Index file %s is corrupted". Returns whether the page is a branch.
template <class Sink>
bool DecodeEntries(const uint8_t* block, const MdxLayout& layout, const AnsiString& fileName, Sink&& sink) {
  auto bad = [&fileName]() { XbRaise(xbmIndexCorrupted, fileName); };
  if (!MdxLayoutValid(layout)) bad();
  uint32_t count = GetLe32(block);
  if (count > static_cast<uint32_t>(layout.maxKeys)) bad();
  int keys = static_cast<int>(count);
  bool branch = GetLe32(block + 8 + keys * layout.entryLength) != 0;
  int entries = branch ? keys + 1 : keys;
  for (int i = 0; i < entries; ++i) {
    const uint8_t* p = block + 8 + i * layout.entryLength;
    int32_t value = static_cast<int32_t>(GetLe32(p));
    if (value <= 0) bad();
    sink(i < keys ? p + 4 : nullptr, value);
  }
  return branch;
}

}  // namespace

void MdxDecodePage(const uint8_t* block, const MdxLayout& layout, const AnsiString& fileName,
                   MdxPage& page) {
  page.entries.clear();
  page.previous = static_cast<int32_t>(GetLe32(block + 4));
  page.branch = DecodeEntries(block, layout, fileName, [&](const uint8_t* key, int32_t value) {
    MdxEntry e;
    e.value = value;
    if (key) {
      e.key.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(layout.keyLength));
      double unused;
      if (layout.type == 'N' && !MdxUnpackNumber(key, unused)) XbRaise(xbmIndexCorrupted, fileName);
    }
    page.entries.push_back(std::move(e));
  });
}

bool MdxEncodePage(const MdxPage& page, const MdxLayout& layout, uint8_t* block) {
  int entries = static_cast<int>(page.entries.size());
  int keys = page.branch ? entries - 1 : entries;
  if (keys < 0 || keys > layout.maxKeys) return false;
  std::memset(block, 0, kMdxPageSize);
  PutLe32(block, static_cast<uint32_t>(keys));
  PutLe32(block + 4, static_cast<uint32_t>(page.previous));
  for (int i = 0; i < entries; ++i) {
    uint8_t* p = block + 8 + i * layout.entryLength;
    const MdxEntry& e = page.entries[static_cast<std::size_t>(i)];
    PutLe32(p, static_cast<uint32_t>(e.value));
    if (i == keys) break;  // the extra child has no key
    if (layout.type == 'C') std::memset(p + 4, ' ', static_cast<std::size_t>(layout.keyLength));
    std::memcpy(p + 4, e.key.data(), std::min<std::size_t>(e.key.size(), static_cast<std::size_t>(layout.keyLength)));
  }
  return true;
}

// ---------------------------------------------------------------------------
// XBobjMDXTag

XBobjMDXTag::XBobjMDXTag(XBobjMDXFile* file, int32_t headerBlock, const AnsiString& name)
    : XBobjDbaseTreeTag(file, UpperCase(name)), mdx_(file) {
  formatWord_ = "MDX";
  headerPosition_ = headerBlock;
}

void XBobjMDXTag::KeyToStoredForm(TxbVariant& key, bool trimmed) {
  if (keyType_ == 'N') {
    key.SetNumber(MdxStoredNumber(key.AsNumber()));
    return;
  }
  if (keyType_ == 'D') {
    key.SetNumber(DayNumberKey(key));
    return;
  }
  TextKeyForm(key, trimmed);
  if (keyLength_ > 0) CutTextKey(key, keyLength_, trimmed);
}

void XBobjMDXTag::SetHeldKey(XBobjIndexKeyData& entry, const std::string& disk) const {
  if (keyType_ == 'C') {
    entry.SetText(HeldText(reinterpret_cast<const uint8_t*>(disk.data()), static_cast<int>(disk.size())));
  } else if (keyType_ == 'N') {
    double value = 0;
    if (disk.size() < kMdxPackedLength ||
        !MdxUnpackNumber(reinterpret_cast<const uint8_t*>(disk.data()), value))
      Corrupt();
    entry.SetNumber(value);
  } else {
    entry.SetNumber(DoubleFromKeyBytes(disk));
  }
}

std::string XBobjMDXTag::DiskKey(const TxbVariant& held) const {
  if (keyType_ == 'N') {
    std::string bytes(kMdxPackedLength, '\0');
    MdxPackNumber(held.AsNumber(), reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
  }
  if (keyType_ == 'D') return DoubleKeyBytes(held.AsNumber());
  std::string bytes(reinterpret_cast<const char*>(held.Data()), static_cast<std::size_t>(held.Length()));
  bytes.resize(static_cast<std::size_t>(layout_.keyLength), ' ');
  return bytes;
}

void XBobjMDXTag::PrepareDefinition(const AnsiString& keyExpression, bool unique, bool ascending,
                                    const AnsiString& forExpression) {
  // Longer texts would run into the fields after them in the tag header.
  if (static_cast<int>(keyExpression.size()) > kMdxKeyExpressionLimit ||
      static_cast<int>(forExpression.size()) > kMdxForExpressionLimit)
    XbRaise(xbmIndexExpressionTooLong, tagName_);
  XBobjIndexTag::DefineTag(keyExpression, unique, ascending, forExpression);
  keysDescending_ = !ascending;
  TxbVariant value(0);
  keyType_ = SampleKeyType(value, kMaxKeyLength);
  int length = keyType_ == 'C' ? value.Length() : keyType_ == 'N' ? kMdxPackedLength : 8;
  CheckKeyLength(length, kMaxKeyLength);
  layout_.type = keyType_;
  layout_.keyLength = length;
  layout_.entryLength = (length + 4 + 3) / 4 * 4;
  layout_.maxKeys = (kMdxPageSize - 8) / layout_.entryLength - 1;
  keyLength_ = length;
  entryLength_ = layout_.entryLength;
  entriesPerBranch_ = layout_.maxKeys + 1;
  headerValid_ = true;
}

bool XBobjMDXTag::DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                            const AnsiString& forExpression) {
  PrepareDefinition(keyExpression, unique, ascending, forExpression);
  std::memset(rawHeader_, 0, sizeof rawHeader_);
  mdx_->WriteBlock(BlockOffset(headerPosition_), rawHeader_, kMdxPageSize);
  Rebuild();
  return true;
}

void XBobjMDXTag::Rebuild() {
  DiscardPages();
  firstPage_ = lastPage_ = 0;
  XBobjIndexTable* table = mdx_->Table();
  if (!table || table->IndexRecordCount() == 0) {
    int32_t root = mdx_->NewPage();
    MdxPage empty;
    empty.previous = ChainNewPage(root);
    uint8_t block[kMdxPageSize];
    MdxEncodePage(empty, layout_, block);
    mdx_->WriteBlock(BlockOffset(root), block, kMdxPageSize);
    rootPosition_ = root;
    headerChanged_ = true;
    WriteHeader();
  } else {
    BuildTag();
  }
}

int32_t XBobjMDXTag::ChainNewPage(int32_t block) {
  int32_t previous = lastPage_;
  lastPage_ = block;
  if (firstPage_ == 0) firstPage_ = block;
  headerChanged_ = true;
  return previous;
}

void XBobjMDXTag::ReadHeader() {
  headerValid_ = false;
  uint8_t h[kMdxPageSize];
  if (!PageInside(headerPosition_) || !mdx_->ReadBlock(BlockOffset(headerPosition_), h, kMdxPageSize)) return;
  std::memcpy(rawHeader_, h, sizeof h);
  uint32_t root = GetLe32(h);
  MdxLayout l;
  l.type = static_cast<char>(h[9]);
  l.keyLength = GetLe16(h + 12);
  l.maxKeys = GetLe16(h + 14);
  l.entryLength = GetLe16(h + 18);
  if (!MdxLayoutValid(l) || !PageInside(root)) return;
  const char* keyText = reinterpret_cast<const char*>(h + 24);
  std::size_t keySize = strnlen(keyText, kMdxKeyExpressionLimit + 1);
  const char* forText = reinterpret_cast<const char*>(h + 762);
  std::size_t forSize = strnlen(forText, kMdxForExpressionLimit + 1);
  if (keySize > static_cast<std::size_t>(kMdxKeyExpressionLimit) ||
      forSize > static_cast<std::size_t>(kMdxForExpressionLimit))
    return;
  layout_ = l;
  headerValid_ = true;
  rootPosition_ = static_cast<int32_t>(root);
  keyType_ = l.type;
  keyLength_ = l.keyLength;
  entryLength_ = l.entryLength;
  entriesPerBranch_ = l.maxKeys + 1;
  unique_ = (h[8] & 0x40) != 0 || h[23] != 0;
  ascending_ = (h[8] & 0x08) == 0;
  keysDescending_ = !ascending_;
  keyExpression_.assign(keyText, keySize);
  forExpression_.assign(forText, forSize);
  hasFor_ = !forExpression_.empty();
  firstPage_ = static_cast<int32_t>(GetLe32(h + 248));
  lastPage_ = static_cast<int32_t>(GetLe32(h + 252));
  CompileKey();
  CompileFor();
  headerChanged_ = false;
}

void XBobjMDXTag::RefreshHeader() {
  DiscardPages();
  uint8_t h[kMdxPageSize];
  if (!mdx_->PositionInside(BlockOffset(headerPosition_), kMdxPageSize) ||
      !mdx_->ReadBlock(BlockOffset(headerPosition_), h, kMdxPageSize)) {
    headerValid_ = false;
    return;
  }
  uint32_t root = GetLe32(h);
  if (GetLe16(h + 12) != layout_.keyLength || GetLe16(h + 14) != layout_.maxKeys ||
      GetLe16(h + 18) != layout_.entryLength || !PageInside(root)) {
    headerValid_ = false;
    return;
  }
  std::memcpy(rawHeader_, h, sizeof h);
  rootPosition_ = static_cast<int32_t>(root);
  firstPage_ = static_cast<int32_t>(GetLe32(h + 248));
  lastPage_ = static_cast<int32_t>(GetLe32(h + 252));
  headerChanged_ = false;
}

void XBobjMDXTag::WriteHeader() {
  uint8_t h[kMdxPageSize];
  std::memcpy(h, rawHeader_, sizeof h);
  if (keyExpression_.size() > static_cast<std::size_t>(kMdxKeyExpressionLimit) ||
      forExpression_.size() > static_cast<std::size_t>(kMdxForExpressionLimit))
    XbRaise(xbmIndexExpressionTooLong, tagName_);
  PutLe32(h, static_cast<uint32_t>(rootPosition_));
  h[8] = static_cast<uint8_t>(0x10 | (unique_ ? 0x40 : 0) | (ascending_ ? 0 : 0x08));
  h[9] = static_cast<uint8_t>(keyType_);
  PutLe16(h + 12, static_cast<uint32_t>(layout_.keyLength));
  PutLe16(h + 14, static_cast<uint32_t>(layout_.maxKeys));
  PutLe16(h + 18, static_cast<uint32_t>(layout_.entryLength));
  h[23] = unique_ ? 0x40 : 0;
  std::memset(h + 24, 0, 220);
  std::memcpy(h + 24, keyExpression_.data(), keyExpression_.size());
  h[245] = hasFor_ ? 1 : 0;
  h[246] = 1;
  PutLe32(h + 248, static_cast<uint32_t>(firstPage_));
  PutLe32(h + 252, static_cast<uint32_t>(lastPage_));
  std::memset(h + 762, 0, 262);
  std::memcpy(h + 762, forExpression_.data(), forExpression_.size());
  mdx_->WriteBlock(BlockOffset(headerPosition_), h, kMdxPageSize);
  std::memcpy(rawHeader_, h, sizeof h);
  headerChanged_ = false;
}

bool XBobjMDXTag::PageInside(int64_t block) {
  return block >= kHeaderBlocks && block <= kMaxBlock &&
         mdx_->PositionInside(block * kMdxBlockSize, kMdxPageSize);
}

void XBobjMDXTag::ReadBlockChecked(int32_t block, uint8_t* data) {
  if (!headerValid_) Corrupt();
  if (!PageInside(block)) Corrupt();
  if (!mdx_->ReadBlock(BlockOffset(block), data, kMdxPageSize)) Corrupt();
}

void XBobjMDXTag::ReadNode(int32_t block, MdxPage& page) {
  uint8_t data[kMdxPageSize];
  ReadBlockChecked(block, data);
  MdxDecodePage(data, layout_, mdx_->FileName(), page);
  if (page.branch)
    for (const MdxEntry& e : page.entries)
      if (!PageInside(e.value)) Corrupt();
}

void XBobjMDXTag::HeldKeyFromBytes(const uint8_t* key, XBobjIndexKeyData& entry) {
  if (keyType_ == 'C') {
    entry.SetText(HeldText(key, layout_.keyLength));
  } else if (keyType_ == 'N') {
    double number = 0;
    if (!MdxUnpackNumber(key, number)) Corrupt();
    entry.SetNumber(number);
  } else {
    entry.SetNumber(GetLeDouble(key));
  }
}

int XBobjMDXTag::ReadPage(int32_t position, XBobjIndexKey* page) {
  uint8_t data[kMdxPageSize];
  ReadBlockChecked(position, data);
  // Entries go straight into the page: every seek reads pages.
  bool branch = DecodeEntries(data, layout_, mdx_->FileName(),
                              [&](const uint8_t* key, int32_t value) { TakeDecodedEntry(page, key, value); });
  FinishDecodedPage(page, branch);
  page->Left = static_cast<int32_t>(GetLe32(data + 4));
  return 1;
}

int XBobjMDXTag::WritePage(XBobjIndexKey* page) {
  // A page placed for the first time (a new root) joins the chain, and so
  // does every part split off it.
  if (page->Left < 0) page->Left = ChainNewPage(page->Position);
  WriteTreePage(page, layout_.maxKeys, [&](int32_t position, int count, bool split) {
    MdxPage out;
    out.branch = !page->IsLeaf();
    out.previous = split ? ChainNewPage(position) : page->Left;
    out.entries = DiskEntries<MdxEntry>(page, count);
    uint8_t block[kMdxPageSize];
    if (!MdxEncodePage(out, layout_, block)) Corrupt();
    mdx_->WriteBlock(BlockOffset(position), block, kMdxPageSize);
  });
  return 1;
}

void XBobjMDXTag::BuildTag() {
  DiscardPages();
  XBobjIndexTable* table = mdx_->Table();
  XBobjSortMDX sorter(this);
  SortRecordKeys(sorter);
  firstPage_ = lastPage_ = 0;
  rootPosition_ = sorter.WriteTree();
  if (table) table->IndexStatusReport(0, 0, 0);
  headerChanged_ = true;
  WriteHeader();
}

// ---------------------------------------------------------------------------
// XBobjSortMDX

XBobjSortMDX::XBobjSortMDX(XBobjMDXTag* tag)
    : TxbSort((tag->KeyType() == 'C' ? tag->KeyLength() : 8) + 1, CollationWeights, tag->Ascending(),
              tag->Unique()),
      tag_(tag) {
  SetMemoryBound(kBuildMemoryBound);
}

int32_t XBobjSortMDX::WriteTree() {
  XBobjMDXFile* file = tag_->MdxFile();
  const MdxLayout& layout = tag_->Layout();
  XBobjPageBatch pages(*file);
  IndexLevelBuilder builder(layout.maxKeys, layout.maxKeys + 1,
                            [&](const std::vector<IndexBuildEntry>& entries, bool leaf) {
                              MdxPage page;
                              page.branch = !leaf;
                              for (const IndexBuildEntry& e : entries) page.entries.push_back({e.key, e.value});
                              int32_t position = file->NewPage();
                              page.previous = tag_->ChainNewPage(position);
                              uint8_t block[kMdxPageSize];
                              if (!MdxEncodePage(page, layout, block)) tag_->Corrupt();
                              pages.Write(BlockOffset(position), block, kMdxPageSize);
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
// XBobjMDXFile

XBobjMDXFile::XBobjMDXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
                           unsigned mode, unsigned share)
    : XBobjIndexFile(table) {
  SetPageAllocation(kBlocksPerPage, kMaxBlock - kBlocksPerPage + 1);
  if (!OpenDiskFile(table, name, overwrite, create, mode, share, ".mdx")) XbRaise(xbmFileNotFound, name);
  int64_t size = RefreshFileSize();
  if (size > kMdxBlockSize) {
    if (!ReadFileHeader()) return;
  } else {
    // A file that cannot be written keeps what it holds.
    if (!disk_->ReadWrite()) return;
    InitializeNewFile();
  }
  opened_ = true;
  ResetAllocation();
  FlagProductionIndex();
}

XBobjMDXFile::~XBobjMDXFile() {
  ReleaseUnwritten();
  Tags().Clear();
}

void XBobjMDXFile::WritePending() {
  ResetAllPages();
  SyncHeader();
}

bool XBobjMDXFile::HasUnwrittenChanges() const { return XBobjIndexFile::HasUnwrittenChanges() || changed_; }

void XBobjMDXFile::PutToday(uint8_t* at) const {
  int year = 0, month = 0, day = 0;
  DbfDate().DecodeJulian(DbfDate().Today(), year, month, day);
  at[0] = HeaderYearByte(year);
  at[1] = static_cast<uint8_t>(month);
  at[2] = static_cast<uint8_t>(day);
}

void XBobjMDXFile::InitializeNewFile() {
  std::memset(header_, 0, sizeof header_);
  header_[0] = 2;
  PutToday(header_ + 1);
  AnsiString tableName = BaseName(table_ ? table_->IndexTableFileName() : disk_->FileName());
  std::memcpy(header_ + 4, tableName.data(), std::min<std::size_t>(tableName.size(), 8));
  PutLe16(header_ + 20, kBlocksPerPage);
  PutLe16(header_ + 22, kMdxPageSize);
  header_[24] = 1;
  header_[25] = kMdxMaxTags + 1;  // table entries, entry 0 included
  header_[26] = 32;
  PutLe16(header_ + 28, 0);
  PutLe32(header_ + 32, kHeaderBlocks);
  PutToday(header_ + 44);
  // A file just created is empty; only a short file of another kind needs
  // truncating (which takes full access).
  if (RefreshFileSize() > 0) TruncateDisk(0);
  knownSize_ = 0;
  WriteBlock(0, header_, kMdxHeaderSize);
  nextFree_ = kHeaderBlocks;
  writtenFree_ = kHeaderBlocks;
}

bool XBobjMDXFile::ReadFileHeader() {
  uint8_t h[kMdxHeaderSize];
  if (!PositionInside(0, kMdxHeaderSize) || !ReadBlock(0, h, kMdxHeaderSize)) return false;
  // Another page size would be misread, more tags than the table holds
  // would run past it.
  if (GetLe16(h + 20) != kBlocksPerPage || GetLe16(h + 22) != kMdxPageSize) return false;
  int count = GetLe16(h + 28);
  if (count > kMdxMaxTags) return false;
  std::memcpy(header_, h, sizeof h);
  // The header's field is brought up to date once this program adds pages.
  writtenFree_ = FileBlocks(KnownFileSize());
  Tags().Clear();
  for (int i = 1; i <= count; ++i) {
    const uint8_t* entry = header_ + 512 + 32 * i;
    const char* name = reinterpret_cast<const char*>(entry + 4);
    AnsiString tagName(name, strnlen(name, 11));
    auto* tag = new XBobjMDXTag(this, static_cast<int32_t>(GetLe32(entry)), TrimRight(tagName));
    std::memcpy(tag->RawEntry(), entry, 32);
    Tags().Add(tag);
    tag->ReadHeader();
  }
  return true;
}

void XBobjMDXFile::WriteTagTable() {
  int count = TagCount();
  std::memset(header_ + 512, 0, kMdxHeaderSize - 512);
  header_[512 + 17] = static_cast<uint8_t>(count ? 1 : 0);
  for (int i = 1; i <= count; ++i) {
    auto* tag = static_cast<XBobjMDXTag*>(TagAt(i - 1));
    uint8_t* entry = header_ + 512 + 32 * i;
    std::memcpy(entry, tag->RawEntry(), 32);
    PutLe32(entry, static_cast<uint32_t>(tag->HeaderPosition()));
    std::memset(entry + 4, 0, 11);
    std::memcpy(entry + 4, tag->TagName().data(), std::min<std::size_t>(tag->TagName().size(), 10));
    entry[17] = static_cast<uint8_t>(i < count ? i + 1 : 0);
    entry[19] = 2;
    entry[20] = static_cast<uint8_t>(tag->KeyType());
    std::memcpy(tag->RawEntry(), entry, 32);
  }
  PutLe16(header_ + 28, static_cast<uint32_t>(count));
  PutToday(header_ + 1);
  int32_t blocks = FileBlocks(RefreshFileSize());
  PutLe32(header_ + 32, static_cast<uint32_t>(std::max<int64_t>(blocks, nextFree_)));
  WriteBlock(0, header_, kMdxHeaderSize);
  writtenFree_ = static_cast<int32_t>(GetLe32(header_ + 32));
  changed_ = false;
}

void XBobjMDXFile::SyncHeader() {
  if (!opened_ || !disk_ || !disk_->ReadWrite()) return;
  int32_t blocks = FileBlocks(RefreshFileSize());
  if (blocks == writtenFree_ && !changed_) return;
  // Only these fields: the tag table of a shared file is not ours to
  // rewrite from memory.
  uint8_t h[kMdxBlockSize];
  if (!ReadBlock(0, h, kMdxBlockSize)) Corrupt();
  PutToday(h + 1);
  PutLe32(h + 32, static_cast<uint32_t>(blocks));
  WriteBlock(0, h, kMdxBlockSize);
  std::memcpy(header_, h, kMdxBlockSize);
  writtenFree_ = blocks;
  changed_ = false;
}

bool XBobjMDXFile::CreateTag(const AnsiString& tagName, const AnsiString& keyExpression, bool unique,
                             bool ascending, const AnsiString& forExpression) {
  if (!opened_) Corrupt();
  AnsiString name = StoredTagName(tagName, kMdxTagNameLength);
  bool replacing = FindTag(name) != nullptr;
  // The tag table has room for 47 tags; another entry would lie in the
  // first page after the header.
  if (!replacing && TagCount() >= kMdxMaxTags) XbRaise(xbmTooManyTags, fileName_);
  auto tag = std::make_unique<XBobjMDXTag>(this, -1, name);
  // Everything that can be refused is refused before the file changes.
  tag->PrepareDefinition(keyExpression, unique, ascending, forExpression);
  ChangeUnderIndexLock([&] {
    for (int i = TagCount() - 1; i >= 0; --i) {
      if (!SameText(TagAt(i)->TagName(), name)) continue;
      TagAt(i)->DiscardPages();
      Tags().Delete(i);
    }
    int32_t position = NewPage();
    tag->SetHeaderPosition(position);
    tag->DefineTag(keyExpression, unique, ascending, forExpression);
    int at = 0;
    while (at < TagCount() && UpperCase(TagAt(at)->TagName()) < name) ++at;
    Tags().Insert(at, tag.release());
    WriteTagTable();
  });
  return true;
}

bool XBobjMDXFile::DeleteTag(const AnsiString& tagName) {
  if (!opened_) return false;
  AnsiString name = StoredTagName(tagName, kMdxTagNameLength);
  int index = -1;
  for (int i = 0; i < TagCount(); ++i)
    if (SameText(TagAt(i)->TagName(), name)) index = i;
  if (index < 0) return false;
  ChangeUnderIndexLock([&] {
    TagAt(index)->DiscardPages();
    Tags().Delete(index);
    WriteTagTable();
  });
  if (TagCount() == 0) Reindex();
  return true;
}

int32_t XBobjMDXFile::NewPage() { return TakeNextFree(kBlocksPerPage); }

int32_t XBobjMDXFile::ResetAllocation() {
  int64_t blocks = (RefreshFileSize() + kMdxBlockSize - 1) / kMdxBlockSize;
  nextFree_ = std::max<int64_t>({nextFree_, kHeaderBlocks, blocks});
  // A file already at the format's limit leaves nothing to allocate: the
  // next page is refused instead of reusing one.
  return static_cast<int32_t>(std::min<int64_t>(nextFree_, 0x7FFFFFFF));
}

void XBobjMDXFile::Reindex() {
  if (!opened_) Corrupt();
  ChangeUnderWholeFileLock([this] {
    for (int i = TagCount() - 1; i >= 0; --i) {
      auto* tag = static_cast<XBobjMDXTag*>(TagAt(i));
      tag->DiscardPages();
      // A tag whose header could not be read has no expression to rebuild
      // it from.
      if (!tag->HeaderValid()) Tags().Delete(i);
    }
    TruncateDisk(kMdxHeaderSize);
    knownSize_ = kMdxHeaderSize;
    nextFree_ = kHeaderBlocks;
    // Every tag keeps its definition and layout; only its pages are new.
    for (int i = 0; i < TagCount(); ++i) {
      auto* tag = static_cast<XBobjMDXTag*>(TagAt(i));
      tag->SetHeaderPosition(NewPage());
      tag->Rebuild();
    }
    WriteTagTable();
  });
}

void XBobjMDXFile::Rename(const AnsiString& newName) {
  XBobjIndexFile::Rename(newName);
  if (!opened_ || !disk_->ReadWrite()) return;
  uint8_t h[kMdxBlockSize];
  if (!ReadBlock(0, h, kMdxBlockSize)) Corrupt();
  AnsiString base = UpperCase(BaseName(disk_->FileName()));
  std::memset(h + 4, 0, 9);
  std::memcpy(h + 4, base.data(), std::min<std::size_t>(base.size(), 8));
  WriteBlock(0, h, kMdxBlockSize);
  std::memcpy(header_, h, kMdxBlockSize);
}

bool XBobjMDXFile::RecordChanged(int32_t recordNumber, bool appended) {
  bool changed = XBobjIndexFile::RecordChanged(recordNumber, appended);
  if (changed) changed_ = true;
  return changed;
}

void XBobjMDXFile::RefreshTagHeaders() {
  for (int i = 0; i < TagCount(); ++i) {
    auto* tag = static_cast<XBobjMDXTag*>(TagAt(i));
    if (tag->HeaderValid()) tag->RefreshHeader();
  }
}

bool XBobjMDXFile::ChangedByOtherUser() {
  if (!disk_ || !disk_->Shared() || !opened_) return false;
  // Under our own lock nobody else writes: what changed before it was
  // read again when the lock was taken.
  if (LockLevel() > 0) {
    bool refreshed = refreshedInLock_;
    refreshedInLock_ = false;
    return refreshed;
  }
  RefreshTagHeaders();
  return true;
}

void XBobjMDXFile::LockTaken() {
  if (!disk_->Shared() || !opened_) return;
  RefreshTagHeaders();
  refreshedInLock_ = true;
  writtenFree_ = FileBlocks(RefreshFileSize());
}

void XBobjMDXFile::LockReleasing() {
  refreshedInLock_ = false;
  SyncHeader();
}
