// Cross-checks of both file formats with independent readers: Python's csv
// module reads the text files, and a Python decoder of the value encoding
// (80-bit floats decoded with integer arithmetic) reads the binary ones.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "memtable/mem_table.h"
#include "platform/db/fields.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string RunScript(const std::string& mode, const std::string& path) {
  std::string command = "/usr/bin/python3 '" MT_CROSSCHECK_DIR "/crosscheck_mt_formats.py' " + mode + " '" + path + "' 2>&1";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

// "m:e" with m odd, as the script prints an 80-bit float.
std::string Exact(long double v) {
  if (v == 0) return "0:0";
  int e;
  long double f = std::frexp(v, &e);
  auto m = static_cast<int64_t>(std::ldexp(f, 64) / 2);  // 63 bits keep the sign in range
  e -= 63;
  while (m % 2 == 0) {
    m /= 2;
    ++e;
  }
  return std::to_string(m) + ":" + std::to_string(e);
}

void Fill(TmtMemTable& t) {
  t.FieldDefs().Add("NAME", ftString, 20);
  t.FieldDefs().Add("N", ftInteger);
  t.FieldDefs().Add("F", ftFloat);
  t.FieldDefs().Add("OK", ftBoolean);
  t.Open();
  struct Row {
    const char* name;
    int n;
    double f;
  } rows[] = {{"plain", 1, 0.1}, {"with \"quotes\", comma", -300, -1234.5}, {"řádek\r\nzlom 50%", 70000, 1e300}};
  for (const Row& r : rows) {
    t.Append();
    t.FieldByName("NAME")->SetAsString(Cz(r.name));
    t.FieldByName("N")->SetAsInteger(r.n);
    t.FieldByName("F")->SetAsFloat(r.f);
    t.FieldByName("OK")->SetAsBoolean(r.n > 0);
    t.Post();
  }
}

bool HavePython() { return access("/usr/bin/python3", X_OK) == 0; }

TEST(MemTableFormatsCrosscheck, PythonCsvReadsTheTextFormat) {
  if (!HavePython()) GTEST_SKIP() << "/usr/bin/python3 is missing";
  TempDir dir;
  TmtMemTable t;
  Fill(t);
  t.SetCSVRecordDelimiter(0);
  t.SaveCsvToFile(dir.File("t.csv"), {mtfSaveData});
  std::string expected = "[\"" + Hex("NAME") + "\", \"" + Hex("N") + "\", \"" + Hex("F") + "\", \"" + Hex("OK") + "\"]\n";
  for (t.First(); !t.Eof(); t.Next()) {
    std::string text = t.FieldByName("NAME")->AsString();
    std::string escaped;
    for (char c : text) escaped += c == '\r' ? std::string("%c") : c == '\n' ? std::string("%n") : c == '%' ? std::string("%%") : std::string(1, c);
    expected += "[\"" + Hex(escaped) + "\", \"" + Hex(std::to_string(t.FieldByName("N")->AsInteger())) + "\", \"";
    TFormatSettings dot = FormatSettings();
    dot.DecimalSeparator = '.';
    dot.ThousandSeparator = ',';
    expected += Hex(FloatToStr(t.FieldByName("F")->AsFloat(), dot)) + "\", \"" +
                Hex(t.FieldByName("OK")->AsBoolean() ? "True" : "False") + "\"]\n";
  }
  EXPECT_EQ(RunScript("csv", dir.File("t.csv")), expected);
}

TEST(MemTableFormatsCrosscheck, PythonDecoderReadsTheBinaryFormat) {
  if (!HavePython()) GTEST_SKIP() << "/usr/bin/python3 is missing";
  TempDir dir;
  TmtMemTable t;
  Fill(t);
  t.Append();
  t.Post();  // a record of nulls
  t.SaveBinaryToFile(dir.File("t.bin"), {mtfSaveData, mtfSaveDef});
  std::string expected;
  for (t.First(); !t.Eof(); t.Next()) {
    if (t.FieldByName("N")->IsNull()) {
      expected += "[" + std::to_string(t.UpdateStatus()) + ", null, null, null, null]\n";
      continue;
    }
    expected += "[" + std::to_string(t.UpdateStatus()) + ", \"" + Hex(t.FieldByName("NAME")->AsString()) + "\", " +
                std::to_string(t.FieldByName("N")->AsInteger()) + ", \"" +
                Exact(t.FieldByName("F")->AsFloat()) + "\", " +
                (t.FieldByName("OK")->AsBoolean() ? "true" : "false") + "]\n";
  }
  EXPECT_EQ(RunScript("bin", dir.File("t.bin")), expected);
}

}  // namespace
