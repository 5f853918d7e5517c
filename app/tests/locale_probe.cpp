// locale_probe DIR: does, with the program's Qt application created, the
// work whose bytes must not depend on the C library's locale, and leaves
// every file it wrote under DIR. The locale test runs it once under "C" and
// once under a Czech locale (decimal comma) and compares the two trees.
//
// It prints the C library's decimal point after the application started,
// so the caller can tell that the locale really was switched.
//
//   DIR/engine    a table with N, F and D fields, a CDX with tags on a
//                 number, a date and STR()/VAL() expressions, and
//                 ranges.txt: the records that numeric key ranges let through
//   DIR/data      the demo data tool's directory, re-indexed and with its
//                 balances recalculated by the data module
//   DIR/prog      the settings file
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "dbase/base/engine.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/table/dbf_create.h"
#include "platform/gui/application.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw Exception("cannot write " + path);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

void EngineFiles(const std::string& dir) {
  ForceDirectories(dir);
  const std::vector<TxbFieldSpec> fields = {
      {"AMOUNT", 'N', 12, 2}, {"RATE", 'F', 15, 6}, {"DAY", 'D', 0, 0}, {"CODE", 'C', 10, 0}};
  CreateDbfTable(dir + "/probe.dbf", fields, {});
  TXbaseDataSet table(nullptr);
  table.SetDatabaseName(dir);
  table.SetTableName("probe.dbf");
  table.Open();
  const double amounts[] = {-1234.5, -0.25, 0, 0.125, 12.5, 99.99, 100.5, 1234.75, 987654.32};
  for (int i = 0; i < static_cast<int>(std::size(amounts)); ++i) {
    table.Append();
    table.FieldByName("AMOUNT")->SetAsFloat(amounts[i]);
    table.FieldByName("RATE")->SetAsFloat(amounts[i] / 7.0);
    table.FieldByName("DAY")->SetAsDateTime(EncodeDate(2024, 1 + i % 12, 1 + 3 * i));
    table.FieldByName("CODE")->SetAsString(std::to_string(i * 37 % 100) + ".5");
    table.Post();
  }
  table.BuildIndexTag("probe.cdx", "AMOUNT", 0, 1, "", "AMOUNT");
  table.BuildIndexTag("probe.cdx", "DAY", 0, 1, "", "DAY");
  table.BuildIndexTag("probe.cdx", "TEXT", 0, 1, "", "STR(RATE, 14, 4) + STR(VAL(CODE) * 1.5, 8, 2)");
  table.BuildIndexTag("probe.cdx", "VALUE", 0, 1, "VAL(CODE) > 20.25", "VAL(STR(AMOUNT, 12, 2)) / 4");

  // What the ranges let through, as record numbers and field texts.
  std::string seen;
  const char* ranges[][3] = {{"AMOUNT", "-0.25", "100.5"}, {"AMOUNT", "12.5", ""}, {"VALUE", "", "25"},
                             {"DAY", "20240301", "20240930"}};
  table.AttachIndexFile("probe.cdx");
  for (const auto& range : ranges) {
    table.SelectTag(range[0]);
    table.SetKeyRange(range[1], range[2]);
    seen += std::string(range[0]) + " " + range[1] + ".." + range[2] + ":";
    for (table.First(); !table.Eof(); table.Next())
      seen += " " + std::to_string(table.RecNo()) + "=" + table.FieldByName("AMOUNT")->AsString();
    seen += "\n";
    table.SetKeyRange("", "");
  }
  table.Close();
  WriteText(dir + "/ranges.txt", seen);
}

void ProgramFiles(const std::string& root) {
  const std::string program = root + "/prog/";
  const std::string data = root + "/data";
  ForceDirectories(program);
  TDemoDataOptions options;
  options.documents = 60;
  options.iniFile = program + "Platebna.ini";
  MakeDemoData(data, options);
  SetProgramDirectory(program);
  auto* module = new TData(nullptr);
  module->AfterConstruction();
  module->Index();
  module->PrepocetZustatku();
  module->BeforeDestruction();
  delete module;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: locale_probe DIR\n", stderr);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EngineStartup();
  // The program's own start: creating the Qt application sets the C
  // library's locale from the environment.
  Application->Initialize(argc, argv);
  std::printf("%s\n", std::localeconv()->decimal_point);
  const std::string dir = argv[1];
  try {
    EngineFiles(dir + "/engine");
    ProgramFiles(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "locale_probe: %s\n", e.what());
    return 1;
  }
  std::fflush(stdout);
  Application->Shutdown();
  return 0;
}
