// Two workstations on one table: this process and the helper program
// xbase_lock_peer, each with its own files. Edits lock before they read,
// deletes respect an editor's lock, concurrent appends keep every tag
// complete, and a post that cannot get the index locks stays unwritten in
// edit state.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/testing/xbase_fixtures.h"
#include "dbase/tests/support/xbase_peer.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/errors.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xbase_test;

namespace {

const char* kLocked = "Record is locked by another user";

}  // namespace

TEST(XbaseDatasetMultiprocess, AnEditWaitsForTheOtherEditorAndThenSeesItsPost) {
  TempDir data;
  const std::string path = MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  XbasePeer peer;
  ASSERT_EQ(peer.Call("open " + path), "ok");
  ASSERT_EQ(peer.Call("edit 3"), "ok");
  ASSERT_EQ(peer.Call("set PLA_KOM from the peer"), "ok");

  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->SetRecNo(3);
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->Edit(); }), kLocked);
  EXPECT_EQ(ds->State(), dsBrowse);

  ASSERT_EQ(peer.Call("post"), "ok");
  ds->Edit();
  EXPECT_EQ(ds->FieldByName("PLA_KOM")->AsString(), "from the peer");
  ds->FieldByName("PLA_KOM")->SetAsString("from here");
  // While this edit holds the record the peer is refused in turn.
  EXPECT_EQ(peer.Call("edit 3"), std::string("error ") + kLocked);
  ds->Post();
  ASSERT_EQ(peer.Call("edit 3"), "ok");
  EXPECT_EQ(peer.Call("value PLA_KOM"), "from here");
  EXPECT_EQ(peer.Call("cancel"), "ok");
}

TEST(XbaseDatasetMultiprocess, TwoWorkstationsIncrementingOneCounterLoseNoUpdate) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "CIS.DBF", {{"CIS_FIN", 'N', 10, 0}});
  {
    XBO_dBaseFld t(path, false, true, "");
    t.BlankRecord();
    t.AppendRecord();
  }
  table_test::FastRetries fast;
  XbasePeer peer;
  ASSERT_EQ(peer.Call("open " + path), "ok");
  auto ds = NewDataSet(data.Path(), "CIS.DBF");
  ds->Open();
  peer.Send("increment CIS_FIN 300");
  for (int i = 0; i < 300; ++i) {
    for (;;) {
      try {
        ds->Edit();
        break;
      } catch (const EDatabaseError& e) {
        ASSERT_EQ(e.Message(), kLocked);
        usleep(200);
      }
    }
    TField* counter = ds->FieldByName("CIS_FIN");
    counter->SetAsInteger(counter->AsInteger() + 1);
    ds->Post();
  }
  ASSERT_EQ(peer.Receive(), "ok");
  XBO_dBaseFld t(path, true, false, "");
  t.GoRecord(1);
  EXPECT_EQ(t.GetNumber("CIS_FIN"), 600);
}

TEST(XbaseDatasetMultiprocess, ADeleteRespectsAnEditorsLockAndKeepsItsPost) {
  TempDir data;
  const std::string path = MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  XbasePeer peer;
  ASSERT_EQ(peer.Call("open " + path), "ok");
  ASSERT_EQ(peer.Call("edit 3"), "ok");
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->SetRecNo(3);
  const std::string before = RawRecord(path, 3);
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->Delete(); }), "Cannot delete the record");
  EXPECT_EQ(RawRecord(path, 3), before);
  EXPECT_EQ(ds->RecNo(), 3);

  ASSERT_EQ(peer.Call("set PLA_KOM posted by the peer"), "ok");
  ASSERT_EQ(peer.Call("post"), "ok");
  ds->Delete();
  const std::string after = RawRecord(path, 3);
  EXPECT_EQ(after[0], '*');
  EXPECT_NE(after.find("posted by the peer"), std::string::npos);

}

TEST(XbaseDatasetMultiprocess, ConcurrentAppendsKeepEveryTagComplete) {
  TempDir data;
  const std::string path = MakeJournal(data.Path(), "PLA.DBF", SampleRows(10));
  {
    auto builder = NewDataSet(data.Path(), "PLA.DBF");
    builder->Open();
    BuildJournalTags(*builder, data.File("PLA.CDX"));
  }
  table_test::FastRetries fast;
  XbasePeer peer;
  ASSERT_EQ(peer.Call("open " + path + " " + data.File("PLA.CDX")), "ok");
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ASSERT_EQ(ds->AttachIndexFile("PLA.CDX"), 0);
  peer.Send("append 200 Q");
  for (int i = 1; i <= 200; ++i) {
    ds->Append();
    ds->FieldByName("PLA_DO1")->SetAsString("P" + std::to_string(10000 + i));
    ds->FieldByName("PLA_KOM")->SetAsString("Here " + std::to_string(i));
    ds->FieldByName("PLA_HOD")->SetAsFloat(-i * 2.25);
    ds->FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2026, 1 + i % 12, 1 + i % 28));
    ds->Post();
  }
  ASSERT_EQ(peer.Receive(), "ok");
  ds->Refresh();
  for (const char* tag : {"DO1", "KOM", "DAT", "TYP", "KDO", "SML", "ROC", "HOD"}) {
    ds->SetIndexName(tag);
    EXPECT_EQ(RecordNumbers(*ds).size(), 410u) << tag;
  }
  ds->SetIndexName("DO1");
  const std::vector<std::string> docs = Column(*ds, "PLA_DO1");
  EXPECT_TRUE(std::is_sorted(docs.begin(), docs.end()));
  EXPECT_EQ(std::adjacent_find(docs.begin(), docs.end()), docs.end());
}

TEST(XbaseDatasetMultiprocess, APostThatCannotLockTheIndexesStaysInEditUnwritten) {
  TempDir data;
  const std::string path = MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  {
    auto builder = NewDataSet(data.Path(), "PLA.DBF");
    builder->Open();
    builder->BuildIndexTag("PLA.CDX", "DO1", 0, 0, "", "PLA_DO1");
  }
  table_test::FastRetries fast;
  XbasePeer peer;
  ASSERT_EQ(peer.Call("lockindex " + path + " " + data.File("PLA.CDX")), "ok");
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->AttachIndexFile("PLA.CDX");
  ds->SetRecNo(3);
  const std::string before = RawRecord(path, 3);
  ds->Edit();
  ds->FieldByName("PLA_KOM")->SetAsString("waits for the index");
  const std::string message = ErrorMessage<EXbaseError>([&] { ds->Post(); });
  EXPECT_EQ(message.rfind("Could not lock indexes for Table ", 0), 0u) << message;
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName("PLA_KOM")->AsString(), "waits for the index");
  EXPECT_EQ(RawRecord(path, 3), before);

  ASSERT_EQ(peer.Call("unlockindex"), "ok");
  ds->Post();
  EXPECT_NE(RawRecord(path, 3).find("waits for the index"), std::string::npos);
  EXPECT_TRUE(ds->Locate("PLA_DO1", Variant("D0003"), {}));
}
