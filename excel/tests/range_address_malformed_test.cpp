// Bad range addresses: each is refused with EOleException, never a crash;
// through a range item they show the error box and keep the binding.
#include <gtest/gtest.h>

#include "excel/excel_app.h"
#include "excel/server/xl_app.h"
#include "platform/gui/testing/gui_modal.h"
#include "testing/random_input.h"

namespace {

const std::vector<std::string> kValid = {"A1", "$B$2", "c3:d4", "IV65536", "A:C", "$B:$B", "3:5", "A1:IV65536", "Z99"};

}  // namespace

TEST(RangeAddressMalformed, BadAddressesAreRefused) {
  auto app = xl::CreateInProcessExcel();
  auto sheet = app->Workbooks()->Add(Variant())->Worksheets()->Item(1);
  for (const char* bad : {"", ":", "A", "1", "A1:", ":A1", "A1:B2:C3", "A1::B2", "$$A1", "A$$1", "A-1", "A1.5", "IW1",
                          "XFD1", "A65537", "A0", "A01", "1:A", "A1:3", "A:1", " A1", "A1\n", "Ř1", "A\0001"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(sheet->Range(bad, bad), EOleException);
  }
  TOfExcel excel(nullptr);
  excel.SetConnected(true);
  TOfExcelRange* range = excel.Workbooks()->Add()->Worksheets()->Items(0)->Ranges()->Add();
  range->SetAddress("B2");
  MessageBoxRecorder boxes;
  range->SetAddress("A1:B2:C3");
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(range->Address(), "B2");
}

TEST(RangeAddressMalformed, RandomAddressesNeverCrash) {
  auto app = xl::CreateInProcessExcel();
  auto sheet = app->Workbooks()->Add(Variant())->Worksheets()->Item(1);
  RandomInputOptions options;
  options.iterations = 4000;
  options.maxSize = 64;
  RunRandomInputs(kValid, [&](const std::string& text) {
    try {
      auto range = sheet->Range(text, text);
      range->Offset(1, 1)->Resize(2, 2)->Address(false, false);
    } catch (const EOleException&) {
    }
  }, options);
}
