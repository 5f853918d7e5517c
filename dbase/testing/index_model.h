// Test support for every index format: the reference model a tag's walks
// are compared with, walks in both directions, and page-level structure
// checkers that read the tree node by node. Trees whose branch entries
// separate (CDX, MDX, NDX): in-node order, separators equal their child's
// last key (the last entry of an MDX or NDX branch has none), every branch
// holds at least one key, all leaves at one depth, no empty non-root node,
// sibling chains consistent in both directions at every level (formats that
// keep them). NTX B-trees: every key of a subtree lies between the branch
// keys around it, all leaves at one depth, no empty non-root page, every
// page reached once.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/table/dbf_create.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/index/index_core.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/base/charset.h"
#include "platform/rtl/sysutils.h"

namespace indexmodel {

using KeyRecord = std::pair<std::string, int32_t>;

inline std::string Bytes(const TxbVariant& v) {
  return std::string(reinterpret_cast<const char*>(v.Data()), static_cast<std::size_t>(v.Length()));
}

// Order of stored keys as the trees compare them.
inline int CompareStored(const std::string& a, const std::string& b, bool text) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned x = static_cast<unsigned char>(a[i]);
    unsigned y = static_cast<unsigned char>(b[i]);
    if (text) {
      x = CollationWeights[x];
      y = CollationWeights[y];
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The expected contents of a tag: (stored key, record number) pairs in the
// tag's stored order (key, then record number).
class IndexModel {
 public:
  explicit IndexModel(bool text = true) : text_(text) {}
  void Insert(const std::string& key, int32_t record) { entries_.insert({key, record}); }
  void Erase(const std::string& key, int32_t record) { entries_.erase({key, record}); }
  bool Contains(const std::string& key) const {
    for (const auto& e : entries_)
      if (CompareStored(e.first, key, text_) == 0) return true;
    return false;
  }
  std::vector<KeyRecord> Sorted() const {
    std::vector<KeyRecord> out(entries_.begin(), entries_.end());
    std::stable_sort(out.begin(), out.end(), [this](const KeyRecord& a, const KeyRecord& b) {
      int c = CompareStored(a.first, b.first, text_);
      return c != 0 ? c < 0 : a.second < b.second;
    });
    return out;
  }
  // The first entry not less than key (in stored order), or none.
  const KeyRecord* LowerBound(const std::string& key) const {
    static KeyRecord found;
    auto sorted = Sorted();
    for (const auto& e : sorted)
      if (CompareStored(e.first, key, text_) >= 0) {
        found = e;
        return &found;
      }
    return nullptr;
  }
  std::size_t Size() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  bool text_;
  std::set<KeyRecord> entries_;
};

// All (key, record) pairs from top to bottom (or bottom to top), through
// the tag's own moves; stops after `bound` steps.
inline std::vector<KeyRecord> Walk(XBobjIndexTag& tag, bool forward, std::size_t bound = 10000000) {
  std::vector<KeyRecord> out;
  int32_t record = tag.MoveTo(forward ? -3 : -4);
  while (record != 0 && out.size() < bound) {
    out.push_back({Bytes(tag.CurrentKey()), record});
    record = tag.MoveTo(forward ? -1 : -2);
  }
  return out;
}

// One node as the structure checker sees it.
struct CheckNode {
  bool leaf = true;
  bool rootMark = false;  // the node says it is the root (formats that mark it)
  bool hasRootMark = false;
  int32_t left = -1;
  int32_t right = -1;
  std::vector<XBobjIndexKeyData> entries;  // held keys; EntryTag = child for branches
};

using NodeReader = std::function<CheckNode(int32_t position)>;

// The nodes of each level linked left to right in the order a walk meets
// them; "" or the first wrong link.
inline std::string CheckSiblingLinks(std::map<int, std::vector<int32_t>>& levels,
                                     std::map<int32_t, CheckNode>& nodes) {
  for (auto& [depth, list] : levels) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      const CheckNode& n = nodes[list[i]];
      int32_t expectLeft = i ? list[i - 1] : -1;
      int32_t expectRight = i + 1 < list.size() ? list[i + 1] : -1;
      if (n.left != expectLeft || n.right != expectRight)
        return "sibling links of " + std::to_string(list[i]) + " at depth " + std::to_string(depth) +
               " are " + std::to_string(n.left) + "/" + std::to_string(n.right) + ", expected " +
               std::to_string(expectLeft) + "/" + std::to_string(expectRight);
    }
  }
  return "";
}

// Checks the tree under root; returns "" or the first problem found.
// siblingLinks: the format links the nodes of a level; lastImplicit: the
// last entry of a branch carries no key of its own. A separator that lies
// above its subtree's last key (what a writer stopped between shrinking a
// page and lowering its separator leaves; every key is still found) is
// reported as "separator for N lies above its last key" only when nothing
// worse is found in the whole tree.
inline std::string CheckTree(int32_t root, const NodeReader& read, bool keysByRecord,
                             bool keysDescending = false, bool siblingLinks = true,
                             bool lastImplicit = false) {
  std::map<int, std::vector<int32_t>> levels;
  std::map<int32_t, CheckNode> nodes;
  int leafDepth = -1;
  std::string problem;
  std::vector<std::pair<XBobjIndexKeyData, int32_t>> looseSeparators;  // separator, next child
  auto compare = [&](const XBobjIndexKeyData& a, const XBobjIndexKeyData& b) {
    int c = a.Compare(&b, nullptr, CollationWeights, -1);
    if (keysDescending) c = -c;
    if (c == 0 && keysByRecord) c = (a.RecordNumber > b.RecordNumber) - (a.RecordNumber < b.RecordNumber);
    return c;
  };
  std::function<void(int32_t, int)> visit = [&](int32_t position, int depth) {
    if (!problem.empty()) return;
    if (depth > kIndexMaxDepth) {
      problem = "tree deeper than the limit";
      return;
    }
    if (nodes.count(position)) {
      problem = "node " + std::to_string(position) + " reached twice";
      return;
    }
    CheckNode node = read(position);
    nodes[position] = node;
    levels[depth].push_back(position);
    if (node.hasRootMark && node.rootMark != (depth == 0)) {
      problem = "root mark wrong at " + std::to_string(position);
      return;
    }
    if (node.entries.empty() && depth > 0) {
      problem = "empty node " + std::to_string(position);
      return;
    }
    std::size_t ordered = node.entries.size() - (lastImplicit && !node.leaf && !node.entries.empty() ? 1 : 0);
    // A branch made of nothing but its extra child is followed by our own
    // walks, but readers that go by the key count skip what lies under it.
    if (!node.leaf && !node.entries.empty() && ordered == 0) {
      problem = "branch " + std::to_string(position) + " holds no key";
      return;
    }
    for (std::size_t i = 1; i < ordered; ++i)
      if (compare(node.entries[i - 1], node.entries[i]) > 0) {
        problem = "node " + std::to_string(position) + " out of order at " + std::to_string(i);
        return;
      }
    if (node.leaf) {
      if (leafDepth == -1) leafDepth = depth;
      if (leafDepth != depth) problem = "leaves at different depths";
      return;
    }
    for (std::size_t i = 0; i < node.entries.size(); ++i) {
      const XBobjIndexKeyData& e = node.entries[i];
      visit(e.EntryTag, depth + 1);
      if (!problem.empty()) return;
      const CheckNode& child = nodes[e.EntryTag];
      if (child.entries.empty() || (lastImplicit && i + 1 == node.entries.size())) continue;
      // Without a key in the last branch entry, the subtree's last key is
      // the last key of its rightmost leaf.
      const CheckNode* bottom = &child;
      while (lastImplicit && !bottom->leaf && !bottom->entries.empty()) bottom = &nodes[bottom->entries.back().EntryTag];
      if (bottom->entries.empty()) continue;
      const XBobjIndexKeyData& last = bottom->entries.back();
      if (Bytes(last) != Bytes(e) || (keysByRecord && last.RecordNumber != e.RecordNumber)) {
        if (compare(last, e) < 0) {
          // Sound only while the next subtree's keys do not lie below it
          // (checked once every node is read).
          looseSeparators.push_back({e, i + 1 < node.entries.size() ? node.entries[i + 1].EntryTag : -1});
          continue;
        }
        problem = "separator for " + std::to_string(e.EntryTag) + " differs from its last key";
        return;
      }
    }
  };
  visit(root, 0);
  if (problem.empty() && siblingLinks) problem = CheckSiblingLinks(levels, nodes);
  if (!problem.empty()) return problem;
  for (const auto& [separator, next] : looseSeparators) {
    const CheckNode* first = next < 0 ? nullptr : &nodes[next];
    while (first && !first->leaf && !first->entries.empty()) first = &nodes[first->entries.front().EntryTag];
    if (first && !first->entries.empty() && compare(first->entries.front(), separator) < 0)
      return "separator for " + std::to_string(separator.EntryTag) + " differs from its last key";
  }
  if (!looseSeparators.empty())
    return "separator for " + std::to_string(looseSeparators.front().first.EntryTag) + " lies above its last key";
  return "";
}

// Checks a CDX tag: the generic checks plus the root marks of the node
// attributes and the leaf record masks.
inline std::string CheckCdxTag(XBobjCDXTag& tag) {
  std::string problem;
  NodeReader read = [&](int32_t position) {
    CdxNode node;
    tag.ReadNode(position, node);
    CheckNode out;
    out.leaf = node.IsLeaf();
    out.hasRootMark = true;
    out.rootMark = (node.attribute & 1) != 0;
    out.left = node.left;
    out.right = node.right;
    for (const CdxEntry& e : node.entries) {
      XBobjIndexKeyData k;
      tag.SetHeldKey(k, e.key);
      k.RecordNumber = e.record;
      k.EntryTag = out.leaf ? e.record : e.child;
      if (out.leaf && static_cast<uint32_t>(e.record) > node.leaf.recordMask && problem.empty())
        problem = "record number beyond the leaf mask";
      out.entries.push_back(k);
    }
    return out;
  };
  std::string result = CheckTree(tag.RootPosition(), read, true);
  return result.empty() ? problem : result;
}

// The node reader of the formats whose pages (Page) hold a value per
// entry and no key in a branch's last entry (NDX, MDX).
template <class Page, class Tag>
NodeReader ValuePageReader(Tag& tag) {
  return [&tag](int32_t position) {
    Page page;
    tag.ReadNode(position, page);
    CheckNode out;
    out.leaf = !page.branch;
    for (const auto& e : page.entries) {
      XBobjIndexKeyData k;
      if (e.key.empty())
        k.SetText("");
      else
        tag.SetHeldKey(k, e.key);
      k.RecordNumber = out.leaf ? e.value : 0;
      k.EntryTag = e.value;
      out.entries.push_back(k);
    }
    return out;
  };
}

// Checks an NDX tag: the generic checks without sibling links, the last
// branch entry without key.
inline std::string CheckNdxTag(XBobjNDXTag& tag) {
  return CheckTree(tag.RootPosition(), ValuePageReader<NdxPage>(tag), false, false, false, true);
}

// Checks an MDX tag the same way; descending tags keep descending keys.
inline std::string CheckMdxTag(XBobjMDXTag& tag) {
  return CheckTree(tag.RootPosition(), ValuePageReader<MdxPage>(tag), false, tag.KeysDescending(), false,
                   true);
}

// Checks an NTX tag as a B-tree whose branch items are keys.
inline std::string CheckNtxTag(XBobjNTXTag& tag) {
  std::set<int32_t> seen;
  int leafDepth = -1;
  std::string problem;
  auto compare = [&](const std::string& a, const std::string& b) {
    TxbVariant x(0), y(0);
    x.SetText(a);
    y.SetText(b);
    int c = x.Compare(&y, nullptr, CollationWeights, -1);
    return tag.KeysDescending() ? -c : c;
  };
  std::function<void(int32_t, int, const std::string*, const std::string*)> visit =
      [&](int32_t position, int depth, const std::string* low, const std::string* high) {
        if (!problem.empty()) return;
        if (depth > kIndexMaxDepth || !seen.insert(position).second) {
          problem = "page " + std::to_string(position) + " reached twice";
          return;
        }
        NtxNode node;
        tag.ReadNode(position, node);
        if (node.keys.empty() && depth > 0) {
          problem = "empty page " + std::to_string(position);
          return;
        }
        std::vector<std::string> held;
        for (const NtxKey& k : node.keys) held.push_back(tag.HeldKey(k.bytes));
        for (std::size_t i = 0; i < held.size(); ++i) {
          if ((i && compare(held[i - 1], held[i]) > 0) || (low && compare(*low, held[i]) > 0) ||
              (high && compare(held[i], *high) > 0)) {
            problem = "page " + std::to_string(position) + " out of order at " + std::to_string(i);
            return;
          }
        }
        if (node.IsLeaf()) {
          if (leafDepth == -1) leafDepth = depth;
          if (leafDepth != depth) problem = "leaves at different depths";
          return;
        }
        for (std::size_t i = 0; i < node.children.size(); ++i)
          visit(node.children[i], depth + 1, i ? &held[i - 1] : low, i < held.size() ? &held[i] : high);
      };
  visit(tag.RootPosition(), 0, nullptr, nullptr);
  return problem;
}

// The structure check of any tag, by its format.
inline std::string CheckIndexTag(XBobjIndexTag& tag) {
  if (auto* t = dynamic_cast<XBobjCDXTag*>(&tag)) return CheckCdxTag(*t);
  if (auto* t = dynamic_cast<XBobjMDXTag*>(&tag)) return CheckMdxTag(*t);
  if (auto* t = dynamic_cast<XBobjNDXTag*>(&tag)) return CheckNdxTag(*t);
  if (auto* t = dynamic_cast<XBobjNTXTag*>(&tag)) return CheckNtxTag(*t);
  return "unknown format";
}

// A table that keeps its index files current the way the table handler
// does: every write locks the index files, and the written record's keys
// replace the keys of the record as it was read.
class IndexedTable : public XBO_dBaseFld {
 public:
  IndexedTable(const AnsiString& fileName, bool shared, const AnsiString& password = "")
      : XBO_dBaseFld(fileName, shared, true, password), link(*this, password) {}

  XBobjDBFIndexTable link;
  std::vector<XBobjIndexFile*> indexes;  // not owned

  void Notify(int code, int32_t value) override {
    if (code == xbnWritten) {
      int32_t n = value ? value : RecordNumber();
      for (XBobjIndexFile* file : indexes) file->RecordChanged(n, value == 0);
    }
    XBO_dBaseFld::Notify(code, value);
  }
  bool HasIndexFiles() const override { return !indexes.empty(); }

  // Appends a record with the given field texts.
  void Append(const std::vector<std::pair<std::string, std::string>>& values) {
    BlankRecord();
    for (const auto& [field, text] : values) PutText(field, text);
    Locked([this] { AppendRecord(); });
  }
  // Changes fields of record n and writes it.
  void Change(int32_t n, const std::vector<std::pair<std::string, std::string>>& values) {
    GoRecord(n);
    for (const auto& [field, text] : values) PutText(field, text);
    Locked([this, n] { WriteRecord(n); });
  }
  void Locked(const std::function<void()>& action) {
    for (XBobjIndexFile* file : indexes) file->LockIndexFile();
    try {
      action();
    } catch (...) {
      for (XBobjIndexFile* file : indexes) file->UnlockIndexFile();
      throw;
    }
    for (XBobjIndexFile* file : indexes) file->UnlockIndexFile();
  }
};

// One progress report of a build: (status, current, total).
using ProgressReport = std::tuple<int, int, int>;

// An indexed table that keeps the progress reports a build gives it.
class RecordingTable : public IndexedTable {
 public:
  using IndexedTable::IndexedTable;
  void StatusReport(int status, int current, int total) override {
    reports.emplace_back(status, current, total);
  }
  std::vector<ProgressReport> reports;
};

// The stored key bytes of a walk as numbers (N and D tags).
inline double StoredNumber(const std::string& stored) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i)
    bits = bits << 8 | (i < static_cast<int>(stored.size()) ? static_cast<unsigned char>(stored[static_cast<std::size_t>(i)]) : 0);
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

}  // namespace indexmodel
