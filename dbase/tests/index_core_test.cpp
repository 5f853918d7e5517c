// The format-independent index core on a test format with tiny pages:
// moves across many levels, seeks in both compare modes, ranges, unique
// inserts, deletes that empty pages, record changes with FOR conditions,
// searches for a record among equal keys, and the depth limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dbase/base/errors.h"
#include "dbase/testing/index_model.h"
#include "dbase/testing/mem_index_format.h"
#include "testing/error_message.h"

namespace {

using indexmodel::Bytes;
using indexmodel::KeyRecord;
using memindex::MemIndexFile;
using memindex::MemIndexTag;
using memindex::MemRecord;
using memindex::MemTable;

XBobjIndexKeyData Key(const std::string& text, int32_t record = 0) {
  XBobjIndexKeyData k;
  k.SetText(text);
  k.RecordNumber = record;
  return k;
}

indexmodel::NodeReader MemReader(MemIndexFile& file) {
  return [&file](int32_t position) {
    indexmodel::CheckNode node;
    const memindex::MemPage& page = file.pages.at(position);
    node.leaf = page.leaf;
    node.left = page.left;
    node.right = page.right;
    node.entries = page.entries;
    return node;
  };
}

// A table of n records with keys made by keyOf, each inserted into the tag.
void Fill(MemTable& table, MemIndexTag& tag, int n, const std::function<std::string(int)>& keyOf) {
  for (int i = 1; i <= n; ++i) {
    table.records.push_back({keyOf(i), true});
    XBobjIndexKeyData k = Key(keyOf(i), i);
    tag.InsertKey(k);
  }
  tag.ResetPages();
}

TEST(IndexCore, WalksEqualTheModelAcrossManyLevels) {
  for (bool keysByRecord : {true, false}) {
    MemTable table;
    MemIndexFile file(&table, keysByRecord);
    MemIndexTag* tag = file.AddTag(3);
    indexmodel::IndexModel model;
    std::mt19937 rng(11);
    for (int i = 1; i <= 400; ++i) {
      std::string key = std::to_string(rng() % 150);
      XBobjIndexKeyData k = Key(key, i);
      tag->InsertKey(k);
      model.Insert(key, i);
      if (i % 37 == 0) tag->ResetPages();  // some pages written midway
    }
    tag->ResetPages();
    EXPECT_EQ(indexmodel::CheckTree(tag->RootPosition(), MemReader(file), keysByRecord), "");
    std::vector<KeyRecord> forward = indexmodel::Walk(*tag, true);
    std::vector<KeyRecord> backward = indexmodel::Walk(*tag, false);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward);
    if (keysByRecord) {
      EXPECT_EQ(forward, model.Sorted());
    } else {
      // Equal keys keep their insertion order; compare as multisets per key.
      std::vector<KeyRecord> sorted = forward;
      std::sort(sorted.begin(), sorted.end());
      std::vector<KeyRecord> expected = model.Sorted();
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(sorted, expected);
    }
  }
}

TEST(IndexCore, SeeksFindExactOrPrefixKeys) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  const std::vector<std::string> keys = {"AB", "ABC", "ABD", "B", "BA", "C", "ABC"};
  Fill(table, *tag, static_cast<int>(keys.size()), [&](int i) { return keys[static_cast<std::size_t>(i - 1)]; });
  struct Case {
    std::string key;
    bool exact;
    int32_t result;      // record found, 0 none
    std::string landed;  // key the tag stands on afterwards ("" at EOF)
  };
  const Case cases[] = {
      {"AB", true, 1, "AB"},   {"ABC", true, 2, "ABC"}, {"ABC", false, 2, "ABC"},
      {"A", false, 1, "AB"},   {"A", true, 0, "AB"},    {"ABX", false, 0, "B"},
      {"BA", true, 5, "BA"},   {"D", false, 0, ""},     {"", false, 0, "AB"},
  };
  for (const Case& c : cases) {
    table.exact = c.exact;
    int32_t result = tag->FindKey(Key(c.key));
    EXPECT_EQ(result, c.result) << c.key << " exact " << c.exact;
    if (c.landed.empty())
      EXPECT_TRUE(tag->Eof()) << c.key;
    else
      EXPECT_EQ(Bytes(tag->CurrentKey()), c.landed) << c.key;
  }
  table.exact = true;
  EXPECT_EQ(tag->FindLastKey(Key("ABC")), 7);
  EXPECT_EQ(tag->FindLastKey(Key("AA")), 0);
  table.exact = false;
  EXPECT_EQ(tag->FindLastKey(Key("AB")), 3);  // ABD is the last key with prefix AB
}

TEST(IndexCore, LookupLeavesThePositionAsItWas) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  Fill(table, *tag, 50, [](int i) { return std::string(1, static_cast<char>('A' + i % 26)) + std::to_string(i); });
  tag->MoveTo(-3);
  for (int i = 0; i < 10; ++i) tag->MoveTo(-1);
  XBobjIndexKeyData before;
  before.AssignEntry(tag->CurrentKey());
  table.exact = true;
  EXPECT_EQ(tag->LookupKey(Key("Z25")), 25);
  EXPECT_EQ(Bytes(tag->CurrentKey()), Bytes(before));
  int32_t next = tag->MoveTo(-1);
  tag->MoveTo(-3);
  for (int i = 0; i < 11; ++i) tag->MoveTo(-1);
  EXPECT_EQ(next, tag->CurrentKey().RecordNumber);
}

TEST(IndexCore, RangesBoundSeeksAndMoves) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  const std::vector<std::string> keys = {"A1", "B1", "B2", "B3", "C1", "C2", "D1"};
  Fill(table, *tag, static_cast<int>(keys.size()), [&](int i) { return keys[static_cast<std::size_t>(i - 1)]; });
  auto text = [](const std::string& s) {
    TxbVariant v(0);
    v.SetText(s);
    return v;
  };
  TxbVariant low = text("B2");
  TxbVariant high = text("C");
  // Prefix high bound: C1 and C2 are inside.
  EXPECT_TRUE(tag->SetRange(&low, false, true, false, &high));
  std::vector<KeyRecord> inside = indexmodel::Walk(*tag, true);
  ASSERT_EQ(inside.size(), 4u);
  EXPECT_EQ(inside.front().first, "B2");
  EXPECT_EQ(inside.back().first, "C2");
  std::vector<KeyRecord> back = indexmodel::Walk(*tag, false);
  ASSERT_EQ(back.size(), 4u);
  EXPECT_EQ(back.front().first, "C2");
  // A seek for the low bound itself with IncludeLow off reports no match,
  // while moving from the top still stops on it.
  table.exact = true;
  EXPECT_EQ(tag->FindKey(Key("B2")), 0);
  EXPECT_EQ(tag->MoveTo(-3), 3);
  // Only IncludeLow changes: the bounds stay and the tag does not move.
  EXPECT_FALSE(tag->SetRange(&low, true, true, false, &high));
  EXPECT_EQ(tag->FindKey(Key("B2")), 3);
  // Beyond the high bound: EOF.
  EXPECT_EQ(tag->FindKey(Key("D1")), 0);
  EXPECT_TRUE(tag->Eof());
  // The same range again changes nothing.
  EXPECT_FALSE(tag->SetRange(&low, true, true, false, &high));
  // Exact high bound: only keys up to "C" itself, so none of C1, C2.
  EXPECT_TRUE(tag->SetRange(&low, true, false, false, &high));
  EXPECT_EQ(indexmodel::Walk(*tag, true).size(), 2u);
  // Open ends.
  TxbVariant open(0);
  EXPECT_TRUE(tag->SetRange(&open, true, true, true, &open));
  EXPECT_FALSE(tag->HasRange());
  EXPECT_EQ(indexmodel::Walk(*tag, true).size(), keys.size());
}

TEST(IndexCore, UniqueTagKeepsTheFirstKey) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  tag->SetUnique(true);
  XBobjIndexKeyData a = Key("K", 1);
  XBobjIndexKeyData b = Key("K", 2);
  EXPECT_TRUE(tag->InsertKey(a));
  EXPECT_FALSE(tag->InsertKey(b));
  tag->ResetPages();
  std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
  ASSERT_EQ(walk.size(), 1u);
  EXPECT_EQ(walk[0].second, 1);
}

TEST(IndexCore, EmptiedPagesLeaveTheTreeAndTheChains) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  Fill(table, *tag, 60, [](int i) { return std::to_string(1000 + i); });
  // Delete a run of keys in the middle: whole leaves empty out.
  table.exact = true;
  for (int i = 20; i <= 40; ++i) {
    ASSERT_EQ(tag->FindKey(Key(std::to_string(1000 + i), i)), i);
    tag->DeleteCurrentKey();
  }
  tag->ResetPages();
  EXPECT_FALSE(file.removed.empty());
  EXPECT_EQ(indexmodel::CheckTree(tag->RootPosition(), MemReader(file), true), "");
  std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
  EXPECT_EQ(walk.size(), 39u);
  // Deleting everything leaves an empty tree that takes keys again.
  tag->MoveTo(-3);
  while (!tag->Eof() && tag->CurrentKey().RecordNumber != 0 && tag->PagesLoaded()) {
    tag->MoveTo(-3);
    if (tag->Eof()) break;
    tag->DeleteCurrentKey();
  }
  tag->ResetPages();
  EXPECT_TRUE(indexmodel::Walk(*tag, true).empty());
  XBobjIndexKeyData again = Key("X", 1);
  tag->InsertKey(again);
  tag->ResetPages();
  EXPECT_EQ(indexmodel::Walk(*tag, true).size(), 1u);
}

TEST(IndexCore, RecordChangesFollowKeysAndForConditions) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  tag->SetHasFor(true);
  auto append = [&](const std::string& key, bool passes) {
    table.records.push_back({key, passes});
    table.current = static_cast<int32_t>(table.records.size());
    table.modified = true;
    return file.RecordChanged(table.current, true);
  };
  auto change = [&](int32_t n, const std::string& key, bool passes) {
    table.Read(n);
    table.records[static_cast<std::size_t>(n - 1)] = {key, passes};
    table.modified = true;
    return file.RecordChanged(n, false);
  };
  auto keys = [&]() {
    std::vector<KeyRecord> w = indexmodel::Walk(*tag, true);
    std::string s;
    for (auto& [k, r] : w) s += k + ":" + std::to_string(r) + " ";
    return s;
  };
  EXPECT_TRUE(append("M", true));
  EXPECT_FALSE(append("N", false));  // FOR fails: not indexed
  EXPECT_TRUE(append("A", true));
  EXPECT_EQ(keys(), "A:3 M:1 ");
  EXPECT_TRUE(change(1, "Z", true));  // key changed
  EXPECT_EQ(keys(), "A:3 Z:1 ");
  EXPECT_TRUE(change(2, "N", true));  // FOR turned true
  EXPECT_EQ(keys(), "A:3 N:2 Z:1 ");
  EXPECT_TRUE(change(3, "A", false));  // FOR turned false
  EXPECT_EQ(keys(), "N:2 Z:1 ");
  EXPECT_FALSE(change(1, "Z", true));  // nothing changed
  EXPECT_EQ(keys(), "N:2 Z:1 ");
}

TEST(IndexCore, RecordSearchWalksRunsOfEqualKeysWithoutKeysByRecord) {
  for (bool keysByRecord : {false, true}) {
    MemTable table;
    MemIndexFile file(&table, keysByRecord);
    MemIndexTag* tag = file.AddTag(3);
    for (int i = 1; i <= 6; ++i) {
      table.records.push_back({"SAME", true});
      table.current = i;
      table.modified = true;
      file.RecordChanged(i, true);
    }
    for (int32_t n : {4, 6}) {
      table.Read(n);
      table.records[static_cast<std::size_t>(n - 1)].key = "OTHER" + std::to_string(n);
      table.modified = true;
      EXPECT_TRUE(file.RecordChanged(n, false));
    }
    std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
    std::vector<int32_t> records;
    for (auto& kr : walk) records.push_back(kr.second);
    std::sort(records.begin(), records.end());
    EXPECT_EQ(records, (std::vector<int32_t>{1, 2, 3, 4, 5, 6})) << "keysByRecord " << keysByRecord;
    table.Read(5);
    EXPECT_EQ(tag->GoRecord(5), 5);
    EXPECT_EQ(tag->CurrentKey().RecordNumber, 5);
  }
}

TEST(IndexCore, DescendingKeysAndReversedMovesAgree) {
  // Descending keys stored descending, and ascending keys walked in reverse:
  // both give the largest key first.
  struct Variant {
    bool keysDescending;
    bool reverse;
  };
  for (Variant v : {Variant{true, false}, Variant{false, true}}) {
    MemTable table;
    MemIndexFile file(&table);
    MemIndexTag* tag = file.AddTag(3, v.keysDescending, v.reverse);
    Fill(table, *tag, 30, [](int i) { return std::to_string(100 + (i * 7) % 30); });
    std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
    ASSERT_EQ(walk.size(), 30u);
    for (std::size_t i = 1; i < walk.size(); ++i) EXPECT_GE(walk[i - 1].first, walk[i].first);
    EXPECT_EQ(tag->MoveTo(-1), 0);
    EXPECT_TRUE(tag->Eof());
    EXPECT_EQ(indexmodel::CheckTree(tag->RootPosition(), MemReader(file), true, v.keysDescending), "");
  }
}

// Every state a writer can leave by stopping between two of its writes
// (page, sibling link or header) while splits run several levels deep:
// the tree either holds every key written before plus some of the new ones,
// each once and in order, or the engine reports it as corrupt. Keys are
// distinct, so that formats without record order can tell a moved key from
// an equal one.
TEST(IndexCore, AWriterStoppedBetweenAnyTwoWritesLeavesTheOldKeysOrAReportedTree) {
  for (bool keysByRecord : {true, false}) {
    SCOPED_TRACE(keysByRecord ? "keys by record" : "keys in insertion order");
    MemTable table;
    MemIndexFile file(&table, keysByRecord);
    MemIndexTag* tag = file.AddTag(3);
    std::vector<int> numbers(300);
    for (int i = 0; i < 300; ++i) numbers[static_cast<std::size_t>(i)] = 1000 + i;
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(5));
    std::vector<KeyRecord> written;
    int reported = 0;
    for (std::size_t next = 0; next < numbers.size();) {
      const std::map<int32_t, memindex::MemPage> before = file.pages;
      const int32_t rootBefore = tag->RootPosition();
      const std::vector<KeyRecord> old = written;
      file.log.clear();
      // A batch of inserts with the path held, written at the end.
      for (std::size_t end = std::min(next + 25, numbers.size()); next < end; ++next) {
        const int32_t record = static_cast<int32_t>(next + 1);
        XBobjIndexKeyData k = Key(std::to_string(numbers[next]), record);
        tag->InsertKey(k);
        written.push_back({std::to_string(numbers[next]), record});
      }
      tag->ResetPages();
      std::sort(written.begin(), written.end());
      for (std::size_t stop = 0; stop < file.log.size(); ++stop) {
        MemIndexFile left(&table, keysByRecord);
        MemIndexTag* seen = left.AddTag(3);
        left.pages = before;
        int32_t root = rootBefore;
        for (std::size_t i = 0; i < stop; ++i) {
          const MemIndexFile::Write& w = file.log[i];
          if (w.position == 0)
            root = w.root;
          else
            left.pages[w.position] = w.page;
        }
        seen->SetRootPosition(root);
        std::vector<KeyRecord> walk;
        try {
          walk = indexmodel::Walk(*seen, true);
        } catch (const EXbaseError&) {
          ++reported;
          continue;
        }
        EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end())) << "stopped before write " << stop;
        // Without record order a separator equal to the next page's first
        // key is sound (equal keys span pages), so a stopped split whose
        // last moved key was already on the page can show that one entry
        // twice there; nothing is ever lost.
        if (keysByRecord) {
          EXPECT_TRUE(std::adjacent_find(walk.begin(), walk.end()) == walk.end()) << "stopped before write " << stop;
        }
        walk.erase(std::unique(walk.begin(), walk.end()), walk.end());
        EXPECT_TRUE(std::includes(walk.begin(), walk.end(), old.begin(), old.end())) << "stopped before write " << stop;
        EXPECT_TRUE(std::includes(written.begin(), written.end(), walk.begin(), walk.end()))
            << "stopped before write " << stop;
      }
    }
    EXPECT_EQ(indexmodel::Walk(*tag, true), written);
    EXPECT_EQ(indexmodel::CheckTree(tag->RootPosition(), MemReader(file), keysByRecord), "");
    // Splits were cut in half often enough to matter.
    EXPECT_GT(reported, 20);
  }
}

TEST(IndexCoreMalformed, LoopsAndDeepTreesAreReportedAsCorrupt) {
  MemTable table;
  MemIndexFile file(&table);
  MemIndexTag* tag = file.AddTag(3);
  Fill(table, *tag, 20, [](int i) { return std::to_string(100 + i); });
  // A chain of 70 single-entry branches above the real root.
  int32_t below = tag->RootPosition();
  for (int i = 0; i < 70; ++i) {
    memindex::MemPage branch;
    branch.leaf = false;
    XBobjIndexKeyData e = Key("999", 20);
    e.EntryTag = below;
    branch.entries.push_back(e);
    int32_t position = file.NewPage();
    file.pages[position] = branch;
    below = position;
  }
  MemIndexTag* deep = file.AddTag(3);
  deep->LoadRoot(2);  // root of an empty tag
  deep->ResetPages();
  // Point the second tag at the chain by hand.
  deep->SetRootPosition(below);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { deep->MoveTo(-3); }), "Index file MEM.IDX is corrupted");
  // A child that points back at its parent.
  memindex::MemPage loop;
  loop.leaf = false;
  int32_t self = file.NewPage();
  XBobjIndexKeyData e = Key("1", 1);
  e.EntryTag = self;
  loop.entries.push_back(e);
  file.pages[self] = loop;
  deep->SetRootPosition(self);
  deep->DiscardPages();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { deep->MoveTo(-3); }), "Index file MEM.IDX is corrupted");
}

}  // namespace

TEST(IndexModel, ASeparatorAboveItsPagesLastKeyIsLooseOnlyWhileTheNextPageStaysAboveIt) {
  // A root over two leaves "B", "D" and "F", "H"; the first separator varies.
  struct Case {
    std::string separator;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"D", ""},
      {"E", "separator for 2 lies above its last key"},
      {"F", "separator for 2 lies above its last key"},
      {"C", "separator for 2 differs from its last key"},
      {"G", "separator for 2 differs from its last key"},
  };
  for (const Case& c : cases) {
    std::map<int32_t, indexmodel::CheckNode> nodes;
    auto leaf = [&](int32_t position, std::vector<std::string> keys, int32_t firstRecord) {
      indexmodel::CheckNode node;
      node.leaf = true;
      for (const std::string& k : keys) node.entries.push_back(Key(k, firstRecord++));
      nodes[position] = node;
    };
    leaf(2, {"B", "D"}, 1);
    leaf(3, {"F", "H"}, 3);
    indexmodel::CheckNode root;
    root.leaf = false;
    XBobjIndexKeyData first = Key(c.separator, c.separator == "D" ? 2 : 9);
    first.EntryTag = 2;
    XBobjIndexKeyData second = Key("H", 4);
    second.EntryTag = 3;
    root.entries = {first, second};
    nodes[1] = root;
    indexmodel::NodeReader read = [&](int32_t position) { return nodes.at(position); };
    EXPECT_EQ(indexmodel::CheckTree(1, read, false, false, false), c.expected) << c.separator;
  }
}
