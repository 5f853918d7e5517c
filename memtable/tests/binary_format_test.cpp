// The binary format: round trips of every value kind, exact 80-bit money
// and large integers, the older versions from a small test encoder, deltas,
// load limits and refusals, and hostile streams.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/db/fields.h"
#include "platform/rtl/system.h"
#include "platform/rtl/value_stream.h"

namespace {

using mttest::ExpectError;
using mttest::Names;
using Strings = std::vector<std::string>;

std::string Save(TmtMemTable& t, TmtMemTableSaveFlags options) {
  TStringStream s;
  t.WriteBinaryStream(s, options);
  return s.DataString();
}

void Load(TmtMemTable& t, const std::string& bytes) {
  TStringStream s(bytes);
  t.ReadBinaryStream(s);
}

const TmtMemTableSaveFlags kAll{mtfSaveData, mtfSaveDef, mtfSaveIndexDef, mtfSaveNonVisible, mtfSaveFieldKind};

// Hand-built streams of any version.
std::string Encode(const std::function<void(TValueWriter&)>& body) {
  TStringStream s;
  TValueWriter w(s);
  body(w);
  w.FlushBuffer();
  return s.DataString();
}

void FieldDef(TValueWriter& w, int version, const char* name, const char* type, int size) {
  w.WriteString(name);
  w.WriteString(type);
  w.WriteInteger(size);
  w.WriteString(name);
  w.WriteString("");
  w.WriteInteger(10);
  w.WriteBoolean(false);
  w.WriteBoolean(false);
  if (version >= 250) w.WriteString("Data");
  if (version >= 251) w.WriteString("");
}

TEST(MemTableBinaryFormat, ValuesRoundTripExactly) {
  TmtMemTable t;
  t.FieldDefs().Add("I", ftInteger);
  t.FieldDefs().Add("S", ftSmallint);
  t.FieldDefs().Add("L", ftLargeint);
  t.FieldDefs().Add("C", ftCurrency);
  t.FieldDefs().Add("F", ftFloat);
  t.FieldDefs().Add("T", ftTime);
  t.FieldDefs().Add("D", ftDate);
  t.FieldDefs().Add("B", ftBoolean);
  t.FieldDefs().Add("M", ftString, 40);
  t.FieldDefs().Add("X", ftBytes, 4);
  t.FieldDefs().Add("V", ftVarBytes, 8);
  t.IndexDefs().Add("BYI", "I", {ixUnique});
  t.Open();
  struct Row {
    int32_t i;
    int16_t s;
    int64_t l;
    double c;
    double f;
    double time;  // -1 null
  } rows[] = {
      {-128, -32768, INT64_MIN, -922337203685477.0, -0.0, 0},
      {127, 32767, INT64_MAX, 922337203685477.0, std::numeric_limits<double>::denorm_min(), -1},
      {128, 0, 9007199254740993, 0.0001, 1e308, 0.5},
      {-32769, 1, -1, 12.34, -1.5, 0.25},
  };
  for (const Row& r : rows) {
    t.Append();
    t.FieldByName("I")->SetAsInteger(r.i);
    t.FieldByName("S")->SetAsInteger(r.s);
    static_cast<TLargeintField*>(t.FieldByName("L"))->SetAsLargeInt(r.l);
    t.FieldByName("C")->SetAsFloat(r.c);
    t.FieldByName("F")->SetAsFloat(r.f);
    if (r.time >= 0) t.FieldByName("T")->SetAsDateTime(r.time);
    t.FieldByName("D")->SetAsDateTime(EncodeDate(2024, 2, 29));
    t.FieldByName("B")->SetAsBoolean(r.i > 0);
    t.FieldByName("M")->SetAsString(Cz("Příliš žluťoučký"));
    t.FieldByName("X")->SetAsString(std::string("\x81\x98\x00\xFF", 4));
    t.FieldByName("V")->SetAsString(std::string("\x81\x98", 2));
    t.Post();
  }
  const std::string bytes = Save(t, kAll);
  EXPECT_EQ(bytes.substr(0, 7), std::string("TPF0\x03\xFB\x00", 7));
  EXPECT_NE(bytes.find(std::string("\x06\x02\x81\x98", 4)), std::string::npos);  // raw bytes, code 6
  EXPECT_NE(bytes.find(std::string("\x14", 1) + std::string("\x17\x00\x00\x00", 4) + "P"),
            std::string::npos);  // Czech text as UTF-8, code 20

  TmtMemTable u;
  Load(u, bytes);
  ASSERT_EQ(u.RecordCount(), 4);
  ASSERT_EQ(u.IndexDefs().Count(), 1);
  u.First();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.i);
    EXPECT_EQ(u.FieldByName("I")->AsInteger(), r.i);
    EXPECT_EQ(u.FieldByName("S")->AsInteger(), r.s);
    EXPECT_EQ(static_cast<TLargeintField*>(u.FieldByName("L"))->AsLargeInt(), r.l);
    EXPECT_EQ(u.FieldByName("C")->AsFloat(), r.c);
    EXPECT_EQ(u.FieldByName("F")->AsFloat(), r.f);
    EXPECT_EQ(std::signbit(u.FieldByName("F")->AsFloat()), std::signbit(r.f));
    EXPECT_EQ(u.FieldByName("T")->IsNull(), r.time < 0);  // midnight stays midnight
    if (r.time >= 0) {
      EXPECT_EQ(u.FieldByName("T")->AsDateTime(), r.time);
    }
    EXPECT_EQ(u.FieldByName("M")->AsString(), Cz("Příliš žluťoučký"));
    EXPECT_EQ(u.FieldByName("X")->AsString(), std::string("\x81\x98\x00\xFF", 4));
    EXPECT_EQ(u.FieldByName("V")->AsString(), std::string("\x81\x98", 2));
    u.Next();
  }
  EXPECT_EQ(Save(u, kAll), bytes);
}

TEST(MemTableBinaryFormat, BlobsAreRawBytesAndMemosText) {
  TmtMemTable t;
  t.FieldDefs().Add("DATA", ftBlob);
  t.FieldDefs().Add("NOTE", ftMemo);
  t.Open();
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  t.Append();
  t.FieldByName("DATA")->SetAsString(all);
  t.FieldByName("NOTE")->SetAsString(Cz("Účet č. 5"));
  t.Post();
  const std::string bytes = Save(t, {mtfSaveData, mtfSaveDef, mtfSaveBlobs});
  EXPECT_NE(bytes.find(std::string("\x0C\x00\x01\x00\x00", 5) + all), std::string::npos);  // code 12, raw
  EXPECT_NE(bytes.find(std::string("\x14", 1)), std::string::npos);                          // the memo as UTF-8
  TmtMemTable u;
  Load(u, bytes);
  u.First();
  EXPECT_EQ(u.FieldByName("DATA")->AsString(), all);
  EXPECT_EQ(u.FieldByName("NOTE")->AsString(), Cz("Účet č. 5"));
  // A blob another writer stored as UTF-8 text still loads as its bytes.
  std::string utf8 = Encode([&](TValueWriter& w) {
    w.WriteSignature();
    w.WriteInteger(251);
    w.WriteListBegin();
    FieldDef(w, 251, "DATA", "Blob", 0);
    w.WriteListEnd();
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteListBegin();
    w.WriteListBegin();
    w.WriteInteger(0);
    w.WriteBoolean(false);
    w.WriteString(Cz("čř"));
    w.WriteListEnd();
    w.WriteListEnd();
  });
  TmtMemTable v;
  Load(v, utf8);
  v.First();
  EXPECT_EQ(v.FieldByName("DATA")->AsString(), Cz("čř"));
}

TEST(MemTableBinaryFormat, OlderVersionsLoad) {
  for (int version : {100, 199, 229, 248, 249, 250, 251}) {
    SCOPED_TRACE(version);
    std::string bytes = Encode([&](TValueWriter& w) {
      w.WriteSignature();
      if (version != 100) w.WriteInteger(version);
      w.WriteListBegin();
      FieldDef(w, version, "N", "Integer", 0);
      FieldDef(w, version, "T", "Time", 0);
      FieldDef(w, version, "D", "DateTime", 0);
      w.WriteListEnd();
      if (version >= 200) {
        w.WriteListBegin();
        w.WriteListEnd();
      }
      w.WriteListBegin();
      for (int n = 1; n <= 2; ++n) {
        if (version >= 230) {
          w.WriteListBegin();
          w.WriteInteger(n == 2 ? 1 : 0);
        }
        if (version >= 249) w.WriteBoolean(false);
        w.WriteInteger(n);
        if (version >= 249) w.WriteBoolean(false);
        w.WriteFloat(0.0L);  // a time of 0
        if (version >= 249) w.WriteBoolean(false);
        w.WriteFloat(0.0L);  // a date-time of 0
        if (version >= 230) w.WriteListEnd();
      }
      w.WriteListEnd();
    });
    TmtMemTable t;
    Load(t, bytes);
    ASSERT_EQ(t.RecordCount(), 2);
    t.First();
    EXPECT_EQ(t.FieldByName("N")->AsInteger(), 1);
    EXPECT_EQ(t.FieldByName("T")->IsNull(), version < 249);  // 0 was the only null before null flags
    EXPECT_TRUE(t.FieldByName("D")->IsNull());
    t.Next();
    EXPECT_EQ(t.UpdateStatus(), version >= 230 ? usModified : usUnmodified);
  }
}

TEST(MemTableBinaryFormat, DeltasLimitsAndRefusals) {
  TmtMemTable t;
  t.FieldDefs().Add("N", ftInteger);
  t.SetEnableVersioning(true);
  t.Open();
  for (int n = 1; n <= 5; ++n) {
    t.Append();
    t.FieldByName("N")->SetAsInteger(n);
    t.Post();
  }
  t.First();
  t.Delete();  // an inserted record deleted: dropped from deltas unless asked
  TmtMemTableSaveFlags deltas{mtfSaveDef, mtfSaveDeltas};
  TmtMemTable u;
  Load(u, Save(t, deltas));
  EXPECT_EQ(u.RecordCount(), 4);
  TmtMemTable v;
  Load(v, Save(t, deltas + TmtMemTableSaveFlags{mtfSaveDontFilterDeltas}));
  EXPECT_EQ(v.RecordCount(), 4);  // the deleted one is there, hidden
  v.SetStatusFilterForTesting({usDeleted});
  EXPECT_EQ(v.RecordCount(), 1);

  TmtMemTable w;
  w.SetLoadLimit(2);
  Load(w, Save(t, {mtfSaveData, mtfSaveDef}));
  EXPECT_EQ(w.RecordCount(), 2);
  EXPECT_FALSE(w.LoadedCompletely());
  TmtMemTable odd;
  odd.OnLoadRecord = [&](TDataSet* ds, bool& accept) { accept = ds->FieldByName("N")->AsInteger() % 2 == 0; };
  Load(odd, Save(t, {mtfSaveData, mtfSaveDef}));
  EXPECT_EQ(Names(odd, "N"), (Strings{"2", "4"}));
}

// A load appends after the last slot in file order, keeps each record's
// saved status even in a versioned table, and sizes the record list once.
TEST(MemTableBinaryFormat, LoadAppendsAfterTheLastSlotAndSizesTheList) {
  TmtMemTable source;
  source.FieldDefs().Add("N", ftInteger);
  source.Open();
  for (int n = 10; n <= 12; ++n) {
    source.Append();
    source.FieldByName("N")->SetAsInteger(n);
    source.Post();
  }
  const std::string bytes = Save(source, {mtfSaveData});  // no definitions: appended to what is there

  TmtMemTable t;
  t.FieldDefs().Add("N", ftInteger);
  t.SetEnableVersioning(false);
  t.Open();
  for (int n = 1; n <= 5; ++n) {
    t.Append();
    t.FieldByName("N")->SetAsInteger(n);
    t.Post();
  }
  for (int n : {2, 4}) {  // frees slots 1 and 3
    ASSERT_TRUE(t.Locate("N", Variant(n), {}));
    t.Delete();
  }
  Load(t, bytes);
  EXPECT_EQ(t.Store()->Record(1), nullptr);
  EXPECT_EQ(t.Store()->Record(3), nullptr);
  Strings bySlot;
  for (int slot = 5; slot < t.Store()->RecordCount(); ++slot) {
    int32_t n = 0;
    ASSERT_TRUE(t.Store()->ReadField(t.Store()->Record(slot), t.FieldByName("N"), &n));
    bySlot.push_back(std::to_string(n));
  }
  EXPECT_EQ(bySlot, (Strings{"10", "11", "12"}));
  EXPECT_EQ(Names(t, "N"), (Strings{"1", "3", "5", "10", "11", "12"}));
  t.Append();  // a post takes a freed slot again
  t.FieldByName("N")->SetAsInteger(99);
  t.Post();
  EXPECT_EQ(t.Store()->RecordCount(), 8);

  // The list is sized for the whole stream before the first record.
  for (int n = 13; n < 2000; ++n) {
    source.Append();
    source.FieldByName("N")->SetAsInteger(n);
    source.Post();
  }
  const std::string many = Save(source, {mtfSaveData});
  const int64_t present = t.Store()->RecordCount();
  const int64_t e = static_cast<int64_t>(many.size()) / t.Store()->DataSize();
  ASSERT_GT(e, 100);
  int64_t capacityAtFirst = -1;
  t.OnLoadRecord = [&](TDataSet*, bool&) {
    if (capacityAtFirst < 0) capacityAtFirst = t.Store()->RecordCapacity();
  };
  Load(t, many);
  EXPECT_GE(capacityAtFirst, present + e + e / 50);

  // Statuses come from the stream, not from the loading table's versioning.
  const std::string statuses = Encode([&](TValueWriter& w) {
    w.WriteSignature();
    w.WriteInteger(251);
    w.WriteListBegin();
    FieldDef(w, 251, "N", "Integer", 0);
    w.WriteListEnd();
    w.WriteListBegin();
    w.WriteListEnd();
    w.WriteListBegin();
    for (int status : {usUnmodified, usModified}) {
      w.WriteListBegin();
      w.WriteInteger(status);
      w.WriteBoolean(false);
      w.WriteInteger(status);
      w.WriteListEnd();
    }
    w.WriteListEnd();
  });
  TmtMemTable versioned;
  versioned.SetEnableVersioning(true);
  Load(versioned, statuses);
  ASSERT_EQ(versioned.RecordCount(), 2);
  versioned.First();
  EXPECT_EQ(versioned.UpdateStatus(), usUnmodified);
  versioned.Next();
  EXPECT_EQ(versioned.UpdateStatus(), usModified);
}

TEST(MemTableBinaryFormatMalformed, HostileStreamsRaiseAndKeepWhatWasRead) {
  TmtMemTable t;
  t.FieldDefs().Add("N", ftInteger);
  t.FieldDefs().Add("S", ftString, 20);
  t.Open();
  for (int n = 1; n <= 3; ++n) {
    t.Append();
    t.FieldByName("N")->SetAsInteger(n);
    t.FieldByName("S")->SetAsString(std::string(static_cast<std::size_t>(n), 'x'));
    t.Post();
  }
  const std::string valid = Save(t, {mtfSaveData, mtfSaveDef});
  for (std::size_t cut = 1; cut < valid.size(); ++cut) {
    TmtMemTable u;
    try {
      Load(u, valid.substr(0, cut));
    } catch (const EReadError&) {
    }
    if (u.Active()) {
      EXPECT_LE(u.RecordCount(), 3);
    }
  }
  // Field values that do not fit the table's fields fail clearly.
  TmtMemTable wrong;
  wrong.FieldDefs().Add("S", ftString, 20);
  wrong.FieldDefs().Add("N", ftInteger);
  wrong.Open();
  ExpectError<EReadError>([&] { Load(wrong, Save(t, {mtfSaveData})); }, "Invalid stream format");
  struct Row {
    std::string bytes;
    const char* message;
  } rows[] = {
      {Encode([](TValueWriter& w) {
         w.WriteSignature();
         w.WriteInteger(251);
         w.WriteListBegin();
         FieldDef(w, 251, "S", "String", -5);
       }),
       "Invalid field size (-5)"},
      {Encode([](TValueWriter& w) {
         w.WriteSignature();
         w.WriteInteger(251);
         w.WriteListBegin();
         FieldDef(w, 251, "S", "Cursor", 0);
       }),
       "Unknown field type (Cursor)"},
      {std::string("TPF0\x03\xFB\x00\x01\x0C\xFF\xFF\xFF\xFF", 12), "Stream read error"},
  };
  for (const Row& r : rows) {
    TmtMemTable u;
    try {
      Load(u, r.bytes);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), r.message);
    }
  }
}

}  // namespace
