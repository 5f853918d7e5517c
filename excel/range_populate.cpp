// Populate: copies an office model's rows into the sheet.
//
// Screen updating is off for the whole transfer and a row-mode model is
// written one row per call. Whatever happens, screen updating is turned on
// again, the cursor goes back to the default and, once the model's read
// pass has begun, the model's EndRead runs: a failed export must not leave
// the dataset on the record where it stopped, with its controls disabled,
// since the application goes on to print from the current record.
#include <exception>

#include "excel/dataset_model.h"
#include "excel/excel_app.h"
#include "excel/excel_items.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"

void TOfExcelRange::Populate() {
  TOfOfficeComponent* root = RootComponent();
  root->CheckConnected(true, false);
  Screen->SetCursor(crHourGlass);
  auto* excel = dynamic_cast<TOfExcelBase*>(root);
  std::shared_ptr<xl::IApplication> app = excel ? excel->Application() : nullptr;
  IOfOfficeModel* model = nullptr;
  bool reading = false;
  bool screenOff = false;

  // Screen updating back on and the default cursor, then the model's
  // EndRead; on the error path nothing here replaces the original error.
  auto finish = [&](bool failing) {
    std::exception_ptr restoreError;
    try {
      if (screenOff && app) app->SetScreenUpdating(true);
    } catch (...) {
      restoreError = std::current_exception();
    }
    Screen->SetCursor(crDefault);
    if (reading) {
      if (failing || restoreError) {
        try {
          model->EndRead();
        } catch (...) {
        }
      } else {
        model->EndRead();
      }
    }
    if (restoreError && !failing) std::rethrow_exception(restoreError);
  };

  try {
    model = QueryOfficeModel(officeModel_);
    if (!model) throw EModelException(oftext::kNoModel);
    TOfExcelWorksheet* sheetItem = WorksheetItem();
    auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
    if (!sheet) throw EOleException("The range item is not bound to a worksheet");

    AnsiString topLeft = TopLeftAddress();
    std::shared_ptr<xl::IRange> r = sheet->Range(topLeft, topLeft);
    intf_ = r;
    sheet->Outline()->SetSummaryRow(xl::xlSummaryAbove);

    int n = 0;
    int widest = 0;
    model->BeginRead();
    reading = true;
    if (app) {
      screenOff = true;
      app->SetScreenUpdating(false);
    }
    model->First();

    int headerColumns = model->ColumnCount();
    if (headerColumns > 0) {
      auto header = r->Offset(0, 0)->Resize(1, headerColumns);
      header->SetValue(model->ColumnHeaders());
      header->Font()->SetBold(true);
      header->SetHorizontalAlignment(xl::xlCenter);
    }

    bool rowMode = (model->SupportedModes() & omRowBit) != 0;
    for (;;) {
      ++n;
      if (model->Eof()) break;
      int columns = model->ColumnCount();
      widest = std::max(widest, columns);
      if (rowMode) {
        Variant row;
        int delivered = omRow;
        model->GetData(0, omRow, row, delivered);
        if (columns > 0) {
          auto target = r->Offset(n, 0)->Resize(1, columns);
          target->SetValue(row);
          target->EntireRow()->SetOutlineLevel(model->Level());
        }
      } else {
        for (int j = 0; j < columns; ++j) {
          Variant cell;
          int delivered = omCell;
          model->GetData(j, omCell, cell, delivered);
          r->Offset(n, j)->SetValue(cell);
        }
      }
      model->Next();
    }

    // A model without rows still gets its header fitted.
    int columns = widest > 0 ? widest : headerColumns;
    auto* datasetModel = dynamic_cast<TOfDataSetModel*>(officeModel_);
    for (int i = 0; i < columns; ++i) {
      auto column = r->Offset(0, i)->EntireColumn();
      if (datasetModel && datasetModel->WantFullMemos()) column->SetVerticalAlignment(xl::xlTop);
      column->AutoFit();
    }
    intf_ = r->Offset(0, 0)->Resize(n, std::max(columns, 1));
    NotifyChanged();
  } catch (...) {
    finish(true);
    throw;
  }
  finish(false);
}
