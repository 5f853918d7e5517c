// Cross-checks with independent readers and writers (Debian's dbfread,
// python3-dbf and Perl XBase): tables this engine writes read the same in
// them, and tables they write read the same here, also after this engine
// appended, edited, deleted and rewrote memos in them.
#include <gtest/gtest.h>

#include <cstdio>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"

using namespace table_test;

namespace {

std::string TrimRight(std::string s, const char* chars) {
  s.erase(s.find_last_not_of(chars) + 1);
  return s;
}

// The table as this engine reads it, in the canonical form of the scripts.
std::string EngineDump(const std::string& path) {
  XBO_dBaseFld t(path, true, false, "");
  std::string out = "fields ";
  for (int n = 1; n <= t.FieldCount(); ++n) out += (n > 1 ? "," : "") + t.FieldName(n);
  out += "\n";
  for (int r = 1; r <= t.RecordCount(); ++r) {
    t.GoRecord(r);
    out += t.IsDeleted() ? "1" : "0";
    for (int n = 1; n <= t.FieldCount(); ++n) {
      const std::string raw = t.GetRawN(n);
      const std::string trimmed = TrimRight(raw, " ");
      std::string value;
      switch (t.FieldType(n)) {
        case 'C':
          value = Hex(TrimRight(raw, " \0"));
          break;
        case 'M':
          value = Hex(t.GetMemoText(n));
          break;
        case 'N':
        case 'F':
          if (!trimmed.empty()) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.*f", t.FieldDecimals(n), t.GetNumberN(n));
            value = buffer;
          }
          break;
        case 'D':
          value = trimmed;
          break;
        case 'L':
          value = std::string("TtYy").find(raw[0]) != std::string::npos   ? "T"
                  : std::string("FfNn").find(raw[0]) != std::string::npos ? "F"
                                                                           : "";
          break;
        default:
          value = Hex(raw);
      }
      out += "|" + value;
    }
    out += "\n";
  }
  return out;
}

ToolRun Python(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3", CrosscheckScript("dbf_tools.py")};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunTool(argv);
}

ToolRun Perl(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/perl", CrosscheckScript("xbase_tools.pl")};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunTool(argv);
}

void ExpectSameAsEngine(const std::string& path, const ToolRun& tool, const std::string& label) {
  ASSERT_EQ(tool.status, 0) << label << "\n" << tool.output;
  EXPECT_EQ(tool.output, EngineDump(path)) << label;
}

bool HaveDbfread() { return PythonHas({"dbfread"}); }
bool HavePythonDbf() { return PythonHas({"dbf"}); }
bool HaveXBase() { return PerlHas("XBase"); }

// Fills a new table of the version through the engine: appends, an edit,
// a delete and a memo rewrite.
std::string EngineFixture(const TempDir& dir, uint8_t version) {
  std::vector<TxbFieldSpec> fields = {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"BIG", 'N', 10, 0},
                                      {"HUGE", 'N', 18, 0}, {"DAY", 'D', 0, 0},     {"PAID", 'L', 0, 0}};
  const bool memo = version != 0x03;
  if (memo) fields.push_back({"NOTE", 'M', 0, 0});
  const std::string path = MakeTable(dir.Path(), "engine.dbf", fields, version, "", version == 0x8B ? 512 : 64);
  XBO_dBaseFld t(path, true, true, "");
  const struct {
    const char* name;
    double amount, big, huge;
    const char* day;
    bool paid;
    std::string note;
  } rows[] = {
      {"Alpha", -12.5, 9999999999.0, 123456789012345.0, "05.01.2024", true, ""},
      {"Beta", 0.01, -999999999.0, 0, "", false, "short note"},
      {"Gamma", 1234567.89, 0, -12345678901234.0, "31.12.1999", true, std::string(1500, 'g')},
      {"Delta", -0.75, 1, 1, "29.02.2000", false, "to be rewritten"},
  };
  for (const auto& r : rows) {
    t.BlankRecord();
    t.PutText("NAME", r.name);
    t.PutNumber("AMOUNT", r.amount);
    t.PutNumber("BIG", r.big);
    t.PutNumber("HUGE", r.huge);
    t.PutText("DAY", r.day);
    t.PutLogical("PAID", r.paid);
    if (memo) t.PutText("NOTE", r.note);
    t.AppendRecord();
  }
  t.GoRecord(2);
  t.PutText("NAME", "Beta edited");
  t.PutNumber("AMOUNT", -0.01);
  t.WriteRecord(2);
  t.GoRecord(3);
  t.DeleteRecord();
  if (memo) {
    t.GoRecord(4);
    t.PutText("NOTE", std::string(900, 'r'));
    t.WriteRecord(4);
  }
  return path;
}

// What this engine does to a table another program wrote.
void ChangeThroughEngine(const std::string& path) {
  XBO_dBaseFld t(path, true, true, "");
  t.BlankRecord();
  t.PutText("NAME", "Engine");
  t.PutNumber("AMOUNT", 7.5);
  t.PutNumber("BIG", 1);
  t.PutText("DAY", "01.03.2024");
  t.PutLogical("PAID", true);
  t.PutText("NOTE", std::string(800, 'e'));
  t.AppendRecord();
  t.GoRecord(1);
  t.PutNumber("AMOUNT", 99.99);
  t.PutText("NOTE", "rewritten");
  t.WriteRecord(1);
  t.GoRecord(2);
  t.DeleteRecord();
  t.GoRecord(3);
  t.RecallRecord();
}

}  // namespace

TEST(DbfCrosscheck, EngineTablesReadTheSameInEveryIndependentReader) {
  if (!HaveDbfread()) GTEST_SKIP() << "python3-dbfread is not installed";
  for (const uint8_t version : {0x03, 0x83, 0x8B, 0xF5, 0x30}) {
    TempDir dir;
    const std::string path = EngineFixture(dir, version);
    const std::string label = "version " + std::to_string(version);
    ExpectSameAsEngine(path, Python({"dump-dbfread", path}), label + " dbfread");
    if (version != 0x8B && HavePythonDbf()) ExpectSameAsEngine(path, Python({"dump-dbf", path}), label + " python3-dbf");
    if (version != 0x30 && HaveXBase()) ExpectSameAsEngine(path, Perl({"dump", path}), label + " XBase");
  }
}

TEST(DbfCrosscheck, EngineDumpHoldsTheValuesWritten) {
  TempDir dir;
  const std::string dump = EngineDump(EngineFixture(dir, 0x83));
  EXPECT_EQ(dump.substr(0, dump.find('\n')), "fields NAME,AMOUNT,BIG,HUGE,DAY,PAID,NOTE");
  EXPECT_NE(dump.find("0|" + Hex("Alpha") + "|-12.50|9999999999|123456789012345|20240105|T|\n"), std::string::npos);
  EXPECT_NE(dump.find("0|" + Hex("Beta edited") + "|-0.01|-999999999|0||F|" + Hex("short note") + "\n"),
            std::string::npos);
  EXPECT_NE(dump.find("1|" + Hex("Gamma") + "|1234567.89|0|-12345678901234|19991231|T|" + Hex(std::string(1500, 'g'))),
            std::string::npos);
  EXPECT_NE(dump.find("0|" + Hex("Delta") + "|-0.75|1|1|20000229|F|" + Hex(std::string(900, 'r'))), std::string::npos);
}

// python3-dbf reads the header's year as years since 1900, like the dBase
// family: a table written today must not show a date a century ago.
TEST(DbfCrosscheck, TheDateOfLastUpdateReadsAsTodayInPythonDbf) {
  if (!HavePythonDbf()) GTEST_SKIP() << "python3-dbf is not installed";
  TempDir dir;
  const std::string path = EngineFixture(dir, 0x03);
  const ToolRun tool = Python({"last-update", path});
  ASSERT_EQ(tool.status, 0) << tool.output;
  int year = 0, month = 0, day = 0;
  DecodeDate(Now(), year, month, day);
  char today[16];
  std::snprintf(today, sizeof today, "%04d%02d%02d", year, month, day);
  EXPECT_EQ(tool.output, std::string(today) + "\n");
}

TEST(DbfCrosscheck, LongDbaseThreeMemosStayWholeForDbfreadAfterARewrite) {
  if (!HaveDbfread()) GTEST_SKIP() << "python3-dbfread is not installed";
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "long.dbf", {{"NAME", 'C', 5, 0}, {"NOTE", 'M', 0, 0}}, 0x83);
  // A 70000-byte memo as other programs write it, then rewritten here.
  const std::string memoPath = dir.File("long.dbt");
  std::string memo = ReadBytes(memoPath).substr(0, 512) + std::string(70000, 'L') + "\x1A\x1A";
  memo.resize(512 * ((memo.size() + 511) / 512), '\0');
  memo.replace(0, 4, Le32Bytes(static_cast<uint32_t>(memo.size() / 512)));
  WriteBytes(memoPath, memo);
  {
    XBO_dBaseFld t(path, true, true, "");
    t.BlankRecord();
    t.PutRaw("NOTE", "1");
    t.AppendRecord();
    t.GoRecord(1);
    ASSERT_EQ(t.MemoLength(2), 70000);
    t.PutText("NOTE", t.GetText("NOTE") + "!");
    t.WriteRecord(1);
  }
  ExpectSameAsEngine(path, Python({"dump-dbfread", path}), "long memo");
  EXPECT_NE(EngineDump(path).find(Hex(std::string(70000, 'L') + "!")), std::string::npos);
}

TEST(DbfCrosscheck, CzechTextStoredAsOemReadsBackInCodePage852) {
  if (!HaveDbfread()) GTEST_SKIP() << "python3-dbfread is not installed";
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "czech.dbf", {{"NAME", 'C', 30, 0}, {"NOTE", 'M', 0, 0}}, 0x83);
  const std::string text = "Příliš žluťoučký kůň úpěl ďábelské ódy";
  {
    XBO_dBaseFld t(path, true, true, "");
    t.SetTranslateOem(true);
    t.BlankRecord();
    t.PutText("NAME", AnsiToOem(Cz("Příliš žluťoučký kůň")));
    t.PutText("NOTE", AnsiToOem(Cz(text)));
    t.AppendRecord();
  }
  const ToolRun run = Python({"czech", path});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, Hex("Příliš žluťoučký kůň") + "\n" + Hex(text) + "\n");
}

TEST(DbfCrosscheck, PythonDbfTablesReadTheSameHereAndAfterOurChanges) {
  if (!HaveDbfread() || !HavePythonDbf()) GTEST_SKIP() << "python3-dbfread or python3-dbf is not installed";
  for (const char* kind : {"db3", "fp", "vfp"}) {
    TempDir dir;
    const std::string path = dir.File(std::string("py_") + kind + ".dbf");
    const ToolRun made = Python({"create-dbf", kind, path});
    ASSERT_EQ(made.status, 0) << made.output;
    ExpectSameAsEngine(path, Python({"dump-dbf", path}), std::string(kind) + " as written");
    {
      XBO_dBaseFld t(path, true, false, "");
      EXPECT_EQ(t.FieldCount(), 6) << kind;  // no phantom fields after the terminator
      t.GoRecord(1);
      EXPECT_EQ(t.GetText("NAME"), "Alpha") << kind;
      EXPECT_EQ(t.GetNumber("BIG"), 1234567890) << kind;
      EXPECT_EQ(t.GetMemoText(6), std::string(700, 'x')) << kind;
      t.GoRecord(3);
      EXPECT_TRUE(t.IsDeleted()) << kind;
      EXPECT_EQ(t.GetNumber("BIG"), 98765432101.0) << kind;
    }
    ChangeThroughEngine(path);
    ExpectSameAsEngine(path, Python({"dump-dbf", path}), std::string(kind) + " changed, python3-dbf");
    ExpectSameAsEngine(path, Python({"dump-dbfread", path}), std::string(kind) + " changed, dbfread");
    EXPECT_NE(EngineDump(path).find(Hex("rewritten")), std::string::npos);
  }
}

TEST(DbfCrosscheck, PerlXBaseTablesReadTheSameHereAndAfterOurChanges) {
  if (!HaveXBase() || !HaveDbfread()) GTEST_SKIP() << "libdbd-xbase-perl or python3-dbfread is not installed";
  for (const char* version : {"3", "4"}) {
    TempDir dir;
    const std::string path = dir.File(std::string("pl_") + version + ".dbf");
    const ToolRun made = Perl({"create", version, path});
    ASSERT_EQ(made.status, 0) << made.output;
    ExpectSameAsEngine(path, Perl({"dump", path}), std::string("XBase ") + version + " as written");
    {
      XBO_dBaseFld t(path, true, false, "");
      t.GoRecord(1);
      EXPECT_EQ(t.GetMemoText(6), std::string(700, 'x')) << version;
      t.GoRecord(2);
      EXPECT_EQ(t.GetRaw("DAY"), "        ") << version;
    }
    ChangeThroughEngine(path);
    ExpectSameAsEngine(path, Perl({"dump", path}), std::string("XBase ") + version + " changed");
    ExpectSameAsEngine(path, Python({"dump-dbfread", path}), std::string("XBase ") + version + " changed, dbfread");
  }
}
