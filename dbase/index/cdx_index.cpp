// CDX compound index: node codec, tags, the bottom-up builder and the file
// with its directory. The layout is described in cdx_index.h.
#include "dbase/index/cdx_index.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/index/cdx_general.h"
#include "dbase/base/charset.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

// The key and FOR texts do not fit the 512 bytes of a tag header.
[[noreturn]] void RaiseTooLong(const AnsiString& tagName) {
  XbRaise(xbmIndexExpressionTooLong, tagName);
}

}  // namespace

// ---------------------------------------------------------------------------
// Node codec

CdxLeafParameters CdxLeafParametersFor(int keyLength, uint32_t highestRecord) {
  CdxLeafParameters p;
  int bits = 0;
  for (int v = std::max(keyLength, 1); v > 0; v >>= 1) ++bits;
  p.duplicateBits = p.trailingBits = static_cast<uint8_t>(bits);
  p.duplicateMask = p.trailingMask = static_cast<uint8_t>((1u << bits) - 1);
  p.infoBytes = 3;
  p.recordBits = static_cast<uint8_t>(24 - 2 * bits);
  p.recordMask = (1u << p.recordBits) - 1;
  while (p.recordMask < highestRecord && p.recordMask != 0x7FFFFFFFu) {
    ++p.infoBytes;
    if (p.recordMask & 0x800000u) {
      p.recordMask = 0x7FFFFFFFu;
      p.recordBits = 31;
    } else {
      p.recordMask = p.recordMask * 256 + 255;
      p.recordBits = static_cast<uint8_t>(p.recordBits + 8);
    }
  }
  return p;
}

void CdxEntryCounts(const AnsiString* previous, const AnsiString& key, int keyLength, uint8_t fill,
                    int& duplicate, int& trailing) {
  int length = std::min(static_cast<int>(key.size()), keyLength);
  while (length > 0 && static_cast<uint8_t>(key[static_cast<std::size_t>(length - 1)]) == fill)
    --length;
  trailing = keyLength - length;
  duplicate = 0;
  if (!previous) return;
  // Only bytes the previous key really stores are shared: some readers
  // rebuild the previous key without its trailing fill, so a shared prefix
  // reaching into that fill would read back as other bytes there.
  int stored = std::min(static_cast<int>(previous->size()), keyLength);
  while (stored > 0 && static_cast<uint8_t>((*previous)[static_cast<std::size_t>(stored - 1)]) == fill)
    --stored;
  int shared = std::min(length, stored);
  while (duplicate < shared) {
    std::size_t i = static_cast<std::size_t>(duplicate);
    if ((*previous)[i] != key[i]) break;
    ++duplicate;
  }
}

int CdxLeafBytes(const std::vector<CdxEntry>& entries, std::size_t begin, std::size_t end,
                 int keyLength, uint8_t fill, int infoBytes) {
  int total = 0;
  for (std::size_t i = begin; i < end; ++i) {
    int duplicate, trailing;
    CdxEntryCounts(i > begin ? &entries[i - 1].key : nullptr, entries[i].key, keyLength, fill,
                   duplicate, trailing);
    total += infoBytes + keyLength - duplicate - trailing;
  }
  return total;
}

namespace {

// The fixed part of a leaf block: attribute, count, siblings, free bytes and
// the bit layout of its entry slots.
void PutCdxLeafHeader(uint8_t* out, int attribute, std::size_t count, int32_t left, int32_t right,
                      int used, const CdxLeafParameters& p) {
  PutLe16(out, static_cast<uint32_t>(attribute));
  PutLe16(out + 2, static_cast<uint32_t>(count));
  PutLe32(out + 4, static_cast<uint32_t>(left));
  PutLe32(out + 8, static_cast<uint32_t>(right));
  PutLe16(out + 12, static_cast<uint32_t>(kCdxLeafArea - used));
  PutLe32(out + 14, p.recordMask);
  out[18] = p.duplicateMask;
  out[19] = p.trailingMask;
  out[20] = p.recordBits;
  out[21] = p.duplicateBits;
  out[22] = p.trailingBits;
  out[23] = static_cast<uint8_t>(p.infoBytes);
}

// One entry's slot: record number, duplicate and trailing counts packed
// into infoBytes little-endian bytes.
void PutCdxLeafSlot(uint8_t* slot, int32_t record, int duplicate, int trailing, const CdxLeafParameters& p) {
  const int n = p.infoBytes;
  uint64_t word = static_cast<uint64_t>(trailing) << (16 - p.trailingBits) |
                  static_cast<uint64_t>(duplicate) << (16 - p.trailingBits - p.duplicateBits);
  uint64_t info = (static_cast<uint64_t>(record) & p.recordMask) | word << (8 * n - 16);
  for (int b = 0; b < n; ++b) slot[b] = static_cast<uint8_t>(info >> (8 * b));
}

}  // namespace

bool CdxEncodeLeaf(const std::vector<CdxEntry>& entries, std::size_t begin, std::size_t end,
                   int attribute, int32_t left, int32_t right, int keyLength, uint8_t fill,
                   const CdxLeafParameters& p, uint8_t* block) {
  int n = p.infoBytes;
  const int used = CdxLeafBytes(entries, begin, end, keyLength, fill, n);
  if (used > kCdxLeafArea) return false;
  uint8_t out[kCdxBlockSize] = {};
  PutCdxLeafHeader(out, attribute, end - begin, left, right, used, p);
  int keyEnd = kCdxBlockSize;
  for (std::size_t i = begin; i < end; ++i) {
    const CdxEntry& e = entries[i];
    if (e.record <= 0 || static_cast<uint32_t>(e.record) > p.recordMask) return false;
    int duplicate, trailing;
    CdxEntryCounts(i > begin ? &entries[i - 1].key : nullptr, e.key, keyLength, fill, duplicate,
                   trailing);
    int stored = keyLength - duplicate - trailing;
    keyEnd -= stored;
    std::memcpy(out + keyEnd, e.key.data() + duplicate, static_cast<std::size_t>(stored));
    PutCdxLeafSlot(out + 24 + (i - begin) * static_cast<std::size_t>(n), e.record, duplicate, trailing, p);
  }
  std::memcpy(block, out, kCdxBlockSize);
  return true;
}

int CdxCountLeafRef(const CdxLeafRef* previous, CdxLeafRef& ref, int keyLength, uint8_t fill,
                    int infoBytes) {
  int length = std::min(ref.length, keyLength);
  while (length > 0 && static_cast<uint8_t>(ref.key[length - 1]) == fill) --length;
  ref.trailing = keyLength - length;
  ref.duplicate = 0;
  if (previous) {
    // The previous key's stored bytes, as in CdxEntryCounts.
    const int shared = std::min(length, keyLength - previous->trailing);
    int d = 0;
    // Eight bytes at a time while they agree.
    for (; d + 8 <= shared; d += 8) {
      uint64_t a, b;
      std::memcpy(&a, previous->key + d, 8);
      std::memcpy(&b, ref.key + d, 8);
      if (a != b) break;
    }
    while (d < shared && previous->key[d] == ref.key[d]) ++d;
    ref.duplicate = d;
  }
  return infoBytes + keyLength - ref.duplicate - ref.trailing;
}

bool CdxEncodeLeafRefs(const CdxLeafRef* refs, std::size_t count, int used, int attribute,
                       int32_t left, int32_t right, int keyLength, const CdxLeafParameters& p,
                       uint8_t* block) {
  const int n = p.infoBytes;
  if (used > kCdxLeafArea) return false;
  uint8_t out[kCdxBlockSize] = {};
  PutCdxLeafHeader(out, attribute, count, left, right, used, p);
  int keyEnd = kCdxBlockSize;
  uint8_t* slot = out + 24;
  for (std::size_t i = 0; i < count; ++i, slot += n) {
    const CdxLeafRef& e = refs[i];
    if (e.record <= 0 || static_cast<uint32_t>(e.record) > p.recordMask) return false;
    int stored = keyLength - e.duplicate - e.trailing;
    keyEnd -= stored;
    if (stored > 0) std::memcpy(out + keyEnd, e.key + e.duplicate, static_cast<std::size_t>(stored));
    PutCdxLeafSlot(slot, e.record, e.duplicate, e.trailing, p);
  }
  std::memcpy(block, out, kCdxBlockSize);
  return true;
}

bool CdxEncodeBranch(const std::vector<CdxEntry>& entries, std::size_t begin, std::size_t end,
                     int attribute, int32_t left, int32_t right, int keyLength, uint8_t fill,
                     uint8_t* block) {
  std::size_t count = end - begin;
  if (static_cast<int>(count) > CdxMaxBranchEntries(keyLength)) return false;
  uint8_t out[kCdxBlockSize];
  std::memset(out, fill, sizeof out);
  PutLe16(out, static_cast<uint32_t>(attribute));
  PutLe16(out + 2, static_cast<uint32_t>(count));
  PutLe32(out + 4, static_cast<uint32_t>(left));
  PutLe32(out + 8, static_cast<uint32_t>(right));
  for (std::size_t i = 0; i < count; ++i) {
    const CdxEntry& e = entries[begin + i];
    uint8_t* p = out + 12 + i * static_cast<std::size_t>(keyLength + 8);
    std::size_t n = std::min(e.key.size(), static_cast<std::size_t>(keyLength));
    std::memcpy(p, e.key.data(), n);
    std::memset(p + n, fill, static_cast<std::size_t>(keyLength) - n);
    PutBe32(p + keyLength, static_cast<uint32_t>(e.record));
    PutBe32(p + keyLength + 4, static_cast<uint32_t>(e.child));
  }
  std::memcpy(block, out, kCdxBlockSize);
  return true;
}

namespace {

// Decodes a node's header into node (without entries) and hands every
// entry to sink(key bytes, length without trailing fill, record, child).
template <class Sink>
void DecodeNode(const uint8_t* block, int keyLength, uint8_t fill, const AnsiString& fileName,
                CdxNode& node, Sink&& sink) {
  auto bad = [&fileName]() { XbRaise(xbmIndexCorrupted, fileName); };
  if (keyLength < 1 || keyLength > kCdxMaxKeyLength) bad();
  node.entries.clear();
  node.attribute = GetLe16(block);
  int count = GetLe16(block + 2);
  node.left = static_cast<int32_t>(GetLe32(block + 4));
  node.right = static_cast<int32_t>(GetLe32(block + 8));
  if (node.attribute > 3) bad();
  auto stripped = [fill](const uint8_t* key, int n) {
    while (n > 0 && key[n - 1] == fill) --n;
    return n;
  };
  if (node.attribute < 2) {
    if (count > CdxMaxBranchEntries(keyLength)) bad();
    for (int i = 0; i < count; ++i) {
      const uint8_t* p = block + 12 + i * (keyLength + 8);
      int32_t record = static_cast<int32_t>(GetBe32(p + keyLength));
      int32_t child = static_cast<int32_t>(GetBe32(p + keyLength + 4));
      if (record <= 0 || child <= 0 || child % kCdxBlockSize != 0) bad();
      sink(p, stripped(p, keyLength), record, child);
    }
    return;
  }
  CdxLeafParameters& p = node.leaf;
  p.recordMask = GetLe32(block + 14);
  p.duplicateMask = block[18];
  p.trailingMask = block[19];
  p.recordBits = block[20];
  p.duplicateBits = block[21];
  p.trailingBits = block[22];
  p.infoBytes = block[23];
  int n = p.infoBytes;
  if (n < 3 || n > 8) bad();
  if (p.recordBits > 32 || p.duplicateBits > 8 || p.trailingBits > 8) bad();
  if (p.recordBits + p.duplicateBits + p.trailingBits > 8 * n) bad();
  if (p.recordBits < 32 && p.recordMask > (1ull << p.recordBits) - 1) bad();
  if (p.duplicateMask > (1u << p.duplicateBits) - 1) bad();
  if (p.trailingMask > (1u << p.trailingBits) - 1) bad();
  if (count * n > kCdxLeafArea) bad();
  int areaStart = 24 + count * n;
  int keyEnd = kCdxBlockSize;
  // One key buffer: each key keeps the first duplicate bytes of the one
  // before it, which the buffer still holds.
  uint8_t key[kCdxMaxKeyLength];
  std::memset(key, fill, static_cast<std::size_t>(keyLength));
  const uint64_t infoMask = n == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* slot = block + 24 + i * n;
    uint64_t info = 0;
    if (slot + 8 <= block + kCdxBlockSize) {
      std::memcpy(&info, slot, 8);
      if constexpr (std::endian::native == std::endian::big) info = __builtin_bswap64(info);
      info &= infoMask;
    } else {
      for (int b = 0; b < n; ++b) info |= static_cast<uint64_t>(slot[b]) << (8 * b);
    }
    uint64_t record = info & p.recordMask;
    uint32_t word = static_cast<uint32_t>(info >> (8 * n - 16)) & 0xFFFF;
    int trailing = p.trailingBits ? static_cast<int>((word >> (16 - p.trailingBits)) & p.trailingMask) : 0;
    int duplicate = p.duplicateBits
                        ? static_cast<int>((word >> (16 - p.trailingBits - p.duplicateBits)) &
                                           p.duplicateMask)
                        : 0;
    if (i == 0 && duplicate != 0) bad();
    if (duplicate + trailing > keyLength) bad();
    int stored = keyLength - duplicate - trailing;
    keyEnd -= stored;
    if (keyEnd < areaStart) bad();
    if (record == 0 || record > 0x7FFFFFFFu) bad();
    std::memcpy(key + duplicate, block + keyEnd, static_cast<std::size_t>(stored));
    std::memset(key + duplicate + stored, fill, static_cast<std::size_t>(trailing));
    // The trailing bytes are fill: stripping starts in front of them.
    sink(key, stripped(key, duplicate + stored), static_cast<int32_t>(record), static_cast<int32_t>(record));
  }
}

}  // namespace

void CdxDecodeNode(const uint8_t* block, int keyLength, uint8_t fill, const AnsiString& fileName,
                   CdxNode& node) {
  std::vector<CdxEntry> entries;
  DecodeNode(block, keyLength, fill, fileName, node,
             [&entries](const uint8_t* key, int length, int32_t record, int32_t child) {
               CdxEntry e;
               e.key.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(length));
               e.record = record;
               e.child = child;
               entries.push_back(std::move(e));
             });
  node.entries = std::move(entries);
}

AnsiString CdxNumberKey(double value) {
  uint8_t bytes[8];
  int n = PutOrderedDouble(bytes, value);
  return AnsiString(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
}

// ---------------------------------------------------------------------------
// XBobjCDXTag

XBobjCDXTag::XBobjCDXTag(XBobjCDXFile* file, int32_t headerPosition, const AnsiString& name,
                         bool directory)
    : XBobjIndexTag(file, UpperCase(name)), cdx_(file), directory_(directory) {
  formatWord_ = "CDX";
  headerPosition_ = headerPosition;
  if (directory_) {
    keyType_ = 'C';
    keyLength_ = kCdxDirectoryKeyLength;
    options_ = 0xE0;
    collation_ = cdxNone;
  }
  entryLength_ = keyLength_ + 8;
  entriesPerBranch_ = keyLength_ ? CdxMaxBranchEntries(keyLength_) : 0;
}

uint32_t XBobjCDXTag::HighestRecord() {
  if (directory_)
    return static_cast<uint32_t>(
        std::min<int64_t>(std::max<int64_t>(cdx_->KnownFileSize(), cdx_->NextFreePosition()),
                          0x7FFFFFFF));
  XBobjIndexTable* table = cdx_->Table();
  return table ? static_cast<uint32_t>(std::max(table->IndexRecordCount(), 0)) : 0;
}

void XBobjCDXTag::KeyToStoredForm(TxbVariant& key, bool trimmed) {
  if (keyType_ == 'N') {
    AnsiString stored = CdxNumberKey(key.AsNumber());
    key.SetRaw(stored.data(), static_cast<int32_t>(stored.size()));
    return;
  }
  if (keyType_ == 'D') {
    AnsiString stored = CdxNumberKey(DateKeyDay(key));
    key.SetRaw(stored.data(), static_cast<int32_t>(stored.size()));
    return;
  }
  TextKeyForm(key, trimmed);
  if (General()) {
    AnsiString general = GeneralSortKey(
        std::string_view(reinterpret_cast<const char*>(key.Data()), static_cast<std::size_t>(key.Length())));
    if (static_cast<int>(general.size()) > keyLength_) general.resize(static_cast<std::size_t>(keyLength_));
    key.SetRaw(general.data(), static_cast<int32_t>(general.size()));
    return;
  }
  // Character keys are fixed-length in the file: a longer text is cut.
  CutTextKey(key, keyLength_, trimmed);
}

void XBobjCDXTag::AddSortKey(TxbSort& sorter, TxbVariant& key, int32_t recordNumber) {
  // The bytes KeyToStoredForm would leave in the value buffer, handed to
  // the sorter as they are made: numbers and dates as raw bytes, plain
  // texts cut to the key length (the sorter drops trailing blanks).
  uint8_t bytes[8];
  if (keyType_ == 'N' || keyType_ == 'D') {
    const int n = PutOrderedDouble(bytes, keyType_ == 'N' ? key.AsNumber() : DateKeyDay(key));
    sorter.AddRaw(bytes, n, recordNumber);
    return;
  }
  if (General() || key.Kind() != xbvText) {
    XBobjIndexTag::AddSortKey(sorter, key, recordNumber);
    return;
  }
  sorter.AddText(key.Data(), std::min(key.Length(), keyLength_), recordNumber);
}

AnsiString XBobjCDXTag::DiskKey(const TxbVariant& held) const {
  AnsiString bytes(reinterpret_cast<const char*>(held.Data()), static_cast<std::size_t>(held.Length()));
  if (General()) bytes = GeneralToDiskForm(bytes);
  if (static_cast<int>(bytes.size()) > keyLength_) bytes.resize(static_cast<std::size_t>(keyLength_));
  return bytes;
}

void XBobjCDXTag::SetHeldKey(XBobjIndexKeyData& entry, std::string_view disk) const {
  if (keyType_ != 'C') {
    entry.SetRaw(disk.data(), static_cast<int32_t>(disk.size()));
  } else if (General()) {
    AnsiString held = GeneralFromDiskForm(disk);
    entry.SetRaw(held.data(), static_cast<int32_t>(held.size()));
  } else {
    entry.SetText(disk);
  }
}

bool XBobjCDXTag::AlternateStoredForm(const TxbVariant& stored, TxbVariant& alternate) {
  if (keyType_ == 'C' || stored.Kind() != xbvRaw) return false;
  int n = stored.Length();
  while (n > 0 && stored.Data()[n - 1] == 0xFF) --n;
  if (n == stored.Length()) return false;
  alternate.SetRaw(stored.Data(), n);
  return true;
}

void XBobjCDXTag::DetermineKeyType() { keyType_ = directory_ ? 'C' : EvaluatedKeyType(); }

void XBobjCDXTag::PrepareDefinition(const AnsiString& keyExpression, bool unique, bool ascending,
                                    const AnsiString& forExpression) {
  // Both texts with their terminators must fit the header's 512 bytes.
  if (keyExpression.size() + forExpression.size() + 2 > 512) RaiseTooLong(tagName_);
  XBobjIndexTag::DefineTag(keyExpression, unique, ascending, forExpression);
  reverseNavigation_ = !ascending;
  if (directory_) {
    keyType_ = 'C';
    keyLength_ = kCdxDirectoryKeyLength;
    options_ = 0xE0;
  } else {
    TxbVariant value(0);
    keyType_ = SampleKeyType(value, kCdxMaxKeyLength);
    int length = keyType_ != 'C' ? 8 : collation_ == cdxGeneral ? 2 * value.Length() : value.Length();
    // A longer key could never be opened again.
    CheckKeyLength(length, kCdxMaxKeyLength);
    keyLength_ = length;
    options_ = static_cast<uint8_t>(0x60 | (unique ? 0x01 : 0) | (hasFor_ ? 0x08 : 0));
  }
  entryLength_ = keyLength_ + 8;
  entriesPerBranch_ = CdxMaxBranchEntries(keyLength_);
  headerValid_ = true;
}

bool XBobjCDXTag::DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                            const AnsiString& forExpression) {
  PrepareDefinition(keyExpression, unique, ascending, forExpression);
  std::memset(rawHeader_, 0, sizeof rawHeader_);
  changeCounter_ = 0;
  cdx_->WriteBlock(headerPosition_, rawHeader_, kCdxHeaderSize);
  BuildTag();
  return true;
}

bool XBobjCDXTag::InsertKey(XBobjIndexKeyData& key) {
  key.EntryTag = key.RecordNumber;
  return XBobjIndexTag::InsertKey(key);
}

int32_t XBobjCDXTag::RootPage() {
  if (!headerValid_) Corrupt();
  return rootPosition_;
}

void XBobjCDXTag::ReadHeader() {
  headerValid_ = false;
  uint8_t h[kCdxHeaderSize];
  if (headerPosition_ < 0 || headerPosition_ % kCdxBlockSize != 0 ||
      !cdx_->PositionInside(headerPosition_, kCdxHeaderSize) ||
      !cdx_->ReadBlock(headerPosition_, h, kCdxHeaderSize))
    return;
  std::memcpy(rawHeader_, h, sizeof h);
  uint32_t root = GetLe32(h);
  int keyLength = GetLe16(h + 12);
  if (!NodeInside(root) || keyLength < 1 || keyLength > kCdxMaxKeyLength) return;
  headerValid_ = true;
  rootPosition_ = static_cast<int32_t>(root);
  changeCounter_ = GetLe32(h + 8);
  keyLength_ = keyLength;
  options_ = h[14];
  unique_ = (options_ & 0x01) != 0;
  if (directory_) {
    collation_ = cdxNone;
  } else if (std::memcmp(h + 494, "GENERAL", 7) == 0 || h[15] == 2) {
    collation_ = cdxGeneral;
  } else if (std::memcmp(h + 494, "MACHINE", 7) == 0) {
    collation_ = cdxMachine;
  } else {
    collation_ = cdxNone;
  }
  ascending_ = GetLe16(h + 502) == 0;
  reverseNavigation_ = !ascending_;
  const char* text = reinterpret_cast<const char*>(h + 512);
  std::size_t keyEnd = strnlen(text, 512);
  keyExpression_.assign(text, keyEnd);
  forExpression_.clear();
  if (keyEnd + 1 < 512) forExpression_.assign(text + keyEnd + 1, strnlen(text + keyEnd + 1, 512 - keyEnd - 1));
  hasFor_ = !forExpression_.empty();
  entryLength_ = keyLength_ + 8;
  entriesPerBranch_ = CdxMaxBranchEntries(keyLength_);
  if (!directory_) {
    CompileKey();
    CompileFor();
  }
  DetermineKeyType();
  headerChanged_ = false;
}

void XBobjCDXTag::RefreshHeader() {
  uint8_t h[kCdxHeaderSize];
  if (!cdx_->PositionInside(headerPosition_, kCdxHeaderSize) ||
      !cdx_->ReadBlock(headerPosition_, h, kCdxHeaderSize)) {
    headerValid_ = false;
    return;
  }
  uint32_t root = GetLe32(h);
  if (!NodeInside(root) || GetLe16(h + 12) != keyLength_) {
    headerValid_ = false;
    return;
  }
  std::memcpy(rawHeader_, h, sizeof h);
  rootPosition_ = static_cast<int32_t>(root);
  changeCounter_ = GetLe32(h + 8);
  headerChanged_ = false;
}

void XBobjCDXTag::WriteHeader() {
  uint8_t h[kCdxHeaderSize];
  std::memcpy(h, rawHeader_, sizeof h);
  PutLe32(h, static_cast<uint32_t>(rootPosition_));
  PutLe32(h + 8, changeCounter_);
  PutLe16(h + 12, static_cast<uint32_t>(keyLength_));
  h[14] = options_;
  h[15] = General() ? 2 : 1;
  if (General()) std::memcpy(h + 494, "GENERAL\0", 8);
  PutLe16(h + 502, ascending_ ? 0 : 1);
  std::size_t keySize = keyExpression_.size();
  std::size_t forSize = forExpression_.size();
  if (keySize + forSize + 2 > 512) RaiseTooLong(tagName_);
  PutLe16(h + 504, keySize ? static_cast<uint32_t>(keySize + 1) : 0);
  PutLe16(h + 506, static_cast<uint32_t>(forSize + 1));
  PutLe16(h + 508, 0);
  PutLe16(h + 510, static_cast<uint32_t>(keySize + 1));
  std::memset(h + 512, 0, 512);
  std::memcpy(h + 512, keyExpression_.data(), keySize);
  std::memcpy(h + 512 + keySize + 1, forExpression_.data(), forSize);
  cdx_->WriteBlock(headerPosition_, h, kCdxHeaderSize);
  std::memcpy(rawHeader_, h, sizeof h);
  headerChanged_ = false;
}

void XBobjCDXTag::ReadNode(int32_t position, CdxNode& node) {
  uint8_t block[kCdxBlockSize];
  ReadBlockChecked(position, block);
  CdxDecodeNode(block, keyLength_, FillByte(), cdx_->FileName(), node);
  CheckLinks(node);
  if (!node.IsLeaf())
    for (const CdxEntry& e : node.entries)
      if (!cdx_->PositionInside(e.child, kCdxBlockSize)) Corrupt();
}

bool XBobjCDXTag::NodeInside(int64_t position) {
  return position > 0 && position % kCdxBlockSize == 0 && position <= 0x7FFFFFFF &&
         cdx_->PositionInside(position, kCdxBlockSize);
}

void XBobjCDXTag::ReadBlockChecked(int32_t position, uint8_t* block) {
  if (!headerValid_) Corrupt();
  if (!NodeInside(position)) Corrupt();
  if (!cdx_->ReadBlock(position, block, kCdxBlockSize)) Corrupt();
}

void XBobjCDXTag::CheckLinks(const CdxNode& node) {
  for (int32_t sibling : {node.left, node.right}) {
    if (sibling != -1 && !NodeInside(sibling)) Corrupt();
  }
}

int XBobjCDXTag::ReadPage(int32_t position, XBobjIndexKey* page) {
  uint8_t block[kCdxBlockSize];
  ReadBlockChecked(position, block);
  CdxNode node;
  bool leaf = GetLe16(block) >= 2;
  // The count is checked while decoding; a block holds at most this many.
  page->ReserveEntries(std::min<int>(GetLe16(block + 2), kCdxBlockSize));
  DecodeNode(block, keyLength_, FillByte(), cdx_->FileName(), node,
             [&](const uint8_t* key, int length, int32_t record, int32_t child) {
               if (!leaf && !cdx_->PositionInside(child, kCdxBlockSize)) Corrupt();
               XBobjIndexKeyData* entry = page->ReadEntry();
               std::string_view bytes(reinterpret_cast<const char*>(key), static_cast<std::size_t>(length));
               SetHeldKey(*entry, bytes);
               entry->RecordNumber = record;
               entry->EntryTag = leaf ? record : child;
             });
  CheckLinks(node);
  page->PageKind = leaf ? ipkLeaf : ipkBranchRead;
  page->Left = node.left;
  page->Right = node.right;
  return 1;
}

std::vector<CdxEntry> XBobjCDXTag::DiskEntries(const XBobjIndexKey* page) const {
  std::vector<CdxEntry> entries;
  entries.reserve(static_cast<std::size_t>(page->Count()));
  for (int i = 0; i < page->Count(); ++i) {
    const XBobjIndexKeyData* e = page->Entry(i);
    entries.push_back({DiskKey(*e), e->RecordNumber, e->EntryTag});
  }
  return entries;
}

void XBobjCDXTag::RelinkNode(int32_t position, int offset, int32_t sibling) {
  if (!NodeInside(position)) Corrupt();
  uint8_t block[kCdxBlockSize];
  if (!cdx_->ReadBlock(position, block, kCdxBlockSize)) Corrupt();
  PutLe32(block + offset, static_cast<uint32_t>(sibling));
  cdx_->WriteBlock(position, block, kCdxBlockSize);
}

void XBobjCDXTag::WriteLeafInPlace(XBobjIndexKey* page) {
  const std::size_t count = static_cast<std::size_t>(page->Count());
  uint32_t highest = HighestRecord();
  leafRefs_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const XBobjIndexKeyData* e = page->Entry(static_cast<int>(i));
    CdxLeafRef& ref = leafRefs_[i];
    ref.key = reinterpret_cast<const char*>(e->Data());
    ref.length = std::min(e->Length(), keyLength_);
    ref.record = e->RecordNumber;
    highest = std::max(highest, static_cast<uint32_t>(e->RecordNumber));
  }
  CdxLeafParameters p = CdxLeafParametersFor(keyLength_, highest);
  const uint8_t fill = FillByte();
  const int n = p.infoBytes;
  int total = 0;
  for (std::size_t i = 0; i < count; ++i)
    total += CdxCountLeafRef(i ? &leafRefs_[i - 1] : nullptr, leafRefs_[i], keyLength_, fill, n);
  uint8_t block[kCdxBlockSize];
  // Splits as WriteLeaf does (the same nodes, byte for byte). The entries
  // a split moves leave the page; the others stay where they are, so the
  // references to their bytes hold.
  const int32_t liveLeft = page->Left;
  int32_t firstSplit = -1;
  std::size_t start = 0;
  while (total > kCdxLeafArea) {
    std::size_t moved = 0;
    int part = 0;
    while (start + moved + 1 < count) {
      const CdxLeafRef& ref = leafRefs_[start + moved];
      int size = n + keyLength_ - ref.duplicate - ref.trailing;
      if (moved > 0 && part + size >= 250) break;
      part += size;
      ++moved;
    }
    int32_t position = cdx_->NewPage();
    if (!CdxEncodeLeafRefs(leafRefs_.data() + start, moved, part, 2, page->Left, page->Position, keyLength_, p,
                           block))
      Corrupt();
    WriteSplitOffLeaf(page, block, moved, position, firstSplit);
    start += moved;
    total -= part;
    // The new first entry shares nothing with a key before it.
    CdxLeafRef& head = leafRefs_[start];
    total -= n + keyLength_ - head.duplicate - head.trailing;
    total += CdxCountLeafRef(nullptr, head, keyLength_, fill, n);
  }
  if (firstSplit != -1) {
    WriteParentOfSplitPage(page);
    if (liveLeft != -1) RelinkNode(liveLeft, 8, firstSplit);
  }
  int attribute = 2 + (page->Parent() ? 0 : 1);
  if (!CdxEncodeLeafRefs(leafRefs_.data() + start, count - start, total, attribute, page->Left, page->Right,
                         keyLength_, p, block))
    Corrupt();
  cdx_->WriteBlock(page->Position, block, kCdxBlockSize);
}

bool XBobjCDXTag::ReadLeafBlock(int32_t position, int& count, int32_t& left, int32_t& right) {
  uint8_t block[kCdxBlockSize];
  ReadBlockChecked(position, block);
  if (GetLe16(block) < 2) return false;
  const auto width = static_cast<std::size_t>(keyLength_);
  // A leaf's slots take three bytes at least: more entries are refused
  // while decoding.
  const std::size_t most = std::min<std::size_t>(GetLe16(block + 2), kCdxLeafArea / 3);
  if (blockKeys_.size() < most * width) blockKeys_.resize(most * width);
  if (blockRecords_.size() < most) {
    blockLengths_.resize(most);
    blockRecords_.resize(most);
  }
  std::size_t i = 0;
  CdxNode node;
  DecodeNode(block, keyLength_, FillByte(), cdx_->FileName(), node,
             [&](const uint8_t* key, int length, int32_t record, int32_t) {
               std::memcpy(blockKeys_.data() + i * width, key, width);
               blockLengths_[i] = length;
               blockRecords_[i] = record;
               ++i;
             });
  CheckLinks(node);
  blockCount_ = static_cast<int>(i);
  blockPosition_ = position;
  blockLeft_ = left = node.left;
  blockRight_ = right = node.right;
  count = static_cast<int>(i);
  return true;
}

void XBobjCDXTag::LeafBlockEntry(int i, XBobjIndexKeyData& entry) const {
  const auto n = static_cast<std::size_t>(i);
  const char* key = reinterpret_cast<const char*>(blockKeys_.data()) + n * static_cast<std::size_t>(keyLength_);
  SetHeldKey(entry, std::string_view(key, static_cast<std::size_t>(blockLengths_[n])));
  entry.RecordNumber = blockRecords_[n];
  entry.EntryTag = blockRecords_[n];
}

bool XBobjCDXTag::InsertIntoLeafBlock(int at, const XBobjIndexKeyData& stored) {
  // The leaf as WriteLeafInPlace writes it once the key is in it (a leaf
  // below a branch), byte for byte.
  const auto width = static_cast<std::size_t>(keyLength_);
  const auto count = static_cast<std::size_t>(blockCount_) + 1;
  const auto place = static_cast<std::size_t>(at);
  uint32_t highest = HighestRecord();
  leafRefs_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    CdxLeafRef& ref = leafRefs_[i];
    if (i == place) {
      ref.key = reinterpret_cast<const char*>(stored.Data());
      ref.length = std::min(stored.Length(), keyLength_);
      ref.record = stored.RecordNumber;
    } else {
      const std::size_t from = i < place ? i : i - 1;
      ref.key = reinterpret_cast<const char*>(blockKeys_.data()) + from * width;
      ref.length = blockLengths_[from];
      ref.record = blockRecords_[from];
    }
    highest = std::max(highest, static_cast<uint32_t>(ref.record));
  }
  const CdxLeafParameters p = CdxLeafParametersFor(keyLength_, highest);
  const uint8_t fill = FillByte();
  int total = 0;
  for (std::size_t i = 0; i < count; ++i)
    total += CdxCountLeafRef(i ? &leafRefs_[i - 1] : nullptr, leafRefs_[i], keyLength_, fill, p.infoBytes);
  if (total > kCdxLeafArea) return false;
  uint8_t block[kCdxBlockSize];
  if (!CdxEncodeLeafRefs(leafRefs_.data(), count, total, 2, blockLeft_, blockRight_, keyLength_, p, block)) {
    return false;
  }
  cdx_->WriteBlock(blockPosition_, block, kCdxBlockSize);
  return true;
}

void XBobjCDXTag::WriteSplitOffLeaf(XBobjIndexKey* page, const uint8_t* block, std::size_t moved,
                                    int32_t position, int32_t& firstSplit) {
  cdx_->WriteBlock(position, block, kCdxBlockSize);
  if (firstSplit == -1)
    firstSplit = position;
  else
    RelinkNode(page->Left, 8, position);
  SplitOff(page, static_cast<int>(moved), position);
  page->Left = position;
}

void XBobjCDXTag::WriteLeaf(XBobjIndexKey* page) {
  std::vector<CdxEntry> entries = DiskEntries(page);
  uint32_t highest = HighestRecord();
  for (const CdxEntry& e : entries) highest = std::max(highest, static_cast<uint32_t>(e.record));
  CdxLeafParameters p = CdxLeafParametersFor(keyLength_, highest);
  uint8_t fill = FillByte();
  uint8_t block[kCdxBlockSize];
  // The left neighbour learns of the first split-off node only after the
  // parent was written (see WriteParentOfSplitPage): until then a stopped
  // writer leaves it as it was.
  const int32_t liveLeft = page->Left;
  int32_t firstSplit = -1;
  // A long key that loses its shared prefix at the head of the remaining
  // node may still not fit: split again until it does.
  while (CdxLeafBytes(entries, 0, entries.size(), keyLength_, fill, p.infoBytes) > kCdxLeafArea) {
    std::size_t moved = 0;
    int total = 0;
    while (moved + 1 < entries.size()) {
      int duplicate, trailing;
      CdxEntryCounts(moved ? &entries[moved - 1].key : nullptr, entries[moved].key, keyLength_,
                     fill, duplicate, trailing);
      int size = p.infoBytes + keyLength_ - duplicate - trailing;
      if (moved > 0 && total + size >= 250) break;
      total += size;
      ++moved;
    }
    int32_t position = cdx_->NewPage();
    if (!CdxEncodeLeaf(entries, 0, moved, 2, page->Left, page->Position, keyLength_, fill, p, block))
      Corrupt();
    WriteSplitOffLeaf(page, block, moved, position, firstSplit);
    entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(moved));
  }
  if (firstSplit != -1) {
    WriteParentOfSplitPage(page);
    if (liveLeft != -1) RelinkNode(liveLeft, 8, firstSplit);
  }
  int attribute = 2 + (page->Parent() ? 0 : 1);
  if (!CdxEncodeLeaf(entries, 0, entries.size(), attribute, page->Left, page->Right, keyLength_,
                     fill, p, block))
    Corrupt();
  cdx_->WriteBlock(page->Position, block, kCdxBlockSize);
}

void XBobjCDXTag::WriteBranch(XBobjIndexKey* page) {
  std::vector<CdxEntry> entries = DiskEntries(page);
  uint8_t fill = FillByte();
  uint8_t block[kCdxBlockSize];
  // As in WriteLeaf, the left neighbour is relinked after the parent.
  const int32_t liveLeft = page->Left;
  int32_t firstSplit = -1;
  SplitWhileOverfull(page, entriesPerBranch_, [&](int moved) {
    int32_t position = cdx_->NewPage();
    std::size_t end = static_cast<std::size_t>(moved);
    if (!CdxEncodeBranch(entries, 0, end, 0, page->Left, page->Position, keyLength_, fill, block)) Corrupt();
    cdx_->WriteBlock(position, block, kCdxBlockSize);
    if (firstSplit == -1)
      firstSplit = position;
    else
      RelinkNode(page->Left, 8, position);
    page->Left = position;
    entries.erase(entries.begin(), entries.begin() + moved);
    return position;
  });
  if (firstSplit != -1 && liveLeft != -1) RelinkNode(liveLeft, 8, firstSplit);
  int attribute = page->Parent() ? 0 : 1;
  if (!CdxEncodeBranch(entries, 0, entries.size(), attribute, page->Left, page->Right, keyLength_,
                       fill, block))
    Corrupt();
  cdx_->WriteBlock(page->Position, block, kCdxBlockSize);
}

int XBobjCDXTag::WritePage(XBobjIndexKey* page) {
  if (page->IsLeaf() && !General())
    WriteLeafInPlace(page);
  else if (page->IsLeaf())
    WriteLeaf(page);
  else
    WriteBranch(page);
  return 1;
}

void XBobjCDXTag::PageRemoved(XBobjIndexKey* page) {
  // Other programs walk the sibling chains: the neighbours must skip the
  // node that left the tree.
  if (page->Left != -1) RelinkNode(page->Left, 8, page->Right);
  if (page->Right != -1) RelinkNode(page->Right, 4, page->Left);
}

void XBobjCDXTag::BuildTag() {
  DiscardPages();
  if (directory_) {
    int32_t position = cdx_->NewPage();
    std::vector<CdxEntry> none;
    uint8_t block[kCdxBlockSize];
    CdxEncodeLeaf(none, 0, 0, 3, -1, -1, keyLength_, FillByte(),
                  CdxLeafParametersFor(keyLength_, HighestRecord()), block);
    cdx_->WriteBlock(position, block, kCdxBlockSize);
    rootPosition_ = position;
  } else {
    XBobjIndexTable* table = cdx_->Table();
    XBobjSortCDX sorter(this, table ? table->IndexRecordCount() : 0);
    SortRecordKeys(sorter);
    rootPosition_ = sorter.WriteTree();
    if (table) table->IndexStatusReport(0, 0, 0);
  }
  headerChanged_ = true;
  WriteHeader();
}

// ---------------------------------------------------------------------------
// XBobjSortCDX

XBobjSortCDX::XBobjSortCDX(XBobjCDXTag* tag, int32_t recordCount)
    : TxbSort(tag->KeyLength() + 1, CollationWeights, true, tag->Unique()),
      tag_(tag),
      recordCount_(recordCount),
      keyLength_(tag->KeyLength()),
      fill_(tag->FillByte()),
      blocks_(*tag->CdxFile()) {
  leaf_ = CdxLeafParametersFor(keyLength_, static_cast<uint32_t>(std::max(recordCount, 1)));
  SetMemoryBound(kBuildMemoryBound);
}

void XBobjSortCDX::WriteNode(std::size_t level, const std::vector<CdxEntry>& entries, std::size_t count,
                             int32_t left, int32_t right, int32_t position, bool root) {
  uint8_t block[kCdxBlockSize];
  bool ok;
  if (level == 0)
    ok = CdxEncodeLeaf(entries, 0, count, 2 + (root ? 1 : 0), left, right, keyLength_, fill_, leaf_, block);
  else
    ok = CdxEncodeBranch(entries, 0, count, root ? 1 : 0, left, right, keyLength_, fill_, block);
  if (!ok) tag_->Corrupt();
  blocks_.Write(position, block, kCdxBlockSize);
}

void XBobjSortCDX::Add(std::size_t level, const char* key, std::size_t length, int32_t record, int32_t child) {
  // Branch levels only (leaves go through AddLeafKey). 31 levels hold far
  // more keys than a table can have records.
  if (level >= 31) tag_->Corrupt();
  if (levels_.size() <= level) levels_.resize(level + 1);
  {
    Level& l = levels_[level];
    if (l.position == -1) {
      l.position = tag_->CdxFile()->NewPage();
      l.left = -1;
      l.count = 0;
      if (l.pendingPosition != -1) {
        l.left = l.pendingPosition;
        WriteNode(level, l.pending, l.pendingCount, l.pendingLeft, l.position, l.pendingPosition, false);
        l.pendingPosition = -1;
        l.pendingCount = 0;
      }
    }
    if (l.entries.size() <= l.count) l.entries.resize(l.count + 1);
    CdxEntry& entry = l.entries[l.count];
    entry.key.assign(key, length);
    entry.record = record;
    entry.child = child;
    ++l.count;
    if (static_cast<int>(l.count) < CdxMaxBranchEntries(keyLength_)) return;
    l.pendingLeft = l.left;
    l.entries.swap(l.pending);
    l.pendingCount = l.count;
    l.count = 0;
    l.pendingPosition = l.position;
    l.position = -1;
  }
  // The level vector may grow below: copy what goes up first.
  const CdxEntry& last = levels_[level].pending[levels_[level].pendingCount - 1];
  separator_.assign(last.key);
  int32_t separatorRecord = last.record;
  int32_t position = levels_[level].pendingPosition;
  Add(level + 1, separator_.data(), separator_.size(), separatorRecord, position);
}

void XBobjSortCDX::WriteLeaf(LeafBlock& leaf, int32_t right, bool root) {
  PutCdxLeafHeader(leaf.block, 2 + (root ? 1 : 0), leaf.count, leaf.left, right, leaf.used, leaf_);
  blocks_.Write(leaf.position, leaf.block, kCdxBlockSize);
}

// The leaf encoding of CdxEncodeLeaf, one key at a time: the key's bytes
// after those it shares with the previous key of the leaf, without its
// trailing fill, grow down from the block's end; its information bytes
// (record number, duplicate and trailing counts) grow up from offset 24.
void XBobjSortCDX::AddLeafKey(const uint8_t* key, int length, int32_t record) {
  if (levels_.empty()) levels_.resize(1);
  LeafBlock& open = leaves_[openLeaf_];
  if (open.position == -1) {
    open.position = tag_->CdxFile()->NewPage();
    open.left = -1;
    open.count = 0;
    open.used = 0;
    open.keyEnd = kCdxBlockSize;
    std::memset(open.block, 0, sizeof open.block);
    LeafBlock& pending = leaves_[1 - openLeaf_];
    if (pending.position != -1) {
      open.left = pending.position;
      WriteLeaf(pending, open.position, false);
      pending.position = -1;
    }
  }
  if (record <= 0 || static_cast<uint32_t>(record) > leaf_.recordMask) tag_->Corrupt();
  int kept = std::min(length, keyLength_);
  while (kept > 0 && key[kept - 1] == fill_) --kept;
  const int trailing = keyLength_ - kept;
  int duplicate = 0;
  if (open.count > 0) {
    // Only bytes the previous key really stores are shared.
    const int shared = std::min(kept, previousStored_);
    while (duplicate < shared && previousKey_[duplicate] == key[duplicate]) ++duplicate;
  }
  const int stored = kept - duplicate;
  const int info = leaf_.infoBytes;
  if (open.keyEnd - stored < 24 + (open.count + 1) * info) tag_->Corrupt();
  open.keyEnd -= stored;
  std::memcpy(open.block + open.keyEnd, key + duplicate, static_cast<std::size_t>(stored));
  PutCdxLeafSlot(open.block + 24 + open.count * info, record, duplicate, trailing, leaf_);
  open.used += info + stored;
  ++open.count;
  std::memcpy(previousKey_, key, static_cast<std::size_t>(length));
  previousLength_ = length;
  previousStored_ = kept;
  previousRecord_ = record;
  if (kCdxLeafArea - open.used >= 2 * (info + keyLength_ + 8)) return;
  // Closed: it is written once its right sibling has a position.
  const int32_t position = open.position;
  openLeaf_ = 1 - openLeaf_;
  leaves_[openLeaf_].position = -1;
  Add(1, reinterpret_cast<const char*>(previousKey_), static_cast<std::size_t>(previousLength_), record, position);
}

int32_t XBobjSortCDX::WriteTree() {
  XBobjIndexTable* table = tag_->CdxFile()->Table();
  const bool general = tag_->Collation() == cdxGeneral;
  uint8_t type;
  const uint8_t* bytes;
  int length;
  int32_t record;
  int32_t written = 0;
  TxbVariant value(0);
  // Keys come from the sorter in their stored form, which is the disk form
  // unless the collation maps it.
  while (NextBytes(type, bytes, length, record)) {
    if (general) {
      KeyValue(type, bytes, length, value);
      AnsiString disk = tag_->DiskKey(value);
      AddLeafKey(reinterpret_cast<const uint8_t*>(disk.data()), static_cast<int>(disk.size()), record);
    } else {
      AddLeafKey(bytes, std::min(length, keyLength_), record);
    }
    ++written;
    if (table) table->IndexStatusReport(2, written, 0);
  }
  if (levels_.empty()) {
    int32_t position = tag_->CdxFile()->NewPage();
    WriteNode(0, {}, 0, -1, -1, position, true);
    blocks_.Flush();
    return position;
  }
  int32_t root = -1;
  {
    const bool top = levels_.size() == 1;
    LeafBlock& open = leaves_[openLeaf_];
    LeafBlock& pending = leaves_[1 - openLeaf_];
    if (open.position != -1) {
      WriteLeaf(open, -1, top);
      if (top)
        root = open.position;
      else
        Add(1, reinterpret_cast<const char*>(previousKey_), static_cast<std::size_t>(previousLength_),
            previousRecord_, open.position);
      open.position = -1;
    } else if (pending.position != -1) {
      WriteLeaf(pending, -1, top);
      if (top) root = pending.position;
      pending.position = -1;
    }
  }
  for (std::size_t level = 1; level < levels_.size(); ++level) {
    bool top = level + 1 == levels_.size();
    if (levels_[level].position != -1) {
      Level& l = levels_[level];
      int32_t position = l.position;
      l.position = -1;
      if (top) {
        root = position;
        WriteNode(level, l.entries, l.count, l.left, -1, position, true);
      } else {
        separator_.assign(l.entries[l.count - 1].key);
        int32_t separatorRecord = l.entries[l.count - 1].record;
        WriteNode(level, l.entries, l.count, l.left, -1, position, false);
        Add(level + 1, separator_.data(), separator_.size(), separatorRecord, position);
      }
    } else if (levels_[level].pendingPosition != -1) {
      Level& l = levels_[level];
      WriteNode(level, l.pending, l.pendingCount, l.pendingLeft, -1, l.pendingPosition, top);
      if (top) root = l.pendingPosition;
      l.pendingPosition = -1;
    }
  }
  blocks_.Flush();
  return root;
}

// ---------------------------------------------------------------------------
// XBobjCDXFile

XBobjCDXFile::XBobjCDXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite,
                           bool create, unsigned mode, unsigned share)
    : XBobjIndexFile(table) {
  keysByRecord_ = true;
  SetPageAllocation(kCdxBlockSize, 0x7FFFFE00);
  if (!OpenDiskFile(table, name, overwrite, create, mode, share, ".cdx"))
    XbRaise(xbmFileNotFound, name);
  directory_ = std::make_unique<XBobjCDXTag>(this, 0, BaseName(disk_->FileName()), true);
  int64_t size = RefreshFileSize();
  if (size > kCdxBlockSize) {
    directory_->ReadHeader();
    if (!directory_->HeaderValid() || directory_->Options() != 0xE0) return;
    LoadTagsFromDirectory();
  } else {
    InitializeNewFile();
  }
  opened_ = true;
  SyncWithDisk();
  FlagProductionIndex();
}

XBobjCDXFile::~XBobjCDXFile() {
  ReleaseUnwritten();
  if (directory_) directory_->DiscardPages();
  Tags().Clear();
}

void XBobjCDXFile::WritePending() {
  ResetAllPages();
  if (directory_) directory_->ResetPages();
}

bool XBobjCDXFile::HasUnwrittenChanges() const {
  return XBobjIndexFile::HasUnwrittenChanges() || (directory_ && directory_->HasUnwrittenChanges());
}

uint32_t XBobjCDXFile::ChangeCounter() const { return directory_->ChangeCounter(); }

void XBobjCDXFile::InitializeNewFile() {
  nextFree_ = 0;
  int32_t position = NewPage();
  NewPage();
  directory_->SetHeaderPosition(position);
  directory_->DefineTag("", false, true, "");
}

void XBobjCDXFile::LoadTagsFromDirectory() {
  Tags().Clear();
  // Every tag needs its own header: more entries than blocks is a loop.
  int64_t limit = KnownFileSize() / kCdxBlockSize + 1;
  int64_t seen = 0;
  directory_->DiscardPages();
  try {
    int32_t record = directory_->MoveTo(-3);
    while (record != 0) {
      if (++seen > limit) Corrupt();
      AnsiString name = TrimRight(directory_->CurrentKey().AsText());
      auto* tag = new XBobjCDXTag(this, record, name);
      Tags().Add(tag);
      tag->ReadHeader();
      record = directory_->MoveTo(-1);
    }
  } catch (...) {
    directory_->DiscardPages();
    throw;
  }
  directory_->DiscardPages();
}

void XBobjCDXFile::RemoveDirectoryEntry(const AnsiString& name, int32_t headerPosition) {
  XBobjIndexKeyData key;
  key.SetText(name);
  directory_->KeyToStoredForm(key, true);
  if (directory_->Search(headerPosition, key, kIndexCompareExact) == 0)
    directory_->DeleteCurrentKey();
}

void XBobjCDXFile::AddDirectoryEntry(const AnsiString& name, int32_t headerPosition) {
  XBobjIndexKeyData key;
  key.SetText(name);
  key.RecordNumber = headerPosition;
  directory_->InsertKey(key);
}

bool XBobjCDXFile::CreateTag(const AnsiString& tagName, const AnsiString& keyExpression,
                             bool unique, bool ascending, const AnsiString& forExpression) {
  if (!opened_) Corrupt();
  AnsiString name = StoredTagName(tagName, kCdxDirectoryKeyLength);
  auto tag = std::make_unique<XBobjCDXTag>(this, -1, name);
  tag->SetCollation(newTagCollation_);
  // Everything that can be refused is refused before the file changes.
  tag->PrepareDefinition(keyExpression, unique, ascending, forExpression);
  ChangeDirectory([&] {
    for (int i = TagCount() - 1; i >= 0; --i) {
      XBobjIndexTag* old = TagAt(i);
      if (!SameText(old->TagName(), name)) continue;
      RemoveDirectoryEntry(old->TagName(), old->HeaderPosition());
      Tags().Remove(old);
    }
    int32_t position = NewPage();
    NewPage();
    tag->SetHeaderPosition(position);
    tag->DefineTag(keyExpression, unique, ascending, forExpression);
    AddDirectoryEntry(name, position);
    directory_->ResetPages();
    Tags().Add(tag.release());
    BumpChangeCounter();
  });
  return true;
}

bool XBobjCDXFile::DeleteTag(const AnsiString& tagName) {
  if (!opened_) return false;
  AnsiString name = StoredTagName(tagName, kCdxDirectoryKeyLength);
  XBobjIndexTag* tag = nullptr;
  for (int i = 0; i < TagCount(); ++i)
    if (SameText(TagAt(i)->TagName(), name)) tag = TagAt(i);
  if (!tag) return false;
  ChangeDirectory([&] {
    RemoveDirectoryEntry(tag->TagName(), tag->HeaderPosition());
    directory_->ResetPages();
    Tags().Remove(tag);
    BumpChangeCounter();
  });
  if (TagCount() == 0) Reindex();
  return true;
}

void XBobjCDXFile::ChangeDirectory(const std::function<void()>& change) {
  ChangeUnderIndexLock([&] {
    try {
      directory_->DiscardPages();
      change();
    } catch (...) {
      // A directory page changed in memory is never written half-done.
      directory_->DiscardPages();
      throw;
    }
  });
}

int32_t XBobjCDXFile::NewPage() { return TakeNextFree(kCdxBlockSize); }

int32_t XBobjCDXFile::ResetAllocation() {
  int64_t size = RefreshFileSize();
  // Another program may have appended pages (or left a ragged end).
  size = (size + kCdxBlockSize - 1) / kCdxBlockSize * kCdxBlockSize;
  nextFree_ = std::max<int64_t>(nextFree_, size);
  // A file already at the format's limit leaves nothing to allocate: the
  // next page is refused instead of reusing one.
  return static_cast<int32_t>(std::min<int64_t>(nextFree_, 0x7FFFFFFF));
}

void XBobjCDXFile::Reindex() {
  ChangeUnderWholeFileLock([this] {
    for (int i = TagCount() - 1; i >= 0; --i) {
      XBobjIndexTag* tag = TagAt(i);
      tag->DiscardPages();
      // A tag whose header could not be read has no expression to rebuild
      // it from.
      if (!static_cast<XBobjCDXTag*>(tag)->HeaderValid()) Tags().Remove(tag);
    }
    directory_->DiscardPages();
    TruncateDisk(kCdxNewFileSize);
    knownSize_ = kCdxNewFileSize;
    nextFree_ = kCdxNewFileSize;
    directory_->ResetHeaderBytes();
    directory_->PrepareDefinition("", false, true, "");
    directory_->SetHeaderPosition(0);
    directory_->SetRootPosition(kCdxHeaderSize);
    directory_->SetChangeCounter(0);
    {
      std::vector<CdxEntry> none;
      uint8_t block[kCdxBlockSize];
      CdxEncodeLeaf(none, 0, 0, 3, -1, -1, kCdxDirectoryKeyLength, ' ',
                    CdxLeafParametersFor(kCdxDirectoryKeyLength, kCdxNewFileSize), block);
      WriteBlock(kCdxHeaderSize, block, kCdxBlockSize);
    }
    directory_->WriteHeader();
    for (int i = 0; i < TagCount(); ++i) {
      auto* tag = static_cast<XBobjCDXTag*>(TagAt(i));
      int32_t position = NewPage();
      NewPage();
      tag->SetHeaderPosition(position);
      tag->SetChangeCounter(0);
      // The old file's free list pointed into pages that are gone now.
      tag->ClearFreeList();
      tag->WriteHeader();
      tag->BuildTag();
      AddDirectoryEntry(tag->TagName(), position);
    }
    directory_->ResetPages();
    opened_ = true;
  });
  SyncWithDisk();
}

uint32_t XBobjCDXFile::ReadDiskCounter() {
  uint8_t block[kCdxBlockSize];
  if (!ReadBlockFromDisk(0, block, kCdxBlockSize)) Corrupt();
  return GetLe32(block + 8);
}

void XBobjCDXFile::BumpChangeCounter() {
  // Counted on the value on disk (under the index lock), so two programs
  // never write the same value for different changes.
  if (disk_->Shared() && LockLevel() > 0 && (!table_ || table_->IndexWritePassword().empty())) {
    // Under our lock the disk holds the value LockTaken read or we wrote
    // since: only the counter's own bytes are written.
    assert(ReadDiskCounter() == heldCounter_);
    const uint32_t counter = heldCounter_ + 1;
    uint8_t bytes[4];
    PutLe32(bytes, counter);
    WriteBlock(8, bytes, 4);
    directory_->SetChangeCounter(counter);
    heldCounter_ = syncCounter_ = counter;
    return;
  }
  uint8_t block[kCdxBlockSize];
  if (!ReadBlockFromDisk(0, block, kCdxBlockSize)) Corrupt();
  uint32_t counter = GetLe32(block + 8) + 1;
  PutLe32(block + 8, counter);
  WriteBlock(0, block, kCdxBlockSize);
  directory_->SetChangeCounter(counter);
  heldCounter_ = syncCounter_ = counter;
}

bool XBobjCDXFile::RecordChanged(int32_t recordNumber, bool appended) {
  bool changed = XBobjIndexFile::RecordChanged(recordNumber, appended);
  // Under the lock the count waits until the changed pages are on disk: a
  // reader that sees the new count must find the pages that go with it.
  if (changed && LockLevel() > 0)
    countPending_ = true;
  else if (changed)
    BumpChangeCounter();
  return changed;
}

void XBobjCDXFile::SyncWithDisk() {
  heldCounter_ = syncCounter_ = releasedCounter_ = directory_->ChangeCounter();
  heldSize_ = syncSize_ = releasedSize_ = RefreshFileSize();
  heldTime_ = syncTime_ = releasedTime_ = knownTime_;
  refreshedInLock_ = false;
  SetCountedPagesValid(true);
}

void XBobjCDXFile::RefreshTagHeaders() {
  directory_->DiscardPages();
  directory_->RefreshHeader();
  for (int i = 0; i < TagCount(); ++i) {
    auto* tag = static_cast<XBobjCDXTag*>(TagAt(i));
    tag->DiscardPages();
    tag->RefreshHeader();
  }
}

bool XBobjCDXFile::ChangedByOtherUser() {
  if (!disk_ || !disk_->Shared() || !opened_) return false;
  // Under our own lock nobody else writes: LockTaken already compared the
  // file with what it was when we last released it.
  if (LockLevel() > 0) {
    bool refreshed = refreshedInLock_;
    refreshedInLock_ = false;
    return refreshed;
  }
  uint32_t counter = ReadDiskCounter();
  // Programs that never count their changes still grow the file when they
  // change a tag, and every write moves its modification time (which also
  // tells a counter that came round to the same value, e.g. a rebuild
  // starting it at 0 again, from no change at all).
  int64_t size = RefreshFileSize();
  int64_t time = knownTime_;
  const bool asReleased = counter == releasedCounter_ && size == releasedSize_ && time == releasedTime_;
  SetCountedPagesValid(asReleased);
  if (counter == heldCounter_ && size == heldSize_ && time == heldTime_) return false;
  heldCounter_ = counter;
  heldSize_ = size;
  heldTime_ = time;
  if (counter != syncCounter_ || size != syncSize_ || time != syncTime_) {
    // The headers are read from the disk, not from blocks held.
    SetCountedPagesValid(false);
    RefreshTagHeaders();
    SetCountedPagesValid(asReleased);
    syncCounter_ = counter;
    syncSize_ = size;
    syncTime_ = time;
  }
  return true;
}

void XBobjCDXFile::LockTaken() {
  countPending_ = false;
  if (!disk_->Shared() || !opened_) return;
  uint32_t counter = ReadDiskCounter();
  // LockIndexFile has just read size and time (ResetAllocation).
  int64_t size = knownSize_;
  int64_t time = knownTime_;
  // Not compared with what a look without the lock saw: that look may have
  // fallen between another writer's count and its pages.
  refreshedInLock_ = counter != releasedCounter_ || size != releasedSize_ || time != releasedTime_;
  if (refreshedInLock_) {
    SetCountedPagesValid(false);
    RefreshTagHeaders();
  }
  // Nobody else writes while we hold the lock.
  SetCountedPagesValid(true);
  heldCounter_ = syncCounter_ = counter;
  heldSize_ = syncSize_ = size;
  heldTime_ = syncTime_ = time;
}

void XBobjCDXFile::LockReleasing() {
  if (!opened_) return;
  directory_->ResetPages();
  if (countPending_) {
    countPending_ = false;
    BumpChangeCounter();
  }
  SyncWithDisk();
}
