// A test-only index format that keeps its pages in memory with room for a
// few entries each, so that a handful of keys already make a deep tree. It
// exercises the format-independent core (searches, moves, splits, deletes,
// record changes) without any file layout: keys come from a small record
// table instead of expressions, and KeysByRecord, KeysDescending and
// ReverseNavigation can be switched per test.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "dbase/index/index_core.h"

namespace memindex {

// One record of the test table: its key text and whether the FOR
// condition holds for it.
struct MemRecord {
  std::string key;
  bool passes = true;
};

// The table side of the test format.
class MemTable : public XBobjIndexTable {
 public:
  std::vector<MemRecord> records;  // record n at index n - 1
  int32_t current = 0;
  MemRecord saved;        // the current record as read before editing
  bool modified = false;  // the current record was changed
  bool exact = false;
  bool useSaved = false;

  // Makes record n current as if read from the file.
  void Read(int32_t n) {
    current = n;
    saved = records[static_cast<std::size_t>(n - 1)];
    modified = false;
  }
  const MemRecord& Visible() const {
    return useSaved ? saved : records[static_cast<std::size_t>(current - 1)];
  }

  int32_t IndexRecordCount() override { return static_cast<int32_t>(records.size()); }
  int32_t IndexCurrentRecord() override { return current; }
  bool IndexExactMatch() override { return exact; }
  bool IndexKeepsSavedRecord() override { return true; }
  bool IndexRecordModified() override { return modified; }
  void IndexUseSavedRecord(bool on) override { useSaved = on; }
  void IndexLoadRecord(int32_t n) override {
    if (n > 0) current = n;
  }
  AnsiString IndexReadPassword() override { return {}; }
  AnsiString IndexWritePassword() override { return {}; }
  AnsiString IndexTableFileName() override { return "/mem/TEST.DBF"; }
  TxbExpUserLink* IndexExpressionLink() override { return nullptr; }
  void IndexStatusReport(int, int, int) override {}
  void IndexSetProductionFlag() override {}
  AnsiString IndexTranslateName(const AnsiString& name) override { return name; }
};

// A page as the test format stores it.
struct MemPage {
  bool leaf = true;
  int32_t left = -1;
  int32_t right = -1;
  std::vector<XBobjIndexKeyData> entries;
};

class MemIndexFile;

class MemIndexTag : public XBobjIndexTag {
 public:
  MemIndexTag(MemIndexFile* file, int capacity, bool keysDescending, bool reverseNavigation);

  bool DefineTag(const AnsiString& keyExpression, bool unique, bool ascending,
                 const AnsiString& forExpression) override {
    XBobjIndexTag::DefineTag(keyExpression, unique, ascending, forExpression);
    return true;
  }
  void CompileKey() override {}
  void CompileFor() override {}
  bool EvaluateKey(TxbVariant& key) override;
  bool EvaluateFor() override;
  int ReadPage(int32_t position, XBobjIndexKey* page) override;
  int WritePage(XBobjIndexKey* page) override;
  // Logs the root position as a header write.
  void WriteHeader() override;
  void PageRemoved(XBobjIndexKey* page) override;

  void SetUnique(bool on) { unique_ = on; }
  void SetRootPosition(int32_t position) { rootPosition_ = position; }
  void SetHasFor(bool on) { hasFor_ = on; }
  int Capacity() const { return capacity_; }
  int Writes() const { return writes_; }

 private:
  MemIndexFile* mem_;
  int capacity_;
  int writes_ = 0;
};

class MemIndexFile : public XBobjIndexFile {
 public:
  explicit MemIndexFile(MemTable* table, bool keysByRecord = true) : XBobjIndexFile(table) {
    keysByRecord_ = keysByRecord;
    fileName_ = "MEM.IDX";
    opened_ = true;
  }
  ~MemIndexFile() override {
    ResetAllPages();
    Tags().Clear();
  }

  // Adds a tag with an empty root leaf.
  MemIndexTag* AddTag(int capacity = 4, bool keysDescending = false, bool reverseNavigation = false) {
    auto* tag = new MemIndexTag(this, capacity, keysDescending, reverseNavigation);
    Tags().Add(tag);
    return tag;
  }
  int32_t NewPage() override {
    next_ += 512;
    return next_;
  }
  int32_t ResetAllocation() override { return next_; }

  // One write in the order it happened: a page at position, or (position
  // 0) the header naming root.
  struct Write {
    int32_t position;
    MemPage page;
    int32_t root;
  };

  void Store(int32_t position, const MemPage& page) {
    pages[position] = page;
    log.push_back({position, page, 0});
  }
  // Sets a page's left (or right) sibling link, as one more write.
  void Relink(int32_t position, bool leftLink, int32_t sibling) {
    MemPage page = pages[position];
    (leftLink ? page.left : page.right) = sibling;
    Store(position, page);
  }

  std::map<int32_t, MemPage> pages;
  // Positions that were removed from the tree.
  std::vector<int32_t> removed;
  // Every write so far.
  std::vector<Write> log;

 private:
  int32_t next_ = 0;
};

inline MemIndexTag::MemIndexTag(MemIndexFile* file, int capacity, bool keysDescending,
                                bool reverseNavigation)
    : XBobjIndexTag(file, "MEM"), mem_(file), capacity_(capacity) {
  formatWord_ = "MEM";
  keysDescending_ = keysDescending;
  reverseNavigation_ = reverseNavigation;
  keyExpression_ = "KEY";
  rootPosition_ = file->NewPage();
  file->pages[rootPosition_] = MemPage{};
}

inline bool MemIndexTag::EvaluateKey(TxbVariant& key) {
  auto* table = static_cast<MemTable*>(file_->Table());
  key.SetText(table->Visible().key);
  return true;
}

inline bool MemIndexTag::EvaluateFor() {
  auto* table = static_cast<MemTable*>(file_->Table());
  return table->Visible().passes;
}

inline int MemIndexTag::ReadPage(int32_t position, XBobjIndexKey* page) {
  auto it = mem_->pages.find(position);
  if (it == mem_->pages.end()) Corrupt();
  const MemPage& stored = it->second;
  page->PageKind = stored.leaf ? ipkLeaf : ipkBranchRead;
  page->Left = stored.left;
  page->Right = stored.right;
  for (const XBobjIndexKeyData& e : stored.entries) page->AddEntry(e);
  return 1;
}

inline int MemIndexTag::WritePage(XBobjIndexKey* page) {
  ++writes_;
  // The first half moves to a new left page until the rest fits; the
  // parent is written before the rest.
  SplitWhileOverfull(page, capacity_, [&](int moved) {
    int32_t position = mem_->NewPage();
    MemPage left;
    left.leaf = page->IsLeaf();
    left.left = page->Left;
    left.right = page->Position;
    for (int i = 0; i < moved; ++i) left.entries.push_back(*page->Entry(i));
    mem_->Store(position, left);
    if (page->Left != -1) mem_->Relink(page->Left, false, position);
    page->Left = position;
    return position;
  });
  MemPage stored;
  stored.leaf = page->IsLeaf();
  stored.left = page->Left;
  stored.right = page->Right;
  for (int i = 0; i < page->Count(); ++i) stored.entries.push_back(*page->Entry(i));
  mem_->Store(page->Position, stored);
  return 1;
}

inline void MemIndexTag::WriteHeader() {
  mem_->log.push_back({0, MemPage{}, rootPosition_});
  XBobjIndexTag::WriteHeader();
}

inline void MemIndexTag::PageRemoved(XBobjIndexKey* page) {
  if (page->Left != -1) mem_->Relink(page->Left, false, page->Right);
  if (page->Right != -1) mem_->Relink(page->Right, true, page->Left);
  mem_->removed.push_back(page->Position);
}

}  // namespace memindex
