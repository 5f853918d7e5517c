// The application's export road: a dataset through the dataset model and
// Populate into the second sheet, saved into the documents folder; and what
// Populate leaves behind when it fails.
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "excel/dataset_model.h"
#include "excel/excel_app.h"
#include "excel/tests/support/recording_server.h"
#include "platform/db/datasource.h"
#include "platform/db/fields.h"
#include "platform/db/testing/vector_dataset.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "platform/rtl/documents_folder.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

void JournalFields(VectorDataSet& ds) {
  ds.FieldDefs().Add("PLA_DAT", ftDate);
  ds.FieldDefs().Add("PLA_DOK", ftString, 10);
  ds.FieldDefs().Add("PLA_TXT", ftString, 40);
  ds.FieldDefs().Add("PLA_HOD", ftFloat);
}

struct Road {
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  TOfExcel excel{nullptr};
  TOfDataSetModel model{nullptr};
  TOfExcelWorkbook* book = nullptr;
  TOfExcelRange* range = nullptr;
  explicit Road(bool recording = false) {
    if (recording) {
      excel.OnGetInstance = [this](TObject*, xl::XlRef& instance, xl::TGUID, xl::TGUID) {
        instance = CreateRecordingExcel(log);
      };
    }
    excel.SetConnected(true);
    book = excel.Workbooks()->Add();
    range = book->Worksheets()->Add()->Ranges()->Add();
    range->SetAddress("A1");
    range->SetOfficeModel(&model);
  }
  std::shared_ptr<xl::IWorksheet> Sheet() { return book->Workbook()->Worksheets()->Item(2); }
  AnsiString Text(const char* cell) { return VarToStr(Sheet()->Range(cell, cell)->Value()); }
};

}  // namespace

TEST(ExportRoad, AThousandJournalRowsAreSavedIntoTheDocumentsFolder) {
  TempDir dir;
  const char* oldHome = getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  setenv("HOME", dir.Path().c_str(), 1);
  VectorDataSet ds;
  JournalFields(ds);
  for (int i = 0; i < 1000; ++i) {
    ds.AddRow({Variant::FromDateTime(EncodeDate(2024, 1 + i % 12, 1 + i % 28)), Variant("P" + std::to_string(i)),
               Variant(Cz("Příjem hotovosti")), Variant(i * 10.5)});
  }
  ds.Open();
  ds.MoveBy(5);
  TBookmark current = ds.GetBookmark();

  Road road;
  road.model.SetDataset(&ds);
  road.range->Populate();
  AnsiString file = DocumentsFolder() + Cz("Přehled pokladny od 01.01.2024 do 31.12.2024.xls");
  road.book->SaveAs(file);
  road.excel.SetVisible(false);
  road.excel.SetInteractive(false);
  road.excel.SetConnected(false);
  oldHome ? setenv("HOME", savedHome.c_str(), 1) : unsetenv("HOME");

  struct stat st;
  ASSERT_EQ(stat((dir.Path() + "Documents/Přehled pokladny od 01.01.2024 do 31.12.2024.xls").c_str(), &st), 0);
  EXPECT_GT(st.st_size, 20000);
  EXPECT_EQ(ds.GetBookmark(), current);
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST(ExportRoad, PopulateWritesHeaderRowsAndOutlineFromTheTopLeftCell) {
  VectorDataSet ds;
  JournalFields(ds);
  ds.AddRow({Variant::FromDateTime(EncodeDate(2024, 3, 1)), Variant("P1"), Variant("A"), Variant(1234.5)});
  ds.AddRow({Variant::FromDateTime(EncodeDate(2024, 3, 2)), Variant("0002"), Variant("B"), Variant(-5.0)});
  ds.AddRow({Variant::FromDateTime(EncodeDate(2024, 3, 3)), Variant("P3"), Variant("C"), Variant(0.0)});
  ds.Open();
  ds.FieldByName("PLA_HOD")->SetDisplayLabel(Cz("Částka"));

  Road road(true);
  road.model.SetDataset(&ds);
  road.range->Populate();
  EXPECT_EQ(road.range->Address(), "A1:D4");
  EXPECT_EQ(road.Text("D1"), Cz("Částka"));
  EXPECT_EQ(road.Text("A2"), "01.03.2024");
  EXPECT_EQ(road.Sheet()->Range("A2", "A2")->Value().VarType(), varDate);
  EXPECT_EQ(road.Sheet()->Range("D2", "D2")->Value().AsDouble(), 1234.5);
  EXPECT_EQ(road.Text("B3"), "0002");
  EXPECT_TRUE(road.Sheet()->Range("A1", "A1")->Font()->Bold());
  EXPECT_FALSE(road.Sheet()->Range("A2", "A2")->Font()->Bold());
  EXPECT_EQ(road.Sheet()->Range("B1", "B1")->HorizontalAlignment(), xl::xlCenter);
  EXPECT_EQ(road.log->Matching("Outline.SetSummaryRow"), (std::vector<std::string>{"Outline.SetSummaryRow(0)"}));
  EXPECT_EQ(road.log->Matching("Range.SetOutlineLevel"),
            (std::vector<std::string>{"Range.SetOutlineLevel(2:2=1)", "Range.SetOutlineLevel(3:3=1)",
                                      "Range.SetOutlineLevel(4:4=1)"}));
  EXPECT_EQ(road.log->Matching("Range.AutoFit").size(), 4u);
  EXPECT_TRUE(road.excel.Application()->ScreenUpdating());
  EXPECT_EQ(Screen->Cursor(), crDefault);

  // From C5, and aligned to the top for full memos.
  road.range->SetAddress("C5");
  road.model.SetWantFullMemos(true);
  road.range->Populate();
  EXPECT_EQ(road.range->Address(), "C5:F8");
  EXPECT_EQ(road.Text("C5"), "PLA_DAT");
  EXPECT_EQ(road.Sheet()->Range("C9", "C9")->EntireColumn()->VerticalAlignment(), xl::xlTop);
}

TEST(ExportRoad, MasterDetailRowsCarryTheirOutlineLevels) {
  VectorDataSet master;
  master.FieldDefs().Add("KEY", ftString, 4);
  for (const char* k : {"M1", "M2", "M3"}) master.AddRow({Variant(k)});
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  VectorDataSet detail;
  detail.FieldDefs().Add("KEY", ftString, 4);
  detail.FieldDefs().Add("ITEM", ftString, 8);
  detail.AddRow({Variant("M1"), Variant("a")});
  detail.AddRow({Variant("M1"), Variant("b")});
  detail.AddRow({Variant("M3"), Variant("c")});
  detail.SetMasterFields("KEY");
  detail.SetMasterSource(&source);
  master.Open();
  detail.Open();
  TOfDataSetModel detailModel(nullptr);
  detailModel.SetDataset(&detail);

  Road road;
  road.model.SetDataset(&master);
  road.model.SetDetailModel(&detailModel);
  road.range->Populate();
  EXPECT_EQ(road.range->Address(), "A1:B7");
  auto sheet = road.Sheet();
  std::vector<std::pair<AnsiString, int>> rows;
  for (int r = 2; r <= 7; ++r) {
    auto row = sheet->Range("A" + std::to_string(r), "B" + std::to_string(r));
    AnsiString b = VarToStr(row->Value().Element(1).Element(2));
    rows.emplace_back(b.empty() ? VarToStr(row->Value().Element(1).Element(1)) : b, row->OutlineLevel());
  }
  std::vector<std::pair<AnsiString, int>> expected{{"M1", 1}, {"a", 2}, {"b", 2}, {"M2", 1}, {"M3", 1}, {"c", 2}};
  EXPECT_EQ(rows, expected);
}

TEST(ExportRoad, AModelWithoutRowsGetsItsHeaderAndNoModelIsAnError) {
  VectorDataSet ds;
  JournalFields(ds);
  ds.Open();
  Road road;
  road.model.SetDataset(&ds);
  road.range->Populate();
  EXPECT_EQ(road.range->Address(), "A1:D1");
  EXPECT_EQ(road.Text("C1"), "PLA_TXT");
  road.range->SetOfficeModel(nullptr);
  EXPECT_EQ(ErrorMessage<EModelException>([&] { road.range->Populate(); }),
            "A Model must be assigned in order to populate");
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ds.Close();
  road.range->SetOfficeModel(&road.model);
  EXPECT_EQ(ErrorMessage<EModelException>([&] { road.range->Populate(); }), "Model Dataset must first be opened.");
  EXPECT_TRUE(road.excel.Application()->ScreenUpdating());
}

TEST(ExportRoad, AFreedModelIsDroppedFromTheRange) {
  Road road;
  auto* model = new TOfDataSetModel(nullptr);
  road.range->SetOfficeModel(model);
  delete model;
  EXPECT_EQ(road.range->OfficeModel(), nullptr);
}

// A failed export leaves the dataset where it was, its controls working,
// screen updating on and the default cursor.
TEST(ExportRoadFailure, AFailedPopulateRestoresTheDatasetAndTheScreen) {
  VectorDataSet ds;
  ds.FieldDefs().Add("N", ftInteger);
  for (int i = 0; i < 70000; ++i) ds.AddRow({Variant(i)});
  ds.Open();
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  struct Link : TDataLink {
    int changes = 0;
    void RecordChanged(TField*) override { ++changes; }
  } link;
  link.SetDataSource(&source);

  struct Row {
    const char* name;
    bool recording;
    const char* failing;
  } rows[] = {{"the sheet ends at row 65 536", false, nullptr}, {"the server fails at the third row", true, "Range.SetValue"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ds.First();
    ds.MoveBy(9);
    Road road(row.recording);
    if (row.failing) road.log->failAt[row.failing] = 3;
    road.model.SetDataset(&ds);
    EXPECT_THROW(road.range->Populate(), EOleException);
    EXPECT_EQ(ds.FieldByName("N")->AsInteger(), 9);
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_TRUE(road.excel.Application()->ScreenUpdating());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    link.changes = 0;
    ds.Next();
    EXPECT_GT(link.changes, 0);
  }
}

TEST(ExportRoad, AServerThatCannotTurnScreenUpdatingBackOnStillEndsTheReadPass) {
  VectorDataSet ds;
  ds.FieldDefs().Add("N", ftInteger);
  for (int i = 0; i < 5; ++i) ds.AddRow({Variant(i)});
  ds.Open();
  ds.MoveBy(2);
  Road road(true);
  road.model.SetDataset(&ds);
  // Calls of ScreenUpdating so far: the connect's Visible; 2 turns it off, 3 on.
  road.log->failAt["App.SetScreenUpdating"] = road.log->counts["App.SetScreenUpdating"] + 2;
  EXPECT_THROW(road.range->Populate(), EOleException);
  EXPECT_EQ(road.Text("A6"), "4");  // the rows were written before it failed
  EXPECT_EQ(ds.FieldByName("N")->AsInteger(), 2);
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

namespace {

// A model that hands out single cells only: two rows of three columns.
class CellModel : public TOfUnknownComponent, public IOfOfficeModel {
 public:
  CellModel() : TOfUnknownComponent(nullptr) { AddInterface(IID_IOfOfficeModel, static_cast<IOfOfficeModel*>(this)); }
  bool QueryInterface(xl::TGUID iid, void** object) override { return TOfUnknownComponent::QueryInterface(iid, object); }
  int AddRef() override { return 2; }
  int Release() override { return 1; }
  void First() override { row_ = 0; }
  void Last() override { row_ = 1; }
  void Next() override { ++row_; }
  void Prior() override { --row_; }
  int SupportedModes() override { return omCellBit; }
  bool Eof() override { return row_ >= 2; }
  bool Bof() override { return row_ < 0; }
  int ColumnCount() override { return 3; }
  int Reserved() override { return 0; }
  bool HasDetail() override { return false; }
  int Level() override { return 1; }
  Variant ColumnHeaders() override { return Variant::Array({Variant("a"), Variant("b"), Variant("c")}); }
  void BeginRead() override {}
  void EndRead() override {}
  void GetData(int index, int mode, Variant& value, int& outMode) override {
    EXPECT_EQ(mode, omCell);
    outMode = omCell;
    value = Variant(row_ * 10 + index);
  }

 private:
  int row_ = 0;
};

}  // namespace

TEST(ExportRoad, ACellModeModelIsWrittenCellByCell) {
  CellModel model;
  Road road(true);
  road.range->SetOfficeModel(&model);
  road.log->calls.clear();
  road.range->Populate();
  EXPECT_EQ(road.range->Address(), "A1:C3");
  EXPECT_EQ(road.Text("C3"), "12");
  EXPECT_EQ(road.log->Matching("Range.SetOutlineLevel").size(), 0u);
  EXPECT_EQ(road.log->Matching("Range.SetValue").size(), 1u + 6u);  // the header, then one call per cell
}
