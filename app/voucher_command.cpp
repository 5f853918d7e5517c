// The voucher print command (F8, "F8 Tisk"): the print dialog, then the
// voucher of the journal's current document through the report system.
#include <memory>

#include "app/main_window.h"
#include "app/report_module.h"
#include "app/voucher_print_dialog.h"
#include "platform/rtl/sysutils.h"

namespace {

// The output options every later report offers. They come back however the
// voucher run ends: left empty after a failed run, the cash book and the
// breakdown would go straight to the last destination until a restart.
const TSystemSetups kReportSetups = {ssAllowSetup, ssAllowCopies, ssAllowDestPreview, ssAllowDestPrinter,
                                     ssAllowPrinterSetup};

class ReportSetupsRestore {
 public:
  explicit ReportSetupsRestore(TReportSystem* system) : system_(system) {}
  ~ReportSetupsRestore() { system_->SystemSetups = kReportSetups; }
  ReportSetupsRestore(const ReportSetupsRestore&) = delete;
  ReportSetupsRestore& operator=(const ReportSetupsRestore&) = delete;

 private:
  TReportSystem* system_;
};

struct FormDeleter {
  void operator()(TForm* form) const {
    form->BeforeDestruction();
    delete form;
  }
};

}  // namespace

void TPlatebna::Button4Click(TObject* Sender) {
  (void)Sender;
  TReportSystem* system = DataSestavy->ReportSystem;
  ReportSetupsRestore restore(system);
  // The voucher has its own dialog; no output-options form.
  system->SystemSetups = {};
  std::unique_ptr<TVyberTiskuDokladu, FormDeleter> dialog(NewForm<TVyberTiskuDokladu>(this));
  if (dialog->ShowModal() != mrOk) return;
  int copies = 0;
  if (!TryStrToInt(Trim(dialog->EditKuvet1->Text()), copies) || copies <= 0) return;
  system->SystemPrinter.Copies = copies;
  DataSestavy->ReportKind = rkVoucher;
  system->Execute();
}
