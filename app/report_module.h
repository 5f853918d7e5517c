// TDataSestavy: the report module. It owns the report system every printed
// report of the program runs through, a second cursor over the journal for
// the range reports, and the few fields a command sets before it runs a
// report. Its print handler draws every page itself, choosing the layout by
// ReportKind.
//
// Invariants:
// - The module lives from the second start object to the end of the run.
// - ReportKind keeps its last value; every command sets it before Execute.
// - The company table (TData::Vlastnik) is open only while a voucher is
//   drawn.
#pragma once

#include <cstdint>

#include "app/report_renderers.h"
#include "dbase/dataset/xbase_dataset.h"
#include "excel/dataset_model.h"
#include "excel/excel_app.h"
#include "memtable/mem_table.h"
#include "platform/gui/forms.h"
#include "platform/rtl/sysutils.h"
#include "report/report_system.h"

class TBaseReport;

// The layouts ReportSystemPrint knows.
enum TReportKindValue : int32_t {
  rkVoucher = 1,   // the cash voucher of the journal's current document
  rkCashBook = 2,  // the cash book of a date range
  rkBreakdown = 3, // the breakdown by type of a date range
};

class TDataSestavy : public TDataModule {
 public:
  explicit TDataSestavy(TComponent* owner);
  ~TDataSestavy() override;
  AnsiString ClassName() const override { return "TDataSestavy"; }

  // ---------------------------------------------------------- components
  TReportSystem* ReportSystem;
  TXbaseDataSet* SesPlatebna;  // the journal, for the range reports
  // The file formats the output options offer besides the page stream.
  TRptRenderPDF* RptRenderPDF1;
  TRptRenderHTML* RptRenderHTML1;
  TmtMemTable* SesTypu;        // the breakdown's totals per operation type
  TOfDataSetModel* OfDataSet;  // the exported dataset, seen as rows
  TOfExcel* OfExcel1;          // the workbook an export fills and saves

  // -------------------------------------------------------------- fields
  int32_t ReportKind = 0;
  bool ExportToExcel = false;
  TDateTime DateFrom = 0;
  TDateTime DateTo = 0;

  // ------------------------------------------------------------- events
  // OnCreate: SesPlatebna takes the journal's directory and table name as
  // the data module set them.
  void DataModuleCreate(TObject* Sender);
  // Selects the configured printer on the report canvas (Sender); a number
  // past the printer list selects the default printer.
  void ReportSystemBeforePrint(TObject* Sender);
  // Draws the layout of ReportKind on the report canvas (Sender); an
  // unknown kind draws nothing.
  void ReportSystemPrint(TObject* Sender);

  // ------------------------------------------------------ range reports
  // The cash book of SesPlatebna (open on tag DAT) from from to to, both
  // days included: an optional export, then the report (kind 2).
  void SesPreh(TDateTime from, TDateTime to);
  // The breakdown by operation type of the same range, summed into SesTypu:
  // an optional export of the sums, then the report (kind 3).
  void SesRozlozeni(TDateTime from, TDateTime to);
  // Exports dataset to the second sheet of a new workbook saved as
  // MyDocumentsPath + fileName (a name starting with a separator). A
  // failure says "Nejze komunikovat s MS Excel" and leaves no file; the
  // screen cursor and the connection are restored in every case.
  void ExportDataSet(TDataSet* dataset, const AnsiString& fileName);

  // ------------------------------------------------------------ layouts
  void PrintVoucher(TBaseReport* report);
  void PrintCashBook(TBaseReport* report);
  void PrintBreakdown(TBaseReport* report);

 private:
  // SesTypu's fields (two of them lookups into TData::FinOperace) and its
  // primary index TYP.
  void CreateBreakdownTable();
};

// The user's documents folder (created when missing), without a trailing
// separator; never empty.
AnsiString MyDocumentsPath();

// The one report module of the program (set while it is constructed).
extern TDataSestavy* DataSestavy;
