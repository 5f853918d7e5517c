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

  // ------------------------------------------------------------ layouts
  void PrintVoucher(TBaseReport* report);
  void PrintCashBook(TBaseReport* report);
  void PrintBreakdown(TBaseReport* report);
};

// The one report module of the program (set while it is constructed).
extern TDataSestavy* DataSestavy;
