// The report module: the report system's settings, the journal's second
// cursor, the printer selection and the report-kind switch. The layouts
// live beside it (the voucher in voucher_report.cpp, the cash book and the
// breakdown in range_reports.cpp).
#include "app/report_module.h"

#include "app/data_module.h"
#include "platform/db/fields.h"
#include "platform/rtl/system.h"
#include "report/base_report.h"
#include "report/rpt_device.h"

TDataSestavy* DataSestavy = nullptr;

namespace {

enum class Kind { String, Date, Float };

struct FieldLayout {
  const char* name;
  Kind kind;
  int size = 0;  // strings only
};

// The journal's columns the reports read, in the order the reports expect.
const FieldLayout kReportJournalFields[] = {
    {"PLA_DAT", Kind::Date},       {"PLA_DO1", Kind::String, 10}, {"PLA_TYP", Kind::String, 3},
    {"PLA_KOM", Kind::String, 30}, {"PLA_KDO", Kind::String, 30}, {"PLA_BYT", Kind::String, 30},
    {"PLA_SML", Kind::String, 10}, {"PLA_HOD", Kind::Float},      {"PLA_STA", Kind::Float},
    {"PLA_ROC", Kind::String, 10},
};

template <std::size_t N>
void AddFields(TComponent* owner, TDataSet* dataSet, const FieldLayout (&items)[N]) {
  for (const FieldLayout& item : items) {
    TField* field = nullptr;
    switch (item.kind) {
      case Kind::String: {
        auto* f = new TStringField(owner);
        f->SetSize(item.size);
        field = f;
        break;
      }
      case Kind::Date:
        field = new TDateField(owner);
        break;
      case Kind::Float:
        field = new TFloatField(owner);
        break;
    }
    field->SetName(dataSet->Name() + item.name);
    field->SetFieldName(item.name);
    field->SetDataSet(dataSet);
  }
}

}  // namespace

TDataSestavy::TDataSestavy(TComponent* owner) : TDataModule(owner) {
  DataSestavy = this;
  SetName("DataSestavy");

  ReportSystem = new TReportSystem(this);
  ReportSystem->SetName("ReportSystem");
  ReportSystem->TitleSetup = Cz("Nestavení sestavy");
  ReportSystem->TitleStatus = Cz("Tvorba sestavy");
  ReportSystem->TitlePreview = Cz("Náhled před tiskem");
  ReportSystem->SystemPrinter.StatusFormat = "Tisknu stranu %p";
  ReportSystem->SystemPrinter.ScaleX = 100;
  ReportSystem->SystemPrinter.ScaleY = 100;
  ReportSystem->SystemPrinter.SetUnits(unCM);
  ReportSystem->SystemPrinter.Title = "Report";
  ReportSystem->SystemFiler.StatusFormat = "Generating page %p";
  ReportSystem->SystemPreview.SetZoomFactor(100);
  ReportSystem->DefaultDest = rdPreview;
  ReportSystem->SystemSetups = {ssAllowSetup,       ssAllowCopies,      ssAllowCollate,
                                ssAllowDuplex,      ssAllowDestPreview, ssAllowDestPrinter,
                                ssAllowDestFile,    ssAllowPrinterSetup, ssAllowPreviewSetup};
  ReportSystem->OnPrint = [this](TObject* sender) { ReportSystemPrint(sender); };
  ReportSystem->OnBeforePrint = [this](TObject* sender) { ReportSystemBeforePrint(sender); };

  SesPlatebna = new TXbaseDataSet(this);
  SesPlatebna->SetName("SesPlatebna");
  SesPlatebna->SetLockProtocol(TxbLokProtocol::ClipLock);
  AddFields(this, SesPlatebna, kReportJournalFields);

  const TReportRenderers renderers = CreateReportRenderers(this);
  RptRenderPDF1 = renderers.RptRenderPDF1;
  RptRenderHTML1 = renderers.RptRenderHTML1;

  CreateBreakdownTable();

  OfDataSet = new TOfDataSetModel(this);
  OfDataSet->SetName("OfDataSet");
  OfDataSet->SetWantFullMemos(false);
  OfExcel1 = new TOfExcel(this);
  OfExcel1->SetName("OfExcel1");

  OnCreate = [this](TObject* sender) { DataModuleCreate(sender); };
}

TDataSestavy::~TDataSestavy() {
  try {
    SesPlatebna->Close();
    SesTypu->Close();
  } catch (const std::exception&) {
    // A read-only cursor has nothing left to save; its files close anyway.
  }
  if (DataSestavy == this) DataSestavy = nullptr;
}

void TDataSestavy::DataModuleCreate(TObject* Sender) {
  (void)Sender;
  if (!Data) return;
  SesPlatebna->SetDatabaseName(Data->Platebna->DatabaseName());
  SesPlatebna->SetTableName(Data->Platebna->TableName());
}

void TDataSestavy::ReportSystemBeforePrint(TObject* Sender) {
  auto* report = dynamic_cast<TBaseReport*>(Sender);
  if (!report || !Data) return;
  // A printer removed since the number was saved must not stop every
  // report: the default printer stands in for it.
  int index = Data->PrinterIndex;
  TRptPrinterDevice* printers = report->PrinterDevice();
  const int count = printers ? printers->PrinterNames()->Count() : 0;
  if (index < -1 || index >= count) index = -1;
  report->SelectPrinterByIndex(index);
}

void TDataSestavy::ReportSystemPrint(TObject* Sender) {
  auto* report = dynamic_cast<TBaseReport*>(Sender);
  if (!report) return;
  switch (ReportKind) {
    case rkVoucher:
      PrintVoucher(report);
      break;
    case rkCashBook:
      PrintCashBook(report);
      break;
    case rkBreakdown:
      PrintBreakdown(report);
      break;
    default:
      break;  // an unknown kind draws nothing: one blank page
  }
}
