#include "platform/gui/testing/fake_printers.h"

#include <fstream>
#include <sstream>

std::vector<AnsiString> FakePrinterBackend::Destinations() {
  std::vector<AnsiString> out;
  for (const Printer& p : printers) out.push_back(p.name);
  return out;
}

bool FakePrinterBackend::Capabilities(const AnsiString& printer, TPrinterCaps& caps) {
  for (const Printer& p : printers)
    if (p.name == printer) {
      if (!p.reachable) return false;
      caps = p.caps;
      return true;
    }
  return false;
}

int FakePrinterBackend::Submit(const AnsiString& printer, const std::string& pdfPath, const TPrintJobOptions& options) {
  if (refuseJobs) throw EPrinter("The printer refused the job");
  std::ifstream in(pdfPath, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  jobs.push_back({printer, options, bytes.str()});
  return static_cast<int>(jobs.size());
}

void FakePrinterBackend::Cancel(const AnsiString&, int jobId) { cancelled.push_back(jobId); }

TPrinterCaps OfficePrinterCaps(bool color) {
  TPrinterCaps c;
  c.maxCopies = 99;
  c.duplex = true;
  c.collate = true;
  c.color = color;
  c.resolution = 600;
  TPrinterPaper a4{"A4", 9, "iso_a4_210x297mm", 210 / 25.4, 297 / 25.4, 0.25, 0.25, 0.25, 0.25};
  TPrinterPaper letter{"Letter", 1, "na_letter_8.5x11in", 8.5, 11, 0.25, 0.25, 0.25, 0.25};
  c.papers = {a4, letter};
  c.bins = {{"Auto", DMBIN_AUTO, "auto"}, {"Tray 2", DMBIN_USER + 1, "tray-2"}};
  c.minWidth = 760;
  c.minLength = 1270;
  c.maxWidth = 2160;
  c.maxLength = 3560;
  c.defaults.paperSize = 9;
  c.defaults.defaultSource = DMBIN_AUTO;
  c.defaults.fields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES |
                      DM_DEFAULTSOURCE | DM_DUPLEX | DM_COLLATE;
  return c;
}

FakePrinterBackend* InstallFakePrinters(std::vector<FakePrinterBackend::Printer> printers, int defaultIndex) {
  auto backend = std::make_unique<FakePrinterBackend>();
  backend->printers = std::move(printers);
  backend->defaultIndex = defaultIndex;
  FakePrinterBackend* raw = backend.get();
  SetPrinterBackend(std::move(backend));
  return raw;
}

PrintSetupRecorder::PrintSetupRecorder() {
  SetPrintSetupResponder([this](AnsiString& printer, TRptDeviceMode& mode) {
    shown_.push_back({printer, mode});
    if (!ok_) return false;
    if (!printer_.empty()) printer = printer_;
    if (change_) change_(mode);
    return true;
  });
}

PrintSetupRecorder::~PrintSetupRecorder() { SetPrintSetupResponder(nullptr); }

void PrintSetupRecorder::AnswerOk(const AnsiString& printer, std::function<void(TRptDeviceMode&)> change) {
  ok_ = true;
  printer_ = printer;
  change_ = std::move(change);
}

void PrintSetupRecorder::AnswerCancel() { ok_ = false; }
