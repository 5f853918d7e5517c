// The voucher tests' program: demo data, fake printers, the program started
// as it starts itself, and F8 driven through the print dialog; the page
// stream of every run is kept in a file for report_capture.
#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/report_module.h"
#include "app/tests/program_scope.h"
#include "app/tests/report_capture.h"
#include "app/tests/temp_data_dir.h"
#include "app/voucher_print_dialog.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/datetime.h"

namespace app_test {

inline FakePrinterBackend::Printer FakePrinter(const char* name, int maxCopies) {
  TPrinterCaps caps = OfficePrinterCaps();
  caps.maxCopies = maxCopies;
  return {name, caps, true};
}

// The journal's current document as the voucher reads it (UTF-8 texts).
struct Document {
  double amount = 0;
  const char* number = "41";
  const char* description = "Tržba za hotové";
  const char* pairNumber = "VB12";
  const char* who = "Jan Novák";
  const char* address = "Dlouhá 5, Opava";
  const char* identity = "7801011234";
  int year = 2024, month = 3, day = 7;
  bool nullDate = false;
};

// Closes every preview window that opens (Esc) and records its caption.
class PreviewCloser {
 public:
  PreviewCloser() : timer_(new QTimer(qApp)) {
    QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
      TCustomForm* f = CurrentModalForm();
      if (f && f->ClassName() == "TRptPreviewForm" && f != last_) {
        last_ = f;
        captions.push_back(f->Caption());
        KeyClick(f, VK_ESCAPE);
      }
    });
    timer_->start(5);
  }
  ~PreviewCloser() { delete timer_; }
  PreviewCloser(const PreviewCloser&) = delete;
  PreviewCloser& operator=(const PreviewCloser&) = delete;
  std::vector<AnsiString> captions;

 private:
  QTimer* timer_;
  TCustomForm* last_ = nullptr;
};

class VoucherProgram {
 public:
  explicit VoucherProgram(std::vector<FakePrinterBackend::Printer> printers = {FakePrinter("Office", 99)},
                          int defaultPrinter = 0, int documents = 10)
      : dir_(documents), fake_(InstallFakePrinters(std::move(printers), defaultPrinter)) {
    program_ = std::make_unique<ProgramScope>();
    TReportSystem* rs = DataSestavy->ReportSystem;
    rs->SystemFiler.StreamMode = smFile;
    rs->SystemFiler.FileName = StreamFile();
  }
  ~VoucherProgram() {
    program_.reset();
    SetPrinterBackend(nullptr);
  }
  VoucherProgram(const VoucherProgram&) = delete;
  VoucherProgram& operator=(const VoucherProgram&) = delete;

  const TempDataDir& Dir() const { return dir_; }
  FakePrinterBackend& Fake() { return *fake_; }
  std::string StreamFile() const { return dir_.Root() + "voucher.rps"; }

  void SetDocument(const Document& d) {
    TXbaseDataSet* j = Data->Platebna;
    j->Edit();
    j->FieldByName("PLA_HOD")->SetAsFloat(d.amount);
    j->FieldByName("PLA_DO1")->SetAsString(d.number);
    j->FieldByName("PLA_KOM")->SetAsString(Cz(d.description));
    j->FieldByName("PLA_SML")->SetAsString(d.pairNumber);
    j->FieldByName("PLA_KDO")->SetAsString(Cz(d.who));
    j->FieldByName("PLA_BYT")->SetAsString(Cz(d.address));
    j->FieldByName("PLA_ROC")->SetAsString(d.identity);
    if (d.nullDate)
      j->FieldByName("PLA_DAT")->Clear();
    else
      j->FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(d.year, d.month, d.day));
    j->Post();
  }

  // Fills the company header's one record (creating it when missing), or
  // with empty fields deletes every record.
  void SetCompany(const std::vector<std::pair<const char*, const char*>>& fields) {
    TXbaseDataSet* v = Data->Vlastnik;
    v->Open();
    if (fields.empty()) {
      v->First();
      for (int i = 0; i < 1000 && !(v->Bof() && v->Eof()); ++i) v->Delete();
    } else {
      v->First();
      if (v->Bof() && v->Eof())
        v->Append();
      else
        v->Edit();
      for (const auto& [name, value] : fields) v->FieldByName(name)->SetAsString(Cz(value));
      v->Post();
    }
    v->Close();
  }

  // F8 on the main window; fill answers the print dialog.
  void PressF8(const std::function<void(TVyberTiskuDokladu*)>& fill) {
    OnNextModal([fill](TCustomForm* f) { fill(static_cast<TVyberTiskuDokladu*>(f)); });
    KeyClick(Platebna->DBGrid1, VK_F8);
  }
  // The dialog answered with copies and the preview box, then F8 ("Tisk").
  void Print(const char* copies, bool preview) {
    PressF8([copies, preview](TVyberTiskuDokladu* d) {
      d->EditKuvet1->SetText(copies);
      d->CheckBox2->SetChecked(preview);
      KeyClick(d, VK_F8);
    });
  }
  // A voucher through the preview (closed by Esc); its page stream.
  ReportCapture PrintPreview() {
    std::remove(StreamFile().c_str());
    PreviewCloser closer;
    Print("1", true);
    return CaptureReportFile(StreamFile());
  }

 private:
  TempDataDir dir_;
  FakePrinterBackend* fake_;
  std::unique_ptr<ProgramScope> program_;
};

}  // namespace app_test
