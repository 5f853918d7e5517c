// Versions and nested transactions: rollback and commit at every level,
// the store's bookkeeping, and bookmarks across a rollback.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/db/fields.h"
#include "platform/rtl/system.h"

namespace {

using mttest::ExpectError;
using mttest::Names;
using Strings = std::vector<std::string>;

class Versioned : public ::testing::Test {
 protected:
  void SetUp() override {
    t.FieldDefs().Add("NAME", ftString, 10);
    t.SetEnableVersioning(true);
    t.SetVersioningMode(mtvmAllSinceCheckPoint);
    t.Open();
    for (const char* n : {"a", "b", "c"}) {
      t.Append();
      t.FieldByName("NAME")->SetAsString(n);
      t.Post();
    }
    t.Commit();  // nothing open: no effect
  }
  void Rename(const char* from, const char* to) {
    ASSERT_TRUE(t.Locate("NAME", Variant(from), {}));
    t.Edit();
    t.FieldByName("NAME")->SetAsString(to);
    t.Post();
  }
  TmtMemTable t;
};

TEST_F(Versioned, RollbackRestoresEditsInsertsAndDeletes) {
  t.StartTransaction();
  Rename("a", "a1");
  Rename("a1", "a2");
  t.Append();
  t.FieldByName("NAME")->SetAsString("new");
  t.Post();
  TBookmark inserted = t.GetBookmark();
  ASSERT_TRUE(t.Locate("NAME", Variant("b"), {}));
  TBookmark kept = t.GetBookmark();
  ASSERT_TRUE(t.Locate("NAME", Variant("c"), {}));
  t.Delete();
  EXPECT_EQ(t.Store()->DeletedVersionCount(), 1);
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a2", "b", "new"}));
  t.Rollback();
  EXPECT_EQ(t.TransactionLevel(), 0);
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "b", "c"}));
  EXPECT_EQ(t.Store()->DeletedVersionCount(), 0);
  EXPECT_TRUE(t.BookmarkValid(kept));
  EXPECT_FALSE(t.BookmarkValid(inserted));
  // The emptied slot is reused by the next record.
  t.Append();
  t.FieldByName("NAME")->SetAsString("d");
  t.Post();
  EXPECT_EQ(t.Store()->RecordCount(), 4);
}

TEST_F(Versioned, NestedCommitKeepsWhatAnOuterRollbackNeeds) {
  t.StartTransaction();
  Rename("a", "a1");
  t.StartTransaction();
  Rename("a1", "a2");
  Rename("a2", "a3");
  t.Commit();
  EXPECT_EQ(t.TransactionLevel(), 1);
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a3", "b", "c"}));
  t.Rollback();
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "b", "c"}));

  t.StartTransaction();
  ASSERT_TRUE(t.Locate("NAME", Variant("b"), {}));
  t.Delete();
  t.Commit();
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "c"}));  // stays hidden
  EXPECT_EQ(t.Store()->DeletedVersionCount(), 1);
}

TEST(MemTableVersions, TransactionsNeedMultiversionVersioning) {
  TmtMemTable t;
  t.FieldDefs().Add("NAME", ftString, 10);
  t.Open();
  ExpectError<EMemTableError>([&] { t.StartTransaction(); }, "Transactioning requires multiversion versioning.");
  t.SetEnableVersioning(true);
  ExpectError<EMemTableError>([&] { t.StartTransaction(); }, "Transactioning requires multiversion versioning.");
}

}  // namespace

namespace {

TEST(MemTableAttach, AttachedTablesShareTheStore) {
  TmtMemTable a;
  a.FieldDefs().Add("NAME", ftString, 10);
  a.FieldDefs().Add("AMOUNT", ftFloat);
  for (int i = 0; i < a.FieldDefs().Count(); ++i) a.FieldDefs().Items(i)->CreateField(&a, &a);
  a.FieldByName("AMOUNT")->SetDisplayLabel(Cz("Částka"));
  static_cast<TFloatField*>(a.FieldByName("AMOUNT"))->SetCurrency(true);
  a.FieldByName("NAME")->SetReadOnly(false);
  TmtMemTable b;
  ExpectError<EMemTableError>([&] { b.SetAttachedTo(&b); }, "Cant attach memorytable to it self.");
  int setups = 0;
  b.OnSetupFieldProperties = [&](TDataSet*, TField*) { ++setups; };
  b.SetAttachedTo(&a);
  EXPECT_EQ(setups, 2);
  ASSERT_NE(b.FindField("AMOUNT"), nullptr);
  EXPECT_EQ(b.FieldByName("AMOUNT")->DisplayLabel(), Cz("Částka"));
  EXPECT_TRUE(static_cast<TFloatField*>(b.FieldByName("AMOUNT"))->Currency());
  a.Open();
  b.Open();
  a.Append();
  a.FieldByName("NAME")->SetAsString("x");
  a.Post();
  EXPECT_EQ(Names(b, "NAME"), (Strings{"x"}));  // refreshed after the owner's post
  b.Append();
  b.FieldByName("NAME")->SetAsString("y");
  b.Post();
  EXPECT_EQ(Names(a, "NAME"), (Strings{"x", "y"}));

  TmtMemTable c;
  ExpectError<EMemTableError>([&] { c.SetAttachedTo(&b); }, "Cant attach to another table which itself is an attachment.");
  a.Close();  // closing the owner closes its attachments
  EXPECT_FALSE(b.Active());
  b.SetAttachedTo(nullptr);  // detached: a store of its own, empty
  EXPECT_EQ(b.AttachedTo(), nullptr);
  b.Open();
  EXPECT_EQ(b.RecordCount(), 0);
}

// A table on the store that is closed while another deletes (and reuses
// the freed slots) must reopen with exactly the records there are, in every
// index, without an entry left for a dropped record.
TEST(MemTableAttach, ATableClosedDuringDeletesReopensConsistent) {
  TmtMemTable a;
  a.FieldDefs().Add("NAME", ftString, 10);
  a.IndexDefs().Add("BYNAME", "NAME", {ixDescending});
  TmtMemTable b;
  b.SetAttachedTo(&a);
  b.IndexDefs().Add("BYNAME", "NAME", {});
  a.Open();
  b.Open();
  auto add = [&](const std::string& name) {
    a.Append();
    a.FieldByName("NAME")->SetAsString(name);
    a.Post();
  };
  for (int i = 0; i < 10; ++i) add("r" + std::to_string(i));
  b.SetIndexName("BYNAME");
  ASSERT_TRUE(b.Locate("NAME", Variant("r5"), {}));
  auto drop = [&](const char* name) {
    ASSERT_TRUE(a.Locate("NAME", Variant(name), {}));
    a.Delete();
  };
  drop("r1");
  drop("r5");  // b's current record
  b.Close();
  drop("r2");
  drop("r8");
  add("n1");  // takes a freed slot
  drop("r0");
  b.Open();
  const Strings expected{"n1", "r3", "r4", "r6", "r7", "r9"};
  Strings rows = Names(b, "NAME");
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(b.RecordCount(), 6);
  b.SetIndexName("BYNAME");
  EXPECT_EQ(Names(b, "NAME"), expected);
  for (int i = 0; i < 3; ++i) add("m" + std::to_string(i));  // the reopened table follows again
  EXPECT_EQ(b.RecordCount(), 9);
  b.SetIndexName("");
  EXPECT_EQ(Names(b, "NAME").size(), 9u);
}

TEST(MemTableAttach, AFullAttachListOnAnOpenOwnerIsRefused) {
  TmtMemTable a;
  a.FieldDefs().Add("NAME", ftString, 10);
  a.SetAttachMaxCount(1);
  a.Open();
  TmtMemTable b;
  b.FieldDefs().Add("NAME", ftString, 10);
  ExpectError<EMemTableError>([&] { b.SetAttachedTo(&a); }, "Table must be closed for this operation.");
  EXPECT_EQ(b.AttachedTo(), nullptr);
  b.Open();  // its own store still works
  b.Append();
  b.FieldByName("NAME")->SetAsString("own");
  b.Post();
  EXPECT_EQ(b.RecordCount(), 1);
}

}  // namespace

#include <atomic>
#include <set>
#include <thread>

namespace {

// Two tables on one store append from two threads while a third walks and
// seeks; the store's lock keeps every record and index whole.
TEST(MemTableAttach, ThreadsAppendThroughAttachedTables) {
  constexpr int kPerThread = 10000;
  TmtMemTable owner;
  owner.FieldDefs().Add("N", ftInteger);
  owner.IndexDefs().Add("BYN", "N", {});
  owner.SetAttachMaxCount(4);
  TmtMemTable a, b, reader;
  for (TmtMemTable* t : {&a, &b, &reader}) {
    t->SetAttachedTo(&owner);
    t->SetAttachedAutoRefresh(false);  // each table belongs to its own thread
  }
  owner.SetAttachedAutoRefresh(false);
  owner.Open();
  for (TmtMemTable* t : {&a, &b, &reader}) t->Open();
  std::atomic<int> done{0};
  auto append = [&](TmtMemTable* t, int base) {
    for (int i = 0; i < kPerThread; ++i) {
      t->Append();
      t->FieldByName("N")->SetAsInteger(base + i);
      t->Post();
    }
    ++done;
  };
  std::thread first(append, &a, 0);
  std::thread second(append, &b, kPerThread);
  std::thread walker([&] {
    while (done < 2) {
      reader.Refresh();
      for (reader.First(); !reader.Eof(); reader.Next()) {
      }
      reader.Locate("N", Variant(5), {});
    }
  });
  first.join();
  second.join();
  walker.join();
  owner.Refresh();
  EXPECT_EQ(owner.RecordCount(), 2 * kPerThread);
  std::set<int32_t> unique;
  for (int slot = 0; slot < owner.Store()->RecordCount(); ++slot)
    if (PMemRecord r = owner.Store()->Record(slot)) unique.insert(r->uniqueNumber);
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(2 * kPerThread));
  owner.SetIndexName("BYN");
  int expected = 0;
  bool ordered = true;
  for (owner.First(); !owner.Eof(); owner.Next()) ordered = ordered && owner.FieldByName("N")->AsInteger() == expected++;
  EXPECT_TRUE(ordered);
}

}  // namespace
