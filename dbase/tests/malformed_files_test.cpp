// Damaged tables and memo files: each gives its engine error, never a
// crash, a hang or a write to the file; plus the seeded random inputs over
// tables and memo files of every format.
#include <gtest/gtest.h>

#include <functional>

#include "dbase/table/dbf_fields.h"
#include "dbase/table/memo_file.h"
#include "dbase/testing/dbf_input_harness.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/errors.h"
#include "platform/rtl/system.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"
#include "testing/error_message.h"

using namespace table_test;

namespace {

std::vector<TxbFieldSpec> MemoFields() { return {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 0, 0}}; }

// A table of the version with one record whose memo holds `text`.
std::string TableWithMemo(const TempDir& dir, uint8_t version, int blockSize = 512) {
  const std::string path = MakeTable(dir.Path(), "bad.dbf", MemoFields(), version, "", blockSize);
  XBO_dBaseFld t(path, false, true, "");
  t.BlankRecord();
  t.PutText("NAME", "x");
  t.PutText("NOTE", "a memo text");
  t.AppendRecord();
  return path;
}

}  // namespace

TEST(DbfMalformed, DamagedHeadersAreRefusedWithTheirMessage) {
  TempDir dir;
  const std::string good = MakeTable(dir.Path(), "good.dbf", JournalFields());
  {
    XBO_dBaseFld t(good, false, true, "");
    t.BlankRecord();
    t.AppendRecord();
  }
  const std::string bytes = ReadBytes(good);
  const std::string path = dir.Path() + "bad.dbf";
  const std::string invalid = "Table Header for " + path + " is invalid";
  auto withLe16 = [&](std::size_t at, uint32_t v) {
    std::string b = bytes;
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
    return b;
  };
  struct Case {
    const char* what;
    std::string file;
    std::string message;
  } cases[] = {
      {"header shorter than 32 bytes", bytes.substr(0, 20), "Chyba při čtení souboru " + path},
      {"version 0x02", std::string("\x02") + bytes.substr(1), invalid},
      {"record length 0", withLe16(10, 0), invalid},
      {"record length below the fields", withLe16(10, 20), invalid},
      {"header length below 33", withLe16(8, 32), invalid},
      {"header length beyond the file", withLe16(8, 4000), invalid},
      {"descriptors cut off", bytes.substr(0, 100), invalid},
      {"Visual FoxPro header without back-link area", std::string("\x30") + bytes.substr(1), invalid},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.file);
    try {
      XBO_dBaseFld t(path, true, true, "");
      ADD_FAILURE() << c.what << " opened";
    } catch (const EXbaseError& e) {
      EXPECT_EQ(e.Message(), Cz(c.message)) << c.what;
    }
    EXPECT_EQ(ReadBytes(path), c.file) << c.what;
  }
  // Unused bytes at the end of each record are no damage.
  WriteBytes(path, withLe16(10, Le16(bytes, 10) + 5).substr(0, Le16(bytes, 8)));
  XBO_dBaseFld t(path, true, false, "");
  EXPECT_EQ(t.RecordLength(), static_cast<int32_t>(Le16(bytes, 10)) + 5);
}

TEST(DbfMalformed, PaddingAfterTheDescriptorTerminatorAddsNoFields) {
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "pad.dbf", JournalFields(), 0xF5);
  std::string bytes = ReadBytes(path);
  // Insert 263 bytes after the terminator and raise the header length, as
  // some FoxPro writers do; the slots there look like fields.
  const uint32_t headerLength = Le16(bytes, 8);
  std::string padding(263, '\0');
  padding.replace(0, 5, "GHOST");
  padding[11] = 'C';
  padding[16] = 5;
  bytes.insert(headerLength, padding);
  bytes[8] = static_cast<char>((headerLength + 263) & 0xFF);
  bytes[9] = static_cast<char>((headerLength + 263) >> 8);
  WriteBytes(path, bytes);
  XBO_dBaseFld t(path, true, false, "");
  EXPECT_EQ(t.FieldCount(), 4);
  EXPECT_EQ(t.FieldNumber("GHOST"), 0);
}

TEST(DbfMalformed, DamagedMemoFilesAndPointersAreNamed) {
  struct Case {
    const char* what;
    uint8_t version;
    int blockSize;
    std::function<void(const std::string& table, const std::string& memo)> damage;
    std::string expected;  // "%m": memo file name, "%t": table name
  } cases[] = {
      {"pointer past the end", 0x83, 512,
       [](const std::string& t, const std::string&) { PatchBytes(t, Le16(ReadBytes(t), 8) + 11, "      9999"); },
       "Memo record is bad in %m"},
      {"pointer not a number", 0x83, 512,
       [](const std::string& t, const std::string&) { PatchBytes(t, Le16(ReadBytes(t), 8) + 11, "       abc"); },
       "Invalid numeric value in field BAD->NOTE (       abc)"},
      {"negative pointer", 0xF5, 64,
       [](const std::string& t, const std::string&) { PatchBytes(t, Le16(ReadBytes(t), 8) + 11, "        -3"); },
       "Memo record is bad in %m"},
      {"pointer into the FoxPro header", 0xF5, 64,
       [](const std::string& t, const std::string&) { PatchBytes(t, Le16(ReadBytes(t), 8) + 11, "         2"); },
       "Memo record is bad in %m"},
      {"dBase IV block size 0", 0x8B, 512,
       [](const std::string&, const std::string& m) { PatchBytes(m, 20, Le32Bytes(0)); }, "Memo record is bad in %m"},
      {"FoxPro block size 0", 0xF5, 64,
       [](const std::string&, const std::string& m) { PatchBytes(m, 6, std::string(2, '\0')); },
       "Memo record is bad in %m"},
      {"dBase IV length below 8", 0x8B, 512,
       [](const std::string&, const std::string& m) { PatchBytes(m, 512 + 4, Le32Bytes(7)); },
       "Memo record is bad in %m"},
      {"dBase IV length past the end", 0x8B, 512,
       [](const std::string&, const std::string& m) { PatchBytes(m, 512 + 4, Le32Bytes(0xFFFFFFF0)); },
       "Memo record is bad in %m"},
      {"dBase IV block without its mark", 0x8B, 512,
       [](const std::string&, const std::string& m) { PatchBytes(m, 512, "xx"); }, "Memo record is bad in %m"},
      {"FoxPro type 2", 0xF5, 64,
       [](const std::string&, const std::string& m) { PatchBytes(m, 8 * 64, Be32Bytes(2)); },
       "Memo record is bad in %m"},
      {"FoxPro length past the end", 0xF5, 64,
       [](const std::string&, const std::string& m) { PatchBytes(m, 8 * 64 + 4, Be32Bytes(0xFFFFFFFF)); },
       "Memo record is bad in %m"},
      {"memo header cut off", 0xF5, 64,
       [](const std::string&, const std::string& m) { WriteBytes(m, ReadBytes(m).substr(0, 5)); },
       "Memo record is bad in %m"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string table = TableWithMemo(dir, c.version, c.blockSize);
    const std::string memo = MemoFileNameFor(table, c.version);
    c.damage(table, memo);
    const std::string tableBytes = ReadBytes(table), memoBytes = ReadBytes(memo);
    std::string expected = c.expected;
    if (auto at = expected.find("%m"); at != std::string::npos) expected.replace(at, 2, memo);
    {
      XBO_dBaseFld t(table, true, true, "");
      t.GoRecord(1);
      EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.GetText("NOTE"); }), expected) << c.what;
      EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.MemoLength(2); }), expected) << c.what;
    }
    EXPECT_EQ(ReadBytes(table), tableBytes) << c.what;
    EXPECT_EQ(ReadBytes(memo), memoBytes) << c.what;
  }
}

TEST(DbfMalformed, ALoopingFreeChainStopsTheWriteWithAnError) {
  TempDir dir;
  const std::string table = TableWithMemo(dir, 0x8B, 64);
  const std::string memo = MemoFileNameFor(table, 0x8B);
  {
    XBO_dBaseFld t(table, false, true, "");
    t.BlankRecord();
    t.PutText("NOTE", "second");
    t.AppendRecord();
  }
  // Blocks 1 and 2 hold the two memos; make them free runs that point at
  // each other, with the header pointing at the first.
  PatchBytes(memo, 0, Le32Bytes(1));
  PatchBytes(memo, 64, Le32Bytes(2) + Le32Bytes(1));
  PatchBytes(memo, 128, Le32Bytes(1) + Le32Bytes(1));
  XBO_dBaseFld t(table, false, true, "");
  t.BlankRecord();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.PutText("NOTE", std::string(500, 'z')); }), "Memo record is bad in " + memo);
  EXPECT_EQ(t.MemoBlock(2), 0);
}

TEST(DbfMalformed, SeededRandomTablesNeverCrashHangOrLeak) {
  TempDir seeds, work;
  RunRandomInputs(dbf_harness::TableSeeds(seeds.Path()),
                  [&](const std::string& input) { dbf_harness::ExerciseTable(work.Path(), input); });
}

TEST(DbfMalformed, SeededRandomMemoFilesNeverCrashHangOrLeak) {
  TempDir seeds, work;
  RunRandomInputs(dbf_harness::MemoSeeds(seeds.Path()),
                  [&](const std::string& input) { dbf_harness::ExerciseMemo(work.Path(), input); });
}
