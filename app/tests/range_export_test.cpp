// The range reports' workbooks: where they are saved, what an independent
// reader finds in them, and what a failed export leaves behind (the report
// runs all the same, over the whole range).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>

#include "app/tests/range_support.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"

namespace {

using app_test::kBreakdown;
using app_test::kCashBook;
using app_test::RangeAnswer;
using app_test::RangeProgram;
using app_test::ScopedEnv;

const char* const kCashBookFile = "Přehled pokladny od 01.01.2024 do 31.12.2024.xls";
const char* const kBreakdownFile = "Rozložení příjmů a výdajů od 01.01.2024 do 31.12.2024.xls";

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Points xdg-user-dir's documents folder at $HOME/<name>.
void UserDirs(const RangeProgram& p, const char* name) {
  mkdir((p.Dir().Root() + ".config").c_str(), 0755);
  std::ofstream(p.Dir().Root() + ".config/user-dirs.dirs")
      << "XDG_DOCUMENTS_DIR=\"$HOME/" << name << "\"\n";
}

// The workbook as crosscheck_xls.py --dump sees it; null when a reader is
// missing (status 77).
QJsonObject Dump(const std::string& path, bool* skipped) {
  ToolRun run = RunTool({"/usr/bin/python3", CROSSCHECK_XLS_SCRIPT, "--dump", path});
  *skipped = run.status == 77;
  EXPECT_TRUE(run.status == 0 || run.status == 77) << run.output;
  return QJsonDocument::fromJson(QByteArray::fromStdString(run.output)).object();
}

QJsonObject At(std::map<std::pair<int, int>, QJsonObject>& cells, int row, int column) {
  return cells[{row, column}];
}

// The cells of a sheet by (row, column).
std::map<std::pair<int, int>, QJsonObject> Cells(const QJsonObject& sheet) {
  std::map<std::pair<int, int>, QJsonObject> cells;
  for (const QJsonValue& v : sheet["cells"].toArray()) {
    QJsonObject c = v.toObject();
    cells[std::pair{c["row"].toInt(), c["col"].toInt()}] = c;
  }
  return cells;
}

std::string Str(const QJsonObject& cell) { return cell["value"].toString().toStdString(); }

TEST(RangeExportCrosscheck, CashBookAndBreakdownWorkbooksReadBackByXlrd) {
  RangeProgram p(300, false);
  // A type code with a leading zero must stay text.
  app_test::RewriteJournal(p.Dir(), {{"001", 1000.00}});
  p.Start();
  UserDirs(p, "Dokumenty");
  const std::string folder = p.Dir().Root() + "Dokumenty/";

  p.Run(kCashBook, RangeAnswer{.exportData = true});
  EXPECT_TRUE(p.Boxes.empty());
  EXPECT_TRUE(p.Printed());
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ASSERT_TRUE(Exists(folder + kCashBookFile));
  bool skipped = false;
  QJsonObject book = Dump(folder + kCashBookFile, &skipped);
  if (skipped) GTEST_SKIP() << "python3-xlrd or python3-olefile is not installed";
  QJsonArray sheets = book["sheets"].toArray();
  ASSERT_EQ(sheets.size(), 2);
  EXPECT_TRUE(sheets[0].toObject()["cells"].toArray().isEmpty());
  QJsonObject sheet = sheets[1].toObject();
  auto cells = Cells(sheet);
  const char* fields[] = {"PLA_DAT", "PLA_DO1", "PLA_TYP", "PLA_KOM", "PLA_KDO",
                          "PLA_BYT", "PLA_SML", "PLA_HOD", "PLA_STA", "PLA_ROC"};
  for (int c = 0; c < 10; ++c) {
    EXPECT_EQ(Str(At(cells, 0, c)), fields[c]);
    EXPECT_TRUE(At(cells, 0, c)["font"].toObject()["bold"].toBool()) << fields[c];
    EXPECT_EQ(At(cells, 0, c)["halign"].toString().toStdString(), "centre") << fields[c];
  }
  // One row per document in date order (the demo journal is in date order).
  auto journal = app_test::OpenTable(p.Dir().DataDir(), "Pla0001.dbf");
  int row = 1;
  for (journal->First(); !journal->Eof(); journal->Next(), ++row) {
    SCOPED_TRACE(row);
    const QJsonObject date = At(cells, row, 0);
    EXPECT_EQ(date["type"].toString().toStdString(), "date");
    EXPECT_EQ(Str(date), std::string(FormatDateTime("dd.mm.yyyy", journal->FieldByName("PLA_DAT")->AsDateTime())));
    EXPECT_EQ(At(cells, row, 3)["type"].toString().toStdString(), "text");
    EXPECT_EQ(Str(At(cells, row, 3)), AnsiToUtf8(TrimRight(journal->FieldByName("PLA_KOM")->AsString())));
    EXPECT_EQ(At(cells, row, 2)["type"].toString().toStdString(), "text");
    EXPECT_EQ(Str(At(cells, row, 2)), std::string(journal->FieldByName("PLA_TYP")->AsString()));
    for (int c : {7, 8}) {
      EXPECT_EQ(At(cells, row, c)["type"].toString().toStdString(), "number");
      EXPECT_DOUBLE_EQ(At(cells, row, c)["value"].toDouble(), journal->FieldByName(fields[c])->AsFloat());
    }
  }
  EXPECT_EQ(row, 301);
  EXPECT_EQ(cells.count(std::pair{301, 0}), 0u);
  EXPECT_EQ(Str(At(cells, 1, 2)), "001");
  const QJsonObject widths = sheet["column_widths"].toObject();
  EXPECT_GT(widths["3"].toInt(), widths["1"].toInt());  // the description column is auto-fitted wider

  // The breakdown's totals table, in type order, counts as the journal's.
  p.Run(kBreakdown, RangeAnswer{.exportData = true});
  EXPECT_TRUE(p.Boxes.empty());
  ASSERT_TRUE(Exists(folder + kBreakdownFile));
  sheets = Dump(folder + kBreakdownFile, &skipped)["sheets"].toArray();
  ASSERT_EQ(sheets.size(), 2);
  cells = Cells(sheets[1].toObject());
  const char* totals[] = {"SES_TYP", "SES_SUM", "SES_NAC", "SES_JPR", "SES_POC"};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(Str(At(cells, 0, c)), totals[c]);
  const app_test::RangeSums sums = app_test::JournalSums(p.Dir().DataDir(), "01.01.2024", "31.12.2024");
  if (sums.documents >= 0) {
    row = 1;
    for (const auto& [type, sumCount] : sums.types) {
      SCOPED_TRACE(type);
      EXPECT_EQ(At(cells, row, 0)["type"].toString().toStdString(), "text");
      EXPECT_EQ(Str(At(cells, row, 0)), type);
      EXPECT_EQ(app_test::Hellers(At(cells, row, 1)["value"].toDouble()), sumCount.first);
      EXPECT_EQ(At(cells, row, 4)["value"].toDouble(), sumCount.second);
      ++row;
    }
    EXPECT_EQ(cells.count(std::pair{row, 0}), 0u);
  }
  EXPECT_EQ(Str(At(cells, 2, 2)), "Tržba za hotové");  // P01 after 001
}

// Without xdg-user-dir the workbook goes to $HOME/Documents, created; an
// empty range exports nothing; a second export replaces the file.
TEST(RangeExportGui, HomeDocumentsEmptyRangesAndReplacing) {
  RangeProgram p(20);
  {
    ScopedEnv path("PATH", (p.Dir().Root() + "no-tools").c_str());
    p.Run(kCashBook, RangeAnswer{.from = "01.01.2023", .to = "31.12.2023", .exportData = true});
    EXPECT_TRUE(p.Printed());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_FALSE(Exists(p.Documents() + "Přehled pokladny od 01.01.2023 do 31.12.2023.xls"));
    p.Run(kBreakdown, RangeAnswer{.from = "01.01.2023", .to = "31.12.2023", .exportData = true});
    EXPECT_TRUE(p.Printed());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_FALSE(Exists(p.Documents() + "Rozložení příjmů a výdajů od 01.01.2023 do 31.12.2023.xls"));

    std::ofstream(p.Documents() + kCashBookFile) << "older";
    p.Run(kCashBook, RangeAnswer{.exportData = true});
    EXPECT_TRUE(p.Boxes.empty());
    EXPECT_EQ(ReadAll(p.Documents() + kCashBookFile).substr(0, 4), "\xD0\xCF\x11\xE0");
    EXPECT_EQ(DataSestavy->OfExcel1->Workbooks()->Count(), 0);
  }
}

// A failed save ("Nejze komunikovat s MS Excel") leaves no file; a model
// failing on row 11 leaves the older file intact; the cash book still
// lists the whole range after either.
TEST(RangeExportGui, AFailedExportLeavesNoFileAndTheReportListsTheWholeRange) {
  struct FailingModel : TOfDataSetModel {
    FailingModel() : TOfDataSetModel(nullptr) {}
    int rows = 0;
    void First() override {
      rows = 1;
      TOfDataSetModel::First();
    }
    void Next() override {
      if (++rows == 11) throw Exception("model failed");
      TOfDataSetModel::Next();
    }
    // As an automation error does: the remembered record is not restored.
    void EndRead() override {
      if (rows < 11) return TOfDataSetModel::EndRead();
      Dataset()->EnableControls();
    }
  };
  RangeProgram p(40);
  const auto documents = [&] {
    const ReportCapture capture = p.Capture();
    int count = 0;
    for (const auto& row : app_test::Rows(capture))
      if (row.cells.size() > 3 && row.cells[0]->text.size() == 10 && row.cells[0]->text[2] == '.') ++count;
    return count;
  };

  // The file's place is taken by a folder: the save fails.
  const std::string file = p.Documents() + kCashBookFile;
  mkdir(p.Documents().c_str(), 0755);
  mkdir(file.c_str(), 0755);
  std::ofstream(file + "/keep") << "x";
  p.Run(kCashBook, RangeAnswer{.exportData = true});
  EXPECT_EQ(p.Boxes, (std::vector<AnsiString>{"Nejze komunikovat s MS Excel"}));
  EXPECT_TRUE(p.Printed());
  EXPECT_EQ(documents(), 40);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(ReadAll(file + "/keep"), "x");
  std::remove((file + "/keep").c_str());
  rmdir(file.c_str());

  std::ofstream(file) << "older";
  FailingModel model;
  TOfDataSetModel* own = DataSestavy->OfDataSet;
  DataSestavy->OfDataSet = &model;
  p.Run(kCashBook, RangeAnswer{.exportData = true});
  DataSestavy->OfDataSet = own;
  EXPECT_EQ(p.Boxes, (std::vector<AnsiString>{"Nejze komunikovat s MS Excel"}));
  EXPECT_GE(model.rows, 11);
  EXPECT_TRUE(p.Printed());
  EXPECT_EQ(documents(), 40);
  EXPECT_EQ(ReadAll(file), "older");
  EXPECT_FALSE(DataSestavy->OfExcel1->Connected());
  EXPECT_EQ(DataSestavy->OfExcel1->Workbooks()->Count(), 0);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

}  // namespace
