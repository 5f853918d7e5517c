// Indexes: key search by scan and by bisection, the order of equal keys,
// unique indexes, maintenance on insert/edit/delete, index filters, removal,
// deletes that reach every index, and sorting under inconsistent orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_compare.h"
#include "memtable/tests/memtable_test_support.h"

namespace {

using mttest::ExpectError;
using mttest::Names;

void AddRow(TmtMemTable& t, const char* name, int num) {
  t.Append();
  t.FieldByName("NAME")->SetAsString(name);
  t.FieldByName("NUM")->SetAsInteger(num);
  t.Post();
}

struct NameNumTable {
  explicit NameNumTable(TIndexOptions options = {}, const char* fields = "NAME") {
    t.FieldDefs().Add("NAME", ftString, 10);
    t.FieldDefs().Add("NUM", ftInteger);
    t.IndexDefs().Add("IX", fields, options);
    t.Open();
  }
  TmtIndex* Index() { return t.Indexes().FindByName("IX"); }
  TmtMemTable t;
};

TEST(Indexes, KeySearchFindsTheFirstOfEqualKeysByScanAndByBisection) {
  for (int count : {20, 21, 200}) {
    NameNumTable f;
    for (int i = 0; i < count; ++i)
      AddRow(f.t, i % 4 == 1 ? "P" : ("N" + std::to_string(i)).c_str(), i);
    f.t.SetIndexName("IX");
    ASSERT_TRUE(f.Index()->Sorted());
    ASSERT_TRUE(f.t.SeekKeyValues({Variant("P")})) << count;
    EXPECT_EQ(f.t.FieldByName("NUM")->AsInteger(), 1) << count;  // first in slot order
    f.t.Prior();
    EXPECT_NE(f.t.FieldByName("NAME")->AsString(), "P") << count;
    EXPECT_FALSE(f.t.SeekKeyValues({Variant("PA")})) << count;
  }
}

TEST(Indexes, EqualKeysStandInSlotOrderReversedWhenDescending) {
  for (bool descending : {false, true}) {
    TIndexOptions options;
    if (descending) options.Include(ixDescending);
    NameNumTable f(options);
    for (int i = 0; i < 6; ++i) AddRow(f.t, i % 2 ? "B" : "A", i);
    f.Index()->Rebuild();
    f.t.SetIndexName("IX");
    std::vector<std::string> nums = Names(f.t, "NUM");
    EXPECT_EQ(nums, descending ? (std::vector<std::string>{"5", "3", "1", "4", "2", "0"})
                               : (std::vector<std::string>{"0", "2", "4", "1", "3", "5"}));
  }
}

TEST(Indexes, UniqueIndexesRefuseDuplicates) {
  NameNumTable f({ixUnique});
  AddRow(f.t, "A", 1);
  AddRow(f.t, "B", 2);
  // A second A is refused before it is stored; the insert stays open.
  f.t.Append();
  f.t.FieldByName("NAME")->SetAsString("A");
  ExpectError<EMemTableError>([&] { f.t.Post(); }, "Duplicate index value. Operation aborted.");
  EXPECT_EQ(f.t.State(), dsInsert);
  f.t.Cancel();
  // An edit that keeps its own key is no duplicate; taking another's is.
  f.t.First();
  f.t.Edit();
  f.t.FieldByName("NUM")->SetAsInteger(10);
  f.t.Post();
  f.t.Edit();
  f.t.FieldByName("NAME")->SetAsString("B");
  ExpectError<EMemTableError>([&] { f.t.Post(); }, "Duplicate index value. Operation aborted.");
  f.t.Cancel();
  // Rebuilding a unique index over duplicates fails.
  NameNumTable g;
  AddRow(g.t, "A", 1);
  AddRow(g.t, "A", 2);
  g.t.IndexDefs().Add("U", "NAME", {ixUnique});
  ExpectError<EMemTableError>([&] { g.t.CheckIndexDefinitions(); },
                              "Duplicate index value. Operation aborted.");
}

TEST(Indexes, MaintenanceFollowsInsertsEditsAndDeletes) {
  NameNumTable f;
  for (const char* n : {"D", "B", "F"}) AddRow(f.t, n, 0);
  f.t.SetIndexName("IX");
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"B", "D", "F"}));
  // An edit moves the entry; the cursor follows the record.
  f.t.First();
  f.t.Edit();
  f.t.FieldByName("NAME")->SetAsString("E");
  f.t.Post();
  EXPECT_EQ(f.t.FieldByName("NAME")->AsString(), "E");
  EXPECT_EQ(f.t.RecNo(), 2);
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"D", "E", "F"}));
  // Row order: an insert goes where it began, an append to the end.
  f.t.SetIndexName("");
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"D", "E", "F"}));
  f.t.First();
  f.t.Next();  // on E, record number 2
  f.t.Insert();
  f.t.FieldByName("NAME")->SetAsString("C");
  f.t.Post();
  EXPECT_EQ(f.t.FieldByName("NAME")->AsString(), "C");
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"D", "C", "E", "F"}));
  f.t.SetIndexName("IX");
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"C", "D", "E", "F"}));
  f.t.First();
  f.t.Delete();
  EXPECT_EQ(f.t.FieldByName("NAME")->AsString(), "D");
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"D", "E", "F"}));
  f.t.SetIndexName("");
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"D", "E", "F"}));
  // Without maintenance new records wait; switching it on brings them in.
  f.t.SetIndexName("IX");
  f.t.SetEnableIndexes(false);
  AddRow(f.t, "A", 0);
  EXPECT_FALSE(f.Index()->Sorted());
  f.t.SetEnableIndexes(true);
  EXPECT_EQ(Names(f.t, "NAME"), (std::vector<std::string>{"A", "D", "E", "F"}));
}

TEST(Indexes, IndexFilterLimitsEntriesAndRemovalRenumbers) {
  TmtMemTable t;
  t.FieldDefs().Add("NAME", ftString, 10);
  t.FieldDefs().Add("NUM", ftInteger);
  t.IndexDefs().Add("A", "NAME", {});
  t.IndexDefs().Add("B", "NUM", {});
  t.IndexDefs().Add("C", "NUM:D", {});
  t.OnFilterIndex = [&](TDataSet*, TmtIndex* index, bool& accept) {
    if (index->Name() == "B") accept = t.FieldByName("NUM")->AsInteger() % 2 == 1;
  };
  t.Open();
  for (int i = 0; i < 6; ++i) AddRow(t, "X", i);
  t.SetIndexName("B");
  EXPECT_EQ(Names(t, "NUM"), (std::vector<std::string>{"1", "3", "5"}));
  EXPECT_EQ(t.Indexes().FindByName("c")->Number(), 3);
  t.Indexes().Remove(t.Indexes().FindByName("B"));
  EXPECT_EQ(t.Indexes().FindByName("C")->Number(), 2);
  EXPECT_EQ(t.CurrentIndex(), t.Indexes().RowOrderIndex());
  EXPECT_EQ(t.Indexes().FindByFieldNames("num:d"), t.Indexes().FindByName("C"));
  EXPECT_EQ(Names(t, "NUM"), (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
}

// Every entry of every index of the table is a record the store holds.
void ExpectEntriesStored(TmtMemTable& t) {
  std::set<PMemRecord> stored;
  for (int slot = 0; slot < t.Store()->RecordCount(); ++slot)
    if (PMemRecord r = t.Store()->Record(slot)) stored.insert(r);
  for (int i = 0; i < t.Indexes().Count(); ++i) {
    TmtIndex* index = t.Indexes().Items(i);
    for (int k = 0; k < index->Entries().Count(); ++k)
      EXPECT_TRUE(stored.count(index->Entries().At(k))) << index->Name() << " entry " << k;
  }
}

TEST(Indexes, DeletedRecordsLeaveEveryIndex) {
  TmtMemTable t;
  t.FieldDefs().Add("NAME", ftString, 10);
  t.FieldDefs().Add("NUM", ftInteger);
  t.IndexDefs().Add("KEPT", "NUM", {});
  t.IndexDefs().Add("LOOSE", "NUM", {ixNonMaintained});
  t.IndexDefs().Add("OFF", "NAME", {});
  t.IndexDefs().Add("ODD", "NUM:D", {});
  t.OnFilterIndex = [&](TDataSet*, TmtIndex* index, bool& accept) {
    if (index->Name() == "ODD") accept = t.FieldByName("NUM")->AsInteger() % 2 == 1;
  };
  t.Open();
  for (int i = 0; i < 12; ++i) AddRow(t, ("R" + std::to_string(i)).c_str(), i);
  t.Indexes().FindByName("OFF")->SetEnabled(false);
  for (int target : {0, 3, 4, 7, 11}) {
    t.SetIndexName("KEPT");
    ASSERT_TRUE(t.SeekKeyValues({Variant(target)}));
    t.Delete();
    ExpectEntriesStored(t);
  }
  for (const char* name : {"KEPT", "LOOSE", "OFF", "ODD", ""}) {
    t.SetIndexName(name);
    for (t.First(); !t.Eof(); t.Next()) EXPECT_FALSE(t.FieldByName("NAME")->IsNull());
  }
  t.Close();
  t.Open();
  EXPECT_EQ(t.RecordCount(), 0);
  for (int i = 0; i < 3; ++i) AddRow(t, "X", i);
  EXPECT_EQ(Names(t, "NUM"), (std::vector<std::string>{"0", "1", "2"}));
}

// Random records with nulls, NaN and shared prefixes under field lists
// with search-only options, and a comparison event that answers at random.
TEST(Indexes, SortingStaysInsideTheListUnderAnyOrder) {
  std::mt19937 rng(20261209);
  const char* prefixes[] = {"A", "AB", "ABC", "ABD", "B", "BA"};
  for (int round = 0; round < 4; ++round) {
    TmtMemTable t;
    t.FieldDefs().Add("NAME", ftString, 8);
    t.FieldDefs().Add("NUM", ftFloat);
    t.IndexDefs().Add("NN", "NAME:N;NUM", {});
    t.IndexDefs().Add("NP", "NAME:P", {});
    t.IndexDefs().Add("NDN", "NAME:DN", {});
    t.IndexDefs().Add("WILD", "NUM", {});
    t.Open();
    int rows = 50 + round * 60;
    for (int i = 0; i < rows; ++i) {
      t.Append();
      if (rng() % 5) t.FieldByName("NAME")->SetAsString(prefixes[rng() % 6]);
      switch (rng() % 4) {
        case 0: break;  // null
        case 1: t.FieldByName("NUM")->SetAsFloat(static_cast<double>(rng() % 7)); break;
        default: {
          double nan = std::numeric_limits<double>::quiet_NaN();
          unsigned char bytes[8];
          std::memcpy(bytes, &nan, 8);
          t.FieldByName("NUM")->SetData(bytes);
          break;
        }
      }
      t.Post();
    }
    std::set<PMemRecord> all;
    for (int slot = 0; slot < t.Store()->RecordCount(); ++slot) all.insert(t.Store()->Record(slot));
    for (const char* name : {"NN", "NP", "NDN"}) {
      TmtIndex* index = t.Indexes().FindByName(name);
      index->Rebuild();
      std::vector<PMemRecord> entries = index->Entries().ToVector();
      EXPECT_EQ(std::set<PMemRecord>(entries.begin(), entries.end()), all) << name;
      for (std::size_t k = 1; k < entries.size(); ++k) {
        int r = IndexCompare(&t, index->FieldList(), entries[k - 1], entries[k], false, true,
                             CompareUse::Order);
        EXPECT_LT(r, 0) << name << " at " << k;
      }
      // Every stored key is found again.
      t.SetIndexName(name);
      for (PMemRecord record : entries) {
        Variant key = Variant::Null();
        const char* bytes;
        int length;
        std::string scratch;
        if (t.Store()->ValueBytes(record, t.FieldByName("NAME"), bytes, length, scratch))
          key = Variant(std::string_view(bytes, static_cast<std::size_t>(length)));
        std::vector<Variant> values{key};
        if (std::string(name) == "NN") {
          const char* nb = nullptr;
          int nl = 0;
          std::string ns;
          double d = 0;
          const bool present = t.Store()->ValueBytes(record, t.FieldByName("NUM"), nb, nl, ns);
          if (present) std::memcpy(&d, nb, 8);
          values.emplace_back(present ? Variant(d) : Variant::Null());
        }
        EXPECT_TRUE(t.SeekKeyValues(values))
            << name << " key " << (key.IsNull() ? "null" : key.AsString().c_str()) << " of "
            << values.size();
      }
    }
    t.OnCompareFields = [&](TDataSet*, const void*, const void*, TFieldType,
                            TmtMemTableCompareOptions, bool&, int& result) {
      result = static_cast<int>(rng() % 3) - 1;
    };
    TmtIndex* wild = t.Indexes().FindByName("WILD");
    wild->Rebuild();
    std::vector<PMemRecord> entries = wild->Entries().ToVector();
    EXPECT_EQ(std::set<PMemRecord>(entries.begin(), entries.end()), all);
    EXPECT_EQ(entries.size(), all.size());
  }
}

}  // namespace
