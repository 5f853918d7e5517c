// Printers: the job settings record, the printer backend that every part of
// the program asks (so an index means the same printer everywhere), and the
// application's printer list Printer().
//
// A printer is a CUPS destination ("name" or "name/instance"). A print job
// is a PDF handed to the backend with its options (print_job.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"

// Field-present flags of TRptDeviceMode.
constexpr uint32_t DM_ORIENTATION = 0x00000001;
constexpr uint32_t DM_PAPERSIZE = 0x00000002;
constexpr uint32_t DM_PAPERLENGTH = 0x00000004;
constexpr uint32_t DM_PAPERWIDTH = 0x00000008;
constexpr uint32_t DM_COPIES = 0x00000100;
constexpr uint32_t DM_DEFAULTSOURCE = 0x00000200;
constexpr uint32_t DM_DUPLEX = 0x00001000;
constexpr uint32_t DM_COLLATE = 0x00008000;

// Orientation, duplex and bin values as page streams store them.
constexpr int DMORIENT_PORTRAIT = 1;
constexpr int DMORIENT_LANDSCAPE = 2;
constexpr int DMDUP_SIMPLEX = 1;
constexpr int DMDUP_VERTICAL = 2;    // long edge
constexpr int DMDUP_HORIZONTAL = 3;  // short edge
constexpr int DMBIN_UPPER = 1;
constexpr int DMBIN_LOWER = 2;
constexpr int DMBIN_MIDDLE = 3;
constexpr int DMBIN_MANUAL = 4;
constexpr int DMBIN_ENVELOPE = 5;
constexpr int DMBIN_AUTO = 7;
constexpr int DMBIN_LARGECAPACITY = 11;
constexpr int DMBIN_USER = 256;      // other bins: 256 + index
constexpr int DMPAPER_USER = 256;    // custom size; other media 256 + index

// The job settings of one printer.
struct TRptDeviceMode {
  int orientation = DMORIENT_PORTRAIT;
  int paperSize = 9;     // paper code
  int paperLength = 0;   // tenths of a millimetre
  int paperWidth = 0;
  int copies = 1;
  int defaultSource = DMBIN_AUTO;
  int duplex = DMDUP_SIMPLEX;
  bool collate = false;
  uint32_t fields = 0;   // DM_* flags of the fields the printer exposes
  bool operator==(const TRptDeviceMode&) const = default;
};

struct TPrinterPaper {
  AnsiString name;        // shown to the user, at most 64 characters
  int code = 0;           // paper code
  AnsiString keyword;     // the media name the backend submits
  double widthInch = 0;
  double heightInch = 0;
  // Unprintable edges of this medium, inches.
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct TPrinterBin {
  AnsiString name;        // shown to the user, at most 24 characters
  int code = 0;           // bin code
  AnsiString keyword;     // the media-source the backend submits
};

// What a printer offers.
struct TPrinterCaps {
  int maxCopies = 1;
  bool duplex = false;
  bool collate = false;
  bool color = false;
  int resolution = 600;   // pixels per inch; 0 stands for 100
  std::vector<TPrinterPaper> papers;
  std::vector<TPrinterBin> bins;
  // Custom paper extent limits, tenths of a millimetre (0: no custom size).
  int minWidth = 0, minLength = 0, maxWidth = 0, maxLength = 0;
  TRptDeviceMode defaults;
};

// The options a job goes out with (IPP names and values).
struct TPrintJobOptions {
  AnsiString title;
  int copies = 1;
  bool collate = false;
  AnsiString sides = "one-sided";
  AnsiString media;        // e.g. "iso_a4_210x297mm"
  AnsiString mediaSource;  // e.g. "tray-2"; empty: the printer's choice
};

class EPrinter : public Exception {
 public:
  using Exception::Exception;
};

// The printing system. The live one is CUPS (cups_printers.h); tests install
// a fake one.
class TPrinterBackend {
 public:
  virtual ~TPrinterBackend() = default;
  // Every destination and instance, in the backend's order.
  virtual std::vector<AnsiString> Destinations() = 0;
  // The index of the default destination, or -1 when none is set.
  virtual int DefaultDestination() = 0;
  // The printer's capabilities; false when it cannot be reached.
  virtual bool Capabilities(const AnsiString& printer, TPrinterCaps& caps) = 0;
  // Hands a finished job PDF over; returns the job id. Raises EPrinter when
  // the printing system refuses it.
  virtual int Submit(const AnsiString& printer, const std::string& pdfPath, const TPrintJobOptions& options) = 0;
  // Cancels a job already handed over.
  virtual void Cancel(const AnsiString& printer, int jobId) = 0;
};

// The backend in force: CUPS unless a test installed another.
TPrinterBackend& PrinterBackend();
// Installs a backend (nullptr: back to CUPS) and drops Printer()'s list.
void SetPrinterBackend(std::unique_ptr<TPrinterBackend> backend);
// Bumped by SetPrinterBackend, so holders of printer lists re-read them.
int PrinterBackendGeneration();

// The paper code of a media keyword ("iso_a4_210x297mm" -> 9), or 0.
int PaperCodeForMedia(const AnsiString& keyword);
// The media keyword of a paper code, or empty.
AnsiString MediaForPaperCode(int code);
// The bin code of a media-source keyword ("manual" -> 4); index stands for
// the position in the printer's list (other bins: 256 + index).
int BinCodeForSource(const AnsiString& keyword, int index);

// The application's printer list.
class TPrinter {
 public:
  // The printer names; empty without printers.
  TStringList* Printers();
  // -1 = the default printer.
  int PrinterIndex();
  void SetPrinterIndex(int index);

 private:
  void Refresh();
  TStringList printers_;
  int index_ = -1;
  int generation_ = -1;
};

TPrinter* Printer();
