// The dataset state machine: the order of events of every operation, the
// edit protocol's failure paths and the rules around posting and cancelling.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/db/testing/db_test_support.h"

namespace {

using dbtest::EventLog;
using Log = std::vector<std::string>;

class DataSetState : public ::testing::Test {
 protected:
  void SetUp() override {
    dbtest::DefineJournal(ds);
    dbtest::FillJournal(ds, 5);
  }
  AnsiString Text(const char* field) { return ds.FieldByName(field)->AsString(); }

  VectorDataSet ds;
  EventLog log;
};

TEST_F(DataSetState, EventsOfEveryOperationComeInOrder) {
  struct Row {
    const char* name;
    std::function<void(VectorDataSet&)> before;  // brings the dataset into place, unlogged
    std::function<void(VectorDataSet&)> action;
    Log expected;
  } rows[] = {
      {"open", [](VectorDataSet&) {}, [](VectorDataSet& d) { d.Open(); },
       {"BeforeOpen", "AfterOpen", "AfterScroll"}},
      {"close", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Close(); },
       {"BeforeClose", "AfterClose"}},
      {"close while editing cancels", [](VectorDataSet& d) { d.Open(); d.Edit(); },
       [](VectorDataSet& d) { d.Close(); },
       {"BeforeClose", "BeforeCancel", "AfterCancel", "AfterClose"}},
      {"edit", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Edit(); },
       {"BeforeEdit", "AfterEdit"}},
      {"post", [](VectorDataSet& d) { d.Open(); d.Edit(); d.FieldByName("PLA_KOM")->SetAsString("x"); },
       [](VectorDataSet& d) { d.Post(); }, {"BeforePost", "AfterPost"}},
      {"cancel", [](VectorDataSet& d) { d.Open(); d.Edit(); }, [](VectorDataSet& d) { d.Cancel(); },
       {"BeforeCancel", "AfterCancel"}},
      {"insert", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Insert(); },
       {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll"}},
      {"append", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Append(); },
       {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll"}},
      {"delete", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Delete(); },
       {"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}},
      {"refresh", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Refresh(); },
       {"BeforeRefresh", "AfterRefresh"}},
      {"next", [](VectorDataSet& d) { d.Open(); }, [](VectorDataSet& d) { d.Next(); },
       {"BeforeScroll", "AfterScroll"}},
      {"next at the end moves nothing", [](VectorDataSet& d) { d.Open(); d.Last(); },
       [](VectorDataSet& d) { d.Next(); }, {"BeforeScroll"}},
      {"first", [](VectorDataSet& d) { d.Open(); d.Last(); }, [](VectorDataSet& d) { d.First(); },
       {"BeforeScroll", "AfterScroll"}},
      {"moving posts a modified edit first",
       [](VectorDataSet& d) { d.Open(); d.Edit(); d.FieldByName("PLA_KOM")->SetAsString("y"); },
       [](VectorDataSet& d) { d.Next(); },
       {"BeforePost", "AfterPost", "BeforeScroll", "AfterScroll"}},
      {"moving cancels an unmodified insert", [](VectorDataSet& d) { d.Open(); d.Insert(); },
       [](VectorDataSet& d) { d.Prior(); },
       {"BeforeCancel", "AfterCancel", "BeforeScroll", "AfterScroll"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EventLog events;  // outlives the dataset, which may still close
    VectorDataSet d;
    dbtest::DefineJournal(d);
    dbtest::FillJournal(d, 5);
    row.before(d);
    events.Attach(d);
    row.action(d);
    EXPECT_EQ(events.Take(), row.expected);
  }
}

TEST_F(DataSetState, EditOfAnEmptyDatasetInserts) {
  ds.ClearRows();
  ds.Open();
  ASSERT_TRUE(ds.IsEmpty());
  ds.Edit();
  EXPECT_EQ(ds.State(), dsInsert);
  ds.FieldByName("PLA_DO1")->SetAsString("1");
  ds.Post();
  EXPECT_EQ(ds.RowCount(), 1);
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(DataSetState, FailingBeforePostKeepsTheEditWithOldValuesIntact) {
  ds.Open();
  ds.Edit();
  ds.FieldByName("PLA_KOM")->SetAsString("changed");
  ds.BeforePost = [](TDataSet*) { throw EDatabaseError("not now"); };
  EXPECT_THROW(ds.Post(), EDatabaseError);
  EXPECT_EQ(ds.State(), dsEdit);
  EXPECT_EQ(Text("PLA_KOM"), "changed");
  EXPECT_EQ(ds.FieldByName("PLA_KOM")->OldValue().AsString(), "Doklad 1");
  EXPECT_EQ(ds.Cell(0, 3).AsString(), "Doklad 1");
  ds.BeforePost = nullptr;
  ds.Post();
  EXPECT_EQ(ds.Cell(0, 3).AsString(), "changed");
}

TEST_F(DataSetState, ErrorHandlersDecideBetweenFailAbortAndRetry) {
  struct Row {
    const char* name;
    TDataAction action;
    int failures;
    bool throwsAbort;
    bool throwsOriginal;
    int handlerCalls;
    bool stored;
  } rows[] = {
      {"fail re-raises the error", daFail, 1, false, true, 1, false},
      {"abort drops silently, the edit stays", daAbort, 1, true, false, 1, false},
      {"retry repeats until the post goes through", daRetry, 2, false, false, 2, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    VectorDataSet d;
    dbtest::DefineJournal(d);
    dbtest::FillJournal(d, 3);
    d.Open();
    d.Edit();
    d.FieldByName("PLA_KOM")->SetAsString("new");
    d.FailNextPosts(row.failures);
    int calls = 0;
    d.OnPostError = [&](TDataSet*, Exception& e, TDataAction& action) {
      ++calls;
      EXPECT_EQ(e.Message(), "Post refused");
      action = row.action;
    };
    bool abort = false, original = false;
    try {
      d.Post();
    } catch (EAbort&) {
      abort = true;
    } catch (EDatabaseError& e) {
      original = e.Message() == "Post refused";
    }
    EXPECT_EQ(abort, row.throwsAbort);
    EXPECT_EQ(original, row.throwsOriginal);
    EXPECT_EQ(calls, row.handlerCalls);
    EXPECT_EQ(d.Cell(0, 3).AsString() == "new", row.stored);
    EXPECT_EQ(d.State(), row.stored ? dsBrowse : dsEdit);
    if (!row.stored) {
      EXPECT_EQ(d.FieldByName("PLA_KOM")->AsString(), "new");
    }
  }
}

TEST_F(DataSetState, FailingEditAndDeleteLeaveTheDatasetBrowsing) {
  ds.Open();
  ds.FailNextEdits(1);
  EXPECT_THROW(ds.Edit(), EDatabaseError);
  EXPECT_EQ(ds.State(), dsBrowse);

  int editCalls = 0;
  ds.FailNextEdits(1);
  ds.OnEditError = [&](TDataSet*, Exception&, TDataAction& action) {
    ++editCalls;
    action = daRetry;
  };
  ds.Edit();
  EXPECT_EQ(editCalls, 1);
  EXPECT_EQ(ds.State(), dsEdit);
  ds.Cancel();

  ds.FailNextDeletes(1);
  EXPECT_THROW(ds.Delete(), EDatabaseError);
  EXPECT_EQ(ds.RowCount(), 5);
  ds.OnDeleteError = [](TDataSet*, Exception&, TDataAction& action) { action = daAbort; };
  ds.FailNextDeletes(1);
  EXPECT_THROW(ds.Delete(), EAbort);
  EXPECT_EQ(ds.RowCount(), 5);
  EXPECT_EQ(ds.State(), dsBrowse);
}

TEST_F(DataSetState, CheckBrowseModePostsModifiedAndCancelsUnmodifiedRecords) {
  ds.Open();
  ds.OnNewRecord = [](TDataSet* d) { d->FieldByName("PLA_TYP")->SetAsString("NEW"); };

  // Values that only OnNewRecord set do not make a record worth keeping.
  ds.Append();
  EXPECT_FALSE(ds.Modified());
  ds.CheckBrowseMode();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(ds.RowCount(), 5);

  ds.Append();
  ds.FieldByName("PLA_DO1")->SetAsString("6");
  EXPECT_TRUE(ds.Modified());
  ds.CheckBrowseMode();
  EXPECT_EQ(ds.RowCount(), 6);
  EXPECT_EQ(ds.Cell(5, 2).AsString(), "NEW");

  ds.First();
  ds.Edit();
  ds.CheckBrowseMode();  // nothing changed: cancelled
  EXPECT_EQ(ds.State(), dsBrowse);
  ds.Edit();
  ds.FieldByName("PLA_HOD")->SetAsFloat(1.5);
  ds.CheckBrowseMode();
  EXPECT_EQ(ds.Cell(0, 4).AsDouble(), 1.5);
}

TEST_F(DataSetState, CancelRestoresTheStoredValues) {
  ds.Open();
  ds.Next();
  ds.Edit();
  ds.FieldByName("PLA_KOM")->SetAsString("draft");
  ds.Cancel();
  EXPECT_EQ(Text("PLA_KOM"), "Doklad 2");
  ds.Close();
  EXPECT_EQ(ds.Cell(1, 3).AsString(), "Doklad 2");

  ds.Open();
  ds.Edit();
  ds.FieldByName("PLA_KOM")->SetAsString("lost on close");
  ds.Close();
  EXPECT_EQ(ds.Cell(0, 3).AsString(), "Doklad 1");
}

TEST_F(DataSetState, InsertPlacesTheRecordBeforeTheCurrentOneAppendAtTheEnd) {
  ds.Open();
  ds.Next();
  ds.Next();
  ds.Insert();
  ds.FieldByName("PLA_DO1")->SetAsString("ins");
  ds.Post();
  EXPECT_EQ(Text("PLA_DO1"), "ins");
  EXPECT_EQ(ds.Cell(2, 1).AsString(), "ins");
  EXPECT_EQ(ds.Cell(3, 1).AsString(), "3");

  ds.Append();
  EXPECT_TRUE(ds.Eof());
  ds.FieldByName("PLA_DO1")->SetAsString("app");
  ds.Post();
  EXPECT_EQ(ds.Cell(ds.RowCount() - 1, 1).AsString(), "app");
  EXPECT_EQ(Text("PLA_DO1"), "app");
}

TEST_F(DataSetState, RequiredFieldsAreCheckedBeforeTheRecordIsStored) {
  VectorDataSet d;
  dbtest::DefineJournal(d);
  d.FieldDefs().Items(1)->SetRequired(true);
  d.Open();
  d.FieldByName("PLA_DO1")->SetDisplayLabel("Doklad");
  d.Append();
  d.FieldByName("PLA_KOM")->SetAsString("without number");
  try {
    d.Post();
    FAIL() << "posted without a required value";
  } catch (EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field 'Doklad' must have a value");
  }
  EXPECT_EQ(d.State(), dsInsert);
  EXPECT_EQ(d.RowCount(), 0);
  d.FieldByName("PLA_DO1")->SetAsString("7");
  d.Post();
  EXPECT_EQ(d.RowCount(), 1);
}

TEST_F(DataSetState, OperationsRefusedInTheWrongStateSayWhy) {
  struct Row {
    const char* name;
    std::function<void(VectorDataSet&)> action;
    const char* message;
  } rows[] = {
      {"moving a closed dataset", [](VectorDataSet& d) { d.Next(); },
       "Cannot perform this operation on a closed dataset"},
      {"editing a closed dataset", [](VectorDataSet& d) { d.Edit(); },
       "Cannot perform this operation on a closed dataset"},
      {"posting while browsing", [](VectorDataSet& d) { d.Open(); d.Post(); },
       "Dataset not in edit or insert mode"},
      {"writing while browsing",
       [](VectorDataSet& d) { d.Open(); d.FieldByName("PLA_KOM")->SetAsString("x"); },
       "Dataset not in edit or insert mode"},
      {"deleting from an empty dataset", [](VectorDataSet& d) { d.ClearRows(); d.Open(); d.Delete(); },
       "Cannot perform this operation on an empty dataset"},
      {"editing a read-only dataset", [](VectorDataSet& d) { d.SetReadOnly(true); d.Open(); d.Edit(); },
       "Cannot modify a read-only dataset"},
      {"changing field definitions of an open dataset",
       [](VectorDataSet& d) {
         d.Open();
         auto* f = new TStringField(&d);
         f->SetFieldName("EXTRA");
         f->SetDataSet(&d);
       },
       "Cannot perform this operation on an open dataset"},
      {"writing a read-only field",
       [](VectorDataSet& d) {
         d.Open();
         d.FieldByName("PLA_DO1")->SetReadOnly(true);
         d.Edit();
         d.FieldByName("PLA_DO1")->SetAsString("9");
       },
       "Field 'PLA_DO1' cannot be modified"},
      {"a field that does not exist",
       [](VectorDataSet& d) { d.Open(); d.FieldByName("NOPE"); }, "Field 'NOPE' not found"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    VectorDataSet d;
    dbtest::DefineJournal(d);
    dbtest::FillJournal(d, 2);
    try {
      row.action(d);
      ADD_FAILURE() << "no error";
    } catch (EDatabaseError& e) {
      EXPECT_EQ(e.Message(), row.message);
    }
  }
}

TEST_F(DataSetState, TemporaryStatesReadOldValuesAndTellNobody) {
  VectorDataSet d;
  dbtest::DefineJournal(d);
  dbtest::FillJournal(d, 2);
  TDataSource source(nullptr);
  source.SetDataSet(&d);
  dbtest::LogLink link;
  link.SetDataSource(&source);
  d.Open();
  EXPECT_TRUE(d.FieldByName("PLA_KOM")->OldValue().AsString() == "Doklad 1");
  d.Edit();
  d.FieldByName("PLA_KOM")->SetAsString("edited");
  link.Take();
  EXPECT_EQ(d.FieldByName("PLA_KOM")->OldValue().AsString(), "Doklad 1");
  EXPECT_EQ(d.State(), dsEdit);
  EXPECT_TRUE(link.Take().empty());
  d.Cancel();
  d.Append();
  EXPECT_TRUE(d.FieldByName("PLA_KOM")->OldValue().IsNull());
  d.Cancel();
  link.SetDataSource(nullptr);
}

TEST_F(DataSetState, ActiveSetWhileLoadingOpensWhenLoadingEnds) {
  TComponent form(nullptr);
  auto* d = new VectorDataSet(&form);
  dbtest::DefineJournal(*d);
  dbtest::FillJournal(*d, 1);
  form.BeginLoading();
  d->SetActive(true);
  EXPECT_FALSE(d->Active());
  form.EndLoading();
  EXPECT_TRUE(d->Active());
  EXPECT_EQ(d->FieldByName("PLA_DO1")->AsString(), "1");
}

}  // namespace
