// Index core: the cached page path, searches, moves, key maintenance and the
// index file's blocks and locks. The page layouts are the formats' concern;
// see index_core.h for the invariants kept here.
#include "dbase/index/index_core.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "dbase/base/byte_order.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/index/key_sort.h"
#include "dbase/table/scrambler.h"
#include "dbase/base/charset.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int kBlockSize = 512;
// Exclusive files: writes up to this size wait in the held blocks, larger
// ones (builds) go to the disk at once.
constexpr int32_t kWriteThroughBytes = 8192;
// Held blocks go to the disk in writes of at most this size.
constexpr int64_t kLongestHeldRun = int64_t{1} << 20;
constexpr int kReadAheadRecords = 64;
constexpr double kEmptyDateKey = 1e100;
// Above every number a key can hold.
constexpr double kNumberSentinel = 1.7e308;

bool SameValue(const TxbVariant& a, const TxbVariant& b) {
  if (a.Kind() != b.Kind() || a.Length() != b.Length()) return false;
  return a.Length() == 0 ||
         std::memcmp(a.Data(), b.Data(), static_cast<std::size_t>(a.Length())) == 0;
}

bool IsOpenBound(const TxbVariant* key) {
  return key == nullptr || key->IsEmpty() || (key->Kind() == xbvText && key->Length() == 0);
}

// Thrown by OpenChild when writing the child it leaves split a page of the
// path held above it: the path was written and freed, and the search or
// step that was under way starts again from the root.
struct PathReloaded {};

// A slot of slots from the free list, or a new one at the end.
template <class Slots>
int32_t TakeSlot(std::vector<int32_t>& free, Slots& slots) {
  if (free.empty()) {
    slots.emplace_back();
    return static_cast<int32_t>(slots.size() - 1);
  }
  const int32_t slot = free.back();
  free.pop_back();
  return slot;
}

// Use chains over slots whose items carry newer and older slot links (-1:
// none): a chain runs from its newest item to its oldest.
template <class Slots, class Chain>
void ChainUnlink(Slots& slots, Chain& chain, int32_t slot) {
  auto& item = slots[static_cast<std::size_t>(slot)];
  if (item.newer >= 0)
    slots[static_cast<std::size_t>(item.newer)].older = item.older;
  else
    chain.newest = item.older;
  if (item.older >= 0)
    slots[static_cast<std::size_t>(item.older)].newer = item.newer;
  else
    chain.oldest = item.newer;
  item.newer = item.older = -1;
  --chain.count;
}

template <class Slots, class Chain>
void ChainFront(Slots& slots, Chain& chain, int32_t slot) {
  auto& item = slots[static_cast<std::size_t>(slot)];
  item.newer = -1;
  item.older = chain.newest;
  if (chain.newest >= 0) slots[static_cast<std::size_t>(chain.newest)].newer = slot;
  chain.newest = slot;
  if (chain.oldest < 0) chain.oldest = slot;
  ++chain.count;
}

}  // namespace

// ---------------------------------------------------------------------------
// Key forms several formats share

double DateKeyDay(const TxbVariant& key) {
  bool day = key.Kind() == xbvDate || key.Kind() == xbvText;
  return day ? static_cast<double>(key.AsDate()) : key.AsNumber();
}

double DayNumberKey(const TxbVariant& key) {
  double day = DateKeyDay(key);
  return day < 0.1 ? kEmptyDateKey : day;
}

std::string DoubleKeyBytes(double value) {
  std::string bytes(8, '\0');
  PutLeDouble(bytes.data(), value);
  return bytes;
}

double DoubleFromKeyBytes(const std::string& bytes) {
  uint8_t full[8] = {};
  std::memcpy(full, bytes.data(), std::min<std::size_t>(bytes.size(), 8));
  return GetLeDouble(full);
}

// ---------------------------------------------------------------------------
// XBobjDBFIndexTable

XBobjDBFIndexTable::XBobjDBFIndexTable(XBO_dBaseFld& table, const AnsiString& password)
    : table_(table), readPassword_(password), writePassword_(password) {}

XBobjDBFIndexTable::~XBobjDBFIndexTable() { Redirect(nullptr); }

void XBobjDBFIndexTable::SetPasswords(const AnsiString& readPassword,
                                      const AnsiString& writePassword) {
  readPassword_ = readPassword;
  writePassword_ = writePassword;
  blockCount_ = 0;
}

void XBobjDBFIndexTable::Redirect(char* buffer) {
  if (buffer) {
    char* previous = table_.SetRecordBuffer(buffer);
    if (!redirected_) previous_ = previous;
    redirected_ = true;
  } else if (redirected_) {
    table_.SetRecordBuffer(previous_);
    redirected_ = false;
  }
}

int32_t XBobjDBFIndexTable::IndexRecordCount() { return table_.RecordCount(); }
int32_t XBobjDBFIndexTable::IndexCurrentRecord() { return table_.RecordNumber(); }
bool XBobjDBFIndexTable::IndexExactMatch() { return table_.ExactMatch(); }
bool XBobjDBFIndexTable::IndexKeepsSavedRecord() { return true; }
bool XBobjDBFIndexTable::IndexRecordModified() { return table_.RecordModified(); }

void XBobjDBFIndexTable::IndexUseSavedRecord(bool saved) {
  if (!saved) {
    Redirect(nullptr);
    return;
  }
  std::size_t length = static_cast<std::size_t>(table_.RecordLength());
  image_.assign(table_.SavedRecord(), table_.SavedRecord() + length);
  image_.push_back('\x1A');
  Redirect(image_.data());
}

void XBobjDBFIndexTable::IndexLoadRecord(int32_t n) {
  if (n <= 0) {
    Redirect(nullptr);
    blockCount_ = 0;
    return;
  }
  int32_t length = table_.RecordLength();
  if (n < blockFirst_ || n >= blockFirst_ + blockCount_) {
    block_.resize(static_cast<std::size_t>(length) * kReadAheadRecords);
    int64_t position = table_.HeaderLength() + int64_t{n - 1} * length;
    int32_t got = table_.ReadAt(position, block_.data(), static_cast<int32_t>(block_.size()));
    blockFirst_ = n;
    blockCount_ = got / length;
    if (blockCount_ == 0) XbRaise(xbmRecordReadError, table_.FileName());
  }
  image_.resize(static_cast<std::size_t>(length) + 1);
  const char* source = block_.data() + static_cast<std::size_t>(n - blockFirst_) * length;
  ScrambleBytes(readPassword_, source, image_.data(), static_cast<std::size_t>(length), false);
  image_[static_cast<std::size_t>(length)] = '\x1A';
  Redirect(image_.data());
}

AnsiString XBobjDBFIndexTable::IndexReadPassword() { return readPassword_; }
AnsiString XBobjDBFIndexTable::IndexWritePassword() { return writePassword_; }
AnsiString XBobjDBFIndexTable::IndexTableFileName() { return table_.FileName(); }
TxbExpUserLink* XBobjDBFIndexTable::IndexExpressionLink() { return table_.ExpressionLink(); }

void XBobjDBFIndexTable::IndexStatusReport(int status, int current, int total) {
  table_.StatusReport(status, current, total);
}

void XBobjDBFIndexTable::IndexSetProductionFlag() { production_ = true; }

AnsiString XBobjDBFIndexTable::IndexTranslateName(const AnsiString& name) {
  return table_.TranslateOem() ? AnsiToOem(name) : name;
}

// ---------------------------------------------------------------------------
// Pages

void XBobjIndexKeyData::AssignEntry(const XBobjIndexKeyData& other) {
  Assign(&other);
  RecordNumber = other.RecordNumber;
  EntryTag = other.EntryTag;
}

namespace {

// An entry slot: the entry object, then its key bytes.
constexpr std::size_t kSlotHeader =
    (sizeof(XBobjIndexKeyData) + alignof(XBobjIndexKeyData) - 1) / alignof(XBobjIndexKeyData) *
    alignof(XBobjIndexKeyData);
// Bytes the allocator adds to a buffer of its own.
constexpr int64_t kAllocationOverhead = 16;
// A cached page's entry (its slot) and its place in the position map.
constexpr int64_t kCacheNodeBytes = 160;
// Packed page: kind, left, right, count; per entry record number, entry
// tag, value kind, value length, value bytes.
constexpr std::size_t kPackedHeader = 16;
constexpr std::size_t kPackedEntry = 11;

}  // namespace

XBobjIndexKey::XBobjIndexKey(XBobjIndexTag* tag) : Tag(tag) {}

int64_t XBobjIndexKey::OutgrownBytes(const XBobjIndexKeyData* entry) {
  const auto* slot = reinterpret_cast<const unsigned char*>(entry) + kSlotHeader;
  return entry->Data() != slot && entry->Capacity() > 0 ? entry->Capacity() + kAllocationOverhead : 0;
}

void XBobjIndexKey::FreeItem(XBobjIndexKeyData* entry) {
  spareOutgrown_ += OutgrownBytes(entry);
  spare_.push_back(entry);
}

XBobjIndexKey::~XBobjIndexKey() {
  Clear();  // the entries go to spare_
  for (XBobjIndexKeyData* entry : spare_) entry->~XBobjIndexKeyData();
}

void XBobjIndexKey::ReserveEntries(int n) {
  const int missing = n - static_cast<int>(spare_.size());
  if (missing <= 0) return;
  if (slotKeyBytes_ == 0) {
    // Room for the tag's keys; a longer value gets a buffer of its own.
    const int keyLength = Tag ? Tag->KeyLength() : 0;
    slotKeyBytes_ = (std::max(keyLength, 8) + 7) / 8 * 8;
  }
  const std::size_t slot = kSlotHeader + static_cast<std::size_t>(slotKeyBytes_);
  const auto count = static_cast<std::size_t>(missing);
  std::unique_ptr<unsigned char[]> block(new unsigned char[slot * count]);
  // The spare entries are handed out from the back: the block's first slot
  // goes first, so a page's entries follow each other in memory. Spare
  // entries left from before go after the block's.
  std::vector<XBobjIndexKeyData*> spare;
  spare.reserve(spare_.size() + count);
  spare.assign(spare_.begin(), spare_.end());
  for (std::size_t i = count; i-- > 0;) {
    unsigned char* at = block.get() + slot * i;
    spare.push_back(new (at) XBobjIndexKeyData(at + kSlotHeader, slotKeyBytes_));
  }
  spare_.swap(spare);
  entryBlocks_.push_back(std::move(block));
  entryBlockBytes_ += static_cast<int64_t>(slot * count) + kAllocationOverhead;
  entriesMade_ += missing;
}

XBobjIndexKeyData* XBobjIndexKey::NewEntry() {
  // Blocks double with the entries the page held, so a page object
  // allocates a few times over its life.
  if (spare_.empty()) ReserveEntries(std::clamp(entriesMade_, 8, 256));
  XBobjIndexKeyData* entry = spare_.back();
  spare_.pop_back();
  spareOutgrown_ -= OutgrownBytes(entry);
  return entry;
}

int64_t XBobjIndexKey::HeldBytes() const {
  int64_t bytes = static_cast<int64_t>(sizeof(XBobjIndexKey)) + entryBlockBytes_ +
                  static_cast<int64_t>(readBytes_.capacity() + packed_.capacity()) +
                  static_cast<int64_t>(entryBlocks_.capacity() + spare_.capacity() +
                                       static_cast<std::size_t>(Capacity())) *
                      static_cast<int64_t>(sizeof(void*));
  // Values that outgrew their slot. Those of the spare entries are counted
  // as the entries leave the page: the spare ones are not touched since,
  // and in a large cache they are cold.
  for (int i = 0; i < Count(); ++i) bytes += OutgrownBytes(Entry(i));
#ifndef NDEBUG
  int64_t spare = 0;
  for (const XBobjIndexKeyData* entry : spare_) spare += OutgrownBytes(entry);
  assert(spare == spareOutgrown_);
#endif
  return bytes + spareOutgrown_;
}

bool XBobjIndexKey::Pack() {
  std::size_t size = kPackedHeader;
  for (int i = 0; i < Count(); ++i) {
    const int32_t n = Entry(i)->Length();
    if (n > 0xFFFF) return false;
    size += kPackedEntry + static_cast<std::size_t>(n);
  }
  packed_.clear();
  packed_.shrink_to_fit();
  packed_.resize(size);
  unsigned char* p = packed_.data();
  auto put32 = [&p](int32_t v) {
    std::memcpy(p, &v, 4);
    p += 4;
  };
  put32(PageKind);
  put32(Left);
  put32(Right);
  put32(Count());
  for (int i = 0; i < Count(); ++i) {
    const XBobjIndexKeyData* e = Entry(i);
    put32(e->RecordNumber);
    put32(e->EntryTag);
    *p++ = static_cast<unsigned char>(e->Kind());
    const auto n = static_cast<uint16_t>(e->Length());
    std::memcpy(p, &n, 2);
    p += 2;
    if (n > 0) std::memcpy(p, e->Data(), n);
    p += n;
  }
  return true;
}

void XBobjIndexKey::Unpack() {
  // Made by Pack from a page of this program: trusted.
  const unsigned char* p = packed_.data();
  auto get32 = [&p]() {
    int32_t v;
    std::memcpy(&v, p, 4);
    p += 4;
    return v;
  };
  PageKind = get32();
  Left = get32();
  Right = get32();
  const int count = get32();
  ReserveEntries(count);
  for (int i = 0; i < count; ++i) {
    XBobjIndexKeyData* e = ReadEntry();
    e->RecordNumber = get32();
    e->EntryTag = get32();
    const auto kind = static_cast<TxbVariantKind>(*p++);
    uint16_t n;
    std::memcpy(&n, p, 2);
    p += 2;
    e->SetHeld(kind, p, n);
    p += n;
  }
}

XBobjIndexKeyData* XBobjIndexKey::InsertEntry(int i, const XBobjIndexKeyData& entry) {
  XBobjIndexKeyData* copy = NewEntry();
  copy->AssignEntry(entry);
  Insert(i, copy);
  if (Current >= 0 && i <= Current) ++Current;
  MarkDirty();
  return copy;
}

XBobjIndexKeyData* XBobjIndexKey::AddEntry(const XBobjIndexKeyData& entry) {
  XBobjIndexKeyData* copy = NewEntry();
  copy->AssignEntry(entry);
  Add(copy);
  pristine_ = false;
  return copy;
}

void XBobjIndexKey::DeleteEntry(int i) {
  Delete(i);
  if (i < Current) --Current;
  MarkDirty();
}

XBobjIndexKeyData* XBobjIndexKey::ReadEntry() {
  XBobjIndexKeyData* entry = NewEntry();
  Add(entry);
  return entry;
}

void XBobjIndexKey::DeleteFirst(int n) {
  for (int i = 0; i < n; ++i) Delete(0);
  Current = std::max(Current - n, Count() ? 0 : -1);
  pristine_ = false;
}

void XBobjIndexKey::ResetPage() {
  // Entries are kept for the next read of a page (no allocation per read).
  while (XBobjIndexKeyData* entry = ExtractLast()) FreeItem(entry);
  Left = -1;
  Right = -1;
  PageKind = ipkLeaf;
  Current = -1;
  dirty_ = false;
  split_ = false;
  pristine_ = false;
  fromCache_ = false;
  packed_.clear();
}

// ---------------------------------------------------------------------------
// XBobjIndexTag: format operations (base behaviour)

XBobjIndexTag::XBobjIndexTag(XBobjIndexFile* file, const AnsiString& name)
    : tagName_(name), file_(file), weights_(CollationWeights), lowKey_(0), highKey_(0) {}

XBobjIndexTag::~XBobjIndexTag() {
  if (file_) file_->DropCachedPages(this);
}

void XBobjIndexTag::KeyToStoredForm(TxbVariant&, bool) {}

bool XBobjIndexTag::DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                              const AnsiString& forExpression) {
  keyExpression_ = keyExpression;
  forExpression_ = forExpression;
  unique_ = unique;
  ascending_ = ascending;
  hasFor_ = !forExpression.empty();
  CompileKey();
  CompileFor();
  return false;
}

int32_t XBobjIndexTag::RootPage() { return rootPosition_; }
int XBobjIndexTag::ReadPage(int32_t, XBobjIndexKey*) { return 0; }
int XBobjIndexTag::WritePage(XBobjIndexKey*) { return 0; }
void XBobjIndexTag::ReadHeader() { headerChanged_ = false; }
void XBobjIndexTag::WriteHeader() { headerChanged_ = false; }

void XBobjIndexTag::CompileKey() {
  keyHandler_.reset();
  XBobjIndexTable* table = file_->Table();
  // A file opened without its table can be walked but not evaluated.
  if (keyExpression_.empty() || table == nullptr) return;
  keyHandler_ = std::make_unique<TxbExpHandler>(table->IndexExpressionLink(), false, keyExpression_);
}

void XBobjIndexTag::CompileFor() {
  forHandler_.reset();
  XBobjIndexTable* table = file_->Table();
  if (forExpression_.empty() || table == nullptr) return;
  forHandler_ = std::make_unique<TxbExpHandler>(table->IndexExpressionLink(), false, forExpression_);
}

bool XBobjIndexTag::EvaluateKey(TxbVariant& key) {
  if (!keyHandler_) return false;
  keyHandler_->EvaluateValue(key);
  return true;
}

bool XBobjIndexTag::EvaluateFor() {
  if (!forHandler_) return false;
  return forHandler_->EvaluateCondition();
}

void XBobjIndexTag::PageRemoved(XBobjIndexKey*) {}

bool XBobjIndexTag::AlternateStoredForm(const TxbVariant&, TxbVariant&) { return false; }

AnsiString XBobjIndexTag::KeyExpressionText() const {
  return keyHandler_ ? keyHandler_->ExpressionText() : AnsiString();
}

void XBobjIndexTag::Corrupt() const { file_->Corrupt(); }

// ---------------------------------------------------------------------------
// XBobjIndexTag: steps the formats share

char XBobjIndexTag::SampleKeyType(TxbVariant& value, int maxLength) {
  if (!EvaluateKey(value)) XbRaise(xbmSortKeyLength, maxLength, 0);
  switch (value.Kind()) {
    case xbvText:
      return 'C';
    case xbvNumber:
      return 'N';
    case xbvDate:
      return 'D';
    default:
      XbRaise(xbmVariantNotSortable);
  }
}

void XBobjIndexTag::CheckKeyLength(int length, int maxLength) {
  if (length < 1 || length > maxLength) XbRaise(xbmSortKeyLength, maxLength, length);
}

char XBobjIndexTag::EvaluatedKeyType() {
  TxbVariant value(0);
  if (!EvaluateKey(value)) return 'C';
  if (value.Kind() == xbvNumber) return 'N';
  if (value.Kind() == xbvDate) return 'D';
  return 'C';
}

void XBobjIndexTag::TextKeyForm(TxbVariant& key, bool trimmed) {
  if (key.Kind() != xbvText) key.SetText(key.AsText());
  if (trimmed) key.TrimText();
}

void XBobjIndexTag::CutTextKey(TxbVariant& key, int length, bool trimmed) {
  if (key.Length() <= length) return;
  key.SetText(std::string_view(reinterpret_cast<const char*>(key.Data()), static_cast<std::size_t>(length)));
  if (trimmed) key.TrimText();
}

void XBobjIndexTag::SetKeyAfterAll(XBobjIndexKeyData& entry, bool text) const {
  if (text)
    entry.SetText(keysDescending_ ? "" : "\xFF");
  else
    entry.SetNumber(keysDescending_ ? -kNumberSentinel : kNumberSentinel);
}

void XBobjIndexTag::AddSortKey(TxbSort& sorter, TxbVariant& key, int32_t recordNumber) {
  KeyToStoredForm(key, true);
  sorter.AddKey(key, recordNumber);
}

int64_t XBobjIndexTag::SortRecordKeys(TxbSort& sorter) {
  XBobjIndexTable* table = file_->Table();
  if (!table) return 0;
  struct RestoreRecord {
    XBobjIndexTable* table;
    ~RestoreRecord() { table->IndexLoadRecord(0); }
  } restore{table};
  int32_t count = table->IndexRecordCount();
  int64_t added = 0;
  table->IndexStatusReport(-1, 1, count);
  sorter.ExpectKeys(count);
  TxbVariant key(0);
  for (int32_t n = 1; n <= count; ++n) {
    table->IndexLoadRecord(n);
    if (!hasFor_ || EvaluateFor()) {
      EvaluateKey(key);
      AddSortKey(sorter, key, n);
      ++added;
    }
    table->IndexStatusReport(1, n, 0);
  }
  table->IndexStatusReport(0, 0, 0);
  table->IndexStatusReport(-1, 2, count);
  return added;
}

void XBobjIndexTag::TakeSortedKeys(TxbSort& sorter,
                                   const std::function<void(const TxbVariant& key, int32_t record)>& take) {
  XBobjIndexTable* table = file_->Table();
  TxbVariant key(0);
  int32_t record = 0;
  int32_t written = 0;
  while (sorter.NextKey(key, record)) {
    take(key, record);
    ++written;
    if (table) table->IndexStatusReport(2, written, 0);
  }
}

bool XBobjIndexTag::RecordChangeMayMatter(bool appended) const {
  XBobjIndexTable* table = file_->Table();
  if (!table || !table->IndexKeepsSavedRecord()) return false;
  // An appended record always gets its key: a new record that was left
  // unchanged is still a record of the table.
  return appended || hasFor_ || table->IndexRecordModified();
}

void XBobjIndexTag::EvaluateSavedKey(TxbVariant& key) {
  XBobjIndexTable* table = file_->Table();
  table->IndexUseSavedRecord(true);
  try {
    EvaluateKey(key);
  } catch (...) {
    table->IndexUseSavedRecord(false);
    throw;
  }
  table->IndexUseSavedRecord(false);
}

void XBobjIndexTag::SplitOff(XBobjIndexKey* page, int moved, int32_t position) {
  XBobjIndexKeyData separator;
  separator.AssignEntry(*page->Entry(moved - 1));
  InsertSeparator(page, separator, position);
  page->DeleteFirst(moved);
  // The separator of the new page stands just before the page's own entry.
  assert(page->Parent() && page->Parent()->Current > 0 &&
         page->Parent()->Entry(page->Parent()->Current - 1)->EntryTag == position &&
         page->Parent()->Entry(page->Parent()->Current)->EntryTag == page->Position);
}

void XBobjIndexTag::SplitWhileOverfull(XBobjIndexKey* page, int limit,
                                       const std::function<int32_t(int moved)>& writeFirst) {
  if (page->Count() <= limit) return;
  while (page->Count() > limit) {
    int moved = std::min(page->Count() - page->Count() / 2, limit);
    SplitOff(page, moved, writeFirst(moved));
  }
  WriteParentOfSplitPage(page);
}

void XBobjIndexTag::WriteParentOfSplitPage(XBobjIndexKey* page) {
  // The parent goes to disk before the shrunken page: a writer stopped in
  // between leaves the page as it was, whose first keys then lie at or
  // before the separator of the page split off it, which OpenChild
  // reports. The other order would leave the moved keys out of reach with
  // nothing to show for it.
  XBobjIndexKey* parent = page->Parent();
  if (parent == nullptr || !parent->dirty_) return;
  WritePageChecked(parent);
  // A new root is only found through the header.
  if (parent->Parent() == nullptr && headerChanged_) WriteHeader();
}

// ---------------------------------------------------------------------------
// The cached path

XBobjIndexKey* XBobjIndexTag::LeafPage() const {
  XBobjIndexKey* page = root_.get();
  while (page && page->Child()) page = page->Child();
  return page;
}

void XBobjIndexTag::DeleteChain(XBobjIndexKey* page) {
  if (page == nullptr) return;
  if (page == root_.get()) {
    RecycleChain(std::move(root_));
  } else {
    XBobjIndexKey* parent = page->parent_;
    assert(parent && parent->child_.get() == page);
    if (parent && parent->child_.get() == page) RecycleChain(std::move(parent->child_));
  }
}

void XBobjIndexTag::RecycleChain(PagePtr page, bool keep) {
  while (page) {
    PagePtr next = std::move(page->child_);
    page->parent_ = nullptr;
    if (keep) page = file_->KeepCachedPage(std::move(page));
    // A few page objects are kept for the next reads of this tag.
    if (page && sparePages_.size() < 4) {
      page->parent_ = nullptr;
      page->Position = 0;
      page->ResetPage();
      sparePages_.push_back(std::move(page));
    }
    page = std::move(next);
  }
}

XBobjIndexTag::PagePtr XBobjIndexTag::NewPageObject() {
  if (sparePages_.empty()) return std::make_unique<XBobjIndexKey>(this);
  PagePtr page = std::move(sparePages_.back());
  sparePages_.pop_back();
  return page;
}

XBobjIndexTag::PagePtr XBobjIndexTag::ReadOffPath(int32_t position) {
  if (PagePtr cached = file_->TakeCachedPage(this, position)) return cached;
  PagePtr page = NewPageObject();
  page->ResetPage();
  page->Position = position;
  file_->BeginPageRead();
  try {
    ReadPage(position, page.get());
  } catch (...) {
    file_->capturing_ = false;
    throw;
  }
  file_->EndPageRead(*page);
  return page;
}

void XBobjIndexTag::EnsureRoot() {
  if (root_) return;
  PagePtr page = ReadOffPath(RootPage());
  // A root branch without entries (another program emptied the tree) is an
  // empty tree: keys go into it as into an empty root leaf.
  if (!page->IsLeaf() && page->Count() == 0) {
    page->PageKind = ipkLeaf;
    page->pristine_ = false;
  }
  root_ = std::move(page);
}

void XBobjIndexTag::CheckPath() const {
#ifndef NDEBUG
  int depth = 0;
  for (const XBobjIndexKey* p = root_.get(); p; p = p->Child()) {
    assert(++depth <= kIndexMaxDepth);
    assert(p == root_.get() ? p->Parent() == nullptr : p->Parent() && p->Parent()->Child() == p);
    const XBobjIndexKey* child = p->Child();
    if (child == nullptr) continue;
    // Only branches have children, and a parent's current entry is its
    // open child's (a child that split is re-read before it is used).
    assert(!p->IsLeaf());
    assert(p->Current >= 0 && p->Current < p->Count());
    if (child->Split()) continue;
    const XBobjIndexKeyData* separator = p->Entry(p->Current);
    assert(separator->EntryTag == child->Position);
    // Its separator is not below the child's last key.
    const XBobjIndexKeyData* last = child->LastEntry();
    if (file_->KeysByRecord() && last)
      assert(CompareEntry(*separator, *last, last->RecordNumber, kIndexCompareExact, false) >= 0);
    (void)separator;
  }
#endif
}

void XBobjIndexTag::WritePageChecked(XBobjIndexKey* page) {
  if (page->Position == 0) {
    page->Position = file_->NewPage();
    if (page->Position <= 0) Corrupt();
  }
  WritePage(page);
  page->dirty_ = false;
  if (!page->split_ && WrittenPageReadsBackAsHeld()) {
    file_->NoteWrittenPage(*page);
#ifndef NDEBUG
    // The page must be what reading it back gives.
    if (page->pristine_) {
      XBobjIndexKey check(this);
      ReadPage(page->Position, &check);
      assert(check.Count() == page->Count() && check.IsLeaf() == page->IsLeaf() &&
             check.Left == page->Left && check.Right == page->Right);
      for (int i = 0; i < check.Count(); ++i) {
        const XBobjIndexKeyData* a = check.Entry(i);
        const XBobjIndexKeyData* b = page->Entry(i);
        assert(a->Kind() == b->Kind() && a->Length() == b->Length() &&
               (a->Length() == 0 ||
                std::memcmp(a->Data(), b->Data(), static_cast<std::size_t>(a->Length())) == 0) &&
               a->RecordNumber == b->RecordNumber && a->EntryTag == b->EntryTag);
        (void)a;
        (void)b;
      }
    }
#endif
  }
  if (page->Parent() == nullptr && page->Position != rootPosition_) {
    rootPosition_ = page->Position;
    headerChanged_ = true;
  }
}

void XBobjIndexTag::FreeChain(XBobjIndexKey* page) {
  std::vector<XBobjIndexKey*> chain;
  for (XBobjIndexKey* p = page; p; p = p->Child()) chain.push_back(p);
  ReserveRoomForWrites(page);
  // Bottom-up: a split sends separators into the parent, which is written
  // after it.
  for (std::size_t i = chain.size(); i > 0; --i)
    if (chain[i - 1]->dirty_) WritePageChecked(chain[i - 1]);
  DeleteChain(page);
}

void XBobjIndexTag::ReserveRoomForWrites(XBobjIndexKey* top) {
  // Every page of the chain may be new, split once and push a new root
  // above it: room for twice the chain and one more is asked for first.
  int depth = 0;
  bool dirty = false;
  for (XBobjIndexKey* p = top; p; p = p->Child()) {
    ++depth;
    dirty = dirty || p->dirty_;
  }
  for (XBobjIndexKey* p = top ? top->Parent() : nullptr; p; p = p->Parent()) ++depth;
  if (dirty) file_->ReserveRoom(2 * depth + 1);
}

void XBobjIndexTag::ResetPages() {
  changeKept_ = false;
  ReserveRoomForWrites(root_.get());
  // Upwards from the leaf; a root split puts a new parent above the old
  // root, and the walk goes on into it.
  for (XBobjIndexKey* p = LeafPage(); p; p = p->Parent())
    if (p->dirty_) WritePageChecked(p);
  RecycleChain(std::move(root_));
  if (headerChanged_) WriteHeader();
}

void XBobjIndexTag::WritePages() {
  if (!root_ || !WrittenPageReadsBackAsHeld()) {
    ResetPages();
    return;
  }
  changeKept_ = false;
  ReserveRoomForWrites(root_.get());
  XBobjIndexKey* leaf = LeafPage();
  for (XBobjIndexKey* p = leaf; p; p = p->Parent())
    if (p->dirty_) WritePageChecked(p);
  // A split moved entries between pages of the path and others: the path
  // is read again when next needed.
  if (PathSplit(leaf)) RecycleChain(std::move(root_));
  if (headerChanged_) WriteHeader();
}

void XBobjIndexTag::ReleasePath() {
  changeKept_ = false;
  RecycleChain(std::move(root_));
}

void XBobjIndexTag::DiscardPages() {
  changeKept_ = false;
  RecycleChain(std::move(root_), false);
  file_->DropCachedPages(this);
}

bool XBobjIndexTag::HasUnwrittenChanges() const {
  if (headerChanged_) return true;
  // Up from the leaf, like ResetPages: a root split puts a new parent above
  // the page root_ names.
  const XBobjIndexKey* leaf = root_.get();
  while (leaf && leaf->Child()) leaf = leaf->Child();
  for (const XBobjIndexKey* p = leaf; p; p = p->Parent())
    if (p->dirty_) return true;
  return false;
}

bool XBobjIndexTag::PathSplit(const XBobjIndexKey* page) const {
  for (const XBobjIndexKey* p = page; p; p = p->Parent())
    if (p->split_) return true;
  return false;
}

const XBobjIndexKeyData* XBobjIndexTag::LowerBound(const XBobjIndexKey* page) {
  // The separator in front of the page's current entry; for a first entry
  // the one in front of the nearest ancestor's entry that is not a first.
  for (const XBobjIndexKey* p = page; p; p = p->Parent()) {
    if (p->Current > 0 && p->Current <= p->Count()) return p->Entry(p->Current - 1);
    if (p->Current != 0) return nullptr;
  }
  return nullptr;
}

XBobjIndexKey* XBobjIndexTag::OpenChild(XBobjIndexKey* page, int index) {
  if (index < 0 || index >= page->Count()) Corrupt();
  // Entries are separate objects: the wanted one stays the same object even
  // when writing the old child inserts separators in front of it.
  XBobjIndexKeyData* entry = page->Entry(index);
  if (page->Child() && page->Child()->Position == entry->EntryTag && !page->Child()->Split()) {
    page->Current = index;
    return page->Child();
  }
  // The old child is written while the parent's current entry is still its
  // own, so that separators of a split land in front of it.
  if (page->Child()) {
    FreeChain(page->Child());
    // A split below writes its parents first; when one of them split in
    // turn, the wanted entry may have moved to a page off the path.
    if (PathSplit(page)) {
      ResetPages();
      throw PathReloaded();
    }
  }
  page->Current = page->IndexOf(entry);
  if (page->Current < 0) Corrupt();
  int32_t target = entry->EntryTag;
  int depth = 1;
  for (XBobjIndexKey* p = page; p; p = p->Parent(), ++depth)
    if (p->Position == target) Corrupt();  // a child pointing back up
  if (depth > kIndexMaxDepth) Corrupt();
  PagePtr child = ReadOffPath(target);
  if (!child->IsLeaf() && child->Count() == 0) Corrupt();
  // A child whose last key lies beyond its separator (a writer stopped
  // between writing a split page and its parent) would hide those keys
  // from every search: the tree is reported rather than read wrongly.
  // Separators beyond their child's keys are left alone: other programs
  // write them.
  // The same stop can leave a page out of its neighbours' sibling links,
  // which other programs walk: within one parent they must agree.
  if (file_->KeysByRecord()) {
    const XBobjIndexKeyData* last = child->LastEntry();
    if (last && CompareEntry(*entry, *last, last->RecordNumber, kIndexCompareExact, false) < 0) Corrupt();
    const int at = page->Current;
    if (at > 0 && child->Left != page->Entry(at - 1)->EntryTag) Corrupt();
    if (at + 1 < page->Count() && child->Right != page->Entry(at + 1)->EntryTag) Corrupt();
  }
  // A page whose first key lies at or before the separator in front of it
  // (a writer stopped after a split's parent but before the shrunken page)
  // would show the moved keys twice: reported as well.
  const XBobjIndexKeyData* bound = LowerBound(page);
  if (bound && child->Count() > 0) {
    const XBobjIndexKeyData* first = child->Entry(0);
    if (file_->KeysByRecord()
            ? CompareEntry(*bound, *first, first->RecordNumber, kIndexCompareExact, false) >= 0
            : CompareEntry(*bound, *first, kIndexAnyRecord, kIndexCompareExact, false) > 0)
      Corrupt();
  }
  child->parent_ = page;
  page->child_ = std::move(child);
  return page->Child();
}

void XBobjIndexTag::InsertSeparator(XBobjIndexKey* page, const XBobjIndexKeyData& key,
                                    int32_t childPosition) {
  XBobjIndexKey* parent = page->Parent();
  if (parent == nullptr) {
    XBobjIndexKeyData* last = page->LastEntry();
    if (!last) Corrupt();
    // Only the root splits without a parent: a new root takes it over.
    assert(page == root_.get());
    if (page != root_.get()) Corrupt();
    PagePtr root = std::make_unique<XBobjIndexKey>(this);
    root->PageKind = ipkRootBranch;
    XBobjIndexKeyData own;
    own.AssignEntry(*last);
    own.EntryTag = page->Position;
    root->AddEntry(own);
    root->Current = 0;
    root->MarkDirty();
    root->child_ = std::move(root_);
    page->parent_ = root.get();
    if (!page->IsLeaf()) page->PageKind = ipkBranch;
    root_ = std::move(root);
    parent = root_.get();
    headerChanged_ = true;
  }
  XBobjIndexKeyData separator;
  separator.AssignEntry(key);
  separator.EntryTag = childPosition;
  int at = parent->Current >= 0 ? parent->Current : 0;
  parent->InsertEntry(at, separator);
  page->split_ = true;
}

void XBobjIndexTag::UpdateSeparators(XBobjIndexKey* page) {
  for (XBobjIndexKey* p = page; p->Parent(); p = p->Parent()) {
    XBobjIndexKey* parent = p->Parent();
    XBobjIndexKeyData* separator = parent->CurrentEntry();
    XBobjIndexKeyData* last = p->LastEntry();
    if (!separator || !last) return;
    if (SameValue(*separator, *last) && separator->RecordNumber == last->RecordNumber) return;
    int32_t child = separator->EntryTag;
    separator->AssignEntry(*last);
    separator->EntryTag = child;
    parent->MarkDirty();
    if (parent->Current != parent->Count() - 1) return;
  }
}

// ---------------------------------------------------------------------------
// Comparison and search

namespace {

// The keys of a tag are all texts or all raw bytes: two keys of the same
// such kind compare here as TxbVariant::Compare would, without its general
// rules. Other pairs return false.
inline bool CompareSameKind(const TxbVariant& key, const TxbVariant& entry, const unsigned char* weights,
                            int shorterResult, int& result) {
  const TxbVariantKind kind = key.Kind();
  if (kind != entry.Kind() || (kind != xbvText && kind != xbvRaw)) return false;
  const int32_t a = key.Length(), b = entry.Length();
  if (a == 0 || b == 0) return false;
  const unsigned char* x = key.Data();
  const unsigned char* y = entry.Data();
  const int32_t common = std::min(a, b);
  if (kind == xbvRaw || weights == nullptr) {
    const int c = std::memcmp(x, y, static_cast<std::size_t>(common));
    if (c != 0) {
      result = c < 0 ? -1 : 1;
      return true;
    }
  } else {
    for (int32_t i = 0; i < common; ++i) {
      if (x[i] == y[i]) continue;
      const unsigned wa = weights[x[i]], wb = weights[y[i]];
      if (wa != wb) {
        result = wa < wb ? -1 : 1;
        return true;
      }
    }
  }
  if (a == b)
    result = 0;
  else if (a < b)
    result = kind == xbvText ? shorterResult : -1;
  else
    result = 1;
  return true;
}

}  // namespace

int XBobjIndexTag::CompareEntry(const XBobjIndexKeyData& entry, const TxbVariant& key,
                                int32_t recordNumber, int compareMode, bool leaf) const {
  int c;
  if (!CompareSameKind(key, entry, weights_, compareMode, c)) c = key.Compare(&entry, nullptr, weights_, compareMode);
  if (keysDescending_) c = -c;
  if (c != 0) return -c;
  if (recordNumber == kIndexAnyRecord) return 0;
  if (recordNumber == kIndexAfterEqual) return -1;
  if (file_->KeysByRecord()) {
    uint32_t a = static_cast<uint32_t>(entry.RecordNumber);
    uint32_t b = static_cast<uint32_t>(recordNumber);
    return (a > b) - (a < b);
  }
  if (!leaf) return 0;
  return entry.RecordNumber == recordNumber ? 0 : 1;
}

int XBobjIndexTag::Search(int32_t recordNumber, const TxbVariant& key, int compareMode) {
  for (;;) {
    try {
      return SearchPath(recordNumber, key, compareMode);
    } catch (const PathReloaded&) {
      // The path was written and freed: search again from the root.
    }
  }
}

int XBobjIndexTag::FirstNotBefore(const XBobjIndexKey& page, const TxbVariant& key, int32_t recordNumber,
                                  int compareMode) const {
  const bool leaf = page.IsLeaf();
  int lo = 0;
  int hi = page.Count();
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (CompareEntry(*page.Entry(mid), key, recordNumber, compareMode, leaf) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

int XBobjIndexTag::SearchPath(int32_t recordNumber, const TxbVariant& key, int compareMode) {
  EnsureRoot();
  XBobjIndexKey* page = root_.get();
  for (;;) {
    int n = page->Count();
    bool leaf = page->IsLeaf();
    int lo = FirstNotBefore(*page, key, recordNumber, compareMode);
    if (leaf) {
      page->Current = lo;
      break;
    }
    if (n == 0) {
      // Only a root branch can be empty (an emptied tree of another program).
      page->Current = -1;
      return 1;
    }
    page = OpenChild(page, lo < n ? lo : n - 1);
  }
  // Separators written by other programs may be greater than their child's
  // last key, and empty leaves may stand in the chain: the search goes on
  // along the leaves until it meets an entry that is not less.
  XBobjIndexKey* leaf = page;
  if (leaf->Current >= leaf->Count()) {
    leaf->Current = leaf->Count() - 1;
    if (!Step(true)) return 1;
  }
  // Without KeysByRecord a record's entry may lie anywhere in the run of its
  // equal keys: walk the run.
  bool walkRun = !file_->KeysByRecord() && recordNumber > 0 && recordNumber != kIndexAfterEqual;
  for (;;) {
    const XBobjIndexKeyData* entry = LeafPage()->CurrentEntry();
    if (!entry) return 1;
    int c = CompareEntry(*entry, key, recordNumber, compareMode, true);
    if (c == 0) return 0;
    if (c > 0) {
      if (!walkRun || key.Compare(entry, nullptr, weights_, compareMode) != 0) return -1;
    }
    if (!Step(true)) return 1;
  }
}

bool XBobjIndexTag::SeekRecordEntry(const TxbVariant& stored, int32_t recordNumber) {
  if (Search(recordNumber, stored, kIndexCompareExact) == 0) return true;
  TxbVariant alternate(0);
  if (AlternateStoredForm(stored, alternate))
    return Search(recordNumber, alternate, kIndexCompareExact) == 0;
  return false;
}

// ---------------------------------------------------------------------------
// Navigation

bool XBobjIndexTag::DescendFrom(XBobjIndexKey* page, bool forward) {
  for (;;) {
    if (page->IsLeaf()) {
      if (page->Count() > 0) {
        page->Current = forward ? 0 : page->Count() - 1;
        return true;
      }
      page->Current = -1;
      // An empty leaf (only files of other programs have them): go on.
      XBobjIndexKey* p = page->Parent();
      while (p && !(forward ? p->Current + 1 < p->Count() : p->Current > 0)) p = p->Parent();
      if (!p) return false;
      page = OpenChild(p, p->Current + (forward ? 1 : -1));
      continue;
    }
    if (page->Count() == 0) {
      if (page->Parent()) Corrupt();
      return false;
    }
    page = OpenChild(page, forward ? 0 : page->Count() - 1);
  }
}

bool XBobjIndexTag::AdvanceFrom(XBobjIndexKey* page, bool forward) {
  XBobjIndexKey* p = page->Parent();
  while (p && !(forward ? p->Current + 1 < p->Count() : p->Current > 0)) p = p->Parent();
  if (!p) return false;
  return DescendFrom(OpenChild(p, p->Current + (forward ? 1 : -1)), forward);
}

bool XBobjIndexTag::Step(bool forward) {
  for (;;) {
    const XBobjIndexKey* leaf = LeafPage();
    const XBobjIndexKeyData* current = leaf ? leaf->CurrentEntry() : nullptr;
    XBobjIndexKeyData from;
    if (current) from.AssignEntry(*current);
    try {
      return StepPath(forward);
    } catch (const PathReloaded&) {
      // Back on the entry the step started from, then the step again.
      if (!current) Corrupt();
      bool back = file_->KeysByRecord() ? Search(from.RecordNumber, from, kIndexCompareExact) == 0
                                        : SeekRecordEntry(from, from.RecordNumber);
      if (!back) Corrupt();
    }
  }
}

bool XBobjIndexTag::StepPath(bool forward) {
  XBobjIndexKey* leaf = LeafPage();
  if (!leaf) return false;
  if (leaf->Current >= 0 && leaf->Current < leaf->Count()) {
    if (forward ? leaf->Current + 1 < leaf->Count() : leaf->Current > 0) {
      leaf->Current += forward ? 1 : -1;
      return true;
    }
  }
  return AdvanceFrom(leaf, forward);
}

bool XBobjIndexTag::First() { return Outermost(true); }

bool XBobjIndexTag::Last() { return Outermost(false); }

bool XBobjIndexTag::Outermost(bool first) {
  for (;;) {
    try {
      EnsureRoot();
      return DescendFrom(root_.get(), first);
    } catch (const PathReloaded&) {
      // The path was written and freed: descend again from the root.
    }
  }
}

void XBobjIndexTag::CopyCurrent() {
  XBobjIndexKey* leaf = LeafPage();
  const XBobjIndexKeyData* entry = leaf ? leaf->CurrentEntry() : nullptr;
  if (!entry) return;
  currentKey_.AssignEntry(*entry);
  positioned_ = true;
}

void XBobjIndexTag::SetPosition(bool bof, bool eof) {
  bof_ = bof;
  eof_ = eof;
}

int32_t XBobjIndexTag::CurrentResult() const {
  return (bof_ || eof_ || !positioned_) ? 0 : currentKey_.RecordNumber;
}

int XBobjIndexTag::CompareBound(const TxbVariant& bound, int compareMode) const {
  int c = bound.Compare(&currentKey_, nullptr, weights_, compareMode);
  return keysDescending_ ? -c : c;
}

bool XBobjIndexTag::BelowLow() const {
  return !lowKey_.IsEmpty() && CompareBound(lowKey_, kIndexComparePrefix) > 0;
}

bool XBobjIndexTag::AboveHigh() const {
  return !highKey_.IsEmpty() && CompareBound(highKey_, rangePrefix_) < 0;
}

int XBobjIndexTag::SeekRangeTest() const {
  if (!HasRange()) return 0;
  if (!highKey_.IsEmpty()) {
    int c = CompareBound(highKey_, rangePrefix_);
    if (c < 0) return 1;
    if (c == 0 && !includeHigh_) return 0;
  }
  if (!lowKey_.IsEmpty()) {
    int c = CompareBound(lowKey_, kIndexComparePrefix);
    if (c > 0) return -1;
    if (c == 0) return includeLow_ ? 0 : -1;
  }
  return 0;
}

int32_t XBobjIndexTag::MoveTop() {
  SetPosition(false, false);
  bool ok;
  if (!lowKey_.IsEmpty())
    ok = Search(kIndexAnyRecord, lowKey_, kIndexComparePrefix) != 1;
  else
    ok = First();
  if (!ok || !LeafPage()->CurrentEntry()) {
    positioned_ = false;
    SetPosition(true, true);
    return 0;
  }
  CopyCurrent();
  if (AboveHigh()) {
    SetPosition(true, true);
    return 0;
  }
  return currentKey_.RecordNumber;
}

int32_t XBobjIndexTag::MoveBottom() {
  SetPosition(false, false);
  bool ok;
  if (!highKey_.IsEmpty()) {
    int r = Search(kIndexAfterEqual, highKey_, rangePrefix_);
    ok = r == 1 ? LeafPage()->CurrentEntry() != nullptr : Step(false);
  } else {
    ok = Last();
  }
  if (!ok || !LeafPage()->CurrentEntry()) {
    positioned_ = false;
    SetPosition(true, true);
    return 0;
  }
  CopyCurrent();
  if (BelowLow()) {
    SetPosition(true, true);
    return 0;
  }
  return currentKey_.RecordNumber;
}

// Re-establishes the path on the current key after the pages were freed.
// Returns 0 when back on the same entry, -1 when on the first entry after
// it (it was removed meanwhile), 1 when nothing follows it.
int32_t XBobjIndexTag::Resync() {
  XBobjIndexKey* leaf = LeafPage();
  if (leaf && leaf->CurrentEntry()) {
    const XBobjIndexKeyData* entry = leaf->CurrentEntry();
    if (SameValue(*entry, currentKey_) && entry->RecordNumber == currentKey_.RecordNumber) return 0;
  }
  XBobjIndexKeyData key;
  key.AssignEntry(currentKey_);
  if (file_->KeysByRecord()) return Search(key.RecordNumber, key, kIndexCompareExact);
  if (SeekRecordEntry(key, key.RecordNumber)) return 0;
  return Search(kIndexAfterEqual, key, kIndexCompareExact);
}

int32_t XBobjIndexTag::MoveNext() {
  if (!positioned_) return MoveTop();
  if (eof_) return 0;
  int r = Resync();
  if (r == 1) {
    CopyCurrent();
    SetPosition(false, true);
    return 0;
  }
  // From BOF, or when the old entry is gone, the entry we stand on is the
  // next one.
  bool stay = bof_ || r != 0;
  bof_ = false;
  CopyCurrent();
  if (stay && !BelowLow()) {
    if (AboveHigh()) {
      eof_ = true;
      return 0;
    }
    return currentKey_.RecordNumber;
  }
  for (;;) {
    if (!Step(true)) {
      eof_ = true;
      return 0;
    }
    CopyCurrent();
    if (AboveHigh()) {
      eof_ = true;
      return 0;
    }
    if (!BelowLow()) return currentKey_.RecordNumber;
  }
}

int32_t XBobjIndexTag::MovePrior() {
  if (!positioned_) return MoveBottom();
  if (bof_) return 0;
  int r = Resync();
  bool stay = false;
  if (r == 1) {
    // Nothing follows the old key any more: the last entry is the prior one.
    stay = true;
    if (!LeafPage()->CurrentEntry()) {
      SetPosition(true, false);
      return 0;
    }
  } else if (eof_ && r == 0) {
    stay = true;
  }
  eof_ = false;
  CopyCurrent();
  if (stay && !AboveHigh()) {
    if (BelowLow()) {
      bof_ = true;
      return 0;
    }
    return currentKey_.RecordNumber;
  }
  for (;;) {
    if (!Step(false)) {
      bof_ = true;
      return 0;
    }
    CopyCurrent();
    if (BelowLow()) {
      bof_ = true;
      return 0;
    }
    if (!AboveHigh()) return currentKey_.RecordNumber;
  }
}

int32_t XBobjIndexTag::ReadTree(const std::function<int32_t()>& read) {
  if (readDepth_ > 0 || !file_->ReadWithoutLock()) return read();
  XBobjIndexKeyData savedKey;
  savedKey.AssignEntry(currentKey_);
  const bool savedBof = bof_;
  const bool savedEof = eof_;
  const bool savedPositioned = positioned_;
  ++readDepth_;
  try {
    const int32_t result = read();
    --readDepth_;
    return result;
  } catch (const EXbaseError& e) {
    --readDepth_;
    // Pages waiting to be written are never left outside the lock; should
    // any be, they are not dropped for a second try.
    if (e.Message() != XbFormat(xbmIndexCorrupted, file_->FileName()) || HasUnwrittenChanges()) throw;
  } catch (...) {
    --readDepth_;
    throw;
  }
  DiscardPages();
  currentKey_.AssignEntry(savedKey);
  bof_ = savedBof;
  eof_ = savedEof;
  positioned_ = savedPositioned;
  // Taking the lock waits for the writer to finish and re-reads the tag
  // headers it may have changed.
  file_->LockIndexFile();
  int32_t result = 0;
  try {
    result = read();
  } catch (...) {
    try {
      file_->UnlockIndexFile();
    } catch (const EXbaseError&) {
    }
    throw;
  }
  file_->UnlockIndexFile();
  return result;
}

int32_t XBobjIndexTag::MoveTo(int code) {
  // The lambda may run twice: it works on a copy of the code.
  return ReadTree([&]() -> int32_t {
    int step = code;
    if (reverseNavigation_) {
      switch (step) {
        case -4: step = -3; break;
        case -3: step = -4; break;
        case -2: step = -1; break;
        case -1: step = -2; break;
        default: break;
      }
    }
    if (step < -5 || step > -1) return 0;
    // Moves work on the stored order; the flags are kept in the tag's order.
    if (reverseNavigation_) std::swap(bof_, eof_);
    int32_t result = 0;
    try {
      switch (step) {
        case -5: {
          if (!positioned_) {
            result = MoveTop();
            break;
          }
          int r = Resync();
          SetPosition(false, r == 1);
          if (r != 1) CopyCurrent();
          result = r == 1 ? 0 : currentKey_.RecordNumber;
          break;
        }
        case -4: result = MoveBottom(); break;
        case -3: result = MoveTop(); break;
        case -2: result = MovePrior(); break;
        default: result = MoveNext(); break;
      }
    } catch (...) {
      if (reverseNavigation_) std::swap(bof_, eof_);
      throw;
    }
    if (reverseNavigation_) std::swap(bof_, eof_);
    return result;
  });
}

// ---------------------------------------------------------------------------
// Seeks

// A tag walked backwards (a descending CDX tag keeps its keys ascending and
// walks them from the end) finds the first of equal keys in walk order at
// the last of them in stored order, and the key after a missing one at the
// last smaller stored key: each seek takes the other stored search.
int32_t XBobjIndexTag::FindKey(const XBobjIndexKeyData& key) {
  return ReadTree([&]() -> int32_t {
    if (reverseNavigation_) std::swap(bof_, eof_);  // work on the stored order
    int32_t result;
    try {
      result = reverseNavigation_ ? StoredLastAtOrBefore(key, true) : StoredFirstAtOrAfter(key);
    } catch (...) {
      if (reverseNavigation_) std::swap(bof_, eof_);
      throw;
    }
    if (reverseNavigation_) std::swap(bof_, eof_);
    return result;
  });
}

int32_t XBobjIndexTag::FindLastKey(const XBobjIndexKeyData& key) {
  return ReadTree([&]() -> int32_t {
    if (reverseNavigation_) std::swap(bof_, eof_);
    int32_t result;
    try {
      result = reverseNavigation_ ? StoredFirstAtOrAfter(key) : StoredLastAtOrBefore(key, false);
    } catch (...) {
      if (reverseNavigation_) std::swap(bof_, eof_);
      throw;
    }
    if (reverseNavigation_) std::swap(bof_, eof_);
    return result;
  });
}

int32_t XBobjIndexTag::StoredFirstAtOrAfter(const XBobjIndexKeyData& key) {
  XBobjIndexKeyData stored;
  stored.AssignEntry(key);
  KeyToStoredForm(stored, true);
  XBobjIndexTable* table = file_->Table();
  int mode = (busy_ || (table && table->IndexExactMatch())) ? kIndexCompareExact : kIndexComparePrefix;
  int32_t recordNumber =
      file_->KeysByRecord() && key.RecordNumber > 0 ? key.RecordNumber : kIndexAnyRecord;
  int r = Search(recordNumber, stored, mode);
  SetPosition(false, false);
  CopyCurrent();
  int32_t result = 0;
  if (r == 1 || !LeafPage()->CurrentEntry()) {
    eof_ = true;
  } else {
    int range = SeekRangeTest();
    if (range > 0)
      eof_ = true;
    else if (r == 0 && range == 0)
      result = currentKey_.RecordNumber;
  }
  return result;
}

int32_t XBobjIndexTag::StoredLastAtOrBefore(const XBobjIndexKeyData& key, bool walkedBackwards) {
  XBobjIndexKeyData stored;
  stored.AssignEntry(key);
  KeyToStoredForm(stored, true);
  XBobjIndexTable* table = file_->Table();
  int mode = (busy_ || (table && table->IndexExactMatch())) ? kIndexCompareExact : kIndexComparePrefix;
  int r = Search(kIndexAfterEqual, stored, mode);
  bool ok = r == 1 ? LeafPage()->CurrentEntry() != nullptr : Step(false);
  SetPosition(false, false);
  int32_t result = 0;
  if (!ok) {
    // Every entry is greater: the position stays on the first one.
    CopyCurrent();
    bof_ = true;
  } else {
    CopyCurrent();
    bool equal = stored.Compare(&currentKey_, nullptr, weights_, mode) == 0;
    int range = SeekRangeTest();
    // Walked backwards, what lies below the range ends the walk, and a key
    // above it leaves the walk to reach the range's first key.
    if (walkedBackwards ? range < 0 : range > 0)
      (walkedBackwards ? bof_ : eof_) = true;
    else if (equal && range == 0)
      result = currentKey_.RecordNumber;
  }
  return result;
}

int32_t XBobjIndexTag::LookupKey(const XBobjIndexKeyData& key) {
  return ReadTree([&]() -> int32_t {
    XBobjIndexKeyData savedKey;
    savedKey.AssignEntry(currentKey_);
    bool savedBof = bof_, savedEof = eof_, savedPositioned = positioned_;
    bool dirty = false;
    for (XBobjIndexKey* p = root_.get(); p; p = p->Child()) dirty = dirty || p->dirty_;
    // A clean path is set aside as it is; a changed one is written first so
    // that the lookup reads what it holds.
    PagePtr aside;
    if (dirty) {
      ResetPages();
    } else {
      aside = std::move(root_);
    }
    auto restore = [&]() {
      RecycleChain(std::move(root_));
      root_ = std::move(aside);
      currentKey_.AssignEntry(savedKey);
      bof_ = savedBof;
      eof_ = savedEof;
      positioned_ = savedPositioned;
    };
    int32_t result;
    try {
      result = FindKey(key);
    } catch (...) {
      restore();
      throw;
    }
    restore();
    return result;
  });
}

int32_t XBobjIndexTag::GoRecord(int32_t recordNumber) {
  return ReadTree([&]() -> int32_t {
    XBobjIndexKey* leaf = LeafPage();
    if (positioned_ && leaf && leaf->CurrentEntry() && currentKey_.RecordNumber == recordNumber &&
        !bof_ && !eof_)
      return recordNumber;
    LoadRoot(1);
    return CurrentResult();
  });
}

void XBobjIndexTag::LoadRoot(int mode) {
  ResetPages();
  EnsureRoot();
  if (mode == 2) return;
  XBobjIndexTable* table = file_->Table();
  if (mode == 1 && table && root_->Count() > 0) {
    int32_t current = table->IndexCurrentRecord();
    XBobjIndexKeyData key;
    if (current >= 1 && current <= table->IndexRecordCount() && EvaluateKey(key)) {
      KeyToStoredForm(key, true);
      if (SeekRecordEntry(key, current)) {
        SetPosition(false, false);
        CopyCurrent();
        return;
      }
    }
  }
  MoveTo(-3);
}

bool XBobjIndexTag::SetRange(const TxbVariant* low, bool includeLow, bool prefix, bool includeHigh,
                             const TxbVariant* high) {
  auto convert = [this](const TxbVariant* source, TxbVariant& stored) {
    if (IsOpenBound(source)) {
      stored.Clear();
      return;
    }
    stored.Assign(source);
    bool trimmed = source->Kind() != xbvText || !Trim(source->AsText()).empty();
    KeyToStoredForm(stored, trimmed);
  };
  TxbVariant lowStored(0);
  TxbVariant highStored(0);
  convert(low, lowStored);
  convert(high, highStored);
  includeLow_ = includeLow;
  includeHigh_ = includeHigh;
  int newPrefix = prefix ? kIndexComparePrefix : kIndexCompareExact;
  if (SameValue(lowStored, lowKey_) && SameValue(highStored, highKey_) && newPrefix == rangePrefix_)
    return false;
  lowKey_.Assign(&lowStored);
  highKey_.Assign(&highStored);
  rangePrefix_ = newPrefix;
  MoveTo(-3);
  return true;
}

// ---------------------------------------------------------------------------
// Changes

bool XBobjIndexTag::InsertKey(XBobjIndexKeyData& key) {
  EnsureRoot();
  XBobjIndexKeyData stored;
  stored.AssignEntry(key);
  KeyToStoredForm(stored, true);
  stored.RecordNumber = key.RecordNumber;
  stored.EntryTag = key.RecordNumber;
  int32_t recordNumber = file_->KeysByRecord() ? key.RecordNumber
                         : keysDescending_     ? 0
                                               : kIndexAfterEqual;
  XBobjIndexKey* leaf = RightmostLeafFor(stored, recordNumber);
  int at;
  if (leaf) {
    at = leaf->Count();
  } else {
    if (InsertIntoStoredLeaf(stored, recordNumber)) return true;
    if (unique_ && Search(kIndexAnyRecord, stored, kIndexCompareExact) == 0) return false;
    int r = Search(recordNumber, stored, kIndexCompareExact);
    leaf = LeafPage();
    at = r == 1 ? leaf->Count() : leaf->Current;
    if (at < 0) at = 0;
  }
  leaf->InsertEntry(at, stored);
  leaf->Current = at;
  if (at == leaf->Count() - 1) UpdateSeparators(leaf);
  CopyCurrent();
  SetPosition(false, false);
  CheckPath();
  return true;
}

bool XBobjIndexTag::ReadLeafBlock(int32_t, int&, int32_t&, int32_t&) { return false; }
void XBobjIndexTag::LeafBlockEntry(int, XBobjIndexKeyData&) const {}
bool XBobjIndexTag::InsertIntoLeafBlock(int, const XBobjIndexKeyData&) { return false; }

bool XBobjIndexTag::InsertIntoStoredLeaf(const XBobjIndexKeyData& stored, int32_t recordNumber) {
  if (!LeafBlocksEditable() || unique_) return false;
  EnsureRoot();
  XBobjIndexKey* page = root_.get();
  if (page->IsLeaf()) return false;
  int depth = 1;
  // Down the branches as SearchPath goes.
  for (;;) {
    const int n = page->Count();
    if (n == 0) return false;
    const int lo = FirstNotBefore(*page, stored, recordNumber, kIndexCompareExact);
    const int index = lo < n ? lo : n - 1;
    XBobjIndexKeyData* entry = page->Entry(index);
    const int32_t target = entry->EntryTag;
    XBobjIndexKey* child = page->Child();
    if (child && child->Position == target && !child->Split()) {
      if (child->IsLeaf()) return false;  // open already: nothing to read
      page->Current = index;
      page = child;
      ++depth;
      continue;
    }
    const XBobjIndexFile::HeldPage held = file_->HeldPageKind(this, target);
    // A leaf held decoded costs no reading: the search takes it.
    if (held == XBobjIndexFile::HeldPage::Leaf) return false;
    if (held == XBobjIndexFile::HeldPage::None) {
      // A loop or a tree too deep is the search's to report.
      if (depth >= kIndexMaxDepth) return false;
      for (const XBobjIndexKey* p = page; p; p = p->Parent())
        if (p->Position == target) return false;
      // The open child leaves the path as OpenChild lets it go.
      if (child) {
        FreeChain(child);
        if (PathSplit(page)) {
          ResetPages();
          return false;
        }
      }
      page->Current = page->IndexOf(entry);
      if (page->Current < 0) Corrupt();
      int count = 0;
      int32_t left = -1;
      int32_t right = -1;
      if (ReadLeafBlock(target, count, left, right))
        return InsertIntoLeafRead(*page, stored, recordNumber, count, left, right);
    }
    // A branch: opened as the search opens it.
    try {
      page = OpenChild(page, index);
    } catch (const PathReloaded&) {
      return false;
    }
    if (page->IsLeaf()) return false;
    ++depth;
  }
}

bool XBobjIndexTag::InsertIntoLeafRead(XBobjIndexKey& parent, const XBobjIndexKeyData& stored,
                                       int32_t recordNumber, int count, int32_t left, int32_t right) {
  if (count == 0) return false;
  // The checks OpenChild makes of a child it reads.
  XBobjIndexKeyData& probe = leafProbe_;
  const XBobjIndexKeyData* separator = parent.CurrentEntry();
  const int at = parent.Current;
  if (file_->KeysByRecord()) {
    LeafBlockEntry(count - 1, probe);
    if (CompareEntry(*separator, probe, probe.RecordNumber, kIndexCompareExact, false) < 0) return false;
    if (at > 0 && left != parent.Entry(at - 1)->EntryTag) return false;
    if (at + 1 < parent.Count() && right != parent.Entry(at + 1)->EntryTag) return false;
  }
  if (const XBobjIndexKeyData* bound = LowerBound(&parent)) {
    LeafBlockEntry(0, probe);
    if (file_->KeysByRecord()
            ? CompareEntry(*bound, probe, probe.RecordNumber, kIndexCompareExact, false) >= 0
            : CompareEntry(*bound, probe, kIndexAnyRecord, kIndexCompareExact, false) > 0)
      return false;
  }
  // The key's place, as SearchPath finds it in the leaf.
  int lo = 0;
  int hi = count;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    LeafBlockEntry(mid, probe);
    if (CompareEntry(probe, stored, recordNumber, kIndexCompareExact, true) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo >= count || !InsertIntoLeafBlock(lo, stored)) return false;
  // Positioned on the new key, as InsertKey leaves the tag; the path goes
  // (its leaf was never read) and is searched again when next needed.
  currentKey_.AssignEntry(stored);
  positioned_ = true;
  SetPosition(false, false);
  ResetPages();
  return true;
}

XBobjIndexKey* XBobjIndexTag::RightmostLeafFor(const TxbVariant& stored, int32_t recordNumber) {
  // Every page of the path must be the last of its level: each branch on
  // its last entry, whose page is the open child, and no page with a right
  // sibling.
  XBobjIndexKey* page = root_.get();
  while (page && !page->IsLeaf()) {
    if (page->Right != -1 || page->Count() == 0 || page->Current != page->Count() - 1) return nullptr;
    XBobjIndexKey* child = page->Child();
    if (!child || child->Split() || child->Position != page->Entry(page->Current)->EntryTag) return nullptr;
    page = child;
  }
  if (!page || page->Right != -1) return nullptr;
  const XBobjIndexKeyData* last = page->LastEntry();
  if (!last || CompareEntry(*last, stored, recordNumber, kIndexCompareExact, true) >= 0) return nullptr;
  // A unique tag takes the key only when no entry holds it.
  if (unique_ && CompareEntry(*last, stored, kIndexAnyRecord, kIndexCompareExact, true) >= 0) return nullptr;
  return page;
}

void XBobjIndexTag::RemovePage(XBobjIndexKey* page) {
  XBobjIndexKey* parent = page->Parent();
  PageRemoved(page);
  DeleteChain(page);
  int at = parent->Current;
  parent->DeleteEntry(at);
  if (parent->Count() == 0) {
    if (parent->Parent()) {
      RemovePage(parent);
      return;
    }
    // The root lost its last child: the tree is empty again.
    parent->PageKind = ipkLeaf;
    parent->Current = -1;
    parent->MarkDirty();
    return;
  }
  if (at >= parent->Count()) {
    parent->Current = parent->Count() - 1;
    UpdateSeparators(parent);
  } else {
    parent->Current = at;
  }
  if (parent->Count() == 1 && BranchEntryLimit() > 0) KeepAKeyInBranch(parent);
}

// A branch left with one entry (the path below it is gone) would hold no key
// in formats without a key for the last entry. The root then takes over its
// only child's entries (the tree loses a level, the root stays where the
// header says); another branch merges into a neighbour under the same
// parent, or takes one entry from it when the neighbour is full. Keys that
// become inner keys are the parent's separators, which are the highest keys
// of their subtrees.
void XBobjIndexTag::KeepAKeyInBranch(XBobjIndexKey* page) {
  auto setKey = [](XBobjIndexKeyData* entry, const XBobjIndexKeyData& key) {
    int32_t child = entry->EntryTag;
    entry->AssignEntry(key);
    entry->EntryTag = child;
  };
  XBobjIndexKey* parent = page->Parent();
  if (parent == nullptr) {
    PagePtr child = ReadOffPath(page->Entry(0)->EntryTag);
    page->ResetPage();
    for (int i = 0; i < child->Count(); ++i) page->AddEntry(*child->Entry(i));
    page->PageKind = child->PageKind;
    page->Current = page->Count() > 0 ? 0 : -1;
    page->MarkDirty();
    PageRemoved(child.get());
    RecycleChain(std::move(child));
    return;
  }
  const int at = parent->Current;
  if (at < 0 || at >= parent->Count() || parent->Count() < 2 ||
      parent->Entry(at)->EntryTag != page->Position)
    return;  // not a tree this rule can mend; left as it is
  const int limit = BranchEntryLimit();
  const bool fromLeft = at > 0;
  const int neighbourAt = fromLeft ? at - 1 : at + 1;
  // The neighbour is read into a page object of its own, off the path, and
  // written at once.
  PagePtr neighbour = ReadOffPath(parent->Entry(neighbourAt)->EntryTag);
  if (neighbour->IsLeaf() || neighbour->Count() < 2) return;
  XBobjIndexKeyData own;  // the page's one entry, keyed by its separator
  own.AssignEntry(*parent->Entry(at));
  own.EntryTag = page->Entry(0)->EntryTag;
  if (neighbour->Count() + 1 <= limit) {
    if (fromLeft) {
      setKey(neighbour->LastEntry(), *parent->Entry(neighbourAt));
      neighbour->AddEntry(own);
      setKey(parent->Entry(neighbourAt), *parent->Entry(at));
    } else {
      neighbour->InsertEntry(0, own);
    }
    WritePage(neighbour.get());
    RecycleChain(std::move(neighbour));
    PageRemoved(page);
    DeleteChain(page);
    parent->DeleteEntry(at);
    parent->Current = fromLeft ? at - 1 : at;
    parent->MarkDirty();
    if (parent->Count() == 1) KeepAKeyInBranch(parent);
    return;
  }
  // A neighbour of two entries (pages of one key, written by other
  // programs) would be left without a key itself.
  if (neighbour->Count() < 3) return;
  XBobjIndexKeyData moved;
  if (fromLeft) {
    moved.AssignEntry(*neighbour->LastEntry());
    setKey(&moved, *parent->Entry(neighbourAt));
    neighbour->DeleteEntry(neighbour->Count() - 1);
    setKey(parent->Entry(neighbourAt), *neighbour->LastEntry());
    page->InsertEntry(0, moved);
    page->Current = 1;
  } else {
    moved.AssignEntry(*neighbour->Entry(0));
    neighbour->DeleteEntry(0);
    setKey(page->Entry(0), *parent->Entry(at));
    page->AddEntry(moved);
    setKey(parent->Entry(at), moved);
    page->Current = 0;
  }
  page->MarkDirty();
  parent->MarkDirty();
  WritePage(neighbour.get());
}

void XBobjIndexTag::DeleteCurrentKey() {
  RemoveCurrentEntry();
  CheckPath();
}

void XBobjIndexTag::RemoveCurrentEntry() {
  XBobjIndexKey* leaf = LeafPage();
  if (!leaf || !leaf->CurrentEntry()) return;
  XBobjIndexKeyData removed;
  removed.AssignEntry(*leaf->CurrentEntry());
  int at = leaf->Current;
  leaf->DeleteEntry(at);
  SetPosition(false, false);
  if (leaf->Count() == 0 && leaf->Parent()) {
    RemovePage(leaf);
    int32_t recordNumber = file_->KeysByRecord() ? removed.RecordNumber : kIndexAfterEqual;
    if (Search(recordNumber, removed, kIndexCompareExact) == 1) eof_ = true;
    CopyCurrent();
    return;
  }
  if (leaf->Count() == 0) {
    leaf->Current = -1;
    positioned_ = false;
    SetPosition(true, true);
    return;
  }
  if (at >= leaf->Count()) {
    leaf->Current = leaf->Count() - 1;
    UpdateSeparators(leaf);
    if (!Step(true)) eof_ = true;
  } else {
    leaf->Current = at;
  }
  CopyCurrent();
}

bool XBobjIndexTag::UpdateForRecordChange(int32_t recordNumber, bool appended) {
  if (!RecordChangeMayMatter(appended)) return false;
  // The pages the last change left on the path are written now, where the
  // change would have written them had it not kept its place.
  if (changeKept_) {
    changeKept_ = false;
    if (root_) ResetPages();
  }
  busy_ = true;
  changed_ = false;
  bool hadPages = root_ != nullptr;
  try {
    bool forHolds = hasFor_ ? EvaluateFor() : true;
    XBobjIndexKeyData newKey;
    EvaluateKey(newKey);
    newKey.RecordNumber = recordNumber;
    newKey.EntryTag = recordNumber;
    if (appended) {
      if (forHolds) {
        EnsureRoot();
        changed_ = InsertKey(newKey);
      }
    } else {
      XBobjIndexKeyData oldKey;
      EvaluateSavedKey(oldKey);
      XBobjIndexKeyData oldStored;
      oldStored.AssignEntry(oldKey);
      KeyToStoredForm(oldStored, true);
      XBobjIndexKeyData newStored;
      newStored.AssignEntry(newKey);
      KeyToStoredForm(newStored, true);
      bool found = SeekRecordEntry(oldStored, recordNumber);
      bool differ = !SameValue(oldStored, newStored);
      if ((differ || !forHolds) && found) {
        DeleteCurrentKey();
        changed_ = true;
      }
      if (forHolds && (differ || !found)) {
        if (InsertKey(newKey)) changed_ = true;
      }
    }
  } catch (...) {
    busy_ = false;
    // Half-made changes are dropped rather than written.
    if (!hadPages) {
      RecycleChain(std::move(root_));
    }
    throw;
  }
  if (!hadPages) {
    // Under the index lock the path stays where the change put it (the
    // table places its order on the changed record next), and its pages
    // are written when the lock goes or before the next change.
    if (file_->LockLevel() > 0 && root_) {
      // A file without room for the pages is refused here, as the write
      // would refuse it, before the change counts as made.
      ReserveRoomForWrites(root_.get());
      changeKept_ = true;
    } else {
      ResetPages();
    }
  }
  busy_ = false;
  return changed_;
}

// ---------------------------------------------------------------------------
// XBobjIndexFile

XBobjIndexFile::XBobjIndexFile(XBobjIndexTable* table) : table_(table) {
  if (auto region = IndexLockRegion(protocol_)) lockRegion_ = *region;
}

XBobjIndexFile::~XBobjIndexFile() {
  ReleaseUnwritten();
  if (lockLevel_ > 0 && disk_ && disk_->Shared()) {
    try {
      disk_->UnlockRegion();
    } catch (...) {
    }
  }
  tags_.Clear();
}

bool XBobjIndexFile::CreateTag(const AnsiString&, const AnsiString&, bool, bool, const AnsiString&) {
  return false;
}
bool XBobjIndexFile::DeleteTag(const AnsiString&) { return false; }
int32_t XBobjIndexFile::NewPage() { return -1; }
int32_t XBobjIndexFile::ResetAllocation() { return -1; }
void XBobjIndexFile::Reindex() {}
bool XBobjIndexFile::ChangedByOtherUser() { return false; }
void XBobjIndexFile::Zap() {}

bool XBobjIndexFile::ReadBlock(int64_t position, void* buffer, int32_t count) {
  if (!disk_ || position < 0 || count < 0) return false;
  if (capturing_) {
    captureLow_ = std::min(captureLow_, position);
    captureHigh_ = std::max(captureHigh_, position + count);
  }
  if (!fromDisk_ && HoldsBlocks() && position % kBlockSize == 0 && count % kBlockSize == 0) {
    auto* out = static_cast<char*>(buffer);
    bool whole = true;
    for (int32_t offset = 0; offset < count && whole; offset += kBlockSize) {
      const int64_t number = (position + offset) / kBlockSize;
      if (const int32_t* held = heldWhere_.Find(number)) {
        std::memcpy(out + offset, Held(*held).bytes.get(), kBlockSize);
        TouchHeld(*held);
        continue;
      }
      const int32_t slot = NewHeld(number);
      char* bytes = Held(slot).bytes.get();
      int32_t got = -1;
      try {
        got = disk_->ReadAt(position + offset, bytes, kBlockSize);
      } catch (...) {
        ForgetHeld(slot);
        throw;
      }
      if (got != kBlockSize) {
        ForgetHeld(slot);
        whole = false;
        break;
      }
      std::memcpy(out + offset, bytes, kBlockSize);
    }
    EvictBlocks();
    if (whole) return true;
    // A short block at the end: read as it stands on disk.
  }
  // The disk must hold what this read covers.
  if (dirtyBlocks_ > 0) WriteHeldBlocks();
  int32_t got = disk_->ReadAt(position, buffer, count);
  if (got != count) return false;
  AnsiString password = table_ ? table_->IndexReadPassword() : AnsiString();
  if (!password.empty()) {
    auto* p = static_cast<char*>(buffer);
    for (int32_t offset = 0; offset < count; offset += kBlockSize)
      ScrambleBytes(password, p + offset, p + offset,
                    static_cast<std::size_t>(std::min(kBlockSize, count - offset)), false);
  }
  if (capturing_ && disk_->Shared()) {
    // Kept with the decoded page, to be compared with the disk before the
    // page is used again.
    ++captureReads_;
    const auto* p = static_cast<const char*>(buffer);
    captureBytes_.assign(p, p + count);
  }
  return true;
}

void XBobjIndexFile::WriteBlock(int64_t position, const void* buffer, int32_t count) {
  if (!disk_) Corrupt();
  if (HoldsBlocks() && disk_->ReadWrite() && count > 0 && position >= 0) {
    HoldWrite(position, static_cast<const char*>(buffer), count);
  } else {
    AnsiString password = table_ ? table_->IndexWritePassword() : AnsiString();
    if (password.empty()) {
      disk_->WriteAt(position, buffer, count);
    } else {
      std::vector<char> copy(static_cast<std::size_t>(count));
      const auto* p = static_cast<const char*>(buffer);
      for (int32_t offset = 0; offset < count; offset += kBlockSize)
        ScrambleBytes(password, p + offset, copy.data() + offset,
                      static_cast<std::size_t>(std::min(kBlockSize, count - offset)), true);
      disk_->WriteAt(position, copy.data(), count);
    }
  }
  knownSize_ = std::max<int64_t>(knownSize_, position + count);
  if (count > 0 && position >= 0) {
    // Decoded pages read from these bytes before are stale from now on.
    ++writeClock_;
    const auto first = static_cast<std::size_t>(position / kBlockSize);
    const auto last = static_cast<std::size_t>((position + count - 1) / kBlockSize);
    if (blockStamps_.size() <= last) blockStamps_.resize(last + 1, 0);
    for (std::size_t b = first; b <= last; ++b) blockStamps_[b] = writeClock_;
    lastWriteLow_ = position;
    lastWriteHigh_ = position + count;
    if (disk_->Shared()) {
      const auto* p = static_cast<const char*>(buffer);
      lastWriteBytes_.assign(p, p + count);
    }
  }
}

void XBobjPageBatch::Write(int64_t position, const void* page, int32_t size) {
  if (start_ < 0 || position != start_ + static_cast<int64_t>(bytes_.size()) || bytes_.size() >= kBatchBytes) {
    Flush();
    start_ = position;
  }
  const auto* p = static_cast<const uint8_t*>(page);
  bytes_.insert(bytes_.end(), p, p + size);
}

void XBobjPageBatch::Flush() {
  if (!bytes_.empty()) file_.WriteBlock(start_, bytes_.data(), static_cast<int32_t>(bytes_.size()));
  bytes_.clear();
  start_ = -1;
}

void XBobjIndexFile::Rename(const AnsiString& newName) {
  if (!disk_) return;
  WriteHeldBlocks();
  AnsiString target = ChangeFileExt(newName, ExtractFileExt(disk_->FileName()));
  disk_->RenameFile(target);
  fileName_ = ExtractFileName(disk_->FileName());
}

bool XBobjIndexFile::RecordChanged(int32_t recordNumber, bool appended) {
  bool any = false;
  for (int i = 0; i < tags_.Count(); ++i)
    if (tags_.Items(i)->UpdateForRecordChange(recordNumber, appended)) any = true;
  return any;
}

void XBobjIndexFile::SetLockProtocol(TxbLokProtocol protocol) {
  protocol_ = protocol;
  auto region = IndexLockRegion(protocol);
  lockRegion_ = region ? *region : TxbLockRegion{0, 0};
}

void XBobjIndexFile::Reencipher() {
  if (!disk_ || !table_) return;
  DropBlocks();
  DropCachedPages();
  AnsiString oldPassword = table_->IndexReadPassword();
  AnsiString newPassword = table_->IndexWritePassword();
  int64_t size = disk_->FileSize();
  char block[kBlockSize];
  for (int64_t position = 0; position < size; position += kBlockSize) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlockSize, size - position));
    if (disk_->ReadAt(position, block, n) != n) Corrupt();
    ScrambleBytes(oldPassword, block, block, static_cast<std::size_t>(n), false);
    ScrambleBytes(newPassword, block, block, static_cast<std::size_t>(n), true);
    disk_->WriteAt(position, block, n);
  }
}

XBO_DiskFile* XBobjIndexFile::OpenDiskFile(XBobjIndexTable* table, const AnsiString& name,
                                           bool overwrite, bool create, unsigned mode,
                                           unsigned share, const AnsiString& defaultExtension) {
  AnsiString fileName = DefaultExtension(Trim(name), defaultExtension);
  if (ExtractFilePath(fileName).empty() && table)
    fileName = ExtractFilePath(table->IndexTableFileName()) + fileName;
  bool readWrite = (mode & 3) != fmOpenRead;
  unsigned shareMode = share & 0xF0;
  bool shared = shareMode != fmShareExclusive && shareMode != fmShareDenyRead;
  auto disk = std::make_unique<XBO_DiskFile>(fileName, shared, readWrite);
  if (create) {
    if (disk->Exists() && !overwrite)
      disk->OpenFile();
    else
      disk->CreateFile();
  } else {
    if (!disk->Exists()) return nullptr;
    disk->OpenFile();
  }
  fileName_ = ExtractFileName(disk->FileName());
  disk_ = std::move(disk);
  knownSize_ = disk_->FileSize();
  return disk_.get();
}

void XBobjIndexFile::LockIndexFile() {
  if (lockLevel_ == 0 && disk_ && disk_->Shared()) {
    if (lockRegion_.length == 0 ||
        !LockRegionWithRetry(*disk_, lockRegion_.offset, lockRegion_.length, 100, 50))
      XbRaise(xbmCannotLockFile, fileName_);
  }
  ++lockLevel_;
  if (lockLevel_ == 1) {
    try {
      ResetAllocation();
      LockTaken();
    } catch (...) {
      --lockLevel_;
      if (disk_ && disk_->Shared()) disk_->UnlockRegion();
      throw;
    }
  }
}

void XBobjIndexFile::UnlockIndexFile() {
  if (lockLevel_ == 0) return;
  auto release = [this]() {
    --lockLevel_;
    if (lockLevel_ == 0 && disk_ && disk_->Shared()) disk_->UnlockRegion();
  };
  if (lockLevel_ == 1) {
    try {
      if (disk_ && !disk_->Shared()) {
        // Nobody else changes an exclusive file: each tag keeps its path
        // (the next append in the same place needs no search).
        for (int i = 0; i < tags_.Count(); ++i) tags_.Items(i)->WritePages();
      } else {
        ResetAllPages();
      }
      LockReleasing();
    } catch (...) {
      release();
      throw;
    }
  }
  release();
}

void XBobjIndexFile::LockWholeFileWithRetry() {
  if (!disk_ || !disk_->Shared()) return;
  bool holdsWhole = disk_->LockCount() > 0 && disk_->LockOffset() == 0 &&
                    disk_->LockLength() == XBO_DiskFile::kWholeFileLength;
  // Another region held by this very file cannot become the whole file by
  // waiting.
  if (disk_->LockCount() > 0 && !holdsWhole) XbRaise(xbmCannotLockFile, fileName_);
  if (!LockRegionWithRetry(*disk_, 0, XBO_DiskFile::kWholeFileLength, 100, 50))
    XbRaise(xbmCannotLockFile, fileName_);
}

void XBobjIndexFile::ChangeUnderIndexLock(const std::function<void()>& change) {
  LockIndexFile();
  try {
    change();
  } catch (...) {
    UnlockIndexFile();
    throw;
  }
  UnlockIndexFile();
}

void XBobjIndexFile::ChangeUnderWholeFileLock(const std::function<void()>& change) {
  LockWholeFileWithRetry();
  try {
    change();
  } catch (...) {
    if (disk_->Shared()) disk_->UnlockRegion();
    throw;
  }
  if (disk_->Shared()) disk_->UnlockRegion();
}

int32_t XBobjIndexFile::TakeNextFree(int32_t step) {
  if (nextFree_ < 0) ResetAllocation();
  const int64_t position = nextFree_;
  if (position > lastPagePosition_) XbRaise(xbmIndexFileFull, fileName_);
  nextFree_ = position + step;
  return static_cast<int32_t>(position);
}

void XBobjIndexFile::ReserveRoom(int pages) {
  if (pages <= 0) return;
  if (nextFree_ < 0) ResetAllocation();
  if (nextFree_ < 0) return;  // a format without page allocation
  if (nextFree_ + static_cast<int64_t>(pages - 1) * pageStep_ > lastPagePosition_)
    XbRaise(xbmIndexFileFull, fileName_);
}

void XBobjIndexFile::EmptyForNewTag() {
  for (int i = tags_.Count() - 1; i >= 0; --i) {
    tags_.Items(i)->DiscardPages();
    tags_.Delete(i);
  }
  // A file created for this tag is empty already; truncating needs full
  // access, which a shared table never has, and must not be asked for
  // after the create has emptied the file.
  if (RefreshFileSize() > 0) TruncateDisk(0);
  knownSize_ = 0;
  nextFree_ = 0;
  NewPage();
}

AnsiString XBobjIndexFile::StoredTagName(const AnsiString& name, int maxLength) const {
  AnsiString result = Trim(name);
  if (table_) result = table_->IndexTranslateName(result);
  result = UpperCase(result);
  if (result.size() > static_cast<std::size_t>(maxLength)) result.resize(static_cast<std::size_t>(maxLength));
  return result;
}

void XBobjIndexFile::FlagProductionIndex() {
  if (!table_) return;
  AnsiString tableName = table_->IndexTableFileName();
  if (SameText(ChangeFileExt(disk_->FileName(), ExtractFileExt(tableName)), tableName))
    table_->IndexSetProductionFlag();
}

bool XBobjIndexFile::IsFileName(const AnsiString& name) const {
  return SameText(BaseName(name), BaseName(fileName_));
}

XBobjIndexTag* XBobjIndexFile::FindTag(const AnsiString& name) const {
  AnsiString wanted = Trim(name);
  for (int i = 0; i < tags_.Count(); ++i)
    if (SameText(tags_.Items(i)->TagName(), wanted)) return tags_.Items(i);
  return nullptr;
}

void XBobjIndexFile::ResetAllPages() {
  for (int i = 0; i < tags_.Count(); ++i) tags_.Items(i)->ResetPages();
}

void XBobjIndexFile::WritePending() { ResetAllPages(); }

void XBobjIndexFile::Close() {
  try {
    WritePending();
    WriteHeldBlocks();
  } catch (...) {
    closeFailed_ = true;
    throw;
  }
}

bool XBobjIndexFile::HasUnwrittenChanges() const {
  if (dirtyBlocks_ > 0) return true;
  for (int i = 0; i < tags_.Count(); ++i)
    if (tags_.Items(i)->HasUnwrittenChanges()) return true;
  return false;
}

void XBobjIndexFile::ReleaseUnwritten() {
  // Held blocks hold what the file already counts as written (pages go to
  // them when they leave memory): they reach the disk even when the owner
  // skips Close, as written pages always have. A failure here cannot be
  // reported and is caught below in debug builds.
  if (!closeFailed_) {
    try {
      WriteHeldBlocks();
    } catch (...) {
    }
  }
  assert((closeFailed_ || !HasUnwrittenChanges()) && "index file destroyed with unwritten changes: Close() it first");
  for (int i = 0; i < tags_.Count(); ++i) tags_.Items(i)->DiscardPages();
}

void XBobjIndexFile::Corrupt() const { XbRaise(xbmIndexCorrupted, fileName_); }

int64_t XBobjIndexFile::RefreshFileSize() {
  // Blocks held unwritten count as written.
  if (disk_ && disk_->Shared())
    knownSize_ = disk_->FileSizeAndTime(knownTime_);
  else if (disk_)
    knownSize_ = std::max(disk_->FileSize(), heldEnd_);
  return knownSize_;
}

void XBobjIndexFile::TruncateDisk(int64_t size) {
  DropBlocks();
  DropCachedPages();
  disk_->TruncateFile(size);
  knownSize_ = size;
}

bool XBobjIndexFile::ReadBlockFromDisk(int64_t position, void* buffer, int32_t count) {
  // Nobody else writes an exclusive file: the blocks held are the disk.
  if (!disk_ || !disk_->Shared()) return ReadBlock(position, buffer, count);
  fromDisk_ = true;
  try {
    const bool read = ReadBlock(position, buffer, count);
    fromDisk_ = false;
    return read;
  } catch (...) {
    fromDisk_ = false;
    throw;
  }
}

bool XBobjIndexFile::HoldsBlocks() {
  // Shared files: while the change counter vouches for the cache, as pages
  // are.
  bool holds = disk_ && (!disk_->Shared() || countedValid_) && cacheLimit_ > 0;
  if (holds && table_) holds = table_->IndexReadPassword().empty() && table_->IndexWritePassword().empty();
  if (!holds && !heldWhere_.Empty()) DropBlocks();
  return holds;
}

void XBobjIndexFile::HoldWrite(int64_t position, const char* in, int32_t count) {
  const int64_t end = position + count;
  // Shared files write through: other programs read them. Large writes
  // (builds) gain nothing from waiting. Either goes to the disk now, and
  // held copies of its blocks take the new bytes, clean; a large write
  // makes no new copies (a tree just built is read again, if at all, a path
  // at a time long after: the copies only cost memory).
  const bool large = count > kWriteThroughBytes;
  const bool deferred = !large && !disk_->Shared();
  if (!deferred) disk_->WriteAt(position, in, count);
  const int64_t fileEnd = std::max(knownSize_, heldEnd_);
  for (int64_t number = position / kBlockSize; number * kBlockSize < end; ++number) {
    const int64_t start = number * kBlockSize;
    const int64_t low = std::max(start, position);
    const int64_t high = std::min(start + kBlockSize, end);
    const bool whole = low == start && high == start + kBlockSize;
    int32_t slot = -1;
    if (const int32_t* held = heldWhere_.Find(number)) {
      slot = *held;
      TouchHeld(slot);
    } else {
      if (large) continue;
      if (!whole && (!deferred || start + kBlockSize > fileEnd)) {
        // Part of a block not held: bytes near the end of the file, whose
        // length must stay as written, go to the disk at once.
        if (deferred) disk_->WriteAt(low, in + (low - position), static_cast<int32_t>(high - low));
        continue;
      }
      slot = NewHeld(number);
      if (!whole) {
        // The rest of the block as it stands (never written: zeros).
        char* bytes = Held(slot).bytes.get();
        int32_t got = 0;
        try {
          got = disk_->ReadAt(start, bytes, kBlockSize);
        } catch (...) {
          ForgetHeld(slot);
          throw;
        }
        if (got < kBlockSize) std::fill(bytes + std::max(got, 0), bytes + kBlockSize, 0);
      }
    }
    HeldBlock& block = Held(slot);
    std::memcpy(block.bytes.get() + (low - start), in + (low - position), static_cast<std::size_t>(high - low));
    if (deferred && !block.dirty) {
      block.dirty = true;
      ++dirtyBlocks_;
    } else if (!deferred && whole && block.dirty) {
      // The disk has all of it now (a block written in part keeps bytes
      // the disk has not seen yet).
      block.dirty = false;
      --dirtyBlocks_;
    }
    if (deferred) heldEnd_ = std::max(heldEnd_, start + kBlockSize);
  }
  EvictBlocks();
}

void XBobjIndexFile::WriteHeldBlocks() {
  if (dirtyBlocks_ == 0 || !disk_) return;
  std::vector<int64_t> numbers;
  numbers.reserve(static_cast<std::size_t>(dirtyBlocks_));
  heldWhere_.ForEach([&](int64_t number, int32_t slot) {
    if (Held(slot).dirty) numbers.push_back(number);
  });
  std::sort(numbers.begin(), numbers.end());
  // Runs of neighbouring blocks go out in one write each, in file order,
  // gathered from where they are held.
  std::vector<FileSpan> run;
  run.reserve(std::min<std::size_t>(numbers.size(), kLongestHeldRun / kBlockSize));
  for (std::size_t first = 0; first < numbers.size();) {
    std::size_t last = first + 1;
    while (last < numbers.size() && numbers[last] == numbers[last - 1] + 1 &&
           static_cast<int64_t>(last - first) * kBlockSize < kLongestHeldRun)
      ++last;
    run.clear();
    for (std::size_t k = first; k < last; ++k)
      run.push_back({Held(*heldWhere_.Find(numbers[k])).bytes.get(), kBlockSize});
    disk_->WriteGatherAt(numbers[first] * kBlockSize, run.data(), static_cast<int>(run.size()));
    for (std::size_t k = first; k < last; ++k) Held(*heldWhere_.Find(numbers[k])).dirty = false;
    dirtyBlocks_ -= static_cast<int>(last - first);
    first = last;
  }
  heldEnd_ = 0;
}

void XBobjIndexFile::EvictBlocks() {
  const int64_t limit = std::max<int64_t>(cacheLimit_ / kBlockSize, 8);
  while (static_cast<int64_t>(heldWhere_.Size()) > limit) {
    const int32_t slot = heldUse_.oldest;
    HeldBlock& block = Held(slot);
    if (block.dirty) {
      // Written before it is forgotten; a failure leaves it held.
      disk_->WriteAt(block.number * kBlockSize, block.bytes.get(), kBlockSize);
      --dirtyBlocks_;
    }
    ForgetHeld(slot);
  }
}

void XBobjIndexFile::DropBlocks() {
  WriteHeldBlocks();
  heldWhere_.Clear();
  held_.clear();
  heldFree_.clear();
  heldUse_ = UseChain();
}

int32_t XBobjIndexFile::NewHeld(int64_t number) {
  const int32_t slot = TakeSlot(heldFree_, held_);
  HeldBlock& block = Held(slot);
  if (!block.bytes) block.bytes.reset(new char[kBlockSize]);
  block.number = number;
  block.dirty = false;
  ChainFront(held_, heldUse_, slot);
  heldWhere_.Insert(number, slot);
  return slot;
}

void XBobjIndexFile::ForgetHeld(int32_t slot) {
  HeldBlock& block = Held(slot);
  ChainUnlink(held_, heldUse_, slot);
  heldWhere_.Erase(block.number);
  block.number = -1;
  heldFree_.push_back(slot);
}

void XBobjIndexFile::TouchHeld(int32_t slot) {
  if (slot == heldUse_.newest) return;
  ChainUnlink(held_, heldUse_, slot);
  ChainFront(held_, heldUse_, slot);
}


bool XBobjIndexFile::PositionInside(int64_t position, int64_t length) {
  if (position < 0 || length < 0) return false;
  if (position + length <= knownSize_) return true;
  return position + length <= RefreshFileSize();
}

// ---------------------------------------------------------------------------
// Decoded-page cache

void XBobjIndexFile::SetPageCacheLimit(int64_t bytes) {
  cacheLimit_ = std::max<int64_t>(0, bytes);
  EvictCachedPages();
  if (HoldsBlocks()) EvictBlocks();
}

void XBobjIndexFile::BeginPageRead() {
  capturing_ = true;
  captureLow_ = INT64_MAX;
  captureHigh_ = -1;
  captureReads_ = 0;
  captureBytes_.clear();
}

void XBobjIndexFile::EndPageRead(XBobjIndexKey& page) {
  capturing_ = false;
  page.packed_.clear();
  ++cacheMisses_;
  page.fromCache_ = false;
  if (page.IsLeaf()) leafHits_.Note(false);
  page.readClock_ = writeClock_;
  page.readLow_ = captureLow_;
  page.readHigh_ = captureHigh_;
  page.pristine_ = captureHigh_ > captureLow_;
  page.readBytes_.clear();
  page.counted_ = false;
  if (disk_ && disk_->Shared()) {
    if (countedValid_) {
      // The change counter will tell when another program changes the file.
      // Leaves read for a change under the lock are scattered over the tree
      // and rarely needed again before they would be evicted; their blocks
      // stay held (HoldsBlocks) all the same.
      page.counted_ = true;
      page.pristine_ = page.pristine_ && (!page.IsLeaf() || lockLevel_ == 0);
      return;
    }
    // Another program's writes are seen by comparing one read's bytes. That
    // read costs what reading the page costs, so only the branches, which
    // every search passes, are worth keeping.
    page.pristine_ = page.pristine_ && !page.IsLeaf() && captureReads_ == 1 &&
                     static_cast<int64_t>(captureBytes_.size()) == captureHigh_ - captureLow_;
    if (page.pristine_) page.readBytes_.swap(captureBytes_);
  }
  page.heldBytes_ = 0;
}

void XBobjIndexFile::NoteWrittenPage(XBobjIndexKey& page) {
  page.pristine_ = false;
  page.packed_.clear();
  page.readBytes_.clear();
  page.counted_ = false;
  // Only branches: every change passes them again. Leaves written by
  // changes spread over a large tree are rarely the next ones needed, and
  // holding them decoded (and evicting others for them) costs more than
  // decoding the block again when one is.
  if (page.IsLeaf()) return;
  const bool counted = disk_ && disk_->Shared() && countedValid_;
  if (lastWriteLow_ != page.Position || lastWriteHigh_ <= lastWriteLow_) return;
  page.readClock_ = writeClock_;
  page.readLow_ = lastWriteLow_;
  page.readHigh_ = lastWriteHigh_;
  page.pristine_ = true;
  if (counted) {
    page.counted_ = true;
  } else if (disk_ && disk_->Shared()) {
    // As for pages read (EndPageRead), with their bytes.
    page.pristine_ = static_cast<int64_t>(lastWriteBytes_.size()) == lastWriteHigh_ - lastWriteLow_;
    if (page.pristine_) page.readBytes_ = lastWriteBytes_;
  }
  page.heldBytes_ = 0;
}

bool XBobjIndexFile::SameOnDisk(const XBobjIndexKey& page) {
  if (!disk_->Shared()) return true;
  if (page.counted_) return countedValid_;
  const auto count = static_cast<int32_t>(page.readHigh_ - page.readLow_);
  if (static_cast<int32_t>(page.readBytes_.size()) != count) return false;
  verifyBytes_.resize(static_cast<std::size_t>(count));
  return ReadBlock(page.readLow_, verifyBytes_.data(), count) &&
         std::memcmp(verifyBytes_.data(), page.readBytes_.data(), static_cast<std::size_t>(count)) == 0;
}

bool XBobjIndexFile::StillValid(int64_t low, int64_t high, uint64_t clock) const {
  if (high <= low || low < 0) return false;
  const auto first = static_cast<std::size_t>(low / kBlockSize);
  const auto last = static_cast<std::size_t>((high - 1) / kBlockSize);
  for (std::size_t b = first; b <= last && b < blockStamps_.size(); ++b)
    if (blockStamps_[b] > clock) return false;
  return true;
}

XBobjIndexFile::CachedPage XBobjIndexFile::TakeOut(int32_t slot) {
  UnlinkCached(slot);
  CachedPage& place = Cached(slot);
  CachedPage cached = std::move(place);
  place = CachedPage();
  cacheBytes_ -= cached.bytes;
  if (cached.page == nullptr && cached.out == nullptr) packedBytes_ -= cached.bytes;
  cacheWhere_.Erase(cached.position);
  cacheFree_.push_back(slot);
  return cached;
}

int32_t XBobjIndexFile::CachedSlot(int32_t position) const {
  const int32_t* slot = cacheWhere_.Find(position);
  return slot ? *slot : -1;
}

XBobjIndexFile::CachedPage& XBobjIndexFile::NewCached(int32_t position, int chain) {
  assert(CachedSlot(position) < 0);
  const int32_t slot = TakeSlot(cacheFree_, cacheSlots_);
  cacheWhere_.Insert(position, slot);
  CachedPage& cached = Cached(slot);
  cached.position = position;
  FrontCached(chain, slot);
  return cached;
}

void XBobjIndexFile::UnlinkCached(int32_t slot) {
  CachedPage& c = Cached(slot);
  if (c.chain < 0) return;
  ChainUnlink(cacheSlots_, chains_[c.chain], slot);
  c.chain = -1;
}

void XBobjIndexFile::FrontCached(int chain, int32_t slot) {
  UnlinkCached(slot);
  ChainFront(cacheSlots_, chains_[chain], slot);
  Cached(slot).chain = chain;
}

void XBobjIndexFile::RecyclePageObject(std::unique_ptr<XBobjIndexKey> page) {
  XBobjIndexTag* tag = page->Tag;
  if (tag && tag->sparePages_.size() < 4) {
    page->parent_ = nullptr;
    page->Position = 0;
    page->ResetPage();
    tag->sparePages_.push_back(std::move(page));
  }
}

XBobjIndexFile::HeldPage XBobjIndexFile::HeldPageKind(const XBobjIndexTag* tag, int32_t position) const {
  const int32_t slot = CachedSlot(position);
  if (slot < 0) return HeldPage::None;
  const CachedPage& cached = cacheSlots_[static_cast<std::size_t>(slot)];
  if (cached.out || cached.tag != tag || !StillValid(cached)) return HeldPage::None;
  if (cached.branch) return HeldPage::Branch;
  return cached.page ? HeldPage::Leaf : HeldPage::None;
}

std::unique_ptr<XBobjIndexKey> XBobjIndexFile::TakeCachedPage(const XBobjIndexTag* tag, int32_t position) {
  const int32_t slot = CachedSlot(position);
  // A page served and not back is not served twice: a fresh read is.
  if (slot < 0 || Cached(slot).out) return nullptr;
  CachedPage& cached = Cached(slot);
  // A page of another tag (its place was freed and taken since) or one
  // whose bytes we wrote since is read again.
  if (cached.tag != tag || !StillValid(cached)) {
    CachedPage gone = TakeOut(slot);
    if (gone.page) RecyclePageObject(std::move(gone.page));
    return nullptr;
  }
  std::unique_ptr<XBobjIndexKey> page = std::move(cached.page);
  const bool packed = page == nullptr;
  if (packed) {
    page = const_cast<XBobjIndexTag*>(tag)->NewPageObject();
    page->ResetPage();
    page->Position = position;
    page->readClock_ = cached.readClock;
    page->readLow_ = cached.readLow;
    page->readHigh_ = cached.readHigh;
    page->readBytes_.swap(cached.readBytes);
    page->counted_ = cached.counted;
  }
  // The entry stays, marked as out: the page's return finds its place
  // without a new one being made.
  cacheBytes_ -= cached.bytes;
  if (packed) packedBytes_ -= cached.bytes;
  cached.bytes = 0;
  cached.out = page.get();
  FrontCached(kOutChain, slot);
  // Shared files: the change counter vouches for the page, or its bytes
  // are read again and must be those it was decoded from.
  if (!SameOnDisk(*page)) {
    TakeOut(slot);
    RecyclePageObject(std::move(page));
    return nullptr;
  }
  if (packed) {
    page->packed_.swap(cached.packed);
    page->Unpack();
    // Still packed: leaving the cache's decoded part again costs no packing.
    page->pristine_ = true;
    page->heldBytes_ = 0;
  }
  ++cacheHits_;
  if (page->IsLeaf()) leafHits_.Note(true);
  page->fromCache_ = true;
  page->Current = -1;
  return page;
}

std::unique_ptr<XBobjIndexKey> XBobjIndexFile::KeepCachedPage(std::unique_ptr<XBobjIndexKey> page) {
  const int32_t old = page->Position > 0 ? CachedSlot(page->Position) : -1;
  const bool back = old >= 0 && Cached(old).out == page.get();
  if (cacheLimit_ <= 0 || !page->pristine_ || page->dirty_ || page->split_ || page->child_ ||
      page->Position <= 0 || !StillValid(*page)) {
    // Changed on its way: its place goes.
    if (back) TakeOut(old);
    return page;
  }
  // Every buffer the page holds, at its capacity, and its place in the cache.
  // A page larger than the bound may still fit it packed: eviction packs it.
  if (page->heldBytes_ == 0) page->heldBytes_ = page->HeldBytes();
  const int64_t bytes = page->heldBytes_ + kCacheNodeBytes;
  // A full cache takes only a sample of the leaves read while few are found
  // again; those it served go back.
  if (page->IsLeaf() && !page->fromCache_ && cacheBytes_ + bytes > cacheLimit_ && !leafHits_.Good() &&
      ++leafSampleTick_ % TxbHitShare::kSample != 0) {
    if (back) TakeOut(old);
    return page;
  }
  const int32_t position = page->Position;
  // Every search passes the branches: they leave the cache after all
  // leaves have.
  const bool branch = !page->IsLeaf();
  const int chain = UseList(false, branch);
  page->parent_ = nullptr;
  page->Current = -1;
  if (back) {
    CachedPage& cached = Cached(old);
    FrontCached(chain, old);
    cached.out = nullptr;
    cached.page = std::move(page);
    cached.bytes = bytes;
    cached.branch = branch;
  } else {
    if (old >= 0) {
      CachedPage gone = TakeOut(old);
      if (gone.page) RecyclePageObject(std::move(gone.page));
    }
    CachedPage& cached = NewCached(position, chain);
    cached.tag = page->Tag;
    cached.page = std::move(page);
    cached.bytes = bytes;
    cached.branch = branch;
  }
  cacheBytes_ += bytes;
  EvictCachedPages();
  return nullptr;
}

void XBobjIndexFile::EvictCachedPages() {
  // Past the bound the least recently used pages go, leaves before
  // branches: decoded ones are packed while they take more than half the
  // bound, packed ones leave. Pages that all fit stay decoded.
  while (cacheBytes_ > cacheLimit_) {
    const bool decodedLeft = chains_[0].count + chains_[1].count > 0;
    const bool packedLeft = chains_[2].count + chains_[3].count > 0;
    if (!decodedLeft && !packedLeft) break;
    const bool pack = decodedLeft && (!packedLeft || cacheBytes_ - packedBytes_ > cacheLimit_ / 2);
    const int first = UseList(!pack, false);
    const int32_t slot = chains_[chains_[first].count == 0 ? first + 1 : first].oldest;
    CachedPage cached = TakeOut(slot);
    if (!pack) continue;
    std::unique_ptr<XBobjIndexKey> page = std::move(cached.page);
    if (!page->packed_.empty() || page->Pack()) {
      const int32_t position = page->Position;
      CachedPage& packed = NewCached(position, UseList(true, cached.branch));
      packed.tag = cached.tag;
      packed.packed.swap(page->packed_);
      packed.readClock = page->readClock_;
      packed.readLow = page->readLow_;
      packed.readHigh = page->readHigh_;
      packed.readBytes.swap(page->readBytes_);
      packed.counted = page->counted_;
      packed.bytes = static_cast<int64_t>(packed.packed.capacity() + packed.readBytes.capacity()) +
                     kCacheNodeBytes + 2 * kAllocationOverhead;
      packed.branch = cached.branch;
      cacheBytes_ += packed.bytes;
      packedBytes_ += packed.bytes;
    }
    RecyclePageObject(std::move(page));
  }
}

void XBobjIndexFile::SetCountedPagesValid(bool valid) {
  if (valid == countedValid_) return;
  countedValid_ = valid;
  if (valid) return;
  DropBlocks();
  // Pages out are put back only while they stay valid; their places go.
  std::vector<int32_t> gone;
  cacheWhere_.ForEach([&](int64_t, int32_t slot) {
    const CachedPage& c = Cached(slot);
    if (c.out || (c.page ? c.page->counted_ : c.counted)) gone.push_back(slot);
  });
  for (int32_t slot : gone) {
    CachedPage dropped = TakeOut(slot);
    if (dropped.page) RecyclePageObject(std::move(dropped.page));
  }
}

void XBobjIndexFile::DropCachedPages(const XBobjIndexTag* tag) {
  if (tag == nullptr) {
    cacheWhere_.Clear();
    cacheSlots_.clear();
    cacheFree_.clear();
    for (UseChain& chain : chains_) chain = UseChain();
    cacheBytes_ = 0;
    packedBytes_ = 0;
    return;
  }
  std::vector<int32_t> gone;
  cacheWhere_.ForEach([&](int64_t, int32_t slot) {
    if (Cached(slot).tag == tag) gone.push_back(slot);
  });
  for (int32_t slot : gone) TakeOut(slot);
}
