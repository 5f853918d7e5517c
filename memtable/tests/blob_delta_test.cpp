// The blob stream in its three modes, with and without the compression
// events, and its refusals.
#include <gtest/gtest.h>

#include <string>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/db/db_errors.h"

namespace {

using mttest::ExpectError;

std::string ReadAll(TStream& s) {
  std::string out(static_cast<std::size_t>(s.Size()), '\0');
  s.SetPosition(0);
  s.ReadBuffer(out.data(), s.Size());
  return out;
}

// A toy compression: every byte inverted, so the stored bytes differ.
void Invert(TStream& from, TStream& to) {
  std::string bytes = ReadAll(from);
  for (char& c : bytes) c = static_cast<char>(~c);
  to.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TEST(MemTableBlobStream, WritesReadBackInEveryMode) {
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress);
    TmtMemTable t;
    t.FieldDefs().Add("ID", ftInteger);
    t.FieldDefs().Add("DATA", ftBlob);
    t.FieldDefs().Add("NOTE", ftMemo);
    if (compress) {
      t.OnCompressBlobStream = Invert;
      t.OnDecompressBlobStream = Invert;
    }
    t.Open();
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    t.Append();
    t.FieldByName("ID")->SetAsInteger(1);
    {
      auto s = t.CreateBlobStream(t.FieldByName("DATA"), bmWrite);
      s->WriteBuffer(all.data(), static_cast<int64_t>(all.size()));
    }
    t.FieldByName("NOTE")->SetAsString("memo text");
    t.Post();
    {
      auto s = t.CreateBlobStream(t.FieldByName("DATA"), bmRead);
      EXPECT_EQ(ReadAll(*s), all);
    }
    EXPECT_EQ(t.FieldByName("NOTE")->AsString(), "memo text");
    t.Edit();
    {
      auto s = t.CreateBlobStream(t.FieldByName("DATA"), bmReadWrite);
      EXPECT_EQ(ReadAll(*s), all);
      s->Seek(0, TSeekOrigin::soEnd);
      s->WriteBuffer("!", 1);
    }
    t.Post();
    EXPECT_EQ(t.FieldByName("DATA")->AsString(), all + "!");
    t.Edit();
    t.FieldByName("DATA")->Clear();  // an empty write stores null
    t.Post();
    EXPECT_TRUE(t.FieldByName("DATA")->IsNull());
    // A cancelled edit keeps the stored value.
    t.Edit();
    t.FieldByName("NOTE")->SetAsString("changed");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("NOTE")->AsString(), "memo text");
  }
}

TEST(MemTableBlobStream, WritingRefusals) {
  TmtMemTable t;
  t.FieldDefs().Add("DATA", ftBlob);
  t.Open();
  t.Append();
  t.Post();
  ExpectError<EDatabaseError>([&] { t.CreateBlobStream(t.FieldByName("DATA"), bmWrite); },
                              "Dataset is not in edit mode.");
  t.FieldByName("DATA")->SetReadOnly(true);
  t.Edit();
  ExpectError<EDatabaseError>([&] { t.CreateBlobStream(t.FieldByName("DATA"), bmReadWrite); },
                              "Field DATA is read only");
  t.Cancel();
  EXPECT_NE(t.CreateBlobStream(t.FieldByName("DATA"), bmRead), nullptr);
}

}  // namespace

#include "memtable/delta_handler.h"

namespace {

// Records every report as "kind:name".
class Recorder : public TmtCustomDeltaHandler {
 public:
  std::vector<std::string> seen;

 protected:
  void Note(const char* kind) { seen.push_back(std::string(kind) + ":" + MemTable()->FieldByName("NAME")->AsString()); }
  void InsertRecord() override { Note("ins"); }
  void DeleteRecord() override { Note("del"); }
  void ModifyRecord() override { Note("mod"); }
  void NotChangedRecord() override { Note("same"); }
};

TEST(MemTableDeltaHandler, ReportsEveryKindOfChange) {
  Recorder handler;
  ExpectError<EMemTableError>([&] { handler.Resolve(); }, "Delta handler is not assigned to any memorytables.");
  TmtMemTable t;
  t.FieldDefs().Add("NAME", ftString, 10);
  t.Open();
  for (const char* n : {"kept", "edited", "gone", "brief"}) {
    t.Append();
    t.FieldByName("NAME")->SetAsString(n);
    t.Post();
  }
  t.SetEnableVersioning(true);  // from here on changes are versions
  t.SetVersioningMode(mtvmAllSinceCheckPoint);
  ASSERT_TRUE(t.Locate("NAME", Variant("edited"), {}));
  t.Edit();
  t.FieldByName("NAME")->SetAsString("edited2");
  t.Post();
  ASSERT_TRUE(t.Locate("NAME", Variant("gone"), {}));
  t.Delete();
  t.Append();
  t.FieldByName("NAME")->SetAsString("added");
  t.Post();
  t.Append();
  t.FieldByName("NAME")->SetAsString("added2");
  t.Post();
  t.Delete();  // inserted and deleted again: no change at all
  t.SetDeltaHandler(&handler);
  handler.Resolve();
  std::vector<std::string> expected = {"same:kept", "mod:edited2", "del:gone", "same:brief", "ins:added",
                                       "same:added2"};
  EXPECT_EQ(handler.seen, expected);
  TmtMemTable other;
  other.SetDeltaHandler(&handler);  // moving the handler unlinks it from t
  EXPECT_EQ(t.DeltaHandler(), nullptr);
  EXPECT_EQ(handler.MemTable(), &other);
}

}  // namespace
