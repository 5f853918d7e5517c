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
