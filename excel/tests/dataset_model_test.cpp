// The dataset model over VectorDataSet: headers, modes, the master/detail
// walk, the read pass and its errors.
#include <gtest/gtest.h>

#include "excel/dataset_model.h"
#include "platform/db/datasource.h"
#include "platform/db/fields.h"
#include "platform/db/testing/vector_dataset.h"
#include "testing/error_message.h"

namespace {

std::vector<AnsiString> Texts(const Variant& array) {
  std::vector<AnsiString> out;
  for (int i = array.ArrayLowBound(); i <= array.ArrayHighBound(); ++i) out.push_back(array.Element(i).AsString());
  return out;
}

}  // namespace

TEST(DataSetModel, WithoutADatasetEverythingIsEmpty) {
  TOfDataSetModel model(nullptr);
  EXPECT_EQ(model.ColumnCount(), 0);
  EXPECT_FALSE(model.Eof());
  EXPECT_FALSE(model.Bof());
  EXPECT_EQ(model.Level(), 0);
  EXPECT_EQ(model.Reserved(), 0);
  EXPECT_EQ(model.SupportedModes(), 3);
  Variant value;
  int mode = -1;
  model.GetData(0, omCell, value, mode);
  EXPECT_TRUE(value.IsEmpty());
  model.First();
  model.Next();
  try {
    model.BeginRead();
    FAIL();
  } catch (const EModelException& e) {
    EXPECT_EQ(e.Message(), "Model Dataset must be assigned first.");
  }
}

TEST(DataSetModel, HeadersCellsAndRowsAreEditTexts) {
  VectorDataSet ds;
  ds.FieldDefs().Add("PLA_DOK", ftString, 10);
  ds.FieldDefs().Add("PLA_HOD", ftFloat);
  ds.FieldDefs().Add("PLA_POZ", ftMemo);
  ds.AddRow({Variant("P001"), Variant(1234.5), Variant("dlouhá poznámka")});
  ds.Open();
  ds.FieldByName("PLA_DOK")->SetDisplayLabel("Doklad");
  static_cast<TFloatField*>(ds.FieldByName("PLA_HOD"))->SetDisplayFormat("#,##0.00 Kč");

  TOfDataSetModel model(nullptr);
  model.SetDataset(&ds);
  EXPECT_EQ(Texts(model.ColumnHeaders()), (std::vector<AnsiString>{"Doklad", "PLA_HOD", "PLA_POZ"}));
  EXPECT_EQ(model.ColumnHeaders().ArrayLowBound(), 0);

  struct Row {
    bool fullMemos;
    std::vector<AnsiString> expected;
  } rows[] = {
      {false, {"P001", "1234,5", "(MEMO)"}},
      {true, {"P001", "1234,5", "dlouhá poznámka"}},
  };
  for (const Row& row : rows) {
    model.SetWantFullMemos(row.fullMemos);
    Variant value;
    int mode = -1;
    model.GetData(0, omRow, value, mode);
    EXPECT_EQ(mode, omRow);
    EXPECT_EQ(Texts(value), row.expected);
    model.GetData(1, omCell, value, mode);
    EXPECT_EQ(mode, omCell);
    EXPECT_EQ(value.AsString(), row.expected[1]);
  }
  Variant value;
  int mode = 0;
  try {
    model.GetData(0, 7, value, mode);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Model does not support requested mode.");
  }
}

TEST(DataSetModel, ReadPassRestoresTheRecordAndTheControls) {
  VectorDataSet ds;
  ds.FieldDefs().Add("N", ftInteger);
  for (int i = 0; i < 5; ++i) ds.AddRow({Variant(i)});
  TOfDataSetModel model(nullptr);
  model.SetDataset(&ds);
  try {
    model.BeginRead();
    FAIL();
  } catch (const EModelException& e) {
    EXPECT_EQ(e.Message(), "Model Dataset must first be opened.");
  }
  EXPECT_FALSE(ds.Active());
  ds.Open();
  ds.MoveBy(3);
  model.BeginRead();
  EXPECT_TRUE(ds.ControlsDisabled());
  model.First();
  while (!model.Eof()) model.Next();
  model.EndRead();
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(ds.FieldByName("N")->AsInteger(), 3);
}

TEST(DataSetModel, ADetailLinkToItselfIsRefusedAndFreedPartnersAreDropped) {
  TOfDataSetModel model(nullptr);
  try {
    model.SetDetailModel(&model);
    FAIL();
  } catch (const EModelException& e) {
    EXPECT_EQ(e.Message(), "Circular Model link not allowed.");
  }
  auto* detail = new TOfDataSetModel(nullptr);
  auto* ds = new VectorDataSet();
  model.SetDetailModel(detail);
  model.SetDataset(ds);
  EXPECT_TRUE(model.HasDetail());
  delete detail;
  delete ds;
  EXPECT_FALSE(model.HasDetail());
  EXPECT_EQ(model.Dataset(), nullptr);
}

// Masters M1 (two details), M2 (none), M3 (one): an empty master gets no
// blank detail row under it.
TEST(DataSetModel, MasterDetailWalkSkipsMastersWithoutDetails) {
  VectorDataSet master;
  master.FieldDefs().Add("KEY", ftString, 4);
  for (const char* k : {"M1", "M2", "M3"}) master.AddRow({Variant(k)});
  TDataSource masterSource(nullptr);
  masterSource.SetDataSet(&master);
  VectorDataSet detail;
  detail.FieldDefs().Add("KEY", ftString, 4);
  detail.FieldDefs().Add("ITEM", ftString, 8);
  detail.AddRow({Variant("M1"), Variant("d1a")});
  detail.AddRow({Variant("M1"), Variant("d1b")});
  detail.AddRow({Variant("M3"), Variant("d3a")});
  detail.SetMasterFields("KEY");
  detail.SetMasterSource(&masterSource);
  master.Open();
  detail.Open();

  TOfDataSetModel detailModel(nullptr);
  detailModel.SetDataset(&detail);
  TOfDataSetModel model(nullptr);
  model.SetDataset(&master);
  model.SetDetailModel(&detailModel);

  std::vector<std::pair<AnsiString, int>> walk;
  model.BeginRead();
  model.First();
  while (!model.Eof()) {
    Variant row;
    int mode = 0;
    model.GetData(0, omRow, row, mode);
    walk.emplace_back(row.Element(row.ArrayHighBound()).AsString(), model.Level());
    model.Next();
  }
  model.EndRead();
  std::vector<std::pair<AnsiString, int>> expected{{"M1", 1}, {"d1a", 2}, {"d1b", 2}, {"M2", 1}, {"M3", 1}, {"d3a", 2}};
  EXPECT_EQ(walk, expected);
  EXPECT_FALSE(master.ControlsDisabled());
}
