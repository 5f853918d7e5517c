// The demo-data tool: what it writes, that the program opens it as it is,
// that it is reproducible, and that it never overwrites existing data.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "dbase/table/dbf_table.h"
#include "dbase/dataset/xbase_dataset.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"
#include "tools/mkdemo/demo_data.h"

namespace {

struct ToolRun {
  int status;
  std::string output;
};

// Runs the mkdemo program with the arguments; its exit status and output
// (stdout and stderr).
ToolRun Mkdemo(const std::string& arguments) {
  const std::string command = std::string(MKDEMO_PROGRAM) + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[512];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pipe ? pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::map<std::string, std::string> Files(const TempDir& dir, const std::string& sub) {
  std::map<std::string, std::string> files;
  for (const char* name : {"Pla0001.dbf", "Pla0001.cdx", "Cis0001.dbf", "Vla0000.dbf", "Org0000.dbf",
                           "Org0000.cdx", "Fin0000.dbf", "Typ0000.dbf"}) {
    if (FileExists(dir.File(sub + "/" + name))) files[name] = dir.Read(sub + "/" + name);
  }
  return files;
}

// The records of a table file (everything after its header).
std::string RecordArea(const std::string& path) {
  XBO_dBaseDBF table(path, true, false, "");
  const int64_t header = table.HeaderLength();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::string bytes;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes.substr(static_cast<std::size_t>(header));
}

std::unique_ptr<TXbaseDataSet> Open(const std::string& dir, const std::string& table) {
  auto d = std::make_unique<TXbaseDataSet>(nullptr);
  d->SetDatabaseName(dir);
  d->SetTableName(table);
  d->Open();
  return d;
}

TEST(Mkdemo, JournalOfAnySizeIsNumberedInDateOrderWithAChainThatNeverGoesNegative) {
  for (int documents : {0, 1, 7, 2000}) {
    SCOPED_TRACE(documents);
    TempDir dir;
    TDemoDataOptions options;
    options.documents = documents;
    options.seed = static_cast<uint32_t>(documents + 3);
    MakeDemoData(dir.Path() + "demo", options);
    auto journal = Open(dir.Path() + "demo", "Pla0001.dbf");
    EXPECT_EQ(journal->RecordCount(), documents);
    long long balance = 0;
    double lastDate = 0;
    int number = 0;
    for (journal->First(); !journal->Eof(); journal->Next()) {
      ++number;
      balance += std::llround(journal->FieldByName("PLA_HOD")->AsFloat() * 100);
      ASSERT_EQ(std::llround(journal->FieldByName("PLA_STA")->AsFloat() * 100), balance) << number;
      EXPECT_GE(balance, 0);
      EXPECT_EQ(journal->FieldByName("PLA_DO1")->AsString(), IntToStr(number));
      const double date = journal->FieldByName("PLA_DAT")->AsDateTime();
      EXPECT_LE(lastDate, date);
      lastDate = date;
    }
    auto counters = Open(dir.Path() + "demo", "Cis0001.dbf");
    EXPECT_EQ(counters->FieldByName("CIS_FIN")->AsString(), IntToStr(documents + 1));
    auto types = Open(dir.Path() + "demo", "Fin0000.dbf");
    EXPECT_TRUE(types->Locate("FIN_NAC", Variant(Cz("Tržba za hotové")), {}));
    EXPECT_EQ(types->FieldByName("FIN_KOE")->AsInteger(), 1);
  }
}

TEST(MkdemoGui, ProgramOpensTheDemoWithoutRebuildingAnything) {
  TempDir dir;
  const ToolRun run = Mkdemo("--documents 120 --ini " + dir.Path() + "prog/Platebna.ini " + dir.Path() + "data");
  ASSERT_EQ(run.status, 0) << run.output;
  const auto before = Files(dir, "data");
  ASSERT_EQ(before.size(), 8u);
  SetProgramDirectory(dir.Path() + "prog/");
  {
    MessageBoxRecorder boxes;
    auto* data = new TData(nullptr);
    bool progress = false;
    data->Platebna->OnStatus = [&](TObject*, int, int, int) { progress = true; };
    data->AfterConstruction();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(progress);
    EXPECT_EQ(data->BranchCode, "0001");
    EXPECT_EQ(data->DataPath, dir.Path() + "data");
    EXPECT_EQ(data->PrinterIndex, 0);
    EXPECT_EQ(data->CurrencyCode, Cz("Kč"));
    ASSERT_TRUE(data->Platebna->Active());
    EXPECT_EQ(data->Platebna->RecordCount(), 120);
    EXPECT_EQ(data->Platebna->IndexTagCount(), 8);
    data->BeforeDestruction();
    delete data;
  }
  SetProgramDirectory("");
  EXPECT_EQ(Files(dir, "data"), before);
}

TEST(Mkdemo, SameSeedGivesTheSameRecordsAndAnotherSeedOthers) {
  TempDir dir;
  for (const char* run : {"a --seed 5", "b --seed 5", "c --seed 6"}) {
    const std::string name = std::string(run).substr(0, 1);
    ASSERT_EQ(Mkdemo("--documents 200 " + std::string(run).substr(2) + " " + dir.Path() + name).status, 0);
  }
  for (const char* table : {"Pla0001.dbf", "Cis0001.dbf", "Vla0000.dbf", "Org0000.dbf", "Fin0000.dbf"}) {
    EXPECT_EQ(RecordArea(dir.Path() + "a/" + table), RecordArea(dir.Path() + "b/" + table)) << table;
  }
  EXPECT_NE(RecordArea(dir.Path() + "a/Pla0001.dbf"), RecordArea(dir.Path() + "c/Pla0001.dbf"));
}

TEST(Mkdemo, ExistingDataIsNeverOverwrittenWithoutForce) {
  TempDir dir;
  const std::string target = dir.Path() + "data";
  ASSERT_EQ(Mkdemo("--documents 30 " + target).status, 0);
  const auto before = Files(dir, "data");
  struct Case {
    std::string arguments;
    int status;
  };
  const Case refused[] = {
      {"--documents 50 " + target, 1},
      {"--documents 50 --seed 9 " + target, 1},
  };
  for (const Case& c : refused) {
    const ToolRun run = Mkdemo(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.output.find("--force"), std::string::npos) << run.output;
    EXPECT_EQ(Files(dir, "data"), before);
  }
  // One table left over is enough to refuse.
  ASSERT_EQ(Mkdemo("--documents 5 " + dir.Path() + "other").status, 0);
  for (const char* name : {"Pla0001.dbf", "Pla0001.cdx", "Cis0001.dbf", "Vla0000.dbf", "Org0000.cdx",
                           "Fin0000.dbf", "Typ0000.dbf"})
    std::remove(dir.File(std::string("other/") + name).c_str());
  EXPECT_EQ(Mkdemo(dir.Path() + "other").status, 1);
  // An existing settings file too.
  dir.Write("Platebna.ini", "[Platebna]\nProdejna=0009\n");
  EXPECT_EQ(Mkdemo("--ini " + dir.Path() + "Platebna.ini " + dir.Path() + "fresh").status, 1);
  EXPECT_EQ(dir.Read("Platebna.ini"), "[Platebna]\nProdejna=0009\n");
  EXPECT_FALSE(FileExists(dir.Path() + "fresh/Pla0001.dbf"));

  const ToolRun forced = Mkdemo("--force --documents 50 " + target);
  EXPECT_EQ(forced.status, 0) << forced.output;
  auto journal = Open(target, "Pla0001.dbf");
  EXPECT_EQ(journal->RecordCount(), 50);
  journal->AttachIndexFile(target + "/Pla0001.cdx");
  EXPECT_EQ(journal->IndexTagCount(), 8);
}

TEST(Mkdemo, WrongCommandLinesAreRefused) {
  TempDir dir;
  for (const std::string& arguments :
       {std::string(""), std::string("--documents"), "--documents x " + dir.Path() + "d", "--what " + dir.Path() + "d",
        dir.Path() + "d " + dir.Path() + "e"}) {
    EXPECT_EQ(Mkdemo(arguments).status, 2) << arguments;
  }
  EXPECT_EQ(Mkdemo("--branch 12345 " + dir.Path() + "d").status, 1);
  EXPECT_EQ(Mkdemo("--documents -4 " + dir.Path() + "d").status, 1);
  EXPECT_FALSE(FileExists(dir.Path() + "d/Pla0001.dbf"));
}

TEST(Mkdemo, SettingsFileNamesTheDemoForTheProgram) {
  TempDir dir;
  ASSERT_EQ(Mkdemo("--branch 0002 --documents 3 --ini " + dir.Path() + "Platebna.ini " + dir.Path() + "d").status, 0);
  const std::string text = dir.Read("Platebna.ini");
  EXPECT_EQ(text, "[Platebna]\r\nProdejna=0002\r\nCestaData=" + dir.Path() + "d\r\nHlavniTiskarna=0\r\nCestaPrivate=" +
                      dir.Path() + "d/private\r\nKodMeny=K\xE8\r\n");
  EXPECT_TRUE(FileExists(dir.Path() + "d/Pla0002.dbf"));
  EXPECT_TRUE(FileExists(dir.Path() + "d/Cis0002.dbf"));
}

}  // namespace
