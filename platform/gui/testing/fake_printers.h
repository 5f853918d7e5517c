// A printer backend for tests: printers, capabilities and failures are set
// up by the test; submitted jobs (with their options and a copy of the PDF)
// and cancellations are recorded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/print_setup_dialog.h"
#include "platform/gui/printer_list.h"

class FakePrinterBackend : public TPrinterBackend {
 public:
  struct Printer {
    AnsiString name;
    TPrinterCaps caps;
    bool reachable = true;
  };
  struct Job {
    AnsiString printer;
    TPrintJobOptions options;
    std::string pdf;  // the submitted bytes
  };

  std::vector<Printer> printers;
  int defaultIndex = -1;
  bool refuseJobs = false;
  std::vector<Job> jobs;
  std::vector<int> cancelled;

  std::vector<AnsiString> Destinations() override;
  int DefaultDestination() override { return defaultIndex; }
  bool Capabilities(const AnsiString& printer, TPrinterCaps& caps) override;
  int Submit(const AnsiString& printer, const std::string& pdfPath, const TPrintJobOptions& options) override;
  void Cancel(const AnsiString& printer, int jobId) override;
};

// A laser printer: A4 and Letter (A4 default), 600 dpi, 99 copies, duplex,
// collate, bins "Auto" and "Tray 2" (keyword tray-2), quarter-inch edges,
// custom sizes from 76x127 mm to 216x356 mm, monochrome unless color.
TPrinterCaps OfficePrinterCaps(bool color = false);

// Installs a fake backend holding the given printers and returns it (owned
// by the printer layer until the next SetPrinterBackend).
FakePrinterBackend* InstallFakePrinters(std::vector<FakePrinterBackend::Printer> printers, int defaultIndex = -1);

// Answers the print setup dialog while it lives (as MessageBoxRecorder does
// for message boxes): records what the dialog opened with and answers with
// the chosen printer and settings, or Cancel.
class PrintSetupRecorder {
 public:
  struct Shown {
    AnsiString printer;
    TRptDeviceMode mode;
  };
  PrintSetupRecorder();
  ~PrintSetupRecorder();
  PrintSetupRecorder(const PrintSetupRecorder&) = delete;
  PrintSetupRecorder& operator=(const PrintSetupRecorder&) = delete;

  // The answer: OK with this printer (empty: the one shown) and these
  // changes to the settings, or Cancel.
  void AnswerOk(const AnsiString& printer, std::function<void(TRptDeviceMode&)> change = {});
  void AnswerCancel();
  const std::vector<Shown>& Dialogs() const { return shown_; }

 private:
  bool ok_ = false;
  AnsiString printer_;
  std::function<void(TRptDeviceMode&)> change_;
  std::vector<Shown> shown_;
};
