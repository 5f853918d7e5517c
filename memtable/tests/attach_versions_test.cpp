// Versions and nested transactions: rollback and commit at every level,
// the store's bookkeeping, and bookmarks across a rollback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"

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
