// What a table shows: ranges on the current index, master/detail against a
// dataset of another kind and against another in-memory table, the status
// filter and deleted versions, and counting under those tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memtable/mem_table.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/db/datasource.h"
#include "platform/db/db_errors.h"
#include "platform/db/testing/vector_dataset.h"

namespace {

using mttest::ExpectError;
using mttest::Names;
using Strings = std::vector<std::string>;

void Fill(TmtMemTable& t, const std::vector<std::pair<int, const char*>>& rows) {
  for (const auto& [num, name] : rows) {
    t.Append();
    t.FieldByName("NUM")->SetAsInteger(num);
    t.FieldByName("NAME")->SetAsString(name);
    t.Post();
  }
}

void Define(TmtMemTable& t) {
  t.FieldDefs().Add("NUM", ftInteger);
  t.FieldDefs().Add("NAME", ftString, 10);
  t.IndexDefs().Add("BYNUM", "NUM", {});
}

TEST(MemTableAcceptance, RangeOnTheCurrentIndexWithOpenEnds) {
  TmtMemTable t;
  Define(t);
  t.Open();
  Fill(t, {{5, "e"}, {1, "a"}, {3, "c"}, {2, "b"}, {4, "d"}});
  t.SetIndexName("BYNUM");
  TField* num = t.FieldByName("NUM");
  struct Row {
    Variant from, to;
    Strings shown;
  } rows[] = {
      {Variant(2), Variant(4), {"b", "c", "d"}},
      {Variant::Null(), Variant(2), {"a", "b"}},  // a null bound does not restrict
      {Variant(4), Variant::Null(), {"d", "e"}},
      {Variant(6), Variant(9), {}},
  };
  for (const Row& r : rows) {
    t.WriteFieldFromVariant(t.SelectKeyBuffer(1, true), num, r.from);
    t.WriteFieldFromVariant(t.SelectKeyBuffer(2, true), num, r.to);
    t.SetRangeActiveForTesting(true);
    t.First();
    EXPECT_EQ(Names(t, "NAME"), r.shown);
    EXPECT_EQ(t.RecordCount(), static_cast<int>(r.shown.size()));
  }
  t.WriteFieldFromVariant(t.SelectKeyBuffer(1, true), num, Variant(2));
  t.WriteFieldFromVariant(t.SelectKeyBuffer(2, true), num, Variant(4));
  t.First();
  t.Next();
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "c");
  EXPECT_EQ(t.RecNo(), 3);  // the position in the index, hidden records counted
  t.DropRange();
  EXPECT_FALSE(t.RangeActive());
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "c");  // stays on its record
  EXPECT_EQ(t.RecordCount(), 5);
}

TEST(MemTableAcceptance, DetailFollowsAVectorMaster) {
  VectorDataSet master;
  master.FieldDefs().Add("ID", ftInteger);
  master.AddRow({Variant(1)});
  master.AddRow({Variant(2)});
  master.AddRow({Variant(3)});
  master.Open();
  TDataSource source(nullptr);
  source.SetDataSet(&master);

  TmtMemTable detail;
  Define(detail);
  detail.Open();
  Fill(detail, {{1, "a1"}, {2, "b1"}, {1, "a2"}, {2, "b2"}});
  detail.SetDetailFields("NUM");
  detail.SetMasterFields("ID");
  detail.SetMasterSource(&source);
  EXPECT_EQ(Names(detail, "NAME"), (Strings{"a1", "a2"}));
  master.Next();
  EXPECT_EQ(Names(detail, "NAME"), (Strings{"b1", "b2"}));
  EXPECT_EQ(detail.RecordCount(), 2);
  master.Next();  // no detail records
  EXPECT_EQ(Names(detail, "NAME"), Strings{});
  detail.Append();  // a new detail record takes the master's value
  EXPECT_EQ(detail.FieldByName("NUM")->AsInteger(), 3);
  detail.FieldByName("NAME")->SetAsString("c1");
  detail.Post();
  EXPECT_EQ(Names(detail, "NAME"), (Strings{"c1"}));
  master.Close();  // a disabled link shows everything
  EXPECT_EQ(detail.RecordCount(), 5);
}

TEST(MemTableAcceptance, DetailFollowsAnInMemoryMaster) {
  TmtMemTable master;
  master.FieldDefs().Add("ID", ftInteger);
  master.FieldDefs().Add("LABEL", ftString, 5);
  master.Open();
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  TmtMemTable detail;
  Define(detail);
  detail.Open();
  Fill(detail, {{1, "x"}, {2, "y"}, {2, "z"}});
  detail.SetIndexName("BYNUM");  // no detail list: the index fields take the values
  detail.SetMasterFields("ID");
  detail.SetMasterSource(&source);
  EXPECT_EQ(detail.RecordCount(), 0);  // an empty master shows nothing
  for (int id : {1, 2}) {
    master.Append();
    master.FieldByName("ID")->SetAsInteger(id);
    master.Post();
  }
  EXPECT_EQ(Names(detail, "NAME"), (Strings{"y", "z"}));
  master.First();
  EXPECT_EQ(Names(detail, "NAME"), (Strings{"x"}));

  TDataSource self(nullptr);
  self.SetDataSet(&detail);
  ExpectError<EDatabaseError>([&] { detail.SetMasterSource(&self); },
                              "Selfreferencing master/detail relations not allowed.");
  ExpectError<EDatabaseError>([&] { master.SetMasterSource(&self); }, "Circular datalinks are not allowed");
  detail.SetMasterSource(nullptr);
  EXPECT_EQ(detail.RecordCount(), 3);
}

TEST(MemTableAcceptance, StatusFilterAndHiddenDeletedVersions) {
  TmtMemTable t;
  Define(t);
  t.SetEnableVersioning(true);
  t.Open();
  Fill(t, {{1, "a"}, {2, "b"}, {3, "c"}});
  t.First();
  t.Next();
  t.Delete();
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "c"}));
  EXPECT_EQ(t.RecordCount(), 2);
  t.SetStatusFilterForTesting({usDeleted});
  t.First();
  EXPECT_EQ(Names(t, "NAME"), (Strings{"b"}));
  t.SetStatusFilterForTesting({usInserted, usDeleted});
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "b", "c"}));
  t.SetStatusFilterForTesting({});
  EXPECT_EQ(Names(t, "NAME"), (Strings{"a", "c"}));
}

}  // namespace
