// The range reports' export: the report's dataset on the second sheet of a
// new workbook, saved in the user's documents folder. The workbook writer
// replaces a file atomically, so a failed save leaves neither a partial
// file nor a damaged older one.
#include "app/data_module.h"
#include "app/report_module.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "platform/rtl/documents_folder.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

// Disconnects and drops the export's workbook items, which would otherwise
// pile up and be opened again by every later connect.
void Disconnect(TOfExcel* excel) {
  excel->SetConnected(false);
  excel->Workbooks()->Clear();
}

}  // namespace

AnsiString MyDocumentsPath() { return ExcludeTrailingPathDelimiter(DocumentsFolder()); }

void TDataSestavy::ExportDataSet(TDataSet* dataset, const AnsiString& fileName) {
  const TCursor saved = Screen->Cursor();
  try {
    try {
      Application->ProcessMessages();
      if (!OfExcel1->Connected()) OfExcel1->SetConnected(true);
      Application->ProcessMessages();
      TOfExcelWorkbook* book = OfExcel1->Workbooks()->Add();
      // A new workbook has one sheet; the data go to the added second one.
      TOfExcelRange* range = book->Worksheets()->Add()->Ranges()->Add();
      range->SetAddress("A1");
      OfDataSet->SetDataset(dataset);
      range->SetOfficeModel(OfDataSet);
      Application->ProcessMessages();
      range->Populate();
      book->SaveAs(MyDocumentsPath() + fileName);
      Application->ProcessMessages();
      OfExcel1->SetVisible(false);
      OfExcel1->SetInteractive(false);
    } catch (...) {
      Screen->SetCursor(saved);
      Disconnect(OfExcel1);
      throw;
    }
    Screen->SetCursor(saved);
    Disconnect(OfExcel1);
  } catch (const std::exception&) {
    ShowPlainMessage("Nejze komunikovat s MS Excel");
  }
}
