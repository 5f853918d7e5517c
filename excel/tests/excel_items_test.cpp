// Workbook, worksheet and range items: binding, addresses, texts, verbs.
#include <gtest/gtest.h>

#include "excel/excel_app.h"
#include "excel/tests/support/recording_server.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"

namespace {

// A connected component with a new workbook and the application's second
// sheet, as the export does it.
struct ExportTree {
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  TOfExcel excel{nullptr};
  TOfExcelWorkbook* book = nullptr;
  TOfExcelWorksheet* sheet = nullptr;
  ExportTree() {
    excel.OnGetInstance = [this](TObject*, xl::XlRef& instance, xl::TGUID, xl::TGUID) {
      instance = CreateRecordingExcel(log);
    };
    excel.SetConnected(true);
    book = excel.Workbooks()->Add();
    sheet = book->Worksheets()->Add();
  }
};

}  // namespace

TEST(ExcelItems, TheExportsDataLandsOnTheSecondSheet) {
  ExportTree t;
  auto server = t.book->Workbook();
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->Worksheets()->Count(), 2);
  EXPECT_EQ(t.book->Worksheets()->Items(0)->Name(), "List1");
  EXPECT_EQ(t.sheet->Name(), "List2");
  TOfExcelRange* range = t.sheet->Ranges()->Add();
  EXPECT_EQ(range->Address(), "A1");
  range->SetAddress("A1");
  EXPECT_EQ(range->Address(), "A1");
  range->SetSimpleText("data");
  auto first = server->Worksheets()->Item(1);
  EXPECT_TRUE(first->Range("A1", "IV65536")->Value().Element(1).Element(1).IsEmpty());
  EXPECT_EQ(server->Worksheets()->Item(2)->Range("A1", "A1")->Value().AsString(), "data");
}

TEST(ExcelItems, AnInvalidAddressShowsAnErrorAndKeepsTheBinding) {
  ExportTree t;
  TOfExcelRange* range = t.sheet->Ranges()->Add();
  range->SetAddress("B2:C3");
  MessageBoxRecorder boxes;
  for (const char* bad : {"Z0", "B2:", "A1:B", "AAA1"}) {
    SCOPED_TRACE(bad);
    range->SetAddress(bad);
    EXPECT_EQ(range->Address(), "B2:C3");
  }
  ASSERT_EQ(boxes.Boxes().size(), 4u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "Invalid Range Address.");
  EXPECT_EQ(boxes.Boxes()[0].Type, mtError);
  EXPECT_EQ(boxes.Boxes()[0].Buttons, (std::vector<TModalResult>{mrOk}));
}

TEST(ExcelItems, SimpleTextAndClearOnMove) {
  ExportTree t;
  TOfExcelRange* range = t.sheet->Ranges()->Add();
  range->SetSimpleText("1234,5");
  EXPECT_EQ(range->SimpleText(), "1234,5");
  range->SetClearOnMove(true);
  range->SetAddress("B1");
  EXPECT_TRUE(t.sheet->Worksheet()->Range("A1", "A1")->Value().IsEmpty());
  range->SetAddress("A1:B2");
  EXPECT_EQ(range->SimpleText(), "(N/A)");
  range->SetSimpleText("(N/A)");  // never written into the cells
  EXPECT_TRUE(t.sheet->Worksheet()->Range("A1", "A1")->Value().IsEmpty());
  range->SetAddress("C3");
  range->SetSimpleText("posledni");
  t.excel.SetConnected(false);
  EXPECT_EQ(range->SimpleText(), "posledni");  // disconnected: the last text read or set
  EXPECT_EQ(range->Address(), "C3");
  EXPECT_EQ(ErrorMessage([&] { range->ExecuteVerb(0); }), "You must be connected in order to call this method.");
}

TEST(ExcelItems, SelectionVerbsAndWorksheetNames) {
  ExportTree t;
  TOfExcelRange* range = t.sheet->Ranges()->Add();
  range->SetAddress("B2:C4");
  range->ExecuteVerb(1);  // select
  TOfExcelRange* other = t.sheet->Ranges()->Add();
  other->ExecuteVerb(2);  // set from the selection
  EXPECT_EQ(other->Address(), "B2:C4");

  // A stored name is pushed to a new workbook's sheet; destroying the item
  // deletes its sheet, but never the workbook's last.
  TOfExcelWorksheet* named = t.book->Worksheets()->Add();
  EXPECT_EQ(named->Name(), "List3");
  t.excel.SetConnected(false);
  named->SetName(Cz("Rozložení"));
  t.excel.SetConnected(true);
  auto server = t.book->Workbook();
  EXPECT_EQ(server->Worksheets()->Item(3)->Name(), Cz("Rozložení"));
  delete named;
  EXPECT_EQ(server->Worksheets()->Count(), 2);
  delete t.book->Worksheets()->Items(1);
  delete t.book->Worksheets()->Items(0);
  EXPECT_EQ(server->Worksheets()->Count(), 1);
  delete t.book;  // closes the server workbook
  EXPECT_EQ(t.excel.Application()->Workbooks()->Count(), 0);
}
