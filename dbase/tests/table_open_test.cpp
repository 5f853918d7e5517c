// Opening tables, the header bytes written back, the record window and its
// moves, appends and rewrites, the in-process behaviour of the locks, the
// password scrambler and the record-buffer redirect.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include "dbase/table/dbf_fields.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/table/dbf_table.h"
#include "dbase/table/lock_protocol.h"
#include "dbase/table/scrambler.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"
#include "testing/error_message.h"

using namespace table_test;

namespace {

// Records what the table tells its descendants.
class NotifyRecorder : public XBO_dBaseFld {
 public:
  using XBO_dBaseFld::XBO_dBaseFld;
  void Notify(int code, int32_t value) override {
    codes.push_back(code * 1000 + value);
    if (code == xbnWritten) modifiedSeenOnWrite = RecordModified();
    XBO_dBaseFld::Notify(code, value);
  }
  std::vector<int> codes;
  bool modifiedSeenOnWrite = false;
};

void AppendNamed(XBO_dBaseFld& t, const std::string& name, double amount = 0) {
  t.BlankRecord();
  t.PutText("NAME", name);
  t.PutNumber("AMOUNT", amount);
  t.AppendRecord();
}

// Byte 28 on disk.
unsigned FlagByte(const std::string& path) { return static_cast<unsigned char>(ReadBytes(path)[28]); }

}  // namespace

TEST(TableOpen, FreshTableDescribesItsFieldsAndIsEmpty) {
  TempDir dir;
  std::vector<TxbFieldSpec> fields = JournalFields();
  fields.push_back({"LONGTEXT", 'C', 300, 0});
  const std::string path = MakeTable(dir.Path(), "fresh.dbf", fields);
  XBO_dBaseFld t(path, true, true, "");
  EXPECT_EQ(t.Version(), 0x03);
  EXPECT_EQ(t.FieldCount(), 5);
  EXPECT_EQ(t.HeaderLength(), 32 + 5 * 32 + 1);
  EXPECT_EQ(t.RecordLength(), 1 + 20 + 12 + 8 + 1 + 300);
  EXPECT_EQ(t.RecordCount(), 0);
  const int offsets[] = {1, 21, 33, 41, 42};
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(t.FieldOffset(n), offsets[n - 1]) << n;
    EXPECT_EQ(t.Descriptor(n).number, n);
  }
  EXPECT_EQ(t.FieldLength(5), 300);  // stored as 44 + 256 x 1
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(static_cast<unsigned char>(bytes[32 + 4 * 32 + 16]), 44);
  EXPECT_EQ(static_cast<unsigned char>(bytes[32 + 4 * 32 + 17]), 1);
  t.GoRecord(xbmoFirst);
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
}

TEST(TableOpen, NameWithoutExtensionAndAnyCaseIsFound) {
  TempDir dir;
  MakeTable(dir.Path(), "pla0001.dbf", JournalFields());
  XBO_dBaseFld t(dir.Path() + "PLA0001", true, false, "");
  EXPECT_EQ(t.TableName(), "PLA0001");
  EXPECT_EQ(ErrorMessage([&] { XBO_dBaseFld missing(dir.Path() + "nothere", true, false, ""); }),
            "File " + dir.Path() + "nothere.DBF could not be found");
}

TEST(TableOpen, RecordCountComesFromTheFileSizeNotTheHeader) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "count.dbf", JournalFields());
  {
    XBO_dBaseFld t(path, false, true, "");
    for (int i = 0; i < 12; ++i) AppendNamed(t, "R" + std::to_string(i));
  }
  PatchBytes(path, 4, Le32Bytes(10));
  XBO_dBaseFld t(path, true, false, "");
  EXPECT_EQ(t.RecordCount(), 12);
}

TEST(TableOpen, PasswordMustMatchTheEncryptedFlag) {
  TempDir dir;
  const std::string plain = MakeTable(dir.Path(), "plain.dbf", JournalFields());
  const std::string secret = MakeTable(dir.Path(), "secret.dbf", JournalFields(), 0x03, "heslo");
  struct Case {
    std::string path, password, message;
  } cases[] = {
      {plain, "heslo", "A Password is included for unencrypted file " + plain},
      {secret, "", "No Password for encrypted file " + secret},
      {secret, "jine", "Invalid Password for encrypted file " + secret},
  };
  for (const Case& c : cases) {
    try {
      XBO_dBaseFld t(c.path, true, false, c.password);
      ADD_FAILURE() << c.path << " opened";
    } catch (const EXbaseEncryption& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  XBO_dBaseFld ok(secret, true, false, "heslo");
  EXPECT_EQ(ok.FieldCount(), 4);
  EXPECT_EQ(ok.FieldName(1), "NAME");
}

TEST(TableOpen, TheDateOfLastUpdateReadsInEitherYearForm) {
  struct Case {
    unsigned char year, month, day;
    int expected;  // 0: no date
  } cases[] = {{126, 2, 28, 2026}, {26, 2, 28, 2026}, {95, 12, 31, 1995}, {79, 1, 1, 2079},
               {80, 1, 1, 1980},   {255, 6, 1, 2155}, {126, 13, 1, 0},    {126, 2, 30, 0}};
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "dated.dbf", JournalFields());
  for (const Case& c : cases) {
    PatchBytes(path, 1, std::string{static_cast<char>(c.year), static_cast<char>(c.month), static_cast<char>(c.day)});
    XBO_dBaseFld t(path, false, false, "");
    if (c.expected == 0) {
      EXPECT_EQ(t.LastUpdate(), 0) << int{c.year};
      continue;
    }
    int year = 0, month = 0, day = 0;
    DecodeDate(t.LastUpdate(), year, month, day);
    EXPECT_EQ(year, c.expected) << int{c.year};
    EXPECT_EQ(month * 100 + day, c.month * 100 + c.day) << int{c.year};
  }
  EXPECT_EQ(HeaderYearByte(2026), 126);
}

TEST(TableOpen, HeaderWriteStampsDateCountTimeAndUserAndCarriesTheRest) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "stamp.dbf", JournalFields());
  PatchBytes(path, 12, "abc");
  PatchBytes(path, 24, "wxyz");
  PatchBytes(path, 28, std::string("\xFF\x64qr", 4));
  for (int step = 0; step < 2; ++step) {
    {
      XBO_dBaseFld t(path, true, true, "");
      t.SetUserId(4711 + step);
      if (step == 0) {
        AppendNamed(t, "first");
        AppendNamed(t, "second");
      } else {
        t.GoRecord(1);
        t.PutText("NAME", "changed");
        t.WriteRecord(1);
      }
    }
    const std::string h = ReadBytes(path);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    const TDateTime now = Now();
    DecodeDate(now, year, month, day);
    DecodeTime(now, hour, minute, second, ms);
    EXPECT_EQ(static_cast<unsigned char>(h[1]), year - 1900);  // as every dBase program reads it
    EXPECT_EQ(static_cast<unsigned char>(h[2]), month);
    EXPECT_EQ(static_cast<unsigned char>(h[3]), day);
    EXPECT_EQ(Le32(h, 4), 2u);
    const uint32_t stamp = Le32(h, 16);
    const uint32_t msPart = stamp % 1024;
    const uint32_t rest = stamp / 1024;
    const double written = (rest / 4096) * 3600.0 + ((rest / 64) % 64) * 60.0 + rest % 64 + msPart / 1000.0;
    const double clock = hour * 3600.0 + minute * 60.0 + second + ms / 1000.0;
    EXPECT_LT(std::abs(clock - written), 2.0) << stamp;
    EXPECT_EQ(Le32(h, 20), 4711u + static_cast<uint32_t>(step));
    EXPECT_EQ(h.substr(12, 3), "abc");
    EXPECT_EQ(h.substr(24, 4), "wxyz");
    EXPECT_EQ(static_cast<unsigned char>(h[28]), 0x07);
    EXPECT_EQ(static_cast<unsigned char>(h[29]), 0x64);
    EXPECT_EQ(h.substr(30, 2), "qr");
    EXPECT_EQ(h[15], 0);
  }
}

TEST(TableOpen, ProductionIndexFlagReachesTheFileAndKeepsTheOtherFlags) {
  enum class Then { Append, Rewrite, Nothing };
  const struct {
    bool shared;
    Then then;
  } cases[] = {{true, Then::Append},  {true, Then::Rewrite},  {true, Then::Nothing},
               {false, Then::Append}, {false, Then::Rewrite}, {false, Then::Nothing}};
  for (const auto& c : cases) {
    const std::string label = std::string(c.shared ? "shared " : "exclusive ") +
                              (c.then == Then::Append ? "append" : c.then == Then::Rewrite ? "rewrite" : "no write");
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "prod.dbf", JournalFields());
    {
      XBO_dBaseFld t(path, false, true, "");
      AppendNamed(t, "one");
    }
    // Bits 1 and 2 belong to the file; 3-7 are written back as 0.
    PatchBytes(path, 28, std::string(1, '\xF6'));
    {
      XBO_dBaseFld t(path, c.shared, true, "");
      t.SetProductionIndexFlag();
      if (c.then == Then::Append) AppendNamed(t, "two");
      if (c.then == Then::Rewrite) {
        t.GoRecord(1);
        t.PutText("NAME", "changed");
        t.WriteRecord(1);
      }
      EXPECT_EQ(FlagByte(path), 0x07u) << label << ", table still open";
    }
    EXPECT_EQ(FlagByte(path), 0x07u) << label;
    XBO_dBaseFld t(path, true, false, "");
    EXPECT_EQ(t.RecordCount(), c.then == Then::Append ? 2 : 1) << label;
  }
}

TEST(TableOpen, ProductionIndexFlagWaitsForLocksAndIsNeverCleared) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "wait.dbf", JournalFields());
  {
    XBO_dBaseFld t(path, false, true, "");
    AppendNamed(t, "one");
  }
  auto bit = [&] { return FlagByte(path) & 0x01u; };

  // Another writer holds the append lock: the flag goes out with our next
  // write, and that writer's own header write does not drop it afterwards.
  {
    XBO_dBaseFld a(path, true, true, "");
    XBO_dBaseFld b(path, true, true, "");
    ASSERT_TRUE(b.LockAppend());
    a.SetProductionIndexFlag();
    EXPECT_EQ(a.LockCount(), 0);
    EXPECT_EQ(bit(), 0u);
    b.ReleaseLock();
    a.GoRecord(1);
    ASSERT_TRUE(a.LockCurrentRecord());
    a.WriteRecord(1);
    a.ReleaseLock();
    EXPECT_EQ(bit(), 1u);
    AppendNamed(b, "by b");
    EXPECT_EQ(bit(), 1u);
  }
  PatchBytes(path, 28, std::string(1, '\0'));

  // Our own table lock defers the header to its release; a record lock of
  // ours defers it to the close.
  {
    XBO_dBaseFld a(path, true, true, "");
    ASSERT_TRUE(a.LockAllRecords());
    a.SetProductionIndexFlag();
    EXPECT_EQ(bit(), 0u);
    a.ReleaseLock();
    EXPECT_EQ(bit(), 1u);
  }
  PatchBytes(path, 28, std::string(1, '\0'));
  {
    XBO_dBaseFld a(path, true, true, "");
    a.GoRecord(1);
    ASSERT_TRUE(a.LockCurrentRecord());
    a.SetProductionIndexFlag();
    EXPECT_EQ(bit(), 0u);
    EXPECT_EQ(a.LockCount(), 1);
    a.ReleaseLock();
    a.Close();
  }
  EXPECT_EQ(bit(), 1u);

  // A flag already on disk: nothing is written, not even the date.
  PatchBytes(path, 1, std::string("\x01\x02\x03", 3));
  const std::string before = ReadBytes(path);
  for (bool shared : {true, false}) {
    XBO_dBaseFld a(path, shared, true, "");
    a.SetProductionIndexFlag();
  }
  EXPECT_EQ(ReadBytes(path), before);

  // A table that never set the flag keeps the one another program set, on
  // shared and exclusive opens; a read-only open leaves the file alone.
  for (bool shared : {true, false}) {
    XBO_dBaseFld a(path, shared, true, "");
    AppendNamed(a, "more");
    EXPECT_EQ(bit(), 1u) << shared;
  }
  PatchBytes(path, 28, std::string(1, '\0'));
  const std::string unflagged = ReadBytes(path);
  {
    XBO_dBaseFld r(path, true, false, "");
    r.SetProductionIndexFlag();
  }
  EXPECT_EQ(ReadBytes(path), unflagged);
}

TEST(TableOpen, BuildingOrOpeningTheProductionIndexFlagsTheTableAtOnce) {
  const struct {
    const char* index;
    bool shared;
    bool build;  // else built before, the flag cleared, then opened
    unsigned flag;
  } cases[] = {{"prod.cdx", true, true, 1},   {"prod.cdx", false, true, 1},   {"prod.mdx", true, true, 1},    {"prod.mdx", false, true, 1},
               {"prod.cdx", true, false, 1},  {"prod.mdx", true, false, 1},   {"other.cdx", true, true, 0},
               {"other.mdx", false, true, 0}};
  for (const auto& c : cases) {
    const std::string label =
        std::string(c.index) + (c.shared ? " shared" : " exclusive") + (c.build ? " build" : " open");
    TempDir dir;
    const std::string path = MakeTable(dir.Path(), "prod.dbf", JournalFields());
    const std::string index = dir.Path() + c.index;
    {
      XBO_dBaseFld t(path, false, true, "");
      for (const char* name : {"b", "a", "c"}) AppendNamed(t, name);
    }
    if (!c.build) {
      {
        DBFObject builder(path, false, true, "");
        builder.CreateIndexTag(index, "NAME", 0, 1, "", "NAME");
      }
      PatchBytes(path, 28, std::string(1, '\0'));
    }
    DBFObject t(path, c.shared, true, "");
    if (c.build)
      t.CreateIndexTag(index, "NAME", 0, 1, "", "NAME");
    else
      ASSERT_EQ(t.OpenIndexFile(index), 0) << label;
    EXPECT_EQ(FlagByte(path) & 0x01u, c.flag) << label;
  }
}

TEST(TableMoves, MoveCodesWalkTheTableAndStopAtItsEnds) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "moves.dbf", JournalFields());
  XBO_dBaseFld t(path, true, true, "");
  for (const char* name : {"one", "two", "three"}) AppendNamed(t, name);

  struct Step {
    int32_t code;
    int32_t record;  // expected current record afterwards
    bool eof, bof;
    const char* name;  // expected NAME in the buffer
  } steps[] = {
      {xbmoFirst, 1, false, false, "one"},   {xbmoNext, 2, false, false, "two"},
      {xbmoNext, 3, false, false, "three"},  {xbmoNext, 3, true, false, "three"},
      {xbmoLast, 3, false, false, "three"},  {xbmoPrevious, 2, false, false, "two"},
      {xbmoPrevious, 1, false, false, "one"}, {xbmoPrevious, 1, false, true, "one"},
      {2, 2, false, false, "two"},           {4, 2, true, false, "two"},
      {xbmoCurrent, 2, false, false, "two"}, {0, 2, false, false, "two"},
  };
  for (const Step& s : steps) {
    t.GoRecord(s.code);
    EXPECT_EQ(t.RecordNumber(), s.record) << s.code;
    EXPECT_EQ(t.Eof(), s.eof) << s.code;
    EXPECT_EQ(t.Bof(), s.bof) << s.code;
    EXPECT_EQ(t.GetText("NAME"), s.name) << s.code;
  }
  for (int32_t bad : {5, -6, -100}) {
    EXPECT_EQ(ErrorMessage([&] { t.GoRecord(bad); }),
              "Record number " + std::to_string(bad) + " is not in table " + path)
        << bad;
  }
}

TEST(TableMoves, NoCurrentRecordIsNeverReadFromTheHeader) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "nocur.dbf", JournalFields());
  {
    XBO_dBaseFld t(path, false, true, "");
    AppendNamed(t, "only");
  }
  XBO_dBaseFld t(path, true, false, "");
  ASSERT_EQ(t.RecordNumber(), 0);
  EXPECT_EQ(ErrorMessage([&] { t.GoRecord(xbmoCurrent); }), "Record number 0 is not in table " + path);
  t.GoRecord(xbmoPrevious);
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecordNumber(), 0);
  EXPECT_EQ(t.GetText("NAME"), "");  // still the blank buffer, not header bytes
  t.GoRecord(xbmoNext);
  EXPECT_EQ(t.GetText("NAME"), "only");
}

TEST(TableMoves, AppendsOfAnotherObjectBecomeVisibleOnSharedTables) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "share.dbf", JournalFields());
  XBO_dBaseFld reader(path, true, false, "");
  XBO_dBaseFld writer(path, true, true, "");
  reader.GoRecord(xbmoFirst);
  EXPECT_TRUE(reader.Eof());
  AppendNamed(writer, "a");
  AppendNamed(writer, "b");
  reader.GoRecord(xbmoFirst);
  EXPECT_EQ(reader.GetText("NAME"), "a");
  reader.GoRecord(xbmoNext);
  EXPECT_EQ(reader.GetText("NAME"), "b");
  AppendNamed(writer, "c");
  reader.GoRecord(xbmoNext);  // count + 1 re-reads before deciding on EOF
  EXPECT_FALSE(reader.Eof());
  EXPECT_EQ(reader.GetText("NAME"), "c");
  EXPECT_EQ(reader.RecordCount(), 3);
}

TEST(TableWrites, AppendEndsTheFileWithOneEndMarkAndRewriteKeepsItsSize) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "write.dbf", JournalFields());
  XBO_dBaseFld t(path, true, true, "");
  AppendNamed(t, "alpha", 1.5);
  AppendNamed(t, "beta", -2);
  const int64_t size = t.HeaderLength() + 2 * t.RecordLength() + 1;
  EXPECT_EQ(SizeOf(path), size);
  EXPECT_EQ(ReadBytes(path).back(), '\x1A');

  t.GoRecord(1);
  t.PutText("NAME", "gamma");
  t.WriteRecord(1);
  EXPECT_EQ(SizeOf(path), size);
  EXPECT_EQ(std::string(t.SavedRecord() + 1, 5), "gamma");

  t.PutText("NAME", "delta");
  t.WriteRecord(3);  // outside the table: appended
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.RecordNumber(), 3);
  EXPECT_EQ(SizeOf(path), size + t.RecordLength());

  XBO_dBaseFld check(path, true, false, "");
  const char* expected[] = {"gamma", "beta", "delta"};
  for (int n = 1; n <= 3; ++n) {
    check.GoRecord(n);
    EXPECT_EQ(check.GetText("NAME"), expected[n - 1]);
    EXPECT_FALSE(check.IsDeleted());
  }
}

TEST(TableWrites, DescendantsAreToldOfEveryStepAndSeeTheModifiedFlagOnWrite) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "notify.dbf", JournalFields());
  NotifyRecorder t(path, true, true, "");
  t.SetAutoFlush(true);
  t.BlankRecord();
  t.PutText("NAME", "x");
  t.AppendRecord();
  EXPECT_TRUE(t.modifiedSeenOnWrite);
  EXPECT_FALSE(t.RecordModified());
  t.GoRecord(1);
  t.PutText("NAME", "y");
  t.WriteRecord(1);
  const std::vector<int> expected = {0, 5000, 7000, 8000, 4001, 6001, 5001, 7001, 8000};
  EXPECT_EQ(t.codes, expected);
}

TEST(TableWrites, RecordBufferCanBePointedElsewhereForOneScope) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "redirect.dbf", JournalFields());
  XBO_dBaseFld t(path, true, true, "");
  AppendNamed(t, "stored");
  std::vector<char> mine(static_cast<std::size_t>(t.RecordLength()) + 1, ' ');
  char* own = t.Record();
  try {
    TxbRecordBufferRedirect redirect(t, mine.data());
    t.GoRecord(1);
    EXPECT_EQ(t.Record(), mine.data());
    throw std::runtime_error("leave");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(t.Record(), own);
  EXPECT_EQ(std::string(mine.data() + 1, 6), "stored");
}

TEST(TableWrites, EncryptedTablesStoreScrambledRecordsAndReadThemBack) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "enc.dbf", JournalFields(), 0x03, "tajne");
  {
    XBO_dBaseFld t(path, true, true, "tajne");
    AppendNamed(t, "Secret name", 99.5);
  }
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.find("Secret"), std::string::npos);
  EXPECT_EQ(bytes.find("NAME"), std::string::npos);  // descriptors scrambled too
  EXPECT_EQ(static_cast<unsigned char>(bytes[15]), 1);
  XBO_dBaseFld t(path, true, false, "tajne");
  t.GoRecord(1);
  EXPECT_EQ(t.GetText("NAME"), "Secret name");
  EXPECT_EQ(t.GetNumber("AMOUNT"), 99.5);
}

TEST(Scrambler, IsItsOwnInverseAndRestartsPerPiece) {
  const std::string password = "Kl\xED\x10";
  std::string plain(600, '\0');
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(i * 7 + 3);
  std::string coded(plain.size(), '\0');
  EXPECT_EQ(ScrambleBytes(password, plain.data(), coded.data(), plain.size(), true), 1);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto key = static_cast<unsigned char>((i & 0xFF) | static_cast<unsigned char>(password[i % 4]));
    ASSERT_EQ(static_cast<unsigned char>(coded[i]), key ^ static_cast<unsigned char>(plain[i])) << i;
  }
  std::string back = coded;
  EXPECT_EQ(ScrambleBytes(password, back.data(), back.data(), back.size(), false), -1);
  EXPECT_EQ(back, plain);
  std::string copy(plain.size(), '\0');
  EXPECT_EQ(ScrambleBytes("", plain.data(), copy.data(), plain.size(), true), 0);
  EXPECT_EQ(copy, plain);
}

TEST(LockProtocolTable, RegionsAreTheBytesOtherProgramsLock) {
  struct Row {
    TxbLokProtocol protocol;
    TxbLockRegion table, append, record7, memo, index;
  } rows[] = {
      {TxbLokProtocol::Default, {0x40000000, 0x3FFFFFFF}, {0x7FFFFFFE, 1}, {0x7FFFFFF7, 1}, {0x7FFFFFFD, 1}, {0x7FFFFFFD, 2}},
      {TxbLokProtocol::FoxLock, {0x40000000, 0x3FFFFFFF}, {0x7FFFFFFE, 1}, {0x7FFFFFF7, 1}, {0x7FFFFFFD, 1}, {0x7FFFFFFD, 2}},
      {TxbLokProtocol::DB4Lock, {0x40000000, 0xB0000000}, {0xEFFFFFFF, 1}, {0xEFFFFFF7, 1}, {0xEFFFFFFE, 2}, {0xEFFFFFFE, 2}},
      {TxbLokProtocol::ClipLock, {1000000000, 1000000000}, {1000000000, 1}, {1000000007, 1}, {1000000000, 1}, {1000000000, 1}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(*TableLockRegion(r.protocol), r.table);
    EXPECT_EQ(*AppendLockRegion(r.protocol), r.append);
    EXPECT_EQ(*RecordLockRegion(r.protocol, 7, true, 100, 50), r.record7);
    EXPECT_EQ(*MemoLockRegion(r.protocol), r.memo);
    EXPECT_EQ(*IndexLockRegion(r.protocol), r.index);
  }
  // Without index files Default and FoxLock lock the record's own bytes.
  EXPECT_EQ(*RecordLockRegion(TxbLokProtocol::Default, 7, false, 100, 50),
            (TxbLockRegion{0x40000000u + 100 + 6 * 50, 1}));
  EXPECT_EQ(*RecordLockRegion(TxbLokProtocol::DB4Lock, 7, false, 100, 50), (TxbLockRegion{0xEFFFFFF7, 1}));
  EXPECT_EQ(EntireFileLockRegion(), (TxbLockRegion{0, 0x7FFFFFFF}));
  EXPECT_EQ(MemoAllocationLockRegion(), (TxbLockRegion{0, 1}));
  const auto unknown = static_cast<TxbLokProtocol>(4);
  EXPECT_FALSE(TableLockRegion(unknown));
  EXPECT_FALSE(RecordLockRegion(unknown, 1, false, 100, 50));
  EXPECT_FALSE(RecordLockRegion(TxbLokProtocol::ClipLock, 0, false, 100, 50));
}

TEST(TableLocks, RecordLocksOfTwoOpensExcludeEachOtherUnderEveryProtocol) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "rl.dbf", JournalFields());
  {
    XBO_dBaseFld t(path, false, true, "");
    for (int i = 0; i < 3; ++i) AppendNamed(t, "r");
  }
  for (int p = 0; p < 4; ++p) {
    const auto protocol = static_cast<TxbLokProtocol>(p);
    XBO_dBaseFld a(path, true, true, "");
    XBO_dBaseFld b(path, true, true, "");
    a.SetLockProtocol(protocol);
    b.SetLockProtocol(protocol);
    a.GoRecord(2);
    b.GoRecord(2);
    ASSERT_TRUE(a.LockCurrentRecord()) << p;
    EXPECT_FALSE(b.LockCurrentRecord()) << p;
    b.GoRecord(3);
    EXPECT_TRUE(b.LockCurrentRecord()) << p;
    b.ReleaseLock();
    b.GoRecord(2);
    a.ReleaseLock();
    EXPECT_TRUE(b.LockCurrentRecord()) << p;
    b.ReleaseLock();
  }
  XBO_dBaseFld c(path, true, true, "");
  c.SetLockProtocol(static_cast<TxbLokProtocol>(4));
  c.GoRecord(1);
  EXPECT_FALSE(c.LockCurrentRecord());
}

TEST(TableLocks, TableLockDefersTheHeaderAndCountsItsLevels) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "tl.dbf", JournalFields());
  XBO_dBaseFld a(path, true, true, "");
  XBO_dBaseFld b(path, true, true, "");
  ASSERT_TRUE(a.LockAllRecords());
  EXPECT_TRUE(a.TableLocked());
  AppendNamed(a, "one");
  AppendNamed(a, "two");
  EXPECT_EQ(Le32(ReadBytes(path), 4), 0u);  // header waits for the release
  a.GoRecord(1);
  EXPECT_TRUE(a.LockCurrentRecord());  // only one more level
  EXPECT_EQ(a.LockCount(), 2);

  b.GoRecord(1);
  EXPECT_FALSE(b.LockCurrentRecord());
  EXPECT_FALSE(b.LockAppend());
  {
    FastRetries fast;
    EXPECT_EQ(ErrorMessage([&] { AppendNamed(b, "refused"); }), "Can not Lock file " + b.FileName());
  }
  EXPECT_EQ(b.LockCount(), 0);

  a.ReleaseLock();
  EXPECT_TRUE(a.TableLocked());
  a.ReleaseLock();
  EXPECT_FALSE(a.TableLocked());
  EXPECT_EQ(Le32(ReadBytes(path), 4), 2u);
  EXPECT_TRUE(b.LockCurrentRecord());
  b.ReleaseLock();
  EXPECT_EQ(SizeOf(path), a.HeaderLength() + 2 * a.RecordLength() + 1);
}

TEST(TableLocks, AppendWhileHoldingAnotherRegionFailsAtOnceAndKeepsThatLock) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "hold.dbf", JournalFields());
  XBO_dBaseFld t(path, true, true, "");
  AppendNamed(t, "one");
  t.GoRecord(1);
  ASSERT_TRUE(t.LockCurrentRecord());
  const int64_t size = SizeOf(path);
  int sleeps = 0;
  auto previous = SetSleepHook([&](int) { ++sleeps; });
  EXPECT_EQ(ErrorMessage([&] { AppendNamed(t, "two"); }), "Can not Lock file " + t.FileName());
  SetSleepHook(previous);
  EXPECT_EQ(sleeps, 0);
  EXPECT_EQ(SizeOf(path), size);
  EXPECT_EQ(t.LockCount(), 1);
  EXPECT_EQ(t.RecordCount(), 1);
  t.ReleaseLock();
}

TEST(TableLocks, EntireFileLockGivesFullAccess) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "full.dbf", JournalFields());
  XBO_dBaseFld t(path, true, true, "");
  EXPECT_FALSE(t.HasFullAccess());
  ASSERT_TRUE(t.LockEntireFile());
  EXPECT_TRUE(t.HasFullAccess());
  EXPECT_TRUE(t.TableLocked());
  t.ReleaseLock();
  EXPECT_FALSE(t.TableLocked());
  EXPECT_EQ(t.LockCount(), 0);
}

TEST(TableRename, TableAndMemoMoveTogether) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "old.dbf", JournalFields(true), 0x83);
  XBO_dBaseFld t(path, false, true, "");
  t.BlankRecord();
  t.PutText("NOTE", "memo text");
  t.AppendRecord();
  t.RenameFile(dir.Path() + "new.dbf");
  EXPECT_TRUE(std::filesystem::exists(dir.Path() + "new.dbf"));
  EXPECT_TRUE(std::filesystem::exists(dir.Path() + "new.dbt"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "old.dbt"));
  EXPECT_EQ(t.TableName(), "NEW");
  t.GoRecord(1);
  EXPECT_EQ(t.GetText("NOTE"), "memo text");
  EXPECT_EQ(ReadBytes(dir.Path() + "new.dbt").substr(8, 4), std::string("new\0", 4));
}
