// The in-memory table as a dataset: open/close cycles, the edit protocol and
// its refusals, index choice, record numbers, bookmarks, auto-increment and
// defaults, and variant writes of keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/db/datasource.h"

namespace {

using mttest::Names;
using mttest::ExpectError;

TEST(MemTable, KeyedTotalsRoadOfTheBreakdownReport) {
  TmtMemTable t;
  t.FieldDefs().Add("SES_TYP", ftString, 3);
  t.FieldDefs().Add("SES_SUM", ftFloat);
  t.IndexDefs().Add("TYP", "SES_TYP", {ixPrimary, ixUnique});
  t.SetIndexName("TYP");
  t.Open();
  t.ClearAllRecords();
  t.SetIndexName("TYP");
  EXPECT_EQ(t.IndexName(), "TYP");
  struct Row {
    const char* typ;
    double amount;
  } rows[] = {{"B", 1}, {"A", 2}, {"C", 3}, {"A", 4}, {"B", 5}};
  for (const Row& r : rows) {
    if (t.SeekKeyValues({Variant(r.typ)})) {
      t.Edit();
      t.FieldByName("SES_SUM")->SetAsFloat(t.FieldByName("SES_SUM")->AsFloat() + r.amount);
    } else {
      t.Append();
      t.FieldByName("SES_TYP")->SetAsString(r.typ);
      t.FieldByName("SES_SUM")->SetAsFloat(r.amount);
    }
    t.Post();
  }
  EXPECT_EQ(t.RecordCount(), 3);
  std::vector<std::string> walk;
  for (t.First(); !t.Eof(); t.Next())
    walk.push_back(t.FieldByName("SES_TYP")->AsString() + "=" +
                   std::to_string(static_cast<int>(t.FieldByName("SES_SUM")->AsFloat())));
  EXPECT_EQ(walk, (std::vector<std::string>{"A=6", "B=6", "C=3"}));
  t.Close();
  EXPECT_FALSE(t.Active());
  t.Open();
  EXPECT_EQ(t.RecordCount(), 0);
}

void AddRow(TmtMemTable& t, const char* name, int num) {
  t.Append();
  t.FieldByName("NAME")->SetAsString(name);
  t.FieldByName("NUM")->SetAsInteger(num);
  t.Post();
}

void MakeNameNum(TmtMemTable& t) {
  t.FieldDefs().Add("NAME", ftString, 10);
  t.FieldDefs().Add("NUM", ftInteger);
}

TEST(MemTable, OpenCloseCyclesAndPersistentFieldsRebuildDefinitions) {
  TmtMemTable t;
  std::vector<std::string> events;
  t.BeforeOpen = [&](TDataSet*) { events.push_back("BeforeOpen"); };
  t.AfterOpen = [&](TDataSet*) { events.push_back("AfterOpen"); };
  t.BeforeClose = [&](TDataSet*) { events.push_back("BeforeClose"); };
  t.AfterClose = [&](TDataSet*) { events.push_back("AfterClose"); };
  t.FieldDefs().Add("A", ftString, 5);  // one definition ...
  auto* a = new TStringField(&t);      // ... but the fields decide
  a->SetFieldName("A");
  a->SetSize(5);
  a->SetDataSet(&t);
  auto* b = new TIntegerField(&t);
  b->SetFieldName("B");
  b->SetDataSet(&t);
  for (int cycle = 0; cycle < 3; ++cycle) {
    t.Open();
    EXPECT_EQ(t.FieldDefs().Count(), 2);
    t.Append();
    b->SetAsInteger(cycle);
    t.Edit();  // already inserting: nothing
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);
    t.Close();
    ExpectError<EDatabaseError>([&] { (void)t.RecordCount(); },
                                "Cannot perform this operation on a closed dataset");
  }
  EXPECT_EQ(events.size(), 12u);
  EXPECT_EQ(events[0], "BeforeOpen");
  EXPECT_EQ(events[3], "AfterClose");
  // A pending insert is cancelled before the close event sees the table.
  t.Open();
  t.Append();
  b->SetAsInteger(5);
  t.BeforeClose = [&](TDataSet* ds) { EXPECT_EQ(ds->State(), dsBrowse); };
  t.Close();
}

TEST(MemTable, StatesEventsAndRefusals) {
  TmtMemTable t;
  MakeNameNum(t);
  t.Open();
  TField* name = t.FieldByName("NAME");
  std::vector<std::string> events;
  for (auto* e : {&t.BeforeInsert, &t.AfterInsert, &t.BeforePost, &t.AfterPost, &t.BeforeEdit,
                  &t.AfterEdit, &t.BeforeCancel, &t.AfterCancel, &t.BeforeDelete,
                  &t.AfterDelete}) {
    std::string label = e == &t.BeforeInsert ? "BI" : e == &t.AfterInsert ? "AI"
                      : e == &t.BeforePost ? "BP" : e == &t.AfterPost ? "AP"
                      : e == &t.BeforeEdit ? "BE" : e == &t.AfterEdit ? "AE"
                      : e == &t.BeforeCancel ? "BC" : e == &t.AfterCancel ? "AC"
                      : e == &t.BeforeDelete ? "BD" : "AD";
    *e = [&events, label](TDataSet*) { events.push_back(label); };
  }
  ExpectError<EDatabaseError>([&] { name->SetAsString("x"); }, "Dataset is not in edit mode.");
  AddRow(t, "one", 1);
  t.Edit();
  name->SetAsString("uno");
  t.Cancel();
  EXPECT_EQ(name->AsString(), "one");
  t.Delete();
  EXPECT_EQ(events, (std::vector<std::string>{"BI", "AI", "BP", "AP", "BE", "AE", "BC", "AC",
                                              "BD", "AD"}));
  EXPECT_TRUE(t.IsEmpty());
  name->SetReadOnly(true);
  t.Append();
  ExpectError<EDatabaseError>([&] { name->SetAsString("x"); }, "Field NAME is read only");
  t.Cancel();
  name->SetReadOnly(false);
  t.SetReadOnly(true);
  ExpectError<EDatabaseError>([&] { t.Append(); }, "Cannot modify a read-only dataset");
  t.Close();
  // Persistent fields outlive the close: reading gives nothing, writing is refused.
  auto* kept = new TIntegerField(&t);
  kept->SetFieldName("NUM");
  kept->SetDataSet(&t);
  EXPECT_TRUE(kept->IsNull());
  ExpectError<EDatabaseError>([&] { kept->SetAsInteger(1); }, "Dataset is not in edit mode.");
}

TEST(MemTable, IndexNameRecordNumbersAndFilters) {
  TmtMemTable t;
  MakeNameNum(t);
  t.IndexDefs().Add("BYNAME", "NAME", {});
  t.Open();
  for (const char* n : {"c", "a", "d", "b"}) AddRow(t, n, static_cast<int>(n[0]));
  t.SetIndexName("BYNAME");
  EXPECT_EQ(Names(t, "NAME"), (std::vector<std::string>{"a", "b", "c", "d"}));
  t.SetIndexName("MISSING");  // changes nothing
  EXPECT_EQ(t.IndexName(), "BYNAME");
  EXPECT_EQ(t.IndexFieldNames(), "NAME");
  t.SetRecNo(3);
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "c");
  EXPECT_EQ(t.RecNo(), 3);
  t.SetIndexName("");
  EXPECT_EQ(t.IndexName(), "");
  EXPECT_EQ(t.IndexFieldNames(), "");
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "c");  // the record stays
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(Names(t, "NAME"), (std::vector<std::string>{"c", "a", "d", "b"}));
  t.SetIndexFieldNames("name");
  EXPECT_EQ(t.IndexName(), "BYNAME");
  // A filter hiding the first two: the third keeps record number 3.
  t.OnFilterRecord = [&](TDataSet*, bool& accept) {
    std::string n = t.FieldByName("NAME")->AsString();
    accept = n != "a" && n != "b";
  };
  t.SetFiltered(true);
  t.First();
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "c");
  EXPECT_EQ(t.RecNo(), 3);
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_FALSE(t.IsSequenced());
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 4);
}

TEST(MemTable, ClearSeekAppendAndAutoReposition) {
  TmtMemTable t;
  MakeNameNum(t);
  t.IndexDefs().Add("BYNAME", "NAME", {ixUnique});
  t.Open();
  t.ClearAllRecords();
  t.SetIndexName("BYNAME");
  EXPECT_FALSE(t.SeekKeyValues({Variant("k")}));
  AddRow(t, "k", 1);
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_TRUE(t.SeekKeyValues({Variant("k")}));
  t.Append();
  t.FieldByName("NAME")->SetAsString("k");
  ExpectError<EMemTableError>([&] { t.Post(); }, "Duplicate index value. Operation aborted.");
  EXPECT_EQ(t.State(), dsInsert);
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "k");
  t.Cancel();
  for (const char* n : {"m", "b", "x"}) AddRow(t, n, 0);
  t.SetAutoReposition(true);
  t.First();
  t.Edit();
  t.FieldByName("NAME")->SetAsString("z");
  t.Post();
  EXPECT_EQ(t.FieldByName("NAME")->AsString(), "z");
  EXPECT_EQ(t.RecNo(), 4);
  // Values from a variant array, and their refusals.
  t.Edit();
  t.SetFieldsFromValues("NAME;NUM", Variant::Array({Variant("y"), Variant(7)}));
  t.Post();
  EXPECT_EQ(t.FieldByName("NUM")->AsInteger(), 7);
  t.Edit();
  ExpectError<EMemTableError>([&] { t.SetFieldsFromValues("NAME;NUM", Variant("q")); },
                              "More fields than values");
  ExpectError<EMemTableError>(
      [&] {
        t.SetFieldsFromValues("NAME",
                              Variant::Array({Variant::Array({Variant(1)}), Variant(2)}));
      },
      "Values variant array has invalid dimension count");
  ExpectError<EMemTableError>([&] { t.SetFieldsFromValues("", Variant(1)); },
                              "There must be at least one field");
  ExpectError<EDatabaseError>([&] { t.SetFieldsFromValues("NOPE", Variant(1)); },
                              "Field 'NOPE' not found");
  t.Cancel();
}

TEST(MemTable, AutoIncrementAndDefaults) {
  TmtMemTable t;
  t.FieldDefs().Add("ID", ftAutoInc);
  t.FieldDefs().Add("NAME", ftString, 10);
  t.SetAutoIncMinValue(100);
  t.Open();
  t.FieldByName("NAME")->SetDefaultExpression("new");
  std::vector<int> ids;
  for (int i = 0; i < 3; ++i) {
    t.Append();
    if (i == 1) t.FieldByName("ID")->SetAsInteger(500);  // a value of its own raises the mark
    t.Post();
    ids.push_back(t.FieldByName("ID")->AsInteger());
    EXPECT_EQ(t.FieldByName("NAME")->AsString(), "new");
  }
  EXPECT_EQ(ids, (std::vector<int>{100, 500, 501}));
}

TEST(MemTable, StaleBookmarksAreRefused) {
  TmtMemTable t;
  MakeNameNum(t);
  t.Open();
  for (int i = 1; i <= 10; ++i) AddRow(t, "r", i);
  t.SetRecNo(5);
  TBookmark fifth = t.GetBookmark();
  t.SetRecNo(2);
  TBookmark second = t.GetBookmark();
  EXPECT_TRUE(t.BookmarkValid(fifth));
  EXPECT_EQ(t.CompareBookmarks(second, fifth), -1);
  t.GotoBookmark(fifth);
  EXPECT_EQ(t.FieldByName("NUM")->AsInteger(), 5);
  t.Delete();
  AddRow(t, "new", 11);  // takes the freed slot
  EXPECT_EQ(t.Store()->Record(4)->uniqueNumber, 10);
  EXPECT_FALSE(t.BookmarkValid(fifth));
  t.GotoBookmark(second);
  ExpectError<EMemTableError>([&] { t.GotoBookmark(fifth); }, "Bookmark -200 not found.");
  EXPECT_EQ(t.FieldByName("NUM")->AsInteger(), 2);
  EXPECT_EQ(t.CompareBookmarks(fifth, second), 1);  // missing sorts last
  EXPECT_EQ(t.CompareBookmarks(second, fifth), -1);
  EXPECT_EQ(t.CompareBookmarks(fifth, TBookmark()), 0);
  EXPECT_EQ(t.CompareBookmarks(second, second), 0);
}

TEST(MemTable, VariantKeysKeepTheirSlotAndTheirPrecision) {
  TmtMemTable t;
  t.FieldDefs().Add("K", ftString, 3);
  t.FieldDefs().Add("NEXT", ftString, 5);
  t.IndexDefs().Add("BYK", "K", {});
  t.Open();
  for (const char* k : {"ABB", "ABC", "ABD"}) {
    t.Append();
    t.FieldByName("K")->SetAsString(k);
    t.Post();
  }
  t.SetIndexName("BYK");
  ASSERT_TRUE(t.SeekKeyValues({Variant("ABCD")}));  // cut to the field's 3 characters
  EXPECT_EQ(t.FieldByName("K")->AsString(), "ABC");
  t.Close();

  TmtMemTable big;
  big.FieldDefs().Add("L", ftLargeint);
  big.IndexDefs().Add("BYL", "L", {});
  big.Open();
  for (int64_t v : {int64_t{9007199254740993}, int64_t{9007199254740992}, int64_t{4294967296},
                    int64_t{1}}) {
    big.Append();
    static_cast<TLargeintField*>(big.FieldByName("L"))->SetAsLargeInt(v);
    big.Post();
  }
  big.SetIndexName("BYL");
  EXPECT_EQ(Names(big, "L"), (std::vector<std::string>{"1", "4294967296", "9007199254740992",
                                                       "9007199254740993"}));
  ASSERT_TRUE(big.SeekKeyValues({Variant(int64_t{9007199254740993})}));
  EXPECT_EQ(static_cast<TLargeintField*>(big.FieldByName("L"))->AsLargeInt(),
            9007199254740993);
  EXPECT_THROW(big.SeekKeyValues({Variant(1e30)}), EVariantTypeCastError);
  EXPECT_THROW(big.SeekKeyValues({Variant(1.5)}), EVariantTypeCastError);
  EXPECT_TRUE(big.SeekKeyValues({Variant(4294967296.0)}));
}

// A link that shows many rows, as a grid does.
class RowsLink : public TDataLink {
 public:
  std::vector<int> Rows() {
    std::vector<int> rows;
    int saved = ActiveRecord();
    for (int i = 0; i < RecordCount(); ++i) {
      SetActiveRecord(i);
      rows.push_back(DataSet()->FieldByName("NUM")->AsInteger());
    }
    SetActiveRecord(saved);
    return rows;
  }
};

TEST(MemTable, LinksWithManyOrOneBufferStayConsistent) {
  TmtMemTable t;
  MakeNameNum(t);
  t.IndexDefs().Add("BYNUM", "NUM", {});
  TDataSource source(nullptr);
  source.SetDataSet(&t);
  RowsLink many, one;
  many.SetBufferCount(20);
  many.SetDataSource(&source);
  one.SetDataSource(&source);
  t.Open();
  t.SetIndexName("BYNUM");
  std::vector<int> model;
  for (int i = 0; i < 60; ++i) {
    int v = (i * 37) % 101;
    AddRow(t, "n", v);
    model.insert(std::upper_bound(model.begin(), model.end(), v), v);
    if (i % 7 == 3) {
      t.SetRecNo(1 + (i * 13) % t.RecordCount());
      int gone = t.FieldByName("NUM")->AsInteger();
      t.Delete();
      model.erase(std::find(model.begin(), model.end(), gone));
    }
    std::vector<int> rows = many.Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end())) << "step " << i;
    auto at = std::search(model.begin(), model.end(), rows.begin(), rows.end());
    EXPECT_NE(at, model.end()) << "rows are a window of the order, step " << i;
    EXPECT_EQ(one.Rows(), std::vector<int>{t.FieldByName("NUM")->AsInteger()});
  }
  EXPECT_EQ(t.RecordCount(), static_cast<int>(model.size()));
  t.Close();
}

}  // namespace
