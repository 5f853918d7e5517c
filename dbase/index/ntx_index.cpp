// NTX single-tag index: page codec, key texts, the B-tree changes of the
// tag, the bottom-up builder and the file with its change counter. The
// layout and the way the tree is shown to the shared machinery are
// described in ntx_index.h.
#include "dbase/index/ntx_index.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dbase/base/byte_order.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_impl.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

// Keys longer than this could not be sorted for a rebuild.
constexpr int kMaxKeyLength = TxbSort::kMaxKeyLength - 1;
constexpr int32_t kMaxPosition = 0x7FFFF800;
// Signature bits that do not change the layout: the FOR clause and flags
// other programs keep in the same word.
constexpr uint16_t kSignatureFlags = 0x0079;

bool PagePosition(int64_t position) {
  return position >= kNtxPageSize && position <= kMaxPosition && position % kNtxPageSize == 0;
}

// The table's fields, when the index table is a table of fields.
const XBO_dBaseFld* FieldsOf(XBobjIndexTable* table) {
  if (!table) return nullptr;
  if (auto* fields = dynamic_cast<XBO_dBaseFld*>(table)) return fields;
  if (auto* adapter = dynamic_cast<XBobjDBFIndexTable*>(table)) return &adapter->Table();
  return nullptr;
}

// STR without a width takes the width of its argument, for as long as the
// scope lives; the link's own setting is back afterwards, so filters and
// the tags of other files on the same table never see the change.
class ArgumentWidthScope {
 public:
  explicit ArgumentWidthScope(TxbExpUserLink* link) : link_(link) {
    if (link_) {
      saved_ = link_->DefaultNumberWidth();
      link_->SetDefaultNumberWidth(-1);
    }
  }
  ~ArgumentWidthScope() {
    if (link_) link_->SetDefaultNumberWidth(saved_);
  }
  ArgumentWidthScope(const ArgumentWidthScope&) = delete;
  ArgumentWidthScope& operator=(const ArgumentWidthScope&) = delete;

 private:
  TxbExpUserLink* link_;
  int saved_ = 10;
};

}  // namespace

// ---------------------------------------------------------------------------
// Page codec and key texts

NtxLayout NtxNewLayout(int keyLength) {
  NtxLayout l;
  l.keyLength = keyLength;
  l.itemSize = keyLength + 8;
  int f = 1020 / (keyLength + 10) - 1;
  l.halfItems = std::max(f / 2, 0);
  l.maxItems = 2 * l.halfItems;
  return l;
}

bool NtxLayoutValid(const NtxLayout& l) {
  if (l.keyLength < 1 || l.itemSize < l.keyLength + 8 || l.maxItems < 2) return false;
  if (l.halfItems < 0 || l.halfItems > l.maxItems) return false;
  int64_t slots = int64_t{l.maxItems} + 1;
  return 2 + slots * 2 + slots * l.itemSize <= kNtxPageSize;
}

namespace {

// Checks a page's count and item offsets and hands every item to
// sink(branch, key bytes or null for the rightmost child, record, child).
// Returns whether the page is a branch.
template <class Sink>
bool DecodeItems(const uint8_t* page, const NtxLayout& layout, const AnsiString& fileName, Sink&& sink) {
  auto bad = [&fileName]() { XbRaise(xbmIndexCorrupted, fileName); };
  if (!NtxLayoutValid(layout)) bad();
  int count = GetLe16(page);
  if (count > layout.maxItems) bad();
  int tableEnd = 2 + 2 * (layout.maxItems + 1);
  auto item = [&](int i) {
    int offset = GetLe16(page + 2 + 2 * i);
    if (offset < tableEnd || offset + layout.itemSize > kNtxPageSize) bad();
    return page + offset;
  };
  bool branch = GetLe32(item(0)) != 0;
  for (int i = 0; i <= count; ++i) {
    const uint8_t* p = item(i);
    uint32_t child = GetLe32(p);
    if (branch ? !PagePosition(child) : (i < count && child != 0)) bad();
    if (i == count) {
      if (branch) sink(true, nullptr, 0, static_cast<int32_t>(child));
      break;
    }
    int32_t record = static_cast<int32_t>(GetLe32(p + 4));
    if (record <= 0) bad();
    sink(branch, p + 8, record, static_cast<int32_t>(child));
  }
  return branch;
}

}  // namespace

void NtxDecodePage(const uint8_t* page, const NtxLayout& layout, const AnsiString& fileName,
                   NtxNode& node) {
  node.keys.clear();
  node.children.clear();
  DecodeItems(page, layout, fileName, [&](bool branch, const uint8_t* key, int32_t record, int32_t child) {
    if (branch) node.children.push_back(child);
    if (!key) return;
    NtxKey k;
    k.record = record;
    k.bytes.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(layout.keyLength));
    node.keys.push_back(std::move(k));
  });
}

void NtxStartPage(const NtxLayout& layout, uint8_t* page) {
  std::memset(page, 0, kNtxPageSize);
  int tableEnd = 2 + 2 * (layout.maxItems + 1);
  for (int i = 0; i <= layout.maxItems; ++i)
    PutLe16(page + 2 + 2 * i, static_cast<uint32_t>(tableEnd + i * layout.itemSize));
}

uint8_t* NtxPageItem(const NtxLayout& layout, uint8_t* page, int i) {
  return page + 2 + 2 * (layout.maxItems + 1) + i * layout.itemSize;
}

bool NtxEncodePage(const NtxNode& node, const NtxLayout& layout, uint8_t* page) {
  int count = static_cast<int>(node.keys.size());
  if (count > layout.maxItems) return false;
  if (!node.IsLeaf() && node.children.size() != node.keys.size() + 1) return false;
  NtxStartPage(layout, page);
  PutLe16(page, static_cast<uint32_t>(count));
  for (int i = 0; i <= count; ++i) {
    uint8_t* p = NtxPageItem(layout, page, i);
    if (!node.IsLeaf()) PutLe32(p, static_cast<uint32_t>(node.children[static_cast<std::size_t>(i)]));
    if (i == count) break;
    const NtxKey& key = node.keys[static_cast<std::size_t>(i)];
    PutLe32(p + 4, static_cast<uint32_t>(key.record));
    std::memset(p + 8, ' ', static_cast<std::size_t>(layout.keyLength));
    std::memcpy(p + 8, key.bytes.data(), std::min<std::size_t>(key.bytes.size(), static_cast<std::size_t>(layout.keyLength)));
  }
  return true;
}

std::string NtxNumberKey(double value, int width, int decimals) {
  if (width < 1) return std::string();
  const auto size = static_cast<std::size_t>(width);
  const double magnitude = std::fabs(value);
  std::string key(size, '0');
  char digits[24];
  AnsiString text;
  std::string_view shown;
  if (decimals <= 0 && magnitude < 1e15 && magnitude == std::floor(magnitude)) {
    // Whole numbers, the usual keys, need no rounding: their digits.
    shown = std::string_view(
        digits, static_cast<std::size_t>(
                    std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(magnitude)).ptr - digits));
  } else if (std::isfinite(value)) {
    text = FormatFixedNumber(magnitude, decimals, size);
    shown = text;
  }
  if (shown.empty() || shown.size() > size) {
    // Too wide for the key: the widest value it shows keeps the order at
    // the ends of the scale.
    key.assign(size, '9');
    if (decimals > 0 && decimals < width - 1) key[size - static_cast<std::size_t>(decimals) - 1] = '.';
  } else {
    // Zeros before the digits.
    std::memcpy(key.data() + (size - shown.size()), shown.data(), shown.size());
  }
  if (value < 0)
    for (char& c : key)
      if (c >= '0' && c <= '9') c = static_cast<char>(92 - c);
  return key;
}

std::string NtxDateKey(int32_t day) {
  if (day <= 0) return "00000000";
  AnsiString text = DbfDate().JulianToDbfText(day);
  // Blanks: no date the calendar knows.
  if (text.find_first_not_of(' ') == std::string::npos) return "00000000";
  return text;
}

// ---------------------------------------------------------------------------
// XBobjNTXTag: keys

XBobjNTXTag::XBobjNTXTag(XBobjNTXFile* file, const AnsiString& name)
    : XBobjIndexTag(file, UpperCase(name)), ntx_(file) {
  formatWord_ = "NTX";
}

std::string XBobjNTXTag::HeldKey(const std::string& bytes) const {
  auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  std::string_view held = HeldText(data, static_cast<int>(bytes.size()));
  // Other programs write an empty date as blanks.
  if (held.empty() && keyType_ == 'D') return "00000000";
  return std::string(held);
}

int XBobjNTXTag::CompareHeld(const std::string& a, const std::string& b) const {
  std::size_t n = std::min(a.size(), b.size());
  int c = 0;
  for (std::size_t i = 0; i < n && c == 0; ++i) {
    unsigned x = weights_[static_cast<unsigned char>(a[i])];
    unsigned y = weights_[static_cast<unsigned char>(b[i])];
    if (x != y) c = x < y ? -1 : 1;
  }
  if (c == 0 && a.size() != b.size()) c = a.size() < b.size() ? -1 : 1;
  return keysDescending_ ? -c : c;
}

std::string XBobjNTXTag::DiskBytes(const TxbVariant& stored) const {
  std::string bytes(reinterpret_cast<const char*>(stored.Data()), static_cast<std::size_t>(stored.Length()));
  bytes.resize(static_cast<std::size_t>(layout_.keyLength), ' ');
  return bytes;
}

void XBobjNTXTag::KeyToStoredForm(TxbVariant& key, bool trimmed) {
  if (keyType_ == 'N') {
    key.SetText(NtxNumberKey(key.AsNumber(), keyLength_, decimals_));
    return;
  }
  if (keyType_ == 'D') {
    key.SetText(NtxDateKey(key.AsDate()));
    return;
  }
  TextKeyForm(key, trimmed);
  XBobjIndexTable* table = ntx_->Table();
  if (ntx_->TranslateTexts() && table)
    key.SetText(table->IndexTranslateName(
        AnsiString(reinterpret_cast<const char*>(key.Data()), static_cast<std::size_t>(key.Length()))));
  if (keyLength_ > 0) CutTextKey(key, keyLength_, trimmed);
}

bool XBobjNTXTag::EvaluateKey(TxbVariant& key) {
  if (!KeyHandler()) return false;
  ArgumentWidthScope scope(KeyHandler()->Link());
  return XBobjIndexTag::EvaluateKey(key);
}

bool XBobjNTXTag::EvaluateFor() {
  if (!ForHandler()) return false;
  ArgumentWidthScope scope(ForHandler()->Link());
  return XBobjIndexTag::EvaluateFor();
}

// ---------------------------------------------------------------------------
// XBobjNTXTag: definition and header

void XBobjNTXTag::PrepareDefinition(const AnsiString& keyExpression, bool unique, bool ascending,
                                    const AnsiString& forExpression) {
  // Longer texts would run into the fields after them in the header.
  if (static_cast<int>(keyExpression.size()) > kNtxKeyExpressionLimit ||
      static_cast<int>(forExpression.size()) > kNtxForExpressionLimit)
    XbRaise(xbmIndexExpressionTooLong, tagName_);
  XBobjIndexTag::DefineTag(keyExpression, unique, ascending, forExpression);
  keysDescending_ = !ascending;
  TxbVariant value(0);
  keyType_ = SampleKeyType(value, kMaxKeyLength);
  int length = keyType_ == 'C' ? value.Length() : 8;
  int decimals = 0;
  if (keyType_ == 'N') {
    length = 18;
    decimals = 4;
    const XBO_dBaseFld* fields = FieldsOf(ntx_->Table());
    const TxbDBFFields* field = fields ? fields->FieldDescriptor(Trim(keyExpression)) : nullptr;
    if (field) {
      length = field->length;
      decimals = field->decimals;
    }
  }
  // Nor could a longer key leave room for two items per page.
  CheckKeyLength(length, kMaxKeyLength);
  layout_ = NtxNewLayout(length);
  keyLength_ = length;
  decimals_ = std::max(decimals, 0);
  entryLength_ = layout_.itemSize;
  entriesPerBranch_ = 2 * layout_.maxItems + 1;
  headerValid_ = true;
}

bool XBobjNTXTag::DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                            const AnsiString& forExpression) {
  PrepareDefinition(keyExpression, unique, ascending, forExpression);
  DiscardPages();
  std::memset(rawHeader_, 0, sizeof rawHeader_);
  ntx_->WriteBlock(0, rawHeader_, kNtxPageSize);
  if (counter_ == 0) counter_ = 1;
  XBobjIndexTable* table = ntx_->Table();
  if (!table || table->IndexRecordCount() == 0) {
    rootPosition_ = WriteNewNode(NtxNode{});
    WriteHeader();
  } else {
    BuildTag();
  }
  return true;
}

int32_t XBobjNTXTag::RootPage() {
  if (!headerValid_) Corrupt();
  return rootPosition_;
}

void XBobjNTXTag::ReadHeader() {
  headerValid_ = false;
  uint8_t h[kNtxPageSize];
  if (!ntx_->PositionInside(0, kNtxPageSize) || !ntx_->ReadBlock(0, h, kNtxPageSize)) return;
  uint16_t signature = GetLe16(h);
  if ((signature & ~kSignatureFlags) != 6) return;
  NtxLayout l;
  l.itemSize = GetLe16(h + 12);
  l.keyLength = GetLe16(h + 14);
  l.maxItems = GetLe16(h + 18);
  l.halfItems = GetLe16(h + 20);
  int decimals = GetLe16(h + 16);
  if (!NtxLayoutValid(l) || (decimals > 0 && decimals >= l.keyLength)) return;
  uint32_t root = GetLe32(h + 4);
  if (!PagePosition(root) || !ntx_->PositionInside(root, kNtxPageSize)) return;
  const char* keyText = reinterpret_cast<const char*>(h + 22);
  std::size_t keySize = strnlen(keyText, 256);
  const char* forText = reinterpret_cast<const char*>(h + 282);
  std::size_t forSize = strnlen(forText, 742);
  if (keySize == 256 || forSize == 742) return;
  std::memcpy(rawHeader_, h, sizeof h);
  layout_ = l;
  decimals_ = decimals;
  counter_ = GetLe16(h + 2);
  rootPosition_ = static_cast<int32_t>(root);
  keyLength_ = l.keyLength;
  entryLength_ = l.itemSize;
  entriesPerBranch_ = 2 * l.maxItems + 1;
  unique_ = h[278] != 0;
  ascending_ = h[279] == 0 && h[280] == 0;
  keysDescending_ = !ascending_;
  keyExpression_.assign(keyText, keySize);
  forExpression_.assign(forText, forSize);
  hasFor_ = !forExpression_.empty();
  headerValid_ = true;
  CompileKey();
  CompileFor();
  // Every key is a text; the expression tells how values become texts.
  keyType_ = EvaluatedKeyType();
  headerChanged_ = false;
}

void XBobjNTXTag::RefreshHeader() {
  DiscardPages();
  uint8_t h[kNtxPageSize];
  if (!ntx_->PositionInside(0, kNtxPageSize) || !ntx_->ReadBlock(0, h, kNtxPageSize)) {
    headerValid_ = false;
    return;
  }
  uint32_t root = GetLe32(h + 4);
  if (!PagePosition(root) || !ntx_->PositionInside(root, kNtxPageSize) ||
      GetLe16(h + 14) != layout_.keyLength || GetLe16(h + 12) != layout_.itemSize ||
      GetLe16(h + 18) != layout_.maxItems) {
    headerValid_ = false;
    return;
  }
  std::memcpy(rawHeader_, h, sizeof h);
  rootPosition_ = static_cast<int32_t>(root);
  counter_ = GetLe16(h + 2);
  headerChanged_ = false;
}

void XBobjNTXTag::WriteHeader() {
  if (keyExpression_.size() > static_cast<std::size_t>(kNtxKeyExpressionLimit) ||
      forExpression_.size() > static_cast<std::size_t>(kNtxForExpressionLimit))
    XbRaise(xbmIndexExpressionTooLong, tagName_);
  uint8_t h[kNtxPageSize];
  std::memcpy(h, rawHeader_, sizeof h);
  uint16_t signature = GetLe16(h);
  if ((signature & ~kSignatureFlags) != 6) signature = 6;
  signature = static_cast<uint16_t>((signature & ~1u) | (hasFor_ ? 1u : 0u));
  PutLe16(h, signature);
  PutLe16(h + 2, counter_);
  PutLe32(h + 4, static_cast<uint32_t>(rootPosition_));
  PutLe16(h + 12, static_cast<uint32_t>(layout_.itemSize));
  PutLe16(h + 14, static_cast<uint32_t>(layout_.keyLength));
  PutLe16(h + 16, static_cast<uint32_t>(decimals_));
  PutLe16(h + 18, static_cast<uint32_t>(layout_.maxItems));
  PutLe16(h + 20, static_cast<uint32_t>(layout_.halfItems));
  std::memset(h + 22, 0, 256);
  std::memcpy(h + 22, keyExpression_.data(), keyExpression_.size());
  h[278] = unique_ ? 1 : 0;
  h[279] = h[280] = ascending_ ? 0 : 1;
  std::memset(h + 282, 0, 742);
  std::memcpy(h + 282, forExpression_.data(), forExpression_.size());
  ntx_->WriteBlock(0, h, kNtxPageSize);
  std::memcpy(rawHeader_, h, sizeof h);
  headerChanged_ = false;
}

// ---------------------------------------------------------------------------
// XBobjNTXTag: pages

void XBobjNTXTag::ReadNode(int32_t position, NtxNode& node) {
  if (!headerValid_) Corrupt();
  if (!PagePosition(position) || !ntx_->PositionInside(position, kNtxPageSize)) Corrupt();
  uint8_t page[kNtxPageSize];
  if (!ntx_->ReadBlock(position, page, kNtxPageSize)) Corrupt();
  NtxDecodePage(page, layout_, ntx_->FileName(), node);
  for (int32_t child : node.children)
    if (child == position || !ntx_->PositionInside(child, kNtxPageSize)) Corrupt();
}

void XBobjNTXTag::WriteNode(int32_t position, const NtxNode& node) {
  uint8_t page[kNtxPageSize];
  if (!NtxEncodePage(node, layout_, page)) Corrupt();
  ntx_->WriteBlock(position, page, kNtxPageSize);
}

int32_t XBobjNTXTag::WriteNewNode(const NtxNode& node) {
  int32_t position = ntx_->NewPage();
  if (!PagePosition(position)) Corrupt();
  WriteNode(position, node);
  return position;
}

int32_t XBobjNTXTag::WriteNewPage(const uint8_t* page, XBobjPageBatch* batch) {
  int32_t position = ntx_->NewPage();
  if (!PagePosition(position)) Corrupt();
  batch->Write(position, page, kNtxPageSize);
  return position;
}

void XBobjNTXTag::SetHeldText(XBobjIndexKeyData& entry, const uint8_t* key) const {
  std::string_view held = HeldText(key, layout_.keyLength);
  // Other programs write an empty date as blanks.
  entry.SetText(held.empty() && keyType_ == 'D' ? std::string_view("00000000") : held);
}

int XBobjNTXTag::ReadPage(int32_t position, XBobjIndexKey* page) {
  if (position <= 0) Corrupt();
  int offset = position % kNtxPageSize;
  int32_t owner = position - offset;
  if (!headerValid_) Corrupt();
  if (!PagePosition(owner) || !ntx_->PositionInside(owner, kNtxPageSize)) Corrupt();
  uint8_t data[kNtxPageSize];
  if (!ntx_->ReadBlock(owner, data, kNtxPageSize)) Corrupt();
  if (offset != 0) {
    // An item page: the one key of a branch item.
    int wanted = offset - 1;
    int at = 0;
    bool branch = DecodeItems(data, layout_, ntx_->FileName(),
                              [&](bool, const uint8_t* key, int32_t record, int32_t) {
                                if (key && at++ == wanted) {
                                  XBobjIndexKeyData* entry = page->ReadEntry();
                                  SetHeldText(*entry, key);
                                  entry->RecordNumber = entry->EntryTag = record;
                                }
                              });
    if (!branch || page->Count() != 1) Corrupt();
    page->PageKind = ipkLeaf;
    return 1;
  }
  // Entries go straight into the page: every seek reads pages. In a
  // branch each key separates its left subtree (whose keys are not
  // greater) from its own item page; the rightmost child takes everything
  // after.
  int item = 0;
  // A branch item gives two entries, and its last child one more. Only a
  // hint: count and items are checked while decoding.
  {
    const int count = std::min<int>(GetLe16(data), kNtxPageSize);
    const int first = GetLe16(data + 2);
    const bool branchHint = first + 4 <= kNtxPageSize && GetLe32(data + first) != 0;
    page->ReserveEntries(branchHint ? 2 * count + 1 : count);
  }
  bool branch = DecodeItems(data, layout_, ntx_->FileName(),
                            [&](bool isBranch, const uint8_t* key, int32_t record, int32_t child) {
                              if (isBranch && (child == position || !ntx_->PositionInside(child, kNtxPageSize)))
                                Corrupt();
                              XBobjIndexKeyData* entry = page->ReadEntry();
                              if (!key) {
                                SetKeyAfterAll(*entry, true);
                                entry->RecordNumber = 0;
                                entry->EntryTag = child;
                                return;
                              }
                              SetHeldText(*entry, key);
                              entry->RecordNumber = record;
                              entry->EntryTag = isBranch ? child : record;
                              if (!isBranch) return;
                              XBobjIndexKeyData* self = page->ReadEntry();
                              self->AssignEntry(*entry);
                              self->EntryTag = position + 1 + item++;
                            });
  page->PageKind = branch ? ipkBranchRead : ipkLeaf;
  return 1;
}

int XBobjNTXTag::WritePage(XBobjIndexKey*) { Corrupt(); }

// ---------------------------------------------------------------------------
// XBobjNTXTag: the B-tree

void XBobjNTXTag::PushStep(Path& path, int32_t position, int index) {
  if (path.size() >= static_cast<std::size_t>(kIndexMaxDepth)) Corrupt();
  for (const Step& s : path)
    if (s.position == position) Corrupt();  // a child pointing back up
  Step step;
  step.position = position;
  step.index = index;
  ReadNode(position, step.node);
  // All leaves lie at one depth: a leaf beside branches is damage.
  path.push_back(std::move(step));
}

namespace {

// Drops the steps that have no key after their position; false when none
// is left (the end of the tree).
template <class PathT>
bool Settle(PathT& path) {
  while (!path.empty() && path.back().index >= static_cast<int>(path.back().node.keys.size())) path.pop_back();
  return !path.empty();
}

}  // namespace

void XBobjNTXTag::Descend(const std::string& held, bool afterEqual, Path& path) {
  path.clear();
  int32_t position = RootPage();
  for (;;) {
    PushStep(path, position, 0);
    Step& s = path.back();
    int lo = 0;
    int hi = static_cast<int>(s.node.keys.size());
    while (lo < hi) {
      int mid = lo + (hi - lo) / 2;
      int c = CompareHeld(HeldKey(s.node.keys[static_cast<std::size_t>(mid)].bytes), held);
      if (c < 0 || (afterEqual && c == 0))
        lo = mid + 1;
      else
        hi = mid;
    }
    s.index = lo;
    if (s.node.IsLeaf()) break;
    position = s.node.children[static_cast<std::size_t>(lo)];
  }
}

bool XBobjNTXTag::LowerBound(const std::string& held, Path& path) {
  Descend(held, false, path);
  return Settle(path);
}

bool XBobjNTXTag::NextKey(Path& path) {
  if (path.empty()) return false;
  std::size_t at = path.size() - 1;
  ++path[at].index;
  if (!path[at].node.IsLeaf()) {
    // The first key of the subtree right of the current one.
    int32_t position = path[at].node.children[static_cast<std::size_t>(path[at].index)];
    for (;;) {
      PushStep(path, position, 0);
      if (path.back().node.IsLeaf()) break;
      position = path.back().node.children[0];
    }
  }
  return Settle(path);
}

bool XBobjNTXTag::FindEntry(const std::string& held, int32_t record, Path& path) {
  if (!LowerBound(held, path)) return false;
  for (;;) {
    const Step& s = path.back();
    const NtxKey& key = s.node.keys[static_cast<std::size_t>(s.index)];
    if (CompareHeld(HeldKey(key.bytes), held) != 0) return false;
    if (key.record == record) return true;
    if (!NextKey(path)) return false;
  }
}

std::vector<std::pair<std::string, int32_t>> XBobjNTXTag::InOrder(std::size_t bound) {
  std::vector<std::pair<std::string, int32_t>> out;
  Path path;
  int32_t position = RootPage();
  for (;;) {
    PushStep(path, position, 0);
    if (path.back().node.IsLeaf()) break;
    position = path.back().node.children[0];
  }
  bool more = Settle(path);
  while (more && out.size() < bound) {
    const Step& s = path.back();
    const NtxKey& key = s.node.keys[static_cast<std::size_t>(s.index)];
    out.push_back({HeldKey(key.bytes), key.record});
    more = NextKey(path);
  }
  return out;
}

void XBobjNTXTag::InsertEntry(const NtxKey& key) {
  // Down to the leaf, after every key equal to the new one.
  Path path;
  Descend(HeldKey(key.bytes), true, path);
  Step& leaf = path.back();
  leaf.node.keys.insert(leaf.node.keys.begin() + leaf.index, key);
  // A full page splits around its middle key, which moves up.
  NtxKey up;
  int32_t right = 0;
  bool carry = false;
  for (std::size_t level = path.size(); level-- > 0;) {
    Step& s = path[level];
    if (carry) {
      s.node.keys.insert(s.node.keys.begin() + s.index, up);
      s.node.children.insert(s.node.children.begin() + s.index + 1, right);
    }
    if (static_cast<int>(s.node.keys.size()) <= layout_.maxItems) {
      WriteNode(s.position, s.node);
      carry = false;
      break;
    }
    std::size_t mid = s.node.keys.size() / 2;
    NtxNode other;
    other.keys.assign(s.node.keys.begin() + static_cast<std::ptrdiff_t>(mid) + 1, s.node.keys.end());
    if (!s.node.IsLeaf())
      other.children.assign(s.node.children.begin() + static_cast<std::ptrdiff_t>(mid) + 1, s.node.children.end());
    up = s.node.keys[mid];
    s.node.keys.resize(mid);
    if (!s.node.IsLeaf()) s.node.children.resize(mid + 1);
    right = WriteNewNode(other);
    WriteNode(s.position, s.node);
    carry = true;
  }
  if (carry) {
    NtxNode root;
    root.keys.push_back(up);
    root.children = {path[0].position, right};
    rootPosition_ = WriteNewNode(root);
    WriteHeader();
  }
}

void XBobjNTXTag::DeleteAt(Path& path) {
  std::size_t level = path.size() - 1;
  if (path[level].node.IsLeaf()) {
    Step& s = path[level];
    s.node.keys.erase(s.node.keys.begin() + s.index);
    WriteNode(s.position, s.node);
    if (s.node.keys.empty() && level > 0) FixUnderflow(path, level);
    return;
  }
  // A branch key gives way to its in-order predecessor, the last key of
  // the subtree left of it.
  std::size_t i = static_cast<std::size_t>(path[level].index);
  int32_t position = path[level].node.children[i];
  for (;;) {
    PushStep(path, position, 0);
    Step& s = path.back();
    if (s.node.IsLeaf()) {
      s.index = static_cast<int>(s.node.keys.size()) - 1;
      break;
    }
    s.index = static_cast<int>(s.node.children.size()) - 1;
    position = s.node.children.back();
  }
  Step& leaf = path.back();
  if (leaf.node.keys.empty()) Corrupt();
  path[level].node.keys[i] = leaf.node.keys.back();
  leaf.node.keys.pop_back();
  WriteNode(leaf.position, leaf.node);
  WriteNode(path[level].position, path[level].node);
  if (leaf.node.keys.empty()) FixUnderflow(path, path.size() - 1);
}

void XBobjNTXTag::FixUnderflow(Path& path, std::size_t level) {
  while (level > 0) {
    Step& x = path[level];
    if (!x.node.keys.empty()) return;
    Step& p = path[level - 1];
    std::size_t j = static_cast<std::size_t>(p.index);
    bool branch = !x.node.IsLeaf();
    auto readSibling = [&](int32_t position, NtxNode& node) {
      for (const Step& s : path)
        if (s.position == position) Corrupt();
      ReadNode(position, node);
      if (node.IsLeaf() == branch || node.keys.empty()) Corrupt();
    };
    NtxNode left, right;
    int32_t leftPosition = 0, rightPosition = 0;
    if (j > 0) {
      leftPosition = p.node.children[j - 1];
      readSibling(leftPosition, left);
      if (left.keys.size() >= 2) {
        // The parent's key comes down, the left neighbour's last goes up.
        x.node.keys.insert(x.node.keys.begin(), p.node.keys[j - 1]);
        if (branch) {
          x.node.children.insert(x.node.children.begin(), left.children.back());
          left.children.pop_back();
        }
        p.node.keys[j - 1] = left.keys.back();
        left.keys.pop_back();
        WriteNode(leftPosition, left);
        WriteNode(x.position, x.node);
        WriteNode(p.position, p.node);
        return;
      }
    }
    if (j < p.node.keys.size()) {
      rightPosition = p.node.children[j + 1];
      readSibling(rightPosition, right);
      if (right.keys.size() >= 2) {
        x.node.keys.push_back(p.node.keys[j]);
        if (branch) {
          x.node.children.push_back(right.children.front());
          right.children.erase(right.children.begin());
        }
        p.node.keys[j] = right.keys.front();
        right.keys.erase(right.keys.begin());
        WriteNode(rightPosition, right);
        WriteNode(x.position, x.node);
        WriteNode(p.position, p.node);
        return;
      }
    }
    // Merged with a neighbour of one key through the parent's key.
    if (j > 0) {
      left.keys.push_back(p.node.keys[j - 1]);
      left.children.insert(left.children.end(), x.node.children.begin(), x.node.children.end());
      p.node.keys.erase(p.node.keys.begin() + static_cast<std::ptrdiff_t>(j) - 1);
      p.node.children.erase(p.node.children.begin() + static_cast<std::ptrdiff_t>(j));
      p.index = static_cast<int>(j) - 1;
      WriteNode(leftPosition, left);
    } else if (j < p.node.keys.size()) {
      x.node.keys.push_back(p.node.keys[j]);
      x.node.keys.insert(x.node.keys.end(), right.keys.begin(), right.keys.end());
      x.node.children.insert(x.node.children.end(), right.children.begin(), right.children.end());
      p.node.keys.erase(p.node.keys.begin() + static_cast<std::ptrdiff_t>(j));
      p.node.children.erase(p.node.children.begin() + static_cast<std::ptrdiff_t>(j) + 1);
      WriteNode(x.position, x.node);
    } else {
      Corrupt();  // a parent without key above an empty page
    }
    WriteNode(p.position, p.node);
    path.resize(level);
    --level;
    if (level == 0 && path[0].node.keys.empty() && !path[0].node.IsLeaf()) {
      // The root lost its last key: its only child takes its place.
      rootPosition_ = path[0].node.children[0];
      WriteHeader();
      return;
    }
  }
}

void XBobjNTXTag::RepairRightEdge() {
  for (int round = 0; round < 4 * kIndexMaxDepth; ++round) {
    Path path;
    int32_t position = rootPosition_;
    for (;;) {
      PushStep(path, position, 0);
      Step& s = path.back();
      if (s.node.IsLeaf()) {
        s.index = static_cast<int>(s.node.keys.size());
        break;
      }
      s.index = static_cast<int>(s.node.children.size()) - 1;
      position = s.node.children.back();
    }
    if (!path[0].node.IsLeaf() && path[0].node.keys.empty()) {
      rootPosition_ = path[0].node.children[0];
      continue;
    }
    std::size_t level = 1;
    while (level < path.size() && !path[level].node.keys.empty()) ++level;
    if (level == path.size()) return;
    FixUnderflow(path, level);
  }
  Corrupt();
}

bool XBobjNTXTag::InsertStored(const TxbVariant& stored, int32_t record) {
  NtxKey key{DiskBytes(stored), record};
  if (unique_) {
    Path path;
    std::string held = HeldKey(key.bytes);
    if (LowerBound(held, path)) {
      const Step& s = path.back();
      if (CompareHeld(HeldKey(s.node.keys[static_cast<std::size_t>(s.index)].bytes), held) == 0) return false;
    }
  }
  InsertEntry(key);
  return true;
}

bool XBobjNTXTag::InsertKey(XBobjIndexKeyData& key) {
  // The path would not see the change (pages kept in the file's cache go
  // stale by the writes themselves).
  ReleasePath();
  XBobjIndexKeyData stored;
  stored.AssignEntry(key);
  KeyToStoredForm(stored, true);
  return InsertStored(stored, key.RecordNumber);
}

bool XBobjNTXTag::UpdateForRecord(int32_t recordNumber, bool appended) {
  if (!RecordChangeMayMatter(appended)) return false;
  ReleasePath();
  bool forHolds = hasFor_ ? EvaluateFor() : true;
  XBobjIndexKeyData newKey;
  EvaluateKey(newKey);
  KeyToStoredForm(newKey, true);
  if (appended) return forHolds && InsertStored(newKey, recordNumber);
  XBobjIndexKeyData oldKey;
  EvaluateSavedKey(oldKey);
  KeyToStoredForm(oldKey, true);
  std::string oldHeld = HeldKey(DiskBytes(oldKey));
  std::string newHeld = HeldKey(DiskBytes(newKey));
  Path path;
  bool found = FindEntry(oldHeld, recordNumber, path);
  bool differ = oldHeld != newHeld;
  bool changed = false;
  if ((differ || !forHolds) && found) {
    DeleteAt(path);
    changed = true;
  }
  if (forHolds && (differ || !found) && InsertStored(newKey, recordNumber)) changed = true;
  return changed;
}

void XBobjNTXTag::BuildTag() {
  DiscardPages();
  XBobjIndexTable* table = ntx_->Table();
  XBobjSortNTX sorter(this);
  int64_t added = SortRecordKeys(sorter);
  rootPosition_ = sorter.WriteTree(added);
  if (table) table->IndexStatusReport(0, 0, 0);
  WriteHeader();
}

// ---------------------------------------------------------------------------
// XBobjSortNTX

XBobjSortNTX::XBobjSortNTX(XBobjNTXTag* tag)
    : TxbSort(tag->KeyLength() + 1, CollationWeights, tag->Ascending(), tag->Unique()),
      tag_(tag),
      pages_(*tag->NtxFile()) {
  SetMemoryBound(kBuildMemoryBound);
}

void XBobjSortNTX::StartLevel(LevelPage& level) {
  NtxStartPage(tag_->Layout(), level.bytes.data());
  level.count = 0;
}

int32_t XBobjSortNTX::WriteLevel(LevelPage& level) {
  PutLe16(level.bytes.data(), static_cast<uint32_t>(level.count));
  return tag_->WriteNewPage(level.bytes.data(), &pages_);
}

void XBobjSortNTX::Add(std::size_t level, const uint8_t* key, int32_t record, int32_t child) {
  if (level >= static_cast<std::size_t>(kIndexMaxDepth)) tag_->Corrupt();
  while (levels_.size() <= level) StartLevel(levels_.emplace_back());
  LevelPage& page = levels_[level];
  const NtxLayout& layout = tag_->Layout();
  uint8_t* item = NtxPageItem(layout, page.bytes.data(), page.count);
  if (level > 0) PutLe32(item, static_cast<uint32_t>(child));
  if (page.count < perPage_) {
    PutLe32(item + 4, static_cast<uint32_t>(record));
    std::memcpy(item + 8, key, static_cast<std::size_t>(layout.keyLength));
    ++page.count;
    return;
  }
  // The page is complete (a branch with its rightmost child): the key
  // follows it one level up.
  int32_t position = WriteLevel(page);
  StartLevel(page);
  Add(level + 1, key, record, position);
}

int32_t XBobjSortNTX::WriteTree(int64_t added) {
  int max = tag_->Layout().maxItems;
  if (added > 0) {
    int64_t pages = added / max + 1;
    perPage_ = static_cast<int>(std::clamp<int64_t>((added + pages - 1) / pages, 1, max));
  }
  // A descending sorter gives equal keys in falling record order; the tree
  // keeps them in the order they were inserted, as other programs do.
  bool reverseRuns = !tag_->Ascending() && !tag_->Unique();
  std::vector<NtxKey> run;
  std::string runHeld;
  auto flush = [&]() {
    for (auto it = run.rbegin(); it != run.rend(); ++it)
      Add(0, reinterpret_cast<const uint8_t*>(it->bytes.data()), it->record, 0);
    run.clear();
  };
  XBobjIndexTable* table = tag_->NtxFile()->Table();
  const std::size_t keyLength = static_cast<std::size_t>(tag_->Layout().keyLength);
  uint8_t type;
  const uint8_t* bytes;
  int length;
  int32_t record;
  int32_t written = 0;
  TxbVariant value(0);
  std::string other;                        // a key the sorter holds as no text
  std::vector<uint8_t> padded(keyLength);  // a shorter text with its blanks
  // Keys come from the sorter as the texts they were added as; the disk
  // form pads them to the key length.
  while (NextBytes(type, bytes, length, record)) {
    const uint8_t* key = bytes;
    const auto given = static_cast<std::size_t>(length);
    if (type != xbsText) {
      KeyValue(type, bytes, length, value);
      other = tag_->DiskBytes(value);
      key = reinterpret_cast<const uint8_t*>(other.data());
    } else if (given < keyLength) {
      std::memcpy(padded.data(), bytes, given);
      std::memset(padded.data() + given, ' ', keyLength - given);
      key = padded.data();
    }
    if (reverseRuns) {
      std::string disk(reinterpret_cast<const char*>(key), keyLength);
      std::string held = tag_->HeldKey(disk);
      if (!run.empty() && tag_->CompareHeld(held, runHeld) != 0) flush();
      if (run.empty()) runHeld = held;
      run.push_back(NtxKey{std::move(disk), record});
    } else {
      Add(0, key, record, 0);
    }
    ++written;
    if (table) table->IndexStatusReport(2, written, 0);
  }
  flush();
  int32_t child = 0;
  if (levels_.empty()) {
    LevelPage empty;
    StartLevel(empty);
    child = WriteLevel(empty);
    pages_.Flush();
    return child;
  }
  for (std::size_t level = 0; level < levels_.size(); ++level) {
    LevelPage& page = levels_[level];
    if (level > 0) PutLe32(NtxPageItem(tag_->Layout(), page.bytes.data(), page.count), static_cast<uint32_t>(child));
    child = WriteLevel(page);
  }
  pages_.Flush();
  tag_->rootPosition_ = child;
  tag_->RepairRightEdge();
  return tag_->rootPosition_;
}

// ---------------------------------------------------------------------------
// XBobjNTXFile

XBobjNTXFile::XBobjNTXFile(XBobjIndexTable* table, const AnsiString& name, bool overwrite, bool create,
                           unsigned mode, unsigned share)
    : XBobjIndexFile(table) {
  SetPageAllocation(kNtxPageSize, kMaxPosition);
  if (!OpenDiskFile(table, name, overwrite, create, mode, share, ".ntx")) XbRaise(xbmFileNotFound, name);
  int64_t size = RefreshFileSize();
  // An empty file is a file being made; one that should already hold an
  // index does not.
  if (size == 0) {
    opened_ = create;
    return;
  }
  auto tag = std::make_unique<XBobjNTXTag>(this, BaseName(disk_->FileName()));
  tag->ReadHeader();
  if (!tag->HeaderValid()) return;
  Tags().Add(tag.release());
  opened_ = true;
  ResetAllocation();
  SyncWithDisk();
}

XBobjNTXFile::~XBobjNTXFile() {
  ReleaseUnwritten();
  Tags().Clear();
}

XBobjNTXTag* XBobjNTXFile::Tag() const {
  return TagCount() ? static_cast<XBobjNTXTag*>(TagAt(0)) : nullptr;
}

bool XBobjNTXFile::CreateTag(const AnsiString&, const AnsiString& keyExpression, bool unique, bool ascending,
                             const AnsiString& forExpression) {
  if (!opened_) Corrupt();
  auto tag = std::make_unique<XBobjNTXTag>(this, BaseName(disk_->FileName()));
  // Everything that can be refused is refused before the file changes.
  tag->PrepareDefinition(keyExpression, unique, ascending, forExpression);
  ChangeUnderIndexLock([&] {
    // The header takes the first page, the tree follows it.
    EmptyForNewTag();
    tag->SetChangeCounter(1);
    tag->DefineTag(keyExpression, unique, ascending, forExpression);
    Tags().Add(tag.release());
    SyncWithDisk();
  });
  return true;
}

int32_t XBobjNTXFile::NewPage() { return TakeNextFree(kNtxPageSize); }

int32_t XBobjNTXFile::ResetAllocation() {
  int64_t size = RefreshFileSize();
  // Another program may have appended pages (or left a ragged end).
  size = (size + kNtxPageSize - 1) / kNtxPageSize * kNtxPageSize;
  nextFree_ = std::max<int64_t>(nextFree_, size);
  // A file already at the format's limit leaves nothing to allocate: the
  // next page is refused instead of reusing one.
  return static_cast<int32_t>(std::min<int64_t>(nextFree_, 0x7FFFFFFF));
}

void XBobjNTXFile::ZapLocked() {
  XBobjNTXTag* tag = Tag();
  tag->DiscardPages();
  // The emptied (or rebuilt) file counts on from the value on disk: a
  // fresh 1 would look unchanged to a reader that last saw 1, and it would
  // go on reading the pages it kept of the old tree.
  uint16_t counter = ReadDiskCounter();
  counter = counter >= 0x7FFF ? 1 : static_cast<uint16_t>(counter + 1);
  TruncateDisk(2 * kNtxPageSize);
  knownSize_ = 2 * kNtxPageSize;
  nextFree_ = 2 * kNtxPageSize;
  tag->SetRootPosition(kNtxPageSize);
  tag->SetChangeCounter(counter);
  uint8_t page[kNtxPageSize];
  NtxEncodePage(NtxNode{}, tag->Layout(), page);
  WriteBlock(kNtxPageSize, page, kNtxPageSize);
  tag->WriteHeader();
  SyncWithDisk();
}

void XBobjNTXFile::Zap() {
  if (!opened_ || !Tag()) return;
  if (!Tag()->HeaderValid()) Corrupt();
  ChangeUnderWholeFileLock([this] { ZapLocked(); });
}

void XBobjNTXFile::Reindex() {
  if (!opened_ || !Tag()) return;
  XBobjNTXTag* tag = Tag();
  if (!tag->HeaderValid()) Corrupt();
  ChangeUnderWholeFileLock([this, tag] {
    ZapLocked();
    // The tree is built anew over the empty root's page; the definition
    // (and the page layout of files of other programs) stays as it is.
    if (table_ && table_->IndexRecordCount() > 0) {
      nextFree_ = kNtxPageSize;
      tag->BuildTag();
    }
    SyncWithDisk();
  });
}

uint16_t XBobjNTXFile::ReadDiskCounter() {
  uint8_t block[512];
  if (!ReadBlockFromDisk(0, block, 512)) Corrupt();
  return GetLe16(block + 2);
}

void XBobjNTXFile::BumpCounter() {
  // Counted on the value on disk (under the index lock), so two programs
  // never write the same value for different changes.
  XBobjNTXTag* tag = Tag();
  // Under our lock the disk holds the value LockTaken read or we wrote
  // since.
  uint16_t counter = disk_->Shared() && LockLevel() > 0 ? heldCounter_ : ReadDiskCounter();
  assert(counter == ReadDiskCounter());
  counter = counter >= 0x7FFF ? 1 : static_cast<uint16_t>(counter + 1);
  tag->SetChangeCounter(counter);
  tag->WriteHeader();
  heldCounter_ = syncCounter_ = counter;
}

bool XBobjNTXFile::RecordChanged(int32_t recordNumber, bool appended) {
  XBobjNTXTag* tag = Tag();
  if (!opened_ || !tag) return false;
  if (!tag->HeaderValid()) Corrupt();
  // Counted once the tree took the change (both under the index lock): a
  // tree found damaged on the way leaves the file as it was.
  bool changed = tag->UpdateForRecord(recordNumber, appended);
  BumpCounter();
  return changed;
}

bool XBobjNTXFile::ChangedByOtherUser() {
  if (!disk_ || !disk_->Shared() || !opened_ || !Tag() || !Tag()->HeaderValid()) return false;
  // Under our own lock LockTaken already compared the file with what it was
  // when we last released it.
  if (LockLevel() > 0) {
    bool refreshed = refreshedInLock_;
    refreshedInLock_ = false;
    return refreshed;
  }
  uint16_t counter = ReadDiskCounter();
  // The counter comes round to the same value after 0x7FFF changes; size
  // and modification time move with the writes all the same.
  int64_t size = RefreshFileSize();
  int64_t time = knownTime_;
  const bool asReleased = counter == releasedCounter_ && size == releasedSize_ && time == releasedTime_;
  SetCountedPagesValid(asReleased);
  if (counter == heldCounter_ && size == heldSize_ && time == heldTime_) return false;
  heldCounter_ = counter;
  heldSize_ = size;
  heldTime_ = time;
  if (counter != syncCounter_ || size != syncSize_ || time != syncTime_) {
    // The header is read from the disk, not from blocks held.
    SetCountedPagesValid(false);
    Tag()->RefreshHeader();
    SetCountedPagesValid(asReleased);
    syncCounter_ = counter;
    syncSize_ = size;
    syncTime_ = time;
  }
  return true;
}

void XBobjNTXFile::LockTaken() {
  refreshedInLock_ = false;
  if (!disk_->Shared() || !opened_ || !Tag() || !Tag()->HeaderValid()) return;
  uint16_t counter = ReadDiskCounter();
  // Not compared with what a look without the lock saw: that look may have
  // fallen between another writer's count and its pages.
  // LockIndexFile has just read size and time (ResetAllocation).
  refreshedInLock_ = counter != releasedCounter_ || knownSize_ != releasedSize_ || knownTime_ != releasedTime_;
  if (refreshedInLock_) {
    SetCountedPagesValid(false);
    Tag()->RefreshHeader();
  }
  // Nobody else writes while we hold the lock.
  SetCountedPagesValid(true);
  heldCounter_ = syncCounter_ = counter;
  heldSize_ = syncSize_ = knownSize_;
  heldTime_ = syncTime_ = knownTime_;
}

void XBobjNTXFile::LockReleasing() {
  refreshedInLock_ = false;
  if (Tag()) SyncWithDisk();
}

void XBobjNTXFile::SyncWithDisk() {
  heldCounter_ = syncCounter_ = releasedCounter_ = Tag()->ChangeCounter();
  heldSize_ = syncSize_ = releasedSize_ = RefreshFileSize();
  heldTime_ = syncTime_ = releasedTime_ = knownTime_;
  SetCountedPagesValid(true);
}
